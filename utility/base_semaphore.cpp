// CBaseSemaphore: unnamed (this process) or named (every process that opens
// the name) counting semaphore with a maximum count.
#include <semaphore.h>

#include <cerrno>
#include <ctime>

#include "utility/base_lock.h"
#include "utility/os/os_env.h"

namespace {

// Kept in shared memory for a named semaphore, on the heap otherwise.
struct SemaphoreBody {
  sem_t sem;
  int32_t maximum;
};

struct SemaphoreRecord {
  SemaphoreBody* body = nullptr;
  utility_os::SharedSegment* segment = nullptr;  // null when unnamed
};

struct InitArgs {
  int32_t initial;
  int32_t maximum;
};

void InitSharedBody(void* payload, void* context) {
  auto* body = static_cast<SemaphoreBody*>(payload);
  const auto* args = static_cast<InitArgs*>(context);
  sem_init(&body->sem, 1, static_cast<unsigned>(args->initial));
  body->maximum = args->maximum;
}

void FiniSharedBody(void* payload) { sem_destroy(&static_cast<SemaphoreBody*>(payload)->sem); }

}  // namespace

CBaseSemaphore::CBaseSemaphore() : m_hSemaphore(nullptr) {}

CBaseSemaphore::~CBaseSemaphore() { Destroy(); }

void CBaseSemaphore::Destroy() {
  auto* record = static_cast<SemaphoreRecord*>(m_hSemaphore);
  if (record == nullptr) return;
  if (record->segment != nullptr) {
    record->segment->Close(FiniSharedBody);
    delete record->segment;
  } else {
    sem_destroy(&record->body->sem);
    delete record->body;
  }
  delete record;
  m_hSemaphore = nullptr;
}

bool CBaseSemaphore::CreateSemaphoreA(int32_t initialCount, int32_t maximumCount, const char* name) {
  if (maximumCount <= 0 || initialCount < 0 || initialCount > maximumCount) return false;
  Destroy();
  auto* record = new SemaphoreRecord;
  if (name != nullptr && *name != '\0') {
    record->segment = new utility_os::SharedSegment;
    InitArgs args{initialCount, maximumCount};
    if (!record->segment->Open("sem", name, sizeof(SemaphoreBody), InitSharedBody, &args)) {
      delete record->segment;
      delete record;
      return false;
    }
    record->body = static_cast<SemaphoreBody*>(record->segment->payload());
  } else {
    record->body = new SemaphoreBody;
    record->body->maximum = maximumCount;
    if (sem_init(&record->body->sem, 0, static_cast<unsigned>(initialCount)) != 0) {
      delete record->body;
      delete record;
      return false;
    }
  }
  m_hSemaphore = record;
  return true;
}

bool CBaseSemaphore::ReleaseSemaphore(int32_t /*count*/) {
  auto* record = static_cast<SemaphoreRecord*>(m_hSemaphore);
  if (record == nullptr) return false;
  int value = 0;
  if (sem_getvalue(&record->body->sem, &value) != 0) return false;
  if (value >= record->body->maximum) return false;
  return sem_post(&record->body->sem) == 0;
}

uint32_t CBaseSemaphore::WaiteSemaphore(uint32_t milliseconds) {
  auto* record = static_cast<SemaphoreRecord*>(m_hSemaphore);
  if (record == nullptr) return BASE_WAIT_FAILED;
  sem_t* sem = &record->body->sem;
  if (milliseconds == BASE_INFINITE) {
    while (sem_wait(sem) != 0) {
      if (errno != EINTR) return BASE_WAIT_FAILED;
    }
    return BASE_WAIT_OBJECT_0;
  }
  timespec deadline;
  clock_gettime(CLOCK_MONOTONIC, &deadline);
  deadline.tv_sec += milliseconds / 1000;
  deadline.tv_nsec += static_cast<long>(milliseconds % 1000) * 1000000L;
  if (deadline.tv_nsec >= 1000000000L) {
    deadline.tv_sec += 1;
    deadline.tv_nsec -= 1000000000L;
  }
  while (sem_clockwait(sem, CLOCK_MONOTONIC, &deadline) != 0) {
    if (errno == ETIMEDOUT) return BASE_WAIT_TIMEOUT;
    if (errno != EINTR) return BASE_WAIT_FAILED;
  }
  return BASE_WAIT_OBJECT_0;
}
