// The simulated GPS/DR receiver: the other end of the console's serial link.
//
// SimReceiver is a single-threaded state machine driven by simulated time. The caller feeds it
// the bytes the console sent (receive), moves its clock forward (advanceTo) and collects what
// it sends through the output callback. It parses the console's VEXOR frames with the core
// deframer, answers every Query with its reply and an acknowledgement and every Set with an
// acknowledgement, acts on System commands (resets, monitor mode), speaks the monitor protocol
// in monitor mode, and sends its periodic reports as its output triggers (codes 0x2A..0x2D)
// say. SimRunner (sim_runner.h) drives it on a thread against a transport.
#pragma once

#include "sim/sim_bytes.h"
#include "sim/sim_monitor.h"
#include "sim/sim_store.h"
#include "sim/sim_world.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace vx::sim {

// Faults the simulated receiver can be asked to show, for tests and for users who want to see
// the console's failure paths. All random choices come from a generator seeded with the
// receiver's seed, so a run with the same seed and input fails the same way.
struct SimFaults {
    double dropAckFraction = 0;   // this fraction of acknowledgements is not sent
    double dropReplyFraction = 0; // this fraction of Query replies is not sent
    // When not 0: every Set, Query and System command is refused with this result code in
    // its acknowledgement, and is not carried out (no reply, no change, no reset).
    uint8_t forcedResult = 0;
    double corruptChecksumFraction = 0; // this fraction of all VEXOR frames has a wrong checksum
    double garbageFraction = 0;         // chance of a burst of garbage bytes before each frame
    uint8_t garbageMaxBytes = 16;       // a burst has 1..this many bytes, never 0x81
    uint32_t answerDelayMs = 0; // replies, acknowledgements and monitor answers come this late
    bool silent = false;        // nothing at all is sent (commands are still carried out)

    // The monitor (after "Force to Monitor (0303)"). The counts are used up by the receiver:
    // setting them again starts a new count.
    // When not 0: monitor frames with this command byte (0xFF: every command) are refused
    // with 0x15 and not carried out.
    uint8_t monitorRefuse = 0;
    uint32_t monitorDropAnswers = 0;    // the next this many answers (0x06, 0x15 or a memory
                                        // read's reply) are not sent
    uint32_t monitorCorruptReplies = 0; // the next this many memory read replies go out with
                                        // a wrong checksum
};

struct SimStats {
    uint64_t bytesSent = 0;
    uint64_t framesSent = 0; // VEXOR frames put on the line, corrupted ones included
    uint64_t reportsSent = 0;
    uint64_t repliesSent = 0;
    uint64_t acksSent = 0;
    uint64_t monitorAnswers = 0;
    uint64_t monitorDropped = 0;   // monitor answers not sent (monitorDropAnswers)
    uint64_t monitorCorrupted = 0; // memory read replies sent with a wrong checksum
    uint64_t textLines = 0;        // NMEA sentences
    uint64_t acksDropped = 0;
    uint64_t repliesDropped = 0;
    uint64_t framesCorrupted = 0;
    uint64_t garbageBursts = 0;
    uint64_t garbageBytes = 0;
    uint64_t silenced = 0; // frames or answers not sent because the receiver is silent
    uint64_t commandsReceived = 0;
    uint64_t badFramesReceived = 0;
    uint64_t commandsIgnored = 0; // arrived while the receiver was restarting or off
    uint64_t resets = 0;
};

struct SimOptions {
    uint64_t seed = 1;
    // UTC at simulated time 0, in milliseconds since 1970; 0 takes the host clock. Rounded
    // down to a whole second so that fixes fall on whole GPS seconds.
    int64_t utcStartUnixMs = 0;
    SimFaults faults;
};

enum class SimMode { Booting, Normal, Monitor, Off };

class SimReceiver {
public:
    using Output = std::function<void(const uint8_t*, size_t)>;

    explicit SimReceiver(const SimOptions& options = {});
    ~SimReceiver();
    SimReceiver(const SimReceiver&) = delete;
    SimReceiver& operator=(const SimReceiver&) = delete;

    void setOutput(Output out) { output_ = std::move(out); }
    void setFaults(const SimFaults& f) {
        faults_ = f;
        monitor_.setRefused(f.monitorRefuse);
    }
    const SimFaults& faults() const { return faults_; }

    // Bytes from the console, received at the current simulated time.
    void receive(const uint8_t* data, size_t n);
    // Runs the receiver up to tMs (never backwards) and sends what became due.
    void advanceTo(int64_t tMs);
    int64_t now() const { return now_; }
    // Simulated time a restart takes, power-on included: the start-up report is out this long
    // after the reset (tests step a simulated clock by it).
    static int64_t restartMs();
    // When advanceTo should next be called for something to happen.
    int64_t nextWakeMs() const;

    SimMode mode() const { return mode_; }
    const SimStore& store() const { return store_; }
    const FactoryData& factory() const { return *factory_; }
    const World& world() const { return world_; }
    const MonitorPort& monitor() const { return monitor_; }
    const SimStats& stats() const { return stats_; }

private:
    enum class Kind : uint8_t { Report, Reply, Ack, Monitor, Text };
    struct Pending {
        Kind kind;
        uint8_t h1 = 0, h2 = 0;
        std::vector<uint8_t> bytes; // VEXOR payload, or raw bytes for Monitor and Text
    };
    struct Frame { // a reply or report before it is queued
        uint8_t h1, h2;
        Bytes payload;
    };
    struct TestRun {
        int64_t startMs = 0, endMs = 0;
        uint16_t seconds = 0;
        bool active = false;
        uint32_t tachoStart = 0;
        double odoStart = 0;
        uint16_t maxSpeedCmS = 0;
        uint8_t flagsSeen = 0; // bit 0 saw a 2D fix, bit 1 a 3D fix
        uint8_t maxSvs = 0, maxSnr = 0, f2r = 0, r2f = 0;
        uint16_t initialHeading = 0;
        bool wasReverse = false;
        uint16_t dirChanges = 0, dirSamples = 0, samples = 0;
        double gyroSum = 0;
        uint32_t gyroSamples = 0;
    };

    // sim_receiver.cpp: input, output, time, resets.
    void onFrame(int result, const uint8_t* frame, uint16_t count);
    void onCommand(uint8_t cmd, uint8_t code, const uint8_t* payload, size_t len);
    void onSystem(uint8_t code);
    void feedMonitor(const uint8_t* data, size_t n);
    void stepAt(int64_t t);
    void startReset(StartKind kind, bool persistFirst);
    void boot();
    void enterMonitor();
    void persist();
    void queue(Kind kind, uint8_t h1, uint8_t h2, const uint8_t* p, size_t n, int64_t due);
    void queueFrame(Kind kind, const Frame& f, int64_t due);
    void queueAck(uint8_t cmd, uint8_t code, uint8_t sub, int index, uint8_t result, int64_t due);
    void flushDue(int64_t t);
    void send(const Pending& p);
    void write(const uint8_t* p, size_t n);
    void traffic(uint8_t subcode, const uint8_t* p, size_t n);

    // sim_commands.cpp: the settings store behind Set and Query.
    uint8_t handleSet(uint8_t code, uint8_t sub, const uint8_t* d, size_t n);
    uint8_t handleQuery(uint8_t code, uint8_t sub, const uint8_t* d, size_t n,
                        std::vector<Frame>& out);
    static int ackIndex(uint8_t cmd, uint8_t code, uint8_t sub, const uint8_t* d, size_t n);
    Trigger* findTrigger(uint8_t code, uint8_t sub, bool create);
    void logSoftEvent(uint16_t word, bool report);
    void logFatal(uint16_t code);
    void startTest(uint8_t sub, uint16_t seconds);
    void bbramUnitTest(const uint8_t* d, size_t n);
    void bbramActivity(uint32_t structOffset, uint8_t act);

    // sim_reports.cpp: report payloads.
    bool buildReport(uint8_t code, uint8_t sub, std::vector<Frame>& out);
    Frame version(uint8_t sub) const;
    Frame startupReport() const;
    Frame product() const;
    Frame hardwareId() const;
    Frame health() const;
    Frame startupHealth() const;
    Frame logEntry(uint8_t sub, uint8_t index) const;
    Frame drData() const;
    Frame bufferedDr() const;
    Frame gpsFix(uint8_t sub) const;
    Frame timeConstellation() const;
    Frame constellationSummary() const;
    Frame timeSummary() const;
    Frame channel(uint8_t sub, int index) const;
    Frame calibration(uint8_t sub, int dppIndex) const;
    Frame selfTest() const;
    Frame diagStartup() const;
    Frame timeKeeping(uint8_t sub) const;
    Frame initReply(uint8_t sub) const;
    void testStep();
    void diagnostics();
    void nmea();
    void sendText(const std::string& sentence);

    SimFaults faults_;
    SimStats stats_;
    Output output_;
    Rng faultRng_;
    uint64_t seed_;

    SimStore store_;
    std::unique_ptr<FactoryData> factory_;
    World world_;
    MonitorPort monitor_;
    SimMode mode_ = SimMode::Booting;
    StartKind pendingKind_ = StartKind::Warm;
    int64_t bootAtMs_ = 0;
    int64_t bootedAtMs_ = 0;
    bool bbramValid_ = true;
    bool bbramFromFlash_ = false;
    bool defaultsOnly_ = false;
    uint16_t shutdownCode_ = 0;
    uint32_t pendingEvents_ = 0;
    uint8_t bootCause_ = 0; // soft event logged when the restart completes
    std::vector<uint16_t> deferredEvents_;

    int64_t now_ = 0;
    int64_t nextStepMs_ = kStepMs;
    uint64_t seq_ = 0;
    std::multimap<std::pair<int64_t, uint64_t>, Pending> outQueue_;

    // Input.
    std::vector<uint8_t> inPending_;

    // Output triggers: per slot, when it last fired and what accumulated since.
    int64_t lastOutMs_[kTriggerSlots] = {};
    int64_t lastTimeOutMs_[kTriggerSlots] = {};
    double distAccCm_[kTriggerSlots] = {};
    double hdgAccCdeg_[kTriggerSlots] = {};
    double lastOdo_ = 0, lastHeadingRad_ = 0;
    uint16_t lastReportedWord_[256] = {};
    TestRun tests_[7]; // by subcode 2, 4, 6
    uint32_t diagCounter_ = 0;
    uint8_t adcLevel_ = 0;
    uint8_t trafficSeq_ = 0;
    uint32_t trafficCount_[2] = {};
    int64_t lastNmeaMs_ = 0;
    uint32_t msgCount_[14] = {};
};

} // namespace vx::sim
