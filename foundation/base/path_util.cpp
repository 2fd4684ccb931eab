#include "foundation/base/path_util.h"

#include "platform/module_path.h"

std::string GetModuleDirectoryA() { return platform::ProgramDirectory(); }

std::string GetCurrentModuleTitle() {
  static const int kAnchor = 0;  // any address inside this module
  std::string path = platform::ModulePathOf(&kAnchor);
  if (path.empty()) return std::string();
  std::string name = path.substr(path.rfind('/') + 1);
  const bool sharedLibrary =
      name.size() > 3 && (name.compare(name.size() - 3, 3, ".so") == 0 || name.find(".so.") != std::string::npos);
  if (sharedLibrary) {
    name.erase(name.find(".so"));
    if (name.compare(0, 3, "lib") == 0 && name.size() > 3) name.erase(0, 3);
    return name;
  }
  return GetFileTitleOfPath(path);
}

namespace {
std::string::size_type LastSeparator(const std::string& path) { return path.find_last_of("\\/"); }
}  // namespace

std::string GetFileNameOfPath(const std::string& path) {
  std::string::size_type at = LastSeparator(path);
  return at == std::string::npos ? std::string() : path.substr(at + 1);
}

std::string GetDirectoryOfPath(const std::string& path) {
  std::string::size_type at = LastSeparator(path);
  return at == std::string::npos ? std::string() : path.substr(0, at);
}

std::string GetFileTitleOfPath(const std::string& path) {
  std::string name = GetFileNameOfPath(path);
  std::string::size_type dot = name.rfind('.');
  return dot == std::string::npos ? name : name.substr(0, dot);
}
