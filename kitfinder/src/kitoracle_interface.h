// CDSInterface: kitoracle bound by name, one forwarding method per DS
// function. A forwarder whose function is not bound writes one log line and
// answers DS_ERROR_INTERFACE (or nothing, for the functions without a result).
//
// Threading: bound by CGetProgress::Init under the query front's lock; the
// query front copies the table under that lock before calling out, so the
// forwarders themselves need no lock.
#ifndef KITFINDER_SRC_KITORACLE_INTERFACE_H_
#define KITFINDER_SRC_KITORACLE_INTERFACE_H_

#include <cstdint>
#include <string>

#include "kitoracle/driver_records.h"
#include "kitoracle/kitoracle.h"

namespace kitfinder {

// The 22 functions, typed as kitoracle declares them.
struct DSFunctions {
  PfnDSInit DSInit = nullptr;
  PfnDSClose DSClose = nullptr;
  PfnDSSetMajorAppID DSSetMajorAppID = nullptr;
  PfnDSGetDeviceDescAndID DSGetDeviceDescAndID = nullptr;
  PfnDSGetDeviceDescAndIDEx DSGetDeviceDescAndIDEx = nullptr;
  PfnDSGetBrandAndProductID DSGetBrandAndProductID = nullptr;
  PfnDSGetCommonAndNewestDriver DSGetCommonAndNewestDriver = nullptr;
  PfnDSGetSpecialCommonAndNewestDriver DSGetSpecialCommonAndNewestDriver = nullptr;
  PfnDSFreeDriverInfo DSFreeDriverInfo = nullptr;
  PfnDSGetDriverDesc DSGetDriverDesc = nullptr;
  PfnDSGetBrandSoftware DSGetBrandSoftware = nullptr;
  PfnDSFreeSoftwareInfo DSFreeSoftwareInfo = nullptr;
  PfnDSIsDriverOSSupply DSIsDriverOSSupply = nullptr;
  PfnDSReportDrvInstResult DSReportDrvInstResult = nullptr;
  PfnDSGetMobileProductInfo DSGetMobileProductInfo = nullptr;
  PfnDSGetBrandProductDriverInfo DSGetBrandProductDriverInfo = nullptr;
  PfnDSGetMultiDeviceDriverInfo DSGetMultiDeviceDriverInfo = nullptr;
  PfnDSGetMultiDeviceDriverInfoEx DSGetMultiDeviceDriverInfoEx = nullptr;
  PfnDSCheckPeripheralDevice DSCheckPeripheralDevice = nullptr;
  PfnDSGetCloudSwitchInfo DSGetCloudSwitchInfo = nullptr;
  PfnDSGetCalendarStart DSGetCalendarStart = nullptr;
  PfnDSStatInfoReport DSStatInfoReport = nullptr;
};

class CDSInterface {
 public:
  // Loads kitoracle from `path` (an empty path: the host program's folder +
  // "kitoracle.dll"), falling back to the plain file name; binds the 22
  // names. False when the library cannot be loaded (logged).
  bool InitDSInterface(const std::string& path);

  int DSInit() const;
  void SetMajorAppID(int app_id) const;
  int GetDeviceDescAndID(const char16_t* ids, uint8_t count, int32_t* device_ids, char16_t* desc1,
                         char16_t* desc2) const;
  int GetDeviceDescAndIDEx(int kind, const char16_t* ids, uint8_t count, int32_t* device_ids, char16_t* desc1,
                           char16_t* desc2) const;
  int GetBrandAndProductID(const char16_t* brand, const char16_t* product, const char16_t* version, uint8_t flag,
                           int32_t* brand_id, int32_t* product_id, char16_t* brand_name, char16_t* product_name) const;
  int GetCommonAndNewestDriver(SDevInfo* device) const;
  int GetSpecialCommonAndNewestDriver(SDevInfo* first, SDevInfo* second, int flag) const;
  void FreeDriverInfo(SDrvInfo* drivers, uint8_t count) const;
  int GetDriverDesc(int driver_id, int product_id, char16_t* buffer, int* length) const;
  int GetBrandSoftware(SDevInfo* device, SSoftInfo** soft, uint8_t* count) const;
  void FreeSoftwareInfo(SSoftInfo* soft) const;
  int IsDriverOSSupply(const int32_t* ids, uint8_t count, int value, uint8_t* answer) const;
  int ReportDrvInstResult(int device_id, int os_id, int file_id, int os_install_date, uint8_t result) const;
  int GetMobileProductInfo(int vendor_id, int product_id, const char16_t* text1, const char16_t* text2,
                           const char16_t* text3, char16_t* result, int capacity) const;
  int GetMultiDeviceDriverInfo(SDevInfo* devices, uint8_t count) const;
  int GetMultiDeviceDriverInfoEx(int kind, SDevInfo* devices, uint8_t count) const;
  int CheckPeripheralDevice(SDevInfo* device, uint8_t* answer) const;
  // value1, value2: the client version's low and high words.
  int GetCloudSwitchInfo(uint32_t value1, uint32_t value2, int16_t language, uint32_t union_id, char16_t* text,
                         int capacity) const;
  int GetCalendarStart(uint32_t value1, uint32_t value2, int16_t language, uint32_t union_id, uint8_t* start) const;
  int StatInfoReport(int union_id, int16_t kind, const char16_t* text) const;

 private:
  DSFunctions fn_;
  void* module_ = nullptr;
};

}  // namespace kitfinder

#endif  // KITFINDER_SRC_KITORACLE_INTERFACE_H_
