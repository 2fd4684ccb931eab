// devwarden::PackagePool: the driver packages the devices found, their
// downloads, and the host's download callback, polled once a second on the
// pool's own thread.
//
// This is the pool's frame: the callback, the thread and the per-device
// questions the exports and devices ask. The packages themselves (adding,
// download start, progress sums, install) come with the driver package code,
// which fills the maps below; until then the pool holds no package and
// answers every question for "no package".
#ifndef DEVWARDEN_SRC_PACKAGE_POOL_H_
#define DEVWARDEN_SRC_PACKAGE_POOL_H_

#include <cstdint>
#include <map>

#include "devwarden.h"
#include "foundation/base/locks.h"
#include "foundation/base/singleton.h"
#include "foundation/base/win_thread.h"
#include "usb_device.h"

namespace devwarden {

// Threading: the callback and the maps are guarded by lock_ (re-entrant);
// the thread calls the host's callback with it held. The instance is made
// by PNP_Init before the thread starts and destroyed by PNP_UnInit after
// the thread stopped.
class PackagePool : public base::Sigleton<PackagePool>, public base::WinThread {
 public:
  PackagePool();
  ~PackagePool() override;

  void SetCallback(PnpDownloadCallback callback, uintptr_t context);
  // Starts the download of the pooled package `key` for a device; 1 when
  // started (or one already runs for the device), 0 when refused.
  int StartDownLoad(int device, const PackageKey& key);
  void StopDownLoad(int device);
  void GetDownLoadInfo(int device, uint64_t* total, uint64_t* downloaded, int* speed);
  // 1 when every pooled package with this key has finished (also when none).
  int AllFinished(const PackageKey& key);
  // Installs the pooled package `key` for a device of these class bits;
  // 1 when installed (also when no such package is pooled).
  int Install(const PackageKey& key, int class_bits);

 protected:
  void Run() override;

 private:
  base::CCriticalSection lock_;
  PnpDownloadCallback callback_ = nullptr;
  uintptr_t context_ = 0;
  std::map<int, PackageKey> downloads_;  // device handle -> key of its running download
};

}  // namespace devwarden

#endif  // DEVWARDEN_SRC_PACKAGE_POOL_H_
