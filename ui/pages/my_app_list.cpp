#include "ui/pages/my_app_list.h"

#include "ui/pages/phone_page_texts.h"
#include "ui/pages/phone_pages_side.h"
#include "ui/task_windows/task_lists.h"

using namespace DuiLib;
using phone_pages::AppKeyText;

namespace {

void SetSubText(CControlUI* row, LPCTSTR name, const std::u16string& text) {
  if (CControlUI* c = CMyAppList::Sub(row, name)) c->SetText(text.c_str());
}

void SetSubVisible(CControlUI* row, LPCTSTR name, bool visible) {
  if (CControlUI* c = CMyAppList::Sub(row, name)) c->SetVisible(visible);
}

// A button of the row that acts on the app: its key and its row.
void BindToRow(CControlUI* row, LPCTSTR name, const std::u16string& key) {
  if (CControlUI* c = CMyAppList::Sub(row, name)) {
    c->SetUserData(key.c_str());
    c->SetTag(reinterpret_cast<UINT_PTR>(row));
  }
}

}  // namespace

CControlUI* CMyAppList::Sub(CControlUI* row, LPCTSTR name) {
  auto* c = row ? static_cast<CContainerUI*>(row->GetInterface(u"Container")) : nullptr;
  return c ? c->FindSubControl(name) : nullptr;
}

uint32_t CMyAppList::RowKey(CControlUI* row) {
  if (!row) return 0;
  return phone_pages::ParseAppKey(row->GetUserData().str()).value_or(0);
}

CControlUI* CMyAppList::FindRow(uint32_t key) const { return FindRowByUserData(AppKeyText(key).c_str()); }

bool CMyAppList::AddApp(const AppRecord* record) {
  if (!record) return false;
  CControlUI* row = BuildListRow(this, m_builder, m_bParsed, u"wnd_xml\\applist_item.xml");
  if (!row) return false;
  row->SetUserData(AppKeyText(record->key).c_str());
  FillRow(row, *record);
  return true;
}

bool CMyAppList::UpdateApp(const AppRecord& record) {
  CControlUI* row = FindRow(record.key);
  if (!row) return false;
  FillRow(row, record);
  SetRowStatus(row, GetAppStatus(record.key));
  return true;
}

void CMyAppList::FillRow(CControlUI* row, const AppRecord& record) {
  if (!row) return;
  const std::u16string key = AppKeyText(record.key);
  if (CControlUI* box = Sub(row, u"app_checkbox")) {
    box->SetEnabled(true);
    box->SetUserData(key.c_str());
    box->SetTag(reinterpret_cast<UINT_PTR>(row));
  }
  if (CControlUI* logo = Sub(row, u"app_logo")) {
    if (!record.icon_path.empty()) logo->SetBkImage(record.icon_path.c_str());
    logo->SetTag(reinterpret_cast<UINT_PTR>(row));
  }
  SetSubText(row, u"app_name", record.app_name);
  SetSubText(row, u"app_size", record.size_text);
  const phone_pages::VersionTexts versions = phone_pages::RowVersionTexts(record);
  SetSubVisible(row, u"update_flag", versions.update_visible);
  SetSubVisible(row, u"update_version", versions.update_visible);
  if (versions.update_visible) SetSubText(row, u"update_version", versions.update_version);
  SetSubText(row, u"local_version", versions.local_version);
  SetSubVisible(row, u"hide_btn", !record.has_update);
  BindToRow(row, u"app_update", key);
  SetSubVisible(row, u"app_update", record.has_update);
  BindToRow(row, u"app_uinstall", key);
  BindToRow(row, u"ignore", key);
  SetSubVisible(row, u"ignore", record.has_update);
  if (CControlUI* knowed = Sub(row, u"btn_failed_knowed")) knowed->SetTag(reinterpret_cast<UINT_PTR>(row));
  if (CControlUI* retry = Sub(row, u"btn_failed_retry")) retry->SetTag(reinterpret_cast<UINT_PTR>(row));
  SelectOperationPage(row, kOperationButtons);
}

void CMyAppList::ShowInstallFailure(uint32_t key, int code) {
  std::optional<phone_pages::FailureView> view = phone_pages::InstallFailureView(code);
  CControlUI* row = FindRow(key);
  if (!view || !row) return;
  SelectOperationPage(row, kOperationFailure);
  if (CControlUI* reason = Sub(row, u"lbl_failed_reason"); reason && !view->reason.empty()) {
    reason->SetText(view->reason.c_str());
    reason->SetFixedHeight(view->reason_height);
  }
  if (CControlUI* retry = Sub(row, u"btn_failed_retry")) {
    retry->SetVisible(view->retry_visible);
    if (view->retry_visible) retry->SetUserData(AppKeyText(key).c_str());
  }
  SetSubVisible(row, u"btn_failed_knowed", !view->retry_visible);
}

void CMyAppList::MarkUpdating(uint32_t key) { SetRowStatus(FindRow(key), phone_pages::kRowUpdating); }

void CMyAppList::SetRowStatus(CControlUI* row, int status) {
  if (!row || (status != phone_pages::kRowUpdating && status != phone_pages::kRowUninstalling)) return;
  SelectOperationPage(row, kOperationStatus);
  SetSubText(row, u"lbl_appstatus", phone_pages::StatusLabel(status));
  if (CCheckBoxUI* box = RowCheckBox(row)) {
    box->SetCheck(false, false);
    box->SetEnabled(false);
  }
}

void CMyAppList::SelectOperationPage(CControlUI* row, int page) {
  CControlUI* tab = Sub(row, u"tab_operate");
  if (auto* layout = tab ? static_cast<CTabLayoutUI*>(tab->GetInterface(u"TabLayout")) : nullptr)
    layout->SelectItem(page);
}

void CMyAppList::ResetRowOperation(CControlUI* sender) {
  if (!sender) return;
  auto* row = reinterpret_cast<CControlUI*>(sender->GetTag());
  if (row && GetItemIndex(row) >= 0) SelectOperationPage(row, kOperationButtons);
}

int CMyAppList::GetAppStatus(uint32_t key) {
  IPhonePagesSide* side = PhonePagesSide();
  return phone_pages::DeriveAppStatus(side->GetOnlineTaskState(key), side->GetAppTaskState(key));
}
