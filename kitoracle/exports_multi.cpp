// Multi-device, peripheral, print cache and resource queries.
#include <cstring>
#include <string>

#include "base/kit_log.h"
#include "exports_common.h"
#include "kitoracle.h"
#include "transport/http_send.h"
#include "transport/search.h"
#include "wire/text.h"

using namespace kitoracle;

KITORACLE_API int DSGetMultiDeviceDriverInfoEx(int kind, SDevInfo* devices, uint8_t count) {
  if (devices == nullptr || count == 0) {
    KIT_LOG("error parameter1");
    return DS_ERROR_PARAMETER;
  }
  if (devices[0].pDrvInfo != nullptr || devices[0].cDrvCount != 0) {
    KIT_LOG("error parameter2");
    return DS_ERROR_PARAMETER;
  }
  MultiDeviceRequest request(kind == 1);
  request.devices = devices;
  request.count = count;
  DriverListReply reply(0x27, kind == 1 ? 0xF0 : 0, false);
  int result = KIT_EXCHANGE(request, reply);
  if (result != 0) return result;
  if (reply.drivers.empty()) {
    KIT_LOG("获取驱动的个数为0");
    return DS_ERROR_NODATA;
  }
  return StoreDrivers(&devices[0], reply.drivers);
}

KITORACLE_API int DSGetMultiDeviceDriverInfo(SDevInfo* devices, uint8_t count) {
  return DSGetMultiDeviceDriverInfoEx(0, devices, count);
}

KITORACLE_API int DSCheckPeripheralDevice(SDevInfo* device, uint8_t* answer) {
  if (device == nullptr || answer == nullptr) {
    KIT_LOG("error parameter1");
    return DS_ERROR_PARAMETER;
  }
  PeripheralRequest request;
  request.device = device;
  ByteReply reply(0x29, 0);
  int result = KIT_EXCHANGE(request, reply);
  if (result != 0) return result;
  *answer = reply.value != 0 ? 1 : 0;
  return 0;
}

KITORACLE_API int DSCheckPrintCache(const uint8_t* key, int keyLength, uint8_t* flag, char16_t* text,
                                    int textCapacity) {
  if (key == nullptr || keyLength < 0 || keyLength > 16 || flag == nullptr || text == nullptr || textCapacity < 1) {
    KIT_LOG("error parameter1");
    return DS_ERROR_PARAMETER;
  }
  PrintCacheRequest request;
  std::memcpy(request.key, key, size_t(keyLength));  // a shorter key is zero-padded
  PrintCacheReply reply;
  int result = KIT_EXCHANGE(request, reply);
  if (result != 0) return result;
  *flag = reply.flag;
  CopyToWide(reply.text, text, size_t(textCapacity));
  return 0;
}

KITORACLE_API int DSSearchServerRes(const uint8_t* digest, char16_t* url, int urlCapacity, char16_t* fileName) {
  if (digest == nullptr || url == nullptr || urlCapacity < 1) {
    KIT_LOG("error parameter");
    return DS_ERROR_PARAMETER;
  }
  ServerResRequest request;
  std::memcpy(request.digest, digest, 16);
  ServerResReply reply;
  int result = KIT_EXCHANGE(request, reply);
  if (result != 0) return result;
  if (reply.resources.empty()) {
    KIT_LOG("error 0 == rep.m_sResCount");
    return DS_ERROR_NODATA;
  }
  CopyToWide(reply.resources[0].first, url, size_t(urlCapacity));
  // The file name comes from the download server's headers; without them
  // the URL still counts as found.
  HttpPickHeader pick(ToUtf8(url));
  std::string name;
  if (!pick.Pick()) {
    KIT_LOG("error HttpPickHeader Pick");
  } else if (!pick.GetResFileName(&name)) {
    KIT_LOG("error pick.GetResFileName");
  } else if (fileName != nullptr) {
    CopyToWide(name, fileName, kDriverTextLength);
  }
  return 0;
}
