#include "cli/stream_stats.h"

#include "link/ack_texts.h"
#include "link/framing.h"
#include "link/packet_decode.h"

#include <cstdio>

namespace vx::cli {

void countStream(ByteSource& src, RecordArea& area, StreamStats& stats) {
    uint8_t frame[kRxBufferSize];
    for (;;) {
        uint16_t count = 0;
        const int r = PacketDeframer::readFrameFast(src, frame, count);
        if (r == kFrameEndOfStream) {
            stats.incompleteAtEnd = count > 0 ? 1 : 0;
            return;
        }
        const FrameOutcome o = decodeFrame(r, frame, count, area);
        if (o.result == 0) {
            stats.countGood(frame[1], frame[2]);
        } else {
            stats.countError(o.result);
        }
    }
}

std::string StreamStats::json() const {
    // Built with appends only: GCC 12 warns falsely (-Wrestrict) on "literal" + std::string.
    std::string s;
    auto num = [&s](uint64_t n) { s.append(std::to_string(n)); };
    auto key = [&s](const char* k) {
        s.push_back('"');
        s.append(k);
        s.append("\": ");
    };
    s.push_back('{');
    key("bytes");
    num(bytes);
    s.append(", ");
    key("good");
    num(good);
    s.append(", ");
    key("errors");
    s.push_back('{');
    bool first = true;
    for (const auto& [code, n] : errors) {
        if (!first) s.append(", ");
        first = false;
        key(std::to_string(code).c_str());
        num(n);
    }
    s.append("}, ");
    key("packets");
    s.push_back('{');
    first = true;
    for (size_t k = 0; k < packets.size(); ++k) {
        if (!packets[k]) continue;
        char name[8];
        std::snprintf(name, sizeof name, "%04X", unsigned(k));
        if (!first) s.append(", ");
        first = false;
        key(name);
        num(packets[k]);
    }
    s.append("}, ");
    key("incomplete_at_end");
    num(incompleteAtEnd);
    s.append(", ");
    key("seconds");
    char sec[32];
    std::snprintf(sec, sizeof sec, "%.6f", seconds);
    s.append(sec);
    s.push_back('}');
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
    if (incompleteAtEnd) {
        std::snprintf(line, sizeof line, "incomplete frame at end %llu (not counted above)\n",
                      (unsigned long long)incompleteAtEnd);
        s += line;
    }
    std::snprintf(line, sizeof line, "time           %.3f s (%.1f MB/s)\n", seconds,
                  seconds > 0 ? mb / seconds : 0.0);
    s += line;
    return s;
}

} // namespace vx::cli
