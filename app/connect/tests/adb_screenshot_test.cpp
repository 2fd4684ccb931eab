// The framebuffer capture against a scripted adb server on a free port:
// the request bytes, good frames of each form, and every way a server can
// fail or lie.
#include "app/connect/adb_screenshot.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <mutex>

#include "app/adb/tests/temp_folder.h"
#include "app/config/config_mgr.h"
#include "app/connect/tests/test_listener.h"
#include "app/core/message_ids.h"
#include "app/core/phone_message.h"
#include "app/image/tests/png_read.h"
#include "foundation/base/code_page.h"
#include "foundation/base/tests/captured_log.h"

namespace {

using connect_test::TestListener;

std::string Word(uint32_t v) {
  return std::string{static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16),
                     static_cast<char>(v >> 24)};
}

// A version-1 header (wire order: red, blue, green, alpha).
std::string Header(int bpp, int size, int width, int height, int red_offset, int blue_offset) {
  std::string h = Word(1) + Word(bpp) + Word(static_cast<uint32_t>(size)) + Word(width) + Word(height);
  h += Word(red_offset) + Word(8) + Word(blue_offset) + Word(8) + Word(8) + Word(8) + Word(24) + Word(8);
  return h;
}

// 2 x 2 RGBA: red, green / blue, white.
const std::string kRgba("\xFF\x00\x00\xFF\x00\xFF\x00\xFF\x00\x00\xFF\xFF\xFF\xFF\xFF\xFF", 16);
const std::vector<uint32_t> kExpected = {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, 0xFFFFFFFFu};

// What the scripted server does.
struct Script {
  std::string transport_answer = "OKAY";
  std::string framebuffer_reply;  // "OKAY" + header
  std::string pixels;             // sent after the 256 nudge bytes
  bool hang_after_transport = false;
};

// Serves one shot per connection and records the requests it read.
class FakeAdbServer {
 public:
  explicit FakeAdbServer(Script script)
      : script_(std::move(script)), listener_([this](int fd, const std::atomic<bool>& stopping) { Serve(fd, stopping); }) {
    setenv("ANDROID_ADB_SERVER_PORT", std::to_string(listener_.port()).c_str(), 1);
  }
  std::vector<std::string> Requests() {
    listener_.Stop();
    std::lock_guard<std::mutex> hold(lock_);
    return requests_;
  }

 private:
  void Serve(int fd, const std::atomic<bool>& stopping) {
    std::string block;
    if (!TestListener::ReadExactly(fd, kAdbRequestBytes, &block, stopping)) return;
    Keep(block);
    TestListener::SendAll(fd, script_.transport_answer);
    if (script_.transport_answer != "OKAY") return;
    if (script_.hang_after_transport) return TestListener::Hang(stopping);
    if (!TestListener::ReadExactly(fd, kAdbRequestBytes, &block, stopping)) return;
    Keep(block);
    TestListener::SendAll(fd, script_.framebuffer_reply);
    if (script_.pixels.empty()) return;  // close after the header
    if (!TestListener::ReadExactly(fd, kAdbRequestBytes, &block, stopping)) return;
    Keep(block);
    TestListener::SendAll(fd, script_.pixels);
  }
  void Keep(const std::string& block) {
    std::lock_guard<std::mutex> hold(lock_);
    requests_.push_back(block);
  }

  Script script_;
  std::mutex lock_;
  std::vector<std::string> requests_;
  TestListener listener_;
};

std::string Padded(const std::string& text) { return text + std::string(kAdbRequestBytes - text.size(), '\0'); }

TEST(AdbScreenShot, RequestsAreLengthPrefixedAndPadded) {
  EXPECT_EQ(AdbRequest("host:transport:0123456789ABCDEF"), "001fhost:transport:0123456789ABCDEF");
  EXPECT_EQ(AdbRequest("framebuffer:"), "000cframebuffer:");
  FakeAdbServer server({"OKAY", "OKAY" + Header(32, 16, 2, 2, 0, 16), kRgba});
  ScreenShotSource source("0123456789ABCDEF");
  ASSERT_NE(AdbScreenShot(source, nullptr).bitmap, nullptr);
  const std::vector<std::string> requests = server.Requests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(requests[0], Padded("001fhost:transport:0123456789ABCDEF"));
  EXPECT_EQ(requests[1], Padded("000cframebuffer:"));
  EXPECT_EQ(requests[2], std::string(kAdbRequestBytes, '\0'));
}

TEST(AdbScreenShot, FramesOfEachForm) {
  std::string bgra = kRgba;
  for (size_t k = 0; k < bgra.size(); k += 4) std::swap(bgra[k], bgra[k + 2]);
  // Legacy form: size, width, height, then RGB565 pixels.
  const std::string legacy = "OKAY" + Word(16) + Word(8) + Word(2) + Word(2);
  const std::string rgb565("\x00\xF8\xE0\x07\x1F\x00\xFF\xFF", 8);
  struct Case {
    const char* name;
    Script script;
  } cases[] = {
      {"RGBA (red offset 0) is swapped to BGRA", {"OKAY", "OKAY" + Header(32, 16, 2, 2, 0, 16), kRgba}},
      {"BGRA (red offset 16) is kept", {"OKAY", "OKAY" + Header(32, 16, 2, 2, 16, 0), bgra}},
      {"legacy header: RGB565", {"OKAY", legacy, rgb565}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeAdbServer server(c.script);
    ScreenShotSource source("SER");
    ScreenShotResult result = AdbScreenShot(source, nullptr);
    ASSERT_NE(result.bitmap, nullptr);
    EXPECT_EQ(result.bitmap->pixels, kExpected);
  }
}

TEST(AdbScreenShot, BadServersGiveNothing) {
  std::string big_header = Header(32, 0x7FFFFFF0, 0x7FFF, 0x7FFF, 0, 16);
  struct Case {
    const char* name;
    Script script;
    size_t requests;  // what the server read before the shot ended
  } cases[] = {
      {"FAIL to the transport", {"FAIL0010device not found", "", ""}, 1},
      {"unknown header version", {"OKAY", "OKAY" + Word(2) + std::string(48, '\0'), ""}, 2},
      {"size that does not match the sides", {"OKAY", "OKAY" + Header(32, 4096, 2, 2, 0, 16), kRgba}, 2},
      {"huge size and sides", {"OKAY", "OKAY" + big_header, ""}, 2},
      {"24 bpp", {"OKAY", "OKAY" + Header(24, 12, 2, 2, 0, 16), kRgba.substr(0, 12)}, 2},
      {"zero width", {"OKAY", "OKAY" + Header(32, 0, 0, 2, 0, 16), ""}, 2},
      {"short header, then close", {"OKAY", "OKAY" + Header(32, 16, 2, 2, 0, 16).substr(0, 20), ""}, 2},
      {"pixels stop short, then close", {"OKAY", "OKAY" + Header(32, 16, 2, 2, 0, 16), kRgba.substr(0, 10)}, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeAdbServer server(c.script);
    ScreenShotSource source("SER");
    EXPECT_EQ(AdbScreenShot(source, nullptr, 5000).bitmap, nullptr);
    EXPECT_EQ(server.Requests().size(), c.requests);
    EXPECT_LE(source.buffer.size(), 16u) << "no buffer for an untrusted size";
  }
}

TEST(AdbScreenShot, AServerThatHangsEndsTheShotAtTheTimeOut) {
  Script script;
  script.hang_after_transport = true;
  FakeAdbServer server(script);
  ScreenShotSource source("SER");
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(AdbScreenShot(source, nullptr, 1000).bitmap, nullptr);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

class ScreenShotPostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(folder_.path().empty());
    CConfigMgr::Instance()->SetMainWnd(0x77);
    message_sink::Take();
  }
  testing_support::TempFolder folder_;
};

TEST_F(ScreenShotPostTest, OnlyAWrittenFileIsReportedSaved) {
  const std::string good = folder_.File("shot.png");
  {
    FakeAdbServer server({"OKAY", "OKAY" + Header(32, 16, 2, 2, 0, 16), kRgba});
    ScreenShotSource source("SER");
    ScreenShotAndPost(source, AnsiToWString(good).c_str());
    std::vector<PostedMessage> posted = message_sink::Take();
    ASSERT_EQ(posted.size(), 1u);
    EXPECT_EQ(posted[0].message, msg::kScreenshotSaved);
    image_test::Picture picture;
    ASSERT_TRUE(image_test::ReadPng(good, &picture));
    EXPECT_EQ(picture.pixels, kExpected);
  }
  {
    // The file from the last shot is still there; this shot fails.
    FakeAdbServer server({"OKAY", "OKAY" + Header(32, 16, 2, 2, 0, 16), kRgba.substr(0, 8)});
    ScreenShotSource source("SER");
    ScreenShotAndPost(source, AnsiToWString(good).c_str(), 5000);
    EXPECT_TRUE(message_sink::Take().empty()) << "a failed shot is never reported saved";
  }
  {
    testing_support::CapturedLog log;
    ASSERT_TRUE(log.opened());
    FakeAdbServer server({"OKAY", "OKAY" + Header(32, 16, 2, 2, 0, 16), kRgba});
    ScreenShotSource source("SER");
    ScreenShotAndPost(source, nullptr);
    std::vector<PostedMessage> posted = message_sink::Take();
    ASSERT_EQ(posted.size(), 1u);
    EXPECT_EQ(posted[0].message, msg::kScreenshotInMemory);
    std::unique_ptr<ScreenBitmap> bitmap(reinterpret_cast<ScreenBitmap*>(posted[0].wParam));
    EXPECT_EQ(bitmap->pixels, kExpected);
    EXPECT_TRUE(log.Has("GetScreenShot sucess!")) << log.Text();
  }
}

}  // namespace
