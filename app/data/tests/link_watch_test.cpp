// The link watch's look at the keep-alive: a failure is told even when the
// keep-alive thread ends between the watch's two reads.
#include <gtest/gtest.h>

#include <vector>

#include "app/data/phone.h"

namespace {

// A keep-alive whose failed flag answers the given values read after read
// (the last one repeats) and whose thread is in the given state.
class ScriptedKeepAlive {
 public:
  ScriptedKeepAlive(std::vector<int32_t> flags, int state) : flags_(std::move(flags)), state_(state) {}
  int32_t GetFailed() const {
    const int32_t flag = flags_[reads_ < flags_.size() ? reads_ : flags_.size() - 1];
    ++reads_;
    return flag;
  }
  int GetState() const { return state_; }

 private:
  std::vector<int32_t> flags_;
  int state_;
  mutable size_t reads_ = 0;
};

TEST(LinkWatchTest, LooksAtTheKeepAlive) {
  struct Case {
    const char* name;
    std::vector<int32_t> flags;
    int state;
    KeepAliveLook look;
  } cases[] = {
      {"running, no failure", {0}, base::WinThread::kRunning, KeepAliveLook::kAlive},
      {"failed and ended", {1}, base::WinThread::kIdle, KeepAliveLook::kFailed},
      {"failed, still ending", {1}, base::WinThread::kRunning, KeepAliveLook::kFailed},
      {"stopped by its owner", {0}, base::WinThread::kIdle, KeepAliveLook::kStopped},
      {"failed and ended between the two reads", {0, 1}, base::WinThread::kIdle, KeepAliveLook::kFailed},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(LookAtKeepAlive(ScriptedKeepAlive(c.flags, c.state)), c.look);
  }
}

}  // namespace
