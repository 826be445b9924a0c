// The device flash configuration: every field refused before anything is sent, and the
// sequences against the simulated receiver's monitor, including its refusals and silence.
#include "flash/device_config.h"

#include "link/catalogue.h"
#include "sim/sim_harness.h"

#include <gtest/gtest.h>

using namespace vxtest;

namespace {

vx::InputError err(const char* text) {
    return {"Error", text};
}

struct Statuses : vx::DiagEvents {
    std::vector<std::string> list;
    void status(const std::string& t) override { list.push_back(t); }
};

} // namespace

TEST(Latin1, FromUtf8) {
    EXPECT_EQ(vx::latin1FromUtf8("GPS-7"), "GPS-7");
    EXPECT_EQ(vx::latin1FromUtf8("M\xC3\xBCller"), "M\xFCller"); // u with umlaut: one byte
    EXPECT_EQ(vx::latin1FromUtf8("\xC2\xA0"), "\xA0");
    EXPECT_EQ(vx::latin1FromUtf8("\xE2\x82\xAC"), std::nullopt) << "the euro sign";
    EXPECT_EQ(vx::latin1FromUtf8("\xC0\x80"), std::nullopt) << "overlong";
    EXPECT_EQ(vx::latin1FromUtf8("\xC3"), std::nullopt) << "cut short";
    EXPECT_EQ(vx::latin1FromUtf8("\xFC"), std::nullopt) << "not UTF-8";
}

TEST(ProductInfo, FieldsAreReadIntoTheRecord) {
    vx::ProductConfig c;
    ASSERT_EQ(vx::parseProductInfo("305419896", "AB", "12/31/2007", c), std::nullopt);
    EXPECT_EQ(c.serialNumber, 305419896u);
    EXPECT_EQ(c.productName, "AB");
    EXPECT_EQ(c.date1, 12);
    EXPECT_EQ(c.date2, 31);
    EXPECT_EQ(c.year, 2007);
    ASSERT_EQ(vx::parseProductInfo(" 4294967295 ", std::string(16, 'N'), "255/0/65535", c),
              std::nullopt);
    EXPECT_EQ(c.serialNumber, 0xFFFFFFFFu);
    EXPECT_EQ(c.date1, 255);
    EXPECT_EQ(c.year, 65535);
}

TEST(ProductInfo, ValuesThatDoNotFitAreRefused) {
    const std::string serialError = "Serial Number: not a valid number (0 to 4294967295).";
    const std::string dateError = "Product Date: expected month/day/year, such as 12/31/2007 "
                                  "(0 to 255, 0 to 255, 0 to 65535).";
    struct Case {
        const char *serial, *name, *date;
        vx::InputError error;
    };
    const Case cases[] = {
        {"4294967296", "A", "1/1/2000", {"Error", serialError}},
        {"-1", "A", "1/1/2000", {"Error", serialError}},
        {"12x", "A", "1/1/2000", {"Error", serialError}},
        {"", "A", "1/1/2000", {"Error", serialError}},
        {"1", "ABCDEFGHIJKLMNOPQ", "1/1/2000", {"", "Length excess 16 bytes"}},
        {"1",
         "\xC3\xBC\xC3\xBC\xC3\xBC\xC3\xBC\xC3\xBC\xC3\xBC\xC3\xBC\xC3\xBC\xC3\xBC",
         "1/1/2000",
         {"", "", /* 9 bytes in Latin-1: fits */}},
        {"1",
         "\xE2\x82\xAC",
         "1/1/2000",
         {"Error", "Product Name: only Latin-1 characters can be written."}},
        {"1", "A", "12/31", {"Error", dateError}},
        {"1", "A", "12-31-2007", {"Error", dateError}},
        {"1", "A", "256/1/2000", {"Error", dateError}},
        {"1", "A", "1/256/2000", {"Error", dateError}},
        {"1", "A", "1/1/65536", {"Error", dateError}},
        {"1", "A", "1/1/2000/3", {"Error", dateError}},
        {"1", "A", "//", {"Error", dateError}},
    };
    for (const Case& c : cases) {
        vx::ProductConfig config;
        auto e = vx::parseProductInfo(c.serial, c.name, c.date, config);
        if (c.error.text.empty()) {
            EXPECT_EQ(e, std::nullopt) << c.name;
        } else {
            ASSERT_TRUE(e.has_value()) << c.serial << " " << c.name << " " << c.date;
            EXPECT_EQ(*e, c.error) << c.serial << " " << c.name << " " << c.date;
        }
    }
}

TEST(HardwareIdAndCustomerData, InputsAreCheckedInFull) {
    std::string id;
    EXPECT_EQ(vx::parseHardwareId("HW-0123456789ABC", id), std::nullopt);
    EXPECT_EQ(id, "HW-0123456789ABC");
    EXPECT_EQ(vx::parseHardwareId("HW-0123456789ABCD", id),
              (vx::InputError{"", "Length excess 16 bytes"}));
    EXPECT_TRUE(vx::parseHardwareId("\xE2\x82\xAC", id).has_value());

    uint8_t block = 0;
    EXPECT_EQ(vx::parseCustomerBlock("7F", block), std::nullopt);
    EXPECT_EQ(block, 0x7F);
    EXPECT_EQ(vx::parseCustomerBlock("0x01", block), std::nullopt);
    EXPECT_EQ(block, 0x01);
    for (const char* bad : {"80", "0", "00", "", "1G", "123"})
        EXPECT_EQ(vx::parseCustomerBlock(bad, block),
                  err("Data block to set is out of range (0x01 - 0x7F)."))
            << bad;

    std::vector<uint8_t> bytes;
    EXPECT_EQ(vx::parseCustomerData(" 01 a0\tFF\r\n0x7e\n", bytes), std::nullopt);
    EXPECT_EQ(bytes, (std::vector<uint8_t>{0x01, 0xA0, 0xFF, 0x7E}));
    std::string full;
    for (int i = 0; i < 128; ++i) full += "AB ";
    EXPECT_EQ(vx::parseCustomerData(full, bytes), std::nullopt);
    EXPECT_EQ(bytes.size(), 128u);
    EXPECT_EQ(vx::parseCustomerData(full + "CD", bytes),
              err("Size of data block is greater than 128 bytes."));
    EXPECT_EQ(vx::parseCustomerData("01 100", bytes), err("Error in data to set"));
    EXPECT_EQ(vx::parseCustomerData("01 zz", bytes), err("Error in data to set"));
    EXPECT_EQ(vx::parseCustomerData(" \r\n\t", bytes), err("No data to set"));
    // Only the first 999 characters are read: a token beyond them is not seen.
    std::string longText(998, ' ');
    EXPECT_EQ(vx::parseCustomerData(longText + "1 zz", bytes), std::nullopt);
    EXPECT_EQ(bytes, std::vector<uint8_t>{0x01});

    EXPECT_EQ(vx::confirmBlockText(0x2A), "Permanently write data block 0x2A to ROM?");
}

// ---- Against the simulated receiver

namespace {

struct Monitor : SimHarness {
    Monitor() {
        boot();
        EXPECT_TRUE(vx::enterDiagnosticsMonitor(*this));
        EXPECT_EQ(sim.mode(), vx::sim::SimMode::Monitor);
        EXPECT_TRUE(out.empty()) << "the 0303 acknowledgement was purged";
    }
    void refuse(uint8_t cmd) {
        vx::sim::SimFaults f;
        f.monitorRefuse = cmd;
        sim.setFaults(f);
    }
};

} // namespace

TEST(DeviceConfigSequences, WritesAreReportedAfterTheRestart) {
    Monitor m;
    Statuses st;
    vx::ProductConfig config;
    ASSERT_EQ(vx::parseProductInfo("305419896", "AB", "12/31/2007", config), std::nullopt);
    EXPECT_TRUE(vx::writeProductInfo(m, config, st));
    EXPECT_EQ(st.list,
              (std::vector<std::string>{"Loading Daemon", "Daemon is running",
                                        "Writing Product Info", "Product Info set completed"}));
    st.list.clear();
    EXPECT_TRUE(vx::writeHardwareId(m, "HW7", st));
    EXPECT_EQ(st.list.back(), "Hardware ID set completed");
    EXPECT_TRUE(vx::writeCustomerData(m, 0x22, {1, 2, 3}, st));
    EXPECT_EQ(st.list.back(), "Customer Data set completed");
    EXPECT_TRUE(vx::runRomTest(m));
    EXPECT_TRUE(vx::runRamTest(m));

    const int64_t t0 = m.sim.now();
    vx::leaveDiagnosticsMonitor(m);
    EXPECT_GE(m.sim.now() - t0, 1000);
    m.run(vx::sim::SimReceiver::restartMs());
    m.take();
    vx::queryProductInfo3(m);
    vx::queryProductInfo4(m);
    vx::sendQuery(m, 0x15, 0x22);
    auto ps = m.take();
    auto p3 = withId(ps, 0x12, 3);
    ASSERT_EQ(p3.size(), 1u);
    EXPECT_EQ(hex(p3[0].payload), "78 56 34 12 1F 0C D7 07 41 42");
    auto p4 = withId(ps, 0x12, 4);
    ASSERT_EQ(p4.size(), 1u);
    EXPECT_EQ(std::string(p4[0].payload.begin(), p4[0].payload.end()), "HW7");
    EXPECT_EQ(countId(ps, 0x15, 0x22), 1u);
}

// A receiver that refused Force to Monitor keeps reporting: its reports are no answer, the
// writes end in their errors, never in "completed".
TEST(DeviceConfigSequences, AReceiverOutsideItsMonitorAnswersNothing) {
    SimHarness h;
    h.boot();
    vx::sim::SimFaults refuse;
    refuse.forcedResult = 0x05;
    h.sim.setFaults(refuse);
    EXPECT_TRUE(vx::enterDiagnosticsMonitor(h));
    ASSERT_EQ(h.sim.mode(), vx::sim::SimMode::Normal);
    Statuses st;
    vx::ProductConfig config;
    ASSERT_EQ(vx::parseProductInfo("1", "AB", "1/2/2000", config), std::nullopt);
    EXPECT_FALSE(vx::writeProductInfo(h, config, st));
    EXPECT_EQ(st.list.back(), "Loading Daemon Error");
    EXPECT_FALSE(vx::runRomTest(h));
    EXPECT_GT(h.sim.stats().reportsSent, 20u) << "it reported all along";
}

TEST(DeviceConfigSequences, RefusalsAndSilenceEndWithTheirTexts) {
    struct Case {
        uint8_t refused;
        std::vector<std::string> statuses;
    };
    const Case cases[] = {
        {0x83, {"Loading Daemon", "Loading Daemon Error"}},
        {0x82, {"Loading Daemon", "Daemon is running", "Daemon is not running"}},
        {0x8D,
         {"Loading Daemon", "Daemon is running", "Writing Hardware ID", "Hardware ID set error"}},
    };
    for (const Case& c : cases) {
        Monitor m;
        m.refuse(c.refused);
        Statuses st;
        const int64_t t0 = m.sim.now();
        EXPECT_FALSE(vx::writeHardwareId(m, "HW", st));
        EXPECT_EQ(st.list, c.statuses);
        EXPECT_LT(m.sim.now() - t0, 100) << "a refusal is not waited out";
    }
    Monitor m;
    vx::sim::SimFaults f;
    f.silent = true;
    m.sim.setFaults(f);
    const int64_t t0 = m.sim.now();
    EXPECT_FALSE(vx::runRomTest(m));
    EXPECT_EQ(m.sim.now() - t0, 3000) << "no answer: red after three seconds";
    m.refuse(0x85); // and no longer silent
    EXPECT_FALSE(vx::runRamTest(m));
    EXPECT_TRUE(vx::runRomTest(m));
}
