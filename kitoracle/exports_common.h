// What the DS exports share: the names of the result codes for log lines,
// the major application ID and the driver-record dump.
#ifndef KITORACLE_EXPORTS_COMMON_H_
#define KITORACLE_EXPORTS_COMMON_H_

#include <atomic>
#include <cstdint>
#include <vector>

#include "kitoracle/driver_records.h"
#include "wire/items.h"
#include "wire/replies.h"
#include "wire/requests.h"

namespace kitoracle {

// "DS_ERROR_SUCCESS" .. "DS_ERROR_SQL"; "DS_ERROR_UNKNOWN" outside the table.
const char* ErrorName(int code);

// The major application ID (DSSetMajorAppID), 1 until set.
extern std::atomic<uint8_t> g_majorAppId;

// Logs each driver record (1-based position and the count).
void OutPutDriverInfo(int count, const SDrvInfo* records);

// One exchange through the search object; a failure is logged as
// "error g_Search.GetRepData dwRet[<code name>]" with the caller's place.
int Exchange(const Request& request, Reply& reply, int line, const char* file, const char* function);
#define KIT_EXCHANGE(request, reply) ::kitoracle::Exchange(request, reply, __LINE__, __FILE__, __func__)

// Hands `drivers` out in the device record as a new driver array with its
// count, logged and dumped; 1 when the array cannot be made.
int StoreDrivers(SDevInfo* device, const std::vector<DrvItem>& drivers);

}  // namespace kitoracle

#endif  // KITORACLE_EXPORTS_COMMON_H_
