#include "app/bindings/zip_interface.h"

#include "app/bindings/outside_library.h"
#include "foundation/base/code_page.h"
#include "foundation/base/log.h"
#include "platform/dynamic_library.h"

namespace {
CZipInterface* g_zip_instance = nullptr;  // made and released by the adb runner's thread
}  // namespace

CZipInterface* CZipInterface::Instance() {
  if (g_zip_instance == nullptr) g_zip_instance = new CZipInterface();
  return g_zip_instance;
}

void CZipInterface::Release() {
  delete g_zip_instance;
  g_zip_instance = nullptr;
}

CZipInterface::~CZipInterface() { Free(); }

bool CZipInterface::Load(const char16_t* path) {
  Free();
  std::string error;
  module_ = (path != nullptr && path[0] != u'\0') ? app::LoadLibraryAtPath(WStringToAnsi(path), &error)
                                                  : app::LoadOutsideLibrary("Packwell.dll", &error);
  if (module_ == nullptr) {
    PD_LOG_TRACE("LoadLibrary Packwell.dll failed: %s", error.c_str());
    return false;
  }
  compress_ = reinterpret_cast<PfnQENCompress>(platform::FindSymbol(module_, "QENCompress"));
  decompress_ = reinterpret_cast<PfnQENDecompress>(platform::FindSymbol(module_, "QENDecompress"));
  unzip_ = reinterpret_cast<PfnUnZipFile>(platform::FindSymbol(module_, "unZipFile"));
  if (compress_ == nullptr || decompress_ == nullptr || unzip_ == nullptr) {
    PD_LOG_TRACE("Packwell.dll: an export is missing");
    Free();
    return false;
  }
  return true;
}

void CZipInterface::Free() {
  compress_ = nullptr;
  decompress_ = nullptr;
  unzip_ = nullptr;
  if (module_ != nullptr) platform::FreeLibrary(module_);
  module_ = nullptr;
}

bool CZipInterface::UnZipFile(const std::u16string& archive, const std::u16string& entry,
                              const std::u16string& destination) const {
  if (unzip_ == nullptr) return false;
  return unzip_(WStringToAnsi(archive).c_str(), WStringToAnsi(entry).c_str(),
                WStringToAnsi(destination).c_str()) == 0;
}
