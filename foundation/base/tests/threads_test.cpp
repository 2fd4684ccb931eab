#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "foundation/base/base_thread.h"
#include "foundation/base/queue_thread.h"
#include "foundation/base/single_task_mgr.h"
#include "foundation/base/win_thread.h"
#include "platform/clock.h"

namespace {

using namespace std::chrono_literals;

// ---- base::WinThread ----

class Ticker : public base::WinThread {
 public:
  ~Ticker() override { Stop(); }
  std::atomic<int> rounds{0};

 protected:
  void Run() override {
    while (!WaitForStop(5)) ++rounds;
  }
};

class OneShot : public base::WinThread {
 public:
  ~OneShot() override { Stop(); }
  std::atomic<int> runs{0};

 protected:
  void Run() override { ++runs; }
};

TEST(WinThreadTest, StopEndsTheRunLoop) {
  Ticker ticker;
  ticker.Stop();  // never started: nothing
  ASSERT_TRUE(ticker.Start());
  while (ticker.rounds < 3) std::this_thread::sleep_for(1ms);
  EXPECT_NE(ticker.GetState(), base::WinThread::kIdle);
  ticker.Stop();
  EXPECT_EQ(ticker.GetState(), base::WinThread::kIdle);
  int rounds = ticker.rounds;
  std::this_thread::sleep_for(20ms);
  EXPECT_EQ(ticker.rounds.load(), rounds);
}

TEST(WinThreadTest, RestartAfterRunEnded) {
  OneShot shot;
  ASSERT_TRUE(shot.Start());
  shot.Join();
  EXPECT_EQ(shot.GetState(), base::WinThread::kIdle);
  ASSERT_TRUE(shot.Start());
  shot.Join();
  EXPECT_EQ(shot.runs.load(), 2);
}

TEST(WinThreadTest, WaitForStopTimesOutThenAnswersAtOnce) {
  struct Waiter : base::WinThread {
    ~Waiter() override { Stop(); }
    std::atomic<int> first{-1};
    std::atomic<uint64_t> elapsed{0};
    void Run() override {
      uint64_t start = platform::MonotonicMs();
      first = WaitForStop(100) ? 1 : 0;
      elapsed = platform::MonotonicMs() - start;
      while (!WaitForStop(1000)) {
      }
    }
  } waiter;
  ASSERT_TRUE(waiter.Start());
  while (waiter.first < 0) std::this_thread::sleep_for(1ms);
  EXPECT_EQ(waiter.first.load(), 0);
  EXPECT_GE(waiter.elapsed.load(), 99u);  // whole milliseconds on both ends
  uint64_t start = platform::MonotonicMs();
  waiter.Stop();  // the 1000 ms wait answers at once
  EXPECT_LT(platform::MonotonicMs() - start, 900u);
}

// ---- base_thread ----

class Recorder : public base_thread {
 public:
  ~Recorder() override { StopThread(); }
  std::mutex lock;
  std::vector<base::ThreadMessage> seen;
  std::atomic<int> timers{0};
  std::atomic<bool> done{false};

 protected:
  uint32_t Run() override {
    base::ThreadMessage msg;
    while (GetMessage(&msg)) {
      if (msg.message == base::kMsgTimer) {
        if (++timers == 3) KillTimer(msg.wParam);
      }
      std::lock_guard<std::mutex> hold(lock);
      seen.push_back(msg);
    }
    done = true;
    return 7;
  }
};

TEST(BaseThreadTest, PostRightAfterStartIsNotLostAndOrderHolds) {
  for (int round = 0; round < 50; ++round) {
    Recorder thread;
    ASSERT_TRUE(thread.StartThread(42));
    EXPECT_FALSE(thread.StartThread(1));  // a thread is held
    for (uint32_t i = 0; i < 5; ++i) EXPECT_TRUE(thread.PostThreadMsg(1024 + i, i, -static_cast<intptr_t>(i)));
    thread.StopThread();
    EXPECT_TRUE(thread.done.load());
    ASSERT_EQ(thread.seen.size(), 5u);
    for (uint32_t i = 0; i < 5; ++i) {
      EXPECT_EQ(thread.seen[i].message, 1024 + i);
      EXPECT_EQ(thread.seen[i].wParam, i);
      EXPECT_EQ(thread.seen[i].lParam, -static_cast<intptr_t>(i));
    }
    EXPECT_EQ(thread.GetParameter(), 42u);
    EXPECT_TRUE(thread.IsTheadStop(0));
  }
}

TEST(BaseThreadTest, PostWithoutThreadFails) {
  Recorder thread;
  EXPECT_FALSE(thread.PostThreadMsg(1024, 0, 0));
  EXPECT_FALSE(thread.IsTheadStop(10));
}

TEST(BaseThreadTest, TimerFiresUntilKilled) {
  Recorder thread;
  ASSERT_TRUE(thread.StartThread());
  ASSERT_TRUE(thread.SetTimer(77, 20));
  uint64_t start = platform::MonotonicMs();
  while (thread.timers < 3 && platform::MonotonicMs() - start < 5000) std::this_thread::sleep_for(5ms);
  EXPECT_EQ(thread.timers.load(), 3);
  EXPECT_GE(platform::MonotonicMs() - start, 40u);
  std::this_thread::sleep_for(80ms);
  EXPECT_EQ(thread.timers.load(), 3);  // killed after the third tick
  thread.StopThread();
  for (const auto& msg : thread.seen) {
    EXPECT_EQ(msg.message, base::kMsgTimer);
    EXPECT_EQ(msg.wParam, 77u);
  }
}

TEST(BaseThreadTest, DeletingThroughTheBaseStopsTheThread) {
  // A derived thread deleted through a base_thread pointer: the virtual
  // destructor runs the derived one, which stops its Run cooperatively.
  auto* thread = new Recorder();
  ASSERT_TRUE(thread->StartThread());
  thread->PostThreadMsg(1024, 0, 0);
  base_thread* base = thread;
  delete base;
  SUCCEED();
}

// ---- CBaseOperThread ----

class Collector : public CBaseOperThread {
 public:
  ~Collector() override { Stop(); }
  std::mutex lock;
  std::vector<std::pair<uintptr_t, intptr_t>> got;

 protected:
  uint32_t Run() override {
    while (!IsQuit()) {
      QueueMessage msg;
      GetMessage(msg);
      if (IsQuit()) break;
      std::lock_guard<std::mutex> hold(lock);
      got.emplace_back(msg.wParam, msg.lParam);
    }
    return 0;
  }
};

TEST(QueueThreadTest, PerThreadOrderAcrossPosters) {
  Collector worker;
  ASSERT_TRUE(worker.Start(5));
  EXPECT_FALSE(worker.Start(6));
  EXPECT_EQ(worker.GetParameter(), 5u);
  std::vector<std::thread> posters;
  for (uintptr_t t = 0; t < 4; ++t) {
    posters.emplace_back([&worker, t] {
      for (intptr_t i = 0; i < 500; ++i) worker.PostMessage(1, t, i);
    });
  }
  for (auto& p : posters) p.join();
  while (true) {
    {
      std::lock_guard<std::mutex> hold(worker.lock);
      if (worker.got.size() == 2000) break;
    }
    std::this_thread::sleep_for(1ms);
  }
  worker.Stop();
  std::vector<intptr_t> next(4, 0);
  for (const auto& item : worker.got) EXPECT_EQ(item.second, next[item.first]++);
  EXPECT_TRUE(worker.IsQuit());  // never cleared: a restarted Run() would end at once
}

TEST(QueueThreadTest, PeekAndClear) {
  CBaseQueuethread queue;
  QueueMessage msg;
  EXPECT_FALSE(queue.PeekMessage(msg));
  queue.PostMessage(3, 4, 5);
  queue.PostMessage(6, 7, 8);
  ASSERT_TRUE(queue.PeekMessage(msg));
  EXPECT_EQ(msg.message, 3u);
  queue.ClearMessages();
  EXPECT_FALSE(queue.PeekMessage(msg));
}

// ---- CSingleTaskMgr ----

struct Journal {
  std::mutex lock;
  std::vector<int> ran;
  std::atomic<int> alive{0};
  std::atomic<int> running{0};
  std::atomic<int> overlap{0};
  std::atomic<int> started{0};
};

class Job : public CBaseTask {
 public:
  Job(Journal* journal, int id, int sleepMs = 0) : journal_(journal), id_(id), sleep_ms_(sleepMs) { ++journal_->alive; }
  ~Job() override { --journal_->alive; }
  void Run() override {
    ++journal_->started;
    if (++journal_->running > 1) ++journal_->overlap;
    if (sleep_ms_ > 0) std::this_thread::sleep_for(std::chrono::milliseconds(sleep_ms_));
    {
      std::lock_guard<std::mutex> hold(journal_->lock);
      journal_->ran.push_back(id_);
    }
    --journal_->running;
  }

 private:
  Journal* journal_;
  int id_;
  int sleep_ms_;
};

TEST(SingleTaskMgrTest, JobsFromSeveralThreadsRunOneAtATimeInOrder) {
  Journal journal;
  {
    CSingleTaskMgr tasks;
    ASSERT_TRUE(tasks.Start());
    // Added in a known order from three threads, one after the other.
    for (int id = 0; id < 3; ++id) {
      std::thread adder([&tasks, &journal, id] { tasks.AddTask(new Job(&journal, id, 20)); });
      adder.join();
    }
    for (int i = 0; i < 200 && journal.alive > 0; ++i) std::this_thread::sleep_for(5ms);
    EXPECT_EQ(journal.alive.load(), 0);  // each job deleted after it ran
  }
  EXPECT_EQ(journal.ran, (std::vector<int>{0, 1, 2}));
  EXPECT_EQ(journal.overlap.load(), 0);
}

TEST(SingleTaskMgrTest, DestructionWaitsForRunningJobAndFreesWaitingOnes) {
  Journal journal;
  {
    CSingleTaskMgr tasks;
    ASSERT_TRUE(tasks.Start());
    tasks.AddTask(new Job(&journal, 1, 100));
    for (int id = 2; id <= 5; ++id) tasks.AddTask(new Job(&journal, id));
    while (journal.started == 0) std::this_thread::sleep_for(1ms);
  }
  EXPECT_EQ(journal.ran.front(), 1);  // the running job finished
  EXPECT_EQ(journal.alive.load(), 0);  // the waiting ones were freed
}

TEST(SingleTaskMgrTest, NeverStartedManagerFreesItsJobs) {
  Journal journal;
  {
    CSingleTaskMgr tasks;
    tasks.AddTask(new Job(&journal, 1));
    tasks.AddTask(new Job(&journal, 2));
  }
  EXPECT_TRUE(journal.ran.empty());
  EXPECT_EQ(journal.alive.load(), 0);
}

}  // namespace
