// The almanac file: the receiver's 34 almanac pages (code 0x28) as a plain byte sequence, the
// page of each satellite 1..32 (subcode 0x12) in SV order, then the ION/UTC page (0x14), then
// page 0x13. Each record is either framed (the VEXOR frame exactly as the receiver sends the
// page: 0x81, 0x28, subcode, escaped payload, escaped checksum, 0x82) or stripped (0x28, the
// subcode, the payload unescaped). A file that starts with 0xFF 0xFF is an incomplete download.
//
// An upload parses the whole file before anything is sent, and a download collects the pages
// by satellite and writes them in this order when it ends, so a file this console writes always
// uploads again unchanged.
#pragma once

#include "link/catalogue.h"

#include <array>
#include <bitset>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace vx {

inline constexpr int kAlmanacSvCount = 32;
inline constexpr int kAlmanacPageCount = 34;
// Payload lengths after the subcode.
inline constexpr size_t kAlmanacSvPayload = 27;
inline constexpr size_t kAlmanacPage13Payload = 50;
inline constexpr size_t kAlmanacPage14Payload = 26;

enum class AlmanacFileForm { Framed, Stripped };

// The whole almanac: every page.
struct AlmanacPages {
    std::array<AlmanacSvPage, kAlmanacSvCount> sv{}; // in file order
    AlmanacPage14 ionUtc{};
    AlmanacPage13 page13{};
};

// Parses a whole file: 34 records in the order above, all of one form, each with its header
// and exact length, every SV number 1..32 and none twice, framed records with a good checksum
// and valid escapes, nothing after the last record. Nothing when any of it fails (an
// incomplete download's 0xFF 0xFF fails at once).
std::optional<AlmanacPages> parseAlmanacFile(std::span<const uint8_t> bytes);

// One record in the given form: code 0x28, subcode, payload.
std::vector<uint8_t> almanacRecord(uint8_t subcode, std::span<const uint8_t> payload,
                                   AlmanacFileForm form);

// The pages of a download as they arrive, kept by satellite. Page index 1..32 = that SV's
// page, 33 = page 0x13, 34 = page 0x14.
class AlmanacDownload {
public:
    // Keeps a received page's payload (after the subcode). False, and nothing kept, for a
    // subcode other than 0x12..0x14, a payload of the wrong length, or an SV number outside
    // 1..32.
    bool receive(uint8_t subcode, std::span<const uint8_t> payload);
    bool has(int page) const { return page >= 1 && page <= kAlmanacPageCount && got_[page]; }
    bool complete() const;
    int received() const;
    // The file: the pages received in canonical order; when any page is missing its first two
    // bytes are overwritten with 0xFF 0xFF (an incomplete download never uploads).
    std::vector<uint8_t> file(AlmanacFileForm form) const;

private:
    std::array<std::vector<uint8_t>, kAlmanacPageCount + 1> payload_;
    std::bitset<kAlmanacPageCount + 1> got_;
};

// The 34 Set frames of an upload (in file order, the source written into the low three bits
// of every page status byte) or of a clear (every byte 0 but the SV numbers 1..32), each
// followed by pauseMs.
PacedScript almanacUploadScript(const AlmanacPages& pages, uint8_t source, int pauseMs);
PacedScript almanacClearScript(int pauseMs);
// The 34 Queries of a download: 2812 for SV 1..32, 2814, 2813, each followed by pauseMs.
PacedScript almanacDownloadScript(int pauseMs);

// The page index (1..34) an acknowledgement of a Set 0x28 names: the SV of its index byte for
// 0x12, 33 for 0x13, 34 for 0x14; 0 for anything else.
int almanacAckPage(uint8_t subcode, uint8_t index);

} // namespace vx
