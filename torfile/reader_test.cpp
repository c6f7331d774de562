#include "torfile/reader.h"

#include <gtest/gtest.h>

#include <string>

#include "torfile/test_support.h"

namespace torfile {
namespace {

using testing::Edited;
using testing::TestData;

TEST(Mesh, ReadsTheRecordsOfALens) {
  Mesh file;
  Problem error;
  ASSERT_TRUE(ParseTor(TestData("plano_convex.tor"), &file, &error)) << error.message;
  EXPECT_EQ(0.0, file.zloff);
  EXPECT_EQ("horn_bor_mesh_lens", file.mesh_name);
  EXPECT_DOUBLE_EQ(2.56, file.dielectric);
  ASSERT_EQ(9u, file.nodes.size());
  EXPECT_EQ(14, file.nodes[0].line);
  EXPECT_DOUBLE_EQ(2.9861, file.nodes[3].z);
  EXPECT_DOUBLE_EQ(0.5, file.nodes[3].r);
  ASSERT_EQ(2u, file.linear.size());
  EXPECT_EQ((std::array<int32_t, 2>{2, 9}), file.linear[1].nodes);
  EXPECT_EQ(27, file.linear[1].line);
  ASSERT_EQ(2u, file.cubic.size());
  EXPECT_EQ((std::array<int32_t, 4>{6, 7, 8, 9}), file.cubic[1].nodes);
  EXPECT_EQ(LengthUnit::kMillimetre, file.unit);
}

TEST(Mesh, ToleratesSpacingAndLineEnds) {
  const std::string good = TestData("plano_convex.tor");
  std::string lf;
  for (const char c : good) {
    if (c != '\r') lf += c;
  }
  const struct {
    const char* name;
    std::string text;
  } kCases[] = {
      {"LF line ends", lf},
      {"no final line end", good.substr(0, good.size() - 2)},
      {"trailing blanks", Edited(good, "  )\r\n", "  )   \r\n")},
      {"re-spaced node row", Edited(good, "    1  \"ref(ZLOFF)+  2.0000E+00\"     0.0000E+00",
                                    "1 \"ref(ZLOFF)+2.0E0\" 0")},
      {"blank records at the end", good + "\r\n\r\n"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    Mesh file;
    Problem error;
    EXPECT_TRUE(ParseTor(c.text, &file, &error)) << error.line << ": " << error.message;
    EXPECT_EQ(9u, file.nodes.size());
  }
}

TEST(Mesh, NamesEachUnit) {
  const struct {
    const char* text;
    LengthUnit unit;
    double millimetres;
  } kCases[] = {{"in", LengthUnit::kInch, 25.4},
                {"ft", LengthUnit::kFoot, 304.8},
                {"mm", LengthUnit::kMillimetre, 1.0},
                {"m ", LengthUnit::kMetre, 1000.0}};
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.text);
    testing::MeshSpec mesh = testing::Cylinder();
    mesh.unit = c.text;
    Mesh file;
    Problem error;
    ASSERT_TRUE(ParseTor(testing::TorText(mesh), &file, &error)) << error.message;
    EXPECT_EQ(c.unit, file.unit);
    EXPECT_EQ(c.millimetres, MillimetresPer(file.unit));
    EXPECT_EQ(std::string(c.text).substr(0, 2 - (c.text[1] == ' ')), UnitName(file.unit));
  }
}

TEST(Mesh, RefusesRecordsThatDoNotFit) {
  const std::string good = TestData("plano_convex.tor");
  const std::string node3 = "        3  \"ref(ZLOFF)+  3.0000E+00\"     0.0000E+00";
  const struct {
    const char* name;
    std::string text;
    int line;
    const char* message;
  } kCases[] = {
      {"empty", "", 1, "empty file: not a tor file"},
      {"not a tor file", "hello\r\n", 1,
       "not a tor file: the first record must be 'ZLOFF real_variable'"},
      {"cut in the head", good.substr(0, good.find("  regions")), 8,
       "the file ends where 'regions : table' was expected"},
      {"cut in the nodes", good.substr(0, good.find(node3)), 16,
       "the file ends where a node row or '),' was expected"},
      {"cut before the unit", good.substr(0, good.find("  length_unit")), 34,
       "the file ends where 'length_unit : UNIT' was expected"},
      {"missing node", Edited(good, node3 + "\r\n", ""), 16,
       "node number 4 out of order: expected 3"},
      {"NUL byte", Edited(good, "horn", std::string("ho\0rn", 5)), 6,
       "control byte 0x00: not a text file"},
      {"non-ASCII", Edited(good, "value", "v\xC3\xA4lue"), 3,
       "byte 0xC3 outside ASCII: not a tor file"},
      {"tab", Edited(good, "  nodes ", "\tnodes "), 12,
       "tab character: fields are separated by blanks"},
      {"NaN", Edited(good, "+  3.0000E+00", "+NaN"), 16, "node 3 z: 'NaN' is not a real number"},
      {"huge", Edited(good, "3.0000E+00\"", "3.0000E+999\""), 16,
       "node 3 z: '3.0000E+999' is out of range"},
      {"beyond the largest coordinate", Edited(good, "3.0000E+00\"", "3.0000E+31\""), 16,
       "node 3 z: '3.0000E+31' is out of range"},
      {"huge node number", Edited(good, "     2     2     9  0", "     2     2 99999999999  0"), 27,
       "linear segment 2 node: '99999999999' is out of range"},
      {"unquoted expression", Edited(good, "\"ref(ZLOFF)+  3.0000E+00\"", "3.0"), 16,
       "node 3: the axial coordinate must be written \"ref(ZLOFF)+ Z\""},
      {"unterminated quote", Edited(good, "3.0000E+00\"", "3.0000E+00"), 16,
       "quoted expression without its closing quote"},
      {"short node row", Edited(good, "     0.0000E+00\r\n        4", "\r\n        4"), 16,
       "node 3: expected 'NUMBER \"ref(ZLOFF)+ Z\" R'"},
      {"segment tail", Edited(good, "  0   1   -1.0   0.0", "  0   1   -1.0   1.0"), 26,
       "linear segment 1: the row must end in '0 1 -1.0 0.0'"},
      {"cubic with three nodes", Edited(good, "     3     4     5     6", "     3     4     5"), 31,
       "cubic segment 1: expected the segment number, 4 node numbers and '0 1 -1.0 0.0'"},
      {"unknown unit", Edited(good, ": mm", ": cm"), 34,
       "unknown length unit 'cm': expected in, ft, mm or m"},
      {"text after the mesh", good + "extra\r\n", 36, "text after the end of the mesh object"},
      {"second region",
       Edited(good, "     ),", "        2    1.0E+00    1.0E+00    0.0E+00\r\n     ),"), 11,
       "expected '),'"},
      {"negative dielectric", Edited(good, "2.56000E+00", "-2.56000E+00"), 10,
       "the dielectric constant must be positive"},
      {"no empty record", Edited(good, ")\r\n\r\n", ")\r\n"), 5,
       "expected an empty record after the offset object"},
      {"empty record in a table", Edited(good, node3, ""), 16,
       "empty record inside the node table"},
      {"mesh of another type", Edited(good, "   bor_mesh", "   wire_mesh"), 6,
       "expected 'NAME bor_mesh', the body-of-revolution mesh object"},
      {"cut inside a record", good.substr(0, good.find("3.0000E+00\"")), 16,
       "the file is cut short inside this record: quoted expression without its closing quote"},
      {"carriage return inside", Edited(good, "  nodes", "  no\rdes"), 12,
       "carriage return inside a record"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    Mesh file;
    Problem error;
    EXPECT_FALSE(ParseTor(c.text, &file, &error));
    EXPECT_EQ(c.line, error.line);
    EXPECT_EQ(c.message, error.message);
  }
}

TEST(Mesh, EveryPrefixIsReadOrRefusedWithALine) {
  const std::string good = TestData("plano_convex.tor");
  for (std::size_t n = 0; n < good.size(); ++n) {
    Mesh file;
    Problem error;
    const bool ok = ParseTor(std::string_view(good).substr(0, n), &file, &error);
    // Only the file missing (part of) its last line end reads whole
    EXPECT_EQ(n >= good.size() - 2, ok) << n;
    if (!ok) {
      EXPECT_GE(error.line, 1) << n;
      EXPECT_LE(error.line, 36) << n;
      EXPECT_FALSE(error.message.empty());
    }
  }
}

}  // namespace
}  // namespace torfile
