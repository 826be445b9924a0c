// Test helpers: hexadecimal byte strings.
#pragma once

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

namespace vxtest {

// "81 02 21 01" -> bytes. Blanks are ignored.
inline std::vector<uint8_t> bytes(const std::string& hex) {
    std::vector<uint8_t> out;
    std::istringstream in(hex);
    std::string tok;
    while (in >> tok) out.push_back(uint8_t(std::stoul(tok, nullptr, 16)));
    return out;
}

inline std::string hex(const uint8_t* p, size_t n) {
    static const char d[] = "0123456789ABCDEF";
    std::string s;
    for (size_t i = 0; i < n; ++i) {
        if (i) s += ' ';
        s += d[p[i] >> 4];
        s += d[p[i] & 15];
    }
    return s;
}

inline std::string hex(const std::vector<uint8_t>& v) {
    return hex(v.data(), v.size());
}

} // namespace vxtest
