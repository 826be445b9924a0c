// A small, portable pseudo-random generator (splitmix64): the same seed gives the same
// sequence on every platform and standard library, which keeps recordings reproducible.
#pragma once

#include <cmath>
#include <cstdint>

namespace vx::sim {

class Rng {
public:
    explicit Rng(uint64_t seed = 1) : state_(seed) {}
    void reseed(uint64_t seed) { state_ = seed; }

    uint64_t next() {
        uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // Uniform in [0, 1).
    double uniform() { return double(next() >> 11) * (1.0 / 9007199254740992.0); }
    double uniform(double lo, double hi) { return lo + (hi - lo) * uniform(); }
    // Uniform integer in [0, n).
    uint32_t below(uint32_t n) { return n ? uint32_t(next() % n) : 0; }
    bool chance(double p) { return p > 0 && uniform() < p; }
    // Standard normal (Box-Muller, one value per call).
    double normal() {
        double u1 = uniform();
        double u2 = uniform();
        if (u1 < 1e-300) u1 = 1e-300;
        return std::sqrt(-2.0 * std::log(u1)) * std::cos(6.283185307179586 * u2);
    }

private:
    uint64_t state_;
};

} // namespace vx::sim
