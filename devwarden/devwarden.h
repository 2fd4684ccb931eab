// libdevwarden.so: USB device detection and phone drivers for the host
// program. Flat exports prefixed PNP_; texts are UTF-16 (char16_t),
// null-terminated; name buffers hold 64 characters with the terminator.
//
// Order of use: the setters, PNP_Init, PNP_Start, the per-device queries and
// actions, PNP_UnInit (also run when the library is unloaded). Device events
// and download progress reach the host through the two callbacks, on
// devwarden's own threads (see the event list below).
#ifndef DEVWARDEN_DEVWARDEN_H_
#define DEVWARDEN_DEVWARDEN_H_

#include <cstddef>
#include <cstdint>

#define PNP_API extern "C" __attribute__((visibility("default")))

// Device events of PnpDeviceCallback.
enum : int {
  PNP_EVENT_ARRIVAL = 0,          // 0 or 1: a device arrived (passed the class filter)
  PNP_EVENT_ARRIVAL_PRESENT = 1,
  PNP_EVENT_QUERY_STARTED = 2,    // the device's driver query started
  PNP_EVENT_REMOVAL = 3,          // answer PNP_RET_DISABLEREMOVE to keep the device
  PNP_EVENT_QUERY_FINISHED = 4,   // the device's drivers are known (may come before 2)
  PNP_EVENT_LIBRARY = 5,          // an event of the detection library without a device (handle 0)
  PNP_EVENT_CHANGED = 6,          // the device's record was replaced
};
enum : int { PNP_RET_DISABLEREMOVE = -1 };

// Work mode bits; a facility is on when the work mode is 0 or has its bit.
enum : int {
  PNP_WORKMODE_DEVCHECK = 1,
  PNP_WORKMODE_DRVQUERY = 2,
  PNP_WORKMODE_DOWNLOAD = 4,
};

// Device class bits (one per device; 0 unclassified).
enum : int {
  PNP_CLASS_ANDROID = 0x1,
  PNP_CLASS_APPLE = 0x2,
  PNP_CLASS_PRINTER = 0x4,
  PNP_CLASS_NETWORK = 0x8,
  PNP_CLASS_IMAGING = 0x10,
  PNP_CLASS_VIDEO = 0x20,
  PNP_CLASS_AUDIO = 0x40,
  PNP_CLASS_WIRELESS = 0x80,
  PNP_CLASS_HID_MOUSE = 0x100,
  PNP_CLASS_HID_KEYBOARD = 0x200,
  PNP_CLASS_HID_OTHER = 0x800,
  PNP_CLASS_INTERFACE_58 = 0x1000,
  PNP_CLASS_MASS_STORAGE = 0x2000,
  PNP_CLASS_HUB = 0x4000,
  PNP_CLASS_HID_KEYBOARD_MOUSE = 0x8000,
  PNP_CLASS_BLUETOOTH = 0x10000,
  PNP_CLASS_ALL = -1,
};

// PNP_GetDeviceStatus results.
enum : int {
  PNP_STATUS_OK = 0,
  PNP_STATUS_PROBLEM = 3,
  PNP_STATUS_DISABLED = 4,        // problem code 22
  PNP_STATUS_UNCONFIRMED = 5,     // the detection library does not know the device (121)
  PNP_STATUS_NOT_READY = -1,
};

// PNP_GetDeviceProperty ids and its "buffer too small" result.
enum : int {
  PNP_PROPERTY_VENDOR_ID = 1,        // 2 bytes
  PNP_PROPERTY_PRODUCT_ID = 2,       // 2 bytes
  PNP_PROPERTY_BUS_NUMBER = 3,       // 1 byte
  PNP_PROPERTY_DEVICE_ADDRESS = 4,   // 4 bytes
  PNP_PROPERTY_PRODUCT_RELEASE = 5,  // 4 bytes: product id, then release number
  PNP_ERROR_INSUFFICIENT_BUFFER = 111,
};

// The model record of an Android phone. A caller presets version 1 and size
// 2184; every text is UTF-16 with its terminator.
struct AndroidModelInfo {
  int32_t version;
  int32_t size;
  char16_t Key[64];
  char16_t BrandName[64];
  char16_t DeviceName1[64];
  char16_t DeviceName2[64];
  char16_t Size[64];
  char16_t URL[512];
  char16_t P[64];
  char16_t Q[64];
  char16_t R[64];
  char16_t S[64];
};
static_assert(sizeof(AndroidModelInfo) == 2184, "the model record is 2184 bytes");
static_assert(offsetof(AndroidModelInfo, Key) == 8, "model record layout");
static_assert(offsetof(AndroidModelInfo, BrandName) == 136, "model record layout");
static_assert(offsetof(AndroidModelInfo, DeviceName1) == 264, "model record layout");
static_assert(offsetof(AndroidModelInfo, DeviceName2) == 392, "model record layout");
static_assert(offsetof(AndroidModelInfo, Size) == 520, "model record layout");
static_assert(offsetof(AndroidModelInfo, URL) == 648, "model record layout");
static_assert(offsetof(AndroidModelInfo, P) == 1672, "model record layout");
static_assert(offsetof(AndroidModelInfo, Q) == 1800, "model record layout");
static_assert(offsetof(AndroidModelInfo, R) == 1928, "model record layout");
static_assert(offsetof(AndroidModelInfo, S) == 2056, "model record layout");
enum : int { PNP_MODEL_INFO_VERSION = 1, PNP_MODEL_INFO_SIZE = 2184 };

// Device events: (event, device handle, context). The result matters only
// for PNP_EVENT_REMOVAL.
typedef int (*PnpDeviceCallback)(int event, int device, uintptr_t context);
// Download progress of a device's package, about once a second on the
// download pool's thread: status (4 downloading; final: 6 finished, 5
// stopped, 7 failed, 1 and 10), total bytes, downloaded bytes, bytes per
// second. Each download is reported once with its final status, then no
// more. devwarden's pool is locked meanwhile: a callback that waits for
// another thread calling PNP_ download exports would wait for itself.
typedef int (*PnpDownloadCallback)(int device, int* status, uint64_t* total, uint64_t* downloaded, int* speed,
                                   uintptr_t context);

// Start-up and shut-down.
PNP_API int PNP_Init(PnpDeviceCallback device_callback, uintptr_t device_context,
                     PnpDownloadCallback download_callback, uintptr_t download_context);
PNP_API int PNP_Start(void);
PNP_API void PNP_UnInit(void);
PNP_API int PNP_Refresh(void);

// Settings.
PNP_API void PNP_SetWorkMode(int mode);
PNP_API int PNP_SetWorkPath(const char16_t* path);
PNP_API void PNP_SetDownLoadPath(const char16_t* path);
PNP_API void PNP_SetADBDeviceName(const char16_t* name);
PNP_API void PNP_SetDetectClass(int mask);
PNP_API void PNP_SetQENUnionID(int union_id);
PNP_API void PNP_SetQENVersion(int low, int high);

// Per-device queries; "not ready" (not initialised, unknown handle) answers
// 0 or -1 as each says.
PNP_API int PNP_GetDeviceClass(int device, int* class_bits);
PNP_API int PNP_GetDeviceStatus(int device);
PNP_API int PNP_GetDeviceSerialNumber(int device, char16_t* buffer64);
PNP_API int PNP_GetDeviceManufName(int device, char16_t* buffer64);
PNP_API int PNP_GetDeviceProductName(int device, char16_t* buffer64);
PNP_API int PNP_GetDeviceDriverDesc(int device, char16_t* buffer64);
PNP_API int PNP_Dump_DeviceHwIDs(int device, char16_t* buffer, int* count);
PNP_API int PNP_GetAndroidCurrentMode(int device);
PNP_API int PNP_GetDevicePort(int device);
PNP_API int PNP_GetDeviceProperty(int device, int id, void* buffer, unsigned size, int* needed);
PNP_API int PNP_GetDeviceAdvanceInfo(int device, AndroidModelInfo* info);
PNP_API int PNP_QueryAndroidModelInfo(int device, AndroidModelInfo* info);
// A phone named by the host: the maker's vendor id from the brand, the model
// text as the adb name and product; 0 for a null or empty model.
PNP_API int PNP_QueryAndroidModel(const char16_t* brand, const char16_t* model, AndroidModelInfo* info);
PNP_API int PNP_QueryAndroidModelFromOther(const char16_t* brand, const char16_t* model, AndroidModelInfo* info);

// Drivers of a device.
PNP_API int PNP_GetUpdateDriverCount(int device);
PNP_API int PNP_IsNeedUpdate(int device);
PNP_API int PNP_IsSupportUpdate(int device);
PNP_API int PNP_DownLoadDriver(int device);
PNP_API void PNP_StopDownLoadDriver(int device);
PNP_API int PNP_GetDownLoadInfo(int device, uint64_t* total, uint64_t* downloaded, int* speed);
PNP_API int PNP_UpdateDrvier(int device);

// Statistics report through the driver information library.
PNP_API int PNP_AndroidReport(int kind, uintptr_t report);

#endif  // DEVWARDEN_DEVWARDEN_H_
