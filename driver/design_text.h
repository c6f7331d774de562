#ifndef KEVRANO_DRIVER_DESIGN_TEXT_H_
#define KEVRANO_DRIVER_DESIGN_TEXT_H_

// The text of a design file before the TOML reader sees it: read whole from
// any file that can be read in sequence (a pipe, /dev/stdin), its bytes
// checked, and the number a key was written with found again.

#include <optional>
#include <string>
#include <string_view>

namespace driver {

/// Design files larger than this are refused: no set of lenses comes near it.
inline constexpr std::size_t kMaxDesignBytes = 16u << 20;

/// Reads the whole file at `path` into `text`. Returns the message (without
/// the file's name) when it is a folder, cannot be opened or read, or is
/// larger than kMaxDesignBytes.
std::optional<std::string> ReadDesignText(const std::string& path, std::string* text);

/// A fault in the bytes of a design file, on a line counted from 1.
struct ByteFault {
  int line = 0;
  std::string message;
};

/// Finds the first byte outside ASCII that stands outside a quoted string or
/// a comment (`radius = 10 µm`): TOML allows such characters only there, and
/// the reader must not meet them anywhere else. A byte order mark at the very
/// start is allowed.
std::optional<ByteFault> FindBareNonAscii(std::string_view text);

/// The value text that starts at `line` and `column` (both from 1, as the
/// TOML reader reports them): up to a blank, comma, bracket, brace or `#`.
std::string_view ValueTextAt(std::string_view text, int line, int column);

}  // namespace driver

#endif  // KEVRANO_DRIVER_DESIGN_TEXT_H_
