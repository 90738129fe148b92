#pragma once
// The floating-point environment the device layer runs in.

namespace wbx {

// Clears pending floating-point exceptions and masks all of them, so that
// faults yield special values (infinities, NaNs) instead of traps. On x86 the
// x87 control word becomes 0x133F (all six masks, 64-bit precision, round to
// nearest) and MXCSR masks all six exceptions too, since x86-64 code does its
// float work in SSE registers. On other CPUs all exceptions are masked and
// precision and rounding stay the platform's (round to nearest).
void MaskFloatingPointExceptions();

}  // namespace wbx
