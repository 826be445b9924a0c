// The simulated receiver's settings groups 0x21, 0x24, 0x25 and 0x27 (Set-then-Query of every
// subcode is in sim_replies_test): what it refuses carries the result code it always had, its
// subcode bitmap lists every subcode it answers, and its store stays valid whatever bytes a
// BBRAM upload put there.
#include "link/catalogue.h"
#include "sim/sim_harness.h"
#include "sim/sim_store.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <string>
#include <vector>

using namespace vxtest;

namespace {

// The result of the last acknowledgement of command cmd for (code, sub), or -1 when none came.
int ackResult(const std::vector<Packet>& ps, uint8_t cmd, uint8_t code, uint8_t sub) {
    int result = -1;
    for (const Packet& p : ps)
        if (p.result == 0 && p.code == 0x10 && p.sub == cmd && p.payload.size() >= 3 &&
            p.payload[0] == code && p.payload[1] == sub)
            result = p.payload.back();
    return result;
}

std::vector<uint8_t> frameOf(uint8_t cmd, uint8_t code, std::vector<uint8_t> data) {
    vx::TxFrame f;
    f.enc().startFrame(cmd, code);
    for (uint8_t b : data) f.enc().addByte(b);
    f.enc().finishFrame();
    return std::vector<uint8_t>(f.data(), f.data() + f.size());
}

TEST(SimSettingsRefusals, ResultCodesAsTheReceiverGivesThem) {
    struct Case {
        const char* name;
        uint8_t cmd, code;
        std::vector<uint8_t> data; // subcode first
        int result;
    };
    const std::vector<Case> cases = {
        {"2100 unknown", 0x01, 0x21, {0x00, 5}, 3},
        {"2101 rate 0", 0x01, 0x21, {0x01, 0}, 5},
        {"2409 unknown", 0x01, 0x24, {0x09, 1}, 3},
        {"2401 dimension 2", 0x01, 0x24, {0x01, 2}, 5},
        {"2403 not automobile", 0x01, 0x24, {0x03, 16}, 5},
        {"2404 elevation NaN", 0x01, 0x24, {0x04, 0x00, 0x00, 0xC0, 0x7F}, 5},
        {"2405 four bytes", 0x01, 0x24, {0x05, 1, 0, 0, 0}, 4},
        {"2501 five bytes", 0x01, 0x25, {0x01, 1, 0, 0, 0, 0}, 4},
        {"2518 unknown", 0x01, 0x25, {0x18, 1, 0, 0, 0}, 3},
        {"2771 unknown", 0x01, 0x27, {0x71, 1, 0, 0, 0}, 3},
        {"2730 three bytes", 0x01, 0x27, {0x30, 1, 0, 0}, 4},
        {"query 2700", 0x02, 0x27, {0x00}, 3},
    };
    SimHarness h;
    h.boot();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        h.take();
        std::vector<uint8_t> f = frameOf(c.cmd, c.code, c.data);
        h.sim.receive(f.data(), f.size());
        std::vector<Packet> ps = h.take();
        EXPECT_EQ(ackResult(ps, c.cmd, c.code, c.data[0]), c.result);
        EXPECT_EQ(countId(ps, c.code, c.data[0]), 0u) << "no reply to a refused command";
    }
}

TEST(SimSettings, SubcodeBitmapListsEveryDrFilterSubcode) {
    SimHarness h;
    h.boot();
    h.take();
    vx::sendQuery2(h, 0x26, 0x02, 0x27);
    std::vector<Packet> replies = withId(h.take(), 0x26, 0x02);
    ASSERT_EQ(replies.size(), 1u);
    ASSERT_EQ(replies[0].payload.size(), 17u);
    for (int s = 0; s < 128; ++s) {
        bool on = replies[0].payload[1 + s / 8] & (1 << (s % 8));
        EXPECT_EQ(on, s >= 1 && s <= 0x70) << s;
    }
}

TEST(SimStoreSettings, AnyStoredBytesBecomeValuesTheWireCarries) {
    auto s = std::make_unique<vx::sim::SimStore>();
    s->engineRate.value[0x00] = 99; // no subcode 0: cleared
    s->engineRate.value[0x01] = 1e300;
    s->gpsConfig.value[0x05] = -3.5;
    s->gpsConfig.value[0x04] = 0.1; // rounded to the float the wire carries
    s->kalman.value[0x01] = std::nan("");
    s->kalman.value[0x07] = 1e39;
    s->drFilter.value[0x01] = 2.75;
    s->drFilter.value[0x70] = -std::numeric_limits<double>::infinity();
    vx::sim::sanitizeStore(*s);
    EXPECT_EQ(s->engineRate.value[0x00], 0);
    EXPECT_EQ(s->engineRate.value[0x01], 255);
    EXPECT_EQ(s->gpsConfig.value[0x05], 0);
    EXPECT_EQ(s->gpsConfig.value[0x04], double(0.1f));
    EXPECT_EQ(s->kalman.value[0x01], 0);
    EXPECT_TRUE(std::isinf(s->kalman.value[0x07]));
    EXPECT_EQ(s->drFilter.value[0x01], 2);
    EXPECT_EQ(s->drFilter.value[0x70], -std::numeric_limits<double>::infinity());
}

} // namespace
