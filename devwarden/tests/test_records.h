// Synthetic detection records for the tests.
#ifndef DEVWARDEN_TESTS_TEST_RECORDS_H_
#define DEVWARDEN_TESTS_TEST_RECORDS_H_

#include <string>
#include <vector>

#include "detected_device_record.h"

namespace devwarden {

// Interfaces as {class, subclass, protocol}.
inline DeviceRecord MakeRecord(uint16_t vid, uint16_t pid, uint16_t rev, std::vector<InterfaceEntry> interfaces,
                               const std::u16string& manufacturer = u"", const std::u16string& product = u"",
                               int32_t handle = 1) {
  for (size_t i = 0; i < interfaces.size(); ++i) interfaces[i].number = static_cast<uint8_t>(i);
  DetectedDeviceRecord raw{};
  raw.handle = handle;
  raw.vendor_id = vid;
  raw.product_id = pid;
  raw.release = rev;
  manufacturer.copy(raw.manufacturer, 63);
  product.copy(raw.product, 63);
  raw.interface_count = static_cast<uint8_t>(interfaces.size());
  raw.interfaces = interfaces.empty() ? 0 : reinterpret_cast<uintptr_t>(interfaces.data());
  return DeviceRecord(raw);  // copies the table
}

inline InterfaceEntry If(uint8_t cls, uint8_t sub, uint8_t prot) { return InterfaceEntry{0, cls, sub, prot}; }

}  // namespace devwarden

#endif  // DEVWARDEN_TESTS_TEST_RECORDS_H_
