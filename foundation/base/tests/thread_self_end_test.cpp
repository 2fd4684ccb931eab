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

class WinWorker : public base::WinThread {
 public:
  WinWorker(Ending ending, std::promise<void>* ran) : ending_(ending), ran_(ran) {}
  ~WinWorker() override { Stop(); }

 protected:
  void Run() override {
    std::promise<void>* ran = ran_;
    Stop();
    if (ending_ == Ending::kDestroysItself) delete this;
    ran->set_value();
  }

 private:
  Ending ending_;
  std::promise<void>* ran_;
};

class MessageWorker : public base_thread {
 public:
  MessageWorker(Ending ending, std::promise<void>* ran) : ending_(ending), ran_(ran) {}
  ~MessageWorker() override { StopThread(); }

 protected:
  uint32_t Run() override {
    std::promise<void>* ran = ran_;
    StopThread();
    if (ending_ == Ending::kDestroysItself) delete this;
    ran->set_value();
    return 0;
  }

 private:
  Ending ending_;
  std::promise<void>* ran_;
};

class QueueWorker : public CBaseOperThread {
 public:
  QueueWorker(Ending ending, std::promise<void>* ran) : ending_(ending), ran_(ran) {}
  ~QueueWorker() override { Stop(); }

 protected:
  uint32_t Run() override {
    std::promise<void>* ran = ran_;
    Stop();
    if (ending_ == Ending::kDestroysItself) delete this;
    ran->set_value();
    return 0;
  }

 private:
  Ending ending_;
  std::promise<void>* ran_;
};

// Starts a worker of kind `Worker`; when the run stopped itself only, the
// test destroys the object afterwards, as an owner would.
template <typename Worker, typename StartFn>
void RunWorker(Ending ending, StartFn start) {
  std::promise<void> ran;
  std::future<void> done = ran.get_future();
  auto* worker = new Worker(ending, &ran);
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
