#include "link/ack_texts.h"

#include <array>
#include <cstdio>

namespace vx {

std::string ackResultText(uint8_t result) {
    static const std::array<std::string_view, 10> texts = {
        "0x00: Successful",
        "0x01: Pre-parser error",
        "0x02: Checksum error",
        "0x03: Unknown Code/Subcode",
        "0x04: Parser data length error",
        "0x05: Data value error",
        "0x06: Contradicts current data",
        "0x07: Data table full",
        "0x08: Data not available",
        "0x09: Failed to execute properly",
    };
    if (result < texts.size()) return std::string(texts[result]);
    char buf[8];
    std::snprintf(buf, sizeof buf, "0x%02X", result);
    return buf;
}

std::optional<std::string_view> sysResultName(uint8_t result) {
    static const std::array<std::string_view, 12> names = {
        "=== SUCCESS ===", "Preparser Error",   "Checksum Error",    "Unknown Codes",
        "Length Error",    "Value Error",       "Contradicts",       "Datatable Full",
        "Not Available",   "Flash Load Failed", "Flash Erase Error", "Flash Write Error",
    };
    if (result < names.size()) return names[result];
    return std::nullopt;
}

SysCommandInfo sysCommandInfo(uint8_t code) {
    switch (code) {
    case 0x01:
        return {"Hot Reset", SysLabelColour::Face, 0};
    case 0x02:
        return {"Cold Reset", SysLabelColour::Aqua, 0x00FFFF};
    case 0x03:
        return {"Force To Monitor", SysLabelColour::Face, 0};
    case 0x04:
        return {"Shutdown", SysLabelColour::Face, 0};
    case 0x05:
        return {"Warm Reset", SysLabelColour::Fuchsia, 0xFF00FF};
    case 0x06:
        return {"Clear Oscillator, Reset", SysLabelColour::Face, 0};
    case 0x07:
        return {"Clear Flash and RAM, Reset", SysLabelColour::White, 0xFFFFFF};
    case 0x08:
        return {"Clear Position, Reset", SysLabelColour::Face, 0};
    case 0x09:
        return {"Write BBRAM to Flash, Reset", SysLabelColour::PaleGreen, 0xC0DCC0};
    case 0x0A:
        return {"Io pass-through mode", SysLabelColour::Face, 0};
    default:
        return {"*** UNKNOWN ***", SysLabelColour::Face, 0};
    }
}

std::string_view errorText(int code) {
    switch (code) {
    case 1:
        return "Packt Format Error: ";
    case 2:
        return "Checksum Error:     ";
    case 3:
        return "Invalid Parse Code: ";
    case 4:
        return "Packet Length Error:";
    case 5:
        return "Invalid Parameter:  ";
    default:
        return "";
    }
}

std::string errorLine(int code, const uint8_t* bytes, size_t count) {
    if (code > 5) return {};
    std::string line(errorText(code));
    static const char digits[] = "0123456789ABCDEF";
    line.reserve(line.size() + 3 * count);
    for (size_t i = 0; i < count; ++i) {
        line += digits[bytes[i] >> 4];
        line += digits[bytes[i] & 15];
        line += ' ';
    }
    return line;
}

std::string hexBytes(const uint8_t* bytes, size_t count) {
    static const char digits[] = "0123456789ABCDEF";
    std::string s;
    s.reserve(count * 3);
    for (size_t i = 0; i < count; ++i) {
        if (i) s += ' ';
        s += digits[bytes[i] >> 4];
        s += digits[bytes[i] & 15];
    }
    return s;
}

} // namespace vx
