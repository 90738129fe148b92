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

    // The next `n` free slots, side by side; what is written there is kept
    // by KeepSome().
    TriangleSetup* Slots(size_t n) {
        size_t size = slots_.empty() ? 256 : slots_.size();
        while (count_ + n > size) size *= 2;
        if (size != slots_.size()) slots_.resize(size);
        return &slots_[count_];
    }
    // Keeps slot i of the last Slots(n) where bit i of `kept` is set, in
    // order; the others are dropped.
    void KeepSome(unsigned kept, size_t n) {
        size_t next = count_;
        for (size_t i = 0; i < n; ++i) {
            if ((kept >> i & 1u) == 0) continue;
            if (count_ + i != next) slots_[next] = slots_[count_ + i];
            ++next;
        }
        count_ = next;
    }

private:
    std::vector<TriangleSetup> slots_;
    size_t count_ = 0;
};

}  // namespace wbx::raster
