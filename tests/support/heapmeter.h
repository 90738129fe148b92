#pragma once
// Measures the heap requests of a piece of work: how many there were, the
// largest single one and their sum. Without a sanitizer the global allocation
// functions are replaced (heapmeter.cpp, once per program: every program that
// links the test support allocates through them); in sanitizer builds the
// sanitizer allocator's hooks are used instead. Only the thread that runs the
// work is measured.

#include <cstddef>

namespace wbx::testing {

struct AllocationReport {
    size_t Largest = 0;  // bytes of the largest single request
    size_t Total = 0;    // bytes of all requests together
    size_t Count = 0;    // requests
};

// Starts a measurement on this thread (a nested Begin restarts it).
void BeginMetering();
// Ends it and returns what was requested since BeginMetering.
AllocationReport EndMetering();
// Counts one request of size bytes when this thread is metering.
void RecordAllocation(std::size_t size);

// The report of work().
template <class F>
AllocationReport MeterAllocations(F&& work) {
    BeginMetering();
    try {
        work();
    } catch (...) {
        EndMetering();
        throw;
    }
    return EndMetering();
}

}  // namespace wbx::testing
