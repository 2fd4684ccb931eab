#include "foundation/xml/xml_text.h"

#include "foundation/base/unicode.h"
#include "foundation/xml/xml_tokenizer.h"

namespace xml {

namespace {

bool IsAsciiLetter(char16_t c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); }
bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }
char16_t Lower(char16_t c) { return (c >= u'A' && c <= u'Z') ? c + 32 : c; }

// Length of the reference at text[i] ('&') up to and including ';', or 0.
size_t ReferenceLength(const char16_t* text, size_t length, size_t i) {
  size_t j = i + 1;
  if (j >= length) return 0;
  char16_t c = text[j];
  if (!(c == u'#' || c == u':' || c == u'_' || IsAsciiLetter(c) || c >= 128)) return 0;
  for (++j; j < length; ++j) {
    c = text[j];
    if (c == u';') return j + 1 - i;
    if (!(c == u'-' || c == u'.' || c == u':' || c == u'_' || IsDigit(c) || IsAsciiLetter(c) ||
          c >= 128)) {
      return 0;
    }
  }
  return 0;
}

// "#65" or "#x41": the code point, 0 when malformed or out of range.
unsigned NumericReference(const char16_t* name, size_t length) {
  size_t i = 1;
  unsigned base = 10;
  if (length > 1 && (name[1] == u'x' || name[1] == u'X')) {
    base = 16;
    i = 2;
  }
  if (i >= length) return 0;
  unsigned long value = 0;
  for (; i < length; ++i) {
    const char16_t c = name[i];
    unsigned digit;
    if (IsDigit(c)) {
      digit = c - u'0';
    } else if (base == 16 && Lower(c) >= u'a' && Lower(c) <= u'f') {
      digit = Lower(c) - u'a' + 10;
    } else {
      return 0;
    }
    value = value * base + digit;
    if (value > 0x10FFFF) return 0;
  }
  if (value >= 0xD800 && value <= 0xDFFF) return 0;
  return static_cast<unsigned>(value);
}

}  // namespace

std::u16string EscapeText(const char16_t* text, size_t length, int flags) {
  std::u16string out;
  out.reserve(length + length / 10 + 7);
  const bool attribute = (flags & kEscapeAttribute) != 0;
  for (size_t i = 0; i < length; ++i) {
    const char16_t c = text[i];
    switch (c) {
      case u'<': out += u"&lt;"; break;
      case u'>': out += u"&gt;"; break;
      case u'&':
        if (flags & kEscapeKeepRefs) {
          const size_t n = ReferenceLength(text, length, i);
          if (n) {
            out.append(text + i, n);
            i += n - 1;
            break;
          }
        }
        out += u"&amp;";
        break;
      case u'"':
        if (attribute) out += u"&quot;"; else out += c;
        break;
      case u'\'':
        if (attribute) out += u"&apos;"; else out += c;
        break;
      default: out += c;
    }
  }
  return out;
}

std::u16string UnescapeText(const char16_t* text, long length) {
  size_t n = 0;
  if (length < 0) {
    while (text[n]) ++n;
  } else {
    n = static_cast<size_t>(length);
  }
  std::u16string out;
  out.reserve(n);
  size_t plain = 0;  // start of the text not copied yet (no reference in it)
  for (size_t i = 0; i < n; ++i) {
    if (text[i] != u'&') continue;
    size_t k = 0;
    while (k < 9 && i + 1 + k < n && text[i + 1 + k] != u';' && text[i + 1 + k] < 128) ++k;
    unsigned cp = 0;
    if (k > 0 && i + 1 + k < n && text[i + 1 + k] == u';') {
      const char16_t* name = text + i + 1;
      cp = name[0] == u'#' ? NumericReference(name, k) : LookupEntity(name, k);
    }
    if (!cp) continue;  // a '&' that starts no reference stays as written
    out.append(text + plain, i - plain);
    unicode::AppendUtf16(out, cp);
    i += k + 1;  // past the ';'
    plain = i + 1;
  }
  out.append(text + plain, n - plain);
  return out;
}

bool NameMatches(const char16_t* stored, size_t storedLength, const char16_t* given,
                 bool ignoreCase) {
  bool wideMatched = false;
  for (size_t i = 0; i < storedLength; ++i) {
    const char16_t s = stored[i];
    const char16_t g = given[i];
    if (s == g) {
      if (s >= 128) wideMatched = true;
      if (!g) return false;
      continue;
    }
    if (!g || !ignoreCase || wideMatched) return false;
    if (!(IsAsciiLetter(s) && Lower(s) == Lower(g))) return false;
  }
  const char16_t after = given[storedLength];
  return after == 0 || after == u' ' || after == u'/' || after == u'=' || after == u'[' ||
         after == u']';
}

void TagNameAt(const char16_t* text, int length, int start, int* nameStart, int* nameLength) {
  int i = start;
  if (i < length && text[i] == u'<') ++i;
  while (i < length && IsXmlSpace(text[i])) ++i;
  const int from = i;
  while (i < length) {
    const char16_t c = text[i];
    if (IsXmlSpace(c) || c == u'!' || c == u'"' || c == u'\'' || c == u'/' || c == u';' ||
        c == u'<' || c == u'=' || c == u'>' || c == u'?' || c == u'\\') {
      break;
    }
    ++i;
  }
  *nameStart = from;
  *nameLength = i - from;
}

namespace {

// Moves `*j` past the tag name of the tag at text[start] ('<'), as the
// parse reads it (so an insertion never splits it).
int SkipTagName(const char16_t* t, int limit, int start) {
  int j = start + 1;
  if (j < limit && t[j] == u'?') ++j;
  while (j < limit && !IsXmlSpace(t[j]) && t[j] != u'/' && t[j] != u'>' &&
         !(t[start + 1] == u'?' && t[j] == u'?')) {
    ++j;
  }
  return j;
}

// Reads the attribute at or after `*j` into `a` and moves `*j` past it;
// false at the end of the tag.
bool NextAttribute(const char16_t* t, int limit, int* pos, AttributeSpan* out) {
  auto endsName = [](char16_t c) {
    return IsXmlSpace(c) || c == u'/' || c == u'=' || c == u'>' || c == u'?';
  };
  int j = *pos;
  while (j < limit && IsXmlSpace(t[j])) ++j;
  if (j >= limit || t[j] == u'>' || t[j] == u'/' || t[j] == u'?') {
    *pos = j;
    return false;
  }
  AttributeSpan a;
  a.nameStart = j;
  while (j < limit && !endsName(t[j])) ++j;
  a.nameLength = j - a.nameStart;
  a.end = j;
  int k = j;
  while (k < limit && IsXmlSpace(t[k])) ++k;
  if (k < limit && t[k] == u'=') {
    a.hasValue = true;
    j = k + 1;
    while (j < limit && IsXmlSpace(t[j])) ++j;
    if (j < limit && (t[j] == u'"' || t[j] == u'\'')) {
      const char16_t quote = t[j];
      a.quoted = true;
      a.valueStart = j + 1;
      int q = j + 1;
      while (q < limit && t[q] != quote) ++q;
      a.valueLength = q - a.valueStart;
      j = q < limit ? q + 1 : limit;
    } else {
      a.valueStart = j;
      while (j < limit && !IsXmlSpace(t[j]) && t[j] != u'>') ++j;
      // As in the parse, a slash right before '>' closes an empty
      // element unless the value has a unit before it.
      if (j < limit && t[j] == u'>' && j > a.valueStart && t[j - 1] == u'/') {
        const char16_t before = t[j - 2];
        if (IsXmlSpace(before) || before == u'"' || before == u'\'') --j;
      }
      a.valueLength = j - a.valueStart;
    }
    a.end = j;
  }
  *pos = j;
  *out = a;
  return true;
}

}  // namespace

bool ScanAttributes(const char16_t* text, int limit, int start, const char16_t* name,
                    AttributeSpan* found, int* scanEnd, bool ignoreCase) {
  int j = SkipTagName(text, limit, start);
  int lastEnd = j;
  AttributeSpan a;
  while (NextAttribute(text, limit, &j, &a)) {
    lastEnd = a.end;
    if (name && NameMatches(text + a.nameStart, a.nameLength, name, ignoreCase)) {
      if (found) *found = a;
      if (scanEnd) *scanEnd = lastEnd;
      return true;
    }
  }
  if (scanEnd) *scanEnd = lastEnd;
  return false;
}

void ListAttributes(const char16_t* text, int limit, int start, std::vector<AttributeSpan>* out) {
  out->clear();
  int j = SkipTagName(text, limit, start);
  AttributeSpan a;
  while (NextAttribute(text, limit, &j, &a)) out->push_back(a);
}

}  // namespace xml
