#include "kitoracle_interface.h"

#include "module_folder.h"
#include "platform/dynamic_library.h"
#include "platform/module_path.h"

namespace kitfinder {

namespace {
template <typename Pfn>
void Bind(void* module, Pfn& slot, const char* name) {
  slot = reinterpret_cast<Pfn>(platform::FindSymbol(module, name));
}
#define KF_BIND(name) Bind(module_, fn_.name, #name)

const char kNotBound[] = ". Please call InitDSInterface first.";
}  // namespace

bool CDSInterface::InitDSInterface(const std::string& path) {
  std::string file = path.empty() ? platform::ProgramDirectory() + "kitoracle.dll" : path;
  const size_t slash = file.rfind('/');
  const std::string folder = slash == std::string::npos ? std::string(".") : file.substr(0, slash);
  const std::string name = slash == std::string::npos ? file : file.substr(slash + 1);
  std::string error;
  void* module = platform::LoadLibraryFrom(folder, name, &error);
  if (!module) module = platform::LoadLibraryFrom(platform::ProgramDirectory(), "kitoracle.dll", &error);
  if (!module) {
    KIT_LOG("error LoadLibrary %s", file.c_str());
    KIT_LOG("ErrorCode = 0:%s", error.c_str());
    return false;
  }
  // A second binding reuses the library already held: kitoracle stays loaded
  // once, to the end of the process.
  if (module_) {
    platform::FreeLibrary(module);
    module = module_;
  }
  module_ = module;
  KF_BIND(DSInit);
  KF_BIND(DSClose);
  KF_BIND(DSSetMajorAppID);
  KF_BIND(DSGetDeviceDescAndID);
  KF_BIND(DSGetDeviceDescAndIDEx);
  KF_BIND(DSGetBrandAndProductID);
  KF_BIND(DSGetCommonAndNewestDriver);
  KF_BIND(DSGetSpecialCommonAndNewestDriver);
  KF_BIND(DSFreeDriverInfo);
  KF_BIND(DSGetDriverDesc);
  KF_BIND(DSGetBrandSoftware);
  KF_BIND(DSFreeSoftwareInfo);
  KF_BIND(DSIsDriverOSSupply);
  KF_BIND(DSReportDrvInstResult);
  KF_BIND(DSGetMobileProductInfo);
  KF_BIND(DSGetBrandProductDriverInfo);
  KF_BIND(DSGetMultiDeviceDriverInfo);
  KF_BIND(DSGetMultiDeviceDriverInfoEx);
  KF_BIND(DSCheckPeripheralDevice);
  KF_BIND(DSGetCloudSwitchInfo);
  KF_BIND(DSGetCalendarStart);
  KF_BIND(DSStatInfoReport);
  return true;
}

int CDSInterface::DSInit() const {
  if (!fn_.DSInit) {
    KIT_LOG("error NULL == m_pfDSInit%s", kNotBound);
    return DS_ERROR_INTERFACE;
  }
  return fn_.DSInit();
}

void CDSInterface::SetMajorAppID(int app_id) const {
  if (!fn_.DSSetMajorAppID) return KIT_LOG("error NULL == m_pfDSSetMajorAppID%s", kNotBound);
  fn_.DSSetMajorAppID(app_id);
}

int CDSInterface::GetDeviceDescAndID(const char16_t* ids, uint8_t count, int32_t* device_ids, char16_t* desc1,
                                     char16_t* desc2) const {
  if (!fn_.DSGetDeviceDescAndID) {
    KIT_LOG("error NULL == m_pfDSGetDeviceDescAndID%s", kNotBound);
    return DS_ERROR_INTERFACE;
  }
  return fn_.DSGetDeviceDescAndID(ids, count, device_ids, desc1, desc2);
}

int CDSInterface::GetDeviceDescAndIDEx(int kind, const char16_t* ids, uint8_t count, int32_t* device_ids,
                                       char16_t* desc1, char16_t* desc2) const {
  if (!fn_.DSGetDeviceDescAndIDEx) {
    KIT_LOG("error NULL == m_pfDSGetDeviceDescAndIDEx. Replace with m_pfDSGetDeviceDescAndID.");
    return GetDeviceDescAndID(ids, count, device_ids, desc1, desc2);
  }
  return fn_.DSGetDeviceDescAndIDEx(kind, ids, count, device_ids, desc1, desc2);
}

int CDSInterface::GetBrandAndProductID(const char16_t* brand, const char16_t* product, const char16_t* version,
                                       uint8_t flag, int32_t* brand_id, int32_t* product_id, char16_t* brand_name,
                                       char16_t* product_name) const {
  if (!fn_.DSGetBrandAndProductID) {
    KIT_LOG("error NULL == m_pfDSGetBrandAndProductID%s", kNotBound);
    return DS_ERROR_INTERFACE;
  }
  return fn_.DSGetBrandAndProductID(brand, product, version, flag, brand_id, product_id, brand_name, product_name);
}

int CDSInterface::GetCommonAndNewestDriver(SDevInfo* device) const {
  if (!fn_.DSGetCommonAndNewestDriver) {
    KIT_LOG("error NULL == m_pfDSGetCommonAndNewestDriver%s", kNotBound);
    return DS_ERROR_INTERFACE;
  }
  return fn_.DSGetCommonAndNewestDriver(device);
}

int CDSInterface::GetSpecialCommonAndNewestDriver(SDevInfo* first, SDevInfo* second, int flag) const {
  if (!fn_.DSGetSpecialCommonAndNewestDriver) {
    KIT_LOG("error NULL == m_pfDSGetSpecialCommonAndNewestDriver%s", kNotBound);
    return DS_ERROR_INTERFACE;
  }
  return fn_.DSGetSpecialCommonAndNewestDriver(first, second, flag);
}

void CDSInterface::FreeDriverInfo(SDrvInfo* drivers, uint8_t count) const {
  if (!fn_.DSFreeDriverInfo) return KIT_LOG("error NULL == m_pfDSFreeDriverInfo%s", kNotBound);
  fn_.DSFreeDriverInfo(drivers, count);
}

int CDSInterface::GetDriverDesc(int driver_id, int product_id, char16_t* buffer, int* length) const {
  if (!fn_.DSGetDriverDesc) {
    KIT_LOG("error NULL == m_pfDSGetDriverDesc%s", kNotBound);
    return DS_ERROR_INTERFACE;
  }
  return fn_.DSGetDriverDesc(driver_id, product_id, buffer, length);
}

int CDSInterface::GetBrandSoftware(SDevInfo* device, SSoftInfo** soft, uint8_t* count) const {
  if (!fn_.DSGetBrandSoftware) {
    KIT_LOG("error NULL == m_pfDSGetBrandSoftware%s", kNotBound);
    return DS_ERROR_INTERFACE;
  }
  return fn_.DSGetBrandSoftware(device, soft, count);
}

void CDSInterface::FreeSoftwareInfo(SSoftInfo* soft) const {
  if (!fn_.DSFreeSoftwareInfo) return KIT_LOG("error NULL == m_pfDSFreeSoftwareInfo%s", kNotBound);
  fn_.DSFreeSoftwareInfo(soft);
}

int CDSInterface::IsDriverOSSupply(const int32_t* ids, uint8_t count, int value, uint8_t* answer) const {
  if (!fn_.DSIsDriverOSSupply) {
    KIT_LOG("error m_pfDSIsDriverOSSupply is null.");
    return DS_ERROR_INTERFACE;
  }
  return fn_.DSIsDriverOSSupply(ids, count, value, answer);
}

int CDSInterface::ReportDrvInstResult(int device_id, int os_id, int file_id, int os_install_date,
                                      uint8_t result) const {
  if (!fn_.DSReportDrvInstResult) {
    KIT_LOG("error m_pfDSReportDrvInstResult is null.");
    return DS_ERROR_INTERFACE;
  }
  return fn_.DSReportDrvInstResult(device_id, os_id, file_id, os_install_date, result);
}

int CDSInterface::GetMobileProductInfo(int vendor_id, int product_id, const char16_t* text1, const char16_t* text2,
                                       const char16_t* text3, char16_t* result, int capacity) const {
  if (!fn_.DSGetMobileProductInfo) {
    KIT_LOG("error NULL == m_pfDSGetMobileProductInfo");
    return DS_ERROR_INTERFACE;
  }
  return fn_.DSGetMobileProductInfo(vendor_id, product_id, text1, text2, text3, result, capacity);
}

int CDSInterface::GetMultiDeviceDriverInfo(SDevInfo* devices, uint8_t count) const {
  if (!fn_.DSGetMultiDeviceDriverInfo) {
    KIT_LOG("error NULL == m_pfDSGetMultiDeviceDriverInfo");
    return DS_ERROR_INTERFACE;
  }
  return fn_.DSGetMultiDeviceDriverInfo(devices, count);
}

int CDSInterface::GetMultiDeviceDriverInfoEx(int kind, SDevInfo* devices, uint8_t count) const {
  if (!fn_.DSGetMultiDeviceDriverInfoEx) {
    KIT_LOG("error NULL == m_pfDSGetMultiDeviceDriverInfoEx. Replace with m_pfDSGetMultiDeviceDriverInfo.");
    return GetMultiDeviceDriverInfo(devices, count);
  }
  return fn_.DSGetMultiDeviceDriverInfoEx(kind, devices, count);
}

int CDSInterface::CheckPeripheralDevice(SDevInfo* device, uint8_t* answer) const {
  if (!fn_.DSCheckPeripheralDevice) {
    KIT_LOG("error NULL == m_pfDSCheckPeripheralDevice");
    return DS_ERROR_INTERFACE;
  }
  return fn_.DSCheckPeripheralDevice(device, answer);
}

int CDSInterface::GetCloudSwitchInfo(uint32_t value1, uint32_t value2, int16_t language, uint32_t union_id,
                                     char16_t* text, int capacity) const {
  if (!fn_.DSGetCloudSwitchInfo) {
    KIT_LOG("error NULL == m_pfDSGetCloudSwitchInfo");
    return DS_ERROR_INTERFACE;
  }
  return fn_.DSGetCloudSwitchInfo(static_cast<int32_t>(value1), static_cast<int32_t>(value2), language,
                                  static_cast<int32_t>(union_id), 0, nullptr, text, capacity);
}

int CDSInterface::GetCalendarStart(uint32_t value1, uint32_t value2, int16_t language, uint32_t union_id,
                                   uint8_t* start) const {
  if (!fn_.DSGetCalendarStart) {
    KIT_LOG("error NULL == m_pfDSGetCalendarStart");
    return DS_ERROR_INTERFACE;
  }
  return fn_.DSGetCalendarStart(static_cast<int32_t>(value1), static_cast<int32_t>(value2), language,
                                static_cast<int32_t>(union_id), start);
}

int CDSInterface::StatInfoReport(int union_id, int16_t kind, const char16_t* text) const {
  if (!fn_.DSStatInfoReport) {
    KIT_LOG("error NULL == m_pfDSStatInfoReport");
    return DS_ERROR_INTERFACE;
  }
  return fn_.DSStatInfoReport(union_id, kind, text);
}

}  // namespace kitfinder
