// Shared pieces of the `vexor` command-line tool.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

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

} // namespace vx::cli
