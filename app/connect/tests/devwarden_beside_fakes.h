// libdevwarden.so copied into a test's program folder beside the fake
// detection, driver-information, download and setup libraries (the ones
// devwarden's own tests build), loaded from there, with the detection
// fake's hooks to plug a synthetic device in.
#pragma once

#include <dlfcn.h>
#include <stdlib.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <thread>

#include "app/connect/devwarden_api.h"

namespace connect_test {

class DevwardenBesideFakes {
 public:
  // Copies the libraries into `folder` and loads them; check ok().
  explicit DevwardenBesideFakes(const std::string& folder) {
    const std::string copy = std::string("cp '") + DEVWARDEN_LIBRARY + "' '" + FAKE_PORTSNIFFER + "' '" +
                             FAKE_KITFINDER + "' '" + FAKE_WEBPULLER + "' '" + FAKE_KITPLANTER + "' '" + folder +
                             "/' && mkdir -p '" + folder + "/log'";
    if (std::system(copy.c_str()) != 0) return;
    // The detection fake first: devwarden then finds it loaded by the same path.
    detection_ = dlopen((folder + "/libportsniffer.so").c_str(), RTLD_NOW | RTLD_LOCAL);
    devwarden_ = dlopen((folder + "/libdevwarden.so").c_str(), RTLD_NOW | RTLD_LOCAL);
    if (detection_ == nullptr || devwarden_ == nullptr) return;
    inject_arrival_ = reinterpret_cast<InjectArrival>(dlsym(detection_, "FakeUd_InjectArrival"));
    inject_removal_ = reinterpret_cast<void (*)(int32_t)>(dlsym(detection_, "FakeUd_InjectRemoval"));
    wait_delivered_ = reinterpret_cast<int (*)(int)>(dlsym(detection_, "FakeUd_WaitDelivered"));
    has_callback_ = reinterpret_cast<int (*)()>(dlsym(detection_, "FakeUd_HasCallback"));
    auto reset = reinterpret_cast<void (*)()>(dlsym(detection_, "FakeUd_Reset"));
    if (reset != nullptr) reset();
    ok_ = BindDevwarden(devwarden_, &api_) && inject_arrival_ && inject_removal_ && wait_delivered_ && has_callback_;
  }
  ~DevwardenBesideFakes() {
    if (devwarden_ != nullptr) dlclose(devwarden_);  // its unload stops its threads
    if (detection_ != nullptr) dlclose(detection_);
  }

  bool ok() const { return ok_; }

  // True once devwarden started the detection (its callback is registered),
  // false when that did not happen within `timeout_ms`.
  bool WaitDetectionStarted(int timeout_ms) const {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    while (!has_callback_()) {
      if (std::chrono::steady_clock::now() >= end) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
  }
  const DevwardenApi& api() const { return api_; }

  // An Android phone with the adb interface (or without it: debugging off).
  bool PlugPhone(int32_t handle, const std::u16string& serial, bool adb_interface = true) {
    static const uint8_t kWithAdb[] = {0, 0x08, 0x06, 0x50, 1, 0xFF, 0x42, 0x01};
    static const uint8_t kWithoutAdb[] = {0, 0x08, 0x06, 0x50, 1, 0xFF, 0x42, 0x03};
    inject_arrival_(0, handle, 0x18D1, 0x4EE7, adb_interface ? kWithAdb : kWithoutAdb, 2, serial.c_str(), u"Zelvik",
                    u"Z1 Sim");
    return wait_delivered_(5000) != 0;
  }
  bool Unplug(int32_t handle) {
    inject_removal_(handle);
    return wait_delivered_(5000) != 0;
  }

 private:
  using InjectArrival = void (*)(int, int32_t, uint16_t, uint16_t, const uint8_t*, int, const char16_t*,
                                 const char16_t*, const char16_t*);
  void* detection_ = nullptr;
  void* devwarden_ = nullptr;
  InjectArrival inject_arrival_ = nullptr;
  void (*inject_removal_)(int32_t) = nullptr;
  int (*wait_delivered_)(int) = nullptr;
  int (*has_callback_)() = nullptr;
  DevwardenApi api_;
  bool ok_ = false;
};

}  // namespace connect_test
