#pragma once
// A small deterministic random source (SplitMix64). The standard library's
// distributions differ between implementations; this gives the same numbers
// everywhere, so a seed always gives the same data folder.

#include <cstdint>

namespace wbx::sampledata {

class SampleRandom {
public:
    explicit SampleRandom(uint64_t seed) : state_(seed) {}

    uint64_t Next() {
        uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // Uniform in [0, 1).
    float NextFloat() { return static_cast<float>(Next() >> 40) / static_cast<float>(1ull << 24); }
    // Uniform in [low, high).
    float Between(float low, float high) { return low + (high - low) * NextFloat(); }

private:
    uint64_t state_;
};

}  // namespace wbx::sampledata
