// CAppMgr: the apps of the connected phone as the agent reports them
// ("package_count", "package_list", "package_info", "package_icon"), their
// icons in the per-phone icon cache, installs and removals through adb on a
// queued worker, the ignored updates (app_ignore.ini) and the hand-over of
// updates to the download task manager (app_task_seams.h).
//
// Pages read copies (GetAppList, FindAppByKey, FindAppByPackage): the
// records themselves never leave the manager (data_mgr.h, rule b).
//
// Messages (PostPhoneMessage): 1237 app count (count reply) or 0 (after a
// list load or change), 1240 an app came or went, 1242 list known (after a
// list load, then 1253), 1243 icon ready (key),
// 1244 removal done (key or 0, result), 1245 install done (key, result),
// 1246 update handed over (key), 1247 record refreshed (key), 1250 app
// added (key), 1251 busy (1/0), 1253 updatable count.
//
// Threading: replies on socket threads (list, count), on the icon worker
// (icon) and on the install worker (info); job completions on the install
// worker. `records_` and the two counts are guarded by the data lock; the
// install listener by `listener_lock_` (set from the window thread, called
// from the install worker).
#pragma once

#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "app/agent/socket_thread.h"
#include "app/data/app_record.h"
#include "app/data/app_task.h"
#include "app/data/data_mgr.h"
#include "foundation/base/win_thread.h"

constexpr char16_t kAgentPackageName[] = u"com.zelvik.assist";

class CAppMgr;

// The update pass: started after every complete list load unless running;
// it makes no update query (none exists here) and ends at once. The list
// load itself then tells the pages that the list and its update
// information are known (1242, then 1253).
class CUpgradeThread : public base::WinThread {
 public:
  explicit CUpgradeThread(CAppMgr* manager) : manager_(manager) {}
  ~CUpgradeThread() override { Stop(); }

 protected:
  void Run() override {}

 private:
  CAppMgr* manager_;  // not owned
};

class CAppMgr : public CDataMgr, public IAppTaskOwner {
 public:
  CAppMgr();
  ~CAppMgr() override;

  // "package_list" unless busy or the list is loaded (Load) / unless busy (Refresh).
  void LoadAppList();
  void RefreshAppList();
  // "package_count", asynchronous.
  void RequestAppCount();
  // "package_icon" / "package_info" for one package, on the calling thread.
  void RequestPackageIcon(const std::u16string& package, ExchangeControl* control = nullptr);
  void RequestPackageInfo(const std::u16string& package, ExchangeControl* control = nullptr);

  // Copies, taken under the data lock.
  std::vector<AppRecord> GetAppList();
  std::optional<AppRecord> FindAppByKey(uint32_t key);
  std::optional<AppRecord> FindAppByPackage(const std::u16string& package);
  int32_t GetAppCount();
  int32_t GetUpdatableCount();

  // Queues an install unless a job with that key is queued or running; true.
  bool InstallApp(const std::u16string& apk_path, int32_t previous_result, uint32_t key);
  // Queues the removal of the app with that key; false when no record has it.
  bool UninstallApp(uint32_t key);
  bool CancelTask(const std::u16string& apk_path);
  // The kind of the waiting job with that key (0 install, 2 removal), 5 when none.
  int32_t GetAppTaskState(uint32_t key);
  bool IgnoreUpdate(uint32_t key);
  bool UnignoreUpdate(uint32_t key);
  bool UpgradeApp(uint32_t key);
  // Drops from the ignore list every package that is not among the records.
  void PruneIgnoreList();
  void SetInstallListener(InstallListener* listener);

  // The icon worker's job: "package_icon" for one package.
  void FetchIcon(const std::u16string& package) override { RequestPackageIcon(package, &icon_control_); }
  // The install worker's end of a job (CAppTask::Run).
  void OnTaskDone(CAppTask* task) override;
  // Tells the install listener (if any) about an apk.
  void NotifyInstallListener(const std::u16string& apk_path, int32_t result) override;

  // The icon file of a package: icon cache folder + package + version code
  // + ".png"; empty when the name could leave the folder ('/', '\', NUL,
  // or a name starting with '.').
  static std::u16string IconFileName(const std::u16string& package, const std::u16string& version_code);

 protected:
  void OnReply(const std::u16string& command, const std::u16string& param, CXmlDocument& document,
               const CBufferT<unsigned char>& reply) override;

 private:
  // A synchronous GET with packageName/value = `package`.
  void RequestForPackage(const std::u16string& command, const std::u16string& package, ExchangeControl* control);
  void OnPackageList(CXmlDocument& document);
  void OnPackageCount(CXmlDocument& document);
  void OnPackageIcon(CXmlDocument& document, const CBufferT<unsigned char>& reply);
  void OnPackageInfo(CXmlDocument& document);
  // Fills `record` from the current "app" element; false when it is skipped
  // (a system app or the agent itself). Caller holds the data lock.
  static bool ParseApp(CXmlDocument& document, SAppInfo* record);
  // Sets the icon path when the file exists (posts 1243), else queues a fetch.
  void LoadIcon(const SAppInfo& record);
  // Caller holds the data lock.
  SAppInfo* Find(uint32_t key);
  SAppInfo* FindByPackage(const std::u16string& package);
  void RecountLocked();           // posts 1237 with 0
  void RecountUpdatableLocked();  // posts 1253

  std::list<std::unique_ptr<SAppInfo>> records_;  // in the agent's order
  int32_t app_count_ = 0;
  int32_t updatable_count_ = 0;
  CUpgradeThread upgrade_thread_;

  // Synchronous commands of the workers; cancelled when the manager goes.
  ExchangeControl icon_control_;
  ExchangeControl install_control_;
  std::unique_ptr<CSingleTaskMgr> icon_worker_;
  std::unique_ptr<CUnInstallTaskMgr> install_worker_;

  std::mutex listener_lock_;
  InstallListener* listener_ = nullptr;  // not owned
};
