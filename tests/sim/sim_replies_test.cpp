// The simulated receiver answers every Query of the command catalogue with a reply that the
// core decodes, acknowledges every Set, keeps what was set, and acts on System commands.
#include "link/catalogue.h"
#include "sim/sim_harness.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <map>
#include <string>

using namespace vxtest;
using vx::sim::SimMode;

namespace {

struct Ack {
    bool present = false;
    uint8_t cmd = 0, code = 0, sub = 0;
    int index = -1;
    uint8_t result = 0xEE;
};

// The acknowledgements among packets (last one of the given command wins).
Ack lastAck(const std::vector<Packet>& ps, uint8_t cmd) {
    Ack a;
    for (const Packet& p : ps) {
        if (p.result || p.code != 0x10 || p.sub != cmd) continue;
        a.present = true;
        a.cmd = cmd;
        a.code = p.payload[0];
        if (cmd == 0x03) {
            a.result = p.payload[1];
        } else {
            a.sub = p.payload[1];
            a.index = p.payload.size() == 4 ? p.payload[2] : -1;
            a.result = p.payload.back();
        }
    }
    return a;
}

void expectAllDecode(const std::vector<Packet>& ps) {
    for (const Packet& p : ps) {
        ASSERT_EQ(p.result, 0) << vxtest::hex(p.frame);
        EXPECT_EQ(p.decodeResult(), 0)
            << "code " << int(p.code) << " sub " << int(p.sub) << " length " << p.payload.size();
    }
}

// Only the answers to a command: periodic reports are left out.
std::vector<Packet> answersTo(SimHarness& h, const std::function<void()>& send) {
    h.take();
    send();
    std::vector<Packet> ps = h.take();
    return ps;
}

struct QueryCase {
    std::string name;
    std::function<int(vx::FrameSink&)> send;
    uint8_t replyCode, replySub;
    size_t replies;
    uint8_t ackCode, ackSub;
    int ackIndex;
};

} // namespace

TEST(SimReplies, EveryCatalogueQueryIsAnsweredWithADecodableReplyAndAnAck) {
    using namespace vx;
    std::vector<QueryCase> cases = {
        {"1101", [](FrameSink& s) { return sendQuery(s, 0x11, 1); }, 0x11, 1, 1, 0x11, 1, -1},
        {"1102", [](FrameSink& s) { return sendQuery(s, 0x11, 2); }, 0x11, 2, 1, 0x11, 2, -1},
        {"1103", [](FrameSink& s) { return sendQuery(s, 0x11, 3); }, 0x11, 3, 1, 0x11, 3, -1},
        {"1202", [](FrameSink& s) { return queryProductInfo2(s); }, 0x12, 2, 1, 0x12, 2, -1},
        {"1203", [](FrameSink& s) { return queryProductInfo3(s); }, 0x12, 3, 1, 0x12, 3, -1},
        {"1204", [](FrameSink& s) { return queryProductInfo4(s); }, 0x12, 4, 1, 0x12, 4, -1},
        {"1401", [](FrameSink& s) { return sendQuery2(s, 0x14, 1, 0); }, 0x14, 1, 1, 0x14, 1, 0},
        {"1402", [](FrameSink& s) { return sendQuery2(s, 0x14, 2, 3); }, 0x14, 2, 1, 0x14, 2, 3},
        {"1501", [](FrameSink& s) { return sendQuery(s, 0x15, 1); }, 0x15, 1, 1, 0x15, 1, -1},
        {"1601", [](FrameSink& s) { return sendQuery(s, 0x16, 1); }, 0x16, 1, 1, 0x16, 1, -1},
        {"1602", [](FrameSink& s) { return sendQuery(s, 0x16, 2); }, 0x16, 2, 1, 0x16, 2, -1},
        {"2101", [](FrameSink& s) { return sendQuery(s, 0x21, 1); }, 0x21, 1, 1, 0x21, 1, -1},
        {"2202", [](FrameSink& s) { return sendQuery(s, 0x22, 2); }, 0x22, 2, 1, 0x22, 2, -1},
        {"2601", [](FrameSink& s) { return sendQuery(s, 0x26, 1); }, 0x26, 1, 1, 0x26, 1, -1},
        {"2602", [](FrameSink& s) { return sendQuery2(s, 0x26, 2, 0x31); }, 0x26, 2, 1, 0x26, 2,
         0x31},
        {"2603", [](FrameSink& s) { return sendQuery(s, 0x26, 3); }, 0x26, 3, 1, 0x26, 3, -1},
        {"2604", [](FrameSink& s) { return sendQuery(s, 0x26, 4); }, 0x26, 4, 1, 0x26, 4, -1},
        {"2605", [](FrameSink& s) { return sendQuery(s, 0x26, 5); }, 0x26, 5, 1, 0x26, 5, -1},
        {"2812", [](FrameSink& s) { return queryAlmanac(s, 0x12, 7); }, 0x28, 0x12, 1, 0x28, 0x12,
         7},
        {"2813", [](FrameSink& s) { return queryAlmanac(s, 0x13); }, 0x28, 0x13, 1, 0x28, 0x13, -1},
        {"2814", [](FrameSink& s) { return queryAlmanac(s, 0x14); }, 0x28, 0x14, 1, 0x28, 0x14, -1},
        {"2901", [](FrameSink& s) { return sendQuery(s, 0x29, 1); }, 0x29, 1, 1, 0x29, 1, -1},
        {"2901 RTC", [](FrameSink& s) { return sendQuery2(s, 0x29, 1, 0xFF); }, 0x29, 1, 1, 0x29, 1,
         0xFF},
        {"2902", [](FrameSink& s) { return sendQuery(s, 0x29, 2); }, 0x29, 2, 1, 0x29, 2, -1},
        {"2903", [](FrameSink& s) { return sendQuery(s, 0x29, 3); }, 0x29, 3, 1, 0x29, 3, -1},
        {"2904", [](FrameSink& s) { return sendQuery(s, 0x29, 4); }, 0x29, 4, 1, 0x29, 4, -1},
        {"2905", [](FrameSink& s) { return sendQuery(s, 0x29, 5); }, 0x29, 5, 1, 0x29, 5, -1},
        {"2907", [](FrameSink& s) { return sendQuery(s, 0x29, 7); }, 0x29, 7, 1, 0x29, 7, -1},
        {"2908", [](FrameSink& s) { return sendQuery(s, 0x29, 8); }, 0x29, 8, 1, 0x29, 8, -1},
        {"2A", [](FrameSink& s) { return sendQuery2(s, 0x2A, 0x31, 0x01); }, 0x2A, 0x31, 1, 0x2A,
         0x31, 1},
        {"2B", [](FrameSink& s) { return sendQuery2(s, 0x2B, 0x30, 0x02); }, 0x2B, 0x30, 1, 0x2B,
         0x30, 2},
        {"2C", [](FrameSink& s) { return sendQuery2(s, 0x2C, 0x30, 0x02); }, 0x2C, 0x30, 1, 0x2C,
         0x30, 2},
        {"2D", [](FrameSink& s) { return sendQuery2(s, 0x2D, 0x30, 0x02); }, 0x2D, 0x30, 1, 0x2D,
         0x30, 2},
        {"2E01", [](FrameSink& s) { return sendQuery2(s, 0x2E, 1, 0x70); }, 0x2E, 1, 1, 0x2E, 1,
         0x70},
        {"3002", [](FrameSink& s) { return sendQuery(s, 0x30, 2); }, 0x30, 2, 1, 0x30, 2, -1},
        {"3003", [](FrameSink& s) { return sendQuery(s, 0x30, 3); }, 0x30, 3, 1, 0x30, 3, -1},
        {"3101", [](FrameSink& s) { return sendQuery(s, 0x31, 1); }, 0x31, 1, 1, 0x31, 1, -1},
        {"3201", [](FrameSink& s) { return sendQuery(s, 0x32, 1); }, 0x32, 1, 1, 0x32, 1, -1},
        {"3202", [](FrameSink& s) { return sendQuery(s, 0x32, 2); }, 0x32, 2, 1, 0x32, 2, -1},
        {"3203", [](FrameSink& s) { return sendQuery(s, 0x32, 3); }, 0x32, 3, 1, 0x32, 3, -1},
        {"3301", [](FrameSink& s) { return sendQuery2(s, 0x33, 1, 4); }, 0x33, 1, 1, 0x33, 1, 4},
        {"3603", [](FrameSink& s) { return queryDrCalibration(s, 3); }, 0x36, 3, 1, 0x36, 3, -1},
        {"3604", [](FrameSink& s) { return queryDrCalibration(s, 4); }, 0x36, 4, 1, 0x36, 4, -1},
        {"3605", [](FrameSink& s) { return queryDrCalibration(s, 5); }, 0x36, 5, 1, 0x36, 5, -1},
        {"3607", [](FrameSink& s) { return queryDrCalibration(s, 7, 0xFF); }, 0x36, 7, 3, 0x36, 7,
         0xFF},
        {"3608", [](FrameSink& s) { return queryDrCalibration(s, 8); }, 0x36, 8, 1, 0x36, 8, -1},
        {"3F01", [](FrameSink& s) { return sendQuery(s, 0x3F, 1); }, 0x3F, 1, 1, 0x3F, 1, -1},
        {"707F", [](FrameSink& s) { return sendQuery(s, 0x70, 0x7F); }, 0x70, 0x7F, 1, 0x70, 0x7F,
         -1},
        {"7020", [](FrameSink& s) { return sendQuery2(s, 0x70, 0x20, 1); }, 0x70, 0x20, 1, 0x70,
         0x20, 1},
    };
    for (uint8_t s = 1; s <= 8; ++s)
        cases.push_back({"24" + std::to_string(s),
                         [s](FrameSink& f) { return sendQuery(f, 0x24, s); }, 0x24, s, 1, 0x24, s,
                         -1});
    for (uint8_t s = 1; s <= 0x17; ++s)
        cases.push_back({"25" + std::to_string(s),
                         [s](FrameSink& f) { return sendQuery(f, 0x25, s); }, 0x25, s, 1, 0x25, s,
                         -1});
    for (int s = 1; s <= 0x70; ++s) {
        uint8_t sub = uint8_t(s);
        cases.push_back({"27/" + std::to_string(s),
                         [sub](FrameSink& f) { return sendQuery(f, 0x27, sub); }, 0x27, sub, 1,
                         0x27, sub, -1});
    }

    SimHarness h;
    h.boot();
    h.run(20000); // a fix, some almanac
    for (const QueryCase& c : cases) {
        SCOPED_TRACE(c.name);
        auto ps = answersTo(h, [&] { ASSERT_EQ(c.send(h), 0); });
        expectAllDecode(ps);
        EXPECT_EQ(countId(ps, c.replyCode, c.replySub), c.replies);
        Ack a = lastAck(ps, 0x02);
        ASSERT_TRUE(a.present);
        EXPECT_EQ(a.code, c.ackCode);
        EXPECT_EQ(a.sub, c.ackSub);
        EXPECT_EQ(a.index, c.ackIndex);
        EXPECT_EQ(a.result, 0);
        // The reply comes first, the acknowledgement last.
        ASSERT_FALSE(ps.empty());
        EXPECT_EQ(ps.back().code, 0x10);
    }
}

TEST(SimReplies, RefusalsCarryTheirResultCodes) {
    SimHarness h;
    h.boot();
    struct Case {
        const char* name;
        std::vector<uint8_t> frame;
        uint8_t cmd, result;
    };
    auto build = [](uint8_t cmd, uint8_t code, std::vector<uint8_t> data) {
        vx::TxFrame f;
        f.enc().startFrame(cmd, code);
        for (uint8_t b : data) f.enc().addByte(b);
        f.enc().finishFrame();
        return std::vector<uint8_t>(f.data(), f.data() + f.size());
    };
    std::vector<Case> cases = {
        {"unknown code", build(0x02, 0x99, {0x01}), 0x02, 0x03},
        {"unknown subcode", build(0x02, 0x21, {0x07}), 0x02, 0x03},
        {"set with wrong length", build(0x01, 0x21, {0x01, 0x05, 0x00}), 0x01, 0x04},
        {"2401 value out of range", build(0x01, 0x24, {0x01, 0x02}), 0x01, 0x05},
        {"customer block not set", build(0x02, 0x15, {0x22}), 0x02, 0x08},
        {"read-only 3608", build(0x01, 0x36, {0x08, 0x01, 0, 0, 0, 0, 0, 0, 0, 0}), 0x01, 0x03},
        {"io pass-through", build(0x03, 0x0A, {}), 0x03, 0x08},
        {"unknown system code", build(0x03, 0x0B, {}), 0x03, 0x03},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        h.take();
        h.sim.receive(c.frame.data(), c.frame.size());
        auto ps = h.take();
        expectAllDecode(ps);
        Ack a = lastAck(ps, c.cmd);
        ASSERT_TRUE(a.present);
        EXPECT_EQ(a.result, c.result);
        EXPECT_EQ(ps.size(), 1u) << "a refused command has no reply";
    }
    // A frame with a bad checksum is refused with "Checksum error".
    std::vector<uint8_t> bad = {0x81, 0x02, 0x21, 0x01, 0xD8, 0x82};
    h.take();
    h.sim.receive(bad.data(), bad.size());
    Ack a = lastAck(h.take(), 0x02);
    ASSERT_TRUE(a.present);
    EXPECT_EQ(a.code, 0x21);
    EXPECT_EQ(a.result, 0x02);
}

TEST(SimReplies, CommandsSplitAcrossReadsAreParsedWhole) {
    SimHarness h;
    h.boot();
    std::vector<uint8_t> q = {0x81, 0x02, 0x21, 0x01, 0xD9, 0x82}; // Query 2101
    vx::TxFrame f;
    f.enc().startFrame(0x02, 0x24);
    f.enc().addByte(0x04);
    f.enc().finishFrame();
    q.insert(q.end(), f.data(), f.data() + f.size()); // Query 2404
    h.take();
    for (uint8_t b : q) h.sim.receive(&b, 1); // one byte at a time, like a slow line
    auto ps = h.take();
    EXPECT_EQ(countId(ps, 0x21, 1), 1u);
    EXPECT_EQ(countId(ps, 0x24, 4), 1u);
    EXPECT_EQ(countId(ps, 0x10, 2), 2u);
}

// ---------------------------------------------------------------------------------------------
// Set, then Query: the receiver keeps what was set.

namespace {

struct SetQueryCase {
    std::string name;
    std::function<void(SimHarness&)> set;
    std::function<void(SimHarness&)> query;
    uint8_t code, sub;
    std::vector<uint8_t> expected; // the reply payload
    uint8_t compareMask0 = 0xFF;   // applied to payload byte 0 of the reply before comparing
};

std::vector<uint8_t> le32(uint32_t v) {
    return {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
}
std::vector<uint8_t> f32(float f) {
    uint32_t u;
    std::memcpy(&u, &f, 4);
    return le32(u);
}
std::vector<uint8_t> cat(std::initializer_list<std::vector<uint8_t>> parts) {
    std::vector<uint8_t> r;
    for (const auto& p : parts) r.insert(r.end(), p.begin(), p.end());
    return r;
}

} // namespace

TEST(SimSetQuery, EverySettableCodeReturnsWhatWasSet) {
    using namespace vx;
    std::vector<SetQueryCase> cases;
    auto q = [](uint8_t code, uint8_t sub) {
        return [=](SimHarness& h) { sendQuery(h, code, sub); };
    };
    auto q2 = [](uint8_t code, uint8_t sub, uint8_t second) {
        return [=](SimHarness& h) { sendQuery2(h, code, sub, second); };
    };

    cases.push_back(
        {"2101", [](SimHarness& h) { setDrEngineRate(h, 10); }, q(0x21, 1), 0x21, 1, {10}});
    cases.push_back({"2202",
                     [](SimHarness& h) { setNmeaOutput(h, 3, 0x00000119); },
                     q(0x22, 2),
                     0x22,
                     2,
                     {3, 0x00, 0x00, 0x01, 0x19}});

    // 2401..2408 through the window's eight-frame sender.
    GpsConfigRecord g;
    g.value[0x01] = 4;
    g.value[0x02] = 1;
    g.value[0x03] = 17;
    g.value[0x04] = 12.5;
    g.value[0x05] = 175;
    g.value[0x06] = 8.0;
    g.value[0x07] = 4.5;
    g.value[0x08] = 45;
    auto setGps = [g](SimHarness& h) { setGpsConfig(h, g, h); };
    cases.push_back({"2401", setGps, q(0x24, 1), 0x24, 1, {4}});
    cases.push_back({"2402", setGps, q(0x24, 2), 0x24, 2, {1}});
    cases.push_back({"2403", setGps, q(0x24, 3), 0x24, 3, {17}});
    cases.push_back({"2404", setGps, q(0x24, 4), 0x24, 4, f32(12.5f)});
    cases.push_back({"2405", setGps, q(0x24, 5), 0x24, 5, {175, 0}});
    cases.push_back({"2406", setGps, q(0x24, 6), 0x24, 6, f32(8.0f)});
    cases.push_back({"2407", setGps, q(0x24, 7), 0x24, 7, f32(4.5f)});
    cases.push_back({"2408", setGps, q(0x24, 8), 0x24, 8, {45, 0}});

    // 2501..2517 through the window's 23-frame sender.
    KalmanRecord k;
    for (int s = 1; s <= 6; ++s) k.value[size_t(s)] = 100 + s - 1;
    for (int s = 7; s <= 0x17; ++s) k.value[size_t(s)] = 0.25 * (s - 6);
    for (uint8_t s = 1; s <= 0x17; ++s) {
        std::vector<uint8_t> want =
            s <= 6 ? le32(uint32_t(100 + s - 1)) : f32(0.25f * float(s - 6));
        cases.push_back({"25/" + std::to_string(s), [k](SimHarness& h) { setKalman(h, k); },
                         q(0x25, s), 0x25, s, want});
    }
    // Every DR filter parameter.
    for (int s = 1; s <= 0x70; ++s) {
        uint8_t sub = uint8_t(s);
        if (sub <= 0x1B) {
            int32_t v = -1000 - s;
            cases.push_back({"27/" + std::to_string(s),
                             [sub, v](SimHarness& h) { setDrFilter(h, sub, v); }, q(0x27, sub),
                             0x27, sub, le32(uint32_t(v))});
        } else {
            float v = 1.5f + float(s);
            cases.push_back({"27/" + std::to_string(s),
                             [sub, v](SimHarness& h) { setDrFilter(h, sub, v); }, q(0x27, sub),
                             0x27, sub, f32(v)});
        }
    }

    // Almanac pages.
    vx::AlmanacSvPage page;
    page.sv = 5;
    page.status = 1;
    page.extra = 0x33;
    for (int i = 0; i < 24; ++i) page.data[size_t(i)] = uint8_t(0xA0 + i);
    std::vector<uint8_t> want12 = {5, 1, 0x33};
    want12.insert(want12.end(), page.data.begin(), page.data.end());
    cases.push_back({"2812", [page](SimHarness& h) { uploadAlmanac12(h, page); },
                     [](SimHarness& h) { queryAlmanac(h, 0x12, 5); }, 0x28, 0x12, want12});
    vx::AlmanacPage13 p13;
    p13.status = 2;
    p13.extra = 9;
    for (int i = 0; i < 24; ++i)
        p13.first[size_t(i)] = uint8_t(i), p13.second[size_t(i)] = uint8_t(0x80 + i);
    std::vector<uint8_t> want13 = {2, 9};
    want13.insert(want13.end(), p13.first.begin(), p13.first.end());
    want13.insert(want13.end(), p13.second.begin(), p13.second.end());
    cases.push_back({"2813", [p13](SimHarness& h) { uploadAlmanac13(h, p13); },
                     [](SimHarness& h) { queryAlmanac(h, 0x13); }, 0x28, 0x13, want13});
    vx::AlmanacPage14 p14;
    p14.status = 1;
    p14.extra = 18;
    for (int i = 0; i < 24; ++i) p14.data[size_t(i)] = uint8_t(0x55 ^ i);
    std::vector<uint8_t> want14 = {1, 18};
    want14.insert(want14.end(), p14.data.begin(), p14.data.end());
    cases.push_back({"2814", [p14](SimHarness& h) { uploadAlmanac14(h, p14); },
                     [](SimHarness& h) { queryAlmanac(h, 0x14); }, 0x28, 0x14, want14});

    // Initialization data (host input, accuracy valid = 0x11); the receiver marks it new (bit 3).
    InitTime t{0x11, 2310, 345600000, 20};
    cases.push_back({"2901", [t](SimHarness& h) { setInit1(h, t); }, q(0x29, 1), 0x29, 1,
                     cat({{0x19, 0x06, 0x09}, le32(345600000), le32(20)})});
    InitPosition p{0x12, 341782628, -171234567, 1000, 2000, 0.25f};
    cases.push_back({"2902", [p](SimHarness& h) { setInit2(h, p); }, q(0x29, 2), 0x29, 2,
                     cat({{0x1A},
                          le32(341782628),
                          le32(uint32_t(-171234567)),
                          le32(1000),
                          le32(2000),
                          f32(0.25f)})});
    InitAltitude alt{0x11, -12, 7};
    cases.push_back({"2903",
                     [alt](SimHarness& h) { setInit3(h, alt); },
                     q(0x29, 3),
                     0x29,
                     3,
                     {0x19, 0xF4, 0xFF, 7, 0}});
    InitFrequency fr{0x01, -250, 30};
    cases.push_back({"2904", [fr](SimHarness& h) { setInit4(h, fr); }, q(0x29, 4), 0x29, 4,
                     cat({{0x09}, le32(uint32_t(-250)), {30, 0}})});
    InitHeading hd{0x11, 16384, 100};
    cases.push_back({"2905",
                     [hd](SimHarness& h) { setInit5(h, hd); },
                     q(0x29, 5),
                     0x29,
                     5,
                     {0x19, 0x00, 0x40, 100, 0}});
    ShortMapMatch mm{0x3F, 500, 1000, -2000, 15, 0x2000, 3, 4, -1, 5, 6};
    cases.push_back({"2907", [mm](SimHarness& h) { setShortMapMatch(h, mm); }, q(0x29, 7), 0x29, 7,
                     cat({{0x3F, 0xF4, 0x01},
                          le32(1000),
                          le32(uint32_t(-2000)),
                          {15, 0, 0x00, 0x20, 3, 0, 4, 0, 0xFF, 0xFF, 5, 0, 6, 0}})});
    TachoData td{0x83, 1234, 20, 70000};
    cases.push_back({"2908", [td](SimHarness& h) { setTacho(h, td); }, q(0x29, 8), 0x29, 8,
                     cat({{0x83, 0xD2, 0x04, 20, 0}, le32(70000)})});
    InitTime rtc{0xFF, 1400, 345600000, 0};
    cases.push_back({"2901 RTC", [rtc](SimHarness& h) { setInit1(h, rtc); }, q2(0x29, 1, 0xFF),
                     0x29, 1, cat({{0xFF, 0x78, 0x05}, le32(345600000), le32(0)})});

    // Output triggers of message 31 01.
    OutputTarget tg{0x31, 0x01};
    cases.push_back({"2A", [tg](SimHarness& h) { setEventOutput(h, tg, 0x20000000); },
                     q2(0x2A, 0x31, 0x01), 0x2A, 0x31, cat({{0x01}, le32(0x20000000)})});
    cases.push_back({"2B",
                     [tg](SimHarness& h) {
                         setTimeOutput(h, tg, {1000, 5000});
                     },
                     q2(0x2B, 0x31, 0x01), 0x2B, 0x31, cat({{0x01}, le32(1000), le32(5000)})});
    cases.push_back({"2C",
                     [tg](SimHarness& h) {
                         setDistOutput(h, tg, {10, 2000});
                     },
                     q2(0x2C, 0x31, 0x01), 0x2C, 0x31, cat({{0x01}, le32(10), le32(2000)})});
    cases.push_back({"2D",
                     [tg](SimHarness& h) {
                         setHeadingOutput(h, tg, {0, 4500});
                     },
                     q2(0x2D, 0x31, 0x01), 0x2D, 0x31, cat({{0x01}, le32(0), le32(4500)})});
    cases.push_back({"2E01",
                     [](SimHarness& h) { setSoftEventMask(h, 0x46, 3); },
                     q2(0x2E, 1, 0x46),
                     0x2E,
                     1,
                     {0x46, 3}});

    // DR calibration by the host (source host input); the receiver reports it valid and new.
    DrCalibration zro{0x03, 0, 0x01, 0, 2051.25f, 0.75f};
    cases.push_back({"3603", [zro](SimHarness& h) { setDrCalibration(h, zro); },
                     [](SimHarness& h) { queryDrCalibration(h, 3); }, 0x36, 3,
                     cat({{0x19}, f32(2051.25f), f32(0.75f)})});
    DrCalibration sns{0x04, 0, 0x02, 0, 1.7f, 0.02f};
    cases.push_back({"3604", [sns](SimHarness& h) { setDrCalibration(h, sns); },
                     [](SimHarness& h) { queryDrCalibration(h, 4); }, 0x36, 4,
                     cat({{0x1A}, f32(1.7f), f32(0.02f)})});
    DrCalibration dsw{0x05, 0, 0x81, 20, 0, 0};
    cases.push_back({"3605",
                     [dsw](SimHarness& h) { setDrCalibration(h, dsw); },
                     [](SimHarness& h) { queryDrCalibration(h, 5); },
                     0x36,
                     5,
                     {0x99, 20}});
    DrCalibration dpp{0x07, 1, 0x01, 0, 0.0251f, 0.0003f};
    cases.push_back({"3607", [dpp](SimHarness& h) { setDrCalibration(h, dpp); },
                     [](SimHarness& h) { queryDrCalibration(h, 7, 1); }, 0x36, 7,
                     cat({{0x01, 0x19}, f32(0.0251f), f32(0.0003f)})});

    DiagOutputMask mask{};
    mask[0] = 0xBE;
    mask[1] = 0x0F;
    mask[15] = 0x80;
    cases.push_back({"707F", [mask](SimHarness& h) { setDiagOutput(h, mask); }, q(0x70, 0x7F), 0x70,
                     0x7F, std::vector<uint8_t>(mask.begin(), mask.end())});

    for (const SetQueryCase& c : cases) {
        SCOPED_TRACE(c.name);
        SimHarness h;
        h.boot();
        h.run(3000);
        h.take();
        c.set(h);
        auto setAnswers = h.take();
        expectAllDecode(setAnswers);
        Ack a = lastAck(setAnswers, 0x01);
        ASSERT_TRUE(a.present);
        EXPECT_EQ(a.result, 0);
        EXPECT_EQ(a.code, c.code);
        c.query(h);
        auto ps = h.take();
        expectAllDecode(ps);
        auto replies = withId(ps, c.code, c.sub);
        ASSERT_EQ(replies.size(), 1u);
        EXPECT_EQ(hex(replies[0].payload), hex(c.expected));
    }
}

TEST(SimSetQuery, ClearingTheSoftEventLogEmptiesIt) {
    SimHarness h;
    h.boot();
    h.run(60000); // first fix and an antenna fault are logged
    h.take();
    vx::sendQuery2(h, 0x14, 1, 0);
    auto before = withId(h.take(), 0x14, 1);
    ASSERT_EQ(before.size(), 1u);
    EXPECT_NE(vx::readU16(before[0].payload.data() + 8), 0x00FF);
    vx::clearEventLog(h);
    EXPECT_EQ(lastAck(h.take(), 0x01).result, 0);
    vx::sendQuery2(h, 0x14, 1, 0);
    auto after = withId(h.take(), 0x14, 1);
    ASSERT_EQ(after.size(), 1u);
    EXPECT_EQ(vx::readU16(after[0].payload.data() + 8), 0x00FF) << "No event in log.";
}

// ---------------------------------------------------------------------------------------------
// System commands

TEST(SimSystem, ResetIsAcknowledgedThenTheStreamRestartsWithAStartupReport) {
    struct Case {
        uint8_t code;
        uint8_t startKind;
    };
    for (Case c : {Case{0x01, 1}, Case{0x02, 3}, Case{0x05, 2}, Case{0x06, 2}, Case{0x08, 3},
                   Case{0x09, 1}, Case{0x07, 4}}) {
        SCOPED_TRACE(int(c.code));
        SimHarness h;
        h.boot();
        h.run(5000);
        h.take();
        vx::sendSystem(h, c.code);
        auto first = h.take();
        Ack a = lastAck(first, 0x03);
        ASSERT_TRUE(a.present);
        EXPECT_EQ(a.code, c.code);
        EXPECT_EQ(a.result, 0);
        h.run(900);
        auto quiet = h.take();
        EXPECT_EQ(countId(quiet, 0x30, 2), 0u) << "the report stream stops during a restart";
        h.run(400);
        auto back = h.take();
        auto startup = withId(back, 0x12, 1);
        ASSERT_EQ(startup.size(), 1u);
        EXPECT_EQ(startup[0].payload[2], c.startKind);
        EXPECT_EQ(startup[0].payload[3] & 1, c.code == 0x07 ? 0 : 1) << "BBRAM valid bit";
        h.run(2000);
        EXPECT_GE(countId(h.take(), 0x30, 2), 9u) << "the stream resumes";
    }
}

TEST(SimSystem, SettingsSurviveAHotResetAndClearFlashAndRamRestoresDefaults) {
    SimHarness h;
    h.boot();
    vx::setDrEngineRate(h, 10);
    vx::sendSystem(h, 0x01);
    h.run(1500);
    h.take();
    vx::sendQuery(h, 0x21, 1);
    auto r = withId(h.take(), 0x21, 1);
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0].payload[0], 10);

    vx::sendSystem(h, 0x07);
    h.run(1500);
    h.take();
    vx::sendQuery(h, 0x21, 1);
    r = withId(h.take(), 0x21, 1);
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0].payload[0], 5);
}

TEST(SimSystem, CommandsDuringARestartAreNotAnswered) {
    SimHarness h;
    h.boot();
    vx::sendSystem(h, 0x05);
    h.take();
    h.run(300);
    vx::sendQuery(h, 0x21, 1);
    auto ps = h.take();
    EXPECT_EQ(countId(ps, 0x21, 1), 0u);
    EXPECT_EQ(countId(ps, 0x10, 2), 0u);
    EXPECT_EQ(h.sim.stats().commandsIgnored, 1u);
}

TEST(SimSystem, ShutDownGoesQuietUntilTheHostPowersItBack) {
    SimHarness h;
    h.boot();
    h.run(2000);
    h.take();
    vx::sendSystem(h, 0x04);
    EXPECT_TRUE(lastAck(h.take(), 0x03).present);
    EXPECT_EQ(h.sim.mode(), SimMode::Off);
    h.run(10000);
    vx::sendQuery(h, 0x21, 1);
    EXPECT_TRUE(h.take().empty());
    vx::sendSystem(h, 0x01);
    h.run(1500);
    EXPECT_EQ(countId(h.take(), 0x12, 1), 1u);
}

TEST(SimSystem, GenerateBadInterruptLogsAFatalErrorAndRestarts) {
    SimHarness h;
    h.boot();
    vx::sendCommand(h, 0x01, 0x70, 0x17, vx::kNoIndex, {});
    EXPECT_EQ(lastAck(h.take(), 0x01).result, 0);
    h.run(1500);
    EXPECT_EQ(countId(h.take(), 0x12, 1), 1u);
    vx::sendQuery2(h, 0x14, 2, 0);
    auto e = withId(h.take(), 0x14, 2);
    ASSERT_EQ(e.size(), 1u);
    // 1402 trades the two 16-bit fields of 1401: the error code first, the year last.
    EXPECT_EQ(vx::readU16(e[0].payload.data() + 1), 0x1000) << "Illegal hardware interrupt.";
    EXPECT_EQ(vx::readU16(e[0].payload.data() + 8), 2024);
    vx::sendQuery(h, 0x16, 2);
    auto s = withId(h.take(), 0x16, 2);
    ASSERT_EQ(s.size(), 1u);
    EXPECT_EQ(vx::readU16(s[0].payload.data()), 0x1000) << "shutdown cause in 1602";
}

TEST(SimSystem, EachResetLeavesItsOwnStartUpEvent) {
    // The soft events logged by the restart: hot leaves no reset event (there is none for
    // it), warm and cold theirs, the clearing resets the one of the start they make.
    struct Case {
        uint8_t system;
        std::vector<uint16_t> resetEvents; // among 0x01..0x03
    };
    for (const Case& c : {Case{0x01, {}}, Case{0x05, {0x0001}}, Case{0x02, {0x0002}},
                          Case{0x06, {0x0001}}, Case{0x08, {0x0002}}}) {
        SCOPED_TRACE(int(c.system));
        SimHarness h;
        h.boot();
        h.run(3000);
        const uint32_t before = h.sim.store().softCount;
        vx::sendSystem(h, c.system);
        h.run(3000);
        std::vector<uint16_t> logged;
        const auto& store = h.sim.store();
        for (uint32_t i = 0; i + before < store.softCount && i < uint32_t(vx::sim::kSoftLogSize);
             ++i) {
            uint16_t code = store.softLog[i].code & 0xFF;
            if (code >= 0x01 && code <= 0x03) logged.push_back(code);
        }
        EXPECT_EQ(logged, c.resetEvents);
    }
}
