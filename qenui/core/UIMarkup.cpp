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

bool CMarkup::LoadFromBytes(const std::string& bytes) {
  const bool le = bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF && static_cast<unsigned char>(bytes[1]) == 0xFE;
  const bool be = bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFE && static_cast<unsigned char>(bytes[1]) == 0xFF;
  if (le || be) {
    std::u16string t;
    for (size_t k = 2; k + 1 < bytes.size(); k += 2) {
      unsigned lo = static_cast<unsigned char>(bytes[le ? k : k + 1]);
      unsigned hi = static_cast<unsigned char>(bytes[le ? k + 1 : k]);
      t += static_cast<char16_t>(lo | (hi << 8));
    }
    return Load(t);
  }
  size_t skip = bytes.size() >= 3 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
  return Load(Utf8ToUtf16(bytes.substr(skip)));
}

}  // namespace DuiLib
