// Reports, brand software and business queries.
#include <string>

#include "base/kit_log.h"
#include "exports_common.h"
#include "kitoracle.h"
#include "transport/http_send.h"
#include "transport/search.h"
#include "wire/text.h"

using namespace kitoracle;

KITORACLE_API int DSIsDriverOSSupply(const int32_t* deviceIds, uint8_t count, int32_t value, uint8_t* answer) {
  if (deviceIds == nullptr || count == 0 || value == 0 || answer == nullptr) {
    KIT_LOG("error parameter");
    return DS_ERROR_PARAMETER;
  }
  OsSupplyRequest request;
  request.value = value;
  request.deviceIds.assign(deviceIds, deviceIds + count);
  ByteReply reply(0x0D, 1);
  int result = KIT_EXCHANGE(request, reply);
  if (result != 0) return result;
  *answer = reply.value != 0 ? 1 : 0;
  return 0;
}

KITORACLE_API int DSReportDrvInstResult(int32_t deviceId, int32_t osId, int32_t fileId, int32_t osInstallDate,
                                        uint8_t result) {
  InstResultRequest request;
  request.deviceId = deviceId;
  request.osId = osId;
  request.fileId = fileId;
  request.result = result;
  ByteReply reply(0x15, 1);
  int code = KIT_EXCHANGE(request, reply);
  if (code != 0) return code;
  KIT_LOG("上报驱动安装结果OK iDeviceID[%d]iOSID[%d]iFileID[%d]iOsInstallDate[%d]bResult[%d] m_cResult[%d]", deviceId,
          osId, fileId, osInstallDate, result, reply.value);
  return 0;
}

KITORACLE_API int DSGetBrandSoftware(SDevInfo* device, SSoftInfo** software, uint8_t* count) {
  if (device == nullptr || software == nullptr || count == nullptr || *software != nullptr) {
    KIT_LOG("error parameter");
    return DS_ERROR_PARAMETER;
  }
  BrandSoftwareRequest request;
  request.brandId = device->iBrandID;
  request.productId = device->iProductID;
  request.osId = device->iOSID;
  request.language = device->sLanguage;
  SoftwareListReply reply;
  int result = KIT_EXCHANGE(request, reply);
  if (result != 0) return result;
  if (reply.software.empty()) {
    KIT_LOG("获取的品牌软件个数为0");
    return DS_ERROR_NODATA;
  }
  SSoftInfo* records = AllocRecords<SSoftInfo>(reply.software.size());
  if (records == nullptr) {
    KIT_LOG("error new pSoftInfo");
    return DS_ERROR_OTHER;
  }
  for (size_t i = 0; i < reply.software.size(); ++i) GetSoftInfoFromSoftItem(&records[i], &reply.software[i]);
  *software = records;
  *count = uint8_t(reply.software.size());
  KIT_LOG("DSGetBrandSoftware 成功一次，个数：%d", int(*count));
  return 0;
}

KITORACLE_API void DSFreeSoftwareInfo(SSoftInfo* software) { FreeRecords(software); }

KITORACLE_API void DSFreePlugInfo(SPlugInfo* plugins) { FreeRecords(plugins); }

KITORACLE_API int DSGetQenPluginList(uint8_t value1, uint16_t value2, SPlugInfo** plugins, uint8_t* count) {
  if (plugins == nullptr || count == nullptr) {
    KIT_LOG("error parameter1");
    return DS_ERROR_PARAMETER;
  }
  if (*plugins != nullptr || *count != 0) {
    KIT_LOG("error parameter2");
    return DS_ERROR_PARAMETER;
  }
  PluginListRequest request;
  request.value1 = value1;
  request.value2 = value2;
  PluginListReply reply;
  int result = KIT_EXCHANGE(request, reply);
  if (result != 0) return result;
  if (reply.plugins.empty()) {
    KIT_LOG("查询到的插件个数为0");
    return DS_ERROR_NODATA;
  }
  SPlugInfo* records = AllocRecords<SPlugInfo>(reply.plugins.size());
  if (records == nullptr) {
    KIT_LOG("error new pPlugInfo");
    return DS_ERROR_OTHER;
  }
  for (size_t i = 0; i < reply.plugins.size(); ++i) {
    const PluginListReply::Plugin& p = reply.plugins[i];
    CopyToWide(p.texts[0], records[i].szText1, 36);
    CopyToWide(Hex16(p.identity), records[i].szIdentity, 36);
    CopyToWide(p.texts[1], records[i].szText2, kDriverTextLength);
    CopyToWide(p.texts[2], records[i].szText3, kDriverTextLength);
  }
  *plugins = records;
  *count = uint8_t(reply.plugins.size());
  return 0;
}

KITORACLE_API int DSGetCloudSwitchInfo(int32_t value1, int32_t value2, int16_t value3, int32_t value4, uint8_t length,
                                       const uint8_t* bytes, char16_t* text, int textCapacity) {
  if (text == nullptr || textCapacity < 1 || (length > 0 && bytes == nullptr)) {
    KIT_LOG("error parameter");
    return DS_ERROR_PARAMETER;
  }
  CloudSwitchRequest request;
  request.value1 = value1;
  request.value2 = value2;
  request.value3 = value3;
  request.value4 = value4;
  if (length > 0) request.bytes.assign(reinterpret_cast<const char*>(bytes), length);
  TextReply reply(0x38, 0);
  int result = KIT_EXCHANGE(request, reply);
  if (result != 0) return result;
  CopyToWide(reply.text, text, size_t(textCapacity));
  return 0;
}

KITORACLE_API int DSGetCalendarStart(int32_t value1, int32_t value2, int16_t value3, int32_t value4, uint8_t* start) {
  CalendarRequest request;
  request.value1 = value1;
  request.value2 = value2;
  request.value3 = value3;
  request.value4 = value4;
  ByteReply reply(0x34, 0);
  int result = KIT_EXCHANGE(request, reply);
  if (result == 0 && start != nullptr) *start = reply.value;
  KIT_LOG("DSGetCalendarStart dwRet[%s] Start[%d]", ErrorName(result), result == 0 ? reply.value : 0);
  return result;
}

KITORACLE_API int DSStatInfoReport(int32_t unionId, int16_t kind, const char16_t* text) {
  StatRequest request;
  request.unionId = unionId;
  request.kind = kind;
  CHttpSend::GetHOSTMARK(request.machine);  // fetched anew for every report; zeros without the library
  request.text = ToUtf8(text);              // the whole text, however many bytes its characters take
  int result = CSearch::GetInstance().ReportData(&request);
  KIT_LOG("DSStatInfoReport dwRet[%s]", ErrorName(result));
  return result;
}

KITORACLE_API int DSDownloadStatReport(int32_t unionId, const void* ignored, int16_t kind, const char16_t* text) {
  (void)ignored;
  return DSStatInfoReport(unionId, kind, text);
}
