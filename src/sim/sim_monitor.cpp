#include "sim/sim_monitor.h"

#include <algorithm>
#include <cstring>

namespace vx::sim {

namespace {

uint32_t be32(const uint8_t* p) {
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}

// Texts sent through the monitor end with one 0xFF when their length is odd; drop it.
size_t withoutPad(const uint8_t* p, size_t n) {
    return n && p[n - 1] == 0xFF ? n - 1 : n;
}

} // namespace

MonitorPort::MonitorPort(FactoryData& factory)
    : factory_(factory), ram_(kRamSize, 0), flash_(kFlashSize, 0xFF) {
    // Boot code occupies the start of the flash; give it recognizable contents.
    for (uint32_t i = 0; i < 0x10000; ++i) flash_[i] = uint8_t((i * 7 + (i >> 8)) & 0xFF);
}

void MonitorPort::enter(int64_t tMs) {
    state_ = State::Idle;
    daemonLoaded_ = daemonRunning_ = unprotected_ = false;
    restart_ = false;
    rawLeft_ = 0;
    rawLastMs_ = tMs;
}

void MonitorPort::answer(std::vector<Answer>& out, uint8_t b, uint32_t delayMs) {
    (b == kMonitorAck ? accepted_ : refused_)++;
    out.push_back({{b}, delayMs});
}

bool MonitorPort::read(uint32_t address, uint32_t count, uint8_t* dst) const {
    uint64_t end = uint64_t(address) + count;
    if (address >= kRamBase && end <= uint64_t(kRamBase) + kRamSize) {
        std::memcpy(dst, ram_.data() + (address - kRamBase), count);
        return true;
    }
    if (address >= kFlashBase && end <= uint64_t(kFlashBase) + kFlashSize) {
        std::memcpy(dst, flash_.data() + (address - kFlashBase), count);
        return true;
    }
    return false;
}

bool MonitorPort::writeRam(uint32_t address, const uint8_t* src, uint32_t count) {
    uint64_t end = uint64_t(address) + count;
    if (address < kRamBase || end > uint64_t(kRamBase) + kRamSize) return false;
    std::memcpy(ram_.data() + (address - kRamBase), src, count);
    return true;
}

uint8_t* MonitorPort::flashAt(uint32_t address, uint32_t count) {
    uint64_t end = uint64_t(address) + count;
    if (address < kFlashBase || end > uint64_t(kFlashBase) + kFlashSize) return nullptr;
    return flash_.data() + (address - kFlashBase);
}

void MonitorPort::tick(int64_t tMs, std::vector<Answer>& out) {
    if (state_ == State::RawImage && tMs - rawLastMs_ > kRawImageTimeoutMs) {
        state_ = State::Idle;
        rawLeft_ = 0;
        answer(out, kMonitorNak);
    }
}

void MonitorPort::feed(uint8_t b, int64_t tMs, std::vector<Answer>& out) {
    if (state_ != State::Idle && state_ != State::RawImage &&
        tMs - lastByteMs_ > kInterByteTimeoutMs)
        state_ = State::Idle;
    lastByteMs_ = tMs;
    switch (state_) {
    case State::Idle:
        if (b == 0x02) state_ = State::Zero;
        break;
    case State::Zero:
        state_ = b == 0x00 ? State::Command : b == 0x02 ? State::Zero : State::Idle;
        break;
    case State::Command:
        cmd_ = b;
        state_ = State::Length;
        break;
    case State::Length:
        len_ = b;
        data_.clear();
        state_ = len_ ? State::Data : State::Sum;
        break;
    case State::Data:
        data_.push_back(b);
        if (data_.size() == len_) state_ = State::Sum;
        break;
    case State::Sum:
        sum_ = b;
        state_ = State::End;
        break;
    case State::End: {
        state_ = State::Idle;
        uint8_t s = uint8_t(cmd_ + len_);
        for (uint8_t d : data_) s = uint8_t(s + d);
        if (b != 0x03 || s != sum_ ||
            (refusedCommand_ && (refusedCommand_ == 0xFF || refusedCommand_ == cmd_))) {
            answer(out, kMonitorNak);
            break;
        }
        execute(tMs, out);
        break;
    }
    case State::RawImage:
        if (uint8_t* p = flashAt(rawAddress_, 1)) *p = b;
        ++rawAddress_;
        rawLastMs_ = tMs;
        if (--rawLeft_ == 0) {
            state_ = State::Idle;
            answer(out, kMonitorAck);
        }
        break;
    }
}

void MonitorPort::execute(int64_t tMs, std::vector<Answer>& out) {
    const uint8_t* d = data_.data();
    const size_t n = data_.size();
    switch (cmd_) {
    case 0x80: { // read memory: address (MSB first), count
        if (n != 5) return answer(out, kMonitorNak);
        uint32_t address = be32(d);
        uint8_t count = d[4];
        std::vector<uint8_t> reply = {0x02, 0x00, 0x80, count};
        reply.resize(4 + count);
        if (!read(address, count, reply.data() + 4)) return answer(out, kMonitorNak);
        uint8_t s = uint8_t(0x80 + count);
        for (uint32_t i = 0; i < count; ++i) s = uint8_t(s + reply[4 + i]);
        reply.push_back(s);
        reply.push_back(0x03);
        ++accepted_;
        out.push_back({std::move(reply), 0});
        return;
    }
    case 0x81: // write RAM: address, data
        if (n < 4 || !writeRam(be32(d), d + 4, uint32_t(n - 4))) return answer(out, kMonitorNak);
        return answer(out, kMonitorAck);
    case 0x83: // load the flash daemon
        daemonLoaded_ = true;
        return answer(out, kMonitorAck);
    case 0x82: // start the daemon
        if (!daemonLoaded_ || n != 4 || be32(d) != 0x00000800) return answer(out, kMonitorNak);
        daemonRunning_ = true;
        return answer(out, kMonitorAck);
    case 0x87: // unprotect the boot area
        if (!daemonRunning_) return answer(out, kMonitorNak);
        unprotected_ = true;
        return answer(out, kMonitorAck);
    case 0x8E: // erase the entire flash (takes a while)
        if (!daemonRunning_ || !unprotected_) return answer(out, kMonitorNak);
        std::fill(flash_.begin(), flash_.end(), 0xFF);
        return answer(out, kMonitorAck, 2000);
    case 0x8B: { // program flash: length, start address; the raw image bytes follow
        if (!daemonRunning_ || n != 8) return answer(out, kMonitorNak);
        uint32_t length = be32(d), start = be32(d + 4);
        if (length == 0 || !flashAt(start, length) || (start < kProtectedEnd && !unprotected_))
            return answer(out, kMonitorNak);
        rawAddress_ = start;
        rawLeft_ = length;
        rawLastMs_ = tMs;
        state_ = State::RawImage;
        return; // answered after the last image byte
    }
    case 0x85: // RAM test
        return answer(out, kMonitorAck, 300);
    case 0x88: // ROM test
        return answer(out, kMonitorAck, 500);
    case 0x8A: { // product information
        size_t m = withoutPad(d, n);
        if (!daemonRunning_ || m < 8 || m > sizeof factory_.productConfig)
            return answer(out, kMonitorNak);
        std::memcpy(factory_.productConfig, d, m);
        factory_.productConfigLength = uint8_t(m);
        return answer(out, kMonitorAck);
    }
    case 0x8D: { // hardware ID
        size_t m = withoutPad(d, n);
        if (!daemonRunning_ || m > 16) return answer(out, kMonitorNak);
        std::memset(factory_.hardwareId, 0, sizeof factory_.hardwareId);
        std::memcpy(factory_.hardwareId, d, m);
        return answer(out, kMonitorAck);
    }
    case 0x7D: { // customer data block: block number, bytes
        // A block is at most what one 0x15 reply frame carries after the block number.
        if (!daemonRunning_ || n < 2 || n - 1 > kMaxCustomerBlock || d[0] < 1 || d[0] > 0x7F)
            return answer(out, kMonitorNak);
        uint8_t block = d[0];
        factory_.customerSet[block] = 1;
        factory_.customerLength[block] = uint8_t(n - 1);
        std::memcpy(factory_.customer[block], d + 1, n - 1);
        return answer(out, kMonitorAck);
    }
    case 0x8C: // restart into normal mode; nothing is answered
        restart_ = true;
        return;
    default:
        return answer(out, kMonitorNak);
    }
}

} // namespace vx::sim
