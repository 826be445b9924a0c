#include "cli/stream_stats.h"

#include "app/ack_texts.h"

#include <cstdio>

namespace vx::cli {

std::string StreamStats::json() const {
    std::string s = "{\"bytes\": " + std::to_string(bytes) + ", \"good\": " + std::to_string(good) +
                    ", \"errors\": {";
    bool first = true;
    for (const auto& [code, n] : errors) {
        if (!first) s += ", ";
        first = false;
        s += "\"" + std::to_string(code) + "\": " + std::to_string(n);
    }
    s += "}, \"packets\": {";
    first = true;
    for (size_t k = 0; k < packets.size(); ++k) {
        if (!packets[k]) continue;
        char key[24];
        std::snprintf(key, sizeof key, "%04zX", k);
        if (!first) s += ", ";
        first = false;
        s += "\"" + std::string(key) + "\": " + std::to_string(packets[k]);
    }
    char sec[32];
    std::snprintf(sec, sizeof sec, "%.6f", seconds);
    s += "}, \"seconds\": " + std::string(sec) + "}";
    return s;
}

std::string StreamStats::text() const {
    std::string s;
    char line[160];
    double mb = double(bytes) / 1e6;
    std::snprintf(line, sizeof line, "bytes read     %llu (%.1f MB)\n", (unsigned long long)bytes,
                  mb);
    s += line;
    std::snprintf(line, sizeof line, "good packets   %llu\n", (unsigned long long)good);
    s += line;
    uint64_t bad = 0;
    for (const auto& [code, n] : errors) bad += n;
    std::snprintf(line, sizeof line, "refused frames %llu\n", (unsigned long long)bad);
    s += line;
    for (const auto& [code, n] : errors) {
        std::string_view t = errorText(code);
        std::snprintf(line, sizeof line, "  error %-3d %-22s %llu\n", code,
                      t.empty() ? "(combined codes)" : std::string(t).c_str(),
                      (unsigned long long)n);
        s += line;
    }
    s += "packets by code:\n";
    for (size_t k = 0; k < packets.size(); ++k) {
        if (!packets[k]) continue;
        std::snprintf(line, sizeof line, "  %04X %llu\n", unsigned(k),
                      (unsigned long long)packets[k]);
        s += line;
    }
    std::snprintf(line, sizeof line, "time           %.3f s (%.1f MB/s)\n", seconds,
                  seconds > 0 ? mb / seconds : 0.0);
    s += line;
    return s;
}

} // namespace vx::cli
