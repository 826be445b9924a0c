// Reading numbers the user typed and writing numbers for display, for every window that has
// entry boxes. Parsing is strict: the whole text (blanks around it allowed) must be one number
// of the expected kind, within the range the value will travel in; nothing wraps, "-1" is never
// read as 0xFFFFFFFF, and reals are finite.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vx {

// A decimal integer ("42", "-3", "+7"), or nullopt.
std::optional<int64_t> parseInteger(std::string_view text);
// A decimal real ("5", "-2.5", "1e-6", ".5"), finite, or nullopt.
std::optional<double> parseReal(std::string_view text);
// Hexadecimal, 1 to maxDigits digits, an optional 0x prefix; or nullopt.
std::optional<uint32_t> parseHex(std::string_view text, int maxDigits = 8);

// A number written with one printf conversion ("%.2f", "%g", "%d", "%lu", "%ld", "%u", "%x").
// Integer conversions write the value's integer part; real conversions the value as is. Text
// around the conversion is kept ("%.1f dB").
std::string formatNumber(std::string_view format, double value);

} // namespace vx
