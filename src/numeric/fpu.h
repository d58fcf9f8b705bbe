#pragma once

// Floating-point fault detection. The arithmetic runs with all exceptions masked (no traps); the
// code clears the sticky flags before a guarded computation and checks them afterwards, so that a
// division by zero, an invalid operation or an overflow becomes an exception at a well-defined
// point instead of an infinity or NaN that flows on silently. Underflow, denormal and inexact
// results are not faults.

namespace vistrel {

enum FpuFault : unsigned {
  kFpuNone = 0,
  kFpuZeroDivide = 1,
  kFpuInvalid = 2,
  kFpuOverflow = 4,
};

// Clears the three fault flags (x87 and SSE alike).
void FpuClear() noexcept;

// The fault flags raised since the last FpuClear, as a bit set of FpuFault.
unsigned FpuFaults() noexcept;

// Throws EZeroDivide, EInvalidOp or EOverflow (in that priority) when a fault flag is set,
// clearing the flags first. A zero divide is reported first because it is the usual first fault:
// the infinities it produces cause the invalid operations that follow.
void FpuCheck();

}  // namespace vistrel
