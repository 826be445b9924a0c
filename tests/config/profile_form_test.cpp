// The configuration profile window against the simulated receiver: save from the Config menu,
// change three settings through their dialogs, verify (3 different), apply after the
// confirmation that names the port and the number of fields, verify again (all the same); a
// refused profile shows its lines and sends nothing. The exchanges themselves are the profile
// run's (tests/config/profile_test.cpp).
#include "config/profile_form.h"
#include "support/console_fixture_qt.h"
#include "support/temp_path.h"
#include "widgets/file_dialog_qt.h"

#include <QFile>
#include <QLabel>
#include <QTableWidget>
#include <QTest>

#include <fstream>
#include <sstream>

using vxtest::child;
using vxtest::ConsoleOnSimulatedReceiver;
using vxtest::ConsoleWindows;
using vxtest::pumpUntil;

namespace {

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class ProfileWindowOnSimulatedReceiver : public ConsoleOnSimulatedReceiver {
protected:
    void SetUp() override {
        ConsoleOnSimulatedReceiver::SetUp();
        fileDialog::setChooser([this](const QString&) { return chosen; });
        msg::setAnswerer([this](msg::Kind, const QString&, const QString& text) {
            asked.push_back(text);
            return true;
        });
    }
    void TearDown() override {
        fileDialog::setChooser(nullptr);
        msg::setAnswerer(nullptr);
        ConsoleOnSimulatedReceiver::TearDown();
    }
    // Runs the menu item's run to its end on a clock the test moves: the pauses between Set
    // frames pass without waiting; answers come as fast as the receiver sends them.
    void runItem(const char* caption) {
        menuItem(caption)->trigger();
        form = windows->find<TprofileForm>(vx::WindowId::TprofileForm);
        ASSERT_NE(form, nullptr);
        form->setClock([this] { return nowMs; });
        ASSERT_TRUE(pumpUntil([&] {
            if (!form->running()) return true;
            if (form->run()->pausing()) { // the pause between two Set frames: passed at once
                nowMs = std::max(nowMs, *form->run()->wakeAt());
                form->runTimerTimer();
            }
            return false;
        }));
    }
    void click(QWidget* w, const char* name) {
        QTest::mouseClick(child<QPushButton>(w, name), Qt::LeftButton);
    }
    QString summary() const { return child<QLabel>(form, "summaryLabel")->text(); }

    QString chosen;
    std::vector<QString> asked;
    TprofileForm* form = nullptr;
    int64_t nowMs = 0;
};

TEST_F(ProfileWindowOnSimulatedReceiver, SaveChangeVerifyApplyVerify) {
    startSimulatedReceiver();
    const std::string path = vxtest::uniqueTempPath("profile");
    chosen = QString::fromStdString(path);
    runItem("Save Receiver Configuration...");
    const std::string saved = slurp(path);
    ASSERT_EQ(saved.rfind("# Ornivex receiver configuration profile\r\n", 0), 0u);
    EXPECT_NE(saved.find("\r\n# port: COM1 ("), std::string::npos) << saved.substr(0, 300);
    const size_t fields = vx::parseProfile(saved).profile.values.size();
    EXPECT_EQ(child<QLabel>(form, "statusLabel")->text(),
              QString("%1 fields saved to %2").arg(fields).arg(chosen));

    // Three settings changed through their dialogs.
    menuItem("DR Engine Rate (2101)...")->trigger();
    QWidget* rate = windows->find(vx::WindowId::Tpkt2101Form);
    ASSERT_TRUE(pumpUntil([&] { return child<QComboBox>(rate, "DR_CB")->currentIndex() >= 0; }));
    child<QComboBox>(rate, "DR_CB")->setCurrentIndex(1); // 10 Hz
    click(rate, "setButton");
    menuItem("&Kalman Filter Parameters (0x25)")->trigger();
    QWidget* kalman = windows->find(vx::WindowId::Tpkt25Form);
    ASSERT_TRUE(
        pumpUntil([&] { return !child<QLineEdit>(kalman, "pkt25Win23")->text().isEmpty(); }));
    child<QLineEdit>(kalman, "pkt25Win2")->setText("7");
    child<QLineEdit>(kalman, "pkt25Win8")->setText("61.5");
    click(kalman, "setButton");
    ASSERT_TRUE(pumpUntil([&] { return console->delivered() > 0; }));

    runItem("Verify Receiver Against Profile...");
    EXPECT_EQ(summary(), QString("%1 fields: %2 same, 3 different").arg(fields).arg(fields - 3));
    auto* table = child<QTableWidget>(form, "resultTable");
    ASSERT_EQ(table->rowCount(), int(fields));
    QStringList different;
    for (int r = 0; r < table->rowCount(); ++r)
        if (table->item(r, 3)->text() == "different")
            different << table->item(r, 0)->text() + " " + table->item(r, 2)->text();
    EXPECT_EQ(different, (QStringList{"engine_rate.DR_Engine_Rate 10 Hz", "kalman.MinSVs 7",
                                      "kalman.MaxVel 61.5"}));
    // The table saved as text ends with the summary.
    const std::string tablePath = vxtest::uniqueTempPath("table");
    chosen = QString::fromStdString(tablePath);
    click(form, "saveTableButton");
    EXPECT_TRUE(slurp(tablePath).ends_with(summary().toStdString() + "\r\n"));

    // Apply: asked first, naming the port and the number of fields.
    chosen = QString::fromStdString(path);
    runItem("Apply Profile to Receiver...");
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_TRUE(asked[0].startsWith(
        QString("Apply %1 fields of %2 to the receiver on COM1 (").arg(fields).arg(chosen)))
        << asked[0].toStdString();
    EXPECT_EQ(summary(), QString("%1 fields: %1 same").arg(fields));
    runItem("Verify Receiver Against Profile...");
    EXPECT_EQ(summary(), QString("%1 fields: %1 same").arg(fields));

    // A profile with a value out of range: its line in the message, nothing sent.
    std::ofstream(path, std::ios::binary) << "kalman.MinSVs = 4\nkalman.MaxVel = 1e39\n";
    messages.clear();
    const uint64_t before = console->delivered();
    menuItem("Apply Profile to Receiver...")->trigger();
    EXPECT_FALSE(form->running());
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].title, "Error");
    EXPECT_TRUE(messages[0].text.endsWith("\nline 2: kalman.MaxVel: 1e39 is out of range (a "
                                          "32-bit float)."))
        << messages[0].text.toStdString();
    EXPECT_EQ(asked.size(), 1u);
    console->drainAll();
    EXPECT_EQ(console->delivered(), before); // no acknowledgement: nothing went out
    std::remove(path.c_str());
    std::remove(tablePath.c_str());
}

// Without a receiver's port nothing is asked for or sent.
TEST_F(ConsoleWindows, ProfileWindowNeedsAMonitoredPort) {
    fileDialog::setChooser([](const QString&) { return QString("/nonexistent/profile"); });
    menuItem("Save Receiver Configuration...")->trigger();
    auto* form = windows->find<TprofileForm>(vx::WindowId::TprofileForm);
    ASSERT_NE(form, nullptr);
    EXPECT_FALSE(form->running());
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].title, "Error");
    EXPECT_EQ(messages[0].text, "Not monitoring: start monitoring the receiver's port first.");
    fileDialog::setChooser(nullptr);
}

// While a run waits for a receiver that does not answer: another item and closing are refused,
// Stop ends it.
TEST_F(ConsoleWindows, ProfileWindowRefusesWhileItRunsUntilStopped) {
    startOnPty(0); // nobody answers on the pseudo-terminal
    const std::string path = vxtest::uniqueTempPath("profile");
    fileDialog::setChooser([&](const QString&) { return QString::fromStdString(path); });
    menuItem("Save Receiver Configuration...")->trigger();
    auto* form = windows->find<TprofileForm>(vx::WindowId::TprofileForm);
    ASSERT_NE(form, nullptr);
    ASSERT_TRUE(form->running());
    EXPECT_TRUE(child<QTimer>(form, "runTimer")->isActive());
    menuItem("Verify Receiver Against Profile...")->trigger();
    form->close();
    EXPECT_TRUE(form->isVisible());
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0].text, "A profile run is in progress: stop it before starting another.");
    EXPECT_EQ(messages[1].text, "A profile run is in progress: stop it before closing the window.");
    QTest::mouseClick(child<QPushButton>(form, "stopButton"), Qt::LeftButton);
    EXPECT_FALSE(form->running());
    EXPECT_EQ(child<QLabel>(form, "statusLabel")->text(), "Stopped.");
    EXPECT_FALSE(QFile::exists(QString::fromStdString(path)));
    form->close();
    EXPECT_FALSE(form->isVisible());
    fileDialog::setChooser(nullptr);
}

} // namespace
