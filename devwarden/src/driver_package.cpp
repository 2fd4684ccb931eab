#include "driver_package.h"

#include <condition_variable>
#include <cstring>

#include "base/base_proc.h"
#include "base/base_string.h"
#include "foundation/base/log.h"
#include "platform/dynamic_library.h"
#include "pnp_settings.h"

namespace devwarden {

namespace {

constexpr size_t kBusIdCapacity = 1024;
constexpr size_t kHardwareIdCapacity = 64;
constexpr size_t kFileNameCapacity = 260;

// The compatible packages, 32-bit and 64-bit machines.
constexpr PackageKey kCompatible32 = {0x5d, 0xab, 0xb4, 0x56, 0xef, 0x9f, 0x29, 0xb1,
                                      0xd8, 0x8c, 0x33, 0x41, 0x89, 0xea, 0x70, 0x55};
constexpr PackageKey kCompatible64 = {0xa3, 0xe7, 0xf8, 0xa0, 0x46, 0x41, 0x67, 0x22,
                                      0x7c, 0x49, 0x70, 0xbd, 0x02, 0xff, 0xc0, 0xd9};

// The compatible package's download wait and its abort at shut-down.
// Threading: every field is guarded by mu.
struct InstallWaits {
  std::mutex mu;
  std::condition_variable wake;
  bool aborted = false;
  std::chrono::milliseconds poll{1000};
  std::chrono::milliseconds limit{std::chrono::minutes(10)};
};

InstallWaits& Waits() {
  static InstallWaits waits;
  return waits;
}

// Sleeps one poll interval; false when the waits were aborted.
bool SleepOnePoll() {
  InstallWaits& w = Waits();
  std::unique_lock<std::mutex> lock(w.mu);
  return !w.wake.wait_for(lock, w.poll, [&w] { return w.aborted; });
}

std::chrono::milliseconds WaitLimit() {
  std::lock_guard<std::mutex> lock(Waits().mu);
  return Waits().limit;
}

// Maps an install code to the install step's result, with its log line.
int MapSetupCode(int code, const std::u16string& file, int* reboot) {
  const std::string name = ToUtf8(file);
  switch (code) {
    case kSetupSuccess:
      PD_LOG_TRACE("InstallDrv: [QEN_SETUP_SUCCESS]\n[%s]", name.c_str());
      return 1;
    case kSetupSuccessReboot:
      if (reboot) *reboot = 1;
      PD_LOG_TRACE("InstallDrv: [QEN_SETUP_SUCCESS_REBOOT]\n[%s]", name.c_str());
      return 1;
    case kSetupErrorUnknown:
      PD_LOG_ERROR("InstallDrv: error [QEN_SETUP_ERROR_UNKNOWN]\n[%s]", name.c_str());
      return 0;
    case kSetupInvalidPath:
      PD_LOG_ERROR("InstallDrv: error [QEN_SETUP_INVALID_PATH]\n[%s]", name.c_str());
      return 0;
    case kSetupErrorSwpack:
      PD_LOG_ERROR("InstallDrv: error [QEN_SETUP_ERROR_SWPACK]\n[%s]", name.c_str());
      return 0;
    case kSetupUnzipFail:
      PD_LOG_ERROR("InstallDrv: error [QEN_SETUP_UNZIP_FAIL]\n[%s]", name.c_str());
      return 0;
    case kSetupErrorInterface:
      PD_LOG_ERROR("InstallDrv: error [QEN_SETUP_ERROR_INTERFACE]\n[%s]", name.c_str());
      return 0;
    default:
      PD_LOG_ERROR("InstallDrv: error [default:%d]\n[%s]", code, name.c_str());
      return 0;
  }
}

// One setup attempt with a downloaded file.
int SetupOnce(const KitplanterInterface& setup, const std::u16string& file, int setup_type,
              const std::u16string& bus_id, int* reboot) {
  if (setup.QENSetDriverPackage) setup.QENSetDriverPackage(file.c_str(), setup_type);
  return MapSetupCode(setup.Install(bus_id.c_str()), file, reboot);
}

}  // namespace

DriverPackage::DriverPackage(const SDrvInfo& record) : record_(record) {
  record_.cSoftCount = 0;
  record_.pSoftInfo = nullptr;
}

void DriverPackage::SetBusId(const char16_t* bus_id) {
  if (!bus_id || !bus_id[0]) return;
  char16_t text[kBusIdCapacity];
  CopyWideText(text, kBusIdCapacity, bus_id);
  bus_id_ = text;
}

void DriverPackage::SetHwIdsForPackage(const char16_t* list, size_t length) {
  hardware_ids_.clear();
  if (!list) return;
  PD_LOG_TRACE("SetHwIdsForPackage Begin:");
  size_t pos = 0;
  while (pos < length && list[pos]) {
    size_t end = pos;
    while (end < length && list[end]) ++end;  // never past the given length
    std::u16string id(list + pos, std::min(end - pos, kHardwareIdCapacity - 1));
    PD_LOG_TRACE("SetHwIdsForPackage HWID: %s", ToUtf8(id).c_str());
    hardware_ids_.push_back(std::move(id));
    pos = end + 1;
  }
  PD_LOG_TRACE("SetHwIdsForPackage End:");
}

PackageKey DriverPackage::GetKey() const {
  PackageKey key;
  std::memcpy(key.data(), record_.byPackageKey, key.size());
  return key;
}

uint64_t DriverPackage::TotalSize() const {
  return record_.i64DrvFileSize > 0 ? static_cast<uint64_t>(record_.i64DrvFileSize) : 0;
}

void DriverPackage::UseDownloadInterface(const WebpullerInterface& table) {
  std::lock_guard<std::mutex> lock(mu_);
  download_ = table;
  bound_ = true;
}

WebpullerInterface DriverPackage::Table() const {
  std::lock_guard<std::mutex> lock(mu_);
  return download_;
}

int DriverPackage::DownloadId() const {
  std::lock_guard<std::mutex> lock(mu_);
  return download_id_;
}

bool DriverPackage::StartDownload() {
  std::lock_guard<std::mutex> lock(mu_);
  if (!bound_) {
    const std::string folder = GetModuleDir();
    if (!download_.Bind(folder)) {
      PD_LOG_ERROR("error _http_dl.InitInterface[%s/%s]", folder.c_str(),
                   platform::LibraryFileName("webpuller.dll").c_str());
      return false;
    }
    bound_ = true;
  }
  // A second start replaces the download: the earlier one is stopped, not
  // left running beside it.
  if (download_id_ != 0) {
    download_.Stop(download_id_);
    download_id_ = 0;
  }
  download_.SetPath(GetSettings().download_path.c_str());
  download_id_ = download_.Start(record_.byPackageKey);
  if (download_id_ == 0) {
    PD_LOG_ERROR("error _http_dl.StartDownload[%s]", KeyToHexA(record_.byPackageKey).c_str());
    return false;
  }
  return true;
}

void DriverPackage::StopDownload() {
  std::lock_guard<std::mutex> lock(mu_);
  if (download_id_ != 0) download_.Stop(download_id_);
}

int DriverPackage::Status() const {
  std::lock_guard<std::mutex> lock(mu_);
  return download_.Status(download_id_);
}

uint64_t DriverPackage::Downloaded() const {
  std::lock_guard<std::mutex> lock(mu_);
  return download_.Downloaded(download_id_);
}

DriverPackage::Progress DriverPackage::GetProgress() const {
  std::lock_guard<std::mutex> lock(mu_);
  Progress p;
  p.status = download_.Status(download_id_);
  p.downloaded = download_.Downloaded(download_id_);
  p.speed = std::max(download_.Speed(download_id_), 1);
  return p;
}

std::u16string DriverPackage::FileName(const WebpullerInterface& table, int id) const {
  char16_t path[kFileNameCapacity + 1] = {};
  if (table.DLGetDownloadFileName) table.DLGetDownloadFileName(id, path);
  if (path[kFileNameCapacity - 1] != 0) {
    PD_LOG_ERROR("InstallDrv: the downloaded file's name does not fit %zu characters", kFileNameCapacity);
    return std::u16string();
  }
  return path;
}

int SetupTypeOf(uint8_t package_type) {
  if (package_type >= 1 && package_type <= 3) return 2;
  if (package_type >= 4 && package_type <= 7) return 5;
  return 9;
}

PackageKey CompatiblePackageKey() { return sizeof(void*) == 8 ? kCompatible64 : kCompatible32; }

int InstallWith(DriverPackage* package, const KitplanterInterface& setup, int class_bits, const char16_t* bus_id,
                int* reboot) {
  if (!package) return 0;
  WebpullerInterface table = package->Table();
  int id = package->DownloadId();
  if (!table.DLGetDownloadStatus || table.Status(id) != kDownloadFinished) {
    PD_LOG_ERROR("InstallDrv: package downLoad not finish");
    return 0;
  }
  const PackageKey key = package->GetKey();
  PD_LOG_TRACE("InstallDrv Package Hash = %s hwid cnt = %d Begin\n", KeyToHexA(key.data()).c_str(),
               static_cast<int>(package->HardwareIds().size()));
  const std::u16string device_bus_id = bus_id && bus_id[0] ? std::u16string(bus_id) : package->BusId();
  const int setup_type = SetupTypeOf(package->PackageType());

  std::u16string file = package->FileName(table, id);
  if (table.DLGetDownloadFileName && file.empty()) return MapSetupCode(kSetupInvalidPath, file, reboot);
  int result = SetupOnce(setup, file, setup_type, device_bus_id, reboot);

  if (result != 1 && class_bits == 1) {
    // The compatible retry: a generic phone driver of this machine's bitness.
    PD_LOG_TRACE("first setup error,and try to download compatpackage");
    const PackageKey compatible = CompatiblePackageKey();
    {
      std::lock_guard<std::mutex> lock(package->mu_);
      id = package->download_.Start(compatible.data());
      if (id == 0) {
        PD_LOG_ERROR("error _hash_downloader.StartDownload");
        return 0;
      }
      package->download_id_ = id;
    }
    const auto deadline = std::chrono::steady_clock::now() + WaitLimit();
    int status = kDownloadRunning;
    bool gave_up = false;
    do {
      if (!SleepOnePoll()) {
        gave_up = true;
        PD_LOG_ERROR("InstallDrv: the compatible package's wait was cut short by shut-down");
        break;
      }
      status = table.Status(id);
      if (status == kDownloadRunning && std::chrono::steady_clock::now() >= deadline) {
        gave_up = true;
        PD_LOG_ERROR("InstallDrv: the compatible package's download took too long; stopped");
        break;
      }
    } while (status == kDownloadRunning);
    if (gave_up) table.Stop(id);
    if (gave_up || status != kDownloadFinished) {
      PD_LOG_ERROR("error InstallDrv: package downLoad not finish");
      return 0;
    }
    file = package->FileName(table, id);
    if (table.DLGetDownloadFileName && file.empty()) return MapSetupCode(kSetupInvalidPath, file, reboot);
    result = SetupOnce(setup, file, setup_type, device_bus_id, reboot);
  }
  PD_LOG_TRACE("InstallDrv Package End \n");
  return result;
}

int InstallDrv(DriverPackage* package, int class_bits, const char16_t* bus_id, int* reboot) {
  if (!package) return 0;
  // Only a finished package gets as far as loading the setup library.
  if (package->Status() != kDownloadFinished) {
    PD_LOG_ERROR("InstallDrv: package downLoad not finish");
    return 0;
  }
  const std::string folder = GetModuleDir();
  KitplanterInterface setup;
  if (!setup.Bind(folder)) {
    PD_LOG_ERROR("error infsetup.InitInterface[%s/%s]", folder.c_str(),
                 platform::LibraryFileName("Kitplanter.dll").c_str());
    return 0;
  }
  return InstallWith(package, setup, class_bits, bus_id, reboot);
}

void SetCompatibleWait(std::chrono::milliseconds poll, std::chrono::milliseconds limit) {
  std::lock_guard<std::mutex> lock(Waits().mu);
  Waits().poll = poll;
  Waits().limit = limit;
}

void AbortInstallWaits() {
  {
    std::lock_guard<std::mutex> lock(Waits().mu);
    Waits().aborted = true;
  }
  Waits().wake.notify_all();
}

void AllowInstallWaits() {
  std::lock_guard<std::mutex> lock(Waits().mu);
  Waits().aborted = false;
}

}  // namespace devwarden
