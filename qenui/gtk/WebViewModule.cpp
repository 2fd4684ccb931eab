// libqenui_webkit.so: the browser engine on WebKitGTK 4.1. A WebKitWebView
// is placed over the control's rectangle. Navigation, errors, completion,
// progress and back/forward state go to the control's events; new windows
// are refused (the control decides what to do with their address); the
// page's own context menu never shows. The views share one ephemeral web
// context that uses no proxy, so pages leave no files behind and loopback
// pages are fetched directly.
#include <webkit2/webkit2.h>

#include <cstdio>
#include <memory>
#include <string>

#include "qenui/gtk/WebViewModule.h"

namespace {

WebKitWebContext* SharedContext() {
  static WebKitWebContext* ctx = [] {
    WebKitWebContext* c = webkit_web_context_new_ephemeral();
    WebKitWebsiteDataManager* data = webkit_web_context_get_website_data_manager(c);
    webkit_website_data_manager_set_network_proxy_settings(data, WEBKIT_NETWORK_PROXY_MODE_NO_PROXY, nullptr);
    return c;
  }();
  return ctx;
}

const char* UriOf(WebKitURIRequest* req) {
  const char* u = req ? webkit_uri_request_get_uri(req) : nullptr;
  return u ? u : "";
}

class WebView {
 public:
  WebView(GtkWidget* fixed, const QenuiWebViewEvents* events) : m_events(events) {
    m_view = WEBKIT_WEB_VIEW(g_object_new(WEBKIT_TYPE_WEB_VIEW, "web-context", SharedContext(), nullptr));
    g_object_add_weak_pointer(G_OBJECT(m_view), reinterpret_cast<gpointer*>(&m_view));
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

  char* CurrentUrl() const {
    const char* u = m_view ? webkit_web_view_get_uri(m_view) : nullptr;
    return g_strdup(u ? u : "");
  }

  bool ElementAttribute(const char* elementId, const char* attribute, char** value) {
    if (!m_view || !value || !elementId || !attribute) return false;
    // The page runs in another process: ask it and wait here, with the
    // caller's posted messages still flowing (the caller armed them).
    static const char* kBody =
        "var e = document.getElementById(id);"
        "if (!e) { for (var i = 0; i < window.frames.length && !e; ++i) {"
        "  try { e = window.frames[i].document.getElementById(id); } catch (x) {} } }"
        "if (!e) return null;"
        "var v = e.getAttribute(attr);"
        "return typeof v === 'string' ? v : null;";
    GVariantBuilder args;
    g_variant_builder_init(&args, G_VARIANT_TYPE("a{sv}"));
    g_variant_builder_add(&args, "{sv}", "id", g_variant_new_string(elementId));
    g_variant_builder_add(&args, "{sv}", "attr", g_variant_new_string(attribute));
    // The answer may outlive this call (a page that never answers): it is
    // shared with the callback, which drops the last reference.
    struct Wait { bool done = false; bool found = false; std::string text; };
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
            w->found = true;
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
      return false;
    }
    if (!mine->found) return false;
    *value = g_strdup(mine->text.c_str());
    return true;
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
        if (webkit_response_policy_decision_is_main_frame_main_resource(r))
          v->m_httpStatus = static_cast<int>(webkit_uri_response_get_status_code(webkit_response_policy_decision_get_response(r)));
        return FALSE;  // WebKit's own handling (show or download)
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
    if (ev == WEBKIT_LOAD_STARTED) { v->m_failed = false; v->m_httpStatus = 0; return; }
    if (ev != WEBKIT_LOAD_FINISHED || v->m_failed) return;
    const char* u = webkit_web_view_get_uri(view);
    std::string url = u ? u : "";
    if (v->m_httpStatus >= 400) v->m_events->navigateError(v->m_events->context, url.c_str(), v->m_httpStatus);
    else v->m_events->navigateComplete(v->m_events->context, url.c_str());
  }

  static gboolean OnLoadFailed(WebKitWebView*, WebKitLoadEvent, gchar* uri, GError* error, gpointer self) {
    auto* v = static_cast<WebView*>(self);
    v->m_failed = true;
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
  int m_httpStatus = 0;
};

WebView* Cast(void* view) { return static_cast<WebView*>(view); }

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
      return Cast(view)->ElementAttribute(elementId, attribute, value) ? 1 : 0;
    },
    [] { SharedContext(); },
};

}  // namespace

extern "C" __attribute__((visibility("default"))) const QenuiWebViewApi* QenuiWebViewModule(void) { return &kApi; }
