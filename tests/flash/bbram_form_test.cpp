// "BBRAM save/load": its refusals, and against the simulated receiver a RAM save, an upload
// and a second save, a flash upload of a short file and a refused daemon start, with the link
// owned by the window for the whole of each operation.
#include "flash/bbram_form.h"

#include "sim/sim_runner.h"
#include "support/console_fixture_qt.h"
#include "support/stepped_monitor_link.h"
#include "support/temp_path.h"
#include "widgets/file_dialog_qt.h"

#include <QCheckBox>
#include <QMenuBar>
#include <QProgressBar>

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>

using vxtest::ConsoleOnSimulatedReceiver;
using vxtest::ConsoleWindows;
using vxtest::pumpUntil;

namespace {

std::vector<uint8_t> readFile(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), {}};
}

void writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream f(path, std::ios::binary);
    f.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

// Every file dialog answers with this path (empty: cancelled).
struct Chooser {
    QString path;
    QStringList captions;
    Chooser() {
        fileDialog::setChooser([this](const QString& caption) {
            captions << caption;
            return path;
        });
    }
    ~Chooser() { fileDialog::setChooser(nullptr); }
};

class FlashBbram : public ConsoleWindows {
protected:
    TBBRAM_Form* form() {
        menuItem("Flash BBRAM...")->trigger();
        auto* f = windows->find<TBBRAM_Form>(vx::WindowId::TBBRAM_Form);
        EXPECT_NE(f, nullptr);
        EXPECT_TRUE(f && f->isVisible());
        return f;
    }
};

} // namespace

TEST_F(FlashBbram, OkRefusesWithoutAReceiverOnAComPort) {
    Chooser chooser;
    chooser.path = QString::fromStdString(vxtest::uniqueTempPath("bbram_refused"));
    TBBRAM_Form* f = form();
    ASSERT_FALSE(console->monitoring());
    vxtest::child<QPushButton>(f, "okButton")->click();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].title, "Error");
    EXPECT_TRUE(chooser.captions.isEmpty()) << "no file is asked for";
    EXPECT_FALSE(f->working());
    EXPECT_FALSE(console->linkClaimed());

    // A replay file has no receiver behind it either.
    const std::string replay = vxtest::uniqueTempPath("bbram_replay");
    writeFile(replay, {0x81, 0x21, 0x01, 0x0A, 0xD1, 0x82});
    vx::LinkSettings s;
    s.replay = true;
    s.portIndex = vx::kReplayPortIndex;
    s.fileName = replay;
    ASSERT_EQ(console->startMonitor(s), 0);
    vxtest::child<QPushButton>(f, "okButton")->click();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[1].title, "Error");
    EXPECT_FALSE(console->linkClaimed());
    console->stopMonitor();
    std::remove(replay.c_str());
}

TEST_F(FlashBbram, OptionsFollowTheBbramType) {
    TBBRAM_Form* f = form();
    auto* addr = vxtest::child<QGroupBox>(f, "addrStartGroup");
    auto* entire = vxtest::child<QCheckBox>(f, "entireFlashCB");
    EXPECT_FALSE(addr->isEnabled());
    EXPECT_TRUE(entire->isEnabled());
    entire->setChecked(true);
    EXPECT_TRUE(f->options().entireFlash);
    vxtest::child<QRadioButton>(f, "ramRadio")->click();
    EXPECT_TRUE(addr->isEnabled());
    EXPECT_FALSE(entire->isEnabled());
    EXPECT_FALSE(f->options().entireFlash) << "the entire flash counts only with FLASH";
    vxtest::child<QRadioButton>(f, "beforeRomBRadio")->click();
    EXPECT_EQ(vx::bbramRegion(f->options()).start, 0x2000u);
    EXPECT_EQ(f->windowTitle(), "BBRAM save/load");
}

namespace {

class FlashBbramOnSimulatedReceiver : public ConsoleOnSimulatedReceiver {
protected:
    TBBRAM_Form* open() {
        menuItem("Flash BBRAM...")->trigger();
        auto* f = windows->find<TBBRAM_Form>(vx::WindowId::TBBRAM_Form);
        EXPECT_NE(f, nullptr);
        f->setMonitorLinkFactory([this](vx::LinkClaim& claim) {
            return std::make_unique<vxtest::SteppedMonitorLink>(claim, *sim);
        });
        return f;
    }
    void choose(TBBRAM_Form* f, bool upload, bool ram) {
        vxtest::child<QRadioButton>(f, upload ? "uploadRadio" : "saveRadio")->click();
        vxtest::child<QRadioButton>(f, ram ? "ramRadio" : "flashRadio")->click();
    }
    // Clicks OK; while the operation runs nothing else may use the link and nothing closes.
    void runOperation(TBBRAM_Form* f) {
        vxtest::child<QPushButton>(f, "okButton")->click();
        ASSERT_TRUE(f->working());
        EXPECT_TRUE(console->linkClaimed());
        EXPECT_FALSE(main->menuBar()->isEnabled());
        EXPECT_FALSE(vxtest::child<QPushButton>(f, "okButton")->isEnabled());
        EXPECT_FALSE(vxtest::child<QGroupBox>(f, "typeGroup")->isEnabled());
        f->close();
        EXPECT_TRUE(f->isVisible()) << "the window refuses to close";
        main->close();
        EXPECT_TRUE(main->isVisible()) << "so does the main window";
        main->comWinDblClick(1);
        EXPECT_TRUE(main->monitoring()) << "no source switch pulls the link away";
        const uint8_t query[] = {0x81, 0x02, 0x21, 0x01, 0xD9, 0x82};
        EXPECT_EQ(console->sink().sendFrame(query, sizeof query), -1) << "other senders wait";
        ASSERT_TRUE(pumpUntil([&] { return !f->working(); }, 60000));
        EXPECT_FALSE(console->linkClaimed());
        EXPECT_TRUE(main->menuBar()->isEnabled());
        EXPECT_TRUE(main->monitoring()) << "Stop Monitor, Start Monitor";
    }
    std::vector<uint8_t> simRam(uint32_t address, size_t n) {
        std::vector<uint8_t> out;
        sim->inspect([&](const vx::sim::SimReceiver& r) {
            const uint8_t* p = r.monitor().ram() + address;
            out.assign(p, p + n);
        });
        return out;
    }
    QString status(TBBRAM_Form* f) { return vxtest::child<Panel>(f, "statusWin")->text(); }
    QColor led(TBBRAM_Form* f) { return vxtest::child<Lamp>(f, "statusLED")->colour(); }
};

} // namespace

TEST_F(FlashBbramOnSimulatedReceiver, RamSaveUploadAndSaveAgain) {
    startSimulatedReceiver();
    Chooser chooser;
    const std::string first = vxtest::uniqueTempPath("bbram_gui_first");
    chooser.path = QString::fromStdString(first);
    TBBRAM_Form* f = open();
    choose(f, false, true);
    runOperation(f);
    EXPECT_EQ(status(f), "RAM BBRAM save complete.");
    EXPECT_EQ(led(f), lamp::kGreen);
    EXPECT_EQ(vxtest::child<QProgressBar>(f, "progressBar")->value(), 100);
    std::vector<uint8_t> saved = readFile(first);
    ASSERT_EQ(saved.size(), 16384u);
    EXPECT_EQ(saved, simRam(0x1800, 16384)) << "the receiver's RAM, byte for byte";

    // The receiver restarts; then a changed image goes up (its tail, which the receiver's own
    // settings do not cover) and a second save brings the change back.
    ASSERT_TRUE(sim->advance(vx::sim::SimReceiver::restartMs()));
    std::vector<uint8_t> changed = saved;
    for (size_t i = 16384 - 512; i < 16384; ++i) changed[i] = uint8_t(i * 13 + 1);
    const std::string upload = vxtest::uniqueTempPath("bbram_gui_upload");
    writeFile(upload, changed);
    chooser.path = QString::fromStdString(upload);
    choose(f, true, true);
    runOperation(f);
    EXPECT_EQ(status(f), "RAM BBRAM upload complete.");
    EXPECT_EQ(led(f), lamp::kGreen);
    ASSERT_TRUE(sim->advance(vx::sim::SimReceiver::restartMs()));

    const std::string second = vxtest::uniqueTempPath("bbram_gui_second");
    chooser.path = QString::fromStdString(second);
    choose(f, false, true);
    runOperation(f);
    std::vector<uint8_t> again = readFile(second);
    ASSERT_EQ(again.size(), 16384u);
    EXPECT_TRUE(std::equal(again.end() - 512, again.end(), changed.end() - 512));
    EXPECT_EQ(again, simRam(0x1800, 16384));
    EXPECT_EQ(chooser.captions, (QStringList{"Save BBRAM to File", "Upload BBRAM File to Receiver",
                                             "Save BBRAM to File"}));
    for (const std::string& p : {first, upload, second}) std::remove(p.c_str());
}

TEST_F(FlashBbramOnSimulatedReceiver, AShortFlashImageSendsNothingAndARefusedDaemonTurnsRed) {
    startSimulatedReceiver();
    Chooser chooser;
    const std::string path = vxtest::uniqueTempPath("bbram_gui_short");
    writeFile(path, std::vector<uint8_t>(1000, 0x5A));
    chooser.path = QString::fromStdString(path);
    TBBRAM_Form* f = open();
    choose(f, true, false);
    const uint64_t commands = sim->stats().commandsReceived;
    runOperation(f);
    EXPECT_EQ(status(f), "Error reading BBRAM file.");
    EXPECT_EQ(led(f), lamp::kRed);
    EXPECT_EQ(sim->stats().commandsReceived, commands) << "nothing was sent";

    // A good image, but the receiver refuses the flash daemon.
    writeFile(path, std::vector<uint8_t>(16384, 0x5A));
    vx::sim::SimFaults refuse;
    refuse.monitorRefuse = 0x83;
    sim->setFaults(refuse);
    runOperation(f);
    EXPECT_EQ(status(f), "Error starting daemon.");
    EXPECT_EQ(led(f), lamp::kRed);
    // The receiver was restarted: its start-up report reaches the console, which monitors
    // again (Stop Monitor blanked the display).
    sim->setFaults({});
    EXPECT_TRUE(panel("startupStatus")->text().isEmpty());
    ASSERT_TRUE(sim->advance(vx::sim::SimReceiver::restartMs()));
    EXPECT_TRUE(pumpUntil([&] { return !panel("startupStatus")->text().isEmpty(); }));
    std::remove(path.c_str());
}
