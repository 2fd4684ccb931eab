// relaylink's use of the utility library (log, name resolution, INI, temp
// folder) and of the system (network state).
#include "utility_link.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <unistd.h>

#include <cstdarg>
#include <cstdio>

#include "platform/private_folder.h"
#include "server_table.h"
#include "utility/base_dns.h"
#include "utility/base_file.h"
#include "utility/base_ini.h"
#include "utility/base_log.h"
#include "utility/base_string.h"

namespace relaylink {

std::string ProgramFolder() {
  std::string folder = _base_get_app_path();
  return folder.empty() ? folder : folder + "/";
}

std::string CacheFolder() { return _base_get_system_temp_path() + "qentemp-" + std::to_string(getuid()); }

std::string CacheFilePath() {
  const std::string folder = CacheFolder();
  std::string error;
  if (!platform::EnsurePrivateFolder(folder, &error)) {
    Log("the cache folder cannot be used: %s", error.c_str());
    return std::string();
  }
  return folder + "/relaylink.cache";
}

bool OpenLog() { return CBaseLog::Log()->OpenLog("log/Relaylink.log"); }

void CloseLog() {
  CBaseLog::Log()->CloseLog();
  CBaseLog::Unlog();
}

void Log(const char* format, ...) {
  char text[256];
  va_list args;
  va_start(args, format);
  vsnprintf(text, sizeof text, format, args);
  va_end(args);
  CBaseLog::Log()->OutFile(2, "%s", text);
}

std::string Domain2Ip(const std::string& name) { return ::Domain2Ip(name.c_str()); }

std::string ResolveWithServer(const std::string& dnsServer, const std::string& name, int timeoutMs) {
  uint32_t address = DNS::GetHostByName(dnsServer.empty() ? nullptr : dnsServer.c_str(), name.c_str(), timeoutMs);
  if (address == 0) return std::string();
  in_addr a{};
  a.s_addr = address;
  char text[INET_ADDRSTRLEN] = {};
  inet_ntop(AF_INET, &a, text, sizeof text);
  return text;
}

bool IsNetworkAlive() {
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0) return false;
  bool alive = false;
  for (ifaddrs* it = list; it != nullptr && !alive; it = it->ifa_next) {
    alive = (it->ifa_flags & IFF_UP) != 0 && (it->ifa_flags & IFF_RUNNING) != 0;
  }
  freeifaddrs(list);
  return alive;
}

std::string IniReadStr(const std::string& path, const char* section, const char* key, const char* fallback) {
  CBaseIni ini(path.c_str());
  std::string value = fallback != nullptr ? fallback : "";
  ini.ReadStr(section, key, fallback != nullptr ? fallback : "", value);
  return value;
}

int IniReadInt(const std::string& path, const char* section, const char* key, int fallback) {
  CBaseIni ini(path.c_str());
  return ini.ReadInt(section, key, fallback);
}

}  // namespace relaylink
