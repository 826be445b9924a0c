// The 12 channel monitor's own behaviour: channel lines only with "Info" checked (channel 0
// starts the memo again), its two test commands, and request ticks skipped while the last
// batch is still being written.
#include "reports/chan_monitor_form.h"
#include "support/console_fixture_qt.h"
#include "support/hex.h"
#include "support/recording_sink.h"
#include "widgets/text_memo_qt.h"

#include <QCheckBox>

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>

using vxtest::child;
using vxtest::ConsoleWindows;

namespace {

// A port that takes nothing until it is opened: a write that does not end.
class GateSink : public vx::FrameSink {
public:
    int sendFrame(const uint8_t* p, uint16_t n) override {
        std::unique_lock lock(m_);
        cv_.wait(lock, [&] { return open_; });
        for (uint16_t i = 0; i < n; ++i) frames += p[i] == 0x82;
        return 0;
    }
    void open() {
        std::lock_guard lock(m_);
        open_ = true;
        cv_.notify_all();
    }
    std::atomic<int> frames{0};

private:
    std::mutex m_;
    std::condition_variable cv_;
    bool open_ = false;
};

TEST_F(ConsoleWindows, ChannelMonitorLinesOnlyWithInfo) {
    auto* mon = windows->find<Tfrm12ChanMon>(vx::WindowId::Tfrm12ChanMon);
    mon->show();
    startOnPty(0);
    auto* info = child<TextMemo>(mon, "mmInfo");
    receive(0x33, 0x01, {3, 7, 0x3D, 200, 45, 30, 0x0F});
    ASSERT_TRUE(waitDelivered(1));
    EXPECT_TRUE(info->empty());
    child<QCheckBox>(mon, "cbInfo")->setChecked(true);
    receive(0x33, 0x01, {3, 7, 0x3D, 200, 45, 30, 0x0F});
    receive(0x33, 0x01, {0, 9, 0x3D, 226, 90, 0xFD, 0x0F});
    ASSERT_TRUE(waitDelivered(2));
    EXPECT_EQ(info->lines(), std::vector<std::string>{"[ 1][ 9] 45.2  -3 180 0x3d 0x0f"});
}

TEST_F(ConsoleWindows, ChannelMonitorTestCommands) {
    auto* mon = windows->find<Tfrm12ChanMon>(vx::WindowId::Tfrm12ChanMon);
    vxtest::RecordingSink sink;
    console->setSink(&sink);
    child<QPushButton>(mon, "btnGenerateBadInterrupt")->click();
    child<QPushButton>(mon, "btnGenerateCocom")->click();
    console->setSink(nullptr);
    ASSERT_EQ(sink.frames.size(), 2u);
    EXPECT_EQ(vxtest::hex(sink.frames[0]).substr(0, 11), "81 01 70 17");
    EXPECT_EQ(sink.frames[0].size(), 6u); // no data
    EXPECT_EQ(vxtest::hex(sink.frames[1]).substr(0, 11), "81 01 70 18");
    EXPECT_EQ(child<TextMemo>(mon, "mmInfo")->lines(),
              (std::vector<std::string>{"Sent generate bad interrupt command",
                                        "Sent generate cocom event command"}));
}

TEST_F(ConsoleWindows, ChannelMonitorSkipsTicksWhileABatchIsPending) {
    auto* mon = windows->find<Tfrm12ChanMon>(vx::WindowId::Tfrm12ChanMon);
    auto* spin = child<QSpinBox>(mon, "seTimerInterval");
    EXPECT_EQ(spin->minimum(), 10);
    EXPECT_EQ(spin->maximum(), 1000);
    EXPECT_EQ(spin->singleStep(), 10);
    spin->setValue(10);
    EXPECT_EQ(child<QTimer>(mon, "tmrSendRequest")->interval(), 10);

    GateSink gate;
    console->setSink(&gate);
    mon->tmrSendRequestTimer(); // the writer takes it and blocks in the first frame
    mon->tmrSendRequestTimer();
    mon->tmrSendRequestTimer();
    EXPECT_EQ(mon->skippedTicks(), 2u);
    gate.open();
    ASSERT_TRUE(vxtest::pumpUntil([&] { return mon->writer().burstsWritten() == 1; }));
    EXPECT_EQ(gate.frames.load(), 23); // 2501..2517, one batch only (no byte 0x82 inside)
    mon->tmrSendRequestTimer();
    ASSERT_TRUE(vxtest::pumpUntil([&] { return mon->writer().burstsWritten() == 2; }));
    EXPECT_EQ(gate.frames.load(), 46);
    console->setSink(nullptr);
}

} // namespace
