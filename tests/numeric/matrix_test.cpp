#include "numeric/matrix.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>

#include "numeric/float_vector.h"

namespace vistrel {
namespace {

// Runs `f` and returns the message of the exception of type E it throws ("" if none).
template <typename E>
std::string MessageOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const E& e) {
    return e.what();
  }
  return "";
}

IFloatMatrix MatrixOf(std::initializer_list<std::initializer_list<long double>> rows) {
  IFloatMatrix m = CreateMatrix(static_cast<std::int64_t>(rows.size()),
                                static_cast<std::int64_t>(rows.begin()->size()));
  int r = 1;
  for (const auto& row : rows) {
    int c = 1;
    for (long double x : row) m->SetElement(r, c++, x);
    ++r;
  }
  return m;
}

TEST(FloatVector, CreationAndIndexChecks) {
  EXPECT_EQ(MessageOf<EFloatVector>([] { CreateFloatVector(0); }), "Dimension < 1 not allowed");
  EXPECT_EQ(MessageOf<EFloatVector>([] { CreateFloatVector(268435456); }),
            "Dimension > TFloatVectorBounds not allowed");
  // A negative size is a huge unsigned number.
  EXPECT_EQ(MessageOf<EFloatVector>([] { CreateFloatVector(-1); }),
            "Dimension > TFloatVectorBounds not allowed");

  IFloatVector v = CreateFloatVector(3);
  EXPECT_EQ(v->GetElement(3), 0.0L);
  EXPECT_EQ(MessageOf<EFloatVector>([&] { v->GetElement(0); }), "Element 0 out of bounds");
  EXPECT_EQ(MessageOf<EFloatVector>([&] { v->GetElement(-1); }), "Element -1 out of bounds");
  EXPECT_EQ(MessageOf<EFloatVector>([&] { v->SetElement(4, 1); }), "Element 4 out of bounds");
}

TEST(FloatVector, ResizeAndCloneKeepValues) {
  IFloatVector v = CreateFloatVector(2);
  v->SetElement(1, 1.5L);
  v->SetElement(2, -2.0L);
  IFloatVector c = CloneVector(v);
  v->SetElement(1, 9.0L);  // the clone is a copy, not a share
  EXPECT_EQ(c->GetElement(1), 1.5L);
  c->SetDimension(4);
  EXPECT_EQ(c->GetElement(2), -2.0L);
  EXPECT_EQ(c->GetElement(4), 0.0L);
  c->SetDimension(1);
  EXPECT_EQ(c->Dimension(), 1);
  EXPECT_EQ(c->GetElement(1), 1.5L);
}

TEST(Matrix, CreationChecksRowsFirst) {
  EXPECT_EQ(MessageOf<EFloatMatrix>([] { CreateMatrix(0, 0); }), "RowCount < 1 not allowed");
  EXPECT_EQ(MessageOf<EFloatMatrix>([] { CreateMatrix(268435456, 0); }),
            "RowCount > TFloatMatrixBounds not allowed");
  EXPECT_EQ(MessageOf<EFloatMatrix>([] { CreateMatrix(2, 0); }), "ColCount < 1 not allowed");
  EXPECT_EQ(MessageOf<EFloatMatrix>([] { CreateMatrix(2, 268435456); }),
            "ColCount > TFloatMatrixBounds not allowed");
}

TEST(Matrix, ElementIndexOrderOfChecks) {
  IFloatMatrix m = CreateMatrix(3, 3);
  struct Case {
    int r, c;
    const char* message;
  };
  for (const Case& k : {Case{5, 0, "Row 5 out of bounds"}, Case{0, 5, "Column 5 out of bounds"},
                        Case{0, 0, "Row 0 out of bounds"}, Case{1, 0, "Column 0 out of bounds"},
                        Case{-1, 1, "Row -1 out of bounds"}}) {
    EXPECT_EQ(MessageOf<EFloatMatrix>([&] { m->GetElement(k.r, k.c); }), k.message)
        << k.r << "," << k.c;
    EXPECT_EQ(MessageOf<EFloatMatrix>([&] { m->SetElement(k.r, k.c, 1); }), k.message);
  }
}

TEST(Matrix, ResizeKeepsSurvivorsAndZeroFills) {
  IFloatMatrix m = MatrixOf({{1, 2}, {3, 4}});
  m->SetSize(2, 2);
  EXPECT_EQ(m->GetElement(2, 1), 3.0L);
  m->SetSize(3, 3);
  EXPECT_EQ(m->GetElement(1, 2), 2.0L);
  EXPECT_EQ(m->GetElement(2, 2), 4.0L);
  EXPECT_EQ(m->GetElement(2, 3), 0.0L);
  EXPECT_EQ(m->GetElement(3, 3), 0.0L);
  EXPECT_EQ(MessageOf<EFloatMatrix>([&] { m->SetRowCount(0); }),
            "Cannot create matrix with 0 rows");
  EXPECT_EQ(MessageOf<EFloatMatrix>([&] { m->SetColCount(-3); }),
            "Cannot create matrix with -3 columns");
}

TEST(Matrix, MultiplyVectorChecksBeforeWriting) {
  IFloatMatrix m = MatrixOf({{1, 2, 3}, {4, 5, 6}});
  IFloatVector v = CreateFloatVector(3);
  for (int i = 1; i <= 3; ++i) v->SetElement(i, i);
  IFloatVector r = m->MultiplyVector(*v);
  EXPECT_EQ(r->GetElement(1), 14.0L);
  EXPECT_EQ(r->GetElement(2), 32.0L);

  IFloatVector wrong = CreateFloatVector(3);
  wrong->SetElement(1, 7.0L);
  EXPECT_EQ(MessageOf<Exception>([&] { m->MultiplyVectorInto(*v, *wrong); }),
            "Dimension of result does not match RowCount");
  EXPECT_EQ(wrong->GetElement(1), 7.0L);
  EXPECT_EQ(MessageOf<Exception>([&] { m->MultiplyVector(*CreateFloatVector(2)); }),
            "Dimension of v does not match ColCount");
}

TEST(Matrix, MachineEpsilonAndThreshold) {
  EXPECT_EQ(MachineEpsilon(), std::ldexp(1.0L, -63));
  EXPECT_EQ(SingularThreshold(), 3.0L * std::ldexp(1.0L, -63));
}

TEST(MatrixInvert, ExchangeMatrixIsItsOwnInverse) {
  IFloatMatrix m = MatrixOf({{0, 1}, {1, 0}});
  m->Invert();
  EXPECT_EQ(m->GetElement(1, 1), 0.0L);
  EXPECT_EQ(m->GetElement(1, 2), 1.0L);
  EXPECT_EQ(m->GetElement(2, 1), 1.0L);
  EXPECT_EQ(m->GetElement(2, 2), 0.0L);
}

TEST(MatrixInvert, GeneralMatrixTimesInverseIsIdentity) {
  IFloatMatrix a = MatrixOf({{4, -2, 1}, {3, 6, -4}, {2, 1, 8}});
  IFloatMatrix inv = CloneMatrix(a);
  inv->Invert();
  for (int r = 1; r <= 3; ++r) {
    for (int c = 1; c <= 3; ++c) {
      long double sum = 0;
      for (int k = 1; k <= 3; ++k) sum += a->GetElement(r, k) * inv->GetElement(k, c);
      EXPECT_NEAR(static_cast<double>(sum), r == c ? 1.0 : 0.0, 1e-15) << r << "," << c;
    }
  }
  EXPECT_NEAR(static_cast<double>(a->Det()), 4 * 52 + 2 * 32 + 1 * -9, 1e-12);
}

TEST(MatrixInvert, SingularCases) {
  IFloatMatrix zero_column = MatrixOf({{1, 0}, {2, 0}});
  EXPECT_EQ(MessageOf<EFloatMatrix>([&] { zero_column->Invert(); }), "Invert: Singular matrix");
  EXPECT_EQ(MessageOf<EFloatMatrix>([] { CreateMatrix(2, 3)->Invert(); }),
            "Invert called on non square matrix");

  // The threshold is absolute: 1E-19 is below 3 x 2^-63, 1E-18 is above it.
  IFloatMatrix tiny = MatrixOf({{1, 0}, {0, 1e-19L}});
  EXPECT_EQ(MessageOf<EFloatMatrix>([&] { tiny->Invert(); }), "Invert: Singular matrix");
  IFloatMatrix small = MatrixOf({{1, 0}, {0, 1e-18L}});
  small->Invert();
  EXPECT_EQ(small->GetElement(2, 2), 1.0L / 1e-18L);
}

TEST(MatrixInvert, EqualPivotMagnitudesChooseUpperRow) {
  // Column 1 holds +2 and -2: the upper row is the pivot, so no exchange happens and the first
  // elimination step divides row 1 by +2. A lower-row choice would give the same inverse, so
  // check the partly transformed state instead: a singular second column stops right after
  // step k = 1, leaving M = [[1/2, 0], [1, 1]] (row 2 minus -2 x row 1).
  IFloatMatrix m = MatrixOf({{2, 1}, {-2, -1}});
  EXPECT_EQ(MessageOf<EFloatMatrix>([&] { m->Invert(); }), "Invert: Singular matrix");
  EXPECT_EQ(m->GetElement(1, 1), 0.5L);
  EXPECT_EQ(m->GetElement(1, 2), 0.0L);
  EXPECT_EQ(m->GetElement(2, 1), 1.0L);
  EXPECT_EQ(m->GetElement(2, 2), 1.0L);
}

}  // namespace
}  // namespace vistrel
