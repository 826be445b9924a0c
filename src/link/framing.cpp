#include "link/framing.h"

#include <bit>
#include <chrono>
#include <thread>

namespace vx {

void PacketEncoder::put(uint8_t b) {
    if (pos_ < cap_) {
        buf_[pos_++] = b;
    } else {
        overflow_ = true;
    }
}

void PacketEncoder::startFrame(uint8_t header1, uint8_t header2) {
    pos_ = 0;
    // Header bytes go out unescaped: 0x80..0x82 would split the frame, so such a frame fails
    // like one that does not fit and is never sent.
    overflow_ = isFramingByte(header1) || isFramingByte(header2);
    put(kStart);
    put(header1);
    put(header2);
}

void PacketEncoder::startRawFrame() {
    pos_ = 0;
    overflow_ = false;
    put(kStart);
}

void PacketEncoder::addByte(uint8_t b) {
    if (isReserved(b)) {
        put(kEscape);
        put(uint8_t(b & 0x0F));
    } else {
        put(b);
    }
}

void PacketEncoder::addRaw(uint8_t b) {
    put(b);
}

void PacketEncoder::addWord(uint16_t v) {
    addByte(uint8_t(v));
    addByte(uint8_t(v >> 8));
}

void PacketEncoder::addDword(uint32_t v) {
    for (int i = 0; i < 4; ++i) addByte(uint8_t(v >> (8 * i)));
}

void PacketEncoder::addFloat(float f) {
    uint32_t u;
    std::memcpy(&u, &f, 4);
    addDword(u);
}

bool PacketEncoder::finishFrame() {
    // The sum over the escaped form equals the sum over the unescaped values, because an
    // escape pair 0x80, b - 0x80 adds up to b.
    uint8_t sum = kEnd;
    for (uint32_t i = 0; i < pos_ && i < cap_; ++i) sum = uint8_t(sum + buf_[i]);
    addByte(uint8_t(0 - sum));
    put(kEnd);
    return !overflow_;
}

bool buildRawFrame(TxFrame& out, const uint8_t* bytes, size_t count) {
    PacketEncoder& e = out.enc();
    // start byte + count raw bytes + checksum (up to 2) + end byte must fit.
    if (count + 4 > kTxFrameSize) return false;
    e.startRawFrame();
    for (size_t i = 0; i < count; ++i) e.addRaw(bytes[i]);
    return e.finishFrame();
}

int sendRawFrame(FrameSink& sink, const uint8_t* bytes, uint8_t count) {
    TxFrame f;
    if (!buildRawFrame(f, bytes, count)) return -1;
    return sink.sendFrame(f.data(), uint16_t(f.size()));
}

int checkFrame(const uint8_t* frame, size_t n) {
    if (n < 2 || frame[0] != kStart || frame[n - 1] != kEnd) return kFrameFormatError;
    uint8_t sum = 0;
    for (size_t i = 0; i < n; ++i) sum = uint8_t(sum + frame[i]);
    return sum ? kFrameChecksumError : kFrameOk;
}

void ByteSource::idleWait() {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

int PacketDeframer::readFrame(ByteSource& src, uint8_t* buffer, uint16_t& count) {
    constexpr uint16_t kHunting = 0xFFFF;
    uint16_t index = kHunting;
    bool escape = false;
    int result = 0;
    count = 0;
    if (src.startTaken_) {
        src.startTaken_ = false;
        buffer[0] = kStart;
        index = 1;
    }
    // The source's window is walked through local pointers: stores into the byte buffer may
    // alias anything, so going through src.cur_ would reload it after every byte.
    const uint8_t* p = src.cur_;
    const uint8_t* e = src.end_;
    for (;;) {
        uint8_t b;
        if (p != e) {
            b = *p++;
        } else {
            src.cur_ = p;
            int got = src.readByte(b);
            p = src.cur_;
            e = src.end_;
            if (got != ByteSource::kGot) {
                if (got == ByteSource::kEnd || got == ByteSource::kStop) {
                    count = index == kHunting ? 0 : index;
                    return got == ByteSource::kEnd ? kFrameEndOfStream : kFrameStopped;
                }
                src.idleWait();
                p = src.cur_;
                e = src.end_;
                continue;
            }
        }
        // Fast path for the common case: an ordinary byte inside a frame, no escape pending.
        if (!isReserved(b) && !escape && index != kHunting) {
            buffer[index++] = b;
            if (index == kMaxRxFrame) {
                src.cur_ = p;
                count = index;
                return result | kFrameLengthError;
            }
            continue;
        }
        if (index == kHunting && b != kStart) continue;
        if (escape && isReserved(b)) {
            src.cur_ = p;
            src.startTaken_ = b == kStart;
            count = index;
            return result | kFrameFormatError;
        }
        bool done = false;
        switch (b) {
        case kEscape:
            escape = true;
            break;
        case kStart:
            index = 0;
            result = 0;
            break;
        case kEnd:
            buffer[index] = b;
            result |= checkFrame(buffer, size_t(index) + 1);
            done = true;
            break;
        case 0x83:
            break;
        default:
            if (escape) {
                escape = false;
                b = uint8_t(b + 0x80);
                --index;
            }
            break;
        }
        buffer[index++] = b;
        if (index == kMaxRxFrame) {
            result |= kFrameLengthError;
            done = true;
        }
        if (done) {
            src.cur_ = p;
            count = index;
            return result;
        }
    }
}

namespace {

// Nonzero when one of the eight bytes of x is 0x80..0x87 (escape, start, end and the other
// reserved values): those bytes are zero in (x & 0xF8..) ^ 0x80.., and the usual zero-byte
// test finds them.
inline uint64_t reservedBytes(uint64_t x) {
    const uint64_t y = (x & 0xF8F8F8F8F8F8F8F8u) ^ 0x8080808080808080u;
    return (y - 0x0101010101010101u) & ~y & 0x8080808080808080u;
}

} // namespace

int PacketDeframer::readFrameFast(ByteSource& src, uint8_t* buffer, uint16_t& count) {
    // Well short of the length limit, where readFrame's counting of an escape byte before its
    // pair could end a frame: longer frames take readFrame's way.
    constexpr size_t kFastLimit = kMaxRxFrame - 16;
    if (src.startTaken_) return readFrame(src, buffer, count);
    const uint8_t* const e = src.end_;
    const uint8_t* p = src.cur_;
    const void* found = p == e ? nullptr : std::memchr(p, kStart, size_t(e - p));
    if (!found) {
        // Hunting through the whole window: readFrame would pass over it byte by byte.
        src.cur_ = e;
        return readFrame(src, buffer, count);
    }
    const auto* start = static_cast<const uint8_t*>(found);
    const uint8_t* q = start + 1;
    size_t index = 1;
    buffer[0] = kStart;
    for (;;) {
        if (e - q >= 8 && index + 8 <= kFastLimit) {
            // Eight bytes copied at once; the ordinary ones before the first reserved byte
            // count (the lowest flag of the zero-byte test is always a true one).
            uint64_t x;
            std::memcpy(&x, q, 8);
            if constexpr (std::endian::native == std::endian::big) x = __builtin_bswap64(x);
            const uint64_t found = reservedBytes(x);
            std::memcpy(buffer + index, q, 8);
            if (found == 0) {
                q += 8;
                index += 8;
                continue;
            }
            const auto ordinary = size_t(std::countr_zero(found) >> 3);
            q += ordinary;
            index += ordinary;
        } else {
            if (q == e || index >= kFastLimit) break;
            if (!isReserved(*q)) {
                buffer[index++] = *q++;
                continue;
            }
        }
        const uint8_t b = *q; // a reserved byte
        if (b == kEscape) {
            if (e - q < 2 || isReserved(q[1])) break;
            buffer[index++] = uint8_t(q[1] + 0x80);
            q += 2;
        } else if (b == kEnd) {
            buffer[index] = kEnd;
            count = uint16_t(index + 1);
            src.cur_ = q + 1;
            return checkFrame(buffer, index + 1);
        } else if (b == kStart) {
            break;
        } else {
            buffer[index++] = b; // 0x83..0x87 outside an escape are kept as they are
            ++q;
        }
    }
    // The bytes in front of the frame's start hold no 0x81: readFrame would have passed them.
    src.cur_ = start;
    return readFrame(src, buffer, count);
}

} // namespace vx
