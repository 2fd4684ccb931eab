// The download library against a loopback HTTP server on a free port.
#include <arpa/inet.h>
#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "webpuller.h"
#include "app/adb/tests/closed_port.h"

namespace {

const uint8_t kKey[16] = {0x01, 0x23, 0x45, 0x67, 0x89, 0xab, 0xcd, 0xef, 0x10, 0x32, 0x54, 0x76, 0x98, 0xba, 0xdc, 0xfe};
const char kKeyHex[] = "0123456789abcdef1032547698badcfe";
const uint8_t kSlowKey[16] = {0xaa, 0xbb};
const char kSlowHex[] = "aabb0000000000000000000000000000";
const uint8_t kMissingKey[16] = {0x99};


// Serves /drivers/<hex>: the package body at once, or in slow pieces for
// the slow key; anything else is 404.
class PackageServer {
 public:
  PackageServer() {
    body_.assign(200000, 'p');
    for (size_t i = 0; i < body_.size(); i += 997) body_[i] = static_cast<char>('a' + i % 26);
    server_.Get(std::string("/drivers/") + kKeyHex, [this](const httplib::Request&, httplib::Response& res) {
      res.set_content(body_, "application/octet-stream");
    });
    server_.Get(std::string("/drivers/") + kSlowHex, [this](const httplib::Request&, httplib::Response& res) {
      res.set_content_provider(kSlowSize, "application/octet-stream",
                               [this](size_t offset, size_t, httplib::DataSink& sink) {
                                 if (quit_.load()) return false;
                                 std::this_thread::sleep_for(std::chrono::milliseconds(50));
                                 std::string piece(std::min<size_t>(4096, kSlowSize - offset), 's');
                                 return sink.write(piece.data(), piece.size());
                               });
    });
    port_ = server_.bind_to_any_port("127.0.0.1");
    thread_ = std::thread([this] { server_.listen_after_bind(); });
    while (!server_.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ~PackageServer() {
    quit_ = true;
    server_.stop();
    thread_.join();
  }
  std::string Base() const { return "http://127.0.0.1:" + std::to_string(port_) + "/drivers"; }
  const std::string& body() const { return body_; }
  static constexpr size_t kSlowSize = 4096 * 400;  // about 20 s at the slow pace

 private:
  httplib::Server server_;
  std::string body_;
  std::atomic<bool> quit_{false};
  int port_ = 0;
  std::thread thread_;
};

class WebpullerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/webpuller-test-XXXXXX";
    folder_ = mkdtemp(tmpl);
    setenv("WEBPULLER_BASE_URL", server_.Base().c_str(), 1);
    const std::u16string wide(folder_.begin(), folder_.end());
    DLSetDownloadPath(wide.c_str());
  }
  void TearDown() override {
    DLDestroyAll();
    std::system(("rm -rf '" + folder_ + "'").c_str());
  }

  static int WaitWhileRunning(int id, int timeout_ms = 10000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    int status;
    while ((status = DLGetDownloadStatus(id)) == WEBPULLER_RUNNING && std::chrono::steady_clock::now() < end)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return status;
  }
  int FilesInFolder() {
    return std::system(("test $(ls -A '" + folder_ + "' | wc -l) -eq 0").c_str()) == 0 ? 0 : 1;
  }

  PackageServer server_;
  std::string folder_;
};

TEST_F(WebpullerTest, DownloadsAPackageToItsKeyName) {
  const int id = DLStartDownload(kKey);
  ASSERT_GT(id, 0);
  ASSERT_EQ(WaitWhileRunning(id), WEBPULLER_FINISHED);
  EXPECT_EQ(DLGetDownloadSize(id), server_.body().size());
  EXPECT_EQ(DLGetTotalSize(id), server_.body().size());
  char16_t path[260];
  const int length = DLGetDownloadFileName(id, path);
  const std::string expected = folder_ + "/" + kKeyHex;
  EXPECT_EQ(std::u16string(path), std::u16string(expected.begin(), expected.end()));
  EXPECT_EQ(length, static_cast<int>(expected.size()));
  std::ifstream f(expected, std::ios::binary);
  std::stringstream content;
  content << f.rdbuf();
  EXPECT_EQ(content.str(), server_.body());
  // Only the finished file: the temporary one was renamed.
  EXPECT_EQ(std::system(("test $(ls -A '" + folder_ + "' | wc -l) -eq 1").c_str()), 0);
  // A second download of the same key gets its own id.
  const int again = DLStartDownload(kKey);
  EXPECT_NE(again, id);
  EXPECT_EQ(WaitWhileRunning(again), WEBPULLER_FINISHED);
}

TEST_F(WebpullerTest, ProgressWhileRunningThenStopRemovesTheTemporaryFile) {
  const int id = DLStartDownload(kSlowKey);
  ASSERT_GT(id, 0);
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (DLGetDownloadSize(id) < 40000 && std::chrono::steady_clock::now() < end)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(DLGetDownloadStatus(id), WEBPULLER_RUNNING);
  EXPECT_GE(DLGetDownloadSize(id), 40000u);
  EXPECT_EQ(DLGetTotalSize(id), PackageServer::kSlowSize);
  std::this_thread::sleep_for(std::chrono::milliseconds(1200));
  EXPECT_GT(DLGetDownloadSpeed(id), 0);
  DLStopDownload(id);
  EXPECT_EQ(DLGetDownloadStatus(id), WEBPULLER_STOPPED);
  DLDestroyAll();  // waits for the worker
  EXPECT_EQ(FilesInFolder(), 0) << "no partial file stays behind";
}

TEST_F(WebpullerTest, FailuresAreFinalAndLeaveNoFile) {
  const int missing = DLStartDownload(kMissingKey);
  ASSERT_GT(missing, 0);
  EXPECT_EQ(WaitWhileRunning(missing), WEBPULLER_FAILED);  // 404
  // A refused connection: nothing listens on the port any more.
  const testing_support::ClosedPort closed;  // connections are refused
  const int port = closed.port();
  setenv("WEBPULLER_BASE_URL", ("http://127.0.0.1:" + std::to_string(port)).c_str(), 1);
  const int refused = DLStartDownload(kKey);
  ASSERT_GT(refused, 0);
  EXPECT_EQ(WaitWhileRunning(refused), WEBPULLER_FAILED);
  EXPECT_EQ(FilesInFolder(), 0);
  // Other schemes are refused by the transfer itself.
  setenv("WEBPULLER_BASE_URL", "file:///etc", 1);
  const int file = DLStartDownload(kKey);
  EXPECT_EQ(WaitWhileRunning(file), WEBPULLER_FAILED);
  EXPECT_EQ(DLGetDownloadStatus(12345), WEBPULLER_FAILED);
  EXPECT_EQ(DLGetDownloadSize(12345), 0u);
}

TEST_F(WebpullerTest, StartIsRefusedWithoutAddressOrKey) {
  EXPECT_EQ(DLStartDownload(nullptr), 0);
  unsetenv("WEBPULLER_BASE_URL");
  EXPECT_EQ(DLStartDownload(kKey), 0);
}

TEST_F(WebpullerTest, AFileNameThatDoesNotFitIsNotCut) {
  std::string deep = folder_;
  while (deep.size() < 250) {
    deep += "/folder-of-a-long-path";
    ::mkdir(deep.c_str(), 0755);
  }
  const std::u16string wide(deep.begin(), deep.end());
  DLSetDownloadPath(wide.c_str());
  const int id = DLStartDownload(kKey);
  ASSERT_GT(id, 0);
  EXPECT_EQ(WaitWhileRunning(id), WEBPULLER_FINISHED);
  char16_t path[260];
  std::fill(std::begin(path), std::end(path), u'#');
  EXPECT_EQ(DLGetDownloadFileName(id, path), 0);
  EXPECT_EQ(path[0], 0);
  EXPECT_EQ(path[1], u'#');
}

}  // namespace
