// A phone side for the pages' window tests: a connected phone whose app list
// is what the test puts in `apps`; every command is taken and does nothing.
#pragma once

#include <optional>
#include <vector>

#include "ui/pages/phone_pages_side.h"

namespace page_test {

class FixedPagesSide : public IPhonePagesSide {
 public:
  bool IsConnected() override { return true; }
  void LoadAppList() override {}
  void RefreshAppList() override {}
  std::vector<AppRecord> GetAppList() override { return apps; }
  std::optional<AppRecord> FindAppByKey(uint32_t key) override {
    for (const AppRecord& a : apps)
      if (a.key == key) return a;
    return std::nullopt;
  }
  bool UninstallApp(uint32_t) override { return true; }
  bool UpgradeApp(uint32_t) override { return true; }
  bool IgnoreAppUpdate(uint32_t) override { return true; }
  bool UnignoreAppUpdate(uint32_t) override { return true; }
  bool FindAppByPackage(const std::u16string&, IgnoredApp*) override { return false; }
  void PruneIgnoreList() override {}
  std::optional<int32_t> GetAppTaskState(uint32_t) override { return 5; }
  int GetOnlineTaskState(uint32_t) override { return -1; }
  uint32_t FindOnlineTaskByKey(uint32_t) override { return 0; }
  void RetryTask(uint32_t) override {}
  bool InstallApkFile(const std::u16string&) override { return true; }
  bool GetCurrentDevice(PhoneDeviceInfo*) override { return false; }
  std::optional<PhoneEnvironment> GetEnvironment() override { return PhoneEnvironment(); }
  void SetEnvironmentFlag(int32_t) override {}
  int32_t GetCount(PhoneCountCategory) override { return 0; }
  void StartShotcutThread() override {}
  void SaveScreenShot(const std::u16string&) override {}
  void RequestStorageInfo() override {}

  std::vector<AppRecord> apps;
};

}  // namespace page_test
