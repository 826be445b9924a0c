// Command catalogue: exact bytes on the wire of every sender, paced scripts, refusal of frames
// that do not fit, and propagation of the sink's result. Expected frames were computed with an
// independent encoder, not with the code under test.
#include "link/catalogue.h"
#include "support/hex.h"
#include "support/recording_sink.h"
#include "support/recording_sleeper.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <functional>
#include <limits>
#include <numeric>
#include <string>
#include <vector>

using namespace vx;
using vxtest::bytes;
using vxtest::RecordingSink;
using vxtest::RecordingSleeper;

namespace {

struct SenderCase {
    const char* name;
    std::function<int(FrameSink&)> send;
    std::string expected;
};

AlmanacBlock block(uint8_t first) {
    AlmanacBlock b;
    std::iota(b.begin(), b.end(), first);
    return b;
}

const std::vector<SenderCase>& senderCases() {
    static const std::vector<SenderCase> cases = {
        // Generic builders
        {"sendQuery 2101", [](FrameSink& s) { return sendQuery(s, 0x21, 1); }, "81 02 21 01 D9 82"},
        {"sendSystem 0301", [](FrameSink& s) { return sendSystem(s, 0x01); }, "81 03 01 F9 82"},
        {"sendSystem 030A", [](FrameSink& s) { return sendSystem(s, 0x0A); }, "81 03 0A F0 82"},
        {"sendQuery2 3301", [](FrameSink& s) { return sendQuery2(s, 0x33, 1, 5); },
         "81 02 33 01 05 C2 82"},
        {"sendQuery2 2901 RTC", [](FrameSink& s) { return sendQuery2(s, 0x29, 1, 0xFF); },
         "81 02 29 01 FF D2 82"},
        // sendCommand
        {"sendCommand System omits subcode and 0x80 index",
         [](FrameSink& s) { return sendCommand(s, 0x03, 0x01, 0x55, kNoIndex); }, "81 03 01 F9 82"},
        {"sendCommand System keeps a real index",
         [](FrameSink& s) { return sendCommand(s, 0x03, 0x02, 0x55, 0x07); }, "81 03 02 07 F1 82"},
        {"sendCommand Set without index, escaped data",
         [](FrameSink& s) {
             const uint8_t d[] = {0x04, 0x85};
             return sendCommand(s, 0x01, 0x70, 0x0D, kNoIndex, d);
         },
         "81 01 70 0D 04 80 05 F6 82"},
        {"sendCommand Query with index",
         [](FrameSink& s) { return sendCommand(s, 0x02, 0x21, 0x01, 0x05); },
         "81 02 21 01 05 D4 82"},
        {"sendCommand index 0xFF is sent",
         [](FrameSink& s) {
             const uint8_t d[] = {0x10, 0x03};
             return sendCommand(s, 0x01, 0x2E, 0x01, 0xFF, d);
         },
         "81 01 2E 01 FF 10 03 BB 82"},
        {"sendCommand counted string",
         [](FrameSink& s) {
             const uint8_t counted[] = {2, 0x04, 0x85, 0x77 /* beyond the count */};
             return sendCommandCounted(s, 0x01, 0x70, 0x0D, kNoIndex, counted);
         },
         "81 01 70 0D 04 80 05 F6 82"},
        {"sendCommand counted null is no data",
         [](FrameSink& s) { return sendCommandCounted(s, 0x01, 0x70, 0x17, kNoIndex, nullptr); },
         "81 01 70 17 75 82"},
        // Queries
        {"queryProductInfo2", [](FrameSink& s) { return queryProductInfo2(s); },
         "81 02 12 02 E7 82"},
        {"queryProductInfo3", [](FrameSink& s) { return queryProductInfo3(s); },
         "81 02 12 03 E6 82"},
        {"queryProductInfo4", [](FrameSink& s) { return queryProductInfo4(s); },
         "81 02 12 04 E5 82"},
        {"queryAlmanac 2812", [](FrameSink& s) { return queryAlmanac(s, 0x12, 5); },
         "81 02 28 12 05 BC 82"},
        {"queryAlmanac 2813 sends no SV", [](FrameSink& s) { return queryAlmanac(s, 0x13, 5); },
         "81 02 28 13 C0 82"},
        {"queryAlmanac 2814", [](FrameSink& s) { return queryAlmanac(s, 0x14); },
         "81 02 28 14 BF 82"},
        {"queryDrCalibration 3603", [](FrameSink& s) { return queryDrCalibration(s, 0x03); },
         "81 02 36 03 C2 82"},
        {"queryDrCalibration 3607 all", [](FrameSink& s) { return queryDrCalibration(s, 0x07); },
         "81 02 36 07 FF BF 82"},
        {"queryDrCalibration 3607 index 1",
         [](FrameSink& s) { return queryDrCalibration(s, 0x07, 1); }, "81 02 36 07 01 BD 82"},
        // Sets
        {"clearEventLog", [](FrameSink& s) { return clearEventLog(s); }, "81 01 14 01 FF E8 82"},
        {"setDrEngineRate 10", [](FrameSink& s) { return setDrEngineRate(s, 0x0A); },
         "81 01 21 01 0A D0 82"},
        {"setDrEngineRate value 0x85 escaped",
         [](FrameSink& s) { return setDrEngineRate(s, 0x85); }, "81 01 21 01 80 05 55 82"},
        {"setDrEngineRate checksum escaped", [](FrameSink& s) { return setDrEngineRate(s, 0x53); },
         "81 01 21 01 53 80 07 82"},
        {"setNmeaOutput mask most significant first",
         [](FrameSink& s) { return setNmeaOutput(s, 5, 0x123); },
         "81 01 22 02 05 00 00 01 23 AF 82"},
        {"setNmeaOutput escaped mask byte",
         [](FrameSink& s) { return setNmeaOutput(s, 1, 0x81020304); },
         "81 01 22 02 01 80 01 02 03 04 4D 82"},
        {"setDrFilter integer", [](FrameSink& s) { return setDrFilter(s, 0x05, int32_t(-3)); },
         "81 01 27 05 FD FF FF FF D6 82"},
        {"setDrFilter last integer subcode",
         [](FrameSink& s) { return setDrFilter(s, 0x1B, int32_t(100000)); },
         "81 01 27 1B A0 80 06 01 00 93 82"},
        {"setDrFilter float", [](FrameSink& s) { return setDrFilter(s, 0x45, 2.5f); },
         "81 01 27 45 00 00 20 40 30 82"},
        {"setDrFilter first float subcode",
         [](FrameSink& s) { return setDrFilter(s, 0x1C, 0.25f); },
         "81 01 27 1C 00 00 80 00 3E FB 82"},
        {"uploadAlmanac12",
         [](FrameSink& s) {
             return uploadAlmanac12(s, {7, 0x02, 0x11, block(0x70)});
         },
         "81 01 28 12 07 02 11 70 71 72 73 74 75 76 77 78 79 7A 7B 7C 7D 7E 7F 80 00 80 01 80 "
         "02 80 03 80 04 80 05 80 06 80 07 14 82"},
        {"uploadAlmanac13",
         [](FrameSink& s) {
             return uploadAlmanac13(s, {0x01, 0x22, block(1), block(0x80)});
         },
         "81 01 28 13 01 22 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F 10 11 12 13 14 15 16 "
         "17 18 80 00 80 01 80 02 80 03 80 04 80 05 80 06 80 07 88 89 8A 8B 8C 8D 8E 8F 90 91 "
         "92 93 94 95 96 97 5E 82"},
        {"uploadAlmanac14",
         [](FrameSink& s) {
             AlmanacPage14 p{0x02, 0x33, {}};
             p.data.fill(0x85);
             return uploadAlmanac14(s, p);
         },
         "81 01 28 14 02 33 80 05 80 05 80 05 80 05 80 05 80 05 80 05 80 05 80 05 80 05 80 05 "
         "80 05 80 05 80 05 80 05 80 05 80 05 80 05 80 05 80 05 80 05 80 05 80 05 80 05 13 82"},
        {"setInit1",
         [](FrameSink& s) {
             return setInit1(s, {0x01, 1400, 345600000, 250});
         },
         "81 01 29 01 01 78 05 00 70 99 14 FA 00 00 00 3D 82"},
        {"setInit2",
         [](FrameSink& s) {
             return setInit2(s, {0x11, 341782628, -341782628, 1000, 2000, 0.5f});
         },
         "81 01 29 02 11 64 30 5F 14 9C CF A0 EB E8 03 00 00 D0 07 00 00 00 00 00 3F C2 82"},
        {"setInit3",
         [](FrameSink& s) {
             return setInit3(s, {0x02, -12, 30});
         },
         "81 01 29 03 02 F4 FF 1E 00 BD 82"},
        {"setInit4",
         [](FrameSink& s) {
             return setInit4(s, {0x01, -1500, 200});
         },
         "81 01 29 04 01 24 FA FF FF C8 00 EA 82"},
        {"setInit5",
         [](FrameSink& s) {
             return setInit5(s, {0x11, 16384, 328});
         },
         "81 01 29 05 11 00 40 48 01 34 82"},
        {"setShortMapMatch",
         [](FrameSink& s) {
             ShortMapMatch m;
             m.validity = 0x7F;
             m.time_tag = 1234;
             m.latitude = 341782628;
             m.longitude = -341782627;
             m.altitude = -20;
             m.heading = 16384;
             m.east_accuracy = 5;
             m.north_accuracy = 6;
             m.east_north_covariance = -7;
             m.altitude_accuracy = 8;
             m.heading_accuracy = 100;
             return setShortMapMatch(s, m);
         },
         "81 01 29 07 7F D2 04 64 30 5F 14 9D CF A0 EB EC FF 00 40 05 00 06 00 F9 FF 08 00 64 "
         "00 DF 82"},
        {"setTacho",
         [](FrameSink& s) {
             return setTacho(s, {0x83, 500, 25, 70000});
         },
         "81 01 29 08 80 03 F4 01 19 00 70 11 01 00 B8 82"},
        {"setEventOutput",
         [](FrameSink& s) {
             return setEventOutput(s, {0x31, 0x01}, 0x20000000);
         },
         "81 01 2A 31 01 00 00 00 20 80 00 82"},
        {"setEventOutput unknown bits",
         [](FrameSink& s) {
             return setEventOutput(s, {0x32, 0x02}, 0x8885E131);
         },
         "81 01 2A 32 02 31 E1 80 05 88 7F 82"},
        {"setTimeOutput",
         [](FrameSink& s) {
             return setTimeOutput(s, {0x31, 0x01}, {1000, 5000});
         },
         "81 01 2B 31 01 E8 03 00 00 88 13 00 00 19 82"},
        {"setDistOutput",
         [](FrameSink& s) {
             return setDistOutput(s, {0x30, 0x02}, {10, 200});
         },
         "81 01 2C 30 02 0A 00 00 00 C8 00 00 00 CC 82"},
        {"setHeadingOutput",
         [](FrameSink& s) {
             return setHeadingOutput(s, {0x30, 0x03}, {0x87, 0xFFFFFFFF});
         },
         "81 01 2D 30 03 80 07 00 00 00 FF FF FF FF 19 82"},
        {"setSoftEventMask", [](FrameSink& s) { return setSoftEventMask(s, 0x10, 3); },
         "81 01 2E 01 10 03 BA 82"},
        {"setTestControl start", [](FrameSink& s) { return setTestControl(s, 2, 600); },
         "81 01 2F 02 58 02 71 82"},
        {"setTestControl stop", [](FrameSink& s) { return setTestControl(s, 4, 0); },
         "81 01 2F 04 00 00 C9 82"},
        {"setDrCalibration ZRO",
         [](FrameSink& s) {
             return setDrCalibration(s, {0x03, 0, 0x01, 0, 1.5f, 0.125f});
         },
         "81 01 36 03 01 00 00 C0 3F 00 00 00 3E 80 05 82"},
        {"setDrCalibration direction switch",
         [](FrameSink& s) {
             return setDrCalibration(s, {0x05, 0, 0x81, 20, 9.0f, 9.0f});
         },
         "81 01 36 05 80 01 14 2C 82"},
        {"setDrCalibration DPP",
         [](FrameSink& s) {
             return setDrCalibration(s, {0x07, 2, 0x02, 0, 0.75f, 0.01f});
         },
         "81 01 36 07 02 02 00 00 40 3F 0A D7 23 3C FC 82"},
        {"setDiagOutput",
         [](FrameSink& s) {
             DiagOutputMask m{};
             m[0] = 0xBE;
             m[1] = 0x0F;
             return setDiagOutput(s, m);
         },
         "81 01 70 7F BE 0F 00 00 00 00 00 00 00 00 00 00 00 00 00 00 40 82"},
    };
    return cases;
}

class SenderBytes : public ::testing::TestWithParam<size_t> {};

TEST_P(SenderBytes, ExactFrameOnTheWire) {
    const SenderCase& c = senderCases()[GetParam()];
    RecordingSink sink;
    EXPECT_EQ(c.send(sink), 0) << c.name;
    ASSERT_EQ(sink.frames.size(), 1u) << c.name;
    EXPECT_EQ(vxtest::hex(sink.frames[0]), c.expected) << c.name;
}

TEST_P(SenderBytes, StoppedLinkGivesMinusOne) {
    const SenderCase& c = senderCases()[GetParam()];
    RecordingSink sink;
    sink.result = -1;
    EXPECT_EQ(c.send(sink), -1) << c.name;
    EXPECT_EQ(sink.frames.size(), 1u) << c.name;
}

INSTANTIATE_TEST_SUITE_P(Catalogue, SenderBytes, ::testing::Range<size_t>(0, senderCases().size()),
                         [](const ::testing::TestParamInfo<size_t>& info) {
                             std::string n = senderCases()[info.param].name;
                             for (char& ch : n)
                                 if (!isalnum(static_cast<unsigned char>(ch))) ch = '_';
                             return n + "_" + std::to_string(info.param);
                         });

// A sink whose answers are given call by call (then 0).
class ScriptedSink : public FrameSink {
public:
    explicit ScriptedSink(std::vector<int> r) : results(std::move(r)) {}
    int sendFrame(const uint8_t* b, uint16_t n) override {
        frames.emplace_back(b, b + n);
        size_t i = frames.size() - 1;
        return i < results.size() ? results[i] : 0;
    }
    std::vector<int> results;
    std::vector<std::vector<uint8_t>> frames;
};

} // namespace

// ---------------------------------------------------------------------------------------------
// Multi-frame senders and paced scripts

TEST(QueryRange, ZeroSendsNothingAndReturnsOne) {
    RecordingSink sink;
    EXPECT_EQ(sendQueryRange(sink, 0x24, 0), 1);
    EXPECT_TRUE(sink.frames.empty());
    EXPECT_TRUE(queryRangeScript(0x24, 0).empty());
}

TEST(QueryRange, GpsConfigQueriesSubcodesOneToEightInOrder) {
    RecordingSink sink;
    EXPECT_EQ(queryGpsConfig(sink), 0);
    std::vector<std::string> expected = {
        "81 02 24 01 D6 82", "81 02 24 02 D5 82", "81 02 24 03 D4 82", "81 02 24 04 D3 82",
        "81 02 24 05 D2 82", "81 02 24 06 D1 82", "81 02 24 07 D0 82", "81 02 24 08 CF 82"};
    EXPECT_EQ(sink.hexFrames(), expected);
    PacedScript script = queryGpsConfigScript();
    ASSERT_EQ(script.size(), 8u);
    for (size_t i = 0; i < script.size(); ++i) {
        EXPECT_EQ(vxtest::hex(script[i].frame), expected[i]);
        EXPECT_EQ(script[i].pauseAfterMs, 0);
    }
}

TEST(QueryRange, KalmanQueriesTwentyThreeSubcodes) {
    RecordingSink sink;
    EXPECT_EQ(queryKalman(sink), 0);
    ASSERT_EQ(sink.frames.size(), 23u);
    EXPECT_EQ(vxtest::hex(sink.frames.front()), "81 02 25 01 D5 82");
    EXPECT_EQ(vxtest::hex(sink.frames.back()), "81 02 25 17 BF 82");
    for (size_t i = 0; i < 23; ++i) EXPECT_EQ(sink.frames[i][3], i + 1);
    EXPECT_EQ(queryKalmanScript().size(), 23u);
}

TEST(QueryRange, ReturnsTheLastFrameResult) {
    ScriptedSink lastFails({0, 0, -1});
    EXPECT_EQ(sendQueryRange(lastFails, 0x16, 3), -1);
    ScriptedSink firstFails({-1, 0, 0});
    EXPECT_EQ(sendQueryRange(firstFails, 0x16, 3), 0);
    EXPECT_EQ(firstFails.frames.size(), 3u) << "each frame is an independent command";
}

TEST(QueryVersion, ThreeQueriesWithFiftyMsPauses) {
    PacedScript script = queryVersionScript();
    ASSERT_EQ(script.size(), 3u);
    EXPECT_EQ(vxtest::hex(script[0].frame), "81 02 11 01 E9 82");
    EXPECT_EQ(vxtest::hex(script[1].frame), "81 02 11 02 E8 82");
    EXPECT_EQ(vxtest::hex(script[2].frame), "81 02 11 03 E7 82");
    EXPECT_EQ(script[0].pauseAfterMs, 50);
    EXPECT_EQ(script[1].pauseAfterMs, 50);
    EXPECT_EQ(script[2].pauseAfterMs, 0);
    EXPECT_EQ(scriptDurationMs(script), 100);

    RecordingSink sink;
    RecordingSleeper sleeper;
    EXPECT_EQ(queryVersion(sink, sleeper), 0);
    EXPECT_EQ(sink.hexFrames(), (std::vector<std::string>{"81 02 11 01 E9 82", "81 02 11 02 E8 82",
                                                          "81 02 11 03 E7 82"}));
    EXPECT_EQ(sleeper.pauses, (std::vector<int>{50, 50}));
}

TEST(QueryVersion, ResultIsTheLastFrames) {
    RecordingSleeper sleeper;
    ScriptedSink lastFails({0, 0, -1});
    EXPECT_EQ(queryVersion(lastFails, sleeper), -1);
    ScriptedSink firstFails({-1, 0, 0});
    EXPECT_EQ(queryVersion(firstFails, sleeper), 0);
    EXPECT_EQ(firstFails.frames.size(), 3u);
}

TEST(SetGpsConfig, EightFramesWithPausesAfterTheFirstSeven) {
    GpsConfigRecord c;
    c.value[0x01] = 4;    // operating dimension
    c.value[0x02] = 2;    // DGPS mode
    c.value[0x03] = 17;   // dynamics code
    c.value[0x04] = 5.0;  // elevation mask
    c.value[0x05] = 175;  // SNR mask
    c.value[0x06] = 10.0; // DOP mask
    c.value[0x07] = 6.0;  // DOP switch
    c.value[0x08] = 30;   // DGPS age
    const std::vector<std::string> expected = {
        "81 01 24 01 04 D3 82",          "81 01 24 02 02 D4 82",    "81 01 24 03 11 C4 82",
        "81 01 24 04 00 00 A0 40 F4 82", "81 01 24 05 AF 00 24 82", "81 01 24 06 00 00 20 41 71 82",
        "81 01 24 07 00 00 C0 40 D1 82", "81 01 24 08 1E 00 B2 82",
    };
    PacedScript script = setGpsConfigScript(c);
    ASSERT_EQ(script.size(), 8u);
    for (size_t i = 0; i < 8; ++i) {
        EXPECT_EQ(vxtest::hex(script[i].frame), expected[i]) << i;
        EXPECT_EQ(script[i].pauseAfterMs, i < 7 ? 50 : 0) << i;
    }
    EXPECT_EQ(scriptDurationMs(script), 350);

    RecordingSink sink;
    RecordingSleeper sleeper;
    EXPECT_EQ(setGpsConfig(sink, c, sleeper), 0);
    EXPECT_EQ(sink.hexFrames(), expected);
    EXPECT_EQ(sleeper.pauses, std::vector<int>(7, 50));
}

TEST(SetKalman, TwentyThreeFramesBackToBackDwordsThenFloats) {
    KalmanRecord p;
    for (int s = 0x01; s <= 0x06; ++s) p.value[size_t(s)] = s * 0x101;
    for (int s = 0x07; s <= 0x17; ++s) p.value[size_t(s)] = s * 0.5;
    const std::vector<std::string> expected = {
        "81 01 25 01 01 01 00 00 D4 82", "81 01 25 02 02 02 00 00 D1 82",
        "81 01 25 03 03 03 00 00 CE 82", "81 01 25 04 04 04 00 00 CB 82",
        "81 01 25 05 05 05 00 00 C8 82", "81 01 25 06 06 06 00 00 C5 82",
        "81 01 25 07 00 00 60 40 30 82", "81 01 25 08 00 00 80 00 40 0F 82",
        "81 01 25 09 00 00 90 40 FE 82", "81 01 25 0A 00 00 A0 40 ED 82",
        "81 01 25 0B 00 00 B0 40 DC 82", "81 01 25 0C 00 00 C0 40 CB 82",
        "81 01 25 0D 00 00 D0 40 BA 82", "81 01 25 0E 00 00 E0 40 A9 82",
        "81 01 25 0F 00 00 F0 40 98 82", "81 01 25 10 00 00 00 41 80 06 82",
        "81 01 25 11 00 00 08 41 7D 82", "81 01 25 12 00 00 10 41 74 82",
        "81 01 25 13 00 00 18 41 6B 82", "81 01 25 14 00 00 20 41 62 82",
        "81 01 25 15 00 00 28 41 59 82", "81 01 25 16 00 00 30 41 50 82",
        "81 01 25 17 00 00 38 41 47 82",
    };
    RecordingSink sink;
    EXPECT_EQ(setKalman(sink, p), 0);
    EXPECT_EQ(sink.hexFrames(), expected);
    PacedScript script = setKalmanScript(p);
    ASSERT_EQ(script.size(), 23u);
    EXPECT_EQ(scriptDurationMs(script), 0);
    for (size_t i = 0; i < 23; ++i) EXPECT_EQ(vxtest::hex(script[i].frame), expected[i]);
}

TEST(RunScript, EmptyScriptSendsNothingAndReturnsOne) {
    RecordingSink sink;
    RecordingSleeper sleeper;
    EXPECT_EQ(runScriptBlocking(sink, {}, sleeper), kNothingSent);
    EXPECT_TRUE(sink.frames.empty());
    EXPECT_TRUE(sleeper.pauses.empty());
}

TEST(RunScript, UnbuildableStepIsRefusedButPacingKept) {
    PacedScript script = {{bytes("81 02 11 01 E9 82"), 20}, {{}, 30}, {bytes("81 03 01 F9 82"), 0}};
    RecordingSink sink;
    RecordingSleeper sleeper;
    EXPECT_EQ(runScriptBlocking(sink, script, sleeper), 0);
    EXPECT_EQ(sink.frames.size(), 2u);
    EXPECT_EQ(sleeper.pauses, (std::vector<int>{20, 30}));
    script.pop_back();
    sink.frames.clear();
    EXPECT_EQ(runScriptBlocking(sink, script, sleeper), -1);
    EXPECT_EQ(sink.frames.size(), 1u);
}

TEST(ScriptCursor, StepwiseRunSendsWhatTheBlockingRunSends) {
    GpsConfigRecord c;
    c.value[0x04] = 7.5;
    PacedScript script = setGpsConfigScript(c);

    RecordingSink blocking;
    RecordingSleeper sleeper;
    runScriptBlocking(blocking, script, sleeper);

    RecordingSink stepwise;
    std::vector<int> waits;
    ScriptCursor cursor(script);
    EXPECT_EQ(cursor.lastResult(), kNothingSent);
    while (!cursor.done()) waits.push_back(cursor.sendNext(stepwise));
    EXPECT_EQ(stepwise.frames, blocking.frames);
    EXPECT_EQ(waits, (std::vector<int>{50, 50, 50, 50, 50, 50, 50, 0}));
    EXPECT_EQ(cursor.stepsSent(), 8u);
    EXPECT_EQ(cursor.sendNext(stepwise), 0) << "a finished cursor sends nothing";
    EXPECT_EQ(stepwise.frames.size(), 8u);
}

TEST(ScriptCursor, ReportsEachStepsResult) {
    ScriptedSink sink({-1, 0});
    ScriptCursor cursor(queryVersionScript());
    cursor.sendNext(sink);
    EXPECT_EQ(cursor.lastResult(), -1);
    cursor.sendNext(sink);
    EXPECT_EQ(cursor.lastResult(), 0);
}

TEST(RunScript, RealSleeperWaitsAtLeastThePause) {
    RealSleeper sleeper;
    RecordingSink sink;
    auto t0 = std::chrono::steady_clock::now();
    runScriptBlocking(sink, {{bytes("81 03 01 F9 82"), 20}}, sleeper);
    EXPECT_GE(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(20));
}

// ---------------------------------------------------------------------------------------------
// Frames that do not fit the 128-byte buffer

TEST(FrameSize, SendCommandDataThatFitsExactlyIsSent) {
    std::vector<uint8_t> data(122, 0x01); // 4 + 122 + checksum + end = 128 bytes
    RecordingSink sink;
    EXPECT_EQ(sendCommand(sink, 0x01, 0x70, 0x0D, kNoIndex, data), 0);
    ASSERT_EQ(sink.frames.size(), 1u);
    ASSERT_EQ(sink.frames[0].size(), 128u);
    EXPECT_EQ(vxtest::hex(sink.frames[0].data() + 126, 2), "05 82");
}

TEST(FrameSize, SendCommandOneByteTooLongIsRefused) {
    std::vector<uint8_t> data(123, 0x01);
    RecordingSink sink;
    EXPECT_EQ(sendCommand(sink, 0x01, 0x70, 0x0D, kNoIndex, data), -1);
    EXPECT_TRUE(sink.frames.empty());
}

TEST(FrameSize, EscapedDataCountsTwice) {
    RecordingSink sink;
    std::vector<uint8_t> fits(61, 0x85); // 4 + 122 + checksum + end = 128
    EXPECT_EQ(sendCommand(sink, 0x01, 0x70, 0x0D, kNoIndex, fits), 0);
    ASSERT_EQ(sink.frames.size(), 1u);
    EXPECT_EQ(sink.frames[0].size(), 128u);
    std::vector<uint8_t> tooLong(62, 0x85);
    EXPECT_EQ(sendCommand(sink, 0x01, 0x70, 0x0D, kNoIndex, tooLong), -1);
    EXPECT_EQ(sink.frames.size(), 1u);
}

TEST(FrameSize, LongCountedStringIsRefused) {
    std::vector<uint8_t> counted(256, 0x42);
    counted[0] = 255;
    RecordingSink sink;
    EXPECT_EQ(sendCommandCounted(sink, 0x01, 0x70, 0x0D, 0x03, counted.data()), -1);
    EXPECT_TRUE(sink.frames.empty());
}

TEST(FrameSize, RawFrameTooLongIsRefused) {
    std::vector<uint8_t> raw(125, 0x01);
    RecordingSink sink;
    EXPECT_EQ(sendRawFrame(sink, raw.data(), uint8_t(raw.size())), -1);
    EXPECT_TRUE(sink.frames.empty());
}

// ---------------------------------------------------------------------------------------------
// Typed values

TEST(SetDrFilter, ValueOfTheWrongKindForTheSubcodeIsRefused) {
    RecordingSink sink;
    EXPECT_EQ(setDrFilter(sink, 0x45, int32_t(3)), -1);
    EXPECT_EQ(setDrFilter(sink, 0x1B, 1.0f), -1);
    EXPECT_EQ(setDrFilter(sink, 0x01, 1.0f), -1);
    EXPECT_TRUE(sink.frames.empty());
}

TEST(SetDrFilter, SubcodesOutsideTheTableAndNonFiniteFloatsAreRefused) {
    RecordingSink sink;
    EXPECT_EQ(setDrFilter(sink, 0x00, int32_t(1)), -1);
    EXPECT_EQ(setDrFilter(sink, 0x71, 1.0f), -1);
    EXPECT_EQ(setDrFilter(sink, 0xFF, 1.0f), -1);
    EXPECT_EQ(setDrFilter(sink, 0x40, std::numeric_limits<float>::quiet_NaN()), -1);
    EXPECT_EQ(setDrFilter(sink, 0x70, -std::numeric_limits<float>::infinity()), -1);
    EXPECT_TRUE(sink.frames.empty());
    // The extremes of the signed dword go out unchanged.
    EXPECT_EQ(setDrFilter(sink, 0x01, std::numeric_limits<int32_t>::min()), 0);
    EXPECT_EQ(setDrFilter(sink, 0x02, std::numeric_limits<int32_t>::max()), 0);
    EXPECT_EQ(sink.hexFrames(), (std::vector<std::string>{"81 01 27 01 00 00 00 80 00 54 82",
                                                          "81 01 27 02 FF FF FF 7F 57 82"}));
}

// A record holding one value its wire field cannot carry is refused whole: the multi-frame Set
// never goes out in part, and the blocking sender returns -1 without pausing.
TEST(SetGpsConfig, RecordWithAValueItsFieldCannotCarryIsRefusedWhole) {
    for (auto [subcode, value] : std::vector<std::pair<uint8_t, double>>{
             {0x01, 256}, {0x05, 1.5}, {0x04, std::nan("")}, {0x08, -1}}) {
        GpsConfigRecord c;
        c.value[0x03] = 17;
        c.value[subcode] = value;
        RecordingSink sink;
        RecordingSleeper sleeper;
        EXPECT_EQ(setGpsConfig(sink, c, sleeper), -1) << int(subcode);
        EXPECT_TRUE(sink.frames.empty()) << int(subcode);
        EXPECT_TRUE(sleeper.pauses.empty()) << int(subcode);
    }
}

TEST(SetKalman, RecordWithANegativeCountOrNonFiniteRealIsRefusedWhole) {
    for (auto [subcode, value] : std::vector<std::pair<uint8_t, double>>{
             {0x01, -1}, {0x06, 4294967296.0}, {0x07, std::nan("")}, {0x17, -HUGE_VAL}}) {
        KalmanRecord p;
        p.value[subcode] = value;
        RecordingSink sink;
        EXPECT_EQ(setKalman(sink, p), -1) << int(subcode);
        EXPECT_TRUE(sink.frames.empty()) << int(subcode);
    }
    KalmanRecord largest;
    largest.value[0x01] = 4294967295.0;
    RecordingSink sink;
    EXPECT_EQ(setKalman(sink, largest), 0);
    ASSERT_EQ(sink.frames.size(), 23u);
    EXPECT_EQ(vxtest::hex(sink.frames[0]), "81 01 25 01 FF FF FF FF DA 82");
}

TEST(CommandFrame, FinishIsIdempotent) {
    CommandFrame f(kCmdQuery, 0x21, 0x01);
    EXPECT_TRUE(f.finish());
    EXPECT_TRUE(f.finish());
    EXPECT_EQ(vxtest::hex(f.toBytes()), "81 02 21 01 D9 82");
}

// ---------------------------------------------------------------------------------------------
// System commands

TEST(SystemCatalogue, TenCommandsInCodeOrderWithMenuCaptions) {
    ASSERT_EQ(kSystemCommands.size(), 10u);
    for (size_t i = 0; i < kSystemCommands.size(); ++i) EXPECT_EQ(kSystemCommands[i].code, i + 1);
    EXPECT_EQ(systemCommandCaption(0x01), "Hot Reset (0301)");
    EXPECT_EQ(systemCommandCaption(0x02), "&Cold Reset (0302)");
    EXPECT_EQ(systemCommandCaption(0x03), "Force to Monitor (0303)");
    EXPECT_EQ(systemCommandCaption(0x04), "Shut Down (0304)");
    EXPECT_EQ(systemCommandCaption(0x05), "&Warm Reset (0305)");
    EXPECT_EQ(systemCommandCaption(0x06), "Clear Oscillator, Reset (0306)");
    EXPECT_EQ(systemCommandCaption(0x07), "Clear Flash and RAM, Reset (0307)");
    EXPECT_EQ(systemCommandCaption(0x08), "Clear Position, Reset (0308)");
    EXPECT_EQ(systemCommandCaption(0x09), "Write BBRAM to Flash, Reset (0309)");
    EXPECT_EQ(systemCommandCaption(0x0A), "Io Pass-Through Mode (030A)");
    EXPECT_TRUE(systemCommandCaption(0x00).empty());
    EXPECT_TRUE(systemCommandCaption(0x0B).empty());
}

TEST(SystemCatalogue, EveryCaptionNamesItsOwnCode) {
    // The four hex digits in the caption must be 03 and the code the entry sends.
    for (const SystemCommand& c : kSystemCommands) {
        char digits[8];
        std::snprintf(digits, sizeof digits, "(03%02X)", c.code);
        EXPECT_NE(c.caption.find(digits), std::string_view::npos) << c.caption;
    }
}
