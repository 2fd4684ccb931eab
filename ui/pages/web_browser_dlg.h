// CWebBrowserDlg: one market page of the main window. The main window holds
// four (tab types 0 home, 1 choice, 2 class, 3 ranking), each over its own
// browser control of the layout; they share the toolbar ("ie_back_btn",
// "ie_forward_btn", "ie_refesh_btn", "ie_index_btn") and the page switcher
// "tab_ie_pages" (0: the browsers, 1: the page's own error page). A download
// link the market opens in a new window becomes a download request to the
// listener (the task manager); no new window ever opens.
//
// Threading: UI thread only (the browser control raises its events there).
#pragma once

#include <string>

#include "app/task/download_listener.h"
#include "qenui/UIlib.h"

class CWebBrowserDlg : public DuiLib::CWebBrowserEventHandler {
 public:
  explicit CWebBrowserDlg(DuiLib::CPaintManagerUI* pm) : pm_(pm) {}

  void SetType(int type) { type_ = type; }
  int GetType() const { return type_; }
  // Finds the controls, installs this page as its browser's handler and sets
  // the home page; navigates nowhere yet.
  void Init();
  void SetDownloadListener(DownloadListener* listener) { listener_ = listener; }
  // Set while the error page shows (and before the first navigation): the
  // next home operation passes through "about:blank".
  int GetReload() const { return error_shown_; }
  void OnClick(DuiLib::TNotifyUI& msg);
  void Search(const char16_t* text);
  void GoHomePage();

  DuiLib::CWebBrowserUI* Browser() const { return browser_; }
  const std::u16string& CurrentUrl() const { return current_url_; }

  // Browser events.
  void NavigateError(DuiLib::CWebBrowserUI* browser, const DuiLib::CDuiString& url, int status, bool& cancel) override;
  void NavigateComplete2(DuiLib::CWebBrowserUI* browser, const DuiLib::CDuiString& url) override;
  void NewWindow3(DuiLib::CWebBrowserUI* browser, bool& cancel, const DuiLib::CDuiString& url) override;
  void CommandStateChange(long command, bool enable) override;
  DuiLib::HRESULT GetHostInfo(DuiLib::TBrowserHostInfo* info) override;

 private:
  struct AppLink {
    std::u16string info_id, app_name, icon_url, package_name;
  };
  AppLink ParseDownloadLink(const std::u16string& url);
  std::u16string GetElementAttribute(const std::u16string& id, const char16_t* attribute);
  void EnableHistoryButtons();

  int back_enabled_ = 0;
  int forward_enabled_ = 0;
  int error_shown_ = 1;
  int type_ = 0;
  std::u16string current_url_;
  DuiLib::CPaintManagerUI* pm_;
  DuiLib::CWebBrowserUI* browser_ = nullptr;
  DownloadListener* listener_ = nullptr;
  DuiLib::CTabLayoutUI* pages_ = nullptr;
};
