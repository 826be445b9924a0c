#include "cli/packet_line.h"

#include "link/ack_texts.h"
#include "link/record_format.h"

#include <cstdio>

namespace vx::cli {

namespace {

bool complete(const PacketLine& p) {
    return p.count >= kMinFrame && p.frame[p.count - 1] == kEnd &&
           (p.outcome.result & kFrameFormatError) == 0;
}

// Puts a delivered record copy back into a record area, so the line writers (which read the
// record of a kind from an area, as decode leaves it) print it as `vexor decode` does.
void restoreRecord(RecordArea& area, const RecordSnapshot& s) {
    switch (kindOf(s)) {
#define VX_RESTORE(kind, type, member, name)                                                       \
    case RecordKind::kind:                                                                         \
        area.member = std::get<size_t(RecordKind::kind)>(s);                                       \
        break;
        VX_RECORD_LIST(VX_RESTORE)
#undef VX_RESTORE
    case RecordKind::None:
        break;
    }
}

} // namespace

void appendDeliveryLine(std::string& out, const Delivery& d, RecordArea& area, bool json) {
    restoreRecord(area, d.record);
    FrameOutcome o;
    o.result = d.result;
    o.kind = d.kind();
    o.decoded = d.decoded;
    PacketLine line{d.frame.data(), d.count, o, &area};
    if (json) {
        appendJsonLine(out, line);
    } else {
        appendTextLine(out, line);
    }
}

std::string resultText(int result) {
    if (result <= 5) return std::string(errorText(result));
    std::string s;
    for (int bit : {1, 2, 4}) {
        if (!(result & bit)) continue;
        if (!s.empty()) s += " + ";
        s += errorText(bit);
    }
    return s;
}

void appendJsonLine(std::string& out, const PacketLine& p) {
    out += "{\"result\": ";
    out += std::to_string(p.outcome.result);
    if (p.outcome.result != 0) {
        out += ", \"error\": ";
        appendJsonString(out, resultText(p.outcome.result));
    }
    if (p.count >= 3) {
        out += ", \"code\": " + std::to_string(p.frame[1]);
        out += ", \"subcode\": " + std::to_string(p.frame[2]);
    }
    if (complete(p)) out += ", \"length\": " + std::to_string(p.count - 5);
    out += ", \"frame\": \"";
    out += hexBytes(p.frame, p.count);
    out += '"';
    if (p.outcome.decoded && p.record) {
        out += ", \"kind\": ";
        appendJsonString(out, recordName(p.outcome.kind));
        out += ", \"record\": ";
        writeRecordJson(out, *p.record, p.outcome.kind);
    }
    out += "}\n";
}

void appendTextLine(std::string& out, const PacketLine& p) {
    char head[64];
    if (p.outcome.result != 0) {
        std::snprintf(head, sizeof head, "ERR %d ", p.outcome.result);
        out += head;
        out += resultText(p.outcome.result);
        out += ' ';
        out += hexBytes(p.frame, p.count);
        out += '\n';
        return;
    }
    std::snprintf(head, sizeof head, "%02X%02X len %3d  ", p.frame[1], p.frame[2], p.count - 5);
    out += head;
    if (p.outcome.decoded && p.record && p.outcome.kind != RecordKind::None) {
        out += recordName(p.outcome.kind);
        out += ' ';
        writeRecordText(out, *p.record, p.outcome.kind);
    } else if (p.outcome.decoded) {
        out += "(accepted, no record) ";
        out += hexBytes(p.frame + 3, size_t(p.count - 5));
    } else {
        out += "(not decoded) ";
        out += hexBytes(p.frame + 3, size_t(p.count - 5));
    }
    out += '\n';
}

void appendIncompleteJsonLine(std::string& out, const uint8_t* frame, size_t count) {
    out += "{\"incomplete_at_end\": 1, \"frame\": \"";
    out += hexBytes(frame, count);
    out += "\"}\n";
}

void appendIncompleteTextLine(std::string& out, const uint8_t* frame, size_t count) {
    out += "incomplete frame at end (" + std::to_string(count) + " bytes): ";
    out += hexBytes(frame, count);
    out += '\n';
}

} // namespace vx::cli
