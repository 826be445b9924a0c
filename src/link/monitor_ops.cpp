#include "link/monitor_ops.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

namespace vx {

namespace {

uint8_t monitorChecksum(const uint8_t* frame, size_t n) {
    uint8_t sum = 0;
    for (size_t i = 2; i < 4 + n; ++i) sum = uint8_t(sum + frame[i]);
    return sum;
}

// Fills header, checksum and end byte of a frame whose command, length and data are in place.
void finishMonitorFrame(uint8_t* frame) {
    size_t n = frame[3];
    frame[0] = kMonitorStx;
    frame[1] = 0x00;
    frame[4 + n] = monitorChecksum(frame, n);
    frame[5 + n] = kMonitorEtx;
}

void putU32MsbFirst(std::vector<uint8_t>& out, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(uint8_t(v >> shift));
}

// The characters of a text up to its first zero, then 0xFF when their number is odd.
void putPaddedText(std::vector<uint8_t>& out, std::string_view text) {
    text = text.substr(0, text.find('\0'));
    out.insert(out.end(), text.begin(), text.end());
    if (text.size() % 2) out.push_back(0xFF);
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Frames

int sendMonitorFrame(FrameSink& sink, uint8_t* frame, size_t capacity) {
    if (!frame || capacity < kMonitorOverhead) return -1;
    size_t n = frame[3];
    if (capacity < n + kMonitorOverhead) return -1;
    finishMonitorFrame(frame);
    return sink.sendFrame(frame, uint16_t(n + kMonitorOverhead));
}

std::vector<uint8_t> buildMonitorFrame(uint8_t command, std::span<const uint8_t> data) {
    if (data.size() > kMaxMonitorData) return {};
    std::vector<uint8_t> frame(data.size() + kMonitorOverhead);
    frame[2] = command;
    frame[3] = uint8_t(data.size());
    std::copy(data.begin(), data.end(), frame.begin() + 4);
    finishMonitorFrame(frame.data());
    return frame;
}

int sendMonitorFrame(FrameSink& sink, uint8_t command, std::span<const uint8_t> data) {
    if (data.size() > kMaxMonitorData) return -1;
    MonitorFrameBuffer frame;
    frame[2] = command;
    frame[3] = uint8_t(data.size());
    std::copy(data.begin(), data.end(), frame.begin() + 4);
    return sendMonitorFrame(sink, frame.data(), frame.size());
}

bool checkMonitorReply(std::span<const uint8_t> reply, uint8_t count) {
    size_t n = count;
    if (reply.size() < n + kMonitorOverhead) return false;
    return reply[0] == kMonitorStx && reply[1] == 0x00 && reply[3] == count &&
           reply[4 + n] == monitorChecksum(reply.data(), n) && reply[5 + n] == kMonitorEtx;
}

// ---------------------------------------------------------------------------------------------
// Senders

int monitorCustomerData(FrameSink& sink, uint8_t block, std::span<const uint8_t> bytes) {
    if (bytes.size() > kMaxCustomerDataBytes) return -1;
    std::vector<uint8_t> data;
    data.reserve(bytes.size() + 1);
    data.push_back(block);
    data.insert(data.end(), bytes.begin(), bytes.end());
    return sendMonitorFrame(sink, kMonCustomerData, data);
}

int monitorReadMemoryRequest(FrameSink& sink, uint32_t address, uint8_t count) {
    std::vector<uint8_t> data;
    putU32MsbFirst(data, address);
    data.push_back(count);
    return sendMonitorFrame(sink, kMonReadMemory, data);
}

int monitorWriteMemory(FrameSink& sink, uint32_t address, std::span<const uint8_t> bytes) {
    if (bytes.size() > kMaxWriteMemoryBytes) return -1;
    std::vector<uint8_t> data;
    data.reserve(bytes.size() + 4);
    putU32MsbFirst(data, address);
    data.insert(data.end(), bytes.begin(), bytes.end());
    return sendMonitorFrame(sink, kMonWriteMemory, data);
}

int monitorCommand82(FrameSink& sink) {
    static constexpr uint8_t data[] = {0x00, 0x00, 0x08, 0x00};
    return sendMonitorFrame(sink, kMonCommand82, data);
}

int monitorCommand83(FrameSink& sink) {
    return sendMonitorFrame(sink, kMonCommand83);
}
int monitorRamTest(FrameSink& sink) {
    return sendMonitorFrame(sink, kMonRamTest);
}
int monitorCommand87(FrameSink& sink) {
    return sendMonitorFrame(sink, kMonCommand87);
}
int monitorRomTest(FrameSink& sink) {
    return sendMonitorFrame(sink, kMonRomTest);
}

int monitorSetConfig(FrameSink& sink, const ProductConfig& c) {
    std::string_view name = c.productName;
    name = name.substr(0, name.find('\0'));
    if (name.size() > kMaxProductName) return -1;
    std::vector<uint8_t> data;
    for (int shift = 0; shift < 32; shift += 8) data.push_back(uint8_t(c.serialNumber >> shift));
    data.push_back(c.date2);
    data.push_back(c.date1);
    data.push_back(uint8_t(c.year));
    data.push_back(uint8_t(c.year >> 8));
    putPaddedText(data, name);
    return sendMonitorFrame(sink, kMonSetConfig, data);
}

int monitorCommand8B(FrameSink& sink, uint32_t first, uint32_t second) {
    std::vector<uint8_t> data;
    putU32MsbFirst(data, first);
    putU32MsbFirst(data, second);
    return sendMonitorFrame(sink, kMonCommand8B, data);
}

int monitorRestart(FrameSink& sink) {
    return sendMonitorFrame(sink, kMonRestart);
}

int monitorSetHardwareId(FrameSink& sink, std::string_view hardwareId) {
    std::vector<uint8_t> data;
    putPaddedText(data, hardwareId);
    return sendMonitorFrame(sink, kMonSetHardwareId, data); // refuses more than 255 bytes
}

int monitorCommand8E(FrameSink& sink) {
    return sendMonitorFrame(sink, kMonCommand8E);
}

// ---------------------------------------------------------------------------------------------
// Exchanges

void MonitorLink::sleepMs(int ms) {
    if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

int sendWakeBytes(MonitorLink& link) {
    static constexpr uint8_t wake[5] = {kMonitorWake, kMonitorWake, kMonitorWake, kMonitorWake,
                                        kMonitorWake};
    return link.sendFrame(wake, sizeof wake);
}

bool waitMonitorAck(MonitorLink& link, int allowanceMs) {
    while (allowanceMs > 0) {
        uint8_t b = 0;
        if (link.rawRead(&b, 1) == 1) {
            if (b == kMonitorAck) return true;
            if (b == kMonitorNak) return false;
        }
        link.sleepMs(kMonitorPollMs);
        allowanceMs -= kMonitorPollMs;
    }
    return false;
}

bool readMonitorReply(MonitorLink& link, std::span<uint8_t> buffer, uint8_t count) {
    size_t total = size_t(count) + kMonitorOverhead;
    if (buffer.size() < total) return false;
    for (size_t i = 0; i < total; ++i) {
        int tries = 0;
        while (link.rawRead(&buffer[i], 1) != 1) {
            link.sleepMs(kMonitorPollMs);
            if (++tries == kReplyByteTries) return false;
        }
    }
    return true;
}

bool monitorReadMemory(MonitorLink& link, uint32_t address, uint8_t count,
                       std::span<uint8_t> destination) {
    if (destination.size() < count) return false;
    MonitorFrameBuffer reply;
    for (int attempt = 0; attempt < kReadMemoryAttempts; ++attempt) {
        link.purgeLink();
        if (monitorReadMemoryRequest(link, address, count) != 0) continue;
        if (!readMonitorReply(link, reply, count)) continue;
        if (!checkMonitorReply(std::span<const uint8_t>(reply.data(), count + kMonitorOverhead),
                               count))
            continue;
        std::memcpy(destination.data(), reply.data() + 4, count);
        return true;
    }
    return false;
}

// ---------------------------------------------------------------------------------------------
// Answers

bool MonitorAnswerReader::track(uint8_t b) {
    if (!inFrame_) {
        if (b == kStart) {
            inFrame_ = synced_ = true;
            escaped_ = false;
            frameLength_ = 1;
            return true;
        }
        if (b == kEnd) synced_ = true;
        return !synced_;
    }
    if (b == kEnd) {
        inFrame_ = false;
        ++vexorFrames_;
        return true;
    }
    if (b == kStart) { // a new frame begins; the cut one is dropped, as the deframer drops it
        escaped_ = false;
        frameLength_ = 1;
        return true;
    }
    if (escaped_) {
        escaped_ = false; // the second byte of an escape pair: the pair counts once
    } else {
        escaped_ = b == kEscape;
        // The deframer refuses the frame at its length limit and hunts for the next 0x81.
        if (++frameLength_ == kMaxRxFrame) inFrame_ = false;
    }
    return true;
}

MonitorAnswerReader::Answer MonitorAnswerReader::feed(uint8_t b) {
    if (!reply_.empty()) {
        // A reply frame is taken by its length byte: its data may hold any byte, 0x81 too.
        reply_.push_back(b);
        if (reply_.size() == 2 && b != 0x00) {
            reply_.clear(); // 0x02 not followed by 0x00 starts no reply; b is looked at anew
        } else {
            if (reply_.size() >= 4 && reply_.size() == size_t(reply_[3]) + kMonitorOverhead)
                return Answer::Reply;
            return Answer::None;
        }
    }
    if (track(b)) return Answer::None;
    if (b == kMonitorAck) return Answer::Ack;
    if (b == kMonitorNak) return Answer::Nak;
    if (b == kMonitorStx) reply_.push_back(b);
    return Answer::None;
}

} // namespace vx
