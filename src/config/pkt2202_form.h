// "NMEA Message Output Control (2202)": which NMEA sentences the receiver itself emits, and at
// what interval (0: with every fast fix). The message mask travels most significant byte
// first, the one big-endian field of the protocol, so this dialog is written on the request
// cycle directly rather than as a table of layouts. An interval that is not a whole number
// 0..255 sends nothing and the Set LED goes red at the time-out.
#pragma once

#include "console/query_set_form.h"

#include <array>

class QCheckBox;
class QLineEdit;

class Tpkt2202Form : public QuerySetForm {
    Q_OBJECT
public:
    explicit Tpkt2202Form(Console& console, QWidget* parent = nullptr);

public slots:
    void queryButtonClick();
    void setButtonClick();

protected:
    void FormShow() override { queryButtonClick(); }

private:
    std::array<QCheckBox*, 5> boxes_{};
    QLineEdit* intervalWin_;
    Request* query_;
    Request* set_;
};
