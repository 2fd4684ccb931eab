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

std::string IconvName(unsigned int page) {
  if (page == 54936) return "GB18030";
  return "CP" + std::to_string(page);
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

bool FromWide(const char16_t* text, size_t size, unsigned int page, std::string* out) {
  if (IsUtf8Page(page)) {
    *out = unicode::Utf16ToUtf8(text, size);
    return true;
  }
  Iconv cd(IconvName(page), "UTF-16LE");
  if (!cd.valid()) return false;
  std::vector<char> bytes;
  cd.Run(reinterpret_cast<const char*>(text), size * 2, bytes, [&](size_t at, int error) -> size_t {
    bytes.push_back(kDefaultChar);
    if (error != EILSEQ) return 0;
    size_t unit = at / 2;
    bool pair = unit + 1 < size && text[unit] >= 0xD800 && text[unit] <= 0xDBFF && text[unit + 1] >= 0xDC00 &&
                text[unit + 1] <= 0xDFFF;
    return pair ? 4 : 2;
  });
  out->assign(bytes.begin(), bytes.end());
  return true;
}

size_t NarrowLength(const std::string& text) { return std::strlen(text.c_str()); }

size_t WideLength(const char16_t* text, size_t limit) {
  size_t n = 0;
  while (n < limit && text[n] != 0) ++n;
  return n;
}

}  // namespace

std::u16string MultiByteToWString(const std::string& text, unsigned int codePage) {
  std::u16string out;
  if (!ToWide(text.data(), NarrowLength(text), codePage, &out)) out.clear();
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
  if (!ToWide(text.data(), NarrowLength(text), from, &wide)) return std::string();
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
  size_t size = NarrowLength(text);
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
