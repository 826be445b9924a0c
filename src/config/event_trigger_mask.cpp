#include "config/event_trigger_mask.h"

#include "link/layouts.h"

namespace vx {

bool UnnamedEventBits::received(uint32_t mask) {
    kept_ = mask & kUnnamedEventBits;
    toggled_ = false;
    return kept_ != 0;
}

uint32_t UnnamedEventBits::toSend(bool checked) const {
    if (toggled_) return checked ? kUnnamedEventBits : 0;
    return kept_;
}

} // namespace vx
