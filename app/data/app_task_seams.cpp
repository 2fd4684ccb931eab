#include "app/data/app_task_seams.h"

#include <mutex>

#include "foundation/base/code_page.h"
#include "foundation/base/log.h"

namespace {

std::mutex g_lock;  // guards g_hooks
DownloadTaskHooks g_hooks;

DownloadTaskHooks Hooks() {
  std::lock_guard<std::mutex> hold(g_lock);
  return g_hooks;
}

}  // namespace

void SetDownloadTaskHooks(const DownloadTaskHooks& hooks) {
  std::lock_guard<std::mutex> hold(g_lock);
  g_hooks = hooks;
}

uint32_t FindOnlineTaskByKey(uint32_t key) {
  const DownloadTaskHooks hooks = Hooks();
  return hooks.find_online_task_by_key != nullptr ? hooks.find_online_task_by_key(key) : 0;
}

uint32_t FindOfflineTaskByKey(uint32_t key) {
  const DownloadTaskHooks hooks = Hooks();
  return hooks.find_offline_task_by_key != nullptr ? hooks.find_offline_task_by_key(key) : 0;
}

void RetryDownloadTask(uint32_t task_id) {
  const DownloadTaskHooks hooks = Hooks();
  if (hooks.retry_task != nullptr) hooks.retry_task(task_id);
}

void InstallOfflineTask(uint32_t task_id) {
  const DownloadTaskHooks hooks = Hooks();
  if (hooks.install_offline_task != nullptr) hooks.install_offline_task(task_id);
}

void DeleteOnlineTask(uint32_t task_id) {
  const DownloadTaskHooks hooks = Hooks();
  if (hooks.delete_online_task != nullptr) hooks.delete_online_task(task_id);
}

bool StartAppDownload(const std::u16string& url, const std::u16string& app_name, const std::u16string& icon_path,
                      const std::u16string& package) {
  if (url.empty()) {
    PD_LOG_ERROR("StartDownload refused: no address for %s", WStringToAnsi(package).c_str());
    return false;
  }
  const DownloadTaskHooks hooks = Hooks();
  if (hooks.start_download == nullptr) {
    PD_LOG_ERROR("StartDownload failed: no download task manager");
    return false;
  }
  return hooks.start_download(url, app_name, icon_path, package);
}
