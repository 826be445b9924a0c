#include "sim/sim_world.h"

#include "sim/sim_defaults.h"

#include <algorithm>
#include <cmath>

namespace vx::sim {

namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kDeg = kPi / 180.0;
constexpr double kEarthRadius = 6378137.0;
constexpr int64_t kGpsEpochUnixS = 315964800; // 1980-01-06 00:00:00 UTC

double wrapDeg180(double d) {
    while (d > 180.0) d -= 360.0;
    while (d <= -180.0) d += 360.0;
    return d;
}

double wrap2Pi(double a) {
    a = std::fmod(a, 2 * kPi);
    if (a < 0) a += 2 * kPi;
    return a;
}

// Dilution of precision from the satellites' azimuth and elevation (degrees): the diagonal of
// (G^T G)^-1 with rows [cos e sin a, cos e cos a, sin e, 1].
bool computeDops(const std::vector<std::pair<double, double>>& azEl, double& pdop, double& hdop,
                 double& vdop) {
    if (azEl.size() < 4) return false;
    double m[4][4] = {};
    for (auto [az, el] : azEl) {
        double row[4] = {std::cos(el * kDeg) * std::sin(az * kDeg),
                         std::cos(el * kDeg) * std::cos(az * kDeg), std::sin(el * kDeg), 1.0};
        for (int i = 0; i < 4; ++i)
            for (int j = 0; j < 4; ++j) m[i][j] += row[i] * row[j];
    }
    // Gauss-Jordan inversion.
    double inv[4][4] = {};
    for (int i = 0; i < 4; ++i) inv[i][i] = 1.0;
    for (int c = 0; c < 4; ++c) {
        int p = c;
        for (int r = c + 1; r < 4; ++r)
            if (std::fabs(m[r][c]) > std::fabs(m[p][c])) p = r;
        if (std::fabs(m[p][c]) < 1e-12) return false;
        for (int j = 0; j < 4; ++j) {
            std::swap(m[c][j], m[p][j]);
            std::swap(inv[c][j], inv[p][j]);
        }
        double d = m[c][c];
        for (int j = 0; j < 4; ++j) {
            m[c][j] /= d;
            inv[c][j] /= d;
        }
        for (int r = 0; r < 4; ++r) {
            if (r == c) continue;
            double f = m[r][c];
            for (int j = 0; j < 4; ++j) {
                m[r][j] -= f * m[c][j];
                inv[r][j] -= f * inv[c][j];
            }
        }
    }
    if (inv[0][0] < 0 || inv[1][1] < 0 || inv[2][2] < 0) return false;
    hdop = std::sqrt(inv[0][0] + inv[1][1]);
    vdop = std::sqrt(inv[2][2]);
    pdop = std::sqrt(inv[0][0] + inv[1][1] + inv[2][2]);
    return true;
}

} // namespace

int64_t unixDaysFromCivil(int y, int m, int d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

Calendar calendarFromUnixMs(int64_t unixMs) {
    int64_t days = unixMs >= 0 ? unixMs / 86400000 : -((-unixMs + 86399999) / 86400000);
    int64_t msOfDay = unixMs - days * 86400000;
    int64_t z = days + 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    Calendar c{};
    c.day = int(doy - (153 * mp + 2) / 5 + 1);
    c.month = int(mp < 10 ? mp + 3 : mp - 9);
    c.year = int(yoe + era * 400 + (c.month <= 2));
    c.hour = int(msOfDay / 3600000);
    c.minute = int(msOfDay / 60000 % 60);
    c.second = int(msOfDay / 1000 % 60);
    c.millisecond = int(msOfDay % 1000);
    return c;
}

World::World(uint64_t seed) : rng_(seed) {
    const ModelParams& p = modelParams();
    // The route: a rounded rectangle driven clockwise, starting on its northern side heading
    // east. Positive curvature turns right.
    const double r = p.cornerRadiusM;
    const double quarter = kPi / 2 * r;
    const double lens[8] = {p.longSideM, quarter, p.shortSideM, quarter,
                            p.longSideM, quarter, p.shortSideM, quarter};
    const double curv[8] = {0, 1 / r, 0, 1 / r, 0, 1 / r, 0, 1 / r};
    double e = r, n = p.shortSideM + 2 * r, h = kPi / 2, s = 0;
    for (int i = 0; i < 8; ++i) {
        route_.push_back({lens[i], curv[i], e, n, h, s});
        if (curv[i] == 0) {
            e += lens[i] * std::sin(h);
            n += lens[i] * std::cos(h);
        } else {
            double h1 = h + curv[i] * lens[i];
            e += (std::cos(h) - std::cos(h1)) / curv[i];
            n += (std::sin(h1) - std::sin(h)) / curv[i];
            h = h1;
        }
        s += lens[i];
    }
    lapLength_ = s;
    stopAtS_ = 0.6 * p.longSideM;
    nextStopS_ = stopAtS_;

    // The sky: satellites spread evenly around their common cycle, so that about half are up.
    uint8_t prns[32];
    for (int i = 0; i < 32; ++i) prns[i] = uint8_t(i + 1);
    for (int i = 31; i > 0; --i) std::swap(prns[i], prns[rng_.below(uint32_t(i + 1))]);
    const int count = std::clamp(p.constellationSize, 4, 32);
    for (int i = 0; i < count; ++i) {
        Sky k{};
        k.prn = prns[i];
        k.elMaxDeg = rng_.uniform(35.0, 88.0);
        k.phase = 2 * kPi * i / count + rng_.uniform(-0.12, 0.12);
        k.azBaseDeg = rng_.uniform(0.0, 360.0);
        k.azRateDegS = (rng_.chance(0.5) ? 1 : -1) * rng_.uniform(0.5, 0.9) * 360.0 / p.skyPeriodS;
        k.cn0Bias = rng_.uniform(-2.0, 2.0);
        k.f1 = rng_.uniform(0.0, 2 * kPi);
        k.f2 = rng_.uniform(0.0, 2 * kPi);
        sky_.push_back(k);
    }
    eph_.assign(sky_.size(), Ephemeris{});
    for (DrStep& d : steps_) d = DrStep{};

    nextAntennaS_ = p.firstAntennaEventS;
    nextRecoveryS_ = rng_.uniform(p.recoveryEventMinGapS, p.recoveryEventMaxGapS);
    double east, north, head, c;
    pathPose(0, east, north, head, c);
    east_ = east;
    north_ = north;
    heading_ = head;
    alt_ = p.originAltM;
}

void World::pathPose(double sAbs, double& east, double& north, double& heading,
                     double& curv) const {
    double s = std::fmod(sAbs, lapLength_);
    if (s < 0) s += lapLength_;
    const Segment* seg = &route_.back();
    for (const Segment& g : route_) {
        if (s < g.startS + g.length) {
            seg = &g;
            break;
        }
    }
    double d = std::clamp(s - seg->startS, 0.0, seg->length);
    curv = seg->curvature;
    if (curv == 0) {
        east = seg->e0 + d * std::sin(seg->h0);
        north = seg->n0 + d * std::cos(seg->h0);
        heading = seg->h0;
    } else {
        double h1 = seg->h0 + curv * d;
        east = seg->e0 + (std::cos(seg->h0) - std::cos(h1)) / curv;
        north = seg->n0 + (std::sin(h1) - std::sin(seg->h0)) / curv;
        heading = h1;
    }
    heading = wrap2Pi(heading);
}

double World::speedLimitAt(double sAbs) const {
    double e, n, h, c;
    pathPose(sAbs, e, n, h, c);
    const ModelParams& p = modelParams();
    return c != 0 ? p.cornerSpeedMps : p.cruiseSpeedMps;
}

void World::stepVehicle(double dt) {
    const ModelParams& p = modelParams();
    switch (phase_) {
    case Phase::Drive: {
        double target = p.cruiseSpeedMps;
        for (double d = 0; d <= 100.0; d += 5.0) {
            double lim = speedLimitAt(s_ + d);
            target = std::min(target, std::sqrt(lim * lim + 2 * p.brakeMps2 * d));
        }
        double toStop = nextStopS_ - s_;
        if (toStop >= 0)
            target = std::min(target, std::sqrt(2 * p.brakeMps2 * std::max(0.0, toStop - 0.2)));
        if (toStop < 0.6 && v_ < 0.4) {
            v_ = 0;
            phase_ = Phase::Stopped;
            phaseTimer_ = 0;
        } else if (v_ < target) {
            v_ = std::min(target, v_ + p.accelMps2 * dt);
        } else {
            v_ = std::max(target, v_ - 1.5 * p.brakeMps2 * dt);
        }
        break;
    }
    case Phase::Stopped:
        v_ = 0;
        phaseTimer_ += dt;
        if (phaseTimer_ >= p.stopSeconds) {
            phase_ = Phase::Reversing;
            reversed_ = 0;
        }
        break;
    case Phase::Reversing: {
        double left = p.reverseMetres - reversed_;
        double limit =
            std::min(p.reverseSpeedMps, std::sqrt(2 * p.brakeMps2 * std::max(0.0, left)));
        double speed = std::min(limit, -v_ + p.accelMps2 * dt);
        v_ = -speed;
        if (left <= 0.02 || (left < 0.1 && speed < 0.1)) {
            v_ = 0;
            phase_ = Phase::ReversePause;
            phaseTimer_ = 0;
        }
        break;
    }
    case Phase::ReversePause:
        v_ = 0;
        phaseTimer_ += dt;
        if (phaseTimer_ >= p.reversePauseSeconds) {
            phase_ = Phase::Drive;
            nextStopS_ += lapLength_;
        }
        break;
    }

    double ds = v_ * dt;
    s_ += ds;
    if (phase_ == Phase::Reversing) reversed_ += -ds;
    odometer_ += std::fabs(ds);
    double oldHeading = heading_;
    double curv;
    pathPose(s_, east_, north_, heading_, curv);
    alt_ =
        p.originAltM + p.hillHeightM * std::sin(2 * kPi * std::fmod(s_, lapLength_) / lapLength_);
    yawRateDegS_ = v_ * curv / kDeg;
    drDistAcc_ += ds;
    drHeadAcc_ += wrapDeg180((heading_ - oldHeading) / kDeg);
    if (drInit_) distSinceFix_ += std::fabs(ds);

    // Tacho pulses count distance in either direction.
    tachoResidualM_ += std::fabs(ds);
    double dpp = trueDpp(speedIndex());
    auto pulses = uint32_t(tachoResidualM_ / dpp);
    tachoTotal_ += pulses;
    tachoResidualM_ -= pulses * dpp;

    // Gyro samples.
    gyroSampleDue_ += dt * p.gyroSamplesPerSecond;
    while (gyroSampleDue_ >= 1.0) {
        gyroSampleDue_ -= 1.0;
        gyroAccum_ += trueZroCounts() + p.gyroCountsPerDegS * yawRateDegS_ +
                      p.gyroNoiseCounts * rng_.normal();
        ++gyroSamplesAcc_;
    }
}

double World::trueZroCounts() const {
    const ModelParams& p = modelParams();
    return p.gyroZroCounts +
           p.gyroZroDriftCounts * std::sin(2 * kPi * (t_ / 1000.0) / p.gyroZroDriftPeriodS);
}

double World::trueDpp(int index) const {
    return modelParams().dppMetres[std::clamp(index, 0, 2)];
}

int World::speedIndex() const {
    const ModelParams& p = modelParams();
    double v = std::fabs(v_);
    return v < p.dppLevelSpeedMps[0] ? 0 : v < p.dppLevelSpeedMps[1] ? 1 : 2;
}

double World::skyElevation(const Sky& k, double tS) const {
    return k.elMaxDeg * std::sin(2 * kPi * tS / modelParams().skyPeriodS + k.phase);
}

double World::skyAzimuth(const Sky& k, double tS) const {
    double a = std::fmod(k.azBaseDeg + k.azRateDegS * tS, 360.0);
    return a < 0 ? a + 360.0 : a;
}

double World::skyCn0(const Sky& k, double el, double tS) const {
    const ModelParams& p = modelParams();
    double e = std::max(0.0, el);
    double c = p.cn0HorizonDbHz + (p.cn0ZenithDbHz - p.cn0HorizonDbHz) * std::sin(e * kDeg) +
               k.cn0Bias + 1.2 * std::sin(2 * kPi * tS / 37.0 + k.f1) +
               0.8 * std::sin(2 * kPi * tS / 113.0 + k.f2);
    if (antennaFault_) c -= 30.0;
    return std::clamp(c, 0.0, 55.0);
}

void World::restart(StartKind kind, int64_t tMs, SimStore& store) {
    (void)store;
    startKind_ = kind;
    restartMs_ = tMs;
    acquiredOrder_ = 0;
    for (Track& tr : track_) tr = Track{};
    view_ = {};
    for (Ephemeris& e : eph_) {
        e.trackStartMs = -1;
        if (kind == StartKind::Warm) e.state = e.state ? 1 : 0;
        if (kind == StartKind::Cold || kind == StartKind::Factory) e.state = 0;
    }
    used_ = 0;
    fixDim_ = 0;
    gpsStatus_ = 5;
    pdop_ = hdop_ = vdop_ = 99.99;
    firstFixSinceStart_ = false;
    firstTrackMs_ = -1;
    if (kind == StartKind::Cold || kind == StartKind::Factory) {
        drInit_ = false;
        lastFixMs_ = -1;
        timeSource_ = 0;
    } else {
        timeSource_ = 1;
    }
    fixSource_ = drInit_ ? 4 : 0;
    almanacProgressS_ = 0;
    drStepDone_ = false;
    epochDone_ = false;
    lastDrMs_ = tMs;
    gyroAccum_ = 0;
    gyroSamplesAcc_ = 0;
    drDistAcc_ = drHeadAcc_ = 0;
    tachoAtLastStep_ = tachoTotal_;
}

void World::step(int64_t tMs, SimStore& store) {
    events_ = 0;
    softEvents_.clear();
    drStepDone_ = false;
    epochDone_ = false;
    const double dt = double(tMs - t_) / 1000.0;
    t_ = tMs;
    if (dt > 0) stepVehicle(dt);

    uint32_t rate = std::clamp<uint32_t>(store.engineRate.rate(), 1, 20);
    drPeriodMs_ = uint32_t(std::max<int64_t>(kStepMs, (1000 / rate) / kStepMs * kStepMs));
    if (t_ - lastDrMs_ >= drPeriodMs_) drStep(store);
    if (t_ % 1000 == 0) epoch(store);
    antennaAndEvents();
}

void World::drStep(SimStore& s) {
    (void)s;
    DrStep d;
    d.deltaTimeMs = uint16_t(t_ - lastDrMs_);
    d.deltaDistanceCm = int16_t(std::clamp(std::lround(drDistAcc_ * 100.0), -32768L, 32767L));
    d.deltaHeadingCdeg = int16_t(std::clamp(std::lround(drHeadAcc_ * 100.0), -32768L, 32767L));
    d.gyroCount = uint32_t(std::max(0.0, std::round(gyroAccum_)));
    d.gyroSamples = uint8_t(std::min(gyroSamplesAcc_, 127));
    d.tachoPulses = uint16_t(tachoTotal_ - tachoAtLastStep_);
    d.reverse = reverse();
    steps_[stepHead_] = d;
    stepHead_ = (stepHead_ + 1) % kDrHistory;
    lastDrMs_ = t_;
    gyroAccum_ = 0;
    gyroSamplesAcc_ = 0;
    drDistAcc_ = drHeadAcc_ = 0;
    tachoAtLastStep_ = tachoTotal_;
    jumped_ = false;
    drStepDone_ = true;
    events_ |= ev::TachoGyro;
}

DrStep World::drHistory(int iFromOldest) const {
    return steps_[(stepHead_ + std::clamp(iFromOldest, 0, kDrHistory - 1)) % kDrHistory];
}

void World::stepSky(const SimStore& s) {
    const ModelParams& p = modelParams();
    const double tS = t_ / 1000.0;
    std::vector<double> el(sky_.size()), az(sky_.size()), cn0(sky_.size());
    for (size_t i = 0; i < sky_.size(); ++i) {
        el[i] = skyElevation(sky_[i], tS);
        az[i] = skyAzimuth(sky_[i], tS);
        cn0[i] = skyCn0(sky_[i], el[i], tS);
    }
    // Release satellites that have set.
    bool listChanged = false;
    for (Track& tr : track_) {
        if (tr.sky >= 0 && el[size_t(tr.sky)] < -2.0) {
            tr = Track{};
            listChanged = true;
        }
    }
    // Assign free channels to risen satellites, highest first.
    std::vector<int> order;
    for (size_t i = 0; i < sky_.size(); ++i)
        if (el[i] > 0.0) order.push_back(int(i));
    std::sort(order.begin(), order.end(),
              [&](int a, int b) { return el[size_t(a)] > el[size_t(b)]; });
    for (int k : order) {
        bool assigned = false;
        for (const Track& tr : track_) assigned |= tr.sky == k;
        if (assigned) continue;
        for (Track& tr : track_) {
            if (tr.sky >= 0) continue;
            double delay = startKind_ == StartKind::Hot    ? p.acquireHotS
                           : startKind_ == StartKind::Warm ? p.acquireWarmS
                                                           : p.acquireColdS;
            int64_t earliest = std::max<int64_t>(t_, restartMs_ + int64_t(delay * 1000));
            tr.sky = k;
            tr.acquireAtMs = earliest + int64_t(acquiredOrder_++ * p.acquireSpreadS * 1000);
            break;
        }
    }
    // Tracking and ephemeris.
    for (int c = 0; c < kChannels; ++c) {
        Track& tr = track_[c];
        ChannelView& v = view_[size_t(c)];
        if (tr.sky < 0) {
            v = ChannelView{};
            continue;
        }
        size_t k = size_t(tr.sky);
        bool strong = cn0[k] >= p.trackThresholdDbHz;
        bool was = tr.tracking;
        tr.tracking = strong && t_ >= tr.acquireAtMs;
        if (!strong) tr.acquireAtMs = std::max(tr.acquireAtMs, t_ + 1000);
        if (was != tr.tracking) listChanged = true;
        tr.everTracked |= tr.tracking;
        Ephemeris& e = eph_[k];
        if (tr.tracking) {
            if (firstTrackMs_ < 0) firstTrackMs_ = t_;
            if (e.trackStartMs < 0) e.trackStartMs = t_;
            double jitter = (sky_[k].prn % 5) * 0.8;
            if (e.state < 2 &&
                t_ - e.trackStartMs >= int64_t((p.ephemerisDecodeS + jitter) * 1000)) {
                e.state = 2;
                e.decodedAtMs = t_;
                events_ |= ev::EphemerisPage;
            } else if (e.state == 2 && t_ - e.decodedAtMs >= int64_t(p.ephemerisVerifyS * 1000)) {
                e.state = 3;
            }
        } else {
            e.trackStartMs = -1;
        }
        v.prn = sky_[k].prn;
        v.azimuthDeg = az[k];
        v.elevationDeg = el[k];
        v.cn0 = cn0[k];
        v.visible = el[k] > 0.0;
        v.tracked = tr.everTracked;
        v.tracking = tr.tracking;
        v.snrOk = tr.tracking && cn0[k] * 5.0 >= s.gpsConfig[0x05]; // SNR mask, dBHz x 5
        v.ephemerisState = e.state;
        v.almanacState = (s.almanac[v.prn - 1].status & 7) ? 3 : 0;
        v.used = false;
    }
    if (listChanged) events_ |= ev::TrackingList;
}

void World::epoch(SimStore& s) {
    epochDone_ = true;
    stepSky(s);
    const SimStore& cs = s;

    // Which satellites the fix can use.
    std::vector<std::pair<double, double>> usedAzEl, trackedAzEl;
    for (ChannelView& v : view_) {
        if (!v.tracking) continue;
        trackedAzEl.push_back({v.azimuthDeg, v.elevationDeg});
        if (v.ephemerisState >= 2 && v.elevationDeg >= cs.gpsConfig[0x04] &&
            v.snrOk) { // elevation mask
            v.used = true;
            usedAzEl.push_back({v.azimuthDeg, v.elevationDeg});
        }
    }
    used_ = int(usedAzEl.size());
    int oldDim = fixDim_;
    double pd, hd, vd;
    if (computeDops(usedAzEl, pd, hd, vd) || computeDops(trackedAzEl, pd, hd, vd)) {
        pdop_ = std::min(pd, 99.99);
        hdop_ = std::min(hd, 99.99);
        vdop_ = std::min(vd, 99.99);
    } else {
        pdop_ = hdop_ = vdop_ = 99.99;
    }

    // Time keeping: a few seconds of tracking give GPS time, a fix gives precise time.
    uint8_t oldTime = timeSource_;
    if (firstTrackMs_ >= 0 && t_ - firstTrackMs_ >= 6000 && timeSource_ < 2) timeSource_ = 2;

    int dim = 0;
    const double od = cs.gpsConfig[0x01]; // operating dimension
    if (timeSource_ >= 1) {
        if (od == 3)
            dim = used_ >= 3 ? 2 : 0;
        else if (od == 4)
            dim = used_ >= 4 ? 3 : 0;
        else
            dim = used_ >= 4   ? (pdop_ > cs.gpsConfig[0x07] ? 2 : 3)
                  : used_ == 3 ? 2
                               : 0; // 0x07: DOP switch
    }
    bool dopTooHigh = dim > 0 && pdop_ > cs.gpsConfig[0x06]; // DOP mask
    if (dopTooHigh) dim = 0;
    fixDim_ = dim;
    if (dim) {
        gpsStatus_ = 0;
    } else if (timeSource_ == 0) {
        gpsStatus_ = 2;
    } else if (dopTooHigh) {
        gpsStatus_ = 3;
    } else {
        gpsStatus_ = uint8_t(5 + std::min(used_, 3));
    }

    // GPS errors wander slowly.
    errE_ = 0.85 * errE_ + 0.5 * rng_.normal();
    errN_ = 0.85 * errN_ + 0.5 * rng_.normal();
    errU_ = 0.85 * errU_ + 0.8 * rng_.normal();
    drift_ = 120.0 + 15.0 * std::sin(t_ / 600000.0 * 2 * kPi) + 0.3 * rng_.normal();

    if (fixDim_) {
        if (!firstFixSinceStart_) {
            firstFixSinceStart_ = true;
            softEvents_.push_back(0x0040);
        }
        if (!drInit_ || secondsSinceFix_ > 30) jumped_ = true;
        drInit_ = true;
        lastFixMs_ = t_;
        distSinceFix_ = 0;
        secondsSinceFix_ = 0;
        gpsEast_ = east_ + errE_;
        gpsNorth_ = north_ + errN_;
        gpsAlt_ = alt_ + errU_;
        timeSource_ = 3;
        fixSource_ = fixSource_ < 9 ? 9 : fixSource_ < 11 ? uint8_t(fixSource_ + 1) : 17;
        events_ |= ev::LsFix;
    } else {
        secondsSinceFix_ += 1;
        fixSource_ = drInit_ ? 4 : 0;
        events_ |= ev::LsNoFix;
    }
    if (!trackedAzEl.empty()) events_ |= ev::GpsMeasurement;
    if ((oldDim != 0) != (fixDim_ != 0)) events_ |= ev::StatusChanged;
    if (oldTime != timeSource_) events_ |= ev::TimeStatus;

    collectAlmanac(s);
    learnCalibration(s);
}

void World::fillAlmanacPage(uint8_t prn, AlmanacSvPage& page) const {
    // Orbit-like parameters derived from the satellite number and the sky model: health,
    // eccentricity, reference time, inclination offset, rate of right ascension, root of the
    // semi-major axis, right ascension, argument of perigee, mean anomaly, clock terms.
    Rng r(0xA1A1A1A1ull * prn + 7);
    bool inSky = false;
    for (const Sky& k : sky_) inSky |= k.prn == prn;
    uint8_t* d = page.data;
    d[0] = inSky ? 0x00 : 0x3F;
    uint16_t ecc = uint16_t(r.below(0x3000));
    d[1] = uint8_t(ecc);
    d[2] = uint8_t(ecc >> 8);
    d[3] = 0x90; // reference time (x 4096 s)
    for (int i = 4; i < 24; ++i) d[i] = uint8_t(r.next());
    d[8] = 0xA1; // sqrt(A) high byte: about 5153.6 m^1/2
    d[9] = 0x0D;
    page.extra = uint8_t((gpsWeek() & 0xFF));
}

void World::collectAlmanac(SimStore& s) {
    bool tracking = false;
    for (const ChannelView& v : view_) tracking |= v.tracking;
    if (!tracking) return;
    const double slot = modelParams().almanacCollectS / 34.0;
    almanacProgressS_ += 1.0;
    // Pages come in in order: SV 1..32, then the ION/UTC page (14), then page 13. Each slot
    // of the broadcast cycle brings the next missing page.
    int due = int(almanacProgressS_ / slot);
    int collectedNow = 0;
    for (int k = 0; k < 34 && collectedNow < 3; ++k) {
        if (k >= due) break;
        if (k < 32) {
            AlmanacSvPage& pg = s.almanac[k];
            if (pg.status & 7) continue;
            fillAlmanacPage(uint8_t(k + 1), pg);
            pg.status = 3;
            events_ |= ev::AlmanacPage;
        } else if (k == 32) {
            if (s.almanac14.status & 7) continue;
            s.almanac14.status = 3;
            s.almanac14.extra = 18;
            Rng r(0x10101ull);
            for (uint8_t& b : s.almanac14.data) b = uint8_t(r.next());
            s.almanac14.data[0] = uint8_t(modelParams().leapSeconds);
            events_ |= ev::UtcIonPage;
        } else {
            if (s.almanac13.status & 7) continue;
            s.almanac13.status = 3;
            s.almanac13.extra = uint8_t(gpsWeek() & 0xFF);
            Rng r(0x13131ull);
            for (uint8_t& b : s.almanac13.data) b = uint8_t(r.next());
            events_ |= ev::AlmanacPage;
        }
        ++collectedNow;
    }
}

bool World::almanacComplete(const SimStore& s) const {
    for (const AlmanacSvPage& p : s.almanac)
        if (!(p.status & 7)) return false;
    return (s.almanac13.status & 7) && (s.almanac14.status & 7);
}

uint8_t World::searchMode(const SimStore& s) const {
    if (hasFix()) return 0;
    return almanacComplete(s) ? 2 : 1;
}

void World::learnCalibration(SimStore& s) {
    if (!hasFix()) return;
    auto learn = [](CalValue& c, double truth, double rate, float floorAcc) {
        if (c.hostSet) return;
        c.value = float(c.value + (truth - c.value) * rate);
        c.accuracy = std::max(floorAcc, c.accuracy * 0.97f);
        c.status = 0x1B; // GPS-calibrated, new since start-up, valid
    };
    learn(s.zro, trueZroCounts(), 0.05, 0.3f);
    double dz = modelParams().gyroZroDriftCounts * 2 * kPi / modelParams().gyroZroDriftPeriodS *
                std::cos(2 * kPi * (t_ / 1000.0) / modelParams().gyroZroDriftPeriodS);
    learn(s.zroRate, dz, 0.3, 0.001f);
    uint32_t bits = ev::GyroCalibrated;
    if (std::fabs(yawRateDegS_) > 3.0)
        learn(s.gyroSensitivity, modelParams().gyroCountsPerDegS, 0.03, 0.005f);
    if (moving()) {
        if (v_ > 2.0) {
            int i = speedIndex();
            learn(s.dpp[i], trueDpp(i), 0.05, 0.00002f);
            bits |= ev::DppCalibrated;
        }
        if (!s.dirSwitch.hostSet) s.dirSwitch.status = uint8_t((s.dirSwitch.status & 0x80) | 0x1B);
        bits |= ev::DirSwCalibrated;
    }
    events_ |= bits;
}

void World::antennaAndEvents() {
    const ModelParams& p = modelParams();
    const double tS = t_ / 1000.0;
    if (antennaFault_ == 0 && tS >= nextAntennaS_) {
        antennaFault_ = rng_.chance(0.5) ? 1 : 2;
        antennaEndS_ = tS + rng_.uniform(p.antennaFaultMinS, p.antennaFaultMaxS);
        softEvents_.push_back(antennaFault_ == 1 ? 0x1070 : 0x1071);
    } else if (antennaFault_ != 0 && tS >= antennaEndS_) {
        softEvents_.push_back(antennaFault_ == 1 ? 0x3070 : 0x3071);
        antennaFault_ = 0;
        nextAntennaS_ = tS + rng_.uniform(p.antennaEventMinGapS, p.antennaEventMaxGapS);
    }
    if (tS >= nextRecoveryS_) {
        nextRecoveryS_ = tS + rng_.uniform(p.recoveryEventMinGapS, p.recoveryEventMaxGapS);
        if (drInit_) {
            static const uint8_t kinds[] = {0x43, 0x44, 0x46};
            softEvents_.push_back(kinds[rng_.below(3)]);
        }
    }
}

int World::visibleCount() const {
    int n = 0;
    const double tS = t_ / 1000.0;
    for (const Sky& k : sky_) n += skyElevation(k, tS) > 0.0;
    return n;
}

double World::maxCn0() const {
    double m = 0;
    for (const ChannelView& v : view_)
        if (v.tracking) m = std::max(m, v.cn0);
    return m;
}

Calendar World::utc() const {
    return calendarFromUnixMs(utcMs());
}

uint32_t World::towMs() const {
    int64_t gpsMs = utcMs() - kGpsEpochUnixS * 1000 + int64_t(modelParams().leapSeconds) * 1000;
    return uint32_t(((gpsMs % 604800000) + 604800000) % 604800000);
}

uint16_t World::gpsWeek() const {
    int64_t gpsMs = utcMs() - kGpsEpochUnixS * 1000 + int64_t(modelParams().leapSeconds) * 1000;
    return uint16_t(std::max<int64_t>(0, gpsMs / 604800000));
}

static double latOf(double north) {
    return modelParams().originLatDeg * kDeg + north / kEarthRadius;
}
static double lonOf(double east) {
    double lat0 = modelParams().originLatDeg * kDeg;
    return modelParams().originLonDeg * kDeg + east / (kEarthRadius * std::cos(lat0));
}

double World::latitudeRad() const {
    return latOf(north_ + 0.4 * errN_);
}
double World::longitudeRad() const {
    return lonOf(east_ + 0.4 * errE_);
}
double World::gpsLatitudeRad() const {
    return latOf(gpsNorth_);
}
double World::gpsLongitudeRad() const {
    return lonOf(gpsEast_);
}

double World::positionAccuracyM() const {
    if (!drInit_) return 9999.0;
    if (hasFix()) return 1.5 + 2.0 * hdop_;
    return 3.0 + 0.03 * distSinceFix_ + 0.2 * secondsSinceFix_;
}

double World::altitudeAccuracyM() const {
    if (!drInit_) return 9999.0;
    return hasFix() ? 2.0 + 3.0 * vdop_ : 5.0 + 0.5 * secondsSinceFix_;
}

double World::headingAccuracyDeg() const {
    if (!drInit_) return 180.0;
    return std::min(30.0, 0.4 + 0.02 * secondsSinceFix_);
}

double World::speedAccuracyMps() const {
    return drInit_ ? 0.1 : 0.5;
}

double World::ecef(int axis) const {
    const double a = 6378137.0, f = 1 / 298.257223563, e2 = f * (2 - f);
    double lat = gpsLatitudeRad(), lon = gpsLongitudeRad(), h = gpsAlt_;
    double n = a / std::sqrt(1 - e2 * std::sin(lat) * std::sin(lat));
    if (axis == 0) return (n + h) * std::cos(lat) * std::cos(lon);
    if (axis == 1) return (n + h) * std::cos(lat) * std::sin(lon);
    return (n * (1 - e2) + h) * std::sin(lat);
}

} // namespace vx::sim
