// CContactList: the list of contacts on the contacts page, one row per
// contact ("wnd_xml\contactlist_item.xml": check box "contact_checkbox",
// picture "contact_logo", "contact_name", "phone_number"). A row's user data
// is the contact id in decimal, its text the contact's index letter.
//
// While the list scrolls, a floating label shows the index letter of the
// top visible row; it hides one second after the last scroll (the list's
// timer 100).
//
// Names and numbers are shown as plain text: nothing from the phone is read
// as markup.
//
// Threading: UI thread only.
#pragma once

#include <string>
#include <vector>

#include "app/data/contact_record.h"
#include "ui/controls/list_ui_ex.h"

// Every phone number of the contact joined with ", ".
std::u16string JoinPhoneNumbers(const ContactRecord& contact);
// The first row that crosses the list's top edge: its top above top + 1 and
// its bottom - 1 below top; -1 when none does.
int FirstRowAtTop(const std::vector<DuiLib::RECT>& rows, long top);

class CContactList : public CListUIEx {
 public:
  static constexpr DuiLib::UINT kLetterTimer = 100;
  static constexpr DuiLib::UINT kLetterElapse = 1000;

  DuiLib::LPCTSTR GetClass() const override { return u"ContactListUI"; }

  // Appends (position < 0) or inserts the row; false when it could not be added.
  bool AddContact(const ContactRecord& contact, int position);
  // Fills the contact's row again; false when it has none.
  bool UpdateContact(const ContactRecord& contact);
  void SetLetterLabel(DuiLib::CControlUI* label) { letter_ = label; }
  // The list scrolled: show the top row's letter for a second.
  void DoScroll();

  void DoEvent(DuiLib::TEventUI& event) override;

 private:
  void Fill(DuiLib::CControlUI* row, const ContactRecord& contact);

  DuiLib::CControlUI* letter_ = nullptr;
  DuiLib::CDialogBuilder builder_;
  bool parsed_ = false;
};
