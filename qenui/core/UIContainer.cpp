#include "qenui/core/UIContainer.h"

#include <algorithm>

#include "qenui/core/UIImage.h"
#include "qenui/core/UIManager.h"

namespace DuiLib {

// ---------------- CScrollBarUI ----------------

CScrollBarUI::CScrollBarUI() { m_cxyFixed = MakeSize(8, 0); }
LPCTSTR CScrollBarUI::GetClass() const { return u"ScrollBarUI"; }
void* CScrollBarUI::GetInterface(LPCTSTR n) {
  if (CompareNoCase(n, u"ScrollBar") == 0) return this;
  return CControlUI::GetInterface(n);
}
void CScrollBarUI::SetScrollRange(int nRange) {
  m_nRange = std::max(0, nRange);
  if (m_nScrollPos > m_nRange) m_nScrollPos = m_nRange;
  Invalidate();
}
void CScrollBarUI::SetScrollPos(int nPos) {
  nPos = std::max(0, std::min(nPos, m_nRange));
  if (nPos == m_nScrollPos) return;
  m_nScrollPos = nPos;
  if (m_pOwner) m_pOwner->SetScrollPos(MakeSize(0, nPos));
  Invalidate();
}
void CScrollBarUI::DoEvent(TEventUI& event) {
  const long track = m_rcItem.Height();
  if (event.Type == UIEVENT_BUTTONDOWN && track > 0) {
    m_nDragStartY = event.ptMouse.y;
    m_nDragStartPos = m_nScrollPos;
    return;
  }
  if (event.Type == UIEVENT_MOUSEMOVE && m_nDragStartY >= 0 && track > 0) {
    long content = track + m_nRange;
    SetScrollPos(m_nDragStartPos + static_cast<int>((event.ptMouse.y - m_nDragStartY) * content / track));
    return;
  }
  if (event.Type == UIEVENT_BUTTONUP) { m_nDragStartY = -1; return; }
  if (event.Type == UIEVENT_SCROLLWHEEL) {
    if (LOWORD(event.wParam) == 0) LineUp(); else LineDown();
    return;
  }
  CControlUI::DoEvent(event);
}
void CScrollBarUI::DoPaint(HDC hDC, const RECT& rcPaint) {
  RECT rc;
  if (!IntersectRect(&rc, rcPaint, m_rcItem) || m_nRange <= 0) return;
  long track = m_rcItem.Height();
  long content = track + m_nRange;
  long thumb = std::max<long>(16, track * track / content);
  long top = m_rcItem.top + (track - thumb) * m_nScrollPos / std::max(1, m_nRange);
  hDC->FillRoundRect(MakeRect(m_rcItem.left + 1, top, m_rcItem.right - 1, top + thumb), 3, m_dwThumbColor);
}
void CScrollBarUI::SetAttribute(LPCTSTR n, LPCTSTR v) {
  if (CompareNoCase(n, u"linesize") == 0) m_nLineSize = static_cast<int>(ParseInt(v));
  else if (CompareNoCase(n, u"thumbcolor") == 0) m_dwThumbColor = ParseColor(v);
  else CControlUI::SetAttribute(n, v);
}

// ---------------- CContainerUI ----------------

CContainerUI::CContainerUI() = default;

CContainerUI::~CContainerUI() {
  RemoveAll();
  delete m_pVerticalScrollBar;
}

LPCTSTR CContainerUI::GetClass() const { return u"ContainerUI"; }
void* CContainerUI::GetInterface(LPCTSTR n) {
  if (CompareNoCase(n, u"Container") == 0) return this;
  return CControlUI::GetInterface(n);
}
CControlUI* CContainerUI::GetItemAt(int i) const {
  return (i >= 0 && i < static_cast<int>(m_items.size())) ? m_items[i] : nullptr;
}
int CContainerUI::GetItemIndex(CControlUI* p) const {
  auto it = std::find(m_items.begin(), m_items.end(), p);
  return it == m_items.end() ? -1 : static_cast<int>(it - m_items.begin());
}
bool CContainerUI::SetItemIndex(CControlUI* p, int iIndex) {
  int cur = GetItemIndex(p);
  if (cur < 0 || iIndex < 0 || iIndex >= ItemCount()) return false;
  m_items.erase(m_items.begin() + cur);
  m_items.insert(m_items.begin() + iIndex, p);
  NeedUpdate();
  return true;
}
int CContainerUI::GetCount() const { return static_cast<int>(m_items.size()); }

bool CContainerUI::Add(CControlUI* p) {
  if (!p) return false;
  if (m_pManager) m_pManager->InitControls(p, this);
  else p->SetManager(nullptr, this, false);
  if (IsVisible()) NeedUpdate(); else p->SetInternVisible(false);
  m_items.push_back(p);
  return true;
}
bool CContainerUI::AddAt(CControlUI* p, int iIndex) {
  if (!p) return false;
  if (iIndex < 0 || iIndex > ItemCount()) return false;
  if (m_pManager) m_pManager->InitControls(p, this);
  else p->SetManager(nullptr, this, false);
  if (IsVisible()) NeedUpdate(); else p->SetInternVisible(false);
  m_items.insert(m_items.begin() + iIndex, p);
  return true;
}

static void DetachSubtree(CControlUI* p) {
  // Containers pass the (absent) manager down to every child of theirs.
  p->SetManager(nullptr, nullptr, false);
}

bool CContainerUI::Remove(CControlUI* p, bool bDoNotDestroy) {
  int i = GetItemIndex(p);
  if (i < 0) return false;
  return RemoveAt(i, bDoNotDestroy);
}
bool CContainerUI::RemoveAt(int iIndex, bool bDoNotDestroy) {
  CControlUI* p = GetItemAt(iIndex);
  if (!p) return false;
  m_items.erase(m_items.begin() + iIndex);
  if (m_pManager) m_pManager->ReapObjects(p);
  if (!bDoNotDestroy && m_bAutoDestroy) {
    if (m_bDelayedDestroy && m_pManager) m_pManager->AddDelayedCleanup(p);
    else delete p;
  } else {
    DetachSubtree(p);
  }
  NeedUpdate();
  return true;
}
void CContainerUI::RemoveAll() {
  // Every item at once: the window forgets its references into the items
  // in one pass, and each item leaves the window before it is deleted, so
  // the controls it holds do not each look for references again (a list of
  // thousands of rows emptied).
  std::vector<CControlUI*> items;
  items.swap(m_items);
  if (m_pManager && !items.empty()) m_pManager->ReapObjectsBelow(this);
  for (auto it = items.rbegin(); it != items.rend(); ++it) {
    CControlUI* p = *it;
    DetachSubtree(p);
    if (!m_bAutoDestroy) continue;
    if (m_bDelayedDestroy && m_pManager) m_pManager->AddDelayedCleanup(p, false);
    else delete p;
  }
  if (!items.empty()) NeedUpdate();
  if (m_pVerticalScrollBar) { m_pVerticalScrollBar->SetScrollRange(0); m_pVerticalScrollBar->SetScrollPos(0); }
}

void CContainerUI::DoEvent(TEventUI& event) {
  if (event.Type == UIEVENT_SCROLLWHEEL && m_pVerticalScrollBar && m_pVerticalScrollBar->IsVisible() &&
      m_pVerticalScrollBar->IsEnabled()) {
    if (LOWORD(event.wParam) == 0) LineUp(); else LineDown();
    return;
  }
  CControlUI::DoEvent(event);
}

void CContainerUI::SetVisible(bool bVisible) {
  if (m_bVisible == bVisible) return;
  CControlUI::SetVisible(bVisible);
  for (auto* p : m_items) p->SetInternVisible(IsVisible());
}
void CContainerUI::SetInternVisible(bool bVisible) {
  CControlUI::SetInternVisible(bVisible);
  for (auto* p : m_items) p->SetInternVisible(IsVisible());
}
void CContainerUI::SetMouseEnabled(bool b) {
  if (m_pVerticalScrollBar) m_pVerticalScrollBar->SetMouseEnabled(b);
  CControlUI::SetMouseEnabled(b);
}
void CContainerUI::SetInset(RECT rc) { m_rcInset = rc; NeedUpdate(); }
void CContainerUI::SetChildPadding(int i) { m_iChildPadding = i; NeedUpdate(); }

int CContainerUI::FindSelectable(int iIndex, bool bForward) const {
  if (ItemCount() == 0) return -1;
  iIndex = std::max(0, std::min(iIndex, ItemCount() - 1));
  for (int i = iIndex; i >= 0 && i < ItemCount(); i += bForward ? 1 : -1) {
    CControlUI* p = m_items[i];
    if (p->GetInterface(u"ListItem") && p->IsVisible() && p->IsEnabled()) return i;
  }
  return -1;
}

RECT CContainerUI::GetInnerRect() const {
  RECT rc = m_rcItem;
  rc.left += m_rcInset.left;
  rc.top += m_rcInset.top;
  rc.right -= m_rcInset.right;
  rc.bottom -= m_rcInset.bottom;
  if (m_pVerticalScrollBar && m_pVerticalScrollBar->IsVisible()) rc.right -= m_pVerticalScrollBar->GetFixedWidth();
  if (rc.right < rc.left) rc.right = rc.left;
  if (rc.bottom < rc.top) rc.bottom = rc.top;
  return rc;
}

void CContainerUI::SetFloatPos(int iIndex) {
  CControlUI* p = GetItemAt(iIndex);
  if (!p || !p->IsVisible()) return;
  RECT fp = p->GetFloatPos();
  SIZE fixed = MakeSize(p->GetFixedWidth(), p->GetFixedHeight());
  RECT rc = MakeRect(m_rcItem.left + fp.left, m_rcItem.top + fp.top, m_rcItem.left + fp.left + fixed.cx,
                     m_rcItem.top + fp.top + fixed.cy);
  p->SetPos(rc, false);
}

namespace {

// Places an item in the inner rectangle of a container that stacks its items
// on one another: inside its padding, at its estimated size where it has one.
void PlaceInside(CControlUI* p, RECT inner) {
  RECT pad = p->GetPadding();
  RECT r = MakeRect(inner.left + pad.left, inner.top + pad.top, inner.right - pad.right, inner.bottom - pad.bottom);
  SIZE sz = p->EstimateSize(MakeSize(r.Width(), r.Height()));
  if (sz.cx > 0) r.right = r.left + std::min<long>(sz.cx, r.Width());
  if (sz.cy > 0) r.bottom = r.top + std::min<long>(sz.cy, r.Height());
  p->SetPos(r, false);
}

// An item's size across the layout's axis (its width in a vertical layout):
// the estimate, else all the room inside its padding; within its min and
// max, and never more than that room.
long CrossSize(CControlUI* p, SIZE estimate, SIZE avail, bool vertical) {
  RECT pad = p->GetPadding();
  long room = vertical ? avail.cx - pad.left - pad.right : avail.cy - pad.top - pad.bottom;
  long size = vertical ? estimate.cx : estimate.cy;
  if (size == 0) size = room;
  size = std::max<long>(size, vertical ? p->GetMinWidth() : p->GetMinHeight());
  size = std::min<long>(size, vertical ? p->GetMaxWidth() : p->GetMaxHeight());
  return std::min<long>(size, std::max<long>(0, room));
}

}  // namespace

void CContainerUI::SetPos(RECT rc, bool bNeedInvalidate) {
  CControlUI::SetPos(rc, bNeedInvalidate);
  if (m_items.empty()) { ProcessScrollBar(rc, 0, 0); return; }
  RECT inner = GetInnerRect();
  for (int i = 0; i < ItemCount(); ++i) {
    CControlUI* p = m_items[i];
    if (!p->IsVisible()) continue;
    if (p->IsFloat()) { SetFloatPos(i); continue; }
    PlaceInside(p, inner);
  }
}

namespace {

// Sizes along the layout's axis for the visible, non-floating items: fixed
// sizes are kept (within min/max); the rest share what is left. An item whose
// share breaks its min or max takes that bound and the others share again.
std::vector<long> ShareAxis(const std::vector<CControlUI*>& items, SIZE avail, int childPadding, bool vertical) {
  std::vector<long> size(items.size(), -1);
  std::vector<bool> flexible(items.size(), false);
  long used = 0;
  int count = 0;
  for (size_t i = 0; i < items.size(); ++i) {
    CControlUI* p = items[i];
    if (!p->IsVisible() || p->IsFloat()) continue;
    ++count;
    SIZE sz = p->EstimateSize(avail);
    RECT pad = p->GetPadding();
    long fixed = vertical ? sz.cy : sz.cx;
    long lo = vertical ? p->GetMinHeight() : p->GetMinWidth();
    long hi = vertical ? p->GetMaxHeight() : p->GetMaxWidth();
    used += vertical ? pad.top + pad.bottom : pad.left + pad.right;
    if (fixed == 0) { flexible[i] = true; continue; }
    size[i] = std::max(lo, std::min(hi, fixed));
    used += size[i];
  }
  if (count > 1) used += static_cast<long>(count - 1) * childPadding;
  long space = vertical ? avail.cy : avail.cx;
  for (bool changed = true; changed;) {
    changed = false;
    int n = 0;
    for (size_t i = 0; i < items.size(); ++i)
      if (flexible[i]) ++n;
    if (n == 0) break;
    long share = std::max<long>(0, (space - used) / n);
    for (size_t i = 0; i < items.size(); ++i) {
      if (!flexible[i]) continue;
      CControlUI* p = items[i];
      long lo = vertical ? p->GetMinHeight() : p->GetMinWidth();
      long hi = vertical ? p->GetMaxHeight() : p->GetMaxWidth();
      long clamped = std::max(lo, std::min(hi, share));
      if (clamped != share) {
        flexible[i] = false;
        size[i] = clamped;
        used += clamped;
        changed = true;
      }
    }
    if (!changed) {
      for (size_t i = 0; i < items.size(); ++i)
        if (flexible[i]) size[i] = share;
    }
  }
  return size;
}

// The item of `owner` that holds the focus of its window (itself or a
// control inside it), or null.
CControlUI* ItemHoldingFocus(CContainerUI* owner) {
  CPaintManagerUI* pm = owner ? owner->GetManager() : nullptr;
  CControlUI* c = pm ? pm->GetFocus() : nullptr;
  while (c && c->GetParent() != owner) c = c->GetParent();
  return c;
}

}  // namespace

void LayoutVertical(CContainerUI* owner, const std::vector<CControlUI*>& items, RECT rc, int childPadding,
                    int scrollY, int* cyNeeded, const RECT* inView) {
  SIZE avail = MakeSize(rc.Width(), rc.Height());
  std::vector<long> heights = ShareAxis(items, avail, childPadding, true);
  CControlUI* focused = inView ? ItemHoldingFocus(owner) : nullptr;
  long y = rc.top - scrollY;
  int total = 0;
  for (size_t i = 0; i < items.size(); ++i) {
    CControlUI* p = items[i];
    if (!p->IsVisible() || p->IsFloat()) continue;
    RECT pad = p->GetPadding();
    long cx = CrossSize(p, p->EstimateSize(avail), avail, true);
    long cy = heights[i];
    const RECT place = MakeRect(rc.left + pad.left, y + pad.top, rc.left + pad.left + cx, y + pad.top + cy);
    const bool outOfView = inView && (place.bottom <= inView->top || place.top >= inView->bottom);
    if (outOfView && p != focused) p->PlaceWithoutLayout(place);
    else p->SetPos(place, false);
    y += cy + pad.top + pad.bottom + childPadding;
    total += static_cast<int>(cy + pad.top + pad.bottom) + childPadding;
  }
  if (total > 0) total -= childPadding;
  if (cyNeeded) *cyNeeded = total;
}

void CContainerUI::ProcessScrollBar(RECT rc, int /*cxRequired*/, int cyRequired) {
  if (!m_pVerticalScrollBar) return;
  RECT inner = rc;
  inner.top += m_rcInset.top;
  inner.bottom -= m_rcInset.bottom;
  int range = std::max(0, cyRequired - static_cast<int>(inner.Height()));
  m_pVerticalScrollBar->SetScrollRange(range);
  RECT sb = MakeRect(rc.right - m_pVerticalScrollBar->GetFixedWidth(), rc.top, rc.right, rc.bottom);
  m_pVerticalScrollBar->SetPos(sb, false);
}

void CContainerUI::DoPaint(HDC hDC, const RECT& rcPaint) {
  RECT rcTemp;
  if (!IntersectRect(&rcTemp, rcPaint, m_rcItem)) return;
  CControlUI::DoPaint(hDC, rcPaint);
  if (m_items.empty()) return;
  hDC->PushClip(m_rcItem, m_cxyBorderRound.cx);
  for (auto* p : m_items) {
    if (!p->IsVisible()) continue;
    RECT rcItem;
    if (!IntersectRect(&rcItem, rcTemp, p->GetPos())) continue;
    p->DoPaint(hDC, rcTemp);
  }
  hDC->PopClip();
  if (m_pVerticalScrollBar && m_pVerticalScrollBar->IsVisible()) m_pVerticalScrollBar->DoPaint(hDC, rcPaint);
}

void CContainerUI::SetAttribute(LPCTSTR n, LPCTSTR v) {
  if (CompareNoCase(n, u"inset") == 0) SetInset(ParseRect(v));
  else if (CompareNoCase(n, u"childpadding") == 0) SetChildPadding(static_cast<int>(ParseInt(v)));
  else if (CompareNoCase(n, u"mousechild") == 0) SetMouseChildEnabled(CompareNoCase(v, u"true") == 0);
  else if (CompareNoCase(n, u"vscrollbar") == 0) EnableScrollBar(CompareNoCase(v, u"true") == 0, false);
  else if (CompareNoCase(n, u"autodestroy") == 0) SetAutoDestroy(CompareNoCase(v, u"true") == 0);
  else CControlUI::SetAttribute(n, v);
}

void CContainerUI::SetManager(CPaintManagerUI* pManager, CControlUI* pParent, bool bInit) {
  for (auto* p : m_items) p->SetManager(pManager, this, bInit);
  if (m_pVerticalScrollBar) m_pVerticalScrollBar->SetManager(pManager, this, bInit);
  CControlUI::SetManager(pManager, pParent, bInit);
}

CControlUI* CContainerUI::FindControl(FINDCONTROLPROC Proc, void* pData, UINT uFlags) {
  if ((uFlags & UIFIND_VISIBLE) && !IsVisible()) return nullptr;
  if ((uFlags & UIFIND_ENABLED) && !IsEnabled()) return nullptr;
  if ((uFlags & UIFIND_HITTEST) != 0) {
    POINT pt = *static_cast<POINT*>(pData);
    if (!m_rcItem.Contains(pt)) return nullptr;
    if (!m_bMouseChildEnabled) {
      CControlUI* r = nullptr;
      if (m_pVerticalScrollBar) r = m_pVerticalScrollBar->FindControl(Proc, pData, uFlags);
      if (!r) r = CControlUI::FindControl(Proc, pData, uFlags);
      return r;
    }
  }
  CControlUI* r = nullptr;
  if (m_pVerticalScrollBar && m_pVerticalScrollBar->IsVisible() && m_pVerticalScrollBar->GetScrollRange() > 0)
    r = m_pVerticalScrollBar->FindControl(Proc, pData, uFlags);
  if (r) return r;
  if (uFlags & UIFIND_ME_FIRST) {
    r = CControlUI::FindControl(Proc, pData, uFlags);
    if (r) return r;
  }
  if (uFlags & UIFIND_TOP_FIRST) {
    for (int i = ItemCount() - 1; i >= 0; --i) {
      r = m_items[i]->FindControl(Proc, pData, uFlags);
      if (r) {
        if ((uFlags & UIFIND_HITTEST) && !r->IsFloat() && !GetInnerRect().Contains(*static_cast<POINT*>(pData))) continue;
        return r;
      }
    }
  } else {
    for (auto* p : m_items) {
      r = p->FindControl(Proc, pData, uFlags);
      if (r) return r;
    }
  }
  if (!(uFlags & UIFIND_ME_FIRST)) r = CControlUI::FindControl(Proc, pData, uFlags);
  return r;
}

static CControlUI* FindByNameProc(CControlUI* p, void* data) {
  return p->HasName(static_cast<const char16_t*>(data)) ? p : nullptr;
}

CControlUI* CContainerUI::FindSubControl(LPCTSTR name) {
  if (!name) return nullptr;
  return FindControl(FindByNameProc, const_cast<char16_t*>(name), UIFIND_ALL);
}
bool CContainerUI::SetSubControlText(LPCTSTR n, LPCTSTR t) { auto* p = FindSubControl(n); if (!p) return false; p->SetText(t); return true; }
bool CContainerUI::SetSubControlFixedHeight(LPCTSTR n, int cy) { auto* p = FindSubControl(n); if (!p) return false; p->SetFixedHeight(cy); return true; }
bool CContainerUI::SetSubControlFixedWdith(LPCTSTR n, int cx) { auto* p = FindSubControl(n); if (!p) return false; p->SetFixedWidth(cx); return true; }
bool CContainerUI::SetSubControlUserData(LPCTSTR n, LPCTSTR t) { auto* p = FindSubControl(n); if (!p) return false; p->SetUserData(t); return true; }
bool CContainerUI::SetSubControlBkImage(LPCTSTR n, LPCTSTR t) { auto* p = FindSubControl(n); if (!p) return false; p->SetBkImage(t); return true; }
bool CContainerUI::SetSubControlTag(LPCTSTR n, UINT_PTR tag) { auto* p = FindSubControl(n); if (!p) return false; p->SetTag(tag); return true; }
bool CContainerUI::SetSubControlVisible(LPCTSTR n, bool v) { auto* p = FindSubControl(n); if (!p) return false; p->SetVisible(v); return true; }
CDuiString CContainerUI::GetSubControlText(LPCTSTR n) { auto* p = FindSubControl(n); return p ? p->GetText() : CDuiString(); }
CDuiString CContainerUI::GetSubControlUserData(LPCTSTR n) { auto* p = FindSubControl(n); return p ? p->GetUserData() : CDuiString(); }

SIZE CContainerUI::GetScrollPos() const {
  return MakeSize(0, m_pVerticalScrollBar ? m_pVerticalScrollBar->GetScrollPos() : 0);
}
SIZE CContainerUI::GetScrollRange() const {
  return MakeSize(0, m_pVerticalScrollBar ? m_pVerticalScrollBar->GetScrollRange() : 0);
}
void CContainerUI::SetScrollPos(SIZE szPos) { ScrollTo(szPos, this); }
void CContainerUI::ScrollTo(SIZE szPos, CControlUI* pSender) {
  if (!m_pVerticalScrollBar) return;
  int target = std::max(0, std::min<int>(szPos.cy, m_pVerticalScrollBar->GetScrollRange()));
  int old = m_pVerticalScrollBar->GetScrollPos();
  if (old != target) {
    // Update the bar without recursing back into this function.
    CContainerUI* owner = m_pVerticalScrollBar->GetOwner();
    m_pVerticalScrollBar->SetOwner(nullptr);
    m_pVerticalScrollBar->SetScrollPos(target);
    m_pVerticalScrollBar->SetOwner(owner);
  }
  SetPos(m_rcItem, true);
  if (old != target && m_pManager) m_pManager->SendNotify(pSender, DUI_MSGTYPE_SCROLL, static_cast<WPARAM>(target), 0);
}
void CContainerUI::LineUp() { SIZE s = GetScrollPos(); s.cy -= m_pVerticalScrollBar ? m_pVerticalScrollBar->GetLineSize() : 8; SetScrollPos(s); }
void CContainerUI::LineDown() { SIZE s = GetScrollPos(); s.cy += m_pVerticalScrollBar ? m_pVerticalScrollBar->GetLineSize() : 8; SetScrollPos(s); }
void CContainerUI::PageUp() { SIZE s = GetScrollPos(); s.cy -= std::max<long>(1, GetInnerRect().Height()); SetScrollPos(s); }
void CContainerUI::PageDown() { SIZE s = GetScrollPos(); s.cy += std::max<long>(1, GetInnerRect().Height()); SetScrollPos(s); }
void CContainerUI::HomeUp() { SetScrollPos(MakeSize(0, 0)); }
void CContainerUI::EndDown() { SetScrollPos(MakeSize(0, GetScrollRange().cy)); }
void CContainerUI::EnableScrollBar(bool bEnableVertical, bool) {
  if (bEnableVertical && !m_pVerticalScrollBar) {
    m_pVerticalScrollBar = new CScrollBarUI;
    m_pVerticalScrollBar->SetOwner(this);
    m_pVerticalScrollBar->SetManager(m_pManager, nullptr, false);
  } else if (!bEnableVertical && m_pVerticalScrollBar) {
    if (m_pManager) m_pManager->ReapObjects(m_pVerticalScrollBar);
    delete m_pVerticalScrollBar;
    m_pVerticalScrollBar = nullptr;
  }
  NeedUpdate();
}
void CContainerUI::EnsureVisibleRect(const RECT& rcItem) {
  if (!m_pVerticalScrollBar) return;
  RECT inner = GetInnerRect();
  SIZE pos = GetScrollPos();
  if (rcItem.top < inner.top) pos.cy -= inner.top - rcItem.top;
  else if (rcItem.bottom > inner.bottom) pos.cy += rcItem.bottom - inner.bottom;
  else return;
  SetScrollPos(pos);
}

// ---------------- CVerticalLayoutUI ----------------

LPCTSTR CVerticalLayoutUI::GetClass() const { return u"VerticalLayoutUI"; }
void* CVerticalLayoutUI::GetInterface(LPCTSTR n) {
  if (CompareNoCase(n, u"VerticalLayout") == 0) return this;
  return CContainerUI::GetInterface(n);
}
void CVerticalLayoutUI::SetPos(RECT rc, bool bNeedInvalidate) {
  CControlUI::SetPos(rc, bNeedInvalidate);
  rc = m_rcItem;
  int scrollY = m_pVerticalScrollBar ? m_pVerticalScrollBar->GetScrollPos() : 0;
  int cyNeeded = 0;
  const RECT* inView = m_bLayoutInViewOnly ? &m_rcItem : nullptr;
  LayoutVertical(this, m_items, GetInnerRect(), m_iChildPadding, scrollY, &cyNeeded, inView);
  for (int i = 0; i < ItemCount(); ++i)
    if (m_items[i]->IsFloat()) SetFloatPos(i);
  ProcessScrollBar(rc, 0, cyNeeded + m_rcInset.top + m_rcInset.bottom);
  if (m_pVerticalScrollBar && scrollY > m_pVerticalScrollBar->GetScrollRange()) {
    // content shrank below the old position: lay out again at the new end
    LayoutVertical(this, m_items, GetInnerRect(), m_iChildPadding, m_pVerticalScrollBar->GetScrollPos(), &cyNeeded,
                   inView);
  }
}

// ---------------- CTileLayoutUI ----------------

void LayoutTiles(const std::vector<CControlUI*>& items, RECT rc, int columns, SIZE itemSize, int childPadding,
                 int scrollY, int* cyNeeded) {
  std::vector<CControlUI*> tiles;
  for (auto* p : items)
    if (p->IsVisible() && !p->IsFloat()) tiles.push_back(p);
  long width = rc.Width();
  long cellW = itemSize.cx;
  if (cellW <= 0 && !tiles.empty()) cellW = tiles[0]->GetFixedWidth();
  int cols = columns;
  if (cols <= 0) cols = cellW > 0 ? static_cast<int>(std::max<long>(1, (width + childPadding) / (cellW + childPadding))) : 1;
  if (cellW <= 0) cellW = std::max<long>(0, (width - (cols - 1) * childPadding) / cols);
  long y = rc.top - scrollY;
  int total = 0;
  for (size_t i = 0; i < tiles.size(); i += static_cast<size_t>(cols)) {
    long rowH = itemSize.cy;
    for (size_t j = i; j < tiles.size() && j < i + static_cast<size_t>(cols); ++j) {
      RECT pad = tiles[j]->GetPadding();
      rowH = std::max<long>(rowH, tiles[j]->GetFixedHeight() + pad.top + pad.bottom);
    }
    long x = rc.left;
    for (size_t j = i; j < tiles.size() && j < i + static_cast<size_t>(cols); ++j) {
      CControlUI* p = tiles[j];
      RECT pad = p->GetPadding();
      long w = p->GetFixedWidth() > 0 ? p->GetFixedWidth() : cellW - pad.left - pad.right;
      long h = p->GetFixedHeight() > 0 ? p->GetFixedHeight() : rowH - pad.top - pad.bottom;
      p->SetPos(MakeRect(x + pad.left, y + pad.top, x + pad.left + w, y + pad.top + h), false);
      x += cellW + childPadding;
    }
    y += rowH + childPadding;
    total += static_cast<int>(rowH) + childPadding;
  }
  if (total > 0) total -= childPadding;
  if (cyNeeded) *cyNeeded = total;
}

LPCTSTR CTileLayoutUI::GetClass() const { return u"TileLayoutUI"; }
void* CTileLayoutUI::GetInterface(LPCTSTR n) {
  if (CompareNoCase(n, u"TileLayout") == 0) return this;
  return CContainerUI::GetInterface(n);
}
void CTileLayoutUI::SetPos(RECT rc, bool bNeedInvalidate) {
  CControlUI::SetPos(rc, bNeedInvalidate);
  int scrollY = m_pVerticalScrollBar ? m_pVerticalScrollBar->GetScrollPos() : 0;
  int cyNeeded = 0;
  LayoutTiles(m_items, GetInnerRect(), m_nColumns, m_szItem, m_iChildPadding, scrollY, &cyNeeded);
  for (int i = 0; i < ItemCount(); ++i)
    if (m_items[i]->IsFloat()) SetFloatPos(i);
  ProcessScrollBar(m_rcItem, 0, cyNeeded + m_rcInset.top + m_rcInset.bottom);
}
void CTileLayoutUI::SetAttribute(LPCTSTR n, LPCTSTR v) {
  if (CompareNoCase(n, u"columns") == 0) SetColumns(static_cast<int>(ParseInt(v)));
  else if (CompareNoCase(n, u"itemsize") == 0) { RECT r = ParseRect(v); SetItemSize(MakeSize(r.left, r.top)); }
  else CContainerUI::SetAttribute(n, v);
}

// ---------------- CHorizontalLayoutUI ----------------

LPCTSTR CHorizontalLayoutUI::GetClass() const { return u"HorizontalLayoutUI"; }
void* CHorizontalLayoutUI::GetInterface(LPCTSTR n) {
  if (CompareNoCase(n, u"HorizontalLayout") == 0) return this;
  return CContainerUI::GetInterface(n);
}
void CHorizontalLayoutUI::SetPos(RECT rc, bool bNeedInvalidate) {
  CControlUI::SetPos(rc, bNeedInvalidate);
  RECT inner = GetInnerRect();
  SIZE avail = MakeSize(inner.Width(), inner.Height());
  std::vector<long> widths = ShareAxis(m_items, avail, m_iChildPadding, false);
  long x = inner.left;
  for (int i = 0; i < ItemCount(); ++i) {
    CControlUI* p = m_items[i];
    if (!p->IsVisible()) continue;
    if (p->IsFloat()) { SetFloatPos(i); continue; }
    RECT pad = p->GetPadding();
    long cx = widths[i];
    long cy = CrossSize(p, p->EstimateSize(avail), avail, false);
    p->SetPos(MakeRect(x + pad.left, inner.top + pad.top, x + pad.left + cx, inner.top + pad.top + cy), false);
    x += cx + pad.left + pad.right + m_iChildPadding;
  }
}

// ---------------- CTabLayoutUI ----------------

LPCTSTR CTabLayoutUI::GetClass() const { return u"TabLayoutUI"; }
void* CTabLayoutUI::GetInterface(LPCTSTR n) {
  if (CompareNoCase(n, u"TabLayout") == 0) return this;
  return CContainerUI::GetInterface(n);
}
bool CTabLayoutUI::Add(CControlUI* p) {
  if (!CContainerUI::Add(p)) return false;
  if (m_iCurSel == -1 && p->IsVisible()) m_iCurSel = GetItemIndex(p);
  else p->SetVisible(false);
  return true;
}
bool CTabLayoutUI::AddAt(CControlUI* p, int iIndex) {
  if (!CContainerUI::AddAt(p, iIndex)) return false;
  if (m_iCurSel == -1 && p->IsVisible()) m_iCurSel = GetItemIndex(p);
  else if (m_iCurSel != -1 && iIndex <= m_iCurSel) { ++m_iCurSel; p->SetVisible(false); }
  else p->SetVisible(false);
  return true;
}
bool CTabLayoutUI::Remove(CControlUI* p, bool bDoNotDestroy) {
  int index = GetItemIndex(p);
  if (index < 0) return false;
  bool wasSel = index == m_iCurSel;
  if (!CContainerUI::Remove(p, bDoNotDestroy)) return false;
  if (wasSel) {
    m_iCurSel = -1;
    if (ItemCount() > 0) SelectItem(0);
  } else if (index < m_iCurSel) {
    --m_iCurSel;
  }
  return true;
}
void CTabLayoutUI::RemoveAll() {
  m_iCurSel = -1;
  CContainerUI::RemoveAll();
}
bool CTabLayoutUI::SelectItem(int iIndex) {
  if (iIndex < 0 || iIndex >= ItemCount()) return false;
  if (iIndex == m_iCurSel) return true;
  int old = m_iCurSel;
  m_iCurSel = iIndex;
  for (int i = 0; i < ItemCount(); ++i) m_items[i]->SetVisible(i == iIndex);
  NeedParentUpdate();
  if (m_pManager) {
    // A focused control on a page now hidden gives its focus up; one outside
    // this layout keeps it (a page switched in the background, as a browser
    // showing its error page, must not take the keys from an edit elsewhere).
    for (CControlUI* c = m_pManager->GetFocus(); c; c = c->GetParent()) {
      if (c->GetParent() != this) continue;
      if (c != m_items[iIndex]) m_pManager->SetFocus(nullptr);
      break;
    }
    m_pManager->SendNotify(this, DUI_MSGTYPE_TABSELECT, static_cast<WPARAM>(m_iCurSel), old);
  }
  return true;
}
bool CTabLayoutUI::SelectItem(CControlUI* p) {
  int i = GetItemIndex(p);
  return i >= 0 && SelectItem(i);
}
void CTabLayoutUI::SetAttribute(LPCTSTR n, LPCTSTR v) {
  if (CompareNoCase(n, u"selectedid") == 0) SelectItem(static_cast<int>(ParseInt(v)));
  else CContainerUI::SetAttribute(n, v);
}
void CTabLayoutUI::SetPos(RECT rc, bool bNeedInvalidate) {
  CControlUI::SetPos(rc, bNeedInvalidate);
  RECT inner = GetInnerRect();
  for (int i = 0; i < ItemCount(); ++i) {
    CControlUI* p = m_items[i];
    if (i != m_iCurSel || !p->IsVisible()) continue;
    if (p->IsFloat()) { SetFloatPos(i); continue; }
    PlaceInside(p, inner);
  }
}

}  // namespace DuiLib
