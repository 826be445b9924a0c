// Report and reply payloads of the simulated receiver, in the wire units the console expects:
// latitude and longitude in pi/2^31 rad, headings in 2^-15 semicircle, DOPs in 1/256, SNR in
// 0.2 dBHz, azimuth in 2 degrees, speeds in cm/s.
#include "link/angles.h"
#include "sim/sim_defaults.h"
#include "sim/sim_receiver.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace vx::sim {

namespace {

constexpr double kPi = 3.141592653589793;

int32_t semicircles(double rad) {
    return radiansToWire(rad);
}

uint16_t heading16(double rad) {
    double v = std::fmod(rad, 2 * kPi);
    if (v < 0) v += 2 * kPi;
    return uint16_t(uint32_t(std::lround(v / kPi * 32768.0)) & 0xFFFF);
}

uint16_t headingAcc16(double deg) {
    return uint16_t(std::clamp(std::lround(deg / 180.0 * 32768.0), 0L, 65535L));
}

int16_t dop16(double d) {
    return int16_t(std::clamp(std::lround(d * 256.0), 0L, 32767L));
}

uint16_t u16Clamp(double v) {
    return uint16_t(std::clamp(std::lround(v), 0L, 65535L));
}

bool diagOn(const SimStore& s, uint8_t sub) {
    return s.diagMask[sub / 8] & (1u << (sub % 8));
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Triggered reports

bool SimReceiver::buildReport(uint8_t code, uint8_t sub, std::vector<Frame>& out) {
    switch (code) {
    case 0x11:
        if (sub >= 1 && sub <= 3) out.push_back(version(sub));
        break;
    case 0x12:
        if (sub == 1) out.push_back(startupReport());
        if (sub == 3) out.push_back(product());
        if (sub == 4) out.push_back(hardwareId());
        break;
    case 0x16:
        if (sub == 1) out.push_back(health());
        if (sub == 2) out.push_back(startupHealth());
        break;
    case 0x30:
        if (sub == 2) out.push_back(drData());
        if (sub == 3) out.push_back(bufferedDr());
        break;
    case 0x31:
        out.push_back(gpsFix(sub));
        break;
    case 0x32:
        if (sub == 1) out.push_back(timeConstellation());
        if (sub == 2) out.push_back(constellationSummary());
        if (sub == 3) out.push_back(timeSummary());
        break;
    case 0x33:
        for (int c = 0; c < kChannels; ++c) out.push_back(channel(sub, c));
        break;
    case 0x23: // time-keeping debug message, only when an output trigger asks for it
        out.push_back(timeKeeping(sub));
        break;
    case 0x36:
        if (sub == 3 || sub == 4 || sub == 5 || sub == 8) out.push_back(calibration(sub, 0));
        if (sub == 7) out.push_back(calibration(7, world_.speedIndex()));
        break;
    default: {
        // Any other queryable setting is sent as its Query reply.
        std::vector<Frame> replies;
        uint8_t none = 0;
        if (handleQuery(code, sub, &none, 0, replies) == 0)
            for (Frame& f : replies) out.push_back(std::move(f));
        break;
    }
    }
    return !out.empty();
}

// ---------------------------------------------------------------------------------------------
// Identity and health

SimReceiver::Frame SimReceiver::version(uint8_t sub) const {
    const ModelParams& p = modelParams();
    const CodeVersion& v = sub == 1 ? p.navVersion : sub == 2 ? p.bootVersion : p.ioVersion;
    Frame f{0x11, sub, {}};
    f.payload.u8(v.major);
    f.payload.u8(v.minor);
    f.payload.u8(v.release);
    f.payload.u8(v.month);
    f.payload.u8(v.day);
    f.payload.u16(v.year);
    return f;
}

SimReceiver::Frame SimReceiver::startupReport() const {
    Frame f{0x12, 0x01, {}};
    f.payload.u16(uint16_t(store_.startupCount)); // start-ups since the BBRAM was initialized
    f.payload.u8(uint8_t(pendingKind_));          // 1 hot, 2 warm, 3 cold, 4 factory
    f.payload.u8(bbramValid_ ? 0x01 : 0x00);      // bit 0 BBRAM valid; bit 1 self test failed
    return f;
}

SimReceiver::Frame SimReceiver::product() const {
    Frame f{0x12, 0x03, {}};
    const FactoryData& fd = *factory_;
    f.payload.raw(fd.productConfig, std::max<size_t>(8, fd.productConfigLength));
    return f;
}

SimReceiver::Frame SimReceiver::hardwareId() const {
    Frame f{0x12, 0x04, {}};
    f.payload.raw(reinterpret_cast<const uint8_t*>(factory_->hardwareId),
                  strnlen(factory_->hardwareId, 16));
    return f;
}

SimReceiver::Frame SimReceiver::health() const {
    Frame f{0x16, 0x01, {}};
    f.payload.u8(0); // direction switch, gyro and tacho normal
    f.payload.u8(world_.antennaShort() ? 0x03 : world_.antennaOpen() ? 0x01 : 0x00);
    f.payload.u8(uint8_t(store_.softCount));
    return f;
}

SimReceiver::Frame SimReceiver::startupHealth() const {
    Frame f{0x16, 0x02, {}};
    f.payload.u16(shutdownCode_);
    f.payload.u8(uint8_t(pendingKind_));
    f.payload.u8(uint8_t((bbramValid_ ? 0x01 : 0) | (world_.timeKnown() ? 0x04 : 0) |
                         (bbramFromFlash_ ? 0x08 : 0)));
    f.payload.u8(uint8_t(store_.softCount));
    f.payload.u32(uint32_t(now_ - bootedAtMs_));
    return f;
}

SimReceiver::Frame SimReceiver::logEntry(uint8_t sub, uint8_t index) const {
    Frame f{0x14, sub, {}};
    const bool soft = sub == 1;
    const uint32_t count = soft ? store_.softCount : store_.fatalCount;
    LogEntry e{};
    if (index < count)
        e = soft ? store_.softLog[index] : store_.fatalLog[index];
    else if (soft && count == 0)
        e.code = 0x00FF; // "No event in log."
    // The layouts place the fields: 1402 trades the year and the code.
    f.payload.record(
        soft ? kSoftEventLogLayout : kFatalErrorLogLayout,
        SoftEventRecord{index, e.year, e.month, e.day, e.hour, e.minute, e.second, e.code});
    return f;
}

SimReceiver::Frame SimReceiver::diagStartup() const {
    const ModelParams& p = modelParams();
    Frame f{0x70, 0x20, {}};
    f.payload.u8(0);
    f.payload.u32(p.romChecksum);
    for (const CodeVersion* v : {&p.navVersion, &p.bootVersion, &p.ioVersion}) {
        f.payload.u8(v->major);
        f.payload.u8(v->minor);
        f.payload.u8(v->release);
        f.payload.u8(v->month);
        f.payload.u8(v->day);
        f.payload.u16(v->year);
    }
    return f;
}

// The GPS engine's time keeping (frames of code 0x23, never decoded by the console). Subcode
// 1: the reference millisecond of the week, the system tick count at that reference, the tick
// count now and the millisecond of the week now. Any other subcode: three pairs of a 16-bit and
// a 32-bit value (week and millisecond of the reference, the tick counts at the reference and
// now), the time of the last fix in seconds of the week, the millisecond of the week now, the
// seconds since the last fix and whether the RTC holds a valid time.
SimReceiver::Frame SimReceiver::timeKeeping(uint8_t sub) const {
    const World& w = world_;
    const uint32_t tow = w.towMs();
    const uint32_t refMs = tow - tow % 1000;
    const uint32_t tick = uint32_t(now_ - bootedAtMs_) * 4; // 250 us ticks since start-up
    const uint32_t refTick = tick - (tow % 1000) * 4;
    Frame f{0x23, sub, {}};
    Bytes& b = f.payload;
    if (sub == 1) {
        b.u32(refMs);
        b.u32(refTick);
        b.u32(tick);
        b.u32(tow);
        return f;
    }
    b.u16(w.gpsWeek());
    b.u32(refMs);
    b.u16(uint16_t(refTick));
    b.u32(refTick);
    b.u16(uint16_t(tick));
    b.u32(tick);
    const double sinceFix = w.everFixed() ? double(now_ - w.lastFixMs()) / 1000.0 : -1.0;
    b.f32(w.everFixed() ? float(double(tow) / 1000.0 - sinceFix) : 0.0f);
    b.i32(int32_t(tow));
    b.f32(float(sinceFix));
    b.u8(w.timeKnown() ? 1 : 0);
    return f;
}

SimReceiver::Frame SimReceiver::selfTest() const {
    Frame f{0x3F, 0x01, {}};
    f.payload.u8(0);                                              // ADC valid
    f.payload.u32(2730);                                          // ADC at the 2.2 V reference
    f.payload.u16(100);                                           // samples
    f.payload.u32(uint32_t(std::lround(world_.trueZroCounts()))); // ADC (gyro) at rest
    f.payload.u16(100);
    return f;
}

// ---------------------------------------------------------------------------------------------
// Navigation

SimReceiver::Frame SimReceiver::drData() const {
    const World& w = world_;
    const DrStep& st = w.lastDrStep();
    Frame f{0x30, 0x02, {}};
    Bytes& b = f.payload;
    b.u8(w.drInitialized() ? 0xFF : 0xF8);
    uint8_t status = 0;
    if (w.moving()) status |= 0x01;
    if (w.reverse()) status |= 0x02;
    if (store_.zro.status & 0x10) status |= 0x04;
    if (store_.dpp[0].status & 0x10) status |= 0x08;
    status |= uint8_t(w.timeSource() << 4);
    if (w.positionJumped()) status |= 0x40;
    b.u8(status);
    if (!w.everFixed())
        b.u8(255);
    else
        b.u8(uint8_t(std::min<int64_t>((now_ - w.lastFixMs()) / 1000, 254)));
    b.u32(w.towMs());
    b.i32(semicircles(w.latitudeRad()));
    b.i32(semicircles(w.longitudeRad()));
    b.i16(int16_t(std::lround(w.altitudeM())));
    b.u16(heading16(w.headingRad()));
    b.u16(u16Clamp(std::fabs(w.speedMps()) * 100.0));
    b.u16(st.deltaTimeMs);
    b.i16(st.deltaDistanceCm);
    b.i16(st.deltaHeadingCdeg);
    b.u16(u16Clamp(w.positionAccuracyM()));
    b.u16(u16Clamp(w.altitudeAccuracyM()));
    b.u16(headingAcc16(w.headingAccuracyDeg()));
    b.u16(u16Clamp(w.speedAccuracyMps() * 100.0));
    b.u16(u16Clamp(2.0 + 0.005 * std::abs(st.deltaDistanceCm)));
    b.u16(u16Clamp(5.0 + 0.01 * std::abs(st.deltaHeadingCdeg)));
    b.u8(uint8_t((st.gyroSamples & 0x7F) | (st.reverse ? 0x80 : 0)));
    b.u32(st.gyroCount);
    b.u16(st.tachoPulses);
    return f;
}

SimReceiver::Frame SimReceiver::bufferedDr() const {
    const World& w = world_;
    Frame f{0x30, 0x03, {}};
    Bytes& b = f.payload;
    uint8_t flags = w.drInitialized() ? 0x1F : 0x0C;
    if (w.moving()) flags |= 0x20;
    flags |= uint8_t((w.timeSource() & 3) << 6);
    b.u8(flags);
    b.u16(uint16_t(w.towMs() & 0xFFFF));
    b.i32(semicircles(w.latitudeRad()));
    b.i32(semicircles(w.longitudeRad()));
    b.u16(heading16(w.headingRad()));
    for (int i = 0; i < World::kDrHistory; ++i) {
        DrStep s = w.drHistory(i);
        b.i16(s.deltaDistanceCm);
        b.i16(s.deltaHeadingCdeg);
    }
    b.u16(headingAcc16(w.headingAccuracyDeg()));
    b.u16(u16Clamp(w.positionAccuracyM()));
    b.u16(3);
    b.u16(6);
    return f;
}

SimReceiver::Frame SimReceiver::gpsFix(uint8_t sub) const {
    const World& w = world_;
    Frame f{0x31, sub, {}};
    Bytes& b = f.payload;
    b.u32(w.towMs());
    uint8_t source = w.fixSource() & 0x3F;
    if (w.fixDimension() == 2) source |= 0x40;
    b.u8(source);
    b.u8(uint8_t((w.hasFix() ? 0x0F : 0x00) | ((w.timeSource() & 3) << 4)));
    b.i32(semicircles(w.gpsLatitudeRad()));
    b.i32(semicircles(w.gpsLongitudeRad()));
    b.i16(int16_t(std::lround(w.gpsAltitudeM())));
    b.u16(heading16(w.headingRad()));
    b.u16(u16Clamp(std::fabs(w.speedMps()) * 100.0));
    b.u16(u16Clamp(w.hasFix() ? 1.0 + 2.5 * w.hdop() : 999.0));
    b.u16(u16Clamp(w.hasFix() ? 2.0 + 4.0 * w.vdop() : 999.0));
    b.u16(headingAcc16(w.hasFix() && std::fabs(w.speedMps()) > 1.0 ? 0.8 : 180.0));
    b.u16(u16Clamp(w.hasFix() ? 15.0 : 999.0));
    return f;
}

SimReceiver::Frame SimReceiver::timeConstellation() const {
    const World& w = world_;
    const Calendar c = w.utc();
    Frame f{0x32, 0x01, {}};
    Bytes& b = f.payload;
    b.u16(uint16_t(c.year));
    b.u8(uint8_t(c.month));
    b.u8(uint8_t(c.day));
    b.u8(uint8_t(c.hour));
    b.u8(uint8_t(c.minute));
    b.u8(uint8_t(c.second));
    b.u8(uint8_t(modelParams().leapSeconds));
    b.i16(dop16(w.pdop()));
    b.i16(dop16(w.hdop()));
    b.i16(dop16(w.vdop()));
    b.u8(0); // no DGPS
    b.u8(uint8_t((w.gpsStatus() & 0x0F) | ((w.timeSource() & 3) << 4)));
    b.u8(uint8_t((w.searchMode(store_) & 3) | (w.almanacComplete(store_) ? 0x80 : 0)));
    b.u8(uint8_t(std::min(w.visibleCount(), 15)));
    return f;
}

SimReceiver::Frame SimReceiver::constellationSummary() const {
    const World& w = world_;
    Frame f{0x32, 0x02, {}};
    Bytes& b = f.payload;
    b.u8(uint8_t((w.gpsStatus() & 0x0F) | ((w.timeSource() & 3) << 4) |
                 (w.almanacComplete(store_) ? 0x80 : 0)));
    b.u8(uint8_t(std::min(w.visibleCount(), 15) | ((w.searchMode(store_) & 3) << 4)));
    b.u32(w.towMs());
    b.u8(uint8_t(w.fixDimension()));
    b.i16(dop16(w.pdop()));
    b.i16(dop16(w.hdop()));
    b.i16(dop16(w.vdop()));
    b.u8(0);
    return f;
}

SimReceiver::Frame SimReceiver::timeSummary() const {
    const World& w = world_;
    const Calendar c = w.utc();
    Frame f{0x32, 0x03, {}};
    Bytes& b = f.payload;
    b.u8(uint8_t((w.timeSource() & 3) << 4));
    b.u32(w.towMs());
    b.u16(w.gpsWeek());
    b.u8(uint8_t(modelParams().leapSeconds));
    b.u16(uint16_t(c.year));
    b.u8(uint8_t(c.month));
    b.u8(uint8_t(c.day));
    b.u8(uint8_t(c.hour));
    b.u8(uint8_t(c.minute));
    b.u8(uint8_t(c.second));
    return f;
}

SimReceiver::Frame SimReceiver::channel(uint8_t sub, int index) const {
    const ChannelView& v = world_.channels()[size_t(index)];
    Frame f{0x33, sub, {}};
    Bytes& b = f.payload;
    b.u8(uint8_t(index));
    if (!v.prn) {
        b.zeros(6);
        return f;
    }
    b.u8(v.prn);
    b.u8(uint8_t((v.visible ? 0x01 : 0) | (v.tracked ? 0x04 : 0) | (v.tracking ? 0x10 : 0) |
                 (v.snrOk ? 0x20 : 0)));
    b.u8(uint8_t(std::clamp(std::lround(v.tracking ? v.cn0 * 5.0 : 0.0), 0L, 255L)));
    b.u8(uint8_t(std::clamp(std::lround(v.azimuthDeg / 2.0), 0L, 179L)));
    b.u8(uint8_t(int8_t(std::clamp(std::lround(v.elevationDeg), -90L, 90L))));
    b.u8(uint8_t((v.almanacState & 3) | ((v.ephemerisState & 3) << 2)));
    return f;
}

SimReceiver::Frame SimReceiver::calibration(uint8_t sub, int dppIndex) const {
    Frame f{0x36, sub, {}};
    DrCalibrationRecord r{};
    r.subcode = sub;
    const CalValue* c = nullptr;
    switch (sub) {
    case 3:
        c = &store_.zro;
        break;
    case 4:
        c = &store_.gyroSensitivity;
        break;
    case 8:
        c = &store_.zroRate;
        break;
    case 5:
        r.status = store_.dirSwitch.status;
        r.confidence_speed = store_.dirSwitch.confidenceSpeed;
        break;
    case 7:
        r.dpp_index = uint8_t(dppIndex);
        c = &store_.dpp[std::clamp(dppIndex, 0, 2)];
        break;
    default:
        return f;
    }
    if (c) {
        r.status = c->status;
        r.value = c->value;
        r.accuracy = c->accuracy;
    }
    if (const PacketLayout* l = findLayout(0x36, sub)) f.payload.record(*l, r);
    return f;
}

SimReceiver::Frame SimReceiver::initReply(uint8_t sub) const {
    Frame f{0x29, sub, {}};
    Bytes& b = f.payload;
    const InitSlot& slot = store_.init[sub];
    if (slot.hostSet) {
        b.raw(slot.data, slot.length);
        return f;
    }
    const World& w = world_;
    const uint8_t gps = w.hasFix() ? 0x1B : w.drInitialized() ? 0x13 : 0x00;
    constexpr double kR = 6378137.0;
    auto angleAcc = [&](double metres) {
        return uint32_t(std::clamp(metres / kR / kPi * 2147483648.0, 0.0, 4294967295.0));
    };
    switch (sub) {
    case 1: {
        const uint8_t status = w.timeSource() >= 2 ? 0x1B : w.timeSource() == 1 ? 0x10 : 0x00;
        const uint32_t accuracy = w.timeSource() >= 3 ? 1 : w.timeSource() == 2 ? 10 : 2000;
        b.record(kInitTimeLayout, InitTimeRecord{status, w.gpsWeek(), w.towMs(), accuracy});
        break;
    }
    case 2: {
        const uint32_t accuracy = angleAcc(w.positionAccuracyM());
        b.record(kInitLatLonLayout,
                 InitLatLonRecord{gps, semicircles(w.latitudeRad()), semicircles(w.longitudeRad()),
                                  accuracy, accuracy, 0.0f});
        break;
    }
    case 3:
        b.record(kInitAltitudeLayout, InitAltitudeRecord{gps, int16_t(std::lround(w.altitudeM())),
                                                         u16Clamp(w.altitudeAccuracyM())});
        break;
    case 4:
        b.record(kInitFrequencyLayout,
                 InitFrequencyRecord{uint8_t(w.everFixed() ? 0x1B : 0x00),
                                     int32_t(std::lround(w.clockDriftPpb())), 5});
        break;
    case 5:
        b.record(kInitHeadingLayout, InitHeadingRecord{gps, heading16(w.headingRad()),
                                                       headingAcc16(w.headingAccuracyDeg())});
        break;
    case 7: // no map matching in the loop
        b.record(kMapMatchLayout, MapMatchRecord{});
        break;
    case 8:
        b.record(kTachoDataLayout,
                 TachoDataRecord{uint8_t(0x07 | (w.reverse() ? 0x80 : 0)),
                                 uint16_t(w.towMs() & 0xFFFF), 0, w.tachoTotal()});
        break;
    }
    return f;
}

// ---------------------------------------------------------------------------------------------
// Sensor bench tests started by 2F02, 2F04 and 2F06

void SimReceiver::testStep() {
    const World& w = world_;
    for (uint8_t sub : {uint8_t(2), uint8_t(4), uint8_t(6)}) {
        TestRun& t = tests_[sub];
        if (!t.active) continue;
        if (w.drStepDone()) {
            ++t.samples;
            const DrStep& st = w.lastDrStep();
            t.gyroSum += st.gyroCount;
            t.gyroSamples += st.gyroSamples;
            if (st.reverse) ++t.dirSamples;
        }
        t.maxSpeedCmS = std::max(t.maxSpeedCmS, u16Clamp(std::fabs(w.speedMps()) * 100.0));
        if (w.fixDimension() >= 2) t.flagsSeen |= 1;
        if (w.fixDimension() == 3) t.flagsSeen |= 2;
        t.maxSvs = std::max<uint8_t>(t.maxSvs, uint8_t(w.usedCount()));
        t.maxSnr = std::max<uint8_t>(t.maxSnr, uint8_t(std::min(255.0, w.maxCn0() * 5.0)));
        if (w.reverse() != t.wasReverse) {
            ++t.dirChanges;
            (w.reverse() ? t.f2r : t.r2f)++;
            t.wasReverse = w.reverse();
        }
        if (now_ < t.endMs) continue;
        t.active = false;
        Frame f{0x3F, sub, {}};
        Bytes& b = f.payload;
        const uint32_t pulses = w.tachoTotal() - t.tachoStart;
        if (sub == 2) {
            uint8_t failed = 0;
            if (!(t.flagsSeen & 1)) failed |= 0x01;
            if (!(t.flagsSeen & 2)) failed |= 0x02;
            if (!(store_.dpp[0].status & 0x10) || !(store_.zro.status & 0x10)) failed |= 0x04;
            if (!w.almanacComplete(store_)) failed |= 0x08;
            if (w.gpsStatus() != 0) failed |= 0x10;
            b.u32(pulses);
            b.u16(t.maxSpeedCmS);
            b.u32(uint32_t(std::lround((w.odometerM() - t.odoStart) * 100.0)));
            b.u8(failed);
            b.u8(t.maxSvs);
            b.u8(t.maxSnr);
            b.u8(t.f2r);
            b.u8(t.r2f);
            b.u16(t.initialHeading);
            b.u16(heading16(w.headingRad()));
            b.u16(t.seconds);
        } else if (sub == 4) {
            b.u32(t.gyroSamples ? uint32_t(std::lround(t.gyroSum / t.gyroSamples)) : 0);
            b.u16(uint16_t(std::min<uint32_t>(t.gyroSamples, 65535)));
            b.u16(t.seconds);
        } else {
            b.u32(pulses);
            b.u16(t.samples);
            b.u16(t.dirChanges);
            b.u16(t.dirSamples);
            b.u16(t.seconds);
        }
        queueFrame(Kind::Report, f, now_);
    }
}

// ---------------------------------------------------------------------------------------------
// Diagnostic output (0x70), as the 707F mask enables it

void SimReceiver::diagnostics() {
    const SimStore& s = store_;
    const World& w = world_;
    if (!w.epochDone()) return;
    ++diagCounter_;
    bool any = false;
    for (uint8_t m : s.diagMask) any |= m != 0;
    if (!any) return;
    auto emit = [&](const Frame& f) { queueFrame(Kind::Report, f, now_); };

    if ((w.hasFix() && diagOn(s, 0x02)) || (!w.hasFix() && diagOn(s, 0x09))) {
        Frame f{0x70, uint8_t(w.hasFix() ? 0x02 : 0x09), {}};
        Bytes& b = f.payload;
        b.u8(w.fixDimension() == 2 ? 1 : 0);
        b.u16(w.gpsWeek());
        b.f64(w.towMs() / 1000.0);
        b.u8(w.drInitialized() ? 0 : 1);
        b.u8(w.drInitialized() ? 1 : 0);
        for (int i = 0; i < 3; ++i) b.f64(w.ecef(i));
        b.f64(29979.2458 + w.clockDriftPpb() * 0.2998 * (now_ / 1000.0) / 1000.0);
        const double lat = w.gpsLatitudeRad(), lon = w.gpsLongitudeRad();
        const double v = w.speedMps(), h = w.headingRad();
        const double ve = v * std::sin(h), vn = v * std::cos(h);
        b.f32(float(-ve * std::sin(lon) - vn * std::sin(lat) * std::cos(lon)));
        b.f32(float(ve * std::cos(lon) - vn * std::sin(lat) * std::sin(lon)));
        b.f32(float(vn * std::cos(lat)));
        b.f32(float(w.clockDriftPpb() * 0.2998));
        b.f32(float(std::cos(lat) * std::cos(lon)));
        b.f32(float(std::cos(lat) * std::sin(lon)));
        b.f32(float(std::sin(lat)));
        b.u8(w.hasFix() ? 1 : 0);
        b.u8(w.gpsStatus());
        b.u8(uint8_t(w.fixDimension()));
        b.u8(uint8_t(w.usedCount()));
        b.u8(1);
        b.u8(0);
        b.u8(0);
        b.u8(w.timeKnown() ? 1 : 0);
        uint32_t masked = 0;
        for (const ChannelView& c : w.channels())
            if (c.prn && c.tracking && !c.used) masked |= 1u << (c.prn - 1);
        b.u32(masked);
        emit(f);
    }
    if (diagOn(s, 0x10)) { // per channel: sv, hms, cf, h, amu, xc, r, str, rem
        Frame f{0x70, 0x10, {}};
        for (int c = 0; c < 8; ++c) {
            const ChannelView& v = w.channels()[size_t(c)];
            f.payload.u8(v.prn);
            f.payload.u8(v.tracking ? 3 : v.prn ? 1 : 0);
            f.payload.u8(v.tracking ? 1 : 0);
            f.payload.u8(0);
            f.payload.u8(uint8_t(std::clamp(v.cn0 - 20.0, 0.0, 40.0)));
            f.payload.u8(v.used ? 1 : 0);
            f.payload.u8(v.ephemerisState);
            f.payload.u8(uint8_t(std::lround(v.cn0)));
            f.payload.u8(0);
        }
        emit(f);
    }
    if (diagOn(s, 0x11)) { // per channel: status, sv, amu, old, age, filter, doppler
        Frame f{0x70, 0x11, {}};
        for (int c = 0; c < 8; ++c) {
            const ChannelView& v = w.channels()[size_t(c)];
            f.payload.u16(uint16_t((v.tracking ? 0x0100 : 0) | (v.used ? 0x0001 : 0)));
            f.payload.u8(v.prn);
            f.payload.u8(uint8_t(std::clamp(v.cn0 - 20.0, 0.0, 40.0)));
            f.payload.u8(v.ephemerisState < 2 ? 1 : 0);
            f.payload.u16(uint16_t(v.tracking ? diagCounter_ % 600 : 0));
            f.payload.u8(v.tracking ? 2 : 0);
            f.payload.i32(
                v.prn ? int32_t(std::lround(3500.0 * std::cos(v.elevationDeg * kPi / 180.0) *
                                            (v.azimuthDeg < 180 ? 1 : -1)))
                      : 0);
        }
        emit(f);
    }
    if (diagOn(s, 0x16)) { // oscillator drift
        Frame f{0x70, 0x16, {}};
        Bytes& b = f.payload;
        const double drift = w.clockDriftPpb();
        b.u32(w.towMs());
        b.u16(w.gpsWeek());
        b.u8(w.timeSource());
        b.f64(drift);
        b.f32(2.5f);
        b.u8(w.everFixed() ? 1 : 0);
        b.f64(drift + 20.0);
        b.f64(drift - 20.0);
        b.u8(w.everFixed() ? 1 : 0);
        b.u16(w.gpsWeek());
        b.u32(w.towMs());
        emit(f);
    }
    if (diagCounter_ % 5 == 0 && diagOn(s, 0x15)) { // task stack and message buffer use
        static const uint16_t stack[14] = {1024, 1792, 2560, 3328, 2048, 2048, 2560,
                                           1024, 2560, 2048, 2048, 2048, 2048, 3328};
        static const uint16_t buffer[14] = {120, 660, 660,  340,   340,   240, 360,
                                            580, 12,  2400, 12240, 12240, 28,  28};
        Frame f{0x70, 0x15, {}};
        f.payload.u8(14);
        for (int i = 0; i < 14; ++i) {
            msgCount_[i] += uint32_t(5 + i);
            f.payload.u16(uint16_t(stack[i] * (40 + (i * 7) % 35) / 100 + (diagCounter_ / 60) % 8));
            f.payload.u16(uint16_t(buffer[i] * ((i * 11) % 50) / 100));
            f.payload.u16(uint16_t(msgCount_[i]));
            f.payload.u8(0);
        }
        emit(f);
    }
    if (diagCounter_ % 10 == 0 && diagOn(s, 0x12)) { // debug text
        char text[96];
        std::snprintf(text, sizeof text, "PF: %d SVs used, PDOP %.1f, %s", w.usedCount(), w.pdop(),
                      w.fixDimension() == 3   ? "3D fix"
                      : w.fixDimension() == 2 ? "2D fix"
                                              : "no fix");
        Frame f{0x70, 0x12, {}};
        f.payload.u8(0);
        f.payload.text(text);
        emit(f);
    }
    if (diagCounter_ % 10 == 0) {
        bbramActivity(2196, 0); // the user position is saved every 10 s
        bbramActivity(2356, 0);
    }
    if (diagCounter_ % 30 == 0 && diagOn(s, 0x0E)) { // ADC calibration levels
        Frame f{0x70, 0x0E, {}};
        Bytes& b = f.payload;
        adcLevel_ = uint8_t((adcLevel_ + 1) % 4);
        b.u8(adcLevel_);
        b.u8(13);
        b.u32(66306);
        Rng r(seed_ + diagCounter_);
        for (int i = 0; i < 13; ++i) b.f32(float(r.uniform(-0.6, 0.6)));
        for (int i = 0; i < 13; ++i) b.f32(float(r.uniform(-0.3, 0.3)));
        emit(f);
    }
    if (diagCounter_ % 30 == 0 && diagOn(s, 0x0F)) { // a series of 208 ADC samples
        Rng r(seed_ * 31 + diagCounter_);
        for (int k = 0; k < 13; ++k) {
            Frame f{0x70, 0x0F, {}};
            f.payload.u8(k == 0 ? 1 : 0);
            f.payload.u8(2);
            for (int i = 0; i < 16; ++i) f.payload.f32(float(620.0 + 1.5 * r.normal()));
            emit(f);
        }
    }
}

// ---------------------------------------------------------------------------------------------
// NMEA sentences, when 2202 asks for them

void SimReceiver::sendText(const std::string& body) {
    uint8_t sum = 0;
    for (char c : body) sum ^= uint8_t(c);
    char tail[8];
    std::snprintf(tail, sizeof tail, "*%02X\r\n", sum);
    std::string line = "$" + body + tail;
    queue(Kind::Text, 0, 0, reinterpret_cast<const uint8_t*>(line.data()), line.size(), now_);
}

void SimReceiver::nmea() {
    const SimStore& s = store_;
    if (!s.nmeaMask) return;
    const int64_t period = s.nmeaInterval ? int64_t(s.nmeaInterval) * 1000 : world_.drPeriodMs();
    if (now_ - lastNmeaMs_ < period) return;
    lastNmeaMs_ = now_;
    const World& w = world_;
    const Calendar c = w.utc();
    char time[48], date[40], lat[40], lon[40];
    std::snprintf(time, sizeof time, "%02d%02d%02d.%02d", c.hour, c.minute, c.second,
                  c.millisecond / 10);
    std::snprintf(date, sizeof date, "%02d%02d%02d", c.day, c.month, c.year % 100);
    auto angle = [](char* out, size_t n, double rad, int degDigits, char pos, char neg) {
        double d = std::fabs(rad) * 180.0 / kPi;
        int deg = int(d);
        double min = (d - deg) * 60.0;
        std::snprintf(out, n, "%0*d%07.4f,%c", degDigits, deg, min, rad >= 0 ? pos : neg);
    };
    angle(lat, sizeof lat, w.latitudeRad(), 2, 'N', 'S');
    angle(lon, sizeof lon, w.longitudeRad(), 3, 'E', 'W');
    const bool fix = w.hasFix();
    const double knots = std::fabs(w.speedMps()) * 1.943844;
    const double course = heading16(w.headingRad()) * 180.0 / 32768.0;
    char buf[320];
    if (s.nmeaMask & 0x001) {
        std::snprintf(buf, sizeof buf, "GPGGA,%s,%s,%s,%d,%02d,%.1f,%.1f,M,47.5,M,,", time, lat,
                      lon, fix ? 1 : 0, w.usedCount(), std::min(w.hdop(), 99.9),
                      w.altitudeM() - 47.5);
        sendText(buf);
    }
    if (s.nmeaMask & 0x010) {
        std::string used;
        int n = 0;
        for (const ChannelView& v : w.channels()) {
            if (!v.used || n == 12) continue;
            char sv[4];
            std::snprintf(sv, sizeof sv, "%02d", v.prn);
            used += sv;
            used += ',';
            ++n;
        }
        for (; n < 12; ++n) used += ',';
        std::snprintf(buf, sizeof buf, "GPGSA,A,%d,%s%.1f,%.1f,%.1f", fix ? w.fixDimension() : 1,
                      used.c_str(), std::min(w.pdop(), 99.9), std::min(w.hdop(), 99.9),
                      std::min(w.vdop(), 99.9));
        sendText(buf);
    }
    if (s.nmeaMask & 0x008) {
        std::vector<const ChannelView*> vis;
        for (const ChannelView& v : w.channels())
            if (v.prn && v.visible) vis.push_back(&v);
        const int total = std::max(1, int(vis.size() + 3) / 4);
        for (int m = 0; m < total; ++m) {
            std::string body = "GPGSV," + std::to_string(total) + "," + std::to_string(m + 1) +
                               "," + std::to_string(vis.size());
            for (size_t i = size_t(m) * 4; i < vis.size() && i < size_t(m) * 4 + 4; ++i) {
                char sv[32];
                std::snprintf(sv, sizeof sv, ",%02d,%02d,%03d,", vis[i]->prn,
                              int(std::lround(std::max(0.0, vis[i]->elevationDeg))),
                              int(std::lround(vis[i]->azimuthDeg)) % 360);
                body += sv;
                if (vis[i]->tracking) body += std::to_string(std::lround(vis[i]->cn0));
            }
            sendText(body);
        }
    }
    if (s.nmeaMask & 0x100) {
        std::snprintf(buf, sizeof buf, "GPRMC,%s,%c,%s,%s,%.1f,%.1f,%s,,,%c", time, fix ? 'A' : 'V',
                      lat, lon, knots, course, date, fix ? 'A' : 'N');
        sendText(buf);
    }
    if (s.nmeaMask & 0x004) {
        std::snprintf(buf, sizeof buf, "GPVTG,%.1f,T,,M,%.1f,N,%.1f,K,%c", course, knots,
                      std::fabs(w.speedMps()) * 3.6, fix ? 'A' : 'N');
        sendText(buf);
    }
}

} // namespace vx::sim
