#include "utility/internal/utf_codec.h"

#include <cstdint>

namespace utility_internal {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

void AppendUtf16(std::u16string& out, char32_t cp) {
  if (cp < 0x10000) {
    out.push_back(static_cast<char16_t>(cp));
  } else {
    cp -= 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
  }
}

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

}  // namespace

std::u16string Utf8ToUtf16(const char* src, size_t len) {
  std::u16string out;
  out.reserve(len);
  const auto* s = reinterpret_cast<const uint8_t*>(src);
  size_t i = 0;
  while (i < len) {
    uint8_t b = s[i];
    if (b < 0x80) {
      out.push_back(b);
      ++i;
      continue;
    }
    int extra;
    char32_t cp;
    char32_t min;
    if ((b & 0xE0) == 0xC0) {
      extra = 1; cp = b & 0x1F; min = 0x80;
    } else if ((b & 0xF0) == 0xE0) {
      extra = 2; cp = b & 0x0F; min = 0x800;
    } else if ((b & 0xF8) == 0xF0) {
      extra = 3; cp = b & 0x07; min = 0x10000;
    } else {
      AppendUtf16(out, kReplacement);
      ++i;
      continue;
    }
    size_t j = 1;
    for (; j <= static_cast<size_t>(extra); ++j) {
      if (i + j >= len || (s[i + j] & 0xC0) != 0x80) break;
      cp = (cp << 6) | (s[i + j] & 0x3F);
    }
    if (j <= static_cast<size_t>(extra) || cp < min || cp > 0x10FFFF ||
        (cp >= 0xD800 && cp <= 0xDFFF)) {
      AppendUtf16(out, kReplacement);
      i += j;  // skip the lead byte and the continuation bytes consumed
      continue;
    }
    AppendUtf16(out, cp);
    i += j;
  }
  return out;
}

std::string Utf16ToUtf8(const char16_t* src, size_t len) {
  std::string out;
  out.reserve(len * 3);
  for (size_t i = 0; i < len; ++i) {
    char32_t c = src[i];
    if (c >= 0xD800 && c <= 0xDBFF) {
      if (i + 1 < len && src[i + 1] >= 0xDC00 && src[i + 1] <= 0xDFFF) {
        c = 0x10000 + ((c - 0xD800) << 10) + (src[i + 1] - 0xDC00);
        ++i;
      } else {
        c = kReplacement;
      }
    } else if (c >= 0xDC00 && c <= 0xDFFF) {
      c = kReplacement;
    }
    AppendUtf8(out, c);
  }
  return out;
}

}  // namespace utility_internal
