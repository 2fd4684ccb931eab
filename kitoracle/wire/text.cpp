#include "wire/text.h"

#include <cstdint>

#include "foundation/base/unicode.h"

namespace kitoracle {

size_t WideLength(const char16_t* text, size_t limit) {
  size_t n = 0;
  if (text == nullptr) return 0;
  while (n < limit && text[n] != 0) ++n;
  return n;
}

std::string ToUtf8(const char16_t* text, size_t maxBytes) {
  std::string out;
  if (text == nullptr) return out;
  bool full = false;
  unicode::ForEachCodePoint(text, WideLength(text), [&](uint32_t cp) {
    if (full) return;
    if (cp == unicode::kLoneSurrogate) cp = unicode::kReplacement;
    std::string one;
    unicode::AppendUtf8(one, cp);
    if (out.size() + one.size() > maxBytes) {
      full = true;  // stop at the first character that does not fit
      return;
    }
    out += one;
  });
  return out;
}

size_t CopyToWide(const std::string& utf8, char16_t* out, size_t capacity) {
  if (out == nullptr || capacity < 1) return 0;
  std::u16string wide = unicode::Utf8ToUtf16(utf8.data(), utf8.size());
  size_t n = wide.size() < capacity - 1 ? wide.size() : capacity - 1;
  if (n > 0 && n < wide.size() && wide[n - 1] >= 0xD800 && wide[n - 1] <= 0xDBFF) --n;
  for (size_t i = 0; i < n; ++i) out[i] = wide[i];
  out[n] = 0;
  return n;
}

std::string Hex16(const unsigned char* bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string out;
  for (int i = 0; i < 16; ++i) {
    out += kDigits[bytes[i] >> 4];
    out += kDigits[bytes[i] & 15];
  }
  return out;
}

}  // namespace kitoracle
