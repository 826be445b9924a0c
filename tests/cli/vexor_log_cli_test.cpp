// `vexor log`: the data logs of a recording or a live port, from outside.
#include "app/data_log.h"
#include "app/log_formats.h"
#include "link/packet_decode.h"
#include "sim/sim_runner.h"

#include "../../bench/stream_gen.h"
#include "support/run_command.h"
#include "support/temp_path.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

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
    };
    for (const auto& c : cases) {
        auto r = runCommand(vexor + " log " + c.args);
        EXPECT_EQ(r.status, 2) << c.args << "\n" << r.err;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << c.args << "\n" << r.err;
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
    auto r = runCommand(vexor + " log --port " + port + " --duration 0.25 --5hz " + d / "5.csv" +
                        " --all " + d / "all.bin");
    sim.stop();
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("reading " + port), std::string::npos) << r.err;
    // One 5 Hz line per 3002 that came whole: the same count the byte log holds.
    const auto five = lines(readFile(d / "5.csv"));
    EXPECT_GT(five.size(), 5u);
    EXPECT_EQ(long(five.size()) - 1, goodPackets(d / "all.bin", "3002"));
}

} // namespace
