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
    EXPECT_EQ(sio->comBox->count(), 33);
    EXPECT_EQ(sio->comBox->itemText(0), "COM 1");
    EXPECT_EQ(sio->comBox->itemText(31), "COM 32");
    EXPECT_EQ(sio->comBox->itemText(32), "");
    EXPECT_EQ(sio->baudBox->count(), 5);
    EXPECT_EQ(sio->baudBox->currentText(), "38400");
    EXPECT_EQ(sio->parityBox->currentText(), "None");
    EXPECT_EQ(sio->dataBox->currentText(), "8");
    EXPECT_EQ(sio->stopBox->currentText(), "1");
    EXPECT_TRUE(sio->rbSerialPort->isChecked());
    EXPECT_EQ(sio->sedFastFixDelay->minimum(), 0);
    EXPECT_EQ(sio->sedFastFixDelay->maximum(), 500);
    EXPECT_EQ(sio->sedFastFixDelay->singleStep(), 25);
    EXPECT_EQ(sio->GroupBox1->title(), "      PC COM Port Settings");
    EXPECT_EQ(sio->GroupBox2->title(), "      Replay from file");
    EXPECT_EQ(sio->edDevicePath->text(), "/dev/ttyS0");
}

TEST_F(ConsoleWindows, ComSetupCancelKeepsTheSettingsAndTheNextShowRestoresTheControls) {
    sio->show();
    sio->comBox->setCurrentIndex(6);
    sio->baudBox->setCurrentIndex(0);
    sio->parityBox->setCurrentIndex(1);
    sio->rbFile->setChecked(true);
    sio->cancelButton->click();
    EXPECT_FALSE(sio->isVisible());
    EXPECT_EQ(sio->comText(), "COM1-38400-8-None-1");
    EXPECT_FALSE(main->monitoring());
    EXPECT_EQ(main->Panel2->text(), "COM1-38400-8-None-1");
    sio->show();
    EXPECT_EQ(sio->comBox->currentIndex(), 0);
    EXPECT_EQ(sio->baudBox->currentText(), "38400");
    EXPECT_EQ(sio->parityBox->currentIndex(), 0);
    EXPECT_TRUE(sio->rbSerialPort->isChecked());
}

TEST_F(ConsoleWindows, ComSetupOkSwitchesMonitoringToTheChosenPort) {
    ASSERT_TRUE(pty.ok());
    comMap.setPath(2, pty.slavePath());
    sio->show();
    sio->comBox->setCurrentIndex(2);
    sio->baudBox->setCurrentIndex(1);
    sio->parityBox->setCurrentIndex(1);
    sio->okButton->click();
    EXPECT_EQ(main->Panel2->text(), "COM3-9600-8-Odd-1");
    EXPECT_TRUE(main->monitoring());
    EXPECT_EQ(main->comPanels[2]->colour(), lamp::kGreen);
    EXPECT_EQ(link.settings().parity, vx::kParityOdd);

    // OK on a port that cannot be opened: the text changes, the panel turns red.
    sio->show();
    sio->comBox->setCurrentIndex(9);
    sio->okButton->click();
    EXPECT_EQ(main->Panel2->text(), "COM10-9600-8-Odd-1");
    EXPECT_FALSE(main->monitoring());
    EXPECT_EQ(main->comPanels[9]->colour(), lamp::kRed);
    EXPECT_EQ(main->comPanels[2]->colour(), Panel::faceColour());
}

TEST_F(ConsoleWindows, ComSetupEditsTheDevicePathOfTheSelectedSlot) {
    ASSERT_TRUE(pty.ok());
    sio->show();
    sio->comBox->setCurrentIndex(6);
    EXPECT_EQ(sio->edDevicePath->text(), "/dev/ttyS6");
    QTest::keyClicks(sio->edDevicePath, "X"); // typed, then Cancel: not applied
    sio->cancelButton->click();
    EXPECT_EQ(comMap.path(6), "/dev/ttyS6");

    sio->show();
    sio->comBox->setCurrentIndex(6);
    sio->edDevicePath->selectAll();
    QTest::keyClicks(sio->edDevicePath, QString::fromStdString(pty.slavePath()));
    sio->comBox->setCurrentIndex(7); // another slot shows its own path
    EXPECT_EQ(sio->edDevicePath->text(), "/dev/ttyS7");
    sio->comBox->setCurrentIndex(6); // the edit is kept until OK or Cancel
    EXPECT_EQ(sio->edDevicePath->text().toStdString(), pty.slavePath());
    sio->okButton->click();
    EXPECT_EQ(comMap.path(6), pty.slavePath());
    EXPECT_TRUE(main->monitoring()) << main->Panel2->text().toStdString();
    EXPECT_EQ(main->Panel2->text(), "COM7-38400-8-None-1");

    // The empty item has no device.
    sio->show();
    sio->comBox->setCurrentIndex(32);
    EXPECT_FALSE(sio->edDevicePath->isEnabled());
}

TEST_F(ConsoleWindows, ComSetupRefusesTheEmptyComItemForASerialPort) {
    sio->show();
    sio->rbSerialPort->setChecked(true);
    sio->comBox->setCurrentIndex(32);
    sio->okButton->click();
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
    sio->rbFile->setChecked(true);
    sio->edFilename->setText(dir.filePath("missing.vxr"));
    sio->okButton->click();
    EXPECT_EQ(dialogs, 1);
    EXPECT_TRUE(sio->isVisible());
    EXPECT_EQ(sio->comText(), "COM1-38400-8-None-1");

    // The dialog yields an existing file: replay, "FILE", index 32, the delay taken.
    offered = file;
    sio->sedFastFixDelay->setValue(75);
    EXPECT_EQ(sio->replayDelay(), 75); // at once
    sio->okButton->click();
    EXPECT_EQ(dialogs, 2);
    EXPECT_FALSE(sio->isVisible());
    EXPECT_EQ(sio->edFilename->text(), file);
    EXPECT_TRUE(sio->settings().replay);
    EXPECT_EQ(sio->portIndex(), 32);
    EXPECT_EQ(sio->comText(), "FILE");
    EXPECT_EQ(main->Panel2->text(), "FILE");
    EXPECT_EQ(main->sourceIndex, 32);
    ASSERT_TRUE(main->monitoring()) << main->statusBar()->currentMessage().toStdString();
    EXPECT_EQ(main->comPanels[32]->colour(), lamp::kGreen);
    ASSERT_TRUE(pumpUntil([&] { return !main->startupStatus->text().isEmpty(); }));
    EXPECT_EQ(main->startupStatus->text(), "01:Valid BBRAM : SelfTest Passed");

    // Shown again: the empty COM item.
    sio->show();
    EXPECT_EQ(sio->comBox->currentIndex(), 32);
    EXPECT_TRUE(sio->rbFile->isChecked());
    sio->sedFastFixDelay->setValue(100);
    EXPECT_EQ(link.settings().replayDelay->load(), 100); // the running replay sees it
    sio->cancelButton->click();

    // "F" empties the file name box but replays the file chosen with OK.
    main->comWinDblClick(32);
    EXPECT_TRUE(sio->edFilename->text().isEmpty());
    EXPECT_TRUE(main->monitoring());

    // The file button fills the name and checks the file radio button.
    sio->show();
    sio->rbSerialPort->setChecked(true);
    sio->btnOpenFile->click();
    EXPECT_EQ(sio->edFilename->text(), file);
    EXPECT_TRUE(sio->rbFile->isChecked());
    sio->cancelButton->click();
}

TEST_F(ConsoleWindows, ComSetupFocusInAGroupChecksItsRadioButton) {
    sio->show();
    sio->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(sio));
    EXPECT_TRUE(sio->rbSerialPort->isChecked());
    sio->edFilename->setFocus();
    ASSERT_TRUE(pumpUntil([&] { return sio->rbFile->isChecked(); }, 3000));
    sio->baudBox->setFocus();
    ASSERT_TRUE(pumpUntil([&] { return sio->rbSerialPort->isChecked(); }, 3000));
    sio->cancelButton->click();
}

} // namespace
