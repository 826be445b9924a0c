// Decoded report records: one plain structure per record the receiver sends, the receive
// worker's record area that holds one of each, and the copy (snapshot) of one record that the
// worker hands to the window thread.
//
// Every record offers visit(v), which calls v("field_name", field) for each field in layout
// order. Field types are integers, float, double, fixed arrays of these, nested records (arrays
// of them too), std::string_view for text and std::span / std::vector for variable-length bytes
// or values. The JSON and text writers (record_format.h) and the tests see the fields this way.
#pragma once

#include "link/framing.h"
#include "link/layouts.h"
#include "link/settings.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string_view>
#include <variant>
#include <vector>

namespace vx {

// Text and byte copies hold a whole payload (235 bytes) plus a terminating zero.
inline constexpr size_t kRecordTextSize = kMaxPayload + 1;

// The text of a zero-terminated character array (up to the first zero, at most N characters).
template <size_t N> std::string_view textOf(const char (&s)[N]) {
    const void* end = std::memchr(s, 0, N);
    return {s, end ? size_t(static_cast<const char*>(end) - s) : N};
}

// ---- 0x10 acknowledgements -----------------------------------------------------------------

// Set (0x01) and Query (0x02) acknowledgement: 4 bytes.
struct AckRecord {
    uint8_t acked_code = 0;
    uint8_t acked_subcode = 0;
    uint8_t index = 0; // 0x80 when the acknowledgement carries no index
    uint8_t result = 0;
    template <class V> void visit(V&& v) const {
        v("acked_code", acked_code);
        v("acked_subcode", acked_subcode);
        v("index", index);
        v("result", result);
    }
};
inline constexpr uint8_t kAckNoIndex = 0x80;

// System (0x03) acknowledgement.
struct SysAckRecord {
    uint8_t acked_code = 0;
    uint8_t result = 0;
    template <class V> void visit(V&& v) const {
        v("acked_code", acked_code);
        v("result", result);
    }
};

// ---- 0x11, 0x12 versions and product information -------------------------------------------

// 1101 nav, 1102 boot, 1103 io code version. The window shows the date as date2/date1/year.
struct VersionRecord {
    uint8_t subcode = 0;
    uint8_t major = 0;
    uint8_t minor = 0;
    uint8_t release = 0;
    uint8_t date1 = 0; // payload byte 3
    uint8_t date2 = 0; // payload byte 4
    uint16_t year = 0;
    template <class V> void visit(V&& v) const {
        v("subcode", subcode);
        v("major", major);
        v("minor", minor);
        v("release", release);
        v("date1", date1);
        v("date2", date2);
        v("year", year);
    }
};

// 1201 start-up report. The two single bytes are kept in the opposite order to the payload.
struct StartupRecord {
    uint16_t startup_code = 0; // payload offset 0
    uint8_t status = 0;        // payload byte 3: bit 0 BBRAM valid, bit 1 self test failed
    uint8_t startup_info = 0;  // payload byte 2
    template <class V> void visit(V&& v) const {
        v("startup_code", startup_code);
        v("status", status);
        v("startup_info", startup_info);
    }
};

// 1202 software operating mode: 1 normal, 2 monitor.
struct OperatingModeRecord {
    uint8_t mode = 0;
    template <class V> void visit(V&& v) const { v("mode", mode); }
};

// 1203 product information. The window shows the date as date2/date1/year.
struct ProductRecord {
    uint32_t serial_number = 0;
    uint8_t date1 = 0; // payload byte 4
    uint8_t date2 = 0; // payload byte 5
    uint16_t year = 0;
    char name[kRecordTextSize] = {}; // payload bytes 8.., zero-terminated
    template <class V> void visit(V&& v) const {
        v("serial_number", serial_number);
        v("date1", date1);
        v("date2", date2);
        v("year", year);
        v("name", textOf(name));
    }
};

// 1204 hardware ID text.
struct TextRecord {
    char text[kRecordTextSize] = {};
    template <class V> void visit(V&& v) const { v("text", textOf(text)); }
};

// ---- 0x14 soft event and fatal error log entries -------------------------------------------

// 1401 (soft event) and 1402 (fatal error), laid out in link/layouts.h: 1402 carries the two
// 16-bit fields in the other order (event_code at offset 1, year at offset 8). date1 is the
// month, date2 the day.
struct SoftEventRecord {
    uint8_t index = 0;
    uint16_t year = 0;
    uint8_t date1 = 0;
    uint8_t date2 = 0;
    uint8_t hour = 0;
    uint8_t minute = 0;
    uint8_t second = 0;
    uint16_t event_code = 0; // low byte: the soft event code (0x70, 0x71: antenna)
    static constexpr std::span<const FieldDef> kFields{layout_tables::kSoftEventLogFields};
    template <class S> static auto fields(S& s) {
        return std::tie(s.index, s.year, s.date1, s.date2, s.hour, s.minute, s.second,
                        s.event_code);
    }
    template <class V> void visit(V&& v) const { visitFields(*this, v); }
};

// ---- 0x15 customer data block ---------------------------------------------------------------

struct CustomerDataRecord {
    uint8_t block = 0;  // the subcode: block number
    uint8_t length = 0; // number of data bytes
    std::vector<uint8_t> data;
    template <class V> void visit(V&& v) const {
        v("block", block);
        v("length", length);
        v("data", std::span<const uint8_t>(data));
    }
};

// ---- 0x16 health and start-up reports --------------------------------------------------------

// 1601 health status.
struct HealthRecord {
    uint8_t sensor_status = 0;  // bit 0 direction switch, 1 gyro, 2 tacho abnormal
    uint8_t antenna_status = 0; // bit 0 open, bits 0-1 short, bit 2 oscillator abnormal
    uint8_t last_event_index = 0;
    template <class V> void visit(V&& v) const {
        v("sensor_status", sensor_status);
        v("antenna_status", antenna_status);
        v("last_event_index", last_event_index);
    }
};

// 1602 start-up report.
struct StartupReportRecord {
    uint16_t shutdown_code = 0; // reason of the previous shutdown (fatal error code)
    uint8_t reserved = 0;       // payload byte 2, not shown
    uint8_t startup_flags =
        0; // bit 0 BBRAM valid, 1 gyro/ADC error, 2 RTC valid, 3 BBRAM from flash
    uint8_t last_event_index = 0;
    uint32_t system_time = 0;
    template <class V> void visit(V&& v) const {
        v("shutdown_code", shutdown_code);
        v("reserved", reserved);
        v("startup_flags", startup_flags);
        v("last_event_index", last_event_index);
        v("system_time", system_time);
    }
};

// ---- 0x21, 0x22 ------------------------------------------------------------------------------

// 2101 DR engine rate in Hz. Its one setting (subcode 0x01) as described by engineRateSettings().
struct EngineRateRecord : SettingsValues<0x02> {
    uint8_t rate() const { return settingAs<uint8_t>(value[0x01]); }
    template <class V> void visit(V&& v) const { visitSettings(engineRateSettings(), *this, v); }
};

// 2202 NMEA message output control. The mask travels big-endian.
struct NmeaControlRecord {
    uint8_t interval = 0;
    uint32_t message_mask = 0; // bit 0 GGA, 2 VTG, 3 GSV, 4 GSA, 8 RMC
    template <class V> void visit(V&& v) const {
        v("interval", interval);
        v("message_mask", message_mask);
    }
};

// ---- 0x24 GPS configuration, 0x25 Kalman filter parameters ----------------------------------
// One value per subcode (rec[subcode]), written only by a reply for that subcode; the fields,
// their names and wire types are the tables of settings.h.

// 0x24: operating dimension, DGPS mode, dynamics code, elevation mask, SNR mask (dBHz x 5), DOP
// mask, DOP switch, DGPS age (subcodes 0x01..0x08).
struct GpsConfigRecord : SettingsValues<0x09> {
    template <class V> void visit(V&& v) const { visitSettings(gpsConfigSettings(), *this, v); }
};

// 0x25: 23 parameters, subcodes 0x01..0x06 unsigned integers, 0x07..0x17 floats.
struct KalmanRecord : SettingsValues<0x18> {
    template <class V> void visit(V&& v) const { visitSettings(kalmanSettings(), *this, v); }
};

// ---- 0x26 report codes, subcodes, DPP model ---------------------------------------------------

// 2601: bit j of byte i set = report code i * 8 + j is available.
struct ReportCodesRecord {
    uint8_t code_bitmap[16] = {};
    template <class V> void visit(V&& v) const { v("code_bitmap", code_bitmap); }
};

// 2602: the subcodes of one report code.
struct ReportSubcodesRecord {
    uint8_t report_code = 0;
    uint8_t subcode_bitmap[16] = {};
    template <class V> void visit(V&& v) const {
        v("report_code", report_code);
        v("subcode_bitmap", subcode_bitmap);
    }
};

// 2603..2605 DPP model speed levels: top speed of level 1..count in 0.5 m/s, 255 unlimited.
struct DppModelRecord {
    uint8_t count = 0;
    std::vector<uint8_t> levels; // count bytes
    template <class V> void visit(V&& v) const {
        v("count", count);
        v("levels", std::span<const uint8_t>(levels));
    }
};

// ---- 0x27 DR filter parameters: one value per subcode, written only by its subcode -----------

// Subcodes 0x01..0x1B are signed integers, 0x1C..0x70 floats (drFilterSettings()). Shown as the
// two arrays integer_params (subcode 0x01 first) and real_params (subcode 0x1C first).
struct DrFilterRecord : SettingsValues<0x71> {
    static constexpr size_t kIntegers = 0x1B;     // subcodes 0x01..0x1B
    static constexpr size_t kReals = 0x70 - 0x1B; // subcodes 0x1C..0x70
    template <class V> void visit(V&& v) const {
        int32_t integers[kIntegers] = {};
        float reals[kReals] = {};
        size_t ni = 0, nr = 0;
        for (const SettingDef& d : drFilterSettings().defs) {
            if (d.type == WireType::I32 && ni < kIntegers)
                integers[ni++] = settingAs<int32_t>(value[d.subcode]);
            else if (d.type == WireType::F32 && nr < kReals)
                reals[nr++] = settingAs<float>(value[d.subcode]);
        }
        v("integer_params", integers);
        v("real_params", reals);
    }
};

// ---- 0x28 almanac pages ------------------------------------------------------------------------

// 2812: the almanac of one SV.
struct AlmanacSvRecord {
    uint8_t sv = 0;
    uint8_t page_status = 0; // bits 0-2 source
    uint8_t page_info = 0;
    uint8_t almanac[24] = {};
    template <class V> void visit(V&& v) const {
        v("sv", sv);
        v("page_status", page_status);
        v("page_info", page_info);
        v("almanac", almanac);
    }
};

// 2813.
struct AlmanacPage13Record {
    uint8_t page_status = 0;
    uint8_t page_info = 0;
    uint8_t block1[24] = {};
    uint8_t block2[24] = {};
    template <class V> void visit(V&& v) const {
        v("page_status", page_status);
        v("page_info", page_info);
        v("block1", block1);
        v("block2", block2);
    }
};

// 2814 ION/UTC page.
struct IonUtcRecord {
    uint8_t page_status = 0;
    uint8_t page_info = 0;
    uint8_t data[24] = {};
    template <class V> void visit(V&& v) const {
        v("page_status", page_status);
        v("page_info", page_info);
        v("data", data);
    }
};

// ---- 0x29 initialization data ----------------------------------------------------------------
// Laid out in link/layouts.h. Status byte of 2901..2905: bits 0-2 source, bit 3 newness, bit 4
// accuracy status (2901 with status 0xFF is the RTC).

struct InitTimeRecord { // 2901
    uint8_t status = 0;
    uint16_t week = 0;
    uint32_t time_of_week = 0; // ms
    uint32_t time_accuracy = 0;
    static constexpr std::span<const FieldDef> kFields{layout_tables::kInitTimeFields};
    template <class S> static auto fields(S& s) {
        return std::tie(s.status, s.week, s.time_of_week, s.time_accuracy);
    }
    template <class V> void visit(V&& v) const { visitFields(*this, v); }
};

struct InitLatLonRecord { // 2902; angles in pi / 2^31 rad
    uint8_t status = 0;
    int32_t latitude = 0;
    int32_t longitude = 0;
    uint32_t latitude_accuracy = 0;
    uint32_t longitude_accuracy = 0;
    float lat_lon_correlation = 0;
    static constexpr std::span<const FieldDef> kFields{layout_tables::kInitLatLonFields};
    template <class S> static auto fields(S& s) {
        return std::tie(s.status, s.latitude, s.longitude, s.latitude_accuracy,
                        s.longitude_accuracy, s.lat_lon_correlation);
    }
    template <class V> void visit(V&& v) const { visitFields(*this, v); }
};

struct InitAltitudeRecord { // 2903
    uint8_t status = 0;
    int16_t altitude = 0; // m
    uint16_t altitude_accuracy = 0;
    static constexpr std::span<const FieldDef> kFields{layout_tables::kInitAltitudeFields};
    template <class S> static auto fields(S& s) {
        return std::tie(s.status, s.altitude, s.altitude_accuracy);
    }
    template <class V> void visit(V&& v) const { visitFields(*this, v); }
};

struct InitFrequencyRecord { // 2904
    uint8_t status = 0;
    int32_t frequency_offset = 0; // PPB
    uint16_t frequency_accuracy = 0;
    static constexpr std::span<const FieldDef> kFields{layout_tables::kInitFrequencyFields};
    template <class S> static auto fields(S& s) {
        return std::tie(s.status, s.frequency_offset, s.frequency_accuracy);
    }
    template <class V> void visit(V&& v) const { visitFields(*this, v); }
};

struct InitHeadingRecord { // 2905; 2^-15 semicircle
    uint8_t status = 0;
    uint16_t heading = 0;
    uint16_t heading_accuracy = 0;
    static constexpr std::span<const FieldDef> kFields{layout_tables::kInitHeadingFields};
    template <class S> static auto fields(S& s) {
        return std::tie(s.status, s.heading, s.heading_accuracy);
    }
    template <class V> void visit(V&& v) const { visitFields(*this, v); }
};

struct MapMatchRecord {   // 2907 short map-match data
    uint8_t validity = 0; // bits 0-5 validity flags, bits 6-7 time source
    uint16_t time_tag = 0;
    int32_t latitude = 0;
    int32_t longitude = 0;
    int16_t altitude = 0;
    uint16_t heading = 0;
    uint16_t east_accuracy = 0;
    uint16_t north_accuracy = 0;
    int16_t east_north_covariance = 0;
    uint16_t altitude_accuracy = 0;
    uint16_t heading_accuracy = 0;
    static constexpr std::span<const FieldDef> kFields{layout_tables::kMapMatchFields};
    template <class S> static auto fields(S& s) {
        return std::tie(s.validity, s.time_tag, s.latitude, s.longitude, s.altitude, s.heading,
                        s.east_accuracy, s.north_accuracy, s.east_north_covariance,
                        s.altitude_accuracy, s.heading_accuracy);
    }
    template <class V> void visit(V&& v) const { visitFields(*this, v); }
};

struct TachoDataRecord {  // 2908
    uint8_t validity = 0; // bit 0 time tag offset, 1 tacho, 2 direction switch valid, 7 reverse
    uint16_t host_time_tag = 0;
    uint16_t time_tag_offset = 0;
    uint32_t tacho_pulses = 0;
    static constexpr std::span<const FieldDef> kFields{layout_tables::kTachoDataFields};
    template <class S> static auto fields(S& s) {
        return std::tie(s.validity, s.host_time_tag, s.time_tag_offset, s.tacho_pulses);
    }
    template <class V> void visit(V&& v) const { visitFields(*this, v); }
};

// ---- 0x2A..0x2E output triggers and event masks -----------------------------------------------

// 2Axx event trigger: the packet's subcode is the target code.
struct EventTriggerRecord {
    uint8_t target_code = 0;
    uint8_t target_subcode = 0;
    uint32_t event_mask = 0;
    static constexpr std::span<const FieldDef> kFields{layout_tables::kEventTriggerFields};
    template <class S> static auto fields(S& s) {
        return std::tie(s.target_code, s.target_subcode, s.event_mask);
    }
    template <class V> void visit(V&& v) const { visitFields(*this, v); }
};

// 2Bxx time, 2Cxx delta-distance, 2Dxx delta-heading interval trigger.
struct IntervalTriggerRecord {
    uint32_t minimum = 0;
    uint32_t maximum = 0;
    uint8_t target_code = 0;
    uint8_t target_subcode = 0;
    static constexpr std::span<const FieldDef> kFields{layout_tables::kIntervalTriggerFields};
    template <class S> static auto fields(S& s) {
        return std::tie(s.minimum, s.maximum, s.target_code, s.target_subcode);
    }
    template <class V> void visit(V&& v) const { visitFields(*this, v); }
};

// 2Exx soft event mask: 0 don't report, 1 on change, 3 as detected.
struct EventMaskRecord {
    uint8_t event_code = 0;
    uint8_t mask = 0;
    static constexpr std::span<const FieldDef> kFields{layout_tables::kEventMaskFields};
    template <class S> static auto fields(S& s) { return std::tie(s.event_code, s.mask); }
    template <class V> void visit(V&& v) const { visitFields(*this, v); }
};

// ---- 0x30 DR data ------------------------------------------------------------------------------

// 3002 DR data (fast fix with raw DR data). Angles: latitude and longitude in pi / 2^31 rad,
// headings and heading accuracies in 2^-15 semicircle.
struct DrDataRecord {
    uint8_t validity_flags =
        0; // 0 pos, 1 alt, 2 heading, 3 speed, 4 dir sw, 5 d-dist, 6 d-hdg, 7 motion
    uint8_t status_flags =
        0;               // 0 motion, 1 direction, 2 gyro cal, 3 tacho cal, 4-5 time src, 6 pos src
    uint8_t gps_age = 0; // 254 more than 253, 255 GPS not available
    uint32_t tow = 0;
    int32_t latitude = 0;
    int32_t longitude = 0;
    int16_t altitude = 0;
    uint16_t heading = 0;
    uint16_t speed = 0;
    uint16_t delta_time = 0;
    int16_t delta_distance = 0;
    int16_t delta_heading = 0;
    uint16_t position_accuracy = 0;
    uint16_t altitude_accuracy = 0;
    uint16_t heading_accuracy = 0;
    uint16_t speed_accuracy = 0;
    uint16_t delta_distance_accuracy = 0;
    uint16_t delta_heading_accuracy = 0;
    uint8_t gyro_number_and_dir = 0; // bits 0-6 gyro samples, bit 7 direction switch value
    uint32_t gyro_count = 0;
    uint16_t tacho_count = 0;

    uint8_t gyroSamples() const { return gyro_number_and_dir & 0x7F; }
    bool dirSwitchHigh() const { return (gyro_number_and_dir & 0x80) != 0; }

    template <class V> void visit(V&& v) const {
        v("validity_flags", validity_flags);
        v("status_flags", status_flags);
        v("gps_age", gps_age);
        v("tow", tow);
        v("latitude", latitude);
        v("longitude", longitude);
        v("altitude", altitude);
        v("heading", heading);
        v("speed", speed);
        v("delta_time", delta_time);
        v("delta_distance", delta_distance);
        v("delta_heading", delta_heading);
        v("position_accuracy", position_accuracy);
        v("altitude_accuracy", altitude_accuracy);
        v("heading_accuracy", heading_accuracy);
        v("speed_accuracy", speed_accuracy);
        v("delta_distance_accuracy", delta_distance_accuracy);
        v("delta_heading_accuracy", delta_heading_accuracy);
        v("gyro_number_and_dir", gyro_number_and_dir);
        v("gyro_count", gyro_count);
        v("tacho_count", tacho_count);
    }
};

// 3003 buffered cumulative DR data.
inline constexpr int kBufferedDrSamples = 20;

struct BufferedDrRecord {
    uint8_t flags = 0; // bits 0-5 validity, bits 6-7 time source
    uint16_t time_tag = 0;
    int32_t latitude = 0;
    int32_t longitude = 0;
    uint16_t heading = 0;
    int16_t delta_distance[kBufferedDrSamples] = {}; // cm
    int16_t delta_heading[kBufferedDrSamples] = {};  // cdeg
    uint16_t heading_accuracy = 0;
    uint16_t position_accuracy = 0;
    uint16_t delta_distance_accuracy = 0;
    uint16_t delta_heading_accuracy = 0;
    template <class V> void visit(V&& v) const {
        v("flags", flags);
        v("time_tag", time_tag);
        v("latitude", latitude);
        v("longitude", longitude);
        v("heading", heading);
        v("delta_distance", delta_distance);
        v("delta_heading", delta_heading);
        v("heading_accuracy", heading_accuracy);
        v("position_accuracy", position_accuracy);
        v("delta_distance_accuracy", delta_distance_accuracy);
        v("delta_heading_accuracy", delta_heading_accuracy);
    }
};

// ---- 0x31 GPS fix ------------------------------------------------------------------------------

struct GpsFixRecord {
    uint32_t time = 0;
    uint8_t fix_flags = 0;      // bits 0-5 fix source, bit 6 altitude hold, bit 7 DGPS
    uint8_t validity_flags = 0; // bits 0-3 position, altitude, heading, speed; bits 4-5 time source
    int32_t latitude = 0;
    int32_t longitude = 0;
    int16_t altitude = 0;
    uint16_t heading = 0;
    uint16_t speed = 0;
    uint16_t position_accuracy = 0;
    uint16_t altitude_accuracy = 0;
    uint16_t heading_accuracy = 0;
    uint16_t speed_accuracy = 0;
    template <class V> void visit(V&& v) const {
        v("time", time);
        v("fix_flags", fix_flags);
        v("validity_flags", validity_flags);
        v("latitude", latitude);
        v("longitude", longitude);
        v("altitude", altitude);
        v("heading", heading);
        v("speed", speed);
        v("position_accuracy", position_accuracy);
        v("altitude_accuracy", altitude_accuracy);
        v("heading_accuracy", heading_accuracy);
        v("speed_accuracy", speed_accuracy);
    }
};

// ---- 0x32 time and constellation -------------------------------------------------------------

// 3201. DOPs in units of 1/256.
struct TimeConstellationRecord {
    uint16_t year = 0;
    uint8_t date1 = 0; // shown first
    uint8_t date2 = 0;
    uint8_t hours = 0;
    uint8_t minutes = 0;
    uint8_t seconds = 0;
    uint8_t utc_offset = 0;
    int16_t pdop = 0;
    int16_t hdop = 0;
    int16_t vdop = 0;
    uint8_t max_dgps_age = 0;
    uint8_t gps_status = 0;  // bits 0-3 GPS status, bits 4-5 time source
    uint8_t search_mode = 0; // bits 0-1 search mode, bit 7 almanac complete
    uint8_t visible_svs = 0; // bits 0-3
    template <class V> void visit(V&& v) const {
        v("year", year);
        v("date1", date1);
        v("date2", date2);
        v("hours", hours);
        v("minutes", minutes);
        v("seconds", seconds);
        v("utc_offset", utc_offset);
        v("pdop", pdop);
        v("hdop", hdop);
        v("vdop", vdop);
        v("max_dgps_age", max_dgps_age);
        v("gps_status", gps_status);
        v("search_mode", search_mode);
        v("visible_svs", visible_svs);
    }
};

// 3202.
struct ConstellationSummaryRecord {
    uint8_t gps_status = 0;  // bits 0-3 GPS status, 4-5 time source, 7 almanac complete
    uint8_t visible_svs = 0; // bits 0-3 visible SVs, bits 4-5 search mode
    uint32_t tow = 0;
    uint8_t dimension = 0;
    int16_t pdop = 0;
    int16_t hdop = 0;
    int16_t vdop = 0;
    uint8_t max_dgps_age = 0;
    template <class V> void visit(V&& v) const {
        v("gps_status", gps_status);
        v("visible_svs", visible_svs);
        v("tow", tow);
        v("dimension", dimension);
        v("pdop", pdop);
        v("hdop", hdop);
        v("vdop", vdop);
        v("max_dgps_age", max_dgps_age);
    }
};

// 3203.
struct TimeSummaryRecord {
    uint8_t time_status = 0; // bits 4-5 time source
    uint32_t tow = 0;
    uint16_t week_number = 0;
    uint8_t utc_offset = 0;
    uint16_t year = 0;
    uint8_t date1 = 0;
    uint8_t date2 = 0;
    uint8_t hours = 0;
    uint8_t minutes = 0;
    uint8_t seconds = 0;
    template <class V> void visit(V&& v) const {
        v("time_status", time_status);
        v("tow", tow);
        v("week_number", week_number);
        v("utc_offset", utc_offset);
        v("year", year);
        v("date1", date1);
        v("date2", date2);
        v("hours", hours);
        v("minutes", minutes);
        v("seconds", seconds);
    }
};

// ---- 0x33 channel status -----------------------------------------------------------------------

struct ChannelStatusRecord {
    uint8_t channel = 0;
    uint8_t sv = 0;
    uint8_t status = 0;   // bit 0 visible, 2 tracked, 4 tracking, 5 SNR mask met
    uint8_t snr = 0;      // 0.2 dBHz
    uint8_t azimuth = 0;  // 2 degrees
    int8_t elevation = 0; // degrees, signed
    uint8_t mode = 0;     // bits 0-1 almanac state, bits 2-3 ephemeris state
    template <class V> void visit(V&& v) const {
        v("channel", channel);
        v("sv", sv);
        v("status", status);
        v("snr", snr);
        v("azimuth", azimuth);
        v("elevation", elevation);
        v("mode", mode);
    }
};

// ---- 0x36 DR calibration -----------------------------------------------------------------------
// 3605 carries status and confidence speed; 3607 DPP index, status, DPP and its accuracy; the
// others (3603 ZRO, 3604 gyro sensitivity, 3608 ZRO rate) status, value and accuracy (the three
// layouts in link/layouts.h). A report writes only the fields it carries.

struct DrCalibrationRecord {
    uint8_t subcode = 0;
    uint8_t dpp_index = 0;        // 3607
    uint8_t status = 0;           // bits 0-2 source, 3 newness, 4 validity, 7 (3605) sense
    uint8_t confidence_speed = 0; // 3605
    float value = 0;
    float accuracy = 0;
    static constexpr std::span<const FieldDef> kFields{layout_tables::kCalValueFields};
    template <class S> static auto fields(S& s) {
        return std::tie(s.subcode, s.dpp_index, s.status, s.confidence_speed, s.value, s.accuracy);
    }
    template <class V> void visit(V&& v) const { visitFields(*this, v); }
};

// ---- 0x3F test results -------------------------------------------------------------------------

struct SelfTestRecord {       // 3F01 ADC and gyro self test
    uint8_t adc_validity = 0; // 0 valid
    uint32_t adc_fixed = 0;
    uint16_t samples_fixed = 0;
    uint32_t adc_rest = 0;
    uint16_t samples_rest = 0;
    template <class V> void visit(V&& v) const {
        v("adc_validity", adc_validity);
        v("adc_fixed", adc_fixed);
        v("samples_fixed", samples_fixed);
        v("adc_rest", adc_rest);
        v("samples_rest", samples_rest);
    }
};

struct DataCollectionTestRecord { // 3F02
    uint32_t pulses_counted = 0;
    uint16_t max_speed = 0;
    uint32_t total_distance = 0;
    uint8_t status_flags = 0; // 0 2-D fix, 1 3-D fix, 2 GPS calibrated DR, 3 almanac, 4 GPS status
    uint8_t max_svs = 0;
    uint8_t max_snr = 0; // 0.2 dBHz
    uint8_t dir_switch_f_to_r = 0;
    uint8_t dir_switch_r_to_f = 0;
    uint16_t initial_heading = 0;
    uint16_t final_heading = 0;
    uint16_t test_duration = 0;
    template <class V> void visit(V&& v) const {
        v("pulses_counted", pulses_counted);
        v("max_speed", max_speed);
        v("total_distance", total_distance);
        v("status_flags", status_flags);
        v("max_svs", max_svs);
        v("max_snr", max_snr);
        v("dir_switch_f_to_r", dir_switch_f_to_r);
        v("dir_switch_r_to_f", dir_switch_r_to_f);
        v("initial_heading", initial_heading);
        v("final_heading", final_heading);
        v("test_duration", test_duration);
    }
};

struct GyroBenchTestRecord { // 3F04
    uint32_t adc_counts = 0;
    uint16_t samples_at_rest = 0;
    uint16_t test_duration = 0;
    template <class V> void visit(V&& v) const {
        v("adc_counts", adc_counts);
        v("samples_at_rest", samples_at_rest);
        v("test_duration", test_duration);
    }
};

struct TachoReverseTestRecord { // 3F06
    uint32_t tacho_counts = 0;
    uint16_t test_samples = 0;
    uint16_t dir_switch_changes = 0;
    uint16_t dir_switch_samples = 0;
    uint16_t test_duration = 0;
    template <class V> void visit(V&& v) const {
        v("tacho_counts", tacho_counts);
        v("test_samples", test_samples);
        v("dir_switch_changes", dir_switch_changes);
        v("dir_switch_samples", dir_switch_samples);
        v("test_duration", test_duration);
    }
};

// ---- 0x70 diagnostics
// ----------------------------------------------------------------------------

// 7002 (fix) and 7009 (no fix): the navigation engine's raw fix, 85 bytes.
struct RawFixRecord {
    uint8_t altitude_hold = 0;
    uint16_t week_number = 0;
    double time_of_week = 0;
    uint8_t pos_approx = 0;
    uint8_t have_position = 0;
    double position[3] = {};
    double clock_bias = 0;
    float velocity[3] = {};
    float oscillator_bias = 0;
    float vertical[3] = {};
    uint8_t fix_status = 0; // the twelve bytes 73..84
    uint8_t status_code = 0;
    uint8_t dim_mode = 0;
    uint8_t sat_count = 0;
    uint8_t have_new_meas = 0;
    uint8_t weak_count_avail = 0;
    uint8_t weak_count = 0;
    uint8_t rtc_status = 0;
    uint32_t masked_svs = 0;
    template <class V> void visit(V&& v) const {
        v("altitude_hold", altitude_hold);
        v("week_number", week_number);
        v("time_of_week", time_of_week);
        v("pos_approx", pos_approx);
        v("have_position", have_position);
        v("position", position);
        v("clock_bias", clock_bias);
        v("velocity", velocity);
        v("oscillator_bias", oscillator_bias);
        v("vertical", vertical);
        v("fix_status", fix_status);
        v("status_code", status_code);
        v("dim_mode", dim_mode);
        v("sat_count", sat_count);
        v("have_new_meas", have_new_meas);
        v("weak_count_avail", weak_count_avail);
        v("weak_count", weak_count);
        v("rtc_status", rtc_status);
        v("masked_svs", masked_svs);
    }
};

// 700C BBRAM activity.
struct BbramActivityRecord {
    uint32_t d_local = 0;
    uint32_t offs_mst = 0; // identifies the structure
    uint32_t offs_bkp = 0;
    uint32_t d_default = 0;
    uint32_t mst_time = 0;
    uint32_t bkp_time = 0;
    uint32_t time = 0;
    uint16_t d_size = 0;
    uint8_t activity = 0; // 0 store, 1 check, 2 checkout
    uint8_t unused = 0;
    template <class V> void visit(V&& v) const {
        v("d_local", d_local);
        v("offs_mst", offs_mst);
        v("offs_bkp", offs_bkp);
        v("d_default", d_default);
        v("mst_time", mst_time);
        v("bkp_time", bkp_time);
        v("time", time);
        v("d_size", d_size);
        v("activity", activity);
        v("unused", unused);
    }
};

// 700D BBRAM unit test reply: the payload (byte 0 is the test number).
struct BbramUnitTestRecord {
    uint8_t length = 0;
    uint8_t data[kMaxPayload] = {};
    template <class V> void visit(V&& v) const {
        v("length", length);
        v("data", std::span<const uint8_t>(data, length));
    }
};

// 700E ADC calibration levels.
inline constexpr int kAdcCalValues = 13;

struct AdcCalibrationRecord {
    uint8_t cal_level = 0;
    uint8_t count = 0; // values held, at most 13
    uint32_t sample_count = 0;
    float raw[kAdcCalValues] = {};
    float estimated[kAdcCalValues] = {};
    template <class V> void visit(V&& v) const {
        v("cal_level", cal_level);
        v("count", count);
        v("sample_count", sample_count);
        v("raw", std::span<const float>(raw, count));
        v("estimated", std::span<const float>(estimated, count));
    }
};

// 700F ADC samples.
struct AdcSamplesRecord {
    uint8_t new_series = 0;  // not 0: a new series starts
    uint8_t sample_kind = 0; // 2: sixteen floats follow, else 32 byte samples
    uint8_t data[64] = {};
    template <class V> void visit(V&& v) const {
        v("new_series", new_series);
        v("sample_kind", sample_kind);
        v("data", data);
    }
};

// 7010: eight channel entries of 9 bytes.
struct ChannelTableEntry {
    uint8_t sv = 0;
    uint8_t hms = 0;
    uint8_t cf = 0;
    uint8_t h = 0;
    uint8_t amu = 0;
    uint8_t xc = 0;
    uint8_t r = 0;
    uint8_t str = 0;
    uint8_t rem = 0;
    template <class V> void visit(V&& v) const {
        v("sv", sv);
        v("hms", hms);
        v("cf", cf);
        v("h", h);
        v("amu", amu);
        v("xc", xc);
        v("r", r);
        v("str", str);
        v("rem", rem);
    }
};
struct ChannelTableRecord {
    ChannelTableEntry entries[8] = {};
    template <class V> void visit(V&& v) const { v("entries", entries); }
};

// 7011: eight channel entries of 12 bytes: u16, u8, u8, u8, u16, u8, u32.
struct ChannelDetailEntry {
    uint16_t status = 0;
    uint8_t sv = 0;
    uint8_t amu = 0;
    uint8_t old = 0;
    uint16_t age = 0;
    uint8_t filter = 0;
    int32_t doppler = 0;
    template <class V> void visit(V&& v) const {
        v("status", status);
        v("sv", sv);
        v("amu", amu);
        v("old", old);
        v("age", age);
        v("filter", filter);
        v("doppler", doppler);
    }
};
struct ChannelDetailRecord {
    ChannelDetailEntry entries[8] = {};
    template <class V> void visit(V&& v) const { v("entries", entries); }
};

// 7012 debug output: text, or bytes shown in hexadecimal when binary is set.
struct DebugTextRecord {
    uint8_t binary = 0; // payload byte 0 not zero
    uint8_t length = 0; // data bytes held
    char text[kRecordTextSize] = {};
    template <class V> void visit(V&& v) const {
        v("binary", binary);
        v("length", length);
        v("text", std::string_view(text, length));
    }
};

// 7013 (IO to NAV) and 7014 (NAV to IO) I/O traffic pieces.
struct IoTrafficRecord {
    uint8_t subcode = 0;
    uint8_t flags = 0; // bit 0 first piece (words present), bit 1 last piece
    uint8_t sequence = 0;
    uint32_t word1 = 0;
    uint32_t word2 = 0;
    uint8_t length = 0;
    uint8_t data[kMaxPayload] = {};
    template <class V> void visit(V&& v) const {
        v("subcode", subcode);
        v("flags", flags);
        v("sequence", sequence);
        v("word1", word1);
        v("word2", word2);
        v("length", length);
        v("data", std::span<const uint8_t>(data, length));
    }
};

// 7015 task stack and message buffer usage.
inline constexpr int kTaskUsageTasks = 14;

struct TaskUsageEntry {
    uint16_t stack_used = 0;
    uint16_t buffer_used = 0;
    uint16_t message_count = 0;
    uint8_t failure_count = 0;
    template <class V> void visit(V&& v) const {
        v("stack_used", stack_used);
        v("buffer_used", buffer_used);
        v("message_count", message_count);
        v("failure_count", failure_count);
    }
};
struct TaskUsageRecord {
    uint8_t count = 0; // tasks held, at most 14
    TaskUsageEntry tasks[kTaskUsageTasks] = {};
    template <class V> void visit(V&& v) const {
        v("count", count);
        v("tasks", std::span<const TaskUsageEntry>(tasks, count));
    }
};

// 7016 clock drift sample.
struct DriftRecord {
    uint32_t ref_msec = 0;
    uint16_t ref_week_no = 0;
    uint8_t t_status = 0;
    double drift = 0;
    float dr_unc = 0;
    uint8_t have_drift = 0;
    double drift_high = 0;
    double drift_low = 0;
    uint8_t have_drift_range = 0;
    uint16_t drift_range_week_no = 0;
    uint32_t drift_range_msec = 0;
    template <class V> void visit(V&& v) const {
        v("ref_msec", ref_msec);
        v("ref_week_no", ref_week_no);
        v("t_status", t_status);
        v("drift", drift);
        v("dr_unc", dr_unc);
        v("have_drift", have_drift);
        v("drift_high", drift_high);
        v("drift_low", drift_low);
        v("have_drift_range", have_drift_range);
        v("drift_range_week_no", drift_range_week_no);
        v("drift_range_msec", drift_range_msec);
    }
};

// 7020 diagnostic start-up: ROM checksum and the three code versions (date shown date2/date1/year).
struct CodeVersion {
    uint8_t major = 0;
    uint8_t minor = 0;
    uint8_t release = 0;
    uint8_t date1 = 0;
    uint8_t date2 = 0;
    uint16_t year = 0;
    template <class V> void visit(V&& v) const {
        v("major", major);
        v("minor", minor);
        v("release", release);
        v("date1", date1);
        v("date2", date2);
        v("year", year);
    }
};
struct DiagStartupRecord {
    uint8_t status = 0; // payload byte 0, not shown
    uint32_t rom_checksum = 0;
    CodeVersion nav;
    CodeVersion boot;
    CodeVersion io;
    template <class V> void visit(V&& v) const {
        v("status", status);
        v("rom_checksum", rom_checksum);
        v("nav", nav);
        v("boot", boot);
        v("io", io);
    }
};

// 707F diagnostic output mask: bit j of byte i = 0x70 subcode i * 8 + j.
struct DiagOutputMaskRecord {
    uint32_t output_mask_00 = 0; // bit k: subcode 0x00 + k
    uint32_t output_mask_20 = 0;
    uint32_t output_mask_40 = 0;
    uint32_t output_mask_60 = 0;
    static constexpr std::span<const FieldDef> kFields{layout_tables::kDiagOutputFields};
    template <class S> static auto fields(S& s) {
        return std::tie(s.output_mask_00, s.output_mask_20, s.output_mask_40, s.output_mask_60);
    }
    template <class V> void visit(V&& v) const { visitFields(*this, v); }
    // Whether the 0x70 subcode (0x00..0x7F) is enabled.
    bool enabled(uint8_t subcode) const {
        if (subcode > 0x7F) return false;
        const uint32_t words[] = {output_mask_00, output_mask_20, output_mask_40, output_mask_60};
        return (words[subcode / 32] >> (subcode % 32)) & 1u;
    }
};

// The records filled through layouts have the members their tables name.
static_assert(shapeMatches<SoftEventRecord>() && shapeMatches<InitTimeRecord>() &&
              shapeMatches<InitLatLonRecord>() && shapeMatches<InitAltitudeRecord>() &&
              shapeMatches<InitFrequencyRecord>() && shapeMatches<InitHeadingRecord>() &&
              shapeMatches<MapMatchRecord>() && shapeMatches<TachoDataRecord>() &&
              shapeMatches<EventTriggerRecord>() && shapeMatches<IntervalTriggerRecord>() &&
              shapeMatches<EventMaskRecord>() && shapeMatches<DrCalibrationRecord>() &&
              shapeMatches<DiagOutputMaskRecord>());
// ... and the records of several layouts the same fields in each.
static_assert(sameFields(kFatalErrorLogLayout.fields, SoftEventRecord::kFields) &&
              sameFields(kDirectionSwitchLayout.fields, DrCalibrationRecord::kFields) &&
              sameFields(kDppLayout.fields, DrCalibrationRecord::kFields) &&
              sameFields(kTimeTriggerLayout.fields, IntervalTriggerRecord::kFields));

// ---- The record area, the kinds and the snapshot
// -------------------------------------------------

// X(kind, type, member, name): every record, in one list, so that the kinds, the area, the
// snapshot variant and the names cannot drift apart.
#define VX_RECORD_LIST(X)                                                                          \
    X(Ack, AckRecord, ack, "ack")                                                                  \
    X(SysAck, SysAckRecord, sys_ack, "system_ack")                                                 \
    X(Version, VersionRecord, version, "version_11xx")                                             \
    X(Startup, StartupRecord, startup, "startup_1201")                                             \
    X(OperatingMode, OperatingModeRecord, operating_mode, "operating_mode_1202")                   \
    X(Product, ProductRecord, product, "product_1203")                                             \
    X(HardwareId, TextRecord, hardware_id, "hardware_id_1204")                                     \
    X(SoftEvent, SoftEventRecord, soft_event, "soft_event_14xx")                                   \
    X(CustomerData, CustomerDataRecord, customer_data, "customer_data_15xx")                       \
    X(Health, HealthRecord, health, "health_1601")                                                 \
    X(StartupReport, StartupReportRecord, startup_report, "startup_report_1602")                   \
    X(EngineRate, EngineRateRecord, engine_rate, "engine_rate_2101")                               \
    X(NmeaControl, NmeaControlRecord, nmea_control, "nmea_control_2202")                           \
    X(GpsConfig, GpsConfigRecord, gps_config, "gps_config_24xx")                                   \
    X(Kalman, KalmanRecord, kalman, "kalman_25xx")                                                 \
    X(ReportCodes, ReportCodesRecord, report_codes, "report_codes_2601")                           \
    X(ReportSubcodes, ReportSubcodesRecord, report_subcodes, "report_subcodes_2602")               \
    X(DppModel, DppModelRecord, dpp_model, "dpp_model_2603")                                       \
    X(DrFilter, DrFilterRecord, dr_filter, "dr_filter_27xx")                                       \
    X(AlmanacSv, AlmanacSvRecord, almanac_sv, "almanac_sv_2812")                                   \
    X(AlmanacPage13, AlmanacPage13Record, almanac_page13, "almanac_2813")                          \
    X(IonUtc, IonUtcRecord, ion_utc, "ion_utc_2814")                                               \
    X(InitTime, InitTimeRecord, init_time, "init_time_2901")                                       \
    X(InitLatLon, InitLatLonRecord, init_lat_lon, "init_lat_lon_2902")                             \
    X(InitAltitude, InitAltitudeRecord, init_altitude, "init_altitude_2903")                       \
    X(InitFrequency, InitFrequencyRecord, init_frequency, "init_frequency_2904")                   \
    X(InitHeading, InitHeadingRecord, init_heading, "init_heading_2905")                           \
    X(MapMatch, MapMatchRecord, map_match, "map_match_2907")                                       \
    X(TachoData, TachoDataRecord, tacho_data, "tacho_data_2908")                                   \
    X(EventTrigger, EventTriggerRecord, event_trigger, "event_trigger_2axx")                       \
    X(IntervalTrigger, IntervalTriggerRecord, interval_trigger, "interval_trigger_2bxx")           \
    X(EventMask, EventMaskRecord, event_mask, "event_mask_2exx")                                   \
    X(DrData, DrDataRecord, dr_data, "dr_data_3002")                                               \
    X(BufferedDr, BufferedDrRecord, buffered_dr, "buffered_dr_3003")                               \
    X(GpsFix, GpsFixRecord, gps_fix, "gps_fix_31xx")                                               \
    X(TimeConstellation, TimeConstellationRecord, time_constellation, "time_constellation_3201")   \
    X(ConstellationSummary, ConstellationSummaryRecord, constellation_summary,                     \
      "constellation_summary_3202")                                                                \
    X(TimeSummary, TimeSummaryRecord, time_summary, "time_summary_3203")                           \
    X(ChannelStatus, ChannelStatusRecord, channel_status, "channel_status_33xx")                   \
    X(DrCalibration, DrCalibrationRecord, dr_calibration, "dr_calibration_36xx")                   \
    X(SelfTest, SelfTestRecord, self_test, "self_test_3f01")                                       \
    X(DataCollectionTest, DataCollectionTestRecord, data_collection_test,                          \
      "data_collection_test_3f02")                                                                 \
    X(GyroBenchTest, GyroBenchTestRecord, gyro_bench_test, "gyro_bench_test_3f04")                 \
    X(TachoReverseTest, TachoReverseTestRecord, tacho_reverse_test, "tacho_reverse_test_3f06")     \
    X(RawFix, RawFixRecord, raw_fix, "raw_fix_7002")                                               \
    X(BbramActivity, BbramActivityRecord, bbram_activity, "bbram_activity_700c")                   \
    X(BbramUnitTest, BbramUnitTestRecord, bbram_unit_test, "bbram_unit_test_700d")                 \
    X(AdcCalibration, AdcCalibrationRecord, adc_calibration, "adc_calibration_700e")               \
    X(AdcSamples, AdcSamplesRecord, adc_samples, "adc_samples_700f")                               \
    X(ChannelTable, ChannelTableRecord, channel_table, "channel_table_7010")                       \
    X(ChannelDetail, ChannelDetailRecord, channel_detail, "channel_detail_7011")                   \
    X(DebugText, DebugTextRecord, debug_text, "debug_text_7012")                                   \
    X(IoTraffic, IoTrafficRecord, io_traffic, "io_traffic_7013")                                   \
    X(TaskUsage, TaskUsageRecord, task_usage, "task_usage_7015")                                   \
    X(Drift, DriftRecord, drift, "drift_7016")                                                     \
    X(DiagStartup, DiagStartupRecord, diag_startup, "diag_startup_7020")                           \
    X(DiagOutputMask, DiagOutputMaskRecord, diag_output_mask, "diag_output_mask_707f")

// Which record a decode wrote. None: the packet was accepted without decoding (or refused).
enum class RecordKind : uint8_t {
    None = 0,
#define VX_RECORD_KIND(kind, type, member, name) kind,
    VX_RECORD_LIST(VX_RECORD_KIND)
#undef VX_RECORD_KIND
};

// The receive worker's record area: one instance of every record, reused from packet to packet.
// A decoder writes only the fields its payload carries; the others keep what an earlier packet
// of that record left, except where the decoder clears its record first.
struct RecordArea {
#define VX_RECORD_MEMBER(kind, type, member, name) type member;
    VX_RECORD_LIST(VX_RECORD_MEMBER)
#undef VX_RECORD_MEMBER
};

// A self-contained copy of one record. The alternative index equals the RecordKind value.
using RecordSnapshot = std::variant<std::monostate
#define VX_RECORD_TYPE(kind, type, member, name) , type
                                        VX_RECORD_LIST(VX_RECORD_TYPE)
#undef VX_RECORD_TYPE
                                    >;

// Copies the record of the given kind (monostate for None).
RecordSnapshot snapshot(const RecordArea& area, RecordKind kind);

inline RecordKind kindOf(const RecordSnapshot& s) {
    return RecordKind(s.index());
}

// "dr_data_3002", ...; "none" for None.
std::string_view recordName(RecordKind kind);

// Calls f(record) with the record of the given kind; false (and no call) for None.
template <class F> bool withRecord(const RecordArea& area, RecordKind kind, F&& f) {
    switch (kind) {
#define VX_RECORD_CASE(k, type, member, name)                                                      \
    case RecordKind::k:                                                                            \
        f(area.member);                                                                            \
        return true;
        VX_RECORD_LIST(VX_RECORD_CASE)
#undef VX_RECORD_CASE
    case RecordKind::None:
        break;
    }
    return false;
}

} // namespace vx
