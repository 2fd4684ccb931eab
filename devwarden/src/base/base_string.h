// Text helpers of devwarden: package keys as hexadecimal text, hexadecimal
// fields, product versions, key order.
#ifndef DEVWARDEN_SRC_BASE_BASE_STRING_H_
#define DEVWARDEN_SRC_BASE_BASE_STRING_H_

#include <cstdint>
#include <string>

namespace devwarden {

// 32 lower-case digits, high nibble first, bytes in order.
std::string KeyToHexA(const uint8_t key[16]);
std::u16string KeyToHexW(const uint8_t key[16]);

// 1 to 8 hexadecimal digits (0-9, a-f, A-F), most significant first. Empty
// text, more than 8 characters or any other character: false, value untouched.
bool HexTextToValue(const std::u16string& text, uint32_t* value);

// Byte-by-byte unsigned order of two 16-byte keys.
bool KeyLess(const uint8_t a[16], const uint8_t b[16]);

// "2,0,1,35" or "2.0.1.35" (blanks before each number allowed): the first
// part in the highest 16 bits, the fourth in the lowest. A missing separator
// after one of the first three parts logs "error pVerValue:%s" and fails.
bool ParseProductVersion(const char* text, uint64_t* version);

// True when `part` occurs in `text`, ASCII letters compared without regard
// to case.
bool ContainsNoCase(const std::u16string& text, const std::u16string& part);

// UTF-16 text of at most `capacity` - 1 characters and a terminator; a null
// source gives an empty text.
void CopyWideText(char16_t* dst, size_t capacity, const char16_t* src);
std::string ToUtf8(const std::u16string& text);
std::string ToUtf8(const char16_t* text);

}  // namespace devwarden

#endif  // DEVWARDEN_SRC_BASE_BASE_STRING_H_
