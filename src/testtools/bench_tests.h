// The timed sensor bench tests: each starts a self-test inside the receiver for a number of
// seconds (Set 2F02, 2F04, 2F06 with the seconds; 0 stops it) and shows the result report
// (3F02, 3F04, 3F06) it sends at the end. One spec per test: its control subcode, its time
// range and texts, and the report group as a viewer spec with its view function. Qt-free.
#pragma once

#include "console/report_view.h"
#include "link/records.h"

#include <optional>
#include <string_view>

namespace vx {

struct BenchTestSpec {
    const ViewSpec& view;       // the report group (read-only boxes and circles); no queries
    uint8_t subcode;            // of Set 2Fxx and of the report 3Fxx
    uint16_t maxSeconds;        // 1..maxSeconds
    const char* controlCaption; // the time interval group box
    const char* rangeMessage;   // "Time Interval out of Range (1-60 Seconds)"
    const char* completeText;   // the status when the report came
};

const BenchTestSpec& dataCollectionTest(); // 3F02
const BenchTestSpec& gyroBenchTest();      // 3F04
const BenchTestSpec& tachoReverseTest();   // 3F06

// The seconds typed into the time interval box: a whole unsigned decimal number (blanks
// around it allowed) from 1 to max; nothing otherwise.
std::optional<uint16_t> readTestInterval(std::string_view text, uint16_t max);

namespace pkt3F02 {
enum Slot : uint16_t {
    pulsesCountedWin,
    maxSpeedWin,
    totalDistanceWin,
    maxSvsWin,
    maxSnrWin,
    dirSwF2RWin,
    dirSwR2FWin,
    initialHdgWin,
    finalHdgWin,
    testDurationWin,
    gpsFix2DStatus,
    gpsFix3DStatus,
    gpsCalDrStatus,
    almCompleteStatus,
    gpsStatus,
};
}
namespace pkt3F04 {
enum Slot : uint16_t { adcCountsWin, samplesAtRestWin, testDurationWin };
}
namespace pkt3F06 {
enum Slot : uint16_t {
    tachoCountsWin,
    tachoSamplesWin,
    dirSwChangesWin,
    dirSwSamplesWin,
    testDurationWin
};
}

void showDataCollectionTest(const DataCollectionTestRecord& r, ViewUpdates& u);
void showGyroBenchTest(const GyroBenchTestRecord& r, ViewUpdates& u);
void showTachoReverseTest(const TachoReverseTestRecord& r, ViewUpdates& u);

} // namespace vx
