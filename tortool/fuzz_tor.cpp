// libFuzzer entry for the tor file reader and everything behind it.

#include <cstddef>
#include <cstdint>

#include "tortool/fuzz_entry.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  return tortool::FuzzTorInput(data, size);
}
