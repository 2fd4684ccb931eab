#include "qenui/core/UIString.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "foundation/base/unicode.h"

namespace DuiLib {

bool IntersectRect(RECT* out, const RECT& a, const RECT& b) {
  RECT r = MakeRect(std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right), std::min(a.bottom, b.bottom));
  if (r.IsEmpty()) { *out = RECT(); return false; }
  *out = r;
  return true;
}

static char16_t FoldAscii(char16_t c) { return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c; }

int CompareNoCase(const char16_t* a, const char16_t* b) {
  if (!a) a = u"";
  if (!b) b = u"";
  for (;; ++a, ++b) {
    char16_t x = FoldAscii(*a), y = FoldAscii(*b);
    if (x != y) return x < y ? -1 : 1;
    if (!x) return 0;
  }
}

long long ParseInt(const char16_t* s) {
  if (!s) return 0;
  while (*s == u' ' || *s == u'\t') ++s;
  bool neg = false;
  if (*s == u'-' || *s == u'+') { neg = *s == u'-'; ++s; }
  long long v = 0;
  while (*s >= u'0' && *s <= u'9') {
    if (v < 1000000000000000000LL) v = v * 10 + (*s - u'0');
    ++s;
  }
  return neg ? -v : v;
}

int CDuiString::Compare(const char16_t* s) const { return s_.compare(s ? s : u""); }
int CDuiString::CompareNoCase(const char16_t* s) const { return DuiLib::CompareNoCase(s_.c_str(), s); }
void CDuiString::MakeUpper() { for (auto& c : s_) if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - 32); }
void CDuiString::MakeLower() { for (auto& c : s_) c = FoldAscii(c); }
CDuiString CDuiString::Left(int len) const { return Mid(0, len); }
CDuiString CDuiString::Mid(int pos, int len) const {
  if (pos < 0) pos = 0;
  if (pos >= GetLength()) return CDuiString();
  if (len < 0 || pos + len > GetLength()) len = GetLength() - pos;
  return CDuiString(s_.substr(pos, len));
}
CDuiString CDuiString::Right(int len) const {
  if (len <= 0) return CDuiString();
  if (len > GetLength()) len = GetLength();
  return Mid(GetLength() - len, len);
}
int CDuiString::Find(char16_t ch, int pos) const {
  if (pos < 0 || pos > GetLength()) return -1;
  auto p = s_.find(ch, pos);
  return p == std::u16string::npos ? -1 : static_cast<int>(p);
}
int CDuiString::Find(const char16_t* s, int pos) const {
  if (!s || pos < 0 || pos > GetLength()) return -1;
  auto p = s_.find(s, pos);
  return p == std::u16string::npos ? -1 : static_cast<int>(p);
}
int CDuiString::ReverseFind(char16_t ch) const {
  auto p = s_.rfind(ch);
  return p == std::u16string::npos ? -1 : static_cast<int>(p);
}
int CDuiString::Replace(const char16_t* from, const char16_t* to) {
  if (!from || !*from) return 0;
  std::u16string f(from), t(to ? to : u"");
  int n = 0;
  size_t pos = 0;
  while ((pos = s_.find(f, pos)) != std::u16string::npos) {
    s_.replace(pos, f.size(), t);
    pos += t.size();
    ++n;
  }
  return n;
}

int CDuiString::Format(const char16_t* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  int n = FormatV(fmt, ap);
  va_end(ap);
  return n;
}

// A small printf over UTF-16 formats: each conversion is rebuilt as a narrow
// printf directive, except strings, which are copied as UTF-16.
int CDuiString::FormatV(const char16_t* fmt, va_list args) {
  std::u16string out;
  if (!fmt) { s_.clear(); return 0; }
  for (const char16_t* p = fmt; *p; ++p) {
    if (*p != u'%') { out += *p; continue; }
    if (p[1] == u'%') { out += u'%'; ++p; continue; }
    std::string spec = "%";
    const char16_t* q = p + 1;
    while (*q && std::strchr("-+ #0", static_cast<char>(*q)) && *q < 128) spec += static_cast<char>(*q++);
    while (*q == u'*' || (*q >= u'0' && *q <= u'9') || *q == u'.') {
      if (*q == u'*') spec += std::to_string(va_arg(args, int)); else spec += static_cast<char>(*q);
      ++q;
    }
    int longs = 0; bool shortStr = false; bool i64 = false;
    for (;;) {
      if (*q == u'l') { ++longs; ++q; }
      else if (*q == u'h') { shortStr = true; ++q; }
      else if (*q == u'I' && q[1] == u'6' && q[2] == u'4') { i64 = true; q += 3; }
      else if (*q == u'z') { longs = 2; ++q; }
      else break;
    }
    char16_t conv = *q;
    if (!conv) break;
    char buf[512];
    switch (conv) {
      case u'd': case u'i': {
        long long v = (i64 || longs >= 2) ? va_arg(args, long long) : longs == 1 ? va_arg(args, long) : va_arg(args, int);
        spec += "lld"; snprintf(buf, sizeof(buf), spec.c_str(), v); out += Utf8ToUtf16(buf); break;
      }
      case u'u': case u'x': case u'X': case u'o': {
        unsigned long long v = (i64 || longs >= 2) ? va_arg(args, unsigned long long) : longs == 1 ? va_arg(args, unsigned long) : va_arg(args, unsigned int);
        spec += "ll"; spec += static_cast<char>(conv); snprintf(buf, sizeof(buf), spec.c_str(), v); out += Utf8ToUtf16(buf); break;
      }
      case u'f': case u'g': case u'e': case u'F': case u'G': case u'E': {
        double v = va_arg(args, double);
        spec += static_cast<char>(conv); snprintf(buf, sizeof(buf), spec.c_str(), v); out += Utf8ToUtf16(buf); break;
      }
      case u'c': { out += static_cast<char16_t>(va_arg(args, int)); break; }
      case u'p': { snprintf(buf, sizeof(buf), "%p", va_arg(args, void*)); out += Utf8ToUtf16(buf); break; }
      case u's': case u'S': {
        std::u16string v;
        if (shortStr || conv == u'S') { const char* a = va_arg(args, const char*); v = Utf8ToUtf16(a ? a : "(null)"); }
        else { const char16_t* w = va_arg(args, const char16_t*); v = w ? w : u"(null)"; }
        // width / precision of strings
        int width = 0, prec = -1; bool left = false; size_t k = 1;
        if (k < spec.size() && spec[k] == '-') { left = true; ++k; }
        width = std::atoi(spec.c_str() + k);
        auto dot = spec.find('.');
        if (dot != std::string::npos) prec = std::atoi(spec.c_str() + dot + 1);
        if (prec >= 0 && static_cast<size_t>(prec) < v.size()) v.resize(prec);
        if (static_cast<int>(v.size()) < width) {
          std::u16string pad(width - v.size(), u' ');
          v = left ? v + pad : pad + v;
        }
        out += v; break;
      }
      default: out += conv; break;
    }
    p = q;
  }
  s_ = std::move(out);
  return GetLength();
}

std::string CDuiString::ToUtf8() const { return Utf16ToUtf8(s_); }
CDuiString CDuiString::FromUtf8(const std::string& s) { return CDuiString(Utf8ToUtf16(s)); }
CDuiString CDuiString::FromInt(long long v) { return FromUtf8(std::to_string(v)); }

std::string Utf16ToUtf8(const std::u16string& s) { return unicode::Utf16ToUtf8(s.data(), s.size()); }

std::u16string Utf8ToUtf16(const std::string& s) { return unicode::Utf8ToUtf16(s.data(), s.size()); }

}  // namespace DuiLib
