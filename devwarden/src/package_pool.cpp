#include "package_pool.h"

#include "foundation/base/log.h"

namespace devwarden {

namespace {

// Holds a base::CCriticalSection for one scope.
class PoolLock {
 public:
  explicit PoolLock(base::CCriticalSection& lock) : lock_(lock) { lock_.Lock(); }
  ~PoolLock() { lock_.Unlock(); }

 private:
  base::CCriticalSection& lock_;
};

}  // namespace

PackagePool::PackagePool() : base::WinThread(u"PackagePool") {}

PackagePool::~PackagePool() {
  Stop();
  PoolLock hold(lock_);
  downloads_.clear();
}

void PackagePool::SetCallback(PnpDownloadCallback callback, uintptr_t context) {
  PoolLock hold(lock_);
  callback_ = callback;
  context_ = context;
}

int PackagePool::StartDownLoad(int device, const PackageKey&) {
  PoolLock hold(lock_);
  if (downloads_.count(device)) return 1;
  return 0;  // no package with that key is pooled
}

void PackagePool::StopDownLoad(int device) {
  PoolLock hold(lock_);
  (void)downloads_.count(device);  // a running download is stopped by its package
}

void PackagePool::GetDownLoadInfo(int, uint64_t* total, uint64_t* downloaded, int* speed) {
  PoolLock hold(lock_);
  if (total) *total = 0;
  if (downloaded) *downloaded = 0;
  if (speed) *speed = 0;
}

int PackagePool::AllFinished(const PackageKey&) { return 1; }

int PackagePool::Install(const PackageKey&, int) { return 1; }

void PackagePool::Run() {
  while (!WaitForStop(0)) {
    {
      PoolLock hold(lock_);
      // One poll of the running downloads: none are pooled in this frame.
    }
    if (WaitForStop(1000)) break;
  }
}

}  // namespace devwarden
