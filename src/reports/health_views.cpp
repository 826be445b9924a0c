#include "reports/health_views.h"

#include "link/event_texts.h"

namespace vx {

namespace {

constexpr ItemKind P = ItemKind::Panel;

const char* abnormal(bool set) {
    return set ? "Abnormal" : "Normal";
}

constexpr ViewItem kPkt16Items[] = {
    {P, "DS_Panel", "Dir. Switch Status:", nullptr, 10},
    {P, "G_Panel", "Gyro Status:", nullptr, 10},
    {P, "T_Panel", "Tacho Status:", nullptr, 10},
    {P, "A_Panel", "Antenna Status:", nullptr, 14},
    {P, "O_Panel", "Oscillator Status:", nullptr, 10},
    {P, "SE_Panel", "Last Event Index:", nullptr, 16},
    {P, "BBRAM_Panel", "BBRAM Signature:", nullptr, 26},
    {P, "Gyro_ADC_Panel", "Gyro/ADC Test:", nullptr, 26},
    {P, "eventIndxPanel", "Last Event Index:", nullptr, 26},
    {P, "sysTimePanel", "System Time:", nullptr, 26},
    {P, "RTC_Panel", "RTC:", nullptr, 26},
    {P, "FlashBBRAM_Panel", "BBRAM From Flash:", nullptr, 26},
    {P, "shutdownPanel", "", nullptr, 56},
};
constexpr ViewBox kPkt16Boxes[] = {
    {.caption = "Health Status Report (1601)",
     .objectName = nullptr,
     .first = pkt16::DS_Panel,
     .count = 6},
    {.caption = "Start-Up Report (1602)",
     .objectName = nullptr,
     .first = pkt16::BBRAM_Panel,
     .count = 6,
     .row = 0,
     .column = 1},
    {.caption = "Previous Shutdown",
     .objectName = nullptr,
     .first = pkt16::shutdownPanel,
     .count = 1,
     .row = 1,
     .column = 0,
     .rowSpan = 1,
     .columnSpan = 2},
};
constexpr QueryFrame kPkt16Frames[] = {{0x16, 0x01}, {0x16, 0x02}};
constexpr ViewAnswer kPkt16Answers[] = {{0x16, 0x01, 0x01, pkt16::kHealthKey},
                                        {0x16, 0x02, 0x02, pkt16::kStartupKey}};
// The LED turns green when both reports are in; an acknowledgement ends nothing unless it
// refuses.
constexpr ViewQuery kPkt16Queries[] = {
    {.button = "queryButton", .led = "queryLED", .frames = kPkt16Frames, .answers = kPkt16Answers}};
const ViewSpec kPkt16{WindowId::Tpkt1601_1602Form, kPkt16Items, kPkt16Boxes, kPkt16Queries};

constexpr ViewItem kPkt7020Items[] = {
    {P, "navMajorWin", "Major", nullptr, 4},      {P, "navMinorWin", "Minor", nullptr, 4},
    {P, "navReleaseWin", "Release", nullptr, 4},  {P, "navDateWin", "Date", nullptr, 10},
    {P, "bootMajorWin", "Major", nullptr, 4},     {P, "bootMinorWin", "Minor", nullptr, 4},
    {P, "bootReleaseWin", "Release", nullptr, 4}, {P, "bootDateWin", "Date", nullptr, 10},
    {P, "ioMajorWin", "Major", nullptr, 4},       {P, "ioMinorWin", "Minor", nullptr, 4},
    {P, "ioReleaseWin", "Release", nullptr, 4},   {P, "ioDateWin", "Date", nullptr, 10},
    {P, "ROM_cksumWin", "", nullptr, 10},
};
static_assert(std::size(kPkt7020Items) == pkt7020::kSlots);
constexpr ViewBox kPkt7020Boxes[] = {
    {.caption = "Nav Code ROM", .objectName = nullptr, .first = pkt7020::navMajorWin, .count = 4},
    {.caption = "Boot Code ROM",
     .objectName = nullptr,
     .first = pkt7020::bootMajorWin,
     .count = 4,
     .row = 0,
     .column = 1},
    {.caption = "Io Code ROM",
     .objectName = nullptr,
     .first = pkt7020::ioMajorWin,
     .count = 4,
     .row = 0,
     .column = 2},
    {.caption = "ROM Checksum",
     .objectName = nullptr,
     .first = pkt7020::ROM_cksumWin,
     .count = 1,
     .row = 1,
     .column = 0},
};
constexpr QueryFrame kPkt7020Frames[] = {{0x70, 0x20, 1}};
constexpr ViewAnswer kPkt7020Answers[] = {{0x70, 0x20, 0x20}};
// No acknowledgement reaches the window; the time-out paints the LED red and the query stays
// open until the next report.
constexpr ViewQuery kPkt7020Queries[] = {{.button = "queryButton",
                                          .led = "queryLED",
                                          .frames = kPkt7020Frames,
                                          .answers = kPkt7020Answers,
                                          .expiryKeeps = true}};
const ViewSpec kPkt7020{WindowId::Tpkt7020Form, kPkt7020Items, kPkt7020Boxes, kPkt7020Queries};

void showCode(const CodeVersion& v, uint16_t first, ViewUpdates& u) {
    u.format(first, "%02d", v.major);
    u.format(uint16_t(first + 1), "%02d", v.minor);
    u.format(uint16_t(first + 2), "%02d", v.release);
    u.format(uint16_t(first + 3), "%02d/%02d/%04d", v.date2, v.date1, v.year);
}

} // namespace

std::string shutdownText(uint16_t code) {
    if (code >= 0x1000 && code <= 0x10FF)
        return formatText("Illegal hardware interrupt, vector %02X.", unsigned(code & 0xFF));
    if (auto text = fatalErrorText(code)) return std::string(*text);
    return "Unknown shutdown error.";
}

std::string antennaStatusText(uint8_t antennaByte) {
    if ((antennaByte & 3) == 3) return "Antenna Short";
    if (antennaByte & 1) return "Antenna Open";
    return "Normal";
}

const ViewSpec& pkt1601_1602Spec() {
    return kPkt16;
}

void showHealth(const HealthRecord& r, ViewUpdates& u) {
    using namespace pkt16;
    u.text(DS_Panel, abnormal(r.sensor_status & 0x01));
    u.text(G_Panel, abnormal(r.sensor_status & 0x02));
    u.text(T_Panel, abnormal(r.sensor_status & 0x04));
    u.text(A_Panel, antennaStatusText(r.antenna_status));
    u.text(O_Panel, abnormal(r.antenna_status & 0x04));
    if (r.last_event_index == 0)
        u.text(SE_Panel, "No event in log");
    else
        u.format(SE_Panel, "%u", unsigned(r.last_event_index));
}

void showStartupReport(const StartupReportRecord& r, ViewUpdates& u) {
    using namespace pkt16;
    u.text(shutdownPanel, shutdownText(r.shutdown_code));
    const uint8_t f = r.startup_flags;
    u.text(BBRAM_Panel, (f & 0x01) ? "Valid" : "Not Valid");
    u.text(Gyro_ADC_Panel, (f & 0x02) ? "ADC or Gyro Self-test Error" : "Normal");
    u.text(RTC_Panel, (f & 0x04) ? "Valid" : "Not Valid");
    u.text(FlashBBRAM_Panel, (f & 0x08) ? "Loaded" : "Not Loaded");
    if (r.last_event_index == 0)
        u.text(eventIndxPanel, "No event in log.");
    else
        u.format(eventIndxPanel, "%u", unsigned(r.last_event_index));
    u.format(sysTimePanel, "%u", unsigned(r.system_time));
}

const ViewSpec& pkt7020Spec() {
    return kPkt7020;
}

void showDiagStartup(const DiagStartupRecord& r, ViewUpdates& u) {
    using namespace pkt7020;
    u.format(ROM_cksumWin, "%08X", unsigned(r.rom_checksum));
    showCode(r.nav, navMajorWin, u);
    showCode(r.boot, bootMajorWin, u);
    showCode(r.io, ioMajorWin, u);
}

void clearDiagStartup(ViewUpdates& u) {
    for (uint16_t s = 0; s < pkt7020::kSlots; ++s) u.blank(s);
}

} // namespace vx
