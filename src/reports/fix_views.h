// "GPS Fix Message (3101)": the view spec and view of the GPS fix report, the time-keeping debug
// message (frames whose header byte 1 is 0x23, handed over undecoded) and the "TimeSource.csv"
// log of it. No Qt.
#pragma once

#include "console/report_view.h"
#include "link/records.h"

#include <array>
#include <cstdint>
#include <cstdio>
#include <string>

namespace vx {

// Fix source (bits 0-5 of byte 4): 0..17 as named, above 17 "Unknown".
std::string fixSourceText(uint8_t fixFlags);
// Bit 6 of byte 4: "Altitude-Hold (2-D) LS fix" / "Full position (3-D) LS fix".
std::string altitudeHoldText(uint8_t fixFlags);

namespace pkt31 {
enum Slot : uint16_t {
    timeWin,
    timeSrcWin,
    latWin,
    lonWin,
    altWin,
    headingWin,
    speedWin,
    accPosWin,
    accAltWin,
    accHeadingWin,
    accSpeedWin,
    fixSrcWin,
    altHoldWin,
    posStatus,
    altStatus,
    headingStatus,
    speedStatus,
    DGPS_LED,
    Edit1,
    Edit2,
    Edit3,
    Edit4,
    Edit5,
    Edit6,
    Edit7,
    Edit8,
    Edit9,
    Shape1,
};
} // namespace pkt31
const ViewSpec& pkt31Spec();
void showGpsFix(const GpsFixRecord& r, ViewUpdates& u);

// The time-keeping debug message of subcode h2 with its raw payload. Subcode 1 needs 16 bytes
// (four 32-bit values: Edit1..Edit4, and the CSV line), any other subcode 31 (three pairs of a
// 16- and a 32-bit value, two reals and a signed value, the RTC flag at byte 30). A shorter
// message is ignored: false, nothing changed. csv, when given, receives the four texts of a
// subcode 1 message ("" for the others).
bool showTimeKeeping(uint8_t h2, const uint8_t* payload, size_t length, ViewUpdates& u,
                     std::string* csv = nullptr);

// "TimeSource.csv": one line per subcode 1 message, "%s, %s, %s, %s" and CR LF, flushed as it
// is written. The file is created anew (truncated) by open and closed by close or the
// destructor.
class TimeSourceLog {
public:
    static constexpr const char* kFileName = "TimeSource.csv";

    TimeSourceLog() = default;
    ~TimeSourceLog() { close(); }
    TimeSourceLog(const TimeSourceLog&) = delete;
    TimeSourceLog& operator=(const TimeSourceLog&) = delete;

    // Creates the file; false (and error() says why) when it cannot be created.
    bool open(const std::string& path);
    // Writes one line (the text without its line end); false when the write failed, and the
    // file is then closed.
    bool write(const std::string& line);
    void close();
    bool isOpen() const { return file_ != nullptr; }
    const std::string& error() const { return error_; }
    uint64_t lines() const { return lines_; }

private:
    std::FILE* file_ = nullptr;
    std::string error_;
    uint64_t lines_ = 0;
};

} // namespace vx
