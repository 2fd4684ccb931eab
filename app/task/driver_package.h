// PNPDriverPackage: one download of the download thread: its task id (the
// CRC-32 of the URL's UTF-16LE bytes, also the id of the task record), the
// target apk file and the engine task (HashFileDownloader) that fetches it.
// Deleting a package leaves the engine's task alone.
//
// Threading: made on any thread, then used only on the download thread.
#pragma once

#include <cstdint>
#include <string>

#include "app/task/p2sp_client.h"

class PNPDriverPackage {
 public:
  explicit PNPDriverPackage(const std::u16string& url);

  uint32_t GetTaskId() const { return task_id_; }
  // HashFileDownloader::StartDownload(file path, 3); logs the status on failure.
  bool StartDownLoad();
  void Stop() { downloader_.Stop(); }
  void GetProgress(int32_t* status, uint64_t* downloaded, uint64_t* total, int32_t* speed);
  const std::u16string& GetUrl() const { return url_; }
  std::u16string GetFileName() { return downloader_.GetFileName(); }
  // Why the engine's task failed (kEngineFailFile, ...); 0 when unknown.
  int GetErrorCode() { return downloader_.GetErrorCode(); }
  // Lets the engine forget the task (its part files stay on disk).
  bool DeleteEngineTask() { return downloader_.DelTask(); }
  void SetFilePath(const std::u16string& path) { file_path_ = path; }
  const std::u16string& GetFilePath() const { return file_path_; }

 private:
  uint32_t task_id_;
  std::u16string url_;
  std::u16string file_path_;
  HashFileDownloader downloader_;
};
