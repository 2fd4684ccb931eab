// libkitoracle.so: the client of the remote driver search service. Every DS
// query is one request/reply exchange with the service, over UDP through
// librelaylink.so while the start-up probe of the dispatch server succeeded,
// else as an HTTP POST. The records are those of kitoracle/driver_records.h.
//
// Arrays this library hands out (SDrvInfo arrays with their pSoftInfo,
// SSoftInfo arrays, SPlugInfo arrays) are freed only through its own free
// functions. Every output pointer and count must be empty on entry.
//
// Endpoints (the environment is read at each DSInit and each HTTP request):
//   PHONEDECK_DS_DISPATCH_HOST   dispatch server host     (default 127.0.0.1)
//   PHONEDECK_DS_DISPATCH_PORTS  probe ports "3000,4000"  (first, then second)
//   PHONEDECK_DS_SEARCH_URL      HTTP search service      (default http://127.0.0.1/drvsearch.ashx)
//   PHONEDECK_DS_PROBE_WAIT_MS   how long DSInit waits for the probe (default 5000)
#ifndef KITORACLE_KITORACLE_H_
#define KITORACLE_KITORACLE_H_

#include <cstdint>

#include "kitoracle/driver_records.h"

#define KITORACLE_API extern "C" __attribute__((visibility("default")))

// One hardware-ID pair of SDevInfo::pDevArgvs (cDevArgvCount entries); sent
// as two UTF-8 strings by DSGetCommonAndNewestDriver.
struct SDevArgv {
  char16_t szFirst[kDriverTextLength];
  char16_t szSecond[kDriverTextLength];
};

// One plug-in of DSGetQenPluginList.
struct SPlugInfo {
  char16_t szText1[36];
  char16_t szIdentity[36];  // the 16-byte identity as 32 lower-case hexadecimal digits
  char16_t szText2[kDriverTextLength];
  char16_t szText3[kDriverTextLength];
};
static_assert(sizeof(SPlugInfo) == 1184, "SPlugInfo is 1184 bytes");

// Life cycle.
KITORACLE_API int DSInit();
KITORACLE_API void DSClose();
KITORACLE_API int DSSetMajorAppID(int appId);  // stored as a byte; returns the value

// Device queries. `count` hardware IDs lie one after another, each ended by
// a zero character; deviceIds has room for `count` entries; description
// holds 260 characters, second 32 (either may be null).
KITORACLE_API int DSGetDeviceDescAndIDEx(int kind, const char16_t* hardwareIds, uint8_t count, int32_t* deviceIds,
                                         char16_t* description, char16_t* second);
KITORACLE_API int DSGetDeviceDescAndID(const char16_t* hardwareIds, uint8_t count, int32_t* deviceIds,
                                       char16_t* description, char16_t* second);
// Names: 260 characters each.
KITORACLE_API int DSGetBrandAndProductID(const char16_t* brand, const char16_t* product, const char16_t* version,
                                         uint8_t flag, int32_t* brandId, int32_t* productId, char16_t* brandName,
                                         char16_t* productName);
// The IDs are taken as their low 16 bits (USB vendor and product IDs).
KITORACLE_API int DSGetMobileProductInfo(int firstId, int secondId, const char16_t* text1, const char16_t* text2,
                                         const char16_t* text3, char16_t* result, int resultCapacity);
KITORACLE_API int DSGetBrandProductDriverInfo(SDevInfo* device);

// Driver queries: results in the (first) record's cDrvCount and pDrvInfo.
KITORACLE_API int DSGetCommonAndNewestDriver(SDevInfo* device);
KITORACLE_API int DSGetSpecialCommonAndNewestDriver(SDevInfo* first, SDevInfo* second, uint8_t flag);
// length: in, the buffer's capacity in characters; out, the text's length + 1.
KITORACLE_API int DSGetDriverDesc(int32_t driverId, int32_t value, char16_t* description, int32_t* length);
KITORACLE_API void DSFreeDriverInfo(SDrvInfo* records, int count);  // count taken as one byte

// Multi-device, peripheral, print cache and resource queries.
KITORACLE_API int DSGetMultiDeviceDriverInfoEx(int kind, SDevInfo* devices, uint8_t count);
KITORACLE_API int DSGetMultiDeviceDriverInfo(SDevInfo* devices, uint8_t count);
KITORACLE_API int DSCheckPeripheralDevice(SDevInfo* device, uint8_t* answer);
// keyLength: at most 16 (a shorter key is sent zero-padded to 16 bytes).
KITORACLE_API int DSCheckPrintCache(const uint8_t* key, int keyLength, uint8_t* flag, char16_t* text, int textCapacity);
// digest: 16 bytes; fileName (may be null) holds 260 characters.
KITORACLE_API int DSSearchServerRes(const uint8_t* digest, char16_t* url, int urlCapacity, char16_t* fileName);

// Reports, brand software and business queries.
KITORACLE_API int DSIsDriverOSSupply(const int32_t* deviceIds, uint8_t count, int32_t value, uint8_t* answer);
KITORACLE_API int DSReportDrvInstResult(int32_t deviceId, int32_t osId, int32_t fileId, int32_t osInstallDate,
                                        uint8_t result);
KITORACLE_API int DSGetBrandSoftware(SDevInfo* device, SSoftInfo** software, uint8_t* count);
KITORACLE_API void DSFreeSoftwareInfo(SSoftInfo* software);
KITORACLE_API void DSFreePlugInfo(SPlugInfo* plugins);
KITORACLE_API int DSGetQenPluginList(uint8_t value1, uint16_t value2, SPlugInfo** plugins, uint8_t* count);
KITORACLE_API int DSGetCloudSwitchInfo(int32_t value1, int32_t value2, int16_t value3, int32_t value4, uint8_t length,
                                       const uint8_t* bytes, char16_t* text, int textCapacity);
KITORACLE_API int DSGetCalendarStart(int32_t value1, int32_t value2, int16_t value3, int32_t value4, uint8_t* start);
KITORACLE_API int DSStatInfoReport(int32_t unionId, int16_t kind, const char16_t* text);
KITORACLE_API int DSDownloadStatReport(int32_t unionId, const void* ignored, int16_t kind, const char16_t* text);

// Pointer types for the callers that bind the exports by name.
using PfnDSInit = int (*)();
using PfnDSClose = void (*)();
using PfnDSSetMajorAppID = int (*)(int);
using PfnDSGetDeviceDescAndIDEx = int (*)(int, const char16_t*, uint8_t, int32_t*, char16_t*, char16_t*);
using PfnDSGetDeviceDescAndID = int (*)(const char16_t*, uint8_t, int32_t*, char16_t*, char16_t*);
using PfnDSGetBrandAndProductID = int (*)(const char16_t*, const char16_t*, const char16_t*, uint8_t, int32_t*,
                                          int32_t*, char16_t*, char16_t*);
using PfnDSGetMobileProductInfo = int (*)(int, int, const char16_t*, const char16_t*, const char16_t*, char16_t*, int);
using PfnDSGetBrandProductDriverInfo = int (*)(SDevInfo*);
using PfnDSGetCommonAndNewestDriver = int (*)(SDevInfo*);
using PfnDSGetSpecialCommonAndNewestDriver = int (*)(SDevInfo*, SDevInfo*, uint8_t);
using PfnDSGetDriverDesc = int (*)(int32_t, int32_t, char16_t*, int32_t*);
using PfnDSFreeDriverInfo = void (*)(SDrvInfo*, int);
using PfnDSGetMultiDeviceDriverInfoEx = int (*)(int, SDevInfo*, uint8_t);
using PfnDSGetMultiDeviceDriverInfo = int (*)(SDevInfo*, uint8_t);
using PfnDSCheckPeripheralDevice = int (*)(SDevInfo*, uint8_t*);
using PfnDSCheckPrintCache = int (*)(const uint8_t*, int, uint8_t*, char16_t*, int);
using PfnDSSearchServerRes = int (*)(const uint8_t*, char16_t*, int, char16_t*);
using PfnDSIsDriverOSSupply = int (*)(const int32_t*, uint8_t, int32_t, uint8_t*);
using PfnDSReportDrvInstResult = int (*)(int32_t, int32_t, int32_t, int32_t, uint8_t);
using PfnDSGetBrandSoftware = int (*)(SDevInfo*, SSoftInfo**, uint8_t*);
using PfnDSFreeSoftwareInfo = void (*)(SSoftInfo*);
using PfnDSFreePlugInfo = void (*)(SPlugInfo*);
using PfnDSGetQenPluginList = int (*)(uint8_t, uint16_t, SPlugInfo**, uint8_t*);
using PfnDSGetCloudSwitchInfo = int (*)(int32_t, int32_t, int16_t, int32_t, uint8_t, const uint8_t*, char16_t*, int);
using PfnDSGetCalendarStart = int (*)(int32_t, int32_t, int16_t, int32_t, uint8_t*);
using PfnDSStatInfoReport = int (*)(int32_t, int16_t, const char16_t*);
using PfnDSDownloadStatReport = int (*)(int32_t, const void*, int16_t, const char16_t*);

#endif  // KITORACLE_KITORACLE_H_
