// The restart stress tests without a display: the repeated reset test's ticks, countdown,
// counts and status line, and the force-to-monitor test's sequence.
#include "testtools/reset_tests.h"
#include "testtools/tool_fields.h"

#include <gtest/gtest.h>

namespace {

using vx::RepeatedResetTest;

TEST(ResetTests, ElapsedTimeText) {
    EXPECT_EQ(vx::elapsedText(0), "00:00.00");
    EXPECT_EQ(vx::elapsedText(999), "00:00.00");
    EXPECT_EQ(vx::elapsedText(65'400), "00:01.05");
    EXPECT_EQ(vx::elapsedText(3'600'000 + 59'000), "01:00.59");
    EXPECT_EQ(vx::elapsedText(-5), "00:00.00");
}

TEST(ResetTests, AcknowledgementsOfTheSelectedTypeCount) {
    RepeatedResetTest t;
    t.ack(0x05, 1); // counts even before a start
    EXPECT_EQ(t.acks(), 1u);
    t.start();
    EXPECT_EQ(t.acks(), 0u);
    t.ack(0x05, 1);
    t.ack(0x01, 1); // another type: not counted
    t.ack(0x03, 1);
    EXPECT_EQ(t.acks(), 1u);
}

// Walks a test through its ticks; each tick 100 ms later.
struct ResetRun {
    RepeatedResetTest t;
    int64_t now = 0;
    int resets = 0;
    RepeatedResetTest::Tick tick(int32_t max, int32_t wait) {
        now += 100;
        RepeatedResetTest::Tick k = t.tick(now, max, wait);
        if (k.sendReset) {
            t.resetSent(now);
            ++resets;
        }
        return k;
    }
    void start() {
        t.start();
        t.resetSent(now);
        ++resets;
    }
};

TEST(ResetTests, CountdownAfterTheStartupReportThenTheNextReset) {
    ResetRun r;
    r.start();
    // Waiting for the start-up report: no countdown, only the elapsed time.
    RepeatedResetTest::Tick k = r.tick(0, 20);
    EXPECT_EQ(k.status, "Reset sent 00:00.00 ago.");
    EXPECT_FALSE(k.sendReset);
    for (int i = 0; i < 9; ++i) r.tick(0, 20);
    EXPECT_EQ(r.tick(0, 20).status, "Reset sent 00:00.01 ago.");
    r.t.startupReport(20);
    EXPECT_EQ(r.t.startups(), 1u);
    // 20 ticks (2 s) later the next reset goes out; the status counts down 19 .. 0.
    for (int i = 19; i >= 1; --i) {
        k = r.tick(0, 20);
        EXPECT_EQ(k.status, "Reset sent 00:00.0" + std::to_string((12 + 19 - i) / 10) + " ago. " +
                                std::to_string(i));
        EXPECT_FALSE(k.sendReset);
    }
    k = r.tick(0, 20);
    EXPECT_TRUE(k.sendReset);
    EXPECT_EQ(k.status.substr(k.status.size() - 2), " 0");
    EXPECT_EQ(r.resets, 2);
    EXPECT_EQ(r.t.requests(), 2u);
    // The next tick measures from the new reset.
    EXPECT_EQ(r.tick(0, 20).status, "Reset sent 00:00.00 ago.");
}

TEST(ResetTests, WaitOfZeroResetsAtTheNextTick) {
    ResetRun r;
    r.start();
    r.tick(0, 0);
    r.t.startupReport(0);
    RepeatedResetTest::Tick k = r.tick(0, 0);
    EXPECT_TRUE(k.sendReset);
    EXPECT_EQ(k.status, "Reset sent 00:00.00 ago.");
    EXPECT_EQ(r.resets, 2);
}

TEST(ResetTests, MaximumStopsOnTheTickAfterTheLastReset) {
    ResetRun r;
    r.start();
    int ticks = 0;
    for (; ticks < 1000; ++ticks) {
        RepeatedResetTest::Tick k = r.tick(3, 0);
        if (k.stopped) break;
        if (!r.t.counting() && !k.sendReset) r.t.startupReport(0);
    }
    EXPECT_EQ(r.resets, 3);
    EXPECT_FALSE(r.t.running());
    // Start-up reports after the end are counted but start nothing.
    r.t.startupReport(0);
    EXPECT_EQ(r.t.startups(), 3u);
    EXPECT_FALSE(r.t.counting());
    EXPECT_TRUE(r.tick(3, 0).stopped);
}

TEST(ResetTests, StatusTurnsLateAndStartClearsAnOldCountdown) {
    ResetRun r;
    r.start();
    // wait 20 = 2 s: late once more than 12 s passed without a start-up report.
    r.now += 11'800;
    EXPECT_FALSE(r.tick(0, 20).late); // 11.9 s
    EXPECT_FALSE(r.tick(0, 20).late); // exactly 12.0 s is not late yet
    EXPECT_TRUE(r.tick(0, 20).late);

    // Stopped in the middle of a countdown; the next Start must not inherit it.
    r.t.startupReport(20);
    r.tick(0, 20);
    r.t.stop();
    EXPECT_TRUE(r.tick(0, 20).stopped);
    r.start();
    EXPECT_FALSE(r.t.counting());
    for (int i = 0; i < 40; ++i) EXPECT_FALSE(r.tick(0, 20).sendReset);
    EXPECT_EQ(r.t.requests(), 1u);
}

TEST(ResetTests, ForceToMonitorSequence) {
    using N = vx::ForceToMonitorTest::Next;
    vx::ForceToMonitorTest t;
    t.sysAck(0x03); // before any start
    EXPECT_EQ(t.correct(), 1);
    t.start(3);
    EXPECT_EQ(t.attempted(), 1);
    EXPECT_EQ(t.correct(), 0);
    for (int force = 1; force <= 3; ++force) {
        t.sysAck(0x03);
        t.sysAck(0x01); // other codes do not count
        t.restartSent();
        EXPECT_FALSE(t.alive());
        t.drData();
        N next = t.afterRestartPause();
        EXPECT_EQ(next, force < 3 ? N::Force : N::Done) << force;
        EXPECT_EQ(t.attempted(), force < 3 ? force + 1 : 3);
    }
    EXPECT_EQ(t.correct(), 3);
    EXPECT_FALSE(t.running());

    // No 3002 after the restart: the receiver is not responding.
    t.start(5);
    t.restartSent();
    EXPECT_EQ(t.afterRestartPause(), N::NotResponding);
    EXPECT_FALSE(t.running());
    // One force or fewer ends after the first restart.
    t.start(0);
    t.restartSent();
    t.drData();
    EXPECT_EQ(t.afterRestartPause(), N::Done);
}

TEST(ToolFields, DecimalBoxes) {
    struct Case {
        const char* text;
        bool ok;
        int32_t value; // after reading into 42
    };
    for (Case c : {Case{"", true, 42}, Case{"  ", true, 42}, Case{"17", true, 17},
                   Case{" 0 ", true, 0}, Case{"-3", true, -3}, Case{"2147483647", true, 2147483647},
                   Case{"2147483648", false, 42}, Case{"1.5", false, 42}, Case{"12ms", false, 42},
                   Case{"-", false, 42}, Case{"+4", false, 42}}) {
        int32_t v = 42;
        EXPECT_EQ(vx::readDecimalField(c.text, v), c.ok) << c.text;
        EXPECT_EQ(v, c.value) << c.text;
    }
    int32_t v = 5;
    EXPECT_EQ(vx::readCountField("Cycles", "-1", v), "Cycles: cannot be negative.");
    EXPECT_EQ(vx::readCountField("Cycles", "x", v), "Cycles: not a whole number.");
    EXPECT_EQ(v, 5);
    EXPECT_EQ(vx::readCountField("Cycles", "100", v), "");
    EXPECT_EQ(v, 100);
}

} // namespace
