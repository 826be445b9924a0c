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

std::vector<std::string> aboutLines() {
    return {"Ornivex Version 2.40 ", "June 8, 2007", "",
            "Console for GPS receivers with dead reckoning (VEXOR protocol)."};
}

} // namespace vx
