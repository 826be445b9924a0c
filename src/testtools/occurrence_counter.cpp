#include "testtools/occurrence_counter.h"

#include "link/framing.h"
#include "testtools/generic_packet.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>

namespace vx {

namespace {

bool blank(std::string_view s) {
    for (char c : s)
        if (c != ' ' && c != '\t' && c != '\r' && c != '\n') return false;
    return true;
}

// An optional hexadecimal byte: empty is 0.
bool readByteField(std::string_view text, uint8_t& out) {
    if (blank(text)) {
        out = 0;
        return true;
    }
    std::optional<uint8_t> b = parseHexByte(text);
    if (!b) return false;
    out = *b;
    return true;
}

} // namespace

std::string readOccurrenceInput(const OccurrenceFields& f, OccurrencePattern& out) {
    OccurrencePattern p;
    if (!readByteField(f.code, p.code)) return "Code: not a valid hexadecimal byte.";
    if (!readByteField(f.subcode, p.subcode)) return "Subcode: not a valid hexadecimal byte.";
    if (!readByteField(f.index, p.index)) return "Index: not a valid hexadecimal byte.";
    p.checkData = f.checkData;
    if (p.checkData) {
        std::optional<uint8_t> skip = parseHexByte(f.byteNumber);
        if (!skip) return "Byte #: not a valid hexadecimal byte.";
        std::optional<uint8_t> length = parseHexByte(f.length);
        if (!length) return "Length: not a valid hexadecimal byte.";
        p.skip = *skip;
        std::vector<uint8_t> data;
        // parseHexData stops at 128 bytes; Length is at most 0xFF.
        size_t i = 0;
        std::string_view d = f.data;
        while (i < d.size()) {
            while (i < d.size() && (d[i] == ' ' || d[i] == '\t' || d[i] == '\r' || d[i] == '\n'))
                ++i;
            if (i == d.size()) break;
            size_t end = i;
            while (end < d.size() && d[end] != ' ' && d[end] != '\t' && d[end] != '\r' &&
                   d[end] != '\n')
                ++end;
            std::optional<uint8_t> b = parseHexByte(d.substr(i, end - i));
            if (!b) return "Data: not a list of hexadecimal bytes.";
            data.push_back(*b);
            i = end;
        }
        if (data.size() != *length)
            return "Data: " + std::to_string(data.size()) + " bytes given, Length asks for " +
                   std::to_string(int(*length)) + ".";
        p.data = std::move(data);
    }
    out = std::move(p);
    return {};
}

// ---- OccurrenceCounter ----------------------------------------------------------------------

OccurrenceCounter::OccurrenceCounter(OccurrencePattern pattern) : pattern_(std::move(pattern)) {}

OccurrenceCounter::Verdict OccurrenceCounter::matchAt(const uint8_t* p, size_t avail,
                                                      size_t* length) const {
    const OccurrencePattern& q = pattern_;
    // Compares the byte at offset with want; NeedMore when it is not there yet.
    auto check = [&](size_t offset, uint8_t want) {
        if (offset >= avail) return Verdict::NeedMore;
        return p[offset] == want ? Verdict::Match : Verdict::NoMatch;
    };
    size_t last = 1;
    if (Verdict v = check(1, q.code); v != Verdict::Match) return v;
    if (q.subcode != 0) {
        if (Verdict v = check(2, q.subcode); v != Verdict::Match) return v;
        last = 2;
    }
    if (q.index != 0) {
        if (Verdict v = check(3, q.index); v != Verdict::Match) return v;
        last = 3;
    }
    if (q.checkData) {
        size_t at = (q.index != 0 ? 4 : 3) + q.skip;
        for (uint8_t want : q.data) {
            if (Verdict v = check(at, want); v != Verdict::Match) return v;
            ++at;
        }
        // The skipped bytes are read even when there is no data to compare.
        if (at - 1 > last) {
            if (at - 1 >= avail) return Verdict::NeedMore;
            last = at - 1;
        }
    }
    *length = last + 1;
    return Verdict::Match;
}

void OccurrenceCounter::feed(const uint8_t* bytes, size_t count) {
    const uint8_t* p;
    size_t n;
    if (carry_.empty()) {
        p = bytes;
        n = count;
    } else {
        carry_.insert(carry_.end(), bytes, bytes + count);
        p = carry_.data();
        n = carry_.size();
    }
    size_t i = 0;
    size_t keepFrom = n; // where the unfinished candidate starts, if any
    while (i < n) {
        const void* s = std::memchr(p + i, kStart, n - i);
        if (!s) break;
        i = size_t(static_cast<const uint8_t*>(s) - p);
        size_t len = 0;
        Verdict v = matchAt(p + i, n - i, &len);
        if (v == Verdict::NeedMore) {
            // Every candidate needs the same number of bytes: none after this one can finish
            // in this piece either.
            keepFrom = i;
            break;
        }
        if (v == Verdict::Match) {
            ++count_;
            i += len;
        } else {
            ++i;
        }
    }
    std::vector<uint8_t> rest(p + keepFrom, p + n);
    carry_ = std::move(rest);
}

void OccurrenceCounter::finish() {
    carry_.clear();
}

// ---- OccurrenceScan -------------------------------------------------------------------------

OccurrenceScan::OccurrenceScan(OccurrencePattern pattern, std::string path)
    : counter_(std::move(pattern)), path_(std::move(path)) {}

OccurrenceScan::~OccurrenceScan() {
    if (file_) std::fclose(file_);
}

bool OccurrenceScan::open() {
    file_ = std::fopen(path_.c_str(), "rb");
    if (!file_) {
        error_ = path_ + ": " + std::strerror(errno);
        done_ = true;
        return false;
    }
    if (std::fseek(file_, 0, SEEK_END) == 0) {
        long end = std::ftell(file_);
        if (end > 0) size_ = uint64_t(end);
        std::fseek(file_, 0, SEEK_SET);
    }
    buf_.resize(kSliceBytes);
    return true;
}

bool OccurrenceScan::step(size_t maxBytes) {
    if (done_ || !file_) return true;
    size_t want = std::min(maxBytes, buf_.size());
    size_t got = std::fread(buf_.data(), 1, want, file_);
    if (got > 0) {
        counter_.feed(buf_.data(), got);
        read_ += got;
    }
    if (got < want) {
        if (std::ferror(file_)) error_ = path_ + ": read error: " + std::strerror(errno);
        counter_.finish();
        std::fclose(file_);
        file_ = nullptr;
        done_ = true;
    }
    return done_;
}

} // namespace vx
