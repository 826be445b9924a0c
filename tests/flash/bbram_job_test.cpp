// The BBRAM save and upload job against the simulated receiver's monitor, on simulated time:
// the bytes that reach the file or the receiver, the status texts, progress and LED, the
// order of commands, and every failure the receiver can be told to make.
#include "flash/bbram_job.h"

#include "link/catalogue.h"
#include "sim/sim_harness.h"
#include "support/temp_path.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <iterator>

using namespace vxtest;
using vx::sim::MonitorPort;
using vx::sim::SimMode;

namespace {

// The receiver, with a record of every frame the job sent and a hook on each.
struct Receiver : SimHarness {
    std::vector<std::vector<uint8_t>> sent;
    std::function<void(const std::vector<uint8_t>&)> onSend;

    int sendFrame(const uint8_t* b, uint16_t n) override {
        sent.emplace_back(b, b + n);
        if (onSend) onSend(sent.back());
        return SimHarness::sendFrame(b, n);
    }
    static bool isMonitor(const std::vector<uint8_t>& f, uint8_t cmd) {
        return f.size() >= 6 && f[0] == 0x02 && f[1] == 0x00 && f[2] == cmd &&
               f.size() == size_t(f[3]) + 6;
    }
    size_t countMonitor(uint8_t cmd) const {
        size_t n = 0;
        for (const auto& f : sent) n += isMonitor(f, cmd);
        return n;
    }
    // Index of the first frame equal to bytes, or sent.size().
    size_t find(const std::vector<uint8_t>& bytes) const {
        for (size_t i = 0; i < sent.size(); ++i)
            if (sent[i] == bytes) return i;
        return sent.size();
    }
    const uint8_t* ram(uint32_t a) const { return sim.monitor().ram() + a; }
    const uint8_t* flash(uint32_t a) const {
        return sim.monitor().flash() + (a - MonitorPort::kFlashBase);
    }
    void faults(const vx::sim::SimFaults& f) { sim.setFaults(f); }
};

const std::vector<uint8_t> kForce = {0x81, 0x03, 0x03, 0xF7, 0x82};
const std::vector<uint8_t> kRestart = {0x02, 0x00, 0x8C, 0x00, 0x8C, 0x03};

struct Events : vx::BbramEvents {
    std::vector<std::string> statuses;
    std::vector<int> percents;
    std::vector<bool> leds;
    void status(const std::string& t) override { statuses.push_back(t); }
    void progress(int p) override { percents.push_back(p); }
    void led(bool ok) override { leds.push_back(ok); }
    bool monotonic() const {
        for (size_t i = 1; i < percents.size(); ++i)
            if (percents[i] < percents[i - 1]) return false;
        return true;
    }
};

std::vector<uint8_t> readFile(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), {}};
}

void writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream f(path, std::ios::binary);
    f.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

std::vector<uint8_t> pattern(size_t n, uint8_t seed) {
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i) v[i] = uint8_t(i * 31 + seed + (i >> 9));
    return v;
}

vx::BbramOptions options(vx::BbramOperation op, vx::BbramType type, const std::string& path) {
    vx::BbramOptions o;
    o.operation = op;
    o.type = type;
    o.path = path;
    return o;
}

struct JobRun {
    Receiver rx;
    Events ev;
    vx::BbramResult result;
    int64_t elapsedMs = 0;
    JobRun() { rx.boot(); }
    void job(const vx::BbramOptions& o, const std::atomic<bool>* cancel = nullptr) {
        const int64_t t0 = rx.sim.now();
        result = vx::runBbramJob(rx, o, ev, cancel);
        elapsedMs = rx.sim.now() - t0;
    }
};

} // namespace

TEST(BbramRegion, TableOfRegions) {
    using vx::BbramType;
    struct Case {
        BbramType type;
        vx::RamStart start;
        bool entire;
        uint32_t address, length;
        const char* name;
    };
    const Case cases[] = {
        {BbramType::Ram, vx::RamStart::RomB, false, 0x1800, 0x4000, "RAM"},
        {BbramType::Ram, vx::RamStart::BeforeRomB, false, 0x2000, 0x4000, "RAM"},
        {BbramType::Ram, vx::RamStart::RomB, true, 0x1800, 0x4000, "RAM"}, // flash only
        {BbramType::Flash, vx::RamStart::BeforeRomB, false, 0xC70000, 0x4000, "Flash"},
        {BbramType::Flash, vx::RamStart::RomB, true, 0xC00000, 0x80000, "Flash"},
    };
    for (const Case& c : cases) {
        vx::BbramOptions o;
        o.type = c.type;
        o.ramStart = c.start;
        o.entireFlash = c.entire;
        auto r = vx::bbramRegion(o);
        EXPECT_EQ(r.start, c.address);
        EXPECT_EQ(r.length, c.length);
        EXPECT_STREQ(r.name, c.name);
        EXPECT_EQ(r.entireFlash, c.type == BbramType::Flash && c.entire);
    }
}

TEST(BbramProgress, TruncatedWithoutOverflowAndEndsAt100) {
    EXPECT_EQ(vx::progressPercent(0, 16384), 0);
    EXPECT_EQ(vx::progressPercent(128, 16384), 0);
    EXPECT_EQ(vx::progressPercent(1152, 16384), 7);
    EXPECT_EQ(vx::progressPercent(16383, 16384), 99);
    EXPECT_EQ(vx::progressPercent(16384, 16384), 100);
    EXPECT_EQ(vx::progressPercent(524287, 524288), 99);
    EXPECT_EQ(vx::progressPercent(uint64_t(1) << 40, uint64_t(1) << 41), 50);
    EXPECT_EQ(vx::progressPercent(5, 0), 100);
}

// ---- Save

TEST(BbramSave, RamRegionWritesTheReceiversBytesAndRestartsIt) {
    for (auto start : {vx::RamStart::RomB, vx::RamStart::BeforeRomB}) {
        JobRun run;
        const std::string path = uniqueTempPath("bbram_save_ram");
        auto o = options(vx::BbramOperation::Save, vx::BbramType::Ram, path);
        o.ramStart = start;
        const uint32_t base = start == vx::RamStart::RomB ? 0x1800 : 0x2000;
        run.job(o);
        ASSERT_TRUE(run.result.ok) << run.result.status;
        EXPECT_TRUE(run.result.restartMonitoring);
        std::vector<uint8_t> expected(run.rx.ram(base), run.rx.ram(base) + 0x4000);
        EXPECT_EQ(readFile(path), expected);
        // 128 reads of 128 bytes, from the start address up in steps of 128.
        std::vector<uint32_t> addresses;
        for (const auto& f : run.rx.sent)
            if (Receiver::isMonitor(f, 0x80))
                addresses.push_back(uint32_t(f[4]) << 24 | f[5] << 16 | f[6] << 8 | f[7]);
        ASSERT_EQ(addresses.size(), 128u);
        EXPECT_EQ(addresses.front(), base);
        EXPECT_EQ(addresses.back(), base + 0x3F80);
        EXPECT_EQ(run.ev.statuses, (std::vector<std::string>{"Saving RAM BBRAM to file...",
                                                             "RAM BBRAM save complete."}));
        EXPECT_EQ(run.ev.leds, std::vector<bool>{true});
        EXPECT_EQ(run.ev.percents.front(), 0);
        EXPECT_EQ(run.ev.percents.back(), 100);
        EXPECT_TRUE(run.ev.monotonic());
        // 0303, then a second and a tenth before the first read; the restart ends it.
        EXPECT_EQ(run.rx.sent.front(), kForce);
        EXPECT_EQ(run.rx.sent.back(), kRestart);
        run.rx.run(vx::sim::SimReceiver::restartMs());
        EXPECT_EQ(run.rx.sim.mode(), SimMode::Normal);
        std::remove(path.c_str());
    }
}

TEST(BbramSave, EntireFlashIsReadIn4096Chunks) {
    JobRun run;
    const std::string path = uniqueTempPath("bbram_save_flash");
    auto o = options(vx::BbramOperation::Save, vx::BbramType::Flash, path);
    o.entireFlash = true;
    run.job(o);
    ASSERT_TRUE(run.result.ok) << run.result.status;
    EXPECT_EQ(run.rx.countMonitor(0x80), 4096u);
    std::vector<uint8_t> expected(run.rx.flash(0xC00000), run.rx.flash(0xC00000) + 0x80000);
    EXPECT_EQ(readFile(path), expected);
    EXPECT_EQ(run.ev.statuses.back(), "Flash BBRAM save complete.");
    std::remove(path.c_str());
}

// From the eleventh chunk on the receiver loses or spoils replies: up to four failed
// attempts are read again (a spoiled reply is never saved); five end the save, red, with the
// ten chunks read before kept in the file and the receiver restarted all the same.
TEST(BbramSave, RepliesLostOrSpoiledAreReadAgainFiveFailuresEndTheSave) {
    struct Case {
        uint32_t drop, corrupt;
        bool ok;
    };
    for (Case c : {Case{4, 0, true}, Case{0, 4, true}, Case{2, 2, true}, Case{5, 0, false},
                   Case{0, 5, false}}) {
        SCOPED_TRACE(testing::Message() << c.drop << " lost, " << c.corrupt << " spoiled");
        JobRun run;
        const std::string path = uniqueTempPath("bbram_save_retry");
        size_t reads = 0;
        run.rx.onSend = [&](const std::vector<uint8_t>& f) {
            if (Receiver::isMonitor(f, 0x80) && ++reads == 11) {
                vx::sim::SimFaults faults;
                faults.monitorDropAnswers = c.drop;
                faults.monitorCorruptReplies = c.corrupt;
                run.rx.faults(faults);
            }
        };
        run.job(options(vx::BbramOperation::Save, vx::BbramType::Ram, path));
        EXPECT_EQ(run.result.ok, c.ok) << run.result.status;
        EXPECT_EQ(run.ev.leds, std::vector<bool>{c.ok});
        EXPECT_EQ(run.rx.sent.back(), kRestart);
        if (c.ok) {
            EXPECT_EQ(run.rx.countMonitor(0x80), 128u + c.drop + c.corrupt);
            EXPECT_EQ(readFile(path),
                      std::vector<uint8_t>(run.rx.ram(0x1800), run.rx.ram(0x1800) + 0x4000));
        } else {
            EXPECT_EQ(run.result.status, "Could not save RAM BBRAM.");
            EXPECT_EQ(readFile(path).size(), 10u * 128);
        }
        std::remove(path.c_str());
    }
}

TEST(BbramSave, AFileThatCannotBeOpenedIsReportedAfterTheMonitorWasEntered) {
    JobRun run;
    run.job(options(vx::BbramOperation::Save, vx::BbramType::Ram, ::testing::TempDir()));
    EXPECT_FALSE(run.result.ok);
    EXPECT_EQ(run.result.status, "Could not open file.");
    EXPECT_EQ(run.rx.countMonitor(0x80), 0u);
    EXPECT_EQ(run.rx.sent.back(), kRestart);
}

// ---- Upload into RAM

TEST(BbramUploadRam, TheImageLandsInRamAndTheReceiverStartsFromIt) {
    JobRun run;
    // A valid image with a changed setting: saved from the receiver, then altered in the sim.
    const std::string saved = uniqueTempPath("bbram_ram_saved");
    vx::setDrEngineRate(run.rx, 10);
    run.job(options(vx::BbramOperation::Save, vx::BbramType::Ram, saved));
    ASSERT_TRUE(run.result.ok);
    run.rx.run(2000);
    vx::setDrEngineRate(run.rx, 3);
    run.rx.take();

    run.ev = {};
    run.rx.sent.clear();
    std::vector<uint8_t> image = readFile(saved);
    image.resize(0x4000 + 100, 0xEE); // a longer file is accepted; its tail is not sent
    const std::string path = uniqueTempPath("bbram_ram_upload");
    writeFile(path, image);
    run.job(options(vx::BbramOperation::Upload, vx::BbramType::Ram, path));
    ASSERT_TRUE(run.result.ok) << run.result.status;
    EXPECT_TRUE(std::equal(image.begin(), image.begin() + 0x4000, run.rx.ram(0x1800)));
    EXPECT_EQ(run.rx.countMonitor(0x81), 128u);
    EXPECT_EQ(run.ev.statuses,
              (std::vector<std::string>{"Opening BBRAM file...", "Reading BBRAM file...",
                                        "Uploading RAM BBRAM...", "RAM BBRAM upload complete."}));
    EXPECT_EQ(run.ev.percents.back(), 100);
    EXPECT_TRUE(run.ev.monotonic());
    EXPECT_EQ(run.ev.leds, std::vector<bool>{true});
    run.rx.run(vx::sim::SimReceiver::restartMs());
    run.rx.take();
    vx::sendQuery(run.rx, 0x21, 1);
    auto rate = withId(run.rx.take(), 0x21, 1);
    ASSERT_EQ(rate.size(), 1u);
    EXPECT_EQ(rate[0].payload[0], 10) << "the receiver runs on the uploaded image";
    std::remove(saved.c_str());
    std::remove(path.c_str());
}

TEST(BbramUploadRam, ABadFileAfterTheMonitorWasEnteredSendsOnlyTheRestart) {
    struct Case {
        size_t size; // 0: no file
        const char* status;
    };
    for (Case c : {Case{16383, "Error reading BBRAM file."}, Case{0, "Could not open file."}}) {
        JobRun run;
        const std::string path = uniqueTempPath("bbram_ram_short");
        if (c.size) writeFile(path, pattern(c.size, 1));
        run.job(options(vx::BbramOperation::Upload, vx::BbramType::Ram, path));
        EXPECT_FALSE(run.result.ok);
        EXPECT_EQ(run.result.status, c.status);
        EXPECT_EQ(run.ev.leds, std::vector<bool>{false});
        const size_t force = run.rx.find(kForce);
        ASSERT_LT(force, run.rx.sent.size());
        EXPECT_EQ(std::vector(run.rx.sent.begin() + long(force) + 1, run.rx.sent.end()),
                  std::vector<std::vector<uint8_t>>{kRestart});
        std::remove(path.c_str());
    }
}

TEST(BbramUploadRam, ARefusedOrUnansweredWriteEndsTheUpload) {
    for (bool refuse : {true, false}) {
        JobRun run;
        const std::string path = uniqueTempPath("bbram_ram_refused");
        writeFile(path, pattern(0x4000, 7));
        size_t writes = 0;
        run.rx.onSend = [&](const std::vector<uint8_t>& f) {
            if (Receiver::isMonitor(f, 0x81) && ++writes == 3) {
                vx::sim::SimFaults faults;
                if (refuse)
                    faults.monitorRefuse = 0x81;
                else
                    faults.monitorDropAnswers = 1;
                run.rx.faults(faults);
            }
        };
        run.job(options(vx::BbramOperation::Upload, vx::BbramType::Ram, path));
        EXPECT_FALSE(run.result.ok);
        EXPECT_EQ(run.result.status, "Error uploading BBRAM.");
        EXPECT_EQ(run.rx.countMonitor(0x81), 3u);
        EXPECT_EQ(run.rx.sent.back(), kRestart);
        // A refusal ends the wait at once; silence after the 3 s allowance.
        if (refuse)
            EXPECT_LT(run.elapsedMs, 1000);
        else
            EXPECT_GE(run.elapsedMs, 3000);
        std::remove(path.c_str());
    }
}

// ---- Upload into flash

TEST(BbramUploadFlash, ErasesThenProgramsTheImageThroughTheDaemon) {
    JobRun run;
    const std::string path = uniqueTempPath("bbram_flash_upload");
    const std::vector<uint8_t> image = pattern(0x4000, 3);
    writeFile(path, image);
    auto o = options(vx::BbramOperation::Upload, vx::BbramType::Flash, path);
    run.job(o);
    ASSERT_TRUE(run.result.ok) << run.result.status;
    EXPECT_TRUE(std::equal(image.begin(), image.end(), run.rx.flash(0xC70000)));
    EXPECT_EQ(run.ev.statuses, (std::vector<std::string>{
                                   "Opening BBRAM file...", "Reading BBRAM file...",
                                   "Erasing Flash...", "Starting daemon...",
                                   "Uploading Flash BBRAM...", "Flash BBRAM upload complete."}));
    // The erase shows 0, 5, 10, 15 and 20 over five seconds.
    ASSERT_GE(run.ev.percents.size(), 6u);
    EXPECT_EQ(std::vector(run.ev.percents.begin(), run.ev.percents.begin() + 5),
              (std::vector<int>{0, 5, 10, 15, 20}));
    EXPECT_EQ(run.ev.percents.back(), 100);
    EXPECT_GE(run.elapsedMs, 5000 + 1100);
    // 0307 first, then 0303, the daemon (83, 82), 8B with length and address, the image.
    ASSERT_GE(run.rx.sent.size(), 6u);
    EXPECT_EQ(run.rx.sent[0], (std::vector<uint8_t>{0x81, 0x03, 0x07, 0xF3, 0x82}));
    EXPECT_EQ(run.rx.sent[1], kForce);
    EXPECT_TRUE(Receiver::isMonitor(run.rx.sent[2], 0x83));
    EXPECT_TRUE(Receiver::isMonitor(run.rx.sent[3], 0x82));
    EXPECT_EQ(run.rx.sent[4],
              vx::buildMonitorFrame(0x8B, std::vector<uint8_t>{0, 0, 0x40, 0, 0, 0xC7, 0, 0}));
    std::vector<uint8_t> wire;
    for (size_t i = 5; i + 1 < run.rx.sent.size(); ++i)
        wire.insert(wire.end(), run.rx.sent[i].begin(), run.rx.sent[i].end());
    EXPECT_EQ(wire, image) << "the image goes out raw, in order, nothing added";
    EXPECT_EQ(run.rx.sent.size(), 5u + 0x4000 / vx::kFlashImageBlock + 1);
    EXPECT_EQ(run.rx.sent.back(), kRestart);
    std::remove(path.c_str());
}

TEST(BbramUploadFlash, AMissingOrShortFileSendsNothing) {
    for (size_t size : {size_t(0), size_t(100)}) {
        JobRun run;
        const std::string path = uniqueTempPath("bbram_flash_short");
        if (size) writeFile(path, pattern(size, 2));
        run.job(options(vx::BbramOperation::Upload, vx::BbramType::Flash, path));
        EXPECT_FALSE(run.result.ok);
        EXPECT_FALSE(run.result.restartMonitoring);
        EXPECT_EQ(run.result.status, size ? "Error reading BBRAM file." : "Could not open file.");
        EXPECT_TRUE(run.rx.sent.empty());
        EXPECT_EQ(run.ev.leds, std::vector<bool>{false});
        std::remove(path.c_str());
    }
}

TEST(BbramUploadFlash, EachRefusalEndsWithItsTextAtOnce) {
    struct Case {
        uint8_t refused;
        bool entire;
        const char* status;
        bool restarted; // after a failed entire-flash upload the receiver stays in its monitor
    };
    const Case cases[] = {
        {0x83, false, "Error starting daemon.", true},
        {0x82, false, "Error starting daemon.", true},
        {0x8B, false, "Error uploading BBRAM.", true},
        {0x83, true, "Error starting daemon.", false},
        {0x87, true, "Error unprotecting flash.", false},
        {0x8E, true, "Error erasing entire flash.", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.refused));
        JobRun run;
        const std::string path = uniqueTempPath("bbram_flash_refused");
        writeFile(path, pattern(c.entire ? 0x80000 : 0x4000, 9));
        vx::sim::SimFaults faults;
        faults.monitorRefuse = c.refused;
        run.rx.faults(faults);
        auto o = options(vx::BbramOperation::Upload, vx::BbramType::Flash, path);
        o.entireFlash = c.entire;
        run.job(o);
        EXPECT_FALSE(run.result.ok);
        EXPECT_EQ(run.result.status, c.status);
        EXPECT_EQ(run.ev.leds, std::vector<bool>{false});
        EXPECT_EQ(run.rx.countMonitor(0x8C), c.restarted ? 1u : 0u);
        EXPECT_EQ(run.rx.sim.mode() == SimMode::Monitor, !c.restarted);
        // No acknowledge wait was waited out: the erase's five seconds (flash BBRAM only),
        // the monitor's entry, and little more. (0x8B's refusal follows the image.)
        const int64_t fixed = (c.entire ? 0 : 5000) + 1100;
        EXPECT_LT(run.elapsedMs, fixed + 1000);
        std::remove(path.c_str());
    }
}

TEST(BbramUploadFlash, TheImagesAcknowledgementLostIsAFailure) {
    JobRun run;
    const std::string path = uniqueTempPath("bbram_flash_noack");
    writeFile(path, pattern(0x4000, 4));
    run.rx.onSend = [&](const std::vector<uint8_t>& f) {
        if (Receiver::isMonitor(f, 0x8B)) {
            vx::sim::SimFaults faults;
            faults.monitorDropAnswers = 1;
            run.rx.faults(faults);
        }
    };
    auto o = options(vx::BbramOperation::Upload, vx::BbramType::Flash, path);
    o.baudRate = 115200; // the allowance grows by the image's wire time
    run.job(o);
    EXPECT_FALSE(run.result.ok);
    EXPECT_EQ(run.result.status, "Error uploading BBRAM.");
    EXPECT_EQ(run.ev.percents.back(), 100) << "all blocks went out";
    EXPECT_GE(run.elapsedMs, 5000 + 1100 + 3000 + vx::wireTimeMs(0x4000, 115200));
    std::remove(path.c_str());
}

TEST(BbramUploadFlash, EntireFlashIsUnprotectedErasedAndWritten) {
    JobRun run;
    const std::string path = uniqueTempPath("bbram_flash_entire");
    const std::vector<uint8_t> image = pattern(0x80000, 5);
    writeFile(path, image);
    auto o = options(vx::BbramOperation::Upload, vx::BbramType::Flash, path);
    o.entireFlash = true;
    run.job(o);
    ASSERT_TRUE(run.result.ok) << run.result.status;
    EXPECT_TRUE(std::equal(image.begin(), image.end(), run.rx.flash(0xC00000)));
    EXPECT_EQ(run.rx.find({0x81, 0x03, 0x07, 0xF3, 0x82}), run.rx.sent.size()) << "no 0307";
    EXPECT_EQ(run.rx.countMonitor(0x87), 1u);
    EXPECT_EQ(run.rx.countMonitor(0x8E), 1u);
    EXPECT_EQ(run.ev.statuses[3], "Erasing Flash...");
    std::remove(path.c_str());
}

TEST(BbramJob, ACancelledJobEndsAtTheNextChunkAndRestartsTheReceiver) {
    JobRun run;
    const std::string path = uniqueTempPath("bbram_cancel");
    std::atomic<bool> cancel{false};
    size_t reads = 0;
    run.rx.onSend = [&](const std::vector<uint8_t>& f) {
        if (Receiver::isMonitor(f, 0x80) && ++reads == 5) cancel = true;
    };
    run.job(options(vx::BbramOperation::Save, vx::BbramType::Ram, path), &cancel);
    EXPECT_FALSE(run.result.ok);
    EXPECT_EQ(run.result.status, "Cancelled.");
    EXPECT_EQ(run.rx.countMonitor(0x80), 5u);
    EXPECT_EQ(run.rx.sent.back(), kRestart);
    std::remove(path.c_str());
}
