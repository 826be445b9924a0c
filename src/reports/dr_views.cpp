#include "reports/dr_views.h"

#include "console/report_texts.h"

namespace vx {

namespace {

constexpr ItemKind P = ItemKind::Panel;
constexpr ItemKind C = ItemKind::Circle;
constexpr ItemKind E = ItemKind::Edit;
// The flag circles of both windows: green when the bit is set, yellow when clear.
constexpr Tint On = Tint::Green, Off = Tint::Yellow;

constexpr ViewItem k3002Items[] = {
    {C, "positionLED", "Position"},
    {C, "altitudeLED", "Altitude"},
    {C, "headingLED", "Heading"},
    {C, "speedLED", "Speed"},
    {C, "dirSwitchLED", "Direction Switch"},
    {C, "deltaDistLED", "Delta Distance"},
    {C, "deltaHeadingLED", "Delta Heading"},
    {C, "motionLED", "Motion"},
    {C, "gyroCalLED", "Gyro Calibration"},
    {C, "tachoCalLED", "Tacho Calibration"},
    {P, "motionWin", "Motion Indicator:", nullptr, 10},
    {P, "directionWin", "Direction:", nullptr, 10},
    {P, "positionSourceWin", "Position Source:", nullptr, 14},
    {P, "ageWin", "GPS Age:", nullptr, 8},
    {P, "towWin", "TOW:", "ms", 11},
    {P, "timeSourceWin", "Source:", nullptr, 12},
    {P, "deltaTimeWin", "Delta Time:", "ms", 7},
    {P, "latWin", "Latitute:", "rad", 13},
    {P, "lonWin", "Longitude:", "rad", 13},
    {P, "altWin", "Altitude:", "meters", 7},
    {P, "headingWin", "Heading:", "sc", 8},
    {P, "speedWin", "Speed:", "cm/s", 7},
    {P, "deltaDistWin", "Delta Dist:", "cm", 7},
    {P, "deltaHdgWin", "Delta Hdg:", "cdeg", 7},
    {P, "accPosWin", "Position:", "meters", 7},
    {P, "accAltWin", "Altitude:", "meters", 7},
    {P, "accHeadingWin", "Heading:", "sc", 8},
    {P, "accSpeedWin", "Speed:", "cm/s", 7},
    {P, "accDeltaDistWin", "Delta Dist:", "cm", 7},
    {P, "accDeltaHeadingWin", "Delta Hdg:", "cdeg", 7},
    {P, "gyroCntWin", "Gyro Counts:", nullptr, 11},
    {P, "tachoCntWin", "Tacho Counts:", nullptr, 7},
    {P, "gyroNoWin", "# GyroSamples:", nullptr, 5},
    {P, "dirSwitchValWin", "Dir Switch Val:", nullptr, 5},
};
constexpr ViewBox k3002Boxes[] = {
    {.caption = "Status",
     .objectName = nullptr,
     .first = pkt3002::positionLED,
     .count = 14,
     .row = 0,
     .column = 0,
     .rowSpan = 2,
     .columnSpan = 1,
     .columns = 1},
    {.caption = "Time",
     .objectName = nullptr,
     .first = pkt3002::towWin,
     .count = 3,
     .row = 0,
     .column = 1},
    {.caption = "Position",
     .objectName = nullptr,
     .first = pkt3002::latWin,
     .count = 7,
     .row = 1,
     .column = 1},
    {.caption = "Accuracy",
     .objectName = nullptr,
     .first = pkt3002::accPosWin,
     .count = 6,
     .row = 0,
     .column = 2},
    {.caption = "Raw DR",
     .objectName = nullptr,
     .first = pkt3002::gyroCntWin,
     .count = 4,
     .row = 1,
     .column = 2},
};
constexpr QueryFrame k3002Frames[] = {{0x30, 0x02}};
constexpr ViewAnswer k3002Answers[] = {{0x30, 0x02, 0x02}};
constexpr ViewQuery k3002Queries[] = {{.button = "queryButton",
                                       .led = "queryLED",
                                       .frames = k3002Frames,
                                       .answers = k3002Answers,
                                       .expiryKeeps = true,
                                       .ackEnds = true}};
const ViewSpec k3002{WindowId::Tpkt3002Form, k3002Items, k3002Boxes, k3002Queries};

constexpr ViewItem k3003Items[] = {
    {P, "timeSourceWin", "Time Src:", nullptr, 12},
    {P, "timeTagWin", "Time Tag:", "ms", 7},
    {P, "currLatWin", "Latitude:", "rad", 13},
    {P, "currLonWin", "Longitude:", "rad", 13},
    {P, "currHdgWin", "Heading:", "sc", 9},
    {P, "posAccyWin", "Position:", "m", 7},
    {P, "dDistAccyWin", "Distance:", "cm", 7},
    {P, "hdgAccyWin", "Heading:", "sc", 9},
    {P, "dHdgAccyWin", "Delta Heading:", "cdeg", 7},
    {E, "deltaDistArrayWin", "Delta Distance:", "cm", 70},
    {E, "deltaHdgArrayWin", "Delta Heading:", "cdeg", 70},
    {C, "posStatus", "Current Position"},
    {C, "hdgStatus", "Current  Heading"},
    {C, "dDistStatus", "Delta Distance"},
    {C, "dHdgStatus", "Delta Heading"},
    {C, "AllDataStatus", "All Data"},
    {C, "RollingStartStatus", "Rolling Start"},
};
constexpr ViewBox k3003Boxes[] = {
    {.caption = "Current Values",
     .objectName = nullptr,
     .first = pkt3003::timeSourceWin,
     .count = 5},
    {.caption = "Accuracy",
     .objectName = nullptr,
     .first = pkt3003::posAccyWin,
     .count = 4,
     .row = 0,
     .column = 1},
    {.caption = "Validity",
     .objectName = nullptr,
     .first = pkt3003::posStatus,
     .count = 6,
     .row = 0,
     .column = 2},
    {.caption = "Buffered Data (0-20)",
     .objectName = nullptr,
     .first = pkt3003::deltaDistArrayWin,
     .count = 2,
     .row = 1,
     .column = 0,
     .rowSpan = 1,
     .columnSpan = 3},
};
constexpr QueryFrame k3003Frames[] = {{0x30, 0x03}};
constexpr ViewAnswer k3003Answers[] = {{0x30, 0x03, 0x03}};
// No acknowledgement reaches the window: only the time-out marks a failure.
constexpr ViewQuery k3003Queries[] = {
    {.button = "queryButton", .led = "queryLED", .frames = k3003Frames, .answers = k3003Answers}};
const ViewSpec k3003{WindowId::TpktBufferedDr, k3003Items, k3003Boxes, k3003Queries};

} // namespace

std::string gpsAgeText(uint8_t age) {
    if (age == 254) return "> 253";
    if (age == 255) return "GPS N/A";
    return formatText("%u", unsigned(age));
}

std::string sampleListText(const int16_t (&samples)[kBufferedDrSamples]) {
    std::string s;
    s.reserve(kBufferedDrSamples * 8);
    for (int16_t v : samples) {
        s += std::to_string(v);
        s += ", ";
    }
    return s;
}

const ViewSpec& pkt3002Spec() {
    return k3002;
}

void showDrData(const DrDataRecord& r, ViewUpdates& u) {
    using namespace pkt3002;
    const uint8_t v = r.validity_flags;
    for (int bit = 0; bit < 8; ++bit) u.flag(uint16_t(positionLED + bit), v & (1u << bit), On, Off);
    const uint8_t s = r.status_flags;
    u.text(motionWin, (s & 0x01) ? "Motion" : "No Motion");
    u.text(directionWin, (s & 0x02) ? "Backward" : "Forward");
    u.flag(gyroCalLED, s & 0x04, On, Off);
    u.flag(tachoCalLED, s & 0x08, On, Off);
    u.text(timeSourceWin, timeSourceText((s >> 4) & 3));
    u.text(positionSourceWin, (s & 0x40) ? "Jump" : "DR-Propagated");
    u.text(ageWin, gpsAgeText(r.gps_age));
    u.format(towWin, "%u", unsigned(r.tow));
    u.text(latWin, radiansText(r.latitude));
    u.text(lonWin, radiansText(r.longitude));
    u.format(altWin, "%d", int(r.altitude));
    u.text(headingWin, semicircleText(r.heading));
    u.format(speedWin, "%u", unsigned(r.speed));
    u.format(deltaTimeWin, "%u", unsigned(r.delta_time));
    u.format(deltaDistWin, "%d", int(r.delta_distance));
    u.format(deltaHdgWin, "%d", int(r.delta_heading));
    u.format(accPosWin, "%u", unsigned(r.position_accuracy));
    u.format(accAltWin, "%u", unsigned(r.altitude_accuracy));
    u.text(accHeadingWin, semicircleText(r.heading_accuracy));
    u.format(accSpeedWin, "%u", unsigned(r.speed_accuracy));
    u.format(accDeltaDistWin, "%u", unsigned(r.delta_distance_accuracy));
    u.format(accDeltaHeadingWin, "%u", unsigned(r.delta_heading_accuracy));
    u.format(gyroNoWin, "%u", unsigned(r.gyroSamples()));
    u.text(dirSwitchValWin, r.dirSwitchHigh() ? "High" : "Low");
    u.format(gyroCntWin, "%u", unsigned(r.gyro_count));
    u.format(tachoCntWin, "%u", unsigned(r.tacho_count));
}

const ViewSpec& bufferedDrSpec() {
    return k3003;
}

void showBufferedDr(const BufferedDrRecord& r, ViewUpdates& u) {
    using namespace pkt3003;
    for (int bit = 0; bit < 6; ++bit)
        u.flag(uint16_t(posStatus + bit), r.flags & (1u << bit), On, Off);
    u.text(timeSourceWin, timeSourceText((r.flags >> 6) & 3));
    u.format(timeTagWin, "%u", unsigned(r.time_tag));
    u.text(currLatWin, radiansText(r.latitude));
    u.text(currLonWin, radiansText(r.longitude));
    u.format(currHdgWin, "%.6f", double(r.heading) / 32768.0);
    u.format(hdgAccyWin, "%.6f", double(r.heading_accuracy) / 32768.0);
    u.format(posAccyWin, "%u", unsigned(r.position_accuracy));
    u.format(dDistAccyWin, "%u", unsigned(r.delta_distance_accuracy));
    u.format(dHdgAccyWin, "%u", unsigned(r.delta_heading_accuracy));
    u.text(deltaDistArrayWin, sampleListText(r.delta_distance));
    u.text(deltaHdgArrayWin, sampleListText(r.delta_heading));
}

} // namespace vx
