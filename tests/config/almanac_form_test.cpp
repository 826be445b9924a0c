// The almanac window: a download that uploads back unchanged and a clear, end to end on the
// simulated receiver; and the refusals and time-outs without one. The file format and the
// frames are tested in almanac_file_test.
#include "config/almanac_form.h"
#include "sim/sim_receiver.h"
#include "support/console_fixture_qt.h"
#include "support/recording_sink.h"
#include "support/temp_path.h"
#include "widgets/lamp_qt.h"
#include "widgets/panel_qt.h"

#include <QCheckBox>
#include <QFile>
#include <QTest>

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

using vxtest::child;
using vxtest::ConsoleOnSimulatedReceiver;
using vxtest::ConsoleWindows;
using vxtest::pumpUntil;

namespace {

QString status(QWidget* w) {
    return child<Panel>(w, "statusWin")->text();
}
QColor led(QWidget* w) {
    return child<Lamp>(w, "statusLED")->colour();
}
void click(QWidget* w, const char* name) {
    child<QAbstractButton>(w, name)->click();
}
std::vector<uint8_t> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}
// Ends every 50 ms pause of the running transfer at once; the Start button stays disabled and
// the status counts the pages.
void runTransfer(TalmanacForm* form) {
    int steps = 0;
    while (form->runner().running()) {
        QTimer* t = form->runner().timer();
        ASSERT_TRUE(t->isActive());
        EXPECT_EQ(t->interval(), TalmanacForm::kPageGapMs);
        EXPECT_FALSE(child<QPushButton>(form, "startButton")->isEnabled());
        form->runner().scriptTimerTimer();
        ++steps;
    }
    EXPECT_EQ(steps, 34);
}

#define OPEN_ALMANAC()                                                                             \
    (menuItem("Almanac download/Upload (2812-2814)...")->trigger(),                                \
     windows->find<TalmanacForm>(vx::WindowId::TalmanacForm))

TEST_F(ConsoleOnSimulatedReceiver, AlmanacDownloadClearsAndUploadsBack) {
    startSimulatedReceiver();
    ASSERT_TRUE(sim->advance(60000)) << "the receiver collects its almanac";
    // The minute of reports is read before the transfer starts, so that the pseudo-terminal
    // takes the console's queries at once (a write the line does not take in time fails the
    // transfer, as it should).
    uint64_t seen = 0;
    QElapsedTimer quiet;
    quiet.start();
    ASSERT_TRUE(pumpUntil([&] {
        if (console->delivered() != seen) {
            seen = console->delivered();
            quiet.restart();
        }
        return seen > 0 && quiet.elapsed() > 300;
    }));
    TalmanacForm* form = OPEN_ALMANAC();
    ASSERT_NE(form, nullptr);
    const std::string path = vxtest::uniqueTempPath("almanac");
    child<QLineEdit>(form, "almFileWin")->setText(QString::fromStdString(path));

    click(form, "DownRadioButton2");
    click(form, "startButton");
    EXPECT_EQ(status(form), "Requesting page 1 of 34");
    runTransfer(form);
    ASSERT_TRUE(pumpUntil([&] { return !form->busy(); })) << status(form).toStdString();
    EXPECT_EQ(status(form), "Download Successful") << readFile(path).size() << " bytes";
    EXPECT_EQ(led(form), lamp::kGreen);
    const std::vector<uint8_t> file = readFile(path);
    const auto pages = vx::parseAlmanacFile(file);
    ASSERT_TRUE(pages) << file.size() << " bytes";
    EXPECT_EQ(pages->sv[4].status & 7, 3) << "collected by the receiver";

    click(form, "clearRadioButton");
    click(form, "startButton");
    runTransfer(form);
    ASSERT_TRUE(pumpUntil([&] { return !form->busy(); }));
    EXPECT_EQ(status(form), "Successfully Cleared Almanac Data");
    EXPECT_EQ(led(form), lamp::kGreen);
    bool cleared = false;
    sim->inspect([&](const vx::sim::SimReceiver& r) {
        cleared = true;
        for (const auto& p : r.store().almanac) cleared &= (p.status & 7) == 0;
    });
    EXPECT_TRUE(cleared);

    click(form, "UpRadioButton1");
    child<QComboBox>(form, "sourceWin")->setCurrentIndex(1); // Host Override
    click(form, "startButton");
    runTransfer(form);
    ASSERT_TRUE(pumpUntil([&] { return !form->busy(); }));
    EXPECT_EQ(status(form), "Successfully Uploaded Almanac");
    EXPECT_EQ(led(form), lamp::kGreen);
    bool same = false;
    sim->inspect([&](const vx::sim::SimReceiver& r) {
        same = true;
        for (size_t i = 0; i < 32; ++i) {
            const auto& p = r.store().almanac[i];
            same &=
                (p.status & 7) == 2 && std::equal(p.data, p.data + 24, pages->sv[i].data.begin());
        }
    });
    EXPECT_TRUE(same) << "every page back, with the source Host Override";
    std::remove(path.c_str());
}

TEST_F(ConsoleWindows, AlmanacRefusesBadFilesAndTimesOut) {
    vxtest::RecordingSink sink;
    console->setSink(&sink);
    TalmanacForm* form = OPEN_ALMANAC();
    ASSERT_NE(form, nullptr);
    const std::string path = vxtest::uniqueTempPath("almanac_bad");
    { std::ofstream(path, std::ios::binary) << std::string(1008, '\x28'); }
    child<QLineEdit>(form, "almFileWin")->setText(QString::fromStdString(path));

    click(form, "startButton");
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, "No source selected.");
    child<QComboBox>(form, "sourceWin")->setCurrentIndex(0);
    click(form, "startButton");
    EXPECT_EQ(status(form), "Error in parsing the file.");
    EXPECT_EQ(led(form), lamp::kRed);
    EXPECT_TRUE(sink.frames.empty()) << "nothing is sent from a file that does not parse";

    // A download nobody answers: the timer ends it and the file is marked incomplete.
    click(form, "DownRadioButton2");
    EXPECT_FALSE(child<QComboBox>(form, "sourceWin")->isEnabled());
    EXPECT_TRUE(child<QCheckBox>(form, "cbStripCntrlBytes")->isEnabled());
    click(form, "startButton");
    runTransfer(form);
    EXPECT_EQ(sink.frames.size(), 34u);
    ASSERT_TRUE(form->responseTimer()->isActive());
    EXPECT_EQ(form->responseTimer()->interval(), 3000);
    form->responseTimerTimer();
    EXPECT_EQ(status(form), "Failed to download all almanac data");
    EXPECT_EQ(led(form), lamp::kRed);
    EXPECT_EQ(vxtest::hex(readFile(path)), "FF FF");

    // A link that refuses the frames ends a clear at the first one.
    sink.result = -1;
    click(form, "clearRadioButton");
    click(form, "startButton");
    EXPECT_FALSE(form->busy());
    EXPECT_EQ(status(form), "Failed to clear all almanac data");
    console->setSink(nullptr);
    std::remove(path.c_str());
}

} // namespace
