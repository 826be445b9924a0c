// Receiver configuration profiles without a receiver: the groups read from the dialog tables,
// every refusal of the parser, writing and reading back, comparing, and the run's exchanges
// (frames, pacing, acknowledgements, time-outs) on a recording sink with replies fed by hand.
#include "config/profile_run.h"
#include "link/catalogue.h"
#include "support/recording_sink.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>

using namespace vx;

namespace {

ProfileParse parse(const std::string& text) {
    return parseProfile(text);
}

TEST(ProfileGroups, ComeFromTheConfigurationDialogs) {
    std::vector<std::string> names;
    for (const ConfigGroup& g : configGroups())
        if (names.empty() || names.back() != g.name) names.push_back(g.name);
    // The settings dialogs by their names; the packets by their layouts'; the log queries, the
    // read-only 3608 and the initialisation dialogs are not configuration.
    EXPECT_EQ(names, (std::vector<std::string>{"engine_rate", "gps_config", "kalman", "dr_filter",
                                               "event_trigger", "time_trigger", "distance_trigger",
                                               "heading_trigger", "soft_event_mask", "zro",
                                               "gyro_sensitivity", "direction_switch", "dpp",
                                               "nmea_control", "diag_output"}));
    // Field names are unique per group name and say what the dialogs say.
    std::map<std::string, std::set<std::string>> seen;
    for (const ConfigGroup& g : configGroups())
        for (const ConfigField& f : g.fields)
            EXPECT_TRUE(seen[g.name].insert(f.name).second) << g.name << "." << f.name;
    EXPECT_TRUE(seen["engine_rate"].count("DR_Engine_Rate"));
    EXPECT_TRUE(seen["gps_config"].count("DOP_switch"));
    EXPECT_TRUE(seen["dr_filter"].count("GSFCalcMaxGPSVar"));
    EXPECT_EQ(seen["dr_filter"].size(), 76u);
    EXPECT_EQ(seen["dpp"], (std::set<std::string>{"source", "value[0]", "accuracy[0]", "value[1]",
                                                  "accuracy[1]", "value[2]", "accuracy[2]"}));
    EXPECT_EQ(configGroup("time_trigger")->keys, EntryKeys::Target);
    EXPECT_EQ(configGroup("soft_event_mask")->keys, EntryKeys::Key);
    EXPECT_EQ(configGroup("dpp")->keys, EntryKeys::Listed);
    // A save asks for every target of every trigger and every soft event.
    const std::vector<ConfigUnit> units = saveUnits();
    size_t triggers = 0, events = 0;
    for (const ConfigUnit& u : units) {
        triggers += u.group->keys == EntryKeys::Target;
        events += u.group->keys == EntryKeys::Key;
    }
    EXPECT_EQ(triggers, 4 * defaultSaveTargets().size());
    EXPECT_EQ(events, configGroup("soft_event_mask")->keyControl->items.size());
}

TEST(ProfileParse, ReadsValuesInTheDialogsUnits) {
    const ProfileParse p = parse("# Ornivex receiver configuration profile\r\n"
                                 "# receiver: 1101\n"
                                 "\n"
                                 "engine_rate.DR_Engine_Rate = 10 Hz\n"
                                 "  gps_config.SNR=28.2  \n"
                                 "gps_config.Operating_Dimension = Full Pos (3D)\n"
                                 "event_trigger[3002].ls_fix_generated = 1\n"
                                 "time_trigger[30 02].minimum = 1\n"
                                 "time_trigger[3002].maximum = 4294967295\n"
                                 "soft_event_mask[61].mask = Report As Detected\n"
                                 "dpp.value[2] = 0.025\n"
                                 "# a comment between values\n"
                                 "direction_switch.sense = 0 = R, 1 = F\n");
    ASSERT_EQ(p.errors, (std::vector<std::string>{
                            "line 8: 'time_trigger' needs its target code and subcode as four "
                            "hex digits in brackets ([3002])"}));
    EXPECT_EQ(p.profile.header, (std::vector<std::string>{"Ornivex receiver configuration profile",
                                                          "receiver: 1101"}));
    struct Want {
        const char* name;
        double wire;
    };
    const Want want[] = {{"engine_rate.DR_Engine_Rate", 10},
                         {"gps_config.SNR", 141}, // 28.2 dBHz x 5
                         {"gps_config.Operating_Dimension", 4},
                         {"event_trigger[3002].ls_fix_generated", 1},
                         {"time_trigger[3002].maximum", 4294967295.0},
                         {"soft_event_mask[61].mask", 3},
                         {"dpp.value[2]", double(0.025f)},
                         {"direction_switch.sense", 1}};
    ASSERT_EQ(p.profile.values.size(), std::size(want));
    for (size_t i = 0; i < std::size(want); ++i) {
        EXPECT_EQ(p.profile.values[i].name(), want[i].name);
        EXPECT_EQ(p.profile.values[i].wire, want[i].wire) << want[i].name;
    }
    EXPECT_EQ(p.profile.values[3].unit.subcode, 0x30);
    EXPECT_EQ(p.profile.values[3].unit.key, 0x02);
    EXPECT_EQ(p.profile.units().size(), 7u);
}

TEST(ProfileParse, RefusesEveryBadLineWithItsNumberAndReason) {
    struct Case {
        const char* line;
        const char* error;
    };
    const Case cases[] = {
        {"gps_config.Elevation 5", "no '=' (a line is group.field = value)"},
        {"Elevation = 5", "'Elevation' is not group.field"},
        {"gps.Elevation = 5", "unknown group 'gps'"},
        {"gps_config.Elevaton = 5", "unknown field 'gps_config.Elevaton'"},
        {"gps_config.Elevation =", "gps_config.Elevation: no value"},
        {"gps_config.Elevation = five", "gps_config.Elevation: not a valid number."},
        {"gps_config.Elevation = 1e39", "gps_config.Elevation: 1e39 is out of range (a 32-bit "
                                        "float)."},
        {"gps_config.DGPS_age = 65536", "gps_config.DGPS_age: 65536 is out of range (0 to 65535)."},
        {"kalman.MinSVs = -1", "kalman.MinSVs: -1 is out of range (0 to 4294967295)."},
        {"dr_filter.GPSVelEditHoldoff = 1.5", "dr_filter.GPSVelEditHoldoff: not a valid number."},
        {"engine_rate.DR_Engine_Rate = 7 Hz",
         "engine_rate.DR_Engine_Rate: '7 Hz' is not an item of the list (5 Hz, 10 Hz)"},
        {"event_trigger[3002].fatal_error = 2",
         "event_trigger[3002].fatal_error: '2' is neither 1 (checked) nor 0"},
        {"gps_config[01].Elevation = 5", "'gps_config' takes no key in brackets"},
        {"time_trigger.minimum = 5", "'time_trigger' needs its target code and subcode as four "
                                     "hex digits in brackets ([3002])"},
        {"soft_event_mask[6].mask = Don't Report",
         "'soft_event_mask' needs its key as two hex digits in brackets ([61])"},
        {"soft_event_mask[07].mask = Don't Report", "'soft_event_mask': no entry 07"},
        {"time_trigger[3002.minimum = 5",
         "'time_trigger[3002.minimum': a key in brackets goes before the '.'"},
        {"dpp.value[3] = 1", "unknown field 'dpp.value[3]'"},
    };
    for (const Case& c : cases) {
        const ProfileParse p = parse(std::string("# header\n\n") + c.line + "\n");
        ASSERT_EQ(p.errors.size(), 1u) << c.line << (p.errors.empty() ? "" : p.errors[0]);
        EXPECT_EQ(p.errors[0], std::string("line 3: ") + c.error) << c.line;
        EXPECT_TRUE(p.profile.values.empty()) << c.line;
    }
    const ProfileParse twice = parse("kalman.MinSVs = 4\nkalman.MinSVs = 5\n");
    EXPECT_EQ(twice.errors,
              (std::vector<std::string>{"line 2: kalman.MinSVs is given twice (first on line 1)"}));
    std::string many;
    for (int i = 0; i < 60; ++i) many += "nonsense\n";
    const ProfileParse p = parse(many);
    ASSERT_EQ(p.errors.size(), kMaxParseErrors + 1);
    EXPECT_EQ(p.errors.back(), "... and 10 more lines refused");
}

TEST(ProfileText, WritesWhatReadsBackToTheSameWireValues) {
    // Values whose dialog format would lose digits are written with more.
    const ConfigGroup& gps = *configGroup("gps_config");
    const ConfigField& elevation = *gps.field("Elevation");
    EXPECT_EQ(*fieldText(gps, elevation, 5.0), "5.00");
    const double odd = double(5.123f);
    const std::string text = *fieldText(gps, elevation, odd);
    EXPECT_EQ(*readFieldText(gps, elevation, text).value, odd) << text;
    EXPECT_EQ(*fieldText(gps, *gps.field("SNR"), 141), "28.2");
    EXPECT_EQ(*fieldText(gps, *gps.field("DGPS_Mode"), 2), "If Available");
    EXPECT_FALSE(fieldText(gps, *gps.field("DGPS_Mode"), 9)); // no item names 9

    const std::string profile = "# header\r\n"
                                "kalman.MaxAcc = 0.123456791\r\n"
                                "time_trigger[3101].minimum = 1000\r\n"
                                "dpp.source = Host Input\r\n";
    const ProfileParse p = parse(profile);
    ASSERT_TRUE(p.ok());
    EXPECT_EQ(writeProfile(p.profile), profile);
}

TEST(ProfileCompare, DiffsFieldByFieldWithASummary) {
    const Profile a = parse("kalman.MinSVs = 4\n"
                            "gps_config.Elevation = 5\n"
                            "gps_config.DOP = 10\n"
                            "engine_rate.DR_Engine_Rate = 5 Hz\n")
                          .profile;
    const Profile b = parse("gps_config.Elevation = 5.00\n" // the same value written otherwise
                            "kalman.MinSVs = 5\n"
                            "engine_rate.DR_Engine_Rate = 5 Hz\n"
                            "dr_filter.MaxHBMSecs = 3\n")
                          .profile;
    const std::vector<FieldCompare> rows = diffProfiles(a, b);
    ASSERT_EQ(rows.size(), 5u);
    EXPECT_EQ(rows[0].state, FieldState::Different);
    EXPECT_EQ(rows[1].state, FieldState::Same);
    EXPECT_EQ(rows[2].state, FieldState::OnlyInFirst);
    EXPECT_EQ(rows[4].state, FieldState::OnlyInSecond);
    EXPECT_EQ(summaryLine(summarize(rows)),
              "5 fields: 2 same, 1 different, 1 only in first, 1 only in second");
    const std::string table = compareTable(rows, "a.txt", "b.txt");
    EXPECT_EQ(table.substr(0, table.find("\r\n")),
              "Field                       a.txt  b.txt  State");
    EXPECT_NE(table.find("kalman.MinSVs               4      5      different\r\n"),
              std::string::npos)
        << table;
    EXPECT_EQ(summaryLine({412, 410, 2}), "412 fields: 410 same, 2 different");
    EXPECT_TRUE(summarize(diffProfiles(a, a)).allSame());
}

TEST(ProfileApply, RefusesPacketsOfSeveralFieldsGivenInPart) {
    // One value per packet may be set alone; a trigger's packet is written whole; an entry
    // whose source only the receiver sets is not applied at all.
    const Profile p = parse("gps_config.Elevation = 5\n"
                            "time_trigger[3002].minimum = 100\n"
                            "dpp.source = GPS Fix\n"
                            "zro.source = Host Input\n"
                            "zro.value = 2048\n")
                          .profile;
    EXPECT_EQ(applyRefusals(p),
              (std::vector<std::string>{
                  "time_trigger[3002]: no value for maximum (its packet is always written whole)",
                  "zro: no value for accuracy (its packet is always written whole)"}));
}

// ---- The run ------------------------------------------------------------------------------

AckRecord ackOf(uint8_t code, uint8_t sub, uint8_t result, uint8_t index = kAckNoIndex) {
    AckRecord a;
    a.acked_code = code;
    a.acked_subcode = sub;
    a.index = index;
    a.result = result;
    return a;
}

RecordSnapshot gpsReply(uint8_t sub, double value) {
    GpsConfigRecord r;
    r.value[sub] = value;
    return r;
}

TEST(ProfileRun, VerifiesAgainstTheRepliesAndTimesOut) {
    const Profile p = parse("gps_config.Elevation = 5\n"
                            "gps_config.DOP = 10\n"
                            "kalman.MinSVs = 4\n")
                          .profile;
    vxtest::RecordingSink sink;
    ProfileRun run = ProfileRun::verify(p);
    run.start(sink, 0);
    // The whole group is asked for, back to back, as the dialog's Query does.
    ASSERT_EQ(sink.frames.size(), 8u);
    EXPECT_EQ(sink.hexFrames()[3], "81 02 24 04 D3 82");
    EXPECT_EQ(run.status(), "Querying gps_config (1 of 2)");
    for (uint8_t s = 1; s <= 8; ++s) run.packet(0x24, s, gpsReply(s, s == 4 ? 5.0 : 9.0), 10);
    // Answered: the next entry's Query goes out at once; its replies never come.
    EXPECT_EQ(sink.frames.size(), 8u + 23u);
    EXPECT_EQ(run.wakeAt(), 1010);
    run.tick(1009);
    EXPECT_FALSE(run.finished());
    run.tick(1010);
    ASSERT_TRUE(run.finished());
    const std::vector<FieldCompare> rows = run.verifyRows();
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].state, FieldState::Same);
    EXPECT_EQ(rows[1].state, FieldState::Different);
    EXPECT_EQ(rows[1].second, "9.00");
    EXPECT_EQ(rows[2].state, FieldState::NotAnswered);
    EXPECT_EQ(summaryLine(summarize(rows)), "3 fields: 1 same, 1 different, 1 not answered");
    EXPECT_TRUE(run.answered());
}

TEST(ProfileRun, AppliesPacedListsRefusalsThenVerifies) {
    const Profile p = parse("gps_config.Elevation = 5\n"
                            "gps_config.DOP = 10\n"
                            "zro.source = GPS Fix\n")
                          .profile;
    vxtest::RecordingSink sink;
    ProfileRun run = ProfileRun::apply(p);
    EXPECT_EQ(run.skipped(), (std::vector<std::string>{
                                 "zro: not set: source is GPS Fix, which only the receiver sets"}));
    run.start(sink, 0);
    ASSERT_EQ(sink.frames.size(), 1u); // the GPS configuration dialog pauses 50 ms
    EXPECT_EQ(sink.hexFrames()[0], "81 01 24 04 00 00 A0 40 F4 82");
    EXPECT_EQ(run.wakeAt(), 50);
    run.tick(49);
    EXPECT_EQ(sink.frames.size(), 1u);
    run.tick(50);
    ASSERT_EQ(sink.frames.size(), 2u);
    run.ack(kCmdSet, ackOf(0x24, 0x04, 0), 60);
    run.ack(kCmdSet, ackOf(0x24, 0x06, 5), 61);
    EXPECT_EQ(run.refused(), (std::vector<std::string>{"gps_config.DOP: " + ackResultText(5)}));
    // Then the verify: the GPS configuration, and the calibration entry kept as it is.
    ASSERT_EQ(sink.frames.size(), 2u + 8u);
    for (uint8_t s = 1; s <= 8; ++s) run.packet(0x24, s, gpsReply(s, s == 4 ? 5.0 : 1.0), 70);
    EXPECT_EQ(sink.hexFrames().back(), "81 02 36 03 C2 82");
    DrCalibrationRecord zro;
    zro.subcode = 3;
    zro.status = 3; // GPS Fix
    run.packet(0x36, 0x03, zro, 71);
    ASSERT_TRUE(run.finished());
    EXPECT_EQ(summaryLine(summarize(run.verifyRows())), "3 fields: 2 same, 1 different");
}

TEST(ProfileRun, ASetKeepsTheBitsNoFieldNames) {
    // The whole event trigger of 3002 with one event on: the receiver's mask also has an
    // unnamed bit (0) set, which the Set must send back as the dialog does.
    std::string text;
    for (const ConfigField& f : configGroup("event_trigger")->fields)
        text += "event_trigger[3002]." + f.name + " = " +
                (f.name == "ls_fix_generated" ? "1\n" : "0\n");
    vxtest::RecordingSink sink;
    ProfileRun run = ProfileRun::apply(parse(text).profile);
    run.start(sink, 0);
    ASSERT_EQ(sink.hexFrames(), (std::vector<std::string>{"81 02 2A 30 02 9F 82"}));
    run.packet(0x2A, 0x30, EventTriggerRecord{0x30, 0x02, 0x00200001}, 1);
    ASSERT_EQ(sink.frames.size(), 2u);
    EXPECT_EQ(sink.hexFrames()[1], "81 01 2A 30 02 01 04 00 00 9B 82");
    run.ack(kCmdSet, ackOf(0x2A, 0x30, 0, 0x02), 2);
    ASSERT_EQ(sink.frames.size(), 3u); // the verification
    run.packet(0x2A, 0x30, EventTriggerRecord{0x30, 0x02, 0x00000401}, 3);
    ASSERT_TRUE(run.finished());
    EXPECT_EQ(summaryLine(summarize(run.verifyRows())), "20 fields: 20 same");

    // An entry the receiver does not answer is not set at all.
    vxtest::RecordingSink quiet;
    ProfileRun unanswered = ProfileRun::apply(parse(text).profile);
    unanswered.start(quiet, 0);
    unanswered.tick(1000);
    EXPECT_EQ(unanswered.skipped(),
              (std::vector<std::string>{
                  "event_trigger[3002]: not set: the receiver did not answer its Query"}));
    EXPECT_EQ(quiet.frames.size(), 2u); // the Query before, the verification's Query
}

TEST(ProfileRun, NmeaOutputControlTravelsAsTheWindowSendsIt) {
    // 2202's mask goes most significant byte first; a Set sends what the 2202 window would for
    // the same interval and sentences (the window, too, sends only the sentences' bits).
    const Profile p = parse("nmea_control.interval = 5\n"
                            "nmea_control.gga = 1\nnmea_control.gsa = 0\nnmea_control.gsv = 1\n"
                            "nmea_control.rmc = 1\nnmea_control.vtg = 0\n")
                          .profile;
    vxtest::RecordingSink sink, window;
    ASSERT_EQ(sendQuery(window, 0x22, 0x02), 0);
    ASSERT_EQ(setNmeaOutput(window, 5, 0x00000109), 0); // GGA, GSV, RMC
    ProfileRun run = ProfileRun::apply(p);
    run.start(sink, 0);
    ASSERT_EQ(sink.hexFrames(), (std::vector<std::string>{window.hexFrames()[0]}));
    run.packet(0x22, 0x02, NmeaControlRecord{1, 0x00010014}, 1); // GSA, VTG and bit 16 set
    ASSERT_EQ(sink.frames.size(), 2u);
    EXPECT_EQ(sink.hexFrames()[1], window.hexFrames()[1]);
    run.ack(kCmdSet, ackOf(0x22, 0x02, 0), 2);
    ASSERT_EQ(sink.frames.size(), 3u); // the verification
    run.packet(0x22, 0x02, NmeaControlRecord{5, 0x00000109}, 3);
    ASSERT_TRUE(run.finished());
    EXPECT_EQ(summaryLine(summarize(run.verifyRows())), "6 fields: 6 same");
}

TEST(ProfileRun, SaveWritesRefusalsAndSilenceAsComments) {
    std::vector<ConfigUnit> units = {{configGroup("engine_rate")},
                                     {configGroup("soft_event_mask"), -1, 0x61}};
    vxtest::RecordingSink sink;
    ProfileRun run = ProfileRun::save(units);
    run.start(sink, 0);
    EXPECT_EQ(sink.hexFrames()[0], "81 02 11 01 E9 82"); // the version first
    run.ack(kCmdQuery, ackOf(0x11, 0x01, 3), 1);
    EXPECT_EQ(run.versionText(), "no version: " + ackResultText(3));
    ASSERT_EQ(sink.frames.size(), 2u);
    run.ack(kCmdQuery, ackOf(0x21, 0x01, 3), 2);
    ASSERT_EQ(sink.frames.size(), 3u);
    EXPECT_EQ(sink.hexFrames()[2], "81 02 2E 01 61 6B 82");
    run.tick(2000);
    ASSERT_TRUE(run.finished());
    size_t comments = 0;
    EXPECT_EQ(run.savedText({"header"}, &comments),
              "# header\r\n"
              "# engine_rate.DR_Engine_Rate: refused: " +
                  ackResultText(3) +
                  "\r\n"
                  "# soft_event_mask[61].mask: no answer\r\n");
    EXPECT_EQ(comments, 2u);
}

TEST(ProfileRun, GivesUpOnAReceiverThatAnswersNothing) {
    vxtest::RecordingSink sink;
    ProfileRun run = ProfileRun::save();
    run.start(sink, 0);
    for (int64_t t = 1000; !run.finished() && t < 100000; t += 1000) run.tick(t);
    EXPECT_TRUE(run.finished());
    EXPECT_FALSE(run.answered());
    EXPECT_EQ(run.done(), size_t(ProfileRun::kSilentRequests));
    EXPECT_LT(run.done(), run.total());
}

TEST(ProfileRun, StopsWhenTheLinkRefusesAFrame) {
    vxtest::RecordingSink sink;
    sink.result = -1;
    ProfileRun run = ProfileRun::verify(parse("kalman.MinSVs = 4\n").profile);
    run.start(sink, 0);
    EXPECT_TRUE(run.finished());
    EXPECT_EQ(run.failure(), "a frame could not be sent (the link is not running)");
    EXPECT_FALSE(run.answered());
}

} // namespace
