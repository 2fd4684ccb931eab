#include "qenui/gtk/GtkTray.h"

#include "qenui/core/UIManager.h"
#include "qenui/window/UIWindow.h"

// GtkStatusIcon is deprecated in GTK 3 but is what the X11 system tray speaks.
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"

namespace DuiLib {

CGtkTray::~CGtkTray() {
  if (m_idle) g_source_remove(m_idle);
  for (auto& [id, icon] : m_icons) DeleteIcon(icon);
}

gboolean CGtkTray::MakeWaitingIcons(gpointer self) {
  auto* tray = static_cast<CGtkTray*>(self);
  tray->m_idle = 0;
  for (auto& [id, icon] : tray->m_icons)
    if (!icon->status) tray->MakeStatusIcon(icon);
  return G_SOURCE_REMOVE;
}

void CGtkTray::MakeStatusIcon(Icon* icon) {
  icon->status = gtk_status_icon_new();
  SetPicture(icon);
  gtk_status_icon_set_tooltip_text(icon->status, icon->info.sTip.ToUtf8().c_str());
  g_signal_connect(icon->status, "button-press-event", G_CALLBACK(OnButton), icon);
  g_signal_connect(icon->status, "popup-menu", G_CALLBACK(OnPopup), icon);
  gtk_status_icon_set_visible(icon->status, TRUE);
}

void CGtkTray::DeleteIcon(Icon* icon) {
  if (icon->status) {
    gtk_status_icon_set_visible(icon->status, FALSE);
    g_object_unref(icon->status);
  }
  delete icon;
}

void CGtkTray::SetPicture(Icon* icon) {
  std::string bytes;
  if (!icon->info.sIcon.IsEmpty() && CPaintManagerUI::LoadResourceFile(icon->info.sIcon, &bytes)) {
    GdkPixbufLoader* loader = gdk_pixbuf_loader_new();
    bool ok = gdk_pixbuf_loader_write(loader, reinterpret_cast<const guchar*>(bytes.data()), bytes.size(), nullptr);
    ok = gdk_pixbuf_loader_close(loader, nullptr) && ok;
    GdkPixbuf* pb = ok ? gdk_pixbuf_loader_get_pixbuf(loader) : nullptr;
    if (pb) {
      gtk_status_icon_set_from_pixbuf(icon->status, pb);
      g_object_unref(loader);
      return;
    }
    g_object_unref(loader);
  }
  gtk_status_icon_set_from_icon_name(icon->status, "phone");
}

bool CGtkTray::Apply(UINT op, const TTrayIcon& info) {
  auto it = m_icons.find(info.uID);
  switch (op) {
    case NIM_ADD: {
      if (it != m_icons.end() || !IsWindow(info.hWnd)) return false;
      m_icons[info.uID] = new Icon{info, nullptr};
      if (!m_idle) m_idle = g_idle_add_full(G_PRIORITY_LOW, &MakeWaitingIcons, this, nullptr);
      return true;
    }
    case NIM_MODIFY: {
      if (it == m_icons.end()) return false;
      Icon* icon = it->second;
      if (info.uFlags & NIF_TIP) {
        icon->info.sTip = info.sTip;
        if (icon->status) gtk_status_icon_set_tooltip_text(icon->status, info.sTip.ToUtf8().c_str());
      }
      if (info.uFlags & NIF_ICON) {
        icon->info.sIcon = info.sIcon;
        if (icon->status) SetPicture(icon);
      }
      if (info.uFlags & NIF_MESSAGE) icon->info.uCallbackMessage = info.uCallbackMessage;
      return true;
    }
    case NIM_DELETE: {
      if (it == m_icons.end()) return false;
      DeleteIcon(it->second);
      m_icons.erase(it);
      return true;
    }
    default: return false;
  }
}

bool CGtkTray::IsOwner(HWND owner) const {
  for (auto& [id, icon] : m_icons)
    if (icon->info.hWnd == owner) return true;
  return false;
}

bool CGtkTray::Embedded() const {
  for (auto& [id, icon] : m_icons)
    if (icon->status && gtk_status_icon_is_embedded(icon->status)) return true;
  return false;
}

void CGtkTray::OwnerDestroyed(HWND owner) {
  for (auto it = m_icons.begin(); it != m_icons.end();) {
    if (it->second->info.hWnd == owner) {
      DeleteIcon(it->second);
      it = m_icons.erase(it);
    } else {
      ++it;
    }
  }
}

GtkStatusIcon* CGtkTray::StatusIcon(UINT id) {
  auto it = m_icons.find(id);
  if (it == m_icons.end()) return nullptr;
  if (!it->second->status) MakeStatusIcon(it->second);
  return it->second->status;
}

gboolean CGtkTray::OnButton(GtkStatusIcon*, GdkEventButton* ev, gpointer data) {
  auto* icon = static_cast<Icon*>(data);
  if (!icon->info.uCallbackMessage) return TRUE;
  auto post = [icon](UINT mouse) {
    PostMessage(icon->info.hWnd, icon->info.uCallbackMessage, icon->info.uID, static_cast<LPARAM>(mouse));
  };
  // A left click reaches the owner as down then up, as a notification-area
  // click does, so owners may react to either.
  if (ev->type == GDK_2BUTTON_PRESS && ev->button == 1) {
    post(WM_LBUTTONDBLCLK);
  } else if (ev->type == GDK_BUTTON_PRESS && ev->button == 1) {
    post(WM_LBUTTONDOWN);
    post(WM_LBUTTONUP);
  } else if (ev->type == GDK_BUTTON_PRESS && ev->button == 3) {
    post(WM_RBUTTONUP);
  }
  return TRUE;
}

void CGtkTray::OnPopup(GtkStatusIcon*, guint, guint, gpointer data) {
  auto* icon = static_cast<Icon*>(data);
  if (icon->info.uCallbackMessage)
    PostMessage(icon->info.hWnd, icon->info.uCallbackMessage, icon->info.uID, static_cast<LPARAM>(WM_RBUTTONUP));
}

}  // namespace DuiLib
