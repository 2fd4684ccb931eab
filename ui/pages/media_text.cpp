#include "ui/pages/media_text.h"

#include <cstdio>
#include <ctime>

#include "foundation/base/unicode.h"

namespace media_text {

namespace {

std::u16string Ascii(const char* text) { return std::u16string(text, text + std::char_traits<char>::length(text)); }

std::u16string Fixed2(double value, char unit) {
  char buf[64];
  std::snprintf(buf, sizeof(buf), "%.2f%c", value, unit);
  return Ascii(buf);
}

}  // namespace

std::u16string FormatDuration(int64_t seconds) {
  if (seconds < 0) seconds = 0;
  const long long hours = seconds / 3600;
  const long long minutes = (seconds / 60) % 60;
  const long long secs = seconds % 60;
  char buf[64];
  if (hours < 1) std::snprintf(buf, sizeof(buf), "%02lld:%02lld", minutes, secs);
  else std::snprintf(buf, sizeof(buf), "%02lld:%02lld:%02lld", hours, minutes, secs);
  return Ascii(buf);
}

std::u16string FormatMusicSize(int64_t bytes) {
  const double k = static_cast<double>(bytes) / 1024;
  return k > 1024 ? Fixed2(k / 1024, 'M') : Fixed2(k, 'K');
}

std::u16string FormatVideoSize(int64_t bytes) {
  const double k = static_cast<double>(bytes) / 1024;
  if (k <= 1024) return Fixed2(k, 'K');
  if (k > 1024.0 * 1024) return Fixed2(k / 1048576, 'G');
  return Fixed2(k / 1024, 'M');
}

std::u16string NameWithoutExtension(const std::u16string& name) {
  const size_t dot = name.rfind(u'.');
  return dot == std::u16string::npos ? name : name.substr(0, dot);
}

std::u16string ExtensionUpper(const std::u16string& name) {
  const size_t dot = name.rfind(u'.');
  if (dot == std::u16string::npos) return std::u16string();
  std::u16string ext = name.substr(dot + 1);
  for (char16_t& c : ext)
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
  return ext;
}

std::u16string FormatMonth(int64_t key) {
  const time_t t = static_cast<time_t>(key);
  struct tm local {};
  if (!localtime_r(&t, &local)) return std::u16string();
  char buf[64];
  std::snprintf(buf, sizeof(buf), "%d年%d月", local.tm_year + 1900, local.tm_mon + 1);
  return unicode::Utf8ToUtf16(buf, std::char_traits<char>::length(buf));
}

int CountBadgeWidth(int text_width) { return text_width + 5 < 18 ? 18 : text_width + 5; }

}  // namespace media_text
