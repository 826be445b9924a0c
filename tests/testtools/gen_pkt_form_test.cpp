// "Send Generic Packet": what each command type writes on the wire, what it refuses, and how
// replies, acknowledgements and the time-out end the wait; then the window on the simulated
// receiver.
#include "testtools/gen_pkt_form.h"

#include "sim/sim_runner.h"
#include "support/console_rig_qt.h"
#include "widgets/lamp_qt.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>

using vxtest::ConsoleRig;
using vxtest::ConsoleWindows;
using vxtest::pumpUntil;

namespace {

struct Window {
    ConsoleRig rig;
    TgenPktForm form{rig.console};
    std::vector<vxtest::Message> boxes;

    Window() {
        msg::setInterceptor([this](msg::Kind k, const QString& title, const QString& text) {
            boxes.push_back({k, title, text});
        });
    }
    ~Window() { msg::setInterceptor(nullptr); }

    template <class T> T* w(const char* name) { return form.findChild<T*>(name); }
    QString response() { return w<QPlainTextEdit>("responseMemo")->toPlainText(); }
    QColor led() { return w<Lamp>("sendLED")->colour(); }

    // Fills the fields and clicks "Send Command".
    void send(int item, const QString& code, const QString& sub, const QString& index,
              const QString& data, bool series = false) {
        w<QComboBox>("commandCB")->setCurrentIndex(item);
        w<QLineEdit>("pCodeEdit")->setText(code);
        w<QLineEdit>("pSubcodeEdit")->setText(sub);
        w<QLineEdit>("indexEdit")->setText(index);
        w<QPlainTextEdit>("dataMemo")->setPlainText(data);
        w<QCheckBox>("seriesCheckBox")->setChecked(series);
        QTest::mouseClick(w<QPushButton>("sendButton"), Qt::LeftButton);
        form.waitWritten(10000);
        form.writeCheckTimer();
    }
    // The receiver answers with these frames; waits until the window has seen them.
    void answer(const std::vector<std::vector<uint8_t>>& frames) {
        uint64_t before = rig.console.delivered();
        for (const auto& f : frames) rig.receiveBytes(f);
        ASSERT_TRUE(rig.waitDelivered(before + frames.size()));
    }
};

std::vector<uint8_t> ack(uint8_t command, std::vector<uint8_t> payload) {
    return vxtest::frame(0x10, command, payload);
}

std::string repeat(const char* token, int n) {
    std::string s;
    for (int i = 0; i < n; ++i) s += token;
    return s;
}

enum Item { None = -1, Set, Query, System, RawVexor, RawMonitor };

// Each command type: the frame written (or the refusal, with nothing written), the receiver's
// answer, and the Response box and LED after it.
TEST(GenPktForm, FramesRefusalsAndAnswersByCommandType) {
    const QColor white = lamp::kWhite, green = lamp::kGreen, red = lamp::kRed;
    const std::string data128 = repeat("01 ", 128), data129 = repeat("01 ", 129);
    const std::string raw124 = "02 21 01 " + repeat("00 ", 121);
    const std::string raw125 = raw124 + "00";
    struct Case {
        const char* name;
        int item;
        const char* code;
        const char* sub;
        const char* index;
        std::string data;
        bool series;
        const char* sent;  // hex on the wire; nullptr when refused
        const char* error; // the "Error" box when refused
        std::vector<std::vector<uint8_t>> answers;
        const char* response; // the Response box afterwards
        QColor led;
    };
    const std::vector<Case> cases = {
        {"query 2101 and its reply",
         Query,
         "21",
         "01",
         "",
         "",
         false,
         "81 02 21 01 D9 82",
         nullptr,
         {vxtest::frame(0x21, 0x01, {0x0A})},
         "0A ",
         green},
        {"query with index skips the echoed index",
         Query,
         "36",
         "07",
         "ff",
         "",
         false,
         "81 02 36 07 FF BF 82",
         nullptr,
         {vxtest::frame(0x36, 0x07, {0xFF, 0x11, 0x22})},
         "11 22 ",
         green},
        {"reply of another subcode is not shown",
         Query,
         "21",
         "01",
         "",
         "",
         false,
         "81 02 21 01 D9 82",
         nullptr,
         {vxtest::frame(0x21, 0x02, {0x0A})},
         "",
         white},
        {"subcode ff matches any reply",
         Query,
         "21",
         "ff",
         "",
         "",
         false,
         "81 02 21 FF DB 82",
         nullptr,
         {vxtest::frame(0x21, 0x37, {0x01})},
         "01 ",
         green},
        {"series keeps collecting until the acknowledgement",
         Query,
         "21",
         "01",
         "",
         "",
         true,
         "81 02 21 01 D9 82",
         nullptr,
         {vxtest::frame(0x21, 0x01, {0x01}), vxtest::frame(0x21, 0x01, {0x02}),
          ack(2, {0x21, 0x01, 0x00})},
         "01 \n\n02 \n",
         green},
        {"set acknowledged",
         Set,
         "21",
         "01",
         "",
         "0a",
         false,
         "81 01 21 01 0A D0 82",
         nullptr,
         {ack(1, {0x21, 0x01, 0x00})},
         "",
         green},
        {"set refused",
         Set,
         "21",
         "01",
         "",
         "85",
         false,
         "81 01 21 01 80 05 55 82",
         nullptr,
         {ack(1, {0x21, 0x01, 0x05})},
         "",
         red},
        {"set with index: acknowledgement of another index ignored",
         Set,
         "70",
         "0d",
         "2",
         "aa",
         false,
         "81 01 70 0D 02 AA D3 82",
         nullptr,
         {ack(1, {0x70, 0x0D, 0x03, 0x00})},
         "",
         white},
        {"index ff: any acknowledgement index",
         Set,
         "70",
         "0d",
         "ff",
         "",
         false,
         "81 01 70 0D FF 80 00 82",
         nullptr,
         {ack(1, {0x70, 0x0D, 0x00})},
         "",
         green},
        {"query acknowledgement does not answer a set",
         Set,
         "21",
         "01",
         "",
         "",
         false,
         "81 01 21 01 DA 82",
         nullptr,
         {ack(2, {0x21, 0x01, 0x00})},
         "",
         white},
        {"system sends only its code",
         System,
         "01",
         "zz",
         "zz",
         "zz",
         false,
         "81 03 01 F9 82",
         nullptr,
         {ack(3, {0x01, 0x00})},
         "",
         green},
        {"system refused shows the status",
         System,
         "05",
         "",
         "",
         "",
         false,
         "81 03 05 F5 82",
         nullptr,
         {ack(3, {0x05, 0x05})},
         "Received reply status: 5",
         red},
        {"raw vexor: reply shown with its header",
         RawVexor,
         "",
         "",
         "",
         "02 21 01",
         false,
         "81 02 21 01 D9 82",
         nullptr,
         {ack(2, {0x21, 0x01, 0x00}), vxtest::frame(0x21, 0x01, {0x0A})},
         "21 01 0A ",
         green},
        {"raw monitor restart",
         RawMonitor,
         "",
         "",
         "",
         "8c",
         false,
         "02 00 8C 00 8C 03",
         nullptr,
         {},
         "",
         white},
        {"nothing selected",
         None,
         "21",
         "01",
         "",
         "",
         false,
         nullptr,
         "No Command Code selected.",
         {},
         "",
         white},
        {"code 80",
         Query,
         "80",
         "01",
         "",
         "",
         false,
         nullptr,
         "Error with Parser Code.",
         {},
         "",
         white},
        {"code 7f", Query, "7f", "00", "", "", false, "81 02 7F 00 7C 82", nullptr, {}, "", white},
        {"subcode",
         Set,
         "21",
         "",
         "",
         "",
         false,
         nullptr,
         "Error with Parser Subcode.",
         {},
         "",
         white},
        {"index", Query, "21", "01", "x", "", false, nullptr, "Error with Index.", {}, "", white},
        {"token 100",
         Set,
         "21",
         "01",
         "",
         "01 100",
         false,
         nullptr,
         "Error in data to set",
         {},
         "",
         white},
        {"signed token",
         Set,
         "21",
         "01",
         "",
         "-1",
         false,
         nullptr,
         "Error in data to set",
         {},
         "",
         white},
        {"129 tokens",
         Set,
         "21",
         "01",
         "",
         data129,
         false,
         nullptr,
         "Size of data is greater than 128 bytes.",
         {},
         "",
         white},
        {"128 tokens do not fit a set frame",
         Set,
         "21",
         "01",
         "",
         data128,
         false,
         nullptr,
         "Size of data is greater than 128 bytes.",
         {},
         "",
         white},
        {"raw 125 bytes",
         RawVexor,
         "",
         "",
         "",
         raw125,
         false,
         nullptr,
         "Size of data is greater than 128 bytes.",
         {},
         "",
         white},
        {"raw header byte 81",
         RawVexor,
         "",
         "",
         "",
         "02 81 01",
         false,
         nullptr,
         vx::kErrHeaderByte.data(),
         {},
         "",
         white},
        {"empty monitor frame",
         RawMonitor,
         "",
         "",
         "",
         " ",
         false,
         nullptr,
         "Error in data to set",
         {},
         "",
         white},
    };

    Window win;
    ASSERT_TRUE(win.rig.start());
    win.form.show();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // A refusal leaves the Response box and LED as the last send left them.
        win.w<QPlainTextEdit>("responseMemo")->setPlainText("before");
        win.boxes.clear();
        win.send(c.item, c.code, c.sub, c.index, QString::fromStdString(c.data), c.series);
        if (!c.sent) {
            ASSERT_EQ(win.boxes.size(), 1u);
            EXPECT_EQ(win.boxes[0].title, "Error");
            EXPECT_EQ(win.boxes[0].text, c.error);
            EXPECT_EQ(win.rig.sentNowHex(), "");
            EXPECT_EQ(win.response(), "before");
            continue;
        }
        EXPECT_TRUE(win.boxes.empty());
        EXPECT_EQ(win.rig.sentNowHex(), c.sent);
        EXPECT_EQ(win.led(), white);
        EXPECT_TRUE(win.form.awaitingReply());
        win.answer(c.answers);
        EXPECT_EQ(win.response(), c.response);
        EXPECT_EQ(win.led(), c.led);
        EXPECT_EQ(win.form.awaitingReply(), c.led == white);
        // End any wait the answers left open.
        win.form.responseTimerTimer();
    }
}

TEST(GenPktForm, InputsFollowTheCommandType) {
    Window win;
    struct Case {
        int item;
        bool code, sub, index, series, dataEditable;
    };
    for (Case c :
         {Case{Set, true, true, true, false, true}, Case{Query, true, true, true, true, false},
          Case{System, true, false, false, false, false},
          Case{RawVexor, false, false, false, true, true},
          Case{RawMonitor, false, false, false, true, true}}) {
        win.w<QComboBox>("commandCB")->setCurrentIndex(c.item);
        EXPECT_EQ(win.w<QLineEdit>("pCodeEdit")->isEnabled(), c.code) << c.item;
        EXPECT_EQ(win.w<QLineEdit>("pSubcodeEdit")->isEnabled(), c.sub) << c.item;
        EXPECT_EQ(win.w<QLineEdit>("indexEdit")->isEnabled(), c.index) << c.item;
        EXPECT_EQ(win.w<QCheckBox>("seriesCheckBox")->isEnabled(), c.series) << c.item;
        EXPECT_EQ(!win.w<QPlainTextEdit>("dataMemo")->isReadOnly(), c.dataEditable) << c.item;
    }
    EXPECT_EQ(win.form.windowTitle(), "Send Generic Packet");
    EXPECT_EQ(win.form.objectName(), "genPktForm");
    // The data box keeps at most 5000 characters.
    win.w<QPlainTextEdit>("dataMemo")->setPlainText(QString(6000, 'a'));
    EXPECT_EQ(win.w<QPlainTextEdit>("dataMemo")->toPlainText().size(), 5000);
}

TEST(GenPktForm, TimedOutOneSecondAfterTheLastSend) {
    Window win;
    ASSERT_TRUE(win.rig.start());
    win.form.show();
    win.send(Query, "21", "01", "", "");
    EXPECT_EQ(win.rig.sentNowHex(), "81 02 21 01 D9 82");
    QTimer* timer = win.w<QTimer>("responseTimer");
    ASSERT_TRUE(timer->isActive());
    EXPECT_EQ(timer->interval(), 1000);
    vxtest::pumpFor(300);
    // A second send starts the second afresh.
    win.send(Query, "21", "01", "", "");
    EXPECT_GT(timer->remainingTime(), 800);
    win.form.responseTimerTimer();
    EXPECT_EQ(win.response(), "Timed out");
    EXPECT_EQ(win.led(), lamp::kRed);
    EXPECT_FALSE(win.form.awaitingReply());
    // A late reply is not shown once the wait is over.
    win.answer({vxtest::frame(0x21, 0x01, {0x0A})});
    EXPECT_EQ(win.response(), "Timed out");

    // A hidden window misses replies; its wait survives and the time-out still ends it.
    win.send(Query, "21", "01", "", "");
    win.rig.sentNowHex();
    win.form.hide();
    win.answer({vxtest::frame(0x21, 0x01, {0x0A})});
    EXPECT_TRUE(win.form.awaitingReply());
    win.form.responseTimerTimer();
    EXPECT_EQ(win.response(), "Timed out");
}

TEST(GenPktForm, ASendTheLinkRefusesIsAFailure) {
    Window win; // the link is not started
    win.form.show();
    win.send(Query, "21", "01", "", "");
    EXPECT_EQ(win.led(), lamp::kRed);
    EXPECT_EQ(win.response(), "Not sent: the serial link is not running or the write failed.");
    EXPECT_FALSE(win.form.awaitingReply());
    EXPECT_FALSE(win.w<QTimer>("responseTimer")->isActive());
}

// A link that holds every write until it is opened.
class SlowSink : public vx::FrameSink {
public:
    int sendFrame(const uint8_t*, uint16_t) override {
        std::unique_lock lk(mu_);
        cv_.wait(lk, [&] { return open_; });
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
};

TEST(GenPktForm, ASlowPortNeverHoldsTheWindow) {
    SlowSink slow;
    Window win;
    win.rig.console.setSink(&slow);
    win.form.show();
    win.w<QComboBox>("commandCB")->setCurrentIndex(Query);
    win.w<QLineEdit>("pCodeEdit")->setText("21");
    win.w<QLineEdit>("pSubcodeEdit")->setText("01");
    QTest::mouseClick(win.w<QPushButton>("sendButton"), Qt::LeftButton); // returns at once
    EXPECT_TRUE(win.form.awaitingReply());
    QTest::mouseClick(win.w<QPushButton>("sendButton"), Qt::LeftButton);
    ASSERT_EQ(win.boxes.size(), 1u);
    EXPECT_EQ(win.boxes[0].text,
              "The port is still writing the previous command; nothing was sent.");
    slow.open();
    ASSERT_TRUE(win.form.waitWritten(10000));
    win.form.writeCheckTimer();
    EXPECT_EQ(win.led(), lamp::kWhite); // written: waiting for the answer
    EXPECT_TRUE(win.form.awaitingReply());
}

} // namespace

// ---- On the simulated receiver --------------------------------------------------------------

namespace {

QAction* menuItem(QWidget* w, const QString& caption) {
    for (QAction* a : w->findChildren<QAction*>())
        if (a->text() == caption) return a;
    return nullptr;
}

TEST_F(ConsoleWindows, GenericPacketOnTheSimulatedReceiver) {
    vx::sim::SimRunner sim;
    std::string path;
    ASSERT_TRUE(sim.startOnPty(&path)) << sim.error();
    comMap.setPath(0, path);
    main->switchSource(0);
    ASSERT_TRUE(main->monitoring()) << console->lastError().toStdString();
    ASSERT_TRUE(pumpUntil([&] { return console->delivered() > 0; }, 30000));

    QAction* item = menuItem(main, "Send Generic Packet...");
    ASSERT_NE(item, nullptr);
    item->trigger();
    auto* form = windows->find<TgenPktForm>(vx::WindowId::TgenPktForm);
    ASSERT_NE(form, nullptr);
    ASSERT_TRUE(form->isVisible());
    auto* cb = form->findChild<QComboBox*>("commandCB");
    auto* code = form->findChild<QLineEdit*>("pCodeEdit");
    auto* sub = form->findChild<QLineEdit*>("pSubcodeEdit");
    auto* data = form->findChild<QPlainTextEdit*>("dataMemo");
    auto* response = form->findChild<QPlainTextEdit*>("responseMemo");
    auto* led = form->findChild<Lamp*>("sendLED");
    auto* send = form->findChild<QPushButton*>("sendButton");
    auto waitAnswer = [&] { return pumpUntil([&] { return !form->awaitingReply(); }); };

    // Query 2101: the reply (5 Hz) and a green LED.
    cb->setCurrentIndex(Query);
    code->setText("21");
    sub->setText("01");
    QTest::mouseClick(send, Qt::LeftButton);
    ASSERT_TRUE(waitAnswer());
    EXPECT_EQ(response->toPlainText(), "05 ");
    EXPECT_EQ(led->colour(), lamp::kGreen);

    // A 130-byte raw frame is refused before anything is sent.
    cb->setCurrentIndex(RawVexor);
    data->setPlainText(QString::fromStdString("01 21 01 " + repeat("05 ", 127)));
    QTest::mouseClick(send, Qt::LeftButton);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, "Size of data is greater than 128 bytes.");

    // A Set as a raw frame is acknowledged; a raw send waits for a reply only, so it times out.
    data->setPlainText("01 21 01 0A");
    QTest::mouseClick(send, Qt::LeftButton);
    form->responseTimerTimer();
    EXPECT_EQ(response->toPlainText(), "Timed out");
    cb->setCurrentIndex(Query);
    QTest::mouseClick(send, Qt::LeftButton);
    ASSERT_TRUE(waitAnswer());
    EXPECT_EQ(response->toPlainText(), "0A ");

    // Force to monitor, then restart the receiver with a raw monitor frame: the monitor does
    // not answer a restart; once the receiver runs again it answers Queries.
    cb->setCurrentIndex(System);
    code->setText("03");
    QTest::mouseClick(send, Qt::LeftButton);
    ASSERT_TRUE(waitAnswer());
    EXPECT_EQ(led->colour(), lamp::kGreen);
    cb->setCurrentIndex(RawMonitor);
    data->setPlainText("8C");
    QTest::mouseClick(send, Qt::LeftButton);
    form->responseTimerTimer();
    EXPECT_EQ(led->colour(), lamp::kRed);
    // The receiver restarts (it ignores commands while it does): query until it answers,
    // ending each unanswered wait by hand.
    cb->setCurrentIndex(Query);
    code->setText("21");
    ASSERT_TRUE(pumpUntil(
        [&] {
            QTest::mouseClick(send, Qt::LeftButton);
            vxtest::pumpFor(150);
            if (led->colour() == lamp::kGreen) return true;
            form->responseTimerTimer();
            return false;
        },
        30000));
    EXPECT_EQ(response->toPlainText(), "0A ");

    console->stopMonitor();
    sim.stop();
}

} // namespace
