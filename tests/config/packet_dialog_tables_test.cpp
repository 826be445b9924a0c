// The tables of the dialogs of packets of several fields, without a display: what a reply's
// bytes show in each control, the exact Set and Query frames the controls' contents make, and
// what refuses them with which message. The request cycle itself is the base's (settings_form
// and query_set_form tests); the window tests check only each window's own exceptions.
#include "config/dialog_tables.h"
#include "config/event_log_lines.h"
#include "config/event_trigger_mask.h"
#include "console/settings_dialog.h"
#include "link/framing.h"
#include "support/hex.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>

using namespace vx;
using vxtest::bytes;
using vxtest::hex;

namespace {

// The controls' contents, by object name (a control not named is empty).
struct Inputs {
    std::map<std::string, ControlInput> by;
    Inputs& text(const char* name, const char* t) {
        by[name].text = t;
        return *this;
    }
    Inputs& item(const char* name, int i) {
        by[name].item = i;
        return *this;
    }
    Inputs& check(const char* name) {
        by[name].checked = true;
        return *this;
    }
    InputOf fn() const {
        return [this](const FieldSpec& f) {
            auto it = by.find(f.objectName);
            return it == by.end() ? ControlInput{} : it->second;
        };
    }
};

// A Set frame as the catalogue writes it: command 0x01, code, subcode, the payload bytes.
std::string setFrame(uint8_t code, uint8_t sub, const std::string& payload) {
    uint8_t buf[128];
    PacketEncoder e(buf, sizeof buf);
    e.startFrame(kCmdSet, code);
    e.addByte(sub);
    for (uint8_t b : bytes(payload)) e.addByte(b);
    e.finishFrame();
    return hex(buf, e.position());
}

// n zero bytes as hex.
std::string zeros(size_t n) {
    std::string s;
    for (size_t i = 0; i < n; ++i) s += i ? " 00" : "00";
    return s;
}

std::string frames(const RequestBuild& b) {
    std::string out;
    for (const ScriptStep& s : b.script) out += (out.empty() ? "" : " | ") + hex(s.frame);
    return out;
}

// What a reply of code and subcode with these payload bytes shows, by object name: a list's or
// radio group's item text ("" for none), a box's text, "[x]" or "[ ]" for a check box.
struct Shown {
    std::optional<ReplyMatch> match;
    std::map<std::string, std::string> controls;
};
Shown showReply(const DialogSpec& d, uint8_t code, uint8_t sub, const std::string& payload,
                const Inputs& in = {}) {
    Shown s;
    const PacketLayout* l = findLayout(code, sub);
    EXPECT_NE(l, nullptr);
    if (!l) return s;
    FieldValues v{};
    const std::vector<uint8_t> p = bytes(payload);
    EXPECT_EQ(decodeLayout(*l, sub, p.data(), p.size(), v), 0);
    s.match = matchReply(d, code, sub, v, in.fn());
    if (!s.match) return s;
    for (const FieldSpec* f : d.fields(s.match->group)) {
        if (!showsReply(d, *f, *s.match)) continue;
        const ControlOutput out = showField(d, *f, v);
        s.controls[f->objectName] =
            f->kind == FieldKind::Check ? (out.checked ? "[x]" : "[ ]") : out.text;
    }
    return s;
}

// Every control of every dialog names a field (and bits) its packet has.
TEST(PacketDialogs, EveryControlIsAFieldOfItsPacket) {
    for (const DialogSpec* d :
         {&initDialog(), &mapMatchDialog(), &tachoDialog(), &intervalControlDialog(),
          &drCalibrationDialog(), &softEventDialog()}) {
        std::set<std::string> names;
        for (const SectionSpec& s : d->sections)
            for (const FieldSpec& f : s.fields) {
                const FieldPlace p = placeOf(*d, f);
                EXPECT_GE(p.index, 0) << windowName(d->window) << " " << f.objectName;
                EXPECT_EQ(p.bits != nullptr, f.bits != nullptr) << f.objectName;
                EXPECT_TRUE(names.insert(f.objectName).second) << f.objectName;
            }
    }
    // The source lists of the Sets disable their group's Set at "GPS Fix".
    for (const DialogSpec* d : {&initDialog(), &drCalibrationDialog()})
        for (int g = 0; g < int(d->groups.size()); ++g)
            for (const FieldSpec* f : d->fields(g)) {
                if (f->bits && std::string(f->bits) == "source" && d->groups[size_t(g)].setButton) {
                    ASSERT_GE(f->disablesSetAt, 0) << f->objectName;
                    EXPECT_STREQ(f->items[size_t(f->disablesSetAt)].text, "GPS Fix");
                }
            }
}

TEST(PacketDialogs, InitializationRepliesShowTheirValues) {
    const DialogSpec& d = initDialog();
    Shown t = showReply(d, 0x29, 0x01, "13 06 09 00 70 99 14 14 00 00 00");
    ASSERT_TRUE(t.match);
    EXPECT_EQ(t.match->group, 0);
    EXPECT_EQ(t.controls["sourceWin01"], "GPS Fix");
    EXPECT_EQ(t.controls["newnessWin01"], "From BBRAM");
    EXPECT_EQ(t.controls["accyStatusWin01"], "Valid");
    EXPECT_EQ(t.controls["weekNumWin"], "2310");
    EXPECT_EQ(t.controls["towWin"], "345600000");
    EXPECT_EQ(t.controls["timeAccyWin"], "20");
    // Angles in radians with P (2^30 is P / 2), accuracies unsigned.
    Shown p =
        showReply(d, 0x29, 0x02, "08 00 00 00 40 9C CF A0 EB FF FF FF FF E8 03 00 00 00 00 80 3E");
    EXPECT_EQ(p.controls["sourceWin02"], "Invalid/Clear");
    EXPECT_EQ(p.controls["newnessWin02"], "New Since Startup");
    EXPECT_EQ(p.controls["accyStatusWin02"], "Unknown");
    EXPECT_EQ(p.controls["latWin"], "1.570796371");
    EXPECT_EQ(p.controls["lonWin"], "-0.500000000");
    EXPECT_EQ(p.controls["latAccyWin"], "6.283185481");
    EXPECT_EQ(p.controls["lonAccyWin"], "0.000001463");
    EXPECT_EQ(p.controls["latLonCorWin"], "0.250000000");
    Shown a = showReply(d, 0x29, 0x03, "12 F4 FF 07 00");
    EXPECT_EQ(a.controls["altWin"], "-12");
    EXPECT_EQ(a.controls["altAccyWin"], "7");
    Shown f = showReply(d, 0x29, 0x04, "11 0C FE FF FF FF FF");
    EXPECT_EQ(f.controls["freqWin"], "-500");
    EXPECT_EQ(f.controls["freqAccyWin"], "65535");
    Shown h = showReply(d, 0x29, 0x05, "1B 00 40 48 01");
    EXPECT_EQ(h.controls["headWin"], "0.50000");
    EXPECT_EQ(h.controls["headAccyWin"], "0.01001");
    EXPECT_EQ(h.controls.count("weekNumWin"), 0u) << "only its own group";
    EXPECT_FALSE(showReply(d, 0x29, 0x07, zeros(25)).match) << "2907 is another window's";
}

TEST(PacketDialogs, InitializationSetsAndRefusals) {
    const DialogSpec& d = initDialog();
    Inputs time;
    time.item("sourceWin01", 1).item("accyStatusWin01", 1);
    time.text("weekNumWin", "2310").text("towWin", "345600000").text("timeAccyWin", "20");
    RequestBuild t = buildSet(d, 0, time.fn());
    ASSERT_TRUE(t.ok()) << t.error;
    EXPECT_EQ(frames(t), setFrame(0x29, 0x01, "11 06 09 00 70 99 14 14 00 00 00"));
    // 0.5 rad goes as 341782628 and -0.5 rad as -341782628: rounded half away from zero.
    Inputs pos;
    pos.item("sourceWin02", 2).item("accyStatusWin02", 0);
    pos.text("latWin", "0.5").text("lonWin", "-0.5").text("latAccyWin", "0");
    pos.text("lonAccyWin", "0.000001463").text("latLonCorWin", "0.25");
    EXPECT_EQ(
        frames(buildSet(d, 1, pos.fn())),
        setFrame(0x29, 0x02, "02 64 30 5F 14 9C CF A0 EB 00 00 00 00 E8 03 00 00 00 00 80 3E"));
    Inputs head;
    head.item("sourceWin05", 1).item("accyStatusWin05", 1);
    head.text("headWin", "1.99996").text("headAccyWin", "0.01");
    EXPECT_EQ(frames(buildSet(d, 4, head.fn())), setFrame(0x29, 0x05, "11 FF FF 48 01"));
    // The Query of each group: its subcode alone.
    EXPECT_EQ(frames(buildQuery(d, 2, {})), "81 02 29 03 CF 82");

    struct Refusal {
        int group;
        Inputs in;
        const char* error;
    };
    auto with = [](Inputs in, const char* name, const char* text) {
        in.text(name, text);
        return in;
    };
    Inputs noSource = time;
    noSource.item("sourceWin01", -1);
    Inputs noAccuracy = time;
    noAccuracy.item("accyStatusWin01", -1);
    const Refusal refusals[] = {
        {0, noSource, "Time (0x29-01): Source: no item selected."},
        {0, noAccuracy, "Time (0x29-01): Accy Status: no item selected."},
        {0, with(time, "weekNumWin", "65536"),
         "Time (0x29-01): Week No.: 65536 is out of range (0 to 65535)."},
        {0, with(time, "towWin", "-1"),
         "Time (0x29-01): TOW: -1 is out of range (0 to 4294967295)."},
        {1, with(pos, "latWin", "3.2"),
         "Latitude/Longitude (0x29-02): Latitude: 3.2 is out of range (-3.14159274 to "
         "3.14159274)."},
        // P itself would be 2^31, which a latitude cannot carry.
        {1, with(pos, "lonWin", "3.1415927410125737"),
         "Latitude/Longitude (0x29-02): Longitude: 3.1415927410125737 is out of range "
         "(-3.14159274 to 3.14159274)."},
        {1, with(pos, "latAccyWin", "-0.1"),
         "Latitude/Longitude (0x29-02): Lat. Accy: -0.1 is out of range (0 to 6.28318548)."},
        {1, with(pos, "latLonCorWin", "x"),
         "Latitude/Longitude (0x29-02): Lat/Lon Corr: not a valid number."},
        {4, with(head, "headWin", "2"),
         "Heading (0x29-05): Heading: 2 is out of range (0 to 1.99996948)."},
        {4, with(head, "headWin", "1.99999"),
         "Heading (0x29-05): Heading: 1.99999 is out of range (0 to 1.99996948)."},
        {4, with(head, "headAccyWin", "-0.5"),
         "Heading (0x29-05): Head. Accy: -0.5 is out of range (0 to 1.99996948)."},
    };
    for (const Refusal& r : refusals) {
        RequestBuild b = buildSet(d, r.group, r.in.fn());
        EXPECT_EQ(b.error, r.error);
        EXPECT_TRUE(b.script.empty()) << r.error;
        EXPECT_NE(b.field, nullptr) << r.error;
    }
}

TEST(PacketDialogs, MapMatchAndTacho) {
    const DialogSpec& mm = mapMatchDialog();
    Shown m =
        showReply(mm, 0x29, 0x07,
                  "45 F4 01 64 30 5F 14 9D CF A0 EB E2 FF 00 80 03 00 04 00 FB FF 06 00 07 00");
    EXPECT_EQ(m.controls["latLonGroup"], "Valid");
    EXPECT_EQ(m.controls["altGroup"], "Not Valid");
    EXPECT_EQ(m.controls["headGroup"], "Valid");
    EXPECT_EQ(m.controls["timeSrcGroup"], "From 36-02");
    EXPECT_EQ(m.controls["timeTagWin"], "500");
    EXPECT_EQ(m.controls["latWin"], "0.500000000");
    EXPECT_EQ(m.controls["altWin"], "-30");
    EXPECT_EQ(m.controls["headWin"], "1.00000");
    EXPECT_EQ(m.controls["eastNorthCovWin"], "-5");
    // Time source bits 6-7 of 2 or 3 name no item.
    EXPECT_EQ(showReply(mm, 0x29, 0x07, "80 " + zeros(24)).controls["timeSrcGroup"], "");

    // -0.5 rad goes as -341782627 here: 0.5 added, truncated toward zero.
    Inputs in;
    for (const char* r : {"latLonGroup", "altGroup", "headGroup", "latLonAccyGroup", "altAccyGroup",
                          "headAccyGroup"})
        in.item(r, 1);
    in.item("timeSrcGroup", 1).item("altGroup", 0);
    in.text("timeTagWin", "1234").text("latWin", "0.5").text("lonWin", "-0.5");
    in.text("altWin", "-20").text("headWin", "0.5").text("eastAccyWin", "5");
    in.text("northAccyWin", "6").text("eastNorthCovWin", "-7").text("altAccyWin", "8");
    in.text("headAccyWin", "0.00305");
    EXPECT_EQ(
        frames(buildSet(mm, 0, in.fn())),
        setFrame(0x29, 0x07,
                 "7D D2 04 64 30 5F 14 9D CF A0 EB EC FF 00 40 05 00 06 00 F9 FF 08 00 64 00"));
    Inputs noRadio = in;
    noRadio.item("headAccyGroup", -1);
    EXPECT_EQ(buildSet(mm, 0, noRadio.fn()).error, "Heading Accy Validity: no item selected.");

    const DialogSpec& td = tachoDialog();
    Shown t = showReply(td, 0x29, 0x08, "83 64 00 C8 00 70 11 01 00");
    EXPECT_EQ(t.controls["timeTagGroup"], "Valid");
    EXPECT_EQ(t.controls["tachoGroup"], "Valid");
    EXPECT_EQ(t.controls["dirSwGroup"], "Not Valid");
    EXPECT_EQ(t.controls["revSwGroup"], "High");
    EXPECT_EQ(t.controls["tachoPulsesWin"], "70000");
    Inputs tacho;
    tacho.item("timeTagGroup", 1).item("tachoGroup", 0).item("dirSwGroup", 1);
    tacho.item("revSwGroup", 1).text("hostTimeTagWin", "500").text("timeTagOffsetWin", "25");
    tacho.text("tachoPulsesWin", "70000");
    EXPECT_EQ(frames(buildSet(td, 0, tacho.fn())),
              setFrame(0x29, 0x08, "85 F4 01 19 00 70 11 01 00"));
    tacho.text("hostTimeTagWin", "65536");
    EXPECT_EQ(buildSet(td, 0, tacho.fn()).error,
              "Host Timetag: 65536 is out of range (0 to 65535).");
}

TEST(PacketDialogs, OutputIntervalControl) {
    const DialogSpec& d = intervalControlDialog();
    Inputs event;
    event.text("eventCodeWin", "31").text("eventSubcodeWin", "01").check("CheckBoxE29");
    EXPECT_EQ(frames(buildSet(d, 0, event.fn())), "81 01 2A 31 01 00 00 00 20 80 00 82");
    EXPECT_EQ(frames(buildQuery(d, 0, event.fn())), "81 02 2A 31 01 9F 82");
    Inputs every;
    every.text("eventCodeWin", "0x30").text("eventSubcodeWin", "2");
    for (const FieldSpec* f : d.fields(0))
        if (f->kind == FieldKind::Check) every.check(f->objectName);
    EXPECT_EQ(frames(buildSet(d, 0, every.fn())), setFrame(0x2A, 0x30, "02 CE 1E 7A 77"));

    // A reply of any target fills the group's boxes.
    Shown t = showReply(d, 0x2B, 0x31, "01 E8 03 00 00 88 13 00 00");
    ASSERT_TRUE(t.match);
    EXPECT_EQ(t.match->group, 1);
    EXPECT_EQ(t.controls["timeCodeWin"], "31");
    EXPECT_EQ(t.controls["timeSubcodeWin"], "01");
    EXPECT_EQ(t.controls["minTimeWin"], "1000");
    EXPECT_EQ(t.controls["maxTimeWin"], "5000");
    Shown e = showReply(d, 0x2A, 0x30, "02 00 00 00 A0");
    EXPECT_EQ(e.controls["CheckBoxE29"], "[x]");
    EXPECT_EQ(e.controls["CheckBoxE30"], "[ ]");
    EXPECT_EQ(e.controls["CheckBoxE1"], "[ ]");
    EXPECT_EQ(showReply(d, 0x2D, 0x30, "03 87 00 00 00 FF FF FF FF").controls["maxDHdgWin"],
              "4294967295");

    // Boxes that do not hold what their field takes send nothing.
    Inputs time;
    time.text("timeCodeWin", "31").text("timeSubcodeWin", "01").text("minTimeWin", "1000");
    EXPECT_FALSE(buildSet(d, 1, time.fn()).ok()) << "an empty Maximum Time";
    time.text("maxTimeWin", "5000");
    EXPECT_EQ(frames(buildSet(d, 1, time.fn())), "81 01 2B 31 01 E8 03 00 00 88 13 00 00 19 82");
    for (const char* bad : {"", "123", "g1", "-1"}) {
        Inputs q = time;
        q.text("timeCodeWin", bad);
        EXPECT_FALSE(buildQuery(d, 1, q.fn()).ok()) << bad;
    }
    time.text("maxTimeWin", "4294967296");
    EXPECT_FALSE(buildSet(d, 1, time.fn()).ok());

    // The unnamed bits: kept from the last reply unless the shared box was toggled since.
    UnnamedEventBits u;
    EXPECT_EQ(u.toSend(false), 0u);
    EXPECT_TRUE(u.received(0x00000001)) << "any unnamed bit checks the box";
    EXPECT_EQ(u.toSend(true), 0x00000001u);
    EXPECT_FALSE(u.received(0x20000000));
    EXPECT_EQ(u.toSend(false), 0u);
    u.toggled();
    EXPECT_EQ(u.toSend(true), kUnnamedEventBits);
    EXPECT_EQ(u.toSend(false), 0u);
    EXPECT_TRUE(u.received(0x80000100));
    EXPECT_EQ(u.toSend(true), 0x80000100u) << "a reply ends the toggle";
}

TEST(PacketDialogs, DrCalibration) {
    const DialogSpec& d = drCalibrationDialog();
    std::string all;
    std::vector<uint8_t> keys;
    for (int g = 0; g < int(d.groups.size()); ++g) {
        RequestBuild b = buildQuery(d, g, {});
        all += (all.empty() ? "" : " | ") + frames(b);
        if (g == 3) keys = b.keys;
    }
    EXPECT_EQ(all, "81 02 36 03 C2 82 | 81 02 36 04 C1 82 | 81 02 36 05 C0 82 | "
                   "81 02 36 07 FF BF 82 | 81 02 36 08 BD 82");
    EXPECT_EQ(keys, (std::vector<uint8_t>{0, 1, 2})) << "the DPP indexes wait on their own";

    Shown z = showReply(d, 0x36, 0x03, "1B 00 00 C0 3F 00 00 80 3E");
    EXPECT_EQ(z.controls["sourceWin03"], "GPS Fix");
    EXPECT_EQ(z.controls["newnessWin03"], "New Since Startup");
    EXPECT_EQ(z.controls["validityWin03"], "Valid");
    EXPECT_EQ(z.controls["zroWin"], "1.5");
    EXPECT_EQ(z.controls["zroAccyWin"], "0.25");
    Shown s = showReply(d, 0x36, 0x05, "81 14");
    EXPECT_EQ(s.controls["dirSwSenseWin"], "0 = R, 1 = F");
    EXPECT_EQ(s.controls["dirSwConfidenceSpeedWin"], "20");
    EXPECT_EQ(s.controls["sourceWin05"], "Host Input");
    // A DPP report fills its index's row and the status of the group.
    Shown p = showReply(d, 0x36, 0x07, "01 09 00 00 00 3E 6F 12 83 3A");
    EXPECT_EQ(p.match->pendingKey, 1);
    EXPECT_EQ(p.controls["dpp1Win"], "0.125");
    EXPECT_EQ(p.controls["dpp1AccyWin"], "0.001");
    EXPECT_EQ(p.controls.count("dpp0Win"), 0u);
    EXPECT_EQ(p.controls["sourceWin07"], "Host Input");
    Shown beyond = showReply(d, 0x36, 0x07, "03 02 00 00 00 3E 6F 12 83 3A");
    EXPECT_EQ(beyond.controls.count("dpp2Win") + beyond.controls.count("dpp0Win"), 0u);
    EXPECT_EQ(beyond.controls["sourceWin07"], "Host Override");

    // The DPP Set: three frames, indexes 0, 1, 2, each with its own row and the one status.
    Inputs dpp;
    dpp.item("sourceWin07", 1);
    dpp.text("dpp0Win", "0.5").text("dpp0AccyWin", "0.25").text("dpp1Win", "1");
    dpp.text("dpp1AccyWin", "0.25").text("dpp2Win", "2").text("dpp2AccyWin", "0.25");
    EXPECT_EQ(frames(buildSet(d, 3, dpp.fn())),
              setFrame(0x36, 0x07, "00 01 00 00 00 3F 00 00 80 3E") + " | " +
                  setFrame(0x36, 0x07, "01 01 00 00 80 3F 00 00 80 3E") + " | " +
                  setFrame(0x36, 0x07, "02 01 00 00 00 40 00 00 80 3E"));
    Inputs sw;
    sw.item("sourceWin05", 1).item("dirSwSenseWin", 1).text("dirSwConfidenceSpeedWin", "20");
    EXPECT_EQ(frames(buildSet(d, 2, sw.fn())), "81 01 36 05 80 01 14 2C 82");
    sw.text("dirSwConfidenceSpeedWin", "256");
    EXPECT_EQ(buildSet(d, 2, sw.fn()).error,
              "Direction Switch (0x05): Conf Spd: 256 is out of range (0 to 255).");
    Inputs noSource = dpp;
    noSource.item("sourceWin07", -1);
    EXPECT_EQ(buildSet(d, 3, noSource.fn()).error, "DPP (0x07): Source: no item selected.");
    dpp.text("dpp2AccyWin", "1e39");
    EXPECT_EQ(buildSet(d, 3, dpp.fn()).error,
              "DPP (0x07): DPP Accy 2: 1e39 is out of range (a 32-bit float).");
    // An acknowledgement of a DPP Set answers its index.
    auto ack = matchAck(d, AckRecord{0x36, 0x07, 2, 0}, {});
    ASSERT_TRUE(ack);
    EXPECT_EQ(ack->group, 3);
    EXPECT_EQ(ack->pendingKey, 2);
}

TEST(PacketDialogs, SoftEventMaskAndLogs) {
    const DialogSpec& d = softEventDialog();
    const FieldSpec& events = *d.fields(0).front();
    ASSERT_EQ(events.items.size(), 47u);
    EXPECT_STREQ(events.items.front().text, "No event recorded in this entry.");
    EXPECT_STREQ(events.items.back().text, "No event in log.");
    auto itemOf = [&](const char* text) {
        for (size_t i = 0; i < events.items.size(); ++i)
            if (std::string(events.items[i].text) == text) return int(i);
        return -1;
    };

    Inputs open;
    open.item("softEvtComboBoxWin", itemOf("Antenna open detected.")).item("evtMaskComboBoxWin", 2);
    EXPECT_EQ(frames(buildSet(d, 0, open.fn())), setFrame(0x2E, 0x01, "70 03"));
    EXPECT_EQ(frames(buildQuery(d, 0, open.fn())), "81 02 2E 01 70 5C 82");
    Inputs noMask = open;
    noMask.item("evtMaskComboBoxWin", -1);
    EXPECT_EQ(buildSet(d, 0, noMask.fn()).error, "Soft Event Mask (0x2E): Mask: no item selected.");

    // A reply for another event than the selected one is not the window's; 3 selects item 2.
    Inputs shortSel;
    shortSel.item("softEvtComboBoxWin", itemOf("Antenna short detected."));
    EXPECT_FALSE(showReply(d, 0x2E, 0x01, "70 03", shortSel).match);
    EXPECT_EQ(showReply(d, 0x2E, 0x01, "70 03", open).controls["evtMaskComboBoxWin"],
              "Report As Detected");
    EXPECT_EQ(showReply(d, 0x2E, 0x01, "70 02", open).controls["evtMaskComboBoxWin"], "");
    EXPECT_TRUE(matchAck(d, AckRecord{0x2E, 0x01, 0x70, 0}, open.fn()));
    EXPECT_FALSE(matchAck(d, AckRecord{0x2E, 0x01, 0x71, 0}, open.fn()));

    // The logs: an index box of a byte; every entry is the window's, whatever its index.
    Inputs index;
    index.text("softIndexWin", "0").text("fatalIndexWin", "3");
    EXPECT_EQ(frames(buildQuery(d, 1, index.fn())), "81 02 14 01 00 E6 82");
    EXPECT_EQ(frames(buildQuery(d, 2, index.fn())), "81 02 14 02 03 E2 82");
    index.text("softIndexWin", "256");
    EXPECT_EQ(buildQuery(d, 1, index.fn()).error,
              "Soft Event Log Query (0x14-01): Soft event log index: 256 is out of range (0 to "
              "255).");
    Shown entry = showReply(d, 0x14, 0x02, "05 21 21 06 0E 0D 05 09 D7 07", index);
    ASSERT_TRUE(entry.match);
    EXPECT_EQ(entry.match->group, 2);
    EXPECT_TRUE(entry.controls.empty()) << "the index box keeps what the user typed";

    struct Line {
        SoftEventRecord entry;
        bool fatal;
        const char* text;
    };
    const Line lines[] = {
        {{0, 2007, 6, 14, 13, 5, 9, 0x0001},
         false,
         "0::06/14/2007 13:05:09 System performed a warm reset."},
        {{3, 2024, 5, 13, 9, 41, 7, 0x2121},
         true,
         "3::05/13/2024 09:41:07 Failure to open serial port."},
        {{1, 2024, 12, 1, 0, 0, 0, 0x5000},
         true,
         "1::12/01/2024 00:00:00 Unknown Fatal Error (0x5000)."},
        {{2, 2024, 1, 2, 3, 4, 5, 0x103F}, false, "2::01/02/2024 03:04:05 Unknown Event (0x3f)."},
    };
    for (const Line& l : lines) EXPECT_EQ(logEntryLine(l.entry, l.fatal), l.text);
}

} // namespace
