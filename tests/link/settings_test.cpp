// The settings groups (0x21, 0x24, 0x25, 0x27): their tables, reading and writing one value,
// the Set and Query frames built from them, the generic decoder against the fixed layouts the
// receiver sends, and the records' output.
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
#include <random>
#include <set>
#include <string>
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

// The values of a group's record in the area, by subcode.
std::span<const double> recordValues(const RecordArea& a, uint8_t code) {
    switch (code) {
    case 0x21:
        return a.engine_rate.value;
    case 0x24:
        return a.gps_config.value;
    case 0x25:
        return a.kalman.value;
    default:
        return a.dr_filter.value;
    }
}

// ---- the tables --------------------------------------------------------------------------------

struct GroupCase {
    uint8_t code;
    size_t recordSlots;
    std::vector<std::string> fields; // the record's visited field names
};

template <class R> std::vector<std::string> fieldNames() {
    R r;
    std::vector<std::string> names;
    r.visit([&](const char* name, const auto&) { names.emplace_back(name); });
    return names;
}

std::vector<GroupCase> groupCases() {
    return {
        {0x21, EngineRateRecord{}.value.size(), fieldNames<EngineRateRecord>()},
        {0x24, GpsConfigRecord{}.value.size(), fieldNames<GpsConfigRecord>()},
        {0x25, KalmanRecord{}.value.size(), fieldNames<KalmanRecord>()},
        {0x27, DrFilterRecord{}.value.size(), fieldNames<DrFilterRecord>()},
    };
}

class SettingsTable : public ::testing::TestWithParam<GroupCase> {};

TEST_P(SettingsTable, RecordHoldsEverySubcodeAndNamesAreOutputFields) {
    const GroupCase& c = GetParam();
    const SettingsGroup& g = groupOf(c.code);
    EXPECT_EQ(g.code, c.code);
    ASSERT_FALSE(g.defs.empty());
    EXPECT_EQ(g.lastSubcode, g.defs.back().subcode);
    EXPECT_EQ(c.recordSlots, size_t(g.lastSubcode) + 1);
    std::set<std::string> fields(c.fields.begin(), c.fields.end());
    for (const SettingDef& d : g.defs) {
        // Visitors receive name.data() as a C string.
        EXPECT_EQ(d.name.data()[d.name.size()], '\0') << d.name;
        EXPECT_TRUE(fields.count(std::string(d.name))) << d.name;
    }
}

TEST_P(SettingsTable, FindAgreesWithASearchOfTheTable) {
    const SettingsGroup& g = groupOf(GetParam().code);
    for (int s = 0; s < 256; ++s) {
        const SettingDef* expected = nullptr;
        for (const SettingDef& d : g.defs)
            if (d.subcode == s) expected = &d;
        EXPECT_EQ(g.find(uint8_t(s)), expected) << s;
    }
}

INSTANTIATE_TEST_SUITE_P(Groups, SettingsTable, ::testing::ValuesIn(groupCases()),
                         [](const auto& info) { return vxtest::hex(&info.param.code, 1); });

TEST(SettingsTable, OutputFieldsAreThoseOfTheReceiverRecords) {
    EXPECT_EQ(fieldNames<EngineRateRecord>(), (std::vector<std::string>{"rate"}));
    EXPECT_EQ(fieldNames<GpsConfigRecord>(),
              (std::vector<std::string>{"operating_dimension", "dgps_mode", "dynamics_code",
                                        "elevation_mask", "snr_mask", "dop_mask", "dop_switch",
                                        "dgps_age"}));
    EXPECT_EQ(fieldNames<KalmanRecord>().size(), 23u);
    EXPECT_EQ(fieldNames<DrFilterRecord>(),
              (std::vector<std::string>{"integer_params", "real_params"}));
}

// ---- one value -------------------------------------------------------------------------------

struct ReadCase {
    const char* name;
    uint8_t code, subcode;
    std::string payload;
    std::optional<double> expected;
};

class ReadSetting : public ::testing::TestWithParam<ReadCase> {};

TEST_P(ReadSetting, ValueOrRefusal) {
    const ReadCase& c = GetParam();
    const SettingsGroup& g = groupOf(c.code);
    const SettingDef* d = g.find(c.subcode);
    ASSERT_NE(d, nullptr);
    std::vector<uint8_t> p = bytes(c.payload);
    // Exactly the payload on the heap: a read past it is reported by AddressSanitizer.
    std::unique_ptr<uint8_t[]> heap(new uint8_t[p.size() + 1]);
    if (!p.empty()) std::memcpy(heap.get(), p.data(), p.size());
    std::optional<double> v = readSetting(g, *d, heap.get(), p.size());
    ASSERT_EQ(v.has_value(), c.expected.has_value());
    if (v) {
        EXPECT_TRUE(sameValue(*v, *c.expected)) << *v;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReadSetting,
    ::testing::Values(ReadCase{"U8Largest", 0x21, 0x01, "FF", 255.0},
                      ReadCase{"U8Empty", 0x21, 0x01, "", std::nullopt},
                      ReadCase{"U8TooLong", 0x24, 0x02, "01 02", std::nullopt},
                      ReadCase{"U16LittleEndian", 0x24, 0x05, "AF 00", 175.0},
                      ReadCase{"U16Largest", 0x24, 0x08, "FF FF", 65535.0},
                      ReadCase{"U16FourBytesRefused", 0x24, 0x05, "AF 00 00 00", std::nullopt},
                      ReadCase{"F32", 0x24, 0x04, "00 00 A0 40", 5.0},
                      ReadCase{"F32NegativeZero", 0x24, 0x06, "00 00 00 80", -0.0},
                      ReadCase{"F32Infinity", 0x24, 0x07, "00 00 80 7F", kInf},
                      ReadCase{"F32NaN", 0x25, 0x07, "00 00 C0 7F", kNaN},
                      ReadCase{"U32Largest", 0x25, 0x01, "FF FF FF FF", 4294967295.0},
                      ReadCase{"AtLeastIgnoresExtraBytes", 0x25, 0x03, "05 00 00 00 EE EE", 5.0},
                      ReadCase{"AtLeastRefusesShort", 0x25, 0x03, "05 00 00", std::nullopt},
                      ReadCase{"I32Negative", 0x27, 0x05, "FD FF FF FF", -3.0},
                      ReadCase{"I32Smallest", 0x27, 0x1B, "00 00 00 80", -2147483648.0},
                      ReadCase{"ExactRefusesLong", 0x27, 0x1C, "00 00 80 3E 00", std::nullopt},
                      ReadCase{"FirstRealSubcode", 0x27, 0x1C, "00 00 80 3E", 0.25}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ReadSetting, NullPayloadIsRefused) {
    const SettingsGroup& g = kalmanSettings();
    EXPECT_FALSE(readSetting(g, *g.find(0x01), nullptr, 4).has_value());
}

struct FitCase {
    const char* name;
    WireType type;
    double value;
    bool fits;
};

class FitsWire : public ::testing::TestWithParam<FitCase> {};

TEST_P(FitsWire, WholeInRangeFiniteOnly) {
    const FitCase& c = GetParam();
    EXPECT_EQ(fitsWire(c.type, c.value), c.fits);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FitsWire,
    ::testing::Values(FitCase{"U8Zero", WireType::U8, 0, true},
                      FitCase{"U8Max", WireType::U8, 255, true},
                      FitCase{"U8Is256", WireType::U8, 256, false},
                      FitCase{"U8Negative", WireType::U8, -1, false},
                      FitCase{"U8Fraction", WireType::U8, 1.5, false},
                      FitCase{"U8NaN", WireType::U8, kNaN, false},
                      FitCase{"U8NegativeZero", WireType::U8, -0.0, true},
                      FitCase{"U16Max", WireType::U16, 65535, true},
                      FitCase{"U16Is65536", WireType::U16, 65536, false},
                      FitCase{"U16Fraction", WireType::U16, 1.5, false},
                      FitCase{"U32Max", WireType::U32, 4294967295.0, true},
                      FitCase{"U32Is2To32", WireType::U32, 4294967296.0, false},
                      FitCase{"U32MinusOne", WireType::U32, -1, false},
                      FitCase{"U32Infinity", WireType::U32, kInf, false},
                      FitCase{"I32Min", WireType::I32, -2147483648.0, true},
                      FitCase{"I32Max", WireType::I32, 2147483647.0, true},
                      FitCase{"I32Is2To31", WireType::I32, 2147483648.0, false},
                      FitCase{"I32BelowMin", WireType::I32, -2147483649.0, false},
                      FitCase{"I32Half", WireType::I32, -0.5, false},
                      FitCase{"F32NaN", WireType::F32, kNaN, false},
                      FitCase{"F32Infinity", WireType::F32, kInf, false},
                      FitCase{"F32MinusInfinity", WireType::F32, -kInf, false},
                      FitCase{"F32Largest", WireType::F32,
                              double(std::numeric_limits<float>::max()), true},
                      FitCase{"F32BeyondRange", WireType::F32, 1e39, false},
                      FitCase{"F32Tiny", WireType::F32, 1e-45, true},
                      FitCase{"F32RoundedOneTenth", WireType::F32, 0.1, true}),
    [](const auto& info) { return std::string(info.param.name); });

// What goes on the wire for any double, also values that do not fit (the simulated receiver
// writes whatever its store holds): defined, clamped, never undefined behaviour.
struct WriteCase {
    const char* name;
    WireType type;
    double value;
    std::string wire;
};

class WriteSetting : public ::testing::TestWithParam<WriteCase> {};

TEST_P(WriteSetting, LittleEndianBytes) {
    const WriteCase& c = GetParam();
    uint8_t out[4] = {0xEE, 0xEE, 0xEE, 0xEE};
    size_t n = writeSetting(c.type, c.value, out);
    EXPECT_EQ(n, wireSize(c.type));
    EXPECT_EQ(vxtest::hex(out, n), c.wire);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WriteSetting,
    ::testing::Values(WriteCase{"U8", WireType::U8, 17, "11"},
                      WriteCase{"U8Clamped", WireType::U8, 300, "FF"},
                      WriteCase{"U8NaNIsZero", WireType::U8, kNaN, "00"},
                      WriteCase{"U16", WireType::U16, 175, "AF 00"},
                      WriteCase{"U16NegativeClamped", WireType::U16, -5, "00 00"},
                      WriteCase{"U32", WireType::U32, 4294967295.0, "FF FF FF FF"},
                      WriteCase{"I32Negative", WireType::I32, -3, "FD FF FF FF"},
                      WriteCase{"I32Clamped", WireType::I32, 1e12, "FF FF FF 7F"},
                      WriteCase{"I32Truncated", WireType::I32, -2.9, "FE FF FF FF"},
                      WriteCase{"F32", WireType::F32, 2.5, "00 00 20 40"},
                      WriteCase{"F32BeyondRangeIsInfinity", WireType::F32, -1e300, "00 00 80 FF"},
                      WriteCase{"F32NaN", WireType::F32, kNaN, "00 00 C0 7F"}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- Set and Query frames --------------------------------------------------------------------

struct SendCase {
    const char* name;
    uint8_t code, subcode;
    double value;
    std::string frame; // empty: refused, nothing sent
};

class SendSetting : public ::testing::TestWithParam<SendCase> {};

TEST_P(SendSetting, FrameOrRefusal) {
    const SendCase& c = GetParam();
    const SettingsGroup& g = groupOf(c.code);
    RecordingSink sink;
    int r = sendSetting(sink, g, *g.find(c.subcode), c.value);
    if (c.frame.empty()) {
        EXPECT_EQ(r, -1);
        EXPECT_TRUE(sink.frames.empty());
    } else {
        EXPECT_EQ(r, 0);
        EXPECT_EQ(sink.hexFrames(), std::vector<std::string>{c.frame});
    }
}

// Expected frames computed with an independent encoder.
INSTANTIATE_TEST_SUITE_P(
    Cases, SendSetting,
    ::testing::Values(
        SendCase{"Rate10", 0x21, 0x01, 10, "81 01 21 01 0A D0 82"},
        SendCase{"Rate256", 0x21, 0x01, 256, ""},
        SendCase{"ByteEscaped", 0x24, 0x01, 0x85, "81 01 24 01 80 05 52 82"},
        SendCase{"Elevation", 0x24, 0x04, 5.0, "81 01 24 04 00 00 A0 40 F4 82"},
        SendCase{"NegativeZeroKeepsItsSign", 0x24, 0x04, -0.0, "81 01 24 04 00 00 00 80 00 54 82"},
        SendCase{"ElevationNaN", 0x24, 0x04, kNaN, ""},
        SendCase{"SnrWord", 0x24, 0x05, 175, "81 01 24 05 AF 00 24 82"},
        SendCase{"SnrFraction", 0x24, 0x05, 1.5, ""},
        SendCase{"AgeLargestWord", 0x24, 0x08, 65535, "81 01 24 08 FF FF D2 82"},
        SendCase{"AgeNegative", 0x24, 0x08, -1, ""},
        SendCase{"CountLargest", 0x25, 0x01, 4294967295.0, "81 01 25 01 FF FF FF FF DA 82"},
        SendCase{"CountMinusOne", 0x25, 0x02, -1, ""},
        SendCase{"RealRoundedToFloat", 0x25, 0x07, 0.1, "81 01 25 07 CD CC CC 3D 2E 82"},
        SendCase{"RealInfinite", 0x25, 0x17, kInf, ""},
        SendCase{"SignedDword", 0x27, 0x05, -3, "81 01 27 05 FD FF FF FF D6 82"},
        SendCase{"SignedDword2To31", 0x27, 0x01, 2147483648.0, ""},
        SendCase{"FirstReal", 0x27, 0x1C, 0.25, "81 01 27 1C 00 00 80 00 3E FB 82"},
        SendCase{"SmallestNegativeSubnormal", 0x27, 0x45, -1e-45,
                 "81 01 27 45 01 00 00 80 00 0F 82"},
        SendCase{"RealBeyondFloatRange", 0x27, 0x70, 1e39, ""}),
    [](const auto& info) { return std::string(info.param.name); });

// A sink that fails every frame.
struct FailingSink : FrameSink {
    int calls = 0;
    int sendFrame(const uint8_t*, uint16_t) override {
        ++calls;
        return -1;
    }
};

TEST(SendSetting, SinkResultIsReturned) {
    FailingSink sink;
    const SettingsGroup& g = gpsConfigSettings();
    EXPECT_EQ(sendSetting(sink, g, *g.find(0x01), 4), -1);
    EXPECT_EQ(querySetting(sink, g, 0x01), -1);
    EXPECT_EQ(sink.calls, 2);
}

TEST(SendSetting, DefinitionOfAnotherGroupIsRefused) {
    // Subcode 0x01 is a byte in 0x24 but a dword in 0x25: the frame would be misread.
    RecordingSink sink;
    EXPECT_EQ(sendSetting(sink, gpsConfigSettings(), *kalmanSettings().find(0x01), 4), -1);
    EXPECT_EQ(sendSetting(sink, engineRateSettings(), *gpsConfigSettings().find(0x02), 1), -1);
    EXPECT_TRUE(sink.frames.empty());
}

TEST(QuerySetting, SubcodesOfTheTableOnly) {
    RecordingSink sink;
    EXPECT_EQ(querySetting(sink, drFilterSettings(), 0x1C), 0);
    EXPECT_EQ(querySetting(sink, kalmanSettings(), 0x17), 0);
    EXPECT_EQ(querySetting(sink, drFilterSettings(), 0x71), -1);
    EXPECT_EQ(querySetting(sink, drFilterSettings(), 0x00), -1);
    EXPECT_EQ(querySetting(sink, gpsConfigSettings(), 0x09), -1);
    EXPECT_EQ(sink.hexFrames(),
              (std::vector<std::string>{"81 02 27 1C B8 82", "81 02 25 17 BF 82"}));
}

TEST(SettingsScripts, RefusedValuesAndUnknownSubcodesAreEmptyStepsInPlace) {
    const SettingValue values[] = {{0x01, 4}, {0x09, 1}, {0x04, kNaN}, {0x08, 30}};
    PacedScript s = setSettingsScript(gpsConfigSettings(), values, 50);
    ASSERT_EQ(s.size(), 4u);
    EXPECT_EQ(vxtest::hex(s[0].frame), "81 01 24 01 04 D3 82");
    EXPECT_TRUE(s[1].frame.empty());
    EXPECT_TRUE(s[2].frame.empty());
    EXPECT_EQ(vxtest::hex(s[3].frame), "81 01 24 08 1E 00 B2 82");
    EXPECT_EQ(s[0].pauseAfterMs, 50);
    EXPECT_EQ(s[1].pauseAfterMs, 50);
    EXPECT_EQ(s[2].pauseAfterMs, 50);
    EXPECT_EQ(s[3].pauseAfterMs, 0);
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
    r.value[0x01] = -7;
    r.value[0x70] = 0.5;
    PacedScript s = setGroupScript(drFilterSettings(), r, 10);
    ASSERT_EQ(s.size(), 0x70u);
    for (size_t i = 0; i < s.size(); ++i) {
        ASSERT_FALSE(s[i].frame.empty()) << i;
        EXPECT_EQ(s[i].frame[3], i + 1) << "table order";
        EXPECT_EQ(s[i].pauseAfterMs, i + 1 < s.size() ? 10 : 0);
    }
    r.value[0x30] = kInf;
    PacedScript refused = setGroupScript(drFilterSettings(), r, 10);
    ASSERT_EQ(refused.size(), 1u);
    EXPECT_TRUE(refused[0].frame.empty());
    // Values too short for the table never index past them.
    const double tooFew[3] = {};
    EXPECT_FALSE(groupFits(drFilterSettings(), tooFew));
}

// ---- decoding ----------------------------------------------------------------------------------

// What the receiver's replies of these codes decode to, written down from the fixed layouts
// of the protocol (independently of the tables).
struct Expected {
    int result = kDecodeOk;
    bool written = false;
    double value = 0;
};

Expected fixedLayout(uint8_t code, uint8_t sub, const uint8_t* p, size_t n) {
    auto ok = [](double v) { return Expected{kDecodeOk, true, v}; };
    switch (code) {
    case 0x21:
        if (sub != 0x01) return {kDecodeUnknown};
        if (n != 1) return {kDecodeBadLength};
        return ok(p[0]);
    case 0x24: {
        static const size_t kLength[9] = {0, 1, 1, 1, 4, 2, 4, 4, 2};
        if (sub < 1 || sub > 8) return {kDecodeUnknown};
        if (n != kLength[sub]) return {kDecodeBadLength};
        if (sub <= 3) return ok(p[0]);
        if (sub == 5 || sub == 8) return ok(readU16(p));
        return ok(readFloat(p));
    }
    case 0x25:
        if (sub < 1 || sub > 23) return {kDecodeUnknown};
        if (n < 4) return {kDecodeBadLength};
        return sub <= 6 ? ok(readU32(p)) : ok(readFloat(p));
    default: // 0x27: the length first, whatever the subcode
        if (n != 4) return {kDecodeBadLength};
        if (sub >= 1 && sub <= 27) return ok(readI32(p));
        if (sub >= 28 && sub <= 112) return ok(readFloat(p));
        return {kDecodeOk, false, 0};
    }
}

RecordKind kindOf(uint8_t code) {
    switch (code) {
    case 0x21:
        return RecordKind::EngineRate;
    case 0x24:
        return RecordKind::GpsConfig;
    case 0x25:
        return RecordKind::Kalman;
    default:
        return RecordKind::DrFilter;
    }
}

TEST(SettingsDecoder, EverySubcodeAndLengthDecodesAsTheFixedLayouts) {
    auto area = std::make_unique<RecordArea>();
    std::mt19937 rng(24);
    int stored = 0;
    for (uint8_t code : {0x21, 0x24, 0x25, 0x27}) {
        for (int sub = 0; sub < 256; ++sub) {
            for (size_t n : {0, 1, 2, 3, 4, 5, 6, 8, 235}) {
                // Random bytes, half of them NaN patterns for the floats.
                std::unique_ptr<uint8_t[]> p(new uint8_t[n + 1]);
                for (size_t i = 0; i < n; ++i) p[i] = uint8_t(rng());
                if (n >= 4 && rng() % 2) p[3] = 0x7F, p[2] |= 0x80;
                SCOPED_TRACE(vxtest::hex(&code, 1) + " sub " + std::to_string(sub) + " length " +
                             std::to_string(n));
                std::vector<double> before(recordValues(*area, code).begin(),
                                           recordValues(*area, code).end());
                RecordKind kind = RecordKind::Ack;
                int r = decode(code, uint8_t(sub), p.get(), n, *area, &kind);
                Expected e = fixedLayout(code, uint8_t(sub), p.get(), n);
                ASSERT_EQ(r, e.result);
                ASSERT_EQ(kind, e.written ? kindOf(code) : RecordKind::None);
                std::span<const double> after = recordValues(*area, code);
                for (size_t s = 0; s < after.size(); ++s) {
                    double want = e.written && s == size_t(sub) ? e.value : before[s];
                    ASSERT_TRUE(sameValue(after[s], want)) << "slot " << s;
                }
                stored += e.written;
            }
        }
    }
    // 2101 once, 2401..2408 once each, 23 Kalman subcodes at five lengths, 112 DR subcodes.
    EXPECT_EQ(stored, 1 + 8 + 23 * 5 + 112);
}

TEST(SettingsDecoder, RefusalsLeaveTheRecord) {
    std::vector<double> values(9, 1.0);
    bool written = true;
    const uint8_t p[4] = {1, 2, 3, 4};
    EXPECT_EQ(decodeSettings(gpsConfigSettings(), 0x09, p, 1, values, written), kDecodeUnknown);
    EXPECT_FALSE(written);
    EXPECT_EQ(decodeSettings(gpsConfigSettings(), 0x04, p, 3, values, written), kDecodeBadLength);
    EXPECT_EQ(values, std::vector<double>(9, 1.0));
    // A record shorter than the table is never written past its end.
    std::vector<double> shortValues(4, 1.0);
    EXPECT_EQ(decodeSettings(gpsConfigSettings(), 0x05, p, 2, shortValues, written),
              kDecodeUnknown);
    EXPECT_EQ(shortValues, std::vector<double>(4, 1.0));
    EXPECT_EQ(decodeSettings(gpsConfigSettings(), 0x03, p, 1, shortValues, written), kDecodeOk);
    EXPECT_TRUE(written);
    EXPECT_EQ(shortValues[3], 1.0);
}

// ---- records as output -------------------------------------------------------------------------

TEST(SettingsRecords, DrFilterIsShownAsItsTwoArrays) {
    auto area = std::make_unique<RecordArea>();
    RecordKind k;
    ASSERT_EQ(decode(0x27, 0x01, bytes("FD FF FF FF").data(), 4, *area, &k), 0);
    ASSERT_EQ(decode(0x27, 0x1B, bytes("1B 00 00 00").data(), 4, *area, &k), 0);
    ASSERT_EQ(decode(0x27, 0x1C, bytes("00 00 00 3F").data(), 4, *area, &k), 0);
    ASSERT_EQ(decode(0x27, 0x70, bytes("00 00 A0 BF").data(), 4, *area, &k), 0);
    std::string expected = R"({"integer_params":[-3)";
    for (int i = 0; i < 25; ++i) expected += ",0";
    expected += R"(,27],"real_params":[0.5)";
    for (int i = 0; i < 83; ++i) expected += ",0";
    expected += ",-1.25]}";
    std::string json;
    writeRecordJson(json, *area, RecordKind::DrFilter);
    EXPECT_EQ(json, expected);
}

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
