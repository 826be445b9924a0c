// Texts about the link's port for one-line messages: the status bar, the command line.
// No Qt: the console shows these strings, the tests check them directly.
#pragma once

#include <cstddef>
#include <ctime>
#include <string>

#include "link/serial_link.h"

namespace vx {

// A device or file path fit for one line: control characters (a newline in a hostile file
// name) become '?', and a path longer than maxChars characters keeps its start and, longer,
// its end (where the device name is) with "…" in the middle, so that the reason after it is
// never pushed out of sight. UTF-8 characters are never cut.
inline constexpr size_t kDisplayPathChars = 48;
std::string displayPath(const std::string& path, size_t maxChars = kDisplayPathChars);

// "COM3 (/dev/ttyUSB0)", the path as displayPath shows it.
std::string portLabel(const std::string& portName, const std::string& path);

// The status bar line of a lost link: "COM1 (/dev/ttyUSB0): device disconnected — 10:41:25",
// the time being the local time of the loss.
std::string linkLossStatusText(const std::string& portName, const std::string& path,
                               const std::string& reason, const std::tm& localTime);
// The same for a loss reported by the link, its time converted to local time.
std::string linkLossStatusText(const LinkLoss& loss);

// The status bar line of a command not sent because nothing is being monitored:
// "Not monitoring: Hot Reset (0301) was not sent".
std::string notMonitoringText(const std::string& caption);

} // namespace vx
