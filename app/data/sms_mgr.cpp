#include "app/data/sms_mgr.h"

#include <algorithm>
#include <cstdlib>

#include "app/agent/cmd_package.h"
#include "app/core/message_ids.h"
#include "app/core/phone_message.h"
#include "app/data/sms_contact_match.h"
#include "foundation/base/code_page.h"
#include "foundation/base/log.h"
#include "foundation/xml/xml_document.h"

namespace {

constexpr int32_t kDraftType = 3;  // not listed

}  // namespace

CSmsMgr::CSmsMgr() : CDataMgr(msg::kSmsBusy) {}

CSmsMgr::~CSmsMgr() {
  base::CSingleLock hold(&DataLock());
  threads_.clear();
}

// --- requests -----------------------------------------------------------------

void CSmsMgr::LoadSmsList() {
  {
    base::CSingleLock hold(&DataLock());
    const bool incomplete =
        std::any_of(threads_.begin(), threads_.end(), [](const SmsThreadRecord& t) { return t.stale != 0; });
    if (!threads_.empty() && !incomplete) return;
  }
  if (!BeginLoad()) return;
  SendGet(u"sms_list");
}

void CSmsMgr::RefreshSmsList() {
  if (!BeginLoad()) return;
  SendGet(u"sms_list");
}

void CSmsMgr::RequestSmsCount() { SendGet(u"sms_count"); }

void CSmsMgr::DeleteThread(int32_t thread_id) {
  CXmlDocument request;
  BuildRequestXml(request, u"sms_del_thread", u"GET");
  request.AddChildElement(u"thread");
  request.SetChildAttribute(u"id", thread_id);
  SendRequest(u"sms_del_thread", request, DecimalText(thread_id), false);
}

void CSmsMgr::MarkRead(int32_t thread_id, int32_t message_id) {
  {
    base::CSingleLock hold(&DataLock());
    SmsThreadRecord* thread = Find(thread_id);
    if (thread == nullptr) return;
    thread->last_read = 1;
  }
  SendMessageRequest(u"sms_read", message_id, 0);
}

void CSmsMgr::DeleteSms(int32_t thread_id, int32_t message_id) { SendMessageRequest(u"sms_del", message_id, thread_id); }

void CSmsMgr::SendMessageRequest(const char16_t* command, int32_t message_id, int32_t thread_id) {
  CXmlDocument request;
  BuildRequestXml(request, command, u"POST");
  request.AddChildElement(u"sms");
  request.SetChildAttribute(u"id", message_id);
  if (thread_id != 0) request.SetChildAttribute(u"thread", thread_id);
  SendRequest(command, request, DecimalText(message_id), false);
}

void CSmsMgr::SyncSmsContact(const std::vector<ContactRecord>& contacts) {
  bool synced = false;
  {
    base::CSingleLock hold(&DataLock());
    if (names_synced_) return;
    PD_LOG_TRACE("SyncSmsContact begin");
    if (!contacts.empty()) names_synced_ = true;
    const SmsContactMatcher matcher(contacts);
    for (SmsThreadRecord& thread : threads_)
      if (const ContactRecord* contact = matcher.Match(thread)) thread.SetAddress(contact->name);
    synced = names_synced_;
  }
  if (synced) PostPhoneMessage(msg::kSmsContactsJoined, 0, 0);
  PD_LOG_TRACE("SyncSmsContact end");
}

// --- copies for the pages -------------------------------------------------------

std::optional<SmsThreadRecord> CSmsMgr::FindRecordById(int32_t thread_id) {
  base::CSingleLock hold(&DataLock());
  const SmsThreadRecord* thread = Find(thread_id);
  if (thread == nullptr) return std::nullopt;
  return *thread;
}

std::vector<SmsThreadRecord> CSmsMgr::GetThreadList() {
  base::CSingleLock hold(&DataLock());
  return threads_;
}

std::vector<int32_t> CSmsMgr::GetThreadIds() {
  base::CSingleLock hold(&DataLock());
  std::vector<int32_t> ids;
  ids.reserve(threads_.size());
  for (const SmsThreadRecord& thread : threads_) ids.push_back(thread.thread_id);
  return ids;
}

int32_t CSmsMgr::GetCount() {
  base::CSingleLock hold(&DataLock());
  return total_count_;
}

// --- replies -------------------------------------------------------------------

void CSmsMgr::OnReply(const std::u16string& command, const std::u16string& param, CXmlDocument& document,
                      const CBufferT<unsigned char>&) {
  const int32_t id = ReadDecimal(param);
  if (command == u"sms_list") {
    OnSmsList(document);
  } else if (command == u"sms_del") {
    OnSmsDeleted(id);
  } else if (command == u"sms_del_thread") {
    OnThreadDeleted(id);
  } else if (command == u"sms_count") {
    int32_t count = 0;
    {
      base::CSingleLock hold(&DataLock());
      if (ReadCountElement(document, total_count_)) PD_LOG_TRACE("sms_count: %d", total_count_);
      count = total_count_;
    }
    PostPhoneMessage(msg::kSmsCount, static_cast<uintptr_t>(count), 0);
  } else if (command == u"sms_read") {
    PD_LOG_TRACE("read sms: %d ok!", id);
  }
}

void CSmsMgr::OnSmsList(CXmlDocument& document) {
  {
    base::CSingleLock hold(&DataLock());
    threads_.clear();
    index_.clear();
    while (document.FindElement(u"sms")) {
      const int32_t thread_id = ReadDecimal(document.GetAttribute(u"thread"));
      const int32_t contact_id = ReadDecimal(document.GetAttribute(u"contact"));
      const int32_t type = ReadDecimal(document.GetAttribute(u"type"));
      if (type == kDraftType) continue;
      SmsThreadRecord* thread = Find(thread_id);
      if (thread == nullptr) {
        index_.emplace(thread_id, threads_.size());
        threads_.emplace_back();
        thread = &threads_.back();
      }
      thread->thread_id = thread_id;
      if (thread->contact_id == 0) thread->contact_id = contact_id;
      SmsRecord message;
      message.id = ReadDecimal(document.GetAttribute(u"id"));
      message.address = document.GetAttribute(u"addr");
      message.contact_id = contact_id;
      message.date = ReadDecimal64(document.GetAttribute(u"date")) / 1000;
      message.read = ReadDecimal(document.GetAttribute(u"read"));
      message.type = type;
      message.body = NormaliseSmsBody(document.GetAttribute(u"body"));
      message.error_code = document.GetAttribute(u"errcode");
      thread->messages.push_back(std::move(message));
      thread->stale = 0;
    }
    for (SmsThreadRecord& thread : threads_) thread.Summarise();
    std::stable_sort(threads_.begin(), threads_.end(), CompareThreadsByDate);
    Reindex();
    names_synced_ = false;
  }
  SetBusy(false);
  PostPhoneMessage(msg::kSmsListLoaded, 0, 0);
  PostPhoneMessage(msg::kSmsContactListsLoaded, 0, 0);
  base::CSingleLock hold(&DataLock());
  UpdateCount();
}

void CSmsMgr::OnSmsDeleted(int32_t message_id) {
  base::CSingleLock hold(&DataLock());
  for (auto thread = threads_.begin(); thread != threads_.end(); ++thread) {
    auto& messages = thread->messages;
    auto it = std::find_if(messages.begin(), messages.end(), [&](const SmsRecord& m) { return m.id == message_id; });
    if (it == messages.end()) continue;
    messages.erase(it);
    thread->Summarise();
    if (messages.empty()) {
      const int32_t thread_id = thread->thread_id;
      threads_.erase(thread);
      Reindex();
      PostPhoneMessage(msg::kSmsThreadRemoved, static_cast<uintptr_t>(thread_id), 0);
      UpdateCount();
      return;
    }
    break;
  }
  PostPhoneMessage(msg::kSmsMessageRemoved, static_cast<uintptr_t>(message_id), 0);
  UpdateCount();
}

void CSmsMgr::OnThreadDeleted(int32_t thread_id) {
  base::CSingleLock hold(&DataLock());
  auto it = std::find_if(threads_.begin(), threads_.end(),
                         [thread_id](const SmsThreadRecord& t) { return t.thread_id == thread_id; });
  if (it != threads_.end()) {
    threads_.erase(it);
    Reindex();
  }
  PostPhoneMessage(msg::kSmsThreadRemoved, static_cast<uintptr_t>(thread_id), 0);
  UpdateCount();
}

// --- under the data lock -------------------------------------------------------------

SmsThreadRecord* CSmsMgr::Find(int32_t thread_id) {
  const auto it = index_.find(thread_id);
  return it == index_.end() ? nullptr : &threads_[it->second];
}

void CSmsMgr::Reindex() {
  index_.clear();
  index_.reserve(threads_.size());
  for (size_t i = 0; i < threads_.size(); ++i) index_.emplace(threads_[i].thread_id, i);
}

void CSmsMgr::UpdateCount() {
  total_count_ = 0;
  for (const SmsThreadRecord& thread : threads_) total_count_ += thread.message_count;
  PostPhoneMessage(msg::kSmsCount, static_cast<uintptr_t>(total_count_), 0);
}
