#include "app/log_formats.h"

#include <charconv>
#include <numbers>

namespace vx {

// ---- Number formatting ----------------------------------------------------------------------

namespace {

void appendDigits(std::string& out, const char* first, const char* last, bool negative, int width) {
    const int digits = int(last - first);
    if (negative) out += '-';
    if (digits < width) out.append(size_t(width - digits), '0');
    out.append(first, last);
}

} // namespace

void appendUnsigned(std::string& out, uint64_t v, int width) {
    char buf[24];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    appendDigits(out, buf, r.ptr, false, width);
}

void appendSigned(std::string& out, int64_t v, int width) {
    // printf pads the digits and the sign together: "%02d" of -5 is "-5".
    char buf[24];
    const bool negative = v < 0;
    const uint64_t magnitude = negative ? uint64_t(0) - uint64_t(v) : uint64_t(v);
    auto r = std::to_chars(buf, buf + sizeof buf, magnitude);
    appendDigits(out, buf, r.ptr, negative, negative ? width - 1 : width);
}

void appendFixed(std::string& out, double v, int precision) {
    // The largest double in fixed notation has 309 digits before the point.
    char buf[400];
    auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, precision);
    if (r.ec != std::errc()) return;
    out.append(buf, r.ptr);
}

void appendHex2(std::string& out, uint8_t v) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    out += kDigits[v >> 4];
    out += kDigits[v & 15];
}

double radiansOf(int32_t semicircleUnits) {
    return double(semicircleUnits) * std::numbers::pi / 2147483648.0;
}

// ---- 5 Hz log ---------------------------------------------------------------------------------

const std::string_view kFastFixLogHeader =
    "Position Status, Altitude Status, Heading Status, Speed Status, Direction Switch Status, "
    "Delta-Distance Status, Delta Heading Status, Motion Status, Montion Indicator, Direction, "
    "Gyro Cal Status, Tacho Cal Status, Time Source, Snap to DR-GPS, GPS Data Age Index, Time "
    "of Week, Longitude, Latitude, Altitude, Heading, Speed, Delta Time, Delta Distance, Delta "
    "Heading, Position Accuracy, Altitude Accuracy, Heading Accuracy, Speed Accuracy, Delta "
    "Distance Accuracy, Delta Heading Accuracy, # of Gyro Samples, dirSw Value, Gyro Counts, "
    "Tacho Counts";

void appendFastFixLogLine(std::string& out, const DrDataRecord& r) {
    // Validity bits 0..7 and status bits 0..3: "%d," each.
    for (int b = 0; b < 8; ++b) {
        out += char('0' + ((r.validity_flags >> b) & 1));
        out += ',';
    }
    for (int b = 0; b < 4; ++b) {
        out += char('0' + ((r.status_flags >> b) & 1));
        out += ',';
    }
    out += char('0' + ((r.status_flags >> 4) & 3)); // time source "%d, "
    out += ", ";
    out += (r.status_flags & 0x40) ? '0' : '1'; // snapped to DR-GPS: position source clear
    out += ',';
    appendUnsigned(out, r.gps_age, 2);
    out += ", ";
    appendUnsigned(out, r.tow);
    out += ", ";
    appendFixed(out, radiansOf(r.longitude), 9);
    out += ", ";
    appendFixed(out, radiansOf(r.latitude), 9);
    out += ", ";
    appendSigned(out, r.altitude);
    out += ", ";
    appendUnsigned(out, r.heading);
    out += ", ";
    appendUnsigned(out, r.speed);
    out += ", ";
    appendUnsigned(out, r.delta_time);
    out += ", ";
    appendSigned(out, r.delta_distance);
    out += ", ";
    appendSigned(out, r.delta_heading);
    out += ", ";
    for (uint16_t v : {r.position_accuracy, r.altitude_accuracy, r.heading_accuracy,
                       r.speed_accuracy, r.delta_distance_accuracy}) {
        appendUnsigned(out, v);
        out += ", ";
    }
    appendUnsigned(out, r.delta_heading_accuracy);
    out += ", ";
    appendUnsigned(out, r.gyroSamples());
    out += ", ";
    out += r.dirSwitchHigh() ? '1' : '0';
    out += ',';
    appendUnsigned(out, r.gyro_count);
    out += ',';
    appendUnsigned(out, r.tacho_count);
}

// ---- 1 Hz log ---------------------------------------------------------------------------------

const std::string_view kFix3101Header =
    "Time Of Week, Fix Source, Altitude Hold, DGPS Status, Position Status, Altitude Status, "
    "Heading Status, Speed Status, Time Source, Latitude, Longitude, Altitude, Heading, Speed, "
    "Position Accuracy, Altitude Accuracy, Heading Accuracy, Speed Accuracy, ";
const std::string_view kTime3201Header =
    "UTC Year, UTC Month, UTC Day, UTC Hour, UTC Minute, UTC Second, UTC/GPS Offset, PDOP, "
    "HDOP, VDOP, Max DGPS Age, GPS Status, Time Source, Search Mode, Almanac Status, Number of "
    "SVs Visible, ";
const std::string_view kChannel3301Header =
    "Channel Id, Sv PRN, SV Visible, SV Has Been Tracked, SV Currently Tracking, SV Meets SNR "
    "Mask, SNR, Azimuth, Elevation, Almanac Status, Ephemeris Status, ";
const std::string_view kCalibration36Header =
    "ZRO Source, Newness, Validity, ZRO, ZRO Accuracy, Linearity Source, Newness, Validity, "
    "GyroSns, GyroSns Accuracy, DS Source, Newness, Validity, DS Sense, Confidence Speed, DPP "
    "Index, Source, Newness, Validity, DPP, DPP Accuracy, DPP Index, Source, Newness, Validity, "
    "DPP, DPP Accuracy, DPP Index, Source, Newness, Validity, DPP, DPP Accuracy, ZRO Rate "
    "Source, Newness, Validity, ZRO Rate of Change, ZRO Rate Accuracy";

std::string oneHzLogHeader(const OneHzSelection& s) {
    std::string h;
    if (s.fix3101) h += kFix3101Header;
    if (s.time3201) h += kTime3201Header;
    if (s.channels3301)
        for (int i = 0; i < OneHzLine::kChannelSlots; ++i) h += kChannel3301Header;
    if (s.calibration36) h += kCalibration36Header;
    return h;
}

namespace {

void field(std::string& out, uint64_t v, int width = 0) {
    appendUnsigned(out, v, width);
    out += ", ";
}

void fieldFixed(std::string& out, double v, int precision) {
    appendFixed(out, v, precision);
    out += ", ";
}

} // namespace

void appendFix3101Part(std::string& out, const GpsFixRecord& r) {
    field(out, r.time);
    field(out, r.fix_flags & 0x3F, 2);
    field(out, (r.fix_flags >> 6) & 1);
    field(out, (r.fix_flags >> 7) & 1);
    for (int b = 0; b < 4; ++b) field(out, (r.validity_flags >> b) & 1);
    field(out, (r.validity_flags >> 4) & 3);
    fieldFixed(out, radiansOf(r.latitude), 9);
    fieldFixed(out, radiansOf(r.longitude), 9);
    appendSigned(out, r.altitude);
    out += ", ";
    fieldFixed(out, double(r.heading) / 32768.0, 5);
    fieldFixed(out, double(r.speed), 2);
    field(out, r.position_accuracy);
    field(out, r.altitude_accuracy);
    fieldFixed(out, double(r.heading_accuracy) / 32768.0, 5);
    field(out, r.speed_accuracy);
}

void appendTime3201Part(std::string& out, const TimeConstellationRecord& r) {
    field(out, r.year, 4);
    for (uint8_t v : {r.date1, r.date2, r.hours, r.minutes, r.seconds}) field(out, v, 2);
    field(out, r.utc_offset, 3);
    for (int16_t dop : {r.pdop, r.hdop, r.vdop}) fieldFixed(out, double(dop) / 256.0, 2);
    field(out, r.max_dgps_age, 3);
    field(out, r.gps_status & 0x0F);
    field(out, (r.gps_status >> 4) & 3);
    field(out, r.search_mode & 3);
    field(out, (r.search_mode >> 7) & 1);
    field(out, r.visible_svs & 0x0F, 2);
}

void appendChannel3301Slot(std::string& out, const ChannelStatusRecord& r) {
    field(out, r.channel, 2);
    field(out, r.sv, 2);
    for (int b : {0, 2, 4, 5}) field(out, (r.status >> b) & 1);
    fieldFixed(out, double(r.snr) * 0.2, 1);
    field(out, unsigned(r.azimuth) * 2);
    appendSigned(out, r.elevation);
    out += ", ";
    field(out, r.mode & 3);
    field(out, (r.mode >> 2) & 3);
}

int calibrationSlotOf(const DrCalibrationRecord& r) {
    switch (r.subcode) {
    case 0x03:
        return 0;
    case 0x04:
        return 1;
    case 0x05:
        return 2;
    case 0x07:
        return r.dpp_index <= 2 ? 3 + r.dpp_index : -1;
    case 0x08:
        return 6;
    default:
        return -1;
    }
}

std::string_view emptyCalibrationSlot(int slot) {
    return slot >= 3 && slot <= 5 ? ",,,,,," : ",,,,,";
}

void appendCalibrationSlot(std::string& out, const DrCalibrationRecord& r) {
    if (r.subcode == 0x07) {
        appendHex2(out, r.dpp_index);
        out += ", ";
    }
    field(out, r.status & 7);
    field(out, (r.status >> 3) & 1);
    field(out, (r.status >> 4) & 1);
    if (r.subcode == 0x05) {
        field(out, (r.status >> 7) & 1);
        field(out, r.confidence_speed);
    } else {
        fieldFixed(out, double(r.value), 6);
        fieldFixed(out, double(r.accuracy), 6);
    }
}

void OneHzLine::start(const OneHzSelection& selection) {
    sel_ = selection;
    emptyParts();
}

void OneHzLine::emptyParts() {
    have3101_ = have3201_ = false;
    channelSlots_ = 0;
    for (int i = 0; i < kCalibrationSlots; ++i) calibration_[size_t(i)] = emptyCalibrationSlot(i);
}

bool OneHzLine::complete() const {
    return (!sel_.fix3101 || have3101_) && (!sel_.time3201 || have3201_) &&
           (!sel_.channels3301 || channelSlots_ == kChannelSlots);
}

bool OneHzLine::addFix(uint8_t subcode, const GpsFixRecord& r) {
    if (!sel_.fix3101 || subcode != 0x01) return false;
    fix_.clear();
    appendFix3101Part(fix_, r);
    have3101_ = true;
    return complete();
}

bool OneHzLine::addTime(const TimeConstellationRecord& r) {
    if (!sel_.time3201) return false;
    time_.clear();
    appendTime3201Part(time_, r);
    have3201_ = true;
    return complete();
}

bool OneHzLine::addChannel(uint8_t subcode, const ChannelStatusRecord& r) {
    if (!sel_.channels3301 || subcode != 0x01 || channelSlots_ >= kChannelSlots) return false;
    std::string& slot = channels_[size_t(channelSlots_++)];
    slot.clear();
    appendChannel3301Slot(slot, r);
    return complete();
}

bool OneHzLine::addCalibration(const DrCalibrationRecord& r) {
    if (!sel_.calibration36) return false;
    const int slot = calibrationSlotOf(r);
    if (slot < 0) return false;
    std::string& text = calibration_[size_t(slot)];
    text.clear();
    appendCalibrationSlot(text, r);
    return complete();
}

void OneHzLine::takeLine(std::string& out) {
    if (sel_.fix3101) out += fix_;
    if (sel_.time3201) out += time_;
    if (sel_.channels3301)
        for (int i = 0; i < channelSlots_; ++i) out += channels_[size_t(i)];
    if (sel_.calibration36)
        for (const std::string& c : calibration_) out += c;
    emptyParts();
}

} // namespace vx
