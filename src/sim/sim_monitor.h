// The receiver's monitor: the simple frame protocol it speaks after "Force to Monitor (0303)",
// a simulated RAM and flash, and the flash daemon.
//
// Monitor frame: 0x02, 0x00, command, length n, n data bytes, 8-bit sum of command, length and
// data, 0x03. Commands are answered with 0x06 (accepted) or 0x15 (refused); a memory read is
// answered with a frame of the same form carrying the data. The five wake bytes 0x05 and any
// other byte between frames are ignored.
#pragma once

#include "sim/sim_store.h"

#include <cstdint>
#include <vector>

namespace vx::sim {

inline constexpr uint8_t kMonitorAck = 0x06;
inline constexpr uint8_t kMonitorNak = 0x15;

class MonitorPort {
public:
    // Memory map.
    static constexpr uint32_t kRamBase = 0x000000;
    static constexpr uint32_t kRamSize = 0x040000; // 256 KiB, BBRAM at 0x1800
    static constexpr uint32_t kFlashBase = 0xC00000;
    static constexpr uint32_t kFlashSize = 0x080000; // 512 KiB, boot code first
    static constexpr uint32_t kRamBbram = 0x1800;    // BBRAM in RAM (ROM B and later)
    static constexpr uint32_t kFlashBbram = 0xC70000;
    static constexpr uint32_t kBbramRegion = 0x4000;
    static constexpr uint32_t kProtectedEnd = 0xC70000; // below: boot code, needs unprotect
    static constexpr int64_t kRawImageTimeoutMs = 3000;
    // A frame whose next byte is this late is abandoned; the parser waits for a new frame.
    static constexpr int64_t kInterByteTimeoutMs = 500;

    struct Answer {
        std::vector<uint8_t> bytes;
        uint32_t delayMs = 0;
    };

    explicit MonitorPort(FactoryData& factory);

    // Entering the monitor: the parser and the daemon start afresh.
    void enter(int64_t tMs);
    void feed(uint8_t b, int64_t tMs, std::vector<Answer>& out);
    // Ends a flash image transfer that stopped arriving.
    void tick(int64_t tMs, std::vector<Answer>& out);
    bool restartRequested() const { return restart_; }
    // Frames with this command byte (0xFF: every command) are refused with 0x15 and not
    // carried out; 0 refuses none.
    void setRefused(uint8_t command) { refusedCommand_ = command; }

    bool read(uint32_t address, uint32_t count, uint8_t* dst) const;
    bool writeRam(uint32_t address, const uint8_t* src, uint32_t count);
    uint8_t* ram() { return ram_.data(); }
    uint8_t* flash() { return flash_.data(); }
    const uint8_t* ram() const { return ram_.data(); }
    const uint8_t* flash() const { return flash_.data(); }

    // Counters for tests and statistics.
    uint32_t framesAccepted() const { return accepted_; }
    uint32_t framesRefused() const { return refused_; }

private:
    enum class State { Idle, Zero, Command, Length, Data, Sum, End, RawImage };
    void execute(int64_t tMs, std::vector<Answer>& out);
    void answer(std::vector<Answer>& out, uint8_t b, uint32_t delayMs = 0);
    uint8_t* flashAt(uint32_t address, uint32_t count);

    FactoryData& factory_;
    std::vector<uint8_t> ram_;
    std::vector<uint8_t> flash_;
    State state_ = State::Idle;
    uint8_t cmd_ = 0, len_ = 0, sum_ = 0;
    std::vector<uint8_t> data_;
    bool daemonLoaded_ = false;
    bool daemonRunning_ = false;
    bool unprotected_ = false;
    bool restart_ = false;
    uint32_t rawAddress_ = 0, rawLeft_ = 0;
    int64_t rawLastMs_ = 0;
    int64_t lastByteMs_ = 0;
    uint32_t accepted_ = 0, refused_ = 0;
    uint8_t refusedCommand_ = 0;
};

} // namespace vx::sim
