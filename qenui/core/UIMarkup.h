// CMarkup: a parsed layout file, kept as a tree of elements with their
// attributes in file order. The parse goes through one small element-walk
// adapter (UILayoutReader.h), so the XML reader behind it can change in one place.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "qenui/core/UIString.h"

namespace DuiLib {

struct CMarkupNode {
  CDuiString name;
  std::vector<std::pair<CDuiString, CDuiString>> attributes;
  std::vector<CMarkupNode> children;
  bool HasAttribute(LPCTSTR n) const;
  CDuiString GetAttributeValue(LPCTSTR n) const;
};

class CMarkup {
 public:
  bool Load(const std::u16string& text);
  bool LoadFromBytes(const std::string& bytes);  // see DecodeLayoutBytes (UILayoutReader.h)
  bool IsValid() const { return m_bValid; }
  void Release() { m_root = CMarkupNode(); m_bValid = false; }
  const CMarkupNode& GetRoot() const { return m_root; }
  const std::string& GetLastError() const { return m_error; }

 private:
  CMarkupNode m_root;
  bool m_bValid = false;
  std::string m_error;
};

}  // namespace DuiLib
