// "Acknowledgements": one row per acknowledgement the receiver sent (Set, Query, System),
// newest at the bottom, at most 299 rows. Rows arrive while the window is visible.
#pragma once

#include "console/console_qt.h"

#include "widgets/console_dialog_qt.h"

#include <array>
#include <cstdint>

class Console;
class QPushButton;
class QTableWidget;
class QTableWidgetItem;

class TackForm : public ConsoleDialog {
    Q_OBJECT
public:
    // The list never holds more rows than this; the oldest goes first.
    static constexpr int kMaxRows = 299;

    explicit TackForm(Console& console, QWidget* parent = nullptr);
    ~TackForm() override;

    // One acknowledgement: the 4-byte record (Set and Query: code, subcode, index or 0x80,
    // result; System: code, result) and the acknowledgement's subcode (the acknowledged
    // command byte: 1 Set, 2 Query, 3 System).
    void showAck(const std::array<uint8_t, 4>& record, uint8_t subcode);

    enum Column { ColCommand, ColCode, ColSubcode, ColIndex, ColAck, ColumnCount };
    // A cell's text, for tests and for copying; empty for a cell that holds nothing.
    QString cellText(int row, int column) const;
    int rowCount() const;

public slots:
    void clearButtonClick();
    void closeButtonClick();

private:
    RouteBinding routes_;
    QTableWidget* ackList_;    // "lvAcks": "Command", "Code", "Subcode", "Index", "Acknowledgement"
    QPushButton* clearButton_; // "clearButton"
    QPushButton* closeButton_; // "closeButton"
};
