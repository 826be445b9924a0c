// Faults on demand: each does what it says, counted over many packets, and the same seed gives
// the same run.
#include "link/catalogue.h"
#include "sim/sim_harness.h"

#include <gtest/gtest.h>

using namespace vxtest;
using vx::sim::SimFaults;

namespace {

struct Counts {
    size_t replies = 0, acks = 0, checksumErrors = 0, good = 0;
    std::vector<uint8_t> ackResults;
};

// Sends n Query 2101 and counts what comes back.
Counts queryMany(SimHarness& h, int n) {
    Counts c;
    h.take();
    for (int i = 0; i < n; ++i) {
        vx::sendQuery(h, 0x21, 1);
        h.run(5);
    }
    h.run(1000);
    for (const Packet& p : h.take()) {
        if (p.result) {
            if (p.result & vx::kFrameChecksumError) ++c.checksumErrors;
            continue;
        }
        ++c.good;
        if (p.code == 0x21 && p.sub == 1) ++c.replies;
        if (p.code == 0x10 && p.sub == 0x02) {
            ++c.acks;
            c.ackResults.push_back(p.payload.back());
        }
    }
    return c;
}

} // namespace

TEST(SimFaults, DroppedAcknowledgementsAndReplies) {
    struct Case {
        double dropAcks, dropReplies;
    };
    for (Case k : {Case{0.3, 0.0}, Case{0.0, 0.5}, Case{0.2, 0.2}}) {
        SCOPED_TRACE(std::to_string(k.dropAcks) + " / " + std::to_string(k.dropReplies));
        SimFaults f;
        f.dropAckFraction = k.dropAcks;
        f.dropReplyFraction = k.dropReplies;
        SimHarness h(3, f);
        h.boot();
        const int n = 2000;
        Counts c = queryMany(h, n);
        // Binomial: three standard deviations of 2000 draws are under 0.035.
        EXPECT_NEAR(double(c.acks) / n, 1.0 - k.dropAcks, 0.035);
        EXPECT_NEAR(double(c.replies) / n, 1.0 - k.dropReplies, 0.035);
        EXPECT_EQ(h.sim.stats().acksDropped, uint64_t(n) - c.acks);
        EXPECT_EQ(h.sim.stats().repliesDropped, uint64_t(n) - c.replies);
    }
}

TEST(SimFaults, ForcedResultRefusesEveryCommandWithoutCarryingItOut) {
    SimFaults f;
    f.forcedResult = 0x09;
    SimHarness h(1, f);
    h.boot();
    Counts c = queryMany(h, 50);
    EXPECT_EQ(c.replies, 0u);
    ASSERT_EQ(c.acks, 50u);
    for (uint8_t r : c.ackResults) EXPECT_EQ(r, 0x09);

    vx::setDrEngineRate(h, 10);
    vx::sendSystem(h, 0x01);
    auto ps = h.take();
    ASSERT_EQ(ps.size(), 2u);
    EXPECT_EQ(hex(ps[0].payload), "21 01 09");
    EXPECT_EQ(hex(ps[1].payload), "01 09");
    EXPECT_EQ(h.sim.mode(), vx::sim::SimMode::Normal) << "the reset was refused";

    h.sim.setFaults({});
    vx::sendQuery(h, 0x21, 1);
    auto r = withId(h.take(), 0x21, 1);
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0].payload[0], 5) << "the refused Set changed nothing";
}

TEST(SimFaults, CorruptedChecksumsAreCountedByTheDeframer) {
    SimFaults f;
    f.corruptChecksumFraction = 0.1;
    SimHarness h(5, f);
    h.run(300000);
    size_t bad = 0, good = 0;
    for (const Packet& p : h.take()) {
        if (p.result == vx::kFrameChecksumError)
            ++bad;
        else if (p.result == 0)
            ++good;
        else
            ADD_FAILURE() << "unexpected deframer result " << p.result;
    }
    const double total = double(bad + good);
    ASSERT_GT(total, 5000);
    EXPECT_NEAR(bad / total, 0.1, 0.015);
    EXPECT_EQ(bad, h.sim.stats().framesCorrupted);
    EXPECT_EQ(bad + good, h.sim.stats().framesSent);
}

TEST(SimFaults, GarbageBetweenFramesLosesNoFrame) {
    SimFaults f;
    f.garbageFraction = 0.5;
    f.garbageMaxBytes = 40;
    SimHarness h(6, f);
    h.run(60000);
    size_t good = 0;
    for (const Packet& p : h.take()) {
        EXPECT_EQ(p.result, 0);
        EXPECT_EQ(p.decodeResult(), 0);
        good += p.result == 0;
    }
    const auto& s = h.sim.stats();
    EXPECT_EQ(good, s.framesSent);
    EXPECT_NEAR(double(s.garbageBursts) / double(s.framesSent), 0.5, 0.03);
    EXPECT_GT(s.garbageBytes, s.garbageBursts * 10);
}

TEST(SimFaults, AnswerDelayHoldsRepliesBackButNotReports) {
    SimFaults f;
    f.answerDelayMs = 400;
    SimHarness h(1, f);
    h.boot();
    h.take();
    vx::sendQuery(h, 0x21, 1);
    h.run(390);
    auto early = h.take();
    EXPECT_EQ(countId(early, 0x21, 1), 0u);
    EXPECT_EQ(countId(early, 0x10, 2), 0u);
    EXPECT_GE(countId(early, 0x30, 2), 1u) << "periodic reports keep their pace";
    h.run(10);
    auto late = h.take();
    EXPECT_EQ(countId(late, 0x21, 1), 1u);
    EXPECT_EQ(countId(late, 0x10, 2), 1u);
}

TEST(SimFaults, SilentSendsNothingButStillTakesCommands) {
    SimFaults f;
    f.silent = true;
    SimHarness h(1, f);
    h.run(10000);
    vx::setDrEngineRate(h, 10);
    h.run(10000);
    EXPECT_TRUE(h.takeRaw().empty());
    EXPECT_GT(h.sim.stats().silenced, 100u);
    h.sim.setFaults({});
    vx::sendQuery(h, 0x21, 1);
    auto r = withId(h.take(), 0x21, 1);
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0].payload[0], 10);
}

TEST(SimFaults, TheSameSeedGivesTheSameBytes) {
    SimFaults f;
    f.dropAckFraction = 0.2;
    f.corruptChecksumFraction = 0.05;
    f.garbageFraction = 0.1;
    auto runOnce = [&](uint64_t seed) {
        SimHarness h(seed, f);
        h.run(5000);
        for (int i = 0; i < 20; ++i) {
            vx::sendQuery(h, 0x24, uint8_t(1 + i % 8));
            h.run(250);
        }
        h.run(20000);
        return h.takeRaw();
    };
    auto a = runOnce(42);
    auto b = runOnce(42);
    auto c = runOnce(43);
    EXPECT_GT(a.size(), 10000u);
    EXPECT_EQ(a, b);
    EXPECT_NE(a, c);
}
