// "Send Generic Packet": what each command type writes on the wire, what it refuses, and how
// replies, acknowledgements and the time-out end the wait. (On the simulated receiver: with the
// batch sender in batch_generic_form_test.cpp.)
#include "testtools/gen_pkt_form.h"

#include "support/console_rig_qt.h"
#include "widgets/lamp_qt.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <condition_variable>
#include <map>
#include <mutex>
#include <sstream>

using vxtest::ConsoleRig;

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

enum Item { None = -1, Set, Query, System, RawVexor, RawMonitor };

// "3607 FF 11 22|1002 21 01 00": frames of code, subcode and payload, separated by '|'.
std::vector<std::vector<uint8_t>> frames(const std::string& text) {
    std::vector<std::vector<uint8_t>> out;
    std::stringstream ss(text);
    std::string one;
    while (std::getline(ss, one, '|')) {
        std::vector<uint8_t> b = vxtest::bytes(one.substr(0, 2) + " " + one.substr(2));
        out.push_back(vxtest::frame(b[0], b[1], std::vector<uint8_t>(b.begin() + 2, b.end())));
    }
    return out;
}

// Each command type once: the frame written (or the refusal box, with nothing written and the
// Response box untouched), the receiver's answers, then the Response box and the LED.
TEST(GenPktForm, FramesRefusalsAndAnswersByCommandType) {
    struct Case {
        int item;
        const char* fields; // code|subcode|index|data, '+' at the end: series
        const char* sent;   // hex on the wire, or the "Error" box text
        const char* answers;
        const char* response;
        const char* led; // w(hite), g(reen), r(ed)
    };
    const Case cases[] = {
        {Query, "36|07|ff|", "81 02 36 07 FF BF 82", "3607 FF 11 22", "11 22 ", "g"},
        {Query, "21|01||", "81 02 21 01 D9 82", "2102 0A", "", "w"},
        {Query, "21|01||+", "81 02 21 01 D9 82", "2101 01|2101 02|1002 21 01 00", "01 \n\n02 \n",
         "g"},
        {Set, "21|01||85", "81 01 21 01 80 05 55 82", "1001 21 01 05", "", "r"},
        {Set, "21|01||", "81 01 21 01 DA 82", "1002 21 01 00", "", "w"},
        {System, "05|||", "81 03 05 F5 82", "1003 05 05", "Received reply status: 5", "r"},
        {RawVexor, "|||02 21 01", "81 02 21 01 D9 82", "1002 21 01 00|2101 0A", "21 01 0A ", "g"},
        {RawMonitor, "|||8c", "02 00 8C 00 8C 03", "", "", "w"},
        // Nothing answers: one second after the send (the expiry, called here) "Timed out".
        {Query, "21|01||", "81 02 21 01 D9 82", "", "Timed out", "r"},
        {None, "21|01||", "No Command Code selected.", "", "", ""},
        {Query, "80|01||", "Error with Parser Code.", "", "", ""},
        {RawVexor, "|||02 81 01", vx::kErrHeaderByte.data(), "", "", ""},
        {Set, "21|01||01 100", "Error in data to set", "", "", ""},
    };

    Window win;
    ASSERT_TRUE(win.rig.start());
    win.form.show();
    EXPECT_EQ(win.form.windowTitle(), "Send Generic Packet");
    // The inputs each type uses: code, subcode, index, series; data editable.
    QWidget* inputs[] = {win.w<QLineEdit>("pCodeEdit"), win.w<QLineEdit>("pSubcodeEdit"),
                         win.w<QLineEdit>("indexEdit"), win.w<QCheckBox>("seriesCheckBox")};
    for (auto [item, enabled] : {std::pair{Set, "11101"},
                                 {Query, "11110"},
                                 {System, "10000"},
                                 {RawVexor, "00011"},
                                 {RawMonitor, "00011"}}) {
        win.w<QComboBox>("commandCB")->setCurrentIndex(item);
        std::string got;
        for (QWidget* x : inputs) got += x->isEnabled() ? '1' : '0';
        got += win.w<QPlainTextEdit>("dataMemo")->isReadOnly() ? '0' : '1';
        EXPECT_EQ(got, enabled) << item;
    }
    const std::map<std::string, QColor> leds{
        {"w", lamp::kWhite}, {"g", lamp::kGreen}, {"r", lamp::kRed}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sent);
        QStringList f = QString(c.fields).split('|');
        const bool series = f[3].endsWith('+');
        win.w<QPlainTextEdit>("responseMemo")->setPlainText("before");
        win.boxes.clear();
        win.send(c.item, f[0], f[1], f[2], series ? f[3].chopped(1) : f[3], series);
        if (!win.boxes.empty()) {
            EXPECT_EQ(win.boxes[0].title, "Error");
            EXPECT_EQ(win.boxes[0].text, c.sent);
            EXPECT_EQ(win.rig.sentNowHex(), "");
            EXPECT_EQ(win.response(), "before");
            continue;
        }
        EXPECT_EQ(win.rig.sentNowHex(), c.sent);
        EXPECT_EQ(win.led(), lamp::kWhite);
        EXPECT_GT(win.w<QTimer>("responseTimer")->remainingTime(), 800); // restarted per send
        win.answer(frames(c.answers));
        if (QString(c.response) == "Timed out") win.form.responseTimerTimer();
        EXPECT_EQ(win.response(), c.response);
        EXPECT_EQ(win.led(), leds.at(c.led));
        EXPECT_EQ(win.form.awaitingReply(), *c.led == 'w');
        win.form.responseTimerTimer(); // ends any wait left open
    }
}

// A link that holds every write until it is opened, then refuses it.
class SlowSink : public vx::FrameSink {
public:
    int sendFrame(const uint8_t*, uint16_t) override {
        std::unique_lock lk(mu_);
        cv_.wait(lk, [&] { return open_; });
        return -1;
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

TEST(GenPktForm, ASlowPortNeverHoldsTheWindowAndARefusedWriteIsAFailure) {
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
    EXPECT_EQ(win.led(), lamp::kRed);
    EXPECT_EQ(win.response(), "Not sent: the serial link is not running or the write failed.");
    EXPECT_FALSE(win.form.awaitingReply());
    EXPECT_FALSE(win.w<QTimer>("responseTimer")->isActive());
}

} // namespace
