// The statistics stand-in, loaded as the program loads it.
#include <dlfcn.h>
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <httplib.h>

#include <cstdlib>
#include <fstream>
#include <mutex>
#include <sstream>
#include <thread>
#include <vector>

#include "report.h"
#include "tallyhand.h"
#include "app/adb/tests/closed_port.h"

namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(TallyhandReport, ActionReportCarriesIdentityAndText) {
  tallyhand::Identity id;
  id.union_id = 1111;
  id.app_id = 8;
  id.version = (2ULL << 48) | (1ULL << 32) | 35;
  EXPECT_EQ(tallyhand::BuildReport(id, "action", "2026-12-10 13:20:02", 222, "删除 \"x\"", 0),
            "{\"action\":222,\"appid\":8,\"event\":\"action\",\"flag\":0,\"text\":\"删除 \\\"x\\\"\","
            "\"time\":\"2026-12-10 13:20:02\",\"unionid\":1111,\"version\":\"2.1.0.35\"}");
  EXPECT_EQ(tallyhand::BuildReport(id, "online", "t", 0, "", 0),
            "{\"appid\":8,\"event\":\"online\",\"time\":\"t\",\"unionid\":1111,\"version\":\"2.1.0.35\"}");
}

// libTallyhand.so from the program folder, beside libLettermill.so.
class Tallyhand : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/tallyhand_test_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    setenv("PHONEDECK_PROGRAM_DIR", dir_.c_str(), 1);
    unsetenv("PHONEDECK_STAT_URL");
    library_ = dlopen(PD_BIN_DIR "/libTallyhand.so", RTLD_NOW);
    ASSERT_NE(library_, nullptr) << dlerror();
    init_ = reinterpret_cast<PfnSTInit>(dlsym(library_, "STInit"));
    uninit_ = reinterpret_cast<PfnSTUninit>(dlsym(library_, "STUninit"));
    app_id_ = reinterpret_cast<PfnSTAppID>(dlsym(library_, "STAppID"));
    union_id_ = reinterpret_cast<PfnSTUnionID>(dlsym(library_, "STUnionID"));
    online_ = reinterpret_cast<PfnSTOnline>(dlsym(library_, "STOnline"));
    action_ = reinterpret_cast<PfnSTAction>(dlsym(library_, "STAction"));
    ASSERT_TRUE(init_ && uninit_ && app_id_ && union_id_ && online_ && action_);
  }
  void TearDown() override {
    if (library_ != nullptr) dlclose(library_);
    unsetenv("PHONEDECK_PROGRAM_DIR");
    unsetenv("PHONEDECK_STAT_URL");
    std::string command = "rm -rf '" + dir_ + "'";
    EXPECT_EQ(std::system(command.c_str()), 0);
  }
  std::string LocalFile() const { return dir_ + "/log/tallyhand.log"; }

  std::string dir_;
  void* library_ = nullptr;
  PfnSTInit init_ = nullptr;
  PfnSTUninit uninit_ = nullptr;
  PfnSTAppID app_id_ = nullptr;
  PfnSTUnionID union_id_ = nullptr;
  PfnSTOnline online_ = nullptr;
  PfnSTAction action_ = nullptr;
};

TEST_F(Tallyhand, WithoutEndpointReportsGoToTheLocalFile) {
  EXPECT_EQ(action_(1, "x", 1, 0), 0) << "nothing is recorded before STInit";
  ASSERT_TRUE(init_());
  app_id_(8);
  union_id_(1110);
  online_();
  EXPECT_EQ(action_(301, "abcdef", 3, 0), 1);
  uninit_();
  const std::string text = ReadFile(LocalFile());
  EXPECT_NE(text.find("\"event\":\"online\""), std::string::npos) << text;
  EXPECT_NE(text.find("\"action\":301,\"appid\":8,\"event\":\"action\",\"flag\":0,\"text\":\"abc\""),
            std::string::npos)
      << text;
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 2);
}

TEST_F(Tallyhand, WithEndpointReportsArePostedThroughLettermill) {
  httplib::Server server;
  std::mutex lock;
  std::vector<std::string> bodies;
  server.Post("/stat", [&](const httplib::Request& req, httplib::Response& res) {
    std::lock_guard<std::mutex> hold(lock);
    bodies.push_back(req.body);
    res.set_content("ok", "text/plain");
  });
  const int port = server.bind_to_any_port("127.0.0.1");
  std::thread thread([&] { server.listen_after_bind(); });
  while (!server.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  const std::string url = "http://127.0.0.1:" + std::to_string(port) + "/stat";
  setenv("PHONEDECK_STAT_URL", url.c_str(), 1);

  ASSERT_TRUE(init_());
  online_();
  EXPECT_EQ(action_(7, "hi", 2, 1), 1);
  uninit_();
  server.stop();
  thread.join();
  ASSERT_EQ(bodies.size(), 2u);
  EXPECT_NE(bodies[0].find("\"event\":\"online\""), std::string::npos);
  EXPECT_NE(bodies[1].find("\"text\":\"hi\""), std::string::npos);
  EXPECT_TRUE(ReadFile(LocalFile()).empty());
}

TEST_F(Tallyhand, AnUnreachableEndpointFallsBackToTheLocalFile) {
  const testing_support::ClosedPort closed;  // connections are refused
  const int port = closed.port();
  const std::string url = "http://127.0.0.1:" + std::to_string(port) + "/stat";
  setenv("PHONEDECK_STAT_URL", url.c_str(), 1);
  ASSERT_TRUE(init_());
  EXPECT_EQ(action_(9, "kept", 4, 0), 1);
  uninit_();
  EXPECT_NE(ReadFile(LocalFile()).find("\"text\":\"kept\""), std::string::npos);
}

}  // namespace
