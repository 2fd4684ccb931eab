// Device classification: one class bit per device, from its setup-class
// GUID, its interfaces, the known-Android table and, last, the video check.
#ifndef DEVWARDEN_SRC_DEVICE_CLASS_H_
#define DEVWARDEN_SRC_DEVICE_CLASS_H_

#include <cstdint>
#include <functional>
#include <set>

#include "detected_device_record.h"

namespace devwarden {

enum DeviceClassBits : int {
  kClassNone = 0,
  kClassAndroid = 0x1,
  kClassApple = 0x2,
  kClassPrinter = 0x4,
  kClassNetwork = 0x8,
  kClassImaging = 0x10,
  kClassVideo = 0x20,
  kClassAudio = 0x40,
  kClassWireless = 0x80,
  kClassHidMouse = 0x100,
  kClassHidKeyboard = 0x200,
  kClassHidOther = 0x800,
  kClassInterface58 = 0x1000,
  kClassMassStorage = 0x2000,
  kClassHub = 0x4000,
  kClassHidKeyboardMouse = 0x8000,
  kClassBluetooth = 0x10000,
};

// The video check: 1 when the system lists a USB video driver for the
// device; may fill an empty description.
using VideoCheck = std::function<int(DeviceRecord*)>;

// The seventeen tests in order; the first that holds gives the class.
int ClassifyDevice(const uint8_t* guid16, DeviceRecord* record, const std::set<uint32_t>& known_android,
                   const VideoCheck& video_check);
// With the library's known-Android set and CheckVideoID.
int ClassifyDevice(const uint8_t* guid16, DeviceRecord* record);

// 0 for an interface 0xFF/0x42/0x01, 1 for 0xFF/0x42/0x03 (first wins), -1 none.
int AndroidModeOf(const DeviceRecord& record);

// Through libudev: a video4linux device whose USB parent has this vendor and
// product id and whose interface is of class 0x0E.
int CheckVideoID(DeviceRecord* record);

}  // namespace devwarden

#endif  // DEVWARDEN_SRC_DEVICE_CLASS_H_
