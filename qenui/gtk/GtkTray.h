// The tray icon on GtkStatusIcon. Clicks reach the owner window as its
// callback message (wParam = icon id, lParam = WM_LBUTTONUP, WM_RBUTTONUP or
// WM_LBUTTONDBLCLK), as the shell's notification area sends them.
//
// Threading: UI thread only.
#pragma once

#include <gtk/gtk.h>

#include <map>

#include "qenui/window/UIHost.h"

namespace DuiLib {

class CGtkTray {
 public:
  CGtkTray() = default;
  ~CGtkTray();
  bool Apply(UINT op, const TTrayIcon& icon);  // NIM_ADD, NIM_MODIFY, NIM_DELETE
  // True when some icon of `owner` exists.
  bool IsOwner(HWND owner) const;
  // True when a notification area shows the icons.
  bool Embedded() const;
  void OwnerDestroyed(HWND owner);
  GtkStatusIcon* StatusIcon(UINT id) const;  // null when no such icon

 private:
  struct Icon { TTrayIcon info; GtkStatusIcon* status = nullptr; };
  static void OnPopup(GtkStatusIcon* s, guint button, guint time, gpointer data);
  static gboolean OnButton(GtkStatusIcon* s, GdkEventButton* ev, gpointer data);
  void SetPicture(Icon* icon);
  std::map<UINT, Icon*> m_icons;  // by id
};

}  // namespace DuiLib
