// libdevwarden.so's entry and exit: the log opens at load; at unload the
// manager's shut-down runs first (the host may never call PNP_UnInit, and
// devwarden's threads must be stopped before the library's code goes away),
// then the log closes.
#include "foundation/base/log.h"
#include "src/pnp_device_management.h"

namespace {

__attribute__((constructor)) void DevwardenLoaded() {
  base::BaseLog* log = base::BaseLog::GetInstance();
  log->Open("log/devwarden.log");
  PD_LOG_TRACE("===============devwarden.log Begin===============");
  devwarden::Manager();
}

__attribute__((destructor)) void DevwardenUnloading() {
  devwarden::Manager().UnInit();
  devwarden::DestroyManager();
  PD_LOG_TRACE("===============devwarden.log End===============");
  base::BaseLog::GetInstance()->Close();
  base::BaseLog::ReleaseInstance();
}

}  // namespace
