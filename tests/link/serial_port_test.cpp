// The termios port on a real pseudo-terminal: an idle port waits in poll() for its bytes and
// sees its device go away at once.
#include "link/serial_port.h"

#include <gtest/gtest.h>

#include <chrono>

#include "support/hex.h"
#include "support/pty.h"

using namespace std::chrono_literals;
using vxtest::bytes;

namespace {

struct PortFixture : ::testing::Test {
    vxtest::Pty pty;
    std::unique_ptr<vx::SerialPort> port = vx::makeTermiosPort();
    void SetUp() override {
        ASSERT_TRUE(pty.ok());
        std::string reason;
        ASSERT_EQ(port->open(pty.slavePath(), vx::PortConfig{}, &reason), 0) << reason;
    }
    // How long waitReadable takes with a long time limit (a hang guard decides, not a
    // timing: a wait that works returns at once, one that does not waits out the limit).
    std::chrono::steady_clock::duration timedWait() {
        auto t0 = std::chrono::steady_clock::now();
        port->waitReadable(20000, -1);
        return std::chrono::steady_clock::now() - t0;
    }
};

TEST_F(PortFixture, AnIdlePortWakesForItsNextByteEvenAfterAnEmptyRead) {
    uint8_t buf[8];
    EXPECT_EQ(port->read(buf, sizeof buf), 0u); // nothing waiting
    pty.write(bytes("81"));
    EXPECT_LT(timedWait(), 10s);
    EXPECT_EQ(port->read(buf, sizeof buf), 1u);
    EXPECT_EQ(port->lossCode(), 0);
}

TEST_F(PortFixture, AHangUpEndsTheWaitAndIsKeptAsTheLoss) {
    uint8_t buf[8];
    EXPECT_EQ(port->read(buf, sizeof buf), 0u);
    pty.closeMaster();
    EXPECT_LT(timedWait(), 10s);
    EXPECT_EQ(port->lossCode(), vx::kPortHungUp);
    EXPECT_EQ(vx::portLossText(port->lossCode()), "device disconnected");
    // A port that is gone is not polled again (poll would report it at once, for ever).
    auto t0 = std::chrono::steady_clock::now();
    port->waitReadable(30, -1);
    EXPECT_GE(std::chrono::steady_clock::now() - t0, 25ms);
    port->close();
    EXPECT_EQ(port->lossCode(), 0);
}

} // namespace
