// The texts and colours of the main window's live status display, computed from the decoded
// reports. No Qt: the main window puts these texts into its panels and paints its lamps with
// these shades; the tests check them directly.
#pragma once

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

// A latitude or longitude in radians (true pi, link/angles.h), "%.9f": 2^30 shows
// "1.570796327".
std::string radiansText(int32_t value);
// A heading or heading accuracy in semicircles (units of 2^-15), "%.5f".
std::string semicircleText(uint16_t value);
// Time source bits (0..3): "System Clock", "RTC", "GPS (<10ms)", "GPS (<1ms)".
std::string timeSourceText(unsigned bits);

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
// 3201 payload byte 16: bits 0-1 "None", "Blind", "Anywhere" or empty; bit 7 "Complete" or
// "Not Complete".
std::string searchModeText(uint8_t searchByte);
std::string almanacStatusText(uint8_t searchByte);

// 3301: the four panels of one satellite row.
struct ChannelRowView {
    std::string sv, snr, elevation, azimuth;
    Shade svShade, elevationShade; // the SNR and azimuth panels are always white
};
ChannelRowView channelRowView(const ChannelStatusRecord& r);

// Rows 9 to 12 of a receiver that reports only channels 0 to 7 would keep whatever an earlier
// receiver left there; they are blanked after every 41 reports for rows 1 to 8 in a row.
class ChannelRowBlanking {
public:
    static constexpr int kRows = 12;
    static constexpr uint32_t kLimit = 40; // blank when the count goes above this

    // Counts one report for the given channel (row index). Returns true when rows 9 to 12 are
    // to be blanked now. A channel above 11 changes nothing.
    bool note(uint8_t channel);
    uint32_t count() const { return count_; }

private:
    uint32_t count_ = 0;
};

} // namespace vx
