// Locks of the base library.
//
// base::CSyncObject / base::CCriticalSection / base::CSingleLock: the lock
// family the managers use for their record lists and busy flags.
// base_Mutex (+ base_MutexGuard) and CBase_threadSemaphore: the plain lock and
// counting semaphore inside the queued workers.
// Everything here is process-local.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace base {

constexpr uint32_t kInfinite = 0xFFFFFFFFu;

// Base of the waitable objects. On this platform no concrete class carries a
// kernel handle, so the base Lock() has nothing to wait on and answers false;
// every lock actually used (CCriticalSection) overrides it.
// Thread safety: as the concrete class says.
class CSyncObject {
 public:
  explicit CSyncObject(const char16_t* name = nullptr);  // the name is ignored
  virtual ~CSyncObject();
  CSyncObject(const CSyncObject&) = delete;
  CSyncObject& operator=(const CSyncObject&) = delete;

  // Waits at most `timeout` ms for the object; false on time-out or failure.
  virtual bool Lock(uint32_t timeout = kInfinite);
  // Releases `count` and reports the previous count: nothing to do; true.
  virtual bool Unlock(long count, long* previous);
  virtual bool Unlock() = 0;
};

// A re-entrant lock: the thread that holds it may lock it again and must
// unlock it as often. Lock() ignores its time-out and never fails.
// Thread safety: any thread may lock and unlock; unlock only from the holder.
class CCriticalSection : public CSyncObject {
 public:
  CCriticalSection();
  ~CCriticalSection() override;

  bool Lock();
  bool Lock(uint32_t timeout) override;
  using CSyncObject::Unlock;
  bool Unlock() override;

 private:
  std::recursive_mutex section_;
};

// Holds a CSyncObject for one scope (null: does nothing). The lock is taken
// with an infinite time-out and its result ignored.
class CSingleLock {
 public:
  explicit CSingleLock(CSyncObject* object);
  ~CSingleLock();
  CSingleLock(const CSingleLock&) = delete;
  CSingleLock& operator=(const CSingleLock&) = delete;

 private:
  CSyncObject* object_;
};

}  // namespace base

// A re-entrant lock with an informational "locked" flag (nothing reads it).
// Thread safety: any thread; unlock only from the holder.
class base_Mutex {
 public:
  base_Mutex();
  virtual ~base_Mutex();
  base_Mutex(const base_Mutex&) = delete;
  base_Mutex& operator=(const base_Mutex&) = delete;

  bool Lock();
  bool Unlock();
  bool IsLocked() const { return locked_.load(); }

 private:
  std::recursive_mutex section_;
  std::atomic<bool> locked_{false};
};

// Locks a base_Mutex for one scope (null: does nothing); unlocks on every
// exit path, exceptions included.
class base_MutexGuard {
 public:
  explicit base_MutexGuard(base_Mutex* mutex) : mutex_(mutex) {
    if (mutex_ != nullptr) mutex_->Lock();
  }
  ~base_MutexGuard() {
    if (mutex_ != nullptr) mutex_->Unlock();
  }
  base_MutexGuard(const base_MutexGuard&) = delete;
  base_MutexGuard& operator=(const base_MutexGuard&) = delete;

 private:
  base_Mutex* mutex_;
};

// A counting semaphore (maximum 99,999,999).
// Thread safety: any thread may wait and release.
class CBase_threadSemaphore {
 public:
  static constexpr long kMaximum = 99999999;

  explicit CBase_threadSemaphore(long initialCount = 0);
  virtual ~CBase_threadSemaphore();
  CBase_threadSemaphore(const CBase_threadSemaphore&) = delete;
  CBase_threadSemaphore& operator=(const CBase_threadSemaphore&) = delete;

  // Waits without a time limit for a count and takes it; true.
  bool Wait();
  // Adds one count; false when that would pass the maximum.
  bool Release();

 private:
  std::mutex mutex_;
  std::condition_variable signal_;
  long count_;
};
