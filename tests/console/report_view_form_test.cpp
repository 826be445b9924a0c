// The report viewer base, once: a window built from a small spec of its own (a panel with its
// unit, a circle, an edit box, a two-row table, a query group of two keys in the button row and
// one in a box), driven through the real link with the test playing the receiver.
#include "console/report_view_form.h"
#include "link/catalogue.h"
#include "support/console_rig_qt.h"
#include "widgets/lamp_qt.h"
#include "widgets/panel_qt.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <gtest/gtest.h>

using vxtest::ConsoleRig;

namespace {

using namespace vx;

enum Slot : uint16_t { aWin, okLED, longWin, bWin };

constexpr ViewItem kItems[] = {
    {ItemKind::Panel, "aWin", "Alpha:", "s", 6},
    {ItemKind::Circle, "okLED", "Ok"},
    {ItemKind::Edit, "longWin", "Long:", nullptr, 30},
    {ItemKind::Panel, "bWin", "", nullptr, 6},
};
constexpr ViewBox kBoxes[] = {
    {.caption = "First", .objectName = "firstBox", .first = aWin, .count = 3},
    {.caption = "Second", .objectName = nullptr, .first = bWin, .count = 1, .row = 0, .column = 1},
};
constexpr ViewColumn kColumns[] = {{ItemKind::Panel, "svWin", "SV"},
                                   {ItemKind::Circle, "okStatus", "Ok"}};
constexpr ViewTable kTable{"Rows", "rowBox", 2, kColumns};

constexpr QueryFrame kBoth[] = {{0x16, 0x01}, {0x16, 0x02, 7}};
constexpr ViewAnswer kBothAnswers[] = {{0x16, 0x01, 0x01, 1}, {0x16, 0x02, 0x02, 2}};

// Three policies of the same two-key query: the plain one, one whose keys a positive
// acknowledgement ends and the time-out keeps, and one split into two groups (the second in a
// box).
constexpr ViewQuery kPlain[] = {
    {.button = "queryButton", .led = "queryLED", .frames = kBoth, .answers = kBothAnswers}};
constexpr ViewQuery kEager[] = {{.button = "queryButton",
                                 .led = "queryLED",
                                 .frames = kBoth,
                                 .answers = kBothAnswers,
                                 .expiryKeeps = true,
                                 .ackEnds = true}};
constexpr ViewAnswer kFirstAnswer[] = {{0x16, 0x01, 0x01}};
constexpr ViewAnswer kSecondAnswer[] = {{0x16, 0x02, 0x02}};
constexpr ViewQuery kSplit[] = {
    {.button = "queryButton", .led = "queryLED", .frames = kBoth, .answers = kFirstAnswer},
    {.button = "queryButton2",
     .led = "queryLED2",
     .frames = {},
     .answers = kSecondAnswer,
     .onShow = false,
     .box = 1,
     .caption = "Ask"},
};

const ViewSpec kPlainSpec{WindowId::Tpkt1601_1602Form, kItems, kBoxes, kPlain, &kTable, 1};
const ViewSpec kEagerSpec{WindowId::Tpkt1601_1602Form, kItems, kBoxes, kEager, &kTable, 1};
const ViewSpec kSplitSpec{WindowId::Tpkt1601_1602Form, kItems, kBoxes, kSplit, &kTable, 1};

// Shows 1601 in aWin and the table, 1602 in bWin and the edit box; a 1602 needs 12 bytes of
// payload (it has 9, so every 1602 is ignored) when short is set.
class ExampleViewer : public ReportViewForm {
public:
    ExampleViewer(Console& console, const ViewSpec& spec, bool shortIgnored = false)
        : ReportViewForm(console, spec) {
        showReplies<HealthRecord>([this](const HealthRecord& r, ViewUpdates& u) {
            ++shown;
            u.format(aWin, "%u", unsigned(r.last_event_index));
            u.flag(okLED, r.sensor_status == 0);
            u.text(spec_().cell(1, 0), "07");
            u.tint(spec_().cell(1, 1), Tint::Yellow);
        });
        showReplies<StartupReportRecord>(
            [this](const StartupReportRecord& r, ViewUpdates& u) {
                ++shown;
                u.format(bWin, "%u", unsigned(r.system_time));
                u.text(longWin, std::string(40, 'x'));
            },
            shortIgnored ? 12 : 0);
        extra = addButton("extraButton", "Extra");
    }
    const ViewSpec& spec_() const { return spec(); }
    using ReportViewForm::request;
    int shown = 0;
    QPushButton* extra;
};

Panel* panel(QWidget& w, const char* name) {
    return vxtest::child<Panel>(&w, name);
}
Lamp* lamp(QWidget& w, const char* name) {
    return vxtest::child<Lamp>(&w, name);
}

std::string queries() {
    return vxtest::hex(CommandFrame(kCmdQuery, 0x16, 0x01).toBytes()) + " " +
           vxtest::hex(CommandFrame(kCmdQuery, 0x16, 0x02).byte(7).toBytes());
}

const std::vector<uint8_t> k1601 = {0x00, 0x00, 0x05};
const std::vector<uint8_t> k1602 = {0, 0, 0, 0, 0, 42, 0, 0, 0};

TEST(ReportViewForm, BuildsItsWidgetsFromTheSpec) {
    vxtest::OfflineConsole c;
    ExampleViewer w(c.console, kSplitSpec);
    EXPECT_EQ(w.objectName(), "pkt1601_1602Form");
    EXPECT_EQ(w.windowTitle(), "Health Status and Start-Up Reports (1601, 1602)");
    // Panels blank on the button face, named by their captions; a panel without a caption by
    // its box; circles grey; LEDs white.
    EXPECT_EQ(panel(w, "aWin")->colour(), Panel::faceColour());
    EXPECT_EQ(panel(w, "aWin")->accessibleName(), "Alpha");
    EXPECT_EQ(panel(w, "bWin")->accessibleName(), "Second");
    EXPECT_EQ(panel(w, "svWin2")->accessibleName(), "SV 2");
    EXPECT_EQ(lamp(w, "okLED")->colour(), QColor(128, 128, 128));
    EXPECT_EQ(lamp(w, "okStatus1")->colour(), QColor(128, 128, 128));
    EXPECT_EQ(lamp(w, "queryLED")->colour(), lamp::kWhite);
    EXPECT_EQ(lamp(w, "queryLED2")->colour(), lamp::kWhite);
    EXPECT_TRUE(vxtest::child<QLineEdit>(&w, "longWin")->isReadOnly());
    EXPECT_EQ(w.slotWidget(w.spec().cell(0, 1)), lamp(w, "okStatus1"));
    EXPECT_EQ(w.slotWidget(99), nullptr);
    // Captions, the unit label and the boxes.
    auto* first = vxtest::child<QGroupBox>(&w, "firstBox");
    EXPECT_EQ(first->title(), "First");
    QStringList labels;
    for (auto* l : first->findChildren<QLabel*>(Qt::FindDirectChildrenOnly))
        if (!qobject_cast<Panel*>(l)) labels << l->text();
    EXPECT_EQ(labels, (QStringList{"Alpha:", "s", "Ok", "Long:"}));
    EXPECT_EQ(vxtest::child<QGroupBox>(&w, "rowBox")->title(), "Rows");
    // The second group's button sits in its box; the extra button before Close.
    EXPECT_EQ(vxtest::child<QPushButton>(&w, "queryButton2")->text(), "Ask");
    EXPECT_TRUE(vxtest::child<QGroupBox>(&w, "firstBox")->findChildren<QPushButton*>().empty());
    EXPECT_EQ(w.extra->text(), "Extra");
    // Close hides.
    w.show();
    vxtest::child<QPushButton>(&w, "closeButton")->click();
    EXPECT_FALSE(w.isVisible());
}

TEST(ReportViewForm, ShowingQueriesAndTheLedTurnsGreenWhenEveryKeyIsAnswered) {
    ConsoleRig rig;
    ExampleViewer w(rig.console, kPlainSpec);
    ASSERT_TRUE(rig.start());
    w.show();
    EXPECT_EQ(rig.sentHex(13), queries());
    EXPECT_TRUE(w.queryPending(0, 1));
    EXPECT_TRUE(w.queryPending(0, 2));
    EXPECT_TRUE(w.responseTimer()->isActive());
    Lamp* led = lamp(w, "queryLED");

    rig.receive(0x16, 0x01, k1601);
    ASSERT_TRUE(rig.waitDelivered(1));
    EXPECT_EQ(panel(w, "aWin")->text(), "5");
    EXPECT_EQ(panel(w, "aWin")->colour(), lamp::kWhite);
    EXPECT_EQ(lamp(w, "okLED")->colour(), lamp::kGreen);
    EXPECT_EQ(panel(w, "svWin2")->text(), "07");
    EXPECT_EQ(lamp(w, "okStatus2")->colour(), lamp::kYellow);
    EXPECT_EQ(led->colour(), lamp::kWhite);
    rig.receive(0x16, 0x02, k1602);
    ASSERT_TRUE(rig.waitDelivered(2));
    EXPECT_EQ(panel(w, "bWin")->text(), "42");
    EXPECT_EQ(vxtest::child<QLineEdit>(&w, "longWin")->text(), QString(40, 'x'));
    EXPECT_EQ(led->colour(), lamp::kGreen);
    EXPECT_FALSE(w.queryPending());
    // The time-out finds nothing pending; a report that comes unasked keeps the LED green.
    w.responseTimerTimer();
    EXPECT_EQ(led->colour(), lamp::kGreen);
    rig.receive(0x16, 0x01, {0x01, 0x00, 0x06});
    ASSERT_TRUE(rig.waitDelivered(3));
    EXPECT_EQ(panel(w, "aWin")->text(), "6");
    EXPECT_EQ(lamp(w, "okLED")->colour(), lamp::kRed);
    EXPECT_EQ(led->colour(), lamp::kGreen);
    // Query again: white, both keys pending.
    vxtest::child<QPushButton>(&w, "queryButton")->click();
    EXPECT_EQ(rig.sentHex(13), queries());
    EXPECT_EQ(led->colour(), lamp::kWhite);
    EXPECT_TRUE(w.queryPending(0, 1));
}

TEST(ReportViewForm, ARefusedKeyPaintsRedAndStaysRedUntilTheNextQuery) {
    ConsoleRig rig;
    ExampleViewer w(rig.console, kPlainSpec);
    ASSERT_TRUE(rig.start());
    w.show();
    rig.sentHex(13);
    Lamp* led = lamp(w, "queryLED");
    // An acknowledgement of a subcode the window does not query is not its own.
    rig.ack(kCmdQuery, {0x16, 0x03, 0x05});
    ASSERT_TRUE(rig.waitDelivered(1));
    EXPECT_EQ(led->colour(), lamp::kWhite);
    // A positive acknowledgement ends nothing here.
    rig.ack(kCmdQuery, {0x16, 0x02, 0x00});
    ASSERT_TRUE(rig.waitDelivered(2));
    EXPECT_TRUE(w.queryPending(0, 2));
    // 1601 refused: red, that key over; the 1602 reply then fills its panel and leaves it red.
    rig.ack(kCmdQuery, {0x16, 0x01, 0x05});
    ASSERT_TRUE(rig.waitDelivered(3));
    EXPECT_EQ(led->colour(), lamp::kRed);
    EXPECT_FALSE(w.queryPending(0, 1));
    rig.receive(0x16, 0x02, k1602);
    ASSERT_TRUE(rig.waitDelivered(4));
    EXPECT_EQ(panel(w, "bWin")->text(), "42");
    EXPECT_EQ(led->colour(), lamp::kRed);
    EXPECT_FALSE(w.queryPending());
    // The time-out has nothing left to judge: the LED is not painted again.
    led->setColour(lamp::kBlue); // a marker: expiry would paint red over it
    w.responseTimerTimer();
    EXPECT_EQ(led->colour(), lamp::kBlue);
    // Refused on its own, the last key leaves the request over and red; the next report that
    // comes is green again.
    w.queryButtonClick();
    rig.sentHex(13);
    rig.ack(kCmdQuery, {0x16, 0x01, 0x05});
    rig.ack(kCmdQuery, {0x16, 0x02, 0x05});
    ASSERT_TRUE(rig.waitDelivered(6));
    EXPECT_EQ(led->colour(), lamp::kRed);
    EXPECT_FALSE(w.queryPending());
    rig.receive(0x16, 0x01, k1601);
    ASSERT_TRUE(rig.waitDelivered(7));
    EXPECT_EQ(led->colour(), lamp::kGreen);
}

TEST(ReportViewForm, ExpiryEndsOrKeepsAndAPositiveAckEndsWhereTheGroupSaysSo) {
    {
        // Plain: the time-out paints red and ends the request.
        ConsoleRig rig;
        ExampleViewer w(rig.console, kPlainSpec);
        ASSERT_TRUE(rig.start());
        w.show();
        w.responseTimerTimer();
        EXPECT_EQ(lamp(w, "queryLED")->colour(), lamp::kRed);
        EXPECT_FALSE(w.queryPending());
        EXPECT_FALSE(w.responseTimer()->isActive());
    }
    {
        // Eager: a positive acknowledgement ends its key without painting; the time-out paints
        // the rest red and keeps it pending, and its late report completes it.
        ConsoleRig rig;
        ExampleViewer w(rig.console, kEagerSpec);
        ASSERT_TRUE(rig.start());
        w.show();
        rig.ack(kCmdQuery, {0x16, 0x01, 0x00});
        ASSERT_TRUE(rig.waitDelivered(1));
        EXPECT_FALSE(w.queryPending(0, 1));
        EXPECT_EQ(lamp(w, "queryLED")->colour(), lamp::kWhite);
        w.responseTimerTimer();
        EXPECT_EQ(lamp(w, "queryLED")->colour(), lamp::kRed);
        EXPECT_TRUE(w.queryPending(0, 2));
        rig.receive(0x16, 0x02, k1602);
        ASSERT_TRUE(rig.waitDelivered(2));
        EXPECT_EQ(lamp(w, "queryLED")->colour(), lamp::kGreen);
    }
}

TEST(ReportViewForm, GroupsShareOneTimerAndOnlyThoseThatSaySoQueryOnShowing) {
    ConsoleRig rig;
    ExampleViewer w(rig.console, kSplitSpec);
    ASSERT_TRUE(rig.start());
    w.show();
    EXPECT_EQ(rig.sentHex(13), queries());
    EXPECT_TRUE(w.queryPending(0));
    EXPECT_FALSE(w.queryPending(1));
    // The second group's button: its LED white, nothing sent (it has no frames), the running
    // timer not restarted.
    vxtest::child<QPushButton>(&w, "queryButton2")->click();
    EXPECT_EQ(lamp(w, "queryLED2")->colour(), lamp::kWhite);
    EXPECT_TRUE(w.queryPending(1));
    rig.receive(0x16, 0x02, k1602);
    ASSERT_TRUE(rig.waitDelivered(1));
    EXPECT_EQ(lamp(w, "queryLED2")->colour(), lamp::kGreen);
    EXPECT_EQ(lamp(w, "queryLED")->colour(), lamp::kWhite);
    w.responseTimerTimer();
    EXPECT_EQ(lamp(w, "queryLED")->colour(), lamp::kRed);
    EXPECT_EQ(lamp(w, "queryLED2")->colour(), lamp::kGreen);
    w.queryButtonClick(5); // no such group: nothing
    EXPECT_EQ(rig.sentNowHex(), "");
}

TEST(ReportViewForm, ABurstOfReportsEndsWithTheLastOnesTexts) {
    ConsoleRig rig;
    ExampleViewer w(rig.console, kPlainSpec);
    ASSERT_TRUE(rig.start());
    w.show();
    std::vector<uint8_t> burst;
    for (uint8_t i = 1; i <= 250; ++i) {
        const std::vector<uint8_t> f = vxtest::frame(0x16, 0x01, {0x00, 0x00, i});
        burst.insert(burst.end(), f.begin(), f.end());
    }
    rig.receiveBytes(burst);
    ASSERT_TRUE(rig.waitDelivered(250));
    EXPECT_EQ(w.shown, 250);
    EXPECT_EQ(panel(w, "aWin")->text(), "250");
}

TEST(ReportViewForm, AReplyShorterThanItsLayoutIsIgnored) {
    ConsoleRig rig;
    ExampleViewer w(rig.console, kPlainSpec, true);
    ASSERT_TRUE(rig.start());
    w.show();
    rig.receive(0x16, 0x02, k1602);
    rig.receive(0x16, 0x01, k1601);
    ASSERT_TRUE(rig.waitDelivered(2));
    EXPECT_EQ(w.shown, 1);
    EXPECT_EQ(panel(w, "bWin")->text(), "");
    EXPECT_TRUE(w.queryPending(0, 2));
    EXPECT_EQ(lamp(w, "queryLED")->colour(), lamp::kWhite);
}

} // namespace
