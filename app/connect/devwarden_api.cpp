#include "app/connect/devwarden_api.h"

#include "platform/dynamic_library.h"

#define DEVWARDEN_ENTRIES(X)                                                                              \
  X(Init, PNP_Init) X(UnInit, PNP_UnInit) X(Start, PNP_Start) X(Refresh, PNP_Refresh)                     \
  X(SetDetectClass, PNP_SetDetectClass) X(SetDownLoadPath, PNP_SetDownLoadPath)                           \
  X(SetADBDeviceName, PNP_SetADBDeviceName) X(GetDeviceClass, PNP_GetDeviceClass)                         \
  X(GetDeviceStatus, PNP_GetDeviceStatus) X(GetDeviceSerialNumber, PNP_GetDeviceSerialNumber)             \
  X(GetDeviceManufName, PNP_GetDeviceManufName) X(GetDeviceProductName, PNP_GetDeviceProductName)         \
  X(Dump_DeviceHwIDs, PNP_Dump_DeviceHwIDs) X(GetAndroidCurrentMode, PNP_GetAndroidCurrentMode)           \
  X(GetDeviceAdvanceInfo, PNP_GetDeviceAdvanceInfo) X(GetUpdateDriverCount, PNP_GetUpdateDriverCount)     \
  X(DownLoadDriver, PNP_DownLoadDriver) X(UpdateDrvier, PNP_UpdateDrvier)

bool DevwardenApi::Complete() const {
#define CHECK_ENTRY(field, name) if (field == nullptr) return false;
  DEVWARDEN_ENTRIES(CHECK_ENTRY)
#undef CHECK_ENTRY
  return true;
}

DevwardenApi LinkedDevwarden() {
  DevwardenApi api;
#define LINK_ENTRY(field, name) api.field = &::name;
  DEVWARDEN_ENTRIES(LINK_ENTRY)
#undef LINK_ENTRY
  return api;
}

bool BindDevwarden(void* library, DevwardenApi* api) {
#define BIND_ENTRY(field, name) \
  api->field = reinterpret_cast<decltype(api->field)>(platform::FindSymbol(library, #name));
  DEVWARDEN_ENTRIES(BIND_ENTRY)
#undef BIND_ENTRY
  return api->Complete();
}
