// A driver information library for tests: the start-up calls and the
// statistics report, counted; a scripted USB driver query (no data until a
// test sets an answer; 0, 1 or more records; optionally slow), its free
// function, and a scripted model answer. Every other procedure is missing on
// purpose.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <thread>

#include "kitoracle/driver_records.h"

#define FAKE_API extern "C" __attribute__((visibility("default")))

namespace {
std::mutex g_mu;
std::map<std::string, int> g_calls;
int g_init_result = 0;

struct DriverAnswer {
  int result = DS_ERROR_NODATA;
  int count = 0;
  int delay_ms = 0;
  uint8_t key[16] = {};
  int64_t size = 0;
  uint8_t package_type = 0;
  std::u16string class_name;
} g_driver;
std::u16string g_model_xml;
int g_model_result = DS_ERROR_NODATA;
std::atomic<int> g_records_alive{0};

void Count(const char* name) {
  std::lock_guard<std::mutex> lock(g_mu);
  ++g_calls[name];
}
}  // namespace

FAKE_API int DGInit() {
  Count("DGInit");
  return g_init_result;
}
FAKE_API void DGClose() { Count("DGClose"); }
FAKE_API void DGSetMajorAppID(int) { Count("DGSetMajorAppID"); }
FAKE_API void DGSetClientVer(uint64_t) { Count("DGSetClientVer"); }
FAKE_API void DGSetUnionID(int) { Count("DGSetUnionID"); }
FAKE_API void DGSetLocalBrandStr(const char16_t*, const char16_t*, const char16_t*) { Count("DGSetLocalBrandStr"); }
FAKE_API void DGSetLocalSystemInfo(int, uint16_t, uint8_t) { Count("DGSetLocalSystemInfo"); }
FAKE_API int DGStatReport(int kind, uintptr_t) {
  Count("DGStatReport");
  return kind == 7 ? 1 : 0;
}

FAKE_API int DGGetLocalUsbDrvInfoEx2(int, const char16_t* ids, uint8_t id_count, char16_t* matched,
                                     SDrvInfo** records, uint8_t* record_count, char16_t* description,
                                     char16_t* class_name) {
  Count("DGGetLocalUsbDrvInfoEx2");
  DriverAnswer answer;
  {
    std::lock_guard<std::mutex> lock(g_mu);
    answer = g_driver;
  }
  if (answer.delay_ms) std::this_thread::sleep_for(std::chrono::milliseconds(answer.delay_ms));
  if (!ids || !id_count || !records || *records || !record_count) return DS_ERROR_PARAMETER;
  if (answer.result != DS_ERROR_SUCCESS) return answer.result;
  // The first ID of the device's last group is taken as the match.
  std::u16string first(ids);
  first.copy(matched, first.size() < 1023 ? first.size() : 1023);
  const char16_t kDescription[] = u"Android Composite ADB Interface";
  std::memcpy(description, kDescription, sizeof kDescription);
  answer.class_name.copy(class_name, answer.class_name.size() < 31 ? answer.class_name.size() : 31);
  *record_count = static_cast<uint8_t>(answer.count);
  if (answer.count == 0) return DS_ERROR_SUCCESS;
  *records = new SDrvInfo[answer.count]();
  g_records_alive += answer.count;
  for (int i = 0; i < answer.count; ++i) {
    SDrvInfo& r = (*records)[i];
    std::memcpy(r.byPackageKey, answer.key, 16);
    r.byPackageKey[15] = static_cast<uint8_t>(r.byPackageKey[15] + i);
    r.i64DrvFileSize = answer.size;
    r.cPackgeType = answer.package_type;
    const char16_t kBrand[] = u"Google";
    std::memcpy(r.szBrandStr, kBrand, sizeof kBrand);
    const char16_t kName[] = u"Android ADB Interface";
    std::memcpy(r.szDrvName, kName, sizeof kName);
  }
  return DS_ERROR_SUCCESS;
}

FAKE_API void DGFreeDrvInfo(SDrvInfo* records, uint8_t count) {
  Count("DGFreeDrvInfo");
  if (!records) return;
  g_records_alive -= count;
  delete[] records;
}

FAKE_API int DGGetMobileProductInfo(int, int, const char16_t*, const char16_t*, const char16_t*, char16_t* xml,
                                    int capacity) {
  Count("DGGetMobileProductInfo");
  std::lock_guard<std::mutex> lock(g_mu);
  if (g_model_result != DS_ERROR_SUCCESS) return g_model_result;
  if (static_cast<int>(g_model_xml.size()) >= capacity) return DS_ERROR_NOTENOUGH;
  std::memcpy(xml, g_model_xml.c_str(), (g_model_xml.size() + 1) * sizeof(char16_t));
  return DS_ERROR_SUCCESS;
}

// ---- test hooks ----

// The next driver queries answer `result` with `count` records (keys from
// `key16`, the last byte counting up), after `delay_ms`.
FAKE_API void FakeKf_SetDriverAnswer(int result, int count, int delay_ms, const uint8_t* key16, int64_t size,
                                     int package_type, const char16_t* class_name) {
  std::lock_guard<std::mutex> lock(g_mu);
  g_driver = DriverAnswer();
  g_driver.result = result;
  g_driver.count = count;
  g_driver.delay_ms = delay_ms;
  if (key16) std::memcpy(g_driver.key, key16, 16);
  g_driver.size = size;
  g_driver.package_type = static_cast<uint8_t>(package_type);
  g_driver.class_name = class_name ? class_name : u"";
}
FAKE_API void FakeKf_SetModelAnswer(int result, const char16_t* xml) {
  std::lock_guard<std::mutex> lock(g_mu);
  g_model_result = result;
  g_model_xml = xml ? xml : u"";
}
// Driver records handed out and not freed yet.
FAKE_API int FakeKf_RecordsAlive() { return g_records_alive.load(); }

FAKE_API int FakeKf_Calls(const char* name) {
  std::lock_guard<std::mutex> lock(g_mu);
  return g_calls[name];
}
FAKE_API void FakeKf_SetInitResult(int result) { g_init_result = result; }
FAKE_API void FakeKf_Reset() {
  std::lock_guard<std::mutex> lock(g_mu);
  g_calls.clear();
  g_init_result = 0;
  g_driver = DriverAnswer();
  g_model_xml.clear();
  g_model_result = DS_ERROR_NODATA;
}
