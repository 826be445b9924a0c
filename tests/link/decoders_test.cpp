// Dispatch of the report decoders: which code, subcode and payload length is accepted, refused
// as unknown (3) or refused for its length (4), and which record each accepted packet writes.
#include "link/decoders.h"
#include "support/hex.h"

#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

using namespace vx;
using vxtest::bytes;

namespace {

// How a row accepts payload lengths.
struct Lengths {
    enum Rule { Exact, AtLeast, Any } rule;
    std::vector<size_t> values; // Exact: the accepted lengths; AtLeast: the minimum
    bool accepts(size_t n) const {
        switch (rule) {
        case Exact:
            for (size_t v : values)
                if (v == n) return true;
            return false;
        case AtLeast:
            return n >= values[0];
        case Any:
            return true;
        }
        return false;
    }
};
Lengths exact(std::vector<size_t> v) {
    return {Lengths::Exact, std::move(v)};
}
Lengths atLeast(size_t n) {
    return {Lengths::AtLeast, {n}};
}
Lengths any() {
    return {Lengths::Any, {}};
}

struct Row {
    uint8_t code, subcode;
    Lengths lengths;
    RecordKind kind; // the record written when the length is accepted
};

std::string rowName(const Row& r) {
    char b[16];
    std::snprintf(b, sizeof b, "%02X%02X", r.code, r.subcode);
    return b;
}

// The dispatch table of the protocol, row by row.
std::vector<Row> dispatchTable() {
    using K = RecordKind;
    std::vector<Row> t = {
        {0x10, 0x01, exact({3, 4}), K::Ack},
        {0x10, 0x02, exact({3, 4}), K::Ack},
        {0x10, 0x03, exact({2}), K::SysAck},
        {0x10, 0x04, any(), K::None},
        {0x10, 0x05, any(), K::None},
        {0x10, 0xFF, any(), K::None},
        {0x11, 0x00, exact({7}), K::Version},
        {0x11, 0x01, exact({7}), K::Version},
        {0x11, 0x03, exact({7}), K::Version},
        {0x11, 0xFF, exact({7}), K::Version},
        {0x12, 0x01, exact({4}), K::Startup},
        {0x12, 0x02, exact({1}), K::OperatingMode},
        {0x12, 0x03, atLeast(8), K::Product},
        {0x12, 0x04, any(), K::HardwareId},
        {0x14, 0x01, atLeast(10), K::SoftEvent},
        {0x14, 0x02, atLeast(10), K::SoftEvent},
        {0x15, 0x00, any(), K::CustomerData},
        {0x15, 0x01, any(), K::CustomerData},
        {0x15, 0x7F, any(), K::CustomerData},
        {0x16, 0x01, exact({3}), K::Health},
        {0x16, 0x02, exact({9}), K::StartupReport},
        {0x21, 0x01, exact({1}), K::EngineRate},
        {0x22, 0x02, exact({5}), K::NmeaControl},
        {0x24, 0x01, exact({1}), K::GpsConfig},
        {0x24, 0x02, exact({1}), K::GpsConfig},
        {0x24, 0x03, exact({1}), K::GpsConfig},
        {0x24, 0x04, exact({4}), K::GpsConfig},
        {0x24, 0x05, exact({2}), K::GpsConfig},
        {0x24, 0x06, exact({4}), K::GpsConfig},
        {0x24, 0x07, exact({4}), K::GpsConfig},
        {0x24, 0x08, exact({2}), K::GpsConfig},
        {0x26, 0x01, exact({16}), K::ReportCodes},
        {0x26, 0x02, exact({17}), K::ReportSubcodes},
        {0x26, 0x03, atLeast(1), K::DppModel},
        {0x26, 0x04, atLeast(1), K::DppModel},
        {0x26, 0x05, atLeast(1), K::DppModel},
        {0x27, 0x00, exact({4}), K::None},
        {0x27, 0x01, exact({4}), K::DrFilter},
        {0x27, 0x1B, exact({4}), K::DrFilter},
        {0x27, 0x1C, exact({4}), K::DrFilter},
        {0x27, 0x70, exact({4}), K::DrFilter},
        {0x27, 0x71, exact({4}), K::None},
        {0x27, 0xFF, exact({4}), K::None},
        {0x28, 0x12, exact({27}), K::AlmanacSv},
        {0x28, 0x13, exact({50}), K::AlmanacPage13},
        {0x28, 0x14, exact({26}), K::IonUtc},
        {0x29, 0x01, exact({11}), K::InitTime},
        {0x29, 0x02, atLeast(21), K::InitLatLon},
        {0x29, 0x03, exact({5}), K::InitAltitude},
        {0x29, 0x04, exact({7}), K::InitFrequency},
        {0x29, 0x05, exact({5}), K::InitHeading},
        {0x29, 0x07, exact({25}), K::MapMatch},
        {0x29, 0x08, exact({9}), K::TachoData},
        {0x2A, 0x31, exact({5}), K::EventTrigger},
        {0x2A, 0x00, exact({5}), K::EventTrigger},
        {0x2B, 0x30, exact({9}), K::IntervalTrigger},
        {0x2C, 0x31, exact({9}), K::IntervalTrigger},
        {0x2D, 0xFF, exact({9}), K::IntervalTrigger},
        {0x2E, 0x01, exact({2}), K::EventMask},
        {0x2E, 0x07, exact({2}), K::EventMask},
        {0x30, 0x02, exact({46}), K::DrData},
        {0x30, 0x03, exact({101}), K::BufferedDr},
        {0x31, 0x01, exact({28}), K::GpsFix},
        {0x31, 0x02, exact({28}), K::GpsFix},
        {0x32, 0x01, exact({18}), K::TimeConstellation},
        {0x32, 0x02, exact({14}), K::ConstellationSummary},
        {0x32, 0x03, exact({15}), K::TimeSummary},
        {0x33, 0x01, exact({7, 8}), K::ChannelStatus},
        {0x33, 0x0B, exact({7, 8}), K::ChannelStatus},
        {0x36, 0x03, any(), K::DrCalibration},
        {0x36, 0x05, any(), K::DrCalibration},
        {0x36, 0x07, any(), K::DrCalibration},
        {0x36, 0x00, any(), K::DrCalibration},
        {0x3F, 0x01, exact({13}), K::SelfTest},
        {0x3F, 0x02, exact({21}), K::DataCollectionTest},
        {0x3F, 0x04, exact({8}), K::GyroBenchTest},
        {0x3F, 0x06, exact({12}), K::TachoReverseTest},
        {0x70, 0x02, any(), K::RawFix},
        {0x70, 0x09, any(), K::RawFix},
        {0x70, 0x0C, any(), K::BbramActivity},
        {0x70, 0x0D, any(), K::BbramUnitTest},
        {0x70, 0x0E, any(), K::AdcCalibration},
        {0x70, 0x0F, any(), K::AdcSamples},
        {0x70, 0x10, any(), K::ChannelTable},
        {0x70, 0x11, any(), K::ChannelDetail},
        {0x70, 0x12, any(), K::DebugText},
        {0x70, 0x13, any(), K::IoTraffic},
        {0x70, 0x14, any(), K::IoTraffic},
        {0x70, 0x15, any(), K::TaskUsage},
        {0x70, 0x16, any(), K::Drift},
        {0x70, 0x20, any(), K::DiagStartup},
        {0x70, 0x22, any(), K::None},
        {0x70, 0x30, any(), K::None},
        {0x70, 0x00, any(), K::None},
        {0x70, 0x7F, exact({16}), K::DiagOutputMask},
    };
    for (int s = 0x01; s <= 0x17; ++s) t.push_back({0x25, uint8_t(s), atLeast(4), K::Kalman});
    return t;
}

// A payload of exactly n bytes on the heap, so that AddressSanitizer catches any read past it.
std::unique_ptr<uint8_t[]> payloadOf(size_t n, uint8_t seed) {
    std::unique_ptr<uint8_t[]> p(new uint8_t[n ? n : 1]);
    for (size_t i = 0; i < n; ++i) p[i] = uint8_t(seed + 37 * i);
    return p;
}

class DispatchTest : public ::testing::TestWithParam<Row> {};

TEST_P(DispatchTest, EveryPayloadLengthIsAcceptedOrRefusedWithLengthError) {
    const Row& row = GetParam();
    auto area = std::make_unique<RecordArea>();
    for (size_t n = 0; n <= kMaxPayload; ++n) {
        auto p = payloadOf(n, uint8_t(n));
        RecordKind kind = RecordKind::DiagOutputMask; // anything but the expected value
        int r = decode(row.code, row.subcode, p.get(), n, *area, &kind);
        if (row.lengths.accepts(n)) {
            ASSERT_EQ(r, kDecodeOk) << "length " << n;
            ASSERT_EQ(kind, row.kind) << "length " << n;
        } else {
            ASSERT_EQ(r, kDecodeBadLength) << "length " << n;
            ASSERT_EQ(kind, RecordKind::None) << "length " << n;
        }
    }
}

TEST_P(DispatchTest, NestedFormDecodesLikeThePlainPacket) {
    const Row& row = GetParam();
    auto plain = std::make_unique<RecordArea>();
    auto nested = std::make_unique<RecordArea>();
    for (size_t n = 0; n < kMaxPayload; ++n) {
        auto p = payloadOf(n, 7);
        std::vector<uint8_t> wrapped{row.subcode};
        wrapped.insert(wrapped.end(), p.get(), p.get() + n);
        RecordKind k1, k2;
        int r1 = decode(row.code, row.subcode, p.get(), n, *plain, &k1);
        int r2 = decode(0x02, row.code, wrapped.data(), wrapped.size(), *nested, &k2);
        ASSERT_EQ(r1, r2) << "length " << n;
        ASSERT_EQ(k1, k2) << "length " << n;
    }
}

INSTANTIATE_TEST_SUITE_P(Table, DispatchTest, ::testing::ValuesIn(dispatchTable()),
                         [](const auto& info) { return rowName(info.param); });

// Subcodes each code decodes; an empty set means every subcode has a decoder (or, for 0x10
// and 0x70, is accepted without decoding).
struct CodeSubcodes {
    uint8_t code;
    std::set<int> subcodes;
};

std::set<int> range(int a, int b) {
    std::set<int> s;
    for (int i = a; i <= b; ++i) s.insert(i);
    return s;
}

const std::vector<CodeSubcodes>& codeTable() {
    static const std::vector<CodeSubcodes> t = {
        {0x10, {}},
        {0x11, {}},
        {0x12, range(1, 4)},
        {0x14, {1, 2}},
        {0x15, {}},
        {0x16, {1, 2}},
        {0x21, {1}},
        {0x22, {2}},
        {0x24, range(1, 8)},
        {0x25, range(1, 0x17)},
        {0x26, range(1, 5)},
        {0x27, {}},
        {0x28, {0x12, 0x13, 0x14}},
        {0x29, {1, 2, 3, 4, 5, 7, 8}},
        {0x2A, {}},
        {0x2B, {}},
        {0x2C, {}},
        {0x2D, {}},
        {0x2E, {}},
        {0x30, {2, 3}},
        {0x31, {}},
        {0x32, {1, 2, 3}},
        {0x33, {}},
        {0x36, {}},
        {0x3F, {1, 2, 4, 6}},
        {0x70, {}},
    };
    return t;
}

TEST(Dispatch, UnlistedSubcodesOfAListedCodeAreUnknown) {
    auto area = std::make_unique<RecordArea>();
    uint8_t payload[kMaxPayload] = {};
    for (const auto& c : codeTable()) {
        for (int s = 0; s < 256; ++s) {
            bool listed = c.subcodes.empty() || c.subcodes.count(s);
            // Try every length: an unknown subcode is unknown whatever its length.
            for (size_t n : {size_t(0), size_t(1), size_t(4), size_t(46), kMaxPayload}) {
                RecordKind kind;
                int r = decode(c.code, uint8_t(s), payload, n, *area, &kind);
                if (listed)
                    ASSERT_NE(r, kDecodeUnknown) << std::hex << int(c.code) << " " << s;
                else {
                    ASSERT_EQ(r, kDecodeUnknown) << std::hex << int(c.code) << " " << s;
                    ASSERT_EQ(kind, RecordKind::None);
                }
            }
        }
    }
}

TEST(Dispatch, CodesWithoutDecoderAreUnknown) {
    auto area = std::make_unique<RecordArea>();
    uint8_t payload[kMaxPayload] = {};
    std::set<int> listed{0x02};
    for (const auto& c : codeTable()) listed.insert(c.code);
    int unknown = 0;
    for (int code = 0; code < 256; ++code) {
        if (listed.count(code)) continue;
        ++unknown;
        for (int s : {0x00, 0x01, 0x02, 0xFF})
            for (size_t n : {size_t(0), size_t(7), kMaxPayload})
                ASSERT_EQ(decode(uint8_t(code), uint8_t(s), payload, n, *area), kDecodeUnknown)
                    << std::hex << code;
    }
    EXPECT_EQ(unknown, 256 - 27);
    // 0x23 (the time-keeping debug frame) and 0x2F (test control, sent only) have no decoder.
    EXPECT_EQ(decode(0x23, 0x01, payload, 31, *area), kDecodeUnknown);
    EXPECT_EQ(decode(0x2F, 0x02, payload, 2, *area), kDecodeUnknown);
}

TEST(Dispatch, NullPayload) {
    auto area = std::make_unique<RecordArea>();
    RecordKind kind = RecordKind::Ack;
    EXPECT_EQ(decode(0x21, 0x01, nullptr, 1, *area, &kind), kDecodeNoPayload);
    EXPECT_EQ(kind, RecordKind::None);
    // No bytes and no pointer: judged like any empty payload.
    EXPECT_EQ(decode(0x21, 0x01, nullptr, 0, *area), kDecodeBadLength);
    EXPECT_EQ(decode(0x12, 0x04, nullptr, 0, *area, &kind), kDecodeOk);
    EXPECT_EQ(kind, RecordKind::HardwareId);
    EXPECT_EQ(decode(0x70, 0x02, nullptr, 0, *area), kDecodeOk);
    EXPECT_EQ(decode(0x02, 0x21, nullptr, 0, *area), kDecodeBadLength);
}

TEST(Dispatch, NestedPackets) {
    auto area = std::make_unique<RecordArea>();
    RecordKind kind;
    // 02 24 with payload 01 03 is 2401 with the value 3.
    auto p = bytes("01 03");
    EXPECT_EQ(decode(0x02, 0x24, p.data(), p.size(), *area, &kind), kDecodeOk);
    EXPECT_EQ(kind, RecordKind::GpsConfig);
    EXPECT_EQ(area->gps_config[0x01], 3);
    // An empty nested payload has no subcode: length error.
    EXPECT_EQ(decode(0x02, 0x24, p.data(), 0, *area, &kind), kDecodeBadLength);
    EXPECT_EQ(kind, RecordKind::None);
    // The nested result is the result.
    auto bad = bytes("09 00");
    EXPECT_EQ(decode(0x02, 0x24, bad.data(), bad.size(), *area), kDecodeUnknown);
    auto shortPkt = bytes("05 00");
    EXPECT_EQ(decode(0x02, 0x24, shortPkt.data(), shortPkt.size(), *area), kDecodeBadLength);
    EXPECT_EQ(decode(0x02, 0x99, p.data(), p.size(), *area), kDecodeUnknown);
    // A nested packet may itself be nested: 02 02 | 21 01 0A = 2101 with rate 10.
    auto twice = bytes("21 01 0A");
    EXPECT_EQ(decode(0x02, 0x02, twice.data(), twice.size(), *area, &kind), kDecodeOk);
    EXPECT_EQ(kind, RecordKind::EngineRate);
    EXPECT_EQ(area->engine_rate.rate(), 10);
    // A payload made only of nested headers ends in a length error, without deep recursion.
    std::vector<uint8_t> deep(kMaxPayload, 0x02);
    EXPECT_EQ(decode(0x02, 0x02, deep.data(), deep.size(), *area), kDecodeBadLength);
}

} // namespace
