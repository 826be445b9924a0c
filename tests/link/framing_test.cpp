#include "link/framing.h"
#include "support/hex.h"
#include "support/recording_sink.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>

using namespace vx;
using vxtest::bytes;
using vxtest::hex;

namespace {

std::string encode(uint8_t h1, uint8_t h2, const std::function<void(PacketEncoder&)>& body) {
    TxFrame f;
    f.enc().startFrame(h1, h2);
    body(f.enc());
    EXPECT_TRUE(f.enc().finishFrame());
    return hex(f.data(), f.size());
}

struct EncodeCase {
    const char* name;
    uint8_t h1, h2;
    std::vector<uint8_t> payload;
    const char* wire;
};

class EncodeTest : public ::testing::TestWithParam<EncodeCase> {};

TEST_P(EncodeTest, FrameOnTheWire) {
    const auto& c = GetParam();
    EXPECT_EQ(encode(c.h1, c.h2,
                     [&](PacketEncoder& e) {
                         for (auto b : c.payload) e.addByte(b);
                     }),
              c.wire);
}

INSTANTIATE_TEST_SUITE_P(
    Frames, EncodeTest,
    ::testing::Values(
        EncodeCase{"Query2101", 0x02, 0x21, {0x01}, "81 02 21 01 D9 82"},
        EncodeCase{"Set2101Rate10", 0x01, 0x21, {0x01, 0x0A}, "81 01 21 01 0A D0 82"},
        EncodeCase{"System0301", 0x03, 0x01, {}, "81 03 01 F9 82"},
        EncodeCase{"PayloadByte85Escaped", 0x01, 0x21, {0x01, 0x85}, "81 01 21 01 80 05 55 82"},
        EncodeCase{"ChecksumEscaped", 0x01, 0x21, {0x01, 0x53}, "81 01 21 01 53 80 07 82"},
        EncodeCase{
            "Byte80And83Escaped", 0x01, 0x21, {0x01, 0x80, 0x83}, "81 01 21 01 80 00 80 03 D7 82"},
        EncodeCase{"Byte88NotEscaped", 0x01, 0x21, {0x01, 0x88}, "81 01 21 01 88 52 82"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Encoder, MultiByteValuesAreLittleEndianAndEscapedBytewise) {
    EXPECT_EQ(encode(0x01, 0x29,
                     [](PacketEncoder& e) {
                         e.addByte(0x02);
                         e.addWord(0x1281);
                         e.addDword(0x87654321);
                     }),
              "81 01 29 02 80 01 12 21 43 65 80 07 EE 82");
    EXPECT_EQ(encode(0x01, 0x24,
                     [](PacketEncoder& e) {
                         e.addByte(0x04);
                         e.addFloat(1.0f); // 0x3F800000
                     }),
              "81 01 24 04 00 00 80 00 3F 15 82");
}

TEST(Encoder, ChecksumMakesTheUnescapedSumZero) {
    for (int v = 0; v < 256; ++v) {
        TxFrame f;
        f.enc().startFrame(0x01, 0x21);
        f.enc().addByte(0x01);
        f.enc().addByte(uint8_t(v));
        ASSERT_TRUE(f.enc().finishFrame());
        MemorySource src(f.data(), f.size());
        uint8_t buf[kRxBufferSize];
        uint16_t n;
        ASSERT_EQ(PacketDeframer::readFrame(src, buf, n), kFrameOk) << v;
        ASSERT_EQ(n, 7); // 81 01 21 01 v c 82, unescaped
        ASSERT_EQ(buf[4], v);
    }
}

TEST(Encoder, RefusesFramesThatDoNotFitInsteadOfOverrunning) {
    uint8_t buf[16];
    std::fill(std::begin(buf), std::end(buf), 0xEE);
    PacketEncoder e(buf, 10);
    e.startFrame(0x01, 0x21);
    for (int i = 0; i < 20; ++i) e.addByte(0x85); // two bytes each
    EXPECT_FALSE(e.finishFrame());
    EXPECT_TRUE(e.overflowed());
    EXPECT_EQ(e.position(), 10u);
    for (int i = 10; i < 16; ++i) EXPECT_EQ(buf[i], 0xEE) << "wrote past capacity at " << i;

    // The largest frame that fits 128 bytes: 3 header + 123 payload + checksum + end.
    TxFrame ok;
    ok.enc().startFrame(0x01, 0x15);
    for (int i = 0; i < 123; ++i) ok.enc().addByte(0x10);
    bool fits = ok.enc().finishFrame();
    EXPECT_EQ(fits, ok.size() <= kTxFrameSize);
}

TEST(Encoder, AFramingByteAsHeaderFailsTheFrame) {
    // Header bytes are written unescaped: 80, 81 and 82 would split the frame on the wire.
    for (uint8_t h : {0x80, 0x81, 0x82}) {
        for (bool first : {true, false}) {
            TxFrame f;
            f.enc().startFrame(first ? h : 0x02, first ? 0x21 : h);
            f.enc().addByte(0x01);
            EXPECT_FALSE(f.enc().finishFrame()) << int(h);
        }
    }
    // 0x83..0x87 are not framing bytes: the deframer keeps them as they are.
    TxFrame ok;
    ok.enc().startFrame(0x02, 0x83);
    EXPECT_TRUE(ok.enc().finishFrame());
}

TEST(RawFrame, TypedBytesGoOutUnescapedWithChecksum) {
    vxtest::RecordingSink sink;
    auto b = bytes("02 21 01");
    EXPECT_EQ(sendRawFrame(sink, b.data(), uint8_t(b.size())), 0);
    auto e = bytes("01 21 85");
    EXPECT_EQ(sendRawFrame(sink, e.data(), uint8_t(e.size())), 0);
    ASSERT_EQ(sink.frames.size(), 2u);
    EXPECT_EQ(hex(sink.frames[0]), "81 02 21 01 D9 82");
    EXPECT_EQ(hex(sink.frames[1]), "81 01 21 85 56 82");
}

TEST(RawFrame, TooLongIsRefusedAndNothingSent) {
    vxtest::RecordingSink sink;
    std::vector<uint8_t> big(125, 0x11);
    EXPECT_EQ(sendRawFrame(sink, big.data(), uint8_t(big.size())), -1);
    EXPECT_TRUE(sink.frames.empty());
    std::vector<uint8_t> max(124, 0x11);
    EXPECT_EQ(sendRawFrame(sink, max.data(), uint8_t(max.size())), 0);
    ASSERT_EQ(sink.frames.size(), 1u);
    EXPECT_LE(sink.frames[0].size(), kTxFrameSize);
}

TEST(RawFrame, ReportsTheSinkResult) {
    vxtest::RecordingSink sink;
    sink.result = -1;
    auto b = bytes("03 01");
    EXPECT_EQ(sendRawFrame(sink, b.data(), 2), -1);
}

TEST(Readers, LittleEndian) {
    auto p = bytes("34 12 78 56 00 00 80 3F");
    EXPECT_EQ(readU16(p.data()), 0x1234);
    EXPECT_EQ(readU32(p.data()), 0x56781234u);
    EXPECT_EQ(readI16(bytes("FE FF").data()), -2);
    EXPECT_FLOAT_EQ(readFloat(p.data() + 4), 1.0f);
    auto d = bytes("00 00 00 00 00 00 F0 3F");
    EXPECT_DOUBLE_EQ(readDouble(d.data()), 1.0);
}

struct DeframeCase {
    const char* name;
    const char* stream;
    std::vector<int> results; // one per frame read before the stream ends
    std::vector<const char*> frames;
};

class DeframeTest : public ::testing::TestWithParam<DeframeCase> {};

TEST_P(DeframeTest, ResultsAndFrames) {
    const auto& c = GetParam();
    for (auto read : {&PacketDeframer::readFrame, &PacketDeframer::readFrameFast}) {
        auto in = bytes(c.stream);
        MemorySource src(in.data(), in.size());
        std::vector<int> results;
        std::vector<std::string> frames;
        uint8_t buf[kRxBufferSize];
        for (;;) {
            uint16_t n = 0;
            int r = read(src, buf, n);
            if (r == kFrameEndOfStream) break;
            results.push_back(r);
            frames.push_back(hex(buf, n));
        }
        EXPECT_EQ(results, c.results);
        std::vector<std::string> want(c.frames.begin(), c.frames.end());
        EXPECT_EQ(frames, want);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Streams, DeframeTest,
    ::testing::Values(
        DeframeCase{"GoodFrame", "81 21 01 0A D1 82", {0}, {"81 21 01 0A D1 82"}},
        DeframeCase{"GarbageBeforeStartIgnored",
                    "00 12 82 55 81 21 01 0A D1 82",
                    {0},
                    {"81 21 01 0A D1 82"}},
        DeframeCase{"SecondStartRestarts", "81 12 81 21 01 0A D1 82", {0}, {"81 21 01 0A D1 82"}},
        DeframeCase{"EscapeThenControlIsFormatError", "81 21 01 80 81", {1}, {"81 21 01 80"}},
        // The 0x81 that ends a frame with a bad escape starts the next one.
        DeframeCase{"EscapeThenStartBeginsTheNextFrame",
                    "81 21 01 80 81 21 01 0A D1 82",
                    {1, 0},
                    {"81 21 01 80", "81 21 01 0A D1 82"}},
        DeframeCase{"BadEscapesInARowLoseNoFrame",
                    "81 80 81 80 81 21 01 0A D1 82",
                    {1, 1, 0},
                    {"81 80", "81 80", "81 21 01 0A D1 82"}},
        DeframeCase{"EscapeThenEscapeHuntsAgain",
                    "81 21 01 80 80 21 01 81 21 01 0A D1 82",
                    {1, 0},
                    {"81 21 01 80", "81 21 01 0A D1 82"}},
        DeframeCase{"EscapeThenEndIsFormatError",
                    "81 21 01 80 82 81 21 01 0A D1 82",
                    {1, 0},
                    {"81 21 01 80", "81 21 01 0A D1 82"}},
        DeframeCase{"EscapeTenIs90", "81 21 01 80 10 4B 82", {0}, {"81 21 01 90 4B 82"}},
        DeframeCase{"EscapeFiveIs85", "81 21 01 80 05 56 82", {0}, {"81 21 01 85 56 82"}},
        DeframeCase{"Unescaped83IsStored", "81 21 01 83 58 82", {0}, {"81 21 01 83 58 82"}},
        DeframeCase{"ChecksumError", "81 21 01 0A 00 82", {2}, {"81 21 01 0A 00 82"}},
        DeframeCase{"ShortFrameIsChecksumChecked", "81 82", {2}, {"81 82"}},
        DeframeCase{"CutShortFrameAtEndIsDropped",
                    "81 21 01 0A D1 82 81 21 01",
                    {0},
                    {"81 21 01 0A D1 82"}}),
    [](const auto& info) { return std::string(info.param.name); });

// A stream handed out in windows of the given sizes, as a file is read in blocks.
class WindowedSource : public ByteSource {
public:
    WindowedSource(const std::vector<uint8_t>& data, std::vector<size_t> sizes)
        : data_(data), sizes_(std::move(sizes)) {}
    size_t handedOut() const { return at_ - size_t(end_ - cur_); }

protected:
    int fetch(uint8_t& b) override {
        if (at_ == data_.size()) return kEnd;
        const size_t n = std::min(sizes_[next_++ % sizes_.size()], data_.size() - at_);
        cur_ = data_.data() + at_ + 1;
        end_ = data_.data() + at_ + n;
        b = data_[at_];
        at_ += n;
        return kGot;
    }

private:
    const std::vector<uint8_t>& data_;
    std::vector<size_t> sizes_;
    size_t at_ = 0;
    size_t next_ = 0;
};

TEST(Deframer, TheFastWayCutsTheFramesOfReadFrameFromAnyStreamInAnyWindows) {
    // Streams of good frames (escapes, lengths up to past the limit), frames cut short or
    // corrupted, bad escapes, starts inside frames and noise rich in reserved bytes; read in
    // one window, in windows of one byte and in windows of varying sizes.
    std::mt19937 rng(3);
    auto reserved = [&] { return uint8_t(0x80 + rng() % 8); };
    for (int round = 0; round < 300; ++round) {
        std::vector<uint8_t> s;
        while (s.size() < 20000) {
            const unsigned kind = rng() % 10;
            if (kind < 6) {
                std::vector<uint8_t> f(2 * kMaxRxFrame + 8);
                PacketEncoder e(f.data(), f.size());
                e.startFrame(uint8_t(rng() % 0x80), uint8_t(rng()));
                const size_t len = rng() % 4 == 0 ? 200 + rng() % 60 : rng() % 60;
                for (size_t i = 0; i < len; ++i)
                    e.addByte(rng() % 5 == 0 ? reserved() : uint8_t(rng()));
                e.finishFrame();
                f.resize(e.position());
                if (kind == 5 && f.size() > 3) f[1 + rng() % (f.size() - 2)] = uint8_t(rng());
                if (kind == 4) f.resize(rng() % f.size());
                s.insert(s.end(), f.begin(), f.end());
            } else {
                for (unsigned n = rng() % 6; n > 0; --n)
                    s.push_back(rng() % 2 ? reserved() : uint8_t(rng()));
            }
        }
        std::vector<std::vector<size_t>> windows = {{s.size()}, {1}, {}};
        for (int i = 0; i < 50; ++i) windows[2].push_back(1 + rng() % 300);
        for (const auto& sizes : windows) {
            WindowedSource a(s, sizes), b(s, sizes);
            uint8_t fa[kRxBufferSize], fb[kRxBufferSize];
            for (int frame = 0;; ++frame) {
                uint16_t na = 0, nb = 0;
                const int ra = PacketDeframer::readFrame(a, fa, na);
                const int rb = PacketDeframer::readFrameFast(b, fb, nb);
                ASSERT_EQ(rb, ra) << "round " << round << " frame " << frame;
                ASSERT_EQ(hex(fb, nb), hex(fa, na)) << "round " << round << " frame " << frame;
                ASSERT_EQ(b.handedOut(), a.handedOut()) << "round " << round;
                if (ra == kFrameEndOfStream) break;
            }
        }
    }
}

TEST(Deframer, TwoHundredFortyBytesWithoutEndIsLengthErrorThenHuntsAgain) {
    std::vector<uint8_t> in = {0x81};
    for (int i = 0; i < 300; ++i) in.push_back(0x11);
    auto good = bytes("81 21 01 0A D1 82");
    in.insert(in.end(), good.begin(), good.end());
    MemorySource src(in.data(), in.size());
    uint8_t buf[kRxBufferSize];
    uint16_t n;
    EXPECT_EQ(PacketDeframer::readFrame(src, buf, n), kFrameLengthError);
    EXPECT_EQ(n, 240);
    // The next call hunts: the remaining 0x11 bytes are dropped until the next 0x81.
    EXPECT_EQ(PacketDeframer::readFrame(src, buf, n), kFrameOk);
    EXPECT_EQ(hex(buf, n), "81 21 01 0A D1 82");
}

TEST(Deframer, EndByteAsTwoHundredFortiethByteCombinesCodes) {
    // 238 bytes after the start, then the end byte: 240 bytes stored.
    for (bool goodSum : {true, false}) {
        std::vector<uint8_t> in = {0x81, 0x21, 0x01};
        for (int i = 0; i < 236; ++i) in.push_back(0x00);
        uint8_t sum = 0;
        for (auto b : in) sum = uint8_t(sum + b);
        sum = uint8_t(sum + 0x82);
        in.back() = goodSum ? uint8_t(0 - sum) : 0x01;
        in.push_back(0x82);
        ASSERT_EQ(in.size(), 240u);
        MemorySource src(in.data(), in.size());
        uint8_t buf[kRxBufferSize];
        uint16_t n;
        EXPECT_EQ(PacketDeframer::readFrame(src, buf, n), goodSum ? 4 : 6);
        EXPECT_EQ(n, 240);
    }
}

TEST(Deframer, EscapedBytesCountOnceTowardsTheLimit) {
    // 236 escaped payload bytes (472 on the wire) still fit: the limit counts stored bytes.
    std::vector<uint8_t> in = {0x81, 0x21, 0x01};
    uint8_t sum = uint8_t(0x81 + 0x21 + 0x01 + 0x82);
    for (int i = 0; i < 234; ++i) {
        in.push_back(0x80);
        in.push_back(0x05);
        sum = uint8_t(sum + 0x85);
    }
    uint8_t c = uint8_t(0 - sum);
    if (isReserved(c)) {
        in.push_back(0x80);
        in.push_back(uint8_t(c - 0x80));
    } else {
        in.push_back(c);
    }
    in.push_back(0x82);
    MemorySource src(in.data(), in.size());
    uint8_t buf[kRxBufferSize];
    uint16_t n;
    EXPECT_EQ(PacketDeframer::readFrame(src, buf, n), kFrameOk);
    EXPECT_EQ(n, 239);
}

TEST(Deframer, AStartTakenAfterABadEscapeIsNotCountedAsConsumed) {
    // Readers that cut a buffer with a fresh MemorySource per frame (the simulated receiver,
    // the test harness) go on from consumed(): the 0x81 must be read again there.
    auto in = bytes("81 21 01 80 81 21 01 0A D1 82");
    MemorySource src(in.data(), in.size());
    uint8_t buf[kRxBufferSize];
    uint16_t n;
    EXPECT_EQ(PacketDeframer::readFrame(src, buf, n), kFrameFormatError);
    EXPECT_EQ(src.consumed(), 4u);
    MemorySource rest(in.data() + src.consumed(), in.size() - src.consumed());
    EXPECT_EQ(PacketDeframer::readFrame(rest, buf, n), kFrameOk);
    EXPECT_EQ(hex(buf, n), "81 21 01 0A D1 82");
    // The same source goes on with the frame too, and then counts every byte.
    EXPECT_EQ(PacketDeframer::readFrame(src, buf, n), kFrameOk);
    EXPECT_EQ(hex(buf, n), "81 21 01 0A D1 82");
    EXPECT_EQ(src.consumed(), in.size());
    // A stream that ends on that 0x81 leaves a one-byte unfinished frame.
    auto tail = bytes("81 21 01 80 81");
    MemorySource t(tail.data(), tail.size());
    EXPECT_EQ(PacketDeframer::readFrame(t, buf, n), kFrameFormatError);
    EXPECT_EQ(PacketDeframer::readFrame(t, buf, n), kFrameEndOfStream);
    EXPECT_EQ(n, 1);
}

// A source that delivers nothing a few times, then bytes, then asks the reader to stop.
class StutteringSource : public ByteSource {
public:
    explicit StutteringSource(std::vector<uint8_t> b) : data(std::move(b)) {}
    void idleWait() override { ++idles; }
    std::vector<uint8_t> data;
    size_t next = 0;
    int calls = 0;
    int idles = 0;

protected:
    int fetch(uint8_t& b) override {
        ++calls;
        if (calls % 3 == 1) return calls % 2 ? kNone : kNotRunning;
        if (next == data.size()) return kStop;
        b = data[next++];
        return kGot;
    }
};

TEST(Deframer, WaitsWhenNothingComesAndStopsWhenAsked) {
    StutteringSource src(bytes("81 21 01 0A D1 82 81 21"));
    uint8_t buf[kRxBufferSize];
    uint16_t n;
    EXPECT_EQ(PacketDeframer::readFrame(src, buf, n), kFrameOk);
    EXPECT_EQ(n, 6);
    EXPECT_GT(src.idles, 0);
    EXPECT_EQ(PacketDeframer::readFrame(src, buf, n), kFrameStopped);
    EXPECT_EQ(n, 2);
}

TEST(Deframer, ASourceWithoutAWindowAlsoKeepsTheStartAfterABadEscape) {
    StutteringSource src(bytes("81 21 80 81 21 01 0A D1 82"));
    uint8_t buf[kRxBufferSize];
    uint16_t n;
    EXPECT_EQ(PacketDeframer::readFrame(src, buf, n), kFrameFormatError);
    EXPECT_EQ(PacketDeframer::readFrame(src, buf, n), kFrameOk);
    EXPECT_EQ(hex(buf, n), "81 21 01 0A D1 82");
}

TEST(FrameCheck, Results) {
    EXPECT_EQ(checkFrame(bytes("81 21 01 0A D1 82").data(), 6), 0);
    EXPECT_EQ(checkFrame(bytes("81 21 01 0A D2 82").data(), 6), 2);
    EXPECT_EQ(checkFrame(bytes("80 21 01 0A D1 82").data(), 6), 1);
    EXPECT_EQ(checkFrame(bytes("81 21 01 0A D1 83").data(), 6), 1);
}

} // namespace
