// "Send Random Serial Data": feeds the receiver's serial input with noise to test its parser.
// Two streams, random bytes and random messages (0x10, random bytes with 0x10 doubled,
// 0x10 0x03), each at random lengths and random intervals within limits the user sets; both
// can run at once. Nothing is received or checked; the receiver's reaction is watched in the
// other windows.
//
// Each stream writes through its own AsyncWriter, so the window never waits for the port: a
// tick that comes while the stream's previous burst is still being written is skipped and
// counted. A drawn interval of 0 stops that stream. The status line shows what each stream
// wrote and skipped.
#pragma once

#include "widgets/console_dialog_qt.h"

#include "console/console_qt.h"
#include "link/async_writer.h"
#include "testtools/random_serial.h"

#include <QWidget>

#include <memory>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;

class TrandomSerialForm : public ConsoleDialog {
    Q_OBJECT
public:
    explicit TrandomSerialForm(Console& console, QWidget* parent = nullptr);
    ~TrandomSerialForm() override;

    // Tests draw from a script instead of the standard generator.
    void setRandomDraw(std::unique_ptr<vx::RandomDraw> draw) { rng_ = std::move(draw); }

    struct StreamCounts {
        uint64_t ticks = 0;   // ticks that built and handed on a burst
        uint64_t skipped = 0; // ticks skipped while the previous burst was still being written
        bool stoppedByZero = false;
    };
    const StreamCounts& byteCounts() const { return byteStream_.counts; }
    const StreamCounts& messageCounts() const { return messageStream_.counts; }
    const vx::AsyncWriter& byteWriter() const { return *byteStream_.writer; }
    const vx::AsyncWriter& messageWriter() const { return *messageStream_.writer; }

public slots:
    void startButtonClick();
    void stopButtonClick();
    void closeButtonClick();
    void byteTimerTimer();
    void messageTimerTimer();
    void statusTimerTimer();

protected:
private:
    struct Stream {
        QCheckBox* check = nullptr;
        QLineEdit *minLen = nullptr, *maxLen = nullptr, *minTime = nullptr, *maxTime = nullptr;
        QTimer* timer = nullptr;
        vx::RandomLimits limits;
        std::unique_ptr<vx::AsyncWriter> writer = std::make_unique<vx::AsyncWriter>();
        StreamCounts counts;
        bool message = false;
    };
    void buildStream(Stream& s, const char* group, const char* checkText, const char* prefix);
    std::string readStream(Stream& s, const char* group, vx::RandomLimits& out);
    void startStream(Stream& s);
    void tickStream(Stream& s);
    QString streamStatus(const char* name, const Stream& s) const;

    RouteBinding routes_;
    Stream byteStream_;
    Stream messageStream_;
    QPushButton* startButton_;
    QPushButton* stopButton_;
    QPushButton* closeButton_;
    QLabel* statusLabel_;
    QTimer* statusTimer_;
    std::unique_ptr<vx::RandomDraw> rng_;
};
