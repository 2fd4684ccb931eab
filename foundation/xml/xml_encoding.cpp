#include "foundation/xml/xml_encoding.h"

#include <iconv.h>

#include <cerrno>
#include <cstdint>

#include "foundation/base/code_page.h"
#include "foundation/base/unicode.h"
#include "foundation/xml/xml_element_table.h"
#include "foundation/xml/xml_text.h"
#include "foundation/xml/xml_tokenizer.h"

namespace xml {

namespace {

using unicode::AppendUtf16;
using unicode::ForEachCodePoint;
using unicode::kReplacement;

bool IsPageWithoutLossReport(int cp) {
  return (cp >= 50220 && cp <= 50222) || cp == 50225 || cp == 50227 || cp == 50229 ||
         cp == 52936 || cp == 54936 || (cp >= 57002 && cp <= 57011) || cp == 65000 ||
         cp == 65001;
}

bool EqualsIgnoreCase(const char16_t* s, size_t n, const char16_t* literal) {
  size_t i = 0;
  for (; i < n; ++i) {
    if (!literal[i]) return false;
    char16_t a = s[i], b = literal[i];
    if (a >= u'A' && a <= u'Z') a += 32;
    if (b >= u'A' && b <= u'Z') b += 32;
    if (a != b) return false;
  }
  return literal[i] == 0;
}

// "text/html; charset=gb2312" gives "gb2312".
std::u16string CharsetOf(const std::u16string& content) {
  const size_t n = content.size();
  for (size_t i = 0; i + 7 <= n; ++i) {
    if (!EqualsIgnoreCase(content.data() + i, 7, u"charset")) continue;
    size_t j = i + 7;
    while (j < n && IsXmlSpace(content[j])) ++j;
    if (j >= n || content[j] != u'=') continue;
    ++j;
    while (j < n && IsXmlSpace(content[j])) ++j;
    const size_t from = j;
    while (j < n && !IsXmlSpace(content[j]) && content[j] != u';' && content[j] != u'"' &&
           content[j] != u'\'') {
      ++j;
    }
    if (j > from) return content.substr(from, j - from);
  }
  return std::u16string();
}

std::u16string AttributeOf(const char16_t* text, const Node& node, const char16_t* name) {
  AttributeSpan a;
  if (!ScanAttributes(text, node.start + node.length, node.start, name, &a, nullptr, true)) {
    return std::u16string();
  }
  return UnescapeText(text + a.valueStart, a.valueLength);
}

// Pages that iconv does not know as "CP<n>" (the name the base conversions
// use) but knows under their own names.
const char* IconvNameOf(int cp) {
  switch (cp) {
    case 154: return "PT154";
    case 1133: return "IBM1133";
    case 1361: return "JOHAB";
    case 10000: return "MACINTOSH";
    case 10007: return "MAC-CYRILLIC";
    case 10017: return "MACUKRAINIAN";
    case 10029: return "MAC-CENTRALEUROPE";
    case 20127: return "ASCII";
    case 20866: return "KOI8-R";
    case 20932: case 51932: return "EUC-JP";
    case 20936: case 51936: return "EUC-CN";
    case 21866: return "KOI8-U";
    case 28591: return "ISO-8859-1";
    case 28592: return "ISO-8859-2";
    case 28593: return "ISO-8859-3";
    case 28594: return "ISO-8859-4";
    case 28595: return "ISO-8859-5";
    case 28596: return "ISO-8859-6";
    case 28597: return "ISO-8859-7";
    case 28598: case 38598: return "ISO-8859-8";
    case 28599: return "ISO-8859-9";
    case 28603: return "ISO-8859-13";
    case 28605: return "ISO-8859-15";
    case 50220: case 50221: case 50222: return "ISO-2022-JP";
    case 50225: return "ISO-2022-KR";
    case 51949: return "EUC-KR";
    case 65000: return "UTF-7";
    default: return nullptr;
  }
}

// Converts through iconv, replacing what cannot be converted: an invalid
// input unit becomes `replacement` (`unit` bytes of input skipped), and
// `*lost` tells whether that happened. False when iconv lacks the pair.
bool IconvReplacing(const char* to, const char* from, const std::string& in, size_t unit,
                    const std::string& replacement, std::string& out, bool* lost) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  out.clear();
  char* src = const_cast<char*>(in.data());
  size_t left = in.size();
  char buffer[4096];
  bool replaced = false;
  for (;;) {
    char* dst = buffer;
    size_t room = sizeof(buffer);
    const size_t r = left ? iconv(cd, &src, &left, &dst, &room) : iconv(cd, nullptr, nullptr, &dst, &room);
    const int err = errno;
    out.append(buffer, dst - buffer);
    if (r != static_cast<size_t>(-1)) {
      if (!left) break;
      continue;
    }
    if (err == E2BIG) continue;
    if (err != EILSEQ && err != EINVAL) break;
    out += replacement;
    replaced = true;
    const size_t skip = unit < left ? unit : left;
    src += skip;
    left -= skip;
    if (err == EINVAL) left = 0;  // cut at the end
    if (!left) {
      char* d2 = buffer;
      size_t room2 = sizeof(buffer);
      iconv(cd, nullptr, nullptr, &d2, &room2);
      out.append(buffer, d2 - buffer);
      break;
    }
  }
  iconv_close(cd);
  if (lost) *lost = replaced;
  return true;
}

std::u16string FromUtf16LeBytes(const std::string& bytes) {
  std::u16string out;
  out.reserve(bytes.size() / 2);
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    out += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                 static_cast<unsigned char>(bytes[i + 1]) << 8);
  }
  return out;
}

}  // namespace

Utf8Test TestUtf8(const char* bytes, size_t length) {
  Utf8Test test;
  const auto* s = reinterpret_cast<const unsigned char*>(bytes);
  size_t i = 0;
  while (i < length && s[i]) {
    const unicode::Utf8Sequence seq = unicode::ReadUtf8Sequence(s, length, i);
    if (seq.length == 0) {
      if (test.valid) test.truncated = seq.cut;
      test.valid = false;
      i += seq.prefix;
      continue;
    }
    if (seq.length > 1) ++test.multiByte;
    i += seq.length;
  }
  return test;
}

std::u16string TextConverter::ToUtf16(const std::string& bytes, const std::u16string& encoding) {
  int cp = CodePageFromName(encoding);
  if (cp < 0) cp = 0;
  const auto* s = reinterpret_cast<const unsigned char*>(bytes.data());
  const size_t n = bytes.size();
  std::u16string out;
  switch (cp) {
    case 0:
    case 65001:
      return Utf8ToUtf16(bytes.data(), n);
    case 1200:
    case 1201:
      out.reserve(n / 2);
      for (size_t i = 0; i + 1 < n; i += 2) {
        out += static_cast<char16_t>(cp == 1200 ? (s[i] | (s[i + 1] << 8))
                                                : ((s[i] << 8) | s[i + 1]));
      }
      return out;
    case kCodePageUtf32:
    case 12000:
    case 12001:
      out.reserve(n / 4);
      for (size_t i = 0; i + 3 < n; i += 4) {
        const uint32_t v =
            cp == 12001 ? (uint32_t(s[i]) << 24 | uint32_t(s[i + 1]) << 16 | s[i + 2] << 8 | s[i + 3])
                        : (uint32_t(s[i + 3]) << 24 | uint32_t(s[i + 2]) << 16 | s[i + 1] << 8 | s[i]);
        AppendUtf16(out, (v > 0x10FFFF || (v >= 0xD800 && v <= 0xDFFF)) ? kReplacement : v);
      }
      return out;
    default:
      if (const char* name = IconvNameOf(cp)) {
        std::string units;
        if (IconvReplacing("UTF-16LE", name, bytes, 1, std::string("\xFD\xFF", 2), units,
                           nullptr)) {
          return FromUtf16LeBytes(units);
        }
        return out;
      }
      return MultiByteToWString(bytes, static_cast<unsigned>(cp));
  }
}

std::string TextConverter::FromUtf16(const std::u16string& text, const std::u16string& encoding,
                                     bool* lost) {
  int cp = CodePageFromName(encoding);
  if (cp < 0) cp = 0;
  bool lostAny = false;
  std::string out;
  switch (cp) {
    case 0:
    case 65001:
      out = Utf16ToUtf8(text.data(), text.size());
      break;
    case 1200:
    case 1201:
      out.reserve(text.size() * 2);
      for (const char16_t u : text) {
        const char lo = static_cast<char>(u & 0xFF), hi = static_cast<char>(u >> 8);
        out += cp == 1200 ? lo : hi;
        out += cp == 1200 ? hi : lo;
      }
      break;
    case kCodePageUtf32:
    case 12000:
    case 12001:
      out.reserve(text.size() * 4);
      ForEachCodePoint(text.data(), text.size(), [&](uint32_t v) {
        if (v == unicode::kLoneSurrogate) {
          v = u'?';
          lostAny = true;
        }
        char b[4] = {static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF),
                     static_cast<char>((v >> 16) & 0xFF), static_cast<char>(v >> 24)};
        if (cp == 12001) {
          out.append({b[3], b[2], b[1], b[0]});
        } else {
          out.append(b, 4);
        }
      });
      break;
    default:
      if (const char* name = IconvNameOf(cp)) {
        std::string units;
        for (const char16_t u : text) {
          units += static_cast<char>(u & 0xFF);
          units += static_cast<char>(u >> 8);
        }
        if (!IconvReplacing(name, "UTF-16LE", units, 2, "?", out, &lostAny)) out.clear();
        if (IsPageWithoutLossReport(cp)) lostAny = false;
        break;
      }
      out = WStringToMultiByte(text, static_cast<unsigned>(cp));
      if (!IsPageWithoutLossReport(cp)) {
        lostAny = MultiByteToWString(out, static_cast<unsigned>(cp)) != text;
      }
  }
  if (lost) *lost = lostAny;
  return out;
}

std::u16string DeclaredEncoding(const char16_t* text, size_t length) {
  const int n = static_cast<int>(length > kMaxTextLength ? kMaxTextLength : length);
  Tokenizer tokenizer(text, n);
  Node node;
  bool inHtml = false;
  for (;;) {
    const int kind = tokenizer.Next(node);
    if (kind == kNodeEnd) break;
    const char16_t* name = text + node.nameStart;
    if (kind == kNodePI && node.start == 0 && EqualsIgnoreCase(name, node.nameLength, u"xml")) {
      return AttributeOf(text, node, u"encoding");
    }
    if (kind == kNodeElement) {
      if (!inHtml) {
        if (!EqualsIgnoreCase(name, node.nameLength, u"html")) break;
        inHtml = true;
      } else if (EqualsIgnoreCase(name, node.nameLength, u"meta")) {
        const std::u16string equiv = AttributeOf(text, node, u"http-equiv");
        if (EqualsIgnoreCase(equiv.data(), equiv.size(), u"Content-Type")) {
          const std::u16string charset = CharsetOf(AttributeOf(text, node, u"content"));
          if (!charset.empty()) return charset;
        }
      }
    } else if (kind == kNodeEndTag && inHtml &&
               EqualsIgnoreCase(name, node.nameLength, u"head")) {
      break;
    }
  }
  return std::u16string();
}

}  // namespace xml
