// Every DS export against the search service simulator, over UDP (through
// the simulated dispatch server and relaylink) and over HTTP: the request
// bytes the service received, the fields handed back, the switch from UDP
// to HTTP, and malformed replies.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "kitoracle.h"
#include "pack.h"
#include "search_sim.h"
#include "udp_sim_test_support.h"

namespace {

using Bytes = std::vector<uint8_t>;
using udpsim::WaitFor;

using kitoracle_test::Pack;

std::u16string W(const char16_t* s) { return s; }

class KitoracleExports : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/pd-kitoracle-e2e-XXXXXX";
    folder_ = mkdtemp(pattern);
    mkdir((folder_ + "/log").c_str(), 0700);
    mkdir((folder_ + "/config").c_str(), 0700);
    mkdir((folder_ + "/config/Zelvik").c_str(), 0700);
    std::ofstream(folder_ + "/config/Zelvik/registry.ini")
        << "[HKEY_CURRENT_USER\\SOFTWARE\\QENSoft\\Hollowmere2013]\nUnionID=dword:00000457\n";
    setenv("TMPDIR", folder_.c_str(), 1);
    setenv("XDG_RUNTIME_DIR", folder_.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (folder_ + "/config").c_str(), 1);
    setenv("PHONEDECK_PROGRAM_DIR", folder_.c_str(), 1);
    setenv("PHONEDECK_UDP_PROXY_SHM", ("/pd-kitoracle-" + std::to_string(getpid())).c_str(), 1);
    setenv("PHONEDECK_UDP_SERVER_PORT", "0", 1);
    setenv("PHONEDECK_RELAYLINK_STAT_INI", (folder_ + "/stat.ini").c_str(), 1);
    ASSERT_TRUE(sim_.Start());
  }
  void TearDown() override {
    DSClose();
    sim_.Stop();
    std::system(("rm -rf '" + folder_ + "'").c_str());
  }
  // UDP: the probe finds the dispatch server. HTTP: the dispatch server
  // knows no servers, so the probe fails.
  void Connect(bool udp) {
    sim_.SetDispatchEmpty(!udp);
    sim_.ExportEnvironment();
    ASSERT_EQ(0, DSInit());
  }
  const char* Transport() const { return GetParam() ? "udp" : "http"; }
  std::string Log() {
    std::ifstream in(folder_ + "/log/kitoracle.log", std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

  std::string folder_;
  searchsim::SearchServiceSim sim_;
};

using kitoracle_test::DeviceRecord;

TEST_P(KitoracleExports, EveryExportAnswersFromTheService) {
  ASSERT_NO_FATAL_FAILURE(Connect(GetParam()));
  const searchsim::Fixture& f = sim_.fixture();

  struct Case {
    const char* name;
    uint8_t service;
    std::function<Bytes()> expected;  // the request bytes
    std::function<void()> call;       // runs the export and checks what it handed back
  };
  std::vector<Case> cases = {
      {"DSGetDeviceDescAndID", 21,
       [] { return Pack().U8(0x16).U8(0).U8(2).Str("USB\\VID_12D1&PID_1038&REV_0100&MI_01").Str("USB\\VID_FFFF").b; },
       [] {
         std::u16string ids = u"USB\\VID_12D1&PID_1038&REV_0100&MI_01";
         ids += u'\0';
         ids += u"USB\\VID_FFFF";
         ids += u'\0';
         int32_t out[2] = {-1, -1};
         char16_t desc[260] = {}, second[32] = {};
         ASSERT_EQ(0, DSGetDeviceDescAndID(ids.c_str(), 2, out, desc, second));
         EXPECT_EQ(4101, out[0]);
         EXPECT_EQ(0, out[1]);
         EXPECT_EQ(W(u"HUAWEI Android ADB Interface"), desc);
         EXPECT_EQ(W(u"AndroidUsbDeviceClass"), second);
       }},
      {"DSGetDeviceDescAndIDEx kind 1", 21,
       [] { return Pack().U8(0x16).U8(0xF0).U8(1).Str("USB\\VID_12D1&PID_1038&MI_01").b; },
       [] {
         int32_t out[1] = {};
         ASSERT_EQ(0, DSGetDeviceDescAndIDEx(1, u"USB\\VID_12D1&PID_1038&MI_01", 1, out, nullptr, nullptr));
         EXPECT_EQ(4102, out[0]);
       }},
      {"DSGetBrandAndProductID", 21,
       [] { return Pack().U8(0x02).U8(0x02).Str("HUAWEI").Str("MateBook X").Str("1.0 版").U8(3).b; },
       [] {
         int32_t brand = 0, product = 0;
         char16_t brandName[260], productName[260];
         ASSERT_EQ(0, DSGetBrandAndProductID(u"HUAWEI", u"MateBook X", u"1.0 版", 3, &brand, &product, brandName,
                                             productName));
         EXPECT_EQ(1001, brand);
         EXPECT_EQ(2002, product);
         EXPECT_EQ(W(u"华为"), brandName);
         EXPECT_EQ(W(u"MateBook X 笔记本"), productName);
       }},
      {"DSGetMobileProductInfo", 30,
       [] { return Pack().U8(0x22).U8(0).Str("12d1").Str("1038").U8(3).Str("adb-P7").Str("P7-L09").Str("SER1").b; },
       [] {
         char16_t xml[1024];
         ASSERT_EQ(0, DSGetMobileProductInfo(0x12D1, 0x1038, u"adb-P7", u"P7-L09", u"SER1", xml, 1024));
         EXPECT_NE(std::u16string::npos, std::u16string(xml).find(u"<DeviceName2>华为P7</DeviceName2>"));
         EXPECT_EQ(0u, std::u16string(xml).find(u"<Infos><Info><Key>huawei-p7</Key>"));
       }},
      {"DSGetBrandProductDriverInfo", 21,
       [] { return Pack().U8(0x24).U8(0).U32(1001).U32(2002).U32(6).U8(1).U32(20140101).U16(2052).U8(3).U8(2).b; },
       [] {
         std::vector<int32_t> ids;
         SDevInfo dev = DeviceRecord(&ids);
         ASSERT_EQ(0, DSGetBrandProductDriverInfo(&dev));
         ASSERT_EQ(1, dev.cDrvCount);
         EXPECT_EQ(1, dev.pDrvInfo[0].cUpdateValue);
         EXPECT_EQ(9001, dev.pDrvInfo[0].iDriverID);
         DSFreeDriverInfo(dev.pDrvInfo, dev.cDrvCount);
       }},
      {"DSGetCommonAndNewestDriver", 21,
       [] {
         return Pack()
             .U8(0x18)
             .U8(0)
             .U32(1001)
             .U32(2002)
             .U32(6)
             .U8(1)
             .U32(20140101)
             .U16(2052)
             .U8(10)
             .U8(2)
             .U32(4101)
             .U32(9)
             .U8(1)
             .Str("USB\\VID_12D1")
             .Str("中文")
             .U8(3)
             .U8(2)
             .b;
       },
       [&f] {
         std::vector<int32_t> ids = {0, 4101, 0, 9};
         SDevInfo dev = DeviceRecord(&ids);
         SDevArgv pair{};
         std::memcpy(pair.szFirst, u"USB\\VID_12D1", sizeof(u"USB\\VID_12D1"));
         std::memcpy(pair.szSecond, u"中文", sizeof(u"中文"));
         dev.cDevArgvCount = 1;
         dev.pDevArgvs = &pair;
         ASSERT_EQ(0, DSGetCommonAndNewestDriver(&dev));
         ASSERT_EQ(2, dev.cDrvCount);
         const SDrvInfo& r = dev.pDrvInfo[0];
         EXPECT_EQ(1, r.cUpdateValue);
         EXPECT_EQ(9001, r.iDriverID);
         EXPECT_EQ(0, std::memcmp(r.byPackageKey, f.recommended.digest, 16));
         EXPECT_EQ(int64_t(f.recommended.fileSize), r.i64DrvFileSize);
         EXPECT_EQ(W(u"华为技术有限公司"), r.szVendorStr);
         ASSERT_EQ(1, r.cSoftCount);
         EXPECT_EQ(W(u"HiSuite"), r.pSoftInfo[0].szText1);
         EXPECT_EQ(0, dev.pDrvInfo[1].cUpdateValue);
         EXPECT_EQ(9002, dev.pDrvInfo[1].iDriverID);
         DSFreeDriverInfo(dev.pDrvInfo, dev.cDrvCount);
       }},
      {"DSGetSpecialCommonAndNewestDriver", 21,
       [] {
         return Pack()
             .U8(0x20)
             .U8(0)
             .U32(1001)
             .U32(2002)
             .U32(6)
             .U16(2052)
             .U8(1)
             .U8(10)
             .U8(1)
             .U32(20140101)
             .U8(1)
             .U32(4101)
             .U8(1)
             .U32(20140101)
             .U8(2)
             .U32(0)
             .U32(4102)
             .U8(3)
             .b;
       },
       [] {
         std::vector<int32_t> a = {4101}, b = {0, 4102};
         SDevInfo first = DeviceRecord(&a), second = DeviceRecord(&b);
         ASSERT_EQ(0, DSGetSpecialCommonAndNewestDriver(&first, &second, 1));
         ASSERT_EQ(1, first.cDrvCount);
         EXPECT_EQ(2, first.pDrvInfo[0].cUpdateValue);
         EXPECT_EQ(nullptr, second.pDrvInfo);
         DSFreeDriverInfo(first.pDrvInfo, first.cDrvCount);
       }},
      {"DSGetDriverDesc", 21, [] { return Pack().U8(0x0A).U8(1).U32(9001).U32(2002).b; },
       [] {
         int32_t length = 0;
         ASSERT_EQ(DS_ERROR_NOTENOUGH, DSGetDriverDesc(9001, 2002, nullptr, &length));
         EXPECT_EQ(int32_t(std::string("华为手机USB驱动，支持ADB调试").size() + 1), length);
         std::vector<char16_t> text(static_cast<size_t>(length), u'\0');
         ASSERT_EQ(0, DSGetDriverDesc(9001, 2002, text.data(), &length));
         EXPECT_EQ(W(u"华为手机USB驱动，支持ADB调试"), text.data());
       }},
      {"DSGetMultiDeviceDriverInfoEx", 21,
       [] {
         return Pack()
             .U8(0x26)
             .U8(0xF0)
             .U32(1001)
             .U32(2002)
             .U32(6)
             .U16(2052)
             .U8(10)
             .U8(3)
             .U8(2)
             .U32(7)
             .U32(4101)
             .U8(0)
             .U8(1)
             .U32(4102)
             .U8(3)
             .b;
       },
       [] {
         std::vector<int32_t> ids[3] = {{7, 4101}, {}, {4102}};
         SDevInfo devs[3] = {DeviceRecord(&ids[0]), DeviceRecord(&ids[1]), DeviceRecord(&ids[2])};
         ASSERT_EQ(0, DSGetMultiDeviceDriverInfoEx(1, devs, 3));
         ASSERT_EQ(1, devs[0].cDrvCount);
         EXPECT_EQ(0, devs[0].pDrvInfo[0].cUpdateValue);
         EXPECT_EQ(W(u"<4101>/S"), devs[0].pDrvInfo[0].szSetupPara);
         DSFreeDriverInfo(devs[0].pDrvInfo, devs[0].cDrvCount);
       }},
      {"DSGetMultiDeviceDriverInfo", 21,
       [] { return Pack().U8(0x26).U8(0).U32(1001).U32(2002).U32(6).U16(2052).U8(10).U8(1).U8(1).U32(4102).U8(3).b; },
       [] {
         std::vector<int32_t> ids = {4102};
         SDevInfo dev = DeviceRecord(&ids);
         ASSERT_EQ(0, DSGetMultiDeviceDriverInfo(&dev, 1));
         ASSERT_EQ(1, dev.cDrvCount);
         EXPECT_EQ(W(u"<4102>/S"), dev.pDrvInfo[0].szSetupPara);
         DSFreeDriverInfo(dev.pDrvInfo, dev.cDrvCount);
       }},
      {"DSCheckPeripheralDevice", 21, [] { return Pack().U8(0x28).U8(0).U32(1001).U32(2002).U8(1).U32(4101).b; },
       [] {
         std::vector<int32_t> ids = {4101};
         SDevInfo dev = DeviceRecord(&ids);
         uint8_t answer = 9;
         ASSERT_EQ(0, DSCheckPeripheralDevice(&dev, &answer));
         EXPECT_EQ(1, answer) << "a reply byte of 5 means yes";
       }},
      {"DSCheckPrintCache", 22, [&f] { return Pack().U8(0x20).U8(0).U8(1).Raw(f.printKey, 16).b; },
       [&f] {
         uint8_t flag = 0;
         char16_t text[3];
         ASSERT_EQ(0, DSCheckPrintCache(f.printKey, 16, &flag, text, 3));
         EXPECT_EQ(1, flag);
         EXPECT_EQ(W(u"打印"), text) << "cut at the capacity";
       }},
      {"DSSearchServerRes", 6, [&f] { return Pack().U8(0x54).U8(0).Raw(f.newest.digest, 16).b; },
       [this, &f] {
         char16_t url[512] = {}, name[260] = {};
         ASSERT_EQ(0, DSSearchServerRes(f.newest.digest, url, 512, name));
         std::string expected = sim_.RedirectUrl("hw_usb_driver.zip");
         EXPECT_EQ(std::u16string(expected.begin(), expected.end()), url);
         EXPECT_EQ(W(u"hw_usb_driver.zip"), name);
       }},
      {"DSIsDriverOSSupply", 21, [] { return Pack().U8(0x0C).U8(1).U32(7).U8(2).U32(3).U32(4101).b; },
       [] {
         int32_t ids[2] = {3, 4101};
         uint8_t answer = 0;
         ASSERT_EQ(0, DSIsDriverOSSupply(ids, 2, 7, &answer));
         EXPECT_EQ(1, answer);
       }},
      {"DSReportDrvInstResult", 21, [] { return Pack().U8(0x14).U8(1).U32(4101).U32(6).U32(9001).U8(1).b; },
       [] { ASSERT_EQ(0, DSReportDrvInstResult(4101, 6, 9001, 20140712, 1)); }},
      {"DSGetBrandSoftware", 21, [] { return Pack().U8(0x08).U8(1).U32(1001).U32(2002).U32(6).U16(2052).b; },
       [] {
         std::vector<int32_t> ids;
         SDevInfo dev = DeviceRecord(&ids);
         SSoftInfo* soft = nullptr;
         uint8_t count = 0;
         ASSERT_EQ(0, DSGetBrandSoftware(&dev, &soft, &count));
         ASSERT_EQ(3, count);
         EXPECT_EQ(W(u"Drivers"), soft[1].szText1);
         EXPECT_EQ(W(u"华为"), soft[2].szText3);
         EXPECT_EQ(41u, soft[2].dwValue1);
         DSFreeSoftwareInfo(soft);
       }},
      {"DSGetQenPluginList", 22, [] { return Pack().U8(0x39).U8(0).U8(1).U16(2).b; },
       [] {
         SPlugInfo* plugins = nullptr;
         uint8_t count = 0;
         ASSERT_EQ(0, DSGetQenPluginList(1, 2, &plugins, &count));
         ASSERT_EQ(1, count);
         EXPECT_EQ(W(u"插件"), plugins[0].szText1);
         EXPECT_EQ(W(u"c0c1c2c3c4c5c6c7c8c9cacbcccdcecf"), plugins[0].szIdentity);
         DSFreePlugInfo(plugins);
       }},
      {"DSGetCloudSwitchInfo", 22,
       [] {
         return Pack()
             .U8(0x37)
             .U8(0)
             .U32(35)
             .U32(0x20001)
             .U16(2052)
             .U32(1110)
             .U8(3)
             .Raw(reinterpret_cast<const uint8_t*>("abc"), 3)
             .b;
       },
       [&f] {
         char16_t text[4096];
         const uint8_t bytes[3] = {'a', 'b', 'c'};
         ASSERT_EQ(0, DSGetCloudSwitchInfo(35, 0x20001, 2052, 1110, 3, bytes, text, 4096));
         EXPECT_EQ(std::u16string(f.cloudSwitch.begin(), f.cloudSwitch.end()), text);
       }},
      {"DSGetCalendarStart", 22, [] { return Pack().U8(0x33).U8(0).U32(35).U32(0x20001).U16(2052).U32(1110).b; },
       [] {
         uint8_t start = 0;
         ASSERT_EQ(0, DSGetCalendarStart(35, 0x20001, 2052, 1110, &start));
         EXPECT_EQ(1, start);
       }},
  };

  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    sim_.Clear();
    ASSERT_NO_FATAL_FAILURE(c.call());
    std::vector<searchsim::Received> got = sim_.Requests();
    ASSERT_FALSE(got.empty());
    EXPECT_EQ(Transport(), got.back().transport);
    EXPECT_EQ(c.service, got.back().service);
    EXPECT_EQ(c.expected(), got.back().packet);
    EXPECT_EQ(std::vector<std::string>(), sim_.Errors());
  }
  if (!GetParam()) {
    searchsim::HttpHeaders h = sim_.LastHttpHeaders();
    EXPECT_EQ("1111", h.unionId) << "UnionID from the registry stand-in (0x457)";
    EXPECT_EQ(32u, h.hostmark.size());
    EXPECT_NE("00000000000000000000000000000000", h.hostmark) << "the identity from libHostmark.so";
  }
  EXPECT_NE(std::string::npos, Log().find("DSInit OK"));
}

TEST_P(KitoracleExports, MobileProductInfoUsesServiceTypeOfTheMajorApplication) {
  ASSERT_NO_FATAL_FAILURE(Connect(GetParam()));
  char16_t xml[64];
  EXPECT_EQ(3, DSSetMajorAppID(3));
  ASSERT_EQ(0, DSGetMobileProductInfo(1, 2, u"", u"", u"", xml, 64));
  EXPECT_EQ(W(u"<Infos></Infos>"), xml);
  EXPECT_EQ(28, sim_.Requests().back().service);
  DSSetMajorAppID(1);
  ASSERT_EQ(0, DSGetMobileProductInfo(1, 2, u"", u"", u"", xml, 64));
  EXPECT_EQ(30, sim_.Requests().back().service);
}

TEST_P(KitoracleExports, StatisticsReportIsSentWithoutReply) {
  ASSERT_NO_FATAL_FAILURE(Connect(GetParam()));
  std::u16string text = u"{\"md5\":\"统计\"}";
  EXPECT_EQ(0, DSDownloadStatReport(1110, nullptr, 10, text.c_str()));
  if (!GetParam()) {
    // Reports go by UDP only: without the dispatch server nothing arrives,
    // and the report still counts as made.
    EXPECT_TRUE(sim_.Requests().empty());
    return;
  }
  ASSERT_TRUE(WaitFor([this] { return !sim_.Requests().empty(); }));
  searchsim::Received r = sim_.Requests().back();
  EXPECT_EQ(22, r.service);
  ASSERT_EQ(39u + std::string("{\"md5\":\"统计\"}").size(), r.packet.size());
  EXPECT_EQ(0x41, r.packet[0]);
  EXPECT_EQ(1110u, uint32_t(r.packet[4]) | uint32_t(r.packet[5]) << 8);
  EXPECT_EQ(10, r.packet[34]);
  EXPECT_EQ(std::vector<std::string>(), sim_.Errors());
}

INSTANTIATE_TEST_SUITE_P(Transports, KitoracleExports, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool>& info) { return info.param ? "Udp" : "Http"; });

class KitoracleTransport : public KitoracleExports {};

TEST_F(KitoracleTransport, LostDatagramSwitchesTheProcessToHttp) {
  ASSERT_NO_FATAL_FAILURE(Connect(true));
  uint8_t start = 0;
  ASSERT_EQ(0, DSGetCalendarStart(1, 2, 3, 4, &start));
  EXPECT_EQ("udp", sim_.Requests().back().transport);
  sim_.DropUdp(1000);  // every UDP reply is lost from now on
  sim_.Clear();
  ASSERT_EQ(0, DSGetCalendarStart(1, 2, 3, 4, &start));
  std::vector<searchsim::Received> got = sim_.Requests();
  ASSERT_GE(got.size(), 2u);
  EXPECT_EQ("udp", got.front().transport);
  EXPECT_EQ("http", got.back().transport);
  for (const auto& r : got) EXPECT_EQ(got.front().packet, r.packet) << "every resend carries the request intact";
  sim_.Clear();
  ASSERT_EQ(0, DSGetCalendarStart(1, 2, 3, 4, &start));
  ASSERT_EQ(1u, sim_.Requests().size());
  EXPECT_EQ("http", sim_.Requests()[0].transport) << "the process stays on HTTP";
  EXPECT_NE(std::string::npos, Log().find("and try to call HtmlSendTo."));

  // A new DSInit probes again and goes back to UDP.
  sim_.DropUdp(0);
  ASSERT_EQ(0, DSInit());
  sim_.Clear();
  ASSERT_EQ(0, DSGetCalendarStart(1, 2, 3, 4, &start));
  EXPECT_EQ("udp", sim_.Requests().back().transport);
}

TEST_F(KitoracleTransport, MalformedRepliesGiveTheirCodes) {
  ASSERT_NO_FATAL_FAILURE(Connect(false));
  struct Case {
    const char* name;
    uint8_t command;
    Bytes reply;
    int code;
  } cases[] = {
      {"wrong command byte", 0x18, Pack().U8(0x17).U8(0).U8(0).U8(0).b, DS_ERROR_FORMAT},
      {"wrong sub-command", 0x18, Pack().U8(0x19).U8(1).U8(0).U8(0).b, DS_ERROR_FORMAT},
      {"truncated", 0x18, Pack().U8(0x19).U8(0).U8(1).b, DS_ERROR_FORMAT},
      {"recommended count 0", 0x18, Pack().U8(0x19).U8(0).U8(0).U8(0).b, DS_ERROR_NODATA},
      {"255 further drivers", 0x18, Pack().U8(0x19).U8(0).U8(1).U8(255).b, DS_ERROR_FORMAT},
      {"a count of 200 with no drivers", 0x18, Pack().U8(0x19).U8(0).U8(1).U8(200).b, DS_ERROR_FORMAT},
      {"a description running past the reply", 0x0A, Pack().U8(0x0B).U8(1).U16(900).Str("x").b, DS_ERROR_FORMAT},
      {"an empty body", 0x0A, Bytes(), DS_ERROR_NET},
      {"a body past 4085 bytes", 0x0A, Pack().U8(0x0B).U8(1).Str(std::string(4082, 'x')).b, DS_ERROR_NET},
      {"a body of exactly 4085 bytes", 0x0A, Pack().U8(0x0B).U8(1).Str(std::string(4081, 'x')).b, DS_ERROR_SUCCESS},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    sim_.SetRawReply(c.command, c.reply);
    int code = -1;
    if (c.command == 0x18) {
      std::vector<int32_t> ids = {4101};
      SDevInfo dev = DeviceRecord(&ids);
      code = DSGetCommonAndNewestDriver(&dev);
      EXPECT_EQ(nullptr, dev.pDrvInfo);
      EXPECT_EQ(0, dev.cDrvCount);
    } else {
      char16_t text[4096];
      int32_t length = 4096;
      code = DSGetDriverDesc(9001, 0, text, &length);
    }
    EXPECT_EQ(c.code, code);
  }
}

TEST_F(KitoracleTransport, ParametersAreCheckedBeforeAnyRequest) {
  ASSERT_NO_FATAL_FAILURE(Connect(false));
  std::vector<int32_t> ids = {4101};
  SDevInfo used = DeviceRecord(&ids);
  SDrvInfo held{};
  used.pDrvInfo = &held;
  SDevInfo empty = DeviceRecord(&ids);
  empty.cDevIDCount = 0;
  SPlugInfo* plugins = reinterpret_cast<SPlugInfo*>(&held);
  uint8_t count = 0, answer = 0;
  int32_t out[1];
  char16_t text[8];
  std::vector<std::pair<const char*, int>> calls = {
      {"device IDs without hardware IDs", DSGetDeviceDescAndID(nullptr, 1, out, nullptr, nullptr)},
      {"no count", DSGetDeviceDescAndID(u"x", 0, out, nullptr, nullptr)},
      {"a used record", DSGetCommonAndNewestDriver(&used)},
      {"no device IDs", DSGetCommonAndNewestDriver(&empty)},
      {"a used record for the brand", DSGetBrandProductDriverInfo(&used)},
      {"no second record", DSGetSpecialCommonAndNewestDriver(&used, nullptr, 0)},
      {"no length", DSGetDriverDesc(1, 2, nullptr, nullptr)},
      {"a non-empty plug-in output", DSGetQenPluginList(1, 2, &plugins, &count)},
      {"no answer", DSCheckPeripheralDevice(&used, nullptr)},
      {"no text buffer", DSGetCloudSwitchInfo(1, 2, 3, 4, 0, nullptr, nullptr, 8)},
      {"no capacity", DSSearchServerRes(reinterpret_cast<const uint8_t*>("0123456789abcdef"), text, 0, nullptr)},
      {"no print key", DSCheckPrintCache(nullptr, 16, &answer, text, 8)},
      {"a print key longer than 16 bytes",
       DSCheckPrintCache(reinterpret_cast<const uint8_t*>("0123456789abcdefg"), 17, &answer, text, 8)},
      {"a zero OS-supply count", DSIsDriverOSSupply(out, 0, 1, &answer)},
      {"a used multi-device record", DSGetMultiDeviceDriverInfo(&used, 1)},
  };
  for (const auto& call : calls) EXPECT_EQ(DS_ERROR_PARAMETER, call.second) << call.first;
  EXPECT_TRUE(sim_.Requests().empty());
  DSFreeDriverInfo(nullptr, 3);
  DSFreeSoftwareInfo(nullptr);
  DSFreePlugInfo(nullptr);
}

TEST_F(KitoracleTransport, ResourceFoundEvenWhenTheDownloadServerDoesNotAnswer) {
  ASSERT_NO_FATAL_FAILURE(Connect(false));
  const searchsim::Fixture& f = sim_.fixture();
  sim_.SetRawReply(0x54, Pack().U8(0x55).U8(0).U16(1).Str("http://127.0.0.1:1/files/gone.apk").Str("").b);
  char16_t url[512] = {}, name[260] = {u'k', 0};
  ASSERT_EQ(0, DSSearchServerRes(f.recommended.digest, url, 512, name));
  EXPECT_EQ(W(u"http://127.0.0.1:1/files/gone.apk"), url);
  EXPECT_EQ(W(u"k"), name) << "the name buffer is left as it was";
  uint8_t unknown[16] = {};
  url[0] = u'u';
  EXPECT_EQ(DS_ERROR_NODATA, DSSearchServerRes(unknown, url, 512, name));
  EXPECT_EQ(u'u', url[0]);
}

TEST_F(KitoracleTransport, ThreadsShareTheTransportAndTheLogSurvivesDSClose) {
  ASSERT_NO_FATAL_FAILURE(Connect(false));
  const searchsim::Fixture& f = sim_.fixture();
  std::atomic<int> failures{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 5; ++i) {
        if (t % 2 == 0) {
          uint8_t start = 0;
          if (DSGetCalendarStart(1, 2, 3, 4, &start) != 0 || start != 1) ++failures;
        } else {
          char16_t url[512] = {}, name[260] = {};
          if (DSSearchServerRes(f.recommended.digest, url, 512, name) != 0 ||
              std::u16string(name) != u"hw_usb_driver.zip") {
            ++failures;
          }
        }
        if (t == 3 && i == 2) DSClose();  // closes the log under the others' feet
      }
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(0, failures);
  EXPECT_EQ(std::vector<std::string>(), sim_.Errors());
  EXPECT_NE(std::string::npos, Log().find("日志关闭"));
  ASSERT_EQ(0, DSInit()) << "the log opens again";
  EXPECT_NE(std::string::npos, Log().rfind("DSInit OK"));
}

}  // namespace
