// Report decoders: turn the payload of a received VEXOR packet into its typed record in the
// receive worker's record area.
#pragma once

#include "link/ack_texts.h"
#include "link/records.h"

#include <cstddef>
#include <cstdint>

namespace vx {

// Results of decode. 3 and 4 are also the error window's codes ("Invalid Parse Code: ",
// "Packet Length Error:").
inline constexpr int kDecodeOk = 0;                  // decoded, or accepted without decoding
inline constexpr int kDecodeUnknown = kErrParseCode; // no decoder for the code or subcode
inline constexpr int kDecodeBadLength = kErrLength;  // payload length not accepted
inline constexpr int kDecodeNoPayload = -1;          // null payload with a non-zero length

// Decodes one packet: code = header byte 1, subcode = header byte 2, payload = the bytes after
// the header, length = their count. Writes the record of that packet into area and, when kind
// is given, names it there (RecordKind::None when nothing was written: a refused packet, or one
// accepted without decoding). A refused packet leaves the area untouched.
//
// Code 0x02 carries a nested packet: code = subcode, subcode = payload byte 0, payload = the
// rest; the nested result is the result, and an empty nested payload is a length error.
//
// Never reads outside [payload, payload + length) and never writes outside area, whatever the
// length. Allocates only for the 15xx customer data block and the 2603..2605 DPP model levels,
// and only when the vector in the area has to grow.
int decode(uint8_t code, uint8_t subcode, const uint8_t* payload, size_t length, RecordArea& area,
           RecordKind* kind = nullptr);

} // namespace vx
