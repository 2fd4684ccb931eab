#include "app/adb/adbcmd_tool.h"

#include "app/adb/child_process.h"
#include "app/adb/phone_ports.h"
#include "app/bindings/zip_interface.h"
#include "app/config/config_mgr.h"
#include "foundation/base/code_page.h"
#include "foundation/base/log.h"

namespace {

// Made on first use by Instance (any thread), deleted by Release.
std::atomic<CAdbCmdTool*> g_instance{nullptr};
std::mutex g_instance_lock;

std::string Narrow(const std::u16string& text) { return WStringToMultiByte(text, CP_UTF8); }

std::string JoinCommand(const std::string& program, const std::vector<std::string>& args) {
  std::string line = "\"" + program + "\"";
  for (const std::string& a : args) {
    line += ' ';
    line += a.find(' ') != std::string::npos ? "\"" + a + "\"" : a;
  }
  return line;
}

}  // namespace

std::u16string InstallErrorText(int code) { return adb::InstallErrorText(code); }

CAdbCmdTool* CAdbCmdTool::Instance() {
  CAdbCmdTool* instance = g_instance.load();
  if (instance != nullptr) return instance;
  std::lock_guard<std::mutex> hold(g_instance_lock);
  if (g_instance.load() == nullptr) g_instance.store(new CAdbCmdTool());
  return g_instance.load();
}

void CAdbCmdTool::Release() {
  std::lock_guard<std::mutex> hold(g_instance_lock);
  delete g_instance.exchange(nullptr);
}

CAdbCmdTool::CAdbCmdTool() {
  CZipInterface* zip = CZipInterface::Instance();
  if (!zip->IsLoaded()) zip->Load();
}

CAdbCmdTool::~CAdbCmdTool() { CZipInterface::Release(); }

void CAdbCmdTool::SetSerial(const char16_t* serial) {
  if (serial == nullptr) return;
  std::lock_guard<std::mutex> hold(state_lock_);
  serial_ = serial;
}

std::u16string CAdbCmdTool::GetSerial() const {
  std::lock_guard<std::mutex> hold(state_lock_);
  return serial_;
}

std::map<std::u16string, int> CAdbCmdTool::GetDeviceMap() const {
  std::lock_guard<std::mutex> hold(state_lock_);
  return devices_;
}

bool CAdbCmdTool::RunProcess(const std::string& program, const std::vector<std::string>& args,
                             std::u16string& output) {
  const std::string line = JoinCommand(program, args);
  PD_LOG_INFO("cmd code: %s ", line.c_str());
  PD_LOG_INFO("ReadFile start!");
  const uint32_t timeout_ms = timeout_ms_.load();
  adb::ChildResult run = adb::RunChildProcess(program, args, timeout_ms);
  if (run.cancelled) {
    PD_LOG_ERROR("process cancelled%s: %s", run.started ? " and stopped" : "", line.c_str());
    return false;
  }
  if (run.pipe_failed) {
    PD_LOG_ERROR("CreatePipe failed(%d)", run.error_code);
    return false;
  }
  if (!run.started) {
    PD_LOG_ERROR("CreateProcess failed(%s)(%d)", line.c_str(), run.error_code);
    return false;
  }
  if (run.timed_out) {
    PD_LOG_ERROR("process timed out after %u ms, stopped: %s", timeout_ms, line.c_str());
    return false;
  }
  PD_LOG_INFO("GetExitCodeProcess out!");
  output = MultiByteToWString(run.output, CP_UTF8);
  return true;
}

bool CAdbCmdTool::RunAdbCmd(const char16_t* serial, const std::vector<std::u16string>& args,
                            std::u16string& output) {
  std::vector<std::string> argv;
  if (serial != nullptr && serial[0] != u'\0') {
    argv.push_back("-s");
    argv.push_back(Narrow(serial));
  }
  for (const std::u16string& a : args) argv.push_back(Narrow(a));
  return RunProcess(adb::AdbProgram(), argv, output);
}

bool CAdbCmdTool::RunAaptCmd(const std::vector<std::u16string>& args, std::u16string& output) {
  std::vector<std::string> argv;
  for (const std::u16string& a : args) argv.push_back(Narrow(a));
  return RunProcess(adb::AaptProgram(), argv, output);
}

int CAdbCmdTool::GetDeviceState(const char16_t* serial) {
  if (serial == nullptr) return adb::kDeviceNotListed;
  std::u16string output;
  if (!RunAdbCmd(nullptr, {u"devices"}, output)) return adb::kDeviceNotListed;
  return adb::DeviceStateIn(output, serial);
}

bool CAdbCmdTool::ListDevices() {
  std::u16string output;
  if (!RunAdbCmd(nullptr, {u"devices"}, output)) return false;
  std::map<std::u16string, int> ready;
  for (const adb::DeviceLine& line : adb::ParseDeviceList(output)) {
    if (adb::MapDeviceState(line.state) == adb::kDeviceReady) ready[line.serial] = 0;
  }
  std::lock_guard<std::mutex> hold(state_lock_);
  devices_.swap(ready);
  return true;
}

bool CAdbCmdTool::HasSingleDevice() { return ListDevices() && GetDeviceMap().size() == 1; }

bool CAdbCmdTool::SerialPrecondition() { return !GetSerial().empty() || HasSingleDevice(); }

std::u16string CAdbCmdTool::GetInstallLocationOption() {
  switch (CConfigMgr::Instance()->GetInstallLocation()) {
    case 1:
      return u"-f";
    case 2:
      return u"-s";
    default:
      return std::u16string();
  }
}

int CAdbCmdTool::InstallApk(const char16_t* path, bool reinstall, bool without_location) {
  if (path == nullptr) return adb::kInstallFailed;
  if (!SerialPrecondition()) return adb::kInstallFailed;
  std::vector<std::u16string> args{u"install"};
  if (reinstall) args.push_back(u"-r");
  if (!without_location) {
    const std::u16string option = GetInstallLocationOption();
    if (!option.empty()) args.push_back(option);
  }
  args.push_back(path);
  std::u16string output;
  if (!RunAdbCmd(GetSerial().c_str(), args, output)) {
    PD_LOG_ERROR("RunAdbCmd failed: %s ", Narrow(output).c_str());
    return adb::kInstallFailed;
  }
  const int code = adb::MapInstallOutput(output);
  PD_LOG_INFO("RunAdbCmd strRet: %s error_code:%d", Narrow(output).c_str(), code);
  return code;
}

int CAdbCmdTool::RetryInstall(const char16_t* path, int previous, bool without_location) {
  if (previous == adb::kInstallAlreadyExists) return InstallApk(path, true, without_location);
  if (previous == adb::kInstallInconsistentCertificates) {
    const std::u16string package = GetApkPackageName(path);
    if (RemovePackage(package.c_str())) return InstallApk(path, true, without_location);
    return adb::kInstallInconsistentCertificates;
  }
  return InstallApk(path, true, false);
}

bool CAdbCmdTool::RemovePackage(const char16_t* package) {
  if (package == nullptr || package[0] == u'\0') return false;
  if (!SerialPrecondition()) return false;
  std::u16string output;
  if (!RunAdbCmd(GetSerial().c_str(), {u"shell", u"pm", u"uninstall", package}, output)) return false;
  return output.find(u"Success") != std::u16string::npos;
}

bool CAdbCmdTool::StartActivity(const char16_t* component) {
  if (component == nullptr) return false;
  std::u16string output;
  if (!RunAdbCmd(GetSerial().c_str(), {u"shell", u"am", u"start", u"-n", component}, output)) return false;
  return output.find(u"Error type") == std::u16string::npos &&
         output.find(u"Error:") == std::u16string::npos;
}

bool CAdbCmdTool::IsPackageInstalled(const char16_t* package) {
  if (package == nullptr) return false;
  std::u16string output;
  if (!RunAdbCmd(GetSerial().c_str(), {u"shell", u"pm", u"list", u"package", u"-3"}, output)) return false;
  return adb::PackageListed(output, package);
}

bool CAdbCmdTool::GetPackageVersionCode(const char16_t* package, int* version) {
  if (package == nullptr) return false;
  std::u16string output;
  if (!RunAdbCmd(GetSerial().c_str(), {u"shell", u"dumpsys", u"package", package}, output)) return false;
  return adb::ParseVersionCode(output, version);
}

std::u16string CAdbCmdTool::GetApkBadgingValue(const char16_t* path, const std::u16string& key) {
  if (path == nullptr) return std::u16string();
  std::u16string output;
  if (!RunAaptCmd({u"dump", u"badging", path}, output)) return std::u16string();
  return adb::BadgingValue(output, key);
}

std::u16string CAdbCmdTool::GetApkPackageName(const char16_t* path) {
  return GetApkBadgingValue(path, u"package: name=");
}

bool CAdbCmdTool::GetApkVersionCode(const char16_t* path, int* version) {
  const std::u16string value = GetApkBadgingValue(path, u"versionCode=");
  if (value.empty()) return false;
  return adb::ParseVersionCode(u"versionCode=" + value, version);
}

bool CAdbCmdTool::ReadApkInfo(const char16_t* path, ApkBadgingInfo* info) {
  if (path == nullptr || info == nullptr) return false;
  std::u16string output;
  if (!RunAaptCmd({u"dump", u"badging", path}, output)) return false;
  const std::u16string lines = adb::FilterBadgingInfoLines(output);
  info->icon = adb::BadgingValue(lines, u"icon=");
  info->label = adb::BadgingValue(lines, u"label=");
  info->package_name = adb::BadgingValue(lines, u"name=");
  info->version_code = adb::BadgingValue(lines, u"versionCode=");
  return true;
}

bool CAdbCmdTool::UnzipFromApk(const char16_t* apk, const char16_t* entry,
                               const char16_t* destination) {
  if (apk == nullptr || entry == nullptr || destination == nullptr) return false;
  return CZipInterface::Instance()->UnZipFile(apk, entry, destination);
}

void CAdbCmdTool::ForwardPorts() {
  struct Forward {
    int local;
    int device;
  };
  const Forward forwards[] = {{adb::FtpPort(), adb::kFtpDevicePort},
                              {adb::FtpPassivePort(), adb::kFtpPassiveDevicePort},
                              {adb::AgentPort(), adb::kAgentDevicePort}};
  for (const Forward& f : forwards) {
    std::u16string output;
    const std::u16string local = u"tcp:" + AnsiToWString(std::to_string(f.local));
    const std::u16string device = u"tcp:" + AnsiToWString(std::to_string(f.device));
    RunAdbCmd(GetSerial().c_str(), {u"forward", local, device}, output);
  }
}
