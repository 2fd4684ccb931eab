// MD5 message digest (RFC 1321).
#include <cstring>
#include <vector>

#include "utility/base_hash.h"
#include "utility/internal/md_common.h"

using utility_internal::DecodeWords;
using utility_internal::EncodeWords;
using utility_internal::RotateLeft;

const unsigned char MD5::PADDING[64] = {0x80};
const char MD5::HEX[16] = {'0', '1', '2', '3', '4', '5', '6', '7',
                           '8', '9', 'a', 'b', 'c', 'd', 'e', 'f'};

namespace {

constexpr int kShift[64] = {7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22,
                            5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20,
                            4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23,
                            6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21};

constexpr uint32_t kSine[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391};

constexpr size_t kStreamBlock = 10240;

}  // namespace

MD5::MD5() { reset(); }

MD5::MD5(const void* input, size_t length) {
  reset();
  update(input, length);
}

MD5::MD5(const std::string& text) {
  reset();
  update(text);
}

MD5::MD5(std::istream& in) {
  reset();
  update(in);
}

void MD5::reset() {
  m_finished = false;
  m_count[0] = m_count[1] = 0;
  m_state[0] = 0x67452301u;
  m_state[1] = 0xefcdab89u;
  m_state[2] = 0x98badcfeu;
  m_state[3] = 0x10325476u;
  std::memset(m_buffer, 0, sizeof(m_buffer));
  std::memset(m_digest, 0, sizeof(m_digest));
}

void MD5::transform(const unsigned char block[64]) {
  uint32_t x[16];
  DecodeWords(x, block, 64);
  uint32_t a = m_state[0], b = m_state[1], c = m_state[2], d = m_state[3];
  for (int i = 0; i < 64; ++i) {
    uint32_t f;
    int g;
    if (i < 16) {
      f = (b & c) | (~b & d);
      g = i;
    } else if (i < 32) {
      f = (d & b) | (~d & c);
      g = (5 * i + 1) % 16;
    } else if (i < 48) {
      f = b ^ c ^ d;
      g = (3 * i + 5) % 16;
    } else {
      f = c ^ (b | ~d);
      g = (7 * i) % 16;
    }
    const uint32_t rotated = RotateLeft(a + f + kSine[i] + x[g], kShift[i]);
    a = d;
    d = c;
    c = b;
    b = b + rotated;
  }
  m_state[0] += a;
  m_state[1] += b;
  m_state[2] += c;
  m_state[3] += d;
}

void MD5::update(const void* input, size_t length) {
  if (input == nullptr && length > 0) return;
  const auto* in = static_cast<const unsigned char*>(input);
  m_finished = false;
  while (length > 0) {
    // Process in pieces whose bit count fits the 32-bit arithmetic below.
    const uint32_t piece = static_cast<uint32_t>(length > 0x10000000u ? 0x10000000u : length);
    uint32_t index = (m_count[0] >> 3) & 0x3F;
    if ((m_count[0] += piece << 3) < (piece << 3)) m_count[1]++;
    m_count[1] += piece >> 29;
    const uint32_t partLen = 64 - index;
    uint32_t i = 0;
    if (piece >= partLen) {
      std::memcpy(&m_buffer[index], in, partLen);
      transform(m_buffer);
      for (i = partLen; i + 63 < piece; i += 64) transform(&in[i]);
      index = 0;
    }
    if (piece > i) std::memcpy(&m_buffer[index], &in[i], piece - i);
    in += piece;
    length -= piece;
  }
}

void MD5::update(const std::string& text) { update(text.data(), text.size()); }

void MD5::update(std::istream& in) {
  if (!in) return;
  std::vector<char> block(kStreamBlock);
  while (in) {
    in.read(block.data(), static_cast<std::streamsize>(block.size()));
    const std::streamsize got = in.gcount();
    if (got > 0) update(block.data(), static_cast<size_t>(got));
    if (in.eof()) break;
  }
}

void MD5::final() {
  // Pad a copy so that more data may follow the digest.
  uint32_t savedState[4];
  uint32_t savedCount[2];
  unsigned char savedBuffer[64];
  std::memcpy(savedState, m_state, sizeof(savedState));
  std::memcpy(savedCount, m_count, sizeof(savedCount));
  std::memcpy(savedBuffer, m_buffer, sizeof(savedBuffer));

  unsigned char bits[8];
  EncodeWords(bits, m_count, 8);
  const uint32_t index = (m_count[0] >> 3) & 0x3F;
  const uint32_t padLen = (index < 56) ? (56 - index) : (120 - index);
  update(PADDING, padLen);
  update(bits, 8);
  EncodeWords(m_digest, m_state, 16);

  std::memcpy(m_state, savedState, sizeof(savedState));
  std::memcpy(m_count, savedCount, sizeof(savedCount));
  std::memcpy(m_buffer, savedBuffer, sizeof(savedBuffer));
  m_finished = true;
}

const unsigned char* MD5::digest() {
  if (!m_finished) final();
  return m_digest;
}

std::string MD5::toString() {
  const unsigned char* d = digest();
  std::string text(32, '0');
  for (int i = 0; i < 16; ++i) {
    text[2 * i] = HEX[d[i] >> 4];
    text[2 * i + 1] = HEX[d[i] & 0x0F];
  }
  return text;
}

unsigned MD5::HexStringToBytes(const unsigned char* src, unsigned srcLen, unsigned char* dst,
                               unsigned dstSize) {
  if (src == nullptr || dst == nullptr) return 0;
  unsigned i = 0;
  for (; 2 * i + 1 < srcLen && i < dstSize; ++i) {
    dst[i] = static_cast<unsigned char>(src[2 * i] * 16 + src[2 * i + 1]);
  }
  return i;
}
