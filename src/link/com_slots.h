// The COM slots: COM1..COM32 (port indices 0..31), each mapped to a device path.
//
// The console keeps the COM1..COM32 model of its users; on Linux each slot names a device.
// Default: COMn is /dev/ttyS(n-1). The command line option `--com N=PATH` (repeatable) and
// the COM Setup window change the map; a pseudo-terminal path is as good as any device.
#pragma once

#include <array>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "link/link_settings.h"

namespace vx {

class ComSlots {
public:
    ComSlots();

    // The device path of port index 0..31; empty for the replay index and anything above.
    std::string path(uint8_t index) const;
    // Maps port index 0..31 to path (an empty path restores the default). False for other
    // indices.
    bool setPath(uint8_t index, const std::string& path);

    // Applies one `--com` value, "N=PATH" with N in 1..32. Returns an empty string when it
    // was applied, else the message to show ("--com 40=/dev/ttyUSB0: COM number must be 1 to
    // 32").
    std::string applyOption(std::string_view value);

    // Removes every `--com N=PATH` and `--com=N=PATH` from argv (argc shrinks) and applies
    // them. Returns the first error message, or empty when all applied.
    std::string takeOptions(int& argc, char** argv);

    // "COM1".."COM32" for 0..31, "FILE" for the replay index.
    static std::string portName(uint8_t index);
    static std::string defaultPath(uint8_t index);

private:
    mutable std::mutex mu_;
    std::array<std::string, kComPortCount> paths_;
};

} // namespace vx
