// The devwarden exports the connection manager calls, as one table. The
// program uses the exports linked at load time (LinkedDevwarden); tests hand
// in a table bound to a copy of the library that sits beside fake detection
// and driver libraries.
#pragma once

#include "devwarden.h"

struct DevwardenApi {
  decltype(&::PNP_Init) Init = nullptr;
  decltype(&::PNP_UnInit) UnInit = nullptr;
  decltype(&::PNP_Start) Start = nullptr;
  decltype(&::PNP_Refresh) Refresh = nullptr;
  decltype(&::PNP_SetDetectClass) SetDetectClass = nullptr;
  decltype(&::PNP_SetDownLoadPath) SetDownLoadPath = nullptr;
  decltype(&::PNP_SetADBDeviceName) SetADBDeviceName = nullptr;
  decltype(&::PNP_GetDeviceClass) GetDeviceClass = nullptr;
  decltype(&::PNP_GetDeviceStatus) GetDeviceStatus = nullptr;
  decltype(&::PNP_GetDeviceSerialNumber) GetDeviceSerialNumber = nullptr;
  decltype(&::PNP_GetDeviceManufName) GetDeviceManufName = nullptr;
  decltype(&::PNP_GetDeviceProductName) GetDeviceProductName = nullptr;
  decltype(&::PNP_Dump_DeviceHwIDs) Dump_DeviceHwIDs = nullptr;
  decltype(&::PNP_GetAndroidCurrentMode) GetAndroidCurrentMode = nullptr;
  decltype(&::PNP_GetDeviceAdvanceInfo) GetDeviceAdvanceInfo = nullptr;
  decltype(&::PNP_GetUpdateDriverCount) GetUpdateDriverCount = nullptr;
  decltype(&::PNP_DownLoadDriver) DownLoadDriver = nullptr;
  decltype(&::PNP_UpdateDrvier) UpdateDrvier = nullptr;

  // True when every entry is bound.
  bool Complete() const;
};

// The exports of the libdevwarden.so the program is linked with.
DevwardenApi LinkedDevwarden();

// Binds the table from a loaded library handle (dlopen); false when an
// export is missing (the table is then incomplete).
bool BindDevwarden(void* library, DevwardenApi* api);
