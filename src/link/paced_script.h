// Paced scripts: a command that goes out as several frames with pauses between them, held as
// data so that it can be run either blocking (command-line tool, flash worker) or from timers
// on the GUI thread without ever freezing the window. Both ways send the same frames in the
// same order with the same pauses.
#pragma once

#include "link/framing.h"

#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

namespace vx {

// Waits on the calling thread. Tests substitute a recorder so that no time passes.
class Sleeper {
public:
    virtual ~Sleeper() = default;
    virtual void sleepMs(int ms) = 0;
};

// Sleeps for real.
class RealSleeper : public Sleeper {
public:
    void sleepMs(int ms) override;
};

// Result of a script that sent nothing (an empty script).
inline constexpr int kNothingSent = 1;

// One finished frame and the pause that follows it before the next step.
struct ScriptStep {
    std::vector<uint8_t> frame; // empty when the frame could not be built: refused, not sent
    int pauseAfterMs = 0;
};
using PacedScript = std::vector<ScriptStep>;

// Walks through a script one step at a time, for callers that wait between steps with a timer
// instead of sleeping: send a step, wait the pause it returns, send the next, until done().
// runScriptBlocking is built on it, so both ways send the same frames with the same pauses.
class ScriptCursor {
public:
    ScriptCursor() = default;
    explicit ScriptCursor(PacedScript script) : script_(std::move(script)) {}

    bool done() const { return next_ >= script_.size(); }
    // Sends the next step's frame (an empty frame is refused: result -1, nothing sent) and
    // returns the pause in milliseconds to keep before the following step. Nothing happens
    // when the script is done (returns 0).
    int sendNext(FrameSink& sink);
    // Result of the last step sent, or kNothingSent before the first.
    int lastResult() const { return lastResult_; }
    size_t stepsSent() const { return next_; }

private:
    PacedScript script_;
    size_t next_ = 0;
    int lastResult_ = kNothingSent;
};

// Sends every step in order on the calling thread, sleeping each step's pause after it (a
// pause after the last step is still kept, so the next command keeps its distance). Every frame
// is sent even when an earlier one failed: each is an independent command. Returns the last
// frame's result (0, or -1 when the sink refused it or the frame could not be built), or
// kNothingSent for an empty script.
int runScriptBlocking(FrameSink& sink, const PacedScript& script, Sleeper& sleeper);

// The frame a sender sends, as a step with the pause to keep after it: any catalogue sender
// bound to its values becomes a step of a script. A sender that refuses to build its frame
// gives an empty frame, which the script then refuses to send (a failed step).
ScriptStep stepOf(const std::function<int(FrameSink&)>& sender, int pauseAfterMs);

// Sum of all pauses of a script, in milliseconds.
int scriptDurationMs(const PacedScript& script);

} // namespace vx
