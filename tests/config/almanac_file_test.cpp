// The almanac file: parsing before anything is sent, downloads written in canonical order, the
// scripts of upload, download and clear.
#include "config/almanac_file.h"
#include "support/hex.h"
#include "support/recording_sink.h"

#include <gtest/gtest.h>

namespace {

using vx::AlmanacDownload;
using vx::AlmanacFileForm;

// The pages a receiver might send, with bytes that need escaping in the framed form.
std::vector<uint8_t> svPage(uint8_t sv) {
    std::vector<uint8_t> p{sv, 0x01, 0x81};
    for (int i = 0; i < 24; ++i) p.push_back(uint8_t(0x80 + (sv + i) % 8));
    return p;
}
std::vector<uint8_t> page13() {
    std::vector<uint8_t> p{0x01, 0x02};
    for (int i = 0; i < 48; ++i) p.push_back(uint8_t(i * 5));
    return p;
}
std::vector<uint8_t> page14() {
    std::vector<uint8_t> p{0x01, 0x82};
    for (int i = 0; i < 24; ++i) p.push_back(uint8_t(0x40 + i));
    return p;
}

AlmanacDownload fullDownload(int missingSv = 0) {
    AlmanacDownload d;
    // In an order of arrival other than the file's: the file must not care.
    for (int sv = 32; sv >= 1; --sv)
        if (sv != missingSv) {
            EXPECT_TRUE(d.receive(0x12, svPage(uint8_t(sv))));
        }
    EXPECT_TRUE(d.receive(0x13, page13()));
    EXPECT_TRUE(d.receive(0x14, page14()));
    return d;
}

// A frame without its escapes.
std::vector<uint8_t> unescaped(const std::vector<uint8_t>& frame) {
    uint8_t buf[vx::kRxBufferSize];
    uint16_t n = 0;
    vx::MemorySource src(frame.data(), frame.size());
    EXPECT_EQ(vx::PacketDeframer::readFrame(src, buf, n), vx::kFrameOk);
    return {buf, buf + n};
}

std::optional<vx::AlmanacPages> parse(const std::vector<uint8_t>& f) {
    return vx::parseAlmanacFile(f);
}

TEST(AlmanacFile, StrippedDownloadIs1008BytesInCanonicalOrder) {
    const std::vector<uint8_t> f = fullDownload().file(AlmanacFileForm::Stripped);
    ASSERT_EQ(f.size(), 1008u);
    EXPECT_EQ(vxtest::hex(f.data(), 3), "28 12 01");
    EXPECT_EQ(vxtest::hex(&f[29], 3), "28 12 02");
    EXPECT_EQ(vxtest::hex(&f[32 * 29], 2), "28 14");
    EXPECT_EQ(vxtest::hex(&f[32 * 29 + 28], 2), "28 13");
}

TEST(AlmanacFile, BothFormsParseBackToTheSamePages) {
    for (AlmanacFileForm form : {AlmanacFileForm::Framed, AlmanacFileForm::Stripped}) {
        const auto pages = parse(fullDownload().file(form));
        ASSERT_TRUE(pages) << int(form);
        for (int i = 0; i < 32; ++i) {
            const std::vector<uint8_t> want = svPage(uint8_t(i + 1));
            const vx::AlmanacSvPage& p = pages->sv[size_t(i)];
            EXPECT_EQ(p.sv, i + 1);
            EXPECT_EQ(p.extra, 0x81);
            EXPECT_TRUE(std::equal(p.data.begin(), p.data.end(), want.begin() + 3));
        }
        EXPECT_EQ(pages->ionUtc.extra, 0x82);
        EXPECT_EQ(pages->page13.second[47 - 24], uint8_t(47 * 5));
    }
}

TEST(AlmanacFile, FramedRecordsAreTheReceiversFrames) {
    const std::vector<uint8_t> r = vx::almanacRecord(0x14, page14(), AlmanacFileForm::Framed);
    EXPECT_EQ(vxtest::hex(r.data(), 6), "81 28 14 01 80 02") << "0x82 escaped";
    EXPECT_EQ(r.back(), 0x82);
}

TEST(AlmanacFile, IncompleteDownloadIsMarkedAndNeverUploads) {
    const std::vector<uint8_t> f = fullDownload(5).file(AlmanacFileForm::Framed);
    EXPECT_EQ(vxtest::hex(f.data(), 2), "FF FF");
    EXPECT_FALSE(parse(f));
    AlmanacDownload onlyFirst;
    ASSERT_TRUE(onlyFirst.receive(0x12, svPage(1)));
    EXPECT_EQ(vxtest::hex(onlyFirst.file(AlmanacFileForm::Stripped).data(), 3), "FF FF 01");
    EXPECT_EQ(vxtest::hex(AlmanacDownload{}.file(AlmanacFileForm::Framed)), "FF FF");
}

TEST(AlmanacFile, DownloadRefusesWhatIsNotAPageOfTheAlmanac) {
    AlmanacDownload d;
    EXPECT_FALSE(d.receive(0x12, svPage(0))) << "SV 0";
    EXPECT_FALSE(d.receive(0x12, svPage(33))) << "SV 33";
    std::vector<uint8_t> shortPage = svPage(3);
    shortPage.pop_back();
    EXPECT_FALSE(d.receive(0x12, shortPage));
    EXPECT_FALSE(d.receive(0x15, page14()));
    EXPECT_EQ(d.received(), 0);
}

TEST(AlmanacFile, DamagedFilesAreRefusedWhole) {
    const std::vector<uint8_t> framed = fullDownload().file(AlmanacFileForm::Framed);
    const std::vector<uint8_t> stripped = fullDownload().file(AlmanacFileForm::Stripped);
    struct Case {
        const char* what;
        std::vector<uint8_t> file;
    };
    std::vector<Case> cases;
    auto edit = [](std::vector<uint8_t> f, size_t at, uint8_t b) {
        f[at] = b;
        return f;
    };
    cases.push_back(
        {"a checksum", edit(framed, framed.size() - 2, uint8_t(framed[framed.size() - 2] ^ 1))});
    cases.push_back({"a framed payload byte", edit(framed, 10, uint8_t(framed[10] ^ 0x10))});
    cases.push_back({"a header", edit(stripped, 29 + 1, 0x13)});
    cases.push_back({"an SV number 0", edit(stripped, 2, 0)});
    cases.push_back({"an SV twice", edit(stripped, 29 + 2, 1)});
    cases.push_back({"a byte after the last record", stripped});
    cases.back().file.push_back(0);
    cases.push_back({"the last byte missing", stripped});
    cases.back().file.pop_back();
    cases.push_back({"an empty file", {}});
    cases.push_back({"a bad escape", edit(framed, 4, 0x80)});
    for (const Case& c : cases) EXPECT_FALSE(parse(c.file)) << c.what;
}

TEST(AlmanacFile, UploadWritesTheSourceIntoEveryStatusAndSendsInFileOrder) {
    const auto pages = parse(fullDownload().file(AlmanacFileForm::Framed));
    ASSERT_TRUE(pages);
    const vx::PacedScript s = vx::almanacUploadScript(*pages, 2, 50);
    ASSERT_EQ(s.size(), 34u);
    vxtest::RecordingSink sink;
    for (const vx::ScriptStep& step : s) {
        EXPECT_EQ(step.pauseAfterMs, 50);
        sink.sendFrame(step.frame.data(), uint16_t(step.frame.size()));
    }
    // Set 0x28 0x12, SV 1, status 0x01 -> source 2: 0x02.
    EXPECT_EQ(vxtest::hex(sink.frames[0].data(), 7), "81 01 28 12 01 02 80");
    EXPECT_EQ(vxtest::hex(sink.frames[32].data(), 5), "81 01 28 14 02");
    EXPECT_EQ(vxtest::hex(sink.frames[33].data(), 5), "81 01 28 13 02");
}

TEST(AlmanacFile, ClearSendsZerosApartFromTheSvNumbers) {
    const vx::PacedScript s = vx::almanacClearScript(50);
    ASSERT_EQ(s.size(), 34u);
    for (size_t i = 0; i < 34; ++i) {
        const std::vector<uint8_t> f = unescaped(s[i].frame);
        const size_t first = i < 32 ? 5 : 4; // after "81 01 28 sub" (and the SV)
        if (i < 32) {
            EXPECT_EQ(f[4], i + 1);
        }
        for (size_t b = first; b + 2 < f.size(); ++b) EXPECT_EQ(f[b], 0) << i << "/" << b;
    }
    EXPECT_EQ(vxtest::hex(s[32].frame.data(), 4), "81 01 28 14");
}

TEST(AlmanacFile, DownloadQueriesEverySvThenIonUtcThenPage13) {
    const vx::PacedScript s = vx::almanacDownloadScript(50);
    ASSERT_EQ(s.size(), 34u);
    EXPECT_EQ(vxtest::hex(s[0].frame.data(), 5), "81 02 28 12 01");
    EXPECT_EQ(vxtest::hex(s[31].frame.data(), 5), "81 02 28 12 20");
    EXPECT_EQ(vxtest::hex(s[32].frame.data(), 4), "81 02 28 14");
    EXPECT_EQ(vxtest::hex(s[33].frame.data(), 4), "81 02 28 13");
    EXPECT_EQ(vx::scriptDurationMs(s), 34 * 50);
}

TEST(AlmanacFile, AcknowledgementsNameTheirPage) {
    EXPECT_EQ(vx::almanacAckPage(0x12, 7), 7);
    EXPECT_EQ(vx::almanacAckPage(0x12, 0x80), 0) << "no index";
    EXPECT_EQ(vx::almanacAckPage(0x12, 33), 0);
    EXPECT_EQ(vx::almanacAckPage(0x13, 0x80), 33);
    EXPECT_EQ(vx::almanacAckPage(0x14, 0x80), 34);
    EXPECT_EQ(vx::almanacAckPage(0x15, 1), 0);
}

} // namespace
