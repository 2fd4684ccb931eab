// The download-and-install task records: STaskData and its two kinds,
// SOnlineTask (waiting, downloading, paused, failed, installing) and
// SOfflineTask (downloaded, not installed yet), the task states, and the one
// text form of a task id.
//
// A task id is an unsigned 32-bit CRC-32; everywhere it is written as text
// (row user data, the task list file, log lines) it is the plain decimal
// form of that value, made by TaskIdText and read back by ParseTaskId.
//
// Threading: plain data; the containers that hold records guard them.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

// Task states (SOnlineTask::state).
enum TaskState : int32_t {
  kTaskEndedWithoutResult = 1,
  kTaskHeldNotStarted = 2,
  kTaskWaitingDownload = 3,
  kTaskDownloading = 4,
  kTaskPaused = 5,
  kTaskDownloaded = 6,
  kTaskDownloadFailed = 7,
  kTaskWaitingInstall = 8,
  kTaskReadingPackage = 9,
  kTaskInstalling = 10,
  kTaskInstalled = 11,
  kTaskInstallFailed = 12,
};

// The last report of the download engine.
struct TaskProgress {
  int32_t status = 0;
  int32_t speed = 0;             // bytes per second
  uint64_t total_size = 0;       // bytes
  uint64_t downloaded_size = 0;  // bytes
};

struct STaskData {
  virtual ~STaskData() = default;
  // A heap copy of the record, of the same class.
  virtual std::unique_ptr<STaskData> Clone() const { return std::make_unique<STaskData>(*this); }

  uint32_t task_id = 0;
  std::u16string app_name;
  std::u16string down_url;
  std::u16string file_path;
  std::u16string icon_path;
};

struct SOnlineTask : STaskData {
  std::unique_ptr<STaskData> Clone() const override { return std::make_unique<SOnlineTask>(*this); }

  int32_t state = 0;
  int32_t state_detail = 0;  // result code of the last install attempt
  TaskProgress progress;
  uint32_t package_key = 0;
  std::u16string package_name;
};

struct SOfflineTask : STaskData {
  std::unique_ptr<STaskData> Clone() const override { return std::make_unique<SOfflineTask>(*this); }
};

// Waiting, downloading, reading or installing (states 2, 3, 4, 8, 9, 10).
inline bool IsTaskDoing(const SOnlineTask* task) {
  if (!task) return false;
  switch (task->state) {
    case kTaskHeldNotStarted: case kTaskWaitingDownload: case kTaskDownloading:
    case kTaskWaitingInstall: case kTaskReadingPackage: case kTaskInstalling:
      return true;
    default:
      return false;
  }
}

// "4294967295" for 0xFFFFFFFF: the decimal form of the unsigned value.
inline std::u16string TaskIdText(uint32_t id) {
  std::u16string text;
  do {
    text.insert(text.begin(), static_cast<char16_t>(u'0' + id % 10));
    id /= 10;
  } while (id != 0);
  return text;
}

// Reads TaskIdText's form back: decimal digits only, at most 4294967295.
inline bool ParseTaskId(const std::u16string& text, uint32_t* id) {
  if (text.empty() || text.size() > 10) return false;
  uint64_t value = 0;
  for (char16_t c : text) {
    if (c < u'0' || c > u'9') return false;
    value = value * 10 + static_cast<uint64_t>(c - u'0');
  }
  if (value > UINT32_MAX) return false;
  *id = static_cast<uint32_t>(value);
  return true;
}
