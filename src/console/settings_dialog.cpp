#include "console/settings_dialog.h"

#include "console/field_text.h"

#include <cmath>

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

std::vector<uint8_t> DialogSpec::subcodes(int group) const {
    std::vector<uint8_t> out;
    if (group < 0 || size_t(group) >= groups.size()) return out;
    const GroupSpec& g = groups[size_t(group)];
    for (unsigned s = g.first; s <= g.last; ++s)
        if (field(uint8_t(s))) out.push_back(uint8_t(s));
    return out;
}

std::string showNumber(const FieldSpec& f, double wire) {
    return formatNumber(f.format, f.scale == 1 ? wire : wire * (1.0 / f.scale));
}

int itemForValue(const FieldSpec& f, double wire) {
    if (f.itemForValue) return f.itemForValue(wire);
    for (size_t i = 0; i < f.items.size(); ++i)
        if (f.items[i].value == wire) return int(i);
    return -1;
}

std::string fieldName(const FieldSpec& f) {
    std::string n = f.label;
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

} // namespace

FieldRead readNumber(const FieldSpec& f, WireType wire, std::string_view text) {
    FieldRead r;
    const std::string name = fieldName(f);
    double v = 0;
    if (f.readAs == ReadAs::Integer) {
        auto i = parseInteger(text);
        if (!i) {
            r.error = name + ": not a valid number.";
            return r;
        }
        v = double(*i);
    } else {
        auto d = parseReal(text);
        if (!d) {
            r.error = name + ": not a valid number.";
            return r;
        }
        v = *d;
    }
    if (f.scale != 1) v = std::trunc(v * f.scale + 0.5);
    if (!fitsWire(wire, v)) {
        r.error = name + ": " + std::string(text) + " is out of range (" + rangeText(wire) + ").";
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
    const std::vector<uint8_t> subs = d.subcodes(group);
    return querySettingsScript(d.settings(), subs);
}

} // namespace vx
