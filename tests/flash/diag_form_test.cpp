// "Diagnostics" (device flash configuration): its refusals and input checks, and against the
// simulated receiver the product information and hardware ID written in the window and read
// back by a version query.
#include "flash/diag_form.h"

#include "app/version_form.h"
#include "link/serial_monitor_link.h"
#include "sim/sim_runner.h"
#include "support/console_fixture_qt.h"
#include "support/console_rig_qt.h"
#include "support/stepped_monitor_link.h"
#include "widgets/message_qt.h"

#include <QMenuBar>
#include <QPlainTextEdit>

#include <gtest/gtest.h>

using vxtest::ConsoleOnSimulatedReceiver;
using vxtest::ConsoleWindows;
using vxtest::pumpUntil;

namespace {

// The console's link without real pauses: the window's second after the restart costs nothing.
class NoSleepLink : public vx::SerialMonitorLink {
public:
    using SerialMonitorLink::SerialMonitorLink;
    void sleepMs(int) override {}
};

QString status(TdiagForm* f) {
    return vxtest::child<Panel>(f, "statusWin")->text();
}

} // namespace

TEST_F(ConsoleWindows, DiagnosticsRefusesAReplayFile) {
    sio->selectPort(vx::kReplayPortIndex);
    menuItem("Device Flash Configuration")->trigger();
    auto* f = windows->find<TdiagForm>(vx::WindowId::TdiagForm);
    ASSERT_NE(f, nullptr);
    ASSERT_TRUE(pumpUntil([&] { return !messages.empty(); }));
    EXPECT_EQ(messages[0].title, "Error");
    EXPECT_TRUE(pumpUntil([&] { return !f->isVisible(); }));
    EXPECT_FALSE(f->holdsLink());
    EXPECT_FALSE(console->linkClaimed());
    EXPECT_FALSE(console->monitoring()) << "nothing was started";
}

// The fields are checked before anything is sent: each refusal is one message box and no byte
// on the wire.
TEST(DiagForm, FieldsAreRefusedBeforeAnythingIsSent) {
    std::vector<vxtest::Message> boxes;
    msg::setInterceptor([&](msg::Kind k, const QString& t, const QString& x) {
        boxes.push_back({k, t, x});
    });
    std::vector<QString> questions;
    msg::setAnswerer([&](msg::Kind, const QString& title, const QString& text) {
        questions.push_back(title + ": " + text);
        return false; // Cancel
    });
    vxtest::ConsoleRig rig;
    TdiagForm form(rig.console);
    form.setMonitorLinkFactory([](vx::LinkClaim& c) { return std::make_unique<NoSleepLink>(c); });
    ASSERT_TRUE(rig.start());
    form.show();
    ASSERT_TRUE(pumpUntil([&] { return form.holdsLink() && !form.busy(); }));
    EXPECT_EQ(vxtest::hex(rig.pty.read(5)), "81 03 03 F7 82") << "Force to Monitor (0303)";
    EXPECT_TRUE(rig.console.linkClaimed());

    auto set = [&](const char* name, const QString& text) {
        vxtest::child<QLineEdit>(&form, name)->setText(text);
    };
    struct Case {
        const char* serial;
        const char* name;
        const char* date;
        const char* title;
        const char* text;
    };
    // (Every rule of the fields is tested with device_config; here, that the window shows it.)
    const Case cases[] = {
        {"4294967296", "AB", "12/31/2007", "Error",
         "Serial Number: not a valid number (0 to 4294967295)."},
        {"1", "ABCDEFGHIJKLMNOPQ", "12/31/2007", "", "Length excess 16 bytes"},
    };
    for (const Case& c : cases) {
        boxes.clear();
        set("seriNumWin", c.serial);
        set("prodNameWin", c.name);
        set("prodDateWin", c.date);
        vxtest::child<QPushButton>(&form, "setButton")->click();
        ASSERT_EQ(boxes.size(), 1u) << c.text;
        EXPECT_EQ(boxes[0].title, c.title);
        EXPECT_EQ(boxes[0].text, c.text);
    }
    boxes.clear();
    set("hwIdWin", QString(17, 'H'));
    vxtest::child<QPushButton>(&form, "hwIdSet")->click();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Length excess 16 bytes");

    boxes.clear();
    set("setWin", "80");
    vxtest::child<QPushButton>(&form, "CustomerDataSet")->click();
    set("setWin", "22");
    auto* memo = vxtest::child<QPlainTextEdit>(&form, "byteMemo");
    memo->setPlainText("01 1FF");
    vxtest::child<QPushButton>(&form, "CustomerDataSet")->click();
    memo->setPlainText(QString(1200, ' ') + "01");
    EXPECT_EQ(memo->toPlainText().size(), TdiagForm::kMemoChars) << "the box holds 1000";
    vxtest::child<QPushButton>(&form, "CustomerDataSet")->click();
    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_EQ(boxes[0].text, "Data block to set is out of range (0x01 - 0x7F).");
    EXPECT_EQ(boxes[1].text, "Error in data to set");
    EXPECT_EQ(boxes[2].text, "No data to set");
    memo->setPlainText("01 02");
    vxtest::child<QPushButton>(&form, "CustomerDataSet")->click();
    EXPECT_EQ(questions,
              std::vector<QString>{"Confirm: Permanently write data block 0x22 to ROM?"});
    EXPECT_FALSE(form.busy()) << "cancelled";
    EXPECT_TRUE(rig.pty.readAvailable().empty()) << "nothing was sent";

    // Closing restarts the receiver and gives the link back.
    form.close();
    EXPECT_FALSE(form.isVisible());
    ASSERT_TRUE(pumpUntil([&] { return !form.holdsLink(); }));
    EXPECT_EQ(vxtest::hex(rig.pty.read(6)), "02 00 8C 00 8C 03");
    EXPECT_FALSE(rig.console.linkClaimed());
    EXPECT_TRUE(rig.console.monitoring());
    msg::setAnswerer(nullptr);
    msg::setInterceptor(nullptr);
}

TEST_F(ConsoleOnSimulatedReceiver, DeviceFlashConfigurationWritesWhatAVersionQueryReads) {
    startSimulatedReceiver();
    auto* f = windows->find<TdiagForm>(vx::WindowId::TdiagForm);
    ASSERT_NE(f, nullptr);
    f->setMonitorLinkFactory([this](vx::LinkClaim& claim) {
        return std::make_unique<vxtest::SteppedMonitorLink>(claim, *sim);
    });
    menuItem("Device Flash Configuration")->trigger();
    ASSERT_TRUE(pumpUntil([&] { return f->holdsLink() && !f->busy(); }));
    EXPECT_FALSE(main->menuBar()->isEnabled());
    main->close();
    EXPECT_TRUE(main->isVisible()) << "the main window waits for the window";

    vxtest::child<QLineEdit>(f, "seriNumWin")->setText("305419896");
    vxtest::child<QLineEdit>(f, "prodNameWin")->setText("ORNI-7 DR");
    vxtest::child<QLineEdit>(f, "prodDateWin")->setText("12/31/2007");
    vxtest::child<QPushButton>(f, "setButton")->click();
    EXPECT_FALSE(vxtest::child<QPushButton>(f, "closeButton")->isEnabled());
    ASSERT_TRUE(pumpUntil([&] { return !f->busy(); }));
    EXPECT_EQ(status(f), "Product Info set completed");
    vxtest::child<QLineEdit>(f, "hwIdWin")->setText("HW-ORNI-42");
    vxtest::child<QPushButton>(f, "hwIdSet")->click();
    ASSERT_TRUE(pumpUntil([&] { return !f->busy(); }));
    EXPECT_EQ(status(f), "Hardware ID set completed");
    vxtest::child<QPushButton>(f, "romTestButton")->click();
    ASSERT_TRUE(pumpUntil([&] { return !f->busy(); }));
    EXPECT_EQ(vxtest::child<Lamp>(f, "romTestStatus")->colour(), lamp::kGreen);

    // The receiver refuses the RAM test: red.
    vx::sim::SimFaults refuse;
    refuse.monitorRefuse = 0x85;
    sim->setFaults(refuse);
    vxtest::child<QPushButton>(f, "ramTestButtom")->click();
    ASSERT_TRUE(pumpUntil([&] { return !f->busy(); }));
    EXPECT_EQ(vxtest::child<Lamp>(f, "ramTestStatus")->colour(), lamp::kRed);
    sim->setFaults({});

    vxtest::child<QPushButton>(f, "closeButton")->click();
    EXPECT_FALSE(f->isVisible());
    ASSERT_TRUE(pumpUntil([&] { return !f->holdsLink(); }));
    EXPECT_TRUE(main->menuBar()->isEnabled());
    EXPECT_TRUE(main->monitoring());
    ASSERT_TRUE(sim->advance(vx::sim::SimReceiver::restartMs()));

    menuItem("&Version (1101-1103), Product Info (1202-1204)...")->trigger();
    auto* version = windows->find<TversionForm>(vx::WindowId::TversionForm);
    ASSERT_NE(version, nullptr);
    vxtest::endPacedPauses(*version);
    auto text = [&](const char* name) { return version->findChild<Panel*>(name)->text(); };
    ASSERT_TRUE(pumpUntil([&] { return text("hardwareIdWin") == "HW-ORNI-42"; }));
    EXPECT_EQ(text("prodNameWin"), "ORNI-7 DR");
    EXPECT_EQ(text("snWin"), "305419896");
}
