// Editing of CXmlDocument in place: every edit replaces one span of the
// document text and shifts the records behind it.
#include <string>
#include <vector>

#include "foundation/xml/xml_document.h"
#include "foundation/xml/xml_text.h"
#include "foundation/xml/xml_tokenizer.h"

using xml::ElemPos;

namespace {

constexpr char16_t kCrLf[] = u"\r\n";
// Names longer than this would not fit the end-tag length of a record.
constexpr size_t kMaxNameLength = xml::kMaxEndTagLen - 3;

// A name that an edit may write: not empty, and without a unit that ends a
// tag or attribute name when the text is read back (whitespace, ! " ' / ; <
// = > ? \), ends a name in a path ([ ]), or has no place in a name at all
// (control characters, &).
bool IsWritableName(const std::u16string& name) {
  if (name.empty()) return false;
  for (const char16_t c : name) {
    if (c < 0x20 || c == 0x7F) return false;
    switch (c) {
      case u' ': case u'!': case u'"': case u'\'': case u'/': case u';': case u'<': case u'=':
      case u'>': case u'?': case u'\\': case u'[': case u']': case u'&':
        return false;
      default:
        break;
    }
  }
  return true;
}

std::u16string DecimalText(int value) {
  const std::string s = std::to_string(value);
  return std::u16string(s.begin(), s.end());
}

std::u16string CDataSection(const std::u16string& data) {
  std::u16string out = u"<![CDATA[";
  size_t from = 0;
  for (;;) {
    const size_t at = data.find(u"]]>", from);
    if (at == std::u16string::npos) break;
    out.append(data, from, at - from);
    out += u"]]]]><![CDATA[>";
    from = at + 3;
  }
  out.append(data, from, std::u16string::npos);
  out += u"]]>";
  return out;
}

}  // namespace

void CXmlDocument::ReplaceText(int offset, int oldLength, const std::u16string& replacement) {
  attributesOf_ = 0;
  const size_t newLength = text_.size() - oldLength + replacement.size();
  if (newLength > text_.capacity()) text_.reserve(newLength + newLength / 2 + 128);
  text_.replace(offset, oldLength, replacement);
}

void CXmlDocument::ShiftSubtree(int root, int delta) {
  int i = root;
  for (;;) {
    table_[i].start += delta;
    if (table_[i].child) {
      i = table_[i].child;
      continue;
    }
    while (i != root && !table_[i].next) i = table_[i].parent;
    if (i == root) break;
    i = table_[i].next;
  }
}

void CXmlDocument::ShiftFollowing(int index, int delta) {
  int i = index;
  while (i) {
    for (int s = table_[i].next; s; s = table_[s].next) ShiftSubtree(s, delta);
    i = table_[i].parent;
    table_[i].length += delta;
  }
}

int CXmlDocument::SkipWhitespaceBeforeTag(int offset) const {
  size_t j = offset;
  while (j < text_.size() && xml::IsXmlSpace(text_[j])) ++j;
  if (j == text_.size() || text_[j] == u'<') return static_cast<int>(j);
  return offset;
}

void CXmlDocument::LinkElement(int index, int parent, int reference, bool before) {
  ElemPos& e = table_[index];
  ElemPos& p = table_[parent];
  e.parent = parent;
  const int first = p.child;
  if (!first) {
    p.child = index;
    e.prev = index;
    e.next = 0;
    e.Set(xml::kElemFirstChild);
    return;
  }
  if ((!reference && before) || (before && reference == first)) {
    e.next = first;
    e.prev = table_[first].prev;
    table_[first].prev = index;
    table_[first].Clear(xml::kElemFirstChild);
    e.Set(xml::kElemFirstChild);
    p.child = index;
  } else if (!reference) {
    const int last = table_[first].prev;
    table_[last].next = index;
    e.prev = last;
    e.next = 0;
    table_[first].prev = index;
  } else if (before) {
    const int prev = table_[reference].prev;
    table_[prev].next = index;
    e.prev = prev;
    e.next = reference;
    table_[reference].prev = index;
  } else {
    e.next = table_[reference].next;
    e.prev = reference;
    table_[reference].next = index;
    if (e.next) {
      table_[e.next].prev = index;
    } else {
      table_[first].prev = index;
    }
  }
}

bool CXmlDocument::SetAttribute(const std::u16string& name, const std::u16string& value,
                                int flags) {
  return SetAttributeAt(pos_, name, value, flags);
}

bool CXmlDocument::SetAttribute(const std::u16string& name, int value, int flags) {
  return SetAttributeAt(pos_, name, DecimalText(value), flags);
}

bool CXmlDocument::SetAttributeAt(int index, const std::u16string& name, int value, int flags) {
  return SetAttributeAt(index, name, DecimalText(value), flags);
}

bool CXmlDocument::SetChildAttribute(const std::u16string& name, const std::u16string& value,
                                     int flags) {
  return SetAttributeAt(child_, name, value, flags);
}

bool CXmlDocument::SetChildAttribute(const std::u16string& name, int value, int flags) {
  return SetAttributeAt(child_, name, DecimalText(value), flags);
}

bool CXmlDocument::SetAttributeAt(int index, const std::u16string& name,
                                  const std::u16string& value, int flags) {
  if (!IsLiveElement(index) || nodeType_ != 1 || !IsWritableName(name)) return false;
  const ElemPos& e = table_[index];
  const int limit = e.start + e.StartTagLen();
  const std::u16string quoted =
      u"\"" + xml::EscapeText(value.data(), value.size(), flags | xml::kEscapeAttribute) + u"\"";
  xml::AttributeSpan a;
  int scanEnd = 0;
  int at = 0, oldLength = 0;
  std::u16string replacement;
  if (xml::ScanAttributes(text_.c_str(), limit, e.start, name.c_str(), &a, &scanEnd)) {
    if (!a.hasValue) {
      at = a.end;
      replacement = u"=" + quoted;
    } else if (a.quoted) {
      if (a.valueStart + a.valueLength >= limit) return false;  // quote never closed
      at = a.valueStart - 1;
      oldLength = a.valueLength + 2;
      replacement = quoted;
    } else {
      at = a.valueStart;
      oldLength = a.valueLength;
      replacement = quoted;
    }
  } else {
    at = scanEnd;
    replacement = u" " + name + u"=" + quoted;
  }
  if (text_.size() + replacement.size() > xml::kMaxTextLength) return false;
  const int delta = static_cast<int>(replacement.size()) - oldLength;
  if (e.StartTagLen() + static_cast<long>(delta) > xml::kMaxStartTagLen) return false;
  ReplaceText(at, oldLength, replacement);
  ElemPos& rec = table_[index];
  rec.SetStartTagLen(rec.StartTagLen() + delta);
  rec.length += delta;
  for (int c = rec.child; c; c = table_[c].next) ShiftSubtree(c, delta);
  ShiftFollowing(index, delta);
  return true;
}

bool CXmlDocument::AddElement(const std::u16string& name, const std::u16string& data, int flags) {
  return AddNode(name, data, flags & ~XML_ADD_CHILD);
}

bool CXmlDocument::AddChildElement(const std::u16string& name, const std::u16string& data,
                                   int flags) {
  return AddNode(name, data, flags | XML_ADD_CHILD);
}

bool CXmlDocument::AddNode(const std::u16string& name, const std::u16string& data, int flags) {
  const bool childForm = (flags & XML_ADD_CHILD) != 0;
  const bool breaks = !(flags & XML_ADD_NO_BREAKS);
  const bool before = (flags & XML_ADD_BEFORE) != 0;
  if (!IsWritableName(name) || name.size() > kMaxNameLength) return false;
  if ((flags & XML_ADD_START_TAG_ONLY) && !data.empty()) return false;
  if (childForm && (!IsLiveElement(pos_) || nodeType_ != 1)) return false;
  const int parent = childForm ? pos_ : parent_;
  const int reference = childForm ? child_ : pos_;
  if (reference && !IsLiveElement(reference)) return false;
  if (parent && !IsLiveElement(parent)) return false;

  // The element's own text.
  std::u16string element = u"<" + name;
  int startTagLength, endTagLength = 0;
  if (!data.empty()) {
    element += u">";
    element += (flags & XML_ADD_CDATA)
                   ? CDataSection(data)
                   : xml::EscapeText(data.data(), data.size(), flags & xml::kEscapeKeepRefs);
    element += u"</" + name + u">";
    startTagLength = static_cast<int>(name.size()) + 2;
    endTagLength = static_cast<int>(name.size()) + 3;
  } else {
    element += (flags & XML_ADD_START_TAG_ONLY) ? u">"
               : (flags & XML_ADD_SPACE_SLASH)  ? u" />"
                                                : u"/>";
    startTagLength = static_cast<int>(element.size());
  }
  const int elementLength = static_cast<int>(element.size());
  if (breaks) element += kCrLf;
  const int crlf = breaks ? 2 : 0;

  const ElemPos& p = table_[parent];
  const bool contentless = parent && p.EndTagLen() == 0;
  int at = 0, oldLength = 0, newStart = 0;
  std::u16string replacement;
  int parentNameLength = 0;
  int keptLength = 0;  // units of the empty parent's "/>" that stay in its start tag
  if (contentless) {
    if (reference) return false;
    const int nameStart = p.start + 1;
    parentNameLength =
        xml::ParsedTagNameLength(text_.c_str(), static_cast<int>(text_.size()), p.start);
    if (parentNameLength == 0 || parentNameLength > static_cast<int>(kMaxNameLength)) {
      return false;
    }
    const std::u16string endTag = u"</" + text_.substr(nameStart, parentNameLength) + u">";
    if (p.Has(xml::kElemUnended)) {
      at = p.start + p.StartTagLen();
      replacement = (breaks ? kCrLf : u"") + element + endTag;
      newStart = at + crlf;
    } else {
      at = p.start + p.StartTagLen() - 2;
      if (at <= p.start || text_[at] != u'/' || text_[at + 1] != u'>') return false;
      oldLength = 2;
      // "<a//>": dropping one slash would leave "/>"; a blank takes its place.
      keptLength = text_[at - 1] == u'/' ? 1 : 0;
      replacement = (keptLength ? u" >" : u">") + std::u16string(breaks ? kCrLf : u"") +
                    element + endTag;
      newStart = at + 1 + keptLength + crlf;
    }
  } else {
    if (reference) {
      const ElemPos& r = table_[reference];
      at = before ? r.start : r.start + r.length;
      if (!before && breaks) at = SkipWhitespaceBeforeTag(at);
    } else if (before) {
      at = parent ? p.ContentStart() : 0;
      if (breaks) at = SkipWhitespaceBeforeTag(at);
    } else {
      at = parent ? p.ContentEnd() : static_cast<int>(text_.size());
    }
    const bool emptyContent = parent && p.length == p.StartTagLen() + p.EndTagLen();
    replacement = (emptyContent && breaks ? kCrLf : u"") + element;
    newStart = at + ((emptyContent && breaks) ? 2 : 0);
  }
  if (text_.size() + replacement.size() > xml::kMaxTextLength) return false;

  const int index = table_.TakeIndex(nextFree_);
  const int delta = static_cast<int>(replacement.size()) - oldLength;
  ReplaceText(at, oldLength, replacement);
  ElemPos& e = table_[index];
  e.start = newStart;
  e.length = elementLength;
  e.SetStartTagLen(startTagLength);
  e.SetEndTagLen(endTagLength);
  e.SetLevel(parent ? table_[parent].Level() + 1 : 0);
  if (flags & XML_ADD_START_TAG_ONLY) e.Set(xml::kElemUnended);
  LinkElement(index, parent, reference, before);
  if (contentless) {
    ElemPos& pr = table_[parent];
    if (!pr.Has(xml::kElemUnended)) pr.SetStartTagLen(pr.StartTagLen() - 1 + keptLength);
    pr.Clear(xml::kElemUnended);
    pr.SetEndTagLen(parentNameLength + 3);
    pr.length = pr.StartTagLen() + crlf + static_cast<int>(element.size()) + parentNameLength + 3;
    ShiftFollowing(parent, delta);
  } else {
    ShiftFollowing(index, delta);
  }
  if (childForm) {
    SetCursor(parent_, pos_, index);
  } else {
    SetCursor(parent, index, 0);
  }
  return true;
}

bool CXmlDocument::RemoveElement() {
  if (!IsLiveElement(pos_) || nodeType_ != 1) return false;
  const int index = pos_;
  const ElemPos& e = table_[index];
  const int from = e.start;
  int to = e.start + e.length;
  size_t j = to;
  while (j < text_.size() && xml::IsXmlSpace(text_[j])) ++j;
  if (j == text_.size() || text_[j] == u'<') to = static_cast<int>(j);
  ReplaceText(from, to - from, std::u16string());
  ShiftFollowing(index, from - to);

  // Unlink; the first child keeps the backward link to the last sibling.
  const int parent = e.parent;
  const int first = table_[parent].child;
  const int next = e.next;
  const int prev = e.prev;
  const bool wasFirst = first == index;
  if (wasFirst) {
    table_[parent].child = next;
    if (next) {
      table_[next].prev = prev;
      table_[next].Set(xml::kElemFirstChild);
    }
  } else {
    table_[prev].next = next;
    if (next) {
      table_[next].prev = prev;
    } else {
      table_[first].prev = prev;
    }
  }

  // Mark the element and its subtree deleted and chain them on the free list.
  std::vector<int> removed;
  removed.push_back(index);
  for (size_t k = 0; k < removed.size(); ++k) {
    for (int c = table_[removed[k]].child; c; c = table_[c].next) removed.push_back(c);
  }
  for (const int r : removed) {
    table_[r].Set(xml::kElemDeleted);
    table_[r].next = freeList_;
    freeList_ = r;
  }
  SetCursor(parent, wasFirst ? 0 : prev, 0);
  return true;
}
