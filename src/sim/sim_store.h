// The simulated receiver's battery-backed state: every setting a host can query and set, the
// learned DR calibration, the almanac and the two event logs.
//
// The whole store is one plain structure of integers, floats and doubles (the settings groups
// kept as the console's own settings records) with explicit padding, so it
// can be copied byte for byte into the simulated BBRAM (and from there saved, edited and
// uploaded by the console's flash tools) and read back from any bytes without undefined
// behaviour: nothing in it is a pointer, a bool or an enum.
#pragma once

#include "link/records.h"

#include <cstddef>
#include <cstdint>
#include <type_traits>

namespace vx::sim {

inline constexpr int kSoftLogSize = 32;  // entries kept in the soft event log
inline constexpr int kFatalLogSize = 16; // entries kept in the fatal error log
inline constexpr int kTriggerSlots = 64; // output trigger entries (codes 0x2A..0x2D)
inline constexpr int kAlmanacSvs = 32;

// One entry of the soft event or fatal error log, as a 1401 / 1402 reply carries it.
struct LogEntry {
    uint16_t year;
    uint8_t month; // first date number
    uint8_t day;   // second date number
    uint8_t hour, minute, second, pad;
    uint16_t code; // soft event word (event code in the low byte) or fatal error code
    uint16_t pad2;
};

// Output triggers of one message (code, subcode): event mask (2A), time interval (2B, ms),
// distance interval (2C, cm) and heading interval (2D, centidegrees).
struct Trigger {
    uint8_t used, code, subcode, pad;
    uint32_t eventMask;
    uint32_t timeMin, timeMax;
    uint32_t distMin, distMax;
    uint32_t hdgMin, hdgMax;
};

// One DR calibration value (3603, 3604, 3607 per speed index, 3608).
struct CalValue {
    uint8_t status;  // bits 0-1 source, bit 3 new since start-up, bit 4 valid
    uint8_t hostSet; // 1 while the value is the host's and is not recalibrated
    uint8_t pad[2];
    float value;
    float accuracy;
};

struct DirSwitchCal {
    uint8_t status; // as CalValue, bit 7 = direction sense
    uint8_t confidenceSpeed;
    uint8_t hostSet;
    uint8_t pad;
};

// Host initialization data of one 0x29 subcode: the payload after the subcode, kept as sent.
struct InitSlot {
    uint8_t hostSet;
    uint8_t length;
    uint8_t data[26];
};

struct AlmanacSvPage { // 2812, one per SV
    uint8_t status;    // low 3 bits: 0 clear, 1 host input, 2 host override, 3 collected
    uint8_t extra;
    uint8_t data[24];
};
struct AlmanacPage13 {
    uint8_t status;
    uint8_t extra;
    uint8_t data[48];
};
struct AlmanacPage14 { // ION/UTC
    uint8_t status;
    uint8_t extra;
    uint8_t data[24];
};

struct SimStore {
    // The settings groups, one value per subcode (store.gpsConfig[0x04] is the elevation mask),
    // as the tables of link/settings.h describe them: 2101, 2401..2408, 2501..2517, 2701..2770.
    EngineRateRecord engineRate;
    GpsConfigRecord gpsConfig;
    KalmanRecord kalman;
    DrFilterRecord drFilter;
    // 2202: interval byte and message mask
    uint8_t nmeaInterval;
    uint8_t pad0[3];
    uint32_t nmeaMask;
    // 2A..2D
    Trigger triggers[kTriggerSlots];
    // 2E01: report mask per soft event code (0 don't report, 1 on change, 3 as detected)
    uint8_t eventReportMask[256];
    // 707F: diagnostic output bitmap
    uint8_t diagMask[16];
    // 36xx
    CalValue zro;             // 3603
    CalValue gyroSensitivity; // 3604
    DirSwitchCal dirSwitch;   // 3605
    CalValue dpp[3];          // 3607, speed index 0..2
    CalValue zroRate;         // 3608 (read only)
    // 2901..2908 (index = subcode); slot 0 and 6 unused
    InitSlot init[9];
    // RTC: offset of the real-time clock from GPS time, set by 2901 with status 0xFF
    uint32_t rtcOffsetLo, rtcOffsetHi; // 64-bit ms, split to keep the structure 4-aligned
    uint8_t rtcSet;
    uint8_t pad2[3];
    // 28xx
    AlmanacSvPage almanac[kAlmanacSvs];
    AlmanacPage13 almanac13;
    AlmanacPage14 almanac14;
    // 1401 / 1402: entry 0 is the most recent
    uint32_t softCount;
    LogEntry softLog[kSoftLogSize];
    uint32_t fatalCount;
    LogEntry fatalLog[kFatalLogSize];
    // Start-ups since the BBRAM was last initialized (reported in 1201).
    uint32_t startupCount;
    uint32_t pad3; // the settings records' doubles make the size a multiple of 8
};

static_assert(std::is_trivially_copyable_v<SimStore>);

inline int64_t rtcOffsetMs(const SimStore& s) {
    return int64_t((uint64_t(s.rtcOffsetHi) << 32) | s.rtcOffsetLo);
}
inline void setRtcOffsetMs(SimStore& s, int64_t v) {
    s.rtcOffsetLo = uint32_t(uint64_t(v));
    s.rtcOffsetHi = uint32_t(uint64_t(v) >> 32);
}
static_assert(std::is_standard_layout_v<SimStore>);

// The largest customer data block: what one 0x15 reply carries. Its frame (0x81, code, block,
// the bytes, checksum, 0x82) must stay below the 240 bytes at which a reader refuses a frame.
inline constexpr size_t kMaxCustomerBlock = kMaxRxFrame - 6;

// Factory data written through the monitor (0x8A, 0x8D, 0x7D); kept in flash, not BBRAM.
struct FactoryData {
    uint8_t productConfig[64]; // 0x8A data as sent: serial, date bytes, year, name
    uint8_t productConfigLength;
    char hardwareId[17];
    // Customer data blocks 0x01..0x7F: each at most what one 0x15 reply frame carries.
    uint8_t customerLength[128]; // per block; 0 = not set
    uint8_t customerSet[128];
    uint8_t customer[128][kMaxCustomerBlock];
};

// The BBRAM image: a header followed by the store. Placed in RAM at kRamBbram and, after a
// "Write BBRAM to Flash" (0309), in flash at kFlashBbram.
struct BbramHeader {
    uint8_t magic[4]; // "VXBB"
    uint16_t version;
    uint8_t defaultsOnly; // 1 when the store holds untouched defaults (see boot order)
    uint8_t pad;
    uint32_t size;     // bytes of the store that follow
    uint32_t checksum; // 32-bit sum of the store bytes, plus the size
};

inline constexpr uint16_t kBbramVersion = 1;

// Writes the header and the store into dst (at least sizeof(BbramHeader) + sizeof(SimStore)).
void writeBbramImage(const SimStore& store, bool defaultsOnly, uint8_t* dst);
// Reads an image; false when the magic, version, size or checksum do not match. Counts and
// indexes in the loaded store are clamped so that any bytes are safe to use.
bool readBbramImage(const uint8_t* src, size_t available, SimStore& store, bool& defaultsOnly);
inline constexpr size_t kBbramImageSize = sizeof(BbramHeader) + sizeof(SimStore);

// Clamps counts and indexes of a store so that it is safe whatever its bytes.
void sanitizeStore(SimStore& s);

} // namespace vx::sim
