#include "foundation/xml/xml_tokenizer.h"

#include "foundation/xml/xml_element_table.h"

namespace xml {

namespace {

bool BeginsStartTag(char16_t c) {
  return (c >= u'A' && c <= u'Z') || c > 96 || c == u'_' || c == u':';
}

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

int Tokenizer::QuoteEnd(int open) const {
  const char16_t quote = text_[open];
  for (int i = open + 1; i < length_; ++i) {
    if (text_[i] == quote) return i;
  }
  return -1;
}

void Tokenizer::TakeName(Node& node, int from) const {
  int i = from;
  while (i < length_ && !IsXmlSpace(text_[i]) && text_[i] != u'/' && text_[i] != u'>') ++i;
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
    bool blank = true;
    while (i < length_ && t[i] != u'<') {
      if (!IsXmlSpace(t[i])) blank = false;
      ++i;
    }
    node.length = i - node.start;
    pos_ = i;
    return node.kind = (blank && i < length_) ? kNodeWhitespace : kNodeText;
  }
  if (i + 1 >= length_) return Unterminated(node, u"tag");
  const char16_t c = t[i + 1];
  int end = -1;
  if (BeginsStartTag(c)) return ScanStartTag(node);
  if (c == u'/') {
    TakeName(node, i + 2);
    end = Find(i + 2, u">", 1);
    if (end < 0) return Unterminated(node, u"end_tag");
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

int Tokenizer::ScanStartTag(Node& node) {
  const char16_t* t = text_;
  TakeName(node, node.start + 1);
  int j = node.nameStart + node.nameLength;
  bool inUnquotedValue = false;
  int unquotedValueStart = 0;
  while (j < length_) {
    const char16_t c = t[j];
    if (c == u'>') {
      bool empty = j > node.start + 1 && t[j - 1] == u'/';
      // "<a href=x/>": the slash ends the unquoted value, not the tag.
      if (empty && inUnquotedValue && j - 1 > unquotedValueStart - 1) {
        const char16_t before = t[j - 2];
        if (!IsXmlSpace(before) && before != u'"' && before != u'\'') empty = false;
      }
      if (empty) node.flags |= kNodeEmptyElement;
      node.kind = kNodeElement;
      node.length = j + 1 - node.start;
      pos_ = j + 1;
      if (node.length > kMaxStartTagLen) {
        // Longer than a position record can hold: refused as a bad tag.
        return Fail(node, u"first_tag_syntax", node.start, j);
      }
      return node.kind;
    }
    if (inUnquotedValue && IsXmlSpace(c)) inUnquotedValue = false;
    if (c == u'=' && !inUnquotedValue) {
      ++j;
      while (j < length_ && IsXmlSpace(t[j])) ++j;
      if (j < length_ && (t[j] == u'"' || t[j] == u'\'')) {
        const int close = QuoteEnd(j);
        if (close < 0) return Unterminated(node, u"start_tag");
        j = close + 1;
      } else {
        inUnquotedValue = true;
        unquotedValueStart = j;
      }
      continue;
    }
    ++j;
  }
  return Unterminated(node, u"start_tag");
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
