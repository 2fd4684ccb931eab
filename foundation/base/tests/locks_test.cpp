#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "foundation/base/locks.h"

namespace {

using namespace std::chrono_literals;

TEST(LocksTest, SingleLockOverNullDoesNothing) {
  base::CSingleLock lock(nullptr);
  SUCCEED();
}

TEST(LocksTest, CriticalSectionIsReentrantAndIgnoresTimeout) {
  base::CCriticalSection section;
  {
    base::CSingleLock outer(&section);
    base::CSingleLock inner(&section);  // same thread: at once
  }
  // Held by another thread, Lock(10) still waits until it is free.
  std::atomic<bool> held{false}, release{false};
  std::thread holder([&] {
    section.Lock();
    held = true;
    while (!release) std::this_thread::sleep_for(1ms);
    section.Unlock();
  });
  while (!held) std::this_thread::sleep_for(1ms);
  std::atomic<bool> entered{false};
  std::thread waiter([&] {
    EXPECT_TRUE(section.Lock(10));
    entered = true;
    section.Unlock();
  });
  std::this_thread::sleep_for(60ms);
  EXPECT_FALSE(entered.load());
  release = true;
  holder.join();
  waiter.join();
  EXPECT_TRUE(entered.load());
}

TEST(LocksTest, SyncObjectBaseHasNothingToWaitOn) {
  struct Plain : base::CSyncObject {
    bool Unlock() override { return true; }
  } plain;
  EXPECT_FALSE(plain.Lock(0));
  long previous = -1;
  EXPECT_TRUE(plain.base::CSyncObject::Unlock(1, &previous));
}

TEST(LocksTest, MutexGuardUnlocksOnException) {
  base_Mutex mutex;
  try {
    base_MutexGuard guard(&mutex);
    EXPECT_TRUE(mutex.IsLocked());
    throw 1;
  } catch (int) {
  }
  EXPECT_FALSE(mutex.IsLocked());
  std::thread other([&] {
    base_MutexGuard guard(&mutex);  // would block forever if still held
  });
  other.join();
}

TEST(LocksTest, SemaphoreWaitsForAsManyReleasesAsWaits) {
  CBase_threadSemaphore semaphore(1);
  std::atomic<int> passed{0};
  std::thread waiter([&] {
    for (int i = 0; i < 3; ++i) {
      semaphore.Wait();
      ++passed;
    }
  });
  std::this_thread::sleep_for(50ms);
  EXPECT_EQ(passed.load(), 1);  // the initial count only
  EXPECT_TRUE(semaphore.Release());
  EXPECT_TRUE(semaphore.Release());
  waiter.join();
  EXPECT_EQ(passed.load(), 3);
}

TEST(LocksTest, SemaphoreRefusesToPassItsMaximum) {
  CBase_threadSemaphore semaphore(CBase_threadSemaphore::kMaximum);
  EXPECT_FALSE(semaphore.Release());
  EXPECT_TRUE(semaphore.Wait());
  EXPECT_TRUE(semaphore.Release());
}

}  // namespace
