// "Send Random Serial Data": the bursts and messages each tick writes, the refusals, the tick
// skipped while the port still writes the last burst, an interval of 0; then noise against the
// simulated receiver, which must still answer afterwards.
#include "testtools/random_serial_form.h"

#include "sim/sim_runner.h"
#include "support/console_rig_qt.h"
#include "testtools/gen_pkt_form.h"
#include "widgets/lamp_qt.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>

using vxtest::ConsoleOnSimulatedReceiver;
using vxtest::ConsoleRig;
using vxtest::ConsoleWindows;
using vxtest::pumpUntil;

namespace {

// 0, 1, 2, ... from a start value.
class CountingDraw : public vx::RandomDraw {
public:
    explicit CountingDraw(uint32_t first) : next_(first) {}
    uint32_t next() override { return next_++; }

private:
    uint32_t next_;
};

// A link that holds every write until it is opened: a port slower than the ticks.
class SlowSink : public vx::FrameSink {
public:
    int sendFrame(const uint8_t*, uint16_t length) override {
        std::unique_lock lk(mu_);
        cv_.wait(lk, [&] { return open_; });
        written_ += length;
        return 0;
    }
    void open() {
        {
            std::lock_guard lk(mu_);
            open_ = true;
        }
        cv_.notify_all();
    }

private:
    std::mutex mu_;
    std::condition_variable cv_;
    bool open_ = false;
    size_t written_ = 0;
};

struct Window {
    ConsoleRig rig;
    TrandomSerialForm form{rig.console};
    std::vector<vxtest::Message> boxes;

    Window() {
        msg::setInterceptor([this](msg::Kind k, const QString& title, const QString& text) {
            boxes.push_back({k, title, text});
        });
    }
    ~Window() { msg::setInterceptor(nullptr); }

    template <class T> T* w(const QString& name) { return form.findChild<T*>(name); }
    void limits(const QString& prefix, const char* minLen, const char* maxLen, const char* minT,
                const char* maxT) {
        w<QCheckBox>(prefix == "byte" ? "randomByteCB" : "randomMessageCB")->setChecked(true);
        w<QLineEdit>(prefix + "MinLenWin")->setText(minLen);
        w<QLineEdit>(prefix + "MaxLenWin")->setText(maxLen);
        w<QLineEdit>(prefix + "MinTimeWin")->setText(minT);
        w<QLineEdit>(prefix + "MaxTimeWin")->setText(maxT);
    }
    void start() { QTest::mouseClick(w<QPushButton>("startButton"), Qt::LeftButton); }
    bool idle() {
        return form.byteWriter().waitIdle(std::chrono::seconds(10)) &&
               form.messageWriter().waitIdle(std::chrono::seconds(10));
    }
};

TEST(RandomSerialForm, BurstsMessagesAndRefusals) {
    struct Case {
        const char* name;
        const char* stream; // "byte" or "message"
        const char *minLen, *maxLen, *minT, *maxT;
        uint32_t firstDraw;
        const char* error;   // the "Error" box; nothing starts
        const char* written; // what one tick writes
        int interval;        // the stream's timer after Start
    };
    const Case cases[] = {
        {"five bytes every 100 ms", "byte", "5", "5", "100", "100", 0, nullptr, "03 04 05 06 07",
         100},
        {"length and time drawn within the limits", "byte", "1", "3", "10", "19", 8, nullptr,
         "0B 0C", 18},
        {"message of length 1", "message", "1", "1", "50", "50", 0, nullptr, "10 10 03", 50},
        {"a random 0x10 is doubled", "message", "3", "3", "50", "50", 0x0D, nullptr,
         "10 10 10 11 10 03", 50},
        {"minimum above maximum", "byte", "6", "5", "1", "1", 0,
         "Random Bytes: the Minimum Length is greater than the Maximum Length.", nullptr, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Window win;
        ASSERT_TRUE(win.rig.start());
        win.form.setRandomDraw(std::make_unique<CountingDraw>(c.firstDraw));
        const QString stream = c.stream;
        win.limits(stream, c.minLen, c.maxLen, c.minT, c.maxT);
        win.start();
        QTimer* timer = win.w<QTimer>(stream + "Timer");
        if (c.error) {
            ASSERT_EQ(win.boxes.size(), 1u);
            EXPECT_EQ(win.boxes[0].title, "Error");
            EXPECT_EQ(win.boxes[0].text, c.error);
            EXPECT_TRUE(win.w<QPushButton>("startButton")->isEnabled());
            EXPECT_FALSE(timer->isActive());
            continue;
        }
        EXPECT_FALSE(win.w<QPushButton>("startButton")->isEnabled());
        EXPECT_TRUE(win.w<QPushButton>("stopButton")->isEnabled());
        ASSERT_TRUE(timer->isActive());
        EXPECT_EQ(timer->interval(), c.interval);
        timer->stop(); // ticks by hand
        if (stream == "byte") {
            win.form.byteTimerTimer();
        } else {
            win.form.messageTimerTimer();
        }
        ASSERT_TRUE(win.idle());
        const size_t n = vxtest::bytes(c.written).size();
        EXPECT_EQ(vxtest::hex(win.rig.pty.read(n)), c.written);
        QTest::mouseClick(win.w<QPushButton>("stopButton"), Qt::LeftButton);
        EXPECT_TRUE(win.w<QPushButton>("startButton")->isEnabled());
    }
}

TEST(RandomSerialForm, ATickWhileThePortStillWritesIsSkipped) {
    SlowSink slow;
    Window win;
    win.rig.console.setSink(&slow);
    win.limits("byte", "60000", "60000", "5", "5");
    win.start();
    win.w<QTimer>("byteTimer")->stop();
    win.form.byteTimerTimer(); // hands the burst on and returns at once
    EXPECT_TRUE(win.form.byteWriter().pending());
    win.form.byteTimerTimer();
    win.form.byteTimerTimer();
    EXPECT_EQ(win.form.byteCounts().ticks, 1u);
    EXPECT_EQ(win.form.byteCounts().skipped, 2u);
    win.form.statusTimerTimer();
    EXPECT_TRUE(win.w<QLabel>("statusLabel")->text().contains("2 ticks skipped (port busy)"));
    slow.open();
    ASSERT_TRUE(win.idle());
    EXPECT_EQ(win.form.byteWriter().bytesWritten(), 60000u);
    win.form.byteTimerTimer();
    EXPECT_EQ(win.form.byteCounts().ticks, 2u);
    ASSERT_TRUE(win.idle());
}

TEST(RandomSerialForm, IntervalZeroStopsTheStreamAndNoStreamOnlySwapsTheButtons) {
    Window win;
    ASSERT_TRUE(win.rig.start());
    win.limits("byte", "1", "1", "0", "0");
    win.start();
    EXPECT_FALSE(win.w<QTimer>("byteTimer")->isActive());
    EXPECT_TRUE(win.form.byteCounts().stoppedByZero);
    EXPECT_TRUE(win.w<QLabel>("statusLabel")->text().contains("stopped (interval 0)"));
    QTest::mouseClick(win.w<QPushButton>("stopButton"), Qt::LeftButton);

    // A drawn interval of 0 in a tick stops the stream after that tick's burst.
    win.form.setRandomDraw(std::make_unique<CountingDraw>(0));
    win.limits("byte", "1", "1", "0", "1");
    win.start(); // draws 0 % 2 + 0 = 0: stopped at once
    EXPECT_FALSE(win.w<QTimer>("byteTimer")->isActive());
    QTest::mouseClick(win.w<QPushButton>("stopButton"), Qt::LeftButton);

    win.w<QCheckBox>("randomByteCB")->setChecked(false);
    win.start();
    EXPECT_FALSE(win.w<QPushButton>("startButton")->isEnabled());
    EXPECT_TRUE(win.w<QPushButton>("stopButton")->isEnabled());
    QTest::mouseClick(win.w<QPushButton>("stopButton"), Qt::LeftButton);
    EXPECT_TRUE(win.w<QPushButton>("startButton")->isEnabled());
    EXPECT_FALSE(win.w<QPushButton>("stopButton")->isEnabled());
    EXPECT_TRUE(win.boxes.empty());
    EXPECT_EQ(win.rig.sentNowHex(), "");
}

} // namespace

// ---- On the simulated receiver --------------------------------------------------------------

namespace {

TEST_F(ConsoleOnSimulatedReceiver, RandomDataAndTheReceiverStillAnswers) {
    startSimulatedReceiver();

    auto* form = windows->find<TrandomSerialForm>(vx::WindowId::TrandomSerialForm);
    ASSERT_NE(form, nullptr);
    windows->open(vx::WindowId::TrandomSerialForm);
    auto set = [&](const char* name, const char* v) {
        form->findChild<QLineEdit*>(name)->setText(v);
    };
    form->findChild<QCheckBox*>("randomByteCB")->setChecked(true);
    form->findChild<QCheckBox*>("randomMessageCB")->setChecked(true);
    const char* limits[] = {"1", "300", "1", "4", "1", "100", "1", "4"};
    int i = 0;
    for (const char* stream : {"byte", "message"})
        for (const char* box : {"MinLenWin", "MaxLenWin", "MinTimeWin", "MaxTimeWin"})
            set((QString(stream) + box).toLatin1().constData(), limits[i++]);
    form->startButtonClick();
    // The event loop keeps turning while both streams run: a 10 ms timer is never late by
    // much.
    QElapsedTimer clock;
    clock.start();
    qint64 last = 0, worst = 0;
    QTimer probe;
    QObject::connect(&probe, &QTimer::timeout, [&] {
        worst = std::max(worst, clock.elapsed() - last);
        last = clock.elapsed();
    });
    probe.start(10);
    // Until both streams have run a while and the receiver has had some of it.
    EXPECT_TRUE(pumpUntil(
        [&] {
            return form->byteCounts().ticks > 20 && form->messageCounts().ticks > 20 &&
                   form->byteWriter().bytesWritten() > 1000 &&
                   sim->stats().badFramesReceived + sim->stats().commandsReceived > 0;
        },
        30000));
    probe.stop();
    form->stopButtonClick();
    EXPECT_GT(form->byteCounts().ticks, 20u);
    EXPECT_GT(form->messageCounts().ticks, 20u);
    EXPECT_GT(form->byteWriter().bytesWritten(), 1000u);
    EXPECT_LT(worst, 1000) << "the window froze";
    EXPECT_GT(sim->stats().badFramesReceived + sim->stats().commandsReceived, 0u);

    // The receiver still answers a Query.
    auto* gen = windows->find<TgenPktForm>(vx::WindowId::TgenPktForm);
    windows->open(vx::WindowId::TgenPktForm);
    gen->findChild<QComboBox*>("commandCB")->setCurrentIndex(1);
    gen->findChild<QLineEdit*>("pCodeEdit")->setText("21");
    gen->findChild<QLineEdit*>("pSubcodeEdit")->setText("01");
    auto* led = gen->findChild<Lamp*>("sendLED");
    // The noise may leave the receiver inside an unfinished frame that swallows a query: sent
    // again until one is answered.
    ASSERT_TRUE(pumpUntil(
        [&] {
            gen->sendButtonClick();
            if (pumpUntil([&] { return led->colour() == lamp::kGreen; }, 150)) return true;
            gen->responseTimerTimer();
            return false;
        },
        30000));
    EXPECT_EQ(gen->findChild<QPlainTextEdit*>("responseMemo")->toPlainText(), "05 ");
}

} // namespace
