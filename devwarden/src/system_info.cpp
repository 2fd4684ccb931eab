#include "system_info.h"

#include <dirent.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <vector>

namespace devwarden {

namespace {

constexpr uint8_t kTypeSystem = 1;
constexpr uint8_t kTypeEnclosure = 3;
constexpr size_t kHeaderLength = 4;  // type, formatted length, handle

// One structure of the table: its formatted area and its string set.
struct Structure {
  const uint8_t* data = nullptr;
  size_t formatted = 0;       // formatted length
  const uint8_t* strings = nullptr;
  size_t strings_size = 0;    // up to, not including, the closing double zero
};

// The byte at `offset` of the formatted area; false when the structure is
// too short to hold it.
bool FieldByte(const Structure& s, size_t offset, uint8_t* value) {
  if (!s.data || offset >= s.formatted) return false;
  *value = s.data[offset];
  return true;
}

// The string whose number stands at `offset` of the formatted area.
std::string StringField(const Structure& s, size_t offset) {
  uint8_t number = 0;
  if (!FieldByte(s, offset, &number) || number == 0) return std::string();
  size_t pos = 0;
  for (uint8_t n = 1; pos < s.strings_size; ++n) {
    size_t end = pos;
    while (end < s.strings_size && s.strings[end]) ++end;
    if (n == number) return std::string(reinterpret_cast<const char*>(s.strings + pos), end - pos);
    pos = end + 1;
  }
  return std::string();
}

std::string ReadLine(const std::string& path) {
  std::ifstream f(path);
  std::string line;
  if (f) std::getline(f, line);
  return line;
}

bool ReadFile(const std::string& path, std::vector<uint8_t>* bytes) {
  std::ifstream f(path, std::ios::binary);
  if (!f) return false;
  bytes->assign(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
  return !f.bad();
}

std::string ChassisKind(int chassis_type) { return chassis_type == 10 || chassis_type == 14 ? "NoteBook" : "Desktop"; }

std::string Join(const std::string& root, const char* path) {
  return root.empty() || root.back() != '/' ? root + path : root + (path + 1);
}

}  // namespace

SmbiosSystemInfo ParseSmbiosTable(const uint8_t* data, size_t size, bool* found) {
  Structure system, enclosure;
  size_t offset = 0;
  while (data && offset + 2 <= size) {
    const uint8_t type = data[offset];
    const size_t formatted = data[offset + 1];
    if (formatted < kHeaderLength || formatted >= size - offset) break;  // malformed, or no room for strings
    // The string set ends at the first double zero after the formatted area.
    size_t end = offset + formatted;
    while (end + 1 < size && !(data[end] == 0 && data[end + 1] == 0)) ++end;
    if (end + 1 >= size) break;
    Structure s{data + offset, formatted, data + offset + formatted, end - (offset + formatted)};
    if (type == kTypeSystem && !system.data) system = s;
    if (type == kTypeEnclosure && !enclosure.data) enclosure = s;
    offset = end + 2;  // on past the end-of-table structure too, to the end of the data
  }
  SmbiosSystemInfo info;
  if (system.data) {
    info.manufacturer = StringField(system, 4);
    info.product_name = StringField(system, 5);
    info.version = StringField(system, 6);
    info.serial_number = StringField(system, 7);
    info.sku_number = StringField(system, 25);
  }
  if (enclosure.data) {
    uint8_t chassis = 0;
    if (FieldByte(enclosure, 5, &chassis)) info.chassis_kind = ChassisKind(chassis);
    info.enclosure_manufacturer = StringField(enclosure, 4);
    info.enclosure_version = StringField(enclosure, 6);
    info.enclosure_serial = StringField(enclosure, 7);
    info.enclosure_asset_tag = StringField(enclosure, 8);
  }
  if (found) *found = system.data || enclosure.data;
  return info;
}

bool ReadSmbiosSystemInfo(const std::string& root, SmbiosSystemInfo* info) {
  if (!info) return false;
  std::vector<uint8_t> table;
  if (ReadFile(Join(root, "/sys/firmware/dmi/tables/DMI"), &table) && !table.empty()) {
    bool found = false;
    SmbiosSystemInfo parsed = ParseSmbiosTable(table.data(), table.size(), &found);
    if (found) {
      *info = parsed;
      return true;
    }
  }
  const std::string dir = Join(root, "/sys/class/dmi/id/");
  std::ifstream probe(dir + "sys_vendor");
  if (!probe) return false;
  info->manufacturer = ReadLine(dir + "sys_vendor");
  info->product_name = ReadLine(dir + "product_name");
  info->version = ReadLine(dir + "product_version");
  info->serial_number = ReadLine(dir + "product_serial");
  info->sku_number = ReadLine(dir + "product_sku");
  const std::string chassis = ReadLine(dir + "chassis_type");
  info->chassis_kind = chassis.empty() ? std::string() : ChassisKind(std::atoi(chassis.c_str()));
  info->enclosure_manufacturer = ReadLine(dir + "chassis_vendor");
  info->enclosure_version = ReadLine(dir + "chassis_version");
  info->enclosure_serial = ReadLine(dir + "chassis_serial");
  info->enclosure_asset_tag = ReadLine(dir + "chassis_asset_tag");
  return true;
}

bool GetSmbiosSystemInfo(SmbiosSystemInfo* info) { return ReadSmbiosSystemInfo("/", info); }

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
