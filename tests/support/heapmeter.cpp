#include "heapmeter.h"

#include <cstdlib>
#include <new>

#ifdef WBX_SANITIZE
#include <sanitizer/allocator_interface.h>
#endif

namespace wbx::testing {
namespace {

thread_local bool metering = false;
thread_local AllocationReport report;

}  // namespace

void RecordAllocation(std::size_t size) {
    if (!metering) return;
    if (size > report.Largest) report.Largest = size;
    report.Total += size;
    ++report.Count;
}

namespace {

#ifdef WBX_SANITIZE
// The sanitizer's allocator owns malloc and operator new alike; its hooks see
// every request, and replacing the allocation functions beside it would mix
// two allocators.
void MallocHook(const volatile void*, std::size_t size) { RecordAllocation(size); }
void FreeHook(const volatile void*) {}
const bool hooksInstalled = __sanitizer_install_malloc_and_free_hooks(MallocHook, FreeHook) != 0;
#endif

}  // namespace

void BeginMetering() {
#ifdef WBX_SANITIZE
    (void)hooksInstalled;
#endif
    report = {};
    metering = true;
}

AllocationReport EndMetering() {
    metering = false;
    return report;
}

}  // namespace wbx::testing

#ifndef WBX_SANITIZE
// Without a sanitizer, operator new itself is replaced (once per program).
namespace {

void* Allocate(std::size_t size) {
    wbx::testing::RecordAllocation(size);
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}

void* AllocateAligned(std::size_t size, std::align_val_t alignment) {
    wbx::testing::RecordAllocation(size);
    const std::size_t align = static_cast<std::size_t>(alignment);
    const std::size_t rounded = (size + align - 1) / align * align;
    if (void* p = std::aligned_alloc(align, rounded == 0 ? align : rounded)) return p;
    throw std::bad_alloc();
}

}  // namespace

void* operator new(std::size_t size) { return Allocate(size); }
void* operator new[](std::size_t size) { return Allocate(size); }
void* operator new(std::size_t size, std::align_val_t alignment) { return AllocateAligned(size, alignment); }
void* operator new[](std::size_t size, std::align_val_t alignment) {
    return AllocateAligned(size, alignment);
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
#endif
