// The simulated receiver keeps every setting of the 0x21, 0x24, 0x25 and 0x27 groups: a Set of
// any subcode of their tables is acknowledged and a Query then returns the value; what it
// refuses carries the result code it always had; its store stays valid whatever bytes a BBRAM
// upload put there.
#include "app/catalogue.h"
#include "link/settings.h"
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

struct GroupCase {
    const char* name;
    const vx::SettingsGroup& (*group)();
};

// A value the receiver accepts for the setting, different from its default.
double valueFor(uint8_t code, const vx::SettingDef& d) {
    if (code == 0x21) return 10;
    if (code == 0x24) {
        static const double kGps[9] = {0, 3, 0, 17, 12.5, 175, 7.25, 3.5, 45};
        return kGps[d.subcode];
    }
    switch (d.type) {
    case vx::WireType::U8:
        return 200 + d.subcode;
    case vx::WireType::U16:
        return 1000 + d.subcode;
    case vx::WireType::U32:
        return 3000000000.0 + d.subcode;
    case vx::WireType::I32:
        return -100000.0 - d.subcode;
    case vx::WireType::F32:
        return 0.375 * d.subcode - 3;
    }
    return 0;
}

// The result of the last acknowledgement of command cmd for (code, sub), or -1 when none came.
int ackResult(const std::vector<Packet>& ps, uint8_t cmd, uint8_t code, uint8_t sub) {
    int result = -1;
    for (const Packet& p : ps)
        if (p.result == 0 && p.code == 0x10 && p.sub == cmd && p.payload.size() >= 3 &&
            p.payload[0] == code && p.payload[1] == sub)
            result = p.payload.back();
    return result;
}

class SimSettings : public ::testing::TestWithParam<GroupCase> {};

TEST_P(SimSettings, EverySubcodeOfTheTableRoundTrips) {
    const vx::SettingsGroup& g = GetParam().group();
    SimHarness h;
    h.boot();
    auto area = std::make_unique<vx::RecordArea>();
    for (const vx::SettingDef& d : g.defs) {
        SCOPED_TRACE(std::string(d.name) + " subcode " + std::to_string(d.subcode));
        const double v = valueFor(g.code, d);
        h.take();
        ASSERT_EQ(vx::sendSetting(h, g, d, v), 0);
        EXPECT_EQ(ackResult(h.take(), vx::kCmdSet, g.code, d.subcode), 0);

        ASSERT_EQ(vx::querySetting(h, g, d.subcode), 0);
        std::vector<Packet> ps = h.take();
        std::vector<Packet> replies = withId(ps, g.code, d.subcode);
        ASSERT_EQ(replies.size(), 1u);
        EXPECT_EQ(ackResult(ps, vx::kCmdQuery, g.code, d.subcode), 0);
        std::vector<double> values(size_t(g.lastSubcode) + 1, -12345.0);
        bool written = false;
        ASSERT_EQ(vx::decodeSettings(g, d.subcode, replies[0].payload.data(),
                                     replies[0].payload.size(), values, written),
                  0);
        ASSERT_TRUE(written);
        EXPECT_EQ(values[d.subcode], v);
    }
}

INSTANTIATE_TEST_SUITE_P(Groups, SimSettings,
                         ::testing::Values(GroupCase{"EngineRate", vx::engineRateSettings},
                                           GroupCase{"GpsConfig", vx::gpsConfigSettings},
                                           GroupCase{"Kalman", vx::kalmanSettings},
                                           GroupCase{"DrFilter", vx::drFilterSettings}),
                         [](const auto& info) { return std::string(info.param.name); });

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
        {"2101 two bytes", 0x01, 0x21, {0x01, 5, 0}, 4},
        {"2409 unknown", 0x01, 0x24, {0x09, 1}, 3},
        {"2401 dimension 2", 0x01, 0x24, {0x01, 2}, 5},
        {"2402 mode 3", 0x01, 0x24, {0x02, 3}, 5},
        {"2403 not automobile", 0x01, 0x24, {0x03, 16}, 5},
        {"2404 elevation 91", 0x01, 0x24, {0x04, 0x00, 0x00, 0xB6, 0x42}, 5},
        {"2404 elevation NaN", 0x01, 0x24, {0x04, 0x00, 0x00, 0xC0, 0x7F}, 5},
        {"2406 DOP 0", 0x01, 0x24, {0x06, 0, 0, 0, 0}, 5},
        {"2405 four bytes", 0x01, 0x24, {0x05, 1, 0, 0, 0}, 4},
        {"2518 unknown", 0x01, 0x25, {0x18, 1, 0, 0, 0}, 3},
        {"2501 five bytes", 0x01, 0x25, {0x01, 1, 0, 0, 0, 0}, 4},
        {"2700 unknown", 0x01, 0x27, {0x00, 1, 0, 0, 0}, 3},
        {"2771 unknown", 0x01, 0x27, {0x71, 1, 0, 0, 0}, 3},
        {"2730 three bytes", 0x01, 0x27, {0x30, 1, 0, 0}, 4},
        {"query 2771", 0x02, 0x27, {0x71}, 3},
        {"query 2400", 0x02, 0x24, {0x00}, 3},
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

TEST(SimSettingsRefusals, RefusedSetKeepsTheStoredValue) {
    SimHarness h;
    h.boot();
    const vx::SettingsGroup& g = vx::gpsConfigSettings();
    ASSERT_EQ(vx::sendSetting(h, g, *g.find(0x04), 20.0), 0);
    std::vector<uint8_t> bad = frameOf(0x01, 0x24, {0x04, 0x00, 0x00, 0xB6, 0x42}); // 91 degrees
    h.sim.receive(bad.data(), bad.size());
    h.take();
    ASSERT_EQ(vx::querySetting(h, g, 0x04), 0);
    std::vector<Packet> replies = withId(h.take(), 0x24, 0x04);
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_EQ(vx::readFloat(replies[0].payload.data()), 20.0f);
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
