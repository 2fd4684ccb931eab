// A full disk under the real engine: a program whose files may not grow
// past 2 MB (an injected write failure, the same error a full disk gives)
// downloads a 3 MB app through the task manager. The download fails with
// the engine's file code, its part files are gone at once (the disk is not
// left full), and the next small download of the same program succeeds.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "app/task/auto_task_mgr.h"
#include "app/task/tests/engine_folder.h"
#include "foundation/base/code_page.h"
#include "foundation/base/crc32.h"
#include "testing/download_server/download_server.h"

extern char** environ;

namespace {

constexpr uint64_t kLarge = 3 * 1024 * 1024;
constexpr uint64_t kSmall = 1700;
constexpr uint64_t kLimit = 2 * 1024 * 1024;

class DiskFullTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/task_disk_full_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    root_ = pattern;
    program_ = root_ + "/program";
    task_test::MakeEngineFolder(root_);
  }
  void TearDown() override {
    if (child_ > 0) {
      kill(child_, SIGKILL);
      waitpid(child_, nullptr, 0);
    }
    if (out_ >= 0) close(out_);
    std::filesystem::remove_all(root_);
  }

  // The child's next line on stdout (empty after 90 s or at its end).
  std::string Line() {
    for (;;) {
      const size_t nl = buffer_.find('\n');
      if (nl != std::string::npos) {
        std::string line = buffer_.substr(0, nl);
        buffer_.erase(0, nl + 1);
        return line;
      }
      pollfd fd{out_, POLLIN, 0};
      if (poll(&fd, 1, 90000) <= 0) return std::string();
      char chunk[512];
      const ssize_t n = read(out_, chunk, sizeof chunk);
      if (n <= 0) return std::string();
      buffer_.append(chunk, static_cast<size_t>(n));
    }
  }
  static bool Exists(const std::string& path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0;
  }

  std::string root_;
  std::string program_;
  pid_t child_ = -1;
  int out_ = -1;
  std::string buffer_;
  testing_server::DownloadServer server_;
};

TEST_F(DiskFullTest, AFailedWriteRemovesThePartAndTheNextDownloadFits) {
  server_.Put("/large.apk", testing_server::Generated(kLarge));
  server_.Put("/small.apk", testing_server::Generated(kSmall));
  const std::string large = server_.Url("/large.apk");
  const std::string small = server_.Url("/small.apk");
  const uint32_t large_id = Utf16LeCrc32(AnsiToWString(large));
  const std::string large_apk =
      root_ + "/apps/" + WStringToAnsi(CAutoTaskMgr::TaskFileName(u"大应用", large_id)) + ".apk";

  int pipe_fds[2];
  ASSERT_EQ(pipe2(pipe_fds, O_CLOEXEC), 0);
  out_ = pipe_fds[0];
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], STDOUT_FILENO);
  std::string folder = root_ + "/apps/", work = root_ + "/work/", library = program_ + "/libswarmload.so";
  std::string limit = std::to_string(kLimit);
  char* args[] = {const_cast<char*>(DISK_FULL_CHILD), folder.data(), work.data(), library.data(),
                  const_cast<char*>(large.c_str()), const_cast<char*>(small.c_str()), limit.data(), nullptr};
  std::string program_dir = "PHONEDECK_PROGRAM_DIR=" + program_;
  std::vector<char*> env;
  for (char** e = environ; *e; ++e) {
    if (std::string(*e).rfind("PHONEDECK_PROGRAM_DIR=", 0) != 0) env.push_back(*e);
  }
  env.push_back(program_dir.data());
  env.push_back(nullptr);
  const int spawned = posix_spawn(&child_, DISK_FULL_CHILD, &actions, nullptr, args, env.data());
  posix_spawn_file_actions_destroy(&actions);
  close(pipe_fds[1]);
  ASSERT_EQ(spawned, 0);

  EXPECT_EQ(Line(), "failed 7 " + std::to_string(kEngineFailFile));
  EXPECT_FALSE(Exists(large_apk + ".td")) << "the part stays and keeps the disk full";
  EXPECT_FALSE(Exists(large_apk + ".td.cfg"));
  EXPECT_FALSE(Exists(large_apk));
  const std::string line = Line();
  ASSERT_EQ(line.rfind("small ", 0), 0u) << line;
  std::ifstream in(line.substr(6), std::ios::binary);
  const std::string body((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_TRUE(body == testing_server::Pattern(0, kSmall)) << "size " << body.size();
  int status = 0;
  ASSERT_EQ(waitpid(child_, &status, 0), child_);
  child_ = -1;
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

}  // namespace
