// The generators' random numbers: splitmix64, tiny, fast and defined entirely by its constants,
// so the same seed gives the same file on every machine.
#ifndef VELKO_BENCH_RNG_H
#define VELKO_BENCH_RNG_H

#include <cstdint>

struct Rng {
  std::uint64_t state;
  std::uint64_t Next() {
    std::uint64_t z = (state += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
  }
  // Uniform-enough value in [0, n) by multiply-shift; no division in the hot path.
  std::uint32_t Below(std::uint32_t n) {
    return static_cast<std::uint32_t>(((Next() >> 32) * n) >> 32);
  }
  std::uint32_t Between(std::uint32_t lo, std::uint32_t hi) { return lo + Below(hi - lo + 1); }
};

#endif
