#include "reports/fix_views.h"

#include "console/report_texts.h"
#include "link/framing.h"

#include <cerrno>
#include <cstring>

namespace vx {

namespace {

constexpr ItemKind P = ItemKind::Panel;
constexpr ItemKind C = ItemKind::Circle;
constexpr ItemKind E = ItemKind::Edit;

constexpr ViewItem kItems[] = {
    {P, "timeWin", "Time:", "ms", 11},
    {P, "timeSrcWin", "Time Source:", nullptr, 12},
    {P, "latWin", "Latitude:", "rad", 13},
    {P, "lonWin", "Longitude:", "rad", 13},
    {P, "altWin", "Altitude:", "meters", 7},
    {P, "headingWin", "Heading:", "sc", 8},
    {P, "speedWin", "Speed:", "cm/s", 7},
    {P, "accPosWin", "Position:", "meters", 7},
    {P, "accAltWin", "Altitude:", "meters", 7},
    {P, "accHeadingWin", "Heading:", "sc", 8},
    {P, "accSpeedWin", "Speed:", "cm/s", 7},
    {P, "fixSrcWin", "Fix Src:", nullptr, 28},
    {P, "altHoldWin", "Alt.Hold:", nullptr, 28},
    {C, "posStatus", "Postion"},
    {C, "altStatus", "Altitude"},
    {C, "headingStatus", "Heading"},
    {C, "speedStatus", "Speed "},
    {C, "DGPS_LED", "DGPS"},
    {E, "Edit1", "refMsec", nullptr, 11},
    {E, "Edit2", "refScount", nullptr, 11},
    {E, "Edit3", "iosGetTick()", nullptr, 11},
    {E, "Edit4", "refMsec", nullptr, 11},
    {E, "Edit5", "refScount", nullptr, 11},
    {E, "Edit6", "refTick", nullptr, 11},
    {E, "Edit7", "pf_user_ecef.posfix_t", nullptr, 14},
    {E, "Edit8", "tTime.msecs", nullptr, 11},
    {E, "Edit9", "timeSinceLastFix", nullptr, 14},
    {C, "Shape1", "RTC Valid"},
};

constexpr ViewBox kBoxes[] = {
    {.caption = "Time", .objectName = nullptr, .first = pkt31::timeWin, .count = 2},
    {.caption = "Status",
     .objectName = nullptr,
     .first = pkt31::fixSrcWin,
     .count = 7,
     .row = 0,
     .column = 1,
     .rowSpan = 2},
    {.caption = "Position",
     .objectName = "posGroupBox",
     .first = pkt31::latWin,
     .count = 5,
     .row = 1,
     .column = 0},
    {.caption = "Accuracy",
     .objectName = "accGroupBox",
     .first = pkt31::accPosWin,
     .count = 4,
     .row = 2,
     .column = 0},
    {.caption = "sysTimeErr",
     .objectName = nullptr,
     .first = pkt31::Edit1,
     .count = 3,
     .row = 2,
     .column = 1},
    {.caption = "gtSysTime",
     .objectName = nullptr,
     .first = pkt31::Edit4,
     .count = 3,
     .row = 3,
     .column = 0},
    {.caption = nullptr,
     .objectName = nullptr,
     .first = pkt31::Edit7,
     .count = 4,
     .row = 3,
     .column = 1},
};

constexpr QueryFrame kFrames[] = {{0x31, 0x01}};
// Every 31xx report answers the query; its acknowledgement is acknowledged 3101.
constexpr ViewAnswer kAnswers[] = {{0x31, 0x00, 0xFF}};
constexpr ViewQuery kQueries[] = {{.button = "queryButton",
                                   .led = "queryLED",
                                   .frames = kFrames,
                                   .answers = kAnswers,
                                   .ackEnds = true}};
const ViewSpec kSpec{WindowId::Tpkt31Form, kItems, kBoxes, kQueries};

} // namespace

const ViewSpec& pkt31Spec() {
    return kSpec;
}

std::string fixSourceText(uint8_t fixFlags) {
    static const char* const kTexts[18] = {"No position in memory",
                                           "Input position, approximate",
                                           "",
                                           "Input position, accurate",
                                           "Have internal position",
                                           "KF position accuracy too large",
                                           "",
                                           "",
                                           "Old valid GPS fix",
                                           "Converging",
                                           "Converging",
                                           "Converging",
                                           "Output fix criterion failed",
                                           "2-D fix, no reference altitude",
                                           "KF velocity RAIM failed",
                                           "KF edited too many SVs",
                                           "KF position RAIM failed",
                                           "Position Valid"};
    const unsigned source = fixFlags & 0x3F;
    return source < 18 ? kTexts[source] : "Unknown";
}

std::string altitudeHoldText(uint8_t fixFlags) {
    return (fixFlags & 0x40) ? "Altitude-Hold (2-D) LS fix" : "Full position (3-D) LS fix";
}

void showGpsFix(const GpsFixRecord& r, ViewUpdates& u) {
    using namespace pkt31;
    constexpr Tint On = Tint::Green, Off = Tint::Yellow;
    u.format(timeWin, "%u", unsigned(r.time));
    u.text(fixSrcWin, fixSourceText(r.fix_flags));
    u.text(altHoldWin, altitudeHoldText(r.fix_flags));
    u.flag(DGPS_LED, r.fix_flags & 0x80, On, Off);
    u.flag(posStatus, r.validity_flags & 0x01, On, Off);
    u.flag(altStatus, r.validity_flags & 0x02, On, Off);
    u.flag(headingStatus, r.validity_flags & 0x04, On, Off);
    u.flag(speedStatus, r.validity_flags & 0x08, On, Off);
    u.text(timeSrcWin, timeSourceText((r.validity_flags >> 4) & 3));
    u.text(latWin, radiansText(r.latitude));
    u.text(lonWin, radiansText(r.longitude));
    u.format(altWin, "%d", int(r.altitude));
    u.text(headingWin, semicircleText(r.heading));
    u.format(speedWin, "%u", unsigned(r.speed));
    u.format(accPosWin, "%u", unsigned(r.position_accuracy));
    u.format(accAltWin, "%u", unsigned(r.altitude_accuracy));
    u.format(accHeadingWin, "%.4f", double(r.heading_accuracy) / 32768.0);
    u.format(accSpeedWin, "%u", unsigned(r.speed_accuracy));
}

bool showTimeKeeping(uint8_t h2, const uint8_t* p, size_t length, ViewUpdates& u,
                     std::string* csv) {
    using namespace pkt31;
    if (csv) csv->clear();
    if (h2 == 1) {
        if (length < 16) return false;
        // Four 32-bit values, shown unsigned as they travel.
        std::string texts[4];
        for (int i = 0; i < 4; ++i) {
            texts[i] = formatText("%u", unsigned(readU32(p + 4 * i)));
            u.text(uint16_t(Edit1 + i), texts[i]);
        }
        if (csv) *csv = texts[0] + ", " + texts[1] + ", " + texts[2] + ", " + texts[3];
        return true;
    }
    if (length < 31) return false;
    for (int i = 0; i < 3; ++i) {
        u.format(uint16_t(Edit1 + 2 * i), "%d", int(readU16(p + 6 * i)));
        u.format(uint16_t(Edit2 + 2 * i), "%u", unsigned(readU32(p + 6 * i + 2)));
    }
    u.format(Edit7, "%f", double(readFloat(p + 18)));
    u.format(Edit8, "%d", int(readI32(p + 22)));
    u.format(Edit9, "%f", double(readFloat(p + 26)));
    u.flag(Shape1, p[30] != 0);
    return true;
}

// ---- TimeSourceLog ------------------------------------------------------------------------------

bool TimeSourceLog::open(const std::string& path) {
    close();
    error_.clear();
    lines_ = 0;
    file_ = std::fopen(path.c_str(), "wb");
    if (!file_) {
        error_ = std::strerror(errno);
        return false;
    }
    return true;
}

bool TimeSourceLog::write(const std::string& line) {
    if (!file_) return false;
    const bool ok = std::fwrite(line.data(), 1, line.size(), file_) == line.size() &&
                    std::fwrite("\r\n", 1, 2, file_) == 2 && std::fflush(file_) == 0;
    if (!ok) {
        error_ = std::strerror(errno);
        close();
        return false;
    }
    ++lines_;
    return true;
}

void TimeSourceLog::close() {
    if (!file_) return;
    std::fclose(file_);
    file_ = nullptr;
}

} // namespace vx
