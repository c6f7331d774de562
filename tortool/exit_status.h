#ifndef KEVRANO_TORTOOL_EXIT_STATUS_H_
#define KEVRANO_TORTOOL_EXIT_STATUS_H_

// The exit statuses of kevrano-tor, shared by all its commands.

namespace tortool {

inline constexpr int kExitOk = 0;
inline constexpr int kExitBadFile = 1;  // unreadable file, bad record, unsound lens, no ray through
inline constexpr int kExitUsage = 2;    // bad command line

}  // namespace tortool

#endif  // KEVRANO_TORTOOL_EXIT_STATUS_H_
