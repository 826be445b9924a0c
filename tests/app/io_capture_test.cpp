// The Io Replay capture text: names, unit texts and the line of a message split over records.
#include "app/io_capture.h"
#include "link/decoders.h"

#include <gtest/gtest.h>

#include <memory>

using namespace vx;

namespace {

IoTrafficRecord decodedIo(uint8_t sub, const std::vector<uint8_t>& p) {
    auto area = std::make_unique<RecordArea>();
    EXPECT_EQ(decode(0x70, sub, p.data(), p.size(), *area), 0);
    return area->io_traffic;
}

TEST(IoCapture, FileName) {
    std::tm t{};
    t.tm_year = 2024 - 1900;
    t.tm_mon = 2; // March
    t.tm_mday = 5;
    t.tm_hour = 7;
    t.tm_min = 8;
    t.tm_sec = 9;
    EXPECT_EQ(ioCaptureFileName("H01", t, 0), "io_replay_H01_20240305_070809_COM1.dat");
    EXPECT_EQ(ioCaptureFileName("", t, 31), "io_replay__20240305_070809_COM32.dat");
    EXPECT_EQ(ioCaptureFileName("X", t, 32), "io_replay_X_20240305_070809_COM33.dat");
}

TEST(IoCapture, UnitTextsThatWouldLeaveTheWorkingFolderAreRefused) {
    for (const char* ok : {"H01", "", "unit-7", "A.B", "x_y"})
        EXPECT_TRUE(ioCaptureUnitIsSafe(ok)) << ok;
    for (const char* bad : {"../x", "..", "a/b", "/tmp", "a\\b", "x..y", "tab\there", "nl\n"})
        EXPECT_FALSE(ioCaptureUnitIsSafe(bad)) << bad;
}

TEST(IoCapture, A7013SplitOverTwoRecordsIsOneLine) {
    // First piece: flags 1, sequence 4, two words, three data bytes.
    IoTrafficRecord first =
        decodedIo(0x13, {0x01, 0x04, 0x39, 0x30, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0xAA, 0x01, 0x0F});
    // Last piece: flags 2, sequence 5, two data bytes (no words).
    IoTrafficRecord last = decodedIo(0x13, {0x02, 0x05, 0xBE, 0xEF});
    std::string line = ioCaptureText(first) + ioCaptureText(last);
    EXPECT_EQ(line, "IO  --> NAV     12345        -1  10 aa 01 0f be ef 10 03\r\n");
}

TEST(IoCapture, A7014InOnePiece) {
    IoTrafficRecord r = decodedIo(0x14, {0x03, 0x00, 1, 0, 0, 0, 0, 0, 0, 0x80, 0x10, 0x20});
    EXPECT_EQ(ioCaptureText(r), "NAV --> IO          1 -2147483648  10 20\r\n");
}

TEST(IoCapture, AMiddlePieceAddsOnlyItsBytes) {
    IoTrafficRecord r = decodedIo(0x13, {0x00, 0x09, 0x00, 0x7F});
    EXPECT_EQ(ioCaptureText(r), " 00 7f");
}

} // namespace
