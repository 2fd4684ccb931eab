#include "app/image/framebuffer_image.h"

#include <png.h>
#include <unistd.h>

#include <csetjmp>
#include <cstdio>
#include <vector>

#include "foundation/base/code_page.h"

namespace {

// One pixel as 0xRRGGBB.
uint32_t PixelAt(const uint8_t* pixels, size_t index, int bpp) {
  if (bpp == 32) {
    const uint8_t* p = pixels + index * 4;
    return uint32_t{p[2]} << 16 | uint32_t{p[1]} << 8 | p[0];
  }
  const uint8_t* p = pixels + index * 2;
  const uint32_t v = uint32_t{p[1]} << 8 | p[0];
  const uint32_t r5 = (v >> 11) & 0x1F, g6 = (v >> 5) & 0x3F, b5 = v & 0x1F;
  const uint32_t r = (r5 << 3) | (r5 >> 2), g = (g6 << 2) | (g6 >> 4), b = (b5 << 3) | (b5 >> 2);
  return r << 16 | g << 8 | b;
}

bool FrameUsable(int width, int height, size_t length, int bpp) {
  const uint64_t need = FramebufferBytes(width, height, bpp);
  return need != 0 && length >= need;
}

// The PNG write itself; only C objects live across setjmp.
bool WritePng(FILE* file, int width, int height, png_bytepp rows) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (png == nullptr) return false;
  png_infop info = png_create_info_struct(png);
  if (info == nullptr) {
    png_destroy_write_struct(&png, nullptr);
    return false;
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_init_io(png, file);
  png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8, PNG_COLOR_TYPE_RGB,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  png_write_image(png, rows);
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return true;
}

}  // namespace

uint64_t FramebufferBytes(int width, int height, int bpp) {
  if (bpp != 16 && bpp != 32) return 0;
  if (width <= 0 || height <= 0 || width > kMaxFrameSide || height > kMaxFrameSide) return 0;
  return static_cast<uint64_t>(width) * static_cast<uint64_t>(height) * static_cast<uint64_t>(bpp / 8);
}

std::unique_ptr<ScreenBitmap> FramebufferToBitmap(int width, int height, const uint8_t* pixels, size_t length,
                                                  int bpp) {
  if (pixels == nullptr || !FrameUsable(width, height, length, bpp)) return nullptr;
  auto bitmap = std::make_unique<ScreenBitmap>();
  bitmap->width = width;
  bitmap->height = height;
  const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
  bitmap->pixels.resize(count);
  for (size_t i = 0; i < count; ++i) bitmap->pixels[i] = 0xFF000000u | PixelAt(pixels, i, bpp);
  return bitmap;
}

int SaveFramebufferPng(const std::u16string& path, int width, int height, const uint8_t* pixels, size_t length,
                       int bpp) {
  if (pixels == nullptr || path.empty() || !FrameUsable(width, height, length, bpp)) return 0;
  const size_t row_bytes = static_cast<size_t>(width) * 3;
  std::vector<png_byte> rgb(row_bytes * static_cast<size_t>(height));
  std::vector<png_bytep> rows(static_cast<size_t>(height));
  for (int y = 0; y < height; ++y) {
    png_bytep row = rgb.data() + row_bytes * static_cast<size_t>(y);
    rows[static_cast<size_t>(y)] = row;
    for (int x = 0; x < width; ++x) {
      const uint32_t p = PixelAt(pixels, static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x), bpp);
      row[x * 3] = static_cast<png_byte>(p >> 16);
      row[x * 3 + 1] = static_cast<png_byte>(p >> 8);
      row[x * 3 + 2] = static_cast<png_byte>(p);
    }
  }
  const std::string file_name = WStringToMultiByte(path, CP_UTF8);
  FILE* file = std::fopen(file_name.c_str(), "wb");
  if (file == nullptr) return 0;
  bool written = WritePng(file, width, height, rows.data());
  written = (std::fflush(file) == 0) && written;
  written = (std::fclose(file) == 0) && written;
  if (!written) {
    ::unlink(file_name.c_str());
    return 0;
  }
  return 1;
}
