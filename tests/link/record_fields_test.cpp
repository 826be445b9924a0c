// Field extraction of the report decoders: payloads built byte by byte, records checked field
// by field; what a decoder keeps, clears and clamps.
#include "link/decoders.h"
#include "support/hex.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

using namespace vx;
using vxtest::bytes;

namespace {

// Builds a little-endian payload.
struct Payload {
    std::vector<uint8_t> b;
    Payload& u8(unsigned v) {
        b.push_back(uint8_t(v));
        return *this;
    }
    Payload& u16(unsigned v) { return u8(v & 0xFF).u8(v >> 8); }
    Payload& i16(int v) { return u16(uint16_t(int16_t(v))); }
    Payload& u32(uint32_t v) { return u16(v & 0xFFFF).u16(v >> 16); }
    Payload& i32(int32_t v) { return u32(uint32_t(v)); }
    Payload& f32(float f) {
        uint32_t u;
        std::memcpy(&u, &f, 4);
        return u32(u);
    }
    Payload& f64(double d) {
        uint64_t u;
        std::memcpy(&u, &d, 8);
        return u32(uint32_t(u)).u32(uint32_t(u >> 32));
    }
    Payload& raw(const std::vector<uint8_t>& v) {
        b.insert(b.end(), v.begin(), v.end());
        return *this;
    }
    Payload& fill(size_t n, uint8_t v) {
        b.insert(b.end(), n, v);
        return *this;
    }
};

class Records : public ::testing::Test {
protected:
    std::unique_ptr<RecordArea> area = std::make_unique<RecordArea>();
    RecordArea& a = *area;

    // Decodes from a heap copy of exactly the payload's size, so that AddressSanitizer reports
    // any read beyond it.
    int dec(uint8_t code, uint8_t sub, const std::vector<uint8_t>& p, RecordKind* kind = nullptr) {
        std::unique_ptr<uint8_t[]> copy(new uint8_t[p.size() ? p.size() : 1]);
        if (!p.empty()) std::memcpy(copy.get(), p.data(), p.size());
        return decode(code, sub, copy.get(), p.size(), a, kind);
    }
    int dec(uint8_t code, uint8_t sub, const Payload& p, RecordKind* kind = nullptr) {
        return dec(code, sub, p.b, kind);
    }
};

// ---- acknowledgements ------------------------------------------------------------------------

TEST_F(Records, AcknowledgementWithAndWithoutIndex) {
    RecordKind k;
    ASSERT_EQ(dec(0x10, 0x01, bytes("21 01 00"), &k), 0);
    EXPECT_EQ(k, RecordKind::Ack);
    EXPECT_EQ(a.ack.acked_code, 0x21);
    EXPECT_EQ(a.ack.acked_subcode, 0x01);
    EXPECT_EQ(a.ack.index, 0x80);
    EXPECT_EQ(a.ack.result, 0);

    ASSERT_EQ(dec(0x10, 0x02, bytes("24 04 02 00")), 0);
    EXPECT_EQ(a.ack.acked_code, 0x24);
    EXPECT_EQ(a.ack.acked_subcode, 0x04);
    EXPECT_EQ(a.ack.index, 2);
    EXPECT_EQ(a.ack.result, 0);

    ASSERT_EQ(dec(0x10, 0x02, bytes("24 05 03 05")), 0);
    EXPECT_EQ(a.ack.index, 3);
    EXPECT_EQ(a.ack.result, 5);

    ASSERT_EQ(dec(0x10, 0x03, bytes("09 0C"), &k), 0);
    EXPECT_EQ(k, RecordKind::SysAck);
    EXPECT_EQ(a.sys_ack.acked_code, 0x09);
    EXPECT_EQ(a.sys_ack.result, 0x0C);
    // The Set/Query record is a record of its own and keeps its last value.
    EXPECT_EQ(a.ack.acked_code, 0x24);
}

TEST_F(Records, OtherAcknowledgementSubcodesWriteNothing) {
    ASSERT_EQ(dec(0x10, 0x01, bytes("21 01 00")), 0);
    RecordKind k = RecordKind::Ack;
    EXPECT_EQ(dec(0x10, 0x05, bytes("99 99 99 99 99"), &k), 0);
    EXPECT_EQ(k, RecordKind::None);
    EXPECT_EQ(a.ack.acked_code, 0x21);
    EXPECT_EQ(a.ack.index, 0x80);
}

TEST_F(Records, RefusedPacketLeavesTheRecordAlone) {
    ASSERT_EQ(dec(0x10, 0x01, bytes("21 01 00")), 0);
    EXPECT_EQ(dec(0x10, 0x01, bytes("22 02 03 04 05")), kDecodeBadLength);
    EXPECT_EQ(a.ack.acked_code, 0x21);
    ASSERT_EQ(dec(0x12, 0x01, bytes("34 12 AA 01")), 0);
    EXPECT_EQ(dec(0x12, 0x01, bytes("00 00 00")), kDecodeBadLength);
    EXPECT_EQ(dec(0x12, 0x09, bytes("00")), kDecodeUnknown);
    EXPECT_EQ(a.startup.status, 0x01);
}

// ---- 0x11, 0x12 --------------------------------------------------------------------------------

TEST_F(Records, VersionReply) {
    ASSERT_EQ(dec(0x11, 0x01, bytes("02 05 01 08 06 D7 07")), 0);
    EXPECT_EQ(a.version.subcode, 1);
    EXPECT_EQ(a.version.major, 2);
    EXPECT_EQ(a.version.minor, 5);
    EXPECT_EQ(a.version.release, 1);
    EXPECT_EQ(a.version.date1, 8);
    EXPECT_EQ(a.version.date2, 6);
    EXPECT_EQ(a.version.year, 2007);
}

TEST_F(Records, StartupReportStoresStatusBeforeTheOtherByte) {
    ASSERT_EQ(dec(0x12, 0x01, bytes("34 12 AA 02")), 0);
    EXPECT_EQ(a.startup.startup_code, 0x1234);
    EXPECT_EQ(a.startup.status, 0x02);
    EXPECT_EQ(a.startup.startup_info, 0xAA);
}

TEST_F(Records, Every12PacketClearsTheStartupRecord) {
    ASSERT_EQ(dec(0x12, 0x01, bytes("34 12 AA 03")), 0);
    ASSERT_EQ(dec(0x12, 0x02, bytes("02")), 0);
    EXPECT_EQ(a.operating_mode.mode, 2);
    EXPECT_EQ(a.startup.startup_code, 0);
    EXPECT_EQ(a.startup.status, 0);
    EXPECT_EQ(a.startup.startup_info, 0);

    ASSERT_EQ(dec(0x12, 0x01, bytes("34 12 AA 03")), 0);
    ASSERT_EQ(dec(0x12, 0x04, bytes("41")), 0);
    EXPECT_EQ(a.startup.status, 0);
    ASSERT_EQ(dec(0x12, 0x01, bytes("34 12 AA 03")), 0);
    ASSERT_EQ(dec(0x12, 0x03, bytes("01 00 00 00 0E 06 D7 07")), 0);
    EXPECT_EQ(a.startup.startup_code, 0);
}

TEST_F(Records, ProductInformationAndItsText) {
    Payload p;
    p.u32(123456).u8(14).u8(6).u16(2007).raw({'G', 'X', '-', '7'});
    ASSERT_EQ(dec(0x12, 0x03, p), 0);
    EXPECT_EQ(a.product.serial_number, 123456u);
    EXPECT_EQ(a.product.date1, 14);
    EXPECT_EQ(a.product.date2, 6);
    EXPECT_EQ(a.product.year, 2007);
    EXPECT_EQ(textOf(a.product.name), "GX-7");

    // Eight bytes: an empty name, not the previous one.
    ASSERT_EQ(dec(0x12, 0x03, bytes("01 00 00 00 0E 06 D7 07")), 0);
    EXPECT_EQ(textOf(a.product.name), "");
    EXPECT_EQ(a.product.serial_number, 1u);

    // The longest text a frame can carry is kept whole.
    Payload big;
    big.u32(1).u8(1).u8(1).u16(1).fill(kMaxPayload - 8, 'z');
    ASSERT_EQ(dec(0x12, 0x03, big), 0);
    EXPECT_EQ(textOf(a.product.name), std::string(kMaxPayload - 8, 'z'));
}

TEST_F(Records, HardwareIdText) {
    ASSERT_EQ(dec(0x12, 0x04, std::vector<uint8_t>{'H', 'W', '-', '1', '2'}), 0);
    EXPECT_EQ(textOf(a.hardware_id.text), "HW-12");
    ASSERT_EQ(dec(0x12, 0x04, std::vector<uint8_t>{'A'}), 0);
    EXPECT_EQ(textOf(a.hardware_id.text), "A");
    ASSERT_EQ(dec(0x12, 0x04, std::vector<uint8_t>{}), 0);
    EXPECT_EQ(textOf(a.hardware_id.text), "");
    ASSERT_EQ(dec(0x12, 0x04, std::vector<uint8_t>(kMaxPayload, 'q')), 0);
    EXPECT_EQ(textOf(a.hardware_id.text).size(), kMaxPayload);
}

// ---- 0x14, 0x15, 0x16 ---------------------------------------------------------------------------

TEST_F(Records, SoftEventAndFatalErrorTradeTheirWords) {
    Payload p;
    p.u8(0).u16(2007).u8(6).u8(14).u8(13).u8(5).u8(9).u16(0x0170);
    ASSERT_EQ(dec(0x14, 0x01, p), 0);
    EXPECT_EQ(a.soft_event.index, 0);
    EXPECT_EQ(a.soft_event.year, 2007);
    EXPECT_EQ(a.soft_event.date1, 6);
    EXPECT_EQ(a.soft_event.date2, 14);
    EXPECT_EQ(a.soft_event.hour, 13);
    EXPECT_EQ(a.soft_event.minute, 5);
    EXPECT_EQ(a.soft_event.second, 9);
    EXPECT_EQ(a.soft_event.event_code, 0x0170);

    // The same bytes as a fatal error entry: the word at 1 is the code, the word at 8 the year.
    ASSERT_EQ(dec(0x14, 0x02, p), 0);
    EXPECT_EQ(a.soft_event.event_code, 2007);
    EXPECT_EQ(a.soft_event.year, 0x0170);
    EXPECT_EQ(a.soft_event.date1, 6);

    // Longer entries are accepted; the first ten bytes are read.
    p.u8(0xEE).u8(0xEE);
    ASSERT_EQ(dec(0x14, 0x01, p), 0);
    EXPECT_EQ(a.soft_event.event_code, 0x0170);
}

TEST_F(Records, CustomerDataBlockIsACopyOfThePayload) {
    std::vector<uint8_t> block(20);
    for (size_t i = 0; i < block.size(); ++i) block[i] = uint8_t(0xA0 + i);
    RecordKind k;
    ASSERT_EQ(dec(0x15, 0x21, block, &k), 0);
    EXPECT_EQ(k, RecordKind::CustomerData);
    EXPECT_EQ(a.customer_data.block, 0x21);
    EXPECT_EQ(a.customer_data.length, 20);
    EXPECT_EQ(a.customer_data.data, block);

    ASSERT_EQ(dec(0x15, 0x7F, std::vector<uint8_t>{}), 0);
    EXPECT_EQ(a.customer_data.block, 0x7F);
    EXPECT_EQ(a.customer_data.length, 0);
    EXPECT_TRUE(a.customer_data.data.empty());
}

TEST_F(Records, HealthAndStartupReports) {
    ASSERT_EQ(dec(0x16, 0x01, bytes("05 03 07")), 0);
    EXPECT_EQ(a.health.sensor_status, 5);
    EXPECT_EQ(a.health.antenna_status, 3);
    EXPECT_EQ(a.health.last_event_index, 7);

    Payload p;
    p.u16(0x1023).u8(0x55).u8(0x0D).u8(4).u32(0xDEADBEEF);
    ASSERT_EQ(dec(0x16, 0x02, p), 0);
    EXPECT_EQ(a.startup_report.shutdown_code, 0x1023);
    EXPECT_EQ(a.startup_report.reserved, 0x55);
    EXPECT_EQ(a.startup_report.startup_flags, 0x0D);
    EXPECT_EQ(a.startup_report.last_event_index, 4);
    EXPECT_EQ(a.startup_report.system_time, 0xDEADBEEFu);
}

// ---- 0x21..0x29
// ----------------------------------------------------------------------------------

TEST_F(Records, EngineRateAndBigEndianNmeaMask) {
    ASSERT_EQ(dec(0x21, 0x01, bytes("0A")), 0);
    EXPECT_EQ(a.engine_rate.rate(), 10);
    ASSERT_EQ(dec(0x22, 0x02, bytes("00 00 00 01 02")), 0);
    EXPECT_EQ(a.nmea_control.interval, 0);
    EXPECT_EQ(a.nmea_control.message_mask, 0x102u);
    ASSERT_EQ(dec(0x22, 0x02, bytes("01 80 00 01 19")), 0);
    EXPECT_EQ(a.nmea_control.interval, 1);
    EXPECT_EQ(a.nmea_control.message_mask, 0x80000119u);
}

TEST_F(Records, GpsConfigurationAccumulatesOneFieldPerSubcode) {
    ASSERT_EQ(dec(0x24, 0x01, bytes("04")), 0);
    ASSERT_EQ(dec(0x24, 0x02, bytes("01")), 0);
    ASSERT_EQ(dec(0x24, 0x03, bytes("11")), 0);
    ASSERT_EQ(dec(0x24, 0x04, Payload().f32(5.0f)), 0);
    ASSERT_EQ(dec(0x24, 0x05, Payload().u16(175)), 0);
    ASSERT_EQ(dec(0x24, 0x06, Payload().f32(10.0f)), 0);
    ASSERT_EQ(dec(0x24, 0x07, Payload().f32(6.0f)), 0);
    ASSERT_EQ(dec(0x24, 0x08, Payload().u16(30)), 0);
    // A wrong length changes nothing.
    ASSERT_EQ(dec(0x24, 0x05, bytes("00 00 00 00")), kDecodeBadLength);
    // A later packet of one subcode leaves the others.
    ASSERT_EQ(dec(0x24, 0x04, Payload().f32(7.5f)), 0);

    const GpsConfigRecord& g = a.gps_config;
    EXPECT_EQ(g[0x01], 4);    // operating dimension
    EXPECT_EQ(g[0x02], 1);    // DGPS mode
    EXPECT_EQ(g[0x03], 0x11); // dynamics code
    EXPECT_EQ(g[0x04], 7.5f); // elevation mask
    EXPECT_EQ(g[0x05], 175);  // SNR mask
    EXPECT_EQ(g[0x06], 10.0f);
    EXPECT_EQ(g[0x07], 6.0f);
    EXPECT_EQ(g[0x08], 30);
}

TEST_F(Records, KalmanSlotsAreIntegersThenFloats) {
    ASSERT_EQ(dec(0x25, 0x03, bytes("05 00 00 00")), 0);
    EXPECT_EQ(a.kalman[0x03], 5u);
    ASSERT_EQ(dec(0x25, 0x01, Payload().u32(0xFFFFFFFF)), 0);
    ASSERT_EQ(dec(0x25, 0x06, Payload().u32(600)), 0);
    ASSERT_EQ(dec(0x25, 0x07, Payload().f32(0.5f)), 0);
    ASSERT_EQ(dec(0x25, 0x17, Payload().f32(1e-6f).u8(0xEE)), 0); // longer payload accepted
    EXPECT_EQ(a.kalman[0x01], 0xFFFFFFFFu);
    EXPECT_EQ(a.kalman[0x03], 5u);
    EXPECT_EQ(a.kalman[0x06], 600u);
    EXPECT_EQ(a.kalman[0x07], 0.5f);
    EXPECT_EQ(a.kalman[0x17], 1e-6f);
    for (uint8_t s = 0x08; s < 0x17; ++s) EXPECT_EQ(a.kalman[s], 0.0f) << int(s);
}

TEST_F(Records, ReportCodesSubcodesAndDppModel) {
    Payload codes;
    codes.fill(4, 0).u8(0x03).fill(11, 0);
    ASSERT_EQ(dec(0x26, 0x01, codes), 0);
    EXPECT_EQ(a.report_codes.code_bitmap[4], 0x03);
    Payload subs;
    subs.u8(0x31).u8(0x02).fill(15, 0xFF);
    ASSERT_EQ(dec(0x26, 0x02, subs), 0);
    EXPECT_EQ(a.report_subcodes.report_code, 0x31);
    EXPECT_EQ(a.report_subcodes.subcode_bitmap[0], 0x02);
    EXPECT_EQ(a.report_subcodes.subcode_bitmap[15], 0xFF);

    ASSERT_EQ(dec(0x26, 0x04, bytes("03 14 28 FF")), 0);
    EXPECT_EQ(a.dpp_model.count, 3);
    EXPECT_EQ(a.dpp_model.levels, (std::vector<uint8_t>{20, 40, 255}));
    // Extra bytes after the levels are not levels.
    ASSERT_EQ(dec(0x26, 0x03, bytes("01 0A 0B 0C")), 0);
    EXPECT_EQ(a.dpp_model.levels, (std::vector<uint8_t>{10}));
}

TEST_F(Records, DppLevelCountIsClampedToThePayload) {
    ASSERT_EQ(dec(0x26, 0x05, bytes("C8 01 02 03")), 0);
    EXPECT_EQ(a.dpp_model.count, 3);
    EXPECT_EQ(a.dpp_model.levels, (std::vector<uint8_t>{1, 2, 3}));
    ASSERT_EQ(dec(0x26, 0x05, bytes("FF")), 0);
    EXPECT_EQ(a.dpp_model.count, 0);
    EXPECT_TRUE(a.dpp_model.levels.empty());
}

TEST_F(Records, DrFilterSubcodeRanges) {
    ASSERT_EQ(dec(0x27, 0x01, Payload().i32(100)), 0);
    ASSERT_EQ(dec(0x27, 0x05, Payload().i32(-3)), 0);
    ASSERT_EQ(dec(0x27, 0x1B, Payload().i32(27)), 0);
    ASSERT_EQ(dec(0x27, 0x1C, Payload().f32(28.5f)), 0);
    ASSERT_EQ(dec(0x27, 0x45, Payload().f32(2.5f)), 0);
    ASSERT_EQ(dec(0x27, 0x70, Payload().f32(-1.25f)), 0);
    EXPECT_EQ(a.dr_filter[0x01], 100);
    EXPECT_EQ(a.dr_filter[0x05], -3);
    EXPECT_EQ(a.dr_filter[0x1B], 27);
    EXPECT_EQ(a.dr_filter[0x1C], 28.5f);
    EXPECT_EQ(a.dr_filter[0x45], 2.5f);
    EXPECT_EQ(a.dr_filter[0x70], -1.25f);

    DrFilterRecord before = a.dr_filter;
    for (int sub : {0x00, 0x71, 0x80, 0xFF}) {
        RecordKind k = RecordKind::DrFilter;
        ASSERT_EQ(dec(0x27, uint8_t(sub), Payload().u32(0x41414141), &k), 0) << sub;
        EXPECT_EQ(k, RecordKind::None);
    }
    EXPECT_EQ(std::memcmp(&before, &a.dr_filter, sizeof before), 0);
}

TEST_F(Records, AlmanacPages) {
    Payload sv;
    sv.u8(5).u8(0x01).u8(0x77);
    for (int i = 0; i < 24; ++i) sv.u8(i);
    ASSERT_EQ(dec(0x28, 0x12, sv), 0);
    EXPECT_EQ(a.almanac_sv.sv, 5);
    EXPECT_EQ(a.almanac_sv.page_status, 1);
    EXPECT_EQ(a.almanac_sv.page_info, 0x77);
    EXPECT_EQ(a.almanac_sv.almanac[0], 0);
    EXPECT_EQ(a.almanac_sv.almanac[23], 23);

    Payload p13;
    p13.u8(2).u8(3).fill(24, 0xAA).fill(24, 0xBB);
    ASSERT_EQ(dec(0x28, 0x13, p13), 0);
    EXPECT_EQ(a.almanac_page13.page_status, 2);
    EXPECT_EQ(a.almanac_page13.page_info, 3);
    EXPECT_EQ(a.almanac_page13.block1[23], 0xAA);
    EXPECT_EQ(a.almanac_page13.block2[0], 0xBB);

    Payload p14;
    p14.u8(1).u8(9).fill(23, 0).u8(0x5A);
    ASSERT_EQ(dec(0x28, 0x14, p14), 0);
    EXPECT_EQ(a.ion_utc.page_info, 9);
    EXPECT_EQ(a.ion_utc.data[23], 0x5A);
}

TEST_F(Records, InitializationRecords) {
    ASSERT_EQ(dec(0x29, 0x01, Payload().u8(0xFF).u16(1400).u32(345600000).u32(20)), 0);
    EXPECT_EQ(a.init_time.status, 0xFF);
    EXPECT_EQ(a.init_time.week, 1400);
    EXPECT_EQ(a.init_time.time_of_week, 345600000u);
    EXPECT_EQ(a.init_time.time_accuracy, 20u);

    Payload ll;
    ll.u8(0x13).i32(-341782628).i32(341782628).u32(1000).u32(2000).f32(0.25f);
    ASSERT_EQ(dec(0x29, 0x02, ll), 0);
    EXPECT_EQ(a.init_lat_lon.status, 0x13);
    EXPECT_EQ(a.init_lat_lon.latitude, -341782628);
    EXPECT_EQ(a.init_lat_lon.longitude, 341782628);
    EXPECT_EQ(a.init_lat_lon.latitude_accuracy, 1000u);
    EXPECT_EQ(a.init_lat_lon.longitude_accuracy, 2000u);
    EXPECT_EQ(a.init_lat_lon.lat_lon_correlation, 0.25f);

    ASSERT_EQ(dec(0x29, 0x03, Payload().u8(1).i16(-12).u16(7)), 0);
    EXPECT_EQ(a.init_altitude.altitude, -12);
    EXPECT_EQ(a.init_altitude.altitude_accuracy, 7);
    ASSERT_EQ(dec(0x29, 0x04, Payload().u8(2).i32(-500).u16(65535)), 0);
    EXPECT_EQ(a.init_frequency.frequency_offset, -500);
    EXPECT_EQ(a.init_frequency.frequency_accuracy, 65535);
    ASSERT_EQ(dec(0x29, 0x05, Payload().u8(3).u16(16384).u16(40000)), 0);
    EXPECT_EQ(a.init_heading.heading, 16384);
    EXPECT_EQ(a.init_heading.heading_accuracy, 40000);
    // 2903 and 2905 share a layout but not a record.
    EXPECT_EQ(a.init_altitude.altitude, -12);

    Payload mm;
    mm.u8(0x7F).u16(500).i32(-1).i32(2).i16(-30).u16(0x8000).u16(3).u16(4).i16(-5).u16(6).u16(7);
    ASSERT_EQ(dec(0x29, 0x07, mm), 0);
    EXPECT_EQ(a.map_match.validity, 0x7F);
    EXPECT_EQ(a.map_match.time_tag, 500);
    EXPECT_EQ(a.map_match.latitude, -1);
    EXPECT_EQ(a.map_match.longitude, 2);
    EXPECT_EQ(a.map_match.altitude, -30);
    EXPECT_EQ(a.map_match.heading, 0x8000);
    EXPECT_EQ(a.map_match.east_accuracy, 3);
    EXPECT_EQ(a.map_match.north_accuracy, 4);
    EXPECT_EQ(a.map_match.east_north_covariance, -5);
    EXPECT_EQ(a.map_match.altitude_accuracy, 6);
    EXPECT_EQ(a.map_match.heading_accuracy, 7);

    ASSERT_EQ(dec(0x29, 0x08, Payload().u8(0x83).u16(100).u16(200).u32(70000)), 0);
    EXPECT_EQ(a.tacho_data.validity, 0x83);
    EXPECT_EQ(a.tacho_data.host_time_tag, 100);
    EXPECT_EQ(a.tacho_data.time_tag_offset, 200);
    EXPECT_EQ(a.tacho_data.tacho_pulses, 70000u);
}

// ---- 0x2A..0x2E
// ----------------------------------------------------------------------------------

TEST_F(Records, TriggersAndEventMask) {
    ASSERT_EQ(dec(0x2A, 0x31, bytes("01 00 00 00 20")), 0);
    EXPECT_EQ(a.event_trigger.target_code, 0x31);
    EXPECT_EQ(a.event_trigger.target_subcode, 0x01);
    EXPECT_EQ(a.event_trigger.event_mask, 0x20000000u);

    ASSERT_EQ(dec(0x2B, 0x31, Payload().u8(0x01).u32(1000).u32(5000)), 0);
    EXPECT_EQ(a.interval_trigger.minimum, 1000u);
    EXPECT_EQ(a.interval_trigger.maximum, 5000u);
    EXPECT_EQ(a.interval_trigger.target_code, 0x31);
    EXPECT_EQ(a.interval_trigger.target_subcode, 0x01);
    ASSERT_EQ(dec(0x2D, 0x30, Payload().u8(0x02).u32(1).u32(2)), 0);
    EXPECT_EQ(a.interval_trigger.target_code, 0x30);
    EXPECT_EQ(a.interval_trigger.maximum, 2u);

    ASSERT_EQ(dec(0x2E, 0x01, bytes("70 03")), 0);
    EXPECT_EQ(a.event_mask.event_code, 0x70);
    EXPECT_EQ(a.event_mask.mask, 3);
}

// ---- 0x30..0x33
// -----------------------------------------------------------------------------------

TEST_F(Records, DrDataFullLayoutWithSignedFields) {
    Payload p;
    p.u8(0xA5).u8(0x42).u8(254).u32(345600123);
    p.i32(-(1 << 30)).i32(0x7FFFFFFF).i16(-12).u16(0x4000).u16(1234).u16(200);
    p.i16(-150).i16(-32768).u16(11).u16(12).u16(13).u16(14).u16(15).u16(16);
    p.u8(0x85).u32(4000000000u).u16(65535);
    ASSERT_EQ(p.b.size(), 46u);
    RecordKind k;
    ASSERT_EQ(dec(0x30, 0x02, p, &k), 0);
    EXPECT_EQ(k, RecordKind::DrData);
    const DrDataRecord& r = a.dr_data;
    EXPECT_EQ(r.validity_flags, 0xA5);
    EXPECT_EQ(r.status_flags, 0x42);
    EXPECT_EQ(r.gps_age, 254);
    EXPECT_EQ(r.tow, 345600123u);
    EXPECT_EQ(r.latitude, -(1 << 30));
    EXPECT_EQ(r.longitude, 0x7FFFFFFF);
    EXPECT_EQ(r.altitude, -12);
    EXPECT_EQ(r.heading, 0x4000);
    EXPECT_DOUBLE_EQ(r.heading * std::ldexp(1.0, -15), 0.5);
    EXPECT_EQ(r.speed, 1234);
    EXPECT_EQ(r.delta_time, 200);
    EXPECT_EQ(r.delta_distance, -150);
    EXPECT_EQ(r.delta_heading, -32768);
    EXPECT_EQ(r.position_accuracy, 11);
    EXPECT_EQ(r.altitude_accuracy, 12);
    EXPECT_EQ(r.heading_accuracy, 13);
    EXPECT_EQ(r.speed_accuracy, 14);
    EXPECT_EQ(r.delta_distance_accuracy, 15);
    EXPECT_EQ(r.delta_heading_accuracy, 16);
    EXPECT_EQ(r.gyro_number_and_dir, 0x85);
    EXPECT_EQ(r.gyroSamples(), 5);
    EXPECT_TRUE(r.dirSwitchHigh());
    EXPECT_EQ(r.gyro_count, 4000000000u);
    EXPECT_EQ(r.tacho_count, 65535);

    p.b.pop_back();
    EXPECT_EQ(dec(0x30, 0x02, p), kDecodeBadLength);
}

TEST_F(Records, BufferedDrSamples) {
    Payload p;
    p.u8(0xFF).u16(999).i32(-5).i32(6).u16(0x2000);
    for (int i = 0; i < 20; ++i) p.i16(-i).i16(100 * i);
    p.u16(1).u16(2).u16(3).u16(4);
    ASSERT_EQ(p.b.size(), 101u);
    ASSERT_EQ(dec(0x30, 0x03, p), 0);
    const BufferedDrRecord& r = a.buffered_dr;
    EXPECT_EQ(r.flags, 0xFF);
    EXPECT_EQ(r.time_tag, 999);
    EXPECT_EQ(r.latitude, -5);
    EXPECT_EQ(r.longitude, 6);
    EXPECT_EQ(r.heading, 0x2000);
    for (int i = 0; i < 20; ++i) {
        EXPECT_EQ(r.delta_distance[i], -i);
        EXPECT_EQ(r.delta_heading[i], 100 * i);
    }
    EXPECT_EQ(r.heading_accuracy, 1);
    EXPECT_EQ(r.position_accuracy, 2);
    EXPECT_EQ(r.delta_distance_accuracy, 3);
    EXPECT_EQ(r.delta_heading_accuracy, 4);
}

TEST_F(Records, GpsFix) {
    Payload p;
    p.u32(123456789).u8(0x51).u8(0x1F).i32(1 << 30).i32(-7).i16(-100).u16(0x8000).u16(500);
    p.u16(21).u16(22).u16(23).u16(24);
    ASSERT_EQ(dec(0x31, 0x01, p), 0);
    const GpsFixRecord& r = a.gps_fix;
    EXPECT_EQ(r.time, 123456789u);
    EXPECT_EQ(r.fix_flags, 0x51);
    EXPECT_EQ(r.validity_flags, 0x1F);
    EXPECT_EQ(r.latitude, 1 << 30);
    EXPECT_EQ(r.longitude, -7);
    EXPECT_EQ(r.altitude, -100);
    EXPECT_EQ(r.heading, 0x8000);
    EXPECT_EQ(r.speed, 500);
    EXPECT_EQ(r.position_accuracy, 21);
    EXPECT_EQ(r.altitude_accuracy, 22);
    EXPECT_EQ(r.heading_accuracy, 23);
    EXPECT_EQ(r.speed_accuracy, 24);
}

TEST_F(Records, TimeAndConstellationReportsKeepSeparateRecords) {
    Payload t;
    t.u16(2007).u8(6).u8(14).u8(12).u8(34).u8(56).u8(14).i16(512).i16(-256).i16(384);
    t.u8(30).u8(0x15).u8(0x82).u8(0x09);
    Payload c;
    c.u8(0x95).u8(0x27).u32(86400000).u8(3).i16(300).i16(200).i16(100).u8(9);
    Payload s;
    s.u8(0x30).u32(1000).u16(1400).u8(14).u16(2008).u8(1).u8(2).u8(3).u8(4).u8(5);

    ASSERT_EQ(dec(0x32, 0x02, c), 0);
    ASSERT_EQ(dec(0x32, 0x03, s), 0);
    ASSERT_EQ(dec(0x32, 0x01, t), 0);

    const TimeConstellationRecord& r1 = a.time_constellation;
    EXPECT_EQ(r1.year, 2007);
    EXPECT_EQ(r1.date1, 6);
    EXPECT_EQ(r1.date2, 14);
    EXPECT_EQ(r1.hours, 12);
    EXPECT_EQ(r1.minutes, 34);
    EXPECT_EQ(r1.seconds, 56);
    EXPECT_EQ(r1.utc_offset, 14);
    EXPECT_EQ(r1.pdop, 512);
    EXPECT_EQ(r1.hdop, -256);
    EXPECT_EQ(r1.vdop, 384);
    EXPECT_EQ(r1.max_dgps_age, 30);
    EXPECT_EQ(r1.gps_status, 0x15);
    EXPECT_EQ(r1.search_mode, 0x82);
    EXPECT_EQ(r1.visible_svs, 0x09);

    const ConstellationSummaryRecord& r2 = a.constellation_summary;
    EXPECT_EQ(r2.gps_status, 0x95);
    EXPECT_EQ(r2.visible_svs, 0x27);
    EXPECT_EQ(r2.tow, 86400000u);
    EXPECT_EQ(r2.dimension, 3);
    EXPECT_EQ(r2.pdop, 300);
    EXPECT_EQ(r2.hdop, 200);
    EXPECT_EQ(r2.vdop, 100);
    EXPECT_EQ(r2.max_dgps_age, 9);

    const TimeSummaryRecord& r3 = a.time_summary;
    EXPECT_EQ(r3.time_status, 0x30);
    EXPECT_EQ(r3.tow, 1000u);
    EXPECT_EQ(r3.week_number, 1400);
    EXPECT_EQ(r3.utc_offset, 14);
    EXPECT_EQ(r3.year, 2008);
    EXPECT_EQ(r3.date1, 1);
    EXPECT_EQ(r3.date2, 2);
    EXPECT_EQ(r3.hours, 3);
    EXPECT_EQ(r3.minutes, 4);
    EXPECT_EQ(r3.seconds, 5);
}

TEST_F(Records, ChannelStatusWithSevenOrEightBytes) {
    ASSERT_EQ(dec(0x33, 0x01, bytes("03 11 35 C8 5A 1E 0E")), 0);
    ChannelStatusRecord seven = a.channel_status;
    EXPECT_EQ(seven.channel, 3);
    EXPECT_EQ(seven.sv, 0x11);
    EXPECT_EQ(seven.status, 0x35);
    EXPECT_EQ(seven.snr, 200);
    EXPECT_EQ(seven.azimuth, 90);
    EXPECT_EQ(seven.elevation, 30);
    EXPECT_EQ(seven.mode, 0x0E);
    a.channel_status = ChannelStatusRecord{};
    ASSERT_EQ(dec(0x33, 0x01, bytes("03 11 35 C8 5A 1E 0E 77")), 0);
    EXPECT_EQ(std::memcmp(&seven, &a.channel_status, sizeof seven), 0);

    ASSERT_EQ(dec(0x33, 0x01, bytes("00 01 01 00 00 A6 00")), 0);
    EXPECT_EQ(a.channel_status.elevation, -90);
}

// ---- 0x36, 0x3F
// ----------------------------------------------------------------------------------

TEST_F(Records, DrCalibrationLayoutsBySubcode) {
    ASSERT_EQ(dec(0x36, 0x03, Payload().u8(0x1B).f32(1.5f).f32(0.25f)), 0);
    EXPECT_EQ(a.dr_calibration.subcode, 3);
    EXPECT_EQ(a.dr_calibration.status, 0x1B);
    EXPECT_EQ(a.dr_calibration.value, 1.5f);
    EXPECT_EQ(a.dr_calibration.accuracy, 0.25f);

    ASSERT_EQ(dec(0x36, 0x05, bytes("81 14")), 0);
    EXPECT_EQ(a.dr_calibration.subcode, 5);
    EXPECT_EQ(a.dr_calibration.status, 0x81);
    EXPECT_EQ(a.dr_calibration.confidence_speed, 20);

    ASSERT_EQ(dec(0x36, 0x07, Payload().u8(2).u8(0x09).f32(0.125f).f32(0.001f)), 0);
    EXPECT_EQ(a.dr_calibration.subcode, 7);
    EXPECT_EQ(a.dr_calibration.dpp_index, 2);
    EXPECT_EQ(a.dr_calibration.status, 0x09);
    EXPECT_EQ(a.dr_calibration.value, 0.125f);
    EXPECT_EQ(a.dr_calibration.accuracy, 0.001f);
}

TEST_F(Records, ShortPayloadReadsZerosNotAnEarlierPacket) {
    ASSERT_EQ(dec(0x36, 0x03, Payload().u8(0x1B).f32(1.5f).f32(0.25f)), 0);
    ASSERT_EQ(dec(0x36, 0x04, bytes("10")), 0);
    EXPECT_EQ(a.dr_calibration.status, 0x10);
    EXPECT_EQ(a.dr_calibration.value, 0.0f);
    EXPECT_EQ(a.dr_calibration.accuracy, 0.0f);
    ASSERT_EQ(dec(0x36, 0x04, std::vector<uint8_t>{}), 0);
    EXPECT_EQ(a.dr_calibration.status, 0);

    Payload full;
    full.u8(1).u16(2).f64(3.5).u8(4).u8(5).f64(6).f64(7).f64(8).f64(9);
    full.f32(10).f32(11).f32(12).f32(13).f32(14).f32(15).f32(16).fill(12, 0xEE);
    ASSERT_EQ(full.b.size(), 85u);
    ASSERT_EQ(dec(0x70, 0x02, full), 0);
    EXPECT_EQ(a.raw_fix.week_number, 2);
    ASSERT_EQ(dec(0x70, 0x09, bytes("01 02")), 0);
    EXPECT_EQ(a.raw_fix.altitude_hold, 1);
    EXPECT_EQ(a.raw_fix.week_number, 2); // the low byte
    EXPECT_EQ(a.raw_fix.time_of_week, 0.0);
    EXPECT_EQ(a.raw_fix.masked_svs, 0u);
}

TEST_F(Records, TestResults) {
    ASSERT_EQ(dec(0x3F, 0x01, Payload().u8(0).u32(100000).u16(50).u32(200000).u16(60)), 0);
    EXPECT_EQ(a.self_test.adc_validity, 0);
    EXPECT_EQ(a.self_test.adc_fixed, 100000u);
    EXPECT_EQ(a.self_test.samples_fixed, 50);
    EXPECT_EQ(a.self_test.adc_rest, 200000u);
    EXPECT_EQ(a.self_test.samples_rest, 60);

    Payload dc;
    dc.u32(1).u16(2).u32(3).u8(0x05).u8(9).u8(233).u8(4).u8(5).u16(6).u16(7).u16(3600);
    ASSERT_EQ(dec(0x3F, 0x02, dc), 0);
    const DataCollectionTestRecord& d = a.data_collection_test;
    EXPECT_EQ(d.pulses_counted, 1u);
    EXPECT_EQ(d.max_speed, 2);
    EXPECT_EQ(d.total_distance, 3u);
    EXPECT_EQ(d.status_flags, 0x05);
    EXPECT_EQ(d.max_svs, 9);
    EXPECT_EQ(d.max_snr, 233);
    EXPECT_EQ(d.dir_switch_f_to_r, 4);
    EXPECT_EQ(d.dir_switch_r_to_f, 5);
    EXPECT_EQ(d.initial_heading, 6);
    EXPECT_EQ(d.final_heading, 7);
    EXPECT_EQ(d.test_duration, 3600);

    ASSERT_EQ(dec(0x3F, 0x04, Payload().u32(77).u16(88).u16(60)), 0);
    EXPECT_EQ(a.gyro_bench_test.adc_counts, 77u);
    EXPECT_EQ(a.gyro_bench_test.samples_at_rest, 88);
    EXPECT_EQ(a.gyro_bench_test.test_duration, 60);

    ASSERT_EQ(dec(0x3F, 0x06, Payload().u32(5).u16(6).u16(7).u16(8).u16(9)), 0);
    EXPECT_EQ(a.tacho_reverse_test.tacho_counts, 5u);
    EXPECT_EQ(a.tacho_reverse_test.test_samples, 6);
    EXPECT_EQ(a.tacho_reverse_test.dir_switch_changes, 7);
    EXPECT_EQ(a.tacho_reverse_test.dir_switch_samples, 8);
    EXPECT_EQ(a.tacho_reverse_test.test_duration, 9);
}

// ---- 0x70
// ------------------------------------------------------------------------------------------

TEST_F(Records, RawFixLayout) {
    Payload p;
    p.u8(1).u16(1400).f64(345600.5).u8(2).u8(3).f64(-1e6).f64(2e6).f64(3e6).f64(-4.5);
    p.f32(0.5f).f32(-0.5f).f32(1.5f).f32(2.5f).f32(3.5f).f32(4.5f).f32(5.5f);
    p.u8(10).u8(11).u8(12).u8(13).u8(14).u8(15).u8(16).u8(17).u32(0x80000001);
    ASSERT_EQ(p.b.size(), 85u);
    ASSERT_EQ(dec(0x70, 0x02, p), 0);
    const RawFixRecord& r = a.raw_fix;
    EXPECT_EQ(r.altitude_hold, 1);
    EXPECT_EQ(r.week_number, 1400);
    EXPECT_EQ(r.time_of_week, 345600.5);
    EXPECT_EQ(r.pos_approx, 2);
    EXPECT_EQ(r.have_position, 3);
    EXPECT_EQ(r.position[0], -1e6);
    EXPECT_EQ(r.position[2], 3e6);
    EXPECT_EQ(r.clock_bias, -4.5);
    EXPECT_EQ(r.velocity[1], -0.5f);
    EXPECT_EQ(r.oscillator_bias, 2.5f);
    EXPECT_EQ(r.vertical[0], 3.5f);
    EXPECT_EQ(r.vertical[2], 5.5f);
    EXPECT_EQ(r.fix_status, 10);
    EXPECT_EQ(r.status_code, 11);
    EXPECT_EQ(r.dim_mode, 12);
    EXPECT_EQ(r.sat_count, 13);
    EXPECT_EQ(r.have_new_meas, 14);
    EXPECT_EQ(r.weak_count_avail, 15);
    EXPECT_EQ(r.weak_count, 16);
    EXPECT_EQ(r.rtc_status, 17);
    EXPECT_EQ(r.masked_svs, 0x80000001u);
}

TEST_F(Records, BbramActivityAndUnitTest) {
    Payload p;
    p.u32(1).u32(868).u32(3).u32(4).u32(5).u32(6).u32(7).u16(0x1234).u8(2).u8(0xEE);
    ASSERT_EQ(dec(0x70, 0x0C, p), 0);
    EXPECT_EQ(a.bbram_activity.d_local, 1u);
    EXPECT_EQ(a.bbram_activity.offs_mst, 868u);
    EXPECT_EQ(a.bbram_activity.time, 7u);
    EXPECT_EQ(a.bbram_activity.d_size, 0x1234);
    EXPECT_EQ(a.bbram_activity.activity, 2);
    EXPECT_EQ(a.bbram_activity.unused, 0xEE);

    ASSERT_EQ(dec(0x70, 0x0D, bytes("07 00 00 C7 00 AA")), 0);
    EXPECT_EQ(a.bbram_unit_test.length, 6);
    EXPECT_EQ(a.bbram_unit_test.data[0], 7);
    EXPECT_EQ(a.bbram_unit_test.data[5], 0xAA);
    ASSERT_EQ(dec(0x70, 0x0D, std::vector<uint8_t>(kMaxPayload, 0x42)), 0);
    EXPECT_EQ(a.bbram_unit_test.length, kMaxPayload);
    EXPECT_EQ(a.bbram_unit_test.data[kMaxPayload - 1], 0x42);
}

TEST_F(Records, AdcCalibrationLevels) {
    Payload p;
    p.u8(3).u8(2).u32(5140).f32(1.5f).f32(2.5f).f32(-1.0f).f32(-2.0f);
    ASSERT_EQ(dec(0x70, 0x0E, p), 0);
    const AdcCalibrationRecord& r = a.adc_calibration;
    EXPECT_EQ(r.cal_level, 3);
    EXPECT_EQ(r.count, 2);
    EXPECT_EQ(r.sample_count, 5140u);
    EXPECT_EQ(r.raw[0], 1.5f);
    EXPECT_EQ(r.raw[1], 2.5f);
    EXPECT_EQ(r.estimated[0], -1.0f);
    EXPECT_EQ(r.estimated[1], -2.0f);
}

TEST_F(Records, AdcCalibrationClearsItsRecord) {
    Payload thirteen;
    thirteen.u8(1).u8(13).u32(1);
    for (int i = 0; i < 26; ++i) thirteen.f32(float(i + 1));
    ASSERT_EQ(dec(0x70, 0x0E, thirteen), 0);
    EXPECT_EQ(a.adc_calibration.raw[12], 13.0f);
    EXPECT_EQ(a.adc_calibration.estimated[12], 26.0f);
    ASSERT_EQ(dec(0x70, 0x0E, Payload().u8(1).u8(1).u32(1).f32(7).f32(8)), 0);
    EXPECT_EQ(a.adc_calibration.count, 1);
    EXPECT_EQ(a.adc_calibration.raw[0], 7.0f);
    EXPECT_EQ(a.adc_calibration.estimated[0], 8.0f);
    for (int i = 1; i < kAdcCalValues; ++i) {
        EXPECT_EQ(a.adc_calibration.raw[i], 0.0f) << i;
        EXPECT_EQ(a.adc_calibration.estimated[i], 0.0f) << i;
    }
}

TEST_F(Records, AdcCalibrationCountIsClampedToThirteen) {
    // 20 raw values then 20 estimated values on the wire: the record keeps the first 13 of
    // each, the estimated ones taken from where they are, after all 20 raw values.
    Payload p;
    p.u8(2).u8(20).u32(9);
    for (int i = 0; i < 20; ++i) p.f32(float(100 + i));
    for (int i = 0; i < 20; ++i) p.f32(float(200 + i));
    ASSERT_EQ(dec(0x70, 0x0E, p), 0);
    const AdcCalibrationRecord& r = a.adc_calibration;
    EXPECT_EQ(r.count, 13);
    for (int i = 0; i < 13; ++i) {
        EXPECT_EQ(r.raw[i], float(100 + i));
        EXPECT_EQ(r.estimated[i], float(200 + i));
    }

    // A count of 255 in a short payload: values that are not there read as zero.
    ASSERT_EQ(dec(0x70, 0x0E, Payload().u8(2).u8(255).u32(9).f32(1.0f).f32(2.0f)), 0);
    EXPECT_EQ(r.count, 13);
    EXPECT_EQ(r.raw[0], 1.0f);
    EXPECT_EQ(r.raw[1], 2.0f);
    for (int i = 2; i < 13; ++i) EXPECT_EQ(r.raw[i], 0.0f);
    for (int i = 0; i < 13; ++i) EXPECT_EQ(r.estimated[i], 0.0f);
    ASSERT_EQ(dec(0x70, 0x0E, bytes("02")), 0);
    EXPECT_EQ(r.count, 0);
    EXPECT_EQ(r.cal_level, 2);
}

TEST_F(Records, AdcSamples) {
    Payload p;
    p.u8(1).u8(2);
    for (int i = 0; i < 16; ++i) p.f32(float(i));
    ASSERT_EQ(dec(0x70, 0x0F, p), 0);
    EXPECT_EQ(a.adc_samples.new_series, 1);
    EXPECT_EQ(a.adc_samples.sample_kind, 2);
    EXPECT_EQ(readFloat(a.adc_samples.data + 60), 15.0f);
    ASSERT_EQ(dec(0x70, 0x0F, bytes("00 01 AA")), 0);
    EXPECT_EQ(a.adc_samples.data[0], 0xAA);
    EXPECT_EQ(a.adc_samples.data[1], 0); // cleared, not the previous sample
}

TEST_F(Records, ChannelTablesOfTheRawFixWindow) {
    Payload t;
    for (int g = 0; g < 8; ++g)
        for (int b = 0; b < 9; ++b) t.u8(g * 10 + b);
    ASSERT_EQ(dec(0x70, 0x10, t), 0);
    EXPECT_EQ(a.channel_table.entries[0].sv, 0);
    EXPECT_EQ(a.channel_table.entries[0].rem, 8);
    EXPECT_EQ(a.channel_table.entries[7].sv, 70);
    EXPECT_EQ(a.channel_table.entries[7].amu, 74);
    ASSERT_EQ(dec(0x70, 0x10, bytes("05")), 0);
    EXPECT_EQ(a.channel_table.entries[0].sv, 5);
    EXPECT_EQ(a.channel_table.entries[0].hms, 0);
    EXPECT_EQ(a.channel_table.entries[7].sv, 0);

    Payload d;
    for (int g = 0; g < 8; ++g)
        d.u16(0x100 + g).u8(g + 1).u8(40).u8(1).u16(300).u8(7).i32(-1000 * g);
    ASSERT_EQ(dec(0x70, 0x11, d), 0);
    const ChannelDetailEntry& e = a.channel_detail.entries[3];
    EXPECT_EQ(e.status, 0x103);
    EXPECT_EQ(e.sv, 4);
    EXPECT_EQ(e.amu, 40);
    EXPECT_EQ(e.old, 1);
    EXPECT_EQ(e.age, 300);
    EXPECT_EQ(e.filter, 7);
    EXPECT_EQ(e.doppler, -3000);
}

TEST_F(Records, DebugText) {
    ASSERT_EQ(dec(0x70, 0x12, bytes("01 10 27")), 0);
    EXPECT_EQ(a.debug_text.binary, 1);
    EXPECT_EQ(a.debug_text.length, 2);
    EXPECT_EQ(uint8_t(a.debug_text.text[0]), 0x10);
    EXPECT_EQ(uint8_t(a.debug_text.text[1]), 0x27);

    ASSERT_EQ(dec(0x70, 0x12, std::vector<uint8_t>{0, 'o', 'k'}), 0);
    EXPECT_EQ(a.debug_text.binary, 0);
    EXPECT_EQ(a.debug_text.length, 2);
    EXPECT_EQ(textOf(a.debug_text.text), "ok");

    ASSERT_EQ(dec(0x70, 0x12, std::vector<uint8_t>{}), 0);
    EXPECT_EQ(a.debug_text.length, 0);
    EXPECT_EQ(textOf(a.debug_text.text), "");

    std::vector<uint8_t> longest(kMaxPayload, 'x');
    longest[0] = 0;
    ASSERT_EQ(dec(0x70, 0x12, longest), 0);
    EXPECT_EQ(a.debug_text.length, kMaxPayload - 1);
    EXPECT_EQ(textOf(a.debug_text.text), std::string(kMaxPayload - 1, 'x'));
}

TEST_F(Records, IoTrafficPieces) {
    ASSERT_EQ(dec(0x70, 0x13, Payload().u8(0x01).u8(7).u32(11).u32(22).raw({0xA1, 0xA2})), 0);
    const IoTrafficRecord& r = a.io_traffic;
    EXPECT_EQ(r.subcode, 0x13);
    EXPECT_EQ(r.flags, 0x01);
    EXPECT_EQ(r.sequence, 7);
    EXPECT_EQ(r.word1, 11u);
    EXPECT_EQ(r.word2, 22u);
    EXPECT_EQ(r.length, 2);
    EXPECT_EQ(r.data[0], 0xA1);
    EXPECT_EQ(r.data[1], 0xA2);

    // The last piece carries no words: they read as zero, and its data starts at offset 2.
    ASSERT_EQ(dec(0x70, 0x14, bytes("02 08 B1 B2 B3")), 0);
    EXPECT_EQ(r.subcode, 0x14);
    EXPECT_EQ(r.word1, 0u);
    EXPECT_EQ(r.word2, 0u);
    EXPECT_EQ(r.length, 3);
    EXPECT_EQ(r.data[0], 0xB1);
    EXPECT_EQ(r.data[2], 0xB3);

    // A first piece cut short has no data.
    ASSERT_EQ(dec(0x70, 0x13, bytes("01 09 01 02 03")), 0);
    EXPECT_EQ(r.length, 0);
    EXPECT_EQ(r.word1, 0x030201u);
    EXPECT_EQ(r.data[0], 0);
    ASSERT_EQ(dec(0x70, 0x13, bytes("00")), 0);
    EXPECT_EQ(r.length, 0);
}

TEST_F(Records, TaskUsageCountIsClampedToFourteen) {
    Payload p;
    p.u8(2);
    p.u16(300).u16(10).u16(5).u8(0);
    p.u16(340).u16(20).u16(6).u8(1);
    ASSERT_EQ(dec(0x70, 0x15, p), 0);
    const TaskUsageRecord& r = a.task_usage;
    EXPECT_EQ(r.count, 2);
    EXPECT_EQ(r.tasks[1].stack_used, 340);
    EXPECT_EQ(r.tasks[1].buffer_used, 20);
    EXPECT_EQ(r.tasks[1].message_count, 6);
    EXPECT_EQ(r.tasks[1].failure_count, 1);

    Payload many;
    many.u8(255);
    for (int i = 0; i < 20; ++i) many.u16(i).u16(0).u16(0).u8(0);
    ASSERT_EQ(dec(0x70, 0x15, many), 0);
    EXPECT_EQ(r.count, 14);
    EXPECT_EQ(r.tasks[13].stack_used, 13);

    // Count 255 in a short payload: the missing groups read as zero.
    ASSERT_EQ(dec(0x70, 0x15, Payload().u8(255).u16(9)), 0);
    EXPECT_EQ(r.count, 14);
    EXPECT_EQ(r.tasks[0].stack_used, 9);
    EXPECT_EQ(r.tasks[1].stack_used, 0);
    EXPECT_EQ(r.tasks[13].stack_used, 0);
}

TEST_F(Records, DriftSample) {
    Payload p;
    p.u32(604800000).u16(1400).u8(3).f64(1.25e-7).f32(0.5f).u8(1).f64(2e-6).f64(-2e-6);
    p.u8(1).u16(1401).u32(1000);
    ASSERT_EQ(p.b.size(), 43u);
    ASSERT_EQ(dec(0x70, 0x16, p), 0);
    const DriftRecord& r = a.drift;
    EXPECT_EQ(r.ref_msec, 604800000u);
    EXPECT_EQ(r.ref_week_no, 1400);
    EXPECT_EQ(r.t_status, 3);
    EXPECT_EQ(r.drift, 1.25e-7);
    EXPECT_EQ(r.dr_unc, 0.5f);
    EXPECT_EQ(r.have_drift, 1);
    EXPECT_EQ(r.drift_high, 2e-6);
    EXPECT_EQ(r.drift_low, -2e-6);
    EXPECT_EQ(r.have_drift_range, 1);
    EXPECT_EQ(r.drift_range_week_no, 1401);
    EXPECT_EQ(r.drift_range_msec, 1000u);
    ASSERT_EQ(dec(0x70, 0x16, bytes("01")), 0);
    EXPECT_EQ(r.drift, 0.0);
}

TEST_F(Records, DiagnosticStartupAndOutputMask) {
    Payload p;
    p.u8(9).u32(0xCAFEF00D);
    p.raw(bytes("02 01 03 0C 1F D7 07"));
    p.raw(bytes("04 05 06 01 02 D8 07"));
    p.raw(bytes("07 08 09 03 04 D9 07"));
    ASSERT_EQ(p.b.size(), 26u);
    ASSERT_EQ(dec(0x70, 0x20, p), 0);
    const DiagStartupRecord& r = a.diag_startup;
    EXPECT_EQ(r.status, 9);
    EXPECT_EQ(r.rom_checksum, 0xCAFEF00Du);
    EXPECT_EQ(r.nav.major, 2);
    EXPECT_EQ(r.nav.minor, 1);
    EXPECT_EQ(r.nav.release, 3);
    EXPECT_EQ(r.nav.date1, 12);
    EXPECT_EQ(r.nav.date2, 31);
    EXPECT_EQ(r.nav.year, 2007);
    EXPECT_EQ(r.boot.major, 4);
    EXPECT_EQ(r.boot.year, 2008);
    EXPECT_EQ(r.io.release, 9);
    EXPECT_EQ(r.io.year, 2009);

    std::vector<uint8_t> mask(16, 0);
    mask[0] = 0x81;
    ASSERT_EQ(dec(0x70, 0x7F, mask), 0);
    EXPECT_EQ(a.diag_output_mask.output_mask_00, 0x81u);
    EXPECT_TRUE(a.diag_output_mask.enabled(0x00));
    EXPECT_TRUE(a.diag_output_mask.enabled(0x07));
    EXPECT_FALSE(a.diag_output_mask.enabled(0x06));
    mask.assign(16, 0);
    mask[4] = 0x01;  // subcode 0x20
    mask[15] = 0x80; // subcode 0x7F
    ASSERT_EQ(dec(0x70, 0x7F, mask), 0);
    EXPECT_EQ(a.diag_output_mask.output_mask_20, 1u);
    EXPECT_TRUE(a.diag_output_mask.enabled(0x20));
    EXPECT_TRUE(a.diag_output_mask.enabled(0x7F));
    EXPECT_FALSE(a.diag_output_mask.enabled(0x80));
    EXPECT_EQ(dec(0x70, 0x7F, std::vector<uint8_t>(15, 0)), kDecodeBadLength);
}

TEST_F(Records, Diagnostic7022IsAcceptedWithoutDecoding) {
    ASSERT_EQ(dec(0x22, 0x02, bytes("05 00 00 00 01")), 0);
    RecordKind k = RecordKind::NmeaControl;
    EXPECT_EQ(dec(0x70, 0x22, bytes("01 02 03 04 05")), 0);
    EXPECT_EQ(dec(0x70, 0x22, bytes("01 02 03 04 05"), &k), 0);
    EXPECT_EQ(k, RecordKind::None);
    EXPECT_EQ(a.nmea_control.interval, 5);
    EXPECT_EQ(a.nmea_control.message_mask, 1u);
}

// decode() may be called with more bytes than a frame can carry (a tool, a test): the copying
// decoders keep what their record holds and write nothing beyond it.
TEST_F(Records, PayloadsLongerThanAFrameAreCutToTheRecord) {
    std::vector<uint8_t> big(1000, 'b');
    ASSERT_EQ(dec(0x12, 0x04, big), 0);
    EXPECT_EQ(textOf(a.hardware_id.text).size(), sizeof a.hardware_id.text - 1);
    ASSERT_EQ(dec(0x12, 0x03, big), 0);
    EXPECT_EQ(textOf(a.product.name).size(), sizeof a.product.name - 1);
    ASSERT_EQ(dec(0x70, 0x0D, big), 0);
    EXPECT_EQ(a.bbram_unit_test.length, sizeof a.bbram_unit_test.data);
    ASSERT_EQ(dec(0x70, 0x12, big), 0);
    EXPECT_EQ(a.debug_text.length, sizeof a.debug_text.text - 1);
    ASSERT_EQ(dec(0x70, 0x13, big), 0);
    EXPECT_EQ(a.io_traffic.length, sizeof a.io_traffic.data);
    ASSERT_EQ(dec(0x15, 0x01, big), 0);
    EXPECT_EQ(a.customer_data.length, 255);
    EXPECT_EQ(a.customer_data.data.size(), 255u);
    big[0] = 0xFF;
    ASSERT_EQ(dec(0x26, 0x03, big), 0);
    EXPECT_EQ(a.dpp_model.count, 255);
    EXPECT_EQ(a.dpp_model.levels.size(), 255u);
}

// Every decoder, every length, random bytes: nothing is read outside the payload (heap copies
// of exact size under AddressSanitizer) and nothing is written outside the area.
TEST_F(Records, RandomPayloadsOfEveryLengthStayInBounds) {
    uint32_t seed = 12345;
    auto next = [&] {
        seed = seed * 1103515245u + 12345u;
        return uint8_t(seed >> 16);
    };
    for (int code = 0; code < 256; ++code) {
        for (int sub :
             {0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x07, 0x08, 0x09, 0x0C, 0x0D, 0x0E, 0x0F,
              0x10, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17, 0x20, 0x45, 0x7F, 0xFF}) {
            for (size_t n = 0; n <= kMaxPayload; n += (n < 30 ? 1 : 7)) {
                std::vector<uint8_t> p(n);
                for (auto& b : p) b = next();
                if (n > 0 && next() < 64) p[0] = 0xFF; // large counts
                int r = dec(uint8_t(code), uint8_t(sub), p);
                ASSERT_TRUE(r == 0 || r == kDecodeUnknown || r == kDecodeBadLength) << r;
            }
        }
    }
}

} // namespace
