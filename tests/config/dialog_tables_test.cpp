// The settings dialogs' tables, without a display: what each reply value shows, what each typed
// text sends (the exact frames), and what is refused with which message.
#include "config/dialog_tables.h"
#include "console/settings_dialog.h"
#include "support/hex.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>

namespace {

using vxtest::hex;

const vx::DialogSpec& dialogOf(vx::WindowId w) {
    switch (w) {
    case vx::WindowId::Tpkt2101Form:
        return vx::engineRateDialog();
    case vx::WindowId::TmaskForm:
        return vx::gpsConfigDialog();
    case vx::WindowId::Tpkt25Form:
        return vx::kalmanDialog();
    default:
        return vx::drFilterDialog();
    }
}

std::string frameHex(const vx::PacedScript& s, size_t i) {
    return i < s.size() ? hex(s[i].frame.data(), s[i].frame.size()) : "(none)";
}

// Every field of every dialog has a setting of its group with that subcode, a distinct object
// name, and belongs to exactly one group.
TEST(SettingsDialogs, EveryFieldIsASettingOfItsGroup) {
    for (vx::WindowId w : {vx::WindowId::Tpkt2101Form, vx::WindowId::TmaskForm,
                           vx::WindowId::Tpkt25Form, vx::WindowId::Tpkt27Form}) {
        const vx::DialogSpec& d = dialogOf(w);
        EXPECT_EQ(d.window, w);
        std::set<std::string> names;
        size_t fields = 0;
        for (const vx::SectionSpec& s : d.sections)
            for (const vx::FieldSpec& f : s.fields) {
                ++fields;
                EXPECT_NE(d.settings().find(f.subcode), nullptr) << f.objectName;
                EXPECT_TRUE(names.insert(f.objectName).second) << f.objectName;
                EXPECT_GE(d.groupOf(f.subcode), 0) << f.objectName;
                EXPECT_EQ(std::string(f.label).back(), ':') << f.objectName;
            }
        size_t inGroups = 0;
        for (int g = 0; g < int(d.groups.size()); ++g) inGroups += d.subcodes(g).size();
        EXPECT_EQ(inGroups, fields) << vx::windowName(w);
    }
    EXPECT_EQ(vx::drFilterDialog().subcodes(0).size() + vx::drFilterDialog().subcodes(1).size() +
                  vx::drFilterDialog().subcodes(2).size() +
                  vx::drFilterDialog().subcodes(3).size() +
                  vx::drFilterDialog().subcodes(4).size() + vx::drFilterDialog().subcodes(5).size(),
              76u);
    EXPECT_EQ(vx::kalmanDialog().subcodes(0).size(), 23u);
    EXPECT_EQ(vx::gpsConfigDialog().subcodes(0).size(), 8u);
    // Subcodes a window does not have belong to no group.
    EXPECT_EQ(vx::drFilterDialog().groupOf(0x30), -1);
    EXPECT_EQ(vx::drFilterDialog().groupOf(0x71), -1);
    EXPECT_EQ(vx::gpsConfigDialog().groupOf(0x09), -1);
    EXPECT_EQ(vx::engineRateDialog().groupOf(0x00), -1);
}

// A reply value and the text (or list item) it shows.
TEST(SettingsDialogs, ReplyValuesShowAsTheirFormatSays) {
    struct Case {
        vx::WindowId window;
        uint8_t subcode;
        double value;
        const char* text; // for lists: the item's text, or "" for none
    };
    const Case cases[] = {
        {vx::WindowId::Tpkt2101Form, 0x01, 5, "5 Hz"},
        {vx::WindowId::Tpkt2101Form, 0x01, 9, "5 Hz"},
        {vx::WindowId::Tpkt2101Form, 0x01, 10, "10 Hz"},
        {vx::WindowId::Tpkt2101Form, 0x01, 14, "10 Hz"},
        {vx::WindowId::Tpkt2101Form, 0x01, 20, ""},
        {vx::WindowId::Tpkt2101Form, 0x01, 0, ""},
        {vx::WindowId::TmaskForm, 0x01, 0, "Auto 2D/3D"},
        {vx::WindowId::TmaskForm, 0x01, 3, "Alt-Hold (2D)"},
        {vx::WindowId::TmaskForm, 0x01, 4, "Full Pos (3D)"},
        {vx::WindowId::TmaskForm, 0x01, 1, ""},
        {vx::WindowId::TmaskForm, 0x01, 2, ""},
        {vx::WindowId::TmaskForm, 0x02, 2, "If Available"},
        {vx::WindowId::TmaskForm, 0x02, 3, ""},
        {vx::WindowId::TmaskForm, 0x03, 17, "Automobile"},
        {vx::WindowId::TmaskForm, 0x03, 16, ""},
        {vx::WindowId::TmaskForm, 0x04, 5, "5.00"},
        {vx::WindowId::TmaskForm, 0x04, -12.345f, "-12.35"},
        {vx::WindowId::TmaskForm, 0x05, 175, "35.0"},
        {vx::WindowId::TmaskForm, 0x05, 65535, "13107.0"},
        {vx::WindowId::TmaskForm, 0x06, 10, "10.00"},
        {vx::WindowId::TmaskForm, 0x08, 30, "30"},
        {vx::WindowId::Tpkt25Form, 0x01, 4294967295.0, "4294967295"},
        {vx::WindowId::Tpkt25Form, 0x03, 25, "5.0"},
        {vx::WindowId::Tpkt25Form, 0x04, 0, "0.0"},
        {vx::WindowId::Tpkt25Form, 0x07, double(0.5f), "0.5"},
        {vx::WindowId::Tpkt25Form, 0x07, double(0.000001f), "1e-06"},
        {vx::WindowId::Tpkt25Form, 0x17, double(3.4e38f), "3.4e+38"},
        {vx::WindowId::Tpkt27Form, 0x05, -3, "-3"},
        {vx::WindowId::Tpkt27Form, 0x1B, -2147483648.0, "-2147483648"},
        {vx::WindowId::Tpkt27Form, 0x45, 2.5, "2.5"},
        {vx::WindowId::Tpkt27Form, 0x70, double(1e-7f), "1e-07"},
    };
    for (const Case& c : cases) {
        const vx::FieldSpec* f = dialogOf(c.window).field(c.subcode);
        ASSERT_NE(f, nullptr);
        std::string shown;
        if (f->kind == vx::FieldKind::Choice) {
            int item = vx::itemForValue(*f, c.value);
            shown = item < 0 ? "" : f->items[size_t(item)].text;
        } else {
            shown = vx::showNumber(*f, c.value);
        }
        EXPECT_EQ(shown, c.text) << vx::windowName(c.window) << " subcode " << int(c.subcode)
                                 << " value " << c.value;
    }
}

// What a typed text sends, or the message that refuses it.
TEST(SettingsDialogs, TypedTextsBecomeWireValuesOrAreRefused) {
    struct Case {
        vx::WindowId window;
        uint8_t subcode;
        const char* text;
        std::optional<double> value;
        const char* error;
    };
    const Case cases[] = {
        {vx::WindowId::TmaskForm, 0x04, "5", 5.0, ""},
        {vx::WindowId::TmaskForm, 0x04, "", std::nullopt, "Elevation: not a valid number."},
        {vx::WindowId::TmaskForm, 0x04, "five", std::nullopt, "Elevation: not a valid number."},
        {vx::WindowId::TmaskForm, 0x04, "nan", std::nullopt, "Elevation: not a valid number."},
        {vx::WindowId::TmaskForm, 0x04, "1e39", std::nullopt,
         "Elevation: 1e39 is out of range (a 32-bit float)."},
        {vx::WindowId::TmaskForm, 0x05, "35", 175.0, ""},
        {vx::WindowId::TmaskForm, 0x05, "35.1", 176.0, ""}, // 175.5 + 0.5, truncated
        {vx::WindowId::TmaskForm, 0x05, "13107", 65535.0, ""},
        {vx::WindowId::TmaskForm, 0x05, "13108", std::nullopt,
         "SNR: 13108 is out of range (0 to 65535)."},
        {vx::WindowId::TmaskForm, 0x05, "-1", std::nullopt,
         "SNR: -1 is out of range (0 to 65535)."},
        {vx::WindowId::TmaskForm, 0x07, "6", 6.0, ""},
        {vx::WindowId::TmaskForm, 0x08, "30", 30.0, ""},
        {vx::WindowId::TmaskForm, 0x08, "65536", std::nullopt,
         "DGPS age: 65536 is out of range (0 to 65535)."},
        {vx::WindowId::TmaskForm, 0x08, "3.5", std::nullopt, "DGPS age: not a valid number."},
        {vx::WindowId::Tpkt25Form, 0x01, "4294967295", 4294967295.0, ""},
        {vx::WindowId::Tpkt25Form, 0x01, "-1", std::nullopt,
         "MinGainIndex: -1 is out of range (0 to 4294967295)."},
        {vx::WindowId::Tpkt25Form, 0x02, "4294967296", std::nullopt,
         "MinSVs: 4294967296 is out of range (0 to 4294967295)."},
        {vx::WindowId::Tpkt25Form, 0x03, "5.0", 25.0, ""},
        {vx::WindowId::Tpkt25Form, 0x04, "0.1", 1.0, ""},
        {vx::WindowId::Tpkt25Form, 0x07, "0.5", 0.5, ""},
        {vx::WindowId::Tpkt25Form, 0x07, "0.1", double(0.1f), ""},
        {vx::WindowId::Tpkt27Form, 0x05, "-3", -3.0, ""},
        {vx::WindowId::Tpkt27Form, 0x05, "2147483648", std::nullopt,
         "ZROGPSStatThldSpdHi: 2147483648 is out of range (-2147483648 to 2147483647)."},
        {vx::WindowId::Tpkt27Form, 0x45, "2.5", 2.5, ""},
        {vx::WindowId::Tpkt27Form, 0x45, "inf", std::nullopt,
         "MaxGPSInitPosSig2: not a valid number."},
    };
    for (const Case& c : cases) {
        const vx::DialogSpec& d = dialogOf(c.window);
        const vx::FieldSpec* f = d.field(c.subcode);
        ASSERT_NE(f, nullptr);
        vx::FieldRead r = vx::readNumber(*f, d.settings().find(c.subcode)->type, c.text);
        EXPECT_EQ(r.value, c.value) << f->objectName << " '" << c.text << "'";
        EXPECT_EQ(r.error, c.error) << f->objectName << " '" << c.text << "'";
    }
}

TEST(SettingsDialogs, ListsSendTheValueOfTheirItemAndRefuseNoSelection) {
    const vx::DialogSpec& rate = vx::engineRateDialog();
    const vx::FieldSpec& list = *rate.field(0x01);
    EXPECT_EQ(vx::readChoice(list, vx::WireType::U8, 0).value, 5.0);
    EXPECT_EQ(vx::readChoice(list, vx::WireType::U8, 1).value, 10.0);
    EXPECT_EQ(vx::readChoice(list, vx::WireType::U8, -1).error, "No DR Engine Rate selected.");
    EXPECT_EQ(list.initialItem, -1);

    const vx::DialogSpec& gps = vx::gpsConfigDialog();
    EXPECT_EQ(vx::readChoice(*gps.field(0x01), vx::WireType::U8, 1).value, 3.0);
    EXPECT_EQ(vx::readChoice(*gps.field(0x01), vx::WireType::U8, 2).value, 4.0);
    EXPECT_EQ(vx::readChoice(*gps.field(0x02), vx::WireType::U8, 2).value, 2.0);
    EXPECT_EQ(vx::readChoice(*gps.field(0x03), vx::WireType::U8, 0).value, 17.0);
    EXPECT_EQ(vx::readChoice(*gps.field(0x01), vx::WireType::U8, -1).error,
              "Operating Dimension: no item selected.");
    EXPECT_EQ(vx::readChoice(*gps.field(0x01), vx::WireType::U8, 3).error,
              "Operating Dimension: no item selected.");
    // The lists start on the items their texts name.
    EXPECT_STREQ(gps.field(0x01)->items[size_t(gps.field(0x01)->initialItem)].text, "Auto 2D/3D");
    EXPECT_STREQ(gps.field(0x02)->items[size_t(gps.field(0x02)->initialItem)].text, "Ignore");
    EXPECT_STREQ(gps.field(0x03)->items[size_t(gps.field(0x03)->initialItem)].text, "Automobile");
}

TEST(SettingsDialogs, ScriptsCarryTheExactFramesAndPauses) {
    // GPS configuration: elevation 5, SNR 35, DOP 10, DOP switch 6, DGPS age 30, after the
    // three lists at their initial items; 50 ms after each frame but the last.
    const vx::SettingValue values[] = {{1, 0},   {2, 1},  {3, 17}, {4, 5},
                                       {5, 175}, {6, 10}, {7, 6},  {8, 30}};
    vx::PacedScript s = vx::setScript(vx::gpsConfigDialog(), values);
    ASSERT_EQ(s.size(), 8u);
    EXPECT_EQ(frameHex(s, 0), "81 01 24 01 00 D7 82");
    EXPECT_EQ(frameHex(s, 3), "81 01 24 04 00 00 A0 40 F4 82");
    EXPECT_EQ(frameHex(s, 4), "81 01 24 05 AF 00 24 82");
    EXPECT_EQ(frameHex(s, 5), "81 01 24 06 00 00 20 41 71 82");
    EXPECT_EQ(frameHex(s, 7), "81 01 24 08 1E 00 B2 82");
    for (size_t i = 0; i < 7; ++i) EXPECT_EQ(s[i].pauseAfterMs, 50) << i;
    EXPECT_EQ(s[7].pauseAfterMs, 0);

    // Queries: the group's subcodes in ascending order, back to back.
    vx::PacedScript q = vx::queryScript(vx::drFilterDialog(), 1);
    ASSERT_EQ(q.size(), 12u);
    EXPECT_EQ(frameHex(q, 0), "81 02 27 10 C4 82");
    EXPECT_EQ(frameHex(q, 11), "81 02 27 1B B9 82");
    for (const vx::ScriptStep& step : q) EXPECT_EQ(step.pauseAfterMs, 0);
    EXPECT_EQ(vx::queryScript(vx::drFilterDialog(), 5).size(), 1u);
    EXPECT_EQ(vx::queryScript(vx::kalmanDialog(), 0).size(), 23u);

    // Kalman: back to back; the DR filter's integers and floats.
    const vx::SettingValue kalman[] = {{3, 25}};
    EXPECT_EQ(frameHex(vx::setScript(vx::kalmanDialog(), kalman), 0),
              "81 01 25 03 19 00 00 00 BB 82");
    const vx::SettingValue dr[] = {{0x05, -3}, {0x45, 2.5}};
    vx::PacedScript drs = vx::setScript(vx::drFilterDialog(), dr);
    EXPECT_EQ(frameHex(drs, 0), "81 01 27 05 FD FF FF FF D6 82");
    EXPECT_EQ(frameHex(drs, 1), "81 01 27 45 00 00 20 40 30 82");
}

} // namespace
