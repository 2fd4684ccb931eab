// DSInit, DSClose, DSSetMajorAppID and what the exports share.
#include <cstdio>
#include <string>

#include "base/kit_log.h"
#include "exports_common.h"
#include "kitoracle.h"
#include "transport/search.h"
#include "wire/text.h"

namespace kitoracle {

std::atomic<uint8_t> g_majorAppId{1};

const char* ErrorName(int code) {
  static const std::string* names = [] {
    auto* list = new std::string[9];
    for (int i = 0; i < 9; ++i) list[i] = ToUtf8(kDsErrorNames[i]);
    return list;
  }();
  return code >= 0 && code < 9 ? names[code].c_str() : "DS_ERROR_UNKNOWN";
}

void OutPutDriverInfo(int count, const SDrvInfo* records) {
  for (int i = 0; i < count && records != nullptr; ++i) {
    const SDrvInfo& d = records[i];
    KIT_LOG("[%d/%d]\r\n\t\t\tcUpdateValue[%d]iDriverID[%d]i64DrvFileSize[%lld]i64DrvFileVersion[%lld]"
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
