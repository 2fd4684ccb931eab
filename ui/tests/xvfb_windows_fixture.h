// Program windows in real windows on a private X server: a test environment
// that starts Xvfb and the GTK back end over the program's own skin with a
// temporary user, loop pumping helpers, the main window, and screenshots
// into PD_SCREENSHOT_DIR. A test binary installs the environment once:
//   const auto* const kEnv = ::testing::AddGlobalTestEnvironment(new ui_xvfb::XvfbWindowsEnvironment("name"));
// and each test starts with `if (!ui_xvfb::SkipReason().empty()) GTEST_SKIP() << ...`.
#pragma once

#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <string>

#include "app/config/config_mgr.h"
#include "qenui/UIlib.h"
#include "qenui/gtk/GtkHost.h"
#include "qenui/gtk/GtkScreenshot.h"
#include "qenui/gtk/tests/xvfb_session.h"
#include "ui/frame/main_frame.h"

namespace ui_xvfb {

// Why the windows cannot be shown (empty when they can).
inline std::string& SkipReason() {
  static std::string reason;
  return reason;
}

class XvfbWindowsEnvironment : public ::testing::Environment {
 public:
  explicit XvfbWindowsEnvironment(std::string name) : name_(std::move(name)) {}
  void SetUp() override {
    std::string tmpl = "/tmp/" + name_ + "_XXXXXX";
    if (!mkdtemp(tmpl.data())) {
      SkipReason() = "no temporary folder";
      return;
    }
    home_ = tmpl;
    setenv("HOME", home_.c_str(), 1);
    for (const char* v : {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME"}) setenv(v, home_.c_str(), 1);
    setenv("TMPDIR", home_.c_str(), 1);
    setenv("PHONEDECK_PROGRAM_DIR", (home_ + "/program").c_str(), 1);
    setenv("GSETTINGS_BACKEND", "memory", 1);
    xvfb_ = new qenui_gtk_test::XvfbSession;
    std::string err;
    if (!xvfb_->Start(&err) || !xvfb_->StartWindowManagerOfEnvironment(&err) || !DuiLib::UseGtkHost(&err)) {
      SkipReason() = err;
      return;
    }
    if (!DuiLib::CPaintManagerUI::SetResourceZipEmbedded()) SkipReason() = "skin missing";
    CConfigMgr::Instance()->Init();
    // The pointer rests in the screen's far corner, away from the windows the
    // tests open, so that no tooltip shows over a window they photograph.
    GdkDisplay* display = gdk_display_get_default();
    GdkSeat* seat = display ? gdk_display_get_default_seat(display) : nullptr;
    GdkMonitor* monitor = display ? gdk_display_get_monitor(display, 0) : nullptr;
    if (seat && monitor) {
      GdkRectangle screen;
      gdk_monitor_get_geometry(monitor, &screen);
      gdk_device_warp(gdk_seat_get_pointer(seat), gdk_display_get_default_screen(display),
                      screen.x + screen.width - 1, screen.y + screen.height - 1);
    }
  }
  void TearDown() override {
    CConfigMgr::Release();
    if (xvfb_) xvfb_->Stop();
    delete xvfb_;
    if (!home_.empty()) {
      EXPECT_EQ(std::system(("rm -rf '" + home_ + "'").c_str()), 0);
    }
  }

 private:
  std::string name_;
  std::string home_;
  qenui_gtk_test::XvfbSession* xvfb_ = nullptr;
};

// Runs GTK and the library's posted messages until `done` or the time-out.
inline bool PumpUntil(const std::function<bool()>& done, int timeoutMs = 3000) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (std::chrono::steady_clock::now() < deadline) {
    while (g_main_context_iteration(nullptr, FALSE)) {}
    DuiLib::PumpPendingMessages();
    if (done()) return true;
    g_usleep(2000);
  }
  return done();
}
inline void PumpFor(int ms) { PumpUntil([] { return false; }, ms); }

// Pumps until GDK's keymap in this process has `keycode` on `codepoint`,
// after another X connection remapped the key (at most 2 s): a key pressed
// before GDK saw the new mapping reaches the window as the old symbol or
// none.
inline bool PumpUntilKeymapMaps(int keycode, char32_t codepoint) {
  const guint keyval = gdk_unicode_to_keyval(codepoint);
  return PumpUntil(
      [&] {
        GdkKeymapKey* keys = nullptr;
        guint* keyvals = nullptr;
        gint n = 0;
        bool found = false;
        if (gdk_keymap_get_entries_for_keycode(gdk_keymap_get_for_display(gdk_display_get_default()),
                                               static_cast<guint>(keycode), &keys, &keyvals, &n)) {
          for (gint i = 0; i < n && !found; ++i) found = keyvals[i] == keyval;
        }
        g_free(keys);
        g_free(keyvals);
        return found;
      },
      2000);
}

// The program's main window, created, centred and shown (null when it could
// not be created or did not show). The caller destroys its window and deletes it.
inline CMainFrame* ShowMainWindow() {
  auto* frame = new CMainFrame;
  frame->InitWinParam(u"wnd_xml\\main_frame.xml");
  DuiLib::HWND h = frame->Create(0, u"Shelfhub", 0x800A0000, 0x100);
  if (!h) {
    delete frame;
    return nullptr;
  }
  frame->CenterWindow();
  frame->ShowWindow(true, true);
  if (!PumpUntil([&] { return DuiLib::IsWindowVisible(h); })) {
    DuiLib::DestroyWindow(h);
    delete frame;
    return nullptr;
  }
  return frame;
}

// Saves what the X server shows of the window as PD_SCREENSHOT_DIR/name.
inline void Shot(DuiLib::HWND h, const std::string& name) {
  mkdir(PD_SCREENSHOT_DIR, 0755);
  const std::string path = std::string(PD_SCREENSHOT_DIR) + "/" + name;
  std::string err;
  EXPECT_TRUE(DuiLib::SaveWindowScreenshot(h, path, &err)) << name << ": " << err;
  struct stat st;
  EXPECT_TRUE(stat(path.c_str(), &st) == 0 && st.st_size > 0) << path;
}

// Saves what the X server shows over a rectangle of the screen, popups and
// other windows on top included, as PD_SCREENSHOT_DIR/name.
inline void ScreenShotOf(const DuiLib::RECT& rc, const std::string& name) {
  while (gtk_events_pending()) gtk_main_iteration_do(FALSE);
  gdk_display_sync(gdk_display_get_default());
  GdkPixbuf* pb = gdk_pixbuf_get_from_window(gdk_get_default_root_window(), static_cast<int>(rc.left),
                                             static_cast<int>(rc.top), static_cast<int>(rc.Width()),
                                             static_cast<int>(rc.Height()));
  ASSERT_NE(pb, nullptr);
  mkdir(PD_SCREENSHOT_DIR, 0755);
  const std::string path = std::string(PD_SCREENSHOT_DIR) + "/" + name;
  EXPECT_TRUE(gdk_pixbuf_save(pb, path.c_str(), "png", nullptr, nullptr)) << path;
  g_object_unref(pb);
}

// Runs the loop until the window's frame clock has painted one whole frame
// after now: what was changed before (a text entry's new text among it) has
// been drawn. False when no frame came within two seconds.
inline bool PaintOneFrame(GtkWidget* window) {
  GdkFrameClock* clock = gtk_widget_get_frame_clock(window);
  if (!clock) return false;
  bool painted = false;
  const gulong handler = g_signal_connect_swapped(
      clock, "after-paint", G_CALLBACK(+[](bool* flag) { *flag = true; }), &painted);
  gdk_frame_clock_request_phase(clock, GDK_FRAME_CLOCK_PHASE_PAINT);
  PumpUntil([&] { return painted; }, 2000);
  g_signal_handler_disconnect(clock, handler);
  return painted;
}

// The pixels of a window that differ between what the X server shows and
// its control tree painted offscreen now (the same painter), inside the
// round corners' margin and outside the text entry an edit control shows
// while it has the focus; -1 when either cannot be read. 0: the display
// shows the window as it is now. `above`, when given, is a window over this
// one (a popup): the part it covers shows the popup, not this window, and is
// left out.
inline int PixelsNotAsPainted(DuiLib::HWND h, GdkPixbuf** shown = nullptr, DuiLib::HWND above = 0) {
  GtkWidget* w = DuiLib::GetGtkHost() ? DuiLib::GetGtkHost()->NativeWindow(h) : nullptr;
  GdkWindow* gw = w ? gtk_widget_get_window(w) : nullptr;
  if (!gw || !gtk_widget_get_mapped(w)) return -1;
  if (!PaintOneFrame(w)) return -1;
  gdk_display_sync(gdk_window_get_display(gw));
  GdkPixbuf* pb = gdk_pixbuf_get_from_window(gw, 0, 0, gdk_window_get_width(gw), gdk_window_get_height(gw));
  cairo_surface_t* painted = DuiLib::GetGtkHost()->RenderOffscreen(h);
  // The focused edit's native entry, in window coordinates.
  GdkRectangle entry{0, 0, 0, 0};
  GtkWidget* native_entry = DuiLib::GetGtkHost()->NativeEntry(h);
  if (native_entry && gtk_widget_get_visible(native_entry) &&
      gtk_widget_translate_coordinates(native_entry, w, 0, 0, &entry.x, &entry.y)) {
    entry.width = gtk_widget_get_allocated_width(native_entry);
    entry.height = gtk_widget_get_allocated_height(native_entry);
  }
  // The popup's rectangle, in this window's coordinates.
  DuiLib::RECT covered{0, 0, 0, 0};
  DuiLib::RECT mine;
  if (above && DuiLib::GetWindowRect(above, &covered) && DuiLib::GetWindowRect(h, &mine)) {
    covered.left -= mine.left, covered.right -= mine.left;
    covered.top -= mine.top, covered.bottom -= mine.top;
  }
  int differing = -1;
  if (pb && painted && gdk_pixbuf_get_width(pb) == cairo_image_surface_get_width(painted) &&
      gdk_pixbuf_get_height(pb) == cairo_image_surface_get_height(painted)) {
    differing = 0;
    const int width = gdk_pixbuf_get_width(pb), height = gdk_pixbuf_get_height(pb);
    const int channels = gdk_pixbuf_get_n_channels(pb), stride = gdk_pixbuf_get_rowstride(pb);
    const guchar* shown_pixels = gdk_pixbuf_read_pixels(pb);
    const unsigned char* painted_pixels = cairo_image_surface_get_data(painted);
    const int painted_stride = cairo_image_surface_get_stride(painted);
    constexpr int kCorner = 8;
    for (int y = kCorner; y < height - kCorner; ++y)
      for (int x = kCorner; x < width - kCorner; ++x) {
        if (x >= entry.x && x < entry.x + entry.width && y >= entry.y && y < entry.y + entry.height) continue;
        if (x >= covered.left && x < covered.right && y >= covered.top && y < covered.bottom) continue;
        const guchar* a = shown_pixels + y * stride + x * channels;
        const uint32_t b = *reinterpret_cast<const uint32_t*>(painted_pixels + y * painted_stride + x * 4);
        const uint32_t rgb = (uint32_t(a[0]) << 16) | (uint32_t(a[1]) << 8) | a[2];
        differing += rgb != (b & 0xFFFFFFu);
      }
  }
  if (painted) cairo_surface_destroy(painted);
  if (shown && differing >= 0) *shown = pb;
  else if (pb) g_object_unref(pb);
  return differing;
}

// Pumps until the X server shows the window as its controls paint it now
// (the repaint after a change has reached the display), then saves that
// picture as PD_SCREENSHOT_DIR/name. When the display shows anything else
// (an earlier page, a native child left over it) within the time-out, the
// picture is saved all the same and the test fails with the count of
// differing pixels.
inline void ShotAsPainted(DuiLib::HWND h, const std::string& name, int timeoutMs = 10000) {
  // The picture is the one of the look that matched: a second look could
  // catch an animation between two frames.
  GdkPixbuf* shown = nullptr;
  int differing = -1;
  PumpUntil(
      [&] {
        if (shown) g_object_unref(shown);
        shown = nullptr;
        differing = PixelsNotAsPainted(h, &shown);
        return differing == 0;
      },
      timeoutMs);
  ASSERT_GE(differing, 0) << name << ": the window cannot be read";
  mkdir(PD_SCREENSHOT_DIR, 0755);
  const std::string path = std::string(PD_SCREENSHOT_DIR) + "/" + name;
  EXPECT_TRUE(gdk_pixbuf_save(shown, path.c_str(), "png", nullptr, nullptr)) << path;
  g_object_unref(shown);
  EXPECT_EQ(differing, 0) << name << ": the display does not show the window as it is painted now";
}

// The same over the window's rectangle.
inline void ScreenShotOver(DuiLib::HWND h, const std::string& name) {
  DuiLib::RECT rc;
  ASSERT_TRUE(DuiLib::GetWindowRect(h, &rc));
  ScreenShotOf(rc, name);
}

// The colour (0xRRGGBB) the X server shows at a point of the window's
// client area; -1 when it cannot be read.
inline long ScreenPixel(DuiLib::HWND h, DuiLib::POINT pt) {
  while (gtk_events_pending()) gtk_main_iteration_do(FALSE);
  gdk_display_sync(gdk_display_get_default());
  if (!DuiLib::ClientToScreen(h, &pt)) return -1;
  GdkPixbuf* pb = gdk_pixbuf_get_from_window(gdk_get_default_root_window(), static_cast<int>(pt.x),
                                             static_cast<int>(pt.y), 1, 1);
  if (!pb) return -1;
  const guchar* px = gdk_pixbuf_get_pixels(pb);
  const long colour = (static_cast<long>(px[0]) << 16) | (px[1] << 8) | px[2];
  g_object_unref(pb);
  return colour;
}

// The text of the tooltip GTK shows now, with its window's screen
// rectangle; empty when none is shown.
inline std::string ShownToolTip(DuiLib::RECT* where = nullptr) {
  std::string text;
  GList* windows = gtk_window_list_toplevels();
  for (GList* l = windows; l && text.empty(); l = l->next) {
    GtkWidget* w = GTK_WIDGET(l->data);
    if (!gtk_widget_get_mapped(w) || gtk_window_get_type_hint(GTK_WINDOW(w)) != GDK_WINDOW_TYPE_HINT_TOOLTIP) continue;
    std::function<void(GtkWidget*)> find_label = [&](GtkWidget* c) {
      if (GTK_IS_LABEL(c) && text.empty()) text = gtk_label_get_text(GTK_LABEL(c));
      if (GTK_IS_CONTAINER(c)) {
        GList* kids = gtk_container_get_children(GTK_CONTAINER(c));
        for (GList* k = kids; k; k = k->next) find_label(GTK_WIDGET(k->data));
        g_list_free(kids);
      }
    };
    find_label(w);
    if (where && !text.empty()) {
      int x = 0, y = 0;
      gdk_window_get_origin(gtk_widget_get_window(w), &x, &y);
      *where = DuiLib::MakeRect(x, y, x + gtk_widget_get_allocated_width(w), y + gtk_widget_get_allocated_height(w));
    }
  }
  g_list_free(windows);
  return text;
}

}  // namespace ui_xvfb
