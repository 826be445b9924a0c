#include "flash/device_config.h"

#include "console/field_text.h"
#include "link/catalogue.h"

#include <cstdio>

namespace vx {

namespace {

constexpr int kAckMs = 3000;

InputError error(std::string text) {
    return {"Error", std::move(text)};
}

std::optional<uint64_t> decimalIn(std::string_view text, uint64_t max) {
    auto v = parseInteger(text);
    if (!v || *v < 0 || uint64_t(*v) > max) return std::nullopt;
    return uint64_t(*v);
}

bool isSeparator(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// After a write's frame: "Writing <what>", its acknowledgement, then "<name> set completed"
// or "<name> set error".
bool acknowledged(MonitorLink& link, int sent, const std::string& what, const std::string& name,
                  DiagEvents& events) {
    events.status("Writing " + what);
    const bool ok = sent == 0 && waitMonitorAck(link, kAckMs);
    events.status(name + (ok ? " set completed" : " set error"));
    return ok;
}

} // namespace

std::optional<std::string> latin1FromUtf8(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size();) {
        const auto b = uint8_t(s[i]);
        if (b < 0x80) {
            out.push_back(char(b));
            ++i;
        } else if ((b & 0xE0) == 0xC0 && i + 1 < s.size() && (uint8_t(s[i + 1]) & 0xC0) == 0x80) {
            const unsigned cp = ((b & 0x1Fu) << 6) | (uint8_t(s[i + 1]) & 0x3Fu);
            if (cp < 0x80 || cp > 0xFF) return std::nullopt; // overlong, or beyond Latin-1
            out.push_back(char(cp));
            i += 2;
        } else {
            return std::nullopt; // three or four bytes: beyond Latin-1; or not UTF-8
        }
    }
    return out;
}

std::optional<InputError> parseProductInfo(std::string_view serial, std::string_view name,
                                           std::string_view date, ProductConfig& config) {
    auto number = decimalIn(serial, 0xFFFFFFFFu);
    if (!number) return error("Serial Number: not a valid number (0 to 4294967295).");
    auto latin1 = latin1FromUtf8(name);
    if (!latin1) return error("Product Name: only Latin-1 characters can be written.");
    if (latin1->size() > kMaxProductName) return InputError{"", kLengthExcess};

    const std::string_view dateError = "Product Date: expected month/day/year, such as 12/31/2007 "
                                       "(0 to 255, 0 to 255, 0 to 65535).";
    const size_t s1 = date.find('/');
    const size_t s2 = s1 == std::string_view::npos ? s1 : date.find('/', s1 + 1);
    if (s2 == std::string_view::npos) return error(std::string(dateError));
    auto first = decimalIn(date.substr(0, s1), 0xFF);
    auto second = decimalIn(date.substr(s1 + 1, s2 - s1 - 1), 0xFF);
    auto year = decimalIn(date.substr(s2 + 1), 0xFFFF);
    if (!first || !second || !year) return error(std::string(dateError));

    config.serialNumber = uint32_t(*number);
    config.productName = *latin1;
    config.date1 = uint8_t(*first);
    config.date2 = uint8_t(*second);
    config.year = uint16_t(*year);
    return std::nullopt;
}

std::optional<InputError> parseHardwareId(std::string_view text, std::string& id) {
    auto latin1 = latin1FromUtf8(text);
    if (!latin1) return error("Hardware ID: only Latin-1 characters can be written.");
    if (latin1->size() > kMaxHardwareId) return InputError{"", kLengthExcess};
    id = *latin1;
    return std::nullopt;
}

std::optional<InputError> parseCustomerBlock(std::string_view text, uint8_t& block) {
    auto v = parseHex(text, 2);
    if (!v || *v < 0x01 || *v > 0x7F)
        return error("Data block to set is out of range (0x01 - 0x7F).");
    block = uint8_t(*v);
    return std::nullopt;
}

std::optional<InputError> parseCustomerData(std::string_view text, std::vector<uint8_t>& bytes) {
    text = text.substr(0, kCustomerTextChars);
    std::vector<uint8_t> out;
    size_t i = 0;
    while (i < text.size()) {
        if (isSeparator(text[i])) {
            ++i;
            continue;
        }
        size_t j = i;
        while (j < text.size() && !isSeparator(text[j])) ++j;
        auto v = parseHex(text.substr(i, j - i), 8);
        if (!v || *v > 0xFF) return error("Error in data to set");
        if (out.size() == kMaxCustomerBytes)
            return error("Size of data block is greater than 128 bytes.");
        out.push_back(uint8_t(*v));
        i = j;
    }
    if (out.empty()) return error("No data to set");
    bytes = std::move(out);
    return std::nullopt;
}

std::string confirmBlockText(uint8_t block) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "Permanently write data block 0x%02X to ROM?", block);
    return buf;
}

bool enterDiagnosticsMonitor(MonitorLink& link) {
    if (!link.pauseLink()) return false;
    link.purgeLink();
    const bool sent = sendSystem(link, 0x03) == 0;
    link.sleepMs(100);
    link.discardReceived();
    return sent;
}

void leaveDiagnosticsMonitor(MonitorLink& link) {
    monitorRestart(link);
    link.sleepMs(1000);
    link.resumeLink();
}

bool startDaemon(MonitorLink& link, DiagEvents& events) {
    monitorCommand83(link);
    events.status("Loading Daemon");
    sendWakeBytes(link);
    if (!waitMonitorAck(link, kAckMs)) {
        events.status("Loading Daemon Error");
        return false;
    }
    monitorCommand82(link);
    events.status("Daemon is running");
    sendWakeBytes(link);
    if (!waitMonitorAck(link, kAckMs)) {
        events.status("Daemon is not running");
        return false;
    }
    return true;
}

bool writeProductInfo(MonitorLink& link, const ProductConfig& config, DiagEvents& events) {
    if (!startDaemon(link, events)) return false;
    return acknowledged(link, monitorSetConfig(link, config), "Product Info", "Product Info",
                        events);
}

bool writeHardwareId(MonitorLink& link, const std::string& id, DiagEvents& events) {
    if (!startDaemon(link, events)) return false;
    return acknowledged(link, monitorSetHardwareId(link, id), "Hardware ID", "Hardware ID", events);
}

bool writeCustomerData(MonitorLink& link, uint8_t block, const std::vector<uint8_t>& bytes,
                       DiagEvents& events) {
    if (!startDaemon(link, events)) return false;
    return acknowledged(link, monitorCustomerData(link, block, bytes), "Customer Data Entry",
                        "Customer Data", events);
}

bool runRomTest(MonitorLink& link) {
    return monitorRomTest(link) == 0 && waitMonitorAck(link, kAckMs);
}

bool runRamTest(MonitorLink& link) {
    return monitorRamTest(link) == 0 && waitMonitorAck(link, kAckMs);
}

} // namespace vx
