// The driver information records and result codes that travel between
// devwarden, kitfinder, kitoracle and the SQL cache: the same layout in all
// of them, because the cache stores the records as they are.
//
// Layout: the fields stand in the given order with natural alignment (16-bit
// fields on 2, 32-bit on 4, 64-bit on 8 bytes). Texts are UTF-16 (char16_t)
// arrays of 260 characters, zero-filled by the producer, so a text of at
// most 259 characters is always terminated. Arrays that travel with a count
// hold at most 255 records (8-bit counts).
//
// Pointers: the records were laid out for 32-bit pointers. SSysInfo,
// SQueryDevInfo, SDevCacheInfo and SSoftInfo hold none and keep that layout
// byte for byte. SDrvInfo and SDevInfo hold pointers, which a 64-bit process
// cannot fit in 4-byte slots: every field before the first pointer keeps its
// 32-bit offset, each pointer becomes an 8-byte field on an 8-byte boundary,
// and the padding in front of it is an explicit reserved field, so the
// 64-bit layout below is fixed (and asserted) rather than left to the
// compiler. Such records are never exchanged with a 32-bit process.
//
// Ownership: every array a DG function returns is allocated with new[] by
// kitfinder and freed only by its own free functions; a record's pSoftInfo
// belongs to whoever made that copy of the record. A holder that keeps a
// copy of an SDrvInfo beyond the array's life must clear the copy's
// pSoftInfo and cSoftCount.
#ifndef KITORACLE_DRIVER_RECORDS_H_
#define KITORACLE_DRIVER_RECORDS_H_

#include <cstddef>
#include <cstdint>

// Result codes of every DG and DS query.
enum DS_ERROR : int32_t {
  DS_ERROR_SUCCESS = 0,    // done
  DS_ERROR_OTHER = 1,      // an allocation or other internal step failed
  DS_ERROR_PARAMETER = 2,  // a required pointer is null, an output was not empty, or an empty ID list
  DS_ERROR_INTERFACE = 3,  // kitoracle or the function needed from it is not bound
  DS_ERROR_NET = 4,        // the search service could not be reached
  DS_ERROR_FORMAT = 5,     // the reply was malformed
  DS_ERROR_NODATA = 6,     // nothing to report or return
  DS_ERROR_NOTENOUGH = 7,  // the caller's buffer is too small; the needed length is returned
  DS_ERROR_SQL = 8,        // the cache is not available or does not hold the device
};

// The codes' names as log lines print them ("%s" of the UTF-8 form, or the
// UTF-16 slots of 32 characters), indexed by the code.
inline constexpr char16_t kDsErrorNames[9][32] = {
    u"DS_ERROR_SUCCESS", u"DS_ERROR_OTHER",  u"DS_ERROR_PARAMETER", u"DS_ERROR_INTERFACE", u"DS_ERROR_NET",
    u"DS_ERROR_FORMAT",  u"DS_ERROR_NODATA", u"DS_ERROR_NOTENOUGH", u"DS_ERROR_SQL",
};

constexpr int kDriverTextLength = 260;      // characters of every sz field
constexpr int kHardwareIdListLength = 1024;  // characters of szHardwareIDs

// What is known of one machine.
struct SSysInfo {
  char16_t szBrandStr[kDriverTextLength];    // the host's first text: the maker
  char16_t szProductStr[kDriverTextLength];  // second text (devwarden passes the system version)
  char16_t szProductVer[kDriverTextLength];  // third text (devwarden passes the product name)
  int32_t iOSID;
  int16_t sLanguage;
  uint8_t cComputerType;
  int32_t iBrandID;
  int32_t iProductID;
  char16_t szBrandName[kDriverTextLength];
  char16_t szProductName[kDriverTextLength];
  int32_t iStamp;  // hour stamp YYYYMMDDHH when stored in the cache; 0 when never stored
};
static_assert(offsetof(SSysInfo, iOSID) == 1560, "SSysInfo layout");
static_assert(offsetof(SSysInfo, sLanguage) == 1564, "SSysInfo layout");
static_assert(offsetof(SSysInfo, cComputerType) == 1566, "SSysInfo layout");
static_assert(offsetof(SSysInfo, iBrandID) == 1568, "SSysInfo layout");
static_assert(offsetof(SSysInfo, szBrandName) == 1576, "SSysInfo layout");
static_assert(offsetof(SSysInfo, iStamp) == 2616, "SSysInfo layout");
static_assert(sizeof(SSysInfo) == 2620, "SSysInfo is 2620 bytes");

// One device as a caller of the PCI queries, DGIsDriverOSSupply and
// DGReportDrvInstResult describes it.
struct SQueryDevInfo {
  char16_t szClass[kDriverTextLength];
  char16_t szHardwareIDs[kHardwareIdListLength];  // hardware-ID list
  uint8_t cLocalDrvStatus;
  int32_t iLocalDrvDate;
  uint8_t cNeedPackType;
};
static_assert(offsetof(SQueryDevInfo, szHardwareIDs) == 520, "SQueryDevInfo layout");
static_assert(offsetof(SQueryDevInfo, cLocalDrvStatus) == 2568, "SQueryDevInfo layout");
static_assert(offsetof(SQueryDevInfo, iLocalDrvDate) == 2572, "SQueryDevInfo layout");
static_assert(offsetof(SQueryDevInfo, cNeedPackType) == 2576, "SQueryDevInfo layout");
static_assert(sizeof(SQueryDevInfo) == 2580, "SQueryDevInfo is 2580 bytes");

// The cache's record of one device; DevInfo is the key.
struct SDevCacheInfo {
  SQueryDevInfo DevInfo;
  char16_t szDesc1[kDriverTextLength];     // device description
  char16_t szDesc2[kDriverTextLength];     // second text (at most 32 characters; the device class name)
  char16_t szDeviceID[kDriverTextLength];  // device-ID text: decimal ids separated by commas
  int32_t iStamp;
};
static_assert(offsetof(SDevCacheInfo, szDesc1) == 2580, "SDevCacheInfo layout");
static_assert(offsetof(SDevCacheInfo, szDeviceID) == 3620, "SDevCacheInfo layout");
static_assert(offsetof(SDevCacheInfo, iStamp) == 4140, "SDevCacheInfo layout");
static_assert(sizeof(SDevCacheInfo) == 4144, "SDevCacheInfo is 4144 bytes");

// One software item, passed through unchanged.
struct SSoftInfo {
  uint32_t dwValue1, dwValue2, dwValue3, dwValue4;
  uint8_t byKey[16];
  uint8_t reserved[8];  // zero
  int64_t i64Value;
  uint8_t cValue1, cValue2;
  char16_t szText1[kDriverTextLength], szText2[kDriverTextLength], szText3[kDriverTextLength],
      szText4[kDriverTextLength], szText5[kDriverTextLength], szText6[kDriverTextLength],
      szText7[kDriverTextLength];
};
static_assert(offsetof(SSoftInfo, byKey) == 16, "SSoftInfo layout");
static_assert(offsetof(SSoftInfo, i64Value) == 40, "SSoftInfo layout");
static_assert(offsetof(SSoftInfo, szText1) == 50, "SSoftInfo layout");
static_assert(sizeof(SSoftInfo) == 3696, "SSoftInfo is 3696 bytes");

// One driver: produced by kitoracle, copied by kitfinder, stored by the
// cache, read by devwarden (package key, size, package type).
struct SDrvInfo {
  uint8_t cUpdateValue;
  int32_t iDriverID;
  uint8_t byPackageKey[16];  // the package key handed to the download library
  uint8_t reserved[8];       // zero
  int64_t i64DrvFileSize;
  int64_t i64DrvFileVersion;
  int32_t iDrvPublishDate;
  uint8_t cLevel;
  uint8_t cIsSign;
  uint8_t cPackgeType;
  uint8_t cInstallType;
  uint8_t cDriverType;
  char16_t szSetupPara[kDriverTextLength];
  char16_t szBrandStr[kDriverTextLength];
  char16_t szVendorStr[kDriverTextLength];
  char16_t szFileExt[kDriverTextLength];
  char16_t szPopularVer[kDriverTextLength];
  char16_t szDrvName[kDriverTextLength];
  char16_t szDrvClassName[kDriverTextLength];
  uint8_t cSoftCount;
  uint8_t reserved_pointer_pad[5];  // 64-bit: aligns the pointer below
  SSoftInfo* pSoftInfo;             // 64-bit: 8 bytes at 3704 (32-bit: 4 bytes at 3700)
};
static_assert(offsetof(SDrvInfo, iDriverID) == 4, "SDrvInfo layout");
static_assert(offsetof(SDrvInfo, byPackageKey) == 8, "SDrvInfo layout");
static_assert(offsetof(SDrvInfo, i64DrvFileSize) == 32, "SDrvInfo layout");
static_assert(offsetof(SDrvInfo, iDrvPublishDate) == 48, "SDrvInfo layout");
static_assert(offsetof(SDrvInfo, cPackgeType) == 54, "SDrvInfo layout");
static_assert(offsetof(SDrvInfo, szSetupPara) == 58, "SDrvInfo layout");
static_assert(offsetof(SDrvInfo, szDrvClassName) == 3178, "SDrvInfo layout");
static_assert(offsetof(SDrvInfo, cSoftCount) == 3698, "SDrvInfo layout");
static_assert(offsetof(SDrvInfo, pSoftInfo) == 3704, "SDrvInfo 64-bit layout");
static_assert(sizeof(SDrvInfo) == 3712, "SDrvInfo is 3712 bytes in a 64-bit process (3704 in 32-bit)");

// One device as kitfinder hands it to kitoracle's driver queries.
struct SDevInfo {
  char16_t szHardwareIDs[kHardwareIdListLength];
  int32_t iBrandID;
  int32_t iProductID;
  int32_t iOSID;
  uint8_t cLocalDrvStatus;
  int32_t iLocalDrvDate;
  int16_t sLanguage;
  uint8_t cQueryFlag;   // 10 in the first (or only) record of a driver query, else 0
  uint8_t cDevIDCount;  // entries of piDeviceID = strings in szHardwareIDs
  int32_t* piDeviceID;  // 64-bit: 8 bytes at 2072 (as in 32-bit, where it is 4 bytes)
  uint8_t cDevArgvCount;
  uint8_t reserved_pointer_pad1[7];  // 64-bit: aligns the pointer below
  void* pDevArgvs;                   // 64-bit: at 2088 (32-bit: 2080)
  uint8_t cComputerType;
  uint8_t cNeedPackType;
  uint8_t cDrvCount;                 // result: records in pDrvInfo
  uint8_t reserved_pointer_pad2[5];  // 64-bit: aligns the pointer below
  SDrvInfo* pDrvInfo;                // 64-bit: at 2104 (32-bit: 2088); freed with DSFreeDriverInfo
};
static_assert(offsetof(SDevInfo, iBrandID) == 2048, "SDevInfo layout");
static_assert(offsetof(SDevInfo, cLocalDrvStatus) == 2060, "SDevInfo layout");
static_assert(offsetof(SDevInfo, iLocalDrvDate) == 2064, "SDevInfo layout");
static_assert(offsetof(SDevInfo, sLanguage) == 2068, "SDevInfo layout");
static_assert(offsetof(SDevInfo, cDevIDCount) == 2071, "SDevInfo layout");
static_assert(offsetof(SDevInfo, piDeviceID) == 2072, "SDevInfo layout");
static_assert(offsetof(SDevInfo, cDevArgvCount) == 2080, "SDevInfo 64-bit layout");
static_assert(offsetof(SDevInfo, pDevArgvs) == 2088, "SDevInfo 64-bit layout");
static_assert(offsetof(SDevInfo, cComputerType) == 2096, "SDevInfo 64-bit layout");
static_assert(offsetof(SDevInfo, cDrvCount) == 2098, "SDevInfo 64-bit layout");
static_assert(offsetof(SDevInfo, pDrvInfo) == 2104, "SDevInfo 64-bit layout");
static_assert(sizeof(SDevInfo) == 2112, "SDevInfo is 2112 bytes in a 64-bit process (2092 in 32-bit)");

#endif  // KITORACLE_DRIVER_RECORDS_H_
