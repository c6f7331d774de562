#include "torfile/writer.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "textio/fixed_format.h"
#include "textio/units.h"
#include "torfile/test_support.h"

namespace torfile {
namespace {

using testing::ReadBytes;
using testing::ScratchFolder;

/// Records rendered by the writer and written on unit 43, open on a scratch
/// file, as the export writes them; Finish closes it and returns the bytes.
class TorWriterTest : public ::testing::Test {
 protected:
  TorWriterTest() : io_(keyboard_, screen_, {}), path_(folder_.File("lens.tor")) {
    io_.open_text_unit(textio::kTorFile, path_);
  }

  void Write(std::vector<std::string> records) {
    for (std::string& record : records) io_.write_record(textio::kTorFile, std::move(record));
  }
  void WriteOffset(float zloff) { Write(OffsetRecords(zloff)); }
  void WriteMeshHead(float eps) { Write(MeshHeadRecords(eps)); }
  void WriteNode(int32_t number, float z, float r) { Write({NodeRecord(number, z, r)}); }
  void WriteSegments(std::vector<LinearSegment> linear, std::vector<CubicSegment> cubic) {
    Write(SegmentRecords(linear, cubic));
  }
  void WriteTrailer(int32_t code) { Write(TrailerRecords(UnitOfCode(code))); }

  std::string Finish() {
    io_.close_unit(textio::kTorFile);
    return ReadBytes(path_);
  }

  /// The file's records, without their CR LF.
  std::vector<std::string> FinishRecords() {
    const std::string bytes = Finish();
    std::vector<std::string> records;
    EXPECT_TRUE(testing::SplitRecords(bytes, records));
    return records;
  }

  ScratchFolder folder_;
  std::istringstream keyboard_;
  std::ostringstream screen_;
  textio::Units io_;
  std::string path_;
};

// Two nodes, one linear and one cubic segment, millimetres.
TEST_F(TorWriterTest, SmallLensFileByteForByte) {
  WriteOffset(25.4f);
  WriteMeshHead(2.56f);
  WriteNode(1, 0.5f, 0.0f);
  WriteNode(2, -0.53125f, 12.75f);
  WriteSegments({{{1, 2}}}, {{{2, 3, 4, 5}}});
  WriteTrailer(3);

  const std::string want =
      "ZLOFF  real_variable\r\n"
      "(\r\n"
      "  value            :   2.5400E+01\r\n"
      ")\r\n"
      "\r\n"
      "horn_bor_mesh_lens   bor_mesh\r\n"
      "(\r\n"
      "  regions          : table\r\n"
      "    (\r\n"
      "        1    2.56000E+00    1.00000E+00    0.00000E+00\r\n"
      "     ),\r\n"
      "  nodes             : table\r\n"
      "    (\r\n"
      "        1  \"ref(ZLOFF)+  5.0000E-01\"     0.0000E+00\r\n"
      "        2  \"ref(ZLOFF)+ -5.3125E-01\"     1.2750E+01\r\n"
      "  ),\r\n"
      "  linear_segments  : table\r\n"
      "    (\r\n"
      "          1     1     2  0   1   -1.0   0.0\r\n"
      "  ),\r\n"
      "  cubic_segments   : table\r\n"
      "    (\r\n"
      "          1     2     3     4     5  0   1   -1.0   0.0\r\n"
      "    ),\r\n"
      "  length_unit      : mm\r\n"
      "  )\r\n";
  EXPECT_EQ(want, Finish());
  EXPECT_EQ("", screen_.str());
}

// The attribute colons stand in column 20, the node table's in column 21; the
// node rows' quotes in columns 12 and 36.
TEST_F(TorWriterTest, AttributeAndNodeColumns) {
  WriteOffset(1.0f);
  WriteMeshHead(2.25f);
  WriteNode(12345, 1.0f, 2.0f);
  WriteSegments({}, {});
  WriteTrailer(1);
  const std::vector<std::string> records = FinishRecords();

  // Every column of the record that holds the character, counted from 1.
  struct Case {
    const char* starts;
    char mark;
    std::vector<std::size_t> columns;
  };
  const Case kCases[] = {
      {"  value", ':', {20}},          {"  regions", ':', {20}},
      {"  nodes", ':', {21}},          {"  linear_segments", ':', {20}},
      {"  cubic_segments", ':', {20}}, {"  length_unit", ':', {20}},
      {"    12345", '"', {12, 36}},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.starts);
    int found = 0;
    for (const std::string& record : records) {
      if (record.rfind(c.starts, 0) != 0) continue;
      ++found;
      std::vector<std::size_t> columns;
      for (std::size_t i = 0; i < record.size(); ++i) {
        if (record[i] == c.mark) columns.push_back(i + 1);
      }
      EXPECT_EQ(c.columns, columns) << record;
    }
    EXPECT_EQ(1, found);
  }
}

TEST_F(TorWriterTest, EmptyTablesKeepTheirHeads) {
  WriteSegments({}, {});
  const std::vector<std::string> want = {"  ),", "  linear_segments  : table", "    (",
                                         "  ),", "  cubic_segments   : table", "    ("};
  EXPECT_EQ(want, FinishRecords());
}

TEST_F(TorWriterTest, SignsAndZeros) {
  WriteOffset(-3.5f);
  WriteNode(7, 0.0f, 0.0f);
  WriteNode(8, -0.0f, 1.0e-5f);
  const std::vector<std::string> want = {
      "ZLOFF  real_variable",
      "(",
      "  value            :  -3.5000E+00",
      ")",
      "",
      "        7  \"ref(ZLOFF)+  0.0000E+00\"     0.0000E+00",
      "        8  \"ref(ZLOFF)+  0.0000E+00\"     1.0000E-05",
  };
  EXPECT_EQ(want, FinishRecords());
}

// The unit record is 23 characters for every code, metres ending in a blank;
// a code outside the table has no unit.
TEST_F(TorWriterTest, UnitRecord) {
  for (int32_t code = 1; code <= 4; ++code) WriteTrailer(code);
  EXPECT_THROW(UnitOfCode(5), std::invalid_argument);
  const std::vector<std::string> want = {
      "    ),", "  length_unit      : in", "  )", "    ),", "  length_unit      : ft", "  )",
      "    ),", "  length_unit      : mm", "  )", "    ),", "  length_unit      : m ", "  )"};
  EXPECT_EQ(want, FinishRecords());
}

// A coordinate's value as the file holds it, formed without text, equals the
// value its rendered (1PE12.4) field parses back to, bit for bit.
TEST(AsWrittenTest, EqualsTheRenderedFieldParsedBack) {
  const auto parsed = [](float x) {
    const std::string field = textio::RenderExp(x, 12, 4, 1);
    const std::size_t start = field.find_first_not_of(' ');
    double v = 0.0;
    std::from_chars(field.data() + start, field.data() + field.size(), v);
    return v;
  };
  const auto same = [](double a, double b) {
    return (std::isnan(a) && std::isnan(b)) || std::memcmp(&a, &b, sizeof a) == 0;
  };
  struct Case {
    const char* name;
    float x;
    double want;  // the exact double of the five digits
  };
  const Case kCases[] = {
      {"halfway rounds away from zero", 12345.5f, 12346.0},
      {"negative halfway", -12345.5f, -12346.0},
      {"power of two halfway below one", 0.00390625f, 0.0039063},
      {"halfway with a decimal fraction", 1234.75f, 1234.8},
      {"halfway above the exact powers", 123455.0f, 123460.0},
      {"rounds up to the next power of ten", 99999.5f, 100000.0},
      {"just below a power of ten", 9.99999f, 10.0},
      {"a tenth", 0.1f, 0.1},
      {"negative zero reads as zero", -0.0f, 0.0},
      {"largest float", std::numeric_limits<float>::max(), 3.4028e38},
      {"smallest subnormal", std::numeric_limits<float>::denorm_min(), 1.4013e-45},
      {"infinity stays infinite", std::numeric_limits<float>::infinity(),
       std::numeric_limits<double>::infinity()},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    EXPECT_TRUE(same(c.want, AsWritten(c.x))) << AsWritten(c.x);
    EXPECT_TRUE(same(parsed(c.x), AsWritten(c.x))) << parsed(c.x);
  }
  EXPECT_TRUE(std::isnan(AsWritten(std::numeric_limits<float>::quiet_NaN())));

  // Floats next to every power of ten and every halfway point of powers of
  // two, then random bit patterns over the whole range
  std::vector<float> floats;
  for (int e = -45; e <= 38; ++e) {
    const float p = std::pow(10.0f, static_cast<float>(e));
    for (float x = p, i = 0; i < 4; x = std::nextafter(x, 0.0f), ++i) floats.push_back(x);
    for (float x = p, i = 0; i < 4;
         x = std::nextafter(x, std::numeric_limits<float>::infinity()), ++i)
      floats.push_back(x);
  }
  for (int e = -149; e <= 127; ++e) {
    floats.push_back(std::ldexp(1.0f, e));
    floats.push_back(std::ldexp(3.0f, e));
  }
  std::mt19937 random(16);
  for (int i = 0; i < 100000; ++i) {
    const uint32_t bits = static_cast<uint32_t>(random());
    float x = 0.0f;
    std::memcpy(&x, &bits, sizeof x);
    floats.push_back(x);
    floats.push_back(std::ldexp(static_cast<float>(random() % 100000), -static_cast<int>(i % 40)));
  }
  int differ = 0;
  for (const float x : floats) {
    if (!same(parsed(x), AsWritten(x)) && ++differ <= 5) {
      ADD_FAILURE() << std::hexfloat << x << ": " << parsed(x) << " vs " << AsWritten(x);
    }
  }
  EXPECT_EQ(0, differ) << "of " << floats.size();
}

}  // namespace
}  // namespace torfile
