// libqenui_webkit.so: the browser engine on WebKitGTK 4.1. A WebKitWebView
// is placed over the control's rectangle. Navigation, errors, completion,
// progress and back/forward state go to the control's events; new windows
// are refused (the control decides what to do with their address); the
// page's own context menu never shows. The views share one ephemeral web
// context that uses no proxy, so pages leave no files behind and loopback
// pages are fetched directly.
//
// A view never downloads: a response it cannot show (an attachment, a
// type it has no viewer for) is refused, and so is any download a page
// starts; for the page itself (not one of its frames) the control hears
// of it as a navigation error. The only downloads are the program's own.
#include <webkit2/webkit2.h>

#include <cstdio>
#include <memory>
#include <string>

#include "qenui/gtk/WebViewModule.h"

namespace {

// What the control is told for a response or download the view refused.
constexpr int kRefusedStatus = WEBKIT_POLICY_ERROR_CANNOT_SHOW_MIME_TYPE;
constexpr char kViewKey[] = "qenui-webview";  // the WebView of a WebKitWebView

void OnDownloadStarted(WebKitWebContext*, WebKitDownload* download, gpointer);

WebKitWebContext* SharedContext() {
  static WebKitWebContext* ctx = [] {
    WebKitWebContext* c = webkit_web_context_new_ephemeral();
    WebKitWebsiteDataManager* data = webkit_web_context_get_website_data_manager(c);
    webkit_website_data_manager_set_network_proxy_settings(data, WEBKIT_NETWORK_PROXY_MODE_NO_PROXY, nullptr);
    g_signal_connect(c, "download-started", G_CALLBACK(OnDownloadStarted), nullptr);
    return c;
  }();
  return ctx;
}

const char* UriOf(WebKitURIRequest* req) {
  const char* u = req ? webkit_uri_request_get_uri(req) : nullptr;
  return u ? u : "";
}

// A Content-Disposition other than "inline" asks for the body to be saved,
// not shown (an unknown type counts as "attachment").
bool AsksToBeSaved(WebKitURIResponse* response) {
  SoupMessageHeaders* headers = webkit_uri_response_get_http_headers(response);
  const char* disposition = headers ? soup_message_headers_get_one(headers, "Content-Disposition") : nullptr;
  if (!disposition) return false;
  std::string type(disposition);
  type = type.substr(0, type.find(';'));
  type.erase(0, type.find_first_not_of(" \t"));
  type.erase(type.find_last_not_of(" \t") + 1);
  return g_ascii_strcasecmp(type.c_str(), "inline") != 0;
}

class WebView {
 public:
  WebView(GtkWidget* fixed, const QenuiWebViewEvents* events) : m_events(events) {
    m_view = WEBKIT_WEB_VIEW(g_object_new(WEBKIT_TYPE_WEB_VIEW, "web-context", SharedContext(), nullptr));
    g_object_add_weak_pointer(G_OBJECT(m_view), reinterpret_cast<gpointer*>(&m_view));
    g_object_set_data(G_OBJECT(m_view), kViewKey, this);
    WebKitSettings* s = webkit_web_view_get_settings(m_view);
    webkit_settings_set_javascript_can_open_windows_automatically(s, FALSE);
    g_signal_connect(m_view, "decide-policy", G_CALLBACK(OnDecidePolicy), this);
    g_signal_connect(m_view, "create", G_CALLBACK(OnCreate), this);
    g_signal_connect(m_view, "load-changed", G_CALLBACK(OnLoadChanged), this);
    g_signal_connect(m_view, "load-failed", G_CALLBACK(OnLoadFailed), this);
    g_signal_connect(m_view, "notify::estimated-load-progress", G_CALLBACK(OnProgress), this);
    g_signal_connect(m_view, "context-menu", G_CALLBACK(OnContextMenu), this);
    g_signal_connect(webkit_web_view_get_back_forward_list(m_view), "changed", G_CALLBACK(OnHistoryChanged), this);
    if (fixed) gtk_fixed_put(GTK_FIXED(fixed), GTK_WIDGET(m_view), 0, 0);
    else g_object_ref_sink(m_view);  // no window to live in: keep it alive on our own reference
    m_ownsRef = !fixed;
  }

  ~WebView() {
    if (!m_view) return;
    g_signal_handlers_disconnect_matched(webkit_web_view_get_back_forward_list(m_view), G_SIGNAL_MATCH_DATA, 0, 0,
                                         nullptr, nullptr, this);
    g_signal_handlers_disconnect_matched(m_view, G_SIGNAL_MATCH_DATA, 0, 0, nullptr, nullptr, this);
    webkit_web_view_stop_loading(m_view);
    g_object_set_data(G_OBJECT(m_view), kViewKey, nullptr);
    WebKitWebView* v = m_view;
    g_object_remove_weak_pointer(G_OBJECT(v), reinterpret_cast<gpointer*>(&m_view));
    if (m_ownsRef) g_object_unref(v);
    else gtk_widget_destroy(GTK_WIDGET(v));
  }

  void Navigate(const char* url) { if (m_view && url) webkit_web_view_load_uri(m_view, url); }
  void GoBack() { if (m_view && webkit_web_view_can_go_back(m_view)) webkit_web_view_go_back(m_view); }
  void GoForward() { if (m_view && webkit_web_view_can_go_forward(m_view)) webkit_web_view_go_forward(m_view); }
  void Reload() { if (m_view) webkit_web_view_reload(m_view); }

  void SetBounds(int x, int y, int width, int height, bool visible) {
    if (!m_view) return;
    GtkWidget* w = GTK_WIDGET(m_view);
    GtkWidget* fixed = gtk_widget_get_parent(w);
    if (!visible || width <= 0 || height <= 0 || !fixed) { gtk_widget_hide(w); return; }
    gtk_widget_set_size_request(w, width, height);
    gtk_fixed_move(GTK_FIXED(fixed), w, x, y);
    gtk_widget_show(w);
  }

  // A download the page started (a link to download, say), cancelled
  // before anything was written: the control hears of it as a navigation
  // error. While the page still loads, the error is its load's end, so the
  // end of that load cannot report the page as loaded after it.
  void RefuseDownload(const char* uri) {
    if (m_view && webkit_web_view_is_loading(m_view)) {
      m_downloadRefused = true;
      return;
    }
    m_events->navigateError(m_events->context, uri, kRefusedStatus);
  }

  char* CurrentUrl() const {
    const char* u = m_view ? webkit_web_view_get_uri(m_view) : nullptr;
    return g_strdup(u ? u : "");
  }

  QenuiElementQuery ElementAttribute(const char* elementId, const char* attribute, char** value) {
    if (!m_view || !value || !elementId || !attribute) return kQenuiElementMissing;
    // The page runs in another process: ask it and wait here, with the
    // caller's posted messages still flowing (the caller armed them).
    static const char* kBody =
        "var e = document.getElementById(id);"
        "if (!e) { for (var i = 0; i < window.frames.length && !e; ++i) {"
        "  try { e = window.frames[i].document.getElementById(id); } catch (x) {} } }"
        "if (!e) return null;"
        "var v = e.getAttribute(attr);"
        "return typeof v === 'string' ? v : false;";
    GVariantBuilder args;
    g_variant_builder_init(&args, G_VARIANT_TYPE("a{sv}"));
    g_variant_builder_add(&args, "{sv}", "id", g_variant_new_string(elementId));
    g_variant_builder_add(&args, "{sv}", "attr", g_variant_new_string(attribute));
    // The answer may outlive this call (a page that never answers): it is
    // shared with the callback, which drops the last reference.
    struct Wait { bool done = false; QenuiElementQuery found = kQenuiElementMissing; std::string text; };
    auto* wait = new std::shared_ptr<Wait>(std::make_shared<Wait>());
    std::shared_ptr<Wait> mine = *wait;
    webkit_web_view_call_async_javascript_function(
        m_view, kBody, -1, g_variant_builder_end(&args), nullptr, nullptr, nullptr,
        [](GObject* src, GAsyncResult* res, gpointer data) {
          auto* holder = static_cast<std::shared_ptr<Wait>*>(data);
          Wait* w = holder->get();
          GError* err = nullptr;
          JSCValue* v = webkit_web_view_call_async_javascript_function_finish(WEBKIT_WEB_VIEW(src), res, &err);
          if (v && jsc_value_is_string(v)) {
            char* s = jsc_value_to_string(v);
            w->text = s ? s : "";
            g_free(s);
            w->found = kQenuiElementValue;
          } else if (v && jsc_value_is_boolean(v)) {
            w->found = kQenuiElementNoAttribute;  // the element answered false: no such attribute
          }
          if (v) g_object_unref(v);
          if (err) g_error_free(err);
          w->done = true;
          delete holder;
        },
        wait);
    gint64 deadline = g_get_monotonic_time() + 5 * G_USEC_PER_SEC;
    guint tick = g_timeout_add(100, [](gpointer) -> gboolean { return G_SOURCE_CONTINUE; }, nullptr);
    while (!mine->done && g_get_monotonic_time() < deadline) g_main_context_iteration(nullptr, TRUE);
    g_source_remove(tick);
    if (!mine->done) {
      std::fprintf(stderr, "qenui: the page did not answer an element query in time\n");
      return kQenuiElementMissing;
    }
    if (mine->found == kQenuiElementValue) *value = g_strdup(mine->text.c_str());
    return mine->found;
  }

 private:
  static gboolean OnDecidePolicy(WebKitWebView*, WebKitPolicyDecision* d, WebKitPolicyDecisionType type, gpointer self) {
    auto* v = static_cast<WebView*>(self);
    const QenuiWebViewEvents* ev = v->m_events;
    switch (type) {
      case WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION: {
        WebKitNavigationAction* a = webkit_navigation_policy_decision_get_navigation_action(WEBKIT_NAVIGATION_POLICY_DECISION(d));
        if (!ev->beforeNavigate(ev->context, UriOf(webkit_navigation_action_get_request(a)))) webkit_policy_decision_ignore(d);
        else webkit_policy_decision_use(d);
        return TRUE;
      }
      case WEBKIT_POLICY_DECISION_TYPE_NEW_WINDOW_ACTION: {
        WebKitNavigationAction* a = webkit_navigation_policy_decision_get_navigation_action(WEBKIT_NAVIGATION_POLICY_DECISION(d));
        std::string url = UriOf(webkit_navigation_action_get_request(a));
        // No new browser window ever opens; the control hears of the request.
        webkit_policy_decision_ignore(d);
        ev->newWindow(ev->context, url.c_str());
        return TRUE;
      }
      case WEBKIT_POLICY_DECISION_TYPE_RESPONSE: {
        auto* r = WEBKIT_RESPONSE_POLICY_DECISION(d);
        WebKitURIResponse* response = webkit_response_policy_decision_get_response(r);
        const bool page = webkit_response_policy_decision_is_main_frame_main_resource(r);
        if (page) v->m_httpStatus = static_cast<int>(webkit_uri_response_get_status_code(response));
        if (!AsksToBeSaved(response) && webkit_response_policy_decision_is_mime_type_supported(r)) {
          webkit_policy_decision_use(d);
          return TRUE;
        }
        // Never saved: refused. The page's own load then fails, which the
        // control hears of as the error this refusal is.
        const char* uri = webkit_uri_response_get_uri(response);
        std::fprintf(stderr, "qenui: refused a response the view cannot show: %s\n", uri ? uri : "");
        if (page) v->m_refused = true;
        webkit_policy_decision_ignore(d);
        return TRUE;
      }
      default: return FALSE;
    }
  }

  static GtkWidget* OnCreate(WebKitWebView*, WebKitNavigationAction* a, gpointer self) {
    auto* v = static_cast<WebView*>(self);
    v->m_events->newWindow(v->m_events->context, UriOf(webkit_navigation_action_get_request(a)));
    return nullptr;
  }

  static void OnLoadChanged(WebKitWebView* view, WebKitLoadEvent ev, gpointer self) {
    auto* v = static_cast<WebView*>(self);
    if (ev == WEBKIT_LOAD_STARTED) {
      v->m_failed = false;
      v->m_refused = false;
      v->m_downloadRefused = false;
      v->m_httpStatus = 0;
      return;
    }
    if (ev != WEBKIT_LOAD_FINISHED || v->m_failed) return;
    const char* u = webkit_web_view_get_uri(view);
    std::string url = u ? u : "";
    if (v->m_downloadRefused) {
      v->m_downloadRefused = false;
      v->m_events->navigateError(v->m_events->context, url.c_str(), kRefusedStatus);
    } else if (v->m_httpStatus >= 400) {
      v->m_events->navigateError(v->m_events->context, url.c_str(), v->m_httpStatus);
    } else {
      v->m_events->navigateComplete(v->m_events->context, url.c_str());
    }
  }

  static gboolean OnLoadFailed(WebKitWebView*, WebKitLoadEvent, gchar* uri, GError* error, gpointer self) {
    auto* v = static_cast<WebView*>(self);
    v->m_failed = true;
    // A response the view refused, or a download the page started, ends
    // its load here: an error.
    if (v->m_refused || v->m_downloadRefused) {
      v->m_refused = false;
      v->m_downloadRefused = false;
      v->m_events->navigateError(v->m_events->context, uri ? uri : "", kRefusedStatus);
      return TRUE;
    }
    // A load replaced by another one, or refused by the control, is no error.
    if (g_error_matches(error, WEBKIT_NETWORK_ERROR, WEBKIT_NETWORK_ERROR_CANCELLED) ||
        g_error_matches(error, WEBKIT_POLICY_ERROR, WEBKIT_POLICY_ERROR_FRAME_LOAD_INTERRUPTED_BY_POLICY_CHANGE))
      return FALSE;
    v->m_events->navigateError(v->m_events->context, uri ? uri : "", error ? error->code : -1);
    return TRUE;  // the control shows its own error page, never WebKit's
  }

  static void OnProgress(WebKitWebView* view, GParamSpec*, gpointer self) {
    auto* v = static_cast<WebView*>(self);
    double p = webkit_web_view_get_estimated_load_progress(view);
    v->m_events->progressChange(v->m_events->context, static_cast<long>(p * 10000), 10000);
  }

  static gboolean OnContextMenu(WebKitWebView*, WebKitContextMenu*, GdkEvent*, WebKitHitTestResult*, gpointer) {
    return TRUE;
  }

  static void OnHistoryChanged(WebKitBackForwardList*, WebKitBackForwardListItem*, gpointer, gpointer self) {
    auto* v = static_cast<WebView*>(self);
    if (!v->m_view) return;
    bool back = webkit_web_view_can_go_back(v->m_view), fwd = webkit_web_view_can_go_forward(v->m_view);
    v->m_events->commandStateChange(v->m_events->context, 2, back);
    v->m_events->commandStateChange(v->m_events->context, 1, fwd);
  }

  const QenuiWebViewEvents* m_events;
  WebKitWebView* m_view = nullptr;
  bool m_ownsRef = false;
  bool m_failed = false;
  bool m_refused = false;  // the page's own response was refused
  bool m_downloadRefused = false;  // a download the page started while loading was refused
  int m_httpStatus = 0;
};

WebView* Cast(void* view) { return static_cast<WebView*>(view); }

void OnDownloadStarted(WebKitWebContext*, WebKitDownload* download, gpointer) {
  WebKitURIRequest* request = webkit_download_get_request(download);
  const std::string uri = UriOf(request);
  std::fprintf(stderr, "qenui: refused a download: %s\n", uri.c_str());
  // Nothing is written: the destination is never decided.
  g_signal_connect(download, "decide-destination", G_CALLBACK(+[](WebKitDownload* d, gchar*, gpointer) -> gboolean {
                     webkit_download_cancel(d);
                     return TRUE;
                   }),
                   nullptr);
  webkit_download_cancel(download);
  WebKitWebView* view = webkit_download_get_web_view(download);
  auto* owner = view ? static_cast<WebView*>(g_object_get_data(G_OBJECT(view), kViewKey)) : nullptr;
  if (owner) owner->RefuseDownload(uri.c_str());
}

const QenuiWebViewApi kApi = {
    sizeof(QenuiWebViewApi),
    [](GtkWidget* overlay, const QenuiWebViewEvents* events) -> void* {
      return events ? new WebView(overlay, events) : nullptr;
    },
    [](void* view) { delete Cast(view); },
    [](void* view, const char* url) { Cast(view)->Navigate(url); },
    [](void* view) { Cast(view)->GoBack(); },
    [](void* view) { Cast(view)->GoForward(); },
    [](void* view) { Cast(view)->Reload(); },
    [](void* view, int x, int y, int width, int height, int visible) {
      Cast(view)->SetBounds(x, y, width, height, visible != 0);
    },
    [](void* view) { return Cast(view)->CurrentUrl(); },
    [](void* view, const char* elementId, const char* attribute, char** value) -> int {
      return Cast(view)->ElementAttribute(elementId, attribute, value);
    },
    [] { SharedContext(); },
};

}  // namespace

extern "C" __attribute__((visibility("default"))) const QenuiWebViewApi* QenuiWebViewModule(void) { return &kApi; }
