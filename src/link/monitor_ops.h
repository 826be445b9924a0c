// The receiver's monitor mode: monitor frames, their senders, and the exchanges that read the
// link directly (acknowledge bytes, memory reads) while the receive worker is paused.
//
// Monitor frame on the wire, never escaped:
//   0x02, 0x00, command byte, length n, n data bytes, 8-bit sum of command + length + data, 0x03
// Its length is n + 6; n is one byte, so a frame carries at most 255 data bytes. Data that does
// not fit the length byte is refused with -1 and nothing is sent. A monitor reply has the same
// form, its data beginning at offset 4.
#pragma once

#include "link/framing.h"
#include "link/paced_script.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vx {

inline constexpr uint8_t kMonitorStx = 0x02;
inline constexpr uint8_t kMonitorEtx = 0x03;
inline constexpr uint8_t kMonitorAck = 0x06;  // command accepted
inline constexpr uint8_t kMonitorNak = 0x15;  // command refused
inline constexpr uint8_t kMonitorWake = 0x05; // sent five times, unframed, by sendWakeBytes

inline constexpr size_t kMonitorOverhead = 6;
inline constexpr size_t kMaxMonitorData = 255;
inline constexpr size_t kMonitorFrameSize = kMaxMonitorData + kMonitorOverhead; // 261

// Monitor command bytes.
inline constexpr uint8_t kMonCustomerData = 0x7D;
inline constexpr uint8_t kMonReadMemory = 0x80;
inline constexpr uint8_t kMonWriteMemory = 0x81;
inline constexpr uint8_t kMonCommand82 = 0x82;
inline constexpr uint8_t kMonCommand83 = 0x83;
inline constexpr uint8_t kMonRamTest = 0x85;
inline constexpr uint8_t kMonCommand87 = 0x87;
inline constexpr uint8_t kMonRomTest = 0x88;
inline constexpr uint8_t kMonSetConfig = 0x8A;
inline constexpr uint8_t kMonCommand8B = 0x8B;
inline constexpr uint8_t kMonRestart = 0x8C;
inline constexpr uint8_t kMonSetHardwareId = 0x8D;
inline constexpr uint8_t kMonCommand8E = 0x8E;

// Largest payloads that still fit the length byte.
inline constexpr size_t kMaxCustomerDataBytes = kMaxMonitorData - 1; // after the block byte
inline constexpr size_t kMaxWriteMemoryBytes = kMaxMonitorData - 4;  // after the address

// A buffer that holds any monitor frame.
using MonitorFrameBuffer = std::array<uint8_t, kMonitorFrameSize>;

// Fills positions 0 and 1 (0x02 0x00), the checksum at 4 + n and 0x03 at 5 + n of a frame
// whose command byte, length n and data the caller has put at positions 2, 3 and 4 onward, and
// sends its n + 6 bytes. -1 without sending when the buffer (capacity bytes) cannot hold n + 6.
int sendMonitorFrame(FrameSink& sink, uint8_t* frame, size_t capacity);
// Builds the frame for a command and its data and sends it; -1 without sending when the data
// exceed 255 bytes.
int sendMonitorFrame(FrameSink& sink, uint8_t command, std::span<const uint8_t> data = {});
// The finished frame's bytes; empty when the data exceed 255 bytes.
std::vector<uint8_t> buildMonitorFrame(uint8_t command, std::span<const uint8_t> data = {});

// True when reply holds a well-formed monitor reply carrying exactly count data bytes:
// 0x02 0x00 at the start, length byte = count, the checksum over command, length and data at
// 4 + count, and 0x03 at 5 + count. reply.size() must be at least count + 6.
bool checkMonitorReply(std::span<const uint8_t> reply, uint8_t count);

// The product information record written with monitorSetConfig.
inline constexpr size_t kMaxProductName = 16;
struct ProductConfig {
    uint32_t serialNumber = 0;
    uint8_t date1 = 0;       // first number of the product date (12 in "12/31/2007")
    uint8_t date2 = 0;       // second number (31 in "12/31/2007")
    uint16_t year = 0;       // third number (2007)
    std::string productName; // at most 16 characters; ends at the first zero if any
};

// Monitor senders. Each returns the sink's result, or -1 without sending when its data would
// not fit the frame.
//
// 0x7D: block number, then the block's bytes (at most 254).
int monitorCustomerData(FrameSink& sink, uint8_t block, std::span<const uint8_t> bytes);
// 0x80: the address most significant byte first, then the count (the request of a memory read;
// monitorReadMemory below also reads the reply).
int monitorReadMemoryRequest(FrameSink& sink, uint32_t address, uint8_t count);
// 0x81: the address most significant byte first, then the bytes to write (at most 251).
int monitorWriteMemory(FrameSink& sink, uint32_t address, std::span<const uint8_t> bytes);
int monitorCommand82(FrameSink& sink); // 0x82 with 00 00 08 00
int monitorCommand83(FrameSink& sink);
int monitorRamTest(FrameSink& sink); // 0x85
int monitorCommand87(FrameSink& sink);
int monitorRomTest(FrameSink& sink); // 0x88
// 0x8A: serial number (least significant byte first), date2, date1, year (low byte first), the
// name's characters, and 0xFF when their number is odd. A name longer than 16 characters does
// not fit the record and is refused with -1.
int monitorSetConfig(FrameSink& sink, const ProductConfig& config);
// 0x8B: two 32-bit values, each most significant byte first (flash upload: length, address).
int monitorCommand8B(FrameSink& sink, uint32_t first, uint32_t second);
int monitorRestart(FrameSink& sink); // 0x8C
// 0x8D: the text's characters up to its first zero, then 0xFF when their number is odd.
int monitorSetHardwareId(FrameSink& sink, std::string_view hardwareId);
int monitorCommand8E(FrameSink& sink);

// The link as the monitor exchanges see it while the receive worker is paused: whole writes
// through sendFrame, unlocked single reads, a purge, and waits. The serial link implements it;
// tests script it.
class MonitorLink : public FrameSink, public Sleeper {
public:
    // Reads up to count bytes that are waiting; returns how many were read (0 when none, a
    // negative value when the link is not running, treated like none).
    virtual int rawRead(uint8_t* buf, int count) = 0;
    // Empties the receive buffer, then the transmit buffer.
    virtual void purgeLink() = 0;
    // Waits on the calling thread; real sleep unless overridden.
    void sleepMs(int ms) override;
};

inline constexpr int kMonitorPollMs = 10;     // one poll of the acknowledge wait / reply read
inline constexpr int kReplyByteTries = 10;    // tries per reply byte
inline constexpr int kReadMemoryAttempts = 5; // attempts of monitorReadMemory

// Writes five 0x05 bytes through sendFrame, unframed. Returns the sink's result.
int sendWakeBytes(MonitorLink& link);
// Polls for one byte every 10 ms, taking 10 ms from the allowance each poll, until the
// allowance is used up. True on 0x06; false on 0x15 or when the allowance runs out. Other bytes
// are skipped.
bool waitMonitorAck(MonitorLink& link, int allowanceMs);
// Reads count + 6 bytes one at a time into buffer; each byte is tried up to 10 times with a
// 10 ms pause after each empty try. False when a byte does not come, or when buffer is smaller
// than count + 6 (nothing is read then).
bool readMonitorReply(MonitorLink& link, std::span<uint8_t> buffer, uint8_t count);
// Picks the answer to one monitor command out of the bytes the line carries. A receiver that
// is not in its monitor keeps sending VEXOR reports, whose payloads hold 0x06, 0x15 and 0x02
// bytes as often as any other: only a byte outside every VEXOR frame (cut as the deframer cuts
// them: from a 0x81 to its 0x82, or to the deframer's length limit) can answer.
//
// The reader starts not knowing where the line is: its first bytes may lie in the middle of a
// frame. It knows once it has seen a 0x81 or a 0x82, or once the caller says the line was quiet
// long enough for no frame to be in progress (lineQuiet). Bytes received before the request
// was written go to observe() (followed, never an answer); the bytes after it to feed().
class MonitorAnswerReader {
public:
    enum class Answer { None, Ack, Nak, Reply };

    void observe(uint8_t b) { (void)track(b); }
    // The next byte after the request; Reply when reply() now holds a whole reply frame (its
    // checksum not checked: checkMonitorReply does that).
    Answer feed(uint8_t b);
    void lineQuiet() { synced_ = true; }
    // True once the reader knows whether the line is inside a VEXOR frame.
    bool synced() const { return synced_; }
    const std::vector<uint8_t>& reply() const { return reply_; }
    // VEXOR frames seen whole (0x81 to 0x82): the receiver speaks its normal protocol.
    uint64_t vexorFrames() const { return vexorFrames_; }

private:
    // Follows the VEXOR framing; true when b belongs to a frame (or to a part of the line
    // not known yet).
    bool track(uint8_t b);

    bool synced_ = false;
    bool inFrame_ = false;
    bool escaped_ = false;
    size_t frameLength_ = 0; // as the deframer counts: an escape pair counts once
    uint64_t vexorFrames_ = 0;
    std::vector<uint8_t> reply_;
};

// Reads count bytes of receiver memory at address into destination: up to 5 attempts, each
// purgeLink, the 0x80 request, readMonitorReply(count) and a check of the reply (header,
// length, checksum, end byte); a reply that fails the check, or a request the sink refused,
// counts as a failed attempt. On the first good reply its count data bytes are copied and true
// is returned; false after five failed attempts, or when destination is smaller than count
// (nothing is sent then).
bool monitorReadMemory(MonitorLink& link, uint32_t address, uint8_t count,
                       std::span<uint8_t> destination);

} // namespace vx
