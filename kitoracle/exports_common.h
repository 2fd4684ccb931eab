// What the DS exports share: the names of the result codes for log lines,
// the major application ID and the driver-record dump.
#ifndef KITORACLE_EXPORTS_COMMON_H_
#define KITORACLE_EXPORTS_COMMON_H_

#include <atomic>
#include <cstdint>

#include "kitfinder/driver_records.h"

namespace kitoracle {

// "DS_ERROR_SUCCESS" .. "DS_ERROR_SQL"; "DS_ERROR_UNKNOWN" outside the table.
const char* ErrorName(int code);

// The major application ID (DSSetMajorAppID), 1 until set.
extern std::atomic<uint8_t> g_majorAppId;

// Logs each driver record (1-based position and the count).
void OutPutDriverInfo(int count, const SDrvInfo* records);

}  // namespace kitoracle

#endif  // KITORACLE_EXPORTS_COMMON_H_
