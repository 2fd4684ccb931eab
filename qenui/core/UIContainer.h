// Containers: the plain container (children share its rectangle, floating
// children placed by their "pos"), vertical and horizontal layouts, the tab
// layout and the scroll bar that containers show when their content is taller.
#pragma once

#include <vector>

#include "qenui/core/UIControl.h"

namespace DuiLib {

class CContainerUI;

class CScrollBarUI : public CControlUI {
 public:
  CScrollBarUI();
  LPCTSTR GetClass() const override;
  void* GetInterface(LPCTSTR pstrName) override;
  CContainerUI* GetOwner() const { return m_pOwner; }
  void SetOwner(CContainerUI* pOwner) { m_pOwner = pOwner; }
  bool IsHorizontal() const { return m_bHorizontal; }
  void SetHorizontal(bool b) { m_bHorizontal = b; }
  int GetScrollRange() const { return m_nRange; }
  void SetScrollRange(int nRange);
  int GetScrollPos() const { return m_nScrollPos; }
  void SetScrollPos(int nPos);
  int GetLineSize() const { return m_nLineSize; }
  void SetLineSize(int n) { m_nLineSize = n; }
  void LineUp() { SetScrollPos(m_nScrollPos - m_nLineSize); }
  void LineDown() { SetScrollPos(m_nScrollPos + m_nLineSize); }
  void DoEvent(TEventUI& event) override;
  void DoPaint(HDC hDC, const RECT& rcPaint) override;
  void SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) override;

 private:
  CContainerUI* m_pOwner = nullptr;
  bool m_bHorizontal = false;
  int m_nRange = 100;
  int m_nScrollPos = 0;
  int m_nLineSize = 8;
  DWORD m_dwThumbColor = 0xFFC9CED6;
  int m_nDragStartY = -1;
  int m_nDragStartPos = 0;
};

class CContainerUI : public CControlUI {
 public:
  CContainerUI();
  ~CContainerUI() override;

  LPCTSTR GetClass() const override;
  void* GetInterface(LPCTSTR pstrName) override;

  virtual CControlUI* GetItemAt(int iIndex) const;
  virtual int GetItemIndex(CControlUI* pControl) const;
  virtual bool SetItemIndex(CControlUI* pControl, int iIndex);
  virtual int GetCount() const;
  virtual bool Add(CControlUI* pControl);
  virtual bool AddAt(CControlUI* pControl, int iIndex);
  virtual bool Remove(CControlUI* pControl, bool bDoNotDestroy = false);
  virtual bool RemoveAt(int iIndex, bool bDoNotDestroy = false);
  virtual void RemoveAll();

  void DoEvent(TEventUI& event) override;
  void SetVisible(bool bVisible = true) override;
  void SetInternVisible(bool bVisible = true) override;
  void SetMouseEnabled(bool bEnable = true) override;

  virtual RECT GetInset() const { return m_rcInset; }
  virtual void SetInset(RECT rcInset);
  virtual int GetChildPadding() const { return m_iChildPadding; }
  virtual void SetChildPadding(int iPadding);
  virtual bool IsAutoDestroy() const { return m_bAutoDestroy; }
  virtual void SetAutoDestroy(bool bAuto) { m_bAutoDestroy = bAuto; }
  virtual bool IsDelayedDestroy() const { return m_bDelayedDestroy; }
  virtual void SetDelayedDestroy(bool bDelayed) { m_bDelayedDestroy = bDelayed; }
  virtual bool IsMouseChildEnabled() const { return m_bMouseChildEnabled; }
  virtual void SetMouseChildEnabled(bool bEnable = true) { m_bMouseChildEnabled = bEnable; }

  virtual int FindSelectable(int iIndex, bool bForward = true) const;

  void SetPos(RECT rc, bool bNeedInvalidate = true) override;
  void DoPaint(HDC hDC, const RECT& rcPaint) override;
  void SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) override;
  void SetManager(CPaintManagerUI* pManager, CControlUI* pParent, bool bInit = true) override;
  CControlUI* FindControl(FINDCONTROLPROC Proc, void* pData, UINT uFlags) override;

  // Sub-controls by name, searched in this container's subtree.
  CControlUI* FindSubControl(LPCTSTR pstrSubControlName);
  bool SetSubControlText(LPCTSTR pstrSubControlName, LPCTSTR pstrText);
  bool SetSubControlFixedHeight(LPCTSTR pstrSubControlName, int cy);
  bool SetSubControlFixedWdith(LPCTSTR pstrSubControlName, int cx);
  bool SetSubControlUserData(LPCTSTR pstrSubControlName, LPCTSTR pstrText);
  bool SetSubControlBkImage(LPCTSTR pstrSubControlName, LPCTSTR pstrImage);
  bool SetSubControlTag(LPCTSTR pstrSubControlName, UINT_PTR pTag);
  bool SetSubControlVisible(LPCTSTR pstrSubControlName, bool bVisible);
  CDuiString GetSubControlText(LPCTSTR pstrSubControlName);
  CDuiString GetSubControlUserData(LPCTSTR pstrSubControlName);

  // Scrolling (vertical scroll bar when "vscrollbar" is set).
  virtual SIZE GetScrollPos() const;
  virtual SIZE GetScrollRange() const;
  virtual void SetScrollPos(SIZE szPos);
  virtual void LineUp();
  virtual void LineDown();
  virtual void PageUp();
  virtual void PageDown();
  virtual void HomeUp();
  virtual void EndDown();
  virtual void EnableScrollBar(bool bEnableVertical = true, bool bEnableHorizontal = false);
  virtual CScrollBarUI* GetVerticalScrollBar() const { return m_pVerticalScrollBar; }
  virtual void EnsureVisibleRect(const RECT& rcItem);

 protected:
  // Lays the floating child out from its "pos" relative to this container.
  void SetFloatPos(int iIndex);
  // Adjusts the scroll bar after a layout with content of the given height.
  void ProcessScrollBar(RECT rc, int cxRequired, int cyRequired);
  // SetScrollPos's work: moves the bar (within its range), lays the content
  // out again and, when the position changed, sends "scroll" from `pSender`.
  void ScrollTo(SIZE szPos, CControlUI* pSender);
  // The inner rectangle: position minus inset and the scroll bar.
  RECT GetInnerRect() const;
  // The number of direct children (GetCount may be overridden, e.g. lists count rows).
  int ItemCount() const { return static_cast<int>(m_items.size()); }

  std::vector<CControlUI*> m_items;
  RECT m_rcInset;
  int m_iChildPadding = 0;
  bool m_bAutoDestroy = true;
  bool m_bDelayedDestroy = true;
  bool m_bMouseChildEnabled = true;
  CScrollBarUI* m_pVerticalScrollBar = nullptr;
};

class CVerticalLayoutUI : public CContainerUI {
 public:
  LPCTSTR GetClass() const override;
  void* GetInterface(LPCTSTR pstrName) override;
  void SetPos(RECT rc, bool bNeedInvalidate = true) override;

 protected:
  // Items entirely out of this layout's rectangle are only placed; what
  // they hold is laid out when they come into view (a list's body of many
  // rows: a layout costs the rows in view, not every row).
  bool m_bLayoutInViewOnly = false;
};

class CHorizontalLayoutUI : public CContainerUI {
 public:
  LPCTSTR GetClass() const override;
  void* GetInterface(LPCTSTR pstrName) override;
  void SetPos(RECT rc, bool bNeedInvalidate = true) override;
};

class CTabLayoutUI : public CContainerUI {
 public:
  LPCTSTR GetClass() const override;
  void* GetInterface(LPCTSTR pstrName) override;
  bool Add(CControlUI* pControl) override;
  bool AddAt(CControlUI* pControl, int iIndex) override;
  bool Remove(CControlUI* pControl, bool bDoNotDestroy = false) override;
  void RemoveAll() override;
  int GetCurSel() const { return m_iCurSel; }
  virtual bool SelectItem(int iIndex);
  virtual bool SelectItem(CControlUI* pControl);
  void SetPos(RECT rc, bool bNeedInvalidate = true) override;
  void SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) override;

 protected:
  int m_iCurSel = -1;
};

// Children in rows of equal cells, left to right: "columns" fixes the count,
// else it follows from the first child's fixed width ("itemsize" may give both).
class CTileLayoutUI : public CContainerUI {
 public:
  LPCTSTR GetClass() const override;
  void* GetInterface(LPCTSTR pstrName) override;
  void SetPos(RECT rc, bool bNeedInvalidate = true) override;
  void SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) override;
  int GetColumns() const { return m_nColumns; }
  void SetColumns(int nCols) { m_nColumns = nCols < 0 ? 0 : nCols; NeedUpdate(); }
  SIZE GetItemSize() const { return m_szItem; }
  void SetItemSize(SIZE sz) { m_szItem = sz; NeedUpdate(); }

 protected:
  int m_nColumns = 0;
  SIZE m_szItem;
};

// Places items as tiles inside rc; returns the content height in *cyNeeded.
void LayoutTiles(const std::vector<CControlUI*>& items, RECT rc, int columns, SIZE itemSize, int childPadding,
                 int scrollY, int* cyNeeded);

// Places the items one under another in rcInner, scrolled up by scrollY;
// the content height in *cyNeeded. With `inView`, an item entirely above or
// below that rectangle is only placed (PlaceWithoutLayout), except the one
// that holds the owner's focus (an edit's native entry follows it).
void LayoutVertical(CContainerUI* owner, const std::vector<CControlUI*>& items, RECT rcInner, int childPadding,
                    int scrollY, int* cyNeeded, const RECT* inView = nullptr);

}  // namespace DuiLib
