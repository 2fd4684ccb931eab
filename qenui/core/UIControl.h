// CControlUI: the node of the control tree. Position, sizes, padding,
// visibility, text, user data, tag, background colours and images, events.
#pragma once

#include <functional>
#include <map>

#include "qenui/core/UIDefine.h"
#include "qenui/core/UIRender.h"
#include "qenui/core/UIString.h"

namespace DuiLib {

class CPaintManagerUI;
class CControlUI;

struct TEventUI {
  int Type = 0;
  CControlUI* pSender = nullptr;
  DWORD dwTimestamp = 0;
  POINT ptMouse;
  char16_t chKey = 0;
  WORD wKeyState = 0;
  WPARAM wParam = 0;
  LPARAM lParam = 0;
};

using FINDCONTROLPROC = CControlUI* (*)(CControlUI*, void*);

class CControlUI {
 public:
  CControlUI();
  virtual ~CControlUI();

  virtual CDuiString GetName() const;
  // Whether the control is named `name` (the lookups by name ask this of
  // every control they pass: no copy of the name).
  bool HasName(LPCTSTR name) const { return m_sName == name; }
  virtual void SetName(LPCTSTR pstrName);
  virtual LPCTSTR GetClass() const;
  virtual void* GetInterface(LPCTSTR pstrName);
  virtual UINT GetControlFlags() const;
  virtual bool Activate();

  virtual CPaintManagerUI* GetManager() const;
  virtual void SetManager(CPaintManagerUI* pManager, CControlUI* pParent, bool bInit = true);
  virtual CControlUI* GetParent() const;

  virtual CDuiString GetText() const;
  virtual void SetText(LPCTSTR pstrText);

  // Background and border
  DWORD GetBkColor() const { return m_dwBackColor; }
  void SetBkColor(DWORD dwBackColor);
  LPCTSTR GetBkImage() const { return m_sBkImage; }
  void SetBkImage(LPCTSTR pStrImage);  // non-virtual on purpose
  DWORD GetBorderColor() const { return m_dwBorderColor; }
  void SetBorderColor(DWORD dwBorderColor);
  int GetBorderSize() const { return m_nBorderSize; }
  void SetBorderSize(int nSize);
  SIZE GetBorderRound() const { return m_cxyBorderRound; }
  void SetBorderRound(SIZE cxyRound);
  bool DrawImage(HDC hDC, LPCTSTR pStrImage, LPCTSTR pStrModify = nullptr);

  // Position
  virtual const RECT& GetPos() const;
  virtual void SetPos(RECT rc, bool bNeedInvalidate = true);
  // Takes the rectangle without laying out what the control holds: a row of
  // a long list out of view, laid out by the list when it comes into view.
  void PlaceWithoutLayout(RECT rc);
  virtual int GetWidth() const;
  virtual int GetHeight() const;
  virtual RECT GetPadding() const;
  virtual void SetPadding(RECT rcPadding);
  virtual SIZE GetFixedXY() const;
  virtual void SetFixedXY(SIZE szXY);
  virtual int GetFixedWidth() const;
  virtual void SetFixedWidth(int cx);
  virtual int GetFixedHeight() const;
  virtual void SetFixedHeight(int cy);
  virtual int GetMinWidth() const;
  virtual void SetMinWidth(int cx);
  virtual int GetMaxWidth() const;
  virtual void SetMaxWidth(int cx);
  virtual int GetMinHeight() const;
  virtual void SetMinHeight(int cy);
  virtual int GetMaxHeight() const;
  virtual void SetMaxHeight(int cy);
  virtual SIZE EstimateSize(SIZE szAvailable);

  // Tooltip, user data, tag
  virtual CDuiString GetToolTip() const;
  virtual void SetToolTip(LPCTSTR pstrText);
  virtual const CDuiString& GetUserData();
  virtual void SetUserData(int nData);           // stored as decimal text
  virtual void SetUserData(LPCTSTR pstrText);
  virtual UINT_PTR GetTag() const;
  virtual void SetTag(UINT_PTR pTag);

  // State
  virtual bool IsVisible() const;
  virtual void SetVisible(bool bVisible = true);
  virtual void SetInternVisible(bool bVisible = true);
  virtual bool IsEnabled() const;
  virtual void SetEnabled(bool bEnable = true);
  virtual bool IsMouseEnabled() const;
  virtual void SetMouseEnabled(bool bEnable = true);
  virtual bool IsKeyboardEnabled() const;
  virtual void SetKeyboardEnabled(bool bEnable = true);
  virtual bool IsFocused() const;
  virtual void SetFocus();
  virtual bool IsFloat() const;
  virtual void SetFloat(bool bFloat = true);

  virtual CControlUI* FindControl(FINDCONTROLPROC Proc, void* pData, UINT uFlags);

  void Invalidate();
  bool IsUpdateNeeded() const { return m_bUpdateNeeded; }
  void NeedUpdate();
  void NeedParentUpdate();

  virtual void Init();
  virtual void DoInit();

  // Event entry: runs the OnEvent hooks, then DoEvent.
  void Event(TEventUI& event);
  virtual void DoEvent(TEventUI& event);

  virtual void SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue);
  CControlUI* ApplyAttributeList(LPCTSTR pstrList);

  // Painting
  virtual void DoPaint(HDC hDC, const RECT& rcPaint);
  virtual void PaintBkColor(HDC hDC);
  virtual void PaintBkImage(HDC hDC);
  virtual void PaintStatusImage(HDC hDC);
  virtual void PaintText(HDC hDC);
  virtual void PaintBorder(HDC hDC);
  bool IsContextMenuUsed() const;
  RECT GetFloatPos() const { return m_rcFloatPos; }

  // Hooks that the owner can attach (return false to stop the event).
  std::vector<std::function<bool(void*)>> OnInit, OnDestroy, OnEvent, OnNotify;

 protected:
  CPaintManagerUI* m_pManager = nullptr;
  CControlUI* m_pParent = nullptr;
  CDuiString m_sName;
  bool m_bUpdateNeeded = true;
  bool m_bInited = false;
  RECT m_rcItem;
  RECT m_rcPadding;
  SIZE m_cXY;
  SIZE m_cxyFixed;
  SIZE m_cxyMin;
  SIZE m_cxyMax;
  bool m_bVisible = true;
  bool m_bInternVisible = true;
  bool m_bEnabled = true;
  bool m_bMouseEnabled = true;
  bool m_bKeyboardEnabled = true;
  bool m_bFocused = false;
  bool m_bFloat = false;
  bool m_bSetPos = false;
  CDuiString m_sText;
  CDuiString m_sToolTip;
  CDuiString m_sUserData;
  UINT_PTR m_pTag = 0;
  DWORD m_dwBackColor = 0;
  CDuiString m_sBkImage;
  DWORD m_dwBorderColor = 0;
  int m_nBorderSize = 0;
  SIZE m_cxyBorderRound;
  RECT m_rcPaint;
  RECT m_rcFloatPos;
  bool m_bMenuUsed = false;
};

}  // namespace DuiLib
