// VEXOR framing: the packet encoder for outgoing frames, the little-endian payload
// readers, and the deframer that cuts a received byte stream into packets.
//
// Frame on the wire: 0x81, header 1, header 2, escaped payload, escaped checksum, 0x82.
// Bytes 0x80..0x87 inside payload and checksum are sent as 0x80, (b - 0x80).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace vx {

inline constexpr uint8_t kEscape = 0x80;
inline constexpr uint8_t kStart = 0x81;
inline constexpr uint8_t kEnd = 0x82;

inline constexpr uint8_t kCmdSet = 0x01;
inline constexpr uint8_t kCmdQuery = 0x02;
inline constexpr uint8_t kCmdSystem = 0x03;

// Outgoing VEXOR frames are built in buffers of this size (escaped form, start and end included).
inline constexpr size_t kTxFrameSize = 128;
// A received frame holds at most this many bytes after unescaping, start and end included.
inline constexpr size_t kMaxRxFrame = 240;
// Receive buffer size handed to readFrame.
inline constexpr size_t kRxBufferSize = 256;
inline constexpr size_t kMaxPayload = kMaxRxFrame - 5;

// Deframer result codes; 1, 2 and 4 may be combined.
inline constexpr int kFrameOk = 0;
inline constexpr int kFrameFormatError = 1;
inline constexpr int kFrameChecksumError = 2;
inline constexpr int kFrameLengthError = 4;
// Not deframer errors: the byte source ended (a finite file or memory buffer) or asked the
// reader to stop (the link is being stopped). The partial frame, if any, is dropped.
inline constexpr int kFrameEndOfStream = -2;
inline constexpr int kFrameStopped = -3;

inline bool isReserved(uint8_t b) {
    return b >= 0x80 && b <= 0x87;
}
// Escape, start and end: bytes that must never go out unescaped inside a frame.
inline bool isFramingByte(uint8_t b) {
    return b >= kEscape && b <= kEnd;
}

// Builds one escaped frame in a caller-owned buffer. Unlike a bare pointer-and-position
// encoder it knows the buffer's capacity: a byte that would not fit is not written and the
// frame is marked overflowed, so finishFrame fails instead of running past the buffer.
class PacketEncoder {
public:
    PacketEncoder(uint8_t* buffer, size_t capacity) : buf_(buffer), cap_(capacity) {}

    // A header byte of 0x80..0x82 (which would go out unescaped and split the frame) makes
    // the frame fail: finishFrame then returns false.
    void startFrame(uint8_t header1, uint8_t header2);
    // Writes only the start byte: the caller adds header and payload bytes with addRaw.
    void startRawFrame();
    void addByte(uint8_t b);
    void addWord(uint16_t v);
    void addDword(uint32_t v);
    void addFloat(float f);
    // Appends the checksum (escaped) and the end byte. Returns false when the frame did not fit.
    bool finishFrame();

    // Appends b exactly as given, without escaping (raw frames, where the caller supplies the
    // final bytes).
    void addRaw(uint8_t b);

    uint32_t position() const { return pos_; }
    // The frame did not fit, or its header bytes cannot be sent: it must not be sent.
    bool overflowed() const { return overflow_; }
    const uint8_t* data() const { return buf_; }

private:
    void put(uint8_t b);
    uint8_t* buf_;
    size_t cap_;
    uint32_t pos_ = 0;
    bool overflow_ = false;
};

// A fixed 128-byte frame with its encoder, the usual way to build a command.
class TxFrame {
public:
    TxFrame() : enc_(buf_, sizeof buf_) {}
    // The encoder points into this frame's own buffer, so a copy would write into the original.
    TxFrame(const TxFrame&) = delete;
    TxFrame& operator=(const TxFrame&) = delete;
    PacketEncoder& enc() { return enc_; }
    const uint8_t* data() const { return buf_; }
    uint32_t size() const { return enc_.position(); }

private:
    uint8_t buf_[kTxFrameSize] = {};
    PacketEncoder enc_;
};

// Where finished frames go: the serial link, or a recorder in tests and tools.
// sendFrame returns 0 when the frame was written, -1 when the link is not running or the
// write failed.
class FrameSink {
public:
    virtual ~FrameSink() = default;
    virtual int sendFrame(const uint8_t* bytes, uint16_t length) = 0;
};

// 0x81, the count bytes exactly as given, the escaped checksum and 0x82, handed to sendFrame.
// The caller supplies header bytes and payload in final form. A count that would not fit the
// 128-byte frame buffer (more than 124 bytes) is refused with -1 and nothing is sent.
int sendRawFrame(FrameSink& sink, const uint8_t* bytes, uint8_t count);
// Builds the raw frame without sending it; false when it does not fit.
bool buildRawFrame(TxFrame& out, const uint8_t* bytes, size_t count);

// Little-endian payload readers.
inline uint16_t readU16(const uint8_t* p) {
    return uint16_t(p[0] | (p[1] << 8));
}
inline uint32_t readU32(const uint8_t* p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
inline int16_t readI16(const uint8_t* p) {
    return int16_t(readU16(p));
}
inline int32_t readI32(const uint8_t* p) {
    return int32_t(readU32(p));
}
inline float readFloat(const uint8_t* p) {
    uint32_t u = readU32(p);
    float f;
    std::memcpy(&f, &u, 4);
    return f;
}
inline double readDouble(const uint8_t* p) {
    uint64_t u = uint64_t(readU32(p)) | (uint64_t(readU32(p + 4)) << 32);
    double d;
    std::memcpy(&d, &u, 8);
    return d;
}

// Result of the frame check over a stored frame of n bytes: 1 if it does not start with 0x81
// and end with 0x82, 2 if its 8-bit sum is not zero, else 0.
int checkFrame(const uint8_t* frame, size_t n);

// Where the deframer takes its bytes from: the serial link, a replay file, a memory buffer.
//
// readByte hands out one byte. Sources that hold a block of bytes in memory expose it through
// the window [cur_, end_) so that the common case costs no virtual call; when the window is
// empty, fetch() is asked for more.
class ByteSource {
public:
    // Results of readByte / fetch.
    static constexpr int kGot = 1;
    static constexpr int kNone = 0;        // nothing waiting now; try again after idleWait()
    static constexpr int kNotRunning = -1; // link not running: treated like kNone
    static constexpr int kEnd = -2;        // finite source exhausted
    static constexpr int kStop = -3;       // the reader is asked to stop

    virtual ~ByteSource() = default;

    int readByte(uint8_t& b) {
        if (cur_ != end_) {
            b = *cur_++;
            return kGot;
        }
        return fetch(b);
    }
    // Called by the deframer when no byte was waiting. The default sleeps 10 ms.
    virtual void idleWait();

protected:
    // Delivers one byte (kGot), or a status. A source may also refill [cur_, end_) and
    // return its first byte.
    virtual int fetch(uint8_t& b) = 0;

    const uint8_t* cur_ = nullptr;
    const uint8_t* end_ = nullptr;
    // Set by the deframer when it refused a frame at a start byte (an escape followed by
    // 0x81): that 0x81 has been taken from the source and begins the next frame. Sources that
    // count the bytes handed out leave it out of their count, so a reader that starts a new
    // source where the old one stopped reads the 0x81 again.
    bool startTaken_ = false;

private:
    friend class PacketDeframer; // walks the window with local pointers
};

// A byte source over a block of memory; ends at the end of the block.
class MemorySource : public ByteSource {
public:
    MemorySource(const uint8_t* data, size_t size) : begin_(data) {
        cur_ = data;
        end_ = data + size;
    }
    // Bytes handed out so far (how far the deframer got), without a start byte the deframer
    // has taken for the next frame.
    size_t consumed() const { return size_t(cur_ - begin_) - (startTaken_ ? 1 : 0); }

protected:
    int fetch(uint8_t&) override { return kEnd; }

private:
    const uint8_t* begin_;
};

// Cuts a byte stream into VEXOR packets.
class PacketDeframer {
public:
    // Collects one frame into buffer (at least 240 bytes). Returns a deframer result code
    // (0, or 1/2/4 combined) with count = bytes stored, or kFrameEndOfStream / kFrameStopped
    // when the source ended or asked to stop (count = bytes of the unfinished frame).
    // Each call hunts for a new 0x81, except after a frame refused because an escape was
    // followed by 0x81: that 0x81 starts the next frame (as a 0x81 inside a frame does), so
    // a bad escape never costs the frame behind it.
    static int readFrame(ByteSource& src, uint8_t* buffer, uint16_t& count);
    // The same frames, results and counts as readFrame, faster for sources that hold many
    // bytes in their window (a file read in blocks, memory): an ordinary frame that lies whole
    // in the window is cut eight bytes at a time. Anything else (a frame across the window's
    // end, a bad escape, a start inside a frame, a frame near the length limit) is left to
    // readFrame, from the frame's start.
    static int readFrameFast(ByteSource& src, uint8_t* buffer, uint16_t& count);
};

} // namespace vx
