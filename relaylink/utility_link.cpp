// Interim bodies of the utility services relaylink uses, written to the
// behaviour the utility library gives them; they move to the utility
// library's own exports once it is linked here.
#include "utility_link.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <limits.h>
#include <net/if.h>
#include <netdb.h>
#include <sys/stat.h>
#include <unistd.h>

#include <strings.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <mutex>

namespace relaylink {
namespace {

std::mutex g_logMutex;  // guards g_log and every line written to it
FILE* g_log = nullptr;

std::string Trim(const std::string& text) {
  size_t b = text.find_first_not_of(" \t\r\n");
  if (b == std::string::npos) return std::string();
  size_t e = text.find_last_not_of(" \t\r\n");
  return text.substr(b, e - b + 1);
}

bool SameNoCase(const std::string& a, const char* b) { return strcasecmp(a.c_str(), b) == 0; }

}  // namespace

std::string ProgramFolder() {
  char path[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) return std::string();
  path[n] = 0;
  std::string text(path);
  return text.substr(0, text.rfind('/') + 1);
}

bool OpenLog() {
  std::lock_guard<std::mutex> lock(g_logMutex);
  if (g_log != nullptr) return false;
  std::string path = ProgramFolder() + "log/Relaylink.log";
  struct stat st {};
  if (stat(path.c_str(), &st) == 0 && st.st_size > 0x500000) unlink(path.c_str());
  g_log = fopen(path.c_str(), "a+");
  return g_log != nullptr;
}

void CloseLog() {
  std::lock_guard<std::mutex> lock(g_logMutex);
  if (g_log != nullptr) fclose(g_log);
  g_log = nullptr;
}

void Log(const char* format, ...) {
  char text[256];
  va_list args;
  va_start(args, format);
  vsnprintf(text, sizeof text, format, args);
  va_end(args);
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  std::lock_guard<std::mutex> lock(g_logMutex);
  if (g_log == nullptr) return;
  fprintf(g_log, "[%04d-%02d-%02d %02d:%02d:%02d] %s\r\n", local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
          local.tm_hour, local.tm_min, local.tm_sec, text);
  fflush(g_log);
}

std::string Domain2Ip(const std::string& name) {
  if (name.empty()) return std::string();
  addrinfo hints{};
  hints.ai_family = AF_INET;
  addrinfo* found = nullptr;
  if (getaddrinfo(name.c_str(), nullptr, &hints, &found) != 0 || found == nullptr) return std::string();
  char text[INET_ADDRSTRLEN] = {};
  inet_ntop(AF_INET, &reinterpret_cast<sockaddr_in*>(found->ai_addr)->sin_addr, text, sizeof text);
  freeaddrinfo(found);
  return text;
}

std::string ResolveWithServer(const std::string&, const std::string& name, int) { return Domain2Ip(name); }

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
  std::ifstream in(path);
  std::string line;
  bool inSection = false;
  while (std::getline(in, line)) {
    line = Trim(line);
    if (line.empty() || line[0] == ';') continue;
    if (line[0] == '[') {
      size_t end = line.find(']');
      inSection = end != std::string::npos && SameNoCase(Trim(line.substr(1, end - 1)), section);
      continue;
    }
    size_t eq = line.find('=');
    if (inSection && eq != std::string::npos && SameNoCase(Trim(line.substr(0, eq)), key)) {
      return Trim(line.substr(eq + 1));
    }
  }
  return fallback != nullptr ? fallback : "";
}

int IniReadInt(const std::string& path, const char* section, const char* key, int fallback) {
  std::string text = IniReadStr(path, section, key, "");
  if (text.empty()) return fallback;
  return std::atoi(text.c_str());
}

}  // namespace relaylink
