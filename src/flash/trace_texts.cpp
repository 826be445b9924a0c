#include "flash/trace_texts.h"

#include "link/framing.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <ctime>

namespace vx {

namespace {

std::string format(const char* fmt, ...) {
    char buf[256];
    va_list ap;
    va_start(ap, fmt);
    int n = std::vsnprintf(buf, sizeof buf, fmt, ap);
    va_end(ap);
    return std::string(buf, size_t(std::clamp(n, 0, int(sizeof buf) - 1)));
}

std::string byteList(std::span<const uint8_t> bytes, const char* fmt) {
    std::string out;
    out.reserve(bytes.size() * 5);
    for (uint8_t b : bytes) out += format(fmt, b);
    return out;
}

} // namespace

// ---- BBRAM unit test

const std::array<const char*, kBbramTestCount> kBbramTestNames = {
    "Store", "Check", "Checkout", "Address", "Memdump KFC", "Memdump PF_ECEF_USER", "Memdump ...",
};

std::vector<uint8_t> bbramTestPayload(int test, uint32_t address, uint32_t length) {
    std::vector<uint8_t> p = {uint8_t(test)};
    if (test == kMemdumpTest) {
        for (int shift = 0; shift < 32; shift += 8) p.push_back(uint8_t(address >> shift));
        p.push_back(uint8_t(length));
    }
    return p;
}

std::string bbramTestReplyText(std::span<const uint8_t> p,
                               const std::optional<MemdumpRequest>& request) {
    const size_t n = p.size();
    const int test = n ? p[0] : 0;
    if (test == 4 && n >= 21) {
        std::string out;
        for (size_t k = 0; k < 5; ++k) out += format("0x%08x ", readU32(p.data() + 1 + 4 * k));
        return out;
    }
    if (test == 5 && n >= 73) {
        std::string out = "  gb bbDM bbDB bbCM bbCB flDM flDB flCM flCB\n";
        for (size_t r = 0; r < 8; ++r) {
            for (size_t k = 0; k < 9; ++k) out += format("0x%02x ", p[1 + r + 8 * k]);
            out += "\n";
        }
        return out;
    }
    if (test == kMemdumpTest && n >= 5) {
        const uint32_t address = readU32(p.data() + 1);
        size_t count = std::min<size_t>(n - 5, 16);
        if (request) {
            const uint64_t end = uint64_t(request->address) + request->length;
            if (address >= request->address && address < end)
                count = std::min<uint64_t>(count, end - address);
        }
        return format("Memdump from 0x%08x:", address) + "\n" +
               byteList(p.subspan(5, count), "0x%02x ");
    }
    return byteList(p, "0x%02x ");
}

// ---- BBRAM activity trace

const std::array<const char*, kBbramTraceColumns> kBbramTraceHeaders = {
    "Time",  "Activity", "Struct",
    "Local", "Default",  "MstTm",
    "BkpTm", "Time",     "DLocal,  OffsMst, OffsBkp, DDefalt, MstTime, BkpTime, Time,    DSz, Act",
};

const std::array<BbramStructure, kBbramStructureCount> kBbramStructures = {{
    {0, "KFC", "cbKfc", false},
    {224, "DRC", "cbDrc", false},
    {848, "ENGINE_RATE", "cbEngineRate", false},
    {868, "AUTO_BLK", "cbAutoBlk", false},
    {1916, "DIAG_TOGGLE", "cbDiagToggle", false},
    {1964, "vexBbInit", "cbVexBbInit", true},
    {2196, "PF_USER_ECEF", "cbPfEcefUser", true},
    {2356, "PF_ERR_EST", "cbPfErrEst", true},
}};

const BbramStructure* bbramStructure(uint32_t offset) {
    for (const BbramStructure& s : kBbramStructures)
        if (s.offset == offset) return &s;
    return nullptr;
}

bool bbramTracePasses(const BbramActivityRecord& r,
                      const std::array<bool, kBbramStructureCount>& checked) {
    for (size_t i = 0; i < kBbramStructures.size(); ++i)
        if (kBbramStructures[i].offset == r.offs_mst) return checked[i];
    return true;
}

std::array<std::string, kBbramTraceColumns> bbramTraceRow(const BbramActivityRecord& r,
                                                          const std::string& time) {
    static const char* const activities[] = {"Store", "Check", "Checkout"};
    std::string activity =
        r.activity < 3 ? activities[r.activity] : format("0x%x UNKNOWN", r.activity);
    const BbramStructure* s = bbramStructure(r.offs_mst);
    std::string name = s ? s->name : format("0x%x - UNKNOWN", r.offs_mst);
    return {time,
            activity,
            name,
            format("0x%08x", r.d_local),
            format("0x%08x", r.d_default),
            format("0x%08x", r.mst_time),
            format("0x%08x", r.bkp_time),
            format("0x%08x", r.time),
            format("%08x %08x %08x %08x %08x %08x %08x %04x %02x", r.d_local, r.offs_mst,
                   r.offs_bkp, r.d_default, r.mst_time, r.bkp_time, r.time, r.d_size, r.activity)};
}

// ---- Vexor trace

const std::array<const char*, kVexorTraceColumns> kVexorTraceHeaders = {"Time", "Code", "Sub",
                                                                        "Decoded", "Raw"};

const std::array<TraceBox, kTraceKindCount> kTraceBoxes = {{
    {"cb30", "0x30"},
    {"cb31", "0x31"},
    {"cb12", "0x12"},
    {"cb700F", "0x700F"},
    {"cb7010", "0x7010"},
    {"cb7011", "0x7011"},
    {"cb7012", "0x7012"},
    {"cb7013", "0x7013"},
}};

std::optional<TraceKind> traceKind(uint8_t h1, uint8_t h2) {
    switch (h1) {
    case 0x12:
        return TraceKind::C12;
    case 0x30:
        return TraceKind::C30;
    case 0x31:
        return TraceKind::C31;
    case 0x70:
        if (h2 >= 0x0F && h2 <= 0x13) return TraceKind(uint8_t(TraceKind::C700F) + (h2 - 0x0F));
        return std::nullopt;
    default:
        return std::nullopt;
    }
}

std::string vexorTraceDecoded(uint8_t h1, uint8_t h2, std::span<const uint8_t> p) {
    const size_t n = p.size();
    if (h1 == 0x31) {
        if (n < 6) return {};
        return format("T:%d S:%d", int32_t(readU32(p.data())), p[5]);
    }
    if (h1 != 0x70) return {};
    switch (h2) {
    case 0x0F:
        if (n < 4) return {};
        return format("B:0x%04x, A:0x%04x", readU16(p.data() + 2), readU16(p.data()));
    case 0x10:
    case 0x11:
        return format("%s, l:%3d, t:%8d", h2 == 0x10 ? "NAV_TO_IO" : "IO_TO_NAV", int(n),
                      n >= 4 ? int32_t(readU32(p.data())) : 0);
    case 0x12:
        return format("BBDump: %d, len: %d", n ? p[0] : 0, int(n));
    case 0x13: {
        // (length - 6) / 2 + 1 values, the division truncating toward zero; none below 1.
        const int count = (int(n) - 6) / 2 + 1;
        std::string out = "ADC_TI: ";
        for (int k = 0; k < count && size_t(2 * k + 2) <= n; ++k)
            out += format("%04x ", readU16(p.data() + 2 * k));
        return out;
    }
    default:
        return {};
    }
}

std::array<std::string, kVexorTraceColumns>
vexorTraceRow(uint8_t h1, uint8_t h2, std::span<const uint8_t> payload, const std::string& time) {
    return {time, format("0x%02x", h1), format("0x%02x", h2), vexorTraceDecoded(h1, h2, payload),
            byteList(payload, "%02x ")};
}

std::string traceTimeText(std::chrono::system_clock::time_point t) {
    const std::time_t secs = std::chrono::system_clock::to_time_t(t);
    std::tm local{};
    localtime_r(&secs, &local);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", &local);
    return buf;
}

} // namespace vx
