#include "app/data/sms_utility.h"

#include <algorithm>
#include <cstdio>

#include "foundation/base/code_page.h"
#include "foundation/base/crc32.h"

namespace {

constexpr size_t kFormatLimit = 1024;

struct Spec {
  bool left = false;
  bool zero = false;
  bool alternate = false;
  int width = 0;
  int precision = -1;
  int size = 0;  // 0 int, -1 short, 1 long, 2 long long
};

void Pad(std::u16string& out, const std::u16string& text, const Spec& spec) {
  const size_t width = spec.width > 0 ? static_cast<size_t>(spec.width) : 0;
  const size_t fill = width > text.size() ? width - text.size() : 0;
  if (spec.left) {
    out += text;
    out.append(fill, u' ');
  } else {
    out.append(fill, u' ');
    out += text;
  }
}

std::u16string FormatNumber(char16_t conversion, const Spec& spec, va_list& args) {
  std::string format = "%";
  if (spec.left) format += '-';
  if (spec.zero) format += '0';
  if (spec.alternate) format += '#';
  if (spec.width > 0) format += std::to_string(spec.width);
  if (spec.precision >= 0) format += "." + std::to_string(spec.precision);
  format += "ll";
  format += static_cast<char>(conversion == u'i' ? u'd' : conversion);
  const bool is_signed = conversion == u'd' || conversion == u'i';
  long long value = 0;
  if (spec.size >= 2) {
    value = va_arg(args, long long);
  } else if (spec.size == 1) {
    value = is_signed ? va_arg(args, long) : static_cast<long long>(va_arg(args, unsigned long));
  } else {
    const int narrow = va_arg(args, int);
    if (spec.size < 0) value = is_signed ? static_cast<short>(narrow) : static_cast<unsigned short>(narrow);
    else value = is_signed ? narrow : static_cast<long long>(static_cast<unsigned>(narrow));
  }
  char buffer[96];
  const int n = std::snprintf(buffer, sizeof(buffer), format.c_str(), value);
  if (n < 0) return std::u16string();
  return std::u16string(buffer, buffer + std::min<size_t>(static_cast<size_t>(n), sizeof(buffer) - 1));
}

}  // namespace

std::u16string MakeTextKey(const std::u16string& text) {
  const std::string key = std::to_string(static_cast<unsigned long>(Utf16LeCrc32(text)));
  return std::u16string(key.begin(), key.end());
}

std::u16string FormatWideString(const char16_t* format, ...) {
  va_list args;
  va_start(args, format);
  std::u16string out = FormatWideStringV(format, args);
  va_end(args);
  return out;
}

std::u16string FormatWideStringV(const char16_t* format, va_list args_in) {
  std::u16string out;
  if (format == nullptr) return out;
  va_list args;
  va_copy(args, args_in);
  for (const char16_t* p = format; *p != 0 && out.size() < kFormatLimit; ++p) {
    if (*p != u'%') {
      out += *p;
      continue;
    }
    ++p;
    if (*p == u'%') {
      out += u'%';
      continue;
    }
    Spec spec;
    for (;; ++p) {
      if (*p == u'-') spec.left = true;
      else if (*p == u'0') spec.zero = true;
      else if (*p == u'#') spec.alternate = true;
      else break;
    }
    while (*p >= u'0' && *p <= u'9' && spec.width < 10000) spec.width = spec.width * 10 + (*p++ - u'0');
    if (*p == u'.') {
      spec.precision = 0;
      ++p;
      while (*p >= u'0' && *p <= u'9' && spec.precision < 10000) spec.precision = spec.precision * 10 + (*p++ - u'0');
    }
    if (*p == u'h') {
      spec.size = -1;
      ++p;
    } else if (*p == u'l') {
      spec.size = 1;
      if (*++p == u'l') {
        spec.size = 2;
        ++p;
      }
    } else if (p[0] == u'I' && p[1] == u'6' && p[2] == u'4') {
      spec.size = 2;
      p += 3;
    }
    const char16_t conversion = *p;
    if (conversion == u'd' || conversion == u'i' || conversion == u'u' || conversion == u'x' || conversion == u'X') {
      out += FormatNumber(conversion, spec, args);
    } else if (conversion == u'c' || conversion == u'C') {
      Pad(out, std::u16string(1, static_cast<char16_t>(va_arg(args, int))), spec);
    } else if (conversion == u's' || conversion == u'S') {
      const bool narrow = conversion == u'S' || spec.size < 0;
      std::u16string text;
      if (narrow) {
        const char* s = va_arg(args, const char*);
        text = AnsiToWString(s != nullptr ? s : "(null)");
      } else {
        const char16_t* s = va_arg(args, const char16_t*);
        text = s != nullptr ? s : u"(null)";
      }
      if (spec.precision >= 0 && text.size() > static_cast<size_t>(spec.precision)) text.resize(spec.precision);
      Pad(out, text, spec);
    } else {
      break;  // unknown conversion or the end of the format
    }
  }
  va_end(args);
  if (out.size() > kFormatLimit) out.resize(kFormatLimit);
  return out;
}

void KillAdbProcesses(adb::ChildControl& control) { control.Cancel(); }
