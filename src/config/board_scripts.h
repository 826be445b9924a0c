// The two set-up scripts that reset the receiver to its factory state and then choose what it
// outputs by default: the protocol selection (VEXOR reports or NMEA sentences) and the ZANT
// board set-up (a ZANT board made to output what a standard DR board does). Both are paced
// scripts: the frames in order with their pauses, run from timers by the windows and blocking
// by command-line tools.
#pragma once

#include "link/paced_script.h"

namespace vx {

// The receiver needs this long after "Clear Flash and RAM, Reset (0307)" before it takes
// settings again.
inline constexpr int kFactoryResetWaitMs = 5000;
// The pause after each setting.
inline constexpr int kSetupStepPauseMs = 100;

enum class DefaultProtocol { Vexor, Nmea };

// 0307; 5 s; the time trigger of 3002 and ten event triggers (VEXOR: the default reports;
// NMEA: every value 0), 100 ms after each; Set 2202 (NMEA: GGA, GSV, GSA, RMC and bit 2 on;
// VEXOR: off); 100 ms; 0309. 14 frames, about 6.2 s.
PacedScript protocolSetupScript(DefaultProtocol protocol);

// 0307; 5 s; 707F with 0x70 subcodes 01-05 and 07-0B; the time trigger of 3002; nine event
// triggers; 100 ms after each; 0309. 13 frames, about 6.1 s.
PacedScript zantSetupScript();

} // namespace vx
