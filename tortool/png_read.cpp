#include "tortool/png_read.h"

#include <png.h>

#include <cstddef>

namespace tortool::testing {

const std::array<uint8_t, 4>& Image::At(int32_t x, int32_t y) const {
  return pixels.at(static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                   static_cast<std::size_t>(x));
}

bool DecodePng(std::string_view bytes, Image* image, std::string* error) {
  png_image png{};
  png.version = PNG_IMAGE_VERSION;
  if (png_image_begin_read_from_memory(&png, bytes.data(), bytes.size()) == 0) {
    *error = std::string("not a PNG image: ") + png.message;
    return false;
  }
  png.format = PNG_FORMAT_RGBA;
  constexpr png_uint_32 kMaxSide = 1U << 14;  // far beyond any screenshot of the test
  if (png.width == 0 || png.height == 0 || png.width > kMaxSide || png.height > kMaxSide) {
    png_image_free(&png);
    *error = "image of " + std::to_string(png.width) + " x " + std::to_string(png.height) +
             " pixels";
    return false;
  }
  image->width = static_cast<int32_t>(png.width);
  image->height = static_cast<int32_t>(png.height);
  image->pixels.assign(static_cast<std::size_t>(png.width) * png.height, {});
  if (png_image_finish_read(&png, nullptr, image->pixels.data(), 0, nullptr) == 0) {
    *error = std::string("damaged PNG image: ") + png.message;
    png_image_free(&png);
    return false;
  }
  return true;
}

}  // namespace tortool::testing
