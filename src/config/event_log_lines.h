// The lines of the soft event window's log memos: one per 1401 (soft event) or 1402 (fatal
// error) entry, "index::month/day/year hh:mm:ss text", the text from the event tables.
#pragma once

#include "link/records.h"

#include <string>

namespace vx {

// "0::06/14/2007 13:05:09 System performed a warm reset." for a soft event entry; a fatal
// error entry names its error. Codes the tables do not have: "Unknown Event (0x%02x)." (the
// event code's low byte) and "Unknown Fatal Error (0x%04x).".
std::string logEntryLine(const SoftEventRecord& entry, bool fatal);

} // namespace vx
