// CBaseHash: a 16-byte hash value with hex text conversion.
#include <cstring>

#include "utility/base_hash.h"

namespace {

int HexNibble(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

CBaseHash::CBaseHash() { std::memset(m_hash, 0, sizeof(m_hash)); }
CBaseHash::CBaseHash(const CBaseHash& other) { std::memcpy(m_hash, other.m_hash, sizeof(m_hash)); }
CBaseHash::CBaseHash(const unsigned char* bytes) : CBaseHash() { *this = bytes; }
CBaseHash::CBaseHash(const char* text) : CBaseHash() { ToBytes(text); }
CBaseHash::~CBaseHash() = default;

CBaseHash& CBaseHash::operator=(const CBaseHash& other) {
  std::memmove(m_hash, other.m_hash, sizeof(m_hash));
  return *this;
}

CBaseHash& CBaseHash::operator=(const unsigned char* bytes) {
  if (bytes != nullptr) std::memmove(m_hash, bytes, sizeof(m_hash));
  return *this;
}

CBaseHash& CBaseHash::operator=(const char* text) {
  ToBytes(text);
  return *this;
}

unsigned CBaseHash::ToBytes(const char* text) {
  if (text == nullptr || std::strlen(text) != 32) return 0;
  std::memset(m_hash, 0, sizeof(m_hash));
  for (int i = 0; i < 32; ++i) {
    const int nibble = HexNibble(text[i]);
    if (nibble < 0) return 0;
    m_hash[i / 2] |= static_cast<unsigned char>((i % 2 == 0) ? nibble << 4 : nibble);
  }
  return 16;
}

bool CBaseHash::operator==(const CBaseHash& other) const {
  return std::memcmp(m_hash, other.m_hash, sizeof(m_hash)) == 0;
}

bool CBaseHash::operator==(const unsigned char* bytes) const {
  return bytes != nullptr && std::memcmp(m_hash, bytes, sizeof(m_hash)) == 0;
}

bool CBaseHash::operator==(const char* text) const {
  CBaseHash other;
  other.ToBytes(text);
  return *this == other;
}

const char* CBaseHash::GetHexString(char* buffer, int size) const {
  static const char kEmpty[] = "";
  static const char kDigits[] = "0123456789abcdef";
  if (buffer == nullptr || size <= 32) return kEmpty;
  for (int i = 0; i < 16; ++i) {
    buffer[2 * i] = kDigits[m_hash[i] >> 4];
    buffer[2 * i + 1] = kDigits[m_hash[i] & 0x0F];
  }
  buffer[32] = '\0';
  return buffer;
}

bool CBaseHash::IsUndefinedHash() const {
  for (unsigned char b : m_hash) {
    if (b != 0) return false;
  }
  return true;
}

int CBaseHash::Len() const { return 16; }
const unsigned char* CBaseHash::Hash() const { return m_hash; }
