#include "export/tor_writer.h"

#include <gtest/gtest.h>

#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "export/tor_test_support.h"
#include "textio/units.h"

namespace tor {
namespace {

using testing::ReadBytes;
using testing::ScratchFolder;

/// A writer on unit 43, open on a scratch file; Finish closes it and returns
/// the bytes written.
class TorWriterTest : public ::testing::Test {
 protected:
  TorWriterTest() : io_(keyboard_, screen_, {}), path_(folder_.File("lens.tor")) {
    io_.open_text_unit(textio::kTorFile, path_);
  }

  std::string Finish() {
    io_.close_unit(textio::kTorFile);
    return ReadBytes(path_);
  }

  /// The file's records, without their CR LF.
  std::vector<std::string> FinishRecords() {
    const std::string bytes = Finish();
    std::vector<std::string> records;
    EXPECT_TRUE(testing::detail::SplitRecords(bytes, records));
    return records;
  }

  ScratchFolder folder_;
  std::istringstream keyboard_;
  std::ostringstream screen_;
  textio::Units io_;
  std::string path_;
  TorWriter writer_{io_};
};

// Two nodes, one linear and one cubic segment, millimetres.
TEST_F(TorWriterTest, SmallLensFileByteForByte) {
  writer_.WriteOffset(25.4f);
  writer_.WriteMeshHead(2.56f);
  writer_.WriteNode(1, 0.5f, 0.0f);
  writer_.WriteNode(2, -0.53125f, 12.75f);
  const std::vector<LinearSegment> linear = {{1, 2}};
  const std::vector<CubicSegment> cubic = {{2, 3, 4, 5}};
  writer_.WriteSegments(linear, cubic);
  writer_.WriteTrailer(3);

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
  writer_.WriteOffset(1.0f);
  writer_.WriteMeshHead(2.25f);
  writer_.WriteNode(12345, 1.0f, 2.0f);
  writer_.WriteSegments({}, {});
  writer_.WriteTrailer(1);
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
  writer_.WriteSegments({}, {});
  const std::vector<std::string> want = {"  ),", "  linear_segments  : table", "    (",
                                         "  ),", "  cubic_segments   : table", "    ("};
  EXPECT_EQ(want, FinishRecords());
}

TEST_F(TorWriterTest, SignsAndZeros) {
  writer_.WriteOffset(-3.5f);
  writer_.WriteNode(7, 0.0f, 0.0f);
  writer_.WriteNode(8, -0.0f, 1.0e-5f);
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
// a code outside the table writes nothing.
TEST_F(TorWriterTest, UnitRecord) {
  for (int32_t code = 1; code <= 4; ++code) writer_.WriteTrailer(code);
  EXPECT_THROW(writer_.WriteTrailer(5), std::invalid_argument);
  const std::vector<std::string> want = {
      "    ),", "  length_unit      : in", "  )", "    ),", "  length_unit      : ft", "  )",
      "    ),", "  length_unit      : mm", "  )", "    ),", "  length_unit      : m ", "  )"};
  EXPECT_EQ(want, FinishRecords());
}

}  // namespace
}  // namespace tor
