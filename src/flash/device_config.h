// The device flash configuration ("Diagnostics" window): the factory data written into the
// receiver's flash through its monitor (product information, hardware ID, customer data
// blocks) and the monitor's ROM and RAM tests. No Qt.
//
// Input is checked in full before anything is sent: a value that does not fit its field is
// refused with the message the window shows, and nothing reaches the flash.
//
// The sequences block their thread in the monitor's acknowledge waits (up to 3 s each); the
// window runs them on a worker thread and shows the status texts they report.
#pragma once

#include "link/monitor_ops.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vx {

// A refused input: the message box's caption (empty: the program's own) and text.
struct InputError {
    std::string title;
    std::string text;
    friend bool operator==(const InputError&, const InputError&) = default;
};

inline constexpr const char* kLengthExcess = "Length excess 16 bytes";
inline constexpr size_t kMaxHardwareId = 16;
inline constexpr size_t kMaxCustomerBytes = 128;
inline constexpr size_t kCustomerTextChars = 999; // the part of the data box that is read

// UTF-8 text as Latin-1 bytes; nullopt when a character is outside Latin-1 or the text is
// not valid UTF-8.
std::optional<std::string> latin1FromUtf8(std::string_view utf8);

// The product information fields (UTF-8): serial number (decimal, 0 to 4294967295), product
// name (at most 16 Latin-1 characters) and product date ("12/31/2007": two numbers of 0 to 255
// and a year of 0 to 65535, separated by "/"). Fills config, or returns why not.
std::optional<InputError> parseProductInfo(std::string_view serial, std::string_view name,
                                           std::string_view date, ProductConfig& config);
// The hardware ID (UTF-8): at most 16 Latin-1 characters. Fills id (Latin-1).
std::optional<InputError> parseHardwareId(std::string_view text, std::string& id);
// The customer data block number: hexadecimal, 0x01 to 0x7F.
std::optional<InputError> parseCustomerBlock(std::string_view text, uint8_t& block);
// The block's data: the first 999 characters of the box, split at blanks, tabs, carriage
// returns and line feeds, each a hexadecimal byte; 1 to 128 of them.
std::optional<InputError> parseCustomerData(std::string_view text, std::vector<uint8_t>& bytes);

// "Permanently write data block 0x%02X to ROM?"
std::string confirmBlockText(uint8_t block);

// Told the status texts of a sequence, on its thread.
class DiagEvents {
public:
    virtual ~DiagEvents() = default;
    virtual void status(const std::string& text) = 0;
};

// Showing the window: the receiver is forced to its monitor with the receive worker held
// (pause, purge, Force to Monitor (0303), 100 ms, then what it sent before it entered the
// monitor is dropped, so that no byte of a report or of the acknowledgement is taken for a
// monitor answer). False when the link does not run or the command was not
// sent.
bool enterDiagnosticsMonitor(MonitorLink& link);
// Closing it: the receiver is restarted, and a second later the receive worker goes on.
void leaveDiagnosticsMonitor(MonitorLink& link);

// The flash daemon, started before every write: "Loading Daemon" / "Loading Daemon Error",
// "Daemon is running" / "Daemon is not running".
bool startDaemon(MonitorLink& link, DiagEvents& events);
// The writes: the daemon, the record, "Writing ..." and "... set completed" or "... set error".
bool writeProductInfo(MonitorLink& link, const ProductConfig& config, DiagEvents& events);
bool writeHardwareId(MonitorLink& link, const std::string& id, DiagEvents& events);
bool writeCustomerData(MonitorLink& link, uint8_t block, const std::vector<uint8_t>& bytes,
                       DiagEvents& events);
// The monitor's tests (no daemon): true when the receiver acknowledged within 3 s.
bool runRomTest(MonitorLink& link);
bool runRamTest(MonitorLink& link);

} // namespace vx
