// The task manager over the real swarmload and download engine, against the
// loopback download server: a program killed halfway through a download,
// started again, continues the download from what is on disk.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "app/config/config_mgr.h"
#include "app/task/auto_task_mgr.h"
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

}  // namespace
