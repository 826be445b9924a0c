// "Almanac Download/Upload" (created on first use): copies the receiver's almanac (34 pages of
// code 0x28) to a file, writes a file back into the receiver, or clears the receiver's
// almanac (config/almanac_file).
//
// - Upload parses the whole file before the first page goes out; a file that is not exactly
//   34 sound records shows "Error in parsing the file." and sends nothing.
// - Download keeps the pages by satellite and writes them in canonical order when it ends; a
//   download that misses any page writes the file marked incomplete (0xFF 0xFF).
// - The 34 frames go out 50 ms apart from a timer ("Uploading page 12 of 34"), with Start
//   disabled; the result is judged on the acknowledgement of page 0x13 (upload, clear) or
//   its reply (download), or when the 3000 ms response timer runs out. A frame the link
//   refuses ends the operation as failed at once. Acknowledgements and pages that arrive
//   while no operation of this window runs are ignored.
#pragma once

#include "widgets/console_dialog_qt.h"

#include "config/almanac_file.h"
#include "console/console_qt.h"
#include "console/script_runner_qt.h"

#include <bitset>

class Lamp;
class Panel;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTimer;

class TalmanacForm : public ConsoleDialog {
    Q_OBJECT
public:
    static constexpr int kPageGapMs = 50;
    static constexpr int kResponseTimeoutMs = 3000;

    explicit TalmanacForm(Console& console, QWidget* parent = nullptr);

    QTimer* responseTimer() const { return responseTimer_; }
    ScriptRunner& runner() { return *runner_; }
    bool busy() const { return operation_ != Operation::None; }

public slots:
    void startButtonClick();
    void file10ButtonClick();
    void responseTimerTimer();
    void RadioButton1Click();

private:
    enum class Operation { None, Upload, Download, Clear };

    void startUpload(const QString& path);
    void startDownload(const QString& path);
    void run(Operation op, vx::PacedScript script);
    void stepSent(int sent, int total, bool ok);
    void scriptFinished(bool ok);
    void pageArrived(uint8_t subcode, std::span<const uint8_t> payload, const QString& status);
    void setAck(const vx::AckRecord& a);
    // Ends the operation: green with okText, or red with the operation's failure text.
    void judge();
    void end(bool ok, const QString& text);
    QString failureText() const;

    RouteBinding routes_;
    QLineEdit* almFileWin_;
    QRadioButton* upRadio_;
    QRadioButton* downRadio_;
    QRadioButton* clearRadio_;
    QComboBox* sourceWin_;
    QCheckBox* stripBox_;
    QPushButton* startButton_;
    Lamp* statusLED_;
    Panel* statusWin_;
    QTimer* responseTimer_;
    ScriptRunner* runner_;

    Operation operation_ = Operation::None;
    bool allSent_ = false;
    bool lastPageAnswered_ = false; // page 0x13's reply or acknowledgement came
    std::bitset<vx::kAlmanacPageCount + 1> acked_;
    vx::AlmanacDownload download_;
    QString downloadPath_;
    vx::AlmanacFileForm downloadForm_ = vx::AlmanacFileForm::Framed;
};
