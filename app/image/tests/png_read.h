// Reads a PNG back (libpng's simplified API) for tests: pixels 0xAARRGGBB.
#pragma once

#include <png.h>

#include <cstdint>
#include <string>
#include <vector>

namespace image_test {

struct Picture {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;
};

inline bool ReadPng(const std::string& path, Picture* picture) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
  image.format = PNG_FORMAT_BGRA;  // little-endian words 0xAARRGGBB
  std::vector<uint32_t> pixels(static_cast<size_t>(image.width) * image.height);
  if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) {
    png_image_free(&image);
    return false;
  }
  picture->width = static_cast<int>(image.width);
  picture->height = static_cast<int>(image.height);
  picture->pixels = std::move(pixels);
  return true;
}

}  // namespace image_test
