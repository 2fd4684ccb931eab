// Helpers shared by the CXmlDocument tests.
#pragma once

#include <string>

#include "foundation/xml/xml_encoding.h"

// UTF-8 source text to the document's UTF-16 and back, for readable tests.
inline std::u16string U(const std::string& s) { return xml::Utf8ToUtf16(s.data(), s.size()); }
inline std::string N(const std::u16string& s) { return xml::Utf16ToUtf8(s.data(), s.size()); }
