// The query front's operations that go to the search service without a
// cache of their own: several USB devices at once, the peripheral check,
// the two reports about a cached device, the statistics reports, the
// cloud-switch document and the calendar flag.
#include <cstdint>
#include <cstdio>
#include <memory>
#include <mutex>
#include <new>
#include <vector>

#include "foundation/xml/xml_document.h"
#include "get_progress.h"
#include "id_text.h"
#include "module_folder.h"
#include "record_copy.h"
#include "text_util.h"

namespace kitfinder {

namespace {
// Process-wide, kept across the query front's life: the cloud-switch
// document and the mark that the computer information report was sent.
// g_cloud_mu guards the document and is held while it is fetched, so two
// threads never fetch it together; g_report_mu the same for the report.
std::mutex g_cloud_mu;
char16_t g_cloud_switch[kCloudSwitchCapacity] = {};
std::mutex g_report_mu;
bool g_report_sent = false;

constexpr size_t kUnbounded = SIZE_MAX;  // the host's lists carry no size of their own

// The requests of one multi-device query; frees what it holds.
struct Requests {
  std::unique_ptr<SDevInfo[]> devices;
  int count = 0;
  ~Requests() {
    for (int i = 0; devices && i < count; ++i) delete[] devices[i].piDeviceID;
  }
};

// The leading number of an attribute value, 0 when none.
int LeadingInt(const std::u16string& text) {
  int value = 0;
  for (char16_t ch : text) {
    if (ch < u'0' || ch > u'9') break;
    value = value * 10 + (ch - u'0');
    if (value > 100000000) break;
  }
  return value;
}
}  // namespace

int CGetProgress::GetUsbDrvInfo(int mode, const char16_t* lists, uint8_t device_count, char16_t* matched,
                                size_t matched_capacity, SDrvInfo** drivers, uint8_t* count, char16_t* desc1,
                                char16_t* desc2) {
  if (const int code = CheckOutputs(lists && device_count, drivers, count, "error parameter1")) return code;
  Context c;
  if (const int code = Prepare(1, &c)) return code;

  Requests requests;
  requests.devices.reset(new (std::nothrow) SDevInfo[device_count]());
  if (!requests.devices) {
    KIT_LOG("error new SDevInfo[%d]", device_count);
    return DS_ERROR_OTHER;
  }
  requests.count = device_count;
  std::vector<std::vector<std::u16string>> hardware(device_count);
  const char16_t* list = lists;
  for (int i = 0; i < device_count; ++i, list += HardwareIdListLength(list, kUnbounded)) {
    SDevInfo& request = requests.devices[i];
    hardware[i] = HardwareIdStrings(list, kUnbounded);
    request.cDevIDCount = static_cast<uint8_t>(hardware[i].size());
    if (request.cDevIDCount == 0) {
      KIT_LOG("error pDevInfo[%d].cDevIDCount <= 0", i);
      continue;
    }
    request.piDeviceID = new (std::nothrow) int32_t[request.cDevIDCount]();
    if (!request.piDeviceID) {
      KIT_LOG("error new pDevInfo[%d].piDeviceID", i);
      return DS_ERROR_OTHER;
    }
    const int code = c.ds.GetDeviceDescAndIDEx(mode, list, request.cDevIDCount, request.piDeviceID, desc1, desc2);
    if (code != DS_ERROR_SUCCESS) KIT_LOG("error m_DSInterface.GetDeviceDescAndID[%s]", Utf8(hardware[i][0]).c_str());
  }
  SDevInfo& head = requests.devices[0];
  head.iBrandID = c.sys.iBrandID;
  head.iProductID = c.sys.iProductID;
  head.iOSID = c.sys.iOSID;
  head.sLanguage = c.sys.sLanguage;
  head.cQueryFlag = 10;
  head.cComputerType = mode == 1 ? 3 : c.sys.cComputerType;

  const int code = c.ds.GetMultiDeviceDriverInfoEx(mode, requests.devices.get(), device_count);
  if (code != DS_ERROR_SUCCESS) {
    KIT_LOG("error m_DSInterface.GetMultiDeviceDriverInfoEx dwRet[%s]", CodeName(code));
    return code;
  }

  if (matched) {
    MatchedIdsWriter writer(matched, matched_capacity, head.pDrvInfo ? head.cDrvCount : 0);
    for (int d = 0; head.pDrvInfo && d < head.cDrvCount; ++d) {
      SDrvInfo& driver = head.pDrvInfo[d];
      const SetupPrefix prefix = ParseSetupPrefix(driver.szSetupPara, kDriverTextLength);
      if (prefix.present) {
        for (int32_t id : prefix.ids) {
          if (id == 0) continue;  // 0 is "unknown to the service", never a match
          for (int i = 0; i < device_count; ++i) {
            const SDevInfo& request = requests.devices[i];
            for (size_t j = 0; request.piDeviceID && j < hardware[i].size(); ++j) {
              if (request.piDeviceID[j] == id) writer.AddId(hardware[i][j]);
            }
          }
        }
        CopyText(driver.szSetupPara, prefix.rest.c_str());
      }
      writer.CloseGroup();
    }
    writer.Finish();
    if (writer.cut()) KIT_LOG("matched IDs cut at %d characters", static_cast<int>(matched_capacity));
  }

  return HandOutAnswer(c.ds, head, drivers, count);
}

int CGetProgress::CheckPeripheralDevice(const char16_t* list, uint8_t* result) {
  if (!list || !result) {
    KIT_LOG("error parameter");
    return DS_ERROR_PARAMETER;
  }
  Context c;
  if (const int code = Prepare(1, &c)) return code;
  const std::vector<std::u16string> hardware = HardwareIdStrings(list, kUnbounded);
  const uint8_t n = static_cast<uint8_t>(hardware.size());
  std::unique_ptr<int32_t[]> ids(new (std::nothrow) int32_t[n ? n : 1]());
  if (!ids) {
    KIT_LOG("error new piDeviceID");
    return DS_ERROR_OTHER;
  }
  int code = c.ds.GetDeviceDescAndID(list, n, ids.get(), nullptr, nullptr);
  if (code != DS_ERROR_SUCCESS) {
    KIT_LOG("error m_DSInterface.GetDeviceDescAndID[%s] dwRet[%s]", n ? Utf8(hardware[0]).c_str() : "", CodeName(code));
    return code;
  }
  SDevInfo request{};
  request.cDevIDCount = n;
  request.piDeviceID = ids.get();
  request.iBrandID = c.sys.iBrandID;
  request.iProductID = c.sys.iProductID;
  code = c.ds.CheckPeripheralDevice(&request, result);
  if (code != DS_ERROR_SUCCESS) KIT_LOG("error m_DSInterface.CheckPeripheralDevice dwRet[%s]", CodeName(code));
  return code;
}

// The device IDs the cache holds for a device the service was asked about.
static int CachedDeviceIds(const CLedgerboxInterface& sc, bool cache, const SQueryDevInfo* device,
                           std::vector<int32_t>* ids) {
  if (!cache) {
    KIT_LOG("error !m_bLedgerbox");
    return DS_ERROR_SQL;
  }
  if (!device) {
    KIT_LOG("error parameter");
    return DS_ERROR_PARAMETER;
  }
  SDevCacheInfo record = CacheRecordOf(*device);
  if (!sc.SCGetDrvInfo || !CacheTrue(sc.SCGetDrvInfo(&record, nullptr, nullptr))) {
    KIT_LOG("error m_SCInterface.GetDrvInfo");
    return DS_ERROR_SQL;
  }
  const int n = AnalyzeIds(record.szDeviceID, kDriverTextLength, nullptr, 0);
  if (n == 0) {
    KIT_LOG("error 0 == count szDeviceID[%s]", Utf8(record.szDeviceID).c_str());
    return DS_ERROR_SQL;
  }
  ids->assign(n, 0);
  AnalyzeIds(record.szDeviceID, kDriverTextLength, ids->data(), n);
  return DS_ERROR_SUCCESS;
}

int CGetProgress::IsDriverOSSupply(const SQueryDevInfo* device, int value, uint8_t* result) {
  const Context c = Snapshot(1);
  std::vector<int32_t> ids;
  int code = CachedDeviceIds(c.sc, c.cache, device, &ids);
  if (code != DS_ERROR_SUCCESS) return code;
  code = c.ds.IsDriverOSSupply(ids.data(), static_cast<uint8_t>(ids.size()), value, result);
  if (code != DS_ERROR_SUCCESS) KIT_LOG("error m_DSInterface.IsDriverOSSupply dwRet[%s]", CodeName(code));
  return code;
}

int CGetProgress::ReportDrvInstResult(const SQueryDevInfo* device, int os_id, int file_id, int os_install_date,
                                      uint8_t result) {
  const Context c = Snapshot(1);
  std::vector<int32_t> ids;
  const int code = CachedDeviceIds(c.sc, c.cache, device, &ids);
  if (code != DS_ERROR_SUCCESS) return code;
  for (int32_t id : ids) {
    if (id != 0) return c.ds.ReportDrvInstResult(id, os_id, file_id, os_install_date, result);
  }
  return DS_ERROR_NODATA;
}

void CGetProgress::ComputerInfoReport() {
  std::lock_guard<std::mutex> hold(g_report_mu);
  if (g_report_sent) return;
  Context c;
  if (Prepare(1, &c) != DS_ERROR_SUCCESS) c = Snapshot(1);
  char text[kDriverTextLength];
  std::snprintf(text, sizeof text, "{\"ComputerType\":%d,\"BrandID\":%d,\"OSID\":%d,\"DisplayType\":%d}",
                c.sys.cComputerType, c.sys.iBrandID, c.sys.iOSID, c.display_type);
  std::u16string wide(text, text + std::char_traits<char>::length(text));
  const int code = c.ds.StatInfoReport(c.union_id, 12, wide.c_str());
  KIT_LOG("StatInfoReport[%s][%s]", text, CodeName(code));
  if (code == DS_ERROR_SUCCESS) g_report_sent = true;
}

bool CGetProgress::StatReport(int kind, const char16_t* text) {
  const Context c = Snapshot(1);
  const int code = c.ds.StatInfoReport(c.union_id, static_cast<int16_t>(kind), text ? text : u"");
  KIT_LOG("StatInfoReport ret[%s]", CodeName(code));
  return code == DS_ERROR_SUCCESS;
}

std::u16string CGetProgress::GetCloudSwitch() {
  std::lock_guard<std::mutex> hold(g_cloud_mu);
  if (!g_cloud_switch[0]) {
    const Context c = Snapshot(0);
    const int code = c.ds.GetCloudSwitchInfo(static_cast<uint32_t>(c.client_version),
                                             static_cast<uint32_t>(c.client_version >> 32), c.other_language,
                                             static_cast<uint32_t>(c.union_id), g_cloud_switch, kCloudSwitchCapacity);
    g_cloud_switch[kCloudSwitchCapacity - 1] = 0;
    KIT_LOG("GetCloudSwitchInfo ret[%s]", CodeName(code));
    const std::u16string got = FieldText(g_cloud_switch, kCloudSwitchCapacity);
    if (got.size() < 512) KIT_LOG("szXml[%s]", Utf8(got).c_str());
  }
  return FieldText(g_cloud_switch, kCloudSwitchCapacity);
}

int CGetProgress::GetQenAdType() {
  const std::u16string document = GetCloudSwitch();
  int value = -1;
  CXmlDocument xml;
  if (!document.empty() && xml.SetDocument(document) && xml.FindElement(u"CloudSwitch") && xml.IntoElement()) {
    while (xml.FindElement(u"Switch")) {
      if (xml.GetAttribute(u"Type") != u"1" || !xml.IntoElement()) continue;
      while (xml.FindElement(u"QENRightTopAdType")) value = LeadingInt(xml.GetAttribute(u"Value"));
      xml.OutOfElement();
    }
  }
  KIT_LOG("QENRightTopAdType[%d]", value);
  return value;
}

bool CGetProgress::IsStartCalendar() {
  const Context c = Snapshot(0);
  uint8_t start = 0;
  const int code =
      c.ds.GetCalendarStart(static_cast<uint32_t>(c.client_version), static_cast<uint32_t>(c.client_version >> 32),
                            c.other_language, static_cast<uint32_t>(c.union_id), &start);
  return code == DS_ERROR_SUCCESS && start != 0;
}

}  // namespace kitfinder
