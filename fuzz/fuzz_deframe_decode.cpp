// libFuzzer target: arbitrary bytes through the deframer, the decoders and the record
// formatters, as `vexor decode --json` runs them, and through the deframer's fast way, which
// must cut the same frames. Any out-of-bounds access, overflow or undefined behaviour, or a
// difference between the two ways, aborts the run.
#include "link/framing.h"
#include "link/packet_decode.h"
#include "link/record_format.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

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
    // Every stream is followed by one good frame: whatever state the bytes before it leave the
    // deframer in (hunting, inside a frame, an escape pending), that frame must come out
    // whole. A frame lost to the garbage in front of it (for example to a refused escape
    // whose 0x81 was swallowed) stops the run.
    static const uint8_t kGood[] = {0x81, 0x21, 0x01, 0x0A, 0xD1, 0x82};
    static std::vector<uint8_t> stream;
    stream.assign(data, data + size);
    stream.insert(stream.end(), std::begin(kGood), std::end(kGood));
    vx::MemorySource src(stream.data(), stream.size());
    // The fast way (used by `vexor log`) must cut the very same frames.
    vx::MemorySource fastSrc(stream.data(), stream.size());
    uint8_t frame[vx::kRxBufferSize];
    uint8_t fastFrame[vx::kRxBufferSize];
    std::string out;
    int last = -1;
    uint16_t lastCount = 0;
    for (;;) {
        uint16_t count = 0;
        int r = vx::PacketDeframer::readFrame(src, frame, count);
        uint16_t fastCount = 0;
        if (vx::PacketDeframer::readFrameFast(fastSrc, fastFrame, fastCount) != r ||
            fastCount != count || std::memcmp(fastFrame, frame, count) != 0 ||
            fastSrc.consumed() != src.consumed())
            __builtin_trap();
        if (r == vx::kFrameEndOfStream) {
            if (count != 0) __builtin_trap(); // the stream ends with a whole frame
            break;
        }
        if (count > vx::kMaxRxFrame) __builtin_trap();
        last = r;
        lastCount = count;
        vx::FrameOutcome o = vx::decodeFrame(r, frame, count, area);
        if (o.decoded) {
            out.clear();
            vx::writeRecordJson(out, area, o.kind);
            vx::writeRecordText(out, area, o.kind);
        }
    }
    if (last != vx::kFrameOk || lastCount != sizeof kGood ||
        std::memcmp(frame, kGood, sizeof kGood) != 0)
        __builtin_trap();
    if (src.consumed() != stream.size()) __builtin_trap();
    return 0;
}
