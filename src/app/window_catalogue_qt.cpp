#include "app/window_catalogue_qt.h"

#include "app/ack_form.h"
#include "app/error_form.h"
#include "app/main_form.h"
#include "app/sys_ack_form.h"
#include "config/pkt2101_form.h"
#include "link/io_replay_form.h"
#include "link/sio_form.h"

#include <algorithm>

namespace {

constexpr Lifetime AtStartup = Lifetime::AtStartup;
constexpr Lifetime OnFirstUse = Lifetime::OnFirstUse;

// The windows of the console. Start-up creates the AtStartup ones by position (1 is the main
// window); a window not built yet is simply absent and takes its position when it arrives.
// The six windows created on first use are the almanac, 2901-2905, 2907, 2908, 3002 and NMEA
// output windows (positions 55 to 60, their shut-down order).
const WindowSpec kWindows[] = {
    {1, "TmainForm", "mainForm", "Ornivex v2.40", AtStartup, make<TmainForm>},
    {3, "TsioForm", "sioForm", "COM Setup", AtStartup, make<TsioForm>},
    {10, "TerrorForm", "errorForm", "Error Window", AtStartup, make<TerrorForm>},
    {25, "Tpkt2101Form", "pkt2101Form", "DR Engine Rate (2101)", AtStartup, make<Tpkt2101Form>},
    {36, "TSysAckForm", "SysAckForm", "System Command Ack", AtStartup, make<TSysAckForm>},
    {47, "TackForm", "ackForm", "Acknowledgements", AtStartup, make<TackForm>},
    {48, "TfrmIoReplay", "frmIoReplay", "Io Replay", AtStartup, make<TfrmIoReplay>},
};

constexpr MenuExtra None = MenuExtra::None;

// Every window item of the menu bar, in menu order. An item shows only when its window is in
// kWindows.
const MenuItemSpec kMenu[] = {
    // clang-format off
    {"Initialize", "Initialize2", nullptr, "Almanac download/Upload (2812-2814)...", nullptr, "almanacForm", None},
    {"Initialize", "Initialize2", nullptr, "Time, Pos, Alt, Freq, Heading (2901-2905)...", nullptr, "pkt29Form", None},
    {"Initialize", "Initialize2", nullptr, "Short Map Match Data (2907)...", nullptr, "pkt2907Form", None},
    {"Initialize", "Initialize2", nullptr, "Tacho Data (2908)...", nullptr, "pkt2908Form", None},

    {"&Config", nullptr, nullptr, "&COM Setup...", nullptr, "sioForm", None},
    {"&Config", nullptr, nullptr, "Protocol...", nullptr, "Form_ProtocolConfig", None},
    {"&Config", nullptr, nullptr, "VEXOR->NMEA Output...", "NMEAOutput", "NMEAOutputForm", None},
    {"&Config", nullptr, nullptr, "NMEA Output Control (2202)...", nullptr, "pkt2202Form", None},
    {"&Config", nullptr, nullptr, "DR Engine Rate (2101)...", nullptr, "pkt2101Form", None},
    {"&Config", nullptr, nullptr, "GPS Configuration (0x24)...", nullptr, "maskForm", None},
    {"&Config", nullptr, nullptr, "&Kalman Filter Parameters (0x25)", nullptr, "pkt25Form", None},
    {"&Config", nullptr, nullptr, "DR Filter (0x27)...", nullptr, "pkt27Form", None},
    {"&Config", nullptr, nullptr, "Output Interval Control (2A, 2B, 2C, 2D)...", nullptr, "intervalControlForm", None},
    {"&Config", nullptr, nullptr, "&DR Calibration (3603-3608)...", nullptr, "pkt36Form", None},
    {"&Config", nullptr, nullptr, "Diagnostic Message Output (707F)...", nullptr, "pkt707FForm", None},

    {"&View", nullptr, nullptr, "&Version (1101-1103), Product Info (1202-1204)...", nullptr, "versionForm", None},
    {"&View", nullptr, nullptr, "Soft Event Mask and Event Logs (1401, 1402, 2E01)...", nullptr, "softEventForm", None},
    {"&View", nullptr, nullptr, "Customer Data Blocks (0x15)...", nullptr, "pkt15Form", None},
    {"&View", nullptr, nullptr, "Health Status and Start-Up Reports (1601, 1602)...", nullptr, "pkt1601_1602Form", None},
    {"&View", nullptr, nullptr, "Available Report and Sub Codes (2601, 2602)...", nullptr, "pkt2601Form", None},
    {"&View", nullptr, nullptr, "DPP Model (2603 - 2605)...", nullptr, "pkt2603_04_05Form", None},
    {"&View", nullptr, nullptr, "Fast Fix with Raw DR Data (3002)...", nullptr, "pkt3002Form", None},
    {"&View", nullptr, nullptr, "Buffered Cumulative DR Data (3003)...", nullptr, "pktBufferedDr", None},
    {"&View", nullptr, nullptr, "GPS Fix Message (3101)...", nullptr, "pkt31Form", None},
    {"&View", nullptr, nullptr, "Time and Constellation Summary (3201)...", nullptr, "pkt32Form", None},
    {"&View", nullptr, nullptr, "Constellation/Time Summaries (3202, 3203)...", nullptr, "pkt3202_3203Form", None},
    {"&View", nullptr, nullptr, "GPS Channel Status (3301)...", nullptr, "pkt33Form", None},
    {"&View", nullptr, nullptr, "Diagnostic Startup (7020)...", nullptr, "pkt7020Form", None},
    {"&View", nullptr, nullptr, "&Raw Data...", nullptr, "rawDataForm", None},
    {"&View", nullptr, nullptr, "&Error Window...", "Errorlog1", "errorForm", MenuExtra::RaiseErrorFlag},
    {"&View", nullptr, nullptr, "Acknowledgements...", nullptr, "ackForm", None},

    {"T&est", "Test", nullptr, "ADC and Gyro Self Test (3F01)... ", nullptr, "selfTestForm", None},
    {"T&est", "Test", nullptr, "Data Positioning Collection Test (3F02)...", nullptr, "DataCollectionTestForm", None},
    {"T&est", "Test", nullptr, "Gyro Bench Test (3F04)...", nullptr, "gyroBenchTest", None},
    {"T&est", "Test", nullptr, "Tacho/Reverse Production Test (3F06)...", nullptr, "tachoReverseBenchForm", None},

    {"&Tools", nullptr, nullptr, "Data &Logging...", nullptr, "logForm", None},
    {"&Tools", nullptr, "&Plot", "Sky Plot...", nullptr, "skyPlotForm", None},
    {"&Tools", nullptr, "&Plot", "Heading Plot...", nullptr, "headingPlotForm", None},
    {"&Tools", nullptr, nullptr, "Send Generic Packet...", nullptr, "genPktForm", None},
    {"&Tools", nullptr, nullptr, "Batch Generic Packets...", nullptr, "batchGenericForm", None},
    {"&Tools", nullptr, nullptr, "Random Serial Data...", nullptr, "randomSerialForm", None},

    {"&VORSAND", "VorsandInternal", nullptr, "Device Flash Configuration", "DeviceFlashConfiguration1", "diagForm", None},
    {"&VORSAND", "VorsandInternal", nullptr, "Flash BBRAM...", nullptr, "BBRAM_Form", None},
    {"&VORSAND", "VorsandInternal", nullptr, "BBRAM Unit Test...", nullptr, "BbramUnitTestForm", None},
    {"&VORSAND", "VorsandInternal", nullptr, "BBRAM Trace...", nullptr, "BbramTraceForm", None},
    {"&VORSAND", "VorsandInternal", nullptr, "Vexor Trace...", "VexorTrace", "VexorTraceForm", None},
    {"&VORSAND", "VorsandInternal", nullptr, "Raw GPS Fixes...", nullptr, "GpsRawPositionForm", None},
    {"&VORSAND", "VorsandInternal", nullptr, "Repeated Reset Test...", nullptr, "RepeatedResetTestForm", None},
    {"&VORSAND", "VorsandInternal", nullptr, "Adc Calibration Parameters...", nullptr, "AdcCalParamsForm", None},
    {"&VORSAND", "VorsandInternal", nullptr, "Force to Monitor Test...", nullptr, "forceToMonForm", None},
    {"&VORSAND", "VorsandInternal", nullptr, "Buffered DR Test...", nullptr, "bufferedDrForm", None},
    {"&VORSAND", "VorsandInternal", "ZANT", "Configure ZANT like DR...", "ConfigureZANTlikeDR1", "ZANTconfiguratorForm", None},
    {"&VORSAND", "VorsandInternal", nullptr, "Io Replay...", nullptr, "frmIoReplay", None},
    {"&VORSAND", "VorsandInternal", nullptr, "12 ch monitor", nullptr, "frm12ChanMon", None},
    {"&VORSAND", "VorsandInternal", nullptr, "TTCA Test...", nullptr, "TtcaForm", None},
    {"&VORSAND", "VorsandInternal", nullptr, "Set RTC...", nullptr, "setRtcForm", None},

    {"&Help", nullptr, nullptr, "&About...", nullptr, "aboutForm", None},
    // clang-format on
};

WindowSet* currentSet = nullptr;

} // namespace

std::span<const WindowSpec> windowCatalogue() {
    return kWindows;
}

std::span<const MenuItemSpec> windowMenu() {
    return kMenu;
}

WindowSet::WindowSet(Options options, vx::ComSlots& slotMap, std::span<const WindowSpec> catalogue)
    : options_(options), slots_(slotMap) {
    for (const WindowSpec& s : catalogue) catalogue_.push_back(&s);
    std::stable_sort(catalogue_.begin(), catalogue_.end(),
                     [](const WindowSpec* a, const WindowSpec* b) {
                         if (a->lifetime != b->lifetime) return a->lifetime < b->lifetime;
                         return a->position < b->position;
                     });
    previous_ = currentSet;
    currentSet = this;
}

WindowSet::~WindowSet() {
    // The last created first: later windows may refer to earlier ones, never the other way.
    while (!created_.empty()) created_.pop_back();
    if (currentSet == this) currentSet = previous_;
}

WindowSet* WindowSet::current() {
    return currentSet;
}

void WindowSet::createStartupWindows() {
    for (const WindowSpec* s : catalogue_) {
        if (s->lifetime == Lifetime::AtStartup && !find(s->objectName)) create(*s);
    }
    tellPeers();
}

void WindowSet::tellPeers() {
    for (QWidget* w : windows())
        if (auto* p = dynamic_cast<WindowPeers*>(w)) p->peersCreated(*this);
}

QWidget* WindowSet::create(const WindowSpec& s) {
    std::unique_ptr<QWidget> w = s.create(*this);
    w->setObjectName(QString::fromLatin1(s.objectName));
    w->setWindowTitle(QString::fromLatin1(s.caption));
    QWidget* raw = w.get();
    created_.push_back({&s, std::move(w)});
    return raw;
}

const WindowSpec* WindowSet::spec(std::string_view objectName) const {
    for (const WindowSpec* s : catalogue_)
        if (objectName == s->objectName) return s;
    return nullptr;
}

QWidget* WindowSet::find(std::string_view objectName) const {
    for (const Entry& e : created_)
        if (objectName == e.spec->objectName) return e.window.get();
    return nullptr;
}

QWidget* WindowSet::open(std::string_view objectName) {
    QWidget* w = find(objectName);
    if (!w) {
        const WindowSpec* s = spec(objectName);
        if (!s) return nullptr;
        w = create(*s);
        tellPeers();
    }
    if (w->isMinimized()) w->showNormal();
    w->show();
    w->raise();
    w->activateWindow();
    return w;
}

void WindowSet::destroyFirstUseWindows() {
    for (const WindowSpec* s : catalogue_) {
        if (s->lifetime != Lifetime::OnFirstUse) continue;
        auto it = std::find_if(created_.begin(), created_.end(),
                               [s](const Entry& e) { return e.spec == s; });
        if (it != created_.end()) created_.erase(it);
    }
}

std::vector<QWidget*> WindowSet::windows() const {
    std::vector<QWidget*> out;
    for (const Entry& e : created_) out.push_back(e.window.get());
    return out;
}
