// CSmsDlg: the SMS page. Conversations with check boxes on the left
// (CSmsList), the messages of one conversation as bubbles on the right
// (CSmsDetaiList). Opening an unread conversation marks it read; the user
// deletes conversations (after a question while "sms_tips" is on) and
// single messages, and refreshes. The SMS manager answers with messages
// 1267 and 1269-1273; rows change only when it reports a result.
//
// Threading: UI thread only.
#pragma once

#include <cstdint>
#include <string>

#include "qenui/UIlib.h"

class CSmsList;
class CSmsDetaiList;

// The delete question for `count` checked conversations (empty for none).
std::u16string SmsDeleteQuestion(int count);

class CSmsDlg {
 public:
  explicit CSmsDlg(DuiLib::CPaintManagerUI* pm) : pm_(pm) {}
  CSmsDlg(const CSmsDlg&) = delete;
  CSmsDlg& operator=(const CSmsDlg&) = delete;

  void Init();
  void Show() { Load(); }
  void Load();
  void OnClick(DuiLib::TNotifyUI& msg);
  void OnItemSelect(DuiLib::TNotifyUI&) {}
  void Clear();
  DuiLib::LRESULT HandleMessage(DuiLib::UINT uMsg, DuiLib::WPARAM wParam, DuiLib::LPARAM lParam, bool& bHandled);
  static bool Owns(DuiLib::UINT message) { return message == 1267 || (message >= 1269 && message <= 1273); }

  // Shows a conversation's messages (marks it read first when it is not).
  void ShowThread(int32_t thread_id);

 private:
  void Fill();
  void OnThreadRemoved(int32_t thread_id);
  void OnMessageRemoved(int32_t message_id);
  void OnNamesJoined();
  void OnBusy(bool busy);
  void OnRowCheckBox(DuiLib::CControlUI* box);
  void OnSelectAll();
  void DeleteThreads();
  void DeleteMessage(DuiLib::CControlUI* button);
  void RefillThreadRow(int32_t thread_id);
  void ShowListPage();
  // Both lists empty, select-all off (EmptyLists); the messages only (EmptyDetails).
  void EmptyLists();
  void EmptyDetails();
  void CountAction(int id);

  DuiLib::CPaintManagerUI* pm_;
  CSmsList* list_ = nullptr;
  CSmsDetaiList* details_ = nullptr;
  DuiLib::CTabLayoutUI* page_tab_ = nullptr;
  DuiLib::CCheckBoxUI* select_all_ = nullptr;
  DuiLib::CControlUI* delete_btn_ = nullptr;
  DuiLib::CTabLayoutUI* load_tab_ = nullptr;
  DuiLib::CControlUI* refresh_btn_ = nullptr;
  DuiLib::CAnimationUI* loading_ = nullptr;
};
