// Report viewers as data. A report viewer asks the receiver for one or more reports and shows
// every matching report the routing delivers while it is visible; the window
// (console/report_view_form.h) is built from one ViewSpec:
//
//  - Items: the value panels (with their captions and unit labels), the small status circles
//    and the read-only edit boxes, each with its object name. An item is addressed by its slot:
//    its index in the view spec's item list. A viewer's Qt-free file names its slots in an enum in
//    the same order, so a view function reads `u.text(pdopWin, ...)`.
//  - A table (the twelve channel rows): columns of panels and circles repeated per row, named
//    with the row number at the end ("svWin1".."svWin12"); its slots follow the items.
//  - Boxes: the group boxes, where they sit in the window and which items they hold.
//  - Query groups: one Query button and LED each, the query frames it sends, which replies (and
//    their acknowledgements) answer it under which key, whether showing the window runs it, and
//    what the response timer and a positive acknowledgement do with it.
//
// A view function turns a record into ViewUpdates: the texts of panels and edit boxes and the
// tints of circles, by slot. It is plain C++, tested without a display; the window applies the
// updates to its widgets. A panel a report fills turns white; a blanked panel takes the button
// face colour.
#pragma once

#include "link/paced_script.h"
#include "link/records.h"
#include "link/window_ids.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vx {

class ViewUpdates;

// The colours of panels and circles.
enum class Tint : uint8_t {
    White,  // a filled panel; an LED waiting for its answer
    Face,   // the desktop's button face: a blank panel
    Green,  // set, valid, answered
    Red,    // clear (status circles of the channel rows), refused, timed out
    Yellow, // clear (validity circles)
    Grey,   // no information: a blanked channel row's circles
};

enum class ItemKind : uint8_t {
    Panel,  // a value panel: one line of text
    Circle, // a small round lamp, its caption beside it
    Edit,   // a read-only edit box, for texts longer than a panel holds
    Memo,   // a read-only box of lines with a vertical scroll bar: its text's lines
    List,   // a list box the user picks a line of: its text's lines are its items
    Entry,  // an edit box the user types into (a query's argument); a view may fill it
};

struct ViewItem {
    ItemKind kind;
    const char* name;           // object name: "pdopWin"
    const char* label;          // caption: "PDOP:" (also its name to assistive technology)
    const char* unit = nullptr; // unit label after it: "s", "rad"
    int chars = 10;             // width of a panel or edit box, in digits
    Tint initial = Tint::Grey;  // a circle's colour at creation (panels start blank)
    int lines = 6;              // height of a memo or list, in lines
};

// One column of a table: a panel or circle per row, named prefix + row number (1-based).
struct ViewColumn {
    ItemKind kind;
    const char* prefix;  // "svWin"
    const char* heading; // "SV"
    int chars = 4;
};

struct ViewTable {
    const char* caption;    // the group box: "Channel Status"
    const char* objectName; // or nullptr
    int rows;               // rows labelled "1" .. "rows"
    std::span<const ViewColumn> columns;
};

// A group box and the items in it (slots first .. first + count - 1), laid out in columns of
// caption, widget and unit. It sits at (row, column) of the window's grid.
struct ViewBox {
    const char* caption;    // "UTC"; nullptr: the items sit on the window without a frame
    const char* objectName; // "posGroupBox", or nullptr
    uint16_t first, count;
    int row = 0, column = 0;
    int rowSpan = 1, columnSpan = 1;
    int columns = 1;
};

// One frame a query group sends: a Query of code and subcode, with one more payload byte when
// second is given (0x33 channel byte, 0x70/0x20's byte 1).
struct QueryFrame {
    uint8_t code, subcode;
    std::optional<uint8_t> second = std::nullopt;
};

// A report (code, subcodes subLo..subHi) that answers a query group under key. Its Query
// acknowledgement (acknowledged code and subcode) belongs to the same key.
struct ViewAnswer {
    uint8_t code, subLo, subHi;
    uint8_t key = 0;
};

// What the window's entry boxes and lists hold, by slot: an entry's text, a list's selected
// line ("" when none is selected).
using ViewInputs = std::function<std::string(uint16_t slot)>;

// The frames of a query whose arguments the user gives (a block number typed, a code picked
// from a list), or the message that refuses it (an OK box captioned "Error"; nothing is sent
// and the request does not start).
struct QueryBuild {
    std::vector<QueryFrame> frames;
    std::string error;
};

struct ViewQuery {
    const char* button; // "queryButton"
    const char* led;    // "queryLED"
    std::span<const QueryFrame> frames;
    // The reports that answer it; the LED turns green when every key has been answered (a
    // report that comes unasked paints it green too).
    std::span<const ViewAnswer> answers;
    bool onShow = true; // showing the window runs this query
    // The response timer's expiry paints a pending query red and: false ends it; true keeps
    // its keys pending until the next report.
    bool expiryKeeps = false;
    // A positive Query acknowledgement ends the key it acknowledges (the report paints the
    // LED; without one the LED stays as it is). A refused one always ends it, red.
    bool ackEnds = false;
    int box = -1; // the box whose foot holds the button and LED; -1: the window's button row
    const char* caption = "Query";
    // Milliseconds between two frames (a receiver that needs time between queries): the
    // frames then go from a timer and the button stays disabled until the last pause is over.
    int pauseMs = 0;
    // Frames built from the window's controls instead of `frames`; nullptr: `frames`.
    QueryBuild (*build)(const ViewInputs& in) = nullptr;
    // What a refused Query acknowledgement of this query shows besides the red LED (the
    // receiver's "not available"); nullptr: nothing.
    void (*refused)(const AckRecord& a, ViewUpdates& u) = nullptr;
    // Slots emptied when the query starts (a list it fills anew).
    std::span<const uint16_t> clears = {};
    // Showing the window paints its LED white although it does not query then.
    bool whiteOnShow = false;
};

struct ViewSpec {
    WindowId window;
    std::span<const ViewItem> items;
    std::span<const ViewBox> boxes;
    std::span<const ViewQuery> queries;
    const ViewTable* table = nullptr; // below the boxes; its slots follow the items
    int tableRow = 0;                 // the grid row of the table's box
    // Slots emptied each time the window is shown, before its queries start.
    std::span<const uint16_t> clearOnShow = {};

    // Every slot: items, then the table's cells row by row.
    size_t slotCount() const;
    // The slot of a table cell.
    uint16_t cell(int row, int column) const {
        return uint16_t(items.size() + size_t(row) * table->columns.size() + size_t(column));
    }
    // The object name, kind and caption of any slot ("svWin4", Panel, "SV 4").
    std::string slotName(uint16_t slot) const;
    ItemKind slotKind(uint16_t slot) const;
    std::string slotCaption(uint16_t slot) const;
    // The slot with this object name (tests), if any.
    std::optional<uint16_t> slotByName(std::string_view name) const;

    // The query group and key a report (code, subcode) answers: {group, key}, if any.
    struct Match {
        int group;
        uint8_t key;
    };
    std::optional<Match> answerOf(uint8_t code, uint8_t subcode) const;
};

// The frames of a query group in order, each followed by the group's pause but the last (its
// build's frames where it has one, given the inputs), or the message that refuses it.
PacedScript queryFrames(const ViewQuery& q);
struct QueryScript {
    PacedScript script;
    std::string error;
};
QueryScript queryScript(const ViewQuery& q, const ViewInputs& in);

// A caption as assistive technology reads it: without its colon ("Date:" -> "Date").
std::string captionName(std::string_view label);

// What one report changes in a viewer, by slot. Reused from report to report: clear() keeps
// the memory, so a window that shows thousands of reports a second allocates nothing.
class ViewUpdates {
public:
    struct Cell {
        uint16_t slot;
        bool hasText;
        Tint tint;
        std::string text;
    };

    // A panel or edit box filled by a report: its text, and white.
    void text(uint16_t slot, std::string_view t);
    // printf-style text.
    void format(uint16_t slot, const char* fmt, ...) __attribute__((format(printf, 3, 4)));
    // A panel or edit box emptied: no text, the button face.
    void blank(uint16_t slot);
    // A circle's colour.
    void tint(uint16_t slot, Tint t);
    // A flag's circle: on when set, off when clear.
    void flag(uint16_t slot, bool set, Tint on = Tint::Green, Tint off = Tint::Red) {
        tint(slot, set ? on : off);
    }

    void clear() { used_ = 0; }
    std::span<const Cell> cells() const { return {cells_.data(), used_}; }
    bool empty() const { return used_ == 0; }
    // The last change of a slot, or nullptr (tests).
    const Cell* find(uint16_t slot) const;

private:
    Cell& next(uint16_t slot);
    std::vector<Cell> cells_;
    size_t used_ = 0;
};

// printf into a std::string (the viewers' formats, quoted from their descriptions).
std::string formatText(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

} // namespace vx
