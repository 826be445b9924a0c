// Test helpers: building report payloads (little-endian fields) and decoding them.
#pragma once

#include "link/decoders.h"
#include "link/records.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

namespace vxtest {

inline void put16(std::vector<uint8_t>& p, size_t at, uint16_t v) {
    p[at] = uint8_t(v);
    p[at + 1] = uint8_t(v >> 8);
}
inline void put32(std::vector<uint8_t>& p, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[at + size_t(i)] = uint8_t(v >> (8 * i));
}
inline void putFloat(std::vector<uint8_t>& p, size_t at, float f) {
    uint32_t u;
    std::memcpy(&u, &f, 4);
    put32(p, at, u);
}

// Decodes a payload of the given code and subcode into a fresh record area; the decode must
// accept it.
inline std::unique_ptr<vx::RecordArea> decoded(uint8_t code, uint8_t sub,
                                               const std::vector<uint8_t>& p) {
    auto area = std::make_unique<vx::RecordArea>();
    vx::RecordKind kind = vx::RecordKind::None;
    EXPECT_EQ(vx::decode(code, sub, p.data(), p.size(), *area, &kind), 0);
    return area;
}

} // namespace vxtest
