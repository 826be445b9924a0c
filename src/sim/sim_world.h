// The simulated world and GPS engine: a vehicle driving a loop, a sky of satellites whose
// azimuth, elevation and signal strength change slowly, the tracking channels, fixes, DOPs,
// time keeping, almanac collection and DR calibration learning.
//
// Everything advances in fixed 50 ms steps of simulated time and draws its randomness from one
// seeded generator in a fixed order, so the same seed gives the same world whatever the real
// timing of the caller.
#pragma once

#include "sim/sim_rng.h"
#include "sim/sim_store.h"

#include <array>
#include <cstdint>
#include <vector>

namespace vx::sim {

inline constexpr int64_t kStepMs = 50;
inline constexpr int kChannels = 12;

enum class StartKind : uint8_t { Hot = 1, Warm = 2, Cold = 3, Factory = 4 };

// Bits of the event trigger mask (code 0x2A) that the world raises.
namespace ev {
inline constexpr uint32_t AlmanacPage = 1u << 1;
inline constexpr uint32_t EphemerisPage = 1u << 2;
inline constexpr uint32_t UtcIonPage = 1u << 3;
inline constexpr uint32_t TachoGyro = 1u << 7;
inline constexpr uint32_t GpsMeasurement = 1u << 9;
inline constexpr uint32_t LsFix = 1u << 10;
inline constexpr uint32_t LsNoFix = 1u << 11;
inline constexpr uint32_t TrackingList = 1u << 12;
inline constexpr uint32_t SelfTest = 1u << 17;
inline constexpr uint32_t StatusChanged = 1u << 19;
inline constexpr uint32_t PowerOn = 1u << 20;
inline constexpr uint32_t StartupDone = 1u << 21;
inline constexpr uint32_t ReadyToShutDown = 1u << 22;
inline constexpr uint32_t DppCalibrated = 1u << 24;
inline constexpr uint32_t DirSwCalibrated = 1u << 25;
inline constexpr uint32_t GyroCalibrated = 1u << 26;
inline constexpr uint32_t TimeStatus = 1u << 28;
inline constexpr uint32_t FatalError = 1u << 29;
} // namespace ev

// One satellite as a channel sees it.
struct ChannelView {
    uint8_t prn = 0;       // 0: idle channel
    double azimuthDeg = 0; // 0..360
    double elevationDeg = 0;
    double cn0 = 0;             // dBHz
    bool visible = false;       // above the horizon
    bool tracked = false;       // has been tracked since assigned
    bool tracking = false;      // tracking now
    bool snrOk = false;         // meets the SNR mask
    bool used = false;          // used in the last fix
    uint8_t almanacState = 0;   // 0 none, 3 current
    uint8_t ephemerisState = 0; // 0 none, 1 old, 2 decoded, 3 verified
};

// What one DR engine step measured (3002 and 3003 report the latest steps).
struct DrStep {
    uint16_t deltaTimeMs = 0;
    int16_t deltaDistanceCm = 0;
    int16_t deltaHeadingCdeg = 0;
    uint32_t gyroCount = 0;
    uint8_t gyroSamples = 0;
    uint16_t tachoPulses = 0;
    bool reverse = false;
};

struct Calendar {
    int year, month, day, hour, minute, second, millisecond;
};

class World {
public:
    explicit World(uint64_t seed);

    // A receiver restart at time t: channels, fix, time knowledge and, depending on the kind,
    // ephemeris, position and almanac are lost. The vehicle and the sky carry on.
    void restart(StartKind kind, int64_t tMs, SimStore& store);
    // Advances the world to tMs (a multiple of kStepMs, one step after the last).
    void step(int64_t tMs, SimStore& store);

    // Events raised by the last step (bits of ev::).
    uint32_t events() const { return events_; }
    // Soft event words raised by the last step (event code in the low byte).
    const std::vector<uint16_t>& softEvents() const { return softEvents_; }
    bool drStepDone() const { return drStepDone_; }
    bool epochDone() const { return epochDone_; }

    // Time.
    int64_t now() const { return t_; }
    void setUtcStart(int64_t unixMs) { utcStartMs_ = unixMs; }
    int64_t utcMs() const { return utcStartMs_ + t_; }
    Calendar utc() const;
    uint32_t towMs() const; // GPS time of week
    uint16_t gpsWeek() const;
    uint8_t timeSource() const { return timeSource_; } // 0 clock, 1 RTC, 2 GPS <10 ms, 3 <1 ms
    bool timeKnown() const { return timeSource_ >= 1; }

    // GPS engine.
    const std::array<ChannelView, kChannels>& channels() const { return view_; }
    int visibleCount() const;
    int usedCount() const { return used_; }
    bool hasFix() const { return fixDim_ >= 2; }
    int fixDimension() const { return fixDim_; } // 0 none, 2 altitude hold, 3 full
    uint8_t gpsStatus() const { return gpsStatus_; }
    double pdop() const { return pdop_; }
    double hdop() const { return hdop_; }
    double vdop() const { return vdop_; }
    bool almanacComplete(const SimStore& s) const;
    uint8_t searchMode(const SimStore& s) const;
    int64_t lastFixMs() const { return lastFixMs_; }
    bool everFixed() const { return lastFixMs_ >= 0; }
    uint8_t fixSource() const { return fixSource_; }
    double maxCn0() const;

    // Vehicle truth and DR output.
    double latitudeRad() const; // DR position
    double longitudeRad() const;
    double altitudeM() const { return alt_; }
    double gpsLatitudeRad() const; // last GPS fix
    double gpsLongitudeRad() const;
    double gpsAltitudeM() const { return gpsAlt_; }
    double headingRad() const { return heading_; } // 0 north, clockwise
    double speedMps() const { return v_; }         // negative when reversing
    double yawRateDegS() const { return yawRateDegS_; }
    bool reverse() const { return v_ < -0.01; }
    bool moving() const { return v_ > 0.05 || v_ < -0.05; }
    double odometerM() const { return odometer_; }
    uint32_t tachoTotal() const { return tachoTotal_; }
    bool drInitialized() const { return drInit_; }
    bool positionJumped() const { return jumped_; }
    double positionAccuracyM() const;
    double altitudeAccuracyM() const;
    double headingAccuracyDeg() const;
    double speedAccuracyMps() const;
    const DrStep& lastDrStep() const { return steps_[(stepHead_ + kDrHistory - 1) % kDrHistory]; }
    // The last n DR steps, oldest first (n <= 20).
    DrStep drHistory(int iFromOldest) const;
    static constexpr int kDrHistory = 20;
    uint32_t drPeriodMs() const { return drPeriodMs_; }
    double ecef(int axis) const; // GPS position, earth-centred
    double trueZroCounts() const;
    double trueDpp(int index) const;
    int speedIndex() const;
    bool antennaOpen() const { return antennaFault_ == 1; }
    bool antennaShort() const { return antennaFault_ == 2; }
    double clockDriftPpb() const { return drift_; }

    // Host actions on the world.
    void almanacCleared() { almanacProgressS_ = 0; }
    // Raises a soft event word now (reported at the next step's drain).
    void raiseSoftEvent(uint16_t word) { softEvents_.push_back(word); }
    void raiseEvents(uint32_t bits) { events_ |= bits; }

    Rng& rng() { return rng_; }

private:
    struct Sky {
        uint8_t prn;
        double elMaxDeg, phase, azBaseDeg, azRateDegS, cn0Bias, f1, f2;
    };
    struct Track {
        int sky = -1; // index into sky_, -1 idle
        int64_t acquireAtMs = 0;
        bool everTracked = false;
        bool tracking = false;
    };
    struct Ephemeris {
        int64_t trackStartMs = -1;
        uint8_t state = 0;
        int64_t decodedAtMs = -1;
    };

    void stepVehicle(double dt);
    void stepSky(const SimStore& s);
    void epoch(SimStore& s);
    void drStep(SimStore& s);
    void learnCalibration(SimStore& s);
    void collectAlmanac(SimStore& s);
    void antennaAndEvents();
    double speedLimitAt(double s) const;
    void pathPose(double s, double& east, double& north, double& heading, double& curv) const;
    double skyElevation(const Sky& k, double tS) const;
    double skyAzimuth(const Sky& k, double tS) const;
    double skyCn0(const Sky& k, double el, double tS) const;
    void fillAlmanacPage(uint8_t prn, AlmanacSvPage& page) const;

    Rng rng_;
    int64_t t_ = 0;
    int64_t utcStartMs_ = 0;
    uint32_t events_ = 0;
    std::vector<uint16_t> softEvents_;
    bool drStepDone_ = false;
    bool epochDone_ = false;

    // Route.
    struct Segment {
        double length, curvature, e0, n0, h0, startS;
    };
    std::vector<Segment> route_;
    double lapLength_ = 0;
    double stopAtS_ = 0;

    // Vehicle.
    enum class Phase { Drive, Stopped, Reversing, ReversePause } phase_ = Phase::Drive;
    double s_ = 0;         // cumulative path position (m)
    double nextStopS_ = 0; // cumulative path position of the next stop
    double phaseTimer_ = 0;
    double reversed_ = 0;
    double v_ = 0;
    double east_ = 0, north_ = 0, alt_ = 0, heading_ = 0, yawRateDegS_ = 0;
    double odometer_ = 0;
    uint32_t tachoTotal_ = 0;
    double tachoResidualM_ = 0;
    double gyroAccum_ = 0; // summed gyro counts since the last DR step
    int gyroSamplesAcc_ = 0;
    double gyroSampleDue_ = 0;
    double drDistAcc_ = 0, drHeadAcc_ = 0;
    uint32_t tachoAtLastStep_ = 0;
    int64_t lastDrMs_ = 0;
    uint32_t drPeriodMs_ = 200;
    DrStep steps_[kDrHistory];
    int stepHead_ = 0;

    // Sky and channels.
    std::vector<Sky> sky_;
    std::vector<Ephemeris> eph_;
    Track track_[kChannels];
    std::array<ChannelView, kChannels> view_{};
    StartKind startKind_ = StartKind::Warm;
    int64_t restartMs_ = 0;
    int acquiredOrder_ = 0;

    // Fix.
    int used_ = 0;
    int fixDim_ = 0;
    uint8_t gpsStatus_ = 5;
    uint8_t fixSource_ = 0;
    double pdop_ = 99.99, hdop_ = 99.99, vdop_ = 99.99;
    int64_t lastFixMs_ = -1;
    bool firstFixSinceStart_ = false;
    double errE_ = 0, errN_ = 0, errU_ = 0; // GPS error (m)
    double gpsEast_ = 0, gpsNorth_ = 0, gpsAlt_ = 0;
    bool drInit_ = false;
    bool jumped_ = false;
    double distSinceFix_ = 0;
    double secondsSinceFix_ = 0;
    uint8_t timeSource_ = 1;
    int64_t firstTrackMs_ = -1;
    double drift_ = 0; // oscillator drift, ppb

    // Almanac.
    double almanacProgressS_ = 0;

    // Antenna and other spontaneous events.
    int antennaFault_ = 0; // 0 ok, 1 open, 2 short
    double nextAntennaS_ = 0;
    double antennaEndS_ = 0;
    double nextRecoveryS_ = 0;
};

// Days since 1970-01-01 to a civil date, and back (proleptic Gregorian).
Calendar calendarFromUnixMs(int64_t unixMs);
int64_t unixDaysFromCivil(int y, int m, int d);

} // namespace vx::sim
