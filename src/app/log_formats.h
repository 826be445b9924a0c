// The data logs' text formats and the packet classification of their binary forms. No Qt: the
// data logging window and `vexor log` write their files through these functions, so both
// produce the same bytes from the same stream.
//
// Text logs
// - The 5 Hz log: one header line, then one line per 3002 report (fastFixLogLine).
// - The 1 Hz log: one header line made of the headers of the selected packets, then one line
//   per second, assembled by OneHzLine from 3101, 3201, twelve 3301 and the 36xx reports.
// - Lines are built in std::string (a calibration slot of two large floats alone is over 100
//   characters) and end with CR LF (kLogLineEnd) on every platform.
// - Numbers are formatted exactly as the C formats "%u", "%02d", "%.9f", "%f", ... would
//   format them, without going through printf (a day-long recording holds millions of lines).
//   Latitudes and longitudes convert to radians with the true pi.
//
// Binary logs
// - FrameClassifier follows the raw byte stream and hands on the bytes of every frame, from
//   its 0x81 to its 0x82, with the destination chosen by the frame's code (the byte after its
//   0x81). Bytes outside frames (line noise) go to no packet log, and never hide the frame
//   that follows them. The way the stream is cut into chunks does not matter.
#pragma once

#include "link/framing.h"
#include "link/records.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace vx {

inline constexpr std::string_view kLogLineEnd = "\r\n";

// ---- Number formatting ----------------------------------------------------------------------

// Appends v as "%u" / "%d" would, zero-padded to at least width digits ("%02d", "%04d").
void appendUnsigned(std::string& out, uint64_t v, int width = 0);
void appendSigned(std::string& out, int64_t v, int width = 0);
// Appends v as "%.<precision>f" would (also for nan and inf).
void appendFixed(std::string& out, double v, int precision);
// Appends v as "%02X" would.
void appendHex2(std::string& out, uint8_t v);

// A latitude or longitude in units of pi / 2^31 radians, in radians (the true pi).
double radiansOf(int32_t semicircleUnits);

// ---- 5 Hz log ---------------------------------------------------------------------------------

// The header line of the 5 Hz text log (without its line end).
extern const std::string_view kFastFixLogHeader;
// The longest 5 Hz line, without its line end: every field at its widest (a gps age of 255,
// angles of -pi, counts of 2^32 - 1, 16-bit fields at -32768 or 65535) takes 184 characters.
inline constexpr size_t kFastFixLineMaxChars = 184;
// The memory putFastFixLogLine may write: the longest line and a few bytes after it (its
// numbers are stored eight bytes at a time; what follows the line's end is left undefined).
inline constexpr size_t kFastFixLineRoom = kFastFixLineMaxChars + 8;
// Writes the 5 Hz line of one 3002 report (without its line end) at p, which must have room
// for kFastFixLineRoom bytes, and returns the line's end.
char* putFastFixLogLine(char* p, const DrDataRecord& r);
// Appends the 5 Hz line of one 3002 report (without its line end).
void appendFastFixLogLine(std::string& out, const DrDataRecord& r);

// ---- 1 Hz log ---------------------------------------------------------------------------------

// The packets a 1 Hz log takes.
struct OneHzSelection {
    bool fix3101 = false;
    bool time3201 = false;
    bool channels3301 = false;
    bool calibration36 = false;
    bool any() const { return fix3101 || time3201 || channels3301 || calibration36; }
    friend bool operator==(const OneHzSelection&, const OneHzSelection&) = default;
};

// The header texts of the four packets, and the header line of a selection (without its line
// end).
extern const std::string_view kFix3101Header;
extern const std::string_view kTime3201Header;
extern const std::string_view kChannel3301Header; // one channel; the line repeats it 12 times
extern const std::string_view kCalibration36Header;
std::string oneHzLogHeader(const OneHzSelection& selection);

// The parts of a 1 Hz line.
void appendFix3101Part(std::string& out, const GpsFixRecord& r);
void appendTime3201Part(std::string& out, const TimeConstellationRecord& r);
void appendChannel3301Slot(std::string& out, const ChannelStatusRecord& r);

// The calibration slots, in line order: 3603, 3604, 3605, 3607 index 0, 1, 2, 3608.
inline constexpr int kCalibrationSlots = 7;
// The slot a 36xx report fills, or -1 when it fills none (a subcode other than 3, 4, 5, 7, 8,
// or a 3607 whose index is not 0, 1 or 2).
int calibrationSlotOf(const DrCalibrationRecord& r);
// The text of a slot before any report filled it (",,,,," or ",,,,,,").
std::string_view emptyCalibrationSlot(int slot);
// Appends the slot text of a 36xx report that fills a slot.
void appendCalibrationSlot(std::string& out, const DrCalibrationRecord& r);

// Assembles the 1 Hz lines: each report of a selected packet fills its part; a line is
// complete when the selected 3101 and 3201 parts are there and all twelve channel slots are
// filled (the calibration slots never hold a line back). Only 3101 (subcode 1) fills the fix
// part and only 3301 (subcode 1) a channel slot; a 13th channel report of a line is ignored.
class OneHzLine {
public:
    static constexpr int kChannelSlots = 12;

    // Starts over with a selection: every part empty.
    void start(const OneHzSelection& selection);
    const OneHzSelection& selection() const { return sel_; }

    // Each returns true when the report was taken and the line is now complete (takeLine
    // next). A report that is not selected, or that fills nothing, changes nothing.
    bool addFix(uint8_t subcode, const GpsFixRecord& r);
    bool addTime(const TimeConstellationRecord& r);
    bool addChannel(uint8_t subcode, const ChannelStatusRecord& r);
    bool addCalibration(const DrCalibrationRecord& r);

    // Appends the complete line (without its line end) and empties every part for the next.
    void takeLine(std::string& out);

    int channelSlots() const { return channelSlots_; }
    bool haveFix() const { return have3101_; }
    bool haveTime() const { return have3201_; }

private:
    bool complete() const;
    void emptyParts();

    // The parts are kept as records and turned into text only when a line is taken: most
    // reports are replaced by the next of their kind before a line completes.
    OneHzSelection sel_;
    bool have3101_ = false;
    bool have3201_ = false;
    int channelSlots_ = 0;
    uint8_t calibrationFilled_ = 0; // bit per calibration slot
    GpsFixRecord fix_;
    TimeConstellationRecord time_;
    std::array<ChannelStatusRecord, kChannelSlots> channels_;
    std::array<DrCalibrationRecord, kCalibrationSlots> calibration_;
};

// ---- Raw data view ----------------------------------------------------------------------------

// The raw data view's line of one tap chunk: every byte as "%02X " (two upper-case digits and
// a blank: 720 characters for a chunk of 240), or with text on, the chunk's bytes up to the
// first zero byte.
void appendRawChunkLine(std::string& out, const uint8_t* bytes, size_t count, bool text);

// ---- Binary packet logs -----------------------------------------------------------------------

// Follows a raw byte stream and hands on the bytes of each frame to the destination its code
// selects. decide(code) -> int: the destination of a frame with that code (>= 0), or -1 for
// none; it is asked once per frame, when the code byte arrives. emit(dest, bytes, n): frame
// bytes for dest, in order, the 0x81 included; a frame ends with its 0x82, where the next
// 0x81 begins another, or at the byte with which it reaches the deframer's length limit
// (kMaxRxFrame bytes, counted as the deframer counts them: an escape pair once). The
// deframer refuses such a frame there and hunts for the next 0x81; so does the classifier,
// and no run of bytes without a 0x82 puts more than a frame's length into a log.
class FrameClassifier {
public:
    template <class Decide, class Emit>
    void feed(const uint8_t* p, size_t n, Decide&& decide, Emit&& emit);
    // Forgets a frame in progress.
    void reset() {
        dest_ = -1;
        awaitingCode_ = false;
    }

private:
    // Counts the logged frame's bytes from p up to end, its 0x82 or the next 0x81; returns
    // where it stopped, or the byte after the one that made the frame too long (tooLong).
    const uint8_t* countFrameBytes(const uint8_t* p, const uint8_t* end, bool& tooLong);

    int dest_ = -1;             // destination of the frame whose bytes are passing, or -1
    bool awaitingCode_ = false; // a 0x81 came; its code byte has not
    bool escaped_ = false;      // the last byte of the logged frame was an escape
    size_t length_ = 0;         // bytes of the logged frame so far, as the deframer counts
};

template <class Decide, class Emit>
void FrameClassifier::feed(const uint8_t* p, size_t n, Decide&& decide, Emit&& emit) {
    static constexpr uint8_t kStartByte[1] = {0x81};
    const uint8_t* end = p + n;
    while (p < end) {
        if (awaitingCode_) {
            const uint8_t code = *p;
            if (code == 0x81) { // a new start: wait for its code instead
                ++p;
                continue;
            }
            awaitingCode_ = false;
            dest_ = decide(code);
            length_ = 2;
            escaped_ = false;
            if (dest_ >= 0) {
                emit(dest_, kStartByte, size_t(1));
                emit(dest_, p, size_t(1));
            }
            if (code == 0x82) dest_ = -1;
            ++p;
            continue;
        }
        if (dest_ < 0) {
            // Outside a frame that is logged: only the next 0x81 matters.
            const void* s = std::memchr(p, 0x81, size_t(end - p));
            if (!s) return;
            p = static_cast<const uint8_t*>(s) + 1;
            awaitingCode_ = true;
            continue;
        }
        // Inside a logged frame: up to and with its 0x82, up to the next 0x81, or up to and
        // with the byte that makes it too long. While the frame cannot reach the limit (a byte
        // adds at most one to its length) its bytes are only scanned; they are counted when
        // the frame goes on past them.
        const uint8_t* const safe = p + std::min(size_t(end - p), kMaxRxFrame - 1 - length_);
        const uint8_t* q = p;
        while (q < safe && *q != 0x82 && *q != 0x81) ++q;
        if (q == safe) {
            bool tooLong = false;
            q = countFrameBytes(p, end, tooLong);
            if (tooLong) {
                emit(dest_, p, size_t(q - p));
                p = q;
                dest_ = -1;
                continue;
            }
            if (q == end) {
                emit(dest_, p, size_t(end - p));
                return;
            }
        }
        if (*q == 0x82) {
            emit(dest_, p, size_t(q + 1 - p));
            p = q + 1;
        } else {
            if (q > p) emit(dest_, p, size_t(q - p));
            p = q;
        }
        dest_ = -1;
    }
}

} // namespace vx
