// Conversions between UTF-16 (char16_t) and narrow code pages.
//
// Code page 0 (CP_ACP, "ANSI") is UTF-8 on this platform, as is 65001
// (CP_UTF8); 1200/1201 are UTF-16 and 12000/12001 UTF-32, little- and
// big-endian; every other page converts through iconv, under the name one
// table gives it (28591 "ISO-8859-1", 20866 "KOI8-R", 10000 "MACINTOSH",
// 20106 "ISO646-DE", 54936 "GB18030", ...) or else as "CP<n>" (936 GBK,
// 950, 1252, ...).
// Inputs are read up to their first NUL (a zero unit of UTF-16 and UTF-32).
// The default replacement rules hold: characters the target page cannot
// hold become "?" (unpaired surrogates become U+FFFD in UTF-8), invalid input
// sequences become U+FFFD, and a conversion that fails as a whole (an unknown
// code page, or one this platform has no converter for) gives an empty
// result; the whole-buffer forms below tell that failure apart from an
// empty text. Thread-safe; no global state.
#pragma once

#include <cstddef>
#include <string>

constexpr unsigned int CP_ACP = 0;
constexpr unsigned int CP_UTF8 = 65001;
constexpr unsigned int CP_UTF16LE = 1200;
constexpr unsigned int CP_UTF16BE = 1201;
constexpr unsigned int CP_UTF32LE = 12000;
constexpr unsigned int CP_UTF32BE = 12001;

std::u16string MultiByteToWString(const std::string& text, unsigned int codePage);
std::string WStringToMultiByte(const std::u16string& text, unsigned int codePage);
std::string ConvertCodePage(const std::string& text, unsigned int from, unsigned int to);

std::u16string AnsiToWString(const std::string& text);
std::string WStringToAnsi(const std::u16string& text);

// The out string receives the result unless the conversion fails as a whole
// (then it keeps its value and the result is false); an empty input gives an
// empty out string.
bool WStringToAnsiOut(const std::u16string& text, std::string& out);
bool AnsiToWStringOut(const std::string& text, std::u16string& out);

// Into a caller's buffer, ANSI page. `length` -1 means up to the NUL, which
// is then converted and counted too. When `capacity` is smaller than needed,
// nothing is written and the needed size is returned; otherwise the count
// written. No terminator is added beyond what `length` covers.
int AnsiToWideBuffer(const char* text, int length, char16_t* buffer, int capacity);
int WideToAnsiBuffer(const char16_t* text, int length, char* buffer, int capacity);

// Whole buffers, zero bytes and units included, by the same rules. False
// (and an empty out) when the page is unknown or has no converter here. `lost` (may be null) tells
// whether characters had no mapping in the page.
bool CodePageToUtf16(const char* bytes, size_t size, unsigned int codePage, std::u16string* out);
bool Utf16ToCodePage(const char16_t* text, size_t size, unsigned int codePage, std::string* out,
                     bool* lost);
