#include "app/status_texts.h"

#include "link/angles.h"
#include "link/event_texts.h"

#include <cstdarg>
#include <cstdio>

namespace vx {

namespace {

std::string format(const char* fmt, ...) {
    char buf[160];
    va_list ap;
    va_start(ap, fmt);
    int n = std::vsnprintf(buf, sizeof buf, fmt, ap);
    va_end(ap);
    if (n < 0) return {};
    return std::string(buf, size_t(n) < sizeof buf ? size_t(n) : sizeof buf - 1);
}

Shade limeWhen(bool set) {
    return set ? Shade::Lime : Shade::Yellow;
}

} // namespace

std::string startupStatusText(uint8_t status) {
    std::string text =
        format((status & 0x01) ? "%02x:Valid BBRAM : " : "%02x:InValid BBRAM : ", unsigned(status));
    text += (status & 0x02) ? "SelfTest Failed" : "SelfTest Passed";
    return text;
}

int antennaStateAfter(int state, uint16_t eventWord) {
    switch (eventWord) {
    case 0x1070:
    case 0x2070:
        return 1;
    case 0x1071:
    case 0x2071:
        return 2;
    case 0x3070:
    case 0x3071:
        return 0;
    default:
        return state;
    }
}

std::string antennaText(int state) {
    switch (state) {
    case 1:
        return "Antenna Open";
    case 2:
        return "Antenna Short";
    default:
        return "Antenna Normal";
    }
}

std::optional<std::string> eventLogLine(const SoftEventRecord& r) {
    uint8_t code = uint8_t(r.event_code & 0xFF);
    if (code == 0) return std::nullopt;
    std::string name(softEventText(code).value_or("Unknown Event."));
    std::string line = format("%02d/%02d/%04d %02d:%02d:%02d ", int(r.date1), int(r.date2),
                              int(r.year), int(r.hour), int(r.minute), int(r.second));
    return line + name;
}

std::string runningTimeText(int32_t seconds) {
    return format("Running Time: %02d:%02d:%02d  ", int(seconds / 3600), int((seconds / 60) % 60),
                  int(seconds % 60));
}

FastFixView fastFixView(const DrDataRecord& r) {
    FastFixView v;
    v.time = format("%d", int(int32_t(r.tow)));
    v.latitude = radiansText(r.latitude);
    v.longitude = radiansText(r.longitude);
    v.altitude = format("%d", int(r.altitude));
    v.heading = semicircleText(r.heading);
    v.speed = format("%u", unsigned(r.speed));
    v.deltaTime = format("%d", int(r.delta_time));
    v.accPosition = format("%d", int(r.position_accuracy));
    v.accAltitude = format("%d", int(r.altitude_accuracy));
    v.accHeading = semicircleText(r.heading_accuracy);
    v.accSpeed = format("%u", unsigned(r.speed_accuracy));
    v.timeSource = timeSourceText((r.status_flags >> 4) & 3);
    v.gyroCount = format("%u", unsigned(r.gyro_count));
    v.tachoCount = format("%u", unsigned(r.tacho_count));
    v.gyroSamples = format("%02d", int(r.gyroSamples()));
    v.dirSwitchValue = format("%02d", r.dirSwitchHigh() ? 1 : 0);

    const uint8_t val = r.validity_flags;
    v.position = limeWhen(val & 0x01);
    v.altitudeLamp = limeWhen(val & 0x02);
    v.headingLamp = limeWhen(val & 0x04);
    v.speedLamp = limeWhen(val & 0x08);
    v.dirSwitch = limeWhen(val & 0x10);
    v.deltaDist = limeWhen(val & 0x20);
    v.deltaHeading = limeWhen(val & 0x40);
    v.motion = limeWhen(val & 0x80);
    const uint8_t st = r.status_flags;
    v.motionIndicator = limeWhen(st & 0x01);
    // Direction (forward): the bit is set when moving backwards.
    v.direction = (st & 0x02) ? Shade::Yellow : Shade::Lime;
    v.gyroCal = limeWhen(st & 0x04);
    v.tachoCal = limeWhen(st & 0x08);
    return v;
}

TimeSummaryView timeSummaryView(const TimeConstellationRecord& r) {
    TimeSummaryView v;
    v.date = format("%02d/%02d/%04d", int(r.date1), int(r.date2), int(r.year));
    v.time = format("%02d:%02d:%02d", int(r.hours), int(r.minutes), int(r.seconds));
    v.offset = format("%03d", int(r.utc_offset));
    v.pdop = format("%.2f", double(r.pdop) / 256.0);
    v.hdop = format("%.2f", double(r.hdop) / 256.0);
    v.vdop = format("%.2f", double(r.vdop) / 256.0);
    return v;
}

ChannelRowView channelRowView(const ChannelStatusRecord& r) {
    ChannelRowView v;
    v.sv = format("%2d", int(r.sv));
    const bool tracking = (r.status & 0x10) != 0;
    const int ephemeris = (r.mode >> 2) & 3;
    v.svShade = !tracking ? Shade::White : (ephemeris >= 2 ? Shade::Lime : Shade::Yellow);
    v.snr = format("%.1f", double(r.snr) * 0.2);
    v.elevation = format("%3d", int(r.elevation));
    v.elevationShade = (r.status & 0x01) ? Shade::Lime : Shade::White;
    v.azimuth = format("%2d", int(r.azimuth) * 2);
    return v;
}

} // namespace vx
