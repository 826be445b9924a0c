// The information and diagnostic windows on their bases, with the test playing the receiver:
// what each shows of a reply, its refusals, which acknowledgement ends which request and what
// the time-out judges. The memos, lists, entry boxes, queries built from the controls and
// "Check All" are the bases' own, tested here through their only windows.
#include "config/pkt15_form.h"
#include "config/pkt2601_form.h"
#include "config/pkt2603_04_05_form.h"
#include "config/pkt707f_form.h"
#include "config/set_rtc_form.h"
#include "link/catalogue.h"
#include "support/console_rig_qt.h"
#include "widgets/lamp_qt.h"
#include "widgets/message_qt.h"
#include "widgets/panel_qt.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>

#include <gtest/gtest.h>

using vxtest::child;
using vxtest::ConsoleRig;

namespace {

struct Messages {
    Messages() {
        msg::setInterceptor([this](msg::Kind, const QString& title, const QString& text) {
            shown.push_back(title + ": " + text);
        });
    }
    ~Messages() { msg::setInterceptor(nullptr); }
    QStringList shown;
};

std::string query(uint8_t code, uint8_t sub, std::optional<uint8_t> second = std::nullopt) {
    vx::CommandFrame f(vx::kCmdQuery, code, sub);
    if (second) f.byte(*second);
    return vxtest::hex(f.toBytes());
}

std::string setFrame(uint8_t code, uint8_t sub, const std::vector<uint8_t>& payload) {
    vx::CommandFrame f(vx::kCmdSet, code, sub);
    for (uint8_t b : payload) f.byte(b);
    return vxtest::hex(f.toBytes());
}

QString memo(QWidget& w, const char* name) {
    return child<QPlainTextEdit>(&w, name)->toPlainText();
}
QColor led(QWidget& w, const char* name) {
    return child<Lamp>(&w, name)->colour();
}

TEST(InfoForms, CustomerDataBlocks) {
    Messages messages;
    ConsoleRig rig;
    Tpkt15Form w(rig.console);
    ASSERT_TRUE(rig.start());
    w.show();
    auto* edit = child<QLineEdit>(&w, "viewEdit");
    auto* byteMemo = child<QPlainTextEdit>(&w, "byteMemo");
    EXPECT_FALSE(edit->isReadOnly());
    EXPECT_TRUE(byteMemo->isReadOnly());
    EXPECT_EQ(byteMemo->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_FALSE(w.responseTimer()->isActive()) << "showing sends nothing";

    // Out of range: the message, nothing sent, no request.
    edit->setText("80");
    child<QPushButton>(&w, "queryButton")->click();
    EXPECT_EQ(messages.shown,
              QStringList{"Error: Data block to view is out of range (0x01 - 0x7F)."});
    EXPECT_FALSE(w.queryPending());
    EXPECT_EQ(rig.sentNowHex(), "");

    edit->setText("7f");
    child<QPushButton>(&w, "queryButton")->click();
    EXPECT_EQ(rig.sentHex(6), query(0x15, 0x7F));
    EXPECT_EQ(led(w, "queryLED"), lamp::kWhite);
    std::vector<uint8_t> block(20);
    for (size_t i = 0; i < block.size(); ++i) block[i] = uint8_t(i);
    rig.receive(0x15, 0x7F, block);
    ASSERT_TRUE(rig.waitDelivered(1));
    EXPECT_EQ(edit->text(), "7F");
    EXPECT_EQ(memo(w, "byteMemo"), "00 01 02 03 04 05 06 07 \n08 09 0A 0B 0C 0D 0E 0F \n"
                                   "10 11 12 13 ");
    EXPECT_EQ(led(w, "queryLED"), lamp::kGreen);

    // A block the receiver does not have: red, and the memo says so.
    edit->setText("2");
    child<QPushButton>(&w, "queryButton")->click();
    EXPECT_EQ(rig.sentHex(6), query(0x15, 0x02));
    rig.ack(vx::kCmdQuery, {0x15, 0x02, 0x08});
    ASSERT_TRUE(rig.waitDelivered(2));
    EXPECT_EQ(led(w, "queryLED"), lamp::kRed);
    EXPECT_EQ(memo(w, "byteMemo"), "Data not available.");
    EXPECT_FALSE(w.queryPending());
}

TEST(InfoForms, ReportCodesAckEndsOnlyItsOwnRequestAndExpiryJudgesBoth) {
    Messages messages;
    ConsoleRig rig;
    Tpkt2601Form w(rig.console);
    ASSERT_TRUE(rig.start());
    w.show();
    EXPECT_EQ(rig.sentHex(6), query(0x26, 0x01));
    EXPECT_EQ(led(w, "querySubLED"), lamp::kWhite);
    auto* list = child<QListWidget>(&w, "CodesListBox");

    std::vector<uint8_t> codes(16, 0);
    codes[4] = 0x03;
    codes[6] = 0x02;
    rig.receive(0x26, 0x01, codes);
    ASSERT_TRUE(rig.waitDelivered(1));
    ASSERT_EQ(list->count(), 3);
    EXPECT_EQ(list->item(2)->text(), "0x31");
    EXPECT_EQ(led(w, "queryLED"), lamp::kGreen);

    auto* subcodes = child<QPushButton>(&w, "subcodesButton");
    EXPECT_EQ(subcodes->text(), "Show Subcodes");
    subcodes->click();
    EXPECT_EQ(messages.shown, QStringList{"Error: No Report Code selected."});
    EXPECT_EQ(rig.sentNowHex(), "");

    list->setCurrentRow(2);
    subcodes->click();
    EXPECT_EQ(rig.sentHex(7), query(0x26, 0x02, 0x31));
    std::vector<uint8_t> subs(17, 0);
    subs[0] = 0x31;
    subs[1] = 0x02;
    rig.receive(0x26, 0x02, subs);
    ASSERT_TRUE(rig.waitDelivered(2));
    EXPECT_EQ(child<Panel>(&w, "Label2")->text(), "0x31");
    EXPECT_EQ(memo(w, "subcodeMemo"), "0x01");
    EXPECT_EQ(led(w, "querySubLED"), lamp::kGreen);

    // Both asked; the subcodes' acknowledgement ends only theirs: the time-out then paints the
    // codes' LED alone.
    subcodes->click();
    child<QPushButton>(&w, "queryButton")->click();
    EXPECT_EQ(list->count(), 0) << "the codes' query empties the list";
    rig.sentHex(13);
    rig.ack(vx::kCmdQuery, {0x26, 0x02, 0x31, 0x00});
    ASSERT_TRUE(rig.waitDelivered(3));
    EXPECT_TRUE(w.queryPending(0));
    EXPECT_FALSE(w.queryPending(1));
    w.responseTimerTimer();
    EXPECT_EQ(led(w, "queryLED"), lamp::kRed);
    EXPECT_EQ(led(w, "querySubLED"), lamp::kWhite);

    // Neither answered: one expiry paints both.
    list->addItem("0x31");
    list->setCurrentRow(0);
    subcodes->click();
    child<QPushButton>(&w, "queryButton")->click();
    rig.sentHex(13);
    w.responseTimerTimer();
    EXPECT_EQ(led(w, "queryLED"), lamp::kRed);
    EXPECT_EQ(led(w, "querySubLED"), lamp::kRed);
    // Showing again empties the list, the code and the memo.
    w.hide();
    w.show();
    rig.sentHex(6);
    EXPECT_EQ(list->count(), 0);
    EXPECT_EQ(child<Panel>(&w, "Label2")->text(), "");
    EXPECT_EQ(memo(w, "subcodeMemo"), "");
}

TEST(InfoForms, DppModelOneLedForThreeSubcodes) {
    ConsoleRig rig;
    Tpkt2603_04_05Form w(rig.console);
    ASSERT_TRUE(rig.start());
    w.show();
    EXPECT_EQ(rig.sentHex(18),
              query(0x26, 0x03) + " " + query(0x26, 0x04) + " " + query(0x26, 0x05));
    rig.receive(0x26, 0x04, {3, 20, 40, 255});
    rig.receive(0x26, 0x03, {1, 16});
    ASSERT_TRUE(rig.waitDelivered(2));
    EXPECT_EQ(memo(w, "minCalSpdMemo"), "Level     Top Speed (m/s)\n-----     ---------------\n"
                                        "    1          10.0\n    2          20.0\n"
                                        "    3         Unlimited");
    EXPECT_EQ(led(w, "queryLED"), lamp::kWhite);
    // The time-out paints red and keeps 2605 pending: its late reply completes the request.
    w.responseTimerTimer();
    EXPECT_EQ(led(w, "queryLED"), lamp::kRed);
    rig.receive(0x26, 0x05, {1, 90});
    ASSERT_TRUE(rig.waitDelivered(3));
    EXPECT_EQ(led(w, "queryLED"), lamp::kGreen);
}

TEST(InfoForms, CheckAllChecksEveryOutputAndSetSendsThem) {
    ConsoleRig rig;
    Tpkt707FForm w(rig.console);
    ASSERT_TRUE(rig.start());
    w.show();
    EXPECT_EQ(rig.sentHex(6), query(0x70, 0x7F));
    auto* all = child<QCheckBox>(&w, "CheckBoxAll");
    EXPECT_EQ(all->text(), "Check All");
    all->setChecked(true);
    EXPECT_EQ(all->text(), "Uncheck All");
    int checked = 0;
    for (auto* b : w.findChildren<QCheckBox*>()) checked += b != all && b->isChecked();
    EXPECT_EQ(checked, 17);
    child<QPushButton>(&w, "setButton")->click();
    const std::string set =
        setFrame(0x70, 0x7F, {0xBF, 0xFF, 0x01, 0x00, 0x01, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    EXPECT_EQ(rig.sentHex((set.size() + 1) / 3), set);
    all->setChecked(false);
    EXPECT_EQ(all->text(), "Check All");
    for (auto* b : w.findChildren<QCheckBox*>())
        EXPECT_FALSE(b->isChecked()) << b->objectName().toStdString();
}

TEST(InfoForms, RtcAcknowledgementsReachTheHiddenWindow) {
    Messages messages;
    ConsoleRig rig;
    TsetRtcForm w(rig.console);
    ASSERT_TRUE(rig.start());
    w.show();
    EXPECT_FALSE(w.responseTimer()->isActive()) << "showing sends nothing";
    child<QLineEdit>(&w, "weekNumWin")->setText("1400");
    child<QLineEdit>(&w, "towWin")->setText("345600000");
    child<QPushButton>(&w, "setButton01")->click();
    const std::string set =
        setFrame(0x29, 0x01, {0xFF, 0x78, 0x05, 0x00, 0x70, 0x99, 0x14, 0x00, 0x00, 0x00, 0x00});
    EXPECT_EQ(rig.sentHex((set.size() + 1) / 3), set);
    w.hide();
    rig.ack(vx::kCmdSet, {0x29, 0x01, 0xFF, 0x00});
    ASSERT_TRUE(rig.waitDelivered(1));
    EXPECT_EQ(led(w, "setLED"), lamp::kGreen);
    EXPECT_FALSE(w.setPending());
}

} // namespace
