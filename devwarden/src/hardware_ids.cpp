#include "hardware_ids.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

#include "base/base_string.h"
#include "foundation/base/code_page.h"
#include "foundation/base/log.h"

namespace devwarden {

namespace {

// Every ID is formatted into a 64-character buffer: at most 63 characters.
std::u16string Id(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::u16string Id(const char* format, ...) {
  char text[64];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  return std::u16string(text, text + std::char_traits<char>::length(text));
}

void AddCdcForms(IdRow* row, const DeviceRecord& r) {
  const unsigned vid = r.vendor_id(), pid = r.product_id(), rev = r.release();
  const unsigned sub = r.interfaces().empty() ? 0 : r.interfaces()[0].subclass;
  row->push_back(Id("USB\\VID_%04x&PID_%04x&REV_%04x&CDC_%02x&MI_%02x", vid, pid, rev, sub, 0u));
  row->push_back(Id("USB\\VID_%04x&PID_%04x&REV_%04x&CDC_%02x", vid, pid, rev, sub));
  row->push_back(Id("USB\\VID_%04x&PID_%04x&REV_%04x&MI_%02x", vid, pid, rev, 0u));
  row->push_back(Id("USB\\VID_%04x&PID_%04x&CDC_%02x&MI_%02x", vid, pid, sub, 0u));
  row->push_back(Id("USB\\VID_%04x&PID_%04x&CDC_%02x", vid, pid, sub));
  row->push_back(Id("USB\\VID_%04x&PID_%04x&Modem", vid, pid));
}

void AddVendorForms(IdRow* row, const DeviceRecord& r, unsigned mi, const InterfaceEntry& e) {
  const unsigned vid = r.vendor_id(), pid = r.product_id(), rev = r.release();
  row->push_back(Id("USB\\VID_%04x&PID_%04x&REV_%04x&MI_%02x", vid, pid, rev, mi));
  row->push_back(Id("USB\\VID_%04x&PID_%04x&MI_%02x", vid, pid, mi));
  if (e.subclass == 0x42) {
    if (e.protocol == 1) row->push_back(u"USB\\Class_ff&SubClass_42&Prot_01");
    if (e.protocol == 3) row->push_back(u"USB\\Class_ff&SubClass_42&Prot_03");
  }
}

IdRow BuildRow(const DeviceRecord& r, const InterfaceEntry& e, unsigned mi, bool only_interface) {
  const unsigned vid = r.vendor_id(), pid = r.product_id(), rev = r.release();
  IdRow row;
  switch (e.interface_class) {
    case 0x02:
      AddCdcForms(&row, r);
      break;
    case 0x03:
      row.push_back(Id("HID\\VID_%04x&PID_%04x&REV_%04x&MI_%02x", vid, pid, rev, mi));
      row.push_back(Id("HID\\VID_%04x&PID_%04x&MI_%02x", vid, pid, mi));
      break;
    case 0x07:
      row.push_back(MakePrinterId(r));
      break;
    case 0xFF:
      AddVendorForms(&row, r, mi, e);
      if (only_interface) {
        row.push_back(Id("USB\\VID_%04x&PID_%04x&REV_%04x", vid, pid, rev));
        row.push_back(Id("USB\\VID_%04x&PID_%04x", vid, pid));
      }
      break;
    default:
      if (only_interface) {
        row.push_back(Id("USB\\VID_%04x&PID_%04x&REV_%04x", vid, pid, rev));
        row.push_back(Id("USB\\VID_%04x&PID_%04x", vid, pid));
      } else {
        row.push_back(Id("USB\\VID_%04x&PID_%04x&REV_%04x&MI_%02x", vid, pid, rev, mi));
        row.push_back(Id("USB\\VID_%04x&PID_%04x&MI_%02x", vid, pid, mi));
      }
      break;
  }
  return row;
}

}  // namespace

uint16_t Crc16Arc(const uint8_t* data, size_t length) {
  // The CRC of the low and of the high nibble of an index byte.
  static const uint16_t kLow[16] = {0x0000, 0xC0C1, 0xC181, 0x0140, 0xC301, 0x03C0, 0x0280, 0xC241,
                                    0xC601, 0x06C0, 0x0780, 0xC741, 0x0500, 0xC5C1, 0xC481, 0x0440};
  static const uint16_t kHigh[16] = {0x0000, 0xCC01, 0xD801, 0x1400, 0xF001, 0x3C00, 0x2800, 0xE401,
                                     0xA001, 0x6C00, 0x7800, 0xB401, 0x5000, 0x9C01, 0x8801, 0x4400};
  uint16_t crc = 0;
  for (size_t i = 0; i < length; ++i) {
    uint8_t index = static_cast<uint8_t>(crc ^ data[i]);
    crc = static_cast<uint16_t>((crc >> 8) ^ kLow[index & 0xF] ^ kHigh[index >> 4]);
  }
  return crc;
}

std::u16string MakeCompositeBusId(const DeviceRecord& record) {
  std::u16string id = Id("USB\\VID_%04x&PID_%04x", record.vendor_id(), record.product_id());
  PD_LOG_TRACE("MakeCompositeBusId BUS ID %s", ToUtf8(id).c_str());
  return id;
}

std::u16string MakePrinterId(const DeviceRecord& record) {
  char16_t joined[64];
  std::u16string both = std::u16string(record.raw().manufacturer) + record.raw().product;
  CopyWideText(joined, 64, both.c_str());
  const std::u16string text(joined);
  const std::string ansi = WStringToAnsi(text);
  const size_t count = std::min(text.size(), ansi.size());
  const uint16_t crc = Crc16Arc(reinterpret_cast<const uint8_t*>(ansi.data()), count);
  char tail[8];
  std::snprintf(tail, sizeof tail, "%.4X", crc);
  std::u16string id = u"USBPRINT\\" + text.substr(0, 20) + std::u16string(tail, tail + 4);
  if (id.size() > 63) id.resize(63);
  for (char16_t& c : id) {
    if (c == u' ') c = u'_';
  }
  return id;
}

HardwareIdLists BuildHardwareIds(const DeviceRecord& record) {
  HardwareIdLists lists;
  lists.bus_id = MakeCompositeBusId(record);
  const auto& ifs = record.interfaces();
  if (ifs.size() == 1) {
    lists.rows.push_back(BuildRow(record, ifs[0], 0, true));
  } else {
    for (size_t n = 0; n < ifs.size(); ++n) lists.rows.push_back(BuildRow(record, ifs[n], static_cast<unsigned>(n), false));
  }
  return lists;
}

std::u16string RowMultiString(const IdRow& row, size_t capacity) {
  std::u16string out;
  if (capacity < 1) return out;
  for (const auto& id : row) {
    if (out.size() + 1 >= capacity) break;  // room for the final null only
    size_t room = capacity - 1 - out.size() - 1;  // characters left for this ID
    out += id.substr(0, room);
    out.push_back(0);
  }
  out.push_back(0);
  return out;
}

}  // namespace devwarden
