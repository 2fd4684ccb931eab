// The device record that the detection library hands to devwarden, and
// devwarden's own copy of it (which also copies the interface table, so a
// device kept after its removal never points into the library's memory).
#ifndef DEVWARDEN_SRC_DETECTED_DEVICE_RECORD_H_
#define DEVWARDEN_SRC_DETECTED_DEVICE_RECORD_H_

#include <cstddef>
#include <cstdint>
#include <vector>

namespace devwarden {

// One entry of the interface table: byte 1 class, 2 subclass, 3 protocol.
struct InterfaceEntry {
  uint8_t number;
  uint8_t interface_class;
  uint8_t subclass;
  uint8_t protocol;
};
static_assert(sizeof(InterfaceEntry) == 4, "interface entries are 4 bytes");

#pragma pack(push, 1)
struct DetectedDeviceRecord {
  int32_t handle;
  char16_t serial[64];
  char16_t manufacturer[64];
  char16_t product[64];
  char16_t description[64];
  uint16_t vendor_id;
  uint16_t product_id;
  uint16_t release;
  uint8_t interface_count;
  uintptr_t interfaces;   // address of the library's interface table
  uint8_t reserved1[2];
  uint8_t property3;      // a one-byte device value (property 3)
  uint32_t property4;     // a 32-bit device value (property 4)
  uint8_t reserved2[3];
};
#pragma pack(pop)
static_assert(offsetof(DetectedDeviceRecord, serial) == 4, "record layout");
static_assert(offsetof(DetectedDeviceRecord, description) == 388, "record layout");
static_assert(offsetof(DetectedDeviceRecord, vendor_id) == 516, "record layout");
static_assert(offsetof(DetectedDeviceRecord, interface_count) == 522, "record layout");
static_assert(offsetof(DetectedDeviceRecord, interfaces) == 523, "record layout");
static_assert(sizeof(DetectedDeviceRecord) == 533 + sizeof(uintptr_t), "record layout");

// Threading: a plain value; its owner guards it.
class DeviceRecord {
 public:
  DeviceRecord() : raw_{} {}
  // Copies the record and the interface table it points to (a null table
  // counts as no interfaces).
  explicit DeviceRecord(const DetectedDeviceRecord& raw);
  DeviceRecord(const DeviceRecord& other);
  DeviceRecord& operator=(const DeviceRecord& other);

  const DetectedDeviceRecord& raw() const { return raw_; }
  DetectedDeviceRecord& raw() { return raw_; }
  const std::vector<InterfaceEntry>& interfaces() const { return interfaces_; }
  int32_t handle() const { return raw_.handle; }
  uint16_t vendor_id() const { return raw_.vendor_id; }
  uint16_t product_id() const { return raw_.product_id; }
  uint16_t release() const { return raw_.release; }
  // Vendor id in the low half, product id in the high half.
  uint32_t VidPidKey() const { return static_cast<uint32_t>(raw_.vendor_id) | static_cast<uint32_t>(raw_.product_id) << 16; }

 private:
  void Repoint();
  DetectedDeviceRecord raw_;
  std::vector<InterfaceEntry> interfaces_;
};

}  // namespace devwarden

#endif  // DEVWARDEN_SRC_DETECTED_DEVICE_RECORD_H_
