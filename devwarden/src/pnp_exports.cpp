// The PNP_ exports: thin wrappers over the manager, the settings and the
// devices. Every per-device export finds the device under the list lock,
// keeps it alive by shared ownership and works on it outside the lock.
#include <sys/stat.h>

#include <cstring>

#include "android_model.h"
#include "base/base_string.h"
#include "bindings/kitfinder_interface.h"
#include "bindings/portsniffer_interface.h"
#include "device_class.h"
#include "devwarden.h"
#include "foundation/base/log.h"
#include "package_pool.h"
#include "pnp_device_management.h"
#include "pnp_settings.h"

using devwarden::EditSettings;
using devwarden::Manager;
using devwarden::PnpSettings;

PNP_API int PNP_Init(PnpDeviceCallback device_callback, uintptr_t device_context,
                     PnpDownloadCallback download_callback, uintptr_t download_context) {
  return Manager().Init(device_callback, device_context, download_callback, download_context);
}

PNP_API int PNP_Start(void) { return Manager().Start(); }

PNP_API void PNP_UnInit(void) { Manager().UnInit(); }

PNP_API int PNP_Refresh(void) {
  const auto& ud = devwarden::Portsniffer();
  return ud.UD_Reset ? ud.UD_Reset() : 0;
}

PNP_API void PNP_SetWorkMode(int mode) {
  if (Manager().IsInitialized()) return;
  EditSettings([mode](PnpSettings& s) { s.work_mode = mode; });
}

PNP_API int PNP_SetWorkPath(const char16_t* path) {
  const std::u16string text = path ? path : u"";
  EditSettings([&text](PnpSettings& s) { s.work_path = text; });
  // The folder where further libraries may be looked for: it has to exist.
  struct stat st;
  return !text.empty() && ::stat(devwarden::ToUtf8(text).c_str(), &st) == 0 && S_ISDIR(st.st_mode) ? 1 : 0;
}

PNP_API void PNP_SetDownLoadPath(const char16_t* path) {
  const std::u16string text = path ? path : u"";
  EditSettings([&text](PnpSettings& s) { s.download_path = text; });
}

PNP_API void PNP_SetADBDeviceName(const char16_t* name) {
  const std::u16string text = name ? name : u"";
  EditSettings([&text](PnpSettings& s) { s.adb_device_name = text; });
}

PNP_API void PNP_SetDetectClass(int mask) {
  EditSettings([mask](PnpSettings& s) { s.detect_class = mask; });
}

PNP_API void PNP_SetQENUnionID(int union_id) {
  EditSettings([union_id](PnpSettings& s) { s.union_id = static_cast<uint16_t>(union_id); });
}

PNP_API void PNP_SetQENVersion(int low, int high) {
  EditSettings([low, high](PnpSettings& s) {
    s.version_low = static_cast<uint32_t>(low);
    s.version_high = static_cast<uint32_t>(high);
  });
}

PNP_API int PNP_GetDeviceClass(int device, int* class_bits) {
  auto d = Manager().FindReady(device);
  if (!d || !class_bits) return 0;
  *class_bits = d->GetClass();
  return 1;
}

PNP_API int PNP_GetDeviceStatus(int device) {
  auto d = Manager().FindReady(device);
  return d ? d->GetStatus() : PNP_STATUS_NOT_READY;
}

PNP_API int PNP_GetDeviceSerialNumber(int device, char16_t* buffer64) {
  auto d = Manager().FindReady(device);
  if (!d || !buffer64) return 0;
  d->GetSerialNumber(buffer64);
  return 1;
}

PNP_API int PNP_GetDeviceManufName(int device, char16_t* buffer64) {
  auto d = Manager().FindReady(device);
  if (!d || !buffer64) return 0;
  d->GetManufName(buffer64);
  return 1;
}

PNP_API int PNP_GetDeviceProductName(int device, char16_t* buffer64) {
  auto d = Manager().FindReady(device);
  if (!d || !buffer64) return 0;
  d->GetProductName(buffer64);
  return 1;
}

PNP_API int PNP_GetDeviceDriverDesc(int device, char16_t* buffer64) {
  auto d = Manager().FindReady(device);
  if (!d || !buffer64) return 0;
  d->GetDriverDesc(buffer64);
  return 1;
}

PNP_API int PNP_Dump_DeviceHwIDs(int device, char16_t* buffer, int* count) {
  auto d = Manager().FindReady(device);
  if (!d || !count) return 0;
  return d->DumpHwIDs(buffer, count);
}

PNP_API int PNP_GetAndroidCurrentMode(int device) {
  auto d = Manager().FindReady(device);
  if (!d || d->GetClass() != devwarden::kClassAndroid) return -1;
  return d->AndroidMode();
}

PNP_API int PNP_GetDevicePort(int device) {
  auto d = Manager().FindReady(device);
  if (!d) return -1;
  const uint32_t port = static_cast<uint32_t>(d->VendorId()) | static_cast<uint32_t>(d->ProductId()) << 16;
  return static_cast<int>(port ^ static_cast<uint32_t>(device));
}

PNP_API int PNP_GetDeviceProperty(int device, int id, void* buffer, unsigned size, int* needed) {
  auto d = Manager().FindReady(device);
  return d ? d->GetProperty(id, buffer, size, needed) : 0;
}

PNP_API int PNP_GetDeviceAdvanceInfo(int device, AndroidModelInfo* info) {
  if (!info || info->version != PNP_MODEL_INFO_VERSION || info->size != PNP_MODEL_INFO_SIZE) return 0;
  auto d = Manager().FindReady(device);
  return d ? d->GetAdvanceInfo(info, info->size) : 0;
}

PNP_API int PNP_QueryAndroidModelInfo(int device, AndroidModelInfo* info) {
  if (!info) return 0;
  auto d = Manager().FindReady(device);
  if (!d) return 0;
  AndroidModelInfo own;
  std::memset(&own, 0, sizeof own);
  own.version = PNP_MODEL_INFO_VERSION;
  own.size = PNP_MODEL_INFO_SIZE;
  if (!d->GetAdvanceInfo(&own, own.size)) return 0;
  std::memcpy(info, &own, sizeof own);
  return 1;
}

PNP_API int PNP_QueryAndroidModel(const char16_t* brand, const char16_t* model, AndroidModelInfo* info) {
  // Without a model name there is nothing to ask for.
  if (!Manager().IsInitialized() || !info || !model || !model[0]) return 0;
  const uint16_t vendor = devwarden::FindVendorIdByName(brand);
  return devwarden::GetMobileProductInfo(vendor, 0, model, model, u"123456", info);
}

PNP_API int PNP_QueryAndroidModelFromOther(const char16_t* brand, const char16_t* model, AndroidModelInfo* info)
    __attribute__((alias("PNP_QueryAndroidModel")));

PNP_API int PNP_GetUpdateDriverCount(int device) {
  auto d = Manager().FindReady(device);
  return d ? static_cast<int>(d->PackageCount()) : -1;
}

PNP_API int PNP_IsNeedUpdate(int device) {
  auto d = Manager().FindReady(device);
  return d ? d->IsNeedUpdate() : 0;
}

PNP_API int PNP_IsSupportUpdate(int device) {
  auto d = Manager().FindReady(device);
  return d ? d->IsSupportUpdate() : 0;
}

PNP_API int PNP_DownLoadDriver(int device) {
  if (!devwarden::GetSettings().Enabled(PNP_WORKMODE_DOWNLOAD)) return 0;
  auto d = Manager().FindReady(device);
  return d ? d->DownloadDrivers() : 0;
}

PNP_API void PNP_StopDownLoadDriver(int device) {
  if (Manager().IsInitialized()) devwarden::PackagePool::GetInstance()->StopDownLoad(device);
}

PNP_API int PNP_GetDownLoadInfo(int device, uint64_t* total, uint64_t* downloaded, int* speed) {
  auto d = Manager().FindReady(device);
  if (!d || !total || !downloaded || !speed) return 0;
  devwarden::PackagePool::GetInstance()->GetDownLoadInfo(device, total, downloaded, speed);
  return 1;
}

PNP_API int PNP_UpdateDrvier(int device) {
  auto d = Manager().FindReady(device);
  return d ? d->Update() : 0;
}

PNP_API int PNP_AndroidReport(int kind, uintptr_t report) {
  return devwarden::Kitfinder().StatReport(kind, report) != 0 ? 1 : 0;
}
