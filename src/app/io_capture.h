// The I/O capture of the "Io Replay" window: the receiver's internal I/O traffic reports (7013
// IO to NAV, 7014 NAV to IO) written as text, one line per message. No Qt here: the window
// owns the file and the counts, these functions give the names and the text.
#pragma once

#include "link/records.h"

#include <ctime>
#include <string>
#include <string_view>

namespace vx {

// "io_replay_" + unit + "_" + "yyyymmdd_hhnnss" + "_COM" + (port index + 1) + ".dat".
std::string ioCaptureFileName(std::string_view unit, const std::tm& localTime, int portIndex);

// True when the unit text keeps the capture file in the working folder: no path separator
// ('/' or '\\'), no "..", no control character. The text becomes part of a file name.
bool ioCaptureUnitIsSafe(std::string_view unit);

// The text one 7013 / 7014 piece adds to the capture:
// - first piece (flag bit 0): "IO  --> NAV " (7013) or "NAV --> IO  " (7014), the two words
//   as "%9ld %9ld " (signed 32-bit values), and for 7013 " 10";
// - every data byte as " %02x";
// - last piece (flag bit 1): for 7013 " 10 03", then the line end.
// A message split over several records therefore becomes one line.
std::string ioCaptureText(const IoTrafficRecord& r);

// Flag bits of an I/O traffic record.
inline constexpr uint8_t kIoFirstPiece = 0x01;
inline constexpr uint8_t kIoLastPiece = 0x02;
inline constexpr uint8_t kIoToNavSubcode = 0x13;
inline constexpr uint8_t kNavToIoSubcode = 0x14;

} // namespace vx
