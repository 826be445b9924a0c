#include "cli/cli.h"

#include "link/link_settings.h"
#include "link/serial_link.h"

#include <atomic>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace vx::cli {

uint32_t parseHex(const std::string& text, const char* what, uint32_t max) {
    std::string s = text;
    if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) s = s.substr(2);
    bool ok = !s.empty() && s.size() <= 8;
    for (char c : s)
        if (!std::isxdigit(static_cast<unsigned char>(c))) ok = false;
    unsigned long v = ok ? std::strtoul(s.c_str(), nullptr, 16) : 0;
    if (!ok || v > max) {
        char range[32];
        std::snprintf(range, sizeof range, "%X", max);
        throw UsageError(std::string("invalid ") + what + " '" + text +
                         "': expected a hexadecimal value from 0 to " + range);
    }
    return uint32_t(v);
}

uint8_t parseHexByte(const std::string& text, const char* what) {
    return uint8_t(parseHex(text, what, 0xFF));
}

double parseNumber(const std::string& text, const char* what, double min, double max) {
    // Plain decimal notation only: strtod alone would also take "nan", "inf", "infinity" and
    // hexadecimal floats, and a NaN passes every range check.
    bool plain = !text.empty();
    for (char c : text)
        if (!std::isdigit(static_cast<unsigned char>(c)) && c != '.' && c != '-' && c != '+' &&
            c != 'e' && c != 'E')
            plain = false;
    char* end = nullptr;
    errno = 0;
    double v = plain ? std::strtod(text.c_str(), &end) : 0;
    if (!plain || *end != '\0' || errno != 0 || !std::isfinite(v) || v < min || v > max) {
        char range[64];
        std::snprintf(range, sizeof range, "%.15g to %.15g", min, max);
        throw UsageError(std::string("invalid ") + what + " '" + text +
                         "': expected a number from " + range);
    }
    return v;
}

bool wantsHelp(const std::vector<std::string>& args) {
    for (const auto& a : args)
        if (a == "--help" || a == "-h") return true;
    return false;
}

int32_t parseBaud(const std::string& text) {
    double b = parseNumber(text, "baud rate", 0, 1e7);
    if (!isSupportedBaud(int32_t(b)) || b != double(int32_t(b)))
        throw UsageError("invalid baud rate '" + text +
                         "': expected 4800, 9600, 19200, 38400 or 115200");
    return int32_t(b);
}

uint8_t parseParity(const std::string& p) {
    if (p == "none") return kParityNone;
    if (p == "odd") return kParityOdd;
    if (p == "even") return kParityEven;
    throw UsageError("invalid parity '" + p + "': expected none, odd or even");
}

std::string withoutSlotName(std::string text, const std::string& slot, const std::string& path) {
    std::string prefix = slot + " (" + path + "): ";
    if (text.rfind(prefix, 0) == 0) text = path + ": " + text.substr(prefix.size());
    return text;
}

std::string shellQuoted(const std::string& name) {
    bool plain = !name.empty(), control = false;
    for (char c : name) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F) {
            control = true;
            plain = false;
        } else if (!std::isalnum(u) && u < 0x80 && !std::strchr("-_./:@%+=,", c)) {
            plain = false;
        }
    }
    if (plain) return name;
    if (!control) {
        std::string out = "'";
        for (char c : name) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
        return out + "'";
    }
    std::string out = "$'";
    for (char c : name) {
        const auto u = static_cast<unsigned char>(c);
        switch (c) {
        case '\n':
            out += "\\n";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\\':
        case '\'':
            out += '\\';
            out += c;
            break;
        default:
            if (u < 0x20 || u == 0x7F) {
                char hex[8];
                std::snprintf(hex, sizeof hex, "\\x%02X", u);
                out += hex;
            } else {
                out += c;
            }
        }
    }
    return out + "'";
}

namespace {
// Set by the handler on whichever thread takes the signal, read by the command's threads: an
// atomic, lock-free and so safe in a signal handler.
std::atomic<int> gStop{0};
static_assert(std::atomic<int>::is_always_lock_free);
extern "C" void onStopSignal(int sig) {
    gStop.store(sig, std::memory_order_relaxed);
}
} // namespace

struct StopSignals::Saved {
    struct sigaction oldInt {
    }, oldTerm{}, oldPipe{};
};

StopSignals::StopSignals() : saved_(std::make_unique<Saved>()) {
    gStop.store(0);
    struct sigaction sa {};
    sa.sa_handler = onStopSignal;
    // A second Ctrl-C ends the program the usual way, should the clean stop hang (a log
    // written into a pipe nobody reads any more).
    sa.sa_flags = SA_RESETHAND;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, &saved_->oldInt);
    sigaction(SIGTERM, &sa, &saved_->oldTerm);
    struct sigaction ign {};
    ign.sa_handler = SIG_IGN;
    sigemptyset(&ign.sa_mask);
    sigaction(SIGPIPE, &ign, &saved_->oldPipe);
}

StopSignals::~StopSignals() {
    sigaction(SIGINT, &saved_->oldInt, nullptr);
    sigaction(SIGTERM, &saved_->oldTerm, nullptr);
    sigaction(SIGPIPE, &saved_->oldPipe, nullptr);
}

bool StopSignals::requested() {
    return gStop.load(std::memory_order_relaxed) != 0;
}

int StopSignals::signal() {
    return gStop.load(std::memory_order_relaxed);
}

const char* StopSignals::signalName() {
    const int sig = signal();
    switch (sig) {
    case SIGINT:
        return "SIGINT";
    case SIGTERM:
        return "SIGTERM";
    default:
        return sig ? "a signal" : "";
    }
}

bool lostAtWrite(SerialLink& link, bool hasReader) {
    if (!hasReader) {
        link.waitReadable(0);
        return link.lost();
    }
    for (int i = 0; i < 50 && !link.lost(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return link.lost();
}

} // namespace vx::cli
