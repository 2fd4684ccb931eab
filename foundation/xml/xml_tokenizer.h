// The tokenizer of CXmlDocument: reads one node at a time from a UTF-16
// text and reports its kind and extent. A pure scanner: it keeps no state
// beyond the scan position and touches nothing but the text it is given.
#pragma once

#include <cstdint>

namespace xml {

// Node kinds returned by NextNode.
enum NodeKind : int {
  kNodeEndTag = 0,
  kNodeElement = 1,
  kNodeText = 2,
  kNodeWhitespace = 4,
  kNodeCData = 8,
  kNodePI = 16,
  kNodeComment = 32,
  kNodeDocType = 64,
  kNodeError = -1,
  kNodeEnd = -2,
};

// Node flag: the start tag ends with "/>".
constexpr uint32_t kNodeEmptyElement = 0x10000;

inline bool IsXmlSpace(char16_t c) {
  return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r';
}

// The syntax error a scan ran into, ready to become a result record.
struct SyntaxError {
  const char16_t* record = nullptr;  // e.g. u"first_tag_syntax"; null = none
  const char16_t* type = nullptr;    // node kind name for unterminated tags
  int offset = -1;
};

struct Node {
  int kind = kNodeEnd;
  int start = 0;
  int length = 0;
  uint32_t flags = 0;
  int nameStart = 0;   // tag name of start tags, end tags and PIs
  int nameLength = 0;
  SyntaxError error;
};

// Length of the tag name that the parse sees in the start tag at
// text[start] ('<'): up to whitespace, '/' or '>'. An end tag written for
// the element must repeat exactly this name.
int ParsedTagNameLength(const char16_t* text, int length, int start);

// Scans text[0, length) from `pos`.
class Tokenizer {
 public:
  Tokenizer(const char16_t* text, int length, int pos = 0)
      : text_(text), length_(length), pos_(pos) {}

  // Reads the node at the scan position and moves past it.
  int Next(Node& node);
  int Position() const { return pos_; }

 private:
  int ScanStartTag(Node& node);
  int ScanDocType(Node& node);
  int Fail(Node& node, const char16_t* record, int offset, int skipFrom);
  int Unterminated(Node& node, const char16_t* type);
  // Position of `pattern` (2 or 3 units) at or after `from`, or -1.
  int Find(int from, const char16_t* pattern, int patternLength) const;
  int QuoteEnd(int open) const;  // position of the closing quote or -1
  void TakeName(Node& node, int from) const;

  const char16_t* text_;
  int length_;
  int pos_;
};

}  // namespace xml
