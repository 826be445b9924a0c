// The generic packet: any Set, Query or System command composed from a code, a subcode, an
// optional index and hexadecimal data, or a raw frame typed byte by byte (a VEXOR frame body or
// a monitor frame). The "Send Generic Packet" window and `vexor send` both build their frames
// and match the receiver's answers here, so the two send the same bytes and agree on what
// answers a command.
//
// Input is read strictly: a hexadecimal field or data token is 1 or 2 hexadecimal digits with
// an optional 0x prefix and nothing else (no sign, no trailing text). A frame that would not fit
// its 128-byte buffer is refused before anything is sent.
#pragma once

#include "link/catalogue.h"
#include "link/records.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vx {

// The command type: the values 1 to 3 are also the VEXOR command bytes sent.
enum class GenericType : uint8_t {
    None = 0,
    Set = 1,
    Query = 2,
    System = 3,
    RawVexor = 4,   // 0x81, the typed bytes unescaped, checksum, 0x82
    RawMonitor = 5, // 0x02 0x00, command byte, length, data, sum, 0x03
};

// Most data bytes one command carries.
inline constexpr size_t kGenericMaxData = 128;
// Every frame of the generic packet is built in a buffer of this size.
inline constexpr size_t kGenericFrameBuffer = 128;

// The texts of the input errors (caption "Error").
inline constexpr std::string_view kErrNoCommand = "No Command Code selected.";
inline constexpr std::string_view kErrCode = "Error with Parser Code.";
inline constexpr std::string_view kErrSubcode = "Error with Parser Subcode.";
inline constexpr std::string_view kErrIndex = "Error with Index.";
inline constexpr std::string_view kErrData = "Error in data to set";
inline constexpr std::string_view kErrSize = "Size of data is greater than 128 bytes.";
inline constexpr std::string_view kErrHeaderByte =
    "Error in data to set: the command byte, code and subcode cannot be 0x80, 0x81 or 0x82 "
    "(they would be read as frame control bytes).";

// A hexadecimal byte: optional blanks around, an optional 0x prefix, 1 or 2 hexadecimal digits.
std::optional<uint8_t> parseHexByte(std::string_view text);

// Splits text into tokens at blanks, tabs, carriage returns and line feeds and reads each as a
// hexadecimal byte into out. Returns an empty string, or the error text: kErrSize before a
// token when kGenericMaxData bytes are already stored, kErrData for a token that is not a
// hexadecimal byte.
std::string parseHexData(std::string_view text, std::vector<uint8_t>& out);

// What the window (or the command line) has stored: the command type, code, subcode, index
// (kNoIndex = none; 0xFF and subcode 0xFF are wildcards when answers are matched) and the data.
struct GenericCommand {
    GenericType type = GenericType::None;
    uint8_t code = 0;
    uint8_t subcode = 0;
    uint8_t index = 0;
    std::vector<uint8_t> data;
};

// The texts of the window's input fields.
struct GenericFields {
    std::string_view code;
    std::string_view subcode;
    std::string_view index;
    std::string_view data;
};

// Reads the fields the type uses into cmd, in order, stopping at the first failure; returns
// the error text or an empty string. Fields read before a failing one stay stored, as the
// window keeps them.
//   Set: code (at most 0x7F), subcode, index (blank: none), data.
//   Query: code, subcode, index; no data.
//   System: code only; index none, no data; the subcode is left as it was.
//   RawVexor, RawMonitor: data only (at least one byte); the second typed byte becomes the code
//   and the third the subcode (used to match replies). In RawVexor the first three typed bytes
//   (command byte, code, subcode) must not be 0x80..0x82.
std::string readGenericInput(GenericCommand& cmd, GenericType type, const GenericFields& fields);

// The frame the command sends, built in a 128-byte buffer; empty when it does not fit.
//   Set, Query, System: 0x81, command byte, code; the subcode except for System; the index
//   unless it is kNoIndex; the data; all but the first three escaped; checksum; 0x82.
//   RawVexor: 0x81, the data exactly as typed, escaped checksum, 0x82.
//   RawMonitor: data[0] is the monitor command byte, the rest its data.
std::vector<uint8_t> buildGenericFrame(const GenericCommand& cmd);

// The Response line of a received packet, or nothing when it does not answer cmd: h1 must
// equal the code and h2 the subcode (any h2 when the subcode is 0xFF). The line holds each byte
// as "%02X ": for RawVexor h1, h2 and the payload; otherwise the payload, without its first byte
// (the echoed index) when an index was sent.
std::optional<std::string> replyLine(const GenericCommand& cmd, uint8_t h1, uint8_t h2,
                                     const uint8_t* payload, size_t length);

enum class AckVerdict { NoMatch, Success, Failure };

// Whether an acknowledgement (h2 = the acknowledged command byte) answers cmd. Only an
// acknowledgement of the command type itself matches (raw sends never do). Set and Query: code
// and subcode equal, and the index equal unless the stored index is none or 0xFF. System: the
// code equal. Result 0 is a success.
AckVerdict matchAck(const GenericCommand& cmd, uint8_t command, const AckRecord& ack);
AckVerdict matchSysAck(const GenericCommand& cmd, const SysAckRecord& ack);

// "Received reply status: N", shown for a refused System command.
std::string sysStatusLine(uint8_t result);

// What a command-line send waits for after one command. A Set or System command is answered by
// its acknowledgement; a Query by its reply and its acknowledgement (in either order); a raw
// VEXOR frame like the command its first typed byte names (1, 2 or 3, with the code and subcode
// typed after it), or else by a reply alone. Every reply that matches before the end is an
// answer (a series of reports).
class CommandWait {
public:
    // AckedNoReply: a Query (or a frame answered by a reply) acknowledged with result 0 whose
    // reply did not come: what was asked for is missing, so it is no success.
    enum class Outcome { Waiting, Success, Refused, TimedOut, AckedNoReply };

    explicit CommandWait(const GenericCommand& cmd);

    // A received packet other than an acknowledgement: true when it is a reply to print.
    bool packet(uint8_t h1, uint8_t h2, const uint8_t* payload, size_t length);
    // An acknowledgement (command = its subcode): true when it answers the command.
    bool ack(uint8_t command, const AckRecord& a);
    bool sysAck(const SysAckRecord& a);

    Outcome outcome() const;
    // The outcome when the time is up: a reply that came counts without its acknowledgement;
    // an acknowledgement without the reply it promised is AckedNoReply.
    Outcome atTimeout() const;

private:
    GenericCommand reply_; // what replies are matched against
    GenericCommand acked_; // what acknowledgements are matched against (type None: none)
    bool wantsReply_ = false;
    bool replied_ = false;
    AckVerdict ack_ = AckVerdict::NoMatch;
};

} // namespace vx
