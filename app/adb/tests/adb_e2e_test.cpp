// The runner with Debian's adb against the simulated phone.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>

#include "app/adb/adbcmd_tool.h"
#include "app/adb/tests/closed_port.h"
#include "app/adb/tests/phone_sim_process.h"
#include "app/config/config_mgr.h"
#include "foundation/base/code_page.h"

namespace {

using testing_support::PhoneSim;

class AdbE2eTest : public ::testing::Test {
 protected:
  void SetUp() override {
    unsetenv("PHONEDECK_ADB");
    CConfigMgr::Instance()->SetInstallLocation(0);
    ASSERT_TRUE(sim_.Start({"--agent", "none"})) << sim_.Failure();
    serial_ = AnsiToWString(sim_.Field("serial"));
    tool_.SetSerial(serial_.c_str());
    tool_.SetTimeout(120000);
  }
  void TearDown() override {
    EXPECT_EQ(sim_.Errors(), "[]");
    sim_.Stop();
  }
  PhoneSim sim_;
  std::u16string serial_;
  CAdbCmdTool tool_;
};

TEST_F(AdbE2eTest, ListsThePhoneInstallsStartsAndForwards) {
  EXPECT_EQ(tool_.GetDeviceState(serial_.c_str()), 0);
  EXPECT_EQ(tool_.GetDeviceState(u"127.0.0.1:1"), 2);
  EXPECT_TRUE(tool_.HasSingleDevice());

  const std::u16string agent = AnsiToWString(testing_support::AgentApkPath(true));
  const std::u16string agent3 = AnsiToWString(testing_support::AgentApkPath(false));
  EXPECT_FALSE(tool_.IsPackageInstalled(u"com.zelvik.assist"));
  EXPECT_EQ(tool_.InstallApk(agent.c_str(), false, false), 1);
  EXPECT_TRUE(tool_.IsPackageInstalled(u"com.zelvik.assist"));
  int version = 0;
  EXPECT_TRUE(tool_.GetPackageVersionCode(u"com.zelvik.assist", &version));
  EXPECT_EQ(version, 2);
  EXPECT_EQ(tool_.InstallApk(agent3.c_str(), false, false), -3);
  EXPECT_EQ(tool_.RetryInstall(agent3.c_str(), -3, false), 1);
  EXPECT_TRUE(tool_.GetPackageVersionCode(u"com.zelvik.assist", &version));
  EXPECT_EQ(version, 3);
  EXPECT_EQ(tool_.InstallApk(agent.c_str(), true, false), -10);

  EXPECT_TRUE(tool_.StartActivity(u"com.zelvik.assist/com.zelvik.assist.MainActivity"));
  EXPECT_FALSE(tool_.StartActivity(u"com.zelvik.assist/com.zelvik.assist.Nothing"));

  // The forwards bind ports the test released: tried again with fresh ones
  // when another process took one in between.
  std::u16string list, wanted;
  for (int attempt = 0; attempt < testing_support::kPortAttempts; ++attempt) {
    wanted = AnsiToWString("tcp:" + std::to_string(testing_support::NameForwardPorts()) + " tcp:21220");
    tool_.ForwardPorts();
    ASSERT_TRUE(tool_.RunAdbCmd(serial_.c_str(), {u"forward", u"--list"}, list));
    if (list.find(wanted) != std::u16string::npos) break;
  }
  EXPECT_NE(list.find(wanted), std::u16string::npos) << WStringToAnsi(list);
  testing_support::ForgetForwardPorts();

  EXPECT_TRUE(tool_.RemovePackage(u"com.zelvik.assist"));
  EXPECT_FALSE(tool_.IsPackageInstalled(u"com.zelvik.assist"));
  EXPECT_FALSE(tool_.RemovePackage(u"com.zelvik.none"));
}

TEST_F(AdbE2eTest, InstallFailuresFromThePhone) {
  const std::u16string sample = AnsiToWString(PD_SAMPLE_APK);
  struct Case {
    const char* fault;
    int code;
  };
  const Case cases[] = {{"install=INSTALL_FAILED_INSUFFICIENT_STORAGE", -4},
                        {"install=INSTALL_FAILED_OLDER_SDK", -7},
                        {"install=INSTALL_PARSE_FAILED_INCONSISTENT_CERTIFICATES", -2},
                        {"install=NO_SPACE", -5}};
  for (const Case& c : cases) {
    ASSERT_EQ(sim_.Control(std::string("fault ") + c.fault).rfind("OK", 0), 0u);
    EXPECT_EQ(tool_.InstallApk(sample.c_str(), true, false), c.code) << c.fault;
    sim_.Control("clear");
  }
  EXPECT_EQ(tool_.InstallApk(sample.c_str(), true, false), 1);
}

TEST_F(AdbE2eTest, OfflinePhoneIsNotReady) {
  ASSERT_EQ(sim_.Control("fault offline").rfind("OK", 0), 0u);
  int state = 0;
  for (int i = 0; i < 50 && state != 1; ++i) {
    state = tool_.GetDeviceState(serial_.c_str());
    if (state != 1) usleep(200 * 1000);
  }
  EXPECT_EQ(state, 1);
  sim_.Control("clear");
}

}  // namespace
