#include "allocation_meter.h"

#include <cstdlib>
#include <new>

namespace wbx::hardening {
namespace {

thread_local bool metering = false;
thread_local AllocationReport report;

void* Allocate(std::size_t size) {
    if (metering) {
        if (size > report.Largest) report.Largest = size;
        report.Total += size;
        ++report.Count;
    }
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}

void* AllocateAligned(std::size_t size, std::align_val_t alignment) {
    if (metering) {
        if (size > report.Largest) report.Largest = size;
        report.Total += size;
        ++report.Count;
    }
    const std::size_t align = static_cast<std::size_t>(alignment);
    const std::size_t rounded = (size + align - 1) / align * align;
    if (void* p = std::aligned_alloc(align, rounded == 0 ? align : rounded)) return p;
    throw std::bad_alloc();
}

}  // namespace

void BeginMetering() {
    report = {};
    metering = true;
}

AllocationReport EndMetering() {
    metering = false;
    return report;
}

}  // namespace wbx::hardening

void* operator new(std::size_t size) { return wbx::hardening::Allocate(size); }
void* operator new[](std::size_t size) { return wbx::hardening::Allocate(size); }
void* operator new(std::size_t size, std::align_val_t alignment) {
    return wbx::hardening::AllocateAligned(size, alignment);
}
void* operator new[](std::size_t size, std::align_val_t alignment) {
    return wbx::hardening::AllocateAligned(size, alignment);
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
