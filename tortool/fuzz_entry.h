#ifndef KEVRANO_TORTOOL_FUZZ_ENTRY_H_
#define KEVRANO_TORTOOL_FUZZ_ENTRY_H_

// The entry point shared by the tor file fuzzer and the test that replays its
// findings: reads the bytes as a tor file and, when it describes a lens,
// summarises, draws and meshes it. A broken promise (an error without a
// message, a lens without volume, a drawing with NaN) aborts.

#include <cstddef>
#include <cstdint>

namespace tortool {

int FuzzTorInput(const uint8_t* data, std::size_t size);

}  // namespace tortool

#endif  // KEVRANO_TORTOOL_FUZZ_ENTRY_H_
