#include "qenui/core/UIMarkup.h"
#include "qenui/core/UILayoutReader.h"

namespace DuiLib {

bool CMarkupNode::HasAttribute(LPCTSTR n) const {
  for (auto& a : attributes) if (a.first == n) return true;
  return false;
}
CDuiString CMarkupNode::GetAttributeValue(LPCTSTR n) const {
  for (auto& a : attributes) if (a.first == n) return a.second;
  return CDuiString();
}


bool CMarkup::Load(const std::u16string& text) {
  Release();
  m_error.clear();
  m_bValid = ReadLayoutElements(text, &m_root, &m_error);
  if (!m_bValid) m_root = CMarkupNode();
  return m_bValid;
}

bool CMarkup::LoadFromBytes(const std::string& bytes) { return Load(DecodeLayoutBytes(bytes)); }

}  // namespace DuiLib
