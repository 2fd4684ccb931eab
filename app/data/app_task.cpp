#include "app/data/app_task.h"

#include <unistd.h>

#include <cstdio>

#include "app/adb/adbcmd_tool.h"
#include "app/config/config_mgr.h"
#include "app/data/sms_utility.h"
#include "foundation/base/code_page.h"
#include "foundation/base/crc32.h"
#include "foundation/base/file_util.h"
#include "foundation/base/log.h"
#include "platform/text_case.h"

namespace {

bool SameNoCase(const std::u16string& a, const std::u16string& b) {
  return platform::EqualNoCase(WStringToAnsi(a), WStringToAnsi(b));
}

bool IsInstall(int32_t kind) { return kind == kAppTaskInstall || kind == kAppTaskInstallAgain; }

}  // namespace

std::u16string TemporaryApkName(const std::u16string& temp_dir, const std::u16string& apk_path) {
  char name[32];
  std::snprintf(name, sizeof name, "/%lu.apk", static_cast<unsigned long>(Utf16LeCrc32(apk_path)));
  return temp_dir + AnsiToWString(name);
}

// CAppTask -------------------------------------------------------------------------

CAppTask::CAppTask(IAppTaskOwner* manager, int32_t kind, const std::u16string& path, uint32_t key,
                   int32_t previous_result)
    : kind_(kind), manager_(manager), path_(path), previous_result_(previous_result), key_(key) {}

void CAppTask::Run() {
  switch (kind_) {
    case kAppTaskInstall:
    case kAppTaskInstallAgain:
      result_ = Install();
      break;
    case kAppTaskRemove:
      result_ = CAdbCmdTool::Instance()->RemovePackage(path_.c_str()) ? 1 : 0;
      break;
    case kAppTaskIcon:
      if (manager_ != nullptr) manager_->FetchIcon(path_);
      break;
    default:
      break;
  }
  if (manager_ != nullptr) manager_->OnTaskDone(this);
}

int32_t CAppTask::Install() {
  if (manager_ != nullptr) manager_->NotifyInstallListener(path_, kInstallStarted);
  PD_LOG_TRACE("install file_path:%s", WStringToAnsi(path_).c_str());
  const std::u16string temp_dir = CConfigMgr::Instance()->GetTempDir();
  CConfigMgr::MakeSureDirectory(temp_dir);
  const std::u16string copy = TemporaryApkName(temp_dir, path_);
  const std::string copy_path = WStringToAnsi(copy);
  if (!CopyFileReplacing(path_, copy)) {
    PD_LOG_ERROR("install: the apk could not be copied: %s", WStringToAnsi(path_).c_str());
    return kInstallBadPath;
  }
  CAdbCmdTool* adb = CAdbCmdTool::Instance();
  const int32_t result = previous_result_ != 0 ? adb->RetryInstall(copy.c_str(), previous_result_, false)
                                               : adb->InstallApk(copy.c_str(), true, false);
  ::unlink(copy_path.c_str());
  return result;
}

// CUnInstallTaskMgr ------------------------------------------------------------------

CUnInstallTaskMgr::~CUnInstallTaskMgr() {
  // A running install or removal would hold the phone's going away until
  // adb ends or times out: its adb child (only that process) is ended, and
  // the jobs after it start none. Harmless when no job runs.
  KillAdbProcesses(child_control_);
  Stop(false);
}

uint32_t CUnInstallTaskMgr::Run() {
  adb::ChildControlScope scope(&child_control_);
  return CSingleTaskMgr::Run();
}

int32_t CUnInstallTaskMgr::GetTaskState(uint32_t key) {
  base::CSingleLock hold(&QueueLock());
  for (CBaseTask* job : WaitingTasks()) {
    const auto* task = static_cast<CAppTask*>(job);
    if (task->GetKey() == key) return task->GetKind();
  }
  return kAppTaskNone;
}

bool CUnInstallTaskMgr::IsQueued(uint32_t key, int32_t kind) {
  if (key == 0) return false;
  const auto same = [&](const CBaseTask* job) {
    const auto* task = static_cast<const CAppTask*>(job);
    return task != nullptr && task->GetKey() == key && IsInstall(task->GetKind()) == IsInstall(kind) &&
           (IsInstall(kind) || task->GetKind() == kind);
  };
  base::CSingleLock hold(&QueueLock());
  if (same(HandedTask())) return true;
  for (CBaseTask* job : WaitingTasks())
    if (same(job)) return true;
  return false;
}

void CUnInstallTaskMgr::CancelTask(int32_t kind, const std::u16string& path) {
  PD_LOG_INFO("CSingleTaskMgr::CancleAppTask path:%s", WStringToAnsi(path).c_str());
  base::CSingleLock hold(&QueueLock());
  std::list<CBaseTask*>& waiting = WaitingTasks();
  for (auto it = waiting.begin(); it != waiting.end(); ++it) {
    auto* task = static_cast<CAppTask*>(*it);
    if (task->GetKind() == kind && SameNoCase(task->GetPath(), path)) {
      waiting.erase(it);
      delete task;
      PD_LOG_INFO("APPTASK::Cancle success! path:%s", WStringToAnsi(path).c_str());
      return;
    }
  }
}
