#ifndef KEVRANO_KERNELS_SPLINE_H_
#define KEVRANO_KERNELS_SPLINE_H_

// Natural cubic spline through a table of points (X(k), Y(k)), k = 1..NP, with
// X strictly increasing. On interval k, X(k) <= x <= X(k+1), d = x - X(k):
//   S(x) = Y(k) + B1(k)·d + B2(k)·d^2 + B3(k)·d^3,
// B1(k) being the slope at node k. S'' = 0 at both ends; beyond the table the
// end cubics are extended. Used to interpolate tabulated lens profiles.

#include <cstdint>
#include <span>

namespace kernels {

/// Fits the spline: fills B1(1..NP) and B2, B3(1..NP-1); B2 and B3 also serve
/// as work space, so all three need room for NP entries. Returns 1 on success.
/// Returns 0, with B1, B2, B3 zeroed over 1..NP (as far as each reaches), when
/// NP < 2, when NP exceeds any of the five tables, or when X is not strictly
/// increasing over 1..NP.
int SPLIN(std::span<const float> X, std::span<const float> Y, int32_t NP, std::span<float> B1,
          std::span<float> B2, std::span<float> B3);

/// Evaluates the spline fitted by SPLIN at XV: value YV, slope YP and signed
/// curvature CV = S''/(1 + S'^2)^1.5. With NP = 1 the curve is the constant
/// Y(1) (YP = CV = 0); with NP < 1 all three are 0. Throws textio::IndexError
/// when NP exceeds any of the five tables.
void SPEVL(std::span<const float> X, std::span<const float> Y, std::span<const float> B1,
           std::span<const float> B2, std::span<const float> B3, int32_t NP, float XV, float& YV,
           float& YP, float& CV);

}  // namespace kernels

#endif  // KEVRANO_KERNELS_SPLINE_H_
