// The batch sender's logic, without a display: reading the five rows, the order and timing of
// the sends, the time remaining, and each row's responses.
//
// Rows. A hexadecimal row is sent as a VEXOR frame: 0x81, the stored bytes escaped, the
// checksum and 0x82, so the receiver can answer it; a row typed as a whole frame (starting with
// 0x81 and ending with 0x82) goes out unchanged. A text row is sent as its text followed by
// CR LF and is never answered as a VEXOR command, so it waits for no response. The first stored
// bytes of a frame's body are the command byte, code, subcode and (with "Contains Index?") the
// index that answers are matched against.
//
// Responses. Each send of a row starts a one-second wait for that send. A response (an
// acknowledgement, or for a Query row the reply) counts only while the row waits for one, and
// answers the oldest waiting send; a send still unanswered when its second is up counts as
// "No response". At the end of a test every send still waiting counts as "No response" too, so
// Packets Sent = Successful + Error + No response.
#pragma once

#include "link/records.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vx {

inline constexpr int kBatchRows = 5;
// Most bytes a row stores.
inline constexpr size_t kBatchRowBytes = 128;
inline constexpr int kBatchFirstSendMs = 500;  // Start Test to the first send
inline constexpr int kBatchResponseMs = 1000;  // how long a send waits for its response
inline constexpr int kBatchStopGraceMs = 1000; // responses still counted after the last send
inline constexpr int kBatchResultTexts = 10;   // result codes 0..9 have a text

inline constexpr std::string_view kBatchErrSize = "Size of data is greater than 128 bytes.";
inline constexpr std::string_view kBatchErrData = "Error in data";
inline constexpr std::string_view kBatchNoResponse = "No response";

// The "Last Response" text of an acknowledgement result 0..9 ("Success" ... "Failed to execute
// properly"); "0x%02X" for other values.
std::string batchResultText(uint8_t result);

// One row as read at Start Test.
struct BatchRow {
    bool active = false;
    bool text = false;           // sent as text; waits for no response
    std::vector<uint8_t> wire;   // what is written
    std::vector<uint8_t> stored; // the row's bytes as typed (the frame body for hex rows)
    uint8_t command = 0, code = 0, subcode = 0;
    uint8_t index = kAckNoIndex; // kAckNoIndex: none
};

// Reads one row. Returns an empty string, or the error text that abandons the start: for a
// hexadecimal row kBatchErrSize before a token when 128 bytes are stored, kBatchErrData for a
// token that is not a hexadecimal byte; for a text row kBatchErrSize when the text and CR LF
// exceed 128 bytes. A row with too few bytes (3, or 4 with an index; 2 for a System command,
// command byte 3) is inactive, silently.
std::string readBatchRow(std::string_view text, bool isText, bool containsIndex, BatchRow& row);

// The order and timing of the sends.
class BatchSchedule {
public:
    struct Tick {
        int row = -1;           // the row to send now
        int nextIntervalMs = 0; // until the next tick
        bool newCycle = false;  // a batch ended with this send
        bool finished = false;  // the cycles have run out: the stop sequence follows
    };

    // False (nothing to send) when no row is active or cycles <= 0. Intervals below 0 count
    // as 0.
    bool start(const std::array<bool, kBatchRows>& active, int32_t sendIntervalMs,
               int32_t batchIntervalMs, int32_t cycles);
    // The next send: row r goes out; the current row moves on to the next active row (after
    // the fifth row a new cycle begins: the batch interval follows and one cycle is used up).
    Tick tick();

    int activeCount() const { return activeCount_; }
    int32_t cyclesRemaining() const { return cycles_; }
    int currentRow() const { return current_; }
    // ((active rows - 1) x send interval + batch interval) x cycles remaining / 1000 + 1,
    // exact for any 32-bit intervals and cycles.
    int64_t secondsRemaining() const;

private:
    std::array<bool, kBatchRows> active_{};
    int activeCount_ = 0;
    int32_t send_ = 0, batch_ = 0, cycles_ = 0;
    int current_ = 0;
};

// "Time Remaining: hh:mm:ss  " (hours not wrapped).
std::string timeRemainingText(int64_t seconds);

// One row's counts and its waiting sends.
//
// A Query is answered twice, by its reply and by its acknowledgement; both belong to one send.
// The reply counts a success for the oldest send without a reply and marks it answered; the
// acknowledgement then closes that send without counting again. An acknowledgement of a send
// that had no reply (a refused Query, a Set, a System command) counts its result.
class BatchRowResponses {
public:
    void clear();
    // A frame of the row was written at nowMs; it waits until nowMs + timeoutMs.
    void sent(int64_t nowMs, int timeoutMs);
    // A row that waits for nothing (a text row) was written.
    void sentUnanswered() { ++sent_; }
    // The last send turned out not to be written after all (the port refused it): it is taken
    // back. waited says whether it was counted with sent() (true) or sentUnanswered().
    void unsend(bool waited);
    // A send waits for its acknowledgement (or its reply).
    bool awaiting() const { return !waiting_.empty(); }
    // A send waits for its reply.
    bool awaitingReply() const;
    // A reply: a success for the oldest send without a reply. False when none waits.
    bool answerReply();
    // An acknowledgement with this result: closes the oldest waiting send, counting the result
    // unless the send's reply was counted already.
    enum class AckOutcome { NotWaiting, Closed, Counted };
    AckOutcome answerAck(uint8_t result);
    // Sends whose time is up at nowMs and that had no reply count as "No response"; returns
    // how many.
    int expire(int64_t nowMs);
    // Every waiting send without a reply counts as "No response".
    int expireAll();
    std::optional<int64_t> nextDeadline() const;

    uint32_t sentCount() const { return sent_; }
    uint32_t successes() const { return results_[0]; }
    // Results 1..9 and any other non-zero result.
    uint32_t errors() const;
    uint32_t missed() const { return missed_; }
    uint32_t resultCount(uint8_t result) const {
        return result < kBatchResultTexts ? results_[result] : other_;
    }

private:
    struct Waiting {
        int64_t deadline;
        bool replied;
    };
    void count(uint8_t result);
    std::deque<Waiting> waiting_;
    uint32_t sent_ = 0;
    std::array<uint32_t, kBatchResultTexts> results_{};
    uint32_t other_ = 0; // results above 9
    uint32_t missed_ = 0;
};

// The row an acknowledgement answers: the first active row that waits for a response and
// matches (Set and Query: command, code, subcode and index equal, the index compared exactly;
// System: a System row of the same code). -1 when none.
int batchAckRow(const std::array<BatchRow, kBatchRows>& rows,
                const std::array<BatchRowResponses, kBatchRows>& responses, uint8_t command,
                const AckRecord& ack);
int batchSysAckRow(const std::array<BatchRow, kBatchRows>& rows,
                   const std::array<BatchRowResponses, kBatchRows>& responses,
                   const SysAckRecord& ack);
// The row a received packet answers: the first active Query row waiting for a reply with code = h1,
// subcode = h2 and an index that is none or equals the first payload byte. -1 when none.
int batchReplyRow(const std::array<BatchRow, kBatchRows>& rows,
                  const std::array<BatchRowResponses, kBatchRows>& responses, uint8_t h1,
                  uint8_t h2, const uint8_t* payload, size_t length);

} // namespace vx
