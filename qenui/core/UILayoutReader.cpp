#include "qenui/core/UILayoutReader.h"

#include <algorithm>

#include "foundation/xml/xml_document.h"
#include "foundation/xml/xml_encoding.h"

namespace DuiLib {

namespace {

constexpr int kMaxDepth = 200;

bool Fail(std::string* error, const std::string& what) {
  *error = "layout: " + what;
  return false;
}

// Reads the element at the document's cursor and, below it, its children.
// Leaves the cursor on the element.
bool ReadElement(CXmlDocument& doc, int depth, CMarkupNode* node, std::string* error) {
  if (depth > kMaxDepth) return Fail(error, "elements nested too deep");
  node->name = doc.GetTagName();
  if (node->name.IsEmpty()) return Fail(error, "element without a name");
  for (int i = 0;; ++i) {
    const std::u16string name = doc.GetAttributeName(i);
    if (name.empty()) break;
    // A repeated name reads the first value (the document's lookup), so
    // it is listed once.
    if (node->HasAttribute(name.c_str())) continue;
    node->attributes.emplace_back(CDuiString(name), CDuiString(doc.GetAttribute(name)));
  }
  if (!doc.IntoElement()) return true;
  bool ok = true;
  while (ok && doc.FindElement()) {
    node->children.emplace_back();
    ok = ReadElement(doc, depth + 1, &node->children.back(), error);
  }
  doc.OutOfElement();
  return ok;
}

}  // namespace

std::u16string DecodeLayoutBytes(const std::string& bytes) {
  auto starts = [&](const char* mark, size_t n) { return bytes.size() >= n && bytes.compare(0, n, mark, n) == 0; };
  const bool le = starts("\xFF\xFE", 2);
  if (le || starts("\xFE\xFF", 2)) {
    std::u16string text;
    text.reserve(bytes.size() / 2);
    for (size_t k = 2; k + 1 < bytes.size(); k += 2) {
      const unsigned a = static_cast<unsigned char>(bytes[k]), b = static_cast<unsigned char>(bytes[k + 1]);
      const char16_t u = static_cast<char16_t>(le ? (b << 8 | a) : (a << 8 | b));
      if (u) text += u;
    }
    return text;
  }
  std::string body = bytes.substr(starts("\xEF\xBB\xBF", 3) ? 3 : 0);
  body.erase(std::remove(body.begin(), body.end(), '\0'), body.end());
  const std::u16string head = xml::Utf8ToUtf16(body.data(), std::min<size_t>(body.size(), 1024));
  std::u16string encoding = CXmlDocument::GetDeclaredEncoding(head);
  // Without a mark the bytes are 8-bit whatever a declaration says: a
  // declared UTF-16 or UTF-32 is read as UTF-8.
  const int page = xml::CodePageFromName(encoding);
  const bool wide = page == 1200 || page == 1201 || page == 12000 || page == 12001 || page == xml::kCodePageUtf32;
  if (encoding.empty() || wide) encoding = u"UTF-8";
  return xml::TextConverter::ToUtf16(body, encoding);
}

bool ReadLayoutElements(const std::u16string& text, CMarkupNode* root, std::string* error) {
  CXmlDocument doc;
  if (!doc.SetDocument(text)) {
    if (doc.GetResult().empty()) return Fail(error, "no root element");
    return Fail(error, "not well formed: " + xml::Utf16ToUtf8(doc.GetResult().data(), doc.GetResult().size()));
  }
  if (!doc.FindElement()) return Fail(error, "no root element");
  CMarkupNode node;
  if (!ReadElement(doc, 1, &node, error)) return false;
  *root = std::move(node);
  return true;
}

}  // namespace DuiLib
