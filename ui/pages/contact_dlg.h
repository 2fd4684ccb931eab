// CContactDlg: the contacts page (stub until the page is built).
#pragma once

#include "ui/pages/page_stub.h"

class CContactDlg : public CPageStub {
 public:
  explicit CContactDlg(DuiLib::CPaintManagerUI* pm) : CPageStub(pm, {{1262, 1266}}) {}
  void OnItemClick(DuiLib::TNotifyUI&) {}
  void OnItemSelect(DuiLib::TNotifyUI&) {}
  void OnScroll(DuiLib::TNotifyUI&) {}
  // A contact chosen in the contact search popup.
  void OnSearchItem(unsigned long contact_id) { searched_ = contact_id; }
  // The contact menu chose a field group for the contact being edited.
  void AddFieldGroup(int group) { groups_.push_back(group); }

  unsigned long Searched() const { return searched_; }
  const std::vector<int>& Groups() const { return groups_; }

 private:
  unsigned long searched_ = 0;
  std::vector<int> groups_;
};
