// The parse of CXmlDocument: a pure function from a UTF-16 text to the
// element position table and the parse's result records.
#pragma once

#include <string>

#include "foundation/xml/xml_element_table.h"

namespace xml {

struct ParseOutcome {
  bool wellFormed = false;  // one root, no error below the document
  int nextFree = 1;         // element count, the document record included
};

// Fills `table` (record 0 is the document) from text[0, length) and appends
// the parse's records to `result`. Never fails: every problem becomes a
// record and every element found stays in the table.
ParseOutcome ParseDocument(const char16_t* text, int length, ElemPosTable& table,
                           std::u16string& result);

// The well-formed test over an already parsed table.
bool IsWellFormed(const ElemPosTable& table);

}  // namespace xml
