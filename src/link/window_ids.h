// The console's windows: one identifier each, with the class name, object name and caption
// that belong to it, its position in the start-up order and whether it is created at start-up
// or on first use. This list is the one place those facts are written: the routing tables, the
// window catalogue, the menu and the windows themselves all key on WindowId.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace vx {

// How long a window lives.
enum class Lifetime : uint8_t {
    AtStartup,  // created at start-up, in position order
    OnFirstUse, // created the first time its menu item is used, then kept
};

// X(class, object name, caption, position, lifetime). Positions 1..54 are the start-up order
// (the main window first); 55.. are the windows created on first use, in shut-down order.
#define VX_WINDOW_LIST(X)                                                                          \
    X(TmainForm, mainForm, "Ornivex v2.40", 1, AtStartup)                                          \
    X(TmaskForm, maskForm, "GPS Configuration (0x24)", 2, AtStartup)                               \
    X(TsioForm, sioForm, "COM Setup", 3, AtStartup)                                                \
    X(Tpkt32Form, pkt32Form, "Time and Const. Summary (3201)", 4, AtStartup)                       \
    X(Tpkt33Form, pkt33Form, "GPS Channel Status (3301)", 5, AtStartup)                            \
    X(Tpkt36Form, pkt36Form, "DR Calibration (3603-3608)", 6, AtStartup)                           \
    X(Tpkt31Form, pkt31Form, "GPS Fix Message (3101)", 7, AtStartup)                               \
    X(Tpkt25Form, pkt25Form, "Kalman Filter Parameters (0x25)", 8, AtStartup)                      \
    X(TdiagForm, diagForm, "Diagnostics", 9, AtStartup)                                            \
    X(TerrorForm, errorForm, "Error Window", 10, AtStartup)                                        \
    X(TskyPlotForm, skyPlotForm, "Sky Plot", 11, AtStartup)                                        \
    X(TheadingPlotForm, headingPlotForm, "Heading Plot", 12, AtStartup)                            \
    X(TselfTestForm, selfTestForm, "ADC and Gyro Self Test (3F01)", 13, AtStartup)                 \
    X(TpktBufferedDr, pktBufferedDr, "Buffered Cumulative DR Data (3003)", 14, AtStartup)          \
    X(TgyroBenchTest, gyroBenchTest, "Gyro Bench Test (3F04)", 15, AtStartup)                      \
    X(TtachoReverseBenchForm, tachoReverseBenchForm, "Tacho/Rev. Test (3F06)", 16, AtStartup)      \
    X(TDataCollectionTestForm, DataCollectionTestForm, "Data Positioning Collection Test (3F02)",  \
      17, AtStartup)                                                                               \
    X(TsoftEventForm, softEventForm, "Soft Event Mask, Event Logs (1401, 1402, 2E01)", 18,         \
      AtStartup)                                                                                   \
    X(TintervalControlForm, intervalControlForm, "Output Interval Control (2A, 2B, 2C, 2D)", 19,   \
      AtStartup)                                                                                   \
    X(Tpkt2601Form, pkt2601Form, "Report and Sub Codes (2601, 2602)", 20, AtStartup)               \
    X(TgenPktForm, genPktForm, "Send Generic Packet", 21, AtStartup)                               \
    X(Tpkt2603_04_05Form, pkt2603_04_05Form, "DPP Model (2603 - 2605)", 22, AtStartup)             \
    X(Tpkt1601_1602Form, pkt1601_1602Form, "Health Status and Start-Up Reports (1601, 1602)", 23,  \
      AtStartup)                                                                                   \
    X(Tpkt15Form, pkt15Form, "Customer Data Blocks (0x15)", 24, AtStartup)                         \
    X(Tpkt2101Form, pkt2101Form, "DR Engine Rate (2101)", 25, AtStartup)                           \
    X(Tpkt707FForm, pkt707FForm, "Diagnostic Message Output (707F)", 26, AtStartup)                \
    X(Tpkt3202_3203Form, pkt3202_3203Form, "Constellation/Time Summaries (3202, 3203)", 27,        \
      AtStartup)                                                                                   \
    X(Tpkt23From, pkt23From, "RTCM Data", 28, AtStartup)                                           \
    X(Tpkt27Form, pkt27Form, "DR Filter Configuration (0x27)", 29, AtStartup)                      \
    X(TbatchGenericForm, batchGenericForm, "Batch Generic Packets", 30, AtStartup)                 \
    X(TrandomSerialForm, randomSerialForm, "Send Random Serial Data", 31, AtStartup)               \
    X(TBBRAM_Form, BBRAM_Form, "BBRAM save/load", 32, AtStartup)                                   \
    X(TlogForm, logForm, "Data Logging", 33, AtStartup)                                            \
    X(TaboutForm, aboutForm, "About", 34, AtStartup)                                               \
    X(TversionForm, versionForm, "Version (1101-1103), Product Info (1202-1204)", 35, AtStartup)   \
    X(TSysAckForm, SysAckForm, "System Command Ack", 36, AtStartup)                                \
    X(TBbramTraceForm, BbramTraceForm, "Bbram Activity Trace", 37, AtStartup)                      \
    X(TBbramUnitTestForm, BbramUnitTestForm, "BBRAM Unit Test", 38, AtStartup)                     \
    X(TVexorTraceForm, VexorTraceForm, "VexorTraceForm", 39, AtStartup)                            \
    X(TGpsRawPositionForm, GpsRawPositionForm, "GpsRawPositionForm", 40, AtStartup)                \
    X(TRepeatedResetTestForm, RepeatedResetTestForm, "RepeatedResetTestForm", 41, AtStartup)       \
    X(TAdcCalParamsForm, AdcCalParamsForm, "AdcCalParamsForm", 42, AtStartup)                      \
    X(TforceToMonForm, forceToMonForm, "Force to Monitor Response Tester", 43, AtStartup)          \
    X(TbufferedDrForm, bufferedDrForm, "Buffered DR Test", 44, AtStartup)                          \
    X(TZANTconfiguratorForm, ZANTconfiguratorForm,                                                 \
      "Configure ZANT Board Like a Standard DR Board", 45, AtStartup)                              \
    X(Tfrm12ChanMon, frm12ChanMon, "12 Channel Monitor", 46, AtStartup)                            \
    X(TackForm, ackForm, "Acknowledgements", 47, AtStartup)                                        \
    X(TfrmIoReplay, frmIoReplay, "Io Replay", 48, AtStartup)                                       \
    X(Tpkt7020Form, pkt7020Form, "Diagnostic Startup (7020)", 49, AtStartup)                       \
    X(TTtcaForm, TtcaForm, "TTCA Test", 50, AtStartup)                                             \
    X(TsetRtcForm, setRtcForm, "Set RTC", 51, AtStartup)                                           \
    X(Tpkt2202Form, pkt2202Form, "NMEA Message Output Control (2202)", 52, AtStartup)              \
    X(TrawDataForm, rawDataForm, "Raw Data", 53, AtStartup)                                        \
    X(TForm_ProtocolConfig, Form_ProtocolConfig, "Protocol Configuration", 54, AtStartup)          \
    X(TalmanacForm, almanacForm, "Almanac Download/Upload", 55, OnFirstUse)                        \
    X(Tpkt29Form, pkt29Form, "Time, Pos, Alt, Freq, Heading Initializations (2901-2905)", 56,      \
      OnFirstUse)                                                                                  \
    X(Tpkt2907Form, pkt2907Form, "Short Map-Match Data (2907)", 57, OnFirstUse)                    \
    X(Tpkt2908Form, pkt2908Form, "Tacho Data (2908)", 58, OnFirstUse)                              \
    X(Tpkt3002Form, pkt3002Form, "Fast Fix with Raw DR Data (3002)", 59, OnFirstUse)               \
    X(TNMEAOutputForm, NMEAOutputForm, "NMEA Output", 60, OnFirstUse)                              \
    X(TprofileForm, profileForm, "Receiver Configuration Profile", 61, OnFirstUse)

enum class WindowId : uint8_t {
#define VX_WINDOW_ENUM(cls, object, caption, position, lifetime) cls,
    VX_WINDOW_LIST(VX_WINDOW_ENUM)
#undef VX_WINDOW_ENUM
};

inline constexpr size_t kWindowCount = 0
#define VX_WINDOW_COUNT(cls, object, caption, position, lifetime) +1
    VX_WINDOW_LIST(VX_WINDOW_COUNT)
#undef VX_WINDOW_COUNT
    ;

// What the list says of one window.
struct WindowInfo {
    WindowId id;
    std::string_view className;  // "TsioForm"
    std::string_view objectName; // "sioForm"
    std::string_view caption;    // "COM Setup"
    int position;                // start-up position; for OnFirstUse the order of destruction
    Lifetime lifetime;
};

inline constexpr WindowInfo kWindowInfo[] = {
#define VX_WINDOW_INFO(cls, object, caption, position, lifetime)                                   \
    {WindowId::cls, #cls, #object, caption, position, Lifetime::lifetime},
    VX_WINDOW_LIST(VX_WINDOW_INFO)
#undef VX_WINDOW_INFO
};
static_assert(std::size(kWindowInfo) == kWindowCount);

constexpr const WindowInfo& windowInfo(WindowId w) {
    return kWindowInfo[size_t(w)];
}

// "TmainForm", ...
constexpr std::string_view windowName(WindowId w) {
    return size_t(w) < kWindowCount ? kWindowInfo[size_t(w)].className : std::string_view("?");
}

// The window with this object name ("sioForm"), if any.
constexpr std::optional<WindowId> windowByObjectName(std::string_view objectName) {
    for (const WindowInfo& w : kWindowInfo)
        if (w.objectName == objectName) return w.id;
    return std::nullopt;
}

} // namespace vx
