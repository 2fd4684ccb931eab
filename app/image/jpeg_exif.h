// The EXIF orientation of a JPEG file: how far the picture must be turned
// (quarter turns clockwise) to stand upright.
//
// The reader walks the header sections of the file up to the start of scan
// (at most 20 kept sections), parses the EXIF block of an APP1 section and
// its directories, and records the orientation tag (0x0112). It is a pure
// function over a byte buffer; ReadJpegExif only reads the file's head.
//
// Input is untrusted: every offset and count is checked against the bytes
// actually present (64-bit sums), directories are walked at most once and
// at most kMaxDirectoryDepth deep, so a self-linked or looping block ends.
// Errors end the reading quietly; the result keeps what was found before.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

struct JpegExifInfo {
  int32_t orientation = 0;  // 1-8, 0 when absent or invalid
  int32_t height = 0;       // from a start-of-frame section
  int32_t width = 0;
  bool is_color = false;
  bool has_exif = false;    // an EXIF block was parsed
  std::string comment;      // the first comment section (at most 1000 bytes)
};

struct JpegReadResult {
  bool ok = false;          // reached the start of scan
  std::string last_error;   // why the reading stopped otherwise (or a soft error)
  int section_count = 0;    // sections kept
  JpegExifInfo info;
};

constexpr int kMaxJpegSections = 20;
constexpr int kMaxDirectoryDepth = 8;
// ReadJpegExif reads at most this much of a file: 20 sections of at most
// 64 KiB each, with room for padding.
constexpr size_t kJpegHeadLimit = 2u * 1024 * 1024;

// Reads the sections of a JPEG held in `data`.
JpegReadResult ReadJpegSections(const uint8_t* data, size_t size);

// Parses an EXIF block: `data` is an APP1 section after its two length bytes.
// Fills `info` (orientation, has_exif); false with `error` set on a
// malformed block (what was found before the fault stays in `info`).
bool ParseExifBlock(const uint8_t* data, size_t size, JpegExifInfo* info, std::string* error);

// Quarter turns for an EXIF orientation: 3 gives 2, 6 gives 1, 8 gives 3,
// anything else (mirrored forms included) 0.
int RotationForOrientation(int orientation);

// The rotation code of the file at `path` (UTF-16); 0 when it cannot be
// read or carries no usable orientation.
int ReadJpegExif(const std::u16string& path);
