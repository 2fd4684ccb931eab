#include "app/data/app_mgr.h"

#include <algorithm>
#include <cstdlib>

#include "app/adb/adbcmd_tool.h"
#include "app/agent/cmd_package.h"
#include "app/config/config_mgr.h"
#include "app/core/message_ids.h"
#include "app/core/phone_message.h"
#include "app/data/app_task_seams.h"
#include "app/web/stat_report.h"
#include "foundation/base/code_page.h"
#include "foundation/base/crc32.h"
#include "foundation/base/file_util.h"
#include "foundation/base/ini_engine.h"
#include "foundation/base/log.h"
#include "platform/text_case.h"
#include "foundation/xml/xml_document.h"

namespace {

bool SameNoCase(const std::u16string& a, const std::u16string& b) {
  return platform::EqualNoCase(WStringToAnsi(a), WStringToAnsi(b));
}

int64_t ParseInt64(const std::u16string& text) {
  return std::strtoll(WStringToAnsi(text).c_str(), nullptr, 10);
}

std::string Narrow(const std::u16string& text) { return WStringToAnsi(text); }

}  // namespace

CAppMgr::CAppMgr()
    : CDataMgr(msg::kAppBusy),
      upgrade_thread_(this),
      icon_worker_(new CSingleTaskMgr()),
      install_worker_(new CUnInstallTaskMgr()) {
  icon_worker_->Start();
  install_worker_->Start();
}

CAppMgr::~CAppMgr() {
  // The workers' jobs use this manager and its records: cut their agent
  // commands short, end the adb child of a running install or removal, and
  // stop them first.
  icon_control_.Cancel();
  install_control_.Cancel();
  install_worker_.reset();
  icon_worker_.reset();
  upgrade_thread_.Stop();
  base::CSingleLock hold(&DataLock());
  records_.clear();
}

// --- requests -----------------------------------------------------------------

void CAppMgr::LoadAppList() {
  {
    base::CSingleLock hold(&DataLock());
    if (!records_.empty()) return;
  }
  if (!BeginLoad()) return;
  SendGet(u"package_list");
}

void CAppMgr::RefreshAppList() {
  if (!BeginLoad()) return;
  SendGet(u"package_list");
}

void CAppMgr::RequestAppCount() { SendGet(u"package_count"); }

void CAppMgr::RequestPackageIcon(const std::u16string& package, ExchangeControl* control) {
  RequestForPackage(u"package_icon", package, control);
}

void CAppMgr::RequestPackageInfo(const std::u16string& package, ExchangeControl* control) {
  RequestForPackage(u"package_info", package, control);
}

void CAppMgr::RequestForPackage(const std::u16string& command, const std::u16string& package,
                                ExchangeControl* control) {
  CXmlDocument request;
  BuildRequestXml(request, command, u"GET");
  request.AddChildElement(u"packageName");
  request.SetChildAttribute(u"value", package);
  SendRequest(command, request, package, true, control);
}

// --- copies for the pages -------------------------------------------------------

std::vector<AppRecord> CAppMgr::GetAppList() {
  base::CSingleLock hold(&DataLock());
  std::vector<AppRecord> copy;
  copy.reserve(records_.size());
  for (const auto& record : records_) copy.push_back(*record);
  return copy;
}

std::optional<AppRecord> CAppMgr::FindAppByKey(uint32_t key) {
  base::CSingleLock hold(&DataLock());
  const SAppInfo* record = Find(key);
  if (record == nullptr) return std::nullopt;
  return *record;
}

std::optional<AppRecord> CAppMgr::FindAppByPackage(const std::u16string& package) {
  base::CSingleLock hold(&DataLock());
  const SAppInfo* record = FindByPackage(package);
  if (record == nullptr) return std::nullopt;
  return *record;
}

int32_t CAppMgr::GetAppCount() {
  base::CSingleLock hold(&DataLock());
  return app_count_;
}

int32_t CAppMgr::GetUpdatableCount() {
  base::CSingleLock hold(&DataLock());
  return updatable_count_;
}

SAppInfo* CAppMgr::Find(uint32_t key) {
  for (auto& record : records_)
    if (record->key == key) return record.get();
  return nullptr;
}

SAppInfo* CAppMgr::FindByPackage(const std::u16string& package) {
  for (auto& record : records_)
    if (SameNoCase(record->package_name, package)) return record.get();
  return nullptr;
}

// --- jobs -------------------------------------------------------------------------

bool CAppMgr::InstallApp(const std::u16string& apk_path, int32_t previous_result, uint32_t key) {
  if (install_worker_->IsQueued(key, kAppTaskInstall)) return true;
  install_worker_->AddAppTask(new CAppTask(this, kAppTaskInstall, apk_path, key, previous_result));
  return true;
}

bool CAppMgr::UninstallApp(uint32_t key) {
  if (install_worker_->IsQueued(key, kAppTaskRemove)) return true;
  std::u16string package;
  {
    base::CSingleLock hold(&DataLock());
    const SAppInfo* record = Find(key);
    if (record == nullptr) return false;
    package = record->package_name;
  }
  install_worker_->AddAppTask(new CAppTask(this, kAppTaskRemove, package, key));
  const uint32_t task = FindOnlineTaskByKey(key);
  if (task != 0) DeleteOnlineTask(task);
  return true;
}

bool CAppMgr::CancelTask(const std::u16string& apk_path) {
  install_worker_->CancelTask(kAppTaskInstall, apk_path);
  return true;
}

int32_t CAppMgr::GetAppTaskState(uint32_t key) { return install_worker_->GetTaskState(key); }

void CAppMgr::SetInstallListener(InstallListener* listener) {
  std::lock_guard<std::mutex> hold(listener_lock_);
  listener_ = listener;
}

void CAppMgr::NotifyInstallListener(const std::u16string& apk_path, int32_t result) {
  std::lock_guard<std::mutex> hold(listener_lock_);
  if (listener_ != nullptr) listener_->OnInstallResult(apk_path, result);
}

void CAppMgr::OnTaskDone(CAppTask* task) {
  const int32_t result = task->GetResult();
  switch (task->GetKind()) {
    case kAppTaskInstall:
    case kAppTaskInstallAgain: {
      const std::u16string package = CAdbCmdTool::Instance()->GetApkPackageName(task->GetPath().c_str());
      NotifyInstallListener(task->GetPath(), result);
      std::optional<AppRecord> record = package.empty() ? std::nullopt : FindAppByPackage(package);
      if (record) {
        ReportApkStat(kStatUpdate, result == 1 ? kStatSuccess : kStatFailed, Narrow(record->app_name).c_str(),
                      Narrow(record->package_name).c_str());
        PostPhoneMessage(msg::kAppInstalled, record->key, result);
      }
      if (result == 1 && !package.empty()) RequestPackageInfo(package, &install_control_);
      break;
    }
    case kAppTaskRemove: {
      uint32_t removed = 0;
      if (result != 0) {
        base::CSingleLock hold(&DataLock());
        for (auto it = records_.begin(); it != records_.end(); ++it) {
          if (SameNoCase((*it)->package_name, task->GetPath())) {
            removed = (*it)->key;
            records_.erase(it);
            RecountLocked();
            RecountUpdatableLocked();
            PostPhoneMessage(msg::kPhoneContentChanged, 0, 0);
            break;
          }
        }
      }
      PostPhoneMessage(msg::kAppRemoved, removed, result);
      break;
    }
    case kAppTaskIcon:
    default:
      break;
  }
}

// --- ignored updates ----------------------------------------------------------------

bool CAppMgr::IgnoreUpdate(uint32_t key) {
  std::u16string package;
  {
    base::CSingleLock hold(&DataLock());
    SAppInfo* record = Find(key);
    if (record == nullptr) return false;
    record->has_update = false;
    package = record->package_name;
    RecountUpdatableLocked();
  }
  CConfigMgr::Instance()->AddIgnoreApp(package);
  return true;
}

bool CAppMgr::UnignoreUpdate(uint32_t key) {
  std::u16string package;
  {
    base::CSingleLock hold(&DataLock());
    SAppInfo* record = Find(key);
    if (record == nullptr) return false;
    // Only an app with somewhere to update from has an update.
    record->has_update = !record->download_url.empty();
    package = record->package_name;
    RecountUpdatableLocked();
  }
  CConfigMgr::Instance()->RemoveIgnoreApp(package);
  return true;
}

bool CAppMgr::UpgradeApp(uint32_t key) {
  std::optional<AppRecord> record = FindAppByKey(key);
  if (!record) return false;
  const uint32_t online = FindOnlineTaskByKey(key);
  if (online != 0) {
    RetryDownloadTask(online);
    PostPhoneMessage(msg::kAppUpgradeQueued, key, 0);
    return true;
  }
  const uint32_t offline = FindOfflineTaskByKey(key);
  if (offline != 0) {
    InstallOfflineTask(offline);
    PostPhoneMessage(msg::kAppUpgradeQueued, key, 0);
    return true;
  }
  if (record->download_url.empty()) {
    PD_LOG_ERROR("UpgradeApp: no update address for %s", Narrow(record->package_name).c_str());
    return false;
  }
  PostPhoneMessage(msg::kAppUpgradeQueued, key, 0);
  ReportApkStat(kStatDownload, kStatStart, Narrow(record->app_name).c_str(), Narrow(record->package_name).c_str());
  return StartAppDownload(record->download_url, record->app_name, record->icon_path, record->package_name);
}

void CAppMgr::PruneIgnoreList() {
  CConfigMgr* config = CConfigMgr::Instance();
  for (const std::u16string& package : config->GetIgnoredPackages()) {
    bool listed;
    {
      base::CSingleLock hold(&DataLock());
      listed = FindByPackage(package) != nullptr;
    }
    if (!listed) config->RemoveIgnoreApp(package);
  }
}

// --- replies ------------------------------------------------------------------------

void CAppMgr::OnReply(const std::u16string& command, const std::u16string&, CXmlDocument& document,
                      const CBufferT<unsigned char>& reply) {
  if (command == u"package_list") {
    OnPackageList(document);
  } else if (command == u"package_count") {
    OnPackageCount(document);
  } else if (command == u"package_icon") {
    OnPackageIcon(document, reply);
  } else if (command == u"package_info") {
    OnPackageInfo(document);
  }
}

bool CAppMgr::ParseApp(CXmlDocument& document, SAppInfo* record) {
  if (document.GetAttribute(u"appType") == u"0") return false;
  const std::u16string package = document.GetAttribute(u"packageName");
  if (SameNoCase(package, kAgentPackageName)) return false;
  record->key = Utf16LeCrc32(package);
  record->has_update = false;
  record->app_name = document.GetAttribute(u"appName");
  record->size_text = FormatFileSize(ParseInt64(document.GetAttribute(u"appSize")));
  record->package_name = package;
  record->version_code = document.GetAttribute(u"versionCode");
  record->version_name = document.GetAttribute(u"versionName");
  record->app_type = document.GetAttribute(u"appType");
  record->store = document.GetAttribute(u"packageStore");
  record->incomplete = false;
  return true;
}

void CAppMgr::OnPackageList(CXmlDocument& document) {
  std::vector<SAppInfo> listed;
  {
    base::CSingleLock hold(&DataLock());
    records_.clear();
    while (document.FindElement(u"app")) {
      auto record = std::make_unique<SAppInfo>();
      if (!ParseApp(document, record.get())) continue;
      listed.push_back(*record);
      records_.push_back(std::move(record));
    }
    app_count_ = static_cast<int32_t>(records_.size());
    updatable_count_ = 0;
    PostPhoneMessage(msg::kAppCount, 0, 0);
  }
  if (upgrade_thread_.GetState() == base::WinThread::kIdle) upgrade_thread_.Start();
  PruneIgnoreList();
  // The update pass fetches nothing, so the icons of the listed apps are
  // loaded here: from the cache, or fetched on the icon worker.
  for (const SAppInfo& record : listed) LoadIcon(record);
  SetBusy(false);
  // No update query exists: the list and its update information are known now.
  PostPhoneMessage(msg::kAppPage218, 0, 0);
  base::CSingleLock hold(&DataLock());
  RecountUpdatableLocked();
}

void CAppMgr::OnPackageCount(CXmlDocument& document) {
  int32_t count = 0;
  if (document.FindElement(u"count")) count = static_cast<int32_t>(ParseInt64(document.GetAttribute(u"value")));
  {
    base::CSingleLock hold(&DataLock());
    app_count_ = count;
  }
  PD_LOG_TRACE("app_count: %d", count);
  PostPhoneMessage(msg::kAppCount, static_cast<uintptr_t>(count), 0);
  LoadAppList();
}

void CAppMgr::OnPackageIcon(CXmlDocument& document, const CBufferT<unsigned char>& reply) {
  if (!document.FindElement(u"packageName")) return;
  const std::u16string package = document.GetAttribute(u"value");
  base::CSingleLock hold(&DataLock());
  SAppInfo* record = FindByPackage(package);
  if (record == nullptr) return;
  const std::u16string icon = IconFileName(record->package_name, record->version_code);
  if (icon.empty()) return;
  const size_t text = ReplyText(reply).size();
  if (reply.GetLength() > text + 1) {
    const char* bytes = reinterpret_cast<const char*>(reply.GetData()) + text + 1;
    CConfigMgr::MakeSureDirectory(CConfigMgr::Instance()->GetIconCachePath());
    if (!base::ini::WriteTextFileAtomically(WStringToAnsi(icon), std::string(bytes, reply.GetLength() - text - 1))) {
      PD_LOG_ERROR("icon file not written: %s", WStringToAnsi(icon).c_str());
    }
  }
  record->icon_path = icon;
  PostPhoneMessage(msg::kAppIconReady, record->key, 0);
}

void CAppMgr::OnPackageInfo(CXmlDocument& document) {
  if (!document.FindElement(u"app")) return;
  const std::u16string package = document.GetAttribute(u"packageName");
  SAppInfo added;
  {
    base::CSingleLock hold(&DataLock());
    SAppInfo* record = FindByPackage(package);
    if (record != nullptr) {
      if (ParseApp(document, record)) {
        PostPhoneMessage(msg::kAppRefreshed, record->key, 0);
        RecountUpdatableLocked();
      }
      return;
    }
    auto fresh = std::make_unique<SAppInfo>();
    if (!ParseApp(document, fresh.get())) return;
    added = *fresh;
    records_.push_back(std::move(fresh));
  }
  LoadIcon(added);
  PostPhoneMessage(msg::kAppAdded, added.key, 0);
  {
    base::CSingleLock hold(&DataLock());
    RecountLocked();
  }
  PostPhoneMessage(msg::kPhoneContentChanged, 0, 0);
}

void CAppMgr::LoadIcon(const SAppInfo& record) {
  const std::u16string icon = IconFileName(record.package_name, record.version_code);
  if (icon.empty()) return;
  if (FileExists(icon)) {
    {
      base::CSingleLock hold(&DataLock());
      SAppInfo* live = Find(record.key);
      if (live == nullptr) return;
      live->icon_path = icon;
    }
    PostPhoneMessage(msg::kAppIconReady, record.key, 0);
    return;
  }
  icon_worker_->AddTask(new CAppTask(this, kAppTaskIcon, record.package_name, record.key));
}

void CAppMgr::RecountLocked() {
  app_count_ = static_cast<int32_t>(records_.size());
  PostPhoneMessage(msg::kAppCount, 0, 0);
}

void CAppMgr::RecountUpdatableLocked() {
  updatable_count_ = static_cast<int32_t>(
      std::count_if(records_.begin(), records_.end(), [](const auto& r) { return r->has_update; }));
  PostPhoneMessage(msg::kAppUpdatableCount, static_cast<uintptr_t>(updatable_count_), 0);
}

std::u16string CAppMgr::IconFileName(const std::u16string& package, const std::u16string& version_code) {
  const std::u16string name = package + version_code + u".png";
  if (package.empty() || name[0] == u'.' || name.find_first_of(u"/\\", 0) != std::u16string::npos ||
      name.find(u'\0') != std::u16string::npos) {
    return std::u16string();
  }
  return CConfigMgr::Instance()->GetIconCachePath() + name;
}
