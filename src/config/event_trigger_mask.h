// The event trigger mask of the output interval control (2Axx): twenty named events have a
// check box each; the twelve bits that name no event share one, "Unknown Event Trigger".
//
// A Query followed by a Set must not change bits the window has no box for: the unnamed bits
// of the last reply are kept and sent back, unless the user toggled the shared box since, in
// which case a Set sends all twelve (checked) or none.
#pragma once

#include <cstdint>

namespace vx {

class UnnamedEventBits {
public:
    // A reply's mask: its unnamed bits are kept. Returns whether the shared box is checked
    // (any of them is set).
    bool received(uint32_t mask);
    // The user checked or cleared the shared box.
    void toggled() { toggled_ = true; }
    // The unnamed bits a Set sends with the shared box checked or not.
    uint32_t toSend(bool checked) const;
    uint32_t kept() const { return kept_; }

private:
    uint32_t kept_ = 0;
    bool toggled_ = false;
};

} // namespace vx
