// The batch sender's logic without a display: rows, the order and timing of sends, the time
// remaining in 64 bits, and the counting of responses.
#include "testtools/batch_schedule.h"

#include "support/hex.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

TEST(BatchRows, ReadingFramingAndRefusals) {
    std::string t128, t129, text127;
    for (int i = 0; i < 128; ++i) t128 += "01 ";
    t129 = t128 + "02";
    text127.assign(127, 'x');
    struct Case {
        const char* name;
        std::string text;
        bool isText, index;
        const char* error;
        bool active;
        const char* wire; // nullptr: not checked
        int command, code, subcode, idx;
    };
    const Case cases[] = {
        {"query framed", "02 21 01", false, false, "", true, "81 02 21 01 D9 82", 2, 0x21, 1, 0x80},
        {"with index", "02 36 07 ff", false, true, "", true, "81 02 36 07 FF BF 82", 2, 0x36, 7,
         0xFF},
        {"typed frame with escapes", "81 01 21 01 80 05 55 82", false, true, "", true,
         "81 01 21 01 80 05 55 82", 1, 0x21, 1, 0x85},
        {"two bytes: left out", "02 21", false, false, "", false, nullptr, 0, 0, 0, 0},
        {"system needs only its code", "03 0A", false, true, "", true, "81 03 0A F0 82", 3, 0x0A, 0,
         0x80},
        {"128 tokens", t128, false, false, "", true, nullptr, 1, 1, 1, 0x80},
        {"129 tokens", t129, false, false, "Size of data is greater than 128 bytes.", false,
         nullptr, 0, 0, 0, 0},
        {"bad token", "02 21 100", false, false, "Error in data", false, nullptr, 0, 0, 0, 0},
        {"text AB", "AB", true, false, "", true, "41 42 0D 0A", 'A', 'B', 0x0D, 0x80},
        {"text 127 too long", text127, true, false, "Size of data is greater than 128 bytes.",
         false, nullptr, 0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        vx::BatchRow row;
        EXPECT_EQ(vx::readBatchRow(c.text, c.isText, c.index, row), c.error) << c.name;
        EXPECT_EQ(row.active, c.active) << c.name;
        if (!c.active) continue;
        if (c.wire) {
            EXPECT_EQ(vxtest::hex(row.wire), c.wire) << c.name;
        }
        EXPECT_EQ(row.command, c.command) << c.name;
        EXPECT_EQ(row.code, c.code) << c.name;
        EXPECT_EQ(row.subcode, c.subcode) << c.name;
        EXPECT_EQ(row.index, c.idx) << c.name;
        EXPECT_EQ(row.text, c.isText) << c.name;
    }
    // 128 stored bytes framed: 0x81, 128 bytes, checksum, 0x82 in a buffer that holds them.
    vx::BatchRow row;
    ASSERT_EQ(vx::readBatchRow(t128, false, false, row), "");
    EXPECT_EQ(row.wire.size(), 131u);
}

// Sends in row order, the send interval apart, the batch interval after each batch.
TEST(BatchSchedule, RowsGoOutInOrderWithTheirIntervals) {
    struct Case {
        const char* name;
        std::array<bool, 5> active;
        int32_t send, batch, cycles;
        const char* expected; // row:interval after it; "|" marks a new cycle
        int64_t firstSeconds;
    };
    const Case cases[] = {
        {"rows 0 and 2",
         {true, false, true, false, false},
         100,
         1000,
         3,
         "0:100 2:1000| 0:100 2:1000| 0:100 2:1000|",
         4},
        {"one row uses the batch interval",
         {false, false, false, true, false},
         100,
         700,
         2,
         "3:700| 3:700|",
         2},
        {"all five", {true, true, true, true, true}, 20, 50, 1, "0:20 1:20 2:20 3:20 4:50|", 1},
        {"intervals of 0", {true, false, false, false, true}, 0, 0, 2, "0:0 4:0| 0:0 4:0|", 1},
        {"negative intervals count as 0", {true, false, false, false, false}, -5, -1, 1, "0:0|", 1},
    };
    for (const Case& c : cases) {
        vx::BatchSchedule s;
        ASSERT_TRUE(s.start(c.active, c.send, c.batch, c.cycles)) << c.name;
        EXPECT_EQ(s.secondsRemaining(), c.firstSeconds) << c.name;
        std::string got;
        for (int guard = 0; guard < 100; ++guard) {
            vx::BatchSchedule::Tick t = s.tick();
            if (!got.empty()) got += ' ';
            got += std::to_string(t.row) + ":" + std::to_string(t.nextIntervalMs);
            if (t.newCycle) got += '|';
            if (t.finished) break;
        }
        EXPECT_EQ(got, c.expected) << c.name;
        EXPECT_EQ(s.cyclesRemaining(), 0) << c.name;
    }
}

TEST(BatchSchedule, NothingStartsWithoutRowsOrCycles) {
    vx::BatchSchedule s;
    EXPECT_FALSE(s.start({false, false, false, false, false}, 10, 10, 5));
    EXPECT_FALSE(s.start({true, false, false, false, false}, 10, 10, 0));
    EXPECT_FALSE(s.start({true, false, false, false, false}, 10, 10, -3));
}

TEST(BatchSchedule, TimeRemainingIsComputedIn64Bits) {
    vx::BatchSchedule s;
    const int32_t big = std::numeric_limits<int32_t>::max();
    ASSERT_TRUE(s.start({true, true, true, true, true}, big, big, big));
    // (4 x big + big) x big / 1000 + 1 = 23,058,430,070,662,104 s: the product does not even
    // fit 64 bits, the result does.
    EXPECT_EQ(s.secondsRemaining(), 23058430070662104);
    EXPECT_EQ(vx::timeRemainingText(s.secondsRemaining()), "Time Remaining: 6405119464072:48:24  ");

    EXPECT_EQ(vx::timeRemainingText(0), "Time Remaining: 00:00:00  ");
    EXPECT_EQ(vx::timeRemainingText(4), "Time Remaining: 00:00:04  ");
    EXPECT_EQ(vx::timeRemainingText(3600 * 123 + 61), "Time Remaining: 123:01:01  ");
}

TEST(BatchResponses, EachSendIsAnsweredOnceOrMissed) {
    vx::BatchRowResponses r;
    r.sent(0, 1000);
    r.sent(100, 1000);
    r.sent(200, 1000);
    EXPECT_TRUE(r.awaiting());
    // A Query's reply and then its acknowledgement close one send, counted once.
    EXPECT_TRUE(r.answerReply());
    EXPECT_EQ(r.answerAck(0), vx::BatchRowResponses::AckOutcome::Closed);
    // A refused Set: its acknowledgement counts the result.
    EXPECT_EQ(r.answerAck(3), vx::BatchRowResponses::AckOutcome::Counted);
    EXPECT_EQ(r.nextDeadline(), 1200);
    EXPECT_EQ(r.expire(1199), 0);
    EXPECT_EQ(r.expire(1200), 1);
    EXPECT_FALSE(r.awaiting());
    // A late answer finds nothing waiting and counts nothing.
    EXPECT_FALSE(r.answerReply());
    EXPECT_EQ(r.answerAck(0), vx::BatchRowResponses::AckOutcome::NotWaiting);
    EXPECT_EQ(r.sentCount(), 3u);
    EXPECT_EQ(r.successes(), 1u);
    EXPECT_EQ(r.errors(), 1u);
    EXPECT_EQ(r.resultCount(3), 1u);
    EXPECT_EQ(r.missed(), 1u);

    // A reply whose acknowledgement never comes is still a success, not a miss.
    r.clear();
    r.sent(0, 1000);
    EXPECT_TRUE(r.answerReply());
    EXPECT_FALSE(r.awaitingReply());
    EXPECT_TRUE(r.awaiting());
    EXPECT_EQ(r.expire(5000), 0);
    EXPECT_EQ(r.successes(), 1u);
    EXPECT_EQ(r.missed(), 0u);

    // Results above 9 are errors; the end of a test misses whatever still waits.
    r.clear();
    r.sent(0, 1000);
    r.sent(0, 1000);
    r.sent(0, 1000);
    EXPECT_EQ(r.answerAck(0x0C), vx::BatchRowResponses::AckOutcome::Counted);
    EXPECT_EQ(r.errors(), 1u);
    EXPECT_EQ(r.expireAll(), 2);
    EXPECT_EQ(r.sentCount(), r.successes() + r.errors() + r.missed());
    r.sentUnanswered();
    EXPECT_EQ(r.sentCount(), 4u);
    EXPECT_FALSE(r.awaiting());
}

TEST(BatchResponses, AnswersGoToTheFirstMatchingWaitingRow) {
    std::array<vx::BatchRow, 5> rows;
    std::array<vx::BatchRowResponses, 5> resp;
    ASSERT_EQ(vx::readBatchRow("02 21 01", false, false, rows[0]), "");
    ASSERT_EQ(vx::readBatchRow("02 21 01 07", false, true, rows[1]), "");
    ASSERT_EQ(vx::readBatchRow("01 21 01 0A", false, false, rows[2]), "");
    ASSERT_EQ(vx::readBatchRow("02 21", false, false, rows[3]), ""); // too short: inactive
    ASSERT_EQ(vx::readBatchRow("03 02", false, false, rows[4]), ""); // System: code enough
    const uint8_t idx7[] = {0x07, 0x0A};
    const uint8_t idx9[] = {0x09, 0x0A};

    // Nothing waits yet: nothing matches.
    EXPECT_EQ(vx::batchReplyRow(rows, resp, 0x21, 0x01, idx7, 2), -1);
    for (auto& r : resp) r.sent(0, 1000);
    EXPECT_EQ(vx::batchReplyRow(rows, resp, 0x21, 0x01, idx9, 2), 0);
    resp[0].answerReply();
    // Row 0 has its reply: the next reply with index 7 goes to row 1, with index 9 to none.
    EXPECT_EQ(vx::batchReplyRow(rows, resp, 0x21, 0x01, idx9, 2), -1);
    EXPECT_EQ(vx::batchReplyRow(rows, resp, 0x21, 0x01, idx7, 2), 1);
    EXPECT_EQ(vx::batchReplyRow(rows, resp, 0x21, 0x01, idx7, 0), -1);
    EXPECT_EQ(vx::batchReplyRow(rows, resp, 0x21, 0x02, idx7, 2), -1);

    EXPECT_EQ(vx::batchAckRow(rows, resp, 2, {0x21, 0x01, 0x80, 0}), 0);
    EXPECT_EQ(vx::batchAckRow(rows, resp, 2, {0x21, 0x01, 0x07, 0}), 1);
    EXPECT_EQ(vx::batchAckRow(rows, resp, 2, {0x21, 0x01, 0x08, 0}), -1);
    EXPECT_EQ(vx::batchAckRow(rows, resp, 1, {0x21, 0x01, 0x80, 0}), 2);
    EXPECT_EQ(vx::batchAckRow(rows, resp, 3, {0x21, 0x01, 0x80, 0}), -1);
    EXPECT_EQ(vx::batchSysAckRow(rows, resp, {0x02, 0}), 4);
    EXPECT_EQ(vx::batchSysAckRow(rows, resp, {0x01, 0}), -1);
    // A row that no longer waits takes nothing.
    resp[2].answerAck(0);
    EXPECT_EQ(vx::batchAckRow(rows, resp, 1, {0x21, 0x01, 0x80, 0}), -1);

    EXPECT_EQ(vx::batchResultText(0), "Success");
    EXPECT_EQ(vx::batchResultText(3), "Unknown code/subcode");
    EXPECT_EQ(vx::batchResultText(9), "Failed to execute properly");
    EXPECT_EQ(vx::batchResultText(0x0C), "0x0C");
}

} // namespace
