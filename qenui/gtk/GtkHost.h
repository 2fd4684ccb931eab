// The GTK3 back end: one undecorated GtkWindow per library window, painted
// with cairo and pango through CCairoRenderTarget, input turned into the
// library's window messages, posted messages and timers on the GLib main
// loop, a GtkEntry over the focused edit, GtkStatusIcon for the tray, GTK
// file choosers, GIO's default handler for "open" and WebKitGTK for the browser control.
//
// Threading contract: GTK and every call of this host run on the thread that
// called UseGtkHost (the UI thread), except Wake, which any thread may call.
// Posted messages wait in the library's mutex-guarded queue of the UI thread;
// Wake arms one GLib idle source (default-idle priority) that drains it, a
// batch of messages per turn so GTK's input and drawing come in between, and
// one GLib timeout follows the due time of the next timer. Library loops
// (RunMessageLoop, modal loops) only wait in g_main_context_iteration and
// check their end (DrainsPostedMessages), so GTK's own events, posted
// messages and timers keep flowing in nested loops, GTK dialogs included.
#pragma once

#include <gtk/gtk.h>

#include <atomic>
#include <map>
#include <memory>
#include <thread>
#include <set>
#include <string>
#include <vector>

#include "qenui/gtk/CairoRender.h"
#include "qenui/window/UIHost.h"

namespace DuiLib {

class CGtkTray;

class CGtkHost : public IWindowHost {
 public:
  CGtkHost();
  ~CGtkHost() override;

  // ---- IWindowHost ----
  bool NativeWindowHasFocus(HWND hWnd) override;
  bool CreateNativeWindow(HWND hWnd, HWND hParent, const CDuiString& title, DWORD style, DWORD exStyle,
                          const RECT& rcScreen) override;
  void DestroyNativeWindow(HWND hWnd) override;
  void ShowNativeWindow(HWND hWnd, int nCmdShow) override;
  void MoveNativeWindow(HWND hWnd, const RECT& rcScreen, HWND hInsertAfter) override;
  void SetNativeWindowTitle(HWND hWnd, const CDuiString& title) override;
  void SetNativeWindowShape(HWND hWnd, int roundCorner) override;
  void InvalidateNativeWindow(HWND hWnd, const RECT& rcClient) override;
  void ActivateNativeWindow(HWND hWnd) override;
  uint64_t NowMs() override;
  void WaitForWork(uint64_t deadlineMs) override;
  void Wake() override;
  bool DrainsPostedMessages() override { return true; }
  RECT GetWorkArea() override;
  POINT GetCursorPos() override;
  bool IsKeyDown(UINT vk) override;
  SIZE MeasureText(const std::u16string& text, const TFontInfo& font) override;
  int MessageBox(HWND hOwner, const CDuiString& text, const CDuiString& caption, UINT type) override;
  bool ChooseFiles(HWND hOwner, const TFileChooser& request, std::vector<CDuiString>* paths) override;
  bool ChooseFolder(HWND hOwner, const CDuiString& title, CDuiString* folder) override;
  bool ShellOpen(const CDuiString& target) override;
  bool TrayIcon(UINT op, const TTrayIcon& icon) override;
  std::unique_ptr<IBrowserView> CreateBrowserView(HWND hWnd, IBrowserViewEvents* events) override;
  void BeginTextInput(HWND hWnd, const RECT& rcClient, const CDuiString& text, bool password,
                      ITextInputClient* client) override;
  void EndTextInput(HWND hWnd, ITextInputClient* client) override;
  void OnModalLoopStarted(HWND hWnd) override;
  void SetNativeToolTip(HWND hWnd, const CDuiString& text, const RECT& rcControl) override;

  // ---- for the back end's own parts, tests and screenshots ----
  GtkWidget* NativeWindow(HWND hWnd) const;    // the GtkWindow, or null
  GtkWidget* NativeOverlay(HWND hWnd) const;   // the GtkFixed above the painted area
  GtkWidget* NativeEntry(HWND hWnd) const;     // the edit entry (null before the first edit got focus)
  // Paints the window's control tree into an image surface of its size.
  cairo_surface_t* RenderOffscreen(HWND hWnd);
  // Sets a window's opacity (0..255); 255 is opaque.
  void SetNativeWindowOpacity(HWND hWnd, BYTE alpha) override;
  // Runs one GTK iteration without blocking (tests).
  void PumpGtk();
  // Runs a nested GTK loop (dialogs) with posted messages still flowing.
  void ArmDrainForNestedLoop() { Wake(); }
  // The tray keeps its owner reachable: true when a tray shows the icon.
  bool TrayEmbedded() const;
  GtkStatusIcon* TrayStatusIcon(UINT id) const;  // the tray icon's GTK object (tests)
  CImageSurfaceCache* Images() { return &m_images; }

  struct Native;

 private:
  friend struct NativeEvents;
  Native* Find(HWND h) const;
  void Drain();
  void RescheduleTimer();
  static gboolean OnIdleDrain(gpointer self);
  static gboolean OnTimerDue(gpointer self);
  void ApplyRoundShape(Native* n);
  void PlaceEntry(Native* n, const RECT& rc);
  void FollowEditRect(Native* n);
  void Reap();

  std::map<HWND, std::unique_ptr<Native>> m_windows;
  std::vector<std::unique_ptr<Native>> m_dead;   // destroyed windows, freed outside their signal handlers
  int m_handlerDepth = 0;                        // native signal handlers on the stack (UI thread)
  CImageSurfaceCache m_images;
  std::atomic<bool> m_drainArmed{false};         // an idle drain source is pending (any thread sets it)
  static constexpr int kDrainBatch = 256;        // messages per turn of the drain source
  int m_drainDepth = 0;                          // drains on the stack (UI thread)
  guint m_timerSource = 0;                       // UI thread only
  uint64_t m_timerDue = 0;
  std::set<UINT> m_keysDown;                     // UI thread only
  unsigned int m_buttons = 0;                    // GDK button mask last seen
  std::unique_ptr<CGtkTray> m_tray;
  std::thread::id m_uiThread = std::this_thread::get_id();  // the thread that runs GTK

  friend CGtkHost* UseGtkHost(std::string* error);
};

// Initialises GTK on the X11 back end and installs the GTK host for the
// library. Call it on the UI thread before creating windows. Null (with the
// reason) when no X display can be opened.
CGtkHost* UseGtkHost(std::string* error);
// The installed GTK host, or null.
CGtkHost* GetGtkHost();
// Whether the browser engine's module is beside this back end's module;
// looked up once and kept. UseGtkHost asks first: finding the folder takes
// the dynamic loader's lock, which a thread loading libraries holds for
// long.
bool BrowserModulePresent();

}  // namespace DuiLib
