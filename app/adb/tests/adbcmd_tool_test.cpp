// CAdbCmdTool through a fake adb (a script that records its arguments and
// prints canned output) and the real aapt on built packages.
#include "app/adb/adbcmd_tool.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include "app/adb/phone_ports.h"
#include "app/adb/tests/temp_folder.h"
#include "app/config/config_mgr.h"
#include "foundation/base/code_page.h"
#include "foundation/base/log.h"

namespace {

using testing_support::TempFolder;

// The fake prints <dir>/out_<first word> (out_shell_<second word> for
// "shell") and records each call as one line in <dir>/calls.
class FakeAdbTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(dir_.path().empty());
    const std::string d = dir_.path();
    fake_ = dir_.Script("adb",
                        "echo \"$*\" >> '" + d + "/calls'\n"
                        "[ \"$1\" = -s ] && shift 2\n"
                        "f='" + d + "/out_'\"$1\"\n"
                        "[ \"$1\" = shell ] && f='" + d + "/out_shell_'\"$2\"\n"
                        "[ -f \"$f\" ] && cat \"$f\"\n"
                        "exit 0\n");
    setenv("PHONEDECK_ADB", fake_.c_str(), 1);
    CConfigMgr::Instance()->SetInstallLocation(0);
  }
  void TearDown() override {
    unsetenv("PHONEDECK_ADB");
    unsetenv("PHONEDECK_AAPT");
    CConfigMgr::Instance()->SetInstallLocation(0);
  }
  void Output(const std::string& name, const std::string& text) { dir_.Write("out_" + name, text); }
  std::string Calls() { return dir_.Read("calls"); }

  TempFolder dir_;
  std::string fake_;
  CAdbCmdTool tool_;
};

TEST_F(FakeAdbTest, DeviceStateAndList) {
  Output("devices", "List of devices attached\nZX1G22\tdevice\nEMU5554\tunauthorized\n\n");
  EXPECT_EQ(tool_.GetDeviceState(u"ZX1G22"), 0);
  EXPECT_EQ(tool_.GetDeviceState(u"EMU5554"), 1);
  EXPECT_EQ(tool_.GetDeviceState(u"ZX1G2"), 2);
  EXPECT_EQ(tool_.GetDeviceState(u""), 2);
  EXPECT_EQ(tool_.GetDeviceState(nullptr), 2);
  EXPECT_TRUE(tool_.ListDevices());
  ASSERT_EQ(tool_.GetDeviceMap().size(), 1u);
  EXPECT_EQ(tool_.GetDeviceMap().begin()->first, u"ZX1G22");
  EXPECT_TRUE(tool_.HasSingleDevice());
}

TEST_F(FakeAdbTest, InstallWithoutSerialNeedsExactlyOnePhone) {
  Output("devices", "List of devices attached\nA1\tdevice\nB2\tdevice\n\n");
  Output("install", "Success\n");
  EXPECT_EQ(tool_.InstallApk(u"/tmp/a.apk", true, false), -1);
  EXPECT_EQ(Calls(), "devices\n");  // adb install never ran
  EXPECT_FALSE(tool_.RemovePackage(u"com.x"));
}

TEST_F(FakeAdbTest, RetryAfterFailureUsesTheLocationOption) {
  tool_.SetSerial(u"ZX1G22");
  CConfigMgr::Instance()->SetInstallLocation(2);
  Output("install", "\tpkg: /data/local/tmp/a b.apk\r\nFailure [INSTALL_FAILED_INSUFFICIENT_STORAGE]\r\n");
  EXPECT_EQ(tool_.InstallApk(u"/tmp/dir x/a b.apk", false, true), -4);
  EXPECT_EQ(tool_.RetryInstall(u"/tmp/dir x/a b.apk", -1, true), -4);
  EXPECT_EQ(tool_.RetryInstall(u"/tmp/dir x/a b.apk", -3, true), -4);
  EXPECT_EQ(Calls(),
            "-s ZX1G22 install /tmp/dir x/a b.apk\n"
            "-s ZX1G22 install -r -s /tmp/dir x/a b.apk\n"
            "-s ZX1G22 install -r /tmp/dir x/a b.apk\n");
}

TEST_F(FakeAdbTest, RetryAfterCertificateMismatchRemovesThenReinstalls) {
  tool_.SetSerial(u"S1");
  const std::string aapt = dir_.Script("aapt", "echo \"package: name='com.zelvik.demo.notes' versionCode='12'\"\n");
  setenv("PHONEDECK_AAPT", aapt.c_str(), 1);
  Output("shell_pm", "Success\r\n");
  Output("install", "Success\r\n");
  EXPECT_EQ(tool_.RetryInstall(u"/tmp/n.apk", -2, false), 1);
  EXPECT_EQ(Calls(), "-s S1 shell pm uninstall com.zelvik.demo.notes\n-s S1 install -r /tmp/n.apk\n");
}

TEST_F(FakeAdbTest, PackageQueries) {
  tool_.SetSerial(u"S1");
  Output("shell_pm", "package:com.zelvik.assistant\r\npackage:com.zelvik.demo.notes\r\n");
  EXPECT_FALSE(tool_.IsPackageInstalled(u"com.zelvik.assist"));
  EXPECT_TRUE(tool_.IsPackageInstalled(u"com.zelvik.demo.notes"));
  Output("shell_dumpsys", "Packages:\r\n  Package [com.zelvik.assist] (41a):\r\n    versionCode=23 targetSdk=19\r\n");
  int version = 0;
  EXPECT_TRUE(tool_.GetPackageVersionCode(u"com.zelvik.assist", &version));
  EXPECT_EQ(version, 23);
  Output("shell_dumpsys", "");
  EXPECT_FALSE(tool_.GetPackageVersionCode(u"com.zelvik.none", &version));
  Output("shell_am", "Starting: Intent { cmp=a/.B }\r\nError type 3\r\nError: Activity class {a/a.B} does not exist.\r\n");
  EXPECT_FALSE(tool_.StartActivity(u"a/.B"));
  Output("shell_am", "Starting: Intent { cmp=com.zelvik.assist/.MainActivity }\r\n");
  EXPECT_TRUE(tool_.StartActivity(u"com.zelvik.assist/.MainActivity"));
}

TEST_F(FakeAdbTest, ForwardPortsUsesTheConfiguredLocalPorts) {
  tool_.SetSerial(u"S1");
  setenv("PHONEDECK_FTP_PORT", "31210", 1);
  setenv("PHONEDECK_FTP_PASSIVE_PORT", "31211", 1);
  setenv("PHONEDECK_AGENT_PORT", "31220", 1);
  tool_.ForwardPorts();
  unsetenv("PHONEDECK_FTP_PORT");
  unsetenv("PHONEDECK_FTP_PASSIVE_PORT");
  unsetenv("PHONEDECK_AGENT_PORT");
  tool_.ForwardPorts();
  EXPECT_EQ(Calls(),
            "-s S1 forward tcp:31210 tcp:21210\n-s S1 forward tcp:31211 tcp:21211\n-s S1 forward tcp:31220 tcp:21220\n"
            "-s S1 forward tcp:21210 tcp:21210\n-s S1 forward tcp:21211 tcp:21211\n-s S1 forward tcp:21220 tcp:21220\n");
}

TEST_F(FakeAdbTest, HungAdbFailsAtTheTimeOut) {
  dir_.Script("adb", "exec sleep 30\n");
  tool_.SetTimeout(300);
  EXPECT_EQ(tool_.GetDeviceState(u"S1"), 2);
  tool_.SetSerial(u"S1");
  EXPECT_EQ(tool_.InstallApk(u"/tmp/a.apk", true, false), -1);
}

TEST(AdbCmdToolTest, MissingAdbFailsEveryCommandAndSaysSo) {
  TempFolder dir;
  mkdir(dir.File("log").c_str(), 0755);
  setenv("PHONEDECK_PROGRAM_DIR", dir.path().c_str(), 1);
  ASSERT_TRUE(base::BaseLog::GetInstance()->Open("log/adb.log"));
  setenv("PHONEDECK_ADB", "/nonexistent/adb", 1);
  {
    CAdbCmdTool tool;
    tool.SetSerial(u"S1");
    EXPECT_EQ(tool.GetDeviceState(u"S1"), 2);
    EXPECT_FALSE(tool.ListDevices());
    EXPECT_EQ(tool.InstallApk(u"/tmp/a b.apk", true, false), -1);
    EXPECT_FALSE(tool.IsPackageInstalled(u"com.x"));
  }
  base::BaseLog::GetInstance()->Close();
  unsetenv("PHONEDECK_ADB");
  unsetenv("PHONEDECK_PROGRAM_DIR");
  const std::string log = dir.Read("log/adb.log");
  EXPECT_NE(log.find("(adbcmd_tool:"), std::string::npos);
  EXPECT_NE(log.find("cmd code: \"/nonexistent/adb\" devices "), std::string::npos) << log;
  EXPECT_NE(log.find("CreateProcess failed(\"/nonexistent/adb\" -s S1 install -r \"/tmp/a b.apk\")(2)"),
            std::string::npos) << log;
  EXPECT_NE(log.find("RunAdbCmd failed: "), std::string::npos);
}

TEST(AdbCmdToolTest, ToolsFromEnvironmentThenProgramFolderThenPath) {
  TempFolder dir;
  mkdir(dir.File("adb").c_str(), 0755);
  const std::string own = dir.Script("adb/adb", "echo own\n");
  setenv("PHONEDECK_PROGRAM_DIR", dir.path().c_str(), 1);
  unsetenv("PHONEDECK_ADB");
  unsetenv("PHONEDECK_AAPT");
  EXPECT_EQ(adb::AdbProgram(), own);
  EXPECT_EQ(adb::AaptProgram(), "aapt");  // no copy of its own: Debian's
  setenv("PHONEDECK_ADB", "/opt/x/adb", 1);
  EXPECT_EQ(adb::AdbProgram(), "/opt/x/adb");
  unsetenv("PHONEDECK_ADB");
  unsetenv("PHONEDECK_PROGRAM_DIR");
  EXPECT_EQ(adb::AdbProgram(), "adb");
}

// The real aapt on the packages the build makes.
TEST(AaptTest, BadgingOfBuiltPackages) {
  CAdbCmdTool tool;
  const std::u16string sample = AnsiToWString(PD_SAMPLE_APK);
  EXPECT_EQ(tool.GetApkPackageName(sample.c_str()), u"com.zelvik.demo.sample");
  int version = 0;
  EXPECT_TRUE(tool.GetApkVersionCode(sample.c_str(), &version));
  EXPECT_EQ(version, 5);
  ApkBadgingInfo info;
  const std::u16string agent = AnsiToWString(std::string(PD_BINARY_DIR) + "/bin/apk/com.zelvik.assist.apk");
  ASSERT_TRUE(tool.ReadApkInfo(agent.c_str(), &info));
  EXPECT_EQ(info.package_name, u"com.zelvik.assist");
  EXPECT_EQ(info.version_code, u"3");
  EXPECT_EQ(info.label, u"Zelvik手游助手");
  EXPECT_EQ(info.icon, u"res/drawable/icon.png");
}

TEST(AaptTest, BrokenAndMissingFiles) {
  TempFolder dir;
  const std::string broken = dir.Write("broken.apk", "PK\x03\x04 this is not a package");
  const std::string empty = dir.Write("empty.apk", "");
  CAdbCmdTool tool;
  for (const std::string& file : {broken, empty, dir.File("missing.apk")}) {
    const std::u16string path = AnsiToWString(file);
    EXPECT_EQ(tool.GetApkPackageName(path.c_str()), u"") << file;
    int version = -7;
    EXPECT_FALSE(tool.GetApkVersionCode(path.c_str(), &version)) << file;
    EXPECT_EQ(version, -7);
    ApkBadgingInfo info;
    tool.ReadApkInfo(path.c_str(), &info);
    EXPECT_EQ(info.package_name, u"") << file;
  }
}

TEST(UnzipTest, IconOutOfAPackage) {
  setenv("PHONEDECK_PROGRAM_DIR", PD_BIN_DIR, 1);
  TempFolder dir;
  CAdbCmdTool tool;
  const std::u16string apk = AnsiToWString(PD_SAMPLE_APK);
  const std::u16string dest = AnsiToWString(dir.File("icon.png"));
  ASSERT_TRUE(tool.UnzipFromApk(apk.c_str(), u"res/drawable/icon.png", dest.c_str()));
  EXPECT_EQ(dir.Read("icon.png").substr(1, 3), "PNG");
  EXPECT_FALSE(tool.UnzipFromApk(apk.c_str(), u"res/none.png", dest.c_str()));
  unsetenv("PHONEDECK_PROGRAM_DIR");
}

}  // namespace
