#include "device_table.h"

#include <gtest/gtest.h>

#include <set>

namespace portsniffer {
namespace {

UsbDeviceInfo Phone(const std::string& devpath, uint16_t pid = 0x4ee7) {
  UsbDeviceInfo i;
  i.devpath = devpath;
  i.vendor_id = 0x18d1;
  i.product_id = pid;
  i.release = 0x0100;
  i.serial = u"SER1";
  i.manufacturer = u"Maker";
  i.product = u"Phone";
  i.declared_interfaces = 2;
  i.interfaces = {{0, 0x06, 0x01, 0x01}, {1, 0xFF, 0x42, 0x01}};
  i.devnode = "/dev/bus/usb/001/002";
  return i;
}

struct TableFixture : ::testing::Test {
  bool node_opens = true;
  DeviceTable table{[this](const std::string&) { return node_opens; }};
};

TEST_F(TableFixture, ArrivesOnlyOnceEveryInterfaceExists) {
  UsbDeviceInfo partial = Phone("/d/1-1");
  partial.interfaces.pop_back();
  EXPECT_TRUE(table.Update(partial).empty());
  EXPECT_TRUE(table.IsPending("/d/1-1"));

  auto notes = table.Update(Phone("/d/1-1"));
  ASSERT_EQ(notes.size(), 1u);
  EXPECT_EQ(notes[0].event, UD_EVENT_PLUGGED);
  const DetectedDeviceRecord& r = notes[0].record;
  EXPECT_NE(r.handle, 0);
  EXPECT_EQ(r.vendor_id, 0x18d1);
  EXPECT_EQ(r.interface_count, 2);
  auto* table_entries = reinterpret_cast<const UdInterfaceEntry*>(r.interfaces);
  EXPECT_EQ(table_entries[1].interface_class, 0xFF);
  EXPECT_EQ(std::u16string(r.serial), u"SER1");
  EXPECT_FALSE(table.IsPending("/d/1-1"));
  // Seen again unchanged: nothing; changed: one change event, same handle.
  EXPECT_TRUE(table.Update(Phone("/d/1-1")).empty());
  UsbDeviceInfo renamed = Phone("/d/1-1");
  renamed.product = u"Phone 2";
  auto change = table.Update(renamed);
  ASSERT_EQ(change.size(), 1u);
  EXPECT_EQ(change[0].event, UD_EVENT_CHANGED);
  EXPECT_EQ(change[0].record.handle, r.handle);
}

TEST_F(TableFixture, RemovalCarriesTheLastRecordAndItsInterfaces) {
  int32_t h = table.Update(Phone("/d/1-1"))[0].record.handle;
  auto notes = table.Remove("/d/1-1");
  ASSERT_EQ(notes.size(), 1u);
  EXPECT_EQ(notes[0].event, UD_EVENT_REMOVED);
  EXPECT_EQ(notes[0].record.handle, h);
  EXPECT_EQ(notes[0].record.product_id, 0x4ee7);
  auto* entries = reinterpret_cast<const UdInterfaceEntry*>(notes[0].record.interfaces);
  EXPECT_EQ(entries[1].subclass, 0x42);  // still alive through the notification
  EXPECT_TRUE(table.Remove("/d/1-1").empty());
  EXPECT_TRUE(table.Remove("/d/unknown").empty());
}

TEST_F(TableFixture, HandlesAreNeverZeroNorReusedWhileListed) {
  std::set<int32_t> live;
  for (int i = 0; i < 5; ++i) live.insert(table.Update(Phone("/d/" + std::to_string(i)))[0].record.handle);
  EXPECT_EQ(live.size(), 5u);
  table.Remove("/d/2");
  for (int i = 5; i < 9; ++i) {
    int32_t h = table.Update(Phone("/d/" + std::to_string(i)))[0].record.handle;
    EXPECT_NE(h, 0);
    EXPECT_TRUE(live.insert(h).second) << "handle " << h << " handed out twice";
  }
}

TEST_F(TableFixture, ProblemQueries) {
  struct Case {
    const char* name;
    bool authorized;
    bool node_opens;
    bool adb_query;
    int32_t status;
    int32_t problem;
  } cases[] = {
      {"healthy", true, true, true, UD_DN_DRIVER_LOADED | UD_DN_STARTED, 0},
      {"not authorised is disabled", false, true, false, UD_DN_HAS_PROBLEM, 22},
      {"adb node closed to this user", true, false, true, UD_DN_HAS_PROBLEM, 28},
      {"closed node, plain query", true, false, false, UD_DN_DRIVER_LOADED | UD_DN_STARTED, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    table.Clear();
    UsbDeviceInfo dev = Phone("/d/1-1");
    dev.authorized = c.authorized;
    if (!c.authorized) dev.interfaces.clear();  // the kernel binds nothing
    node_opens = c.node_opens;
    ASSERT_EQ(table.Update(dev).size(), 1u);  // unauthorised devices are announced at once
    UdDeviceStatus st{};
    ASSERT_TRUE(table.Status(u"usb\\vid_18D1&pid_4EE7", c.adb_query, &st));
    EXPECT_EQ(st.confirmed, 1);
    EXPECT_EQ(st.status, c.status);
    EXPECT_EQ(st.problem, c.problem);
  }
  UdDeviceStatus st{};
  EXPECT_FALSE(table.Status(u"USB\\VID_1234&PID_5678", false, &st));
  EXPECT_EQ(st.confirmed, 0);
}

TEST_F(TableFixture, RescanListsPresentAndDropsGoneDevices) {
  table.Update(Phone("/d/a"));
  UsbDeviceInfo unconfigured = Phone("/d/b", 0x1111);
  unconfigured.declared_interfaces = -1;
  unconfigured.interfaces.clear();
  auto notes = table.Rescan({unconfigured});
  ASSERT_EQ(notes.size(), 2u);
  EXPECT_EQ(notes[0].event, UD_EVENT_REMOVED);
  EXPECT_EQ(notes[0].record.product_id, 0x4ee7);
  EXPECT_EQ(notes[1].event, UD_EVENT_PRESENT);  // present devices are announced even unconfigured
  EXPECT_EQ(notes[1].record.product_id, 0x1111);
  EXPECT_EQ(table.ListedCount(), 1u);
}

TEST(RecordTest, TextsAreCutTo63Characters) {
  UsbDeviceInfo i;
  i.product = std::u16string(80, u'x');
  DetectedDeviceRecord r = MakeRecord(7, i, nullptr);
  EXPECT_EQ(std::u16string(r.product).size(), 63u);
  EXPECT_EQ(BusIdOf(0x05AC, 0x12A8), u"USB\\VID_05ac&PID_12a8");
  EXPECT_EQ(Utf8ToUtf16("\xe4\xb8\xad\xf0\x9f\x93\xb1"), std::u16string(u"\u4e2d\U0001F4F1"));
  EXPECT_EQ(Utf8ToUtf16("a\xff"), std::u16string(u"a\uFFFD"));
}

}  // namespace
}  // namespace portsniffer
