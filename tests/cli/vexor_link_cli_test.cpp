// `vexor monitor` and `vexor stats --link`: the console's receive path seen from outside. The
// receive worker must agree with `vexor decode` packet for packet, and with `vexor stats`
// frame for frame.
#include "link/serial_link.h"

#include "../../bench/stream_gen.h"
#include "support/child_process.h"
#include "support/pty.h"
#include "support/run_command.h"
#include "support/temp_path.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <sys/stat.h>

using namespace std::chrono_literals;
using vxtest::runCommand;

namespace {

const std::string vexor = VEXOR_BINARY;
const std::string corpusDir = CORPUS_DIR;

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

std::vector<std::string> corpusStreams() {
    std::vector<std::string> out;
    for (const auto& e : std::filesystem::directory_iterator(corpusDir))
        if (e.path().extension() == ".bin") out.push_back(e.path().string());
    std::sort(out.begin(), out.end());
    return out;
}

std::string withoutSeconds(const std::string& json) {
    return std::regex_replace(json, std::regex(", \"seconds\": [0-9.]+"), "");
}

TEST(StatsLink, CountsWhatDirectStatsCountsFrameForFrame) {
    std::vector<std::string> files = corpusStreams();
    // A generated stream with 2 % corrupted frames, larger than the link's read-ahead.
    std::string generated = vxtest::uniqueTempPath("vx_stats_link");
    {
        std::vector<uint8_t> stream;
        vxbench::StreamGenerator gen({0.02, 7});
        gen.append(stream, 3'000'000);
        std::ofstream(generated, std::ios::binary)
            .write(reinterpret_cast<const char*>(stream.data()), long(stream.size()));
    }
    files.push_back(generated);
    ASSERT_GE(files.size(), 3u);
    for (const auto& f : files) {
        auto direct = runCommand(vexor + " stats --json " + f);
        auto link = runCommand(vexor + " stats --link --json " + f);
        ASSERT_EQ(direct.status, 0) << direct.err;
        ASSERT_EQ(link.status, 0) << link.err;
        EXPECT_EQ(withoutSeconds(link.out), withoutSeconds(direct.out)) << f;
        EXPECT_NE(link.out.find("\"good\": "), std::string::npos);
    }
    std::remove(generated.c_str());
}

TEST(StatsLink, RefusesWhatItCannotReplay) {
    auto r = runCommand(vexor + " stats --link /nonexistent/x.vxr");
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "vexor stats: cannot read /nonexistent/x.vxr: no such file (see 'vexor "
                     "stats --help')\n");
    r = runCommand(vexor + " stats --link - < /dev/null");
    EXPECT_EQ(r.status, 2);
}

// Runs `vexor monitor` on a pseudo-terminal, plays the stream on the master, stops it with
// Ctrl-C once `lines` lines came, and returns its output.
std::string monitor(const std::string& stream, size_t bytesExpected, bool json) {
    vxtest::Pty pty;
    EXPECT_TRUE(pty.ok());
    std::vector<std::string> argv = {vexor, "monitor", "--port", pty.slavePath()};
    if (json) argv.push_back("--json");
    vxtest::ChildProcess child(argv);
    EXPECT_TRUE(
        child.pumpUntil([&] { return child.err.find("Ctrl-C stops") != std::string::npos; }, 20s))
        << child.err;
    pty.write(reinterpret_cast<const uint8_t*>(stream.data()), stream.size());
    EXPECT_TRUE(child.pumpUntil([&] { return child.out.size() >= bytesExpected; }, 20s))
        << child.out.size() << " of " << bytesExpected << " bytes";
    child.signal(SIGINT);
    EXPECT_EQ(child.wait(20s), 0) << child.err;
    EXPECT_EQ(std::count(child.err.begin(), child.err.end(), '\n'), 1) << child.err;
    return child.out;
}

TEST(Monitor, PrintsEachFrameExactlyAsDecodeDoes) {
    for (const auto& f : corpusStreams()) {
        std::string stream = readFile(f);
        for (bool json : {true, false}) {
            auto decoded = runCommand(vexor + " decode " + (json ? "--json " : "") + f);
            ASSERT_EQ(decoded.status, 0);
            ASSERT_FALSE(decoded.out.empty());
            // The monitor prints a frame cut short by the end of the stream only when it
            // stops: wait for the lines before it.
            size_t whole = decoded.out.size();
            size_t last = decoded.out.rfind('\n', whole - 2);
            last = last == std::string::npos ? 0 : last + 1;
            if (decoded.out.find("incomplete", last) != std::string::npos) whole = last;
            EXPECT_EQ(monitor(stream, whole, json), decoded.out) << f;
        }
    }
}

TEST(Monitor, DurationEndsTheRunWithTheLinkStopped) {
    vxtest::Pty pty;
    auto r = runCommand(vexor + " monitor --port " + pty.slavePath() +
                        " --baud 115200 --parity even --duration 0.05");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err,
              "vexor monitor: reading " + pty.slavePath() + " (115200-8-Even-1); Ctrl-C stops\n");
    // The port is free again.
    vx::ComSlots slots;
    slots.setPath(0, pty.slavePath());
    vx::SerialLink link(slots);
    EXPECT_EQ(link.startLink(vx::LinkSettings{}), 0) << link.lastError();
}

TEST(StatsLink, AFifoIsRefusedInsteadOfWaitedFor) {
    std::string fifo = vxtest::uniqueTempPath("vx_stats_fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    vxtest::ChildProcess child({vexor, "stats", "--link", fifo});
    EXPECT_EQ(child.wait(20s), 2) << "no writer ever comes: it must not wait for one";
    EXPECT_EQ(child.out, "");
    EXPECT_EQ(std::count(child.err.begin(), child.err.end(), '\n'), 1) << child.err;
    EXPECT_NE(child.err.find("not a regular file"), std::string::npos) << child.err;
    std::remove(fifo.c_str());
}

TEST(Monitor, ADeviceThatGoesAwayEndsTheRunWithOneLineAndStatusOne) {
    vxtest::Pty pty;
    ASSERT_TRUE(pty.ok());
    vxtest::ChildProcess child({vexor, "monitor", "--port", pty.slavePath()});
    ASSERT_TRUE(
        child.pumpUntil([&] { return child.err.find("Ctrl-C stops") != std::string::npos; }, 20s))
        << child.err;
    pty.write(reinterpret_cast<const uint8_t*>("\x81\x21\x01\x0a\xd1\x82\x81\x30"), 8);
    ASSERT_TRUE(child.pumpUntil([&] { return child.out.find('\n') != std::string::npos; }, 20s));
    pty.closeMaster(); // the receiver goes away
    EXPECT_EQ(child.wait(20s), 1);
    EXPECT_EQ(child.err, "vexor monitor: reading " + pty.slavePath() +
                             " (38400-8-None-1); Ctrl-C stops\n"
                             "vexor monitor: " +
                             pty.slavePath() + ": device disconnected\n");
    // What came before is printed, the frame it cut short too.
    EXPECT_EQ(child.out.substr(child.out.find('\n') + 1),
              "incomplete frame at end (2 bytes): 81 30\n");
}

TEST(Monitor, AVeryLongPathDoesNotHideTheReason) {
    std::string path = "/dev/serial/by-id/";
    for (int i = 0; i < 100; ++i) path += "usb-Adapter_" + std::to_string(i) + "/";
    path += "port0";
    auto r = runCommand(vexor + " monitor --port " + path);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    EXPECT_LT(r.err.size(), 120u) << r.err;
    EXPECT_NE(r.err.find("…"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("/port0: no such device\n"), std::string::npos) << r.err;
}

TEST(Monitor, APortInUseIsRefusedWithItsReason) {
    vxtest::Pty pty;
    vx::ComSlots slots;
    slots.setPath(0, pty.slavePath());
    vx::SerialLink link(slots);
    ASSERT_EQ(link.startLink(vx::LinkSettings{}), 0);
    auto r = runCommand(vexor + " monitor --port " + pty.slavePath());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err,
              "vexor monitor: " + pty.slavePath() + ": port busy — another program is using it\n");
    r = runCommand(vexor + " monitor --port " + pty.slavePath() + " --baud 1200");
    EXPECT_EQ(r.status, 2);
}

} // namespace
