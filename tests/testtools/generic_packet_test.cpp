// The generic packet without a display: strict hex input, the frames of each command type, the
// size and header-byte refusals, and which answers match.
#include "testtools/generic_packet.h"

#include "support/hex.h"

#include <gtest/gtest.h>

using vx::GenericCommand;
using vx::GenericFields;
using vx::GenericType;

namespace {

TEST(GenericPacket, HexBytesAreReadStrictly) {
    struct Case {
        const char* text;
        int value; // -1: refused
    };
    for (Case c : {Case{"0", 0}, Case{"7f", 0x7F}, Case{"7F", 0x7F}, Case{"0x85", 0x85},
                   Case{" 0XfF ", 0xFF}, Case{"\t21\n", 0x21}, Case{"100", -1}, Case{"-1", -1},
                   Case{"+5", -1}, Case{"0x", -1}, Case{"", -1}, Case{"  ", -1}, Case{"1g", -1},
                   Case{"12 34", -1}, Case{"0x123", -1}, Case{"x12", -1}}) {
        std::optional<uint8_t> b = vx::parseHexByte(c.text);
        if (c.value < 0) {
            EXPECT_FALSE(b.has_value()) << c.text;
        } else {
            ASSERT_TRUE(b.has_value()) << c.text;
            EXPECT_EQ(*b, c.value) << c.text;
        }
    }
}

TEST(GenericPacket, DataTokensSplitAtBlanksAndStopAt128Bytes) {
    std::vector<uint8_t> out;
    EXPECT_EQ(vx::parseHexData("01 0x02\t3\r\n\n  ff  ", out), "");
    EXPECT_EQ(vxtest::hex(out), "01 02 03 FF");

    std::string many;
    for (int i = 0; i < 128; ++i) many += "AA ";
    out.clear();
    EXPECT_EQ(vx::parseHexData(many, out), "");
    EXPECT_EQ(out.size(), 128u);
    out.clear();
    EXPECT_EQ(vx::parseHexData(many + "BB", out), "Size of data is greater than 128 bytes.");
    // Trailing separators after the 128th token are not a 129th token.
    out.clear();
    EXPECT_EQ(vx::parseHexData(many + "\r\n   ", out), "");

    for (const char* bad : {"01 100", "01 -2", "zz", "01,02"}) {
        out.clear();
        EXPECT_EQ(vx::parseHexData(bad, out), "Error in data to set") << bad;
    }
}

// What each command type reads and sends, and what it refuses.
TEST(GenericPacket, FramesAndRefusalsByCommandType) {
    std::string data128, data124, data125, data123;
    for (int i = 0; i < 128; ++i) data128 += "01 ";
    for (int i = 0; i < 124; ++i) data124 += "01 ";
    data125 = data124 + "01";
    const std::string data129 = data128 + "01";
    for (int i = 0; i < 123; ++i) data123 += "01 ";

    struct Case {
        const char* name;
        GenericType type;
        GenericFields fields;
        const char* error; // "" when accepted
        const char* frame; // the frame sent, when accepted and it fits
    };
    const Case cases[] = {
        {"query 2101", GenericType::Query, {"21", "01", "", "ignored zz"}, "", "81 02 21 01 D9 82"},
        {"query with index",
         GenericType::Query,
         {"36", "07", "ff", ""},
         "",
         "81 02 36 07 FF BF 82"},
        {"set with data", GenericType::Set, {"21", "01", "", "0a"}, "", "81 01 21 01 0A D0 82"},
        {"set escapes data",
         GenericType::Set,
         {"21", "01", "", "85"},
         "",
         "81 01 21 01 80 05 55 82"},
        {"set escapes checksum",
         GenericType::Set,
         {"21", "01", "", "53"},
         "",
         "81 01 21 01 53 80 07 82"},
        {"set with index",
         GenericType::Set,
         {"70", "0d", "2", "aa bb"},
         "",
         "81 01 70 0D 02 AA BB 18 82"},
        {"system ignores the rest",
         GenericType::System,
         {"01", "zz", "zz", "zz"},
         "",
         "81 03 01 F9 82"},
        {"code 7f", GenericType::Query, {"7f", "0", "", ""}, "", "81 02 7F 00 7C 82"},
        {"code 80", GenericType::Query, {"80", "0", "", ""}, "Error with Parser Code.", nullptr},
        {"code blank", GenericType::System, {"", "", "", ""}, "Error with Parser Code.", nullptr},
        {"code signed", GenericType::Set, {"-1", "1", "", ""}, "Error with Parser Code.", nullptr},
        {"subcode bad",
         GenericType::Set,
         {"21", "1x", "", ""},
         "Error with Parser Subcode.",
         nullptr},
        {"index bad", GenericType::Query, {"21", "1", "q", ""}, "Error with Index.", nullptr},
        {"data bad", GenericType::Set, {"21", "1", "", "100"}, "Error in data to set", nullptr},
        {"set 128 bytes do not fit",
         GenericType::Set,
         {"21", "1", "", data128.c_str()},
         "Size of data is greater than 128 bytes.",
         nullptr},
        {"set 129 tokens",
         GenericType::Set,
         {"21", "1", "", data129.c_str()},
         "Size of data is greater than 128 bytes.",
         nullptr},
        {"raw vexor", GenericType::RawVexor, {"", "", "", "02 21 01"}, "", "81 02 21 01 D9 82"},
        {"raw vexor unescaped",
         GenericType::RawVexor,
         {"", "", "", "01 21 01 85"},
         "",
         "81 01 21 01 85 55 82"},
        {"raw vexor 124 bytes", GenericType::RawVexor, {"", "", "", data124.c_str()}, "", ""},
        {"raw vexor 125 bytes",
         GenericType::RawVexor,
         {"", "", "", data125.c_str()},
         "Size of data is greater than 128 bytes.",
         nullptr},
        {"raw vexor empty",
         GenericType::RawVexor,
         {"", "", "", "  "},
         "Error in data to set",
         nullptr},
        {"raw vexor 0x81 as code",
         GenericType::RawVexor,
         {"", "", "", "02 81 01"},
         vx::kErrHeaderByte.data(),
         nullptr},
        {"raw vexor 0x82 as subcode",
         GenericType::RawVexor,
         {"", "", "", "02 21 82"},
         vx::kErrHeaderByte.data(),
         nullptr},
        {"raw vexor 0x80 as command",
         GenericType::RawVexor,
         {"", "", "", "80 21 01"},
         vx::kErrHeaderByte.data(),
         nullptr},
        {"raw monitor restart",
         GenericType::RawMonitor,
         {"", "", "", "8c"},
         "",
         "02 00 8C 00 8C 03"},
        {"raw monitor with data",
         GenericType::RawMonitor,
         {"", "", "", "80 00 01 23 45 10"},
         "",
         "02 00 80 05 00 01 23 45 10 FE 03"},
        {"raw monitor 123 bytes", GenericType::RawMonitor, {"", "", "", data123.c_str()}, "", ""},
        {"raw monitor 124 bytes",
         GenericType::RawMonitor,
         {"", "", "", data124.c_str()},
         "Size of data is greater than 128 bytes.",
         nullptr},
        {"raw monitor empty",
         GenericType::RawMonitor,
         {"", "", "", ""},
         "Error in data to set",
         nullptr},
        {"nothing selected",
         GenericType::None,
         {"21", "01", "", ""},
         "No Command Code selected.",
         nullptr},
    };
    for (const Case& c : cases) {
        GenericCommand cmd;
        std::string err = vx::readGenericInput(cmd, c.type, c.fields);
        if (err.empty()) {
            std::vector<uint8_t> frame = vx::buildGenericFrame(cmd);
            if (frame.empty()) err = std::string(vx::kErrSize);
            if (c.frame && *c.frame) {
                EXPECT_EQ(vxtest::hex(frame), c.frame) << c.name;
            } else if (c.frame) {
                EXPECT_LE(frame.size(), 128u) << c.name;
            }
        }
        EXPECT_EQ(err, c.error) << c.name;
    }
}

TEST(GenericPacket, SetFrameFitsOnlyWhileItsEscapedFormFits) {
    // 0x81 01 21 01, data, checksum, 0x82: 122 plain bytes fit (4 + 122 + 2), an escaped byte
    // takes two places.
    GenericCommand cmd{GenericType::Set, 0x21, 0x01, vx::kNoIndex, std::vector<uint8_t>(122, 1)};
    EXPECT_LE(vx::buildGenericFrame(cmd).size(), 128u);
    EXPECT_FALSE(vx::buildGenericFrame(cmd).empty());
    cmd.data.back() = 0x85;
    EXPECT_TRUE(vx::buildGenericFrame(cmd).empty());
}

TEST(GenericPacket, FieldsReadBeforeAFailureStayStored) {
    GenericCommand cmd;
    cmd.code = 0x11;
    cmd.subcode = 0x22;
    EXPECT_EQ(vx::readGenericInput(cmd, GenericType::Set, {"31", "zz", "", ""}),
              "Error with Parser Subcode.");
    EXPECT_EQ(cmd.code, 0x31);
    EXPECT_EQ(cmd.subcode, 0x22);
    // System keeps the subcode it had; raw modes take code and subcode from typed bytes 2, 3.
    EXPECT_EQ(vx::readGenericInput(cmd, GenericType::System, {"05", "", "", ""}), "");
    EXPECT_EQ(cmd.subcode, 0x22);
    EXPECT_EQ(cmd.index, vx::kNoIndex);
    EXPECT_EQ(vx::readGenericInput(cmd, GenericType::RawVexor, {"", "", "", "02 33"}), "");
    EXPECT_EQ(cmd.code, 0x33);
    EXPECT_EQ(cmd.subcode, 0x22);
}

TEST(GenericPacket, ReplyLinesByTypeAndIndex) {
    const std::vector<uint8_t> payload{0x07, 0x0A, 0x85};
    struct Case {
        const char* name;
        GenericCommand cmd;
        uint8_t h1, h2;
        const char* line; // nullptr: no match
    };
    const Case cases[] = {
        {"query", {GenericType::Query, 0x21, 0x01, vx::kNoIndex, {}}, 0x21, 0x01, "07 0A 85 "},
        {"query with index skips the echo",
         {GenericType::Query, 0x21, 0x01, 0x07, {}},
         0x21,
         0x01,
         "0A 85 "},
        {"other subcode", {GenericType::Query, 0x21, 0x01, vx::kNoIndex, {}}, 0x21, 0x02, nullptr},
        {"other code", {GenericType::Query, 0x21, 0x01, vx::kNoIndex, {}}, 0x22, 0x01, nullptr},
        {"subcode ff is any",
         {GenericType::Query, 0x21, 0xFF, vx::kNoIndex, {}},
         0x21,
         0x37,
         "07 0A 85 "},
        {"raw shows the header",
         {GenericType::RawVexor, 0x21, 0x01, 0x07, {}},
         0x21,
         0x01,
         "21 01 07 0A 85 "},
    };
    for (const Case& c : cases) {
        auto line = vx::replyLine(c.cmd, c.h1, c.h2, payload.data(), payload.size());
        if (!c.line) {
            EXPECT_FALSE(line.has_value()) << c.name;
        } else {
            ASSERT_TRUE(line.has_value()) << c.name;
            EXPECT_EQ(*line, c.line) << c.name;
        }
    }
}

TEST(GenericPacket, AcknowledgementsMatchTheirOwnCommandOnly) {
    using V = vx::AckVerdict;
    const GenericCommand set{GenericType::Set, 0x21, 0x01, vx::kNoIndex, {}};
    const GenericCommand setIdx{GenericType::Set, 0x21, 0x01, 0x05, {}};
    const GenericCommand setAny{GenericType::Set, 0x21, 0x01, 0xFF, {}};
    const GenericCommand raw{GenericType::RawVexor, 0x21, 0x01, vx::kNoIndex, {}};
    struct Case {
        const char* name;
        const GenericCommand* cmd;
        uint8_t command;
        vx::AckRecord ack;
        V verdict;
    };
    const Case cases[] = {
        {"set ok", &set, 1, {0x21, 0x01, 0x80, 0}, V::Success},
        {"set refused", &set, 1, {0x21, 0x01, 0x80, 5}, V::Failure},
        {"no index stored: any index", &set, 1, {0x21, 0x01, 0x09, 0}, V::Success},
        {"query ack for a set", &set, 2, {0x21, 0x01, 0x80, 0}, V::NoMatch},
        {"other subcode", &set, 1, {0x21, 0x02, 0x80, 0}, V::NoMatch},
        {"index must equal", &setIdx, 1, {0x21, 0x01, 0x06, 0}, V::NoMatch},
        {"index equal", &setIdx, 1, {0x21, 0x01, 0x05, 0}, V::Success},
        {"index ff: any", &setAny, 1, {0x21, 0x01, 0x80, 3}, V::Failure},
        {"raw never", &raw, 1, {0x21, 0x01, 0x80, 0}, V::NoMatch},
    };
    for (const Case& c : cases)
        EXPECT_EQ(vx::matchAck(*c.cmd, c.command, c.ack), c.verdict) << c.name;

    const GenericCommand sys{GenericType::System, 0x01, 0x22, vx::kNoIndex, {}};
    EXPECT_EQ(vx::matchSysAck(sys, {0x01, 0}), V::Success);
    EXPECT_EQ(vx::matchSysAck(sys, {0x01, 5}), V::Failure);
    EXPECT_EQ(vx::matchSysAck(sys, {0x02, 0}), V::NoMatch);
    EXPECT_EQ(vx::matchSysAck(set, {0x21, 0}), V::NoMatch);
    EXPECT_EQ(vx::sysStatusLine(5), "Received reply status: 5");
}

} // namespace

namespace {

// What a command-line send waits for, event by event.
TEST(GenericPacket, CommandWaitEndsOnTheAnswersOfEachType) {
    using O = vx::CommandWait::Outcome;
    const uint8_t payload[] = {0x05};
    enum Ev { Reply, OtherReply, AckOk, AckRefused, OtherAck, SysOk, SysRefused };
    struct Case {
        const char* name;
        GenericType type;
        std::vector<uint8_t> data; // raw bytes
        std::vector<Ev> events;
        O afterEvents, atTimeout;
    };
    const Case cases[] = {
        {"query: reply then acknowledgement",
         GenericType::Query,
         {},
         {Reply, AckOk},
         O::Success,
         O::Success},
        {"query: acknowledgement then reply",
         GenericType::Query,
         {},
         {AckOk, Reply},
         O::Success,
         O::Success},
        {"query: reply only, at the time-out",
         GenericType::Query,
         {},
         {Reply},
         O::Waiting,
         O::Success},
        {"query refused", GenericType::Query, {}, {AckRefused}, O::Refused, O::Refused},
        {"query: nothing that matches",
         GenericType::Query,
         {},
         {OtherReply, OtherAck, SysOk},
         O::Waiting,
         O::TimedOut},
        {"set acknowledged", GenericType::Set, {}, {AckOk}, O::Success, O::Success},
        {"set: a reply is not its answer", GenericType::Set, {}, {Reply}, O::Waiting, O::TimedOut},
        {"set refused", GenericType::Set, {}, {AckRefused}, O::Refused, O::Refused},
        {"system", GenericType::System, {}, {SysOk}, O::Success, O::Success},
        {"system refused", GenericType::System, {}, {SysRefused}, O::Refused, O::Refused},
        {"raw query",
         GenericType::RawVexor,
         {0x02, 0x21, 0x01},
         {Reply, AckOk},
         O::Success,
         O::Success},
        {"raw set",
         GenericType::RawVexor,
         {0x01, 0x21, 0x01, 0x0A},
         {AckRefused},
         O::Refused,
         O::Refused},
        {"raw of another command: the reply",
         GenericType::RawVexor,
         {0x05, 0x21, 0x01},
         {Reply},
         O::Success,
         O::Success},
        {"the first answer decides",
         GenericType::Set,
         {},
         {AckOk, AckRefused},
         O::Success,
         O::Success},
    };
    for (const Case& c : cases) {
        GenericCommand cmd{c.type, 0x21, 0x01, vx::kNoIndex, c.data};
        if (c.type == GenericType::System) cmd.code = 0x05;
        vx::CommandWait wait(cmd);
        const uint8_t command = c.type == GenericType::RawVexor ? c.data[0] : uint8_t(c.type);
        for (Ev e : c.events) {
            switch (e) {
            case Reply:
                wait.packet(0x21, 0x01, payload, 1);
                break;
            case OtherReply:
                wait.packet(0x21, 0x02, payload, 1);
                break;
            case AckOk:
                wait.ack(command, {0x21, 0x01, 0x80, 0});
                break;
            case AckRefused:
                wait.ack(command, {0x21, 0x01, 0x80, 3});
                break;
            case OtherAck:
                wait.ack(command, {0x22, 0x01, 0x80, 0});
                break;
            case SysOk:
                wait.sysAck({0x05, 0});
                break;
            case SysRefused:
                wait.sysAck({0x05, 7});
                break;
            }
        }
        EXPECT_EQ(wait.outcome(), c.afterEvents) << c.name;
        EXPECT_EQ(wait.atTimeout(), c.atTimeout) << c.name;
    }
}

} // namespace
