// The data logs: binary logs byte for byte against the stream (any chunking, and through the
// serial link in text mode), text logs with their header and CR LF lines, write errors on a
// full device, the one-file-per-log rule, and the logs fed by one thread while another starts
// and stops them.
#include "app/data_log.h"
#include "link/decoders.h"
#include "link/serial_link.h"
#include "support/hex.h"
#include "support/pty.h"
#include "support/temp_path.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace vx;
using vxtest::hex;

namespace {

std::vector<uint8_t> frame(uint8_t code, uint8_t sub, const std::vector<uint8_t>& payload) {
    std::vector<uint8_t> buf(2 * payload.size() + 16);
    PacketEncoder e(buf.data(), buf.size());
    e.startFrame(code, sub);
    for (uint8_t b : payload) e.addByte(b);
    e.finishFrame();
    buf.resize(e.position());
    return buf;
}

std::vector<uint8_t> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::string readText(const std::string& path) {
    auto b = readFile(path);
    return {b.begin(), b.end()};
}

// A receiver stream with line noise, escapes, CR LF inside payloads and frames of every code
// the logs care about, and the frames the binary 5 Hz log must hold.
struct Stream {
    std::vector<uint8_t> bytes;
    std::vector<uint8_t> fiveHz; // every 0x30 frame, 3003 included
    void add(const std::vector<uint8_t>& f) {
        bytes.insert(bytes.end(), f.begin(), f.end());
        if (f[1] == 0x30) fiveHz.insert(fiveHz.end(), f.begin(), f.end());
    }
    void addNoise(const std::vector<uint8_t>& n) { bytes.insert(bytes.end(), n.begin(), n.end()); }
};

// The frames of a stream (0x81 ... 0x82) whose code is in codes, in stream order.
std::vector<uint8_t> framesOf(const std::vector<uint8_t>& s, const std::vector<uint8_t>& codes) {
    std::vector<uint8_t> out;
    for (size_t at = 0; at + 1 < s.size();) {
        if (s[at] != 0x81 || s[at + 1] == 0x81) {
            ++at;
            continue;
        }
        size_t e = at;
        while (s[e] != 0x82) ++e;
        if (std::find(codes.begin(), codes.end(), s[at + 1]) != codes.end())
            out.insert(out.end(), s.begin() + long(at), s.begin() + long(e + 1));
        at = e + 1;
    }
    return out;
}

Stream makeStream() {
    Stream s;
    std::vector<uint8_t> fix(46, 0x0D);
    fix[10] = 0x0A;
    fix[20] = 0x80; // escaped
    fix[21] = 0x81;
    fix[22] = 0x82;
    for (int second = 0; second < 3; ++second) {
        s.addNoise({0x47, 0x0D, 0x0A, 0x82});
        for (int i = 0; i < 5; ++i) {
            fix[3] = uint8_t(second * 5 + i);
            s.add(frame(0x30, 0x02, fix));
        }
        s.add(frame(0x30, 0x03, std::vector<uint8_t>(101, 0x0A)));
        s.add(frame(0x31, 0x01, std::vector<uint8_t>(28, 0x0D)));
        s.add(frame(0x32, 0x01, std::vector<uint8_t>(18, 0x0A)));
        for (uint8_t ch = 0; ch < 12; ++ch) s.add(frame(0x33, 0x01, {ch, 3, 0x0D, 0x0A, 5, 6, 7}));
        s.add(frame(0x36, 0x07, {1, 0x1D, 0, 0, 0x80, 0x3F, 0, 0, 0, 0x40}));
        s.add(frame(0x21, 0x01, {0x0A}));
        s.addNoise({0x81}); // a start byte on its own: the next frame's 0x81 replaces it
    }
    return s;
}

struct LogDir {
    std::string dir = vxtest::uniqueTempPath("datalog");
    LogDir() { std::filesystem::create_directories(dir); }
    ~LogDir() {
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
    std::string file(const std::string& name) const { return dir + "/" + name; }
};

// ---- Binary logs ------------------------------------------------------------------------------

TEST(DataLogBinary, EachLogHoldsExactlyItsFramesWhateverTheChunking) {
    const Stream s = makeStream();
    struct Case {
        const char* name;
        size_t chunk; // bytes per chunk; 0: one chunk per frame as the link cuts them
        OneHzSelection sel;
    } cases[] = {
        {"one chunk", 1 << 20, {true, true, true, true}},
        {"one byte at a time", 1, {true, true, true, true}},
        {"240-byte chunks", 240, {false, false, true, true}},
        {"7-byte chunks", 7, {true, false, false, false}},
        {"frame chunks", 0, {false, true, false, true}},
    };
    for (const auto& c : cases) {
        LogDir d;
        DataLogger log;
        std::string err;
        ASSERT_TRUE(log.start(LogKind::FiveHzBinary, d.file("5.bin"), err)) << err;
        ASSERT_TRUE(log.start(LogKind::OneHzBinary, d.file("1.bin"), err, c.sel)) << err;
        ASSERT_TRUE(log.start(LogKind::AllBytes, d.file("all.bin"), err)) << err;
        const uint8_t* p = s.bytes.data();
        const uint8_t* end = p + s.bytes.size();
        while (p < end) {
            size_t n = c.chunk;
            if (n == 0) {
                const void* e = std::memchr(p, 0x82, size_t(end - p));
                n = e ? size_t(static_cast<const uint8_t*>(e) - p) + 1 : size_t(end - p);
            }
            n = std::min(n, size_t(end - p));
            log.rawChunkReceived(p, n, 0, n > 1 ? p[1] : 0);
            p += n;
        }
        log.stopAll();
        std::vector<uint8_t> codes;
        if (c.sel.fix3101) codes.push_back(0x31);
        if (c.sel.time3201) codes.push_back(0x32);
        if (c.sel.channels3301) codes.push_back(0x33);
        if (c.sel.calibration36) codes.push_back(0x36);
        const std::vector<uint8_t> one = framesOf(s.bytes, codes);
        ASSERT_FALSE(one.empty());
        EXPECT_EQ(hex(framesOf(s.bytes, {0x30})), hex(s.fiveHz)); // the helper agrees
        EXPECT_EQ(hex(readFile(d.file("5.bin"))), hex(s.fiveHz)) << c.name;
        EXPECT_EQ(hex(readFile(d.file("1.bin"))), hex(one)) << c.name;
        EXPECT_EQ(readFile(d.file("all.bin")), s.bytes) << c.name;
    }
}

// The link's reader: takes bytes until the link stops.
class Drain : public LinkReader {
public:
    void runReader(LinkSession& session) override {
        uint8_t b;
        for (;;) {
            int r = session.source().readByte(b);
            if (r == ByteSource::kStop) return;
            if (r != ByteSource::kGot) session.source().idleWait();
        }
    }
};

TEST(DataLogBinary, ThroughTheLinkInTextModeEveryByteReachesTheLogsCrLfIncluded) {
    vxtest::Pty pty;
    ASSERT_TRUE(pty.ok());
    ComSlots slots;
    slots.setPath(0, pty.slavePath());
    LogDir d;
    DataLogger log;
    Drain drain;
    SerialLink link(slots);
    link.setReader(&drain);
    link.addRawTap(&log);
    std::string err;
    ASSERT_TRUE(log.start(LogKind::AllBytes, d.file("all.bin"), err)) << err;
    ASSERT_TRUE(log.start(LogKind::FiveHzBinary, d.file("5.bin"), err)) << err;
    ASSERT_EQ(link.startLink(LinkSettings{}), 0) << link.lastError();
    // "Show Text/NMEA": the link cuts the stream at CR LF and removes it from the chunks.
    link.setTapTextMode(true);
    const Stream s = makeStream();
    std::vector<uint8_t> sent = s.bytes;
    const std::string gga = "$GPGGA,120000.00,4807.038,N,01131.000,E,1,08,0.9,545.4,M,,,,*47\r\n";
    sent.insert(sent.end(), gga.begin(), gga.end());
    pty.write(sent);
    ASSERT_TRUE(vxtest::waitFor([&] { return link.bytesReceived() == sent.size(); }));
    EXPECT_EQ(link.stopLink(), 0);
    link.removeRawTap(&log);
    log.stopAll();
    EXPECT_EQ(hex(readFile(d.file("all.bin"))), hex(sent));
    EXPECT_EQ(hex(readFile(d.file("5.bin"))), hex(s.fiveHz));
}

TEST(DataLogBinary, ALogStartedInTheMiddleOfAFrameBeginsWithTheNextWholeFrame) {
    LogDir d;
    DataLogger log;
    const auto a = frame(0x30, 0x02, std::vector<uint8_t>(46, 1));
    const auto b = frame(0x30, 0x02, std::vector<uint8_t>(46, 2));
    log.rawBytes(a.data(), 10);
    std::string err;
    ASSERT_TRUE(log.start(LogKind::FiveHzBinary, d.file("5.bin"), err));
    log.rawBytes(a.data() + 10, a.size() - 10);
    log.rawBytes(b.data(), b.size());
    log.stopAll();
    EXPECT_EQ(hex(readFile(d.file("5.bin"))), hex(b));
}

// ---- Text logs ------------------------------------------------------------------------------

TEST(DataLogText, FilesBeginWithTheHeaderAndEveryLineEndsWithCrLf) {
    LogDir d;
    DataLogger log;
    std::string err;
    ASSERT_TRUE(log.start(LogKind::FiveHzText, d.file("5.csv"), err)) << err;
    ASSERT_TRUE(log.start(LogKind::OneHzText, d.file("1.csv"), err, {false, false, false, true}));
    auto area = std::make_unique<RecordArea>();
    std::vector<uint8_t> fix(46, 0);
    fix[10] = 0x40; // latitude 2^30
    RecordKind kind{};
    ASSERT_EQ(decode(0x30, 0x02, fix.data(), fix.size(), *area, &kind), 0);
    log.report(0x30, 0x02, *area, kind);
    log.report(0x30, 0x02, snapshot(*area, kind)); // the console's way: a record copy
    log.report(0x30, 0x03, *area, kind);           // not a 3002: no line
    const std::vector<uint8_t> ds = {0x01, 0x10};
    ASSERT_EQ(decode(0x36, 0x05, ds.data(), ds.size(), *area, &kind), 0);
    log.report(0x36, 0x05, *area, kind);
    log.stopAll();

    std::string line5;
    appendFastFixLogLine(line5, area->dr_data);
    EXPECT_NE(line5.find(", 1.570796327, "), std::string::npos);
    EXPECT_EQ(readText(d.file("5.csv")),
              std::string(kFastFixLogHeader) + "\r\n" + line5 + "\r\n" + line5 + "\r\n");
    EXPECT_EQ(readText(d.file("1.csv")), std::string(kCalibration36Header) +
                                             "\r\n,,,,,,,,,,1, 0, 0, 0, 16, " +
                                             std::string(18 + 5, ',') + "\r\n");
}

TEST(DataLogText, StopFlushesAndLaterReportsAreNotWritten) {
    LogDir d;
    DataLogger log;
    std::string err;
    const std::string path = d.file("5.csv");
    ASSERT_TRUE(log.start(LogKind::FiveHzText, path, err));
    DrDataRecord r;
    log.logFastFix(0x02, r);
    // Buffered: nothing on disk yet (the window flushes a few times a second).
    EXPECT_EQ(readFile(path).size(), 0u);
    log.flush();
    const size_t afterFlush = readFile(path).size();
    EXPECT_GT(afterFlush, kFastFixLogHeader.size());
    log.logFastFix(0x02, r);
    EXPECT_TRUE(log.stop(LogKind::FiveHzText));
    const std::string text = readText(path);
    EXPECT_GT(text.size(), afterFlush);
    log.logFastFix(0x02, r);
    EXPECT_EQ(readText(path), text);
    EXPECT_FALSE(log.running(LogKind::FiveHzText));
    // Starting again truncates the file: a header and nothing else.
    ASSERT_TRUE(log.start(LogKind::FiveHzText, path, err));
    log.stopAll();
    EXPECT_EQ(readText(path), std::string(kFastFixLogHeader) + "\r\n");
}

// ---- Failures -------------------------------------------------------------------------------

TEST(DataLogFailures, AFullDeviceStopsThatLogAndSaysWhyWhileTheOthersGoOn) {
    if (::access("/dev/full", W_OK) != 0) GTEST_SKIP() << "no /dev/full";
    struct Case {
        const char* name;
        LogKind kind;
        size_t bytes; // fed before the flush; more than the buffer fails at once
        bool failsBeforeFlush;
    } cases[] = {
        {"binary, buffered", LogKind::AllBytes, 1000, false},
        {"binary, larger than the buffer", LogKind::AllBytes, 3 * LogFile::kBufferBytes, true},
        {"text header", LogKind::FiveHzText, 0, false},
    };
    for (const auto& c : cases) {
        LogDir d;
        DataLogger log;
        int calls = 0;
        log.setEventCallback([&] { ++calls; });
        std::string err;
        ASSERT_TRUE(log.start(c.kind, "/dev/full", err)) << c.name << ": " << err;
        const LogKind other =
            c.kind == LogKind::AllBytes ? LogKind::FiveHzBinary : LogKind::AllBytes;
        ASSERT_TRUE(log.start(other, d.file("other.bin"), err));
        std::vector<uint8_t> data(c.bytes, 0x55);
        log.rawBytes(data.data(), data.size());
        EXPECT_EQ(log.running(c.kind), !c.failsBeforeFlush) << c.name;
        log.flush();
        EXPECT_FALSE(log.running(c.kind)) << c.name;
        EXPECT_TRUE(log.running(other)) << c.name;
        EXPECT_GE(calls, 1) << c.name;
        DataLogger::Events e = log.takeEvents();
        EXPECT_EQ(e.failed, logBit(c.kind)) << c.name;
        EXPECT_EQ(log.failure(c.kind), std::strerror(ENOSPC)) << c.name;
        // Nothing more is attempted; the other log still takes bytes.
        log.rawBytes(data.data(), data.size());
        EXPECT_EQ(log.takeEvents().failed, 0) << c.name;
        std::string stopErr;
        EXPECT_FALSE(log.stop(c.kind, &stopErr)) << c.name;
        EXPECT_EQ(stopErr, std::strerror(ENOSPC)) << c.name;
        log.stopAll();
        if (other == LogKind::AllBytes) {
            EXPECT_EQ(readFile(d.file("other.bin")).size(), 2 * c.bytes);
        }
    }
}

TEST(DataLogFailures, OpenErrorsAndTwoLogsOnOneFileAreRefused) {
    LogDir d;
    DataLogger log;
    std::string err;
    EXPECT_FALSE(log.start(LogKind::AllBytes, d.file("missing/x.bin"), err));
    EXPECT_EQ(err, std::strerror(ENOENT));
    EXPECT_FALSE(log.start(LogKind::AllBytes, d.dir, err));
    EXPECT_EQ(err, std::strerror(EISDIR));
    EXPECT_FALSE(log.running(LogKind::AllBytes));

    const std::string path = d.file("one.csv");
    ASSERT_TRUE(log.start(LogKind::FiveHzText, path, err));
    log.flush();
    const std::string written = readText(path);
    std::filesystem::create_symlink(path, d.file("link.csv"));
    for (const std::string& same : {path, d.dir + "/./one.csv", d.file("link.csv")}) {
        err.clear();
        EXPECT_FALSE(log.start(LogKind::OneHzText, same, err, {true, true, true, true})) << same;
        EXPECT_EQ(err, "the 5 Hz log writes this file already") << same;
        EXPECT_FALSE(log.start(LogKind::AllBytes, same, err)) << same;
    }
    // The refused starts left the file alone.
    EXPECT_EQ(readText(path), written);
    EXPECT_TRUE(log.stop(LogKind::FiveHzText));
    EXPECT_TRUE(log.start(LogKind::AllBytes, path, err)) << err;
}

// ---- Threads --------------------------------------------------------------------------------

TEST(DataLogThreads, AWorkerFeedsWhileTheOwnerStartsStopsAndFlushes) {
    LogDir d;
    DataLogger log;
    std::atomic<int> events{0};
    log.setEventCallback([&] { events.fetch_add(1); });
    const Stream s = makeStream();
    std::atomic<bool> stop{false};
    std::thread worker([&] {
        while (!stop.load()) {
            for (size_t at = 0; at < s.bytes.size(); at += 50)
                log.rawChunkReceived(s.bytes.data() + at, std::min<size_t>(50, s.bytes.size() - at),
                                     0, 0);
        }
    });
    std::string err;
    // At least 200 rounds, and on until the worker has written something.
    for (int i = 0; i < 200 || (events.load() == 0 && i < 1000000); ++i) {
        ASSERT_TRUE(log.start(LogKind::FiveHzBinary, d.file("5.bin"), err)) << err;
        ASSERT_TRUE(log.start(LogKind::AllBytes, d.file("all.bin"), err)) << err;
        log.flush();
        log.takeEvents();
        log.stop(LogKind::FiveHzBinary);
        log.stop(LogKind::AllBytes);
    }
    stop.store(true);
    worker.join();
    // Whatever was caught, the 5 Hz binary log begins with a whole frame.
    auto five = readFile(d.file("5.bin"));
    if (!five.empty()) {
        EXPECT_EQ(hex(five.data(), 2), "81 30");
    }
    EXPECT_GT(events.load(), 0);
}

} // namespace
