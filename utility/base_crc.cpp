// CRC-32 of the datagram header and the datagram key stream.
#include "utility/base_crc.h"

#include <array>
#include <cstddef>

namespace {

constexpr std::array<uint32_t, 256> MakeCrcTable() {
  std::array<uint32_t, 256> table{};
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t c = i;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    table[i] = c;
  }
  return table;
}

constexpr std::array<uint32_t, 256> kCrcTable = MakeCrcTable();

constexpr size_t kKeyStreamSize = 1024;

// The key stream both ends of a conversation share: 1024 bytes of a
// xorshift32 sequence from a fixed seed. Changing the seed breaks every peer.
constexpr uint32_t kKeySeed = 0x5A17C0DEu;

void FillKeyStream(unsigned char* key) {
  uint32_t x = kKeySeed;
  for (size_t i = 0; i < kKeyStreamSize; ++i) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    key[i] = static_cast<unsigned char>(x >> 24);
  }
}

struct KeyStream {
  unsigned char bytes[kKeyStreamSize];
  KeyStream() { FillKeyStream(bytes); }
};

unsigned char* datagram_key_stream() {
  static KeyStream stream;
  return stream.bytes;
}

}  // namespace

uint32_t GetCrc32(const char* data, int len) {
  uint32_t crc = 0x000000FFu;
  if (data == nullptr) return crc;
  for (int i = 0; i < len; ++i) {
    const uint8_t b = static_cast<uint8_t>(data[i]);
    crc = (crc >> 8) ^ kCrcTable[(b ^ crc) & 0xFF];
  }
  return crc;
}

void EncryptData(char* buf, int len) {
  if (buf == nullptr) return;
  const unsigned char* key = datagram_key_stream();
  for (int i = 0; i < len; ++i) buf[i] = static_cast<char>(buf[i] ^ key[i % kKeyStreamSize]);
}

void DecryptData(char* buf, int len) { EncryptData(buf, len); }

void GetKeyTable() { FillKeyStream(datagram_key_stream()); }
