// The generic packet without a display (shared by the window and `vexor send`): strict input,
// the frames of each command type with their refusals, and which answers match.
#include "testtools/generic_packet.h"

#include "support/hex.h"

#include <gtest/gtest.h>

using vx::GenericCommand;
using vx::GenericType;

namespace {

std::string tokens(int n, const char* t = "01 ") {
    std::string s;
    for (int i = 0; i < n; ++i) s += t;
    return s;
}

TEST(GenericPacket, HexBytesAreReadStrictly) {
    for (auto [text, value] : {std::pair{"7f", 0x7F},
                               {"0x85", 0x85},
                               {" 0XfF ", 0xFF},
                               {"\t21\n", 0x21},
                               {"100", -1},
                               {"-1", -1},
                               {"+5", -1},
                               {"0x", -1},
                               {"", -1},
                               {"1g", -1},
                               {"12 34", -1}}) {
        std::optional<uint8_t> b = vx::parseHexByte(text);
        EXPECT_EQ(b ? int(*b) : -1, value) << text;
    }
}

// What each command type reads and sends, and what it refuses.
TEST(GenericPacket, FramesAndRefusalsByCommandType) {
    const std::string d123 = tokens(123), d124 = tokens(124), d128 = tokens(128),
                      d129 = tokens(129), raw125 = tokens(125);
    struct Case {
        GenericType type;
        vx::GenericFields f;
        const char* result; // the frame, "fits" for a long frame, or the error text
    };
    const Case cases[] = {
        {GenericType::Query, {"21", "01", "", "zz (not read)"}, "81 02 21 01 D9 82"},
        {GenericType::Query, {"36", "07", "ff", ""}, "81 02 36 07 FF BF 82"},
        {GenericType::Set, {"21", "01", "", "01\t0x85\r\n"}, "81 01 21 01 01 80 05 54 82"},
        {GenericType::Set, {"21", "01", "", "53"}, "81 01 21 01 53 80 07 82"}, // checksum escaped
        {GenericType::Set, {"70", "0d", "2", "aa bb"}, "81 01 70 0D 02 AA BB 18 82"},
        {GenericType::System, {"01", "zz", "zz", "zz"}, "81 03 01 F9 82"},
        {GenericType::RawVexor, {"", "", "", "01 21 01 85"}, "81 01 21 01 85 55 82"},
        {GenericType::RawVexor, {"", "", "", d124}, "fits"},
        {GenericType::RawMonitor,
         {"", "", "", "80 00 01 23 45 10"},
         "02 00 80 05 00 01 23 45 10 FE 03"},
        {GenericType::RawMonitor, {"", "", "", d123}, "fits"},
        {GenericType::Query, {"7f", "0", "", ""}, "81 02 7F 00 7C 82"},
        {GenericType::Query, {"80", "0", "", ""}, "Error with Parser Code."},
        {GenericType::System, {"", "", "", ""}, "Error with Parser Code."},
        {GenericType::Set, {"21", "1x", "", ""}, "Error with Parser Subcode."},
        {GenericType::Query, {"21", "1", "q", ""}, "Error with Index."},
        {GenericType::Set, {"21", "1", "", "01 100"}, "Error in data to set"},
        {GenericType::Set, {"21", "1", "", "-1"}, "Error in data to set"},
        {GenericType::Set, {"21", "1", "", d129}, "Size of data is greater than 128 bytes."},
        {GenericType::Set, {"21", "1", "", d128}, "Size of data is greater than 128 bytes."},
        {GenericType::RawVexor, {"", "", "", raw125}, "Size of data is greater than 128 bytes."},
        {GenericType::RawMonitor, {"", "", "", d124}, "Size of data is greater than 128 bytes."},
        {GenericType::RawMonitor, {"", "", "", " "}, "Error in data to set"},
        {GenericType::RawVexor, {"", "", "", "02 81 01"}, vx::kErrHeaderByte.data()},
        {GenericType::RawVexor, {"", "", "", "80 21 01"}, vx::kErrHeaderByte.data()},
        {GenericType::None, {"21", "01", "", ""}, "No Command Code selected."},
    };
    for (const Case& c : cases) {
        GenericCommand cmd;
        std::string got = vx::readGenericInput(cmd, c.type, c.f);
        if (got.empty()) {
            std::vector<uint8_t> frame = vx::buildGenericFrame(cmd);
            got = frame.empty()                     ? std::string(vx::kErrSize)
                  : std::string(c.result) == "fits" ? (frame.size() <= 128 ? "fits" : "too long")
                                                    : vxtest::hex(frame);
        }
        EXPECT_EQ(got, c.result) << c.f.code << "|" << c.f.data.substr(0, 20);
    }
    // Separators after the 128th token are not a 129th token.
    std::vector<uint8_t> out;
    EXPECT_EQ(vx::parseHexData(d128 + "\r\n  ", out), "");
    EXPECT_EQ(out.size(), 128u);
    // 122 plain Set data bytes fit (4 + 122 + 2); one escaped byte more does not.
    GenericCommand set{GenericType::Set, 0x21, 0x01, vx::kNoIndex, std::vector<uint8_t>(122, 1)};
    EXPECT_FALSE(vx::buildGenericFrame(set).empty());
    set.data.back() = 0x85;
    EXPECT_TRUE(vx::buildGenericFrame(set).empty());
}

TEST(GenericPacket, FieldsReadBeforeAFailureStayStored) {
    GenericCommand cmd;
    cmd.subcode = 0x22;
    EXPECT_EQ(vx::readGenericInput(cmd, GenericType::Set, {"31", "zz", "", ""}),
              "Error with Parser Subcode.");
    EXPECT_EQ(cmd.code, 0x31);
    // System keeps the subcode it had; raw modes take code and subcode from typed bytes 2, 3.
    EXPECT_EQ(vx::readGenericInput(cmd, GenericType::System, {"05", "", "", ""}), "");
    EXPECT_EQ(cmd.subcode, 0x22);
    EXPECT_EQ(vx::readGenericInput(cmd, GenericType::RawVexor, {"", "", "", "02 33"}), "");
    EXPECT_EQ(cmd.code, 0x33);
    EXPECT_EQ(cmd.subcode, 0x22);
}

TEST(GenericPacket, RepliesAndAcknowledgementsThatMatch) {
    const uint8_t payload[] = {0x07, 0x0A, 0x85};
    const GenericCommand query{GenericType::Query, 0x21, 0x01, vx::kNoIndex, {}};
    const GenericCommand indexed{GenericType::Query, 0x21, 0x01, 0x07, {}};
    const GenericCommand anySub{GenericType::Query, 0x21, 0xFF, vx::kNoIndex, {}};
    const GenericCommand raw{GenericType::RawVexor, 0x21, 0x01, 0x07, {}};
    struct Reply {
        const GenericCommand* cmd;
        uint8_t h1, h2;
        const char* line; // "" for no match
    };
    for (Reply r :
         {Reply{&query, 0x21, 0x01, "07 0A 85 "}, Reply{&indexed, 0x21, 0x01, "0A 85 "},
          Reply{&query, 0x21, 0x02, ""}, Reply{&query, 0x22, 0x01, ""},
          Reply{&anySub, 0x21, 0x37, "07 0A 85 "}, Reply{&raw, 0x21, 0x01, "21 01 07 0A 85 "}}) {
        EXPECT_EQ(vx::replyLine(*r.cmd, r.h1, r.h2, payload, 3).value_or(""), r.line);
    }

    using V = vx::AckVerdict;
    const GenericCommand set{GenericType::Set, 0x21, 0x01, vx::kNoIndex, {}};
    const GenericCommand setIdx{GenericType::Set, 0x21, 0x01, 0x05, {}};
    const GenericCommand setAny{GenericType::Set, 0x21, 0x01, 0xFF, {}};
    struct Ack {
        const GenericCommand* cmd;
        uint8_t command;
        vx::AckRecord ack;
        V verdict;
    };
    for (Ack a : {Ack{&set, 1, {0x21, 0x01, 0x80, 0}, V::Success},
                  Ack{&set, 1, {0x21, 0x01, 0x80, 5}, V::Failure},
                  Ack{&set, 1, {0x21, 0x01, 0x09, 0}, V::Success}, // no index stored: any
                  Ack{&set, 2, {0x21, 0x01, 0x80, 0}, V::NoMatch}, // a Query acknowledgement
                  Ack{&set, 1, {0x21, 0x02, 0x80, 0}, V::NoMatch},
                  Ack{&setIdx, 1, {0x21, 0x01, 0x06, 0}, V::NoMatch},
                  Ack{&setIdx, 1, {0x21, 0x01, 0x05, 0}, V::Success},
                  Ack{&setAny, 1, {0x21, 0x01, 0x80, 3}, V::Failure},
                  Ack{&raw, 2, {0x21, 0x01, 0x80, 0}, V::NoMatch}}) {
        EXPECT_EQ(vx::matchAck(*a.cmd, a.command, a.ack), a.verdict);
    }
    const GenericCommand sys{GenericType::System, 0x01, 0x22, vx::kNoIndex, {}};
    EXPECT_EQ(vx::matchSysAck(sys, {0x01, 0}), V::Success);
    EXPECT_EQ(vx::matchSysAck(sys, {0x01, 5}), V::Failure);
    EXPECT_EQ(vx::matchSysAck(sys, {0x02, 0}), V::NoMatch);
    EXPECT_EQ(vx::matchSysAck(set, {0x21, 0}), V::NoMatch);
}

// What a command-line send waits for, event by event.
TEST(GenericPacket, CommandWaitEndsOnTheAnswersOfEachType) {
    using O = vx::CommandWait::Outcome;
    const uint8_t payload[] = {0x05};
    struct Case {
        GenericType type;
        std::vector<uint8_t> raw;
        const char* events; // R reply, r other reply, A/a acknowledged ok/refused, o other ack
        O after, atTimeout;
    };
    const Case cases[] = {
        {GenericType::Query, {}, "RA", O::Success, O::Success},
        {GenericType::Query, {}, "AR", O::Success, O::Success},
        {GenericType::Query, {}, "R", O::Waiting, O::Success},
        {GenericType::Query, {}, "a", O::Refused, O::Refused},
        {GenericType::Query, {}, "ro", O::Waiting, O::TimedOut},
        {GenericType::Query, {}, "A", O::Waiting, O::AckedNoReply}, // acknowledged, no reply
        {GenericType::RawVexor, {0x02, 0x21, 0x01}, "A", O::Waiting, O::AckedNoReply},
        {GenericType::Set, {}, "A", O::Success, O::Success},
        {GenericType::Set, {}, "R", O::Waiting, O::TimedOut},
        {GenericType::Set, {}, "Aa", O::Success, O::Success}, // the first answer decides
        {GenericType::System, {}, "a", O::Refused, O::Refused},
        {GenericType::RawVexor, {0x02, 0x21, 0x01}, "RA", O::Success, O::Success},
        {GenericType::RawVexor, {0x01, 0x21, 0x01, 0x0A}, "a", O::Refused, O::Refused},
        {GenericType::RawVexor, {0x05, 0x21, 0x01}, "R", O::Success, O::Success},
    };
    for (const Case& c : cases) {
        GenericCommand cmd{c.type, 0x21, 0x01, vx::kNoIndex, c.raw};
        vx::CommandWait wait(cmd);
        const uint8_t command = c.raw.empty() ? uint8_t(c.type) : c.raw[0];
        for (const char* e = c.events; *e; ++e) {
            const uint8_t result = *e == 'a' ? 3 : 0;
            if (*e == 'R' || *e == 'r') wait.packet(0x21, *e == 'R' ? 0x01 : 0x02, payload, 1);
            if (c.type == GenericType::System && (*e == 'A' || *e == 'a'))
                wait.sysAck({0x21, result});
            else if (*e == 'A' || *e == 'a' || *e == 'o')
                wait.ack(command, {uint8_t(*e == 'o' ? 0x22 : 0x21), 0x01, 0x80, result});
        }
        EXPECT_EQ(wait.outcome(), c.after) << int(c.type) << c.events;
        EXPECT_EQ(wait.atTimeout(), c.atTimeout) << int(c.type) << c.events;
    }
}

} // namespace
