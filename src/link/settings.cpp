#include "link/settings.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace vx {

namespace {

using W = WireType;

// 0x21: the DR engine rate in Hz.
constexpr SettingDef kEngineRateDefs[] = {
    {0x01, "rate", W::U8},
};

// 0x24: GPS configuration, one setting per subcode.
constexpr SettingDef kGpsConfigDefs[] = {
    {0x01, "operating_dimension", W::U8}, // 0 auto 2D/3D, 3 altitude hold, 4 full position
    {0x02, "dgps_mode", W::U8},           // 0 require, 1 ignore, 2 if available
    {0x03, "dynamics_code", W::U8},       // 17 automobile
    {0x04, "elevation_mask", W::F32},     // degrees
    {0x05, "snr_mask", W::U16},           // dBHz x 5
    {0x06, "dop_mask", W::F32},           {0x07, "dop_switch", W::F32},
    {0x08, "dgps_age", W::U16}, // seconds
};

// 0x25: Kalman filter parameters, counts first, then reals.
constexpr SettingDef kKalmanDefs[] = {
    {0x01, "min_gain_index", W::U32},      // ms
    {0x02, "min_svs", W::U32},             //
    {0x03, "no_edit_amu5", W::U32},        // AMU x 5
    {0x04, "min_amu5", W::U32},            // AMU x 5
    {0x05, "max_edits", W::U32},           //
    {0x06, "max_gps_prop_time", W::U32},   //
    {0x07, "max_acc", W::F32},             // m/s^2
    {0x08, "max_vel", W::F32},             // m/s
    {0x09, "sigma_horiz_acc", W::F32},     // m/s^2
    {0x0A, "sigma_freq_acc", W::F32},      // m/s^2
    {0x0B, "carr_sig_sq", W::F32},         // m/s
    {0x0C, "max_accept_sigma_sq", W::F32}, // sigma^2
    {0x0D, "init_pos_var", W::F32},        // m^2
    {0x0E, "init_bias_var", W::F32},       // m^2
    {0x0F, "clock_mode_err", W::F32},      // m^2
    {0x10, "reject_ssr", W::F32},          // sigma^2
    {0x11, "sig_slope1_sq", W::F32},       // slope^2
    {0x12, "sig_slope2_sq", W::F32},       // slope^2
    {0x13, "max_slope3_sq", W::F32},       // slope^2
    {0x14, "min_vel_sq", W::F32},          // m/s
    {0x15, "alt_2d_var", W::F32},          // m^2
    {0x16, "flt_min_pos_var", W::F32},     // m^2
    {0x17, "flt_max_h_var", W::F32},       // m^2
};

// 0x27: DR filter parameters, 0x01..0x1B signed integers, 0x1C..0x70 reals. Output shows them
// as the two arrays "integer_params" and "real_params", so each setting carries its array's
// name.
constexpr auto kDrFilterDefs = [] {
    std::array<SettingDef, 0x70> defs{};
    for (int s = 0x01; s <= 0x70; ++s) {
        defs[size_t(s - 1)] = s <= 0x1B ? SettingDef{uint8_t(s), "integer_params", W::I32}
                                        : SettingDef{uint8_t(s), "real_params", W::F32};
    }
    return defs;
}();

// find() relies on ascending subcodes: checked when the tables are compiled.
constexpr bool ascending(std::span<const SettingDef> defs) {
    for (size_t i = 1; i < defs.size(); ++i)
        if (defs[i].subcode <= defs[i - 1].subcode) return false;
    return true;
}
static_assert(ascending(kEngineRateDefs) && ascending(kGpsConfigDefs) && ascending(kKalmanDefs) &&
              ascending(kDrFilterDefs));

bool lengthAccepted(LengthRule rule, size_t width, size_t n) {
    switch (rule) {
    case LengthRule::Exact:
        return n == width;
    case LengthRule::AtLeast:
        return n >= width;
    case LengthRule::Padded:
        return true;
    }
    return false;
}

// The Set frame of one value, or an empty frame when it does not fit its wire type.
std::vector<uint8_t> setFrame(const SettingsGroup& g, const SettingDef& d, double value) {
    if (!fitsWire(d.type, value)) return {};
    uint8_t bytes[4];
    size_t n = writeSetting(d.type, value, bytes);
    TxFrame f;
    f.enc().startFrame(kCmdSet, g.code);
    f.enc().addByte(d.subcode);
    for (size_t i = 0; i < n; ++i) f.enc().addByte(bytes[i]);
    if (!f.enc().finishFrame()) return {};
    return std::vector<uint8_t>(f.data(), f.data() + f.size());
}

std::vector<uint8_t> queryFrame(const SettingsGroup& g, uint8_t subcode) {
    if (!g.find(subcode)) return {};
    TxFrame f;
    f.enc().startFrame(kCmdQuery, g.code);
    f.enc().addByte(subcode);
    if (!f.enc().finishFrame()) return {};
    return std::vector<uint8_t>(f.data(), f.data() + f.size());
}

int sendBytes(FrameSink& sink, const std::vector<uint8_t>& frame) {
    if (frame.empty()) return -1;
    return sink.sendFrame(frame.data(), uint16_t(frame.size()));
}

} // namespace

const SettingDef* SettingsGroup::find(uint8_t subcode) const {
    if (defs.empty()) return nullptr;
    // The tables run without gaps from their first subcode: index directly, search otherwise.
    size_t i = size_t(subcode) - defs.front().subcode;
    if (subcode >= defs.front().subcode && i < defs.size() && defs[i].subcode == subcode)
        return &defs[i];
    auto it = std::lower_bound(defs.begin(), defs.end(), subcode,
                               [](const SettingDef& d, uint8_t s) { return d.subcode < s; });
    return it != defs.end() && it->subcode == subcode ? &*it : nullptr;
}

const SettingsGroup& engineRateSettings() {
    static const SettingsGroup g{0x21, kEngineRateDefs, LengthRule::Exact, UnknownSubcode::Refuse,
                                 0x01};
    return g;
}

const SettingsGroup& gpsConfigSettings() {
    static const SettingsGroup g{0x24, kGpsConfigDefs, LengthRule::Exact, UnknownSubcode::Refuse,
                                 0x08};
    return g;
}

const SettingsGroup& kalmanSettings() {
    // The receiver's replies may carry bytes after the value; they are ignored.
    static const SettingsGroup g{0x25, kKalmanDefs, LengthRule::AtLeast, UnknownSubcode::Refuse,
                                 0x17};
    return g;
}

const SettingsGroup& drFilterSettings() {
    // Subcode 0 and those above 0x70 are accepted (when 4 bytes long) and stored nowhere.
    static const SettingsGroup g{0x27, kDrFilterDefs, LengthRule::Exact, UnknownSubcode::Ignore,
                                 0x70};
    return g;
}

std::optional<double> readSetting(const SettingsGroup& g, const SettingDef& d, const uint8_t* p,
                                  size_t n) {
    if (!lengthAccepted(g.length, wireSize(d.type), n) || !p) return std::nullopt;
    if (n < wireSize(d.type)) { // a padded group's short value: the missing bytes are zero
        uint8_t padded[4] = {};
        std::memcpy(padded, p, n);
        return readWire(d.type, padded);
    }
    return readWire(d.type, p);
}

double readWire(WireType t, const uint8_t* p) {
    switch (t) {
    case W::U8:
        return double(p[0]);
    case W::U16:
        return double(readU16(p));
    case W::I16:
        return double(readI16(p));
    case W::U32:
        return double(readU32(p));
    case W::I32:
        return double(readI32(p));
    case W::F32:
        return double(readFloat(p));
    }
    return 0;
}

bool fitsWire(WireType t, double v) {
    auto whole = [v](double lo, double hi) { return v >= lo && v <= hi && std::trunc(v) == v; };
    switch (t) {
    case W::U8:
        return whole(0, 255);
    case W::U16:
        return whole(0, 65535);
    case W::I16:
        return whole(-32768, 32767);
    case W::U32:
        return whole(0, 4294967295.0);
    case W::I32:
        return whole(-2147483648.0, 2147483647.0);
    case W::F32:
        return std::isfinite(v) && std::fabs(v) <= double(std::numeric_limits<float>::max());
    }
    return false;
}

size_t writeSetting(WireType t, double v, uint8_t* out) {
    uint32_t u = 0;
    switch (t) {
    case W::U8:
        u = settingAs<uint8_t>(v);
        break;
    case W::U16:
        u = settingAs<uint16_t>(v);
        break;
    case W::I16:
        u = uint16_t(settingAs<int16_t>(v));
        break;
    case W::U32:
        u = settingAs<uint32_t>(v);
        break;
    case W::I32:
        u = uint32_t(settingAs<int32_t>(v));
        break;
    case W::F32: {
        float f = settingAs<float>(v);
        std::memcpy(&u, &f, 4);
        break;
    }
    }
    const size_t n = wireSize(t);
    for (size_t i = 0; i < n; ++i) out[i] = uint8_t(u >> (8 * i));
    return n;
}

int decodeSettings(const SettingsGroup& g, uint8_t subcode, const uint8_t* payload, size_t n,
                   std::span<double> values, bool& written) {
    written = false;
    const SettingDef* d = g.find(subcode);
    if (!d) {
        if (g.unknown == UnknownSubcode::Refuse || g.defs.empty()) return kErrParseCode;
        // Ignored subcodes still have the length of the group's values.
        return lengthAccepted(g.length, wireSize(g.defs.front().type), n) ? 0 : kErrLength;
    }
    if (subcode >= values.size()) return kErrParseCode;
    std::optional<double> v = readSetting(g, *d, payload, n);
    if (!v) return kErrLength;
    values[subcode] = *v;
    written = true;
    return 0;
}

int sendSetting(FrameSink& sink, const SettingsGroup& g, const SettingDef& d, double value) {
    const SettingDef* own = g.find(d.subcode);
    if (!own || own->type != d.type) return -1;
    return sendBytes(sink, setFrame(g, d, value));
}

int querySetting(FrameSink& sink, const SettingsGroup& g, uint8_t subcode) {
    return sendBytes(sink, queryFrame(g, subcode));
}

PacedScript setSettingsScript(const SettingsGroup& g, std::span<const SettingValue> values,
                              int pauseMs) {
    PacedScript script;
    script.reserve(values.size());
    for (const SettingValue& sv : values) {
        const SettingDef* d = g.find(sv.subcode);
        script.push_back({d ? setFrame(g, *d, sv.value) : std::vector<uint8_t>{}, pauseMs});
    }
    if (!script.empty()) script.back().pauseAfterMs = 0;
    return script;
}

PacedScript querySettingsScript(const SettingsGroup& g, std::span<const uint8_t> subcodes) {
    PacedScript script;
    script.reserve(subcodes.size());
    for (uint8_t s : subcodes) script.push_back({queryFrame(g, s), 0});
    return script;
}

PacedScript queryGroupScript(const SettingsGroup& g) {
    PacedScript script;
    script.reserve(g.defs.size());
    for (const SettingDef& d : g.defs) script.push_back({queryFrame(g, d.subcode), 0});
    return script;
}

bool groupFits(const SettingsGroup& g, std::span<const double> values) {
    for (const SettingDef& d : g.defs)
        if (d.subcode >= values.size() || !fitsWire(d.type, values[d.subcode])) return false;
    return true;
}

PacedScript setGroupScript(const SettingsGroup& g, std::span<const double> values, int pauseMs) {
    if (!groupFits(g, values)) return PacedScript{ScriptStep{}};
    PacedScript script;
    script.reserve(g.defs.size());
    for (const SettingDef& d : g.defs)
        script.push_back({setFrame(g, d, values[d.subcode]), pauseMs});
    if (!script.empty()) script.back().pauseAfterMs = 0;
    return script;
}

} // namespace vx
