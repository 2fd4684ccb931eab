// The task manager over the real swarmload and download engine, against the
// loopback download server: a program killed halfway through a download,
// started again, continues the download from what is on disk; and what is
// asked of the manager while the engine's start waits for the driver search
// service is carried out, in order, once that start has ended.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <iterator>
#include <mutex>
#include <thread>

#include "app/config/config_mgr.h"
#include "app/core/message_ids.h"
#include "app/core/phone_message.h"
#include "app/task/auto_task_mgr.h"
#include "app/task/task_list_file.h"
#include "app/task/tests/engine_folder.h"
#include "foundation/base/code_page.h"
#include "foundation/base/crc32.h"
#include "testing/download_server/download_server.h"

extern char** environ;

namespace {

constexpr uint64_t kSize = 3 * 1024 * 1024;

class EngineResumeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/task_engine_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    root_ = pattern;
    program_ = root_ + "/program";
    task_test::MakeEngineFolder(root_);
    std::filesystem::create_directories(root_ + "/config/Zelvik");
    setenv("PHONEDECK_PROGRAM_DIR", program_.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (root_ + "/config").c_str(), 1);
    CConfigMgr::Instance()->SetMainWnd(1);
  }
  void TearDown() override {
    if (child_ > 0) {
      kill(child_, SIGKILL);
      waitpid(child_, nullptr, 0);
    }
    std::filesystem::remove_all(root_);
  }

  TaskPaths Paths() {
    TaskPaths paths;
    paths.download_folder = AnsiToWString(root_ + "/apps/");
    paths.icon_folder = AnsiToWString(root_ + "/apps/icon/");
    paths.list_file = AnsiToWString(root_ + "/apps/downlist.dat");
    paths.engine_work = AnsiToWString(root_ + "/work/");
    paths.engine_library = AnsiToWString(program_ + "/libswarmload.so");
    return paths;
  }
  static uint64_t SizeOf(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 ? static_cast<uint64_t>(st.st_size) : 0;
  }
  // Waits (bounded) for `done`, checking every 20 ms.
  template <typename Done>
  static bool WaitFor(Done done, int seconds = 60) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!done()) {
      if (std::chrono::steady_clock::now() > end) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
  }

  std::string root_;
  std::string program_;
  pid_t child_ = -1;
  testing_server::DownloadServer server_;
};

TEST_F(EngineResumeTest, AKilledProgramsDownloadContinuesAfterARestart) {
  testing_server::Resource resource = testing_server::Generated(kSize);
  resource.bytes_per_second = 1024 * 1024;
  server_.Put("/resume.apk", resource);
  const std::string url = server_.Url("/resume.apk");
  const uint32_t id = Utf16LeCrc32(AnsiToWString(url));
  const std::string apk = root_ + "/apps/" + WStringToAnsi(CAutoTaskMgr::TaskFileName(u"续传", id)) + ".apk";

  std::string folder = root_ + "/apps/", work = root_ + "/work/", library = program_ + "/libswarmload.so";
  char* args[] = {const_cast<char*>(DOWNLOAD_CHILD), folder.data(), work.data(), library.data(),
                  const_cast<char*>(url.c_str()), nullptr};
  ASSERT_EQ(posix_spawn(&child_, DOWNLOAD_CHILD, nullptr, nullptr, args, environ), 0);
  ASSERT_TRUE(WaitFor([&] { return SizeOf(apk + ".td") >= 256 * 1024; })) << "the first run never got going";
  kill(child_, SIGKILL);
  waitpid(child_, nullptr, 0);
  child_ = -1;
  const uint64_t kept = SizeOf(apk + ".td");
  ASSERT_LT(kept, kSize);

  TaskPhoneSide side;
  side.is_connected = [] { return false; };
  server_.Put("/resume.apk", testing_server::Generated(kSize));  // full speed now
  {
    CAutoTaskMgr manager(Paths(), side, 100);
    manager.Init();
    ASSERT_TRUE(manager.StartDownload(AnsiToWString(url).c_str(), u"续传", nullptr, nullptr, nullptr));
    ASSERT_TRUE(WaitFor([&] { return manager.IsExistOffTask(id); })) << "the second run never finished";
    EXPECT_EQ(manager.FindOfflineTask(id)->file_path, AnsiToWString(apk));
  }
  std::ifstream in(apk, std::ios::binary);
  const std::string body((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_TRUE(body == testing_server::Pattern(0, kSize)) << "size " << body.size();

  const auto requests = server_.Requests();
  ASSERT_GE(requests.size(), 2u);
  const auto& last = requests.back();
  EXPECT_EQ(last.range.rfind("bytes=", 0), 0u) << last.range;
  EXPECT_GT(last.first_byte, 0u);
  EXPECT_LT(last.bytes_sent, kSize);
}

// The kitoracle double of the program folder, its DSInit held: swarmload's
// start waits in it as it waits for an unreachable search service.
class HeldSearchService {
 public:
  explicit HeldSearchService(const std::string& library) : lib_(dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL)) {
    if (lib_) Hook<void(int)>("KitoracleDouble_HoldInit")(1);
  }
  ~HeldSearchService() {
    Release();
    if (lib_) dlclose(lib_);
  }
  bool Loaded() const { return lib_ != nullptr; }
  bool Waiting(int timeout_ms) { return Hook<int(int)>("KitoracleDouble_WaitInitHeld")(timeout_ms) != 0; }
  void Release() {
    if (lib_) Hook<void(int)>("KitoracleDouble_HoldInit")(0);
  }

 private:
  template <typename Fn>
  Fn* Hook(const char* name) {
    return reinterpret_cast<Fn*>(dlsym(lib_, name));
  }
  void* lib_;
};

TEST_F(EngineResumeTest, RequestsDuringTheStartAreCarriedOutInOrderOnceItEnds) {
  const std::string url = server_.Url("/missing.apk");  // the download fails and its task stays listed
  const uint32_t download = Utf16LeCrc32(AnsiToWString(url));
  // One downloaded app waits in downlist.dat; one apk is chosen by the user.
  SOfflineTask waiting;
  waiting.task_id = 77;
  waiting.app_name = u"已下载";
  waiting.down_url = u"http://127.0.0.1/w.apk";
  waiting.file_path = AnsiToWString(root_ + "/apps/waiting.apk");
  std::ofstream(root_ + "/apps/waiting.apk") << "apk";
  ASSERT_TRUE(SaveTaskToList(Paths().list_file, waiting));
  const std::u16string chosen = AnsiToWString(root_ + "/apps/chosen.apk");
  std::ofstream(WStringToAnsi(chosen)) << "apk";

  std::mutex installs_lock;
  std::vector<std::u16string> installs;
  TaskPhoneSide side;
  side.is_connected = [] { return true; };
  side.install = [&](const std::u16string& apk, int32_t, uint32_t, InstallListener*) {
    std::lock_guard<std::mutex> hold(installs_lock);
    installs.push_back(apk);
    return true;
  };
  side.read_apk = [](const std::u16string&, ApkBadgingInfo* info) {
    info->package_name = u"com.chosen";
    info->label = u"选中的";
    return true;
  };

  HeldSearchService search(program_ + "/libkitoracle.so");
  ASSERT_TRUE(search.Loaded()) << dlerror();
  message_sink::Take();
  CAutoTaskMgr manager(Paths(), side, 100);
  auto start = std::async(std::launch::async, [&] { manager.Start(); });
  const bool waiting_for_service = search.Waiting(30000);
  const bool returned = start.wait_for(std::chrono::seconds(30)) == std::future_status::ready;
  if (!waiting_for_service || !returned) search.Release();
  ASSERT_TRUE(waiting_for_service) << "the engine's start never asked the search service";
  ASSERT_TRUE(returned) << "Start waited for the engine's start";

  // Asked meanwhile: taken at once, carried out later.
  EXPECT_TRUE(manager.StartDownload(AnsiToWString(url).c_str(), u"下载", nullptr, nullptr, u"com.download"));
  manager.AutoInstallOfflineApp();
  EXPECT_TRUE(manager.InstallApkFile(chosen));
  EXPECT_FALSE(manager.IsStarted());
  EXPECT_EQ(manager.GetOnlineTaskCount(), 0);
  EXPECT_EQ(manager.GetOfflineTaskCount(), 0);  // read after the engine's start
  EXPECT_TRUE(message_sink::Take().empty());

  search.Release();
  std::vector<uint32_t> seen;
  ASSERT_TRUE(WaitFor([&] {
    for (const PostedMessage& m : message_sink::Take()) seen.push_back(m.message);
    return std::find(seen.begin(), seen.end(), msg::kTaskMgrStarted) != seen.end();
  })) << "the start never ended";
  manager.JoinWorkers();
  EXPECT_TRUE(manager.IsStarted());
  auto at = [&](uint32_t message) { return std::find(seen.begin(), seen.end(), message) - seen.begin(); };
  // The list first, then the requests in their order, then the news of the start.
  EXPECT_LT(at(msg::kTaskListLoaded), at(msg::kDownloadAnimation));
  EXPECT_LT(at(msg::kDownloadAnimation), at(msg::kOfflineTaskRemoved));
  EXPECT_LT(at(msg::kOfflineTaskRemoved), at(msg::kTaskMgrStarted));
  EXPECT_TRUE(manager.IsExistOnTask(download));
  EXPECT_TRUE(manager.IsExistOnTask(Utf16LeCrc32(chosen)));
  std::lock_guard<std::mutex> hold(installs_lock);
  EXPECT_EQ(installs, (std::vector<std::u16string>{waiting.file_path, chosen}));
}

}  // namespace
