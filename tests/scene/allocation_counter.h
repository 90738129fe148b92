#pragma once
// Counts heap allocations by replacing the global allocation functions.
// Include this header in exactly one source file of a program: it defines the
// replacements (replaceable functions may be defined once per program).
// Counting is on while AllocationCounting is true.

#include <atomic>
#include <cstdlib>
#include <new>

namespace wbx::testing {

inline std::atomic<bool> AllocationCounting{false};
inline std::atomic<long> AllocationCount{0};

inline void* CountedAllocate(std::size_t size) {
    if (AllocationCounting.load(std::memory_order_relaxed))
        AllocationCount.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}

// Allocations made by work().
template <class F>
long CountAllocations(F&& work) {
    AllocationCount = 0;
    AllocationCounting = true;
    work();
    AllocationCounting = false;
    return AllocationCount.load();
}

}  // namespace wbx::testing

void* operator new(std::size_t size) { return wbx::testing::CountedAllocate(size); }
void* operator new[](std::size_t size) { return wbx::testing::CountedAllocate(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
