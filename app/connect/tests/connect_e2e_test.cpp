// The program's back end end to end, without windows: devwarden (loaded
// beside fake detection libraries) reports a synthetic Android phone whose
// serial is the simulated phone's, the connection manager runs its attempt
// with the real adb against the simulator, and the posted states are read
// from the message sink. Then the link is kept alive and a screenshot is
// taken through the real adb server.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <thread>

#include "app/adb/adbcmd_tool.h"
#include "app/adb/phone_ports.h"
#include "app/adb/tests/phone_sim_process.h"
#include "app/connect/adb_screenshot.h"
#include "app/connect/check_tcp_thread.h"
#include "app/connect/connect_mgr.h"
#include "app/connect/tests/connect_test_support.h"
#include "app/connect/tests/devwarden_beside_fakes.h"
#include "app/image/tests/png_read.h"
#include "foundation/base/code_page.h"
#include "platform/process_list.h"

namespace {

using connect_test::DevwardenBesideFakes;
using connect_test::PostLog;
using connect_test::ProgramSetup;
using testing_support::PhoneSim;

constexpr int32_t kHandle = 0x4001;

class ConnectE2eTest : public ::testing::Test {
 protected:
  // Starts the phone with `flags` (plus any faults set before plugging) and
  // the back end. The simulator picks free PC ports for the agent forwards
  // (checked when it makes them); the program forwards the same ports again.
  void Begin(std::vector<std::string> flags, const std::vector<std::string>& faults = {}) {
    unsetenv("PHONEDECK_ADB");
    flags.push_back("--forward");
    ASSERT_TRUE(sim_.Start(flags)) << sim_.Failure();
    sim_.ExportForwardedPorts();
    for (const std::string& fault : faults) ASSERT_EQ(sim_.Control("fault " + fault).rfind("OK", 0), 0u) << fault;
    const std::string apk_folder = setup_.folder().path() + "/apk";
    ASSERT_EQ(std::system(("mkdir -p '" + apk_folder + "' && cp '" + testing_support::AgentApkPath() + "' '" +
                           apk_folder + "/com.zelvik.assist.apk'").c_str()),
              0);
    CConfigMgr::Instance()->Init();
    // A fresh folder per start: a library file is never overwritten while mapped.
    const std::string devwarden_folder = setup_.folder().path() + "/devwarden" + std::to_string(++starts_);
    ASSERT_EQ(std::system(("mkdir -p '" + devwarden_folder + "'").c_str()), 0);
    devwarden_ = std::make_unique<DevwardenBesideFakes>(devwarden_folder);
    ASSERT_TRUE(devwarden_->ok());
    manager_ = std::make_unique<CConnectMgr>(devwarden_->api());
    manager_->Start();
    // Detection is up once the manager's start thread has run PNP_Start.
    ASSERT_TRUE(devwarden_->WaitDetectionStarted(30000));
  }
  void TearDown() override {
    manager_.reset();
    devwarden_.reset();
    sim_.Stop();
  }
  std::u16string Serial() const { return AnsiToWString(sim_.Field("serial")); }
  // Plugs the phone in and waits for the attempt's final state.
  std::vector<int> Attempt(const std::u16string& serial, bool adb_interface = true) {
    EXPECT_TRUE(devwarden_->PlugPhone(kHandle, serial, adb_interface));
    EXPECT_TRUE(posts_.WaitFor(-1, 60000));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    return posts_.States();
  }
  int InstalledAgentVersion() {
    int version = 0;
    CAdbCmdTool::Instance()->SetSerial(Serial().c_str());
    return CAdbCmdTool::Instance()->GetPackageVersionCode(kAgentPackage, &version) ? version : -1;
  }

  ProgramSetup setup_;
  PhoneSim sim_;
  std::unique_ptr<DevwardenBesideFakes> devwarden_;
  std::unique_ptr<CConnectMgr> manager_;
  PostLog posts_;
  int starts_ = 0;
};

const std::vector<int> kReady = {1, 2, 4, 6, 9, 17};
const std::vector<int> kInstalled = {1, 2, 4, 6, 7, 9, 17};

TEST_F(ConnectE2eTest, PhoneWithCurrentAgentReachesSuccessAndStaysAlive) {
  ASSERT_NO_FATAL_FAILURE(Begin({"--agent", "current"}));
  EXPECT_EQ(Attempt(Serial()), kReady);
  for (const PostedMessage& m : posts_.All()) EXPECT_EQ(m.wParam, static_cast<uintptr_t>(kHandle));
  std::u16string serial, manufacturer, product, vid, pid;
  manager_->GetCurrentDeviceStrings(serial, manufacturer, product, vid, pid);
  EXPECT_EQ(WStringToAnsi(serial + u"|" + manufacturer + u"|" + product + u"|" + vid + u"|" + pid),
            sim_.Field("serial") + "|Zelvik|Z1 Sim|18d1|4ee7");  // as devwarden writes the ids
  EXPECT_EQ(setup_.ConnectStatuses(2), (std::vector<std::string>{"kConn_Start", "kConn_Sucess"}));
  EXPECT_TRUE(setup_.ApkStatBodies().empty()) << "nothing installed";

  // The main window's answer to the success state.
  ASSERT_NE(manager_->CreatePhone(), nullptr);
  EXPECT_TRUE(manager_->IsConnected());

  // The link stays alive: keep-alive checks through the program's forward.
  CCheckTcpThread keep_alive;
  EXPECT_EQ(keep_alive.CheckTcp(), 0);
  ASSERT_TRUE(keep_alive.Start());
  std::this_thread::sleep_for(std::chrono::milliseconds(3500));
  keep_alive.Stop();
  EXPECT_EQ(keep_alive.GetFailed(), 0);
  EXPECT_TRUE(manager_->CheckAgent());

  // A screenshot through the real adb server: the phone's known picture.
  ScreenShotSource source(sim_.Field("serial"));
  ScreenShotResult shot = AdbScreenShot(source, nullptr);
  ASSERT_NE(shot.bitmap, nullptr);
  ASSERT_EQ(shot.bitmap->width, 320);
  ASSERT_EQ(shot.bitmap->height, 480);
  int wrong = 0;
  for (int y = 0; y < 480; ++y) {
    for (int x = 0; x < 320; ++x) {
      const uint32_t want = 0xFF000000u | static_cast<uint32_t>(x * 255 / 319) << 16 |
                            static_cast<uint32_t>(y * 255 / 479) << 8 | 0x80u;
      wrong += shot.bitmap->pixels[static_cast<size_t>(y) * 320 + static_cast<size_t>(x)] != want;
    }
  }
  EXPECT_EQ(wrong, 0);
  const std::string png = setup_.folder().path() + "/shot.png";
  EXPECT_TRUE(AdbScreenShot(source, AnsiToWString(png).c_str()).saved);
  image_test::Picture picture;
  ASSERT_TRUE(image_test::ReadPng(png, &picture));
  EXPECT_EQ(picture.pixels, shot.bitmap->pixels);
  EXPECT_EQ(sim_.Errors(), "[]");

  // Unplugged: state 19 and the phone is dropped.
  posts_.Clear();
  ASSERT_TRUE(devwarden_->Unplug(kHandle));
  EXPECT_EQ(posts_.States(), std::vector<int>{kConn_Phone_Remove});
  EXPECT_EQ(manager_->GetPhone(), nullptr);
}

TEST_F(ConnectE2eTest, AgentIsInstalledWhenMissingOrOlder) {
  struct Case {
    const char* agent;
  } cases[] = {{"none"}, {"old"}};
  size_t reports = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.agent);
    ASSERT_NO_FATAL_FAILURE(Begin({"--agent", c.agent}));
    EXPECT_EQ(Attempt(Serial()), kInstalled);
    EXPECT_EQ(InstalledAgentVersion(), 3) << "the shipped package";
    const std::vector<std::string> apk = setup_.ApkStatBodies();
    ASSERT_EQ(apk.size(), reports + 1);
    EXPECT_NE(apk.back().find("\"result\" : \"success\""), std::string::npos);
    EXPECT_NE(apk.back().find("\"appname\" : \"Zelvik手游助手\""), std::string::npos);
    reports = apk.size();
    EXPECT_EQ(sim_.Errors(), "[]");
    TearDown();
    posts_.Clear();
  }
}

// The program asks for the phone's name (the model query, which first ends
// stray adb copies of the user's) while its own adb install runs: the
// install completes, and a stray copy of the same name is ended. The
// program's adb is a copy under a name of this test's own, which the sweep
// is told to look for; no other adb is touched.
TEST_F(ConnectE2eTest, AnInstallRunningWhileTheModelQueryRunsCompletes) {
  ASSERT_NO_FATAL_FAILURE(Begin({"--agent", "current"}));
  EXPECT_EQ(Attempt(Serial()), kReady);
  const std::string dir = setup_.folder().path() + "/adb-copies";
  const std::string name = "pdownadb" + std::to_string(getpid());
  ASSERT_EQ(std::system(("mkdir -p '" + dir + "/stray' && cp \"$(readlink -f \"$(command -v adb)\")\" '" + dir + "/" +
                         name + "' && cp /bin/sleep '" + dir + "/stray/" + name + "'")
                            .c_str()),
            0);
  setenv("PHONEDECK_ADB", (dir + "/" + name).c_str(), 1);
  setenv("PHONEDECK_STRAY_ADB_NAMES", name.c_str(), 1);

  ASSERT_EQ(sim_.Control("fault installhold").rfind("OK", 0), 0u);
  const std::u16string sample = AnsiToWString(PD_SAMPLE_APK);
  std::atomic<int> installed{0};
  std::thread install([&] { installed = CAdbCmdTool::Instance()->InstallApk(sample.c_str(), true, false); });
  bool held = false;
  for (int i = 0; i < 600 && !held; ++i) {
    held = sim_.Control("held") == "OK 1";
    if (!held) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  // A copy the program did not start: its starter ends at once and init adopts it.
  ASSERT_EQ(std::system(("'" + dir + "/stray/" + name + "' 60 & echo $! > '" + dir + "/stray.pid'").c_str()), 0);
  pid_t stray = 0;
  std::ifstream(dir + "/stray.pid") >> stray;
  bool stray_runs = false;
  for (int i = 0; i < 500 && !stray_runs; ++i) {
    for (const platform::ProcessEntry& p : platform::ListProcesses())
      stray_runs = stray_runs || (p.pid == stray && p.image_path == dir + "/stray/" + name);
    if (!stray_runs) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  if (held && stray_runs) {
    // Two queries: each ends one process of the name at most.
    for (int i = 0; i < 2; ++i) manager_->GetPhoneDisplayName(Serial());
    EXPECT_TRUE(platform::IsProcessGone(stray)) << "the stray copy still runs";
    EXPECT_EQ(sim_.Control("held"), "OK 1") << "the install ended while the query ran";
  }
  sim_.Control("clear installhold");
  install.join();
  if (stray > 0 && !platform::IsProcessGone(stray)) platform::EndProcesses({stray}, std::chrono::seconds(3));
  unsetenv("PHONEDECK_ADB");
  unsetenv("PHONEDECK_STRAY_ADB_NAMES");
  ASSERT_TRUE(held) << "the install never reached the phone";
  ASSERT_TRUE(stray_runs) << "the stray copy did not start";
  EXPECT_EQ(installed, adb::kInstallSuccess);
  EXPECT_TRUE(CAdbCmdTool::Instance()->IsPackageInstalled(u"com.zelvik.demo.sample"));
  EXPECT_EQ(sim_.Errors(), "[]");
}

TEST_F(ConnectE2eTest, StoppedAgentIsStartedAndPolled) {
  ASSERT_NO_FATAL_FAILURE(Begin({"--agent", "stopped"}));
  EXPECT_EQ(Attempt(Serial()), kReady);
}

// The failure states: each fault of the phone ends the attempt where it should.
TEST_F(ConnectE2eTest, FaultsEndInTheirFailureStates) {
  struct Case {
    const char* name;
    std::vector<std::string> flags;
    std::vector<std::string> faults;
    bool known_serial;
    std::vector<int> states;
  } cases[] = {
      {"install fails", {"--agent", "none"}, {"install=INSTALL_FAILED_INSUFFICIENT_STORAGE"}, true, {1, 2, 4, 6, 7, 9, 8}},
      {"agent refuses after its start", {"--agent", "stopped"}, {"refuse"}, true, {1, 2, 4, 6, 9, 15}},
      {"adb never lists the phone", {"--agent", "current"}, {}, false, {1, 2, 4, 16}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_NO_FATAL_FAILURE(Begin(c.flags, c.faults));
    EXPECT_EQ(Attempt(c.known_serial ? Serial() : u"NOT-A-PHONE"), c.states);
    TearDown();
    posts_.Clear();
  }
}

TEST_F(ConnectE2eTest, OfflinePhoneEndsInState5) {
  ASSERT_NO_FATAL_FAILURE(Begin({"--agent", "current"}));
  ASSERT_EQ(sim_.Control("fault offline").rfind("OK", 0), 0u);
  // Wait until adb sees the phone offline.
  const std::u16string serial = Serial();
  int state = adb::kDeviceReady;
  for (int i = 0; i < 100 && state != adb::kDeviceNotReady; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    state = CAdbCmdTool::Instance()->GetDeviceState(serial.c_str());
  }
  ASSERT_EQ(state, adb::kDeviceNotReady);
  EXPECT_EQ(Attempt(serial), (std::vector<int>{1, 2, 4, 5}));
}

TEST_F(ConnectE2eTest, DebuggingOffEndsInState3) {
  ASSERT_NO_FATAL_FAILURE(Begin({"--agent", "current"}));
  EXPECT_EQ(Attempt(Serial(), false), (std::vector<int>{1, 2, 3}));
}

}  // namespace
