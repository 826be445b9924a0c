// `vexor log`: the data logs of a recording or a live port, from outside.
#include "app/data_log.h"
#include "app/log_formats.h"
#include "link/com_slots.h"
#include "link/packet_decode.h"
#include "link/serial_link.h"
#include "sim/sim_runner.h"

#include "../../bench/stream_gen.h"
#include "support/child_process.h"
#include "support/pty.h"
#include "support/run_command.h"
#include "support/temp_path.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <sys/stat.h>

using vxtest::runCommand;

namespace {

const std::string vexor = VEXOR_BINARY;

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    size_t at = 0;
    for (size_t e; (e = text.find("\r\n", at)) != std::string::npos; at = e + 2)
        out.push_back(text.substr(at, e - at));
    EXPECT_EQ(at, text.size()) << "the last line has no CR LF";
    return out;
}

// The good packets of a code and subcode in a stream, as `vexor stats` counts them.
long goodPackets(const std::string& file, const std::string& id) {
    auto r = runCommand(vexor + " stats --json " + file);
    std::smatch m;
    if (!std::regex_search(r.out, m, std::regex("\"" + id + "\": ([0-9]+)"))) return 0;
    return std::stol(m[1]);
}

// The frames (0x81 .. 0x82) of one code in a byte stream, in order.
std::string framesOf(const std::string& s, uint8_t code) {
    std::string out;
    for (size_t at = 0; at + 1 < s.size();) {
        if (uint8_t(s[at]) != 0x81 || uint8_t(s[at + 1]) == 0x81) {
            ++at;
            continue;
        }
        size_t e = s.find('\x82', at);
        if (e == std::string::npos) break;
        if (uint8_t(s[at + 1]) == code) out += s.substr(at, e + 1 - at);
        at = e + 1;
    }
    return out;
}

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary).write(bytes.data(), long(bytes.size()));
}

// A recording of some 40,000 reports, with corrupt frames and noise.
std::string bigRecording() {
    std::vector<uint8_t> stream;
    vxbench::StreamGenerator gen({0.01, 7});
    gen.append(stream, 3'000'000);
    return std::string(stream.begin(), stream.end());
}

const std::string sample = std::string(CORPUS_DIR) + "/../../data/sample.vxr";

struct Dir {
    std::string path = vxtest::uniqueTempPath("vexor_log");
    Dir() { std::filesystem::create_directories(path); }
    ~Dir() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
    std::string operator/(const std::string& name) const { return path + "/" + name; }
};

TEST(VexorLog, UsageErrorsNameWhatIsWrong) {
    Dir d;
    const std::string rec = d / "rec.vxr";
    std::ofstream(rec) << "x";
    struct Case {
        std::string args;
        std::string message;
    } cases[] = {
        {rec, "no log file given"},
        {"--5hz " + d / "a.csv", "no input given"},
        {"--5hz " + d / "a.csv --port /dev/null " + rec, "either a recording or --port"},
        {"--1hz " + d / "a.csv --1hz-packets 31-01,35-01 " + rec, "invalid 1 Hz packet '35-01'"},
        {"--5hz " + d / "a.csv --1hz-packets 31-01 " + rec, "--1hz-packets without --1hz"},
        {"--5hz " + d / "a.csv --bin5 " + d / "./a.csv " + rec, "is given for two logs"},
        {"--all " + rec + " " + rec, "is the recording itself"},
        {"--5hz " + d / "a.csv --5hz " + d / "b.csv " + rec, "--5hz given twice"},
        {"--5hz " + d / "a.csv --duration 3 " + rec, "--duration is for --port"},
        {"--5hz " + d / "a.csv " + d / "missing.vxr", "cannot read"},
        {"--5hz " + d / "a.csv " + d.path, "is a directory, not a recording"},
        {"--all " + rec + " - < " + rec, "is the file standard input reads"},
        {"--5hz x.csv --bin5 ./x.csv " + rec, "./x.csv is given for two logs"},
    };
    for (const auto& c : cases) {
        auto r = runCommand("cd " + d.path + " && " + vexor + " log " + c.args);
        EXPECT_EQ(r.status, 2) << c.args << "\n" << r.err;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << c.args << "\n" << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        EXPECT_FALSE(std::filesystem::exists(d / "x.csv")) << c.args;
    }
    // The recording named as an output was not touched.
    EXPECT_EQ(readFile(rec), "x");
}

TEST(VexorLog, ARecordingGivesEveryLogOfItsFrames) {
    Dir d;
    const std::string rec = d / "rec.vxr";
    {
        // Corrupt frames, escapes, and line noise between frames.
        std::vector<uint8_t> stream;
        vxbench::StreamGenerator gen({0.02, 3});
        for (int i = 0; i < 50; ++i) {
            gen.append(stream, 4000);
            for (uint8_t b : {0x0D, 0x0A, 0x47, 0x82}) stream.push_back(b);
        }
        std::ofstream(rec, std::ios::binary)
            .write(reinterpret_cast<const char*>(stream.data()), long(stream.size()));
    }
    auto r = runCommand(vexor + " log --5hz " + d / "5.csv" + " --1hz " + d / "1.csv" +
                        " --1hz-packets 31-01,32-01 --bin5 " + d / "5.bin" + " --bin1 " +
                        d / "1.bin" + " --all " + d / "all.bin " + rec);
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string stream = readFile(rec);
    EXPECT_EQ(readFile(d / "all.bin"), stream);
    EXPECT_EQ(readFile(d / "5.bin"), framesOf(stream, 0x30));
    // The 1 Hz binary log: 3101 and 3201 frames in stream order, nothing else.
    std::string one;
    for (size_t at = 0; (at = stream.find('\x81', at)) != std::string::npos; ++at) {
        if (at + 1 >= stream.size()) break;
        const uint8_t code = uint8_t(stream[at + 1]);
        if (code != 0x31 && code != 0x32) continue;
        one += stream.substr(at, stream.find('\x82', at) + 1 - at);
    }
    EXPECT_EQ(readFile(d / "1.bin"), one);

    const auto five = lines(readFile(d / "5.csv"));
    ASSERT_FALSE(five.empty());
    EXPECT_EQ(five[0], vx::kFastFixLogHeader);
    EXPECT_EQ(long(five.size()) - 1, goodPackets(rec, "3002"));
    for (size_t i = 1; i < five.size(); ++i)
        ASSERT_EQ(std::count(five[i].begin(), five[i].end(), ','), 33) << five[i];
    const auto oneHz = lines(readFile(d / "1.csv"));
    EXPECT_EQ(oneHz[0], vx::oneHzLogHeader({true, true, false, false}));
    EXPECT_GT(oneHz.size(), 100u);
    for (size_t i = 1; i < oneHz.size(); ++i)
        ASSERT_EQ(std::count(oneHz[i].begin(), oneHz[i].end(), ','), 18 + 16) << oneHz[i];
    EXPECT_NE(r.err.find("5.csv: " + std::to_string(five.size() - 1) + " lines"), std::string::npos)
        << r.err;
}

TEST(VexorLog, LinesBuiltOnSeveralThreadsComeOutAsFromOne) {
    // Enough reports for many batches of the reading thread; the same stream fed to one
    // DataLogger on this thread gives the expected files.
    Dir d;
    const std::string rec = d / "rec.vxr";
    std::vector<uint8_t> stream;
    vxbench::StreamGenerator gen({0.01, 11});
    gen.append(stream, 3'000'000);
    std::ofstream(rec, std::ios::binary)
        .write(reinterpret_cast<const char*>(stream.data()), long(stream.size()));
    {
        vx::DataLogger log;
        std::string err;
        ASSERT_TRUE(log.start(vx::LogKind::FiveHzText, d / "e5.csv", err));
        ASSERT_TRUE(
            log.start(vx::LogKind::OneHzText, d / "e1.csv", err, {true, true, true, false}));
        vx::MemorySource src(stream.data(), stream.size());
        auto area = std::make_unique<vx::RecordArea>();
        uint8_t frame[vx::kRxBufferSize];
        for (;;) {
            uint16_t count = 0;
            int r = vx::PacketDeframer::readFrame(src, frame, count);
            if (r == vx::kFrameEndOfStream) break;
            vx::FrameOutcome o = vx::decodeFrame(r, frame, count, *area);
            if (o.decoded) log.report(frame[1], frame[2], *area, o.kind);
        }
        log.stopAll();
    }
    auto r = runCommand(vexor + " log --5hz " + d / "5.csv" + " --1hz " + d / "1.csv" +
                        " --1hz-packets 31-01,32-01,33-01 " + rec);
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string five = readFile(d / "5.csv");
    EXPECT_GT(std::count(five.begin(), five.end(), '\n'), 40000);
    EXPECT_TRUE(five == readFile(d / "e5.csv"));
    EXPECT_TRUE(readFile(d / "1.csv") == readFile(d / "e1.csv"));
}

TEST(VexorLog, AFullDiskFailsTheRunAndNamesTheFile) {
    if (::access("/dev/full", W_OK) != 0) GTEST_SKIP() << "no /dev/full";
    Dir d;
    auto r = runCommand(vexor + " log --5hz /dev/full --all " + d / "all.bin " +
                        std::string(CORPUS_DIR) + "/sim_sample_head.bin");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("vexor log: writing /dev/full failed: No space left on device"),
              std::string::npos)
        << r.err;
}

TEST(VexorLog, ALivePortIsLoggedUntilTheDurationEnds) {
    // The receiver fast (powered on in 20 ms, then 250 reports a second), the run short.
    vx::sim::SimRunnerOptions o;
    o.speed = 50;
    vx::sim::SimRunner sim(o);
    std::string port;
    ASSERT_TRUE(sim.startOnPty(&port)) << sim.error();
    Dir d;
    auto r = runCommand(vexor + " log --port " + port + " --duration 0.5 --5hz " + d / "5.csv" +
                        " --all " + d / "all.bin");
    sim.stop();
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("reading " + port), std::string::npos) << r.err;
    // One 5 Hz line per 3002 that came whole: the same count the byte log holds.
    const auto five = lines(readFile(d / "5.csv"));
    EXPECT_GT(five.size(), 1u); // the header and at least one line, however loaded the machine
    EXPECT_EQ(long(five.size()) - 1, goodPackets(d / "all.bin", "3002"));
}

// A refused run changes no file: the input and every log file are opened and checked before
// any is truncated, and a file made for the run is removed again.
TEST(VexorLog, NothingIsTruncatedBeforeEveryFileIsChecked) {
    Dir d;
    const std::string keep = d / "keep.bin", fresh = d / "new.bin";
    vxtest::Pty busy;
    vx::ComSlots slots;
    slots.setPath(0, busy.slavePath());
    vx::SerialLink holder(slots);
    ASSERT_EQ(holder.startLink({}), 0) << holder.lastError();
    struct Case {
        std::string args;
        int status;
        std::string message;
    } cases[] = {
        {"--all " + keep + " " + d / "missing.vxr", 2, "cannot read"},
        {"--all " + keep + " --5hz " + d / "no/x.csv " + sample, 1, "cannot write"},
        {"--all " + fresh + " --5hz " + d.path + " " + sample, 1, "Is a directory"},
        {"--all " + fresh + " --all2 x " + sample, 2, "unknown option"},
        {"--all " + keep + " --port /nonexistent/tty", 1, "/nonexistent/tty: no such device"},
        {"--all " + fresh + " --port " + busy.slavePath(), 1, "port busy"},
    };
    for (const auto& c : cases) {
        writeFile(keep, "keep");
        auto r = runCommand(vexor + " log " + c.args);
        EXPECT_EQ(r.status, c.status) << c.args << "\n" << r.err;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << c.args << "\n" << r.err;
        // One line: the reason, and no count of a log that never ran.
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        EXPECT_EQ(readFile(keep), "keep") << c.args;
        EXPECT_FALSE(std::filesystem::exists(fresh)) << c.args;
    }
}

// A disk that fills up: every log that failed is named with its reason, the others go on.
TEST(VexorLog, AFullFileSystemNamesEveryLogThatFailed) {
    Dir d;
    const std::string mnt = d / "small", rec = d / "rec.vxr";
    std::filesystem::create_directories(mnt);
    writeFile(rec, bigRecording());
    // A small tmpfs of our own, in a mount namespace: root, or a user namespace, is needed.
    const std::string unshare =
        std::string("unshare ") + (::geteuid() == 0 ? "" : "--user --map-root-user ") +
        "--mount sh -c 'mount -t tmpfs -o size=256k tmpfs " + mnt + " && exec ";
    auto probe = runCommand(unshare + "true'");
    if (probe.status != 0)
        GTEST_SKIP() << "cannot mount a small tmpfs here (needs root or unprivileged user "
                        "namespaces for unshare --mount): "
                     << probe.err;
    auto r = runCommand(unshare + vexor + " log --all " + mnt + "/a.bin --bin5 " + mnt +
                        "/b.bin --bin1 " + mnt + "/c.bin " + rec + "'");
    EXPECT_EQ(r.status, 1) << r.err;
    for (const char* f : {"a.bin", "b.bin", "c.bin"})
        EXPECT_NE(r.err.find("vexor log: writing " + mnt + "/" + f +
                             " failed: No space left on device\n"),
                  std::string::npos)
            << f << "\n"
            << r.err;
}

// A FIFO or standard input fed slowly: what arrived is on the disk within a moment, and
// SIGTERM or SIGINT ends the run cleanly with everything read in the logs.
TEST(VexorLog, ASignalStopsASlowSourceWithEverythingReadInTheLogs) {
    const std::string head = readFile(sample).substr(0, 20000);
    struct Case {
        const char* name;
        int signal;
        bool standardInput;
    } cases[] = {{"FIFO, SIGTERM", SIGTERM, false}, {"standard input, SIGINT", SIGINT, true}};
    for (const Case& c : cases) {
        Dir d;
        const std::string fifo = d / "in.fifo", five = d / "5.csv", all = d / "all.bin";
        ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
        writeFile(d / "head.vxr", head);
        const std::string logs = " log --5hz " + five + " --all " + all + " ";
        vxtest::ChildProcess log(
            c.standardInput
                ? std::vector<std::string>{"/bin/sh", "-c", "exec " + vexor + logs + "- < " + fifo}
                : std::vector<std::string>{vexor, "log", "--5hz", five, "--all", all, fifo});
        int w = -1;
        ASSERT_TRUE(vxtest::waitFor([&] {
            return (w = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC)) >= 0;
        })) << c.name;
        ASSERT_EQ(::write(w, head.data(), head.size()), ssize_t(head.size()));
        // On the disk while the writer still holds the FIFO open.
        const long reports = goodPackets(d / "head.vxr", "3002");
        ASSERT_GT(reports, 50);
        EXPECT_TRUE(vxtest::waitFor([&] {
            const std::string text = readFile(five);
            return readFile(all).size() == head.size() &&
                   std::count(text.begin(), text.end(), '\n') == reports + 1;
        })) << c.name;
        log.signal(c.signal);
        EXPECT_EQ(log.wait(std::chrono::seconds(10)), 0) << c.name << "\n" << log.err;
        ::close(w);
        EXPECT_EQ(readFile(all), head) << c.name;
        EXPECT_EQ(long(lines(readFile(five)).size()) - 1, reports) << c.name;
        const std::string input = c.standardInput ? "standard input" : fifo;
        EXPECT_NE(log.err.find("vexor log: stopped by " +
                               std::string(c.signal == SIGINT ? "SIGINT" : "SIGTERM") +
                               " after 20000 bytes of " + input + "\n"),
                  std::string::npos)
            << log.err;
    }
}

// A reader of the log's pipe that goes away: a write error with its reason, not a silent death.
TEST(VexorLog, APipeWhoseReaderLeavesIsAWriteErrorNotADeath) {
    Dir d;
    writeFile(d / "rec.vxr", bigRecording());
    auto r = runCommand("bash -c 'set -o pipefail; " + vexor + " log --5hz /dev/stdout " +
                        d / "rec.vxr" + " | head -c 100 > /dev/null'");
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_NE(r.err.find("vexor log: writing /dev/stdout failed: Broken pipe\n"), std::string::npos)
        << r.err;
}

TEST(VexorLog, MessagesNameFilesAsAShellWouldAndSayWhatIsMissing) {
    Dir d;
    const std::string rec = d / "rec.vxr";
    const std::string frames = readFile(sample);
    // A recording cut inside a frame, and a run of bytes with no end byte before a good frame.
    writeFile(rec, frames + "\x81\x30\x02\x01");
    for (const char* log : {"--all", "--5hz"}) {
        auto r = runCommand(vexor + " log " + log + " " + d / "out " + rec);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_NE(r.err.find("vexor log: " + rec + ": incomplete frame at end (4 bytes)\n"),
                  std::string::npos)
            << log << "\n"
            << r.err;
    }
    const std::string run = "\x81\x30\x02" + std::string(100000, '\x55');
    writeFile(rec, run + frames);
    auto r = runCommand(vexor + " log --bin5 " + d / "5.bin " + rec);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(readFile(d / "5.bin"), run.substr(0, 240) + framesOf(frames, 0x30));
    // A newline in a name does not split the message line.
    vxtest::ChildProcess nl({vexor, "log", "--5hz", d / "no\nsuch/x.csv", rec});
    EXPECT_EQ(nl.wait(std::chrono::seconds(10)), 1);
    EXPECT_EQ(nl.err, "vexor log: cannot write $'" + d.path +
                          "/no\\nsuch/x.csv': No such file or directory\n");
}

} // namespace
