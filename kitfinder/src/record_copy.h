// The cache record of a device, and the deep copies and frees of the driver
// and software arrays this library hands out: every array is new[] here and
// freed only by FreeDrivers or FreeSoftware. Null on a count of 0 or a
// failed allocation.
#ifndef KITFINDER_SRC_RECORD_COPY_H_
#define KITFINDER_SRC_RECORD_COPY_H_

#include <cstdint>

#include "kitoracle/driver_records.h"

namespace kitfinder {

// A caller's device record as a cache record: its key, with its texts ended
// inside their fields; the rest zero.
SDevCacheInfo CacheRecordOf(const SQueryDevInfo& device);

SSoftInfo* CopySoftware(const SSoftInfo* source, uint8_t count);
// Records copied whole, each attached software array copied with its count.
// `ok` (when given) is false when an allocation failed.
SDrvInfo* CopyDrivers(const SDrvInfo* source, uint8_t count, bool* ok = nullptr);
// A copy of `source` into the caller's outputs; false (outputs untouched,
// nothing left allocated) when an allocation failed.
bool HandOutCopy(const SDrvInfo* source, uint8_t count, SDrvInfo** drivers, uint8_t* out_count);
void FreeSoftware(SSoftInfo* soft);
void FreeDrivers(SDrvInfo* drivers, uint8_t count);

}  // namespace kitfinder

#endif  // KITFINDER_SRC_RECORD_COPY_H_
