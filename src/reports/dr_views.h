// "Fast Fix with Raw DR Data (3002)" and "Buffered Cumulative DR Data (3003)": their specs and
// view functions. No Qt.
#pragma once

#include "console/report_view.h"
#include "link/records.h"

#include <cstdint>
#include <string>

namespace vx {

// 3002 GPS age: 254 "> 253", 255 "GPS N/A", else the age "%u".
std::string gpsAgeText(uint8_t age);
// 3003: the twenty samples, each "%d, " (so the text ends with ", ").
std::string sampleListText(const int16_t (&samples)[kBufferedDrSamples]);

namespace pkt3002 {
enum Slot : uint16_t {
    positionLED,
    altitudeLED,
    headingLED,
    speedLED,
    dirSwitchLED,
    deltaDistLED,
    deltaHeadingLED,
    motionLED,
    gyroCalLED,
    tachoCalLED,
    motionWin,
    directionWin,
    positionSourceWin,
    ageWin,
    towWin,
    timeSourceWin,
    deltaTimeWin,
    latWin,
    lonWin,
    altWin,
    headingWin,
    speedWin,
    deltaDistWin,
    deltaHdgWin,
    accPosWin,
    accAltWin,
    accHeadingWin,
    accSpeedWin,
    accDeltaDistWin,
    accDeltaHeadingWin,
    gyroCntWin,
    tachoCntWin,
    gyroNoWin,
    dirSwitchValWin,
};
} // namespace pkt3002
const ViewSpec& pkt3002Spec();
void showDrData(const DrDataRecord& r, ViewUpdates& u);

namespace pkt3003 {
enum Slot : uint16_t {
    timeSourceWin,
    timeTagWin,
    currLatWin,
    currLonWin,
    currHdgWin,
    posAccyWin,
    dDistAccyWin,
    hdgAccyWin,
    dHdgAccyWin,
    deltaDistArrayWin,
    deltaHdgArrayWin,
    posStatus,
    hdgStatus,
    dDistStatus,
    dHdgStatus,
    AllDataStatus,
    RollingStartStatus,
};
} // namespace pkt3003
const ViewSpec& bufferedDrSpec();
void showBufferedDr(const BufferedDrRecord& r, ViewUpdates& u);

} // namespace vx
