// Receiver configuration profiles: a whole configuration as text, one line per field of the
// settings dialogs, read and written through the dialogs' own tables (DialogSpec):
//
//     # Ornivex receiver configuration profile
//     # receiver: 1101 major 2 minor 40 ...
//     gps_config.Elevation = 5.00
//     gps_config.Operating_Dimension = Auto 2D/3D
//     time_trigger[3002].minimum = 1000
//     soft_event_mask[61].mask = Report On Change
//     dpp.value[1] = 1.25
//
// A line names a group and one of its fields. Groups of a settings group (one value per
// subcode) take the name their dialog is given in the list of configuration dialogs and their
// fields the dialog's labels ("Elevation:" → Elevation, "DR Engine Rate:" → DR_Engine_Rate);
// groups of packets of several fields take the layout's name ("time_trigger") and the
// field's or bits' name. An entry of a keyed packet is named in brackets by its key bytes in
// hexadecimal: the target code and subcode of a trigger ([3002]), the event code of the soft
// event mask ([61]); a field that belongs to one of the entries a group writes itself (3607's
// DPP indexes) carries the entry after its name (value[1]). Values are written in the dialog's
// units and formats (with more digits where its format would lose some), list items by their
// text, check boxes as 1 or 0. Lines starting with '#' are comments.
//
// This file is Qt-free: the console's profile window and `vexor config` both use it.
#pragma once

#include "console/settings_dialog.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vx {

// One dialog whose groups are configuration. name: the profile name of a settings group's
// dialog; nullptr for dialogs of packets of several fields (their groups take the layout's).
struct ConfigDialog {
    const DialogSpec& (*dialog)();
    const char* name;
};
// Every configuration dialog, in profile order.
std::span<const ConfigDialog> configDialogs();

// How a group's entries are named.
enum class EntryKeys : uint8_t {
    None,   // one packet per subcode, no entries
    Listed, // the entries the group writes itself (GroupSpec::keys): no key in the name
    Key,    // one key byte from a control: [61]
    Target, // the subcode and a key byte from controls: [3002]
};

struct ConfigField {
    const FieldSpec* spec;
    std::string name; // "Elevation", "minimum", "value[1]"
};

// One group of a configuration dialog that a profile holds: a group the dialog can Set.
struct ConfigGroup {
    const DialogSpec* dialog;
    int group;
    std::string name; // "gps_config", "time_trigger"
    EntryKeys keys = EntryKeys::None;
    const FieldSpec* subcodeControl = nullptr; // Target: the control that gives the subcode
    const FieldSpec* keyControl = nullptr;     // Key, Target: the control that gives the key
    std::vector<ConfigField> fields;           // the values, in table order (no key controls)

    const ConfigField* field(std::string_view name) const;
};
const std::vector<ConfigGroup>& configGroups();
// The (first) group of this name, or nullptr.
const ConfigGroup* configGroup(std::string_view name);

// One entry of a group: the packet's subcode (Target) and key byte (Key, Target); -1 where the
// group has none.
struct ConfigUnit {
    const ConfigGroup* group = nullptr;
    int subcode = -1;
    int key = -1;
    friend bool operator==(const ConfigUnit&, const ConfigUnit&) = default;
};
// "gps_config", "time_trigger[3002]", "soft_event_mask[61]".
std::string unitName(const ConfigUnit& u);

// The entries a save asks for: every group once, the triggers for each target (code and
// subcode), the soft event mask for every soft event code.
struct SaveTarget {
    uint8_t code, subcode;
};
std::span<const SaveTarget> defaultSaveTargets();
std::vector<ConfigUnit> saveUnits(std::span<const SaveTarget> targets = defaultSaveTargets());

// ---- Values and texts -----------------------------------------------------------------------

// What the controls of a unit hold when their values are wire values: the key controls and the
// given fields (wire values by field, nullopt: left empty).
InputOf unitInput(const ConfigUnit& u, const std::vector<std::optional<double>>& values = {});
// The wire value a field's text stands for (its list item by text, 1/0 for a check box, a
// number read as the dialog reads it), or the reason it is refused.
FieldRead readFieldText(const ConfigGroup& g, const ConfigField& f, std::string_view text);
// The text of a field's wire value: nullopt when a list names no item for it.
std::optional<std::string> fieldText(const ConfigGroup& g, const ConfigField& f, double wire);
// The wire value a field holds in a reply's values (its bits, where it holds bits).
double fieldWire(const ConfigGroup& g, const ConfigField& f, const FieldValues& values);

// ---- Profiles -------------------------------------------------------------------------------

struct ProfileValue {
    ConfigUnit unit;
    const ConfigField* field = nullptr;
    std::string text;         // as written
    double wire = 0;          // what it stands for
    int line = 0;             // 1-based; 0 for values not read from a file
    std::string name() const; // "time_trigger[3002].minimum"
};

struct Profile {
    std::vector<std::string> header; // the comment lines before the first value, without '#'
    std::vector<ProfileValue> values;
    // The entries the values belong to, in the order of their first value.
    std::vector<ConfigUnit> units() const;
    const ProfileValue* find(const ConfigUnit& u, const ConfigField* f) const;
};

struct ProfileParse {
    Profile profile;
    std::vector<std::string> errors; // "line 7: gps_config.Elevation: abc is not a number"
    bool ok() const { return errors.empty(); }
};
// Reads a profile. Every line that is not blank or a comment must be `name.field = value` of a
// known group and field, the value within the field's range; each refused line is listed with
// its number and reason (at most kMaxErrors, then how many more).
ProfileParse parseProfile(std::string_view text);
inline constexpr size_t kMaxParseErrors = 50;
// A profile is some 15 KiB; a file larger than this is not read.
inline constexpr size_t kMaxProfileBytes = size_t(16) << 20;

// The lines of a profile (CR LF ends every line): the header comments, then one line per value.
std::string writeProfile(const Profile& p);

// Why a profile cannot be applied: a group of several fields missing some of them (its packet
// is always written whole). Empty when it can.
std::vector<std::string> applyRefusals(const Profile& p);

// ---- Comparing ------------------------------------------------------------------------------

enum class FieldState : uint8_t { Same, Different, NotAnswered, OnlyInFirst, OnlyInSecond };
const char* fieldStateText(FieldState s);

struct FieldCompare {
    std::string name;
    std::string first, second; // texts; empty where there is none
    FieldState state;
    std::string note; // why not answered ("0x03: Invalid subcode"), or empty
};
struct CompareSummary {
    size_t fields = 0, same = 0, different = 0, notAnswered = 0, onlyFirst = 0, onlySecond = 0;
    bool allSame() const { return fields == same; }
};
CompareSummary summarize(std::span<const FieldCompare> rows);
// "412 fields: 410 same, 2 different" (the counts that are not 0 after "same").
std::string summaryLine(const CompareSummary& s);
// Two profiles field by field, in the order of the first (then the fields only the second has).
std::vector<FieldCompare> diffProfiles(const Profile& a, const Profile& b);
// The table as text: a header line, one line per field, the summary (CR LF line ends).
std::string compareTable(std::span<const FieldCompare> rows, std::string_view firstTitle,
                         std::string_view secondTitle);

} // namespace vx
