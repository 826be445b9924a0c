// Random serial data without a display: the limits and their refusals, the draws, bursts and
// messages.
#include "testtools/random_serial.h"

#include "support/hex.h"

#include <gtest/gtest.h>

#include <deque>

namespace {

// Hands out a fixed sequence of integers.
class ScriptedDraw : public vx::RandomDraw {
public:
    explicit ScriptedDraw(std::deque<uint32_t> values) : values_(std::move(values)) {}
    uint32_t next() override {
        uint32_t v = values_.empty() ? 0 : values_.front();
        if (!values_.empty()) values_.pop_front();
        return v;
    }

private:
    std::deque<uint32_t> values_;
};

TEST(RandomSerial, LimitsAreCheckedBeforeAnythingRuns) {
    struct Case {
        const char* name;
        vx::RandomLimitFields f;
        const char* error;
    };
    const Case cases[] = {
        {"fine", {"5", "5", "100", "100"}, ""},
        {"zero lengths and times", {"0", "0", "0", "0"}, ""},
        {"largest length", {"1", "65535", "10", "20"}, ""},
        {"length above 65,535",
         {"1", "65536", "10", "20"},
         "Random Bytes: lengths above 65,535 bytes are not allowed."},
        {"minimum above maximum",
         {"6", "5", "10", "20"},
         "Random Bytes: the Minimum Length is greater than the Maximum Length."},
        {"time minimum above maximum",
         {"1", "5", "30", "20"},
         "Random Bytes: the Minimum Separation Time is greater than the Maximum Separation Time."},
        {"negative",
         {"1", "5", "-1", "20"},
         "Random Bytes: Minimum Separation Time: cannot be negative."},
        {"not a number",
         {"1", "5x", "1", "20"},
         "Random Bytes: Maximum Length: not a whole number."},
        {"out of range",
         {"1", "99999999999", "1", "20"},
         "Random Bytes: Maximum Length: not a whole number."},
    };
    for (const Case& c : cases) {
        vx::RandomLimits l{1, 2, 3, 4};
        const vx::RandomLimits before = l;
        EXPECT_EQ(vx::readRandomLimits("Random Bytes", c.f, l), c.error) << c.name;
        if (*c.error) {
            EXPECT_EQ(l.maxLength, before.maxLength) << c.name << ": unchanged on an error";
            EXPECT_EQ(l.minTimeMs, before.minTimeMs) << c.name;
        }
    }
    // An empty box keeps its value; an error leaves every value as it was.
    vx::RandomLimits l{1, 9, 3, 4};
    EXPECT_EQ(vx::readRandomLimits("Random Messages", {"", "", " 2 ", ""}, l), "");
    EXPECT_EQ(l.minLength, 1);
    EXPECT_EQ(l.maxLength, 9);
    EXPECT_EQ(l.minTimeMs, 2);
    EXPECT_EQ(l.maxTimeMs, 4);
    EXPECT_EQ(vx::readRandomLimits("Random Messages", {"3", "", "5", ""}, l),
              "Random Messages: the Minimum Separation Time is greater than the Maximum "
              "Separation Time.");
    EXPECT_EQ(l.minLength, 1);
    EXPECT_EQ(l.minTimeMs, 2);
}

TEST(RandomSerial, BurstsAndMessages) {
    ScriptedDraw burst({0x00, 0x1FF, 0x81});
    EXPECT_EQ(vxtest::hex(vx::buildRandomBurst(burst, 3)), "00 FF 81");
    EXPECT_TRUE(vx::buildRandomBurst(burst, 0).empty());

    struct Case {
        const char* name;
        size_t n;
        std::deque<uint32_t> draws;
        const char* message;
    };
    const Case cases[] = {
        {"length 1", 1, {}, "10 10 03"},
        {"length 0", 0, {}, "10 10 03"},
        {"length 4", 4, {0x01, 0x02, 0x03}, "10 01 02 03 10 03"},
        {"a random 0x10 is doubled", 3, {0x10, 0x110}, "10 10 10 10 10 10 03"},
        {"0x03 inside", 2, {0x03}, "10 03 10 03"},
    };
    for (const Case& c : cases) {
        ScriptedDraw d(c.draws);
        std::vector<uint8_t> m = vx::buildRandomMessage(d, c.n);
        EXPECT_EQ(vxtest::hex(m), c.message) << c.name;
        EXPECT_LE(m.size(), 2 * c.n + 3) << c.name;
    }
}

} // namespace
