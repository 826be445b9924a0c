#include "testtools/buffered_dr_log.h"

#include "console/report_view.h"
#include "link/angles.h"

#include <cerrno>
#include <cmath>
#include <cstring>

namespace vx {

namespace {

constexpr double kA = 6378137.0;         // WGS-84 semi-major axis, m
constexpr double kB = 6356752.314245179; // semi-minor axis, m

std::string failure(const std::string& path, int err) {
    return path + ": " + std::strerror(err);
}

} // namespace

MetresPerRadian metresPerRadian(double phi) {
    const double c = std::cos(phi), s = std::sin(phi);
    const double d = kA * kA * c * c + kB * kB * s * s;
    return {kA * kA * c / std::sqrt(d), kA * kA * kB * kB / std::pow(d, 1.5)};
}

std::string bufferedDrSummary(const BufferedDrRecord& r) {
    const double lat = wireToRadians(r.latitude);
    const MetresPerRadian m = metresPerRadian(lat);
    std::string s;
    s += formatText("Lon Radians to Meters:, %.2f\r\n", m.longitude);
    s += formatText("Lat Radians to Meters:, %.2f\r\n", m.latitude);
    s += "\r\n";
    s += formatText("All Data:, %s\r\n", (r.flags & 0x10) ? "true" : "false");
    s += formatText("Rolling Start:, %s\r\n", (r.flags & 0x20) ? "true" : "false");
    s += formatText("Time Tag:, %u\r\n", unsigned(r.time_tag));
    s += formatText("Lat:, %.9f\r\n", lat);
    s += formatText("Lon:, %.9f\r\n", wireToRadians(r.longitude));
    s += formatText("Heading:, %.6f\r\n", r.heading / 32768.0);
    for (int i = 0; i < kBufferedDrSamples; ++i)
        s += formatText("Delta Dist %d:, %d, Delta Hdg %d:, %d\r\n", i, int(r.delta_distance[i]), i,
                        int(r.delta_heading[i]));
    s += "\r\n";
    return s;
}

const char* const kBufferedDrHeader = "TOW, Time Tag, Pos Type, Lon, Lat, Heading, Delta Time, "
                                      "Delta Dist, Delta Hdg, Gyro Samples, Gyro Cnts, Tacho Cnts";

std::string bufferedDrLine(const DrDataRecord& r) {
    return formatText("%.3f, %u, %s, %.9f, %.9f, %u, %u, %d, %d, %d, %u,%u\r\n", r.tow * 0.001,
                      r.tow & 0xFFFFu, (r.status_flags & 0x40) ? "Jump" : "DR-Propagated",
                      wireToRadians(r.longitude), wireToRadians(r.latitude), unsigned(r.heading),
                      unsigned(r.delta_time), int(r.delta_distance), int(r.delta_heading),
                      int(r.gyroSamples()), r.gyro_count, unsigned(r.tacho_count));
}

std::string BufferedDrLog::open(const std::string& path) {
    close();
    path_ = path;
    log_ = std::fopen(path.c_str(), "wb");
    if (!log_) return failure(path, errno);
    temp_ = std::tmpfile();
    if (!temp_) {
        const int err = errno;
        close();
        return "temporary file: " + std::string(std::strerror(err));
    }
    lines_ = 0;
    tempFailed_ = false;
    return {};
}

bool BufferedDrLog::add(const DrDataRecord& r) {
    if (!temp_ || tempFailed_) return false;
    bool ok = true;
    if (lines_ == 0) {
        const std::string head = std::string(kBufferedDrHeader) + "\r\n";
        ok = std::fwrite(head.data(), 1, head.size(), temp_) == head.size();
    }
    const std::string line = bufferedDrLine(r);
    ok = ok && std::fwrite(line.data(), 1, line.size(), temp_) == line.size();
    if (!ok)
        tempFailed_ = true;
    else
        ++lines_;
    return ok;
}

std::string BufferedDrLog::finish(const BufferedDrRecord& r) {
    if (!log_ || !temp_) return path_ + ": not open";
    std::string error;
    if (tempFailed_) error = "temporary file: write failed";
    const std::string head = bufferedDrSummary(r);
    if (error.empty() && std::fwrite(head.data(), 1, head.size(), log_) != head.size())
        error = failure(path_, errno);
    if (error.empty()) {
        std::rewind(temp_);
        char buf[65536];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, temp_)) > 0) {
            if (std::fwrite(buf, 1, n, log_) != n) {
                error = failure(path_, errno);
                break;
            }
        }
        if (error.empty() && std::ferror(temp_)) error = "temporary file: read failed";
    }
    if (error.empty() && std::fflush(log_) != 0) error = failure(path_, errno);
    std::FILE* log = log_;
    log_ = nullptr;
    if (std::fclose(log) != 0 && error.empty()) error = failure(path_, errno);
    close();
    return error;
}

void BufferedDrLog::close() {
    if (log_) std::fclose(log_);
    if (temp_) std::fclose(temp_);
    log_ = temp_ = nullptr;
}

} // namespace vx
