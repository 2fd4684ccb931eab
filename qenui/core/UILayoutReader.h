// The element walk behind CMarkup: layout bytes or text in, a tree of
// elements with their names and attributes (in file order) out. Layouts are
// read with the foundation's CXmlDocument; this is the one place that knows
// how.
#pragma once

#include <string>

#include "qenui/core/UIMarkup.h"

namespace DuiLib {

// Layout file bytes to text: UTF-16 LE or BE after their byte-order mark,
// otherwise the encoding the XML declaration names (UTF-8 when none, with
// or without its mark). NUL units are dropped, as the document's own file
// reading does.
std::u16string DecodeLayoutBytes(const std::string& bytes);

// Elements with their attributes; comments, declarations and text between
// elements are skipped; character references and named entities are
// decoded; a repeated attribute is listed once, with its first value.
// False (with a reason) for a document that is not well formed, for more or
// less than one root element and for nesting deeper than 200.
bool ReadLayoutElements(const std::u16string& text, CMarkupNode* root, std::string* error);

}  // namespace DuiLib
