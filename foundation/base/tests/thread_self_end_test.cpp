// Threads that stop or destroy themselves from inside their own run (as a
// callback that tears down its owner does): no abort, and the object is not
// touched once it is gone; a self-stopped thread is still joined by an owner
// that destroys it later.
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <memory>

#include "foundation/base/base_thread.h"
#include "foundation/base/queue_thread.h"
#include "foundation/base/win_thread.h"

namespace {

// What the run does with its own object before it returns.
enum class Ending { kStopsItself, kDestroysItself };

// The end every worker's run makes: it stops its own thread, destroys its
// object when asked to, then says it ran.
struct EndPlan {
  Ending ending;
  std::promise<void>* ran;
  template <typename Self, typename StopFn>
  void End(Self* self, StopFn stop) {
    std::promise<void>* said = ran;  // the object may be gone below
    stop();
    if (ending == Ending::kDestroysItself) delete self;
    said->set_value();
  }
};

class WinWorker : public base::WinThread, EndPlan {
 public:
  explicit WinWorker(EndPlan plan) : EndPlan(plan) {}
  ~WinWorker() override { Stop(); }

 protected:
  void Run() override { End(this, [this] { Stop(); }); }
};

class MessageWorker : public base_thread, EndPlan {
 public:
  explicit MessageWorker(EndPlan plan) : EndPlan(plan) {}
  ~MessageWorker() override { StopThread(); }

 protected:
  uint32_t Run() override {
    End(this, [this] { StopThread(); });
    return 0;
  }
};

class QueueWorker : public CBaseOperThread, EndPlan {
 public:
  explicit QueueWorker(EndPlan plan) : EndPlan(plan) {}
  ~QueueWorker() override { Stop(); }

 protected:
  uint32_t Run() override {
    End(this, [this] { Stop(); });
    return 0;
  }
};

// Starts a worker of kind `Worker`; when the run stopped itself only, the
// test destroys the object afterwards, as an owner would.
template <typename Worker, typename StartFn>
void RunWorker(Ending ending, StartFn start) {
  std::promise<void> ran;
  std::future<void> done = ran.get_future();
  auto* worker = new Worker(EndPlan{ending, &ran});
  ASSERT_TRUE(start(worker));
  ASSERT_EQ(done.wait_for(std::chrono::seconds(10)), std::future_status::ready);
  if (ending == Ending::kStopsItself) delete worker;
}

TEST(ThreadSelfEnd, EveryKindMayStopOrDestroyItselfFromItsOwnRun) {
  for (Ending ending : {Ending::kStopsItself, Ending::kDestroysItself}) {
    SCOPED_TRACE(ending == Ending::kStopsItself ? "stops itself" : "destroys itself");
    ASSERT_NO_FATAL_FAILURE(RunWorker<WinWorker>(ending, [](WinWorker* w) { return w->Start(); }));
    ASSERT_NO_FATAL_FAILURE(RunWorker<MessageWorker>(ending, [](MessageWorker* w) { return w->StartThread(); }));
    ASSERT_NO_FATAL_FAILURE(RunWorker<QueueWorker>(ending, [](QueueWorker* w) { return w->Start(0); }));
  }
}

}  // namespace
