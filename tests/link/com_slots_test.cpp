// COM slots, the --com option, the COM text and the port error texts.
#include "link/com_slots.h"
#include "link/serial_port.h"

#include <gtest/gtest.h>

#include <cerrno>

namespace {

struct ComTextCase {
    vx::LinkSettings settings;
    const char* text;
};

vx::LinkSettings port(uint8_t index, int32_t baud, uint8_t parity) {
    vx::LinkSettings s;
    s.portIndex = index;
    s.baudRate = baud;
    s.parity = parity;
    return s;
}

TEST(ComText, NamesThePortOrTheFile) {
    vx::LinkSettings replay;
    replay.replay = true;
    replay.portIndex = vx::kReplayPortIndex;
    replay.fileName = "run.vxr";
    std::vector<ComTextCase> cases = {
        {vx::LinkSettings{}, "COM1-38400-8-None-1"},
        {port(11, 115200, vx::kParityEven), "COM12-115200-8-Even-1"},
        {port(31, 4800, vx::kParityOdd), "COM32-4800-8-Odd-1"},
        {replay, "FILE"},
    };
    for (const auto& c : cases) EXPECT_EQ(vx::comText(c.settings), c.text);
}

TEST(ComSlots, DefaultsFollowTheSerialDeviceNumbering) {
    vx::ComSlots slots;
    EXPECT_EQ(slots.path(0), "/dev/ttyS0");
    EXPECT_EQ(slots.path(9), "/dev/ttyS9");
    EXPECT_EQ(vx::ComSlots::portName(9), "COM10");
    EXPECT_EQ(slots.path(31), "/dev/ttyS31");
    EXPECT_EQ(slots.path(vx::kReplayPortIndex), "");
    EXPECT_EQ(vx::ComSlots::portName(vx::kReplayPortIndex), "FILE");
    EXPECT_FALSE(slots.setPath(vx::kReplayPortIndex, "/dev/null"));
    EXPECT_TRUE(slots.setPath(2, "/dev/ttyUSB0"));
    EXPECT_EQ(slots.path(2), "/dev/ttyUSB0");
    EXPECT_TRUE(slots.setPath(2, ""));
    EXPECT_EQ(slots.path(2), "/dev/ttyS2");
}

TEST(ComSlots, TheComOptionMapsASlotOrSaysWhatIsWrong) {
    struct Case {
        const char* value;
        const char* error;
    };
    vx::ComSlots slots;
    std::vector<Case> cases = {
        {"3=/dev/ttyUSB0", ""},
        {"32=/dev/pts/4", ""},
        {"0=/dev/ttyUSB0", "--com 0=/dev/ttyUSB0: COM number must be 1 to 32"},
        {"33=/dev/ttyUSB0", "--com 33=/dev/ttyUSB0: COM number must be 1 to 32"},
        {"x=/dev/ttyUSB0", "--com x=/dev/ttyUSB0: COM number must be 1 to 32"},
        {"99999999999=/dev/x", "--com 99999999999=/dev/x: COM number must be 1 to 32"},
        {"/dev/ttyUSB0", "--com /dev/ttyUSB0: expected N=PATH, for example --com 3=/dev/ttyUSB0"},
        {"4=", "--com 4=: the device path is empty"},
    };
    for (const auto& c : cases) EXPECT_EQ(slots.applyOption(c.value), c.error) << c.value;
    EXPECT_EQ(slots.path(2), "/dev/ttyUSB0");
    EXPECT_EQ(slots.path(31), "/dev/pts/4");
    EXPECT_EQ(slots.path(3), "/dev/ttyS3");
}

TEST(ComSlots, TakeOptionsRemovesTheComArgumentsAndKeepsTheRest) {
    vx::ComSlots slots;
    std::vector<std::string> args = {"ornivex", "--com",          "1=/dev/pts/7",
                                     "-x",      "--com=5=/dev/a", "--demo"};
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    int argc = int(args.size());
    EXPECT_EQ(slots.takeOptions(argc, argv.data()), "");
    ASSERT_EQ(argc, 3);
    EXPECT_STREQ(argv[1], "-x");
    EXPECT_STREQ(argv[2], "--demo");
    EXPECT_EQ(argv[3], nullptr);
    EXPECT_EQ(slots.path(0), "/dev/pts/7");
    EXPECT_EQ(slots.path(4), "/dev/a");

    std::vector<std::string> bad = {"ornivex", "--com", "40=/dev/x", "--com"};
    argv.clear();
    for (auto& a : bad) argv.push_back(a.data());
    argv.push_back(nullptr);
    argc = int(bad.size());
    EXPECT_EQ(slots.takeOptions(argc, argv.data()), "--com 40=/dev/x: COM number must be 1 to 32");
    EXPECT_EQ(argc, 1);
}

TEST(PortErrors, EachFailureHasAClearText) {
    EXPECT_EQ(vx::portErrorText(ENOENT), "no such device");
    EXPECT_EQ(vx::portErrorText(EACCES), "permission denied — is your user in the dialout group?");
    EXPECT_EQ(vx::portErrorText(EBUSY), "port busy — another program is using it");
    EXPECT_EQ(vx::portErrorText(ENOTTY), "not a serial device");
    EXPECT_EQ(vx::portErrorText(EIO), "input/output error — is the device connected?");
    EXPECT_FALSE(vx::portErrorText(ENOSPC).empty());
    for (int32_t b : {4800, 9600, 19200, 38400, 115200}) EXPECT_TRUE(vx::isSupportedBaud(b));
    for (int32_t b : {0, 1200, 57600, 230400}) EXPECT_FALSE(vx::isSupportedBaud(b));
}

} // namespace
