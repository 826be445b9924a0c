#include "config/soft_event_form.h"

#include "config/event_log_lines.h"
#include "link/catalogue.h"
#include "widgets/line_memo_qt.h"
#include "widgets/message_qt.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
// The groups (and boxes) of the table.
constexpr int kSoftLog = 1;
constexpr int kFatalLog = 2;

LineMemo* memo(const vx::LineStore& store, const char* name, const char* readableName,
               QWidget* parent) {
    auto* m = new LineMemo(store, parent);
    m->setObjectName(name);
    m->setAccessibleName(readableName);
    m->setFocusPolicy(Qt::ClickFocus); // not a tab stop
    m->setMinimumSize(360, 90);
    return m;
}
} // namespace

TsoftEventForm::TsoftEventForm(Console& console, QWidget* parent)
    : SettingsForm(console, vx::softEventDialog(), parent),
      eventMsgWin_(memo(softLines_, "eventMsgWin", "Soft event log", this)),
      fatalMsgWin_(memo(fatalLines_, "fatalMsgWin", "Fatal error log", this)),
      clearEventLog_(new QPushButton("Clear Event Log", this)) {
    clearEventLog_->setObjectName("clearEventLog");
    connect(clearEventLog_, &QPushButton::clicked, this, &TsoftEventForm::clearEventLogClick);
    // The groups' boxes are the table's sections, in the same order.
    if (QHBoxLayout* row = groupButtonRow(kSoftLog)) row->addWidget(clearEventLog_);
    if (QVBoxLayout* column = sectionColumn(kSoftLog)) column->addWidget(eventMsgWin_);
    if (QVBoxLayout* column = sectionColumn(kFatalLog)) column->addWidget(fatalMsgWin_);
}

void TsoftEventForm::clearEventLogClick() {
    if (!msg::ask(this, msg::Kind::Warning, "Warning",
                  "Are you sure you want to clear the Soft Event Log?"))
        return;
    send([](vx::FrameSink& sink) { return vx::clearEventLog(sink); });
}

void TsoftEventForm::replied(const vx::ReplyMatch& m, const vx::FieldValues& values) {
    if (m.group != kSoftLog && m.group != kFatalLog) return;
    const bool fatal = m.group == kFatalLog;
    vx::SoftEventRecord entry;
    vx::assignValues(entry, fatal ? vx::kFatalErrorLogLayout : vx::kSoftEventLogLayout, values);
    vx::LineStore& lines = fatal ? fatalLines_ : softLines_;
    lines.append(vx::logEntryLine(entry, fatal));
    (fatal ? fatalMsgWin_ : eventMsgWin_)->storeChanged();
}
