// DSInit, DSClose, DSSetMajorAppID and what the exports share.
#include <cstdio>
#include <string>
#include <vector>

#include "base/kit_log.h"
#include "exports_common.h"
#include "kitoracle.h"
#include "transport/search.h"
#include "wire/text.h"

namespace kitoracle {

std::atomic<uint8_t> g_majorAppId{1};

const char* ErrorName(int code) {
  static const std::vector<std::string> names = [] {
    std::vector<std::string> list;
    for (const auto& name : kDsErrorNames) list.push_back(ToUtf8(name));
    return list;
  }();
  return code >= 0 && code < 9 ? names[code].c_str() : "DS_ERROR_UNKNOWN";
}

void OutPutDriverInfo(int count, const SDrvInfo* records) {
  for (int i = 0; i < count && records != nullptr; ++i) {
    const SDrvInfo& d = records[i];
    KIT_LOG(
        "[%d/%d]\r\n\t\t\tcUpdateValue[%d]iDriverID[%d]i64DrvFileSize[%lld]i64DrvFileVersion[%lld]"
        "\r\n\t\t\tiDrvPublishDate[%d]cLevel[%d]cIsSign[%d]cPackgeType[%d]cInstallType[%d]cDriverType[%d]"
        "\r\n\t\t\tszSetupPara[%s]szBrandStr[%s]szVendorStr[%s]szFileExt[%s]"
        "\r\n\t\t\tszPopularVer[%s]szDrvName[%s]szDrvClassName[%s]cSoftCount[%d]",
        i + 1, count, d.cUpdateValue, d.iDriverID, static_cast<long long>(d.i64DrvFileSize),
        static_cast<long long>(d.i64DrvFileVersion), d.iDrvPublishDate, d.cLevel, d.cIsSign, d.cPackgeType,
        d.cInstallType, d.cDriverType, ToUtf8(d.szSetupPara).c_str(), ToUtf8(d.szBrandStr).c_str(),
        ToUtf8(d.szVendorStr).c_str(), ToUtf8(d.szFileExt).c_str(), ToUtf8(d.szPopularVer).c_str(),
        ToUtf8(d.szDrvName).c_str(), ToUtf8(d.szDrvClassName).c_str(), d.cSoftCount);
  }
}

int Exchange(const Request& request, Reply& reply, int line, const char* file, const char* function) {
  int result = CSearch::GetInstance().GetRepData(&request, &reply);
  if (result != 0) {
    CBaseLog::Instance().Write(line, file, function, "error g_Search.GetRepData dwRet[%s]", ErrorName(result));
  }
  return result;
}

int StoreDrivers(SDevInfo* device, const std::vector<DrvItem>& drivers) {
  SDrvInfo* records = MakeDriverRecords(drivers);
  if (records == nullptr) {
    KIT_LOG("error new pDrvInfo");
    return DS_ERROR_OTHER;
  }
  device->cDrvCount = uint8_t(drivers.size());
  device->pDrvInfo = records;
  KIT_LOG("获取驱动的个数为[%d]", int(drivers.size()));
  OutPutDriverInfo(device->cDrvCount, records);
  return 0;
}

}  // namespace kitoracle

using kitoracle::CBaseLog;
using kitoracle::CSearch;
using kitoracle::ErrorName;

KITORACLE_API int DSInit() {
  CBaseLog& log = CBaseLog::Instance();
  log.LogInit(log.LogPath("kitoracle.log"), __FILE__);
  int result = CSearch::GetInstance().Init();
  if (result != 0) {
    KIT_LOG("error CSearch::GetInstance()->Init dwRet[%s]", ErrorName(result));
    DSClose();
  } else {
    KIT_LOG("DSInit OK");
  }
  return result;
}

KITORACLE_API void DSClose() {
  KIT_LOG("DSClose OK");
  // The probe ends before the caller may unload the library; the log closes
  // but its object stays for the threads that still log.
  CSearch::GetInstance().JoinProbe();
  CBaseLog::Instance().LogClose();
}

KITORACLE_API int DSSetMajorAppID(int appId) {
  kitoracle::g_majorAppId = uint8_t(appId);
  return appId;
}
