#pragma once
// A growing list of triangle set-ups that are written in place: a triangle
// is set up straight into the next free slot and kept only if it turns out
// to be drawn. Slots survive Clear, so a steady scene neither allocates nor
// copies a set-up once it is made.

#include <cstddef>
#include <vector>

#include "setup.h"

namespace wbx::raster {

class TriangleList {
public:
    void Clear() { count_ = 0; }
    size_t Size() const { return count_; }
    const TriangleSetup& operator[](size_t i) const { return slots_[i]; }

    // The next free slot; what is written there is kept by Keep().
    TriangleSetup& Slot() {
        if (count_ == slots_.size()) slots_.resize(slots_.empty() ? 256 : 2 * slots_.size());
        return slots_[count_];
    }
    void Keep() { ++count_; }

private:
    std::vector<TriangleSetup> slots_;
    size_t count_ = 0;
};

}  // namespace wbx::raster
