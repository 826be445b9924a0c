#include "flash/bbram_job.h"

#include "link/catalogue.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

namespace vx {

namespace {

constexpr uint8_t kForceToMonitor = 0x03;
constexpr uint8_t kClearFlashAndRam = 0x07;

struct FileCloser {
    void operator()(std::FILE* f) const {
        if (f) std::fclose(f);
    }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// Reads the first length bytes of a file into image: "" on success, else the status text.
std::string readImage(const std::string& path, uint32_t length, std::vector<uint8_t>& image,
                      BbramEvents& events) {
    events.status("Opening BBRAM file...");
    File f(std::fopen(path.c_str(), "rb"));
    if (!f) return "Could not open file.";
    events.status("Reading BBRAM file...");
    image.assign(length, 0);
    if (std::fread(image.data(), 1, length, f.get()) != length) return "Error reading BBRAM file.";
    return {};
}

class Job {
public:
    Job(MonitorLink& link, const BbramOptions& o, BbramEvents& events,
        const std::atomic<bool>* cancel)
        : link_(link), o_(o), events_(events), cancel_(cancel), region_(bbramRegion(o)) {}

    BbramResult run() {
        progress(0);
        if (o_.operation == BbramOperation::Save) return save();
        return o_.type == BbramType::Ram ? uploadRam() : uploadFlash();
    }

private:
    bool cancelled() const { return cancel_ && cancel_->load(); }
    void status(const std::string& text) {
        last_ = text;
        events_.status(text);
    }
    void progress(int percent) {
        if (percent != lastPercent_) events_.progress(percent);
        lastPercent_ = percent;
    }
    std::string name() const { return region_.name; }

    // The end of every operation that reached the monitor: the receiver is restarted and the
    // receive worker goes on; the caller restarts monitoring.
    BbramResult endSequence(bool ok) {
        link_.sleepMs(100);
        monitorRestart(link_);
        link_.resumeLink();
        return {ok, true, last_};
    }
    // A failed upload (or any failure before the save's loop): red, the reason, and the same
    // end, except that after a failed entire-flash upload the receiver is left in its monitor.
    BbramResult fail(const std::string& text) {
        events_.led(false);
        status(text);
        if (!region_.entireFlash) monitorRestart(link_);
        link_.resumeLink();
        return {false, true, last_};
    }
    // Forces the receiver to its monitor with the pauses of the operation (pause first for
    // uploads, after the first wait for a save). "" or the failure's text.
    std::string enterMonitor(bool pauseFirst, int waitAfterForceMs) {
        if (pauseFirst && !link_.pauseLink()) return "The link is not running.";
        if (sendSystem(link_, kForceToMonitor) != 0)
            return "Could not send Force to Monitor (0303).";
        link_.sleepMs(waitAfterForceMs);
        if (!pauseFirst && !link_.pauseLink()) return "The link is not running.";
        link_.purgeLink();
        link_.sleepMs(100);
        return {};
    }

    BbramResult save() {
        if (std::string why = enterMonitor(false, 1000); !why.empty()) return fail(why);
        File f(std::fopen(o_.path.c_str(), "wb"));
        if (!f) {
            events_.led(false);
            status("Could not open file.");
            return endSequence(false);
        }
        status("Saving " + name() + " BBRAM to file...");
        std::vector<uint8_t> chunk(kBbramChunk);
        const uint32_t start = region_.start;
        const uint64_t end = uint64_t(start) + region_.length; // one past the last byte
        for (uint64_t a = start; a < end; a += kBbramChunk) {
            if (cancelled()) return failSave("Cancelled.");
            if (!monitorReadMemory(link_, uint32_t(a), uint8_t(kBbramChunk), chunk))
                return failSave("Could not save " + name() + " BBRAM.");
            if (a % 1024 == 0) progress(progressPercent(a + kBbramChunk - start, region_.length));
            if (std::fwrite(chunk.data(), 1, chunk.size(), f.get()) != chunk.size())
                return failSave("Could not write file.");
        }
        // A file that cannot be completed (a full disk shows at the flush) is no save.
        if (std::fclose(f.release()) != 0) return failSave("Could not write file.");
        progress(100);
        events_.led(true);
        status(name() + " BBRAM save complete.");
        return endSequence(true);
    }
    // A save that failed in its loop: the chunks written so far stay in the file.
    BbramResult failSave(const std::string& text) {
        status(text);
        events_.led(false);
        return endSequence(false);
    }

    BbramResult uploadRam() {
        if (std::string why = enterMonitor(true, 100); !why.empty()) return fail(why);
        std::vector<uint8_t> image;
        if (std::string why = readImage(o_.path, region_.length, image, events_); !why.empty())
            return fail(why);
        link_.sleepMs(100);
        status("Uploading " + name() + " BBRAM...");
        // The monitor says nothing unasked: whatever came in since the purge (the end of a
        // report sent before the receiver entered its monitor) is not an answer.
        link_.discardReceived();
        for (size_t off = 0; off < image.size(); off += kBbramChunk) {
            if (cancelled()) return fail("Cancelled.");
            std::span<const uint8_t> chunk(image.data() + off, kBbramChunk);
            if (monitorWriteMemory(link_, uint32_t(region_.start + off), chunk) != 0 ||
                !waitMonitorAck(link_, kAckMs))
                return fail("Error uploading BBRAM.");
            if (off % 512 == 0) progress(progressPercent(off, region_.length));
        }
        progress(100);
        status(name() + " BBRAM upload complete.");
        events_.led(true);
        return endSequence(true);
    }

    BbramResult uploadFlash() {
        // The file is read before anything is erased: a missing or short file sends nothing.
        std::vector<uint8_t> image;
        if (std::string why = readImage(o_.path, region_.length, image, events_); !why.empty()) {
            events_.led(false);
            status(why);
            return {false, false, last_};
        }
        if (!region_.entireFlash) {
            status("Erasing Flash...");
            if (sendSystem(link_, kClearFlashAndRam) != 0) {
                events_.led(false);
                status("Could not send Clear Flash and RAM, Reset (0307).");
                return {false, false, last_};
            }
            for (int i = 0; i < 5; ++i) {
                progress(5 * i);
                link_.sleepMs(1000);
            }
        }
        if (std::string why = enterMonitor(true, 1000); !why.empty()) return fail(why);
        if (cancelled()) return fail("Cancelled.");
        status("Starting daemon...");
        link_.discardReceived(); // as for RAM: nothing before the daemon's answer is one
        if (monitorCommand83(link_) != 0 || !waitMonitorAck(link_, kAckMs) ||
            monitorCommand82(link_) != 0 || !waitMonitorAck(link_, kAckMs))
            return fail("Error starting daemon.");
        if (region_.entireFlash) {
            status("Erasing Flash...");
            if (monitorCommand87(link_) != 0 || !waitMonitorAck(link_, kAckMs))
                return fail("Error unprotecting flash.");
            if (monitorCommand8E(link_) != 0 || !waitMonitorAck(link_, kEraseAckMs))
                return fail("Error erasing entire flash.");
        }
        status("Uploading " + name() + " BBRAM...");
        if (monitorCommand8B(link_, region_.length, region_.start) != 0)
            return fail("Error uploading BBRAM.");
        // The image goes out raw, in blocks, with no handshake until the end.
        for (size_t off = 0; off < image.size(); off += kFlashImageBlock) {
            if (cancelled()) return fail("Cancelled.");
            const size_t n = std::min(kFlashImageBlock, image.size() - off);
            if (link_.sendFrame(image.data() + off, uint16_t(n)) != 0)
                return fail("Error uploading BBRAM.");
            progress(progressPercent(off + n, region_.length));
        }
        const int allowance = kAckMs + int(wireTimeMs(image.size(), o_.baudRate));
        if (!waitMonitorAck(link_, allowance)) return fail("Error uploading BBRAM.");
        progress(100);
        status(name() + " BBRAM upload complete.");
        events_.led(true);
        return endSequence(true);
    }

    MonitorLink& link_;
    const BbramOptions& o_;
    BbramEvents& events_;
    const std::atomic<bool>* cancel_;
    const BbramRegion region_;
    std::string last_;
    int lastPercent_ = -1;
};

} // namespace

BbramRegion bbramRegion(const BbramOptions& o) {
    if (o.type == BbramType::Ram)
        return {o.ramStart == RamStart::RomB ? kRamBbramRomB : kRamBbramBeforeRomB, kBbramLength,
                "RAM", false};
    if (o.entireFlash) return {kFlashStart, kEntireFlashLength, "Flash", true};
    return {kFlashBbram, kBbramLength, "Flash", false};
}

int progressPercent(uint64_t done, uint64_t length) {
    if (length == 0) return 100;
    if (done >= length) return 100;
    return int(done * 100 / length);
}

BbramResult runBbramJob(MonitorLink& link, const BbramOptions& options, BbramEvents& events,
                        const std::atomic<bool>* cancel) {
    return Job(link, options, events, cancel).run();
}

} // namespace vx
