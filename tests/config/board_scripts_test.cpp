// The protocol selection and ZANT set-up scripts: frames, order and pauses.
#include "config/board_scripts.h"
#include "support/hex.h"

#include <gtest/gtest.h>

namespace {

// "command code payload" of a script step (unescaped, without checksum and end byte), and its
// pause.
std::string body(const vx::ScriptStep& step) {
    uint8_t buf[vx::kRxBufferSize];
    uint16_t n = 0;
    vx::MemorySource src(step.frame.data(), step.frame.size());
    EXPECT_EQ(vx::PacketDeframer::readFrame(src, buf, n), vx::kFrameOk);
    return vxtest::hex(buf + 1, n >= 3 ? n - 3u : 0u);
}

struct Expected {
    const char* body;
    int pauseMs;
};

void expectScript(const vx::PacedScript& script, const std::vector<Expected>& expected) {
    ASSERT_EQ(script.size(), expected.size());
    for (size_t i = 0; i < script.size(); ++i) {
        EXPECT_EQ(body(script[i]), expected[i].body) << "step " << i;
        EXPECT_EQ(script[i].pauseAfterMs, expected[i].pauseMs) << "step " << i;
    }
}

TEST(BoardScripts, ProtocolVexorSetsTheDefaultReports) {
    expectScript(vx::protocolSetupScript(vx::DefaultProtocol::Vexor),
                 {{"03 07", 5000},
                  {"01 2B 30 02 00 00 00 00 C8 00 00 00", 100},
                  {"01 2A 31 01 00 0C 00 00", 100},
                  {"01 2A 32 01 00 0C 00 00", 100},
                  {"01 2A 33 01 00 0C 00 00", 100},
                  {"01 2A 11 01 00 00 20 00", 100},
                  {"01 2A 12 01 00 00 20 00", 100},
                  {"01 2A 36 03 00 00 00 04", 100},
                  {"01 2A 36 04 00 00 00 04", 100},
                  {"01 2A 36 05 00 00 00 02", 100},
                  {"01 2A 36 07 00 00 00 01", 100},
                  {"01 2A 36 08 00 00 00 04", 100},
                  {"01 22 02 00 00 00 00 00", 100},
                  {"03 09", 0}});
}

TEST(BoardScripts, ProtocolNmeaZeroesEveryTriggerAndTurnsNmeaOn) {
    const vx::PacedScript s = vx::protocolSetupScript(vx::DefaultProtocol::Nmea);
    ASSERT_EQ(s.size(), 14u);
    EXPECT_EQ(body(s[1]), "01 2B 30 02 00 00 00 00 00 00 00 00");
    for (size_t i = 2; i < 12; ++i) EXPECT_EQ(body(s[i]).substr(12), "00 00 00 00") << i;
    EXPECT_EQ(body(s[12]), "01 22 02 01 00 00 01 1D") << "mask most significant byte first";
    EXPECT_EQ(body(s[13]), "03 09");
    EXPECT_EQ(vx::scriptDurationMs(s), 6200);
}

TEST(BoardScripts, ZantSendsThirteenFramesInOrder) {
    const vx::PacedScript s = vx::zantSetupScript();
    expectScript(s, {{"03 07", 5000},
                     {"01 70 7F BE 0F 00 00 00 00 00 00 00 00 00 00 00 00 00 00", 100},
                     {"01 2B 30 02 00 00 00 00 C8 00 00 00", 100},
                     {"01 2A 31 01 00 0C 00 00", 100},
                     {"01 2A 32 01 00 0C 00 00", 100},
                     {"01 2A 33 01 00 0C 00 00", 100},
                     {"01 2A 12 01 00 00 20 00", 100},
                     {"01 2A 36 03 00 00 00 04", 100},
                     {"01 2A 36 04 00 00 00 04", 100},
                     {"01 2A 36 05 00 00 00 02", 100},
                     {"01 2A 36 07 00 00 00 01", 100},
                     {"01 2A 36 08 00 00 00 04", 100},
                     {"03 09", 0}});
    EXPECT_EQ(vx::scriptDurationMs(s), 6100);
}

} // namespace
