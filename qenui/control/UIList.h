// Lists: CListUI (header + scrolling body of rows), the row interfaces and
// rows (label rows, container rows), and the combo box.
#pragma once

#include "qenui/control/UIControls.h"

namespace DuiLib {

class IListOwnerUI {
 public:
  virtual ~IListOwnerUI() = default;
  virtual int GetCurSel() const = 0;
  virtual bool SelectItem(int iIndex, bool bTakeFocus = false) = 0;
  virtual bool SelectRange(int iIndex, bool bTakeFocus = false) { return SelectItem(iIndex, bTakeFocus); }
  virtual void DoEvent(TEventUI& event) = 0;
  virtual bool IsShowHtml() const { return false; }
  virtual bool ActivateItem(int /*iIndex*/) { return true; }
  virtual bool HotItem(int /*iIndex*/) { return true; }
  virtual bool DoubleClickItem(int /*iIndex*/) { return true; }
};

class IListItemUI {
 public:
  virtual ~IListItemUI() = default;
  virtual int GetIndex() const = 0;
  virtual void SetIndex(int iIndex) = 0;
  virtual IListOwnerUI* GetOwner() = 0;
  virtual void SetOwner(CControlUI* pOwner) = 0;
  virtual bool IsSelected() const = 0;
  virtual bool Select(bool bSelect = true, bool bTriggerEvent = true) = 0;
};

class CListHeaderItemUI : public CButtonUI {
 public:
  LPCTSTR GetClass() const override;
  void* GetInterface(LPCTSTR pstrName) override;
};

class CListHeaderUI : public CHorizontalLayoutUI {
 public:
  LPCTSTR GetClass() const override;
  void* GetInterface(LPCTSTR pstrName) override;
  SIZE EstimateSize(SIZE szAvailable) override;
};

class CListUI;

// The scrolling part of a list; its scroll notifications come from the list.
class CListBodyUI : public CVerticalLayoutUI {
 public:
  // Rows out of view are only placed (see CVerticalLayoutUI).
  explicit CListBodyUI(CListUI* pOwner) : m_pOwner(pOwner) { m_bLayoutInViewOnly = true; }
  void SetScrollPos(SIZE szPos) override;
  void DoEvent(TEventUI& event) override;
  void SetPos(RECT rc, bool bNeedInvalidate = true) override;
  // Tile mode: rows flow left to right in cells ("tile", "columns", "itemsize" of the list).
  void SetTile(bool bTile, int columns, SIZE itemSize) { m_bTile = bTile; m_nColumns = columns; m_szItem = itemSize; NeedUpdate(); }

 private:
  CListUI* m_pOwner;
  bool m_bTile = false;
  int m_nColumns = 0;
  SIZE m_szItem;
};

class CListUI : public CVerticalLayoutUI, public IListOwnerUI {
 public:
  CListUI();
  LPCTSTR GetClass() const override;
  void* GetInterface(LPCTSTR pstrName) override;
  UINT GetControlFlags() const override { return UIFLAG_TABSTOP; }

  CListHeaderUI* GetHeader() const { return m_pHeader; }
  CContainerUI* GetList() const { return m_pList; }

  // Rows (header items passed to Add go to the header).
  CControlUI* GetItemAt(int iIndex) const override;
  int GetItemIndex(CControlUI* pControl) const override;
  bool SetItemIndex(CControlUI* pControl, int iIndex) override;
  int GetCount() const override;
  bool Add(CControlUI* pControl) override;
  bool AddAt(CControlUI* pControl, int iIndex) override;
  bool Remove(CControlUI* pControl, bool bDoNotDestroy = false) override;
  bool RemoveAt(int iIndex, bool bDoNotDestroy = false) override;
  void RemoveAll() override;

  int GetCurSel() const override { return m_iCurSel; }
  bool SelectItem(int iIndex, bool bTakeFocus = false) override;
  void EnsureVisible(int iIndex);
  void Scroll(int dx, int dy);
  void SetItemShowHtml(bool bShowHtml = true);
  bool IsShowHtml() const override { return m_bShowHtml; }
  void SetItemFont(int index) { m_iItemFont = index; }
  int GetItemFont() const { return m_iItemFont; }
  void SetItemTextColor(DWORD c) { m_dwItemTextColor = c; }
  DWORD GetItemTextColor() const { return m_dwItemTextColor; }
  DWORD GetSelectedItemBkColor() const { return m_dwSelectedBkColor; }
  DWORD GetHotItemBkColor() const { return m_dwHotBkColor; }
  // The background of every second row (the second, fourth, ...); 0: none.
  DWORD GetAltItemBkColor() const { return m_dwAltBkColor; }

  SIZE GetScrollPos() const override;
  SIZE GetScrollRange() const override;
  void SetScrollPos(SIZE szPos) override;
  void LineUp() override;
  void LineDown() override;
  void EnableScrollBar(bool bEnableVertical = true, bool bEnableHorizontal = false) override;
  CScrollBarUI* GetVerticalScrollBar() const override;

  void DoEvent(TEventUI& event) override;
  void SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) override;
  void SetPos(RECT rc, bool bNeedInvalidate = true) override;

 protected:
  CListBodyUI* m_pList = nullptr;
  CListHeaderUI* m_pHeader = nullptr;
  int m_iCurSel = -1;
  bool m_bShowHtml = false;
  int m_iItemFont = -1;
  DWORD m_dwItemTextColor = 0;
  DWORD m_dwSelectedBkColor = 0xFFDCE9FB;
  DWORD m_dwHotBkColor = 0xFFEEF4FD;
  DWORD m_dwAltBkColor = 0;
  bool m_bTile = false;
  int m_nColumns = 0;
  SIZE m_szTileItem;
  void ReIndex();
  int FindSelectableIn(int iIndex, bool bForward) const;
};

// What both kinds of row share, over the control a row is made of (a
// CControlUI for text rows, a CHorizontalLayoutUI for rows of controls): its
// index and owner list, selection, the hot state, its background and the
// events every row answers alike.
template <typename Base>
class CListItemBaseUI : public Base, public IListItemUI {
 public:
  void* GetInterface(LPCTSTR pstrName) override;
  UINT GetControlFlags() const override { return UIFLAG_WANTRETURN; }
  int GetIndex() const override { return m_iIndex; }
  void SetIndex(int i) override { m_iIndex = i; }
  IListOwnerUI* GetOwner() override { return m_pOwner; }
  void SetOwner(CControlUI* pOwner) override;
  bool IsSelected() const override { return m_bSelected; }
  bool Select(bool bSelect = true, bool bTriggerEvent = true) override;
  bool IsHot() const { return (m_uButtonState & UISTATE_HOT) != 0; }
  void SetHot(bool bHot) { if (bHot) m_uButtonState |= UISTATE_HOT; else m_uButtonState &= ~UISTATE_HOT; this->Invalidate(); }
  void SetVisible(bool bVisible = true) override;

 protected:
  // The owner list's colour for a selected or hot row, else for every
  // second row when the list alternates them; 0 when none applies.
  DWORD ItemBkColor() const;
  // The owner list takes the event (the row itself when it has none).
  void PassToOwner(TEventUI& event);
  // A mouse event while the row takes no mouse goes to the owner; true then.
  bool PassOnWhenMouseDisabled(TEventUI& event);
  // "itemdbclick", then the owner's DoubleClickItem; false when the handler
  // took the row away. The caller checks IsEnabled().
  bool DoubleClick();
  // Return activates the row and sends "itemactivate"; true when handled.
  bool DoReturnKey(TEventUI& event);
  // A button press sends "itemclick" and selects the row; entering and
  // leaving make it hot and cold. True when handled.
  bool DoClickOrHover(TEventUI& event);

  int m_iIndex = -1;
  bool m_bSelected = false;
  UINT m_uButtonState = 0;
  IListOwnerUI* m_pOwner = nullptr;
};

// A row with text only.
class CListElementUI : public CListItemBaseUI<CControlUI> {
 public:
  LPCTSTR GetClass() const override;
  void* GetInterface(LPCTSTR pstrName) override;
  void DoEvent(TEventUI& event) override;
  void DrawItemBk(HDC hDC);
};

class CListLabelElementUI : public CListElementUI {
 public:
  LPCTSTR GetClass() const override;
  void* GetInterface(LPCTSTR pstrName) override;
  void DoEvent(TEventUI& event) override;
  SIZE EstimateSize(SIZE szAvailable) override;
  void DoPaint(HDC hDC, const RECT& rcPaint) override;
  void SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) override;
};

// A row holding other controls (the layouts' row files).
class CListContainerElementUI : public CListItemBaseUI<CHorizontalLayoutUI> {
 public:
  LPCTSTR GetClass() const override;
  void* GetInterface(LPCTSTR pstrName) override;
  void DoEvent(TEventUI& event) override;
  void DoPaint(HDC hDC, const RECT& rcPaint) override;
  void SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) override;

 protected:
  bool m_bVertical = false;
};

// A drop-down choice. The items are list rows; the drop-down is shown by the
// back end when it has one; choosing an item (SelectItem) sends "itemselect".
class CComboDropWnd;

class CComboUI : public CContainerUI, public IListOwnerUI {
 public:
  ~CComboUI() override;
  LPCTSTR GetClass() const override;
  void* GetInterface(LPCTSTR pstrName) override;
  CDuiString GetText() const override;
  int GetCurSel() const override { return m_iCurSel; }
  bool SelectItem(int iIndex, bool bTakeFocus = false) override;
  bool Add(CControlUI* pControl) override;
  bool AddAt(CControlUI* pControl, int iIndex) override;
  bool Remove(CControlUI* pControl, bool bDoNotDestroy = false) override;
  bool RemoveAt(int iIndex, bool bDoNotDestroy = false) override;
  void RemoveAll() override;
  bool Activate() override;
  void DoEvent(TEventUI& event) override;
  void SetPos(RECT rc, bool bNeedInvalidate = true) override;
  void DoPaint(HDC hDC, const RECT& rcPaint) override;
  void SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) override;
  // The drop-down list window while it is open (null otherwise).
  HWND GetDropWindow() const;
  void CloseDropDown();

 protected:
  friend class CComboDropWnd;
  int m_iCurSel = -1;
  int m_nDropItemHeight = 25;
  int m_nDropMaxItems = 8;
  CComboDropWnd* m_pDropWnd = nullptr;
};

}  // namespace DuiLib
