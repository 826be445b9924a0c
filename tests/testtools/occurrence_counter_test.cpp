// The occurrence counter: where a candidate starts and ends, the restart after a failed
// candidate, input in pieces, and reading a file a slice at a time.
#include "testtools/occurrence_counter.h"

#include "support/hex.h"
#include "support/temp_path.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>

namespace {

uint64_t countIn(const vx::OccurrencePattern& p, const std::vector<uint8_t>& bytes,
                 size_t piece = 0) {
    vx::OccurrenceCounter c(p);
    if (piece == 0) piece = bytes.size() ? bytes.size() : 1;
    for (size_t i = 0; i < bytes.size(); i += piece)
        c.feed(bytes.data() + i, std::min(piece, bytes.size() - i));
    c.finish();
    return c.count();
}

vx::OccurrencePattern pattern(uint8_t code, uint8_t sub = 0, uint8_t index = 0) {
    vx::OccurrencePattern p;
    p.code = code;
    p.subcode = sub;
    p.index = index;
    return p;
}

vx::OccurrencePattern withData(vx::OccurrencePattern p, uint8_t skip, std::vector<uint8_t> d) {
    p.checkData = true;
    p.skip = skip;
    p.data = std::move(d);
    return p;
}

TEST(OccurrenceCounter, CountsByCodeSubcodeIndexAndData) {
    struct Case {
        const char* name;
        vx::OccurrencePattern p;
        const char* bytes;
        uint64_t count;
    };
    const Case cases[] = {
        {"code only: every 81 31", pattern(0x31), "81 31 01 81 31 02 00 81 32 81 31", 3},
        {"subcode compared", pattern(0x31, 0x02), "81 31 01 81 31 02 81 31 02", 2},
        {"index compared at +3", pattern(0x33, 0x01, 0x07), "81 33 01 07 81 33 01 08 81 33 02 07",
         1},
        {"index with any subcode", pattern(0x33, 0x00, 0x07), "81 33 05 07 81 33 09 07 81 33 07 00",
         2},
        {"data after the header", withData(pattern(0x30, 0x02), 1, {0xAA, 0xBB}),
         "81 30 02 00 AA BB 81 30 02 00 AA BC", 1},
        {"data after the index", withData(pattern(0x30, 0x02, 0x01), 0, {0xAA}),
         "81 30 02 01 AA 81 30 02 01 AB", 1},
        {"data of length 0 still needs the skipped bytes", withData(pattern(0x30), 3, {}),
         "81 30 00 01 02 03 81 30 00", 1},
        // A failed candidate is left at its 0x81: the 0x81 inside it starts a match.
        {"restart after a failed candidate's 81", pattern(0x31, 0x05), "81 31 81 31 05", 1},
        {"restart inside data", withData(pattern(0x21, 0x01), 0, {0x81, 0x21, 0x01, 0x05}),
         "81 21 01 81 21 01 81 21 01 05", 1},
        // A match goes on after the last byte it read: a 0x81 in its data is not a new start.
        {"no overlap after a match", withData(pattern(0x21), 0, {0x81, 0x21}),
         "81 21 00 81 21 00 81 21 AA", 1},
        {"escapes are not undone", pattern(0x21, 0x05), "81 21 80 05 81 21 05", 1},
        {"candidate cut by the end of the file", withData(pattern(0x21, 0x01), 0, {1, 2, 3}),
         "81 21 01 01 02", 0},
        {"empty file", pattern(0x21), "", 0},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> bytes = vxtest::bytes(c.bytes);
        EXPECT_EQ(countIn(c.p, bytes), c.count) << c.name;
        // The same in pieces of every size: candidates straddle the pieces.
        for (size_t piece = 1; piece <= bytes.size(); ++piece)
            EXPECT_EQ(countIn(c.p, bytes, piece), c.count) << c.name << " piece " << piece;
    }
}

TEST(OccurrenceCounter, PiecesDoNotChangeTheCountOfARandomStream) {
    std::mt19937 gen(7);
    std::vector<uint8_t> bytes(200000);
    // Only 0x81, 0x21, 0x01 and 0x05, so that candidates and partial matches are frequent.
    const uint8_t alphabet[] = {0x81, 0x21, 0x01, 0x05};
    for (uint8_t& b : bytes) b = alphabet[gen() % 4];
    const auto p = withData(pattern(0x21, 0x01), 1, {0x05, 0x81});
    const uint64_t whole = countIn(p, bytes);
    EXPECT_GT(whole, 100u);
    for (size_t piece : {1u, 2u, 3u, 7u, 4096u, 65536u})
        EXPECT_EQ(countIn(p, bytes, piece), whole) << piece;
}

TEST(OccurrenceCounter, FieldsAreReadStrictly) {
    struct Case {
        const char* name;
        vx::OccurrenceFields f;
        const char* error;
    };
    const Case cases[] = {
        {"all empty", {"", "", "", false, "", "", ""}, ""},
        {"bad code", {"1FF", "", "", false, "", "", ""}, "Code: not a valid hexadecimal byte."},
        {"data", {"31", "", "", true, "2", "aa bb", "2"}, ""},
        {"byte # missing",
         {"31", "", "", true, "", "aa", "1"},
         "Byte #: not a valid hexadecimal byte."},
        {"too few data bytes",
         {"31", "", "", true, "0", "aa", "2"},
         "Data: 1 bytes given, Length asks for 2."},
        {"bad data",
         {"31", "", "", true, "0", "aa 1bb", "2"},
         "Data: not a list of hexadecimal bytes."},
    };
    for (const Case& c : cases) {
        vx::OccurrencePattern p;
        EXPECT_EQ(vx::readOccurrenceInput(c.f, p), c.error) << c.name;
    }
    vx::OccurrencePattern p;
    ASSERT_EQ(vx::readOccurrenceInput({"31", "2", "", true, "1", "aa bb", "2"}, p), "");
    EXPECT_EQ(p.code, 0x31);
    EXPECT_EQ(p.subcode, 0x02);
    EXPECT_EQ(p.skip, 1);
    EXPECT_EQ(vxtest::hex(p.data), "AA BB");
}

TEST(OccurrenceScan, ReadsAFileInSlicesAndReportsWhatCannotBeOpened) {
    const std::string path = vxtest::uniqueTempPath("vx_occurrences");
    std::vector<uint8_t> bytes;
    for (int i = 0; i < 50000; ++i) {
        for (uint8_t b : {0x81, 0x31, 0x01, 0x42, 0x00}) bytes.push_back(b);
    }
    {
        std::FILE* f = std::fopen(path.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
    vx::OccurrenceScan scan(pattern(0x31, 0x01), path);
    ASSERT_TRUE(scan.open()) << scan.error();
    EXPECT_EQ(scan.fileSize(), bytes.size());
    int slices = 0;
    while (!scan.step(4093)) ++slices;
    EXPECT_GT(slices, 50);
    EXPECT_EQ(scan.bytesRead(), bytes.size());
    EXPECT_EQ(scan.count(), 50000u);
    EXPECT_TRUE(scan.error().empty());
    std::remove(path.c_str());

    vx::OccurrenceScan missing(pattern(0x31), "/nonexistent/dir/log.bin");
    EXPECT_FALSE(missing.open());
    EXPECT_EQ(missing.error(), "/nonexistent/dir/log.bin: No such file or directory");
    EXPECT_TRUE(missing.step());
}

} // namespace
