// The model query with the shipped stray-adb names against the real adb: a
// dummy copy named adb that the test starts is ended, while a real adb
// server on a private port (as the program's own) keeps running.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <string>
#include <thread>

#include "android_model.h"
#include "platform/process_list.h"

namespace devwarden {
namespace {

// A TCP port that was free a moment ago (adb takes no port 0, so the
// server start is retried when another took it meanwhile).
int UnusedPort() {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof(addr);
  int port = 0;
  if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) == 0 &&
      getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) == 0)
    port = ntohs(addr.sin_port);
  close(fd);
  return port;
}

std::string CommandLine(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/cmdline", std::ios::binary);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  for (char& c : text)
    if (c == '\0') c = ' ';
  return text;
}

// The adb server process serving `port` (0 when none).
pid_t AdbServerOn(int port) {
  for (const platform::ProcessEntry& p : platform::ListProcesses()) {
    if (p.image_path.size() < 4 || p.image_path.compare(p.image_path.size() - 4, 4, "/adb") != 0) continue;
    const std::string line = CommandLine(p.pid);
    if (line.find("server") != std::string::npos && line.find("tcp:" + std::to_string(port)) != std::string::npos)
      return p.pid;
  }
  return 0;
}

class StrayAdbTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/devwarden-stray-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    unsetenv("PHONEDECK_STRAY_ADB_NAMES");  // the shipped names
  }
  void TearDown() override {
    if (dummy_ > 0) {
      kill(dummy_, SIGTERM);
      waitpid(dummy_, nullptr, 0);
    }
    if (port_ > 0) Adb("kill-server");
    (void)!system(("rm -rf '" + dir_ + "'").c_str());
  }
  int Adb(const std::string& args) {
    return system(("HOME='" + dir_ + "' ANDROID_ADB_SERVER_PORT=" + std::to_string(port_) + " adb " + args +
                   " >/dev/null 2>&1").c_str());
  }
  void StartServer() {
    for (int attempt = 0; attempt < 5 && server_ == 0; ++attempt) {
      port_ = UnusedPort();
      ASSERT_GT(port_, 0);
      if (Adb("start-server") == 0) server_ = AdbServerOn(port_);
    }
    ASSERT_NE(server_, 0) << "no adb server could be started";
  }
  void StartDummy() {
    const std::string copy = dir_ + "/adb";
    ASSERT_EQ(system(("cp /bin/sleep '" + copy + "'").c_str()), 0);
    dummy_ = fork();
    if (dummy_ == 0) {
      execl(copy.c_str(), "adb", "60", static_cast<char*>(nullptr));
      _exit(127);
    }
    ASSERT_GT(dummy_, 0);
    // Running once /proc shows the copy's image.
    for (int i = 0; i < 500; ++i) {
      for (const platform::ProcessEntry& p : platform::ListProcesses())
        if (p.pid == dummy_ && p.image_path == copy) return;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    FAIL() << "the dummy adb did not start";
  }
  // True when the dummy ended within a few seconds.
  bool DummyEnded() {
    for (int i = 0; i < 500; ++i) {
      if (waitpid(dummy_, nullptr, WNOHANG) == dummy_) {
        dummy_ = 0;
        return true;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
  }

  std::string dir_;
  int port_ = 0;
  pid_t server_ = 0;
  pid_t dummy_ = 0;
};

TEST_F(StrayAdbTest, TheModelQueryEndsAStrayCopyButNeverTheAdbServer) {
  ASSERT_NO_FATAL_FAILURE(StartServer());
  ASSERT_NO_FATAL_FAILURE(StartDummy());
  AndroidModelInfo info{};
  // Without the driver service the answer fails; the stray copies go first.
  GetMobileProductInfo(0x18d1, 0x4ee7, u"", u"", u"", &info);
  for (int i = 0; i < 3 && dummy_ > 0; ++i) {
    if (DummyEnded()) break;
    GetMobileProductInfo(0x18d1, 0x4ee7, u"", u"", u"", &info);  // another stray was first in line
  }
  EXPECT_EQ(dummy_, 0) << "the stray copy still runs";
  EXPECT_FALSE(platform::IsProcessGone(server_)) << "the adb server was ended";
  EXPECT_EQ(Adb("devices"), 0);
  EXPECT_EQ(AdbServerOn(port_), server_);
}

}  // namespace
}  // namespace devwarden
