#include "foundation/xml/xml_tokenizer.h"

#include "foundation/xml/xml_element_table.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace xml {

namespace {

bool BeginsStartTag(char16_t c) {
  return (c >= u'A' && c <= u'Z') || c > 96 || c == u'_' || c == u':';
}

// Position of the first unit equal to `a` or `b` in t[from, length), or
// `length` when there is none. Eight units at a time where SSE2 is there:
// most distances inside tags are shorter, so one look usually ends it.
inline __attribute__((always_inline)) int FindEither(const char16_t* t, int from, int length,
                                                     char16_t a, char16_t b) {
  int i = from;
  for (const int near = length - from > 8 ? from + 8 : length; i < near; ++i) {
    if (t[i] == a || t[i] == b) return i;
  }
#if defined(__SSE2__)
  const __m128i wantA = _mm_set1_epi16(static_cast<short>(a));
  const __m128i wantB = _mm_set1_epi16(static_cast<short>(b));
  while (i + 8 <= length) {
    const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(t + i));
    const __m128i hits =
        _mm_or_si128(_mm_cmpeq_epi16(units, wantA), _mm_cmpeq_epi16(units, wantB));
    const int mask = _mm_movemask_epi8(hits);
    if (mask != 0) return i + (__builtin_ctz(static_cast<unsigned>(mask)) >> 1);
    i += 8;
  }
#endif
  while (i < length && t[i] != a && t[i] != b) ++i;
  return i;
}

inline int FindUnit(const char16_t* t, int from, int length, char16_t c) {
  return FindEither(t, from, length, c, c);
}

// Ends a tag name: whitespace, '/' or '>'.
bool EndsName(char16_t c) { return c <= u'>' && (IsXmlSpace(c) || c == u'/' || c == u'>'); }

}  // namespace

int ParsedTagNameLength(const char16_t* text, int length, int start) {
  int i = start + 1;
  while (i < length && !IsXmlSpace(text[i]) && text[i] != u'/' && text[i] != u'>') ++i;
  return i - (start + 1);
}

int Tokenizer::Find(int from, const char16_t* pattern, int patternLength) const {
  for (int i = from; i + patternLength <= length_; ++i) {
    int k = 0;
    while (k < patternLength && text_[i + k] == pattern[k]) ++k;
    if (k == patternLength) return i;
  }
  return -1;
}

inline int Tokenizer::QuoteEnd(int open) const {
  const int close = FindUnit(text_, open + 1, length_, text_[open]);
  return close < length_ ? close : -1;
}

inline void Tokenizer::TakeName(Node& node, int from) const {
  int i = from;
  while (i < length_ && !EndsName(text_[i])) ++i;
  node.nameStart = from;
  node.nameLength = i - from;
}

int Tokenizer::Fail(Node& node, const char16_t* record, int offset, int skipFrom) {
  node.kind = kNodeError;
  node.error.record = record;
  node.error.offset = offset;
  // Skip to the next '>' (taken) or '<' (left for the next node).
  int i = skipFrom;
  while (i < length_ && text_[i] != u'>' && text_[i] != u'<') ++i;
  if (i < length_ && text_[i] == u'>') ++i;
  node.length = i - node.start;
  pos_ = i;
  return node.kind;
}

int Tokenizer::Unterminated(Node& node, const char16_t* type) {
  node.kind = kNodeError;
  node.error.record = u"unterminated_tag_syntax";
  node.error.type = type;
  node.error.offset = node.start;
  node.length = length_ - node.start;
  pos_ = length_;
  return node.kind;
}

inline int Tokenizer::ScanStartTag(Node& node) {
  // Text, length and tag start in locals: the stores into `node` below
  // could otherwise alias them and force reloads in every loop.
  const char16_t* const t = text_;
  const int length = length_;
  const int start = node.start;
  int j = start + 1;
  while (j < length && !EndsName(t[j])) ++j;
  node.nameStart = start + 1;
  node.nameLength = j - (start + 1);
  bool inUnquotedValue = false;
  int unquotedValueStart = 0;
  while (j < length) {
    // Outside an unquoted value only '>' and '=' matter; inside one, '>'
    // and the whitespace that ends it ('=' is part of the value there).
    if (!inUnquotedValue) {
      j = FindEither(t, j, length, u'>', u'=');
      if (j >= length) break;
    } else {
      while (j < length && t[j] != u'>' && !IsXmlSpace(t[j])) ++j;
      if (j >= length) break;
      if (t[j] != u'>') {
        inUnquotedValue = false;
        ++j;
        continue;
      }
    }
    if (t[j] == u'>') {
      bool empty = j > start + 1 && t[j - 1] == u'/';
      // "<a href=x/>": the slash ends the unquoted value, not the tag.
      if (empty && inUnquotedValue && j - 1 > unquotedValueStart - 1) {
        const char16_t before = t[j - 2];
        if (!IsXmlSpace(before) && before != u'"' && before != u'\'') empty = false;
      }
      if (empty) node.flags |= kNodeEmptyElement;
      node.kind = kNodeElement;
      node.length = j + 1 - start;
      pos_ = j + 1;
      if (node.length > kMaxStartTagLen) {
        // Longer than a position record can hold: refused as a bad tag.
        return Fail(node, u"first_tag_syntax", start, j);
      }
      return node.kind;
    }
    // '=' outside an unquoted value: a quoted value is skipped whole.
    ++j;
    while (j < length && IsXmlSpace(t[j])) ++j;
    if (j < length && (t[j] == u'"' || t[j] == u'\'')) {
      const int close = FindUnit(t, j + 1, length, t[j]);
      if (close >= length) return Unterminated(node, u"start_tag");
      j = close + 1;
    } else {
      inUnquotedValue = true;
      unquotedValueStart = j;
    }
  }
  return Unterminated(node, u"start_tag");
}

int Tokenizer::Next(Node& node) {
  node = Node();
  int i = pos_;
  if (i >= length_) {
    node.start = length_;
    return node.kind = kNodeEnd;
  }
  node.start = i;
  const char16_t* t = text_;
  if (t[i] != u'<') {
    // Blanks, then (when something else follows) text up to the next '<'.
    while (i < length_ && IsXmlSpace(t[i])) ++i;
    const bool blank = i < length_ && t[i] == u'<';
    if (!blank) i = FindUnit(t, i, length_, u'<');
    node.length = i - node.start;
    pos_ = i;
    return node.kind = blank ? kNodeWhitespace : kNodeText;
  }
  if (i + 1 >= length_) return Unterminated(node, u"tag");
  const char16_t c = t[i + 1];
  int end = -1;
  if (BeginsStartTag(c)) return ScanStartTag(node);
  if (c == u'/') {
    TakeName(node, i + 2);
    end = FindUnit(t, node.nameStart + node.nameLength, length_, u'>');
    if (end >= length_) return Unterminated(node, u"end_tag");
    node.kind = kNodeEndTag;
    end += 1;
  } else if (c == u'?') {
    TakeName(node, i + 2);
    end = Find(i + 2, u"?>", 2);
    if (end < 0) return Unterminated(node, u"processing_instruction");
    node.kind = kNodePI;
    end += 2;
  } else if (c == u'!') {
    if (i + 2 >= length_) return Unterminated(node, u"tag");
    const char16_t c2 = t[i + 2];
    if (c2 == u'-') {
      if (i + 3 >= length_) return Unterminated(node, u"comment");
      if (t[i + 3] != u'-') return Fail(node, u"comment_tag_syntax", i, i + 3);
      end = Find(i + 4, u"-->", 3);
      if (end < 0) return Unterminated(node, u"comment");
      node.kind = kNodeComment;
      end += 3;
    } else if (c2 == u'[') {
      if (i + 3 >= length_) return Unterminated(node, u"cdata_section");
      if (t[i + 3] != u'C') return Fail(node, u"cdata_section_syntax", i, i + 3);
      end = Find(i + 4, u"]]>", 3);
      if (end < 0) return Unterminated(node, u"cdata_section");
      node.kind = kNodeCData;
      end += 3;
    } else if (c2 == u'D') {
      return ScanDocType(node);
    } else {
      return Fail(node, u"exclamation_tag_syntax", i, i + 2);
    }
  } else {
    return Fail(node, u"first_tag_syntax", i, i + 1);
  }
  node.length = end - node.start;
  pos_ = end;
  return node.kind;
}

int Tokenizer::ScanDocType(Node& node) {
  const char16_t* t = text_;
  int j = node.start + 2;
  while (j < length_) {
    const char16_t c = t[j];
    if (c == u'"' || c == u'\'') {
      const int close = QuoteEnd(j);
      if (close < 0) return Unterminated(node, u"document_type");
      j = close + 1;
    } else if (c == u'<' && j + 1 < length_ && t[j + 1] == u'!') {
      if (j + 2 >= length_) return Unterminated(node, u"document_type");
      const char16_t c2 = t[j + 2];
      if (c2 == u'A' || c2 == u'E' || c2 == u'N') {
        int k = j + 3;
        while (k < length_ && t[k] != u'>') {
          if (t[k] == u'"' || t[k] == u'\'') {
            const int close = QuoteEnd(k);
            if (close < 0) return Unterminated(node, u"document_type");
            k = close;
          }
          ++k;
        }
        if (k >= length_) return Unterminated(node, u"document_type");
        j = k + 1;
      } else if (c2 == u'-') {
        if (j + 3 >= length_) return Unterminated(node, u"document_type");
        if (t[j + 3] != u'-') return Fail(node, u"comment_tag_syntax", j, j + 3);
        const int end = Find(j + 4, u"-->", 3);
        if (end < 0) return Unterminated(node, u"document_type");
        j = end + 3;
      } else {
        return Fail(node, u"doctype_tag_syntax", j, j + 2);
      }
    } else if (c == u'>') {
      node.kind = kNodeDocType;
      node.length = j + 1 - node.start;
      pos_ = j + 1;
      return node.kind;
    } else {
      ++j;
    }
  }
  return Unterminated(node, u"document_type");
}

}  // namespace xml
