#include "usb_device.h"

#include <gtest/gtest.h>

#include "bindings/download_interfaces.h"
#include "bindings/kitfinder_interface.h"
#include "bindings/portsniffer_interface.h"
#include "test_records.h"

namespace devwarden {
namespace {

// A literal with its embedded nulls, without the terminator.
template <size_t N>
std::u16string Lit(const char16_t (&s)[N]) {
  return std::u16string(s, N - 1);
}

UdStatusRecord g_status;
int g_adb_calls = 0, g_dev_calls = 0;

int FakeAdbProblem(const char16_t*, UdStatusRecord* s) {
  ++g_adb_calls;
  *s = g_status;
  return 1;
}
int FakeDevProblem(const char16_t*, UdStatusRecord* s) {
  ++g_dev_calls;
  *s = g_status;
  return 1;
}

struct DeviceFixture : ::testing::Test {
  void SetUp() override {
    Portsniffer().Release();
    Portsniffer().UD_IsDeviceAdbInterfaceHasProplem = FakeAdbProblem;
    Portsniffer().UD_IsDeviceHasProplem = FakeDevProblem;
    g_adb_calls = g_dev_calls = 0;
  }
  void TearDown() override { Portsniffer().Release(); }
  static USBDevice Make(uint16_t vid, uint16_t pid, std::vector<InterfaceEntry> ifs, int class_bits) {
    return USBDevice(MakeRecord(vid, pid, 0x0100, std::move(ifs), u"Maker", u"Phone", 7).raw(), class_bits);
  }
};

TEST_F(DeviceFixture, StatusFromTheProblemQueries) {
  struct Case {
    const char* name;
    UdStatusRecord status;
    int expected;
  } cases[] = {
      {"healthy", {1, 0x0A, 0}, 0},
      {"not authorised", {1, 0x400, 22}, 4},
      {"no driver node", {1, 0x400, 28}, 3},
      {"problem bit alone", {1, 0x400, 0}, 3},
      {"unknown to the library", {0, 0, 0}, 5},
  };
  USBDevice phone = Make(0x18d1, 0x4ee7, {If(0x08, 6, 0x50), If(0xFF, 0x42, 0x01)}, 1);
  for (const Case& c : cases) {
    g_status = c.status;
    EXPECT_EQ(phone.GetStatus(), c.expected) << c.name;
  }
  EXPECT_EQ(g_adb_calls, 5);
  EXPECT_EQ(g_dev_calls, 0);
  // An Android device without adb interface, and any other device, ask the plain query.
  g_status = {1, 0x0A, 0};
  EXPECT_EQ(Make(0x18d1, 0x4ee1, {If(0x06, 1, 1)}, 1).GetStatus(), 0);
  EXPECT_EQ(Make(0x0781, 0x5581, {If(0x08, 6, 0x50)}, 0x2000).GetStatus(), 0);
  EXPECT_EQ(g_dev_calls, 2);
  Portsniffer().Release();
  EXPECT_EQ(phone.GetStatus(), 5);  // no procedure: nothing confirmed
}

TEST_F(DeviceFixture, HardwareIdDumpSizes) {
  USBDevice phone = Make(0x18d1, 0x4ee7, {If(0x08, 6, 0x50), If(0xFF, 0x42, 0x01)}, 1);
  int count = 0;
  EXPECT_EQ(phone.DumpHwIDs(nullptr, &count), 0);
  // Groups: bus id; interface 0 (two IDs); interface 1 (three IDs).
  const std::u16string dump = Lit(u"USB\\VID_18d1&PID_4ee7\0\0") +
                              Lit(u"USB\\VID_18d1&PID_4ee7&REV_0100&MI_00\0USB\\VID_18d1&PID_4ee7&MI_00\0\0") +
                              Lit(u"USB\\VID_18d1&PID_4ee7&REV_0100&MI_01\0USB\\VID_18d1&PID_4ee7&MI_01\0"
                                  u"USB\\Class_ff&SubClass_42&Prot_01\0\0");
  EXPECT_EQ(count, static_cast<int>(dump.size()) - 1);
  std::vector<char16_t> buf(count + 1, u'#');
  int capacity = count + 1;
  EXPECT_EQ(phone.DumpHwIDs(buf.data(), &capacity), 1);
  EXPECT_EQ(std::u16string(buf.data(), buf.size()), dump);
  int small = count - 5;
  EXPECT_EQ(phone.DumpHwIDs(buf.data(), &small), 0);

  USBDevice bare = Make(0x05ac, 0x12a8, {}, 2);
  EXPECT_EQ(bare.DumpHwIDs(nullptr, &count), 0);
  EXPECT_EQ(count, 22);  // "USB\VID_05ac&PID_12a8" and its null
  EXPECT_EQ(bare.DumpHwIDs(nullptr, nullptr), 0);
}

TEST_F(DeviceFixture, PropertiesAndNames) {
  DetectedDeviceRecord raw = MakeRecord(0x05ac, 0x1500, 0x0203, {}, u"Apple", u"Watch", 9).raw();
  raw.property3 = 3;
  raw.property4 = 0x01020304;
  USBDevice d(raw, 2);
  int needed = 0;
  EXPECT_EQ(d.GetProperty(3, nullptr, 0, &needed), 111);
  EXPECT_EQ(needed, 1);
  uint8_t b[4] = {};
  EXPECT_EQ(d.GetProperty(5, b, 4, &needed), 1);
  EXPECT_EQ(b[0] | b[1] << 8, 0x1500);
  EXPECT_EQ(b[2] | b[3] << 8, 0x0203);
  uint32_t v = 0;
  EXPECT_EQ(d.GetProperty(4, &v, 4, nullptr), 1);
  EXPECT_EQ(v, 0x01020304u);
  EXPECT_EQ(d.GetProperty(2, b, 1, nullptr), 0);   // too small, no needed pointer
  EXPECT_EQ(d.GetProperty(1, nullptr, 2, &needed), 0);
  EXPECT_EQ(d.GetProperty(6, b, 4, &needed), 0);
  EXPECT_EQ(d.IsSupportUpdate(), 1);  // 05ac:1500 matches without regard to case
  EXPECT_EQ(Make(0x18d1, 0x4ee7, {}, 1).IsSupportUpdate(), 0);
  char16_t name[64];
  d.GetProductName(name);
  EXPECT_EQ(std::u16string(name), u"Watch");
  // A device without packages: nothing to download or install, both succeed.
  EXPECT_EQ(d.PackageCount(), 0u);
  EXPECT_EQ(d.DownloadDrivers(), 1);
  EXPECT_EQ(d.Update(), 1);
  EXPECT_EQ(d.IsNeedUpdate(), 0);
}

int g_ex_calls = 0, g_plain_calls = 0;
int FakeEx(int, const char16_t*, uint8_t, char16_t*, SDrvInfo**, uint8_t*) { return ++g_ex_calls, 0; }
int FakePlain(const char16_t*, uint8_t, char16_t*, SDrvInfo**, uint8_t*) { return ++g_plain_calls, 5; }

TEST(KitfinderBindingTest, UsbQueryFallsBackAndMissingProceduresAreNeutral) {
  KitfinderInterface kf;
  uint8_t count = 0;
  SDrvInfo* records = nullptr;
  EXPECT_EQ(kf.GetLocalUsbDrvInfo(1, u"", 1, nullptr, &records, &count, nullptr, nullptr), 3);
  kf.DGGetLocalUsbDrvInfo = FakePlain;
  EXPECT_EQ(kf.GetLocalUsbDrvInfo(1, u"", 1, nullptr, &records, &count, nullptr, nullptr), 5);
  kf.DGGetLocalUsbDrvInfoEx = FakeEx;
  EXPECT_EQ(kf.GetLocalUsbDrvInfo(1, u"", 1, nullptr, &records, &count, nullptr, nullptr), 0);
  EXPECT_EQ(g_plain_calls, 1);
  EXPECT_EQ(g_ex_calls, 1);
  EXPECT_EQ(kf.Init(), 3);
  EXPECT_EQ(kf.StatReport(1, 0), 0);
  EXPECT_EQ(kf.CheckPeripheralDevice(u"", &count), 3);
  EXPECT_FALSE(kf.Bind("/nonexistent-folder"));
  EXPECT_EQ(kf.DGGetLocalUsbDrvInfo, nullptr);
}

}  // namespace
}  // namespace devwarden

namespace devwarden {
namespace {

TEST(DownloadBindingTest, BoundFromAFolderOrNeutral) {
  WebpullerInterface none;
  EXPECT_EQ(none.Status(1), -1);
  EXPECT_EQ(none.Downloaded(1), 0u);
  EXPECT_EQ(none.Speed(1), 0);
  EXPECT_EQ(none.Start(nullptr), 0);
  EXPECT_EQ(none.FileName(1), u"");
  KitplanterInterface no_setup;
  EXPECT_EQ(no_setup.Install(u"USB\\VID_18d1&PID_4ee7"), -15);
  EXPECT_FALSE(no_setup.Bind("/nonexistent-folder"));

  WebpullerInterface web;
  ASSERT_TRUE(web.Bind(FAKES_DIR));
  const uint8_t key[16] = {};
  EXPECT_EQ(web.Start(key), 0);
  EXPECT_EQ(web.Status(3), 7);
  EXPECT_EQ(web.DLGetTotalSize, nullptr);  // the fake lacks it: that slot alone stays empty
  KitplanterInterface setup;
  ASSERT_TRUE(setup.Bind(FAKES_DIR));
  EXPECT_EQ(setup.Install(u"USB\\VID_18d1&PID_4ee7"), 0);
}

}  // namespace
}  // namespace devwarden
