// The driver queries: drivers for a device, for a device given a second
// one, a driver's description, and the free function of driver arrays.
#include <string>
#include <vector>

#include "base/kit_log.h"
#include "exports_common.h"
#include "kitoracle.h"
#include "transport/search.h"
#include "wire/text.h"

using namespace kitoracle;

namespace {

constexpr size_t kPairTextBytes = 260;

bool HoldsDrivers(const SDevInfo* device) { return device->pDrvInfo != nullptr || device->cDrvCount != 0; }

bool UsableForDriverQuery(const SDevInfo* device) {
  return !HoldsDrivers(device) && device->cDevIDCount != 0 && device->piDeviceID != nullptr;
}

// One recommended driver and the further ones, as records; the reply has
// already refused 255 or more further drivers.
int StoreRecommended(SDevInfo* device, const CommonNewestReply& reply, const char* countMessage) {
  if (reply.recommended.size() != 1) {
    KIT_LOG(countMessage, int(reply.recommended.size()));
    return DS_ERROR_NODATA;
  }
  std::vector<DrvItem> all;
  all.push_back(reply.recommended[0]);
  all.insert(all.end(), reply.further.begin(), reply.further.end());
  return StoreDrivers(device, all);
}

}  // namespace

KITORACLE_API int DSGetCommonAndNewestDriver(SDevInfo* device) {
  if (device == nullptr) {
    KIT_LOG("error parameter1");
    return DS_ERROR_PARAMETER;
  }
  if (!UsableForDriverQuery(device)) {
    KIT_LOG("error parameter2");
    return DS_ERROR_PARAMETER;
  }
  CommonNewestRequest request;
  request.device = device;
  for (uint8_t i = 0; i < device->cDevIDCount; ++i) {
    if (device->piDeviceID[i] != 0) request.deviceIds.push_back(device->piDeviceID[i]);
  }
  if (device->pDevArgvs != nullptr) {
    const auto* pairs = static_cast<const SDevArgv*>(device->pDevArgvs);
    for (uint8_t i = 0; i < device->cDevArgvCount; ++i) {
      request.pairs.emplace_back(ToUtf8(pairs[i].szFirst, kPairTextBytes), ToUtf8(pairs[i].szSecond, kPairTextBytes));
    }
  }
  CommonNewestReply reply(0x19);
  int result = KIT_EXCHANGE(request, reply);
  if (result != 0) return result;
  return StoreRecommended(device, reply, "获取推荐驱动的个数[%d]不为1");
}

KITORACLE_API int DSGetSpecialCommonAndNewestDriver(SDevInfo* first, SDevInfo* second, uint8_t flag) {
  if (first == nullptr || second == nullptr) {
    KIT_LOG("error parameter1");
    return DS_ERROR_PARAMETER;
  }
  if (!UsableForDriverQuery(first)) {
    KIT_LOG("error parameter2");
    return DS_ERROR_PARAMETER;
  }
  if (!UsableForDriverQuery(second)) {
    KIT_LOG("error parameter3");
    return DS_ERROR_PARAMETER;
  }
  SpecialCommonNewestRequest request;
  request.first = first;
  request.second = second;
  request.flag = flag;
  CommonNewestReply reply(0x21);
  int result = KIT_EXCHANGE(request, reply);
  if (result != 0) return result;
  return StoreRecommended(first, reply, "获取特殊推荐驱动的个数[%d]不为1");
}

KITORACLE_API int DSGetDriverDesc(int32_t driverId, int32_t value, char16_t* description, int32_t* length) {
  if (length == nullptr) {
    KIT_LOG("error NULL == piDescLen");
    return DS_ERROR_PARAMETER;
  }
  if (*length > 0 && description == nullptr) {
    KIT_LOG("error *piLen > 0 && NULL == szDrvDesc");
    return DS_ERROR_PARAMETER;
  }
  DriverDescRequest request;
  request.driverId = driverId;
  request.value = value;
  TextReply reply(0x0B, 1);
  int result = KIT_EXCHANGE(request, reply);
  if (result != 0) return result;
  int32_t n = int32_t(reply.text.size());
  if (n == 0) {
    KIT_LOG("DSGetDriverDesc描述长度为0 iDriverID[%d]", driverId);
    return DS_ERROR_NODATA;
  }
  if (*length < n + 1) {
    *length = n + 1;
    return DS_ERROR_NOTENOUGH;
  }
  CopyToWide(reply.text, description, size_t(*length));
  *length = n + 1;
  KIT_LOG("DSGetDriverDesc 成功一次 iDriverID[%d]", driverId);
  return 0;
}

KITORACLE_API void DSFreeDriverInfo(SDrvInfo* records, int count) { FreeDriverRecords(records, uint8_t(count)); }
