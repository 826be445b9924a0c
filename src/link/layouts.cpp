#include "link/layouts.h"

#include <cmath>
#include <map>
#include <memory>
#include <mutex>

namespace vx {

namespace {

constexpr const PacketLayout* kLayouts[] = {
    &kSoftEventLogLayout,    &kFatalErrorLogLayout,   &kInitTimeLayout,
    &kInitLatLonLayout,      &kInitAltitudeLayout,    &kInitFrequencyLayout,
    &kInitHeadingLayout,     &kMapMatchLayout,        &kTachoDataLayout,
    &kEventTriggerLayout,    &kTimeTriggerLayout,     &kDistanceTriggerLayout,
    &kHeadingTriggerLayout,  &kEventMaskLayout,       &kZroLayout,
    &kGyroSensitivityLayout, &kDirectionSwitchLayout, &kDppLayout,
    &kZroRateLayout,         &kDrCalibrationLayout, // the catch-all of 0x36 last
    &kDiagOutputLayout,
};

// Every table is checked when it is compiled: fields within the value array and the layout
// buffer, no two fields on the same bytes, bits inside a field of the layout.
constexpr bool wellFormed(const PacketLayout& l) {
    if (l.fields.size() > kMaxFields || l.size > layout_detail::kMaxLayoutSize) return false;
    for (size_t i = 0; i < l.fields.size(); ++i) {
        const FieldDef& a = l.fields[i];
        if (a.offset < kNotCarried) return false;
        for (size_t j = i + 1; j < l.fields.size(); ++j) {
            const FieldDef& b = l.fields[j];
            if (a.name == b.name) return false;
            if (a.offset < 0 || b.offset < 0) {
                if (a.offset == kInSubcode && b.offset == kInSubcode) return false;
                continue;
            }
            const size_t a0 = size_t(a.offset), a1 = a0 + wireSize(a.type);
            const size_t b0 = size_t(b.offset), b1 = b0 + wireSize(b.type);
            if (a0 < b1 && b0 < a1) return false;
        }
    }
    if (l.keyBytes > l.size) return false;
    for (const BitDef& b : l.bits) {
        bool found = false;
        for (const FieldDef& f : l.fields)
            if (f.name == b.field) found = b.shift + b.width <= 8 * wireSize(f.type);
        if (!found || b.width == 0) return false;
    }
    return true;
}

constexpr bool allWellFormed() {
    for (const PacketLayout* l : kLayouts)
        if (!wellFormed(*l)) return false;
    return true;
}
static_assert(allWellFormed() && wellFormed(kRtcLayout) && wellFormed(kNmeaControlLayout));

std::vector<uint8_t> frameOf(uint8_t command, uint8_t code, uint8_t subcode, const uint8_t* bytes,
                             size_t n) {
    TxFrame f;
    f.enc().startFrame(command, code);
    f.enc().addByte(subcode);
    for (size_t i = 0; i < n; ++i) f.enc().addByte(bytes[i]);
    if (!f.enc().finishFrame()) return {};
    return std::vector<uint8_t>(f.data(), f.data() + f.size());
}

int sendBytes(FrameSink& sink, const std::vector<uint8_t>& frame) {
    if (frame.empty()) return -1;
    return sink.sendFrame(frame.data(), uint16_t(frame.size()));
}

} // namespace

int PacketLayout::fieldIndex(std::string_view fieldName) const {
    for (size_t i = 0; i < fields.size(); ++i)
        if (fields[i].name == fieldName) return int(i);
    return -1;
}

const BitDef* PacketLayout::bit(std::string_view bitName) const {
    for (const BitDef& b : bits)
        if (b.name == bitName) return &b;
    return nullptr;
}

int PacketLayout::subcodeField() const {
    for (size_t i = 0; i < fields.size(); ++i)
        if (fields[i].offset == kInSubcode) return int(i);
    return -1;
}

int PacketLayout::keyField() const {
    if (keyBytes == 0) return -1;
    for (size_t i = 0; i < fields.size(); ++i)
        if (fields[i].offset == 0) return int(i);
    return -1;
}

std::span<const PacketLayout* const> packetLayouts() {
    return kLayouts;
}

const PacketLayout* findLayout(uint8_t code, uint8_t subcode) {
    for (const PacketLayout* l : kLayouts)
        if (l->code == code && l->hasSubcode(subcode)) return l;
    return nullptr;
}

bool layout_detail::layoutBytes(const PacketLayout& l, const uint8_t* payload, size_t n,
                                uint8_t* out) {
    switch (l.length) {
    case LengthRule::Exact:
        if (n != l.size) return false;
        break;
    case LengthRule::AtLeast:
        if (n < l.size) return false;
        break;
    case LengthRule::Padded:
        break;
    }
    const size_t c = std::min(n, l.size);
    if (c) std::memcpy(out, payload, c);
    std::memset(out + c, 0, l.size - c);
    return true;
}

int decodeLayout(const PacketLayout& l, uint8_t subcode, const uint8_t* payload, size_t n,
                 FieldValues& values) {
    uint8_t bytes[layout_detail::kMaxLayoutSize];
    if (l.size > sizeof bytes || !layout_detail::layoutBytes(l, payload, n, bytes))
        return kErrLength;
    for (size_t i = 0; i < l.fields.size() && i < kMaxFields; ++i) {
        const FieldDef& f = l.fields[i];
        if (f.offset >= 0)
            values[i] = readWire(f.type, bytes + f.offset);
        else if (f.offset == kInSubcode)
            values[i] = subcode;
    }
    return 0;
}

bool layoutFits(const PacketLayout& l, const FieldValues& values) {
    for (size_t i = 0; i < l.fields.size() && i < kMaxFields; ++i)
        if (l.fields[i].offset != kNotCarried && !fitsWire(l.fields[i].type, values[i]))
            return false;
    return l.fields.size() <= kMaxFields;
}

void encodeLayout(const PacketLayout& l, const FieldValues& values, uint8_t* out) {
    std::memset(out, 0, l.size);
    for (size_t i = 0; i < l.fields.size() && i < kMaxFields; ++i)
        if (l.fields[i].offset >= 0)
            writeSetting(l.fields[i].type, values[i], out + l.fields[i].offset);
}

std::optional<uint8_t> layoutSubcode(const PacketLayout& l, const FieldValues& values,
                                     std::optional<uint8_t> subcode) {
    const int sf = l.subcodeField();
    if (sf >= 0) {
        const double v = values[size_t(sf)];
        if (!fitsWire(WireType::U8, v)) return std::nullopt;
        subcode = uint8_t(v);
    }
    const uint8_t s = subcode.value_or(l.firstSubcode);
    if (!l.hasSubcode(s)) return std::nullopt;
    return s;
}

std::vector<uint8_t> layoutSetFrame(const PacketLayout& l, const FieldValues& values,
                                    std::optional<uint8_t> subcode) {
    const std::optional<uint8_t> s = layoutSubcode(l, values, subcode);
    if (!s || !layoutFits(l, values) || l.size > layout_detail::kMaxLayoutSize) return {};
    uint8_t bytes[layout_detail::kMaxLayoutSize];
    encodeLayout(l, values, bytes);
    return frameOf(kCmdSet, l.code, *s, bytes, l.size);
}

std::vector<uint8_t> layoutQueryFrame(const PacketLayout& l, uint8_t subcode,
                                      std::span<const uint8_t> key) {
    if (!l.hasSubcode(subcode)) return {};
    return frameOf(kCmdQuery, l.code, subcode, key.data(), key.size());
}

int sendLayoutSet(FrameSink& sink, const PacketLayout& l, const FieldValues& values,
                  std::optional<uint8_t> subcode) {
    return sendBytes(sink, layoutSetFrame(l, values, subcode));
}

int sendLayoutQuery(FrameSink& sink, const PacketLayout& l, uint8_t subcode,
                    std::span<const uint8_t> key) {
    return sendBytes(sink, layoutQueryFrame(l, subcode, key));
}

namespace {

// The one-field layouts of a settings group, made on first use.
struct SettingLayouts {
    explicit SettingLayouts(const SettingsGroup& g) {
        fields.reserve(g.defs.size()); // the layouts' spans point into it: no reallocation
        layouts.reserve(g.defs.size());
        for (const SettingDef& d : g.defs) {
            fields.push_back({d.name, d.type, 0});
            layouts.push_back(makeLayout(d.name, g.code, d.subcode, d.subcode,
                                         std::span(&fields.back(), 1), {}, g.length));
        }
    }
    std::vector<FieldDef> fields;
    std::vector<PacketLayout> layouts;
};

} // namespace

const PacketLayout* settingLayout(const SettingsGroup& g, uint8_t subcode) {
    static std::mutex lock;
    static std::map<const SettingsGroup*, std::unique_ptr<SettingLayouts>> made;
    const SettingDef* d = g.find(subcode);
    if (!d) return nullptr;
    std::lock_guard<std::mutex> hold(lock);
    std::unique_ptr<SettingLayouts>& m = made[&g];
    if (!m) m = std::make_unique<SettingLayouts>(g);
    return &m->layouts[size_t(d - g.defs.data())];
}

uint32_t readBits(const BitDef& b, double fieldValue) {
    const uint32_t v = settingAs<uint32_t>(fieldValue);
    return (v & b.mask()) >> b.shift;
}

double writeBits(const BitDef& b, double fieldValue, uint32_t bits) {
    const uint32_t v = settingAs<uint32_t>(fieldValue);
    return double((v & ~b.mask()) | ((bits << b.shift) & b.mask()));
}

} // namespace vx
