#include "foundation/base/crc32.h"

namespace {

struct Crc32Table {
  uint32_t entries[256];
  constexpr Crc32Table() : entries() {
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = (c & 1u) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      entries[i] = c;
    }
  }
};

constexpr Crc32Table kTable;

}  // namespace

CCrc32::CCrc32(uint32_t initial) : value_(initial), table_(kTable.entries) {}

uint32_t CCrc32::Update(const void* data, size_t length) {
  const auto* bytes = static_cast<const unsigned char*>(data);
  for (size_t i = 0; i < length; ++i) value_ = (value_ >> 8) ^ table_[(value_ ^ bytes[i]) & 0xFFu];
  return value_;
}

uint32_t Utf16LeCrc32(const std::u16string& text) {
  CCrc32 crc;
  for (char16_t c : text) {
    const unsigned char bytes[2] = {static_cast<unsigned char>(c & 0xFFu), static_cast<unsigned char>(c >> 8)};
    crc.Update(bytes, 2);
  }
  return crc.Final();
}
