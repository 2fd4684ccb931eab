#include "app/data/contact_mgr.h"

#include <algorithm>
#include <cstdlib>
#include <new>

#include "app/agent/cmd_package.h"
#include "app/core/message_ids.h"
#include "app/core/phone_message.h"
#include "foundation/base/code_page.h"
#include "foundation/base/log.h"
#include "foundation/xml/xml_document.h"

namespace {

// The initial and the initials of the record's name, computed once when
// the name arrives (the list's order and the contact search use them).
void SetInitials(ContactRecord& record) {
  record.initial = ContactInitial(record.name);
  record.initials = NameInitials(record.name);
}

ContactFieldEntry ReadEntry(const CXmlDocument& document, const char16_t* value_name, bool messenger) {
  ContactFieldEntry entry;
  entry.row_id = ReadDecimal(document.GetAttribute(u"_id"));
  entry.value = document.GetAttribute(value_name);
  entry.type = ReadDecimal(document.GetAttribute(u"type"));
  entry.label = document.GetAttribute(u"label");
  if (messenger) {
    entry.protocol = ReadDecimal(document.GetAttribute(u"protocol"));
    entry.custom_protocol = document.GetAttribute(u"custom_protocol");
  }
  return entry;
}

// Reads the details of the current `contact` element into the record, one
// pass over its children (the lists are emptied first; entries unchanged).
void ReadDetails(CXmlDocument& document, ContactRecord& record) {
  record.groups.clear();
  record.phones.clear();
  record.emails.clear();
  record.ims.clear();
  record.postals.clear();
  document.IntoElement();
  while (document.FindElement()) {
    const std::u16string tag = document.GetTagName();
    if (tag == u"group") {
      ContactGroupRef group;
      group.row_id = ReadDecimal(document.GetAttribute(u"_id"));
      group.group_id = ReadDecimal(document.GetAttribute(u"id"));
      record.groups.push_back(group);
    } else if (tag == u"phone") {
      record.phones.push_back(ReadEntry(document, u"number", false));
    } else if (tag == u"email") {
      record.emails.push_back(ReadEntry(document, u"address", false));
    } else if (tag == u"im") {
      record.ims.push_back(ReadEntry(document, u"data", true));
    } else if (tag == u"postal") {
      record.postals.push_back(ReadEntry(document, u"address", false));
    }
  }
  document.OutOfElement();
}

}  // namespace

CContactMgr::CContactMgr() : CDataMgr(msg::kContactBusy) {}

CContactMgr::~CContactMgr() { ClearContacts(); }

// --- requests -----------------------------------------------------------------

void CContactMgr::LoadContactList() {
  {
    base::CSingleLock hold(&DataLock());
    if (!contacts_.empty()) return;
  }
  if (!BeginLoad()) return;
  SendGet(u"contact_list");
}

void CContactMgr::RefreshContactList() {
  if (!BeginLoad()) return;
  SendGet(u"contact_list");
}

void CContactMgr::RequestContactCount() { SendGet(u"contact_count"); }

void CContactMgr::RequestContactInfo(int32_t id) {
  {
    base::CSingleLock hold(&DataLock());
    const ContactRecord* record = Find(id);
    if (record != nullptr && record->stale == 0) {
      PostPhoneMessage(msg::kContactDetailReady, static_cast<uintptr_t>(id), 0);
      return;
    }
  }
  CXmlDocument request;
  BuildRequestXml(request, u"contact_info", u"GET");
  request.AddChildElement(u"contact");
  request.SetChildAttribute(u"id", id);
  SendRequest(u"contact_info", request, DecimalText(id), false);
}

void CContactMgr::DeleteContact(int32_t id, ExchangeControl* control) {
  CXmlDocument request;
  BuildRequestXml(request, u"contact_del", u"POST");
  request.AddChildElement(u"contact");
  request.SetChildAttribute(u"id", id);
  SendRequest(u"contact_del", request, DecimalText(id), true, control);
}

bool CContactMgr::AddContact(const ContactRecord* record) {
  if (record == nullptr) return false;
  CXmlDocument request;
  BuildRequestXml(request, u"contact_add", u"POST");
  WriteContactXml(request, *record, false);
  SendRequest(u"contact_add", request, std::u16string(), false);
  return true;
}

bool CContactMgr::EditContact(const ContactRecord* edited) {
  if (edited == nullptr) return false;
  bool renamed = false;
  std::optional<ContactRecord> copy = MergedEdit(*edited, &renamed);
  if (!copy.has_value()) return false;
  if (renamed || copy->HasChanges()) {
    CXmlDocument request;
    BuildRequestXml(request, u"contact_edit", u"POST");
    WriteContactXml(request, *copy, true);
    SendRequest(u"contact_edit", request, DecimalText(copy->id), false);
  }
  return true;
}

bool CContactMgr::IsEditEmpty(const ContactRecord* edited) {
  if (edited == nullptr) return false;
  bool renamed = false;
  std::optional<ContactRecord> copy = MergedEdit(*edited, &renamed);
  return copy.has_value() && !renamed && !copy->HasChanges();
}

std::optional<ContactRecord> CContactMgr::MergedEdit(const ContactRecord& edited, bool* renamed) {
  ContactRecord copy;
  {
    base::CSingleLock hold(&DataLock());
    const ContactRecord* stored = Find(edited.id);
    if (stored == nullptr) return std::nullopt;
    copy = stored->EditCopy();
  }
  *renamed = copy.name != edited.name;
  copy.ApplyEdit(edited);
  return copy;
}

// --- copies for the pages -------------------------------------------------------

std::optional<ContactRecord> CContactMgr::FindContactById(int32_t id) {
  base::CSingleLock hold(&DataLock());
  const ContactRecord* record = Find(id);
  if (record == nullptr) return std::nullopt;
  return *record;
}

int32_t CContactMgr::GetContactIndex(int32_t id) {
  base::CSingleLock hold(&DataLock());
  return IndexOf(id);
}

void CContactMgr::CopyContactList(std::vector<ContactRecord>& out) {
  base::CSingleLock hold(&DataLock());
  out.reserve(out.size() + contacts_.size());
  for (const auto& record : contacts_) out.push_back(*record);
}

std::vector<ContactRecord> CContactMgr::FindContacts(const std::function<bool(const ContactRecord&)>& match,
                                                     size_t limit) {
  std::vector<ContactRecord> found;
  base::CSingleLock hold(&DataLock());
  for (const auto& record : contacts_) {
    if (found.size() >= limit) break;
    if (match(*record)) found.push_back(*record);
  }
  return found;
}

void CContactMgr::ClearContacts() {
  base::CSingleLock hold(&DataLock());
  contacts_.clear();
}

int32_t CContactMgr::GetCount() {
  base::CSingleLock hold(&DataLock());
  return count_;
}

// --- replies -------------------------------------------------------------------

void CContactMgr::OnReply(const std::u16string& command, const std::u16string& param, CXmlDocument& document,
                          const CBufferT<unsigned char>&) {
  const int32_t id = ReadDecimal(param);
  if (command == u"contact_list") {
    OnContactList(document);
  } else if (command == u"contact_info") {
    OnContactInfo(document);
  } else if (command == u"contact_add") {
    if (document.FindElement(u"contact")) RequestContactInfo(ReadDecimal(document.GetAttribute(u"id")));
  } else if (command == u"contact_edit") {
    {
      base::CSingleLock hold(&DataLock());
      ContactRecord* record = Find(id);
      if (record == nullptr) return;
      record->stale = 1;
    }
    RequestContactInfo(id);
  } else if (command == u"contact_del") {
    OnContactDeleted(id);
  } else if (command == u"contact_count") {
    int32_t count = 0;
    {
      base::CSingleLock hold(&DataLock());
      if (ReadCountElement(document, count_)) PD_LOG_TRACE("contact_count: %d", count_);
      count = count_;
    }
    PostPhoneMessage(msg::kContactCount, static_cast<uintptr_t>(count), 0);
    LoadContactList();
  }
}

void CContactMgr::OnContactList(CXmlDocument& document) {
  {
    base::CSingleLock hold(&DataLock());
    contacts_.clear();
    while (document.FindElement(u"c")) {
      std::unique_ptr<ContactRecord> record(new (std::nothrow) ContactRecord());
      if (record == nullptr) {
        PD_LOG_ERROR("out of memory!\r\n");
        return;
      }
      record->id = ReadDecimal(document.GetAttribute(u"i"));
      record->name = document.GetAttribute(u"n");
      SetInitials(*record);
      document.IntoElement();
      while (document.FindElement()) {
        const std::u16string tag = document.GetTagName();
        if (tag == u"g") {
          ContactGroupRef group;
          group.group_id = ReadDecimal(document.GetAttribute(u"i"));
          record->groups.push_back(group);
        } else if (tag == u"p") {
          ContactFieldEntry phone;
          phone.value = document.GetAttribute(u"n");
          record->phones.push_back(phone);
        }
      }
      document.OutOfElement();
      contacts_.push_back(std::move(record));
    }
    UpdateCount();
    Sort();
  }
  PostPhoneMessage(msg::kContactListLoaded, 0, 0);
  PostPhoneMessage(msg::kSmsContactListsLoaded, 0, 0);
  SetBusy(false);
}

void CContactMgr::OnContactInfo(CXmlDocument& document) {
  base::CSingleLock hold(&DataLock());
  if (!document.FindElement(u"contact")) return;
  const int32_t id = ReadDecimal(document.GetAttribute(u"id"));
  const std::u16string name = document.GetAttribute(u"name");
  ContactRecord* record = Find(id);
  std::unique_ptr<ContactRecord> created;
  if (record == nullptr) {
    created.reset(new (std::nothrow) ContactRecord());
    if (created == nullptr) return;
    record = created.get();
    record->id = id;
  }
  // A renamed contact takes the initials and the place of its new name.
  const bool renamed = created == nullptr && record->name != name;
  record->name = name;
  if (created != nullptr || renamed) SetInitials(*record);
  ReadDetails(document, *record);
  record->stale = 0;
  if (created == nullptr) {
    if (renamed) Sort();
    PostPhoneMessage(msg::kContactDetailReady, static_cast<uintptr_t>(id), 0);
    return;
  }
  contacts_.push_back(std::move(created));
  Sort();
  PostPhoneMessage(msg::kContactAdded, static_cast<uintptr_t>(id), IndexOf(id));
  UpdateCount();
}

void CContactMgr::OnContactDeleted(int32_t id) {
  base::CSingleLock hold(&DataLock());
  auto it = std::find_if(contacts_.begin(), contacts_.end(), [id](const auto& r) { return r->id == id; });
  if (it != contacts_.end()) contacts_.erase(it);
  PostPhoneMessage(msg::kContactDeleted, static_cast<uintptr_t>(id), 0);
  UpdateCount();
}

// --- under the data lock -------------------------------------------------------------

ContactRecord* CContactMgr::Find(int32_t id) {
  for (const auto& record : contacts_)
    if (record->id == id) return record.get();
  return nullptr;
}

int32_t CContactMgr::IndexOf(int32_t id) const {
  for (size_t i = 0; i < contacts_.size(); ++i)
    if (contacts_[i]->id == id) return static_cast<int32_t>(i);
  return 0;
}

void CContactMgr::Sort() {
  std::stable_sort(contacts_.begin(), contacts_.end(),
                   [](const auto& a, const auto& b) { return CompareContacts(a.get(), b.get()); });
}

void CContactMgr::UpdateCount() {
  count_ = static_cast<int32_t>(contacts_.size());
  PostPhoneMessage(msg::kContactCount, static_cast<uintptr_t>(count_), 0);
}
