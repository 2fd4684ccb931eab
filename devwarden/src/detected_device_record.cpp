#include "detected_device_record.h"

#include <cstring>

namespace devwarden {

DeviceRecord::DeviceRecord(const DetectedDeviceRecord& raw) : raw_(raw) {
  if (raw.interfaces != 0) {
    const auto* table = reinterpret_cast<const InterfaceEntry*>(raw.interfaces);
    interfaces_.assign(table, table + raw.interface_count);
  }
  Repoint();
}

DeviceRecord::DeviceRecord(const DeviceRecord& other) : raw_(other.raw_), interfaces_(other.interfaces_) { Repoint(); }

DeviceRecord& DeviceRecord::operator=(const DeviceRecord& other) {
  if (this != &other) {
    raw_ = other.raw_;
    interfaces_ = other.interfaces_;
    Repoint();
  }
  return *this;
}

void DeviceRecord::Repoint() {
  raw_.interface_count = static_cast<uint8_t>(interfaces_.size());
  raw_.interfaces = interfaces_.empty() ? 0 : reinterpret_cast<uintptr_t>(interfaces_.data());
  // Texts always end inside their fields.
  raw_.serial[63] = raw_.manufacturer[63] = raw_.product[63] = raw_.description[63] = 0;
}

}  // namespace devwarden
