// The dialogs of the packets of several fields: initialization data (0x29), output interval
// control (0x2A..0x2D), DR calibration (0x36) and the soft event mask and logs (0x2E, 0x14).
// Their packets are the layouts of link/layouts.h; each control names the field (and bits) it
// holds.
#include "config/dialog_tables.h"

#include "link/angles.h"
#include "link/event_texts.h"

#include <vector>

namespace vx {

namespace {

// ---- Helpers -----------------------------------------------------------------------------------

constexpr FieldSpec list(uint8_t sub, const char* name, const char* label, const char* field,
                         const char* bits, std::span<const ChoiceItem> items) {
    return {.subcode = sub,
            .objectName = name,
            .label = label,
            .unit = nullptr,
            .kind = FieldKind::Choice,
            .items = items,
            .field = field,
            .bits = bits};
}

constexpr FieldSpec radio(const char* name, const char* label, const char* bits,
                          std::span<const ChoiceItem> items) {
    return {.subcode = 0x00,
            .objectName = name,
            .label = label,
            .unit = nullptr,
            .kind = FieldKind::Radio,
            .items = items,
            .field = "validity",
            .bits = bits};
}

constexpr FieldSpec readOnly(uint8_t sub, const char* name, const char* label, const char* bits,
                             std::span<const ChoiceItem> items) {
    return {.subcode = sub,
            .objectName = name,
            .label = label,
            .unit = nullptr,
            .kind = FieldKind::Text,
            .items = items,
            .field = "status",
            .bits = bits};
}

constexpr FieldSpec integer(uint8_t sub, const char* name, const char* label, const char* unit,
                            const char* format, const char* field) {
    return {.subcode = sub,
            .objectName = name,
            .label = label,
            .unit = unit,
            .kind = FieldKind::Number,
            .format = format,
            .readAs = ReadAs::Integer,
            .field = field};
}

constexpr FieldSpec real(uint8_t sub, const char* name, const char* label, const char* unit,
                         const char* format, const char* field) {
    return {.subcode = sub,
            .objectName = name,
            .label = label,
            .unit = unit,
            .kind = FieldKind::Number,
            .format = format,
            .readAs = ReadAs::Real,
            .field = field};
}

// An angle in 2^-31 semicircle, shown in radians with P. Latitudes and longitudes lie within
// ±P; accuracies are not negative.
constexpr FieldSpec angle(uint8_t sub, const char* name, const char* label, const char* field,
                          Rounding rounding, bool accuracy) {
    FieldSpec f = real(sub, name, label, "rad", "%.9f", field);
    f.convert = Convert::RadiansP;
    f.rounding = rounding;
    f.min = accuracy ? 0 : -kSinglePi;
    f.max = accuracy ? kNoLimit : kSinglePi;
    return f;
}

// A heading in 2^-15 semicircle shown in semicircles: a heading is 0 ≤ sc < 2, an accuracy not
// negative.
constexpr FieldSpec semicircles(uint8_t sub, const char* name, const char* label, const char* field,
                                bool accuracy) {
    FieldSpec f = real(sub, name, label, "sc", "%.5f", field);
    f.scale = 32768;
    f.min = 0;
    if (!accuracy) {
        f.max = 2;
        f.maxExcluded = true;
    }
    return f;
}

constexpr FieldSpec hexByte(const char* name, const char* label, const char* field) {
    return {.subcode = 0x00,
            .objectName = name,
            .label = label,
            .unit = nullptr,
            .kind = FieldKind::Number,
            .format = "%02x",
            .readAs = ReadAs::Hex,
            .field = field};
}

constexpr FieldSpec check(const char* name, const char* caption, const char* bits) {
    return {.subcode = 0x00,
            .objectName = name,
            .label = caption,
            .unit = nullptr,
            .kind = FieldKind::Check,
            .field = "event_mask",
            .bits = bits};
}

// One Query/Set pair for the packets of code with subcode sub (0: the subcode comes from a
// control).
constexpr GroupSpec group(uint8_t sub, const char* query, const char* queryLed, const char* set,
                          const char* setLed, uint8_t code) {
    GroupSpec g{sub, sub, query, queryLed, set, setLed};
    g.code = code;
    return g;
}

constexpr ChoiceItem kSources[] = {
    {"Invalid/Clear", 0}, {"Host Input", 1}, {"Host Override", 2}, {"GPS Fix", 3}};
constexpr int kGpsFix = 3; // the source item that disables Set
constexpr ChoiceItem kNewness[] = {{"From BBRAM", 0}, {"New Since Startup", 1}};

// ---- Initialization: time, position, altitude, frequency, heading (2901..2905) ----------------

constexpr ChoiceItem kAccuracyStatus[] = {{"Unknown", 0}, {"Valid", 1}};

constexpr FieldSpec source29(uint8_t sub, const char* name) {
    FieldSpec f = list(sub, name, "Source:", "status", "source", kSources);
    f.disablesSetAt = kGpsFix;
    return f;
}
constexpr FieldSpec newness29(uint8_t sub, const char* name) {
    return readOnly(sub, name, "Newness:", "newness", kNewness);
}
constexpr FieldSpec accuracy29(uint8_t sub, const char* name) {
    return list(sub, name, "Accy Status:", "status", "accuracy_status", kAccuracyStatus);
}

constexpr FieldSpec kInitTime[] = {
    source29(0x01, "sourceWin01"),
    newness29(0x01, "newnessWin01"),
    accuracy29(0x01, "accyStatusWin01"),
    integer(0x01, "weekNumWin", "Week No.:", nullptr, "%u", "week"),
    integer(0x01, "towWin", "TOW:", "ms", "%u", "time_of_week"),
    integer(0x01, "timeAccyWin", "Time Accy:", "ms", "%u", "time_accuracy"),
};
constexpr FieldSpec kInitLatLon[] = {
    source29(0x02, "sourceWin02"),
    newness29(0x02, "newnessWin02"),
    accuracy29(0x02, "accyStatusWin02"),
    angle(0x02, "latWin", "Latitude:", "latitude", Rounding::HalfAwayFromZero, false),
    angle(0x02, "lonWin", "Longitude:", "longitude", Rounding::HalfAwayFromZero, false),
    angle(0x02, "latAccyWin", "Lat. Accy:", "latitude_accuracy", Rounding::HalfAwayFromZero, true),
    angle(0x02, "lonAccyWin", "Lon. Accy:", "longitude_accuracy", Rounding::HalfAwayFromZero, true),
    real(0x02, "latLonCorWin", "Lat/Lon Corr:", nullptr, "%.9f", "lat_lon_correlation"),
};
constexpr FieldSpec kInitAltitude[] = {
    source29(0x03, "sourceWin03"),
    newness29(0x03, "newnessWin03"),
    accuracy29(0x03, "accyStatusWin03"),
    integer(0x03, "altWin", "Altitude:", "m", "%d", "altitude"),
    integer(0x03, "altAccyWin", "Alt. Accy:", "m", "%u", "altitude_accuracy"),
};
constexpr FieldSpec kInitFrequency[] = {
    source29(0x04, "sourceWin04"),
    newness29(0x04, "newnessWin04"),
    accuracy29(0x04, "accyStatusWin04"),
    integer(0x04, "freqWin", "Frequency:", "PPB", "%d", "frequency_offset"),
    integer(0x04, "freqAccyWin", "Freq. Accy:", "PPB", "%u", "frequency_accuracy"),
};
constexpr FieldSpec kInitHeading[] = {
    source29(0x05, "sourceWin05"),
    newness29(0x05, "newnessWin05"),
    accuracy29(0x05, "accyStatusWin05"),
    semicircles(0x05, "headWin", "Heading:", "heading", false),
    semicircles(0x05, "headAccyWin", "Head. Accy:", "heading_accuracy", true),
};
constexpr SectionSpec kInitSections[] = {
    {"Time (0x29-01)", "GroupBox1", kInitTime, 0},
    {"Latitude/Longitude (0x29-02)", "GroupBox2", kInitLatLon, 1},
    {"Altitude (0x29-03)", "GroupBox3", kInitAltitude, 2},
    {"LO Frequency (0x29-04)", "GroupBox4", kInitFrequency, 3},
    {"Heading (0x29-05)", "GroupBox5", kInitHeading, 4},
};
constexpr GroupSpec kInitGroups[] = {
    group(0x01, "queryButton01", "queryLED01", "setButton01", "setLED01", 0x29),
    group(0x02, "queryButton02", "queryLED02", "setButton02", "setLED02", 0x29),
    group(0x03, "queryButton03", "queryLED03", "setButton03", "setLED03", 0x29),
    group(0x04, "queryButton04", "queryLED04", "setButton04", "setLED04", 0x29),
    group(0x05, "queryButton05", "queryLED05", "setButton05", "setLED05", 0x29),
};

// The windows of 0x29 follow the request cycle of the DR engine rate window: an answer or the
// time-out ends a request, a Query and a Set supersede each other.
constexpr DialogPolicy kInitPolicy{
    .queryOnShow = true, .expiryClears = true, .requestsSupersede = true, .ackEndsRequest = true};

const DialogSpec kInit{WindowId::Tpkt29Form, nullptr, kInitSections, kInitGroups, [] {
                           DialogPolicy p = kInitPolicy;
                           p.queryAllButton = "queryAllButton";
                           p.setEnabledAtStart = false;
                           p.sectionColumns = 3;
                           return p;
                       }()};

// ---- Short map-match data (2907) ---------------------------------------------------------------

constexpr ChoiceItem kValidity[] = {{"Not Valid", 0}, {"Valid", 1}};
constexpr ChoiceItem kTimeSources[] = {{"???????", 0}, {"From 36-02", 1}};

constexpr FieldSpec at(uint8_t sub, FieldSpec f) {
    f.subcode = sub;
    return f;
}

constexpr FieldSpec kMapMatchValidity[] = {
    at(0x07, radio("latLonGroup", "Lat-Lon Validity", "lat_lon_valid", kValidity)),
    at(0x07, radio("altGroup", "Altitude Validity", "altitude_valid", kValidity)),
    at(0x07, radio("headGroup", "Heading Validity", "heading_valid", kValidity)),
    at(0x07,
       radio("latLonAccyGroup", "Lat-Lon Accy Validity", "lat_lon_accuracy_valid", kValidity)),
    at(0x07, radio("altAccyGroup", "Altitude Accy Validity", "altitude_accuracy_valid", kValidity)),
    at(0x07, radio("headAccyGroup", "Heading Accy Validity", "heading_accuracy_valid", kValidity)),
    at(0x07, radio("timeSrcGroup", "Time Source", "time_source", kTimeSources)),
};
constexpr FieldSpec kMapMatchData[] = {
    integer(0x07, "timeTagWin", "Timetag:", "ms", "%u", "time_tag"),
    angle(0x07, "latWin", "Latitude:", "latitude", Rounding::HalfUp, false),
    angle(0x07, "lonWin", "Longitude:", "longitude", Rounding::HalfUp, false),
    integer(0x07, "altWin", "Altitude:", "m", "%d", "altitude"),
    semicircles(0x07, "headWin", "Heading:", "heading", false),
    integer(0x07, "eastAccyWin", "East Accy:", "m", "%u", "east_accuracy"),
    integer(0x07, "northAccyWin", "North Accy:", "m", "%u", "north_accuracy"),
    integer(0x07, "eastNorthCovWin", "East/North Cov:", "m", "%d", "east_north_covariance"),
    integer(0x07, "altAccyWin", "Alt. Accy:", "m", "%u", "altitude_accuracy"),
    semicircles(0x07, "headAccyWin", "Head. Accy:", "heading_accuracy", true),
};
constexpr SectionSpec kMapMatchSections[] = {
    {nullptr, nullptr, kMapMatchValidity, -1, 2},
    {"Map-Match Data", "GroupBox1", kMapMatchData},
};
constexpr GroupSpec kOneGroup29(uint8_t sub) {
    return group(sub, "queryButton", "queryLED", "setButton", "setLED", 0x29);
}
constexpr GroupSpec kMapMatchGroups[] = {kOneGroup29(0x07)};

const DialogSpec kMapMatch{WindowId::Tpkt2907Form, nullptr, kMapMatchSections, kMapMatchGroups,
                           kInitPolicy};

// ---- Tacho data (2908) -------------------------------------------------------------------------

constexpr ChoiceItem kSwitchLevels[] = {{"Low", 0}, {"High", 1}};

constexpr FieldSpec kTachoValidity[] = {
    at(0x08, radio("timeTagGroup", "Timetag Offset Validity", "time_tag_offset_valid", kValidity)),
    at(0x08, radio("tachoGroup", "Tacho Validity", "tacho_valid", kValidity)),
    at(0x08, radio("dirSwGroup", "Direction Switch Validity", "direction_switch_valid", kValidity)),
    at(0x08, radio("revSwGroup", "Reverse Switch Value", "reverse_high", kSwitchLevels)),
};
constexpr FieldSpec kTachoData[] = {
    integer(0x08, "hostTimeTagWin", "Host Timetag:", "ms", "%u", "host_time_tag"),
    integer(0x08, "timeTagOffsetWin", "Timetag Offset:", "ms", "%u", "time_tag_offset"),
    integer(0x08, "tachoPulsesWin", "Tacho Pulses:", nullptr, "%u", "tacho_pulses"),
};
constexpr SectionSpec kTachoSections[] = {
    {nullptr, nullptr, kTachoValidity, -1, 2},
    {"Tacho Data", "GroupBox1", kTachoData},
};
constexpr GroupSpec kTachoGroups[] = {kOneGroup29(0x08)};

const DialogSpec kTacho{WindowId::Tpkt2908Form, nullptr, kTachoSections, kTachoGroups, kInitPolicy};

// ---- Output interval control (2A, 2B, 2C, 2D) --------------------------------------------------

constexpr FieldSpec kEventTarget[] = {
    hexByte("eventCodeWin", "Code:", "target_code"),
    hexByte("eventSubcodeWin", "Subcode:", "target_subcode"),
};
constexpr FieldSpec kEventChecks[] = {
    check("CheckBoxE1", "Almanac page Collected", "almanac_page_collected"),
    check("CheckBoxE2", "Ephemeris Page Collected", "ephemeris_page_collected"),
    check("CheckBoxE3", "UTC/ION Page Collected", "utc_ion_page_collected"),
    check("CheckBoxE6", "Alamac Health Page Collected", "almanac_health_page_collected"),
    check("CheckBoxE7", "Tacho/Gyro Collected", "tacho_gyro_collected"),
    check("CheckBoxE9", "GPS Measurement Collected", "gps_measurement_collected"),
    check("CheckBoxE10", "Least Square (LS) Fix Generated", "ls_fix_generated"),
    check("CheckBoxE11", "LS Fix not Generated", "ls_fix_not_generated"),
    check("CheckBoxE12", "Tracking SV List Update", "tracking_sv_list_update"),
    check("CheckBoxE17", "Self-Test Completed (VEX)", "self_test_completed"),
    check("CheckBoxE19", "Receiver Status Changed", "receiver_status_changed"),
    check("CheckBoxE20", "Power-On Acknowledged", "power_on_acknowledged"),
    check("CheckBoxE21", "Start-Up Completed", "start_up_completed"),
    check("CheckBoxE22", "Ready to Shut Down", "ready_to_shut_down"),
    check("CheckBoxE24", "DPP Calibrated", "dpp_calibrated"),
    check("CheckBoxE25", "DirSw Calibrated", "dir_sw_calibrated"),
    check("CheckBoxE26", "Gyro Calibrated", "gyro_calibrated"),
    check("CheckBoxE28", "Time Status Changed (time set)", "time_status_changed"),
    check("CheckBoxE29", "Fatal Error", "fatal_error"),
    check("CheckBoxE30", "DR Calibration (VEX)", "dr_calibration"),
};
constexpr FieldSpec intervalField(const char* name, const char* label, const char* field) {
    return integer(0x00, name, label, nullptr, "%u", field);
}
constexpr FieldSpec kTimeTrigger[] = {
    hexByte("timeCodeWin", "Code:", "target_code"),
    hexByte("timeSubcodeWin", "SubCode:", "target_subcode"),
    intervalField("minTimeWin", "Minimum Time:", "minimum"),
    intervalField("maxTimeWin", "Maximum Time:", "maximum"),
};
constexpr FieldSpec kDistTrigger[] = {
    hexByte("dDistCodeWin", "Code:", "target_code"),
    hexByte("dDistSubcodeWin", "Subcode:", "target_subcode"),
    intervalField("minDDistWin", "Minimum Dist:", "minimum"),
    intervalField("maxDDistWin", "Maximum Dist:", "maximum"),
};
constexpr FieldSpec kHdgTrigger[] = {
    hexByte("dHdgCodeWin", "Code:", "target_code"),
    hexByte("dHdgSubcodeWin", "Subcode:", "target_subcode"),
    intervalField("minDHdgWin", "Minimum Hdg:", "minimum"),
    intervalField("maxDHdgWin", "Maximum Hdg:", "maximum"),
};
constexpr SectionSpec kIntervalSections[] = {
    {.caption = "Event Trigger (0x2A)",
     .objectName = "eventGroupBox",
     .fields = kEventTarget,
     .group = 0,
     .gridRow = 0,
     .gridColumn = 0},
    {.caption = "Event Trigger",
     .objectName = "eventTriggerGroupBox",
     .fields = kEventChecks,
     .group = 0,
     .columns = 2,
     .gridRow = 1,
     .gridColumn = 0,
     .rowSpan = 2},
    {.caption = "Time Interval Trigger (0x2B)",
     .objectName = "timeGroupBox",
     .fields = kTimeTrigger,
     .group = 1,
     .gridRow = 0,
     .gridColumn = 1},
    {.caption = "Delta Dist Interval Trigger (0x2C)",
     .objectName = "dDistGroupBox",
     .fields = kDistTrigger,
     .group = 2,
     .gridRow = 1,
     .gridColumn = 1},
    {.caption = "Delta Hdg Interval Trigger (0x2D)",
     .objectName = "dHdgGroupBox",
     .fields = kHdgTrigger,
     .group = 3,
     .gridRow = 2,
     .gridColumn = 1},
};
constexpr GroupSpec kIntervalGroups[] = {
    group(0x00, "eventQuery", "queryLED2A", "eventSet", "setLED2A", 0x2A),
    group(0x00, "timeQuery", "queryLED2B", "timeSet", "setLED2B", 0x2B),
    group(0x00, "dDistQuery", "queryLED2C", "dDistSet", "setLED2C", 0x2C),
    group(0x00, "dHdgQuery", "queryLED2D", "dHdgSet", "setLED2D", 0x2D),
};
const DialogSpec kInterval{WindowId::TintervalControlForm, nullptr, kIntervalSections,
                           kIntervalGroups, [] {
                               DialogPolicy p = kInitPolicy;
                               p.queryOnShow = false;
                               p.refuseSilently = true;
                               p.sectionColumns = 2;
                               return p;
                           }()};

// ---- DR calibration (3603..3608) ---------------------------------------------------------------

constexpr ChoiceItem kValidityTexts[] = {{"Invalid", 0}, {"Valid", 1}};
constexpr ChoiceItem kSenses[] = {{"0 = F, 1 = R", 0}, {"0 = R, 1 = F", 1}};

constexpr FieldSpec source36(uint8_t sub, const char* name) {
    FieldSpec f = list(sub, name, "Source:", "status", "source", kSources);
    f.disablesSetAt = kGpsFix;
    return f;
}
constexpr FieldSpec calValue(uint8_t sub, const char* name, const char* label, const char* field,
                             int key = -1) {
    FieldSpec f = real(sub, name, label, nullptr, "%g", field);
    f.key = key;
    return f;
}

constexpr FieldSpec kZro[] = {
    source36(0x03, "sourceWin03"),
    readOnly(0x03, "newnessWin03", "Newness:", "newness", kNewness),
    readOnly(0x03, "validityWin03", "Validity:", "validity", kValidityTexts),
    calValue(0x03, "zroWin", "ZRO Rate", "value"),
    calValue(0x03, "zroAccyWin", "Accy", "accuracy"),
};
constexpr FieldSpec kGyro[] = {
    source36(0x04, "sourceWin04"),
    readOnly(0x04, "newnessWin04", "Newness:", "newness", kNewness),
    readOnly(0x04, "validityWin04", "Validity:", "validity", kValidityTexts),
    calValue(0x04, "gyroSnsWin", "GyroSns", "value"),
    calValue(0x04, "gyroSnsAccyWin", "Accy", "accuracy"),
};
constexpr FieldSpec kDirSwitch[] = {
    source36(0x05, "sourceWin05"),
    readOnly(0x05, "newnessWin05", "Newness:", "newness", kNewness),
    readOnly(0x05, "validityWin05", "Validity:", "validity", kValidityTexts),
    list(0x05, "dirSwSenseWin", "Dir Sense", "status", "sense", kSenses),
    integer(0x05, "dirSwConfidenceSpeedWin", "Conf Spd", nullptr, "%u", "confidence_speed"),
};
constexpr FieldSpec dppCell(const char* name, const char* label, const char* field, int key,
                            const char* message) {
    FieldSpec f = calValue(0x07, name, label, field, key);
    f.name = message;
    f.sameRow = label == nullptr;
    return f;
}
constexpr FieldSpec kDpp[] = {
    source36(0x07, "sourceWin07"),
    readOnly(0x07, "newnessWin07", "Newness:", "newness", kNewness),
    readOnly(0x07, "validityWin07", "Validity:", "validity", kValidityTexts),
    dppCell("dpp0Win", "0", "value", 0, "DPP 0"),
    dppCell("dpp0AccyWin", nullptr, "accuracy", 0, "DPP Accy 0"),
    dppCell("dpp1Win", "1", "value", 1, "DPP 1"),
    dppCell("dpp1AccyWin", nullptr, "accuracy", 1, "DPP Accy 1"),
    dppCell("dpp2Win", "2", "value", 2, "DPP 2"),
    dppCell("dpp2AccyWin", nullptr, "accuracy", 2, "DPP Accy 2"),
};
constexpr const char* kDppHeader[] = {"Index", "DPP", "DPP Accy"};
constexpr FieldSpec kZroRate[] = {
    list(0x08, "sourceWin08", "Source:", "status", "source", kSources),
    readOnly(0x08, "newnessWin08", "Newness:", "newness", kNewness),
    readOnly(0x08, "validityWin08", "Validity:", "validity", kValidityTexts),
    calValue(0x08, "zroRateWin", "ZRO Chg", "value"),
    calValue(0x08, "zroRateAccyWin", "Accy", "accuracy"),
};
constexpr SectionSpec kCalSections[] = {
    {"ZRO (0x03)", "GroupBox1", kZro, 0},
    {"Gyro Linearity (0x04)", "GroupBox2", kGyro, 1},
    {"Direction Switch (0x05)", "GroupBox3", kDirSwitch, 2},
    {.caption = "DPP (0x07)",
     .objectName = "GroupBox4",
     .fields = kDpp,
     .group = 3,
     .header = kDppHeader,
     .headerAt = 3},
    {"ZRO Rate (0x08)", "GroupBox5", kZroRate, 4},
};
constexpr uint8_t kDppIndexes[] = {0, 1, 2};
constexpr GroupSpec kCalGroups[] = {
    group(0x03, "queryButton03", "queryLED03", "setButton03", "setLED03", 0x36),
    group(0x04, "queryButton04", "queryLED04", "setButton04", "setLED04", 0x36),
    group(0x05, "queryButton05", "queryLED05", "setButton05", "setLED05", 0x36),
    [] {
        // The three DPP indexes: a Set writes each, one Query (index 0xFF) asks for all.
        GroupSpec g = group(0x07, "queryButton07", "queryLED07", "setButton07", "setLED07", 0x36);
        g.keys = kDppIndexes;
        g.queryKey = 0xFF;
        return g;
    }(),
    group(0x08, "queryButton08", "queryLED08", nullptr, nullptr, 0x36),
};
// One LED pair per subcode (per DPP index underneath); the time-out leaves the flags set, so a
// late report still completes its request; an accepted Query acknowledgement counts as an
// answer.
const DialogSpec kCal{WindowId::Tpkt36Form, nullptr, kCalSections, kCalGroups,
                      DialogPolicy{.queryOnShow = true,
                                   .expiryClears = false,
                                   .requestsSupersede = false,
                                   .queryAckAnswers = true,
                                   .queryAllButton = "refreshButton",
                                   .setEnabledAtStart = false,
                                   .sectionColumns = 3}};

// ---- Soft event mask and event logs (2E01, 1401, 1402) -----------------------------------------

constexpr ChoiceItem kMasks[] = {
    {"Don't Report", 0}, {"Report On Change", 1}, {"Report As Detected", 3}};

constexpr FieldSpec logIndex(uint8_t sub, const char* name, const char* message) {
    FieldSpec f = integer(sub, name, "with Index", "(0 for most recent)", "%u", "index");
    f.sendOnly = true;
    f.name = message;
    return f;
}

const DialogSpec& makeSoftEvent() {
    // The event list: every soft event text in ascending code order.
    static const std::vector<ChoiceItem> events = [] {
        std::vector<ChoiceItem> items;
        for (const SoftEvent& e : softEventTable())
            items.push_back({e.text.data(), double(e.code)});
        return items;
    }();
    static const FieldSpec mask[] = {
        list(0x01, "softEvtComboBoxWin", "Event", "event_code", nullptr, events),
        list(0x01, "evtMaskComboBoxWin", "Mask", "mask", nullptr, kMasks),
    };
    static const FieldSpec softLog[] = {logIndex(0x01, "softIndexWin", "Soft event log index")};
    static const FieldSpec fatalLog[] = {logIndex(0x02, "fatalIndexWin", "Fatal error log index")};
    static const SectionSpec sections[] = {
        {"Soft Event Mask (0x2E)", "GroupBox1", mask, 0},
        {"Soft Event Log Query (0x14-01)", "GroupBox2", softLog, 1},
        {"Fatal Error Log Query (0x14-02)", "GroupBox3", fatalLog, 2},
    };
    static const GroupSpec groups[] = {
        [] {
            // A reply or acknowledgement for another event than the selected one is not ours.
            GroupSpec g = group(0x01, "query2EButton", "query2ELED", "Set", "setLED", 0x2E);
            g.keyMustMatch = true;
            return g;
        }(),
        [] {
            GroupSpec g = group(0x01, "get1401Button", "query1401LED", nullptr, nullptr, 0x14);
            g.queryCaption = "Get event ";
            return g;
        }(),
        [] {
            GroupSpec g = group(0x02, "get1402Button", "query1402LED", nullptr, nullptr, 0x14);
            g.queryCaption = "Get event ";
            return g;
        }(),
    };
    // A refused Query ends it red; the mask's Set acknowledgement ends the Set green or red.
    static const DialogSpec spec{WindowId::TsoftEventForm, nullptr, sections, groups,
                                 DialogPolicy{.queryOnShow = false,
                                              .expiryClears = true,
                                              .requestsSupersede = true,
                                              .queryRefusalEnds = true,
                                              .setAckEnds = true}};
    return spec;
}

} // namespace

const DialogSpec& initDialog() {
    return kInit;
}
const DialogSpec& mapMatchDialog() {
    return kMapMatch;
}
const DialogSpec& tachoDialog() {
    return kTacho;
}
const DialogSpec& intervalControlDialog() {
    return kInterval;
}
const DialogSpec& drCalibrationDialog() {
    return kCal;
}
const DialogSpec& softEventDialog() {
    return makeSoftEvent();
}

} // namespace vx
