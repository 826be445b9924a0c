#include "console/settings_dialog.h"

#include "console/field_text.h"
#include "link/angles.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <type_traits>
#include <variant>

namespace vx {

// ---- Fields ------------------------------------------------------------------------------------

const FieldSpec* DialogSpec::field(uint8_t subcode) const {
    for (const SectionSpec& s : sections)
        for (const FieldSpec& f : s.fields)
            if (f.subcode == subcode) return &f;
    return nullptr;
}

int DialogSpec::groupOf(uint8_t subcode) const {
    if (!field(subcode)) return -1;
    for (size_t g = 0; g < groups.size(); ++g)
        if (subcode >= groups[g].first && subcode <= groups[g].last) return int(g);
    return -1;
}

namespace {
// True when f is one of the section's fields.
bool holds(const SectionSpec& s, const FieldSpec& f) {
    const std::less<const FieldSpec*> before;
    return !s.fields.empty() && !before(&f, s.fields.data()) &&
           before(&f, s.fields.data() + s.fields.size());
}
} // namespace

int DialogSpec::groupOf(const FieldSpec& f) const {
    for (const SectionSpec& s : sections) {
        if (!holds(s, f)) continue;
        if (s.group >= 0) return size_t(s.group) < groups.size() ? s.group : -1;
        break;
    }
    for (size_t g = 0; g < groups.size(); ++g)
        if (f.subcode >= groups[g].first && f.subcode <= groups[g].last) return int(g);
    return -1;
}

std::vector<const FieldSpec*> DialogSpec::fields(int group) const {
    std::vector<const FieldSpec*> out;
    for (const SectionSpec& s : sections)
        for (const FieldSpec& f : s.fields)
            if (groupOf(f) == group) out.push_back(&f);
    return out;
}

std::vector<uint8_t> DialogSpec::subcodes(int group) const {
    std::vector<uint8_t> out;
    if (group < 0 || size_t(group) >= groups.size()) return out;
    const GroupSpec& g = groups[size_t(group)];
    for (const FieldSpec* f : fields(group))
        if (f->subcode >= g.first && f->subcode <= g.last) out.push_back(f->subcode);
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
    return out;
}

uint8_t DialogSpec::code(int group) const {
    if (group >= 0 && size_t(group) < groups.size() && groups[size_t(group)].code)
        return groups[size_t(group)].code;
    return settings ? settings().code : 0;
}

const PacketLayout* DialogSpec::layout(int group, uint8_t subcode) const {
    if (group < 0 || size_t(group) >= groups.size()) return nullptr;
    const GroupSpec& g = groups[size_t(group)];
    if (g.code == 0) return settings ? settingLayout(settings(), subcode) : nullptr;
    if (g.layout)
        return g.layout->code == g.code && g.layout->hasSubcode(subcode) ? g.layout : nullptr;
    return findLayout(g.code, subcode);
}

FieldPlace placeOf(const DialogSpec& d, const FieldSpec& f) {
    FieldPlace p;
    p.layout = d.layout(d.groupOf(f), f.subcode);
    if (!p.layout) return p;
    p.index = f.field ? p.layout->fieldIndex(f.field) : (p.layout->fields.empty() ? -1 : 0);
    if (f.bits) {
        p.bits = p.layout->bit(f.bits);
        if (!p.bits || p.index < 0 || p.layout->fields[size_t(p.index)].name != p.bits->field)
            p.index = -1; // bits the field does not have: a table fault, found by the tests
    }
    return p;
}

std::string showNumber(const FieldSpec& f, double wire) {
    if (f.convert == Convert::RadiansP) return formatNumber(f.format, wireToRadiansP(wire));
    return formatNumber(f.format, f.scale == 1 ? wire : wire * (1.0 / f.scale));
}

int itemForValue(const FieldSpec& f, double wire) {
    if (f.itemForValue) return f.itemForValue(wire);
    for (size_t i = 0; i < f.items.size(); ++i)
        if (f.items[i].value == wire) return int(i);
    return -1;
}

std::string fieldName(const FieldSpec& f) {
    std::string n = f.name ? f.name : f.label;
    while (!n.empty() && (n.back() == ':' || n.back() == ' ')) n.pop_back();
    return n;
}

namespace {

std::string rangeText(WireType t) {
    switch (t) {
    case WireType::U8:
        return "0 to 255";
    case WireType::U16:
        return "0 to 65535";
    case WireType::I16:
        return "-32768 to 32767";
    case WireType::U32:
        return "0 to 4294967295";
    case WireType::I32:
        return "-2147483648 to 2147483647";
    case WireType::F32:
        return "a 32-bit float";
    }
    return "";
}

void wireRange(WireType t, double& lo, double& hi) {
    switch (t) {
    case WireType::U8:
        lo = 0, hi = 255;
        return;
    case WireType::U16:
        lo = 0, hi = 65535;
        return;
    case WireType::I16:
        lo = -32768, hi = 32767;
        return;
    case WireType::U32:
        lo = 0, hi = 4294967295.0;
        return;
    case WireType::I32:
        lo = -2147483648.0, hi = 2147483647.0;
        return;
    case WireType::F32:
        lo = -kNoLimit, hi = kNoLimit;
        return;
    }
}

// A whole number in full, any other to nine digits.
std::string numberText(double v) {
    char b[40];
    if (v == std::trunc(v) && std::fabs(v) < 1e15)
        std::snprintf(b, sizeof b, "%.0f", v);
    else
        std::snprintf(b, sizeof b, "%.9g", v);
    return b;
}

// The range of the shown value a field takes: its own limits within what its wire field
// carries, in shown units.
std::string shownRangeText(const FieldSpec& f, WireType wire) {
    double lo = 0, hi = 0;
    wireRange(wire, lo, hi);
    if (f.convert == Convert::RadiansP) {
        lo = wireToRadiansP(lo);
        hi = wireToRadiansP(hi);
    } else if (f.scale != 1) {
        lo /= f.scale;
        hi /= f.scale;
    }
    lo = std::max(lo, f.min);
    const bool below = f.maxExcluded && f.max <= hi;
    hi = std::min(hi, f.max);
    if (std::isinf(lo) && std::isinf(hi)) return rangeText(wire);
    if (std::isinf(hi)) return "at least " + numberText(lo);
    return numberText(lo) + " to " + (below ? "below " : "") + numberText(hi);
}

double rounded(double v, Rounding r) {
    if (r == Rounding::HalfAwayFromZero && v < 0) return std::trunc(v - 0.5);
    return std::trunc(v + 0.5);
}

} // namespace

FieldRead readNumber(const FieldSpec& f, WireType wire, std::string_view text) {
    FieldRead r;
    const std::string name = fieldName(f);
    double v = 0;
    switch (f.readAs) {
    case ReadAs::Integer: {
        auto i = parseInteger(text);
        if (!i) {
            r.error = name + ": not a valid number.";
            return r;
        }
        v = double(*i);
        break;
    }
    case ReadAs::Real: {
        auto d = parseReal(text);
        if (!d) {
            r.error = name + ": not a valid number.";
            return r;
        }
        v = *d;
        break;
    }
    case ReadAs::Hex: {
        auto h = parseHex(text, 2);
        if (!h) {
            r.error = name + ": not a hexadecimal byte (1 or 2 digits).";
            return r;
        }
        v = double(*h);
        break;
    }
    }
    const bool limited = f.min != -kNoLimit || f.max != kNoLimit;
    const bool inLimits = v >= f.min && (f.maxExcluded ? v < f.max : v <= f.max);
    if (f.convert == Convert::RadiansP)
        v = rounded(v * kWireUnitsPerSemicircle / kSinglePi, f.rounding);
    else if (f.scale != 1)
        v = rounded(v * f.scale, f.rounding);
    if (!inLimits || !fitsWire(wire, v)) {
        const bool shown = limited || f.convert == Convert::RadiansP;
        r.error = name + ": " + std::string(text) + " is out of range (" +
                  (shown ? shownRangeText(f, wire) : rangeText(wire)) + ").";
        return r;
    }
    r.value = wire == WireType::F32 ? double(float(v)) : v;
    return r;
}

FieldRead readChoice(const FieldSpec& f, WireType wire, int item) {
    FieldRead r;
    if (item < 0 || size_t(item) >= f.items.size()) {
        r.error =
            f.noSelectionMessage ? f.noSelectionMessage : fieldName(f) + ": no item selected.";
        return r;
    }
    const double v = f.items[size_t(item)].value;
    if (!fitsWire(wire, v)) {
        r.error = fieldName(f) + ": the item's value does not fit the wire.";
        return r;
    }
    r.value = v;
    return r;
}

PacedScript setScript(const DialogSpec& d, std::span<const SettingValue> values) {
    return setSettingsScript(d.settings(), values, d.policy.setPauseMs);
}

PacedScript queryScript(const DialogSpec& d, int group) {
    if (d.groups.empty() || size_t(group) >= d.groups.size() || group < 0) return {};
    if (d.groups[size_t(group)].code == 0 && d.settings) {
        const std::vector<uint8_t> subs = d.subcodes(group);
        return querySettingsScript(d.settings(), subs);
    }
    return buildQuery(d, group, [](const FieldSpec&) { return ControlInput{}; }).script;
}

// ---- Controls, requests and replies ------------------------------------------------------------

FieldRead readControl(const DialogSpec& d, const FieldSpec& f, const ControlInput& in) {
    FieldRead r;
    if (f.kind == FieldKind::Text) return r;
    const FieldPlace p = placeOf(d, f);
    if (p.index < 0) {
        r.error = fieldName(f) + ": not a field of its packet.";
        return r;
    }
    const WireType wire = p.layout->fields[size_t(p.index)].type;
    switch (f.kind) {
    case FieldKind::Check:
        r.value = in.checked ? 1.0 : 0.0;
        break;
    case FieldKind::Choice:
    case FieldKind::Radio:
        r = readChoice(f, wire, in.item);
        break;
    case FieldKind::Number:
        r = readNumber(f, wire, in.text);
        break;
    case FieldKind::Text:
        break;
    }
    if (r.value && p.bits && *r.value > double(p.bits->mask() >> p.bits->shift)) {
        r.value.reset();
        r.error = fieldName(f) + ": the value does not fit its bits.";
    }
    return r;
}

ControlOutput showField(const DialogSpec& d, const FieldSpec& f, const FieldValues& values) {
    ControlOutput out;
    const FieldPlace p = placeOf(d, f);
    if (p.index < 0) return out;
    double v = values[size_t(p.index)];
    if (p.bits) v = readBits(*p.bits, v);
    switch (f.kind) {
    case FieldKind::Choice:
    case FieldKind::Radio:
    case FieldKind::Text:
        out.item = itemForValue(f, v);
        if (out.item >= 0) out.text = f.items[size_t(out.item)].text;
        break;
    case FieldKind::Check:
        out.checked = v != 0;
        break;
    case FieldKind::Number:
        out.text = showNumber(f, v);
        break;
    }
    return out;
}

namespace {

// The control of a group bound to a whole field of a layout (the key or the subcode), or
// nullptr.
const FieldSpec* controlOf(const DialogSpec& d, int group, uint8_t subcode, int fieldIndex) {
    if (fieldIndex < 0) return nullptr;
    for (const FieldSpec* f : d.fields(group)) {
        if (f->subcode != subcode || f->bits) continue;
        if (placeOf(d, *f).index == fieldIndex) return f;
    }
    return nullptr;
}

// The message of a refused control: where a dialog has boxes of its own per group, their
// caption says which group it is.
std::string refusal(const DialogSpec& d, const FieldSpec& f, const std::string& error) {
    for (const SectionSpec& s : d.sections)
        if (s.group >= 0 && s.caption && d.groups.size() > 1 && holds(s, f))
            return std::string(s.caption) + ": " + error;
    return error;
}

// A whole-byte value read from the control bound to a field (the key, the subcode).
std::optional<uint8_t> byteFrom(const DialogSpec& d, const FieldSpec& f, const InputOf& input,
                                RequestBuild& b) {
    FieldRead r = readControl(d, f, input(f));
    if (!r.value || !fitsWire(WireType::U8, *r.value)) {
        b.error = refusal(d, f, r.error.empty() ? fieldName(f) + ": not a byte." : r.error);
        b.field = &f;
        return std::nullopt;
    }
    return uint8_t(*r.value);
}

const GroupSpec* groupSpec(const DialogSpec& d, int group) {
    return group >= 0 && size_t(group) < d.groups.size() ? &d.groups[size_t(group)] : nullptr;
}

} // namespace

RequestBuild buildQuery(const DialogSpec& d, int group, const InputOf& input) {
    RequestBuild b;
    const GroupSpec* gs = groupSpec(d, group);
    if (!gs) {
        b.error = "No such group.";
        return b;
    }
    const std::vector<uint8_t> subs = d.subcodes(group);
    for (uint8_t s : subs) {
        const PacketLayout* l = d.layout(group, s);
        if (!l) continue;
        uint8_t wireSub = s;
        if (const FieldSpec* f = controlOf(d, group, s, l->subcodeField())) {
            auto v = byteFrom(d, *f, input, b);
            if (!v) return b;
            wireSub = *v;
        }
        std::vector<std::vector<uint8_t>> keys;
        if (l->keyBytes) {
            if (gs->queryKey >= 0) {
                keys.push_back({uint8_t(gs->queryKey)});
            } else if (!gs->keys.empty()) {
                for (uint8_t k : gs->keys) keys.push_back({k});
            } else if (const FieldSpec* f = controlOf(d, group, s, l->keyField())) {
                auto v = byteFrom(d, *f, input, b);
                if (!v) return b;
                keys.push_back({*v});
            } else {
                b.error = "Nothing names the entry to query.";
                return b;
            }
        } else {
            keys.push_back({});
        }
        for (const std::vector<uint8_t>& k : keys)
            b.script.push_back({layoutQueryFrame(*l, wireSub, k), 0});
    }
    b.keys = requestKeys(d, group);
    return b;
}

std::vector<uint8_t> requestKeys(const DialogSpec& d, int group) {
    const GroupSpec* gs = groupSpec(d, group);
    if (!gs) return {};
    if (!gs->keys.empty()) return std::vector<uint8_t>(gs->keys.begin(), gs->keys.end());
    return d.subcodes(group);
}

RequestBuild buildSet(const DialogSpec& d, int group, const InputOf& input,
                      const CompletePacket& complete) {
    RequestBuild b;
    const GroupSpec* gs = groupSpec(d, group);
    if (!gs) {
        b.error = "No such group.";
        return b;
    }
    const std::vector<const FieldSpec*> fields = d.fields(group);
    const std::vector<uint8_t> subs = d.subcodes(group);
    std::vector<int> keys;
    if (gs->keys.empty())
        keys.push_back(-1);
    else
        keys.assign(gs->keys.begin(), gs->keys.end());
    for (uint8_t s : subs) {
        const PacketLayout* l = d.layout(group, s);
        if (!l) continue;
        for (int k : keys) {
            // The packet's subcode and entry, unless a control gives them.
            FieldValues v{};
            if (l->subcodeField() >= 0) v[size_t(l->subcodeField())] = s;
            if (k >= 0 && l->keyField() >= 0) v[size_t(l->keyField())] = k;
            for (const FieldSpec* f : fields) {
                if (f->subcode != s || f->kind == FieldKind::Text) continue;
                if (k >= 0 && f->key >= 0 && f->key != k) continue;
                const FieldPlace p = placeOf(d, *f);
                FieldRead r = readControl(d, *f, input(*f));
                if (!r.value) {
                    b.error = refusal(d, *f, r.error);
                    b.field = f;
                    b.script.clear();
                    return b;
                }
                double& slot = v[size_t(p.index)];
                slot = p.bits ? writeBits(*p.bits, slot, uint32_t(*r.value)) : *r.value;
            }
            if (complete && !complete(*l, k, v)) {
                b.error = "The values cannot be sent.";
                b.script.clear();
                return b;
            }
            std::vector<uint8_t> frame = layoutSetFrame(*l, v, s);
            if (frame.empty()) {
                b.error = "The values do not fit the packet.";
                b.script.clear();
                return b;
            }
            b.script.push_back({std::move(frame), d.policy.setPauseMs});
        }
    }
    if (!b.script.empty()) b.script.back().pauseAfterMs = 0;
    b.keys = requestKeys(d, group);
    return b;
}

std::optional<ReplyMatch> matchReply(const DialogSpec& d, uint8_t code, uint8_t subcode,
                                     const FieldValues& values, const InputOf& input) {
    for (int g = 0; g < int(d.groups.size()); ++g) {
        if (d.code(g) != code) continue;
        const GroupSpec& gs = d.groups[size_t(g)];
        for (uint8_t s : d.subcodes(g)) {
            if (gs.code == 0 && s != subcode) continue; // a setting: its own subcode only
            const PacketLayout* l = d.layout(g, s);
            if (!l) continue;
            const FieldSpec* subcodeControl = controlOf(d, g, s, l->subcodeField());
            if (!subcodeControl && subcode != s) continue;
            if (subcodeControl && !l->hasSubcode(subcode)) continue;
            const int kf = l->keyField();
            const int key = kf >= 0 ? int(values[size_t(kf)]) : -1;
            if (gs.keyMustMatch) {
                RequestBuild ignored;
                if (subcodeControl) {
                    auto v = byteFrom(d, *subcodeControl, input, ignored);
                    if (!v || *v != subcode) continue;
                }
                if (const FieldSpec* kc = controlOf(d, g, s, kf)) {
                    auto v = byteFrom(d, *kc, input, ignored);
                    if (!v || int(*v) != key) continue;
                }
            }
            ReplyMatch m;
            m.group = g;
            m.subcode = s;
            m.key = key;
            m.pendingKey = !gs.keys.empty() && key >= 0 ? uint8_t(key) : s;
            return m;
        }
    }
    return std::nullopt;
}

std::optional<ReplyMatch> matchAck(const DialogSpec& d, const AckRecord& a, const InputOf& input) {
    // The acknowledgement names the code and subcode, and in its index byte the entry: as a
    // reply of the packet's layout would carry them.
    for (int g = 0; g < int(d.groups.size()); ++g) {
        if (d.code(g) != a.acked_code) continue;
        for (uint8_t s : d.subcodes(g)) {
            const PacketLayout* l = d.layout(g, s);
            if (!l) continue;
            const bool fromControl = controlOf(d, g, s, l->subcodeField()) != nullptr;
            if (!fromControl && s != a.acked_subcode) continue;
            FieldValues v{};
            if (l->keyField() >= 0) v[size_t(l->keyField())] = a.index;
            if (l->subcodeField() >= 0) v[size_t(l->subcodeField())] = a.acked_subcode;
            if (auto m = matchReply(d, a.acked_code, a.acked_subcode, v, input)) return m;
        }
    }
    return std::nullopt;
}

bool showsReply(const DialogSpec& d, const FieldSpec& f, const ReplyMatch& m) {
    if (f.sendOnly || f.subcode != m.subcode || d.groupOf(f) != m.group) return false;
    return f.key < 0 || f.key == m.key;
}

std::optional<FieldValues> replyValues(const RecordSnapshot& record, uint8_t subcode) {
    return std::visit(
        [subcode](const auto& r) -> std::optional<FieldValues> {
            using R = std::remove_cvref_t<decltype(r)>;
            if constexpr (LayoutRecord<R>) {
                return valuesOf(r);
            } else if constexpr (std::is_same_v<R, NmeaControlRecord>) {
                // kNmeaControlLayout: the interval, then the mask's bytes, most significant first.
                FieldValues v{};
                v[0] = r.interval;
                for (int i = 0; i < 4; ++i)
                    v[size_t(1 + i)] = (r.message_mask >> (24 - 8 * i)) & 0xFF;
                return v;
            } else if constexpr (requires { r.value.size(); }) {
                if (subcode < r.value.size()) {
                    FieldValues v{};
                    v[0] = r.value[subcode];
                    return v;
                }
            }
            return std::nullopt;
        },
        record);
}

} // namespace vx
