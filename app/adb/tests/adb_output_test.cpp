// Readers of adb and aapt output, over outputs as the real tools print them.
#include "app/adb/adb_output.h"

#include <gtest/gtest.h>

namespace adb {
namespace {

TEST(SplitLinesTest, SplitsAtNewlineAndDropsCarriageReturn) {
  EXPECT_EQ(SplitLines(u"a\nb\r\n\r\nc"), (std::vector<std::u16string>{u"a", u"b", u"", u"c"}));
  EXPECT_TRUE(SplitLines(u"").empty());
}

struct StateCase {
  const char* name;
  std::u16string output;
  std::u16string serial;
  DeviceState expected;
};

TEST(DeviceStateTest, ExactSerialAndStateWord) {
  const std::u16string header = u"List of devices attached\n";
  const StateCase cases[] = {
      {"ready", header + u"127.0.0.1:41234\tdevice\n\n", u"127.0.0.1:41234", kDeviceReady},
      {"not listed", header + u"127.0.0.1:41234\tdevice\n\n", u"ZX1G22", kDeviceNotListed},
      {"unauthorized", header + u"ZX1G22\tunauthorized\n", u"ZX1G22", kDeviceNotReady},
      {"offline", header + u"ZX1G22\toffline\n", u"ZX1G22", kDeviceNotReady},
      {"unknown word", header + u"ZX1G22\tbootloader\n", u"ZX1G22", kDeviceNotListed},
      // The udev hint mentions "device" in its link: still not ready.
      {"no permissions",
       header + u"ZX1G22\tno permissions (user in plugdev group; are your udev rules wrong?); see "
                u"[http://developer.android.com/tools/device.html]\n",
       u"ZX1G22", kDeviceNotReady},
      // A serial that is a prefix of another's is not that device.
      {"prefix of a listed serial", header + u"ZX1G22B\tdevice\n", u"ZX1G22", kDeviceNotListed},
      {"second of two", header + u"A1\toffline\nB2\tdevice\n", u"B2", kDeviceReady},
      {"windows line ends", u"List of devices attached\r\nZX1G22\tdevice\r\n\r\n", u"ZX1G22", kDeviceReady},
      {"empty serial", header + u"ZX1G22\tdevice\n", u"", kDeviceNotListed},
      {"daemon notes", u"* daemon not running; starting now at tcp:5037\n* daemon started successfully\n" +
                           header + u"ZX1G22\tdevice\n",
       u"ZX1G22", kDeviceReady},
      {"no output", u"", u"ZX1G22", kDeviceNotListed},
  };
  for (const StateCase& c : cases) {
    EXPECT_EQ(DeviceStateIn(c.output, c.serial), c.expected) << c.name;
  }
}

TEST(DeviceStateTest, ListKeepsSerialsWithoutTab) {
  auto devices = ParseDeviceList(u"List of devices attached\nA1\tdevice\nB2\toffline\n\n");
  ASSERT_EQ(devices.size(), 2u);
  EXPECT_EQ(devices[0].serial, u"A1");
  EXPECT_EQ(devices[1].state, u"offline");
}

TEST(InstallOutputTest, CodesInTheFixedOrder) {
  struct Case {
    std::u16string output;
    int code;
  };
  const Case cases[] = {
      {u"\tpkg: /data/local/tmp/a.apk\r\nSuccess\r\n", 1},
      {u"Performing Streamed Install\nSuccess\n", 1},
      {u"\tpkg: /data/local/tmp/a.apk\r\nFailure [INSTALL_FAILED_INSUFFICIENT_STORAGE]\r\n", -4},
      {u"Failure [INSTALL_FAILED_ALREADY_EXISTS]\r\n", -3},
      {u"Failure [INSTALL_PARSE_FAILED_INCONSISTENT_CERTIFICATES]\r\n", -2},
      {u"Failure [INSTALL_FAILED_OLDER_SDK]\r\n", -7},
      {u"Failure [INSTALL_CANCELED_BY_USER]\r\n", -8},
      {u"Failure [INSTALL_FAILED_INVALID_APK]\r\n", -9},
      {u"Failure [INSTALL_FAILED_VERSION_DOWNGRADE]\r\n", -10},
      {u"Failure [INSTALL_FAILED_MEDIA_UNAVAILABLE]\r\n", -5},
      {u"adb: error: failed to copy 'a.apk' to '/data/local/tmp/a.apk': remote No space left on device\n", -5},
      {u"Failure [INSTALL_FAILED_DUPLICATE_PERMISSION]\r\n", -1},
      {u"error: device offline\n", -1},
      {u"", -1},
      // Both a success and a failure text: success wins.
      {u"Failure [INSTALL_FAILED_INSUFFICIENT_STORAGE]\r\nSuccess\r\n", 1},
  };
  for (const Case& c : cases) EXPECT_EQ(MapInstallOutput(c.output), c.code) << std::string(c.output.begin(), c.output.end());
}

TEST(InstallOutputTest, UserTexts) {
  EXPECT_EQ(InstallErrorText(-4), u"手机容量不足！");
  EXPECT_EQ(InstallErrorText(-5), u"手机容量不足！");
  EXPECT_EQ(InstallErrorText(-6), u"安装包路径错误！");
  EXPECT_EQ(InstallErrorText(-10), u"安装版本比当前版本低！");
  EXPECT_EQ(InstallErrorText(-1), u"安装失败！");
  EXPECT_EQ(InstallErrorText(-99), u"安装失败！");
}

TEST(PackageListTest, WholeLineOnly) {
  const std::u16string output = u"package:com.zelvik.assistant\r\npackage:com.zelvik.demo.notes\r\n";
  EXPECT_FALSE(PackageListed(output, u"com.zelvik.assist"));
  EXPECT_TRUE(PackageListed(output, u"com.zelvik.assistant"));
  EXPECT_TRUE(PackageListed(output, u"com.zelvik.demo.notes"));
  EXPECT_FALSE(PackageListed(output, u""));
}

TEST(VersionCodeTest, Dumpsys) {
  int v = -1;
  EXPECT_TRUE(ParseVersionCode(u"Packages:\r\n  Package [x] (41a):\r\n    versionCode=23 targetSdk=19\r\n", &v));
  EXPECT_EQ(v, 23);
  EXPECT_FALSE(ParseVersionCode(u"", &v));
  EXPECT_FALSE(ParseVersionCode(u"    versionCode=\r\n", &v));
  EXPECT_FALSE(ParseVersionCode(u"versionCode=abc", &v));
  EXPECT_FALSE(ParseVersionCode(u"versionCode=99999999999", &v));
}

TEST(BadgingTest, QuotedValues) {
  const std::u16string badging =
      u"package: name='com.zelvik.demo.sample' versionCode='7' versionName='5.0' "
      u"platformBuildVersionName=''\n"
      u"application-label:'示例应用'\n"
      u"application: label='示例应用' icon='res/drawable/icon.png'\n"
      u"launchable-activity: name='com.zelvik.demo.sample.MainActivity'  label='' icon=''\n";
  EXPECT_EQ(BadgingValue(badging, u"package: name="), u"com.zelvik.demo.sample");
  EXPECT_EQ(BadgingValue(badging, u"versionCode="), u"7");
  EXPECT_EQ(BadgingValue(badging, u"versionName="), u"5.0");
  EXPECT_EQ(BadgingValue(badging, u"missing="), u"");
  const std::u16string info = FilterBadgingInfoLines(badging);
  EXPECT_EQ(info.find(u"launchable-activity"), std::u16string::npos);
  EXPECT_EQ(info.find(u"application-label"), std::u16string::npos);
  EXPECT_EQ(BadgingValue(info, u"label="), u"示例应用");
  EXPECT_EQ(BadgingValue(info, u"icon="), u"res/drawable/icon.png");
  // An unterminated quote gives nothing rather than the rest of the text.
  EXPECT_EQ(BadgingValue(u"package: name='abc", u"package: name="), u"");
}

}  // namespace
}  // namespace adb
