// "DR Engine Rate (2101)": queries and sets the dead-reckoning engine rate (5 or 10 Hz), code
// 0x21 subcode 0x01. Showing the window queries the receiver.
#pragma once

#include "config/query_set_form.h"

class QComboBox;
class QLabel;
class QPushButton;

class Tpkt2101Form : public QuerySetForm {
    Q_OBJECT
public:
    explicit Tpkt2101Form(Console& console, QWidget* parent = nullptr);

    QLabel* Label1;
    QComboBox* DR_CB; // "5 Hz", "10 Hz"; nothing selected at start
    QPushButton* queryButton;
    Lamp* queryLED;
    QPushButton* setButton;
    Lamp* setLED;
    QPushButton* closeButton;

    bool queryPending() const { return query_->pending(); }
    bool setPending() const { return set_->pending(); }

    // The list item a reply value selects: 5..9 "5 Hz" (0), 10..14 "10 Hz" (1), else none (-1).
    static int itemForRate(uint8_t rate);

public slots:
    void queryButtonClick();
    void setButtonClick();
    void closeButtonClick();

protected:
    void FormShow() override;

private:
    void showRate(uint8_t rate);

    Request* query_;
    Request* set_;
};
