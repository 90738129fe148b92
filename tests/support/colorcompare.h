#pragma once
// Colours for tests: a comparison of red, green and blue within a tolerance
// that names the channels.

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>

namespace wbx::testing {

// actual and expected as red, green, blue (0..255); each channel may differ by tolerance.
inline ::testing::AssertionResult RgbNear(const std::array<int, 3>& actual,
                                          const std::array<int, 3>& expected, int tolerance) {
    for (int c = 0; c < 3; ++c) {
        if (std::abs(actual[c] - expected[c]) > tolerance) {
            return ::testing::AssertionFailure()
                   << "(" << actual[0] << ", " << actual[1] << ", " << actual[2] << "), expected ("
                   << expected[0] << ", " << expected[1] << ", " << expected[2] << ") within " << tolerance;
        }
    }
    return ::testing::AssertionSuccess();
}

}  // namespace wbx::testing
