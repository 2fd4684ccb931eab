// The driver item and the software item that several replies carry, as
// parsed from the wire, and their conversion into the flat records of
// kitoracle/driver_records.h. Parsing is pure; a string or list that runs
// past the reply fails the item (the reader's ok() turns false).
#ifndef KITORACLE_WIRE_ITEMS_H_
#define KITORACLE_WIRE_ITEMS_H_

#include <cstdint>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "kitoracle/driver_records.h"
#include "wire/packet.h"

namespace kitoracle {

struct SoftItem {
  uint32_t values[4] = {};
  uint8_t key[16] = {};
  uint64_t value64 = 0;  // two 4-byte halves, low first
  uint8_t byte1 = 0, byte2 = 0;
  std::string texts[7];
};

struct DrvItem {
  uint8_t updateValue = 0;  // the byte before a recommended item; 0 otherwise
  uint32_t driverId = 0;
  uint8_t digest[16] = {};
  uint64_t fileSize = 0;
  uint64_t fileVersion = 0;
  uint32_t publishDate = 0;
  uint8_t level = 0, isSign = 0, packageType = 0, installType = 0, driverType = 0;
  // szSetupPara, szBrandStr, szVendorStr, szFileExt, szPopularVer, szDrvName, szDrvClassName
  std::string texts[7];
  std::vector<SoftItem> software;
};

SoftItem ReadSoftItem(PacketReader& reader);
DrvItem ReadDrvItem(PacketReader& reader);

// Arrays handed to callers: zero-filled, allocated without throwing (null
// when memory is short) and freed only by FreeRecords.
template <typename T>
T* AllocRecords(size_t count) {
  if (count == 0) return nullptr;
  void* raw = ::operator new[](count * sizeof(T), std::nothrow);
  if (raw != nullptr) std::memset(raw, 0, count * sizeof(T));
  return static_cast<T*>(raw);
}
void FreeRecords(void* records);
// A driver array with each record's software array.
void FreeDriverRecords(SDrvInfo* records, uint8_t count);

// The flat records. A missing argument converts nothing (false). A driver
// whose software array cannot be made gets neither the array nor a count.
bool GetSoftInfoFromSoftItem(SSoftInfo* record, const SoftItem* item);
bool GetDrvInfoFromDrvItem(SDrvInfo* record, const DrvItem* item);
// Converts items into a new driver array; null when memory is short.
SDrvInfo* MakeDriverRecords(const std::vector<DrvItem>& items);

}  // namespace kitoracle

#endif  // KITORACLE_WIRE_ITEMS_H_
