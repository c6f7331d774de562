#ifndef KEVRANO_FUZZ_FUZZ_TARGETS_H_
#define KEVRANO_FUZZ_FUZZ_TARGETS_H_

// Entry points shared by the fuzzers and by the test that replays their
// regression corpus. Each returns 0; a fault shows as a crash, a sanitizer
// report or an exception other than the run-ending failures.

#include <cstddef>
#include <cstdint>

namespace fuzz {

/// Feeds the bytes to the free-form reader, line by line, into integer and
/// real answers, and renders every value read.
int FuzzFreeRead(const uint8_t* data, std::size_t size);

/// Runs the whole program on the bytes as a script of answers, with every
/// file it opens confined to a fresh temporary folder.
int FuzzKevrano(const uint8_t* data, std::size_t size);

}  // namespace fuzz

#endif  // KEVRANO_FUZZ_FUZZ_TARGETS_H_
