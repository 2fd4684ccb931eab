#include "base_string.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "foundation/base/code_page.h"
#include "foundation/base/log.h"

namespace devwarden {

namespace {
const char kDigits[] = "0123456789abcdef";
}

std::string KeyToHexA(const uint8_t key[16]) {
  std::string out;
  for (int i = 0; i < 16; ++i) {
    out.push_back(kDigits[key[i] >> 4]);
    out.push_back(kDigits[key[i] & 0xF]);
  }
  return out;
}

std::u16string KeyToHexW(const uint8_t key[16]) {
  std::string a = KeyToHexA(key);
  return std::u16string(a.begin(), a.end());
}

bool HexTextToValue(const std::u16string& text, uint32_t* value) {
  if (text.empty() || text.size() > 8 || !value) return false;
  uint32_t v = 0;
  for (char16_t c : text) {
    uint32_t d;
    if (c >= u'0' && c <= u'9') d = c - u'0';
    else if (c >= u'a' && c <= u'f') d = c - u'a' + 10;
    else if (c >= u'A' && c <= u'F') d = c - u'A' + 10;
    else return false;
    v = (v << 4) | d;
  }
  *value = v;
  return true;
}

bool KeyLess(const uint8_t a[16], const uint8_t b[16]) { return std::memcmp(a, b, 16) < 0; }

bool ParseProductVersion(const char* text, uint64_t* version) {
  if (!text || !version) return false;
  uint64_t sum = 0;
  const char* p = text;
  static const int kShift[3] = {48, 32, 16};
  for (int part = 0; part < 3; ++part) {
    sum += static_cast<uint64_t>(static_cast<uint16_t>(std::atoi(p))) << kShift[part];
    const char* sep = std::strchr(p, ',');
    if (!sep) sep = std::strchr(p, '.');
    if (!sep) {
      PD_LOG_ERROR("error pVerValue:%s", text);
      return false;
    }
    p = sep + 1;
  }
  sum += static_cast<uint16_t>(std::atoi(p));
  *version = sum;
  return true;
}

bool ContainsNoCase(const std::u16string& text, const std::u16string& part) {
  auto lower = [](char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c; };
  auto it = std::search(text.begin(), text.end(), part.begin(), part.end(),
                        [&](char16_t a, char16_t b) { return lower(a) == lower(b); });
  return it != text.end();
}

void CopyWideText(char16_t* dst, size_t capacity, const char16_t* src) {
  if (!dst || capacity == 0) return;
  size_t n = 0;
  if (src) {
    while (n + 1 < capacity && src[n]) {
      dst[n] = src[n];
      ++n;
    }
  }
  dst[n] = 0;
}

std::string ToUtf8(const std::u16string& text) { return WStringToMultiByte(text, CP_UTF8); }

std::string ToUtf8(const char16_t* text) { return text ? ToUtf8(std::u16string(text)) : std::string(); }

}  // namespace devwarden
