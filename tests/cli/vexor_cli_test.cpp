// The vexor tool as a user runs it: exact frames, exit statuses, and decode and stats agreeing.
#include "support/run_command.h"

#include "../../bench/stream_gen.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <regex>
#include <sstream>

using vxtest::runCommand;

namespace {

const std::string vexor = VEXOR_BINARY;

struct EncodeCase {
    const char* args;
    const char* frame;
};

class EncodeCli : public ::testing::TestWithParam<EncodeCase> {};

TEST_P(EncodeCli, PrintsTheFrame) {
    auto r = runCommand(vexor + " encode " + GetParam().args);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, std::string(GetParam().frame) + "\n");
    EXPECT_EQ(r.err, "");
}

INSTANTIATE_TEST_SUITE_P(
    Examples, EncodeCli,
    ::testing::Values(EncodeCase{"query 21 01", "81 02 21 01 D9 82"},
                      EncodeCase{"query 0x21 0x01", "81 02 21 01 D9 82"},
                      EncodeCase{"set 21 01 0A", "81 01 21 01 0A D0 82"},
                      EncodeCase{"set 21 01 85", "81 01 21 01 80 05 55 82"},
                      EncodeCase{"set 21 01 53", "81 01 21 01 53 80 07 82"},
                      EncodeCase{"system 01", "81 03 01 F9 82"},
                      EncodeCase{"command 03 01 55", "81 03 01 F9 82"},
                      EncodeCase{"command 02 21 01", "81 02 21 01 D9 82"},
                      EncodeCase{"command 02 21 01 --index 80", "81 02 21 01 D9 82"},
                      EncodeCase{"command 01 29 01 --index FF 05", "81 01 29 01 FF 05 CE 82"},
                      EncodeCase{"raw 02 21 01", "81 02 21 01 D9 82"},
                      EncodeCase{"raw 01 21 85", "81 01 21 85 56 82"},
                      EncodeCase{"monitor 8C", "02 00 8C 00 8C 03"},
                      EncodeCase{"monitor 80 00 01 23 45 10", "02 00 80 05 00 01 23 45 10 FE 03"}));

struct UsageCase {
    const char* args;
};

class UsageCli : public ::testing::TestWithParam<UsageCase> {};

TEST_P(UsageCli, OneClearLineAndStatusTwo) {
    auto r = runCommand(vexor + " " + GetParam().args);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "");
    ASSERT_FALSE(r.err.empty());
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
}

INSTANTIATE_TEST_SUITE_P(
    Errors, UsageCli,
    ::testing::Values(UsageCase{"encode query zz 01"}, UsageCase{"encode query 21"},
                      UsageCase{"encode query 100 01"}, UsageCase{"encode system 01 02"},
                      UsageCase{"encode bogus 01"}, UsageCase{"encode command 01 21 01 --index"},
                      UsageCase{"decode"}, UsageCase{"decode --jsn x"},
                      UsageCase{"decode /nonexistent/stream.vxr"},
                      UsageCase{"stats /nonexistent/stream.vxr"}, UsageCase{"stats a b"},
                      UsageCase{"frobnicate"},
                      // A directory is not a recording: one line, status 2, no zero report.
                      UsageCase{"stats /"}, UsageCase{"stats --json /"}, UsageCase{"decode /"},
                      UsageCase{"decode --json /"}, UsageCase{"stats --link /"},
                      UsageCase{"stats --link --json /"},
                      // Header bytes go out unescaped: 80, 81 and 82 would split the frame.
                      UsageCase{"encode query 81 01"}, UsageCase{"encode set 80 01 02"},
                      UsageCase{"encode system 82"}, UsageCase{"encode command 02 81 01"},
                      UsageCase{"encode command 81 21 01"},
                      // Numbers: nan and inf pass every range check unless refused as such.
                      // (--device/--port name nothing, so a number let through fails with 1.)
                      UsageCase{"sim --device /nonexistent --duration nan"},
                      UsageCase{"sim --device /nonexistent --speed inf"},
                      UsageCase{"sim --device /nonexistent --speed NaN"},
                      UsageCase{"sim --device /nonexistent --drop-acks nan"},
                      UsageCase{"sim --device /nonexistent --drop-replies nan"},
                      UsageCase{"sim --device /nonexistent --corrupt nan"},
                      UsageCase{"sim --device /nonexistent --garbage nan"},
                      UsageCase{"sim --device /nonexistent --delay nan"},
                      UsageCase{"sim --device /nonexistent --seed nan"},
                      UsageCase{"sim --device /nonexistent --baud nan"},
                      UsageCase{"sim --device /nonexistent --speed 0x10"},
                      UsageCase{"monitor --port /nonexistent --duration nan"},
                      UsageCase{"monitor --port /nonexistent --duration infinity"},
                      UsageCase{"monitor --port /nonexistent --baud nan"}));

TEST(EncodeCli, AFramingHeaderByteIsRefusedWithTheReason) {
    auto r = runCommand(vexor + " encode query 81 01");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("80, 81 and 82 cannot be a header byte"), std::string::npos) << r.err;
}

TEST(NumbersCli, NanIsRefusedWithTheRange) {
    auto r = runCommand(vexor + " sim --device /nonexistent --speed nan");
    EXPECT_EQ(r.err, "vexor sim: invalid --speed 'nan': expected a number from 0.01 to 10000 (see "
                     "'vexor sim --help')\n");
}

TEST(EncodeCli, RefusesFramesThatDoNotFit) {
    std::string args = "encode raw";
    for (int i = 0; i < 125; ++i) args += " 11";
    EXPECT_EQ(runCommand(vexor + " " + args).status, 2);
    std::string big = "encode set 15 01";
    for (int i = 0; i < 70; ++i) big += " 85"; // escaped: 140 bytes
    auto r = runCommand(vexor + " " + big);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "");
}

TEST(HelpCli, EveryCommandHasHelp) {
    for (const char* c : {"encode", "decode", "stats"}) {
        auto r = runCommand(vexor + " " + c + " --help");
        EXPECT_EQ(r.status, 0) << c;
        EXPECT_NE(r.out.find("usage: vexor"), std::string::npos) << c;
    }
    EXPECT_EQ(runCommand(vexor + " --help").status, 0);
}

std::string writeTemp(const std::vector<uint8_t>& data) {
    char path[] = "/tmp/ornivex-cli-XXXXXX";
    int fd = mkstemp(path);
    EXPECT_GE(fd, 0);
    EXPECT_EQ(write(fd, data.data(), data.size()), ssize_t(data.size()));
    close(fd);
    return path;
}

// Counts per result and per packet key from `vexor decode --json` lines.
void countDecodeLines(const std::string& out, std::map<std::string, long>& packets,
                      std::map<std::string, long>& errors, long& lines) {
    std::regex result(R"(^\{"result": (-?\d+))");
    std::regex header(R"("code": (\d+), "subcode": (\d+))");
    std::istringstream in(out);
    std::string line;
    lines = 0;
    while (std::getline(in, line)) {
        ++lines;
        std::smatch m, h;
        ASSERT_TRUE(std::regex_search(line, m, result)) << line;
        if (m[1] == "0") {
            ASSERT_TRUE(std::regex_search(line, h, header)) << line;
            char key[8];
            std::snprintf(key, sizeof key, "%02X%02X", std::stoi(h[1]), std::stoi(h[2]));
            ++packets[key];
        } else {
            ++errors[m[1]];
        }
    }
}

TEST(DecodeAndStats, AgreeFrameForFrameOnAGeneratedStream) {
    vxbench::StreamMix mix;
    mix.corruptFraction = 0.02;
    mix.seed = 11;
    vxbench::StreamGenerator gen(mix);
    std::vector<uint8_t> data;
    gen.append(data, 200000);
    // Some garbage in between frames must not upset either command.
    data.insert(data.begin() + 1000, {0x55, 0x82, 0x00, 0x81, 0x99});
    std::string path = writeTemp(data);

    auto d = runCommand(vexor + " decode --json " + path);
    ASSERT_EQ(d.status, 0) << d.err;
    std::map<std::string, long> packets, errors;
    long lines = 0;
    countDecodeLines(d.out, packets, errors, lines);

    auto s = runCommand(vexor + " stats --json " + path);
    ASSERT_EQ(s.status, 0) << s.err;
    for (const auto& [key, n] : packets)
        EXPECT_NE(s.out.find("\"" + key + "\": " + std::to_string(n)), std::string::npos)
            << key << " " << n << " in " << s.out;
    for (const auto& [code, n] : errors)
        EXPECT_NE(s.out.find("\"" + code + "\": " + std::to_string(n)), std::string::npos)
            << code << " " << n << " in " << s.out;
    EXPECT_NE(s.out.find("\"bytes\": " + std::to_string(data.size())), std::string::npos);

    // Every generated frame shows up: the corrupted ones as checksum errors (the inserted
    // garbage cuts one frame short and adds at most one refused frame).
    long good = 0;
    for (const auto& [key, n] : packets) good += n;
    EXPECT_NEAR(double(good), double(gen.framesWritten() - gen.framesCorrupted()), 2.0);
    EXPECT_NEAR(double(errors["2"]), double(gen.framesCorrupted()), 2.0);
    unlink(path.c_str());
}

TEST(DecodeAndStats, GarbageIsNotAnErrorAndStdinWorks) {
    std::vector<uint8_t> junk(5000);
    for (size_t i = 0; i < junk.size(); ++i) junk[i] = uint8_t((i * 7919u) >> 3);
    std::string path = writeTemp(junk);
    auto r = runCommand("cat " + path + " | " + vexor + " stats --json -");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("\"bytes\": 5000"), std::string::npos) << r.out;
    auto d = runCommand(vexor + " decode " + path);
    EXPECT_EQ(d.status, 0);
    unlink(path.c_str());
}

TEST(DecodeAndStats, AFrameAfterARefusedEscapeIsCounted) {
    // The 0x81 after the bad escape starts the next frame: one error 1, one good 2101.
    // 81 21 01 80 81 21 01 0A D1 82, in the octal escapes every shell's printf knows.
    auto r = runCommand("printf '\\201\\041\\001\\200\\201\\041\\001\\012\\321\\202' | " + vexor +
                        " stats --json -");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("\"good\": 1, \"errors\": {\"1\": 1}, \"packets\": {\"2101\": 1}"),
              std::string::npos)
        << r.out;
}

TEST(DecodeAndStats, AFrameCutShortByTheEndIsCountedAndSaid) {
    struct Case {
        const char* stream;
        bool incomplete;
    };
    for (Case c : {Case{"81 21 01 0A D1 82 81 30 02 01", true}, Case{"81 21 01 0A D1 82", false},
                   Case{"81 21 01 0A D1 82 00 55", false}, Case{"81 21 01 80 81", true}}) {
        SCOPED_TRACE(c.stream);
        std::vector<uint8_t> data;
        std::istringstream in(c.stream);
        std::string tok;
        while (in >> tok) data.push_back(uint8_t(std::stoul(tok, nullptr, 16)));
        std::string path = writeTemp(data);
        std::string n = c.incomplete ? "1" : "0";
        for (const char* link : {"", "--link "}) {
            auto json = runCommand(vexor + " stats --json " + link + path);
            EXPECT_EQ(json.status, 0) << json.err;
            EXPECT_NE(json.out.find("\"incomplete_at_end\": " + n + ","), std::string::npos)
                << link << json.out;
        }
        auto text = runCommand(vexor + " stats " + path);
        EXPECT_EQ(text.out.find("incomplete frame at end 1") != std::string::npos, c.incomplete)
            << text.out;
        for (const char* form : {"", "--json "}) {
            auto d = runCommand(vexor + " decode " + form + path);
            EXPECT_EQ(d.status, 0);
            std::string last = d.out.substr(d.out.rfind('\n', d.out.size() - 2) + 1);
            EXPECT_EQ(last.find("incomplete") != std::string::npos, c.incomplete) << last;
        }
        unlink(path.c_str());
    }
    std::string path = writeTemp({0x81, 0x21, 0x01, 0x0A, 0xD1, 0x82, 0x81, 0x30, 0x02, 0x01});
    auto d = runCommand(vexor + " decode " + path);
    EXPECT_EQ(d.out.substr(d.out.find('\n') + 1),
              "incomplete frame at end (4 bytes): 81 30 02 01\n");
    d = runCommand(vexor + " decode --json " + path);
    EXPECT_EQ(d.out.substr(d.out.find('\n') + 1),
              "{\"incomplete_at_end\": 1, \"frame\": \"81 30 02 01\"}\n");
    unlink(path.c_str());
}

TEST(DecodeCli, TextFormShowsRefusedFramesWithTheirErrorText) {
    std::string path = writeTemp({0x81, 0x21, 0x01, 0x0A, 0x00, 0x82, 0x81, 0x21, 0x01, 0x0A, 0xD1,
                                  0x82, 0x81, 0x23, 0x01, 0x00, 0xD9, 0x82});
    auto r = runCommand(vexor + " decode " + path);
    ASSERT_EQ(r.status, 0);
    std::istringstream in(r.out);
    std::string l1, l2, l3;
    std::getline(in, l1);
    std::getline(in, l2);
    std::getline(in, l3);
    EXPECT_EQ(l1, "ERR 2 Checksum Error:      81 21 01 0A 00 82");
    EXPECT_NE(l2.find("rate=10"), std::string::npos) << l2;
    EXPECT_NE(l3.find("not decoded"), std::string::npos) << l3;
    unlink(path.c_str());
}

} // namespace
