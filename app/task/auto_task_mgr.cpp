#include "app/task/auto_task_mgr.h"

#include <cstdio>
#include <unistd.h>

#include "app/config/config_mgr.h"
#include "app/core/message_ids.h"
#include "app/core/phone_message.h"
#include "app/data/phone.h"
#include "app/ftp/ftpcmd_tool.h"
#include "app/task/task_files.h"
#include "app/task/task_list_file.h"
#include "app/web/stat_report.h"
#include "foundation/base/code_page.h"
#include "foundation/base/crc32.h"
#include "foundation/base/file_util.h"
#include "foundation/base/log.h"
#include "foundation/base/log_inout.h"

namespace {

using namespace msg;

CAutoTaskMgr* g_manager = nullptr;

// An icon is small: a larger body, or one that takes longer, is no icon.
constexpr uint64_t kIconMaxBytes = 1024 * 1024;
constexpr int kIconDeadlineS = 30;

unsigned long Ul(uint32_t id) { return static_cast<unsigned long>(id); }

void Post(uint32_t message, uintptr_t wParam, intptr_t lParam) { PostPhoneMessage(message, wParam, lParam); }

void ReportStat(int action, int result, const STaskData& task, const std::u16string& package) {
  ReportApkStat(action, result, WStringToAnsi(task.app_name).c_str(), WStringToAnsi(package).c_str());
}

// Renames `from` over `to`; removes `from` when that fails.
bool RenameInto(const std::u16string& from, const std::u16string& to) {
  if (std::rename(WStringToAnsi(from).c_str(), WStringToAnsi(to).c_str()) == 0) return true;
  unlink(WStringToAnsi(from).c_str());
  return false;
}

// A name beside `file` for writing it: the process id keeps two programs apart.
std::u16string PartName(const std::u16string& file) {
  return file + u".part" + TaskIdText(static_cast<uint32_t>(getpid()));
}

// A text argument kept for a later call: null stays null.
class KeptText {
 public:
  explicit KeptText(const char16_t* text) : given_(text != nullptr), text_(text ? text : u"") {}
  const char16_t* get() const { return given_ ? text_.c_str() : nullptr; }

 private:
  bool given_;
  std::u16string text_;
};

void ProgressCallback(uint32_t id, int32_t* status, uint64_t* total, uint64_t* downloaded, int32_t* speed,
                      void* context) {
  if (!context) return;
  static_cast<CAutoTaskMgr*>(context)->OnDownloadProgress(id, *status, *total, *downloaded, *speed);
}

}  // namespace

TaskPhoneSide ProgramPhoneSide() {
  TaskPhoneSide side;
  side.is_connected = [] { return CurrentPhone() != nullptr; };
  side.install = [](const std::u16string& apk, int32_t previous, uint32_t key, InstallListener* listener) {
    std::shared_ptr<CPhone> phone = CurrentPhone();
    if (!phone) return false;
    phone->SetInstallListener(listener);
    return phone->InstallApp(apk, previous, key);
  };
  side.cancel_install = [](const std::u16string& apk) {
    if (std::shared_ptr<CPhone> phone = CurrentPhone()) phone->CancelAppTask(apk);
  };
  side.fetch_file = [](const std::u16string& url, const std::u16string& file, const std::atomic<bool>& cancel) {
    DownloadLimits limits;
    limits.max_bytes = kIconMaxBytes;
    limits.deadline_s = kIconDeadlineS;
    limits.cancel = &cancel;
    return CFtpCmdTool::Instance()->DownloadFile(WStringToAnsi(url).c_str(), WStringToAnsi(file).c_str(), limits);
  };
  side.read_apk = [](const std::u16string& apk, ApkBadgingInfo* info) {
    return CAdbCmdTool::Instance()->ReadApkInfo(apk.c_str(), info);
  };
  side.unzip = [](const std::u16string& apk, const std::u16string& entry, const std::u16string& file) {
    return CAdbCmdTool::Instance()->UnzipFromApk(apk.c_str(), entry.c_str(), file.c_str());
  };
  return side;
}

TaskPaths ProgramTaskPaths() {
  CConfigMgr* config = CConfigMgr::Instance();
  TaskPaths paths;
  paths.download_folder = config->GetDownloadPath();
  if (!paths.download_folder.empty() && paths.download_folder.back() != u'/') paths.download_folder += u'/';
  paths.icon_folder = config->GetDownIconPath();
  paths.list_file = config->GetDownListPath();
  paths.engine_library = config->GetAppFilePath(u"libswarmload.so");
  paths.engine_work = config->GetEngineWorkPath();
  return paths;
}

CAutoTaskMgr* CAutoTaskMgr::Instance() {
  if (!g_manager) g_manager = new CAutoTaskMgr(ProgramTaskPaths(), ProgramPhoneSide());
  return g_manager;
}

CAutoTaskMgr* CAutoTaskMgr::Get() { return g_manager; }

void CAutoTaskMgr::Release() {
  delete g_manager;
  g_manager = nullptr;
}

CAutoTaskMgr::CAutoTaskMgr(TaskPaths paths, TaskPhoneSide phone, uint32_t tick_ms)
    : paths_(std::move(paths)), phone_(std::move(phone)), thread_(tick_ms) {}

// The workers end first (they call into the manager; an icon fetch ends
// once it sees `closing_`, a start still running ends and what it kept is
// dropped), then the download thread (it stops and deletes its running
// packages), then the engine.
CAutoTaskMgr::~CAutoTaskMgr() {
  closing_.store(true);
  started_.Shut();
  JoinWorkers();
  thread_.StopThread(false);
  if (engine_loaded_ && P2SPClient::Get()) {
    P2SPClient::Get()->Stop();
    P2SPClient::Release();
  }
}

void CAutoTaskMgr::Init(bool load_engine) {
  thread_.SetProgressCallback(&ProgressCallback, this);
  if (load_engine) {
    P2SPClient* client = P2SPClient::Instance();
    client->Load(paths_.engine_library);
    client->SetWorkPath(paths_.engine_work);
    client->Start();
    engine_loaded_ = true;
  }
  std::vector<SOfflineTask> tasks = LoadTaskList(paths_.list_file, FileExists);
  for (SOfflineTask& task : tasks) offline_.Add(std::make_unique<SOfflineTask>(std::move(task)));
  if (offline_.GetCount() != 0) Post(kTaskListLoaded, 0, 0);
  started_.Open();
  const bool engine = P2SPClient::Get() && P2SPClient::Get()->IsInitialised();
  PD_LOG_INFO("task manager started (download engine %s)", engine ? "running" : "not running");
  Post(kTaskMgrStarted, engine ? 1 : 0, 0);
}

void CAutoTaskMgr::Start() {
  StartWorker([this] { Init(); });
}

std::u16string CAutoTaskMgr::TaskFileName(const std::u16string& app_name, uint32_t id) {
  std::u16string name;
  for (char16_t c : app_name) {
    if (name.size() == 64) break;
    const bool unsafe = c < 0x20 || c == 0x7F || c == u'/' || c == u'\\' || c == u':' || c == u'*' || c == u'?' ||
                        c == u'"' || c == u'<' || c == u'>' || c == u'|';
    name += unsafe ? u'_' : c;
  }
  if (!name.empty() && name[0] == u'.') name[0] = u'_';
  if (name.empty()) name = kUnknownApp;
  return name + u"_" + TaskIdText(id);
}

bool CAutoTaskMgr::OnDownloadRequest(const std::u16string& url, const std::u16string& app_name,
                                     const std::u16string& icon_url, const std::u16string& package_name) {
  return StartDownload(url.c_str(), app_name.c_str(), icon_url.c_str(), nullptr, package_name.c_str());
}

std::u16string CAutoTaskMgr::ApkPathOf(const std::u16string& name, uint32_t id) const {
  return paths_.download_folder + TaskFileName(name.empty() ? kUnknownApp : name, id) + u".apk";
}

std::unique_ptr<PNPDriverPackage> CAutoTaskMgr::MakePackage(const std::u16string& url, const std::u16string& name) {
  auto package = std::make_unique<PNPDriverPackage>(url);
  CConfigMgr::MakeSureDirectory(paths_.download_folder);
  package->SetFilePath(ApkPathOf(name, package->GetTaskId()));
  return package;
}

bool CAutoTaskMgr::StartDownload(const char16_t* url, const char16_t* app_name, const char16_t* icon_url,
                                 const char16_t* icon_path, const char16_t* package_name) {
  if (!url || !app_name || !*url) return false;
  if (started_.Keep("a download", [this, u = std::u16string(url), n = std::u16string(app_name), i = KeptText(icon_url),
                                   p = KeptText(icon_path), k = KeptText(package_name)] {
        StartDownload(u.c_str(), n.c_str(), i.get(), p.get(), k.get());
      }))
    return true;
  CLogInOut trace("CAutoTaskMgr::StartDownload");
  const std::u16string package = package_name ? package_name : u"";
  const uint32_t key = package.empty() ? 0 : Utf16LeCrc32(package);
  const std::u16string name = *app_name ? app_name : kUnknownApp;
  Post(kDownloadAnimation, 0, 0);

  std::unique_ptr<PNPDriverPackage> download = MakePackage(url, name);
  const uint32_t id = download->GetTaskId();
  const bool fetch_icon = icon_url && *icon_url;
  std::u16string icon_file = icon_path ? icon_path : u"";
  if (fetch_icon) icon_file = paths_.icon_folder + TaskFileName(name, id) + u".png";

  if (IsExistOnTask(id) || IsExistOffTask(id) || HasPackageKey(key)) {
    PD_LOG_TRACE("IsExistOnTask||IsExistOffTask appname:%s", WStringToAnsi(app_name).c_str());
    return false;
  }
  PD_LOG_INFO("PackagePool Add start download");
  if (!thread_.Add(download.release())) {
    PD_LOG_ERROR("PackagePool::Inst()->Add failed! appname:%s", WStringToAnsi(app_name).c_str());
    return false;
  }
  auto task = std::make_unique<SOnlineTask>();
  task->task_id = id;
  task->state = kTaskWaitingDownload;
  task->down_url = url;
  task->app_name = name;
  task->package_name = package;
  task->package_key = key;
  task->icon_path = icon_file;
  AddOnlineTask(std::move(task));
  PD_LOG_INFO("AddOnlineTask");

  if (fetch_icon) {
    const std::u16string icon = icon_url;
    StartWorker([this, icon_file, icon, id] { DownloadTaskIcon(icon_file, icon, id); });
  } else {
    Post(kTaskIconReady, id, 0);
  }
  return true;
}

// The icon is written under a temporary name and renamed once whole, so a
// failed fetch never leaves a part taken for the icon.
void CAutoTaskMgr::DownloadTaskIcon(const std::u16string& file, const std::u16string& url, uint32_t id) {
  if (!FileExists(file)) {
    CConfigMgr::MakeSureDirectory(paths_.icon_folder);
    const std::u16string part = PartName(file);
    const bool fetched = phone_.fetch_file && phone_.fetch_file(url, part, closing_);
    if (!fetched) {
      unlink(WStringToAnsi(part).c_str());
      return;
    }
    if (!RenameInto(part, file)) return;
  }
  Post(kTaskIconReady, id, 0);
}

void CAutoTaskMgr::StartWorker(std::function<void()> job) {
  std::lock_guard<std::mutex> hold(workers_lock_);
  workers_.emplace_back(std::move(job));
}

void CAutoTaskMgr::JoinWorkers() {
  for (;;) {
    std::vector<std::thread> workers;
    {
      std::lock_guard<std::mutex> hold(workers_lock_);
      workers.swap(workers_);
    }
    if (workers.empty()) return;
    for (std::thread& worker : workers) worker.join();
  }
}

void CAutoTaskMgr::AddOnlineTask(std::unique_ptr<SOnlineTask> task) {
  if (!task) return;
  const uint32_t id = task->task_id;
  if (online_.Add(std::move(task))) Post(kOnlineTaskAdded, id, 0);
}

void CAutoTaskMgr::SetTaskState(uint32_t id, int32_t state, int32_t detail) {
  online_.SetState(id, state, detail);
  Post(kOnlineTaskChanged, id, state);
  PD_LOG_INFO("taskid:%lu TaskStatus:%d", Ul(id), state);
}

void CAutoTaskMgr::UpdateProgress(uint32_t id, int32_t status, const TaskProgress& progress) {
  online_.SetProgress(id, status, progress);
  Post(kOnlineTaskChanged, id, status);
  PD_LOG_INFO("taskid:%lu TaskStatus:%d", Ul(id), status);
}

void CAutoTaskMgr::OnDownloadProgress(uint32_t id, int32_t status, uint64_t total, uint64_t downloaded,
                                      int32_t speed) {
  if (status == kTaskDownloadFailed) OnDownloadFailed(id);
  UpdateProgress(id, status, TaskProgress{status, speed, total, downloaded});
  PD_LOG_INFO("taskid:%lu status:%d  totalsize:%lld downsize:%lld speed:%d \r\n", Ul(id), status,
              static_cast<long long>(total), static_cast<long long>(downloaded), speed);
  if (status != kTaskEndedWithoutResult && status != kTaskDownloaded && status != kTaskDownloadFailed) return;
  std::unique_ptr<SOnlineTask> task = online_.FindClone(id);
  if (!task) return;
  if (status == kTaskDownloaded) {
    ReportStat(kStatDownload, kStatSuccess, *task, task->package_name);
    PNPDriverPackage* package = thread_.FindPackage(id);
    if (!package) return;
    PD_LOG_INFO("taskid:%lu url:%s, download over \r\n", Ul(id), WStringToAnsi(package->GetUrl()).c_str());
    std::u16string file = package->GetFileName();
    if (file.empty()) file = package->GetFilePath();
    OnDownloaded(id, package->GetUrl(), file);
  } else if (status == kTaskDownloadFailed) {
    ReportStat(kStatDownload, kStatFailed, *task, task->package_name);
  }
}

// On the download thread, while the failed package is still held: a
// download that failed for want of disk space leaves no part file to keep
// the disk full (removed before the failure is shown, so whoever sees it
// finds the space free), and the engine's reason becomes the task's detail
// (the row says why).
void CAutoTaskMgr::OnDownloadFailed(uint32_t id) {
  PNPDriverPackage* package = thread_.FindPackage(id);
  if (!package) return;
  const int32_t code = package->GetErrorCode();
  if (code == kEngineFailFile) {
    package->DeleteEngineTask();
    const int removed = RemovePartFiles(paths_.download_folder, package->GetFilePath(), id);
    PD_LOG_ERROR("taskid:%lu the download file cannot be written (disk full?); %d part files removed", Ul(id),
                 removed);
  }
  online_.SetState(id, kTaskDownloadFailed, code);
}

void CAutoTaskMgr::OnDownloaded(uint32_t id, const std::u16string& /*url*/, const std::u16string& file) {
  if (phone_.is_connected && phone_.is_connected()) {
    InstallTask(id, file);
  } else {
    MoveToOffline(id, file);
  }
}

void CAutoTaskMgr::MoveToOffline(uint32_t id, const std::u16string& file) {
  if (offline_.Contains(id)) {
    online_.Remove(id);
    Post(kOnlineTaskRemoved, id, 0);
    return;
  }
  std::unique_ptr<SOnlineTask> copy = online_.FindClone(id);
  if (!copy) return;
  auto task = std::make_unique<SOfflineTask>();
  task->task_id = copy->task_id;
  task->down_url = copy->down_url;
  task->app_name = copy->app_name;
  task->icon_path = copy->icon_path;
  task->file_path = file;
  // Only downloads are listed: a user's own apk (a task without a URL)
  // waits in the offline list until the program ends, never in the file.
  if (!task->down_url.empty()) SaveTaskToList(paths_.list_file, *task);
  online_.Remove(id);
  Post(kOnlineTaskRemoved, id, 0);
  offline_.Add(std::move(task));
  Post(kOfflineTaskAdded, id, 0);
}

bool CAutoTaskMgr::InstallTask(uint32_t id, const std::u16string& file) {
  if (file.empty() || !phone_.is_connected || !phone_.is_connected()) return false;
  online_.SetStateAndPath(id, kTaskWaitingInstall, file);
  Post(kOnlineTaskChanged, id, 0);
  std::unique_ptr<SOnlineTask> copy = online_.FindClone(id);
  if (copy && phone_.install) phone_.install(file, copy->state_detail, copy->package_key, this);
  return true;
}

void CAutoTaskMgr::InstallOfflineTask(uint32_t id) {
  if (!phone_.is_connected || !phone_.is_connected() || online_.Contains(id)) return;
  std::unique_ptr<SOfflineTask> copy = offline_.FindClone(id);
  if (!copy) return;
  auto task = std::make_unique<SOnlineTask>();
  task->task_id = id;
  task->down_url = copy->down_url;
  task->app_name = copy->app_name;
  task->file_path = copy->file_path;
  task->icon_path = copy->icon_path;
  task->state = kTaskWaitingInstall;
  AddOnlineTask(std::move(task));
  Post(kTaskIconReady, id, 0);
  offline_.Remove(id);
  Post(kOfflineTaskRemoved, id, 0);
  InstallTask(id, copy->file_path);
}

void CAutoTaskMgr::AutoInstallOfflineApp() {
  if (started_.Keep("the install of the downloaded apps", [this] { AutoInstallOfflineApp(); })) return;
  CLogInOut trace("CAutoTaskMgr::AutoInstallOfflineApp");
  std::map<uint32_t, std::unique_ptr<SOfflineTask>> tasks;
  GetOfflineTasks(tasks);
  for (auto& entry : tasks) InstallOfflineTask(entry.first);
}

bool CAutoTaskMgr::InstallApkFile(const std::u16string& apk_path) {
  if (started_.Keep("an apk install", [this, apk_path] { InstallApkFile(apk_path); })) return true;
  StartWorker([this, apk_path] { PrepareApkInstall(apk_path); });
  return true;
}

void CAutoTaskMgr::PrepareApkInstall(const std::u16string& apk_path) {
  if (!FileExists(apk_path)) {
    PD_LOG_ERROR("file is not exist!");
    return;
  }
  const uint32_t id = Utf16LeCrc32(apk_path);
  if (online_.Contains(id)) return;
  ApkBadgingInfo info;
  if (!phone_.read_apk || !phone_.read_apk(apk_path, &info)) return;
  const uint32_t key = Utf16LeCrc32(info.package_name);
  if (HasPackageKey(key)) return;
  auto task = std::make_unique<SOnlineTask>();
  task->task_id = id;
  task->app_name = info.label.empty() ? kUnknownApp : info.label;
  task->package_key = key;
  task->file_path = apk_path;
  task->state = kTaskReadingPackage;
  AddOnlineTask(std::move(task));

  const std::u16string icon = paths_.icon_folder + TaskFileName(info.label, id) + u".png";
  if (!FileExists(icon) && !info.icon.empty()) {
    CConfigMgr::MakeSureDirectory(paths_.icon_folder);
    const std::u16string part = PartName(icon);
    if (!phone_.unzip || !phone_.unzip(apk_path, info.icon, part) || !RenameInto(part, icon)) {
      unlink(WStringToAnsi(part).c_str());
      PD_LOG_ERROR("UnCompressApkFile failed");
    }
  }
  if (FileExists(icon)) {
    online_.SetIconPath(id, icon);
    Post(kTaskIconReady, id, 0);
  }
  SetTaskState(id, kTaskWaitingInstall, 0);
  if (phone_.is_connected && phone_.is_connected() && phone_.install) phone_.install(apk_path, 0, key, this);
}

void CAutoTaskMgr::OnInstallResult(const std::u16string& apk_path, int32_t result) {
  const uint32_t id = online_.FindIdByFilePath(apk_path);
  if (id == 0) return;
  const int32_t state = result == 1 ? kTaskInstalled : result == 2 ? kTaskInstalling : kTaskInstallFailed;
  if (state != kTaskInstalling) {
    std::unique_ptr<SOnlineTask> copy = online_.FindClone(id);
    if (!copy) return;
    ReportStat(kStatInstall, state == kTaskInstalled ? kStatSuccess : kStatFailed, *copy, copy->package_name);
  }
  SetTaskState(id, state, result);
  if (state == kTaskInstalled) {
    RemoveTaskFromList(paths_.list_file, id);
    online_.Remove(id);
    Post(kOnlineTaskRemoved, id, 0);
  }
}

void CAutoTaskMgr::PauseTask(uint32_t id) {
  thread_.PauseTask(id);
  SetTaskState(id, kTaskPaused, 0);
}

void CAutoTaskMgr::ContinueTask(uint32_t id) {
  SetTaskState(id, kTaskWaitingDownload, 0);
  thread_.ContinueTask(id);
}

void CAutoTaskMgr::RetryTask(uint32_t id) {
  PD_LOG_INFO("RetryTask taskid:%lu", Ul(id));
  std::unique_ptr<SOnlineTask> copy = online_.FindClone(id);
  if (!copy) return;
  if (copy->state == kTaskInstallFailed) {
    InstallTask(id, copy->file_path);
  } else if (copy->state == kTaskDownloadFailed) {
    std::unique_ptr<PNPDriverPackage> package =
        MakePackage(copy->down_url, copy->app_name.empty() ? kUnknownApp : copy->app_name);
    SetTaskState(id, kTaskWaitingDownload, 0);
    thread_.Add(package.release());
  }
}

void CAutoTaskMgr::DeleteOnlineTask(uint32_t id) {
  std::unique_ptr<SOnlineTask> copy = online_.FindClone(id);
  DeleteOnlineTaskRecord(copy.get());
}

// A task waiting to install goes back to the offline list, phone or not:
// without a phone there is no queued install left to cancel, and the task
// must not stay waiting for ever.
void CAutoTaskMgr::DeleteOnlineTaskRecord(const SOnlineTask* task) {
  if (!task) return;
  const uint32_t id = task->task_id;
  if (task->state == kTaskWaitingInstall) {
    if (phone_.is_connected && phone_.is_connected() && phone_.cancel_install) phone_.cancel_install(task->file_path);
    MoveToOffline(id, task->file_path);
  } else {
    if (task->state == kTaskPaused) ReportStat(kStatDownload, kStatStop, *task, task->package_name);
    // A download not finished leaves the engine's part files: they go with the task.
    const bool downloading =
        !task->down_url.empty() && task->state < kTaskWaitingInstall && task->state != kTaskDownloaded;
    if (downloading) {
      thread_.DiscardTask(id, task->down_url, paths_.download_folder, ApkPathOf(task->app_name, id));
    } else {
      thread_.StopTask(id);
    }
    online_.Remove(id);
    Post(kOnlineTaskRemoved, id, 0);
  }
  if (task->package_key != 0) Post(kAppTaskDeleted, task->package_key, 0);
}

void CAutoTaskMgr::CancelWaitingInstalls() {
  std::map<uint32_t, std::unique_ptr<SOnlineTask>> tasks;
  online_.CopyAll(tasks);
  for (auto& entry : tasks) {
    if (!entry.second) break;
    if (entry.second->state == kTaskWaitingInstall) DeleteOnlineTaskRecord(entry.second.get());
  }
}

void CAutoTaskMgr::DeleteOfflineTask(uint32_t id) {
  std::unique_ptr<SOfflineTask> copy = offline_.FindClone(id);
  if (!copy) return;
  // Only the manager's own download is deleted, whatever the record says.
  if (!copy->file_path.empty() && !RemoveOwnDownload(paths_.download_folder, copy->file_path, id) &&
      FileExists(copy->file_path)) {
    PD_LOG_INFO("DeleteOfflineTask: %s is not a download of this program; kept",
                WStringToAnsi(copy->file_path).c_str());
  }
  RemoveTaskFromList(paths_.list_file, id);
  offline_.Remove(id);
  Post(kOfflineTaskRemoved, id, 0);
}

std::unique_ptr<SOnlineTask> CAutoTaskMgr::FindOnlineTask(uint32_t id) { return online_.FindClone(id); }
std::unique_ptr<SOfflineTask> CAutoTaskMgr::FindOfflineTask(uint32_t id) { return offline_.FindClone(id); }
void CAutoTaskMgr::GetOfflineTasks(std::map<uint32_t, std::unique_ptr<SOfflineTask>>& tasks) {
  offline_.CopyAll(tasks);
}
int CAutoTaskMgr::GetOnlineTaskCount() { return online_.GetCount(); }
int CAutoTaskMgr::GetOfflineTaskCount() { return offline_.GetCount(); }
int CAutoTaskMgr::GetDoingTaskCount() { return online_.GetDoingCount(); }
uint32_t CAutoTaskMgr::FindOnlineTaskByKey(uint32_t key) { return online_.FindIdByKey(key); }
uint32_t CAutoTaskMgr::FindOfflineTaskByKey(uint32_t /*key*/) { return 0; }
int CAutoTaskMgr::GetOnlineTaskState(uint32_t key) { return online_.GetKeyActivity(key); }
bool CAutoTaskMgr::IsExistOnTask(uint32_t id) { return online_.Contains(id); }
bool CAutoTaskMgr::IsExistOffTask(uint32_t id) { return offline_.Contains(id); }
bool CAutoTaskMgr::HasPackageKey(uint32_t key) { return key != 0 && online_.HasKey(key); }
