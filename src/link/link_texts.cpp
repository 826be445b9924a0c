#include "link/link_texts.h"

#include <cstdio>
#include <vector>

namespace vx {

namespace {

// Byte offsets where the characters of a UTF-8 text start (a stray byte counts as one).
std::vector<size_t> characterStarts(const std::string& s) {
    std::vector<size_t> starts;
    for (size_t i = 0; i < s.size();) {
        starts.push_back(i);
        unsigned char c = static_cast<unsigned char>(s[i]);
        size_t len = c < 0x80           ? 1
                     : (c >> 5) == 0x6  ? 2
                     : (c >> 4) == 0xE  ? 3
                     : (c >> 3) == 0x1E ? 4
                                        : 1;
        size_t k = 1;
        while (k < len && i + k < s.size() && (static_cast<unsigned char>(s[i + k]) & 0xC0) == 0x80)
            ++k;
        i += k;
    }
    return starts;
}

} // namespace

std::string displayPath(const std::string& path, size_t maxChars) {
    std::string clean = path;
    for (char& c : clean) {
        unsigned char u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F) c = '?';
    }
    std::vector<size_t> starts = characterStarts(clean);
    if (starts.size() <= maxChars || maxChars < 3) return clean;
    // One character goes to the ellipsis; the end gets two thirds of the rest.
    size_t keep = maxChars - 1;
    size_t head = keep / 3;
    size_t tail = keep - head;
    return clean.substr(0, starts[head]) + "…" + clean.substr(starts[starts.size() - tail]);
}

std::string portLabel(const std::string& portName, const std::string& path) {
    return portName + " (" + displayPath(path) + ")";
}

std::string linkLossStatusText(const std::string& portName, const std::string& path,
                               const std::string& reason, const std::tm& t) {
    char time[16];
    std::snprintf(time, sizeof time, "%02d:%02d:%02d", t.tm_hour, t.tm_min, t.tm_sec);
    return portLabel(portName, path) + ": " + reason + " — " + time;
}

std::string linkLossStatusText(const LinkLoss& loss) {
    std::time_t when = std::chrono::system_clock::to_time_t(loss.when);
    std::tm local{};
    ::localtime_r(&when, &local);
    return linkLossStatusText(loss.portName, loss.path, loss.reason, local);
}

std::string notMonitoringText(const std::string& caption) {
    return "Not monitoring: " + caption + " was not sent";
}

} // namespace vx
