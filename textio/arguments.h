#ifndef KEVRANO_TEXTIO_ARGUMENTS_H_
#define KEVRANO_TEXTIO_ARGUMENTS_H_

// What both programs' command lines agree on about a single argument.

#include <string_view>

namespace textio {

/// True when an argument reads as an option rather than a value: `--name`, or
/// `-x` with a letter. A negative number (`--offset -5`) and `-` (standard
/// input) are values; a name that begins with a dash is given as
/// `--option=-name`.
inline bool LooksLikeOption(std::string_view arg) {
  if (arg.starts_with("--")) return true;
  return arg.size() > 1 && arg[0] == '-' &&
         ((arg[1] >= 'a' && arg[1] <= 'z') || (arg[1] >= 'A' && arg[1] <= 'Z'));
}

}  // namespace textio

#endif  // KEVRANO_TEXTIO_ARGUMENTS_H_
