// The main window: the menu of the whole console, Start and Stop Monitor, the 33 source
// panels, the TX and RX lamps, the running time and the live status display of the receiver
// (1201 start-up status, 1401 event log and antenna, 3002 fast fix, 3201 time and search
// status, 3301 satellite rows).
//
// The display operations run on the GUI thread: the console's hand-over consumer calls the
// handlers registered here in routing-table order. They take the decoded records; the texts
// and colours come from status_texts.h.
#pragma once

#include "app/console_qt.h"
#include "app/status_texts.h"
#include "app/window_catalogue_qt.h"
#include "link/records.h"

#include <QColor>
#include <QMainWindow>
#include <QString>

#include <array>
#include <cstdint>

class Lamp;
class Panel;
class QAction;
class QGroupBox;
class QLabel;
class QMenu;
class QTimer;
class TsioForm;
class TfrmIoReplay;

// A window that also shows the main window's channel reports while it is visible (the sky
// plot): the main window hands it each 3301 record after its own row.
class ChannelRecordView {
public:
    virtual ~ChannelRecordView() = default;
    virtual void showChannelRecord(const vx::ChannelStatusRecord& r) = 0;
};

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
    void switchSource(int index);
    void setSourceText(const QString& text);
    void setSourcePanelColour(int index, const QColor& colour);
    // Paints the TX lamp lime (after each frame written).
    void txLamp();

    // ---- Display operations
    void showStartupStatus(const vx::StartupRecord& r);
    void resetRunningTime() { runningSeconds = 0; }
    void noteAntennaEvent(const vx::SoftEventRecord& r);
    void showEventLogEntry(const vx::SoftEventRecord& r);
    void showFastFix(const vx::DrDataRecord& r);
    void showTimeSummary(const vx::TimeConstellationRecord& r);
    void showSearchStatus(const vx::TimeConstellationRecord& r);
    void showChannel(const vx::ChannelStatusRecord& r);
    void resetDisplay();

    // ---- Event handlers
    void comWinDblClick(int index);
    void runningTimerTimer();
    void blipTimerTimer();
    void Panel4DblClick();

    // ---- State
    int16_t sourceIndex = 0;
    uint8_t antennaState = 0;
    int32_t runningSeconds = 0;
    vx::ChannelRowBlanking channelRows;
    bool monitoring() const;

    // ---- Components
    QGroupBox* timeGroup;
    Panel *timeWin, *dateWin, *msecWin, *deltaTimeWin, *offsetWin;
    QGroupBox* accuracyGroup;
    Panel *accPosWin, *accAltWin, *accHeadingWin, *accSpeedWin;
    QGroupBox* svGroup;
    std::array<Panel*, kRows> svPanels{}, snrPanels{}, elevPanels{}, aziPanels{};
    QGroupBox* comGroup;
    std::array<Panel*, kSourcePanels> comPanels{};
    QGroupBox* positionGroup;
    Panel *latWin, *lonWin, *altWin, *headingWin, *speedWin;
    QGroupBox* statusGroup;
    Lamp *posStatus, *headingStatus, *speedStatus, *dirSwitchStatus, *deltaDistStatus,
        *deltaHeadingStatus, *motionStatus, *motionIndStatus, *altStatus, *gyroStatus, *tachoStatus,
        *dirStatus;
    Panel* timeSourceWin;
    QGroupBox* dopGroup;
    Panel *pdopWin, *hdopWin, *vdopWin;
    Panel *gyroCntWin, *tachoCntWin, *gyroNoWin, *dirSwitchValWin;
    Panel *searchModeWin, *almanecStatusWin;
    Panel *eventLogWin, *antennaStatusWin;
    Lamp *txStatus, *rxStatus;
    Panel *Panel4, *startupStatus, *Panel3, *Panel2;

    QMenu* Initialize1; // "&SysCmd"
    QAction *Exit1, *StartMonitor1, *StopMonitor1, *RestartMonitor1;
    std::array<QAction*, 10> systemCommandItems{}; // 0301..030A in menu order
    QMenu* VorsandInternal;

    QTimer* runningTimer;
    QTimer* blipTimer;

    // Connects to COM Setup's OK.
    void peersCreated(WindowSet& windows) override;

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

    WindowSet& windows_;
    Console& console_;
    RouteBinding routes_;
    bool shutDown_ = false;
    bool sioConnected_ = false;
};
