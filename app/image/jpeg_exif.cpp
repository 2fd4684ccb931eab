#include "app/image/jpeg_exif.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <set>
#include <vector>

#include "foundation/base/code_page.h"

namespace {

// Bytes per component of the EXIF value formats 1 to 12 (0 for format 0).
constexpr int kFormatSize[13] = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8};

enum ExifFormat {
  kByte = 1, kString = 2, kShort = 3, kLong = 4, kRational = 5, kSByte = 6, kUndefined = 7,
  kSShort = 8, kSLong = 9, kSRational = 10, kFloat = 11, kDouble = 12,
};

constexpr uint16_t kTagOrientation = 0x0112;
constexpr uint16_t kTagExifOffset = 0x8769;
constexpr uint16_t kTagInteropOffset = 0xA005;

// The EXIF block as seen from its TIFF header, with the byte order.
class ExifBlock {
 public:
  ExifBlock(const uint8_t* base, size_t size, bool motorola) : base_(base), size_(size), motorola_(motorola) {}

  // True when [offset, offset + count) lies inside the block.
  bool Holds(uint64_t offset, uint64_t count) const { return offset <= size_ && count <= size_ - offset; }
  uint16_t Get16(uint64_t offset) const {
    const uint8_t* p = base_ + offset;
    return motorola_ ? static_cast<uint16_t>(p[0] << 8 | p[1]) : static_cast<uint16_t>(p[1] << 8 | p[0]);
  }
  uint32_t Get32(uint64_t offset) const {
    const uint8_t* p = base_ + offset;
    return motorola_ ? (uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3])
                     : (uint32_t{p[3]} << 24 | uint32_t{p[2]} << 16 | uint32_t{p[1]} << 8 | p[0]);
  }
  size_t size() const { return size_; }

  // A numeric value of `format` at `offset` (which holds its bytes).
  double Number(uint64_t offset, int format) const {
    switch (format) {
      case kByte: return base_[offset];
      case kSByte: return static_cast<int8_t>(base_[offset]);
      case kShort: return Get16(offset);
      case kSShort: return static_cast<int16_t>(Get16(offset));
      case kLong: return Get32(offset);
      case kSLong: return static_cast<int32_t>(Get32(offset));
      case kRational:
      case kSRational: {
        const uint32_t num = Get32(offset), den = Get32(offset + 4);
        if (den == 0) return 0;
        if (format == kSRational) return static_cast<double>(static_cast<int32_t>(num)) / static_cast<int32_t>(den);
        return static_cast<double>(num) / den;
      }
      case kFloat: {
        const uint32_t bits = Get32(offset);
        float f;
        std::memcpy(&f, &bits, sizeof f);
        return f;
      }
      case kDouble: {
        const uint64_t bits = motorola_ ? (uint64_t{Get32(offset)} << 32 | Get32(offset + 4))
                                        : (uint64_t{Get32(offset + 4)} << 32 | Get32(offset));
        double d;
        std::memcpy(&d, &bits, sizeof d);
        return d;
      }
      default: return 0;  // text and undefined
    }
  }

 private:
  const uint8_t* base_;
  size_t size_;
  bool motorola_;
};

class DirectoryWalker {
 public:
  DirectoryWalker(const ExifBlock& block, JpegExifInfo* info, std::string* error)
      : block_(block), info_(info), error_(error) {}

  // False when the walk had to stop.
  bool Walk(uint64_t offset, int depth) {
    if (depth > kMaxDirectoryDepth) return Fail("Maximum directory nesting exceeded");
    if (!visited_.insert(offset).second) return true;  // already walked: a loop
    if (!block_.Holds(offset, 2)) return Fail("Illegally sized directory");
    const uint64_t count = block_.Get16(offset);
    if (!block_.Holds(offset + 2, count * 12)) return Fail("Illegally sized directory");
    for (uint64_t i = 0; i < count; ++i) {
      if (!Entry(offset + 2 + 12 * i, depth)) return false;
    }
    const uint64_t link_at = offset + 2 + 12 * count;
    if (!block_.Holds(link_at, 4)) return true;  // no room for a next link: the chain ends here
    const uint32_t next = block_.Get32(link_at);
    if (next == 0) return true;
    if (!block_.Holds(next, 2)) return Fail("Illegal subdirectory link");
    return Walk(next, depth + 1);
  }

 private:
  bool Entry(uint64_t entry, int depth) {
    const uint16_t tag = block_.Get16(entry);
    const uint16_t format = block_.Get16(entry + 2);
    const uint64_t components = block_.Get32(entry + 4);
    if (format > 12) return Fail("Illegal format code in EXIF dir");
    const uint64_t byte_count = components * static_cast<uint64_t>(kFormatSize[format]);
    uint64_t value = entry + 8;
    if (byte_count > 4) {
      value = block_.Get32(entry + 8);
      if (!block_.Holds(value, byte_count)) return Fail("Illegal pointer offset value in EXIF.");
    }
    switch (tag) {
      case kTagOrientation: {
        // A value needs its bytes; an empty one counts as 0.
        const uint64_t need = static_cast<uint64_t>(kFormatSize[format]);
        const double number = (components > 0 && need > 0 && block_.Holds(value, need)) ? block_.Number(value, format) : 0;
        const int orientation = (number >= 1 && number <= 8) ? static_cast<int>(number) : 0;
        if (orientation == 0) *error_ = "Undefined rotation value";
        info_->orientation = orientation;
        return true;
      }
      case kTagExifOffset:
      case kTagInteropOffset: {
        // The link is the 32-bit value, in the entry or at its offset (4 bytes held either way).
        const uint32_t sub = block_.Get32(value);
        if (!block_.Holds(sub, 2)) return Fail("Illegal subdirectory link");
        return Walk(sub, depth + 1);
      }
      default:
        return true;
    }
  }

  bool Fail(const char* text) {
    *error_ = text;
    return false;
  }

  const ExifBlock& block_;
  JpegExifInfo* info_;
  std::string* error_;
  std::set<uint64_t> visited_;
};

bool IsStartOfFrame(uint8_t marker) {
  switch (marker) {
    case 0xC0: case 0xC1: case 0xC2: case 0xC3:
    case 0xC5: case 0xC6: case 0xC7:
    case 0xC9: case 0xCA: case 0xCB:
    case 0xCD: case 0xCE: case 0xCF:
      return true;
    default:
      return false;
  }
}

// The comment text: at most 1000 bytes, control characters as '?', CR LF pairs dropped.
std::string CommentText(const uint8_t* data, size_t size) {
  if (size > 1000) size = 1000;
  std::string text;
  for (size_t i = 0; i < size; ++i) {
    const uint8_t c = data[i];
    if (c == '\r' && i + 1 < size && data[i + 1] == '\n') {
      ++i;
      continue;
    }
    text += (c >= 32 || c == '\t' || c == '\n' || c == '\r' || c == 0) ? static_cast<char>(c) : '?';
  }
  return text.substr(0, text.find('\0'));
}

}  // namespace

bool ParseExifBlock(const uint8_t* data, size_t size, JpegExifInfo* info, std::string* error) {
  static const uint8_t kExifHeader[6] = {'E', 'x', 'i', 'f', 0, 0};
  if (size < 6 || std::memcmp(data, kExifHeader, 6) != 0) {
    *error = "Incorrect Exif header";
    return false;
  }
  if (size < 14) {
    *error = "Invalid Exif alignment marker.";
    return false;
  }
  bool motorola;
  if (data[6] == 'I' && data[7] == 'I') {
    motorola = false;
  } else if (data[6] == 'M' && data[7] == 'M') {
    motorola = true;
  } else {
    *error = "Invalid Exif alignment marker.";
    return false;
  }
  const ExifBlock block(data + 6, size - 6, motorola);
  if (block.Get16(2) != 42) {
    *error = "Invalid Exif start (1)";
    return false;
  }
  const uint32_t first = block.Get32(4);
  if (first < 8 || first > 16) {
    *error = "Suspicious offset of first IFD value";
    return false;
  }
  info->has_exif = true;
  DirectoryWalker walker(block, info, error);
  // The first directory is read right behind the header, whatever the offset said.
  return walker.Walk(8, 0);
}

JpegReadResult ReadJpegSections(const uint8_t* data, size_t size) {
  JpegReadResult result;
  size_t pos = 0;
  if (size < 2 || data[0] != 0xFF || data[1] != 0xD8) {
    result.last_error = "Not a JPEG file";
    return result;
  }
  pos = 2;
  bool have_comment = false;
  while (result.section_count < kMaxJpegSections) {
    uint8_t marker = 0xFF;
    int padding = 0;
    for (;;) {
      if (pos >= size) {
        result.last_error = "Premature end of file?";
        return result;
      }
      marker = data[pos++];
      if (marker != 0xFF) break;
      if (++padding >= 7) {
        result.last_error = "too many padding unsigned chars";
        return result;
      }
    }
    if (size - pos < 2) {
      result.last_error = "Premature end of file?";
      return result;
    }
    const size_t length = static_cast<size_t>(data[pos] << 8 | data[pos + 1]);
    if (length < 2) {
      result.last_error = "invalid marker";
      return result;
    }
    if (size - pos < length) {
      result.last_error = "Premature end of file?";
      return result;
    }
    const uint8_t* section = data + pos;  // with its two length bytes
    const uint8_t* body = section + 2;
    const size_t body_size = length - 2;
    pos += length;
    if (IsStartOfFrame(marker)) {
      if (body_size >= 6) {
        result.info.height = body[1] << 8 | body[2];
        result.info.width = body[3] << 8 | body[4];
        result.info.is_color = body[5] == 3;
      }
      ++result.section_count;
      continue;
    }
    switch (marker) {
      case 0xD9:
        result.last_error = "No image in jpeg!";
        return result;
      case 0xDA:
        ++result.section_count;
        result.ok = true;
        return result;
      case 0xE0:
        break;  // dropped
      case 0xE1:
        if (body_size >= 4 && std::memcmp(body, "Exif", 4) == 0) {
          std::string error;
          if (!ParseExifBlock(body, body_size, &result.info, &error) || !error.empty()) result.last_error = error;
          ++result.section_count;
        }
        break;
      case 0xFE:
        if (!have_comment) {
          have_comment = true;
          result.info.comment = CommentText(body, body_size);
          ++result.section_count;
        }
        break;
      default:
        ++result.section_count;
        break;
    }
  }
  result.last_error = "Too many sections in jpg file";
  return result;
}

int RotationForOrientation(int orientation) {
  switch (orientation) {
    case 3: return 2;
    case 6: return 1;
    case 8: return 3;
    default: return 0;
  }
}

int ReadJpegExif(const std::u16string& path) {
  const std::string file_name = WStringToMultiByte(path, CP_UTF8);
  std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(file_name.c_str(), "rb"), std::fclose);
  if (!file) return 0;
  // The head of the file: the sections before the image data.
  size_t want = kJpegHeadLimit;
  if (std::fseek(file.get(), 0, SEEK_END) == 0) {
    const long size = std::ftell(file.get());
    if (size >= 0 && static_cast<unsigned long>(size) < want) want = static_cast<size_t>(size);
    std::rewind(file.get());
  }
  std::vector<uint8_t> head(want);
  const size_t got = std::fread(head.data(), 1, head.size(), file.get());
  const JpegReadResult result = ReadJpegSections(head.data(), got);
  return RotationForOrientation(result.info.orientation);
}
