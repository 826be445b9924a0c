#include "testtools/random_serial.h"

#include "testtools/tool_fields.h"

namespace vx {

std::string readRandomLimits(std::string_view group, const RandomLimitFields& f,
                             RandomLimits& limits) {
    RandomLimits l = limits;
    const std::string g(group);
    struct Box {
        std::string_view text;
        int32_t* value;
        const char* name;
    } boxes[] = {
        {f.minLength, &l.minLength, "Minimum Length"},
        {f.maxLength, &l.maxLength, "Maximum Length"},
        {f.minTime, &l.minTimeMs, "Minimum Separation Time"},
        {f.maxTime, &l.maxTimeMs, "Maximum Separation Time"},
    };
    for (const Box& b : boxes) {
        std::string err = readCountField(g + ": " + b.name, b.text, *b.value);
        if (!err.empty()) return err;
    }
    if (l.maxLength > kRandomMaxLength) return g + ": lengths above 65,535 bytes are not allowed.";
    if (l.minLength > l.maxLength)
        return g + ": the Minimum Length is greater than the Maximum Length.";
    if (l.minTimeMs > l.maxTimeMs)
        return g + ": the Minimum Separation Time is greater than the Maximum Separation Time.";
    limits = l;
    return {};
}

std::vector<uint8_t> buildRandomBurst(RandomDraw& rng, size_t length) {
    std::vector<uint8_t> out(length);
    for (uint8_t& b : out) b = uint8_t(rng.below(256));
    return out;
}

std::vector<uint8_t> buildRandomMessage(RandomDraw& rng, size_t n) {
    std::vector<uint8_t> out;
    out.reserve(2 * n + 3);
    out.push_back(0x10);
    for (size_t i = 1; i < n; ++i) {
        uint8_t b = uint8_t(rng.below(256));
        out.push_back(b);
        if (b == 0x10) out.push_back(0x10);
    }
    out.push_back(0x10);
    out.push_back(0x03);
    return out;
}

} // namespace vx
