#include "record_copy.h"

#include <algorithm>
#include <new>

namespace kitfinder {

SDevCacheInfo CacheRecordOf(const SQueryDevInfo& device) {
  SDevCacheInfo record{};
  record.DevInfo = device;
  record.DevInfo.szClass[kDriverTextLength - 1] = 0;
  record.DevInfo.szHardwareIDs[kHardwareIdListLength - 2] = 0;
  record.DevInfo.szHardwareIDs[kHardwareIdListLength - 1] = 0;
  return record;
}

SSoftInfo* CopySoftware(const SSoftInfo* source, uint8_t count) {
  if (!source || count == 0) return nullptr;
  SSoftInfo* copy = new (std::nothrow) SSoftInfo[count]();
  if (copy) std::copy(source, source + count, copy);
  return copy;
}

SDrvInfo* CopyDrivers(const SDrvInfo* source, uint8_t count, bool* ok) {
  if (ok) *ok = true;
  if (!source || count == 0) return nullptr;
  SDrvInfo* copy = new (std::nothrow) SDrvInfo[count]();
  if (!copy) {
    if (ok) *ok = false;
    return nullptr;
  }
  for (int i = 0; i < count; ++i) {
    copy[i] = source[i];
    copy[i].pSoftInfo = nullptr;
    copy[i].cSoftCount = 0;
    if (source[i].pSoftInfo && source[i].cSoftCount) {
      copy[i].pSoftInfo = CopySoftware(source[i].pSoftInfo, source[i].cSoftCount);
      if (copy[i].pSoftInfo) {
        copy[i].cSoftCount = source[i].cSoftCount;
      } else if (ok) {
        *ok = false;
      }
    }
  }
  return copy;
}

bool HandOutCopy(const SDrvInfo* source, uint8_t count, SDrvInfo** drivers, uint8_t* out_count) {
  bool ok = true;
  SDrvInfo* copy = CopyDrivers(source, count, &ok);
  if (!ok || (source && count && !copy)) {
    FreeDrivers(copy, count);
    return false;
  }
  *drivers = copy;
  *out_count = copy ? count : 0;
  return true;
}

void FreeSoftware(SSoftInfo* soft) { delete[] soft; }

void FreeDrivers(SDrvInfo* drivers, uint8_t count) {
  if (!drivers) return;
  for (int i = 0; i < count; ++i) delete[] drivers[i].pSoftInfo;
  delete[] drivers;
}

}  // namespace kitfinder
