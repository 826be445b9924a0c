// Moving the receiver's battery-backed RAM (BBRAM) image between the receiver and a file, in
// the receiver's monitor: save the BBRAM region of its RAM or flash (or the entire flash) into
// a raw image file, or upload such a file into RAM or flash. No Qt: the "BBRAM save/load"
// window runs it on its worker thread, `vexor bbram` on the command line.
//
// The job runs on the calling thread and blocks it (sleeps and acknowledge waits); it talks to
// the receiver through a MonitorLink whose receive worker it pauses, and reports its progress
// through BbramEvents, on its own thread. What the console does after it (Stop Monitor, then
// Start Monitor) is the caller's: BbramResult says whether it is due.
//
// Image file: the raw bytes of the region in address order, no header. A save writes exactly
// the region's length; an upload takes the first length bytes of the file and refuses a
// shorter one (a longer one is accepted).
#pragma once

#include "link/monitor_ops.h"

#include <atomic>
#include <cstdint>
#include <string>

namespace vx {

enum class BbramOperation : uint8_t { Save, Upload };
enum class BbramType : uint8_t { Flash, Ram };
enum class RamStart : uint8_t {
    RomB,       // "0x1800 (ROM B and later)"
    BeforeRomB, // "0x2000 (Before ROM B)"
};

// What the user chose, read before the job starts.
struct BbramOptions {
    BbramOperation operation = BbramOperation::Save;
    BbramType type = BbramType::Flash;
    RamStart ramStart = RamStart::RomB;
    bool entireFlash = false; // counts only with BbramType::Flash
    std::string path;         // the image file
    // The line's speed (0: not known). A port accepts bytes before they are on the wire, so
    // the acknowledgement of a flash image is given the image's wire time on top of its 3 s.
    int32_t baudRate = 0;
};

// The part of the receiver's memory a job moves.
struct BbramRegion {
    uint32_t start = 0;
    uint32_t length = 0;
    const char* name = ""; // "RAM" or "Flash", in the status texts
    bool entireFlash = false;
};

inline constexpr uint32_t kBbramLength = 0x4000;
inline constexpr uint32_t kEntireFlashLength = 0x80000;
inline constexpr uint32_t kRamBbramRomB = 0x1800;
inline constexpr uint32_t kRamBbramBeforeRomB = 0x2000;
inline constexpr uint32_t kFlashBbram = 0xC70000;
inline constexpr uint32_t kFlashStart = 0xC00000;
inline constexpr size_t kBbramChunk = 128;       // bytes per memory read or write
inline constexpr size_t kFlashImageBlock = 2048; // bytes of the flash image per write
inline constexpr int kAckMs = 3000;              // the monitor's acknowledge allowance
inline constexpr int kEraseAckMs = 10000;        // ... after erasing the entire flash

BbramRegion bbramRegion(const BbramOptions& options);

// Told what the job does, on the job's thread, in order.
class BbramEvents {
public:
    virtual ~BbramEvents() = default;
    virtual void status(const std::string& text) = 0;
    virtual void progress(int percent) = 0;
    // The operation's outcome: green (true) or red.
    virtual void led(bool ok) = 0;
};

struct BbramResult {
    bool ok = false;
    // The receiver was forced to its monitor and the link paused and resumed: the console now
    // restarts monitoring (Stop Monitor, then Start Monitor). False when nothing was sent (a
    // flash image file that could not be read).
    bool restartMonitoring = false;
    std::string status; // the last status text
};

// Runs one operation to its end. cancel (may be null), once set, ends it early like a failure
// ("Cancelled.") at the next chunk or pause.
BbramResult runBbramJob(MonitorLink& link, const BbramOptions& options, BbramEvents& events,
                        const std::atomic<bool>* cancel = nullptr);

// The progress, in percent, after done bytes of length; truncated, computed without overflow.
int progressPercent(uint64_t done, uint64_t length);

} // namespace vx
