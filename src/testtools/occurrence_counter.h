// "Count Occurrences in Log File": how often a packet with a given code, subcode, index and
// optional data occurs in a recorded byte file.
//
// A candidate starts at a byte 0x81. Relative to it, the code is at +1 and is always compared;
// the subcode at +2 is compared unless it is 0 ("any"); the index at +3 is compared unless it
// is 0 ("any"). With data checking, Byte # bytes are skipped after the header (after +3 when
// an index is compared, else after +2) and the next Length bytes must equal the data. A
// complete match counts one and the scan goes on after the last byte it read; a failed
// candidate is abandoned and the scan goes on at the byte after its 0x81, so a 0x81 inside a
// failed candidate starts a candidate of its own. Escapes in the file are not undone.
//
// The counter takes the file in pieces of any size (a candidate may straddle two pieces);
// OccurrenceScan reads a file a slice at a time so that a window can count a large file from
// a timer without freezing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace vx {

struct OccurrencePattern {
    uint8_t code = 0;
    uint8_t subcode = 0; // 0: any
    uint8_t index = 0;   // 0: any
    bool checkData = false;
    uint8_t skip = 0;          // "Byte #"
    std::vector<uint8_t> data; // "Data", "Length" bytes
};

// The texts of the count tool's fields.
struct OccurrenceFields {
    std::string_view code, subcode, index;
    bool checkData = false;
    std::string_view byteNumber, data, length;
};

// Reads the fields strictly (hexadecimal bytes; an empty Code, Subcode or Index is 0). With
// data checking, Byte # and Length must be given and Data must hold exactly Length bytes.
// Returns the error text (caption "Error"), or an empty string.
std::string readOccurrenceInput(const OccurrenceFields& fields, OccurrencePattern& out);

class OccurrenceCounter {
public:
    explicit OccurrenceCounter(OccurrencePattern pattern);

    // The next piece of the file.
    void feed(const uint8_t* bytes, size_t count);
    // The end of the file: a candidate still open is incomplete and does not count.
    void finish();
    uint64_t count() const { return count_; }

private:
    enum class Verdict { Match, NoMatch, NeedMore };
    // The candidate at p (p[0] is 0x81) with avail bytes from it; on a match, *length is the
    // number of bytes it read.
    Verdict matchAt(const uint8_t* p, size_t avail, size_t* length) const;

    OccurrencePattern pattern_;
    std::vector<uint8_t> carry_; // an unfinished candidate from the previous piece onwards
    uint64_t count_ = 0;
};

// Counts a file a slice at a time.
class OccurrenceScan {
public:
    static constexpr size_t kSliceBytes = 1 << 20;

    OccurrenceScan(OccurrencePattern pattern, std::string path);
    ~OccurrenceScan();
    OccurrenceScan(const OccurrenceScan&) = delete;
    OccurrenceScan& operator=(const OccurrenceScan&) = delete;

    // Opens the file; false with error() set ("/path/file: no such file or directory").
    bool open();
    // Reads and counts up to maxBytes; true when the file is done (or a read failed: error()).
    bool step(size_t maxBytes = kSliceBytes);
    bool done() const { return done_; }
    uint64_t count() const { return counter_.count(); }
    uint64_t bytesRead() const { return read_; }
    uint64_t fileSize() const { return size_; }
    const std::string& error() const { return error_; }

private:
    OccurrenceCounter counter_;
    std::string path_;
    std::FILE* file_ = nullptr;
    std::vector<uint8_t> buf_;
    uint64_t read_ = 0, size_ = 0;
    bool done_ = false;
    std::string error_;
};

} // namespace vx
