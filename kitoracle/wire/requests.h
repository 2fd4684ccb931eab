// The requests of the search service: each holds its command and
// sub-command bytes, its service type and its fields, and MakeBuffer writes
// the packet (returning its length, 0 when it does not fit). Pure.
#ifndef KITORACLE_WIRE_REQUESTS_H_
#define KITORACLE_WIRE_REQUESTS_H_

#include <cstdint>
#include <string>
#include <vector>

#include "kitoracle/driver_records.h"
#include "wire/packet.h"

namespace kitoracle {

// Service types: the relaylink service and the HTTP ServerID header.
enum ServiceType : uint8_t {
  kServiceResource = 6,
  kServiceDriver = 21,
  kServiceBusiness = 22,
  kServiceMobileAlt = 28,
  kServiceMobile = 30,
};

class Request {
 public:
  Request(uint8_t command, uint8_t sub, uint8_t service) : command_(command), sub_(sub), service_(service) {}
  virtual ~Request() = default;
  int MakeBuffer(uint8_t* buffer, size_t capacity) const;
  uint8_t service() const { return service_; }
  uint8_t command() const { return command_; }

 protected:
  virtual void Write(PacketWriter& out) const = 0;

 private:
  uint8_t command_, sub_, service_;
};

// 0x16: hardware IDs (UTF-8, each at most 260 bytes).
struct DeviceDescRequest : Request {
  explicit DeviceDescRequest(bool kindOne) : Request(0x16, kindOne ? 0xF0 : 0, kServiceDriver) {}
  std::vector<std::string> hardwareIds;
  void Write(PacketWriter& out) const override;
};

// 0x02/0x02: brand, product and version texts and a flag.
struct BrandProductRequest : Request {
  BrandProductRequest() : Request(0x02, 0x02, kServiceDriver) {}
  std::string brand, product, version;
  uint8_t flag = 0;
  void Write(PacketWriter& out) const override;
};

// 0x22: a phone by its two 16-bit IDs and three texts.
struct MobileProductRequest : Request {
  explicit MobileProductRequest(uint8_t service) : Request(0x22, 0, service) {}
  uint16_t firstId = 0, secondId = 0;
  std::string texts[3];
  void Write(PacketWriter& out) const override;
};

// 0x24: recommended drivers for a brand and product (23 bytes).
struct BrandProductDriverRequest : Request {
  BrandProductDriverRequest() : Request(0x24, 0, kServiceDriver) {}
  const SDevInfo* device = nullptr;
  void Write(PacketWriter& out) const override;
};

// 0x18: drivers for one device: its nonzero device IDs and hardware-ID pairs.
struct CommonNewestRequest : Request {
  CommonNewestRequest() : Request(0x18, 0, kServiceDriver) {}
  const SDevInfo* device = nullptr;
  std::vector<int32_t> deviceIds;                          // the nonzero ones
  std::vector<std::pair<std::string, std::string>> pairs;  // UTF-8, at most 260 bytes each
  void Write(PacketWriter& out) const override;
};

// 0x20 on the driver service: drivers for a device given a second one.
struct SpecialCommonNewestRequest : Request {
  SpecialCommonNewestRequest() : Request(0x20, 0, kServiceDriver) {}
  const SDevInfo* first = nullptr;
  const SDevInfo* second = nullptr;
  uint8_t flag = 0;
  void Write(PacketWriter& out) const override;
};

// 0x0A/1: a driver's description (10 bytes).
struct DriverDescRequest : Request {
  DriverDescRequest() : Request(0x0A, 1, kServiceDriver) {}
  int32_t driverId = 0, value = 0;
  void Write(PacketWriter& out) const override;
};

// 0x26: drivers for several devices.
struct MultiDeviceRequest : Request {
  explicit MultiDeviceRequest(bool kindOne) : Request(0x26, kindOne ? 0xF0 : 0, kServiceDriver) {}
  const SDevInfo* devices = nullptr;
  uint8_t count = 0;
  void Write(PacketWriter& out) const override;
};

// 0x28: is the device a peripheral the service knows.
struct PeripheralRequest : Request {
  PeripheralRequest() : Request(0x28, 0, kServiceDriver) {}
  const SDevInfo* device = nullptr;
  void Write(PacketWriter& out) const override;
};

// 0x20 on the business service: the print cache by a 16-byte key (19 bytes).
struct PrintCacheRequest : Request {
  PrintCacheRequest() : Request(0x20, 0, kServiceBusiness) {}
  uint8_t key[16] = {};
  void Write(PacketWriter& out) const override;
};

// 0x54: a resource by its 16-byte digest (18 bytes).
struct ServerResRequest : Request {
  ServerResRequest() : Request(0x54, 0, kServiceResource) {}
  uint8_t digest[16] = {};
  void Write(PacketWriter& out) const override;
};

// 0x0C/1: does a driver suit the operating system.
struct OsSupplyRequest : Request {
  OsSupplyRequest() : Request(0x0C, 1, kServiceDriver) {}
  int32_t value = 0;
  std::vector<int32_t> deviceIds;
  void Write(PacketWriter& out) const override;
};

// 0x14/1: the result of a driver installation (15 bytes).
struct InstResultRequest : Request {
  InstResultRequest() : Request(0x14, 1, kServiceDriver) {}
  int32_t deviceId = 0, osId = 0, fileId = 0;
  uint8_t result = 0;
  void Write(PacketWriter& out) const override;
};

// 0x08/1: the brand software list (16 bytes).
struct BrandSoftwareRequest : Request {
  BrandSoftwareRequest() : Request(0x08, 1, kServiceDriver) {}
  int32_t brandId = 0, productId = 0, osId = 0;
  int16_t language = 0;
  void Write(PacketWriter& out) const override;
};

// 0x39: the plug-in list (5 bytes).
struct PluginListRequest : Request {
  PluginListRequest() : Request(0x39, 0, kServiceBusiness) {}
  uint8_t value1 = 0;
  uint16_t value2 = 0;
  void Write(PacketWriter& out) const override;
};

// 0x37: the cloud switch text.
struct CloudSwitchRequest : Request {
  CloudSwitchRequest() : Request(0x37, 0, kServiceBusiness) {}
  int32_t value1 = 0, value2 = 0, value4 = 0;
  int16_t value3 = 0;
  std::string bytes;  // at most 255
  void Write(PacketWriter& out) const override;
};

// 0x33: the calendar start flag (16 bytes).
struct CalendarRequest : Request {
  CalendarRequest() : Request(0x33, 0, kServiceBusiness) {}
  int32_t value1 = 0, value2 = 0, value4 = 0;
  int16_t value3 = 0;
  void Write(PacketWriter& out) const override;
};

// 0x41: a statistics report, sent without reply. A text that does not fit
// the packet whole is left out: the packet then ends at offset 37.
struct StatRequest : Request {
  StatRequest() : Request(0x41, 0, kServiceBusiness) {}
  int32_t unionId = 0;
  uint8_t machine[16] = {};
  int16_t kind = 0;
  std::string text;  // UTF-8
  void Write(PacketWriter& out) const override;
};

}  // namespace kitoracle

#endif  // KITORACLE_WIRE_REQUESTS_H_
