// DuiLib::CListGroudUI ("ListGroud"): a vertical group of rows with a one
// pixel line across its top edge ("linecolor", default 0xFF050000).
//
// Threading: UI thread only.
#pragma once

#include "qenui/UIlib.h"

namespace DuiLib {

class CListGroudUI : public CVerticalLayoutUI {
 public:
  CListGroudUI();
  LPCTSTR GetClass() const override { return u"ListGroudUI"; }
  void SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) override;
  void SetPos(RECT rc, bool bNeedInvalidate = true) override;
  void SetManager(CPaintManagerUI* pManager, CControlUI* pParent, bool bInit = true) override;
  DWORD GetLineColor() const { return m_dwLineColor; }
  CLabelUI* GetLine() const { return m_pLine; }

 private:
  CLabelUI* m_pLine;
  DWORD m_dwLineColor = 0xFF050000;
};

}  // namespace DuiLib
