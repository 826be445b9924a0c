// The bounded hand-over queue and the consumer that runs the routing steps.
#include "link/handover.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>

#include "support/pty.h"
#include "support/recording_registry.h"

using vx::Gate;
using vx::HandlerRole;
using vx::WindowId;
using vxtest::waitFor;

namespace {

void push(vx::HandoverQueue& q, uint8_t h1, uint8_t h2, std::vector<vx::RouteStep> steps) {
    std::atomic<bool> never{false};
    vx::Delivery* d = q.reserve(never);
    ASSERT_NE(d, nullptr);
    d->h1 = h1;
    d->h2 = h2;
    d->stepCount = uint8_t(steps.size());
    for (size_t i = 0; i < steps.size(); ++i) d->steps[i] = steps[i];
    q.commit();
}

TEST(HandoverQueue, KeepsOrderAndDropsNothingWhenTheConsumerIsSlow) {
    vx::HandoverQueue q(4);
    constexpr uint32_t kCount = 20000;
    std::atomic<bool> never{false};
    std::thread producer([&] {
        for (uint32_t i = 0; i < kCount; ++i) {
            vx::Delivery* d = q.reserve(never);
            ASSERT_NE(d, nullptr);
            d->count = 4;
            std::memcpy(d->frame.data(), &i, 4);
            q.commit();
        }
    });
    uint32_t expected = 0;
    size_t maxSize = 0;
    while (expected < kCount) {
        if (!q.waitForData(std::chrono::milliseconds(100))) continue;
        maxSize = std::max(maxSize, q.size());
        // Take a few at a time, as a window thread would.
        for (int k = 0; k < 3; ++k) {
            const vx::Delivery* d = q.front();
            if (!d) break;
            uint32_t v;
            std::memcpy(&v, d->frame.data(), 4);
            ASSERT_EQ(v, expected);
            ++expected;
            q.pop();
        }
    }
    producer.join();
    EXPECT_LE(maxSize, q.capacity());
    EXPECT_TRUE(q.empty());
}

TEST(HandoverQueue, AFullQueueHoldsTheProducerUntilAbandoned) {
    vx::HandoverQueue q(1);
    push(q, 0x21, 0x01, {});
    std::atomic<bool> abandon{false};
    std::atomic<int> state{0}; // 1 waiting, 2 returned nullptr
    std::thread producer([&] {
        state.store(1);
        if (q.reserve(abandon) == nullptr) state.store(2);
    });
    ASSERT_TRUE(waitFor([&] { return state.load() == 1; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(state.load(), 1); // still held: nothing was dropped to make room
    abandon.store(true);
    q.wakeProducer();
    producer.join();
    EXPECT_EQ(state.load(), 2);
    EXPECT_EQ(q.size(), 1u);
}

TEST(HandoverQueue, AFullQueueGoesOnWhenTheConsumerPops) {
    vx::HandoverQueue q(1);
    push(q, 0x21, 0x01, {});
    std::atomic<bool> pushed{false};
    std::thread producer([&] {
        push(q, 0x21, 0x02, {});
        pushed.store(true);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_FALSE(pushed.load());
    EXPECT_EQ(q.front()->h2, 0x01);
    q.pop();
    producer.join();
    ASSERT_NE(q.front(), nullptr);
    EXPECT_EQ(q.front()->h2, 0x02);
}

struct ConsumerFixture : ::testing::Test {
    vx::HandoverQueue queue{8};
    vxtest::RecordingRegistry registry;
    vx::HandlerTable handlers;
    vxtest::CallRecorder recorder;
    vx::DeliveryConsumer consumer{queue, registry, handlers};
    void SetUp() override { recorder.install(handlers); }
};

TEST_F(ConsumerFixture, ConditionsAreDecidedWhenTheStepRuns) {
    push(queue, 0x30, 0x02,
         {{WindowId::TforceToMonForm, HandlerRole::Reply, Gate::Always, 0},
          {WindowId::TmainForm, HandlerRole::FastFix, Gate::Visible, 0},
          {WindowId::Tpkt3002Form, HandlerRole::Reply, Gate::ExistsVisible, 0},
          {WindowId::TbufferedDrForm, HandlerRole::Reply, Gate::Running, 0}});
    // The window states change after the packet was queued: the consumer sees the new ones.
    registry.setVisible(WindowId::TmainForm);
    registry.setVisible(WindowId::Tpkt3002Form);
    registry.setExists(WindowId::Tpkt3002Form, false);
    registry.setRunning(WindowId::TbufferedDrForm);
    EXPECT_FALSE(consumer.drain());
    EXPECT_EQ(recorder.calls(),
              (std::vector<std::string>{"3002 TforceToMonForm.Reply", "3002 TmainForm.FastFix",
                                        "3002 TbufferedDrForm.Reply"}));
    EXPECT_EQ(consumer.delivered(), 1u);
}

TEST_F(ConsumerFixture, AStepWithoutAHandlerIsSkipped) {
    handlers.clearWindow(WindowId::TmainForm);
    push(queue, 0x12, 0x01,
         {{WindowId::TmainForm, HandlerRole::StartupStatus, Gate::Always, 0},
          {WindowId::TversionForm, HandlerRole::Reply, Gate::Always, 1}});
    consumer.drain();
    EXPECT_EQ(recorder.calls(), (std::vector<std::string>{"1201 TversionForm.Reply(1)"}));
    EXPECT_EQ(consumer.handlerCalls(), 1u);
}

TEST_F(ConsumerFixture, DrainStopsAfterItsShareAndSaysWhetherMoreWait) {
    int wakes = 0;
    queue.setWakeCallback([&] { ++wakes; });
    for (int i = 0; i < 5; ++i)
        push(queue, 0x21, uint8_t(i), {{WindowId::TackForm, HandlerRole::AnyAck, Gate::Always, 0}});
    EXPECT_EQ(wakes, 1); // a batch (half this queue) woke the idle consumer once
    EXPECT_TRUE(consumer.drain(2));
    EXPECT_EQ(recorder.size(), 2u);
    EXPECT_TRUE(consumer.drain(2));
    EXPECT_FALSE(consumer.drain(2));
    EXPECT_EQ(recorder.size(), 5u);
    // The consumer found the queue empty: the next delivery wakes it once the producer
    // publishes (when a batch is waiting, or when the worker idles).
    push(queue, 0x21, 0x09, {});
    EXPECT_EQ(wakes, 1);
    queue.publish();
    EXPECT_EQ(wakes, 2);
    queue.publish();
    EXPECT_EQ(wakes, 2);
}

TEST_F(ConsumerFixture, ADrainFromInsideAHandlerDoesNotOvertake) {
    std::vector<int> order;
    handlers.set(WindowId::TackForm, HandlerRole::AnyAck,
                 [&](const vx::Delivery& d, const vx::RouteStep&) {
                     order.push_back(d.h2);
                     // A handler that runs a nested event loop (a message box) must not run
                     // the next packets before it returns.
                     EXPECT_FALSE(consumer.drain());
                 });
    for (int i = 0; i < 3; ++i)
        push(queue, 0x10, uint8_t(i), {{WindowId::TackForm, HandlerRole::AnyAck, Gate::Always, 0}});
    EXPECT_FALSE(consumer.drain());
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2}));
}

TEST_F(ConsumerFixture, AFailingHandlerDoesNotRunItsPacketTwice) {
    handlers.set(WindowId::TackForm, HandlerRole::AnyAck,
                 [&](const vx::Delivery& d, const vx::RouteStep&) {
                     if (d.h2 == 0) throw std::runtime_error("handler failed");
                 });
    push(queue, 0x10, 0, {{WindowId::TackForm, HandlerRole::AnyAck, Gate::Always, 0}});
    push(queue, 0x10, 1,
         {{WindowId::TackForm, HandlerRole::AnyAck, Gate::Always, 0},
          {WindowId::TSysAckForm, HandlerRole::SystemAck, Gate::Always, 0}});
    EXPECT_THROW(consumer.drain(), std::runtime_error);
    EXPECT_EQ(consumer.delivered(), 1u);
    EXPECT_FALSE(consumer.drain());
    EXPECT_EQ(recorder.calls(), (std::vector<std::string>{"1001 TSysAckForm.SystemAck"}));
}

} // namespace
