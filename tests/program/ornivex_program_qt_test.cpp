// The ornivex program itself: its command line, and --demo reaching live data on its own.
#include "support/run_command.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using vxtest::runCommand;

namespace {

const std::string kProgram = std::string("QT_QPA_PLATFORM=offscreen ") + ORNIVEX_BINARY;

TEST(OrnivexProgram, HelpVersionAndUsageErrors) {
    auto r = runCommand(kProgram + " --version");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "ornivex 2.40\n");
    r = runCommand(kProgram + " --help");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("--com N=PATH"), std::string::npos);
    EXPECT_NE(r.out.find("--demo"), std::string::npos);
    r = runCommand(kProgram + " --bogus");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("--bogus: unknown option"), std::string::npos) << r.err;
    r = runCommand(kProgram + " --com 40=/dev/ttyUSB0");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("COM number must be 1 to 32"), std::string::npos) << r.err;
}

TEST(OrnivexProgram, DemoShowsLiveDataFromTheSimulatedReceiver) {
    QTemporaryDir dir;
    const QString shot = dir.filePath("demo.png");
    // The screenshot is taken (status 0) only once time and position are on screen.
    auto r = runCommand(kProgram + " --demo --screenshot " + shot.toStdString() + " --after 0");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(QFile::exists(shot));
    EXPECT_GT(QFile(shot).size(), 1000);
}

} // namespace
