#include "ui/pages/setting_dlg.h"

#include <memory>

#include "app/config/config_mgr.h"
#include "foundation/base/log.h"
#include "ui/frame/frame_backend.h"
#include "ui/pages/folder_opener.h"
#include "ui/pages/market_links.h"
#include "ui/small_windows/browser_opener.h"

using namespace DuiLib;

namespace {

constexpr DWORD kWsPopup = 0x80000000;
constexpr DWORD kWsExToolWindow = 0x80;
constexpr char16_t kHelpPage[] = u"/thread-88869-1-1.html";

bool Is(const CDuiString& a, const char16_t* b) { return a.CompareNoCase(b) == 0; }

void CountAction(int id) { FrameBackend()->ReportUserAction(id); }

template <typename T>
T* Find(CPaintManagerUI& pm, const char16_t* name, const char16_t* iface) {
  CControlUI* c = pm.FindControl(name);
  if (!c) {
    PD_LOG_WARNING("settings: control %s missing", CDuiString(name).ToUtf8().c_str());
    return nullptr;
  }
  return static_cast<T*>(c->GetInterface(iface));
}

}  // namespace

UINT CSettingDlg::ShowSettings(HWND owner) {
  auto dlg = std::make_unique<CSettingDlg>();
  if (!dlg->Create(owner, u"SettingWnd", kWsPopup, kWsExToolWindow)) return IDCANCEL;
  dlg->CenterWindow();
  return dlg->ShowModal();
}

CSettingDlg::CSettingDlg() { InitWinParam(u"wnd_xml\\setting_wnd.xml"); }

void CSettingDlg::InitAfterCreate() {
  tabset_ = Find<CTabLayoutUI>(m_PaintManager, u"tabset", u"TabLayout");
  floder_edit_ = Find<CControlUI>(m_PaintManager, u"floder_edit", u"Edit");
  ok_ = Find<CControlUI>(m_PaintManager, u"ok", u"Button");
  auto_install_app_ = Find<CCheckBoxUI>(m_PaintManager, u"auto_install_app", u"CheckBox");
  btn_hidetotask_ = Find<COptionUI>(m_PaintManager, u"btn_hidetotask", u"Option");
  btn_closeapp_ = Find<COptionUI>(m_PaintManager, u"btn_closeapp", u"Option");
  locations_[0] = Find<COptionUI>(m_PaintManager, u"btn_location_apk", u"Option");
  locations_[1] = Find<COptionUI>(m_PaintManager, u"btn_location_inner", u"Option");
  locations_[2] = Find<COptionUI>(m_PaintManager, u"btn_location_extern", u"Option");
  if (ok_) ok_->SetEnabled(false);
}

COptionUI* CSettingDlg::LocationOption(int32_t location) const {
  return location >= 0 && location < 3 ? locations_[location] : nullptr;
}

COptionUI* CSettingDlg::CloseOption(int32_t close_type) const {
  return close_type == 0 ? btn_hidetotask_ : close_type == 1 ? btn_closeapp_ : nullptr;
}

void CSettingDlg::WindowInitNotify(TNotifyUI&) {
  CConfigMgr* config = CConfigMgr::Instance();
  if (floder_edit_) floder_edit_->SetText(config->GetDownloadPath().c_str());
  if (auto_install_app_) auto_install_app_->SetCheck(config->GetAutoInstallFlag(), false);
  if (COptionUI* close = CloseOption(config->GetCloseType())) close->Selected(true, false);
  install_location_ = config->GetInstallLocation();
  if (COptionUI* location = LocationOption(install_location_)) location->Selected(true, false);
}

void CSettingDlg::EnableOk() {
  if (ok_) ok_->SetEnabled(true);
}

void CSettingDlg::ClickNotify(TNotifyUI& msg) {
  if (!msg.pSender) return;
  const CDuiString name = msg.pSender->GetName();
  if (Is(name, u"closebtn")) {
    CountAction(72);
    Close(IDCANCEL);
  } else if (Is(name, u"browse")) {
    CountAction(75);
    BrowseFolder();
  } else if (Is(name, u"open")) {
    CountAction(74);
    OpenFolder();
  } else if (Is(name, u"reset_setting")) {
    CountAction(76);
    ResetToDefaults();
    EnableOk();
  } else if (Is(name, u"auto_install_app")) {
    EnableOk();
  } else if (Is(name, u"ok")) {
    CountAction(71);
    Apply();
    Close(IDOK);
  }
}

void CSettingDlg::SelectChangedNotify(TNotifyUI& msg) {
  if (!msg.pSender) return;
  const CDuiString name = msg.pSender->GetName();
  CConfigMgr* config = CConfigMgr::Instance();
  if (Is(name, u"downset_optn") || Is(name, u"appset_optn")) {
    if (tabset_) tabset_->SelectItem(Is(name, u"downset_optn") ? 0 : 1);
    return;
  }
  static const char16_t* const kLocations[] = {u"btn_location_apk", u"btn_location_inner", u"btn_location_extern"};
  for (int i = 0; i < 3; ++i) {
    if (!Is(name, kLocations[i])) continue;
    install_location_ = i;
    COptionUI* configured = LocationOption(config->GetInstallLocation());
    if (!configured || !configured->IsSelected()) EnableOk();
    return;
  }
  if (Is(name, u"btn_hidetotask") || Is(name, u"btn_closeapp")) {
    COptionUI* configured = CloseOption(config->GetCloseType());
    if (!configured || !configured->IsSelected()) EnableOk();
  }
}

void CSettingDlg::LinkNotify(TNotifyUI& msg) {
  if (!msg.pSender) return;
  const CDuiString name = msg.pSender->GetName();
  if (Is(name, u"resetflodertext")) {
    CountAction(73);
    if (floder_edit_) floder_edit_->SetText(CConfigMgr::Instance()->GetDefaultDownloadPath().c_str());
    EnableOk();
  } else if (Is(name, u"text_location_help")) {
    CountAction(77);
    OpenUrlInBrowser(market::MarketHost() + kHelpPage);
  }
}

void CSettingDlg::BrowseFolder() {
  CDuiString folder = floder_edit_ ? floder_edit_->GetText() : CDuiString();
  if (BrowseForFolder(m_hWnd, u"请选择下载目录：", &folder) && floder_edit_) floder_edit_->SetText(folder);
  EnableOk();
}

void CSettingDlg::OpenFolder() {
  CDuiString folder = floder_edit_ ? floder_edit_->GetText() : CDuiString();
  OpenFolderOrTell(m_hWnd, folder);
}

void CSettingDlg::Apply() {
  CConfigMgr* config = CConfigMgr::Instance();
  if (floder_edit_) config->SetDownloadPath(floder_edit_->GetText().str());
  if (auto_install_app_) config->SetAutoInstallFlag(auto_install_app_->GetCheck());
  config->SetCloseType(btn_hidetotask_ && btn_hidetotask_->IsSelected() ? 0 : 1);
  config->SetInstallLocation(install_location_);
  if (reset_) config->ResetSettings();
}

void CSettingDlg::ResetToDefaults() {
  if (floder_edit_) floder_edit_->SetText(CConfigMgr::Instance()->GetDefaultDownloadPath().c_str());
  if (auto_install_app_) auto_install_app_->SetCheck(true, false);
  reset_ = true;
  if (btn_hidetotask_) btn_hidetotask_->Selected(true, false);
  install_location_ = 0;
  if (locations_[0]) locations_[0]->Selected(true, false);
}
