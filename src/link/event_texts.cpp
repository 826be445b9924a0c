#include "link/event_texts.h"

#include <algorithm>

namespace vx {

const std::vector<SoftEvent>& softEventTable() {
    static const std::vector<SoftEvent> table = {
        {0x00, "No event recorded in this entry."},
        {0x01, "System performed a warm reset."},
        {0x02, "System performed a cold reset."},
        {0x03, "System performed a factory reset."},
        {0x04, "System shut down by command."},
        {0x05, "Invalid BBRAM detected on startup."},
        {0x06, "System performed graceful shutdown."},
        {0x10, "System passed all diagnostic tests."},
        {0x11, "Begin system test."},
        {0x12, "Indicates the end of a test event."},
        {0x20, "Force to monitor command was executed."},
        {0x40, "GPS receives the first fix on start up."},
        {0x42, "Solution snapped to GPS-DR."},
        {0x43, "Position recovery, snapped to GPS."},
        {0x44, "Heading recovery, snapped to GPS."},
        {0x45, "DPP recovery, snapped to GPS."},
        {0x46, "ZRO recovery."},
        {0x50, "User entered time on startup."},
        {0x51, "User entered position on startup."},
        {0x61, "GPS receiver over COCOM limit and try to recover."},
        {0x62, "Gyro readings do not stay within specification."},
        {0x63, "No Tacho data when GPS is detecting movement."},
        {0x64, "Excessive tacho data is received for a long period of time."},
        {0x65, "Reverse signal opposite to direction determined by GPS."},
        {0x66, "Large or numerous jumps."},
        {0x67, "Oscillator values are not within specification."},
        {0x70, "Antenna open detected."},
        {0x71, "Antenna short detected."},
        {0x72, "Failure to connect to GPS DSP."},
        {0x73, "RTC disagreed with GPS time."},
        {0x74, "Gyro failed on self-test."},
        {0x75, "A2D failed on self-test."},
        {0x76, "Gyro reads 3.3 V consistently."},
        {0x77, "Rate set to value other than 5 or 10 Hz."},
        {0x78, "Master data checksum failed."},
        {0x79, "Backup data checksum failed."},
        {0x7A, "Master data and backup data differ."},
        {0x80, "BBRAM checksum calculation failed."},
        {0x81, "Flash checksum calculation failed."},
        {0x82, "BBRAM defaults loaded."},
        {0x83, "No defaults, BBRAM data set to 0."},
        {0x84, "Copy to data master failed."},
        {0x85, "Copy to data backup failed."},
        {0x86, "Semaphore: Create."},
        {0x87, "Semaphore: Get."},
        {0x88, "Semaphore: Release."},
        {0xFF, "No event in log."},
    };
    return table;
}

const std::vector<FatalError>& fatalErrorTable() {
    static const std::vector<FatalError> table = {
        {0x0000, "No event recorded in this entry."},
        {0x1000, "Illegal hardware interrupt."},
        {0x1200, "RAM failed on self-test."},
        {0x1201, "ROM failed on checksum test."},
        {0x1300, "Gyro failed on self-test."},
        {0x1301, "A2D failed on self-test."},
        {0x2001, "Failure on acquiring a semaphore."},
        {0x2002, "Failure on releasing a semaphore."},
        {0x2003, "Failure on sending a message."},
        {0x2004, "Failure on receiving a message."},
        {0x2005, "Failure on deleting a message queue."},
        {0x2006, "Failure to remove task from system."},
        {0x2007, "Failure on suspending a task."},
        {0x2008, "Failure on resuming a task."},
        {0x2009, "Failure on creating a semaphore."},
        {0x200A, "Failure to connect to Io cell."},
        {0x200B, "Failure to create a task."},
        {0x200C, "Failure on memory allocation."},
        {0x2120, "A given message queue is full."},
        {0x2121, "Failure to open serial port."},
        {0x4001, "COCOM event, no recovery."},
        {0x4003, "Other error in navigation library."},
    };
    return table;
}

namespace {
template <class Table, class Code>
std::optional<std::string_view> lookup(const Table& table, Code code) {
    auto it = std::lower_bound(table.begin(), table.end(), code,
                               [](const auto& e, Code c) { return e.code < c; });
    if (it != table.end() && it->code == code) return it->text;
    return std::nullopt;
}
} // namespace

std::optional<std::string_view> softEventText(uint8_t code) {
    return lookup(softEventTable(), code);
}

std::optional<std::string_view> fatalErrorText(uint16_t code) {
    return lookup(fatalErrorTable(), code);
}

std::optional<uint8_t> softEventCode(std::string_view text) {
    for (const auto& e : softEventTable())
        if (e.text == text) return e.code;
    return std::nullopt;
}

std::vector<std::string_view> softEventTexts() {
    std::vector<std::string_view> out;
    out.reserve(softEventTable().size());
    for (const auto& e : softEventTable()) out.push_back(e.text);
    return out;
}

} // namespace vx
