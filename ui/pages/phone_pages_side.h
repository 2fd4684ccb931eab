// What the phone's home and apps pages need of the phone side, through one
// narrow seam: the connected phone's facade (CPhone, reached through
// CurrentPhone for the call at hand), the current device of the connection
// manager and the download task manager. The program's side forwards to
// them; tests put a fake in its place.
//
// Every call answers "nothing" while no phone is connected (an empty list,
// no record, no queued task, a count of 0) and does nothing to act.
//
// Threading: UI thread only. SetPhonePagesSide runs before the pages are
// used and after they are gone.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/connect/connect_mgr.h"
#include "app/data/app_record.h"
#include "app/data/environment_mgr.h"
#include "ui/task_windows/ignore_update_dlg.h"

// The six counts of the home page, in its order.
enum PhoneCountCategory { kCountApps = 0, kCountContacts, kCountSms, kCountPictures, kCountMusic, kCountVideos };

class IPhonePagesSide : public IIgnoredAppsPhone {
 public:
  virtual bool IsConnected() = 0;

  // Apps (CPhone's app forwarders).
  virtual void LoadAppList() = 0;
  virtual void RefreshAppList() = 0;
  virtual std::vector<AppRecord> GetAppList() = 0;
  virtual std::optional<AppRecord> FindAppByKey(uint32_t key) = 0;
  virtual bool UninstallApp(uint32_t key) = 0;
  virtual bool UpgradeApp(uint32_t key) = 0;
  virtual bool IgnoreAppUpdate(uint32_t key) = 0;
  virtual void PruneIgnoreList() = 0;
  // The kind of the phone's queued app task (0 install, 2 removal, 5 none);
  // nothing without a phone.
  virtual std::optional<int32_t> GetAppTaskState(uint32_t key) = 0;

  // The download task manager (-1 / 0 / nothing while it does not exist).
  virtual int GetOnlineTaskState(uint32_t key) = 0;
  virtual uint32_t FindOnlineTaskByKey(uint32_t key) = 0;
  virtual void RetryTask(uint32_t id) = 0;
  virtual bool InstallApkFile(const std::u16string& path) = 0;

  // Home page.
  virtual bool GetCurrentDevice(PhoneDeviceInfo* info) = 0;
  virtual std::optional<PhoneEnvironment> GetEnvironment() = 0;
  virtual void SetEnvironmentFlag(int32_t value) = 0;
  virtual int32_t GetCount(PhoneCountCategory category) = 0;
  virtual void StartShotcutThread() = 0;
  virtual void SaveScreenShot(const std::u16string& path) = 0;
  virtual void RequestStorageInfo() = 0;
};

// The side in use; the program's own until another is set. Not owned.
IPhonePagesSide* PhonePagesSide();
void SetPhonePagesSide(IPhonePagesSide* side);  // null restores the program's side
