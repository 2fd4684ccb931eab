#include "app/adb/adb_output.h"

namespace adb {

std::vector<std::u16string> SplitLines(const std::u16string& text) {
  std::vector<std::u16string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find(u'\n', start);
    if (end == std::u16string::npos) end = text.size();
    std::u16string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == u'\r') line.pop_back();
    lines.push_back(std::move(line));
    start = end + 1;
  }
  return lines;
}

std::vector<DeviceLine> ParseDeviceList(const std::u16string& output) {
  std::vector<DeviceLine> devices;
  for (const std::u16string& line : SplitLines(output)) {
    const size_t tab = line.find(u'\t');
    if (tab == std::u16string::npos || tab == 0) continue;
    devices.push_back(DeviceLine{line.substr(0, tab), line.substr(tab + 1)});
  }
  return devices;
}

DeviceState MapDeviceState(const std::u16string& state) {
  if (state == u"device") return kDeviceReady;
  if (state == u"offline" || state == u"unauthorized") return kDeviceNotReady;
  if (state.rfind(u"no permissions", 0) == 0) return kDeviceNotReady;
  return kDeviceNotListed;
}

DeviceState DeviceStateIn(const std::u16string& output, const std::u16string& serial) {
  if (serial.empty()) return kDeviceNotListed;
  for (const DeviceLine& device : ParseDeviceList(output)) {
    if (device.serial == serial) return MapDeviceState(device.state);
  }
  return kDeviceNotListed;
}

int MapInstallOutput(const std::u16string& output) {
  struct Row {
    const char16_t* text;
    int code;
  };
  static const Row kRows[] = {
      {u"Success", kInstallSuccess},
      {u"Failure [INSTALL_FAILED_ALREADY_EXISTS]", kInstallAlreadyExists},
      {u"Failure [INSTALL_PARSE_FAILED_INCONSISTENT_CERTIFICATES]", kInstallInconsistentCertificates},
      {u"Failure [INSTALL_FAILED_INSUFFICIENT_STORAGE]", kInstallInsufficientStorage},
      {u"Failure [INSTALL_FAILED_OLDER_SDK]", kInstallOlderSdk},
      {u"Failure [INSTALL_CANCELED_BY_USER]", kInstallCanceledByUser},
      {u"Failure [INSTALL_FAILED_INVALID_APK]", kInstallInvalidApk},
      {u"Failure [INSTALL_FAILED_VERSION_DOWNGRADE]", kInstallVersionDowngrade},
      {u"Failure [INSTALL_FAILED_MEDIA_UNAVAILABLE]", kInstallNoSpace},
      {u"No space left on device", kInstallNoSpace},
  };
  for (const Row& row : kRows) {
    if (output.find(row.text) != std::u16string::npos) return row.code;
  }
  return kInstallFailed;
}

std::u16string InstallErrorText(int code) {
  switch (code) {
    case kInstallInconsistentCertificates:
      return u"应用签名不一致无法覆盖安装，需卸载删除数据后安装。";
    case kInstallAlreadyExists:
      return u"软件已存在，无需安装！";
    case kInstallInsufficientStorage:
    case kInstallNoSpace:
      return u"手机容量不足！";
    case kInstallBadPath:
      return u"安装包路径错误！";
    case kInstallOlderSdk:
      return u"系统版本太低！";
    case kInstallCanceledByUser:
      return u"系统禁止安装未知来源的应用！";
    case kInstallInvalidApk:
      return u"无效的安装包,安装包已损坏！";
    case kInstallVersionDowngrade:
      return u"安装版本比当前版本低！";
    default:
      return u"安装失败！";
  }
}

bool PackageListed(const std::u16string& output, const std::u16string& package) {
  if (package.empty()) return false;
  const std::u16string wanted = u"package:" + package;
  for (const std::u16string& line : SplitLines(output)) {
    if (line == wanted) return true;
  }
  return false;
}

bool ParseVersionCode(const std::u16string& output, int* value) {
  static const std::u16string kKey = u"versionCode=";
  const size_t at = output.find(kKey);
  if (at == std::u16string::npos) return false;
  size_t pos = at + kKey.size();
  long long number = 0;
  size_t digits = 0;
  while (pos < output.size() && output[pos] >= u'0' && output[pos] <= u'9' && digits < 10) {
    number = number * 10 + (output[pos] - u'0');
    ++pos;
    ++digits;
  }
  if (digits == 0 || number > 0x7FFFFFFF) return false;
  if (value != nullptr) *value = static_cast<int>(number);
  return true;
}

std::u16string BadgingValue(const std::u16string& output, const std::u16string& key) {
  if (key.empty()) return std::u16string();
  size_t at = 0;
  while ((at = output.find(key, at)) != std::u16string::npos) {
    const bool at_word_start = at == 0 || output[at - 1] == u' ' || output[at - 1] == u'\n' ||
                               output[at - 1] == u'\t';
    if (at_word_start) break;
    at += 1;
  }
  if (at == std::u16string::npos) return std::u16string();
  const size_t open = output.find(u'\'', at + key.size());
  if (open == std::u16string::npos) return std::u16string();
  const size_t close = output.find(u'\'', open + 1);
  if (close == std::u16string::npos) return std::u16string();
  return output.substr(open + 1, close - open - 1);
}

std::u16string FilterBadgingInfoLines(const std::u16string& output) {
  std::u16string kept;
  for (const std::u16string& line : SplitLines(output)) {
    if (line.find(u"package:") != std::u16string::npos ||
        line.find(u"application:") != std::u16string::npos) {
      kept += line;
      kept += u'\n';
    }
  }
  return kept;
}

}  // namespace adb
