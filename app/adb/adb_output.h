// Pure readers of adb and aapt output. Each takes the text a tool printed
// and returns what it means; none runs anything.
//
// Lines: adb's own lists end in "\n" on Linux, phone shell output in
// "\r\n"; SplitLines splits at "\n" and drops a trailing "\r".
#pragma once

#include <map>
#include <string>
#include <vector>

namespace adb {

std::vector<std::u16string> SplitLines(const std::u16string& text);

// Device states of GetDeviceState.
enum DeviceState { kDeviceReady = 0, kDeviceNotReady = 1, kDeviceNotListed = 2 };

// One line of "adb devices": "<serial>\t<state>".
struct DeviceLine {
  std::u16string serial;
  std::u16string state;
};
// The device lines of "adb devices" (header, daemon notes and lines
// without a tab are skipped).
std::vector<DeviceLine> ParseDeviceList(const std::u16string& output);
// State word to DeviceState: "device" ready; "offline", "unauthorized" and
// "no permissions ..." present but not ready; anything else not listed.
DeviceState MapDeviceState(const std::u16string& state);
// The state of exactly `serial` in a "devices" output; an empty serial or
// one not listed gives kDeviceNotListed.
DeviceState DeviceStateIn(const std::u16string& output, const std::u16string& serial);

// Install result codes.
enum InstallCode {
  kInstallSuccess = 1,
  kInstallFailed = -1,
  kInstallInconsistentCertificates = -2,
  kInstallAlreadyExists = -3,
  kInstallInsufficientStorage = -4,
  kInstallNoSpace = -5,
  kInstallBadPath = -6,
  kInstallOlderSdk = -7,
  kInstallCanceledByUser = -8,
  kInstallInvalidApk = -9,
  kInstallVersionDowngrade = -10,
};
// The code an install output selects (first match in the fixed order).
int MapInstallOutput(const std::u16string& output);
// The user's text for a code.
std::u16string InstallErrorText(int code);

// True when a "pm list package" output holds the line "package:<name>".
bool PackageListed(const std::u16string& output, const std::u16string& package);

// The integer behind the first "versionCode=" up to its line end; false
// when absent or not a number.
bool ParseVersionCode(const std::u16string& output, int* value);

// The text between the two single quotes that follow `key` (searched at
// the start of a line or after a blank); empty when missing.
std::u16string BadgingValue(const std::u16string& output, const std::u16string& key);
// Only the lines holding "package:" or "application:".
std::u16string FilterBadgingInfoLines(const std::u16string& output);

}  // namespace adb
