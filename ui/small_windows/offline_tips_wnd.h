// COfflineTipsWnd: the connection-lost window, shown when adb lists the phone
// but not as ready. Three pictures explain how to bring the phone back;
// "再试一次" reconnects at once, closing it (button or Escape) makes the main
// window show state 18.
//
// Threading: UI thread only.
#pragma once

#include "ui/small_windows/side_window.h"

class COfflineTipsWnd : public CSideWindow {
 public:
  COfflineTipsWnd();

  // Layout "wnd_xml\offlinetips_wnd.xml", name "OfflineTipsWnd", WS_POPUP,
  // WS_EX_TOOLWINDOW, centred on its owner; true.
  bool Create(DuiLib::HWND owner) override;

  void SetReconnect(ReconnectRequest reconnect) { reconnect_ = std::move(reconnect); }

 protected:
  DuiLib::LPCTSTR GetWindowClassName() const override { return u"OfflineTipsWnd"; }
  void ClickNotify(DuiLib::TNotifyUI& msg) override;
  DuiLib::LRESULT ResponseDefaultKeyEvent(DuiLib::WPARAM wParam) override;

 private:
  void PostCancel();

  ReconnectRequest reconnect_;
};
