#include "bindings/kitfinder_interface.h"

#include "bindings/library_binding.h"
#include "foundation/base/log.h"

namespace devwarden {

namespace {
void LogMissing() { PD_LOG_ERROR("error ProcAddr is NULL."); }
}  // namespace

bool KitfinderInterface::Bind(const std::string& folder) {
  std::string error;
  void* lib = platform::LoadLibraryFrom(folder, "kitfinder.dll", &error);
  if (!lib) {
    PD_LOG_ERROR("error LoadLibrary[%s] %s", folder.c_str(), error.c_str());
    Release();
    return false;
  }
  library = lib;
  DEVWARDEN_BIND(lib, *this, DGInit);
  DEVWARDEN_BIND(lib, *this, DGClose);
  DEVWARDEN_BIND(lib, *this, DGSetMajorAppID);
  DEVWARDEN_BIND(lib, *this, DGSetClientVer);
  DEVWARDEN_BIND(lib, *this, DGSetUnionID);
  DEVWARDEN_BIND(lib, *this, DGSetLocalBrandStr);
  DEVWARDEN_BIND(lib, *this, DGSetLocalSystemInfo);
  DEVWARDEN_BIND(lib, *this, DGGetLocalBrandName);
  DEVWARDEN_BIND(lib, *this, DGGetLocalBrandSoftware);
  DEVWARDEN_BIND(lib, *this, DGGetLocalPciDrvInfo);
  DEVWARDEN_BIND(lib, *this, DGGetLocalPciSpecialDrvInfo);
  DEVWARDEN_BIND(lib, *this, DGGetLocalDrvDesc);
  DEVWARDEN_BIND(lib, *this, DGGetLocalUsbDrvInfo);
  DEVWARDEN_BIND(lib, *this, DGGetLocalUsbDrvInfoEx);
  DEVWARDEN_BIND(lib, *this, DGGetLocalUsbDrvInfoEx2);
  DEVWARDEN_BIND(lib, *this, DGCheckPeripheralDevice);
  DEVWARDEN_BIND(lib, *this, DGGetMobileProductInfo);
  DEVWARDEN_BIND(lib, *this, DGSetOtherBrandStr);
  DEVWARDEN_BIND(lib, *this, DGSetOtherSystemInfo);
  DEVWARDEN_BIND(lib, *this, DGGetOtherBrandName);
  DEVWARDEN_BIND(lib, *this, DGGetOtherBrandSoftware);
  DEVWARDEN_BIND(lib, *this, DGGetOtherPciDrvInfo);
  DEVWARDEN_BIND(lib, *this, DGGetOtherPciSpecialDrvInfo);
  DEVWARDEN_BIND(lib, *this, DGGetOtherDrvDesc);
  DEVWARDEN_BIND(lib, *this, DGFreeSoftwareInfo);
  DEVWARDEN_BIND(lib, *this, DGFreeDrvInfo);
  DEVWARDEN_BIND(lib, *this, DGIsDriverOSSupply);
  DEVWARDEN_BIND(lib, *this, DGReportDrvInstResult);
  DEVWARDEN_BIND(lib, *this, DGIsStartCalendar);
  DEVWARDEN_BIND(lib, *this, DGStatReport);
  return true;
}

void KitfinderInterface::Release() { *this = KitfinderInterface(); }

int KitfinderInterface::Init() {
  if (!DGInit) {
    LogMissing();
    return 3;
  }
  return DGInit();
}

void KitfinderInterface::Close() {
  if (!DGClose) return LogMissing();
  DGClose();
}

void KitfinderInterface::SetMajorAppID(int id) {
  if (!DGSetMajorAppID) return LogMissing();
  DGSetMajorAppID(id);
}

void KitfinderInterface::SetClientVer(uint64_t version) {
  if (!DGSetClientVer) return LogMissing();
  DGSetClientVer(version);
}

void KitfinderInterface::SetUnionID(int union_id) {
  if (!DGSetUnionID) return LogMissing();
  DGSetUnionID(union_id);
}

void KitfinderInterface::SetLocalBrandStr(const char16_t* brand, const char16_t* version, const char16_t* product) {
  if (!DGSetLocalBrandStr) return LogMissing();
  DGSetLocalBrandStr(brand, version, product);
}

void KitfinderInterface::SetLocalSystemInfo(int os_id, int language, int computer_type) {
  if (!DGSetLocalSystemInfo) return LogMissing();
  DGSetLocalSystemInfo(os_id, static_cast<uint16_t>(language), static_cast<uint8_t>(computer_type));
}

int KitfinderInterface::GetLocalUsbDrvInfo(int mode, const char16_t* ids, uint8_t id_count, char16_t* matched,
                                           SDrvInfo** records, uint8_t* record_count, char16_t* description,
                                           char16_t* class_name) {
  if (DGGetLocalUsbDrvInfoEx2)
    return DGGetLocalUsbDrvInfoEx2(mode, ids, id_count, matched, records, record_count, description, class_name);
  PD_LOG_ERROR("error m_pfDGGetLocalUsbDrvInfoEx2 is NULL.Replace with m_pfDGGetLocalUsbDrvInfoEx.");
  if (DGGetLocalUsbDrvInfoEx) return DGGetLocalUsbDrvInfoEx(mode, ids, id_count, matched, records, record_count);
  PD_LOG_ERROR("error m_pfDGGetLocalUsbDrvInfoEx is NULL.Replace with m_pfDGGetLocalUsbDrvInfo.");
  if (DGGetLocalUsbDrvInfo) return DGGetLocalUsbDrvInfo(ids, id_count, matched, records, record_count);
  LogMissing();
  return 3;
}

int KitfinderInterface::CheckPeripheralDevice(const char16_t* ids, uint8_t* answer) {
  if (!DGCheckPeripheralDevice) {
    LogMissing();
    return 3;
  }
  return DGCheckPeripheralDevice(ids, answer);
}

int KitfinderInterface::GetMobileProductInfo(int vendor_id, int product_id, const char16_t* adb_name,
                                             const char16_t* product, const char16_t* serial, char16_t* xml,
                                             int xml_capacity) {
  if (!DGGetMobileProductInfo) {
    LogMissing();
    return 3;
  }
  return DGGetMobileProductInfo(vendor_id, product_id, adb_name, product, serial, xml, xml_capacity);
}

void KitfinderInterface::FreeDrvInfo(SDrvInfo* records, uint8_t count) {
  if (!DGFreeDrvInfo) return LogMissing();
  DGFreeDrvInfo(records, count);
}

int KitfinderInterface::StatReport(int kind, uintptr_t report) {
  if (!DGStatReport) {
    LogMissing();
    return 0;
  }
  return DGStatReport(kind, report);
}

KitfinderInterface& Kitfinder() {
  static KitfinderInterface table;
  return table;
}

}  // namespace devwarden
