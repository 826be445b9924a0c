// libFuzzer target: arbitrary bytes through the deframer, the decoders and the record
// formatters, as `vexor decode --json` runs them. Any out-of-bounds access, overflow or
// undefined behaviour aborts the run.
#include "link/framing.h"
#include "link/packet_decode.h"
#include "link/record_format.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static vx::RecordArea area; // reused like the worker's, so leftovers are exercised too
    // Inputs starting with 0xFF go straight to the decoders as code, subcode and payload, so
    // every decoder is reached without the fuzzer first having to find a valid checksum.
    if (size >= 3 && data[0] == 0xFF) {
        size_t len = size - 3 > vx::kMaxPayload ? vx::kMaxPayload : size - 3;
        vx::RecordKind kind = vx::RecordKind::None;
        if (vx::decode(data[1], data[2], data + 3, len, area, &kind) == 0) {
            std::string out;
            vx::writeRecordJson(out, area, kind);
            vx::writeRecordText(out, area, kind);
        }
        return 0;
    }
    vx::MemorySource src(data, size);
    uint8_t frame[vx::kRxBufferSize];
    std::string out;
    for (;;) {
        uint16_t count = 0;
        int r = vx::PacketDeframer::readFrame(src, frame, count);
        if (r == vx::kFrameEndOfStream) break;
        if (count > vx::kMaxRxFrame) __builtin_trap();
        vx::FrameOutcome o = vx::decodeFrame(r, frame, count, area);
        if (o.decoded) {
            out.clear();
            vx::writeRecordJson(out, area, o.kind);
            vx::writeRecordText(out, area, o.kind);
        }
    }
    return 0;
}
