// The single-instance guard within one process: a second lock on the same
// file counts as a second start (flock locks belong to the open file), so
// the listener, the wake-up messages and the failure paths can be checked
// without a second process. Two real processes: ui/tests.
#include "app/startup/single_instance.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr char16_t kMutex[] = u"Global\\{0A9563EC-49E8-4bf1-80DD-4862C014C51E}";
constexpr char16_t kClass[] = u"Shelfhub";

struct Posted {
  uint32_t message;
  uintptr_t wParam;
  intptr_t lParam;
};

class SingleInstanceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/single_instance_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    setenv("XDG_RUNTIME_DIR", dir_.c_str(), 1);
    CSingleInstance::SetPoster([this](uint32_t m, uintptr_t w, intptr_t l) {
      std::lock_guard<std::mutex> hold(mu_);
      posted_.push_back({m, w, l});
      cv_.notify_all();
      return true;
    });
  }
  void TearDown() override {
    CSingleInstance::Close();
    CSingleInstance::SetPoster(nullptr);
    unsetenv("XDG_RUNTIME_DIR");
    EXPECT_EQ(std::system(("rm -rf '" + dir_ + "'").c_str()), 0);
  }
  // Waits until `count` messages arrived (or a second passed).
  std::vector<Posted> WaitPosted(size_t count) {
    std::unique_lock<std::mutex> hold(mu_);
    cv_.wait_for(hold, std::chrono::seconds(1), [&] { return posted_.size() >= count; });
    return posted_;
  }

  std::string dir_;
  std::mutex mu_;
  std::condition_variable cv_;
  std::vector<Posted> posted_;
};

TEST_F(SingleInstanceTest, SecondStartWakesTheFirst) {
  ASSERT_TRUE(CSingleInstance::Check(kMutex, kClass, nullptr, true));
  struct stat st;
  EXPECT_EQ(stat(CSingleInstance::SocketPath(kClass).c_str(), &st), 0);

  EXPECT_FALSE(CSingleInstance::Check(kMutex, kClass, nullptr, true));
  std::vector<Posted> got = WaitPosted(2);
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0].message, 0x0112u);  // WM_SYSCOMMAND
  EXPECT_EQ(got[0].wParam, 0xF120u);   // SC_RESTORE
  EXPECT_EQ(got[1].message, 35768u);
  EXPECT_EQ(got[1].wParam, 100u);
  EXPECT_EQ(got[1].lParam, 0);

  // Without `restore` a second start sends nothing.
  EXPECT_FALSE(CSingleInstance::Check(kMutex, kClass, nullptr, false));
  EXPECT_EQ(WaitPosted(3).size(), 2u);

  // Once closed, the next start is the first again.
  CSingleInstance::Close();
  EXPECT_NE(stat(CSingleInstance::SocketPath(kClass).c_str(), &st), 0);
  EXPECT_TRUE(CSingleInstance::Check(kMutex, kClass, nullptr, true));
}

TEST_F(SingleInstanceTest, LockThatCannotBeMadeIsNotOnlyInstance) {
  // A folder stands where the lock file goes: it cannot be opened for writing.
  ASSERT_EQ(mkdir(CSingleInstance::LockPath(kMutex).c_str(), 0700), 0);
  EXPECT_FALSE(CSingleInstance::Check(kMutex, kClass, nullptr, true));
  struct stat st;
  EXPECT_NE(stat(CSingleInstance::SocketPath(kClass).c_str(), &st), 0);  // nobody listens
}

TEST_F(SingleInstanceTest, HungFirstInstanceGetsNothing) {
  // Something holds the lock and listens on the socket but never answers.
  ASSERT_TRUE(CSingleInstance::Check(kMutex, kClass, nullptr, true));
  CSingleInstance::Close();
  int lock = open(CSingleInstance::LockPath(kMutex).c_str(), O_RDWR);
  ASSERT_GE(lock, 0);
  ASSERT_EQ(flock(lock, LOCK_EX), 0);
  int server = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  std::string path = CSingleInstance::SocketPath(kClass);
  std::snprintf(addr.sun_path, sizeof(addr.sun_path), "%s", path.c_str());
  ASSERT_EQ(bind(server, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)), 0);
  ASSERT_EQ(listen(server, 1), 0);

  auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(CSingleInstance::Check(kMutex, kClass, nullptr, true));
  auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_GE(waited, std::chrono::milliseconds(CSingleInstance::kAnswerTimeoutMs - 100));

  // The connection carried the probe only: no message line.
  int client = accept(server, nullptr, nullptr);
  ASSERT_GE(client, 0);
  char buffer[256] = {};
  ssize_t n = recv(client, buffer, sizeof(buffer) - 1, 0);
  EXPECT_EQ(std::string(buffer, n > 0 ? static_cast<size_t>(n) : 0), "probe\n");
  close(client);
  close(server);
  close(lock);
  unlink(path.c_str());
}

TEST_F(SingleInstanceTest, ListenerRefusesAnythingButWakeUpAndQuit) {
  ASSERT_TRUE(CSingleInstance::Check(kMutex, kClass, nullptr, true));
  struct Case {
    std::string lines;
    size_t delivered;
  } cases[] = {
      {"post 1295 0 0\n", 1},                      // quit request
      {"post 274 61472 0\n", 0},                   // WM_SYSCOMMAND other than SC_RESTORE
      {"post 1225 1 123456\n", 0},                 // carries a pointer: never from outside
      {"post 35768 100 0 extra\n", 0},             // malformed
      {"hello\npost 35768 100 0\n", 0},            // unknown verb ends the connection
      {std::string(200, 'x') + "\n", 0},           // oversized line
  };
  size_t expected = 0;
  for (const Case& c : cases) {
    CSingleInstance::SendToRunningInstance(kClass, c.lines);
    expected += c.delivered;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(WaitPosted(expected).size(), expected) << c.lines;
  }
  EXPECT_EQ(posted_.at(0).message, 1295u);
}

}  // namespace
