// Texts of acknowledgement results, System command names and error-window error codes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vx {

// Result of a Set or Query acknowledgement as the acknowledgements list shows it:
// "0x00: Successful" .. "0x09: Failed to execute properly", else the value as "0x%02X".
std::string ackResultText(uint8_t result);

// Name of a System command result (0 .. 11) as the System Command Ack window shows it.
std::optional<std::string_view> sysResultName(uint8_t result);

// Label colour of a System command in the System Command Ack window.
enum class SysLabelColour { Face, Aqua, Fuchsia, White, PaleGreen };

struct SysCommandInfo {
    std::string_view name; // "*** UNKNOWN ***" for codes outside 0x01..0x0A
    SysLabelColour colour;
    uint32_t rgb; // 0xRRGGBB, 0 for the face colour
};
SysCommandInfo sysCommandInfo(uint8_t code);

// Error-window error codes: 1..4 from the deframer and decoders, 5 invalid parameter.
inline constexpr int kErrFormat = 1;
inline constexpr int kErrChecksum = 2;
inline constexpr int kErrParseCode = 3;
inline constexpr int kErrLength = 4;
inline constexpr int kErrParameter = 5;

// The 20-character text of an error code 1..5 ("Checksum Error:     "); empty for 0 and for
// codes above 5 (the error window ignores those).
std::string_view errorText(int code);

// The error window's line for a refused frame: the text, then every byte as "%02X ".
// Empty when the code is above 5 (such frames are not shown).
std::string errorLine(int code, const uint8_t* bytes, size_t count);

// Frame bytes as two-digit upper-case hex separated by single blanks ("81 02 21 01 D9 82").
std::string hexBytes(const uint8_t* bytes, size_t count);

} // namespace vx
