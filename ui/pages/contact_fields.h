// The field lists of the contacts page: the phone numbers, e-mail addresses,
// messenger accounts and postal addresses of one contact.
//
//   CConstomInfoList  details view: "label:" and the value, one row each
//   CConstomEditList  edit form: a type combo, the value, a delete button
//   CConstomNewList   new-contact form: the same rows, empty at first
//
// Field groups: 0 phone, 1 e-mail, 2 messenger, 3 postal address. A field's
// type is a 1-based index into its group's label table; for messengers it
// is the protocol number plus one. Type 0, or a type beyond the table, is
// the entry's own label (for messengers the custom protocol name).
//
// A form row keeps the entry it was made from. Building the contact back
// keeps that entry's type, label and protocol unless the user chose another
// item in the row's combo, so a custom label, a custom protocol or a type
// the table does not know survive an edit unchanged.
//
// Threading: UI thread only.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "app/data/contact_record.h"
#include "ui/controls/list_ui_ex.h"

enum ContactFieldGroup : int { kFieldPhone = 0, kFieldEmail = 1, kFieldMessenger = 2, kFieldPostal = 3 };
constexpr int kFieldGroupCount = 4;

constexpr int kFieldRowHeight = 35;
constexpr int kFieldListMinHeight = 10;

// The group's labels, index 0 first (empty for an unknown group).
const std::vector<std::u16string>& FieldLabels(int group);
// The table label of a type (1-based); empty outside the table.
std::u16string FieldTableLabel(int group, int type);
// The type an entry has in its group's table terms (messengers: protocol + 1).
int FieldKind(int group, const ContactFieldEntry& entry);
// The entry's own label (messengers: the custom protocol name).
const std::u16string& FieldOwnLabel(int group, const ContactFieldEntry& entry);
// What a details row shows before the value: the table label, else the own
// label, followed by ":"; empty when both are empty.
std::u16string FieldInfoName(int group, const ContactFieldEntry& entry);
// The fixed height of a form list with `rows` rows.
int FieldListHeight(int rows);

// The combo of a form row: the group's labels, plus the entry's own label
// as a last item when its type is not in the table; `selected` is the item
// the row shows first.
struct FieldChoice {
  std::vector<std::u16string> items;
  int selected = -1;
};
FieldChoice FieldChoiceOf(int group, const ContactFieldEntry* entry, int new_type);

// The entry a form row stands for. `original` is the entry the row was made
// from (null for a row the user added), `first_choice` the combo item the
// row showed first and `choice` the one it shows now. The original's type,
// label and protocol stay unless the choice changed; the row id stays when
// `keep_id`.
ContactFieldEntry FieldEntryFromRow(int group, const ContactFieldEntry* original, int first_choice, int choice,
                                    const std::u16string& value, bool keep_id);

// Appends an entry to the record's list of its group.
void AddFieldToRecord(ContactRecord& record, int group, const ContactFieldEntry& entry);

// What the edit and new-contact lists share: rows from
// "wnd_xml\constomedit_item.xml" with the combo "constomcbx", the edit
// "constom_value" (its user data: the group) and the button
// "delconstom_btn" (its tag: the row).
class CConstomFormList : public CListUIEx {
 public:
  ~CConstomFormList() override;

  // Removes a row and sets the list's height again.
  bool RemoveRow(int index);
  void RemoveAll() override;
  // The record the rows make: id = the list's user data; one entry per row
  // with a value, by group; entry ids kept unless `without_ids`.
  void BuildContact(ContactRecord& record, bool without_ids);

 protected:
  struct RowOrigin {
    bool has_entry = false;
    ContactFieldEntry entry;
    int first_choice = -1;
  };
  // Builds and fills a row; false when it could not be added.
  bool AddRow(const ContactFieldEntry* entry, int group, int new_type, const std::u16string& user_data);
  void UpdateHeight();

 private:
  DuiLib::CDialogBuilder builder_;
  bool parsed_ = false;
  std::map<const DuiLib::CControlUI*, RowOrigin> origins_;
};

class CConstomEditList : public CConstomFormList {
 public:
  DuiLib::LPCTSTR GetClass() const override { return u"ConstomEditListUI"; }
  // A row for a stored entry: its id as the row's user data.
  bool AddField(const ContactFieldEntry& entry, int group);
  // An empty row of the group (the contact menu's and combo's "add").
  bool AddEmptyField(int group, int type);
};

class CConstomNewList : public CConstomFormList {
 public:
  DuiLib::LPCTSTR GetClass() const override { return u"ConstomNewListUI"; }
  // An empty row: the group as the row's user data.
  bool AddField(int group, int type);
};

class CConstomInfoList : public CListUIEx {
 public:
  DuiLib::LPCTSTR GetClass() const override { return u"ConstomInfoListUI"; }
  // Rows from "wnd_xml\constominfo_item.xml": "constom_name" and "constom_value".
  bool AddField(const ContactFieldEntry& entry, int group);

 private:
  DuiLib::CDialogBuilder builder_;
  bool parsed_ = false;
};

// A named control inside a row (null when absent).
DuiLib::CControlUI* RowPart(DuiLib::CControlUI* row, DuiLib::LPCTSTR name);
