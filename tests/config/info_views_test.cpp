// The receiver information viewers without a display: their specs, the texts a reply shows,
// the Query frames the controls make and what refuses them.
#include "config/info_views.h"
#include "link/catalogue.h"
#include "support/hex.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>

using namespace vx;

namespace {

std::string textOf(const ViewUpdates& u, uint16_t slot) {
    const ViewUpdates::Cell* c = u.find(slot);
    return c && c->hasText ? c->text : "<none>";
}

// What the window's controls hold, by slot.
ViewInputs holding(std::map<uint16_t, std::string> by) {
    return [by](uint16_t slot) {
        auto it = by.find(slot);
        return it == by.end() ? std::string() : it->second;
    };
}

std::string framesOf(const ViewQuery& q, const ViewInputs& in) {
    const QueryScript s = queryScript(q, in);
    if (!s.error.empty()) return "refused: " + s.error;
    std::string out;
    for (const ScriptStep& step : s.script)
        out += (out.empty() ? "" : " | ") + vxtest::hex(step.frame);
    return out;
}

std::string query(uint8_t code, uint8_t sub, std::optional<uint8_t> second = std::nullopt) {
    CommandFrame f(kCmdQuery, code, sub);
    if (second) f.byte(*second);
    return vxtest::hex(f.toBytes());
}

TEST(InfoViews, SpecsNameEveryItemOnceAndAnswerTheirQueries) {
    for (const ViewSpec* s : {&pkt15Spec(), &pkt2601Spec(), &pkt2603_04_05Spec()}) {
        std::set<std::string> names;
        std::vector<int> boxes(s->items.size(), 0);
        for (const ViewBox& b : s->boxes)
            for (uint16_t i = b.first; i < b.first + b.count; ++i) ++boxes.at(i);
        for (size_t i = 0; i < s->items.size(); ++i) {
            EXPECT_EQ(boxes[i], 1) << s->items[i].name;
            EXPECT_TRUE(names.insert(s->items[i].name).second) << s->items[i].name;
        }
        for (const ViewQuery& q : s->queries) {
            EXPECT_TRUE(names.insert(q.button).second && names.insert(q.led).second);
            EXPECT_NE(q.frames.empty(), q.build == nullptr) << q.button;
        }
    }
    EXPECT_EQ(pkt15Spec().slotName(pkt15::byteMemo), "byteMemo");
    EXPECT_EQ(pkt2601Spec().slotName(pkt2601::subcodeMemo), "subcodeMemo");
    EXPECT_EQ(pkt2603_04_05Spec().slotName(pkt2603::maxCalSpdMemo), "maxCalSpdMemo");
    // Each 0x26 subcode answers its own window's query under its own key.
    EXPECT_EQ(pkt2601Spec().answerOf(0x26, 0x02)->group, 1);
    EXPECT_FALSE(pkt2601Spec().answerOf(0x26, 0x03));
    EXPECT_EQ(pkt2603_04_05Spec().answerOf(0x26, 0x04)->key, 4);
    EXPECT_EQ(pkt15Spec().answerOf(0x15, 0x7F)->group, 0);
}

TEST(InfoViews, CustomerDataBlock) {
    std::vector<uint8_t> twenty(20);
    for (size_t i = 0; i < twenty.size(); ++i) twenty[i] = uint8_t(0xA0 + i);
    EXPECT_EQ(customerDataLines(twenty), "A0 A1 A2 A3 A4 A5 A6 A7 \n"
                                         "A8 A9 AA AB AC AD AE AF \n"
                                         "B0 B1 B2 B3 ");
    EXPECT_EQ(customerDataLines({}), "");
    // The largest block a frame carries: 30 lines, the last of 3 bytes.
    const std::string full = customerDataLines(std::vector<uint8_t>(kMaxPayload, 0x5A));
    EXPECT_EQ(std::count(full.begin(), full.end(), '\n'), 29);
    EXPECT_LE(full.size(), 1000u) << "the memo holds at most 1000 characters";

    ViewUpdates u;
    showCustomerData(CustomerDataRecord{7, 3, {1, 2, 0xFF}}, u);
    EXPECT_EQ(textOf(u, pkt15::viewEdit), " 7");
    EXPECT_EQ(textOf(u, pkt15::byteMemo), "01 02 FF ");
    u.clear();
    showCustomerData(CustomerDataRecord{0x7F, 0, {}}, u);
    EXPECT_EQ(textOf(u, pkt15::viewEdit), "7F");
    EXPECT_EQ(textOf(u, pkt15::byteMemo), "");

    const ViewQuery& q = pkt15Spec().queries[0];
    const std::string range = "refused: Data block to view is out of range (0x01 - 0x7F).";
    const std::pair<const char*, std::string> cases[] = {
        {"7f", query(0x15, 0x7F)},
        {"1", query(0x15, 0x01)},
        {" 0x2A ", query(0x15, 0x2A)},
        {" 7", query(0x15, 0x07)},
        {"80", range},
        {"0", range},
        {"", range},
        {"xyz", range},
        {"-1", range},
        {"100000001", range},
    };
    for (const auto& [typed, expected] : cases)
        EXPECT_EQ(framesOf(q, holding({{pkt15::viewEdit, typed}})), expected) << typed;

    u.clear();
    customerDataRefused(AckRecord{0x15, 0x02, kAckNoIndex, 8}, u);
    EXPECT_EQ(textOf(u, pkt15::byteMemo), "Data not available.");
    u.clear();
    customerDataRefused(AckRecord{0x15, 0x02, kAckNoIndex, 1}, u);
    EXPECT_EQ(textOf(u, pkt15::byteMemo), "");
}

TEST(InfoViews, ReportCodesAndSubcodes) {
    ReportCodesRecord codes;
    codes.code_bitmap[4] = 0x03;
    ViewUpdates u;
    showReportCodes(codes, u);
    EXPECT_EQ(textOf(u, pkt2601::CodesListBox), "0x20\n0x21");
    ReportSubcodesRecord subs;
    subs.report_code = 0x70;
    subs.subcode_bitmap[0] = 0x01;
    subs.subcode_bitmap[15] = 0x80;
    u.clear();
    showReportSubcodes(subs, u);
    EXPECT_EQ(textOf(u, pkt2601::Label2), "0x70");
    EXPECT_EQ(textOf(u, pkt2601::subcodeMemo), "0x00\n0x7F");
    u.clear();
    showReportCodes(ReportCodesRecord{}, u);
    EXPECT_EQ(textOf(u, pkt2601::CodesListBox), "");

    const ViewQuery& codesQuery = pkt2601Spec().queries[0];
    EXPECT_EQ(framesOf(codesQuery, holding({})), query(0x26, 0x01));
    const ViewQuery& q = pkt2601Spec().queries[1];
    EXPECT_EQ(framesOf(q, holding({{pkt2601::CodesListBox, "0x31"}})), query(0x26, 0x02, 0x31));
    EXPECT_EQ(framesOf(q, holding({})), "refused: No Report Code selected.");
}

TEST(InfoViews, DppModelLevels) {
    ViewUpdates u;
    showDppModel(DppModelRecord{3, {20, 40, 255}}, 0x04, u);
    EXPECT_EQ(textOf(u, pkt2603::minCalSpdMemo), "Level     Top Speed (m/s)\n"
                                                 "-----     ---------------\n"
                                                 "    1          10.0\n"
                                                 "    2          20.0\n"
                                                 "    3         Unlimited");
    EXPECT_EQ(textOf(u, pkt2603::maxAppSpdMemo), "<none>");
    // A count beyond the levels held shows only those; no levels: the headings alone.
    u.clear();
    showDppModel(DppModelRecord{200, {1}}, 0x05, u);
    EXPECT_EQ(textOf(u, pkt2603::maxCalSpdMemo),
              "Level     Top Speed (m/s)\n-----     ---------------\n    1           0.5");
    u.clear();
    showDppModel(DppModelRecord{0, {}}, 0x03, u);
    EXPECT_EQ(textOf(u, pkt2603::maxAppSpdMemo),
              "Level     Top Speed (m/s)\n-----     ---------------");
    u.clear();
    showDppModel(DppModelRecord{1, {9}}, 0x06, u);
    EXPECT_TRUE(u.empty());
    EXPECT_EQ(framesOf(pkt2603_04_05Spec().queries[0], holding({})),
              query(0x26, 0x03) + " | " + query(0x26, 0x04) + " | " + query(0x26, 0x05));
}

} // namespace
