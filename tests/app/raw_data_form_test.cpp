// The Raw Data window: the link's chunks as lines (hex or text), Pause, Clear, the log file,
// the bounded view, and the window on the simulated receiver.
#include "app/raw_data_form.h"
#include "sim/sim_runner.h"
#include "support/console_rig_qt.h"
#include "support/temp_path.h"
#include "widgets/file_dialog_qt.h"

#include <QAction>
#include <QCheckBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextBlock>
#include <QTimer>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

using vxtest::ConsoleOnSimulatedReceiver;
using vxtest::ConsoleWindows;
using vxtest::pumpUntil;

namespace {

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

std::vector<uint8_t> textBytes(const std::string& s) {
    return {s.begin(), s.end()};
}

struct RawView {
    std::vector<vxtest::Message> messages;
    QString chosen;
    vxtest::ConsoleRig rig;
    TrawDataForm form{rig.console};
    QPlainTextEdit* memo = form.findChild<QPlainTextEdit*>("rawDataWin");
    // Counts the bytes the link hands its taps. Added after the window's tap, it has a chunk
    // only once the window's tap has had it.
    struct CountingTap : vx::RawTap {
        void rawChunk(const uint8_t*, size_t n, uint8_t) override { bytes += n; }
        std::atomic<uint64_t> bytes{0};
    } tapped;

    RawView() {
        msg::setInterceptor([this](msg::Kind k, const QString& title, const QString& text) {
            messages.push_back({k, title, text});
        });
        fileDialog::setChooser([this](const QString&) { return chosen; });
        rig.console.link().addRawTap(&tapped);
    }
    ~RawView() {
        rig.console.link().removeRawTap(&tapped);
        msg::setInterceptor(nullptr);
        fileDialog::setChooser(nullptr);
    }
    QPushButton* button(const char* name) { return form.findChild<QPushButton*>(name); }
    QStringList lines() {
        form.showQueuedLines();
        QStringList out;
        for (QTextBlock b = memo->document()->begin(); b.isValid(); b = b.next()) out << b.text();
        if (out == QStringList{""}) out.clear();
        return out;
    }
    // Plays bytes and waits until the link has taken them all.
    bool receive(const std::vector<uint8_t>& bytes) {
        const uint64_t target = rig.console.link().bytesReceived() + bytes.size();
        rig.receiveBytes(bytes);
        return pumpUntil([&] { return rig.console.link().bytesReceived() >= target; });
    }
    // Plays bytes of frames and waits until the window's tap has had them all.
    bool receiveTapped(const std::vector<uint8_t>& bytes) {
        const uint64_t target = tapped.bytes + bytes.size();
        rig.receiveBytes(bytes);
        return pumpUntil([&] { return tapped.bytes >= target; });
    }
};

TEST(RawDataForm, ChunksOfTheLinkAsLinesInHexOrText) {
    std::vector<uint8_t> noData(240, 0x55);
    std::vector<uint8_t> nul = textBytes("AB");
    nul.push_back(0);
    for (uint8_t b : textBytes("CD\r\n")) nul.push_back(b);
    struct Case {
        const char* name;
        bool text;
        std::vector<uint8_t> bytes;
        QStringList lines;
    } cases[] = {
        {"one frame", false, vxtest::bytes("81 21 01 0A D1 82"), {"81 21 01 0A D1 82 "}},
        {"noise in front of a frame",
         false,
         vxtest::bytes("00 11 81 21 01 0A D1 82"),
         {"00 11 81 21 01 0A D1 82 "}},
        {"240 bytes without an end byte", false, noData, {QString("55 ").repeated(240)}},
        {"a sentence without its line end",
         true,
         textBytes("$GPGGA,120000.00,4807.038,N*47\r\n$GPVTG\x82,T\r\n"),
         {"$GPGGA,120000.00,4807.038,N*47", "$GPVTG\u0082,T"}},
        {"text up to a zero byte", true, nul, {"AB"}},
    };
    for (const auto& c : cases) {
        RawView v;
        ASSERT_TRUE(v.rig.start());
        v.form.show();
        EXPECT_EQ(v.form.windowTitle(), "Raw Data");
        auto* box = v.form.findChild<QCheckBox*>("CheckBox0");
        EXPECT_EQ(box->text(), "Show Text/NMEA");
        EXPECT_FALSE(box->isChecked());
        if (c.text) box->click();
        EXPECT_EQ(v.rig.console.link().tapTextMode(), c.text) << c.name;
        ASSERT_TRUE(v.receive(c.bytes)) << c.name;
        ASSERT_TRUE(pumpUntil([&] { return v.lines().size() >= c.lines.size(); })) << c.name;
        EXPECT_EQ(v.lines(), c.lines) << c.name;
        if (c.name == std::string("240 bytes without an end byte")) {
            EXPECT_EQ(v.lines()[0].size(), 720);
        }
    }
}

TEST(RawDataForm, PauseClearLogAndClose) {
    const std::string dir = vxtest::uniqueTempPath("raw_view");
    std::filesystem::create_directories(dir);
    RawView v;
    ASSERT_TRUE(v.rig.start());
    v.form.show();
    EXPECT_EQ(v.button("logButton")->text(), "Log");
    EXPECT_EQ(v.button("pauseButton")->text(), "Pause");

    // A cancelled dialog changes nothing; a file that cannot be opened says so.
    v.button("logButton")->click();
    EXPECT_FALSE(v.form.logging());
    v.chosen = QString::fromStdString(dir + "/missing/raw.txt");
    v.button("logButton")->click();
    ASSERT_EQ(v.messages.size(), 1u);
    EXPECT_TRUE(v.messages[0].text.startsWith("OPEN FILE ERROR\n\n" + v.chosen + ": "));
    EXPECT_FALSE(v.form.logging());
    EXPECT_EQ(v.button("logButton")->text(), "Log");

    const std::string path = dir + "/raw.txt";
    v.chosen = QString::fromStdString(path);
    v.button("logButton")->click();
    ASSERT_TRUE(v.form.logging());
    EXPECT_EQ(v.button("logButton")->text(), "Stop Logging");
    ASSERT_TRUE(v.receive(vxtest::bytes("81 21 01 0A D1 82")));
    ASSERT_TRUE(pumpUntil([&] { return v.lines().size() == 1; }));

    // Paused: nothing is shown and nothing logged.
    v.button("pauseButton")->click();
    EXPECT_EQ(v.button("pauseButton")->text(), "Resume");
    ASSERT_TRUE(v.receiveTapped(vxtest::bytes("81 22 02 00 00 82")));
    EXPECT_EQ(v.lines().size(), 1);
    v.button("pauseButton")->click();
    EXPECT_EQ(v.button("pauseButton")->text(), "Pause");
    ASSERT_TRUE(v.receive(vxtest::bytes("81 30 02 82")));
    ASSERT_TRUE(pumpUntil([&] { return v.lines().size() == 2; }));

    // Clear empties the view, not the file.
    v.button("clearButton")->click();
    EXPECT_TRUE(v.lines().isEmpty());
    // Close ends the logging and hides the window; hidden, nothing is shown.
    v.button("closeButton")->click();
    EXPECT_FALSE(v.form.isVisible());
    EXPECT_FALSE(v.form.logging());
    EXPECT_EQ(v.button("logButton")->text(), "Log");
    ASSERT_TRUE(v.receiveTapped(vxtest::bytes("81 31 01 82")));
    EXPECT_TRUE(v.lines().isEmpty());
    EXPECT_EQ(readFile(path), "81 21 01 0A D1 82 \r\n81 30 02 82 \r\n");
    std::filesystem::remove_all(dir);
}

std::string frameLine(int i) {
    return vxtest::hex(vxtest::frame(0x21, 0x01, {uint8_t(i), uint8_t(i >> 8)})) + " ";
}

TEST(RawDataForm, TheViewKeepsTheNewestLinesAndSaysWhatItLeftOut) {
    const std::string dir = vxtest::uniqueTempPath("raw_view_bound");
    std::filesystem::create_directories(dir);
    RawView v;
    ASSERT_TRUE(v.rig.start());
    v.form.show();
    // The ticks are the test's: lines arrive faster or slower than the view shows them.
    v.form.findChild<QTimer*>("viewTimer")->stop();
    v.chosen = QString::fromStdString(dir + "/all.txt");
    v.button("logButton")->click();
    int sent = 0;
    auto send = [&](int n) {
        std::vector<uint8_t> stream;
        for (int i = 0; i < n; ++i) {
            auto f = vxtest::frame(0x21, 0x01, {uint8_t(sent), uint8_t(sent >> 8)});
            stream.insert(stream.end(), f.begin(), f.end());
            ++sent;
        }
        const uint64_t target = v.rig.console.delivered() + uint64_t(n);
        v.rig.receiveBytes(stream);
        ASSERT_TRUE(v.rig.waitDelivered(target));
    };
    // At a pace the view can show, every line is shown; it keeps the newest kMaxLines.
    const int perTick = TrawDataForm::kMaxLinesPerTick;
    const int ticks = TrawDataForm::kMaxLines / perTick + 3;
    for (int t = 0; t < ticks; ++t) {
        send(perTick);
        v.form.showQueuedLines();
    }
    QStringList shown = v.lines();
    ASSERT_EQ(shown.size(), TrawDataForm::kMaxLines);
    EXPECT_EQ(shown.front().toStdString(), frameLine(sent - TrawDataForm::kMaxLines));
    EXPECT_EQ(shown.back().toStdString(), frameLine(sent - 1));

    // Faster than that, a tick shows the newest lines and how many it left out.
    send(5 * perTick + 17);
    shown = v.lines();
    ASSERT_EQ(shown.size(), TrawDataForm::kMaxLines);
    EXPECT_EQ(shown[shown.size() - perTick - 1], TrawDataForm::notShownLine(4 * perTick + 17));
    EXPECT_EQ(shown.back().toStdString(), frameLine(sent - 1));
    EXPECT_EQ(shown[shown.size() - perTick].toStdString(), frameLine(sent - perTick));

    // The log file has every line.
    v.button("logButton")->click();
    const std::string log = readFile(dir + "/all.txt");
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), sent);
    EXPECT_TRUE(log.ends_with(frameLine(sent - 1) + "\r\n"));
    std::filesystem::remove_all(dir);
}

TEST_F(ConsoleOnSimulatedReceiver, RawDataFromTheMenuShowsTheReceiversFrames) {
    startSimulatedReceiver(steppedReceiver(), false);
    menuItem("&Raw Data...")->trigger();
    auto* form = windows->find<TrawDataForm>(vx::WindowId::TrawDataForm);
    ASSERT_NE(form, nullptr);
    auto* memo = form->findChild<QPlainTextEdit*>("rawDataWin");
    ASSERT_TRUE(sim->advance(3000)); // three seconds of reports
    ASSERT_TRUE(pumpUntil([&] { return memo->document()->blockCount() > 20; }, 20000));
    // One frame per line: each starts with the start byte (or noise before it) and ends with
    // the end byte.
    int frames = 0;
    for (QTextBlock b = memo->document()->begin(); b.isValid(); b = b.next())
        if (b.text().endsWith("82 ") && b.text().contains("81 ")) ++frames;
    EXPECT_GT(frames, 20);
}

} // namespace
