// Conversions between UTF-16 (char16_t) and narrow code pages.
//
// Code page 0 (CP_ACP, "ANSI") is UTF-8 on this platform, as is 65001
// (CP_UTF8); every other page converts through iconv as "CP<n>" (936 GBK,
// 950, 1252, ...; 54936 is GB18030). Inputs are read up to their first NUL.
// As the Windows functions do by default: characters the target page cannot
// hold become "?" (unpaired surrogates become U+FFFD in UTF-8), invalid input
// sequences become U+FFFD, and a conversion that fails as a whole (an unknown
// code page) gives an empty result. Thread-safe; no global state.
#pragma once

#include <string>

constexpr unsigned int CP_ACP = 0;
constexpr unsigned int CP_UTF8 = 65001;

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
