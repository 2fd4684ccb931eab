#include "platform/dynamic_library.h"

#include <dlfcn.h>

#include <cctype>

namespace platform {

namespace {

bool EndsWithNoCase(const std::string& text, const std::string& suffix) {
  if (text.size() < suffix.size()) return false;
  for (size_t i = 0; i < suffix.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(text[text.size() - suffix.size() + i])) != suffix[i]) return false;
  }
  return true;
}

}  // namespace

std::string LibraryFileName(const std::string& systemName) {
  if (EndsWithNoCase(systemName, ".so") || systemName.find(".so.") != std::string::npos) return systemName;
  std::string stem = systemName;
  if (EndsWithNoCase(stem, ".dll")) stem.resize(stem.size() - 4);
  if (stem.compare(0, 3, "lib") == 0) return stem + ".so";
  return "lib" + stem + ".so";
}

void* LoadLibraryFrom(const std::string& folder, const std::string& systemName, std::string* error) {
  std::string path = folder;
  if (!path.empty() && path.back() != '/') path += '/';
  path += LibraryFileName(systemName);
  return LoadLibraryPath(path, error);
}

void* LoadLibraryPath(const std::string& path, std::string* error) {
  ::dlerror();
  void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr && error != nullptr) {
    const char* why = ::dlerror();
    *error = why != nullptr ? why : ("cannot load " + path);
  }
  return handle;
}

void* FindSymbol(void* library, const char* name) {
  if (library == nullptr || name == nullptr) return nullptr;
  return ::dlsym(library, name);
}

void FreeLibrary(void* library) {
  if (library != nullptr) ::dlclose(library);
}

}  // namespace platform
