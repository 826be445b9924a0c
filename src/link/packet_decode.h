// One received frame turned into its outcome exactly as the receive worker does it: a refused
// frame keeps the deframer's code; frames of code 0x23 are not decoded; everything else goes
// through decode(). Used by the receive worker and by `vexor decode`, so the two agree packet
// for packet.
#pragma once

#include "link/decoders.h"
#include "link/records.h"

#include <cstdint>

namespace vx {

// Code of the alternative fix message, handed to the GPS fix window undecoded.
inline constexpr uint8_t kCodeAltFix = 0x23;

struct FrameOutcome {
    int result = 0;                     // 0, or the code the error window gets
    RecordKind kind = RecordKind::None; // what decode wrote (None when nothing)
    bool decoded = false;               // decode ran and succeeded
};

// Smallest frame that holds start, two header bytes, checksum and end.
inline constexpr uint16_t kMinFrame = 5;

// deframeResult is readFrame's result for frame[0..count). A good frame shorter than five bytes
// (81 FD 82 sums to zero) has no room for a payload and is refused as a length error rather
// than decoded with a negative payload length.
inline FrameOutcome decodeFrame(int deframeResult, const uint8_t* frame, uint16_t count,
                                RecordArea& area) {
    FrameOutcome out;
    if (deframeResult != 0) {
        out.result = deframeResult;
        return out;
    }
    if (count < kMinFrame) {
        out.result = 4;
        return out;
    }
    if (frame[1] == kCodeAltFix) return out;
    out.result = decode(frame[1], frame[2], frame + 3, size_t(count - 5), area, &out.kind);
    out.decoded = out.result == 0;
    return out;
}

} // namespace vx
