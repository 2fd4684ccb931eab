#include "wire/replies.h"

namespace kitoracle {

int Reply::ParseBuffer(const uint8_t* buffer, size_t length) {
  if (buffer == nullptr) return 0;
  PacketReader in(buffer, length);
  if (!in.Expect(command_, sub_)) return 0;
  Read(in);
  return in.Result();
}

void DeviceDescReply::Read(PacketReader& in) {
  uint8_t m = in.U8();
  for (uint8_t i = 0; i < m && in.ok(); ++i) deviceIds.push_back(int32_t(in.U32()));
  if (m == 0) return;  // the reply ends after a zero count
  description = in.Str();
  second = in.Str();
}

void BrandProductReply::Read(PacketReader& in) {
  brandId = int32_t(in.U32());
  productId = int32_t(in.U32());
  brandName = in.Str();
  productName = in.Str();
}

void TextReply::Read(PacketReader& in) { text = in.Str(); }

void ByteReply::Read(PacketReader& in) { value = in.U8(); }

void DriverListReply::Read(PacketReader& in) {
  uint8_t n = in.U8();
  for (uint8_t i = 0; i < n && in.ok(); ++i) {
    uint8_t update = withUpdateValue_ ? in.U8() : 0;
    DrvItem item = ReadDrvItem(in);
    item.updateValue = update;
    drivers.push_back(std::move(item));
  }
}

void CommonNewestReply::Read(PacketReader& in) {
  uint8_t a = in.U8();
  uint8_t b = in.U8();
  if (b >= 255) {
    in.Fail();
    return;
  }
  for (uint8_t i = 0; i < a && in.ok(); ++i) {
    uint8_t update = in.U8();
    DrvItem item = ReadDrvItem(in);
    item.updateValue = update;
    recommended.push_back(std::move(item));
  }
  for (uint8_t i = 0; i < b && in.ok(); ++i) further.push_back(ReadDrvItem(in));
}

void PrintCacheReply::Read(PacketReader& in) {
  flag = in.U8();
  text = in.Str();
}

void ServerResReply::Read(PacketReader& in) {
  uint16_t r = in.U16();
  for (uint16_t i = 0; i < r && in.ok(); ++i) {
    std::string url = in.Str();
    std::string unused = in.Str();
    resources.emplace_back(std::move(url), std::move(unused));
  }
}

void SoftwareListReply::Read(PacketReader& in) {
  uint8_t n = in.U8();
  for (uint8_t i = 0; i < n && in.ok(); ++i) software.push_back(ReadSoftItem(in));
}

void PluginListReply::Read(PacketReader& in) {
  uint8_t n = in.U8();
  for (uint8_t i = 0; i < n && in.ok(); ++i) {
    Plugin plugin;
    in.Bytes(plugin.identity, 16);
    for (std::string& t : plugin.texts) t = in.Str();
    plugins.push_back(std::move(plugin));
  }
}

}  // namespace kitoracle
