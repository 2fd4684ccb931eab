// Construction, parse and navigation of CXmlDocument.
#include "foundation/xml/xml_document.h"

#include <cstring>
#include <utility>

#include "foundation/xml/xml_encoding.h"
#include "foundation/xml/xml_parser.h"
#include "foundation/xml/xml_text.h"
#include "foundation/xml/xml_tokenizer.h"

using xml::ElemPos;

namespace {

bool IsPathNameUnit(char16_t c) {
  return c && c != u'/' && c != u'[' && c != u']' && c != u'@' && c != u'=' && c != u'"' &&
         c != u'\'' && !xml::IsXmlSpace(c);
}

// The form of a find path: name, predicates in brackets, steps separated by
// '/', an optional final "@attribute"; '/' or '//' may lead.
bool PathWellFormed(const std::u16string& path) {
  const char16_t* p = path.c_str();
  size_t i = 0;
  const size_t n = path.size();
  if (n == 0) return true;
  bool anywhere = false;
  if (p[0] == u'/') {
    i = 1;
    if (p[1] == u'/') {
      i = 2;
      anywhere = true;
    }
  }
  auto name = [&]() {
    if (p[i] >= u'0' && p[i] <= u'9') return false;
    const size_t from = i;
    while (IsPathNameUnit(p[i])) ++i;
    return i > from;
  };
  for (;;) {
    if (p[i] == u'@') {
      ++i;
      return name() && i == n;
    }
    if (!name()) return false;
    while (p[i] == u'[') {
      ++i;
      if (p[i] >= u'1' && p[i] <= u'9') {
        while (p[i] >= u'0' && p[i] <= u'9') ++i;
      } else if (p[i] == u'@') {
        ++i;
        if (!name()) return false;
        if (p[i] == u'=') {
          ++i;
          if (p[i] == u'"' || p[i] == u'\'') {
            const char16_t quote = p[i++];
            while (p[i] && p[i] != quote) ++i;
            if (!p[i]) return false;
            ++i;
          } else {
            while (p[i] && p[i] != u']') ++i;
          }
        }
      } else if (!name()) {
        return false;
      }
      if (p[i] != u']') return false;
      ++i;
    }
    if (i == n) return true;
    if (p[i] != u'/' || anywhere) return false;
    ++i;
  }
}

}  // namespace

CXmlDocument::CXmlDocument() { SetDocument(static_cast<const char16_t*>(nullptr)); }

CXmlDocument::CXmlDocument(const std::u16string& text) { SetDocument(text); }

CXmlDocument::~CXmlDocument() { table_.Free(); }

bool CXmlDocument::SetDocument(const char16_t* text) {
  if (text) {
    text_ = text;
  } else {
    text_.clear();
  }
  result_.clear();
  Parse();
  return CheckDocument();
}

bool CXmlDocument::SetDocument(const std::u16string& text) {
  text_ = text;
  result_.clear();
  Parse();
  return CheckDocument();
}

bool CXmlDocument::SetDocument(std::u16string&& text) {
  text_ = std::move(text);
  result_.clear();
  Parse();
  return CheckDocument();
}

bool CXmlDocument::SetDocument(const char* text) {
  const size_t n = text ? std::strlen(text) : 0;
  text_ = xml::Utf8ToUtf16(text ? text : "", n);
  result_.clear();
  Parse();
  return CheckDocument();
}

void CXmlDocument::Parse() {
  attributesOf_ = 0;
  if (text_.size() > xml::kMaxTextLength) text_.clear();
  SetCursor(0, 0, 0);
  freeList_ = 0;
  const xml::ParseOutcome outcome =
      xml::ParseDocument(text_.data(), static_cast<int>(text_.size()), table_, result_);
  nextFree_ = outcome.nextFree;
  SetCursor(0, 0, 0);
}

bool CXmlDocument::CheckDocument() const { return xml::IsWellFormed(table_); }

void CXmlDocument::SetCursor(int parent, int pos, int child) {
  parent_ = parent;
  pos_ = pos;
  child_ = child;
  nodeType_ = pos ? 1 : 0;
}

bool CXmlDocument::IsLiveElement(int index) const {
  return index > 0 && index < nextFree_ && !table_[index].Has(xml::kElemDeleted);
}

void CXmlDocument::ResetPosition() { SetCursor(0, 0, 0); }

bool CXmlDocument::FindElement(const std::u16string& path) {
  if (!PathWellFormed(path) || (!path.empty() && path[0] == u'/')) return false;
  const int candidate = pos_ ? table_[pos_].next : table_[parent_].child;
  const char16_t* text = text_.c_str();
  const int length = static_cast<int>(text_.size());
  for (int e = candidate; e; e = table_[e].next) {
    bool match = path.empty();
    if (!match) {
      int nameStart = 0, nameLength = 0;
      xml::TagNameAt(text, length, table_[e].start, &nameStart, &nameLength);
      match = xml::NameMatches(text + nameStart, nameLength, path.c_str());
    }
    if (match) {
      SetCursor(table_[e].parent, e, 0);
      return true;
    }
    if (path.empty()) break;
  }
  return false;
}

bool CXmlDocument::IntoElement() {
  if (!pos_ || nodeType_ != 1) return false;
  SetCursor(pos_, child_, 0);
  return true;
}

bool CXmlDocument::OutOfElement() {
  if (!parent_) return false;
  SetCursor(table_[parent_].parent, parent_, pos_);
  return true;
}

std::u16string CXmlDocument::GetTagName() const {
  if (!IsLiveElement(pos_) || nodeType_ != 1) return std::u16string();
  int nameStart = 0, nameLength = 0;
  xml::TagNameAt(text_.c_str(), static_cast<int>(text_.size()), table_[pos_].start, &nameStart,
                 &nameLength);
  return text_.substr(nameStart, nameLength);
}

const std::vector<xml::AttributeSpan>& CXmlDocument::AttributesOf(int index) const {
  if (attributesOf_ != index) {
    const ElemPos& e = table_[index];
    xml::ListAttributes(text_.c_str(), e.start + e.StartTagLen(), e.start, &attributes_);
    attributesOf_ = index;
  }
  return attributes_;
}

std::u16string CXmlDocument::GetAttributeName(int n) const {
  if (!IsLiveElement(pos_) || nodeType_ != 1 || n < 0) return std::u16string();
  for (const xml::AttributeSpan& a : AttributesOf(pos_)) {
    if (a.nameLength == 0) continue;  // a stray '=' names nothing
    if (n-- == 0) return text_.substr(a.nameStart, a.nameLength);
  }
  return std::u16string();
}

std::u16string CXmlDocument::GetAttribute(const std::u16string& name) const {
  return GetAttributeAt(pos_, name);
}

std::u16string CXmlDocument::GetAttributeAt(int index, const std::u16string& name) const {
  if (!IsLiveElement(index) || nodeType_ != 1) return std::u16string();
  const char16_t* text = text_.c_str();
  for (const xml::AttributeSpan& a : AttributesOf(index)) {
    if (xml::NameMatches(text + a.nameStart, a.nameLength, name.c_str())) {
      return xml::UnescapeText(text + a.valueStart, a.valueLength);
    }
  }
  return std::u16string();
}

std::u16string CXmlDocument::GetData() const { return DataOf(pos_); }

std::u16string CXmlDocument::GetChildData() const { return DataOf(child_); }

std::u16string CXmlDocument::DataOf(int index) const {
  std::u16string data;
  if (!IsLiveElement(index)) return data;
  const ElemPos& e = table_[index];
  if (e.child || e.EndTagLen() == 0) return data;
  const char16_t* text = text_.c_str();
  xml::Tokenizer tokenizer(text, e.ContentEnd(), e.ContentStart());
  xml::Node node;
  for (;;) {
    const int kind = tokenizer.Next(node);
    if (kind == xml::kNodeEnd) break;
    if (kind == xml::kNodeText || kind == xml::kNodeWhitespace) {
      data += xml::UnescapeText(text + node.start, node.length);
    } else if (kind == xml::kNodeCData && node.length >= 12) {
      data.append(text + node.start + 9, node.length - 12);  // <![CDATA[ ... ]]>
    }
  }
  return data;
}

std::u16string CXmlDocument::EscapeText(const std::u16string& text, int flags) {
  return xml::EscapeText(text.data(), text.size(), flags);
}

std::u16string CXmlDocument::UnescapeText(const char16_t* text, long length) {
  return xml::UnescapeText(text, length);
}
