// A search-service library for kitfinder's tests: the DS functions answer
// from scripted data and count their calls; what the multi-device query was
// sent is kept for the test to read. Built twice: whole, and without the two
// "Ex" functions (FAKE_DS_WITHOUT_EX) to exercise kitfinder's fallbacks.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "kitoracle/driver_records.h"
#include "kitoracle/kitoracle.h"  // the prototypes the double must match

#define FAKE_API extern "C" __attribute__((visibility("default")))

namespace {
std::mutex g_mu;  // guards everything below
std::map<std::string, int> g_calls;
std::map<std::u16string, int32_t> g_device_ids;
int g_driver_count = 1;
std::vector<std::u16string> g_multi_setup;
std::vector<std::vector<int32_t>> g_multi_sent_ids;
int g_multi_computer_type = -1;
std::u16string g_description = u"A driver";
std::u16string g_cloud_switch;
int g_stat_result = 0;
std::atomic<int> g_alive{0};
// A brand query for this maker waits until the hold is lifted.
std::u16string g_held_brand;
int g_held_waiting = 0;  // brand queries waiting on the hold
std::condition_variable g_hold_changed;  // with g_mu

void Count(const char* name) {
  std::lock_guard<std::mutex> hold(g_mu);
  ++g_calls[name];
}

void Put(char16_t* field, const std::u16string& text, size_t capacity = kDriverTextLength) {
  const size_t n = text.size() < capacity ? text.size() : capacity - 1;
  text.copy(field, n);
  field[n] = 0;
}

SDrvInfo* MakeDrivers(int count, const std::vector<std::u16string>& setup) {
  if (count == 0) return nullptr;
  SDrvInfo* drivers = new SDrvInfo[count]();
  for (int i = 0; i < count; ++i) {
    drivers[i].iDriverID = 100 + i;
    drivers[i].byPackageKey[15] = static_cast<uint8_t>(i + 1);
    Put(drivers[i].szDrvName, u"Driver " + std::u16string(1, static_cast<char16_t>(u'A' + i)));
    if (i < static_cast<int>(setup.size())) Put(drivers[i].szSetupPara, setup[i]);
    drivers[i].cSoftCount = 1;
    drivers[i].pSoftInfo = new SSoftInfo[1]();
    drivers[i].pSoftInfo[0].dwValue1 = static_cast<uint32_t>(i);
  }
  g_alive += count;
  return drivers;
}

int DeviceIds(const char16_t* ids, uint8_t count, int32_t* out, char16_t* desc1, char16_t* desc2) {
  if (!ids || !count || !out) return DS_ERROR_PARAMETER;
  std::lock_guard<std::mutex> hold(g_mu);
  const char16_t* p = ids;
  for (int i = 0; i < count; ++i) {
    const std::u16string id(p);
    auto found = g_device_ids.find(id);
    // An unknown ID is left as the caller gave it.
    if (found != g_device_ids.end()) out[i] = found->second;
    p += id.size() + 1;
  }
  if (desc1) Put(desc1, u"Desc of " + std::u16string(ids));
  if (desc2) Put(desc2, u"AndroidUsbDeviceClass", 32);
  return DS_ERROR_SUCCESS;
}

int MultiDevice(int kind, SDevInfo* devices, uint8_t count) {
  if (!devices || !count) return DS_ERROR_PARAMETER;
  std::lock_guard<std::mutex> hold(g_mu);
  g_multi_sent_ids.clear();
  for (int i = 0; i < count; ++i) {
    std::vector<int32_t> ids;
    for (int j = 0; devices[i].piDeviceID && j < devices[i].cDevIDCount; ++j) ids.push_back(devices[i].piDeviceID[j]);
    g_multi_sent_ids.push_back(ids);
  }
  g_multi_computer_type = devices[0].cComputerType + (kind == 1 ? 1000 : 0);
  if (g_multi_setup.empty()) return DS_ERROR_NODATA;
  devices[0].cDrvCount = static_cast<uint8_t>(g_multi_setup.size());
  devices[0].pDrvInfo = MakeDrivers(static_cast<int>(g_multi_setup.size()), g_multi_setup);
  return DS_ERROR_SUCCESS;
}
}  // namespace

FAKE_API int DSInit() {
  Count("DSInit");
  return DS_ERROR_SUCCESS;
}
FAKE_API void DSClose() {}
FAKE_API int DSSetMajorAppID(int id) {
  Count("DSSetMajorAppID");
  return id;
}

FAKE_API int DSGetDeviceDescAndID(const char16_t* ids, uint8_t count, int32_t* out, char16_t* desc1, char16_t* desc2) {
  Count("DSGetDeviceDescAndID");
  return DeviceIds(ids, count, out, desc1, desc2);
}

#ifndef FAKE_DS_WITHOUT_EX
FAKE_API int DSGetDeviceDescAndIDEx(int, const char16_t* ids, uint8_t count, int32_t* out, char16_t* desc1,
                                    char16_t* desc2) {
  Count("DSGetDeviceDescAndIDEx");
  return DeviceIds(ids, count, out, desc1, desc2);
}
FAKE_API int DSGetMultiDeviceDriverInfoEx(int kind, SDevInfo* devices, uint8_t count) {
  Count("DSGetMultiDeviceDriverInfoEx");
  return MultiDevice(kind, devices, count);
}
#endif

FAKE_API int DSGetMultiDeviceDriverInfo(SDevInfo* devices, uint8_t count) {
  Count("DSGetMultiDeviceDriverInfo");
  return MultiDevice(0, devices, count);
}

FAKE_API int DSGetBrandAndProductID(const char16_t* brand, const char16_t*, const char16_t*, uint8_t, int32_t* brand_id,
                                    int32_t* product_id, char16_t* brand_name, char16_t* product_name) {
  Count("DSGetBrandAndProductID");
  if (!brand || !brand_id || !product_id || !brand_name || !product_name) return DS_ERROR_PARAMETER;
  {
    std::unique_lock<std::mutex> hold(g_mu);
    if (!g_held_brand.empty() && g_held_brand == brand) {
      ++g_held_waiting;
      g_hold_changed.notify_all();
      g_hold_changed.wait(hold, [&] { return g_held_brand != brand; });
      --g_held_waiting;
    }
  }
  *brand_id = 17;
  *product_id = 23;
  Put(brand_name, u"Brand of " + std::u16string(brand));
  Put(product_name, u"Product");
  return DS_ERROR_SUCCESS;
}

FAKE_API int DSGetCommonAndNewestDriver(SDevInfo* device) {
  Count("DSGetCommonAndNewestDriver");
  if (!device || device->pDrvInfo || device->cDrvCount) return DS_ERROR_PARAMETER;
  std::lock_guard<std::mutex> hold(g_mu);
  device->cDrvCount = static_cast<uint8_t>(g_driver_count);
  device->pDrvInfo = MakeDrivers(g_driver_count, {});
  return g_driver_count ? DS_ERROR_SUCCESS : DS_ERROR_NODATA;
}

FAKE_API int DSGetSpecialCommonAndNewestDriver(SDevInfo* first, SDevInfo* second, uint8_t) {
  Count("DSGetSpecialCommonAndNewestDriver");
  if (!first || !second) return DS_ERROR_PARAMETER;
  std::lock_guard<std::mutex> hold(g_mu);
  first->cDrvCount = static_cast<uint8_t>(g_driver_count);
  first->pDrvInfo = MakeDrivers(g_driver_count, {});
  return DS_ERROR_SUCCESS;
}

FAKE_API void DSFreeDriverInfo(SDrvInfo* drivers, int count) {
  count &= 0xFF;
  Count("DSFreeDriverInfo");
  if (!drivers) return;
  for (int i = 0; i < count; ++i) delete[] drivers[i].pSoftInfo;
  delete[] drivers;
  g_alive -= count;
}

FAKE_API int DSGetDriverDesc(int32_t, int32_t, char16_t* buffer, int32_t* length) {
  Count("DSGetDriverDesc");
  std::lock_guard<std::mutex> hold(g_mu);
  if (!length) return DS_ERROR_PARAMETER;
  const int needed = static_cast<int>(g_description.size()) + 1;
  if (!buffer || *length < needed) {
    *length = needed;
    return DS_ERROR_NOTENOUGH;
  }
  Put(buffer, g_description, static_cast<size_t>(*length));
  *length = needed;
  return DS_ERROR_SUCCESS;
}

FAKE_API int DSGetBrandSoftware(SDevInfo* device, SSoftInfo** soft, uint8_t* count) {
  Count("DSGetBrandSoftware");
  if (!device || !soft || !count) return DS_ERROR_PARAMETER;
  *soft = new SSoftInfo[2]();
  (*soft)[1].dwValue2 = static_cast<uint32_t>(device->iBrandID);
  *count = 2;
  return DS_ERROR_SUCCESS;
}

FAKE_API void DSFreeSoftwareInfo(SSoftInfo* soft) { delete[] soft; }

FAKE_API int DSIsDriverOSSupply(const int32_t* ids, uint8_t count, int32_t, uint8_t* answer) {
  Count("DSIsDriverOSSupply");
  if (!ids || !count || !answer) return DS_ERROR_PARAMETER;
  *answer = 1;
  return DS_ERROR_SUCCESS;
}

FAKE_API int DSReportDrvInstResult(int32_t device_id, int32_t, int32_t, int32_t, uint8_t) {
  Count("DSReportDrvInstResult");
  return device_id ? DS_ERROR_SUCCESS : DS_ERROR_PARAMETER;
}

FAKE_API int DSGetMobileProductInfo(int, int, const char16_t*, const char16_t*, const char16_t*, char16_t* out,
                                    int capacity) {
  Count("DSGetMobileProductInfo");
  if (!out || capacity < 8) return DS_ERROR_PARAMETER;
  Put(out, u"<Model/>", static_cast<size_t>(capacity));
  return DS_ERROR_SUCCESS;
}

FAKE_API int DSGetBrandProductDriverInfo(SDevInfo*) { return DS_ERROR_NODATA; }

FAKE_API int DSCheckPeripheralDevice(SDevInfo* device, uint8_t* answer) {
  Count("DSCheckPeripheralDevice");
  if (!device || !answer) return DS_ERROR_PARAMETER;
  *answer = device->cDevIDCount ? 1 : 0;
  return DS_ERROR_SUCCESS;
}

FAKE_API int DSGetCloudSwitchInfo(int32_t, int32_t, int16_t, int32_t, uint8_t, const uint8_t*, char16_t* text,
                                  int capacity) {
  Count("DSGetCloudSwitchInfo");
  std::lock_guard<std::mutex> hold(g_mu);
  if (!text || capacity <= 0) return DS_ERROR_PARAMETER;
  Put(text, g_cloud_switch, static_cast<size_t>(capacity));
  return DS_ERROR_SUCCESS;
}

FAKE_API int DSGetCalendarStart(int32_t, int32_t, int16_t, int32_t, uint8_t* start) {
  Count("DSGetCalendarStart");
  if (start) *start = 1;
  return DS_ERROR_SUCCESS;
}

FAKE_API int DSStatInfoReport(int32_t, int16_t, const char16_t*) {
  Count("DSStatInfoReport");
  std::lock_guard<std::mutex> hold(g_mu);
  return g_stat_result;
}

// ---- test hooks ----

FAKE_API void FakeDs_Reset() {
  std::lock_guard<std::mutex> hold(g_mu);
  g_calls.clear();
  g_device_ids.clear();
  g_driver_count = 1;
  g_multi_setup.clear();
  g_multi_sent_ids.clear();
  g_multi_computer_type = -1;
  g_description = u"A driver";
  g_cloud_switch.clear();
  g_stat_result = 0;
  g_held_brand.clear();
  g_hold_changed.notify_all();
}
FAKE_API int FakeDs_Calls(const char* name) {
  std::lock_guard<std::mutex> hold(g_mu);
  return g_calls[name];
}
FAKE_API void FakeDs_SetDeviceId(const char16_t* hardware_id, int32_t id) {
  std::lock_guard<std::mutex> hold(g_mu);
  g_device_ids[hardware_id] = id;
}
FAKE_API void FakeDs_SetDriverCount(int count) {
  std::lock_guard<std::mutex> hold(g_mu);
  g_driver_count = count;
}
// The multi-device answer: one driver per setup text.
FAKE_API void FakeDs_AddMultiDriver(const char16_t* setup) {
  std::lock_guard<std::mutex> hold(g_mu);
  g_multi_setup.push_back(setup);
}
// What the last multi-device query sent: a device's n-th ID (-1 when none),
// and the first request's computer type (+1000 for kind 1).
FAKE_API int32_t FakeDs_SentId(int device, int index) {
  std::lock_guard<std::mutex> hold(g_mu);
  if (device >= static_cast<int>(g_multi_sent_ids.size()) || index >= static_cast<int>(g_multi_sent_ids[device].size()))
    return -1;
  return g_multi_sent_ids[device][index];
}
FAKE_API int FakeDs_SentComputerType() {
  std::lock_guard<std::mutex> hold(g_mu);
  return g_multi_computer_type;
}
FAKE_API void FakeDs_SetDescription(const char16_t* text) {
  std::lock_guard<std::mutex> hold(g_mu);
  g_description = text;
}
FAKE_API void FakeDs_SetCloudSwitch(const char16_t* text) {
  std::lock_guard<std::mutex> hold(g_mu);
  g_cloud_switch = text;
}
FAKE_API void FakeDs_SetStatResult(int code) {
  std::lock_guard<std::mutex> hold(g_mu);
  g_stat_result = code;
}
// Driver records handed out and not freed yet.
FAKE_API int FakeDs_Alive() { return g_alive.load(); }
// Brand queries for `brand` wait from now on until the hold is lifted (null
// or empty lifts it).
FAKE_API void FakeDs_HoldBrand(const char16_t* brand) {
  std::lock_guard<std::mutex> hold(g_mu);
  g_held_brand = brand ? brand : u"";
  g_hold_changed.notify_all();
}
// 1 once a brand query waits on the hold (at most `timeout_ms`), else 0.
FAKE_API int FakeDs_WaitHeld(int timeout_ms) {
  std::unique_lock<std::mutex> hold(g_mu);
  return g_hold_changed.wait_for(hold, std::chrono::milliseconds(timeout_ms), [] { return g_held_waiting > 0; }) ? 1
                                                                                                                  : 0;
}
