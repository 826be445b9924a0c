// "Soft Event Mask, Event Logs (1401, 1402, 2E01)": queries and sets how the receiver reports
// one soft event (code 0x2E, the event chosen by its text), reads entries of the soft event
// log (1401) and the fatal error log (1402) into two memos, and clears the soft event log after
// asking. Showing the window sends nothing.
//
// The exceptions to its table: the memos, whose lines every log entry appends (also the
// entries the receiver reports as events happen), and "Clear Event Log".
#pragma once

#include "config/dialog_tables.h"
#include "console/settings_form.h"
#include "widgets/line_store.h"

class LineMemo;
class QPushButton;

class TsoftEventForm : public SettingsForm {
    Q_OBJECT
public:
    explicit TsoftEventForm(Console& console, QWidget* parent = nullptr);

    const vx::LineStore& softLines() const { return softLines_; }
    const vx::LineStore& fatalLines() const { return fatalLines_; }

public slots:
    void clearEventLogClick();

protected:
    void replied(const vx::ReplyMatch& m, const vx::FieldValues& values) override;

private:
    vx::LineStore softLines_;
    vx::LineStore fatalLines_;
    LineMemo* eventMsgWin_;
    LineMemo* fatalMsgWin_;
    QPushButton* clearEventLog_;
};
