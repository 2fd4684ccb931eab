#include "ui/frame/program_backend.h"

#include "app/bindings/stat_library.h"
#include "app/config/config_mgr.h"
#include "app/connect/connect_mgr.h"
#include "app/connect/phone_seams.h"
#include "app/data/app_task_seams.h"
#include "app/data/phone.h"
#include "app/task/auto_task_mgr.h"

namespace {

// The app manager's way to the task manager (while one exists).
DownloadTaskHooks TaskHooks() {
  DownloadTaskHooks hooks;
  hooks.find_online_task_by_key = [](uint32_t key) -> uint32_t {
    CAutoTaskMgr* tasks = CAutoTaskMgr::Get();
    return tasks ? tasks->FindOnlineTaskByKey(key) : 0;
  };
  hooks.find_offline_task_by_key = [](uint32_t key) -> uint32_t {
    CAutoTaskMgr* tasks = CAutoTaskMgr::Get();
    return tasks ? tasks->FindOfflineTaskByKey(key) : 0;
  };
  hooks.retry_task = [](uint32_t id) {
    if (CAutoTaskMgr* tasks = CAutoTaskMgr::Get()) tasks->RetryTask(id);
  };
  hooks.install_offline_task = [](uint32_t id) {
    if (CAutoTaskMgr* tasks = CAutoTaskMgr::Get()) tasks->InstallOfflineTask(id);
  };
  hooks.delete_online_task = [](uint32_t id) {
    if (CAutoTaskMgr* tasks = CAutoTaskMgr::Get()) tasks->DeleteOnlineTask(id);
  };
  hooks.start_download = [](const std::u16string& url, const std::u16string& app_name, const std::u16string& icon_path,
                            const std::u16string& package) {
    CAutoTaskMgr* tasks = CAutoTaskMgr::Get();
    return tasks && tasks->StartDownload(url.c_str(), app_name.c_str(), nullptr, icon_path.c_str(), package.c_str());
  };
  return hooks;
}

void SettleWaitingInstalls() {
  if (CAutoTaskMgr* tasks = CAutoTaskMgr::Get()) tasks->CancelWaitingInstalls();
}

}  // namespace

void CProgramFrameBackend::StartConnection() {
  InstallPhoneFactory();
  CConnectMgr::Instance()->Start();
}
bool CProgramFrameBackend::IsPhoneConnected() { return CConnectMgr::Instance()->IsConnected(); }
bool CProgramFrameBackend::ReConnect(bool force) { return CConnectMgr::Instance()->ReConnect(force); }

void CProgramFrameBackend::CreatePhone() {
  CConnectMgr::Instance()->CreatePhone();
  CAutoTaskMgr* tasks = CAutoTaskMgr::Get();
  if (tasks && CConfigMgr::Instance()->GetAutoInstallFlag()) tasks->AutoInstallOfflineApp();
}

void CProgramFrameBackend::ReleaseConnection() { CConnectMgr::Release(); }

void CProgramFrameBackend::InitTasks() {
  CAutoTaskMgr::Instance()->Start();
  SetDownloadTaskHooks(TaskHooks());
  SetTaskSettler(&SettleWaitingInstalls);
}

bool CProgramFrameBackend::TasksStarted() {
  CAutoTaskMgr* tasks = CAutoTaskMgr::Get();
  return tasks && tasks->IsStarted();
}

CAutoTaskMgr* CProgramFrameBackend::TaskManager() { return CAutoTaskMgr::Get(); }
DownloadListener* CProgramFrameBackend::DownloadRequests() { return CAutoTaskMgr::Get(); }

void CProgramFrameBackend::ReleaseTasks() {
  SetTaskSettler(nullptr);
  SetDownloadTaskHooks(DownloadTaskHooks());
  CAutoTaskMgr::Release();
}

void CProgramFrameBackend::ReportUserAction(int id) {
  if (id != 0) StatAction(id, "", 0, false);
}
