// The GGA sentence, the feed from the reports and the writer that never waits for its port.
#include "config/nmea_output.h"
#include "link/angles.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using vx::GgaFields;

// The wire value of an angle in degrees, as the receiver's tools compute with P.
int32_t wire(double degrees) {
    return int32_t(std::llround(degrees / 57.29577791868205 / vx::kSinglePi * 2147483648.0));
}

GgaFields fields(int32_t lat, int32_t lon, int32_t alt) {
    GgaFields f;
    f.hour = 12;
    f.minute = 34;
    f.second = 56;
    f.latitude = lat;
    f.longitude = lon;
    f.altitude = alt;
    return f;
}

TEST(GgaSentence, EdgesOfEveryField) {
    struct Case {
        const char* what;
        GgaFields f;
        const char* sentence;
    };
    GgaFields invalid = fields(1 << 29, -(1 << 30), 123);
    invalid.positionValid = false;
    GgaFields counted = fields(1 << 29, -(1 << 30), 123);
    counted.satellites = 7;
    counted.hdop = 1.25;
    // Minutes of 59.9996: thousandths round to 1000, the minute to 60, the degree to 45.
    const int32_t justUnder45 = wire(44.0 + 59.9996 / 60.0);
    const Case cases[] = {
        {"the documented sentence", fields(1 << 29, -(1 << 30), 123),
         "$GPGGA,123456.00,4500.000,N,09000.000,W,1,,,00123,M,,M,,*5f\r\n"},
        {"a negative altitude", fields(1 << 29, -(1 << 30), -12),
         "$GPGGA,123456.00,4500.000,N,09000.000,W,1,,,-00012,M,,M,,*71\r\n"},
        {"minutes that round up to 60 carry into the degrees", fields(justUnder45, 0, 0),
         "$GPGGA,123456.00,4500.000,N,00000.000,E,1,,,00000,M,,M,,*44\r\n"},
        {"southern and eastern", fields(-(1 << 29), 1 << 30, 0),
         "$GPGGA,123456.00,4500.000,S,09000.000,E,1,,,00000,M,,M,,*50\r\n"},
        {"-180 (a little past it with P) wraps to the east and carries",
         fields(0, int32_t(0x80000000), 0),
         "$GPGGA,123456.00,0000.000,N,18000.000,E,1,,,00000,M,,M,,*4c\r\n"},
        {"an invalid position", invalid,
         "$GPGGA,123456.00,4500.000,N,09000.000,W,0,,,00123,M,,M,,*5e\r\n"},
        {"satellites and HDOP", counted,
         "$GPGGA,123456.00,4500.000,N,09000.000,W,1,07,1.2,00123,M,,M,,*75\r\n"},
    };
    for (const Case& c : cases) EXPECT_EQ(vx::ggaSentence(c.f), c.sentence) << c.what;
}

TEST(GgaSentence, MinutesRoundToTheNearestThousandth) {
    const vx::DegreesMinutes a = vx::latitudeDm(wire(12.0 + 34.5678 / 60.0));
    EXPECT_EQ(a.degrees, 12);
    EXPECT_EQ(a.minutes, 34);
    EXPECT_EQ(a.thousandths, 568);
    const vx::DegreesMinutes b = vx::latitudeDm(wire(12.0 + 33.9996 / 60.0));
    EXPECT_EQ(b.minutes, 34);
    EXPECT_EQ(b.thousandths, 0);
}

TEST(NmeaFeed, WritesOnEvery3201OnceA3002HasCome) {
    vx::NmeaFeed feed;
    vx::TimeConstellationRecord t;
    t.hours = 1;
    t.minutes = 2;
    t.seconds = 3;
    t.visible_svs = 0xF9; // bits 4-7 are not the count
    t.hdop = 320;         // 1.25
    EXPECT_FALSE(feed.time(t)) << "no position yet";
    vx::DrDataRecord d;
    d.latitude = 1 << 29;
    d.longitude = -(1 << 30);
    d.altitude = 123;
    d.validity_flags = 0x01;
    feed.position(d);
    EXPECT_EQ(feed.time(t), "$GPGGA,010203.00,4500.000,N,09000.000,W,1,09,1.2,00123,M,,M,,*7c\r\n");
    d.validity_flags = 0xFE;
    feed.position(d);
    EXPECT_NE(feed.time(t)->find(",W,0,09,"), std::string::npos) << "fix quality follows bit 0";
    feed.restart();
    EXPECT_FALSE(feed.time(t)) << "switched on again: wait for the next 3002";
}

// A port whose driver takes only what its buffer has room for.
class SmallBufferPort : public vx::SerialPort {
public:
    int open(const std::string&, const vx::PortConfig&, std::string*) override {
        open_ = true;
        return 0;
    }
    void close() override { open_ = false; }
    bool isOpen() const override { return open_; }
    size_t read(uint8_t*, size_t) override { return 0; }
    int write(const uint8_t*, size_t) override { return -1; }
    long writeSome(const uint8_t* b, size_t n) override {
        if (fail) return -1;
        const size_t take = std::min(n, room);
        wire.append(reinterpret_cast<const char*>(b), take);
        room -= take;
        return long(take);
    }
    void purge(bool, bool) override {}
    void waitReadable(int, int) override {}
    bool open_ = false;
    size_t room = 0;
    bool fail = false;
    std::string wire;
};

TEST(NmeaPortWriter, DropsWhatDoesNotFitAndKeepsSentencesWhole) {
    auto owned = std::make_unique<SmallBufferPort>();
    SmallBufferPort& port = *owned;
    vx::NmeaPortWriter w(std::move(owned));
    ASSERT_EQ(w.open("/dev/null", {}, nullptr), 0);
    port.room = 15;
    EXPECT_TRUE(w.write("0123456789ABCDEFGHIJ\r\n")) << "taken in part: the tail is kept";
    EXPECT_EQ(port.wire, "0123456789ABCDE");
    EXPECT_FALSE(w.write("second\r\n")) << "the tail is still waiting: dropped";
    port.room = 100;
    EXPECT_TRUE(w.write("third\r\n"));
    EXPECT_EQ(port.wire, "0123456789ABCDEFGHIJ\r\nthird\r\n");
    port.room = 0;
    EXPECT_FALSE(w.write("fourth\r\n")) << "buffer full";
    port.fail = true;
    port.room = 100;
    EXPECT_FALSE(w.write("fifth\r\n")) << "the port refused it";
    EXPECT_EQ(w.written(), 2u);
    EXPECT_EQ(w.dropped(), 3u);
    w.close();
    EXPECT_FALSE(w.write("sixth\r\n")) << "closed";
}

} // namespace
