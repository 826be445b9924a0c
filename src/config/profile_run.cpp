#include "config/profile_run.h"

#include "link/ack_texts.h"
#include "link/record_format.h"

#include <algorithm>
#include <cstdio>

namespace vx {

namespace {

constexpr uint8_t kVersionCode = 0x11, kVersionSubcode = 0x01;

const GroupSpec& groupSpec(const ConfigUnit& u) {
    return u.group->dialog->groups[size_t(u.group->group)];
}

bool settingsGroup(const ConfigUnit& u) {
    return u.group->dialog->settings && groupSpec(u).code == 0;
}

// The texts of a wire value for the table: the field's text, or the number where a list names
// no item for it.
std::string shownText(const ConfigGroup& g, const ConfigField& f, double wire) {
    if (auto t = fieldText(g, f, wire)) return *t;
    char b[32];
    std::snprintf(b, sizeof b, "%.9g", wire);
    return b;
}

} // namespace

ProfileRun::ProfileRun(Mode mode, const Profile* profile) : mode_(mode) {
    if (profile) profile_ = *profile;
}

ProfileRun ProfileRun::save(std::vector<ConfigUnit> units) {
    ProfileRun run(Mode::Save, nullptr);
    // 1101: the receiver's version, for the header.
    Request v = request(Kind::Version, {});
    TxFrame f;
    f.enc().startFrame(kCmdQuery, kVersionCode);
    f.enc().addByte(kVersionSubcode);
    f.enc().finishFrame();
    v.script.push_back({std::vector<uint8_t>(f.data(), f.data() + f.size()), 0});
    run.requests_.push_back(std::move(v));
    for (const ConfigUnit& u : units) run.addQuery(u);
    return run;
}

ProfileRun ProfileRun::verify(const Profile& profile) {
    ProfileRun run(Mode::Verify, &profile);
    for (const ConfigUnit& u : run.profile_.units()) run.addQuery(u);
    return run;
}

ProfileRun ProfileRun::apply(const Profile& profile) {
    ProfileRun run(Mode::Apply, &profile);
    const std::vector<ConfigUnit> units = run.profile_.units();
    for (const ConfigUnit& u : units) run.addSet(u);
    for (const ConfigUnit& u : units) run.addQuery(u);
    return run;
}

void ProfileRun::addQuery(const ConfigUnit& u) {
    const DialogSpec& d = *u.group->dialog;
    const GroupSpec& gs = groupSpec(u);
    Request r = request(Kind::Query, u);
    RequestBuild b = buildQuery(d, u.group->group, unitInput(u));
    if (!b.ok()) return; // the keys were read when the profile was: cannot happen
    r.script = std::move(b.script);
    for (uint8_t s : d.subcodes(u.group->group)) {
        if (!gs.keys.empty()) {
            for (uint8_t k : gs.keys) r.expects.push_back(expect(s, k));
        } else {
            r.expects.push_back(expect(s, u.key));
        }
    }
    requests_.push_back(std::move(r));
}

void ProfileRun::addSet(const ConfigUnit& u) {
    const ConfigGroup& g = *u.group;
    const DialogSpec& d = *g.dialog;
    const GroupSpec& gs = groupSpec(u);
    Request r = request(Kind::Set, u);
    if (settingsGroup(u)) {
        // One value per packet: the values the profile gives, in table order.
        std::vector<SettingValue> values;
        for (const ConfigField& f : g.fields) {
            const ProfileValue* v = profile_.find(u, &f);
            if (!v) continue;
            values.push_back({f.spec->subcode, v->wire});
            r.sets.push_back(setFrame(f.spec->subcode, -1, {&f}));
        }
        if (values.empty()) return;
        r.script = setScript(d, values);
    } else {
        std::vector<std::optional<double>> values;
        for (const ConfigField& f : g.fields) {
            const ProfileValue* v = profile_.find(u, &f);
            values.push_back(v ? std::optional<double>(v->wire) : std::nullopt);
            // A source the receiver takes from its own fix cannot be written back (the dialog
            // disables its Set for it).
            const FieldSpec& s = *f.spec;
            if (v && s.disablesSetAt >= 0 && size_t(s.disablesSetAt) < s.items.size() &&
                v->wire == s.items[size_t(s.disablesSetAt)].value) {
                skipped_.push_back(unitName(u) + ": not set: " + f.name + " is " +
                                   s.items[size_t(s.disablesSetAt)].text +
                                   ", which only the receiver sets");
                return;
            }
        }
        RequestBuild b = buildSet(d, g.group, unitInput(u, values));
        if (!b.ok()) {
            skipped_.push_back(unitName(u) + ": not set: " + b.error);
            return;
        }
        // Bits no control holds keep what the receiver has (as the dialogs keep them): the
        // entry is read first and its frames built from that answer (buildDeferred).
        addQuery(u);
        requests_.back().before = true;
        r.deferred = true;
        r.values = std::move(values);
        std::vector<int> keys;
        if (gs.keys.empty())
            keys.push_back(u.key);
        else
            keys.assign(gs.keys.begin(), gs.keys.end());
        for (uint8_t s : d.subcodes(g.group)) {
            for (int k : keys) {
                SetFrame sf = setFrame(uint8_t(u.subcode >= 0 ? u.subcode : s), k, {});
                for (const ConfigField& f : g.fields)
                    if (f.spec->subcode == s &&
                        (f.spec->key < 0 || gs.keys.empty() || f.spec->key == k))
                        sf.fields.push_back(&f);
                r.sets.push_back(std::move(sf));
            }
        }
    }
    requests_.push_back(std::move(r));
}

namespace {

// The bits of a field that no BitDef of its layout names keep the value the receiver reported
// (the unnamed events of a 2Axx mask, the unused bits of a status byte).
void keepUnnamedBits(const PacketLayout& l, const FieldValues& reported, FieldValues& v) {
    for (size_t i = 0; i < l.fields.size() && i < kMaxFields; ++i) {
        uint32_t named = 0;
        for (const BitDef& b : l.bits)
            if (b.field == l.fields[i].name) named |= b.mask();
        const WireType t = l.fields[i].type;
        if (!named || t == WireType::F32 || t == WireType::I16 || t == WireType::I32) continue;
        const uint32_t all = wireSize(t) >= 4 ? 0xFFFFFFFFu : (1u << (8 * wireSize(t))) - 1;
        const uint32_t unnamed = all & ~named;
        v[i] = double((uint32_t(v[i]) & ~unnamed) | (uint32_t(reported[i]) & unnamed));
    }
}

} // namespace

bool ProfileRun::buildDeferred(Request& r) {
    r.deferred = false;
    const Request* before = current_ > 0 ? &requests_[current_ - 1] : nullptr;
    if (!before || !before->before || !(before->unit == r.unit)) return false;
    const DialogSpec& d = *r.unit.group->dialog;
    const int g = r.unit.group->group;
    bool answered = true;
    auto complete = [&](const PacketLayout& l, int key, FieldValues& v) {
        for (const Expect& e : before->expects) {
            if (!e.values || d.layout(g, e.subcode) != &l || (key >= 0 && e.key != key)) continue;
            keepUnnamedBits(l, *e.values, v);
            return true;
        }
        answered = false;
        return false;
    };
    RequestBuild b = buildSet(d, g, unitInput(r.unit, r.values), complete);
    if (!b.ok()) {
        skipped_.push_back(unitName(r.unit) + ": not set: " +
                           (answered ? b.error : "the receiver did not answer its Query"));
        return false;
    }
    r.script = std::move(b.script);
    return true;
}

void ProfileRun::start(FrameSink& sink, int64_t nowMs) {
    sink_ = &sink;
    current_ = 0;
    if (requests_.empty()) {
        finished_ = true;
        return;
    }
    requests_.front().sendAt = nowMs;
    pump(nowMs);
}

bool ProfileRun::complete(const Request& r) const {
    if (r.next < r.script.size()) return false;
    switch (r.kind) {
    case Kind::Version:
        return !version_.empty();
    case Kind::Query:
        return std::all_of(r.expects.begin(), r.expects.end(),
                           [](const Expect& e) { return e.done; });
    case Kind::Set:
        return std::all_of(r.sets.begin(), r.sets.end(), [](const SetFrame& s) { return s.acked; });
    }
    return true;
}

void ProfileRun::endRequest(Request& r) {
    for (Expect& e : r.expects) {
        if (e.done) continue;
        e.done = true;
        e.note = "no answer";
    }
    for (SetFrame& s : r.sets) {
        if (s.acked) continue;
        s.acked = true;
        for (const ConfigField* f : s.fields)
            refused_.push_back(unitName(r.unit) + "." + f->name + ": no acknowledgement");
    }
    ++current_;
    // A receiver that has answered nothing by now is not there: the rest would only wait out
    // their time-outs too.
    if (!answered_ && ++silent_ >= kSilentRequests) finished_ = true;
}

void ProfileRun::pump(int64_t nowMs) {
    while (!finished_ && current_ < requests_.size()) {
        Request& r = requests_[current_];
        if (r.deferred && !buildDeferred(r)) {
            // Nothing of the entry is sent.
            for (SetFrame& sf : r.sets) sf.acked = true;
            ++current_;
            if (current_ < requests_.size()) requests_[current_].sendAt = nowMs;
            continue;
        }
        if (r.next < r.script.size()) {
            if (nowMs < r.sendAt) return;
            const ScriptStep& step = r.script[r.next++];
            if (!step.frame.empty() &&
                sink_->sendFrame(step.frame.data(), uint16_t(step.frame.size())) != 0) {
                failure_ = "a frame could not be sent (the link is not running)";
                finished_ = true;
                return;
            }
            r.sendAt = nowMs + (r.next < r.script.size() ? step.pauseAfterMs : 0);
            if (r.next == r.script.size()) {
                const DialogSpec* d = r.unit.group ? r.unit.group->dialog : nullptr;
                r.deadline = nowMs + (timeoutMs_ > 0 ? timeoutMs_ : d ? d->policy.timeoutMs : 1000);
            }
            continue;
        }
        if (complete(r)) {
            ++current_;
        } else if (nowMs >= r.deadline) {
            endRequest(r);
        } else {
            return;
        }
        if (current_ < requests_.size()) requests_[current_].sendAt = nowMs;
    }
    if (current_ >= requests_.size()) finished_ = true;
}

void ProfileRun::tick(int64_t nowMs) {
    if (sink_) pump(nowMs);
}

std::optional<int64_t> ProfileRun::wakeAt() const {
    if (finished_ || !sink_ || current_ >= requests_.size()) return std::nullopt;
    const Request& r = requests_[current_];
    return r.next < r.script.size() ? r.sendAt : r.deadline;
}

bool ProfileRun::pausing() const {
    if (finished_ || !sink_ || current_ >= requests_.size()) return false;
    const Request& r = requests_[current_];
    return r.next < r.script.size();
}

void ProfileRun::packet(uint8_t code, uint8_t subcode, const RecordSnapshot& record,
                        int64_t nowMs) {
    if (finished_ || !sink_ || current_ >= requests_.size()) return;
    Request& r = requests_[current_];
    if (r.kind == Kind::Version) {
        if (code == kVersionCode && subcode == kVersionSubcode && version_.empty()) {
            std::string text;
            writeRecordText(text, record);
            while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
            version_ = "1101 " + text;
            answered_ = true;
        }
    } else if (r.kind == Kind::Query) {
        const ConfigUnit& u = r.unit;
        const DialogSpec& d = *u.group->dialog;
        if (code != d.code(u.group->group)) return;
        std::optional<FieldValues> values = replyValues(record, subcode);
        if (!values) return;
        std::optional<ReplyMatch> m = matchReply(d, code, subcode, *values, unitInput(u));
        if (!m || m->group != u.group->group) return;
        if (u.subcode >= 0 && subcode != u.subcode) return;
        if (u.key >= 0 && m->key != u.key) return;
        for (Expect& e : r.expects) {
            if (e.done || e.subcode != m->subcode || (e.key >= 0 && e.key != m->key)) continue;
            e.done = true;
            e.values = *values;
            answered_ = true;
            break;
        }
    }
    pump(nowMs);
}

void ProfileRun::ack(uint8_t command, const AckRecord& a, int64_t nowMs) {
    if (finished_ || !sink_ || current_ >= requests_.size()) return;
    Request& r = requests_[current_];
    if (r.kind == Kind::Version) {
        if (command == kCmdQuery && a.acked_code == kVersionCode && a.result != 0) {
            version_ = "no version: " + ackResultText(a.result);
            answered_ = true;
        }
        pump(nowMs);
        return;
    }
    const ConfigUnit& u = r.unit;
    const DialogSpec& d = *u.group->dialog;
    if (a.acked_code != d.code(u.group->group)) return;
    const bool keyed = u.key >= 0;
    if (u.subcode >= 0 && a.acked_subcode != u.subcode) return;
    if (keyed && a.index != u.key) return;
    answered_ = true;
    if (r.kind == Kind::Query && command == kCmdQuery) {
        if (a.result == 0) return;
        for (Expect& e : r.expects) {
            if (e.done || (u.subcode < 0 && e.subcode != a.acked_subcode)) continue;
            e.done = true;
            e.note = "refused: " + ackResultText(a.result);
        }
    } else if (r.kind == Kind::Set && command == kCmdSet) {
        for (SetFrame& s : r.sets) {
            if (s.acked || s.subcode != a.acked_subcode) continue;
            if (!keyed && s.key >= 0 && a.index != s.key) continue;
            s.acked = true;
            if (a.result != 0)
                for (const ConfigField* f : s.fields)
                    refused_.push_back(unitName(u) + "." + f->name + ": " +
                                       ackResultText(a.result));
            break;
        }
    }
    pump(nowMs);
}

std::string ProfileRun::status() const {
    if (finished_) return failure_.empty() ? "Done" : "Stopped: " + failure_;
    if (current_ >= requests_.size()) return {};
    const Request& r = requests_[current_];
    const std::string of =
        " (" + std::to_string(current_ + 1) + " of " + std::to_string(requests_.size()) + ")";
    switch (r.kind) {
    case Kind::Version:
        return "Querying the receiver's version" + of;
    case Kind::Query:
        return "Querying " + unitName(r.unit) + of;
    case Kind::Set:
        return "Setting " + unitName(r.unit) + of;
    }
    return {};
}

const ProfileRun::Request* ProfileRun::queryOf(const ConfigUnit& u) const {
    for (const Request& r : requests_)
        if (r.kind == Kind::Query && !r.before && r.unit == u) return &r;
    return nullptr;
}

std::vector<const ProfileRun::Expect*> ProfileRun::answersFor(const Request& q,
                                                              const ConfigField& f) const {
    std::vector<const Expect*> out;
    for (const Expect& e : q.expects)
        if (e.subcode == f.spec->subcode && (f.spec->key < 0 || e.key == f.spec->key))
            out.push_back(&e);
    return out;
}

std::string ProfileRun::savedText(const std::vector<std::string>& header,
                                  size_t* unanswered) const {
    std::string out;
    size_t comments = 0;
    for (const std::string& h : header) out += (h.empty() ? "#" : "# " + h) + "\r\n";
    for (const Request& q : requests_) {
        if (q.kind != Kind::Query || q.before) continue;
        const ConfigGroup& g = *q.unit.group;
        // The list whose item marks the entry's values as the receiver's own (the source "GPS
        // Fix" of a calibration): such values change as the receiver learns them, and cannot be
        // set, so they are not configuration.
        const ConfigField* source = nullptr;
        for (const ConfigField& f : g.fields)
            if (f.spec->disablesSetAt >= 0 && !source) source = &f;
        for (const ConfigField& f : g.fields) {
            const std::string name = unitName(q.unit) + "." + f.name;
            std::string note = "no answer";
            std::optional<double> wire;
            bool own = false;
            for (const Expect* e : answersFor(q, f)) {
                if (e->values) {
                    wire = fieldWire(g, f, *e->values);
                    if (source && source != &f) {
                        const FieldSpec& s = *source->spec;
                        own = fieldWire(g, *source, *e->values) ==
                              s.items[size_t(s.disablesSetAt)].value;
                    }
                    break;
                }
                if (!e->note.empty()) note = e->note;
            }
            if (wire && own) {
                out += "# " + name + " = " + shownText(g, f, *wire) +
                       ": the receiver's own value (" + source->name + " " +
                       source->spec->items[size_t(source->spec->disablesSetAt)].text +
                       "), not configuration\r\n";
            } else if (!wire) {
                ++comments;
                out += "# " + name + ": " + note + "\r\n";
            } else if (auto text = fieldText(g, f, *wire)) {
                out += name + " = " + *text + "\r\n";
            } else {
                ++comments;
                out += "# " + name + " = " + shownText(g, f, *wire) +
                       ": no item of the dialog's list names this value\r\n";
            }
        }
    }
    if (unanswered) *unanswered = comments;
    return out;
}

Profile ProfileRun::savedProfile() const {
    return parseProfile(savedText({})).profile;
}

std::vector<FieldCompare> ProfileRun::verifyRows() const {
    std::vector<FieldCompare> rows;
    for (const ProfileValue& v : profile_.values) {
        FieldCompare row{v.name(), v.text, "", FieldState::NotAnswered, "no answer"};
        const ConfigGroup& g = *v.unit.group;
        if (const Request* q = queryOf(v.unit)) {
            for (const Expect* e : answersFor(*q, *v.field)) {
                if (!e->values) {
                    if (!e->note.empty()) row.note = e->note;
                    continue;
                }
                const double wire = fieldWire(g, *v.field, *e->values);
                const bool same = wire == v.wire;
                // The first entry that differs speaks for the field.
                if (row.state == FieldState::NotAnswered ||
                    (row.state == FieldState::Same && !same)) {
                    row.second = shownText(g, *v.field, wire);
                    row.state = same ? FieldState::Same : FieldState::Different;
                    row.note.clear();
                }
            }
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

} // namespace vx
