// Hash facilities of libutility.so: a 16-byte hash value (CBaseHash), the
// MD4 digest (RFC 1320) as free functions over a context record, and the
// MD5 digest (RFC 1321) as a class.
#pragma once

#include <cstdint>
#include <istream>
#include <string>

#include "utility/utility_export.h"

class UTILITY_API CBaseHash {
 public:
  CBaseHash();  // all zero
  CBaseHash(const CBaseHash& other);
  explicit CBaseHash(const unsigned char* bytes);  // copies 16 bytes
  explicit CBaseHash(const char* text);            // ToBytes(text)
  ~CBaseHash();

  CBaseHash& operator=(const CBaseHash& other);
  CBaseHash& operator=(const unsigned char* bytes);
  CBaseHash& operator=(const char* text);

  // 32 hex digits (either case) to the 16 bytes. A text of another length
  // returns 0 and leaves the value untouched; a bad digit returns 0 with the
  // bytes read so far kept (the rest zero). Success returns 16.
  unsigned ToBytes(const char* text);

  bool operator==(const CBaseHash& other) const;
  bool operator==(const unsigned char* bytes) const;
  bool operator==(const char* text) const;

  // 32 lower-case digits and a terminator; a buffer of 32 bytes or less
  // gives a constant empty text and stays untouched.
  const char* GetHexString(char* buffer, int size) const;
  bool IsUndefinedHash() const;
  int Len() const;
  const unsigned char* Hash() const;

 private:
  unsigned char m_hash[16];
};

// MD4 context: state, bit count (low word first) and the input block.
struct MD4_CTX {
  uint32_t state[4];
  uint32_t count[2];
  unsigned char buffer[64];
};

UTILITY_API void MD4Init(MD4_CTX* ctx);
UTILITY_API void MD4Update(MD4_CTX* ctx, const unsigned char* input, unsigned int length);
// Writes the digest and clears the whole context.
UTILITY_API void MD4Final(unsigned char digest[16], MD4_CTX* ctx);

class UTILITY_API MD5 {
 public:
  MD5();
  MD5(const void* input, size_t length);
  explicit MD5(const std::string& text);
  explicit MD5(std::istream& in);

  // Adding data clears the finalised flag, so a digest may be taken, more
  // data added and a new digest taken.
  void update(const void* input, size_t length);
  void update(const std::string& text);
  // Reads blocks of 10,240 bytes to the end; a stream already failed is left alone.
  void update(std::istream& in);

  // The 16-byte digest of everything added so far; valid for the object's life.
  const unsigned char* digest();
  std::string toString();
  void reset();

  // Pairs of nibble values (0..15, not characters) to bytes; returns the
  // count produced.
  static unsigned HexStringToBytes(const unsigned char* src, unsigned srcLen, unsigned char* dst,
                                   unsigned dstSize);

  static const unsigned char PADDING[64];
  static const char HEX[16];

 private:
  UTILITY_HIDDEN void transform(const unsigned char block[64]);
  UTILITY_HIDDEN void final();

  uint32_t m_state[4];
  uint32_t m_count[2];
  unsigned char m_buffer[64];
  unsigned char m_digest[16];
  bool m_finished;
};
