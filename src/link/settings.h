// Settings groups: the receiver settings that travel one value per subcode (the DR engine rate
// 0x21, GPS configuration 0x24, Kalman filter parameters 0x25, DR filter parameters 0x27). Each
// group is described once, here, as a table of its subcodes (name and wire type); the decoder,
// the Set senders, the JSON and text writers, the simulated receiver and the dialogs all read
// the same table.
//
// A value is carried as a double: every 8-, 16- and 32-bit integer and every float converts to
// a double and back without change.
#pragma once

#include "link/ack_texts.h"
#include "link/framing.h"
#include "link/paced_script.h"

#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <span>
#include <string_view>
#include <type_traits>

namespace vx {

enum class WireType : uint8_t { U8, U16, I16, U32, I32, F32 };

constexpr size_t wireSize(WireType t) {
    switch (t) {
    case WireType::U8:
        return 1;
    case WireType::U16:
    case WireType::I16:
        return 2;
    case WireType::U32:
    case WireType::I32:
    case WireType::F32:
        return 4;
    }
    return 0;
}

// One setting: the value one subcode carries.
struct SettingDef {
    uint8_t subcode;
    std::string_view name; // its name in JSON and text output: "elevation_mask" (a string
                           // literal, so name.data() is zero-terminated)
    WireType type;
};

// How the decoder treats a reply's length.
enum class LengthRule : uint8_t {
    Exact,   // the value bytes after the subcode must be exactly wireSize (else error 4)
    AtLeast, // at least wireSize bytes; more are ignored
    Padded,  // any length: bytes missing at the end read as zero, more are ignored
};

// How the decoder treats a subcode the table does not have.
enum class UnknownSubcode : uint8_t {
    Refuse, // error 3 (no decoder for the subcode)
    Ignore, // accepted, no record written (the length rule still applies, checked as for
            // the group's common width)
};

struct SettingsGroup {
    uint8_t code;
    std::span<const SettingDef> defs; // ascending subcodes
    LengthRule length;
    UnknownSubcode unknown;
    uint8_t lastSubcode; // the highest subcode of defs: a record holds lastSubcode + 1 slots

    const SettingDef* find(uint8_t subcode) const;
};

const SettingsGroup& engineRateSettings(); // 0x21: 0x01 rate, U8
const SettingsGroup& gpsConfigSettings();  // 0x24: 0x01..0x08
const SettingsGroup& kalmanSettings();     // 0x25: 0x01..0x06 U32, 0x07..0x17 F32
const SettingsGroup& drFilterSettings();   // 0x27: 0x01..0x1B I32, 0x1C..0x70 F32

// The value of a setting from the bytes after the subcode (little-endian), or nullopt when the
// group's length rule refuses n.
std::optional<double> readSetting(const SettingsGroup& g, const SettingDef& d, const uint8_t* p,
                                  size_t n);
// True when v travels as t without change: a whole number within the type's range for the
// integer types, a finite value within float range for F32 (rounded to the nearest float).
bool fitsWire(WireType t, double v);

// The values of one group by subcode, as the receiver last reported them (a slot keeps its value
// until a reply for its subcode changes it).
template <size_t Slots> struct SettingsValues {
    std::array<double, Slots> value{};
    double operator[](uint8_t subcode) const { return subcode < Slots ? value[subcode] : 0.0; }
};

// ---- Conversions, decoding and output ------------------------------------------------------

// v as the C++ type T of a wire field (uint8_t, uint16_t, uint32_t, int32_t or float), defined
// for every double: integers are truncated toward zero and clamped to T's range (NaN gives 0),
// floats are rounded to the nearest float (beyond the float range: infinity). For a value that
// fitsWire this is exactly the value.
template <class T> T settingAs(double v) {
    if constexpr (std::is_floating_point_v<T>) {
        constexpr double kMax = std::numeric_limits<float>::max();
        if (v > kMax && !std::isinf(v)) return std::numeric_limits<float>::infinity();
        if (v < -kMax && !std::isinf(v)) return -std::numeric_limits<float>::infinity();
        return T(v);
    } else {
        if (std::isnan(v)) return T(0);
        if (v <= double(std::numeric_limits<T>::min())) return std::numeric_limits<T>::min();
        if (v >= double(std::numeric_limits<T>::max())) return std::numeric_limits<T>::max();
        return T(v);
    }
}

// The value of a wire field of type t at p (wireSize(t) bytes, little-endian).
double readWire(WireType t, const uint8_t* p);

// Writes v as t carries it on the wire (settingAs, then little-endian) into out, which holds
// at least wireSize(t) bytes; returns wireSize(t). The Set senders check fitsWire first; the
// simulated receiver writes its stored values with it.
size_t writeSetting(WireType t, double v, uint8_t* out);

// Decodes one received value of group g into values (indexed by subcode). Returns 0 when the
// reply is accepted, with written telling whether a value was stored (false for a subcode the
// group ignores); kErrParseCode (3) for a subcode the group refuses; kErrLength (4) when the
// group's length rule refuses n. Nothing is written unless the result is 0, and a subcode
// beyond values is never written (refused with 3). Reads at most wireSize bytes of payload.
int decodeSettings(const SettingsGroup& g, uint8_t subcode, const uint8_t* payload, size_t n,
                   std::span<double> values, bool& written);
template <size_t Slots>
int decodeSettings(const SettingsGroup& g, uint8_t subcode, const uint8_t* payload, size_t n,
                   SettingsValues<Slots>& record, bool& written) {
    return decodeSettings(g, subcode, payload, n, std::span<double>(record.value), written);
}

// Calls v(name, value) for every setting of g in table order, name as a const char* and value
// as the C++ type of its wire type (U8 uint8_t, U16 uint16_t, I16 int16_t, U32 uint32_t, I32
// int32_t, F32 float): the fields of a settings record as the JSON and text writers show them.
template <size_t Slots, class V>
void visitSettings(const SettingsGroup& g, const SettingsValues<Slots>& values, V&& v) {
    for (const SettingDef& d : g.defs) {
        const double x = values[d.subcode];
        switch (d.type) {
        case WireType::U8:
            v(d.name.data(), settingAs<uint8_t>(x));
            break;
        case WireType::U16:
            v(d.name.data(), settingAs<uint16_t>(x));
            break;
        case WireType::I16:
            v(d.name.data(), settingAs<int16_t>(x));
            break;
        case WireType::U32:
            v(d.name.data(), settingAs<uint32_t>(x));
            break;
        case WireType::I32:
            v(d.name.data(), settingAs<int32_t>(x));
            break;
        case WireType::F32:
            v(d.name.data(), settingAs<float>(x));
            break;
        }
    }
}

// Set frame of one setting: 0x81, 0x01, code, subcode, the value's bytes, checksum, 0x82.
// -1 and nothing sent when the value does not fit the wire type, or when g has no setting of
// d's subcode and type (a definition of another group).
int sendSetting(FrameSink& sink, const SettingsGroup& g, const SettingDef& d, double value);
// Query frame of one setting: 0x81, 0x02, code, subcode, checksum, 0x82. -1 and nothing sent
// for a subcode g does not have.
int querySetting(FrameSink& sink, const SettingsGroup& g, uint8_t subcode);

// One value to set.
struct SettingValue {
    uint8_t subcode;
    double value;
};
// The Set frames of the given values in order, pauseMs after each but the last. A value that
// does not fit its wire type (or a subcode the group does not have) yields an empty step
// (refused, never sent): callers validate first.
PacedScript setSettingsScript(const SettingsGroup& g, std::span<const SettingValue> values,
                              int pauseMs = 0);
// The Query frames of the given subcodes in order, back to back. A subcode the group does not
// have yields an empty step (refused, never sent).
PacedScript querySettingsScript(const SettingsGroup& g, std::span<const uint8_t> subcodes);

// ---- Whole groups ------------------------------------------------------------------------------

// The Query frames of every subcode of g in table order, back to back.
PacedScript queryGroupScript(const SettingsGroup& g);

// True when every setting of g has a value in values that fitsWire.
bool groupFits(const SettingsGroup& g, std::span<const double> values);

// The Set frames of every setting of g in table order, the values taken by subcode from
// values, pauseMs after each but the last. When any value does not fit its wire type the whole
// script is one empty step instead (running it sends nothing and yields -1): a group is never
// set in part.
PacedScript setGroupScript(const SettingsGroup& g, std::span<const double> values, int pauseMs = 0);
template <size_t Slots>
PacedScript setGroupScript(const SettingsGroup& g, const SettingsValues<Slots>& record,
                           int pauseMs = 0) {
    return setGroupScript(g, std::span<const double>(record.value), pauseMs);
}

} // namespace vx
