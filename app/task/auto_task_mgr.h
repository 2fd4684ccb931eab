// CAutoTaskMgr: turns a request to download an app into a task that the
// download thread downloads through the download engine and, once complete,
// installs on the connected phone, or keeps as a downloaded app (offline
// list and the task list file downlist.dat) until a phone is there.
//
// It owns the online and offline containers, posts every change to the main
// window (PostPhoneMessage: 1248, 1254-1261) and is the market page's
// DownloadListener, the app manager's InstallListener and the task
// windows' IAutoTaskMgr.
//
// Threading: every command may be called on any thread. The only locks are
// the containers' own; multi-step operations work on copies. downlist.dat
// is rewritten whole by each operation (temporary name and rename).
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "app/data/app_task.h"
#include "app/task/auto_task_view.h"
#include "app/task/download_listener.h"
#include "app/task/task_data.h"

class CPhone;

// What the manager needs of the phone side; the program's defaults go to the
// connection manager and its CPhone. Tests give their own.
struct TaskPhoneSide {
  std::function<bool()> is_connected;
  // The connected phone or null.
  std::function<std::shared_ptr<CPhone>()> get_phone;
  // Fetches `url` into `file` (the icon); true on success.
  std::function<bool(const std::u16string& url, const std::u16string& file)> fetch_file;
};

class CAutoTaskMgr : public IAutoTaskMgr, public DownloadListener, public InstallListener {
 public:
  static CAutoTaskMgr* Instance();  // made on first use
  static CAutoTaskMgr* Get();       // or null
  static void Release();

  CAutoTaskMgr();
  ~CAutoTaskMgr() override;

  void SetPhoneSide(TaskPhoneSide side);

  // Binds the download thread's progress callback, loads and starts the
  // download engine from the program folder, reads downlist.dat.
  void Init();

  // DownloadListener: StartDownload(url, app_name, icon_url, none, package).
  bool OnDownloadRequest(const std::u16string& url, const std::u16string& app_name, const std::u16string& icon_url,
                         const std::u16string& package_name) override;
  // Null texts are "not given"; false when refused.
  bool StartDownload(const char16_t* url, const char16_t* app_name, const char16_t* icon_url,
                     const char16_t* icon_path, const char16_t* package_name);

  // InstallListener.
  void OnInstallResult(const std::u16string& apk_path, int32_t result) override;

  // IAutoTaskMgr.
  std::unique_ptr<SOnlineTask> FindOnlineTask(uint32_t id) override;
  std::unique_ptr<SOfflineTask> FindOfflineTask(uint32_t id) override;
  void GetOfflineTasks(std::map<uint32_t, std::unique_ptr<SOfflineTask>>& tasks) override;
  int GetOnlineTaskCount() override;
  int GetOfflineTaskCount() override;
  int GetDoingTaskCount() override;
  void PauseTask(uint32_t id) override;
  void ContinueTask(uint32_t id) override;
  void RetryTask(uint32_t id) override;
  void DeleteOnlineTask(uint32_t id) override;
  void DeleteOfflineTask(uint32_t id) override;
  void InstallOfflineTask(uint32_t id) override;

  uint32_t FindOnlineTaskByKey(uint32_t key);
  // Offline records carry no package key (downlist.dat has none): 0.
  uint32_t FindOfflineTaskByKey(uint32_t key);
  int GetOnlineTaskState(uint32_t key);
  bool IsExistOnTask(uint32_t id);
  bool IsExistOffTask(uint32_t id);
  bool HasPackageKey(uint32_t key);

  void AutoInstallOfflineApp();
  bool InstallApkFile(const std::u16string& apk_path);
  void CancelWaitingInstalls();

  // The download thread's report (engine status 1-7 and 10).
  void OnDownloadProgress(uint32_t id, int32_t status, uint64_t total, uint64_t downloaded, int32_t speed);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};
