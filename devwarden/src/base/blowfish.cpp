#include "blowfish.h"

#include <cstring>

namespace devwarden {

namespace {

uint32_t LoadLe(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
}

void StoreLe(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
  p[2] = static_cast<uint8_t>(v >> 16);
  p[3] = static_cast<uint8_t>(v >> 24);
}

Blowfish& SharedCipher() {
  static Blowfish cipher;
  return cipher;
}

}  // namespace

Blowfish::Blowfish() {
  std::memcpy(p_, kInitP, sizeof p_);
  std::memcpy(s_, kInitS, sizeof s_);
}

uint32_t Blowfish::F(uint32_t x) const {
  return ((s_[0][x >> 24] + s_[1][(x >> 16) & 0xFF]) ^ s_[2][(x >> 8) & 0xFF]) + s_[3][x & 0xFF];
}

void Blowfish::EncryptBlock(uint32_t* left, uint32_t* right) const {
  uint32_t l = *left, r = *right;
  for (int i = 0; i < 16; i += 2) {
    l ^= p_[i];
    r ^= F(l);
    r ^= p_[i + 1];
    l ^= F(r);
  }
  l ^= p_[16];
  r ^= p_[17];
  *left = r;
  *right = l;
}

void Blowfish::DecryptBlock(uint32_t* left, uint32_t* right) const {
  uint32_t l = *left, r = *right;
  for (int i = 17; i > 1; i -= 2) {
    l ^= p_[i];
    r ^= F(l);
    r ^= p_[i - 1];
    l ^= F(r);
  }
  l ^= p_[1];
  r ^= p_[0];
  *left = r;
  *right = l;
}

bool Blowfish::SetKey(const uint8_t* key, size_t length) {
  std::memcpy(p_, kInitP, sizeof p_);
  std::memcpy(s_, kInitS, sizeof s_);
  if (!key || length == 0 || length > 56) return false;
  size_t k = 0;
  for (int i = 0; i < 18; ++i) {
    uint32_t word = 0;
    for (int b = 0; b < 4; ++b) {
      word = (word << 8) | key[k];
      k = (k + 1) % length;
    }
    p_[i] ^= word;
  }
  uint32_t l = 0, r = 0;
  for (int i = 0; i < 18; i += 2) {
    EncryptBlock(&l, &r);
    p_[i] = l;
    p_[i + 1] = r;
  }
  for (auto& box : s_) {
    for (int i = 0; i < 256; i += 2) {
      EncryptBlock(&l, &r);
      box[i] = l;
      box[i + 1] = r;
    }
  }
  return true;
}

void Blowfish::Encrypt(uint8_t* buffer, size_t length) const {
  for (size_t off = 0; off < PaddedLength(length); off += 8) {
    uint32_t l = LoadLe(buffer + off), r = LoadLe(buffer + off + 4);
    EncryptBlock(&l, &r);
    StoreLe(buffer + off, l);
    StoreLe(buffer + off + 4, r);
  }
}

void Blowfish::Decrypt(uint8_t* buffer, size_t length) const {
  for (size_t off = 0; off < PaddedLength(length); off += 8) {
    uint32_t l = LoadLe(buffer + off), r = LoadLe(buffer + off + 4);
    DecryptBlock(&l, &r);
    StoreLe(buffer + off, l);
    StoreLe(buffer + off + 4, r);
  }
}

void BlowfishSetKey(const uint8_t* key, size_t length) { SharedCipher().SetKey(key, length); }

void BlowfishDecrypt(uint8_t* buffer, size_t length) { SharedCipher().Decrypt(buffer, length); }

}  // namespace devwarden
