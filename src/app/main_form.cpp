#include "app/main_form.h"

#include "app/catalogue.h"
#include "app/console_qt.h"
#include "app/monitor_ops.h"
#include "app/window_catalogue_qt.h"
#include "link/io_replay_form.h"
#include "link/sio_form.h"
#include "widgets/lamp_qt.h"
#include "widgets/panel_qt.h"

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

// A panel for a value, with its minimum width in pixels.
Panel* valuePanel(QWidget* parent, int width = 70) {
    auto* p = new Panel(parent);
    p->setMinimumWidth(width);
    p->setFixedHeight(17);
    return p;
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

    runningTimer = new QTimer(this);
    runningTimer->setObjectName("runningTimer");
    runningTimer->setInterval(1000);
    connect(runningTimer, &QTimer::timeout, this, &TmainForm::runningTimerTimer);
    blipTimer = new QTimer(this);
    blipTimer->setObjectName("blipTimer");
    blipTimer->setInterval(200);
    connect(blipTimer, &QTimer::timeout, this, &TmainForm::blipTimerTimer);
    blipTimer->start();

    VorsandInternal->menuAction()->setVisible(windows_.options().internalMenu);
    sourceIndex = 0;
    antennaState = 0;
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

TmainForm::~TmainForm() = default;

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
    // Rows of label / panel / unit.
    auto addRow = [](QGridLayout* g, int row, const QString& text, Panel* panel, QWidget* parent,
                     const QString& unit = {}) {
        g->addWidget(label(text, parent), row, 0);
        g->addWidget(panel, row, 1);
        if (!unit.isEmpty()) g->addWidget(label(unit, parent), row, 2);
    };

    // Time
    timeGroup = makeGroup("Time", "timeGroup");
    {
        auto* g = tightGrid(timeGroup);
        timeWin = valuePanel(timeGroup);
        dateWin = valuePanel(timeGroup);
        msecWin = valuePanel(timeGroup);
        deltaTimeWin = valuePanel(timeGroup);
        offsetWin = valuePanel(timeGroup);
        addRow(g, 0, "UTC Time", timeWin, timeGroup);
        addRow(g, 1, "UTC Date", dateWin, timeGroup);
        addRow(g, 2, "Time", msecWin, timeGroup);
        addRow(g, 3, "Delta Time", deltaTimeWin, timeGroup);
        addRow(g, 4, "Offset", offsetWin, timeGroup);
    }
    // Accuracy
    accuracyGroup = makeGroup("Accuracy", "accuracyGroup");
    {
        auto* g = tightGrid(accuracyGroup);
        accPosWin = valuePanel(accuracyGroup, 56);
        accAltWin = valuePanel(accuracyGroup, 56);
        accHeadingWin = valuePanel(accuracyGroup, 56);
        accSpeedWin = valuePanel(accuracyGroup, 56);
        addRow(g, 0, "Position", accPosWin, accuracyGroup, "meters");
        addRow(g, 1, "Altitude", accAltWin, accuracyGroup, "meters");
        addRow(g, 2, "Heading", accHeadingWin, accuracyGroup, "sc");
        addRow(g, 3, "Speed", accSpeedWin, accuracyGroup, "cm/s");
        g->setRowStretch(4, 1);
    }
    // Position
    positionGroup = makeGroup("Position", "positionGroup");
    {
        auto* g = tightGrid(positionGroup);
        latWin = valuePanel(positionGroup, 84);
        lonWin = valuePanel(positionGroup, 84);
        altWin = valuePanel(positionGroup, 84);
        headingWin = valuePanel(positionGroup, 84);
        speedWin = valuePanel(positionGroup, 84);
        addRow(g, 0, "Latitute", latWin, positionGroup, "rad");
        addRow(g, 1, "Longitude", lonWin, positionGroup, "rad");
        addRow(g, 2, "Altitude", altWin, positionGroup, "meters");
        addRow(g, 3, "Heading", headingWin, positionGroup, "sc");
        addRow(g, 4, "Speed", speedWin, positionGroup, "cm/s");
    }
    // Status lamps
    statusGroup = makeGroup("Status", "statusGroup");
    {
        auto* g = tightGrid(statusGroup);
        struct LampDef {
            Lamp** lamp;
            const char* name;
            const char* text;
        };
        const LampDef lamps[] = {
            {&posStatus, "posStatus", "Position"},
            {&headingStatus, "headingStatus", "Heading"},
            {&speedStatus, "speedStatus", "Speed"},
            {&dirSwitchStatus, "dirSwitchStatus", "Direction switch"},
            {&deltaDistStatus, "deltaDistStatus", "Delta distance"},
            {&deltaHeadingStatus, "deltaHeadingStatus", "Delta heading"},
            {&motionStatus, "motionStatus", "Motion"},
            {&motionIndStatus, "motionIndStatus", "Motion indicator"},
            {&altStatus, "altStatus", "Altitude"},
            {&gyroStatus, "gyroStatus", "Gyro Calibration"},
            {&tachoStatus, "tachoStatus", "Tacho Calibration"},
            {&dirStatus, "dirStatus", "Direction (forward)"},
        };
        int i = 0;
        for (const LampDef& d : lamps) {
            *d.lamp = new Lamp(statusGroup, 11);
            (*d.lamp)->setObjectName(d.name);
            const int row = i % 6, col = (i / 6) * 2;
            g->addWidget(*d.lamp, row, col);
            g->addWidget(label(d.text, statusGroup), row, col + 1);
            ++i;
        }
        timeSourceWin = valuePanel(statusGroup, 90);
        g->addWidget(label("Time source", statusGroup), 6, 0, 1, 2);
        g->addWidget(timeSourceWin, 6, 2, 1, 2);
    }
    // DOPs
    dopGroup = makeGroup("DOPs", "dopGroup");
    {
        auto* g = tightGrid(dopGroup);
        pdopWin = valuePanel(dopGroup, 44);
        hdopWin = valuePanel(dopGroup, 44);
        vdopWin = valuePanel(dopGroup, 44);
        addRow(g, 0, "PDOP", pdopWin, dopGroup);
        addRow(g, 1, "HDOP", hdopWin, dopGroup);
        addRow(g, 2, "VDOP", vdopWin, dopGroup);
    }
    // Counts panel
    auto* counts = new QFrame(central);
    counts->setObjectName("countsPanel");
    counts->setFrameStyle(QFrame::Panel | QFrame::Raised);
    {
        auto* g = tightGrid(counts);
        gyroCntWin = valuePanel(counts, 60);
        tachoCntWin = valuePanel(counts, 60);
        gyroNoWin = valuePanel(counts, 60);
        dirSwitchValWin = valuePanel(counts, 60);
        addRow(g, 0, "Gyro Counts", gyroCntWin, counts);
        addRow(g, 1, "Tacho Counts ", tachoCntWin, counts);
        addRow(g, 2, "# Samples", gyroNoWin, counts);
        addRow(g, 3, "Dir switch val", dirSwitchValWin, counts);
    }
    // Search mode and almanac (unnamed group)
    auto* searchGroup = makeGroup(QString(), "searchGroup");
    {
        auto* g = tightGrid(searchGroup);
        searchModeWin = valuePanel(searchGroup, 76);
        almanecStatusWin = valuePanel(searchGroup, 76);
        addRow(g, 0, "Srch Mode", searchModeWin, searchGroup);
        addRow(g, 1, "Almanac", almanecStatusWin, searchGroup);
    }
    // SV Info
    svGroup = makeGroup("SV Info", "svGroup");
    {
        auto* g = tightGrid(svGroup);
        const char* heads[4] = {"SV", "SNR", "Elev", "Azi"};
        for (int c = 0; c < 4; ++c) {
            auto* h = label(heads[c], svGroup);
            h->setAlignment(Qt::AlignCenter);
            g->addWidget(h, 0, c);
        }
        for (int r = 0; r < kRows; ++r) {
            const QString n = QString::number(r + 1);
            svPanels[r] = valuePanel(svGroup, 28);
            svPanels[r]->setObjectName("svWin" + n);
            snrPanels[r] = valuePanel(svGroup, 34);
            snrPanels[r]->setObjectName("sigWin" + n);
            elevPanels[r] = valuePanel(svGroup, 30);
            elevPanels[r]->setObjectName("elveWin" + n);
            aziPanels[r] = valuePanel(svGroup, 30);
            aziPanels[r]->setObjectName("aziWin" + n);
            g->addWidget(svPanels[r], r + 1, 0);
            g->addWidget(snrPanels[r], r + 1, 1);
            g->addWidget(elevPanels[r], r + 1, 2);
            g->addWidget(aziPanels[r], r + 1, 3);
        }
        g->setRowStretch(kRows + 1, 1);
    }
    // COM: the source panels, "F" first, then 1 to 32.
    comGroup = makeGroup("COM", "comGroup");
    {
        auto* row = new QHBoxLayout(comGroup);
        row->setContentsMargins(4, 2, 4, 3);
        row->setSpacing(1);
        QFont small = font();
        small.setPointSizeF(small.pointSizeF() * 0.8);
        auto addSource = [&](int index, const QString& caption, const QString& name) {
            auto* p = new Panel(comGroup, caption);
            p->setObjectName(name);
            p->setFont(small);
            p->setFixedSize(18, 16);
            p->setColour(Panel::faceColour());
            p->setProperty("sourceIndex", index); // the tag
            p->setToolTip(index == kReplayIndex
                              ? "Replay file (double-click to switch)"
                              : QString("COM%1 (double-click to switch)").arg(index + 1));
            connect(p, &Panel::doubleClicked, this, [this, index] { comWinDblClick(index); });
            comPanels[index] = p;
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
    eventLogWin = valuePanel(central, 300);
    eventLogWin->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    eventLogWin->setFixedHeight(19);
    antennaStatusWin = valuePanel(central, 100);
    antennaStatusWin->setFixedHeight(19);
    eventRow->addWidget(lastEvent);
    eventRow->addWidget(eventLogWin, 1);
    eventRow->addWidget(antennaStatusWin);

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
        txStatus = new Lamp(lampPanel, 11);
        txStatus->setObjectName("txStatus");
        rxStatus = new Lamp(lampPanel, 11);
        rxStatus->setObjectName("rxStatus");
        l->addWidget(txStatus);
        l->addWidget(label("Tx", lampPanel));
        l->addWidget(rxStatus);
        l->addWidget(label("Rx", lampPanel));
    }
    Panel4 = new Panel(central);
    Panel4->setObjectName("Panel4");
    Panel4->setFixedSize(5, 19);
    Panel4->setColour(Panel::faceColour());
    connect(Panel4, &Panel::doubleClicked, this, &TmainForm::Panel4DblClick);
    startupStatus = valuePanel(central, 190);
    startupStatus->setObjectName("startupStatus");
    startupStatus->setFixedHeight(19);
    Panel3 = valuePanel(central, 150);
    Panel3->setObjectName("Panel3");
    Panel3->setFixedHeight(19);
    Panel3->setColour(Panel::faceColour());
    Panel2 = valuePanel(central, 130);
    Panel2->setObjectName("Panel2");
    Panel2->setFixedHeight(19);
    Panel2->setColour(Panel::faceColour());
    Panel2->setText("COM1-38400-8-None-1");
    lampRow->addWidget(lampPanel);
    lampRow->addWidget(Panel4);
    lampRow->addWidget(startupStatus, 1);
    lampRow->addWidget(Panel3);
    lampRow->addWidget(Panel2);

    // Arrangement: left column Time / Position / DOPs+Counts+Search, middle Accuracy /
    // Status, right SV Info; COM and the bottom rows across.
    auto* top = new QHBoxLayout;
    top->setSpacing(3);
    auto* left = new QVBoxLayout;
    left->setSpacing(3);
    auto* firstRow = new QHBoxLayout;
    firstRow->setSpacing(3);
    firstRow->addWidget(timeGroup);
    firstRow->addWidget(accuracyGroup);
    left->addLayout(firstRow);
    auto* secondRow = new QHBoxLayout;
    secondRow->setSpacing(3);
    secondRow->addWidget(positionGroup);
    secondRow->addWidget(statusGroup);
    left->addLayout(secondRow);
    auto* thirdRow = new QHBoxLayout;
    thirdRow->setSpacing(3);
    thirdRow->addWidget(dopGroup);
    thirdRow->addWidget(counts);
    thirdRow->addWidget(searchGroup);
    left->addLayout(thirdRow);
    top->addLayout(left);
    top->addWidget(svGroup);
    outer->addLayout(top);
    outer->addWidget(comGroup);
    outer->addLayout(eventRow);
    outer->addLayout(lampRow);

    // Start-up and link messages (a failed start says why here).
    statusBar()->setSizeGripEnabled(false);
}

void TmainForm::buildMenus() {
    QMenuBar* bar = menuBar();

    QMenu* file = bar->addMenu("&File");
    Exit1 = file->addAction("E&xit");
    Exit1->setObjectName("Exit1");
    connect(Exit1, &QAction::triggered, this, &QWidget::close);

    Initialize1 = bar->addMenu("&SysCmd");
    Initialize1->setObjectName("Initialize1");
    StartMonitor1 = Initialize1->addAction("&Start Monitor");
    StartMonitor1->setObjectName("StartMonitor1");
    connect(StartMonitor1, &QAction::triggered, this, &TmainForm::StartMonitor1Click);
    StopMonitor1 = Initialize1->addAction("Sto&p Monitor");
    StopMonitor1->setObjectName("StopMonitor1");
    StopMonitor1->setEnabled(false);
    connect(StopMonitor1, &QAction::triggered, this, &TmainForm::StopMonitor1Click);
    for (size_t i = 0; i < vx::kSystemCommands.size(); ++i) {
        const vx::SystemCommand& cmd = vx::kSystemCommands[i];
        QAction* a = Initialize1->addAction(
            QString::fromUtf8(cmd.caption.data(), qsizetype(cmd.caption.size())));
        a->setObjectName(kSystemItemNames[i]);
        const uint8_t code = cmd.code;
        // Nothing is sent while no source is open: the link refuses the write.
        connect(a, &QAction::triggered, this,
                [this, code] { vx::sendSystem(console_.sink(), code); });
        systemCommandItems[i] = a;
    }
    RestartMonitor1 = Initialize1->addAction("Restart Receiver");
    RestartMonitor1->setObjectName("RestartMonitor1");
    connect(RestartMonitor1, &QAction::triggered, this,
            [this] { vx::monitorRestart(console_.sink()); });

    // The window menus, in the order of their first item; an item shows when its window is
    // one of the console's windows.
    std::map<std::string, QMenu*> menus;
    std::map<std::string, QMenu*> submenus;
    VorsandInternal = nullptr;
    for (const MenuItemSpec& item : windowMenu()) {
        QMenu*& menu = menus[item.menu];
        if (!menu) {
            menu = bar->addMenu(QString::fromLatin1(item.menu));
            if (item.menuObject) menu->setObjectName(item.menuObject);
            if (item.menuObject && std::string(item.menuObject) == "VorsandInternal")
                VorsandInternal = menu;
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
            windows_.open(window);
        });
    }
    // A menu none of whose windows exist yet stays in its place, greyed.
    for (auto& [name, menu] : menus) menu->menuAction()->setEnabled(!menu->isEmpty());
    if (!VorsandInternal) VorsandInternal = bar->addMenu("&VORSAND");
    VorsandInternal->setObjectName("VorsandInternal");
    VorsandInternal->menuAction()->setEnabled(true);
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
}

void TmainForm::peersCreated(WindowSet&) {
    TsioForm* sio = sioForm();
    if (!sio || sioConnected_) return;
    sioConnected_ = true;
    // OK in COM Setup: show its source text and switch monitoring to its source.
    connect(sio, &TsioForm::sourceChosen, this, [this](int index, const QString& text) {
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
    sourceIndex = int16_t(sio->portIndex());
    runningSeconds = 0;
    if (!sio->startLink()) {
        setSourcePanelColour(sourceIndex, lamp::kRed);
        statusBar()->showMessage("Start Monitor failed: " + console_.lastError());
        return;
    }
    statusBar()->clearMessage();
    setSourcePanelColour(sourceIndex, lamp::kGreen);
    runningTimer->start();
    StartMonitor1->setEnabled(false);
    StopMonitor1->setEnabled(true);
    if (TfrmIoReplay* io = ioReplayForm()) io->armCapture(sourceIndex);
}

void TmainForm::StopMonitor1Click() {
    runningTimer->stop();
    StartMonitor1->setEnabled(true);
    StopMonitor1->setEnabled(false);
    if (TsioForm* sio = sioForm()) {
        sio->stopLink();
    } else {
        console_.stopMonitor();
    }
    resetDisplay();
    setSourcePanelColour(sourceIndex, lamp::kYellow);
    if (TfrmIoReplay* io = ioReplayForm()) io->resetCapture();
}

void TmainForm::switchSource(int index) {
    StopMonitor1Click();
    TsioForm* sio = sioForm();
    if (!sio) return;
    sio->selectPort(index);
    setSourcePanelColour(sourceIndex, Panel::faceColour());
    sourceIndex = int16_t(index);
    setSourceText(sio->comText());
    StartMonitor1Click();
}

void TmainForm::setSourceText(const QString& text) {
    Panel2->setText(text);
}

void TmainForm::setSourcePanelColour(int index, const QColor& colour) {
    if (index < 0 || index >= kSourcePanels) return;
    comPanels[size_t(index)]->setColour(colour);
}

void TmainForm::comWinDblClick(int index) {
    if (index < 0 || index > kReplayIndex) return;
    if (index == kReplayIndex) {
        if (TsioForm* sio = sioForm()) sio->clearReplayFileName();
    }
    switchSource(index);
}

void TmainForm::txLamp() {
    txStatus->setColour(lamp::kGreen);
}

// ---- Timers ------------------------------------------------------------------------------------

void TmainForm::runningTimerTimer() {
    ++runningSeconds;
    Panel3->setText(q(vx::runningTimeText(runningSeconds)));
    Panel3->repaint();
    antennaStatusWin->setText(q(vx::antennaText(antennaState)));
    antennaState = 0;
    if (QWidget* err = windows_.find(vx::WindowId::TerrorForm))
        err->setVisible(console_.flags().errorPending.load() != 0);
}

void TmainForm::blipTimerTimer() {
    vx::MonitorFlags& f = console_.flags();
    if (txStatus->colour() != lamp::kWhite) txStatus->setColour(lamp::kWhite);
    if (rxStatus->colour() != lamp::kWhite) {
        rxStatus->setColour(lamp::kWhite);
        f.rxSeen.store(0);
        f.rxDiagSeen.store(0);
    } else if (f.rxSeen.load()) {
        rxStatus->setColour(f.rxDiagSeen.load() ? lamp::kBlue : lamp::kGreen);
    }
}

void TmainForm::Panel4DblClick() {
    QAction* a = VorsandInternal->menuAction();
    a->setVisible(!a->isVisible());
}

// ---- Display -----------------------------------------------------------------------------------

void TmainForm::showStartupStatus(const vx::StartupRecord& r) {
    startupStatus->setText(q(vx::startupStatusText(r.status)));
}

void TmainForm::noteAntennaEvent(const vx::SoftEventRecord& r) {
    antennaState = uint8_t(vx::antennaStateAfter(antennaState, r.event_code));
}

void TmainForm::showEventLogEntry(const vx::SoftEventRecord& r) {
    if (auto line = vx::eventLogLine(r)) eventLogWin->setTextIfChanged(q(*line));
}

void TmainForm::showFastFix(const vx::DrDataRecord& r) {
    const vx::FastFixView v = vx::fastFixView(r);
    msecWin->setTextIfChanged(q(v.time));
    latWin->setTextIfChanged(q(v.latitude));
    lonWin->setTextIfChanged(q(v.longitude));
    altWin->setTextIfChanged(q(v.altitude));
    headingWin->setTextIfChanged(q(v.heading));
    speedWin->setTextIfChanged(q(v.speed));
    deltaTimeWin->setTextIfChanged(q(v.deltaTime));
    accPosWin->setTextIfChanged(q(v.accPosition));
    accAltWin->setTextIfChanged(q(v.accAltitude));
    accHeadingWin->setTextIfChanged(q(v.accHeading));
    accSpeedWin->setTextIfChanged(q(v.accSpeed));
    timeSourceWin->setTextIfChanged(q(v.timeSource));
    paint(posStatus, v.position);
    paint(altStatus, v.altitudeLamp);
    paint(headingStatus, v.headingLamp);
    paint(speedStatus, v.speedLamp);
    paint(dirSwitchStatus, v.dirSwitch);
    paint(deltaDistStatus, v.deltaDist);
    paint(deltaHeadingStatus, v.deltaHeading);
    paint(motionStatus, v.motion);
    paint(motionIndStatus, v.motionIndicator);
    paint(dirStatus, v.direction);
    paint(gyroStatus, v.gyroCal);
    paint(tachoStatus, v.tachoCal);
    gyroCntWin->setTextIfChanged(q(v.gyroCount));
    tachoCntWin->setTextIfChanged(q(v.tachoCount));
    gyroNoWin->setTextIfChanged(q(v.gyroSamples));
    dirSwitchValWin->setTextIfChanged(q(v.dirSwitchValue));
    // The groups are repainted with the next paint pass: a fast replay delivers hundreds of
    // reports between two frames of the screen, and painting each would stall it.
    positionGroup->update();
    accuracyGroup->update();
    statusGroup->update();
}

void TmainForm::showTimeSummary(const vx::TimeConstellationRecord& r) {
    const vx::TimeSummaryView v = vx::timeSummaryView(r);
    dateWin->setTextIfChanged(q(v.date));
    timeWin->setTextIfChanged(q(v.time));
    offsetWin->setTextIfChanged(q(v.offset));
    pdopWin->setTextIfChanged(q(v.pdop));
    hdopWin->setTextIfChanged(q(v.hdop));
    vdopWin->setTextIfChanged(q(v.vdop));
}

void TmainForm::showSearchStatus(const vx::TimeConstellationRecord& r) {
    searchModeWin->setTextIfChanged(q(vx::searchModeText(r.search_mode)));
    almanecStatusWin->setTextIfChanged(q(vx::almanacStatusText(r.search_mode)));
}

void TmainForm::blankRow(int row, const QColor& colour) {
    for (Panel* p : {svPanels[size_t(row)], snrPanels[size_t(row)], elevPanels[size_t(row)],
                     aziPanels[size_t(row)]}) {
        p->clear();
        p->setColour(colour);
    }
}

void TmainForm::showChannel(const vx::ChannelStatusRecord& r) {
    if (r.channel >= kRows) return;
    const bool blank = channelRows.note(r.channel);
    const size_t row = r.channel;
    const vx::ChannelRowView v = vx::channelRowView(r);
    svPanels[row]->setTextIfChanged(q(v.sv));
    paint(svPanels[row], v.svShade);
    snrPanels[row]->setTextIfChanged(q(v.snr));
    snrPanels[row]->setColour(lamp::kWhite);
    elevPanels[row]->setTextIfChanged(q(v.elevation));
    paint(elevPanels[row], v.elevationShade);
    aziPanels[row]->setTextIfChanged(q(v.azimuth));
    aziPanels[row]->setColour(lamp::kWhite);
    if (QWidget* sky = windows_.find(vx::WindowId::TskyPlotForm); sky && sky->isVisible()) {
        if (auto* view = dynamic_cast<ChannelRecordView*>(sky)) view->showChannelRecord(r);
    }
    if (blank) {
        for (int i = 8; i < kRows; ++i) blankRow(i, Panel::faceColour());
    }
}

void TmainForm::resetDisplay() {
    for (int r = 0; r < kRows; ++r) {
        svPanels[size_t(r)]->clear();
        svPanels[size_t(r)]->setColour(lamp::kWhite);
        snrPanels[size_t(r)]->clear();
        elevPanels[size_t(r)]->clear();
        elevPanels[size_t(r)]->setColour(lamp::kWhite);
        aziPanels[size_t(r)]->clear();
    }
    for (Panel* p :
         {timeWin,       dateWin,         msecWin,       deltaTimeWin,    offsetWin,
          latWin,        lonWin,          altWin,        headingWin,      speedWin,
          accPosWin,     accAltWin,       accHeadingWin, accSpeedWin,     timeSourceWin,
          pdopWin,       hdopWin,         vdopWin,       searchModeWin,   almanecStatusWin,
          gyroCntWin,    tachoCntWin,     gyroNoWin,     dirSwitchValWin, eventLogWin,
          startupStatus, antennaStatusWin})
        p->clear();
    for (Lamp* l : {dirSwitchStatus, deltaDistStatus, deltaHeadingStatus, motionIndStatus,
                    gyroStatus, tachoStatus, dirStatus, posStatus, headingStatus, altStatus,
                    speedStatus, motionStatus, txStatus, rxStatus})
        l->setColour(lamp::kWhite);
}

// ---- Shut-down ---------------------------------------------------------------------------------

void TmainForm::closeEvent(QCloseEvent* e) {
    if (!shutDown_) {
        shutDown_ = true;
        runningTimer->stop();
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
