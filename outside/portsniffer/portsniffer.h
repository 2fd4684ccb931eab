// libportsniffer.so: USB device detection on libudev.
//
// The host arms detection with UD_Init; the library then reports every USB
// device that is present or arrives, changes or leaves through the callback,
// one call at a time. The library owns a netlink monitor: the host polls the
// descriptor of UD_GetMonitorDescriptor and calls UD_OnDeviceChangeMessage
// whenever it is readable, on the thread that should receive the callbacks.
#ifndef PORTSNIFFER_PORTSNIFFER_H_
#define PORTSNIFFER_PORTSNIFFER_H_

#include <cstddef>
#include <cstdint>

#define PORTSNIFFER_API extern "C" __attribute__((visibility("default")))

// Callback events.
enum : int {
  UD_EVENT_PLUGGED = 0,     // a device arrived while detection ran
  UD_EVENT_PRESENT = 1,     // a device found by enumeration (UD_Init, UD_Reset)
  UD_EVENT_REMOVED = 2,     // a listed device left (the record is its last one)
  UD_EVENT_RESCANNED = 3,   // a rescan finished; no record
  UD_EVENT_CHANGED = 4,     // a listed device has a new record
};

// One entry of the interface table: number, class, subclass, protocol.
struct UdInterfaceEntry {
  uint8_t number;
  uint8_t interface_class;
  uint8_t subclass;
  uint8_t protocol;
};
static_assert(sizeof(UdInterfaceEntry) == 4, "interface entries are 4 bytes");

#pragma pack(push, 1)
// The device record handed to the callback. Texts are UTF-16, 64 characters
// with the terminator. The interface table belongs to the library and stays
// valid while the device is listed; copy it to keep it longer.
struct DetectedDeviceRecord {
  int32_t handle;               // never 0, never reused while listed
  char16_t serial[64];
  char16_t manufacturer[64];
  char16_t product[64];
  char16_t description[64];
  uint16_t vendor_id;
  uint16_t product_id;
  uint16_t release;             // bcdDevice
  uint8_t interface_count;
  uintptr_t interfaces;         // address of interface_count UdInterfaceEntry
  uint8_t reserved1[2];
  uint8_t bus_number;           // handed out as device property 3
  uint32_t device_address;      // handed out as device property 4
  uint8_t reserved2[3];
};
#pragma pack(pop)
static_assert(offsetof(DetectedDeviceRecord, vendor_id) == 516, "record layout");
static_assert(offsetof(DetectedDeviceRecord, interface_count) == 522, "record layout");
static_assert(offsetof(DetectedDeviceRecord, interfaces) == 523, "record layout");
static_assert(sizeof(DetectedDeviceRecord) == 533 + sizeof(uintptr_t), "record layout");

// Status record of the problem queries: all zero before the call.
struct UdDeviceStatus {
  int32_t confirmed;   // non-zero when the library lists the device
  int32_t status;      // device-node status bits (0x400: has a problem)
  int32_t problem;     // 22 disabled (not authorised), 28 no usable driver node
};

enum : int32_t {
  UD_DN_DRIVER_LOADED = 0x2,
  UD_DN_STARTED = 0x8,
  UD_DN_HAS_PROBLEM = 0x400,
  UD_PROBLEM_DISABLED = 22,
  UD_PROBLEM_FAILED_INSTALL = 28,
};

typedef int (*UdCallback)(int event, DetectedDeviceRecord* record, uintptr_t context);

// Arms the monitor, then reports the devices already present (event 1) on
// the calling thread. 1 on success, 0 when the monitor cannot be armed.
PORTSNIFFER_API int UD_Init(UdCallback callback, uintptr_t context);
// Drops the callback (no callback runs after it returns) and the monitor.
PORTSNIFFER_API int UD_UnInit();
// Rescans the devices present: removals, arrivals (event 1), then event 3.
// 1 on success, 0 when detection is not armed.
PORTSNIFFER_API int UD_Reset();
PORTSNIFFER_API int UD_SetCallBack(UdCallback callback, uintptr_t context);
// Reads every pending monitor event and reports the resulting changes.
// The arguments are not used (any value is accepted). Returns the number of
// events read, or -1 when detection is not armed.
PORTSNIFFER_API int UD_OnDeviceChangeMessage(uintptr_t wparam, intptr_t lparam);
// The monitor's pollable descriptor, -1 when detection is not armed.
PORTSNIFFER_API int UD_GetMonitorDescriptor();
// Problem queries by bus id ("USB\VID_xxxx&PID_xxxx", any case). Return 1
// when the device is listed (status filled), else 0.
PORTSNIFFER_API int UD_IsDeviceAdbInterfaceHasProplem(const char16_t* bus_id, UdDeviceStatus* status);
PORTSNIFFER_API int UD_IsDeviceHasProplem(const char16_t* bus_id, UdDeviceStatus* status);
// Setup-class GUID from what the kernel bound: network adapters and
// printers; left untouched (zero) otherwise. 1 when written.
PORTSNIFFER_API int UD_GetDeviceClassGUID(const char16_t* bus_id, uint8_t* guid16);
PORTSNIFFER_API int UD_QueryDeviceStatus(int32_t handle, UdDeviceStatus* status);
// A copy of every listed record (interface tables not included: the
// interfaces field is 0). Free with UD_DestoryDeviceList.
PORTSNIFFER_API int UD_GetConnectDevicesList(DetectedDeviceRecord** list, int* count);
PORTSNIFFER_API void UD_DestoryDeviceList(DetectedDeviceRecord* list);

#endif  // PORTSNIFFER_PORTSNIFFER_H_
