#include "numeric/fpu.h"

#include <cfenv>

#include "numeric/exception.h"

namespace vistrel {

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
// Inline forms: glibc's feclearexcept reloads the whole x87 environment, which costs more than
// the objective evaluation it guards.
void FpuClear() noexcept {
  unsigned mxcsr;
  __asm__ __volatile__("fnclex");
  __asm__ __volatile__("stmxcsr %0" : "=m"(mxcsr));
  mxcsr &= ~0x3Fu;
  __asm__ __volatile__("ldmxcsr %0" : : "m"(mxcsr));
}

unsigned FpuFaults() noexcept {
  unsigned short status;
  unsigned mxcsr;
  __asm__ __volatile__("fnstsw %0" : "=am"(status));
  __asm__ __volatile__("stmxcsr %0" : "=m"(mxcsr));
  const unsigned flags = status | mxcsr;
  unsigned faults = kFpuNone;
  if (flags & 0x04) faults |= kFpuZeroDivide;
  if (flags & 0x01) faults |= kFpuInvalid;
  if (flags & 0x08) faults |= kFpuOverflow;
  return faults;
}
#else
void FpuClear() noexcept { std::feclearexcept(FE_DIVBYZERO | FE_INVALID | FE_OVERFLOW); }

unsigned FpuFaults() noexcept {
  const int flags = std::fetestexcept(FE_DIVBYZERO | FE_INVALID | FE_OVERFLOW);
  unsigned faults = kFpuNone;
  if (flags & FE_DIVBYZERO) faults |= kFpuZeroDivide;
  if (flags & FE_INVALID) faults |= kFpuInvalid;
  if (flags & FE_OVERFLOW) faults |= kFpuOverflow;
  return faults;
}
#endif

void FpuCheck() {
  const unsigned faults = FpuFaults();
  if (faults == kFpuNone) return;
  FpuClear();
  if (faults & kFpuZeroDivide) throw EZeroDivide();
  if (faults & kFpuInvalid) throw EInvalidOp();
  throw EOverflow();
}

}  // namespace vistrel
