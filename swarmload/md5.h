// MD5 (RFC 1321) and the chunked file digest that finished downloads are
// checked against: the file is cut into chunks of 9,728,000 bytes, each
// chunk is hashed on its own, and the file digest is the MD5 of the
// sequence of chunk digests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace swarmload {

constexpr size_t kHashChunk = 9728000;

// Threading: one context per thread.
class Md5Context {
 public:
  Md5Context();
  // Adds bytes; clears the digest-taken flag.
  void Update(const void* data, size_t size);
  // Pads a copy of the running state and writes the digest, leaving the
  // running state and count as they were (further input could follow).
  void Final();
  const uint8_t* digest() const { return digest_; }
  bool digest_taken() const { return digest_taken_; }

 private:
  void Transform(const uint8_t block[64]);

  uint32_t state_[4];
  uint32_t count_[2];  // bits hashed, low word first
  uint8_t buffer_[64];
  uint8_t digest_[16];
  bool digest_taken_ = false;
};

// 32 lower-case hex digits, high nibble of each byte first.
std::u16string Md5ToHex(const uint8_t digest[16]);

// 16 when `text` is 32 hex digits (either case), written into `out`; 0
// when its length is not 32 (out untouched) or at the first other
// character (out zero-filled, then the bytes parsed so far).
int Md5ParseHex(const std::string& text, uint8_t out[16]);

// The chunked digest of a regular file; false when it cannot be read (a
// missing file, a folder).
bool Md5File(const std::u16string& path, uint8_t out[16]);

// Whether the hex of `digest` equals `expected` over 32 characters,
// compared without regard to case.
bool DigestMatches(const std::u16string& expected, const uint8_t digest[16]);

}  // namespace swarmload
