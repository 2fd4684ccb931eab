#include "qenui/control/UIList.h"

#include <algorithm>

#include "qenui/core/UIImage.h"
#include "qenui/window/UIHost.h"
#include "qenui/window/UIWindow.h"

namespace DuiLib {

static bool Is(LPCTSTR a, LPCTSTR b) { return CompareNoCase(a, b) == 0; }
static bool IsTrue(LPCTSTR v) { return CompareNoCase(v, u"true") == 0; }
static IListItemUI* AsItem(CControlUI* p) { return p ? static_cast<IListItemUI*>(p->GetInterface(u"ListItem")) : nullptr; }

LPCTSTR CListHeaderItemUI::GetClass() const { return u"ListHeaderItemUI"; }
void* CListHeaderItemUI::GetInterface(LPCTSTR n) { return Is(n, u"ListHeaderItem") ? this : CButtonUI::GetInterface(n); }
LPCTSTR CListHeaderUI::GetClass() const { return u"ListHeaderUI"; }
void* CListHeaderUI::GetInterface(LPCTSTR n) { return Is(n, u"ListHeader") ? this : CHorizontalLayoutUI::GetInterface(n); }
SIZE CListHeaderUI::EstimateSize(SIZE sz) {
  SIZE out = m_cxyFixed;
  if (out.cy == 0 && GetCount() > 0) out.cy = m_items[0]->EstimateSize(sz).cy;
  if (GetCount() == 0) out.cy = 0;
  return out;
}

// The list, not its body, tells that it scrolled.
void CListBodyUI::SetScrollPos(SIZE szPos) { ScrollTo(szPos, m_pOwner); }
void CListBodyUI::SetPos(RECT rc, bool bNeedInvalidate) {
  if (!m_bTile) { CVerticalLayoutUI::SetPos(rc, bNeedInvalidate); return; }
  CControlUI::SetPos(rc, bNeedInvalidate);
  int scrollY = m_pVerticalScrollBar ? m_pVerticalScrollBar->GetScrollPos() : 0;
  int cyNeeded = 0;
  LayoutTiles(m_items, GetInnerRect(), m_nColumns, m_szItem, m_iChildPadding, scrollY, &cyNeeded);
  ProcessScrollBar(m_rcItem, 0, cyNeeded + m_rcInset.top + m_rcInset.bottom);
}

void CListBodyUI::DoEvent(TEventUI& event) {
  if (m_pOwner && event.Type != UIEVENT_SCROLLWHEEL) { m_pOwner->DoEvent(event); return; }
  CVerticalLayoutUI::DoEvent(event);
}

// ---------------- CListUI ----------------

CListUI::CListUI() {
  m_pHeader = new CListHeaderUI;
  m_pHeader->SetVisible(false);  // shown once it has columns
  m_pList = new CListBodyUI(this);
  CVerticalLayoutUI::Add(m_pHeader);
  CVerticalLayoutUI::Add(m_pList);
}
LPCTSTR CListUI::GetClass() const { return u"ListUI"; }
void* CListUI::GetInterface(LPCTSTR n) {
  if (Is(n, u"List")) return this;
  if (Is(n, u"IList") || Is(n, u"ListOwner")) return static_cast<IListOwnerUI*>(this);
  return CVerticalLayoutUI::GetInterface(n);
}
CControlUI* CListUI::GetItemAt(int i) const { return m_pList->GetItemAt(i); }
int CListUI::GetItemIndex(CControlUI* p) const {
  if (p && p->GetInterface(u"ListHeader")) return CVerticalLayoutUI::GetItemIndex(p);
  return m_pList->GetItemIndex(p);
}
bool CListUI::SetItemIndex(CControlUI* p, int i) {
  if (!m_pList->SetItemIndex(p, i)) return false;
  ReIndex();
  return true;
}
int CListUI::GetCount() const { return m_pList->GetCount(); }
void CListUI::ReIndex() {
  for (int i = 0; i < m_pList->GetCount(); ++i)
    if (IListItemUI* li = AsItem(m_pList->GetItemAt(i))) li->SetIndex(i);
}
bool CListUI::Add(CControlUI* p) {
  if (!p) return false;
  if (p->GetInterface(u"ListHeader")) {
    // A header from the layout replaces the built-in empty one.
    CListHeaderUI* old = m_pHeader;
    m_items.erase(std::remove(m_items.begin(), m_items.end(), static_cast<CControlUI*>(old)), m_items.end());
    if (m_pManager) m_pManager->ReapObjects(old);
    delete old;
    m_pHeader = static_cast<CListHeaderUI*>(p);
    return CVerticalLayoutUI::AddAt(p, 0);
  }
  if (p->GetInterface(u"ListHeaderItem")) {
    m_pHeader->SetVisible(true);
    return m_pHeader->Add(p);
  }
  if (IListItemUI* li = AsItem(p)) { li->SetOwner(this); li->SetIndex(GetCount()); }
  return m_pList->Add(p);
}
bool CListUI::AddAt(CControlUI* p, int i) {
  if (!p) return false;
  if (p->GetInterface(u"ListHeader") || p->GetInterface(u"ListHeaderItem")) return Add(p);
  if (!m_pList->AddAt(p, i)) return false;
  if (IListItemUI* li = AsItem(p)) li->SetOwner(this);
  ReIndex();
  if (m_iCurSel >= i) ++m_iCurSel;
  return true;
}
bool CListUI::Remove(CControlUI* p, bool bDoNotDestroy) {
  int i = m_pList->GetItemIndex(p);
  if (i < 0) return false;
  return RemoveAt(i, bDoNotDestroy);
}
bool CListUI::RemoveAt(int i, bool bDoNotDestroy) {
  if (!m_pList->RemoveAt(i, bDoNotDestroy)) return false;
  ReIndex();
  if (i == m_iCurSel) m_iCurSel = -1;
  else if (i < m_iCurSel) --m_iCurSel;
  return true;
}
void CListUI::RemoveAll() {
  m_iCurSel = -1;
  m_pList->RemoveAll();
}
bool CListUI::SelectItem(int iIndex, bool bTakeFocus) {
  if (iIndex == m_iCurSel) return true;
  int old = m_iCurSel;
  if (m_iCurSel >= 0) {
    if (IListItemUI* li = AsItem(GetItemAt(m_iCurSel))) li->Select(false, false);
    m_iCurSel = -1;
  }
  if (iIndex < 0) return false;
  CControlUI* p = GetItemAt(iIndex);
  IListItemUI* li = AsItem(p);
  if (!p || !li || !p->IsVisible() || !p->IsEnabled()) return false;
  if (!li->Select(true, false)) { m_iCurSel = -1; return false; }
  m_iCurSel = iIndex;
  EnsureVisible(iIndex);
  if (bTakeFocus) p->SetFocus();
  if (m_pManager) m_pManager->SendNotify(this, DUI_MSGTYPE_ITEMSELECT, static_cast<WPARAM>(m_iCurSel), old);
  return true;
}
void CListUI::EnsureVisible(int iIndex) {
  CControlUI* p = GetItemAt(iIndex);
  if (!p) return;
  if (m_pManager) m_pManager->UpdateLayout();  // rows added since the last layout need places
  m_pList->EnsureVisibleRect(p->GetPos());
}
void CListUI::Scroll(int, int dy) {
  if (dy == 0) return;
  SIZE s = GetScrollPos();
  s.cy += dy;
  SetScrollPos(s);
}
void CListUI::SetItemShowHtml(bool b) { m_bShowHtml = b; Invalidate(); }
SIZE CListUI::GetScrollPos() const { return m_pList->GetScrollPos(); }
SIZE CListUI::GetScrollRange() const { return m_pList->GetScrollRange(); }
void CListUI::SetScrollPos(SIZE sz) { m_pList->SetScrollPos(sz); }
void CListUI::LineUp() { m_pList->LineUp(); }
void CListUI::LineDown() { m_pList->LineDown(); }
void CListUI::EnableScrollBar(bool v, bool h) { m_pList->EnableScrollBar(v, h); }
CScrollBarUI* CListUI::GetVerticalScrollBar() const { return m_pList->GetVerticalScrollBar(); }
void CListUI::DoEvent(TEventUI& event) {
  if (!IsMouseEnabled() && event.Type > UIEVENT__MOUSEBEGIN && event.Type < UIEVENT__MOUSEEND) {
    if (m_pParent) m_pParent->DoEvent(event); else CVerticalLayoutUI::DoEvent(event);
    return;
  }
  switch (event.Type) {
    case UIEVENT_KEYDOWN:
      switch (event.chKey) {
        case VK_UP: SelectItem(FindSelectableIn(m_iCurSel - 1, false), true); return;
        case VK_DOWN: SelectItem(FindSelectableIn(m_iCurSel + 1, true), true); return;
        case VK_HOME: SelectItem(FindSelectableIn(0, true), true); return;
        case VK_END: SelectItem(FindSelectableIn(GetCount() - 1, false), true); return;
        case VK_RETURN: if (m_iCurSel >= 0) GetItemAt(m_iCurSel)->Activate(); return;
        default: break;
      }
      break;
    case UIEVENT_SCROLLWHEEL:
      if (LOWORD(event.wParam) == 0) LineUp(); else LineDown();
      return;
    default: break;
  }
  CVerticalLayoutUI::DoEvent(event);
}
int CListUI::FindSelectableIn(int iIndex, bool bForward) const { return m_pList->FindSelectable(iIndex, bForward); }
void CListUI::SetAttribute(LPCTSTR n, LPCTSTR v) {
  if (Is(n, u"header")) m_pHeader->SetVisible(!Is(v, u"hidden"));
  else if (Is(n, u"vscrollbar")) EnableScrollBar(IsTrue(v), false);
  else if (Is(n, u"itemfont")) m_iItemFont = static_cast<int>(ParseInt(v));
  else if (Is(n, u"itemtextcolor")) m_dwItemTextColor = ParseColor(v);
  else if (Is(n, u"itemselectedbkcolor")) m_dwSelectedBkColor = ParseColor(v);
  else if (Is(n, u"itemhotbkcolor")) m_dwHotBkColor = ParseColor(v);
  else if (Is(n, u"itemaltbkcolor")) m_dwAltBkColor = ParseColor(v);
  else if (Is(n, u"itemshowhtml")) SetItemShowHtml(IsTrue(v));
  else if (Is(n, u"tile")) { m_bTile = IsTrue(v); m_pList->SetTile(m_bTile, m_nColumns, m_szTileItem); }
  else if (Is(n, u"columns")) { m_nColumns = static_cast<int>(ParseInt(v)); m_pList->SetTile(m_bTile, m_nColumns, m_szTileItem); }
  else if (Is(n, u"itemsize")) {
    RECT r = ParseRect(v);
    m_szTileItem = MakeSize(r.left, r.top);
    m_pList->SetTile(m_bTile, m_nColumns, m_szTileItem);
  }
  else if (Is(n, u"childpadding")) m_pList->SetChildPadding(static_cast<int>(ParseInt(v)));
  else CVerticalLayoutUI::SetAttribute(n, v);
}
void CListUI::SetPos(RECT rc, bool bNeedInvalidate) { CVerticalLayoutUI::SetPos(rc, bNeedInvalidate); }

// ---------------- CListItemBaseUI ----------------

template <typename Base>
void* CListItemBaseUI<Base>::GetInterface(LPCTSTR n) {
  if (Is(n, u"ListItem")) return static_cast<IListItemUI*>(this);
  return Base::GetInterface(n);
}
template <typename Base>
void CListItemBaseUI<Base>::SetOwner(CControlUI* p) {
  m_pOwner = p ? static_cast<IListOwnerUI*>(p->GetInterface(u"IList")) : nullptr;
}
template <typename Base>
bool CListItemBaseUI<Base>::Select(bool bSelect, bool bTriggerEvent) {
  if (!this->IsEnabled()) return false;
  if (bSelect == m_bSelected) return true;
  m_bSelected = bSelect;
  if (bSelect && bTriggerEvent && m_pOwner) m_pOwner->SelectItem(m_iIndex);
  this->Invalidate();
  return true;
}
template <typename Base>
void CListItemBaseUI<Base>::SetVisible(bool bVisible) {
  Base::SetVisible(bVisible);
  if (!this->IsVisible() && m_bSelected) { m_bSelected = false; if (m_pOwner) m_pOwner->SelectItem(-1); }
}
template <typename Base>
DWORD CListItemBaseUI<Base>::ItemBkColor() const {
  auto* list = m_pOwner ? dynamic_cast<CListUI*>(m_pOwner) : nullptr;
  if (m_bSelected) return list ? list->GetSelectedItemBkColor() : 0xFFDCE9FB;
  if (m_uButtonState & UISTATE_HOT) return list ? list->GetHotItemBkColor() : 0xFFEEF4FD;
  return list && m_iIndex % 2 == 1 ? list->GetAltItemBkColor() : 0;
}
template <typename Base>
void CListItemBaseUI<Base>::PassToOwner(TEventUI& event) {
  if (m_pOwner) m_pOwner->DoEvent(event); else Base::DoEvent(event);
}
template <typename Base>
bool CListItemBaseUI<Base>::PassOnWhenMouseDisabled(TEventUI& event) {
  if (this->IsMouseEnabled() || event.Type <= UIEVENT__MOUSEBEGIN || event.Type >= UIEVENT__MOUSEEND) return false;
  PassToOwner(event);
  return true;
}
template <typename Base>
bool CListItemBaseUI<Base>::DoubleClick() {
  CPaintManagerUI* pm = this->m_pManager;
  if (pm) pm->SendNotify(this, DUI_MSGTYPE_ITEMDBCLICK);
  if (pm && pm->IsControlRemoved(this)) return false;
  if (m_pOwner) m_pOwner->DoubleClickItem(m_iIndex);
  return true;
}
template <typename Base>
bool CListItemBaseUI<Base>::DoReturnKey(TEventUI& event) {
  if (event.Type != UIEVENT_KEYDOWN || !this->IsEnabled() || event.chKey != VK_RETURN) return false;
  this->Activate();
  if (this->m_pManager) this->m_pManager->SendNotify(this, DUI_MSGTYPE_ITEMACTIVATE);
  return true;
}
template <typename Base>
bool CListItemBaseUI<Base>::DoClickOrHover(TEventUI& event) {
  CPaintManagerUI* pm = this->m_pManager;
  switch (event.Type) {
    case UIEVENT_BUTTONDOWN: case UIEVENT_RBUTTONDOWN:
      if (this->IsEnabled()) {
        if (pm) pm->SendNotify(this, DUI_MSGTYPE_ITEMCLICK);
        if (pm && pm->IsControlRemoved(this)) return true;  // the handler took the row away
        Select();
        this->Invalidate();
      }
      return true;
    case UIEVENT_BUTTONUP: case UIEVENT_MOUSEMOVE: return true;
    case UIEVENT_MOUSEENTER: if (this->IsEnabled()) SetHot(true); return true;
    case UIEVENT_MOUSELEAVE: SetHot(false); return true;
    default: return false;
  }
}

template class CListItemBaseUI<CControlUI>;
template class CListItemBaseUI<CHorizontalLayoutUI>;

// ---------------- CListElementUI ----------------

LPCTSTR CListElementUI::GetClass() const { return u"ListElementUI"; }
void* CListElementUI::GetInterface(LPCTSTR n) {
  return Is(n, u"ListElement") ? this : CListItemBaseUI::GetInterface(n);
}
void CListElementUI::DoEvent(TEventUI& event) {
  if (PassOnWhenMouseDisabled(event)) return;
  if (event.Type == UIEVENT_DBLCLICK) {
    if (IsEnabled() && DoubleClick()) Activate();
    return;
  }
  if (DoReturnKey(event)) return;
  PassToOwner(event);
}
void CListElementUI::DrawItemBk(HDC hDC) {
  if (DWORD c = ItemBkColor()) hDC->FillRect(m_rcItem, c);
}

LPCTSTR CListLabelElementUI::GetClass() const { return u"ListLabelElementUI"; }
void* CListLabelElementUI::GetInterface(LPCTSTR n) { return Is(n, u"ListLabelElement") ? this : CListElementUI::GetInterface(n); }
void CListLabelElementUI::DoEvent(TEventUI& event) {
  if (PassOnWhenMouseDisabled(event) || DoClickOrHover(event)) return;
  CListElementUI::DoEvent(event);
}
SIZE CListLabelElementUI::EstimateSize(SIZE sz) {
  SIZE out = m_cxyFixed;
  if (out.cy == 0 && m_pManager) out.cy = m_pManager->MeasureText(u"x", -1).cy + 8;
  (void)sz;
  return out;
}
void CListLabelElementUI::DoPaint(HDC hDC, const RECT& rcPaint) {
  RECT rc;
  if (!IntersectRect(&rc, rcPaint, m_rcItem)) return;
  DrawItemBk(hDC);
  CControlUI::DoPaint(hDC, rcPaint);
  if (m_sText.IsEmpty() || !m_pManager) return;
  auto* list = m_pOwner ? dynamic_cast<CListUI*>(m_pOwner) : nullptr;
  int font = list ? list->GetItemFont() : -1;
  DWORD color = list && list->GetItemTextColor() ? list->GetItemTextColor() : m_pManager->GetDefaultFontColor();
  bool html = m_pOwner && m_pOwner->IsShowHtml();
  TTextMarkup markup = html ? ParseTextMarkup(m_sText.str()) : PlainTextRuns(m_sText.str());
  CPaintManagerUI* pm = m_pManager;
  RECT rcText = MakeRect(m_rcItem.left + 4, m_rcItem.top, m_rcItem.right - 4, m_rcItem.bottom);
  TTextLayout l = LayoutText(markup, rcText, DT_SINGLELINE | DT_VCENTER, font, color,
                             [pm](int i) { return *pm->GetFontInfo(i); },
                             [](const std::u16string& t, const TFontInfo& f) { return CPaintManagerUI::GetHost()->MeasureText(t, f); });
  hDC->PushClip(rcText, 0);
  for (auto& r : l.runs) hDC->DrawText(r.rc.left, r.rc.top, r.text, r.font, r.color);
  hDC->PopClip();
}
void CListLabelElementUI::SetAttribute(LPCTSTR n, LPCTSTR v) {
  if (Is(n, u"selected")) Select(IsTrue(v), false);
  else CListElementUI::SetAttribute(n, v);
}

// ---------------- CListContainerElementUI ----------------

LPCTSTR CListContainerElementUI::GetClass() const { return u"ListContainerElementUI"; }
void* CListContainerElementUI::GetInterface(LPCTSTR n) {
  return Is(n, u"ListContainerElement") ? this : CListItemBaseUI::GetInterface(n);
}
void CListContainerElementUI::DoEvent(TEventUI& event) {
  if (PassOnWhenMouseDisabled(event)) return;
  if (event.Type == UIEVENT_DBLCLICK) {
    if (IsEnabled()) DoubleClick();
    return;
  }
  if (DoReturnKey(event) || DoClickOrHover(event)) return;
  PassToOwner(event);
}
void CListContainerElementUI::DoPaint(HDC hDC, const RECT& rcPaint) {
  RECT rc;
  if (!IntersectRect(&rc, rcPaint, m_rcItem)) return;
  if (DWORD c = ItemBkColor()) hDC->FillRect(m_rcItem, c);
  CHorizontalLayoutUI::DoPaint(hDC, rcPaint);
}
void CListContainerElementUI::SetAttribute(LPCTSTR n, LPCTSTR v) {
  if (Is(n, u"selected")) Select(IsTrue(v), false);
  else CHorizontalLayoutUI::SetAttribute(n, v);
}

// ---------------- CComboUI ----------------

// The drop-down of a combo: a popup under the box with one row per item;
// clicking a row selects that item of the combo and closes the popup.
class CComboDropWnd : public CWindowWnd, public INotifyUI {
 public:
  explicit CComboDropWnd(CComboUI* owner) : m_pOwner(owner) {}
  void Open() {
    CPaintManagerUI* pm = m_pOwner->GetManager();
    HWND parent = pm ? pm->GetPaintWindow() : 0;
    RECT rc = m_pOwner->GetPos();
    POINT pt = MakePoint(rc.left, rc.bottom);
    ClientToScreen(parent, &pt);
    int count = m_pOwner->GetCount();
    int shown = std::max(1, std::min(count, m_pOwner->m_nDropMaxItems));
    int height = shown * m_pOwner->m_nDropItemHeight + 2;
    RECT work = CPaintManagerUI::GetHost()->GetWorkArea();
    if (pt.y + height > work.bottom) {  // no room below: open above the box
      POINT top = MakePoint(rc.left, rc.top);
      ClientToScreen(parent, &top);
      pt.y = top.y - height;
    }
    Create(parent, u"ComboDrop", WS_POPUP, WS_EX_TOOLWINDOW, static_cast<int>(pt.x), static_cast<int>(pt.y),
           static_cast<int>(rc.Width()), height);
    ShowWindow(true, true);
  }
  void Detach() { m_pOwner = nullptr; }
  CListUI* List() const { return m_pList; }
  void Notify(TNotifyUI& msg) override {
    if (msg.sType != DUI_MSGTYPE_ITEMCLICK || !m_pOwner) return;
    IListItemUI* li = AsItem(msg.pSender);
    if (li) m_pOwner->SelectItem(li->GetIndex(), true);
    Close(IDOK);
  }

 protected:
  LPCTSTR GetWindowClassName() const override { return u"ComboDropWnd"; }
  LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override {
    if (uMsg == WM_CREATE) {
      m_pm.Init(m_hWnd);
      m_pList = new CListUI;
      m_pList->SetAttribute(u"vscrollbar", u"true");
      m_pList->SetBorderSize(1);
      m_pList->SetBorderColor(0xFFE4E8EE);
      m_pList->SetBkColor(0xFFFFFFFF);
      for (int i = 0; m_pOwner && i < m_pOwner->GetCount(); ++i) {
        auto* row = new CListLabelElementUI;
        row->SetText(m_pOwner->GetItemAt(i)->GetText());
        row->SetFixedHeight(m_pOwner->m_nDropItemHeight);
        row->SetEnabled(m_pOwner->GetItemAt(i)->IsEnabled());
        m_pList->Add(row);
      }
      m_pm.AttachDialog(m_pList);
      m_pm.AddNotifier(this);
      if (m_pOwner && m_pOwner->GetCurSel() >= 0) {
        if (IListItemUI* li = AsItem(m_pList->GetItemAt(m_pOwner->GetCurSel()))) li->Select(true, false);
      }
      return 0;
    }
    if (uMsg == WM_KILLFOCUS || (uMsg == WM_KEYDOWN && wParam == VK_ESCAPE)) {
      Close(IDCANCEL);
      return 0;
    }
    LRESULT lRes = 0;
    if (m_pm.MessageHandler(uMsg, wParam, lParam, lRes)) return lRes;
    return DefWindowProc(uMsg, wParam, lParam);
  }
  void OnFinalMessage(HWND) override {
    if (m_pOwner) m_pOwner->m_pDropWnd = nullptr;
    m_pm.RemoveNotifier(this);
    delete this;
  }

 private:
  CComboUI* m_pOwner;
  CPaintManagerUI m_pm;
  CListUI* m_pList = nullptr;
};

CComboUI::~CComboUI() { CloseDropDown(); }
HWND CComboUI::GetDropWindow() const { return m_pDropWnd ? m_pDropWnd->GetHWND() : 0; }
void CComboUI::CloseDropDown() {
  if (!m_pDropWnd) return;
  CComboDropWnd* w = m_pDropWnd;
  m_pDropWnd = nullptr;
  w->Detach();
  DestroyWindow(w->GetHWND());  // its final message deletes it
}

LPCTSTR CComboUI::GetClass() const { return u"ComboUI"; }
void* CComboUI::GetInterface(LPCTSTR n) {
  if (Is(n, u"Combo")) return this;
  if (Is(n, u"IList") || Is(n, u"ListOwner")) return static_cast<IListOwnerUI*>(this);
  return CContainerUI::GetInterface(n);
}
CDuiString CComboUI::GetText() const {
  CControlUI* p = GetItemAt(m_iCurSel);
  return p ? p->GetText() : CDuiString();
}
bool CComboUI::SelectItem(int iIndex, bool bTakeFocus) {
  if (iIndex == m_iCurSel) return true;
  int old = m_iCurSel;
  if (m_iCurSel >= 0) if (IListItemUI* li = AsItem(GetItemAt(m_iCurSel))) li->Select(false, false);
  m_iCurSel = -1;
  CControlUI* p = GetItemAt(iIndex);
  IListItemUI* li = AsItem(p);
  if (!p || !li || !p->IsVisible() || !p->IsEnabled()) return false;
  if (!li->Select(true, false)) return false;
  m_iCurSel = iIndex;
  if (bTakeFocus) SetFocus();
  Invalidate();
  if (m_pManager) m_pManager->SendNotify(this, DUI_MSGTYPE_ITEMSELECT, static_cast<WPARAM>(m_iCurSel), old);
  return true;
}
bool CComboUI::Add(CControlUI* p) {
  if (IListItemUI* li = AsItem(p)) { li->SetOwner(this); li->SetIndex(GetCount()); }
  return CContainerUI::Add(p);
}
bool CComboUI::AddAt(CControlUI* p, int i) {
  if (!CContainerUI::AddAt(p, i)) return false;
  if (IListItemUI* li = AsItem(p)) li->SetOwner(this);
  for (int k = 0; k < GetCount(); ++k) if (IListItemUI* l = AsItem(GetItemAt(k))) l->SetIndex(k);
  if (m_iCurSel >= i) ++m_iCurSel;
  return true;
}
bool CComboUI::Remove(CControlUI* p, bool b) { int i = GetItemIndex(p); return i >= 0 && RemoveAt(i, b); }
bool CComboUI::RemoveAt(int i, bool b) {
  if (!CContainerUI::RemoveAt(i, b)) return false;
  for (int k = 0; k < GetCount(); ++k) if (IListItemUI* l = AsItem(GetItemAt(k))) l->SetIndex(k);
  if (i == m_iCurSel) m_iCurSel = -1; else if (i < m_iCurSel) --m_iCurSel;
  return true;
}
void CComboUI::RemoveAll() { m_iCurSel = -1; CContainerUI::RemoveAll(); }
bool CComboUI::Activate() {
  if (!CControlUI::Activate()) return false;
  if (m_pDropWnd) { CloseDropDown(); return true; }
  if (m_pManager) m_pManager->SendNotify(this, DUI_MSGTYPE_DROPDOWN);
  if (!m_pManager || !m_pManager->GetPaintWindow() || GetCount() == 0) return true;
  m_pDropWnd = new CComboDropWnd(this);
  m_pDropWnd->Open();
  return true;
}
void CComboUI::SetAttribute(LPCTSTR n, LPCTSTR v) {
  if (Is(n, u"dropitemheight")) m_nDropItemHeight = std::max(1, static_cast<int>(ParseInt(v)));
  else if (Is(n, u"dropmaxitems")) m_nDropMaxItems = std::max(1, static_cast<int>(ParseInt(v)));
  else CContainerUI::SetAttribute(n, v);
}
void CComboUI::DoEvent(TEventUI& event) {
  switch (event.Type) {
    case UIEVENT_BUTTONDOWN: if (IsEnabled()) Activate(); return;
    case UIEVENT_KEYDOWN:
      if (event.chKey == VK_UP) { SelectItem(FindSelectable(m_iCurSel - 1, false)); return; }
      if (event.chKey == VK_DOWN) { SelectItem(FindSelectable(m_iCurSel + 1, true)); return; }
      break;
    case UIEVENT_SCROLLWHEEL:
      SelectItem(FindSelectable(m_iCurSel + (LOWORD(event.wParam) == 0 ? -1 : 1), LOWORD(event.wParam) != 0));
      return;
    default: break;
  }
  CContainerUI::DoEvent(event);
}
void CComboUI::SetPos(RECT rc, bool bNeedInvalidate) {
  CControlUI::SetPos(rc, bNeedInvalidate);  // items live in the drop-down, not in the box
  for (auto* p : m_items) p->SetPos(RECT(), false);
}
void CComboUI::DoPaint(HDC hDC, const RECT& rcPaint) {
  CControlUI::DoPaint(hDC, rcPaint);
  CControlUI* p = GetItemAt(m_iCurSel);
  if (!p || !m_pManager) return;
  SIZE sz = m_pManager->MeasureText(p->GetText().str(), -1);
  hDC->DrawText(m_rcItem.left + 4, m_rcItem.top + (m_rcItem.Height() - sz.cy) / 2, p->GetText().str(),
                *m_pManager->GetFontInfo(-1), m_pManager->GetDefaultFontColor());
}

}  // namespace DuiLib
