// The device queries: hardware IDs, brand and product, phone, recommended
// drivers for a brand and product.
#include <string>

#include "base/kit_log.h"
#include "exports_common.h"
#include "kitoracle.h"
#include "transport/search.h"
#include "wire/text.h"

using namespace kitoracle;

namespace {
constexpr size_t kTextBytes = 260;  // UTF-8 bytes of one hardware ID or phone text on the wire
}

KITORACLE_API int DSGetDeviceDescAndIDEx(int kind, const char16_t* hardwareIds, uint8_t count, int32_t* deviceIds,
                                         char16_t* description, char16_t* second) {
  if (hardwareIds == nullptr || count == 0 || deviceIds == nullptr) {
    KIT_LOG("error parameter");
    return DS_ERROR_PARAMETER;
  }
  DeviceDescRequest request(kind == 1);
  const char16_t* p = hardwareIds;
  for (uint8_t i = 0; i < count; ++i) {
    size_t n = WideLength(p);
    request.hardwareIds.push_back(ToUtf8(p, kTextBytes));
    p += n + 1;
  }
  DeviceDescReply reply(kind == 1);
  int result = KIT_EXCHANGE(request, reply);
  if (result != 0) return result;
  for (size_t i = 0; i < reply.deviceIds.size() && i < count; ++i) deviceIds[i] = reply.deviceIds[i];
  if (description != nullptr) CopyToWide(reply.description, description, kDriverTextLength);
  if (second != nullptr) CopyToWide(reply.second, second, 32);
  return 0;
}

KITORACLE_API int DSGetDeviceDescAndID(const char16_t* hardwareIds, uint8_t count, int32_t* deviceIds,
                                       char16_t* description, char16_t* second) {
  return DSGetDeviceDescAndIDEx(0, hardwareIds, count, deviceIds, description, second);
}

KITORACLE_API int DSGetBrandAndProductID(const char16_t* brand, const char16_t* product, const char16_t* version,
                                         uint8_t flag, int32_t* brandId, int32_t* productId, char16_t* brandName,
                                         char16_t* productName) {
  if (brand == nullptr || product == nullptr || version == nullptr || brandId == nullptr || productId == nullptr ||
      brandName == nullptr || productName == nullptr) {
    KIT_LOG("error parameter");
    return DS_ERROR_PARAMETER;
  }
  // Each text converts to its own UTF-8 string, sized by the text itself.
  BrandProductRequest request;
  request.brand = ToUtf8(brand);
  request.product = ToUtf8(product);
  request.version = ToUtf8(version);
  request.flag = flag;
  BrandProductReply reply;
  int result = KIT_EXCHANGE(request, reply);
  if (result != 0) return result;
  *brandId = reply.brandId;
  *productId = reply.productId;
  CopyToWide(reply.brandName, brandName, kDriverTextLength);
  CopyToWide(reply.productName, productName, kDriverTextLength);
  KIT_LOG("DSGetBrandAndProductID 成功一次[%s]", request.brand.c_str());
  return 0;
}

KITORACLE_API int DSGetMobileProductInfo(int firstId, int secondId, const char16_t* text1, const char16_t* text2,
                                         const char16_t* text3, char16_t* result, int resultCapacity) {
  if (text1 == nullptr || text2 == nullptr || text3 == nullptr || result == nullptr || resultCapacity < 1) {
    KIT_LOG("error parameter");
    return DS_ERROR_PARAMETER;
  }
  MobileProductRequest request(g_majorAppId == 3 ? kServiceMobileAlt : kServiceMobile);
  request.firstId = uint16_t(firstId);
  request.secondId = uint16_t(secondId);
  request.texts[0] = ToUtf8(text1, kTextBytes);
  request.texts[1] = ToUtf8(text2, kTextBytes);
  request.texts[2] = ToUtf8(text3, kTextBytes);
  TextReply reply(0x23, 0);
  int code = KIT_EXCHANGE(request, reply);
  if (code != 0) return code;
  CopyToWide(reply.text, result, size_t(resultCapacity));
  return 0;
}

KITORACLE_API int DSGetBrandProductDriverInfo(SDevInfo* device) {
  if (device == nullptr) {
    KIT_LOG("error parameter1");
    return DS_ERROR_PARAMETER;
  }
  if (device->pDrvInfo != nullptr || device->cDrvCount != 0) {
    KIT_LOG("error parameter2");
    return DS_ERROR_PARAMETER;
  }
  BrandProductDriverRequest request;
  request.device = device;
  DriverListReply reply(0x25, 0, true);
  int result = KIT_EXCHANGE(request, reply);
  if (result != 0) return result;
  if (reply.drivers.empty()) {
    KIT_LOG("获取推荐驱动的个数为0");
    return DS_ERROR_NODATA;
  }
  return StoreDrivers(device, reply.drivers);
}
