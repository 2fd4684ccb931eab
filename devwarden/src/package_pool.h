// devwarden::PackagePool: the driver packages the devices found, their
// downloads, and the host's download callback, polled once a second on the
// pool's own thread.
#ifndef DEVWARDEN_SRC_PACKAGE_POOL_H_
#define DEVWARDEN_SRC_PACKAGE_POOL_H_

#include <cstdint>
#include <map>
#include <memory>

#include "devwarden.h"
#include "driver_package.h"
#include "foundation/base/locks.h"
#include "foundation/base/singleton.h"
#include "foundation/base/win_thread.h"

namespace devwarden {

// Threading: lock_ (re-entrant) guards the callback, both maps and every
// walk of them; the thread calls the host's callback with it held, so a
// callback may call back into the pool on the same thread. Package
// downloads are started and installs run outside the lock (both may take
// long); packages are shared, so an install keeps its package alive even if
// the pool is torn down meanwhile. The instance is made by PNP_Init before
// the thread starts and destroyed by PNP_UnInit after the thread stopped.
class PackagePool : public base::Sigleton<PackagePool>, public base::WinThread {
 public:
  PackagePool();
  ~PackagePool() override;

  void SetCallback(PnpDownloadCallback callback, uintptr_t context);

  // Takes the package; 1 when pooled, 0 (package freed) when null or when a
  // package with its key is pooled already.
  int AddPackage(std::unique_ptr<DriverPackage> package);
  std::shared_ptr<DriverPackage> FindPackage(const PackageKey& key);
  size_t PackageCount();

  // Starts the download of the pooled package `key` for a device; 1 when
  // started or when the device already has a download entry, 0 when no such
  // package is pooled or the start failed.
  int StartDownLoad(int device, const PackageKey& key);
  // Stops the device's download; its entry stays until a poll sees its
  // final status.
  void StopDownLoad(int device);
  // The device's download: total, downloaded (the total once finished) and
  // speed; all 0 without an entry.
  void GetDownLoadInfo(int device, uint64_t* total, uint64_t* downloaded, int* speed);
  // 1 when the pooled package with this key has finished (also when none).
  int AllFinished(const PackageKey& key);
  // Installs the pooled package `key` for a device of these class bits and
  // this bus id; 1 when installed (also when no such package is pooled).
  int Install(const PackageKey& key, int class_bits, const std::u16string& bus_id);

  // One poll of every download entry: the callback per entry, entries with
  // a final status erased. The thread runs it every second.
  void PollOnce();
  bool HasDownload(int device);

 protected:
  void Run() override;

 private:
  struct Entry {
    PackageKey key;
    // The entry's own speed history: the downloaded bytes of its last polls.
    uint64_t previous = 0;
    uint64_t latest = 0;
  };

  base::CCriticalSection lock_;
  PnpDownloadCallback callback_ = nullptr;
  uintptr_t context_ = 0;
  std::map<PackageKey, std::shared_ptr<DriverPackage>> packages_;
  std::map<int, Entry> downloads_;  // device handle -> its running download
};

// 1, 5, 6, 7 and 10 end a download.
bool IsFinalStatus(int status);

}  // namespace devwarden

#endif  // DEVWARDEN_SRC_PACKAGE_POOL_H_
