// The buffered DR test's log: the 3002 reports logged during the test go to a temporary file;
// when the 3003 that answers the test's query comes, the log file gets the metres per radian
// at its position, the 3003 summary, then the logged 3002 lines. Comma-separated text, lines
// ended with CR LF. Qt-free; the window and the tests drive it.
#pragma once

#include "link/records.h"

#include <cstdint>
#include <cstdio>
#include <string>

namespace vx {

// Metres per radian of longitude and of latitude at a latitude (WGS-84 ellipsoid).
struct MetresPerRadian {
    double longitude = 0, latitude = 0;
};
MetresPerRadian metresPerRadian(double latitudeRad);

// The head of the log: metres per radian, then the 3003's fields and its twenty samples; each
// part followed by an empty line.
std::string bufferedDrSummary(const BufferedDrRecord& r);
// The column header of the 3002 lines, and one 3002 line (CR LF included).
extern const char* const kBufferedDrHeader;
std::string bufferedDrLine(const DrDataRecord& r);

class BufferedDrLog {
public:
    BufferedDrLog() = default;
    ~BufferedDrLog() { close(); }
    BufferedDrLog(const BufferedDrLog&) = delete;
    BufferedDrLog& operator=(const BufferedDrLog&) = delete;

    // Creates (or empties) the log file and a temporary file for the 3002 lines. On failure
    // returns the reason ("/path: Permission denied") and keeps nothing open.
    std::string open(const std::string& path);
    bool isOpen() const { return log_ != nullptr; }
    // Adds a 3002 line to the temporary file (the header before the first). False when the
    // write failed.
    bool add(const DrDataRecord& r);
    uint32_t lines() const { return lines_; }
    // Writes the summary of r and the logged lines to the log file and closes both files.
    // Returns an empty string, or the reason the log could not be written (both closed).
    std::string finish(const BufferedDrRecord& r);
    // Closes both files; the log file stays as far as it was written.
    void close();

private:
    std::FILE* log_ = nullptr;
    std::FILE* temp_ = nullptr;
    std::string path_;
    uint32_t lines_ = 0;
    bool tempFailed_ = false;
};

} // namespace vx
