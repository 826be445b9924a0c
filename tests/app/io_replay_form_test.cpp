// Io Replay: the capture file of the 7013 / 7014 reports, its name, counts and activity lamp,
// refused unit texts, and a file that cannot be created.
#include "support/console_fixture_qt.h"
#include "widgets/lamp_qt.h"

#include <QDir>
#include <QLabel>
#include <QTemporaryDir>

#include <fstream>
#include <sstream>
#include <unistd.h>

using vxtest::ConsoleWindows;

namespace {

std::string slurp(const QString& path) {
    std::ifstream in(path.toStdString(), std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// Runs the test body in a fresh working folder (the capture goes to the working folder).
class IoReplayWindow : public ConsoleWindows {
protected:
    void SetUp() override {
        ConsoleWindows::SetUp();
        ASSERT_TRUE(dir.isValid());
        previous = QDir::currentPath();
        ASSERT_TRUE(QDir::setCurrent(dir.path()));
        io->now = [] {
            std::tm t{};
            t.tm_year = 124;
            t.tm_mon = 0;
            t.tm_mday = 2;
            t.tm_hour = 3;
            t.tm_min = 4;
            t.tm_sec = 5;
            return t;
        };
    }
    void TearDown() override {
        ConsoleWindows::TearDown();
        QDir::setCurrent(previous);
    }
    QTemporaryDir dir;
    QString previous;
};

TEST_F(IoReplayWindow, SplitMessagesAreCapturedAsOneLineWhileMonitoring) {
    EXPECT_EQ(vxtest::child<QLineEdit>(io, "ledUnit")->text(), "H01");
    EXPECT_EQ(vxtest::child<QTimer>(io, "tmrActivity")->interval(), 200);
    io->show();
    startOnPty(1); // COM2
    EXPECT_TRUE(io->captureEnabled());
    EXPECT_FALSE(vxtest::child<QLineEdit>(io, "ledUnit")->isEnabled());
    const QString name = "io_replay_H01_20240102_030405_COM2.dat";
    EXPECT_EQ(vxtest::child<QLabel>(io, "lblIoReplayFilename")->text(), name);
    EXPECT_FALSE(io->fileOpen()); // created by the first report only
    EXPECT_FALSE(QFile::exists(name));

    receive(0x70, 0x13, {0x01, 0x00, 0x39, 0x30, 0, 0, 2, 0, 0, 0, 0xAA});
    receive(0x70, 0x13, {0x02, 0x01, 0xBB});
    receive(0x70, 0x14, {0x03, 0x00, 7, 0, 0, 0, 8, 0, 0, 0, 0x01, 0x02});
    ASSERT_TRUE(waitDelivered(3));
    EXPECT_TRUE(io->fileOpen());
    EXPECT_EQ(io->ioToNavCount(), 1);
    EXPECT_EQ(io->navToIoCount(), 1);
    // Each finished line is on disk at once.
    EXPECT_EQ(slurp(name), "IO  --> NAV     12345         2  10 aa bb 10 03\r\n"
                           "NAV --> IO          7         8  01 02\r\n");

    io->tmrActivityTimer();
    EXPECT_EQ(vxtest::child<Lamp>(io, "shpActivity")->colour(), lamp::kBlue);
    EXPECT_EQ(vxtest::child<QLabel>(io, "lblIoToNav")->text(), "1");
    EXPECT_EQ(vxtest::child<QLabel>(io, "lblNavToIo")->text(), "1");
    io->tmrActivityTimer(); // no activity since: unchanged
    EXPECT_EQ(vxtest::child<Lamp>(io, "shpActivity")->colour(), lamp::kBlue);
    receive(0x70, 0x14, {0x03, 0x01, 7, 0, 0, 0, 8, 0, 0, 0});
    ASSERT_TRUE(waitDelivered(1));
    io->tmrActivityTimer();
    EXPECT_EQ(vxtest::child<Lamp>(io, "shpActivity")->colour(), lamp::kWhite);
    EXPECT_EQ(vxtest::child<QLabel>(io, "lblNavToIo")->text(), "2");

    main->StopMonitor1Click();
    EXPECT_FALSE(io->captureEnabled());
    EXPECT_FALSE(io->fileOpen());
    EXPECT_TRUE(vxtest::child<QLineEdit>(io, "ledUnit")->isEnabled());
    EXPECT_EQ(io->ioToNavCount(), 0);
    EXPECT_EQ(io->navToIoCount(), 0);
}

TEST_F(IoReplayWindow, NothingIsCapturedWhileTheWindowIsHidden) {
    startOnPty(0);
    receive(0x70, 0x13, {0x03, 0x00, 1, 0, 0, 0, 2, 0, 0, 0});
    ASSERT_TRUE(waitDelivered(1));
    EXPECT_FALSE(io->fileOpen());
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files).isEmpty());
}

TEST_F(IoReplayWindow, AUnitTextThatWouldLeaveTheWorkingFolderIsRefused) {
    io->show();
    vxtest::child<QLineEdit>(io, "ledUnit")->setText("../escape");
    emit vxtest::child<QLineEdit>(io, "ledUnit")->editingFinished();
    EXPECT_EQ(vxtest::child<QLineEdit>(io, "ledUnit")->text(), "H01"); // put back
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].title, "Error");

    vxtest::child<QLineEdit>(io, "ledUnit")
        ->setText("a/b"); // set without editing: caught at Start Monitor
    startOnPty(0);
    EXPECT_EQ(messages.size(), 2u);
    EXPECT_FALSE(io->captureEnabled());
    EXPECT_TRUE(main->monitoring());
    receive(0x70, 0x13, {0x03, 0x00, 1, 0, 0, 0, 2, 0, 0, 0});
    ASSERT_TRUE(waitDelivered(1));
    EXPECT_FALSE(io->fileOpen());
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files).isEmpty());
    EXPECT_FALSE(QDir(dir.path() + "/a").exists());
}

TEST_F(IoReplayWindow, AFileThatCannotBeCreatedStopsTheCaptureNotTheProgram) {
    io->show();
    startOnPty(0);
    // A folder of the capture's name: the file cannot be created.
    ASSERT_TRUE(QDir(dir.path()).mkdir(vxtest::child<QLabel>(io, "lblIoReplayFilename")->text()));
    receive(0x70, 0x13, {0x03, 0x00, 1, 0, 0, 0, 2, 0, 0, 0});
    ASSERT_TRUE(waitDelivered(1));
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(messages[0].text.startsWith("FAILED TO OPEN FILE!"))
        << messages[0].text.toStdString();
    // It says what happens now; the program no longer asks to be restarted.
    EXPECT_TRUE(
        messages[0].text.contains(vxtest::child<QLabel>(io, "lblIoReplayFilename")->text()));
    EXPECT_TRUE(messages[0].text.endsWith("Capture stopped; monitoring continues."))
        << messages[0].text.toStdString();
    EXPECT_FALSE(messages[0].text.contains("restart")) << messages[0].text.toStdString();
    EXPECT_FALSE(io->captureEnabled());
    EXPECT_TRUE(main->monitoring());
    // No message per report: the capture has stopped.
    receive(0x70, 0x13, {0x03, 0x00, 1, 0, 0, 0, 2, 0, 0, 0});
    ASSERT_TRUE(waitDelivered(1));
    EXPECT_EQ(messages.size(), 1u);
}

TEST_F(IoReplayWindow, AWriteErrorStopsTheCaptureWithAMessage) {
    if (access("/dev/full", W_OK) != 0) GTEST_SKIP() << "no /dev/full";
    io->show();
    startOnPty(0);
    // The capture name points at a device that is always full.
    ASSERT_TRUE(QFile::link("/dev/full", vxtest::child<QLabel>(io, "lblIoReplayFilename")->text()));
    receive(0x70, 0x13, {0x03, 0x00, 1, 0, 0, 0, 2, 0, 0, 0});
    ASSERT_TRUE(waitDelivered(1));
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(messages[0].text.contains("failed")) << messages[0].text.toStdString();
    EXPECT_TRUE(messages[0].text.contains("Capture stopped; monitoring continues."))
        << messages[0].text.toStdString();
    EXPECT_FALSE(io->captureEnabled());
    EXPECT_FALSE(io->fileOpen());
}

} // namespace
