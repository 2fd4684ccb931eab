// Little-endian word packing shared by the MD4 and MD5 implementations.
#pragma once

#include <cstddef>
#include <cstdint>

namespace utility_internal {

inline void DecodeWords(uint32_t* out, const unsigned char* in, size_t bytes) {
  for (size_t i = 0, j = 0; j < bytes; ++i, j += 4) {
    out[i] = static_cast<uint32_t>(in[j]) | (static_cast<uint32_t>(in[j + 1]) << 8) |
             (static_cast<uint32_t>(in[j + 2]) << 16) | (static_cast<uint32_t>(in[j + 3]) << 24);
  }
}

inline void EncodeWords(unsigned char* out, const uint32_t* in, size_t bytes) {
  for (size_t i = 0, j = 0; j < bytes; ++i, j += 4) {
    out[j] = static_cast<unsigned char>(in[i] & 0xFF);
    out[j + 1] = static_cast<unsigned char>((in[i] >> 8) & 0xFF);
    out[j + 2] = static_cast<unsigned char>((in[i] >> 16) & 0xFF);
    out[j + 3] = static_cast<unsigned char>((in[i] >> 24) & 0xFF);
  }
}

inline uint32_t RotateLeft(uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }

}  // namespace utility_internal
