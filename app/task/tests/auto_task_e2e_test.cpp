// The task manager end to end: an app downloaded from a loopback HTTP
// server through the real swarmload and download engine, then installed on
// the simulated phone through the real adb, at once when a phone is there,
// or kept as a downloaded app (offline list and downlist.dat), carried over
// a restart of the manager and installed when the phone comes.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "app/adb/tests/phone_sim_process.h"
#include "app/adb/tests/program_at_sim.h"
#include "app/agent/socket_thread.h"
#include "app/data/app_mgr.h"
#include "app/data/tests/data_test_support.h"
#include "app/task/auto_task_mgr.h"
#include "app/task/task_list_file.h"
#include "download_server.h"
#include "foundation/base/code_page.h"
#include "foundation/base/crc32.h"
#include "foundation/base/tests/case_name.h"

namespace {

namespace fs = std::filesystem;
using testing_support::PhoneSim;

const std::u16string kPackage = u"com.zelvik.demo.sample";
const uint32_t kSampleKey = Utf16LeCrc32(kPackage);

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

struct FlowCase {
  const char* label;
  bool phone_when_downloaded;  // false: the phone comes after a restart of the manager
};

class TaskFlowE2e : public ::testing::TestWithParam<FlowCase> {
 protected:
  void SetUp() override {
    // The program folder holds swarmload, the engine it loads by name, the
    // kitoracle test double and the real Hostmark.
    const std::string program = folders_.folder().path();
    fs::create_symlink(SWARMLOAD_LIBRARY, program + "/libswarmload.so");
    fs::create_symlink(ENGINE_LIBRARY, program + "/libxldl.so");
    fs::create_symlink(KITORACLE_DOUBLE, program + "/libkitoracle.so");
    fs::create_symlink(HOSTMARK_LIBRARY, program + "/libHostmark.so");
    fs::create_directories(program + "/log");
    fs::create_directories(program + "/config/Zelvik");
    std::ofstream(program + "/config/Zelvik/registry.ini")
        << "[HKEY_CURRENT_USER\\SOFTWARE\\QENSoft\\Hollowmere2013]\nUnionID=dword:00000457\n";

    unsetenv("PHONEDECK_ADB");
    ASSERT_TRUE(sim_.Start({"--forward"})) << sim_.Failure();
    testing_support::PointProgramAtSim(sim_);
    message_sink::Take();

    // Sent slowly enough that the download thread sees it running.
    apk_ = ReadFile(SAMPLE_APK);
    ASSERT_GT(apk_.size(), 1000u);
    testing_server::Resource resource;
    resource.body = apk_;
    resource.bytes_per_second = apk_.size() / 2 + 1;
    ASSERT_GT(server_.port(), 0);
    server_.Put("/market/sample.apk", resource);
    url_ = AnsiToWString(server_.Url("/market/sample.apk"));
    id_ = Utf16LeCrc32(url_);

    posts_.Clear();
    apps_.RefreshAppList();
    ASSERT_TRUE(posts_.WaitFor(msg::kAppBusy, 0));
  }
  void TearDown() override {
    manager_.reset();
    CSocketThreadMgr::Instance()->StopAll();
    EXPECT_EQ(sim_.Errors(), "[]");
    sim_.Stop();
  }

  // The program's phone side, with this test's app manager as the phone.
  TaskPhoneSide PhoneSide() {
    TaskPhoneSide side = ProgramPhoneSide();
    side.is_connected = [this] { return connected_.load(); };
    side.install = [this](const std::u16string& apk, int32_t previous, uint32_t key, InstallListener* listener) {
      apps_.SetInstallListener(listener);
      return apps_.InstallApp(apk, previous, key);
    };
    side.cancel_install = [this](const std::u16string& apk) { apps_.CancelTask(apk); };
    return side;
  }
  void StartManager() {
    manager_ = std::make_unique<CAutoTaskMgr>(ProgramTaskPaths(), PhoneSide(), 200);
    manager_->Init();
  }
  bool Posted(uint32_t message, uintptr_t wParam, intptr_t lParam, int ms = 60000) {
    return posts_.WaitFor(
        [&](const PostedMessage& m) { return m.message == message && m.wParam == wParam && m.lParam == lParam; }, ms);
  }
  std::vector<SOfflineTask> Listed() {
    return LoadTaskList(ProgramTaskPaths().list_file, [](const std::u16string&) { return true; });
  }
  void ExpectInstalledAndGone() {
    ASSERT_TRUE(Posted(msg::kOnlineTaskRemoved, id_, 0, 180000));
    ASSERT_TRUE(posts_.WaitFor(msg::kAppAdded, kSampleKey, 60000));
    EXPECT_TRUE(apps_.FindAppByKey(kSampleKey).has_value());
    EXPECT_EQ(manager_->FindOnlineTask(id_), nullptr);
    EXPECT_EQ(manager_->FindOfflineTask(id_), nullptr);
    EXPECT_TRUE(Listed().empty());
  }

  data_test::PrivateFolders folders_;
  PhoneSim sim_;
  testing_server::DownloadServer server_;
  data_test::Posts posts_;
  CAppMgr apps_;
  std::atomic<bool> connected_{false};
  std::unique_ptr<CAutoTaskMgr> manager_;
  std::string apk_;
  std::u16string url_;
  uint32_t id_ = 0;
};

TEST_P(TaskFlowE2e, DownloadedAppIsInstalledOnThePhone) {
  connected_ = GetParam().phone_when_downloaded;
  ASSERT_NO_FATAL_FAILURE(StartManager());
  ASSERT_TRUE(manager_->OnDownloadRequest(url_, u"示例应用", u"", kPackage));
  EXPECT_TRUE(Posted(msg::kDownloadAnimation, 0, 0, 1000));
  EXPECT_TRUE(Posted(msg::kOnlineTaskAdded, id_, 0, 1000));
  // Progress: the running download is reported with its sizes.
  ASSERT_TRUE(Posted(msg::kOnlineTaskChanged, id_, kTaskDownloading));
  ASSERT_TRUE(Posted(msg::kOnlineTaskChanged, id_, kTaskDownloaded));
  ASSERT_FALSE(server_.Requests().empty());
  EXPECT_EQ(server_.Requests().back().path, "/market/sample.apk");

  if (!GetParam().phone_when_downloaded) {
    ASSERT_TRUE(Posted(msg::kOfflineTaskAdded, id_, 0));
    EXPECT_EQ(manager_->FindOnlineTask(id_), nullptr);
    std::unique_ptr<SOfflineTask> offline = manager_->FindOfflineTask(id_);
    ASSERT_NE(offline, nullptr);
    EXPECT_EQ(ReadFile(WStringToAnsi(offline->file_path)), apk_);
    std::vector<SOfflineTask> listed = Listed();
    ASSERT_EQ(listed.size(), 1u);
    EXPECT_EQ(listed[0].task_id, id_);
    EXPECT_EQ(listed[0].file_path, offline->file_path);

    // The program ends; at its next start the downloaded app is listed
    // again and installed once the phone is there.
    manager_.reset();
    posts_.Clear();
    ASSERT_NO_FATAL_FAILURE(StartManager());
    EXPECT_TRUE(Posted(msg::kTaskListLoaded, 0, 0, 1000));
    ASSERT_NE(manager_->FindOfflineTask(id_), nullptr);
    connected_ = true;
    manager_->AutoInstallOfflineApp();
    EXPECT_TRUE(Posted(msg::kOfflineTaskRemoved, id_, 0, 1000));
  }
  ASSERT_NO_FATAL_FAILURE(ExpectInstalledAndGone());
}

INSTANTIATE_TEST_SUITE_P(Tasks, TaskFlowE2e,
                         ::testing::Values(FlowCase{"phone_connected", true}, FlowCase{"no_phone_then_phone", false}),
                         testing_support::NamedBy(&FlowCase::label));

}  // namespace
