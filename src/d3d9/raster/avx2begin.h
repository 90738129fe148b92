// Included (not once: it has no include guard) where a file's AVX2 code
// begins: every function defined from here to the matching avx2end.h is
// compiled for AVX2, and must run only where the processor has it. Headers
// with inline functions of their own must come before this, so that those
// are compiled for the baseline like everywhere else. Only AVX2: no FMA,
// whose fused multiply-add would round differently from the separate
// multiply and add the plain variants do.

#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2"))), apply_to = function)
#elif defined(__GNUC__)
#pragma GCC push_options
#pragma GCC target("avx2")
#endif
