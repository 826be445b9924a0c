#include "link/angles.h"

#include <cmath>

namespace vx {

int32_t radiansToWire(double radians) {
    if (!std::isfinite(radians)) return 0;
    double r = std::remainder(radians, 2 * kPi); // [-pi, pi]
    double v = std::round(r / kPi * kWireUnitsPerSemicircle);
    // +pi and anything that rounds to 2^31 is the same angle as -pi.
    if (v >= kWireUnitsPerSemicircle) v -= 2 * kWireUnitsPerSemicircle;
    return int32_t(int64_t(v));
}

std::optional<int64_t> radiansToWireP(double radians) {
    if (!std::isfinite(radians)) return std::nullopt;
    double v = radians * kWireUnitsPerSemicircle / kSinglePi;
    // Far outside any wire field: keep it representable for the caller's range check.
    if (std::fabs(v) > 9.0e18) return v > 0 ? INT64_MAX : INT64_MIN;
    return int64_t(v >= 0 ? v + 0.5 : v - 0.5);
}

} // namespace vx
