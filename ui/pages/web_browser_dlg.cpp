#include "ui/pages/web_browser_dlg.h"

#include "app/web/stat_report.h"
#include "foundation/base/code_page.h"
#include "foundation/base/log.h"
#include "foundation/base/log_inout.h"
#include "ui/pages/market_links.h"

using namespace DuiLib;

namespace {

constexpr int kBrowserPage = 0;
constexpr int kErrorPage = 1;
constexpr long kCommandForward = 1;
constexpr long kCommandBack = 2;

bool Is(const CDuiString& a, const char16_t* b) { return a.CompareNoCase(b) == 0; }

}  // namespace

void CWebBrowserDlg::Init() {
  CControlUI* pages = pm_->FindControl(u"tab_ie_pages");
  pages_ = pages ? static_cast<CTabLayoutUI*>(pages->GetInterface(u"TabLayout")) : nullptr;
  const char16_t* name = market::BrowserControlName(type_);
  CControlUI* control = name ? pm_->FindControl(name) : nullptr;
  browser_ = control ? static_cast<CWebBrowserUI*>(control->GetInterface(u"WebBrowser")) : nullptr;
  if (!browser_) return;
  // The browser emulation setting of the original host has no counterpart
  // here: the page engine is WebKitGTK.
  browser_->SetWebBrowserEventHandler(this);
  browser_->SetAutoNavigation(false);
  browser_->SetHomePage(market::HomePageUrl(type_).c_str());
}

void CWebBrowserDlg::OnClick(TNotifyUI& msg) {
  if (!msg.pSender || !browser_) return;
  const CDuiString name = msg.pSender->GetName();
  if (Is(name, u"ie_back_btn")) {
    browser_->GoBack();
  } else if (Is(name, u"ie_forward_btn")) {
    browser_->GoForward();
  } else if (Is(name, u"ie_refesh_btn")) {
    if (error_shown_) GoHomePage();
    else browser_->Refresh();
  } else if (Is(name, u"ie_index_btn")) {
    GoHomePage();
  }
}

void CWebBrowserDlg::GoHomePage() {
  if (!browser_) return;
  if (error_shown_) browser_->Navigate2(u"about:blank");
  browser_->GoHome();
}

void CWebBrowserDlg::Search(const char16_t* text) {
  if (!text || !browser_) return;
  const std::u16string url = market::SearchUrl(type_, text);
  if (url.empty()) return;
  browser_->Navigate2(url.c_str());
}

void CWebBrowserDlg::CommandStateChange(long command, bool enable) {
  if (command == kCommandBack) back_enabled_ = enable ? 1 : 0;
  else if (command == kCommandForward) forward_enabled_ = enable ? 1 : 0;
  EnableHistoryButtons();
}

void CWebBrowserDlg::EnableHistoryButtons() {
  if (CControlUI* back = pm_->FindControl(u"ie_back_btn")) back->SetEnabled(back_enabled_ != 0);
  if (CControlUI* forward = pm_->FindControl(u"ie_forward_btn")) forward->SetEnabled(forward_enabled_ != 0);
}

void CWebBrowserDlg::NavigateError(CWebBrowserUI*, const CDuiString&, int, bool& cancel) {
  if (pages_) pages_->SelectItem(kErrorPage);
  error_shown_ = 1;
  cancel = true;
}

void CWebBrowserDlg::NavigateComplete2(CWebBrowserUI*, const CDuiString& url) {
  if (pages_) pages_->SelectItem(kBrowserPage);
  error_shown_ = 0;
  current_url_ = url.str();
  PD_LOG_TRACE("NavigateComplete2 %s", url.ToUtf8().c_str());
}

HRESULT CWebBrowserDlg::GetHostInfo(TBrowserHostInfo* info) {
  if (!info) return E_INVALIDARG;
  info->cbSize = sizeof(TBrowserHostInfo);
  info->dwFlags = 0x40007;  // dialog, no help menu, no 3-D border, themed
  info->dwDoubleClick = 0;
  return S_OK;
}

void CWebBrowserDlg::NewWindow3(CWebBrowserUI*, bool& cancel, const CDuiString& address) {
  CLogInOut trace("CWebBrowserDlg::NewWindow3");
  cancel = true;  // the market never opens a browser window
  const std::u16string url = address.str();
  if (!market::IsDownloadLink(url)) return;
  if (!market::IsAcceptableLink(url)) {
    PD_LOG_WARNING("NewWindow3: download link refused (%d characters)", static_cast<int>(url.size()));
    return;
  }
  const AppLink app = ParseDownloadLink(url);
  const std::u16string source = market::LinkSource(url);
  ReportApkStat(kStatDownload, kStatStart, WStringToAnsi(app.app_name).c_str(), WStringToAnsi(app.package_name).c_str(),
                WStringToAnsi(app.info_id).c_str(), WStringToAnsi(source).c_str());
  if (listener_) listener_->OnDownloadRequest(url, app.app_name, app.icon_url, app.package_name);
}

CWebBrowserDlg::AppLink CWebBrowserDlg::ParseDownloadLink(const std::u16string& url) {
  AppLink app;
  app.info_id = u"info_" + market::LinkId(url);
  app.app_name = market::SafeAppName(GetElementAttribute(app.info_id, u"name"));
  app.icon_url = market::SafeIconUrl(GetElementAttribute(app.info_id, u"ico"));
  app.package_name = market::SafePackageName(GetElementAttribute(app.info_id, u"package"));
  return app;
}

std::u16string CWebBrowserDlg::GetElementAttribute(const std::u16string& id, const char16_t* attribute) {
  CDuiString value;
  bool element_found = false;
  if (!browser_ || !browser_->GetElementAttribute(id.c_str(), attribute, &value, &element_found)) {
    if (element_found) {
      PD_LOG_ERROR("getAttribute %s failed", WStringToAnsi(attribute).c_str());
    } else {
      PD_LOG_ERROR("getElementById %s failed", WStringToAnsi(id).c_str());
    }
    return std::u16string();
  }
  return value.str();
}
