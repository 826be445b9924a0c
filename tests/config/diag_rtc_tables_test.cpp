// The diagnostic output (707F) and real-time clock (2901, status 0xFF) dialogs without a
// display: what a reply checks or shows, the exact Set and Query frames, the refusals, and
// which acknowledgements are theirs.
#include "config/dialog_tables.h"
#include "console/settings_dialog.h"
#include "support/hex.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

using namespace vx;
using vxtest::bytes;

namespace {

struct Inputs {
    std::map<std::string, ControlInput> by;
    InputOf fn() const {
        return [this](const FieldSpec& f) {
            auto it = by.find(f.objectName);
            return it == by.end() ? ControlInput{} : it->second;
        };
    }
};

std::string frameHex(uint8_t command, uint8_t code, uint8_t sub, const std::string& payload) {
    uint8_t buf[128];
    PacketEncoder e(buf, sizeof buf);
    e.startFrame(command, code);
    e.addByte(sub);
    for (uint8_t b : bytes(payload)) e.addByte(b);
    e.finishFrame();
    return vxtest::hex(buf, e.position());
}

std::string framesOf(const RequestBuild& b) {
    if (!b.ok()) return "refused: " + b.error;
    std::string out;
    for (const ScriptStep& s : b.script) out += (out.empty() ? "" : " | ") + vxtest::hex(s.frame);
    return out;
}

// The controls a reply of the layout with this payload changes: "[x]"/"[ ]" or the text.
std::map<std::string, std::string> shown(const DialogSpec& d, const PacketLayout& l,
                                         const std::string& payload) {
    std::map<std::string, std::string> out;
    FieldValues v{};
    const std::vector<uint8_t> p = bytes(payload);
    if (decodeLayout(l, l.firstSubcode, p.data(), p.size(), v) != 0) return out;
    const auto m = matchReply(d, l.code, l.firstSubcode, v, Inputs{}.fn());
    if (!m) return out;
    for (const FieldSpec* f : d.fields(m->group)) {
        if (!showsReply(d, *f, *m)) continue;
        const ControlOutput o = showField(d, *f, v);
        out[f->objectName] = f->kind == FieldKind::Check ? (o.checked ? "[x]" : "[ ]") : o.text;
    }
    return out;
}

TEST(DiagRtcDialogs, EveryControlIsAFieldOfItsPacket) {
    for (const DialogSpec* d : {&diagOutputDialog(), &rtcDialog()})
        for (const SectionSpec& s : d->sections)
            for (const FieldSpec& f : s.fields) {
                const FieldPlace p = placeOf(*d, f);
                EXPECT_GE(p.index, 0) << f.objectName;
                EXPECT_EQ(p.bits != nullptr, f.bits != nullptr) << f.objectName;
            }
    EXPECT_EQ(diagOutputDialog().sections[0].fields.size(), 17u);
    EXPECT_EQ(rtcDialog().layout(0, 0x01), &kRtcLayout);
    EXPECT_EQ(findLayout(0x29, 0x01), &kInitTimeLayout) << "2901 itself decodes as before";
}

TEST(DiagRtcDialogs, DiagnosticOutputMask) {
    const DialogSpec& d = diagOutputDialog();
    // 0x81: subcodes 0x00 and 0x07; the bit of 0x06 has no box.
    auto s = shown(d, kDiagOutputLayout, "C1 00 00 00 01 00 00 00 00 00 00 00 00 00 00 00");
    EXPECT_EQ(s["CheckBox0"], "[x]");
    EXPECT_EQ(s["CheckBox7"], "[x]");
    EXPECT_EQ(s["CheckBox20"], "[x]");
    EXPECT_EQ(s["CheckBox1"], "[ ]");
    EXPECT_EQ(s["CheckBox5"], "[ ]");
    EXPECT_EQ(s.size(), 17u);
    EXPECT_TRUE(shown(d, kDiagOutputLayout, "00").empty()) << "a reply must have 16 bytes";

    // Every box checked: the bits of the seventeen subcodes, every other bit 0.
    Inputs all;
    for (const FieldSpec& f : d.sections[0].fields) all.by[f.objectName].checked = true;
    EXPECT_EQ(framesOf(buildSet(d, 0, all.fn())),
              frameHex(kCmdSet, 0x70, 0x7F, "BF FF 01 00 01 00 00 00 00 00 00 00 00 00 00 00"));
    Inputs some;
    some.by["CheckBox0C"].checked = true;
    some.by["CheckBox3"].checked = true;
    EXPECT_EQ(framesOf(buildSet(d, 0, some.fn())),
              frameHex(kCmdSet, 0x70, 0x7F, "08 10 00 00 00 00 00 00 00 00 00 00 00 00 00 00"));
    EXPECT_EQ(framesOf(buildQuery(d, 0, Inputs{}.fn())), frameHex(kCmdQuery, 0x70, 0x7F, ""));
    const auto ack = matchAck(d, AckRecord{0x70, 0x7F, kAckNoIndex, 0}, Inputs{}.fn());
    ASSERT_TRUE(ack);
    EXPECT_EQ(ack->group, 0);
    EXPECT_FALSE(matchAck(d, AckRecord{0x70, 0x20, kAckNoIndex, 0}, Inputs{}.fn()));
}

TEST(DiagRtcDialogs, RealTimeClock) {
    const DialogSpec& d = rtcDialog();
    Inputs in;
    in.by["weekNumWin"].text = "1400";
    in.by["towWin"].text = "345600000";
    EXPECT_EQ(framesOf(buildSet(d, 0, in.fn())),
              frameHex(kCmdSet, 0x29, 0x01, "FF 78 05 00 70 99 14 00 00 00 00"));
    EXPECT_EQ(framesOf(buildQuery(d, 0, in.fn())), frameHex(kCmdQuery, 0x29, 0x01, "FF"));
    in.by["weekNumWin"].text = "65535";
    in.by["towWin"].text = "604799999";
    EXPECT_EQ(framesOf(buildSet(d, 0, in.fn())),
              frameHex(kCmdSet, 0x29, 0x01, "FF FF FF FF 83 0C 24 00 00 00 00"));

    struct Refusal {
        const char* box;
        const char* text;
        const char* message;
    };
    const Refusal refusals[] = {
        {"weekNumWin", "65536", "Week No.: 65536 is out of range (0 to 65535)."},
        {"weekNumWin", "-1", "Week No.: -1 is out of range (0 to 65535)."},
        {"weekNumWin", "12x", "Week No.: not a valid number."},
        {"towWin", "604800000", "TOW: 604800000 is out of range (0 to 604799999)."},
        {"towWin", "-5", "TOW: -5 is out of range (0 to 604799999)."},
        {"towWin", "", "TOW: not a valid number."},
    };
    for (const Refusal& r : refusals) {
        Inputs bad = in;
        bad.by[r.box].text = r.text;
        EXPECT_EQ(framesOf(buildSet(d, 0, bad.fn())), std::string("refused: ") + r.message)
            << r.box << " " << r.text;
    }

    // The clock's reply shows week and time of week; its acknowledgements carry 0xFF.
    auto s = shown(d, kRtcLayout, "FF 78 05 00 70 99 14 00 00 00 00");
    EXPECT_EQ(s["weekNumWin"], "1400");
    EXPECT_EQ(s["towWin"], "345600000");
    EXPECT_TRUE(matchAck(d, AckRecord{0x29, 0x01, 0xFF, 0}, Inputs{}.fn()));
    EXPECT_FALSE(matchAck(d, AckRecord{0x29, 0x02, 0xFF, 0}, Inputs{}.fn()));
}

} // namespace
