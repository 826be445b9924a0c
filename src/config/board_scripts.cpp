#include "config/board_scripts.h"

#include "link/catalogue.h"

namespace vx {

namespace {

struct EventTrigger {
    OutputTarget target;
    uint32_t mask;
};

// Least-squares fix generated / not generated (bits 10, 11).
constexpr uint32_t kFixEvents = 0x00000C00;
// Start-up completed (bit 21).
constexpr uint32_t kStartupEvent = 0x00200000;
// Gyro calibrated (bit 26), direction switch calibrated (bit 25), DPP calibrated (bit 24).
constexpr uint32_t kGyroCalibrated = 0x04000000;
constexpr uint32_t kDirSwCalibrated = 0x02000000;
constexpr uint32_t kDppCalibrated = 0x01000000;

constexpr OutputTarget kFastFix{0x30, 0x02};
constexpr IntervalTrigger kFastFixEvery200{0, 200};

ScriptStep factoryReset() {
    return stepOf([](FrameSink& s) { return sendSystem(s, kSysClearFlashAndRam); },
                  kFactoryResetWaitMs);
}

ScriptStep writeAndReset() {
    return stepOf([](FrameSink& s) { return sendSystem(s, kSysWriteBbramToFlash); }, 0);
}

ScriptStep timeTrigger(IntervalTrigger trigger) {
    return stepOf([trigger](FrameSink& s) { return setTimeOutput(s, kFastFix, trigger); },
                  kSetupStepPauseMs);
}

void addEventTriggers(PacedScript& script, std::initializer_list<EventTrigger> triggers,
                      bool zeroed) {
    for (const EventTrigger& t : triggers) {
        const uint32_t mask = zeroed ? 0 : t.mask;
        script.push_back(
            stepOf([t, mask](FrameSink& s) { return setEventOutput(s, t.target, mask); },
                   kSetupStepPauseMs));
    }
}

} // namespace

PacedScript protocolSetupScript(DefaultProtocol protocol) {
    const bool nmea = protocol == DefaultProtocol::Nmea;
    PacedScript script;
    script.push_back(factoryReset());
    script.push_back(timeTrigger(nmea ? IntervalTrigger{0, 0} : kFastFixEvery200));
    addEventTriggers(script,
                     {{{0x31, 0x01}, kFixEvents},
                      {{0x32, 0x01}, kFixEvents},
                      {{0x33, 0x01}, kFixEvents},
                      {{0x11, 0x01}, kStartupEvent},
                      {{0x12, 0x01}, kStartupEvent},
                      {{0x36, 0x03}, kGyroCalibrated},
                      {{0x36, 0x04}, kGyroCalibrated},
                      {{0x36, 0x05}, kDirSwCalibrated},
                      {{0x36, 0x07}, kDppCalibrated},
                      {{0x36, 0x08}, kGyroCalibrated}},
                     nmea);
    const uint8_t enable = nmea ? 1 : 0;
    const uint32_t mask = nmea ? 0x0000011D : 0;
    script.push_back(
        stepOf([=](FrameSink& s) { return setNmeaOutput(s, enable, mask); }, kSetupStepPauseMs));
    script.push_back(writeAndReset());
    return script;
}

PacedScript zantSetupScript() {
    PacedScript script;
    script.push_back(factoryReset());
    const DiagOutputMask diag{0xBE, 0x0F};
    script.push_back(
        stepOf([diag](FrameSink& s) { return setDiagOutput(s, diag); }, kSetupStepPauseMs));
    script.push_back(timeTrigger(kFastFixEvery200));
    addEventTriggers(script,
                     {{{0x31, 0x01}, kFixEvents},
                      {{0x32, 0x01}, kFixEvents},
                      {{0x33, 0x01}, kFixEvents},
                      {{0x12, 0x01}, kStartupEvent},
                      {{0x36, 0x03}, kGyroCalibrated},
                      {{0x36, 0x04}, kGyroCalibrated},
                      {{0x36, 0x05}, kDirSwCalibrated},
                      {{0x36, 0x07}, kDppCalibrated},
                      {{0x36, 0x08}, kGyroCalibrated}},
                     false);
    script.push_back(writeAndReset());
    return script;
}

} // namespace vx
