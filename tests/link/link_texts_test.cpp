// One-line texts about the link's port: paths that never hide the reason after them, the
// status line of a lost link, the line of a command not sent.
#include "link/link_texts.h"

#include "link/catalogue.h"

#include <gtest/gtest.h>

namespace {

// Number of UTF-8 characters, and whether every multi-byte sequence is whole.
size_t characters(const std::string& s, bool* whole = nullptr) {
    size_t n = 0;
    bool ok = true;
    for (size_t i = 0; i < s.size();) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        size_t len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 0xE ? 3 : 4;
        for (size_t k = 1; k < len; ++k)
            if (i + k >= s.size() || (static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80)
                ok = false;
        i += len;
        ++n;
    }
    if (whole) *whole = ok;
    return n;
}

TEST(DisplayPath, ShortPathsStayAndControlCharactersGo) {
    struct Case {
        std::string path, shown;
    };
    for (const Case& c : {Case{"/dev/ttyUSB0", "/dev/ttyUSB0"}, Case{"", ""},
                          Case{"/tmp/a\nb\tc\x7f", "/tmp/a?b?c?"},
                          Case{"/dev/serial/by-id/é", "/dev/serial/by-id/é"}})
        EXPECT_EQ(vx::displayPath(c.path), c.shown);
}

TEST(DisplayPath, ALongPathKeepsItsStartAndItsLongerEnd) {
    std::string path = "/dev/serial/by-id/";
    while (path.size() < 300) path += "usb-Vendor_Adapter-";
    path += "if00-port0";
    std::string shown = vx::displayPath(path);
    EXPECT_EQ(characters(shown), vx::kDisplayPathChars);
    EXPECT_EQ(shown.substr(0, 15), path.substr(0, 15));
    std::string tail = path.substr(path.size() - 32);
    EXPECT_EQ(shown.substr(shown.size() - tail.size()), tail);
    EXPECT_NE(shown.find("…"), std::string::npos);
    // Cut points never split a character.
    std::string wide;
    for (int i = 0; i < 100; ++i) wide += "é€";
    bool whole = false;
    std::string w = vx::displayPath(wide, 20);
    EXPECT_EQ(characters(w, &whole), 20u);
    EXPECT_TRUE(whole) << w;
}

TEST(LinkLossText, StatusLineOfALostPort) {
    std::tm t{};
    t.tm_hour = 10;
    t.tm_min = 41;
    t.tm_sec = 25;
    EXPECT_EQ(vx::linkLossStatusText("COM1", "/dev/ttyUSB0", "device disconnected", t),
              "COM1 (/dev/ttyUSB0): device disconnected — 10:41:25");
    // From the link's own report: its time shown in local time.
    std::tm local{};
    local.tm_year = 124;
    local.tm_mon = 4;
    local.tm_mday = 13;
    local.tm_hour = 9;
    local.tm_min = 5;
    local.tm_sec = 7;
    local.tm_isdst = -1;
    vx::LinkLoss loss{"COM3", "/dev/pts/7", "device disconnected",
                      std::chrono::system_clock::from_time_t(std::mktime(&local))};
    EXPECT_EQ(vx::linkLossStatusText(loss), "COM3 (/dev/pts/7): device disconnected — 09:05:07");
    // A hostile path cannot push the reason and the time out of the line.
    std::string hostile(500, 'x');
    std::string line = vx::linkLossStatusText("COM1", hostile + "\n", "device disconnected", t);
    EXPECT_LT(line.size(), 100u);
    std::string end = "x?): device disconnected — 10:41:25";
    EXPECT_EQ(line.substr(line.size() - end.size()), end);
}

TEST(NotMonitoringText, NamesTheCommandThatWasNotSent) {
    EXPECT_EQ(vx::notMonitoringText(std::string(vx::systemCommandCaption(0x01))),
              "Not monitoring: Hot Reset (0301) was not sent");
    EXPECT_EQ(vx::notMonitoringText("DR Engine Rate (2101)"),
              "Not monitoring: DR Engine Rate (2101) was not sent");
}

} // namespace
