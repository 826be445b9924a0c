// Angles on the wire and on screen.
//
// Latitudes and longitudes travel as signed 32-bit integers in units of 2^-31 semicircle
// (pi / 2^31 radians); accuracies of them as unsigned 32-bit integers in the same unit.
// Two conversions to radians exist, each for its own windows:
// - the true pi: the main window's status display, the data logs and every other window that
//   shows or logs an angle in radians (2^30 shows 1.570796327);
// - P = 3.1415927410125737 (pi rounded to single precision), both ways: the initialization
//   dialogs (2901-2908) and the NMEA output, whose receiver-side tools compute with it
//   (2^30 shows 1.570796371).
// Headings travel as unsigned 16-bit integers in units of 2^-15 semicircle and are shown in
// semicircles.
#pragma once

#include <cstdint>
#include <numbers>
#include <optional>

namespace vx {

inline constexpr double kPi = std::numbers::pi;
// P: pi rounded to single precision, widened to double.
inline constexpr double kSinglePi = 3.1415927410125737;
// 2^31: wire units per semicircle.
inline constexpr double kWireUnitsPerSemicircle = 2147483648.0;

// Wire units (2^-31 semicircle, signed or unsigned) to radians with the true pi.
constexpr double wireToRadians(double units) {
    return units * kPi / kWireUnitsPerSemicircle;
}

// Radians to the nearest signed 32-bit wire value with the true pi, the angle first brought
// into [-pi, pi) (so pi itself gives INT32_MIN, -pi). For angles computed by the simulated
// receiver.
int32_t radiansToWire(double radians);

// Wire units to radians with P (the initialization dialogs, the NMEA output).
constexpr double wireToRadiansP(double units) {
    return units * kSinglePi / kWireUnitsPerSemicircle;
}

// Radians to wire units with P, rounded half away from zero (0.5 added to a value >= 0, 0.5
// taken from a negative one, then truncated), as the initialization dialogs send them.
// Nothing when the radians are not finite; the caller checks the range of its wire field.
std::optional<int64_t> radiansToWireP(double radians);

// Heading units (2^-15 semicircle) to semicircles.
constexpr double headingToSemicircles(double units) {
    return units / 32768.0;
}

} // namespace vx
