// The browser engine module: WebKitGTK lives in its own shared library,
// libqenui_webkit.so, which the GTK back end opens when the first browser
// control is created, so no window that shows no page pays for loading
// WebKitGTK at start-up.
//
// The boundary is plain C with UTF-8 text: the module knows GTK and WebKit,
// never the library's classes; the back end (GtkBrowser.cpp) adapts it to
// IBrowserView. Every call and every event runs on the UI thread.
#pragma once

#include <gtk/gtk.h>

#include <cstdint>

extern "C" {

// The control's side: events of one view. A returned or passed string is
// UTF-8 and lives for the call only.
struct QenuiWebViewEvents {
  void* context;
  int (*beforeNavigate)(void* context, const char* url);  // 0 refuses the navigation
  void (*newWindow)(void* context, const char* url);      // no window opens; the control decides
  void (*navigateComplete)(void* context, const char* url);
  void (*navigateError)(void* context, const char* url, int status);
  void (*progressChange)(void* context, long progress, long progressMax);
  void (*commandStateChange)(void* context, long command, int enable);
};

// The module's side. `view` is what create returned.
// What an element query found.
enum QenuiElementQuery {
  kQenuiElementMissing = 0,      // no such element, or no answer in time
  kQenuiElementValue = 1,        // the element's attribute, a text
  kQenuiElementNoAttribute = 2,  // the element, without that attribute as a text
};

struct QenuiWebViewApi {
  uint32_t size;  // sizeof(QenuiWebViewApi) of the module's build
  // A view placed in `overlay` (a GtkFixed; null keeps it windowless); the
  // events record must outlive the view. Null when no view can be made.
  void* (*create)(GtkWidget* overlay, const QenuiWebViewEvents* events);
  void (*destroy)(void* view);
  void (*navigate)(void* view, const char* url);
  void (*goBack)(void* view);
  void (*goForward)(void* view);
  void (*reload)(void* view);
  void (*setBounds)(void* view, int x, int y, int width, int height, int visible);
  char* (*currentUrl)(void* view);  // g_free() it; never null
  // Runs a nested GLib loop (at most 5 s) until the page answers: a
  // QenuiElementQuery; with kQenuiElementValue *value is set (g_free() it).
  int (*elementAttribute)(void* view, const char* elementId, const char* attribute, char** value);
  // Readies the engine without a view (its shared web context): the costly
  // first part of the first view, so the back end can take it in a turn of
  // the loop of its own. create does it when it was not done.
  void (*prepare)(void);
};

// The one symbol the module exports.
const QenuiWebViewApi* QenuiWebViewModule(void);

}  // extern "C"

namespace DuiLib {
constexpr char kWebViewModuleName[] = "qenui_webkit";  // libqenui_webkit.so
constexpr char kWebViewModuleEntry[] = "QenuiWebViewModule";
}  // namespace DuiLib
