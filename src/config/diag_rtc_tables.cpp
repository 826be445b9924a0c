// The diagnostic message output mask (707F), the receiver's real-time clock (2901 with the
// status byte 0xFF) and the NMEA output control (2202): dialogs of one group each, on the
// packets of link/layouts.h.
#include "config/dialog_tables.h"

namespace vx {

namespace {

// The 2101 request cycle: an answer or the time-out ends a request, a Query and a Set
// supersede each other.
constexpr DialogPolicy kOneGroupPolicy{
    .queryOnShow = true, .expiryClears = true, .requestsSupersede = true, .ackEndsRequest = true};

// ---- Diagnostic message output (707F) -----------------------------------------------------------

// One check box per 0x70 subcode the console offers: the bit of that subcode.
constexpr FieldSpec output(const char* name, const char* caption, const char* bits,
                           const char* word = "output_mask_00") {
    return {.subcode = 0x7F,
            .objectName = name,
            .label = caption,
            .unit = nullptr,
            .kind = FieldKind::Check,
            .field = word,
            .bits = bits};
}

constexpr FieldSpec kOutputs[] = {
    output("CheckBox0", "0x70-00", "subcode_00"),
    output("CheckBox1", "0x70-01", "subcode_01"),
    output("CheckBox2", "0x70-02", "subcode_02"),
    output("CheckBox3", "0x70-03", "subcode_03"),
    output("CheckBox4", "0x70-04", "subcode_04"),
    output("CheckBox5", "0x70-05", "subcode_05"),
    output("CheckBox7", "0x70-07", "subcode_07"),
    output("CheckBox8", "0x70-08", "subcode_08"),
    output("CheckBox9", "0x70-09", "subcode_09"),
    output("CheckBox0A", "0x70-0A", "subcode_0a"),
    output("CheckBox0B", "0x70-0B", "subcode_0b"),
    output("CheckBox0C", "0x70-0C", "subcode_0c"),
    output("CheckBox0D", "0x70-0D", "subcode_0d"),
    output("CheckBox0E", "0x70-0E", "subcode_0e"),
    output("CheckBox0F", "0x70-0F", "subcode_0f"),
    output("CheckBox10", "0x70-10", "subcode_10"),
    output("CheckBox20", "0x70-20", "subcode_20", "output_mask_20"),
};
constexpr SectionSpec kOutputSections[] = {{.caption = "Messages to Output",
                                            .objectName = "GroupBox1",
                                            .fields = kOutputs,
                                            .columns = 3,
                                            .checkAll = "CheckBoxAll"}};
constexpr GroupSpec kOutputGroups[] = {[] {
    GroupSpec g{0x7F, 0x7F, "queryButton", "queryLED", "setButton", "setLED"};
    g.code = 0x70;
    return g;
}()};
// A Set sends the boxes' bits and 0 for every subcode without a box.
const DialogSpec kDiagOutput{WindowId::Tpkt707FForm, nullptr, kOutputSections, kOutputGroups,
                             kOneGroupPolicy};

// ---- Real-time clock (2901, status 0xFF) --------------------------------------------------------

constexpr FieldSpec kRtcFields[] = {
    {.subcode = 0x01,
     .objectName = "weekNumWin",
     .label = "Week No.:",
     .unit = nullptr,
     .kind = FieldKind::Number,
     .format = "%u",
     .readAs = ReadAs::Integer,
     .field = "week"},
    {.subcode = 0x01,
     .objectName = "towWin",
     .label = "TOW:",
     .unit = "ms",
     .kind = FieldKind::Number,
     .format = "%u",
     .readAs = ReadAs::Integer,
     .field = "time_of_week",
     .min = 0,
     .max = 604799999}, // the last millisecond of a week
};
constexpr SectionSpec kRtcSections[] = {{"RTC Time", "GroupBox1", kRtcFields, 0}};
constexpr uint8_t kRtcKeys[] = {kRtcStatus};
constexpr GroupSpec kRtcGroups[] = {[] {
    GroupSpec g{0x01, 0x01, "queryButton01", "queryLED", "setButton01", "setLED"};
    g.code = 0x29;
    g.layout = &kRtcLayout;
    g.keys = kRtcKeys; // every Query and Set carries the status byte 0xFF
    return g;
}()};
// The week travels as a u16 and the time of week is a millisecond of one week: both are read
// strictly (0..65535, 0..604799999). The time accuracy goes as 0. Showing sends nothing.
const DialogSpec kRtc{WindowId::TsetRtcForm, nullptr, kRtcSections, kRtcGroups, [] {
                          DialogPolicy p = kOneGroupPolicy;
                          p.queryOnShow = false;
                          return p;
                      }()};

// ---- NMEA message output control (2202) -------------------------------------------------------
// The table of the packet as the profiles read and write it (the window, Tpkt2202Form, is on the
// request cycle directly): the interval and the five sentences' bits of the mask.

constexpr FieldSpec sentence(const char* name, const char* caption, const char* bits,
                             const char* byte) {
    return {.subcode = 0x02,
            .objectName = name,
            .label = caption,
            .unit = nullptr,
            .kind = FieldKind::Check,
            .field = byte,
            .bits = bits};
}
constexpr FieldSpec kNmeaControlFields[] = {
    {.subcode = 0x02,
     .objectName = "intervalWin",
     .label = "Interval:",
     .unit = nullptr,
     .kind = FieldKind::Number,
     .format = "%u",
     .readAs = ReadAs::Integer,
     .field = "interval",
     .min = 0,
     .max = 255},
    sentence("CheckBox0", "GGA", "gga", "message_mask_7_0"),
    sentence("CheckBox1", "GSA", "gsa", "message_mask_7_0"),
    sentence("CheckBox2", "GSV", "gsv", "message_mask_7_0"),
    sentence("CheckBox3", "RMC", "rmc", "message_mask_15_8"),
    sentence("CheckBox4", "VTG", "vtg", "message_mask_7_0"),
};
constexpr SectionSpec kNmeaControlSections[] = {
    {"NMEA Messages", "GroupBox1", kNmeaControlFields, 0}};
constexpr GroupSpec kNmeaControlGroups[] = {[] {
    GroupSpec g{0x02, 0x02, "queryButton", "queryLED", "setButton", "setLED"};
    g.code = 0x22;
    g.layout = &kNmeaControlLayout;
    return g;
}()};
const DialogSpec kNmeaControl{WindowId::Tpkt2202Form, nullptr, kNmeaControlSections,
                              kNmeaControlGroups, kOneGroupPolicy};

} // namespace

const DialogSpec& nmeaControlDialog() {
    return kNmeaControl;
}
const DialogSpec& diagOutputDialog() {
    return kDiagOutput;
}
const DialogSpec& rtcDialog() {
    return kRtc;
}

} // namespace vx
