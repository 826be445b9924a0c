// One output line per received frame, as `vexor decode` and `vexor monitor` print it.
#pragma once

#include "link/handover.h"
#include "link/packet_decode.h"

#include <cstdint>
#include <string>

namespace vx::cli {

// A frame with its outcome. record is the area decode wrote into (only read when
// outcome.decoded).
struct PacketLine {
    const uint8_t* frame;
    uint16_t count;
    FrameOutcome outcome;
    const RecordArea* record;
};

// {"result": R, "error": "...", "code": C, "subcode": S, "length": L, "frame": "81 ...",
//  "kind": "...", "record": {...}}; "error" only for a refused frame, "code"/"subcode" when the
// frame holds its header bytes, "length" when the frame is complete (ends with 0x82), "kind" and
// "record" when a record was decoded. Appends a newline.
void appendJsonLine(std::string& out, const PacketLine& p);
// A readable line: "3002 len 46  dr_data_3002 tow=... " or "ERR 2 Checksum Error: 81 ...".
void appendTextLine(std::string& out, const PacketLine& p);

// The last line for a stream that ended in the middle of a frame (count bytes begun):
// {"incomplete_at_end": 1, "frame": "81 30 02 01"} and
// "incomplete frame at end (4 bytes): 81 30 02 01".
void appendIncompleteJsonLine(std::string& out, const uint8_t* frame, size_t count);
void appendIncompleteTextLine(std::string& out, const uint8_t* frame, size_t count);

// The line of a delivered packet (the receive worker's delivery, its record a copy), exactly
// as `vexor decode` prints the same frame. area is scratch space for the record.
void appendDeliveryLine(std::string& out, const Delivery& d, RecordArea& area, bool json);

// The error window's text of a result; codes combined by the deframer (6 = checksum and
// length) list each part's text joined by " + ".
std::string resultText(int result);

} // namespace vx::cli
