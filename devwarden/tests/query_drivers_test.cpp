// The driver query of a device over an in-process kitfinder that answers
// 0, 1 or 3 driver records.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "bindings/kitfinder_interface.h"
#include "package_pool.h"
#include "test_records.h"
#include "usb_device.h"

namespace devwarden {
namespace {

struct Answer {
  int result = 0;
  int records = 1;
  bool null_array = false;
  std::u16string matched = std::u16string(u"USB\\VID_18d1&PID_4ee7&MI_01\0USB\\Class_ff&SubClass_42&Prot_01\0", 62);
  bool fill_matched = false;      // 1024 characters, no terminator
  std::u16string class_name = u"AndroidUsbDeviceClass";
  std::u16string description = u"Android ADB Interface";
};

Answer g_answer;
struct Seen {
  int mode = -1;
  std::u16string ids;
  int id_count = -1;
  int frees = 0;
  int freed_count = -1;
} g_seen;

int FakeQuery(int mode, const char16_t* ids, uint8_t id_count, char16_t* matched, SDrvInfo** records,
              uint8_t* record_count, char16_t* description, char16_t* class_name) {
  g_seen.mode = mode;
  size_t n = 0;
  while (ids[n] || ids[n + 1]) ++n;  // up to the first empty string of the last group
  g_seen.ids.assign(ids, n + 2);
  g_seen.id_count = id_count;
  if (g_answer.fill_matched) {
    for (int i = 0; i < 1024; ++i) matched[i] = u'A';
  } else {
    std::memcpy(matched, g_answer.matched.data(), g_answer.matched.size() * sizeof(char16_t));
  }
  std::memcpy(class_name, g_answer.class_name.c_str(), (g_answer.class_name.size() + 1) * 2);
  std::memcpy(description, g_answer.description.c_str(), (g_answer.description.size() + 1) * 2);
  if (g_answer.result != 0) return g_answer.result;
  *record_count = static_cast<uint8_t>(g_answer.records);
  if (g_answer.null_array) return 0;
  *records = new SDrvInfo[g_answer.records > 0 ? g_answer.records : 1]();
  for (int i = 0; i < g_answer.records; ++i) {
    SDrvInfo& r = (*records)[i];
    r.byPackageKey[0] = static_cast<uint8_t>(0x10 + i);
    r.i64DrvFileSize = 4096;
    std::u16string brand = u"Brand" + std::u16string(1, static_cast<char16_t>(u'0' + i));
    std::memcpy(r.szBrandStr, brand.c_str(), (brand.size() + 1) * 2);
    std::memcpy(r.szVendorStr, u"Vendor product", 15 * 2);
    std::memcpy(r.szDrvName, u"Driver name", 12 * 2);
  }
  return 0;
}

void FakeFree(SDrvInfo* records, uint8_t count) {
  ++g_seen.frees;
  g_seen.freed_count = count;
  delete[] records;
}

struct QueryFixture : ::testing::Test {
  void SetUp() override {
    g_answer = Answer();
    g_seen = Seen();
    Kitfinder().Release();
    Kitfinder().DGGetLocalUsbDrvInfoEx2 = FakeQuery;
    Kitfinder().DGFreeDrvInfo = FakeFree;
  }
  void TearDown() override {
    Kitfinder().Release();
    PackagePool::DestroyInstance();
  }
  static USBDevice Phone(int class_bits = 1, const std::u16string& manufacturer = u"") {
    return USBDevice(MakeRecord(0x18d1, 0x4ee7, 0x0100, {If(0x08, 6, 0x50), If(0xFF, 0x42, 0x01)}, manufacturer,
                                u"Pixel", 7)
                         .raw(),
                     class_bits);
  }
};

TEST_F(QueryFixture, OneRecordBecomesAPackageAndNamesTheDevice) {
  USBDevice phone = Phone();
  EXPECT_EQ(phone.QueryDrivers(), 1);
  EXPECT_EQ(g_seen.mode, 1);
  EXPECT_EQ(g_seen.id_count, 3);  // the bus id group and two interface rows
  EXPECT_EQ(g_seen.ids.substr(0, 22), std::u16string(u"USB\\VID_18d1&PID_4ee7\0", 22));
  EXPECT_EQ(g_seen.frees, 1);
  EXPECT_EQ(g_seen.freed_count, 1);
  ASSERT_EQ(phone.PackageCount(), 1u);
  auto package = PackagePool::GetInstance()->FindPackage(phone.PackageKeys()[0]);
  ASSERT_NE(package, nullptr);
  EXPECT_EQ(package->BusId(), u"USB\\VID_18d1&PID_4ee7");
  EXPECT_EQ(package->HardwareIds(),
            (std::vector<std::u16string>{u"USB\\VID_18d1&PID_4ee7&MI_01", u"USB\\Class_ff&SubClass_42&Prot_01"}));
  EXPECT_EQ(package->TotalSize(), 4096u);
  char16_t name[64];
  phone.GetManufName(name);
  EXPECT_EQ(std::u16string(name), u"Brand0");  // was empty
  phone.GetProductName(name);
  EXPECT_EQ(std::u16string(name), u"Pixel");  // kept
  phone.GetDriverDesc(name);
  EXPECT_EQ(std::u16string(name), u"Driver name");
  EXPECT_EQ(phone.GetClass(), 1);
  // Asking again adds the key again, but the pool keeps one package.
  EXPECT_EQ(phone.QueryDrivers(), 1);
  EXPECT_EQ(phone.PackageCount(), 2u);
  EXPECT_EQ(PackagePool::GetInstance()->PackageCount(), 1u);
}

TEST_F(QueryFixture, OnlyTheFirstOfSeveralRecordsIsUsed) {
  g_answer.records = 3;
  USBDevice phone = Phone(1, u"Maker");
  EXPECT_EQ(phone.QueryDrivers(), 1);
  EXPECT_EQ(phone.PackageCount(), 1u);
  EXPECT_EQ(phone.PackageKeys()[0][0], 0x10);
  EXPECT_EQ(g_seen.freed_count, 3);
  char16_t name[64];
  phone.GetManufName(name);
  EXPECT_EQ(std::u16string(name), u"Maker");
}

TEST_F(QueryFixture, EmptyOrFailedAnswersGiveNoPackage) {
  struct Case {
    const char* name;
    int result;
    int records;
    bool null_array;
    int frees;
  } cases[] = {
      {"success without records", 0, 0, false, 1},
      {"success with a count but no array", 0, 2, true, 0},
      {"no data", 6, 1, false, 0},
  };
  for (const Case& c : cases) {
    g_answer.result = c.result;
    g_answer.records = c.records;
    g_answer.null_array = c.null_array;
    g_seen = Seen();
    USBDevice phone = Phone();
    EXPECT_EQ(phone.QueryDrivers(), 0) << c.name;
    EXPECT_EQ(phone.PackageCount(), 0u) << c.name;
    EXPECT_EQ(g_seen.frees, c.frees) << c.name;
  }
  Kitfinder().Release();  // nothing bound: the query fails, nothing is freed
  USBDevice phone = Phone();
  EXPECT_EQ(phone.QueryDrivers(), 0);
}

TEST_F(QueryFixture, AFullMatchedIdBufferIsNotReadPastItsEnd) {
  g_answer.fill_matched = true;
  USBDevice phone = Phone();
  ASSERT_EQ(phone.QueryDrivers(), 1);
  auto package = PackagePool::GetInstance()->FindPackage(phone.PackageKeys()[0]);
  ASSERT_EQ(package->HardwareIds().size(), 1u);
  EXPECT_EQ(package->HardwareIds()[0], std::u16string(63, u'A'));
}

TEST_F(QueryFixture, AnUnclassifiedDeviceTakesItsClassFromTheDriverClassName) {
  struct Case {
    std::u16string class_name;
    int before;
    int after;
  } cases[] = {
      {u"net", 0, 8},
      {u"NetTrans", 0, 8},
      {u"Bluetooth", 0, 0x10000},
      {u"USB", 0, 0},
      {u"Net", 1, 1},  // a classified device keeps its class
  };
  for (const Case& c : cases) {
    g_answer.class_name = c.class_name;
    USBDevice device = Phone(c.before);
    device.QueryDrivers();
    EXPECT_EQ(device.GetClass(), c.after) << std::string(c.class_name.begin(), c.class_name.end());
  }
}

TEST_F(QueryFixture, ExportsReadWhileTheQueryWritesNamesClassAndKeys) {
  g_answer.class_name = u"Net";
  USBDevice device = Phone(0);
  std::atomic<bool> done{false};
  std::thread reader([&] {
    char16_t name[64];
    while (!done.load()) {
      device.GetManufName(name);
      device.GetDriverDesc(name);
      (void)device.GetClass();
      (void)device.PackageKeys();
      int count = 0;
      device.DumpHwIDs(nullptr, &count);
    }
  });
  for (int i = 0; i < 50; ++i) device.QueryDrivers();
  done = true;
  reader.join();
  EXPECT_EQ(device.PackageCount(), 50u);
  EXPECT_EQ(device.GetClass(), 8);
}

}  // namespace
}  // namespace devwarden
