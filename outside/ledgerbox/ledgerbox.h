// libLedgerbox.so: the SQL cache behind kitfinder, on SQLite. One database
// file, "ledgerbox.db", in $LEDGERBOX_DIR when set, else in the user's cache
// folder ($XDG_CACHE_HOME, else ~/.cache) under "Shelfhub"; the folder is
// made 0700 when missing.
//
// It keeps this PC's system record, each device's record with its drivers
// (keyed by the fields of the device record), the drivers of device pairs,
// one software list with its stamp, and driver descriptions. Records go in
// and come out field by field: no pointer is ever stored, and the arrays it
// hands out are its own, freed only by SCFreeDrvInfo and SCFreeBrandSoftInfo.
//
// Results: 1 true, 0 false. Every function answers 0 before SCInit and after
// SCClose. Any thread may call; the calls are serialised inside.
#ifndef OUTSIDE_LEDGERBOX_LEDGERBOX_H_
#define OUTSIDE_LEDGERBOX_LEDGERBOX_H_

#include <cstdint>

#include "kitoracle/driver_records.h"

#define LEDGERBOX_API extern "C" __attribute__((visibility("default")))

// Opens (creating when needed) the database; 1 when it is open.
LEDGERBOX_API int SCInit();
LEDGERBOX_API int SCClose();
LEDGERBOX_API int SCGetSysInfo(SSysInfo* info);
LEDGERBOX_API int SCUpdateSysInfo(const SSysInfo* info);
// The record's DevInfo is the key; on 1 the rest of the record is filled and,
// when both out pointers are given (*drivers null on entry), the drivers.
LEDGERBOX_API int SCGetDrvInfo(SDevCacheInfo* record, SDrvInfo** drivers, uint8_t* count);
LEDGERBOX_API int SCUpdateDrvInfo(const SDevCacheInfo* record, const SDrvInfo* drivers, uint8_t count);
LEDGERBOX_API int SCGetSpecialDrvInfo(SDevCacheInfo* first, SDevCacheInfo* second, SDrvInfo** drivers, uint8_t* count);
LEDGERBOX_API int SCUpdateSpecialDrvInfo(const SDevCacheInfo* first, const SDevCacheInfo* second,
                                         const SDrvInfo* drivers, uint8_t count);
LEDGERBOX_API void SCFreeDrvInfo(SDrvInfo* drivers, uint8_t count);
LEDGERBOX_API int SCGetBrandSoftInfo(SSoftInfo** soft, uint8_t* count, int32_t* stamp);
LEDGERBOX_API int SCUpdateBrandSoftInfo(const SSoftInfo* soft, uint8_t count, int32_t stamp);
LEDGERBOX_API void SCFreeBrandSoftInfo(SSoftInfo* soft);
LEDGERBOX_API int SCUpdateDrvDesc(int32_t driver_id, const char16_t* text);
// *length: in the buffer's capacity, out the characters the text takes with
// its terminator. 0 with a larger *length: stored, but it does not fit.
LEDGERBOX_API int SCGetDrvDesc(int32_t driver_id, char16_t* buffer, int32_t* length);

#endif  // OUTSIDE_LEDGERBOX_LEDGERBOX_H_
