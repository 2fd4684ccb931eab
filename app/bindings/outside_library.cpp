#include "app/bindings/outside_library.h"

#include "platform/dynamic_library.h"
#include "platform/module_path.h"

namespace app {

std::string ProgramFolder() { return platform::ProgramDirectory(); }

void* LoadOutsideLibrary(const std::string& file_name, std::string* error) {
  return platform::LoadLibraryFrom(ProgramFolder(), file_name, error);
}

void* LoadLibraryAtPath(const std::string& path, std::string* error) {
  const size_t cut = path.find_last_of("/\\");
  const std::string folder = cut == std::string::npos ? ProgramFolder() : path.substr(0, cut + 1);
  const std::string name = cut == std::string::npos ? path : path.substr(cut + 1);
  if (name.empty()) {
    if (error != nullptr) *error = "no library file name in \"" + path + "\"";
    return nullptr;
  }
  return platform::LoadLibraryFrom(folder, name, error);
}

}  // namespace app
