#include "link/receive_worker.h"

#include <cstring>

#include "link/ack_texts.h"
#include "link/decoders.h"
#include "link/packet_decode.h"

namespace vx {

ReceiveWorker::ReceiveWorker(HandoverQueue& queue, MonitorFlags* flags)
    : queue_(queue), flags_(flags) {}

void ReceiveWorker::runReader(LinkSession& session) {
    run(session.source(), &session);
}

void ReceiveWorker::interruptReader() {
    abandon_.store(true, std::memory_order_release);
    queue_.wakeProducer();
}

ReceiveWorker::Ended ReceiveWorker::run(ByteSource& source, LinkSession* session) {
    if (!session) abandon_.store(false, std::memory_order_relaxed);
    const std::atomic<bool>& abandon = session ? session->stopFlag() : abandon_;
    struct PublishAtEnd {
        HandoverQueue& q;
        ~PublishAtEnd() { q.publish(); }
    } publishAtEnd{queue_};
    unfinished_ = 0;
    for (;;) {
        uint16_t count = 0;
        int r = PacketDeframer::readFrameFast(source, frame_, count);
        if (r == kFrameStopped || r == kFrameEndOfStream) {
            unfinished_ = count;
            return r == kFrameStopped ? Ended::Stopped : Ended::EndOfStream;
        }
        Delivery* d = queue_.reserve(abandon);
        if (!d) return Ended::Abandoned;
        bool paced = build(*d, r, frame_, count);
        queue_.commit();
        frames_.fetch_add(1, std::memory_order_relaxed);
        if (paced && session && session->replaying()) {
            int32_t ms = session->replayDelayMs();
            if (ms > 0) {
                queue_.publish(); // the 3002 is shown before the pause, not after it
                session->pace(ms);
            }
        }
    }
}

bool ReceiveWorker::build(Delivery& d, int result, const uint8_t* frame, uint16_t count) {
    if (count > kRxBufferSize) count = kRxBufferSize;
    d.count = count;
    std::memcpy(d.frame.data(), frame, count);
    d.h1 = count > 1 ? frame[1] : 0;
    d.h2 = count > 2 ? frame[2] : 0;
    d.stepCount = 0;
    d.decoded = false;
    if (d.record.index() != 0) d.record = std::monostate{};
    auto add = [&](RouteStep s) {
        if (d.stepCount < kMaxRouteSteps) d.steps[d.stepCount++] = s;
    };
    auto refuse = [&](int code) {
        d.result = code;
        add(kErrorStep);
        if (flags_) flags_->errorPending.store(1, std::memory_order_relaxed);
        return false;
    };

    // The outcome is decided exactly as `vexor decode` decides it (packet_decode.h): a good
    // checksum over fewer than 5 bytes is a length error, 0x23 is not decoded.
    const uint8_t h1 = d.h1, h2 = d.h2;
    if (result != kFrameOk || count < kMinFrame) {
        d.result = result != kFrameOk ? result : kErrLength;
        return refuse(d.result);
    }
    d.result = kFrameOk;
    if (flags_) flags_->rxSeen.store(1, std::memory_order_relaxed);

    const uint8_t* payload = frame + 3;
    const size_t length = size_t(count) - 5;
    if (h1 == kCodeAltFix) {
        RouteStep s = kAltFixStep;
        s.arg = h2;
        add(s);
        return false;
    }
    for (const RouteStep& s : rawPacketSteps()) add(s);

    FrameOutcome o = decodeFrame(result, frame, count, area_);
    if (o.result != kDecodeOk) return refuse(o.result);
    d.decoded = true;
    if (o.kind != RecordKind::None) d.record = snapshot(area_, o.kind);

    add(kTraceStep);
    d.stepCount =
        uint8_t(d.stepCount + routePacket(h1, h2, payload, length, d.steps.data() + d.stepCount,
                                          kMaxRouteSteps - d.stepCount));
    if (h1 == 0x70 && isDiagnosticFlagSubcode(h2) && flags_)
        flags_->rxDiagSeen.store(1, std::memory_order_relaxed);
    return h1 == 0x30 && h2 == 0x02;
}

} // namespace vx
