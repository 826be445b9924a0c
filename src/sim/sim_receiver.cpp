// Input, output, time and restarts of the simulated receiver.
#include "sim/sim_receiver.h"

#include "link/framing.h"
#include "sim/sim_defaults.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>

namespace vx::sim {

namespace {

// A cold reset loses the almanac: the receiver collects it again from the sky, page by page,
// once it tracks (the time-to-almanac test measures that).
void forgetAlmanac(SimStore& s) {
    for (AlmanacSvPage& p : s.almanac) p.status = 0;
    s.almanac13.status = 0;
    s.almanac14.status = 0;
}

int64_t hostUnixMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

int64_t alignUp(int64_t t) {
    return (t + kStepMs - 1) / kStepMs * kStepMs;
}

} // namespace

SimReceiver::SimReceiver(const SimOptions& o)
    : faults_(o.faults), faultRng_(o.seed ^ 0x5EEDFA17C0FFEEull), seed_(o.seed),
      store_(defaultStore()), factory_(std::make_unique<FactoryData>(defaultFactoryData())),
      world_(o.seed), monitor_(*factory_) {
    monitor_.setRefused(faults_.monitorRefuse);
    int64_t utc = o.utcStartUnixMs ? o.utcStartUnixMs : hostUnixMs();
    world_.setUtcStart(utc - ((utc % 1000) + 1000) % 1000);
    // As shipped, RAM and flash both hold a valid image of the default settings.
    writeBbramImage(store_, false, monitor_.ram() + MonitorPort::kRamBbram);
    writeBbramImage(store_, false,
                    monitor_.flash() + (MonitorPort::kFlashBbram - MonitorPort::kFlashBase));
    // Power on: the receiver starts like after a warm reset.
    pendingKind_ = StartKind::Warm;
    bootCause_ = 0;
    bootAtMs_ = alignUp(modelParams().bootDelayMs);
    world_.restart(StartKind::Warm, 0, store_);
}

SimReceiver::~SimReceiver() = default;

// ---------------------------------------------------------------------------------------------
// Input

void SimReceiver::receive(const uint8_t* data, size_t n) {
    if (!n) return;
    if (mode_ == SimMode::Monitor) {
        feedMonitor(data, n);
        flushDue(now_);
        return;
    }
    inPending_.insert(inPending_.end(), data, data + n);
    size_t pos = 0;
    while (pos < inPending_.size()) {
        MemorySource src(inPending_.data() + pos, inPending_.size() - pos);
        uint8_t frame[kRxBufferSize];
        uint16_t count = 0;
        int r = PacketDeframer::readFrame(src, frame, count);
        if (r == kFrameEndOfStream) {
            // An unfinished frame starts at the last start byte; everything before it is gone.
            size_t keep = inPending_.size();
            for (size_t i = inPending_.size(); i > pos; --i) {
                if (inPending_[i - 1] == kStart) {
                    keep = i - 1;
                    break;
                }
            }
            pos = keep;
            break;
        }
        pos += src.consumed();
        onFrame(r, frame, count);
        pos = std::min(pos, inPending_.size());
        if (mode_ == SimMode::Monitor) {
            // Whatever followed the command that entered the monitor is monitor traffic.
            std::vector<uint8_t> rest(inPending_.begin() + long(pos), inPending_.end());
            inPending_.clear();
            feedMonitor(rest.data(), rest.size());
            flushDue(now_);
            return;
        }
        if (mode_ == SimMode::Booting) { // a reset: the rest of the input is lost
            pos = inPending_.size();
            break;
        }
    }
    inPending_.erase(inPending_.begin(),
                     inPending_.begin() + long(std::min(pos, inPending_.size())));
    flushDue(now_);
}

void SimReceiver::onFrame(int result, const uint8_t* frame, uint16_t count) {
    if (result != kFrameOk) {
        ++stats_.badFramesReceived;
        if (mode_ != SimMode::Normal || faults_.forcedResult) return;
        // A frame whose command byte and code arrived is refused with a reason.
        if (count >= 3 && frame[1] >= kCmdSet && frame[1] <= kCmdSystem) {
            uint8_t cmd = frame[1];
            uint8_t sub = cmd != kCmdSystem && count >= 4 ? frame[3] : 0;
            uint8_t why = (result & kFrameChecksumError) ? 0x02 : 0x01;
            queueAck(cmd, frame[2], sub, -1, why, now_ + faults_.answerDelayMs);
        }
        return;
    }
    if (count < 5) return;
    ++stats_.commandsReceived;
    if (mode_ == SimMode::Normal) traffic(0x13, frame + 1, size_t(count) - 3);
    onCommand(frame[1], frame[2], frame + 3, size_t(count) - 5);
}

void SimReceiver::onCommand(uint8_t cmd, uint8_t code, const uint8_t* payload, size_t len) {
    if (mode_ == SimMode::Off) {
        // Switched off: the host cycling power is the only way back, which a System command
        // stands for here.
        if (cmd == kCmdSystem)
            startReset(StartKind::Warm, true);
        else
            ++stats_.commandsIgnored;
        return;
    }
    if (mode_ != SimMode::Normal) {
        ++stats_.commandsIgnored;
        return;
    }
    const int64_t due = now_ + faults_.answerDelayMs;
    if (cmd == kCmdSystem) {
        onSystem(code);
        return;
    }
    if (cmd != kCmdSet && cmd != kCmdQuery) {
        ++stats_.commandsIgnored;
        return;
    }
    if (len < 1) {
        queueAck(cmd, code, 0, -1, 0x04, due);
        return;
    }
    const uint8_t sub = payload[0];
    const uint8_t* d = payload + 1;
    const size_t n = len - 1;
    const int index = ackIndex(cmd, code, sub, d, n);
    if (faults_.forcedResult) {
        queueAck(cmd, code, sub, index, faults_.forcedResult, due);
        return;
    }
    if (cmd == kCmdSet) {
        uint8_t r = handleSet(code, sub, d, n);
        if (r == 0) defaultsOnly_ = false;
        queueAck(cmd, code, sub, index, r, due);
        return;
    }
    std::vector<Frame> replies;
    uint8_t r = handleQuery(code, sub, d, n, replies);
    if (r == 0)
        for (const Frame& f : replies) queueFrame(Kind::Reply, f, due);
    queueAck(cmd, code, sub, index, r, due);
}

void SimReceiver::onSystem(uint8_t code) {
    const int64_t due = now_ + faults_.answerDelayMs;
    uint8_t result = code >= 0x01 && code <= 0x09 ? 0x00 : code == 0x0A ? 0x08 : 0x03;
    if (faults_.forcedResult) result = faults_.forcedResult;
    queueAck(kCmdSystem, code, 0, -1, result, due);
    if (result != 0) return;
    switch (code) {
    case 0x01: // hot reset: no reset event (the event table has warm, cold and factory)
        bootCause_ = 0;
        startReset(StartKind::Hot, true);
        break;
    case 0x02: // cold reset: "System performed a cold reset."
        bootCause_ = 0x02;
        forgetAlmanac(store_);
        startReset(StartKind::Cold, true);
        break;
    case 0x03: // force to monitor
        enterMonitor();
        break;
    case 0x04: // shut down
        logSoftEvent(0x0004, true);
        pendingEvents_ |= ev::ReadyToShutDown;
        persist();
        mode_ = SimMode::Off;
        inPending_.clear();
        break;
    case 0x05: // warm reset: "System performed a warm reset."
        bootCause_ = 0x01;
        startReset(StartKind::Warm, true);
        break;
    case 0x06: // clear oscillator data, reset
        store_.init[4] = InitSlot{};
        bootCause_ = 0x01;
        startReset(StartKind::Warm, true);
        break;
    case 0x07: { // clear flash and RAM, reset
        persist();
        std::memset(monitor_.ram() + MonitorPort::kRamBbram, 0, MonitorPort::kBbramRegion);
        std::memset(monitor_.flash() + (MonitorPort::kFlashBbram - MonitorPort::kFlashBase), 0xFF,
                    MonitorPort::kBbramRegion);
        bootCause_ = 0x03;
        startReset(StartKind::Factory, false);
        break;
    }
    case 0x08: // clear position, reset
        store_.init[2] = InitSlot{};
        store_.init[3] = InitSlot{};
        bootCause_ = 0x02;
        startReset(StartKind::Cold, true);
        break;
    case 0x09: // write BBRAM to flash, reset
        logSoftEvent(0x0006, false);
        persist();
        std::memcpy(monitor_.flash() + (MonitorPort::kFlashBbram - MonitorPort::kFlashBase),
                    monitor_.ram() + MonitorPort::kRamBbram, kBbramImageSize);
        bbramActivity(2196, 0);
        bootCause_ = 0;
        startReset(StartKind::Hot, false);
        break;
    }
}

void SimReceiver::feedMonitor(const uint8_t* data, size_t n) {
    std::vector<MonitorPort::Answer> out;
    for (size_t i = 0; i < n && mode_ == SimMode::Monitor; ++i) {
        monitor_.feed(data[i], now_, out);
        if (monitor_.restartRequested()) {
            // The RAM may have been written: boot from it as it is.
            bootCause_ = 0;
            startReset(StartKind::Hot, false);
        }
    }
    for (MonitorPort::Answer& a : out)
        queue(Kind::Monitor, 0, 0, a.bytes.data(), a.bytes.size(),
              now_ + a.delayMs + faults_.answerDelayMs);
}

// ---------------------------------------------------------------------------------------------
// Restarts

void SimReceiver::persist() {
    writeBbramImage(store_, defaultsOnly_, monitor_.ram() + MonitorPort::kRamBbram);
}

void SimReceiver::startReset(StartKind kind, bool persistFirst) {
    if (persistFirst) persist();
    mode_ = SimMode::Booting;
    pendingKind_ = kind;
    bootAtMs_ = alignUp(now_ + modelParams().bootDelayMs);
    if (bootAtMs_ <= now_) bootAtMs_ = alignUp(now_ + kStepMs);
    inPending_.clear();
    for (TestRun& t : tests_) t.active = false;
    ++stats_.resets;
}

void SimReceiver::enterMonitor() {
    logSoftEvent(0x0020, false);
    persist();
    mode_ = SimMode::Monitor;
    monitor_.enter(now_);
}

void SimReceiver::boot() {
    SimStore loaded;
    bool ramDefaults = false, flashDefaults = false;
    const uint8_t* ramImg = monitor_.ram() + MonitorPort::kRamBbram;
    const uint8_t* flashImg =
        monitor_.flash() + (MonitorPort::kFlashBbram - MonitorPort::kFlashBase);
    SimStore fromFlash;
    bool ramOk = readBbramImage(ramImg, MonitorPort::kBbramRegion, loaded, ramDefaults);
    bool flashOk = readBbramImage(flashImg, MonitorPort::kBbramRegion, fromFlash, flashDefaults);
    bbramFromFlash_ = false;
    bbramValid_ = ramOk || flashOk;
    if (ramOk && !ramDefaults) {
        store_ = loaded;
        defaultsOnly_ = false;
    } else if (flashOk) {
        store_ = fromFlash;
        bbramFromFlash_ = true;
        defaultsOnly_ = flashDefaults;
    } else if (ramOk) {
        store_ = loaded;
        defaultsOnly_ = true;
    } else {
        // Keep the logs across a lost BBRAM? No: a cleared BBRAM takes everything with it.
        store_ = defaultStore();
        defaultsOnly_ = true;
    }
    // Values loaded from BBRAM are no longer new since start-up.
    for (CalValue* c : {&store_.zro, &store_.gyroSensitivity, &store_.dpp[0], &store_.dpp[1],
                        &store_.dpp[2], &store_.zroRate})
        c->status &= uint8_t(~0x08);
    store_.dirSwitch.status &= uint8_t(~0x08);
    for (InitSlot& s : store_.init)
        if (s.hostSet && s.length) s.data[0] &= uint8_t(~0x08);
    ++store_.startupCount;

    world_.restart(pendingKind_, now_, store_);
    mode_ = SimMode::Normal;
    bootedAtMs_ = now_;
    lastOdo_ = world_.odometerM();
    lastHeadingRad_ = world_.headingRad();
    for (int i = 0; i < kTriggerSlots; ++i) {
        lastOutMs_[i] = lastTimeOutMs_[i] = now_;
        distAccCm_[i] = hdgAccCdeg_[i] = 0;
    }
    lastNmeaMs_ = now_;
    pendingEvents_ |= ev::PowerOn | ev::StartupDone;
    if (bootCause_) deferredEvents_.push_back(bootCause_);
    if (!bbramValid_ && pendingKind_ != StartKind::Factory) deferredEvents_.push_back(0x0005);
    if (!bbramValid_) deferredEvents_.push_back(0x0082);
    bootCause_ = 0;
    persist();
}

// ---------------------------------------------------------------------------------------------
// Time

int64_t SimReceiver::restartMs() {
    return int64_t(modelParams().bootDelayMs) + kStepMs;
}

int64_t SimReceiver::nextWakeMs() const {
    int64_t t = nextStepMs_;
    if (!outQueue_.empty()) t = std::min(t, outQueue_.begin()->first.first);
    return std::max(t, now_);
}

void SimReceiver::advanceTo(int64_t tMs) {
    if (tMs < now_) return;
    while (nextStepMs_ <= tMs) {
        flushDue(nextStepMs_ - 1);
        now_ = nextStepMs_;
        stepAt(now_);
        flushDue(now_);
        nextStepMs_ += kStepMs;
    }
    now_ = tMs;
    flushDue(now_);
}

void SimReceiver::stepAt(int64_t t) {
    world_.step(t, store_);
    if (mode_ == SimMode::Booting) {
        if (t < bootAtMs_) return;
        boot();
    }
    if (mode_ == SimMode::Monitor) {
        std::vector<MonitorPort::Answer> out;
        monitor_.tick(t, out);
        for (MonitorPort::Answer& a : out)
            queue(Kind::Monitor, 0, 0, a.bytes.data(), a.bytes.size(), t + faults_.answerDelayMs);
        return;
    }
    if (mode_ != SimMode::Normal) return;

    const uint32_t events = world_.events() | pendingEvents_;
    pendingEvents_ = 0;
    const double dOdoCm = (world_.odometerM() - lastOdo_) * 100.0;
    double dHead = (world_.headingRad() - lastHeadingRad_) * 180.0 / 3.141592653589793;
    while (dHead > 180.0) dHead -= 360.0;
    while (dHead <= -180.0) dHead += 360.0;
    const double dHeadCdeg = std::fabs(dHead) * 100.0;
    lastOdo_ = world_.odometerM();
    lastHeadingRad_ = world_.headingRad();

    for (int i = 0; i < kTriggerSlots; ++i) {
        const Trigger& tr = store_.triggers[i];
        if (!tr.used) continue;
        distAccCm_[i] += dOdoCm;
        hdgAccCdeg_[i] += dHeadCdeg;
        const bool byTime = tr.timeMax && t - lastTimeOutMs_[i] >= int64_t(tr.timeMax);
        bool fire = (tr.eventMask & events) || byTime ||
                    (tr.distMax && distAccCm_[i] >= tr.distMax) ||
                    (tr.hdgMax && hdgAccCdeg_[i] >= tr.hdgMax);
        if (fire && tr.timeMin && t - lastOutMs_[i] < int64_t(tr.timeMin)) fire = false;
        if (!fire) continue;
        std::vector<Frame> out;
        if (buildReport(tr.code, tr.subcode, out))
            for (const Frame& f : out) queueFrame(Kind::Report, f, t);
        lastOutMs_[i] = t;
        if (byTime) lastTimeOutMs_[i] = t;
        distAccCm_[i] = hdgAccCdeg_[i] = 0;
    }

    for (uint16_t w : world_.softEvents()) logSoftEvent(w, true);
    for (uint16_t w : deferredEvents_) logSoftEvent(w, true);
    deferredEvents_.clear();
    testStep();
    diagnostics();
    nmea();
}

// ---------------------------------------------------------------------------------------------
// Output

void SimReceiver::queue(Kind kind, uint8_t h1, uint8_t h2, const uint8_t* p, size_t n,
                        int64_t due) {
    Pending pd;
    pd.kind = kind;
    pd.h1 = h1;
    pd.h2 = h2;
    pd.bytes.assign(p, p + n);
    outQueue_.emplace(std::make_pair(due, seq_++), std::move(pd));
}

void SimReceiver::queueFrame(Kind kind, const Frame& f, int64_t due) {
    queue(kind, f.h1, f.h2, f.payload.data(), f.payload.size(), due);
}

void SimReceiver::queueAck(uint8_t cmd, uint8_t code, uint8_t sub, int index, uint8_t result,
                           int64_t due) {
    Bytes b;
    b.u8(code);
    if (cmd != kCmdSystem) {
        b.u8(sub);
        if (index >= 0) b.u8(uint8_t(index));
    }
    b.u8(result);
    queue(Kind::Ack, 0x10, cmd, b.data(), b.size(), due);
}

void SimReceiver::flushDue(int64_t t) {
    while (!outQueue_.empty() && outQueue_.begin()->first.first <= t) {
        Pending p = std::move(outQueue_.begin()->second);
        outQueue_.erase(outQueue_.begin());
        send(p);
    }
}

void SimReceiver::write(const uint8_t* p, size_t n) {
    stats_.bytesSent += n;
    if (output_) output_(p, n);
}

void SimReceiver::send(const Pending& p) {
    if (faults_.silent) {
        ++stats_.silenced;
        return;
    }
    if (p.kind == Kind::Ack && faultRng_.chance(faults_.dropAckFraction)) {
        ++stats_.acksDropped;
        return;
    }
    if (p.kind == Kind::Reply && faultRng_.chance(faults_.dropReplyFraction)) {
        ++stats_.repliesDropped;
        return;
    }
    if (p.kind == Kind::Monitor && faults_.monitorDropAnswers > 0) {
        --faults_.monitorDropAnswers;
        ++stats_.monitorDropped;
        return;
    }
    if (p.kind == Kind::Monitor && p.bytes.size() > 1 && faults_.monitorCorruptReplies > 0) {
        // A memory read's reply: its checksum (the byte before the end byte) is spoiled.
        --faults_.monitorCorruptReplies;
        ++stats_.monitorCorrupted;
        std::vector<uint8_t> bad = p.bytes;
        bad[bad.size() - 2] ^= 0x5A;
        write(bad.data(), bad.size());
        ++stats_.monitorAnswers;
        return;
    }
    if (p.kind == Kind::Monitor || p.kind == Kind::Text) {
        write(p.bytes.data(), p.bytes.size());
        ++(p.kind == Kind::Monitor ? stats_.monitorAnswers : stats_.textLines);
        return;
    }
    if (faultRng_.chance(faults_.garbageFraction)) {
        uint8_t junk[255];
        size_t n = 1 + faultRng_.below(std::max<uint8_t>(faults_.garbageMaxBytes, 1));
        for (size_t i = 0; i < n; ++i) {
            uint8_t b;
            do {
                b = uint8_t(faultRng_.next());
            } while (b == kStart);
            junk[i] = b;
        }
        write(junk, n);
        ++stats_.garbageBursts;
        stats_.garbageBytes += n;
    }
    const bool corrupt = faultRng_.chance(faults_.corruptChecksumFraction);
    uint8_t buf[2 * kMaxRxFrame + 8];
    PacketEncoder enc(buf, sizeof buf);
    enc.startFrame(p.h1, p.h2);
    uint8_t sum = uint8_t(kStart + p.h1 + p.h2 + kEnd);
    for (uint8_t b : p.bytes) {
        enc.addByte(b);
        sum = uint8_t(sum + b);
    }
    if (corrupt) {
        uint8_t good = uint8_t(0 - sum);
        enc.addByte(uint8_t(good + 1 + faultRng_.below(255)));
        enc.addRaw(kEnd);
        ++stats_.framesCorrupted;
    } else {
        enc.finishFrame();
    }
    write(buf, enc.position());
    ++stats_.framesSent;
    switch (p.kind) {
    case Kind::Report:
        ++stats_.reportsSent;
        break;
    case Kind::Reply:
        ++stats_.repliesSent;
        break;
    case Kind::Ack:
        ++stats_.acksSent;
        break;
    default:
        break;
    }
    if (p.kind == Kind::Reply || p.kind == Kind::Ack) {
        uint8_t copy[Bytes::kCapacity + 2];
        copy[0] = p.h1;
        copy[1] = p.h2;
        size_t n = std::min(p.bytes.size(), Bytes::kCapacity);
        std::memcpy(copy + 2, p.bytes.data(), n);
        traffic(0x14, copy, n + 2);
    }
}

// The I/O capture reports: what arrived from the host (7013) and what went back (7014), in
// pieces of at most 64 bytes, when the diagnostic mask enables them.
void SimReceiver::traffic(uint8_t subcode, const uint8_t* p, size_t n) {
    if (!(store_.diagMask[subcode / 8] & (1u << (subcode % 8)))) return;
    const size_t piece = 64;
    uint32_t& count = trafficCount_[subcode == 0x13 ? 0 : 1];
    ++count;
    for (size_t off = 0; off < n || off == 0; off += piece) {
        size_t len = std::min(piece, n - off);
        bool first = off == 0, last = off + len >= n;
        Frame f{0x70, subcode, {}};
        f.payload.u8(uint8_t((first ? 1 : 0) | (last ? 2 : 0)));
        f.payload.u8(trafficSeq_++);
        if (first) {
            f.payload.u32(uint32_t(now_));
            f.payload.u32(count);
        }
        f.payload.raw(p + off, len);
        queueFrame(Kind::Report, f, now_);
        if (last) break;
    }
}

} // namespace vx::sim
