// Strict reading of typed numbers and printf-style display, shared by every window with entry
// boxes.
#include "console/field_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

TEST(FieldText, IntegersAreTheWholeTextOrNothing) {
    struct Case {
        const char* text;
        std::optional<int64_t> value;
    };
    const Case cases[] = {
        {"42", 42},
        {" 42 ", 42},
        {"-3", -3},
        {"+7", 7},
        {"0", 0},
        {"4294967295", 4294967295LL},
        {"-2147483648", -2147483648LL},
        {"9223372036854775807", std::numeric_limits<int64_t>::max()},
        {"-9223372036854775808", std::numeric_limits<int64_t>::min()},
        {"9223372036854775808", std::nullopt}, // does not fit
        {"", std::nullopt},
        {"   ", std::nullopt},
        {"-", std::nullopt},
        {"12abc", std::nullopt},
        {"1.5", std::nullopt},
        {"0x10", std::nullopt},
        {"1 2", std::nullopt},
        {"--1", std::nullopt},
    };
    for (const Case& c : cases) EXPECT_EQ(vx::parseInteger(c.text), c.value) << c.text;
}

TEST(FieldText, RealsAreFiniteDecimalNumbers) {
    struct Case {
        const char* text;
        std::optional<double> value;
    };
    const Case cases[] = {
        {"5", 5.0},
        {"-2.5", -2.5},
        {"+0.5", 0.5},
        {"1e-6", 1e-6},
        {"3E2", 300.0},
        {".5", 0.5},
        {" 35.0\t", 35.0},
        {"", std::nullopt},
        {"nan", std::nullopt},
        {"inf", std::nullopt},
        {"-inf", std::nullopt},
        {"1e999", std::nullopt}, // overflows to infinity
        {"0x1p3", std::nullopt},
        {"5,0", std::nullopt},
        {"5.0.1", std::nullopt},
        {"abc", std::nullopt},
        {"+-5", std::nullopt}, // one sign at most
        {"++5", std::nullopt},
        {"--5", std::nullopt},
        {"+", std::nullopt},
    };
    for (const Case& c : cases) EXPECT_EQ(vx::parseReal(c.text), c.value) << c.text;
}

TEST(FieldText, HexTakesItsDigitLimit) {
    EXPECT_EQ(vx::parseHex("FF", 2), 0xFFu);
    EXPECT_EQ(vx::parseHex("0x1a", 2), 0x1Au);
    EXPECT_EQ(vx::parseHex("a", 2), 0xAu);
    EXPECT_EQ(vx::parseHex("100", 2), std::nullopt);
    EXPECT_EQ(vx::parseHex("", 2), std::nullopt);
    EXPECT_EQ(vx::parseHex("-1", 2), std::nullopt);
    EXPECT_EQ(vx::parseHex("g1", 2), std::nullopt);
    EXPECT_EQ(vx::parseHex("FFFFFFFF"), 0xFFFFFFFFu);
    EXPECT_EQ(vx::parseHex("1FFFFFFFF", 9), std::nullopt);
}

TEST(FieldText, NumbersAreWrittenAsTheirFormatSays) {
    struct Case {
        const char* format;
        double value;
        const char* text;
    };
    const Case cases[] = {
        {"%.2f", 5.0, "5.00"},
        {"%.1f", 175 * 0.2, "35.0"},
        {"%d", 30, "30"},
        {"%d", -3, "-3"},
        {"%ld", -2147483648.0, "-2147483648"},
        {"%lu", 4294967295.0, "4294967295"},
        {"%g", double(0.5f), "0.5"},
        {"%g", double(0.000001f), "1e-06"},
        {"%g", 2.5, "2.5"},
        {"%02X", 10, "0A"},
        {"%.1f dB", 3.25, "3.2 dB"},
        {"%%%d", 5, "%5"},
        {"plain", 1, "plain"},
        {"%d %d", 1, "%d %d"}, // two conversions: not a format it writes
        {"%.2f", 1e20, "100000000000000000000.00"},
        {"%.2f", -0.004, "-0.00"},
    };
    for (const Case& c : cases) EXPECT_EQ(vx::formatNumber(c.format, c.value), c.text) << c.format;
}

} // namespace
