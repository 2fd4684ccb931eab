#include "app/data/media_mgr.h"

#include <algorithm>

#include "app/agent/cmd_package.h"
#include "app/core/message_ids.h"
#include "app/core/phone_message.h"
#include "app/data/phone_transfer.h"
#include "foundation/base/code_page.h"
#include "foundation/base/log.h"
#include "foundation/xml/xml_document.h"

namespace {

// What differs between the record types.
void ReadRecord(const CXmlDocument& document, MusicRecord& record) { record = ReadMusicRecord(document); }
void ReadRecord(const CXmlDocument& document, VideoRecord& record) { record = ReadVideoRecord(document); }
bool Before(const MusicRecord& a, const MusicRecord& b) { return MusicBefore(a, b); }
bool Before(const VideoRecord& a, const VideoRecord& b) { return VideoBefore(a, b); }

template <typename Record>
void SortRecords(std::vector<Record>& records) {
  std::stable_sort(records.begin(), records.end(), [](const Record& a, const Record& b) { return Before(a, b); });
}

}  // namespace

template <typename Record>
CMediaMgr<Record>::CMediaMgr(const MediaKind& kind) : CDataMgr(kind.busy_message), kind_(kind) {}

template <typename Record>
CMediaMgr<Record>::~CMediaMgr() {
  base::CSingleLock hold(&DataLock());
  records_.clear();
}

// --- requests -------------------------------------------------------------------

template <typename Record>
void CMediaMgr<Record>::LoadList() {
  {
    base::CSingleLock hold(&DataLock());
    if (!records_.empty()) return;
  }
  if (!BeginLoad()) return;
  SendGet(kind_.list_command);
}

template <typename Record>
void CMediaMgr<Record>::RefreshList() {
  if (!BeginLoad()) return;
  SendGet(kind_.list_command);
}

template <typename Record>
void CMediaMgr<Record>::RequestCount() {
  SendGet(kind_.count_command);
}

template <typename Record>
void CMediaMgr<Record>::DeleteRecord(int32_t id) {
  CXmlDocument request;
  BuildRequestXml(request, kind_.del_command, u"GET");
  request.AddChildElement(kind_.id_child);
  request.SetChildAttribute(u"id", id);
  SendRequest(kind_.del_command, request, DecimalText(id), true);
}

template <typename Record>
void CMediaMgr<Record>::RequestInfo(const std::vector<int32_t>& ids) {
  if (IsBusy() || ids.empty()) return;
  {
    // Before the first load the load brings every file; after it, also an
    // empty list takes new files one by one.
    base::CSingleLock hold(&DataLock());
    if (!loaded_) return;
  }
  CXmlDocument request;
  BuildRequestXml(request, kind_.info_command, u"GET");
  for (int32_t id : ids) {
    request.AddChildElement(kind_.id_child);
    request.SetChildAttribute(u"id", id);
  }
  SendRequest(kind_.info_command, request, std::u16string(), false);
}

template <typename Record>
void CMediaMgr<Record>::AddRecord(const std::u16string& phone_path) {
  CXmlDocument request;
  BuildRequestXml(request, kind_.add_command, u"POST");
  request.AddChildElement(u"file");
  request.SetChildAttribute(u"file", phone_path);
  SendRequest(kind_.add_command, request, std::u16string(), true);
}

// --- transfers ------------------------------------------------------------------------

template <typename Record>
bool CMediaMgr<Record>::Upload(const std::u16string& local_path, FtpTransferContext* context) {
  const std::u16string phone_path = kind_.phone_folder + FileNameOf(local_path);
  if (!UploadToPhone(local_path, phone_path, context)) return false;
  PD_LOG_INFO(kind_.upload_log, WStringToAnsi(phone_path).c_str());
  AddRecord(phone_path);
  PostPhoneMessage(msg::kPhoneContentChanged, 0, 0);
  return true;
}

template <typename Record>
bool CMediaMgr<Record>::Export(const std::u16string& local_folder, int32_t id, FtpTransferContext* context) {
  const std::optional<Record> record = FindRecordById(id);  // a copy: a reply may rebuild the list meanwhile
  if (!record) return false;
  const std::u16string name = FileNameOf(record->file);
  if (!IsExportFileName(name)) {
    PD_LOG_ERROR("export refused: the phone file %s has no plain file name, or a hidden one",
                 WStringToAnsi(record->file).c_str());
    return false;
  }
  return DownloadFromPhone(record->file, local_folder + u"/" + name, context, false);
}

// --- copies for the pages ------------------------------------------------------------

template <typename Record>
std::vector<Record> CMediaMgr<Record>::GetList() {
  base::CSingleLock hold(&DataLock());
  return records_;
}

template <typename Record>
std::optional<Record> CMediaMgr<Record>::FindRecordById(int32_t id) {
  base::CSingleLock hold(&DataLock());
  for (const Record& record : records_)
    if (record.id == id) return record;
  return std::nullopt;
}

template <typename Record>
int32_t CMediaMgr<Record>::GetCount() {
  base::CSingleLock hold(&DataLock());
  return count_;
}

// --- replies ---------------------------------------------------------------------------

template <typename Record>
void CMediaMgr<Record>::OnReply(const std::u16string& command, const std::u16string& param, CXmlDocument& document,
                                const CBufferT<unsigned char>&) {
  if (command == kind_.list_command) {
    base::CSingleLock hold(&DataLock());
    records_.clear();
    while (document.FindElement(kind_.element)) {
      records_.emplace_back();
      ReadRecord(document, records_.back());
    }
    SortRecords(records_);
    loaded_ = true;
    SetBusy(false);
    PostPhoneMessage(kind_.loaded_message, 0, 0);
    UpdateCount();
  } else if (command == kind_.del_command) {
    const int32_t id = ReadDecimal(param);
    base::CSingleLock hold(&DataLock());
    auto it = std::find_if(records_.begin(), records_.end(), [id](const Record& r) { return r.id == id; });
    if (it != records_.end()) records_.erase(it);
    PostPhoneMessage(kind_.deleted_message, static_cast<uintptr_t>(id), 0);
    UpdateCount();
    PostPhoneMessage(msg::kPhoneContentChanged, 0, 0);
  } else if (command == kind_.count_command) {
    int32_t count = 0;
    {
      base::CSingleLock hold(&DataLock());
      if (ReadCountElement(document, count_)) PD_LOG_TRACE(kind_.count_log, count_);
      count = count_;
    }
    PostPhoneMessage(kind_.count_message, static_cast<uintptr_t>(count), 0);
  } else if (command == kind_.add_command) {
    if (!document.FindElement(u"m")) return;
    const int32_t id = ReadDecimal(document.GetAttribute(u"id"));
    PD_LOG_INFO(kind_.add_log, id);
    RequestInfo({id});
  } else if (command == kind_.info_command) {
    OnInfo(document);
  }
}

// Every element of the reply (one per id asked for). A file the list
// already holds (registered again after an upload that replaced it) is
// updated in place, and the page is told to rebuild its rows.
template <typename Record>
void CMediaMgr<Record>::OnInfo(CXmlDocument& document) {
  base::CSingleLock hold(&DataLock());
  std::vector<int32_t> added;
  bool replaced = false;
  while (document.FindElement(kind_.element)) {
    Record record;
    ReadRecord(document, record);
    auto it = std::find_if(records_.begin(), records_.end(), [&](const Record& r) { return r.id == record.id; });
    if (it != records_.end()) {
      *it = std::move(record);
      replaced = true;
    } else {
      added.push_back(record.id);
      records_.push_back(std::move(record));
    }
  }
  if (added.empty() && !replaced) return;
  SortRecords(records_);
  for (int32_t id : added) PostPhoneMessage(kind_.added_message, static_cast<uintptr_t>(id), 0);
  if (replaced) PostPhoneMessage(kind_.loaded_message, 0, 0);
  UpdateCount();
}

template <typename Record>
void CMediaMgr<Record>::UpdateCount() {
  count_ = static_cast<int32_t>(records_.size());
  PostPhoneMessage(kind_.count_message, static_cast<uintptr_t>(count_), 0);
}

template class CMediaMgr<MusicRecord>;
template class CMediaMgr<VideoRecord>;
