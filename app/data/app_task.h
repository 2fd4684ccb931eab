// The app manager's jobs: installs, removals and icon fetches run as
// CAppTask jobs on queued workers (CSingleTaskMgr), so the window thread
// never waits for adb or for a synchronous agent command.
//
// Install: the apk is copied into the program's temporary folder under the
// name "<CRC-32 of the path's UTF-16LE bytes>.apk" (so adb only ever sees
// ASCII digits), installed through the adb runner (a retry when an earlier
// attempt failed), and the copy is deleted.
#pragma once

#include <cstdint>
#include <string>

#include "app/adb/child_process.h"
#include "foundation/base/single_task_mgr.h"

class CAppTask;

// Told about installs: result 2 when an apk starts installing, then the
// runner's install result code (1 installed, negative codes: InstallErrorText).
class InstallListener {
 public:
  virtual ~InstallListener() = default;
  virtual void OnInstallResult(const std::u16string& apk_path, int32_t result) = 0;
};

enum AppTaskKind : int32_t {
  kAppTaskInstall = 0,
  kAppTaskInstallAgain = 1,  // handled like kAppTaskInstall
  kAppTaskRemove = 2,
  kAppTaskIcon = 4,
  kAppTaskNone = 5,          // GetTaskState: no waiting job
};

// What a job reports to the manager that queued it (the app manager
// implements it). Called on the worker that runs the job; the manager
// outlives its workers.
class IAppTaskOwner {
 public:
  virtual ~IAppTaskOwner() = default;
  // The icon job: "package_icon" for one package.
  virtual void FetchIcon(const std::u16string& package) = 0;
  // The end of every job.
  virtual void OnTaskDone(CAppTask* task) = 0;
  // An install job tells its start (kInstallStarted) about its apk.
  virtual void NotifyInstallListener(const std::u16string& apk_path, int32_t result) = 0;
};

// The result of an install whose apk could not be copied (the runner's
// code for a bad package path).
constexpr int32_t kInstallBadPath = -6;
// The result of an install job while an apk is being installed.
constexpr int32_t kInstallStarted = 2;

class CAppTask : public CBaseTask {
 public:
  CAppTask(IAppTaskOwner* manager, int32_t kind, const std::u16string& path, uint32_t key, int32_t previous_result = 0);

  void Run() override;

  int32_t GetResult() const { return result_; }
  int32_t GetKind() const { return kind_; }
  const std::u16string& GetPath() const { return path_; }
  int32_t GetPreviousResult() const { return previous_result_; }
  uint32_t GetKey() const { return key_; }

 private:
  int32_t Install();

  int32_t result_ = 0;
  int32_t kind_;
  IAppTaskOwner* manager_;  // not owned; outlives its workers
  std::u16string path_;  // the apk (install) or the package name (remove, icon)
  int32_t previous_result_;
  uint32_t key_;
};

// The temporary name an apk is installed under: temp folder + "/<crc>.apk".
std::u16string TemporaryApkName(const std::u16string& temp_dir, const std::u16string& apk_path);

// The queue of installs and removals: one job at a time, in order.
// Threading: every operation takes the queue lock; a job that the worker
// has taken is no longer waiting (GetTaskState, CancelTask), but IsQueued
// still sees it until it has finished, so a second install (or removal)
// with the key of the running one is not queued behind it; a job of the
// other kind is. The worker's adb and aapt runs answer to `child_control_`:
// the destructor (another thread) ends the child of the running job with
// it instead of waiting for the runner's time-out.
class CUnInstallTaskMgr : public CSingleTaskMgr {
 public:
  ~CUnInstallTaskMgr() override;

  // The kind of the waiting job with that key; kAppTaskNone when none waits.
  int32_t GetTaskState(uint32_t key);
  // A waiting or running job of that kind (kinds 0 and 1 are one) has that
  // key; false for key 0.
  bool IsQueued(uint32_t key, int32_t kind);
  // Removes and frees the first waiting job of that kind whose path equals
  // `path` without regard to letter case.
  void CancelTask(int32_t kind, const std::u16string& path);
  void AddAppTask(CAppTask* task) { AddTask(task); }

 protected:
  uint32_t Run() override;

 private:
  adb::ChildControl child_control_;
};
