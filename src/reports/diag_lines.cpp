#include "reports/diag_lines.h"

#include "console/report_view.h"

#include "link/framing.h"

#include <algorithm>
#include <cstring>

namespace vx {

std::string channelMonitorLine(const ChannelStatusRecord& r) {
    return formatText("[%2d][%2d] %4.1f %3d %3d 0x%02x 0x%02x", r.channel + 1, r.sv, r.snr * 0.2,
                      int(r.elevation), r.azimuth * 2, r.status, r.mode);
}

const std::array<MonitoredTask, kMonitoredTasks> kTaskTable = {{
    {"MAIN", 1024, 120},
    {"AM", 1792, 660},
    {"MM", 2560, 660},
    {"PF", 3328, 340},
    {"NM", 2048, 340},
    {"TS", 2048, 240},
    {"SD", 2560, 360},
    {"IOT", 1024, 580},
    {"IOR", 2560, 12},
    {"APP_EVNT", 2048, 2400},
    {"APP_PROC", 2048, 12240},
    {"APP_TX", 2048, 12240},
    {"APP_RX", 2048, 28},
    {"APP_VEX", 3328, 28},
}};

std::string usageText(uint32_t used, uint32_t total) {
    const double t = total ? double(total) : 1.0;
    const int64_t free = int64_t(total) - int64_t(used);
    return formatText("u: 0x%04x %5u (%3.0f%%), f: %5lld (%3.0f%%), t: %5u", used, used,
                      double(used) * 100.0 / t, static_cast<long long>(free),
                      double(free) * 100.0 / t, total);
}

std::vector<std::string> TaskUsageMonitor::block(const TaskUsageRecord& r,
                                                 std::string_view timeStamp) {
    const int n = std::min<int>(r.count, kMonitoredTasks);
    std::vector<std::string> lines;
    lines.reserve(size_t(2 * n + 4));
    lines.emplace_back(timeStamp);
    lines.emplace_back("STACK SIZES");
    for (int i = 0; i < n; ++i) {
        const TaskUsageEntry& e = r.tasks[i];
        const MonitoredTask& t = kTaskTable[size_t(i)];
        std::string line =
            formatText("%2d %s %s", i, usageText(e.stack_used, t.stackSize).c_str(), t.name);
        uint16_t& kept = remembered_[size_t(i)];
        if (e.stack_used != kept) {
            line += formatText(" (%d)", int(kept) - int(e.stack_used));
            kept = e.stack_used;
        }
        lines.push_back(std::move(line));
    }
    lines.emplace_back();
    lines.emplace_back("MESSAGE BUFFER SIZES");
    for (int i = 0; i < n; ++i) {
        const TaskUsageEntry& e = r.tasks[i];
        const MonitoredTask& t = kTaskTable[size_t(i)];
        lines.push_back(formatText("%2d %s count: %5u, %s: %u, %s", i,
                                   usageText(e.buffer_used, t.bufferSize).c_str(),
                                   unsigned(e.message_count), e.failure_count ? "FAILED" : "failed",
                                   unsigned(e.failure_count), t.name));
    }
    return lines;
}

const char* const kDriftHeader = "refMsec,refWeekNo,tStatus,drift,drUnc,haveDrift,dblDriftHigh,"
                                 "dblDriftLow,haveDriftRange,usDriftRangeWeekNo,ulDriftRangeMsec";

std::string driftLine(const DriftRecord& r) {
    return formatText("%u,%u,%u,%.12f,%.8f,%u,%.12f,%.12f,%u,%u,%u", r.ref_msec,
                      unsigned(r.ref_week_no), unsigned(r.t_status), r.drift, double(r.dr_unc),
                      unsigned(r.have_drift), r.drift_high, r.drift_low,
                      unsigned(r.have_drift_range), unsigned(r.drift_range_week_no),
                      r.drift_range_msec);
}

std::array<std::string, kRawFixPanels> rawFixPanelTexts(const RawFixRecord& r) {
    return {formatText("%d", r.altitude_hold),
            formatText("%d", r.week_number),
            formatText("%f", r.time_of_week),
            formatText("%d", r.pos_approx),
            formatText("%d", r.have_position),
            formatText("%f", r.position[0]),
            formatText("%f", r.position[1]),
            formatText("%f", r.position[2]),
            formatText("%f", r.clock_bias),
            formatText("%f", double(r.velocity[0])),
            formatText("%f", double(r.velocity[1])),
            formatText("%f", double(r.velocity[2])),
            formatText("%f", double(r.oscillator_bias)),
            formatText("%f", double(r.vertical[0])),
            formatText("%f", double(r.vertical[1])),
            formatText("%f", double(r.vertical[2]))};
}

std::vector<std::string> rawFixVariableLines(const RawFixRecord& r) {
    return {formatText("gpfsel.status: %d", r.fix_status),
            formatText("gucStatusCode: %d", r.status_code),
            formatText("gpfsel.dim_mo: %d", r.dim_mode),
            formatText("gpfsel.sat_cn: %d", r.sat_count),
            formatText("gtPfMeasBlk.haveNewMeas: %d", r.have_new_meas),
            formatText("gucWeakCntAvail: %d", r.weak_count_avail),
            formatText("gucWeakCnt: %d", r.weak_count),
            formatText("gbRtcStatus: %d", r.rtc_status),
            formatText("gulMaskedSvs: %u", r.masked_svs)};
}

std::vector<std::string> channelTableLines(const ChannelTableRecord& r) {
    std::vector<std::string> lines{"------------"};
    for (const ChannelTableEntry& e : r.entries)
        lines.push_back(formatText("sv%2d hms:%d cf:%d h:%d amu:%d xc:%d, r:%d, str:%d, rem:%d",
                                   e.sv, e.hms, e.cf, e.h, e.amu, e.xc, e.r, e.str, e.rem));
    return lines;
}

std::vector<std::string> channelDetailLines(const ChannelDetailRecord& r) {
    std::vector<std::string> lines{"_______________"};
    for (const ChannelDetailEntry& e : r.entries)
        lines.push_back(formatText("sv%2d st:0x%x amu:%2d old:%d, age:%d, fltr:%d, doppl:%5d", e.sv,
                                   unsigned(e.status), e.amu, e.old, e.age, e.filter,
                                   int(e.doppler)));
    return lines;
}

bool debugTextLine(const DebugTextRecord& r, std::string& line) {
    const size_t n = std::min<size_t>(r.length, sizeof r.text);
    line.clear();
    if (n == 0) return false;
    const auto* d = reinterpret_cast<const uint8_t*>(r.text);
    if (!r.binary) {
        line.assign(r.text, n);
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
        std::replace_if(
            line.begin(), line.end(), [](char c) { return c == '\n' || c == '\r'; }, ' ');
        return true;
    }
    line = formatText("0x%02x", d[0]);
    for (size_t i = 1; i < n; ++i) line += formatText(" %02x", d[i]);
    if (n == 1) {
        line += formatText(" (%d)", d[0]);
    } else if (n == 2) {
        line += formatText(" (%d)", readU16(d));
    } else if (n == 4) {
        float f;
        std::memcpy(&f, d, 4);
        line += formatText(" (%u | %f)", readU32(d), double(f));
    } else if (n == 8) {
        line += formatText(" (%f)", readDouble(d));
    }
    return true;
}

std::vector<std::string> rawFixTestLines() {
    const unsigned last = 65520, curr = 4080, msec = 69616, dt = 4096;
    return {formatText("last: %u, curr: %u, msec: %u, dt: %u", last, curr, msec, dt),
            formatText("last: 0x%x, curr: 0x%x, msec: 0x%x, dt: 0x%x", last, curr, msec, dt)};
}

} // namespace vx

namespace vx {

namespace {

constexpr ViewItem kSelfTestItems[] = {
    {ItemKind::Circle, "errStatus", "ADC Validity"},
    {ItemKind::Edit, "ADCFixedWin", "ADC at Fixed Voltage", nullptr, 10},
    {ItemKind::Edit, "samplesFixedWin", "Samples at Fixed Voltage", nullptr, 10},
    {ItemKind::Edit, "ADCRestWin", "ADC at Rest", nullptr, 10},
    {ItemKind::Edit, "sampleRestWin", "Samples at Rest", nullptr, 10},
};
constexpr ViewBox kSelfTestBoxes[] = {
    {.caption = nullptr, .objectName = nullptr, .first = 0, .count = 5}};
constexpr QueryFrame kSelfTestFrames[] = {{0x3F, 0x01}};
constexpr ViewAnswer kSelfTestAnswers[] = {{0x3F, 0x01, 0x01}};
constexpr ViewQuery kSelfTestQueries[] = {{.button = "queryButton",
                                           .led = "queryLED",
                                           .frames = kSelfTestFrames,
                                           .answers = kSelfTestAnswers}};
const ViewSpec kSelfTest{WindowId::TselfTestForm, kSelfTestItems, kSelfTestBoxes, kSelfTestQueries};

} // namespace

const ViewSpec& selfTestSpec() {
    return kSelfTest;
}

void showSelfTest(const SelfTestRecord& r, ViewUpdates& u) {
    using namespace pkt3F01;
    u.flag(errStatus, r.adc_validity == 0, Tint::Green, Tint::Red);
    u.format(ADCFixedWin, "%u", r.adc_fixed);
    u.format(samplesFixedWin, "%u", unsigned(r.samples_fixed));
    u.format(ADCRestWin, "%u", r.adc_rest);
    u.format(sampleRestWin, "%u", unsigned(r.samples_rest));
}

} // namespace vx
