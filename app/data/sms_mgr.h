// CSmsMgr: the text messages of the connected phone as conversations,
// newest first. It loads them ("sms_list"), counts them ("sms_count"),
// marks messages read, deletes messages and conversations, and puts the
// contacts' names in place of the numbers once per load (SyncSmsContact).
// Posts: 1233 count, 1267 loaded, 1269 conversation removed, 1270 message
// removed, 1271 loaded (the page asks for the name match), 1272 names
// matched, 1273 busy.
//
// Pages get copies (GetThreadList, FindRecordById).
//
// Threading: replies on socket threads, calls from the UI thread; the data
// lock guards the conversations, the total count and the names-synced flag,
// for every reader and writer (MarkRead and the lookups included).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "app/data/contact_record.h"
#include "app/data/data_mgr.h"
#include "app/data/sms_record.h"

class CSmsMgr : public CDataMgr {
 public:
  CSmsMgr();
  ~CSmsMgr() override;

  // When not busy and the list is empty or not complete / whenever not busy.
  void LoadSmsList();
  void RefreshSmsList();
  void RequestSmsCount();
  void DeleteThread(int32_t thread_id);
  // Nothing when no conversation has the thread id.
  void MarkRead(int32_t thread_id, int32_t message_id);
  void DeleteSms(int32_t thread_id, int32_t message_id);
  // Once per load: the conversations whose address or contact id belongs to
  // a contact take the contact's name.
  void SyncSmsContact(const std::vector<ContactRecord>& contacts);

  std::optional<SmsThreadRecord> FindRecordById(int32_t thread_id);
  std::vector<SmsThreadRecord> GetThreadList();
  // The conversations' thread ids, in the list's order (no copy of the messages).
  std::vector<int32_t> GetThreadIds();
  int32_t GetCount();

 protected:
  void OnReply(const std::u16string& command, const std::u16string& param, CXmlDocument& document,
               const CBufferT<unsigned char>& reply) override;

 private:
  // POST `sms` with the message id (and the thread id unless 0).
  void SendMessageRequest(const char16_t* command, int32_t message_id, int32_t thread_id);
  void OnSmsList(CXmlDocument& document);
  void OnSmsDeleted(int32_t message_id);
  void OnThreadDeleted(int32_t thread_id);
  // Under the data lock. Find: the first conversation with the id, through
  // the index; Reindex builds the index again after the list changed.
  SmsThreadRecord* Find(int32_t thread_id);
  void Reindex();
  void UpdateCount();

  std::vector<SmsThreadRecord> threads_;  // guarded by the data lock; newest first
  // Guarded by the data lock: thread id -> position of its first conversation in threads_.
  std::unordered_map<int32_t, size_t> index_;
  int32_t total_count_ = 0;               // guarded by the data lock
  bool names_synced_ = false;             // guarded by the data lock
};
