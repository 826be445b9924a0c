#include "program/window_catalogue_qt.h"

#include "app/about_form.h"
#include "app/ack_form.h"
#include "app/error_form.h"
#include "app/io_replay_form.h"
#include "app/log_form.h"
#include "app/main_form.h"
#include "app/raw_data_form.h"
#include "app/sio_form.h"
#include "app/sys_ack_form.h"
#include "app/version_form.h"
#include "config/almanac_form.h"
#include "config/interval_control_form.h"
#include "config/mask_form.h"
#include "config/nmea_output_form.h"
#include "config/pkt15_form.h"
#include "config/pkt2101_form.h"
#include "config/pkt2202_form.h"
#include "config/pkt25_form.h"
#include "config/pkt2601_form.h"
#include "config/pkt2603_04_05_form.h"
#include "config/pkt27_form.h"
#include "config/pkt2907_form.h"
#include "config/pkt2908_form.h"
#include "config/pkt29_form.h"
#include "config/pkt36_form.h"
#include "config/pkt707f_form.h"
#include "config/profile_form.h"
#include "config/protocol_config_form.h"
#include "config/set_rtc_form.h"
#include "config/soft_event_form.h"
#include "config/zant_configurator_form.h"
#include "flash/bbram_form.h"
#include "flash/bbram_trace_form.h"
#include "flash/bbram_unit_test_form.h"
#include "flash/diag_form.h"
#include "flash/vexor_trace_form.h"
#include "reports/chan_monitor_form.h"
#include "reports/heading_plot_form.h"
#include "reports/pkt1601_1602_form.h"
#include "reports/pkt23_form.h"
#include "reports/pkt3002_form.h"
#include "reports/pkt31_form.h"
#include "reports/pkt3202_3203_form.h"
#include "reports/pkt32_form.h"
#include "reports/pkt33_form.h"
#include "reports/pkt7020_form.h"
#include "reports/pkt_buffered_dr_form.h"
#include "reports/raw_fix_form.h"
#include "reports/self_test_form.h"
#include "reports/sky_plot_form.h"
#include "testtools/adc_cal_form.h"
#include "testtools/batch_generic_form.h"
#include "testtools/bench_test_form.h"
#include "testtools/buffered_dr_test_form.h"
#include "testtools/force_to_mon_form.h"
#include "testtools/gen_pkt_form.h"
#include "testtools/random_serial_form.h"
#include "testtools/repeated_reset_test_form.h"
#include "testtools/ttca_form.h"

namespace {

using W = vx::WindowId;

// The windows of the console that are built. Start-up creates the AtStartup ones by position
// (1 is the main window).
const WindowSpec kWindows[] = {
    {W::TmainForm, make<TmainForm>},
    {W::TsioForm, make<TsioForm>},
    {W::TerrorForm, make<TerrorForm>},
    {W::Tpkt2101Form, make<Tpkt2101Form>},
    {W::TSysAckForm, make<TSysAckForm>},
    {W::TackForm, make<TackForm>},
    {W::TfrmIoReplay, make<TfrmIoReplay>},
    {W::TmaskForm, make<TmaskForm>},
    {W::Tpkt25Form, make<Tpkt25Form>},
    {W::Tpkt27Form, make<Tpkt27Form>},
    {W::TgenPktForm, make<TgenPktForm>},
    {W::TbatchGenericForm, make<TbatchGenericForm>},
    {W::TrandomSerialForm, make<TrandomSerialForm>},
    {W::TRepeatedResetTestForm, make<TRepeatedResetTestForm>},
    {W::TforceToMonForm, make<TforceToMonForm>},
    {W::TlogForm, make<TlogForm>},
    {W::TrawDataForm, make<TrawDataForm>},
    {W::TversionForm, make<TversionForm>},
    {W::TaboutForm, make<TaboutForm>},
    {W::TdiagForm, make<TdiagForm>},
    {W::TBBRAM_Form, make<TBBRAM_Form>},
    {W::TBbramUnitTestForm, make<TBbramUnitTestForm>},
    {W::TBbramTraceForm, make<TBbramTraceForm>},
    {W::TVexorTraceForm, make<TVexorTraceForm>},
    {W::Tpkt29Form, make<Tpkt29Form>},
    {W::Tpkt2907Form, make<Tpkt2907Form>},
    {W::Tpkt2908Form, make<Tpkt2908Form>},
    {W::TintervalControlForm, make<TintervalControlForm>},
    {W::Tpkt36Form, make<Tpkt36Form>},
    {W::TsoftEventForm, make<TsoftEventForm>},
    {W::Tpkt32Form, make<Tpkt32Form>},
    {W::Tpkt3202_3203Form, make<Tpkt3202_3203Form>},
    {W::Tpkt33Form, make<Tpkt33Form>},
    {W::Tpkt31Form, make<Tpkt31Form>},
    {W::TskyPlotForm, make<TskyPlotForm>},
    {W::TheadingPlotForm, make<TheadingPlotForm>},
    {W::Tpkt1601_1602Form, make<Tpkt1601_1602Form>},
    {W::Tpkt7020Form, make<Tpkt7020Form>},
    {W::Tpkt3002Form, make<Tpkt3002Form>},
    {W::TpktBufferedDr, make<TpktBufferedDr>},
    {W::Tfrm12ChanMon, make<Tfrm12ChanMon>},
    {W::TGpsRawPositionForm, make<TGpsRawPositionForm>},
    {W::TselfTestForm, make<TselfTestForm>},
    {W::Tpkt23From, make<Tpkt23From>},
    {W::TDataCollectionTestForm, make<TDataCollectionTestForm>},
    {W::TgyroBenchTest, make<TgyroBenchTest>},
    {W::TtachoReverseBenchForm, make<TtachoReverseBenchForm>},
    {W::TAdcCalParamsForm, make<TAdcCalParamsForm>},
    {W::TbufferedDrForm, make<TbufferedDrForm>},
    {W::TTtcaForm, make<TTtcaForm>},
    {W::Tpkt707FForm, make<Tpkt707FForm>},
    {W::TsetRtcForm, make<TsetRtcForm>},
    {W::Tpkt15Form, make<Tpkt15Form>},
    {W::Tpkt2601Form, make<Tpkt2601Form>},
    {W::Tpkt2603_04_05Form, make<Tpkt2603_04_05Form>},
    {W::TForm_ProtocolConfig, make<TForm_ProtocolConfig>},
    {W::TZANTconfiguratorForm, make<TZANTconfiguratorForm>},
    {W::Tpkt2202Form, make<Tpkt2202Form>},
    {W::TNMEAOutputForm, make<TNMEAOutputForm>},
    {W::TalmanacForm, make<TalmanacForm>},
    {W::TprofileForm, make<TprofileForm>},
};

constexpr MenuExtra None = MenuExtra::None;

// Every window item of the menu bar, in menu order. An item shows only when its window is in
// kWindows.
const MenuItemSpec kMenu[] = {
    // clang-format off
    {"Initialize", "Initialize2", nullptr, "Almanac download/Upload (2812-2814)...", nullptr, W::TalmanacForm, None},
    {"Initialize", "Initialize2", nullptr, "Time, Pos, Alt, Freq, Heading (2901-2905)...", nullptr, W::Tpkt29Form, None},
    {"Initialize", "Initialize2", nullptr, "Short Map Match Data (2907)...", nullptr, W::Tpkt2907Form, None},
    {"Initialize", "Initialize2", nullptr, "Tacho Data (2908)...", nullptr, W::Tpkt2908Form, None},

    {"&Config", nullptr, nullptr, "&COM Setup...", nullptr, W::TsioForm, None},
    {"&Config", nullptr, nullptr, "Protocol...", nullptr, W::TForm_ProtocolConfig, None},
    {"&Config", nullptr, nullptr, "VEXOR->NMEA Output...", "NMEAOutput", W::TNMEAOutputForm, None},
    {"&Config", nullptr, nullptr, "NMEA Output Control (2202)...", nullptr, W::Tpkt2202Form, None},
    {"&Config", nullptr, nullptr, "DR Engine Rate (2101)...", nullptr, W::Tpkt2101Form, None},
    {"&Config", nullptr, nullptr, "GPS Configuration (0x24)...", nullptr, W::TmaskForm, None},
    {"&Config", nullptr, nullptr, "&Kalman Filter Parameters (0x25)", nullptr, W::Tpkt25Form, None},
    {"&Config", nullptr, nullptr, "DR Filter (0x27)...", nullptr, W::Tpkt27Form, None},
    {"&Config", nullptr, nullptr, "Output Interval Control (2A, 2B, 2C, 2D)...", nullptr, W::TintervalControlForm, None},
    {"&Config", nullptr, nullptr, "&DR Calibration (3603-3608)...", nullptr, W::Tpkt36Form, None},
    {"&Config", nullptr, nullptr, "Diagnostic Message Output (707F)...", nullptr, W::Tpkt707FForm, None},
    {"&Config", nullptr, nullptr, "Save Receiver Configuration...", nullptr, W::TprofileForm, MenuExtra::ProfileSave},
    {"&Config", nullptr, nullptr, "Verify Receiver Against Profile...", nullptr, W::TprofileForm, MenuExtra::ProfileVerify},
    {"&Config", nullptr, nullptr, "Apply Profile to Receiver...", nullptr, W::TprofileForm, MenuExtra::ProfileApply},

    {"&View", nullptr, nullptr, "&Version (1101-1103), Product Info (1202-1204)...", nullptr, W::TversionForm, None},
    {"&View", nullptr, nullptr, "Soft Event Mask and Event Logs (1401, 1402, 2E01)...", nullptr, W::TsoftEventForm, None},
    {"&View", nullptr, nullptr, "Customer Data Blocks (0x15)...", nullptr, W::Tpkt15Form, None},
    {"&View", nullptr, nullptr, "Health Status and Start-Up Reports (1601, 1602)...", nullptr, W::Tpkt1601_1602Form, None},
    {"&View", nullptr, nullptr, "Available Report and Sub Codes (2601, 2602)...", nullptr, W::Tpkt2601Form, None},
    {"&View", nullptr, nullptr, "DPP Model (2603 - 2605)...", nullptr, W::Tpkt2603_04_05Form, None},
    {"&View", nullptr, nullptr, "Fast Fix with Raw DR Data (3002)...", nullptr, W::Tpkt3002Form, None},
    {"&View", nullptr, nullptr, "Buffered Cumulative DR Data (3003)...", nullptr, W::TpktBufferedDr, None},
    {"&View", nullptr, nullptr, "GPS Fix Message (3101)...", nullptr, W::Tpkt31Form, None},
    {"&View", nullptr, nullptr, "Time and Constellation Summary (3201)...", nullptr, W::Tpkt32Form, None},
    {"&View", nullptr, nullptr, "Constellation/Time Summaries (3202, 3203)...", nullptr, W::Tpkt3202_3203Form, None},
    {"&View", nullptr, nullptr, "GPS Channel Status (3301)...", nullptr, W::Tpkt33Form, None},
    {"&View", nullptr, nullptr, "Diagnostic Startup (7020)...", nullptr, W::Tpkt7020Form, None},
    {"&View", nullptr, nullptr, "&Raw Data...", nullptr, W::TrawDataForm, None},
    {"&View", nullptr, nullptr, "&Error Window...", "Errorlog1", W::TerrorForm, MenuExtra::RaiseErrorFlag},
    {"&View", nullptr, nullptr, "Acknowledgements...", nullptr, W::TackForm, None},

    {"T&est", "Test", nullptr, "ADC and Gyro Self Test (3F01)... ", nullptr, W::TselfTestForm, None},
    {"T&est", "Test", nullptr, "Data Positioning Collection Test (3F02)...", nullptr, W::TDataCollectionTestForm, None},
    {"T&est", "Test", nullptr, "Gyro Bench Test (3F04)...", nullptr, W::TgyroBenchTest, None},
    {"T&est", "Test", nullptr, "Tacho/Reverse Production Test (3F06)...", nullptr, W::TtachoReverseBenchForm, None},

    {"&Tools", nullptr, nullptr, "Data &Logging...", nullptr, W::TlogForm, None},
    {"&Tools", nullptr, "&Plot", "Sky Plot...", nullptr, W::TskyPlotForm, None},
    {"&Tools", nullptr, "&Plot", "Heading Plot...", nullptr, W::TheadingPlotForm, None},
    {"&Tools", nullptr, nullptr, "Send Generic Packet...", nullptr, W::TgenPktForm, None},
    {"&Tools", nullptr, nullptr, "Batch Generic Packets...", nullptr, W::TbatchGenericForm, None},
    {"&Tools", nullptr, nullptr, "Random Serial Data...", nullptr, W::TrandomSerialForm, None},

    {"&VORSAND", "VorsandInternal", nullptr, "Device Flash Configuration", "DeviceFlashConfiguration1", W::TdiagForm, None},
    {"&VORSAND", "VorsandInternal", nullptr, "Flash BBRAM...", nullptr, W::TBBRAM_Form, None},
    {"&VORSAND", "VorsandInternal", nullptr, "BBRAM Unit Test...", nullptr, W::TBbramUnitTestForm, None},
    {"&VORSAND", "VorsandInternal", nullptr, "BBRAM Trace...", nullptr, W::TBbramTraceForm, None},
    {"&VORSAND", "VorsandInternal", nullptr, "Vexor Trace...", "VexorTrace", W::TVexorTraceForm, None},
    {"&VORSAND", "VorsandInternal", nullptr, "Raw GPS Fixes...", nullptr, W::TGpsRawPositionForm, None},
    {"&VORSAND", "VorsandInternal", nullptr, "Repeated Reset Test...", nullptr, W::TRepeatedResetTestForm, None},
    {"&VORSAND", "VorsandInternal", nullptr, "Adc Calibration Parameters...", nullptr, W::TAdcCalParamsForm, None},
    {"&VORSAND", "VorsandInternal", nullptr, "Force to Monitor Test...", nullptr, W::TforceToMonForm, None},
    {"&VORSAND", "VorsandInternal", nullptr, "Buffered DR Test...", nullptr, W::TbufferedDrForm, None},
    {"&VORSAND", "VorsandInternal", "ZANT", "Configure ZANT like DR...", "ConfigureZANTlikeDR1", W::TZANTconfiguratorForm, None},
    {"&VORSAND", "VorsandInternal", nullptr, "Io Replay...", nullptr, W::TfrmIoReplay, None},
    {"&VORSAND", "VorsandInternal", nullptr, "12 ch monitor", nullptr, W::Tfrm12ChanMon, None},
    {"&VORSAND", "VorsandInternal", nullptr, "TTCA Test...", nullptr, W::TTtcaForm, None},
    {"&VORSAND", "VorsandInternal", nullptr, "Set RTC...", nullptr, W::TsetRtcForm, None},

    {"&Help", nullptr, nullptr, "&About...", nullptr, W::TaboutForm, None},
    // clang-format on
};

} // namespace

WindowCatalogue windowCatalogue() {
    return {kWindows, kMenu};
}
