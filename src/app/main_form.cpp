#include "app/main_form.h"

#include "app/io_replay_form.h"
#include "app/sio_form.h"
#include "console/console_qt.h"
#include "console/window_set_qt.h"
#include "link/catalogue.h"
#include "link/link_texts.h"
#include "link/monitor_ops.h"
#include "widgets/lamp_qt.h"
#include "widgets/panel_qt.h"
#include "widgets/window_show_qt.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>

#include <map>
#include <string>

namespace {

QColor colourOf(vx::Shade s) {
    switch (s) {
    case vx::Shade::White:
        return lamp::kWhite;
    case vx::Shade::Lime:
        return lamp::kGreen;
    case vx::Shade::Yellow:
        return lamp::kYellow;
    case vx::Shade::Face:
        return Panel::faceColour();
    }
    return lamp::kWhite;
}

QString q(const std::string& s) {
    return QString::fromStdString(s);
}

// A panel for a value, with its object name, the caption assistive technology announces it
// by, and its minimum width in pixels.
Panel* valuePanel(QWidget* parent, const QString& name, const QString& caption, int width = 70) {
    auto* p = new Panel(parent);
    p->setObjectName(name);
    p->setAccessibleName(caption);
    p->setMinimumWidth(width);
    p->setFixedHeight(17);
    return p;
}

const QString kLinkOwnedText =
    "A flash tool is working with the receiver: the menus and closing wait until it is done.";

QString withoutAccelerator(QString caption) {
    return caption.remove(QLatin1Char('&'));
}

QLabel* label(const QString& text, QWidget* parent) {
    auto* l = new QLabel(text, parent);
    return l;
}

// The object names of the System command items, in menu order (0301..030A).
const char* const kSystemItemNames[10] = {
    "HotReset1",
    "ColdReset1",
    "ForcetoMonitor2",
    "ShutDown03041",
    "WarmReset1",
    "ClearOscillatorReset03061",
    "ClearFlashandRAMReset03071",
    "ClearPositionReset03081",
    "WriteBBRAMtoFlashReset03091",
    "IoPassthroughMode030A1",
};

} // namespace

TmainForm::TmainForm(WindowSet& windows)
    : windows_(windows), console_(windows.console()),
      routes_(windows.console(), vx::WindowId::TmainForm, this) {
    // Single fixed border, minimize but no maximize button.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);

    buildPanels();
    buildMenus();

    runningTimer_ = new QTimer(this);
    runningTimer_->setObjectName("runningTimer");
    runningTimer_->setInterval(1000);
    connect(runningTimer_, &QTimer::timeout, this, &TmainForm::runningTimerTimer);
    blipTimer_ = new QTimer(this);
    blipTimer_->setObjectName("blipTimer");
    blipTimer_->setInterval(200);
    connect(blipTimer_, &QTimer::timeout, this, &TmainForm::blipTimerTimer);
    blipTimer_->start();

    internalMenu_->menuAction()->setVisible(windows_.options().internalMenu);
    sourceIndex_ = 0;
    antennaState_ = 0;
    console_.flags().errorPending.store(0);

    registerHandlers();

    // Fixed size, centred on the screen.
    adjustSize();
    setFixedSize(sizeHint().expandedTo(QSize(613, 410)));
    if (QScreen* s = QApplication::primaryScreen()) {
        QRect r = s->availableGeometry();
        move(r.center() - QPoint(width() / 2, height() / 2));
    }
}

TmainForm::~TmainForm() {
    console_.setMonitorCommands({});
}

// ---- Layout ------------------------------------------------------------------------------------

void TmainForm::buildPanels() {
    auto* central = new QWidget(this);
    setCentralWidget(central);
    auto* outer = new QVBoxLayout(central);
    outer->setContentsMargins(4, 4, 4, 2);
    outer->setSpacing(3);

    auto makeGroup = [&](const QString& title, const char* name) {
        auto* g = new QGroupBox(title, central);
        g->setObjectName(name);
        return g;
    };
    auto tightGrid = [](QWidget* w) {
        auto* g = new QGridLayout(w);
        g->setContentsMargins(5, 3, 5, 3);
        g->setHorizontalSpacing(4);
        g->setVerticalSpacing(2);
        return g;
    };
    // Rows of label / panel / unit; the panel is announced by the label's caption.
    struct Row {
        Panel** panel;
        const char* name;
        const char* caption;
        const char* unit;
    };
    auto addRows = [&](QGroupBox* group, QWidget* parent, int width,
                       std::initializer_list<Row> rows) {
        auto* g = tightGrid(group ? static_cast<QWidget*>(group) : parent);
        int r = 0;
        for (const Row& row : rows) {
            *row.panel = valuePanel(parent, row.name, row.caption, width);
            g->addWidget(label(row.caption, parent), r, 0);
            g->addWidget(*row.panel, r, 1);
            if (row.unit) g->addWidget(label(row.unit, parent), r, 2);
            ++r;
        }
        return g;
    };

    timeGroup_ = makeGroup("Time", "timeGroup");
    addRows(timeGroup_, timeGroup_, 70,
            {{&utcTimePanel_, "timeWin", "UTC Time", nullptr},
             {&utcDatePanel_, "dateWin", "UTC Date", nullptr},
             {&timeOfWeekPanel_, "msecWin", "Time", nullptr},
             {&deltaTimePanel_, "deltaTimeWin", "Delta Time", nullptr},
             {&utcOffsetPanel_, "offsetWin", "Offset", nullptr}});
    accuracyGroup_ = makeGroup("Accuracy", "accuracyGroup");
    addRows(accuracyGroup_, accuracyGroup_, 56,
            {{&positionAccuracyPanel_, "accPosWin", "Position", "meters"},
             {&altitudeAccuracyPanel_, "accAltWin", "Altitude", "meters"},
             {&headingAccuracyPanel_, "accHeadingWin", "Heading", "sc"},
             {&speedAccuracyPanel_, "accSpeedWin", "Speed", "cm/s"}})
        ->setRowStretch(4, 1);
    positionGroup_ = makeGroup("Position", "positionGroup");
    addRows(positionGroup_, positionGroup_, 84,
            {{&latitudePanel_, "latWin", "Latitute", "rad"},
             {&longitudePanel_, "lonWin", "Longitude", "rad"},
             {&altitudePanel_, "altWin", "Altitude", "meters"},
             {&headingPanel_, "headingWin", "Heading", "sc"},
             {&speedPanel_, "speedWin", "Speed", "cm/s"}});
    // Status lamps
    statusGroup_ = makeGroup("Status", "statusGroup");
    {
        auto* g = tightGrid(statusGroup_);
        struct LampDef {
            Lamp** lamp;
            const char* name;
            const char* text;
        };
        const LampDef lamps[] = {
            {&positionLamp_, "posStatus", "Position"},
            {&headingLamp_, "headingStatus", "Heading"},
            {&speedLamp_, "speedStatus", "Speed"},
            {&dirSwitchLamp_, "dirSwitchStatus", "Direction switch"},
            {&deltaDistanceLamp_, "deltaDistStatus", "Delta distance"},
            {&deltaHeadingLamp_, "deltaHeadingStatus", "Delta heading"},
            {&motionLamp_, "motionStatus", "Motion"},
            {&motionIndicatorLamp_, "motionIndStatus", "Motion indicator"},
            {&altitudeLamp_, "altStatus", "Altitude"},
            {&gyroCalibrationLamp_, "gyroStatus", "Gyro Calibration"},
            {&tachoCalibrationLamp_, "tachoStatus", "Tacho Calibration"},
            {&directionLamp_, "dirStatus", "Direction (forward)"},
        };
        int i = 0;
        for (const LampDef& d : lamps) {
            *d.lamp = new Lamp(statusGroup_, 11);
            (*d.lamp)->setObjectName(d.name);
            (*d.lamp)->setAccessibleName(d.text);
            const int row = i % 6, col = (i / 6) * 2;
            g->addWidget(*d.lamp, row, col);
            g->addWidget(label(d.text, statusGroup_), row, col + 1);
            ++i;
        }
        timeSourcePanel_ = valuePanel(statusGroup_, "timeSourceWin", "Time source", 90);
        g->addWidget(label("Time source", statusGroup_), 6, 0, 1, 2);
        g->addWidget(timeSourcePanel_, 6, 2, 1, 2);
    }
    dopGroup_ = makeGroup("DOPs", "dopGroup");
    addRows(dopGroup_, dopGroup_, 44,
            {{&pdopPanel_, "pdopWin", "PDOP", nullptr},
             {&hdopPanel_, "hdopWin", "HDOP", nullptr},
             {&vdopPanel_, "vdopWin", "VDOP", nullptr}});
    // Counts panel
    auto* counts = new QFrame(central);
    counts->setObjectName("countsPanel");
    counts->setFrameStyle(QFrame::Panel | QFrame::Raised);
    addRows(nullptr, counts, 60,
            {{&gyroCountPanel_, "gyroCntWin", "Gyro Counts", nullptr},
             {&tachoCountPanel_, "tachoCntWin", "Tacho Counts ", nullptr},
             {&gyroSamplesPanel_, "gyroNoWin", "# Samples", nullptr},
             {&dirSwitchValuePanel_, "dirSwitchValWin", "Dir switch val", nullptr}});
    // Search mode and almanac (unnamed group)
    auto* searchGroup = makeGroup(QString(), "searchGroup");
    addRows(searchGroup, searchGroup, 76,
            {{&searchModePanel_, "searchModeWin", "Srch Mode", nullptr},
             {&almanacStatusPanel_, "almanecStatusWin", "Almanac", nullptr}});
    // SV Info
    svGroup_ = makeGroup("SV Info", "svGroup");
    {
        auto* g = tightGrid(svGroup_);
        const char* heads[4] = {"SV", "SNR", "Elev", "Azi"};
        for (int c = 0; c < 4; ++c) {
            auto* h = label(heads[c], svGroup_);
            h->setAlignment(Qt::AlignCenter);
            g->addWidget(h, 0, c);
        }
        for (int r = 0; r < kRows; ++r) {
            const QString n = QString::number(r + 1);
            const auto name = [&](const char* prefix) { return QLatin1String(prefix) + n; };
            svPanels_[r] = valuePanel(svGroup_, name("svWin"), "SV " + n, 28);
            snrPanels_[r] = valuePanel(svGroup_, name("sigWin"), "SNR " + n, 34);
            elevationPanels_[r] = valuePanel(svGroup_, name("elveWin"), "Elev " + n, 30);
            azimuthPanels_[r] = valuePanel(svGroup_, name("aziWin"), "Azi " + n, 30);
            g->addWidget(svPanels_[r], r + 1, 0);
            g->addWidget(snrPanels_[r], r + 1, 1);
            g->addWidget(elevationPanels_[r], r + 1, 2);
            g->addWidget(azimuthPanels_[r], r + 1, 3);
        }
        g->setRowStretch(kRows + 1, 1);
    }
    // COM: the source panels, "F" first, then 1 to 32.
    comGroup_ = makeGroup("COM", "comGroup");
    {
        auto* row = new QHBoxLayout(comGroup_);
        row->setContentsMargins(4, 2, 4, 3);
        row->setSpacing(1);
        QFont small = font();
        small.setPointSizeF(small.pointSizeF() * 0.8);
        auto addSource = [&](int index, const QString& caption, const QString& name) {
            auto* p = new Panel(comGroup_, caption);
            p->setObjectName(name);
            p->setAccessibleName(index == kReplayIndex ? QString("Replay file")
                                                       : QString("COM%1").arg(index + 1));
            p->setFont(small);
            p->setFixedSize(18, 16);
            p->setColour(Panel::faceColour());
            p->setProperty("sourceIndex", index); // the tag
            p->setToolTip(index == kReplayIndex
                              ? "Replay file (double-click to switch)"
                              : QString("COM%1 (double-click to switch)").arg(index + 1));
            connect(p, &Panel::doubleClicked, this, [this, index] { comWinDblClick(index); });
            sourcePanels_[size_t(index)] = p;
            row->addWidget(p);
        };
        addSource(kReplayIndex, "F", "comWin0");
        for (int i = 0; i < 32; ++i)
            addSource(i, QString::number(i + 1), "comWin" + QString::number(i + 1));
        row->addStretch();
    }
    // Bottom rows.
    auto* eventRow = new QHBoxLayout;
    eventRow->setSpacing(2);
    auto* lastEvent = new Panel(central, "Last Event Log");
    lastEvent->setFrameStyle(QFrame::Panel | QFrame::Raised);
    lastEvent->setColour(Panel::faceColour());
    lastEvent->setFixedHeight(19);
    lastEvent->setMinimumWidth(90);
    eventLogPanel_ = valuePanel(central, "eventLogWin", "Last Event Log", 300);
    eventLogPanel_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    eventLogPanel_->setFixedHeight(19);
    antennaPanel_ = valuePanel(central, "antennaStatusWin", "Antenna", 100);
    antennaPanel_->setFixedHeight(19);
    eventRow->addWidget(lastEvent);
    eventRow->addWidget(eventLogPanel_, 1);
    eventRow->addWidget(antennaPanel_);

    auto* lampRow = new QHBoxLayout;
    lampRow->setSpacing(2);
    auto* lampPanel = new QFrame(central);
    lampPanel->setObjectName("lampPanel");
    lampPanel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    lampPanel->setFixedHeight(19);
    {
        auto* l = new QHBoxLayout(lampPanel);
        l->setContentsMargins(4, 1, 4, 1);
        l->setSpacing(3);
        transmitLamp_ = new Lamp(lampPanel, 11);
        transmitLamp_->setObjectName("txStatus");
        transmitLamp_->setAccessibleName("Tx");
        receiveLamp_ = new Lamp(lampPanel, 11);
        receiveLamp_->setObjectName("rxStatus");
        receiveLamp_->setAccessibleName("Rx");
        l->addWidget(transmitLamp_);
        l->addWidget(label("Tx", lampPanel));
        l->addWidget(receiveLamp_);
        l->addWidget(label("Rx", lampPanel));
    }
    internalMenuToggle_ = new Panel(central);
    internalMenuToggle_->setObjectName("Panel4");
    internalMenuToggle_->setAccessibleName("Internal menu switch");
    internalMenuToggle_->setFixedSize(5, 19);
    internalMenuToggle_->setColour(Panel::faceColour());
    connect(internalMenuToggle_, &Panel::doubleClicked, this, &TmainForm::Panel4DblClick);
    startupStatusPanel_ = valuePanel(central, "startupStatus", "Start-up status", 190);
    startupStatusPanel_->setFixedHeight(19);
    runningTimePanel_ = valuePanel(central, "Panel3", "Running time", 150);
    runningTimePanel_->setFixedHeight(19);
    runningTimePanel_->setColour(Panel::faceColour());
    sourceTextPanel_ = valuePanel(central, "Panel2", "Source", 130);
    sourceTextPanel_->setFixedHeight(19);
    sourceTextPanel_->setColour(Panel::faceColour());
    sourceTextPanel_->setText("COM1-38400-8-None-1");
    lampRow->addWidget(lampPanel);
    lampRow->addWidget(internalMenuToggle_);
    lampRow->addWidget(startupStatusPanel_, 1);
    lampRow->addWidget(runningTimePanel_);
    lampRow->addWidget(sourceTextPanel_);

    // Arrangement: left column Time / Position / DOPs+Counts+Search, middle Accuracy /
    // Status, right SV Info; COM and the bottom rows across.
    auto* top = new QHBoxLayout;
    top->setSpacing(3);
    auto* left = new QVBoxLayout;
    left->setSpacing(3);
    auto* firstRow = new QHBoxLayout;
    firstRow->setSpacing(3);
    firstRow->addWidget(timeGroup_);
    firstRow->addWidget(accuracyGroup_);
    left->addLayout(firstRow);
    auto* secondRow = new QHBoxLayout;
    secondRow->setSpacing(3);
    secondRow->addWidget(positionGroup_);
    secondRow->addWidget(statusGroup_);
    left->addLayout(secondRow);
    auto* thirdRow = new QHBoxLayout;
    thirdRow->setSpacing(3);
    thirdRow->addWidget(dopGroup_);
    thirdRow->addWidget(counts);
    thirdRow->addWidget(searchGroup);
    left->addLayout(thirdRow);
    top->addLayout(left);
    top->addWidget(svGroup_);
    outer->addLayout(top);
    outer->addWidget(comGroup_);
    outer->addLayout(eventRow);
    outer->addLayout(lampRow);

    // Start-up and link messages (a failed start or a lost port says why here).
    statusBar()->setSizeGripEnabled(false);
}

void TmainForm::buildMenus() {
    QMenuBar* bar = menuBar();

    QMenu* file = bar->addMenu("&File");
    exitItem_ = file->addAction("E&xit");
    exitItem_->setObjectName("Exit1");
    connect(exitItem_, &QAction::triggered, this, &QWidget::close);

    sysCmdMenu_ = bar->addMenu("&SysCmd");
    sysCmdMenu_->setObjectName("Initialize1");
    startMonitorItem_ = sysCmdMenu_->addAction("&Start Monitor");
    startMonitorItem_->setObjectName("StartMonitor1");
    connect(startMonitorItem_, &QAction::triggered, this, &TmainForm::StartMonitor1Click);
    stopMonitorItem_ = sysCmdMenu_->addAction("Sto&p Monitor");
    stopMonitorItem_->setObjectName("StopMonitor1");
    stopMonitorItem_->setEnabled(false);
    connect(stopMonitorItem_, &QAction::triggered, this, &TmainForm::StopMonitor1Click);
    for (size_t i = 0; i < vx::kSystemCommands.size(); ++i) {
        const vx::SystemCommand& cmd = vx::kSystemCommands[i];
        QAction* a = sysCmdMenu_->addAction(
            QString::fromUtf8(cmd.caption.data(), qsizetype(cmd.caption.size())));
        a->setObjectName(kSystemItemNames[i]);
        const uint8_t code = cmd.code;
        // Nothing is sent while no source is open: the link refuses the write, and the status
        // bar says so.
        connect(a, &QAction::triggered, this, [this, a, code] {
            sendCommand(withoutAccelerator(a->text()),
                        [code](vx::FrameSink& sink) { return vx::sendSystem(sink, code); });
        });
        systemCommandItems_[i] = a;
    }
    restartReceiverItem_ = sysCmdMenu_->addAction("Restart Receiver");
    restartReceiverItem_->setObjectName("RestartMonitor1");
    connect(restartReceiverItem_, &QAction::triggered, this, [this] {
        sendCommand(withoutAccelerator(restartReceiverItem_->text()),
                    [](vx::FrameSink& sink) { return vx::monitorRestart(sink); });
    });

    // The window menus, in the order of their first item; an item shows when its window is
    // one of the console's windows.
    std::map<std::string, QMenu*> menus;
    std::map<std::string, QMenu*> submenus;
    internalMenu_ = nullptr;
    for (const MenuItemSpec& item : windows_.menu()) {
        QMenu*& menu = menus[item.menu];
        if (!menu) {
            menu = bar->addMenu(QString::fromLatin1(item.menu));
            if (item.menuObject) menu->setObjectName(item.menuObject);
            if (item.menuObject && std::string(item.menuObject) == "VorsandInternal")
                internalMenu_ = menu;
        }
        if (!windows_.inCatalogue(item.window)) continue;
        QMenu* target = menu;
        if (item.submenu) {
            QMenu*& sub = submenus[std::string(item.menu) + "/" + item.submenu];
            if (!sub) sub = menu->addMenu(QString::fromLatin1(item.submenu));
            target = sub;
        }
        QAction* a = target->addAction(QString::fromLatin1(item.caption));
        if (item.itemObject) a->setObjectName(item.itemObject);
        const vx::WindowId window = item.window;
        const MenuExtra extra = item.extra;
        connect(a, &QAction::triggered, this, [this, window, extra] {
            if (extra == MenuExtra::RaiseErrorFlag) console_.flags().errorPending = 1;
            QWidget* w = windows_.open(window);
            if (auto* purpose = dynamic_cast<MenuPurpose*>(w); purpose && extra != MenuExtra::None)
                purpose->openedFor(extra);
        });
    }
    // A menu none of whose windows exist yet stays in its place, greyed.
    for (auto& [name, menu] : menus) menu->menuAction()->setEnabled(!menu->isEmpty());
    if (!internalMenu_) internalMenu_ = bar->addMenu("&VORSAND");
    internalMenu_->setObjectName("VorsandInternal");
    internalMenu_->menuAction()->setEnabled(true);
}

void TmainForm::registerHandlers() {
    using R = vx::HandlerRole;
    routes_.onRecord<vx::StartupRecord>(
        R::StartupStatus,
        [this](const vx::StartupRecord& r, const vx::Routed&) { showStartupStatus(r); });
    routes_.on(R::ResetRunningTime,
               [this](const vx::Delivery&, const vx::RouteStep&) { resetRunningTime(); });
    routes_.onRecord<vx::SoftEventRecord>(
        R::AntennaEvent,
        [this](const vx::SoftEventRecord& r, const vx::Routed&) { noteAntennaEvent(r); });
    routes_.onRecord<vx::SoftEventRecord>(
        R::EventLogEntry,
        [this](const vx::SoftEventRecord& r, const vx::Routed&) { showEventLogEntry(r); });
    routes_.onRecord<vx::DrDataRecord>(
        R::FastFix, [this](const vx::DrDataRecord& r, const vx::Routed&) { showFastFix(r); });
    routes_.onRecord<vx::TimeConstellationRecord>(
        R::TimeSummary,
        [this](const vx::TimeConstellationRecord& r, const vx::Routed&) { showTimeSummary(r); });
    routes_.onRecord<vx::TimeConstellationRecord>(
        R::SearchStatus,
        [this](const vx::TimeConstellationRecord& r, const vx::Routed&) { showSearchStatus(r); });
    routes_.onRecord<vx::ChannelStatusRecord>(
        R::Channel,
        [this](const vx::ChannelStatusRecord& r, const vx::Routed&) { showChannel(r); });
    connect(&console_, &Console::frameSent, this, &TmainForm::txLamp);
    connect(&console_, &Console::linkLost, this, &TmainForm::linkLost);
    // The flash tools restart monitoring as Stop Monitor and Start Monitor do.
    console_.setMonitorCommands({[this] { StopMonitor1Click(); }, [this] { StartMonitor1Click(); },
                                 [this] {
                                     TsioForm* sio = sioForm();
                                     return sio && sio->settings().replay;
                                 }});
    connect(&console_, &Console::linkClaimChanged, this, &TmainForm::linkClaimChanged);
}

void TmainForm::linkClaimChanged(bool claimed) {
    // While a tool owns the link nothing else may send: no menu, no closing.
    menuBar()->setEnabled(!claimed);
    if (claimed)
        statusBar()->showMessage(kLinkOwnedText);
    else if (statusBar()->currentMessage() == kLinkOwnedText)
        statusBar()->clearMessage();
}

void TmainForm::peersCreated(WindowSet&) {
    TsioForm* sio = sioForm();
    if (!sio || sioConnected_) return;
    sioConnected_ = true;
    // OK in COM Setup: show its source text and switch monitoring to its source.
    connect(sio, &TsioForm::sourceChosen, this, [this](int index, const QString& text) {
        if (console_.linkClaimed()) { // the source stays as it is while a tool owns the link
            statusBar()->showMessage(kLinkOwnedText);
            return;
        }
        setSourceText(text);
        switchSource(index);
    });
}

TsioForm* TmainForm::sioForm() const {
    return windows_.find<TsioForm>(vx::WindowId::TsioForm);
}

TfrmIoReplay* TmainForm::ioReplayForm() const {
    return windows_.find<TfrmIoReplay>(vx::WindowId::TfrmIoReplay);
}

bool TmainForm::monitoring() const {
    return console_.monitoring();
}

void TmainForm::paint(Lamp* l, vx::Shade s) {
    l->setColour(colourOf(s));
}

void TmainForm::paint(Panel* p, vx::Shade s) {
    p->setColour(colourOf(s));
}

// ---- Monitoring --------------------------------------------------------------------------------

void TmainForm::StartMonitor1Click() {
    TsioForm* sio = sioForm();
    if (!sio) return;
    sourceIndex_ = int16_t(sio->portIndex());
    runningSeconds_ = 0;
    if (!sio->startLink()) {
        setSourcePanelColour(sourceIndex_, lamp::kRed);
        statusBar()->showMessage("Start Monitor failed: " + console_.lastError());
        return;
    }
    statusBar()->clearMessage();
    setSourcePanelColour(sourceIndex_, lamp::kGreen);
    runningTimer_->start();
    startMonitorItem_->setEnabled(false);
    stopMonitorItem_->setEnabled(true);
    if (TfrmIoReplay* io = ioReplayForm()) io->armCapture(sourceIndex_);
}

void TmainForm::StopMonitor1Click() {
    runningTimer_->stop();
    startMonitorItem_->setEnabled(true);
    stopMonitorItem_->setEnabled(false);
    if (TsioForm* sio = sioForm()) {
        sio->stopLink();
    } else {
        console_.stopMonitor();
    }
    resetDisplay();
    setSourcePanelColour(sourceIndex_, lamp::kYellow);
    if (TfrmIoReplay* io = ioReplayForm()) io->resetCapture();
}

void TmainForm::linkLost(const vx::LinkLoss& loss) {
    // A loss reported before a new start (or during shut-down) is old news.
    if (shutDown_ || !console_.link().lost()) return;
    // Everything Stop Monitor does (files flushed and closed, the display blanked), then the
    // panel turns red and the status bar says what happened and when.
    StopMonitor1Click();
    setSourcePanelColour(sourceIndex_, lamp::kRed);
    statusBar()->showMessage(q(vx::linkLossStatusText(loss)));
}

void TmainForm::sendCommand(const QString& caption,
                            const std::function<int(vx::FrameSink&)>& send) {
    if (send(console_.sink()) == 0) return;
    if (!console_.monitoring())
        statusBar()->showMessage(q(vx::notMonitoringText(caption.toStdString())));
    else
        statusBar()->showMessage(caption + " was not sent: writing to the port failed");
}

void TmainForm::switchSource(int index) {
    // A source panel's double-click or COM Setup's OK must not pull the link from under a
    // flash tool that owns it.
    if (console_.linkClaimed()) {
        statusBar()->showMessage(kLinkOwnedText);
        return;
    }
    StopMonitor1Click();
    TsioForm* sio = sioForm();
    if (!sio) return;
    sio->selectPort(index);
    setSourcePanelColour(sourceIndex_, Panel::faceColour());
    sourceIndex_ = int16_t(index);
    setSourceText(sio->comText());
    StartMonitor1Click();
}

void TmainForm::setSourceText(const QString& text) {
    sourceTextPanel_->setText(text);
}

void TmainForm::setSourcePanelColour(int index, const QColor& colour) {
    if (index < 0 || index >= kSourcePanels) return;
    sourcePanels_[size_t(index)]->setColour(colour);
}

void TmainForm::comWinDblClick(int index) {
    if (index < 0 || index > kReplayIndex) return;
    if (index == kReplayIndex) {
        if (TsioForm* sio = sioForm()) sio->clearReplayFileName();
    }
    switchSource(index);
}

void TmainForm::txLamp() {
    transmitLamp_->setColour(lamp::kGreen);
}

// ---- Timers ------------------------------------------------------------------------------------

void TmainForm::runningTimerTimer() {
    ++runningSeconds_;
    runningTimePanel_->setText(q(vx::runningTimeText(runningSeconds_)));
    runningTimePanel_->repaint();
    antennaPanel_->setText(q(vx::antennaText(antennaState_)));
    antennaState_ = 0;
    if (QWidget* err = windows_.find(vx::WindowId::TerrorForm)) {
        // Shown without taking the keyboard from the window the user is typing in.
        if (console_.flags().errorPending.load() != 0)
            showWithoutActivating(err);
        else
            err->hide();
    }
}

void TmainForm::blipTimerTimer() {
    vx::MonitorFlags& f = console_.flags();
    if (transmitLamp_->colour() != lamp::kWhite) transmitLamp_->setColour(lamp::kWhite);
    if (receiveLamp_->colour() != lamp::kWhite) {
        receiveLamp_->setColour(lamp::kWhite);
        f.rxSeen.store(0);
        f.rxDiagSeen.store(0);
    } else if (f.rxSeen.load()) {
        receiveLamp_->setColour(f.rxDiagSeen.load() ? lamp::kBlue : lamp::kGreen);
    }
}

void TmainForm::Panel4DblClick() {
    QAction* a = internalMenu_->menuAction();
    a->setVisible(!a->isVisible());
}

// ---- Display -----------------------------------------------------------------------------------

void TmainForm::showStartupStatus(const vx::StartupRecord& r) {
    startupStatusPanel_->setText(q(vx::startupStatusText(r.status)));
}

void TmainForm::noteAntennaEvent(const vx::SoftEventRecord& r) {
    antennaState_ = uint8_t(vx::antennaStateAfter(antennaState_, r.event_code));
}

void TmainForm::showEventLogEntry(const vx::SoftEventRecord& r) {
    if (auto line = vx::eventLogLine(r)) eventLogPanel_->setTextIfChanged(q(*line));
}

void TmainForm::showFastFix(const vx::DrDataRecord& r) {
    const vx::FastFixView v = vx::fastFixView(r);
    timeOfWeekPanel_->setTextIfChanged(q(v.time));
    latitudePanel_->setTextIfChanged(q(v.latitude));
    longitudePanel_->setTextIfChanged(q(v.longitude));
    altitudePanel_->setTextIfChanged(q(v.altitude));
    headingPanel_->setTextIfChanged(q(v.heading));
    speedPanel_->setTextIfChanged(q(v.speed));
    deltaTimePanel_->setTextIfChanged(q(v.deltaTime));
    positionAccuracyPanel_->setTextIfChanged(q(v.accPosition));
    altitudeAccuracyPanel_->setTextIfChanged(q(v.accAltitude));
    headingAccuracyPanel_->setTextIfChanged(q(v.accHeading));
    speedAccuracyPanel_->setTextIfChanged(q(v.accSpeed));
    timeSourcePanel_->setTextIfChanged(q(v.timeSource));
    paint(positionLamp_, v.position);
    paint(altitudeLamp_, v.altitudeLamp);
    paint(headingLamp_, v.headingLamp);
    paint(speedLamp_, v.speedLamp);
    paint(dirSwitchLamp_, v.dirSwitch);
    paint(deltaDistanceLamp_, v.deltaDist);
    paint(deltaHeadingLamp_, v.deltaHeading);
    paint(motionLamp_, v.motion);
    paint(motionIndicatorLamp_, v.motionIndicator);
    paint(directionLamp_, v.direction);
    paint(gyroCalibrationLamp_, v.gyroCal);
    paint(tachoCalibrationLamp_, v.tachoCal);
    gyroCountPanel_->setTextIfChanged(q(v.gyroCount));
    tachoCountPanel_->setTextIfChanged(q(v.tachoCount));
    gyroSamplesPanel_->setTextIfChanged(q(v.gyroSamples));
    dirSwitchValuePanel_->setTextIfChanged(q(v.dirSwitchValue));
    // The groups are repainted with the next paint pass: a fast replay delivers hundreds of
    // reports between two frames of the screen, and painting each would stall it.
    positionGroup_->update();
    accuracyGroup_->update();
    statusGroup_->update();
}

void TmainForm::showTimeSummary(const vx::TimeConstellationRecord& r) {
    const vx::TimeSummaryView v = vx::timeSummaryView(r);
    utcDatePanel_->setTextIfChanged(q(v.date));
    utcTimePanel_->setTextIfChanged(q(v.time));
    utcOffsetPanel_->setTextIfChanged(q(v.offset));
    pdopPanel_->setTextIfChanged(q(v.pdop));
    hdopPanel_->setTextIfChanged(q(v.hdop));
    vdopPanel_->setTextIfChanged(q(v.vdop));
}

void TmainForm::showSearchStatus(const vx::TimeConstellationRecord& r) {
    searchModePanel_->setTextIfChanged(q(vx::searchModeText(r.search_mode)));
    almanacStatusPanel_->setTextIfChanged(q(vx::almanacStatusText(r.search_mode)));
}

void TmainForm::blankRow(int row, const QColor& colour) {
    for (Panel* p : {svPanels_[size_t(row)], snrPanels_[size_t(row)], elevationPanels_[size_t(row)],
                     azimuthPanels_[size_t(row)]}) {
        p->clear();
        p->setColour(colour);
    }
}

void TmainForm::showChannel(const vx::ChannelStatusRecord& r) {
    if (r.channel >= kRows) return;
    const bool blank = channelRows_.note(r.channel);
    const size_t row = r.channel;
    const vx::ChannelRowView v = vx::channelRowView(r);
    svPanels_[row]->setTextIfChanged(q(v.sv));
    paint(svPanels_[row], v.svShade);
    snrPanels_[row]->setTextIfChanged(q(v.snr));
    snrPanels_[row]->setColour(lamp::kWhite);
    elevationPanels_[row]->setTextIfChanged(q(v.elevation));
    paint(elevationPanels_[row], v.elevationShade);
    azimuthPanels_[row]->setTextIfChanged(q(v.azimuth));
    azimuthPanels_[row]->setColour(lamp::kWhite);
    if (QWidget* sky = windows_.find(vx::WindowId::TskyPlotForm); sky && sky->isVisible()) {
        if (auto* view = dynamic_cast<ChannelRecordView*>(sky)) view->showChannelRecord(r);
    }
    if (blank) {
        for (int i = 8; i < kRows; ++i) blankRow(i, Panel::faceColour());
    }
}

void TmainForm::resetDisplay() {
    for (size_t r = 0; r < kRows; ++r) {
        svPanels_[r]->clear();
        svPanels_[r]->setColour(lamp::kWhite);
        snrPanels_[r]->clear();
        elevationPanels_[r]->clear();
        elevationPanels_[r]->setColour(lamp::kWhite);
        azimuthPanels_[r]->clear();
    }
    for (Panel* p : {utcTimePanel_,
                     utcDatePanel_,
                     timeOfWeekPanel_,
                     deltaTimePanel_,
                     utcOffsetPanel_,
                     latitudePanel_,
                     longitudePanel_,
                     altitudePanel_,
                     headingPanel_,
                     speedPanel_,
                     positionAccuracyPanel_,
                     altitudeAccuracyPanel_,
                     headingAccuracyPanel_,
                     speedAccuracyPanel_,
                     timeSourcePanel_,
                     pdopPanel_,
                     hdopPanel_,
                     vdopPanel_,
                     searchModePanel_,
                     almanacStatusPanel_,
                     gyroCountPanel_,
                     tachoCountPanel_,
                     gyroSamplesPanel_,
                     dirSwitchValuePanel_,
                     eventLogPanel_,
                     startupStatusPanel_,
                     antennaPanel_})
        p->clear();
    for (Lamp* l :
         {dirSwitchLamp_, deltaDistanceLamp_, deltaHeadingLamp_, motionIndicatorLamp_,
          gyroCalibrationLamp_, tachoCalibrationLamp_, directionLamp_, positionLamp_, headingLamp_,
          altitudeLamp_, speedLamp_, motionLamp_, transmitLamp_, receiveLamp_})
        l->setColour(lamp::kWhite);
}

// ---- Shut-down ---------------------------------------------------------------------------------

void TmainForm::closeEvent(QCloseEvent* e) {
    if (!shutDown_ && console_.linkClaimed()) {
        // A flash tool is in the middle of its work with the receiver: stopping now would
        // leave the receiver in its monitor, or its flash half written.
        e->ignore();
        statusBar()->showMessage(kLinkOwnedText);
        return;
    }
    if (!shutDown_) {
        shutDown_ = true;
        runningTimer_->stop();
        // 1. The link first: the receive worker ends before any window goes away.
        console_.stopMonitor();
        // 2. The data logging window closes (its files are closed when it is destroyed).
        if (QWidget* log = windows_.find(vx::WindowId::TlogForm)) log->close();
        // 3. The windows created on first use, in their order.
        windows_.destroyFirstUseWindows();
    }
    e->accept();
    // 4. The program ends; the remaining windows are destroyed with the window set.
    QCoreApplication::quit();
}
