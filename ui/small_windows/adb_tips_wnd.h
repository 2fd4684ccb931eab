// CAdbTipsWnd: the USB-debugging help window, shown while the phone's USB
// debugging is off. A strip of ten instruction pictures, three at a time,
// with previous/next buttons, and two answers: debugging is now on (reconnect
// at once) or cancel (the main window shows state 18).
//
// Threading: UI thread only.
#pragma once

#include "ui/small_windows/side_window.h"

class CAdbTipsWnd : public CSideWindow {
 public:
  CAdbTipsWnd();

  // Layout "wnd_xml\adbtips_wnd.xml", name "AdbTipsWnd", WS_POPUP,
  // WS_EX_TOOLWINDOW, the layout's size, centred; true.
  bool Create(DuiLib::HWND parent) override;

  void SetReconnect(ReconnectRequest reconnect) { reconnect_ = std::move(reconnect); }

  // The last visible picture (pictures index - 2 .. index show).
  int PageIndex() const { return index_; }

  void ShowNext();
  void ShowPrevious();

 protected:
  DuiLib::LPCTSTR GetWindowClassName() const override { return u"AdbTipsWnd"; }
  void InitAfterCreate() override;
  void ClickNotify(DuiLib::TNotifyUI& msg) override;
  DuiLib::LRESULT ResponseDefaultKeyEvent(DuiLib::WPARAM wParam) override;

 private:
  void Cancel();
  void Opened();
  void UpdateButtons(int index);
  void SetItemVisible(int position, bool visible);

  int index_ = 0;
  DuiLib::CListUI* list_ = nullptr;
  DuiLib::CControlUI* previous_btn_ = nullptr;  // "tips_forward_btn"
  DuiLib::CControlUI* next_btn_ = nullptr;      // "tips_back_btn"
  ReconnectRequest reconnect_;
};
