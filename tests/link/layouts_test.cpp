// Packet layouts: the tables themselves, reading a reply through a layout (length rules, the
// subcode field, fields another layout of the record carries), the Set and Query frames
// built from values, the bits of a field, and the settings groups seen as layouts. What the
// decoder writes into each record is pinned byte for byte by the corpus stream
// multi_field_groups.bin; the senders' frames by catalogue_test.
#include "link/decoders.h"
#include "link/layouts.h"
#include "support/hex.h"
#include "support/recording_sink.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <set>
#include <string>

using namespace vx;
using vxtest::bytes;
using vxtest::hex;

namespace {

// Every layout: its size is where its last field ends, a random payload of that size reads
// and writes back to the same bytes, and its Set frame carries exactly them.
TEST(PacketLayouts, EveryLayoutReadsAndWritesItsOwnBytes) {
    std::mt19937 rng(19);
    std::set<std::string> names;
    for (const PacketLayout* l : packetLayouts()) {
        SCOPED_TRACE(std::string(l->name));
        EXPECT_TRUE(names.insert(std::string(l->name)).second) << "names are unique";
        EXPECT_EQ(findLayout(l->code, l->firstSubcode), l) << "found by its first subcode";
        for (int round = 0; round < 20; ++round) {
            std::vector<uint8_t> payload(l->size);
            for (uint8_t& b : payload) b = uint8_t(rng());
            // Floats that are not finite are not sent: keep the exponent off all ones.
            for (const FieldDef& f : l->fields)
                if (f.type == WireType::F32 && f.offset >= 0) payload[size_t(f.offset) + 3] &= 0x3F;
            FieldValues v{};
            ASSERT_EQ(decodeLayout(*l, l->firstSubcode, payload.data(), payload.size(), v), 0);
            std::vector<uint8_t> back(l->size);
            encodeLayout(*l, v, back.data());
            EXPECT_EQ(hex(back), hex(payload));
            const std::vector<uint8_t> frame = layoutSetFrame(
                *l, v, l->subcodeField() >= 0 ? std::nullopt : std::optional(l->firstSubcode));
            ASSERT_FALSE(frame.empty());
            EXPECT_EQ(frame[1], kCmdSet);
            EXPECT_EQ(frame[2], l->code);
        }
    }
    EXPECT_EQ(kInitTimeLayout.size, 11u);
    EXPECT_EQ(kInitLatLonLayout.size, 21u);
    EXPECT_EQ(kMapMatchLayout.size, 25u);
    EXPECT_EQ(kTachoDataLayout.size, 9u);
    EXPECT_EQ(kEventTriggerLayout.size, 5u);
    EXPECT_EQ(kTimeTriggerLayout.size, 9u);
    EXPECT_EQ(kZroLayout.size, 9u);
    EXPECT_EQ(kDirectionSwitchLayout.size, 2u);
    EXPECT_EQ(kDppLayout.size, 10u);
    EXPECT_EQ(kSoftEventLogLayout.size, 10u);
    // The catch-all of 0x36 serves the subcodes without their own layout.
    EXPECT_EQ(findLayout(0x36, 0x07), &kDppLayout);
    EXPECT_EQ(findLayout(0x36, 0x09), &kDrCalibrationLayout);
    EXPECT_EQ(findLayout(0x29, 0x06), nullptr);
}

TEST(PacketLayouts, LengthRulesAndTheSubcodeField) {
    struct Case {
        const PacketLayout* layout;
        size_t n;
        int result;
    };
    const Case cases[] = {
        {&kInitTimeLayout, 10, kErrLength},
        {&kInitTimeLayout, 11, 0},
        {&kInitTimeLayout, 12, kErrLength},
        {&kInitLatLonLayout, 20, kErrLength},
        {&kInitLatLonLayout, 21, 0},
        {&kInitLatLonLayout, 30, 0},
        {&kSoftEventLogLayout, 9, kErrLength},
        {&kSoftEventLogLayout, 12, 0},
        {&kZroLayout, 0, 0},
        {&kZroLayout, 3, 0},
        {&kZroLayout, 40, 0},
    };
    const std::vector<uint8_t> payload(40, 0x11);
    for (const Case& c : cases) {
        FieldValues v{};
        v.fill(7);
        EXPECT_EQ(decodeLayout(*c.layout, c.layout->firstSubcode, payload.data(), c.n, v), c.result)
            << c.layout->name << " with " << c.n;
        if (c.result != 0) {
            EXPECT_EQ(v[0], 7) << "nothing written when refused";
        }
    }
    // A padded reply: the bytes it lacks read as zero.
    FieldValues v{};
    ASSERT_EQ(decodeLayout(kZroLayout, 0x03, bytes("13 00 00").data(), 3, v), 0);
    EXPECT_EQ(v[size_t(kZroLayout.fieldIndex("status"))], 0x13);
    EXPECT_EQ(v[size_t(kZroLayout.fieldIndex("value"))], 0);
    EXPECT_EQ(v[size_t(kZroLayout.fieldIndex("subcode"))], 3);

    // 2Axx: the target code travels as the subcode, a Set takes it from the values.
    FieldValues t{};
    t[0] = 0x31;
    t[1] = 0x01;
    t[2] = 0x20000000;
    EXPECT_EQ(hex(layoutSetFrame(kEventTriggerLayout, t)), "81 01 2A 31 01 00 00 00 20 80 00 82");
    t[0] = 256; // not a byte: no subcode, no frame
    EXPECT_TRUE(layoutSetFrame(kEventTriggerLayout, t).empty());
    // A fixed subcode must be the layout's own.
    EXPECT_TRUE(layoutSetFrame(kInitTimeLayout, FieldValues{}, uint8_t(2)).empty());
    EXPECT_FALSE(layoutSetFrame(kInitTimeLayout, FieldValues{}).empty());
}

TEST(PacketLayouts, SetFramesRefuseValuesTheirFieldsCannotCarry) {
    auto frameWith = [](const PacketLayout& l, const char* field, double value) {
        FieldValues v{};
        v[size_t(l.fieldIndex(field))] = value;
        return layoutSetFrame(l, v);
    };
    struct Case {
        const PacketLayout* layout;
        const char* field;
        double value;
        bool sent;
    };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const Case cases[] = {
        {&kInitTimeLayout, "week", 65535, true},
        {&kInitTimeLayout, "week", 65536, false},
        {&kInitTimeLayout, "time_of_week", -1, false},
        {&kInitAltitudeLayout, "altitude", -32768, true},
        {&kInitAltitudeLayout, "altitude", -32769, false},
        {&kInitLatLonLayout, "latitude", 2147483648.0, false},
        {&kInitLatLonLayout, "lat_lon_correlation", nan, false},
        {&kInitLatLonLayout, "lat_lon_correlation", 0.25, true},
        {&kInitHeadingLayout, "heading", 1.5, false},
        {&kDppLayout, "value", 1e39, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(!frameWith(*c.layout, c.field, c.value).empty(), c.sent)
            << c.layout->name << "." << c.field << " = " << c.value;
    // A field another layout of the record carries is not sent, whatever it holds.
    FieldValues v{};
    v[size_t(kDirectionSwitchLayout.fieldIndex("subcode"))] = 5;
    v[size_t(kDirectionSwitchLayout.fieldIndex("value"))] = nan;
    v[size_t(kDirectionSwitchLayout.fieldIndex("status"))] = 0x81;
    v[size_t(kDirectionSwitchLayout.fieldIndex("confidence_speed"))] = 20;
    EXPECT_EQ(hex(layoutSetFrame(kDirectionSwitchLayout, v)), "81 01 36 05 80 01 14 2C 82");
}

TEST(PacketLayouts, QueriesCarryTheKeyBytes) {
    const uint8_t all[] = {0xFF};
    EXPECT_EQ(hex(layoutQueryFrame(kDppLayout, 0x07, all)), "81 02 36 07 FF BF 82");
    EXPECT_EQ(hex(layoutQueryFrame(kInitHeadingLayout, 0x05)), "81 02 29 05 CD 82");
    const uint8_t target[] = {0x02};
    EXPECT_EQ(hex(layoutQueryFrame(kTimeTriggerLayout, 0x30, target)), "81 02 2B 30 02 9E 82");
    EXPECT_TRUE(layoutQueryFrame(kInitHeadingLayout, 0x04).empty());
    vxtest::RecordingSink sink;
    EXPECT_EQ(sendLayoutQuery(sink, kInitHeadingLayout, 0x04), -1);
    EXPECT_TRUE(sink.frames.empty());
}

// A record of several layouts keeps what the packet in hand does not carry; its values are
// its members in table order.
TEST(PacketLayouts, RecordsTakeOnlyWhatTheirPacketCarries) {
    DrCalibrationRecord r;
    ASSERT_EQ(decodeInto(kDppLayout, 0x07, bytes("02 19 00 00 80 3F 00 00 00 40").data(), 10, r),
              0);
    EXPECT_EQ(r.subcode, 7);
    EXPECT_EQ(r.dpp_index, 2);
    EXPECT_EQ(r.status, 0x19);
    EXPECT_EQ(r.value, 1.0f);
    EXPECT_EQ(r.accuracy, 2.0f);
    ASSERT_EQ(decodeInto(kDirectionSwitchLayout, 0x05, bytes("81 14").data(), 2, r), 0);
    EXPECT_EQ(r.subcode, 5);
    EXPECT_EQ(r.status, 0x81);
    EXPECT_EQ(r.confidence_speed, 20);
    EXPECT_EQ(r.dpp_index, 2) << "kept";
    EXPECT_EQ(r.value, 1.0f) << "kept";
    // A layout of another record is refused and changes nothing.
    EXPECT_EQ(decodeInto(kInitTimeLayout, 0x01, std::vector<uint8_t>(11).data(), 11, r),
              kErrLength);
    EXPECT_EQ(r.subcode, 5);

    const FieldValues v = valuesOf(r);
    EXPECT_EQ(v[0], 5);
    EXPECT_EQ(v[4], 1.0);
    SoftEventRecord fatal;
    FieldValues f{};
    ASSERT_EQ(decodeLayout(kFatalErrorLogLayout, 0x02,
                           bytes("03 21 21 06 0E 0D 05 09 D7 07").data(), 10, f),
              0);
    assignValues(fatal, kFatalErrorLogLayout, f);
    EXPECT_EQ(fatal.year, 2007) << "1402 carries the year last";
    EXPECT_EQ(fatal.event_code, 0x2121);
    EXPECT_EQ(fatal.date1, 6);
}

TEST(PacketLayouts, BitsOfAField) {
    const BitDef& source = *kInitTimeLayout.bit("source");
    const BitDef& accuracy = *kInitTimeLayout.bit("accuracy_status");
    EXPECT_EQ(readBits(source, 0x13), 3u);
    EXPECT_EQ(readBits(accuracy, 0x13), 1u);
    EXPECT_EQ(writeBits(accuracy, writeBits(source, 0, 2), 1), 0x12);
    EXPECT_EQ(writeBits(source, 0xFF, 0), 0xF8) << "the other bits stay";
    EXPECT_EQ(writeBits(source, 0, 9), 1) << "bits beyond the width are dropped";
    EXPECT_EQ(readBits(*kDirectionSwitchLayout.bit("sense"), 0x81), 1u);
    EXPECT_EQ(kEventTriggerLayout.bit("fatal_error")->mask(), 0x20000000u);
    EXPECT_EQ(kInitTimeLayout.bit("no_such_bits"), nullptr);
}

// The settings groups seen as layouts of one field: the same frames as their own senders.
TEST(PacketLayouts, SettingsAsLayoutsSendTheSameFrames) {
    for (const SettingsGroup* g :
         {&engineRateSettings(), &gpsConfigSettings(), &kalmanSettings(), &drFilterSettings()}) {
        for (const SettingDef& d : g->defs) {
            const PacketLayout* l = settingLayout(*g, d.subcode);
            ASSERT_NE(l, nullptr);
            EXPECT_EQ(l, settingLayout(*g, d.subcode)) << "made once";
            EXPECT_EQ(l->code, g->code);
            EXPECT_EQ(l->fields.size(), 1u);
            EXPECT_EQ(l->fields[0].name, d.name);
            FieldValues v{};
            v[0] = d.type == WireType::F32 ? 0.5 : 7;
            vxtest::RecordingSink a, b;
            ASSERT_EQ(sendSetting(a, *g, d, v[0]), 0);
            ASSERT_EQ(sendLayoutSet(b, *l, v), 0);
            EXPECT_EQ(a.hexFrames(), b.hexFrames()) << int(d.subcode);
        }
        EXPECT_EQ(settingLayout(*g, 0xFF), nullptr);
    }
}

} // namespace
