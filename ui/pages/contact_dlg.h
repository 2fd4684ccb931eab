// CContactDlg: the contacts page. The phone's contacts in CContactList on
// the left; on the right one contact at a time in one of three views of
// "contact_tab": 0 the new-contact form, 1 the details, 2 the edit form.
// It adds, edits and deletes contacts through the phone facade; the
// contact manager answers with messages 1262-1266.
//
// The contact search ("contact_search_edit") fills the contact search popup
// from the contact list as the user types: contacts whose name holds the
// text, whose pinyin initials start with it, or one of whose numbers holds
// it. Choosing one switches to editing it, carrying over what was typed
// into the new-contact form.
//
// Deleting runs in the batch box: its worker deletes one id after another,
// taking the phone afresh for each, and stops when the box goes or the
// phone is gone.
//
// Threading: UI thread only, except the delete worker (the phone facade
// and posts to the box).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "app/data/contact_record.h"
#include "qenui/UIlib.h"

class CContactList;
class CConstomEditList;
class CConstomFormList;
class CConstomInfoList;
class CConstomNewList;
class CContactSearchMenu;

// The delete question for the names of the first ticked contacts (at most
// three) and the ticked count; empty when there is nothing to ask about.
std::u16string ContactDeleteQuestion(const std::vector<std::u16string>& names, int ticked);
// The contact search of one text (see above): the name holds the text
// (ASCII case ignored), the contact's initials (ContactRecord::initials,
// computed when the contact was loaded) start with it, or a number holds
// it, spaces and "-" left out of both; an empty text matches nothing. A
// keystroke only compares: nothing is converted or copied per contact.
class ContactSearch {
 public:
  explicit ContactSearch(const std::u16string& text);
  bool Matches(const ContactRecord& contact) const;

 private:
  std::u16string upper_;   // the text, ASCII letters upper case
  std::u16string digits_;  // the text without spaces and "-"
};
bool ContactMatchesSearch(const ContactRecord& contact, const std::u16string& text);

class CContactDlg {
 public:
  enum View { kViewNew = 0, kViewInfo = 1, kViewEdit = 2 };

  explicit CContactDlg(DuiLib::CPaintManagerUI* pm);
  ~CContactDlg();
  CContactDlg(const CContactDlg&) = delete;
  CContactDlg& operator=(const CContactDlg&) = delete;

  void Init();
  void Show();
  void OnClick(DuiLib::TNotifyUI& msg);
  void OnItemClick(DuiLib::TNotifyUI&) {}
  void OnItemSelect(DuiLib::TNotifyUI& msg);
  void OnScroll(DuiLib::TNotifyUI& msg);
  void OnTextChanged(DuiLib::TNotifyUI& msg);
  void OnReturn(DuiLib::TNotifyUI& msg);
  // A button went down at the screen point: the search popup hides unless it is there.
  void OnMouseDown(long x, long y);
  // A contact chosen in the contact search popup.
  void OnSearchItem(unsigned long contact_id);
  // The contact menu chose a field group.
  void AddFieldGroup(int group);
  void Clear();
  DuiLib::LRESULT HandleMessage(DuiLib::UINT uMsg, DuiLib::WPARAM wParam, DuiLib::LPARAM lParam, bool& bHandled);
  static bool Owns(DuiLib::UINT message) { return message >= 1262 && message <= 1266; }

  int CurrentView() const;
  CContactSearchMenu& SearchMenu() { return *search_menu_; }

 private:
  void ResetNewForm();
  void ShowContact(int32_t id);
  void FillDetails(const ContactRecord& contact);
  void FillEditForm(const ContactRecord& contact);
  void AddFields(CConstomEditList* list, const ContactRecord& contact);
  void SelectView(int view);
  void Save();
  void Cancel();
  void SaveEditCheck();
  void Delete();
  void OnRowCheckBox(DuiLib::CControlUI* box);
  void OnCheckAll();
  void UpdateTickState();
  void OnListLoaded();
  void OnDetailsReady(int32_t id);
  void OnDeleted(int32_t id);
  void OnAdded(int32_t id, int position);
  void OnBusy(bool busy);
  void Search(const std::u16string& text);
  void CountAction(int id);
  DuiLib::HWND MainWindow() const;

  DuiLib::CPaintManagerUI* pm_;
  CContactList* list_ = nullptr;
  DuiLib::CTabLayoutUI* tab_ = nullptr;
  DuiLib::CControlUI* new_name_ = nullptr;
  DuiLib::CControlUI* edit_name_ = nullptr;
  DuiLib::CControlUI* name_label_ = nullptr;
  CConstomNewList* new_list_ = nullptr;
  CConstomEditList* edit_list_ = nullptr;
  CConstomInfoList* info_list_ = nullptr;
  DuiLib::CComboUI* new_cbx_ = nullptr;
  DuiLib::CComboUI* edit_cbx_ = nullptr;
  DuiLib::CControlUI* del_btn_ = nullptr;
  DuiLib::CControlUI* ok_btn_ = nullptr;
  DuiLib::CControlUI* refresh_btn_ = nullptr;
  DuiLib::CCheckBoxUI* chk_ = nullptr;
  DuiLib::CTabLayoutUI* load_tab_ = nullptr;
  DuiLib::CAnimationUI* loading_ = nullptr;
  DuiLib::CControlUI* search_edit_ = nullptr;
  std::unique_ptr<ContactRecord> pending_;
  std::unique_ptr<CContactSearchMenu> search_menu_;
};
