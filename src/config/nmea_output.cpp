#include "config/nmea_output.h"

#include "link/angles.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace vx {

namespace {

// Degrees per radian as the receiver's tools write it.
constexpr double kDegreesPerRadian = 57.29577791868205;

DegreesMinutes toDm(double degrees) {
    DegreesMinutes dm;
    dm.negative = degrees < 0;
    const double a = std::fabs(degrees);
    dm.degrees = int(a);
    const double minutes = (a - dm.degrees) * 60.0;
    dm.minutes = int(minutes);
    dm.thousandths = int((minutes - dm.minutes) * 1000.0 + 0.5);
    if (dm.thousandths >= 1000) {
        dm.thousandths = 0;
        ++dm.minutes;
    }
    if (dm.minutes >= 60) {
        dm.minutes -= 60;
        ++dm.degrees;
    }
    return dm;
}

double wireDegrees(int32_t wire) {
    return wireToRadiansP(double(wire)) * kDegreesPerRadian;
}

} // namespace

DegreesMinutes latitudeDm(int32_t wire) {
    return toDm(wireDegrees(wire));
}

DegreesMinutes longitudeDm(int32_t wire) {
    double d = wireDegrees(wire);
    while (d >= 180.0) d -= 360.0;
    while (d < -180.0) d += 360.0;
    return toDm(d);
}

std::string ggaSentence(const GgaFields& f) {
    char buf[128];
    const DegreesMinutes lat = latitudeDm(f.latitude);
    const DegreesMinutes lon = longitudeDm(f.longitude);
    char sats[8] = "";
    char hdop[16] = "";
    if (f.satellites) std::snprintf(sats, sizeof sats, "%02d", *f.satellites);
    if (f.hdop) std::snprintf(hdop, sizeof hdop, "%.1f", *f.hdop);
    const char* sign = f.altitude < 0 ? "-" : "";
    int n = std::snprintf(
        buf, sizeof buf,
        "$GPGGA,%02d%02d%02d.00,%02d%02d.%03d,%c,%03d%02d.%03d,%c,%d,%s,%s,%s%05d,"
        "M,,M,,*",
        f.hour, f.minute, f.second, lat.degrees, lat.minutes, lat.thousandths,
        lat.negative ? 'S' : 'N', lon.degrees, lon.minutes, lon.thousandths,
        lon.negative ? 'W' : 'E', f.positionValid ? 1 : 0, sats, hdop, sign, std::abs(f.altitude));
    std::string s(buf, size_t(n));
    uint8_t sum = 0;
    for (size_t i = 1; i + 1 < s.size(); ++i) sum ^= uint8_t(s[i]);
    std::snprintf(buf, sizeof buf, "%02x\r\n", sum);
    return s + buf;
}

void NmeaFeed::position(const DrDataRecord& r) {
    fields_.latitude = r.latitude;
    fields_.longitude = r.longitude;
    fields_.altitude = r.altitude;
    fields_.positionValid = (r.validity_flags & 0x01) != 0;
    havePosition_ = true;
}

std::optional<std::string> NmeaFeed::time(const TimeConstellationRecord& r) {
    fields_.hour = r.hours;
    fields_.minute = r.minutes;
    fields_.second = r.seconds;
    fields_.satellites = r.visible_svs & 0x0F;
    fields_.hdop = r.hdop / 256.0;
    if (!havePosition_) return std::nullopt;
    return ggaSentence(fields_);
}

int NmeaPortWriter::open(const std::string& path, const PortConfig& config, std::string* reason) {
    close();
    return port_->open(path, config, reason);
}

void NmeaPortWriter::close() {
    port_->close();
    tail_.clear();
}

bool NmeaPortWriter::write(std::string_view sentence) {
    auto put = [&](std::string_view bytes) -> long {
        return port_->writeSome(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    };
    if (!tail_.empty()) {
        const long n = put(tail_);
        if (n > 0) tail_.erase(0, size_t(n));
        if (n < 0) tail_.clear(); // the port refused it: the sentence is lost, not retried
    }
    if (!tail_.empty() || !port_->isOpen()) {
        ++dropped_;
        return false;
    }
    const long n = put(sentence);
    if (n <= 0) {
        ++dropped_;
        return false;
    }
    if (size_t(n) < sentence.size()) tail_.assign(sentence.substr(size_t(n)));
    ++written_;
    return true;
}

} // namespace vx
