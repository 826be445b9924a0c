// The settings groups (0x21, 0x24, 0x25, 0x27): their tables, reading and writing one value,
// the Set and Query frames built from them, and the records' output. What the decoder accepts
// and refuses, subcode by subcode, is checked by decoders_test and the corpus stream
// settings_groups.bin.
#include "link/decoders.h"
#include "link/record_format.h"
#include "link/settings.h"
#include "support/hex.h"
#include "support/recording_sink.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <set>
#include <string>
#include <tuple>
#include <vector>

using namespace vx;
using vxtest::bytes;
using vxtest::RecordingSink;

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

bool sameValue(double a, double b) {
    return (std::isnan(a) && std::isnan(b)) || (a == b && std::signbit(a) == std::signbit(b));
}

const SettingsGroup& groupOf(uint8_t code) {
    switch (code) {
    case 0x21:
        return engineRateSettings();
    case 0x24:
        return gpsConfigSettings();
    case 0x25:
        return kalmanSettings();
    default:
        return drFilterSettings();
    }
}

// ---- the tables --------------------------------------------------------------------------------

template <class R> std::set<std::string> fieldNames() {
    std::set<std::string> names;
    R{}.visit([&](const char* name, const auto&) { names.emplace(name); });
    return names;
}

TEST(SettingsTable, RecordsHoldEverySubcodeAndNamesAreOutputFields) {
    const std::tuple<uint8_t, size_t, std::set<std::string>> groups[] = {
        {0x21, EngineRateRecord{}.value.size(), fieldNames<EngineRateRecord>()},
        {0x24, GpsConfigRecord{}.value.size(), fieldNames<GpsConfigRecord>()},
        {0x25, KalmanRecord{}.value.size(), fieldNames<KalmanRecord>()},
        {0x27, DrFilterRecord{}.value.size(), fieldNames<DrFilterRecord>()},
    };
    for (const auto& [code, slots, fields] : groups) {
        const SettingsGroup& g = groupOf(code);
        EXPECT_EQ(g.code, code);
        ASSERT_FALSE(g.defs.empty());
        EXPECT_EQ(g.lastSubcode, g.defs.back().subcode);
        EXPECT_EQ(slots, size_t(g.lastSubcode) + 1);
        for (const SettingDef& d : g.defs) {
            // Visitors receive name.data() as a C string.
            EXPECT_EQ(d.name.data()[d.name.size()], '\0') << d.name;
            EXPECT_TRUE(fields.count(std::string(d.name))) << d.name;
        }
        for (int s = 0; s < 256; ++s) {
            const SettingDef* expected = nullptr;
            for (const SettingDef& d : g.defs)
                if (d.subcode == s) expected = &d;
            EXPECT_EQ(g.find(uint8_t(s)), expected) << int(code) << "/" << s;
        }
    }
}

// ---- one value -------------------------------------------------------------------------------

TEST(ReadSetting, ValueOrLengthRefusal) {
    struct Case {
        uint8_t code, subcode;
        const char* payload;
        std::optional<double> expected;
    };
    const Case cases[] = {
        {0x21, 0x01, "FF", 255.0},                  // U8
        {0x21, 0x01, "", std::nullopt},             // exact: too short
        {0x24, 0x05, "FF FF", 65535.0},             // U16, little-endian
        {0x24, 0x05, "AF 00 00 00", std::nullopt},  // exact: too long
        {0x24, 0x06, "00 00 00 80", -0.0},          // F32 keeps the sign of zero
        {0x25, 0x07, "00 00 C0 7F", kNaN},          // F32 NaN
        {0x25, 0x01, "FF FF FF FF", 4294967295.0},  // U32
        {0x25, 0x03, "05 00 00 00 EE EE", 5.0},     // at least: extra bytes ignored
        {0x25, 0x03, "05 00 00", std::nullopt},     // at least: too short
        {0x27, 0x1B, "00 00 00 80", -2147483648.0}, // I32
        {0x27, 0x1C, "00 00 80 3E", 0.25},          // first real subcode
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.code) + "/" + std::to_string(c.subcode) + " " + c.payload);
        const SettingsGroup& g = groupOf(c.code);
        std::vector<uint8_t> p = bytes(c.payload);
        // Exactly the payload on the heap: a read past it is reported by AddressSanitizer.
        std::unique_ptr<uint8_t[]> heap(new uint8_t[p.size() + 1]);
        if (!p.empty()) std::memcpy(heap.get(), p.data(), p.size());
        std::optional<double> v = readSetting(g, *g.find(c.subcode), heap.get(), p.size());
        ASSERT_EQ(v.has_value(), c.expected.has_value());
        if (v) {
            EXPECT_TRUE(sameValue(*v, *c.expected)) << *v;
        }
    }
    const SettingsGroup& k = kalmanSettings();
    EXPECT_FALSE(readSetting(k, *k.find(0x01), nullptr, 4).has_value());
}

TEST(FitsWire, WholeNumbersInRangeAndFiniteFloatsOnly) {
    using W = WireType;
    const double fltMax = std::numeric_limits<float>::max();
    const std::tuple<W, double, bool> cases[] = {
        {W::U8, 255, true},
        {W::U8, 256, false},
        {W::U8, -1, false},
        {W::U8, 1.5, false},
        {W::U8, kNaN, false},
        {W::U8, -0.0, true},
        {W::U16, 65535, true},
        {W::U16, 65536, false},
        {W::U16, 1.5, false},
        {W::U32, 4294967295.0, true},
        {W::U32, 4294967296.0, false},
        {W::U32, -1, false},
        {W::I32, -2147483648.0, true},
        {W::I32, 2147483647.0, true},
        {W::I32, 2147483648.0, false},
        {W::I32, -2147483649.0, false},
        {W::I32, -0.5, false},
        {W::F32, kNaN, false},
        {W::F32, kInf, false},
        {W::F32, -kInf, false},
        {W::F32, fltMax, true},
        {W::F32, 1e39, false},
        {W::F32, 1e-45, true},
        {W::F32, 0.1, true},
    };
    for (auto [type, value, fits] : cases)
        EXPECT_EQ(fitsWire(type, value), fits) << int(type) << " " << value;
}

// What goes on the wire for any double, also values that do not fit (the simulated receiver
// writes whatever its store holds): defined and clamped, never undefined behaviour.
TEST(WriteSetting, LittleEndianBytesOfTheClampedValue) {
    using W = WireType;
    const std::tuple<W, double, const char*> cases[] = {
        {W::U8, 300, "FF"},
        {W::U16, -5, "00 00"},
        {W::U32, kNaN, "00 00 00 00"},
        {W::I32, -2.9, "FE FF FF FF"},
        {W::I32, 1e12, "FF FF FF 7F"},
        {W::F32, -1e300, "00 00 80 FF"},
    };
    for (auto [type, value, wire] : cases) {
        uint8_t out[4] = {0xEE, 0xEE, 0xEE, 0xEE};
        size_t n = writeSetting(type, value, out);
        EXPECT_EQ(n, wireSize(type));
        EXPECT_EQ(vxtest::hex(out, n), wire) << value;
    }
}

// ---- Set and Query frames --------------------------------------------------------------------

TEST(SendSetting, FrameOrRefusal) {
    // Expected frames computed with an independent encoder; "" = refused, nothing sent.
    const std::tuple<uint8_t, uint8_t, double, const char*> cases[] = {
        {0x21, 0x01, 10, "81 01 21 01 0A D0 82"},
        {0x21, 0x01, 256, ""},
        {0x24, 0x01, 0x85, "81 01 24 01 80 05 52 82"}, // escaped value byte
        {0x24, 0x04, -0.0, "81 01 24 04 00 00 00 80 00 54 82"},
        {0x24, 0x04, kNaN, ""},
        {0x24, 0x05, 175, "81 01 24 05 AF 00 24 82"},
        {0x24, 0x05, 1.5, ""},
        {0x25, 0x01, 4294967295.0, "81 01 25 01 FF FF FF FF DA 82"},
        {0x25, 0x02, -1, ""},
        {0x25, 0x07, 0.1, "81 01 25 07 CD CC CC 3D 2E 82"}, // rounded to the nearest float
        {0x27, 0x05, -3, "81 01 27 05 FD FF FF FF D6 82"},
        {0x27, 0x01, 2147483648.0, ""},
        {0x27, 0x1C, 0.25, "81 01 27 1C 00 00 80 00 3E FB 82"},
        {0x27, 0x70, 1e39, ""},
    };
    for (auto [code, subcode, value, frame] : cases) {
        SCOPED_TRACE(std::to_string(code) + "/" + std::to_string(subcode) + " " +
                     std::to_string(value));
        const SettingsGroup& g = groupOf(code);
        RecordingSink sink;
        int r = sendSetting(sink, g, *g.find(subcode), value);
        EXPECT_EQ(r, *frame ? 0 : -1);
        EXPECT_EQ(sink.hexFrames(),
                  *frame ? std::vector<std::string>{frame} : std::vector<std::string>{});
    }
}

TEST(SendSetting, RefusalsAndTheSinksResult) {
    RecordingSink sink;
    // Subcode 0x01 is a byte in 0x24 but a dword in 0x25: the frame would be misread.
    EXPECT_EQ(sendSetting(sink, gpsConfigSettings(), *kalmanSettings().find(0x01), 4), -1);
    EXPECT_EQ(sendSetting(sink, engineRateSettings(), *gpsConfigSettings().find(0x02), 1), -1);
    // Queries only of subcodes the table has.
    EXPECT_EQ(querySetting(sink, drFilterSettings(), 0x71), -1);
    EXPECT_EQ(querySetting(sink, drFilterSettings(), 0x00), -1);
    EXPECT_EQ(querySetting(sink, gpsConfigSettings(), 0x09), -1);
    EXPECT_EQ(querySetting(sink, drFilterSettings(), 0x1C), 0);
    EXPECT_EQ(sink.hexFrames(), std::vector<std::string>{"81 02 27 1C B8 82"});

    struct Failing : FrameSink {
        int sendFrame(const uint8_t*, uint16_t) override { return -1; }
    } failing;
    EXPECT_EQ(sendSetting(failing, gpsConfigSettings(), *gpsConfigSettings().find(0x01), 4), -1);
    EXPECT_EQ(querySetting(failing, kalmanSettings(), 0x17), -1);
}

TEST(SettingsScripts, RefusedValuesAndUnknownSubcodesAreEmptyStepsInPlace) {
    const SettingValue values[] = {{0x01, 4}, {0x09, 1}, {0x04, kNaN}, {0x08, 30}};
    PacedScript s = setSettingsScript(gpsConfigSettings(), values, 50);
    ASSERT_EQ(s.size(), 4u);
    EXPECT_EQ(vxtest::hex(s[0].frame), "81 01 24 01 04 D3 82");
    EXPECT_TRUE(s[1].frame.empty());
    EXPECT_TRUE(s[2].frame.empty());
    EXPECT_EQ(vxtest::hex(s[3].frame), "81 01 24 08 1E 00 B2 82");
    for (size_t i = 0; i < 4; ++i) EXPECT_EQ(s[i].pauseAfterMs, i < 3 ? 50 : 0) << i;
    EXPECT_TRUE(setSettingsScript(gpsConfigSettings(), {}, 50).empty());

    const uint8_t subcodes[] = {0x70, 0x71, 0x01};
    PacedScript q = querySettingsScript(drFilterSettings(), subcodes);
    ASSERT_EQ(q.size(), 3u);
    EXPECT_EQ(vxtest::hex(q[0].frame), "81 02 27 70 64 82");
    EXPECT_TRUE(q[1].frame.empty());
    EXPECT_EQ(vxtest::hex(q[2].frame), "81 02 27 01 D3 82");
    EXPECT_EQ(scriptDurationMs(q), 0);
}

TEST(SettingsScripts, WholeGroupIsSetOnlyWhenEveryValueFits) {
    DrFilterRecord r;
    r.value[0x70] = 0.5;
    PacedScript s = setGroupScript(drFilterSettings(), r, 10);
    ASSERT_EQ(s.size(), 0x70u);
    EXPECT_EQ(vxtest::hex(s.back().frame), "81 01 27 70 00 00 00 3F 26 82");
    EXPECT_EQ(scriptDurationMs(s), 10 * 0x6F);
    r.value[0x30] = kInf;
    PacedScript refused = setGroupScript(drFilterSettings(), r, 10);
    ASSERT_EQ(refused.size(), 1u);
    EXPECT_TRUE(refused[0].frame.empty());
    const double tooFew[3] = {}; // never indexed past
    EXPECT_FALSE(groupFits(drFilterSettings(), tooFew));
}

// ---- decoding ----------------------------------------------------------------------------------
// Every subcode of the four codes at accepted and refused lengths is in the corpus stream
// settings_groups.bin, whose expected output was written by the decoders these tables replace.

TEST(SettingsDecoder, ValuesShorterThanTheTableAreNeverWrittenPast) {
    std::vector<double> values(4, 1.0);
    bool written = true;
    const uint8_t p[2] = {5, 0};
    EXPECT_EQ(decodeSettings(gpsConfigSettings(), 0x05, p, 2, values, written), kDecodeUnknown);
    EXPECT_FALSE(written);
    EXPECT_EQ(values, std::vector<double>(4, 1.0));
}

// ---- records as output -------------------------------------------------------------------------

TEST(SettingsRecords, TextShowsEachFieldAsItsWireType) {
    auto area = std::make_unique<RecordArea>();
    const char* replies[][2] = {{"01", "04"},          {"02", "01"},    {"03", "11"},
                                {"04", "00 00 F0 40"}, {"05", "AF 00"}, {"06", "00 00 20 41"},
                                {"07", "00 00 C0 40"}, {"08", "1E 00"}};
    for (auto& r : replies) {
        std::vector<uint8_t> p = bytes(r[1]);
        ASSERT_EQ(decode(0x24, bytes(r[0])[0], p.data(), p.size(), *area), 0) << r[0];
    }
    std::string text;
    writeRecordText(text, *area, RecordKind::GpsConfig);
    EXPECT_EQ(text, "operating_dimension=4 dgps_mode=1 dynamics_code=0x11 elevation_mask=7.5 "
                    "snr_mask=175 dop_mask=10 dop_switch=6 dgps_age=30");
}

TEST(SettingsRecords, ValuesOutsideTheirWireTypesAreShownClamped) {
    // A record filled by hand (a dialog, a test) may hold anything: output stays defined.
    GpsConfigRecord g;
    g.value[0x01] = 1e9;
    g.value[0x02] = -4;
    g.value[0x03] = kNaN;
    g.value[0x04] = 1e300;
    g.value[0x05] = 70000.7;
    std::string json;
    writeRecordJson(json, RecordSnapshot(g));
    EXPECT_EQ(json, R"({"operating_dimension":255,"dgps_mode":0,"dynamics_code":0,)"
                    R"("elevation_mask":null,"snr_mask":65535,"dop_mask":0,"dop_switch":0,)"
                    R"("dgps_age":0})");
    EngineRateRecord e;
    e.value[0x01] = 10;
    EXPECT_EQ(e.rate(), 10);
    e.value[0x01] = -1;
    EXPECT_EQ(e.rate(), 0);
    EXPECT_EQ(e[0x05], 0.0) << "a subcode beyond the record reads as 0";
}

} // namespace
