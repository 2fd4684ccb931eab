#include "ledgerbox_interface.h"

#include "module_folder.h"
#include "platform/dynamic_library.h"
#include "platform/module_path.h"

namespace kitfinder {

namespace {
template <typename Fn>
void Bind(void* module, Fn*& slot, const char* name) {
  slot = reinterpret_cast<Fn*>(platform::FindSymbol(module, name));
}
}  // namespace

bool CLedgerboxInterface::InitSCInterface(const std::string& path) {
  std::string file = path.empty() ? platform::ProgramDirectory() + "Ledgerbox.dll" : path;
  const size_t slash = file.rfind('/');
  if (slash == std::string::npos) {
    KIT_LOG("error BaseGetModuleFilePath");
    *this = CLedgerboxInterface();
    return false;
  }
  void* lib = platform::LoadLibraryFrom(file.substr(0, slash), file.substr(slash + 1));
  if (!lib) {
    *this = CLedgerboxInterface();
    return false;
  }
  module = lib;
#define KF_BIND_SC(name) Bind(lib, name, #name)
  KF_BIND_SC(SCInit);
  KF_BIND_SC(SCClose);
  KF_BIND_SC(SCGetSysInfo);
  KF_BIND_SC(SCUpdateSysInfo);
  KF_BIND_SC(SCGetDrvInfo);
  KF_BIND_SC(SCUpdateDrvInfo);
  KF_BIND_SC(SCGetSpecialDrvInfo);
  KF_BIND_SC(SCUpdateSpecialDrvInfo);
  KF_BIND_SC(SCFreeDrvInfo);
  KF_BIND_SC(SCGetBrandSoftInfo);
  KF_BIND_SC(SCUpdateBrandSoftInfo);
  KF_BIND_SC(SCFreeBrandSoftInfo);
  KF_BIND_SC(SCUpdateDrvDesc);
  KF_BIND_SC(SCGetDrvDesc);
#undef KF_BIND_SC
  return true;
}

void CLedgerboxInterface::Release() {
  void* lib = module;
  *this = CLedgerboxInterface();
  platform::FreeLibrary(lib);
}

}  // namespace kitfinder
