// Monitor frames and the monitor-mode exchanges, against a scripted link. Expected frames and
// checksums were computed independently of the code under test.
#include "link/monitor_ops.h"
#include "support/hex.h"
#include "support/recording_sink.h"
#include "support/scripted_monitor_link.h"

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <numeric>
#include <string>
#include <vector>

using namespace vx;
using vxtest::RecordingSink;
using vxtest::ScriptedMonitorLink;

namespace {

constexpr int kGap = ScriptedMonitorLink::kGap;

std::vector<int> entries(const std::string& hex) {
    return ScriptedMonitorLink::entries(hex);
}

std::vector<int> gaps(int n) {
    return std::vector<int>(size_t(n), kGap);
}

std::vector<int> operator+(std::vector<int> a, const std::vector<int>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

struct MonitorCase {
    const char* name;
    std::function<int(FrameSink&)> send;
    std::string expected;
};

const std::vector<MonitorCase>& monitorCases() {
    static const std::vector<MonitorCase> cases = {
        {"restart", [](FrameSink& s) { return monitorRestart(s); }, "02 00 8C 00 8C 03"},
        {"command82", [](FrameSink& s) { return monitorCommand82(s); },
         "02 00 82 04 00 00 08 00 8E 03"},
        {"command83", [](FrameSink& s) { return monitorCommand83(s); }, "02 00 83 00 83 03"},
        {"ramTest", [](FrameSink& s) { return monitorRamTest(s); }, "02 00 85 00 85 03"},
        {"command87", [](FrameSink& s) { return monitorCommand87(s); }, "02 00 87 00 87 03"},
        {"romTest", [](FrameSink& s) { return monitorRomTest(s); }, "02 00 88 00 88 03"},
        {"command8E", [](FrameSink& s) { return monitorCommand8E(s); }, "02 00 8E 00 8E 03"},
        {"readMemoryRequest", [](FrameSink& s) { return monitorReadMemoryRequest(s, 0x12345, 16); },
         "02 00 80 05 00 01 23 45 10 FE 03"},
        {"readMemoryRequest flash",
         [](FrameSink& s) { return monitorReadMemoryRequest(s, 0xC70000, 128); },
         "02 00 80 05 00 C7 00 00 80 CC 03"},
        {"writeMemory",
         [](FrameSink& s) {
             const uint8_t d[] = {1, 2, 3, 0xFE};
             return monitorWriteMemory(s, 0x1800, d);
         },
         "02 00 81 08 00 00 18 00 01 02 03 FE A5 03"},
        {"customerData",
         [](FrameSink& s) {
             const uint8_t d[] = {0xAA, 0xBB, 0xCC};
             return monitorCustomerData(s, 0x05, d);
         },
         "02 00 7D 04 05 AA BB CC B7 03"},
        {"setConfig even name",
         [](FrameSink& s) {
             return monitorSetConfig(s, {305419896, 12, 31, 2007, "AB"});
         },
         "02 00 8A 0A 78 56 34 12 1F 0C D7 07 41 42 34 03"},
        {"setConfig odd name padded",
         [](FrameSink& s) {
             return monitorSetConfig(s, {1, 1, 2, 2024, "GPS"});
         },
         "02 00 8A 0C 01 00 00 00 02 01 E8 07 47 50 53 FF 72 03"},
        {"setConfig name ends at zero",
         [](FrameSink& s) {
             return monitorSetConfig(s, {1, 1, 2, 2024, std::string("GPS\0XYZ", 7)});
         },
         "02 00 8A 0C 01 00 00 00 02 01 E8 07 47 50 53 FF 72 03"},
        {"hardwareId three characters", [](FrameSink& s) { return monitorSetHardwareId(s, "HW1"); },
         "02 00 8D 04 48 57 31 FF 60 03"},
        {"hardwareId four characters", [](FrameSink& s) { return monitorSetHardwareId(s, "HW12"); },
         "02 00 8D 04 48 57 31 32 93 03"},
        {"command8B", [](FrameSink& s) { return monitorCommand8B(s, 0x4000, 0xC70000); },
         "02 00 8B 08 00 00 40 00 00 C7 00 00 9A 03"},
        {"raw monitor frame",
         [](FrameSink& s) {
             const uint8_t d[] = {0x00, 0x01, 0x23, 0x45, 0x10};
             return sendMonitorFrame(s, 0x80, d);
         },
         "02 00 80 05 00 01 23 45 10 FE 03"},
    };
    return cases;
}

class MonitorBytes : public ::testing::TestWithParam<size_t> {};

TEST_P(MonitorBytes, ExactFrameOnTheWire) {
    const MonitorCase& c = monitorCases()[GetParam()];
    RecordingSink sink;
    EXPECT_EQ(c.send(sink), 0) << c.name;
    ASSERT_EQ(sink.frames.size(), 1u) << c.name;
    EXPECT_EQ(vxtest::hex(sink.frames[0]), c.expected) << c.name;
    EXPECT_EQ(sink.frames[0].size(), size_t(sink.frames[0][3]) + 6) << c.name;
}

TEST_P(MonitorBytes, StoppedLinkGivesMinusOne) {
    const MonitorCase& c = monitorCases()[GetParam()];
    RecordingSink sink;
    sink.result = -1;
    EXPECT_EQ(c.send(sink), -1) << c.name;
}

INSTANTIATE_TEST_SUITE_P(Monitor, MonitorBytes, ::testing::Range<size_t>(0, monitorCases().size()),
                         [](const ::testing::TestParamInfo<size_t>& info) {
                             std::string n = monitorCases()[info.param].name;
                             for (char& ch : n)
                                 if (!isalnum(static_cast<unsigned char>(ch))) ch = '_';
                             return n;
                         });

} // namespace

// ---------------------------------------------------------------------------------------------
// Frame sizes

TEST(MonitorFrameSize, CallerBufferIsFilledAndSentWhole) {
    uint8_t frame[16] = {0xEE, 0xEE, 0x8D, 0x02, 'O', 'K', 0xEE, 0xEE, 0xEE};
    RecordingSink sink;
    EXPECT_EQ(sendMonitorFrame(sink, frame, sizeof frame), 0);
    ASSERT_EQ(sink.frames.size(), 1u);
    // 0x8D + 0x02 + 'O' (0x4F) + 'K' (0x4B) = 0x129 -> 0x29
    EXPECT_EQ(vxtest::hex(sink.frames[0]), "02 00 8D 02 4F 4B 29 03");
}

TEST(MonitorFrameSize, CallerBufferTooSmallForItsLengthByteIsRefused) {
    uint8_t frame[10] = {0, 0, 0x81, 0x05}; // needs 11 bytes
    RecordingSink sink;
    EXPECT_EQ(sendMonitorFrame(sink, frame, sizeof frame), -1);
    EXPECT_EQ(sendMonitorFrame(sink, frame, 5), -1);
    EXPECT_EQ(sendMonitorFrame(sink, nullptr, 100), -1);
    EXPECT_TRUE(sink.frames.empty());
    EXPECT_EQ(frame[0], 0) << "nothing written into a buffer that is too small";
}

TEST(MonitorFrameSize, FullLengthByteIsAccepted) {
    std::vector<uint8_t> data(255);
    std::iota(data.begin(), data.end(), 0);
    RecordingSink sink;
    EXPECT_EQ(sendMonitorFrame(sink, 0x81, data), 0);
    ASSERT_EQ(sink.frames.size(), 1u);
    EXPECT_EQ(sink.frames[0].size(), 261u);
    EXPECT_EQ(sink.frames[0][3], 0xFF);
    EXPECT_EQ(sink.frames[0].back(), 0x03);
    data.push_back(0);
    EXPECT_EQ(sendMonitorFrame(sink, 0x81, data), -1);
    EXPECT_TRUE(buildMonitorFrame(0x81, data).empty());
    EXPECT_EQ(sink.frames.size(), 1u);
}

TEST(MonitorFrameSize, WriteMemoryLimitedByTheLengthByte) {
    std::vector<uint8_t> data(251);
    for (size_t i = 0; i < data.size(); ++i) data[i] = uint8_t(i);
    RecordingSink sink;
    EXPECT_EQ(monitorWriteMemory(sink, 0x1800, data), 0);
    ASSERT_EQ(sink.frames.size(), 1u);
    const auto& f = sink.frames[0];
    ASSERT_EQ(f.size(), 261u);
    EXPECT_EQ(vxtest::hex(f.data(), 8), "02 00 81 FF 00 00 18 00");
    EXPECT_EQ(vxtest::hex(f.data() + 259, 2), "27 03");
    data.push_back(0);
    EXPECT_EQ(monitorWriteMemory(sink, 0x1800, data), -1);
    EXPECT_EQ(sink.frames.size(), 1u);
}

TEST(MonitorFrameSize, CustomerDataLimitedByTheLengthByte) {
    RecordingSink sink;
    std::vector<uint8_t> fits(254, 0x11);
    EXPECT_EQ(monitorCustomerData(sink, 0x7F, fits), 0);
    ASSERT_EQ(sink.frames.size(), 1u);
    EXPECT_EQ(sink.frames[0][3], 0xFF);
    std::vector<uint8_t> tooMany(255, 0x11);
    EXPECT_EQ(monitorCustomerData(sink, 0x7F, tooMany), -1);
    EXPECT_EQ(sink.frames.size(), 1u);
}

TEST(MonitorFrameSize, HardwareIdLimitedByTheLengthByte) {
    RecordingSink sink;
    EXPECT_EQ(monitorSetHardwareId(sink, std::string(254, 'A')), 0);
    EXPECT_EQ(monitorSetHardwareId(sink, std::string(253, 'A')), 0);  // 253 + pad = 254
    EXPECT_EQ(monitorSetHardwareId(sink, std::string(255, 'A')), -1); // 255 + pad = 256
    EXPECT_EQ(sink.frames.size(), 2u);
    EXPECT_EQ(sink.frames[1][3], 254);
    EXPECT_EQ(sink.frames[1][4 + 253], 0xFF);
}

TEST(MonitorFrameSize, ProductNameLongerThanTheRecordIsRefused) {
    RecordingSink sink;
    EXPECT_EQ(monitorSetConfig(sink, {1, 1, 1, 2000, std::string(16, 'N')}), 0);
    EXPECT_EQ(monitorSetConfig(sink, {1, 1, 1, 2000, std::string(17, 'N')}), -1);
    EXPECT_EQ(sink.frames.size(), 1u);
    EXPECT_EQ(sink.frames[0][3], 8 + 16);
}

// ---------------------------------------------------------------------------------------------
// Wake bytes and acknowledge wait

TEST(WakeBytes, FiveUnframedBytes) {
    ScriptedMonitorLink link;
    EXPECT_EQ(sendWakeBytes(link), 0);
    ASSERT_EQ(link.sent.size(), 1u);
    EXPECT_EQ(vxtest::hex(link.sent[0]), "05 05 05 05 05");
    link.sendResult = -1;
    EXPECT_EQ(sendWakeBytes(link), -1);
}

TEST(WaitMonitorAck, AckFoundAfterJunkAndGaps) {
    ScriptedMonitorLink link;
    link.incoming = {0x41, 0x02, kGap, 0x03, 0x06, 0x15};
    EXPECT_TRUE(waitMonitorAck(link, 3000));
    EXPECT_EQ(link.reads, 5);
    EXPECT_EQ(link.pauses, std::vector<int>(4, 10));
    EXPECT_EQ(link.incoming.size(), 1u) << "nothing read beyond the acknowledge byte";
}

TEST(WaitMonitorAck, RefusalEndsTheWaitAtOnce) {
    ScriptedMonitorLink link;
    link.incoming = {kGap, 0x41, 0x15, 0x06};
    EXPECT_FALSE(waitMonitorAck(link, 3000));
    EXPECT_EQ(link.reads, 3);
    EXPECT_EQ(link.pauses.size(), 2u);
}

TEST(WaitMonitorAck, TimeoutCountsTenMsSteps) {
    ScriptedMonitorLink link;
    EXPECT_FALSE(waitMonitorAck(link, 3000));
    EXPECT_EQ(link.reads, 300);
    EXPECT_EQ(link.pauses, std::vector<int>(300, 10));

    ScriptedMonitorLink longWait;
    EXPECT_FALSE(waitMonitorAck(longWait, 10000));
    EXPECT_EQ(longWait.reads, 1000);

    ScriptedMonitorLink partial; // 25 ms: polls at 25, 15 and 5 ms left
    EXPECT_FALSE(waitMonitorAck(partial, 25));
    EXPECT_EQ(partial.reads, 3);

    ScriptedMonitorLink none;
    EXPECT_FALSE(waitMonitorAck(none, 0));
    EXPECT_EQ(none.reads, 0);
}

TEST(WaitMonitorAck, AckJustInsideAndJustOutsideTheAllowance) {
    ScriptedMonitorLink inside;
    inside.feed(gaps(4) + entries("06"));
    EXPECT_TRUE(waitMonitorAck(inside, 50)); // fifth poll

    ScriptedMonitorLink outside;
    outside.feed(gaps(5) + entries("06"));
    EXPECT_FALSE(waitMonitorAck(outside, 50)); // would be the sixth poll
    EXPECT_EQ(outside.reads, 5);
}

// ---------------------------------------------------------------------------------------------
// Reply read

TEST(ReadMonitorReply, BytesArrivingWithGapsAreCollected) {
    ScriptedMonitorLink link;
    // Nine empty tries before a byte still count as arrival; gaps between other bytes too.
    link.feed(gaps(9) + entries("02 00") + gaps(3) + entries("80 04 11 22") + gaps(9) +
              entries("33 44 2E 03"));
    std::array<uint8_t, 10> buf{};
    EXPECT_TRUE(readMonitorReply(link, buf, 4));
    EXPECT_EQ(vxtest::hex(buf.data(), buf.size()), "02 00 80 04 11 22 33 44 2E 03");
    EXPECT_EQ(link.pauses.size(), 21u);
}

TEST(ReadMonitorReply, ByteMissingForTenTriesFails) {
    ScriptedMonitorLink link;
    link.feed(entries("02 00 80") + gaps(10) + entries("04 11 22 33 44 2E 03"));
    std::array<uint8_t, 10> buf{};
    EXPECT_FALSE(readMonitorReply(link, buf, 4));
    EXPECT_EQ(link.reads, 3 + 10);
    EXPECT_EQ(link.pauses, std::vector<int>(10, 10));
}

TEST(ReadMonitorReply, BufferSmallerThanTheReplyIsNotRead) {
    ScriptedMonitorLink link;
    link.feed(entries("02 00 80 04 11 22 33 44 2E 03"));
    std::array<uint8_t, 9> small{};
    EXPECT_FALSE(readMonitorReply(link, small, 4));
    EXPECT_EQ(link.reads, 0);
}

// ---------------------------------------------------------------------------------------------
// Memory read

namespace {

const char* kReply16 = "02 00 80 10 A0 A1 A2 A3 A4 A5 A6 A7 A8 A9 AA AB AC AD AE AF 08 03";
const char* kData16 = "A0 A1 A2 A3 A4 A5 A6 A7 A8 A9 AA AB AC AD AE AF";
const char* kRequest16 = "02 00 80 05 00 01 23 45 10 FE 03";

} // namespace

TEST(MonitorReadMemory, SendsRequestAndReadsTwentyTwoBytes) {
    ScriptedMonitorLink link;
    link.answerAfterSend[0] = entries(kReply16) + entries("55 55"); // trailing bytes untouched
    std::array<uint8_t, 16> dest{};
    EXPECT_TRUE(monitorReadMemory(link, 0x12345, 16, dest));
    EXPECT_EQ(vxtest::hex(dest.data(), dest.size()), kData16);
    ASSERT_EQ(link.sent.size(), 1u);
    EXPECT_EQ(vxtest::hex(link.sent[0]), kRequest16);
    EXPECT_EQ(link.reads, 22);
    EXPECT_EQ(link.incoming.size(), 2u);
    ASSERT_GE(link.events.size(), 2u);
    EXPECT_EQ(link.events[0], "purge");
    EXPECT_EQ(link.events[1], std::string("send ") + kRequest16);
}

TEST(MonitorReadMemory, RetriesAfterAReplyThatDoesNotCome) {
    ScriptedMonitorLink link;
    link.answerAfterSend[0] = entries("02 00 80 10 A0"); // then silence
    link.answerAfterSend[1] = gaps(5) + entries(kReply16);
    std::array<uint8_t, 16> dest{};
    EXPECT_TRUE(monitorReadMemory(link, 0x12345, 16, dest));
    EXPECT_EQ(vxtest::hex(dest.data(), dest.size()), kData16);
    EXPECT_EQ(link.sent.size(), 2u);
    EXPECT_EQ(link.purges, 2);
    EXPECT_EQ(vxtest::hex(link.sent[1]), kRequest16);
}

TEST(MonitorReadMemory, CorruptedRepliesAreRetriedNotCopied) {
    struct Bad {
        const char* what;
        const char* reply;
    };
    const Bad bad[] = {
        {"checksum", "02 00 80 10 A0 A1 A2 A3 A4 A5 A6 A7 A8 A9 AA AB AC AD AE AF 09 03"},
        {"data byte", "02 00 80 10 A0 A1 A2 A3 A4 A5 A6 A7 A8 A9 AA AB AC AD AE 00 08 03"},
        {"end byte", "02 00 80 10 A0 A1 A2 A3 A4 A5 A6 A7 A8 A9 AA AB AC AD AE AF 08 04"},
        {"start byte", "12 00 80 10 A0 A1 A2 A3 A4 A5 A6 A7 A8 A9 AA AB AC AD AE AF 08 03"},
        {"second byte", "02 01 80 10 A0 A1 A2 A3 A4 A5 A6 A7 A8 A9 AA AB AC AD AE AF 08 03"},
        {"length byte", "02 00 81 0F A0 A1 A2 A3 A4 A5 A6 A7 A8 A9 AA AB AC AD AE AF 08 03"},
    };
    for (const Bad& b : bad) {
        ScriptedMonitorLink link;
        link.answerAfterSend[0] = entries(b.reply);
        link.answerAfterSend[1] = entries(kReply16);
        std::array<uint8_t, 16> dest{};
        EXPECT_TRUE(monitorReadMemory(link, 0x12345, 16, dest)) << b.what;
        EXPECT_EQ(link.sent.size(), 2u) << b.what;
        EXPECT_EQ(vxtest::hex(dest.data(), dest.size()), kData16) << b.what;
    }
}

TEST(MonitorReadMemory, FiveFailedAttemptsGiveFalseAndLeaveTheDestination) {
    ScriptedMonitorLink link;
    for (size_t i = 0; i < 5; ++i)
        link.answerAfterSend[i] =
            entries("02 00 80 10 A0 A1 A2 A3 A4 A5 A6 A7 A8 A9 AA AB AC AD AE AF 00 03"); // bad sum
    link.answerAfterSend[5] = entries(kReply16); // a sixth attempt would succeed
    std::array<uint8_t, 16> dest;
    dest.fill(0x5A);
    EXPECT_FALSE(monitorReadMemory(link, 0x12345, 16, dest));
    EXPECT_EQ(link.sent.size(), 5u);
    EXPECT_EQ(link.purges, 5);
    for (uint8_t b : dest) EXPECT_EQ(b, 0x5A);
}

TEST(MonitorReadMemory, SilentReceiverCostsTenTriesPerAttempt) {
    ScriptedMonitorLink link;
    std::array<uint8_t, 128> dest{};
    EXPECT_FALSE(monitorReadMemory(link, 0x1800, 128, dest));
    EXPECT_EQ(link.sent.size(), 5u);
    EXPECT_EQ(link.reads, 50);
    EXPECT_EQ(link.pauses, std::vector<int>(50, 10));
}

TEST(MonitorReadMemory, RefusedRequestCountsAsAFailedAttempt) {
    ScriptedMonitorLink link;
    link.sendResult = -1;
    std::array<uint8_t, 16> dest{};
    EXPECT_FALSE(monitorReadMemory(link, 0x12345, 16, dest));
    EXPECT_EQ(link.sent.size(), 5u);
    EXPECT_EQ(link.reads, 0);
}

TEST(MonitorReadMemory, DestinationTooSmallSendsNothing) {
    ScriptedMonitorLink link;
    link.answerAfterSend[0] = entries(kReply16);
    std::array<uint8_t, 15> dest{};
    EXPECT_FALSE(monitorReadMemory(link, 0x12345, 16, dest));
    EXPECT_TRUE(link.sent.empty());
}

TEST(MonitorReadMemory, LargestCountFitsTheReplyBuffer) {
    std::vector<uint8_t> data(255);
    for (size_t i = 0; i < data.size(); ++i) data[i] = uint8_t(i * 7);
    std::vector<uint8_t> reply = buildMonitorFrame(0x80, data);
    ASSERT_EQ(reply.size(), 261u);
    ScriptedMonitorLink link;
    link.answerAfterSend[0].assign(reply.begin(), reply.end());
    std::vector<uint8_t> dest(255);
    EXPECT_TRUE(monitorReadMemory(link, 0xC00000, 255, dest));
    EXPECT_EQ(dest, data);
    EXPECT_EQ(link.reads, 261);
}

TEST(CheckMonitorReply, AcceptsOnlyTheExpectedLength) {
    std::vector<uint8_t> good = vxtest::bytes("02 00 80 04 11 22 33 44 2E 03");
    EXPECT_TRUE(checkMonitorReply(good, 4));
    EXPECT_FALSE(checkMonitorReply(good, 3));
    EXPECT_FALSE(checkMonitorReply(std::span<const uint8_t>(good.data(), 9), 4));
}

// Which byte answers a monitor command: only one outside every VEXOR frame, once the reader
// knows where the line is.
TEST(MonitorAnswerReader, OnlyABytePastEveryVexorFrameAnswers) {
    using A = MonitorAnswerReader::Answer;
    std::string overlong = "81 30 02";
    for (int i = 0; i < 237; ++i) overlong += " 06"; // 240 bytes: refused at the limit
    struct Case {
        const char* name;
        bool quiet;         // the line was quiet before the request
        std::string before; // observed before the request
        std::string after;  // fed after it
        A answer;
        size_t at; // index in after of the answering byte
    } cases[] = {
        {"ACK inside a report, then the real one", true, "", "81 30 02 06 15 02 00 11 82 06",
         A::Ack, 9},
        {"started in the middle of a frame", false, "30 02 06 15", "06 82 15", A::Nak, 2},
        {"no sync, no answer", false, "", "06 15 02 00", A::None, 0},
        {"synced on a frame end seen before", false, "44 82", "15", A::Nak, 0},
        {"a reply carrying 81 and 06", true, "", "02 00 80 02 81 06 09 03", A::Reply, 7},
        {"02 without 00 starts no reply", true, "", "02 06", A::Ack, 1},
        {"past a frame the deframer refused as too long", true, "", overlong + " 06", A::Ack, 240},
    };
    for (const Case& c : cases) {
        MonitorAnswerReader r;
        if (c.quiet) r.lineQuiet();
        for (uint8_t b : vxtest::bytes(c.before)) r.observe(b);
        const auto after = vxtest::bytes(c.after);
        A got = A::None;
        size_t at = 0;
        for (; at < after.size() && got == A::None; ++at) got = r.feed(after[at]);
        EXPECT_EQ(got, c.answer) << c.name;
        if (got != A::None) {
            EXPECT_EQ(at - 1, c.at) << c.name;
        }
        if (got == A::Reply) {
            EXPECT_TRUE(checkMonitorReply(r.reply(), 2)) << c.name;
        }
    }
    MonitorAnswerReader r;
    for (uint8_t b : vxtest::bytes("82 81 30 02 06 82 81 31 01 82")) r.observe(b);
    EXPECT_EQ(r.vexorFrames(), 2u);
}
