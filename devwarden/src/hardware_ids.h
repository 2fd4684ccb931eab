// The Windows-style hardware IDs a device's interfaces would carry, built
// from the detection record alone: the text the driver query sends and the
// host's hardware-ID dump.
#ifndef DEVWARDEN_SRC_HARDWARE_IDS_H_
#define DEVWARDEN_SRC_HARDWARE_IDS_H_

#include <cstdint>
#include <string>
#include <vector>

#include "detected_device_record.h"

namespace devwarden {

using IdRow = std::vector<std::u16string>;

// Threading: built once at device construction, read-only afterwards.
struct HardwareIdLists {
  std::vector<IdRow> rows;         // one per interface (one for a one-interface device)
  std::vector<IdRow> second_rows;  // left empty
  std::u16string bus_id;           // "USB\VID_%04x&PID_%04x"
};

// "USB\VID_%04x&PID_%04x"; logged "MakeCompositeBusId BUS ID %s".
std::u16string MakeCompositeBusId(const DeviceRecord& record);
HardwareIdLists BuildHardwareIds(const DeviceRecord& record);
// "USBPRINT\<first 20 characters of manufacturer+product><CRC>", spaces as "_".
std::u16string MakePrinterId(const DeviceRecord& record);
// CRC-16/ARC: reflected polynomial 0xA001, initial 0, no final XOR.
uint16_t Crc16Arc(const uint8_t* data, size_t length);
// The IDs of a row, each followed by a null, and one more null; built in a
// buffer of `capacity` characters (IDs that would overflow it are cut).
std::u16string RowMultiString(const IdRow& row, size_t capacity = 1024);

}  // namespace devwarden

#endif  // DEVWARDEN_SRC_HARDWARE_IDS_H_
