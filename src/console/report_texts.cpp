#include "console/report_texts.h"

#include "link/angles.h"

#include <cstdio>

namespace vx {

std::string radiansText(int32_t value) {
    char buf[32];
    const int n = std::snprintf(buf, sizeof buf, "%.9f", wireToRadians(value));
    return std::string(buf, size_t(n));
}

std::string semicircleText(uint16_t value) {
    char buf[32];
    const int n = std::snprintf(buf, sizeof buf, "%.5f", headingToSemicircles(value));
    return std::string(buf, size_t(n));
}

std::string timeSourceText(unsigned bits) {
    static const char* const kTexts[4] = {"System Clock", "RTC", "GPS (<10ms)", "GPS (<1ms)"};
    return kTexts[bits & 3];
}

std::string searchModeText(uint8_t searchByte) {
    static const char* const kModes[4] = {"None", "Blind", "Anywhere", ""};
    return kModes[searchByte & 3];
}

std::string almanacStatusText(uint8_t searchByte) {
    return (searchByte & 0x80) ? "Complete" : "Not Complete";
}

bool ChannelRowBlanking::note(uint8_t channel) {
    if (channel >= kRows) return false;
    if (channel < 8) {
        ++count_;
    } else {
        count_ = 0;
    }
    if (count_ > kLimit) {
        count_ = 0;
        return true;
    }
    return false;
}

} // namespace vx
