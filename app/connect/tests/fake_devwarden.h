// A devwarden table for tests, on plain functions over one process-wide
// fake: devices with scripted answers, the two callbacks kept from Init so
// a test can raise events on a thread of its choice, and calls counted.
#pragma once

#include <atomic>
#include <cstring>
#include <map>
#include <mutex>
#include <string>

#include "app/connect/devwarden_api.h"

namespace connect_test {

struct FakeDevice {
  int class_bits = PNP_CLASS_ANDROID;
  std::u16string serial = u"SER123";
  std::u16string manufacturer = u"Zelvik";
  std::u16string product = u"Z1";
  std::u16string hardware_ids = std::u16string(u"USB\\VID_18D1&PID_4EE7&REV_0100\0USB\\VID_18D1&PID_4EE7\0", 50);
  int mode = 0;            // PNP_GetAndroidCurrentMode
  int status = 0;          // PNP_GetDeviceStatus
  int driver_count = 0;    // PNP_GetUpdateDriverCount
  int download_result = 1;
  int update_result = 1;   // PNP_UpdateDrvier
  std::u16string brand = u"Zelvik";
  std::u16string model = u"Z1 Sim";
};

struct FakeDevwardenState {
  std::mutex lock;
  std::map<int, FakeDevice> devices;
  std::atomic<PnpDeviceCallback> device_callback{nullptr};
  std::atomic<uintptr_t> device_context{0};
  std::atomic<PnpDownloadCallback> download_callback{nullptr};
  std::atomic<uintptr_t> download_context{0};
  int init_result = 1;  // under lock
  std::atomic<int> downloads{0}, updates{0}, refreshes{0}, uninits{0}, starts{0};
  std::u16string download_path, adb_name;  // under lock
  std::atomic<int> detect_class{0};

  static FakeDevwardenState& Get() {
    static FakeDevwardenState state;
    return state;
  }
  void Reset() {
    std::lock_guard<std::mutex> hold(lock);
    devices.clear();
    device_callback = nullptr;
    download_callback = nullptr;
    init_result = 1;
    downloads = updates = refreshes = uninits = starts = 0;
    download_path.clear();
    adb_name.clear();
    detect_class = 0;
  }
  void Add(int handle, const FakeDevice& device) {
    std::lock_guard<std::mutex> hold(lock);
    devices[handle] = device;
  }
  bool Find(int handle, FakeDevice* out) {
    std::lock_guard<std::mutex> hold(lock);
    auto it = devices.find(handle);
    if (it == devices.end()) return false;
    *out = it->second;
    return true;
  }
  // Raises a device event as devwarden's thread would.
  int Event(int event, int handle) { return device_callback.load()(event, handle, device_context.load()); }
  int Download(int handle, int status, uint64_t total = 100, uint64_t done = 50, int speed = 7) {
    return download_callback.load()(handle, &status, &total, &done, &speed, download_context.load());
  }
  std::u16string DownloadPath() {
    std::lock_guard<std::mutex> hold(lock);
    return download_path;
  }
  std::u16string AdbName() {
    std::lock_guard<std::mutex> hold(lock);
    return adb_name;
  }
};

inline void Copy64(char16_t* out, const std::u16string& text) {
  std::memset(out, 0, 64 * sizeof(char16_t));
  std::memcpy(out, text.data(), std::min<size_t>(text.size(), 63) * sizeof(char16_t));
}

inline DevwardenApi FakeDevwardenApi() {
  using S = FakeDevwardenState;
  DevwardenApi api;
  api.Init = [](PnpDeviceCallback cb, uintptr_t ctx, PnpDownloadCallback dl, uintptr_t dctx) {
    S& s = S::Get();
    std::lock_guard<std::mutex> hold(s.lock);
    if (!s.init_result) return 0;
    s.device_callback = cb, s.device_context = ctx, s.download_callback = dl, s.download_context = dctx;
    return 1;
  };
  api.UnInit = [] { ++S::Get().uninits; };
  api.Start = [] { ++S::Get().starts; return 1; };
  api.Refresh = [] { ++S::Get().refreshes; return 1; };
  api.SetDetectClass = [](int mask) { S::Get().detect_class = mask; };
  api.SetDownLoadPath = [](const char16_t* path) {
    std::lock_guard<std::mutex> hold(S::Get().lock);
    S::Get().download_path = path;
  };
  api.SetADBDeviceName = [](const char16_t* name) {
    std::lock_guard<std::mutex> hold(S::Get().lock);
    S::Get().adb_name = name;
  };
  api.GetDeviceClass = [](int h, int* bits) {
    FakeDevice d;
    if (!S::Get().Find(h, &d)) return 0;
    *bits = d.class_bits;
    return 1;
  };
  api.GetDeviceStatus = [](int h) {
    FakeDevice d;
    return S::Get().Find(h, &d) ? d.status : -1;
  };
  api.GetDeviceSerialNumber = [](int h, char16_t* out) {
    FakeDevice d;
    if (!S::Get().Find(h, &d)) return 0;
    Copy64(out, d.serial);
    return 1;
  };
  api.GetDeviceManufName = [](int h, char16_t* out) {
    FakeDevice d;
    if (!S::Get().Find(h, &d)) return 0;
    Copy64(out, d.manufacturer);
    return 1;
  };
  api.GetDeviceProductName = [](int h, char16_t* out) {
    FakeDevice d;
    if (!S::Get().Find(h, &d)) return 0;
    Copy64(out, d.product);
    return 1;
  };
  api.Dump_DeviceHwIDs = [](int h, char16_t* out, int* count) {
    FakeDevice d;
    if (!S::Get().Find(h, &d)) return 0;
    if (out == nullptr) {
      *count = static_cast<int>(d.hardware_ids.size());
      return 1;
    }
    if (*count < static_cast<int>(d.hardware_ids.size())) return 0;
    std::memcpy(out, d.hardware_ids.data(), d.hardware_ids.size() * sizeof(char16_t));
    return 1;
  };
  api.GetAndroidCurrentMode = [](int h) {
    FakeDevice d;
    return S::Get().Find(h, &d) ? d.mode : -1;
  };
  api.GetDeviceAdvanceInfo = [](int h, AndroidModelInfo* info) {
    FakeDevice d;
    if (!S::Get().Find(h, &d) || info->version != 1 || info->size != 2184) return 0;
    Copy64(info->BrandName, d.brand);
    Copy64(info->DeviceName1, d.model);
    return 1;
  };
  api.GetUpdateDriverCount = [](int h) {
    FakeDevice d;
    return S::Get().Find(h, &d) ? d.driver_count : -1;
  };
  api.DownLoadDriver = [](int h) {
    ++S::Get().downloads;
    FakeDevice d;
    return S::Get().Find(h, &d) ? d.download_result : 0;
  };
  api.UpdateDrvier = [](int h) {
    ++S::Get().updates;
    FakeDevice d;
    return S::Get().Find(h, &d) ? d.update_result : 0;
  };
  return api;
}

}  // namespace connect_test
