// The constellation, time and channel status viewers: "Time and Const. Summary (3201)",
// "Constellation/Time Summaries (3202, 3203)" and "GPS Channel Status (3301)". Their specs and
// view functions (record -> texts and colours); no Qt.
#pragma once

#include "console/report_texts.h"
#include "console/report_view.h"
#include "link/records.h"

#include <cstdint>
#include <string>

namespace vx {

// GPS status (bits 0-3): 0 "Doing fixes", 2 "Need time", 3 "PDOP too high", 5 "No usable SV's",
// 6 "One Usable SV", 7 "Two usable SV's", 8 "Three usable SV's"; 1, 4 and 9..15 empty.
std::string gpsStatusText(uint8_t statusByte);
// Time source (bits 4-5) as these windows spell it: "System Clock", "RTC", "GPS (< 10ms)",
// "GPS (< 1 ms)".
std::string summaryTimeSourceText(uint8_t statusByte);
// 3202 dimension: 2 "Altitude-hold", 3 "Full Position", anything else empty.
std::string dimensionText(uint8_t dimension);
// 3301 mode byte: almanac state (bits 0-1) "None", "Old", "", "Current"; ephemeris state
// (bits 2-3) "None", "Old", "Decoded", "Verified".
std::string channelAlmanacText(uint8_t mode);
std::string channelEphemerisText(uint8_t mode);

// ---- Tpkt32Form -------------------------------------------------------------------------------

namespace pkt32 {
enum Slot : uint16_t {
    utcDateWin,
    utcTimeWin,
    offsetWin,
    timeSrcWin,
    pdopWin,
    hdopWin,
    vdopWin,
    ageWin,
    svWin,
    almStatusWin,
    searchModeWin,
    ststusWin,
};
} // namespace pkt32
const ViewSpec& pkt32Spec();
void showTimeConstellation(const TimeConstellationRecord& r, ViewUpdates& u);

// ---- Tpkt3202_3203Form ------------------------------------------------------------------------

namespace pkt3202 {
enum Slot : uint16_t {
    ststusWin,
    timeSrcWin02,
    almStatusWin,
    svWin,
    searchModeWin,
    towWin02,
    dimensionWin,
    pdopWin,
    hdopWin,
    vdopWin,
    ageWin,
    utcDateWin,
    utcTimeWin,
    offsetWin,
    timeSrcWin03,
    towWin03,
    weekNumWin,
};
inline constexpr int kGroup02 = 0, kGroup03 = 1;
} // namespace pkt3202
const ViewSpec& pkt3202_3203Spec();
void showConstellationSummary(const ConstellationSummaryRecord& r, ViewUpdates& u);
void showTimeSummary(const TimeSummaryRecord& r, ViewUpdates& u);

// ---- Tpkt33Form -------------------------------------------------------------------------------

namespace pkt33 {
// The columns of the channel table, in order.
enum Column : int {
    svWin,
    sigWin,
    elveWin,
    aziWin,
    visStatus,
    tdStatus,
    tkStatus,
    snrStatus,
    almWin,
    ephWin,
    kColumns,
};
inline constexpr int kRows = 12;
} // namespace pkt33
const ViewSpec& pkt33Spec();

// The channel rows of one window: each report fills the row of its channel; the window's own
// count blanks rows 9 to 12 after 41 reports in a row for channels 0 to 7.
class ChannelStatusView {
public:
    // The updates of one report: nothing for a channel above 11.
    void show(const ChannelStatusRecord& r, ViewUpdates& u);
    uint32_t staleCount() const { return blanking_.count(); }

private:
    ChannelRowBlanking blanking_;
};

} // namespace vx
