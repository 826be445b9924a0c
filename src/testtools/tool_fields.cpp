#include "testtools/tool_fields.h"

#include <charconv>

namespace vx {

bool readDecimalField(std::string_view text, int32_t& value) {
    std::string_view s = text;
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    if (s.empty()) return true;
    int32_t v = 0;
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc() || end != s.data() + s.size()) return false;
    value = v;
    return true;
}

std::string readCountField(std::string_view name, std::string_view text, int32_t& value) {
    int32_t v = value;
    if (!readDecimalField(text, v)) return std::string(name) + ": not a whole number.";
    if (v < 0) return std::string(name) + ": cannot be negative.";
    value = v;
    return {};
}

} // namespace vx
