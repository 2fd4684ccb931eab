#include "bindings/download_interfaces.h"

#include <dlfcn.h>

#include "bindings/library_binding.h"
#include "foundation/base/log.h"

namespace devwarden {

bool WebpullerInterface::Bind(const std::string& folder) {
  if (!library) {
    // An already loaded copy is taken as it is (RTLD_NOLOAD loads nothing).
    library = ::dlopen(platform::LibraryFileName("webpuller.dll").c_str(), RTLD_NOW | RTLD_NOLOAD);
  }
  if (!library) library = platform::LoadLibraryFrom(folder, "webpuller.dll");
  if (!library) return false;
  DEVWARDEN_BIND(library, *this, DLSetDownloadPath);
  DEVWARDEN_BIND(library, *this, DLStartDownload);
  DEVWARDEN_BIND(library, *this, DLStopDownload);
  DEVWARDEN_BIND(library, *this, DLGetDownloadStatus);
  DEVWARDEN_BIND(library, *this, DLGetTotalSize);
  DEVWARDEN_BIND(library, *this, DLGetDownloadSize);
  DEVWARDEN_BIND(library, *this, DLGetDownloadSpeed);
  DEVWARDEN_BIND(library, *this, DLGetDownloadFileName);
  DEVWARDEN_BIND(library, *this, DLDestroyAll);
  return true;
}

std::u16string WebpullerInterface::FileName(int id) const {
  char16_t path[260] = {};
  if (DLGetDownloadFileName) DLGetDownloadFileName(id, path);
  path[259] = 0;
  return path;
}

bool KitplanterInterface::Bind(const std::string& folder) {
  library = platform::LoadLibraryFrom(folder, "Kitplanter.dll");
  if (!library) return false;
  DEVWARDEN_BIND(library, *this, QENSetDevType);
  DEVWARDEN_BIND(library, *this, QENSetDriverPackage);
  DEVWARDEN_BIND(library, *this, QENSetExeFirst);
  DEVWARDEN_BIND(library, *this, QENKitplanter);
  return true;
}

void StatInterface::Release() {
  // The release procedure sits in the last slot; nothing binds it here.
  if (!slots[9]) PD_LOG_ERROR("error proc addr is null.");
  if (library) platform::FreeLibrary(library);
  *this = StatInterface();
}

StatInterface& Stat() {
  static StatInterface table;
  return table;
}

}  // namespace devwarden
