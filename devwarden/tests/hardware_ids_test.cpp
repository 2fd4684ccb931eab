#include "hardware_ids.h"

#include <gtest/gtest.h>

#include "test_records.h"

namespace devwarden {
namespace {

uint16_t BitwiseCrc16Arc(const std::string& s) {
  uint16_t crc = 0;
  for (unsigned char c : s) {
    crc ^= c;
    for (int i = 0; i < 8; ++i) crc = (crc & 1) ? (crc >> 1) ^ 0xA001 : crc >> 1;
  }
  return crc;
}

TEST(HardwareIdsTest, RowsByInterfaceKind) {
  struct Case {
    const char* name;
    DeviceRecord record;
    size_t row;
    IdRow expected;
  } cases[] = {
      {"one adb interface",
       MakeRecord(0x18d1, 0x4ee7, 0x0100, {If(0xFF, 0x42, 0x01)}),
       0,
       {u"USB\\VID_18d1&PID_4ee7&REV_0100&MI_00", u"USB\\VID_18d1&PID_4ee7&MI_00", u"USB\\Class_ff&SubClass_42&Prot_01",
        u"USB\\VID_18d1&PID_4ee7&REV_0100", u"USB\\VID_18d1&PID_4ee7"}},
      {"adb as interface 1 of 2",
       MakeRecord(0x18d1, 0x4ee7, 0x0100, {If(0x08, 0x06, 0x50), If(0xFF, 0x42, 0x03)}),
       1,
       {u"USB\\VID_18d1&PID_4ee7&REV_0100&MI_01", u"USB\\VID_18d1&PID_4ee7&MI_01", u"USB\\Class_ff&SubClass_42&Prot_03"}},
      {"other class, several interfaces",
       MakeRecord(0x18d1, 0x4ee7, 0x0100, {If(0x08, 0x06, 0x50), If(0xFF, 0x42, 0x03)}),
       0,
       {u"USB\\VID_18d1&PID_4ee7&REV_0100&MI_00", u"USB\\VID_18d1&PID_4ee7&MI_00"}},
      {"communications at index 2: MI_00 and the first interface's subclass",
       MakeRecord(0x12d1, 0x1038, 0x0228, {If(0xFF, 0x42, 0x01), If(0x08, 0x06, 0x50), If(0x02, 0x02, 0x01)}),
       2,
       {u"USB\\VID_12d1&PID_1038&REV_0228&CDC_42&MI_00", u"USB\\VID_12d1&PID_1038&REV_0228&CDC_42",
        u"USB\\VID_12d1&PID_1038&REV_0228&MI_00", u"USB\\VID_12d1&PID_1038&CDC_42&MI_00",
        u"USB\\VID_12d1&PID_1038&CDC_42", u"USB\\VID_12d1&PID_1038&Modem"}},
      {"HID keeps its interface number",
       MakeRecord(0x046d, 0xc52b, 0x1211, {If(0x03, 0x01, 0x01), If(0x03, 0x01, 0x02)}),
       1,
       {u"HID\\VID_046d&PID_c52b&REV_1211&MI_01", u"HID\\VID_046d&PID_c52b&MI_01"}},
      {"one mass-storage interface",
       MakeRecord(0x0781, 0x5581, 0x0100, {If(0x08, 0x06, 0x50)}),
       0,
       {u"USB\\VID_0781&PID_5581&REV_0100", u"USB\\VID_0781&PID_5581"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    HardwareIdLists lists = BuildHardwareIds(c.record);
    ASSERT_GT(lists.rows.size(), c.row);
    EXPECT_EQ(lists.rows.size(), c.record.interfaces().size());
    EXPECT_EQ(lists.rows[c.row], c.expected);
    EXPECT_TRUE(lists.second_rows.empty());
  }
}

TEST(HardwareIdsTest, NoInterfacesNoRows) {
  HardwareIdLists lists = BuildHardwareIds(MakeRecord(0x05ac, 0x12a8, 0x0001, {}));
  EXPECT_TRUE(lists.rows.empty());
  EXPECT_EQ(lists.bus_id, u"USB\\VID_05ac&PID_12a8");
}

TEST(HardwareIdsTest, PrinterIdHasItsCrcBeforeSpacesBecomeUnderscores) {
  EXPECT_EQ(Crc16Arc(reinterpret_cast<const uint8_t*>("123456789"), 9), 0xBB3D);
  DeviceRecord printer = MakeRecord(0x03f0, 0x2b17, 0x0100, {If(0x07, 0x01, 0x02)}, u"HP Inc", u"Laser Jet 1020");
  char crc[8];
  std::snprintf(crc, sizeof crc, "%04X", BitwiseCrc16Arc("HP IncLaser Jet 1020"));
  const std::string expected = std::string("USBPRINT\\HP_IncLaser_Jet_1020") + crc;
  EXPECT_EQ(MakePrinterId(printer), std::u16string(expected.begin(), expected.end()));
  // Only the first 20 characters of the names enter the ID.
  DeviceRecord longer = MakeRecord(0x03f0, 0x2b17, 0x0100, {If(0x07, 0x01, 0x02)}, u"Manufacturer", u"With A Long Product");
  std::snprintf(crc, sizeof crc, "%04X", BitwiseCrc16Arc("ManufacturerWith A Long Product"));
  const std::string cut = std::string("USBPRINT\\ManufacturerWith_A_L") + crc;
  EXPECT_EQ(BuildHardwareIds(longer).rows[0], IdRow{std::u16string(cut.begin(), cut.end())});
}

TEST(HardwareIdsTest, MultiStringOfARow) {
  EXPECT_EQ(RowMultiString({u"A", u"BC"}), std::u16string(u"A\0BC\0\0", 6));
  EXPECT_EQ(RowMultiString({}), std::u16string(u"\0", 1));
  // A row longer than the buffer is cut and still ends with two nulls.
  std::u16string cut = RowMultiString({u"ABCDEFGH", u"XYZ"}, 6);
  EXPECT_EQ(cut, std::u16string(u"ABCD\0\0", 6));
}

}  // namespace
}  // namespace devwarden
