// MD4 message digest (RFC 1320).
#include <cstring>

#include "utility/base_hash.h"
#include "utility/internal/md_common.h"

using utility_internal::DecodeWords;
using utility_internal::EncodeWords;
using utility_internal::RotateLeft;

namespace {

inline uint32_t F(uint32_t x, uint32_t y, uint32_t z) { return (x & y) | (~x & z); }
inline uint32_t G(uint32_t x, uint32_t y, uint32_t z) { return (x & y) | (x & z) | (y & z); }
inline uint32_t H(uint32_t x, uint32_t y, uint32_t z) { return x ^ y ^ z; }

inline void FF(uint32_t& a, uint32_t b, uint32_t c, uint32_t d, uint32_t x, int s) {
  a = RotateLeft(a + F(b, c, d) + x, s);
}
inline void GG(uint32_t& a, uint32_t b, uint32_t c, uint32_t d, uint32_t x, int s) {
  a = RotateLeft(a + G(b, c, d) + x + 0x5A827999u, s);
}
inline void HH(uint32_t& a, uint32_t b, uint32_t c, uint32_t d, uint32_t x, int s) {
  a = RotateLeft(a + H(b, c, d) + x + 0x6ED9EBA1u, s);
}

void Md4Transform(uint32_t state[4], const unsigned char block[64]) {
  uint32_t a = state[0], b = state[1], c = state[2], d = state[3], x[16];
  DecodeWords(x, block, 64);

  for (int i = 0; i < 16; i += 4) {
    FF(a, b, c, d, x[i], 3);
    FF(d, a, b, c, x[i + 1], 7);
    FF(c, d, a, b, x[i + 2], 11);
    FF(b, c, d, a, x[i + 3], 19);
  }
  for (int i = 0; i < 4; ++i) {
    GG(a, b, c, d, x[i], 3);
    GG(d, a, b, c, x[i + 4], 5);
    GG(c, d, a, b, x[i + 8], 9);
    GG(b, c, d, a, x[i + 12], 13);
  }
  static const int kOrder[4] = {0, 2, 1, 3};
  for (int k : kOrder) {
    HH(a, b, c, d, x[k], 3);
    HH(d, a, b, c, x[k + 8], 9);
    HH(c, d, a, b, x[k + 4], 11);
    HH(b, c, d, a, x[k + 12], 15);
  }
  state[0] += a;
  state[1] += b;
  state[2] += c;
  state[3] += d;
  std::memset(x, 0, sizeof(x));
}

}  // namespace

void MD4Init(MD4_CTX* ctx) {
  if (ctx == nullptr) return;
  ctx->count[0] = ctx->count[1] = 0;
  ctx->state[0] = 0x67452301u;
  ctx->state[1] = 0xEFCDAB89u;
  ctx->state[2] = 0x98BADCFEu;
  ctx->state[3] = 0x10325476u;
}

void MD4Update(MD4_CTX* ctx, const unsigned char* input, unsigned int length) {
  if (ctx == nullptr || (input == nullptr && length > 0)) return;
  unsigned int index = (ctx->count[0] >> 3) & 0x3F;
  if ((ctx->count[0] += length << 3) < (length << 3)) ctx->count[1]++;
  ctx->count[1] += length >> 29;
  const unsigned int partLen = 64 - index;
  unsigned int i = 0;
  if (length >= partLen) {
    std::memcpy(&ctx->buffer[index], input, partLen);
    Md4Transform(ctx->state, ctx->buffer);
    for (i = partLen; i + 63 < length; i += 64) Md4Transform(ctx->state, &input[i]);
    index = 0;
  }
  if (length > i) std::memcpy(&ctx->buffer[index], &input[i], length - i);
}

void MD4Final(unsigned char digest[16], MD4_CTX* ctx) {
  if (ctx == nullptr || digest == nullptr) return;
  static const unsigned char kPadding[64] = {0x80};
  unsigned char bits[8];
  EncodeWords(bits, ctx->count, 8);
  const unsigned int index = (ctx->count[0] >> 3) & 0x3F;
  const unsigned int padLen = (index < 56) ? (56 - index) : (120 - index);
  MD4Update(ctx, kPadding, padLen);
  MD4Update(ctx, bits, 8);
  EncodeWords(digest, ctx->state, 16);
  std::memset(ctx, 0, sizeof(*ctx));
}
