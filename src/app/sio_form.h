// COM Setup: where the receiver's bytes come from (a COM slot with its baud rate and parity, or
// a replay file), the replay delay, and the short source text of the main window
// ("COM1-38400-8-None-1" or "FILE"). It owns the link settings that Start Monitor uses.
//
// Beside the COM list it shows the device path mapped to the selected slot (COM1 is
// /dev/ttyS0 unless `--com 1=PATH` said otherwise); editing it changes the slot map when OK is
// pressed.
//
// A fixed-size dialog (single border, system menu only), centred on the screen.
#pragma once

#include "console/console_qt.h"
#include "link/com_slots.h"
#include "link/link_settings.h"

#include "widgets/console_dialog_qt.h"
#include <QString>

#include <atomic>
#include <functional>
#include <map>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;

class TsioForm : public ConsoleDialog {
    Q_OBJECT
public:
    TsioForm(Console& console, vx::ComSlots& slotMap, QWidget* parent = nullptr);
    ~TsioForm() override;

    // The baud table: the baudBox items and the baud rate are taken from it by index.
    static constexpr int kBaudTable[5] = {4800, 9600, 19200, 38400, 115200};

    // ---- Operations for the main window
    // Starts monitoring with the current settings (the console's link). True on success.
    bool startLink();
    // Stops monitoring. True unless it failed (nothing was running).
    bool stopLink();
    // Selects source n: 32 is the replay file, 0..31 the COM slot with that index.
    void selectPort(int n);
    // Empties the replay file name box.
    void clearReplayFileName();
    // "FILE" or "COM%d-%d-8" with "-None-1", "-Odd-1" or "-Even-1".
    QString comText() const;
    int portIndex() const { return settings_.portIndex; }
    const vx::LinkSettings& settings() const { return settings_; }
    int32_t replayDelay() const { return replayDelay_.load(); }

    // The file-open dialog "Select File to Replay" (existing files only). Returns the chosen
    // path, or empty when cancelled. Tests replace it.
    std::function<QString()> chooseReplayFile;

signals:
    // OK accepted the settings: the main window shows the text and switches monitoring to the
    // source.
    void sourceChosen(int portIndex, const QString& comText);

public slots:
    void FormShow();
    void GroupBox1Enter();
    void GroupBox2Enter();
    void btnOpenFileClick();
    void sedFastFixDelayChange();
    void okButtonClick();
    void cancelButtonClick();

protected:
    // Enter clicks OK, the window's default button (unlike the other windows, where Enter in a
    // field clicks nothing).
    void keyPressEvent(QKeyEvent* e) override { QDialog::keyPressEvent(e); }
    void showEvent(QShowEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    bool collectSettings();
    void comBoxChange(int index);
    void devicePathEdited(const QString& text);
    void placeRadioButtons();
    void focusMoved(QWidget* now);

    Console& console_;
    vx::ComSlots& slots_;
    vx::LinkSettings settings_;
    std::atomic<int32_t> replayDelay_{0};
    // Device paths edited but not applied yet (slot index -> path), applied by OK.
    std::map<int, std::string> pendingPaths_;
    bool showingSlot_ = false;

    // ---- Widgets (object names in quotes)
    QGroupBox* serialGroup_;        // "GroupBox1"
    QRadioButton* serialPortRadio_; // "rbSerialPort"
    QComboBox* comList_;            // "comBox"
    QLineEdit* devicePathEdit_;     // "edDevicePath": the device of the selected COM slot
    QComboBox* baudList_;           // "baudBox"
    QComboBox* parityList_;         // "parityBox"
    QComboBox* dataBitsList_;       // "dataBox"
    QComboBox* stopBitsList_;       // "stopBox"
    QGroupBox* replayGroup_;        // "GroupBox2"
    QRadioButton* replayFileRadio_; // "rbFile"
    QLineEdit* fileNameEdit_;       // "edFilename"
    QPushButton* browseButton_;     // "btnOpenFile"
    QSpinBox* fastFixDelaySpin_;    // "sedFastFixDelay"
    QPushButton* okButton_;         // "okButton"
    QPushButton* cancelButton_;     // "cancelButton"
};
