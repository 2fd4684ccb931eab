// PNPDeviceMangement: devwarden's spine. Start-up and shut-down, the list of
// devices, the detection callback and the host's device callback.
#ifndef DEVWARDEN_SRC_PNP_DEVICE_MANAGEMENT_H_
#define DEVWARDEN_SRC_PNP_DEVICE_MANAGEMENT_H_

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "detected_device_record.h"
#include "devwarden.h"
#include "foundation/base/locks.h"
#include "pnp_wnd.h"
#include "usb_device.h"

namespace devwarden {

// Threading:
// - Init, Start, UnInit run on the host's thread (UnInit also at unload);
//   lifecycle_mu_ serialises them.
// - list_lock_ guards devices_ only: add, unlink, find and copy. No callback
//   runs and no thread is waited for while it is held.
// - The detection callback runs on one thread at a time (the detection
//   library's guarantee); the query threads raise event 4 on their own.
class PNPDeviceMangement {
 public:
  PNPDeviceMangement();
  ~PNPDeviceMangement();

  int Init(PnpDeviceCallback device_callback, uintptr_t device_context, PnpDownloadCallback download_callback,
           uintptr_t download_context);
  int Start();
  void UnInit();  // idempotent

  bool IsInitialized() const { return initialized_.load() != 0; }
  // The listed device with this handle, kept alive for the caller; null
  // when not initialised, unknown or detached.
  std::shared_ptr<USBDevice> FindReady(int handle);
  size_t DeviceCount();

  // The detection library's callback.
  static int USBCallBackFun(int event, DetectedDeviceRecord* record, uintptr_t context);

 private:
  void Stop();
  void ClearDevices();
  void OnArrival(int event, const DetectedDeviceRecord& record);
  void OnRemoval(const DetectedDeviceRecord& record);
  void OnChange(const DetectedDeviceRecord& record);
  int Raise(int event, int handle);
  std::shared_ptr<USBDevice> Find(int handle);
  std::shared_ptr<USBDevice> Unlink(int handle);

  std::atomic<int> initialized_{0};
  std::vector<std::shared_ptr<USBDevice>> devices_;  // arrival order
  PnpWnd window_;
  base::CCriticalSection list_lock_;
  std::atomic<PnpDeviceCallback> callback_{nullptr};
  std::atomic<uintptr_t> context_{0};
  std::mutex lifecycle_mu_;
};

// The one manager, made when the library is loaded and deleted (after its
// shut-down) when it is unloaded. Threading: made and deleted while no other
// thread of devwarden runs.
PNPDeviceMangement& Manager();
void DestroyManager();

}  // namespace devwarden

#endif  // DEVWARDEN_SRC_PNP_DEVICE_MANAGEMENT_H_
