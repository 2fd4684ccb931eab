// What the app manager needs of the download task manager (CAutoTaskMgr):
// find a task by the app's key, retry or install it, delete it, start a
// download. The task manager installs its own table with
// SetDownloadTaskHooks when it starts; until then there are no tasks and a
// download cannot start (StartAppDownload answers false).
//
// StartAppDownload refuses an empty address itself, whatever is installed:
// a task without an address could never run.
//
// Threading: the table is set on the main thread before a phone connects;
// the calls come from the window thread and the app manager's workers.
#pragma once

#include <cstdint>
#include <string>

struct DownloadTaskHooks {
  uint32_t (*find_online_task_by_key)(uint32_t key) = nullptr;   // task id or 0
  uint32_t (*find_offline_task_by_key)(uint32_t key) = nullptr;  // task id or 0
  void (*retry_task)(uint32_t task_id) = nullptr;
  void (*install_offline_task)(uint32_t task_id) = nullptr;
  void (*delete_online_task)(uint32_t task_id) = nullptr;
  bool (*start_download)(const std::u16string& url, const std::u16string& app_name, const std::u16string& icon_path,
                         const std::u16string& package) = nullptr;
};

// Installs the table; a default table removes it.
void SetDownloadTaskHooks(const DownloadTaskHooks& hooks);

uint32_t FindOnlineTaskByKey(uint32_t key);
uint32_t FindOfflineTaskByKey(uint32_t key);
void RetryDownloadTask(uint32_t task_id);
void InstallOfflineTask(uint32_t task_id);
void DeleteOnlineTask(uint32_t task_id);
bool StartAppDownload(const std::u16string& url, const std::u16string& app_name, const std::u16string& icon_path,
                      const std::u16string& package);
