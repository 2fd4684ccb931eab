#include "system_info.h"

#include <dirent.h>

#include <cstdlib>
#include <cstring>
#include <fstream>

namespace devwarden {

namespace {

std::string ReadLine(const std::string& path) {
  std::ifstream f(path);
  std::string line;
  if (f) std::getline(f, line);
  return line;
}

}  // namespace

bool GetSmbiosSystemInfo(SmbiosSystemInfo* info) {
  if (!info) return false;
  const char* over = std::getenv("PHONEDECK_DMI_DIR");
  const std::string dir = over && *over ? over : "/sys/class/dmi/id";
  std::ifstream probe(dir + "/sys_vendor");
  if (!probe) return false;
  info->manufacturer = ReadLine(dir + "/sys_vendor");
  info->product_name = ReadLine(dir + "/product_name");
  info->version = ReadLine(dir + "/product_version");
  info->serial_number = ReadLine(dir + "/product_serial");
  info->sku_number = ReadLine(dir + "/product_sku");
  const int chassis = std::atoi(ReadLine(dir + "/chassis_type").c_str());
  info->chassis_kind = chassis == 10 || chassis == 14 ? "NoteBook" : "Desktop";
  info->enclosure_manufacturer = ReadLine(dir + "/chassis_vendor");
  info->enclosure_version = ReadLine(dir + "/chassis_version");
  info->enclosure_serial = ReadLine(dir + "/chassis_serial");
  info->enclosure_asset_tag = ReadLine(dir + "/chassis_asset_tag");
  return true;
}

int IsLaptopByAcAdapter() {
  const char* over = std::getenv("PHONEDECK_POWER_SUPPLY_DIR");
  const std::string dir = over && *over ? over : "/sys/class/power_supply";
  DIR* d = ::opendir(dir.c_str());
  if (!d) return 0;
  int result = 1;
  while (dirent* e = ::readdir(d)) {
    if (e->d_name[0] == '.') continue;
    if (ReadLine(dir + "/" + e->d_name + "/type") == "Mains") result = 2;
  }
  ::closedir(d);
  return result;
}

}  // namespace devwarden
