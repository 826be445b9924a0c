// What the BBRAM unit test, the BBRAM activity trace and the Vexor trace show: the unit test's
// command payloads and reply texts, the trace rows and their filters. No Qt.
#pragma once

#include "link/records.h"

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vx {

// ---- BBRAM unit test (Set 700D, 700D replies)

inline constexpr int kBbramTestCount = 7;
inline constexpr int kMemdumpTest = 7;
// "Store", "Check", "Checkout", "Address", "Memdump KFC", "Memdump PF_ECEF_USER", "Memdump ..."
extern const std::array<const char*, kBbramTestCount> kBbramTestNames;

// The payload after the subcode 0x0D: the test number; for test 7 the dump address (least
// significant byte first) and the length's low 8 bits.
std::vector<uint8_t> bbramTestPayload(int test, uint32_t address, uint32_t length);

// The memory dump last asked for (test 7): its replies show only bytes within it.
struct MemdumpRequest {
    uint32_t address = 0;
    uint32_t length = 0;
};

// The text a 700D reply (payload p, p[0] the test number) appends to the log. Tests 4, 5 and
// 7 have their layouts; a reply shorter than its layout, and any other test, is every byte as
// "0x%02x ". A test 7 reply shows its dump bytes that lie within request (all of them without
// one).
std::string bbramTestReplyText(std::span<const uint8_t> p,
                               const std::optional<MemdumpRequest>& request);

// ---- BBRAM activity trace (700C)

inline constexpr size_t kBbramTraceRows = 300;
inline constexpr size_t kBbramTraceColumns = 9;
extern const std::array<const char*, kBbramTraceColumns> kBbramTraceHeaders;

// The structures the receiver reports, by OffsMst, with their filter box.
struct BbramStructure {
    uint32_t offset;
    const char* name;    // "KFC"
    const char* boxName; // "cbKfc"
    bool automatic;      // in "Auto Data" (else "User Data")
};
inline constexpr size_t kBbramStructureCount = 8;
extern const std::array<BbramStructure, kBbramStructureCount> kBbramStructures;
// The structure of an OffsMst, or null for one not listed.
const BbramStructure* bbramStructure(uint32_t offset);

// Whether a report is listed: a listed structure passes only while its box (its index in
// kBbramStructures) is checked; other structures always pass.
bool bbramTracePasses(const BbramActivityRecord& r,
                      const std::array<bool, kBbramStructureCount>& checked);
// The row of a report: time, activity, structure, DLocal, DDefalt, MstTime, BkpTime, Time, and
// the raw line of all nine fields.
std::array<std::string, kBbramTraceColumns> bbramTraceRow(const BbramActivityRecord& r,
                                                          const std::string& time);

// ---- Vexor trace (12xx, 30xx, 31xx, 700F..7013)

inline constexpr size_t kVexorTraceRows = 100000; // the oldest go beyond this
inline constexpr size_t kVexorTraceColumns = 5;
extern const std::array<const char*, kVexorTraceColumns> kVexorTraceHeaders;

// The packet kinds the trace can select, in the order of their boxes.
enum class TraceKind : uint8_t { C30, C31, C12, C700F, C7010, C7011, C7012, C7013 };
inline constexpr size_t kTraceKindCount = 8;
// "cb30", "0x30", ... in box order.
struct TraceBox {
    const char* objectName;
    const char* caption;
};
extern const std::array<TraceBox, kTraceKindCount> kTraceBoxes;
// The kind of a packet, or nullopt for one the trace never shows.
std::optional<TraceKind> traceKind(uint8_t h1, uint8_t h2);
// The "Decoded" column.
std::string vexorTraceDecoded(uint8_t h1, uint8_t h2, std::span<const uint8_t> payload);
// The row: time, "0x%02x" of h1 and h2, decoded, every payload byte as "%02x ".
std::array<std::string, kVexorTraceColumns>
vexorTraceRow(uint8_t h1, uint8_t h2, std::span<const uint8_t> payload, const std::string& time);

// The local date and time of a row: "2024-05-13 14:02:07".
std::string traceTimeText(std::chrono::system_clock::time_point t);

} // namespace vx
