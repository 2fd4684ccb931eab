// Picture files for the media pages' tests: JPEGs from libjpeg, optionally
// with an EXIF orientation, and PNGs, both of one colour per half (left red,
// right blue) so that a turn shows where the halves went.
#pragma once

#include <jpeglib.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "app/image/framebuffer_image.h"
#include "foundation/base/unicode.h"

namespace media_test {

inline bool LeftHalf(int x, int w) { return x < w / 2; }

// A JPEG of w x h, left half red, right half blue; orientation 0 adds no EXIF.
inline std::string HalvesJpeg(int w, int h, int orientation) {
  jpeg_compress_struct cinfo;
  jpeg_error_mgr jerr;
  cinfo.err = jpeg_std_error(&jerr);
  jpeg_create_compress(&cinfo);
  unsigned char* out = nullptr;
  unsigned long out_size = 0;
  jpeg_mem_dest(&cinfo, &out, &out_size);
  cinfo.image_width = static_cast<JDIMENSION>(w);
  cinfo.image_height = static_cast<JDIMENSION>(h);
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, 95, TRUE);
  jpeg_start_compress(&cinfo, TRUE);
  if (orientation) {
    // "Exif\0\0", big-endian TIFF header, IFD0 with one SHORT entry 0x0112.
    const uint8_t exif[] = {'E', 'x', 'i', 'f', 0, 0, 'M', 'M', 0, 42, 0, 0, 0, 8, 0, 1,
                            0x01, 0x12, 0, 3, 0, 0, 0, 1, 0, static_cast<uint8_t>(orientation), 0, 0,
                            0, 0, 0, 0};
    jpeg_write_marker(&cinfo, JPEG_APP0 + 1, exif, sizeof exif);
  }
  std::vector<uint8_t> row(static_cast<size_t>(w) * 3);
  for (int x = 0; x < w; ++x) {
    row[x * 3] = LeftHalf(x, w) ? 230 : 20;
    row[x * 3 + 1] = 20;
    row[x * 3 + 2] = LeftHalf(x, w) ? 20 : 230;
  }
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW r = row.data();
    jpeg_write_scanlines(&cinfo, &r, 1);
  }
  jpeg_finish_compress(&cinfo);
  std::string bytes(reinterpret_cast<char*>(out), out_size);
  jpeg_destroy_compress(&cinfo);
  free(out);
  return bytes;
}

inline bool WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(f);
}

// A w x h PNG of one grey.
inline bool WriteGreyPng(const std::string& path, int w, int h) {
  std::vector<uint8_t> bgra(static_cast<size_t>(w) * h * 4, 0x90);
  const std::u16string wide = unicode::Utf8ToUtf16(path.data(), path.size());
  return SaveFramebufferPng(wide, w, h, bgra.data(), bgra.size(), 32) == 1;
}

// Red and blue of an ARGB pixel.
inline int Red(uint32_t argb) { return static_cast<int>((argb >> 16) & 0xFF); }
inline int Blue(uint32_t argb) { return static_cast<int>(argb & 0xFF); }

}  // namespace media_test
