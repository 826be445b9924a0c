#include "link/ack_texts.h"
#include "link/event_texts.h"
#include "support/hex.h"

#include <gtest/gtest.h>

#include <set>

using namespace vx;

namespace {

TEST(SoftEvents, LookupsOfKnownAndUnknownCodes) {
    struct Case {
        uint8_t code;
        const char* text; // null: not found
    } cases[] = {
        {0x70, "Antenna open detected."},
        {0x71, "Antenna short detected."},
        {0x41, nullptr},
        {0xFF, "No event in log."},
        {0x00, "No event recorded in this entry."},
        {0x64, "Excessive tacho data is received for a long period of time."},
        {0x88, "Semaphore: Release."},
        {0x89, nullptr},
        {0xFE, nullptr},
    };
    for (const auto& c : cases) {
        auto t = softEventText(c.code);
        if (c.text) {
            ASSERT_TRUE(t.has_value()) << int(c.code);
            EXPECT_EQ(*t, c.text);
        } else {
            EXPECT_FALSE(t.has_value()) << int(c.code);
        }
    }
}

TEST(SoftEvents, TextToCodeIsExactAndRoundTrips) {
    EXPECT_EQ(softEventCode("Begin system test."), 0x11);
    EXPECT_FALSE(softEventCode("Begin system test").has_value());
    EXPECT_FALSE(softEventCode("begin system test.").has_value());
    for (const auto& e : softEventTable()) EXPECT_EQ(softEventCode(e.text), e.code) << e.text;
}

TEST(SoftEvents, TableIsAscendingUniqueAndComplete) {
    const auto& t = softEventTable();
    EXPECT_EQ(t.size(), 47u);
    for (size_t i = 1; i < t.size(); ++i) EXPECT_LT(t[i - 1].code, t[i].code);
    auto texts = softEventTexts();
    ASSERT_EQ(texts.size(), 47u);
    EXPECT_EQ(texts.front(), "No event recorded in this entry.");
    EXPECT_EQ(texts.back(), "No event in log.");
    std::set<std::string_view> unique(texts.begin(), texts.end());
    EXPECT_EQ(unique.size(), texts.size()) << "soft event texts must be unique to select by text";
}

TEST(FatalErrors, LookupsAndTable) {
    EXPECT_EQ(fatalErrorText(0x1000), "Illegal hardware interrupt.");
    EXPECT_FALSE(fatalErrorText(0x1001).has_value());
    EXPECT_EQ(fatalErrorText(0x4003), "Other error in navigation library.");
    EXPECT_EQ(fatalErrorText(0x0000), "No event recorded in this entry.");
    const auto& t = fatalErrorTable();
    EXPECT_EQ(t.size(), 22u);
    for (size_t i = 1; i < t.size(); ++i) EXPECT_LT(t[i - 1].code, t[i].code);
}

TEST(AckTexts, ResultTextsAndHexFallback) {
    EXPECT_EQ(ackResultText(0), "0x00: Successful");
    EXPECT_EQ(ackResultText(5), "0x05: Data value error");
    EXPECT_EQ(ackResultText(9), "0x09: Failed to execute properly");
    EXPECT_EQ(ackResultText(0x0A), "0x0A");
    EXPECT_EQ(ackResultText(0x0C), "0x0C");
    EXPECT_EQ(ackResultText(0xFF), "0xFF");
}

TEST(AckTexts, SystemResultNamesAndCommands) {
    EXPECT_EQ(sysResultName(0), "=== SUCCESS ===");
    EXPECT_EQ(sysResultName(11), "Flash Write Error");
    EXPECT_FALSE(sysResultName(12).has_value());
    EXPECT_EQ(sysCommandInfo(0x01).name, "Hot Reset");
    EXPECT_EQ(sysCommandInfo(0x09).name, "Write BBRAM to Flash, Reset");
    EXPECT_EQ(sysCommandInfo(0x09).rgb, 0xC0DCC0u);
    EXPECT_EQ(sysCommandInfo(0x02).colour, SysLabelColour::Aqua);
    EXPECT_EQ(sysCommandInfo(0x05).rgb, 0xFF00FFu);
    EXPECT_EQ(sysCommandInfo(0x0A).name, "Io pass-through mode");
    EXPECT_EQ(sysCommandInfo(0x00).name, "*** UNKNOWN ***");
    EXPECT_EQ(sysCommandInfo(0x0B).name, "*** UNKNOWN ***");
}

TEST(ErrorTexts, TwentyCharactersEachAndLineFormat) {
    for (int code = 1; code <= 5; ++code) EXPECT_EQ(errorText(code).size(), 20u) << code;
    EXPECT_EQ(errorText(0), "");
    auto frame = vxtest::bytes("81 21 01 0A 00 82");
    EXPECT_EQ(errorLine(2, frame.data(), frame.size()), "Checksum Error:     81 21 01 0A 00 82 ");
    EXPECT_EQ(errorLine(6, frame.data(), frame.size()), "");
    EXPECT_EQ(errorLine(0, frame.data(), 2), "81 21 ");
}

} // namespace
