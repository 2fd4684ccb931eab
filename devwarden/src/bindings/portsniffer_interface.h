// The detection library's procedures, bound by name; one process-wide table.
// Threading: bound and released on the host's thread in PNP_Init/PNP_UnInit
// (and at unload); read without a lock in between.
#ifndef DEVWARDEN_SRC_BINDINGS_PORTSNIFFER_INTERFACE_H_
#define DEVWARDEN_SRC_BINDINGS_PORTSNIFFER_INTERFACE_H_

#include <cstdint>
#include <string>

#include "detected_device_record.h"

namespace devwarden {

struct UdStatusRecord {
  int32_t confirmed;
  int32_t status;
  int32_t problem;
};

using UdCallbackFn = int(int event, DetectedDeviceRecord* record, uintptr_t context);

struct PortsnifferInterface {
  int (*UD_Init)(UdCallbackFn* callback, uintptr_t context) = nullptr;
  int (*UD_UnInit)() = nullptr;
  int (*UD_Reset)() = nullptr;
  int (*UD_SetCallBack)(UdCallbackFn* callback, uintptr_t context) = nullptr;
  int (*UD_OnDeviceChangeMessage)(uintptr_t wparam, intptr_t lparam) = nullptr;
  int (*UD_IsDeviceAdbInterfaceHasProplem)(const char16_t* bus_id, UdStatusRecord* status) = nullptr;
  int (*UD_IsDeviceHasProplem)(const char16_t* bus_id, UdStatusRecord* status) = nullptr;
  int (*UD_GetDeviceClassGUID)(const char16_t* bus_id, uint8_t* guid16) = nullptr;
  int (*UD_QueryDeviceStatus)(int32_t handle, UdStatusRecord* status) = nullptr;
  int (*UD_GetConnectDevicesList)(DetectedDeviceRecord** list, int* count) = nullptr;
  void (*UD_DestoryDeviceList)(DetectedDeviceRecord* list) = nullptr;
  // Linux: the monitor's pollable descriptor, in place of window messages.
  int (*UD_GetMonitorDescriptor)() = nullptr;
  void* library = nullptr;

  // Loads <folder>/portsniffer.dll's stand-in once and looks the names up;
  // false (table cleared) when the library cannot be loaded.
  bool Bind(const std::string& folder);
  // Forgets the procedures; the library stays loaded.
  void Release();
};

PortsnifferInterface& Portsniffer();

}  // namespace devwarden

#endif  // DEVWARDEN_SRC_BINDINGS_PORTSNIFFER_INTERFACE_H_
