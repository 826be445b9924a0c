// "Send Random Serial Data": noise for the receiver's parser. Two streams, random bytes and
// random messages (0x10, random bytes with every 0x10 doubled, 0x10 0x03), each at random
// lengths and random intervals within limits the user sets.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace vx {

// Longest burst or message body one tick draws.
inline constexpr int32_t kRandomMaxLength = 65535;

// The four limits of one stream, lengths in bytes and times in milliseconds.
struct RandomLimits {
    int32_t minLength = 0, maxLength = 0;
    int32_t minTimeMs = 0, maxTimeMs = 0;
};

// The four boxes of a stream as typed. An empty box keeps the previous value.
struct RandomLimitFields {
    std::string_view minLength, maxLength, minTime, maxTime;
};

// Reads the boxes as decimal integers into limits (a box left empty keeps its value) and checks
// them. Returns the error text (caption "Error") naming the stream (group: "Random Bytes"), or
// an empty string; on an error limits is unchanged. Refused: text that is not a whole decimal
// number, negative values, a minimum above its maximum, lengths above 65,535.
std::string readRandomLimits(std::string_view group, const RandomLimitFields& fields,
                             RandomLimits& limits);

// Where the random integers come from: the standard library's generator, or a script in tests.
class RandomDraw {
public:
    virtual ~RandomDraw() = default;
    // A non-negative pseudo-random integer.
    virtual uint32_t next() = 0;
    // next() modulo n; 0 for n = 0.
    uint32_t below(uint32_t n) { return n ? next() % n : 0; }
    // minimum + below(maximum - minimum + 1), for minimum <= maximum.
    int32_t between(int32_t minimum, int32_t maximum) {
        return minimum + int32_t(below(uint32_t(maximum - minimum) + 1));
    }
};

// std::rand(), not seeded here.
class StdRandomDraw : public RandomDraw {
public:
    uint32_t next() override { return uint32_t(std::rand()); }
};

// length random bytes, each below(256); the buffer is sized to the draw.
std::vector<uint8_t> buildRandomBurst(RandomDraw& rng, size_t length);

// A message of n positions: 0x10; for positions 1 to n - 1 one random byte each, a 0x10
// written twice (the second does not count as a position); then 0x10, 0x03. At most
// 2 x n + 2 bytes.
std::vector<uint8_t> buildRandomMessage(RandomDraw& rng, size_t n);

} // namespace vx
