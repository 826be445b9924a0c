// Default values of the simulated receiver: its settings store, its factory data and the
// parameters of the simulated world (vehicle route, sensors, sky, timing). Every value lives in
// sim_defaults.cpp, one line each with a comment.
#pragma once

#include "sim/sim_store.h"

#include <cstdint>

namespace vx::sim {

// The settings a freshly initialized BBRAM holds ("Clear Flash and RAM, Reset" restores them).
const SimStore& defaultStore();

// Product information, hardware ID and customer data blocks as shipped.
const FactoryData& defaultFactoryData();

struct CodeVersion {
    uint8_t major, minor, release;
    uint8_t month, day;
    uint16_t year;
};

// What the simulated world and receiver firmware look like.
struct ModelParams {
    // Where the route is.
    double originLatDeg, originLonDeg, originAltM;
    double hillHeightM; // altitude varies by this much around the loop
    // The route: a rounded rectangle driven clockwise.
    double longSideM, shortSideM, cornerRadiusM;
    double cruiseSpeedMps, cornerSpeedMps, accelMps2, brakeMps2;
    // Once per lap: a stop, a short reverse, a pause, then on.
    double stopSeconds, reverseMetres, reverseSpeedMps, reversePauseSeconds;
    // Sensors.
    double gyroZroCounts;      // true zero-rate output of the gyro (ADC counts)
    double gyroZroDriftCounts; // slow thermal drift amplitude
    double gyroZroDriftPeriodS;
    double gyroCountsPerDegS; // true sensitivity
    double gyroNoiseCounts;   // per-sample noise
    int gyroSamplesPerSecond;
    double dppMetres[3];        // true distance per tacho pulse per speed index
    double dppLevelSpeedMps[2]; // speed index boundaries
    // Sky.
    int constellationSize; // satellites in the sky model
    double skyPeriodS;     // rise-to-rise cycle of one satellite
    double cn0ZenithDbHz, cn0HorizonDbHz, trackThresholdDbHz;
    // GPS engine timing.
    double acquireHotS, acquireWarmS, acquireColdS, acquireSpreadS;
    double ephemerisDecodeS, ephemerisVerifyS;
    double almanacCollectS; // a missing almanac is complete this long after a restart
    int leapSeconds;        // GPS - UTC
    // Events.
    double firstAntennaEventS, antennaEventMinGapS, antennaEventMaxGapS;
    double antennaFaultMinS, antennaFaultMaxS;
    double recoveryEventMinGapS, recoveryEventMaxGapS;
    // Start-up.
    uint32_t bootDelayMs; // reset to start-up report
    // Firmware identity.
    CodeVersion navVersion, bootVersion, ioVersion;
    uint32_t romChecksum;
};

const ModelParams& modelParams();

} // namespace vx::sim
