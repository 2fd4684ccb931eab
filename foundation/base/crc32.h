// Running CRC-32 (reflected, polynomial 0xEDB88320), the one of zlib and PNG:
//   CCrc32 crc(0xFFFFFFFF); crc.Update(data, size); uint32_t sum = crc.Final();
// "123456789" gives 0xCBF43926. Not thread-safe; one object per computation.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

class CCrc32 {
 public:
  explicit CCrc32(uint32_t initial = 0xFFFFFFFFu);

  uint32_t Update(const void* data, size_t length);
  uint32_t Final() const { return ~value_; }

 private:
  uint32_t value_;
  const uint32_t (&table_)[256];
};

// The system's key of a text (package key, download task id): the CRC-32
// above of the text's UTF-16LE bytes, without a terminator.
uint32_t Utf16LeCrc32(const std::u16string& text);
