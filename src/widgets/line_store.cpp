#include "widgets/line_store.h"

#include <algorithm>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace vx {

LineStore::LineStore(size_t capBytes, size_t blockBytes)
    : cap_(std::max<size_t>(capBytes, 1)), blockBytes_(std::max<size_t>(blockBytes, 1)) {}

void LineStore::append(std::string_view text) {
    if (blocks_.empty() || blocks_.back().text.size() + text.size() > blockBytes_) {
        Block b;
        b.firstLine = appended_;
        // A line longer than a block gets a block of its own size.
        b.text.reserve(std::max(blockBytes_, text.size()));
        blocks_.push_back(std::move(b));
    }
    Block& b = blocks_.back();
    b.text.append(text);
    b.ends.push_back(uint32_t(b.text.size()));
    ++appended_;
    textBytes_ += text.size();
    // The newest block always stays, so the newest line is always held.
    while (textBytes_ > cap_ && blocks_.size() > 1) dropOldest();
}

void LineStore::dropOldest() {
    const Block& b = blocks_.front();
    dropped_ += b.ends.size();
    textBytes_ -= b.text.size();
    blocks_.pop_front();
}

void LineStore::clear() {
    blocks_.clear();
    blocks_.shrink_to_fit();
    appended_ = dropped_ = 0;
    textBytes_ = 0;
    // The blocks are below the allocator's mmap threshold once it has risen (it follows the
    // sizes freed), so their pages stay in the heap's free lists, between blocks still in use,
    // and resident memory would stay high after Clear. Hand the free pages back to the system.
#if defined(__GLIBC__)
    malloc_trim(0);
#endif
}

std::string_view LineStore::line(size_t i) const {
    if (i >= size()) return {};
    const uint64_t n = dropped_ + i;
    // The last block whose first line is not after n.
    auto it = std::upper_bound(blocks_.begin(), blocks_.end(), n,
                               [](uint64_t v, const Block& b) { return v < b.firstLine; });
    const Block& b = *(it - 1);
    const size_t k = size_t(n - b.firstLine);
    const size_t begin = k == 0 ? 0 : b.ends[k - 1];
    return std::string_view(b.text).substr(begin, b.ends[k] - begin);
}

size_t LineStore::memoryBytes() const {
    size_t m = sizeof *this;
    for (const Block& b : blocks_)
        m += sizeof b + b.text.capacity() + b.ends.capacity() * sizeof(uint32_t);
    return m;
}

std::string LineStore::droppedNote() const {
    if (dropped_ == 0) return {};
    return groupedNumber(dropped_) + " older lines dropped.";
}

std::string groupedNumber(uint64_t n) {
    std::string digits = std::to_string(n);
    std::string out;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
        out += digits[i];
    }
    return out;
}

} // namespace vx
