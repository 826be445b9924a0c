// Shared pieces of the `vexor` command-line tool.
#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace vx {
class SerialLink;
}

namespace vx::cli {

// A usage error: printed as one line on stderr, exit status 2.
struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Exit statuses.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

// A hexadecimal byte ("0x85", "85", "5"); throws UsageError naming what for.
uint8_t parseHexByte(const std::string& text, const char* what);
// A hexadecimal value up to max.
uint32_t parseHex(const std::string& text, const char* what, uint32_t max);
// A decimal number within [min, max].
double parseNumber(const std::string& text, const char* what, double min, double max);

// True when args holds "--help" or "-h".
bool wantsHelp(const std::vector<std::string>& args);

// A baud rate the link supports (4800, 9600, 19200, 38400, 115200); throws UsageError.
int32_t parseBaud(const std::string& text);
// "none", "odd" or "even" as the link's parity code; throws UsageError.
uint8_t parseParity(const std::string& text);
// The link names a port by its COM slot ("COM1 (/dev/ttyUSB0): ..."); on the command line the
// path alone is clearer.
std::string withoutSlotName(std::string text, const std::string& slot, const std::string& path);

// A file or device name for a message, quoted as a shell would need it: as it is when it holds
// only letters, digits and -_./:@%+=, (or bytes of UTF-8 characters); else in single quotes;
// with $'...' and backslash escapes when it holds control characters (a newline never splits
// a message line).
std::string shellQuoted(const std::string& name);

// After a send the link refused: true when the device has gone away. A write can see it before
// the reader does (a receiver that vanishes just before a request), so the reader is given a
// moment to notice; a link without a reader looks at the port itself.
bool lostAtWrite(SerialLink& link, bool hasReader);

// While it lives: SIGINT and SIGTERM ask the command to stop (requested()); a second one then
// has its default effect. SIGPIPE is ignored (a closed output pipe then ends the run through a
// failed write, with the link stopped). The old dispositions come back when it goes.
class StopSignals {
public:
    StopSignals();
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;
    static bool requested();
    // The signal that asked to stop (SIGINT or SIGTERM), 0 for none; and its name.
    static int signal();
    static const char* signalName();

private:
    struct Saved;
    std::unique_ptr<Saved> saved_;
};

// Subcommands: each takes the arguments after its name and returns the exit status.
int cmdEncode(const std::vector<std::string>& args);
int cmdDecode(const std::vector<std::string>& args);
int cmdStats(const std::vector<std::string>& args);
int cmdSim(const std::vector<std::string>& args);
// Over the console's serial link and receive worker (cmd_link.cpp).
int cmdMonitor(const std::vector<std::string>& args);
int cmdStatsLink(const std::vector<std::string>& args); // vexor stats --link
// One command over the serial link, waiting for its answer (cmd_send.cpp).
int cmdSend(const std::vector<std::string>& args);
// The data logs of a recording or a live port (cmd_log.cpp).
int cmdLog(const std::vector<std::string>& args);
// Receiver configuration profiles: save, verify, apply, diff (cmd_config.cpp).
int cmdConfig(const std::vector<std::string>& args);
// BBRAM save and upload through the receiver's monitor (cmd_bbram.cpp).
int cmdBbram(const std::vector<std::string>& args);

// vexor nmea: the NMEA output without a display.
int cmdNmea(const std::vector<std::string>& args);

} // namespace vx::cli
