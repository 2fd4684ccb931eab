// Synchronisation classes of libutility.so: a critical section, the
// spin-then-wait recursive optex (process-local or shared between processes
// by name), a locked reference counter, a semaphore (unnamed or named across
// processes), a fixed-size block pool and a tick-count stopwatch.
//
// Cross-process objects live in POSIX shared memory named after the caller's
// name; the last user of a name removes it. Callers that need private objects
// (tests) make the names unique, for instance with the process id.
#pragma once

#include <cstdint>

#include "utility/utility_export.h"

// A recursive mutual-exclusion lock for the threads of one process.
// Lock/Enter and UnLock/Leave are the same operations under two names.
class UTILITY_API base_critical_section {
 public:
  base_critical_section();
  ~base_critical_section();
  base_critical_section(const base_critical_section&) = delete;
  base_critical_section& operator=(const base_critical_section&) = delete;

  void Lock();
  void UnLock();
  void Enter();
  void Leave();

 private:
  void* m_cs;  // owned recursive mutex
};

// The four words of an optex; in shared memory for the shared form.
struct OptexSharedState {
  int32_t spinCount;
  int32_t lockCount;  // owners and waiters
  int32_t threadId;   // system-wide thread id of the owner, 0 when free
  int32_t recurseCount;
};
static_assert(sizeof(OptexSharedState) == 16, "optex state is four 32-bit words");

// Recursive lock that spins before it sleeps. The uncontended path is one
// atomic compare-exchange. Usable from any thread; the shared form (built
// with a name) also from every process that uses the same name.
class UTILITY_API CBaseOptex {
 public:
  CBaseOptex();  // process-local, spin count 4000
  explicit CBaseOptex(uint32_t spinCount);
  CBaseOptex(const char* name, uint32_t spinCount);
  ~CBaseOptex();
  CBaseOptex(const CBaseOptex&) = delete;
  CBaseOptex& operator=(const CBaseOptex&) = delete;

  void Enter();
  bool TryEnter();
  void Leave();
  void SetSpinCount(uint32_t spinCount);
  bool IsSingleProcessOptex() const;

  // -1 until the first optex is built, then 1 on a one-processor machine, else 0.
  static int sm_fUniprocessorHost;

 private:
  void CommonConstructor(uint32_t spinCount, const char* name);

  void* m_hEvent;                   // wait semaphore (sem_t*)
  void* m_hFileMap;                 // shared segment, null for the local form
  OptexSharedState* m_pSharedInfo;  // the four words
};

// A count under an optex. Callers treat a result of 0 as the last release;
// a release with nothing held returns 0 and leaves the count at 0, so it
// never goes below zero however often release is called.
class UTILITY_API CBaseRefrenceCounter {
 public:
  CBaseRefrenceCounter();
  ~CBaseRefrenceCounter();
  CBaseRefrenceCounter(const CBaseRefrenceCounter&) = delete;
  CBaseRefrenceCounter& operator=(const CBaseRefrenceCounter&) = delete;

  int AddRefrence();      // the new count
  int ReleaseRefrence();  // the count after the release; 0 when none was held

 private:
  CBaseOptex m_optex;
  int32_t m_count;
};

// Wait results of CBaseSemaphore::WaiteSemaphore.
constexpr uint32_t BASE_WAIT_OBJECT_0 = 0;
constexpr uint32_t BASE_WAIT_TIMEOUT = 258;
constexpr uint32_t BASE_WAIT_FAILED = 0xFFFFFFFFu;
constexpr uint32_t BASE_INFINITE = 0xFFFFFFFFu;

// A counting semaphore with a maximum count; named ones are shared by every
// process that opens the same name (the first creator sets the counts).
class UTILITY_API CBaseSemaphore {
 public:
  CBaseSemaphore();
  ~CBaseSemaphore();
  CBaseSemaphore(const CBaseSemaphore&) = delete;
  CBaseSemaphore& operator=(const CBaseSemaphore&) = delete;

  bool CreateSemaphoreA(int32_t initialCount, int32_t maximumCount, const char* name);
  // Releases one unit whatever count is passed; false when that would pass
  // the maximum or there is no semaphore.
  bool ReleaseSemaphore(int32_t count);
  // BASE_WAIT_OBJECT_0, BASE_WAIT_TIMEOUT or BASE_WAIT_FAILED.
  uint32_t WaiteSemaphore(uint32_t milliseconds);

 private:
  UTILITY_HIDDEN void Destroy();
  void* m_hSemaphore;  // internal record, null when none
};

// A pool of equal blocks; Alloc falls back to the heap when every block is
// in use. Alloc and Free are serialised by the pool's optex.
class UTILITY_API CBaseBlockMem {
 public:
  struct BlockSlot {
    void* block;
    uint32_t size;
    bool inUse;
  };

  CBaseBlockMem(uint32_t blockCount, uint32_t blockSize);
  ~CBaseBlockMem();
  CBaseBlockMem(const CBaseBlockMem&) = delete;
  CBaseBlockMem& operator=(const CBaseBlockMem&) = delete;

  void* Alloc(uint32_t size);  // null when size exceeds the block size
  void Free(void* p);

 private:
  uint32_t m_blockCount;
  uint32_t m_blockSize;
  unsigned char* m_storage;
  BlockSlot* m_slots;
  CBaseOptex m_optex;
};

// Stopwatch over the 32-bit millisecond tick count of the monotonic clock.
class UTILITY_API CBaseTickTimer {
 public:
  CBaseTickTimer();
  CBaseTickTimer(const CBaseTickTimer&) = default;
  CBaseTickTimer& operator=(const CBaseTickTimer& other);

  void BeginTick();
  uint32_t EndTick();                    // end - begin, across one wrap
  int DistanceTick(uint32_t ticks);      // 1 when ticks < span, -1 when >, 0 when equal
  bool TimesSpan(uint32_t milliseconds);  // end = now; span >= milliseconds

 private:
  uint32_t m_begin;
  uint32_t m_end;
};
