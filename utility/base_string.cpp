// Code-page conversions, hexadecimal text, case, trimming and searching.
#include "utility/base_string.h"

#include <sys/statvfs.h>

#include <arpa/inet.h>
#include <netinet/in.h>

#include <cctype>
#include <cstdio>
#include <cstring>

#include "utility/base_dns.h"
#include "utility/internal/utf_codec.h"

using utility_internal::Utf16ToUtf8;
using utility_internal::Utf8ToUtf16;

namespace {

size_t U16Length(const char16_t* s) {
  size_t n = 0;
  while (s[n] != 0) ++n;
  return n;
}

// Source length with the -1 convention: a zero-terminated source counts its
// terminator, so the output carries one too.
size_t SourceLength(const char* s, int len) {
  return len < 0 ? std::strlen(s) + 1 : static_cast<size_t>(len);
}
size_t SourceLength(const char16_t* s, int len) {
  return len < 0 ? U16Length(s) + 1 : static_cast<size_t>(len);
}

// "Size needed when too small" rule of the ANSI conversions.
template <typename Out, typename Str>
int CopyOrNeeded(const Str& out, Out* dst, int dstSize) {
  const int needed = static_cast<int>(out.size());
  if (dst == nullptr || dstSize < needed) return needed;
  std::memcpy(dst, out.data(), out.size() * sizeof(Out));
  return needed;
}

// The system call rule of the UTF-8 conversions: size 0 asks for the size,
// a buffer that is too small fails with 0.
template <typename Out, typename Str>
int CopySystemRule(const Str& out, Out* dst, int dstSize) {
  const int needed = static_cast<int>(out.size());
  if (dstSize == 0) return needed;
  if (dst == nullptr || dstSize < needed) return 0;
  std::memcpy(dst, out.data(), out.size() * sizeof(Out));
  return needed;
}

// The ANSI code page of this platform is UTF-8: a round trip through UTF-16
// only replaces invalid sequences.
std::string ThroughUtf16(const char* src, size_t len) {
  std::u16string wide = Utf8ToUtf16(src, len);
  return Utf16ToUtf8(wide.data(), wide.size());
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

int UnicodeToAnsi(const char16_t* src, int srcLen, char* dst, int dstSize) {
  if (src == nullptr) return 0;
  return CopyOrNeeded(Utf16ToUtf8(src, SourceLength(src, srcLen)), dst, dstSize);
}
int BaseUnicodeToAnsi(const char16_t* src, int srcLen, char* dst, int dstSize) {
  return UnicodeToAnsi(src, srcLen, dst, dstSize);
}

int AnsiToUnicode(const char* src, int srcLen, char16_t* dst, int dstSize) {
  if (src == nullptr) return 0;
  return CopyOrNeeded(Utf8ToUtf16(src, SourceLength(src, srcLen)), dst, dstSize);
}
int BaseAnsiToUnicode(const char* src, int srcLen, char16_t* dst, int dstSize) {
  return AnsiToUnicode(src, srcLen, dst, dstSize);
}

int AnsiToUtf8(const char* src, int srcLen, char* dst, int dstSize) {
  if (src == nullptr) return 0;
  return CopyOrNeeded(ThroughUtf16(src, SourceLength(src, srcLen)), dst, dstSize);
}
int BaseAnsiToUtf8(const char* src, int srcLen, char* dst, int dstSize) {
  return AnsiToUtf8(src, srcLen, dst, dstSize);
}

int Utf8ToAnsi(const char* src, int srcLen, char* dst, int dstSize) {
  if (src == nullptr) return 0;
  return CopyOrNeeded(ThroughUtf16(src, SourceLength(src, srcLen)), dst, dstSize);
}
int BaseUtf8ToAnsi(const char* src, int srcLen, char* dst, int dstSize) {
  return Utf8ToAnsi(src, srcLen, dst, dstSize);
}

int UnicodeToUtf8(const char16_t* src, int srcLen, char* dst, int dstSize) {
  if (src == nullptr || dstSize < 0) return 0;
  return CopySystemRule(Utf16ToUtf8(src, SourceLength(src, srcLen)), dst, dstSize);
}
int BaseUnicodeToUtf8(const char16_t* src, int srcLen, char* dst, int dstSize) {
  return UnicodeToUtf8(src, srcLen, dst, dstSize);
}

int Utf8ToUnicode(const char* src, int srcLen, char16_t* dst, int dstSize) {
  if (src == nullptr || dstSize < 0) return 0;
  return CopySystemRule(Utf8ToUtf16(src, SourceLength(src, srcLen)), dst, dstSize);
}
int BaseUtf8ToUnicode(const char* src, int srcLen, char16_t* dst, int dstSize) {
  return Utf8ToUnicode(src, srcLen, dst, dstSize);
}

void zero_memory(void* p, size_t count) {
  if (p != nullptr && count > 0) std::memset(p, 0, count);
}

unsigned HexStringToBytes(const char* text, unsigned len, unsigned char* buf, unsigned bufSize) {
  // An odd digit count still needs a byte for its last digit.
  if (text == nullptr || buf == nullptr || bufSize < (len / 2) + (len % 2)) return 0;
  std::memset(buf, 0, bufSize);
  for (unsigned i = 0; i < len; ++i) {
    const int nibble = HexDigit(text[i]);
    if (nibble < 0) {
      std::memset(buf, 0, bufSize);
      return 0;
    }
    buf[i / 2] |= static_cast<unsigned char>((i % 2 == 0) ? nibble << 4 : nibble);
  }
  return bufSize;
}

unsigned BytesToHexString(const unsigned char* bytes, unsigned count, char* buf, unsigned bufSize) {
  static const char kDigits[] = "0123456789abcdef";
  if (buf == nullptr || (count > 0 && bytes == nullptr)) return 0;
  if (static_cast<uint64_t>(bufSize) < 2ull * count + 1) return 0;
  for (unsigned i = 0; i < count; ++i) {
    buf[2 * i] = kDigits[bytes[i] >> 4];
    buf[2 * i + 1] = kDigits[bytes[i] & 0x0F];
  }
  buf[2 * count] = '\0';
  return 2 * count;
}

void MakeLower(std::string& text) {
  for (size_t i = text.size(); i-- > 0;) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c >= 'A' && c <= 'Z') text[i] = static_cast<char>(c - 'A' + 'a');
  }
}

void MakeUpper(std::string& text) {
  for (size_t i = text.size(); i-- > 0;) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c >= 'a' && c <= 'z') text[i] = static_cast<char>(c - 'a' + 'A');
  }
}

void BaseMakeLowerA(char*) {}
void BaseMakeLowerW(char16_t*) {}
void BaseMakeUpperA(char*) {}
void BaseMakeUpperW(char16_t*) {}
void BaseZeroMemory(void*, size_t) {}

void _base_trim_left(char* text) {
  if (text == nullptr) return;
  size_t skip = 0;
  while (text[skip] == ' ') ++skip;
  if (skip > 0) std::memmove(text, text + skip, std::strlen(text + skip) + 1);
}

void _base_trim_right(char* text) {
  if (text == nullptr) return;
  size_t n = std::strlen(text);
  while (n > 0 && text[n - 1] == ' ') --n;
  text[n] = '\0';
}

int _base_find_str(const char* text, const char* pattern, bool caseSensitive) {
  if (text == nullptr || pattern == nullptr) return -1;
  const size_t textLen = std::strlen(text);
  const size_t patLen = std::strlen(pattern);
  for (size_t i = 0; i < textLen && textLen - i >= patLen; ++i) {
    const int cmp = caseSensitive ? std::strncmp(text + i, pattern, patLen)
                                  : strncasecmp(text + i, pattern, patLen);
    if (cmp == 0) return static_cast<int>(i);
  }
  return -1;
}

bool StringToGUID(const char* text, base_guid* guid) {
  if (text == nullptr || guid == nullptr) return false;
  // The text must fit the 256-unit wide buffer the conversion used.
  if (std::strlen(text) >= 256) return false;
  static const char kShape[] = "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}";
  if (std::strlen(text) != sizeof(kShape) - 1) return false;
  uint8_t nibbles[32];
  int n = 0;
  for (size_t i = 0; i < sizeof(kShape) - 1; ++i) {
    const char c = text[i];
    if (kShape[i] != 'X') {
      if (c != kShape[i]) return false;
      continue;
    }
    if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
    nibbles[n++] = static_cast<uint8_t>(std::isdigit(static_cast<unsigned char>(c))
                                            ? c - '0'
                                            : std::tolower(static_cast<unsigned char>(c)) - 'a' + 10);
  }
  auto take = [&nibbles](int from, int count) {
    uint32_t v = 0;
    for (int i = 0; i < count; ++i) v = (v << 4) | nibbles[from + i];
    return v;
  };
  guid->Data1 = take(0, 8);
  guid->Data2 = static_cast<uint16_t>(take(8, 4));
  guid->Data3 = static_cast<uint16_t>(take(12, 4));
  for (int i = 0; i < 8; ++i) guid->Data4[i] = static_cast<uint8_t>(take(16 + 2 * i, 2));
  return true;
}

bool GUIDToString(const base_guid& guid, std::string& text) {
  char buf[40];
  std::snprintf(buf, sizeof(buf), "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                static_cast<unsigned>(guid.Data1), guid.Data2, guid.Data3, guid.Data4[0],
                guid.Data4[1], guid.Data4[2], guid.Data4[3], guid.Data4[4], guid.Data4[5],
                guid.Data4[6], guid.Data4[7]);
  text = buf;
  return true;
}

bool GetDiskFreeSpaceA(const char* dir, uint64_t* freeBytes) {
  if (dir == nullptr || freeBytes == nullptr) return false;
  struct statvfs st;
  if (statvfs(dir, &st) != 0) return false;
  *freeBytes = static_cast<uint64_t>(st.f_bavail) * st.f_frsize;
  return true;
}

std::string Domain2Ip(const char* host) {
  if (host == nullptr || *host == '\0') return std::string();
  uint32_t address = 0;
  if (DNS::GetHostByNameEx(nullptr, host, &address, 1, 2000) <= 0) return std::string();
  in_addr in;
  in.s_addr = address;
  char text[INET_ADDRSTRLEN] = {0};
  if (inet_ntop(AF_INET, &in, text, sizeof(text)) == nullptr) return std::string();
  return text;
}
