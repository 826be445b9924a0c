// A bounded little-endian payload builder for the simulated receiver's replies and reports.
#pragma once

#include "link/layouts.h"

#include <cstdint>
#include <cstring>
#include <string_view>

namespace vx::sim {

class Bytes {
public:
    static constexpr size_t kCapacity = 235; // the largest payload a frame may carry

    void u8(uint8_t v) { put(&v, 1); }
    void u16(uint16_t v) {
        uint8_t b[2] = {uint8_t(v), uint8_t(v >> 8)};
        put(b, 2);
    }
    void u32(uint32_t v) {
        uint8_t b[4] = {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
        put(b, 4);
    }
    void u32be(uint32_t v) {
        uint8_t b[4] = {uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)};
        put(b, 4);
    }
    void i16(int16_t v) { u16(uint16_t(v)); }
    void i32(int32_t v) { u32(uint32_t(v)); }
    void f32(float f) {
        uint32_t u;
        std::memcpy(&u, &f, 4);
        u32(u);
    }
    void f64(double d) {
        uint64_t u;
        std::memcpy(&u, &d, 8);
        u32(uint32_t(u));
        u32(uint32_t(u >> 32));
    }
    void raw(const uint8_t* p, size_t n) { put(p, n); }
    void text(std::string_view s) { put(reinterpret_cast<const uint8_t*>(s.data()), s.size()); }
    void zeros(size_t n) {
        for (size_t i = 0; i < n; ++i) u8(0);
    }
    // A record's fields as its layout places them (the layout's size in bytes).
    template <class R> void record(const PacketLayout& l, const R& r) {
        uint8_t b[layout_detail::kMaxLayoutSize];
        if (l.size <= sizeof b && encodeRecord(l, r, b)) put(b, l.size);
    }

    const uint8_t* data() const { return buf_; }
    size_t size() const { return n_; }
    bool overflowed() const { return overflow_; }

private:
    void put(const uint8_t* p, size_t n) {
        if (n > kCapacity - n_) {
            overflow_ = true;
            n = kCapacity - n_;
        }
        std::memcpy(buf_ + n_, p, n);
        n_ += n;
    }
    uint8_t buf_[kCapacity] = {};
    size_t n_ = 0;
    bool overflow_ = false;
};

} // namespace vx::sim
