#include "link/com_slots.h"

#include <cstdio>
#include <cstring>

namespace vx {

std::string comText(const LinkSettings& s) {
    if (s.replay) return "FILE";
    char buf[64];
    std::snprintf(buf, sizeof buf, "COM%d-%d-8", int(s.portIndex) + 1, int(s.baudRate));
    std::string text = buf;
    switch (s.parity) {
    case kParityNone:
        text += "-None-1";
        break;
    case kParityOdd:
        text += "-Odd-1";
        break;
    case kParityEven:
        text += "-Even-1";
        break;
    default:
        break;
    }
    return text;
}

ComSlots::ComSlots() {
    for (uint8_t i = 0; i < kComPortCount; ++i) paths_[i] = defaultPath(i);
}

std::string ComSlots::defaultPath(uint8_t index) {
    if (index >= kComPortCount) return {};
    return "/dev/ttyS" + std::to_string(index);
}

std::string ComSlots::portName(uint8_t index) {
    if (index >= kComPortCount) return "FILE";
    return "COM" + std::to_string(index + 1);
}

std::string ComSlots::path(uint8_t index) const {
    if (index >= kComPortCount) return {};
    std::lock_guard lk(mu_);
    return paths_[index];
}

bool ComSlots::setPath(uint8_t index, const std::string& path) {
    if (index >= kComPortCount) return false;
    std::lock_guard lk(mu_);
    paths_[index] = path.empty() ? defaultPath(index) : path;
    return true;
}

std::string ComSlots::applyOption(std::string_view value) {
    std::string shown = "--com " + std::string(value);
    size_t eq = value.find('=');
    if (eq == std::string_view::npos || eq == 0)
        return shown + ": expected N=PATH, for example --com 3=/dev/ttyUSB0";
    std::string_view num = value.substr(0, eq);
    std::string_view path = value.substr(eq + 1);
    int n = 0;
    for (char c : num) {
        if (c < '0' || c > '9' || n > 1000) return shown + ": COM number must be 1 to 32";
        n = n * 10 + (c - '0');
    }
    if (n < 1 || n > kComPortCount) return shown + ": COM number must be 1 to 32";
    if (path.empty()) return shown + ": the device path is empty";
    setPath(uint8_t(n - 1), std::string(path));
    return {};
}

std::string ComSlots::takeOptions(int& argc, char** argv) {
    std::string firstError;
    int out = 1;
    for (int i = 1; i < argc; ++i) {
        const char* a = argv[i];
        std::string_view value;
        bool isCom = false;
        bool haveValue = false;
        if (std::strcmp(a, "--com") == 0) {
            isCom = true;
            if (i + 1 < argc) {
                value = argv[++i];
                haveValue = true;
            } else if (firstError.empty()) {
                firstError = "--com: expected N=PATH, for example --com 3=/dev/ttyUSB0";
            }
        } else if (std::strncmp(a, "--com=", 6) == 0) {
            isCom = true;
            haveValue = true;
            value = a + 6;
        }
        if (!isCom) {
            argv[out++] = argv[i];
            continue;
        }
        if (!haveValue) continue;
        std::string err = applyOption(value);
        if (!err.empty() && firstError.empty()) firstError = err;
    }
    argc = out;
    argv[argc] = nullptr;
    return firstError;
}

} // namespace vx
