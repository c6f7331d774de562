#ifndef KEVRANO_TORTOOL_PNG_READ_H_
#define KEVRANO_TORTOOL_PNG_READ_H_

// Reads the screenshots of the rendering test with libpng, as 8-bit RGBA.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tortool::testing {

struct Image {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<std::array<uint8_t, 4>> pixels;  // RGBA, row by row

  const std::array<uint8_t, 4>& At(int32_t x, int32_t y) const;
};

/// Decodes a PNG file's bytes; false with a reason when it cannot.
bool DecodePng(std::string_view bytes, Image* image, std::string* error);

}  // namespace tortool::testing

#endif  // KEVRANO_TORTOOL_PNG_READ_H_
