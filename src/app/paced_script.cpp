#include "app/paced_script.h"

#include <chrono>
#include <thread>

namespace vx {

void RealSleeper::sleepMs(int ms) {
    if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

int runScriptBlocking(FrameSink& sink, const PacedScript& script, Sleeper& sleeper) {
    int result = kNothingSent;
    for (const ScriptStep& step : script) {
        if (step.frame.empty() || step.frame.size() > 0xFFFF) {
            result = -1;
        } else {
            result = sink.sendFrame(step.frame.data(), uint16_t(step.frame.size()));
        }
        if (step.pauseAfterMs > 0) sleeper.sleepMs(step.pauseAfterMs);
    }
    return result;
}

int scriptDurationMs(const PacedScript& script) {
    int total = 0;
    for (const ScriptStep& step : script) total += step.pauseAfterMs > 0 ? step.pauseAfterMs : 0;
    return total;
}

} // namespace vx
