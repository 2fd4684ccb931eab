// CContactMgr: the contacts of the connected phone, kept sorted by the
// pinyin initial of the name, then the name. It loads them with
// "contact_list" (summaries) and "contact_info" (details), adds, edits and
// deletes contacts, and tells the main window by posted messages
// (1232 count, 1262 loaded, 1263 details ready, 1264 deleted, 1265 added
// at a position, 1266 busy, 1271 contacts loaded for the SMS names).
//
// Pages get copies (FindContactById, CopyContactList, FindContacts); no
// pointer into the list leaves the manager.
//
// Threading: replies on socket threads, calls from the UI thread; the data
// lock guards the list and the count. "contact_del" runs on the caller's
// thread and its reply is handled before DeleteContact returns.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/data/contact_record.h"
#include "app/data/data_mgr.h"

class CContactMgr : public CDataMgr {
 public:
  CContactMgr();
  ~CContactMgr() override;

  // "contact_list" when not busy and the list is empty / whenever not busy.
  void LoadContactList();
  void RefreshContactList();
  void RequestContactCount();
  // Posts 1263 at once when the details are loaded; asks otherwise.
  void RequestContactInfo(int32_t id);
  // Synchronous: the reply is handled before it returns.
  void DeleteContact(int32_t id, ExchangeControl* control = nullptr);
  bool AddContact(const ContactRecord* record);
  // False for a null record or an id not in the list; sends only changes.
  bool EditContact(const ContactRecord* edited);
  bool IsEditEmpty(const ContactRecord* edited);

  std::optional<ContactRecord> FindContactById(int32_t id);
  // Zero-based position in the sorted list; 0 when absent.
  int32_t GetContactIndex(int32_t id);
  // Appends a copy of every record, in order.
  void CopyContactList(std::vector<ContactRecord>& out);
  // Copies of the first `limit` records, in order, that `match` accepts
  // (called under the data lock for each record until enough are found).
  std::vector<ContactRecord> FindContacts(const std::function<bool(const ContactRecord&)>& match, size_t limit);
  void ClearContacts();
  int32_t GetCount();

 protected:
  void OnReply(const std::u16string& command, const std::u16string& param, CXmlDocument& document,
               const CBufferT<unsigned char>& reply) override;

 private:
  // A copy of the stored contact with the edit applied; none when the id
  // is not in the list.
  std::optional<ContactRecord> MergedEdit(const ContactRecord& edited, bool* renamed);
  void OnContactList(CXmlDocument& document);
  void OnContactInfo(CXmlDocument& document);
  void OnContactDeleted(int32_t id);
  // Under the data lock.
  ContactRecord* Find(int32_t id);
  int32_t IndexOf(int32_t id) const;
  void Sort();
  void UpdateCount();

  std::vector<std::unique_ptr<ContactRecord>> contacts_;  // guarded by the data lock; sorted
  int32_t count_ = 0;                                     // guarded by the data lock
};
