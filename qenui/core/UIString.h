// CDuiString: the library's text class, UTF-16 (char16_t) as every wide
// string of the program, with the conversions to UTF-8 used at Linux edges.
#pragma once

#include <cstdarg>
#include <string>

#include "qenui/core/UIDefine.h"

namespace DuiLib {

class CDuiString {
 public:
  CDuiString() = default;
  CDuiString(const char16_t* s) : s_(s ? s : u"") {}  // NOLINT: implicit on purpose
  CDuiString(const char16_t* s, int len) : s_(s ? std::u16string(s, len < 0 ? std::char_traits<char16_t>::length(s) : static_cast<size_t>(len)) : std::u16string()) {}
  CDuiString(const std::u16string& s) : s_(s) {}  // NOLINT
  CDuiString(std::u16string&& s) : s_(std::move(s)) {}  // NOLINT
  CDuiString(char16_t ch) : s_(1, ch) {}  // NOLINT

  int GetLength() const { return static_cast<int>(s_.size()); }
  bool IsEmpty() const { return s_.empty(); }
  void Empty() { s_.clear(); }
  const char16_t* GetData() const { return s_.c_str(); }
  operator const char16_t*() const { return s_.c_str(); }  // NOLINT
  const std::u16string& str() const { return s_; }
  std::u16string& str() { return s_; }
  char16_t GetAt(int i) const { return (i >= 0 && i < GetLength()) ? s_[i] : 0; }
  char16_t operator[](int i) const { return GetAt(i); }
  void SetAt(int i, char16_t ch) { if (i >= 0 && i < GetLength()) s_[i] = ch; }

  void Append(const char16_t* s) { if (s) s_ += s; }
  void Assign(const char16_t* s, int len = -1) { *this = CDuiString(s, len); }
  CDuiString& operator=(const char16_t* s) { s_ = s ? s : u""; return *this; }
  CDuiString& operator+=(const CDuiString& o) { s_ += o.s_; return *this; }
  CDuiString& operator+=(const char16_t* s) { if (s) s_ += s; return *this; }
  CDuiString& operator+=(char16_t c) { s_ += c; return *this; }
  friend CDuiString operator+(const CDuiString& a, const CDuiString& b) { return CDuiString(a.s_ + b.s_); }
  friend CDuiString operator+(const CDuiString& a, const char16_t* b) { return CDuiString(a.s_ + (b ? b : u"")); }
  friend CDuiString operator+(const char16_t* a, const CDuiString& b) { return CDuiString((a ? std::u16string(a) : std::u16string()) + b.s_); }
  friend bool operator==(const CDuiString& a, const CDuiString& b) { return a.s_ == b.s_; }
  friend bool operator!=(const CDuiString& a, const CDuiString& b) { return a.s_ != b.s_; }
  friend bool operator==(const CDuiString& a, const char16_t* b) { return a.s_ == (b ? b : u""); }
  friend bool operator!=(const CDuiString& a, const char16_t* b) { return !(a == b); }
  friend bool operator==(const char16_t* a, const CDuiString& b) { return b == a; }
  friend bool operator!=(const char16_t* a, const CDuiString& b) { return !(b == a); }
  friend bool operator<(const CDuiString& a, const CDuiString& b) { return a.s_ < b.s_; }

  int Compare(const char16_t* s) const;
  int CompareNoCase(const char16_t* s) const;  // ASCII letters fold
  void MakeUpper();
  void MakeLower();
  CDuiString Left(int len) const;
  CDuiString Mid(int pos, int len = -1) const;
  CDuiString Right(int len) const;
  int Find(char16_t ch, int pos = 0) const;
  int Find(const char16_t* s, int pos = 0) const;
  int ReverseFind(char16_t ch) const;
  int Replace(const char16_t* from, const char16_t* to);

  // printf-style formatting over a UTF-16 format. %s and %ls take a
  // const char16_t*, %hs takes a UTF-8 const char*; numbers as printf.
  int Format(const char16_t* fmt, ...);
  int FormatV(const char16_t* fmt, va_list args);

  std::string ToUtf8() const;
  static CDuiString FromUtf8(const std::string& s);
  static CDuiString FromInt(long long v);

 private:
  std::u16string s_;
};

std::string Utf16ToUtf8(const std::u16string& s);
std::u16string Utf8ToUtf16(const std::string& s);
// Case-insensitive (ASCII) comparison of two UTF-16 texts; null counts as empty.
int CompareNoCase(const char16_t* a, const char16_t* b);
// Parses a leading decimal integer like _ttoi (optional sign, stops at the first non-digit).
long long ParseInt(const char16_t* s);

}  // namespace DuiLib
