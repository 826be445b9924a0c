// The settings store behind the console's Set and Query commands.
#include "link/framing.h"
#include "link/layouts.h"
#include "link/settings.h"
#include "sim/sim_defaults.h"
#include "sim/sim_receiver.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace vx::sim {

namespace {

constexpr uint8_t kOk = 0x00;
constexpr uint8_t kUnknown = 0x03;
constexpr uint8_t kLength = 0x04;
constexpr uint8_t kValue = 0x05;
constexpr uint8_t kContradicts = 0x06;
constexpr uint8_t kTableFull = 0x07;
constexpr uint8_t kNotAvailable = 0x08;

// A settings group (0x21, 0x24, 0x25, 0x27) and its values in the store, indexed by subcode.
struct StoredSettings {
    const SettingsGroup* group = nullptr;
    std::span<double> values;
};

StoredSettings storedSettings(SimStore& s, uint8_t code) {
    switch (code) {
    case 0x21:
        return {&engineRateSettings(), s.engineRate.value};
    case 0x24:
        return {&gpsConfigSettings(), s.gpsConfig.value};
    case 0x25:
        return {&kalmanSettings(), s.kalman.value};
    case 0x27:
        return {&drFilterSettings(), s.drFilter.value};
    default:
        return {};
    }
}

// The values the receiver takes for the settings it limits; any other value is refused with
// "invalid parameter".
bool settingAccepted(uint8_t code, uint8_t sub, double v) {
    if (code == 0x21) return v != 0;
    if (code != 0x24) return true;
    switch (sub) {
    case 0x01: // operating dimension: auto, altitude hold, full position
        return v == 0 || v == 3 || v == 4;
    case 0x02: // DGPS mode
        return v <= 2;
    case 0x03: // only automobile dynamics
        return v == 17;
    case 0x04: // elevation mask, degrees
        return std::isfinite(v) && v >= -5 && v <= 90;
    case 0x06: // DOP mask
    case 0x07: // DOP switch
        return std::isfinite(v) && v > 0;
    default:
        return true;
    }
}

// The layout of a host's Set of code and subcode and the payload decoded through it, or the
// result that refuses it: no layout (unknown), or not exactly the layout's length.
struct SetPayload {
    const PacketLayout* layout = nullptr;
    uint8_t refusal = 0;
};
SetPayload setLayout(uint8_t code, uint8_t sub, size_t n) {
    const PacketLayout* l = findLayout(code, sub);
    if (!l) return {nullptr, kUnknown};
    if (n != l->size) return {nullptr, kLength};
    return {l, kOk};
}

// The subcodes the receiver knows per code, for the 2601 / 2602 bitmaps.
bool knownSubcode(uint8_t code, uint8_t sub) {
    auto in = [&](int lo, int hi) { return sub >= lo && sub <= hi; };
    switch (code) {
    case 0x10:
        return in(1, 3);
    case 0x11:
        return in(1, 3);
    case 0x12:
        return in(1, 4);
    case 0x14:
        return in(1, 2);
    case 0x15:
        return in(1, 0x7F);
    case 0x16:
        return in(1, 2);
    case 0x21:
        return engineRateSettings().find(sub) != nullptr;
    case 0x22:
        return sub == 2;
    case 0x24:
        return gpsConfigSettings().find(sub) != nullptr;
    case 0x25:
        return kalmanSettings().find(sub) != nullptr;
    case 0x26:
        return in(1, 5);
    case 0x27:
        return drFilterSettings().find(sub) != nullptr;
    case 0x28:
        return in(0x12, 0x14);
    case 0x29:
        return findLayout(0x29, sub) != nullptr;
    case 0x2A:
    case 0x2B:
    case 0x2C:
    case 0x2D:
        return sub == 0x11 || sub == 0x12 || sub == 0x16 || in(0x30, 0x33) || sub == 0x36;
    case 0x2E:
        return sub == 1;
    case 0x2F:
        return sub == 2 || sub == 4 || sub == 6;
    case 0x30:
        return in(2, 3);
    case 0x31:
        return sub == 1;
    case 0x32:
        return in(1, 3);
    case 0x33:
        return sub == 1;
    case 0x36:
        return in(3, 5) || in(7, 8);
    case 0x3F:
        return sub == 1 || sub == 2 || sub == 4 || sub == 6;
    case 0x70:
        return sub == 0x02 || sub == 0x09 || in(0x0C, 0x18) || sub == 0x20 || sub == 0x7F;
    default:
        return false;
    }
}

} // namespace

int SimReceiver::ackIndex(uint8_t cmd, uint8_t code, uint8_t sub, const uint8_t* d, size_t n) {
    if (n < 1) return -1;
    const bool query = cmd == kCmdQuery;
    switch (code) {
    case 0x14:
        return sub == 1 || sub == 2 ? d[0] : -1;
    case 0x26:
        return query && sub == 2 ? d[0] : -1;
    case 0x28:
        return sub == 0x12 ? d[0] : -1;
    case 0x29:
        return sub == 1 && d[0] == 0xFF ? 0xFF : -1;
    case 0x2A:
    case 0x2B:
    case 0x2C:
    case 0x2D:
        return d[0];
    case 0x2E:
        return sub == 1 ? d[0] : -1;
    case 0x33:
        return query ? d[0] : -1;
    case 0x36:
        return sub == 7 ? d[0] : -1;
    case 0x70:
        return query && sub == 0x20 ? d[0] : -1;
    default:
        return -1;
    }
}

Trigger* SimReceiver::findTrigger(uint8_t code, uint8_t sub, bool create) {
    for (Trigger& t : store_.triggers)
        if (t.used && t.code == code && t.subcode == sub) return &t;
    if (!create) return nullptr;
    for (int i = 0; i < kTriggerSlots; ++i) {
        Trigger& t = store_.triggers[i];
        if (t.used) continue;
        t = Trigger{};
        t.used = 1;
        t.code = code;
        t.subcode = sub;
        lastOutMs_[i] = lastTimeOutMs_[i] = now_;
        distAccCm_[i] = hdgAccCdeg_[i] = 0;
        return &t;
    }
    return nullptr;
}

void SimReceiver::logSoftEvent(uint16_t word, bool report) {
    Calendar c = world_.utc();
    LogEntry e{};
    e.year = uint16_t(c.year);
    e.month = uint8_t(c.month);
    e.day = uint8_t(c.day);
    e.hour = uint8_t(c.hour);
    e.minute = uint8_t(c.minute);
    e.second = uint8_t(c.second);
    e.code = word;
    std::memmove(&store_.softLog[1], &store_.softLog[0], sizeof(LogEntry) * (kSoftLogSize - 1));
    store_.softLog[0] = e;
    if (store_.softCount < kSoftLogSize) ++store_.softCount;
    if (!report || mode_ != SimMode::Normal) return;
    const uint8_t code = uint8_t(word);
    const uint8_t mask = store_.eventReportMask[code];
    const bool send = mask >= 2 || (mask == 1 && lastReportedWord_[code] != word);
    if (!send) return;
    lastReportedWord_[code] = word;
    queueFrame(Kind::Report, logEntry(1, 0), now_);
}

void SimReceiver::logFatal(uint16_t code) {
    Calendar c = world_.utc();
    LogEntry e{};
    e.year = uint16_t(c.year);
    e.month = uint8_t(c.month);
    e.day = uint8_t(c.day);
    e.hour = uint8_t(c.hour);
    e.minute = uint8_t(c.minute);
    e.second = uint8_t(c.second);
    e.code = code;
    std::memmove(&store_.fatalLog[1], &store_.fatalLog[0], sizeof(LogEntry) * (kFatalLogSize - 1));
    store_.fatalLog[0] = e;
    if (store_.fatalCount < kFatalLogSize) ++store_.fatalCount;
}

void SimReceiver::bbramActivity(uint32_t structOffset, uint8_t act) {
    if (!(store_.diagMask[0x0C / 8] & (1u << (0x0C % 8)))) return;
    if (mode_ != SimMode::Normal) return;
    const uint32_t t = uint32_t(now_);
    Frame f{0x70, 0x0C, {}};
    f.payload.u32(0x1800 + structOffset);   // DLocal: where the structure lives in RAM
    f.payload.u32(structOffset);            // OffsMst: identifies the structure
    f.payload.u32(0x2000 + structOffset);   // OffsBkp
    f.payload.u32(0xC70000 + structOffset); // DDefalt
    f.payload.u32(t);                       // MstTime
    f.payload.u32(t > 50 ? t - 50 : 0);     // BkpTime
    f.payload.u32(t);                       // Time
    f.payload.u16(64);                      // DSz
    f.payload.u8(act);
    f.payload.u8(0);
    queueFrame(Kind::Report, f, now_);
}

void SimReceiver::startTest(uint8_t sub, uint16_t seconds) {
    TestRun& t = tests_[sub];
    t = TestRun{};
    if (!seconds) return;
    t.active = true;
    t.seconds = seconds;
    t.startMs = now_;
    t.endMs = now_ + int64_t(seconds) * 1000;
    t.tachoStart = world_.tachoTotal();
    t.odoStart = world_.odometerM();
    t.initialHeading = uint16_t(std::lround(world_.headingRad() / 3.141592653589793 * 32768.0));
    t.wasReverse = world_.reverse();
}

void SimReceiver::bbramUnitTest(const uint8_t* d, size_t n) {
    const uint8_t test = d[0];
    auto reply = [&](Frame f) { queueFrame(Kind::Report, f, now_); };
    switch (test) {
    case 1:   // store
    case 2:   // check
    case 3: { // checkout
        static const uint32_t structs[] = {0, 224, 848, 868, 1916, 1964, 2196, 2356};
        for (uint32_t s : structs) bbramActivity(s, uint8_t(test - 1));
        Frame f{0x70, 0x0D, {}};
        f.payload.u8(test);
        f.payload.u8(0); // passed
        reply(f);
        break;
    }
    case 4: { // addresses
        Frame f{0x70, 0x0D, {}};
        f.payload.u8(test);
        f.payload.u32(MonitorPort::kRamBbram);
        f.payload.u32(MonitorPort::kFlashBbram);
        f.payload.u32(0x1F000); // flash driver
        f.payload.u32(uint32_t(kBbramImageSize));
        f.payload.u32(store_.startupCount);
        reply(f);
        break;
    }
    case 5: { // KFC structure status table: 9 columns of 8 bytes
        Frame f{0x70, 0x0D, {}};
        f.payload.u8(test);
        const uint8_t* img = monitor_.ram() + MonitorPort::kRamBbram;
        for (int i = 0; i < 72; ++i) f.payload.u8(img[(i * 13) % 512]);
        reply(f);
        break;
    }
    case 6: { // the user position structure
        Frame f{0x70, 0x0D, {}};
        f.payload.u8(test);
        f.payload.f64(world_.ecef(0));
        f.payload.f64(world_.ecef(1));
        f.payload.f64(world_.ecef(2));
        reply(f);
        break;
    }
    case 7: { // memory dump: address, length; 16 bytes per reply
        if (n < 6) {
            Frame f{0x70, 0x0D, {}};
            f.payload.u8(test);
            reply(f);
            break;
        }
        uint32_t address = readU32(d + 1);
        uint32_t length = d[5] ? d[5] : 256;
        for (uint32_t off = 0; off < length; off += 16) {
            Frame f{0x70, 0x0D, {}};
            f.payload.u8(test);
            f.payload.u32(address + off);
            uint8_t chunk[16];
            if (!monitor_.read(address + off, 16, chunk)) std::memset(chunk, 0xFF, 16);
            f.payload.raw(chunk, 16);
            reply(f);
        }
        break;
    }
    default: {
        Frame f{0x70, 0x0D, {}};
        f.payload.u8(test);
        f.payload.u8(0xFF); // unknown test
        reply(f);
        break;
    }
    }
}

uint8_t SimReceiver::handleSet(uint8_t code, uint8_t sub, const uint8_t* d, size_t n) {
    SimStore& s = store_;
    switch (code) {
    case 0x14: // clear an event log
        if (sub != 1 && sub != 2) return kUnknown;
        if (n != 1) return kLength;
        if (d[0] != 0xFF) return kValue;
        if (sub == 1) {
            s.softCount = 0;
            std::memset(s.softLog, 0, sizeof s.softLog);
        } else {
            s.fatalCount = 0;
            std::memset(s.fatalLog, 0, sizeof s.fatalLog);
        }
        return kOk;
    case 0x21:
    case 0x24:
    case 0x25:
    case 0x27: {
        // The settings groups: the value as the group's table reads it, kept by subcode.
        StoredSettings st = storedSettings(s, code);
        const SettingDef* def = st.group->find(sub);
        if (!def) return kUnknown;
        if (n != wireSize(def->type)) return kLength;
        std::optional<double> v = readSetting(*st.group, *def, d, n);
        if (!v) return kLength;
        if (!settingAccepted(code, sub, *v)) return kValue;
        st.values[sub] = *v;
        if (code == 0x21) {
            if (*v != 5 && *v != 10) logSoftEvent(0x0077, true);
            bbramActivity(848, 0);
        } else if (code == 0x25) {
            bbramActivity(0, 0);
        } else if (code == 0x27) {
            bbramActivity(224, 0);
        }
        return kOk;
    }
    case 0x22:
        if (sub != 2) return kUnknown;
        if (n != 5) return kLength;
        s.nmeaInterval = d[0];
        s.nmeaMask = (uint32_t(d[1]) << 24) | (uint32_t(d[2]) << 16) | (uint32_t(d[3]) << 8) | d[4];
        return kOk;
    case 0x28: {
        bool cleared = false;
        if (sub == 0x12) {
            if (n != 27) return kLength;
            if (d[0] < 1 || d[0] > 32) return kValue;
            AlmanacSvPage& p = s.almanac[d[0] - 1];
            p.status = d[1];
            p.extra = d[2];
            std::memcpy(p.data, d + 3, 24);
            cleared = !(p.status & 7);
        } else if (sub == 0x13) {
            if (n != 50) return kLength;
            s.almanac13.status = d[0];
            s.almanac13.extra = d[1];
            std::memcpy(s.almanac13.data, d + 2, 48);
            cleared = !(d[0] & 7);
        } else if (sub == 0x14) {
            if (n != 26) return kLength;
            s.almanac14.status = d[0];
            s.almanac14.extra = d[1];
            std::memcpy(s.almanac14.data, d + 2, 24);
            cleared = !(d[0] & 7);
        } else {
            return kUnknown;
        }
        if (cleared) world_.almanacCleared();
        return kOk;
    }
    case 0x29: {
        const SetPayload set = setLayout(code, sub, n);
        if (!set.layout) return set.refusal;
        const PacketLayout& l = *set.layout;
        if (sub == 1 && d[0] == 0xFF) { // the real-time clock
            InitTimeRecord rtc;
            decodeInto(l, sub, d, n, rtc);
            const int64_t at = int64_t(rtc.week) * 604800000 + rtc.time_of_week;
            const int64_t gps = int64_t(world_.gpsWeek()) * 604800000 + world_.towMs();
            setRtcOffsetMs(s, at - gps);
            s.rtcSet = 1;
            return kOk;
        }
        InitSlot& slot = s.init[sub];
        // 2901..2905 carry a source in their status byte; 2907 and 2908 are always the host's.
        const BitDef* sourceBits = l.bit("source");
        const uint8_t source = sourceBits ? uint8_t(readBits(*sourceBits, d[0])) : 1;
        if (source == 3) return kContradicts; // only the receiver's own fix is "GPS"
        if (source == 0) {                    // invalid/clear: back to the receiver's own values
            slot = InitSlot{};
            return kOk;
        }
        if (l.size > sizeof slot.data) return kLength;
        slot.hostSet = 1;
        slot.length = uint8_t(l.size);
        std::memcpy(slot.data, d, l.size);
        if (sourceBits) { // kept as the host's and new since start-up; no other status bits
            const BitDef* newness = l.bit("newness");
            const BitDef* accuracy = l.bit("accuracy_status");
            double status = writeBits(*sourceBits, 0, source);
            if (newness) status = writeBits(*newness, status, 1);
            if (accuracy) status = writeBits(*accuracy, status, readBits(*accuracy, d[0]));
            slot.data[0] = uint8_t(status);
        }
        return kOk;
    }
    case 0x2A:
    case 0x2B:
    case 0x2C:
    case 0x2D: {
        // The byte after the code names the target code, the next its subcode.
        const SetPayload set = setLayout(code, sub, n);
        if (!set.layout) return set.refusal;
        FieldValues v{};
        decodeLayout(*set.layout, sub, d, n, v);
        const PacketLayout& l = *set.layout;
        const uint8_t targetSubcode = uint8_t(v[size_t(l.fieldIndex("target_subcode"))]);
        Trigger* t = findTrigger(sub, targetSubcode, true);
        if (!t) return kTableFull;
        if (code == 0x2A) {
            t->eventMask = uint32_t(v[size_t(l.fieldIndex("event_mask"))]);
        } else {
            const uint32_t lo = uint32_t(v[size_t(l.fieldIndex("minimum"))]);
            const uint32_t hi = uint32_t(v[size_t(l.fieldIndex("maximum"))]);
            if (code == 0x2B) t->timeMin = lo, t->timeMax = hi;
            if (code == 0x2C) t->distMin = lo, t->distMax = hi;
            if (code == 0x2D) t->hdgMin = lo, t->hdgMax = hi;
        }
        if (!t->eventMask && !t->timeMin && !t->timeMax && !t->distMin && !t->distMax &&
            !t->hdgMin && !t->hdgMax)
            t->used = 0;
        bbramActivity(868, 0);
        return kOk;
    }
    case 0x2E: {
        if (sub != 1) return kUnknown;
        const SetPayload set = setLayout(code, sub, n);
        if (!set.layout) return set.refusal;
        EventMaskRecord m;
        decodeInto(*set.layout, sub, d, n, m);
        if (m.mask > 3) return kValue;
        s.eventReportMask[m.event_code] = m.mask;
        return kOk;
    }
    case 0x2F:
        if (sub != 2 && sub != 4 && sub != 6) return kUnknown;
        if (n != 2) return kLength;
        startTest(sub, readU16(d));
        return kOk;
    case 0x36: {
        if (sub != 3 && sub != 4 && sub != 5 && sub != 7) return kUnknown; // 3608 is read only
        const SetPayload set = setLayout(code, sub, n);
        if (!set.layout) return set.refusal;
        DrCalibrationRecord r;
        decodeInto(*set.layout, sub, d, n, r);
        const uint8_t source = uint8_t(readBits(*set.layout->bit("source"), r.status));
        // Kept as the host's (valid and new since start-up) unless the source clears it.
        const uint8_t kept = source == 0 ? 0 : uint8_t(source | 0x18);
        const bool hostSet = source == 1 || source == 2;
        if (sub == 5) {
            s.dirSwitch.hostSet = hostSet;
            s.dirSwitch.status = uint8_t((r.status & 0x80) | kept);
            s.dirSwitch.confidenceSpeed = r.confidence_speed;
            return kOk;
        }
        if (!std::isfinite(r.value) || !std::isfinite(r.accuracy)) return kValue;
        if (sub == 7 && (r.dpp_index > 2 || r.value <= 0)) return kValue;
        CalValue& c = sub == 3 ? s.zro : sub == 4 ? s.gyroSensitivity : s.dpp[r.dpp_index];
        c.value = r.value;
        c.accuracy = r.accuracy;
        c.hostSet = hostSet;
        c.status = kept;
        return kOk;
    }
    case 0x70:
        switch (sub) {
        case 0x7F: {
            DiagOutputMaskRecord mask;
            if (decodeInto(kDiagOutputLayout, sub, d, n, mask) != 0) return kLength;
            encodeRecord(kDiagOutputLayout, mask, s.diagMask);
            bbramActivity(1916, 0);
            return kOk;
        }
        case 0x0D:
            if (n < 1) return kLength;
            bbramUnitTest(d, n);
            return kOk;
        case 0x17:            // generate a bad interrupt: the receiver crashes and restarts warm
            logFatal(0x1000); // "Illegal hardware interrupt."
            shutdownCode_ = 0x1000;
            pendingEvents_ |= ev::FatalError;
            bootCause_ = 0x01;
            startReset(StartKind::Warm, true);
            return kOk;
        case 0x18: // generate a COCOM event
            logSoftEvent(0x0061, true);
            return kOk;
        default:
            return kUnknown;
        }
    default:
        return kUnknown;
    }
}

uint8_t SimReceiver::handleQuery(uint8_t code, uint8_t sub, const uint8_t* d, size_t n,
                                 std::vector<Frame>& out) {
    const SimStore& s = store_;
    auto one = [&](Frame f) {
        out.push_back(std::move(f));
        return kOk;
    };
    switch (code) {
    case 0x11:
        if (sub < 1 || sub > 3) return kUnknown;
        return one(version(sub));
    case 0x12:
        switch (sub) {
        case 1:
            return one(startupReport());
        case 2: {
            Frame f{0x12, 0x02, {}};
            f.payload.u8(1); // normal mode
            return one(f);
        }
        case 3:
            return one(product());
        case 4:
            return one(hardwareId());
        default:
            return kUnknown;
        }
    case 0x14:
        if (sub != 1 && sub != 2) return kUnknown;
        if (n != 1) return kLength;
        return one(logEntry(sub, d[0]));
    case 0x15: {
        if (sub < 1 || sub > 0x7F) return kUnknown;
        if (!factory_->customerSet[sub]) return kNotAvailable;
        Frame f{0x15, sub, {}};
        f.payload.raw(factory_->customer[sub], factory_->customerLength[sub]);
        return one(f);
    }
    case 0x16:
        if (sub == 1) return one(health());
        if (sub == 2) return one(startupHealth());
        return kUnknown;
    case 0x21:
    case 0x24:
    case 0x25:
    case 0x27: {
        StoredSettings st = storedSettings(store_, code); // read only
        const SettingDef* def = st.group->find(sub);
        if (!def) return kUnknown;
        Frame f{code, sub, {}};
        uint8_t value[4];
        f.payload.raw(value, writeSetting(def->type, st.values[sub], value));
        return one(f);
    }
    case 0x22: {
        if (sub != 2) return kUnknown;
        Frame f{0x22, 0x02, {}};
        f.payload.u8(s.nmeaInterval);
        f.payload.u32be(s.nmeaMask);
        return one(f);
    }
    case 0x26: {
        Frame f{0x26, sub, {}};
        if (sub == 1 || sub == 2) {
            if (sub == 2) {
                if (n != 1) return kLength;
                f.payload.u8(d[0]);
            }
            uint8_t bitmap[16] = {};
            for (int i = 0; i < 128; ++i) {
                bool on = false;
                if (sub == 1) {
                    for (int j = 0; j < 256 && !on; ++j) on = knownSubcode(uint8_t(i), uint8_t(j));
                } else {
                    on = knownSubcode(d[0], uint8_t(i));
                }
                if (on) bitmap[i / 8] |= uint8_t(1u << (i % 8));
            }
            f.payload.raw(bitmap, 16);
            return one(f);
        }
        // DPP model speed levels, in 0.5 m/s; 255 = unlimited.
        static const uint8_t maxApplicable[] = {16, 40, 255};
        static const uint8_t minCal[] = {4, 16, 40};
        static const uint8_t maxCal[] = {16, 40, 90};
        const uint8_t* levels = sub == 3   ? maxApplicable
                                : sub == 4 ? minCal
                                : sub == 5 ? maxCal
                                           : nullptr;
        if (!levels) return kUnknown;
        f.payload.u8(3);
        f.payload.raw(levels, 3);
        return one(f);
    }
    case 0x28: {
        Frame f{0x28, sub, {}};
        if (sub == 0x12) {
            if (n != 1) return kLength;
            if (d[0] < 1 || d[0] > 32) return kValue;
            const AlmanacSvPage& p = s.almanac[d[0] - 1];
            f.payload.u8(d[0]);
            f.payload.u8(p.status);
            f.payload.u8(p.extra);
            f.payload.raw(p.data, 24);
        } else if (sub == 0x13) {
            f.payload.u8(s.almanac13.status);
            f.payload.u8(s.almanac13.extra);
            f.payload.raw(s.almanac13.data, 48);
        } else if (sub == 0x14) {
            f.payload.u8(s.almanac14.status);
            f.payload.u8(s.almanac14.extra);
            f.payload.raw(s.almanac14.data, 24);
        } else {
            return kUnknown;
        }
        return one(f);
    }
    case 0x29: {
        if (!findLayout(0x29, sub)) return kUnknown;
        if (sub == 1 && n >= 1 && d[0] == 0xFF) { // the real-time clock
            const int64_t rtc =
                int64_t(world_.gpsWeek()) * 604800000 + world_.towMs() + rtcOffsetMs(s);
            const int64_t week = rtc >= 0 ? rtc / 604800000 : 0;
            const auto tow = uint32_t(std::max<int64_t>(0, rtc - week * 604800000));
            Frame f{0x29, 0x01, {}};
            f.payload.record(kInitTimeLayout, InitTimeRecord{0xFF, uint16_t(week), tow, 0});
            return one(f);
        }
        return one(initReply(sub));
    }
    case 0x2A:
    case 0x2B:
    case 0x2C:
    case 0x2D: {
        if (n != 1) return kLength;
        const Trigger* t = nullptr;
        for (const Trigger& x : s.triggers)
            if (x.used && x.code == sub && x.subcode == d[0]) t = &x;
        Trigger none{};
        if (!t) t = &none;
        Frame f{code, sub, {}};
        if (code == 0x2A) {
            f.payload.record(kEventTriggerLayout, EventTriggerRecord{sub, d[0], t->eventMask});
        } else {
            const uint32_t lo = code == 0x2B ? t->timeMin : code == 0x2C ? t->distMin : t->hdgMin;
            const uint32_t hi = code == 0x2B ? t->timeMax : code == 0x2C ? t->distMax : t->hdgMax;
            f.payload.record(*findLayout(code, sub), IntervalTriggerRecord{lo, hi, sub, d[0]});
        }
        return one(f);
    }
    case 0x2E: {
        if (sub != 1) return kUnknown;
        if (n != 1) return kLength;
        Frame f{0x2E, 0x01, {}};
        f.payload.record(kEventMaskLayout, EventMaskRecord{d[0], s.eventReportMask[d[0]]});
        return one(f);
    }
    case 0x30:
        if (sub == 2) return one(drData());
        if (sub == 3) return one(bufferedDr());
        return kUnknown;
    case 0x31:
        if (sub != 1) return kUnknown;
        return one(gpsFix(sub));
    case 0x32:
        if (sub == 1) return one(timeConstellation());
        if (sub == 2) return one(constellationSummary());
        if (sub == 3) return one(timeSummary());
        return kUnknown;
    case 0x33: {
        if (sub != 1) return kUnknown;
        if (n != 1) return kLength;
        if (d[0] == 0xFF) {
            for (int c = 0; c < kChannels; ++c) out.push_back(channel(sub, c));
            return kOk;
        }
        if (d[0] >= kChannels) return kValue;
        return one(channel(sub, d[0]));
    }
    case 0x36:
        switch (sub) {
        case 3:
        case 4:
        case 5:
        case 8:
            return one(calibration(sub, 0));
        case 7:
            if (n != 1) return kLength;
            if (d[0] == 0xFF) {
                for (int i = 0; i < 3; ++i) out.push_back(calibration(7, i));
                return kOk;
            }
            if (d[0] > 2) return kValue;
            return one(calibration(7, d[0]));
        default:
            return kUnknown;
        }
    case 0x3F:
        if (sub != 1) return kUnknown;
        pendingEvents_ |= ev::SelfTest;
        return one(selfTest());
    case 0x70:
        if (sub == 0x7F) {
            DiagOutputMaskRecord mask;
            decodeInto(kDiagOutputLayout, sub, s.diagMask, sizeof s.diagMask, mask);
            Frame f{0x70, 0x7F, {}};
            f.payload.record(kDiagOutputLayout, mask);
            return one(f);
        }
        if (sub == 0x20) return one(diagStartup());
        return kUnknown;
    default:
        return kUnknown;
    }
}

} // namespace vx::sim
