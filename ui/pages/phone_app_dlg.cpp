#include "ui/pages/phone_app_dlg.h"

#include <memory>
#include <string>
#include <vector>

#include "app/config/config_mgr.h"
#include "app/core/message_ids.h"
#include "foundation/base/log.h"
#include "ui/frame/frame_backend.h"
#include "ui/message_box/message_wnd.h"
#include "ui/pages/phone_page_texts.h"
#include "ui/pages/phone_pages_side.h"
#include "ui/task_windows/ignore_update_dlg.h"

using namespace DuiLib;

namespace {

constexpr int kFewApps = 6;           // below this many rows the hint shows
constexpr int kQuestionOkCancel = 33;  // OK and cancel, question icon
constexpr int kMaxNamesAsked = 3;

bool Is(const CDuiString& a, const char16_t* b) { return a.CompareNoCase(b) == 0; }

void CountAction(int id) { FrameBackend()->ReportUserAction(id); }

template <typename T>
T* Find(CPaintManagerUI* pm, const char16_t* name, const char16_t* iface) {
  CControlUI* c = pm ? pm->FindControl(name) : nullptr;
  if (!c) {
    PD_LOG_WARNING("apps page: control %s missing", CDuiString(name).ToUtf8().c_str());
    return nullptr;
  }
  return static_cast<T*>(c->GetInterface(iface));
}

void Enable(CControlUI* c, bool on) {
  if (c) c->SetEnabled(on);
}

std::optional<uint32_t> KeyOf(CControlUI* c) {
  return c ? phone_pages::ParseAppKey(c->GetUserData().str()) : std::nullopt;
}

}  // namespace

void CPhoneAppDlg::Init() {
  CPageController::Init();
  list_ = dynamic_cast<CMyAppList*>(pm_->FindControl(u"myapplist"));
  if (!list_) PD_LOG_WARNING("apps page: control myapplist missing");
  ignored_update_btn_ = Find<CControlUI>(pm_, u"ignored_update_btn", u"Button");
  unistallapp_btn_ = Find<CControlUI>(pm_, u"unistallapp_btn", u"Button");
  app_toless_tips_ = Find<CControlUI>(pm_, u"app_toless_tips", u"VerticalLayout");
  refreshapp_btn_ = Find<CControlUI>(pm_, u"refreshapp_btn", u"Button");
  addapp_btn_ = Find<CControlUI>(pm_, u"addapp_btn", u"Button");
  app_chk_ = Find<CCheckBoxUI>(pm_, u"app_chk", u"CheckBox");
  tab_app_load_ = Find<CTabLayoutUI>(pm_, u"tab_app_load", u"TabLayout");
  app_loading_ = Find<CSequenceUI>(pm_, u"app_loading", u"Sequence");
  app_onekeyupdate_ = Find<CControlUI>(pm_, u"app_onekeyupdate", u"Button");
  app_update_num_ = Find<CLabelUI>(pm_, u"app_update_num", u"Label");
  if (list_) list_->SetCheckBoxName(u"app_checkbox");
  UpdateIgnoredCount();
}

void CPhoneAppDlg::Show() {
  CPageController::Show();
  LoadList();
}

void CPhoneAppDlg::LoadList() { PhonePagesSide()->LoadAppList(); }

void CPhoneAppDlg::Clear() {
  CPageController::Clear();
  if (list_) list_->RemoveAll();
  if (app_update_num_) app_update_num_->SetVisible(false);
}

LRESULT CPhoneAppDlg::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled) {
  CPageController::HandleMessage(uMsg, wParam, lParam, bHandled);
  if (!bHandled) return 0;
  const auto key = static_cast<uint32_t>(wParam);
  switch (uMsg) {
    case msg::kAppPage217:
      UpdateAllRows();
      break;
    case msg::kAppPage218:
      RebuildList();
      break;
    case msg::kAppIconReady:
    case msg::kAppRefreshed:
    case msg::kAppTaskDeleted:
      UpdateRow(key);
      break;
    case msg::kAppRemoved:
      RemoveRow(key, lParam);
      break;
    case msg::kAppInstalled:
    case msg::kAppPage225:
      if (list_) list_->ShowInstallFailure(key, static_cast<int>(lParam));
      break;
    case msg::kAppUpgradeQueued:
      if (list_) list_->MarkUpdating(key);
      break;
    case msg::kAppAdded:
      AddRow(key);
      break;
    case msg::kAppBusy:
      ShowBusy(wParam != 0);
      break;
    case msg::kAppUpdatableCount:
      ShowBadge(static_cast<int>(wParam));
      break;
    default:
      break;
  }
  return 0;
}

// ---------------- the rows ----------------

void CPhoneAppDlg::RebuildList() {
  IPhonePagesSide* side = PhonePagesSide();
  if (!side->IsConnected() || !list_) return;
  list_->RemoveAll();
  if (tab_app_load_) tab_app_load_->SelectItem(0);
  if (app_chk_) app_chk_->SetCheck(false, false);
  for (const AppRecord& record : side->GetAppList()) list_->AddApp(&record);
  Enable(unistallapp_btn_, false);
  UpdateListState();
  UpdateIgnoredCount();
  PD_LOG_INFO("apps page: %d rows", list_->GetCount());
}

void CPhoneAppDlg::UpdateAllRows() {
  if (!list_) return;
  for (const AppRecord& record : PhonePagesSide()->GetAppList()) list_->UpdateApp(record);
}

void CPhoneAppDlg::UpdateRow(uint32_t key) {
  std::optional<AppRecord> record = PhonePagesSide()->FindAppByKey(key);
  if (record && list_) list_->UpdateApp(*record);
}

void CPhoneAppDlg::AddRow(uint32_t key) {
  std::optional<AppRecord> record = PhonePagesSide()->FindAppByKey(key);
  if (!record || !list_) return;
  list_->AddApp(&*record);
  UpdateListState();
  PD_LOG_INFO("apps page: row added for %s", CDuiString(record->package_name.c_str()).ToUtf8().c_str());
}

void CPhoneAppDlg::RemoveRow(uint32_t key, LPARAM result) {
  if (!list_) return;
  if (result != 1) {
    // The removal failed: the row that asked for it shows its app again.
    RefreshStuckRows();
    return;
  }
  if (list_->RemoveRowByUserData(phone_pages::AppKeyText(key).c_str())) PD_LOG_INFO("apps page: row %u removed", key);
  UpdateListState();
  Enable(unistallapp_btn_, list_->CheckedCount() > 0);
  PhonePagesSide()->PruneIgnoreList();
  UpdateIgnoredCount();
}

void CPhoneAppDlg::RefreshStuckRows() {
  const std::u16string uninstalling = phone_pages::StatusLabel(phone_pages::kRowUninstalling);
  std::vector<uint32_t> stuck;
  for (int i = 0; i < list_->GetCount(); ++i) {
    CControlUI* row = list_->GetItemAt(i);
    CControlUI* tab = CMyAppList::Sub(row, u"tab_operate");
    auto* layout = tab ? static_cast<CTabLayoutUI*>(tab->GetInterface(u"TabLayout")) : nullptr;
    CControlUI* label = CMyAppList::Sub(row, u"lbl_appstatus");
    if (!layout || layout->GetCurSel() != CMyAppList::kOperationStatus || !label ||
        label->GetText().str() != uninstalling)
      continue;
    const uint32_t key = CMyAppList::RowKey(row);
    if (list_->GetAppStatus(key) != phone_pages::kRowUninstalling) stuck.push_back(key);
  }
  for (uint32_t key : stuck) UpdateRow(key);
}

void CPhoneAppDlg::UpdateIgnoredCount() {
  if (!ignored_update_btn_) return;
  const size_t count = CConfigMgr::Instance()->GetIgnoredPackages().size();
  ignored_update_btn_->SetText((u"已忽略升级(" + phone_pages::AppKeyText(static_cast<uint32_t>(count)) + u")").c_str());
}

void CPhoneAppDlg::UpdateListState() {
  const int rows = list_ ? list_->GetCount() : 0;
  if (app_chk_) {
    app_chk_->SetEnabled(rows > 0);
    if (rows == 0) app_chk_->SetCheck(false, false);
  }
  if (app_toless_tips_) app_toless_tips_->SetVisible(rows < kFewApps);
}

// ---------------- busy view and badge ----------------

void CPhoneAppDlg::ShowBusy(bool busy) {
  if (busy) {
    if (app_loading_) app_loading_->StartAnimation(100);
    Enable(refreshapp_btn_, false);
    Enable(addapp_btn_, false);
    Enable(unistallapp_btn_, false);
    Enable(app_onekeyupdate_, false);
    if (app_chk_) {
      app_chk_->SetEnabled(false);
      app_chk_->SetCheck(false, false);
    }
    if (tab_app_load_) tab_app_load_->SelectItem(1);
  } else {
    Enable(app_chk_, true);
    Enable(addapp_btn_, true);
    Enable(refreshapp_btn_, true);
    if (app_loading_) app_loading_->StopAnimation();
    if (tab_app_load_) tab_app_load_->SelectItem(0);
  }
}

void CPhoneAppDlg::ShowBadge(int count) {
  if (!app_update_num_) return;
  const int text_width = pm_ ? pm_->MeasureText(phone_pages::AppKeyText(count > 0 ? count : 0), 1).cx : 0;
  const phone_pages::Badge badge = phone_pages::UpdateBadge(count, text_width);
  if (!badge.visible) {
    app_update_num_->SetVisible(false);
    Enable(app_onekeyupdate_, false);
    return;
  }
  app_update_num_->SetText(badge.text.c_str());
  app_update_num_->SetFixedWidth(badge.width);
  Enable(app_onekeyupdate_, true);
  app_update_num_->SetVisible(true);
}

// ---------------- clicks ----------------

void CPhoneAppDlg::OnClick(TNotifyUI& msg) {
  if (!msg.pSender) return;
  const CDuiString name = msg.pSender->GetName();
  IPhonePagesSide* side = PhonePagesSide();
  if (Is(name, u"app_update")) {
    CountAction(145);
    if (auto key = KeyOf(msg.pSender); key && side->IsConnected()) side->UpgradeApp(*key);
  } else if (Is(name, u"app_uinstall")) {
    CountAction(146);
    UninstallOne(msg.pSender);
  } else if (Is(name, u"ignore")) {
    CountAction(147);
    if (auto key = KeyOf(msg.pSender); key && side->IsConnected()) {
      side->IgnoreAppUpdate(*key);
      UpdateRow(*key);
      UpdateIgnoredCount();
    }
  } else if (Is(name, u"ignored_update_btn")) {
    CountAction(144);
    ShowIgnoredUpdates();
  } else if (Is(name, u"addapp_btn")) {
    CountAction(141);
    InstallApkFiles();
  } else if (Is(name, u"refreshapp_btn")) {
    CountAction(143);
    side->RefreshAppList();
  } else if (Is(name, u"unistallapp_btn")) {
    CountAction(142);
    UninstallChecked();
  } else if (Is(name, u"btn_failed_knowed")) {
    CountAction(148);
    if (list_) list_->ResetRowOperation(msg.pSender);
  } else if (Is(name, u"btn_failed_retry")) {
    CountAction(149);
    RetryInstall(msg.pSender);
  } else if (Is(name, u"app_chk")) {
    const bool checked = app_chk_ && app_chk_->GetCheck();
    if (list_) list_->CheckAll(checked);
    Enable(unistallapp_btn_, checked);
  } else if (Is(name, u"app_checkbox")) {
    OnRowCheckBox(msg.pSender);
  } else if (Is(name, u"app_onekeyupdate")) {
    UpdateAll();
  }
}

void CPhoneAppDlg::OnRowCheckBox(CControlUI* box) {
  if (!list_) return;
  list_->OnCheckBoxClicked(box);
  const int checked = list_->CheckedCount();
  if (app_chk_) app_chk_->SetCheck(checked > 0 && checked == list_->GetCount(), false);
  Enable(unistallapp_btn_, checked > 0);
}

void CPhoneAppDlg::UninstallChecked() {
  IPhonePagesSide* side = PhonePagesSide();
  if (!side->IsConnected() || !list_) return;
  std::vector<CControlUI*> rows;
  list_->GetCheckedRows(rows);
  std::vector<std::u16string> names;
  for (CControlUI* row : rows) {
    if (names.size() >= kMaxNamesAsked) break;
    if (std::optional<AppRecord> record = side->FindAppByKey(CMyAppList::RowKey(row))) names.push_back(record->app_name);
  }
  const std::u16string question = phone_pages::UninstallQuestion(names, static_cast<int>(rows.size()));
  if (rows.empty() || question.empty()) return;
  if (ShowMessageBox(pm_->GetPaintWindow(), question.c_str(), nullptr, kQuestionOkCancel, 0, 0) != 1) return;
  for (CControlUI* row : rows) {
    list_->SetRowStatus(row, phone_pages::kRowUninstalling);
    side->UninstallApp(CMyAppList::RowKey(row));
  }
  Enable(unistallapp_btn_, list_->CheckedCount() > 0);
}

void CPhoneAppDlg::UninstallOne(CControlUI* sender) {
  IPhonePagesSide* side = PhonePagesSide();
  auto* row = reinterpret_cast<CControlUI*>(sender->GetTag());
  if (!list_ || !row || list_->GetItemIndex(row) < 0 || !side->IsConnected()) return;
  list_->SetRowStatus(row, phone_pages::kRowUninstalling);
  side->UninstallApp(CMyAppList::RowKey(row));
  Enable(unistallapp_btn_, list_->CheckedCount() > 0);
}

void CPhoneAppDlg::InstallApkFiles() {
  TFileChooser request;
  request.sTitle = u"选择apk文件";
  request.sFilterName = u"Android 安装包(*.apk)";
  request.sPattern = u"*.apk";
  request.bMultiSelect = true;
  std::vector<CDuiString> paths;
  if (!GetOpenFileNames(pm_->GetPaintWindow(), request, &paths) || paths.empty()) {
    PD_LOG_ERROR("GetOpenFileName Failed!");
    return;
  }
  // The chooser answers full paths, one per chosen file.
  for (const CDuiString& path : paths)
    if (!path.IsEmpty()) PhonePagesSide()->InstallApkFile(path.str());
}

void CPhoneAppDlg::UpdateAll() {
  IPhonePagesSide* side = PhonePagesSide();
  if (!side->IsConnected() || !list_) return;
  for (int i = 0; i < list_->GetCount(); ++i) {
    const uint32_t key = CMyAppList::RowKey(list_->GetItemAt(i));
    if (key == 0) continue;
    std::optional<AppRecord> record = side->FindAppByKey(key);
    if (record && record->has_update) side->UpgradeApp(key);
  }
}

void CPhoneAppDlg::ShowIgnoredUpdates() {
  auto dlg = std::make_unique<CIgnoreUpdateDlg>([]() -> IIgnoredAppsPhone* {
    IPhonePagesSide* side = PhonePagesSide();
    return side->IsConnected() ? side : nullptr;
  });
  if (ShowIgnoreUpdateDlg(dlg.get(), pm_->GetPaintWindow()) == 1) {
    for (uint32_t key : dlg->RemovedKeys()) {
      std::optional<AppRecord> record = PhonePagesSide()->FindAppByKey(key);
      if (!record) break;
      if (list_) list_->UpdateApp(*record);
    }
    UpdateIgnoredCount();
  }
}

void CPhoneAppDlg::RetryInstall(CControlUI* sender) {
  std::optional<uint32_t> key = KeyOf(sender);
  if (!key || !list_) return;
  IPhonePagesSide* side = PhonePagesSide();
  if (uint32_t id = side->FindOnlineTaskByKey(*key)) side->RetryTask(id);
  list_->MarkUpdating(*key);
}
