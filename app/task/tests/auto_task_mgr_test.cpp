// The task manager over the scripted engine, a recorded phone side and the
// message sink: downloads to tasks, the finished download installed or kept
// offline, install results, deletions, icons, downlist.dat at start.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <functional>
#include <sstream>
#include <thread>

#include "app/config/config_mgr.h"
#include "app/core/message_ids.h"
#include "app/core/phone_message.h"
#include "app/task/auto_task_mgr.h"
#include "app/task/tests/scripted_engine.h"
#include "foundation/base/code_page.h"
#include "foundation/base/crc32.h"
#include "foundation/base/file_util.h"
#include "foundation/base/tests/captured_log.h"

namespace {

using namespace msg;

struct Install {
  std::u16string apk;
  int32_t previous;
  uint32_t key;
};

class AutoTaskMgrTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/autotask-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    ScriptedEngine::Get().Reset();
    BindScriptedClient();
    CConfigMgr::Instance()->SetMainWnd(1);
    message_sink::Take();
    MakeManager();
  }
  void TearDown() override {
    manager_.reset();
    P2SPClient::Release();
    message_sink::Take();
    std::system(("rm -rf '" + dir_ + "'").c_str());
  }

  void MakeManager() {
    TaskPaths paths;
    paths.download_folder = AnsiToWString(dir_ + "/apps/");
    paths.icon_folder = AnsiToWString(dir_ + "/icon/");
    paths.list_file = AnsiToWString(dir_ + "/downlist.dat");
    TaskPhoneSide side;
    side.is_connected = [this] { return connected_.load(); };
    side.install = [this](const std::u16string& apk, int32_t previous, uint32_t key, InstallListener* listener) {
      EXPECT_EQ(listener, manager_.get());
      installs_.push_back({apk, previous, key});
      return true;
    };
    side.cancel_install = [this](const std::u16string& apk) { cancels_.push_back(apk); };
    side.fetch_file = [this](const std::u16string&, const std::u16string& file, const std::atomic<bool>& cancel) {
      if (fetch_hook_) return fetch_hook_(cancel);
      std::ofstream(WStringToAnsi(file)) << "PNG part";
      return icon_ok_.load();
    };
    side.read_apk = [](const std::u16string& apk, ApkBadgingInfo* info) {
      if (apk.find(u"broken") != std::u16string::npos) return false;
      info->package_name = u"com.chosen";
      info->label = u"选中的";
      info->icon = u"res/icon.png";
      return true;
    };
    side.unzip = [](const std::u16string&, const std::u16string& entry, const std::u16string& file) {
      std::ofstream(WStringToAnsi(file)) << WStringToAnsi(entry);
      return true;
    };
    manager_.reset();
    manager_ = std::make_unique<CAutoTaskMgr>(paths, side, 0);
    manager_->Init(false);
  }

  // Finishes the download of `url` into a file of the engine.
  void Finish(const std::string& url, int status = 6) {
    std::string file = dir_ + "/engine_" + std::to_string(Utf16LeCrc32(AnsiToWString(url))) + ".apk";
    std::ofstream(file) << "apk";
    ASSERT_TRUE(manager_->DownloadThread().WaitHandled(10000));  // started first
    {
      std::lock_guard<std::mutex> hold(ScriptedEngine::Get().mutex);
      ScriptedEngine::Get().tasks[url].file = file;
      ScriptedEngine::Get().tasks[url].status = status;
    }
    manager_->DownloadThread().Tick();
    ASSERT_TRUE(manager_->DownloadThread().WaitHandled(10000));
  }
  std::vector<std::pair<uint32_t, uintptr_t>> Messages() {
    std::vector<std::pair<uint32_t, uintptr_t>> seen;
    for (const PostedMessage& m : message_sink::Take()) seen.emplace_back(m.message, m.wParam);
    return seen;
  }
  std::string ListFile() {
    std::ifstream in(dir_ + "/downlist.dat", std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  static uint32_t Id(const char* url) { return Utf16LeCrc32(AnsiToWString(url)); }
  // Where the download of task `id` named `name` is saved.
  std::string Apk(const std::u16string& name, uint32_t id) const {
    return dir_ + "/apps/" + WStringToAnsi(CAutoTaskMgr::TaskFileName(name, id)) + ".apk";
  }
  static bool Exists(const std::string& path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0;
  }
  static void Touch(const std::string& path) { std::ofstream(path) << "part"; }

  std::string dir_;
  std::atomic<bool> connected_{false};
  std::atomic<bool> icon_ok_{true};
  std::vector<Install> installs_;
  std::vector<std::u16string> cancels_;
  std::function<bool(const std::atomic<bool>& cancel)> fetch_hook_;  // replaces the icon fetch when set
  std::unique_ptr<CAutoTaskMgr> manager_;
};

TEST_F(AutoTaskMgrTest, DuplicatesAreRefusedAfterTheAnimationMessage) {
  EXPECT_TRUE(manager_->StartDownload(u"http://h/a", u"A", nullptr, nullptr, u"com.a"));
  Messages();
  EXPECT_FALSE(manager_->StartDownload(u"http://h/a", u"A", nullptr, nullptr, nullptr));
  EXPECT_FALSE(manager_->StartDownload(u"http://h/other", u"A2", nullptr, nullptr, u"com.a"));
  EXPECT_EQ(Messages(), (std::vector<std::pair<uint32_t, uintptr_t>>{{kDownloadAnimation, 0}, {kDownloadAnimation, 0}}));
  EXPECT_TRUE(manager_->StartDownload(u"http://h/b", u"", nullptr, nullptr, nullptr));
  EXPECT_TRUE(manager_->StartDownload(u"http://h/c", u"", nullptr, nullptr, nullptr));
  EXPECT_EQ(manager_->GetOnlineTaskCount(), 3);
  EXPECT_EQ(manager_->FindOnlineTask(Id("http://h/b"))->app_name, u"未知应用");
  EXPECT_EQ(manager_->GetOnlineTaskState(Utf16LeCrc32(u"com.a")), 1);
}

TEST_F(AutoTaskMgrTest, StartingADownloadAndInstallingTheOfflineAppsAreTraced) {
  testing_support::CapturedLog log;
  ASSERT_TRUE(log.opened());
  EXPECT_TRUE(manager_->StartDownload(u"http://h/a", u"A", nullptr, nullptr, u"com.a"));
  manager_->AutoInstallOfflineApp();
  for (const char* name : {"CAutoTaskMgr::StartDownload", "CAutoTaskMgr::AutoInstallOfflineApp"}) {
    for (const char* line : {" Entry", " Leave, used tick:"}) {
      EXPECT_TRUE(log.Has(std::string("Function ") + name + line)) << name << line << "\n" << log.Text();
    }
  }
}

TEST(TaskFileName, IsOneSafeNamePerTask) {
  struct Case { const char16_t* name; const char16_t* file; };
  const Case cases[] = {
      {u"坦克大战", u"坦克大战_7"}, {u"../../etc/passwd", u"_._.._etc_passwd_7"}, {u"..", u"_._7"},
      {u"a\nb\x01", u"a_b__7"},     {u"", u"未知应用_7"},                      {u"C:\\x*?", u"C__x___7"}};
  for (const Case& c : cases) EXPECT_EQ(CAutoTaskMgr::TaskFileName(c.name, 7), c.file) << WStringToAnsi(c.name);
  EXPECT_EQ(CAutoTaskMgr::TaskFileName(std::u16string(300, u'x'), 7).size(), 66u);
}

TEST_F(AutoTaskMgrTest, FinishedWithoutAPhoneGoesOfflineAndInstallsWhenThePhoneComes) {
  ASSERT_TRUE(manager_->StartDownload(u"http://h/a", u"App", nullptr, nullptr, u"com.a"));
  const uint32_t id = Id("http://h/a");
  EXPECT_EQ(manager_->FindOnlineTask(id)->state, kTaskWaitingDownload);
  Messages();
  ASSERT_NO_FATAL_FAILURE(Finish("http://h/a"));
  auto seen = Messages();
  ASSERT_GE(seen.size(), 3u);
  EXPECT_EQ(seen[seen.size() - 2], std::make_pair(kOnlineTaskRemoved, uintptr_t{id}));
  EXPECT_EQ(seen.back(), std::make_pair(kOfflineTaskAdded, uintptr_t{id}));
  EXPECT_EQ(manager_->GetOnlineTaskCount(), 0);
  ASSERT_EQ(manager_->GetOfflineTaskCount(), 1);
  EXPECT_NE(ListFile().find("task_id=\"" + std::to_string(id) + "\""), std::string::npos);

  connected_ = true;
  manager_->AutoInstallOfflineApp();
  ASSERT_EQ(installs_.size(), 1u);
  EXPECT_EQ(manager_->FindOnlineTask(id)->state, kTaskWaitingInstall);
  EXPECT_EQ(manager_->GetOfflineTaskCount(), 0);
  EXPECT_NE(ListFile().find("App"), std::string::npos);  // stays until installed
  manager_->OnInstallResult(installs_[0].apk, 2);
  EXPECT_EQ(manager_->FindOnlineTask(id)->state, kTaskInstalling);
  manager_->OnInstallResult(installs_[0].apk, 1);
  EXPECT_EQ(manager_->GetOnlineTaskCount(), 0);
  EXPECT_EQ(ListFile().find("App"), std::string::npos);
}

TEST_F(AutoTaskMgrTest, FinishedWithAPhoneInstallsAndAFailedInstallIsRetriedWithItsResult) {
  connected_ = true;
  ASSERT_TRUE(manager_->StartDownload(u"http://h/a", u"App", nullptr, nullptr, u"com.a"));
  const uint32_t id = Id("http://h/a");
  ASSERT_NO_FATAL_FAILURE(Finish("http://h/a"));
  ASSERT_EQ(installs_.size(), 1u);
  EXPECT_EQ(installs_[0].key, Utf16LeCrc32(u"com.a"));
  manager_->OnInstallResult(installs_[0].apk, 3);
  EXPECT_EQ(manager_->FindOnlineTask(id)->state, kTaskInstallFailed);
  manager_->RetryTask(id);
  ASSERT_EQ(installs_.size(), 2u);
  EXPECT_EQ(installs_[1].previous, 3);
  EXPECT_TRUE(ListFile().empty());
}

TEST_F(AutoTaskMgrTest, AFailedHashCheckEndsAsAFailedDownloadThatCanBeRetried) {
  ASSERT_TRUE(manager_->StartDownload(u"http://h/a", u"App", nullptr, nullptr, nullptr));
  const uint32_t id = Id("http://h/a");
  ASSERT_NO_FATAL_FAILURE(Finish("http://h/a", 10));
  EXPECT_EQ(manager_->FindOnlineTask(id)->state, kTaskDownloadFailed);
  EXPECT_EQ(manager_->GetDoingTaskCount(), 0);
  manager_->RetryTask(id);
  EXPECT_EQ(manager_->FindOnlineTask(id)->state, kTaskWaitingDownload);
  ASSERT_TRUE(manager_->DownloadThread().WaitHandled(10000));
  EXPECT_TRUE(manager_->DownloadThread().IsExistedPackage(id));
}

TEST_F(AutoTaskMgrTest, DeletingAnOfflineTaskTakesOnlyThatTask) {
  for (const char16_t* url : {u"http://h/a", u"http://h/b"}) {
    ASSERT_TRUE(manager_->StartDownload(url, u"Same", nullptr, nullptr, nullptr));
  }
  ASSERT_NO_FATAL_FAILURE(Finish("http://h/a"));
  ASSERT_NO_FATAL_FAILURE(Finish("http://h/b"));
  ASSERT_EQ(manager_->GetOfflineTaskCount(), 2);
  const std::u16string kept_file = manager_->FindOfflineTask(Id("http://h/b"))->file_path;
  manager_->DeleteOfflineTask(Id("http://h/a"));
  EXPECT_EQ(manager_->GetOfflineTaskCount(), 1);
  EXPECT_TRUE(FileExists(kept_file));
  EXPECT_EQ(ListFile().find(std::to_string(Id("http://h/a"))), std::string::npos);
  EXPECT_NE(ListFile().find(std::to_string(Id("http://h/b"))), std::string::npos);
}

TEST_F(AutoTaskMgrTest, AWaitingInstallWhosePhoneWentAwayGoesBackOffline) {
  ASSERT_TRUE(manager_->StartDownload(u"http://h/a", u"App", nullptr, nullptr, u"com.a"));
  ASSERT_NO_FATAL_FAILURE(Finish("http://h/a"));
  connected_ = true;
  manager_->InstallOfflineTask(Id("http://h/a"));
  EXPECT_EQ(manager_->FindOnlineTask(Id("http://h/a"))->state, kTaskWaitingInstall);
  connected_ = false;
  manager_->CancelWaitingInstalls();
  EXPECT_EQ(manager_->GetOnlineTaskCount(), 0);
  EXPECT_EQ(manager_->GetOfflineTaskCount(), 1);
  EXPECT_TRUE(cancels_.empty());
}

TEST_F(AutoTaskMgrTest, IconsAreReadyOnlyWhenFetchedWhole) {
  icon_ok_ = false;
  ASSERT_TRUE(manager_->StartDownload(u"http://h/a", u"A", u"http://h/a.png", nullptr, nullptr));
  manager_->JoinWorkers();
  const std::u16string icon = manager_->FindOnlineTask(Id("http://h/a"))->icon_path;
  EXPECT_FALSE(FileExists(icon));
  for (auto& m : Messages()) EXPECT_NE(m.first, kTaskIconReady);
  EXPECT_EQ(std::system(("test -z \"$(ls -A '" + dir_ + "/icon')\"").c_str()), 0);  // no part left

  icon_ok_ = true;
  ASSERT_TRUE(manager_->StartDownload(u"http://h/b", u"B", u"http://h/b.png", nullptr, nullptr));
  manager_->JoinWorkers();
  EXPECT_TRUE(FileExists(manager_->FindOnlineTask(Id("http://h/b"))->icon_path));
  auto seen = Messages();
  EXPECT_NE(std::find(seen.begin(), seen.end(), std::make_pair(kTaskIconReady, uintptr_t{Id("http://h/b")})),
            seen.end());
}

TEST_F(AutoTaskMgrTest, ARestartLoadsTheOfflineTasksThatStillHaveTheirApk) {
  for (const char16_t* url : {u"http://h/a", u"http://h/b"}) {
    ASSERT_TRUE(manager_->StartDownload(url, u"X", nullptr, nullptr, nullptr));
  }
  ASSERT_NO_FATAL_FAILURE(Finish("http://h/a"));
  ASSERT_NO_FATAL_FAILURE(Finish("http://h/b"));
  std::remove(WStringToAnsi(manager_->FindOfflineTask(Id("http://h/a"))->file_path).c_str());
  Messages();
  MakeManager();
  EXPECT_EQ(manager_->GetOfflineTaskCount(), 1);
  EXPECT_TRUE(manager_->IsExistOffTask(Id("http://h/b")));
  EXPECT_EQ(ListFile().find(std::to_string(Id("http://h/a"))), std::string::npos);
  auto seen = Messages();
  EXPECT_NE(std::find(seen.begin(), seen.end(), std::make_pair(kTaskListLoaded, uintptr_t{0})), seen.end());
}

TEST_F(AutoTaskMgrTest, PauseAndContinueSetTheStatesAndDeleteStopsTheDownload) {
  ASSERT_TRUE(manager_->StartDownload(u"http://h/a", u"A", nullptr, nullptr, u"com.a"));
  const uint32_t id = Id("http://h/a");
  ASSERT_TRUE(manager_->DownloadThread().WaitHandled(10000));
  manager_->PauseTask(id);
  EXPECT_EQ(manager_->FindOnlineTask(id)->state, kTaskPaused);
  manager_->ContinueTask(id);
  EXPECT_EQ(manager_->FindOnlineTask(id)->state, kTaskWaitingDownload);
  Messages();
  manager_->DeleteOnlineTask(id);
  ASSERT_TRUE(manager_->DownloadThread().WaitHandled(10000));
  EXPECT_FALSE(manager_->DownloadThread().IsExistedPackage(id));
  EXPECT_EQ(Messages(), (std::vector<std::pair<uint32_t, uintptr_t>>{{kOnlineTaskRemoved, id},
                                                                     {kAppTaskDeleted, Utf16LeCrc32(u"com.a")}}));
}

TEST_F(AutoTaskMgrTest, AChosenApkIsReadGivenItsIconAndInstalledButNeverListed) {
  connected_ = true;
  const std::u16string apk = AnsiToWString(dir_ + "/chosen.apk");
  std::ofstream(WStringToAnsi(apk)) << "apk";
  EXPECT_TRUE(manager_->InstallApkFile(apk));
  EXPECT_TRUE(manager_->InstallApkFile(AnsiToWString(dir_ + "/missing.apk")));
  std::ofstream(dir_ + "/broken.apk") << "apk";
  EXPECT_TRUE(manager_->InstallApkFile(AnsiToWString(dir_ + "/broken.apk")));
  manager_->JoinWorkers();
  ASSERT_EQ(manager_->GetOnlineTaskCount(), 1);
  auto task = manager_->FindOnlineTask(Utf16LeCrc32(apk));
  ASSERT_NE(task, nullptr);
  EXPECT_EQ(task->state, kTaskWaitingInstall);
  EXPECT_EQ(task->app_name, u"选中的");
  EXPECT_TRUE(FileExists(task->icon_path));
  ASSERT_EQ(installs_.size(), 1u);
  EXPECT_EQ(installs_[0].apk, apk);
  EXPECT_EQ(installs_[0].previous, 0);
  EXPECT_EQ(installs_[0].key, Utf16LeCrc32(u"com.chosen"));
  manager_->OnInstallResult(apk, 1);
  EXPECT_EQ(manager_->GetOnlineTaskCount(), 0);
  EXPECT_TRUE(ListFile().empty());
}

// A user's own apk waiting for a phone goes back to the offline list when
// its task is deleted or the phone goes away, but never into downlist.dat;
// deleting that offline row then leaves the user's file where it is, also
// when it was chosen from the download folder under a download's name.
TEST_F(AutoTaskMgrTest, AUsersOwnApkIsNeverListedNorDeleted) {
  struct Way {
    const char* label;
    const char* file;
    bool phone;
    bool by_delete;
  };
  const Way ways[] = {
      {"deleted without a phone", "/mine.apk", false, true},
      {"deleted with a phone", "/mine.apk", true, true},
      {"the phone went away", "/mine.apk", true, false},
      {"chosen from the download folder", "/apps/Old_123.apk", false, true},
  };
  for (const Way& way : ways) {
    SCOPED_TRACE(way.label);
    connected_ = way.phone;
    ASSERT_EQ(std::system(("mkdir -p '" + dir_ + "/apps'").c_str()), 0);
    const std::string file = dir_ + way.file;
    std::ofstream(file) << "the user's apk";
    const std::u16string apk = AnsiToWString(file);
    const uint32_t id = Utf16LeCrc32(apk);
    ASSERT_TRUE(manager_->InstallApkFile(apk));
    manager_->JoinWorkers();
    ASSERT_NE(manager_->FindOnlineTask(id), nullptr);
    ASSERT_EQ(manager_->FindOnlineTask(id)->state, kTaskWaitingInstall);
    if (way.by_delete) {
      manager_->DeleteOnlineTask(id);
    } else {
      connected_ = false;
      manager_->CancelWaitingInstalls();
    }
    EXPECT_EQ(manager_->GetOnlineTaskCount(), 0);
    ASSERT_TRUE(manager_->IsExistOffTask(id));
    EXPECT_EQ(ListFile().find(way.file), std::string::npos) << ListFile();
    manager_->DeleteOfflineTask(id);
    EXPECT_FALSE(manager_->IsExistOffTask(id));
    EXPECT_TRUE(Exists(file));
  }
}

// Rows read back from downlist.dat may name any path: deleting them removes
// only the manager's own download (a regular file named for its task, in
// its download folder), never a file elsewhere, a link, a folder, a file of
// another task's name or a path that climbs out of the folder.
TEST_F(AutoTaskMgrTest, DeletingAnOfflineRowRemovesOnlyTheManagersOwnDownload) {
  enum Kind { kFile, kLink, kFolder };
  struct Row {
    const char* label;
    std::string path;  // "%": the row's task id
    Kind kind;
    bool deleted;
  };
  const Row rows[] = {
      {"its own download", "/apps/App_%.apk", kFile, true},
      {"a file outside the download folder", "/victim_%.apk", kFile, false},
      {"another name in the download folder", "/apps/notes.txt", kFile, false},
      {"another task's name", "/apps/App_1.apk", kFile, false},
      {"a link of the task's name", "/apps/Link_%.apk", kLink, false},
      {"a path that climbs out", "/apps/../climb_%.apk", kFile, false},
      {"a folder of the task's name", "/apps/Dir_%.apk", kFolder, false},
  };
  ASSERT_EQ(std::system(("mkdir -p '" + dir_ + "/apps'").c_str()), 0);
  std::ofstream(dir_ + "/victim.txt") << "the user's";
  std::string list;
  std::vector<std::string> paths;
  uint32_t id = 1000;
  for (const Row& row : rows) {
    std::string path = dir_ + row.path;
    const size_t mark = path.find('%');
    if (mark != std::string::npos) path.replace(mark, 1, std::to_string(id));
    paths.push_back(path);
    if (row.kind == kFile) std::ofstream(path) << "apk";
    if (row.kind == kLink) {
      ASSERT_EQ(symlink((dir_ + "/victim.txt").c_str(), path.c_str()), 0);
    }
    if (row.kind == kFolder) {
      ASSERT_EQ(mkdir(path.c_str(), 0755), 0);
    }
    list += "<app app_name=\"App\" task_id=\"" + std::to_string(id++) + "\" down_url=\"http://h/x\" file_path=\"" +
            path + "\" icon_path=\"\"/>\r\n";
  }
  std::ofstream(dir_ + "/downlist.dat", std::ios::binary) << list;
  MakeManager();
  id = 1000;
  for (size_t i = 0; i < std::size(rows); ++i, ++id) {
    SCOPED_TRACE(rows[i].label);
    ASSERT_TRUE(manager_->IsExistOffTask(id));
    manager_->DeleteOfflineTask(id);
    EXPECT_FALSE(manager_->IsExistOffTask(id));
    EXPECT_EQ(Exists(paths[i]), !rows[i].deleted);
  }
  EXPECT_TRUE(Exists(dir_ + "/victim.txt"));
}

// Deleting a download that has not finished takes the engine's part files
// with it, once the engine stopped and forgot the task; a failed download
// too. Another task's part files stay.
TEST_F(AutoTaskMgrTest, DeletingAnUnfinishedDownloadRemovesItsPartFiles) {
  struct Row {
    const char* label;
    const char16_t* url;
    int status;
  };
  const Row rows[] = {{"running", u"http://h/run", 4}, {"failed", u"http://h/fail", 7}, {"waiting", u"http://h/wait", 2}};
  ASSERT_EQ(std::system(("mkdir -p '" + dir_ + "/apps'").c_str()), 0);
  const std::string other = Apk(u"Other", 1) + ".td";
  Touch(other);
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    const std::string url = WStringToAnsi(row.url);
    const uint32_t id = Utf16LeCrc32(row.url);
    ASSERT_TRUE(manager_->StartDownload(row.url, u"App", nullptr, nullptr, nullptr));
    ASSERT_TRUE(manager_->DownloadThread().WaitHandled(10000));
    ScriptedEngine::Get().SetStatus(url, row.status);
    manager_->DownloadThread().Tick();
    ASSERT_TRUE(manager_->DownloadThread().WaitHandled(10000));
    const std::string apk = Apk(u"App", id);
    Touch(apk + ".td");
    Touch(apk + ".td.cfg");
    manager_->DeleteOnlineTask(id);
    ASSERT_TRUE(manager_->DownloadThread().WaitHandled(10000));
    EXPECT_FALSE(Exists(apk + ".td"));
    EXPECT_FALSE(Exists(apk + ".td.cfg"));
    const auto calls = ScriptedEngine::Get().Calls();
    EXPECT_NE(std::find(calls.begin(), calls.end(), "DelTask " + url), calls.end());
  }
  EXPECT_TRUE(Exists(other));
}

// A download that fails because its file cannot be written (the disk is
// full) removes its part files at once, so the disk does not stay full,
// and keeps the engine's reason for the row; another failure keeps the
// part for a retry to resume.
TEST_F(AutoTaskMgrTest, ADownloadThatFailsForWantOfSpaceLeavesNoPart) {
  struct Row {
    const char* label;
    const char16_t* url;
    int code;
    bool part_kept;
  };
  const Row rows[] = {{"disk full", u"http://h/full", kEngineFailFile, false},
                      {"network", u"http://h/net", 5, true}};
  ASSERT_EQ(std::system(("mkdir -p '" + dir_ + "/apps'").c_str()), 0);
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    const std::string url = WStringToAnsi(row.url);
    const uint32_t id = Utf16LeCrc32(row.url);
    ASSERT_TRUE(manager_->StartDownload(row.url, u"App", nullptr, nullptr, nullptr));
    ASSERT_TRUE(manager_->DownloadThread().WaitHandled(10000));
    const std::string apk = Apk(u"App", id);
    Touch(apk + ".td");
    Touch(apk + ".td.cfg");
    {
      std::lock_guard<std::mutex> hold(ScriptedEngine::Get().mutex);
      ScriptedEngine::Get().tasks[url].status = 7;
      ScriptedEngine::Get().tasks[url].error_code = row.code;
    }
    manager_->DownloadThread().Tick();
    ASSERT_TRUE(manager_->DownloadThread().WaitHandled(10000));
    const auto task = manager_->FindOnlineTask(id);
    ASSERT_NE(task, nullptr);
    EXPECT_EQ(task->state, kTaskDownloadFailed);
    EXPECT_EQ(task->state_detail, row.code);
    EXPECT_EQ(Exists(apk + ".td"), row.part_kept);
    EXPECT_EQ(Exists(apk + ".td.cfg"), row.part_kept);
    // A retry starts with a clean reason.
    manager_->RetryTask(id);
    EXPECT_EQ(manager_->FindOnlineTask(id)->state_detail, 0);
  }
}

// Deleting the manager ends an icon fetch that would otherwise go on for
// ever (a server trickling bytes): the fetch is told to stop, and the
// destructor returns once it did.
TEST_F(AutoTaskMgrTest, TeardownCancelsARunningIconFetch) {
  std::atomic<bool> started{false};
  fetch_hook_ = [&started](const std::atomic<bool>& cancel) {
    started = true;
    while (!cancel.load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return false;
  };
  ASSERT_TRUE(manager_->StartDownload(u"http://h/a", u"A", u"http://h/a.png", nullptr, nullptr));
  while (!started.load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  manager_.reset();
  for (auto& m : Messages()) EXPECT_NE(m.first, kTaskIconReady);
}

}  // namespace
