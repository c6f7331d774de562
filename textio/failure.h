#ifndef KEVRANO_TEXTIO_FAILURE_H_
#define KEVRANO_TEXTIO_FAILURE_H_

// The failures that end a run: a read, write or open that went wrong, or an
// answer that leaves no way to go on. Each carries the error number and the
// one-line message that the driver prints to standard error.

#include <stdexcept>
#include <string>
#include <utility>

#include "textio/printable.h"

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
  Failure(FailureNumber number, const std::string& message, std::string explanation = {})
      : std::runtime_error(message), number_(number), explanation_(std::move(explanation)) {}

  FailureNumber number() const { return number_; }

  /// What was wrong, in words for a user at the keyboard who is asked the
  /// question again; empty when no new answer can mend the failure.
  const std::string& explanation() const { return explanation_; }

  /// The whole diagnostic line, without its line end:
  /// "KEVRANO: severe (N): message".
  /// Control characters (from a file name, say) are shown as '?' so that the
  /// diagnostic stays one line.
  std::string Diagnostic() const {
    return "KEVRANO: severe (" + std::to_string(static_cast<int>(number_)) + "): " +
           OneLine(what());
  }

  /// The text with every control character shown as '?'.
  static std::string OneLine(const std::string& text) { return Printable(text); }

 private:
  FailureNumber number_;
  std::string explanation_;
};

}  // namespace textio

#endif  // KEVRANO_TEXTIO_FAILURE_H_
