// The BBRAM unit test's payloads and reply texts, the BBRAM activity rows and filter, and the
// Vexor trace's selection and decoding.
#include "flash/trace_texts.h"

#include "support/hex.h"

#include <gtest/gtest.h>

using vxtest::bytes;

TEST(BbramUnitTest, PayloadsOfTheSevenTests) {
    EXPECT_EQ(vx::bbramTestPayload(1, 0x2000, 16), (std::vector<uint8_t>{1}));
    EXPECT_EQ(vx::bbramTestPayload(6, 0x2000, 16), (std::vector<uint8_t>{6}));
    // Memdump from 0xC70000, 16 bytes: after the subcode 0x0D, 07 00 00 C7 00 10.
    EXPECT_EQ(vx::bbramTestPayload(7, 0xC70000, 16), bytes("07 00 00 C7 00 10"));
    EXPECT_EQ(vx::bbramTestPayload(7, 0x12345678, 255), bytes("07 78 56 34 12 FF"));
}

TEST(BbramUnitTest, ReplyTexts) {
    struct Case {
        const char* payload;
        const char* text;
    };
    const Case cases[] = {
        {"01 00", "0x01 0x00 "},
        {"04 00 18 00 00 00 00 C7 00 00 F0 01 00 00 40 00 00 07 00 00 00",
         "0x00001800 0x00c70000 0x0001f000 0x00004000 0x00000007 "},
        {"04 00 18 00 00", "0x04 0x00 0x18 0x00 0x00 "}, // short: the plain dump
        {"07 00 00 C7 00 56 58 42 42 00 01 02 03 04 05 06 07 08 09 0A 0B",
         "Memdump from 0x00c70000:\n0x56 0x58 0x42 0x42 0x00 0x01 0x02 0x03 0x04 0x05 0x06 0x07 "
         "0x08 0x09 0x0a 0x0b "},
        {"07 10 00 00 00 AA BB", "Memdump from 0x00000010:\n0xaa 0xbb "},
        {"07 10 00", "0x07 0x10 0x00 "},
        {"", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(vx::bbramTestReplyText(bytes(c.payload), std::nullopt), c.text) << c.payload;

    // Test 5: a header and eight lines of nine bytes, p[1 + r + 8k].
    std::vector<uint8_t> t5 = {5};
    for (int i = 0; i < 72; ++i) t5.push_back(uint8_t(i));
    std::string text = vx::bbramTestReplyText(t5, std::nullopt);
    EXPECT_EQ(text.substr(0, 45), "  gb bbDM bbDB bbCM bbCB flDM flDB flCM flCB\n");
    EXPECT_NE(text.find("\n0x00 0x08 0x10 0x18 0x20 0x28 0x30 0x38 0x40 \n"), std::string::npos);
    EXPECT_NE(text.find("\n0x07 0x0f 0x17 0x1f 0x27 0x2f 0x37 0x3f 0x47 \n"), std::string::npos);
    t5.pop_back();
    EXPECT_EQ(vx::bbramTestReplyText(t5, std::nullopt).substr(0, 10), "0x05 0x00 ");
}

TEST(BbramUnitTest, AMemoryDumpShowsTheBytesAskedFor) {
    std::vector<uint8_t> first = bytes("07 00 20 00 00");
    std::vector<uint8_t> second = bytes("07 10 20 00 00");
    for (int i = 0; i < 16; ++i) {
        first.push_back(uint8_t(i));
        second.push_back(uint8_t(0x10 + i));
    }
    const vx::MemdumpRequest twenty{0x2000, 20};
    EXPECT_EQ(vx::bbramTestReplyText(first, twenty),
              "Memdump from 0x00002000:\n0x00 0x01 0x02 0x03 0x04 0x05 0x06 0x07 0x08 0x09 0x0a "
              "0x0b 0x0c 0x0d 0x0e 0x0f ");
    EXPECT_EQ(vx::bbramTestReplyText(second, twenty),
              "Memdump from 0x00002010:\n0x10 0x11 0x12 0x13 ");
    EXPECT_EQ(vx::bbramTestReplyText(first, vx::MemdumpRequest{0x2000, 3}),
              "Memdump from 0x00002000:\n0x00 0x01 0x02 ");
}

TEST(BbramTrace, RowsAndFilter) {
    vx::BbramActivityRecord r;
    r.d_local = 0x1B64;
    r.offs_mst = 868;
    r.offs_bkp = 0x2364;
    r.d_default = 0xC70364;
    r.mst_time = 1000;
    r.bkp_time = 950;
    r.time = 1000;
    r.d_size = 64;
    r.activity = 1;
    auto row = vx::bbramTraceRow(r, "T");
    EXPECT_EQ(row[1], "Check");
    EXPECT_EQ(row[2], "AUTO_BLK");
    EXPECT_EQ(row[3], "0x00001b64");
    EXPECT_EQ(row[4], "0x00c70364");
    EXPECT_EQ(row[5], "0x000003e8");
    EXPECT_EQ(row[6], "0x000003b6");
    EXPECT_EQ(row[7], "0x000003e8");
    EXPECT_EQ(row[8], "00001b64 00000364 00002364 00c70364 000003e8 000003b6 000003e8 0040 01");

    std::array<bool, vx::kBbramStructureCount> all{};
    all.fill(true);
    EXPECT_TRUE(vx::bbramTracePasses(r, all));
    auto noAutoBlk = all;
    noAutoBlk[3] = false; // cbAutoBlk
    EXPECT_STREQ(vx::kBbramStructures[3].boxName, "cbAutoBlk");
    EXPECT_FALSE(vx::bbramTracePasses(r, noAutoBlk));
    // A structure not listed always passes, shown with its offset.
    r.offs_mst = 100;
    r.activity = 7;
    std::array<bool, vx::kBbramStructureCount> none{};
    EXPECT_TRUE(vx::bbramTracePasses(r, none));
    row = vx::bbramTraceRow(r, "T");
    EXPECT_EQ(row[2], "0x64 - UNKNOWN");
    EXPECT_EQ(row[1], "0x7 UNKNOWN");
}

TEST(VexorTrace, SelectionAndDecoding) {
    EXPECT_EQ(vx::traceKind(0x12, 0x01), vx::TraceKind::C12);
    EXPECT_EQ(vx::traceKind(0x30, 0x03), vx::TraceKind::C30);
    EXPECT_EQ(vx::traceKind(0x31, 0x01), vx::TraceKind::C31);
    EXPECT_EQ(vx::traceKind(0x70, 0x0F), vx::TraceKind::C700F);
    EXPECT_EQ(vx::traceKind(0x70, 0x13), vx::TraceKind::C7013);
    EXPECT_EQ(vx::traceKind(0x70, 0x0E), std::nullopt);
    EXPECT_EQ(vx::traceKind(0x70, 0x14), std::nullopt);
    EXPECT_EQ(vx::traceKind(0x33, 0x01), std::nullopt);

    struct Case {
        uint8_t h1, h2;
        const char* payload;
        const char* decoded;
    };
    const Case cases[] = {
        {0x31, 0x01, "10 00 00 00 00 07 00", "T:16 S:7"},
        {0x31, 0x01, "10 00", ""},
        {0x70, 0x0F, "34 12 78 56", "B:0x5678, A:0x1234"},
        {0x70, 0x10, "10 00 00 00 00 00 00 00", "NAV_TO_IO, l:  8, t:      16"},
        {0x70, 0x11, "FF FF FF FF", "IO_TO_NAV, l:  4, t:      -1"},
        {0x70, 0x12, "03 41 42", "BBDump: 3, len: 3"},
        {0x70, 0x13, "01 00 02 00 03 00 04 00 05 00", "ADC_TI: 0001 0002 0003 "},
        {0x70, 0x13, "01 00 02 00 03", "ADC_TI: 0001 "}, // (5 - 6) / 2 + 1 = 1
        {0x70, 0x13, "01 00 02 00", "ADC_TI: "},         // (4 - 6) / 2 + 1 = 0
        {0x70, 0x13, "01", "ADC_TI: "},                  // never past the payload
        {0x30, 0x02, "01 02", ""},
        {0x12, 0x01, "01", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(vx::vexorTraceDecoded(c.h1, c.h2, bytes(c.payload)), c.decoded) << c.payload;

    auto row = vx::vexorTraceRow(0x70, 0x12, bytes("03 41 FF"), "T");
    EXPECT_EQ(row[1], "0x70");
    EXPECT_EQ(row[2], "0x12");
    EXPECT_EQ(row[4], "03 41 ff ");
}
