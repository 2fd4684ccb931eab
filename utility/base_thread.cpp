// base_thread over POSIX threads.
#include "utility/base_thread.h"

#include <pthread.h>

#include <atomic>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <memory>
#include <mutex>

#include "utility/os/os_env.h"

namespace {

// Manual-reset event: stays set until reset.
struct ManualEvent {
  std::mutex mutex;
  std::condition_variable cv;
  bool set = false;

  void Set() {
    std::lock_guard<std::mutex> lock(mutex);
    set = true;
    cv.notify_all();
  }
  void Reset() {
    std::lock_guard<std::mutex> lock(mutex);
    set = false;
  }
  bool Wait(uint32_t ms) {
    std::unique_lock<std::mutex> lock(mutex);
    if (ms == 0xFFFFFFFFu) {
      cv.wait(lock, [this] { return set; });
      return true;
    }
    return cv.wait_for(lock, std::chrono::milliseconds(ms), [this] { return set; });
  }
};

// Shared by the base_thread object and the running thread, so either may
// go first.
struct ThreadRecord {
  pthread_t handle{};
  base_thread_start_routine start = nullptr;
  void* argument = nullptr;
  std::atomic<int> exitCode{BASE_STILL_ACTIVE};
  std::atomic<uint32_t> systemId{0};
  // Start gate of a thread created suspended.
  std::mutex gateMutex;
  std::condition_variable gateCv;
  int suspendCount = 0;
};

using RecordPtr = std::shared_ptr<ThreadRecord>;

thread_local ThreadRecord* t_currentRecord = nullptr;

extern "C" void* ThreadTrampoline(void* p) {
  RecordPtr record = *static_cast<RecordPtr*>(p);
  delete static_cast<RecordPtr*>(p);
  t_currentRecord = record.get();
  record->systemId = static_cast<uint32_t>(utility_os::CurrentThreadId());
  {
    std::unique_lock<std::mutex> lock(record->gateMutex);
    record->gateCv.wait(lock, [&record] { return record->suspendCount == 0; });
  }
  const unsigned code = record->start(record->argument);
  record->exitCode = static_cast<int>(code);
  return nullptr;
}

ManualEvent* StopEvent(void* p) { return static_cast<ManualEvent*>(p); }
RecordPtr* Record(void* p) { return static_cast<RecordPtr*>(p); }

void OpenGate(ThreadRecord& record) {
  std::lock_guard<std::mutex> lock(record.gateMutex);
  record.suspendCount = 0;
  record.gateCv.notify_all();
}

}  // namespace

base_thread::base_thread() : m_threadId(0), m_hThread(nullptr), m_hStopEvent(new ManualEvent) {}

base_thread::~base_thread() {
  if (m_hThread != nullptr) {
    StopEvent(m_hStopEvent)->Set();
    Forget(true);
  }
  delete StopEvent(m_hStopEvent);
}

void base_thread::Forget(bool join) {
  RecordPtr* holder = Record(m_hThread);
  if (holder == nullptr) return;
  ThreadRecord& record = **holder;
  OpenGate(record);  // a thread held at its start must run to see the stop
  if (join && !pthread_equal(pthread_self(), record.handle)) {
    pthread_join(record.handle, nullptr);
  } else {
    pthread_detach(record.handle);
  }
  delete holder;
  m_hThread = nullptr;
  m_threadId = 0;
}

bool base_thread::CreateThread(void* /*security*/, uint32_t stackSize,
                               base_thread_start_routine start, void* argument,
                               uint32_t creationFlags) {
  if (start == nullptr) return false;
  StopEvent(m_hStopEvent)->Reset();
  if (m_hThread != nullptr) Forget(false);  // an earlier thread runs on unowned

  auto record = std::make_shared<ThreadRecord>();
  record->start = start;
  record->argument = argument;
  record->suspendCount = (creationFlags & BASE_CREATE_SUSPENDED) ? 1 : 0;

  pthread_attr_t attr;
  pthread_attr_init(&attr);
  if (stackSize > 0) {
    pthread_attr_setstacksize(&attr, stackSize < PTHREAD_STACK_MIN ? PTHREAD_STACK_MIN : stackSize);
  }
  auto* threadArg = new RecordPtr(record);
  const int rc = pthread_create(&record->handle, &attr, ThreadTrampoline, threadArg);
  pthread_attr_destroy(&attr);
  if (rc != 0) {
    delete threadArg;
    return false;
  }
  m_hThread = new RecordPtr(record);
  // The system id is known once the thread runs; a suspended one reports it
  // after ResumeThread.
  m_threadId = record->systemId;
  return true;
}

bool base_thread::IsTheadStop(uint32_t milliseconds) { return StopEvent(m_hStopEvent)->Wait(milliseconds); }

void base_thread::ExitThead(int code) {
  if (t_currentRecord != nullptr) t_currentRecord->exitCode = code;
  pthread_exit(nullptr);
}

bool base_thread::TerminateThread(int /*code*/) {
  if (m_hThread == nullptr) return true;  // nothing left to end
  StopEvent(m_hStopEvent)->Set();
  Forget(true);
  return true;
}

void base_thread::StopThread(bool noWait) {
  StopEvent(m_hStopEvent)->Set();
  if (m_hThread != nullptr) Forget(!noWait);
}

int base_thread::GetExitCode() {
  RecordPtr* holder = Record(m_hThread);
  return holder == nullptr ? 0 : (*holder)->exitCode.load();
}

int base_thread::SuspendThread() {
  RecordPtr* holder = Record(m_hThread);
  if (holder == nullptr) return 0;
  ThreadRecord& record = **holder;
  std::lock_guard<std::mutex> lock(record.gateMutex);
  if (record.suspendCount == 0) return -1;  // running: cannot be held here
  return record.suspendCount++;
}

int base_thread::ResumeThread() {
  RecordPtr* holder = Record(m_hThread);
  if (holder == nullptr) return 0;
  ThreadRecord& record = **holder;
  std::lock_guard<std::mutex> lock(record.gateMutex);
  const int previous = record.suspendCount;
  if (previous > 0 && --record.suspendCount == 0) record.gateCv.notify_all();
  return previous;
}
