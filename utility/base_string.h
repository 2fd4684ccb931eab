// Text services of libutility.so: code-page conversions between the ANSI
// code page (UTF-8 on this platform), UTF-8 and UTF-16, hexadecimal text,
// case changes, trimming and searching narrow texts, GUID texts, the
// free-space query, host-name look-up and the two string classes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "utility/utility_export.h"

// --- Code-page conversions -------------------------------------------------
// A source length of -1 means a zero-terminated source; the counts then
// include the terminator. Invalid input sequences become U+FFFD.

// UTF-16 -> ANSI. Too small (or absent) buffer: the size needed, nothing
// written; otherwise the count written.
UTILITY_API int UnicodeToAnsi(const char16_t* src, int srcLen, char* dst, int dstSize);
UTILITY_API int BaseUnicodeToAnsi(const char16_t* src, int srcLen, char* dst, int dstSize);
// ANSI -> UTF-16, same result rule (sizes in UTF-16 units).
UTILITY_API int AnsiToUnicode(const char* src, int srcLen, char16_t* dst, int dstSize);
UTILITY_API int BaseAnsiToUnicode(const char* src, int srcLen, char16_t* dst, int dstSize);
// ANSI -> UTF-8 and back, through a temporary UTF-16 copy, same result rule.
UTILITY_API int AnsiToUtf8(const char* src, int srcLen, char* dst, int dstSize);
UTILITY_API int BaseAnsiToUtf8(const char* src, int srcLen, char* dst, int dstSize);
UTILITY_API int Utf8ToAnsi(const char* src, int srcLen, char* dst, int dstSize);
UTILITY_API int BaseUtf8ToAnsi(const char* src, int srcLen, char* dst, int dstSize);
// UTF-16 <-> UTF-8 with the system's rule: dstSize 0 gives the size needed;
// a buffer that is too small gives 0.
UTILITY_API int UnicodeToUtf8(const char16_t* src, int srcLen, char* dst, int dstSize);
UTILITY_API int BaseUnicodeToUtf8(const char16_t* src, int srcLen, char* dst, int dstSize);
UTILITY_API int Utf8ToUnicode(const char* src, int srcLen, char16_t* dst, int dstSize);
UTILITY_API int BaseUtf8ToUnicode(const char* src, int srcLen, char16_t* dst, int dstSize);

// --- Memory and hexadecimal text -------------------------------------------
UTILITY_API void zero_memory(void* p, size_t count);
// Hex text (0-9, a-f only) to bytes. Needs room for (len + 1) / 2 bytes; an
// odd last digit fills the high nibble of the last byte. Returns bufSize on
// success, 0 on any failure (the buffer is then zero-filled when touched).
UTILITY_API unsigned HexStringToBytes(const char* text, unsigned len, unsigned char* buf, unsigned bufSize);
// Bytes to lower-case hex text plus terminator; needs 2 * count + 1 bytes.
// Returns 2 * count, or 0 when the buffer is too small.
UTILITY_API unsigned BytesToHexString(const unsigned char* bytes, unsigned count, char* buf, unsigned bufSize);

// --- Case, trimming, searching ----------------------------------------------
// In place; only single-byte (ASCII) letters change, so UTF-8 text stays valid.
UTILITY_API void MakeLower(std::string& text);
UTILITY_API void MakeUpper(std::string& text);
// Exported with no effect; MakeLower, MakeUpper and zero_memory do the work.
UTILITY_API void BaseMakeLowerA(char* text);
UTILITY_API void BaseMakeLowerW(char16_t* text);
UTILITY_API void BaseMakeUpperA(char* text);
UTILITY_API void BaseMakeUpperW(char16_t* text);
UTILITY_API void BaseZeroMemory(void* p, size_t count);

// Remove leading / trailing blanks (0x20 only) in place; null is ignored.
UTILITY_API void _base_trim_left(char* text);
UTILITY_API void _base_trim_right(char* text);
// First index of pattern in text, or -1.
UTILITY_API int _base_find_str(const char* text, const char* pattern, bool caseSensitive);

// --- GUID texts ---------------------------------------------------------------
struct base_guid {
  uint32_t Data1;
  uint16_t Data2;
  uint16_t Data3;
  uint8_t Data4[8];
};
static_assert(sizeof(base_guid) == 16, "GUID record is 16 bytes");

// Brace form "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", hex digits of either case.
UTILITY_API bool StringToGUID(const char* text, base_guid* guid);
// Brace form with upper-case digits.
UTILITY_API bool GUIDToString(const base_guid& guid, std::string& text);

// --- System queries -----------------------------------------------------------
// Bytes free to the caller on the file system of dir; out untouched on failure.
UTILITY_API bool GetDiskFreeSpaceA(const char* dir, uint64_t* freeBytes);
// Dotted IPv4 text of a host name through DNS::GetHostByNameEx (no server
// given, 2000 ms); empty text when the name is empty or cannot be resolved.
UTILITY_API std::string Domain2Ip(const char* host);

// --- String classes ---------------------------------------------------------
// Standard strings with a few extra operations; they hold nothing more.
class UTILITY_API CBaseStringA : public std::string {
 public:
  CBaseStringA();
  CBaseStringA(const char* text);
  CBaseStringA(const CBaseStringA& other);
  CBaseStringA(const std::string& other);
  ~CBaseStringA();

  bool operator==(const CBaseStringA& other) const;
  bool operator==(const std::string& other) const;
  bool operator==(const char* text) const;

  CBaseStringA& operator=(const CBaseStringA& other);
  CBaseStringA& operator=(const std::string& other);
  CBaseStringA& operator=(const char* text);

  // Index of the first occurrence at or after start, or -1.
  int Find(const char* text, int start) const;
  int Find(const std::string& text, int start) const;
  int Find(char c, int start) const;

  void TrimLeft();
  void TrimRight();
  void Trim();
};

class UTILITY_API CBaseStringW : public std::u16string {
 public:
  CBaseStringW();
  CBaseStringW(const char16_t* text);
  CBaseStringW(const CBaseStringW& other);
  CBaseStringW(const std::u16string& other);
  ~CBaseStringW();

  bool operator==(const CBaseStringW& other) const;
  bool operator==(const std::u16string& other) const;
  bool operator==(const char16_t* text) const;

  CBaseStringW& operator=(const CBaseStringW& other);
  CBaseStringW& operator=(const std::u16string& other);
  CBaseStringW& operator=(const char16_t* text);

  int Find(const char16_t* text, int start) const;
  int Find(const std::u16string& text, int start) const;
  int Find(char16_t c, int start) const;

  void TrimLeft();
  void TrimRight();
  void Trim();
};
