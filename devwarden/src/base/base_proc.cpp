#include "base_proc.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <set>
#include <vector>

#include "base_string.h"
#include "foundation/base/log.h"
#include "platform/module_path.h"
#include "platform/process_list.h"
#include "platform/text_case.h"
#include "platform/user_language.h"
#include "platform/version_record.h"

namespace devwarden {

namespace {

std::string ImageName(const std::u16string& name) {
  std::string n = ToUtf8(name);
  if (n.size() > 4 && platform::EqualNoCase(n.substr(n.size() - 4), ".exe")) n.resize(n.size() - 4);
  return n;
}

std::string WithoutTrailingSlash(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

}  // namespace

std::string GetModuleDir() {
  std::string path = platform::ModulePathOf(reinterpret_cast<const void*>(&GetModuleDir));
  if (path.empty()) {
    PD_LOG_ERROR("error GetModuleFileName");
    return std::string();
  }
  size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) {
    PD_LOG_ERROR("error PathRemoveFileSpec");
    return std::string();
  }
  return slash == 0 ? std::string("/") : path.substr(0, slash);
}

std::string HostProgramFolder() { return WithoutTrailingSlash(platform::ProgramDirectory()); }

pid_t FindProcessIdByName(const std::u16string& name, bool strays_only) {
  if (name.empty()) {
    PD_LOG_ERROR("error parameter");
    return 0;
  }
  const std::string wanted = ImageName(name);
  const pid_t self = ::getpid();
  std::vector<platform::ProcessEntry> list = platform::ListProcesses();
  if (list.empty()) {
    PD_LOG_ERROR("error Process32First");
    return 0;
  }
  const uid_t user = ::getuid();
  std::set<unsigned long> listening;
  if (strays_only) listening = platform::ListeningTcpInodes();
  for (const auto& p : list) {
    if (p.pid == self || p.uid != user) continue;
    size_t slash = p.image_path.find_last_of('/');
    if (!platform::EqualNoCase(p.image_path.substr(slash + 1), wanted)) continue;
    if (strays_only && (platform::HoldsAnySocket(p.pid, listening) || platform::IsDescendantOf(p.pid, self)))
      continue;
    return p.pid;
  }
  return 0;
}

bool KillProcessByName(const std::u16string& name, bool strays_only) {
  pid_t pid = FindProcessIdByName(name, strays_only);
  if (pid == 0) {
    PD_LOG_ERROR("error proc has not exist.");
    return false;
  }
  auto result = platform::EndProcesses({pid}, std::chrono::milliseconds(3000));
  if (result.empty() || result[0] == platform::EndResult::kRefused) {
    PD_LOG_ERROR("error OpenProcess");
    return false;
  }
  if (result[0] == platform::EndResult::kTimedOut) PD_LOG_ERROR("error TerminateProcess");
  return true;
}

int GetOsId() { return 0; }

int GetLanguageId() {
  static const int cached = (platform::UserDefaultLanguageId() & 0xF) == 9 ? 9 : 2052;
  return cached;
}

bool GetFileProductVersion(const std::string& path, uint64_t* version) {
  if (!version) {
    PD_LOG_ERROR("error parameter");
    return false;
  }
  std::vector<uint8_t> data;
  if (!platform::ReadVersionData(path, &data)) {
    PD_LOG_ERROR("error fnGetFileVersionInfoSizeA %s", path.c_str());
    return false;
  }
  const uint8_t* value = nullptr;
  size_t size = 0;
  if (!platform::QueryVersionValue(data, "\\VarFileInfo\\Translation", &value, &size) || size < 4) {
    PD_LOG_ERROR("error fnVerQueryValueA");
    return false;
  }
  unsigned lang = value[0] | value[1] << 8, page = value[2] | value[3] << 8;
  char query[64];
  std::snprintf(query, sizeof query, "\\StringFileInfo\\%04x%04x\\ProductVersion", lang, page);
  if (!platform::QueryVersionValue(data, query, &value, &size)) {
    PD_LOG_ERROR("error fnVerQueryValueA");
    return false;
  }
  if (!value || size < 2) {
    PD_LOG_ERROR("error NULL == pVerValue");
    return false;
  }
  std::u16string text;
  for (size_t i = 0; i + 1 < size; i += 2) {
    char16_t c = static_cast<char16_t>(value[i] | value[i + 1] << 8);
    if (!c) break;
    text.push_back(c);
  }
  return ParseProductVersion(ToUtf8(text).c_str(), version);
}

}  // namespace devwarden
