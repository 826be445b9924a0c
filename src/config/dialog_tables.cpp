#include "config/dialog_tables.h"

#include "console/field_text.h"

#include <cmath>

namespace vx {

// ---- DR engine rate (2101) ---------------------------------------------------------------------

namespace {

constexpr ChoiceItem kRates[] = {{"5 Hz", 5}, {"10 Hz", 10}};

// 5..9 select "5 Hz", 10..14 "10 Hz", anything else nothing.
int rateItem(double v) {
    const int item = int(v) / 5 - 1;
    return item == 0 || item == 1 ? item : -1;
}

constexpr FieldSpec kRateFields[] = {
    {.subcode = 0x01,
     .objectName = "DR_CB",
     .label = "DR Engine Rate:",
     .unit = nullptr,
     .kind = FieldKind::Choice,
     .items = kRates,
     .initialItem = -1,
     .itemForValue = rateItem,
     .noSelectionMessage = "No DR Engine Rate selected.",
     .labelName = "Label1"},
};
constexpr SectionSpec kRateSections[] = {{nullptr, nullptr, kRateFields}};
constexpr GroupSpec kRateGroups[] = {
    {0x01, 0x01, "queryButton", "queryLED", "setButton", "setLED"}};

const DialogSpec kEngineRate{WindowId::Tpkt2101Form, engineRateSettings, kRateSections, kRateGroups,
                             DialogPolicy{.queryOnShow = true,
                                          .expiryClears = true,
                                          .requestsSupersede = true,
                                          .ackEndsRequest = true}};

// ---- GPS configuration (0x24) ------------------------------------------------------------------

constexpr ChoiceItem kDimensions[] = {
    {"Auto 2D/3D", 0}, {"Alt-Hold (2D)", 3}, {"Full Pos (3D)", 4}};
constexpr ChoiceItem kDgpsModes[] = {{"Require", 0}, {"Ignore", 1}, {"If Available", 2}};
constexpr ChoiceItem kDynamics[] = {{"Automobile", 17}};

constexpr FieldSpec choice(uint8_t sub, const char* name, const char* label,
                           std::span<const ChoiceItem> items, int initial) {
    return {.subcode = sub,
            .objectName = name,
            .label = label,
            .unit = nullptr,
            .kind = FieldKind::Choice,
            .items = items,
            .initialItem = initial};
}

constexpr FieldSpec number(uint8_t sub, const char* name, const char* label, const char* unit,
                           const char* format, ReadAs readAs, double scale = 1) {
    return {.subcode = sub,
            .objectName = name,
            .label = label,
            .unit = unit,
            .kind = FieldKind::Number,
            .format = format,
            .readAs = readAs,
            .scale = scale};
}

constexpr FieldSpec kModeFields[] = {
    choice(0x01, "operBox", "Operating Dimension:", kDimensions, 0),
    choice(0x02, "dgpsBox", "DGPS Mode:", kDgpsModes, 1),
    choice(0x03, "dynamicBox", "Dynamic Code:", kDynamics, 0),
};
constexpr FieldSpec kMaskFields[] = {
    number(0x04, "elevWin", "Elevation:", "deg", "%.2f", ReadAs::Real),
    number(0x05, "snrWin", "SNR:", "dBHz", "%.1f", ReadAs::Real, 5),
    number(0x06, "dopWin", "DOP:", nullptr, "%.2f", ReadAs::Real),
    number(0x07, "dopSwitchWin", "DOP switch:", nullptr, "%.2f", ReadAs::Real),
    number(0x08, "dgpsWin", "DGPS age:", "s", "%d", ReadAs::Integer),
};
constexpr SectionSpec kGpsSections[] = {{"Modes", "modeGroupBox", kModeFields},
                                        {"Masks", "maskGroupBox", kMaskFields}};
constexpr GroupSpec kGpsGroups[] = {{0x01, 0x08, "queryButton", "queryLED", "setButton", "setLED"}};

const DialogSpec kGpsConfig{WindowId::TmaskForm, gpsConfigSettings, kGpsSections, kGpsGroups,
                            DialogPolicy{.setPauseMs = 50, .closeButton = "closeButtton"}};

// ---- Kalman filter parameters (0x25) -----------------------------------------------------------

constexpr FieldSpec count(uint8_t sub, const char* name, const char* label, const char* unit) {
    return number(sub, name, label, unit, "%lu", ReadAs::Integer);
}
constexpr FieldSpec amu(uint8_t sub, const char* name, const char* label) {
    return number(sub, name, label, "AMU", "%.1f", ReadAs::Real, 5);
}
constexpr FieldSpec real(uint8_t sub, const char* name, const char* label, const char* unit) {
    return number(sub, name, label, unit, "%g", ReadAs::Real);
}

constexpr FieldSpec kKalmanFields[] = {
    count(0x01, "pkt25Win1", "MinGainIndex:", "ms"),
    count(0x02, "pkt25Win2", "MinSVs:", nullptr),
    amu(0x03, "pkt25Win3", "NoEditAMU5:"),
    amu(0x04, "pkt25Win4", "MinAMU5:"),
    count(0x05, "pkt25Win5", "MaxEdits:", nullptr),
    count(0x06, "pkt25Win6", "MaxGPSPropTime:", nullptr),
    real(0x07, "pkt25Win7", "MaxAcc:", "m/s\u00b2"),
    real(0x08, "pkt25Win8", "MaxVel:", "m/s"),
    real(0x09, "pkt25Win9", "SigmaHorizAcc:", "m/s\u00b2"),
    real(0x0A, "pkt25Win10", "SigmaFreqAcc:", "m/s\u00b2"),
    real(0x0B, "pkt25Win11", "CarrSigSq:", "m/s"),
    real(0x0C, "pkt25Win12", "MaxAcceptSigmaSq:", "sigma\u00b2"),
    real(0x0D, "pkt25Win13", "InitPosVar:", "m\u00b2"),
    real(0x0E, "pkt25Win14", "InitBiasVar:", "m\u00b2"),
    real(0x0F, "pkt25Win15", "ClockModeErr:", "m\u00b2"),
    real(0x10, "pkt25Win16", "RejectSSR:", "sigma\u00b2"),
    real(0x11, "pkt25Win17", "SigSlope1Sq:", "slope\u00b2"),
    real(0x12, "pkt25Win18", "SigSlope2Sq:", "slope\u00b2"),
    real(0x13, "pkt25Win19", "MaxSlope3Sq:", "slope\u00b2"),
    real(0x14, "pkt25Win20", "MinVelSq:", "m/s"),
    real(0x15, "pkt25Win21", "Alt2DVar:", "m\u00b2"),
    real(0x16, "pkt25Win22", "fltMinPosVar:", "m\u00b2"),
    real(0x17, "pkt25Win23", "fltMaxHVar:", "m\u00b2"),
};
constexpr SectionSpec kKalmanSections[] = {{"Filter Paramters", "GroupBox1", kKalmanFields}};
constexpr GroupSpec kKalmanGroups[] = {
    {0x01, 0x17, "queryButton", "queryLED", "setButton", "setLED"}};

const DialogSpec kKalman{WindowId::Tpkt25Form, kalmanSettings, kKalmanSections, kKalmanGroups,
                         DialogPolicy{.columns = 2}};

// ---- DR filter configuration (0x27) ------------------------------------------------------------

constexpr FieldSpec drInt(uint8_t sub, const char* name, const char* label, const char* unit) {
    return number(sub, name, label, unit, "%ld", ReadAs::Integer);
}
constexpr FieldSpec drReal(uint8_t sub, const char* name, const char* label, const char* unit) {
    return number(sub, name, label, unit, "%g", ReadAs::Real);
}

constexpr FieldSpec kDr0[] = {
    drInt(0x01, "Edit1", "GPSVelEditHoldoff:", "cnts"),
    drInt(0x02, "Edit2", "MinSpdDirSwThresh:", "m/s"),
    drInt(0x03, "Edit3", "DirSwWarning:", "m/s"),
    drInt(0x04, "Edit4", "MaxDirSwSpd:", "m/s"),
    drInt(0x05, "Edit5", "ZROGPSStatThldSpdHi:", "cm/s"),
    drInt(0x06, "Edit6", "ZROGPSStatThldSpdLo:", "cm/s"),
    drInt(0x07, "Edit7", "ZROMaxDistThld:", "cm"),
    drInt(0x08, "Edit8", "MinGPSInitNFix:", "cnts"),
    drInt(0x09, "Edit9", "GPSJumpHoldOff:", "cnts"),
    drInt(0x0A, "Edit0A", "MaxHBMSecs:", "ms"),
    drInt(0x0B, "Edit0B", "MinHBMSecs:", "ms"),
    drInt(0x0C, "Edit0C", "ZROMaxEdit:", "ADC samples"),
    drInt(0x0D, "Edit0D", "ZRRHoldOffSecs:", "s"),
    drInt(0x0E, "Edit0E", "ZROVarDecorTime:", "s"),
    drInt(0x0F, "Edit0F", "TachoDisconnectThrshld:", "cnts"),
};
constexpr FieldSpec kDr1[] = {
    drInt(0x10, "Edit10", "GPSVDelayMSecs:", "ms"),
    drInt(0x11, "Edit11", "TachoDelayMSecs:", "ms"),
    drInt(0x12, "Edit12", "WinMaxTime:", "ms"),
    drInt(0x13, "Edit13", "WinMinPts:", "cnts"),
    drInt(0x14, "Edit14", "WinMin3D:", "cnts"),
    drInt(0x15, "Edit15", "WinENMinDist:", "m"),
    drInt(0x16, "Edit16", "MinPtsGrossErr:", "cnts"),
    drInt(0x17, "Edit17", "GSFCalcMinHdgChng:", "2e-15 sc"),
    drInt(0x18, "Edit18", "GSFCalcMaxMsecs:", "ms"),
    drInt(0x19, "Edit19", "MinTimeBetweenWinPos:", "s"),
    drInt(0x1A, "Edit1A", "MaxHdgRateEndGSF:", "2e-15 sc/s"),
    drInt(0x1B, "Edit1B", "GSFCalcMinMsecs:", "ms"),
};
constexpr FieldSpec kDr4[] = {
    drReal(0x40, "Edit40", "NoEditAddVelAccy:", "m/s"),
    drReal(0x41, "Edit41", "ZROMaxDeltaGyro:", "GCnts"),
    drReal(0x42, "Edit42", "BadTachoMinSpd:", "m/s"),
    drReal(0x43, "Edit43", "ZROCalcGyroNoiseVar:", "GCnts²"),
    drReal(0x44, "Edit44", "ZROCalcEditSigSq:", "m/s"),
    drReal(0x45, "Edit45", "MaxGPSInitPosSig2:", "m²"),
    drReal(0x46, "Edit46", "MinGPSInitDist:", "m"),
    drReal(0x47, "Edit47", "ZROVarValidThreshold:", "GCnts²"),
    drReal(0x48, "Edit48", "SnapThreshold2:", "m²"),
    drReal(0x49, "Edit49", "MaxHBSpd:", "m/s"),
    drReal(0x4A, "Edit4A", "MinWindowVelCfm:", "m/s"),
    drReal(0x4B, "Edit4B", "HdgCalcMinSpd:", "m/s"),
    drReal(0x4C, "Edit4C", "HdgCalcMinSpdNoTacho:", "m/s"),
    drReal(0x4D, "Edit4D", "HdgCalcMinHdgSigSq:", "rad²"),
    drReal(0x4E, "Edit4E", "HdgMinSigSq:", "rad²"),
    drReal(0x4F, "Edit4F", "PosMinSigSq:", "m²"),
};
constexpr FieldSpec kDr5[] = {
    drReal(0x50, "Edit50", "DPPCalMinSigSq:", "(m/pulse)²"),
    drReal(0x51, "Edit51", "SpdCalcMinSpdSigSq:", "(m/s)²"),
    drReal(0x52, "Edit52", "SpdCalcMinSpeed:", "m/s"),
    drReal(0x53, "Edit53", "GPSVelEditSigSq:", "(GCnts/s)²"),
    drReal(0x54, "Edit54", "GPSVelEditMaxHdSq:", "rad²"),
    drReal(0x55, "Edit55", "MinGPSSpdMotNoTacho:", "m/s"),
    drReal(0x56, "Edit56", "GvarColdHdg:", "rad²"),
    drReal(0x57, "Edit57", "GvarColdZRO:", "GCnts²"),
    drReal(0x58, "Edit58", "GvarColdZRR:", "(GCnts/s)²"),
    drReal(0x59, "Edit59", "GvarWarmHdg:", "rad²"),
    drReal(0x5A, "Edit5A", "GvarWarmZRO:", "GCnts²"),
    drReal(0x5B, "Edit5B", "GvarWarmZRR:", "(GCnts/s)²"),
    drReal(0x5C, "Edit5C", "GPNVarHdg:", "rad²/s"),
    drReal(0x5D, "Edit5D", "GPNVarZRO:", "GCnts²/s"),
    drReal(0x5E, "Edit5E", "GPNVarZRR:", "GCnts²/s³"),
    drReal(0x5F, "Edit5F", "GyroSnsSig2:", nullptr),
};
constexpr FieldSpec kDr6[] = {
    drReal(0x60, "Edit60", "CarrSigMultFactor:", nullptr),
    drReal(0x61, "Edit61", "TInitVar:", "(m/pulse)²"),
    drReal(0x62, "Edit62", "TPNVar:", "(m/pulse)²/s"),
    drReal(0x63, "Edit63", "TmaxVar:", "(m/pulse)²"),
    drReal(0x64, "Edit64", "ZRRHoldOffZROAccy:", "GCnts²"),
    drReal(0x65, "Edit65", "WinSnapThd:", "(GCnts/(rad/s))²"),
    drReal(0x66, "Edit66", "WinClusterVar:", "GCnts/(rad/s)"),
    drReal(0x67, "Edit67", "MaxInitGrossErrSq:", "m²"),
    drReal(0x68, "Edit68", "MaxCorrectionSigSq:", nullptr),
    drReal(0x69, "Edit69", "GSFCalcMinHdgRate:", "rad/s"),
    drReal(0x6A, "Edit6A", "GSFCalcMaxHdgRate:", "rad/s"),
    drReal(0x6B, "Edit6B", "GSFCalcMaxZROVar:", nullptr),
    drReal(0x6C, "Edit6C", "MaxGSFVar:", "(GCnts/(rad/s))²"),
    drReal(0x6D, "Edit6D", "MinGSFVar:", "(GCnts/(rad/s))²"),
    drReal(0x6E, "Edit6E", "MaxGSFGain:", "GCnts/(rad/s)"),
    drReal(0x6F, "Edit6F", "MinNormVelResidSq:", nullptr),
};
constexpr FieldSpec kDr7[] = {
    drReal(0x70, "Edit70", "GSFCalcMaxGPSVar:", "rad²"),
};

constexpr SectionSpec kDrSections[] = {
    {"0x01 - 0x0F", "TabSheet0", kDr0}, {"0x10 - 0x1B", "TabSheet1", kDr1},
    {"0x40 - 0x4F", "TabSheet4", kDr4}, {"0x50 - 0x5F", "TabSheet5", kDr5},
    {"0x60 - 0x6F", "TabSheet6", kDr6}, {"0x70 - 0x70", "TabSheet7", kDr7},
};
constexpr GroupSpec kDrGroups[] = {
    {0x01, 0x0F, "queryButton0", "queryLED0", "setButton0", "setLED0"},
    {0x10, 0x1B, "queryButton1", "queryLED1", "setButton1", "setLED1"},
    {0x40, 0x4F, "queryButton4", "queryLED4", "setButton4", "setLED4"},
    {0x50, 0x5F, "queryButton5", "queryLED5", "setButton5", "setLED5"},
    {0x60, 0x6F, "queryButton6", "queryLED6", "setButton6", "setLED6"},
    {0x70, 0x70, "queryButton7", "queryLED7", "setButton7", "setLED7"},
};

const DialogSpec kDrFilter{WindowId::Tpkt27Form, drFilterSettings, kDrSections, kDrGroups,
                           DialogPolicy{.queryOnShow = false,
                                        .requestsSupersede = false,
                                        .replyRearmsTimer = true,
                                        .columns = 2,
                                        .tabs = true}};

} // namespace

const DialogSpec& engineRateDialog() {
    return kEngineRate;
}
const DialogSpec& gpsConfigDialog() {
    return kGpsConfig;
}
const DialogSpec& kalmanDialog() {
    return kKalman;
}
const DialogSpec& drFilterDialog() {
    return kDrFilter;
}

} // namespace vx
