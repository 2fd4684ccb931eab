#include "ui/pages/sms_dlg.h"

#include <memory>
#include <vector>

#include "app/config/config_mgr.h"
#include "app/core/message_ids.h"
#include "app/data/phone.h"
#include "ui/frame/frame_backend.h"
#include "ui/message_box/message_wnd.h"
#include "ui/pages/page_phone.h"
#include "ui/pages/sms_lists.h"

using namespace DuiLib;

namespace {

constexpr int kPageEmpty = 0;
constexpr int kPageLists = 1;
constexpr int kAskOkCancel = 0x21;  // OK and cancel, question icon
constexpr int kSmsReminder = 1;


}  // namespace

std::u16string SmsDeleteQuestion(int count) {
  if (count <= 0) return std::u16string();
  if (count == 1) return u"您确定删除该短信会话吗？";
  CDuiString text;
  text.Format(u"您确定删除这%d条短信会话吗？", count);
  return text.str();
}

void CSmsDlg::Init() {
  list_ = dynamic_cast<CSmsList*>(pm_->FindControl(u"smslist"));
  details_ = dynamic_cast<CSmsDetaiList*>(pm_->FindControl(u"smsdetailist"));
  page_tab_ = FindAs<CTabLayoutUI>(pm_, u"tab_sms_page", u"TabLayout");
  select_all_ = FindAs<CCheckBoxUI>(pm_, u"selallsms_chk", u"CheckBox");
  delete_btn_ = pm_->FindControl(u"delsms_btn");
  load_tab_ = FindAs<CTabLayoutUI>(pm_, u"tab_sms_load", u"TabLayout");
  refresh_btn_ = pm_->FindControl(u"refreshsms_btn");
  loading_ = FindAs<CAnimationUI>(pm_, u"sms_loading", u"Animation");
  if (list_) list_->SetCheckBoxName(u"sms_checkbox");
  if (delete_btn_) delete_btn_->SetEnabled(false);
}

void CSmsDlg::CountAction(int id) { FrameBackend()->ReportUserAction(id); }

void CSmsDlg::Load() {
  if (std::shared_ptr<CPhone> phone = PagePhone()) phone->LoadSmsList();
}

void CSmsDlg::OnClick(TNotifyUI& msg) {
  if (!msg.pSender || !PagePhone()) return;
  const CDuiString name = msg.pSender->GetName();
  if (SameName(name, u"sms_del_msg")) {
    DeleteMessage(msg.pSender);
  } else if (SameName(name, u"delsms_btn")) {
    DeleteThreads();
  } else if (SameName(name, u"refreshsms_btn")) {
    CountAction(223);
    if (std::shared_ptr<CPhone> phone = PagePhone()) phone->RefreshSmsList();
  } else if (SameName(name, u"selallsms_chk")) {
    OnSelectAll();
  } else if (SameName(name, u"sms_checkbox")) {
    OnRowCheckBox(msg.pSender);
  }
}

LRESULT CSmsDlg::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM, bool& bHandled) {
  bHandled = Owns(uMsg);
  switch (uMsg) {
    case msg::kSmsListLoaded: Fill(); break;
    case msg::kSmsThreadRemoved: OnThreadRemoved(static_cast<int32_t>(wParam)); break;
    case msg::kSmsMessageRemoved: OnMessageRemoved(static_cast<int32_t>(wParam)); break;
    case msg::kSmsContactListsLoaded:
      if (std::shared_ptr<CPhone> phone = PagePhone()) phone->SyncSmsContact();
      break;
    case msg::kSmsContactsJoined: OnNamesJoined(); break;
    case msg::kSmsBusy: OnBusy(wParam != 0); break;
    default: break;
  }
  return 0;
}

void CSmsDlg::ShowListPage() {
  if (page_tab_ && list_) page_tab_->SelectItem(list_->TotalCount() > 0 ? kPageLists : kPageEmpty);
}

void CSmsDlg::Fill() {
  std::shared_ptr<CPhone> phone = PagePhone();
  if (!phone || !list_ || !details_ || !page_tab_ || !select_all_) return;
  EmptyLists();
  // A slice of rows at a time; each row takes its conversation as the
  // manager has it when the row is added (names joined meanwhile included).
  auto ids = std::make_shared<std::vector<int32_t>>(phone->GetSmsThreadIds());
  CSmsList* list = list_;
  list_->FillInSlices(static_cast<int>(ids->size()), [list, ids](int i) {
    std::shared_ptr<CPhone> phone = PagePhone();
    if (!phone) return;
    if (std::optional<SmsThreadRecord> thread = phone->FindSmsThread((*ids)[static_cast<size_t>(i)]))
      list->AddThread(*thread);
  });
  if (delete_btn_) delete_btn_->SetEnabled(false);
  select_all_->SetEnabled(list_->TotalCount() > 0);
  ShowListPage();
}

void CSmsDlg::ShowThread(int32_t thread_id) {
  std::shared_ptr<CPhone> phone = PagePhone();
  if (!phone || !details_) return;
  std::optional<SmsThreadRecord> thread = phone->FindSmsThread(thread_id);
  if (!thread) return;
  if (thread->last_read != 1) {
    phone->MarkSmsRead(thread->thread_id, thread->last_message_id);
    if (std::optional<SmsThreadRecord> marked = phone->FindSmsThread(thread_id)) thread = marked;
    if (list_) list_->UpdateThread(*thread);
  }
  details_->RemoveAll();
  for (const SmsRecord& message : thread->messages) details_->AddMessage(message);
  details_->SetUserData(DecimalText(thread_id).c_str());
  details_->Relayout();
  if (details_->GetCount() > 0) details_->SelectItem(details_->GetCount() - 1);
}

void CSmsDlg::RefillThreadRow(int32_t thread_id) {
  std::shared_ptr<CPhone> phone = PagePhone();
  if (!phone || !list_) return;
  if (std::optional<SmsThreadRecord> thread = phone->FindSmsThread(thread_id)) list_->UpdateThread(*thread);
}

void CSmsDlg::OnRowCheckBox(CControlUI* sender) {
  if (!list_ || !details_) return;
  auto* box = static_cast<CCheckBoxUI*>(sender->GetInterface(u"CheckBox"));
  if (!box) return;
  list_->OnCheckBoxClicked(box);
  if (box->GetCheck()) {
    ShowThread(IdOf(box));
  } else if (CControlUI* row = list_->FirstSelectedRow()) {
    ShowThread(IdOf(row));
  }
  const int checked = list_->CheckedCount();
  if (select_all_) select_all_->SetCheck(checked == list_->TotalCount() && checked > 0, false);
  if (delete_btn_) delete_btn_->SetEnabled(checked > 0);
  if (checked == 0) EmptyDetails();
}

void CSmsDlg::OnSelectAll() {
  CountAction(221);
  if (!list_ || !select_all_) return;
  const bool checked = select_all_->GetCheck();
  list_->CheckAll(checked);
  if (delete_btn_) delete_btn_->SetEnabled(checked && list_->TotalCount() > 0);
}

void CSmsDlg::DeleteThreads() {
  CountAction(222);
  if (!list_) return;
  std::vector<long long> ids;
  list_->GetCheckedIds(ids);
  if (ids.empty()) return;
  const std::u16string question = SmsDeleteQuestion(static_cast<int>(ids.size()));
  if (CConfigMgr::Instance()->GetSmsTips() &&
      ShowMessageBox(pm_->GetPaintWindow(), question.c_str(), nullptr, kAskOkCancel, 0, kSmsReminder) != 1)
    return;
  for (long long id : ids) {
    std::shared_ptr<CPhone> phone = PagePhone();
    if (!phone) return;
    phone->DeleteSmsThread(static_cast<int32_t>(id));
  }
}

void CSmsDlg::DeleteMessage(CControlUI* button) {
  CountAction(224);
  std::shared_ptr<CPhone> phone = PagePhone();
  if (!phone || !details_) return;
  phone->DeleteSms(details_->ShownThread(), IdOf(button));
}

void CSmsDlg::OnThreadRemoved(int32_t thread_id) {
  if (!list_ || !details_) return;
  list_->RemoveRowByUserData(DecimalText(thread_id).c_str());
  if (list_->TotalCount() == 0 && select_all_) {
    select_all_->SetCheck(false, false);
    select_all_->SetEnabled(false);
  }
  const int checked = list_->CheckedCount();
  if (delete_btn_) delete_btn_->SetEnabled(checked > 0);
  if (checked == 0 || details_->ShownThread() == thread_id) EmptyDetails();
  ShowListPage();
}

void CSmsDlg::OnMessageRemoved(int32_t message_id) {
  if (!details_) return;
  details_->RemoveRowByUserData(DecimalText(message_id).c_str());
  RefillThreadRow(details_->ShownThread());
}

void CSmsDlg::OnNamesJoined() {
  std::shared_ptr<CPhone> phone = PagePhone();
  if (!phone || !list_ || !details_) return;
  // The rows there; those still to come take their conversations as renamed.
  for (int i = 0; i < list_->GetCount(); ++i) {
    CControlUI* row = list_->GetItemAt(i);
    if (std::optional<SmsThreadRecord> thread = phone->FindSmsThread(IdOf(row))) list_->FillRow(row, *thread);
  }
  if (const int32_t shown = details_->ShownThread()) ShowThread(shown);
}

void CSmsDlg::OnBusy(bool busy) {
  if (busy) {
    EmptyLists();
    if (refresh_btn_) refresh_btn_->SetEnabled(false);
    // The loading look lives on the lists' page.
    if (page_tab_) page_tab_->SelectItem(kPageLists);
    if (load_tab_) load_tab_->SelectItem(1);
    if (loading_) loading_->StartAnimation(100);
  } else {
    if (select_all_) select_all_->SetEnabled(true);
    if (refresh_btn_) refresh_btn_->SetEnabled(true);
    if (load_tab_) load_tab_->SelectItem(0);
    if (loading_) loading_->StopAnimation();
    ShowListPage();
  }
}

void CSmsDlg::EmptyLists() {
  if (list_) list_->RemoveAll();
  EmptyDetails();
  if (select_all_) {
    select_all_->SetCheck(false, false);
    select_all_->SetEnabled(false);
  }
}

void CSmsDlg::EmptyDetails() {
  if (!details_) return;
  details_->RemoveAll();
  details_->SetUserData(u"");
}

void CSmsDlg::Clear() {
  EmptyLists();
  if (delete_btn_) delete_btn_->SetEnabled(false);
  if (page_tab_) page_tab_->SelectItem(kPageEmpty);
}
