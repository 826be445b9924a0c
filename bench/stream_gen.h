// Generates a realistic receiver byte stream for benchmarks: per simulated second five 3002
// reports (46-byte payload) and one each of 3201 (18), 3101 (28) and 3301 (7), with values
// that produce escaped bytes, and a given fraction of frames corrupted (one payload byte
// changed after the checksum was computed, so the frame fails its checksum).
#pragma once

#include "link/framing.h"

#include <cstdint>
#include <random>
#include <vector>

namespace vxbench {

struct StreamMix {
    double corruptFraction = 0.001;
    uint32_t seed = 1;
};

class StreamGenerator {
public:
    explicit StreamGenerator(StreamMix mix = {}) : mix_(mix), rng_(mix.seed) {}

    // Appends about `bytes` bytes of whole frames to out.
    void append(std::vector<uint8_t>& out, size_t bytes) {
        size_t target = out.size() + bytes;
        while (out.size() < target) second(out);
    }

    uint64_t framesWritten() const { return frames_; }
    uint64_t framesCorrupted() const { return corrupted_; }

private:
    void second(std::vector<uint8_t>& out) {
        for (int i = 0; i < 5; ++i) frame(out, 0x30, 0x02, 46);
        frame(out, 0x32, 0x01, 18);
        frame(out, 0x31, 0x01, 28);
        frame(out, 0x33, 0x01, 7);
    }

    void frame(std::vector<uint8_t>& out, uint8_t code, uint8_t sub, int len) {
        // Reports can be longer than a command buffer allows; build in a larger one.
        uint8_t buf[2 * vx::kMaxRxFrame];
        vx::PacketEncoder e(buf, sizeof buf);
        e.startFrame(code, sub);
        for (int i = 0; i < len; ++i) e.addByte(uint8_t(byteDist_(rng_)));
        e.finishFrame();
        size_t start = out.size();
        out.insert(out.end(), buf, buf + e.position());
        ++frames_;
        if (corruptDist_(rng_) < mix_.corruptFraction) {
            // Change the first payload byte to another unreserved value: a checksum error.
            uint8_t& b = out[start + 3];
            if (b == 0x80) return; // keep escapes intact; good enough for a 0.1 % rate
            b = uint8_t(b == 0x10 ? 0x11 : 0x10);
            ++corrupted_;
        }
    }

    StreamMix mix_;
    std::mt19937 rng_;
    std::uniform_int_distribution<int> byteDist_{0, 255};
    std::uniform_real_distribution<double> corruptDist_{0.0, 1.0};
    uint64_t frames_ = 0;
    uint64_t corrupted_ = 0;
};

} // namespace vxbench
