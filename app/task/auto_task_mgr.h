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
// the containers' own, `workers_lock_` over the list of worker threads and
// the start gate's; multi-step operations work on copies. downlist.dat is
// rewritten whole by each operation (temporary name and rename).
//
// Files: downlist.dat lists only downloads (a user's own apk never enters
// it), and the manager deletes only the files it downloaded into its
// download folder (task_files.h): a task's apk, and the engine's part files
// of a deleted download or of one that failed for want of disk space.
//
// The program starts the manager with Start: Init runs on a worker (the
// engine's start asks the driver search service and may wait for its
// time-outs), so no caller ever waits for it. What is asked before Init has
// ended (a download, an apk install, the automatic install of the
// downloaded apps) is kept in order and carried out at its end; then the
// main window learns that the manager has started (kTaskMgrStarted).
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/adb/adbcmd_tool.h"
#include "app/data/app_task.h"
#include "app/task/auto_task_view.h"
#include "app/task/download_listener.h"
#include "app/task/download_thread.h"
#include "app/task/start_gate.h"
#include "app/task/task_data.h"

// What the manager needs of the phone side and the tools. The program's
// defaults (ProgramPhoneSide) go to the current CPhone, the FTP tool's plain
// download and the adb tool's apk reading; tests give their own.
struct TaskPhoneSide {
  // A phone to install on is there (the one test for every path).
  std::function<bool()> is_connected;
  // Queues the install of `apk` on the phone with `listener` as the listener.
  std::function<bool(const std::u16string& apk, int32_t previous, uint32_t key, InstallListener* listener)> install;
  // Cancels the queued install of `apk`.
  std::function<void(const std::u16string& apk)> cancel_install;
  // Fetches the icon `url` into `file`; true on success. Bounded in size
  // and time, and ends soon once `cancel` is set (the manager goes away).
  std::function<bool(const std::u16string& url, const std::u16string& file, const std::atomic<bool>& cancel)>
      fetch_file;
  std::function<bool(const std::u16string& apk, ApkBadgingInfo* info)> read_apk;
  std::function<bool(const std::u16string& apk, const std::u16string& entry, const std::u16string& file)> unzip;
};
TaskPhoneSide ProgramPhoneSide();

// Where the manager keeps its files. Folders end with '/'.
struct TaskPaths {
  std::u16string download_folder;  // the apk files
  std::u16string icon_folder;      // the downloaded icons
  std::u16string list_file;        // downlist.dat
  std::u16string engine_library;   // libswarmload.so in the program folder
  std::u16string engine_work;      // the engine's work folder
};
TaskPaths ProgramTaskPaths();  // from CConfigMgr

class CAutoTaskMgr : public IAutoTaskMgr, public DownloadListener, public InstallListener {
 public:
  static constexpr char16_t kUnknownApp[] = u"未知应用";

  // The program's instance (made with the program's paths and phone side).
  static CAutoTaskMgr* Instance();
  static CAutoTaskMgr* Get();  // or null
  static void Release();

  // `tick_ms`: the download thread's poll period (0: ticks only by hand).
  CAutoTaskMgr(TaskPaths paths, TaskPhoneSide phone, uint32_t tick_ms = 1000);
  ~CAutoTaskMgr() override;
  CAutoTaskMgr(const CAutoTaskMgr&) = delete;
  CAutoTaskMgr& operator=(const CAutoTaskMgr&) = delete;

  // Binds the progress callback, loads and starts the engine (failures are
  // logged and change nothing else), reads downlist.dat; then carries out
  // the requests kept meanwhile and posts kTaskMgrStarted. `load_engine`
  // false: the process-wide client is already bound (tests).
  void Init(bool load_engine = true);
  // Init on a worker of the manager; returns at once.
  void Start();
  // Init has ended (requests are carried out at once).
  bool IsStarted() { return started_.IsOpen(); }

  bool OnDownloadRequest(const std::u16string& url, const std::u16string& app_name, const std::u16string& icon_url,
                         const std::u16string& package_name) override;
  // Null texts are "not given"; false when refused.
  bool StartDownload(const char16_t* url, const char16_t* app_name, const char16_t* icon_url,
                     const char16_t* icon_path, const char16_t* package_name);

  void OnInstallResult(const std::u16string& apk_path, int32_t result) override;

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

  // The download thread's report of one package.
  void OnDownloadProgress(uint32_t id, int32_t status, uint64_t total, uint64_t downloaded, int32_t speed);

  CDownloadThread& DownloadThread() { return thread_; }
  // Waits for the icon and apk workers started so far (tests).
  void JoinWorkers();

  // A market name as one file name: separators, control characters and a
  // leading '.' become '_', at most 64 units; the task id follows it, so
  // two apps of one name never share a file ("name_<id>").
  static std::u16string TaskFileName(const std::u16string& app_name, uint32_t id);

 private:
  void AddOnlineTask(std::unique_ptr<SOnlineTask> task);
  void SetTaskState(uint32_t id, int32_t state, int32_t detail);
  void UpdateProgress(uint32_t id, int32_t status, const TaskProgress& progress);
  void OnDownloaded(uint32_t id, const std::u16string& url, const std::u16string& file);
  void MoveToOffline(uint32_t id, const std::u16string& file);
  bool InstallTask(uint32_t id, const std::u16string& file);
  void DeleteOnlineTaskRecord(const SOnlineTask* task);
  void DownloadTaskIcon(const std::u16string& file, const std::u16string& url, uint32_t id);
  void PrepareApkInstall(const std::u16string& apk_path);
  std::unique_ptr<PNPDriverPackage> MakePackage(const std::u16string& url, const std::u16string& name);
  // The apk a download of task `id` named `name` is saved as.
  std::u16string ApkPathOf(const std::u16string& name, uint32_t id) const;
  void OnDownloadFailed(uint32_t id);
  void StartWorker(std::function<void()> job);

  TaskPaths paths_;
  TaskPhoneSide phone_;
  COnlineTaskData online_;
  COfflineTaskData offline_;
  CDownloadThread thread_;
  bool engine_loaded_ = false;
  std::atomic<bool> closing_{false};  // set first by the destructor: icon fetches end
  CStartGate started_;  // opened at the end of Init
  std::mutex workers_lock_;  // guards workers_; held only to add or take threads
  std::vector<std::thread> workers_;
};
