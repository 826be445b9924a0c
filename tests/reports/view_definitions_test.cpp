// Every viewer's spec is whole: each item sits in exactly one box, object names are unique,
// every query group names its frames and answers, and the slots the view functions write are
// the items of those names.
#include "app/version_texts.h"
#include "reports/constellation_views.h"
#include "reports/dr_views.h"
#include "reports/fix_views.h"
#include "reports/health_views.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace {

using namespace vx;

TEST(ViewSpecs, EveryItemSitsInOneBoxAndEveryNameIsUnique) {
    const ViewSpec* specs[] = {&pkt32Spec(),   &pkt3202_3203Spec(), &pkt33Spec(),
                               &pkt31Spec(),   &pkt1601_1602Spec(), &pkt7020Spec(),
                               &pkt3002Spec(), &bufferedDrSpec(),   &versionSpec()};
    for (const ViewSpec* s : specs) {
        const std::string window(windowName(s->window));
        std::vector<int> boxesOf(s->items.size(), 0);
        for (const ViewBox& b : s->boxes) {
            ASSERT_LE(size_t(b.first) + b.count, s->items.size()) << window;
            for (uint16_t i = b.first; i < b.first + b.count; ++i) ++boxesOf[i];
        }
        for (size_t i = 0; i < s->items.size(); ++i)
            EXPECT_EQ(boxesOf[i], 1) << window << " " << s->items[i].name;
        std::set<std::string> names;
        for (size_t slot = 0; slot < s->slotCount(); ++slot)
            EXPECT_TRUE(names.insert(s->slotName(uint16_t(slot))).second)
                << window << " " << s->slotName(uint16_t(slot));
        ASSERT_FALSE(s->queries.empty()) << window;
        for (const ViewQuery& q : s->queries) {
            EXPECT_TRUE(names.insert(q.button).second) << window << " " << q.button;
            EXPECT_TRUE(names.insert(q.led).second) << window << " " << q.led;
            EXPECT_FALSE(q.frames.empty()) << window;
            EXPECT_FALSE(q.answers.empty()) << window;
            EXPECT_LT(q.box, int(s->boxes.size())) << window;
        }
    }
}

// The slot names the view functions use are the object names of those slots.
TEST(ViewSpecs, SlotEnumsFollowTheItems) {
    struct Case {
        const ViewSpec& spec;
        uint16_t slot;
        const char* name;
    } cases[] = {
        {pkt32Spec(), pkt32::utcDateWin, "utcDateWin"},
        {pkt32Spec(), pkt32::ststusWin, "ststusWin"},
        {pkt3202_3203Spec(), pkt3202::ageWin, "ageWin"},
        {pkt3202_3203Spec(), pkt3202::weekNumWin, "weekNumWin"},
        {pkt31Spec(), pkt31::DGPS_LED, "DGPS_LED"},
        {pkt31Spec(), pkt31::Shape1, "Shape1"},
        {pkt1601_1602Spec(), pkt16::SE_Panel, "SE_Panel"},
        {pkt1601_1602Spec(), pkt16::shutdownPanel, "shutdownPanel"},
        {pkt7020Spec(), pkt7020::ROM_cksumWin, "ROM_cksumWin"},
        {pkt3002Spec(), pkt3002::tachoCalLED, "tachoCalLED"},
        {pkt3002Spec(), pkt3002::dirSwitchValWin, "dirSwitchValWin"},
        {bufferedDrSpec(), pkt3003::deltaHdgArrayWin, "deltaHdgArrayWin"},
        {bufferedDrSpec(), pkt3003::RollingStartStatus, "RollingStartStatus"},
        {versionSpec(), version::snWin, "snWin"},
        {pkt33Spec(), pkt33Spec().cell(11, pkt33::ephWin), "ephWin12"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.spec.slotName(c.slot), c.name);
    }
    EXPECT_EQ(pkt31Spec().slotCount(), size_t(pkt31::Shape1) + 1);
    EXPECT_EQ(pkt32Spec().slotCount(), size_t(pkt32::ststusWin) + 1);
    EXPECT_EQ(pkt3202_3203Spec().slotCount(), size_t(pkt3202::weekNumWin) + 1);
    EXPECT_EQ(pkt1601_1602Spec().slotCount(), size_t(pkt16::shutdownPanel) + 1);
    EXPECT_EQ(pkt3002Spec().slotCount(), size_t(pkt3002::dirSwitchValWin) + 1);
    EXPECT_EQ(bufferedDrSpec().slotCount(), size_t(pkt3003::RollingStartStatus) + 1);
}

} // namespace
