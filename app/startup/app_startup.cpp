#include "app/startup/app_startup.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "app/bindings/close_programs.h"
#include "app/bindings/crash_report.h"
#include "app/bindings/lettermill_interface.h"
#include "app/bindings/stat_library.h"
#include "app/config/config_mgr.h"
#include "app/startup/single_instance.h"
#include "foundation/base/log.h"
#include "platform/module_path.h"

const char16_t kSingleInstanceMutex[] = u"Global\\{0A9563EC-49E8-4bf1-80DD-4862C014C51E}";
const char16_t kMainWindowClass[] = u"Shelfhub";

namespace {
constexpr int kStatAppId = 8;
}  // namespace

void AppInit() {
  CConfigMgr::Instance()->Init();
  OpenStatLibrary();
  StatSetAppID(kStatAppId);
  StatSetUnionID(GetUnionID());
  uint64_t version = CConfigMgr::Instance()->GetVersionInfo().GetFileVersion64();
  StatSetVersion(static_cast<uint32_t>(version), static_cast<uint32_t>(version >> 32));
  StatOnline();
  CLettermillInterface::Instance()->InitPost();
}

void AppTerm() {
  CConfigMgr::Release();
  StatOffline();
  CloseStatLibrary();
  CLettermillInterface::Release();
}

bool CommandLineHas(const std::string& command_line, const char* word) {
  auto lower = [](std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
    return s;
  };
  return lower(command_line).find(lower(word)) != std::string::npos;
}

void TellCannotStartOnStderr(const std::string& refusal) {
  std::fprintf(stderr, "Phonedeck cannot start: %s\n", refusal.c_str());
}

StartupSteps DefaultStartupSteps() {
  StartupSteps s;
  s.open_log = [] {
    // The log writes below the program folder and makes no folders itself.
    mkdir((platform::ProgramDirectory() + "log").c_str(), 0755);
    base::BaseLog::GetInstance()->Open("log/zelvik.log");
  };
  s.app_init = AppInit;
  s.close_other_processes = KillProgramFolderProcesses;
  s.check_single_instance = [] {
    InstanceCheck check;
    check.only = CSingleInstance::Check(kSingleInstanceMutex, kMainWindowClass, nullptr, true);
    if (!check.only) check.refusal = CSingleInstance::Refusal();
    return check;
  };
  s.tell_cannot_start = TellCannotStartOnStderr;
  s.init_crash_report = [] { InitCrashReport(nullptr, 10, 0, false, 0); };
  s.run_ui = [](bool) { return UiResult::kRan; };
  s.app_term = AppTerm;
  s.release_log = [] { base::BaseLog::ReleaseInstance(); };
  return s;
}

int RunPhonedeck(const std::string& command_line, const StartupSteps& steps) {
  steps.open_log();
  steps.app_init();
  if (CommandLineHas(command_line, "-close")) {
    // Only ends the program's other processes; no teardown on this path.
    if (!steps.close_other_processes()) PD_LOG_WARNING("-close: the setup helper is missing");
    return 0;
  }
  const InstanceCheck check = steps.check_single_instance();
  if (check.only) {
    steps.init_crash_report();
    if (steps.run_ui(CommandLineHas(command_line, "-hide")) == UiResult::kNoWindow) return 0;
  } else if (!check.refusal.empty()) {
    PD_LOG_ERROR("cannot start: %s", check.refusal.c_str());
    steps.tell_cannot_start(check.refusal);
  } else {
    PD_LOG_INFO("not the only instance; this one ends");
  }
  steps.app_term();
  steps.release_log();
  return 0;
}
