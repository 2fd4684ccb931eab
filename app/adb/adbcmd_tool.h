// CAdbCmdTool: runs adb and aapt as child processes and turns their output
// into answers (device state and list, install codes, package presence and
// versions, activity start, port forwards, badging values), and pulls a
// file out of a package through the compression binding.
//
// Every command runs synchronously on the caller's thread and returns when
// the child has ended, or after the time-out (then the run has failed).
// Tools and ports: phone_ports.h.
//
// Threading: every call may come from any thread (the connection thread
// sets the serial and lists devices while socket threads re-forward the
// ports). Each call starts its own process and pipe; `state_lock_` guards
// the serial and the device map, never held while a child runs. Instance and
// Release are safe from any thread; the owner releases only after every
// thread that uses the tool has been joined.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "app/adb/adb_output.h"

struct ApkBadgingInfo {
  std::u16string package_name;
  std::u16string version_code;
  std::u16string label;
  std::u16string icon;
};

class CAdbCmdTool {
 public:
  static constexpr uint32_t kDefaultTimeoutMs = 300000;

  static CAdbCmdTool* Instance();
  static void Release();

  CAdbCmdTool();
  ~CAdbCmdTool();
  CAdbCmdTool(const CAdbCmdTool&) = delete;
  CAdbCmdTool& operator=(const CAdbCmdTool&) = delete;

  void SetSerial(const char16_t* serial);
  std::u16string GetSerial() const;
  // Longest wait for one child (0: none). Default kDefaultTimeoutMs.
  void SetTimeout(uint32_t ms) { timeout_ms_ = ms; }

  // adb [-s serial] args...; without serial when null or empty.
  bool RunAdbCmd(const char16_t* serial, const std::vector<std::u16string>& args,
                 std::u16string& output);
  // aapt args... (its error output is captured too).
  bool RunAaptCmd(const std::vector<std::u16string>& args, std::u16string& output);

  int GetDeviceState(const char16_t* serial);
  bool ListDevices();
  bool HasSingleDevice();
  std::map<std::u16string, int> GetDeviceMap() const;

  int InstallApk(const char16_t* path, bool reinstall, bool without_location);
  int RetryInstall(const char16_t* path, int previous, bool without_location);
  bool RemovePackage(const char16_t* package);
  bool StartActivity(const char16_t* component);
  bool IsPackageInstalled(const char16_t* package);
  bool GetPackageVersionCode(const char16_t* package, int* version);
  bool GetApkVersionCode(const char16_t* path, int* version);
  std::u16string GetApkPackageName(const char16_t* path);
  bool ReadApkInfo(const char16_t* path, ApkBadgingInfo* info);
  bool UnzipFromApk(const char16_t* apk, const char16_t* entry, const char16_t* destination);
  void ForwardPorts();
  std::u16string GetInstallLocationOption();

 private:
  bool RunProcess(const std::string& program, const std::vector<std::string>& args,
                  std::u16string& output);
  std::u16string GetApkBadgingValue(const char16_t* path, const std::u16string& key);
  bool SerialPrecondition();

  mutable std::mutex state_lock_;  // guards serial_ and devices_
  std::u16string serial_;
  std::map<std::u16string, int> devices_;
  std::atomic<uint32_t> timeout_ms_{kDefaultTimeoutMs};
};

// The user's text for an install result code.
std::u16string InstallErrorText(int code);
