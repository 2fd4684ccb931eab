// UTF-8 and UTF-16 by hand, without iconv: the strict reading of one UTF-8
// sequence, the writing of one code point, and whole-text conversions that
// replace what is malformed with U+FFFD. Pure functions; thread-safe.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace unicode {

constexpr char16_t kReplacement = 0xFFFD;
// What ForEachCodePoint hands over for a lone surrogate.
constexpr uint32_t kLoneSurrogate = UINT32_MAX;

// The UTF-8 sequence that starts at s[i] (i < n), read strictly: leads
// C2-F4, continuations 80-BF, no overlong forms, no surrogates, nothing
// above U+10FFFF. A zero byte or the end of the buffer ends a sequence.
struct Utf8Sequence {
  int length = 0;       // bytes of the valid sequence, 0 when invalid
  uint32_t value = 0;   // its code point
  int prefix = 1;       // when invalid: the bytes of the maximal invalid start (at least 1)
  bool cut = false;     // when invalid: a zero byte or the end cut it
};
Utf8Sequence ReadUtf8Sequence(const unsigned char* s, size_t n, size_t i);

void AppendUtf8(std::string& out, uint32_t cp);
void AppendUtf16(std::u16string& out, uint32_t cp);

// Calls fn(code point) for each character of a UTF-16 text: pairs joined, a
// lone surrogate as kLoneSurrogate.
template <typename Fn>
void ForEachCodePoint(const char16_t* t, size_t n, Fn fn) {
  for (size_t i = 0; i < n; ++i) {
    const uint32_t u = t[i];
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < n && t[i + 1] >= 0xDC00 && t[i + 1] <= 0xDFFF) {
      fn(0x10000 + ((u - 0xD800) << 10) + (t[i + 1] - 0xDC00u));
      ++i;
    } else if (u >= 0xD800 && u <= 0xDFFF) {
      fn(kLoneSurrogate);
    } else {
      fn(u);
    }
  }
}

// All `length` units, zeros included. Each maximal invalid UTF-8 subsequence
// becomes one U+FFFD; a lone surrogate becomes U+FFFD.
std::u16string Utf8ToUtf16(const char* bytes, size_t length);
std::string Utf16ToUtf8(const char16_t* text, size_t length);

}  // namespace unicode
