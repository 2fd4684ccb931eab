// Encodings named by text for CXmlDocument: code pages of encoding names,
// the strict UTF-8 test, conversions and the declared encoding of a text.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "foundation/base/unicode.h"

namespace xml {

// Internal code page of 32-bit code points (little-endian in files).
constexpr int kCodePageUtf32 = 65005;

// Code page of an encoding name: "" is 0 (the ANSI page), a name beginning
// "UTF-32" is kCodePageUtf32, an unknown name (or one of 100 units or more)
// is -1. Names compare without regard to ASCII case.
int CodePageFromName(const std::u16string& name);
// Every code page some name of the table stands for, ascending.
std::vector<int> NamedCodePages();

struct Utf8Test {
  bool valid = true;        // no invalid sequence
  int multiByte = 0;        // count of multi-byte sequences
  bool truncated = false;   // the first invalid sequence was cut by the end
};

// Strict UTF-8 test up to the first zero byte or the end: leads C2-F4,
// continuations 80-BF, no overlong forms, no surrogates, nothing above
// U+10FFFF.
Utf8Test TestUtf8(const char* bytes, size_t length);

// UTF-8 to UTF-16 (each invalid sequence becomes U+FFFD, as the system's
// conversion does) and back (a lone surrogate becomes U+FFFD).
using unicode::Utf16ToUtf8;
using unicode::Utf8ToUtf16;

// Converts between UTF-16 and the 8-bit encodings named by text. Unknown
// names fall back to the ANSI page. A known name whose code page has no
// converter here gives an empty result with `*converted` (may be null)
// false.
class TextConverter {
 public:
  // Bytes in `encoding` to UTF-16.
  static std::u16string ToUtf16(const std::string& bytes, const std::u16string& encoding,
                                bool* converted = nullptr);
  // UTF-16 to bytes in `encoding`; `*lost` tells whether characters had no
  // mapping (not asked of pages that cannot tell it).
  static std::string FromUtf16(const std::u16string& text, const std::u16string& encoding,
                               bool* lost, bool* converted = nullptr);
};

// The encoding the text declares: the "encoding" of an XML declaration at
// offset 0, or the charset of an HTML meta Content-Type in the head; empty
// when none.
std::u16string DeclaredEncoding(const char16_t* text, size_t length);

}  // namespace xml
