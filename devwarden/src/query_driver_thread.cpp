#include "query_driver_thread.h"

#include "usb_device.h"

namespace devwarden {

QueryDriverThread::QueryDriverThread(IPnpDevice* device, PnpDeviceCallback callback, uintptr_t context)
    : base::WinThread(u"QueryDriverThread"), device_(device), callback_(callback), context_(context) {}

QueryDriverThread::~QueryDriverThread() { Stop(); }

void QueryDriverThread::Run() {
  if (!device_) return;
  device_->QueryDrivers();
  if (device_->IsStopped() || !callback_) return;
  callback_(PNP_EVENT_QUERY_FINISHED, device_->GetHandle(), context_);
}

}  // namespace devwarden
