// The screenshot thread hands its path (or none) to the phone once per run.
#include "app/connect/shotcut_thread.h"

#include <gtest/gtest.h>

#include <mutex>

#include "app/connect/phone_seams.h"

namespace {

class RecordingPhone : public IPhone {
 public:
  void Init(const std::u16string&) override {}
  bool IsConnected() override { return true; }
  void GetScreenShot(const char16_t* path) override {
    std::lock_guard<std::mutex> hold(lock);
    paths.push_back(path == nullptr ? u"(none)" : path);
  }
  std::mutex lock;
  std::vector<std::u16string> paths;
};

TEST(ShotcutThread, EachRunTakesOneShotWithItsPath) {
  RecordingPhone phone;
  CShotcutThread thread(&phone);
  ASSERT_TRUE(thread.Start());
  thread.Join();
  thread.SetPath(u"/tmp/shot.png");
  ASSERT_TRUE(thread.Start());
  thread.Join();
  ASSERT_TRUE(thread.Start());  // the path was cleared by the last run
  thread.Join();
  EXPECT_EQ(phone.paths, (std::vector<std::u16string>{u"(none)", u"/tmp/shot.png", u"(none)"}));
  CShotcutThread without_phone(nullptr);
  ASSERT_TRUE(without_phone.Start());
  without_phone.Join();
}

}  // namespace
