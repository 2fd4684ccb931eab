// The tray icon on GtkStatusIcon. Clicks reach the owner window as its
// callback message (wParam = icon id, lParam = WM_LBUTTONUP, WM_RBUTTONUP or
// WM_LBUTTONDBLCLK), as the shell's notification area sends them.
//
// An icon's GtkStatusIcon is made when the loop is next idle after NIM_ADD,
// once the windows shown with it were drawn: making one measures GTK's own
// font, which a window's first frame need not wait for. Until then the icon
// is kept as asked for (and changed or removed as asked); a notification
// area takes an icon some time after it is made in any case.
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
  GtkStatusIcon* StatusIcon(UINT id);  // made now if still waiting; null when no such icon

 private:
  struct Icon { TTrayIcon info; GtkStatusIcon* status = nullptr; };
  static void OnPopup(GtkStatusIcon* s, guint button, guint time, gpointer data);
  static gboolean OnButton(GtkStatusIcon* s, GdkEventButton* ev, gpointer data);
  static gboolean MakeWaitingIcons(gpointer self);
  void MakeStatusIcon(Icon* icon);
  static void DeleteIcon(Icon* icon);  // hides its status icon first
  void SetPicture(Icon* icon);
  std::map<UINT, Icon*> m_icons;  // by id
  guint m_idle = 0;  // the idle source that makes waiting icons
};

}  // namespace DuiLib
