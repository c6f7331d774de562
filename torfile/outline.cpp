#include "torfile/outline.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <numbers>
#include <tuple>
#include <utility>

#include "textio/checked.h"

namespace torfile {
namespace {

/// Errors and warnings beyond these counts are dropped: one broken file must
/// not flood the screen.
constexpr std::size_t kMaxProblems = 200;
/// Chords per cubic segment when looking for crossings.
constexpr int kCrossingChords = 8;
/// Pairs of chords compared at most when looking for crossings.
constexpr int64_t kCrossingBudget = 20000000;

std::string Number(double x) {
  std::array<char, 32> buffer{};
  std::snprintf(buffer.data(), buffer.size(), "%.6g", x);
  return buffer.data();
}

std::string PointText(Point p) { return "(z " + Number(p.z) + ", r " + Number(p.r) + ")"; }

void Add(std::vector<Problem>* list, int line, std::string message) {
  if (list->size() < kMaxProblems) list->push_back(Problem{line, std::move(message)});
}

void Add(std::vector<OutlineProblem>* list, int line, std::string message,
         std::optional<Point> where) {
  if (list->size() < kMaxProblems) {
    list->push_back(OutlineProblem{Problem{line, std::move(message)}, where});
  }
}

/// Lengths below which points count as on the axis or as one point.
struct Tolerances {
  double axis = 0.0;
  double edge = 0.0;
};

Tolerances TolerancesFor(const Mesh& file) {
  Box box;
  double largest = 0.0;
  for (const Node& n : file.nodes) {
    box.Add(Point{n.z, n.r});
    largest = std::max({largest, std::fabs(n.z), std::fabs(n.r)});
  }
  double scale = box.empty ? 1.0 : std::max({box.z_max - box.z_min, box.r_max - box.r_min});
  if (!(scale > 0.0)) scale = largest > 0.0 ? largest : 1.0;
  // Coordinates are written with five significant digits, so points meant to
  // coincide may differ in the fifth digit of their largest coordinate.
  return Tolerances{1e-6 * scale, 1e-4 * std::max(scale, largest)};
}

/// Pieces in table order, linear first, with every node checked to exist.
std::vector<Piece> CollectPieces(const Mesh& file, std::vector<OutlineProblem>* errors) {
  std::vector<Piece> pieces;
  const auto node_count = static_cast<int32_t>(file.nodes.size());
  auto check = [&](const Piece& p, int count) {
    bool ok = true;
    for (int i = 0; i < count; ++i) {
      const int32_t k = textio::At(p.nodes, i + 1);
      if (k < 1 || k > node_count) {
        // Marked at a node of the segment that exists, if any
        std::optional<Point> where;
        for (const int32_t other : p.nodes) {
          if (!where && other != k) where = PlaceOf(file, other);
        }
        Add(errors, p.line,
            p.Name() + " refers to node " + std::to_string(k) + ", but the file has " +
                std::to_string(node_count) + " nodes",
            where);
        ok = false;
      }
      for (int j = 0; j < i; ++j) {
        if (textio::At(p.nodes, j + 1) == k) {
          Add(errors, p.line, p.Name() + " names node " + std::to_string(k) + " twice",
              PlaceOf(file, k));
          ok = false;
        }
      }
    }
    if (ok) pieces.push_back(p);
  };
  for (std::size_t i = 0; i < file.linear.size(); ++i) {
    const LinearSegment& s = file.linear[i];
    check(Piece{PieceKind::kLinear,
                static_cast<int32_t>(i + 1),
                {s.nodes[0], s.nodes[1], 0, 0},
                s.line},
          2);
  }
  for (std::size_t i = 0; i < file.cubic.size(); ++i) {
    const CubicSegment& s = file.cubic[i];
    check(Piece{PieceKind::kCubic, static_cast<int32_t>(i + 1), s.nodes, s.line}, 4);
  }
  return pieces;
}

/// Which pieces end at each node, and which cubic piece holds it inside.
struct Incidence {
  std::vector<std::vector<std::size_t>> ends;  // by node number
  std::vector<std::optional<std::size_t>> inner;
};

Incidence Connect(const Mesh& file, const std::vector<Piece>& pieces,
                  std::vector<OutlineProblem>* errors, std::vector<Problem>* warnings) {
  Incidence in;
  const std::size_t n = file.nodes.size();
  in.ends.resize(n + 1);
  in.inner.resize(n + 1);
  for (std::size_t p = 0; p < pieces.size(); ++p) {
    const Piece& piece = pieces[p];
    for (const int32_t k : {piece.First(), piece.Last()}) {
      auto& list = in.ends[static_cast<std::size_t>(k)];
      list.push_back(p);
      if (list.size() == 3) {
        Add(errors, piece.line,
            "node " + std::to_string(k) + " is an end of three segments (" +
                pieces[list[0]].Name() + ", " + pieces[list[1]].Name() + " and " + piece.Name() +
                "): the outline branches there",
            PlaceOf(file, k));
      }
    }
    if (piece.kind == PieceKind::kCubic) {
      for (const int32_t k : {piece.nodes[1], piece.nodes[2]}) {
        auto& slot = in.inner[static_cast<std::size_t>(k)];
        if (slot) {
          Add(errors, piece.line,
              "node " + std::to_string(k) + " lies inside both " + pieces[*slot].Name() + " and " +
                  piece.Name(),
              PlaceOf(file, k));
        }
        slot = p;
      }
    }
  }
  for (std::size_t k = 1; k <= n; ++k) {
    if (in.inner[k] && !in.ends[k].empty()) {
      Add(errors, pieces[in.ends[k][0]].line,
          "node " + std::to_string(k) + " lies inside " + pieces[*in.inner[k]].Name() +
              " and is also an end of " + pieces[in.ends[k][0]].Name(),
          PlaceOf(file, static_cast<int32_t>(k)));
    }
    if (!in.inner[k] && in.ends[k].empty()) {
      Add(warnings, file.nodes[k - 1].line, "node " + std::to_string(k) + " belongs to no segment");
    }
  }
  return in;
}

/// Follows the pieces from node `start` (an end of exactly one piece) until
/// the run ends.
std::vector<Piece> Walk(int32_t start, const std::vector<Piece>& pieces, const Incidence& in,
                        std::vector<bool>* used) {
  std::vector<Piece> run;
  int32_t current = start;
  std::optional<std::size_t> next = in.ends[static_cast<std::size_t>(start)][0];
  while (next && !(*used)[*next]) {
    const std::size_t p = *next;
    (*used)[p] = true;
    const Piece piece = pieces[p].First() == current ? pieces[p] : pieces[p].Reversed();
    run.push_back(piece);
    current = piece.Last();
    next.reset();
    for (const std::size_t q : in.ends[static_cast<std::size_t>(current)]) {
      if (q != p) next = q;
    }
  }
  return run;
}

std::vector<Piece> ReversedRun(const std::vector<Piece>& run) {
  std::vector<Piece> out;
  for (auto it = run.rbegin(); it != run.rend(); ++it) out.push_back(it->Reversed());
  return out;
}

Side MakeSide(std::vector<Piece> pieces) {
  Side side;
  side.axis_node = pieces.front().First();
  side.edge_node = pieces.back().Last();
  side.pieces = std::move(pieces);
  return side;
}

double Length(const Mesh& file, const Piece& piece) {
  const Point a = NodePoint(file, piece.First());
  const Point b = NodePoint(file, piece.Last());
  return std::hypot(b.z - a.z, b.r - a.r);
}

/// How far a linear piece runs along the axis, relative to its length.
double Axiality(const Mesh& file, const Piece& piece) {
  const Point a = NodePoint(file, piece.First());
  const Point b = NodePoint(file, piece.Last());
  const double length = std::hypot(b.z - a.z, b.r - a.r);
  return length > 0.0 ? std::fabs(b.z - a.z) / length : 0.0;
}

/// Splits one run from axis to axis into its two faces at the rim: the rim is
/// the linear piece at the outermost node (if both pieces there are linear,
/// the more axial one, or the shorter one when they are alike); with no linear piece there, or when
/// a rim would leave no face on one side, the faces meet at that node.
std::pair<Side, Side> SplitAtRim(const Mesh& file, const std::vector<Piece>& run,
                                 std::optional<Piece>* rim) {
  std::size_t top = 1;  // the node where piece top - 1 ends and piece top starts
  double top_r = -1.0;
  for (std::size_t i = 1; i < run.size(); ++i) {
    const double r = NodePoint(file, run[i].First()).r;
    if (r > top_r) {
      top_r = r;
      top = i;
    }
  }
  const Piece& before = run[top - 1];
  const Piece& after = run[top];
  std::optional<std::size_t> rim_index;
  const bool before_linear = before.kind == PieceKind::kLinear;
  const bool after_linear = after.kind == PieceKind::kLinear;
  if (before_linear && after_linear) {
    // The rim runs along the edge, a flat face's last piece across it; when
    // both lie across (a rim of zero length beside a flat face), the shorter
    const double a = Axiality(file, before);
    const double b = Axiality(file, after);
    if (a != b) {
      rim_index = a > b ? top - 1 : top;
    } else {
      rim_index = Length(file, before) <= Length(file, after) ? top - 1 : top;
    }
  } else if (before_linear) {
    rim_index = top - 1;
  } else if (after_linear) {
    rim_index = top;
  }
  // A rim must leave a face on either side of it
  if (rim_index && (*rim_index == 0 || *rim_index + 1 == run.size())) rim_index.reset();
  if (!rim_index) {
    return {MakeSide({run.begin(), run.begin() + static_cast<std::ptrdiff_t>(top)}),
            MakeSide(ReversedRun({run.begin() + static_cast<std::ptrdiff_t>(top), run.end()}))};
  }
  *rim = run[*rim_index];
  const auto cut = static_cast<std::ptrdiff_t>(*rim_index);
  return {MakeSide({run.begin(), run.begin() + cut}),
          MakeSide(ReversedRun({run.begin() + cut + 1, run.end()}))};
}

/// A straight piece of the sampled outline and the segment it belongs to.
struct Chord {
  Point a;
  Point b;
  std::size_t owner = 0;
};

double Orientation(Point a, Point b, Point c) {
  return (b.z - a.z) * (c.r - a.r) - (b.r - a.r) * (c.z - a.z);
}

/// Where two crossing chords meet.
Point Intersection(const Chord& x, const Chord& y) {
  const double dz = x.b.z - x.a.z;
  const double dr = x.b.r - x.a.r;
  const double ez = y.b.z - y.a.z;
  const double er = y.b.r - y.a.r;
  const double denominator = dz * er - dr * ez;
  if (denominator == 0.0) return x.a;
  const double t = ((y.a.z - x.a.z) * er - (y.a.r - x.a.r) * ez) / denominator;
  return Point{x.a.z + t * dz, x.a.r + t * dr};
}

/// The lowest of 64 points along a cubic, where it dips furthest below the axis.
Point LowestPoint(const Cubic& c) {
  Point lowest = c.At(0.0);
  for (int k = 1; k <= 64; ++k) {
    const Point p = c.At(k / 64.0);
    if (p.r < lowest.r) lowest = p;
  }
  return lowest;
}

bool Cross(const Chord& x, const Chord& y) {
  const double o1 = Orientation(x.a, x.b, y.a);
  const double o2 = Orientation(x.a, x.b, y.b);
  const double o3 = Orientation(y.a, y.b, x.a);
  const double o4 = Orientation(y.a, y.b, x.b);
  return ((o1 > 0.0 && o2 < 0.0) || (o1 < 0.0 && o2 > 0.0)) &&
         ((o3 > 0.0 && o4 < 0.0) || (o3 < 0.0 && o4 > 0.0));
}

/// The travelled pieces of the closed outline in order: the feed face out,
/// the rim, the radiation face back in.
std::vector<Piece> Travel(const Outline& outline) {
  std::vector<Piece> out = outline.feed.pieces;
  if (outline.rim) out.push_back(*outline.rim);
  for (const Piece& p : ReversedRun(outline.radiation.pieces)) out.push_back(p);
  return out;
}

/// Looks for two chords of the closed outline that cross, neighbours apart.
void FindCrossing(const Mesh& file, const Outline& outline, std::vector<OutlineProblem>* errors,
                  std::vector<Problem>* warnings) {
  const std::vector<Piece> travel = Travel(outline);
  const std::size_t closing = travel.size();  // owner of the chords that close the outline
  std::vector<Chord> chords;
  auto add = [&chords](Point a, Point b, std::size_t owner) {
    if (a.z != b.z || a.r != b.r) chords.push_back(Chord{a, b, owner});
  };
  for (std::size_t i = 0; i < travel.size(); ++i) {
    // At a knife edge the gap between the edge nodes closes the outline
    if (!outline.rim && i == outline.feed.pieces.size()) {
      add(NodePoint(file, outline.feed.edge_node), NodePoint(file, outline.radiation.edge_node),
          closing);
    }
    const Piece& p = travel[i];
    if (p.kind == PieceKind::kLinear) {
      add(NodePoint(file, p.First()), NodePoint(file, p.Last()), i);
      continue;
    }
    const Cubic c = PieceCubic(file, p);
    Point from = NodePoint(file, p.First());
    for (int k = 1; k <= kCrossingChords; ++k) {
      const Point to =
          k == kCrossingChords ? NodePoint(file, p.Last()) : c.At(k / double{kCrossingChords});
      add(from, to, i);
      from = to;
    }
  }
  add(NodePoint(file, outline.radiation.axis_node), NodePoint(file, outline.feed.axis_node),
      closing);
  const std::size_t n = chords.size();
  if (n < 4) return;

  // Sweep along the axis, comparing chords whose axial spans overlap
  std::vector<std::size_t> order(n);
  for (std::size_t i = 0; i < n; ++i) order[i] = i;
  auto z_low = [&chords](std::size_t i) { return std::min(chords[i].a.z, chords[i].b.z); };
  auto z_high = [&chords](std::size_t i) { return std::max(chords[i].a.z, chords[i].b.z); };
  std::sort(order.begin(), order.end(),
            [&](std::size_t x, std::size_t y) { return z_low(x) < z_low(y); });
  std::vector<std::size_t> active;
  int64_t compared = 0;
  for (const std::size_t i : order) {
    std::erase_if(active, [&](std::size_t j) { return z_high(j) < z_low(i); });
    for (const std::size_t j : active) {
      const std::size_t gap = i > j ? i - j : j - i;
      if (gap == 1 || gap == n - 1) continue;
      if (++compared > kCrossingBudget) {
        Add(warnings, 0, "the outline is too large to be checked for crossings");
        return;
      }
      if (!Cross(chords[i], chords[j])) continue;
      auto name = [&](std::size_t owner) {
        return owner < travel.size() ? travel[owner].Name()
                                     : std::string("the closing line along the axis");
      };
      const std::size_t first = std::min(chords[i].owner, chords[j].owner);
      const std::size_t second = std::max(chords[i].owner, chords[j].owner);
      const int line = first < travel.size() ? travel[first].line : 0;
      Add(errors, line,
          "the outline crosses itself: " + name(first) + " crosses " + name(second) + " near " +
              PointText(chords[i].a),
          Intersection(chords[i], chords[j]));
      return;
    }
    active.push_back(i);
  }
}

}  // namespace

Piece Piece::Reversed() const {
  Piece p = *this;
  if (kind == PieceKind::kLinear) {
    std::swap(p.nodes[0], p.nodes[1]);
  } else {
    std::reverse(p.nodes.begin(), p.nodes.end());
  }
  return p;
}

std::string Piece::Name() const {
  return (kind == PieceKind::kLinear ? "linear segment " : "cubic segment ") +
         std::to_string(segment);
}

Point NodePoint(const Mesh& file, int32_t number) {
  const Node& n = textio::At(file.nodes, number);
  return Point{n.z, n.r};
}

std::optional<Point> PlaceOf(const Mesh& file, int32_t number) {
  if (number < 1 || static_cast<std::size_t>(number) > file.nodes.size()) return std::nullopt;
  return NodePoint(file, number);
}

Cubic PieceCubic(const Mesh& file, const Piece& piece) {
  return CubicThrough({NodePoint(file, piece.nodes[0]), NodePoint(file, piece.nodes[1]),
                       NodePoint(file, piece.nodes[2]), NodePoint(file, piece.nodes[3])});
}

bool IsZoneStep(const Mesh& file, const Piece& piece) {
  if (piece.kind != PieceKind::kLinear) return false;
  const Point a = NodePoint(file, piece.First());
  const Point b = NodePoint(file, piece.Last());
  const double dz = std::fabs(b.z - a.z);
  return dz > 0.0 && dz >= std::fabs(b.r - a.r);
}

CheckResult CheckOutline(const Mesh& file) {
  CheckResult result;
  std::vector<OutlineProblem>& errors = result.errors;

  // Every segment's nodes exist; the segments chain without branching
  const std::vector<Piece> pieces = CollectPieces(file, &errors);
  if (!errors.empty()) return result;
  if (pieces.empty()) {
    Add(&errors, 0, "the mesh has no segments", std::nullopt);
    return result;
  }
  const Incidence in = Connect(file, pieces, &errors, &result.warnings);
  if (!errors.empty()) return result;

  // Runs of chained pieces; a piece left over lies on a closed loop
  std::vector<bool> used(pieces.size(), false);
  std::vector<std::vector<Piece>> runs;
  for (std::size_t k = 1; k < in.ends.size(); ++k) {
    if (in.ends[k].size() == 1 && !used[in.ends[k][0]]) {
      runs.push_back(Walk(static_cast<int32_t>(k), pieces, in, &used));
    }
  }
  for (std::size_t p = 0; p < pieces.size(); ++p) {
    if (!used[p]) {
      Add(&errors, pieces[p].line,
          pieces[p].Name() +
              " lies on a closed loop of segments; a lens outline runs from the "
              "axis to the rim and back to the axis",
          PlaceOf(file, pieces[p].First()));
      return result;
    }
  }

  // Each face runs from the axis to the rim
  const Tolerances tol = TolerancesFor(file);
  auto on_axis = [&](int32_t k) { return std::fabs(NodePoint(file, k).r) <= tol.axis; };
  auto node_line = [&](int32_t k) { return textio::At(file.nodes, k).line; };
  auto one_end_on_axis = [&](const std::vector<Piece>& run) {
    return on_axis(run.front().First()) != on_axis(run.back().Last());
  };
  auto node_text = [&](int32_t k) {
    return "node " + std::to_string(k) + " " + PointText(NodePoint(file, k));
  };
  Outline outline;
  if (runs.size() == 1) {
    const std::vector<Piece>& run = runs[0];
    for (const int32_t end : {run.front().First(), run.back().Last()}) {
      if (!on_axis(end)) {
        Add(&errors, node_line(end),
            "the outline ends at " + node_text(end) +
                ", away from the axis, and no segment continues it",
            PlaceOf(file, end));
      }
    }
    if (!errors.empty()) return result;
    if (run.size() < 2) {
      Add(&errors, run[0].line, "the outline is a single segment from the axis to the axis",
          PlaceOf(file, run[0].First()));
      return result;
    }
    std::tie(outline.feed, outline.radiation) = SplitAtRim(file, run, &outline.rim);
  } else if (runs.size() == 2 && one_end_on_axis(runs[0]) && one_end_on_axis(runs[1])) {
    std::array<std::vector<Piece>, 2> faces;
    for (std::size_t i = 0; i < 2; ++i) {
      faces[i] = on_axis(runs[i].front().First()) ? runs[i] : ReversedRun(runs[i]);
    }
    outline.feed = MakeSide(faces[0]);
    outline.radiation = MakeSide(faces[1]);
    const Point e1 = NodePoint(file, outline.feed.edge_node);
    const Point e2 = NodePoint(file, outline.radiation.edge_node);
    const double gap = std::hypot(e2.z - e1.z, e2.r - e1.r);
    if (gap > tol.edge) {
      const int32_t later = std::max(outline.feed.edge_node, outline.radiation.edge_node);
      Add(&errors, node_line(later),
          "the outline is open at the rim: the faces end at " + node_text(outline.feed.edge_node) +
              " and " + node_text(outline.radiation.edge_node) + ", " + Number(gap) +
              " apart, and no segment joins them",
          Point{0.5 * (e1.z + e2.z), 0.5 * (e1.r + e2.r)});
      return result;
    }
  } else {
    std::string starts;
    for (std::size_t i = 0; i < runs.size() && i < 5; ++i) {
      starts += (i == 0 ? "" : ", ") + std::to_string(runs[i].front().First());
    }
    Add(&errors, runs[1].front().line,
        "the segments form " + std::to_string(runs.size()) + " separate runs (from nodes " +
            starts + (runs.size() > 5 ? ", ..." : "") +
            "); a lens outline is one run from the axis to the axis, or two that meet at a "
            "knife edge",
        PlaceOf(file, runs[1].front().First()));
    return result;
  }

  // The face nearer the feed on the axis is the feed face
  const double z_a = NodePoint(file, outline.feed.axis_node).z;
  const double z_b = NodePoint(file, outline.radiation.axis_node).z;
  if (z_a == z_b) {
    Add(&errors, node_line(std::max(outline.feed.axis_node, outline.radiation.axis_node)),
        "both faces meet the axis at z " + Number(z_a) + ": the lens has no thickness there",
        Point{z_a, 0.0});
    return result;
  }
  if (z_a > z_b) {
    std::swap(outline.feed, outline.radiation);
    if (outline.rim) outline.rim = outline.rim->Reversed();
  }

  // Segments: no zero-length cubic segment, nothing below or on the axis
  // except the two axis nodes
  for (const Piece& p : pieces) {
    if (p.kind != PieceKind::kCubic) continue;
    const Point a = NodePoint(file, p.nodes[0]);
    bool same = true;
    for (std::size_t i = 1; i < 4; ++i) {
      const Point b = NodePoint(file, p.nodes[i]);
      same = same && a.z == b.z && a.r == b.r;
    }
    if (same) {
      Add(&errors, p.line, p.Name() + " has zero length: its four nodes lie at " + PointText(a), a);
      continue;
    }
    Box box;
    box.Add(PieceCubic(file, p));
    // Written to five digits, nodes meant to step evenly bend the curve a
    // little; only a dip beyond that is a fault
    if (box.r_min < -tol.edge) {
      Add(&errors, p.line, p.Name() + " dips below the axis (r down to " + Number(box.r_min) + ")",
          LowestPoint(PieceCubic(file, p)));
    }
  }
  for (std::size_t k = 1; k < in.ends.size(); ++k) {
    const auto number = static_cast<int32_t>(k);
    if (number == outline.feed.axis_node || number == outline.radiation.axis_node) continue;
    if (in.ends[k].empty() && !in.inner[k]) continue;
    const Node& n = file.nodes[k - 1];
    if (n.r < -tol.axis) {
      Add(&errors, n.line, node_text(number) + " lies below the axis", Point{n.z, n.r});
    } else if (n.r <= tol.axis) {
      Add(&errors, n.line,
          node_text(number) + " lies on the axis; only the first node of each face may",
          Point{n.z, n.r});
    }
  }
  if (!errors.empty()) return result;

  // The outline does not cross itself and encloses a solid
  FindCrossing(file, outline, &errors, &result.warnings);
  if (!errors.empty()) return result;
  if (!(Summarize(file, outline).volume > 0.0)) {
    Add(&errors, 0, "the outline encloses no volume", std::nullopt);
    return result;
  }
  result.outline = std::move(outline);
  return result;
}

Summary Summarize(const Mesh& file, const Outline& outline) {
  Summary s;
  s.nodes = static_cast<int32_t>(file.nodes.size());
  s.linear = static_cast<int32_t>(file.linear.size());
  s.cubic = static_cast<int32_t>(file.cubic.size());
  // A rim of zero length is a knife edge too
  const Point feed_edge = NodePoint(file, outline.feed.edge_node);
  const Point radiation_edge = NodePoint(file, outline.radiation.edge_node);
  s.knife_edge = feed_edge.z == radiation_edge.z && feed_edge.r == radiation_edge.r;

  // Extent and the swept integral, face by face
  Box box;
  double swept = 0.0;
  auto visit = [&](const Side& side, int32_t* steps) {
    double sum = 0.0;
    for (const Piece& p : side.pieces) {
      if (p.kind == PieceKind::kCubic) {
        const Cubic c = PieceCubic(file, p);
        box.Add(c);
        sum += SweptIntegral(c);
      } else {
        const Point a = NodePoint(file, p.First());
        const Point b = NodePoint(file, p.Last());
        box.Add(a);
        box.Add(b);
        sum += SweptIntegral(a, b);
        if (IsZoneStep(file, p)) ++*steps;
      }
    }
    return sum;
  };
  swept += visit(outline.feed, &s.feed_steps);
  swept -= visit(outline.radiation, &s.radiation_steps);
  // The rim, or the closing of the gap between the edge nodes at a knife edge
  swept += SweptIntegral(NodePoint(file, outline.feed.edge_node),
                         NodePoint(file, outline.radiation.edge_node));

  s.lens_radius = box.r_max;
  s.z_min = box.z_min;
  s.z_max = box.z_max;
  s.axis_thickness =
      NodePoint(file, outline.radiation.axis_node).z - NodePoint(file, outline.feed.axis_node).z;
  s.volume = std::numbers::pi * swept;
  return s;
}

std::vector<Point> OutlinePolygon(const Mesh& file, const Outline& outline, int chords) {
  std::vector<Point> polygon;
  auto push = [&polygon](Point p) {
    if (polygon.empty() || polygon.back().z != p.z || polygon.back().r != p.r) {
      polygon.push_back(p);
    }
  };
  const int n = std::max(chords, 1);
  for (const Piece& p : Travel(outline)) {
    if (p.kind == PieceKind::kLinear) {
      push(NodePoint(file, p.First()));
      push(NodePoint(file, p.Last()));
      continue;
    }
    // Inner points on the curve, the ends exactly at the nodes
    const Cubic c = PieceCubic(file, p);
    push(NodePoint(file, p.First()));
    for (int k = 1; k < n; ++k) push(c.At(static_cast<double>(k) / static_cast<double>(n)));
    push(NodePoint(file, p.Last()));
  }
  // Both ends onto the axis
  if (!polygon.empty()) {
    polygon.front().r = 0.0;
    polygon.back().r = 0.0;
  }
  return polygon;
}

}  // namespace torfile
