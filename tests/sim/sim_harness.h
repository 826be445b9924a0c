// Test helpers for the simulated receiver: drive it in-process on simulated time, send it
// commands through the real command catalogue, and cut what it sends into packets.
#pragma once

#include "link/decoders.h"
#include "link/framing.h"
#include "link/monitor_ops.h"
#include "sim/sim_receiver.h"
#include "support/hex.h"

#include <algorithm>
#include <cstdint>
#include <deque>
#include <vector>

namespace vxtest {

// A fixed UTC start (2024-05-13 12:00:00) so that dates in reports are reproducible.
inline constexpr int64_t kSimUtc = 1715601600000;

struct Packet {
    int result = 0; // deframer result
    uint8_t code = 0, sub = 0;
    std::vector<uint8_t> payload;
    std::vector<uint8_t> frame; // the unescaped frame

    uint16_t id() const { return uint16_t(code << 8 | sub); }
    int decodeResult() const {
        static vx::RecordArea area;
        return vx::decode(code, sub, payload.data(), payload.size(), area);
    }
};

// Cuts a byte stream into packets; keeps an unfinished frame for the next call.
class PacketCutter {
public:
    std::vector<Packet> feed(const std::vector<uint8_t>& bytes) {
        pending_.insert(pending_.end(), bytes.begin(), bytes.end());
        std::vector<Packet> out;
        size_t pos = 0;
        while (pos < pending_.size()) {
            vx::MemorySource src(pending_.data() + pos, pending_.size() - pos);
            uint8_t buf[vx::kRxBufferSize];
            uint16_t count = 0;
            int r = vx::PacketDeframer::readFrame(src, buf, count);
            if (r == vx::kFrameEndOfStream) {
                size_t keep = pending_.size();
                for (size_t i = pending_.size(); i > pos; --i)
                    if (pending_[i - 1] == vx::kStart) {
                        keep = i - 1;
                        break;
                    }
                pos = keep;
                break;
            }
            pos += src.consumed();
            Packet p;
            p.result = r;
            p.frame.assign(buf, buf + count);
            if (count >= 5) {
                p.code = buf[1];
                p.sub = buf[2];
                p.payload.assign(buf + 3, buf + count - 2);
            }
            out.push_back(std::move(p));
        }
        pending_.erase(pending_.begin(), pending_.begin() + long(std::min(pos, pending_.size())));
        return out;
    }

private:
    std::vector<uint8_t> pending_;
};

// A simulated receiver in the test's own thread. Commands go in through sendFrame (so the
// catalogue's senders can be used directly); the receiver's output collects in `out`.
class SimHarness : public vx::MonitorLink {
public:
    explicit SimHarness(uint64_t seed = 1, vx::sim::SimFaults faults = {})
        : sim(vx::sim::SimOptions{seed, kSimUtc, faults}) {
        sim.setOutput([this](const uint8_t* p, size_t n) { out.insert(out.end(), p, p + n); });
    }

    int sendFrame(const uint8_t* bytes, uint16_t length) override {
        sim.receive(bytes, length);
        return 0;
    }
    // Monitor exchanges read the receiver's raw output and sleep in simulated time.
    int rawRead(uint8_t* buf, int count) override {
        int n = 0;
        while (n < count && !out.empty()) {
            buf[n++] = out.front();
            out.pop_front();
        }
        return n;
    }
    void purgeLink() override { out.clear(); }
    void sleepMs(int ms) override { run(ms); }
    // Waits run the receiver on in steps of at most 10 ms: what it sends becomes readable the
    // moment it is due.
    void waitReadable(int ms) override { run(std::min(ms, 10)); }
    int64_t nowMs() override { return sim.now(); }

    void run(int64_t ms) { sim.advanceTo(sim.now() + ms); }
    // Power-on takes a second; afterwards commands are answered.
    void boot() { run(1100); }

    // Everything sent since the last call, as packets.
    std::vector<Packet> take() {
        std::vector<uint8_t> bytes(out.begin(), out.end());
        out.clear();
        return cutter.feed(bytes);
    }
    std::vector<uint8_t> takeRaw() {
        std::vector<uint8_t> bytes(out.begin(), out.end());
        out.clear();
        return bytes;
    }

    vx::sim::SimReceiver sim;
    std::deque<uint8_t> out;
    PacketCutter cutter;
};

inline std::vector<Packet> withId(const std::vector<Packet>& ps, uint8_t code, uint8_t sub) {
    std::vector<Packet> r;
    for (const Packet& p : ps)
        if (p.result == 0 && p.code == code && p.sub == sub) r.push_back(p);
    return r;
}

inline size_t countId(const std::vector<Packet>& ps, uint8_t code, uint8_t sub) {
    return withId(ps, code, sub).size();
}

} // namespace vxtest
