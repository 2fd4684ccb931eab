#include "ui/pages/contact_dlg.h"

#include <algorithm>

#include "app/config/config_mgr.h"
#include "app/core/message_ids.h"
#include "app/data/phone.h"
#include "app/data/sms_record.h"
#include "ui/frame/frame_backend.h"
#include "ui/menu/popup_menus.h"
#include "ui/message_box/message_wnd.h"
#include "ui/pages/contact_fields.h"
#include "ui/pages/contact_list.h"
#include "ui/pages/page_phone.h"
#include "ui/pages/search_menu.h"
#include "ui/task_windows/message_box_dlg.h"

using namespace DuiLib;

namespace {

constexpr const char16_t* kGroupNames[kFieldGroupCount] = {u"电话", u"邮箱", u"聊天工具", u"地址"};
constexpr const char16_t* kSaveEditQuestion = u"是否保存当前编辑内容？";
constexpr const char16_t* kSwitchQuestion = u"要切换至编辑所选联系人吗？系统会复制您到目前为止输入的所有信息。";
constexpr size_t kNamesInQuestion = 3;
constexpr int kFewContacts = 4;
constexpr size_t kSearchRows = 10;

char16_t Upper(char16_t c) { return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - u'a' + u'A') : c; }

std::u16string UpperAscii(std::u16string s) {
  for (char16_t& c : s) c = Upper(c);
  return s;
}

bool Stripped(char16_t c) { return c == u' ' || c == u'-'; }

// Whether `number` without its spaces and "-" holds `part` (which has none).
bool HoldsStripped(const std::u16string& number, const std::u16string& part) {
  for (size_t start = 0; start < number.size(); ++start) {
    if (Stripped(number[start])) continue;
    size_t matched = 0;
    for (size_t i = start; i < number.size() && matched < part.size(); ++i) {
      if (Stripped(number[i])) continue;
      if (number[i] != part[matched]) break;
      ++matched;
    }
    if (matched == part.size()) return true;
  }
  return part.empty();
}

std::u16string Join(const std::vector<std::u16string>& names) {
  std::u16string joined;
  for (const std::u16string& name : names) {
    if (!joined.empty()) joined += u", ";
    joined += name;
  }
  return joined;
}

// What the delete worker needs: the box it reports to and the ids.
struct DeleteJob {
  CMessageBoxDlg* box = nullptr;
  std::vector<int32_t> ids;
};

void DeleteContacts(const std::vector<int32_t>& ids, const BatchJobControl& control) {
  const int total = static_cast<int>(ids.size());
  for (int i = 0; i < total; ++i) {
    if (control.Stopped()) return;
    {
      // One reference per item: a phone that went away is not used again,
      // and the box ends with what was done.
      std::shared_ptr<CPhone> phone = PagePhone();
      if (!phone) {
        DuiLib::PostMessage(control.Window(), msg::kBatchFinished, static_cast<WPARAM>(i), 0);
        return;
      }
      phone->DeleteContact(ids[static_cast<size_t>(i)]);
    }
    DuiLib::PostMessage(control.Window(), msg::kBatchProgress, static_cast<WPARAM>(total), i + 1);
  }
}

void StartDeleteWorker(void* data) {
  auto* job = static_cast<DeleteJob*>(data);
  std::vector<int32_t> ids = job->ids;
  job->box->StartWorker([ids](const BatchJobControl& control) { DeleteContacts(ids, control); });
}

}  // namespace

std::u16string ContactDeleteQuestion(const std::vector<std::u16string>& names, int ticked) {
  if (names.empty() || ticked <= 0) return std::u16string();
  CDuiString text;
  const std::u16string joined = Join(names);
  if (ticked < kFewContacts) text.Format(u"您确定删除联系人\"%s\"吗？", joined.c_str());
  else text.Format(u"您确定删除\"%s\"等%d个联系人吗？", joined.c_str(), ticked);
  return text.str();
}

ContactSearch::ContactSearch(const std::u16string& text) : upper_(UpperAscii(text)), digits_(StripPhoneNumber(text)) {}

bool ContactSearch::Matches(const ContactRecord& contact) const {
  if (upper_.empty()) return false;
  const auto same_letter = [](char16_t a, char16_t b) { return Upper(a) == b; };
  if (std::search(contact.name.begin(), contact.name.end(), upper_.begin(), upper_.end(), same_letter) !=
      contact.name.end())
    return true;
  if (contact.initials.compare(0, upper_.size(), upper_) == 0) return true;
  if (digits_.empty()) return false;
  for (const ContactFieldEntry& phone : contact.phones)
    if (HoldsStripped(phone.value, digits_)) return true;
  return false;
}

bool ContactMatchesSearch(const ContactRecord& contact, const std::u16string& text) {
  return ContactSearch(text).Matches(contact);
}

CContactDlg::CContactDlg(CPaintManagerUI* pm) : pm_(pm), search_menu_(std::make_unique<CContactSearchMenu>()) {}

CContactDlg::~CContactDlg() = default;

HWND CContactDlg::MainWindow() const { return pm_ ? pm_->GetPaintWindow() : 0; }

void CContactDlg::CountAction(int id) { FrameBackend()->ReportUserAction(id); }

void CContactDlg::Init() {
  list_ = dynamic_cast<CContactList*>(pm_->FindControl(u"contactlist"));
  tab_ = FindAs<CTabLayoutUI>(pm_, u"contact_tab", u"TabLayout");
  new_name_ = pm_->FindControl(u"new_contactname");
  edit_name_ = pm_->FindControl(u"edit_contactname");
  name_label_ = pm_->FindControl(u"contact_name");
  new_list_ = dynamic_cast<CConstomNewList*>(pm_->FindControl(u"constomlist_new"));
  edit_list_ = dynamic_cast<CConstomEditList*>(pm_->FindControl(u"constomlist_edit"));
  info_list_ = dynamic_cast<CConstomInfoList*>(pm_->FindControl(u"constomlist_info"));
  new_cbx_ = FindAs<CComboUI>(pm_, u"new_constomcbx", u"Combo");
  edit_cbx_ = FindAs<CComboUI>(pm_, u"edit_constomcbx", u"Combo");
  del_btn_ = pm_->FindControl(u"delcontact_btn");
  ok_btn_ = pm_->FindControl(u"cntacok_btn");
  refresh_btn_ = pm_->FindControl(u"refreshcontact_btn");
  chk_ = FindAs<CCheckBoxUI>(pm_, u"contact_chk", u"CheckBox");
  load_tab_ = FindAs<CTabLayoutUI>(pm_, u"tab_contact_load", u"TabLayout");
  loading_ = FindAs<CAnimationUI>(pm_, u"contact_loading", u"Animation");
  search_edit_ = pm_->FindControl(u"contact_search_edit");
  if (list_) {
    list_->SetLetterLabel(pm_->FindControl(u"contact_first_letter"));
    list_->SetCheckBoxName(u"contact_checkbox");
  }
  if (MainWindow()) search_menu_->Create(MainWindow());
  if (del_btn_) del_btn_->SetEnabled(false);
  ResetNewForm();
  for (CComboUI* combo : {new_cbx_, edit_cbx_}) {
    if (!combo) continue;
    combo->RemoveAll();
    for (int group = 0; group < kFieldGroupCount; ++group) {
      auto* item = new CListLabelElementUI;
      item->SetText(kGroupNames[group]);
      item->SetUserData(DecimalText(group).c_str());
      combo->Add(item);
    }
  }
}

void CContactDlg::Show() {
  if (std::shared_ptr<CPhone> phone = PagePhone()) phone->LoadContactList();
}

int CContactDlg::CurrentView() const { return tab_ ? tab_->GetCurSel() : -1; }

void CContactDlg::SelectView(int view) {
  if (tab_) tab_->SelectItem(view);
}

void CContactDlg::ResetNewForm() {
  SelectView(kViewNew);
  if (new_name_) new_name_->SetText(u"");
  if (!new_list_) return;
  new_list_->RemoveAll();
  new_list_->AddField(kFieldPhone, 1);
  new_list_->AddField(kFieldPhone, 2);
  new_list_->AddField(kFieldEmail, 1);
  new_list_->AddField(kFieldMessenger, 5);
}

void CContactDlg::ShowContact(int32_t id) {
  std::shared_ptr<CPhone> phone = PagePhone();
  if (!phone) return;
  phone->RequestContactInfo(id);
  SelectView(kViewInfo);
  if (info_list_) info_list_->SetUserData(DecimalText(id).c_str());
}

void CContactDlg::FillDetails(const ContactRecord& contact) {
  if (!info_list_) return;
  info_list_->RemoveAll();
  if (name_label_) name_label_->SetText(contact.name.c_str());
  info_list_->SetUserData(DecimalText(contact.id).c_str());
  for (const ContactFieldEntry& e : contact.phones) info_list_->AddField(e, kFieldPhone);
  for (const ContactFieldEntry& e : contact.emails) info_list_->AddField(e, kFieldEmail);
  for (const ContactFieldEntry& e : contact.postals) info_list_->AddField(e, kFieldPostal);
  for (const ContactFieldEntry& e : contact.ims) info_list_->AddField(e, kFieldMessenger);
}

void CContactDlg::AddFields(CConstomEditList* list, const ContactRecord& contact) {
  for (const ContactFieldEntry& e : contact.phones) list->AddField(e, kFieldPhone);
  for (const ContactFieldEntry& e : contact.emails) list->AddField(e, kFieldEmail);
  for (const ContactFieldEntry& e : contact.postals) list->AddField(e, kFieldPostal);
  for (const ContactFieldEntry& e : contact.ims) list->AddField(e, kFieldMessenger);
}

void CContactDlg::FillEditForm(const ContactRecord& contact) {
  if (!edit_list_) return;
  if (edit_name_) edit_name_->SetText(contact.name.c_str());
  edit_list_->RemoveAll();
  edit_list_->SetUserData(DecimalText(contact.id).c_str());
  edit_list_->SetFixedHeight(kFieldListMinHeight);
  AddFields(edit_list_, contact);
  if (pending_) {
    AddFields(edit_list_, *pending_);
    pending_.reset();
  }
}

// ---------------- clicks ----------------

void CContactDlg::OnClick(TNotifyUI& msg) {
  if (!msg.pSender) return;
  const CDuiString name = msg.pSender->GetName();
  if (SameName(name, u"addcontact_btn")) {
    CountAction(172);
    SaveEditCheck();
    ResetNewForm();
  } else if (SameName(name, u"delcontact_btn")) {
    CountAction(173);
    Delete();
  } else if (SameName(name, u"refreshcontact_btn")) {
    CountAction(174);
    SaveEditCheck();
    if (std::shared_ptr<CPhone> phone = PagePhone()) phone->RefreshContactList();
  } else if (SameName(name, u"contactedit_btn")) {
    CountAction(178);
    std::shared_ptr<CPhone> phone = PagePhone();
    if (!phone || !info_list_) return;
    std::optional<ContactRecord> contact = phone->FindContactById(IdOf(info_list_));
    if (!contact) return;
    SelectView(kViewEdit);
    FillEditForm(*contact);
  } else if (SameName(name, u"cntacok_btn")) {
    Save();
  } else if (SameName(name, u"cntactcancle_btn")) {
    CountAction(CurrentView() == kViewNew ? 175 : 179);
    Cancel();
  } else if (SameName(name, u"delconstom_btn")) {
    CConstomFormList* list = CurrentView() == kViewNew ? static_cast<CConstomFormList*>(new_list_)
                                                       : static_cast<CConstomFormList*>(edit_list_);
    auto* row = reinterpret_cast<CControlUI*>(msg.pSender->GetTag());
    if (list && row) list->RemoveRow(list->GetItemIndex(row));
  } else if (SameName(name, u"contact_chk")) {
    CountAction(171);
    OnCheckAll();
  } else if (SameName(name, u"contact_checkbox")) {
    OnRowCheckBox(msg.pSender);
  } else if (SameName(name, u"add_constomitems")) {
    CountAction(177);
    RECT rc = msg.pSender->GetPos();
    POINT pt = MakePoint(rc.left, rc.top);
    ClientToScreen(MainWindow(), &pt);
    ShowContactMenu(MainWindow(), pt, [this](int group) { AddFieldGroup(group); });
  }
}

void CContactDlg::OnCheckAll() {
  if (!list_ || !chk_) return;
  const bool checked = chk_->GetCheck();
  list_->CheckAll(checked);
  if (del_btn_) del_btn_->SetEnabled(checked && list_->GetCount() > 0);
  if (!checked) SelectView(kViewNew);
}

void CContactDlg::OnRowCheckBox(CControlUI* sender) {
  if (!list_) return;
  auto* box = static_cast<CCheckBoxUI*>(sender->GetInterface(u"CheckBox"));
  if (!box) return;
  // The list's selection notice comes after the row's box has shown another
  // contact: an edit in progress is offered for saving first.
  SaveEditCheck();
  list_->OnCheckBoxClicked(box);
  if (box->GetCheck()) {
    ShowContact(IdOf(box));
  } else {
    std::vector<CControlUI*> rows;
    list_->GetCheckedRows(rows);
    if (!rows.empty()) ShowContact(IdOf(rows.front()));
  }
  UpdateTickState();
}

void CContactDlg::UpdateTickState() {
  if (!list_) return;
  const int ticked = list_->CheckedCount();
  if (chk_) chk_->SetCheck(ticked > 0 && ticked == list_->TotalCount(), false);
  if (del_btn_) del_btn_->SetEnabled(ticked > 0);
  if (ticked == 0) SelectView(kViewNew);
}

void CContactDlg::OnItemSelect(TNotifyUI& msg) {
  if (!msg.pSender) return;
  const CDuiString name = msg.pSender->GetName();
  if (SameName(name, u"contactlist")) {
    SaveEditCheck();
  } else if (SameName(name, u"new_constomcbx") || SameName(name, u"edit_constomcbx")) {
    auto* combo = static_cast<CComboUI*>(msg.pSender->GetInterface(u"Combo"));
    if (!combo || combo->GetCurSel() < 0) return;
    CControlUI* item = combo->GetItemAt(combo->GetCurSel());
    AddFieldGroup(item ? static_cast<int>(ParseInt(item->GetUserData())) : combo->GetCurSel());
    // Nothing stays chosen, so the same group can be added again.
    combo->SelectItem(-1);
  }
}

void CContactDlg::AddFieldGroup(int group) {
  if (group < 0 || group >= kFieldGroupCount) return;
  if (CurrentView() == kViewNew) {
    if (new_list_) new_list_->AddField(group, 1);
  } else if (edit_list_) {
    edit_list_->AddEmptyField(group, 1);
  }
}

void CContactDlg::OnScroll(TNotifyUI&) {
  if (list_) list_->DoScroll();
}

// ---------------- save, cancel, delete ----------------

void CContactDlg::Save() {
  std::shared_ptr<CPhone> phone = PagePhone();
  if (!phone) return;
  const int view = CurrentView();
  if (view == kViewInfo || view == kViewEdit) {
    CountAction(180);
    if (edit_list_) {
      ContactRecord record;
      edit_list_->BuildContact(record, false);
      // The row the user ticked, or the one the program selected (a contact just added).
      if (list_ && (list_->FirstSelectedRow() || list_->GetCurSel() >= 0)) {
        record.name = edit_name_ ? edit_name_->GetText().str() : std::u16string();
        phone->EditContact(&record);
      }
    }
  } else if (view == kViewNew) {
    CountAction(176);
    if (new_list_) {
      ContactRecord record;
      new_list_->BuildContact(record, true);
      record.name = new_name_ ? new_name_->GetText().str() : std::u16string();
      if (record.FixName()) phone->AddContact(&record);
    }
  }
  ResetNewForm();
}

void CContactDlg::Cancel() {
  const bool edit_has_id = edit_list_ && !edit_list_->GetUserData().IsEmpty();
  const bool info_has_id = info_list_ && !info_list_->GetUserData().IsEmpty();
  if (!edit_has_id || !info_has_id) ResetNewForm();
  else SelectView(kViewInfo);
}

void CContactDlg::SaveEditCheck() {
  if (CurrentView() != kViewEdit || !edit_list_) return;
  std::shared_ptr<CPhone> phone = PagePhone();
  if (!phone) return;
  ContactRecord record;
  edit_list_->BuildContact(record, false);
  record.name = edit_name_ ? edit_name_->GetText().str() : std::u16string();
  // A contact that is gone has nothing to save into.
  if (!phone->FindContactById(record.id) || phone->IsContactEditEmpty(&record)) return;
  if (ShowMessageBox(MainWindow(), kSaveEditQuestion, nullptr, 0x24, 0, 0) == 1) phone->EditContact(&record);
}

void CContactDlg::Delete() {
  std::shared_ptr<CPhone> phone = PagePhone();
  if (!phone || !list_) return;
  std::vector<long long> ticked;
  list_->GetCheckedIds(ticked);
  std::vector<std::u16string> names;
  for (long long id : ticked) {
    if (names.size() >= kNamesInQuestion) break;
    if (std::optional<ContactRecord> c = phone->FindContactById(static_cast<int32_t>(id))) names.push_back(c->name);
  }
  const std::u16string question = ContactDeleteQuestion(names, static_cast<int>(ticked.size()));
  if (question.empty()) return;
  phone.reset();
  if (CConfigMgr::Instance()->GetContactTips() && ShowMessageBox(MainWindow(), question.c_str(), nullptr, 0x21, 0, 2) != 1)
    return;
  DeleteJob job;
  for (long long id : ticked) job.ids.push_back(static_cast<int32_t>(id));
  CMessageBoxDlg box;
  job.box = &box;
  box.SetJobKind(kDeleteContacts);
  box.SetInitCallback(&job, &StartDeleteWorker);
  if (ShowMessageBoxDlg(&box, MainWindow()) == 0) return;
  box.ShowModal();
}

void CContactDlg::OnSearchItem(unsigned long contact_id) {
  if (search_menu_->IsCreated()) search_menu_->Hide();
  if (!list_ || contact_id == 0) return;
  const int index = list_->IndexOfUserData(DecimalText(static_cast<long long>(contact_id)).c_str());
  if (index < 0) return;
  if (ShowMessageBox(MainWindow(), kSwitchQuestion, nullptr, 0x21, 0, 0) != 1) return;
  pending_ = std::make_unique<ContactRecord>();
  if (new_list_) new_list_->BuildContact(*pending_, true);
  list_->CheckAll(false);
  list_->SelectItem(index, true);  // ticks the row and asks for its details
  if (info_list_) info_list_->SetUserData(u"");
  SelectView(kViewEdit);
}

// ---------------- the contact search ----------------

void CContactDlg::OnMouseDown(long x, long y) {
  if (search_menu_->IsVisible() && !search_menu_->ContainsPoint(x, y)) search_menu_->Hide();
}

void CContactDlg::OnTextChanged(TNotifyUI& msg) {
  if (!search_edit_ || msg.pSender != search_edit_) return;
  Search(search_edit_->GetText().str());
}

void CContactDlg::OnReturn(TNotifyUI& msg) {
  if (!search_edit_ || msg.pSender != search_edit_ || !search_menu_->IsVisible()) return;
  // The popup picks its highlighted row itself (and tells its owner).
  DuiLib::PostMessage(search_menu_->GetHWND(), WM_KEYDOWN, VK_RETURN, 0);
}

void CContactDlg::Search(const std::u16string& text) {
  if (!search_menu_->IsCreated()) return;
  search_menu_->Clear();
  std::shared_ptr<CPhone> phone = PagePhone();
  std::vector<ContactRecord> found;
  if (phone && !text.empty()) {
    const ContactSearch search(text);
    found = phone->FindContacts([&search](const ContactRecord& c) { return search.Matches(c); }, kSearchRows);
  }
  for (const ContactRecord& c : found) {
    std::u16string shown = c.name;
    if (!c.phones.empty()) shown += u"  " + c.phones.front().value;
    search_menu_->AddItem(DecimalText(c.id), shown);
  }
  search_menu_->EndUpdate();
  if (search_menu_->Items().empty()) {
    search_menu_->Hide();
    return;
  }
  RECT rc = search_edit_->GetPos();
  POINT pt = MakePoint(rc.left, rc.bottom);
  ClientToScreen(MainWindow(), &pt);
  search_menu_->SetWidth(static_cast<int>(rc.right - rc.left));
  search_menu_->Popup(search_edit_, pt.x, pt.y);
}

// ---------------- messages ----------------

LRESULT CContactDlg::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled) {
  bHandled = Owns(uMsg);
  switch (uMsg) {
    case msg::kContactListLoaded: OnListLoaded(); break;
    case msg::kContactDetailReady: OnDetailsReady(static_cast<int32_t>(wParam)); break;
    case msg::kContactDeleted: OnDeleted(static_cast<int32_t>(wParam)); break;
    case msg::kContactAdded: OnAdded(static_cast<int32_t>(wParam), static_cast<int>(lParam)); break;
    case msg::kContactBusy: OnBusy(wParam != 0); break;
    default: break;
  }
  return 0;
}

void CContactDlg::OnListLoaded() {
  std::shared_ptr<CPhone> phone = PagePhone();
  if (!phone || !list_) return;
  list_->RemoveAll();
  if (edit_list_) {
    edit_list_->RemoveAll();
    edit_list_->SetUserData(u"");
  }
  if (info_list_) info_list_->SetUserData(u"");
  if (chk_) chk_->SetCheck(false, false);
  std::vector<ContactRecord> contacts;
  phone->GetContactList(contacts);
  CContactList* list = list_;
  FillWithRecords(list, std::move(contacts), [list](const ContactRecord& c) { list->AddContact(c, -1); });
  if (del_btn_) del_btn_->SetEnabled(false);
  if (chk_) chk_->SetEnabled(list_->TotalCount() > 0);
  ResetNewForm();
}

void CContactDlg::OnDetailsReady(int32_t id) {
  std::shared_ptr<CPhone> phone = PagePhone();
  if (!phone) return;
  std::optional<ContactRecord> contact = phone->FindContactById(id);
  if (!contact) return;
  if (list_) list_->UpdateContact(*contact);
  const int view = CurrentView();
  if (view == kViewInfo) {
    if (info_list_ && IdOf(info_list_) == id) FillDetails(*contact);
  } else {
    FillEditForm(*contact);
  }
}

void CContactDlg::OnDeleted(int32_t id) {
  if (!list_) return;
  list_->RemoveRowByUserData(DecimalText(id).c_str());
  const int ticked = list_->CheckedCount();
  if (del_btn_) del_btn_->SetEnabled(ticked > 0);
  if (ticked == 0) ResetNewForm();
  if (list_->TotalCount() == 0 && chk_) {
    chk_->SetCheck(false, false);
    chk_->SetEnabled(false);
  }
}

void CContactDlg::OnAdded(int32_t id, int position) {
  std::shared_ptr<CPhone> phone = PagePhone();
  if (!phone || !list_) return;
  std::optional<ContactRecord> contact = phone->FindContactById(id);
  if (!contact) return;
  if (!list_->AddContact(*contact, position)) return;
  if (chk_) chk_->SetEnabled(true);
  const int index = list_->IndexOfUserData(DecimalText(id).c_str());
  list_->SelectItem(index);
  // The list only makes it current: it is drawn selected too, its box left unticked.
  if (CControlUI* row = list_->GetItemAt(index))
    if (auto* item = static_cast<IListItemUI*>(row->GetInterface(u"ListItem"))) item->Select(true, false);
  SelectView(kViewInfo);
  FillDetails(*contact);
}

void CContactDlg::OnBusy(bool busy) {
  if (refresh_btn_) refresh_btn_->SetEnabled(!busy);
  if (chk_) {
    if (busy) chk_->SetCheck(false, false);
    chk_->SetEnabled(!busy);
  }
  if (load_tab_) load_tab_->SelectItem(busy ? 1 : 0);
  if (loading_) {
    if (busy) loading_->StartAnimation(100);
    else loading_->StopAnimation();
  }
}

void CContactDlg::Clear() {
  if (search_menu_->IsCreated()) search_menu_->Hide();
  pending_.reset();
  if (list_) list_->RemoveAll();
  if (edit_list_) {
    edit_list_->RemoveAll();
    edit_list_->SetUserData(u"");
  }
  if (info_list_) {
    info_list_->RemoveAll();
    info_list_->SetUserData(u"");
  }
  if (chk_) chk_->SetCheck(false, false);
  if (del_btn_) del_btn_->SetEnabled(false);
  ResetNewForm();
}
