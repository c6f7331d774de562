#ifndef KEVRANO_TEXTIO_PRINTABLE_H_
#define KEVRANO_TEXTIO_PRINTABLE_H_

// Text bound for a message on the terminal, made safe to show.

#include <string>
#include <string_view>

namespace textio {

/// `text` with every control character (below 0x20, and DEL) shown as '?', so
/// that a file name or a key cannot move the cursor, colour the terminal or
/// split a one-line message.
inline std::string Printable(std::string_view text) {
  std::string shown(text);
  for (char& c : shown) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = '?';
  }
  return shown;
}

}  // namespace textio

#endif  // KEVRANO_TEXTIO_PRINTABLE_H_
