#include "app/data/contact_record.h"

#include "foundation/base/code_page.h"
#include "foundation/pinyin/pinyin.h"
#include "foundation/xml/xml_document.h"

namespace {

constexpr unsigned kGbkCodePage = 936;

bool SameFields(const ContactFieldEntry& a, const ContactFieldEntry& b, bool messenger) {
  if (a.type != b.type || a.label != b.label || a.value != b.value) return false;
  return !messenger || (a.protocol == b.protocol && a.custom_protocol == b.custom_protocol);
}

bool AnyStatus(const ContactFieldList& list) {
  for (const ContactFieldEntry& entry : list)
    if (entry.status != kEntryUnchanged) return true;
  return false;
}

bool NothingToSave(const ContactFieldList& list) {
  for (const ContactFieldEntry& entry : list)
    if (!entry.value.empty() && entry.status != kEntryDeleted) return false;
  return true;
}

// The row id and status of an entry in edit form.
void WriteMark(CXmlDocument& document, int32_t status, int32_t row_id, bool edit) {
  if (!edit) return;
  if (status != kEntryAdded) document.SetChildAttribute(u"_id", row_id);
  document.SetChildAttribute(u"status", status);
}

void WriteEntries(CXmlDocument& document, const ContactFieldList& list, const char16_t* element,
                  const char16_t* value_name, bool messenger, bool edit) {
  for (const ContactFieldEntry& entry : list) {
    if (edit ? entry.status == kEntryUnchanged : entry.value.empty()) continue;
    document.AddChildElement(element);
    document.SetChildAttribute(value_name, entry.value);
    document.SetChildAttribute(u"type", entry.type);
    document.SetChildAttribute(u"label", entry.label);
    if (messenger) {
      document.SetChildAttribute(u"protocol", entry.protocol);
      document.SetChildAttribute(u"custom_protocol", entry.custom_protocol);
    }
    WriteMark(document, entry.status, entry.row_id, edit);
  }
}

}  // namespace

ContactRecord ContactRecord::EditCopy() const {
  ContactRecord copy = *this;
  copy.stale = 1;
  copy.initial.clear();
  copy.initials.clear();
  return copy;
}

void ContactRecord::ApplyEdit(const ContactRecord& edited) {
  name = edited.name;
  MergeFieldList(phones, edited.phones, false);
  MergeFieldList(emails, edited.emails, false);
  MergeFieldList(postals, edited.postals, false);
  MergeFieldList(ims, edited.ims, true);
}

bool ContactRecord::HasChanges() const {
  return AnyStatus(phones) || AnyStatus(postals) || AnyStatus(emails) || AnyStatus(ims);
}

bool ContactRecord::FixName() {
  if (!name.empty()) return true;
  if (NothingToSave(phones) && NothingToSave(postals) && NothingToSave(emails) && NothingToSave(ims)) return false;
  name = u"未知联系人";
  return true;
}

void MergeFieldList(ContactFieldList& stored, const ContactFieldList& edited, bool messenger) {
  const size_t stored_before = stored.size();
  for (const ContactFieldEntry& entry : edited) {
    if (entry.row_id == 0) {
      ContactFieldEntry added = entry;
      added.status = kEntryAdded;
      stored.push_back(added);
      continue;
    }
    for (size_t i = 0; i < stored_before; ++i) {
      ContactFieldEntry& old = stored[i];
      if (old.row_id != entry.row_id) continue;
      if (!SameFields(old, entry, messenger)) {
        const int32_t status = old.status;
        old = entry;
        old.status = status;
        old.SetStatus(kEntryModified);
      }
      break;
    }
  }
  for (ContactFieldEntry& old : stored) {
    if (old.status == kEntryAdded) continue;  // added just now
    bool kept = false;
    for (const ContactFieldEntry& entry : edited) kept = kept || entry.row_id == old.row_id;
    if (!kept) old.SetStatus(kEntryDeleted);
  }
}

std::u16string ContactInitial(const std::u16string& name) {
  std::string gbk;
  bool lost = false;
  if (!Utf16ToCodePage(name.data(), name.size(), kGbkCodePage, &gbk, &lost)) return std::u16string();
  const std::string initial = GetPinyinInitial(gbk);
  return std::u16string(initial.begin(), initial.end());
}

std::u16string NameInitials(const std::u16string& name) {
  std::u16string initials;
  for (char16_t c : name) initials += ContactInitial(std::u16string(1, c));
  for (char16_t& c : initials)
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
  return initials;
}

bool CompareContacts(const ContactRecord* a, const ContactRecord* b) {
  if (a == nullptr || b == nullptr) return false;
  if (a->initial == b->initial) return a->name < b->name;
  return a->initial < b->initial;
}

void WriteContactXml(CXmlDocument& document, const ContactRecord& record, bool edit) {
  document.AddChildElement(u"contact");
  if (edit) document.SetChildAttribute(u"id", record.id);
  document.SetChildAttribute(u"name", record.name);
  document.IntoElement();
  for (const ContactGroupRef& group : record.groups) {
    if (edit && group.status == kEntryUnchanged) continue;  // edit form: changes only
    document.AddChildElement(u"group");
    document.SetChildAttribute(u"rawid", group.group_id);
    WriteMark(document, group.status, group.row_id, edit);
  }
  WriteEntries(document, record.phones, u"phone", u"number", false, edit);
  WriteEntries(document, record.emails, u"email", u"address", false, edit);
  WriteEntries(document, record.postals, u"postal", u"address", false, edit);
  WriteEntries(document, record.ims, u"im", u"data", true, edit);
  document.OutOfElement();
}
