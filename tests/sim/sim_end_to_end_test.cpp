// The simulated receiver on a pseudo-terminal, read through the console's own receive path:
// serial link, receive worker, hand-over queue and consumer.
#include "link/catalogue.h"
#include "link/event_texts.h"
#include "link/receive_worker.h"
#include "sim/sim_harness.h"
#include "sim/sim_runner.h"
#include "support/pty.h"
#include "support/recording_registry.h"

#include <gtest/gtest.h>

#include <mutex>
#include <optional>

using vxtest::waitFor;

namespace {

class LossFlag : public vx::LinkLossObserver {
public:
    void linkLost(const vx::LinkLoss& loss) override {
        std::lock_guard lk(mu);
        reason = loss.reason;
        ++count;
    }
    std::mutex mu;
    std::string reason;
    int count = 0;
};

// The receiver on its pty, the console's link on the slave, every delivery seen by the test.
// The receiver's clock is stepped: it is powered on once the link runs.
struct EndToEnd : ::testing::Test {
    vx::sim::SimRunner runner{[] {
        vx::sim::SimRunnerOptions o;
        o.speed = 0;
        o.sim.utcStartUnixMs = vxtest::kSimUtc; // 2024-05-13
        return o;
    }()};
    vx::ComSlots slots;
    vx::HandoverQueue queue;
    vx::ReceiveWorker worker{queue};
    vxtest::RecordingRegistry registry;
    vx::HandlerTable handlers;
    vx::DeliveryConsumer consumer{queue, registry, handlers};
    LossFlag loss;
    vx::SerialLink link{slots};
    std::unique_ptr<vxtest::ConsumerThread> consumerThread;

    std::mutex mu;
    std::optional<vx::SoftEventRecord> fatal; // the last 1402
    size_t drReports = 0;

    void SetUp() override {
        std::string path;
        ASSERT_TRUE(runner.startOnPty(&path)) << runner.error();
        slots.setPath(0, path);
        consumer.setObserver([this](const vx::Delivery& d) {
            std::lock_guard lk(mu);
            if (d.h1 == 0x30 && d.h2 == 0x02) ++drReports;
            if (d.h1 == 0x14 && d.h2 == 0x02)
                if (auto* r = d.recordAs<vx::SoftEventRecord>()) fatal = *r;
        });
        link.setReader(&worker);
        link.setLossObserver(&loss);
        ASSERT_EQ(link.startLink(vx::LinkSettings{}), 0) << link.lastError();
        consumerThread = std::make_unique<vxtest::ConsumerThread>(consumer);
        // Powered on, and a second of reports.
        ASSERT_TRUE(runner.advance(vx::sim::SimReceiver::restartMs() + 1000));
        ASSERT_TRUE(waitFor([&] {
            std::lock_guard lk(mu);
            return drReports > 0;
        })) << "the receiver is up";
    }
    void TearDown() override {
        link.stopLink();
        consumerThread.reset();
        runner.stop();
    }
};

TEST_F(EndToEnd, AFatalErrorEntryArrivesWithItsYearAndCode) {
    // "Gen Bad Int": the receiver logs a fatal error and restarts.
    const uint64_t resets = runner.stats().resets;
    ASSERT_EQ(vx::sendCommand(link, 0x01, 0x70, 0x17, vx::kNoIndex, {}), 0);
    ASSERT_TRUE(waitFor([&] { return runner.stats().resets > resets; }));
    // Once it is back, it answers the query for the fatal error log.
    ASSERT_TRUE(runner.advance(vx::sim::SimReceiver::restartMs()));
    ASSERT_EQ(vx::sendQuery2(link, 0x14, 0x02, 0), 0);
    ASSERT_TRUE(waitFor([&] {
        std::lock_guard lk(mu);
        return fatal.has_value();
    }));
    std::lock_guard lk(mu);
    EXPECT_EQ(fatal->index, 0);
    EXPECT_EQ(fatal->year, 2024);
    EXPECT_EQ(fatal->event_code, 0x1000);
    EXPECT_EQ(vx::fatalErrorText(fatal->event_code), "Illegal hardware interrupt.");
}

TEST_F(EndToEnd, AReceiverThatStopsIsReportedAsALostDevice) {
    runner.stop(); // closes its pseudo-terminal, like a receiver process that was killed
    ASSERT_TRUE(waitFor([&] {
        std::lock_guard lk(loss.mu);
        return loss.count == 1;
    }));
    EXPECT_EQ(loss.reason, "device disconnected");
    EXPECT_FALSE(link.running());
    EXPECT_EQ(vx::sendQuery(link, 0x21, 0x01), -1);
}

} // namespace
