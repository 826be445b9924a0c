#include "config/info_views.h"

#include "console/field_text.h"

#include <algorithm>

namespace vx {

namespace {

constexpr ItemKind kMemo = ItemKind::Memo;

// ---- 0x15
// ----------------------------------------------------------------------------------------

constexpr ViewItem kPkt15Items[] = {
    {.kind = ItemKind::Entry, .name = "viewEdit", .label = "Data Block to view:", .chars = 4},
    {.kind = kMemo, .name = "byteMemo", .label = "Data Block:", .chars = 24, .lines = 10},
};
static_assert(std::size(kPkt15Items) == pkt15::kSlots);
constexpr ViewBox kPkt15Boxes[] = {
    {.caption = nullptr, .objectName = nullptr, .first = pkt15::viewEdit, .count = 2}};
constexpr ViewAnswer kPkt15Answers[] = {{0x15, 0x01, 0x7F, 0}};
// Showing sends nothing; any acknowledgement ends the request (a refused one red).
constexpr ViewQuery kPkt15Queries[] = {{.button = "queryButton",
                                        .led = "queryLED",
                                        .frames = {},
                                        .answers = kPkt15Answers,
                                        .onShow = false,
                                        .ackEnds = true,
                                        .build = customerDataQuery,
                                        .refused = customerDataRefused}};
const ViewSpec kPkt15{WindowId::Tpkt15Form, kPkt15Items, kPkt15Boxes, kPkt15Queries};

// ---- 2601, 2602
// ----------------------------------------------------------------------------------

constexpr ViewItem kPkt2601Items[] = {
    {.kind = ItemKind::List, .name = "CodesListBox", .label = "", .chars = 6, .lines = 10},
    {.kind = ItemKind::Panel, .name = "Label2", .label = "Report Code:", .chars = 5},
    {.kind = kMemo, .name = "subcodeMemo", .label = "", .chars = 6, .lines = 8},
};
static_assert(std::size(kPkt2601Items) == pkt2601::kSlots);
constexpr ViewBox kPkt2601Boxes[] = {
    {.caption = "Available Report Codes",
     .objectName = nullptr,
     .first = pkt2601::CodesListBox,
     .count = 1},
    {.caption = "Available Subcodes",
     .objectName = nullptr,
     .first = pkt2601::Label2,
     .count = 2,
     .row = 0,
     .column = 1},
};
constexpr QueryFrame kCodesFrames[] = {{0x26, 0x01}};
constexpr ViewAnswer kCodesAnswers[] = {{0x26, 0x01, 0x01, 0}};
constexpr ViewAnswer kSubcodesAnswers[] = {{0x26, 0x02, 0x02, 0}};
constexpr uint16_t kCodesClears[] = {pkt2601::CodesListBox};
constexpr uint16_t kPkt2601ShowClears[] = {pkt2601::CodesListBox, pkt2601::Label2,
                                           pkt2601::subcodeMemo};
// Two requests, each with its own flag: an acknowledgement ends only its own (a refused one
// red), and the time-out judges both.
constexpr ViewQuery kPkt2601Queries[] = {
    {.button = "queryButton",
     .led = "queryLED",
     .frames = kCodesFrames,
     .answers = kCodesAnswers,
     .ackEnds = true,
     .box = 0,
     .clears = kCodesClears},
    {.button = "subcodesButton",
     .led = "querySubLED",
     .frames = {},
     .answers = kSubcodesAnswers,
     .onShow = false,
     .ackEnds = true,
     .box = 1,
     .caption = "Show Subcodes",
     .build = subcodesQuery,
     .whiteOnShow = true},
};
const ViewSpec kPkt2601{.window = WindowId::Tpkt2601Form,
                        .items = kPkt2601Items,
                        .boxes = kPkt2601Boxes,
                        .queries = kPkt2601Queries,
                        .clearOnShow = kPkt2601ShowClears};

// ---- 2603..2605
// ----------------------------------------------------------------------------------

constexpr ViewItem kPkt2603Items[] = {
    {.kind = kMemo, .name = "maxAppSpdMemo", .label = "", .chars = 26, .lines = 6},
    {.kind = kMemo, .name = "minCalSpdMemo", .label = "", .chars = 26, .lines = 6},
    {.kind = kMemo, .name = "maxCalSpdMemo", .label = "", .chars = 26, .lines = 6},
};
static_assert(std::size(kPkt2603Items) == pkt2603::kSlots);
constexpr ViewBox kPkt2603Boxes[] = {
    {.caption = "Max Applicable Speed (0x03)",
     .objectName = nullptr,
     .first = pkt2603::maxAppSpdMemo,
     .count = 1},
    {.caption = "Min Calibration Speeds (0x04)",
     .objectName = nullptr,
     .first = pkt2603::minCalSpdMemo,
     .count = 1,
     .row = 1},
    {.caption = "Max Calibration Speeds (0x05)",
     .objectName = nullptr,
     .first = pkt2603::maxCalSpdMemo,
     .count = 1,
     .row = 2},
};
constexpr QueryFrame kDppFrames[] = {{0x26, 0x03}, {0x26, 0x04}, {0x26, 0x05}};
constexpr ViewAnswer kDppAnswers[] = {
    {0x26, 0x03, 0x03, 3}, {0x26, 0x04, 0x04, 4}, {0x26, 0x05, 0x05, 5}};
// One LED for three subcodes: green once all three are in; the time-out paints it red and
// keeps the subcodes pending, so late replies still complete it.
constexpr ViewQuery kPkt2603Queries[] = {{.button = "queryButton",
                                          .led = "queryLED",
                                          .frames = kDppFrames,
                                          .answers = kDppAnswers,
                                          .expiryKeeps = true}};
const ViewSpec kPkt2603{WindowId::Tpkt2603_04_05Form, kPkt2603Items, kPkt2603Boxes,
                        kPkt2603Queries};

std::string bitLines(std::span<const uint8_t, 16> bitmap) {
    std::string out;
    for (int i = 0; i < 128; ++i) {
        if (!(bitmap[size_t(i / 8)] & (1u << (i % 8)))) continue;
        if (!out.empty()) out += '\n';
        out += formatText("0x%02X", i);
    }
    return out;
}

} // namespace

// ---- 0x15
// ----------------------------------------------------------------------------------------

const ViewSpec& pkt15Spec() {
    return kPkt15;
}

std::string customerDataLines(std::span<const uint8_t> data) {
    std::string out;
    out.reserve(data.size() * 3 + data.size() / 8);
    for (size_t i = 0; i < data.size(); ++i) {
        if (i && i % 8 == 0) out += '\n';
        out += formatText("%02X ", data[i]);
    }
    return out;
}

void showCustomerData(const CustomerDataRecord& r, ViewUpdates& u) {
    u.format(pkt15::viewEdit, "%2X", r.block);
    const size_t n = std::min<size_t>(r.length, r.data.size());
    u.text(pkt15::byteMemo, customerDataLines(std::span(r.data).first(n)));
}

QueryBuild customerDataQuery(const ViewInputs& in) {
    // Anything but a block number in range (not hexadecimal, too long) is out of range.
    const std::optional<uint32_t> block = parseHex(in(pkt15::viewEdit), 8);
    if (!block || *block < 0x01 || *block > 0x7F)
        return {{}, "Data block to view is out of range (0x01 - 0x7F)."};
    return {{QueryFrame{0x15, uint8_t(*block)}}, {}};
}

void customerDataRefused(const AckRecord& a, ViewUpdates& u) {
    u.text(pkt15::byteMemo, a.result == 8 ? "Data not available." : "");
}

// ---- 2601, 2602
// ----------------------------------------------------------------------------------

const ViewSpec& pkt2601Spec() {
    return kPkt2601;
}

std::string bitmapLines(std::span<const uint8_t, 16> bitmap) {
    return bitLines(bitmap);
}

void showReportCodes(const ReportCodesRecord& r, ViewUpdates& u) {
    u.text(pkt2601::CodesListBox, bitLines(r.code_bitmap));
}

void showReportSubcodes(const ReportSubcodesRecord& r, ViewUpdates& u) {
    u.format(pkt2601::Label2, "0x%02X", r.report_code);
    u.text(pkt2601::subcodeMemo, bitLines(r.subcode_bitmap));
}

QueryBuild subcodesQuery(const ViewInputs& in) {
    const std::string code = in(pkt2601::CodesListBox);
    if (code.empty()) return {{}, "No Report Code selected."};
    const std::optional<uint32_t> c = parseHex(code, 2);
    if (!c) return {{}, "No Report Code selected."};
    return {{QueryFrame{0x26, 0x02, uint8_t(*c)}}, {}};
}

// ---- 2603..2605
// ----------------------------------------------------------------------------------

const ViewSpec& pkt2603_04_05Spec() {
    return kPkt2603;
}

std::string dppLevelLines(std::span<const uint8_t> levels) {
    std::string out = "Level     Top Speed (m/s)\n-----     ---------------";
    for (size_t i = 0; i < levels.size(); ++i) {
        out += '\n';
        const int level = int(i) + 1;
        out += levels[i] == 255 ? formatText("%5i         Unlimited", level)
                                : formatText("%5i         %5.1f", level, levels[i] * 0.5);
    }
    return out;
}

void showDppModel(const DppModelRecord& r, uint8_t subcode, ViewUpdates& u) {
    if (subcode < 3 || subcode > 5) return;
    // The count as far as the record holds levels (the decoder clamps it to the payload).
    const size_t n = std::min<size_t>(r.count, r.levels.size());
    u.text(uint16_t(pkt2603::maxAppSpdMemo + (subcode - 3)),
           dppLevelLines(std::span(r.levels).first(n)));
}

} // namespace vx
