#include "optics/coating.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <numbers>
#include <optional>
#include <vector>

namespace optics {
namespace {

constexpr double kPi = std::numbers::pi;

/// Reflectance of one film on a substrate by the Airy sum of its two
/// interfaces' Fresnel amplitudes: an independent closed form for the
/// characteristic matrix. Angles from the invariant s = n0 sin θ0.
struct AiryFilm {
  double n0, n1, n2, thickness, wavelength, sin0;
  double Reflectance(bool tm) const {
    const double s = n0 * sin0;
    auto cosine = [s](double n) { return std::sqrt(1.0 - (s / n) * (s / n)); };
    const double c0 = cosine(n0);
    const double c1 = cosine(n1);
    const double c2 = cosine(n2);
    auto r = [tm](double na, double ca, double nb, double cb) {
      return tm ? (nb * ca - na * cb) / (nb * ca + na * cb) : (na * ca - nb * cb) / (na * ca + nb * cb);
    };
    const double r01 = r(n0, c0, n1, c1);
    const double r12 = r(n1, c1, n2, c2);
    const std::complex<double> phase = std::polar(1.0, -4.0 * kPi * n1 * thickness * c1 / wavelength);
    return std::norm((r01 + r12 * phase) / (1.0 + r01 * r12 * phase));
  }
};

TEST(CoatingTest, TransmissionMatchesClosedForms) {
  const double n253 = std::sqrt(2.53);
  const Layer qw254 = QuarterWaveLayer(2.54, 1.0);
  const double brewster_cos = std::cos(std::atan(1.5));
  struct Case {
    const char* name;
    double n_in;
    std::vector<Layer> layers;
    double n_out;
    double cos_incidence;
    double wavelength;
    double want_te;
    double want_tm;
  };
  const Case kCases[] = {
      {"bare face n 1.5, normal: 1 - (0.5/2.5)^2", 1.0, {}, 1.5, 1.0, 1.0, 0.96, 0.96},
      {"bare face left from inside, normal", 1.5, {}, 1.0, 1.0, 1.0, 0.96, 0.96},
      {"Brewster angle n 1.5: TM whole, TE 1 - ((1-n²)/(1+n²))²", 1.0, {}, 1.5, brewster_cos, 1.0,
       1.0 - std::pow(1.25 / 3.25, 2), 1.0},
      {"leaving n 1.5 beyond the critical angle", 1.5, {}, 1.0, std::sqrt(1.0 - 0.49), 1.0, 0.0, 0.0},
      {"grazing incidence", 1.0, {}, 1.5, 0.0, 1.0, 0.0, 0.0},
      {"quarter-wave layer, ε 2.54, at f0, normal", 1.0, {qw254}, std::sqrt(2.54), 1.0, 1.0, 1.0,
       1.0},
      {"the same layer leaving the lens", std::sqrt(2.54), {qw254}, 1.0, 1.0, 1.0, 1.0, 1.0},
      {"at 2 f0 the layer is a half wave: the bare face", 1.0, {qw254}, std::sqrt(2.54), 1.0, 0.5,
       1.0 - std::pow((std::sqrt(2.54) - 1.0) / (std::sqrt(2.54) + 1.0), 2),
       1.0 - std::pow((std::sqrt(2.54) - 1.0) / (std::sqrt(2.54) + 1.0), 2)},
      {"a layer of zero thickness is no layer", 1.0, {{1.3, 0.0}}, 1.5, 1.0, 1.0, 0.96, 0.96},
      {"two quarter waves 1.2 then 1.8 on n 2.25 (n2 = n1 √ns): matched", 1.0,
       {{1.2, 0.25 / 1.2}, {1.8, 0.25 / 1.8}}, 2.25, 1.0, 1.0, 1.0, 1.0},
      {"the same two layers in reverse: Y = n2² ns / n1²", 1.0,
       {{1.8, 0.25 / 1.8}, {1.2, 0.25 / 1.2}}, 2.25, 1.0, 1.0,
       1.0 - std::pow((1.0 - 5.0625) / (1.0 + 5.0625), 2),
       1.0 - std::pow((1.0 - 5.0625) / (1.0 + 5.0625), 2)},
      {"ε 2.53 bare, normal", 1.0, {}, n253, 1.0, 1.0, 1.0 - std::pow((n253 - 1) / (n253 + 1), 2),
       1.0 - std::pow((n253 - 1) / (n253 + 1), 2)},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    const std::optional<Transmission> t =
        StackTransmission(c.n_in, c.layers, c.n_out, c.cos_incidence, c.wavelength);
    ASSERT_TRUE(t);
    EXPECT_NEAR(c.want_te, t->te, 1e-12);
    EXPECT_NEAR(c.want_tm, t->tm, 1e-12);
  }
}

// Oblique incidence on a single film against the Airy sum, for both
// polarisations, entering and leaving the lens.
TEST(CoatingTest, ObliqueFilmMatchesTheAirySum) {
  struct Case {
    const char* name;
    AiryFilm film;
  };
  const Layer qw = QuarterWaveLayer(2.54, 1.0);
  const double n = std::sqrt(2.54);
  const Case kCases[] = {
      {"quarter-wave layer entering at 30°", {1.0, qw.index, n, qw.thickness, 1.0, 0.5}},
      {"quarter-wave layer entering at 60°, 0.8 f0", {1.0, qw.index, n, qw.thickness, 1.25, 0.866}},
      {"leaving the lens at 25° inside", {n, qw.index, 1.0, qw.thickness, 1.0, 0.4226}},
      {"thick film of ε 4 on ε 9.8 at 45°", {1.0, 2.0, std::sqrt(9.8), 0.37, 1.0, 0.7071}},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    const AiryFilm& f = c.film;
    const std::optional<Transmission> t =
        StackTransmission(f.n0, {{f.n1, f.thickness}}, f.n2, std::sqrt(1.0 - f.sin0 * f.sin0),
                          f.wavelength);
    ASSERT_TRUE(t);
    EXPECT_NEAR(1.0 - f.Reflectance(false), t->te, 1e-12);
    EXPECT_NEAR(1.0 - f.Reflectance(true), t->tm, 1e-12);
  }
}

// What two bare faces lose, single pass at normal incidence, and the band
// over which a quarter-wave layer keeps R below 1 % (found by scanning the
// frequency) against the tabled figures and the transformer's closed form.
TEST(CoatingTest, BareLossAndQuarterWaveBand) {
  struct Case {
    const char* name;
    double dielectric;
    double two_faces_db;  // tabled, to 0.01 dB
    double band;          // tabled R < 1 % band, to 0.01
  };
  const Case kCases[] = {
      {"PTFE", 2.05, 0.28, 0.75}, {"ε 2.53", 2.53, 0.46, 0.57}, {"ε 2.7", 2.7, 0.53, 0.53},
      {"ε 3.12", 3.12, 0.69, 0.45}, {"ε 9.8", 9.8, 2.69, 0.21},  {"ε 11.7", 11.7, 3.10, 0.20},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    const double n = std::sqrt(c.dielectric);
    const std::optional<Transmission> bare = StackTransmission(1.0, {}, n, 1.0, 1.0);
    ASSERT_TRUE(bare);
    EXPECT_NEAR(c.two_faces_db, -20.0 * std::log10(bare->Mean()), 0.006);

    // Scan f/f0 from 1 outwards on both sides in steps of 1e-4
    const Layer layer = QuarterWaveLayer(c.dielectric, 1.0);
    auto reflects_little = [&](double f) {
      const std::optional<Transmission> t = StackTransmission(1.0, {layer}, n, 1.0, 1.0 / f);
      return t && 1.0 - t->Mean() < 0.01;
    };
    double lower = 1.0;
    double upper = 1.0;
    while (reflects_little(lower - 1e-4)) lower -= 1e-4;
    while (reflects_little(upper + 1e-4)) upper += 1e-4;
    const double band = upper - lower;
    EXPECT_NEAR(c.band, band, 0.006);
    const std::optional<double> closed = QuarterWaveBandwidth(c.dielectric, 0.1);
    ASSERT_TRUE(closed);
    EXPECT_NEAR(*closed, band, 3e-4);
  }
  const std::optional<double> bw = QuarterWaveBandwidth(2.53, 0.1);
  ASSERT_TRUE(bw);
  EXPECT_NEAR(0.565, *bw, 5e-4);
}

TEST(CoatingTest, RefusesWhatHasNoAnswer) {
  struct Case {
    const char* name;
    double n_in, n_out, cos_incidence, wavelength, thickness;
  };
  const Case kCases[] = {
      {"zero wavelength", 1.0, 1.5, 1.0, 0.0, 0.1},
      {"NaN index", std::nan(""), 1.5, 1.0, 1.0, 0.1},
      {"cosine above 1", 1.0, 1.5, 1.5, 1.0, 0.1},
      {"negative thickness", 1.0, 1.5, 1.0, 1.0, -0.1},
      {"infinite thickness", 1.0, 1.5, 1.0, 1.0, HUGE_VAL},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    EXPECT_FALSE(StackTransmission(c.n_in, {{1.2, c.thickness}}, c.n_out, c.cos_incidence,
                                   c.wavelength));
  }
  EXPECT_FALSE(QuarterWaveBandwidth(1.0, 0.1));
  EXPECT_FALSE(QuarterWaveBandwidth(1.1, 0.1)) << "the bare face already reflects less";
  EXPECT_FALSE(QuarterWaveBandwidth(2.53, 1.0));
}

TEST(CoatingTest, ParsesTheLayerOfTheCommandLine) {
  struct Case {
    const char* text;
    double index;      // of the layer on a lens of ε 2.56 designed for λ0 = 8; 0: refused
    double thickness;  // or the error when refused
    const char* error;
  };
  const Case kCases[] = {
      {"quarter-wave", std::sqrt(1.6), 2.0 / std::sqrt(1.6), ""},
      {"quarter-wave:30", std::sqrt(1.6), 2.0 / std::sqrt(1.6), ""},
      {"1.6:0.25", std::sqrt(1.6), 0.25, ""},
      {"quarter-wave:", 0, 0, "'quarter-wave:': the design frequency after quarter-wave: is not a "
                              "positive number of GHz"},
      {"quarter-wave:-3", 0, 0, "'quarter-wave:-3': the design frequency after quarter-wave: is "
                                "not a positive number of GHz"},
      {"half-wave", 0, 0, "'half-wave' is neither quarter-wave[:F0] nor EPS:THICKNESS"},
      {"1.6:x", 0, 0, "'1.6:x' is neither quarter-wave[:F0] nor EPS:THICKNESS"},
      {"0.5:0.25", 0, 0, "'0.5:0.25': the layer needs a dielectric constant of 1 or more and a "
                         "positive thickness"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.text);
    std::string error;
    const std::optional<CoatingSpec> spec = ParseCoating(c.text, &error);
    EXPECT_EQ(c.error, error);
    ASSERT_EQ(c.index > 0.0, spec.has_value());
    if (!spec) continue;
    const Layer layer = spec->ForLens(2.56, 8.0);
    EXPECT_NEAR(c.index, layer.index, 1e-12);
    EXPECT_NEAR(c.thickness, layer.thickness, 1e-12);
  }
}

}  // namespace
}  // namespace optics
