#include "testtools/batch_schedule.h"

#include "link/framing.h"
#include "testtools/generic_packet.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>

namespace vx {

namespace {

constexpr std::string_view kResultTexts[kBatchResultTexts] = {
    "Success",
    "Pre-parser error",
    "Checksum error",
    "Unknown code/subcode",
    "Parser data length error",
    "Data value error",
    "Contradicts current data",
    "Data table full",
    "Data not available",
    "Failed to execute properly",
};

bool isSeparator(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// The unescaped body of a typed frame: the bytes between 0x81 and 0x82, escapes undone,
// without the checksum.
std::vector<uint8_t> frameBody(const std::vector<uint8_t>& f) {
    std::vector<uint8_t> body;
    bool escape = false;
    for (size_t i = 1; i + 1 < f.size(); ++i) {
        uint8_t b = f[i];
        if (escape) {
            body.push_back(uint8_t(b + 0x80));
            escape = false;
        } else if (b == kEscape) {
            escape = true;
        } else {
            body.push_back(b);
        }
    }
    if (!body.empty()) body.pop_back(); // the checksum
    return body;
}

} // namespace

std::string batchResultText(uint8_t result) {
    if (result < kBatchResultTexts) return std::string(kResultTexts[result]);
    char buf[8];
    std::snprintf(buf, sizeof buf, "0x%02X", result);
    return buf;
}

std::string readBatchRow(std::string_view text, bool isText, bool containsIndex, BatchRow& row) {
    row = BatchRow{};
    row.text = isText;
    if (isText) {
        if (text.empty()) return {};
        if (text.size() + 2 > kBatchRowBytes) return std::string(kBatchErrSize);
        row.stored.assign(text.begin(), text.end());
        row.stored.push_back(0x0D);
        row.stored.push_back(0x0A);
        row.wire = row.stored;
    } else {
        size_t i = 0;
        while (i < text.size()) {
            while (i < text.size() && isSeparator(text[i])) ++i;
            if (i == text.size()) break;
            size_t end = i;
            while (end < text.size() && !isSeparator(text[end])) ++end;
            if (row.stored.size() >= kBatchRowBytes) return std::string(kBatchErrSize);
            std::optional<uint8_t> b = parseHexByte(text.substr(i, end - i));
            if (!b) return std::string(kBatchErrData);
            row.stored.push_back(*b);
            i = end;
        }
        if (row.stored.empty()) return {};
    }

    // The bytes the answers are matched against: a typed frame's body, else the stored bytes.
    std::vector<uint8_t> body;
    const bool typedFrame = !isText && row.stored.size() >= 2 && row.stored.front() == kStart &&
                            row.stored.back() == kEnd;
    if (typedFrame) {
        body = frameBody(row.stored);
        row.wire = row.stored;
    } else {
        body = row.stored;
    }
    // A System command has neither subcode nor index: its command byte and code are enough.
    const bool system = !body.empty() && body[0] == kCmdSystem;
    const size_t need = system ? 2 : containsIndex ? 4 : 3;
    if (body.size() < need) return {}; // too few bytes: left out, silently
    if (!isText && !typedFrame) {
        // Escaped bytes take two places: 2 x 128 + 4 holds any row.
        std::vector<uint8_t> buf(2 * row.stored.size() + 4);
        PacketEncoder enc(buf.data(), buf.size());
        enc.startRawFrame();
        for (uint8_t b : row.stored) enc.addByte(b);
        enc.finishFrame();
        buf.resize(enc.position());
        row.wire = std::move(buf);
    }
    row.command = body[0];
    row.code = body[1];
    row.subcode = body.size() > 2 ? body[2] : 0;
    row.index = containsIndex && body.size() > 3 ? body[3] : kAckNoIndex;
    row.active = true;
    return {};
}

// ---- BatchSchedule --------------------------------------------------------------------------

bool BatchSchedule::start(const std::array<bool, kBatchRows>& active, int32_t sendIntervalMs,
                          int32_t batchIntervalMs, int32_t cycles) {
    active_ = active;
    activeCount_ = int(std::count(active.begin(), active.end(), true));
    send_ = std::max<int32_t>(sendIntervalMs, 0);
    batch_ = std::max<int32_t>(batchIntervalMs, 0);
    cycles_ = cycles;
    current_ = 0;
    if (activeCount_ == 0 || cycles <= 0) return false;
    while (!active_[size_t(current_)]) ++current_;
    return true;
}

BatchSchedule::Tick BatchSchedule::tick() {
    Tick t;
    t.row = current_;
    t.nextIntervalMs = send_;
    do {
        if (++current_ == kBatchRows) {
            current_ = 0;
            t.nextIntervalMs = batch_;
            --cycles_;
            t.newCycle = true;
        }
    } while (!active_[size_t(current_)]);
    t.finished = cycles_ <= 0;
    return t;
}

int64_t BatchSchedule::secondsRemaining() const {
    // One cycle takes at most 5 x (2^31 - 1) ms; times 2^31 - 1 cycles that exceeds 64 bits, so
    // the milliseconds per cycle are split into whole seconds and the rest before multiplying.
    const int64_t perCycle = (int64_t(activeCount_) - 1) * send_ + batch_;
    const int64_t cycles = cycles_ > 0 ? cycles_ : 0;
    return perCycle / 1000 * cycles + perCycle % 1000 * cycles / 1000 + 1;
}

std::string timeRemainingText(int64_t seconds) {
    if (seconds < 0) seconds = 0;
    char buf[64];
    std::snprintf(buf, sizeof buf, "Time Remaining: %02" PRId64 ":%02d:%02d  ", seconds / 3600,
                  int(seconds / 60 % 60), int(seconds % 60));
    return buf;
}

// ---- BatchRowResponses ----------------------------------------------------------------------

void BatchRowResponses::clear() {
    *this = BatchRowResponses{};
}

void BatchRowResponses::sent(int64_t nowMs, int timeoutMs) {
    ++sent_;
    waiting_.push_back({nowMs + timeoutMs, false});
}

void BatchRowResponses::unsend(bool waited) {
    if (sent_ == 0) return;
    --sent_;
    if (waited && !waiting_.empty()) waiting_.pop_back();
}

bool BatchRowResponses::awaitingReply() const {
    return std::any_of(waiting_.begin(), waiting_.end(),
                       [](const Waiting& w) { return !w.replied; });
}

void BatchRowResponses::count(uint8_t result) {
    if (result < kBatchResultTexts) {
        ++results_[result];
    } else {
        ++other_;
    }
}

bool BatchRowResponses::answerReply() {
    for (Waiting& w : waiting_) {
        if (w.replied) continue;
        w.replied = true;
        count(0);
        return true;
    }
    return false;
}

BatchRowResponses::AckOutcome BatchRowResponses::answerAck(uint8_t result) {
    if (waiting_.empty()) return AckOutcome::NotWaiting;
    bool replied = waiting_.front().replied;
    waiting_.pop_front();
    if (replied) return AckOutcome::Closed;
    count(result);
    return AckOutcome::Counted;
}

int BatchRowResponses::expire(int64_t nowMs) {
    // Deadlines are in send order unless the wait was changed between sends: look at all.
    int n = 0;
    for (auto it = waiting_.begin(); it != waiting_.end();) {
        if (it->deadline > nowMs) {
            ++it;
            continue;
        }
        if (!it->replied) ++n;
        it = waiting_.erase(it);
    }
    missed_ += uint32_t(n);
    return n;
}

int BatchRowResponses::expireAll() {
    int n = int(std::count_if(waiting_.begin(), waiting_.end(),
                              [](const Waiting& w) { return !w.replied; }));
    waiting_.clear();
    missed_ += uint32_t(n);
    return n;
}

std::optional<int64_t> BatchRowResponses::nextDeadline() const {
    if (waiting_.empty()) return std::nullopt;
    int64_t t = waiting_.front().deadline;
    for (const Waiting& w : waiting_) t = std::min(t, w.deadline);
    return t;
}

uint32_t BatchRowResponses::errors() const {
    uint32_t n = other_;
    for (int r = 1; r < kBatchResultTexts; ++r) n += results_[size_t(r)];
    return n;
}

// ---- Matching -------------------------------------------------------------------------------

int batchAckRow(const std::array<BatchRow, kBatchRows>& rows,
                const std::array<BatchRowResponses, kBatchRows>& responses, uint8_t command,
                const AckRecord& ack) {
    if (command != kCmdSet && command != kCmdQuery) return -1;
    for (int i = 0; i < kBatchRows; ++i) {
        const BatchRow& r = rows[size_t(i)];
        if (!r.active || r.text || !responses[size_t(i)].awaiting()) continue;
        if (r.command == command && r.code == ack.acked_code && r.subcode == ack.acked_subcode &&
            r.index == ack.index)
            return i;
    }
    return -1;
}

int batchSysAckRow(const std::array<BatchRow, kBatchRows>& rows,
                   const std::array<BatchRowResponses, kBatchRows>& responses,
                   const SysAckRecord& ack) {
    for (int i = 0; i < kBatchRows; ++i) {
        const BatchRow& r = rows[size_t(i)];
        if (!r.active || r.text || !responses[size_t(i)].awaiting()) continue;
        if (r.command == kCmdSystem && r.code == ack.acked_code) return i;
    }
    return -1;
}

int batchReplyRow(const std::array<BatchRow, kBatchRows>& rows,
                  const std::array<BatchRowResponses, kBatchRows>& responses, uint8_t h1,
                  uint8_t h2, const uint8_t* payload, size_t length) {
    for (int i = 0; i < kBatchRows; ++i) {
        const BatchRow& r = rows[size_t(i)];
        if (!r.active || r.text || !responses[size_t(i)].awaitingReply()) continue;
        if (r.command != kCmdQuery || r.code != h1 || r.subcode != h2) continue;
        if (r.index == kAckNoIndex || (length >= 1 && payload[0] == r.index)) return i;
    }
    return -1;
}

} // namespace vx
