// One contact of the phone and its entries, the edit marks of the entries,
// the contact's request forms (add and edit), the merge of an edited
// contact into a copy of the stored one, and the contact sort order.
//
// Threading: plain values; the contact manager guards its own list.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class CXmlDocument;

enum : int32_t { kEntryUnchanged = 0, kEntryAdded = 1, kEntryModified = 2, kEntryDeleted = 3 };

// One phone, e-mail, postal or messenger entry.
struct ContactFieldEntry {
  int32_t status = kEntryUnchanged;
  int32_t row_id = 0;  // "_id"; 0 for an entry the user just created
  int32_t type = 0;
  std::u16string label;
  std::u16string value;  // "number", "address" or "data"
  int32_t protocol = 0;  // messenger entries only
  std::u16string custom_protocol;

  void Clear() { *this = ContactFieldEntry(); }
  void ClearMessenger() {
    Clear();
    type = 1;
  }
  // Deleting an entry that was added sets 0 instead: it is never sent.
  void SetStatus(int32_t new_status) {
    status = (new_status == kEntryDeleted && status == kEntryAdded) ? kEntryUnchanged : new_status;
  }
};

struct ContactGroupRef {
  int32_t status = kEntryUnchanged;
  int32_t row_id = 0;    // "_id"
  int32_t group_id = 0;  // reply "id"/"i", request "rawid"
};

using ContactFieldList = std::vector<ContactFieldEntry>;

class ContactRecord {
 public:
  // Copies are whole (the pages' copies keep the initial and the flag).
  // The copy an edit is applied to: the id, the name and the lists; the
  // initial (and the initials) empty and stale.
  ContactRecord EditCopy() const;

  uint8_t stale = 1;  // 1 until a "contact_info" reply filled the details
  int32_t id = 0;
  std::u16string name;
  std::u16string initial;
  // The pinyin initial of every character of the name (NameInitials), for
  // the contact search; set with the initial.
  std::u16string initials;
  std::vector<ContactGroupRef> groups;
  ContactFieldList postals;
  ContactFieldList phones;
  ContactFieldList emails;
  ContactFieldList ims;

  const std::u16string& GetName() const { return name; }
  ContactFieldList& GetPostalList() { return postals; }
  ContactFieldList& GetPhoneList() { return phones; }
  ContactFieldList& GetEmailList() { return emails; }
  ContactFieldList& GetImList() { return ims; }
  std::vector<ContactGroupRef>& GetGroupList() { return groups; }

  // The edited name, and the edited phone, e-mail, postal and messenger
  // lists merged into this record's lists (the groups are not merged).
  void ApplyEdit(const ContactRecord& edited);
  // Any phone, postal, e-mail or messenger entry with a status.
  bool HasChanges() const;
  // Before a save: false when there is nothing to save (no name and only
  // empty or deleted entries); an empty name becomes "未知联系人".
  bool FixName();
};

// Marks the stored entries against the edited list: new entries (row id 0)
// are appended as added, changed ones take the edited fields and become
// modified, stored entries the edit lacks become deleted (those from
// "contact_list" too, whose row id is 0; only the entries added here are
// left out of that).
void MergeFieldList(ContactFieldList& stored, const ContactFieldList& edited, bool messenger);

// The upper-case first letter of the pinyin of the name (the name is
// converted to GBK, code page 936); empty when it has none.
std::u16string ContactInitial(const std::u16string& name);
// ContactInitial of every character of the name, ASCII letters upper case
// ("ZS" for 张三).
std::u16string NameInitials(const std::u16string& name);

// Strict "less" for the stable sort: by initial, equal initials by name;
// ordinal code-unit comparisons.
bool CompareContacts(const ContactRecord* a, const ContactRecord* b);

// Writes the contact inside the request's current element (`cmd`): the add
// form leaves out `id`, `_id`, `status` and entries with an empty value; the
// edit form writes only entries with a status, `_id` unless added.
void WriteContactXml(CXmlDocument& document, const ContactRecord& record, bool edit);
