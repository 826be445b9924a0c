// Texts and rules that several report windows share (the main window's status display and the
// report viewers): time source, search mode and almanac status texts, angles in radians and
// semicircles, and the rule that blanks channel rows 9 to 12. No Qt.
#pragma once

#include <cstdint>
#include <string>

namespace vx {

// A latitude or longitude in radians (true pi, link/angles.h), "%.9f": 2^30 shows
// "1.570796327".
std::string radiansText(int32_t value);
// A heading or heading accuracy in semicircles (units of 2^-15), "%.5f".
std::string semicircleText(uint16_t value);
// Time source bits (0..3): "System Clock", "RTC", "GPS (<10ms)", "GPS (<1ms)".
std::string timeSourceText(unsigned bits);

// 3201 payload byte 16: bits 0-1 "None", "Blind", "Anywhere" or empty; bit 7 "Complete" or
// "Not Complete".
std::string searchModeText(uint8_t searchByte);
std::string almanacStatusText(uint8_t searchByte);

// Rows 9 to 12 of a receiver that reports only channels 0 to 7 would keep whatever an earlier
// receiver left there; they are blanked after every 41 reports for rows 1 to 8 in a row. Each
// window that shows channel rows keeps its own count.
class ChannelRowBlanking {
public:
    static constexpr int kRows = 12;
    static constexpr uint32_t kLimit = 40; // blank when the count goes above this

    // Counts one report for the given channel (row index). Returns true when rows 9 to 12 are
    // to be blanked now. A channel above 11 changes nothing.
    bool note(uint8_t channel);
    uint32_t count() const { return count_; }

private:
    uint32_t count_ = 0;
};

} // namespace vx
