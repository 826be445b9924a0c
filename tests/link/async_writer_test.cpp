// The asynchronous writer: bursts written in pieces on its own thread, one at a time, refused
// while one is pending, cancelled or failed cleanly.
#include "link/async_writer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <numeric>
#include <thread>
#include <vector>

namespace {

// A sink whose writes can be held back, to play a slow port.
class GateSink : public vx::FrameSink {
public:
    int sendFrame(const uint8_t* bytes, uint16_t length) override {
        std::unique_lock lk(mu_);
        cv_.wait(lk, [&] { return open_ || refuse_; });
        if (refuse_) return -1;
        pieces.push_back(length);
        bytes_.insert(bytes_.end(), bytes, bytes + length);
        return 0;
    }
    void open(bool o) {
        {
            std::lock_guard lk(mu_);
            open_ = o;
        }
        cv_.notify_all();
    }
    void refuse() {
        {
            std::lock_guard lk(mu_);
            refuse_ = true;
        }
        cv_.notify_all();
    }
    std::vector<uint8_t> written() {
        std::lock_guard lk(mu_);
        return bytes_;
    }
    std::vector<size_t> pieces;

private:
    std::mutex mu_;
    std::condition_variable cv_;
    bool open_ = true, refuse_ = false;
    std::vector<uint8_t> bytes_;
};

std::vector<uint8_t> sequence(size_t n) {
    std::vector<uint8_t> v(n);
    std::iota(v.begin(), v.end(), uint8_t(0));
    return v;
}

TEST(AsyncWriter, WritesABurstInPiecesAndRefusesWhilePending) {
    GateSink sink;
    vx::AsyncWriter w;
    sink.open(false);
    const std::vector<uint8_t> big = sequence(1300);
    ASSERT_TRUE(w.post(sink, big));
    EXPECT_TRUE(w.pending());
    EXPECT_FALSE(w.post(sink, sequence(3))); // the slow port still holds the first
    sink.open(true);
    ASSERT_TRUE(w.waitIdle(std::chrono::seconds(10)));
    EXPECT_EQ(sink.written(), big);
    EXPECT_EQ(sink.pieces, (std::vector<size_t>{512, 512, 276}));
    EXPECT_EQ(w.bytesWritten(), 1300u);
    EXPECT_EQ(w.burstsWritten(), 1u);

    ASSERT_TRUE(w.post(sink, sequence(3)));
    ASSERT_TRUE(w.waitIdle(std::chrono::seconds(10)));
    EXPECT_EQ(w.bytesWritten(), 1303u);
    EXPECT_EQ(w.burstsWritten(), 2u);
    ASSERT_TRUE(w.post(sink, {}));
    ASSERT_TRUE(w.waitIdle(std::chrono::seconds(10)));
    EXPECT_EQ(w.burstsFailed(), 0u);
}

TEST(AsyncWriter, CancelAndFailureEndABurstAfterThePieceInHand) {
    GateSink sink;
    vx::AsyncWriter w;
    sink.open(false);
    ASSERT_TRUE(w.post(sink, sequence(5000)));
    w.cancel();
    sink.open(true);
    ASSERT_TRUE(w.waitIdle(std::chrono::seconds(10)));
    EXPECT_LE(w.bytesWritten(), 512u);
    EXPECT_EQ(w.burstsWritten(), 0u);

    sink.refuse();
    ASSERT_TRUE(w.post(sink, sequence(2000)));
    ASSERT_TRUE(w.waitIdle(std::chrono::seconds(10)));
    EXPECT_EQ(w.burstsFailed(), 1u);
    // Destroying a writer in the middle of a burst drops the rest and returns.
    auto busy = std::make_unique<vx::AsyncWriter>();
    GateSink held;
    held.open(false);
    ASSERT_TRUE(busy->post(held, sequence(100000)));
    std::thread destroy([&] { busy.reset(); });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    held.open(true);
    destroy.join();
    EXPECT_LE(held.written().size(), 512u);
}

} // namespace
