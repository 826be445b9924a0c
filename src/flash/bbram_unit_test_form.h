// "BBRAM Unit Test" (hidden internal menu): sends one of seven test commands of the receiver's
// BBRAM handling (Set 700D) and logs its 700D replies while the window is shown. Closing it
// hides it; the log is kept.
#pragma once

#include "widgets/console_dialog_qt.h"

#include "console/console_qt.h"
#include "flash/trace_texts.h"

#include <QWidget>

#include <optional>

class QButtonGroup;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;

class TBbramUnitTestForm : public ConsoleDialog {
    Q_OBJECT
public:
    explicit TBbramUnitTestForm(Console& console, QWidget* parent = nullptr);

    static constexpr int kLogLines = 10000; // the log keeps this many lines

public slots:
    void btnStoreClick();
    void lblBbramClick();
    void lblFlashClick();
    void lblFlashDriverClick();
    void seAddressChange();

private:
    void replyReceived(const vx::Delivery& d);

    Console& console_;
    RouteBinding routes_;
    std::optional<vx::MemdumpRequest> dump_; // the last memory dump asked for

    QButtonGroup* tests_;            // "rgTest", ids 1..7
    QSpinBox* addressSpin_;          // "seAddress"
    QLabel* addressLabel_;           // "lblAddress"
    QSpinBox* lengthSpin_;           // "seLen"
    QPushButton* bbramButton_;       // "lblBbram"
    QPushButton* flashButton_;       // "lblFlash"
    QPushButton* flashDriverButton_; // "lblFlashDriver"
    QPushButton* sendButton_;        // "btnStore"
    QPlainTextEdit* resultsMemo_;    // "mmResults"
};
