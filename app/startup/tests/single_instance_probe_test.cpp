// A second start's probe is answered by the first instance's UI thread (the
// prober): a live UI thread gets the wake-up, a hung one is left alone.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/startup/single_instance.h"

namespace {

constexpr char16_t kMutex[] = u"Global\\{0A9563EC-49E8-4bf1-80DD-4862C014C51E}";
constexpr char16_t kClass[] = u"Shelfhub";

// A stand-in UI thread: runs what is handed to it, unless it is hung.
class UiThread {
 public:
  explicit UiThread(bool hung) : hung_(hung), thread_([this] { Loop(); }) {}
  ~UiThread() {
    {
      std::lock_guard<std::mutex> hold(lock_);
      ending_ = true;
    }
    wake_.notify_all();
    thread_.join();
  }
  bool Hand(std::function<void()> call) {
    std::lock_guard<std::mutex> hold(lock_);
    calls_.push_back(std::move(call));
    wake_.notify_all();
    return true;
  }

 private:
  void Loop() {
    std::unique_lock<std::mutex> hold(lock_);
    for (;;) {
      wake_.wait(hold, [this] { return ending_ || (!hung_ && !calls_.empty()); });
      if (ending_) return;
      std::function<void()> call = std::move(calls_.front());
      calls_.pop_front();
      hold.unlock();
      call();
      hold.lock();
    }
  }

  const bool hung_;
  std::mutex lock_;  // guards calls_ and ending_
  std::condition_variable wake_;
  std::deque<std::function<void()>> calls_;
  bool ending_ = false;
  std::thread thread_;
};

class SingleInstanceProbeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/single_instance_probe_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    setenv("XDG_RUNTIME_DIR", dir_.c_str(), 1);
    CSingleInstance::SetPoster([this](uint32_t message, uintptr_t, intptr_t) {
      std::lock_guard<std::mutex> hold(lock_);
      posted_.push_back(message);
      return true;
    });
  }
  void TearDown() override {
    CSingleInstance::Close();
    CSingleInstance::SetProber(nullptr);
    CSingleInstance::SetPoster(nullptr);
    unsetenv("XDG_RUNTIME_DIR");
    EXPECT_EQ(std::system(("rm -rf '" + dir_ + "'").c_str()), 0);
  }
  std::vector<uint32_t> Posted() {
    std::lock_guard<std::mutex> hold(lock_);
    return posted_;
  }

  std::string dir_;
  std::mutex lock_;  // guards posted_
  std::vector<uint32_t> posted_;
};

TEST_F(SingleInstanceProbeTest, TheUiThreadDecidesWhetherTheFirstInstanceIsAlive) {
  struct Case {
    const char* name;
    bool hung;
    bool woken;
  } cases[] = {{"live window", false, true}, {"hung window", true, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    UiThread ui(c.hung);
    CSingleInstance::SetProber([&ui](std::function<void()> answer) { return ui.Hand(std::move(answer)); });
    ASSERT_TRUE(CSingleInstance::Check(kMutex, kClass, nullptr, true));
    {
      std::lock_guard<std::mutex> hold(lock_);
      posted_.clear();
    }
    const char lines[] = "post 274 61728 0\npost 35768 100 0\n";
    EXPECT_EQ(CSingleInstance::SendToRunningInstance(kClass, lines), c.woken);
    CSingleInstance::Close();  // joins the listener: every accepted post is in
    EXPECT_EQ(Posted().size(), c.woken ? 2u : 0u);
    CSingleInstance::SetProber(nullptr);
  }
}

}  // namespace
