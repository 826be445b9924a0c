// The main window: the menu of the whole console, Start and Stop Monitor, the 33 source
// panels, the TX and RX lamps, the running time and the live status display of the receiver
// (1201 start-up status, 1401 event log and antenna, 3002 fast fix, 3201 time and search
// status, 3301 satellite rows).
//
// The display operations run on the GUI thread: the console's hand-over consumer calls the
// handlers registered here in routing-table order. They take the decoded records; the texts
// and colours come from status_texts.h.
//
// While a tool owns the link (a flash tool working in the receiver's monitor) the menus are
// disabled and closing the window is refused.
//
// When the link loses its port (receiver unplugged or killed) the window stops monitoring as
// Stop Monitor does, paints the source panel red and says so in the status bar. A command
// that cannot be sent because nothing is monitored says so in the status bar too.
//
// Widgets are private; each has the object name its description gives it ("latWin",
// "StartMonitor1", "comWin0"), by which tests find it.
#pragma once

#include "app/status_texts.h"
#include "console/channel_record_view.h"
#include "console/console_qt.h"
#include "console/window_set_qt.h"
#include "link/records.h"
#include "link/serial_link.h"

#include <QColor>
#include <QMainWindow>
#include <QString>

#include <array>
#include <cstdint>
#include <functional>

class Lamp;
class Panel;
class QAction;
class QGroupBox;
class QMenu;
class QTimer;
class TsioForm;
class TfrmIoReplay;

class TmainForm : public QMainWindow, public WindowPeers {
    Q_OBJECT
public:
    static constexpr int kSourcePanels = 33; // COM1..COM32 at 0..31, the replay file at 32
    static constexpr int kReplayIndex = 32;
    static constexpr int kRows = 12;

    explicit TmainForm(WindowSet& windows);
    ~TmainForm() override;

    // ---- Operations offered to the other windows
    void StartMonitor1Click();
    void StopMonitor1Click();
    // Stop Monitor, then Start Monitor on source index; refused (status bar) while a tool
    // owns the link.
    void switchSource(int index);
    void setSourceText(const QString& text);
    void setSourcePanelColour(int index, const QColor& colour);
    // Paints the TX lamp lime (after each frame written).
    void txLamp();

    // ---- Display operations
    void showStartupStatus(const vx::StartupRecord& r);
    void resetRunningTime() { runningSeconds_ = 0; }
    void noteAntennaEvent(const vx::SoftEventRecord& r);
    void showEventLogEntry(const vx::SoftEventRecord& r);
    void showFastFix(const vx::DrDataRecord& r);
    void showTimeSummary(const vx::TimeConstellationRecord& r);
    void showSearchStatus(const vx::TimeConstellationRecord& r);
    void showChannel(const vx::ChannelStatusRecord& r);
    void resetDisplay();

    // ---- State
    // The source being monitored (or last tried): 0..31 COM1..COM32, 32 the replay file.
    int sourceIndex() const { return sourceIndex_; }
    int32_t runningSeconds() const { return runningSeconds_; }
    // 0 normal, 1 open, 2 short: what the next running-timer tick shows.
    int antennaState() const { return antennaState_; }
    // Reports for rows 1 to 8 since the last one for rows 9 to 12.
    uint32_t channelRowCount() const { return channelRows_.count(); }
    bool monitoring() const;

    // Connects to COM Setup's OK.
    void peersCreated(WindowSet& windows) override;

public slots:
    // ---- Event handlers
    void comWinDblClick(int index);
    void runningTimerTimer();
    void blipTimerTimer();
    void Panel4DblClick();

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    void buildPanels();
    void buildMenus();
    void registerHandlers();
    TsioForm* sioForm() const;
    TfrmIoReplay* ioReplayForm() const;
    void paint(Lamp* lamp, vx::Shade shade);
    void paint(Panel* panel, vx::Shade shade);
    void blankRow(int row, const QColor& colour);
    // Sends a command of the SysCmd menu; a command that does not go out says why in the
    // status bar. caption is the menu caption without its accelerator.
    void sendCommand(const QString& caption, const std::function<int(vx::FrameSink&)>& send);
    // The link lost its port (on the GUI thread).
    void linkLost(const vx::LinkLoss& loss);
    // A tool claimed the link or gave it back.
    void linkClaimChanged(bool claimed);

    WindowSet& windows_;
    Console& console_;
    RouteBinding routes_;
    bool shutDown_ = false;
    bool sioConnected_ = false;

    int16_t sourceIndex_ = 0;
    uint8_t antennaState_ = 0;
    int32_t runningSeconds_ = 0;
    vx::ChannelRowBlanking channelRows_;

    // ---- Widgets (object names in quotes)
    QGroupBox* timeGroup_ = nullptr;
    Panel* utcTimePanel_ = nullptr;    // "timeWin"
    Panel* utcDatePanel_ = nullptr;    // "dateWin"
    Panel* timeOfWeekPanel_ = nullptr; // "msecWin"
    Panel* deltaTimePanel_ = nullptr;  // "deltaTimeWin"
    Panel* utcOffsetPanel_ = nullptr;  // "offsetWin"
    QGroupBox* accuracyGroup_ = nullptr;
    Panel* positionAccuracyPanel_ = nullptr; // "accPosWin"
    Panel* altitudeAccuracyPanel_ = nullptr; // "accAltWin"
    Panel* headingAccuracyPanel_ = nullptr;  // "accHeadingWin"
    Panel* speedAccuracyPanel_ = nullptr;    // "accSpeedWin"
    QGroupBox* svGroup_ = nullptr;
    // "svWin1".."svWin12", "sigWin1".., "elveWin1".., "aziWin1"..
    std::array<Panel*, kRows> svPanels_{}, snrPanels_{}, elevationPanels_{}, azimuthPanels_{};
    QGroupBox* comGroup_ = nullptr;
    std::array<Panel*, kSourcePanels> sourcePanels_{}; // "comWin1".."comWin32", "comWin0"
    QGroupBox* positionGroup_ = nullptr;
    Panel* latitudePanel_ = nullptr;  // "latWin"
    Panel* longitudePanel_ = nullptr; // "lonWin"
    Panel* altitudePanel_ = nullptr;  // "altWin"
    Panel* headingPanel_ = nullptr;   // "headingWin"
    Panel* speedPanel_ = nullptr;     // "speedWin"
    QGroupBox* statusGroup_ = nullptr;
    Lamp* positionLamp_ = nullptr;         // "posStatus"
    Lamp* headingLamp_ = nullptr;          // "headingStatus"
    Lamp* speedLamp_ = nullptr;            // "speedStatus"
    Lamp* dirSwitchLamp_ = nullptr;        // "dirSwitchStatus"
    Lamp* deltaDistanceLamp_ = nullptr;    // "deltaDistStatus"
    Lamp* deltaHeadingLamp_ = nullptr;     // "deltaHeadingStatus"
    Lamp* motionLamp_ = nullptr;           // "motionStatus"
    Lamp* motionIndicatorLamp_ = nullptr;  // "motionIndStatus"
    Lamp* altitudeLamp_ = nullptr;         // "altStatus"
    Lamp* gyroCalibrationLamp_ = nullptr;  // "gyroStatus"
    Lamp* tachoCalibrationLamp_ = nullptr; // "tachoStatus"
    Lamp* directionLamp_ = nullptr;        // "dirStatus"
    Panel* timeSourcePanel_ = nullptr;     // "timeSourceWin"
    QGroupBox* dopGroup_ = nullptr;
    Panel* pdopPanel_ = nullptr;           // "pdopWin"
    Panel* hdopPanel_ = nullptr;           // "hdopWin"
    Panel* vdopPanel_ = nullptr;           // "vdopWin"
    Panel* gyroCountPanel_ = nullptr;      // "gyroCntWin"
    Panel* tachoCountPanel_ = nullptr;     // "tachoCntWin"
    Panel* gyroSamplesPanel_ = nullptr;    // "gyroNoWin"
    Panel* dirSwitchValuePanel_ = nullptr; // "dirSwitchValWin"
    Panel* searchModePanel_ = nullptr;     // "searchModeWin"
    Panel* almanacStatusPanel_ = nullptr;  // "almanecStatusWin"
    Panel* eventLogPanel_ = nullptr;       // "eventLogWin"
    Panel* antennaPanel_ = nullptr;        // "antennaStatusWin"
    Lamp* transmitLamp_ = nullptr;         // "txStatus"
    Lamp* receiveLamp_ = nullptr;          // "rxStatus"
    Panel* internalMenuToggle_ = nullptr;  // "Panel4"
    Panel* startupStatusPanel_ = nullptr;  // "startupStatus"
    Panel* runningTimePanel_ = nullptr;    // "Panel3"
    Panel* sourceTextPanel_ = nullptr;     // "Panel2"

    QMenu* sysCmdMenu_ = nullptr;                   // "Initialize1"
    QAction* exitItem_ = nullptr;                   // "Exit1"
    QAction* startMonitorItem_ = nullptr;           // "StartMonitor1"
    QAction* stopMonitorItem_ = nullptr;            // "StopMonitor1"
    QAction* restartReceiverItem_ = nullptr;        // "RestartMonitor1"
    std::array<QAction*, 10> systemCommandItems_{}; // 0301..030A: "HotReset1", ...
    QMenu* internalMenu_ = nullptr;                 // "VorsandInternal"

    QTimer* runningTimer_ = nullptr; // "runningTimer"
    QTimer* blipTimer_ = nullptr;    // "blipTimer"
};
