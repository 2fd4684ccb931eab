// CWebBrowserUI's engine: the WebKit module (WebViewModule.h), opened from
// the folder of the module that holds this back end (the program's folder).
//
// A view is made at once, but the engine is loaded only when the view is
// first needed: when it is first shown with a size, or first asked to go
// to an address. Even then it waits until its window was drawn, so the
// window is on the screen before WebKitGTK is loaded; a browser area that
// stays hidden and idle never loads it. The load never holds up the UI
// thread for long: it goes in steps, each in a low-priority turn of the
// loop of its own, so input and drawing go on between them: the module's
// libraries are opened a few at a time (ModuleLoader), then the engine is
// readied, the view made and placed, and its address loaded. Until
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
#include <vector>

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

// The module, opened once for the process in steps of a few milliseconds.
// Opening WebKitGTK maps and relocates some 180 libraries, tens of
// milliseconds in one dlopen; so the libraries it opens are opened first, a
// few per step, leaves first, from the list the build wrote beside the
// module (libqenui_webkit.so.deps, one path a line; module_deps.cmake). The
// module's own dlopen then finds them all there. A library of the list that
// does not open (a list from another machine) is left to that last dlopen.
//
// Threading: UI thread only. (Opening them on a worker is no choice: a
// library constructor that calls GModule, as libsoup's does, would wait for
// GModule's lock while holding the loader's, which the UI thread waits for
// inside GModule whenever GTK resolves a type by name.)
class ModuleLoader {
 public:
  static ModuleLoader& Instance() {
    static ModuleLoader loader;
    return loader;
  }
  // Opens what the budget allows; true while there is more to open.
  bool Step(gint64 budgetUs) {
    if (m_opened) return false;
    if (!m_listed) ReadList();
    const gint64 end = g_get_monotonic_time() + budgetUs;
    while (m_next < m_libraries.size() && g_get_monotonic_time() < end) {
      // Kept open for the process, as the module that needs it.
      if (!platform::LoadLibraryPath(m_libraries[m_next])) ++m_skipped;
      ++m_next;
    }
    if (m_next < m_libraries.size()) return true;
    OpenModule();
    return false;
  }
  // The module's interface, or null when it has none (what is still to
  // open is opened now).
  const QenuiWebViewApi* Api() {
    while (Step(G_MAXINT64)) {}
    return m_api;
  }

 private:
  ModuleLoader() = default;

  void ReadList() {
    m_listed = true;
    const std::string path = ModuleFolder() + platform::LibraryFileName(kWebViewModuleName) + ".deps";
    FILE* f = std::fopen(path.c_str(), "r");
    if (!f) return;
    char line[4096];
    while (std::fgets(line, sizeof line, f)) {
      std::string library = line;
      while (!library.empty() && (library.back() == '\n' || library.back() == '\r')) library.pop_back();
      if (!library.empty() && library[0] == '/') m_libraries.push_back(library);
    }
    std::fclose(f);
  }
  void OpenModule() {
    m_opened = true;
    if (m_skipped) std::fprintf(stderr, "qenui: %zu of the browser engine's libraries did not open ahead\n", m_skipped);
    std::string error;
    void* module = platform::LoadLibraryFrom(ModuleFolder(), kWebViewModuleName, &error);
    auto* entry = reinterpret_cast<const QenuiWebViewApi* (*)()>(platform::FindSymbol(module, kWebViewModuleEntry));
    const QenuiWebViewApi* found = entry ? entry() : nullptr;
    if (found && found->size >= sizeof(QenuiWebViewApi)) {
      m_api = found;
      return;
    }
    std::fprintf(stderr, "qenui: no browser engine (%s): %s\n", platform::LibraryFileName(kWebViewModuleName).c_str(),
                 module ? "the module has no usable entry" : error.c_str());
    platform::FreeLibrary(module);
  }

  bool m_listed = false;
  bool m_opened = false;
  std::vector<std::string> m_libraries;
  size_t m_next = 0;
  size_t m_skipped = 0;
  const QenuiWebViewApi* m_api = nullptr;
};

// How long one step of the opening goes on opening libraries (one more may
// begin just before the end).
constexpr gint64 kOpenStepUs = 3000;
// The pause between two steps of a load (each runs at low priority).
constexpr guint kLoadStepMs = 5;

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
      m_pendingUrl.clear();
      m_api->navigate(m_view, url.ToUtf8().c_str());
      return;
    }
    m_pendingUrl = url.ToUtf8();
    Need();
  }
  // Before the engine has loaded the address it waits for, the view has no
  // history, and a refresh of that address is that load itself.
  void GoBack() override { if (Loaded()) m_api->goBack(m_view); }
  void GoForward() override { if (Loaded()) m_api->goForward(m_view); }
  void Refresh() override { if (Loaded()) m_api->reload(m_view); }
  void SetBounds(const RECT& rc, bool visible) override {
    m_rc = rc;
    m_visible = visible && !rc.IsEmpty();
    m_hasBounds = true;
    if (m_view) ApplyBounds();
    else if (m_visible) Need();
  }
  CDuiString GetUrl() const override {
    if (!Loaded()) return CDuiString::FromUtf8(m_pendingUrl);
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
  // The view made and its address handed over.
  bool Loaded() const { return m_view && m_pendingUrl.empty(); }
  // The view is needed: the engine is loaded after the window's first draw
  // (at once when the window is already drawn).
  void Need() {
    if (m_view || m_failed || m_steps || m_drawHandler || !m_window) return;
    if (gtk_widget_is_drawable(m_window)) {
      ScheduleLoad();  // already on the screen
    } else {
      m_drawHandler = g_signal_connect_after(m_window, "draw", G_CALLBACK(OnWindowDrawn), this);
    }
  }
  // The first draw of the window: the load begins, its steps follow when
  // the loop is idle, after that frame went out.
  static gboolean OnWindowDrawn(GtkWidget*, cairo_t*, gpointer self) {
    static_cast<CModuleBrowserView*>(self)->ScheduleLoad();
    return FALSE;
  }
  void ScheduleLoad() {
    if (m_drawHandler && m_window) g_signal_handler_disconnect(m_window, m_drawHandler);
    m_drawHandler = 0;
    if (m_steps || m_view || m_failed) return;
    m_steps = g_timeout_add_full(G_PRIORITY_LOW, kLoadStepMs, &LoadStep, this, nullptr);
  }
  static gboolean LoadStep(gpointer self) {
    auto* v = static_cast<CModuleBrowserView*>(self);
    gdk_display_flush(gdk_display_get_default());
    if (v->Step()) return G_SOURCE_CONTINUE;
    v->m_steps = 0;
    return G_SOURCE_REMOVE;
  }
  void StopWaiting() {
    if (m_drawHandler && m_window) g_signal_handler_disconnect(m_window, m_drawHandler);
    m_drawHandler = 0;
    if (m_steps) g_source_remove(m_steps);
    m_steps = 0;
  }
  // One step of the load; false once the view has its address, or cannot
  // be made.
  bool Step() {
    if (!m_api) {
      if (ModuleLoader::Instance().Step(kOpenStepUs)) return true;
      return TakeApi();
    }
    if (!m_prepared) {
      m_prepared = true;
      m_api->prepare();
      return true;
    }
    if (!m_view) {
      m_view = m_api->create(m_overlay, &m_calls);
      if (!m_view) {
        m_failed = true;
        return false;
      }
      if (m_hasBounds) ApplyBounds();
      return !m_pendingUrl.empty();
    }
    if (!m_pendingUrl.empty()) m_api->navigate(m_view, m_pendingUrl.c_str());
    m_pendingUrl.clear();
    return false;
  }
  bool TakeApi() {
    m_api = ModuleLoader::Instance().Api();
    m_failed = !m_api;
    return m_api != nullptr;
  }
  // True when the engine's view exists: the steps still to come are taken
  // now.
  bool Load() {
    if (m_view && m_pendingUrl.empty()) return true;
    if (m_failed) return false;
    StopWaiting();
    if (!m_api && !TakeApi()) return false;
    while (Step()) {}
    return m_view != nullptr;
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
  guint m_steps = 0;        // the source of the load's steps
  bool m_failed = false;    // no view can be made
  bool m_prepared = false;  // the engine was readied
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
