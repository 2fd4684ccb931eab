// What devwarden tells the driver service about this computer: the system
// maker, product and version from the firmware's SMBIOS tables, and whether
// it has an AC adapter (a laptop).
#ifndef DEVWARDEN_SRC_SYSTEM_INFO_H_
#define DEVWARDEN_SRC_SYSTEM_INFO_H_

#include <cstddef>
#include <cstdint>
#include <string>

namespace devwarden {

struct SmbiosSystemInfo {
  std::string manufacturer, product_name, version, serial_number, sku_number, reserved;
  std::string chassis_kind;  // "NoteBook" or "Desktop"; empty without an enclosure structure
  std::string enclosure_manufacturer, enclosure_version, enclosure_serial, enclosure_asset_tag;
};

// The texts of the first System Information (type 1) and System Enclosure
// (type 3) structures of a raw SMBIOS structure table. A field is read only
// when it lies inside its structure's formatted area (older SMBIOS versions
// have shorter structures); a string number beyond the string set, or 0,
// gives an empty text. *found (when given) tells whether either structure
// was there.
SmbiosSystemInfo ParseSmbiosTable(const uint8_t* data, size_t size, bool* found = nullptr);

// Reads the firmware's tables below `root` ("/" on a machine; a test's
// folder otherwise): the raw table root/sys/firmware/dmi/tables/DMI when it
// is readable, else the kernel's texts in root/sys/class/dmi/id. False when
// neither can be read (*info untouched).
bool ReadSmbiosSystemInfo(const std::string& root, SmbiosSystemInfo* info);
// The same below "/".
bool GetSmbiosSystemInfo(SmbiosSystemInfo* info);

// 2 when the machine has an AC adapter (a mains power supply), 1 when it has
// none, 0 when the power supplies cannot be listed.
int IsLaptopByAcAdapter();

}  // namespace devwarden

#endif  // DEVWARDEN_SRC_SYSTEM_INFO_H_
