// Real windows under a private Xvfb: layout windows appear, clicks and typed
// text arrive through the X server (XTest), the caption band drags, posts
// and timers flow through GLib (also in modal loops), screenshots match the
// offscreen rendering, and the browser control loads a loopback page.
#include <gtest/gtest.h>
#include <httplib.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <cstdio>
#include <set>
#include <sys/stat.h>
#include <thread>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <gdk/gdkx.h>

#include "qenui/UIlib.h"
#include "qenui/gtk/GtkHost.h"
#include "qenui/gtk/GtkScreenshot.h"
#include "qenui/headless/UITestDriver.h"
#include "xtest_input.h"
#include "xvfb_session.h"

namespace {

using namespace DuiLib;
using qenui_gtk_test::XvfbSession;

XvfbSession* g_xvfb = nullptr;
std::string g_skipReason;

class XvfbEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    // WebKit's sandbox and compositing need what a bare Xvfb (often as root) lacks.
    setenv("WEBKIT_DISABLE_SANDBOX_THIS_IS_DANGEROUS", "1", 1);
    setenv("WEBKIT_DISABLE_COMPOSITING_MODE", "1", 1);
    unsetenv("http_proxy");
    unsetenv("HTTP_PROXY");
    // GTK's settings and recent files stay in memory and in a folder of this run.
    setenv("GSETTINGS_BACKEND", "memory", 1);
    char tmpl[] = "/tmp/qenui_gtk_home_XXXXXX";
    if (mkdtemp(tmpl)) {
      m_home = tmpl;
      for (const char* v : {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME"}) setenv(v, tmpl, 1);
    }
    g_xvfb = new XvfbSession;
    std::string err;
    if (!g_xvfb->Start(&err) || !g_xvfb->StartWindowManagerOfEnvironment(&err)) { g_skipReason = err; return; }
    if (!UseGtkHost(&err)) { g_skipReason = err; return; }
    g_object_set(gtk_settings_get_default(), "gtk-recent-files-enabled", FALSE, nullptr);
    if (!CPaintManagerUI::SetResourceZipEmbedded()) g_skipReason = "test skin missing";
  }
  void TearDown() override {
    if (g_xvfb) g_xvfb->Stop();
    if (!m_home.empty()) g_spawn_command_line_sync(("rm -rf " + m_home).c_str(), nullptr, nullptr, nullptr, nullptr);
  }
  std::string m_home;
};
const auto* const kEnv = ::testing::AddGlobalTestEnvironment(new XvfbEnvironment);

// Runs GTK and the library's messages until cond() or the time-out.
bool PumpUntil(const std::function<bool()>& cond, int timeoutMs = 5000) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (std::chrono::steady_clock::now() < deadline) {
    while (g_main_context_iteration(nullptr, FALSE)) {}
    PumpPendingMessages();
    if (cond()) return true;
    g_usleep(2000);
  }
  return cond();
}
void PumpFor(int ms) { PumpUntil([] { return false; }, ms); }

class LayoutWnd : public WindowImplBaseNew {
 public:
  explicit LayoutWnd(LPCTSTR layout) { InitWinParam(layout); }
  std::vector<CDuiString> clicks;
  std::vector<UINT> posted;
  int timerTicks = 0;
  LRESULT OnTimer(UINT, WPARAM wParam, LPARAM, bool& bHandled) override {
    bHandled = wParam < 0x1000;  // larger ids are the paint manager's control timers
    if (bHandled) ++timerTicks;
    return 0;
  }
  LPCTSTR GetWindowClassName() const override { return u"GtkTestWnd"; }
  CPaintManagerUI& PM() { return m_PaintManager; }
  void ClickNotify(TNotifyUI& msg) override { clicks.push_back(msg.pSender->GetName()); }
  struct Input { UINT msg; WPARAM wParam; LPARAM lParam; };
  std::vector<Input> input;    // mouse and key messages, in order
  Input lastPosted{0, 0, 0};
  LRESULT HandleCustomMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled) override {
    bHandled = uMsg >= WM_USER && uMsg < WM_APP;
    if (bHandled) { posted.push_back(uMsg); lastPosted = {uMsg, wParam, lParam}; }
    bool mouse = uMsg >= WM_MOUSEMOVE && uMsg <= WM_RBUTTONDBLCLK;
    if (mouse || uMsg == WM_MOUSELEAVE || uMsg == WM_CONTEXTMENU || uMsg == WM_KEYDOWN || uMsg == WM_KEYUP ||
        uMsg == WM_CHAR)
      input.push_back({uMsg, wParam, lParam});
    return 0;
  }
  LRESULT OnMouseWheel(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled) override {
    input.push_back({uMsg, wParam, lParam});
    bHandled = false;
    return 0;
  }
  // "down:13,char:13" etc. for the kinds asked, skipping the rest.
  std::string Trace(std::initializer_list<UINT> kinds) const {
    std::string out;
    for (const Input& i : input) {
      if (std::find(kinds.begin(), kinds.end(), i.msg) == kinds.end()) continue;
      if (!out.empty()) out += ",";
      out += std::to_string(i.msg) + ":" + std::to_string(i.wParam);
    }
    return out;
  }
};

class GtkWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!g_skipReason.empty()) GTEST_SKIP() << "no X server for GTK tests: " << g_skipReason;
    if (!m_input.Open(g_xvfb->Display())) GTEST_SKIP() << "the X server lacks XTest";
  }

  // Creates and shows a layout window at (x, y) and waits until it is painted.
  std::unique_ptr<LayoutWnd> Show(LPCTSTR layout, int x = 60, int y = 60, DWORD exStyle = 0) {
    auto w = std::make_unique<LayoutWnd>(layout);
    EXPECT_NE(w->Create(0, u"测试", WS_POPUP, exStyle, x, y, 0, 0), 0u);
    DuiLib::SetWindowPos(*w, 0, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    w->ShowWindow(true);
    GtkWidget* gw = GetGtkHost()->NativeWindow(*w);
    EXPECT_TRUE(PumpUntil([&] { return gw && gtk_widget_get_mapped(gw); }));
    PumpFor(300);
    return w;
  }
  // The screen point at the centre of a named control.
  POINT CentreOf(LayoutWnd& w, LPCTSTR name) {
    CControlUI* c = w.PM().FindControl(name);
    EXPECT_NE(c, nullptr);
    RECT rc = c ? c->GetPos() : RECT();
    POINT pt = MakePoint((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2);
    ClientToScreen(w, &pt);
    return pt;
  }
  void MoveTo(POINT pt) {
    m_input.MoveTo(static_cast<int>(pt.x), static_cast<int>(pt.y));
    PumpFor(50);
  }
  void Button(unsigned b, bool down) {
    m_input.Button(b, down);
    PumpFor(50);
  }
  void Click(POINT pt) { MoveTo(pt); Button(1, true); Button(1, false); }
  // Clicks a named edit until its native entry shows with the focus (a
  // window manager may still be placing a new window when the first click
  // comes); the entry, or null.
  GtkWidget* ClickIntoEdit(LayoutWnd& w, LPCTSTR name) {
    for (int attempt = 0; attempt < 5; ++attempt) {
      Click(CentreOf(w, name));
      GtkWidget* entry = nullptr;
      if (PumpUntil(
              [&] {
                entry = GetGtkHost()->NativeEntry(w);
                CControlUI* focused = w.PM().GetFocus();
                return entry && gtk_widget_get_visible(entry) && gtk_widget_has_focus(entry) && focused &&
                       focused->GetName() == name;
              },
              1000))
        return entry;
    }
    return nullptr;
  }
  void Key(const char* keysym) {
    m_input.Tap(keysym);
    PumpFor(30);
  }

  qenui_gtk_test::XTestInput m_input;
};

std::string ScreenshotPath(const std::string& name) {
  std::string dir = QENUI_GTK_SCREENSHOT_DIR;
  mkdir(dir.c_str(), 0755);
  return dir + "/" + name + "-" + std::to_string(getpid()) + ".png";
}

TEST_F(GtkWindowTest, ClickOnNamedButtonReachesItsHandler) {
  auto w = Show(u"wnd_xml\\demo_wnd.xml");
  Click(CentreOf(*w, u"connectbtn"));
  ASSERT_TRUE(PumpUntil([&] { return !w->clicks.empty(); }));
  EXPECT_EQ(w->clicks.front(), u"connectbtn");
  // A click on a label reaches no handler; one on the close button does.
  w->clicks.clear();
  Click(CentreOf(*w, u"hint"));
  Click(CentreOf(*w, u"closebtn"));
  ASSERT_TRUE(PumpUntil([&] { return !w->clicks.empty(); }));
  EXPECT_EQ(w->clicks, std::vector<CDuiString>{u"closebtn"});
  DestroyWindow(*w);
}

TEST_F(GtkWindowTest, EditReceivesTypedTextThroughTheEntry) {
  auto w = Show(u"wnd_xml\\demo_wnd.xml");
  CNotifyRecorder rec(&w->PM());
  GtkWidget* entry = ClickIntoEdit(*w, u"search");
  ASSERT_NE(entry, nullptr);
  for (const char* k : {"a", "b", "c", "1"}) Key(k);
  CControlUI* edit = w->PM().FindControl(u"search");
  ASSERT_TRUE(PumpUntil([&] { return edit->GetText() == u"abc1"; })) << edit->GetText().ToUtf8();
  Key("BackSpace");
  EXPECT_TRUE(PumpUntil([&] { return edit->GetText() == u"abc"; }));
  Key("Return");
  EXPECT_TRUE(PumpUntil([&] { return rec.Summary().find("return:search") != std::string::npos; })) << rec.Summary();
  EXPECT_NE(rec.Summary().find("textchanged:search"), std::string::npos);
  // Text set by the program shows in the entry too (Chinese through the same face).
  gtk_entry_set_text(GTK_ENTRY(entry), "abc 王者荣耀");
  EXPECT_EQ(edit->GetText(), u"abc 王者荣耀");
  std::string err;
  EXPECT_TRUE(SaveWindowScreenshot(*w, ScreenshotPath("edit"), &err)) << err;
  // Clicking elsewhere takes the focus away: the entry goes, the text stays.
  Click(CentreOf(*w, u"hint"));
  EXPECT_TRUE(PumpUntil([&] { return !gtk_widget_get_visible(entry); }));
  EXPECT_EQ(edit->GetText(), u"abc 王者荣耀");
  DestroyWindow(*w);
}

// The entry stands exactly over the focused edit, inside its border, and
// nothing of it shows outside what the library shows of the edit: moving
// from a wide edit to a narrow one in a list row (between a label and a
// button) takes the narrow width at once, so the button beside it stays
// visible; an edit the list shows only the top of shows only that part of
// the entry, not the entry over what lies below the list.
TEST_F(GtkWindowTest, TheEntryKeepsToTheFocusedEditsRectangle) {
  auto w = Show(u"wnd_xml\\edits_wnd.xml");
  auto text = [](long l, long t, long r, long b) {
    return std::to_string(l) + "," + std::to_string(t) + "-" + std::to_string(r) + "," + std::to_string(b);
  };
  auto pos = [&](LPCTSTR name) { return w->PM().FindControl(name)->GetPos(); };
  struct Case {
    const char16_t* edit;
    const char16_t* probe;  // a control whose pixel at the probe point must show
    bool underEdit;         // probe point: under the edit's centre (else the probe's centre)
    unsigned colour;
  };
  const Case cases[] = {{u"narrow1", u"after1", false, 0xE53935}, {u"narrow2", u"below", true, 0x00AA00}};
  for (const Case& c : cases) {
    for (LPCTSTR name : {u"wide", c.edit}) {
      SCOPED_TRACE(CDuiString(name).ToUtf8());
      GtkWidget* entry = ClickIntoEdit(*w, name);
      ASSERT_NE(entry, nullptr);
      CControlUI* edit = w->PM().FindControl(name);
      const RECT rc = edit->GetPos();
      const long b = edit->GetBorderSize();
      const std::string want = text(rc.left + b, rc.top + b, rc.right - b, rc.bottom - b);
      auto allocated = [&] {  // in the window's coordinates
        GtkAllocation a;
        gtk_widget_get_allocation(entry, &a);
        int x = 0, y = 0;
        gtk_widget_translate_coordinates(entry, gtk_widget_get_toplevel(entry), 0, 0, &x, &y);
        return text(x, y, x + a.width, y + a.height);
      };
      PumpUntil([&] { return allocated() == want; }, 2000);
      EXPECT_EQ(allocated(), want);
    }
    PumpFor(100);
    std::string err;
    const std::string path = ScreenshotPath(std::string("edit_in_row_") + CDuiString(c.edit).ToUtf8());
    ASSERT_TRUE(SaveWindowScreenshot(*w, path, &err)) << err;
    GdkPixbuf* shot = gdk_pixbuf_new_from_file(path.c_str(), nullptr);
    ASSERT_NE(shot, nullptr);
    const RECT probe = pos(c.probe), edit = pos(c.edit);
    const long x = c.underEdit ? (edit.left + edit.right) / 2 : (probe.left + probe.right) / 2;
    const long y = c.underEdit ? probe.top + 2 : (probe.top + probe.bottom) / 2;
    const guchar* px = gdk_pixbuf_get_pixels(shot) + y * gdk_pixbuf_get_rowstride(shot) +
                       x * gdk_pixbuf_get_n_channels(shot);
    EXPECT_EQ(static_cast<unsigned>((px[0] << 16) | (px[1] << 8) | px[2]), c.colour) << CDuiString(c.edit).ToUtf8();
    g_object_unref(shot);
  }
  DestroyWindow(*w);
}

TEST_F(GtkWindowTest, CaptionBandDragsTheWindow) {
  auto w = Show(u"wnd_xml\\demo_wnd.xml", 100, 80);
  RECT before;
  GetWindowRect(*w, &before);
  POINT title = CentreOf(*w, u"title");
  MoveTo(title);
  Button(1, true);
  MoveTo(MakePoint(title.x + 20, title.y + 10));
  MoveTo(MakePoint(title.x + 40, title.y + 30));
  Button(1, false);
  RECT after;
  GetWindowRect(*w, &after);
  EXPECT_EQ(after.left, before.left + 40);
  EXPECT_EQ(after.top, before.top + 30);
  EXPECT_TRUE(w->clicks.empty());
  int gx = 0, gy = 0;
  PumpFor(100);
  gdk_window_get_origin(gtk_widget_get_window(GetGtkHost()->NativeWindow(*w)), &gx, &gy);
  EXPECT_EQ(gx, after.left);
  EXPECT_EQ(gy, after.top);
  DestroyWindow(*w);
}

TEST_F(GtkWindowTest, ScreenshotMatchesOffscreenRenderingAndIsNotBlank) {
  auto w = Show(u"wnd_xml\\demo_wnd.xml");
  std::string shot = ScreenshotPath("demo-window"), off = ScreenshotPath("demo-offscreen");
  std::string err;
  ASSERT_TRUE(SaveWindowScreenshot(*w, shot, &err)) << err;
  ASSERT_TRUE(SaveWindowOffscreen(*w, off, &err)) << err;
  GError* gerr = nullptr;
  GdkPixbuf* a = gdk_pixbuf_new_from_file(shot.c_str(), &gerr);
  GdkPixbuf* b = gdk_pixbuf_new_from_file(off.c_str(), &gerr);
  ASSERT_TRUE(a && b);
  ASSERT_EQ(gdk_pixbuf_get_width(a), gdk_pixbuf_get_width(b));
  ASSERT_EQ(gdk_pixbuf_get_height(a), gdk_pixbuf_get_height(b));
  int width = gdk_pixbuf_get_width(a), height = gdk_pixbuf_get_height(a);
  auto px = [](GdkPixbuf* p, int x, int y) {
    const guchar* d = gdk_pixbuf_read_pixels(p) + y * gdk_pixbuf_get_rowstride(p) + x * gdk_pixbuf_get_n_channels(p);
    return (uint32_t(d[0]) << 16) | (uint32_t(d[1]) << 8) | d[2];
  };
  std::set<uint32_t> colours;
  int differing = 0;
  // The round corners are outside the window's shape: compare inside them.
  for (int y = 8; y < height - 8; ++y)
    for (int x = 8; x < width - 8; ++x) {
      colours.insert(px(a, x, y));
      if (px(a, x, y) != px(b, x, y)) ++differing;
    }
  EXPECT_EQ(differing, 0);
  EXPECT_GT(colours.size(), 20u);                  // text is antialiased: many shades
  EXPECT_EQ(px(a, width / 2, 25), 0x1F6FD1u);      // the caption band
  EXPECT_EQ(px(a, width / 2, 60), 0xF5F7FAu);      // the window background
  g_object_unref(a);
  g_object_unref(b);
  // The layout's round corners cut the window's shape: on the screen, the
  // corner pixel is not the caption's, a pixel further in is.
  RECT rc;
  GetWindowRect(*w, &rc);
  GdkPixbuf* screen = gdk_pixbuf_get_from_window(gdk_get_default_root_window(), static_cast<int>(rc.left),
                                                 static_cast<int>(rc.top), 16, 16);
  ASSERT_NE(screen, nullptr);
  EXPECT_NE(px(screen, 0, 0), 0x1F6FD1u);
  EXPECT_EQ(px(screen, 8, 8), 0x1F6FD1u);
  g_object_unref(screen);
  DestroyWindow(*w);
}

TEST_F(GtkWindowTest, LayoutOpacityAndToolWindowReachTheNativeWindow) {
  auto w = Show(u"wnd_xml\\small_wnd.xml", 300, 300, WS_EX_TOOLWINDOW | WS_EX_TOPMOST);
  GtkWidget* gw = GetGtkHost()->NativeWindow(*w);
  EXPECT_NEAR(gtk_widget_get_opacity(gw), 200.0 / 255.0, 0.01);
  EXPECT_TRUE(gtk_window_get_skip_taskbar_hint(GTK_WINDOW(gw)));
  EXPECT_FALSE(gtk_window_get_decorated(GTK_WINDOW(gw)));
  DestroyWindow(*w);
}

// The X server's own idea of a toplevel's size, once it is mapped.
SIZE XWindowSize(HWND h) {
  GtkWidget* gw = GetGtkHost()->NativeWindow(h);
  GdkWindow* gdk = gw ? gtk_widget_get_window(gw) : nullptr;
  if (!gdk) return SIZE{0, 0};
  XWindowAttributes attrs{};
  if (!XGetWindowAttributes(GDK_WINDOW_XDISPLAY(gdk), GDK_WINDOW_XID(gdk), &attrs)) return SIZE{0, 0};
  return SIZE{attrs.width, attrs.height};
}

// Small windows get exactly their layout's size on screen, with or without a
// sizing border, as tool windows and as popups of an owner; a later resize
// below GTK's usual minimum lands exactly too.
TEST_F(GtkWindowTest, WindowsGetExactlyTheirLayoutSizeOnScreen) {
  struct Case { LPCTSTR layout; DWORD exStyle; bool owned; long w, h; };
  const Case cases[] = {
      {u"wnd_xml\\fixed_size_wnd.xml", WS_EX_TOOLWINDOW, false, 506, 113},
      {u"wnd_xml\\fixed_size_wnd.xml", 0, true, 506, 113},
      {u"wnd_xml\\sizable_wnd.xml", 0, false, 240, 90},
      {u"wnd_xml\\small_wnd.xml", WS_EX_TOOLWINDOW | WS_EX_TOPMOST, true, 200, 120},
  };
  auto owner = Show(u"wnd_xml\\demo_wnd.xml");
  for (const Case& c : cases) {
    SCOPED_TRACE(CDuiString(c.layout).ToUtf8() + (c.owned ? " owned" : ""));
    auto w = std::make_unique<LayoutWnd>(c.layout);
    ASSERT_NE(w->Create(c.owned ? HWND(*owner) : HWND(0), u"size", WS_POPUP, c.exStyle, 0, 0, 0, 0), 0u);
    w->CenterWindow();
    w->ShowWindow(true);
    GtkWidget* gw = GetGtkHost()->NativeWindow(*w);
    ASSERT_TRUE(PumpUntil([&] { return gw && gtk_widget_get_mapped(gw); }));
    PumpFor(200);
    RECT rc;
    GetWindowRect(*w, &rc);
    EXPECT_EQ(rc.right - rc.left, c.w);
    EXPECT_EQ(rc.bottom - rc.top, c.h);
    SIZE on = XWindowSize(*w);
    EXPECT_EQ(on.cx, c.w);
    EXPECT_EQ(on.cy, c.h);
    EXPECT_EQ(gdk_window_get_width(gtk_widget_get_window(gw)), c.w);
    EXPECT_EQ(gdk_window_get_height(gtk_widget_get_window(gw)), c.h);
    // Shrinking a shown window (a menu or message box fitted to its text) lands exactly as well.
    DuiLib::SetWindowPos(*w, 0, 0, 0, 96, 40, SWP_NOMOVE | SWP_NOZORDER);
    EXPECT_TRUE(PumpUntil([&] { SIZE s = XWindowSize(*w); return s.cx == 96 && s.cy == 40; }, 2000))
        << XWindowSize(*w).cx << "x" << XWindowSize(*w).cy;
    DestroyWindow(*w);
  }
  DestroyWindow(*owner);
}

TEST_F(GtkWindowTest, WorkerPostsAndTimersFlowInModalLoops) {
  auto owner = Show(u"wnd_xml\\demo_wnd.xml");
  auto box = std::make_unique<LayoutWnd>(u"wnd_xml\\small_wnd.xml");
  ASSERT_NE(box->Create(*owner, u"box", WS_POPUP, 0, 200, 200, 0, 0), 0u);
  HWND ownerH = *owner, boxH = *box;
  constexpr int kPosts = 2000;
  std::atomic<bool> go{false};
  std::thread worker([&] {
    while (!go) std::this_thread::yield();
    for (int i = 0; i < kPosts; ++i) PostMessage(ownerH, WM_USER + 1);
    PostMessage(ownerH, WM_USER + 2);
  });
  SetTimer(ownerH, 7, 20);
  int ticks = 0;
  go = true;
  // A GLib timeout closes the box once every post is in and the owner's timer ticked twice.
  struct Ctx { LayoutWnd* owner; HWND box; int* ticks; } ctx{owner.get(), boxH, &ticks};
  g_timeout_add(10, [](gpointer p) -> gboolean {
    auto* c = static_cast<Ctx*>(p);
    ++*c->ticks;
    bool allPosts = !c->owner->posted.empty() && c->owner->posted.back() == WM_USER + 2;
    if (allPosts && c->owner->timerTicks >= 2) {
      PostMessage(c->box, WM_CLOSE);
      return G_SOURCE_REMOVE;
    }
    return *c->ticks < 1000 ? G_SOURCE_CONTINUE : G_SOURCE_REMOVE;
  }, &ctx);
  box->ShowModal();
  worker.join();
  EXPECT_EQ(owner->posted.size(), static_cast<size_t>(kPosts + 1));
  EXPECT_FALSE(IsWindow(boxH));
  // The owner's timer kept firing inside the modal loop.
  EXPECT_GT(owner->timerTicks, 0);
  KillTimer(ownerH, 7);
  DestroyWindow(ownerH);
}

// Pointer and keys arrive as the Win32 messages with their numbers.
TEST_F(GtkWindowTest, InputArrivesAsWin32Messages) {
  auto w = Show(u"wnd_xml\\demo_wnd.xml");
  POINT hint = CentreOf(*w, u"hint");
  RECT rc;
  GetWindowRect(*w, &rc);
  MoveTo(hint);
  // Double click: down, up, double-click, up (the second press also comes as a down).
  Button(1, true); Button(1, false); Button(1, true); Button(1, false);
  ASSERT_TRUE(PumpUntil([&] { return w->Trace({WM_LBUTTONUP}).size() >= 7; }));
  EXPECT_NE(w->Trace({WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK}).find("515:1,514:0"), std::string::npos)
      << w->Trace({WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK});
  const auto& last = w->input.back();
  EXPECT_EQ(GET_X_LPARAM(last.lParam), hint.x - rc.left);   // client coordinates
  EXPECT_EQ(GET_Y_LPARAM(last.lParam), hint.y - rc.top);
  // Right click: down, up, then the context menu at screen coordinates.
  w->input.clear();
  Button(3, true); Button(3, false);
  ASSERT_TRUE(PumpUntil([&] { return !w->Trace({WM_CONTEXTMENU}).empty(); }));
  EXPECT_EQ(w->Trace({WM_RBUTTONDOWN, WM_RBUTTONUP}), "516:2,517:0");
  EXPECT_EQ(GET_X_LPARAM(w->input.back().lParam), hint.x);
  // Wheel: one notch up, one down, at screen coordinates.
  w->input.clear();
  Button(4, true); Button(4, false); Button(5, true); Button(5, false);
  ASSERT_TRUE(PumpUntil([&] { return w->Trace({WM_MOUSEWHEEL}).find(',') != std::string::npos; }));
  ASSERT_EQ(w->input.size(), 2u);
  EXPECT_EQ(static_cast<int16_t>(HIWORD(w->input[0].wParam)), 120);
  EXPECT_EQ(static_cast<int16_t>(HIWORD(w->input[1].wParam)), -120);
  EXPECT_EQ(GET_Y_LPARAM(w->input[0].lParam), hint.y);
  // Keys: virtual-key numbers, and characters for what types.
  w->input.clear();
  for (const char* k : {"Return", "Escape", "Up", "Down", "a"}) Key(k);
  ASSERT_TRUE(PumpUntil([&] { return w->Trace({WM_KEYUP}).size() >= 19; }));
  EXPECT_EQ(w->Trace({WM_KEYDOWN}), "256:13,256:27,256:38,256:40,256:65");
  EXPECT_EQ(w->Trace({WM_CHAR}), "258:13,258:27,258:97");
  // Leaving the window.
  w->input.clear();
  MoveTo(MakePoint(rc.right + 50, rc.bottom + 50));
  EXPECT_TRUE(PumpUntil([&] { return !w->Trace({WM_MOUSELEAVE}).empty(); }));
  DestroyWindow(*w);
}

// A worker flooding the queue does not freeze the window: GLib sources of
// the UI thread still run between batches of posted messages.
TEST_F(GtkWindowTest, FloodOfWorkerPostsLeavesGtkResponsive) {
  auto w = Show(u"wnd_xml\\demo_wnd.xml");
  HWND h = *w;
  std::atomic<bool> stop{false};
  std::atomic<int> sent{0};
  std::thread worker([&] {
    while (!stop) { PostMessage(h, WM_USER + 1); ++sent; }
    PostMessage(h, WM_USER + 2);
  });
  int ticks = 0;
  guint tick = g_timeout_add(10, [](gpointer p) -> gboolean { ++*static_cast<int*>(p); return G_SOURCE_CONTINUE; }, &ticks);
  auto start = std::chrono::steady_clock::now();
  g_timeout_add(300, [](gpointer p) -> gboolean { *static_cast<std::atomic<bool>*>(p) = true; return G_SOURCE_REMOVE; }, &stop);
  RunMessageLoopUntil([&] { return !w->posted.empty() && w->posted.back() == WM_USER + 2; });
  double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  worker.join();
  g_source_remove(tick);
  EXPECT_EQ(w->posted.size(), static_cast<size_t>(sent + 1));
  EXPECT_GE(ticks, 5);
  std::printf("flood: %d posts in %.3f s (%.0f per second), %d GLib ticks meanwhile\n", sent.load(), secs,
              sent / secs, ticks);
  // Latency of single posts from a waiting worker to the window, the UI thread asleep in GLib.
  constexpr int kRounds = 200;
  std::atomic<int> asked{0};
  std::atomic<int64_t> postedAt{0};
  std::thread poster([&] {
    for (int i = 1; i <= kRounds; ++i) {
      while (asked < i) std::this_thread::yield();
      g_usleep(200);  // let the UI thread fall asleep
      postedAt = g_get_monotonic_time();
      PostMessage(h, WM_USER + 3);
    }
  });
  size_t before = w->posted.size();
  int64_t totalUs = 0;
  for (int i = 1; i <= kRounds; ++i) {
    asked = i;
    RunMessageLoopUntil([&] { return w->posted.size() == before + i; });
    totalUs += g_get_monotonic_time() - postedAt;
  }
  poster.join();
  std::printf("single posts: %.1f us on average from PostMessage to delivery\n", static_cast<double>(totalUs) / kRounds);
  DestroyWindow(h);
}

// Finds the shown dialog of a GTK type among the toplevels.
GtkWidget* FindDialog(GType type) {
  GList* all = gtk_window_list_toplevels();
  GtkWidget* found = nullptr;
  for (GList* l = all; l; l = l->next)
    if (G_TYPE_CHECK_INSTANCE_TYPE(l->data, type) && gtk_widget_get_visible(GTK_WIDGET(l->data))) found = GTK_WIDGET(l->data);
  g_list_free(all);
  return found;
}

// Answers the next chooser or box from a GLib timeout while its nested loop
// runs. The step repeats until the dialog is gone (a chooser may ignore an
// answer while it still loads its folder); after ten seconds the dialog is
// cancelled so a failing test ends instead of hanging.
struct DialogScript {
  std::function<bool(GtkWidget*)> step;  // true once it answered
  GType type;
  LayoutWnd* owner = nullptr;
  bool postsSeen = false;
  bool folderSet = false;
  int ticks = 0;
  GtkWidget* dialog = nullptr;   // the dialog this script answers (weak)
  bool found = false;
  guint source = 0;
  void Arm() {
    source = g_timeout_add(20, [](gpointer p) -> gboolean {
      auto* d = static_cast<DialogScript*>(p);
      ++d->ticks;
      if (!d->dialog) {
        if (d->found || d->ticks > 1000) { d->source = 0; return G_SOURCE_REMOVE; }  // answered and gone
        d->dialog = FindDialog(d->type);
        if (!d->dialog) return G_SOURCE_CONTINUE;
        d->found = true;
        g_object_add_weak_pointer(G_OBJECT(d->dialog), reinterpret_cast<gpointer*>(&d->dialog));
      }
      if (!gtk_widget_get_visible(d->dialog)) return G_SOURCE_CONTINUE;
      if (d->owner && !d->owner->posted.empty()) d->postsSeen = true;
      if (d->ticks > 500) gtk_dialog_response(GTK_DIALOG(d->dialog), GTK_RESPONSE_CANCEL);
      else d->step(d->dialog);
      return G_SOURCE_CONTINUE;
    }, this);
  }
  ~DialogScript() {
    if (source) g_source_remove(source);
    if (dialog) g_object_remove_weak_pointer(G_OBJECT(dialog), reinterpret_cast<gpointer*>(&dialog));
  }
};

TEST_F(GtkWindowTest, FileAndFolderChoosersAnswerThroughGtkDialogs) {
  char tmpl[] = "/tmp/qenui_gtk_choose_XXXXXX";
  ASSERT_NE(mkdtemp(tmpl), nullptr);
  std::string dir = tmpl;
  for (const char* f : {"a.jpg", "b.PNG", "c.txt"}) fclose(fopen((dir + "/" + f).c_str(), "w"));
  auto w = Show(u"wnd_xml\\demo_wnd.xml");

  // Multi-select open: two pictures chosen; a message posted meanwhile still arrives.
  PostMessage(*w, WM_USER + 5);
  DialogScript pick;
  pick.type = GTK_TYPE_FILE_CHOOSER_DIALOG;
  pick.owner = w.get();
  pick.step = [&](GtkWidget* dlg) {
    if (!pick.postsSeen) return false;  // answer only once the post arrived in the dialog's loop
    GtkFileChooser* fc = GTK_FILE_CHOOSER(dlg);
    if (!pick.folderSet) {
      pick.folderSet = true;
      gtk_file_chooser_set_current_folder(fc, dir.c_str());
      return false;
    }
    // Everything the filter shows: the two pictures, not the text file.
    gtk_file_chooser_select_all(fc);
    GSList* sel = gtk_file_chooser_get_filenames(fc);
    guint n = g_slist_length(sel);
    g_slist_free_full(sel, g_free);
    if (n < 2) return false;
    EXPECT_TRUE(gtk_file_chooser_get_select_multiple(fc));
    gtk_dialog_response(GTK_DIALOG(dlg), GTK_RESPONSE_ACCEPT);
    return true;
  };
  pick.Arm();
  TFileChooser req;
  req.sTitle = u"选择图片";
  req.sFilterName = u"图片文件";
  req.sPattern = u"*.jpg;*.png";
  req.bMultiSelect = true;
  std::vector<CDuiString> paths;
  ASSERT_TRUE(GetOpenFileNames(*w, req, &paths));
  ASSERT_EQ(paths.size(), 2u);
  std::set<std::string> got{paths[0].ToUtf8(), paths[1].ToUtf8()};
  EXPECT_EQ(got, (std::set<std::string>{dir + "/a.jpg", dir + "/b.PNG"}));
  EXPECT_TRUE(pick.postsSeen);

  // Cancel: no paths, false.
  DialogScript cancel;
  cancel.type = GTK_TYPE_FILE_CHOOSER_DIALOG;
  cancel.step = [](GtkWidget* dlg) { gtk_dialog_response(GTK_DIALOG(dlg), GTK_RESPONSE_CANCEL); return true; };
  cancel.Arm();
  EXPECT_FALSE(GetOpenFileNames(*w, req, &paths));
  EXPECT_TRUE(paths.empty());

  // Save chooser: one file under the proposed name.
  DialogScript save;
  save.type = GTK_TYPE_FILE_CHOOSER_DIALOG;
  save.step = [&](GtkWidget* dlg) {
    GtkFileChooser* fc = GTK_FILE_CHOOSER(dlg);
    EXPECT_EQ(gtk_file_chooser_get_action(fc), GTK_FILE_CHOOSER_ACTION_SAVE);
    char* name = gtk_file_chooser_get_current_name(fc);
    EXPECT_STREQ(name, "屏幕截图.png");
    g_free(name);
    gtk_file_chooser_set_current_folder(fc, dir.c_str());
    gtk_dialog_response(GTK_DIALOG(dlg), GTK_RESPONSE_ACCEPT);
    return true;
  };
  save.Arm();
  TFileChooser saveReq;
  saveReq.sTitle = u"保存截图";
  saveReq.sPattern = u"*.png";
  saveReq.bSave = true;
  saveReq.sFileName = u"屏幕截图.png";
  ASSERT_TRUE(GetOpenFileNames(*w, saveReq, &paths));
  ASSERT_EQ(paths.size(), 1u);
  EXPECT_EQ(paths[0].ToUtf8(), dir + "/屏幕截图.png");

  // Folder chooser starting in the given folder.
  DialogScript folder;
  folder.type = GTK_TYPE_FILE_CHOOSER_DIALOG;
  folder.step = [&](GtkWidget* dlg) {
    GtkFileChooser* fc = GTK_FILE_CHOOSER(dlg);
    EXPECT_EQ(gtk_file_chooser_get_action(fc), GTK_FILE_CHOOSER_ACTION_SELECT_FOLDER);
    // It opens in the folder given: accepting it as it stands answers that folder.
    char* current = gtk_file_chooser_get_current_folder(fc);
    bool there = current && dir == current;
    g_free(current);
    if (!there) return false;
    gtk_dialog_response(GTK_DIALOG(dlg), GTK_RESPONSE_ACCEPT);
    return true;
  };
  folder.Arm();
  CDuiString chosen = CDuiString::FromUtf8(dir);
  ASSERT_TRUE(BrowseForFolder(*w, u"下载目录", &chosen));
  EXPECT_EQ(chosen.ToUtf8(), dir);

  // A yes/no box answers with the button pressed.
  DialogScript box;
  box.type = GTK_TYPE_MESSAGE_DIALOG;
  box.step = [](GtkWidget* dlg) { gtk_dialog_response(GTK_DIALOG(dlg), IDYES); return true; };
  box.Arm();
  EXPECT_EQ(MessageBox(*w, u"确定要删除吗？", u"提示", MB_YESNO | MB_ICONQUESTION), IDYES);

  DestroyWindow(*w);
  for (const char* f : {"a.jpg", "b.PNG", "c.txt"}) unlink((dir + "/" + f).c_str());
  rmdir(dir.c_str());
}

// The icon's GTK object is made once the loop is idle; what is asked for
// before then is what it shows, and an icon removed before then leaves
// nothing behind. (GtkStatusIcon is deprecated but is the X11 tray.)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
TEST_F(GtkWindowTest, TrayIconChangedOrRemovedBeforeItIsMadeShowsTheLastRequest) {
  auto w = Show(u"wnd_xml\\demo_wnd.xml");
  TTrayIcon icon;
  icon.hWnd = *w;
  icon.uID = 7;
  icon.uFlags = NIF_TIP;
  icon.sTip = u"first";
  ASSERT_TRUE(Shell_NotifyIcon(NIM_ADD, icon));
  icon.sTip = u"第二";
  ASSERT_TRUE(Shell_NotifyIcon(NIM_MODIFY, icon));
  PumpFor(100);
  GtkStatusIcon* status = GetGtkHost()->TrayStatusIcon(7);
  ASSERT_NE(status, nullptr);
  gchar* tip = gtk_status_icon_get_tooltip_text(status);
  EXPECT_STREQ(tip, "第二");
  g_free(tip);
  EXPECT_TRUE(gtk_status_icon_get_visible(status));
  EXPECT_TRUE(Shell_NotifyIcon(NIM_DELETE, icon));

  icon.uID = 8;
  ASSERT_TRUE(Shell_NotifyIcon(NIM_ADD, icon));
  EXPECT_TRUE(Shell_NotifyIcon(NIM_DELETE, icon));  // before the loop made it
  PumpFor(100);
  EXPECT_EQ(GetGtkHost()->TrayStatusIcon(8), nullptr);
  DestroyWindow(*w);
}
#pragma GCC diagnostic pop

TEST_F(GtkWindowTest, TrayClicksReachTheOwnerAndWithoutATrayHidingMinimises) {
  auto w = Show(u"wnd_xml\\demo_wnd.xml");
  GtkWidget* gw = GetGtkHost()->NativeWindow(*w);
  TTrayIcon icon;
  icon.hWnd = *w;
  icon.uID = 1;
  icon.uFlags = NIF_MESSAGE | NIF_TIP | NIF_ICON;
  icon.uCallbackMessage = WM_USER + 100;
  icon.sTip = u"手机助手";
  ASSERT_TRUE(Shell_NotifyIcon(NIM_ADD, icon));
  EXPECT_FALSE(Shell_NotifyIcon(NIM_ADD, icon));   // the same id twice
  PumpFor(200);
  ASSERT_FALSE(GetGtkHost()->TrayEmbedded());       // Xvfb runs no tray
  // Clicks on the icon reach the owner as its callback message: id, then the mouse message.
  GtkStatusIcon* status = GetGtkHost()->TrayStatusIcon(1);
  ASSERT_NE(status, nullptr);
  struct Click { GdkEventType type; guint button; LPARAM expected; } clicks[] = {
      {GDK_BUTTON_PRESS, 1, WM_LBUTTONUP}, {GDK_BUTTON_PRESS, 3, WM_RBUTTONUP}, {GDK_2BUTTON_PRESS, 1, WM_LBUTTONDBLCLK}};
  for (const Click& c : clicks) {
    GdkEvent* ev = gdk_event_new(c.type);
    ev->button.button = c.button;
    ev->button.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(gw)));
    gboolean handled = FALSE;
    w->lastPosted = {0, 0, 0};
    g_signal_emit_by_name(status, "button-press-event", ev, &handled);
    gdk_event_free(ev);
    ASSERT_TRUE(PumpUntil([&] { return w->lastPosted.msg == WM_USER + 100; }));
    EXPECT_EQ(w->lastPosted.wParam, 1u);
    EXPECT_EQ(w->lastPosted.lParam, c.expected);
  }
  DuiLib::ShowWindow(*w, SW_HIDE);
  PumpFor(100);
  EXPECT_TRUE(gtk_widget_get_visible(gw));          // still reachable
  EXPECT_TRUE(Shell_NotifyIcon(NIM_DELETE, icon));
  EXPECT_FALSE(Shell_NotifyIcon(NIM_MODIFY, icon));
  DuiLib::ShowWindow(*w, SW_HIDE);
  PumpFor(100);
  EXPECT_FALSE(gtk_widget_get_visible(gw));
  DestroyWindow(*w);
}

TEST_F(GtkWindowTest, BrowserLoadsLoopbackPageAndFiresCompletion) {
  httplib::Server server;
  server.Get("/appmarket/game/Home.html", [](const httplib::Request&, httplib::Response& res) {
    res.set_content("<html><body><div id='info_7' name='宝石消除' package='com.example.gems'>x</div>"
                    "<a id='l' href='/next.html'>next</a></body></html>", "text/html; charset=utf-8");
  });
  server.Get("/next.html", [](const httplib::Request&, httplib::Response& res) {
    // One link over the whole page that asks for a new window.
    res.set_content("<html><body style='margin:0'><a target='_blank' href='/dl?vorn=down&mavoid=7'"
                    " style='display:block;width:100%;height:300px'>下载</a></body></html>",
                    "text/html; charset=utf-8");
  });
  int port = server.bind_to_any_port("127.0.0.1");
  ASSERT_GT(port, 0);
  std::thread serving([&] { server.listen_after_bind(); });
  while (!server.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));

  struct Handler : public CWebBrowserEventHandler {
    std::vector<CDuiString> completed, errors, newWindows;
    void NewWindow3(CWebBrowserUI*, bool& cancel, const CDuiString& url) override {
      newWindows.push_back(url);
      cancel = true;
    }
    std::vector<int> statuses;
    long lastProgress = -1;
    bool back = false;
    void NavigateComplete2(CWebBrowserUI*, const CDuiString& url) override { completed.push_back(url); }
    void NavigateError(CWebBrowserUI*, const CDuiString& url, int status, bool& cancel) override {
      errors.push_back(url); statuses.push_back(status); cancel = true;
    }
    void ProgressChange(long p, long) override { lastProgress = p; }
    void CommandStateChange(long cmd, bool enable) override { if (cmd == 2) back = enable; }
  } handler;

  auto w = Show(u"wnd_xml\\browser_wnd.xml");
  auto* browser = static_cast<CWebBrowserUI*>(w->PM().FindControl(u"game_market"));
  ASSERT_NE(browser, nullptr);
  browser->SetWebBrowserEventHandler(&handler);
  std::string base = "http://127.0.0.1:" + std::to_string(port);
  browser->Navigate2(CDuiString::FromUtf8(base + "/appmarket/game/Home.html"));
  ASSERT_TRUE(PumpUntil([&] { return !handler.completed.empty() || !handler.errors.empty(); }, 60000));
  ASSERT_EQ(handler.errors.size(), 0u) << handler.errors[0].ToUtf8();
  EXPECT_EQ(handler.completed[0].ToUtf8(), base + "/appmarket/game/Home.html");
  EXPECT_EQ(handler.lastProgress, 10000);
  CDuiString name;
  EXPECT_TRUE(browser->GetElementAttribute(u"info_7", u"name", &name));
  EXPECT_EQ(name, u"宝石消除");
  std::string err;
  EXPECT_TRUE(SaveWindowScreenshot(*w, ScreenshotPath("browser"), &err)) << err;
  bool found = true;
  EXPECT_FALSE(browser->GetElementAttribute(u"info_8", u"name", &name, &found));
  EXPECT_FALSE(found) << "no element info_8";
  EXPECT_FALSE(browser->GetElementAttribute(u"info_7", u"ico", &name, &found));
  EXPECT_TRUE(found) << "info_7 is there without an icon";

  // A second page enables "back"; a missing page is an error, not a completion.
  browser->Navigate2(CDuiString::FromUtf8(base + "/next.html"));
  ASSERT_TRUE(PumpUntil([&] { return handler.completed.size() == 2; }, 30000));
  EXPECT_TRUE(PumpUntil([&] { return handler.back; }, 5000));
  // A click on a link for a new window reaches NewWindow3; no window opens, the page stays.
  Click(CentreOf(*w, u"game_market"));
  ASSERT_TRUE(PumpUntil([&] { return !handler.newWindows.empty(); }, 10000));
  EXPECT_EQ(handler.newWindows[0].ToUtf8(), base + "/dl?vorn=down&mavoid=7");
  PumpFor(300);
  EXPECT_EQ(handler.completed.size(), 2u);
  EXPECT_EQ(browser->GetCurrentUrl().ToUtf8(), base + "/next.html");
  browser->Navigate2(CDuiString::FromUtf8(base + "/missing.html"));
  ASSERT_TRUE(PumpUntil([&] { return !handler.errors.empty(); }, 30000));
  EXPECT_EQ(handler.statuses[0], 404);
  EXPECT_EQ(handler.completed.size(), 2u);

  DestroyWindow(*w);
  server.stop();
  serving.join();
}

}  // namespace

// The X11 class of a toplevel (WM_CLASS res_class), once it is mapped.
std::string XClassOf(HWND h) {
  GtkWidget* gw = GetGtkHost()->NativeWindow(h);
  GdkWindow* gdk = gw ? gtk_widget_get_window(gw) : nullptr;
  if (!gdk) return std::string();
  XClassHint hint{};
  if (!XGetClassHint(GDK_WINDOW_XDISPLAY(gdk), GDK_WINDOW_XID(gdk), &hint)) return std::string();
  std::string cls = hint.res_class ? hint.res_class : "";
  if (hint.res_name) XFree(hint.res_name);
  if (hint.res_class) XFree(hint.res_class);
  return cls;
}

// Desktop tools find a window by its class: the X11 class is the window's own.
TEST_F(GtkWindowTest, TheWindowClassIsTheX11Class) {
  auto w = Show(u"wnd_xml\\small_wnd.xml", 300, 300);
  EXPECT_EQ(XClassOf(*w), "GtkTestWnd");
  DestroyWindow(*w);
}

// A popup menu of two rows that deletes itself when its window is gone.
class TestMenu : public CMenuImplBase {
 public:
  static TestMenu* open;
  static UINT_PTR chosen;
  static TestMenu* Popup(HWND owner, POINT pt) {
    auto* menu = new TestMenu;
    menu->InitParam(owner, u"wnd_xml\\menu_wnd.xml");
    open = menu;
    if (!menu->Create(owner, u"menu", WS_POPUP, WS_EX_TOOLWINDOW | WS_EX_TOPMOST)) return nullptr;
    DuiLib::SetWindowPos(*menu, 0, 0, 0, 82, 2 * 25 + 4, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    menu->ShowMenu(pt);
    return menu;
  }

 protected:
  void InitItem() override {
    AddMenuItem(u"设置", 105);
    AddMenuItem(u"关于", 106);
  }
  void OnItemChosen(CControlUI* item) override {
    chosen = item ? item->GetTag() : 0;
    CMenuImplBase::OnItemChosen(item);
  }
  void OnFinalMessage(HWND h) override {
    CMenuImplBase::OnFinalMessage(h);
    if (open == this) open = nullptr;
    delete this;
  }
};
TestMenu* TestMenu::open = nullptr;
UINT_PTR TestMenu::chosen = 0;

// A popup menu opens every time it is asked, and closes on a chosen row, on
// Escape and on a click elsewhere.
TEST_F(GtkWindowTest, APopupMenuOpensEveryTimeAndClosesEveryWay) {
  auto owner = Show(u"wnd_xml\\demo_wnd.xml", 60, 60);
  POINT at = MakePoint(120, 120);
  enum Way { kChoose, kEscape, kClickElsewhere };
  for (int round = 0; round < 2; ++round) {
    for (Way way : {kChoose, kChoose, kEscape, kClickElsewhere, kChoose}) {
      SCOPED_TRACE("round " + std::to_string(round) + " way " + std::to_string(way));
      MoveTo(at);
      TestMenu* menu = TestMenu::Popup(*owner, at);
      ASSERT_NE(menu, nullptr);
      HWND hmenu = *menu;
      ASSERT_TRUE(PumpUntil([&] {
        GtkWidget* gw = GetGtkHost()->NativeWindow(hmenu);
        return TestMenu::open == menu && gw && gtk_widget_get_mapped(gw);
      })) << "the menu did not open (" << (TestMenu::open == menu ? "still there" : "closed") << ")";
      PumpFor(150);
      TestMenu::chosen = 0;
      if (way == kChoose) {
        RECT rc;
        GetWindowRect(*menu, &rc);
        Click(MakePoint((rc.left + rc.right) / 2, rc.top + 2 + 25 / 2));
        EXPECT_TRUE(PumpUntil([] { return TestMenu::open == nullptr; })) << "a chosen row left the menu open";
        EXPECT_EQ(TestMenu::chosen, 105u);
      } else if (way == kEscape) {
        Key("Escape");
        EXPECT_TRUE(PumpUntil([] { return TestMenu::open == nullptr; })) << "Escape left the menu open";
      } else {
        Click(CentreOf(*owner, u"hint"));
        EXPECT_TRUE(PumpUntil([] { return TestMenu::open == nullptr; })) << "a click elsewhere left the menu open";
      }
      if (TestMenu::open) DestroyWindow(*TestMenu::open);
      PumpFor(50);
    }
  }
  DestroyWindow(*owner);
}
