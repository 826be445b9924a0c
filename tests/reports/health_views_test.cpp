// The 1601, 1602 and 7020 views.
#include "reports/health_views.h"
#include "support/payload.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace vx;
using vxtest::decoded;

std::string text(const ViewUpdates& u, uint16_t slot) {
    const ViewUpdates::Cell* c = u.find(slot);
    return c ? c->text : "<none>";
}

TEST(HealthViews, Health1601) {
    using namespace pkt16;
    struct Case {
        std::vector<uint8_t> payload;
        const char *ds, *g, *t, *a, *o, *se;
    } cases[] = {
        {{0x05, 0x03, 0x00},
         "Abnormal",
         "Normal",
         "Abnormal",
         "Antenna Short",
         "Normal",
         "No event in log"},
        {{0x00, 0x01, 0x07}, "Normal", "Normal", "Normal", "Antenna Open", "Normal", "7"},
        {{0x02, 0x06, 0xFF}, "Normal", "Abnormal", "Normal", "Normal", "Abnormal", "255"},
    };
    for (const Case& c : cases) {
        ViewUpdates u;
        showHealth(decoded(0x16, 0x01, c.payload)->health, u);
        EXPECT_EQ(text(u, DS_Panel), c.ds);
        EXPECT_EQ(text(u, G_Panel), c.g);
        EXPECT_EQ(text(u, T_Panel), c.t);
        EXPECT_EQ(text(u, A_Panel), c.a);
        EXPECT_EQ(text(u, O_Panel), c.o);
        EXPECT_EQ(text(u, SE_Panel), c.se);
        EXPECT_EQ(u.find(BBRAM_Panel), nullptr);
    }
}

TEST(HealthViews, StartupReport1602) {
    using namespace pkt16;
    EXPECT_EQ(shutdownText(0x1023), "Illegal hardware interrupt, vector 23.");
    EXPECT_EQ(shutdownText(0x1005), "Illegal hardware interrupt, vector 05.");
    EXPECT_EQ(shutdownText(0x10FF), "Illegal hardware interrupt, vector FF.");
    EXPECT_EQ(shutdownText(0x2003), "Failure on sending a message.");
    EXPECT_EQ(shutdownText(0x0006), "Unknown shutdown error.");

    ViewUpdates u;
    showStartupReport(
        decoded(0x16, 0x02, {0x23, 0x10, 0x99, 0x0D, 0, 0xFF, 0xFF, 0xFF, 0xFF})->startup_report,
        u);
    EXPECT_EQ(text(u, shutdownPanel), "Illegal hardware interrupt, vector 23.");
    EXPECT_EQ(text(u, BBRAM_Panel), "Valid");
    EXPECT_EQ(text(u, Gyro_ADC_Panel), "Normal");
    EXPECT_EQ(text(u, RTC_Panel), "Valid");
    EXPECT_EQ(text(u, FlashBBRAM_Panel), "Loaded");
    EXPECT_EQ(text(u, eventIndxPanel), "No event in log.");
    EXPECT_EQ(text(u, sysTimePanel), "4294967295");
    u.clear();
    showStartupReport(decoded(0x16, 0x02, {0x03, 0x20, 0, 0x02, 9, 1, 0, 0, 0})->startup_report, u);
    EXPECT_EQ(text(u, shutdownPanel), "Failure on sending a message.");
    EXPECT_EQ(text(u, BBRAM_Panel), "Not Valid");
    EXPECT_EQ(text(u, Gyro_ADC_Panel), "ADC or Gyro Self-test Error");
    EXPECT_EQ(text(u, RTC_Panel), "Not Valid");
    EXPECT_EQ(text(u, FlashBBRAM_Panel), "Not Loaded");
    EXPECT_EQ(text(u, eventIndxPanel), "9");
    EXPECT_EQ(text(u, sysTimePanel), "1");
    EXPECT_EQ(u.find(DS_Panel), nullptr);
}

TEST(HealthViews, DiagnosticStartup7020AndClear) {
    using namespace pkt7020;
    std::vector<uint8_t> p = {0x00, 0xEF, 0xBE, 0xAD, 0xDE,              // status, checksum
                              0x02, 0x01, 0x03, 0x0C, 0x1F, 0xD7, 0x07,  // nav
                              0x0A, 0x00, 0x63, 0x01, 0x02, 0x10, 0x27,  // boot
                              0x01, 0x02, 0x03, 0x04, 0x05, 0x00, 0x00}; // io
    ViewUpdates u;
    showDiagStartup(decoded(0x70, 0x20, p)->diag_startup, u);
    EXPECT_EQ(text(u, ROM_cksumWin), "DEADBEEF");
    EXPECT_EQ(text(u, navMajorWin), "02");
    EXPECT_EQ(text(u, navMinorWin), "01");
    EXPECT_EQ(text(u, navReleaseWin), "03");
    EXPECT_EQ(text(u, navDateWin), "31/12/2007");
    EXPECT_EQ(text(u, bootMajorWin), "10");
    EXPECT_EQ(text(u, bootReleaseWin), "99");
    EXPECT_EQ(text(u, bootDateWin), "02/01/10000");
    EXPECT_EQ(text(u, ioMinorWin), "02");
    EXPECT_EQ(text(u, ioDateWin), "05/04/0000");
    EXPECT_EQ(u.cells().size(), size_t(kSlots));

    u.clear();
    clearDiagStartup(u);
    ASSERT_EQ(u.cells().size(), size_t(kSlots));
    for (const ViewUpdates::Cell& c : u.cells()) {
        EXPECT_EQ(c.text, "");
        EXPECT_EQ(c.tint, Tint::Face);
    }
}

} // namespace
