#include "reports/constellation_views.h"

namespace vx {

namespace {

constexpr ItemKind P = ItemKind::Panel;

double dop(int16_t v) {
    return double(v) / 256.0;
}

} // namespace

std::string gpsStatusText(uint8_t statusByte) {
    static const char* const kTexts[16] = {"Doing fixes",
                                           "",
                                           "Need time",
                                           "PDOP too high",
                                           "",
                                           "No usable SV's",
                                           "One Usable SV",
                                           "Two usable SV's",
                                           "Three usable SV's",
                                           "",
                                           "",
                                           "",
                                           "",
                                           "",
                                           "",
                                           ""};
    return kTexts[statusByte & 0x0F];
}

std::string summaryTimeSourceText(uint8_t statusByte) {
    static const char* const kTexts[4] = {"System Clock", "RTC", "GPS (< 10ms)", "GPS (< 1 ms)"};
    return kTexts[(statusByte >> 4) & 3];
}

std::string dimensionText(uint8_t dimension) {
    return dimension == 2 ? "Altitude-hold" : dimension == 3 ? "Full Position" : "";
}

std::string channelAlmanacText(uint8_t mode) {
    static const char* const kTexts[4] = {"None", "Old", "", "Current"};
    return kTexts[mode & 3];
}

std::string channelEphemerisText(uint8_t mode) {
    static const char* const kTexts[4] = {"None", "Old", "Decoded", "Verified"};
    return kTexts[(mode >> 2) & 3];
}

// ---- Tpkt32Form -------------------------------------------------------------------------------

namespace {

constexpr ViewItem kPkt32Items[] = {
    {P, "utcDateWin", "Date:"},
    {P, "utcTimeWin", "Time:"},
    {P, "offsetWin", "UTC offset:", nullptr, 5},
    {P, "timeSrcWin", "Time Src.:", nullptr, 12},
    {P, "pdopWin", "PDOP:", nullptr, 7},
    {P, "hdopWin", "HDOP:", nullptr, 7},
    {P, "vdopWin", "VDOP:", nullptr, 7},
    {P, "ageWin", "Max DGPS age:", "s", 5},
    {P, "svWin", "Visible SVs:", nullptr, 5},
    {P, "almStatusWin", "Alm. Status:", nullptr, 12},
    {P, "searchModeWin", "Search Mode:", nullptr, 12},
    {P, "ststusWin", "GPS Status:", nullptr, 16},
};
constexpr ViewBox kPkt32Boxes[] = {
    {.caption = "UTC", .objectName = nullptr, .first = pkt32::utcDateWin, .count = 4},
    {.caption = "DOPs",
     .objectName = nullptr,
     .first = pkt32::pdopWin,
     .count = 3,
     .row = 0,
     .column = 1},
    {.caption = "GPS",
     .objectName = nullptr,
     .first = pkt32::ageWin,
     .count = 5,
     .row = 1,
     .column = 0,
     .rowSpan = 1,
     .columnSpan = 2,
     .columns = 2},
};
constexpr QueryFrame kPkt32Frames[] = {{0x32, 0x01}};
constexpr ViewAnswer kPkt32Answers[] = {{0x32, 0x01, 0x01}};
constexpr ViewQuery kPkt32Queries[] = {{.button = "queryButon",
                                        .led = "queryLED",
                                        .frames = kPkt32Frames,
                                        .answers = kPkt32Answers,
                                        .ackEnds = true}};
const ViewSpec kPkt32{WindowId::Tpkt32Form, kPkt32Items, kPkt32Boxes, kPkt32Queries};

} // namespace

const ViewSpec& pkt32Spec() {
    return kPkt32;
}

void showTimeConstellation(const TimeConstellationRecord& r, ViewUpdates& u) {
    using namespace pkt32;
    u.format(utcDateWin, "%02d/%02d/%04d", r.date1, r.date2, r.year);
    u.format(utcTimeWin, "%02d:%02d:%02d", r.hours, r.minutes, r.seconds);
    u.format(offsetWin, "%03d", r.utc_offset);
    u.format(pdopWin, "%.2f", dop(r.pdop));
    u.format(hdopWin, "%.2f", dop(r.hdop));
    u.format(vdopWin, "%.2f", dop(r.vdop));
    u.format(ageWin, "%03u", unsigned(r.max_dgps_age));
    u.text(ststusWin, gpsStatusText(r.gps_status));
    u.text(timeSrcWin, summaryTimeSourceText(r.gps_status));
    u.text(searchModeWin, searchModeText(r.search_mode));
    u.text(almStatusWin, almanacStatusText(r.search_mode));
    u.format(svWin, "%03u", unsigned(r.visible_svs & 0x0F));
}

// ---- Tpkt3202_3203Form ------------------------------------------------------------------------

namespace {

constexpr ViewItem kPkt3202Items[] = {
    {P, "ststusWin", "GPS Status:", nullptr, 16},
    {P, "timeSrcWin02", "Time Src.:", nullptr, 12},
    {P, "almStatusWin", "Alm. Status:", nullptr, 12},
    {P, "svWin", "Visible SVs:", nullptr, 5},
    {P, "searchModeWin", "Search Mode:", nullptr, 12},
    {P, "towWin02", "TOW:", "ms", 11},
    {P, "dimensionWin", "Dimension:", nullptr, 12},
    {P, "pdopWin", "PDOP:", nullptr, 7},
    {P, "hdopWin", "HDOP:", nullptr, 7},
    {P, "vdopWin", "VDOP:", nullptr, 7},
    {P, "ageWin", "Max DGPS age:", "s", 5},
    {P, "utcDateWin", "Date:"},
    {P, "utcTimeWin", "Time:"},
    {P, "offsetWin", "UTC offset:", nullptr, 5},
    {P, "timeSrcWin03", "Time Src.:", nullptr, 12},
    {P, "towWin03", "TOW:", nullptr, 11},
    {P, "weekNumWin", "Week No..:", nullptr, 6},
};
constexpr ViewBox kPkt3202Boxes[] = {
    {.caption = "0x32-02", .objectName = nullptr, .first = pkt3202::ststusWin, .count = 11},
    {.caption = "0x32-03",
     .objectName = nullptr,
     .first = pkt3202::utcDateWin,
     .count = 6,
     .row = 0,
     .column = 1},
};
constexpr QueryFrame kPkt3202Frames[] = {{0x32, 0x02}};
constexpr QueryFrame kPkt3203Frames[] = {{0x32, 0x03}};
constexpr ViewAnswer kPkt3202Answers[] = {{0x32, 0x02, 0x02}};
constexpr ViewAnswer kPkt3203Answers[] = {{0x32, 0x03, 0x03}};
// A positive acknowledgement leaves the query pending: only the report ends it.
constexpr ViewQuery kPkt3202Queries[] = {
    {.button = "queryButon02",
     .led = "queryLED02",
     .frames = kPkt3202Frames,
     .answers = kPkt3202Answers,
     .box = 0},
    {.button = "queryButon03",
     .led = "queryLED03",
     .frames = kPkt3203Frames,
     .answers = kPkt3203Answers,
     .box = 1},
};
const ViewSpec kPkt3202{WindowId::Tpkt3202_3203Form, kPkt3202Items, kPkt3202Boxes, kPkt3202Queries};

} // namespace

const ViewSpec& pkt3202_3203Spec() {
    return kPkt3202;
}

void showConstellationSummary(const ConstellationSummaryRecord& r, ViewUpdates& u) {
    using namespace pkt3202;
    u.text(ststusWin, gpsStatusText(r.gps_status));
    u.text(timeSrcWin02, summaryTimeSourceText(r.gps_status));
    u.text(almStatusWin, almanacStatusText(r.gps_status));
    u.format(svWin, "%03u", unsigned(r.visible_svs & 0x0F));
    u.text(searchModeWin, searchModeText(uint8_t((r.visible_svs >> 4) & 3)));
    u.format(towWin02, "%u", unsigned(r.tow));
    u.text(dimensionWin, dimensionText(r.dimension));
    u.format(pdopWin, "%.2f", dop(r.pdop));
    u.format(hdopWin, "%.2f", dop(r.hdop));
    u.format(vdopWin, "%.2f", dop(r.vdop));
    u.format(ageWin, "%03u", unsigned(r.max_dgps_age));
}

void showTimeSummary(const TimeSummaryRecord& r, ViewUpdates& u) {
    using namespace pkt3202;
    u.format(utcDateWin, "%02d/%02d/%04d", r.date1, r.date2, r.year);
    u.format(utcTimeWin, "%02d:%02d:%02d", r.hours, r.minutes, r.seconds);
    u.format(offsetWin, "%03d", r.utc_offset);
    u.text(timeSrcWin03, summaryTimeSourceText(r.time_status));
    u.format(towWin03, "%u", unsigned(r.tow));
    u.format(weekNumWin, "%d", r.week_number);
}

// ---- Tpkt33Form -------------------------------------------------------------------------------

namespace {

constexpr ItemKind C = ItemKind::Circle;
constexpr ViewColumn kPkt33Columns[] = {
    {P, "svWin", "SV", 3},       {P, "sigWin", "SNR", 5},     {P, "elveWin", "Elev", 4},
    {P, "aziWin", "Azi", 4},     {C, "visStatus", "Visible"}, {C, "tdStatus", "Tracked"},
    {C, "tkStatus", "Tracking"}, {C, "snrStatus", "SNR"},     {P, "almWin", "Alm", 8},
    {P, "ephWin", "Ephem", 8},
};
static_assert(std::size(kPkt33Columns) == pkt33::kColumns);
constexpr ViewTable kPkt33Table{"Channel Status", nullptr, pkt33::kRows, kPkt33Columns};
constexpr QueryFrame kPkt33Frames[] = {
    {0x33, 0x01, 0}, {0x33, 0x01, 1}, {0x33, 0x01, 2},  {0x33, 0x01, 3},
    {0x33, 0x01, 4}, {0x33, 0x01, 5}, {0x33, 0x01, 6},  {0x33, 0x01, 7},
    {0x33, 0x01, 8}, {0x33, 0x01, 9}, {0x33, 0x01, 10}, {0x33, 0x01, 11},
};
// Any channel report answers the query; the LED turns red at the time-out and the query stays
// open until the next report.
constexpr ViewAnswer kPkt33Answers[] = {{0x33, 0x00, 0xFF}};
constexpr ViewQuery kPkt33Queries[] = {{.button = "queryButton",
                                        .led = "queryLED",
                                        .frames = kPkt33Frames,
                                        .answers = kPkt33Answers,
                                        .expiryKeeps = true,
                                        .ackEnds = true}};
const ViewSpec kPkt33{WindowId::Tpkt33Form, {}, {}, kPkt33Queries, &kPkt33Table};

} // namespace

const ViewSpec& pkt33Spec() {
    return kPkt33;
}

void ChannelStatusView::show(const ChannelStatusRecord& r, ViewUpdates& u) {
    using namespace pkt33;
    if (r.channel >= kRows) return;
    const bool blankTail = blanking_.note(r.channel);
    const int row = r.channel;
    const ViewSpec& s = kPkt33;
    u.format(s.cell(row, svWin), "%02d", r.sv);
    u.format(s.cell(row, sigWin), "%.1f", double(r.snr) * 0.2);
    u.format(s.cell(row, elveWin), "%3d", int(r.elevation));
    u.format(s.cell(row, aziWin), "%3d", int(r.azimuth) * 2);
    u.text(s.cell(row, almWin), channelAlmanacText(r.mode));
    u.text(s.cell(row, ephWin), channelEphemerisText(r.mode));
    u.flag(s.cell(row, visStatus), r.status & 0x01);
    u.flag(s.cell(row, tdStatus), r.status & 0x04);
    u.flag(s.cell(row, tkStatus), r.status & 0x10);
    u.flag(s.cell(row, snrStatus), r.status & 0x20);
    if (!blankTail) return;
    for (int blank = 8; blank < kRows; ++blank) {
        for (int c = 0; c < kColumns; ++c) {
            const uint16_t slot = s.cell(blank, c);
            if (s.slotKind(slot) == ItemKind::Circle)
                u.tint(slot, Tint::Grey);
            else
                u.blank(slot);
        }
    }
}

} // namespace vx
