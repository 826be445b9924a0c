#include "app/version_texts.h"

#include <cstdio>

namespace vx {

namespace {

std::string twoDigits(int v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d", v);
    return buf;
}

} // namespace

CodeVersionTexts codeVersionTexts(const VersionRecord& r) {
    CodeVersionTexts t;
    t.major = twoDigits(r.major);
    t.minor = twoDigits(r.minor);
    t.release = twoDigits(r.release);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02d/%02d/%04d", int(r.date2), int(r.date1), int(r.year));
    t.date = buf;
    return t;
}

std::string softwareModeText(uint8_t mode) {
    switch (mode) {
    case 1:
        return "Normal";
    case 2:
        return "Monitor";
    default:
        return "Unknown";
    }
}

ProductTexts productTexts(const ProductRecord& r) {
    ProductTexts t;
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02d/%02d/%02d", int(r.date2), int(r.date1), int(r.year));
    t.date = buf;
    t.name = std::string(textOf(r.name));
    std::snprintf(buf, sizeof buf, "%u", unsigned(r.serial_number));
    t.serial = buf;
    return t;
}

std::string hardwareIdText(const TextRecord& r) {
    return std::string(textOf(r.text));
}

// ---- The version window as a viewer --------------------------------------------------------

namespace {

constexpr ItemKind P = ItemKind::Panel;

constexpr ViewItem kVersionItems[] = {
    {P, "navMajorWin", "Major", nullptr, 3},
    {P, "navMinorWin", "Minor", nullptr, 3},
    {P, "navReleaseWin", "Release", nullptr, 3},
    {P, "navDateWin", "Date", nullptr, 10},
    {P, "bootMajorWin", "Major", nullptr, 3},
    {P, "bootMinorWin", "Minor", nullptr, 3},
    {P, "bootReleaseWin", "Release", nullptr, 3},
    {P, "bootDateWin", "Date", nullptr, 10},
    {P, "ioMajorWin", "Major", nullptr, 3},
    {P, "ioMinorWin", "Minor", nullptr, 3},
    {P, "ioReleaseWin", "Release", nullptr, 3},
    {P, "ioDateWin", "Date", nullptr, 10},
    {P, "modeWin", "Mode", nullptr, 10},
    {P, "hardwareIdWin", "Hardware ID", nullptr, 20},
    {P, "prodIdWin", "Production Date", nullptr, 20},
    {P, "prodNameWin", "Production Name", nullptr, 20},
    {P, "snWin", "Production S/N", nullptr, 20},
};
static_assert(std::size(kVersionItems) == version::kSlots);
constexpr ViewBox kVersionBoxes[] = {
    {.caption = "Nav Code ROM", .objectName = nullptr, .first = version::navMajorWin, .count = 4},
    {.caption = "Boot Code ROM",
     .objectName = nullptr,
     .first = version::bootMajorWin,
     .count = 4,
     .row = 0,
     .column = 1},
    {.caption = "Io Code ROM",
     .objectName = nullptr,
     .first = version::ioMajorWin,
     .count = 4,
     .row = 0,
     .column = 2},
    {.caption = "Software Mode",
     .objectName = nullptr,
     .first = version::modeWin,
     .count = 1,
     .row = 1,
     .column = 0},
    {.caption = "Hardware ID",
     .objectName = nullptr,
     .first = version::hardwareIdWin,
     .count = 1,
     .row = 1,
     .column = 1,
     .rowSpan = 1,
     .columnSpan = 2},
    {.caption = "Product Information",
     .objectName = "productBox",
     .first = version::prodIdWin,
     .count = 3,
     .row = 2,
     .column = 0,
     .rowSpan = 1,
     .columnSpan = 3},
};
// 1203, 1204, 1101, 1102, 1103, 1202, 50 ms apart.
constexpr QueryFrame kVersionFrames[] = {{0x12, 0x03}, {0x12, 0x04}, {0x11, 0x01},
                                         {0x11, 0x02}, {0x11, 0x03}, {0x12, 0x02}};
constexpr ViewAnswer kVersionAnswers[] = {
    {0x11, 0x01, 0x01, version::kNav},     {0x11, 0x02, 0x02, version::kBoot},
    {0x11, 0x03, 0x03, version::kIo},      {0x12, 0x02, 0x02, version::kMode},
    {0x12, 0x03, 0x03, version::kProduct}, {0x12, 0x04, 0x04, version::kHardware},
};
// A late answer still counts: the keys stay pending when the timer runs out.
constexpr ViewQuery kVersionQueries[] = {{.button = "queryButton",
                                          .led = "queryLED",
                                          .frames = kVersionFrames,
                                          .answers = kVersionAnswers,
                                          .expiryKeeps = true,
                                          .pauseMs = 50}};
const ViewSpec kVersion{WindowId::TversionForm, kVersionItems, kVersionBoxes, kVersionQueries};

} // namespace

const ViewSpec& versionSpec() {
    return kVersion;
}

void showCodeVersion(const VersionRecord& r, ViewUpdates& u) {
    if (r.subcode < 1 || r.subcode > 3) return;
    const auto first = uint16_t((r.subcode - 1) * 4);
    const CodeVersionTexts t = codeVersionTexts(r);
    u.text(first, t.major);
    u.text(uint16_t(first + 1), t.minor);
    u.text(uint16_t(first + 2), t.release);
    u.text(uint16_t(first + 3), t.date);
}

void showSoftwareMode(const OperatingModeRecord& r, ViewUpdates& u) {
    u.text(version::modeWin, softwareModeText(r.mode));
}

void showProduct(const ProductRecord& r, ViewUpdates& u) {
    const ProductTexts t = productTexts(r);
    u.text(version::prodIdWin, t.date);
    u.text(version::prodNameWin, t.name);
    u.text(version::snWin, t.serial);
}

void showHardwareId(const TextRecord& r, ViewUpdates& u) {
    u.text(version::hardwareIdWin, hardwareIdText(r));
}

void clearVersions(ViewUpdates& u) {
    for (uint16_t s = 0; s < version::kSlots; ++s) u.blank(s);
}

std::vector<std::string> aboutLines() {
    return {"Ornivex Version 2.40 ", "June 8, 2007", "",
            "Console for GPS receivers with dead reckoning (VEXOR protocol)."};
}

} // namespace vx
