// The Data Logging window: its controls, its refusals and the overwrite question, the lamps,
// a write error on a full device, and its files against `vexor log` on the same stream (live
// from the simulated receiver, and from a replay of the sample recording).
#include "app/log_form.h"
#include "app/log_formats.h"
#include "sim/sim_runner.h"
#include "sim/sim_transport.h"
#include "support/console_rig_qt.h"
#include "support/run_command.h"
#include "support/temp_path.h"
#include "widgets/file_dialog_qt.h"
#include "widgets/lamp_qt.h"

#include <QAction>
#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

using vxtest::ConsoleWindows;
using vxtest::pumpUntil;

namespace {

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

struct Dir {
    std::string path = vxtest::uniqueTempPath("log_form");
    Dir() { std::filesystem::create_directories(path); }
    ~Dir() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
    std::string operator/(const std::string& name) const { return path + "/" + name; }
};

// Messages, questions and file dialogs answered by the test.
struct Prompts {
    std::vector<vxtest::Message> messages;
    QStringList questions;
    bool answer = false;
    QString chosen;
    Prompts() {
        msg::setInterceptor([this](msg::Kind k, const QString& title, const QString& text) {
            messages.push_back({k, title, text});
        });
        msg::setAnswerer([this](msg::Kind, const QString& title, const QString& text) {
            questions.push_back(title + ": " + text);
            return answer;
        });
        fileDialog::setChooser([this](const QString&) { return chosen; });
    }
    ~Prompts() {
        msg::setInterceptor(nullptr);
        msg::setAnswerer(nullptr);
        fileDialog::setChooser(nullptr);
    }
    QString last() const { return messages.empty() ? QString() : messages.back().text; }
};

template <class T> T* child(QWidget& w, const char* name) {
    auto* p = w.findChild<T*>(name);
    EXPECT_NE(p, nullptr) << name;
    return p;
}

// The window on a console whose link is never started.
struct OfflineLog {
    Prompts prompts;
    vxtest::OfflineConsole offline;
    TlogForm form{offline.console};
    QPushButton* button(const char* name) { return child<QPushButton>(form, name); }
    QLineEdit* edit(const char* name) { return child<QLineEdit>(form, name); }
    QCheckBox* check(const char* name) { return child<QCheckBox>(form, name); }
};

TEST(LogForm, ControlsAsTheWindowListsThem) {
    OfflineLog t;
    EXPECT_EQ(t.form.objectName(), "logForm");
    EXPECT_EQ(t.form.windowTitle(), "Data Logging");
    QStringList groups;
    for (auto* g : t.form.findChildren<QGroupBox*>()) groups << g->title();
    EXPECT_EQ(groups, QStringList({"5 Hz Packet(s)", "1 Hz Packet(s)", "Log All Binary Data"}));
    const std::pair<const char*, const char*> checks[] = {{"CheckBox30", "PKT 30-02"},
                                                          {"CheckBox31", "PKT 31-01"},
                                                          {"CheckBox32", "PKT 32-01"},
                                                          {"CheckBox33", "PKT 33-01"},
                                                          {"CheckBox36", "PKT 36-ALL"}};
    for (auto [name, caption] : checks) {
        EXPECT_EQ(t.check(name)->text(), caption);
        EXPECT_FALSE(t.check(name)->isChecked()) << name;
    }
    for (const char* name : {"RadioButton10_A", "RadioButton1_A"})
        EXPECT_TRUE(child<QRadioButton>(t.form, name)->isChecked()) << name;
    for (const char* name : {"RadioButton10_B", "RadioButton1_B"})
        EXPECT_FALSE(child<QRadioButton>(t.form, name)->isChecked()) << name;
    for (const char* name : {"file10Button", "file1Button", "FileBinButton"})
        EXPECT_EQ(t.button(name)->text(), "...");
    for (const char* name : {"tenStartButton", "oneStartButton", "binStartButton"})
        EXPECT_EQ(t.button(name)->text(), "Start");
    for (const char* name : {"tenStopButton", "oneStopButton", "binStopButton"})
        EXPECT_EQ(t.button(name)->text(), "Stop");
    for (const char* name : {"rx10Status", "rx1Status", "rxBinStatus"})
        EXPECT_EQ(child<Lamp>(t.form, name)->colour(), lamp::kWhite);
    EXPECT_EQ(child<QTimer>(t.form, "blipTimer")->interval(), 200);

    // "..." puts the chosen file's full path into the box; a cancelled dialog changes nothing.
    Dir d;
    t.prompts.chosen = QString::fromStdString(d / "run.csv");
    t.button("file10Button")->click();
    EXPECT_EQ(t.edit("logFile10HzWin")->text(), QString::fromStdString(d / "run.csv"));
    t.prompts.chosen.clear();
    t.button("file10Button")->click();
    EXPECT_EQ(t.edit("logFile10HzWin")->text(), QString::fromStdString(d / "run.csv"));
    EXPECT_FALSE(std::filesystem::exists(d / "run.csv")); // nothing opened yet
}

TEST(LogForm, StartRefusalsAndTheOverwriteQuestion) {
    Dir d;
    const std::string existing = d / "old.csv";
    struct Case {
        const char* name;
        std::function<void(OfflineLog&)> setup;
        const char* start;
        std::string message; // "" when no message, else its start
        bool question;
        bool running;
        std::string existingAfter; // the existing file's content afterwards
    } cases[] = {
        {"5 Hz, no packet ticked",
         [&](OfflineLog& t) { t.edit("logFile10HzWin")->setText(QString::fromStdString(d / "a")); },
         "tenStartButton", "No Packets Selected.", false, false, "keep"},
        {"5 Hz, no file", [](OfflineLog& t) { t.check("CheckBox30")->setChecked(true); },
         "tenStartButton", "No File Selected.", false, false, "keep"},
        {"1 Hz, no packet ticked",
         [&](OfflineLog& t) { t.edit("logFile1HzWin")->setText(QString::fromStdString(d / "a")); },
         "oneStartButton", "No Packets Selected.", false, false, "keep"},
        {"binary, no file", [](OfflineLog&) {}, "binStartButton", "No File Selected.", false, false,
         "keep"},
        {"existing file, answered No",
         [&](OfflineLog& t) {
             t.check("CheckBox31")->setChecked(true);
             t.edit("logFile1HzWin")->setText(QString::fromStdString(existing));
         },
         "oneStartButton", "", true, false, "keep"},
        {"existing file, answered Yes",
         [&](OfflineLog& t) {
             t.prompts.answer = true;
             t.edit("LogFileBinWin")->setText(QString::fromStdString(existing));
         },
         "binStartButton", "", true, true, ""},
        {"missing folder",
         [&](OfflineLog& t) {
             t.check("CheckBox30")->setChecked(true);
             t.edit("logFile10HzWin")->setText(QString::fromStdString(d / "none/a.csv"));
         },
         "tenStartButton", "Open file error.\n\n" + d / "none/a.csv" + ": No such file", false,
         false, "keep"},
        {"the file of a running log",
         [&](OfflineLog& t) {
             t.edit("LogFileBinWin")->setText(QString::fromStdString(d / "bin.dat"));
             t.button("binStartButton")->click();
             t.check("CheckBox30")->setChecked(true);
             t.edit("logFile10HzWin")->setText(QString::fromStdString(d / "./bin.dat"));
         },
         "tenStartButton",
         "Open file error.\n\n" + d / "bin.dat" + ": the binary data log writes this file already.",
         false, false, "keep"},
    };
    for (const auto& c : cases) {
        std::ofstream(existing, std::ios::trunc) << "keep";
        OfflineLog t;
        c.setup(t);
        t.prompts.messages.clear();
        t.button(c.start)->click();
        if (c.message.empty()) {
            EXPECT_TRUE(t.prompts.messages.empty())
                << c.name << ": " << t.prompts.last().toStdString();
        } else {
            ASSERT_EQ(t.prompts.messages.size(), 1u) << c.name;
            EXPECT_TRUE(t.prompts.last().startsWith(QString::fromStdString(c.message)))
                << c.name << ": " << t.prompts.last().toStdString();
            EXPECT_EQ(t.prompts.messages.back().title, "Data Logging") << c.name;
        }
        EXPECT_EQ(t.prompts.questions,
                  c.question ? QStringList{"File Exists: File Already Exists.  Overwrite?"}
                             : QStringList{})
            << c.name;
        EXPECT_EQ(!t.button(c.start)->isEnabled(), c.running) << c.name;
        t.button("binStopButton")->click();
        t.button("tenStopButton")->click();
        t.button("oneStopButton")->click();
        EXPECT_EQ(readFile(existing), c.existingAfter) << c.name;
        EXPECT_TRUE(t.button(c.start)->isEnabled()) << c.name;
    }
}

// The window on a link whose receiver the test plays.
struct LiveLog {
    Prompts prompts;
    vxtest::ConsoleRig rig;
    TlogForm form{rig.console};
    QPushButton* button(const char* name) { return child<QPushButton>(form, name); }
    Lamp* lamp(const char* name) { return child<Lamp>(form, name); }
    void startLog(const char* editName, const std::string& path, const char* start) {
        child<QLineEdit>(form, editName)->setText(QString::fromStdString(path));
        button(start)->click();
        ASSERT_FALSE(button(start)->isEnabled()) << prompts.last().toStdString();
    }
};

TEST(LogForm, LampsBlinkWhileLoggingAndAFullDiskStopsOnlyThatLog) {
    if (::access("/dev/full", W_OK) != 0) GTEST_SKIP() << "no /dev/full";
    Dir d;
    LiveLog t;
    ASSERT_TRUE(t.rig.start());
    t.form.show();
    child<QCheckBox>(t.form, "CheckBox30")->setChecked(true);
    child<QRadioButton>(t.form, "RadioButton10_B")->setChecked(true);
    t.startLog("logFile10HzWin", d / "5.bin", "tenStartButton");
    EXPECT_FALSE(child<QRadioButton>(t.form, "RadioButton10_A")->isEnabled());
    t.startLog("LogFileBinWin", "/dev/full", "binStartButton");

    const auto fix = vxtest::frame(0x30, 0x02, std::vector<uint8_t>(46, 0x80));
    t.rig.receiveBytes(fix);
    // Both logs wrote: their lamps turn lime; the full device fails at the next flush.
    ASSERT_TRUE(pumpUntil([&] { return t.lamp("rx10Status")->colour() == lamp::kGreen; }));
    t.form.blipTimerTimer(); // flushes: the full device fails
    ASSERT_TRUE(pumpUntil([&] { return t.lamp("rxBinStatus")->colour() == lamp::kRed; }));
    ASSERT_EQ(t.prompts.messages.size(), 1u);
    EXPECT_EQ(t.prompts.last(), "Log file write error.\n\n/dev/full: No space left on device");
    EXPECT_TRUE(t.button("binStartButton")->isEnabled());
    // The blip timer whitens lime lamps only; the red one stays.
    t.form.blipTimerTimer();
    EXPECT_EQ(t.lamp("rx10Status")->colour(), lamp::kWhite);
    EXPECT_EQ(t.lamp("rxBinStatus")->colour(), lamp::kRed);

    // The 5 Hz log goes on, hidden or not; hidden, its lamp is left lime.
    t.form.hide();
    t.rig.receiveBytes(fix);
    ASSERT_TRUE(pumpUntil([&] { return t.lamp("rx10Status")->colour() == lamp::kGreen; }));
    t.form.blipTimerTimer();
    EXPECT_EQ(t.lamp("rx10Status")->colour(), lamp::kGreen);
    t.button("tenStopButton")->click();
    EXPECT_TRUE(child<QRadioButton>(t.form, "RadioButton10_A")->isEnabled());
    std::string both;
    for (int i = 0; i < 2; ++i) both.append(fix.begin(), fix.end());
    EXPECT_EQ(readFile(d / "5.bin"), both);
}

// Sets a group's file, ticks its boxes and starts it.
void startGroup(QWidget& form, const char* edit, const std::string& path,
                std::initializer_list<const char*> boxes, const char* radio, const char* start) {
    child<QLineEdit>(form, edit)->setText(QString::fromStdString(path));
    for (const char* b : boxes) child<QCheckBox>(form, b)->setChecked(true);
    if (radio) child<QRadioButton>(form, radio)->setChecked(true);
    child<QPushButton>(form, start)->click();
    EXPECT_FALSE(child<QPushButton>(form, start)->isEnabled()) << start;
}

void stopAll(QWidget& form) {
    for (const char* b : {"tenStopButton", "oneStopButton", "binStopButton"})
        child<QPushButton>(form, b)->click();
}

TEST(LogForm, AReplayOfTheSampleGivesTheFilesOfVexorLog) {
    Prompts prompts;
    Dir d;
    vxtest::OfflineConsole offline;
    TlogForm form(offline.console);
    startGroup(form, "logFile10HzWin", d / "w5.csv", {"CheckBox30"}, nullptr, "tenStartButton");
    startGroup(form, "logFile1HzWin", d / "w1.csv",
               {"CheckBox31", "CheckBox32", "CheckBox33", "CheckBox36"}, nullptr, "oneStartButton");
    startGroup(form, "LogFileBinWin", d / "wall.bin", {}, nullptr, "binStartButton");
    vx::LinkSettings replay;
    replay.replay = true;
    replay.portIndex = vx::kReplayPortIndex;
    replay.fileName = SAMPLE_RECORDING;
    ASSERT_EQ(offline.console.startMonitor(replay), 0);
    ASSERT_TRUE(
        pumpUntil([&] { return offline.link.idleAtEnd() && offline.console.queue().empty(); }));
    offline.console.stopMonitor();
    stopAll(form);

    auto r =
        vxtest::runCommand(std::string(VEXOR_BINARY) + " log --5hz " + d / "c5.csv" + " --1hz " +
                           d / "c1.csv" + " --all " + d / "call.bin " + SAMPLE_RECORDING);
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string five = readFile(d / "w5.csv");
    EXPECT_GT(std::count(five.begin(), five.end(), '\n'), 100);
    EXPECT_EQ(five, readFile(d / "c5.csv"));
    EXPECT_EQ(readFile(d / "w1.csv"), readFile(d / "c1.csv"));
    EXPECT_GT(readFile(d / "w1.csv").size(), 1000u);
    EXPECT_EQ(readFile(d / "wall.bin"), readFile(SAMPLE_RECORDING));
}

TEST_F(ConsoleWindows, DataLoggingOfTheSimulatedReceiverMatchesVexorLogOnItsRecording) {
    Prompts prompts;
    Dir d;
    // The console opens the line first; the simulated receiver starts talking afterwards, so
    // the recording holds exactly the bytes the console received.
    vxtest::Pty line;
    ASSERT_TRUE(line.ok());
    comMap.setPath(0, line.slavePath());
    main->switchSource(0);
    ASSERT_TRUE(main->monitoring()) << console->lastError().toStdString();

    QAction* item = nullptr;
    for (QAction* a : main->findChildren<QAction*>())
        if (a->text() == "Data &Logging...") item = a;
    ASSERT_NE(item, nullptr);
    item->trigger();
    auto* form = windows->find<TlogForm>(vx::WindowId::TlogForm);
    ASSERT_NE(form, nullptr);
    EXPECT_TRUE(form->isVisible());
    startGroup(*form, "logFile10HzWin", d / "w5.bin", {"CheckBox30"}, "RadioButton10_B",
               "tenStartButton");
    startGroup(*form, "logFile1HzWin", d / "w1.bin", {"CheckBox31", "CheckBox33", "CheckBox36"},
               "RadioButton1_B", "oneStartButton");
    startGroup(*form, "LogFileBinWin", d / "wall.bin", {}, nullptr, "binStartButton");
    form->close(); // logging goes on behind a closed window

    // Six seconds of receiver time, stepped a fifth of a second at a time, each step taken by
    // the console before the next: the line never holds more than a step.
    vx::sim::SimRunnerOptions o;
    o.speed = 0;
    o.durationMs = 6000;
    o.recordPath = d / "sim.vxr";
    vx::sim::SimRunner sim(o);
    ASSERT_TRUE(sim.start(std::make_shared<vx::sim::FdTransport>(::dup(line.masterFd()))))
        << sim.error();
    while (sim.advance(200))
        ASSERT_TRUE(pumpUntil([&] { return link.bytesReceived() == sim.stats().bytesSent; }));
    ASSERT_TRUE(sim.finished());
    sim.stop();
    ASSERT_EQ(sim.droppedBytes(), 0u);
    const std::string recorded = readFile(d / "sim.vxr");
    ASSERT_GT(recorded.size(), 1000u);
    ASSERT_TRUE(pumpUntil([&] { return link.bytesReceived() == recorded.size(); }));
    console->stopMonitor();
    stopAll(*form);
    EXPECT_TRUE(prompts.messages.empty()) << prompts.last().toStdString();

    EXPECT_EQ(readFile(d / "wall.bin"), recorded);
    auto r =
        vxtest::runCommand(std::string(VEXOR_BINARY) + " log --bin5 " + d / "c5.bin" + " --bin1 " +
                           d / "c1.bin" + " --1hz-packets 31-01,33-01,36-all " + d / "sim.vxr");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_GT(readFile(d / "w5.bin").size(), 500u);
    EXPECT_EQ(readFile(d / "w5.bin"), readFile(d / "c5.bin"));
    EXPECT_GT(readFile(d / "w1.bin").size(), 500u);
    EXPECT_EQ(readFile(d / "w1.bin"), readFile(d / "c1.bin"));
}

} // namespace
