#include "testtools/generic_packet.h"

#include "link/catalogue.h"
#include "link/framing.h"
#include "link/monitor_ops.h"

#include <cstdio>
#include <span>

namespace vx {

namespace {

bool isSeparator(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && isSeparator(s.front())) s.remove_prefix(1);
    while (!s.empty() && isSeparator(s.back())) s.remove_suffix(1);
    return s;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool isFrameControl(uint8_t b) {
    return b >= kEscape && b <= kEnd;
}

} // namespace

std::optional<uint8_t> parseHexByte(std::string_view text) {
    std::string_view s = trim(text);
    if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) s.remove_prefix(2);
    if (s.empty() || s.size() > 2) return std::nullopt;
    unsigned v = 0;
    for (char c : s) {
        int d = hexDigit(c);
        if (d < 0) return std::nullopt;
        v = v * 16 + unsigned(d);
    }
    return uint8_t(v);
}

std::string parseHexData(std::string_view text, std::vector<uint8_t>& out) {
    size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && isSeparator(text[i])) ++i;
        if (i == text.size()) break;
        size_t end = i;
        while (end < text.size() && !isSeparator(text[end])) ++end;
        if (out.size() >= kGenericMaxData) return std::string(kErrSize);
        std::optional<uint8_t> b = parseHexByte(text.substr(i, end - i));
        if (!b) return std::string(kErrData);
        out.push_back(*b);
        i = end;
    }
    return {};
}

std::string readGenericInput(GenericCommand& cmd, GenericType type, const GenericFields& f) {
    if (type == GenericType::None) return std::string(kErrNoCommand);
    cmd.type = type;

    auto readCode = [&]() -> bool {
        std::optional<uint8_t> c = parseHexByte(f.code);
        if (!c || *c > 0x7F) return false;
        cmd.code = *c;
        return true;
    };
    auto readSubcode = [&]() -> bool {
        std::optional<uint8_t> s = parseHexByte(f.subcode);
        if (!s) return false;
        cmd.subcode = *s;
        return true;
    };
    auto readIndex = [&]() -> bool {
        if (trim(f.index).empty()) {
            cmd.index = kNoIndex;
            return true;
        }
        std::optional<uint8_t> i = parseHexByte(f.index);
        if (!i) return false;
        cmd.index = *i;
        return true;
    };
    auto readData = [&]() -> std::string {
        std::vector<uint8_t> data;
        std::string err = parseHexData(f.data, data);
        if (err.empty()) cmd.data = std::move(data);
        return err;
    };

    switch (type) {
    case GenericType::Set:
        if (!readCode()) return std::string(kErrCode);
        if (!readSubcode()) return std::string(kErrSubcode);
        if (!readIndex()) return std::string(kErrIndex);
        return readData();
    case GenericType::Query:
        if (!readCode()) return std::string(kErrCode);
        if (!readSubcode()) return std::string(kErrSubcode);
        if (!readIndex()) return std::string(kErrIndex);
        cmd.data.clear();
        return {};
    case GenericType::System:
        if (!readCode()) return std::string(kErrCode);
        cmd.index = kNoIndex;
        cmd.data.clear();
        return {};
    case GenericType::RawVexor:
    case GenericType::RawMonitor: {
        std::vector<uint8_t> data;
        std::string err = parseHexData(f.data, data);
        if (!err.empty()) return err;
        // A monitor frame needs at least its command byte; a raw VEXOR frame without bytes
        // would be 81 7F 82, which means nothing.
        if (data.empty()) return std::string(kErrData);
        if (type == GenericType::RawVexor) {
            for (size_t i = 0; i < data.size() && i < 3; ++i)
                if (isFrameControl(data[i])) return std::string(kErrHeaderByte);
        }
        if (data.size() >= 2) cmd.code = data[1];
        if (data.size() >= 3) cmd.subcode = data[2];
        cmd.data = std::move(data);
        return {};
    }
    case GenericType::None:
        break;
    }
    return std::string(kErrNoCommand);
}

std::vector<uint8_t> buildGenericFrame(const GenericCommand& cmd) {
    switch (cmd.type) {
    case GenericType::Set:
    case GenericType::Query:
    case GenericType::System: {
        CommandFrame f(uint8_t(cmd.type), cmd.code);
        if (cmd.type != GenericType::System) f.byte(cmd.subcode);
        if (cmd.index != kNoIndex) f.byte(cmd.index);
        f.bytes(cmd.data);
        return f.toBytes();
    }
    case GenericType::RawVexor: {
        TxFrame f;
        if (!buildRawFrame(f, cmd.data.data(), cmd.data.size())) return {};
        return std::vector<uint8_t>(f.data(), f.data() + f.size());
    }
    case GenericType::RawMonitor: {
        if (cmd.data.empty() || cmd.data.size() + kMonitorOverhead - 1 > kGenericFrameBuffer)
            return {};
        return buildMonitorFrame(
            cmd.data[0], std::span<const uint8_t>(cmd.data).subspan(1, cmd.data.size() - 1));
    }
    case GenericType::None:
        break;
    }
    return {};
}

std::optional<std::string> replyLine(const GenericCommand& cmd, uint8_t h1, uint8_t h2,
                                     const uint8_t* payload, size_t length) {
    if (h1 != cmd.code || (h2 != cmd.subcode && cmd.subcode != 0xFF)) return std::nullopt;
    std::string line;
    auto add = [&](uint8_t b) {
        char buf[4];
        std::snprintf(buf, sizeof buf, "%02X ", b);
        line += buf;
    };
    size_t from = 0;
    if (cmd.type == GenericType::RawVexor) {
        add(h1);
        add(h2);
    } else if (cmd.index != kNoIndex) {
        from = 1;
    }
    for (size_t i = from; i < length; ++i) add(payload[i]);
    return line;
}

AckVerdict matchAck(const GenericCommand& cmd, uint8_t command, const AckRecord& ack) {
    if (command != uint8_t(cmd.type)) return AckVerdict::NoMatch;
    if (cmd.type != GenericType::Set && cmd.type != GenericType::Query) return AckVerdict::NoMatch;
    if (ack.acked_code != cmd.code || ack.acked_subcode != cmd.subcode) return AckVerdict::NoMatch;
    if (cmd.index != kNoIndex && cmd.index != 0xFF && ack.index != cmd.index)
        return AckVerdict::NoMatch;
    return ack.result == 0 ? AckVerdict::Success : AckVerdict::Failure;
}

AckVerdict matchSysAck(const GenericCommand& cmd, const SysAckRecord& ack) {
    if (cmd.type != GenericType::System || ack.acked_code != cmd.code) return AckVerdict::NoMatch;
    return ack.result == 0 ? AckVerdict::Success : AckVerdict::Failure;
}

std::string sysStatusLine(uint8_t result) {
    return "Received reply status: " + std::to_string(result);
}

// ---- CommandWait ----------------------------------------------------------------------------

CommandWait::CommandWait(const GenericCommand& cmd) : reply_(cmd), acked_(cmd) {
    switch (cmd.type) {
    case GenericType::Query:
        wantsReply_ = true;
        break;
    case GenericType::Set:
    case GenericType::System:
        break;
    case GenericType::RawVexor: {
        const uint8_t first = cmd.data.empty() ? 0 : cmd.data[0];
        if (first >= kCmdSet && first <= kCmdSystem) {
            acked_.type = GenericType(first);
            acked_.index = kNoIndex; // whatever index the acknowledgement carries
            wantsReply_ = first == kCmdQuery;
        } else {
            acked_.type = GenericType::None;
            wantsReply_ = true;
        }
        break;
    }
    case GenericType::RawMonitor:
    case GenericType::None:
        acked_.type = GenericType::None;
        break;
    }
}

bool CommandWait::packet(uint8_t h1, uint8_t h2, const uint8_t* payload, size_t length) {
    if (!wantsReply_ || outcome() != Outcome::Waiting) return false;
    if (!replyLine(reply_, h1, h2, payload, length)) return false;
    replied_ = true;
    return true;
}

bool CommandWait::ack(uint8_t command, const AckRecord& a) {
    if (outcome() != Outcome::Waiting) return false;
    AckVerdict v = matchAck(acked_, command, a);
    if (v == AckVerdict::NoMatch) return false;
    ack_ = v;
    return true;
}

bool CommandWait::sysAck(const SysAckRecord& a) {
    if (outcome() != Outcome::Waiting) return false;
    AckVerdict v = matchSysAck(acked_, a);
    if (v == AckVerdict::NoMatch) return false;
    ack_ = v;
    return true;
}

CommandWait::Outcome CommandWait::outcome() const {
    if (ack_ == AckVerdict::Failure) return Outcome::Refused;
    const bool acked = ack_ == AckVerdict::Success || acked_.type == GenericType::None;
    const bool replied = replied_ || !wantsReply_;
    if (acked_.type == GenericType::None && !wantsReply_) return Outcome::Waiting;
    return acked && replied ? Outcome::Success : Outcome::Waiting;
}

CommandWait::Outcome CommandWait::atTimeout() const {
    Outcome o = outcome();
    if (o != Outcome::Waiting) return o;
    if (replied_) return Outcome::Success;
    if (ack_ != AckVerdict::Success) return Outcome::TimedOut;
    return wantsReply_ ? Outcome::AckedNoReply : Outcome::Success;
}

} // namespace vx
