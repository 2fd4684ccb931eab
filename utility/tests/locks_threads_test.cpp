// Locks, semaphores (also across processes), counters, the block pool, the
// tick timer and base_thread.
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "utility/base_lock.h"
#include "utility/base_thread.h"

namespace {

using namespace std::chrono_literals;

// Names private to this process and test.
std::string UniqueName(const char* what) {
  static std::atomic<int> counter{0};
  return std::string("utility-test-") + what + "-" + std::to_string(getpid()) + "-" +
         std::to_string(counter++);
}

TEST(RefrenceCounter, ReleaseNeverGoesBelowZero) {
  CBaseRefrenceCounter c;
  EXPECT_EQ(c.AddRefrence(), 1);
  EXPECT_EQ(c.AddRefrence(), 2);
  EXPECT_EQ(c.ReleaseRefrence(), 1);
  EXPECT_EQ(c.ReleaseRefrence(), 0);
  // Releases with nothing held report 0 again and never take the count
  // below zero.
  EXPECT_EQ(c.ReleaseRefrence(), 0);
  EXPECT_EQ(c.ReleaseRefrence(), 0);
  EXPECT_EQ(c.AddRefrence(), 1) << "the count stayed at 0";
}

TEST(CriticalSection, IsRecursive) {
  base_critical_section cs;
  cs.Lock();
  cs.Enter();
  cs.Leave();
  cs.UnLock();
}

TEST(Optex, OwnerMustLeaveAsOftenAsItEntered) {
  CBaseOptex optex(4000);
  EXPECT_TRUE(optex.IsSingleProcessOptex());
  EXPECT_NE(CBaseOptex::sm_fUniprocessorHost, -1);
  optex.Enter();
  EXPECT_TRUE(optex.TryEnter());
  optex.Enter();

  std::atomic<bool> got{false};
  std::thread other([&] {
    optex.Enter();
    got = true;
    optex.Leave();
  });
  std::atomic<bool> tried{false};
  std::thread prober([&] { tried = !optex.TryEnter(); });
  prober.join();
  EXPECT_TRUE(tried) << "another thread cannot take it";
  optex.Leave();
  optex.Leave();
  std::this_thread::sleep_for(50ms);
  EXPECT_FALSE(got) << "still held once";
  optex.Leave();
  other.join();
  EXPECT_TRUE(got);
}

TEST(Optex, SerialisesManyThreads) {
  CBaseOptex optex;
  optex.SetSpinCount(100);
  long counter = 0;
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 20000; ++i) {
        optex.Enter();
        ++counter;
        optex.Leave();
      }
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(counter, 80000);
}

TEST(Optex, SharedFormSerialisesProcesses) {
  const std::string name = UniqueName("optex");
  auto* counter = static_cast<long*>(
      mmap(nullptr, sizeof(long), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0));
  ASSERT_NE(counter, MAP_FAILED);
  *counter = 0;
  CBaseOptex mine(name.c_str(), 4000);
  ASSERT_FALSE(mine.IsSingleProcessOptex());

  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    CBaseOptex theirs(name.c_str(), 4000);
    for (int i = 0; i < 20000; ++i) {
      theirs.Enter();
      const long v = *counter;
      *counter = v + 1;
      theirs.Leave();
    }
    _exit(theirs.IsSingleProcessOptex() ? 2 : 0);
  }
  for (int i = 0; i < 20000; ++i) {
    mine.Enter();
    const long v = *counter;
    *counter = v + 1;
    mine.Leave();
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(*counter, 40000);
  munmap(counter, sizeof(long));
}

TEST(Semaphore, CountsWaitsAndMaximum) {
  CBaseSemaphore sem;
  EXPECT_EQ(sem.WaiteSemaphore(0), BASE_WAIT_FAILED) << "no semaphore yet";
  EXPECT_FALSE(sem.ReleaseSemaphore(1));
  ASSERT_TRUE(sem.CreateSemaphoreA(1, 2, nullptr));
  EXPECT_EQ(sem.WaiteSemaphore(0), BASE_WAIT_OBJECT_0);
  EXPECT_EQ(sem.WaiteSemaphore(30), BASE_WAIT_TIMEOUT);
  EXPECT_TRUE(sem.ReleaseSemaphore(5)) << "one unit whatever the count";
  EXPECT_TRUE(sem.ReleaseSemaphore(1));
  EXPECT_FALSE(sem.ReleaseSemaphore(1)) << "the maximum is 2";
  EXPECT_EQ(sem.WaiteSemaphore(BASE_INFINITE), BASE_WAIT_OBJECT_0);
  EXPECT_EQ(sem.WaiteSemaphore(0), BASE_WAIT_OBJECT_0);
  EXPECT_EQ(sem.WaiteSemaphore(0), BASE_WAIT_TIMEOUT);
  EXPECT_FALSE(sem.CreateSemaphoreA(3, 2, nullptr));
}

TEST(Semaphore, NamedAcrossProcessesAndRemovedByTheLastUser) {
  const std::string name = UniqueName("sem");
  {
    CBaseSemaphore sem;
    ASSERT_TRUE(sem.CreateSemaphoreA(0, 0xFFFF, name.c_str()));
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      // Ends with _exit, without closing: a dead process keeps nothing alive.
      CBaseSemaphore same;
      const bool ok = same.CreateSemaphoreA(7, 0xFFFF, name.c_str()) &&  // opens: 7 is ignored
                      same.ReleaseSemaphore(1);
      _exit(ok ? 0 : 1);
    }
    EXPECT_EQ(sem.WaiteSemaphore(5000), BASE_WAIT_OBJECT_0);
    EXPECT_EQ(sem.WaiteSemaphore(0), BASE_WAIT_TIMEOUT) << "the opener's initial count is not used";
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  EXPECT_FALSE(access(("/dev/shm/phonedeck.sem." + name).c_str(), F_OK) == 0);
  CBaseSemaphore fresh;
  ASSERT_TRUE(fresh.CreateSemaphoreA(1, 1, name.c_str()));
  EXPECT_EQ(fresh.WaiteSemaphore(0), BASE_WAIT_OBJECT_0) << "a new object under the old name";
}

TEST(BlockMem, PoolThenHeap) {
  CBaseBlockMem pool(2, 64);
  void* a = pool.Alloc(64);
  void* b = pool.Alloc(10);
  void* c = pool.Alloc(64);
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(static_cast<char*>(b) - static_cast<char*>(a), 64) << "two blocks of the pool";
  EXPECT_EQ(pool.Alloc(65), nullptr);
  pool.Free(c);  // back to the heap
  pool.Free(a);
  EXPECT_EQ(pool.Alloc(1), a) << "a freed block is used again";
  pool.Free(a);
  pool.Free(b);
}

TEST(TickTimer, SpanAndDistance) {
  CBaseTickTimer t;
  t.BeginTick();
  std::this_thread::sleep_for(20ms);
  const uint32_t span = t.EndTick();
  EXPECT_GE(span, 19u);
  EXPECT_EQ(t.DistanceTick(span), 0);
  EXPECT_EQ(t.DistanceTick(span - 1), 1);
  EXPECT_EQ(t.DistanceTick(span + 1), -1);
  EXPECT_TRUE(t.TimesSpan(span));
  CBaseTickTimer copy;
  copy = t;
  EXPECT_EQ(copy.DistanceTick(span), t.DistanceTick(span));
}

// --- base_thread --------------------------------------------------------------

struct Job {
  base_thread* thread = nullptr;
  std::atomic<bool> started{false};
  std::atomic<bool> finished{false};
  int exitWith = 0;
};

unsigned WatchStop(void* p) {
  auto* job = static_cast<Job*>(p);
  job->started = true;
  while (!job->thread->IsTheadStop(5)) {
  }
  job->finished = true;
  return 7;
}

unsigned ExitEarly(void* p) {
  auto* job = static_cast<Job*>(p);
  job->started = true;
  job->thread->ExitThead(job->exitWith);
  job->finished = true;  // never reached
  return 1;
}

bool WaitUntil(const std::atomic<bool>& flag) {
  for (int i = 0; i < 500 && !flag; ++i) std::this_thread::sleep_for(10ms);
  return flag;
}

TEST(BaseThread, StopWaitsForTheThread) {
  base_thread thread;
  Job job;
  job.thread = &thread;
  EXPECT_EQ(thread.GetExitCode(), 0) << "no thread";
  ASSERT_TRUE(thread.CreateThread(nullptr, 0, WatchStop, &job, 0));
  ASSERT_TRUE(WaitUntil(job.started));
  EXPECT_EQ(thread.GetExitCode(), BASE_STILL_ACTIVE);
  EXPECT_FALSE(thread.IsTheadStop(0));
  thread.StopThread(false);
  EXPECT_TRUE(job.finished);
  EXPECT_TRUE(thread.IsTheadStop(0));
  thread.StopThread(false);  // again: nothing to do
}

TEST(BaseThread, StopWithoutWaitForgetsTheThread) {
  base_thread thread;
  Job job;
  job.thread = &thread;
  ASSERT_TRUE(thread.CreateThread(nullptr, 64 * 1024, WatchStop, &job, 0));
  ASSERT_TRUE(WaitUntil(job.started));
  thread.StopThread(true);
  EXPECT_EQ(thread.GetExitCode(), 0) << "the handle is forgotten";
  EXPECT_TRUE(WaitUntil(job.finished)) << "the thread ends by itself";
}

TEST(BaseThread, ExitCodeOfExitThead) {
  base_thread thread;
  Job job;
  job.thread = &thread;
  job.exitWith = 5;
  ASSERT_TRUE(thread.CreateThread(nullptr, 0, ExitEarly, &job, 0));
  for (int i = 0; i < 500 && thread.GetExitCode() == BASE_STILL_ACTIVE; ++i) std::this_thread::sleep_for(10ms);
  EXPECT_EQ(thread.GetExitCode(), 5);
  EXPECT_FALSE(job.finished);
}

TEST(BaseThread, CreatedSuspendedRunsAfterResume) {
  base_thread thread;
  Job job;
  job.thread = &thread;
  ASSERT_TRUE(thread.CreateThread(nullptr, 0, WatchStop, &job, BASE_CREATE_SUSPENDED));
  std::this_thread::sleep_for(50ms);
  EXPECT_FALSE(job.started);
  EXPECT_EQ(thread.SuspendThread(), 1);
  EXPECT_EQ(thread.ResumeThread(), 2);
  EXPECT_FALSE(job.started);
  EXPECT_EQ(thread.ResumeThread(), 1);
  ASSERT_TRUE(WaitUntil(job.started));
  EXPECT_EQ(thread.SuspendThread(), -1) << "a running thread cannot be held";
  EXPECT_EQ(thread.ResumeThread(), 0);
  EXPECT_TRUE(thread.TerminateThread(-1));
  EXPECT_TRUE(job.finished);
  EXPECT_TRUE(thread.TerminateThread(-1)) << "no thread any more: nothing left to end";
}

TEST(BaseThread, DestructionStopsALiveThread) {
  Job job;
  {
    base_thread thread;
    job.thread = &thread;
    ASSERT_TRUE(thread.CreateThread(nullptr, 0, WatchStop, &job, 0));
    ASSERT_TRUE(WaitUntil(job.started));
  }
  EXPECT_TRUE(job.finished);
}

TEST(BaseThread, SuspendedThreadIsReleasedByStop) {
  Job job;
  base_thread thread;
  job.thread = &thread;
  ASSERT_TRUE(thread.CreateThread(nullptr, 0, WatchStop, &job, BASE_CREATE_SUSPENDED));
  thread.StopThread(false);
  EXPECT_TRUE(job.finished);
}

}  // namespace
