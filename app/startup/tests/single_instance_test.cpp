// The single-instance guard within one process: a second lock on the same
// file counts as a second start (flock locks belong to the open file), so
// the listener, the wake-up messages and the failure paths can be checked
// without a second process. Two real processes: ui/tests.
#include "app/startup/single_instance.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
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

// Something at the lock's name that cannot be opened says nothing of a
// running copy: with nobody on the socket the user's own lock is taken and
// the start goes on; a second start then finds the first through both.
TEST_F(SingleInstanceTest, ALockThatCannotBeOpenedIsNoRunningCopy) {
  ASSERT_EQ(mkdir(CSingleInstance::LockPath(kMutex).c_str(), 0700), 0);
  ASSERT_TRUE(CSingleInstance::Check(kMutex, kClass, nullptr, true));
  EXPECT_EQ(CSingleInstance::Refusal(), "");
  struct stat st;
  EXPECT_EQ(stat(CSingleInstance::SocketPath(kClass).c_str(), &st), 0);
  ASSERT_EQ(stat(CSingleInstance::PrivateLockPath(kMutex).c_str(), &st), 0);
  EXPECT_EQ(st.st_uid, getuid());
  EXPECT_EQ(st.st_mode & 0777, 0600u);

  EXPECT_FALSE(CSingleInstance::Check(kMutex, kClass, nullptr, true));
  EXPECT_EQ(CSingleInstance::Refusal(), "");  // another copy runs: no refusal
  EXPECT_EQ(WaitPosted(2).size(), 2u);         // and it was woken
}

// Another user's lock, as a run under sudo leaves it: the start goes on with
// this user's own lock. As root the start runs in a child of another uid;
// otherwise the lock file is made unreadable to its owner.
TEST_F(SingleInstanceTest, AnotherUsersStaleLockDoesNotStopTheStart) {
  const std::string lock = CSingleInstance::LockPath(kMutex);
  const int made = open(lock.c_str(), O_RDWR | O_CREAT, 0600);
  ASSERT_GE(made, 0);
  close(made);
  if (getuid() != 0) {
    ASSERT_EQ(chmod(lock.c_str(), 0), 0);
    ASSERT_TRUE(CSingleInstance::Check(kMutex, kClass, nullptr, true));
    struct stat st;
    EXPECT_EQ(stat(CSingleInstance::PrivateLockPath(kMutex).c_str(), &st), 0);
    return;
  }
  constexpr uid_t kOther = 4242;
  ASSERT_EQ(chown(dir_.c_str(), kOther, kOther), 0);  // the runtime folder is the other user's own
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (setgid(kOther) != 0 || setuid(kOther) != 0) _exit(2);
    const bool only = CSingleInstance::Check(kMutex, kClass, nullptr, true);
    struct stat st;
    const bool own_lock = stat(CSingleInstance::PrivateLockPath(kMutex).c_str(), &st) == 0 && st.st_uid == kOther;
    _exit(only && own_lock ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "2: could not become the other user; 1: the start was refused";
}

// Only when neither lock can be had does the start give up, and it says why.
TEST_F(SingleInstanceTest, NoLockAtAllIsARefusalThatNamesBoth) {
  ASSERT_EQ(mkdir(CSingleInstance::LockPath(kMutex).c_str(), 0700), 0);
  ASSERT_EQ(mkdir(CSingleInstance::PrivateLockPath(kMutex).c_str(), 0700), 0);
  EXPECT_FALSE(CSingleInstance::Check(kMutex, kClass, nullptr, true));
  const std::string why = CSingleInstance::Refusal();
  EXPECT_NE(why.find(CSingleInstance::LockPath(kMutex)), std::string::npos) << why;
  EXPECT_NE(why.find(CSingleInstance::PrivateLockPath(kMutex)), std::string::npos) << why;
  EXPECT_NE(why.find("Is a directory"), std::string::npos) << why;
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
