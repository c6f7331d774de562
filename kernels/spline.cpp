#include "kernels/spline.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <string>

#include "textio/checked.h"

namespace kernels {

namespace {

using textio::At;

/// True when a table holds at least n entries (n >= 0).
bool Holds(std::span<const float> table, int32_t n) {
  return static_cast<std::size_t>(n) <= table.size();
}

/// Zeroes entries 1..n of a table, or as many of them as it has.
void ZeroFirst(std::span<float> table, int32_t n) {
  const auto count = std::min(static_cast<std::size_t>(std::max(n, int32_t{0})), table.size());
  std::fill_n(table.begin(), count, 0.0f);
}

}  // namespace

int SPLIN(std::span<const float> X, std::span<const float> Y, int32_t NP, std::span<float> B1,
          std::span<float> B2, std::span<float> B3) {
  // Refuse tables the fit cannot handle: too few points, a count the tables
  // do not hold, or abscissae that repeat or run backwards (or are NaN).
  bool usable = NP >= 2 && Holds(X, NP) && Holds(Y, NP) && Holds(B1, NP) && Holds(B2, NP) &&
                Holds(B3, NP);
  for (int32_t k = 1; usable && k < NP; ++k) usable = At(X, k + 1) > At(X, k);
  if (!usable) {
    ZeroFirst(B1, NP);
    ZeroFirst(B2, NP);
    ZeroFirst(B3, NP);
    return 0;
  }

  // Tridiagonal system for the node slopes: B3 the diagonal, B2 the
  // off-diagonal g(k) = 1/h(k), B1 the right-hand side.
  At(B1, 1) = 0.0f;
  At(B3, 1) = 0.0f;
  for (int32_t k = 1; k < NP; ++k) {
    const float g = 1.0f / (At(X, k + 1) - At(X, k));
    At(B2, k) = g;
    At(B1, k + 1) = 3.0f * (At(Y, k + 1) - At(Y, k)) * g * g;
    At(B3, k + 1) = 2.0f * g;
    At(B1, k) = At(B1, k) + At(B1, k + 1);
    At(B3, k) = At(B3, k) + At(B3, k + 1);
  }

  // Forward elimination, no pivoting (the system is diagonally dominant).
  for (int32_t k = 2; k <= NP; ++k) {
    const float f = At(B2, k - 1) / At(B3, k - 1);
    At(B3, k) = At(B3, k) - f * At(B2, k - 1);
    At(B1, k) = At(B1, k) - f * At(B1, k - 1);
  }

  // Back substitution: B1 becomes the slope at each node.
  At(B1, NP) = At(B1, NP) / At(B3, NP);
  for (int32_t k = NP - 1; k >= 1; --k) {
    At(B1, k) = (At(B1, k) - At(B2, k) * At(B1, k + 1)) / At(B3, k);
  }

  // Quadratic and cubic coefficients of each interval from its end slopes and
  // secant slope m; B2(k) still holds g(k) until it is overwritten.
  for (int32_t k = 1; k < NP; ++k) {
    const float g = At(B2, k);
    const float m = (At(Y, k + 1) - At(Y, k)) * g;
    At(B3, k) = (At(B1, k) + At(B1, k + 1) - 2.0f * m) * (g * g);
    At(B2, k) = (3.0f * m - At(B1, k + 1) - 2.0f * At(B1, k)) * g;
  }
  return 1;
}

void SPEVL(std::span<const float> X, std::span<const float> Y, std::span<const float> B1,
           std::span<const float> B2, std::span<const float> B3, int32_t NP, float XV, float& YV,
           float& YP, float& CV) {
  if (NP > 0 && !(Holds(X, NP) && Holds(Y, NP) && Holds(B1, NP) && Holds(B2, NP) &&
                  Holds(B3, NP))) {
    throw textio::IndexError("spline of " + std::to_string(NP) +
                             " points evaluated on shorter tables");
  }

  // A single point is a constant curve; no point, nothing at all.
  if (NP < 2) {
    YV = NP == 1 ? At(Y, 1) : 0.0f;
    YP = 0.0f;
    CV = 0.0f;
    return;
  }

  // Interval by bisection: X(lo) <= XV < X(hi), lo = 1 below the table and
  // lo = NP - 1 at or above its end. A NaN abscissa falls to interval 1.
  int32_t lo = 1;
  int32_t hi = NP;
  while (hi > lo + 1) {
    const int32_t mid = lo + (hi - lo) / 2;
    const float diff = XV - At(X, mid);
    if (diff > 0.0f) {
      lo = mid;
    } else if (diff == 0.0f) {
      lo = mid;
      break;
    } else {
      hi = mid;
    }
  }

  // Value, slope and curvature of the cubic of interval k.
  const int32_t k = lo;
  const float d = XV - At(X, k);
  const float b1 = At(B1, k);
  const float b2 = At(B2, k);
  const float b3 = At(B3, k);
  YV = At(Y, k) + d * (b1 + d * (b2 + d * b3));
  YP = b1 + 2.0f * b2 * d + 3.0f * b3 * (d * d);
  const float second = 6.0f * b3 * d + 2.0f * b2;
  CV = second / std::pow(1.0f + YP * YP, 1.5f);
}

}  // namespace kernels
