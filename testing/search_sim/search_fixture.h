// The search service simulator's fixture table: one phone maker's devices
// and drivers, a phone model, the brand of this PC, its brand software, a
// plug-in, the business answers, and the files the download server holds.
// Plain data, filled by MakeFixture() once the simulator knows its HTTP port.
#ifndef PHONEDECK_TESTING_SEARCH_FIXTURE_H
#define PHONEDECK_TESTING_SEARCH_FIXTURE_H

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace searchsim {

struct FixtureSoftware {
  uint32_t values[4];
  uint8_t key[16];
  uint64_t value64;
  uint8_t byte1, byte2;
  std::string texts[7];
};

struct FixtureDriver {
  uint32_t driverId;
  uint8_t digest[16];
  uint64_t fileSize, fileVersion;
  uint32_t publishDate;
  uint8_t level, isSign, packageType, installType, driverType;
  std::string texts[7];  // setup parameters, brand, vendor, file extension, display version, name, class
  std::vector<FixtureSoftware> software;
  std::string description;  // what 0x0A answers
};

struct FixtureDevice {
  std::string hardwareId;
  int32_t deviceId;
  std::string description, className;
};

struct Fixture {
  std::vector<FixtureDevice> devices;
  FixtureDriver recommended;  // for any known device ID
  FixtureDriver newest;       // the further driver
  // The brand of this PC: the texts as the client sends them, and the answer.
  std::string brandText, productText;
  int32_t brandId, productId;
  std::string brandName, productName;
  std::vector<FixtureSoftware> brandSoftware;
  // The phone: its USB IDs as the client writes them, and the model XML.
  std::string phoneVendor, phoneProduct;
  std::string phoneXml, unknownPhoneXml;
  // Resources by digest: the download URL.
  std::map<std::string, std::string> resources;  // 32 hex digits -> URL
  std::map<std::string, std::string> files;      // name -> content
  uint8_t printKey[16];
  std::string printText, cloudSwitch;
  uint8_t calendarStart;
  uint8_t pluginIdentity[16];
  std::string pluginTexts[3];
};

// The fixture, with URLs on http://127.0.0.1:<httpPort>.
Fixture MakeFixture(uint16_t httpPort);

// 32 lower-case hexadecimal digits of 16 bytes.
std::string HexOf(const uint8_t* bytes);

}  // namespace searchsim

#endif  // PHONEDECK_TESTING_SEARCH_FIXTURE_H
