// The texts of the version window (1101..1103 code versions, 1202 software mode, 1203 product
// information, 1204 hardware ID) and of the About window. No Qt: the windows put these texts
// into their panels; the tests check them directly.
#pragma once

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

// The About window's lines: the program's version line and date line.
std::vector<std::string> aboutLines();

} // namespace vx
