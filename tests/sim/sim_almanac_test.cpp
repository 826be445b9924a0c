// A cold reset loses the almanac and the receiver collects it again once it tracks; a hot
// reset keeps it (the time-to-almanac test depends on both).
#include "link/catalogue.h"
#include "sim/sim_harness.h"

#include <gtest/gtest.h>

namespace {

bool almanacComplete(const vx::sim::SimStore& s) {
    for (const auto& p : s.almanac)
        if (!(p.status & 7)) return false;
    return (s.almanac13.status & 7) && (s.almanac14.status & 7);
}

TEST(SimSystem, ColdResetLosesTheAlmanacUntilItIsCollectedAgain) {
    for (uint8_t system : {uint8_t(0x01), uint8_t(0x02)}) {
        SCOPED_TRACE(int(system));
        vxtest::SimHarness h;
        h.boot();
        h.run(120000);
        ASSERT_TRUE(almanacComplete(h.sim.store()));
        vx::sendSystem(h, system);
        h.run(1000);
        EXPECT_EQ(almanacComplete(h.sim.store()), system == 0x01);
        h.run(180000);
        EXPECT_TRUE(almanacComplete(h.sim.store()));
    }
}

} // namespace
