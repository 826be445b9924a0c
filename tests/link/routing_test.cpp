// The routing tables: which windows a decoded packet or an acknowledgement reaches, in which
// order and under which condition.
#include "link/routing.h"

#include <gtest/gtest.h>

#include <cctype>
#include <set>
#include <string>
#include <vector>

#include "support/hex.h"

namespace {

std::vector<std::string> route(const std::string& packetHex) {
    auto p = vxtest::bytes(packetHex); // h1 h2 payload...
    vx::RouteStep steps[vx::kMaxRouteSteps];
    size_t n = vx::routePacket(p[0], p[1], p.data() + 2, p.size() - 2, steps, std::size(steps));
    std::vector<std::string> out;
    for (size_t i = 0; i < n; ++i) {
        std::string s = std::string(vx::windowName(steps[i].window)) + "." +
                        std::string(vx::roleName(steps[i].role)) + " " +
                        std::string(vx::gateName(steps[i].gate));
        if (steps[i].arg) s += " arg " + std::to_string(steps[i].arg);
        out.push_back(s);
    }
    return out;
}

using Steps = std::vector<std::string>;

struct Case {
    const char* name;
    const char* packet; // h1 h2 payload
    Steps steps;
};

void PrintTo(const Case& c, std::ostream* os) {
    *os << c.packet;
}

class RoutingTable : public ::testing::TestWithParam<Case> {};

std::string caseName(const ::testing::TestParamInfo<Case>& info) {
    std::string n;
    for (const char* c = info.param.name; *c; ++c) n += std::isalnum(uint8_t(*c)) ? *c : '_';
    return n;
}

TEST_P(RoutingTable, RoutesInTableOrderWithConditions) {
    EXPECT_EQ(route(GetParam().packet), GetParam().steps) << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(
    Reports, RoutingTable,
    ::testing::Values(
        Case{"3002 reaches seven windows in order",
             "30 02 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 "
             "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00",
             {"TforceToMonForm.Reply always", "TmainForm.FastFix visible",
              "Tpkt3002Form.Reply exists and visible", "TheadingPlotForm.Reply visible",
              "TlogForm.Reply always arg 2", "TNMEAOutputForm.NmeaGgaPosition running",
              "TbufferedDrForm.Reply running"}},
        Case{"1201: main window always, then the running time reset, then the reset test",
             "12 01 00 00 00 01",
             {"TmainForm.StartupStatus always", "TmainForm.ResetRunningTime always",
              "TRepeatedResetTestForm.Reply visible"}},
        Case{"1202..1204 reach the version window even when hidden",
             "12 03 00",
             {"TversionForm.Reply always arg 3"}},
        Case{"1401 with an antenna event (byte 8 = 0x70) first sets the antenna state",
             "14 01 00 00 00 00 00 00 00 00 70 10",
             {"TmainForm.AntennaEvent visible", "TmainForm.EventLogEntry visible",
              "TsoftEventForm.Reply visible arg 1"}},
        Case{"1401 with another event skips the antenna step",
             "14 01 00 00 00 00 00 00 00 00 11 00",
             {"TmainForm.EventLogEntry visible", "TsoftEventForm.Reply visible arg 1"}},
        Case{"2901 with byte 0 = 0xFF is the RTC form's",
             "29 01 FF 00 00 00 00 00 00 00 00 00 00",
             {"TsetRtcForm.Reply visible"}},
        Case{"2901 otherwise is the initialization form's",
             "29 01 01 00 00 00 00 00 00 00 00 00 00",
             {"Tpkt29Form.Reply exists and visible arg 1"}},
        Case{"3201: the time display, then the search status, then the logs",
             "32 01 00",
             {"Tpkt32Form.Reply visible", "TmainForm.TimeSummary visible",
              "TmainForm.SearchStatus visible", "TlogForm.Reply always arg 1",
              "TTtcaForm.Reply always", "TNMEAOutputForm.NmeaGgaTime running"}},
        Case{"33xx",
             "33 01 00",
             {"Tpkt33Form.Reply visible arg 1", "TmainForm.Channel visible",
              "Tfrm12ChanMon.Reply visible arg 1", "TlogForm.Reply always arg 1"}},
        Case{"nested 0x02/0x25 gives the nested subcode",
             "02 25 07 00 00 00 00",
             {"Tpkt25Form.Reply visible arg 7"}},
        Case{"7002 gives the flag 1", "70 02 00", {"TGpsRawPositionForm.Reply visible arg 1"}},
        Case{"7009 gives the flag 0", "70 09 00", {"TGpsRawPositionForm.Reply visible"}},
        Case{"7022 reaches the 2202 reply handler",
             "70 22 00",
             {"Tpkt2202Form.Reply visible arg 34"}},
        Case{"a listed code with an unlisted subcode reaches nobody", "70 30 00", {}},
        Case{"2101",
             "21 01 0A",
             {"Tpkt2101Form.Reply visible arg 1", "TprofileForm.Reply running arg 1"}},
        Case{"3003", "30 03 00", {"TpktBufferedDr.Reply visible", "TbufferedDrForm.Reply running"}},
        Case{"2812 needs the almanac window created",
             "28 12 00",
             {"TalmanacForm.Reply exists and visible arg 18"}}),
    caseName);

INSTANTIATE_TEST_SUITE_P(
    Acknowledgements, RoutingTable,
    ::testing::Values(
        Case{"Set 2202 reaches Tpkt2202Form, not TmaskForm",
             "10 01 22 02 00",
             {"TbatchGenericForm.AnyAck running arg 1", "TgenPktForm.AnyAck visible arg 1",
              "TackForm.AnyAck visible arg 1", "Tpkt2202Form.SetAck visible arg 1",
              "TprofileForm.SetAck running arg 1"}},
        Case{"Query 2101",
             "10 02 21 01 00",
             {"TbatchGenericForm.AnyAck running arg 2", "TgenPktForm.AnyAck visible arg 2",
              "TackForm.AnyAck visible arg 2", "Tpkt2101Form.QueryAck visible arg 2",
              "TprofileForm.QueryAck running arg 2"}},
        Case{"Set 2901 with index 0xFF reaches the RTC form always",
             "10 01 29 01 FF 00",
             {"TbatchGenericForm.AnyAck running arg 1", "TgenPktForm.AnyAck visible arg 1",
              "TackForm.AnyAck visible arg 1", "TsetRtcForm.SetAck always arg 1"}},
        Case{"Set 2901 without an index reaches the initialization form",
             "10 01 29 01 00",
             {"TbatchGenericForm.AnyAck running arg 1", "TgenPktForm.AnyAck visible arg 1",
              "TackForm.AnyAck visible arg 1", "Tpkt29Form.SetAck exists and visible arg 1"}},
        Case{"Query 2E01 reaches the soft event window",
             "10 02 2E 01 00",
             {"TbatchGenericForm.AnyAck running arg 2", "TgenPktForm.AnyAck visible arg 2",
              "TackForm.AnyAck visible arg 2", "TsoftEventForm.QueryAck visible arg 2",
              "TprofileForm.QueryAck running arg 2"}},
        Case{"Set 2C05 reaches the interval window",
             "10 01 2C 05 00",
             {"TbatchGenericForm.AnyAck running arg 1", "TgenPktForm.AnyAck visible arg 1",
              "TackForm.AnyAck visible arg 1", "TintervalControlForm.SetAck visible arg 1",
              "TprofileForm.SetAck running arg 1"}},
        Case{"Query of a code no window asks for reaches only the lists",
             "10 02 3F 01 00",
             {"TbatchGenericForm.AnyAck running arg 2", "TgenPktForm.AnyAck visible arg 2",
              "TackForm.AnyAck visible arg 2"}},
        Case{"System",
             "10 03 01 00",
             {"TbatchGenericForm.AnyAck running arg 3", "TgenPktForm.AnyAck visible arg 3",
              "TackForm.AnyAck visible arg 3", "TSysAckForm.SystemAck always arg 3",
              "TRepeatedResetTestForm.SystemAck visible arg 3",
              "TforceToMonForm.SystemAck always arg 3"}},
        Case{"subcode 5 reaches only the lists",
             "10 05 21 01 00",
             {"TbatchGenericForm.AnyAck running arg 5", "TgenPktForm.AnyAck visible arg 5",
              "TackForm.AnyAck visible arg 5"}}),
    caseName);

TEST(RoutingTables, StepsNeverOverflowTheDelivery) {
    // The longest route plus the raw-packet and trace steps fits kMaxRouteSteps.
    size_t longest = 0;
    for (int h1 = 0; h1 < 256; ++h1) {
        for (int h2 = 0; h2 < 256; ++h2) {
            uint8_t payload[16] = {0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0x70};
            vx::RouteStep steps[64];
            size_t n = vx::routePacket(uint8_t(h1), uint8_t(h2), payload, sizeof payload, steps,
                                       std::size(steps));
            longest = std::max(longest, n);
        }
    }
    EXPECT_LE(longest + vx::rawPacketSteps().size() + 1, vx::kMaxRouteSteps);
}

TEST(RoutingTables, NamesCoverEveryWindowAndRole) {
    std::set<std::string_view> names;
    for (size_t w = 0; w < vx::kWindowCount; ++w) names.insert(vx::windowName(vx::WindowId(w)));
    EXPECT_EQ(names.size(), vx::kWindowCount);
    EXPECT_EQ(vx::windowName(vx::WindowId::Tpkt2101Form), "Tpkt2101Form");
    EXPECT_EQ(vx::roleName(vx::HandlerRole::SystemAck), "SystemAck");
}

TEST(RoutingTables, DiagnosticFlagSubcodes) {
    std::vector<int> set;
    for (int s = 0; s < 256; ++s)
        if (vx::isDiagnosticFlagSubcode(uint8_t(s))) set.push_back(s);
    EXPECT_EQ(set, (std::vector<int>{1, 2, 3, 4, 7, 9, 11}));
}

} // namespace
