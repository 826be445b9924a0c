// Packet layouts: the packets that carry several fields (initialization data 0x29, output
// triggers 0x2A..0x2D, the soft event mask 0x2E, DR calibration 0x36, the event logs 0x14).
// Each packet is described once, here, as a table of its fields (name, wire type, place in the
// payload, unit), the bits inside them (a status byte's source and flags), its length rule and
// the leading bytes that name an entry (an index, an event code, a target subcode). From the
// tables: the decoder (decodeInto), the records' JSON and text (visitFields), the Set and Query
// frames (layoutSetFrame, layoutQueryFrame, recordSetFrame), the simulated receiver's replies
// and the settings dialogs (console/settings_dialog.h).
//
// A record that a layout fills lists its members once more for C++ (a tuple of references, so
// that code reads r.week rather than a table lookup); the compiler checks that the members and
// the table agree in number and type (shapeMatches, asserted in records.h).
//
//     struct InitTimeRecord {
//         uint8_t status = 0;
//         uint16_t week = 0; ...
//         static constexpr std::span<const FieldDef> kFields{kInitTimeFields};
//         template <class S> static auto fields(S& s) { return std::tie(s.status, s.week, ...); }
//         template <class V> void visit(V&& v) const { visitFields(*this, v); }
//     };
//
// Values without a record (a dialog's controls, a profile's lines) travel as FieldValues: one
// double per field, in table order; every 8-, 16- and 32-bit integer and every float converts
// to a double and back without change.
#pragma once

#include "link/framing.h"
#include "link/settings.h"

#include <algorithm>
#include <array>
#include <concepts>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

namespace vx {

// ---- Fields, bits and layouts ----------------------------------------------------------------

// Where a field travels besides a payload offset.
inline constexpr int kInSubcode = -1;  // as the packet's subcode byte (2Axx: the target code)
inline constexpr int kNotCarried = -2; // not in this packet (a record several layouts fill)

struct FieldDef {
    std::string_view name; // its name in JSON, text and profiles: "time_of_week" (a literal, so
                           // name.data() is zero-terminated)
    WireType type;
    int offset;                 // bytes after the subcode; kInSubcode; kNotCarried
    std::string_view unit = {}; // what one count of the wire value is: "ms", "2^-31 semicircle"
};

// Some bits of a field: a status byte's source, a validity flag.
struct BitDef {
    std::string_view field; // the FieldDef's name
    std::string_view name;  // "source"
    uint8_t shift;
    uint8_t width;
    constexpr uint32_t mask() const {
        return (width >= 32 ? 0xFFFFFFFFu : ((1u << width) - 1u)) << shift;
    }
};

// The payload bytes after the subcode that a layout's fields occupy.
constexpr size_t layoutSize(std::span<const FieldDef> fields) {
    size_t n = 0;
    for (const FieldDef& f : fields)
        if (f.offset >= 0) n = std::max(n, size_t(f.offset) + wireSize(f.type));
    return n;
}

struct PacketLayout {
    std::string_view name; // "init_time": the packet's name in profiles and texts
    uint8_t code;
    uint8_t firstSubcode, lastSubcode; // the subcodes it describes (0x00..0xFF: any)
    std::span<const FieldDef> fields;
    std::span<const BitDef> bits;
    LengthRule length; // what the decoder accepts of a reply's length (Set frames carry size)
    // Leading payload bytes that name the entry: a Query carries them after the subcode, and an
    // acknowledgement's index byte repeats the first (a DPP index, an event code, a log index,
    // the target subcode of a trigger).
    uint8_t keyBytes;
    size_t size; // payload bytes after the subcode: layoutSize(fields)

    constexpr bool hasSubcode(uint8_t s) const { return s >= firstSubcode && s <= lastSubcode; }
    // The index of the field with this name, or -1.
    int fieldIndex(std::string_view fieldName) const;
    // The bits with this name, or nullptr.
    const BitDef* bit(std::string_view bitName) const;
    // The field that travels as the subcode, or -1.
    int subcodeField() const;
    // The field at payload offset 0 when the layout has key bytes (the entry's key), or -1.
    int keyField() const;
};

constexpr PacketLayout makeLayout(std::string_view name, uint8_t code, uint8_t first, uint8_t last,
                                  std::span<const FieldDef> fields, std::span<const BitDef> bits,
                                  LengthRule length, uint8_t keyBytes = 0) {
    return {name, code, first, last, fields, bits, length, keyBytes, layoutSize(fields)};
}

// ---- The tables --------------------------------------------------------------------------------

namespace layout_tables {

using W = WireType;

// A field whose place differs between the layouts of one record (0x14, 0x36).
template <size_t Variants> struct VariantField {
    std::string_view name;
    WireType type;
    std::array<int, Variants> offset;
    std::string_view unit = {};
};
template <size_t V, size_t N, size_t Variants>
constexpr std::array<FieldDef, N> variant(const std::array<VariantField<Variants>, N>& table) {
    std::array<FieldDef, N> out{};
    for (size_t i = 0; i < N; ++i)
        out[i] = {table[i].name, table[i].type, table[i].offset[V], table[i].unit};
    return out;
}

constexpr int kNo = kNotCarried;

// 1401 soft event and 1402 fatal error log entries: one record, the two 16-bit fields trade
// places in 1402. date1 is the month, date2 the day.
inline constexpr std::array<VariantField<2>, 8> kEventLog{{
    {"index", W::U8, {0, 0}}, // 0 = most recent
    {"year", W::U16, {1, 8}},
    {"date1", W::U8, {3, 3}},
    {"date2", W::U8, {4, 4}},
    {"hour", W::U8, {5, 5}},
    {"minute", W::U8, {6, 6}},
    {"second", W::U8, {7, 7}},
    {"event_code", W::U16, {8, 1}}, // 1401: the soft event code in the low byte
}};
inline constexpr auto kSoftEventLogFields = variant<0>(kEventLog);
inline constexpr auto kFatalErrorLogFields = variant<1>(kEventLog);

// 2901..2905: a status byte, then the values.
inline constexpr BitDef kInitStatusBits[] = {
    {"status", "source", 0, 3},          // 0 invalid/clear, 1 host input, 2 host override, 3 GPS
    {"status", "newness", 3, 1},         // 1 new since start-up, 0 from BBRAM (sent as 0)
    {"status", "accuracy_status", 4, 1}, // 0 unknown, 1 valid
};
inline constexpr FieldDef kInitTimeFields[] = {
    {"status", W::U8, 0},
    {"week", W::U16, 1, "week"},
    {"time_of_week", W::U32, 3, "ms"},
    {"time_accuracy", W::U32, 7, "ms"},
};
inline constexpr FieldDef kInitLatLonFields[] = {
    {"status", W::U8, 0},
    {"latitude", W::I32, 1, "2^-31 semicircle"},
    {"longitude", W::I32, 5, "2^-31 semicircle"},
    {"latitude_accuracy", W::U32, 9, "2^-31 semicircle"},
    {"longitude_accuracy", W::U32, 13, "2^-31 semicircle"},
    {"lat_lon_correlation", W::F32, 17},
};
inline constexpr FieldDef kInitAltitudeFields[] = {
    {"status", W::U8, 0},
    {"altitude", W::I16, 1, "m"},
    {"altitude_accuracy", W::U16, 3, "m"},
};
inline constexpr FieldDef kInitFrequencyFields[] = {
    {"status", W::U8, 0},
    {"frequency_offset", W::I32, 1, "PPB"},
    {"frequency_accuracy", W::U16, 5, "PPB"},
};
inline constexpr FieldDef kInitHeadingFields[] = {
    {"status", W::U8, 0},
    {"heading", W::U16, 1, "2^-15 semicircle"},
    {"heading_accuracy", W::U16, 3, "2^-15 semicircle"},
};

// 2907 short map-match data.
inline constexpr BitDef kMapMatchBits[] = {
    {"validity", "lat_lon_valid", 0, 1},
    {"validity", "altitude_valid", 1, 1},
    {"validity", "heading_valid", 2, 1},
    {"validity", "lat_lon_accuracy_valid", 3, 1},
    {"validity", "altitude_accuracy_valid", 4, 1},
    {"validity", "heading_accuracy_valid", 5, 1},
    {"validity", "time_source", 6, 2},
};
inline constexpr FieldDef kMapMatchFields[] = {
    {"validity", W::U8, 0},
    {"time_tag", W::U16, 1, "ms"},
    {"latitude", W::I32, 3, "2^-31 semicircle"},
    {"longitude", W::I32, 7, "2^-31 semicircle"},
    {"altitude", W::I16, 11, "m"},
    {"heading", W::U16, 13, "2^-15 semicircle"},
    {"east_accuracy", W::U16, 15, "m"},
    {"north_accuracy", W::U16, 17, "m"},
    {"east_north_covariance", W::I16, 19, "m"},
    {"altitude_accuracy", W::U16, 21, "m"},
    {"heading_accuracy", W::U16, 23, "2^-15 semicircle"},
};

// 2908 tacho data; validity bits 3-6 are sent as 0 and ignored when received.
inline constexpr BitDef kTachoDataBits[] = {
    {"validity", "time_tag_offset_valid", 0, 1},
    {"validity", "tacho_valid", 1, 1},
    {"validity", "direction_switch_valid", 2, 1},
    {"validity", "reverse_high", 7, 1},
};
inline constexpr FieldDef kTachoDataFields[] = {
    {"validity", W::U8, 0},
    {"host_time_tag", W::U16, 1, "ms"},
    {"time_tag_offset", W::U16, 3, "ms"},
    {"tacho_pulses", W::U32, 5, "pulse"},
};

// 2Axx event trigger and 2Bxx/2Cxx/2Dxx interval triggers: the subcode is the target code.
// The named events of a 2Axx mask. The other twelve bits (kUnnamedEventBits) have no name.
inline constexpr BitDef kEventTriggerBits[] = {
    {"event_mask", "almanac_page_collected", 1, 1},
    {"event_mask", "ephemeris_page_collected", 2, 1},
    {"event_mask", "utc_ion_page_collected", 3, 1},
    {"event_mask", "almanac_health_page_collected", 6, 1},
    {"event_mask", "tacho_gyro_collected", 7, 1},
    {"event_mask", "gps_measurement_collected", 9, 1},
    {"event_mask", "ls_fix_generated", 10, 1},
    {"event_mask", "ls_fix_not_generated", 11, 1},
    {"event_mask", "tracking_sv_list_update", 12, 1},
    {"event_mask", "self_test_completed", 17, 1},
    {"event_mask", "receiver_status_changed", 19, 1},
    {"event_mask", "power_on_acknowledged", 20, 1},
    {"event_mask", "start_up_completed", 21, 1},
    {"event_mask", "ready_to_shut_down", 22, 1},
    {"event_mask", "dpp_calibrated", 24, 1},
    {"event_mask", "dir_sw_calibrated", 25, 1},
    {"event_mask", "gyro_calibrated", 26, 1},
    {"event_mask", "time_status_changed", 28, 1},
    {"event_mask", "fatal_error", 29, 1},
    {"event_mask", "dr_calibration", 30, 1},
};
inline constexpr FieldDef kEventTriggerFields[] = {
    {"target_code", W::U8, kInSubcode},
    {"target_subcode", W::U8, 0},
    {"event_mask", W::U32, 1},
};
inline constexpr FieldDef kIntervalTriggerFields[] = {
    {"minimum", W::U32, 1},
    {"maximum", W::U32, 5},
    {"target_code", W::U8, kInSubcode},
    {"target_subcode", W::U8, 0},
};

// 2Exx soft event mask: 0 don't report, 1 on change, 3 as detected.
inline constexpr FieldDef kEventMaskFields[] = {
    {"event_code", W::U8, 0},
    {"mask", W::U8, 1},
};

// 36xx DR calibration: one record, three layouts. Places in 3603/3604/3608 (and any other
// subcode), in 3605 and in 3607.
inline constexpr std::array<VariantField<3>, 6> kDrCalibration{{
    {"subcode", W::U8, {kInSubcode, kInSubcode, kInSubcode}},
    {"dpp_index", W::U8, {kNo, kNo, 0}},
    {"status", W::U8, {0, 0, 1}},
    {"confidence_speed", W::U8, {kNo, 1, kNo}, "m/s"},
    {"value", W::F32, {1, kNo, 2}},
    {"accuracy", W::F32, {5, kNo, 6}},
}};
inline constexpr auto kCalValueFields = variant<0>(kDrCalibration);
inline constexpr auto kCalDirSwitchFields = variant<1>(kDrCalibration);
inline constexpr auto kCalDppFields = variant<2>(kDrCalibration);
inline constexpr BitDef kCalStatusBits[] = {
    {"status", "source", 0, 2}, // the source list's item
    {"status", "newness", 3, 1},
    {"status", "validity", 4, 1},
};
inline constexpr BitDef kCalDirSwitchBits[] = {
    {"status", "source", 0, 2},
    {"status", "newness", 3, 1},
    {"status", "validity", 4, 1},
    {"status", "sense", 7, 1}, // 0: 0 = forward, 1 = reverse; 1: the other way round
};

// 707F diagnostic output mask: 16 bytes, bit j of byte i enabling the 0x70 subcode i * 8 + j.
// Read as four little-endian words, bit k of output_mask_NN enables subcode 0xNN + k. The bits
// are named for the subcodes the console offers.
inline constexpr FieldDef kDiagOutputFields[] = {
    {"output_mask_00", W::U32, 0},
    {"output_mask_20", W::U32, 4},
    {"output_mask_40", W::U32, 8},
    {"output_mask_60", W::U32, 12},
};
inline constexpr BitDef kDiagOutputBits[] = {
    {"output_mask_00", "subcode_00", 0, 1},  {"output_mask_00", "subcode_01", 1, 1},
    {"output_mask_00", "subcode_02", 2, 1},  {"output_mask_00", "subcode_03", 3, 1},
    {"output_mask_00", "subcode_04", 4, 1},  {"output_mask_00", "subcode_05", 5, 1},
    {"output_mask_00", "subcode_07", 7, 1},  {"output_mask_00", "subcode_08", 8, 1},
    {"output_mask_00", "subcode_09", 9, 1},  {"output_mask_00", "subcode_0a", 10, 1},
    {"output_mask_00", "subcode_0b", 11, 1}, {"output_mask_00", "subcode_0c", 12, 1},
    {"output_mask_00", "subcode_0d", 13, 1}, {"output_mask_00", "subcode_0e", 14, 1},
    {"output_mask_00", "subcode_0f", 15, 1}, {"output_mask_00", "subcode_10", 16, 1},
    {"output_mask_20", "subcode_20", 0, 1},
};

} // namespace layout_tables

inline constexpr PacketLayout kSoftEventLogLayout =
    makeLayout("soft_event_log", 0x14, 0x01, 0x01, layout_tables::kSoftEventLogFields, {},
               LengthRule::AtLeast, 1);
inline constexpr PacketLayout kFatalErrorLogLayout =
    makeLayout("fatal_error_log", 0x14, 0x02, 0x02, layout_tables::kFatalErrorLogFields, {},
               LengthRule::AtLeast, 1);

inline constexpr PacketLayout kInitTimeLayout =
    makeLayout("init_time", 0x29, 0x01, 0x01, layout_tables::kInitTimeFields,
               layout_tables::kInitStatusBits, LengthRule::Exact);
inline constexpr PacketLayout kInitLatLonLayout =
    makeLayout("init_lat_lon", 0x29, 0x02, 0x02, layout_tables::kInitLatLonFields,
               layout_tables::kInitStatusBits, LengthRule::AtLeast);
inline constexpr PacketLayout kInitAltitudeLayout =
    makeLayout("init_altitude", 0x29, 0x03, 0x03, layout_tables::kInitAltitudeFields,
               layout_tables::kInitStatusBits, LengthRule::Exact);
inline constexpr PacketLayout kInitFrequencyLayout =
    makeLayout("init_frequency", 0x29, 0x04, 0x04, layout_tables::kInitFrequencyFields,
               layout_tables::kInitStatusBits, LengthRule::Exact);
inline constexpr PacketLayout kInitHeadingLayout =
    makeLayout("init_heading", 0x29, 0x05, 0x05, layout_tables::kInitHeadingFields,
               layout_tables::kInitStatusBits, LengthRule::Exact);
inline constexpr PacketLayout kMapMatchLayout =
    makeLayout("map_match", 0x29, 0x07, 0x07, layout_tables::kMapMatchFields,
               layout_tables::kMapMatchBits, LengthRule::Exact);
inline constexpr PacketLayout kTachoDataLayout =
    makeLayout("tacho_data", 0x29, 0x08, 0x08, layout_tables::kTachoDataFields,
               layout_tables::kTachoDataBits, LengthRule::Exact);

inline constexpr PacketLayout kEventTriggerLayout =
    makeLayout("event_trigger", 0x2A, 0x00, 0xFF, layout_tables::kEventTriggerFields,
               layout_tables::kEventTriggerBits, LengthRule::Exact, 1);
// The bits of a 2Axx mask that name no event (0, 4, 5, 8, 13..16, 18, 23, 27, 31).
inline constexpr uint32_t kUnnamedEventBits = 0x8885E131;
static_assert([] {
    uint32_t named = 0;
    for (const BitDef& b : layout_tables::kEventTriggerBits) named |= b.mask();
    return (named & kUnnamedEventBits) == 0 && (named | kUnnamedEventBits) == 0xFFFFFFFFu;
}());
inline constexpr PacketLayout kTimeTriggerLayout =
    makeLayout("time_trigger", 0x2B, 0x00, 0xFF, layout_tables::kIntervalTriggerFields, {},
               LengthRule::Exact, 1);
inline constexpr PacketLayout kDistanceTriggerLayout =
    makeLayout("distance_trigger", 0x2C, 0x00, 0xFF, layout_tables::kIntervalTriggerFields, {},
               LengthRule::Exact, 1);
inline constexpr PacketLayout kHeadingTriggerLayout =
    makeLayout("heading_trigger", 0x2D, 0x00, 0xFF, layout_tables::kIntervalTriggerFields, {},
               LengthRule::Exact, 1);
inline constexpr PacketLayout kEventMaskLayout = makeLayout(
    "soft_event_mask", 0x2E, 0x00, 0xFF, layout_tables::kEventMaskFields, {}, LengthRule::Exact, 1);

inline constexpr PacketLayout kZroLayout =
    makeLayout("zro", 0x36, 0x03, 0x03, layout_tables::kCalValueFields,
               layout_tables::kCalStatusBits, LengthRule::Padded);
inline constexpr PacketLayout kGyroSensitivityLayout =
    makeLayout("gyro_sensitivity", 0x36, 0x04, 0x04, layout_tables::kCalValueFields,
               layout_tables::kCalStatusBits, LengthRule::Padded);
inline constexpr PacketLayout kDirectionSwitchLayout =
    makeLayout("direction_switch", 0x36, 0x05, 0x05, layout_tables::kCalDirSwitchFields,
               layout_tables::kCalDirSwitchBits, LengthRule::Padded);
inline constexpr PacketLayout kDppLayout =
    makeLayout("dpp", 0x36, 0x07, 0x07, layout_tables::kCalDppFields, layout_tables::kCalStatusBits,
               LengthRule::Padded, 1);
inline constexpr PacketLayout kZroRateLayout =
    makeLayout("zro_rate", 0x36, 0x08, 0x08, layout_tables::kCalValueFields,
               layout_tables::kCalStatusBits, LengthRule::Padded);
// Any other 0x36 subcode is decoded as the value form.
inline constexpr PacketLayout kDrCalibrationLayout =
    makeLayout("dr_calibration", 0x36, 0x00, 0xFF, layout_tables::kCalValueFields,
               layout_tables::kCalStatusBits, LengthRule::Padded);

inline constexpr PacketLayout kDiagOutputLayout =
    makeLayout("diag_output", 0x70, 0x7F, 0x7F, layout_tables::kDiagOutputFields,
               layout_tables::kDiagOutputBits, LengthRule::Exact);

// NMEA message output control (2202): the interval, then the message mask most significant
// byte first (the one big-endian field of the protocol), described as its four bytes so that
// the sentences' bits sit in the two low ones. Not a layout findLayout gives: 2202 decodes as
// the NmeaControlRecord; the profiles read and write the packet through this one.
namespace layout_tables {
inline constexpr FieldDef kNmeaControlFields[] = {
    {"interval", W::U8, 0},           {"message_mask_31_24", W::U8, 1},
    {"message_mask_23_16", W::U8, 2}, {"message_mask_15_8", W::U8, 3},
    {"message_mask_7_0", W::U8, 4},
};
inline constexpr BitDef kNmeaControlBits[] = {
    {"message_mask_7_0", "gga", 0, 1},  {"message_mask_7_0", "vtg", 2, 1},
    {"message_mask_7_0", "gsv", 3, 1},  {"message_mask_7_0", "gsa", 4, 1},
    {"message_mask_15_8", "rmc", 0, 1},
};
} // namespace layout_tables
inline constexpr PacketLayout kNmeaControlLayout =
    makeLayout("nmea_control", 0x22, 0x02, 0x02, layout_tables::kNmeaControlFields,
               layout_tables::kNmeaControlBits, LengthRule::Exact);

// The receiver's real-time clock: the 2901 packet whose status byte is 0xFF. The status byte
// names the entry (a Query carries it, its acknowledgement's index byte repeats it), so this
// layout is not one findLayout gives: 2901 decodes as kInitTimeLayout, and the clock's dialog
// and senders name this one.
inline constexpr PacketLayout kRtcLayout =
    makeLayout("rtc", 0x29, 0x01, 0x01, layout_tables::kInitTimeFields, {}, LengthRule::Exact, 1);
inline constexpr uint8_t kRtcStatus = 0xFF;

// Every layout, the more specific of two that share a subcode first.
std::span<const PacketLayout* const> packetLayouts();
// The layout of a received or sent packet, or nullptr.
const PacketLayout* findLayout(uint8_t code, uint8_t subcode);

// A setting of a settings group (link/settings.h) seen as a packet of one field at offset 0,
// named as the setting: so that whatever reads layouts (the settings dialogs, profiles) reads
// the groups sent one value per subcode too. nullptr for a subcode the group does not have.
// The layouts live as long as the program.
const PacketLayout* settingLayout(const SettingsGroup& g, uint8_t subcode);

// ---- Values ------------------------------------------------------------------------------------

inline constexpr size_t kMaxFields = 16;
using FieldValues = std::array<double, kMaxFields>;

// Reads the fields the layout carries from a reply's payload (n bytes after the subcode) into
// values (a kInSubcode field takes the subcode); fields it does not carry keep their values.
// kErrLength (4), and nothing written, when the layout's length rule refuses n; else 0.
int decodeLayout(const PacketLayout& l, uint8_t subcode, const uint8_t* payload, size_t n,
                 FieldValues& values);
// True when every field the layout carries has a value its wire type takes.
bool layoutFits(const PacketLayout& l, const FieldValues& values);
// Writes the l.size payload bytes after the subcode (zero where no field lies) into out;
// fields are converted as writeSetting does (callers check layoutFits first).
void encodeLayout(const PacketLayout& l, const FieldValues& values, uint8_t* out);

// The subcode a packet of l with these values travels under: its subcode field's value, or
// else subcode (nullopt: l's first subcode). Nothing when that is not one of l's subcodes or
// the field's value is not a byte.
std::optional<uint8_t> layoutSubcode(const PacketLayout& l, const FieldValues& values,
                                     std::optional<uint8_t> subcode = std::nullopt);
// Set frame: 0x81, 0x01, code, subcode, the l.size payload bytes, checksum, 0x82. Empty when a
// value does not fit its wire type or the subcode is not l's (see layoutSubcode).
std::vector<uint8_t> layoutSetFrame(const PacketLayout& l, const FieldValues& values,
                                    std::optional<uint8_t> subcode = std::nullopt);
// Query frame: 0x81, 0x02, code, subcode, the key bytes, checksum, 0x82. Empty for a subcode
// that is not l's.
std::vector<uint8_t> layoutQueryFrame(const PacketLayout& l, uint8_t subcode,
                                      std::span<const uint8_t> key = {});
// The same, sent; -1 and nothing sent where the frame is empty.
int sendLayoutSet(FrameSink& sink, const PacketLayout& l, const FieldValues& values,
                  std::optional<uint8_t> subcode = std::nullopt);
int sendLayoutQuery(FrameSink& sink, const PacketLayout& l, uint8_t subcode,
                    std::span<const uint8_t> key = {});

// The bits of a field value (an integer) and the field value with them replaced.
uint32_t readBits(const BitDef& b, double fieldValue);
double writeBits(const BitDef& b, double fieldValue, uint32_t bits);

// ---- Records -------------------------------------------------------------------------------

// A record filled through a layout: kFields names its members, fields(r) ties them in order.
template <class R>
concept LayoutRecord = requires(R& r, const R& c) {
    { R::kFields } -> std::convertible_to<std::span<const FieldDef>>;
    R::fields(r);
    R::fields(c);
};

template <class T> constexpr WireType wireTypeOf() {
    if constexpr (std::is_same_v<T, uint8_t>)
        return WireType::U8;
    else if constexpr (std::is_same_v<T, uint16_t>)
        return WireType::U16;
    else if constexpr (std::is_same_v<T, int16_t>)
        return WireType::I16;
    else if constexpr (std::is_same_v<T, uint32_t>)
        return WireType::U32;
    else if constexpr (std::is_same_v<T, int32_t>)
        return WireType::I32;
    else {
        static_assert(std::is_same_v<T, float>, "a wire field is an 8-, 16- or 32-bit integer or "
                                                "a float");
        return WireType::F32;
    }
}

// True when the record's members are its table's fields: as many, each of its wire type.
template <LayoutRecord R> constexpr bool shapeMatches() {
    using Tuple = decltype(R::fields(std::declval<R&>()));
    return []<size_t... I>(std::index_sequence<I...>) {
        return R::kFields.size() == sizeof...(I) &&
               ((R::kFields[I].type ==
                 wireTypeOf<std::remove_reference_t<std::tuple_element_t<I, Tuple>>>()) &&
                ...);
    }
    (std::make_index_sequence<std::tuple_size_v<Tuple>>{});
}

// True when two field tables name the same fields of the same types in the same order (the
// layouts of one record).
constexpr bool sameFields(std::span<const FieldDef> a, std::span<const FieldDef> b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i].name != b[i].name || a[i].type != b[i].type) return false;
    return true;
}

// The record's members as values, in table order.
template <LayoutRecord R> FieldValues valuesOf(const R& r) {
    FieldValues v{};
    std::apply(
        [&v](const auto&... m) {
            size_t i = 0;
            ((v[i++] = double(m)), ...);
        },
        R::fields(r));
    return v;
}

// Sets the members that l carries from values (each converted to its member's type as
// settingAs does); the others keep theirs. Nothing happens when l is not a layout of R.
template <LayoutRecord R> void assignValues(R& r, const PacketLayout& l, const FieldValues& v) {
    if (!sameFields(l.fields, R::kFields)) return;
    std::apply(
        [&](auto&... m) {
            size_t i = 0;
            ((l.fields[i].offset != kNotCarried
                  ? void(m = settingAs<std::remove_cvref_t<decltype(m)>>(v[i]))
                  : void(),
              ++i),
             ...);
        },
        R::fields(r));
}

namespace layout_detail {
template <class T> T readAs(const uint8_t* p) {
    if constexpr (std::is_same_v<T, uint8_t>)
        return p[0];
    else if constexpr (std::is_same_v<T, uint16_t>)
        return readU16(p);
    else if constexpr (std::is_same_v<T, int16_t>)
        return readI16(p);
    else if constexpr (std::is_same_v<T, uint32_t>)
        return readU32(p);
    else if constexpr (std::is_same_v<T, int32_t>)
        return readI32(p);
    else
        return readFloat(p);
}
template <class T> void writeAs(T v, uint8_t* out) {
    uint32_t u;
    if constexpr (std::is_same_v<T, float>)
        std::memcpy(&u, &v, 4);
    else
        u = uint32_t(std::make_unsigned_t<T>(v));
    for (size_t i = 0; i < sizeof(T); ++i) out[i] = uint8_t(u >> (8 * i));
}
// The payload as the layout reads it: the bytes it needs, zero where a padded reply is short.
// Nothing when the length rule refuses n.
bool layoutBytes(const PacketLayout& l, const uint8_t* payload, size_t n, uint8_t* out);
inline constexpr size_t kMaxLayoutSize = 64;
} // namespace layout_detail

// Decodes a reply into a record: the members l carries, each read straight from its wire bytes
// (a float keeps its bit pattern); the others keep theirs. kErrLength (4), and the record
// untouched, when the length rule refuses n or l is not a layout of R; else 0.
template <LayoutRecord R>
int decodeInto(const PacketLayout& l, uint8_t subcode, const uint8_t* payload, size_t n, R& r) {
    uint8_t bytes[layout_detail::kMaxLayoutSize];
    if (!sameFields(l.fields, R::kFields) || l.size > sizeof bytes ||
        !layout_detail::layoutBytes(l, payload, n, bytes))
        return kErrLength;
    std::apply(
        [&](auto&... m) {
            size_t i = 0;
            ((l.fields[i].offset >= 0
                  ? void(m = layout_detail::readAs<std::remove_cvref_t<decltype(m)>>(
                             bytes + l.fields[i].offset))
              : l.fields[i].offset == kInSubcode
                  ? void(m = std::remove_cvref_t<decltype(m)>(subcode))
                  : void(),
              ++i),
             ...);
        },
        R::fields(r));
    return 0;
}

// The payload bytes of a record as l carries them (l.size bytes after the subcode), and the
// subcode (its subcode field, or l's first subcode). Nothing when l is not a layout of R.
template <LayoutRecord R> bool encodeRecord(const PacketLayout& l, const R& r, uint8_t* out) {
    if (!sameFields(l.fields, R::kFields)) return false;
    std::memset(out, 0, l.size);
    std::apply(
        [&](const auto&... m) {
            size_t i = 0;
            ((l.fields[i].offset >= 0 ? layout_detail::writeAs(m, out + l.fields[i].offset)
                                      : void(),
              ++i),
             ...);
        },
        R::fields(r));
    return true;
}

// The Set frame of a record (its subcode field, or subcode, or l's first subcode); empty when
// l is not a layout of R or the subcode is not l's.
template <LayoutRecord R>
std::vector<uint8_t> recordSetFrame(const PacketLayout& l, const R& r,
                                    std::optional<uint8_t> subcode = std::nullopt) {
    if (!sameFields(l.fields, R::kFields)) return {};
    return layoutSetFrame(l, valuesOf(r), subcode);
}

// Calls v(name, member) for every field of the record in table order (name a const char*,
// member of its own type): the record's fields as the JSON and text writers show them.
template <LayoutRecord R, class V> void visitFields(const R& r, V&& v) {
    std::apply(
        [&](const auto&... m) {
            size_t i = 0;
            (v(R::kFields[i++].name.data(), m), ...);
        },
        R::fields(r));
}

} // namespace vx
