#include "program/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace vx;

namespace {

struct Args {
    explicit Args(std::vector<std::string> a) : store(std::move(a)) {
        for (auto& s : store) ptrs.push_back(s.data());
        ptrs.push_back(nullptr);
        argc = int(store.size());
    }
    std::vector<std::string> store;
    std::vector<char*> ptrs;
    int argc;
    std::vector<std::string> rest() const {
        return std::vector<std::string>(ptrs.begin(), ptrs.begin() + argc);
    }
};

CommandLine parse(Args& a, ComSlots& slots) {
    return parseCommandLine(a.argc, a.ptrs.data(), slots);
}

TEST(CommandLine, InternalMenuSwitch) {
    struct Case {
        std::vector<std::string> args;
        bool shown;
    } cases[] = {
        {{"ornivex"}, false},
        {{"ornivex", "i"}, false}, // one character
        {{"ornivex", "-i"}, true},
        {{"ornivex", "/I"}, true}, // upper case, any first character
        {{"ornivex", "xi"}, true},
        {{"ornivex", "-x", "-i"}, false},    // only the first argument counts
        {{"ornivex", "--demo", "-i"}, true}, // our options are not arguments
        {{"ornivex", "--com", "2=/dev/null", "-I"}, true},
        {{"ornivex", "-platform", "offscreen"}, false},
    };
    for (auto& c : cases) {
        Args a(c.args);
        ComSlots slots;
        CommandLine cl = parse(a, slots);
        EXPECT_TRUE(cl.error.empty()) << cl.error;
        EXPECT_EQ(cl.internalMenu, c.shown) << c.args.back();
    }
}

TEST(CommandLine, OptionsAreTakenOutAndQtsAreLeft) {
    Args a({"ornivex", "--com", "3=/dev/pts/7", "-platform", "offscreen", "--demo", "--screenshot",
            "out.png", "--after", "2.5", "--screenshot-window", "skyPlotForm=sky.png"});
    ComSlots slots;
    CommandLine cl = parse(a, slots);
    EXPECT_TRUE(cl.error.empty()) << cl.error;
    EXPECT_TRUE(cl.demo);
    EXPECT_EQ(cl.screenshotPath, "out.png");
    EXPECT_DOUBLE_EQ(cl.screenshotAfter, 2.5);
    ASSERT_EQ(cl.screenshotWindows.size(), 1u);
    EXPECT_EQ(cl.screenshotWindows[0].first, "skyPlotForm");
    EXPECT_EQ(cl.screenshotWindows[0].second, "sky.png");
    EXPECT_EQ(slots.path(2), "/dev/pts/7");
    EXPECT_EQ(a.rest(), (std::vector<std::string>{"ornivex", "-platform", "offscreen"}));
}

TEST(CommandLine, UsageErrors) {
    for (auto args : std::vector<std::vector<std::string>>{
             {"ornivex", "--bogus"},
             {"ornivex", "--com", "40=/dev/x"},
             {"ornivex", "--com"},
             {"ornivex", "--screenshot"},
             {"ornivex", "--after", "soon"},
             {"ornivex", "--screenshot-window", "noSuchForm=x.png"},
             {"ornivex", "--screenshot-window", "skyPlotForm="},
             {"ornivex", "--screenshot-window"},
         }) {
        Args a(args);
        ComSlots slots;
        EXPECT_FALSE(parse(a, slots).error.empty()) << args[1];
    }
    Args h({"ornivex", "--help"});
    ComSlots slots;
    EXPECT_TRUE(parse(h, slots).help);
    EXPECT_NE(usageText().find("--com N=PATH"), std::string::npos);
    EXPECT_NE(usageText().find("-i"), std::string::npos);
}

} // namespace
