#include "optics/feed_pattern.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <numbers>
#include <string_view>

#include "optics/parse_number.h"

namespace optics {
namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kDegree = kPi / 180.0;

/// Eight-point Gauss–Legendre rule on [-1, 1]: nodes and weights of the
/// positive half.
constexpr std::array<double, 4> kGaussNodes{0.1834346424956498, 0.5255324099163290,
                                            0.7966664774136267, 0.9602898564975363};
constexpr std::array<double, 4> kGaussWeights{0.3626837833783620, 0.3137066458778873,
                                              0.2223810344533745, 0.1012285362903763};

/// The main beam ends where the level first falls this far below the axis.
constexpr double kMainBeamDb = -10.0;
/// Angles scanned for the end of the main beam, and fitted within it.
constexpr int kBeamScan = 2048;
constexpr int kFitPoints = 256;

template <typename F>
double Gauss(F f, double a, double b) {
  const double half = 0.5 * (b - a);
  const double mid = 0.5 * (a + b);
  double sum = 0.0;
  for (std::size_t k = 0; k < kGaussNodes.size(); ++k) {
    sum += kGaussWeights[k] * (f(mid - half * kGaussNodes[k]) + f(mid + half * kGaussNodes[k]));
  }
  return half * sum;
}

/// An angle difference brought into (-180°, 180°].
double WrapDegrees(double d) { return d - 360.0 * std::ceil(d / 360.0 - 0.5); }

/// Least-squares slope of y against x (the constant fitted too); nothing
/// when x does not vary.
std::optional<double> Slope(const std::vector<double>& x, const std::vector<double>& y) {
  const double count = static_cast<double>(x.size());
  double mx = 0.0;
  double my = 0.0;
  for (std::size_t i = 0; i < x.size(); ++i) {
    mx += x[i];
    my += y[i];
  }
  mx /= count;
  my /= count;
  double sxx = 0.0;
  double sxy = 0.0;
  for (std::size_t i = 0; i < x.size(); ++i) {
    sxx += (x[i] - mx) * (x[i] - mx);
    sxy += (x[i] - mx) * (y[i] - my);
  }
  if (!(sxx > 1e-12 * count)) return std::nullopt;
  return sxy / sxx;
}

/// The phase centre of one field, in wavelengths: the main beam is found on
/// a fine scan up to `last`, then phase against cos θ is fitted over it.
template <typename Field>
std::optional<double> FitPhaseCentre(Field field, double last) {
  const double axis = std::abs(field(0.0));
  if (!(axis > 0.0)) return std::nullopt;
  auto level_db = [&](double theta) {
    const double a = std::abs(field(theta));
    return a > 0.0 ? 20.0 * std::log10(a / axis) : -HUGE_VAL;
  };
  double end = last;
  double previous_theta = 0.0;
  double previous_db = 0.0;
  for (int i = 1; i <= kBeamScan; ++i) {
    const double theta = last * i / kBeamScan;
    const double db = level_db(theta);
    if (db < kMainBeamDb) {
      const double share = std::isfinite(db) ? (previous_db - kMainBeamDb) / (previous_db - db) : 0.0;
      end = previous_theta + share * (theta - previous_theta);
      break;
    }
    previous_theta = theta;
    previous_db = db;
  }
  if (!(end > 0.0)) return std::nullopt;
  std::vector<double> x;
  std::vector<double> y;
  double phase = 0.0;
  double previous = std::arg(field(0.0));
  for (int i = 0; i < kFitPoints; ++i) {
    const double theta = end * i / (kFitPoints - 1);
    const double raw = std::arg(field(theta));
    phase += i == 0 ? raw : WrapDegrees((raw - previous) / kDegree) * kDegree;
    previous = raw;
    x.push_back(std::cos(theta));
    y.push_back(phase);
  }
  const std::optional<double> slope = Slope(x, y);
  if (!slope) return std::nullopt;
  return *slope / (2.0 * kPi);
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) {
    s.remove_suffix(1);
  }
  return s;
}

std::vector<std::string_view> SplitFields(std::string_view line) {
  std::vector<std::string_view> fields;
  for (;;) {
    const std::size_t comma = line.find(',');
    fields.push_back(Trim(line.substr(0, comma)));
    if (comma == std::string_view::npos) return fields;
    line.remove_prefix(comma + 1);
  }
}

constexpr std::array<std::string_view, 5> kColumns{
    "theta_deg", "e_plane_db", "h_plane_db", "e_plane_phase_deg", "h_plane_phase_deg"};

}  // namespace

FeedPattern FeedPattern::Cosine(double q) {
  FeedPattern feed;
  feed.q_ = q;
  return feed;
}

FeedPattern FeedPattern::Sampled(const std::vector<FeedSample>& samples, bool has_phase) {
  FeedPattern feed;
  feed.has_phase_ = has_phase;
  double strongest = -HUGE_VAL;
  for (const FeedSample& s : samples) strongest = std::max({strongest, s.e_plane_db, s.h_plane_db});
  for (std::size_t i = 0; i < samples.size(); ++i) {
    const FeedSample& s = samples[i];
    feed.theta_.push_back(s.theta_deg * kDegree);
    feed.e_db_.push_back(s.e_plane_db - strongest);
    feed.h_db_.push_back(s.h_plane_db - strongest);
    // Unwrap the phases along θ, so that they interpolate across ±180°
    if (i == 0) {
      feed.e_phase_.push_back(has_phase ? s.e_plane_phase_deg * kDegree : 0.0);
      feed.h_phase_.push_back(has_phase ? s.h_plane_phase_deg * kDegree : 0.0);
    } else {
      const FeedSample& p = samples[i - 1];
      feed.e_phase_.push_back(
          feed.e_phase_.back() +
          (has_phase ? WrapDegrees(s.e_plane_phase_deg - p.e_plane_phase_deg) * kDegree : 0.0));
      feed.h_phase_.push_back(
          feed.h_phase_.back() +
          (has_phase ? WrapDegrees(s.h_plane_phase_deg - p.h_plane_phase_deg) * kDegree : 0.0));
    }
  }
  // The power integral up to each sample
  auto density = [&feed](double theta) {
    const PlaneFields f = feed.Fields(theta);
    return 0.5 * (std::norm(f.e_plane) + std::norm(f.h_plane)) * std::sin(theta);
  };
  feed.cumulative_.push_back(0.0);
  for (std::size_t i = 1; i < feed.theta_.size(); ++i) {
    feed.cumulative_.push_back(feed.cumulative_.back() +
                               Gauss(density, feed.theta_[i - 1], feed.theta_[i]));
  }
  return feed;
}

double FeedPattern::last_angle() const { return q_ ? 0.5 * kPi : theta_.back(); }

PlaneFields FeedPattern::Fields(double theta) const {
  theta = std::fabs(theta);
  if (q_) {
    if (theta >= 0.5 * kPi) return {};
    const double a = std::pow(std::cos(theta), *q_);
    return {a, a};
  }
  if (theta > theta_.back()) return {};
  // The interval [θ_i, θ_i+1] holding θ
  const auto upper = std::upper_bound(theta_.begin(), theta_.end(), theta);
  const std::size_t i =
      upper == theta_.end() ? theta_.size() - 2 : static_cast<std::size_t>(upper - theta_.begin()) - 1;
  const double s = (theta - theta_[i]) / (theta_[i + 1] - theta_[i]);
  auto lerp = [s, i](const std::vector<double>& v) { return v[i] + s * (v[i + 1] - v[i]); };
  return {std::polar(std::pow(10.0, lerp(e_db_) / 20.0), lerp(e_phase_)),
          std::polar(std::pow(10.0, lerp(h_db_) / 20.0), lerp(h_phase_))};
}

double FeedPattern::PowerUpTo(double theta) const {
  theta = std::min(std::fabs(theta), theta_.back());
  const auto upper = std::upper_bound(theta_.begin(), theta_.end(), theta);
  const std::size_t i = static_cast<std::size_t>(upper - theta_.begin()) - 1;
  auto density = [this](double t) {
    const PlaneFields f = Fields(t);
    return 0.5 * (std::norm(f.e_plane) + std::norm(f.h_plane)) * std::sin(t);
  };
  return cumulative_[i] + (theta > theta_[i] ? Gauss(density, theta_[i], theta) : 0.0);
}

double FeedPattern::PowerBeyond(double theta) const {
  if (q_) {
    if (theta >= 0.5 * kPi) return 0.0;
    if (theta <= 0.0) return 1.0;
    return std::pow(std::cos(theta), 2.0 * *q_ + 1.0);
  }
  if (theta <= 0.0) return 1.0;
  if (theta >= theta_.back()) return 0.0;
  const double total = cumulative_.back();
  return total > 0.0 ? std::clamp(1.0 - PowerUpTo(theta) / total, 0.0, 1.0) : 0.0;
}

double FeedPattern::CrossPolarShare(double theta_edge) const {
  if (q_) return 0.0;
  const double edge = std::min(theta_edge, theta_.back());
  double lost = 0.0;
  auto lost_density = [this](double t) {
    const PlaneFields f = Fields(t);
    return 0.25 * std::norm(f.e_plane - f.h_plane) * std::sin(t);
  };
  for (std::size_t i = 0; i + 1 < theta_.size() && theta_[i] < edge; ++i) {
    const double hi = std::min(theta_[i + 1], edge);
    lost += Gauss(lost_density, theta_[i], hi);
  }
  const double total = PowerUpTo(edge);
  return total > 0.0 ? lost / total : 0.0;
}

PhaseCentre FeedPattern::FindPhaseCentre() const {
  PhaseCentre centre;
  if (q_ || !has_phase_) return centre;
  const double last = theta_.back();
  centre.e_plane = FitPhaseCentre([this](double t) { return Fields(t).e_plane; }, last);
  centre.h_plane = FitPhaseCentre([this](double t) { return Fields(t).h_plane; }, last);
  centre.co_polar = FitPhaseCentre([this](double t) { return Fields(t).CoPolar(); }, last);
  return centre;
}

std::optional<FeedPattern> ReadFeedPattern(std::istream& in, const std::string& name,
                                           std::string* error) {
  int line_number = 0;
  auto fail = [&](const std::string& what) {
    *error = name + ":" + std::to_string(std::max(line_number, 1)) + ": " + what;
    return std::nullopt;
  };
  const std::string wanted = "theta_deg,e_plane_db,h_plane_db[,e_plane_phase_deg,h_plane_phase_deg]";

  // column_of[k]: where the header put kColumns[k], or -1
  std::array<int, kColumns.size()> column_of{-1, -1, -1, -1, -1};
  std::size_t columns = 0;
  bool has_header = false;
  bool has_phase = false;
  std::vector<FeedSample> samples;
  std::string line;
  while (std::getline(in, line)) {
    ++line_number;
    const std::string_view text = Trim(line);
    if (text.empty() || text.front() == '#') continue;
    const std::vector<std::string_view> fields = SplitFields(text);

    if (!has_header) {
      for (std::size_t c = 0; c < fields.size(); ++c) {
        const auto known = std::find(kColumns.begin(), kColumns.end(), fields[c]);
        if (known == kColumns.end()) {
          return fail("unknown column '" + std::string(fields[c]) + "' in the header (want " +
                      wanted + ")");
        }
        const auto k = static_cast<std::size_t>(known - kColumns.begin());
        if (column_of[k] >= 0) return fail("column '" + std::string(fields[c]) + "' twice");
        column_of[k] = static_cast<int>(c);
      }
      for (std::size_t k = 0; k < 3; ++k) {
        if (column_of[k] < 0) {
          return fail("no column '" + std::string(kColumns[k]) + "' in the header (want " + wanted +
                      ")");
        }
      }
      if ((column_of[3] < 0) != (column_of[4] < 0)) {
        return fail("a phase column for one plane only; give both or neither");
      }
      has_phase = column_of[3] >= 0;
      columns = fields.size();
      has_header = true;
      continue;
    }

    if (fields.size() != columns) {
      return fail(std::to_string(fields.size()) + " fields where the header has " +
                  std::to_string(columns));
    }
    std::array<double, kColumns.size()> values{};
    for (std::size_t k = 0; k < kColumns.size(); ++k) {
      if (column_of[k] < 0) continue;
      const std::string_view field = fields[static_cast<std::size_t>(column_of[k])];
      const std::optional<double> v = detail::ParseNumber(field);
      if (!v) {
        return fail(std::string(kColumns[k]) + " '" + std::string(field) +
                    "' is not a finite number");
      }
      values[k] = *v;
    }
    const double theta = values[0];
    if (samples.empty() && theta != 0.0) {
      return fail("the first angle is " + std::string(fields[static_cast<std::size_t>(column_of[0])]) +
                  ", not 0: the pattern must start on the axis");
    }
    if (!samples.empty() && !(theta > samples.back().theta_deg)) {
      return fail("angle " + std::string(fields[static_cast<std::size_t>(column_of[0])]) +
                  " does not follow the one before it (angles must increase)");
    }
    if (theta > 180.0) {
      return fail("angle " + std::string(fields[static_cast<std::size_t>(column_of[0])]) +
                  " beyond 180");
    }
    samples.push_back({theta, values[1], values[2], values[3], values[4]});
  }
  if (in.bad()) return fail("read error");
  if (!has_header) return fail("no header line (want " + wanted + ")");
  if (samples.size() < 2) {
    return fail(samples.empty() ? "no rows after the header"
                                : "a single angle; a pattern needs at least two");
  }
  FeedPattern feed = FeedPattern::Sampled(samples, has_phase);
  if (!(feed.cumulative_.back() > 0.0)) {
    return fail("the pattern radiates no power between its first and last angle");
  }
  return feed;
}

}  // namespace optics
