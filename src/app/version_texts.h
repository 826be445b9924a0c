// The texts of the version window (1101..1103 code versions, 1202 software mode, 1203 product
// information, 1204 hardware ID), its spec and view functions, and the texts of the About
// window. No Qt: the windows put these texts into their panels; the tests check them directly.
#pragma once

#include "console/report_view.h"
#include "link/records.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vx {

// 1101 nav, 1102 boot, 1103 io: major, minor and release "%02d", the date "%02d/%02d/%04d"
// (payload byte 4, byte 3, year).
struct CodeVersionTexts {
    std::string major, minor, release, date;
};
CodeVersionTexts codeVersionTexts(const VersionRecord& r);

// 1202: 1 "Normal", 2 "Monitor", anything else "Unknown".
std::string softwareModeText(uint8_t mode);

// 1203: the production date "%02d/%02d/%02d" (payload byte 5, byte 4, year), the production
// name (the text up to its first zero byte, as Latin-1 bytes) and the serial number "%u".
struct ProductTexts {
    std::string date, name, serial;
};
ProductTexts productTexts(const ProductRecord& r);

// 1204: the hardware ID, up to its first zero byte (Latin-1 bytes).
std::string hardwareIdText(const TextRecord& r);

// ---- The version window as a viewer --------------------------------------------------------

namespace version {
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
    modeWin,
    hardwareIdWin,
    prodIdWin,
    prodNameWin,
    snWin,
    kSlots,
};
// The keys of the six answers of its one query.
inline constexpr uint8_t kNav = 0x01;      // 1101
inline constexpr uint8_t kBoot = 0x02;     // 1102
inline constexpr uint8_t kIo = 0x03;       // 1103
inline constexpr uint8_t kMode = 0x22;     // 1202
inline constexpr uint8_t kProduct = 0x23;  // 1203
inline constexpr uint8_t kHardware = 0x24; // 1204
} // namespace version
const ViewSpec& versionSpec();
// 11xx: the group of its code image (subcodes 1 to 3; any other shows nothing).
void showCodeVersion(const VersionRecord& r, ViewUpdates& u);
void showSoftwareMode(const OperatingModeRecord& r, ViewUpdates& u);
void showProduct(const ProductRecord& r, ViewUpdates& u);
void showHardwareId(const TextRecord& r, ViewUpdates& u);
// Clear (and every Query): every panel emptied.
void clearVersions(ViewUpdates& u);

// The About window's lines: the program's version line and date line.
std::vector<std::string> aboutLines();

} // namespace vx
