// Every default of the simulated receiver, one value per line with what it means.
#include "sim/sim_defaults.h"

#include <cstring>

namespace vx::sim {

namespace {

void trigger(SimStore& s, int slot, uint8_t code, uint8_t sub, uint32_t events, uint32_t timeMax) {
    Trigger& t = s.triggers[slot];
    t.used = 1;
    t.code = code;
    t.subcode = sub;
    t.eventMask = events;
    t.timeMax = timeMax;
}

CalValue cal(uint8_t status, float value, float accuracy) {
    CalValue c{};
    c.status = status;
    c.value = value;
    c.accuracy = accuracy;
    return c;
}

SimStore buildDefaultStore() {
    SimStore s;
    // Padding included, so BBRAM images are reproducible.
    std::memset(static_cast<void*>(&s), 0, sizeof s);

    // --- 2101: DR engine rate ---
    s.engineRate.value[0x01] = 5; // Hz; the DR engine runs a step every 200 ms

    // --- 2202: NMEA output control ---
    s.nmeaInterval = 1; // seconds between NMEA sentence groups when a mask is set
    s.nmeaMask = 0;     // no NMEA sentences: the receiver speaks VEXOR only

    // --- 2401..2408: GPS configuration ---
    s.gpsConfig.value[0x01] = 0;     // 0 = auto 2D/3D
    s.gpsConfig.value[0x02] = 2;     // 2 = use DGPS if available
    s.gpsConfig.value[0x03] = 17;    // 17 = automobile
    s.gpsConfig.value[0x04] = 5.0f;  // degrees: satellites below are not used
    s.gpsConfig.value[0x05] = 140;   // 28.0 dBHz x 5: weaker satellites are not used
    s.gpsConfig.value[0x06] = 10.0f; // no fix is output while PDOP is above this
    s.gpsConfig.value[0x07] = 6.0f;  // PDOP above which auto mode drops to altitude hold
    s.gpsConfig.value[0x08] = 30;    // seconds: older DGPS corrections are ignored

    // --- 2501..2506: Kalman filter integers ---
    s.kalman.value[0x01] = 1000; // 2501 MinGainIndex, ms
    s.kalman.value[0x02] = 4;    // 2502 MinSVs
    s.kalman.value[0x03] = 40;   // 2503 NoEditAMU5: 8.0 AMU x 5
    s.kalman.value[0x04] = 15;   // 2504 MinAMU5: 3.0 AMU x 5
    s.kalman.value[0x05] = 2;    // 2505 MaxEdits
    s.kalman.value[0x06] = 30;   // 2506 MaxGPSPropTime, s
    // --- 2507..2517: Kalman filter reals ---
    s.kalman.value[0x07] = 4.0f;   // 2507 MaxAcc, m/s^2
    s.kalman.value[0x08] = 70.0f;  // 2508 MaxVel, m/s
    s.kalman.value[0x09] = 1.0f;   // 2509 SigmaHorizAcc, m/s^2
    s.kalman.value[0x0A] = 0.05f;  // 250A SigmaFreqAcc, m/s^2
    s.kalman.value[0x0B] = 0.01f;  // 250B CarrSigSq, m/s
    s.kalman.value[0x0C] = 25.0f;  // 250C MaxAcceptSigmaSq, sigma^2
    s.kalman.value[0x0D] = 1.0e6f; // 250D InitPosVar, m^2
    s.kalman.value[0x0E] = 1.0e8f; // 250E InitBiasVar, m^2
    s.kalman.value[0x0F] = 100.0f; // 250F ClockModeErr, m^2
    s.kalman.value[0x10] = 50.0f;  // 2510 RejectSSR, sigma^2
    s.kalman.value[0x11] = 0.04f;  // 2511 SigSlope1Sq, slope^2
    s.kalman.value[0x12] = 0.09f;  // 2512 SigSlope2Sq, slope^2
    s.kalman.value[0x13] = 0.25f;  // 2513 MaxSlope3Sq, slope^2
    s.kalman.value[0x14] = 0.04f;  // 2514 MinVelSq, m/s
    s.kalman.value[0x15] = 100.0f; // 2515 Alt2DVar, m^2
    s.kalman.value[0x16] = 1.0f;   // 2516 fltMinPosVar, m^2
    s.kalman.value[0x17] = 1.0e4f; // 2517 fltMaxHVar, m^2

    // --- 2701..271B: DR filter integers ---
    s.drFilter.value[0x01] = 5;     // 2701 GPSVelEditHoldoff, counts
    s.drFilter.value[0x02] = 2;     // 2702 MinSpdDirSwThresh, m/s
    s.drFilter.value[0x03] = 3;     // 2703 DirSwWarning, m/s
    s.drFilter.value[0x04] = 8;     // 2704 MaxDirSwSpd, m/s
    s.drFilter.value[0x05] = 30;    // 2705 ZROGPSStatThldSpdHi, cm/s
    s.drFilter.value[0x06] = 10;    // 2706 ZROGPSStatThldSpdLo, cm/s
    s.drFilter.value[0x07] = 50;    // 2707 ZROMaxDistThld, cm
    s.drFilter.value[0x08] = 3;     // 2708 MinGPSInitNFix, counts
    s.drFilter.value[0x09] = 10;    // 2709 GPSJumpHoldOff, counts
    s.drFilter.value[0x0A] = 2000;  // 270A MaxHBMSecs, ms
    s.drFilter.value[0x0B] = 500;   // 270B MinHBMSecs, ms
    s.drFilter.value[0x0C] = 8;     // 270C ZROMaxEdit, ADC samples
    s.drFilter.value[0x0D] = 60;    // 270D ZRRHoldOffSecs, s
    s.drFilter.value[0x0E] = 300;   // 270E ZROVarDecorTime, s
    s.drFilter.value[0x0F] = 20;    // 270F TachoDisconnectThrshld, counts
    s.drFilter.value[0x10] = 100;   // 2710 GPSVDelayMSecs, ms
    s.drFilter.value[0x11] = 20;    // 2711 TachoDelayMSecs, ms
    s.drFilter.value[0x12] = 30000; // 2712 WinMaxTime, ms
    s.drFilter.value[0x13] = 10;    // 2713 WinMinPts, counts
    s.drFilter.value[0x14] = 5;     // 2714 WinMin3D, counts
    s.drFilter.value[0x15] = 50;    // 2715 WinENMinDist, m
    s.drFilter.value[0x16] = 6;     // 2716 MinPtsGrossErr, counts
    s.drFilter.value[0x17] = 2731;  // 2717 GSFCalcMinHdgChng, 2^-15 sc (15 degrees)
    s.drFilter.value[0x18] = 20000; // 2718 GSFCalcMaxMsecs, ms
    s.drFilter.value[0x19] = 5;     // 2719 MinTimeBetweenWinPos, s
    s.drFilter.value[0x1A] = 182;   // 271A MaxHdgRateEndGSF, 2^-15 sc/s (1 degree/s)
    s.drFilter.value[0x1B] = 3000;  // 271B GSFCalcMinMsecs, ms

    // --- 2740..2770: DR filter reals ---
    auto& r = s.drFilter.value;
    r[0x40] = 0.5f;     // 2740 NoEditAddVelAccy, m/s
    r[0x41] = 20.0f;    // 2741 ZROMaxDeltaGyro, gyro counts
    r[0x42] = 3.0f;     // 2742 BadTachoMinSpd, m/s
    r[0x43] = 4.0f;     // 2743 ZROCalcGyroNoiseVar, counts^2
    r[0x44] = 0.25f;    // 2744 ZROCalcEditSigSq, m/s
    r[0x45] = 2500.0f;  // 2745 MaxGPSInitPosSig2, m^2
    r[0x46] = 20.0f;    // 2746 MinGPSInitDist, m
    r[0x47] = 9.0f;     // 2747 ZROVarValidThreshold, counts^2
    r[0x48] = 10000.0f; // 2748 SnapThreshold2, m^2
    r[0x49] = 1.0f;     // 2749 MaxHBSpd, m/s
    r[0x4A] = 2.0f;     // 274A MinWindowVelCfm, m/s
    r[0x4B] = 3.0f;     // 274B HdgCalcMinSpd, m/s
    r[0x4C] = 5.0f;     // 274C HdgCalcMinSpdNoTacho, m/s
    r[0x4D] = 3.0e-4f;  // 274D HdgCalcMinHdgSigSq, rad^2
    r[0x4E] = 5.0e-5f;  // 274E HdgMinSigSq, rad^2
    r[0x4F] = 1.0f;     // 274F PosMinSigSq, m^2
    r[0x50] = 1.0e-8f;  // 2750 DPPCalMinSigSq, (m/pulse)^2
    r[0x51] = 0.01f;    // 2751 SpdCalcMinSpdSigSq, (m/s)^2
    r[0x52] = 1.0f;     // 2752 SpdCalcMinSpeed, m/s
    r[0x53] = 16.0f;    // 2753 GPSVelEditSigSq, (counts/s)^2
    r[0x54] = 0.01f;    // 2754 GPSVelEditMaxHdSq, rad^2
    r[0x55] = 1.5f;     // 2755 MinGPSSpdMotNoTacho, m/s
    r[0x56] = 10.0f;    // 2756 GvarColdHdg, rad^2
    r[0x57] = 400.0f;   // 2757 GvarColdZRO, counts^2
    r[0x58] = 0.01f;    // 2758 GvarColdZRR, (counts/s)^2
    r[0x59] = 0.05f;    // 2759 GvarWarmHdg, rad^2
    r[0x5A] = 25.0f;    // 275A GvarWarmZRO, counts^2
    r[0x5B] = 0.001f;   // 275B GvarWarmZRR, (counts/s)^2
    r[0x5C] = 1.0e-6f;  // 275C GPNVarHdg, rad^2/s
    r[0x5D] = 4.0e-4f;  // 275D GPNVarZRO, counts^2/s
    r[0x5E] = 1.0e-8f;  // 275E GPNVarZRR, counts^2/s^3
    r[0x5F] = 0.0025f;  // 275F GyroSnsSig2
    r[0x60] = 1.5f;     // 2760 CarrSigMultFactor
    r[0x61] = 1.0e-6f;  // 2761 TInitVar, (m/pulse)^2
    r[0x62] = 1.0e-12f; // 2762 TPNVar, (m/pulse)^2/s
    r[0x63] = 4.0e-6f;  // 2763 TmaxVar, (m/pulse)^2
    r[0x64] = 1.0f;     // 2764 ZRRHoldOffZROAccy, counts^2
    r[0x65] = 25.0f;    // 2765 WinSnapThd, (counts/(rad/s))^2
    r[0x66] = 2.0f;     // 2766 WinClusterVar, counts/(rad/s)
    r[0x67] = 900.0f;   // 2767 MaxInitGrossErrSq, m^2
    r[0x68] = 100.0f;   // 2768 MaxCorrectionSigSq
    r[0x69] = 0.05f;    // 2769 GSFCalcMinHdgRate, rad/s
    r[0x6A] = 0.8f;     // 276A GSFCalcMaxHdgRate, rad/s
    r[0x6B] = 4.0f;     // 276B GSFCalcMaxZROVar
    r[0x6C] = 100.0f;   // 276C MaxGSFVar, (counts/(rad/s))^2
    r[0x6D] = 0.01f;    // 276D MinGSFVar, (counts/(rad/s))^2
    r[0x6E] = 150.0f;   // 276E MaxGSFGain, counts/(rad/s)
    r[0x6F] = 0.04f;    // 276F MinNormVelResidSq
    r[0x70] = 4.0e-4f;  // 2770 GSFCalcMaxGPSVar, rad^2

    // --- 2A..2D: output triggers; the receiver's standard VEXOR output ---
    trigger(s, 0, 0x30, 0x02, 0, 200);         // 3002 every 200 ms (5 Hz)
    trigger(s, 1, 0x31, 0x01, 0x00000C00, 0);  // 3101 on every fix attempt (1 Hz)
    trigger(s, 2, 0x32, 0x01, 0x00000C00, 0);  // 3201 on every fix attempt (1 Hz)
    trigger(s, 3, 0x33, 0x01, 0x00000C00, 0);  // 3301, all channels, on every fix attempt
    trigger(s, 4, 0x11, 0x01, 0x00200000, 0);  // 1101 version when start-up completes
    trigger(s, 5, 0x12, 0x01, 0x00200000, 0);  // 1201 start-up report when start-up completes
    trigger(s, 6, 0x36, 0x03, 0x04000000, 0);  // 3603 ZRO when the gyro is calibrated (1 Hz)
    trigger(s, 7, 0x36, 0x04, 0x04000000, 0);  // 3604 gyro sensitivity, same
    trigger(s, 8, 0x36, 0x05, 0x02000000, 0);  // 3605 direction switch when calibrated
    trigger(s, 9, 0x36, 0x07, 0x01000000, 0);  // 3607 DPP when calibrated
    trigger(s, 10, 0x36, 0x08, 0x04000000, 0); // 3608 ZRO rate with the gyro calibration
    trigger(s, 11, 0x16, 0x01, 0x00200000, 0); // 1601 health when start-up completes
    trigger(s, 12, 0x16, 0x02, 0x00200000, 0); // 1602 start-up report, same
    trigger(s, 13, 0x70, 0x20, 0x00200000, 0); // 7020 ROM checksum and code versions, same

    // --- 2E01: which soft events are reported as 1401 when they happen ---
    s.eventReportMask[0x01] = 1; // warm reset: report on change
    s.eventReportMask[0x02] = 1; // cold reset: report on change
    s.eventReportMask[0x03] = 1; // factory reset: report on change
    s.eventReportMask[0x05] = 1; // invalid BBRAM at start-up: report on change
    s.eventReportMask[0x40] = 1; // first fix after start-up: report on change
    s.eventReportMask[0x70] = 3; // antenna open: report as detected
    s.eventReportMask[0x71] = 3; // antenna short: report as detected

    // --- 707F: no diagnostic (0x70) output ---
    // diagMask stays all zero.

    // --- 36xx: DR calibration as learned before the BBRAM image was made ---
    s.zro = cal(0x13, 2048.0f, 4.0f);            // GPS-calibrated, valid; ADC counts
    s.gyroSensitivity = cal(0x13, 1.65f, 0.05f); // counts per degree/s
    s.dirSwitch.status = 0x13;                   // GPS-calibrated, valid, 0 = forward
    s.dirSwitch.confidenceSpeed = 5;             // m/s
    s.dpp[0] = cal(0x13, 0.02450f, 0.00050f);    // m per pulse below 8 m/s
    s.dpp[1] = cal(0x13, 0.02455f, 0.00050f);    // m per pulse 8..20 m/s
    s.dpp[2] = cal(0x13, 0.02460f, 0.00050f);    // m per pulse above 20 m/s
    s.zroRate = cal(0x13, 0.0f, 0.01f);          // counts per second

    // --- 29xx: no host initialization data; replies show the receiver's own values ---
    // --- RTC: runs on GPS time ---
    setRtcOffsetMs(s, 0);

    // --- 28xx: an empty almanac; the GPS collects it after start-up ---
    // --- 1401: an empty soft event log; start-ups counted from zero ---
    // --- 1402: the fatal error the production test left (the serial port test of 05/13/2024,
    //     before the image was made) ---
    s.fatalCount = 1;
    s.fatalLog[0] = LogEntry{2024, 5, 13, 9, 41, 7, 0, 0x2121, 0}; // "Failure to open serial port."
    return s;
}

FactoryData buildDefaultFactoryData() {
    FactoryData f;
    std::memset(&f, 0, sizeof f);
    // Product information as the monitor's 0x8A command stores it: serial number (LE), the
    // second date number, the first date number, the year (LE), then the name.
    const uint32_t serial = 24051301;             // production serial number
    const uint8_t firstDate = 5, secondDate = 13; // 05/13
    const uint16_t year = 2024;                   // production year
    const char* name = "SIMDR-12 GPS/DR";         // product name (15 characters)
    uint8_t* p = f.productConfig;
    for (int i = 0; i < 4; ++i) *p++ = uint8_t(serial >> (8 * i));
    *p++ = secondDate;
    *p++ = firstDate;
    *p++ = uint8_t(year);
    *p++ = uint8_t(year >> 8);
    for (const char* c = name; *c; ++c) *p++ = uint8_t(*c);
    f.productConfigLength = uint8_t(p - f.productConfig);
    std::strcpy(f.hardwareId, "HWID-SIM-0001"); // hardware ID text
    // Customer data block 0x01: a small calibration tag; all other blocks are empty.
    const uint8_t block1[] = {0x43, 0x41, 0x4C, 0x2D, 0x30, 0x31, 0x00, 0x10, 0x27, 0x00};
    f.customerSet[1] = 1;
    f.customerLength[1] = sizeof block1;
    std::memcpy(f.customer[1], block1, sizeof block1);
    return f;
}

ModelParams buildModelParams() {
    ModelParams m{};
    m.originLatDeg = 47.3769; // south-west corner of the route
    m.originLonDeg = 8.5417;
    m.originAltM = 408.0; // metres
    m.hillHeightM = 6.0;  // altitude swings +-6 m around the loop

    m.longSideM = 250.0;     // straight part of the long sides
    m.shortSideM = 100.0;    // straight part of the short sides
    m.cornerRadiusM = 25.0;  // four right-hand corners
    m.cruiseSpeedMps = 13.9; // 50 km/h on the straights
    m.cornerSpeedMps = 6.5;  // through the corners
    m.accelMps2 = 1.5;       // gentle acceleration
    m.brakeMps2 = 2.0;       // gentle braking

    m.stopSeconds = 8.0;   // a stop once per lap
    m.reverseMetres = 6.0; // then back up 6 m
    m.reverseSpeedMps = 1.5;
    m.reversePauseSeconds = 2.0; // standing in reverse before moving on

    m.gyroZroCounts = 2050.0;      // true zero-rate output, ADC counts
    m.gyroZroDriftCounts = 0.8;    // thermal drift amplitude, counts
    m.gyroZroDriftPeriodS = 900.0; // drift period, s
    m.gyroCountsPerDegS = 1.66;    // true sensitivity, counts per degree/s
    m.gyroNoiseCounts = 0.6;       // per-sample noise, counts
    m.gyroSamplesPerSecond = 50;   // 10 gyro samples in each 200 ms DR step
    m.dppMetres[0] = 0.024515;     // true m per tacho pulse below 8 m/s
    m.dppMetres[1] = 0.024560;     // 8..20 m/s
    m.dppMetres[2] = 0.024610;     // above 20 m/s
    m.dppLevelSpeedMps[0] = 8.0;
    m.dppLevelSpeedMps[1] = 20.0;

    m.constellationSize = 20;    // about 10 satellites above the horizon at any time
    m.skyPeriodS = 4 * 3600.0;   // rise-to-rise; shorter than real orbits so the sky moves
    m.cn0ZenithDbHz = 49.0;      // signal strength overhead
    m.cn0HorizonDbHz = 31.0;     // signal strength at the horizon
    m.trackThresholdDbHz = 24.0; // weaker signals are not tracked

    m.acquireHotS = 1.0;      // first satellite after a hot start
    m.acquireWarmS = 3.0;     // after a warm start
    m.acquireColdS = 8.0;     // after a cold start
    m.acquireSpreadS = 0.7;   // between successive satellites
    m.ephemerisDecodeS = 9.0; // tracking time before the ephemeris is decoded
    m.ephemerisVerifyS = 6.0; // then verified
    m.almanacCollectS = 45.0; // a missing almanac completes 45 s after a restart
    m.leapSeconds = 18;       // GPS time - UTC

    m.firstAntennaEventS = 35.0;  // first antenna fault after power-on
    m.antennaEventMinGapS = 90.0; // later ones every 90..180 s
    m.antennaEventMaxGapS = 180.0;
    m.antennaFaultMinS = 3.0; // an open or short lasts 3..5 s
    m.antennaFaultMaxS = 5.0;
    m.recoveryEventMinGapS = 60.0; // heading/ZRO recovery events every 60..150 s
    m.recoveryEventMaxGapS = 150.0;

    m.bootDelayMs = 1000; // a reset is followed by the start-up report after 1 s

    m.navVersion = {3, 2, 1, 3, 1, 2024};    // 1101: 03.02.01 of 01/03/2024 (day/month)
    m.bootVersion = {1, 4, 0, 11, 20, 2023}; // 1102
    m.ioVersion = {2, 1, 5, 2, 14, 2024};    // 1103
    m.romChecksum = 0x5A3C96E1;              // 7020
    return m;
}

} // namespace

const SimStore& defaultStore() {
    static const SimStore s = buildDefaultStore();
    return s;
}

const FactoryData& defaultFactoryData() {
    static const FactoryData f = buildDefaultFactoryData();
    return f;
}

const ModelParams& modelParams() {
    static const ModelParams m = buildModelParams();
    return m;
}

} // namespace vx::sim
