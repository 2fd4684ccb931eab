// Small JPEG files for the EXIF tests: a real 8 x 8 picture from libjpeg,
// with a hand-built APP1 (EXIF) section spliced in after the start marker.
#pragma once

#include <jpeglib.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace image_test {

inline std::vector<uint8_t> TinyJpeg() {
  jpeg_compress_struct cinfo;
  jpeg_error_mgr jerr;
  cinfo.err = jpeg_std_error(&jerr);
  jpeg_create_compress(&cinfo);
  unsigned char* out = nullptr;
  unsigned long out_size = 0;
  jpeg_mem_dest(&cinfo, &out, &out_size);
  cinfo.image_width = 8;
  cinfo.image_height = 8;
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_start_compress(&cinfo, TRUE);
  std::vector<uint8_t> row(8 * 3, 0x80);
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW r = row.data();
    jpeg_write_scanlines(&cinfo, &r, 1);
  }
  jpeg_finish_compress(&cinfo);
  std::vector<uint8_t> bytes(out, out + out_size);
  jpeg_destroy_compress(&cinfo);
  free(out);
  return bytes;
}

// Bytes of an EXIF block in one byte order.
class TiffWriter {
 public:
  explicit TiffWriter(bool motorola) : mm_(motorola) {
    bytes_ = {'E', 'x', 'i', 'f', 0, 0};
    bytes_.push_back(mm_ ? 'M' : 'I');
    bytes_.push_back(mm_ ? 'M' : 'I');
    Put16(42);
    Put32(8);
  }
  void Put16(uint32_t v) {
    if (mm_) {
      bytes_.push_back(static_cast<uint8_t>(v >> 8));
      bytes_.push_back(static_cast<uint8_t>(v));
    } else {
      bytes_.push_back(static_cast<uint8_t>(v));
      bytes_.push_back(static_cast<uint8_t>(v >> 8));
    }
  }
  void Put32(uint32_t v) {
    if (mm_) {
      Put16(v >> 16);
      Put16(v & 0xFFFF);
    } else {
      Put16(v & 0xFFFF);
      Put16(v >> 16);
    }
  }
  // One 12-byte entry; `value` goes left-aligned into the 4 value bytes for
  // SHORT values, as a whole word otherwise.
  void Entry(uint16_t tag, uint16_t format, uint32_t count, uint32_t value) {
    Put16(tag);
    Put16(format);
    Put32(count);
    if (format == 3 && count == 1) {
      Put16(value);
      Put16(0);
    } else {
      Put32(value);
    }
  }
  // Offset of the next byte, counted from the TIFF header.
  uint32_t Here() const { return static_cast<uint32_t>(bytes_.size() - 6); }
  std::vector<uint8_t>& bytes() { return bytes_; }

 private:
  bool mm_;
  std::vector<uint8_t> bytes_;
};

// The JPEG with an APP1 section holding `block` after its start marker.
// `length_override` (when non-zero) replaces the section's length field.
inline std::vector<uint8_t> WithApp1(const std::vector<uint8_t>& jpeg, const std::vector<uint8_t>& block,
                                     uint32_t length_override = 0) {
  const uint32_t length = length_override != 0 ? length_override : static_cast<uint32_t>(block.size() + 2);
  std::vector<uint8_t> out(jpeg.begin(), jpeg.begin() + 2);
  out.push_back(0xFF);
  out.push_back(0xE1);
  out.push_back(static_cast<uint8_t>(length >> 8));
  out.push_back(static_cast<uint8_t>(length));
  out.insert(out.end(), block.begin(), block.end());
  out.insert(out.end(), jpeg.begin() + 2, jpeg.end());
  return out;
}

inline bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return false;
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

}  // namespace image_test
