// The UD_ exports over the detector.
#include <cstdlib>
#include <cstring>
#include <string>

#include "detector.h"
#include "portsniffer.h"

using portsniffer::TheDetector;

namespace {

std::u16string Text(const char16_t* s) { return s ? std::u16string(s) : std::u16string(); }

}  // namespace

PORTSNIFFER_API int UD_Init(UdCallback callback, uintptr_t context) {
  return TheDetector().Arm(callback, context) ? 1 : 0;
}

PORTSNIFFER_API int UD_UnInit() {
  TheDetector().Disarm();
  return 1;
}

PORTSNIFFER_API int UD_Reset() { return TheDetector().Rescan() ? 1 : 0; }

PORTSNIFFER_API int UD_SetCallBack(UdCallback callback, uintptr_t context) {
  TheDetector().SetCallback(callback, context);
  return 1;
}

PORTSNIFFER_API int UD_OnDeviceChangeMessage(uintptr_t, intptr_t) { return TheDetector().DrainMonitor(); }

PORTSNIFFER_API int UD_GetMonitorDescriptor() { return TheDetector().MonitorFd(); }

PORTSNIFFER_API int UD_IsDeviceAdbInterfaceHasProplem(const char16_t* bus_id, UdDeviceStatus* status) {
  if (!bus_id || !status) return 0;
  return TheDetector().table().Status(Text(bus_id), true, status) ? 1 : 0;
}

PORTSNIFFER_API int UD_IsDeviceHasProplem(const char16_t* bus_id, UdDeviceStatus* status) {
  if (!bus_id || !status) return 0;
  return TheDetector().table().Status(Text(bus_id), false, status) ? 1 : 0;
}

PORTSNIFFER_API int UD_GetDeviceClassGUID(const char16_t* bus_id, uint8_t* guid16) {
  if (!bus_id || !guid16) return 0;
  return TheDetector().table().ClassGuid(Text(bus_id), guid16) ? 1 : 0;
}

PORTSNIFFER_API int UD_QueryDeviceStatus(int32_t handle, UdDeviceStatus* status) {
  if (!status) return 0;
  return TheDetector().table().StatusOfHandle(handle, status) ? 1 : 0;
}

PORTSNIFFER_API int UD_GetConnectDevicesList(DetectedDeviceRecord** list, int* count) {
  if (!list || !count) return 0;
  auto records = TheDetector().table().Records();
  *list = nullptr;
  *count = static_cast<int>(records.size());
  if (records.empty()) return 1;
  auto* out = static_cast<DetectedDeviceRecord*>(std::calloc(records.size(), sizeof(DetectedDeviceRecord)));
  if (!out) {
    *count = 0;
    return 0;
  }
  std::memcpy(out, records.data(), records.size() * sizeof(DetectedDeviceRecord));
  *list = out;
  return 1;
}

PORTSNIFFER_API void UD_DestoryDeviceList(DetectedDeviceRecord* list) { std::free(list); }
