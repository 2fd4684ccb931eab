#include "foundation/base/code_page.h"

#include <iconv.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "foundation/base/unicode.h"

namespace {

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "UTF-16 units are handed to iconv as UTF-16LE");

using unicode::kReplacement;
constexpr char kDefaultChar = '?';

bool IsUtf8Page(unsigned int page) { return page == CP_ACP || page == CP_UTF8; }

// Code pages whose iconv name is not "CP<n>". Every other page goes to iconv
// as "CP<n>" (437, 850, 866, 874, 932, 936, 949, 950, 1250-1258, ...).
// UTF-8 (0 and 65001) and the UTF-16 and UTF-32 pages are converted here.
// Pages glibc has no converter for (720, 853, the Mac pages 10001-10006,
// 10008, 10010, 10021, 10081 and 10082, 20000-20005, 20105, 29001, 52936,
// 57002-57011) keep their "CP<n>" name, which iconv refuses: their
// conversions fail as a whole.
struct IconvPageName {
  unsigned int page;
  const char* name;
};
constexpr IconvPageName kIconvPageNames[] = {
    {154, "PT154"},           {708, "ASMO-708"},        {10000, "MACINTOSH"},
    {10007, "MAC-CYRILLIC"},  {10017, "MACUKRAINIAN"},  {10029, "MAC-CENTRALEUROPE"},
    {10079, "MAC-IS"},        {20106, "ISO646-DE"},     {20107, "ISO646-SE"},
    {20108, "ISO646-NO"},     {20127, "ASCII"},         {20261, "T.61-8BIT"},
    {20269, "ISO6937"},       {20866, "KOI8-R"},        {20932, "EUC-JP"},
    {20936, "EUC-CN"},        {20949, "EUC-KR"},        {21866, "KOI8-U"},
    {28591, "ISO-8859-1"},    {28592, "ISO-8859-2"},    {28593, "ISO-8859-3"},
    {28594, "ISO-8859-4"},    {28595, "ISO-8859-5"},    {28596, "ISO-8859-6"},
    {28597, "ISO-8859-7"},    {28598, "ISO-8859-8"},    {28599, "ISO-8859-9"},
    {28603, "ISO-8859-13"},   {28605, "ISO-8859-15"},   {38598, "ISO-8859-8"},
    {50220, "ISO-2022-JP"},   {50221, "ISO-2022-JP"},   {50222, "ISO-2022-JP"},
    {50225, "ISO-2022-KR"},   {50227, "ISO-2022-CN"},   {51932, "EUC-JP"},
    {51936, "EUC-CN"},        {51949, "EUC-KR"},        {54936, "GB18030"},
    {65000, "UTF-7"},
};

std::string IconvName(unsigned int page) {
  for (const IconvPageName& entry : kIconvPageNames) {
    if (entry.page == page) return entry.name;
  }
  return "CP" + std::to_string(page);
}

// Bytes per unit of the UTF-16 and UTF-32 pages (0 for the others) and
// their byte order.
size_t UnicodeUnitBytes(unsigned int page) {
  switch (page) {
    case CP_UTF16LE:
    case CP_UTF16BE:
      return 2;
    case CP_UTF32LE:
    case CP_UTF32BE:
      return 4;
    default:
      return 0;
  }
}
bool IsBigEndianPage(unsigned int page) { return page == CP_UTF16BE || page == CP_UTF32BE; }

uint32_t ReadUnit(const unsigned char* s, size_t bytes, bool bigEndian) {
  uint32_t v = 0;
  for (size_t k = 0; k < bytes; ++k) v |= uint32_t(s[bigEndian ? bytes - 1 - k : k]) << (8 * k);
  return v;
}

void AppendUnit(std::string& out, uint32_t v, size_t bytes, bool bigEndian) {
  for (size_t k = 0; k < bytes; ++k) {
    out += static_cast<char>((v >> (8 * (bigEndian ? bytes - 1 - k : k))) & 0xFF);
  }
}

// Whole units of a UTF-16 or UTF-32 page; a cut unit at the end is dropped,
// a UTF-32 value that is no code point becomes U+FFFD.
std::u16string UnicodeToWide(const char* text, size_t size, unsigned int page) {
  const size_t unit = UnicodeUnitBytes(page);
  const bool bigEndian = IsBigEndianPage(page);
  const auto* s = reinterpret_cast<const unsigned char*>(text);
  std::u16string out;
  out.reserve(size / unit);
  for (size_t i = 0; i + unit <= size; i += unit) {
    const uint32_t v = ReadUnit(s + i, unit, bigEndian);
    if (unit == 2) {
      out += static_cast<char16_t>(v);
    } else {
      unicode::AppendUtf16(out, (v > 0x10FFFF || (v >= 0xD800 && v <= 0xDFFF)) ? kReplacement : v);
    }
  }
  return out;
}

// UTF-16 units are written as they are; for UTF-32 a lone surrogate becomes
// the default character and counts as lost.
std::string WideToUnicode(const char16_t* text, size_t size, unsigned int page, bool* lost) {
  const size_t unit = UnicodeUnitBytes(page);
  const bool bigEndian = IsBigEndianPage(page);
  std::string out;
  out.reserve(size * unit);
  if (unit == 2) {
    for (size_t i = 0; i < size; ++i) AppendUnit(out, text[i], 2, bigEndian);
    return out;
  }
  unicode::ForEachCodePoint(text, size, [&](uint32_t v) {
    if (v == unicode::kLoneSurrogate) {
      v = static_cast<uint32_t>(kDefaultChar);
      *lost = true;
    }
    AppendUnit(out, v, 4, bigEndian);
  });
  return out;
}

class Iconv {
 public:
  Iconv(const std::string& to, const std::string& from) : cd_(::iconv_open(to.c_str(), from.c_str())) {}
  ~Iconv() {
    if (valid()) ::iconv_close(cd_);
  }
  Iconv(const Iconv&) = delete;
  Iconv& operator=(const Iconv&) = delete;
  bool valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

  // Converts all of `in`; at a sequence it cannot convert it calls
  // onError(input position, EILSEQ or EINVAL) which returns the bytes to skip
  // (0 ends the conversion) after appending its replacement to `out`.
  template <typename OnError>
  void Run(const char* in, size_t size, std::vector<char>& out, OnError onError) {
    char buffer[4096];
    char* src = const_cast<char*>(in);
    size_t left = size;
    while (left > 0) {
      char* dst = buffer;
      size_t room = sizeof buffer;
      size_t r = ::iconv(cd_, &src, &left, &dst, &room);
      out.insert(out.end(), buffer, dst);
      if (r != static_cast<size_t>(-1)) continue;
      if (errno == E2BIG) continue;
      size_t skip = onError(static_cast<size_t>(src - in), errno);
      if (skip == 0 || skip > left) break;
      src += skip;
      left -= skip;
      ::iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    }
    char* dst = buffer;
    size_t room = sizeof buffer;
    ::iconv(cd_, nullptr, nullptr, &dst, &room);  // flush a stateful encoder
    out.insert(out.end(), buffer, dst);
  }

 private:
  iconv_t cd_;
};

bool ToWide(const char* text, size_t size, unsigned int page, std::u16string* out) {
  if (IsUtf8Page(page)) {
    *out = unicode::Utf8ToUtf16(text, size);
    return true;
  }
  if (UnicodeUnitBytes(page) != 0) {
    *out = UnicodeToWide(text, size, page);
    return true;
  }
  Iconv cd("UTF-16LE", IconvName(page));
  if (!cd.valid()) return false;
  std::vector<char> bytes;
  cd.Run(text, size, bytes, [&bytes](size_t, int error) -> size_t {
    const char16_t replacement = kReplacement;
    const char* r = reinterpret_cast<const char*>(&replacement);
    bytes.insert(bytes.end(), r, r + 2);
    return error == EILSEQ ? 1 : 0;
  });
  out->assign(bytes.size() / 2, u'\0');
  if (!out->empty()) std::memcpy(&(*out)[0], bytes.data(), out->size() * 2);
  return true;
}

bool FromWide(const char16_t* text, size_t size, unsigned int page, std::string* out,
              bool* lost) {
  *lost = false;
  if (IsUtf8Page(page)) {
    *out = unicode::Utf16ToUtf8(text, size);
    return true;
  }
  if (UnicodeUnitBytes(page) != 0) {
    *out = WideToUnicode(text, size, page, lost);
    return true;
  }
  Iconv cd(IconvName(page), "UTF-16LE");
  if (!cd.valid()) return false;
  std::vector<char> bytes;
  cd.Run(reinterpret_cast<const char*>(text), size * 2, bytes, [&](size_t at, int error) -> size_t {
    bytes.push_back(kDefaultChar);
    *lost = true;
    if (error != EILSEQ) return 0;
    size_t unit = at / 2;
    bool pair = unit + 1 < size && text[unit] >= 0xD800 && text[unit] <= 0xDBFF && text[unit + 1] >= 0xDC00 &&
                text[unit + 1] <= 0xDFFF;
    return pair ? 4 : 2;
  });
  out->assign(bytes.begin(), bytes.end());
  return true;
}

// Bytes up to the first NUL character of the page (a zero unit of the
// UTF-16 and UTF-32 pages, else a zero byte).
size_t NarrowLength(const std::string& text, unsigned int page) {
  const size_t unit = UnicodeUnitBytes(page);
  if (unit == 0) return std::strlen(text.c_str());
  size_t n = 0;
  const std::string zero(unit, '\0');
  while (n + unit <= text.size() && text.compare(n, unit, zero) != 0) n += unit;
  return n;
}

bool FromWide(const char16_t* text, size_t size, unsigned int page, std::string* out) {
  bool lost = false;
  return FromWide(text, size, page, out, &lost);
}

size_t WideLength(const char16_t* text, size_t limit) {
  size_t n = 0;
  while (n < limit && text[n] != 0) ++n;
  return n;
}

}  // namespace

std::u16string MultiByteToWString(const std::string& text, unsigned int codePage) {
  std::u16string out;
  if (!ToWide(text.data(), NarrowLength(text, codePage), codePage, &out)) out.clear();
  return out;
}

std::string WStringToMultiByte(const std::u16string& text, unsigned int codePage) {
  std::string out;
  if (!FromWide(text.data(), WideLength(text.data(), text.size()), codePage, &out)) out.clear();
  return out;
}

std::string ConvertCodePage(const std::string& text, unsigned int from, unsigned int to) {
  std::u16string wide;
  std::string out;
  if (!ToWide(text.data(), NarrowLength(text, from), from, &wide)) return std::string();
  if (!FromWide(wide.data(), wide.size(), to, &out)) return std::string();
  return out;
}

std::u16string AnsiToWString(const std::string& text) { return MultiByteToWString(text, CP_ACP); }

std::string WStringToAnsi(const std::u16string& text) { return WStringToMultiByte(text, CP_ACP); }

bool WStringToAnsiOut(const std::u16string& text, std::string& out) {
  size_t size = WideLength(text.data(), text.size());
  if (size == 0) {
    out.clear();
    return true;
  }
  std::string result;
  if (!FromWide(text.data(), size, CP_ACP, &result) || result.empty()) return false;
  out.swap(result);
  return true;
}

bool AnsiToWStringOut(const std::string& text, std::u16string& out) {
  size_t size = NarrowLength(text, CP_ACP);
  if (size == 0) {
    out.clear();
    return true;
  }
  std::u16string result;
  if (!ToWide(text.data(), size, CP_ACP, &result) || result.empty()) return false;
  out.swap(result);
  return true;
}

int AnsiToWideBuffer(const char* text, int length, char16_t* buffer, int capacity) {
  if (text == nullptr) return 0;
  size_t size = length < 0 ? std::strlen(text) + 1 : static_cast<size_t>(length);
  std::u16string wide;
  ToWide(text, size, CP_ACP, &wide);
  if (capacity < 0 || static_cast<size_t>(capacity) < wide.size() || buffer == nullptr)
    return static_cast<int>(wide.size());
  std::memcpy(buffer, wide.data(), wide.size() * sizeof(char16_t));
  return static_cast<int>(wide.size());
}

int WideToAnsiBuffer(const char16_t* text, int length, char* buffer, int capacity) {
  if (text == nullptr) return 0;
  size_t size = length < 0 ? WideLength(text, static_cast<size_t>(-1)) + 1 : static_cast<size_t>(length);
  std::string narrow;
  FromWide(text, size, CP_ACP, &narrow);
  if (capacity < 0 || static_cast<size_t>(capacity) < narrow.size() || buffer == nullptr)
    return static_cast<int>(narrow.size());
  std::memcpy(buffer, narrow.data(), narrow.size());
  return static_cast<int>(narrow.size());
}

bool CodePageToUtf16(const char* bytes, size_t size, unsigned int codePage, std::u16string* out) {
  out->clear();
  return ToWide(bytes, size, codePage, out);
}

bool Utf16ToCodePage(const char16_t* text, size_t size, unsigned int codePage, std::string* out,
                     bool* lost) {
  bool lostHere = false;
  out->clear();
  const bool ok = FromWide(text, size, codePage, out, &lostHere);
  if (lost != nullptr) *lost = ok && lostHere;
  return ok;
}
