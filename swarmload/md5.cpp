#include "md5.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <new>

#include "foundation/base/unicode.h"

namespace swarmload {

namespace {

inline uint32_t Rotl(uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }

constexpr uint32_t kT[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391};
constexpr int kShift[64] = {7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22,
                            5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20,
                            4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23,
                            6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21};

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

char16_t Lower(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c; }

}  // namespace

Md5Context::Md5Context() : state_{0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476}, count_{0, 0}, buffer_{}, digest_{} {}

void Md5Context::Transform(const uint8_t block[64]) {
  uint32_t x[16];
  for (int i = 0; i < 16; ++i) {
    x[i] = static_cast<uint32_t>(block[i * 4]) | (static_cast<uint32_t>(block[i * 4 + 1]) << 8) |
           (static_cast<uint32_t>(block[i * 4 + 2]) << 16) | (static_cast<uint32_t>(block[i * 4 + 3]) << 24);
  }
  uint32_t a = state_[0], b = state_[1], c = state_[2], d = state_[3];
  for (int i = 0; i < 64; ++i) {
    uint32_t f;
    int g;
    if (i < 16) {
      f = (b & c) | (~b & d);
      g = i;
    } else if (i < 32) {
      f = (b & d) | (c & ~d);
      g = (5 * i + 1) % 16;
    } else if (i < 48) {
      f = b ^ c ^ d;
      g = (3 * i + 5) % 16;
    } else {
      f = c ^ (b | ~d);
      g = (7 * i) % 16;
    }
    const uint32_t next = b + Rotl(a + f + kT[i] + x[g], kShift[i]);
    a = d;
    d = c;
    c = b;
    b = next;
  }
  state_[0] += a;
  state_[1] += b;
  state_[2] += c;
  state_[3] += d;
}

void Md5Context::Update(const void* data, size_t size) {
  digest_taken_ = false;
  const uint8_t* input = static_cast<const uint8_t*>(data);
  size_t index = (count_[0] >> 3) & 0x3F;
  const uint64_t bits = (static_cast<uint64_t>(count_[1]) << 32 | count_[0]) + (static_cast<uint64_t>(size) << 3);
  count_[0] = static_cast<uint32_t>(bits);
  count_[1] = static_cast<uint32_t>(bits >> 32);
  const size_t room = 64 - index;
  size_t i = 0;
  if (size >= room) {
    std::memcpy(buffer_ + index, input, room);
    Transform(buffer_);
    for (i = room; i + 63 < size; i += 64) Transform(input + i);
    index = 0;
  }
  std::memcpy(buffer_ + index, input + i, size - i);
}

void Md5Context::Final() {
  uint32_t saved_state[4];
  uint32_t saved_count[2];
  uint8_t saved_buffer[64];
  std::memcpy(saved_state, state_, sizeof saved_state);
  std::memcpy(saved_count, count_, sizeof saved_count);
  std::memcpy(saved_buffer, buffer_, sizeof saved_buffer);

  uint8_t bits[8];
  for (int i = 0; i < 8; ++i) bits[i] = static_cast<uint8_t>(count_[i / 4] >> (8 * (i % 4)));
  const size_t index = (count_[0] >> 3) & 0x3F;
  const size_t pad = index < 56 ? 56 - index : 120 - index;
  static const uint8_t kPadding[64] = {0x80};
  Update(kPadding, pad);
  Update(bits, 8);
  for (int i = 0; i < 16; ++i) digest_[i] = static_cast<uint8_t>(state_[i / 4] >> (8 * (i % 4)));

  std::memcpy(state_, saved_state, sizeof saved_state);
  std::memcpy(count_, saved_count, sizeof saved_count);
  std::memcpy(buffer_, saved_buffer, sizeof saved_buffer);
  digest_taken_ = true;
}

std::u16string Md5ToHex(const uint8_t digest[16]) {
  static const char kDigits[] = "0123456789abcdef";
  std::u16string hex;
  for (int i = 0; i < 16; ++i) {
    hex += static_cast<char16_t>(kDigits[digest[i] >> 4]);
    hex += static_cast<char16_t>(kDigits[digest[i] & 0xF]);
  }
  return hex;
}

int Md5ParseHex(const std::string& text, uint8_t out[16]) {
  if (text.size() != 32) return 0;
  std::memset(out, 0, 16);
  for (size_t i = 0; i < 32; ++i) {
    const int value = HexDigit(text[i]);
    if (value < 0) return 0;
    out[i / 2] = static_cast<uint8_t>(out[i / 2] | (i % 2 == 0 ? value << 4 : value));
  }
  return 16;
}

bool Md5File(const std::u16string& path, uint8_t out[16]) {
  const std::string narrow = unicode::Utf16ToUtf8(path.data(), path.size());
  const int fd = ::open(narrow.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return false;
  }
  std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[kHashChunk]);
  if (!buffer) {
    ::close(fd);
    return false;
  }
  Md5Context outer;
  bool ok = true;
  for (;;) {
    // Fill the whole chunk (a read may return less before the end of file).
    size_t got = 0;
    while (got < kHashChunk) {
      const ssize_t n = ::read(fd, buffer.get() + got, kHashChunk - got);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) ok = false;
      if (n <= 0) break;
      got += static_cast<size_t>(n);
    }
    if (!ok || got == 0) break;
    Md5Context chunk;
    chunk.Update(buffer.get(), got);
    chunk.Final();
    outer.Update(chunk.digest(), 16);
    if (got < kHashChunk) break;
  }
  ::close(fd);
  if (!ok) return false;
  outer.Final();
  std::memcpy(out, outer.digest(), 16);
  return true;
}

bool DigestMatches(const std::u16string& expected, const uint8_t digest[16]) {
  const std::u16string hex = Md5ToHex(digest);
  if (expected.size() < 32) return false;
  for (size_t i = 0; i < 32; ++i) {
    if (Lower(expected[i]) != hex[i]) return false;
  }
  return true;
}

}  // namespace swarmload
