// Counts of a byte stream's frames: good packets per code and subcode, refused frames per
// error code, bytes read. Shared by `vexor stats` and `vexor stats --link`.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <string>

namespace vx {
class ByteSource;
struct RecordArea;
} // namespace vx

namespace vx::cli {

struct StreamStats {
    uint64_t bytes = 0;
    uint64_t good = 0;
    std::array<uint64_t, 65536> packets{}; // by (code << 8) | subcode
    std::map<int, uint64_t> errors;        // by result code as the error window gets it
    uint64_t incompleteAtEnd = 0;          // 1 when the stream ended in the middle of a frame
    double seconds = 0;

    void countGood(uint8_t code, uint8_t subcode) {
        ++good;
        ++packets[(unsigned(code) << 8) | subcode];
    }
    void countError(int result) { ++errors[result]; }

    // {"bytes": N, "good": N, "errors": {"2": N}, "packets": {"3002": N},
    //  "incomplete_at_end": 0 or 1, "seconds": S}
    std::string json() const;
    // A readable report with the throughput.
    std::string text() const;
};

// Deframes and decodes src to its end into stats (not its bytes or time): the frames and
// results of the receive worker's deframer, cut through its fast path for sources that hold
// many bytes at a time (a file read in blocks, memory). `vexor stats` and its benchmark run it.
void countStream(ByteSource& src, RecordArea& area, StreamStats& stats);

} // namespace vx::cli
