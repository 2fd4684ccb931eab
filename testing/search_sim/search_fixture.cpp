#include "search_fixture.h"

#include <cstring>

namespace searchsim {

std::string HexOf(const uint8_t* bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string out;
  for (int i = 0; i < 16; ++i) {
    out += kDigits[bytes[i] >> 4];
    out += kDigits[bytes[i] & 15];
  }
  return out;
}

namespace {

void Fill(uint8_t* out, uint8_t first) {
  for (int i = 0; i < 16; ++i) out[i] = uint8_t(first + i);
}

FixtureSoftware Suite(uint32_t base, const std::string& name) {
  FixtureSoftware s{};
  for (int i = 0; i < 4; ++i) s.values[i] = base + uint32_t(i);
  Fill(s.key, uint8_t(base));
  s.value64 = 0x0000000500000007ull + base;
  s.byte1 = 1;
  s.byte2 = 2;
  s.texts[0] = name;
  s.texts[1] = "1.0." + std::to_string(base);
  s.texts[2] = "华为";
  s.texts[3] = "exe";
  s.texts[4] = "/quiet";
  s.texts[5] = "";
  s.texts[6] = "助手";
  return s;
}

}  // namespace

Fixture MakeFixture(uint16_t httpPort) {
  std::string base = "http://127.0.0.1:" + std::to_string(httpPort);
  Fixture f;
  f.devices = {
      {"USB\\VID_12D1&PID_1038&REV_0100&MI_01", 4101, "HUAWEI Android ADB Interface", "AndroidUsbDeviceClass"},
      {"USB\\VID_12D1&PID_1038&MI_01", 4102, "HUAWEI Android ADB Interface", "AndroidUsbDeviceClass"},
  };
  std::string package = "PK\x05\x06" + std::string(18, '\0');  // an empty ZIP archive: the driver package
  f.files["hw_usb_driver.zip"] = package;
  f.files["p7.png"] = "\x89PNG\r\n\x1a\n";

  FixtureDriver& r = f.recommended;
  r.driverId = 9001;
  Fill(r.digest, 0xA0);
  r.fileSize = package.size();
  r.fileVersion = 0x0002000100000023ull;
  r.publishDate = 20140712;
  r.level = 1;
  r.isSign = 1;
  r.packageType = 2;
  r.installType = 1;
  r.driverType = 3;
  const char* texts[7] = {
      "/S", "HUAWEI", "华为技术有限公司", "zip", "2.1.0.35", "HUAWEI Android USB Driver", "AndroidUsbDeviceClass"};
  for (int i = 0; i < 7; ++i) r.texts[i] = texts[i];
  r.software = {Suite(11, "HiSuite")};
  r.description = "华为手机USB驱动，支持ADB调试";
  f.resources[HexOf(r.digest)] = base + "/files/hw_usb_driver.zip";

  FixtureDriver& n = f.newest;
  n = r;
  n.driverId = 9002;
  Fill(n.digest, 0xB0);
  n.fileVersion = 0x0002000200000001ull;
  n.publishDate = 20150101;
  n.texts[4] = "2.2.0.1";
  n.software.clear();
  n.description = "";
  f.resources[HexOf(n.digest)] = base + "/redirect/hw_usb_driver.zip";

  f.brandText = "HUAWEI";
  f.productText = "MateBook X";
  f.brandId = 1001;
  f.productId = 2002;
  f.brandName = "华为";
  f.productName = "MateBook X 笔记本";
  f.brandSoftware = {Suite(21, "PC Manager"), Suite(31, "Drivers"), Suite(41, "Cloud")};

  f.phoneVendor = "12d1";
  f.phoneProduct = "1038";
  f.phoneXml =
      "<Infos><Info><Key>huawei-p7</Key><BrandName>HUAWEI</BrandName><DeviceName1>P7-L09</DeviceName1>"
      "<DeviceName2>华为P7</DeviceName2><Photo Type=\"1\"><Size>180x320</Size><URL>" +
      base + "/files/p7.png</URL><P>1</P><Q>2</Q><R>3</R><S>4</S></Photo></Info></Infos>";
  f.unknownPhoneXml = "<Infos></Infos>";

  Fill(f.printKey, 0x10);
  f.printText = "打印缓存";
  f.cloudSwitch = "<Switch><AdType>2</AdType></Switch>";
  f.calendarStart = 1;
  Fill(f.pluginIdentity, 0xC0);
  f.pluginTexts[0] = "插件";
  f.pluginTexts[1] = "Plug-in two";
  f.pluginTexts[2] = base + "/files/plugin.zip";
  return f;
}

}  // namespace searchsim
