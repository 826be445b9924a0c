#include "link/routing.h"

#include <array>

namespace vx {

namespace {

using W = WindowId;
using R = HandlerRole;
using G = Gate;
using P = PayloadTest;
using A = ArgFrom;

constexpr uint8_t kAny0 = 0x00, kAny1 = 0xFF;

// Routing of decoded packets, h1 other than 0x10. Rules for one code are listed together and
// in the order their handlers are called.
constexpr ReportRule kReportRoutes[] = {
    // 0x02: nested packets (the record is the nested packet's).
    {0x02, 0x24, 0x24, P::None, W::TmaskForm, R::Reply, G::Visible, A::NestedSubcode},
    {0x02, 0x25, 0x25, P::None, W::Tpkt25Form, R::Reply, G::Visible, A::NestedSubcode},
    // 11xx versions.
    {0x11, kAny0, kAny1, P::None, W::TversionForm, R::Reply, G::Visible, A::Subcode},
    // The profile window while it saves, verifies or applies a profile.
    {0x11, 0x01, 0x01, P::None, W::TprofileForm, R::Reply, G::Running, A::Subcode},
    // 1201 start-up: the main window always, then its running time is reset, then the reset
    // test (which takes no data).
    {0x12, 0x01, 0x01, P::None, W::TmainForm, R::StartupStatus, G::Always, A::None},
    {0x12, 0x01, 0x01, P::None, W::TmainForm, R::ResetRunningTime, G::Always, A::None},
    {0x12, 0x01, 0x01, P::None, W::TRepeatedResetTestForm, R::Reply, G::Visible, A::None},
    // 1202..1204: the version window, always, one handler per subcode.
    {0x12, 0x02, 0x04, P::None, W::TversionForm, R::Reply, G::Always, A::Subcode},
    // 1401 soft event; 1402.
    {0x14, 0x01, 0x01, P::Byte8Is70or71, W::TmainForm, R::AntennaEvent, G::Visible, A::None},
    {0x14, 0x01, 0x01, P::None, W::TmainForm, R::EventLogEntry, G::Visible, A::None},
    {0x14, 0x01, 0x01, P::None, W::TsoftEventForm, R::Reply, G::Visible, A::Subcode},
    {0x14, 0x02, 0x02, P::None, W::TsoftEventForm, R::Reply, G::Visible, A::Subcode},
    {0x15, kAny0, kAny1, P::None, W::Tpkt15Form, R::Reply, G::Visible, A::Subcode},
    {0x16, 0x01, 0x02, P::None, W::Tpkt1601_1602Form, R::Reply, G::Visible, A::Subcode},
    {0x21, 0x01, 0x01, P::None, W::Tpkt2101Form, R::Reply, G::Visible, A::Subcode},
    {0x21, 0x01, 0x01, P::None, W::TprofileForm, R::Reply, G::Running, A::Subcode},
    {0x22, 0x02, 0x02, P::None, W::Tpkt2202Form, R::Reply, G::Visible, A::Subcode},
    {0x22, 0x02, 0x02, P::None, W::TprofileForm, R::Reply, G::Running, A::Subcode},
    {0x24, kAny0, kAny1, P::None, W::TmaskForm, R::Reply, G::Visible, A::Subcode},
    {0x24, kAny0, kAny1, P::None, W::TprofileForm, R::Reply, G::Running, A::Subcode},
    {0x25, kAny0, kAny1, P::None, W::Tpkt25Form, R::Reply, G::Visible, A::Subcode},
    {0x25, kAny0, kAny1, P::None, W::TprofileForm, R::Reply, G::Running, A::Subcode},
    {0x26, 0x01, 0x02, P::None, W::Tpkt2601Form, R::Reply, G::Visible, A::Subcode},
    {0x26, 0x03, 0x05, P::None, W::Tpkt2603_04_05Form, R::Reply, G::Visible, A::Subcode},
    {0x27, kAny0, kAny1, P::None, W::Tpkt27Form, R::Reply, G::Visible, A::Subcode},
    {0x27, kAny0, kAny1, P::None, W::TprofileForm, R::Reply, G::Running, A::Subcode},
    {0x28, 0x12, 0x14, P::None, W::TalmanacForm, R::Reply, G::ExistsVisible, A::Subcode},
    // 2901 with first payload byte 0xFF is the RTC form's reply.
    {0x29, 0x01, 0x01, P::Byte0IsFF, W::TsetRtcForm, R::Reply, G::Visible, A::None},
    {0x29, 0x01, 0x01, P::Byte0IsNotFF, W::Tpkt29Form, R::Reply, G::ExistsVisible, A::Subcode},
    {0x29, 0x02, 0x05, P::None, W::Tpkt29Form, R::Reply, G::ExistsVisible, A::Subcode},
    {0x29, 0x07, 0x07, P::None, W::Tpkt2907Form, R::Reply, G::ExistsVisible, A::None},
    {0x29, 0x08, 0x08, P::None, W::Tpkt2908Form, R::Reply, G::ExistsVisible, A::None},
    // 2Axx..2Dxx: the interval control window, one handler per code.
    {0x2A, kAny0, kAny1, P::None, W::TintervalControlForm, R::Reply, G::Visible, A::Subcode},
    {0x2A, kAny0, kAny1, P::None, W::TprofileForm, R::Reply, G::Running, A::Subcode},
    {0x2B, kAny0, kAny1, P::None, W::TintervalControlForm, R::Reply, G::Visible, A::Subcode},
    {0x2B, kAny0, kAny1, P::None, W::TprofileForm, R::Reply, G::Running, A::Subcode},
    {0x2C, kAny0, kAny1, P::None, W::TintervalControlForm, R::Reply, G::Visible, A::Subcode},
    {0x2C, kAny0, kAny1, P::None, W::TprofileForm, R::Reply, G::Running, A::Subcode},
    {0x2D, kAny0, kAny1, P::None, W::TintervalControlForm, R::Reply, G::Visible, A::Subcode},
    {0x2D, kAny0, kAny1, P::None, W::TprofileForm, R::Reply, G::Running, A::Subcode},
    {0x2E, kAny0, kAny1, P::None, W::TsoftEventForm, R::Reply, G::Visible, A::Subcode},
    {0x2E, kAny0, kAny1, P::None, W::TprofileForm, R::Reply, G::Running, A::Subcode},
    // 3002 DR data.
    {0x30, 0x02, 0x02, P::None, W::TforceToMonForm, R::Reply, G::Always, A::None},
    {0x30, 0x02, 0x02, P::None, W::TmainForm, R::FastFix, G::Visible, A::None},
    {0x30, 0x02, 0x02, P::None, W::Tpkt3002Form, R::Reply, G::ExistsVisible, A::None},
    {0x30, 0x02, 0x02, P::None, W::TheadingPlotForm, R::Reply, G::Visible, A::None},
    {0x30, 0x02, 0x02, P::None, W::TlogForm, R::Reply, G::Always, A::Subcode},
    {0x30, 0x02, 0x02, P::None, W::TNMEAOutputForm, R::NmeaGgaPosition, G::Running, A::None},
    {0x30, 0x02, 0x02, P::None, W::TbufferedDrForm, R::Reply, G::Running, A::None},
    // 3003 buffered DR.
    {0x30, 0x03, 0x03, P::None, W::TpktBufferedDr, R::Reply, G::Visible, A::None},
    {0x30, 0x03, 0x03, P::None, W::TbufferedDrForm, R::Reply, G::Running, A::None},
    // 31xx GPS fix.
    {0x31, kAny0, kAny1, P::None, W::Tpkt31Form, R::Reply, G::Visible, A::Subcode},
    {0x31, kAny0, kAny1, P::None, W::TlogForm, R::Reply, G::Always, A::Subcode},
    // 3201 time and constellation.
    {0x32, 0x01, 0x01, P::None, W::Tpkt32Form, R::Reply, G::Visible, A::None},
    {0x32, 0x01, 0x01, P::None, W::TmainForm, R::TimeSummary, G::Visible, A::None},
    {0x32, 0x01, 0x01, P::None, W::TmainForm, R::SearchStatus, G::Visible, A::None},
    {0x32, 0x01, 0x01, P::None, W::TlogForm, R::Reply, G::Always, A::Subcode},
    {0x32, 0x01, 0x01, P::None, W::TTtcaForm, R::Reply, G::Always, A::None},
    {0x32, 0x01, 0x01, P::None, W::TNMEAOutputForm, R::NmeaGgaTime, G::Running, A::None},
    // 3202 / 3203: each its own part of the record.
    {0x32, 0x02, 0x03, P::None, W::Tpkt3202_3203Form, R::Reply, G::Visible, A::Subcode},
    // 33xx channel status.
    {0x33, kAny0, kAny1, P::None, W::Tpkt33Form, R::Reply, G::Visible, A::Subcode},
    {0x33, kAny0, kAny1, P::None, W::TmainForm, R::Channel, G::Visible, A::None},
    {0x33, kAny0, kAny1, P::None, W::Tfrm12ChanMon, R::Reply, G::Visible, A::Subcode},
    {0x33, kAny0, kAny1, P::None, W::TlogForm, R::Reply, G::Always, A::Subcode},
    // 36xx DR calibration.
    {0x36, kAny0, kAny1, P::None, W::Tpkt36Form, R::Reply, G::Visible, A::Subcode},
    {0x36, kAny0, kAny1, P::None, W::TlogForm, R::Reply, G::Always, A::Subcode},
    {0x36, kAny0, kAny1, P::None, W::TprofileForm, R::Reply, G::Running, A::Subcode},
    // 3Fxx test results: the test windows, always.
    {0x3F, 0x01, 0x01, P::None, W::TselfTestForm, R::Reply, G::Always, A::None},
    {0x3F, 0x02, 0x02, P::None, W::TDataCollectionTestForm, R::Reply, G::Always, A::None},
    {0x3F, 0x04, 0x04, P::None, W::TgyroBenchTest, R::Reply, G::Always, A::None},
    {0x3F, 0x06, 0x06, P::None, W::TtachoReverseBenchForm, R::Reply, G::Always, A::None},
    // 70xx diagnostics.
    {0x70, 0x02, 0x02, P::None, W::TGpsRawPositionForm, R::Reply, G::Visible, A::Is7002},
    {0x70, 0x09, 0x09, P::None, W::TGpsRawPositionForm, R::Reply, G::Visible, A::Is7002},
    {0x70, 0x0C, 0x0C, P::None, W::TBbramTraceForm, R::Reply, G::Always, A::None},
    {0x70, 0x0D, 0x0D, P::None, W::TBbramUnitTestForm, R::Reply, G::Visible, A::None},
    {0x70, 0x0E, 0x0F, P::None, W::TAdcCalParamsForm, R::Reply, G::Visible, A::Subcode},
    {0x70, 0x10, 0x12, P::None, W::TGpsRawPositionForm, R::Reply, G::Visible, A::Subcode},
    {0x70, 0x13, 0x14, P::None, W::TfrmIoReplay, R::Reply, G::Visible, A::Subcode},
    {0x70, 0x15, 0x16, P::None, W::Tfrm12ChanMon, R::Reply, G::Visible, A::Subcode},
    {0x70, 0x20, 0x20, P::None, W::Tpkt7020Form, R::Reply, G::Visible, A::None},
    // 7022 has no decoder: the 2202 reply handler gets a delivery without a record.
    {0x70, 0x22, 0x22, P::None, W::Tpkt2202Form, R::Reply, G::Visible, A::Subcode},
    {0x70, 0x7F, 0x7F, P::None, W::Tpkt707FForm, R::Reply, G::Visible, A::None},
    {0x70, 0x7F, 0x7F, P::None, W::TprofileForm, R::Reply, G::Running, A::Subcode},
};

constexpr uint8_t kSet = 0x01, kQuery = 0x02, kSystem = 0x03;
using T = AckTest;

constexpr AckRule kAckRoutes[] = {
    // Set acknowledgements.
    {kSet, 0x21, 0x21, 0x01, 0x01, T::None, W::Tpkt2101Form, G::Visible},
    {kSet, 0x22, 0x22, 0x02, 0x02, T::None, W::Tpkt2202Form, G::Visible},
    {kSet, 0x24, 0x24, kAny0, kAny1, T::None, W::TmaskForm, G::Visible},
    {kSet, 0x25, 0x25, kAny0, kAny1, T::None, W::Tpkt25Form, G::Visible},
    {kSet, 0x27, 0x27, kAny0, kAny1, T::None, W::Tpkt27Form, G::Visible},
    {kSet, 0x28, 0x28, kAny0, kAny1, T::None, W::TalmanacForm, G::ExistsVisible},
    {kSet, 0x29, 0x29, 0x01, 0x01, T::IndexIsFF, W::TsetRtcForm, G::Always},
    {kSet, 0x29, 0x29, 0x01, 0x01, T::IndexIsNotFF, W::Tpkt29Form, G::ExistsVisible},
    {kSet, 0x29, 0x29, 0x02, 0x05, T::None, W::Tpkt29Form, G::ExistsVisible},
    {kSet, 0x29, 0x29, 0x07, 0x07, T::None, W::Tpkt2907Form, G::ExistsVisible},
    {kSet, 0x29, 0x29, 0x08, 0x08, T::None, W::Tpkt2908Form, G::ExistsVisible},
    {kSet, 0x2A, 0x2D, kAny0, kAny1, T::None, W::TintervalControlForm, G::Visible},
    {kSet, 0x2E, 0x2E, 0x01, 0x01, T::None, W::TsoftEventForm, G::Visible},
    {kSet, 0x36, 0x36, kAny0, kAny1, T::None, W::Tpkt36Form, G::Visible},
    {kSet, 0x70, 0x70, 0x7F, 0x7F, T::None, W::Tpkt707FForm, G::Visible},
    // Query acknowledgements.
    {kQuery, 0x11, 0x11, 0x01, 0x02, T::None, W::TversionForm, G::Visible},
    {kQuery, 0x12, 0x12, 0x03, 0x04, T::None, W::TversionForm, G::Visible},
    {kQuery, 0x14, 0x14, kAny0, kAny1, T::None, W::TsoftEventForm, G::Visible},
    {kQuery, 0x15, 0x15, kAny0, kAny1, T::None, W::Tpkt15Form, G::Visible},
    {kQuery, 0x16, 0x16, 0x01, 0x02, T::None, W::Tpkt1601_1602Form, G::Visible},
    {kQuery, 0x21, 0x21, 0x01, 0x01, T::None, W::Tpkt2101Form, G::Visible},
    {kQuery, 0x22, 0x22, 0x02, 0x02, T::None, W::Tpkt2202Form, G::Visible},
    {kQuery, 0x24, 0x24, kAny0, kAny1, T::None, W::TmaskForm, G::Visible},
    {kQuery, 0x25, 0x25, kAny0, kAny1, T::None, W::Tpkt25Form, G::Visible},
    {kQuery, 0x26, 0x26, 0x01, 0x02, T::None, W::Tpkt2601Form, G::Visible},
    {kQuery, 0x26, 0x26, 0x03, 0x05, T::None, W::Tpkt2603_04_05Form, G::Visible},
    {kQuery, 0x27, 0x27, kAny0, kAny1, T::None, W::Tpkt27Form, G::Visible},
    {kQuery, 0x29, 0x29, 0x01, 0x01, T::IndexIsFF, W::TsetRtcForm, G::Always},
    {kQuery, 0x29, 0x29, 0x01, 0x01, T::IndexIsNotFF, W::Tpkt29Form, G::ExistsVisible},
    {kQuery, 0x29, 0x29, 0x02, 0x05, T::None, W::Tpkt29Form, G::ExistsVisible},
    {kQuery, 0x29, 0x29, 0x07, 0x07, T::None, W::Tpkt2907Form, G::ExistsVisible},
    {kQuery, 0x29, 0x29, 0x08, 0x08, T::None, W::Tpkt2908Form, G::ExistsVisible},
    {kQuery, 0x2A, 0x2D, kAny0, kAny1, T::None, W::TintervalControlForm, G::Visible},
    {kQuery, 0x2E, 0x2E, 0x01, 0x01, T::None, W::TsoftEventForm, G::Visible},
    {kQuery, 0x30, 0x30, 0x02, 0x02, T::None, W::Tpkt3002Form, G::ExistsVisible},
    {kQuery, 0x31, 0x31, 0x01, 0x01, T::None, W::Tpkt31Form, G::Visible},
    {kQuery, 0x32, 0x32, 0x01, 0x01, T::None, W::Tpkt32Form, G::Visible},
    {kQuery, 0x32, 0x32, 0x02, 0x03, T::None, W::Tpkt3202_3203Form, G::Visible},
    {kQuery, 0x33, 0x33, 0x01, 0x01, T::None, W::Tpkt33Form, G::Visible},
    {kQuery, 0x36, 0x36, kAny0, kAny1, T::None, W::Tpkt36Form, G::Visible},
    {kQuery, 0x70, 0x70, 0x7F, 0x7F, T::None, W::Tpkt707FForm, G::Visible},
    // The profile window while it runs: the acknowledgements of the groups it reads and sets.
    {kSet, 0x21, 0x21, kAny0, kAny1, T::None, W::TprofileForm, G::Running},
    {kSet, 0x24, 0x25, kAny0, kAny1, T::None, W::TprofileForm, G::Running},
    {kSet, 0x27, 0x27, kAny0, kAny1, T::None, W::TprofileForm, G::Running},
    {kSet, 0x2A, 0x2E, kAny0, kAny1, T::None, W::TprofileForm, G::Running},
    {kSet, 0x22, 0x22, 0x02, 0x02, T::None, W::TprofileForm, G::Running},
    {kSet, 0x36, 0x36, kAny0, kAny1, T::None, W::TprofileForm, G::Running},
    {kSet, 0x70, 0x70, 0x7F, 0x7F, T::None, W::TprofileForm, G::Running},
    {kQuery, 0x11, 0x11, 0x01, 0x01, T::None, W::TprofileForm, G::Running},
    {kQuery, 0x21, 0x21, kAny0, kAny1, T::None, W::TprofileForm, G::Running},
    {kQuery, 0x24, 0x25, kAny0, kAny1, T::None, W::TprofileForm, G::Running},
    {kQuery, 0x27, 0x27, kAny0, kAny1, T::None, W::TprofileForm, G::Running},
    {kQuery, 0x2A, 0x2E, kAny0, kAny1, T::None, W::TprofileForm, G::Running},
    {kQuery, 0x22, 0x22, 0x02, 0x02, T::None, W::TprofileForm, G::Running},
    {kQuery, 0x36, 0x36, kAny0, kAny1, T::None, W::TprofileForm, G::Running},
    {kQuery, 0x70, 0x70, 0x7F, 0x7F, T::None, W::TprofileForm, G::Running},
    // System acknowledgements, whatever the code.
    {kSystem, kAny0, kAny1, kAny0, kAny1, T::None, W::TSysAckForm, G::Always},
    {kSystem, kAny0, kAny1, kAny0, kAny1, T::None, W::TRepeatedResetTestForm, G::Visible},
    {kSystem, kAny0, kAny1, kAny0, kAny1, T::None, W::TforceToMonForm, G::Always},
};

constexpr RouteStep kRawPacketSteps[] = {
    {W::TgenPktForm, R::RawPacket, G::Visible, 0},
    {W::TbatchGenericForm, R::RawPacket, G::Running, 0},
};

constexpr RouteStep kAnyAckSteps[] = {
    {W::TbatchGenericForm, R::AnyAck, G::Running, 0},
    {W::TgenPktForm, R::AnyAck, G::Visible, 0},
    {W::TackForm, R::AnyAck, G::Visible, 0},
};

// Report rules by code: first rule and count, built once from the table.
struct CodeIndex {
    std::array<uint16_t, 256> first{};
    std::array<uint8_t, 256> count{};
    constexpr CodeIndex() {
        for (size_t i = 0; i < std::size(kReportRoutes); ++i) {
            uint8_t c = kReportRoutes[i].code;
            if (count[c] == 0) first[c] = uint16_t(i);
            ++count[c];
        }
    }
};
constexpr CodeIndex kCodeIndex;

// The rules of one code must be listed together for the index to hold them.
constexpr bool rulesGroupedByCode() {
    for (size_t i = 0; i < std::size(kReportRoutes); ++i) {
        uint8_t c = kReportRoutes[i].code;
        if (i < kCodeIndex.first[c] || i >= size_t(kCodeIndex.first[c]) + kCodeIndex.count[c])
            return false;
    }
    return true;
}
static_assert(rulesGroupedByCode(), "report rules of one code must be listed together");

bool passes(PayloadTest t, const uint8_t* p, size_t n) {
    switch (t) {
    case PayloadTest::None:
        return true;
    case PayloadTest::Byte0IsFF:
        return n >= 1 && p[0] == 0xFF;
    case PayloadTest::Byte0IsNotFF:
        return !(n >= 1 && p[0] == 0xFF);
    case PayloadTest::Byte8Is70or71:
        return n >= 9 && (p[8] == 0x70 || p[8] == 0x71);
    }
    return false;
}

uint8_t argOf(ArgFrom a, uint8_t h2, const uint8_t* p, size_t n) {
    switch (a) {
    case ArgFrom::None:
        return 0;
    case ArgFrom::Subcode:
        return h2;
    case ArgFrom::NestedSubcode:
        return n >= 1 ? p[0] : 0;
    case ArgFrom::Is7002:
        return h2 == 0x02 ? 1 : 0;
    }
    return 0;
}

} // namespace

std::string_view roleName(HandlerRole r) {
    static constexpr std::string_view names[] = {
#define VX_ROLE_NAME(r) #r,
        VX_ROLE_LIST(VX_ROLE_NAME)
#undef VX_ROLE_NAME
    };
    size_t i = size_t(r);
    return i < std::size(names) ? names[i] : std::string_view("?");
}

std::string_view gateName(Gate g) {
    switch (g) {
    case Gate::Always:
        return "always";
    case Gate::Visible:
        return "visible";
    case Gate::ExistsVisible:
        return "exists and visible";
    case Gate::Running:
        return "running";
    }
    return "?";
}

std::span<const ReportRule> reportRoutes() {
    return kReportRoutes;
}
std::span<const AckRule> ackRoutes() {
    return kAckRoutes;
}
std::span<const RouteStep> rawPacketSteps() {
    return kRawPacketSteps;
}
std::span<const RouteStep> anyAckSteps() {
    return kAnyAckSteps;
}

bool isDiagnosticFlagSubcode(uint8_t h2) {
    switch (h2) {
    case 0x01:
    case 0x02:
    case 0x03:
    case 0x04:
    case 0x07:
    case 0x09:
    case 0x0B:
        return true;
    default:
        return false;
    }
}

size_t routePacket(uint8_t h1, uint8_t h2, const uint8_t* payload, size_t length, RouteStep* out,
                   size_t capacity) {
    size_t n = 0;
    auto add = [&](RouteStep s) {
        if (n < capacity) out[n++] = s;
    };
    if (h1 != 0x10) {
        const ReportRule* r = kReportRoutes + kCodeIndex.first[h1];
        const ReportRule* end = r + kCodeIndex.count[h1];
        for (; r != end; ++r) {
            if (h2 < r->subLo || h2 > r->subHi || !passes(r->test, payload, length)) continue;
            add({r->window, r->role, r->gate, argOf(r->arg, h2, payload, length)});
        }
        return n;
    }

    for (RouteStep s : kAnyAckSteps) {
        s.arg = h2;
        add(s);
    }
    HandlerRole role;
    switch (h2) {
    case kSet:
        role = HandlerRole::SetAck;
        break;
    case kQuery:
        role = HandlerRole::QueryAck;
        break;
    case kSystem:
        role = HandlerRole::SystemAck;
        break;
    default:
        return n; // accepted without a record; only the every-acknowledgement steps
    }
    // The acknowledged code and subcode are payload bytes 0 and 1 (record bytes 0 and 1); the
    // index is payload byte 2 of a 4-byte Set or Query acknowledgement, else none (0x80).
    uint8_t code = length >= 1 ? payload[0] : 0;
    uint8_t sub = h2 != kSystem && length >= 2 ? payload[1] : 0;
    uint8_t index = h2 != kSystem && length == 4 ? payload[2] : 0x80;
    for (const AckRule& r : kAckRoutes) {
        if (r.command != h2 || code < r.codeLo || code > r.codeHi) continue;
        if (h2 != kSystem && (sub < r.subLo || sub > r.subHi)) continue;
        if (r.test == AckTest::IndexIsFF && index != 0xFF) continue;
        if (r.test == AckTest::IndexIsNotFF && index == 0xFF) continue;
        add({r.window, role, r.gate, h2});
    }
    return n;
}

} // namespace vx
