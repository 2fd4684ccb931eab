// kitfinder's procedures, bound by name into 30 slots; one process-wide
// table. Each call wrapper tests its slot: a missing procedure is logged
// "error ProcAddr is NULL." and answered with the neutral result stated.
// Threading: bound on the host's thread in PNP_Init, released in PNP_UnInit;
// read without a lock in between.
#ifndef DEVWARDEN_SRC_BINDINGS_KITFINDER_INTERFACE_H_
#define DEVWARDEN_SRC_BINDINGS_KITFINDER_INTERFACE_H_

#include <cstdint>
#include <string>

#include "kitoracle/driver_records.h"

namespace devwarden {

struct KitfinderInterface {
  using Proc = void();  // a procedure devwarden binds but never calls
  int (*DGInit)() = nullptr;
  void (*DGClose)() = nullptr;
  void (*DGSetMajorAppID)(int id) = nullptr;
  void (*DGSetClientVer)(uint64_t version) = nullptr;
  void (*DGSetUnionID)(int union_id) = nullptr;
  void (*DGSetLocalBrandStr)(const char16_t* brand, const char16_t* product, const char16_t* version) = nullptr;
  void (*DGSetLocalSystemInfo)(int os_id, uint16_t language, uint8_t computer_type) = nullptr;
  Proc* DGGetLocalBrandName = nullptr;
  Proc* DGGetLocalBrandSoftware = nullptr;
  Proc* DGGetLocalPciDrvInfo = nullptr;
  Proc* DGGetLocalPciSpecialDrvInfo = nullptr;
  Proc* DGGetLocalDrvDesc = nullptr;
  int (*DGGetLocalUsbDrvInfo)(const char16_t* ids, uint8_t id_count, char16_t* matched, SDrvInfo** records,
                              uint8_t* record_count) = nullptr;
  int (*DGGetLocalUsbDrvInfoEx)(int mode, const char16_t* ids, uint8_t id_count, char16_t* matched,
                                SDrvInfo** records, uint8_t* record_count) = nullptr;
  int (*DGGetLocalUsbDrvInfoEx2)(int mode, const char16_t* ids, uint8_t id_count, char16_t* matched,
                                 SDrvInfo** records, uint8_t* record_count, char16_t* description,
                                 char16_t* class_name) = nullptr;
  int (*DGCheckPeripheralDevice)(const char16_t* ids, uint8_t* answer) = nullptr;
  int (*DGGetMobileProductInfo)(int vendor_id, int product_id, const char16_t* adb_name, const char16_t* product,
                                const char16_t* serial, char16_t* xml, int xml_capacity) = nullptr;
  Proc* DGSetOtherBrandStr = nullptr;
  Proc* DGSetOtherSystemInfo = nullptr;
  Proc* DGGetOtherBrandName = nullptr;
  Proc* DGGetOtherBrandSoftware = nullptr;
  Proc* DGGetOtherPciDrvInfo = nullptr;
  Proc* DGGetOtherPciSpecialDrvInfo = nullptr;
  Proc* DGGetOtherDrvDesc = nullptr;
  Proc* DGFreeSoftwareInfo = nullptr;
  void (*DGFreeDrvInfo)(SDrvInfo* records, uint8_t count) = nullptr;
  Proc* DGIsDriverOSSupply = nullptr;
  Proc* DGReportDrvInstResult = nullptr;
  Proc* DGIsStartCalendar = nullptr;
  int (*DGStatReport)(int kind, uintptr_t report) = nullptr;
  void* library = nullptr;

  // Loads kitfinder from `folder` and looks up all 30 names; true when the
  // library loaded, whatever the look-ups gave. A failed load logs
  // "error LoadLibrary[%s]" and leaves the table empty.
  bool Bind(const std::string& folder);
  // Forgets the procedures; the library stays loaded.
  void Release();

  // Call wrappers: neutral results when the procedure is missing.
  int Init();                       // 3 when missing
  void Close();
  void SetMajorAppID(int id);
  void SetClientVer(uint64_t version);
  void SetUnionID(int union_id);
  void SetLocalBrandStr(const char16_t* brand, const char16_t* version, const char16_t* product);
  void SetLocalSystemInfo(int os_id, int language, int computer_type);
  // The USB driver query with its fallbacks: Ex2, then Ex, then the plain
  // query; 3 when none is bound.
  int GetLocalUsbDrvInfo(int mode, const char16_t* ids, uint8_t id_count, char16_t* matched, SDrvInfo** records,
                         uint8_t* record_count, char16_t* description, char16_t* class_name);
  int CheckPeripheralDevice(const char16_t* ids, uint8_t* answer);  // 3 when missing
  int GetMobileProductInfo(int vendor_id, int product_id, const char16_t* adb_name, const char16_t* product,
                           const char16_t* serial, char16_t* xml, int xml_capacity);  // 3 when missing
  void FreeDrvInfo(SDrvInfo* records, uint8_t count);
  int StatReport(int kind, uintptr_t report);  // 0 when missing
};

// The process-wide table, empty until PNP_Init binds it; PNP_UnInit empties it.
KitfinderInterface& Kitfinder();

}  // namespace devwarden

#endif  // DEVWARDEN_SRC_BINDINGS_KITFINDER_INTERFACE_H_
