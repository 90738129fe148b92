#include "floatingpoint.h"

#include <cfenv>
#include <cstdint>

#if defined(__x86_64__) || defined(__i386__)
#include <xmmintrin.h>
#endif

namespace wbx {

void MaskFloatingPointExceptions() {
    std::feclearexcept(FE_ALL_EXCEPT);
#if defined(__x86_64__) || defined(__i386__)
    const uint16_t controlWord = 0x133F;
    __asm__ __volatile__("fnclex\n\tfldcw %0" : : "m"(controlWord));
    // Bits 7-12 of MXCSR mask the six exceptions; bits 0-5 are their pending flags.
    _mm_setcsr((_mm_getcsr() | 0x1F80u) & ~0x3Fu);
#elif defined(__GLIBC__)
    fedisableexcept(FE_ALL_EXCEPT);
#endif
}

}  // namespace wbx
