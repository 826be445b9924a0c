#include "console/report_view.h"

#include "link/catalogue.h"

#include <cstdarg>
#include <cstdio>

namespace vx {

namespace {

std::string vformat(const char* fmt, va_list ap) {
    char buf[256];
    va_list copy;
    va_copy(copy, ap);
    const int n = std::vsnprintf(buf, sizeof buf, fmt, copy);
    va_end(copy);
    if (n < 0) return {};
    if (size_t(n) < sizeof buf) return std::string(buf, size_t(n));
    std::string big(size_t(n) + 1, '\0');
    std::vsnprintf(big.data(), big.size(), fmt, ap);
    big.resize(size_t(n));
    return big;
}

} // namespace

std::string formatText(const char* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    std::string s = vformat(fmt, ap);
    va_end(ap);
    return s;
}

std::string captionName(std::string_view label) {
    while (!label.empty() && (label.back() == ':' || label.back() == ' ')) label.remove_suffix(1);
    return std::string(label);
}

namespace {
PacedScript scriptOf(std::span<const QueryFrame> frames, int pauseMs) {
    PacedScript script;
    for (size_t i = 0; i < frames.size(); ++i) {
        const QueryFrame& f = frames[i];
        CommandFrame frame(kCmdQuery, f.code, f.subcode);
        if (f.second) frame.byte(*f.second);
        script.push_back({frame.toBytes(), i + 1 < frames.size() ? pauseMs : 0});
    }
    return script;
}
} // namespace

PacedScript queryFrames(const ViewQuery& q) {
    return scriptOf(q.frames, q.pauseMs);
}

QueryScript queryScript(const ViewQuery& q, const ViewInputs& in) {
    if (!q.build) return {scriptOf(q.frames, q.pauseMs), {}};
    const QueryBuild b = q.build(in);
    if (!b.error.empty()) return {{}, b.error};
    return {scriptOf(b.frames, q.pauseMs), {}};
}

// ---- ViewSpec -----------------------------------------------------------------------------------

size_t ViewSpec::slotCount() const {
    return items.size() + (table ? size_t(table->rows) * table->columns.size() : 0);
}

std::string ViewSpec::slotName(uint16_t slot) const {
    if (slot < items.size()) return items[slot].name;
    if (!table || slot >= slotCount()) return {};
    const size_t i = slot - items.size();
    const size_t n = table->columns.size();
    return std::string(table->columns[i % n].prefix) + std::to_string(i / n + 1);
}

ItemKind ViewSpec::slotKind(uint16_t slot) const {
    if (slot < items.size()) return items[slot].kind;
    const size_t i = slot - items.size();
    return table->columns[i % table->columns.size()].kind;
}

std::string ViewSpec::slotCaption(uint16_t slot) const {
    if (slot < items.size()) return captionName(items[slot].label);
    if (!table || slot >= slotCount()) return {};
    const size_t i = slot - items.size();
    const size_t n = table->columns.size();
    return std::string(table->columns[i % n].heading) + " " + std::to_string(i / n + 1);
}

std::optional<uint16_t> ViewSpec::slotByName(std::string_view name) const {
    for (size_t s = 0; s < slotCount(); ++s)
        if (slotName(uint16_t(s)) == name) return uint16_t(s);
    return std::nullopt;
}

std::optional<ViewSpec::Match> ViewSpec::answerOf(uint8_t code, uint8_t subcode) const {
    for (size_t g = 0; g < queries.size(); ++g)
        for (const ViewAnswer& a : queries[g].answers)
            if (a.code == code && subcode >= a.subLo && subcode <= a.subHi)
                return Match{int(g), a.key};
    return std::nullopt;
}

// ---- ViewUpdates --------------------------------------------------------------------------------

ViewUpdates::Cell& ViewUpdates::next(uint16_t slot) {
    if (used_ == cells_.size()) cells_.emplace_back();
    Cell& c = cells_[used_++];
    c.slot = slot;
    return c;
}

void ViewUpdates::text(uint16_t slot, std::string_view t) {
    Cell& c = next(slot);
    c.hasText = true;
    c.tint = Tint::White;
    c.text.assign(t);
}

void ViewUpdates::format(uint16_t slot, const char* fmt, ...) {
    Cell& c = next(slot);
    c.hasText = true;
    c.tint = Tint::White;
    char buf[64];
    va_list ap;
    va_start(ap, fmt);
    const int n = std::vsnprintf(buf, sizeof buf, fmt, ap);
    va_end(ap);
    if (n < 0) {
        c.text.clear();
    } else if (size_t(n) < sizeof buf) {
        c.text.assign(buf, size_t(n));
    } else {
        va_start(ap, fmt);
        c.text = vformat(fmt, ap);
        va_end(ap);
    }
}

void ViewUpdates::blank(uint16_t slot) {
    Cell& c = next(slot);
    c.hasText = true;
    c.tint = Tint::Face;
    c.text.clear();
}

void ViewUpdates::tint(uint16_t slot, Tint t) {
    Cell& c = next(slot);
    c.hasText = false;
    c.tint = t;
    c.text.clear();
}

const ViewUpdates::Cell* ViewUpdates::find(uint16_t slot) const {
    for (size_t i = used_; i-- > 0;)
        if (cells_[i].slot == slot) return &cells_[i];
    return nullptr;
}

} // namespace vx
