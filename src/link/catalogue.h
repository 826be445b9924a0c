// The command catalogue: every VEXOR command the console sends, one small sender each.
//
// A sender takes the values that vary, builds the complete frame in a 128-byte TxFrame and
// hands it to a FrameSink (the serial link's sendFrame, or a recorder in tests). It returns
// what the sink returns: 0 when the frame was written, -1 when the link is not running or the
// write failed. A frame that would not fit the 128-byte buffer is refused with -1 and nothing
// is sent.
//
// Commands that go out as several frames with pauses are also available as paced scripts
// (paced_script.h): the named sender runs the script blocking on the calling thread, a GUI
// caller runs the same script from timers.
//
// The monitor frames of the receiver's monitor mode are in monitor_ops.h.
#pragma once

#include "link/framing.h"
#include "link/paced_script.h"
#include "link/records.h"

#include <array>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace vx {

// ---------------------------------------------------------------------------------------------
// Frame building

// One Set, Query or System frame under construction in a 128-byte TxFrame. Values are added in
// wire order; every payload byte is escaped; multi-byte values are little-endian unless the
// method says otherwise.
class CommandFrame {
public:
    // Writes 0x81, the command byte and the code.
    CommandFrame(uint8_t command, uint8_t code);
    // The same followed by the subcode, the first payload byte of a Set or Query.
    CommandFrame(uint8_t command, uint8_t code, uint8_t subcode);
    // The encoder points into this object's own buffer: no copies.
    CommandFrame(const CommandFrame&) = delete;
    CommandFrame& operator=(const CommandFrame&) = delete;

    CommandFrame& byte(uint8_t b);
    CommandFrame& word(uint16_t v);
    CommandFrame& dword(uint32_t v);
    CommandFrame& dwordMsbFirst(uint32_t v);
    CommandFrame& single(float f);
    CommandFrame& bytes(std::span<const uint8_t> b);

    // Appends checksum and end byte (once). False when the frame did not fit 128 bytes.
    bool finish();
    // Finishes and sends; -1 without sending when the frame did not fit.
    int send(FrameSink& sink);
    // Finishes and returns the frame's bytes; empty when it did not fit.
    std::vector<uint8_t> toBytes();

private:
    TxFrame frame_;
    bool finished_ = false;
    bool fits_ = false;
};

// ---------------------------------------------------------------------------------------------
// Generic builders

// Query: 0x81, 0x02, code, subcode, checksum, 0x82.
int sendQuery(FrameSink& sink, uint8_t code, uint8_t subcode);
// Query with the payload subcode, second.
int sendQuery2(FrameSink& sink, uint8_t code, uint8_t subcode, uint8_t second);
// n Query frames with subcodes 1..n in ascending order, back to back. n = 0 sends nothing and
// returns kNothingSent (1); otherwise the last frame's result.
int sendQueryRange(FrameSink& sink, uint8_t code, uint8_t n);
// System: 0x81, 0x03, code, checksum, 0x82.
int sendSystem(FrameSink& sink, uint8_t code);

// No index byte: sendCommand leaves the index out when it equals this value.
inline constexpr uint8_t kNoIndex = 0x80;

// Generic frame: 0x81, command byte, code; the subcode unless the command byte is 0x03 (System);
// the index unless it is kNoIndex; then the data bytes; all escaped. Refused with -1 (nothing
// sent) when the escaped frame would exceed 128 bytes.
int sendCommand(FrameSink& sink, uint8_t command, uint8_t code, uint8_t subcode, uint8_t index,
                std::span<const uint8_t> data = {});
// The same with the data as a counted byte string: countedData[0] is the number of data bytes
// that follow it. A null pointer means no data. (A separate name, not an overload: a plain
// array argument would otherwise bind to the pointer and be read as a counted string.)
int sendCommandCounted(FrameSink& sink, uint8_t command, uint8_t code, uint8_t subcode,
                       uint8_t index, const uint8_t* countedData);

// ---------------------------------------------------------------------------------------------
// System commands

inline constexpr uint8_t kSysHotReset = 0x01;
inline constexpr uint8_t kSysColdReset = 0x02;
inline constexpr uint8_t kSysForceToMonitor = 0x03;
inline constexpr uint8_t kSysShutDown = 0x04;
inline constexpr uint8_t kSysWarmReset = 0x05;
inline constexpr uint8_t kSysClearOscillator = 0x06;
inline constexpr uint8_t kSysClearFlashAndRam = 0x07;
inline constexpr uint8_t kSysClearPosition = 0x08;
inline constexpr uint8_t kSysWriteBbramToFlash = 0x09;
inline constexpr uint8_t kSysIoPassThrough = 0x0A;

// A System command as the main menu offers it.
struct SystemCommand {
    uint8_t code;
    std::string_view caption; // menu caption, '&' marks the accelerator
};

// The System commands in menu order (codes 0x01..0x0A).
inline constexpr std::array<SystemCommand, 10> kSystemCommands{{
    {kSysHotReset, "Hot Reset (0301)"},
    {kSysColdReset, "&Cold Reset (0302)"},
    {kSysForceToMonitor, "Force to Monitor (0303)"},
    {kSysShutDown, "Shut Down (0304)"},
    {kSysWarmReset, "&Warm Reset (0305)"},
    {kSysClearOscillator, "Clear Oscillator, Reset (0306)"},
    {kSysClearFlashAndRam, "Clear Flash and RAM, Reset (0307)"},
    {kSysClearPosition, "Clear Position, Reset (0308)"},
    {kSysWriteBbramToFlash, "Write BBRAM to Flash, Reset (0309)"},
    {kSysIoPassThrough, "Io Pass-Through Mode (030A)"},
}};

// Menu caption of a System code; empty for a code outside the catalogue.
std::string_view systemCommandCaption(uint8_t code);

// ---------------------------------------------------------------------------------------------
// Value records of the multi-field Sets

// 24 almanac bytes, passed through unchanged.
using AlmanacBlock = std::array<uint8_t, 24>;

// Almanac page of one satellite (2812).
struct AlmanacSvPage {
    uint8_t sv = 0;     // 1..32
    uint8_t status = 0; // source in bits 0..2
    uint8_t extra = 0;  // the byte after the status
    AlmanacBlock data{};
};

// Almanac page 2813: status, further byte, two blocks.
struct AlmanacPage13 {
    uint8_t status = 0;
    uint8_t extra = 0;
    AlmanacBlock first{};
    AlmanacBlock second{};
};

// Almanac page 2814 (ION/UTC): status, further byte, one block.
struct AlmanacPage14 {
    uint8_t status = 0;
    uint8_t extra = 0;
    AlmanacBlock data{};
};

// The initialization data 2901..2908 are Set from their records: the layouts of
// link/layouts.h give their bytes.
using InitTime = InitTimeRecord;           // 2901
using InitPosition = InitLatLonRecord;     // 2902; angles in 2^-31 semicircle
using InitAltitude = InitAltitudeRecord;   // 2903, metres
using InitFrequency = InitFrequencyRecord; // 2904, PPB
using InitHeading = InitHeadingRecord;     // 2905, 2^-15 semicircle
using ShortMapMatch = MapMatchRecord;      // 2907
using TachoData = TachoDataRecord;         // 2908

// The output message whose triggers 2A..2D configure.
struct OutputTarget {
    uint8_t code = 0;
    uint8_t subcode = 0;
};

// Minimum and maximum of an interval trigger (2B, 2C, 2D), in the receiver's units.
struct IntervalTrigger {
    uint32_t minimum = 0;
    uint32_t maximum = 0;
};

// A DR calibration Set (code 0x36): subcode 0x03 ZRO, 0x04 gyro linearity, 0x05 direction
// switch, 0x07 DPP (dpp_index 0, 1 or 2); the status carries the source in bits 0..1 (0x05:
// the sense in bit 7). Fields the subcode's layout does not carry are not sent.
using DrCalibration = DrCalibrationRecord;

// 707F diagnostic output bitmap, one bit per 0x70 subcode.
using DiagOutputMask = std::array<uint8_t, 16>;

// ---------------------------------------------------------------------------------------------
// Query senders (command byte 0x02)

inline constexpr int kVersionPauseMs = 50;
inline constexpr int kGpsConfigPauseMs = 50;

// 1101, 1102, 1103 with 50 ms after each of the first two.
PacedScript queryVersionScript();
int queryVersion(FrameSink& sink, Sleeper& sleeper);
int queryProductInfo2(FrameSink& sink); // 1202
int queryProductInfo3(FrameSink& sink); // 1203
int queryProductInfo4(FrameSink& sink); // 1204
// n Query frames with subcodes 1..n, no pauses.
PacedScript queryRangeScript(uint8_t code, uint8_t n);
PacedScript queryGpsConfigScript(); // 2401..2408, back to back
int queryGpsConfig(FrameSink& sink);
PacedScript queryKalmanScript(); // 2501..2523, back to back
int queryKalman(FrameSink& sink);
// 2812 with the satellite number; 2813 and 2814 without payload (sv is then not sent).
int queryAlmanac(FrameSink& sink, uint8_t subcode, uint8_t sv = 0);
// 36xx; subcode 0x07 carries dppIndex as a second byte (0xFF = all three indexes).
int queryDrCalibration(FrameSink& sink, uint8_t subcode, uint8_t dppIndex = 0xFF);

// ---------------------------------------------------------------------------------------------
// Set senders (command byte 0x01)

int clearEventLog(FrameSink& sink, uint8_t value = 0xFF); // Set 1401
int setDrEngineRate(FrameSink& sink, uint8_t rate);       // Set 2101
// Set 2202: interval, then the message mask most significant byte first.
int setNmeaOutput(FrameSink& sink, uint8_t interval, uint32_t messageMask);

// The settings groups are Set from their records (rec[subcode], settings.h): one frame per
// subcode in table order. A record holding a value that does not fit its wire type (256 for a
// byte, 1.5 for a word, a negative count, a non-finite float) is refused as a whole: nothing
// is sent and the result is -1.

// 2401..2408: eight frames, 50 ms after each of the first seven.
PacedScript setGpsConfigScript(const GpsConfigRecord& config);
int setGpsConfig(FrameSink& sink, const GpsConfigRecord& config, Sleeper& sleeper);
// 2501..2523: 23 frames back to back.
PacedScript setKalmanScript(const KalmanRecord& params);
int setKalman(FrameSink& sink, const KalmanRecord& params);

// Set 27xx: subcodes 0x01..0x1B carry a signed dword, 0x1C..0x70 a float. A value of the other
// kind for the subcode, a subcode outside 0x01..0x70 or a non-finite float is refused with -1
// and nothing is sent.
int setDrFilter(FrameSink& sink, uint8_t subcode, int32_t value);
int setDrFilter(FrameSink& sink, uint8_t subcode, float value);

int uploadAlmanac12(FrameSink& sink, const AlmanacSvPage& page);
int uploadAlmanac13(FrameSink& sink, const AlmanacPage13& page);
int uploadAlmanac14(FrameSink& sink, const AlmanacPage14& page);

// Set 2901..2908 (a 2901 with status 0xFF sets the receiver's real-time clock).
int setInit1(FrameSink& sink, const InitTime& v);
int setInit2(FrameSink& sink, const InitPosition& v); // refused (-1) for a non-finite correlation
int setInit3(FrameSink& sink, const InitAltitude& v);
int setInit4(FrameSink& sink, const InitFrequency& v);
int setInit5(FrameSink& sink, const InitHeading& v);
int setShortMapMatch(FrameSink& sink, const ShortMapMatch& v); // Set 2907
int setTacho(FrameSink& sink, const TachoData& v);             // Set 2908

int setEventOutput(FrameSink& sink, OutputTarget target, uint32_t eventMask);        // 2A
int setTimeOutput(FrameSink& sink, OutputTarget target, IntervalTrigger trigger);    // 2B
int setDistOutput(FrameSink& sink, OutputTarget target, IntervalTrigger trigger);    // 2C
int setHeadingOutput(FrameSink& sink, OutputTarget target, IntervalTrigger trigger); // 2D

int setSoftEventMask(FrameSink& sink, uint8_t eventCode, uint8_t mask); // Set 2E01
// Set 2F02 / 2F04 / 2F06 with a word (0 stops the test).
int setTestControl(FrameSink& sink, uint8_t subcode, uint16_t value);
// Set 36xx: subcode; for 0x07 the DPP index; the status; then for 0x05 the confidence speed,
// otherwise value and accuracy as floats. Refused (-1) for a subcode without a Set (0x08 and
// those the receiver does not know) and for a value or accuracy that is not finite.
int setDrCalibration(FrameSink& sink, const DrCalibration& v);
int setDiagOutput(FrameSink& sink, const DiagOutputMask& bitmap); // Set 707F

} // namespace vx
