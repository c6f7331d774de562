#include "driver/design_text.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace driver {

std::optional<std::string> ReadDesignText(const std::string& path, std::string* text) {
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) return "is a folder, not a design file";
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::string("cannot be read: ") + std::strerror(errno);
  // Read in pieces: a pipe or /dev/stdin has no size to ask for.
  std::array<char, 65536> chunk{};
  text->clear();
  while (in) {
    in.read(chunk.data(), chunk.size());
    text->append(chunk.data(), static_cast<std::size_t>(in.gcount()));
    if (text->size() > kMaxDesignBytes) {
      return "larger than " + std::to_string(kMaxDesignBytes >> 20) + " MiB: not a design file";
    }
  }
  if (in.bad()) return "cannot be read: read error";
  return std::nullopt;
}

std::optional<ByteFault> FindBareNonAscii(std::string_view text) {
  constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
  std::size_t i = text.starts_with(kByteOrderMark) ? kByteOrderMark.size() : 0;
  int line = 1;
  // Skips to the end of a string that opened with `quote` at i; counts its
  // lines. A basic string's backslash escapes the next byte.
  const auto skip_string = [&](std::string_view quote, bool basic, bool multiline) {
    i += quote.size();
    while (i < text.size()) {
      if (text.compare(i, quote.size(), quote) == 0) {
        i += quote.size();
        return;
      }
      if (text[i] == '\n') {
        if (!multiline) return;  // an unclosed string: the reader reports it
        ++line;
      }
      if (basic && text[i] == '\\' && i + 1 < text.size() && text[i + 1] != '\n') ++i;
      ++i;
    }
  };
  while (i < text.size()) {
    const char c = text[i];
    if (c == '\n') {
      ++line;
      ++i;
    } else if (c == '#') {
      while (i < text.size() && text[i] != '\n') ++i;
    } else if (text.compare(i, 3, "\"\"\"") == 0) {
      skip_string("\"\"\"", true, true);
    } else if (text.compare(i, 3, "'''") == 0) {
      skip_string("'''", false, true);
    } else if (c == '"') {
      skip_string("\"", true, false);
    } else if (c == '\'') {
      skip_string("'", false, false);
    } else if (static_cast<unsigned char>(c) >= 0x80) {
      return ByteFault{line,
                       "a character outside ASCII stands outside quotes and comments: write "
                       "numbers without units or symbols, and text in quotes"};
    } else {
      ++i;
    }
  }
  return std::nullopt;
}

std::string_view ValueTextAt(std::string_view text, int line, int column) {
  std::size_t at = 0;
  for (int l = 1; l < line; ++l) {
    at = text.find('\n', at);
    if (at == std::string_view::npos) return {};
    ++at;
  }
  if (column < 1) return {};
  at += static_cast<std::size_t>(column - 1);
  if (at >= text.size()) return {};
  const std::size_t end = text.find_first_of(" \t\r\n,]}#", at);
  return text.substr(at, end == std::string_view::npos ? std::string_view::npos : end - at);
}

}  // namespace driver
