// The element walk behind CMarkup: layout text in, a tree of elements with
// their names and attributes (in file order) out. This is the one place that
// knows how layout XML is read; a reader over CXmlDocument replaces it here
// once the document offers element names and the list of an element's
// attributes.
#pragma once

#include <string>

#include "qenui/core/UIMarkup.h"

namespace DuiLib {

// Start tags, end tags and empty-element tags; comments, declarations and
// text between elements are skipped; character references and the five
// named entities are decoded. False (with a reason) for anything malformed,
// for more or less than one root element and for nesting deeper than 200.
bool ReadLayoutElements(const std::u16string& text, CMarkupNode* root, std::string* error);

}  // namespace DuiLib
