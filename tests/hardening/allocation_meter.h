#pragma once
// Measures the heap requests of a piece of work: the largest single request
// and the sum of all requests, through replaced global allocation functions
// (once per program), or in sanitizer builds through the sanitizer
// allocator's hooks. Only the thread that runs the work is measured.

#include <cstddef>

namespace wbx::hardening {

struct AllocationReport {
    size_t Largest = 0;  // bytes of the largest single request
    size_t Total = 0;    // bytes of all requests together
    size_t Count = 0;
};

// Starts a measurement on this thread (a nested Begin restarts it).
void BeginMetering();
// Ends it and returns what was requested since BeginMetering.
AllocationReport EndMetering();
// Counts one request of size bytes when this thread is metering.
void Record(std::size_t size);

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

}  // namespace wbx::hardening
