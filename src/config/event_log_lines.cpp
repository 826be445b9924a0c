#include "config/event_log_lines.h"

#include "link/event_texts.h"

#include <cstdio>

namespace vx {

std::string logEntryLine(const SoftEventRecord& e, bool fatal) {
    char unknown[40];
    std::string_view text;
    if (fatal) {
        if (auto t = fatalErrorText(e.event_code))
            text = *t;
        else
            text = {unknown, size_t(std::snprintf(unknown, sizeof unknown,
                                                  "Unknown Fatal Error (0x%04x).", e.event_code))};
    } else {
        const uint8_t code = uint8_t(e.event_code);
        if (auto t = softEventText(code))
            text = *t;
        else
            text = {unknown, size_t(std::snprintf(unknown, sizeof unknown,
                                                  "Unknown Event (0x%02x).", code))};
    }
    char head[64];
    const int n = std::snprintf(head, sizeof head, "%d::%02d/%02d/%04d %02d:%02d:%02d ", e.index,
                                e.date1, e.date2, e.year, e.hour, e.minute, e.second);
    return std::string(head, size_t(n)) + std::string(text);
}

} // namespace vx
