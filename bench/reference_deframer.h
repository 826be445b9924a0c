// A plain deframer of the kind anyone would write in C for this framing, as the yardstick of
// the core's speed: a 256-entry class table, a state machine, the checksum summed as it goes,
// frames counted by code and subcode. No decoding, no error kinds, no length rules beyond the
// buffer. With `skipRuns` it copies a run of ordinary payload bytes in a tight inner loop
// (the usual fast path); without it every byte goes through the state machine.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace vxbench {

struct ReferenceCounts {
    uint64_t good = 0;
    uint64_t bad = 0;
    uint64_t byCode[65536] = {};
};

namespace refdetail {

enum : uint8_t { Ordinary = 0, Escape = 1, Start = 2, End = 3, Other = 4 };

struct ClassTable {
    uint8_t c[256];
    constexpr ClassTable() : c{} {
        for (int b = 0; b < 256; ++b) c[b] = Ordinary;
        c[0x80] = Escape;
        c[0x81] = Start;
        c[0x82] = End;
        for (int b = 0x83; b <= 0x87; ++b) c[b] = Other;
    }
};
inline constexpr ClassTable kClass{};

} // namespace refdetail

template <bool skipRuns>
inline void referenceDeframe(const uint8_t* p, size_t n, ReferenceCounts& out) {
    using namespace refdetail;
    const uint8_t* const e = p + n;
    uint8_t buf[256];
    size_t len = 0;
    uint8_t sum = 0;
    bool inFrame = false;
    bool escape = false;
    while (p < e) {
        if constexpr (skipRuns) {
            if (inFrame && !escape) {
                // Find the run's end, then copy it and add it up in two simple loops (the
                // compiler vectorises both).
                const size_t room = std::min<size_t>(size_t(e - p), sizeof buf - len);
                const uint8_t* q = p;
                const uint8_t* const qe = p + room;
                while (q < qe && kClass.c[*q] == Ordinary) ++q;
                const size_t run = size_t(q - p);
                std::memcpy(buf + len, p, run);
                for (size_t i = 0; i < run; ++i) sum = uint8_t(sum + p[i]);
                len += run;
                p = q;
                if (p == e) break;
            }
        }
        const uint8_t b = *p++;
        switch (kClass.c[b]) {
        case Start:
            inFrame = true;
            escape = false;
            len = 0;
            sum = b;
            break;
        case End:
            if (inFrame) {
                sum = uint8_t(sum + b);
                if (sum == 0 && len >= 2 && !escape) {
                    ++out.good;
                    ++out.byCode[(unsigned(buf[0]) << 8) | buf[1]];
                } else {
                    ++out.bad;
                }
                inFrame = false;
            }
            break;
        case Escape:
            if (inFrame) {
                if (escape) {
                    ++out.bad;
                    inFrame = false;
                } else {
                    escape = true;
                }
            }
            break;
        default: // Ordinary, Other
            if (!inFrame) break;
            {
                uint8_t v = b;
                if (escape) {
                    v = uint8_t(b + 0x80);
                    escape = false;
                }
                if (len == sizeof buf) {
                    ++out.bad;
                    inFrame = false;
                    break;
                }
                sum = uint8_t(sum + v);
                buf[len++] = v;
            }
            break;
        }
    }
}

} // namespace vxbench
