#ifndef KEVRANO_TEXTIO_FAILURE_H_
#define KEVRANO_TEXTIO_FAILURE_H_

// The failures that end a run: a read, write or open that went wrong, or an
// answer that leaves no way to go on. Each carries the error number and the
// one-line message that the driver prints to standard error.

#include <stdexcept>
#include <string>

namespace textio {

/// Error numbers of the diagnostics, fixed so that scripts can rely on them.
enum class FailureNumber : int {
  kEndOfFile = 1,
  kSyntax = 2,
  kConversion = 3,
  kOpen = 4,
  kPermission = 5,
  kFileName = 6,
  kWrite = 7,
  kNegativeDielectric = 8,
  kInternal = 99,
};

/// Ends the run. what() is the message text without the severity prefix.
class Failure : public std::runtime_error {
 public:
  Failure(FailureNumber number, const std::string& message)
      : std::runtime_error(message), number_(number) {}

  FailureNumber number() const { return number_; }

  /// The whole diagnostic line, without its line end:
  /// "KEVRANO: severe (N): message".
  /// Control characters (from a file name, say) are shown as '?' so that the
  /// diagnostic stays one line.
  std::string Diagnostic() const {
    std::string text = what();
    for (char& c : text) {
      if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = '?';
    }
    return "KEVRANO: severe (" + std::to_string(static_cast<int>(number_)) + "): " + text;
  }

 private:
  FailureNumber number_;
};

}  // namespace textio

#endif  // KEVRANO_TEXTIO_FAILURE_H_
