#include "wire/requests.h"

namespace kitoracle {
namespace {

// The head that requests 0x18 and 0x24 share: the system fields and the
// state of the driver installed now.
void WriteDeviceHead(PacketWriter& out, const SDevInfo& device) {
  out.U32(uint32_t(device.iBrandID));
  out.U32(uint32_t(device.iProductID));
  out.U32(uint32_t(device.iOSID));
  out.U8(device.cLocalDrvStatus);
  out.U32(uint32_t(device.iLocalDrvDate));
  out.U16(uint16_t(device.sLanguage));
}

}  // namespace

int Request::MakeBuffer(uint8_t* buffer, size_t capacity) const {
  if (buffer == nullptr) return 0;
  PacketWriter out(buffer, capacity < kPacketSize ? capacity : kPacketSize);
  out.U8(command_);
  out.U8(sub_);
  Write(out);
  return out.Result();
}

void DeviceDescRequest::Write(PacketWriter& out) const {
  if (hardwareIds.size() > 255) {
    out.Fail();  // cannot be counted in one byte
    return;
  }
  out.U8(uint32_t(hardwareIds.size()));
  for (const std::string& id : hardwareIds) out.Str(id);
}

void BrandProductRequest::Write(PacketWriter& out) const {
  out.Str(brand);
  out.Str(product);
  out.Str(version);
  out.U8(flag);
}

namespace {
std::string Hex4(uint16_t value) {
  static const char kDigits[] = "0123456789abcdef";
  std::string text;
  for (int shift = 12; shift >= 0; shift -= 4) text += kDigits[(value >> shift) & 15];
  return text;
}
}  // namespace

void MobileProductRequest::Write(PacketWriter& out) const {
  out.Str(Hex4(firstId));
  out.Str(Hex4(secondId));
  out.U8(3);
  for (const std::string& t : texts) out.Str(t);
}

void BrandProductDriverRequest::Write(PacketWriter& out) const {
  WriteDeviceHead(out, *device);
  out.U8(device->cComputerType);
  out.U8(device->cNeedPackType);
}

void CommonNewestRequest::Write(PacketWriter& out) const {
  WriteDeviceHead(out, *device);
  out.U8(device->cQueryFlag);
  out.U8(uint32_t(deviceIds.size()));
  for (int32_t id : deviceIds) out.U32(uint32_t(id));
  out.U8(uint32_t(pairs.size()));
  for (const auto& pair : pairs) {
    out.Str(pair.first);
    out.Str(pair.second);
  }
  out.U8(device->cComputerType);
  out.U8(device->cNeedPackType);
}

void SpecialCommonNewestRequest::Write(PacketWriter& out) const {
  out.U32(uint32_t(first->iBrandID));
  out.U32(uint32_t(first->iProductID));
  out.U32(uint32_t(first->iOSID));
  out.U16(uint16_t(first->sLanguage));
  out.U8(flag);
  out.U8(first->cQueryFlag);
  out.U8(first->cLocalDrvStatus);
  out.U32(uint32_t(first->iLocalDrvDate));
  out.U8(first->cDevIDCount);
  for (uint8_t i = 0; i < first->cDevIDCount; ++i) out.U32(uint32_t(first->piDeviceID[i]));
  out.U8(second->cLocalDrvStatus);
  out.U32(uint32_t(second->iLocalDrvDate));
  out.U8(second->cDevIDCount);
  for (uint8_t i = 0; i < second->cDevIDCount; ++i) out.U32(uint32_t(second->piDeviceID[i]));
  out.U8(first->cComputerType);
}

void DriverDescRequest::Write(PacketWriter& out) const {
  out.U32(uint32_t(driverId));
  out.U32(uint32_t(value));
}

void MultiDeviceRequest::Write(PacketWriter& out) const {
  const SDevInfo& head = devices[0];
  out.U32(uint32_t(head.iBrandID));
  out.U32(uint32_t(head.iProductID));
  out.U32(uint32_t(head.iOSID));
  out.U16(uint16_t(head.sLanguage));
  out.U8(head.cQueryFlag);
  out.U8(count);
  for (uint8_t d = 0; d < count; ++d) {
    const SDevInfo& device = devices[d];
    uint8_t n = device.piDeviceID != nullptr ? device.cDevIDCount : 0;
    out.U8(n);
    for (uint8_t i = 0; i < n; ++i) out.U32(uint32_t(device.piDeviceID[i]));
  }
  out.U8(head.cComputerType);
}

void PeripheralRequest::Write(PacketWriter& out) const {
  out.U32(uint32_t(device->iBrandID));
  out.U32(uint32_t(device->iProductID));
  uint8_t n = device->piDeviceID != nullptr ? device->cDevIDCount : 0;
  out.U8(n);
  for (uint8_t i = 0; i < n; ++i) out.U32(uint32_t(device->piDeviceID[i]));
}

void PrintCacheRequest::Write(PacketWriter& out) const {
  out.U8(1);
  out.Bytes(key, 16);
}

void ServerResRequest::Write(PacketWriter& out) const { out.Bytes(digest, 16); }

void OsSupplyRequest::Write(PacketWriter& out) const {
  out.U32(uint32_t(value));
  out.U8(uint32_t(deviceIds.size()));
  for (int32_t id : deviceIds) out.U32(uint32_t(id));
}

void InstResultRequest::Write(PacketWriter& out) const {
  out.U32(uint32_t(deviceId));
  out.U32(uint32_t(osId));
  out.U32(uint32_t(fileId));
  out.U8(result);
}

void BrandSoftwareRequest::Write(PacketWriter& out) const {
  out.U32(uint32_t(brandId));
  out.U32(uint32_t(productId));
  out.U32(uint32_t(osId));
  out.U16(uint16_t(language));
}

void PluginListRequest::Write(PacketWriter& out) const {
  out.U8(value1);
  out.U16(value2);
}

void CloudSwitchRequest::Write(PacketWriter& out) const {
  out.U32(uint32_t(value1));
  out.U32(uint32_t(value2));
  out.U16(uint16_t(value3));
  out.U32(uint32_t(value4));
  size_t k = bytes.size() < 255 ? bytes.size() : 255;
  out.U8(uint32_t(k));
  out.Bytes(bytes.data(), k);
}

void CalendarRequest::Write(PacketWriter& out) const {
  out.U32(uint32_t(value1));
  out.U32(uint32_t(value2));
  out.U16(uint16_t(value3));
  out.U32(uint32_t(value4));
}

void StatRequest::Write(PacketWriter& out) const {
  out.U16(0);
  out.U32(uint32_t(unionId));
  out.Bytes(machine, 16);
  out.U64(0);
  out.U16(0);
  out.U16(uint16_t(kind));
  out.U8(0);
  // Offset 37: the text only when its length field and bytes fit whole.
  if (text.size() <= kMaxCountedString && out.Fits(2 + text.size())) out.Str(text);
}

}  // namespace kitoracle
