#include "link/paced_script.h"

#include <chrono>
#include <thread>

namespace vx {

void RealSleeper::sleepMs(int ms) {
    if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

int ScriptCursor::sendNext(FrameSink& sink) {
    if (done()) return 0;
    const ScriptStep& step = script_[next_++];
    if (step.frame.empty() || step.frame.size() > 0xFFFF) {
        lastResult_ = -1;
    } else {
        lastResult_ = sink.sendFrame(step.frame.data(), uint16_t(step.frame.size()));
    }
    return step.pauseAfterMs > 0 ? step.pauseAfterMs : 0;
}

int runScriptBlocking(FrameSink& sink, const PacedScript& script, Sleeper& sleeper) {
    ScriptCursor cursor(script);
    while (!cursor.done()) {
        int pause = cursor.sendNext(sink);
        if (pause > 0) sleeper.sleepMs(pause);
    }
    return cursor.lastResult();
}

namespace {
// Keeps the one frame a sender hands it instead of writing it.
class FrameCapture : public FrameSink {
public:
    int sendFrame(const uint8_t* bytes, uint16_t length) override {
        frame.assign(bytes, bytes + length);
        return 0;
    }
    std::vector<uint8_t> frame;
};
} // namespace

ScriptStep stepOf(const std::function<int(FrameSink&)>& sender, int pauseAfterMs) {
    FrameCapture capture;
    if (sender(capture) != 0) capture.frame.clear();
    return {std::move(capture.frame), pauseAfterMs};
}

int scriptDurationMs(const PacedScript& script) {
    int total = 0;
    for (const ScriptStep& step : script) total += step.pauseAfterMs > 0 ? step.pauseAfterMs : 0;
    return total;
}

} // namespace vx
