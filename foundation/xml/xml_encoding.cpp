#include "foundation/xml/xml_encoding.h"

#include <cstdint>

#include "foundation/base/code_page.h"
#include "foundation/base/unicode.h"
#include "foundation/xml/xml_element_table.h"
#include "foundation/xml/xml_text.h"
#include "foundation/xml/xml_tokenizer.h"

namespace xml {

namespace {

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

namespace {

// The code page a name converts with: unknown names take the ANSI page, and
// the 32-bit code points of "UTF-32..." are little-endian UTF-32.
unsigned int ConversionPage(const std::u16string& encoding) {
  const int cp = CodePageFromName(encoding);
  if (cp < 0) return CP_ACP;
  if (cp == kCodePageUtf32) return CP_UTF32LE;
  return static_cast<unsigned int>(cp);
}

}  // namespace

std::u16string TextConverter::ToUtf16(const std::string& bytes, const std::u16string& encoding,
                                      bool* converted) {
  std::u16string out;
  const bool ok = CodePageToUtf16(bytes.data(), bytes.size(), ConversionPage(encoding), &out);
  if (!ok) out.clear();
  if (converted) *converted = ok;
  return out;
}

std::string TextConverter::FromUtf16(const std::u16string& text, const std::u16string& encoding,
                                     bool* lost, bool* converted) {
  const unsigned int cp = ConversionPage(encoding);
  bool lostAny = false;
  std::string out;
  const bool ok = Utf16ToCodePage(text.data(), text.size(), cp, &out, &lostAny);
  if (!ok) out.clear();
  if (IsPageWithoutLossReport(static_cast<int>(cp))) lostAny = false;
  if (lost) *lost = lostAny;
  if (converted) *converted = ok;
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
