// CSideWindow: base of the main window's small popup windows (USB-debugging
// help, connection-lost tips, driver progress, download indicator). The main
// window makes each one once and shows and hides it; a window that has not
// been created yet is simply not shown.
//
// Threading: UI thread only.
#pragma once

#include <functional>

#include "qenui/UIlib.h"

class CSideWindow : public DuiLib::WindowImplBaseNew {
 public:
  // Creates the native window over `parent`; true on success.
  virtual bool Create(DuiLib::HWND parent) = 0;

  bool IsCreated() const { return m_hWnd != 0 && DuiLib::IsWindow(m_hWnd); }
  void Show() {
    if (IsCreated()) ShowWindow(true, true);
  }
  void Hide() {
    if (IsCreated()) ShowWindow(false, false);
  }
  bool IsVisible() const { return IsCreated() && DuiLib::IsWindowVisible(m_hWnd); }
};

// The connection manager's "reconnect the current device" (force flag), as
// the tips windows ask for it; set by the main window.
using ReconnectRequest = std::function<void(bool force)>;
