#include "console/field_text.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace vx {

namespace {

std::string_view trim(std::string_view s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
    return s;
}

} // namespace

std::optional<int64_t> parseInteger(std::string_view text) {
    std::string_view s = trim(text);
    bool negative = false;
    if (!s.empty() && (s.front() == '+' || s.front() == '-')) {
        negative = s.front() == '-';
        s.remove_prefix(1);
    }
    if (s.empty() || !std::isdigit(static_cast<unsigned char>(s.front()))) return std::nullopt;
    uint64_t magnitude = 0;
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), magnitude);
    if (ec != std::errc() || end != s.data() + s.size()) return std::nullopt;
    if (!negative && magnitude > uint64_t(INT64_MAX)) return std::nullopt;
    if (negative && magnitude > uint64_t(INT64_MAX) + 1) return std::nullopt;
    return negative ? int64_t(0 - magnitude) : int64_t(magnitude);
}

std::optional<double> parseReal(std::string_view text) {
    std::string_view s = trim(text);
    // One sign at most: a '+' is dropped, and what follows it must not be signed again
    // ("+-5" is not a number; from_chars would read the "-5").
    if (!s.empty() && s.front() == '+') {
        s.remove_prefix(1);
        if (!s.empty() && (s.front() == '-' || s.front() == '+')) return std::nullopt;
    }
    if (s.empty()) return std::nullopt;
    // Only digits, one sign, a point and an exponent: no "nan", "inf" or hexadecimal floats.
    for (char c : s) {
        if (!std::isdigit(static_cast<unsigned char>(c)) && c != '.' && c != '-' && c != '+' &&
            c != 'e' && c != 'E')
            return std::nullopt;
    }
    double v = 0;
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc() || end != s.data() + s.size() || !std::isfinite(v)) return std::nullopt;
    return v;
}

std::optional<uint32_t> parseHex(std::string_view text, int maxDigits) {
    std::string_view s = trim(text);
    if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) s.remove_prefix(2);
    if (s.empty() || s.size() > size_t(maxDigits) || s.size() > 8) return std::nullopt;
    uint32_t v = 0;
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v, 16);
    if (ec != std::errc() || end != s.data() + s.size()) return std::nullopt;
    return v;
}

std::string formatNumber(std::string_view format, double value) {
    // Find the one conversion and its length modifiers.
    size_t pct = format.find('%');
    while (pct != std::string_view::npos && pct + 1 < format.size() && format[pct + 1] == '%')
        pct = format.find('%', pct + 2);
    if (pct == std::string_view::npos) return std::string(format);
    size_t i = pct + 1;
    while (i < format.size() &&
           std::string_view("-+ #0123456789.").find(format[i]) != std::string_view::npos)
        ++i;
    const size_t flagsEnd = i;
    while (i < format.size() && (format[i] == 'l' || format[i] == 'h')) ++i;
    if (i >= format.size()) return std::string(format);
    const char conv = format[i];
    // The format with the conversion's length modifier replaced by the one its argument needs;
    // the rest, "%%" included, goes to snprintf unchanged.
    std::string fmt(format.substr(0, flagsEnd));
    const std::string rest(format.substr(i + 1));
    // A second conversion would read an argument that is not there: not a format of ours.
    for (size_t k = 0; k < rest.size(); ++k) {
        if (rest[k] != '%') continue;
        if (k + 1 < rest.size() && rest[k + 1] == '%')
            ++k;
        else
            return std::string(format);
    }

    char buf[512];
    int n = 0;
    switch (conv) {
    case 'd':
    case 'i':
        fmt += "lld" + rest;
        n = std::snprintf(buf, sizeof buf, fmt.c_str(), static_cast<long long>(value));
        break;
    case 'u':
    case 'x':
    case 'X':
        fmt += "ll";
        fmt += conv;
        fmt += rest;
        n = std::snprintf(buf, sizeof buf, fmt.c_str(),
                          static_cast<unsigned long long>(static_cast<long long>(value)));
        break;
    case 'f':
    case 'F':
    case 'e':
    case 'E':
    case 'g':
    case 'G':
        fmt += conv;
        fmt += rest;
        n = std::snprintf(buf, sizeof buf, fmt.c_str(), value);
        break;
    default:
        return std::string(format);
    }
    if (n < 0) return {};
    return std::string(buf, size_t(std::min<int>(n, int(sizeof buf) - 1)));
}

} // namespace vx
