#include "foundation/base/unicode.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

namespace {

// Units decoded into a local piece before they are appended to the result.
constexpr size_t kPieceUnits = 4096;

// A three-byte sequence at s[i] whose lead needs no range check beyond the
// continuation bytes' (E1-EC, EE, EF).
inline bool IsPlainThreeByte(const unsigned char* s, size_t n, size_t i) {
  const unsigned b = s[i];
  return n - i >= 3 && ((b >= 0xE1 && b <= 0xEC) || b == 0xEE || b == 0xEF) &&
         (s[i + 1] & 0xC0) == 0x80 && (s[i + 2] & 0xC0) == 0x80;
}

// Decodes s[i, n) into to[0, room) (room at least 2) until the input ends
// or fewer than two units of room are left; advances `i` and returns the
// units written. Runs of ASCII are widened 16 bytes at a time, and the
// common two- and three-byte forms are read inline; four-byte forms, the
// edge ranges of E0 and ED and everything invalid go through the sequence
// reader.
size_t DecodePiece(const unsigned char* s, size_t n, size_t& i, char16_t* to, size_t room) {
  char16_t* const begin = to;
  char16_t* const end = to + room;
  while (i < n && end - to >= 2) {
    const unsigned b = s[i];
    if (b < 0x80) {
#if defined(__SSE2__)
      const __m128i zero = _mm_setzero_si128();
      while (n - i >= 16 && end - to >= 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
        if (_mm_movemask_epi8(bytes) != 0) break;
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to), _mm_unpacklo_epi8(bytes, zero));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to + 8), _mm_unpackhi_epi8(bytes, zero));
        i += 16;
        to += 16;
      }
#endif
      while (i < n && to < end && s[i] < 0x80) *to++ = s[i++];
      continue;
    }
    if (IsPlainThreeByte(s, n, i)) {
      // Runs of them (Chinese text) without going round the outer loop.
      do {
        *to++ = static_cast<char16_t>(((s[i] & 0x0F) << 12) | ((s[i + 1] & 0x3F) << 6) |
                                      (s[i + 2] & 0x3F));
        i += 3;
      } while (to < end && IsPlainThreeByte(s, n, i));
      continue;
    }
    if (b >= 0xC2 && b <= 0xDF && n - i >= 2 && (s[i + 1] & 0xC0) == 0x80) {
      *to++ = static_cast<char16_t>(((b & 0x1F) << 6) | (s[i + 1] & 0x3F));
      i += 2;
      continue;
    }
    const Utf8Sequence seq = ReadUtf8Sequence(s, n, i);
    uint32_t cp = seq.value;
    if (seq.length == 0) {
      cp = kReplacement;
      i += static_cast<size_t>(seq.prefix);
    } else {
      i += static_cast<size_t>(seq.length);
    }
    if (cp >= 0x10000) {
      cp -= 0x10000;
      *to++ = static_cast<char16_t>(0xD800 + (cp >> 10));
      *to++ = static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    } else {
      *to++ = static_cast<char16_t>(cp);
    }
  }
  return static_cast<size_t>(to - begin);
}

}  // namespace

std::u16string Utf8ToUtf16(const char* bytes, size_t length) {
  // No byte yields more than one unit (a four-byte sequence yields two), so
  // the text is decoded in place into `length` units (one more, so that the
  // decoder always has room for a pair) and cut to size.
  std::u16string out(length + 1, u'\0');
  const auto* s = reinterpret_cast<const unsigned char*>(bytes);
  size_t i = 0;
  const size_t units = DecodePiece(s, length, i, &out[0], length + 1);
  out.resize(units);
  return out;
}

std::string Utf16ToUtf8(const char16_t* text, size_t length) {
  std::string out;
  out.reserve(length * 3);
  ForEachCodePoint(text, length, [&out](uint32_t cp) { AppendUtf8(out, cp == kLoneSurrogate ? kReplacement : cp); });
  return out;
}

}  // namespace unicode
