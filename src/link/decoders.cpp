#include "link/decoders.h"

#include <algorithm>
#include <cstring>

namespace vx {

namespace {

using K = RecordKind;

// Decoders whose payload length is not fixed by the protocol read their fixed layout from a
// zero-filled copy of the payload, so that a short payload yields zero fields rather than bytes
// of an earlier frame or of memory beyond the payload. Only the layout's bytes are copied.
constexpr size_t kPadSize = 256;

class Padded {
public:
    Padded(const uint8_t* p, size_t n, size_t need) {
        size_t c = std::min(n, need);
        std::memcpy(buf_, p, c);
        std::memset(buf_ + c, 0, need - c);
    }
    const uint8_t* data() const { return buf_; }

private:
    uint8_t buf_[kPadSize];
};

// A float at offset off of a payload of n bytes; 0 when it is not wholly inside the payload.
float floatAt(const uint8_t* p, size_t n, size_t off) {
    return off <= n && n - off >= 4 ? readFloat(p + off) : 0.0f;
}

// Copies up to cap - 1 bytes as zero-terminated text and clears the rest of the array, so that
// a snapshot of the record carries no bytes of an earlier text.
template <size_t N> void copyText(char (&dst)[N], const uint8_t* src, size_t n) {
    size_t c = std::min(n, N - 1);
    std::memcpy(dst, src, c);
    std::memset(dst + c, 0, N - c);
}

int decodeAck(uint8_t sub, const uint8_t* p, size_t n, RecordArea& a, K& k) {
    if (sub == kCmdSet || sub == kCmdQuery) {
        if (n != 3 && n != 4) return kDecodeBadLength;
        AckRecord& r = a.ack;
        r.acked_code = p[0];
        r.acked_subcode = p[1];
        r.index = n == 4 ? p[2] : kAckNoIndex;
        r.result = p[n - 1];
        k = K::Ack;
    } else if (sub == kCmdSystem) {
        if (n != 2) return kDecodeBadLength;
        a.sys_ack.acked_code = p[0];
        a.sys_ack.result = p[1];
        k = K::SysAck;
    }
    // Any other acknowledgement subcode is accepted without decoding.
    return kDecodeOk;
}

int decode12(uint8_t sub, const uint8_t* p, size_t n, RecordArea& a, K& k) {
    switch (sub) {
    case 0x01:
        if (n != 4) return kDecodeBadLength;
        break;
    case 0x02:
        if (n != 1) return kDecodeBadLength;
        break;
    case 0x03:
        if (n < 8) return kDecodeBadLength;
        break;
    case 0x04:
        break;
    default:
        return kDecodeUnknown;
    }
    // Every 0x12 packet clears the start-up record.
    a.startup = StartupRecord{};
    switch (sub) {
    case 0x01:
        a.startup.startup_code = readU16(p);
        a.startup.status = p[3];
        a.startup.startup_info = p[2];
        k = K::Startup;
        break;
    case 0x02:
        a.operating_mode.mode = p[0];
        k = K::OperatingMode;
        break;
    case 0x03: {
        ProductRecord& r = a.product;
        r.serial_number = readU32(p);
        r.date1 = p[4];
        r.date2 = p[5];
        r.year = readU16(p + 6);
        copyText(r.name, p + 8, n - 8);
        k = K::Product;
        break;
    }
    default:
        copyText(a.hardware_id.text, p, n);
        k = K::HardwareId;
        break;
    }
    return kDecodeOk;
}

// The packets of several fields: the layout of the code and subcode fills its record.
template <class R>
int decodeLayout(uint8_t code, uint8_t sub, const uint8_t* p, size_t n, R& record, K kind, K& k) {
    const PacketLayout* l = findLayout(code, sub);
    if (!l) return kDecodeUnknown;
    const int r = decodeInto(*l, sub, p, n, record);
    if (r == kDecodeOk) k = kind;
    return r;
}

int decode15(uint8_t sub, const uint8_t* p, size_t n, RecordArea& a, K& k) {
    CustomerDataRecord& r = a.customer_data;
    // A block holds at most 255 bytes (its length travels as one byte); a received frame never
    // carries more, only a direct caller could pass a longer payload.
    size_t c = std::min<size_t>(n, 255);
    r.block = sub;
    r.length = uint8_t(c);
    r.data.assign(p, p + c); // reuses the vector's storage once it has grown
    k = K::CustomerData;
    return kDecodeOk;
}

int decode16(uint8_t sub, const uint8_t* p, size_t n, RecordArea& a, K& k) {
    if (sub == 0x01) {
        if (n != 3) return kDecodeBadLength;
        a.health.sensor_status = p[0];
        a.health.antenna_status = p[1];
        a.health.last_event_index = p[2];
        k = K::Health;
        return kDecodeOk;
    }
    if (sub == 0x02) {
        if (n != 9) return kDecodeBadLength;
        StartupReportRecord& r = a.startup_report;
        r.shutdown_code = readU16(p);
        r.reserved = p[2];
        r.startup_flags = p[3];
        r.last_event_index = p[4];
        r.system_time = readU32(p + 5);
        k = K::StartupReport;
        return kDecodeOk;
    }
    return kDecodeUnknown;
}

// The settings groups (0x21, 0x24, 0x25, 0x27): one value per subcode, decoded by the group's
// table into its record; kind is named only when a value was stored.
template <size_t Slots>
int decodeGroup(const SettingsGroup& g, uint8_t sub, const uint8_t* p, size_t n,
                SettingsValues<Slots>& record, K kind, K& k) {
    bool written = false;
    int r = decodeSettings(g, sub, p, n, record, written);
    if (r == kDecodeOk && written) k = kind;
    return r;
}

int decode26(uint8_t sub, const uint8_t* p, size_t n, RecordArea& a, K& k) {
    switch (sub) {
    case 0x01:
        if (n != 16) return kDecodeBadLength;
        std::memcpy(a.report_codes.code_bitmap, p, 16);
        k = K::ReportCodes;
        return kDecodeOk;
    case 0x02:
        if (n != 17) return kDecodeBadLength;
        a.report_subcodes.report_code = p[0];
        std::memcpy(a.report_subcodes.subcode_bitmap, p + 1, 16);
        k = K::ReportSubcodes;
        return kDecodeOk;
    case 0x03:
    case 0x04:
    case 0x05: {
        if (n < 1) return kDecodeBadLength;
        // The level count is clamped to the bytes the payload holds after it.
        size_t count = std::min<size_t>(p[0], n - 1);
        a.dpp_model.count = uint8_t(count);
        a.dpp_model.levels.assign(p + 1, p + 1 + count);
        k = K::DppModel;
        return kDecodeOk;
    }
    default:
        return kDecodeUnknown;
    }
}

int decode28(uint8_t sub, const uint8_t* p, size_t n, RecordArea& a, K& k) {
    switch (sub) {
    case 0x12:
        if (n != 27) return kDecodeBadLength;
        a.almanac_sv.sv = p[0];
        a.almanac_sv.page_status = p[1];
        a.almanac_sv.page_info = p[2];
        std::memcpy(a.almanac_sv.almanac, p + 3, 24);
        k = K::AlmanacSv;
        return kDecodeOk;
    case 0x13:
        if (n != 50) return kDecodeBadLength;
        a.almanac_page13.page_status = p[0];
        a.almanac_page13.page_info = p[1];
        std::memcpy(a.almanac_page13.block1, p + 2, 24);
        std::memcpy(a.almanac_page13.block2, p + 26, 24);
        k = K::AlmanacPage13;
        return kDecodeOk;
    case 0x14:
        if (n != 26) return kDecodeBadLength;
        a.ion_utc.page_status = p[0];
        a.ion_utc.page_info = p[1];
        std::memcpy(a.ion_utc.data, p + 2, 24);
        k = K::IonUtc;
        return kDecodeOk;
    default:
        return kDecodeUnknown;
    }
}

int decode29(uint8_t sub, const uint8_t* p, size_t n, RecordArea& a, K& k) {
    switch (sub) {
    case 0x01:
        return decodeLayout(0x29, sub, p, n, a.init_time, K::InitTime, k);
    case 0x02:
        return decodeLayout(0x29, sub, p, n, a.init_lat_lon, K::InitLatLon, k);
    case 0x03:
        return decodeLayout(0x29, sub, p, n, a.init_altitude, K::InitAltitude, k);
    case 0x04:
        return decodeLayout(0x29, sub, p, n, a.init_frequency, K::InitFrequency, k);
    case 0x05:
        return decodeLayout(0x29, sub, p, n, a.init_heading, K::InitHeading, k);
    case 0x07:
        return decodeLayout(0x29, sub, p, n, a.map_match, K::MapMatch, k);
    case 0x08:
        return decodeLayout(0x29, sub, p, n, a.tacho_data, K::TachoData, k);
    default:
        return kDecodeUnknown;
    }
}

int decode30(uint8_t sub, const uint8_t* p, size_t n, RecordArea& a, K& k) {
    if (sub == 0x02) {
        if (n != 46) return kDecodeBadLength;
        DrDataRecord& r = a.dr_data;
        r.validity_flags = p[0];
        r.status_flags = p[1];
        r.gps_age = p[2];
        r.tow = readU32(p + 3);
        r.latitude = readI32(p + 7);
        r.longitude = readI32(p + 11);
        r.altitude = readI16(p + 15);
        r.heading = readU16(p + 17);
        r.speed = readU16(p + 19);
        r.delta_time = readU16(p + 21);
        r.delta_distance = readI16(p + 23);
        r.delta_heading = readI16(p + 25);
        r.position_accuracy = readU16(p + 27);
        r.altitude_accuracy = readU16(p + 29);
        r.heading_accuracy = readU16(p + 31);
        r.speed_accuracy = readU16(p + 33);
        r.delta_distance_accuracy = readU16(p + 35);
        r.delta_heading_accuracy = readU16(p + 37);
        r.gyro_number_and_dir = p[39];
        r.gyro_count = readU32(p + 40);
        r.tacho_count = readU16(p + 44);
        k = K::DrData;
        return kDecodeOk;
    }
    if (sub == 0x03) {
        if (n != 101) return kDecodeBadLength;
        BufferedDrRecord& r = a.buffered_dr;
        r.flags = p[0];
        r.time_tag = readU16(p + 1);
        r.latitude = readI32(p + 3);
        r.longitude = readI32(p + 7);
        r.heading = readU16(p + 11);
        for (int i = 0; i < kBufferedDrSamples; ++i) {
            r.delta_distance[i] = readI16(p + 13 + 4 * i);
            r.delta_heading[i] = readI16(p + 15 + 4 * i);
        }
        r.heading_accuracy = readU16(p + 93);
        r.position_accuracy = readU16(p + 95);
        r.delta_distance_accuracy = readU16(p + 97);
        r.delta_heading_accuracy = readU16(p + 99);
        k = K::BufferedDr;
        return kDecodeOk;
    }
    return kDecodeUnknown;
}

int decode31(const uint8_t* p, size_t n, RecordArea& a, K& k) {
    if (n != 28) return kDecodeBadLength;
    GpsFixRecord& r = a.gps_fix;
    r.time = readU32(p);
    r.fix_flags = p[4];
    r.validity_flags = p[5];
    r.latitude = readI32(p + 6);
    r.longitude = readI32(p + 10);
    r.altitude = readI16(p + 14);
    r.heading = readU16(p + 16);
    r.speed = readU16(p + 18);
    r.position_accuracy = readU16(p + 20);
    r.altitude_accuracy = readU16(p + 22);
    r.heading_accuracy = readU16(p + 24);
    r.speed_accuracy = readU16(p + 26);
    k = K::GpsFix;
    return kDecodeOk;
}

int decode32(uint8_t sub, const uint8_t* p, size_t n, RecordArea& a, K& k) {
    switch (sub) {
    case 0x01: {
        if (n != 18) return kDecodeBadLength;
        TimeConstellationRecord& r = a.time_constellation;
        r.year = readU16(p);
        r.date1 = p[2];
        r.date2 = p[3];
        r.hours = p[4];
        r.minutes = p[5];
        r.seconds = p[6];
        r.utc_offset = p[7];
        r.pdop = readI16(p + 8);
        r.hdop = readI16(p + 10);
        r.vdop = readI16(p + 12);
        r.max_dgps_age = p[14];
        r.gps_status = p[15];
        r.search_mode = p[16];
        r.visible_svs = p[17];
        k = K::TimeConstellation;
        return kDecodeOk;
    }
    case 0x02: {
        if (n != 14) return kDecodeBadLength;
        ConstellationSummaryRecord& r = a.constellation_summary;
        r.gps_status = p[0];
        r.visible_svs = p[1];
        r.tow = readU32(p + 2);
        r.dimension = p[6];
        r.pdop = readI16(p + 7);
        r.hdop = readI16(p + 9);
        r.vdop = readI16(p + 11);
        r.max_dgps_age = p[13];
        k = K::ConstellationSummary;
        return kDecodeOk;
    }
    case 0x03: {
        if (n != 15) return kDecodeBadLength;
        TimeSummaryRecord& r = a.time_summary;
        r.time_status = p[0];
        r.tow = readU32(p + 1);
        r.week_number = readU16(p + 5);
        r.utc_offset = p[7];
        r.year = readU16(p + 8);
        r.date1 = p[10];
        r.date2 = p[11];
        r.hours = p[12];
        r.minutes = p[13];
        r.seconds = p[14];
        k = K::TimeSummary;
        return kDecodeOk;
    }
    default:
        return kDecodeUnknown;
    }
}

int decode33(const uint8_t* p, size_t n, RecordArea& a, K& k) {
    // An eighth byte is accepted and ignored.
    if (n != 7 && n != 8) return kDecodeBadLength;
    ChannelStatusRecord& r = a.channel_status;
    r.channel = p[0];
    r.sv = p[1];
    r.status = p[2];
    r.snr = p[3];
    r.azimuth = p[4];
    r.elevation = int8_t(p[5]);
    r.mode = p[6];
    k = K::ChannelStatus;
    return kDecodeOk;
}

int decode3F(uint8_t sub, const uint8_t* p, size_t n, RecordArea& a, K& k) {
    switch (sub) {
    case 0x01: {
        if (n != 13) return kDecodeBadLength;
        SelfTestRecord& r = a.self_test;
        r.adc_validity = p[0];
        r.adc_fixed = readU32(p + 1);
        r.samples_fixed = readU16(p + 5);
        r.adc_rest = readU32(p + 7);
        r.samples_rest = readU16(p + 11);
        k = K::SelfTest;
        return kDecodeOk;
    }
    case 0x02: {
        if (n != 21) return kDecodeBadLength;
        DataCollectionTestRecord& r = a.data_collection_test;
        r.pulses_counted = readU32(p);
        r.max_speed = readU16(p + 4);
        r.total_distance = readU32(p + 6);
        r.status_flags = p[10];
        r.max_svs = p[11];
        r.max_snr = p[12];
        r.dir_switch_f_to_r = p[13];
        r.dir_switch_r_to_f = p[14];
        r.initial_heading = readU16(p + 15);
        r.final_heading = readU16(p + 17);
        r.test_duration = readU16(p + 19);
        k = K::DataCollectionTest;
        return kDecodeOk;
    }
    case 0x04:
        if (n != 8) return kDecodeBadLength;
        a.gyro_bench_test.adc_counts = readU32(p);
        a.gyro_bench_test.samples_at_rest = readU16(p + 4);
        a.gyro_bench_test.test_duration = readU16(p + 6);
        k = K::GyroBenchTest;
        return kDecodeOk;
    case 0x06: {
        if (n != 12) return kDecodeBadLength;
        TachoReverseTestRecord& r = a.tacho_reverse_test;
        r.tacho_counts = readU32(p);
        r.test_samples = readU16(p + 4);
        r.dir_switch_changes = readU16(p + 6);
        r.dir_switch_samples = readU16(p + 8);
        r.test_duration = readU16(p + 10);
        k = K::TachoReverseTest;
        return kDecodeOk;
    }
    default:
        return kDecodeUnknown;
    }
}

// ---- 0x70 diagnostics: no length check except 707F ------------------------------------------

void decodeRawFix(const uint8_t* payload, size_t n, RawFixRecord& r) {
    Padded pad(payload, n, 85);
    const uint8_t* p = pad.data();
    r.altitude_hold = p[0];
    r.week_number = readU16(p + 1);
    r.time_of_week = readDouble(p + 3);
    r.pos_approx = p[11];
    r.have_position = p[12];
    for (int i = 0; i < 3; ++i) r.position[i] = readDouble(p + 13 + 8 * i);
    r.clock_bias = readDouble(p + 37);
    for (int i = 0; i < 3; ++i) r.velocity[i] = readFloat(p + 45 + 4 * i);
    r.oscillator_bias = readFloat(p + 57);
    for (int i = 0; i < 3; ++i) r.vertical[i] = readFloat(p + 61 + 4 * i);
    r.fix_status = p[73];
    r.status_code = p[74];
    r.dim_mode = p[75];
    r.sat_count = p[76];
    r.have_new_meas = p[77];
    r.weak_count_avail = p[78];
    r.weak_count = p[79];
    r.rtc_status = p[80];
    r.masked_svs = readU32(p + 81);
}

void decodeBbramActivity(const uint8_t* payload, size_t n, BbramActivityRecord& r) {
    Padded pad(payload, n, 32);
    const uint8_t* p = pad.data();
    r.d_local = readU32(p);
    r.offs_mst = readU32(p + 4);
    r.offs_bkp = readU32(p + 8);
    r.d_default = readU32(p + 12);
    r.mst_time = readU32(p + 16);
    r.bkp_time = readU32(p + 20);
    r.time = readU32(p + 24);
    r.d_size = readU16(p + 28);
    r.activity = p[30];
    r.unused = p[31];
}

void decodeAdcCalibration(const uint8_t* payload, size_t n, AdcCalibrationRecord& r) {
    Padded pad(payload, n, 6);
    const uint8_t* p = pad.data();
    r.cal_level = p[0];
    size_t count = p[1];
    r.sample_count = readU32(p + 2);
    // The record holds 13 raw and 13 estimated values; a larger count keeps the first 13 of
    // each. The estimated values start after all count raw values on the wire.
    size_t held = std::min<size_t>(count, kAdcCalValues);
    r.count = uint8_t(held);
    for (size_t i = 0; i < held; ++i) {
        r.raw[i] = floatAt(payload, n, 6 + 4 * i);
        r.estimated[i] = floatAt(payload, n, 6 + 4 * count + 4 * i);
    }
}

void decodeAdcSamples(const uint8_t* payload, size_t n, AdcSamplesRecord& r) {
    Padded pad(payload, n, 66);
    const uint8_t* p = pad.data();
    r.new_series = p[0];
    r.sample_kind = p[1];
    std::memcpy(r.data, p + 2, sizeof r.data);
}

void decodeChannelTable(const uint8_t* payload, size_t n, ChannelTableRecord& r) {
    Padded pad(payload, n, 8 * 9);
    for (int i = 0; i < 8; ++i) {
        const uint8_t* g = pad.data() + 9 * i;
        ChannelTableEntry& e = r.entries[i];
        e.sv = g[0];
        e.hms = g[1];
        e.cf = g[2];
        e.h = g[3];
        e.amu = g[4];
        e.xc = g[5];
        e.r = g[6];
        e.str = g[7];
        e.rem = g[8];
    }
}

void decodeChannelDetail(const uint8_t* payload, size_t n, ChannelDetailRecord& r) {
    Padded pad(payload, n, 8 * 12);
    for (int i = 0; i < 8; ++i) {
        const uint8_t* g = pad.data() + 12 * i;
        ChannelDetailEntry& e = r.entries[i];
        e.status = readU16(g);
        e.sv = g[2];
        e.amu = g[3];
        e.old = g[4];
        e.age = readU16(g + 5);
        e.filter = g[7];
        e.doppler = readI32(g + 8);
    }
}

void decodeDebugText(const uint8_t* p, size_t n, DebugTextRecord& r) {
    r.binary = n > 0 && p[0] != 0;
    // The data after the flag byte; the record holds a whole received payload, and a longer
    // one from a direct caller is cut to what the record holds.
    size_t len = n > 0 ? std::min(n - 1, sizeof r.text - 1) : 0;
    r.length = uint8_t(len);
    copyText(r.text, p + (n > 0 ? 1 : 0), len);
}

void decodeIoTraffic(uint8_t sub, const uint8_t* payload, size_t n, IoTrafficRecord& r) {
    Padded pad(payload, n, 10);
    const uint8_t* p = pad.data();
    r.subcode = sub;
    r.flags = p[0];
    r.sequence = p[1];
    size_t off = 2;
    if (r.flags & 0x01) {
        r.word1 = readU32(p + 2);
        r.word2 = readU32(p + 6);
        off = 10;
    }
    // Data from off to the end of the payload (none when the payload is shorter), at most what
    // the record holds.
    size_t len = n > off ? std::min(n - off, sizeof r.data) : 0;
    r.length = uint8_t(len);
    if (len > 0) std::memcpy(r.data, payload + off, len);
}

void decodeTaskUsage(const uint8_t* payload, size_t n, TaskUsageRecord& r) {
    Padded pad(payload, n, 1 + 7 * kTaskUsageTasks);
    const uint8_t* p = pad.data();
    // The record holds 14 tasks; a larger count keeps the first 14.
    int count = std::min<int>(p[0], kTaskUsageTasks);
    r.count = uint8_t(count);
    for (int i = 0; i < count; ++i) {
        const uint8_t* g = p + 1 + 7 * i;
        r.tasks[i].stack_used = readU16(g);
        r.tasks[i].buffer_used = readU16(g + 2);
        r.tasks[i].message_count = readU16(g + 4);
        r.tasks[i].failure_count = g[6];
    }
}

void decodeDrift(const uint8_t* payload, size_t n, DriftRecord& r) {
    Padded pad(payload, n, 43);
    const uint8_t* p = pad.data();
    r.ref_msec = readU32(p);
    r.ref_week_no = readU16(p + 4);
    r.t_status = p[6];
    r.drift = readDouble(p + 7);
    r.dr_unc = readFloat(p + 15);
    r.have_drift = p[19];
    r.drift_high = readDouble(p + 20);
    r.drift_low = readDouble(p + 28);
    r.have_drift_range = p[36];
    r.drift_range_week_no = readU16(p + 37);
    r.drift_range_msec = readU32(p + 39);
}

void readCodeVersion(const uint8_t* g, CodeVersion& v) {
    v.major = g[0];
    v.minor = g[1];
    v.release = g[2];
    v.date1 = g[3];
    v.date2 = g[4];
    v.year = readU16(g + 5);
}

void decodeDiagStartup(const uint8_t* payload, size_t n, DiagStartupRecord& r) {
    Padded pad(payload, n, 26);
    const uint8_t* p = pad.data();
    r.status = p[0];
    r.rom_checksum = readU32(p + 1);
    readCodeVersion(p + 5, r.nav);
    readCodeVersion(p + 12, r.boot);
    readCodeVersion(p + 19, r.io);
}

// The subcodes 0x0E, 0x0F, 0x10, 0x11, 0x12, 0x13, 0x14, 0x15 and 0x16 clear their record first.
int decode70(uint8_t sub, const uint8_t* p, size_t n, RecordArea& a, K& k) {
    switch (sub) {
    case 0x02:
    case 0x09:
        decodeRawFix(p, n, a.raw_fix);
        k = K::RawFix;
        break;
    case 0x0C:
        decodeBbramActivity(p, n, a.bbram_activity);
        k = K::BbramActivity;
        break;
    case 0x0D: {
        // The whole payload, at most what the record holds (a whole received payload fits).
        size_t c = std::min(n, sizeof a.bbram_unit_test.data);
        a.bbram_unit_test.length = uint8_t(c);
        std::memcpy(a.bbram_unit_test.data, p, c);
        k = K::BbramUnitTest;
        break;
    }
    case 0x0E:
        a.adc_calibration = AdcCalibrationRecord{};
        decodeAdcCalibration(p, n, a.adc_calibration);
        k = K::AdcCalibration;
        break;
    case 0x0F:
        a.adc_samples = AdcSamplesRecord{};
        decodeAdcSamples(p, n, a.adc_samples);
        k = K::AdcSamples;
        break;
    case 0x10:
        a.channel_table = ChannelTableRecord{};
        decodeChannelTable(p, n, a.channel_table);
        k = K::ChannelTable;
        break;
    case 0x11:
        a.channel_detail = ChannelDetailRecord{};
        decodeChannelDetail(p, n, a.channel_detail);
        k = K::ChannelDetail;
        break;
    case 0x12:
        a.debug_text = DebugTextRecord{};
        decodeDebugText(p, n, a.debug_text);
        k = K::DebugText;
        break;
    case 0x13:
    case 0x14:
        a.io_traffic = IoTrafficRecord{};
        decodeIoTraffic(sub, p, n, a.io_traffic);
        k = K::IoTraffic;
        break;
    case 0x15:
        a.task_usage = TaskUsageRecord{};
        decodeTaskUsage(p, n, a.task_usage);
        k = K::TaskUsage;
        break;
    case 0x16:
        a.drift = DriftRecord{};
        decodeDrift(p, n, a.drift);
        k = K::Drift;
        break;
    case 0x20:
        decodeDiagStartup(p, n, a.diag_startup);
        k = K::DiagStartup;
        break;
    case 0x7F:
        if (decodeInto(kDiagOutputLayout, sub, p, n, a.diag_output_mask) != kDecodeOk)
            return kDecodeBadLength;
        k = K::DiagOutputMask;
        break;
    default:
        // 0x22 and every unlisted subcode: accepted without decoding.
        break;
    }
    return kDecodeOk;
}

int dispatch(uint8_t code, uint8_t sub, const uint8_t* p, size_t n, RecordArea& a, K& k) {
    switch (code) {
    case 0x10:
        return decodeAck(sub, p, n, a, k);
    case 0x11:
        if (n != 7) return kDecodeBadLength;
        a.version.subcode = sub;
        a.version.major = p[0];
        a.version.minor = p[1];
        a.version.release = p[2];
        a.version.date1 = p[3];
        a.version.date2 = p[4];
        a.version.year = readU16(p + 5);
        k = K::Version;
        return kDecodeOk;
    case 0x12:
        return decode12(sub, p, n, a, k);
    case 0x14:
        return decodeLayout(0x14, sub, p, n, a.soft_event, K::SoftEvent, k);
    case 0x15:
        return decode15(sub, p, n, a, k);
    case 0x16:
        return decode16(sub, p, n, a, k);
    case 0x21:
        return decodeGroup(engineRateSettings(), sub, p, n, a.engine_rate, K::EngineRate, k);
    case 0x22:
        if (sub != 0x02) return kDecodeUnknown;
        if (n != 5) return kDecodeBadLength;
        a.nmea_control.interval = p[0];
        // The one big-endian field of the protocol.
        a.nmea_control.message_mask = (uint32_t(p[1]) << 24) | (uint32_t(p[2]) << 16) |
                                      (uint32_t(p[3]) << 8) | uint32_t(p[4]);
        k = K::NmeaControl;
        return kDecodeOk;
    case 0x24:
        return decodeGroup(gpsConfigSettings(), sub, p, n, a.gps_config, K::GpsConfig, k);
    case 0x25:
        return decodeGroup(kalmanSettings(), sub, p, n, a.kalman, K::Kalman, k);
    case 0x26:
        return decode26(sub, p, n, a, k);
    case 0x27:
        return decodeGroup(drFilterSettings(), sub, p, n, a.dr_filter, K::DrFilter, k);
    case 0x28:
        return decode28(sub, p, n, a, k);
    case 0x29:
        return decode29(sub, p, n, a, k);
    case 0x2A:
        return decodeLayout(0x2A, sub, p, n, a.event_trigger, K::EventTrigger, k);
    case 0x2B:
    case 0x2C:
    case 0x2D:
        return decodeLayout(code, sub, p, n, a.interval_trigger, K::IntervalTrigger, k);
    case 0x2E:
        return decodeLayout(0x2E, sub, p, n, a.event_mask, K::EventMask, k);
    case 0x30:
        return decode30(sub, p, n, a, k);
    case 0x31:
        return decode31(p, n, a, k);
    case 0x32:
        return decode32(sub, p, n, a, k);
    case 0x33:
        return decode33(p, n, a, k);
    case 0x36:
        return decodeLayout(0x36, sub, p, n, a.dr_calibration, K::DrCalibration, k);
    case 0x3F:
        return decode3F(sub, p, n, a, k);
    case 0x70:
        return decode70(sub, p, n, a, k);
    default:
        return kDecodeUnknown;
    }
}

} // namespace

int decode(uint8_t code, uint8_t subcode, const uint8_t* payload, size_t length, RecordArea& area,
           RecordKind* kind) {
    static const uint8_t kNoBytes[1] = {0};
    if (kind) *kind = K::None;
    if (!payload) {
        if (length != 0) return kDecodeNoPayload;
        payload = kNoBytes;
    }
    // Nested packets (code 0x02): code = subcode, subcode = payload byte 0, payload = the rest.
    // A loop rather than recursion, so that a payload of nested 0x02 headers cannot grow the
    // stack.
    while (code == 0x02) {
        if (length == 0) return kDecodeBadLength;
        code = subcode;
        subcode = payload[0];
        ++payload;
        --length;
    }
    K k = K::None;
    int result = dispatch(code, subcode, payload, length, area, k);
    if (kind && result == kDecodeOk) *kind = k;
    return result;
}

} // namespace vx
