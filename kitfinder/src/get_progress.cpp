#include "get_progress.h"

#include <cstring>
#include <new>
#include <vector>

#include "hour_stamp.h"
#include "id_text.h"
#include "module_folder.h"
#include "record_copy.h"
#include "text_util.h"

namespace kitfinder {

namespace {
std::mutex g_front_mu;  // guards g_front
std::shared_ptr<CGetProgress> g_front;

bool SameSystem(const SSysInfo& stored, const SSysInfo& slot) {
  return SameText(stored.szBrandStr, slot.szBrandStr) && SameText(stored.szProductStr, slot.szProductStr) &&
         stored.iOSID == slot.iOSID && stored.sLanguage == slot.sLanguage && stored.cComputerType == slot.cComputerType;
}

// After a cache miss the record holds the key alone again.
void ClearCachedFields(SDevCacheInfo* record) {
  const SQueryDevInfo key = record->DevInfo;
  *record = SDevCacheInfo{};
  record->DevInfo = key;
}

void CopyDescriptions(const SDevCacheInfo& record, char16_t* desc1, char16_t* desc2) {
  if (desc1) CopyText(desc1, record.szDesc1);
  if (desc2) CopyText(desc2, record.szDesc2);
}

// A fresh cached answer to the caller, with the record's descriptions; the
// cache's array is freed.
int ServeCached(const CLedgerboxInterface& sc, SDrvInfo* cached, uint8_t cached_count, const SDevCacheInfo& record,
                SDrvInfo** drivers, uint8_t* count, char16_t* desc1, char16_t* desc2) {
  const bool ok = HandOutCopy(cached, cached_count, drivers, count);
  if (cached && sc.SCFreeDrvInfo) sc.SCFreeDrvInfo(cached, cached_count);
  if (!ok) {
    KIT_LOG("error new SDrvInfo[%d]", cached_count);
    return DS_ERROR_OTHER;
  }
  CopyDescriptions(record, desc1, desc2);
  return DS_ERROR_SUCCESS;
}

// The first (or only) request of a driver query: the device and the slot's
// system fields.
SDevInfo FirstRequest(const SQueryDevInfo& device, const SSysInfo& sys) {
  SDevInfo request{};
  std::memcpy(request.szHardwareIDs, device.szHardwareIDs, sizeof request.szHardwareIDs);
  request.cLocalDrvStatus = device.cLocalDrvStatus;
  request.iLocalDrvDate = device.iLocalDrvDate;
  request.cNeedPackType = device.cNeedPackType;
  request.iBrandID = sys.iBrandID;
  request.iProductID = sys.iProductID;
  request.iOSID = sys.iOSID;
  request.sLanguage = sys.sLanguage;
  request.cComputerType = sys.cComputerType;
  request.cQueryFlag = 10;
  return request;
}
}  // namespace

std::shared_ptr<CGetProgress> CGetProgress::GetInstance() {
  std::lock_guard<std::mutex> hold(g_front_mu);
  if (!g_front) {
    try {
      g_front = std::make_shared<CGetProgress>();
    } catch (const std::bad_alloc&) {
      KIT_LOG("error new CGetProgress");
    }
  }
  return g_front;
}

void CGetProgress::DestroyInstance() {
  std::shared_ptr<CGetProgress> gone;
  std::lock_guard<std::mutex> hold(g_front_mu);
  gone.swap(g_front);
}

CGetProgress::CGetProgress() : now_stamp_(&HourStampNow) {
  std::memset(sys_, 0, sizeof sys_);
  kitoracle::CBaseLog& log = kitoracle::CBaseLog::Instance();
  log.LogInit(log.LogPath("kitfinder.log"), __FILE__);
}

CGetProgress::~CGetProgress() = default;

int CGetProgress::Init(const std::string& folder_given) {
  std::lock_guard<std::mutex> hold(mu_);
  const std::string folder = folder_given.empty() ? OwnModuleFolder("") : folder_given;
  // A second initialisation gives up the earlier cache binding first.
  if (ledgerbox_ || sc_.module) {
    if (sc_.SCClose) sc_.SCClose();
    sc_.Release();
    ledgerbox_ = false;
  }
  if (!ds_.InitDSInterface(folder.empty() ? std::string() : folder + "kitoracle.dll")) {
    KIT_LOG("error m_DSInterface.InitDSInterface");
    return DS_ERROR_INTERFACE;
  }
  const int code = ds_.DSInit();
  if (code != DS_ERROR_SUCCESS) {
    KIT_LOG("error m_DSInterface.DSInit dwRet[%s]", CodeName(code));
    return code;
  }
  if (sc_.InitSCInterface(folder.empty() ? std::string() : folder + "Ledgerbox.dll")) {
    ledgerbox_ = true;
    if (sc_.SCInit) sc_.SCInit();
  }
  KIT_LOG("m_bLedgerbox[%d].", ledgerbox_ ? 1 : 0);
  return DS_ERROR_SUCCESS;
}

void CGetProgress::Release() {
  std::lock_guard<std::mutex> hold(mu_);
  if (!ledgerbox_) return;
  if (sc_.SCClose) sc_.SCClose();
  sc_.Release();
  ledgerbox_ = false;
}

void CGetProgress::SetNowStamp(NowStamp now) {
  std::lock_guard<std::mutex> hold(mu_);
  now_stamp_ = now ? now : &HourStampNow;
}

void CGetProgress::SetMajorAppID(int app_id) {
  CDSInterface ds;
  {
    std::lock_guard<std::mutex> hold(mu_);
    major_app_id_ = static_cast<uint8_t>(app_id);
    ds = ds_;
  }
  ds.SetMajorAppID(app_id);
}

void CGetProgress::SetClientVer(uint64_t version) {
  std::lock_guard<std::mutex> hold(mu_);
  client_version_ = version;
}

void CGetProgress::SetUnionID(int union_id) {
  std::lock_guard<std::mutex> hold(mu_);
  union_id_ = union_id;
}

void CGetProgress::SetDisplayType(int type) {
  std::lock_guard<std::mutex> hold(mu_);
  display_type_ = type;
  KIT_LOG("SetDisplayType[%d]", type);
}

void CGetProgress::SetBrandStr(int slot, const char16_t* brand, const char16_t* product, const char16_t* version) {
  const int s = slot ? 1 : 0;
  std::lock_guard<std::mutex> hold(mu_);
  SSysInfo& info = sys_[s];
  if (brand) CopyText(info.szBrandStr, brand);
  if (product) CopyText(info.szProductStr, product);
  if (version) CopyText(info.szProductVer, version);
  KIT_LOG("SetBrandStr m_SysInfo[%d].szBrandStr[%s] szProductStr[%s] szProductVer[%s]", s,
          Utf8(info.szBrandStr).c_str(), Utf8(info.szProductStr).c_str(), Utf8(info.szProductVer).c_str());
}

void CGetProgress::SetSystemInfo(int slot, int os_id, int16_t language, uint8_t computer_type) {
  const int s = slot ? 1 : 0;
  std::lock_guard<std::mutex> hold(mu_);
  sys_[s].iOSID = os_id;
  sys_[s].sLanguage = language;
  sys_[s].cComputerType = computer_type;
  KIT_LOG("SetSystemInfo m_SysInfo[%d].iOSID[%d] sLanguage[%d] cComputerType[%d]", s, os_id, language, computer_type);
}

CGetProgress::Context CGetProgress::Snapshot(int slot) {
  std::lock_guard<std::mutex> hold(mu_);
  const int s = slot ? 1 : 0;
  Context c;
  c.sys = sys_[s];
  c.ds = ds_;
  c.cache = s == 1 && ledgerbox_;
  if (c.cache) c.sc = sc_;
  c.now = now_stamp_();
  c.client_version = client_version_;
  c.union_id = union_id_;
  c.display_type = display_type_;
  c.other_language = sys_[0].sLanguage;
  return c;
}

int CGetProgress::Prepare(int slot, Context* ctx) {
  const int s = slot ? 1 : 0;
  if (const int code = ResolveSlot(s)) {
    KIT_LOG("error SrcSysInfo[%d] dwRet[%s]", s, CodeName(code));
    return code;
  }
  *ctx = Snapshot(s);
  return DS_ERROR_SUCCESS;
}

int CGetProgress::ResolveSlot(int s) {
  std::lock_guard<std::mutex> one(resolving_[s]);
  SSysInfo asked{};
  CDSInterface ds;
  CLedgerboxInterface sc;
  bool cache = false;
  int32_t now = 0;
  {
    std::lock_guard<std::mutex> hold(mu_);
    if (resolved_[s]) return DS_ERROR_SUCCESS;
    asked = sys_[s];
    ds = ds_;
    cache = s == 1 && ledgerbox_;
    if (cache) sc = sc_;
    now = now_stamp_();
  }
  SSysInfo found = asked;
  const int code = SrcSysInfo(s, ds, cache ? &sc : nullptr, now, &found);
  if (code != DS_ERROR_SUCCESS) return code;
  std::lock_guard<std::mutex> hold(mu_);
  SSysInfo& slot = sys_[s];
  if (SameSystem(slot, asked) && SameText(slot.szProductVer, asked.szProductVer)) {
    slot = found;
  } else {
    // A setter changed the slot's texts meanwhile: they stay, the answer
    // joins them (a resolved slot keeps its IDs and names).
    slot.iBrandID = found.iBrandID;
    slot.iProductID = found.iProductID;
    CopyText(slot.szBrandName, found.szBrandName);
    CopyText(slot.szProductName, found.szProductName);
    slot.iStamp = found.iStamp;
  }
  resolved_[s] = true;
  return DS_ERROR_SUCCESS;
}

int CGetProgress::SrcSysInfo(int s, const CDSInterface& ds, const CLedgerboxInterface* cache, int32_t now,
                             SSysInfo* slot) {
  if (cache && cache->SCGetSysInfo) {
    SSysInfo stored{};
    if (CacheTrue(cache->SCGetSysInfo(&stored)) && !IsStampStale(stored.iStamp, now) && SameSystem(stored, *slot)) {
      *slot = stored;
      return DS_ERROR_SUCCESS;
    }
  }
  int32_t brand_id = 0, product_id = 0;
  char16_t brand_name[kDriverTextLength] = {}, product_name[kDriverTextLength] = {};
  // The host's first, third and second text: sent as brand, product, version.
  const int code = ds.GetBrandAndProductID(slot->szBrandStr, slot->szProductVer, slot->szProductStr,
                                           slot->cComputerType, &brand_id, &product_id, brand_name, product_name);
  if (code != DS_ERROR_SUCCESS) {
    KIT_LOG("error DSGetBrandAndProductID[%s][%s][%s] dwRet[%s]", Utf8(slot->szBrandStr).c_str(),
            Utf8(slot->szProductVer).c_str(), Utf8(slot->szProductStr).c_str(), CodeName(code));
    return code;
  }
  slot->iBrandID = brand_id;
  slot->iProductID = product_id;
  CopyText(slot->szBrandName, brand_name);
  CopyText(slot->szProductName, product_name);
  KIT_LOG("SrcSysInfo m_SysInfo[%d].iBrandID[%d] iProductID[%d] szBrandName[%s] szProductName[%s]", s, brand_id,
          product_id, Utf8(slot->szBrandName).c_str(), Utf8(slot->szProductName).c_str());
  if (cache) {
    slot->iStamp = now;
    if (!cache->SCUpdateSysInfo || !CacheTrue(cache->SCUpdateSysInfo(slot))) KIT_LOG("error SCUpdateSysInfo");
  }
  return DS_ERROR_SUCCESS;
}

int CGetProgress::HandOutAnswer(const CDSInterface& ds, const SDevInfo& request, SDrvInfo** drivers, uint8_t* count) {
  const bool ok = HandOutCopy(request.pDrvInfo, request.cDrvCount, drivers, count);
  if (request.pDrvInfo) ds.FreeDriverInfo(request.pDrvInfo, request.cDrvCount);
  if (!ok) {
    KIT_LOG("error new SDrvInfo[%d]", request.cDrvCount);
    return DS_ERROR_OTHER;
  }
  return DS_ERROR_SUCCESS;
}

int CGetProgress::GetBrandName(int slot, char16_t* brand_name, char16_t* product_name) {
  if (!brand_name || !product_name) {
    KIT_LOG("error parameter");
    return DS_ERROR_PARAMETER;
  }
  Context c;
  if (const int code = Prepare(slot, &c)) return code;
  CopyText(brand_name, c.sys.szBrandName);
  CopyText(product_name, c.sys.szProductName);
  ComputerInfoReport();
  return DS_ERROR_SUCCESS;
}

int CGetProgress::GetBrandSoftware(int slot, SSoftInfo** soft, uint8_t* count) {
  if (const int code = CheckOutputs(true, soft, count, "error parameter")) return code;
  Context c;
  if (const int code = Prepare(slot, &c)) return code;
  if (c.cache && c.sc.SCGetBrandSoftInfo) {
    SSoftInfo* cached = nullptr;
    uint8_t cached_count = 0;
    int32_t stamp = 0;
    if (CacheTrue(c.sc.SCGetBrandSoftInfo(&cached, &cached_count, &stamp))) {
      const bool fresh = !IsStampStale(stamp, c.now);
      SSoftInfo* copy = fresh ? CopySoftware(cached, cached_count) : nullptr;
      if (cached && c.sc.SCFreeBrandSoftInfo) c.sc.SCFreeBrandSoftInfo(cached);
      if (fresh) {
        if (cached && cached_count && !copy) {
          KIT_LOG("error new SSoftInfo[%d]", cached_count);
          return DS_ERROR_OTHER;
        }
        *soft = copy;
        *count = copy ? cached_count : 0;
        return DS_ERROR_SUCCESS;
      }
    }
  }
  SDevInfo request{};
  request.iBrandID = c.sys.iBrandID;
  request.iProductID = c.sys.iProductID;
  request.iOSID = c.sys.iOSID;
  request.sLanguage = c.sys.sLanguage;
  SSoftInfo* got = nullptr;
  uint8_t got_count = 0;
  const int code = c.ds.GetBrandSoftware(&request, &got, &got_count);
  if (code != DS_ERROR_SUCCESS) {
    KIT_LOG("error DSGetBrandSoftware dwRet[%s]", CodeName(code));
    return code;
  }
  SSoftInfo* copy = CopySoftware(got, got_count);
  if (got) c.ds.FreeSoftwareInfo(got);
  if (got && got_count && !copy) {
    KIT_LOG("error new SSoftInfo[%d]", got_count);
    return DS_ERROR_OTHER;
  }
  *soft = copy;
  *count = copy ? got_count : 0;
  if (c.cache && (!c.sc.SCUpdateBrandSoftInfo || !CacheTrue(c.sc.SCUpdateBrandSoftInfo(copy, *count, c.now))))
    KIT_LOG("error SCUpdateBrandSoftInfo");
  return DS_ERROR_SUCCESS;
}

int CGetProgress::DeviceIdsFor(const Context& c, SDevCacheInfo* record, bool use_cached_ids, int32_t** ids,
                               uint8_t* id_count, const char* error_empty, const char* error_alloc) {
  *ids = nullptr;
  *id_count = 0;
  if (use_cached_ids) {
    const int n = AnalyzeIds(record->szDeviceID, kDriverTextLength, nullptr, 0);
    int32_t* read = new (std::nothrow) int32_t[n]();
    if (!read) {
      KIT_LOG("%s", error_alloc);
      return DS_ERROR_OTHER;
    }
    AnalyzeIds(record->szDeviceID, kDriverTextLength, read, n);
    *ids = read;
    *id_count = static_cast<uint8_t>(n);
    return DS_ERROR_SUCCESS;
  }
  const std::vector<std::u16string> hardware = HardwareIdStrings(record->DevInfo.szHardwareIDs, kHardwareIdListLength);
  if (hardware.empty()) {
    KIT_LOG("%s", error_empty);
    return DS_ERROR_PARAMETER;
  }
  const uint8_t n = static_cast<uint8_t>(hardware.size());
  int32_t* asked = new (std::nothrow) int32_t[n]();
  if (!asked) {
    KIT_LOG("%s", error_alloc);
    return DS_ERROR_OTHER;
  }
  const int code = c.ds.GetDeviceDescAndID(record->DevInfo.szHardwareIDs, n, asked, record->szDesc1, record->szDesc2);
  if (code != DS_ERROR_SUCCESS) {
    KIT_LOG("error DSGetDeviceDescAndID[%s] dwRet[%s]", Utf8(hardware[0]).c_str(), CodeName(code));
    delete[] asked;
    return code;
  }
  record->szDesc1[kDriverTextLength - 1] = 0;
  record->szDesc2[kDriverTextLength - 1] = 0;
  CopyText(record->szDeviceID, DeviceIdText(asked, n).c_str());
  *ids = asked;
  *id_count = n;
  return DS_ERROR_SUCCESS;
}

int CGetProgress::GetPciDrvInfo(int slot, const SQueryDevInfo* device, SDrvInfo** drivers, uint8_t* count,
                                char16_t* desc1, char16_t* desc2) {
  if (const int code = CheckOutputs(device != nullptr, drivers, count, "error parameter")) return code;
  Context c;
  if (const int code = Prepare(slot, &c)) return code;
  SDevCacheInfo record = CacheRecordOf(*device);
  bool stale = false;
  if (c.cache && c.sc.SCGetDrvInfo) {
    SDrvInfo* cached = nullptr;
    uint8_t cached_count = 0;
    if (CacheTrue(c.sc.SCGetDrvInfo(&record, &cached, &cached_count))) {
      if (!IsStampStale(record.iStamp, c.now))
        return ServeCached(c.sc, cached, cached_count, record, drivers, count, desc1, desc2);
      if (cached && c.sc.SCFreeDrvInfo) c.sc.SCFreeDrvInfo(cached, cached_count);
      stale = true;
    } else {
      ClearCachedFields(&record);
    }
  }
  SDevInfo request = FirstRequest(record.DevInfo, c.sys);
  const bool cached_ids = stale && AnalyzeIds(record.szDeviceID, kDriverTextLength, nullptr, 0) > 0;
  int code = DeviceIdsFor(c, &record, cached_ids, &request.piDeviceID, &request.cDevIDCount, "error parameter3",
                          "error new dsDevInfo.piDeviceID");
  if (code != DS_ERROR_SUCCESS) return code;
  CopyDescriptions(record, desc1, desc2);
  code = c.ds.GetCommonAndNewestDriver(&request);
  delete[] request.piDeviceID;
  if (code != DS_ERROR_SUCCESS) {
    KIT_LOG("error DSGetCommonAndNewestDriver[%s] dwRet[%s]", Utf8(record.DevInfo.szHardwareIDs).c_str(),
            CodeName(code));
    return code;
  }
  if ((code = HandOutAnswer(c.ds, request, drivers, count)) != DS_ERROR_SUCCESS) return code;
  if (c.cache) {
    record.iStamp = c.now;
    if (!c.sc.SCUpdateDrvInfo || !CacheTrue(c.sc.SCUpdateDrvInfo(&record, *drivers, *count)))
      KIT_LOG("error SCUpdateDrvInfo");
  }
  return DS_ERROR_SUCCESS;
}

int CGetProgress::GetPciSpecialDrvInfo(int slot, const SQueryDevInfo* first, const SQueryDevInfo* second,
                                       SDrvInfo** drivers, uint8_t* count, char16_t* desc1, char16_t* desc2) {
  if (const int code = CheckOutputs(first && second, drivers, count, "error parameter")) return code;
  Context c;
  if (const int code = Prepare(slot, &c)) return code;
  SDevCacheInfo one = CacheRecordOf(*first);
  SDevCacheInfo two = CacheRecordOf(*second);
  KIT_LOG("FirstDevInfo szClass[%s]cLocalDrvStatus[%d]iLocalDrvDate[%d]cNeedPackType[%d]",
          Utf8(one.DevInfo.szClass).c_str(), one.DevInfo.cLocalDrvStatus, one.DevInfo.iLocalDrvDate,
          one.DevInfo.cNeedPackType);
  KIT_LOG("SecondDevInfo szClass[%s]cLocalDrvStatus[%d]iLocalDrvDate[%d]cNeedPackType[%d]",
          Utf8(two.DevInfo.szClass).c_str(), two.DevInfo.cLocalDrvStatus, two.DevInfo.iLocalDrvDate,
          two.DevInfo.cNeedPackType);
  bool stale = false;
  if (c.cache && c.sc.SCGetSpecialDrvInfo) {
    SDrvInfo* cached = nullptr;
    uint8_t cached_count = 0;
    if (CacheTrue(c.sc.SCGetSpecialDrvInfo(&one, &two, &cached, &cached_count))) {
      if (!IsStampStale(one.iStamp, c.now) && !IsStampStale(two.iStamp, c.now))
        return ServeCached(c.sc, cached, cached_count, one, drivers, count, desc1, desc2);
      if (cached && c.sc.SCFreeDrvInfo) c.sc.SCFreeDrvInfo(cached, cached_count);
      stale = true;
    } else {
      ClearCachedFields(&one);
      ClearCachedFields(&two);
    }
  }
  SDevInfo request1 = FirstRequest(one.DevInfo, c.sys);
  SDevInfo request2{};
  std::memcpy(request2.szHardwareIDs, two.DevInfo.szHardwareIDs, sizeof request2.szHardwareIDs);
  request2.cLocalDrvStatus = two.DevInfo.cLocalDrvStatus;
  request2.iLocalDrvDate = two.DevInfo.iLocalDrvDate;
  const bool cached_ids = stale && AnalyzeIds(one.szDeviceID, kDriverTextLength, nullptr, 0) > 0 &&
                          AnalyzeIds(two.szDeviceID, kDriverTextLength, nullptr, 0) > 0;
  const char* alloc_both = "error new dsFirstDevInfo.piDeviceID dsSecondDevInfo.piDeviceID";
  int code = DeviceIdsFor(c, &one, cached_ids, &request1.piDeviceID, &request1.cDevIDCount,
                          "error  0 == dsFirstDevInfo.cDevIDCount ",
                          cached_ids ? alloc_both : "error new dsFirstDevInfo.piDeviceID ");
  if (code == DS_ERROR_SUCCESS) {
    code = DeviceIdsFor(c, &two, cached_ids, &request2.piDeviceID, &request2.cDevIDCount,
                        "error  0 == dsSecondDevInfo.cDevIDCount ",
                        cached_ids ? alloc_both : "error new dsSecondDevInfo.piDeviceID ");
  }
  if (code == DS_ERROR_SUCCESS) {
    CopyDescriptions(one, desc1, desc2);
    code = c.ds.GetSpecialCommonAndNewestDriver(&request1, &request2, 1);
    if (code != DS_ERROR_SUCCESS) KIT_LOG("error GetSpecialCommonAndNewestDriver dwRet[%s]", CodeName(code));
  }
  delete[] request1.piDeviceID;
  delete[] request2.piDeviceID;
  if (code != DS_ERROR_SUCCESS) return code;
  if ((code = HandOutAnswer(c.ds, request1, drivers, count)) != DS_ERROR_SUCCESS) return code;
  if (c.cache) {
    one.iStamp = two.iStamp = c.now;
    if (!c.sc.SCUpdateSpecialDrvInfo || !CacheTrue(c.sc.SCUpdateSpecialDrvInfo(&one, &two, *drivers, *count)))
      KIT_LOG("error SCUpdateSpecialDrvInfo");
  }
  return DS_ERROR_SUCCESS;
}

int CGetProgress::GetDrvDesc(int slot, int driver_id, char16_t* buffer, int* length) {
  // The length is the buffer's capacity: without it nothing can be asked.
  if (!length || *length < 0 || (!buffer && *length > 0)) {
    KIT_LOG("error parameter");
    return DS_ERROR_PARAMETER;
  }
  Context c;
  if (const int code = Prepare(slot, &c)) return code;
  if (c.cache && c.sc.SCGetDrvDesc) {
    int32_t cached_length = *length;
    if (CacheTrue(c.sc.SCGetDrvDesc(driver_id, buffer, &cached_length))) {
      *length = cached_length;
      return DS_ERROR_SUCCESS;
    }
    if (cached_length > *length) {
      *length = cached_length;
      return DS_ERROR_NOTENOUGH;
    }
  }
  const int code = c.ds.GetDriverDesc(driver_id, c.sys.iProductID, buffer, length);
  if (code != DS_ERROR_SUCCESS) return code;
  if (c.cache && (!c.sc.SCUpdateDrvDesc || !buffer || !CacheTrue(c.sc.SCUpdateDrvDesc(driver_id, buffer))))
    KIT_LOG("error SCUpdateDrvDesc[%d]", driver_id);
  return DS_ERROR_SUCCESS;
}

int CGetProgress::GetMobileProductInfo(int vendor_id, int product_id, const char16_t* text1, const char16_t* text2,
                                       const char16_t* text3, char16_t* result, int capacity) {
  const Context c = Snapshot(1);
  return c.ds.GetMobileProductInfo(vendor_id, product_id, text1, text2, text3, result, capacity);
}

}  // namespace kitfinder
