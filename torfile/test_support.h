#ifndef KEVRANO_TORFILE_TEST_SUPPORT_H_
#define KEVRANO_TORFILE_TEST_SUPPORT_H_

// Helpers shared by the tests of the tor file, the export, the optics and
// kevrano-tor: a scratch folder, whole-file reading, a reader of tor files
// that checks every fixed record and column on its way, tor files written
// from a list of nodes and segments, the worked-example lenses and their
// export by the design program's own export, the bundled test files and
// edits of them, the options of an analysis, and a reader of binary STL.

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "optics/analysis.h"
#include "torfile/outline.h"
#include "torfile/reader.h"

namespace torfile::testing {

/// A folder of the test's own, made with mkdtemp below ::testing::TempDir()
/// (TEST_TMPDIR or TMPDIR when set), removed with everything in it when the
/// object goes, also when the test fails. Throws when it cannot be made.
class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }
  /// Path of a file in the folder.
  std::string File(const std::string& name) const { return (path_ / name).string(); }
  /// Writes `bytes` to the file `name` in the folder; returns its path.
  std::string Write(const std::string& name, std::string_view bytes) const;

 private:
  std::filesystem::path path_;
};

/// The whole content of a file, byte for byte.
std::string ReadBytes(const std::string& path);

/// One node row as read back.
struct ReadNode {
  int32_t number = 0;
  float z = 0.0f;
  float r = 0.0f;
};

/// The content of a tor file as its columns hold it.
struct ReadTor {
  float zloff = 0.0f;
  float eps = 0.0f;
  std::vector<ReadNode> nodes;
  std::vector<std::array<int32_t, 2>> linear;
  std::vector<std::array<int32_t, 4>> cubic;
  std::string unit;
};

/// Splits records ending in CR LF; fails on a bare LF or an unended record.
::testing::AssertionResult SplitRecords(const std::string& bytes,
                                        std::vector<std::string>& records);

/// Reads a tor file as the export writes it, checking every fixed record,
/// the columns of every row and the numbering of nodes and segments.
::testing::AssertionResult ReadColumns(const std::string& bytes, ReadTor& tor);

/// A mesh written by hand.
struct MeshSpec {
  std::vector<Point> nodes;
  std::vector<std::array<int32_t, 2>> linear;
  std::vector<std::array<int32_t, 4>> cubic;
  std::string unit = "mm";
  float zloff = 0.0f;
  float eps = 2.56f;
};

/// The tor file of the mesh in the export's exact layout, CR LF line ends.
std::string TorText(const MeshSpec& mesh);

/// A flat-faced cylinder of radius 3 from z = 2 to z = 5: nodes 1-2 the feed
/// face, 3-4 the radiation face, linear segments (1,2), (3,4) and the rim (2,4).
MeshSpec Cylinder();

/// Lens data as the design hands it to the export.
struct LensData {
  std::vector<float> ZF, RF, ZR, RR, RZF, RZR;
  int32_t NPT = 0;
  int32_t ISIDE = 1;
  int32_t ISURF = 1;
  int32_t NZ = 0;
  float EPS = 2.56f;
  float STEP = 1.0f;
  float FR = 1.0f;
  int32_t units = 3;
};

/// A zoned hyperbolic lens, radius 10 and focal distance 20: the feed face is
/// the hyperbola that makes the rays from the feed run parallel to the axis
/// inside the lens, the radiation face flat at z = `back` (prescribed, ISIDE
/// 2, ISURF 1); `zones` zones of step 1, each where the lens is one step
/// thicker than at the edge; 31 rays; share 1 from the feed face.
LensData HyperbolicLens(double back = 24.7, int32_t zones = 3);

/// Volume of the same lens before zoning, from the hyperbola itself.
double HyperbolicLensVolume(double back = 24.7);

/// The z of the hyperbolic face at the lens edge.
double HyperbolicEdgeZ();

/// The export's worked example, ten rays on two crossing parabolas: feed face z = 2 + 0.05 r^2 (r
/// up to 4.5), radiation face z = 4 - 0.08 r^2 (r up to 4.95); two zones.
LensData CrossingFacesLens();

/// Runs the export on the data and returns the tor file it wrote. The
/// export's files go to a scratch folder of their own, named by short
/// answers (the export keeps 70 characters of a file name).
std::string Export(const LensData& lens);

/// A file of torfile/testdata.
std::string TestData(const std::string& name);
std::string TestDataPath(const std::string& name);

/// `text` with the first occurrence of `from` replaced by `to`; fails the
/// test when `from` is absent.
std::string Edited(std::string text, const std::string& from, const std::string& to);

/// Parses and checks a text, failing the test when it does not parse.
struct Checked {
  Mesh file;
  CheckResult check;
};
Checked ParseAndCheck(std::string_view text);

/// The options of an analysis at `wavelength`.
optics::AnalysisOptions Options(double wavelength, double edge_taper_db = 10.0,
                                std::optional<double> feed_q = std::nullopt,
                                double tan_delta = 0.0);

using Vec3 = std::array<float, 3>;
struct StlMesh {
  std::string header;
  std::vector<Vec3> normals;
  std::vector<std::array<Vec3, 3>> triangles;
};

/// Reads a binary STL; false when the byte count does not match the header.
bool ReadStl(std::string_view bytes, StlMesh* mesh);

/// Volume enclosed by the triangles (positive for outward normals).
double SignedVolume(const StlMesh& mesh);

/// Facets whose stored normal is not the unit normal that the order of their
/// vertices gives (right-hand rule): empty when every normal agrees. With
/// a positive SignedVolume and no EdgeFaults, every normal points out of the
/// solid.
std::vector<std::string> NormalFaults(const StlMesh& mesh);

/// Edges used by other than exactly two triangles, or twice in the same
/// direction: empty for a closed, consistently oriented mesh.
std::vector<std::string> EdgeFaults(const StlMesh& mesh);

}  // namespace torfile::testing

#endif  // KEVRANO_TORFILE_TEST_SUPPORT_H_
