// The texts and colours of the main window's live status display, computed from the decoded
// reports. No Qt: the main window puts these texts into its panels and paints its lamps with
// these shades; the tests check them directly.
#pragma once

#include "console/report_texts.h"
#include "link/records.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace vx {

// The colours of the status panels and lamps.
enum class Shade : uint8_t {
    White,  // idle, blanked, flag clear for the satellite rows
    Lime,   // set, valid, tracking with ephemeris
    Yellow, // flag clear (status lamps), tracking without ephemeris
    Face,   // the button-face colour: an empty satellite row
};

// 1201: "%02x:Valid BBRAM : " or "%02x:InValid BBRAM : " (bit 0), then "SelfTest Failed" or
// "SelfTest Passed" (bit 1).
std::string startupStatusText(uint8_t status);

// 1401 antenna events: the antenna state (0 normal, 1 open, 2 short) after an event word.
// 0x1070 / 0x2070 open, 0x1071 / 0x2071 short, 0x3070 / 0x3071 normal; any other word leaves
// the state as it was.
int antennaStateAfter(int state, uint16_t eventWord);
// "Antenna Normal", "Antenna Open", "Antenna Short".
std::string antennaText(int state);

// 1401: the "Last Event Log" line "%02d/%02d/%04d %02d:%02d:%02d %s", or nothing when the
// event word's low byte is 0. An event missing from the soft event table shows
// "Unknown Event.".
std::optional<std::string> eventLogLine(const SoftEventRecord& r);

// "Running Time: %02d:%02d:%02d  " (two trailing blanks).
std::string runningTimeText(int32_t seconds);

// 3002: every panel text and lamp of the fast fix display.
struct FastFixView {
    std::string time, latitude, longitude, altitude, heading, speed, deltaTime;
    std::string accPosition, accAltitude, accHeading, accSpeed;
    std::string timeSource;
    std::string gyroCount, tachoCount, gyroSamples, dirSwitchValue;
    // The twelve status lamps.
    Shade position, altitudeLamp, headingLamp, speedLamp, dirSwitch, deltaDist, deltaHeading,
        motion, motionIndicator, direction, gyroCal, tachoCal;
};
FastFixView fastFixView(const DrDataRecord& r);

// 3201: date, time, UTC offset and DOPs.
struct TimeSummaryView {
    std::string date, time, offset, pdop, hdop, vdop;
};
TimeSummaryView timeSummaryView(const TimeConstellationRecord& r);

// 3301: the four panels of one satellite row.
struct ChannelRowView {
    std::string sv, snr, elevation, azimuth;
    Shade svShade, elevationShade; // the SNR and azimuth panels are always white
};
ChannelRowView channelRowView(const ChannelStatusRecord& r);

} // namespace vx
