// The data logs' line formats, from payloads decoded by the real decoders (so the payload
// offsets are checked too), and the number formatting against the C library's printf.
#include "app/log_formats.h"
#include "link/decoders.h"
#include "support/hex.h"
#include "support/payload.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <random>
#include <vector>

using namespace vx;

using vxtest::decoded;
using vxtest::put16;
using vxtest::put32;
using vxtest::putFloat;

namespace {

std::string printed(const char* fmt, double v) {
    char buf[512];
    std::snprintf(buf, sizeof buf, fmt, v);
    return buf;
}

// ---- Number formatting ----------------------------------------------------------------------

TEST(LogNumbers, FixedAgreesWithPrintfOnTiesExtremesAndSpecialValues) {
    std::vector<double> values = {0.0,
                                  -0.0,
                                  0.125, // ties: printf rounds the exact binary value
                                  0.375,
                                  2.5,
                                  -2.5,
                                  1e-10,
                                  -1e-10,
                                  0.0000000005,
                                  1.5707963267948966,
                                  -3.141592653589793,
                                  65535.0,
                                  double(FLT_MAX),
                                  -double(FLT_MAX),
                                  double(FLT_MIN),
                                  DBL_MAX,
                                  std::numeric_limits<double>::infinity(),
                                  -std::numeric_limits<double>::infinity(),
                                  std::numeric_limits<double>::quiet_NaN()};
    std::mt19937_64 rng(7);
    std::uniform_int_distribution<int32_t> angle;
    for (int i = 0; i < 2000; ++i) values.push_back(radiansOf(angle(rng)));
    for (int i = 0; i < 2000; ++i) values.push_back(double(uint16_t(rng())) / 32768.0);
    for (int i = 0; i < 2000; ++i) values.push_back(double(int16_t(rng())) / 256.0);
    for (int i = 0; i < 2000; ++i) {
        uint32_t bits = uint32_t(rng());
        float f;
        std::memcpy(&f, &bits, 4);
        values.push_back(double(f));
    }
    // Halves at the last printed digit and their neighbours: where a scaled product that is
    // rounded once too often would pick the wrong digit.
    std::uniform_int_distribution<int64_t> whole(-4000000000LL, 4000000000LL);
    for (int i = 0; i < 4000; ++i) {
        const double scale[] = {1e1, 1e2, 1e5, 1e6, 1e9};
        const double half = (double(whole(rng)) + 0.5) / scale[i % 5];
        values.push_back(half);
        values.push_back(std::nextafter(half, 0.0));
        values.push_back(std::nextafter(half, 1e300));
    }
    for (double v : values) {
        for (int precision : {1, 2, 5, 6, 9}) {
            std::string out;
            appendFixed(out, v, precision);
            const std::string fmt = "%." + std::to_string(precision) + "f";
            ASSERT_EQ(out, printed(fmt.c_str(), v)) << fmt << " of " << v;
        }
    }
}

TEST(LogNumbers, IntegersArePaddedAsPrintfPadsThem) {
    struct Case {
        int64_t v;
        int width;
        const char* expected;
    } cases[] = {
        {0, 0, "0"},
        {0, 2, "00"},
        {7, 2, "07"},
        {255, 2, "255"},
        {7, 3, "007"},
        {18, 3, "018"},
        {2024, 4, "2024"},
        {5, 4, "0005"},
        {-5, 2, "-5"},
        {-5, 3, "-05"},
        {-32768, 0, "-32768"},
        {4294967295LL, 0, "4294967295"},
        {INT64_MIN, 0, "-9223372036854775808"},
    };
    for (const auto& c : cases) {
        std::string out;
        appendSigned(out, c.v, c.width);
        EXPECT_EQ(out, c.expected) << c.v << " width " << c.width;
    }
    std::string u;
    appendUnsigned(u, UINT64_MAX);
    EXPECT_EQ(u, "18446744073709551615");
    std::string h;
    for (uint8_t v : {0x00, 0x0A, 0xFF}) appendHex2(h, v);
    EXPECT_EQ(h, "000AFF");
}

TEST(LogNumbers, IntegersAgreeWithPrintfAtEveryLengthAndPadding) {
    // Every value up to 10^5 (the 16-bit fields), the edges of every digit count and of the
    // integer types, and random values of every length, each at the widths the logs use.
    std::vector<uint64_t> values;
    for (uint64_t v = 0; v < 100000; ++v) values.push_back(v);
    for (uint64_t p = 1; p <= 10000000000000000000u; p *= 10) {
        for (uint64_t v : {p - 1, p, p + 1, 2 * p - 1, 5 * p}) values.push_back(v);
        if (p == 10000000000000000000u) break;
    }
    for (int b = 0; b < 64; ++b) {
        const uint64_t two = uint64_t(1) << b;
        for (uint64_t v : {two - 1, two, two + 1}) values.push_back(v);
    }
    values.push_back(UINT64_MAX);
    std::mt19937_64 rng(11);
    for (int i = 0; i < 100000; ++i) values.push_back(rng() >> (rng() % 64));
    char buf[64];
    for (uint64_t v : values) {
        for (int width : {0, 2, 3, 4}) {
            std::string u;
            appendUnsigned(u, v, width);
            std::snprintf(buf, sizeof buf, "%0*llu", width, (unsigned long long)v);
            ASSERT_EQ(u, buf) << "width " << width;
            const auto sv = int64_t(v);
            std::string i;
            appendSigned(i, sv, width);
            std::snprintf(buf, sizeof buf, "%0*lld", width, (long long)sv);
            ASSERT_EQ(i, buf) << "width " << width;
        }
    }
}

// ---- 5 Hz ---------------------------------------------------------------------------------------

TEST(FastFixLog, HeaderNamesThe34ColumnsInLineOrder) {
    const std::string h(kFastFixLogHeader);
    EXPECT_EQ(h.rfind("Position Status, Altitude Status, ", 0), 0u);
    EXPECT_NE(h.find("Montion Indicator, Direction, "), std::string::npos);
    EXPECT_NE(h.find("Time of Week, Longitude, Latitude, Altitude, "), std::string::npos);
    EXPECT_TRUE(h.ends_with(", Tacho Counts"));
    EXPECT_EQ(std::count(h.begin(), h.end(), ','), 33);
}

TEST(FastFixLog, LinesOfExtremePayloads) {
    // 3002 with everything zero; with every byte 0xFF (largest counts, negative angles);
    // and a mixed one: latitude 2^30 (pi/2, the second angle column), longitude -2^31 (-pi),
    // heading 0x8000, altitude and delta heading at their minimum.
    std::vector<uint8_t> mixed(46, 0);
    mixed[0] = 0xA5;
    mixed[1] = 0x2A; // time source 2, position source clear (snapped)
    mixed[2] = 7;
    put32(mixed, 3, 123456789);
    put32(mixed, 7, 1u << 30);
    put32(mixed, 11, 0x80000000u);
    put16(mixed, 15, 0x8000);
    put16(mixed, 17, 0x8000);
    put16(mixed, 19, 1234);
    put16(mixed, 21, 200);
    put16(mixed, 23, uint16_t(-300));
    put16(mixed, 25, 0x8000);
    for (int i = 0; i < 6; ++i) put16(mixed, 27 + 2 * size_t(i), uint16_t(i + 1));
    mixed[39] = 0x85;
    put32(mixed, 40, 4000000000u);
    put16(mixed, 44, 65535);

    struct Case {
        const char* name;
        std::vector<uint8_t> payload;
        const char* line;
    } cases[] = {
        {"zero", std::vector<uint8_t>(46, 0),
         "0,0,0,0,0,0,0,0,0,0,0,0,0, 1,00, 0, 0.000000000, 0.000000000, 0, 0, 0, 0, 0, 0, 0, 0, "
         "0, 0, 0, 0, 0, 0,0,0"},
        {"all FF", std::vector<uint8_t>(46, 0xFF),
         "1,1,1,1,1,1,1,1,1,1,1,1,3, 0,255, 4294967295, -0.000000001, -0.000000001, -1, 65535, "
         "65535, 65535, -1, -1, 65535, 65535, 65535, 65535, 65535, 65535, 127, 1,4294967295,65535"},
        {"mixed", mixed,
         "1,0,1,0,0,1,0,1,0,1,0,1,2, 1,07, 123456789, -3.141592654, 1.570796327, -32768, 32768, "
         "1234, 200, -300, -32768, 1, 2, 3, 4, 5, 6, 5, 1,4000000000,65535"},
    };
    for (const auto& c : cases) {
        auto a = decoded(0x30, 0x02, c.payload);
        std::string line;
        appendFastFixLogLine(line, a->dr_data);
        EXPECT_EQ(line, c.line) << c.name;
    }
}

// The 5 Hz line as the C library prints the formats of its columns.
std::string printfFastFixLine(const DrDataRecord& r) {
    std::string s;
    char b[512];
    auto add = [&](const char* fmt, auto... v) {
        std::snprintf(b, sizeof b, fmt, v...);
        s += b;
    };
    const double pi = 3.14159265358979323846;
    for (int bit = 0; bit < 8; ++bit) add("%d,", (r.validity_flags >> bit) & 1);
    for (int bit = 0; bit < 4; ++bit) add("%d,", (r.status_flags >> bit) & 1);
    add("%d, ", (r.status_flags >> 4) & 3);
    add("%d,", (r.status_flags & 0x40) ? 0 : 1);
    add("%02d, ", int(r.gps_age));
    add("%u, ", unsigned(r.tow));
    add("%.9f, ", double(r.longitude) * pi / 2147483648.0);
    add("%.9f, ", double(r.latitude) * pi / 2147483648.0);
    add("%d, ", int(r.altitude));
    for (unsigned v : {r.heading, r.speed, r.delta_time}) add("%u, ", v);
    add("%d, ", int(r.delta_distance));
    add("%d, ", int(r.delta_heading));
    for (unsigned v : {r.position_accuracy, r.altitude_accuracy, r.heading_accuracy,
                       r.speed_accuracy, r.delta_distance_accuracy})
        add("%u, ", v);
    add("%u", unsigned(r.delta_heading_accuracy));
    add(", %d, ", r.gyro_number_and_dir & 0x7F);
    add("%d,", r.gyro_number_and_dir >> 7);
    add("%u,", unsigned(r.gyro_count));
    add("%u", unsigned(r.tacho_count));
    return s;
}

TEST(FastFixLog, LinesAgreeWithPrintfAndStayWithinTheirRoom) {
    // Random payloads through the decoder, and records with every field at an edge: the
    // widest line of all, angles of +-pi and +-pi/2, near-zero angles that print as -0.
    std::vector<DrDataRecord> records;
    std::mt19937 rng(5);
    auto area = std::make_unique<RecordArea>();
    for (int i = 0; i < 50000; ++i) {
        std::vector<uint8_t> p(46);
        for (auto& b : p) b = uint8_t(rng());
        // Shorter numbers as often as long ones: shift each 16- and 32-bit field right.
        if (i % 2) {
            for (size_t at = 15; at + 1 < 39; at += 2)
                put16(p, at, uint16_t(rng() >> (rng() % 32)));
            put32(p, 3, uint32_t(rng() >> (rng() % 32)));
            put32(p, 40, uint32_t(rng() >> (rng() % 32)));
        }
        RecordKind kind{};
        ASSERT_EQ(decode(0x30, 0x02, p.data(), p.size(), *area, &kind), 0);
        records.push_back(area->dr_data);
    }
    DrDataRecord widest;
    widest.validity_flags = widest.status_flags = 0xFF;
    widest.gps_age = 255;
    widest.tow = widest.gyro_count = UINT32_MAX;
    widest.latitude = widest.longitude = INT32_MIN;
    widest.altitude = widest.delta_distance = widest.delta_heading = INT16_MIN;
    widest.heading = widest.speed = widest.delta_time = widest.position_accuracy =
        widest.altitude_accuracy = widest.heading_accuracy = widest.speed_accuracy =
            widest.delta_distance_accuracy = widest.delta_heading_accuracy = widest.tacho_count =
                UINT16_MAX;
    widest.gyro_number_and_dir = 0xFF;
    records.push_back(widest);
    for (int32_t angle : {INT32_MAX, INT32_MIN + 1, 1 << 30, -(1 << 30), 1, -1, 0, 3, -3, 5}) {
        DrDataRecord r;
        r.latitude = angle;
        r.longitude = -angle;
        r.gps_age = 99;
        r.altitude = -1;
        records.push_back(r);
    }
    size_t longest = 0;
    for (const DrDataRecord& r : records) {
        // The line is written where the room ends in a guard: nothing past the room changes.
        std::vector<char> buf(kFastFixLineRoom + 16, '#');
        char* end = putFastFixLogLine(buf.data(), r);
        const std::string line(buf.data(), end);
        ASSERT_EQ(line, printfFastFixLine(r));
        ASSERT_LE(line.size(), kFastFixLineMaxChars);
        ASSERT_EQ(std::string(buf.data() + kFastFixLineRoom, 16), std::string(16, '#'));
        longest = std::max(longest, line.size());
        std::string appended = "x";
        appendFastFixLogLine(appended, r);
        ASSERT_EQ(appended, "x" + line);
    }
    EXPECT_EQ(longest, kFastFixLineMaxChars); // the widest record reaches the bound
}

// ---- 1 Hz parts -------------------------------------------------------------------------------

TEST(OneHzLog, PartsOfExtremePayloads) {
    std::vector<uint8_t> fix(28, 0);
    put32(fix, 0, 345600000);
    fix[4] = 0x45; // fix source 5, altitude hold
    fix[5] = 0x1F;
    put32(fix, 6, 1u << 30);
    put32(fix, 10, uint32_t(-(1 << 30)));
    put16(fix, 14, uint16_t(-400));
    put16(fix, 16, 16384);
    put16(fix, 18, 1500);
    put16(fix, 20, 10);
    put16(fix, 22, 20);
    put16(fix, 24, 8192);
    put16(fix, 26, 30);
    std::vector<uint8_t> time(18, 0);
    put16(time, 0, 2024);
    time[2] = 5;
    time[3] = 13;
    time[4] = 12;
    time[6] = 59;
    time[7] = 18;
    put16(time, 8, 512); // PDOP 2.00
    put16(time, 10, uint16_t(-256));
    put16(time, 12, 383); // 1.496 -> 1.50
    time[14] = 30;
    time[15] = 0x27;
    time[16] = 0x82;
    time[17] = 9;

    struct Case {
        const char* name;
        uint8_t code;
        std::vector<uint8_t> payload;
        const char* text;
    } cases[] = {
        {"3101 zero", 0x31, std::vector<uint8_t>(28, 0),
         "0, 00, 0, 0, 0, 0, 0, 0, 0, 0.000000000, 0.000000000, 0, 0.00000, 0.00, 0, 0, 0.00000, "
         "0, "},
        {"3101 FF", 0x31, std::vector<uint8_t>(28, 0xFF),
         "4294967295, 63, 1, 1, 1, 1, 1, 1, 3, -0.000000001, -0.000000001, -1, 1.99997, 65535.00, "
         "65535, 65535, 1.99997, 65535, "},
        {"3101 mixed", 0x31, fix,
         "345600000, 05, 1, 0, 1, 1, 1, 1, 1, 1.570796327, -1.570796327, -400, 0.50000, 1500.00, "
         "10, 20, 0.25000, 30, "},
        {"3201 zero", 0x32, std::vector<uint8_t>(18, 0),
         "0000, 00, 00, 00, 00, 00, 000, 0.00, 0.00, 0.00, 000, 0, 0, 0, 0, 00, "},
        {"3201 FF", 0x32, std::vector<uint8_t>(18, 0xFF),
         "65535, 255, 255, 255, 255, 255, 255, -0.00, -0.00, -0.00, 255, 15, 3, 3, 1, 15, "},
        {"3201 mixed", 0x32, time,
         "2024, 05, 13, 12, 00, 59, 018, 2.00, -1.00, 1.50, 030, 7, 2, 2, 1, 09, "},
        {"3301 zero", 0x33, std::vector<uint8_t>(7, 0), "00, 00, 0, 0, 0, 0, 0.0, 0, 0, 0, 0, "},
        {"3301 FF", 0x33, std::vector<uint8_t>(7, 0xFF),
         "255, 255, 1, 1, 1, 1, 51.0, 510, -1, 3, 3, "},
        {"3301 negative elevation",
         0x33,
         {11, 32, 0x35, 225, 90, 0xFB, 0x0E},
         "11, 32, 1, 1, 1, 1, 45.0, 180, -5, 2, 3, "},
    };
    for (const auto& c : cases) {
        auto a = decoded(c.code, 0x01, c.payload);
        std::string text;
        if (c.code == 0x31) appendFix3101Part(text, a->gps_fix);
        if (c.code == 0x32) appendTime3201Part(text, a->time_constellation);
        if (c.code == 0x33) appendChannel3301Slot(text, a->channel_status);
        EXPECT_EQ(text, c.text) << c.name;
    }
}

TEST(OneHzLog, CalibrationSlotsBySubcodeAndIndex) {
    std::vector<uint8_t> zro(9, 0);
    zro[0] = 0x1D; // source 5, newness, validity
    putFloat(zro, 1, FLT_MAX);
    putFloat(zro, 5, -FLT_MAX);
    std::vector<uint8_t> dpp(10, 0);
    dpp[0] = 2; // index
    dpp[1] = 0x0A;
    putFloat(dpp, 2, 0.1f);
    putFloat(dpp, 6, -1.5e-7f);

    struct Case {
        const char* name;
        uint8_t subcode;
        std::vector<uint8_t> payload;
        int slot;
        const char* text; // nullptr: fills no slot
    } cases[] = {
        {"3603 largest floats", 0x03, zro, 0,
         "5, 1, 1, 340282346638528859811704183484516925440.000000, "
         "-340282346638528859811704183484516925440.000000, "},
        {"3604", 0x04, std::vector<uint8_t>(9, 0), 1, "0, 0, 0, 0.000000, 0.000000, "},
        {"3605 sense and speed", 0x05, {0x93, 250}, 2, "3, 0, 1, 1, 250, "},
        {"3607 index 2", 0x07, dpp, 5, "02, 2, 1, 0, 0.100000, -0.000000, "},
        {"3607 index 0", 0x07, std::vector<uint8_t>(10, 0), 3, "00, 0, 0, 0, 0.000000, 0.000000, "},
        {"3607 index 3 fills nothing", 0x07, {3, 0, 0, 0, 0, 0, 0, 0, 0, 0}, -1, nullptr},
        {"3608", 0x08, std::vector<uint8_t>(9, 0xFF), 6, "7, 1, 1, -nan, -nan, "},
        {"3606 fills nothing", 0x06, std::vector<uint8_t>(9, 0), -1, nullptr},
    };
    for (const auto& c : cases) {
        auto a = decoded(0x36, c.subcode, c.payload);
        EXPECT_EQ(calibrationSlotOf(a->dr_calibration), c.slot) << c.name;
        if (!c.text) continue;
        std::string text;
        appendCalibrationSlot(text, a->dr_calibration);
        EXPECT_EQ(text, c.text) << c.name;
    }
    EXPECT_EQ(emptyCalibrationSlot(0), ",,,,,");
    EXPECT_EQ(emptyCalibrationSlot(3), ",,,,,,");
    EXPECT_EQ(emptyCalibrationSlot(6), ",,,,,");
}

TEST(OneHzLog, HeaderIsTheSelectedPacketsHeadersInLineOrder) {
    struct Case {
        OneHzSelection sel;
        std::string header;
    } cases[] = {
        {{true, false, false, false}, std::string(kFix3101Header)},
        {{false, true, false, false}, std::string(kTime3201Header)},
        {{false, false, false, true}, std::string(kCalibration36Header)},
        {{true, true, false, true},
         std::string(kFix3101Header) + std::string(kTime3201Header) +
             std::string(kCalibration36Header)},
    };
    for (const auto& c : cases) EXPECT_EQ(oneHzLogHeader(c.sel), c.header);
    // The channel header is repeated for the twelve slots; the calibration header names 38
    // columns (3607 three times, with its index) and is the only one without a trailing ", ".
    const std::string all = oneHzLogHeader({true, true, true, true});
    size_t n = 0;
    for (size_t at = all.find("Channel Id, "); at != std::string::npos;
         at = all.find("Channel Id, ", at + 1))
        ++n;
    EXPECT_EQ(n, 12u);
    EXPECT_TRUE(all.ends_with("ZRO Rate of Change, ZRO Rate Accuracy"));
    EXPECT_EQ(std::count(all.begin(), all.end(), ','), 18 + 16 + 12 * 11 + 37);
}

// ---- 1 Hz line assembly -----------------------------------------------------------------------

struct Reports {
    std::unique_ptr<RecordArea> fix = decoded(0x31, 0x01, std::vector<uint8_t>(28, 0));
    std::unique_ptr<RecordArea> time = decoded(0x32, 0x01, std::vector<uint8_t>(18, 0));
    std::unique_ptr<RecordArea> zro = decoded(0x36, 0x03, std::vector<uint8_t>(9, 0));
    std::unique_ptr<RecordArea> dpp3 = decoded(0x36, 0x07, {3, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    std::unique_ptr<RecordArea> channel(uint8_t ch) {
        return decoded(0x33, 0x01, {ch, uint8_t(ch + 1), 0, 0, 0, 0, 0});
    }
};

TEST(OneHzLog, LineCompletesWhenEverySelectedPartIsThere) {
    Reports r;
    // Script letters: F 3101, f 3101 with subcode 2, T 3201, C 3301, c 3301 subcode 2,
    // Z 3603, D 3607 with index 3. The result is the number of lines written.
    struct Case {
        const char* name;
        OneHzSelection sel;
        const char* script;
        int lines;
    } cases[] = {
        {"36 only: a line per calibration report", {false, false, false, true}, "ZZFTC", 2},
        {"36 only: index 3 writes nothing", {false, false, false, true}, "DD", 0},
        {"3101 only", {true, false, false, false}, "FFTZ", 2},
        {"3101 part only from subcode 1", {true, false, false, false}, "ff", 0},
        {"3101 and 3201 wait for each other", {true, true, false, false}, "FFFTTF", 2},
        {"3301 needs twelve channels", {false, false, true, false}, "CCCCCCCCCCC", 0},
        {"3301 twelve write a line", {false, false, true, false}, "CCCCCCCCCCCC", 1},
        {"3301 part only from subcode 1", {false, false, true, false}, "cccccccccccc", 0},
        {"13th channel before the fix is ignored", {true, false, true, false}, "CCCCCCCCCCCCCF", 1},
        {"calibration never holds a line back", {true, false, false, true}, "ZF", 1},
        {"nothing selected", {false, false, false, false}, "FTCZ", 0},
    };
    for (const auto& c : cases) {
        OneHzLine line;
        line.start(c.sel);
        int lines = 0;
        uint8_t ch = 0;
        for (const char* s = c.script; *s; ++s) {
            bool done = false;
            switch (*s) {
            case 'F':
                done = line.addFix(0x01, r.fix->gps_fix);
                break;
            case 'f':
                done = line.addFix(0x02, r.fix->gps_fix);
                break;
            case 'T':
                done = line.addTime(r.time->time_constellation);
                break;
            case 'C':
                done = line.addChannel(0x01, r.channel(ch++)->channel_status);
                break;
            case 'c':
                done = line.addChannel(0x02, r.channel(ch++)->channel_status);
                break;
            case 'Z':
                done = line.addCalibration(r.zro->dr_calibration);
                break;
            case 'D':
                done = line.addCalibration(r.dpp3->dr_calibration);
                break;
            }
            if (done) {
                std::string out;
                line.takeLine(out);
                ++lines;
            }
        }
        EXPECT_EQ(lines, c.lines) << c.name;
    }
}

TEST(OneHzLog, ALineHoldsThePartsInOrderAndEmptiesTheCalibrationSlotsAfterwards) {
    Reports r;
    OneHzLine line;
    line.start({true, false, true, true});
    EXPECT_FALSE(line.addCalibration(r.zro->dr_calibration));
    for (uint8_t ch = 0; ch < 12; ++ch)
        EXPECT_FALSE(line.addChannel(0x01, r.channel(ch)->channel_status));
    // The 13th channel report of the line is ignored.
    EXPECT_FALSE(line.addChannel(0x01, r.channel(99)->channel_status));
    EXPECT_EQ(line.channelSlots(), 12);
    ASSERT_TRUE(line.addFix(0x01, r.fix->gps_fix));
    std::string first;
    line.takeLine(first);
    std::string expected =
        "0, 00, 0, 0, 0, 0, 0, 0, 0, 0.000000000, 0.000000000, 0, 0.00000, 0.00, 0, 0, 0.00000, "
        "0, ";
    for (int ch = 0; ch < 12; ++ch) {
        char slot[64];
        std::snprintf(slot, sizeof slot, "%02d, %02d, 0, 0, 0, 0, 0.0, 0, 0, 0, 0, ", ch, ch + 1);
        expected += slot;
    }
    // 3603 filled, then 3604, 3605 (five fields), 3607 x 3 (six), 3608 (five) empty.
    expected += "0, 0, 0, 0.000000, 0.000000, " + std::string(5 + 5 + 18 + 5, ',');
    EXPECT_EQ(first, expected);
    // The next line starts empty: twelve new channels, a new fix, calibration slots empty.
    EXPECT_EQ(line.channelSlots(), 0);
    EXPECT_FALSE(line.haveFix());
    for (uint8_t ch = 0; ch < 12; ++ch) line.addChannel(0x01, r.channel(ch)->channel_status);
    ASSERT_TRUE(line.addFix(0x01, r.fix->gps_fix));
    std::string second;
    line.takeLine(second);
    EXPECT_TRUE(second.ends_with("0, " + std::string(38, ',')));
}

// ---- Binary classification --------------------------------------------------------------------

TEST(FrameClassifier, FramesGoWhereTheirCodeSaysWhateverTheChunking) {
    // Noise in front of a 3002; a 3101 whose payload holds CR LF; a 2101 (logged nowhere); a
    // frame cut by a new 0x81 (its bytes up to the 0x81 go with it); a lone 0x82 and a lone
    // 0x81 at the end.
    const std::vector<uint8_t> stream = {
        0x00, 0x0D, 0x0A, 0x31, 0x82,                         // noise
        0x81, 0x30, 0x02, 0x80, 0x01, 0x0D, 0x0A, 0x44, 0x82, // 3002
        0x81, 0x31, 0x01, 0x0D, 0x0A, 0x82,                   // 3101
        0x81, 0x21, 0x01, 0x0A, 0xD1, 0x82,                   // 2101
        0x81, 0x30, 0x03, 0x11,                               // cut 3003
        0x81, 0x81, 0x33, 0x01, 0x05, 0x82, 0x82, 0x81};      // 3301 after a
                                                              // doubled start
    const std::string five = "81 30 02 80 01 0D 0A 44 82 81 30 03 11";
    const std::string one = "81 31 01 0D 0A 82 81 33 01 05 82";
    auto run = [&](const std::vector<size_t>& cuts) {
        FrameClassifier fc;
        std::vector<uint8_t> out[2];
        size_t at = 0;
        auto feedTo = [&](size_t end) {
            fc.feed(
                stream.data() + at, end - at,
                [](uint8_t code) {
                    return code == 0x30 ? 0 : (code == 0x31 || code == 0x33) ? 1 : -1;
                },
                [&](int d, const uint8_t* p, size_t n) { out[d].insert(out[d].end(), p, p + n); });
            at = end;
        };
        for (size_t c : cuts) feedTo(c);
        feedTo(stream.size());
        return std::make_pair(vxtest::hex(out[0]), vxtest::hex(out[1]));
    };
    std::vector<std::vector<size_t>> chunkings = {{}, {1, 2, 3}, {5, 6, 15, 16}};
    std::vector<size_t> everyByte;
    for (size_t i = 1; i < stream.size(); ++i) everyByte.push_back(i);
    chunkings.push_back(everyByte);
    for (const auto& cuts : chunkings) {
        auto [f, o] = run(cuts);
        EXPECT_EQ(f, five) << cuts.size() << " cuts";
        EXPECT_EQ(o, one) << cuts.size() << " cuts";
    }
}

} // namespace

namespace {

// A run of bytes with no end byte: the log takes it as far as the deframer does, whatever the
// chunking, then the next frame whole.
TEST(FrameClassifier, ARunWithNoEndByteStopsWhereTheDeframerRefusesIt) {
    for (const char* pair : {"55", "80 01"}) { // plain bytes; escape pairs, which count once
        std::vector<uint8_t> stream = vxtest::bytes("81 30 02");
        for (int i = 0; i < 2000; ++i)
            for (uint8_t b : vxtest::bytes(pair)) stream.push_back(b);
        // How far the deframer takes the run before it refuses it.
        vx::MemorySource src(stream.data(), stream.size());
        uint8_t frame[vx::kRxBufferSize];
        uint16_t count = 0;
        ASSERT_EQ(vx::PacketDeframer::readFrame(src, frame, count), vx::kFrameLengthError);
        const size_t taken = src.consumed();
        const auto next = vxtest::bytes("81 30 02 01 4C 82");
        stream.insert(stream.end(), next.begin(), next.end());
        std::vector<uint8_t> expected(stream.begin(), stream.begin() + long(taken));
        expected.insert(expected.end(), next.begin(), next.end());
        for (size_t chunk : {size_t(1), size_t(7), size_t(240), stream.size()}) {
            FrameClassifier fc;
            std::vector<uint8_t> out;
            for (size_t at = 0; at < stream.size(); at += chunk)
                fc.feed(
                    stream.data() + at, std::min(chunk, stream.size() - at),
                    [](uint8_t code) { return code == 0x30 ? 0 : -1; },
                    [&](int, const uint8_t* p, size_t n) { out.insert(out.end(), p, p + n); });
            EXPECT_EQ(vxtest::hex(out), vxtest::hex(expected)) << pair << ", chunks of " << chunk;
        }
    }
}

} // namespace
