// Included where a file's AVX2 code, begun by avx2begin.h, ends.

#if defined(__clang__)
#pragma clang attribute pop
#elif defined(__GNUC__)
#pragma GCC pop_options
#endif
