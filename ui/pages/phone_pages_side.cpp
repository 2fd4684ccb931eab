#include "ui/pages/phone_pages_side.h"

#include <memory>

#include "app/connect/connect_mgr.h"
#include "app/data/phone.h"
#include "app/task/auto_task_mgr.h"
#include "ui/frame/frame_backend.h"

namespace {

// The connected phone for the call at hand; the main window's back end is
// asked first, so nothing is created while no phone is connected.
std::shared_ptr<CPhone> Phone() { return FrameBackend()->IsPhoneConnected() ? CurrentPhone() : nullptr; }

// The program's phone side: the connected phone, the
// connection manager's current device and the task manager while it exists.
class CProgramPhonePagesSide : public IPhonePagesSide {
 public:
  bool IsConnected() override { return Phone() != nullptr; }

  void LoadAppList() override {
    if (auto phone = Phone()) phone->LoadAppList();
  }
  void RefreshAppList() override {
    if (auto phone = Phone()) phone->RefreshAppList();
  }
  std::vector<AppRecord> GetAppList() override {
    auto phone = Phone();
    return phone ? phone->GetAppList() : std::vector<AppRecord>();
  }
  std::optional<AppRecord> FindAppByKey(uint32_t key) override {
    auto phone = Phone();
    return phone ? phone->FindAppByKey(key) : std::nullopt;
  }
  bool UninstallApp(uint32_t key) override {
    auto phone = Phone();
    return phone && phone->UninstallApp(key);
  }
  bool UpgradeApp(uint32_t key) override {
    auto phone = Phone();
    return phone && phone->UpgradeApp(key);
  }
  bool IgnoreAppUpdate(uint32_t key) override {
    auto phone = Phone();
    return phone && phone->IgnoreAppUpdate(key);
  }
  bool UnignoreAppUpdate(uint32_t key) override {
    auto phone = Phone();
    return phone && phone->UnignoreAppUpdate(key);
  }
  bool FindAppByPackage(const std::u16string& package, IgnoredApp* app) override {
    auto phone = Phone();
    std::optional<AppRecord> record = phone ? phone->FindAppByPackage(package) : std::nullopt;
    if (!record || !app) return false;
    app->key = record->key;
    app->app_name = record->app_name;
    app->size_text = record->size_text;
    app->icon_path = record->icon_path;
    app->version_name = record->version_name;
    app->new_version_name = record->new_version_name;
    return true;
  }
  void PruneIgnoreList() override {
    if (auto phone = Phone()) phone->PruneIgnoreList();
  }
  std::optional<int32_t> GetAppTaskState(uint32_t key) override {
    auto phone = Phone();
    if (!phone) return std::nullopt;
    return phone->GetAppTaskState(key);
  }

  int GetOnlineTaskState(uint32_t key) override {
    CAutoTaskMgr* tasks = CAutoTaskMgr::Get();
    return tasks ? tasks->GetOnlineTaskState(key) : -1;
  }
  uint32_t FindOnlineTaskByKey(uint32_t key) override {
    CAutoTaskMgr* tasks = CAutoTaskMgr::Get();
    return tasks ? tasks->FindOnlineTaskByKey(key) : 0;
  }
  void RetryTask(uint32_t id) override {
    if (CAutoTaskMgr* tasks = CAutoTaskMgr::Get()) tasks->RetryTask(id);
  }
  bool InstallApkFile(const std::u16string& path) override {
    CAutoTaskMgr* tasks = CAutoTaskMgr::Get();
    return tasks && tasks->InstallApkFile(path);
  }

  bool GetCurrentDevice(PhoneDeviceInfo* info) override {
    return FrameBackend()->IsPhoneConnected() && CConnectMgr::Instance()->GetCurrentDeviceInfo(info);
  }
  std::optional<PhoneEnvironment> GetEnvironment() override {
    auto phone = Phone();
    if (!phone) return std::nullopt;
    return phone->GetEnvironment();
  }
  void SetEnvironmentFlag(int32_t value) override {
    if (auto phone = Phone()) phone->SetEnvironmentFlag(value);
  }
  int32_t GetCount(PhoneCountCategory category) override {
    auto phone = Phone();
    if (!phone) return 0;
    switch (category) {
      case kCountApps: return phone->GetAppCount();
      case kCountContacts: return phone->GetContactCount();
      case kCountSms: return phone->GetSmsCount();
      case kCountPictures: return phone->GetPictureCount();
      case kCountMusic: return phone->GetMusicCount();
      case kCountVideos: return phone->GetVideoCount();
    }
    return 0;
  }
  void StartShotcutThread() override {
    if (auto phone = Phone()) phone->StartShotcutThread();
  }
  void SaveScreenShot(const std::u16string& path) override {
    if (auto phone = Phone()) phone->SaveScreenShot(path);
  }
  void RequestStorageInfo() override {
    if (auto phone = Phone()) phone->RequestStorageInfo();
  }
};

CProgramPhonePagesSide g_program_side;
IPhonePagesSide* g_side = &g_program_side;  // UI thread only

}  // namespace

IPhonePagesSide* PhonePagesSide() { return g_side; }
void SetPhonePagesSide(IPhonePagesSide* side) { g_side = side ? side : &g_program_side; }
