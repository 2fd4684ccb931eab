#include "foundation/base/unicode.h"

namespace unicode {

Utf8Sequence ReadUtf8Sequence(const unsigned char* s, size_t n, size_t i) {
  Utf8Sequence seq;
  const unsigned char b = s[i];
  if (b < 0x80) {
    seq.length = 1;
    seq.value = b;
    return seq;
  }
  int need;
  unsigned char lo = 0x80, hi = 0xBF;
  uint32_t v;
  if (b >= 0xC2 && b <= 0xDF) {
    need = 1;
    v = b & 0x1F;
  } else if (b >= 0xE0 && b <= 0xEF) {
    need = 2;
    v = b & 0x0F;
    if (b == 0xE0) lo = 0xA0;  // overlong
    if (b == 0xED) hi = 0x9F;  // surrogates
  } else if (b >= 0xF0 && b <= 0xF4) {
    need = 3;
    v = b & 0x07;
    if (b == 0xF0) lo = 0x90;  // overlong
    if (b == 0xF4) hi = 0x8F;  // above U+10FFFF
  } else {
    return seq;  // continuation byte, C0, C1 or F5-FF as a lead
  }
  for (int k = 1; k <= need; ++k) {
    if (i + k >= n || s[i + k] == 0) {
      seq.cut = true;
      seq.prefix = k;
      return seq;
    }
    const unsigned char c = s[i + k];
    const unsigned char low = k == 1 ? lo : 0x80;
    const unsigned char high = k == 1 ? hi : 0xBF;
    if (c < low || c > high) {
      seq.prefix = k;
      return seq;
    }
    v = (v << 6) | (c & 0x3F);
  }
  seq.length = need + 1;
  seq.value = v;
  return seq;
}

void AppendUtf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

void AppendUtf16(std::u16string& out, uint32_t cp) {
  if (cp >= 0x10000) {
    cp -= 0x10000;
    out += static_cast<char16_t>(0xD800 + (cp >> 10));
    out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
  } else {
    out += static_cast<char16_t>(cp);
  }
}

std::u16string Utf8ToUtf16(const char* bytes, size_t length) {
  // No byte yields more than one unit (a four-byte sequence yields two), so
  // the text is decoded in place into `length` units and cut to size; runs
  // of ASCII are copied without the sequence reader.
  std::u16string out(length, u'\0');
  char16_t* to = &out[0];
  const auto* s = reinterpret_cast<const unsigned char*>(bytes);
  size_t i = 0;
  while (i < length) {
    while (i < length && s[i] < 0x80) *to++ = s[i++];
    if (i == length) break;
    const Utf8Sequence seq = ReadUtf8Sequence(s, length, i);
    uint32_t cp = seq.value;
    if (seq.length == 0) {
      cp = kReplacement;
      i += seq.prefix;
    } else {
      i += seq.length;
    }
    if (cp >= 0x10000) {
      cp -= 0x10000;
      *to++ = static_cast<char16_t>(0xD800 + (cp >> 10));
      *to++ = static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    } else {
      *to++ = static_cast<char16_t>(cp);
    }
  }
  out.resize(static_cast<size_t>(to - out.data()));
  return out;
}

std::string Utf16ToUtf8(const char16_t* text, size_t length) {
  std::string out;
  out.reserve(length * 3);
  ForEachCodePoint(text, length, [&out](uint32_t cp) { AppendUtf8(out, cp == kLoneSurrogate ? kReplacement : cp); });
  return out;
}

}  // namespace unicode
