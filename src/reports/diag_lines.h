// The texts of the engineering windows over the receiver's diagnostic reports: the 12 channel
// monitor (channel lines, the task table's stack and message-buffer usage, the clock-drift
// lines) and the raw GPS fix window (the raw fix panels and variables, the channel tables, the
// debug text). Qt-free; the windows add these lines to their memos.
#pragma once

#include "console/report_view.h"
#include "link/records.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vx {

// ---- 12 channel monitor ----------------------------------------------------------------------

// "[ 1][ 5] 45.2  30 180 0x3d 0x0f": channel + 1, SV, SNR, elevation, azimuth, status, mode.
std::string channelMonitorLine(const ChannelStatusRecord& r);

// The receiver's tasks: name, stack size and message-buffer size, by task index.
struct MonitoredTask {
    const char* name;
    uint16_t stackSize;
    uint16_t bufferSize;
};
inline constexpr int kMonitoredTasks = 14;
extern const std::array<MonitoredTask, kMonitoredTasks> kTaskTable;

// "u: 0x012c   300 ( 29%), f:   724 ( 71%), t:  1024".
std::string usageText(uint32_t used, uint32_t total);

// The task usage blocks (7015): remembers each task's stack use for the whole run and notes
// how much it changed since the last report.
class TaskUsageMonitor {
public:
    // The block's lines: the time stamp given, "STACK SIZES", one line per task, an empty line,
    // "MESSAGE BUFFER SIZES", one line per task. The count is clamped to the task table.
    std::vector<std::string> block(const TaskUsageRecord& r, std::string_view timeStamp);
    uint16_t remembered(int task) const { return remembered_[size_t(task)]; }

private:
    std::array<uint16_t, kMonitoredTasks> remembered_{};
};

// The drift log (7016): its header, and each line's values in the header's column order.
extern const char* const kDriftHeader;
std::string driftLine(const DriftRecord& r);

// ---- raw GPS fix window ----------------------------------------------------------------------

// The raw fix panels in order: altitude hold, week number, time of week, pos approx, have
// position, position 1..3, clock bias, velocity 1..3, oscillator bias, vertical 1..3.
inline constexpr int kRawFixPanels = 16;
std::array<std::string, kRawFixPanels> rawFixPanelTexts(const RawFixRecord& r);
// The nine variable lines ("gpfsel.status: 1", ...).
std::vector<std::string> rawFixVariableLines(const RawFixRecord& r);
// 7010: the separator line and one line per channel entry.
std::vector<std::string> channelTableLines(const ChannelTableRecord& r);
// 7011: the separator line and one line per channel entry.
std::vector<std::string> channelDetailLines(const ChannelDetailRecord& r);
// 7012: binary data in hexadecimal with its value for 1, 2, 4 and 8 bytes, or the text (its
// length bytes exactly, line breaks shown as blanks). Empty data gives no line (false).
bool debugTextLine(const DebugTextRecord& r, std::string& line);
// The two fixed lines of the test button.
std::vector<std::string> rawFixTestLines();

} // namespace vx

namespace vx {

// ---- ADC and gyro self test (3F01) ------------------------------------------------------------

namespace pkt3F01 {
enum Slot : uint16_t { errStatus, ADCFixedWin, samplesFixedWin, ADCRestWin, sampleRestWin };
}
const ViewSpec& selfTestSpec();
void showSelfTest(const SelfTestRecord& r, ViewUpdates& u);

} // namespace vx
