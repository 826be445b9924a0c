// The lines of a long-running text window (the error window's refused frames), kept compactly
// and capped by size rather than by count.
//
// Lines go into blocks of text (blockBytes each; a line is never split across blocks) with
// one 4-byte end offset per line, so a line costs its characters and 4 bytes. When the text
// held would pass the cap, the oldest whole blocks are dropped, a block at a time, and
// counted: the window then says "N older lines dropped." (droppedNote). What is dropped is
// given back to the allocator at once, so memory falls back when the window is cleared.
//
// Not thread-safe: one owner (the window) appends, reads and clears.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

namespace vx {

class LineStore {
public:
    static constexpr size_t kDefaultCapBytes = size_t(32) << 20; // 32 MiB of text
    static constexpr size_t kDefaultBlockBytes = size_t(1) << 20;

    explicit LineStore(size_t capBytes = kDefaultCapBytes, size_t blockBytes = kDefaultBlockBytes);

    // Appends one line (without its line end).
    void append(std::string_view line);
    // Drops every line; the dropped count starts again from 0.
    void clear();

    // Lines held now, the oldest first: line(0) .. line(size() - 1). A view stays valid
    // until the next append or clear.
    size_t size() const { return size_t(appended_ - dropped_); }
    bool empty() const { return size() == 0; }
    std::string_view line(size_t i) const;
    std::string_view back() const { return line(size() - 1); }

    // Lines appended and dropped since the last clear.
    uint64_t appended() const { return appended_; }
    uint64_t dropped() const { return dropped_; }
    // "1,234 older lines dropped.", or empty when none were.
    std::string droppedNote() const;

    // Characters held, and the memory the store holds for them (blocks and offset tables).
    size_t textBytes() const { return textBytes_; }
    size_t memoryBytes() const;
    size_t capBytes() const { return cap_; }

private:
    struct Block {
        uint64_t firstLine = 0;     // number of its first line since the last clear
        std::string text;           // the lines' characters, back to back
        std::vector<uint32_t> ends; // end offset of each line in text
    };
    void dropOldest();

    size_t cap_;
    size_t blockBytes_;
    std::deque<Block> blocks_;
    uint64_t appended_ = 0;
    uint64_t dropped_ = 0;
    size_t textBytes_ = 0;
};

// n with a comma between groups of three digits: 1234567 -> "1,234,567".
std::string groupedNumber(uint64_t n);

} // namespace vx
