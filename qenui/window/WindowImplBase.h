// WindowImplBaseNew: a window whose content is a layout of the skin, with
// the hooks that the program's windows override; CMenuImplBase: a popup
// menu whose chosen item posts 35769 (tag in wParam) to its owner.
#pragma once

#include "qenui/control/UIList.h"
#include "qenui/core/UIDlgBuilder.h"
#include "qenui/window/UIWindow.h"

namespace DuiLib {

class WindowImplBaseNew : public CWindowWnd, public INotifyUI, public IMessageFilterUI, public IDialogBuilderCallback {
 public:
  WindowImplBaseNew() = default;
  ~WindowImplBaseNew() override = default;

  // The layout file of this window ("wnd_xml\\x.xml"); set before Create.
  void InitWinParam(LPCTSTR pstrSkinFile) { m_sSkinFile = pstrSkinFile; }
  virtual CDuiString GetSkinFile() { return m_sSkinFile; }
  CPaintManagerUI* GetPaintManager() { return &m_PaintManager; }
  static void Cleanup() {}

  // INotifyUI: dispatches to the notify hooks below.
  void Notify(TNotifyUI& msg) override;
  // IMessageFilterUI: Escape/Return go to ResponseDefaultKeyEvent.
  LRESULT MessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled) override;
  CControlUI* CreateControl(LPCTSTR) override { return nullptr; }

 protected:
  LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override;
  void OnFinalMessage(HWND hWnd) override;

  virtual void InitAfterCreate() {}
  virtual LRESULT OnCreate(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled);
  virtual LRESULT OnClose(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled);
  virtual LRESULT OnDestroy(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled);
  virtual LRESULT OnTimer(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled);
  virtual LRESULT OnMouseWheel(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled);
  virtual LRESULT OnSysCommand(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled);
  // HTCAPTION inside the layout's caption band (except over buttons, options,
  // edits and links), HTCLIENT elsewhere; the back end starts a window move on HTCAPTION.
  virtual LRESULT OnNcHitTest(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled);
  virtual LRESULT OnNcActivate(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled);
  virtual LRESULT HandleCustomMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled);
  virtual LRESULT ResponseDefaultKeyEvent(WPARAM wParam);

  virtual void WindowInitNotify(TNotifyUI&) {}
  virtual void ClickNotify(TNotifyUI&) {}
  virtual void SelectChangedNotify(TNotifyUI&) {}
  virtual void TextChangedNotify(TNotifyUI&) {}
  virtual void ItemSelectNotify(TNotifyUI&) {}
  virtual void ItemClickNotify(TNotifyUI&) {}
  virtual void KillFocusNotify(TNotifyUI&) {}
  virtual void SetFocusNotify(TNotifyUI&) {}
  virtual void LinkNotify(TNotifyUI&) {}
  virtual void ReturnNotify(TNotifyUI&) {}
  virtual void OtherNotify(TNotifyUI&) {}

  CPaintManagerUI m_PaintManager;
  CDuiString m_sSkinFile;
};

class CMenuImplBase : public WindowImplBaseNew {
 public:
  // Binds the menu to its owner and its layout (which holds one list).
  void InitParam(HWND hOwner, LPCTSTR pstrSkinFile, LPCTSTR pstrListName = u"menulist");
  HWND GetOwner() const { return m_hOwner; }
  CListUI* GetMenuList() const { return m_pList; }
  // Shows the menu at the cursor (or at pt, screen coordinates), kept on the screen.
  void ShowMenu(POINT pt);
  void ShowMenu();
  // Adds one item: a list label row with the text and the tag (its command).
  CListLabelElementUI* AddMenuItem(LPCTSTR text, UINT_PTR tag, int height = 25);
  void Notify(TNotifyUI& msg) override;
  // Closes every open menu but `except` (a mouse button went down in another
  // window of the program: a click elsewhere). UI thread.
  static void CloseMenusExcept(HWND except);

 protected:
  LPCTSTR GetWindowClassName() const override { return u"MenuWnd"; }
  void InitAfterCreate() override;
  virtual void InitItem() {}
  // Posts 35769 with the item's tag to the owner, then closes the menu.
  virtual void OnItemChosen(CControlUI* pItem);
  LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override;

  HWND m_hOwner = 0;
  CDuiString m_sListName;
  CListUI* m_pList = nullptr;
  bool m_focusCheckPosted = false;  // a focus check is queued (UI thread)
};

}  // namespace DuiLib
