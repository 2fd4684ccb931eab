#include "pnp_device_management.h"

#include <sys/stat.h>

#include <algorithm>

#include "base/base_proc.h"
#include "base/base_string.h"
#include "bindings/download_interfaces.h"
#include "bindings/kitfinder_interface.h"
#include "bindings/portsniffer_interface.h"
#include "driver_package.h"
#include "foundation/base/code_page.h"
#include "foundation/base/log.h"
#include "package_pool.h"
#include "platform/module_path.h"
#include "pnp_settings.h"
#include "query_driver_thread.h"
#include "system_info.h"

namespace devwarden {

namespace {

// An ANSI text as a wide text of at most 64 characters; longer: empty.
std::u16string Wide64(const std::string& text) {
  std::u16string wide = AnsiToWString(text);
  return wide.size() >= 64 ? std::u16string() : wide;
}

}  // namespace

PNPDeviceMangement::PNPDeviceMangement() = default;

PNPDeviceMangement::~PNPDeviceMangement() { UnInit(); }

int PNPDeviceMangement::Init(PnpDeviceCallback device_callback, uintptr_t device_context,
                             PnpDownloadCallback download_callback, uintptr_t download_context) {
  std::lock_guard<std::mutex> lifecycle(lifecycle_mu_);
  // 1. The client version, from the host program when not given.
  if (GetSettings().ClientVersion() == 0) {
    uint64_t version = 0;
    if (!GetFileProductVersion(platform::ExecutablePath(), &version)) version = 0;
    EditSettings([version](PnpSettings& s) {
      s.version_low = static_cast<uint32_t>(version);
      s.version_high = static_cast<uint32_t>(version >> 32);
    });
  }
  // 2. The computer's brand texts.
  SmbiosSystemInfo system;
  GetSmbiosSystemInfo(&system);
  const std::u16string manufacturer = Wide64(system.manufacturer), product = Wide64(system.product_name),
                       version = Wide64(system.version);
  const PnpSettings settings = GetSettings();
  const std::string own_folder = GetModuleDir();
  // 3. Detection.
  if (settings.Enabled(PNP_WORKMODE_DEVCHECK)) {
    if (!device_callback) {
      PD_LOG_ERROR("Init pnp_func is null!");
      return 0;
    }
    if (!Portsniffer().Bind(own_folder)) {
      PD_LOG_ERROR("portsniffer.dll InitInterface Faild!");
      return 0;
    }
  }
  // 4. Downloads.
  if (settings.Enabled(PNP_WORKMODE_DOWNLOAD)) {
    ::mkdir(ToUtf8(settings.download_path).c_str(), 0755);
    if (!download_callback) {
      PD_LOG_ERROR("Init down_func is null!");
      return 0;
    }
  }
  // 5. The driver query.
  if (settings.Enabled(PNP_WORKMODE_DRVQUERY)) {
    KitfinderInterface& kf = Kitfinder();
    if (!kf.Bind(own_folder)) {
      PD_LOG_ERROR("Kitfinder InitInterface Faild![%s]LastError %d", (own_folder + "/kitfinder.dll").c_str(), errno);
      return 0;
    }
    if (kf.Init() != 0) {
      PD_LOG_ERROR("Kitfinder Init Faild! LastError %d", errno);
      return 0;
    }
    kf.SetMajorAppID(1);
    kf.SetUnionID(settings.union_id);
    kf.SetClientVer(GetSettings().ClientVersion());
    kf.SetLocalBrandStr(manufacturer.c_str(), version.c_str(), product.c_str());
    kf.SetLocalSystemInfo(GetOsId(), GetLanguageId(), IsLaptopByAcAdapter());
  }
  // 6. The package pool.
  AllowInstallWaits();
  PackagePool* pool = PackagePool::GetInstance();
  pool->SetCallback(download_callback, download_context);
  pool->Start();
  // 7. Ready.
  context_.store(device_context);
  callback_.store(device_callback);
  PD_LOG_TRACE("PNPDeviceMangement Init Success");
  initialized_.store(1);
  return 1;
}

int PNPDeviceMangement::Start() {
  std::lock_guard<std::mutex> lifecycle(lifecycle_mu_);
  if (!GetSettings().Enabled(PNP_WORKMODE_DEVCHECK)) {
    PD_LOG_ERROR("PNP_WORKMODE_DEVCHECK is not open.");
    return 0;
  }
  const PortsnifferInterface& ud = Portsniffer();
  if (!ud.UD_Init || !ud.UD_Init(&PNPDeviceMangement::USBCallBackFun, reinterpret_cast<uintptr_t>(this))) {
    PD_LOG_ERROR("UD_Init Faild");
    return 0;
  }
  // Without a monitor to poll and a procedure to read it, no change would
  // ever be seen: detection did not start.
  const int monitor = ud.UD_GetMonitorDescriptor ? ud.UD_GetMonitorDescriptor() : -1;
  if (!ud.UD_OnDeviceChangeMessage || !window_.Arm(monitor) || !window_.Start()) {
    PD_LOG_ERROR("UD_Init Faild");
    window_.StopWindow();
    if (ud.UD_UnInit) ud.UD_UnInit();
    ClearDevices();  // those UD_Init reported
    return 0;
  }
  PD_LOG_TRACE("PNPDeviceMangement: Start");
  return 1;
}

void PNPDeviceMangement::Stop() {
  if (!GetSettings().Enabled(PNP_WORKMODE_DEVCHECK)) return;
  // The notification thread ends first: it polls the library's monitor
  // descriptor, which UD_UnInit closes (and the number may then be reused).
  window_.StopWindow();
  const PortsnifferInterface& ud = Portsniffer();
  if (ud.UD_UnInit) ud.UD_UnInit();
  ClearDevices();
  PD_LOG_TRACE("PNPDeviceMangement: Stop");
}

void PNPDeviceMangement::ClearDevices() {
  std::vector<std::shared_ptr<USBDevice>> gone;
  {
    base::CSingleLock hold(&list_lock_);
    gone.swap(devices_);
  }
  for (auto& device : gone) device->StopQuery();  // outside the lock
}

void PNPDeviceMangement::UnInit() {
  std::lock_guard<std::mutex> lifecycle(lifecycle_mu_);
  PD_LOG_TRACE("PNPDeviceMangement: UnInit Begin");
  if (initialized_.exchange(0)) {
    AbortInstallWaits();  // an install waiting for the compatible package returns now
    Stop();
    if (GetSettings().Enabled(PNP_WORKMODE_DRVQUERY)) Kitfinder().Close();
    PackagePool::GetInstance()->Stop();
    Portsniffer().Release();
    Kitfinder().Release();
    PackagePool::DestroyInstance();
    ResetSettings();
    callback_.store(nullptr);
    context_.store(0);
    Stat().Release();
  }
  PD_LOG_TRACE("PNPDeviceMangement: UnInit End");
}

int PNPDeviceMangement::Raise(int event, int handle) {
  PnpDeviceCallback cb = callback_.load();
  return cb ? cb(event, handle, context_.load()) : 0;
}

std::shared_ptr<USBDevice> PNPDeviceMangement::Find(int handle) {
  base::CSingleLock hold(&list_lock_);
  for (const auto& d : devices_) {
    if (d->GetHandle() == handle) return d;
  }
  return nullptr;
}

std::shared_ptr<USBDevice> PNPDeviceMangement::FindReady(int handle) {
  if (!IsInitialized()) return nullptr;
  auto device = Find(handle);
  return device && !device->IsDetached() ? device : nullptr;
}

size_t PNPDeviceMangement::DeviceCount() {
  base::CSingleLock hold(&list_lock_);
  return devices_.size();
}

std::shared_ptr<USBDevice> PNPDeviceMangement::Unlink(int handle) {
  base::CSingleLock hold(&list_lock_);
  auto it = std::find_if(devices_.begin(), devices_.end(), [handle](const auto& d) { return d->GetHandle() == handle; });
  if (it == devices_.end()) return nullptr;
  auto device = *it;
  devices_.erase(it);
  return device;
}

void PNPDeviceMangement::OnArrival(int event, const DetectedDeviceRecord& record) {
  const unsigned handle = static_cast<unsigned>(record.handle);
  PD_LOG_TRACE("_USBCallBackFun: Detected Device vid:0x%X pid:0x%X HANDLE 0x%X", record.vendor_id, record.product_id,
               handle);
  if (Find(record.handle)) return;
  auto device = std::make_shared<USBDevice>(record);
  const int detect_class = GetSettings().detect_class;
  const int class_bits = device->GetClass();
  if (class_bits != 0 && detect_class != -1 && (class_bits & detect_class) == 0) {
    PD_LOG_TRACE("USBCallBack: Filter Device HANDLE 0x%X", handle);
    return;
  }
  {
    base::CSingleLock hold(&list_lock_);
    devices_.push_back(device);
  }
  PD_LOG_TRACE("_USBCallBackFun: _AddDevice HANDLE 0x%X", handle);
  Raise(event, record.handle);
  PD_LOG_TRACE("_USBCallBackFun: Start QueryDrivers HANDLE 0x%X", handle);
  auto thread = std::make_unique<QueryDriverThread>(device.get(), callback_.load(), context_.load());
  thread->Start();
  device->SetQueryThread(std::move(thread));
  Raise(PNP_EVENT_QUERY_STARTED, record.handle);
}

void PNPDeviceMangement::OnRemoval(const DetectedDeviceRecord& record) {
  const unsigned handle = static_cast<unsigned>(record.handle);
  if (Raise(PNP_EVENT_REMOVAL, record.handle) == PNP_RET_DISABLEREMOVE) {
    PD_LOG_TRACE("_USBCallBackFun: _RemoveDevice [PNP_RET_DISABLEREMOVE] vid:0x%X pid:0x%X HANDLE 0x%X",
                 record.vendor_id, record.product_id, handle);
    return;
  }
  // Unlinked under the lock; its query is stopped and waited for outside it,
  // so a query thread whose callback calls an export cannot deadlock.
  if (auto device = Unlink(record.handle)) {
    if (!device->IsDetached()) {
      device->StopQuery();
      device.reset();
      PackagePool::GetInstance()->StopDownLoad(record.handle);
    }
  }
  PD_LOG_TRACE("_USBCallBackFun: _RemoveDevice vid:0x%X pid:0x%X HANDLE 0x%X", record.vendor_id, record.product_id,
               handle);
}

void PNPDeviceMangement::OnChange(const DetectedDeviceRecord& record) {
  if (auto device = Find(record.handle)) device->ReplaceRecord(record);
  Raise(PNP_EVENT_CHANGED, record.handle);
}

int PNPDeviceMangement::USBCallBackFun(int event, DetectedDeviceRecord* record, uintptr_t context) {
  auto* self = reinterpret_cast<PNPDeviceMangement*>(context);
  if (!self || !self->callback_.load() || !self->IsInitialized()) return 0;
  PD_LOG_TRACE("_USBCallBackFun: Entry");
  switch (event) {
    case 0:
    case 1:
      if (record) self->OnArrival(event, *record);
      break;
    case 2:
      if (record) self->OnRemoval(*record);
      break;
    case 3:
      self->Raise(PNP_EVENT_LIBRARY, 0);
      break;
    case 4:
      if (record) self->OnChange(*record);
      break;
    default:
      break;
  }
  PD_LOG_TRACE("_USBCallBackFun: Exit");
  return 0;
}

namespace {
PNPDeviceMangement* g_manager = nullptr;  // made at load, deleted at unload
}  // namespace

PNPDeviceMangement& Manager() {
  if (!g_manager) g_manager = new PNPDeviceMangement();
  return *g_manager;
}

void DestroyManager() {
  delete g_manager;  // runs UnInit first
  g_manager = nullptr;
}

}  // namespace devwarden
