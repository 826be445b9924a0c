#include "app/io_capture.h"

#include <cstdio>

namespace vx {

std::string ioCaptureFileName(std::string_view unit, const std::tm& t, int portIndex) {
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%04d%02d%02d_%02d%02d%02d", t.tm_year + 1900, t.tm_mon + 1,
                  t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
    std::string name = "io_replay_";
    name += unit;
    name += '_';
    name += stamp;
    name += "_COM" + std::to_string(portIndex + 1) + ".dat";
    return name;
}

bool ioCaptureUnitIsSafe(std::string_view unit) {
    if (unit.find("..") != std::string_view::npos) return false;
    for (char c : unit) {
        if (c == '/' || c == '\\') return false;
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return false;
    }
    return true;
}

std::string ioCaptureText(const IoTrafficRecord& r) {
    const bool ioToNav = r.subcode == kIoToNavSubcode;
    std::string text;
    char buf[48];
    if (r.flags & kIoFirstPiece) {
        text += ioToNav ? "IO  --> NAV " : "NAV --> IO  ";
        // The words are printed as the receiver's signed 32-bit values.
        std::snprintf(buf, sizeof buf, "%9ld %9ld ", long(int32_t(r.word1)),
                      long(int32_t(r.word2)));
        text += buf;
        if (ioToNav) text += " 10";
    }
    const size_t n = r.length < sizeof r.data ? r.length : sizeof r.data;
    for (size_t i = 0; i < n; ++i) {
        std::snprintf(buf, sizeof buf, " %02x", unsigned(r.data[i]));
        text += buf;
    }
    if (r.flags & kIoLastPiece) {
        if (ioToNav) text += " 10 03";
        text += "\r\n"; // CR LF on every platform, like every text file of the console
    }
    return text;
}

} // namespace vx
