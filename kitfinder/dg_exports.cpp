// The 32 DG exports: each fetches the query front (made on first use) and
// calls one of its operations with the slot it names.
#include "get_progress.h"
#include "kitfinder.h"
#include "module_folder.h"
#include "record_copy.h"

using kitfinder::CGetProgress;

namespace {
constexpr int kOther = 0;
constexpr int kLocal = 1;

std::shared_ptr<CGetProgress> Front() { return CGetProgress::GetInstance(); }
}  // namespace

#define WITH_FRONT(not_ready) \
  auto front = Front();       \
  if (!front) return not_ready

KITFINDER_API int DGInit() {
  WITH_FRONT(DS_ERROR_INTERFACE);
  return front->Init();
}

KITFINDER_API void DGClose() {
  if (auto front = Front()) front->Release();
  kitoracle::CBaseLog::Instance().LogClose();
  CGetProgress::DestroyInstance();
}

KITFINDER_API void DGSetMajorAppID(int app_id) {
  WITH_FRONT();
  front->SetMajorAppID(app_id);
}

KITFINDER_API void DGSetClientVer(uint64_t version) {
  WITH_FRONT();
  front->SetClientVer(version);
}

KITFINDER_API void DGSetUnionID(int union_id) {
  WITH_FRONT();
  front->SetUnionID(union_id);
}

KITFINDER_API void DGSetLocalBrandStr(const char16_t* brand, const char16_t* product, const char16_t* version) {
  WITH_FRONT();
  front->SetBrandStr(kLocal, brand, product, version);
}

KITFINDER_API void DGSetLocalSystemInfo(int os_id, int16_t language, uint8_t computer_type) {
  WITH_FRONT();
  front->SetSystemInfo(kLocal, os_id, language, computer_type);
}

KITFINDER_API void DGSetDisplayType(int type) {
  WITH_FRONT();
  front->SetDisplayType(type);
}

KITFINDER_API int DGGetLocalBrandName(char16_t* brand_name, char16_t* product_name) {
  WITH_FRONT(DS_ERROR_INTERFACE);
  return front->GetBrandName(kLocal, brand_name, product_name);
}

KITFINDER_API int DGGetLocalBrandSoftware(SSoftInfo** soft, uint8_t* count) {
  WITH_FRONT(DS_ERROR_INTERFACE);
  return front->GetBrandSoftware(kLocal, soft, count);
}

KITFINDER_API int DGGetLocalPciDrvInfo(const SQueryDevInfo* device, SDrvInfo** drivers, uint8_t* count, char16_t* desc1,
                                       char16_t* desc2) {
  WITH_FRONT(DS_ERROR_INTERFACE);
  return front->GetPciDrvInfo(kLocal, device, drivers, count, desc1, desc2);
}

KITFINDER_API int DGGetLocalPciSpecialDrvInfo(const SQueryDevInfo* first, const SQueryDevInfo* second,
                                              SDrvInfo** drivers, uint8_t* count, char16_t* desc1, char16_t* desc2) {
  WITH_FRONT(DS_ERROR_INTERFACE);
  return front->GetPciSpecialDrvInfo(kLocal, first, second, drivers, count, desc1, desc2);
}

KITFINDER_API int DGGetLocalDrvDesc(int driver_id, char16_t* buffer, int* length) {
  WITH_FRONT(DS_ERROR_INTERFACE);
  return front->GetDrvDesc(kLocal, driver_id, buffer, length);
}

KITFINDER_API int DGGetLocalUsbDrvInfo(const char16_t* lists, uint8_t device_count, char16_t* matched,
                                       SDrvInfo** drivers, uint8_t* count) {
  return DGGetLocalUsbDrvInfoEx2(0, lists, device_count, matched, drivers, count, nullptr, nullptr);
}

KITFINDER_API int DGGetLocalUsbDrvInfoEx(int mode, const char16_t* lists, uint8_t device_count, char16_t* matched,
                                         SDrvInfo** drivers, uint8_t* count) {
  return DGGetLocalUsbDrvInfoEx2(mode, lists, device_count, matched, drivers, count, nullptr, nullptr);
}

KITFINDER_API int DGGetLocalUsbDrvInfoEx2(int mode, const char16_t* lists, uint8_t device_count, char16_t* matched,
                                          SDrvInfo** drivers, uint8_t* count, char16_t* desc1, char16_t* desc2) {
  WITH_FRONT(DS_ERROR_INTERFACE);
  return front->GetUsbDrvInfo(mode, lists, device_count, matched, DG_MATCHED_IDS_CAPACITY, drivers, count, desc1,
                              desc2);
}

KITFINDER_API int DGCheckPeripheralDevice(const char16_t* list, uint8_t* result) {
  WITH_FRONT(DS_ERROR_INTERFACE);
  return front->CheckPeripheralDevice(list, result);
}

KITFINDER_API int DGGetMobileProductInfo(int vendor_id, int product_id, const char16_t* adb_name,
                                         const char16_t* product, const char16_t* serial, char16_t* result,
                                         int capacity) {
  WITH_FRONT(DS_ERROR_INTERFACE);
  return front->GetMobileProductInfo(vendor_id, product_id, adb_name, product, serial, result, capacity);
}

KITFINDER_API void DGSetOtherBrandStr(const char16_t* brand, const char16_t* product, const char16_t* version) {
  WITH_FRONT();
  front->SetBrandStr(kOther, brand, product, version);
}

KITFINDER_API void DGSetOtherSystemInfo(int os_id, int16_t language, uint8_t computer_type) {
  WITH_FRONT();
  front->SetSystemInfo(kOther, os_id, language, computer_type);
}

KITFINDER_API int DGGetOtherBrandName(char16_t* brand_name, char16_t* product_name) {
  WITH_FRONT(DS_ERROR_INTERFACE);
  return front->GetBrandName(kOther, brand_name, product_name);
}

KITFINDER_API int DGGetOtherBrandSoftware(SSoftInfo** soft, uint8_t* count) {
  WITH_FRONT(DS_ERROR_INTERFACE);
  return front->GetBrandSoftware(kOther, soft, count);
}

KITFINDER_API int DGGetOtherPciDrvInfo(const SQueryDevInfo* device, SDrvInfo** drivers, uint8_t* count, char16_t* desc1,
                                       char16_t* desc2) {
  WITH_FRONT(DS_ERROR_INTERFACE);
  return front->GetPciDrvInfo(kOther, device, drivers, count, desc1, desc2);
}

KITFINDER_API int DGGetOtherPciSpecialDrvInfo(const SQueryDevInfo* first, const SQueryDevInfo* second,
                                              SDrvInfo** drivers, uint8_t* count, char16_t* desc1, char16_t* desc2) {
  WITH_FRONT(DS_ERROR_INTERFACE);
  return front->GetPciSpecialDrvInfo(kOther, first, second, drivers, count, desc1, desc2);
}

KITFINDER_API int DGGetOtherDrvDesc(int driver_id, char16_t* buffer, int* length) {
  WITH_FRONT(DS_ERROR_INTERFACE);
  return front->GetDrvDesc(kOther, driver_id, buffer, length);
}

KITFINDER_API void DGFreeSoftwareInfo(SSoftInfo* soft) {
  Front();
  kitfinder::FreeSoftware(soft);
}

KITFINDER_API void DGFreeDrvInfo(SDrvInfo* drivers, uint8_t count) {
  Front();
  kitfinder::FreeDrivers(drivers, count);
}

KITFINDER_API int DGIsDriverOSSupply(const SQueryDevInfo* device, int value, uint8_t* result) {
  WITH_FRONT(DS_ERROR_INTERFACE);
  return front->IsDriverOSSupply(device, value, result);
}

KITFINDER_API int DGReportDrvInstResult(const SQueryDevInfo* device, int os_id, int file_id, int os_install_date,
                                        uint8_t result) {
  WITH_FRONT(DS_ERROR_INTERFACE);
  return front->ReportDrvInstResult(device, os_id, file_id, os_install_date, result);
}

KITFINDER_API uint8_t DGIsStartCalendar() {
  WITH_FRONT(0);
  return front->IsStartCalendar() ? 1 : 0;
}

KITFINDER_API int DGStatReport(int kind, const char16_t* text) {
  WITH_FRONT(0);
  return front->StatReport(kind, text) ? 1 : 0;
}

KITFINDER_API int DGGetQenAdType() {
  WITH_FRONT(-1);
  return front->GetQenAdType();
}
