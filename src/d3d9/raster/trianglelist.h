#pragma once
// A growing list of triangle set-ups that are written in place: a triangle
// is set up straight into the next free slot and kept only if it turns out
// to be drawn. Slots survive Clear, so a steady scene neither allocates nor
// copies a set-up once it is made.
//
// Slots are left uninitialised until written: a list kept for a repeated
// draw holds its memory for long, and the pages of slots beyond the last
// set-up are then never touched (nor resident) for nothing.

#include <algorithm>
#include <cstddef>
#include <memory>
#include <type_traits>

#include "setup.h"

namespace wbx::raster {

static_assert(std::is_trivially_default_constructible_v<TriangleSetup>, "slots are left unwritten");

class TriangleList {
public:
    void Clear() { count_ = 0; }
    size_t Size() const { return count_; }
    const TriangleSetup& operator[](size_t i) const { return slots_[i]; }

    // The next free slot; what is written there is kept by Keep().
    TriangleSetup& Slot() {
        if (count_ == capacity_) Grow();
        return slots_[count_];
    }
    void Keep() { ++count_; }

    // The next `n` free slots, side by side; what is written there is kept
    // by KeepSome().
    TriangleSetup* Slots(size_t n) {
        while (count_ + n > capacity_) Grow();
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
    void Grow() {
        const size_t capacity = capacity_ == 0 ? 256 : 2 * capacity_;
        std::unique_ptr<TriangleSetup[]> slots(new TriangleSetup[capacity]);  // default-initialised
        std::copy_n(slots_.get(), count_, slots.get());
        slots_ = std::move(slots);
        capacity_ = capacity;
    }

    std::unique_ptr<TriangleSetup[]> slots_;
    size_t capacity_ = 0;
    size_t count_ = 0;
};

}  // namespace wbx::raster
