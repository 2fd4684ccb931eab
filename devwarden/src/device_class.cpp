#include "device_class.h"

#include <cstring>

#include "known_android.h"

namespace devwarden {

namespace {

// Setup-class GUIDs, in their in-memory byte order.
const uint8_t kPrinterGuid[16] = {0x79, 0xE9, 0x36, 0x4D, 0x25, 0xE3, 0xCE, 0x11,
                                  0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18};
const uint8_t kNetworkGuid[16] = {0x72, 0xE9, 0x36, 0x4D, 0x25, 0xE3, 0xCE, 0x11,
                                  0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18};
const uint8_t kImagingGuid[16] = {0xC6, 0x1F, 0xDD, 0x6B, 0x0F, 0x81, 0xD0, 0x11,
                                  0xBE, 0xC7, 0x08, 0x00, 0x2B, 0xE2, 0x09, 0x2F};

bool IsApplePid(uint16_t pid) {
  return (pid >= 0x1290 && pid <= 0x1294) || pid == 0x1297 || pid == 0x1299 || pid == 0x129A ||
         (pid >= 0x129C && pid <= 0x12AB);
}

bool GuidIs(const uint8_t* guid, const uint8_t (&wanted)[16]) {
  return guid && std::memcmp(guid, wanted, 16) == 0;
}

bool HasClass(const DeviceRecord& r, uint8_t cls) {
  for (const auto& e : r.interfaces()) {
    if (e.interface_class == cls) return true;
  }
  return false;
}

bool HasClassSub(const DeviceRecord& r, uint8_t cls, uint8_t sub) {
  for (const auto& e : r.interfaces()) {
    if (e.interface_class == cls && e.subclass == sub) return true;
  }
  return false;
}

// Boot mouse (protocol 2) or boot keyboard (protocol 1): the first HID
// interface with a subclass above 1 ends the test.
bool BootHidTest(const DeviceRecord& r, uint8_t protocol) {
  for (const auto& e : r.interfaces()) {
    if (e.interface_class != 3) continue;
    if (e.subclass > 1) return false;
    if (e.protocol == protocol) return true;
  }
  return false;
}

}  // namespace

int AndroidModeOf(const DeviceRecord& record) {
  for (const auto& e : record.interfaces()) {
    if (e.interface_class == 0xFF && e.subclass == 0x42) {
      if (e.protocol == 1) return 0;
      if (e.protocol == 3) return 1;
    }
  }
  return -1;
}

int ClassifyDevice(const uint8_t* guid16, DeviceRecord* record, const std::set<uint32_t>& known_android,
                   const VideoCheck& video_check) {
  if (!record) return kClassNone;
  const DeviceRecord& r = *record;
  if (!known_android.empty() && (AndroidModeOf(r) >= 0 || known_android.count(r.VidPidKey()))) return kClassAndroid;
  if (r.vendor_id() == 0x05AC && IsApplePid(r.product_id())) return kClassApple;
  if (GuidIs(guid16, kPrinterGuid) || HasClass(r, 0x07)) return kClassPrinter;
  if (GuidIs(guid16, kNetworkGuid) || HasClassSub(r, 0xE0, 0x02)) return kClassNetwork;
  if (GuidIs(guid16, kImagingGuid) || HasClass(r, 0x06)) return kClassImaging;
  if (HasClass(r, 0x0E)) return kClassVideo;
  if (HasClass(r, 0x01)) return kClassAudio;
  if (HasClass(r, 0xE0)) return kClassWireless;
  const bool mouse = BootHidTest(r, 2), keyboard = BootHidTest(r, 1);
  if (mouse && keyboard) return kClassHidKeyboardMouse;
  if (mouse) return kClassHidMouse;
  if (keyboard) return kClassHidKeyboard;
  if (HasClass(r, 0x03)) return kClassHidOther;
  if (HasClass(r, 0x58)) return kClassInterface58;
  if (HasClass(r, 0x08)) return kClassMassStorage;
  if (HasClass(r, 0x09)) return kClassHub;
  if (video_check && video_check(record) == 1) return kClassVideo;
  return kClassNone;
}

int ClassifyDevice(const uint8_t* guid16, DeviceRecord* record) {
  ParseAndroidXML();
  return ClassifyDevice(guid16, record, KnownAndroidSet(), CheckVideoID);
}

}  // namespace devwarden
