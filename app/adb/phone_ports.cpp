#include "app/adb/phone_ports.h"

#include <unistd.h>

#include <cstdlib>

#include "platform/module_path.h"

namespace adb {
namespace {

int PortFromEnv(const char* name, int fallback) {
  const char* text = std::getenv(name);
  if (text == nullptr || *text == '\0') return fallback;
  char* end = nullptr;
  long value = std::strtol(text, &end, 10);
  if (*end != '\0' || value <= 0 || value > 65535) return fallback;
  return static_cast<int>(value);
}

std::string ToolProgram(const char* env, const char* bundled, const char* system_name) {
  const char* text = std::getenv(env);
  if (text != nullptr && *text != '\0') return text;
  const std::string own = platform::ProgramDirectory() + bundled;
  if (access(own.c_str(), X_OK) == 0) return own;
  return system_name;
}

}  // namespace

int AgentPort() { return PortFromEnv("PHONEDECK_AGENT_PORT", kAgentDevicePort); }
int FtpPort() { return PortFromEnv("PHONEDECK_FTP_PORT", kFtpDevicePort); }
int FtpPassivePort() { return PortFromEnv("PHONEDECK_FTP_PASSIVE_PORT", kFtpPassiveDevicePort); }
int AdbServerPort() { return PortFromEnv("ANDROID_ADB_SERVER_PORT", kDefaultAdbServerPort); }

std::string AdbProgram() { return ToolProgram("PHONEDECK_ADB", "adb/adb", "adb"); }
std::string AaptProgram() { return ToolProgram("PHONEDECK_AAPT", "adb/aapt", "aapt"); }

}  // namespace adb
