// The driver query of one device, on a thread of its own: runs the device's
// QueryDrivers and then raises event 4 unless the device was stopped.
#ifndef DEVWARDEN_SRC_QUERY_DRIVER_THREAD_H_
#define DEVWARDEN_SRC_QUERY_DRIVER_THREAD_H_

#include <cstdint>

#include "devwarden.h"
#include "foundation/base/win_thread.h"

namespace devwarden {

class IPnpDevice;

// Threading: started by the detection thread, stopped (and waited for) by
// the device that owns it; Run touches only the device it was given, which
// outlives the thread.
class QueryDriverThread : public base::WinThread {
 public:
  QueryDriverThread(IPnpDevice* device, PnpDeviceCallback callback, uintptr_t context);
  ~QueryDriverThread() override;

 protected:
  void Run() override;

 private:
  IPnpDevice* device_;
  PnpDeviceCallback callback_;
  uintptr_t context_;
};

}  // namespace devwarden

#endif  // DEVWARDEN_SRC_QUERY_DRIVER_THREAD_H_
