#include "module_folder.h"

#include "platform/module_path.h"

namespace kitfinder {

std::string OwnModuleFolder(const char* suffix) {
  static const int kAnchor = 0;
  const std::string module = platform::ModulePathOf(&kAnchor);
  const size_t slash = module.rfind('/');
  if (module.empty() || slash == std::string::npos) {
    KIT_LOG("error GetModuleFileName");
    return std::string();
  }
  return module.substr(0, slash + 1) + (suffix ? suffix : "");
}

}  // namespace kitfinder
