#include "platform/module_path.h"

#include <dlfcn.h>
#include <link.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

namespace platform {

const char kProgramDirEnv[] = "PHONEDECK_PROGRAM_DIR";

std::string ExecutablePath() {
  std::vector<char> buffer(512);
  for (;;) {
    ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (n < 0) return std::string();
    if (static_cast<size_t>(n) < buffer.size()) return std::string(buffer.data(), static_cast<size_t>(n));
    if (buffer.size() >= 65536) return std::string();
    buffer.resize(buffer.size() * 2);
  }
}

namespace {

// The executable's link map has an empty name and heads the chain.
bool IsExecutableMap(const link_map* map) {
  return map != nullptr && (map->l_prev == nullptr || map->l_name == nullptr || map->l_name[0] == '\0');
}

}  // namespace

std::string ModulePathOf(const void* address) {
  Dl_info info{};
  link_map* map = nullptr;
  if (::dladdr1(address, &info, reinterpret_cast<void**>(&map), RTLD_DL_LINKMAP) == 0) return std::string();
  if (IsExecutableMap(map)) return ExecutablePath();
  return info.dli_fname != nullptr ? std::string(info.dli_fname) : std::string();
}

std::string ModulePathOfHandle(void* handle) {
  if (handle == nullptr) return ExecutablePath();
  link_map* map = nullptr;
  if (::dlinfo(handle, RTLD_DI_LINKMAP, &map) != 0 || map == nullptr) return std::string();
  if (IsExecutableMap(map)) return ExecutablePath();
  return std::string(map->l_name);
}

std::string ProgramDirectory() {
  const char* over = std::getenv(kProgramDirEnv);
  std::string dir;
  if (over != nullptr && over[0] != '\0') {
    dir = over;
  } else {
    dir = ExecutablePath();
    std::string::size_type slash = dir.rfind('/');
    dir = slash == std::string::npos ? std::string() : dir.substr(0, slash + 1);
  }
  if (!dir.empty() && dir.back() != '/') dir += '/';
  return dir;
}

}  // namespace platform
