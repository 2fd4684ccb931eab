// The Blowfish block cipher, with the blocks of a byte buffer read as two
// 32-bit halves in little-endian order, left half first (electronic codebook
// mode). Used to decipher the built-in table of known Android devices, and
// by the build tool that enciphers it.
#ifndef DEVWARDEN_SRC_BASE_BLOWFISH_H_
#define DEVWARDEN_SRC_BASE_BLOWFISH_H_

#include <cstddef>
#include <cstdint>

namespace devwarden {

// Threading: an instance is not guarded; use one per thread or lock around it.
class Blowfish {
 public:
  Blowfish();
  // The published key schedule: key bytes cycled over the P-array four at a
  // time (first byte most significant), then P and S replaced by successive
  // encryptions of an all-zero block. Key length 1 to 56 bytes; other
  // lengths leave the initial state and return false.
  bool SetKey(const uint8_t* key, size_t length);
  void EncryptBlock(uint32_t* left, uint32_t* right) const;
  void DecryptBlock(uint32_t* left, uint32_t* right) const;
  // In place over ceil(length / 8) blocks: the buffer must hold that many
  // whole blocks.
  void Encrypt(uint8_t* buffer, size_t length) const;
  void Decrypt(uint8_t* buffer, size_t length) const;

  static size_t PaddedLength(size_t length) { return (length + 7) / 8 * 8; }

 private:
  uint32_t F(uint32_t x) const;

  static const uint32_t kInitP[18];
  static const uint32_t kInitS[4][256];
  uint32_t p_[18];
  uint32_t s_[4][256];
};

// The process-wide cipher state of the library.
// Threading: callers serialise (the table load runs once, under its own lock).
void BlowfishSetKey(const uint8_t* key, size_t length);
void BlowfishDecrypt(uint8_t* buffer, size_t length);

}  // namespace devwarden

#endif  // DEVWARDEN_SRC_BASE_BLOWFISH_H_
