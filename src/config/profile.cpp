#include "config/profile.h"

#include "config/dialog_tables.h"
#include "link/event_texts.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <map>

namespace vx {

namespace {

// The one list of configuration dialogs. A dialog added here joins save, verify, apply and
// diff; a settings group's dialog needs a name, one of packets of several fields takes its
// layouts' names. RTC, time and position initialisation (0x29) are not configuration.
constexpr ConfigDialog kConfigDialogs[] = {
    {engineRateDialog, "engine_rate"}, {gpsConfigDialog, "gps_config"},
    {kalmanDialog, "kalman"},          {drFilterDialog, "dr_filter"},
    {intervalControlDialog, nullptr},  {softEventDialog, nullptr},
    {drCalibrationDialog, nullptr},    {nmeaControlDialog, nullptr},
    {diagOutputDialog, nullptr},
};

std::string_view trim(std::string_view s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
    return s;
}

// A label as a name: "DR Engine Rate:" → DR_Engine_Rate.
std::string labelName(const FieldSpec& f) {
    std::string out;
    for (char c : fieldName(f)) {
        if (c == ' ')
            out += '_';
        else if (std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-')
            out += c;
    }
    return out;
}

std::string hex2(int v) {
    char b[4];
    std::snprintf(b, sizeof b, "%02X", v & 0xFF);
    return b;
}

WireType wireOf(const DialogSpec& d, const FieldSpec& f) {
    const FieldPlace p = placeOf(d, f);
    return p.index >= 0 ? p.layout->fields[size_t(p.index)].type : WireType::F32;
}

// The item of a list that stands for exactly this wire value, or -1.
int exactItem(const FieldSpec& f, double wire) {
    for (size_t i = 0; i < f.items.size(); ++i)
        if (f.items[i].value == wire) return int(i);
    return -1;
}

// A number as the dialog shows it, or with as many more digits as it takes to read back as the
// same wire value.
std::string numberText(const DialogSpec& d, const FieldSpec& f, double wire) {
    const WireType t = wireOf(d, f);
    std::string text = showNumber(f, wire);
    auto same = [&](const std::string& s) {
        FieldRead r = readNumber(f, t, s);
        return r.value && *r.value == wire;
    };
    if (same(text)) return text;
    FieldSpec wide = f;
    for (const char* format : {"%.9g", "%.12g", "%.17g"}) {
        wide.format = format;
        text = showNumber(wide, wire);
        if (same(text)) return text;
    }
    return text;
}

ControlInput inputFromWire(const DialogSpec& d, const FieldSpec& f, double wire) {
    ControlInput in;
    switch (f.kind) {
    case FieldKind::Choice:
    case FieldKind::Radio:
    case FieldKind::Text:
        in.item = exactItem(f, wire);
        break;
    case FieldKind::Check:
        in.checked = wire != 0;
        break;
    case FieldKind::Number:
        in.text = numberText(d, f, wire);
        break;
    }
    return in;
}

// A message of the settings dialog base without the field's name in front.
std::string reason(const FieldSpec& f, const std::string& error) {
    const std::string prefix = fieldName(f) + ": ";
    return error.compare(0, prefix.size(), prefix) == 0 ? error.substr(prefix.size()) : error;
}

std::vector<ConfigGroup> buildGroups() {
    std::vector<ConfigGroup> out;
    for (const ConfigDialog& cd : kConfigDialogs) {
        const DialogSpec& d = cd.dialog();
        for (int g = 0; g < int(d.groups.size()); ++g) {
            const GroupSpec& gs = d.groups[size_t(g)];
            const std::vector<uint8_t> subs = d.subcodes(g);
            if (!gs.setButton || subs.empty()) continue; // read only: not configuration
            const PacketLayout* l = d.layout(g, subs.front());
            if (!l) continue;
            ConfigGroup cg;
            cg.dialog = &d;
            cg.group = g;
            cg.name = cd.name ? cd.name : std::string(l->name);
            for (const FieldSpec* f : d.fields(g)) {
                if (f->kind == FieldKind::Text || f->sendOnly) continue;
                const FieldPlace p = placeOf(d, *f);
                if (!f->bits && p.index >= 0 && p.index == l->subcodeField()) {
                    cg.subcodeControl = f;
                    continue;
                }
                if (!f->bits && gs.keys.empty() && p.index >= 0 && p.index == l->keyField()) {
                    cg.keyControl = f;
                    continue;
                }
                std::string name = f->bits    ? std::string(f->bits)
                                   : f->field ? std::string(f->field)
                                              : labelName(*f);
                if (f->key >= 0) name += "[" + std::to_string(f->key) + "]";
                cg.fields.push_back({f, name});
            }
            cg.keys = !gs.keys.empty()    ? EntryKeys::Listed
                      : cg.subcodeControl ? EntryKeys::Target
                      : cg.keyControl     ? EntryKeys::Key
                                          : EntryKeys::None;
            out.push_back(std::move(cg));
        }
    }
    return out;
}

} // namespace

std::span<const ConfigDialog> configDialogs() {
    return kConfigDialogs;
}

const ConfigField* ConfigGroup::field(std::string_view n) const {
    for (const ConfigField& f : fields)
        if (f.name == n) return &f;
    return nullptr;
}

const std::vector<ConfigGroup>& configGroups() {
    static const std::vector<ConfigGroup> groups = buildGroups();
    return groups;
}

const ConfigGroup* configGroup(std::string_view name) {
    // The groups of one settings dialog share its name: the first stands for them.
    for (const ConfigGroup& g : configGroups())
        if (g.name == name) return &g;
    return nullptr;
}

std::string unitName(const ConfigUnit& u) {
    std::string s = u.group ? u.group->name : "?";
    if (u.subcode >= 0 || u.key >= 0) {
        s += '[';
        if (u.subcode >= 0) s += hex2(u.subcode);
        if (u.key >= 0) s += hex2(u.key);
        s += ']';
    }
    return s;
}

std::span<const SaveTarget> defaultSaveTargets() {
    // The receiver's periodic reports.
    static constexpr SaveTarget kTargets[] = {{0x16, 0x01}, {0x30, 0x02}, {0x30, 0x03},
                                              {0x31, 0x01}, {0x32, 0x01}, {0x32, 0x02},
                                              {0x32, 0x03}, {0x33, 0x01}};
    return kTargets;
}

std::vector<ConfigUnit> saveUnits(std::span<const SaveTarget> targets) {
    std::vector<ConfigUnit> out;
    for (const ConfigGroup& g : configGroups()) {
        switch (g.keys) {
        case EntryKeys::None:
        case EntryKeys::Listed:
            out.push_back({&g});
            break;
        case EntryKeys::Target:
            for (const SaveTarget& t : targets) out.push_back({&g, t.code, t.subcode});
            break;
        case EntryKeys::Key:
            // The key control's list names every entry (the soft events).
            for (const ChoiceItem& item : g.keyControl->items)
                out.push_back({&g, -1, int(item.value)});
            break;
        }
    }
    return out;
}

// ---- Values and texts ---------------------------------------------------------------------

InputOf unitInput(const ConfigUnit& u, const std::vector<std::optional<double>>& values) {
    return [u, values](const FieldSpec& f) -> ControlInput {
        const ConfigGroup& g = *u.group;
        if (&f == g.subcodeControl && u.subcode >= 0) return inputFromWire(*g.dialog, f, u.subcode);
        if (&f == g.keyControl && u.key >= 0) return inputFromWire(*g.dialog, f, u.key);
        for (size_t i = 0; i < g.fields.size() && i < values.size(); ++i)
            if (g.fields[i].spec == &f && values[i]) return inputFromWire(*g.dialog, f, *values[i]);
        return ControlInput{};
    };
}

FieldRead readFieldText(const ConfigGroup& g, const ConfigField& field, std::string_view text) {
    const FieldSpec& f = *field.spec;
    ControlInput in;
    FieldRead r;
    switch (f.kind) {
    case FieldKind::Choice:
    case FieldKind::Radio:
    case FieldKind::Text: {
        for (size_t i = 0; i < f.items.size() && in.item < 0; ++i)
            if (text == f.items[i].text) in.item = int(i);
        if (in.item < 0) {
            std::string items;
            for (size_t i = 0; i < f.items.size() && i < 8; ++i)
                items += (i ? ", " : "") + std::string(f.items[i].text);
            if (f.items.size() > 8) items += ", ...";
            r.error = "'" + std::string(text) + "' is not an item of the list (" + items + ")";
            return r;
        }
        break;
    }
    case FieldKind::Check:
        if (text != "0" && text != "1") {
            r.error = "'" + std::string(text) + "' is neither 1 (checked) nor 0";
            return r;
        }
        in.checked = text == "1";
        break;
    case FieldKind::Number:
        in.text = std::string(text);
        break;
    }
    r = readControl(*g.dialog, f, in);
    if (!r.value) r.error = reason(f, r.error);
    return r;
}

std::optional<std::string> fieldText(const ConfigGroup& g, const ConfigField& field, double wire) {
    const FieldSpec& f = *field.spec;
    switch (f.kind) {
    case FieldKind::Choice:
    case FieldKind::Radio:
    case FieldKind::Text: {
        const int item = exactItem(f, wire);
        if (item < 0) return std::nullopt;
        return std::string(f.items[size_t(item)].text);
    }
    case FieldKind::Check:
        return std::string(wire != 0 ? "1" : "0");
    case FieldKind::Number:
        return numberText(*g.dialog, f, wire);
    }
    return std::nullopt;
}

double fieldWire(const ConfigGroup& g, const ConfigField& f, const FieldValues& values) {
    const FieldPlace p = placeOf(*g.dialog, *f.spec);
    if (p.index < 0) return 0;
    const double v = values[size_t(p.index)];
    return p.bits ? double(readBits(*p.bits, v)) : v;
}

// ---- Profiles -----------------------------------------------------------------------------

std::string ProfileValue::name() const {
    return unitName(unit) + "." + (field ? field->name : "?");
}

std::vector<ConfigUnit> Profile::units() const {
    std::vector<ConfigUnit> out;
    for (const ProfileValue& v : values)
        if (std::find(out.begin(), out.end(), v.unit) == out.end()) out.push_back(v.unit);
    return out;
}

const ProfileValue* Profile::find(const ConfigUnit& u, const ConfigField* f) const {
    for (const ProfileValue& v : values)
        if (v.unit == u && v.field == f) return &v;
    return nullptr;
}

namespace {

// The group that holds a field of this name among the groups of one name (the groups of a
// settings dialog share its name).
const ConfigGroup* groupWithField(std::string_view group, std::string_view field,
                                  const ConfigField** found) {
    for (const ConfigGroup& g : configGroups()) {
        if (g.name != group) continue;
        if (const ConfigField* f = g.field(field)) {
            *found = f;
            return &g;
        }
    }
    return nullptr;
}

std::optional<int> hexKey(std::string_view s) {
    if (s.size() != 2) return std::nullopt;
    int v = 0;
    for (char c : s) {
        if (!std::isxdigit(static_cast<unsigned char>(c))) return std::nullopt;
        v = v * 16 +
            (std::isdigit(static_cast<unsigned char>(c)) ? c - '0' : (c | 0x20) - 'a' + 10);
    }
    return v;
}

// Reads "name[KEY].field" into the unit and field, or says why not.
std::string readName(std::string_view name, ConfigUnit& unit, const ConfigField*& field) {
    const size_t dot = name.find('.');
    const size_t bracket = name.find('[');
    if (dot == std::string_view::npos || dot == 0)
        return "'" + std::string(name) + "' is not group.field";
    std::string_view group = name.substr(0, std::min(dot, bracket));
    std::string_view key;
    std::string_view rest = name.substr(dot + 1);
    if (bracket < dot) {
        const size_t close = name.find(']', bracket);
        if (close == std::string_view::npos || close + 1 != dot)
            return "'" + std::string(name) + "': a key in brackets goes before the '.'";
        key = name.substr(bracket + 1, close - bracket - 1);
    }
    if (!configGroup(group)) return "unknown group '" + std::string(group) + "'";
    const ConfigGroup* g = groupWithField(group, rest, &field);
    if (!g) return "unknown field '" + std::string(group) + "." + std::string(rest) + "'";
    unit = ConfigUnit{g};
    const std::string gname(group);
    switch (g->keys) {
    case EntryKeys::None:
    case EntryKeys::Listed:
        if (bracket < dot) return "'" + gname + "' takes no key in brackets";
        break;
    case EntryKeys::Key: {
        auto k = hexKey(key);
        if (!k) return "'" + gname + "' needs its key as two hex digits in brackets ([61])";
        unit.key = *k;
        break;
    }
    case EntryKeys::Target: {
        auto c = key.size() == 4 ? hexKey(key.substr(0, 2)) : std::nullopt;
        auto s = key.size() == 4 ? hexKey(key.substr(2, 2)) : std::nullopt;
        if (!c || !s)
            return "'" + gname + "' needs its target code and subcode as four hex digits in " +
                   "brackets ([3002])";
        unit.subcode = *c;
        unit.key = *s;
        break;
    }
    }
    // A key the key control cannot hold (an event code the list does not name).
    if (g->keyControl && (g->keyControl->kind == FieldKind::Choice) &&
        exactItem(*g->keyControl, unit.key) < 0)
        return "'" + gname + "': no entry " + hex2(unit.key);
    return {};
}

} // namespace

ProfileParse parseProfile(std::string_view text) {
    ProfileParse out;
    std::map<std::string, int> seen;
    size_t refused = 0;
    auto refuse = [&](int line, const std::string& why) {
        if (++refused <= kMaxParseErrors)
            out.errors.push_back("line " + std::to_string(line) + ": " + why);
    };
    int lineNo = 0;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        std::string_view raw = text.substr(pos, end - pos);
        pos = end + 1;
        ++lineNo;
        std::string_view line = trim(raw);
        if (line.empty()) continue;
        if (line.front() == '#') {
            if (out.profile.values.empty() && refused == 0)
                out.profile.header.emplace_back(trim(line.substr(1)));
            continue;
        }
        const size_t eq = line.find('=');
        if (eq == std::string_view::npos) {
            refuse(lineNo, "no '=' (a line is group.field = value)");
            continue;
        }
        const std::string_view name = trim(line.substr(0, eq));
        const std::string_view value = trim(line.substr(eq + 1));
        ProfileValue v;
        v.line = lineNo;
        if (std::string why = readName(name, v.unit, v.field); !why.empty()) {
            refuse(lineNo, why);
            continue;
        }
        const std::string full = v.name();
        if (value.empty()) {
            refuse(lineNo, full + ": no value");
            continue;
        }
        FieldRead r = readFieldText(*v.unit.group, *v.field, value);
        if (!r.value) {
            refuse(lineNo, full + ": " + r.error);
            continue;
        }
        if (auto it = seen.find(full); it != seen.end()) {
            refuse(lineNo,
                   full + " is given twice (first on line " + std::to_string(it->second) + ")");
            continue;
        }
        seen[full] = lineNo;
        v.text = std::string(value);
        v.wire = *r.value;
        out.profile.values.push_back(std::move(v));
    }
    if (refused > kMaxParseErrors)
        out.errors.push_back("... and " + std::to_string(refused - kMaxParseErrors) +
                             " more lines refused");
    return out;
}

std::string writeProfile(const Profile& p) {
    std::string out;
    for (const std::string& h : p.header) out += (h.empty() ? "#" : "# " + h) + "\r\n";
    for (const ProfileValue& v : p.values) out += v.name() + " = " + v.text + "\r\n";
    return out;
}

std::vector<std::string> applyRefusals(const Profile& p) {
    std::vector<std::string> out;
    for (const ConfigUnit& u : p.units()) {
        const ConfigGroup& g = *u.group;
        if (g.dialog->settings && g.dialog->groups[size_t(g.group)].code == 0)
            continue; // one value per packet: any of them may be set alone
        // An entry whose source is one only the receiver sets is not applied at all.
        bool own = false;
        for (const ConfigField& f : g.fields) {
            const FieldSpec& s = *f.spec;
            const ProfileValue* v = s.disablesSetAt >= 0 ? p.find(u, &f) : nullptr;
            own = own || (v && v->wire == s.items[size_t(s.disablesSetAt)].value);
        }
        if (own) continue;
        std::string missing;
        for (const ConfigField& f : g.fields)
            if (!p.find(u, &f)) missing += (missing.empty() ? "" : ", ") + f.name;
        if (!missing.empty())
            out.push_back(unitName(u) + ": no value for " + missing +
                          " (its packet is always written whole)");
    }
    return out;
}

// ---- Comparing ----------------------------------------------------------------------------

const char* fieldStateText(FieldState s) {
    switch (s) {
    case FieldState::Same:
        return "same";
    case FieldState::Different:
        return "different";
    case FieldState::NotAnswered:
        return "not answered";
    case FieldState::OnlyInFirst:
        return "only in first";
    case FieldState::OnlyInSecond:
        return "only in second";
    }
    return "?";
}

CompareSummary summarize(std::span<const FieldCompare> rows) {
    CompareSummary s;
    for (const FieldCompare& r : rows) {
        ++s.fields;
        switch (r.state) {
        case FieldState::Same:
            ++s.same;
            break;
        case FieldState::Different:
            ++s.different;
            break;
        case FieldState::NotAnswered:
            ++s.notAnswered;
            break;
        case FieldState::OnlyInFirst:
            ++s.onlyFirst;
            break;
        case FieldState::OnlyInSecond:
            ++s.onlySecond;
            break;
        }
    }
    return s;
}

std::string summaryLine(const CompareSummary& s) {
    std::string out = std::to_string(s.fields) + (s.fields == 1 ? " field: " : " fields: ") +
                      std::to_string(s.same) + " same";
    auto add = [&](size_t n, const char* what) {
        if (n) out += ", " + std::to_string(n) + " " + what;
    };
    add(s.different, "different");
    add(s.notAnswered, "not answered");
    add(s.onlyFirst, "only in first");
    add(s.onlySecond, "only in second");
    return out;
}

std::vector<FieldCompare> diffProfiles(const Profile& a, const Profile& b) {
    std::vector<FieldCompare> rows;
    for (const ProfileValue& v : a.values) {
        const ProfileValue* w = b.find(v.unit, v.field);
        if (!w) {
            rows.push_back({v.name(), v.text, "", FieldState::OnlyInFirst, ""});
            continue;
        }
        rows.push_back({v.name(), v.text, w->text,
                        v.wire == w->wire ? FieldState::Same : FieldState::Different, ""});
    }
    for (const ProfileValue& w : b.values)
        if (!a.find(w.unit, w.field))
            rows.push_back({w.name(), "", w.text, FieldState::OnlyInSecond, ""});
    return rows;
}

std::string compareTable(std::span<const FieldCompare> rows, std::string_view firstTitle,
                         std::string_view secondTitle) {
    size_t w0 = 5, w1 = firstTitle.size(), w2 = secondTitle.size();
    for (const FieldCompare& r : rows) {
        w0 = std::max(w0, r.name.size());
        w1 = std::max(w1, r.first.size());
        w2 = std::max(w2, r.second.size());
    }
    auto pad = [](std::string_view s, size_t w) {
        std::string out(s);
        out.resize(std::max(w, s.size()), ' ');
        return out;
    };
    std::string out =
        pad("Field", w0) + "  " + pad(firstTitle, w1) + "  " + pad(secondTitle, w2) + "  State\r\n";
    for (const FieldCompare& r : rows) {
        out += pad(r.name, w0) + "  " + pad(r.first, w1) + "  " + pad(r.second, w2) + "  " +
               fieldStateText(r.state);
        if (!r.note.empty()) out += " (" + r.note + ")";
        out += "\r\n";
    }
    out += summaryLine(summarize(rows)) + "\r\n";
    return out;
}

} // namespace vx
