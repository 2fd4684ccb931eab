#include "platform/user_folders.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace platform {
namespace {

std::string TrimTrailingSlashes(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

// An environment value that names an absolute folder, or nothing.
std::optional<std::string> AbsoluteEnv(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr || value[0] != '/') return std::nullopt;
  return TrimTrailingSlashes(value);
}

std::string UserDir(const char* key, const char* fallback_name) {
  if (auto env = AbsoluteEnv(key)) return *env;
  const std::string home = HomeDir();
  std::ifstream in(ConfigHomeDir() + "/user-dirs.dirs");
  if (in) {
    std::stringstream text;
    text << in.rdbuf();
    if (auto dir = ParseUserDirsEntry(text.str(), key, home)) return *dir;
  }
  return (home == "/" ? std::string() : home) + "/" + fallback_name;
}

}  // namespace

std::string HomeDir() {
  if (auto home = AbsoluteEnv("HOME")) return *home;
  struct passwd entry;
  struct passwd* found = nullptr;
  char buffer[4096];
  if (getpwuid_r(getuid(), &entry, buffer, sizeof buffer, &found) == 0 && found != nullptr &&
      found->pw_dir != nullptr && found->pw_dir[0] == '/') {
    return TrimTrailingSlashes(found->pw_dir);
  }
  return "/";
}

std::string ConfigHomeDir() {
  if (auto dir = AbsoluteEnv("XDG_CONFIG_HOME")) return *dir;
  return TrimTrailingSlashes(HomeDir() + "/.config");
}

std::string DataHomeDir() {
  if (auto dir = AbsoluteEnv("XDG_DATA_HOME")) return *dir;
  return TrimTrailingSlashes(HomeDir() + "/.local/share");
}

std::string ApplicationsDir() { return DataHomeDir() + "/applications"; }

std::string DesktopDir() { return UserDir("XDG_DESKTOP_DIR", "Desktop"); }

std::string DownloadDir() { return UserDir("XDG_DOWNLOAD_DIR", "Downloads"); }

std::string TempDir() {
  if (auto dir = AbsoluteEnv("TMPDIR")) return *dir;
  return "/tmp";
}

std::optional<std::string> ParseUserDirsEntry(const std::string& text, const std::string& key,
                                              const std::string& home) {
  std::istringstream lines(text);
  std::string line;
  std::optional<std::string> result;
  while (std::getline(lines, line)) {
    size_t start = line.find_first_not_of(" \t");
    if (start == std::string::npos || line[start] == '#') continue;
    if (line.compare(start, key.size(), key) != 0) continue;
    size_t pos = start + key.size();
    if (pos >= line.size() || line[pos] != '=') continue;
    std::string value = line.substr(pos + 1);
    while (!value.empty() && (value.back() == ' ' || value.back() == '\t' || value.back() == '\r')) {
      value.pop_back();
    }
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
      value = value.substr(1, value.size() - 2);
    }
    if (value.rfind("$HOME", 0) == 0) {
      value = (home == "/" ? std::string() : home) + value.substr(5);
    }
    if (value.empty() || value[0] != '/') continue;
    result = TrimTrailingSlashes(value);  // the last assignment wins, as in the shell
  }
  return result;
}

}  // namespace platform
