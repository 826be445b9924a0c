#include "reports/plot_geometry.h"

#include "link/angles.h"

#include <algorithm>
#include <cmath>

namespace vx {

std::optional<SkyDot> skyDot(const ChannelStatusRecord& r) {
    if (r.channel > 11) return std::nullopt;
    SkyDot d;
    d.sv = r.sv;
    d.snr = r.snr;
    if (!(r.status & 0x01) || r.elevation == -90) return d;
    d.shown = true;
    const double radius = std::clamp(1.0 - double(r.elevation) / 90.0, 0.0, 1.0);
    const double azimuth = double(r.azimuth) * 2.0 * kPi / 180.0;
    d.x = std::sin(azimuth) * radius;
    d.y = -std::cos(azimuth) * radius;
    d.tint = (r.status & 0x10) ? Tint::Green : (r.status & 0x04) ? Tint::Yellow : Tint::White;
    return d;
}

Tint snrTint(uint8_t snr) {
    const double dbhz = double(snr) * 0.2;
    return dbhz >= kSnrGood ? Tint::Green : dbhz >= kSnrFair ? Tint::Yellow : Tint::Red;
}

PlotPoint headingTip(double h) {
    const double angle = (h - 1.0) * kPi;
    return {-std::sin(angle), std::cos(angle)};
}

void SkyTrails::note(uint8_t channel, const SkyDot& dot) {
    if (channel > 11) return;
    std::deque<PlotPoint>& t = trails_[channel];
    if (!dot.shown || dot.sv != sv_[channel]) t.clear();
    sv_[channel] = dot.sv;
    if (!dot.shown) return;
    if (!t.empty() && t.back().x == dot.x && t.back().y == dot.y) return;
    t.push_back({dot.x, dot.y});
    if (t.size() > kLength) t.pop_front();
}

void SkyTrails::clear() {
    for (auto& t : trails_) t.clear();
    sv_.fill(0);
}

} // namespace vx
