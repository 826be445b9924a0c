// The viewer spec (slots of items and table cells, their names and captions, which query a
// report answers) and the updates a view function writes.
#include "console/report_view.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace vx;

constexpr ViewItem kItems[] = {
    {ItemKind::Panel, "dateWin", "Date:"},
    {ItemKind::Circle, "fixLED", "Fix"},
};
constexpr ViewColumn kColumns[] = {{ItemKind::Panel, "svWin", "SV"},
                                   {ItemKind::Circle, "tkStatus", "Tracking"}};
constexpr ViewTable kTable{"Channels", nullptr, 3, kColumns};
constexpr ViewAnswer kFirst[] = {{0x16, 0x01, 0x01, 1}, {0x16, 0x02, 0x02, 2}};
constexpr ViewAnswer kSecond[] = {{0x33, 0x00, 0xFF}};
constexpr ViewQuery kQueries[] = {{.button = "b1", .led = "l1", .frames = {}, .answers = kFirst},
                                  {.button = "b2", .led = "l2", .frames = {}, .answers = kSecond}};
const ViewSpec kSpec{WindowId::Tpkt33Form, kItems, {}, kQueries, &kTable};

TEST(ViewSpec, SlotsAreTheItemsThenTheTableRowByRow) {
    EXPECT_EQ(kSpec.slotCount(), 2u + 3u * 2u);
    struct Case {
        uint16_t slot;
        const char* name;
        ItemKind kind;
        const char* caption;
    } cases[] = {
        {0, "dateWin", ItemKind::Panel, "Date"},
        {1, "fixLED", ItemKind::Circle, "Fix"},
        {kSpec.cell(0, 0), "svWin1", ItemKind::Panel, "SV 1"},
        {kSpec.cell(0, 1), "tkStatus1", ItemKind::Circle, "Tracking 1"},
        {kSpec.cell(2, 1), "tkStatus3", ItemKind::Circle, "Tracking 3"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(kSpec.slotName(c.slot), c.name);
        EXPECT_EQ(kSpec.slotKind(c.slot), c.kind) << c.name;
        EXPECT_EQ(kSpec.slotCaption(c.slot), c.caption);
        EXPECT_EQ(kSpec.slotByName(c.name), c.slot);
    }
    EXPECT_EQ(kSpec.cell(2, 1), 7);
    EXPECT_EQ(kSpec.slotName(8), "");
    EXPECT_FALSE(kSpec.slotByName("svWin4"));
}

TEST(ViewSpec, AReportAnswersTheFirstGroupThatNamesIt) {
    auto m = kSpec.answerOf(0x16, 0x02);
    ASSERT_TRUE(m);
    EXPECT_EQ(m->group, 0);
    EXPECT_EQ(m->key, 2);
    m = kSpec.answerOf(0x33, 0xFF);
    ASSERT_TRUE(m);
    EXPECT_EQ(m->group, 1);
    EXPECT_EQ(m->key, 0);
    EXPECT_FALSE(kSpec.answerOf(0x16, 0x03));
    EXPECT_FALSE(kSpec.answerOf(0x32, 0x01));
}

TEST(ViewUpdates, TextsAreWhiteBlanksFaceCirclesTheirTint) {
    ViewUpdates u;
    u.text(0, "abc");
    u.blank(1);
    u.flag(2, true);
    u.flag(3, false, Tint::Green, Tint::Yellow);
    u.format(4, "%s", std::string(300, 'x').c_str()); // longer than the short buffer
    ASSERT_EQ(u.cells().size(), 5u);
    EXPECT_EQ(u.find(0)->text, "abc");
    EXPECT_EQ(u.find(0)->tint, Tint::White);
    EXPECT_TRUE(u.find(1)->hasText);
    EXPECT_EQ(u.find(1)->text, "");
    EXPECT_EQ(u.find(1)->tint, Tint::Face);
    EXPECT_FALSE(u.find(2)->hasText);
    EXPECT_EQ(u.find(2)->tint, Tint::Green);
    EXPECT_EQ(u.find(3)->tint, Tint::Yellow);
    EXPECT_EQ(u.find(4)->text, std::string(300, 'x'));
    // A slot changed twice: the last change counts.
    u.text(0, "def");
    EXPECT_EQ(u.find(0)->text, "def");
    // Cleared for the next report, keeping its cells.
    u.clear();
    EXPECT_TRUE(u.empty());
    EXPECT_EQ(u.find(0), nullptr);
    u.tint(5, Tint::Grey);
    EXPECT_EQ(u.cells().size(), 1u);
    EXPECT_EQ(u.find(5)->text, "");
}

TEST(ViewSpec, CaptionsLoseTheirColon) {
    EXPECT_EQ(captionName("UTC offset:"), "UTC offset");
    EXPECT_EQ(captionName("Speed "), "Speed");
    EXPECT_EQ(captionName("# GyroSamples:"), "# GyroSamples");
    EXPECT_EQ(formatText("%03u|%.2f", 5u, -0.5), "005|-0.50");
}

} // namespace
