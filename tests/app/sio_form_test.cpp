// COM Setup: defaults, OK and Cancel, replay from file, the device path of a COM slot.
#include "support/console_fixture_qt.h"
#include "widgets/lamp_qt.h"
#include "widgets/panel_qt.h"

#include <QTemporaryDir>
#include <QTest>

#include <fstream>

using vxtest::ConsoleWindows;
using vxtest::pumpUntil;

namespace {

TEST_F(ConsoleWindows, ComSetupDefaults) {
    EXPECT_EQ(sio->comText(), "COM1-38400-8-None-1");
    EXPECT_EQ(sio->portIndex(), 0);
    EXPECT_EQ(sio->settings().baudRate, 38400);
    EXPECT_EQ(sio->settings().parity, 0);
    EXPECT_FALSE(sio->settings().replay);
    EXPECT_EQ(sio->replayDelay(), 0);
    EXPECT_EQ(vxtest::child<QComboBox>(sio, "comBox")->count(), 33);
    EXPECT_EQ(vxtest::child<QComboBox>(sio, "comBox")->itemText(0), "COM 1");
    EXPECT_EQ(vxtest::child<QComboBox>(sio, "comBox")->itemText(31), "COM 32");
    EXPECT_EQ(vxtest::child<QComboBox>(sio, "comBox")->itemText(32), "");
    EXPECT_EQ(vxtest::child<QComboBox>(sio, "baudBox")->count(), 5);
    EXPECT_EQ(vxtest::child<QComboBox>(sio, "baudBox")->currentText(), "38400");
    EXPECT_EQ(vxtest::child<QComboBox>(sio, "parityBox")->currentText(), "None");
    EXPECT_EQ(vxtest::child<QComboBox>(sio, "dataBox")->currentText(), "8");
    EXPECT_EQ(vxtest::child<QComboBox>(sio, "stopBox")->currentText(), "1");
    EXPECT_TRUE(vxtest::child<QRadioButton>(sio, "rbSerialPort")->isChecked());
    EXPECT_EQ(vxtest::child<QSpinBox>(sio, "sedFastFixDelay")->minimum(), 0);
    EXPECT_EQ(vxtest::child<QSpinBox>(sio, "sedFastFixDelay")->maximum(), 500);
    EXPECT_EQ(vxtest::child<QSpinBox>(sio, "sedFastFixDelay")->singleStep(), 25);
    EXPECT_EQ(vxtest::child<QGroupBox>(sio, "GroupBox1")->title(), "      PC COM Port Settings");
    EXPECT_EQ(vxtest::child<QGroupBox>(sio, "GroupBox2")->title(), "      Replay from file");
    EXPECT_EQ(vxtest::child<QLineEdit>(sio, "edDevicePath")->text(), "/dev/ttyS0");
}

TEST_F(ConsoleWindows, ComSetupCancelKeepsTheSettingsAndTheNextShowRestoresTheControls) {
    sio->show();
    vxtest::child<QComboBox>(sio, "comBox")->setCurrentIndex(6);
    vxtest::child<QComboBox>(sio, "baudBox")->setCurrentIndex(0);
    vxtest::child<QComboBox>(sio, "parityBox")->setCurrentIndex(1);
    vxtest::child<QRadioButton>(sio, "rbFile")->setChecked(true);
    vxtest::child<QPushButton>(sio, "cancelButton")->click();
    EXPECT_FALSE(sio->isVisible());
    EXPECT_EQ(sio->comText(), "COM1-38400-8-None-1");
    EXPECT_FALSE(main->monitoring());
    EXPECT_EQ(panel("Panel2")->text(), "COM1-38400-8-None-1");
    sio->show();
    EXPECT_EQ(vxtest::child<QComboBox>(sio, "comBox")->currentIndex(), 0);
    EXPECT_EQ(vxtest::child<QComboBox>(sio, "baudBox")->currentText(), "38400");
    EXPECT_EQ(vxtest::child<QComboBox>(sio, "parityBox")->currentIndex(), 0);
    EXPECT_TRUE(vxtest::child<QRadioButton>(sio, "rbSerialPort")->isChecked());
}

TEST_F(ConsoleWindows, ComSetupOkSwitchesMonitoringToTheChosenPort) {
    ASSERT_TRUE(pty.ok());
    comMap.setPath(2, pty.slavePath());
    sio->show();
    vxtest::child<QComboBox>(sio, "comBox")->setCurrentIndex(2);
    vxtest::child<QComboBox>(sio, "baudBox")->setCurrentIndex(1);
    vxtest::child<QComboBox>(sio, "parityBox")->setCurrentIndex(1);
    vxtest::child<QPushButton>(sio, "okButton")->click();
    EXPECT_EQ(panel("Panel2")->text(), "COM3-9600-8-Odd-1");
    EXPECT_TRUE(main->monitoring());
    EXPECT_EQ(sourcePanel(2)->colour(), lamp::kGreen);
    EXPECT_EQ(link.settings().parity, vx::kParityOdd);

    // OK on a port that cannot be opened: the text changes, the panel turns red.
    sio->show();
    vxtest::child<QComboBox>(sio, "comBox")->setCurrentIndex(9);
    vxtest::child<QPushButton>(sio, "okButton")->click();
    EXPECT_EQ(panel("Panel2")->text(), "COM10-9600-8-Odd-1");
    EXPECT_FALSE(main->monitoring());
    EXPECT_EQ(sourcePanel(9)->colour(), lamp::kRed);
    EXPECT_EQ(sourcePanel(2)->colour(), Panel::faceColour());
}

TEST_F(ConsoleWindows, ComSetupEditsTheDevicePathOfTheSelectedSlot) {
    ASSERT_TRUE(pty.ok());
    sio->show();
    vxtest::child<QComboBox>(sio, "comBox")->setCurrentIndex(6);
    EXPECT_EQ(vxtest::child<QLineEdit>(sio, "edDevicePath")->text(), "/dev/ttyS6");
    QTest::keyClicks(vxtest::child<QLineEdit>(sio, "edDevicePath"),
                     "X"); // typed, then Cancel: not applied
    vxtest::child<QPushButton>(sio, "cancelButton")->click();
    EXPECT_EQ(comMap.path(6), "/dev/ttyS6");

    sio->show();
    vxtest::child<QComboBox>(sio, "comBox")->setCurrentIndex(6);
    vxtest::child<QLineEdit>(sio, "edDevicePath")->selectAll();
    QTest::keyClicks(vxtest::child<QLineEdit>(sio, "edDevicePath"),
                     QString::fromStdString(pty.slavePath()));
    vxtest::child<QComboBox>(sio, "comBox")->setCurrentIndex(7); // another slot shows its own path
    EXPECT_EQ(vxtest::child<QLineEdit>(sio, "edDevicePath")->text(), "/dev/ttyS7");
    vxtest::child<QComboBox>(sio, "comBox")
        ->setCurrentIndex(6); // the edit is kept until OK or Cancel
    EXPECT_EQ(vxtest::child<QLineEdit>(sio, "edDevicePath")->text().toStdString(), pty.slavePath());
    vxtest::child<QPushButton>(sio, "okButton")->click();
    EXPECT_EQ(comMap.path(6), pty.slavePath());
    EXPECT_TRUE(main->monitoring()) << panel("Panel2")->text().toStdString();
    EXPECT_EQ(panel("Panel2")->text(), "COM7-38400-8-None-1");

    // The empty item has no device.
    sio->show();
    vxtest::child<QComboBox>(sio, "comBox")->setCurrentIndex(32);
    EXPECT_FALSE(vxtest::child<QLineEdit>(sio, "edDevicePath")->isEnabled());
}

TEST_F(ConsoleWindows, ComSetupRefusesTheEmptyComItemForASerialPort) {
    sio->show();
    vxtest::child<QRadioButton>(sio, "rbSerialPort")->setChecked(true);
    vxtest::child<QComboBox>(sio, "comBox")->setCurrentIndex(32);
    vxtest::child<QPushButton>(sio, "okButton")->click();
    EXPECT_TRUE(sio->isVisible());
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].title, "Error");
    EXPECT_EQ(sio->comText(), "COM1-38400-8-None-1");
}

TEST_F(ConsoleWindows, ComSetupReplayFromAFile) {
    QTemporaryDir dir;
    const QString file = dir.filePath("drive.vxr");
    {
        std::ofstream out(file.toStdString(), std::ios::binary);
        std::vector<uint8_t> f = vxtest::frame(0x12, 0x01, {0, 0, 0, 0x01});
        out.write(reinterpret_cast<const char*>(f.data()), std::streamsize(f.size()));
    }
    int dialogs = 0;
    QString offered;
    sio->chooseReplayFile = [&] {
        ++dialogs;
        return offered;
    };

    // A missing file: the file dialog is offered; cancelled, OK does nothing.
    sio->show();
    vxtest::child<QRadioButton>(sio, "rbFile")->setChecked(true);
    vxtest::child<QLineEdit>(sio, "edFilename")->setText(dir.filePath("missing.vxr"));
    vxtest::child<QPushButton>(sio, "okButton")->click();
    EXPECT_EQ(dialogs, 1);
    EXPECT_TRUE(sio->isVisible());
    EXPECT_EQ(sio->comText(), "COM1-38400-8-None-1");

    // The dialog yields an existing file: replay, "FILE", index 32, the delay taken.
    offered = file;
    vxtest::child<QSpinBox>(sio, "sedFastFixDelay")->setValue(75);
    EXPECT_EQ(sio->replayDelay(), 75); // at once
    vxtest::child<QPushButton>(sio, "okButton")->click();
    EXPECT_EQ(dialogs, 2);
    EXPECT_FALSE(sio->isVisible());
    EXPECT_EQ(vxtest::child<QLineEdit>(sio, "edFilename")->text(), file);
    EXPECT_TRUE(sio->settings().replay);
    EXPECT_EQ(sio->portIndex(), 32);
    EXPECT_EQ(sio->comText(), "FILE");
    EXPECT_EQ(panel("Panel2")->text(), "FILE");
    EXPECT_EQ(main->sourceIndex(), 32);
    ASSERT_TRUE(main->monitoring()) << main->statusBar()->currentMessage().toStdString();
    EXPECT_EQ(sourcePanel(32)->colour(), lamp::kGreen);
    ASSERT_TRUE(pumpUntil([&] { return !panel("startupStatus")->text().isEmpty(); }));
    EXPECT_EQ(panel("startupStatus")->text(), "01:Valid BBRAM : SelfTest Passed");

    // Shown again: the empty COM item.
    sio->show();
    EXPECT_EQ(vxtest::child<QComboBox>(sio, "comBox")->currentIndex(), 32);
    EXPECT_TRUE(vxtest::child<QRadioButton>(sio, "rbFile")->isChecked());
    vxtest::child<QSpinBox>(sio, "sedFastFixDelay")->setValue(100);
    EXPECT_EQ(link.settings().replayDelay->load(), 100); // the running replay sees it
    vxtest::child<QPushButton>(sio, "cancelButton")->click();

    // "F" empties the file name box but replays the file chosen with OK.
    main->comWinDblClick(32);
    EXPECT_TRUE(vxtest::child<QLineEdit>(sio, "edFilename")->text().isEmpty());
    EXPECT_TRUE(main->monitoring());

    // The file button fills the name and checks the file radio button.
    sio->show();
    vxtest::child<QRadioButton>(sio, "rbSerialPort")->setChecked(true);
    vxtest::child<QPushButton>(sio, "btnOpenFile")->click();
    EXPECT_EQ(vxtest::child<QLineEdit>(sio, "edFilename")->text(), file);
    EXPECT_TRUE(vxtest::child<QRadioButton>(sio, "rbFile")->isChecked());
    vxtest::child<QPushButton>(sio, "cancelButton")->click();
}

TEST_F(ConsoleWindows, ComSetupFocusInAGroupChecksItsRadioButton) {
    sio->show();
    sio->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(sio));
    EXPECT_TRUE(vxtest::child<QRadioButton>(sio, "rbSerialPort")->isChecked());
    vxtest::child<QLineEdit>(sio, "edFilename")->setFocus();
    ASSERT_TRUE(
        pumpUntil([&] { return vxtest::child<QRadioButton>(sio, "rbFile")->isChecked(); }, 3000));
    vxtest::child<QComboBox>(sio, "baudBox")->setFocus();
    ASSERT_TRUE(pumpUntil(
        [&] { return vxtest::child<QRadioButton>(sio, "rbSerialPort")->isChecked(); }, 3000));
    vxtest::child<QPushButton>(sio, "cancelButton")->click();
}

} // namespace
