// The texts of the version and About windows, without a display.
#include "app/version_texts.h"

#include <gtest/gtest.h>

namespace {

TEST(VersionTexts, FormatsOfTheVersionAndAboutWindows) {
    vx::VersionRecord v;
    v.major = 2;
    v.minor = 5;
    v.release = 1;
    v.date1 = 8;
    v.date2 = 6;
    v.year = 2007;
    const vx::CodeVersionTexts t = vx::codeVersionTexts(v);
    EXPECT_EQ(t.major + t.minor + t.release + " " + t.date, "020501 06/08/2007");
    EXPECT_EQ(vx::softwareModeText(0), "Unknown");
    vx::ProductRecord p;
    p.serial_number = 4294967295u;
    p.date1 = 4;
    p.date2 = 5;
    p.year = 9;
    const vx::ProductTexts pt = vx::productTexts(p);
    EXPECT_EQ(pt.date + " " + pt.serial, "05/04/09 4294967295");
    const auto about = vx::aboutLines();
    ASSERT_GE(about.size(), 2u);
    EXPECT_EQ(about[0], "Ornivex Version 2.40 ");
    EXPECT_EQ(about[1], "June 8, 2007");
}

} // namespace
