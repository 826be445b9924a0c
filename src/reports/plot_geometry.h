// Where the sky plot puts a satellite and the heading plot its needle, in units of the plot's
// radius from its centre (x to the right, y down the screen), and the colour of a satellite's
// dot. No Qt: the plot windows scale these to their size and paint them.
#pragma once

#include "console/report_view.h"
#include "link/records.h"

#include <array>
#include <cstdint>
#include <deque>
#include <optional>

namespace vx {

// One channel's satellite on the sky plot.
struct SkyDot {
    bool shown = false;  // visible and above -90 degrees
    double x = 0, y = 0; // offset from the horizon circle's centre, in horizon radii
    Tint tint = Tint::White;
    uint8_t sv = 0;
    uint8_t snr = 0; // 0.2 dBHz
};

// The dot of a channel report; nothing for a channel above 11. A report whose visible bit is
// clear, or whose elevation is -90, hides the dot. The distance from the centre is
// 1 - elevation / 90, kept within the horizon circle (an elevation below 0 lies on it, one
// above 90 in the centre); the azimuth (byte 4, 2 degrees) turns clockwise from north (up).
// Colour: green when tracking (bit 4), else yellow when tracked (bit 2), else white.
std::optional<SkyDot> skyDot(const ChannelStatusRecord& r);

// The SNR colouring the sky plot offers instead: green at kSnrGood dBHz and above, yellow at
// kSnrFair and above, red below.
inline constexpr double kSnrGood = 40.0, kSnrFair = 30.0;
Tint snrTint(uint8_t snr);

// The heading needle's tip for h half-turns (heading x 2^-15: 0 north, 0.5 east, 1 south),
// with the plot's formula: angle = (h - 1) x pi; x = -sin(angle), y = cos(angle).
struct PlotPoint {
    double x = 0, y = 0;
};
PlotPoint headingTip(double h);

// The last positions of each channel's satellite, oldest first, for the sky plot's trail. A
// position is kept when it differs from the last one; a new satellite on the channel or a
// hidden dot starts the trail again.
class SkyTrails {
public:
    static constexpr size_t kLength = 30;

    void note(uint8_t channel, const SkyDot& dot);
    const std::deque<PlotPoint>& trail(uint8_t channel) const { return trails_[channel % 12]; }
    void clear();

private:
    std::array<std::deque<PlotPoint>, 12> trails_;
    std::array<uint8_t, 12> sv_{};
};

} // namespace vx
