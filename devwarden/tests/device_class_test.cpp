#include "device_class.h"

#include <gtest/gtest.h>

#include "test_records.h"

namespace devwarden {
namespace {

const uint8_t kPrinter[16] = {0x79, 0xE9, 0x36, 0x4D, 0x25, 0xE3, 0xCE, 0x11, 0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18};
const uint8_t kNetwork[16] = {0x72, 0xE9, 0x36, 0x4D, 0x25, 0xE3, 0xCE, 0x11, 0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18};
const uint8_t kImaging[16] = {0xC6, 0x1F, 0xDD, 0x6B, 0x0F, 0x81, 0xD0, 0x11, 0xBE, 0xC7, 0x08, 0x00, 0x2B, 0xE2, 0x09, 0x2F};
const uint8_t kZero[16] = {};

TEST(DeviceClassTest, TestsInOrder) {
  const std::set<uint32_t> known = {0x4ee118d1u};  // 18d1:4ee1
  const std::set<uint32_t> none;
  struct Case {
    const char* name;
    const uint8_t* guid;
    DeviceRecord record;
    bool known_set;
    int video;
    int expected;
  } cases[] = {
      {"adb interface, table empty", kZero, MakeRecord(0x18d1, 0x4ee7, 1, {If(0xFF, 0x42, 0x01)}), false, 0, 0},
      {"adb interface", kZero, MakeRecord(0x1234, 0x0001, 1, {If(0xFF, 0x42, 0x01)}), true, 0, 1},
      {"protocol 3", kZero, MakeRecord(0x1234, 0x0001, 1, {If(0xFF, 0x42, 0x03)}), true, 0, 1},
      {"known pair, no adb", kZero, MakeRecord(0x18d1, 0x4ee1, 1, {If(0x06, 0x01, 0x01)}), true, 0, 1},
      {"Apple phone", kZero, MakeRecord(0x05AC, 0x12A8, 1, {If(0x06, 0x01, 0x01)}), true, 0, 2},
      {"Apple 0x1295 is not in the list", kZero, MakeRecord(0x05AC, 0x1295, 1, {}), true, 0, 0},
      {"printer GUID", kPrinter, MakeRecord(1, 2, 1, {}), true, 0, 4},
      {"printer interface", kZero, MakeRecord(1, 2, 1, {If(0x07, 1, 2)}), true, 0, 4},
      {"network GUID", kNetwork, MakeRecord(1, 2, 1, {}), true, 0, 8},
      {"RNDIS interface", kZero, MakeRecord(1, 2, 1, {If(0xE0, 0x02, 0x03)}), true, 0, 8},
      {"imaging GUID beats video", kImaging, MakeRecord(1, 2, 1, {If(0x0E, 1, 0)}), true, 1, 16},
      {"still image interface", kZero, MakeRecord(1, 2, 1, {If(0x06, 1, 1)}), true, 0, 16},
      {"video interface", kZero, MakeRecord(1, 2, 1, {If(0x0E, 1, 0)}), true, 0, 32},
      {"audio", kZero, MakeRecord(1, 2, 1, {If(0x01, 1, 0)}), true, 0, 64},
      {"wireless controller", kZero, MakeRecord(1, 2, 1, {If(0xE0, 0x01, 0x01)}), true, 0, 128},
      {"mouse and keyboard", kZero, MakeRecord(1, 2, 1, {If(0x03, 1, 1), If(0x03, 1, 2)}), true, 0, 0x8000},
      {"boot mouse", kZero, MakeRecord(1, 2, 1, {If(0x03, 1, 2)}), true, 0, 256},
      {"boot keyboard", kZero, MakeRecord(1, 2, 1, {If(0x03, 0, 1)}), true, 0, 512},
      {"HID subclass 2 listed first", kZero, MakeRecord(1, 2, 1, {If(0x03, 2, 0), If(0x03, 1, 1)}), true, 0, 2048},
      {"interface class 0x58", kZero, MakeRecord(1, 2, 1, {If(0x58, 0, 0)}), true, 0, 4096},
      {"mass storage", kZero, MakeRecord(1, 2, 1, {If(0x08, 6, 0x50)}), true, 0, 8192},
      {"hub", kZero, MakeRecord(1, 2, 1, {If(0x09, 0, 0)}), true, 0, 0x4000},
      {"video driver found last", kZero, MakeRecord(1, 2, 1, {If(0xFF, 0xFF, 0xFF)}), true, 1, 32},
      {"nothing", kZero, MakeRecord(1, 2, 1, {If(0xFF, 0xFF, 0xFF)}), true, 0, 0},
  };
  for (Case& c : cases) {
    int video_calls = 0;
    VideoCheck video = [&](DeviceRecord*) { ++video_calls; return c.video; };
    EXPECT_EQ(ClassifyDevice(c.guid, &c.record, c.known_set ? known : none, video), c.expected) << c.name;
  }
  EXPECT_EQ(ClassifyDevice(kZero, nullptr, known, nullptr), 0);
}

TEST(DeviceClassTest, AndroidModeFirstMatchingInterfaceWins) {
  EXPECT_EQ(AndroidModeOf(MakeRecord(1, 2, 1, {If(0xFF, 0x42, 0x01)})), 0);
  EXPECT_EQ(AndroidModeOf(MakeRecord(1, 2, 1, {If(0xFF, 0x42, 0x03), If(0xFF, 0x42, 0x01)})), 1);
  EXPECT_EQ(AndroidModeOf(MakeRecord(1, 2, 1, {If(0xFF, 0x42, 0x02)})), -1);
  EXPECT_EQ(AndroidModeOf(MakeRecord(1, 2, 1, {})), -1);
}

TEST(DeviceClassTest, VideoCheckWithoutVideoDevicesFindsNothing) {
  DeviceRecord r = MakeRecord(0xdead, 0xbeef, 1, {});
  EXPECT_EQ(CheckVideoID(&r), 0);
  EXPECT_EQ(r.raw().description[0], 0);
}

}  // namespace
}  // namespace devwarden
