#include "config/almanac_file.h"

#include <algorithm>
#include <cstring>

namespace vx {

namespace {

constexpr uint8_t kAlmanacCode = 0x28;
constexpr uint8_t kSvPage = 0x12;
constexpr uint8_t kPage13 = 0x13;
constexpr uint8_t kIonUtcPage = 0x14;

size_t payloadLength(uint8_t subcode) {
    switch (subcode) {
    case kSvPage:
        return kAlmanacSvPayload;
    case kPage13:
        return kAlmanacPage13Payload;
    case kIonUtcPage:
        return kAlmanacPage14Payload;
    default:
        return 0;
    }
}

// Reads one record of a known form from bytes at pos; the payload (after the subcode) into
// out. False when the record is not there whole and sound.
bool readRecord(std::span<const uint8_t> bytes, size_t& pos, AlmanacFileForm form, uint8_t subcode,
                std::vector<uint8_t>& out) {
    const size_t n = payloadLength(subcode);
    if (form == AlmanacFileForm::Stripped) {
        if (bytes.size() - pos < n + 2) return false;
        if (bytes[pos] != kAlmanacCode || bytes[pos + 1] != subcode) return false;
        out.assign(bytes.begin() + long(pos + 2), bytes.begin() + long(pos + 2 + n));
        pos += n + 2;
        return true;
    }
    // Framed: unescape up to the end byte, then check header, length and checksum.
    if (pos >= bytes.size() || bytes[pos] != kStart) return false;
    std::vector<uint8_t> frame{kStart};
    size_t i = pos + 1;
    for (;;) {
        if (i >= bytes.size()) return false;
        uint8_t b = bytes[i++];
        if (b == kEnd) break;
        if (b == kStart) return false;
        if (b == kEscape) {
            if (i >= bytes.size() || bytes[i] > 0x07) return false;
            b = uint8_t(kEscape + bytes[i++]);
        }
        frame.push_back(b);
        if (frame.size() > n + 5) return false; // longer than the page can be
    }
    frame.push_back(kEnd);
    // 0x81, code, subcode, payload, checksum, 0x82.
    if (frame.size() != n + 5 || frame[1] != kAlmanacCode || frame[2] != subcode) return false;
    if (checkFrame(frame.data(), frame.size()) != kFrameOk) return false;
    out.assign(frame.begin() + 3, frame.begin() + 3 + long(n));
    pos = i;
    return true;
}

AlmanacBlock block(const uint8_t* p) {
    AlmanacBlock b{};
    std::memcpy(b.data(), p, b.size());
    return b;
}

} // namespace

std::optional<AlmanacPages> parseAlmanacFile(std::span<const uint8_t> bytes) {
    if (bytes.empty()) return std::nullopt;
    const AlmanacFileForm form =
        bytes[0] == kStart ? AlmanacFileForm::Framed : AlmanacFileForm::Stripped;
    AlmanacPages pages;
    std::bitset<kAlmanacSvCount + 1> seen;
    std::vector<uint8_t> p;
    size_t pos = 0;
    for (AlmanacSvPage& sv : pages.sv) {
        if (!readRecord(bytes, pos, form, kSvPage, p)) return std::nullopt;
        if (p[0] < 1 || p[0] > kAlmanacSvCount || seen[p[0]]) return std::nullopt;
        seen.set(p[0]);
        sv.sv = p[0];
        sv.status = p[1];
        sv.extra = p[2];
        sv.data = block(&p[3]);
    }
    if (!readRecord(bytes, pos, form, kIonUtcPage, p)) return std::nullopt;
    pages.ionUtc.status = p[0];
    pages.ionUtc.extra = p[1];
    pages.ionUtc.data = block(&p[2]);
    if (!readRecord(bytes, pos, form, kPage13, p)) return std::nullopt;
    pages.page13.status = p[0];
    pages.page13.extra = p[1];
    pages.page13.first = block(&p[2]);
    pages.page13.second = block(&p[26]);
    if (pos != bytes.size()) return std::nullopt;
    return pages;
}

std::vector<uint8_t> almanacRecord(uint8_t subcode, std::span<const uint8_t> payload,
                                   AlmanacFileForm form) {
    if (form == AlmanacFileForm::Stripped) {
        std::vector<uint8_t> r{kAlmanacCode, subcode};
        r.insert(r.end(), payload.begin(), payload.end());
        return r;
    }
    std::vector<uint8_t> r(2 * payload.size() + 16);
    PacketEncoder e(r.data(), r.size());
    e.startFrame(kAlmanacCode, subcode);
    for (uint8_t b : payload) e.addByte(b);
    e.finishFrame();
    r.resize(e.position());
    return r;
}

bool AlmanacDownload::receive(uint8_t subcode, std::span<const uint8_t> payload) {
    const size_t n = payloadLength(subcode);
    if (n == 0 || payload.size() != n) return false;
    int page = subcode == kPage13 ? 33 : subcode == kIonUtcPage ? 34 : 0;
    if (subcode == kSvPage) {
        if (payload[0] < 1 || payload[0] > kAlmanacSvCount) return false;
        page = payload[0];
    }
    payload_[size_t(page)].assign(payload.begin(), payload.end());
    got_.set(size_t(page));
    return true;
}

int AlmanacDownload::received() const {
    return int(got_.count());
}

bool AlmanacDownload::complete() const {
    return received() == kAlmanacPageCount;
}

std::vector<uint8_t> AlmanacDownload::file(AlmanacFileForm form) const {
    std::vector<uint8_t> out;
    auto put = [&](int page, uint8_t subcode) {
        if (!got_[size_t(page)]) return;
        const std::vector<uint8_t> r = almanacRecord(subcode, payload_[size_t(page)], form);
        out.insert(out.end(), r.begin(), r.end());
    };
    for (int sv = 1; sv <= kAlmanacSvCount; ++sv) put(sv, kSvPage);
    put(34, kIonUtcPage);
    put(33, kPage13);
    if (!complete()) {
        if (out.size() < 2) out.resize(2);
        out[0] = 0xFF;
        out[1] = 0xFF;
    }
    return out;
}

namespace {
uint8_t withSource(uint8_t status, uint8_t source) {
    return uint8_t((status & ~7u) | (source & 7u));
}
} // namespace

PacedScript almanacUploadScript(const AlmanacPages& pages, uint8_t source, int pauseMs) {
    PacedScript script;
    for (AlmanacSvPage sv : pages.sv) {
        sv.status = withSource(sv.status, source);
        script.push_back(stepOf([sv](FrameSink& s) { return uploadAlmanac12(s, sv); }, pauseMs));
    }
    AlmanacPage14 ion = pages.ionUtc;
    ion.status = withSource(ion.status, source);
    script.push_back(stepOf([ion](FrameSink& s) { return uploadAlmanac14(s, ion); }, pauseMs));
    AlmanacPage13 p13 = pages.page13;
    p13.status = withSource(p13.status, source);
    script.push_back(stepOf([p13](FrameSink& s) { return uploadAlmanac13(s, p13); }, pauseMs));
    return script;
}

PacedScript almanacClearScript(int pauseMs) {
    AlmanacPages zero;
    for (int i = 0; i < kAlmanacSvCount; ++i) zero.sv[size_t(i)].sv = uint8_t(i + 1);
    return almanacUploadScript(zero, 0, pauseMs);
}

PacedScript almanacDownloadScript(int pauseMs) {
    PacedScript script;
    for (int sv = 1; sv <= kAlmanacSvCount; ++sv) {
        script.push_back(
            stepOf([sv](FrameSink& s) { return queryAlmanac(s, kSvPage, uint8_t(sv)); }, pauseMs));
    }
    script.push_back(stepOf([](FrameSink& s) { return queryAlmanac(s, kIonUtcPage); }, pauseMs));
    script.push_back(stepOf([](FrameSink& s) { return queryAlmanac(s, kPage13); }, pauseMs));
    return script;
}

int almanacAckPage(uint8_t subcode, uint8_t index) {
    switch (subcode) {
    case kSvPage:
        return index >= 1 && index <= kAlmanacSvCount ? index : 0;
    case kPage13:
        return 33;
    case kIonUtcPage:
        return 34;
    default:
        return 0;
    }
}

} // namespace vx
