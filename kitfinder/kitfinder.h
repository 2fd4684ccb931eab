// libkitfinder.so: driver, software and phone-model queries answered from the
// local SQL cache first and from kitoracle otherwise. 32 flat exports, the
// only names the library exports.
//
// Calling order: DGInit once before any query (a query before it answers
// DS_ERROR_INTERFACE), then the setters, then queries from any thread, then
// DGClose once. The "Local" functions work on this PC (slot 1), the "Other"
// ones on a second machine the host describes (slot 0, never cached). Every
// out pointer and out count must be empty (null, 0) on entry; every array
// returned is freed with DGFreeDrvInfo or DGFreeSoftwareInfo. Texts are UTF-16.
//
// The matched-IDs buffer of the USB driver queries must hold
// DG_MATCHED_IDS_CAPACITY characters; nothing is written past them.
#ifndef KITFINDER_KITFINDER_H_
#define KITFINDER_KITFINDER_H_

#include <cstdint>

#include "kitoracle/driver_records.h"

#define KITFINDER_API extern "C" __attribute__((visibility("default")))

#define DG_MATCHED_IDS_CAPACITY 1024

KITFINDER_API int DGInit();
KITFINDER_API void DGClose();
KITFINDER_API void DGSetMajorAppID(int app_id);
KITFINDER_API void DGSetClientVer(uint64_t version);
KITFINDER_API void DGSetUnionID(int union_id);
// Null leaves a text as it is; each text at most 259 characters.
KITFINDER_API void DGSetLocalBrandStr(const char16_t* brand, const char16_t* product, const char16_t* version);
KITFINDER_API void DGSetLocalSystemInfo(int os_id, int16_t language, uint8_t computer_type);
KITFINDER_API void DGSetDisplayType(int type);
// Buffers of 260 characters each.
KITFINDER_API int DGGetLocalBrandName(char16_t* brand_name, char16_t* product_name);
KITFINDER_API int DGGetLocalBrandSoftware(SSoftInfo** soft, uint8_t* count);
// Description buffers of 260 characters, either may be null.
KITFINDER_API int DGGetLocalPciDrvInfo(const SQueryDevInfo* device, SDrvInfo** drivers, uint8_t* count, char16_t* desc1,
                                       char16_t* desc2);
KITFINDER_API int DGGetLocalPciSpecialDrvInfo(const SQueryDevInfo* first, const SQueryDevInfo* second,
                                              SDrvInfo** drivers, uint8_t* count, char16_t* desc1, char16_t* desc2);
// *length: in the buffer's capacity, out the description's length (wide
// characters); DS_ERROR_NOTENOUGH with the needed length.
KITFINDER_API int DGGetLocalDrvDesc(int driver_id, char16_t* buffer, int* length);
// `lists`: one hardware-ID list per device, one after another.
KITFINDER_API int DGGetLocalUsbDrvInfo(const char16_t* lists, uint8_t device_count, char16_t* matched,
                                       SDrvInfo** drivers, uint8_t* count);
KITFINDER_API int DGGetLocalUsbDrvInfoEx(int mode, const char16_t* lists, uint8_t device_count, char16_t* matched,
                                         SDrvInfo** drivers, uint8_t* count);
// desc1: 260 characters; desc2: 32 characters.
KITFINDER_API int DGGetLocalUsbDrvInfoEx2(int mode, const char16_t* lists, uint8_t device_count, char16_t* matched,
                                          SDrvInfo** drivers, uint8_t* count, char16_t* desc1, char16_t* desc2);
KITFINDER_API int DGCheckPeripheralDevice(const char16_t* list, uint8_t* result);
KITFINDER_API int DGGetMobileProductInfo(int vendor_id, int product_id, const char16_t* adb_name,
                                         const char16_t* product, const char16_t* serial, char16_t* result,
                                         int capacity);
KITFINDER_API void DGSetOtherBrandStr(const char16_t* brand, const char16_t* product, const char16_t* version);
KITFINDER_API void DGSetOtherSystemInfo(int os_id, int16_t language, uint8_t computer_type);
KITFINDER_API int DGGetOtherBrandName(char16_t* brand_name, char16_t* product_name);
KITFINDER_API int DGGetOtherBrandSoftware(SSoftInfo** soft, uint8_t* count);
KITFINDER_API int DGGetOtherPciDrvInfo(const SQueryDevInfo* device, SDrvInfo** drivers, uint8_t* count, char16_t* desc1,
                                       char16_t* desc2);
KITFINDER_API int DGGetOtherPciSpecialDrvInfo(const SQueryDevInfo* first, const SQueryDevInfo* second,
                                              SDrvInfo** drivers, uint8_t* count, char16_t* desc1, char16_t* desc2);
KITFINDER_API int DGGetOtherDrvDesc(int driver_id, char16_t* buffer, int* length);
KITFINDER_API void DGFreeSoftwareInfo(SSoftInfo* soft);
KITFINDER_API void DGFreeDrvInfo(SDrvInfo* drivers, uint8_t count);
// Both need the device in the cache (else DS_ERROR_SQL).
KITFINDER_API int DGIsDriverOSSupply(const SQueryDevInfo* device, int value, uint8_t* result);
KITFINDER_API int DGReportDrvInstResult(const SQueryDevInfo* device, int os_id, int file_id, int os_install_date,
                                        uint8_t result);
KITFINDER_API uint8_t DGIsStartCalendar();
// 1 when the report was sent, else 0.
KITFINDER_API int DGStatReport(int kind, const char16_t* text);
// The advert-type switch of the cloud-switch document, -1 when absent.
KITFINDER_API int DGGetQenAdType();

#endif  // KITFINDER_KITFINDER_H_
