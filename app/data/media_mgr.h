// CMediaMgr: what the music and video managers share, written once. A
// list of the phone's files of one kind ("<kind>_list", kept in the kind's
// order), its count, single entries ("<kind>_info"), deletion and
// registration ("<kind>_del", "<kind>_add"), and the moves between the PC
// and the phone over the FTP channel: an upload goes into the kind's phone
// folder and is then registered; an export downloads the file into a local
// folder through a temporary name.
//
// Posts (numbers per kind, MediaKind): busy (1 / 0), list loaded (0),
// record added by "<kind>_info" (id), record deleted (id), count (count),
// and 1240 after a delete and after an upload.
//
// Pages get copies (GetList, FindRecordById); exports work on a copy taken
// under the data lock.
//
// Threading: calls from the UI thread or a page's worker (uploads,
// exports, deletions); replies of asynchronous commands on socket threads,
// of synchronous ones on the caller's thread. The data lock guards the
// records, the count and the loaded flag.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/data/data_mgr.h"
#include "app/data/media_record.h"

struct FtpTransferContext;

// The names, numbers and texts of one kind.
struct MediaKind {
  const char16_t* list_command;   // "music_list"
  const char16_t* count_command;  // "music_count"
  const char16_t* info_command;   // "music_info"
  const char16_t* del_command;    // "music_del"
  const char16_t* add_command;    // "music_add"
  const char16_t* element;        // "music": one per file in list and info replies
  const char16_t* id_child;       // "m": the child of info and delete requests
  const char16_t* phone_folder;   // "sdcard/Tamsil/Music/": uploads go here
  uint32_t busy_message;
  uint32_t loaded_message;
  uint32_t added_message;
  uint32_t deleted_message;
  uint32_t count_message;
  const char* count_log;   // "music_count: %d"
  const char* add_log;     // "Add Music Sucess, music_id:%d "
  const char* upload_log;  // "UploadMusic Sucess, sdcard path:%s"
};

template <typename Record>
class CMediaMgr : public CDataMgr {
 public:
  ~CMediaMgr() override;

  // Nothing while busy or when the list holds records.
  void LoadList();
  // Nothing while busy.
  void RefreshList();
  void RequestCount();
  // "<kind>_del" on the calling thread; returns once its reply was handled.
  void DeleteRecord(int32_t id);
  // One "<kind>_info" for all ids, in order; nothing while busy, before
  // the first load, or for no ids.
  void RequestInfo(const std::vector<int32_t>& ids);
  // "<kind>_add" of a phone path, on the calling thread.
  void AddRecord(const std::u16string& phone_path);
  // Uploads the local file into the kind's phone folder under its own file
  // name, registers it and posts 1240; false (nothing posted) when the
  // upload failed. `context` (may be null) gets the FTP progress.
  bool Upload(const std::u16string& local_path, FtpTransferContext* context);
  // Downloads the record's file into `local_folder` under its phone file
  // name; false for an unknown id, a file name that is not a plain name, or
  // a failed transfer (nothing is left behind then).
  bool Export(const std::u16string& local_folder, int32_t id, FtpTransferContext* context);

  std::vector<Record> GetList();
  std::optional<Record> FindRecordById(int32_t id);
  int32_t GetCount();

 protected:
  explicit CMediaMgr(const MediaKind& kind);

  void OnReply(const std::u16string& command, const std::u16string& param, CXmlDocument& document,
               const CBufferT<unsigned char>& reply) override;

 private:
  void OnInfo(CXmlDocument& document);
  // Under the data lock: the count := the records, posted.
  void UpdateCount();

  const MediaKind& kind_;
  std::vector<Record> records_;  // guarded by the data lock; in the kind's order
  int32_t count_ = 0;            // guarded by the data lock
  bool loaded_ = false;          // guarded by the data lock: a list reply arrived
};
