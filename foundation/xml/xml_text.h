// Text helpers of CXmlDocument: escaping and decoding of character and
// entity references, the name comparison, tag names and attribute scans.
#pragma once

#include <string>
#include <vector>

namespace xml {

// Escape flags (shared with the add flags of the document).
enum : int {
  kEscapeKeepRefs = 0x8,     // copy references already present as they stand
  kEscapeAttribute = 0x100,  // also escape both quote characters
};

std::u16string EscapeText(const char16_t* text, size_t length, int flags);
// Decodes character and entity references; length -1 reads to the first NUL.
std::u16string UnescapeText(const char16_t* text, long length = -1);

// Code point of a named reference: the name as written first, else its
// lower-case form (the first entry, the capital letter's, for names that
// exist in two cases). 0 when unknown.
unsigned LookupEntity(const char16_t* name, size_t length);

// The name comparison: `stored` (of `storedLength` units) matches `given`
// when the units are equal and `given` ends right there (NUL, space, '/',
// '=', '[' or ']' follows). The case-insensitive form folds ASCII letters
// until a unit of 128 or above has matched.
bool NameMatches(const char16_t* stored, size_t storedLength, const char16_t* given,
                 bool ignoreCase = false);

// The tag name at `start` ('<' or the unit after it): whitespace skipped,
// then the word up to whitespace or one of ! " ' / ; < = > ? backslash.
void TagNameAt(const char16_t* text, int length, int start, int* nameStart, int* nameLength);

// One attribute of a start tag, as found by ScanAttributes.
struct AttributeSpan {
  int nameStart = 0, nameLength = 0;
  bool hasValue = false;  // an '=' followed the name
  bool quoted = false;
  int valueStart = 0, valueLength = 0;  // inside the quotes
  int end = 0;                          // one past the value (or the name)
};

// Scans the attributes of the tag starting at text[start] ('<'), within
// text[0, limit). Stops at the first attribute whose name matches `name`
// (returns true and fills `found`); otherwise returns false with
// `*scanEnd` = one past the last name or value read (where a new attribute
// is to be inserted).
bool ScanAttributes(const char16_t* text, int limit, int start, const char16_t* name,
                    AttributeSpan* found, int* scanEnd, bool ignoreCase = false);

// Every attribute of the tag starting at text[start], in the order written,
// as ScanAttributes reads them one by one (nameless ones included): the
// first of them whose name matches is the one ScanAttributes finds.
void ListAttributes(const char16_t* text, int limit, int start, std::vector<AttributeSpan>* out);

}  // namespace xml
