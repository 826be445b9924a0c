#include "sim/sim_store.h"

#include "sim/sim_monitor.h"

#include <cstring>

namespace vx::sim {

static_assert(kBbramImageSize <= MonitorPort::kBbramRegion, "the BBRAM image outgrew its region");

namespace {

uint32_t sum32(const uint8_t* p, size_t n) {
    uint32_t s = 0;
    for (size_t i = 0; i < n; ++i) s += p[i];
    return s;
}

// Makes every value of a settings group one its wire type carries (as a Set would have stored
// it), and clears the slots the group has no subcode for.
template <size_t Slots> void sanitizeSettings(const SettingsGroup& g, SettingsValues<Slots>& r) {
    std::array<double, Slots> clean{};
    for (const SettingDef& d : g.defs) {
        if (d.subcode >= Slots) continue;
        uint8_t bytes[4];
        size_t n = writeSetting(d.type, r.value[d.subcode], bytes);
        clean[d.subcode] = readSetting(g, d, bytes, n).value_or(0.0);
    }
    r.value = clean;
}

} // namespace

void sanitizeStore(SimStore& s) {
    sanitizeSettings(engineRateSettings(), s.engineRate);
    sanitizeSettings(gpsConfigSettings(), s.gpsConfig);
    sanitizeSettings(kalmanSettings(), s.kalman);
    sanitizeSettings(drFilterSettings(), s.drFilter);
    if (s.softCount > kSoftLogSize) s.softCount = kSoftLogSize;
    if (s.fatalCount > kFatalLogSize) s.fatalCount = kFatalLogSize;
    for (InitSlot& slot : s.init) {
        if (slot.length > sizeof slot.data) slot.length = sizeof slot.data;
        slot.hostSet = slot.hostSet ? 1 : 0;
    }
    for (Trigger& t : s.triggers) t.used = t.used ? 1 : 0;
    s.rtcSet = s.rtcSet ? 1 : 0;
}

void writeBbramImage(const SimStore& store, bool defaultsOnly, uint8_t* dst) {
    BbramHeader h{};
    std::memcpy(h.magic, "VXBB", 4);
    h.version = kBbramVersion;
    h.defaultsOnly = defaultsOnly ? 1 : 0;
    h.size = uint32_t(sizeof(SimStore));
    uint8_t* body = dst + sizeof h;
    std::memcpy(body, &store, sizeof store);
    h.checksum = sum32(body, sizeof store) + h.size;
    std::memcpy(dst, &h, sizeof h);
}

bool readBbramImage(const uint8_t* src, size_t available, SimStore& store, bool& defaultsOnly) {
    if (available < kBbramImageSize) return false;
    BbramHeader h;
    std::memcpy(&h, src, sizeof h);
    if (std::memcmp(h.magic, "VXBB", 4) != 0 || h.version != kBbramVersion ||
        h.size != sizeof(SimStore))
        return false;
    const uint8_t* body = src + sizeof h;
    if (sum32(body, sizeof(SimStore)) + h.size != h.checksum) return false;
    std::memcpy(&store, body, sizeof store);
    sanitizeStore(store);
    defaultsOnly = h.defaultsOnly != 0;
    return true;
}

} // namespace vx::sim
