// The model query's stray-adb sweep against the real adb: a stray copy is
// ended, while a real adb server on a private port (as the program's own)
// keeps running. Both are copies under a name of this test's own, given to
// the sweep in place of the shipped ones ("adb.exe", ...), so no adb process
// of the user's is ever a candidate; ctest runs this program beside adb
// processes it did not start and checks that they survive it
// (run_beside_bystanders.sh).
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <limits.h>
#include <netinet/in.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/socket.h>
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

// The real adb program, symbolic links resolved (empty when not on PATH).
std::string RealAdb() {
  const char* path = std::getenv("PATH");
  std::string dirs = path ? path : "/usr/bin:/bin";
  size_t start = 0;
  while (start <= dirs.size()) {
    size_t colon = dirs.find(':', start);
    if (colon == std::string::npos) colon = dirs.size();
    const std::string candidate = dirs.substr(start, colon - start) + "/adb";
    char resolved[PATH_MAX];
    if (access(candidate.c_str(), X_OK) == 0 && realpath(candidate.c_str(), resolved)) return resolved;
    start = colon + 1;
  }
  return std::string();
}

class StrayAdbTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/devwarden-stray-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    name_ = "dwstrayadb" + std::to_string(getpid());
    const std::string adb = RealAdb();
    ASSERT_FALSE(adb.empty()) << "adb is not installed";
    ASSERT_EQ(system(("cp '" + adb + "' '" + dir_ + "/" + name_ + "' && mkdir '" + dir_ + "/stray' && cp /bin/sleep '" +
                      dir_ + "/stray/" + name_ + "'")
                         .c_str()),
              0);
    // The sweep's names, ".exe" ending and all, as the shipped ones are written.
    setenv("PHONEDECK_STRAY_ADB_NAMES", (name_ + ".exe").c_str(), 1);
  }
  void TearDown() override {
    if (stray_ > 0 && !platform::IsProcessGone(stray_)) platform::EndProcesses({stray_}, std::chrono::seconds(3));
    if (port_ > 0) Adb("kill-server");
    unsetenv("PHONEDECK_STRAY_ADB_NAMES");
    (void)!system(("rm -rf '" + dir_ + "'").c_str());
  }
  int Adb(const std::string& args) {
    return system(("HOME='" + dir_ + "' ANDROID_ADB_SERVER_PORT=" + std::to_string(port_) + " '" + dir_ + "/" +
                   name_ + "' " + args + " >/dev/null 2>&1")
                      .c_str());
  }
  // The adb server process serving `port` (0 when none).
  pid_t ServerOn(int port) {
    for (const platform::ProcessEntry& p : platform::ListProcesses()) {
      if (p.image_path != dir_ + "/" + name_) continue;
      const std::string line = CommandLine(p.pid);
      if (line.find("server") != std::string::npos && line.find("tcp:" + std::to_string(port)) != std::string::npos)
        return p.pid;
    }
    return 0;
  }
  void StartServer() {
    for (int attempt = 0; attempt < 5 && server_ == 0; ++attempt) {
      port_ = UnusedPort();
      ASSERT_GT(port_, 0);
      if (Adb("start-server") == 0) server_ = ServerOn(port_);
    }
    ASSERT_NE(server_, 0) << "no adb server could be started";
  }
  // A copy left behind by some other program: its starter ends at once, so
  // init adopts it (a process this one started would be spared).
  void StartStray() {
    const std::string copy = dir_ + "/stray/" + name_;
    ASSERT_EQ(system(("'" + copy + "' 60 & echo $! > '" + dir_ + "/stray.pid'").c_str()), 0);
    std::ifstream(dir_ + "/stray.pid") >> stray_;
    ASSERT_GT(stray_, 0);
    // Running once /proc shows the copy's image.
    for (int i = 0; i < 500; ++i) {
      for (const platform::ProcessEntry& p : platform::ListProcesses())
        if (p.pid == stray_ && p.image_path == copy) return;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    FAIL() << "the stray copy did not start";
  }
  // True when the stray copy ended within a few seconds.
  bool StrayEnded() {
    for (int i = 0; i < 500; ++i) {
      if (platform::IsProcessGone(stray_)) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
  }

  std::string dir_;
  std::string name_;
  int port_ = 0;
  pid_t server_ = 0;
  pid_t stray_ = 0;
};

TEST_F(StrayAdbTest, TheModelQueryEndsAStrayCopyButNeverTheAdbServer) {
  ASSERT_NO_FATAL_FAILURE(StartServer());
  ASSERT_NO_FATAL_FAILURE(StartStray());
  AndroidModelInfo info{};
  // Without the driver service the answer fails; the stray copies go first.
  GetMobileProductInfo(0x18d1, 0x4ee7, u"", u"", u"", &info);
  EXPECT_TRUE(StrayEnded()) << "the stray copy still runs";
  EXPECT_FALSE(platform::IsProcessGone(server_)) << "the adb server was ended";
  EXPECT_EQ(Adb("devices"), 0);
  EXPECT_EQ(ServerOn(port_), server_);
}

}  // namespace
}  // namespace devwarden
