// The phone facade and the app manager end to end: the real adb against the
// simulated phone. First the app manager alone (list, icons, install and
// removal outcomes by the phone's fault modes), then the whole back end:
// devwarden reports the phone, the connection manager connects it, the
// test answers the states as the main window does (17: create the phone;
// 1226: reconnect), and the phone's going away is noticed.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <fstream>
#include <mutex>

#include "app/adb/adbcmd_tool.h"
#include "app/adb/tests/phone_sim_process.h"
#include "app/adb/tests/program_at_sim.h"
#include "app/agent/socket_thread.h"
#include "app/connect/connect_mgr.h"
#include "app/connect/tests/connect_test_support.h"
#include "app/connect/tests/devwarden_beside_fakes.h"
#include "app/data/phone.h"
#include "app/data/tests/data_test_support.h"
#include "app/data/tests/sim_phone.h"
#include "foundation/base/code_page.h"
#include "foundation/base/crc32.h"
#include "foundation/base/file_util.h"

namespace {

using testing_support::PhoneSim;

const uint32_t kSampleKey = Utf16LeCrc32(u"com.zelvik.demo.sample");
const std::vector<std::u16string> kUserApps = {u"com.zelvik.demo.blocks", u"com.zelvik.demo.notes",
                                               u"com.zelvik.demo.weather"};

std::vector<std::u16string> Packages(const std::vector<AppRecord>& list) {
  std::vector<std::u16string> out;
  for (const AppRecord& r : list) out.push_back(r.package_name);
  return out;
}

size_t Occurrences(const std::string& text, const std::string& word) {
  size_t n = 0;
  for (size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1)) ++n;
  return n;
}

// Records what the install listener hears.
struct Listener : InstallListener {
  std::mutex lock;
  std::vector<int32_t> results;
  void OnInstallResult(const std::u16string&, int32_t result) override {
    std::lock_guard<std::mutex> hold(lock);
    if (result != kInstallStarted) results.push_back(result);
  }
  size_t Count() {
    std::lock_guard<std::mutex> hold(lock);
    return results.size();
  }
  int32_t Last() {
    std::lock_guard<std::mutex> hold(lock);
    return results.empty() ? 0 : results.back();
  }
};

using data_test::SimPhone;

class AppMgrSimTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(phone_.Start());
    testing_support::PointProgramAtSim(phone_.sim);
    message_sink::Take();
  }
  void TearDown() override {
    CSocketThreadMgr::Instance()->StopAll();
    EXPECT_EQ(phone_.sim.Errors(), "[]");
    phone_.sim.Stop();
  }
  void Load(CAppMgr& apps) {
    posts_.Clear();
    apps.RefreshAppList();
    ASSERT_TRUE(posts_.WaitFor(msg::kAppBusy, 0));
  }

  data_test::PrivateFolders folders_;
  SimPhone phone_;
  data_test::Posts posts_;
};

TEST_F(AppMgrSimTest, ListHasTheUserAppsAndTheirIconsInTheCache) {
  CAppMgr apps;
  ASSERT_NO_FATAL_FAILURE(Load(apps));
  const std::vector<AppRecord> list = apps.GetAppList();
  EXPECT_EQ(Packages(list), kUserApps);  // no system app, no agent
  ASSERT_TRUE(data_test::WaitUntil([&] { return posts_.Of(msg::kAppIconReady).size() == kUserApps.size(); }));
  for (const AppRecord& r : apps.GetAppList()) {
    SCOPED_TRACE(WStringToAnsi(r.package_name));
    EXPECT_EQ(r.icon_path, CAppMgr::IconFileName(r.package_name, r.version_code));
    std::ifstream icon(WStringToAnsi(r.icon_path), std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(icon)), std::istreambuf_iterator<char>());
    EXPECT_EQ(bytes.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
  }
  // A second manager finds the icons in the cache: no "package_icon" is sent.
  const std::string before = phone_.Requests();
  CAppMgr again;
  ASSERT_NO_FATAL_FAILURE(Load(again));
  ASSERT_TRUE(data_test::WaitUntil([&] { return posts_.Of(msg::kAppIconReady).size() == kUserApps.size(); }));
  EXPECT_EQ(Occurrences(phone_.Requests(), "\"package_icon\""), Occurrences(before, "\"package_icon\""));
}

// Install outcomes as the phone answers them; a failure of the first
// attempt given back as the previous result makes the next one a retry.
TEST_F(AppMgrSimTest, InstallOutcomesByTheAnswersOfAdb) {
  struct Case {
    const char* fault;  // empty: none
    int32_t previous;
    int32_t result;
  } cases[] = {
      {"install=INSTALL_FAILED_INSUFFICIENT_STORAGE", 0, -4},
      {"install=NO_SPACE", 0, -5},
      {"install=INSTALL_FAILED_OLDER_SDK", 0, -7},
      {"install=INSTALL_FAILED_INVALID_APK", 0, -9},
      {"install=INSTALL_FAILED_VERSION_DOWNGRADE", 0, -10},
      {"", 0, 1},
      {"", -3, 1},  // already there: installed again with -r
  };
  Listener listener;
  CAppMgr apps;
  apps.SetInstallListener(&listener);
  ASSERT_NO_FATAL_FAILURE(Load(apps));
  uint32_t job_key = 1000;  // the caller's key: a job whose key runs still is not queued twice
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.fault) + " previous " + std::to_string(c.previous));
    ASSERT_TRUE(phone_.Clear());
    if (c.fault[0] != '\0') {
      ASSERT_TRUE(phone_.Fault(c.fault));
    }
    const size_t heard = listener.Count();
    apps.InstallApp(AnsiToWString(SAMPLE_APK), c.previous, ++job_key);
    ASSERT_TRUE(data_test::WaitUntil([&] { return listener.Count() == heard + 1; }, 120000));
    EXPECT_EQ(listener.Last(), c.result);
  }
  // Installed: "package_info" added it to the list.
  ASSERT_TRUE(posts_.WaitFor(msg::kAppAdded, kSampleKey));
  EXPECT_TRUE(apps.FindAppByKey(kSampleKey).has_value());
}

TEST_F(AppMgrSimTest, RemovalOutcomes) {
  CAppMgr apps;
  ASSERT_NO_FATAL_FAILURE(Load(apps));
  const uint32_t notes = Utf16LeCrc32(u"com.zelvik.demo.notes");
  const uint32_t blocks = Utf16LeCrc32(u"com.zelvik.demo.blocks");
  // Removed behind the program's back: the phone refuses, the record stays.
  ASSERT_TRUE(CAdbCmdTool::Instance()->RemovePackage(u"com.zelvik.demo.blocks"));
  struct Case {
    uint32_t key;
    uintptr_t posted_key;
    intptr_t result;
    bool still_listed;
  } cases[] = {{notes, notes, 1, false}, {blocks, 0, 0, true}};
  for (const Case& c : cases) {
    posts_.Clear();
    ASSERT_TRUE(apps.UninstallApp(c.key));
    ASSERT_TRUE(posts_.WaitForMessage(msg::kAppRemoved, 60000));
    EXPECT_EQ(posts_.Of(msg::kAppRemoved), (std::vector<std::pair<uintptr_t, intptr_t>>{{c.posted_key, c.result}}));
    EXPECT_EQ(apps.FindAppByKey(c.key).has_value(), c.still_listed);
  }
  EXPECT_FALSE(apps.UninstallApp(notes)) << "no longer listed";
}

// The whole back end.
constexpr int32_t kHandle = 0x4101;

class PhoneFlowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    home_ = setup_.folder().path() + "/home";
    ASSERT_EQ(std::system(("mkdir -p '" + home_ + "'").c_str()), 0);
    setenv("HOME", home_.c_str(), 1);  // an adb server started by the program keeps its keys here
    ASSERT_TRUE(phone_.Start());
    const std::string apk_folder = setup_.folder().path() + "/apk";
    ASSERT_EQ(std::system(("mkdir -p '" + apk_folder + "' && cp '" + testing_support::AgentApkPath() + "' '" +
                           apk_folder + "/com.zelvik.assist.apk'").c_str()),
              0);
    CConfigMgr::Instance()->Init();
    const std::string devwarden_folder = setup_.folder().path() + "/devwarden";
    ASSERT_EQ(std::system(("mkdir -p '" + devwarden_folder + "'").c_str()), 0);
    devwarden_ = std::make_unique<connect_test::DevwardenBesideFakes>(devwarden_folder);
    ASSERT_TRUE(devwarden_->ok());
    InstallPhoneFactory();
    manager_ = std::make_unique<CConnectMgr>(devwarden_->api());
    manager_->Start();
    // Detection is up once the manager's start thread has run PNP_Start.
    ASSERT_TRUE(devwarden_->WaitDetectionStarted(30000));
  }
  void TearDown() override {
    manager_.reset();
    devwarden_.reset();
    SetPhoneFactory(nullptr);
    phone_.sim.Stop();
    // An adb server the program started after the simulator went.
    std::system("adb kill-server >/dev/null 2>&1");
  }
  // Answers the posts as the main window does until `done` holds.
  bool PlayMainWindow(const std::function<bool()>& done, int ms = 60000) {
    size_t seen = 0;
    return data_test::WaitUntil(
        [&] {
          const std::vector<PostedMessage>& all = posts_.All();
          for (; seen < all.size(); ++seen) {
            const PostedMessage& m = all[seen];
            if (m.message == msg::kConnectionState) states_.push_back(static_cast<int>(m.lParam));
            if (m.message == msg::kConnectionState && m.lParam == kConn_Sucess) manager_->CreatePhone();
            if (m.message == msg::kAgentLinkFailed) {
              ++link_failed_;
              manager_->ReConnect(false);
            }
          }
          return done();
        },
        ms);
  }
  bool StatesEndWith(const std::vector<int>& tail) {
    return states_.size() >= tail.size() && std::equal(tail.begin(), tail.end(), states_.end() - tail.size());
  }
  void ExpectLossNoticed(bool stop_simulator, int final_state);
  // Connects and waits for the app list with its icons.
  void ConnectAndList() {
    ASSERT_TRUE(devwarden_->PlugPhone(kHandle, phone_.Serial()));
    ASSERT_TRUE(PlayMainWindow([&] { return StatesEndWith({kConn_Sucess}) && manager_->GetPhone() != nullptr; }));
    ASSERT_TRUE(PlayMainWindow([&] {
      return posts_.Of(msg::kAppIconReady).size() >= kUserApps.size() && !posts_.Of(msg::kMusicCount).empty() &&
             !posts_.Of(msg::kVideoCount).empty() && !posts_.Of(msg::kContactCount).empty() &&
             !posts_.Of(msg::kSmsCount).empty() && !posts_.Of(msg::kPictureCount).empty();
    }));
  }

  connect_test::ProgramSetup setup_;
  std::string home_;
  SimPhone phone_;
  std::unique_ptr<connect_test::DevwardenBesideFakes> devwarden_;
  std::unique_ptr<CConnectMgr> manager_;
  data_test::Posts posts_;
  std::vector<int> states_;
  int link_failed_ = 0;
};

TEST_F(PhoneFlowTest, ConnectedPhoneListsInstallsAndRemovesApps) {
  ASSERT_NO_FATAL_FAILURE(ConnectAndList());
  std::shared_ptr<CPhone> phone = std::dynamic_pointer_cast<CPhone>(manager_->GetPhone());
  ASSERT_NE(phone, nullptr);
  EXPECT_EQ(phone->GetSerial(), phone_.Serial());
  // The seven count requests reached the agent (each on its own connection,
  // so their arrival order is not fixed; the send order is the facade's,
  // checked in the unit tests), and the count brought the list.
  const std::string requests = phone_.Requests();
  for (const char* command : {"environment", "package_count", "contact_count", "sms_count", "image_count",
                              "music_count", "video_count"}) {
    EXPECT_NE(requests.find(std::string("[\"") + command + "\", \"1\"]"), std::string::npos) << command;
  }
  EXPECT_LT(requests.find("\"package_count\""), requests.find("\"package_list\""));
  EXPECT_EQ(Packages(phone->GetAppList()), kUserApps);
  EXPECT_EQ(phone->GetContactCount(), 4);
  for (const AppRecord& r : phone->GetAppList()) EXPECT_TRUE(FileExists(r.icon_path)) << WStringToAnsi(r.icon_path);

  // Install the aapt-built package: it is listed, with its icon.
  Listener listener;
  phone->SetInstallListener(&listener);
  posts_.Clear();
  phone->InstallApp(AnsiToWString(SAMPLE_APK), 0, kSampleKey);
  ASSERT_TRUE(posts_.WaitFor(msg::kAppAdded, kSampleKey, 120000));
  EXPECT_EQ(listener.Last(), 1);
  ASSERT_TRUE(posts_.WaitFor(msg::kAppIconReady, kSampleKey));
  std::optional<AppRecord> sample = phone->FindAppByKey(kSampleKey);
  ASSERT_TRUE(sample.has_value());
  EXPECT_EQ(sample->app_name, u"示例应用");
  EXPECT_TRUE(FileExists(sample->icon_path));
  // Uninstall: gone.
  ASSERT_TRUE(phone->UninstallApp(kSampleKey));
  ASSERT_TRUE(posts_.WaitFor(msg::kAppRemoved, kSampleKey, 60000));
  EXPECT_FALSE(phone->FindAppByKey(kSampleKey).has_value());
  EXPECT_FALSE(CAdbCmdTool::Instance()->IsPackageInstalled(u"com.zelvik.demo.sample"));
  phone->SetInstallListener(nullptr);
  phone.reset();
  EXPECT_EQ(phone_.sim.Errors(), "[]");

  // Unplugged: state 19 and no phone.
  ASSERT_TRUE(devwarden_->Unplug(kHandle));
  ASSERT_TRUE(PlayMainWindow([&] { return StatesEndWith({kConn_Phone_Remove}); }));
  EXPECT_EQ(manager_->GetPhone(), nullptr);
}

// A phone that goes away without an unplug: the keep-alive notices, the
// link failure reconnects, and the attempt ends in the phone's state; the
// unplug that follows posts 19.
void PhoneFlowTest::ExpectLossNoticed(bool stop_simulator, int final_state) {
  ASSERT_NO_FATAL_FAILURE(ConnectAndList());
  if (stop_simulator) {
    phone_.sim.Stop();
  } else {
    ASSERT_TRUE(phone_.Fault("offline"));
  }
  ASSERT_TRUE(PlayMainWindow([&] { return link_failed_ > 0 && StatesEndWith({final_state}); }, 90000))
      << "link failures: " << link_failed_ << ", last state: " << (states_.empty() ? -1 : states_.back());
  EXPECT_EQ(manager_->GetPhone(), nullptr) << "the attempt dropped the phone";
  ASSERT_TRUE(devwarden_->Unplug(kHandle));
  ASSERT_TRUE(PlayMainWindow([&] { return StatesEndWith({kConn_Phone_Remove}); }));
}

TEST_F(PhoneFlowTest, OfflinePhoneIsNoticed) { ExpectLossNoticed(false, kConn_Phone_offline); }

TEST_F(PhoneFlowTest, StoppedPhoneIsNoticed) { ExpectLossNoticed(true, kConn_Failed); }

}  // namespace
