#include "numeric/fpu.h"

#include <gtest/gtest.h>

#include <cmath>

#include "numeric/exception.h"

namespace vistrel {
namespace {

// Keeps the compiler from folding the faulting operations away.
volatile long double g_zero = 0.0L;
volatile long double g_huge = 1e4000L;
volatile double g_double_zero = 0.0;

TEST(Fpu, ExtendedAndDoubleFaultsAreSeen) {
  struct Case {
    unsigned fault;
    long double (*op)();
  };
  const Case cases[] = {
      {kFpuZeroDivide, [] { return 1.0L / g_zero; }},
      {kFpuInvalid, [] { return g_zero / g_zero; }},
      {kFpuOverflow, [] { return g_huge * g_huge; }},
      {kFpuZeroDivide, [] { return static_cast<long double>(1.0 / g_double_zero); }},
  };
  for (const Case& c : cases) {
    FpuClear();
    volatile long double r = c.op();
    (void)r;
    EXPECT_TRUE(FpuFaults() & c.fault) << c.fault;
    EXPECT_THROW(FpuCheck(), EMathError);
    EXPECT_EQ(FpuFaults(), 0u);
  }
}

TEST(Fpu, UnderflowAndInexactAreNotFaults) {
  FpuClear();
  volatile long double tiny = 1e-4000L;
  volatile long double r = tiny * tiny;
  volatile long double third = 1.0L / 3.0L;
  (void)r;
  (void)third;
  EXPECT_EQ(FpuFaults(), 0u);
  EXPECT_NO_THROW(FpuCheck());
}

TEST(Fpu, ZeroDivideWinsOverTheInvalidOperationsItCauses) {
  FpuClear();
  volatile long double inf = 1.0L / g_zero;
  volatile long double nan = inf - inf;
  (void)nan;
  try {
    FpuCheck();
    FAIL();
  } catch (const EZeroDivide& e) {
    EXPECT_STREQ(e.what(), "Division de flottant par zéro");
  }
}

}  // namespace
}  // namespace vistrel
