// "Batch Generic Packets": the frames each row writes and in which order and rhythm, the
// refusals, the counting of responses and missed responses, the occurrence counter; then the
// packet tools (this and "Send Generic Packet") against the simulated receiver.
#include "testtools/batch_generic_form.h"

#include "sim/sim_runner.h"
#include "support/console_rig_qt.h"
#include "support/temp_path.h"
#include "testtools/gen_pkt_form.h"
#include "widgets/lamp_qt.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <condition_variable>
#include <cstdio>
#include <functional>
#include <mutex>

using vxtest::ConsoleOnSimulatedReceiver;
using vxtest::ConsoleRig;
using vxtest::ConsoleWindows;
using vxtest::pumpUntil;

namespace {

struct Row {
    const char* data;
    bool index = false;
    bool text = false;
};

struct Window {
    ConsoleRig rig;
    TbatchGenericForm form{rig.console};
    std::vector<vxtest::Message> boxes;

    Window() {
        msg::setInterceptor([this](msg::Kind k, const QString& title, const QString& text) {
            boxes.push_back({k, title, text});
        });
    }
    ~Window() { msg::setInterceptor(nullptr); }

    template <class T> T* w(const QString& name) { return form.findChild<T*>(name); }
    QLineEdit* box(const QString& name) { return w<QLineEdit>(name); }
    QString field(const char* name, int row) { return box(name + QString::number(row))->text(); }
    QTimer* sendTimer() { return w<QTimer>("sendTimer"); }

    void setup(const char* send, const char* batch, const char* cycles,
               const std::vector<Row>& rows) {
        box("sendIntervalWin")->setText(send);
        box("batchIntervalWin")->setText(batch);
        box("cyclesWin")->setText(cycles);
        for (int i = 0; i < 5; ++i) {
            const QString n = QString::number(i);
            const Row r = i < int(rows.size()) ? rows[size_t(i)] : Row{""};
            box("dataWin" + n)->setText(r.data);
            w<QCheckBox>("CheckBox" + n)->setChecked(r.index);
            w<QCheckBox>("cb_text" + n)->setChecked(r.text);
        }
    }
    // Start Test, with the send ticks then driven by hand.
    void start() {
        QTest::mouseClick(w<QPushButton>("startButton"), Qt::LeftButton);
        sendTimer()->stop();
    }
    // One send tick; returns when its frame has been written.
    void tick() {
        form.sendTimerTimer();
        ASSERT_TRUE(form.waitWritten(10000));
    }
    void answer(const std::vector<uint8_t>& frame) {
        uint64_t before = rig.console.delivered();
        rig.receiveBytes(frame);
        ASSERT_TRUE(rig.waitDelivered(before + 1));
    }
};

TEST(BatchGenericForm, RowsFramesRhythmAndRefusals) {
    std::string t129;
    for (int i = 0; i < 129; ++i) t129 += "01 ";
    struct Case {
        std::vector<const char*> params; // send interval, batch interval, cycles
        std::vector<Row> rows;
        // The label after Start and "frame@interval after it" for every send, or the "Error"
        // box (nothing starts).
        std::vector<std::string> result;
    };
    const std::vector<Case> cases = {
        {{"100", "1000", "3"},
         {{"02 21 01"}, {""}, {"01 21 01 0A"}},
         {"Time Remaining: 00:00:04  ", "81 02 21 01 D9 82@100", "81 01 21 01 0A D0 82@1000",
          "81 02 21 01 D9 82@100", "81 01 21 01 0A D0 82@1000", "81 02 21 01 D9 82@100",
          "81 01 21 01 0A D0 82@1000"}},
        // A typed frame goes out unchanged, a text row with CR LF, escapes; short rows are
        // left out.
        {{"5", "7", "1"},
         {{"81 02 21 01 D9 82"},
          {"AB", false, true},
          {"02 21"},
          {"02 21 01", true},
          {"02 36 07 85", true}},
         {"Time Remaining: 00:00:01  ", "81 02 21 01 D9 82@5", "41 42 0D 0A@5",
          "81 02 36 07 80 05 39 82@7"}},
        {{"1", "1", "1"}, {{"01"}, {t129.c_str()}}, {"Size of data is greater than 128 bytes."}},
        {{"1", "1", "-2"}, {{"02 21 01"}}, {"Cycles: cannot be negative."}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.result[0]);
        Window win;
        ASSERT_TRUE(win.rig.start());
        win.setup(c.params[0], c.params[1], c.params[2], c.rows);
        win.start();
        if (!win.boxes.empty()) {
            EXPECT_EQ(win.boxes[0].title, "Error");
            EXPECT_EQ(win.boxes[0].text.toStdString(), c.result[0]);
            EXPECT_FALSE(win.form.running());
            continue;
        }
        EXPECT_FALSE(win.w<QPushButton>("startButton")->isEnabled());
        EXPECT_EQ(win.sendTimer()->interval(), 500); // the first send follows Start by 500 ms
        std::vector<std::string> got{win.w<QLabel>("timeLabel")->text().toStdString()};
        for (size_t i = 1; i < c.result.size(); ++i) {
            win.tick();
            got.push_back(win.rig.sentNowHex() + "@" + std::to_string(win.sendTimer()->interval()));
        }
        EXPECT_EQ(got, c.result);
        // The cycles are used up: the stop sequence runs, nothing more is sent.
        EXPECT_FALSE(win.sendTimer()->isActive());
        EXPECT_TRUE(win.w<QTimer>("stopTimer")->isActive());
        win.form.stopTimerTimer();
        EXPECT_EQ(win.w<QLabel>("timeLabel")->text(), "Time Remaining: 00:00:00");
        EXPECT_EQ(win.field("sentWin", 0), c.params[2]);
    }
}

TEST(BatchGenericForm, ResponsesAreCountedOncePerSendAndMissesShown) {
    Window win;
    ASSERT_TRUE(win.rig.start());
    win.form.setResponseTimeoutMs(60'000);
    win.setup("10", "10", "2",
              {{"02 21 01"}, {"01 21 01 0A"}, {"02 36 07 FF", true}, {"02 0A"}, {"01 22 02 00"}});
    win.start();
    // Row 3 ("02 0A") is too short: four rows are sent per cycle.
    for (int i = 0; i < 4; ++i) win.tick();
    win.rig.sentNowHex();

    // Row 0: reply then its acknowledgement: one success. A second reply finds no send waiting.
    win.answer(vxtest::frame(0x21, 0x01, {0x05}));
    win.answer(vxtest::frame(0x10, 0x02, {0x21, 0x01, 0x00}));
    win.answer(vxtest::frame(0x21, 0x01, {0x05}));
    EXPECT_EQ(win.field("respWin", 0), "Success");
    EXPECT_EQ(win.w<Lamp>("LED0")->colour(), lamp::kGreen);
    // Row 1: refused with 3.
    win.answer(vxtest::frame(0x10, 0x01, {0x21, 0x01, 0x03}));
    EXPECT_EQ(win.field("respWin", 1), "Unknown code/subcode");
    EXPECT_EQ(win.w<Lamp>("LED1")->colour(), lamp::kRed);
    // Row 2 needs its index as the reply's first byte.
    win.answer(vxtest::frame(0x36, 0x07, {0x01, 0x00}));
    EXPECT_EQ(win.field("respWin", 2), "");
    win.answer(vxtest::frame(0x36, 0x07, {0xFF, 0x00}));
    EXPECT_EQ(win.field("respWin", 2), "Success");
    // Row 4: a result above 9 is an error, shown as its value.
    win.answer(vxtest::frame(0x10, 0x01, {0x22, 0x02, 0x0C}));
    EXPECT_EQ(win.field("respWin", 4), "0x0C");

    // Second cycle; nothing answers. With the wait shortened, each send is a "No response".
    win.form.setResponseTimeoutMs(0);
    for (int i = 0; i < 4; ++i) win.tick();
    for (int row : {0, 1, 2, 4}) win.form.OnTimer(row);
    for (int row : {0, 1, 2, 4}) {
        EXPECT_EQ(win.field("respWin", row), "No response") << row;
        EXPECT_EQ(win.w<Lamp>("LED" + QString::number(row))->colour(), lamp::kRed) << row;
    }
    QTest::mouseClick(win.w<QPushButton>("stopButton"), Qt::LeftButton);
    EXPECT_TRUE(win.form.running()); // answers within the grace second still count
    win.form.stopTimerTimer();
    EXPECT_EQ(win.w<QLabel>("timeLabel")->text(), "Time Remaining: 00:00:00");
    struct Expect {
        int row;
        const char *sent, *succ, *err, *miss;
    };
    for (Expect e : {Expect{0, "2", "1", "0", "1"}, Expect{1, "2", "0", "1", "1"},
                     Expect{2, "2", "1", "0", "1"}, Expect{3, "0", "0", "0", "0"},
                     Expect{4, "2", "0", "1", "1"}}) {
        EXPECT_EQ(win.field("sentWin", e.row), e.sent) << e.row;
        EXPECT_EQ(win.field("succWin", e.row), e.succ) << e.row;
        EXPECT_EQ(win.field("errWin", e.row), e.err) << e.row;
        EXPECT_EQ(win.field("missWin", e.row), e.miss) << e.row;
    }
    // Once stopped, nothing reaches the window any more.
    win.answer(vxtest::frame(0x10, 0x01, {0x21, 0x01, 0x00}));
    EXPECT_EQ(win.form.rowResponses(1).successes(), 0u);
}

// A link that holds every write until it is opened, or refuses them all.
class SlowSink : public vx::FrameSink {
public:
    int sendFrame(const uint8_t*, uint16_t) override {
        std::unique_lock lk(mu_);
        cv_.wait(lk, [&] { return open_; });
        return refuse_ ? -1 : 0;
    }
    void open(bool refuse) {
        {
            std::lock_guard lk(mu_);
            open_ = true;
            refuse_ = refuse;
        }
        cv_.notify_all();
    }

private:
    std::mutex mu_;
    std::condition_variable cv_;
    bool open_ = false, refuse_ = false;
};

TEST(BatchGenericForm, ASlowPortSkipsTicksAndARefusedFrameIsNotCounted) {
    SlowSink slow;
    Window win;
    win.rig.console.setSink(&slow);
    win.setup("5", "5", "10", {{"02 21 01"}, {"AB", false, true}});
    win.start();
    win.form.sendTimerTimer(); // handed to the writer; the port holds it
    win.form.sendTimerTimer(); // skipped: the window does not wait for the port
    win.form.sendTimerTimer();
    EXPECT_EQ(win.form.skippedTicks(), 2u);
    EXPECT_EQ(win.form.rowResponses(0).sentCount(), 1u);
    EXPECT_EQ(win.form.rowResponses(1).sentCount(), 0u);
    EXPECT_TRUE(win.w<QLabel>("statusLabel")->text().contains("2 send tick(s) skipped"));
    // The port refuses the frame: it is taken back from "Packets Sent" at the next tick.
    slow.open(true);
    ASSERT_TRUE(win.form.waitWritten(10000));
    win.tick(); // row 1 (text), refused as well
    EXPECT_EQ(win.form.rowResponses(0).sentCount(), 0u);
    EXPECT_FALSE(win.form.rowResponses(0).awaiting());
    win.form.stopButtonClick();
    win.form.stopTimerTimer();
    EXPECT_EQ(win.field("sentWin", 0), "0");
    EXPECT_EQ(win.field("sentWin", 1), "0");
    EXPECT_EQ(win.field("missWin", 0), "0");
    EXPECT_TRUE(win.w<QLabel>("statusLabel")->text().startsWith("2 frame(s) not written"));
}

TEST(BatchGenericForm, CountsOccurrencesInALogFileWithoutFreezing) {
    Window win;
    const std::string path = vxtest::uniqueTempPath("vx_batch_count");
    {
        // 6 MB: large enough for the progress bar. Every 8 bytes one 3101 and one 3102 frame
        // start; 0x81 inside a failed candidate starts the next one.
        std::FILE* f = std::fopen(path.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        const uint8_t block[8] = {0x81, 0x31, 0x01, 0x00, 0x81, 0x31, 0x02, 0x81};
        for (int i = 0; i < 6 * 1024 * 1024 / 8; ++i) std::fwrite(block, 1, 8, f);
        std::fclose(f);
    }
    const int blocks = 6 * 1024 * 1024 / 8;
    struct Case {
        const char *code, *sub, *index;
        bool data;
        const char *byteNo, *hex, *len;
        const char* result; // occurrences, or the error text
    };
    for (Case c :
         {Case{"31", "", "", false, "", "", "", nullptr},
          Case{"31", "1", "", true, "1", "81 31", "2", nullptr},
          Case{"31", "", "", true, "0", "aa", "2", "Data: 1 bytes given, Length asks for 2."}}) {
        win.boxes.clear();
        win.box("LogFileWin")->setText(QString::fromStdString(path));
        win.box("codeWin")->setText(c.code);
        win.box("subcodeWin")->setText(c.sub);
        win.box("indexWin")->setText(c.index);
        win.w<QCheckBox>("dataCB")->setChecked(c.data);
        win.box("byteWin")->setText(c.byteNo);
        win.box("hexDataWin")->setText(c.hex);
        win.box("lenWin")->setText(c.len);
        QTest::mouseClick(win.w<QPushButton>("countStartButton"), Qt::LeftButton);
        if (c.result) {
            ASSERT_EQ(win.boxes.size(), 1u) << c.code;
            EXPECT_EQ(win.boxes[0].text, c.result);
            continue;
        }
        // Counting goes on from a timer: the click returns at once, with a progress bar.
        EXPECT_TRUE(win.form.counting());
        EXPECT_FALSE(win.w<QPushButton>("countStartButton")->isEnabled());
        EXPECT_FALSE(win.w<QProgressBar>("countProgress")->isHidden());
        ASSERT_TRUE(pumpUntil([&] { return !win.form.counting(); }, 60000));
        EXPECT_TRUE(win.w<QProgressBar>("countProgress")->isHidden());
        EXPECT_TRUE(win.w<QPushButton>("countStartButton")->isEnabled());
        EXPECT_TRUE(win.boxes.empty());
        // Code 31: two per block; 3101 followed by 81 31 after one byte: one.
        const int expected = std::string(c.sub).empty() ? 2 * blocks : blocks;
        EXPECT_EQ(win.box("occurWin")->text(), QString::number(expected)) << c.sub;
    }
    std::remove(path.c_str());

    win.boxes.clear();
    win.box("LogFileWin")->setText("/nonexistent/log.bin");
    win.w<QCheckBox>("dataCB")->setChecked(false);
    QTest::mouseClick(win.w<QPushButton>("countStartButton"), Qt::LeftButton);
    ASSERT_EQ(win.boxes.size(), 1u);
    EXPECT_EQ(win.boxes[0].text, "/nonexistent/log.bin: No such file or directory");
    EXPECT_FALSE(win.form.counting());
}

} // namespace

// ---- On the simulated receiver --------------------------------------------------------------

namespace {

// The packet tools from the menu: a generic Query, a refused oversize raw frame, then a batch of
// five rows with and without the receiver's acknowledgements.
TEST_F(ConsoleOnSimulatedReceiver, PacketTools) {
    startSimulatedReceiver();

    menuItem("Send Generic Packet...")->trigger();
    auto* gen = windows->find<TgenPktForm>(vx::WindowId::TgenPktForm);
    ASSERT_TRUE(gen && gen->isVisible());
    gen->findChild<QComboBox*>("commandCB")->setCurrentIndex(1); // Query
    gen->findChild<QLineEdit*>("pCodeEdit")->setText("21");
    gen->findChild<QLineEdit*>("pSubcodeEdit")->setText("01");
    QTest::mouseClick(gen->findChild<QPushButton*>("sendButton"), Qt::LeftButton);
    ASSERT_TRUE(pumpUntil([&] { return !gen->awaitingReply(); }));
    EXPECT_EQ(gen->findChild<QPlainTextEdit*>("responseMemo")->toPlainText(), "05 ");
    EXPECT_EQ(gen->findChild<Lamp*>("sendLED")->colour(), lamp::kGreen);
    gen->findChild<QComboBox*>("commandCB")->setCurrentIndex(3); // Raw Data (VEXOR)
    QString raw = "01 21 01";
    for (int i = 0; i < 127; ++i) raw += " 05"; // 130 bytes
    gen->findChild<QPlainTextEdit*>("dataMemo")->setPlainText(raw);
    QTest::mouseClick(gen->findChild<QPushButton*>("sendButton"), Qt::LeftButton);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, "Size of data is greater than 128 bytes.");

    menuItem("Batch Generic Packets...")->trigger();
    auto* form = windows->find<TbatchGenericForm>(vx::WindowId::TbatchGenericForm);
    ASSERT_TRUE(form && form->isVisible());
    // Query 2101, Set 2101, Query 1101, System 030A (refused: "Data not available"),
    // Query 2601.
    const char* rows[] = {"02 21 01", "01 21 01 05", "02 11 01", "03 0A", "02 26 01"};
    for (int i = 0; i < 5; ++i)
        form->findChild<QLineEdit*>(QString("dataWin%1").arg(i))->setText(rows[i]);
    auto* stopTimer = form->findChild<QTimer*>("stopTimer");
    // Runs the rows as fast as the port takes them. The first send goes by hand rather than
    // after half a second; the grace second after the last send ends by hand once every
    // response the receiver gives has come (answered says when).
    auto run = [&](int cycles, const std::function<bool()>& answered) {
        form->findChild<QLineEdit*>("sendIntervalWin")->setText("0");
        form->findChild<QLineEdit*>("batchIntervalWin")->setText("1");
        form->findChild<QLineEdit*>("cyclesWin")->setText(QString::number(cycles));
        QTest::mouseClick(form->findChild<QPushButton*>("startButton"), Qt::LeftButton);
        ASSERT_TRUE(form->running());
        form->sendTimerTimer();
        ASSERT_TRUE(pumpUntil([&] { return stopTimer->isActive() && answered(); }, 60000));
        form->stopTimerTimer();
        ASSERT_FALSE(form->running());
    };
    auto field = [&](const char* name, int row) {
        return form->findChild<QLineEdit*>(QString("%1%2").arg(name).arg(row))->text().toInt();
    };

    run(20, [&] {
        for (int row = 0; row < 5; ++row)
            if (form->rowResponses(row).awaiting()) return false;
        return true;
    });
    for (int row = 0; row < 5; ++row) {
        EXPECT_EQ(field("sentWin", row), 20) << row;
        EXPECT_EQ(field("missWin", row), 0) << row;
    }
    for (int row : {0, 1, 2, 4}) EXPECT_EQ(field("succWin", row), 20) << row;
    EXPECT_EQ(field("errWin", 3), 20);
    EXPECT_EQ(form->findChild<QLineEdit*>("respWin3")->text(), "Data not available");

    // Without acknowledgements the Set and System rows get no response; the Queries still
    // get their replies.
    vx::sim::SimFaults noAcks;
    noAcks.dropAckFraction = 1.0;
    sim->setFaults(noAcks);
    run(10, [&] {
        for (int row : {0, 2, 4})
            if (form->rowResponses(row).successes() < 10) return false;
        return true;
    });
    for (int row : {0, 2, 4}) {
        EXPECT_EQ(field("succWin", row), 10) << row;
        EXPECT_EQ(field("missWin", row), 0) << row;
    }
    for (int row : {1, 3}) {
        EXPECT_EQ(field("missWin", row), 10) << row;
        EXPECT_EQ(form->findChild<QLineEdit*>(QString("respWin%1").arg(row))->text(),
                  "No response");
    }
}

} // namespace
