// CWebBrowserUI's engine: the WebKit module (WebViewModule.h), opened from
// the folder of the module that holds this back end (the program's folder).
//
// A view is made at once, but the engine is loaded only when the view is
// first needed: when it is first shown with a size, or first asked to go
// to an address. Even then it waits until its window was drawn (at
// low-priority idle), so the window is on the screen before WebKitGTK is
// loaded; a browser area that stays hidden and idle never loads it. Until
// then the view keeps what it is asked for (the last address, its bounds)
// and hands it over when the engine is there; a query of the page
// (GetElementAttribute) loads the engine at once.
//
// Without the module file no view is made, as for a window that has no
// native window: the control stays empty and its navigation does nothing;
// the reason is logged. A module that is there but cannot be loaded leaves
// the view empty in the same way.
#include <unistd.h>

#include <cstdio>
#include <string>

#include "platform/dynamic_library.h"
#include "platform/module_path.h"
#include "qenui/gtk/GtkHost.h"
#include "qenui/gtk/WebViewModule.h"

namespace DuiLib {

namespace {

// Threading contract (this file): UI thread only, as every call of the host.

std::string ModuleFolder() {
  std::string folder = platform::ModulePathOf(reinterpret_cast<const void*>(&ModuleFolder));
  folder.erase(folder.rfind('/') + 1);
  return folder;
}

}  // namespace

bool BrowserModulePresent() {
  static const bool present = [] {
    const std::string path = ModuleFolder() + platform::LibraryFileName(kWebViewModuleName);
    if (access(path.c_str(), R_OK) == 0) return true;
    std::fprintf(stderr, "qenui: no browser engine: %s is missing\n", path.c_str());
    return false;
  }();
  return present;
}

namespace {

// The module's interface; loaded on first use and kept for the process.
const QenuiWebViewApi* WebViewModule() {
  static const QenuiWebViewApi* api = []() -> const QenuiWebViewApi* {
    std::string error;
    void* module = platform::LoadLibraryFrom(ModuleFolder(), kWebViewModuleName, &error);
    auto* entry = reinterpret_cast<const QenuiWebViewApi* (*)()>(platform::FindSymbol(module, kWebViewModuleEntry));
    const QenuiWebViewApi* found = entry ? entry() : nullptr;
    if (found && found->size >= sizeof(QenuiWebViewApi)) return found;
    std::fprintf(stderr, "qenui: no browser engine (%s): %s\n", platform::LibraryFileName(kWebViewModuleName).c_str(),
                 module ? "the module has no usable entry" : error.c_str());
    platform::FreeLibrary(module);
    return nullptr;
  }();
  return api;
}

class CModuleBrowserView : public IBrowserView {
 public:
  CModuleBrowserView(CGtkHost* host, GtkWidget* window, GtkWidget* overlay, IBrowserViewEvents* events)
      : m_host(host), m_window(window), m_overlay(overlay), m_events(events) {
    m_calls = {this, &BeforeNavigate, &NewWindow, &NavigateComplete, &NavigateError, &ProgressChange,
               &CommandStateChange};
    g_object_add_weak_pointer(G_OBJECT(m_window), reinterpret_cast<gpointer*>(&m_window));
    if (m_overlay) g_object_add_weak_pointer(G_OBJECT(m_overlay), reinterpret_cast<gpointer*>(&m_overlay));
  }

  ~CModuleBrowserView() override {
    StopWaiting();
    if (m_view) m_api->destroy(m_view);
    if (m_overlay) g_object_remove_weak_pointer(G_OBJECT(m_overlay), reinterpret_cast<gpointer*>(&m_overlay));
    if (m_window) g_object_remove_weak_pointer(G_OBJECT(m_window), reinterpret_cast<gpointer*>(&m_window));
  }

  void Navigate(const CDuiString& url) override {
    if (m_view) {
      m_api->navigate(m_view, url.ToUtf8().c_str());
      return;
    }
    m_pendingUrl = url.ToUtf8();
    Need();
  }
  // Before the engine is there the view has no history, and a refresh of
  // the address it waits for is that load itself.
  void GoBack() override { if (m_view) m_api->goBack(m_view); }
  void GoForward() override { if (m_view) m_api->goForward(m_view); }
  void Refresh() override { if (m_view) m_api->reload(m_view); }
  void SetBounds(const RECT& rc, bool visible) override {
    m_rc = rc;
    m_visible = visible && !rc.IsEmpty();
    m_hasBounds = true;
    if (m_view) ApplyBounds();
    else if (m_visible) Need();
  }
  CDuiString GetUrl() const override {
    if (!m_view) return CDuiString::FromUtf8(m_pendingUrl);
    char* u = m_api->currentUrl(m_view);
    CDuiString url = CDuiString::FromUtf8(u ? u : "");
    g_free(u);
    return url;
  }
  bool GetElementAttribute(const CDuiString& elementId, const CDuiString& attribute, CDuiString* value,
                           bool* elementFound) override {
    if (elementFound) *elementFound = false;
    if (!value || !Load()) return false;
    m_host->ArmDrainForNestedLoop();  // the module waits for the page in a nested loop
    char* text = nullptr;
    const int found = m_api->elementAttribute(m_view, elementId.ToUtf8().c_str(), attribute.ToUtf8().c_str(), &text);
    if (elementFound) *elementFound = found == kQenuiElementValue || found == kQenuiElementNoAttribute;
    if (found != kQenuiElementValue) return false;
    *value = CDuiString::FromUtf8(text ? text : "");
    g_free(text);
    return true;
  }

 private:
  // The view is needed: the engine is loaded once the loop is idle after the
  // window's first draw (at once when the window is already drawn).
  void Need() {
    if (m_tried || m_idle || m_drawHandler || !m_window) return;
    if (gtk_widget_is_drawable(m_window)) {
      ScheduleLoad();  // already on the screen
    } else {
      m_drawHandler = g_signal_connect_after(m_window, "draw", G_CALLBACK(OnWindowDrawn), this);
    }
  }
  // The first draw of the window: the engine follows once the loop is idle,
  // after that frame went out.
  static gboolean OnWindowDrawn(GtkWidget*, cairo_t*, gpointer self) {
    static_cast<CModuleBrowserView*>(self)->ScheduleLoad();
    return FALSE;
  }
  static gboolean LoadWhenIdle(gpointer self) {
    auto* v = static_cast<CModuleBrowserView*>(self);
    v->m_idle = 0;
    gdk_display_flush(gdk_display_get_default());
    v->Load();
    return G_SOURCE_REMOVE;
  }
  void ScheduleLoad() {
    if (m_drawHandler && m_window) g_signal_handler_disconnect(m_window, m_drawHandler);
    m_drawHandler = 0;
    if (!m_idle && !m_tried) m_idle = g_idle_add_full(G_PRIORITY_LOW, &LoadWhenIdle, this, nullptr);
  }
  void StopWaiting() {
    if (m_drawHandler && m_window) g_signal_handler_disconnect(m_window, m_drawHandler);
    m_drawHandler = 0;
    if (m_idle) g_source_remove(m_idle);
    m_idle = 0;
  }
  // True when the engine's view exists (loaded now or before).
  bool Load() {
    if (m_view) return true;
    if (m_tried) return false;
    m_tried = true;
    StopWaiting();
    m_api = WebViewModule();
    if (!m_api) return false;
    m_view = m_api->create(m_overlay, &m_calls);
    if (!m_view) return false;
    if (m_hasBounds) ApplyBounds();
    if (!m_pendingUrl.empty()) m_api->navigate(m_view, m_pendingUrl.c_str());
    m_pendingUrl.clear();
    return true;
  }
  void ApplyBounds() {
    m_api->setBounds(m_view, static_cast<int>(m_rc.left), static_cast<int>(m_rc.top), static_cast<int>(m_rc.Width()),
                     static_cast<int>(m_rc.Height()), m_visible);
  }

  static IBrowserViewEvents* To(void* self) { return static_cast<CModuleBrowserView*>(self)->m_events; }
  static int BeforeNavigate(void* self, const char* url) {
    IBrowserViewEvents* e = To(self);
    return !e || e->OnBeforeNavigate(CDuiString::FromUtf8(url)) ? 1 : 0;
  }
  static void NewWindow(void* self, const char* url) {
    if (IBrowserViewEvents* e = To(self)) e->OnNewWindow(CDuiString::FromUtf8(url));
  }
  static void NavigateComplete(void* self, const char* url) {
    if (IBrowserViewEvents* e = To(self)) e->OnNavigateComplete(CDuiString::FromUtf8(url));
  }
  static void NavigateError(void* self, const char* url, int status) {
    if (IBrowserViewEvents* e = To(self)) e->OnNavigateError(CDuiString::FromUtf8(url), status);
  }
  static void ProgressChange(void* self, long progress, long progressMax) {
    if (IBrowserViewEvents* e = To(self)) e->OnProgressChange(progress, progressMax);
  }
  static void CommandStateChange(void* self, long command, int enable) {
    if (IBrowserViewEvents* e = To(self)) e->OnCommandStateChange(command, enable != 0);
  }

  CGtkHost* m_host;
  GtkWidget* m_window;   // weak: the GtkWindow whose first draw brings the engine
  GtkWidget* m_overlay;  // weak: the GtkFixed the engine's view is placed in
  IBrowserViewEvents* m_events;
  QenuiWebViewEvents m_calls{};
  gulong m_drawHandler = 0;
  guint m_idle = 0;
  bool m_tried = false;  // the engine was asked for (loaded or not)
  const QenuiWebViewApi* m_api = nullptr;
  void* m_view = nullptr;
  // Kept until the engine is there:
  std::string m_pendingUrl;
  RECT m_rc{};
  bool m_visible = false;
  bool m_hasBounds = false;
};

}  // namespace

std::unique_ptr<IBrowserView> CGtkHost::CreateBrowserView(HWND hWnd, IBrowserViewEvents* events) {
  GtkWidget* window = NativeWindow(hWnd);
  if (!window || !BrowserModulePresent()) return nullptr;
  return std::make_unique<CModuleBrowserView>(this, window, NativeOverlay(hWnd), events);
}

}  // namespace DuiLib
