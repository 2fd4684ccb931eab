#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <httplib.h>

#include <string>
#include <thread>

#include "lettermill.h"
#include "app/adb/tests/closed_port.h"

namespace {

// A loopback HTTP server on a free port that records the last post.
class PostServer {
 public:
  PostServer() {
    server_.Post("/ok", [this](const httplib::Request& req, httplib::Response& res) {
      body_ = req.body;
      type_ = req.get_header_value("Content-Type");
      res.set_content("fine", "text/plain");
    });
    server_.Post("/fail", [](const httplib::Request&, httplib::Response& res) { res.status = 500; });
    port_ = server_.bind_to_any_port("127.0.0.1");
    thread_ = std::thread([this] { server_.listen_after_bind(); });
    while (!server_.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ~PostServer() {
    server_.stop();
    thread_.join();
  }
  std::string Url(const char* path) const { return "http://127.0.0.1:" + std::to_string(port_) + path; }
  std::string body_, type_;

 private:
  httplib::Server server_;
  int port_ = 0;
  std::thread thread_;
};

TEST(Lettermill, PostsAndReportsTheAnswer) {
  EXPECT_EQ(LettermillEx("http://127.0.0.1:1/", "{}", 1, 1), 0) << "refused before InitPost";
  ASSERT_EQ(InitPost(), 1);
  PostServer server;
  EXPECT_EQ(LettermillEx(server.Url("/ok").c_str(), "{\"a\":\"b\"}", 1, 1), 1);
  EXPECT_EQ(server.body_, "{\"a\":\"b\"}");
  EXPECT_EQ(server.type_, "application/json; charset=utf-8");
  EXPECT_EQ(Lettermill(server.Url("/ok").c_str(), "x=1", 0, 1), 1);
  EXPECT_EQ(server.type_, "application/x-www-form-urlencoded");

  EXPECT_EQ(LettermillEx(server.Url("/fail").c_str(), "{}", 1, 1), 0);
  EXPECT_EQ(LettermillEx(server.Url("/missing").c_str(), "{}", 1, 1), 0);
  EXPECT_EQ(LettermillEx(nullptr, "{}", 1, 1), 0);
  EXPECT_EQ(LettermillEx(server.Url("/ok").c_str(), nullptr, 1, 1), 0);
  EXPECT_EQ(LettermillEx("file:///etc/passwd", "{}", 1, 1), 0);
  UinitPost();
}

TEST(Lettermill, ARefusedConnectionIsAFailure) {
  ASSERT_EQ(InitPost(), 1);
  const testing_support::ClosedPort closed;  // connections are refused
  const int port = closed.port();
  const std::string url = "http://127.0.0.1:" + std::to_string(port) + "/";
  EXPECT_EQ(LettermillEx(url.c_str(), "{}", 1, 1), 0);
  UinitPost();
}

}  // namespace
