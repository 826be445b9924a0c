// Settings dialogs as data. A settings dialog reads a group of receiver settings (one value per
// subcode, link/settings.h) with Query frames and writes them with Set frames; the window
// (config/settings_form.h) is built from one DialogSpec:
//
//  - Fields: one control per subcode: a list whose items stand for wire values, or an entry box
//    with its display format, its scale and how its text is read. Label and unit beside it.
//  - Sections: the group boxes or tab pages the fields sit in.
//  - Groups: one Query button, Set button and LED pair each, covering a range of subcodes.
//  - Policy: the few ways the dialogs differ (query on showing, what the time-out does with
//    late answers, whether a Query and a Set supersede each other, pauses between Set frames).
//
// This file is Qt-free: the text a reply shows and the value a control's text sends are
// decided here, and tested without a display.
#pragma once

#include "link/paced_script.h"
#include "link/settings.h"
#include "link/window_ids.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vx {

// One item of a list: its text and the value it stands for on the wire.
struct ChoiceItem {
    const char* text;
    double value;
};

enum class FieldKind : uint8_t {
    Choice, // a drop-down list
    Number, // an entry box
};

// How an entry box's text is read.
enum class ReadAs : uint8_t {
    Integer, // a decimal integer
    Real,    // a decimal real
};

struct FieldSpec {
    uint8_t subcode;
    const char* objectName; // "elevWin"
    const char* label;      // "Elevation:" (UTF-8)
    const char* unit;       // "deg", or nullptr
    FieldKind kind;

    // Choice
    std::span<const ChoiceItem> items = {};
    int initialItem = -1; // the item selected at creation; -1: none
    // The item a reply value selects (-1: none), when it is not simply the item with that
    // value; and the message when Set finds nothing selected (nullptr: "<label> no item
    // selected.").
    int (*itemForValue)(double value) = nullptr;
    const char* noSelectionMessage = nullptr;

    // Number
    const char* format = "%g"; // how a reply value is shown
    ReadAs readAs = ReadAs::Real;
    // Counts per shown unit: shown = wire / scale; a typed value goes as
    // trunc(value * scale + 0.5). 1: the value as it is.
    double scale = 1;

    const char* labelName = nullptr; // the label's object name, where the window names it
};

// A group box or tab page and the fields in it, in order.
struct SectionSpec {
    const char* caption;    // "Modes", "0x40 - 0x4F"; nullptr: the fields sit on the window
    const char* objectName; // "modeGroupBox"; nullptr: none
    std::span<const FieldSpec> fields;
};

// One Query/Set button and LED pair, for the fields with subcodes first..last.
struct GroupSpec {
    uint8_t first, last;
    const char* queryButton; // object names: "queryButton0"
    const char* queryLed;
    const char* setButton;
    const char* setLed;
};

// How the dialogs differ.
struct DialogPolicy {
    bool queryOnShow = true; // showing the window does what the Query button does
    // The response timer's expiry: true (clear) ends the request; false (keep) leaves its
    // subcodes pending, so late answers still complete it and turn the LED green.
    bool expiryClears = false;
    // A Query clears the Set request of its group (LED white, nothing pending) and the other
    // way round.
    bool requestsSupersede = true;
    // An acknowledgement ends its request: a Query acknowledgement clears the Query's pending
    // subcode (red when refused), a Set acknowledgement paints green or red and clears it.
    bool ackEndsRequest = false;
    // A reply enables the response timer again, so it judges the groups once more later.
    bool replyRearmsTimer = false;
    int setPauseMs = 0; // pause after each Set frame but the last
    int timeoutMs = 1000;
    const char* closeButton = "closeButton";
    // Fields laid out in this many columns per section.
    int columns = 1;
    bool tabs = false; // sections are tab pages (each group on its own page) rather than boxes
};

struct DialogSpec {
    WindowId window;
    const SettingsGroup& (*settings)();
    std::span<const SectionSpec> sections;
    std::span<const GroupSpec> groups;
    DialogPolicy policy;

    // The field of a subcode, or nullptr when the dialog has none.
    const FieldSpec* field(uint8_t subcode) const;
    // The group of a subcode, or -1.
    int groupOf(uint8_t subcode) const;
    // The subcodes of a group that have fields, ascending.
    std::vector<uint8_t> subcodes(int group) const;
};

// ---- A field's text ---------------------------------------------------------------------------

// The text an entry box shows for a reply value.
std::string showNumber(const FieldSpec& f, double wire);
// The list item a reply value selects, or -1.
int itemForValue(const FieldSpec& f, double wire);
// The field's name in messages: its label without the colon ("Elevation").
std::string fieldName(const FieldSpec& f);

// What a control holds, read for a Set: the wire value, or the message that refuses it.
struct FieldRead {
    std::optional<double> value;
    std::string error; // "Elevation: not a valid number."
};
// An entry box's text, read for the wire type it travels in.
FieldRead readNumber(const FieldSpec& f, WireType wire, std::string_view text);
// A list's selected item (-1: none).
FieldRead readChoice(const FieldSpec& f, WireType wire, int item);

// The Set script of a group from its values in subcode order (validated already).
PacedScript setScript(const DialogSpec& d, std::span<const SettingValue> values);
// The Query script of a group.
PacedScript queryScript(const DialogSpec& d, int group);

} // namespace vx
