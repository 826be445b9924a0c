// A monitor link played from a script: what each rawRead finds, what arrives after each sent
// frame, and a record of everything the code under test did (frames, reads, purges, pauses).
// Its clock is virtual: a sleep moves it by the sleep, a wait for bytes by at most 10 ms (the
// time a kGap stands for), so allowances and gaps are counted without any time passing.
#pragma once

#include "link/monitor_ops.h"
#include "support/hex.h"

#include <algorithm>
#include <deque>
#include <map>
#include <string>
#include <vector>

namespace vxtest {

class ScriptedMonitorLink : public vx::MonitorLink {
public:
    // An entry of `incoming` that makes one rawRead find nothing.
    static constexpr int kGap = -1;

    // Each rawRead takes entries up to count: bytes (0..255) until a kGap, which it takes and
    // stops at (a read that finds a kGap first finds nothing). Empty: nothing waiting.
    std::deque<int> incoming;
    // Entries appended to `incoming` when the frame with this index (0-based) has been sent,
    // as the receiver answers a request.
    std::map<size_t, std::vector<int>> answerAfterSend;
    // What sendFrame answers (-1 plays a stopped link).
    int sendResult = 0;

    std::vector<std::vector<uint8_t>> sent;
    std::vector<int> pauses; // sleeps
    std::vector<int> waits;  // waits for bytes, with the allowance each was given
    int64_t clockMs = 0;
    int pausesLink = 0, resumesLink = 0;
    int reads = 0;
    int purges = 0;
    std::vector<std::string> events; // "purge", "send <hex>", "read", "sleep <ms>"

    int rawRead(uint8_t* buf, int count) override {
        ++reads;
        events.push_back("read");
        int got = 0;
        while (got < count && !incoming.empty()) {
            int v = incoming.front();
            incoming.pop_front();
            if (v < 0) break;
            buf[got++] = uint8_t(v);
        }
        return got;
    }
    void purgeLink() override {
        ++purges;
        incoming.clear(); // a purge drops whatever was waiting
        events.push_back("purge");
    }
    int sendFrame(const uint8_t* bytes, uint16_t length) override {
        sent.emplace_back(bytes, bytes + length);
        events.push_back("send " + hex(bytes, length));
        auto it = answerAfterSend.find(sent.size() - 1);
        if (it != answerAfterSend.end())
            incoming.insert(incoming.end(), it->second.begin(), it->second.end());
        return sendResult;
    }
    void sleepMs(int ms) override {
        pauses.push_back(ms);
        clockMs += ms;
        events.push_back("sleep " + std::to_string(ms));
    }
    void waitReadable(int ms) override {
        waits.push_back(ms);
        clockMs += std::min(ms, 10);
    }
    int64_t nowMs() override { return clockMs; }
    bool pauseLink() override {
        ++pausesLink;
        events.push_back("pause");
        return true;
    }
    bool resumeLink() override {
        ++resumesLink;
        events.push_back("resume");
        return true;
    }

    // Appends entries to what the next reads find.
    void feed(const std::vector<int>& more) {
        incoming.insert(incoming.end(), more.begin(), more.end());
    }

    // Adds bytes given as hex text to a list of entries.
    static std::vector<int> entries(const std::string& hexText) {
        std::vector<int> out;
        for (uint8_t b : bytes(hexText)) out.push_back(b);
        return out;
    }
};

} // namespace vxtest
