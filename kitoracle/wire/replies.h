// The replies of the search service. Each holds the two leading bytes it
// expects and, after ParseBuffer, the fields it read; ParseBuffer returns
// the bytes consumed, or 0 when the leading bytes differ or any field,
// string or list would run past the reply (nothing beyond `length` is ever
// read). Pure; the reply owns copies of everything it parsed.
#ifndef KITORACLE_WIRE_REPLIES_H_
#define KITORACLE_WIRE_REPLIES_H_

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "wire/items.h"
#include "wire/packet.h"

namespace kitoracle {

class Reply {
 public:
  Reply(uint8_t command, uint8_t sub) : command_(command), sub_(sub) {}
  virtual ~Reply() = default;
  int ParseBuffer(const uint8_t* buffer, size_t length);

 protected:
  virtual void Read(PacketReader& in) = 0;

 private:
  uint8_t command_, sub_;
};

// 0x17: device IDs, description and second text.
struct DeviceDescReply : Reply {
  explicit DeviceDescReply(bool kindOne) : Reply(0x17, kindOne ? 0xF0 : 0) {}
  std::vector<int32_t> deviceIds;
  std::string description, second;
  void Read(PacketReader& in) override;
};

// 0x03/0x02: brand and product IDs and names.
struct BrandProductReply : Reply {
  BrandProductReply() : Reply(0x03, 0x02) {}
  int32_t brandId = 0, productId = 0;
  std::string brandName, productName;
  void Read(PacketReader& in) override;
};

// One counted string: 0x23/0 (phone), 0x0B/1 (driver description), 0x38/0 (cloud switch).
struct TextReply : Reply {
  TextReply(uint8_t command, uint8_t sub) : Reply(command, sub) {}
  std::string text;
  void Read(PacketReader& in) override;
};

// One byte: 0x29/0 (peripheral), 0x0D/1 (OS supply), 0x15/1 (install result), 0x34/0 (calendar).
struct ByteReply : Reply {
  ByteReply(uint8_t command, uint8_t sub) : Reply(command, sub) {}
  uint8_t value = 0;
  void Read(PacketReader& in) override;
};

// A 1-byte count and driver items: 0x25/0 (each after a cUpdateValue byte)
// and 0x27/sub (without it).
struct DriverListReply : Reply {
  DriverListReply(uint8_t command, uint8_t sub, bool withUpdateValue)
      : Reply(command, sub), withUpdateValue_(withUpdateValue) {}
  std::vector<DrvItem> drivers;
  void Read(PacketReader& in) override;

 private:
  bool withUpdateValue_;
};

// 0x19/0 and 0x21/0: A recommended drivers (each after a cUpdateValue
// byte), then B further ones. B of 255 or more cannot be handed out with
// the recommended one in an 8-bit count and fails the reply.
struct CommonNewestReply : Reply {
  explicit CommonNewestReply(uint8_t command) : Reply(command, 0) {}
  std::vector<DrvItem> recommended, further;
  void Read(PacketReader& in) override;
};

// 0x21/0 on the business service: a byte and a text.
struct PrintCacheReply : Reply {
  PrintCacheReply() : Reply(0x21, 0) {}
  uint8_t flag = 0;
  std::string text;
  void Read(PacketReader& in) override;
};

// 0x55/0: a 2-byte count of (URL, unused) string pairs.
struct ServerResReply : Reply {
  ServerResReply() : Reply(0x55, 0) {}
  std::vector<std::pair<std::string, std::string>> resources;
  void Read(PacketReader& in) override;
};

// 0x09/1: software items.
struct SoftwareListReply : Reply {
  SoftwareListReply() : Reply(0x09, 1) {}
  std::vector<SoftItem> software;
  void Read(PacketReader& in) override;
};

// 0x40/0: plug-ins, each a 16-byte identity and three texts.
struct PluginListReply : Reply {
  PluginListReply() : Reply(0x40, 0) {}
  struct Plugin {
    uint8_t identity[16] = {};
    std::string texts[3];
  };
  std::vector<Plugin> plugins;
  void Read(PacketReader& in) override;
};

}  // namespace kitoracle

#endif  // KITORACLE_WIRE_REPLIES_H_
