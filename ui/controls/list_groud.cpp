#include "ui/controls/list_groud.h"

#include <cstdlib>
#include <string>

namespace DuiLib {

CListGroudUI::CListGroudUI() {
  m_pLine = new CLabelUI;
  m_pLine->SetAttribute(u"height", u"1");
  m_pLine->SetBkColor(m_dwLineColor);
  Add(m_pLine);
}

void CListGroudUI::SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) {
  if (CompareNoCase(pstrName, u"linecolor") != 0) {
    CVerticalLayoutUI::SetAttribute(pstrName, pstrValue);
    return;
  }
  std::string hex = CDuiString(pstrValue).ToUtf8();
  if (!hex.empty() && hex[0] == '#') hex.erase(0, 1);
  m_dwLineColor = static_cast<DWORD>(std::strtoul(hex.c_str(), nullptr, 16));
  m_pLine->SetBkColor(m_dwLineColor);
}

void CListGroudUI::SetPos(RECT rc, bool bNeedInvalidate) {
  CVerticalLayoutUI::SetPos(rc, bNeedInvalidate);
  m_pLine->SetPos(MakeRect(rc.left, rc.top, rc.right, rc.top + 1), bNeedInvalidate);
}

void CListGroudUI::SetManager(CPaintManagerUI* pManager, CControlUI* pParent, bool bInit) {
  CVerticalLayoutUI::SetManager(pManager, pParent, bInit);
  m_pLine->SetManager(pManager, this, bInit);
}

}  // namespace DuiLib
