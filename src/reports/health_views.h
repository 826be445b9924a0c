// "Health Status and Start-Up Reports (1601, 1602)" and "Diagnostic Startup (7020)": their
// specs and view functions. No Qt.
#pragma once

#include "console/report_view.h"
#include "link/records.h"

#include <cstdint>
#include <string>

namespace vx {

// 1602 shutdown code: 0x1000..0x10FF "Illegal hardware interrupt, vector " and the low byte as
// two hexadecimal digits and a full stop ("%02X."); any other code its fatal error text, or
// "Unknown shutdown error.".
std::string shutdownText(uint16_t code);
// 1601 antenna byte: bits 0-1 both set "Antenna Short"; else bit 0 "Antenna Open"; else
// "Normal".
std::string antennaStatusText(uint8_t antennaByte);

namespace pkt16 {
enum Slot : uint16_t {
    DS_Panel,
    G_Panel,
    T_Panel,
    A_Panel,
    O_Panel,
    SE_Panel,
    BBRAM_Panel,
    Gyro_ADC_Panel,
    eventIndxPanel,
    sysTimePanel,
    RTC_Panel,
    FlashBBRAM_Panel,
    shutdownPanel,
};
// The keys of the one query: the 1601 and the 1602 report.
inline constexpr uint8_t kHealthKey = 1, kStartupKey = 2;
} // namespace pkt16
const ViewSpec& pkt1601_1602Spec();
void showHealth(const HealthRecord& r, ViewUpdates& u);
void showStartupReport(const StartupReportRecord& r, ViewUpdates& u);

namespace pkt7020 {
enum Slot : uint16_t {
    navMajorWin,
    navMinorWin,
    navReleaseWin,
    navDateWin,
    bootMajorWin,
    bootMinorWin,
    bootReleaseWin,
    bootDateWin,
    ioMajorWin,
    ioMinorWin,
    ioReleaseWin,
    ioDateWin,
    ROM_cksumWin,
    kSlots,
};
// The 7020 layout the window reads: a shorter report is ignored.
inline constexpr size_t kPayload = 26;
} // namespace pkt7020
const ViewSpec& pkt7020Spec();
void showDiagStartup(const DiagStartupRecord& r, ViewUpdates& u);
// "Clear" (and every Query): the thirteen panels emptied.
void clearDiagStartup(ViewUpdates& u);

} // namespace vx
