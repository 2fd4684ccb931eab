// What devwarden tells the driver service about this computer: the system
// maker, product and version, and whether it has an AC adapter (a laptop).
#ifndef DEVWARDEN_SRC_SYSTEM_INFO_H_
#define DEVWARDEN_SRC_SYSTEM_INFO_H_

#include <string>

namespace devwarden {

struct SmbiosSystemInfo {
  std::string manufacturer, product_name, version, serial_number, sku_number, reserved;
  std::string chassis_kind;  // "NoteBook" or "Desktop"
  std::string enclosure_manufacturer, enclosure_version, enclosure_serial, enclosure_asset_tag;
};

// From the firmware's DMI tables as the kernel exports them
// (/sys/class/dmi/id, or PHONEDECK_DMI_DIR); false when none can be read.
bool GetSmbiosSystemInfo(SmbiosSystemInfo* info);

// 2 when the machine has an AC adapter (a mains power supply), 1 when it has
// none, 0 when the power supplies cannot be listed.
int IsLaptopByAcAdapter();

}  // namespace devwarden

#endif  // DEVWARDEN_SRC_SYSTEM_INFO_H_
