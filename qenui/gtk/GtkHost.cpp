#include "qenui/gtk/GtkHost.h"

#include <X11/Xutil.h>
#include <gdk/gdkx.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <thread>

#include "qenui/control/UIControls.h"
#include "qenui/core/UIManager.h"
#include "qenui/core/UIImage.h"
#include "qenui/gtk/FontWarmUp.h"
#include "qenui/gtk/GdkPictures.h"
#include "qenui/gtk/GtkKeys.h"
#include "qenui/gtk/GtkTray.h"
#include "qenui/window/UIWindow.h"

namespace DuiLib {

// One library window on screen: a GtkWindow holding an overlay whose main
// child is the painted area; a GtkFixed on top carries the edit entry and
// browser views at client coordinates.
struct CGtkHost::Native {
  CGtkHost* host = nullptr;
  HWND h = 0;
  GtkWidget* window = nullptr;
  GtkWidget* overlay = nullptr;
  GtkWidget* area = nullptr;
  GtkWidget* fixed = nullptr;
  GtkWidget* entry = nullptr;
  GtkCssProvider* entryCss = nullptr;
  ITextInputClient* textClient = nullptr;
  CControlUI* textControl = nullptr;    // the focused edit the entry stands over
  GtkWidget* entryBox = nullptr;        // the entry's clip: a layout over the part of the edit shown
  RECT entryRect;                       // the edit's rectangle the entry was placed for
  bool settingEntryText = false;
  // The window's pixels, painted by the library: an image in memory the X
  // server shares where it can, so a frame goes out without a copy.
  cairo_surface_t* backing = nullptr;
  int roundCorner = 0;
  bool dragging = false;                // moving the window by its caption band
  double dragRootX = 0, dragRootY = 0;
  RECT dragStartRect;
  bool opacityApplied = false;
  std::string className;                // its X11 class (WM_CLASS)
  std::string toolTip;                  // of the control under the pointer ("": none)
  RECT toolTipRect;                     // that control, client coordinates

  ~Native() {
    if (backing) cairo_surface_destroy(backing);
    if (entryCss) g_object_unref(entryCss);
  }
};

namespace {

CGtkHost* g_gtkHost = nullptr;

LPARAM ClientPoint(double x, double y) { return MAKELPARAM(static_cast<int>(x), static_cast<int>(y)); }

RECT NativeRect(HWND h) {
  RECT rc;
  if (!GetWindowRect(h, &rc)) rc = MakeRect(0, 0, 0, 0);
  return rc;
}

}  // namespace

// Signal handlers of the native windows. A message may destroy the window
// (or run a nested loop that destroys it): after dispatching, a handler uses
// only the host and the handle it saved, and looks the window up again.
// Destroyed windows are freed only when no handler is on the stack.
struct NativeEvents {
  struct Scope {
    CGtkHost* host;
    explicit Scope(CGtkHost* h) : host(h) { ++host->m_handlerDepth; }
    ~Scope() { --host->m_handlerDepth; }
  };
  static CGtkHost::Native* Alive(CGtkHost* host, HWND h) { return host->Find(h); }

  // WM_CLASS: the program's name and the window's class.
  static void Realized(GtkWidget* widget, gpointer data) {
    auto* n = static_cast<CGtkHost::Native*>(data);
    GdkWindow* gdk = gtk_widget_get_window(widget);
    if (n->className.empty() || gdk == nullptr || !GDK_IS_X11_WINDOW(gdk)) return;
    std::string name = g_get_prgname() != nullptr ? g_get_prgname() : n->className;
    XClassHint hint;
    hint.res_name = &name[0];
    hint.res_class = &n->className[0];
    XSetClassHint(GDK_WINDOW_XDISPLAY(gdk), GDK_WINDOW_XID(gdk), &hint);
  }

  static gboolean Draw(GtkWidget* widget, cairo_t* cr, gpointer data) {
    auto* n = static_cast<CGtkHost::Native*>(data);
    Scope scope(n->host);
    int w = gtk_widget_get_allocated_width(widget), h = gtk_widget_get_allocated_height(widget);
    if (w <= 0 || h <= 0) return TRUE;
    if (!n->backing || cairo_image_surface_get_width(n->backing) != w || cairo_image_surface_get_height(n->backing) != h) {
      if (n->backing) cairo_surface_destroy(n->backing);
      n->backing = gdk_window_create_similar_image_surface(gtk_widget_get_window(widget), CAIRO_FORMAT_RGB24, w, h, 1);
      gtk_widget_queue_draw(widget);  // the whole new surface needs the library's paint
    }
    GdkRectangle clip;
    if (!gdk_cairo_get_clip_rectangle(cr, &clip)) clip = GdkRectangle{0, 0, w, h};
    RECT rcPaint = MakeRect(clip.x, clip.y, clip.x + clip.width, clip.y + clip.height);
    cairo_t* bc = cairo_create(n->backing);
    cairo_rectangle(bc, clip.x, clip.y, clip.width, clip.height);
    cairo_clip(bc);
    cairo_set_source_rgb(bc, 1, 1, 1);
    cairo_paint(bc);
    {
      CCairoRenderTarget rt(bc, n->host->Images());
      PaintWindow(n->h, &rt, rcPaint);
    }
    cairo_destroy(bc);
    n->host->FollowEditRect(n);
    cairo_set_source_surface(cr, n->backing, 0, 0);
    cairo_paint(cr);
    return TRUE;
  }

  static gboolean QueryToolTip(GtkWidget*, gint x, gint y, gboolean keyboard, GtkTooltip* tooltip, gpointer data) {
    auto* n = static_cast<CGtkHost::Native*>(data);
    const RECT& rc = n->toolTipRect;
    if (keyboard || n->toolTip.empty() || !rc.Contains(MakePoint(x, y))) return FALSE;
    gtk_tooltip_set_text(tooltip, n->toolTip.c_str());
    return TRUE;
  }
  static gboolean Motion(GtkWidget*, GdkEventMotion* ev, gpointer data) {
    auto* n = static_cast<CGtkHost::Native*>(data);
    CGtkHost* host = n->host;
    Scope scope(host);
    host->m_buttons = ev->state;
    if (n->dragging) {
      long dx = static_cast<long>(ev->x_root - n->dragRootX), dy = static_cast<long>(ev->y_root - n->dragRootY);
      RECT rc = n->dragStartRect;
      rc = MakeRect(rc.left + dx, rc.top + dy, rc.right + dx, rc.bottom + dy);
      gtk_window_move(GTK_WINDOW(n->window), static_cast<int>(rc.left), static_cast<int>(rc.top));
      NotifyNativeWindowRect(n->h, rc);
      return TRUE;
    }
    DispatchNativeMessage(n->h, WM_MOUSEMOVE, GdkStateToMouseKeys(ev->state), ClientPoint(ev->x, ev->y));
    return TRUE;
  }

  static gboolean Crossing(GtkWidget*, GdkEventCrossing* ev, gpointer data) {
    auto* n = static_cast<CGtkHost::Native*>(data);
    Scope scope(n->host);
    if (ev->type == GDK_ENTER_NOTIFY) {
      DispatchNativeMessage(n->h, WM_MOUSEMOVE, GdkStateToMouseKeys(ev->state), ClientPoint(ev->x, ev->y));
    } else if (ev->mode == GDK_CROSSING_NORMAL || ev->mode == GDK_CROSSING_UNGRAB) {
      // A leave while a button holds the implicit grab comes again at release.
      if (ev->state & (GDK_BUTTON1_MASK | GDK_BUTTON3_MASK)) return TRUE;
      DispatchNativeMessage(n->h, WM_MOUSELEAVE, 0, 0);
    }
    return TRUE;
  }

  static gboolean Button(GtkWidget* widget, GdkEventButton* ev, gpointer data) {
    auto* n = static_cast<CGtkHost::Native*>(data);
    CGtkHost* host = n->host;
    Scope scope(host);
    HWND h = n->h;
    host->m_buttons = ev->state;
    WPARAM keys = GdkStateToMouseKeys(ev->state);
    LPARAM pt = ClientPoint(ev->x, ev->y);
    if (!gtk_widget_has_focus(widget) && !(n->entry && gtk_widget_has_focus(n->entry))) gtk_widget_grab_focus(widget);
    if (ev->type == GDK_BUTTON_PRESS) {
      if (ev->button == 1) {
        keys |= MK_LBUTTON;
        LRESULT hit = SendMessage(h, WM_NCHITTEST, 0,
                                  MAKELPARAM(static_cast<int>(ev->x_root), static_cast<int>(ev->y_root)));
        if (hit == HTCAPTION && IsWindowEnabled(h)) {
          n->dragging = true;
          n->dragRootX = ev->x_root;
          n->dragRootY = ev->y_root;
          n->dragStartRect = NativeRect(h);
          return TRUE;
        }
        DispatchNativeMessage(h, WM_LBUTTONDOWN, keys, pt);
      } else if (ev->button == 3) {
        DispatchNativeMessage(h, WM_RBUTTONDOWN, keys | MK_RBUTTON, pt);
      }
    } else if (ev->type == GDK_2BUTTON_PRESS) {
      if (ev->button == 1) DispatchNativeMessage(h, WM_LBUTTONDBLCLK, keys | MK_LBUTTON, pt);
      else if (ev->button == 3) DispatchNativeMessage(h, WM_RBUTTONDBLCLK, keys | MK_RBUTTON, pt);
    } else if (ev->type == GDK_BUTTON_RELEASE) {
      if (ev->button == 1) {
        if (n->dragging) { n->dragging = false; return TRUE; }
        DispatchNativeMessage(h, WM_LBUTTONUP, keys & ~static_cast<WPARAM>(MK_LBUTTON), pt);
      } else if (ev->button == 3) {
        DispatchNativeMessage(h, WM_RBUTTONUP, keys & ~static_cast<WPARAM>(MK_RBUTTON), pt);
        if (Alive(host, h))
          DispatchNativeMessage(h, WM_CONTEXTMENU, h,
                                MAKELPARAM(static_cast<int>(ev->x_root), static_cast<int>(ev->y_root)));
      }
      // The pointer may have left while the button was held.
      if (Alive(host, h)) {
        int w = gtk_widget_get_allocated_width(widget), hh = gtk_widget_get_allocated_height(widget);
        if (ev->x < 0 || ev->y < 0 || ev->x >= w || ev->y >= hh) DispatchNativeMessage(h, WM_MOUSELEAVE, 0, 0);
      }
    }
    return TRUE;
  }

  static gboolean Scroll(GtkWidget*, GdkEventScroll* ev, gpointer data) {
    auto* n = static_cast<CGtkHost::Native*>(data);
    Scope scope(n->host);
    int delta = 0;
    if (ev->direction == GDK_SCROLL_UP) delta = 120;
    else if (ev->direction == GDK_SCROLL_DOWN) delta = -120;
    else if (ev->direction == GDK_SCROLL_SMOOTH) delta = static_cast<int>(-ev->delta_y * 120);
    if (delta == 0) return TRUE;
    WPARAM w = (static_cast<WPARAM>(static_cast<uint16_t>(static_cast<int16_t>(delta))) << 16) |
               GdkStateToMouseKeys(ev->state);
    DispatchNativeMessage(n->h, WM_MOUSEWHEEL, w,
                          MAKELPARAM(static_cast<int>(ev->x_root), static_cast<int>(ev->y_root)));
    return TRUE;
  }

  static gboolean Key(GtkWidget*, GdkEventKey* ev, gpointer data) {
    auto* n = static_cast<CGtkHost::Native*>(data);
    CGtkHost* host = n->host;
    Scope scope(host);
    HWND h = n->h;
    UINT vk = GdkKeyvalToVk(ev->keyval);
    bool down = ev->type == GDK_KEY_PRESS;
    if (vk) {
      if (down) host->m_keysDown.insert(vk);
      else host->m_keysDown.erase(vk);
    }
    // A browser view with the focus gets its keys itself.
    GtkWidget* focus = gtk_window_get_focus(GTK_WINDOW(n->window));
    if (focus && focus != n->area && focus != n->entry) return FALSE;
    bool entryFocused = n->entry && gtk_widget_is_visible(n->entry) && gtk_widget_has_focus(n->entry);
    if (entryFocused) {
      // The entry edits the text; the keys the library acts on still reach it.
      bool libraryKey = vk == VK_RETURN || vk == VK_ESCAPE || vk == VK_UP || vk == VK_DOWN || vk == VK_TAB;
      if (!libraryKey) return FALSE;
      if (down) DispatchNativeMessage(h, WM_KEYDOWN, vk, 1);
      else DispatchNativeMessage(h, WM_KEYUP, vk, static_cast<LPARAM>(0xC0000001u));
      return TRUE;
    }
    if (!down) {
      if (vk) DispatchNativeMessage(h, WM_KEYUP, vk, static_cast<LPARAM>(0xC0000001u));
      return TRUE;
    }
    if (vk) DispatchNativeMessage(h, WM_KEYDOWN, vk, 1);
    if (!Alive(host, h)) return TRUE;
    gunichar c = gdk_keyval_to_unicode(ev->keyval);
    if (vk == VK_RETURN) c = 13;
    else if (vk == VK_BACK) c = 8;
    else if (vk == VK_ESCAPE) c = 27;
    else if (vk == VK_TAB) c = 9;
    if (ev->state & (GDK_CONTROL_MASK | GDK_MOD1_MASK)) c = 0;
    if (c > 0 && c < 0x10000) DispatchNativeMessage(h, WM_CHAR, c, 1);
    return TRUE;
  }

  static gboolean Focus(GtkWidget*, GdkEventFocus* ev, gpointer data) {
    auto* n = static_cast<CGtkHost::Native*>(data);
    CGtkHost* host = n->host;
    Scope scope(host);
    HWND h = n->h;
    if (ev->in) {
      DispatchNativeMessage(h, WM_NCACTIVATE, 1, 0);
      if (Alive(host, h)) DispatchNativeMessage(h, WM_SETFOCUS, 0, 0);
    } else {
      host->m_keysDown.clear();
      DispatchNativeMessage(h, WM_NCACTIVATE, 0, 0);
      if (Alive(host, h)) DispatchNativeMessage(h, WM_KILLFOCUS, 0, 0);
    }
    return FALSE;
  }

  static gboolean Delete(GtkWidget*, GdkEvent*, gpointer data) {
    auto* n = static_cast<CGtkHost::Native*>(data);
    Scope scope(n->host);
    // The window manager's close button: as the system menu's "close".
    DispatchNativeMessage(n->h, WM_SYSCOMMAND, SC_CLOSE, 0);
    return TRUE;
  }

  static void EntryChanged(GtkEditable* e, gpointer data) {
    auto* n = static_cast<CGtkHost::Native*>(data);
    if (n->settingEntryText || !n->textClient) return;
    Scope scope(n->host);
    n->textClient->OnTextInput(CDuiString::FromUtf8(gtk_entry_get_text(GTK_ENTRY(e))));
  }
};

// ---------------- host ----------------

CGtkHost::CGtkHost() = default;

CGtkHost::~CGtkHost() {
  if (m_timerSource) g_source_remove(m_timerSource);
  m_tray.reset();
  for (auto& [h, n] : m_windows)
    if (n->window) gtk_widget_destroy(n->window);
  m_windows.clear();
  m_dead.clear();
  if (g_gtkHost == this) g_gtkHost = nullptr;
}

CGtkHost* GetGtkHost() { return g_gtkHost; }

CGtkHost* UseGtkHost(std::string* error) {
  if (g_gtkHost) return g_gtkHost;
  // Windows are placed in screen coordinates: that needs X11.
  gdk_set_allowed_backends("x11");
  BrowserModulePresent();
  // The fonts are read, chosen and shaped on a worker while GTK starts; the
  // first text drawn or measured takes the warmed font map.
  StartFontWarmUp();
  if (!gtk_init_check(nullptr, nullptr)) {
    if (error) *error = "cannot open the X display (DISPLAY is \"" +
                        std::string(g_getenv("DISPLAY") ? g_getenv("DISPLAY") : "") + "\")";
    return nullptr;
  }
  static CGtkHost host;
  host.m_uiThread = std::this_thread::get_id();
  g_gtkHost = &host;
  SetPictureDecoder(&DecodePictureGdk);
  CPaintManagerUI::SetHost(&host);
  return &host;
}

CGtkHost::Native* CGtkHost::Find(HWND h) const {
  auto it = m_windows.find(h);
  return it == m_windows.end() ? nullptr : it->second.get();
}

GtkWidget* CGtkHost::NativeWindow(HWND h) const { Native* n = Find(h); return n ? n->window : nullptr; }
GtkWidget* CGtkHost::NativeOverlay(HWND h) const { Native* n = Find(h); return n ? n->fixed : nullptr; }
GtkWidget* CGtkHost::NativeEntry(HWND h) const { Native* n = Find(h); return n ? n->entry : nullptr; }

bool CGtkHost::CreateNativeWindow(HWND hWnd, HWND hParent, const CDuiString& title, DWORD style, DWORD exStyle,
                                  const RECT& rc) {
  if (std::this_thread::get_id() != m_uiThread) {
    std::fprintf(stderr, "qenui: a window can only be created on the GTK thread\n");
    return false;
  }
  auto n = std::make_unique<Native>();
  n->host = this;
  n->h = hWnd;
  n->window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  GtkWindow* w = GTK_WINDOW(n->window);
  gtk_window_set_title(w, title.ToUtf8().c_str());
  // Every window draws its own caption band.
  gtk_window_set_decorated(w, FALSE);
  // The library sizes every window itself (ResizeClient, maximise): GTK must let it.
  // A non-resizable GtkWindow would take its children's natural size instead, which is
  // nothing here, and GTK then makes an empty window 200 px high whatever was asked.
  gtk_window_set_resizable(w, TRUE);
  if (exStyle & WS_EX_TOOLWINDOW) {
    gtk_window_set_skip_taskbar_hint(w, TRUE);
    gtk_window_set_skip_pager_hint(w, TRUE);
    gtk_window_set_type_hint(w, GDK_WINDOW_TYPE_HINT_UTILITY);
  } else if ((style & WS_POPUP) && !(style & WS_CAPTION) && hParent) {
    gtk_window_set_skip_taskbar_hint(w, TRUE);
    gtk_window_set_type_hint(w, GDK_WINDOW_TYPE_HINT_POPUP_MENU);
  }
  if (exStyle & WS_EX_TOPMOST) gtk_window_set_keep_above(w, TRUE);
  // The window's class is its X11 class (WM_CLASS), so desktop tools find it
  // by the name the program gives it; set once GTK has set its own.
  n->className = GetWindowClass(hWnd).ToUtf8();
  g_signal_connect_after(n->window, "realize", G_CALLBACK(NativeEvents::Realized), n.get());
  if (Native* parent = Find(hParent)) gtk_window_set_transient_for(w, GTK_WINDOW(parent->window));
  gtk_window_move(w, static_cast<int>(rc.left), static_cast<int>(rc.top));
  gtk_window_set_default_size(w, std::max(1L, rc.Width()), std::max(1L, rc.Height()));

  n->overlay = gtk_overlay_new();
  n->area = gtk_drawing_area_new();
  gtk_widget_set_can_focus(n->area, TRUE);
  gtk_widget_add_events(n->area, GDK_POINTER_MOTION_MASK | GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK |
                                     GDK_SCROLL_MASK | GDK_ENTER_NOTIFY_MASK | GDK_LEAVE_NOTIFY_MASK |
                                     GDK_KEY_PRESS_MASK | GDK_KEY_RELEASE_MASK | GDK_FOCUS_CHANGE_MASK);
  n->fixed = gtk_fixed_new();
  gtk_widget_set_halign(n->fixed, GTK_ALIGN_FILL);
  gtk_widget_set_valign(n->fixed, GTK_ALIGN_FILL);
  gtk_container_add(GTK_CONTAINER(n->overlay), n->area);
  gtk_overlay_add_overlay(GTK_OVERLAY(n->overlay), n->fixed);
  // The fixed layer lets the pointer through to the painted area, except over its children.
  gtk_overlay_set_overlay_pass_through(GTK_OVERLAY(n->overlay), n->fixed, TRUE);
  gtk_container_add(GTK_CONTAINER(n->window), n->overlay);

  Native* raw = n.get();
  g_signal_connect(n->area, "draw", G_CALLBACK(NativeEvents::Draw), raw);
  g_signal_connect(n->area, "motion-notify-event", G_CALLBACK(NativeEvents::Motion), raw);
  g_signal_connect(n->area, "enter-notify-event", G_CALLBACK(NativeEvents::Crossing), raw);
  g_signal_connect(n->area, "leave-notify-event", G_CALLBACK(NativeEvents::Crossing), raw);
  g_signal_connect(n->area, "button-press-event", G_CALLBACK(NativeEvents::Button), raw);
  g_signal_connect(n->area, "button-release-event", G_CALLBACK(NativeEvents::Button), raw);
  g_signal_connect(n->area, "scroll-event", G_CALLBACK(NativeEvents::Scroll), raw);
  gtk_widget_set_has_tooltip(n->area, TRUE);
  g_signal_connect(n->area, "query-tooltip", G_CALLBACK(NativeEvents::QueryToolTip), raw);
  g_signal_connect(n->window, "key-press-event", G_CALLBACK(NativeEvents::Key), raw);
  g_signal_connect(n->window, "key-release-event", G_CALLBACK(NativeEvents::Key), raw);
  g_signal_connect(n->window, "focus-in-event", G_CALLBACK(NativeEvents::Focus), raw);
  g_signal_connect(n->window, "focus-out-event", G_CALLBACK(NativeEvents::Focus), raw);
  g_signal_connect(n->window, "delete-event", G_CALLBACK(NativeEvents::Delete), raw);
  gtk_widget_show(n->area);
  gtk_widget_show(n->fixed);
  gtk_widget_show(n->overlay);
  gtk_widget_realize(n->window);
  m_windows[hWnd] = std::move(n);
  return true;
}

void CGtkHost::DestroyNativeWindow(HWND hWnd) {
  auto it = m_windows.find(hWnd);
  if (it == m_windows.end()) return;
  std::unique_ptr<Native> n = std::move(it->second);
  m_windows.erase(it);
  n->textClient = nullptr;
  if (m_tray) m_tray->OwnerDestroyed(hWnd);
  g_signal_handlers_disconnect_matched(n->area, G_SIGNAL_MATCH_DATA, 0, 0, nullptr, nullptr, n.get());
  g_signal_handlers_disconnect_matched(n->window, G_SIGNAL_MATCH_DATA, 0, 0, nullptr, nullptr, n.get());
  if (n->entry) g_signal_handlers_disconnect_matched(n->entry, G_SIGNAL_MATCH_DATA, 0, 0, nullptr, nullptr, n.get());
  gtk_widget_destroy(n->window);
  n->window = nullptr;
  // A signal handler of this window may still be on the stack: free it later.
  m_dead.push_back(std::move(n));
  Wake();
}

void CGtkHost::Reap() {
  if (m_handlerDepth == 0) m_dead.clear();
}

void CGtkHost::ShowNativeWindow(HWND hWnd, int nCmdShow) {
  Native* n = Find(hWnd);
  if (!n) return;
  GtkWindow* w = GTK_WINDOW(n->window);
  // A layout's window opacity ("alpha") applies from the first show on.
  if (!n->opacityApplied && nCmdShow != SW_HIDE) {
    n->opacityApplied = true;
    CPaintManagerUI* pm = CPaintManagerUI::GetManagerOf(hWnd);
    if (pm && pm->GetTransparent() > 0 && pm->GetTransparent() < 255)
      SetNativeWindowOpacity(hWnd, static_cast<BYTE>(pm->GetTransparent()));
  }
  switch (nCmdShow) {
    case SW_HIDE:
      // A window hidden to the tray stays reachable: without a tray it is minimised instead.
      if (m_tray && m_tray->IsOwner(hWnd) && !m_tray->Embedded()) { gtk_window_iconify(w); return; }
      gtk_widget_hide(n->window);
      return;
    case SW_MINIMIZE:
    case SW_SHOWMINIMIZED:
      gtk_widget_show(n->window);
      gtk_window_iconify(w);
      return;
    case SW_SHOWNA:
    case SW_SHOWNOACTIVATE:
      gtk_window_set_focus_on_map(w, FALSE);
      gtk_widget_show(n->window);
      gtk_window_set_focus_on_map(w, TRUE);
      return;
    default: {
      RECT rc = NativeRect(hWnd);
      gtk_window_move(w, static_cast<int>(rc.left), static_cast<int>(rc.top));
      gtk_window_deiconify(w);
      gtk_widget_show(n->window);
      gtk_window_present(w);
      return;
    }
  }
}

void CGtkHost::MoveNativeWindow(HWND hWnd, const RECT& rc, HWND hInsertAfter) {
  Native* n = Find(hWnd);
  if (!n) return;
  GtkWindow* w = GTK_WINDOW(n->window);
  gtk_window_move(w, static_cast<int>(rc.left), static_cast<int>(rc.top));
  int cw = static_cast<int>(std::max(1L, rc.Width())), ch = static_cast<int>(std::max(1L, rc.Height()));
  gtk_window_set_default_size(w, cw, ch);
  gtk_window_resize(w, cw, ch);
  if (hInsertAfter == HWND_TOPMOST) gtk_window_set_keep_above(w, TRUE);
  else if (hInsertAfter == HWND_NOTOPMOST) gtk_window_set_keep_above(w, FALSE);
  if (n->roundCorner > 0) ApplyRoundShape(n);
}

void CGtkHost::SetNativeWindowTitle(HWND hWnd, const CDuiString& title) {
  if (Native* n = Find(hWnd)) gtk_window_set_title(GTK_WINDOW(n->window), title.ToUtf8().c_str());
}

void CGtkHost::SetNativeWindowShape(HWND hWnd, int roundCorner) {
  Native* n = Find(hWnd);
  if (!n) return;
  n->roundCorner = std::max(0, roundCorner);
  ApplyRoundShape(n);
}

void CGtkHost::ApplyRoundShape(Native* n) {
  RECT rc = NativeRect(n->h);
  int w = static_cast<int>(rc.Width()), h = static_cast<int>(rc.Height());
  if (w <= 0 || h <= 0) return;
  if (n->roundCorner <= 0) { gtk_widget_shape_combine_region(n->window, nullptr); return; }
  // The window's shape: a rounded rectangle, one span per row near the corners.
  cairo_region_t* region = cairo_region_create();
  int r = std::min(n->roundCorner, std::min(w, h) / 2);
  for (int y = 0; y < h; ++y) {
    int inset = 0;
    double dy = y < r ? r - y - 0.5 : (y >= h - r ? y - (h - r) + 0.5 : -1);
    if (dy >= 0) inset = static_cast<int>(std::ceil(r - std::sqrt(std::max(0.0, r * r - dy * dy)) - 0.25));
    cairo_rectangle_int_t span = {inset, y, w - 2 * inset, 1};
    if (span.width > 0) cairo_region_union_rectangle(region, &span);
  }
  gtk_widget_shape_combine_region(n->window, region);
  cairo_region_destroy(region);
}

void CGtkHost::SetNativeWindowOpacity(HWND hWnd, BYTE alpha) {
  if (Native* n = Find(hWnd)) gtk_widget_set_opacity(n->window, alpha / 255.0);
}

void CGtkHost::InvalidateNativeWindow(HWND hWnd, const RECT& rc) {
  Native* n = Find(hWnd);
  if (!n) return;
  if (rc.IsEmpty()) gtk_widget_queue_draw(n->area);
  else gtk_widget_queue_draw_area(n->area, static_cast<int>(rc.left), static_cast<int>(rc.top),
                                  static_cast<int>(rc.Width()), static_cast<int>(rc.Height()));
}

// GTK asks (query-tooltip) once the pointer rests over the painted area:
// the answer is the text of the control under the pointer, and only while
// the pointer is inside that control.
void CGtkHost::SetNativeToolTip(HWND hWnd, const CDuiString& text, const RECT& rcControl) {
  Native* n = Find(hWnd);
  if (!n) return;
  n->toolTip = text.ToUtf8();
  n->toolTipRect = rcControl;
}

bool CGtkHost::NativeWindowHasFocus(HWND hWnd) {
  Native* n = Find(hWnd);
  return n && gtk_window_is_active(GTK_WINDOW(n->window));
}

void CGtkHost::ActivateNativeWindow(HWND hWnd) {
  Native* n = Find(hWnd);
  if (n && gtk_widget_get_visible(n->window)) gtk_window_present(GTK_WINDOW(n->window));
}

// ---------------- waiting, posting and timers ----------------

uint64_t CGtkHost::NowMs() { return static_cast<uint64_t>(g_get_monotonic_time() / 1000); }

void CGtkHost::Wake() {
  // At most one drain source is pending; g_idle_add_full is safe from any thread.
  if (m_drainArmed.exchange(true)) return;
  g_idle_add_full(G_PRIORITY_DEFAULT_IDLE, &CGtkHost::OnIdleDrain, this, nullptr);
}

gboolean CGtkHost::OnIdleDrain(gpointer self) {
  auto* host = static_cast<CGtkHost*>(self);
  host->m_drainArmed = false;
  host->Drain();
  return G_SOURCE_REMOVE;
}

gboolean CGtkHost::OnTimerDue(gpointer self) {
  auto* host = static_cast<CGtkHost*>(self);
  host->m_timerSource = 0;
  host->m_timerDue = 0;
  host->Drain();
  return G_SOURCE_REMOVE;
}

void CGtkHost::Drain() {
  // A batch at a time: GTK's input and drawing (higher priorities) take
  // their turns even while a worker floods the queue.
  ++m_drainDepth;
  int n = PumpPendingMessages(kDrainBatch);
  --m_drainDepth;
  if (n == kDrainBatch) Wake();
  Reap();
  RescheduleTimer();
}

void CGtkHost::RescheduleTimer() {
  uint64_t due = GetNextTimerDue();
  if (due == m_timerDue && (m_timerSource || due == 0)) return;
  if (m_timerSource) g_source_remove(m_timerSource);
  m_timerSource = 0;
  m_timerDue = due;
  if (due == 0) return;
  uint64_t now = NowMs();
  guint delay = due > now ? static_cast<guint>(std::min<uint64_t>(due - now, 0x7FFFFFFF)) : 0;
  m_timerSource = g_timeout_add_full(G_PRIORITY_DEFAULT, delay, &CGtkHost::OnTimerDue, this, nullptr);
}

void CGtkHost::WaitForWork(uint64_t) {
  // A loop nested in a drain (a modal window opened by a posted message):
  // the drain source is busy below us, so a fresh one takes the rest.
  if (m_drainDepth > 0) Wake();
  Reap();
  RescheduleTimer();
  g_main_context_iteration(nullptr, TRUE);
}

void CGtkHost::PumpGtk() {
  while (g_main_context_iteration(nullptr, FALSE)) {}
}

// ---------------- screen, pointer, keys, text ----------------

RECT CGtkHost::GetWorkArea() {
  GdkDisplay* d = gdk_display_get_default();
  GdkMonitor* m = d ? gdk_display_get_primary_monitor(d) : nullptr;
  if (!m && d) m = gdk_display_get_monitor(d, 0);
  if (!m) return MakeRect(0, 0, 1280, 800);
  GdkRectangle r;
  gdk_monitor_get_workarea(m, &r);
  return MakeRect(r.x, r.y, r.x + r.width, r.y + r.height);
}

POINT CGtkHost::GetCursorPos() {
  GdkDisplay* d = gdk_display_get_default();
  GdkSeat* seat = d ? gdk_display_get_default_seat(d) : nullptr;
  GdkDevice* p = seat ? gdk_seat_get_pointer(seat) : nullptr;
  int x = 0, y = 0;
  if (p) gdk_device_get_position(p, nullptr, &x, &y);
  return MakePoint(x, y);
}

bool CGtkHost::IsKeyDown(UINT vk) {
  GdkDisplay* d = gdk_display_get_default();
  guint mods = d ? gdk_keymap_get_modifier_state(gdk_keymap_get_for_display(d)) : 0;
  switch (vk) {
    case VK_SHIFT: return (mods & GDK_SHIFT_MASK) != 0 || m_keysDown.count(vk);
    case VK_CONTROL: return (mods & GDK_CONTROL_MASK) != 0 || m_keysDown.count(vk);
    case VK_MENU: return (mods & GDK_MOD1_MASK) != 0 || m_keysDown.count(vk);
    case VK_LBUTTON: return (m_buttons & GDK_BUTTON1_MASK) != 0;
    case VK_RBUTTON: return (m_buttons & GDK_BUTTON3_MASK) != 0;
    default: return m_keysDown.count(vk) != 0;
  }
}

SIZE CGtkHost::MeasureText(const std::u16string& text, const TFontInfo& font) { return MeasureTextPango(text, font); }

// ---------------- the edit entry ----------------

void CGtkHost::BeginTextInput(HWND hWnd, const RECT& rc, const CDuiString& text, bool password,
                              ITextInputClient* client) {
  Native* n = Find(hWnd);
  if (!n || !client) return;
  if (!n->entry) {
    n->entry = gtk_entry_new();
    gtk_entry_set_has_frame(GTK_ENTRY(n->entry), FALSE);
    n->entryCss = gtk_css_provider_new();
    gtk_style_context_add_provider(gtk_widget_get_style_context(n->entry), GTK_STYLE_PROVIDER(n->entryCss),
                                   GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    g_signal_connect(n->entry, "changed", G_CALLBACK(NativeEvents::EntryChanged), n);
    // The entry sits in a box of its own window, which shows only the part
    // of the edit that the library shows (GTK clips children to a window).
    n->entryBox = gtk_layout_new(nullptr, nullptr);
    gtk_layout_put(GTK_LAYOUT(n->entryBox), n->entry, 0, 0);
    gtk_fixed_put(GTK_FIXED(n->fixed), n->entryBox, 0, 0);
  }
  n->textClient = client;
  // The entry takes the edit's place: its rectangle, its face and colours.
  TFontInfo font;
  DWORD colour = 0xFF222222;
  long padLeft = 3, padRight = 3;
  n->textControl = nullptr;
  if (CPaintManagerUI* pm = CPaintManagerUI::GetManagerOf(hWnd)) {
    CControlUI* focus = pm->GetFocus();
    if (focus && focus->GetInterface(u"Edit")) {
      n->textControl = focus;
      auto* label = static_cast<CLabelUI*>(focus->GetInterface(u"Label"));
      if (label) {
        font = *pm->GetFontInfo(label->GetFont());
        if (label->GetTextColor()) colour = label->GetTextColor();
        // The text starts where the edit paints it.
        padLeft = std::max(0L, label->GetTextPadding().left - focus->GetBorderSize());
        padRight = std::max(0L, label->GetTextPadding().right - focus->GetBorderSize());
      }
    }
  }
  char css[512];
  std::snprintf(css, sizeof(css),
                "entry { min-height: 0; min-width: 0; padding: 0 %ldpx 0 %ldpx; margin: 0; border: none;"
                " border-radius: 0; box-shadow: none; background: #FFFFFF; color: #%06X; font-family: %s;"
                " font-size: %dpx; font-weight: %s; }",
                padRight, padLeft, static_cast<unsigned>(colour & 0xFFFFFF), FontFamilyList(font.sFontName).c_str(),
                std::max(1, font.iSize), font.bBold ? "bold" : "normal");
  gtk_css_provider_load_from_data(n->entryCss, css, -1, nullptr);
  n->settingEntryText = true;
  gtk_entry_set_text(GTK_ENTRY(n->entry), text.ToUtf8().c_str());
  n->settingEntryText = false;
  gtk_entry_set_visibility(GTK_ENTRY(n->entry), !password);
  gtk_entry_set_width_chars(GTK_ENTRY(n->entry), 1);
  PlaceEntry(n, rc);
  gtk_widget_show(n->entry);
  gtk_widget_show(n->entryBox);
  gtk_widget_grab_focus(n->entry);
  gtk_editable_set_position(GTK_EDITABLE(n->entry), -1);
}

void CGtkHost::PlaceEntry(Native* n, const RECT& rcEdit) {
  n->entryRect = rcEdit;
  // Inside the edit's border, which stays painted by the library.
  long b = n->textControl ? std::max(0, n->textControl->GetBorderSize()) : 0;
  RECT rc = MakeRect(rcEdit.left + b, rcEdit.top + b, rcEdit.right - b, rcEdit.bottom - b);
  // What of it shows: the library paints a control only inside every
  // container around it, and inside the window.
  RECT shown = rc;
  RECT client;
  if (GetClientRect(n->h, &client)) IntersectRect(&shown, shown, client);
  for (CControlUI* p = n->textControl ? n->textControl->GetParent() : nullptr; p; p = p->GetParent())
    IntersectRect(&shown, shown, p->GetPos());
  if (shown.IsEmpty()) shown = MakeRect(rc.left, rc.top, rc.left, rc.top);
  // Each size is asked for again even when it seems unchanged: GTK queues no
  // resize for a size request made while the widget is hidden.
  gtk_widget_set_size_request(n->entry, static_cast<int>(std::max(1L, rc.Width())),
                              static_cast<int>(std::max(1L, rc.Height())));
  gtk_widget_queue_resize(n->entry);
  gtk_layout_move(GTK_LAYOUT(n->entryBox), n->entry, static_cast<int>(rc.left - shown.left),
                  static_cast<int>(rc.top - shown.top));
  gtk_widget_set_size_request(n->entryBox, static_cast<int>(shown.Width()), static_cast<int>(shown.Height()));
  gtk_widget_queue_resize(n->entryBox);
  gtk_fixed_move(GTK_FIXED(n->fixed), n->entryBox, static_cast<int>(shown.left), static_cast<int>(shown.top));
}

void CGtkHost::FollowEditRect(Native* n) {
  // An edit that moved (layout change, scrolling) takes its entry along.
  if (!n->textClient || !n->textControl) return;
  CPaintManagerUI* pm = CPaintManagerUI::GetManagerOf(n->h);
  if (!pm || pm->GetFocus() != n->textControl) return;
  RECT rc = n->textControl->GetPos();
  if (rc.left != n->entryRect.left || rc.top != n->entryRect.top || rc.right != n->entryRect.right ||
      rc.bottom != n->entryRect.bottom)
    PlaceEntry(n, rc);
}

void CGtkHost::EndTextInput(HWND hWnd, ITextInputClient* client) {
  Native* n = Find(hWnd);
  if (!n || !n->entry || n->textClient != client) return;
  n->textClient = nullptr;
  n->textControl = nullptr;
  bool hadFocus = gtk_widget_has_focus(n->entry);
  gtk_widget_hide(n->entry);
  gtk_widget_hide(n->entryBox);
  if (hadFocus) gtk_widget_grab_focus(n->area);
}

// ---------------- modal windows ----------------

void CGtkHost::OnModalLoopStarted(HWND hWnd) {
  // The window manager keeps a modal window above its owner and the owner out of reach.
  if (Native* n = Find(hWnd)) gtk_window_set_modal(GTK_WINDOW(n->window), TRUE);
}

// ---------------- offscreen painting ----------------

cairo_surface_t* CGtkHost::RenderOffscreen(HWND hWnd) {
  RECT rc;
  if (!GetClientRect(hWnd, &rc) || rc.IsEmpty()) return nullptr;
  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_RGB24, static_cast<int>(rc.Width()),
                                                  static_cast<int>(rc.Height()));
  cairo_t* cr = cairo_create(s);
  cairo_set_source_rgb(cr, 1, 1, 1);
  cairo_paint(cr);
  {
    CCairoRenderTarget rt(cr, &m_images);
    PaintWindow(hWnd, &rt, rc);
  }
  cairo_destroy(cr);
  cairo_surface_flush(s);
  return s;
}

}  // namespace DuiLib
