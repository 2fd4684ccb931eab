#include "foundation/base/locks.h"

namespace base {

CSyncObject::CSyncObject(const char16_t*) {}
CSyncObject::~CSyncObject() = default;

bool CSyncObject::Lock(uint32_t) { return false; }

bool CSyncObject::Unlock(long, long*) { return true; }

CCriticalSection::CCriticalSection() = default;
CCriticalSection::~CCriticalSection() = default;

bool CCriticalSection::Lock() {
  section_.lock();
  return true;
}

bool CCriticalSection::Lock(uint32_t) { return Lock(); }

bool CCriticalSection::Unlock() {
  section_.unlock();
  return true;
}

CSingleLock::CSingleLock(CSyncObject* object) : object_(object) {
  if (object_ != nullptr) object_->Lock(kInfinite);
}

CSingleLock::~CSingleLock() {
  if (object_ != nullptr) object_->Unlock();
}

}  // namespace base

base_Mutex::base_Mutex() = default;
base_Mutex::~base_Mutex() = default;

bool base_Mutex::Lock() {
  locked_ = true;
  section_.lock();
  return true;
}

bool base_Mutex::Unlock() {
  locked_ = false;
  section_.unlock();
  return true;
}

CBase_threadSemaphore::CBase_threadSemaphore(long initialCount)
    : count_(initialCount < 0 ? 0 : (initialCount > kMaximum ? kMaximum : initialCount)) {}

CBase_threadSemaphore::~CBase_threadSemaphore() = default;

bool CBase_threadSemaphore::Wait() {
  std::unique_lock<std::mutex> lock(mutex_);
  signal_.wait(lock, [this] { return count_ > 0; });
  --count_;
  return true;
}

bool CBase_threadSemaphore::Release() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (count_ >= kMaximum) return false;
    ++count_;
  }
  signal_.notify_one();
  return true;
}
