// CLedgerboxInterface: the outside SQL cache bound by name, a plain table of
// function pointers that the query front tests and calls itself. Optional:
// a missing library or function only means that nothing is cached.
// A true/false result is read from its low 8 bits.
//
// Threading: bound and released by the query front under its lock; the
// query front copies the table under that lock before calling out.
#ifndef KITFINDER_SRC_LEDGERBOX_INTERFACE_H_
#define KITFINDER_SRC_LEDGERBOX_INTERFACE_H_

#include <cstdint>
#include <string>

#include "kitoracle/driver_records.h"

namespace kitfinder {

struct CLedgerboxInterface {
  int (*SCInit)() = nullptr;
  int (*SCClose)() = nullptr;
  int (*SCGetSysInfo)(SSysInfo* info) = nullptr;
  int (*SCUpdateSysInfo)(const SSysInfo* info) = nullptr;
  int (*SCGetDrvInfo)(SDevCacheInfo* record, SDrvInfo** drivers, uint8_t* count) = nullptr;
  int (*SCUpdateDrvInfo)(const SDevCacheInfo* record, const SDrvInfo* drivers, uint8_t count) = nullptr;
  int (*SCGetSpecialDrvInfo)(SDevCacheInfo* first, SDevCacheInfo* second, SDrvInfo** drivers, uint8_t* count) = nullptr;
  int (*SCUpdateSpecialDrvInfo)(const SDevCacheInfo* first, const SDevCacheInfo* second, const SDrvInfo* drivers,
                                uint8_t count) = nullptr;
  void (*SCFreeDrvInfo)(SDrvInfo* drivers, uint8_t count) = nullptr;
  int (*SCGetBrandSoftInfo)(SSoftInfo** soft, uint8_t* count, int32_t* stamp) = nullptr;
  int (*SCUpdateBrandSoftInfo)(const SSoftInfo* soft, uint8_t count, int32_t stamp) = nullptr;
  void (*SCFreeBrandSoftInfo)(SSoftInfo* soft) = nullptr;
  int (*SCUpdateDrvDesc)(int32_t driver_id, const char16_t* text) = nullptr;
  int (*SCGetDrvDesc)(int32_t driver_id, char16_t* buffer, int32_t* length) = nullptr;
  void* module = nullptr;

  // Loads the library from `path` (empty: the host program's folder +
  // "Ledgerbox.dll") and binds the 14 names; false, silently, when it does
  // not load.
  bool InitSCInterface(const std::string& path);
  // Unloads the library and clears the table.
  void Release();
};

// The low 8 bits of a cache result, as true or false.
inline bool CacheTrue(int result) { return (result & 0xFF) != 0; }

}  // namespace kitfinder

#endif  // KITFINDER_SRC_LEDGERBOX_INTERFACE_H_
