#include "bindings/portsniffer_interface.h"

#include "bindings/library_binding.h"
#include "foundation/base/log.h"

namespace devwarden {

bool PortsnifferInterface::Bind(const std::string& folder) {
  if (!library) {
    std::string error;
    library = platform::LoadLibraryFrom(folder, "portsniffer.dll", &error);
    if (!library) {
      PD_LOG_ERROR("error LoadLibrary[%s] %s", folder.c_str(), error.c_str());
      *this = PortsnifferInterface();
      return false;
    }
  }
  DEVWARDEN_BIND(library, *this, UD_Init);
  DEVWARDEN_BIND(library, *this, UD_UnInit);
  DEVWARDEN_BIND(library, *this, UD_Reset);
  DEVWARDEN_BIND(library, *this, UD_SetCallBack);
  DEVWARDEN_BIND(library, *this, UD_OnDeviceChangeMessage);
  DEVWARDEN_BIND(library, *this, UD_IsDeviceAdbInterfaceHasProplem);
  DEVWARDEN_BIND(library, *this, UD_IsDeviceHasProplem);
  DEVWARDEN_BIND(library, *this, UD_GetDeviceClassGUID);
  DEVWARDEN_BIND(library, *this, UD_QueryDeviceStatus);
  DEVWARDEN_BIND(library, *this, UD_GetConnectDevicesList);
  DEVWARDEN_BIND(library, *this, UD_DestoryDeviceList);
  DEVWARDEN_BIND(library, *this, UD_GetMonitorDescriptor);
  return true;
}

void PortsnifferInterface::Release() { *this = PortsnifferInterface(); }

PortsnifferInterface& Portsniffer() {
  static PortsnifferInterface table;
  return table;
}

}  // namespace devwarden
