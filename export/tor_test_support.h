#ifndef KEVRANO_EXPORT_TOR_TEST_SUPPORT_H_
#define KEVRANO_EXPORT_TOR_TEST_SUPPORT_H_

// Helpers shared by the export tests: a scratch folder, whole-file reading and
// a reader of tor files that checks every fixed record and column on its way.

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "export/tor_writer.h"

namespace tor::testing {

/// A fresh folder under the test temporary directory, removed afterwards.
class ScratchFolder {
 public:
  ScratchFolder() {
    std::random_device random;
    std::ostringstream name;
    name << "kevrano_export_" << std::hex << random() << random();
    path_ = std::filesystem::path(::testing::TempDir()) / name.str();
    std::filesystem::create_directories(path_);
  }
  ~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  /// Path of a file in the folder.
  std::string File(const std::string& name) const { return (path_ / name).string(); }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

/// The whole content of a file, byte for byte.
inline std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

/// One node row as read back.
struct ReadNode {
  int32_t number = 0;
  float z = 0.0f;
  float r = 0.0f;
};

/// The content of a tor file.
struct ReadTor {
  float zloff = 0.0f;
  float eps = 0.0f;
  std::vector<ReadNode> nodes;
  std::vector<LinearSegment> linear;
  std::vector<CubicSegment> cubic;
  std::string unit;
};

namespace detail {

/// Splits records ending in CR LF; fails on a bare LF or an unended record.
inline ::testing::AssertionResult SplitRecords(const std::string& bytes,
                                               std::vector<std::string>& records) {
  std::size_t start = 0;
  while (start < bytes.size()) {
    const std::size_t end = bytes.find("\r\n", start);
    if (end == std::string::npos) {
      return ::testing::AssertionFailure() << "record without CR LF at byte " << start;
    }
    std::string record = bytes.substr(start, end - start);
    if (record.find_first_of("\r\n") != std::string::npos) {
      return ::testing::AssertionFailure() << "stray line end in record: " << record;
    }
    records.push_back(std::move(record));
    start = end + 2;
  }
  return ::testing::AssertionSuccess();
}

inline int32_t Integer(const std::string& record, std::size_t column, std::size_t width) {
  return static_cast<int32_t>(std::stol(record.substr(column - 1, width)));
}

inline float Real(const std::string& record, std::size_t column, std::size_t width) {
  return std::stof(record.substr(column - 1, width));
}

}  // namespace detail

/// Reads a tor file, checking every fixed record, the columns of every row and
/// the numbering of nodes and segments.
inline ::testing::AssertionResult ParseTor(const std::string& bytes, ReadTor& tor) {
  using ::testing::AssertionFailure;
  std::vector<std::string> records;
  if (auto split = detail::SplitRecords(bytes, records); !split) return split;
  std::size_t i = 0;
  auto expect = [&](const std::string& want) {
    if (i >= records.size()) return false;
    return records[i++] == want;
  };
  auto where = [&]() {
    if (i == 0 || i > records.size()) return "record " + std::to_string(i) + " missing";
    return "record " + std::to_string(i) + ": " + records[i - 1];
  };
  const std::string kTail = "  0   1   -1.0   0.0";

  // Offset object
  if (!expect("ZLOFF  real_variable") || !expect("(")) return AssertionFailure() << where();
  if (i >= records.size() || records[i].size() != 33 ||
      records[i].substr(0, 21) != "  value            : ") {
    return AssertionFailure() << "offset record";
  }
  tor.zloff = detail::Real(records[i++], 22, 12);
  if (!expect(")") || !expect("")) return AssertionFailure() << where();

  // Mesh head
  if (!expect("horn_bor_mesh_lens   bor_mesh") || !expect("(") ||
      !expect("  regions          : table") || !expect("    (")) {
    return AssertionFailure() << where();
  }
  const std::string& region = records[i++];
  if (region.size() != 54 || region.substr(0, 9) != "        1" ||
      region.substr(24) != "    1.00000E+00    0.00000E+00") {
    return AssertionFailure() << "region row: " << region;
  }
  tor.eps = detail::Real(region, 10, 15);
  if (!expect("     ),") || !expect("  nodes             : table") || !expect("    (")) {
    return AssertionFailure() << where();
  }

  // Node rows
  while (i < records.size() && records[i] != "  ),") {
    const std::string& row = records[i++];
    if (row.size() != 51 || row.substr(0, 4) != "    " || row.substr(9, 14) != "  \"ref(ZLOFF)+" ||
        row.substr(35, 4) != "\"   ") {
      return AssertionFailure() << "node row: " << row;
    }
    tor.nodes.push_back(
        {detail::Integer(row, 5, 5), detail::Real(row, 24, 12), detail::Real(row, 40, 12)});
    if (tor.nodes.back().number != static_cast<int32_t>(tor.nodes.size())) {
      return AssertionFailure() << "node numbered out of order: " << row;
    }
  }

  // Linear segment table
  if (!expect("  ),") || !expect("  linear_segments  : table") || !expect("    (")) {
    return AssertionFailure() << where();
  }
  while (i < records.size() && records[i] != "  ),") {
    const std::string& row = records[i++];
    if (row.size() != 43 || row.substr(0, 5) != "     " || row.substr(23) != kTail ||
        detail::Integer(row, 6, 6) != static_cast<int32_t>(tor.linear.size() + 1)) {
      return AssertionFailure() << "linear row: " << row;
    }
    tor.linear.push_back({detail::Integer(row, 12, 6), detail::Integer(row, 18, 6)});
  }

  // Cubic segment table
  if (!expect("  ),") || !expect("  cubic_segments   : table") || !expect("    (")) {
    return AssertionFailure() << where();
  }
  while (i < records.size() && records[i] != "    ),") {
    const std::string& row = records[i++];
    if (row.size() != 55 || row.substr(0, 5) != "     " || row.substr(35) != kTail ||
        detail::Integer(row, 6, 6) != static_cast<int32_t>(tor.cubic.size() + 1)) {
      return AssertionFailure() << "cubic row: " << row;
    }
    tor.cubic.push_back({detail::Integer(row, 12, 6), detail::Integer(row, 18, 6),
                         detail::Integer(row, 24, 6), detail::Integer(row, 30, 6)});
  }

  // Trailer
  if (!expect("    ),")) return AssertionFailure() << "cubic table not closed";
  if (i >= records.size() || records[i].size() != 23 ||
      records[i].substr(0, 21) != "  length_unit      : ") {
    return AssertionFailure() << "unit record";
  }
  tor.unit = records[i++].substr(21);
  if (!expect("  )") || i != records.size()) return AssertionFailure() << "mesh not closed last";
  return ::testing::AssertionSuccess();
}

}  // namespace tor::testing

#endif  // KEVRANO_EXPORT_TOR_TEST_SUPPORT_H_
