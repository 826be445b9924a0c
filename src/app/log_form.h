// "Data Logging": up to three logs at once, each with a file, Start, Stop and a lamp.
//
// - "5 Hz Packet(s)": the 3002 reports, as text lines or as the received frames.
// - "1 Hz Packet(s)": 3101, 3201, twelve 3301 and the 36xx reports combined into one line per
//   second, or their received frames.
// - "Log All Binary Data": every received byte.
//
// The window owns a DataLogger (app/data_log.h, no Qt) and hands it the routed reports (on the
// GUI thread, whether the window is shown or not) and the serial link's raw chunks (a tap, on
// the receive worker). A lamp blinks lime while its log writes; a write error stops that log,
// paints its lamp red and says so. Closing the window only hides it: the logs go on. Files are
// flushed a few times a second and on Stop, and closed when the window is destroyed.
#pragma once

#include "widgets/console_dialog_qt.h"

#include "app/data_log.h"
#include "console/console_qt.h"

#include <QWidget>

class Lamp;
class QCheckBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTimer;

class TlogForm : public ConsoleDialog {
    Q_OBJECT
public:
    explicit TlogForm(Console& console, QWidget* parent = nullptr);
    ~TlogForm() override;

    // How often the lamps blink back to white and the files are flushed.
    static constexpr int kBlipMs = 200;

public slots:
    void file10ButtonClick();
    void file1ButtonClick();
    void FileBinButtonClick();
    void tenStartButtonClick();
    void tenStopButtonClick();
    void oneStartButtonClick();
    void oneStopButtonClick();
    void binStartButtonClick();
    void binStopButtonClick();
    void closeButtonClick();
    // Blinks lime lamps back to white (while shown) and writes the files' buffers out.
    void blipTimerTimer();
    // Takes what the logger reported: writes (lamps lime) and write errors.
    void logEvents();

private:
    // One of the three groups.
    struct Group {
        QLineEdit* file = nullptr;
        QPushButton* browse = nullptr;
        QRadioButton* ascii = nullptr; // packet logs only
        QRadioButton* binary = nullptr;
        QPushButton* start = nullptr;
        QPushButton* stop = nullptr;
        Lamp* lamp = nullptr;
        vx::LogKind kind{}; // what the group runs (or ran last)
    };

    void buildControls();
    void chooseFile(Group& g, const QString& caption);
    // The checks, the overwrite question and the open; true when the log runs.
    bool startLog(Group& g, vx::LogKind kind, bool anySelected,
                  const vx::OneHzSelection& selection = {});
    void stopLog(Group& g);
    void setRunning(Group& g, bool running);
    Group& groupOf(vx::LogKind kind);
    void warn(const QString& text);

    RouteBinding routes_;
    vx::DataLogger logger_;

    Group five_, one_, bin_;
    QCheckBox* check30_ = nullptr;
    QCheckBox* check31_ = nullptr;
    QCheckBox* check32_ = nullptr;
    QCheckBox* check33_ = nullptr;
    QCheckBox* check36_ = nullptr;
    QPushButton* closeButton_ = nullptr;
    QTimer* blipTimer_ = nullptr;
};
