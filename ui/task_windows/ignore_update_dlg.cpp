#include "ui/task_windows/ignore_update_dlg.h"

#include "app/config/config_mgr.h"
#include "app/task/task_records.h"
#include "ui/frame/frame_backend.h"
#include "ui/task_windows/task_lists.h"

using namespace DuiLib;

namespace {

constexpr DWORD kWsPopup = 0x80000000;
constexpr DWORD kWsExToolWindow = 0x80;

bool Is(LPCTSTR a, LPCTSTR b) { return CompareNoCase(a, b) == 0; }

CControlUI* Sub(CControlUI* row, LPCTSTR name) {
  auto* c = row ? static_cast<CContainerUI*>(row->GetInterface(u"Container")) : nullptr;
  return c ? c->FindSubControl(name) : nullptr;
}

void SetSubText(CControlUI* row, LPCTSTR name, const std::u16string& text) {
  if (CControlUI* c = Sub(row, name)) c->SetText(text.c_str());
}

}  // namespace

bool CIgnoreList::AddApp(const IgnoredApp& app) {
  CControlUI* row = BuildListRow(this, m_builder, m_bParsed, u"wnd_xml\\ignorelist_item.xml");
  if (!row) return false;
  const std::u16string key = TaskIdText(app.key);
  row->SetUserData(key.c_str());
  if (CControlUI* box = Sub(row, u"app_checkbox")) {
    box->SetUserData(key.c_str());
    box->SetTag(reinterpret_cast<UINT_PTR>(row));
  }
  if (CControlUI* logo = Sub(row, u"app_logo")) {
    if (!app.icon_path.empty()) logo->SetBkImage(app.icon_path.c_str());
    logo->SetTag(reinterpret_cast<UINT_PTR>(row));
  }
  SetSubText(row, u"app_name", app.app_name);
  SetSubText(row, u"app_size", app.size_text);
  SetSubText(row, u"update_version", u"已装：" + app.version_name);
  SetSubText(row, u"local_version", u"升级：" + app.new_version_name);
  return true;
}

CIgnoreUpdateDlg::CIgnoreUpdateDlg(std::function<IIgnoredAppsPhone*()> phone) : phone_(std::move(phone)) {
  InitWinParam(u"wnd_xml\\ignore_wnd.xml");
}

CControlUI* CIgnoreUpdateDlg::CreateControl(LPCTSTR pstrClass) {
  return Is(pstrClass, u"IgnoreList") ? new CIgnoreList : nullptr;
}

void CIgnoreUpdateDlg::InitAfterCreate() {
  list_ = dynamic_cast<CIgnoreList*>(m_PaintManager.FindControl(u"ignorelist"));
  CControlUI* all = m_PaintManager.FindControl(u"allignore_chk");
  all_ = all ? static_cast<CCheckBoxUI*>(all->GetInterface(u"CheckBox")) : nullptr;
  remove_ = m_PaintManager.FindControl(u"ignore_cancelbtn");
}

void CIgnoreUpdateDlg::WindowInitNotify(TNotifyUI&) {
  Fill();
  // An empty list gives its place to a line that says so.
  CControlUI* hint = m_PaintManager.FindControl(u"ignore_empty");
  if (list_ && hint) {
    hint->SetVisible(list_->GetCount() == 0);
    list_->SetVisible(list_->GetCount() != 0);
  }
}

void CIgnoreUpdateDlg::Fill() {
  IIgnoredAppsPhone* phone = phone_ ? phone_() : nullptr;
  if (!list_ || !all_ || !remove_ || !phone) return;
  list_->SetCheckBoxName(u"app_checkbox");
  for (const std::u16string& package : CConfigMgr::Instance()->GetIgnoredPackages()) {
    IgnoredApp app;
    if (phone->FindAppByPackage(package, &app)) list_->AddApp(app);
  }
  all_->SetEnabled(list_->GetCount() > 0);
}

void CIgnoreUpdateDlg::OnRowBoxClicked() {
  if (!list_) return;
  const int checked = list_->CheckedCount();
  if (all_) all_->SetCheck(checked == list_->GetCount() && checked > 0, false);
  if (remove_) remove_->SetEnabled(checked > 0);
}

void CIgnoreUpdateDlg::RemoveChecked() {
  removed_.clear();
  if (!list_) return;
  for (int i = 0; i < list_->GetCount(); ++i) {
    CControlUI* row = list_->GetItemAt(i);
    CCheckBoxUI* box = row ? list_->RowCheckBox(row) : nullptr;
    if (!box) return;  // a row without its box: stop here, the window stays
    if (!box->GetCheck()) continue;
    uint32_t key = 0;
    if (!ParseTaskId(row->GetUserData().str(), &key)) continue;
    if (IIgnoredAppsPhone* phone = phone_ ? phone_() : nullptr) {
      phone->UnignoreAppUpdate(key);
      removed_.push_back(key);
    }
  }
  Close(IDOK);
}

void CIgnoreUpdateDlg::ClickNotify(TNotifyUI& msg) {
  if (!msg.pSender) return;
  const CDuiString name = msg.pSender->GetName();
  if (Is(name, u"close_btn")) {
    FrameBackend()->ReportUserAction(161);
    Close(IDCANCEL);
  } else if (Is(name, u"allignore_chk")) {
    const bool checked = all_ && all_->GetCheck();
    if (list_) list_->CheckAll(checked);
    if (remove_) remove_->SetEnabled(checked);
  } else if (Is(name, u"app_checkbox")) {
    OnRowBoxClicked();
  } else if (Is(name, u"ignore_cancelbtn")) {
    FrameBackend()->ReportUserAction(162);
    RemoveChecked();
  }
}

UINT ShowIgnoreUpdateDlg(CIgnoreUpdateDlg* dlg, HWND parent) {
  if (!dlg || !dlg->Create(parent, u"IgnoreUpdateDlg", kWsPopup, kWsExToolWindow, 0, 0, 600, 400)) return IDCANCEL;
  dlg->CenterWindow();
  return dlg->ShowModal();
}
