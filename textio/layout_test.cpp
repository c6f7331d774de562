#include "textio/layout.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

namespace textio {
namespace {

LaidOut Lay(const char* layout, std::vector<Value> values) { return LayOut(Layout(layout), values); }

TEST(LayOut, RecordsOfWrites) {
  struct Case {
    const char* name;
    const char* layout;
    std::vector<Value> values;
    std::vector<std::string> records;
    bool open;
  };
  const Case kCases[] = {
      {"literal only", "(' Design Does not Converge')", {}, {" Design Does not Converge"}, false},
      {"leading slash gives an empty record",
       "(/,' Lens zoning')", {}, {"", " Lens zoning"}, false},
      {"prompt stays open", "(' Enter Lens Dielectric Constant ',$)", {},
       {" Enter Lens Dielectric Constant "}, true},
      {"label and fixed field", "(' Wavelength:           ',F9.4)", {1.0f},
       {" Wavelength:              1.0000"}, false},
      {"trailing slash ends with an empty record",
       "(' Lens Dielectric Constant:      ',F8.3,/)", {2.25f},
       {" Lens Dielectric Constant:         2.250", ""}, false},
      {"moves add blanks only inside a record", "(5X,'a',3X)", {}, {"     a"}, false},
      {"repeat counts and scale factor", "(1X,1P,E12.4,4E12.4)",
       {20.0f, 0.0f, 24.7214f, 0.0f, 4.7214f},
       {"   2.0000E+01  0.0000E+00  2.4721E+01  0.0000E+00  4.7214E+00"}, false},
      {"scale joined to its field", "(I4,1PE13.5,E16.5)", {1, 6.58f, 7.1f},
       {"   1  6.58000E+00     7.10000E+00"}, false},
      {"stops at a field without a value", "(' a',I4,' never shown',I4)", {}, {" a"}, false},
      {"stops before later literals", "(' a',I4,' b',I4,' c')", {3}, {" a   3 b"}, false},
      {"record break then A70", "(/,A70)", {std::string("lens.tor") + std::string(62, ' ')},
       {"", "lens.tor" + std::string(62, ' ')}, false},
      {"doubled quote", "('it''s')", {}, {"it's"}, false},
      {"integer row", "(5X,3I6,'  0   1   -1.0   0.0')", {1, 1, 2},
       {"          1     1     2  0   1   -1.0   0.0"}, false},
      {"text unit field", "('  length_unit',5X,' : ',A2)", {std::string("m ")},
       {"  length_unit      : m "}, false},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    const LaidOut out = Lay(c.layout, c.values);
    EXPECT_EQ(c.records, out.records);
    EXPECT_EQ(c.open, out.leave_open);
    // The same records appended to a text that holds something already,
    // CR LF between them, and where the last one begins.
    std::string text = "held";
    const std::size_t last = AppendLaidOut(Layout(c.layout), c.values, "\r\n", text);
    std::string joined = "held";
    for (std::size_t i = 0; i < c.records.size(); ++i) {
      joined += (i > 0 ? "\r\n" : "") + c.records[i];
    }
    EXPECT_EQ(joined, text);
    EXPECT_EQ(c.records.back(), text.substr(last));
  }
}

TEST(LayOut, ProgrammingErrorsAreCaught) {
  EXPECT_THROW(Layout("F8.3"), std::invalid_argument);
  EXPECT_THROW(Layout("('open"), std::invalid_argument);
  EXPECT_THROW(Layout("(F8)"), std::invalid_argument);
  EXPECT_THROW(Layout("(Z4)"), std::invalid_argument);
  EXPECT_THROW(Layout("('a' 'b')"), std::invalid_argument);
  EXPECT_THROW(Lay("(I4)", {1.0f}), std::invalid_argument);
  EXPECT_THROW(Lay("(F8.3)", {1}), std::invalid_argument);
  EXPECT_THROW(Lay("(I4)", {1, 2}), std::invalid_argument);
}

TEST(FreeRecord, ListDirectedFields) {
  struct Case {
    const char* name;
    std::vector<Value> values;
    const char* want;
  };
  const Case kCases[] = {
      {"integer", {int32_t{1}}, "           1"},
      {"integer 3", {int32_t{3}}, "           3"},
      {"real in fixed point", {2.5f}, "        2.500000"},
      {"magnitude one switches to fixed point", {1.0f}, "        1.000000"},
      {"below one", {0.5f}, "    5.000000E-01"},
      {"quarter", {0.25f}, "    2.500000E-01"},
      {"zero", {0.0f}, "    0.000000E+00"},
      {"ten million", {10000000.0f}, "    1.000000E+07"},
      {"just below ten million", {9999999.0f}, "  9999999.000000"},
      {"negative", {-2.5f}, "       -2.500000"},
      {"two reals", {10.0f, 20.0f}, "       10.000000       20.000000"},
      {"zone record", {std::string(" ZONE: "), int32_t{0}, int32_t{5}},
       "  ZONE:            0           5"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.want, FreeRecord(c.values));
  }
  EXPECT_EQ(32u, FreeRecord(std::vector<Value>{std::string(" ZONE: "), int32_t{0}, int32_t{5}}).size());
}

}  // namespace
}  // namespace textio
