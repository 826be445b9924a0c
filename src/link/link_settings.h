// What Start Monitor hands to the serial link: the port or replay file and its settings.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "link/serial_port.h"

namespace vx {

// Port indices 0..31 are COM1..COM32; index 32 is the replay file.
inline constexpr uint8_t kComPortCount = 32;
inline constexpr uint8_t kReplayPortIndex = 32;

struct LinkSettings {
    int32_t baudRate = 38400;
    uint8_t portIndex = 0;
    uint8_t dataBits = 8;
    uint8_t stopBits = 0; // stop-bit code: 0 = one stop bit
    uint8_t parity = kParityNone;
    std::string fileName; // replay file (replay mode only)
    bool replay = false;
    // The replay delay in milliseconds, owned by COM setup and read by the receive worker
    // after each 3002 report, so a change takes effect at the next one. Null means 0.
    const std::atomic<int32_t>* replayDelay = nullptr;
};

// The source text of the main window: "FILE" in replay mode, else "COM%d-%d-8" followed by
// "-None-1", "-Odd-1" or "-Even-1" ("COM1-38400-8-None-1").
std::string comText(const LinkSettings& settings);

} // namespace vx
