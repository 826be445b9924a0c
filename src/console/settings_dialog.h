// Settings dialogs as data. A settings dialog reads groups of receiver settings with Query
// frames and writes them with Set frames; the window (console/settings_form.h) is built from one
// DialogSpec:
//
//  - Fields: one control each: a list, radio group or check box whose items stand for wire
//    values, a read-only box that names a value, or an entry box with its display format, scale
//    and how its text is read. A control holds a whole field of a packet or some bits of it.
//  - Sections: the group boxes or tab pages the fields sit in.
//  - Groups: one Query button, Set button and LED pair each.
//  - Policy: the few ways the dialogs differ (query on showing, what the time-out does with late
//    answers, whether a Query and a Set supersede each other, what acknowledgements do, pauses
//    between Set frames, the Set-enable rule).
//
// The packets behind the controls are layouts (link/layouts.h). A dialog of a settings group
// (one value per subcode: 0x21, 0x24, 0x25, 0x27; DialogSpec::settings) sees each subcode as a
// packet of one field; a dialog of packets of several fields names each group's code and each
// control's field (FieldSpec::field, FieldSpec::bits):
//
//     {.subcode = 0x05, .objectName = "headWin", .label = "Heading:", .unit = "sc",
//      .kind = FieldKind::Number, .format = "%.5f", .scale = 32768, .field = "heading"}
//
// Entries of one packet (3607's DPP indexes, a log's index, a trigger's target) are keys: the
// layout's first payload bytes. A group either lists the keys its Set writes (GroupSpec::keys)
// or takes the key from the control bound to the key field (and the subcode from the control
// bound to a field that travels as the subcode).
//
// This file is Qt-free: the text a reply shows, the frames a Set sends and what refuses them
// are decided here (buildQuery, buildSet, matchReply, matchAck, showField) and tested without a
// display.
#pragma once

#include "link/ack_texts.h"
#include "link/layouts.h"
#include "link/paced_script.h"
#include "link/records.h"
#include "link/settings.h"
#include "link/window_ids.h"

#include <cstdint>
#include <functional>
#include <limits>
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
    Radio,  // a radio group of two columns: items as a list's
    Check,  // a check box: checked sends 1, a value other than 0 checks it
    Text,   // a read-only box showing the text of the item its value names; never sent
};

// How an entry box's text is read.
enum class ReadAs : uint8_t {
    Integer, // a decimal integer
    Real,    // a decimal real
    Hex,     // one or two hexadecimal digits (shown with "%02x")
};

// How an entry box's number becomes a wire value and back.
enum class Convert : uint8_t {
    Scale,    // shown = wire / scale; sent = the value × scale, rounded as Rounding says
    RadiansP, // an angle in 2^-31 semicircle shown in radians with P: shown = wire × P / 2^31,
              // sent = radians × 2^31 / P, rounded as Rounding says
};
enum class Rounding : uint8_t {
    HalfUp,           // add 0.5 and truncate toward zero (-0.4 goes as 0, -0.6 as 0)
    HalfAwayFromZero, // 0.5 added to a value >= 0 and taken from a negative one, then truncated
};

inline constexpr double kNoLimit = std::numeric_limits<double>::infinity();

struct FieldSpec {
    uint8_t subcode;
    const char* objectName; // "elevWin"
    const char* label;      // "Elevation:" (UTF-8); a check box's caption
    const char* unit;       // "deg", or nullptr
    FieldKind kind;

    // Choice, Radio, Text
    std::span<const ChoiceItem> items = {};
    int initialItem = -1; // the item selected at creation; -1: none
    // The item a reply value selects (-1: none), when it is not simply the item with that
    // value; and the message when Set finds nothing selected (nullptr: "<name>: no item
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

    // ---- Packets of several fields ----
    const char* field = nullptr; // the layout field it holds; nullptr: a settings value
    const char* bits = nullptr;  // ... or these bits of it (a BitDef's name)
    int key = -1; // the entry (key) it belongs to (3607's row of DPP index 0..2); -1: every entry
    Convert convert = Convert::Scale;
    Rounding rounding = Rounding::HalfUp;
    // The range of the shown value a Set takes (besides what the wire field carries).
    double min = -kNoLimit;
    double max = kNoLimit;
    bool maxExcluded = false;
    // The list item that disables the Set button of its group ("GPS Fix": a value the receiver
    // took from its own fix cannot be written back); -1: none.
    int disablesSetAt = -1;
    // A reply leaves it alone (the index box of a log query).
    bool sendOnly = false;
    // Its name in messages, where the label does not say it; nullptr: the label.
    const char* name = nullptr;
    // Laid out in the row of the field before it (a table's second column).
    bool sameRow = false;
};

// A group box or tab page and the fields in it, in order.
struct SectionSpec {
    const char* caption;    // "Modes", "0x40 - 0x4F"; nullptr: the fields sit on the window
    const char* objectName; // "modeGroupBox"; nullptr: none
    std::span<const FieldSpec> fields;
    // The group whose fields these are; its buttons sit in the box below them. -1: the fields'
    // groups come from their subcodes and the buttons sit below every section (or on the tab).
    int group = -1;
    int columns = 0; // fields laid out in this many columns; 0: the policy's
    // Column captions ("Index", "DPP", "DPP Accy") in a row above the field headerAt, above
    // its label column and the control columns of its row; empty: none.
    std::span<const char* const> header = {};
    int headerAt = 0;
    // Where the box sits among the boxes (row and column of the policy's sectionColumns grid,
    // and the rows it spans); -1: after the box before it.
    int gridRow = -1;
    int gridColumn = -1;
    int rowSpan = 1;
    // The object name of a check box below the fields that checks every check box of the
    // section ("Check All", its caption then "Uncheck All") and unchecks them again; nullptr:
    // none. It is no field: nothing reads it for a Set.
    const char* checkAll = nullptr;
};

// One Query/Set button and LED pair.
struct GroupSpec {
    uint8_t first, last;     // the subcodes of its fields
    const char* queryButton; // object names: "queryButton0"
    const char* queryLed;
    const char* setButton; // nullptr: the group is only queried
    const char* setLed;

    // ---- Packets of several fields ----
    uint8_t code = 0; // the layouts' code; 0: the dialog's settings group
    // The entries a Set writes, one frame each in this order, and a Query's replies answer
    // (3607: DPP indexes 0, 1, 2); empty: the key comes from the control bound to the key field.
    std::span<const uint8_t> keys = {};
    int queryKey = -1; // the key a Query carries for every entry at once (3607: 0xFF)
    // A reply or acknowledgement is this group's only while its key (and a subcode that comes
    // from a control) is what the controls hold (the event of the soft event mask).
    bool keyMustMatch = false;
    const char* queryCaption = "Query";
    // The layout of the group's packets where it is not the one the code and subcode name
    // (the real-time clock: 2901 with the status byte 0xFF as its key); nullptr: findLayout.
    const PacketLayout* layout = nullptr;
};

// How the dialogs differ.
struct DialogPolicy {
    bool queryOnShow = true; // showing the window does what Query All (or group 0's Query) does
    // The response timer's expiry: true (clear) ends the request; false (keep) leaves its
    // subcodes pending, so late answers still complete it and turn the LED green.
    bool expiryClears = false;
    // A Query clears the Set request of its group (LED white, nothing pending) and the other
    // way round.
    bool requestsSupersede = true;
    // An acknowledgement ends its request: a Query acknowledgement clears the Query's pending
    // subcode (red when refused), a Set acknowledgement paints green or red and clears it.
    bool ackEndsRequest = false;
    // A refused Query acknowledgement ends the Query (red); an accepted one changes nothing.
    bool queryRefusalEnds = false;
    // A Set acknowledgement ends the Set, green or red (besides ackEndsRequest).
    bool setAckEnds = false;
    // An accepted Query acknowledgement answers its subcode or entry as a reply would.
    bool queryAckAnswers = false;
    // A reply enables the response timer again, so it judges the groups once more later.
    bool replyRearmsTimer = false;
    int setPauseMs = 0; // pause after each Set frame but the last
    int timeoutMs = 1000;
    const char* closeButton = "closeButton";
    // Fields laid out in this many columns per section.
    int columns = 1;
    bool tabs = false; // sections are tab pages (each group on its own page) rather than boxes
    // A "Query All" button (its object name), doing every group's Query in order; nullptr: none.
    const char* queryAllButton = nullptr;
    bool setEnabledAtStart = true; // false: every Set button starts disabled
    int sectionColumns = 1;        // boxes laid out in this many columns
    // An entry box that does not hold a number sends nothing and shows no message: the request
    // starts all the same, so its LED turns red at the time-out.
    bool refuseSilently = false;
};

struct DialogSpec {
    WindowId window;
    const SettingsGroup& (*settings)(); // the settings group; nullptr: packets of several fields
    std::span<const SectionSpec> sections;
    std::span<const GroupSpec> groups;
    DialogPolicy policy;

    // The field of a subcode (the first, where several share it), or nullptr.
    const FieldSpec* field(uint8_t subcode) const;
    // The group of a subcode, or -1.
    int groupOf(uint8_t subcode) const;
    // The group of a field: its section's, or its subcode's; -1 when none.
    int groupOf(const FieldSpec& f) const;
    // The subcodes of a group that have fields, ascending.
    std::vector<uint8_t> subcodes(int group) const;
    // The fields of a group in table order.
    std::vector<const FieldSpec*> fields(int group) const;
    // The code of a group's packets.
    uint8_t code(int group) const;
    // The layout of a group's packet with this subcode, or nullptr.
    const PacketLayout* layout(int group, uint8_t subcode) const;
};

// Where a control's value lies: its packet's layout, the field and the bits of it.
struct FieldPlace {
    const PacketLayout* layout = nullptr;
    int index = -1;               // into the layout's fields; -1: the table names no such field
    const BitDef* bits = nullptr; // nullptr: the whole field
};
FieldPlace placeOf(const DialogSpec& d, const FieldSpec& f);

// ---- A field's text ---------------------------------------------------------------------------

// The text an entry box shows for a reply value.
std::string showNumber(const FieldSpec& f, double wire);
// The list item a reply value selects, or -1.
int itemForValue(const FieldSpec& f, double wire);
// The field's name in messages: its name, or its label without the colon ("Elevation").
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

// The Set script of a settings group from its values in subcode order (validated already).
PacedScript setScript(const DialogSpec& d, std::span<const SettingValue> values);
// The Query script of a group.
PacedScript queryScript(const DialogSpec& d, int group);

// ---- Controls, requests and replies without a display -----------------------------------------

// What a control holds: the selected item of a list or radio group (-1: none), an entry's text,
// a check box's state.
struct ControlInput {
    int item = -1;
    std::string text;
    bool checked = false;
};
using InputOf = std::function<ControlInput(const FieldSpec&)>;
// What a control shows for a reply: its item (-1: none), its text, its check.
using ControlOutput = ControlInput;

// A control's value for a packet: the wire value of its field (or of its bits), or the message
// that refuses it. Read-only boxes yield nothing.
FieldRead readControl(const DialogSpec& d, const FieldSpec& f, const ControlInput& in);
// What a control shows of a reply's values (in its packet's layout order).
ControlOutput showField(const DialogSpec& d, const FieldSpec& f, const FieldValues& values);

// The frames of a request of one group and the keys it leaves pending (subcodes, or the
// group's entries), or the message that refuses it (nothing may go out).
struct RequestBuild {
    PacedScript script;
    std::vector<uint8_t> keys;
    std::string error;
    const FieldSpec* field = nullptr; // the control that refused it
    bool ok() const { return error.empty(); }
};
// The keys a request of the group leaves pending (its entries, or its subcodes).
std::vector<uint8_t> requestKeys(const DialogSpec& d, int group);
RequestBuild buildQuery(const DialogSpec& d, int group, const InputOf& input);
// complete (optional) sees every packet's values before its frame is built and may change
// them or refuse (false) the Set.
using CompletePacket = std::function<bool(const PacketLayout&, int key, FieldValues&)>;
RequestBuild buildSet(const DialogSpec& d, int group, const InputOf& input,
                      const CompletePacket& complete = {});

// A reply's or acknowledgement's place in a dialog: the group, the subcode of the dialog's
// table (the wire subcode, except where it comes from a control), the entry (-1: none) and the
// key it answers of the group's pending ones.
struct ReplyMatch {
    int group = -1;
    uint8_t subcode = 0;
    int key = -1;
    uint8_t pendingKey = 0;
};
// The group a reply of code and subcode with these values (decoded through the layout) belongs
// to, or nothing.
std::optional<ReplyMatch> matchReply(const DialogSpec& d, uint8_t code, uint8_t subcode,
                                     const FieldValues& values, const InputOf& input);
std::optional<ReplyMatch> matchAck(const DialogSpec& d, const AckRecord& a, const InputOf& input);
// True when a control of the matched group shows this reply: its subcode and entry.
bool showsReply(const DialogSpec& d, const FieldSpec& f, const ReplyMatch& m);

// The values of a reply for the dialog's packet of code and subcode: a settings record's value
// of the subcode, or the fields of a layout record. Nothing for any other record.
std::optional<FieldValues> replyValues(const RecordSnapshot& record, uint8_t subcode);

} // namespace vx
