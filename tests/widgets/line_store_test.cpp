// The error window's line store: the newest lines, in order, within a size cap; the oldest
// dropped a block at a time and counted.
#include "widgets/line_store.h"

#include <gtest/gtest.h>

#include <random>

namespace {

// Every line ever appended, to compare the store's held lines with.
struct Reference {
    std::vector<std::string> all;
    void expectHeldBy(const vx::LineStore& s) const {
        ASSERT_EQ(s.appended(), all.size());
        ASSERT_EQ(s.dropped() + s.size(), all.size());
        size_t bytes = 0;
        for (size_t i = 0; i < s.size(); ++i) {
            ASSERT_EQ(s.line(i), all[size_t(s.dropped()) + i]) << i;
            bytes += s.line(i).size();
        }
        EXPECT_EQ(s.textBytes(), bytes);
    }
};

TEST(LineStore, HoldsTheNewestLinesInOrderWithinItsCap) {
    struct Case {
        size_t cap, block, lines, maxLength;
    };
    for (Case c : {Case{1 << 16, 4096, 5000, 80}, Case{4096, 256, 5000, 80},
                   Case{1000, 64, 3000, 200}, Case{300, 1000, 500, 40}}) {
        SCOPED_TRACE(std::to_string(c.cap) + "/" + std::to_string(c.block));
        vx::LineStore s(c.cap, c.block);
        Reference ref;
        std::mt19937 rng(7);
        for (size_t i = 0; i < c.lines; ++i) {
            std::string line(rng() % (c.maxLength + 1), char('a' + i % 26)); // empty lines too
            line += std::to_string(i);
            s.append(line);
            ref.all.push_back(line);
            // Over the cap only by the newest block, never more.
            EXPECT_LE(s.textBytes(), std::max(c.cap, c.block + c.maxLength + 8));
            EXPECT_EQ(s.back(), line);
        }
        ref.expectHeldBy(s);
        EXPECT_GT(s.dropped(), 0u);
        EXPECT_EQ(s.droppedNote(), vx::groupedNumber(s.dropped()) + " older lines dropped.");
    }
    for (auto [n, text] : {std::pair<uint64_t, const char*>{999, "999"},
                           {1000, "1,000"},
                           {1234567, "1,234,567"},
                           {100000, "100,000"}}) {
        EXPECT_EQ(vx::groupedNumber(n), text);
    }
}

TEST(LineStore, NothingDroppedNoNoteAndLinesLongerThanABlockStay) {
    vx::LineStore s(1 << 20, 16);
    Reference ref;
    for (std::string line :
         {std::string(100, 'x'), std::string(), std::string("short"), std::string(40, 'y')}) {
        s.append(line);
        ref.all.push_back(line);
    }
    ref.expectHeldBy(s);
    EXPECT_EQ(s.dropped(), 0u);
    EXPECT_EQ(s.droppedNote(), "");
    EXPECT_EQ(s.line(99), ""); // past the end: nothing
    // A line longer than the whole cap is the newest and is held.
    vx::LineStore tiny(10, 4);
    tiny.append("0123456789ABCDEF");
    tiny.append("0123456789abcdefghij");
    EXPECT_EQ(tiny.size(), 1u);
    EXPECT_EQ(tiny.back(), "0123456789abcdefghij");
    EXPECT_EQ(tiny.droppedNote(), "1 older lines dropped.");
}

TEST(LineStore, ClearGivesTheMemoryBackAndStartsTheCountAgain) {
    vx::LineStore s(1 << 16, 1 << 12);
    for (int i = 0; i < 10000; ++i) s.append("Checksum Error:     81 21 01 0A 00 82 ");
    EXPECT_GT(s.dropped(), 0u);
    size_t full = s.memoryBytes();
    s.clear();
    EXPECT_TRUE(s.empty());
    EXPECT_EQ(s.dropped(), 0u);
    EXPECT_EQ(s.appended(), 0u);
    EXPECT_EQ(s.droppedNote(), "");
    EXPECT_LT(s.memoryBytes(), full / 10);
    s.append("again");
    EXPECT_EQ(s.line(0), "again");
}

TEST(LineStore, ALineCostsItsCharactersAndAFewBytes) {
    // 200,000 error lines of 60 characters under a 2 MiB cap: memory stays near the text it
    // holds (blocks, plus 4 bytes per line), whatever was appended before.
    vx::LineStore s(2 << 20, 1 << 18);
    std::string line(56, 'e');
    for (int i = 0; i < 200000; ++i) s.append(line + std::to_string(1000 + i % 9000));
    EXPECT_LE(s.textBytes(), size_t(2) << 20);
    EXPECT_LT(s.memoryBytes(), s.textBytes() + s.size() * 8 + (size_t(1) << 19));
    EXPECT_EQ(s.dropped() + s.size(), 200000u);
}

} // namespace
