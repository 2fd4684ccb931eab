#include "qenui/core/UIControl.h"

#include <algorithm>

#include "qenui/core/UIManager.h"

namespace DuiLib {

CControlUI::CControlUI() {
  m_cxyMax = MakeSize(9999, 9999);
}

CControlUI::~CControlUI() {
  for (auto& f : OnDestroy) f(this);
  if (m_pManager) m_pManager->ReapObjects(this);
}

CDuiString CControlUI::GetName() const { return m_sName; }
void CControlUI::SetName(LPCTSTR pstrName) {
  m_sName = pstrName;
  if (m_pManager) m_pManager->NameChanged(this);
}
LPCTSTR CControlUI::GetClass() const { return u"ControlUI"; }
void* CControlUI::GetInterface(LPCTSTR pstrName) {
  if (CompareNoCase(pstrName, u"Control") == 0) return this;
  return nullptr;
}
UINT CControlUI::GetControlFlags() const { return 0; }
bool CControlUI::Activate() { return IsVisible() && IsEnabled(); }

CPaintManagerUI* CControlUI::GetManager() const { return m_pManager; }
void CControlUI::SetManager(CPaintManagerUI* pManager, CControlUI* pParent, bool bInit) {
  m_pManager = pManager;
  m_pParent = pParent;
  if (bInit && m_pParent) Init();
}
CControlUI* CControlUI::GetParent() const { return m_pParent; }

CDuiString CControlUI::GetText() const { return m_sText; }
void CControlUI::SetText(LPCTSTR pstrText) {
  if (m_sText == pstrText) return;
  m_sText = pstrText;
  Invalidate();
}

void CControlUI::SetBkColor(DWORD c) { m_dwBackColor = c; Invalidate(); }
void CControlUI::SetBkImage(LPCTSTR pStrImage) {
  if (m_sBkImage == pStrImage) return;
  m_sBkImage = pStrImage;
  Invalidate();
}
void CControlUI::SetBorderColor(DWORD c) { m_dwBorderColor = c; Invalidate(); }
void CControlUI::SetBorderSize(int n) { m_nBorderSize = n; Invalidate(); }
void CControlUI::SetBorderRound(SIZE cxy) { m_cxyBorderRound = cxy; Invalidate(); }

bool CControlUI::DrawImage(HDC hDC, LPCTSTR pStrImage, LPCTSTR pStrModify) {
  if (!hDC || !m_pManager || !pStrImage || !*pStrImage) return false;
  TDrawInfo info = ParseDrawInfo(pStrImage);
  if (pStrModify && *pStrModify) {
    TDrawInfo mod = ParseDrawInfo(CDuiString(u"file='x' ") + pStrModify);
    if (mod.bHasDest) { info.rcDest = mod.rcDest; info.bHasDest = true; }
    if (mod.bHasSource) { info.rcSource = mod.rcSource; info.bHasSource = true; }
  }
  auto image = m_pManager->GetImageEx(info.sFile, info.dwMask);
  if (!image) return false;
  RECT dest = m_rcItem;
  if (info.bHasDest) {
    dest = MakeRect(m_rcItem.left + info.rcDest.left, m_rcItem.top + info.rcDest.top,
                    m_rcItem.left + info.rcDest.right, m_rcItem.top + info.rcDest.bottom);
    dest.right = std::min(dest.right, m_rcItem.right);
    dest.bottom = std::min(dest.bottom, m_rcItem.bottom);
  }
  DrawImageSliced(hDC, *image, dest, info.bHasSource ? info.rcSource : RECT(), info.rcCorner, info.uFade, info.bHole);
  return true;
}

const RECT& CControlUI::GetPos() const { return m_rcItem; }
void CControlUI::SetPos(RECT rc, bool bNeedInvalidate) {
  if (rc.right < rc.left) rc.right = rc.left;
  if (rc.bottom < rc.top) rc.bottom = rc.top;
  m_rcItem = rc;
  m_bUpdateNeeded = false;
  if (bNeedInvalidate) Invalidate();
}
void CControlUI::PlaceWithoutLayout(RECT rc) {
  if (rc.right < rc.left) rc.right = rc.left;
  if (rc.bottom < rc.top) rc.bottom = rc.top;
  m_rcItem = rc;
}
int CControlUI::GetWidth() const { return m_rcItem.Width(); }
int CControlUI::GetHeight() const { return m_rcItem.Height(); }
RECT CControlUI::GetPadding() const { return m_rcPadding; }
void CControlUI::SetPadding(RECT rc) { m_rcPadding = rc; NeedParentUpdate(); }
SIZE CControlUI::GetFixedXY() const { return m_cXY; }
void CControlUI::SetFixedXY(SIZE sz) { m_cXY = sz; NeedParentUpdate(); }
int CControlUI::GetFixedWidth() const { return m_cxyFixed.cx; }
void CControlUI::SetFixedWidth(int cx) { if (cx < 0) return; m_cxyFixed.cx = cx; NeedParentUpdate(); }
int CControlUI::GetFixedHeight() const { return m_cxyFixed.cy; }
void CControlUI::SetFixedHeight(int cy) { if (cy < 0) return; m_cxyFixed.cy = cy; NeedParentUpdate(); }
int CControlUI::GetMinWidth() const { return m_cxyMin.cx; }
void CControlUI::SetMinWidth(int cx) { if (cx < 0) return; m_cxyMin.cx = cx; NeedParentUpdate(); }
int CControlUI::GetMaxWidth() const { return m_cxyMax.cx; }
void CControlUI::SetMaxWidth(int cx) { if (cx < 0) return; m_cxyMax.cx = cx; NeedParentUpdate(); }
int CControlUI::GetMinHeight() const { return m_cxyMin.cy; }
void CControlUI::SetMinHeight(int cy) { if (cy < 0) return; m_cxyMin.cy = cy; NeedParentUpdate(); }
int CControlUI::GetMaxHeight() const { return m_cxyMax.cy; }
void CControlUI::SetMaxHeight(int cy) { if (cy < 0) return; m_cxyMax.cy = cy; NeedParentUpdate(); }
SIZE CControlUI::EstimateSize(SIZE) { return m_cxyFixed; }

CDuiString CControlUI::GetToolTip() const { return m_sToolTip; }
void CControlUI::SetToolTip(LPCTSTR pstrText) { m_sToolTip = pstrText; }
const CDuiString& CControlUI::GetUserData() { return m_sUserData; }
void CControlUI::SetUserData(int nData) { m_sUserData = CDuiString::FromInt(nData); }
void CControlUI::SetUserData(LPCTSTR pstrText) { m_sUserData = pstrText; }
UINT_PTR CControlUI::GetTag() const { return m_pTag; }
void CControlUI::SetTag(UINT_PTR pTag) { m_pTag = pTag; }

bool CControlUI::IsVisible() const { return m_bVisible && m_bInternVisible; }
void CControlUI::SetVisible(bool bVisible) {
  if (m_bVisible == bVisible) return;
  bool v = IsVisible();
  m_bVisible = bVisible;
  if (m_bFocused && !bVisible && m_pManager) m_pManager->SetFocus(nullptr);
  if (IsVisible() != v) NeedParentUpdate();
}
void CControlUI::SetInternVisible(bool bVisible) {
  m_bInternVisible = bVisible;
  if (!bVisible && m_pManager && m_pManager->GetFocus() == this) m_pManager->SetFocus(nullptr);
}
bool CControlUI::IsEnabled() const { return m_bEnabled; }
void CControlUI::SetEnabled(bool bEnable) {
  if (m_bEnabled == bEnable) return;
  m_bEnabled = bEnable;
  Invalidate();
}
bool CControlUI::IsMouseEnabled() const { return m_bMouseEnabled; }
void CControlUI::SetMouseEnabled(bool b) { m_bMouseEnabled = b; }
bool CControlUI::IsKeyboardEnabled() const { return m_bKeyboardEnabled; }
void CControlUI::SetKeyboardEnabled(bool b) { m_bKeyboardEnabled = b; }
bool CControlUI::IsFocused() const { return m_bFocused; }
void CControlUI::SetFocus() { if (m_pManager) m_pManager->SetFocus(this); }
bool CControlUI::IsFloat() const { return m_bFloat; }
void CControlUI::SetFloat(bool b) { m_bFloat = b; NeedParentUpdate(); }

CControlUI* CControlUI::FindControl(FINDCONTROLPROC Proc, void* pData, UINT uFlags) {
  if ((uFlags & UIFIND_VISIBLE) && !IsVisible()) return nullptr;
  if ((uFlags & UIFIND_ENABLED) && !IsEnabled()) return nullptr;
  if ((uFlags & UIFIND_HITTEST) && (!m_bMouseEnabled || !m_rcItem.Contains(*static_cast<POINT*>(pData)))) return nullptr;
  return Proc(this, pData);
}

void CControlUI::Invalidate() {
  if (!IsVisible() || !m_pManager) return;
  m_pManager->Invalidate(m_rcItem);
}
void CControlUI::NeedUpdate() {
  if (!IsVisible()) return;
  m_bUpdateNeeded = true;
  if (m_pManager) m_pManager->NeedUpdate();
}
void CControlUI::NeedParentUpdate() {
  if (m_pParent) { m_pParent->NeedUpdate(); m_pParent->Invalidate(); }
  else NeedUpdate();
  if (m_pManager) m_pManager->NeedUpdate();
}

void CControlUI::Init() {
  DoInit();
  for (auto& f : OnInit) f(this);
  m_bInited = true;
}
void CControlUI::DoInit() {}

void CControlUI::Event(TEventUI& event) {
  for (auto& f : OnEvent)
    if (!f(&event)) return;
  DoEvent(event);
}

void CControlUI::DoEvent(TEventUI& event) {
  if (event.Type == UIEVENT_SETFOCUS) { m_bFocused = true; Invalidate(); return; }
  if (event.Type == UIEVENT_KILLFOCUS) { m_bFocused = false; Invalidate(); return; }
  if (event.Type == UIEVENT_TIMER) {
    if (m_pManager) m_pManager->SendNotify(this, DUI_MSGTYPE_TIMER, event.wParam, event.lParam);
    return;
  }
  if (event.Type == UIEVENT_CONTEXTMENU && IsContextMenuUsed()) {
    if (m_pManager) m_pManager->SendNotify(this, DUI_MSGTYPE_MENU, event.wParam, event.lParam);
    return;
  }
  if (m_pParent) m_pParent->DoEvent(event);
}

bool CControlUI::IsContextMenuUsed() const { return m_bMenuUsed; }

static bool IsTrue(LPCTSTR v) { return CompareNoCase(v, u"true") == 0; }

void CControlUI::SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) {
  CDuiString n(pstrName);
  if (n == u"pos") {
    RECT rc = ParseRect(pstrValue);
    m_cxyFixed = MakeSize(rc.right - rc.left, rc.bottom - rc.top);
    m_cXY = MakeSize(rc.left, rc.top);
    m_rcFloatPos = rc;
    m_bSetPos = true;
    NeedParentUpdate();
  } else if (n == u"padding") SetPadding(ParseRect(pstrValue));
  else if (n == u"bkcolor" || n == u"bkcolor1") SetBkColor(ParseColor(pstrValue));
  else if (n == u"bordercolor") SetBorderColor(ParseColor(pstrValue));
  else if (n == u"bordersize") SetBorderSize(static_cast<int>(ParseInt(pstrValue)));
  else if (n == u"borderround") { RECT r = ParseRect(pstrValue); SetBorderRound(MakeSize(r.left, r.top)); }
  else if (n == u"bkimage") SetBkImage(pstrValue);
  else if (n == u"width") SetFixedWidth(static_cast<int>(ParseInt(pstrValue)));
  else if (n == u"height") SetFixedHeight(static_cast<int>(ParseInt(pstrValue)));
  else if (n == u"minwidth") SetMinWidth(static_cast<int>(ParseInt(pstrValue)));
  else if (n == u"minheight") SetMinHeight(static_cast<int>(ParseInt(pstrValue)));
  else if (n == u"maxwidth") SetMaxWidth(static_cast<int>(ParseInt(pstrValue)));
  else if (n == u"maxheight") SetMaxHeight(static_cast<int>(ParseInt(pstrValue)));
  else if (n == u"name") SetName(pstrValue);
  else if (n == u"text") SetText(pstrValue);
  else if (n == u"tooltip") SetToolTip(pstrValue);
  else if (n == u"userdata") SetUserData(pstrValue);
  else if (n == u"enabled") SetEnabled(IsTrue(pstrValue));
  else if (n == u"mouse") SetMouseEnabled(IsTrue(pstrValue));
  else if (n == u"keyboard") SetKeyboardEnabled(IsTrue(pstrValue));
  else if (n == u"visible") SetVisible(IsTrue(pstrValue));
  else if (n == u"float") SetFloat(IsTrue(pstrValue));
  else if (n == u"menu") m_bMenuUsed = IsTrue(pstrValue);
}

CControlUI* CControlUI::ApplyAttributeList(LPCTSTR pstrList) {
  // name="value" name2="value2" (single or double quotes)
  const char16_t* p = pstrList;
  while (p && *p) {
    while (*p == u' ') ++p;
    std::u16string name;
    while (*p && *p != u'=' && *p != u' ') name += *p++;
    while (*p == u' ') ++p;
    if (*p != u'=') break;
    ++p;
    while (*p == u' ') ++p;
    if (*p != u'"' && *p != u'\'') break;
    char16_t q = *p++;
    std::u16string value;
    while (*p && *p != q) {
      if (*p == u'\\' && p[1] == q) { value += q; p += 2; continue; }
      value += *p++;
    }
    if (*p != q) break;
    ++p;
    SetAttribute(name.c_str(), value.c_str());
  }
  return this;
}

void CControlUI::DoPaint(HDC hDC, const RECT& rcPaint) {
  if (!IntersectRect(&m_rcPaint, rcPaint, m_rcItem)) return;
  if (m_cxyBorderRound.cx > 0) {
    hDC->PushClip(m_rcItem, m_cxyBorderRound.cx);
    PaintBkColor(hDC);
    PaintBkImage(hDC);
    PaintStatusImage(hDC);
    PaintText(hDC);
    PaintBorder(hDC);
    hDC->PopClip();
  } else {
    PaintBkColor(hDC);
    PaintBkImage(hDC);
    PaintStatusImage(hDC);
    PaintText(hDC);
    PaintBorder(hDC);
  }
}
void CControlUI::PaintBkColor(HDC hDC) {
  if (m_dwBackColor == 0) return;
  if (m_cxyBorderRound.cx > 0) hDC->FillRoundRect(m_rcItem, m_cxyBorderRound.cx, m_dwBackColor);
  else hDC->FillRect(m_rcItem, m_dwBackColor);
}
void CControlUI::PaintBkImage(HDC hDC) {
  if (m_sBkImage.IsEmpty()) return;
  DrawImage(hDC, m_sBkImage);
}
void CControlUI::PaintStatusImage(HDC) {}
void CControlUI::PaintText(HDC) {}
void CControlUI::PaintBorder(HDC hDC) {
  if (m_nBorderSize <= 0 || m_dwBorderColor == 0) return;
  if (m_cxyBorderRound.cx > 0) hDC->DrawRoundRect(m_rcItem, m_nBorderSize, m_cxyBorderRound.cx, m_dwBorderColor);
  else hDC->DrawRect(m_rcItem, m_nBorderSize, m_dwBorderColor);
}

}  // namespace DuiLib
