#include "sysfs_reader.h"

#include <gtest/gtest.h>

#include "fake_sysfs.h"

namespace portsniffer {
namespace {

TEST(SysfsReaderTest, ReadsDeviceAttributesAndInterfacesInNumberOrder) {
  FakeSysfs fs;
  const std::string dev = "/devices/pci0000:00/usb1/1-1";
  fs.Device(dev, "18d1", "4ee7", {"060101", "ff4201"});
  fs.Attr(dev, "product", "\xe6\x89\x8b\xe6\x9c\xba");  // UTF-8 text
  fs.Attr(dev, "uevent", "MAJOR=189\nDEVNAME=bus/usb/001/005\nDEVTYPE=usb_device");
  fs.Dir(dev + "/1-1:1.0/net/usb0");

  auto info = ReadUsbDevice(fs.root(), dev);
  ASSERT_TRUE(info.has_value());
  EXPECT_EQ(info->vendor_id, 0x18d1);
  EXPECT_EQ(info->product_id, 0x4ee7);
  EXPECT_EQ(info->release, 0x0100);
  EXPECT_EQ(info->product, std::u16string(u"\u624b\u673a"));
  EXPECT_EQ(info->serial, u"0123ABC");
  EXPECT_EQ(info->declared_interfaces, 2);
  ASSERT_EQ(info->interfaces.size(), 2u);
  EXPECT_EQ(info->interfaces[1].interface_class, 0xFF);
  EXPECT_EQ(info->interfaces[1].subclass, 0x42);
  EXPECT_EQ(info->interfaces[1].protocol, 0x01);
  EXPECT_TRUE(info->Ready());
  EXPECT_EQ(info->devnode, "/dev/bus/usb/001/005");
  EXPECT_EQ(info->class_guid[0], 0x72);  // the network class: a net interface is bound
  EXPECT_EQ(info->bus_number, 1);
  EXPECT_EQ(info->device_address, 5u);
}

TEST(SysfsReaderTest, UnconfiguredAndMissingDevices) {
  FakeSysfs fs;
  fs.Attr("/devices/x/2-1", "idVendor", "05ac");
  fs.Attr("/devices/x/2-1", "idProduct", "12a8");
  fs.Attr("/devices/x/2-1", "bNumInterfaces", "");
  fs.Attr("/devices/x/2-1", "authorized", "0");
  auto info = ReadUsbDevice(fs.root(), "/devices/x/2-1");
  ASSERT_TRUE(info.has_value());
  EXPECT_EQ(info->declared_interfaces, -1);
  EXPECT_FALSE(info->authorized);
  EXPECT_TRUE(info->Ready());  // not authorised: announced without interfaces
  EXPECT_FALSE(ReadUsbDevice(fs.root(), "/devices/x/none").has_value());
  fs.Attr("/devices/x/2-2", "idVendor", "zz");
  fs.Attr("/devices/x/2-2", "idProduct", "1");
  EXPECT_FALSE(ReadUsbDevice(fs.root(), "/devices/x/2-2").has_value());
}

TEST(SysfsReaderTest, PresentDevicesComeFromTheBusListWithoutInterfaces) {
  FakeSysfs fs;
  fs.Device("/devices/pci0000:00/usb1/1-1", "18d1", "4ee7", {"ff4201"});
  fs.Device("/devices/pci0000:00/usb1/1-2", "046d", "c077", {"030102"});
  fs.Link("/devices/pci0000:00/usb1/1-1/1-1:1.0");
  auto present = ReadPresentDevices(fs.root());
  ASSERT_EQ(present.size(), 2u);
  EXPECT_EQ(present[0].devpath, "/devices/pci0000:00/usb1/1-1");
  EXPECT_EQ(present[1].vendor_id, 0x046d);
  EXPECT_EQ(ParentDevpath("/devices/pci0000:00/usb1/1-1/1-1:1.0"), "/devices/pci0000:00/usb1/1-1");
}

}  // namespace
}  // namespace portsniffer
