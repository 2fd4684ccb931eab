// base_critical_section, CBaseOptex and CBaseRefrenceCounter.
#include "utility/base_lock.h"

#include <semaphore.h>
#include <unistd.h>

#include <cerrno>
#include <mutex>

#include "utility/os/os_env.h"

// ---------------------------------------------------------------------------
// base_critical_section

base_critical_section::base_critical_section() : m_cs(new std::recursive_mutex) {}
base_critical_section::~base_critical_section() { delete static_cast<std::recursive_mutex*>(m_cs); }
void base_critical_section::Lock() { static_cast<std::recursive_mutex*>(m_cs)->lock(); }
void base_critical_section::UnLock() { static_cast<std::recursive_mutex*>(m_cs)->unlock(); }
void base_critical_section::Enter() { Lock(); }
void base_critical_section::Leave() { UnLock(); }

// ---------------------------------------------------------------------------
// CBaseOptex
//
// The four words are touched only through atomic operations, so the same
// code serves threads of one process and processes sharing the segment. A
// waiter sleeps on a semaphore; every Leave that sees a waiter posts it once,
// so no wake-up is lost even when the post comes before the wait.

int CBaseOptex::sm_fUniprocessorHost = -1;

namespace {

// What the shared form keeps in its segment.
struct SharedOptex {
  OptexSharedState state;
  sem_t event;
};

// What the process-local form allocates.
struct LocalOptex {
  OptexSharedState state{};
  sem_t event;
};

void InitSharedOptex(void* payload, void* context) {
  auto* shared = static_cast<SharedOptex*>(payload);
  shared->state = OptexSharedState{*static_cast<int32_t*>(context), 0, 0, 0};
  sem_init(&shared->event, 1, 0);
}

void FiniSharedOptex(void* payload) { sem_destroy(&static_cast<SharedOptex*>(payload)->event); }

inline int32_t Load(const int32_t& v) { return __atomic_load_n(&v, __ATOMIC_ACQUIRE); }
inline void Store(int32_t& v, int32_t x) { __atomic_store_n(&v, x, __ATOMIC_RELEASE); }
inline int32_t Increment(int32_t& v) { return __atomic_add_fetch(&v, 1, __ATOMIC_ACQ_REL); }
inline int32_t Decrement(int32_t& v) { return __atomic_sub_fetch(&v, 1, __ATOMIC_ACQ_REL); }
inline bool CompareExchange(int32_t& v, int32_t expected, int32_t desired) {
  return __atomic_compare_exchange_n(&v, &expected, desired, false, __ATOMIC_ACQ_REL,
                                     __ATOMIC_ACQUIRE);
}

void WaitEvent(void* event) {
  while (sem_wait(static_cast<sem_t*>(event)) != 0 && errno == EINTR) {
  }
}

}  // namespace

CBaseOptex::CBaseOptex() { CommonConstructor(4000, nullptr); }
CBaseOptex::CBaseOptex(uint32_t spinCount) { CommonConstructor(spinCount, nullptr); }
CBaseOptex::CBaseOptex(const char* name, uint32_t spinCount) { CommonConstructor(spinCount, name); }

void CBaseOptex::CommonConstructor(uint32_t spinCount, const char* name) {
  m_hEvent = nullptr;
  m_hFileMap = nullptr;
  m_pSharedInfo = nullptr;
  if (__atomic_load_n(&sm_fUniprocessorHost, __ATOMIC_ACQUIRE) == -1) {
    __atomic_store_n(&sm_fUniprocessorHost, sysconf(_SC_NPROCESSORS_ONLN) == 1 ? 1 : 0,
                     __ATOMIC_RELEASE);
  }
  int32_t spin = sm_fUniprocessorHost == 1 ? 0 : static_cast<int32_t>(spinCount);

  if (name != nullptr && *name != '\0') {
    auto* segment = new utility_os::SharedSegment;
    if (segment->Open("optex", name, sizeof(SharedOptex), InitSharedOptex, &spin)) {
      auto* shared = static_cast<SharedOptex*>(segment->payload());
      m_hFileMap = segment;
      m_pSharedInfo = &shared->state;
      m_hEvent = &shared->event;
      return;
    }
    // No shared memory: the lock still works inside this process.
    delete segment;
  }
  auto* local = new LocalOptex;
  local->state.spinCount = spin;
  sem_init(&local->event, 0, 0);
  m_pSharedInfo = &local->state;
  m_hEvent = &local->event;
}

CBaseOptex::~CBaseOptex() {
  if (m_hFileMap != nullptr) {
    auto* segment = static_cast<utility_os::SharedSegment*>(m_hFileMap);
    segment->Close(FiniSharedOptex);
    delete segment;
  } else {
    auto* local = reinterpret_cast<LocalOptex*>(m_pSharedInfo);
    sem_destroy(&local->event);
    delete local;
  }
}

bool CBaseOptex::TryEnter() {
  const int32_t self = utility_os::CurrentThreadId();
  int32_t spins = Load(m_pSharedInfo->spinCount);
  do {
    if (CompareExchange(m_pSharedInfo->lockCount, 0, 1)) {
      Store(m_pSharedInfo->threadId, self);
      m_pSharedInfo->recurseCount = 1;
      return true;
    }
    if (Load(m_pSharedInfo->threadId) == self) {
      Increment(m_pSharedInfo->lockCount);
      m_pSharedInfo->recurseCount++;
      return true;
    }
  } while (spins-- > 0);
  return false;
}

void CBaseOptex::Enter() {
  if (TryEnter()) return;
  const int32_t self = utility_os::CurrentThreadId();
  if (Increment(m_pSharedInfo->lockCount) != 1) {
    if (Load(m_pSharedInfo->threadId) == self) {
      m_pSharedInfo->recurseCount++;
      return;
    }
    WaitEvent(m_hEvent);
  }
  Store(m_pSharedInfo->threadId, self);
  m_pSharedInfo->recurseCount = 1;
}

void CBaseOptex::Leave() {
  if (--m_pSharedInfo->recurseCount > 0) {
    Decrement(m_pSharedInfo->lockCount);
    return;
  }
  Store(m_pSharedInfo->threadId, 0);
  if (Decrement(m_pSharedInfo->lockCount) > 0) sem_post(static_cast<sem_t*>(m_hEvent));
}

void CBaseOptex::SetSpinCount(uint32_t spinCount) {
  if (sm_fUniprocessorHost == 1) return;
  Store(m_pSharedInfo->spinCount, static_cast<int32_t>(spinCount));
}

bool CBaseOptex::IsSingleProcessOptex() const { return m_hFileMap == nullptr; }

// ---------------------------------------------------------------------------
// CBaseRefrenceCounter

CBaseRefrenceCounter::CBaseRefrenceCounter() : m_optex(4000), m_count(0) {}
CBaseRefrenceCounter::~CBaseRefrenceCounter() = default;

int CBaseRefrenceCounter::AddRefrence() {
  m_optex.Enter();
  const int count = ++m_count;
  m_optex.Leave();
  return count;
}

int CBaseRefrenceCounter::ReleaseRefrence() {
  m_optex.Enter();
  // A release with nothing held changes nothing and reports 0 again.
  if (m_count > 0) --m_count;
  const int count = m_count;
  m_optex.Leave();
  return count;
}
