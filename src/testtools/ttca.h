// The time-to-almanac (TTCA) test: clears the receiver's almanac (a cold reset, or empty
// almanac records uploaded without a reset), then measures the minutes until a 3201 reports
// the almanac complete, logs them and clears again. Qt-free: the trigger as a paced script
// (the window runs it from timers), the texts and the log file.
#pragma once

#include "link/paced_script.h"
#include "link/records.h"

#include <cstdint>
#include <cstdio>
#include <string>

namespace vx {

enum class TtcaTrigger : uint8_t {
    ColdReset,    // Cold Reset (0302), then 2000 ms
    ClearAlmanac, // 2812 for SV 1..32 with empty records, 2813, 2814; 50 ms after each but the last
};
PacedScript ttcaTriggerScript(TtcaTrigger trigger);

// Bit 7 of the 3201's search mode byte.
inline bool almanacComplete(const TimeConstellationRecord& r) {
    return (r.search_mode & 0x80) != 0;
}
// Minutes with one decimal ("12.5") of a time in milliseconds.
std::string ttcaMinutesText(int64_t elapsedMs);

// The log: one line of minutes per completed almanac, CR LF, flushed at once.
class TtcaLog {
public:
    TtcaLog() = default;
    ~TtcaLog() { close(); }
    TtcaLog(const TtcaLog&) = delete;
    TtcaLog& operator=(const TtcaLog&) = delete;

    // Creates (or empties) the file; the reason when it cannot.
    std::string open(const std::string& path);
    bool isOpen() const { return file_ != nullptr; }
    // Appends the line; the reason when the write failed.
    std::string append(const std::string& minutes);
    void close();

private:
    std::FILE* file_ = nullptr;
    std::string path_;
};

} // namespace vx
