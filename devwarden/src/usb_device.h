// devwarden::USBDevice: one listed USB device. It keeps its own copy of the
// detection record, its class bits, its hardware-ID lists, the keys of the
// driver packages found for it and its driver query thread, and answers the
// per-device exports.
//
// Threading: the manager's list holds devices by shared ownership; exports
// copy the pointer under the list lock and use the device outside it. The
// device's own fields are guarded by mu_ (the detection thread replaces the
// record, the query thread writes names, class and keys, host threads read).
#ifndef DEVWARDEN_SRC_USB_DEVICE_H_
#define DEVWARDEN_SRC_USB_DEVICE_H_

#include <array>
#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

#include "detected_device_record.h"
#include "devwarden.h"
#include "driver_package.h"
#include "hardware_ids.h"

namespace devwarden {

class QueryDriverThread;

// The operations of a listed device, in the order the exports use them.
class IPnpDevice {
 public:
  virtual ~IPnpDevice() = default;
  virtual int GetHandle() const = 0;
  virtual int IsDetached() const = 0;
  virtual int GetClass() const = 0;
  virtual int DumpHwIDs(char16_t* buffer, int* count) const = 0;
  virtual void GetManufName(char16_t* buffer64) const = 0;
  virtual void GetProductName(char16_t* buffer64) const = 0;
  virtual void GetDriverDesc(char16_t* buffer64) const = 0;
  virtual int CheckPeripheralDevice() = 0;
  virtual int IsNeedUpdate() = 0;
  virtual int IsSupportUpdate() const = 0;
  virtual int Promlem(int* problem) const = 0;
  virtual int GetStatus() const = 0;
  virtual int IsStopped() const = 0;
  virtual int GetProperty(int id, void* buffer, unsigned size, int* needed) const = 0;
  virtual int QueryDrivers() = 0;
  virtual int GetAdvanceInfo(AndroidModelInfo* record, int size) = 0;
  virtual int DownloadDrivers() = 0;
  virtual int Update() = 0;
  virtual void StopQuery() = 0;
};

class USBDevice : public IPnpDevice {
 public:
  // Copies the record (with its interface table), builds the hardware-ID
  // lists, asks the detection library for the setup-class GUID and
  // classifies the device.
  explicit USBDevice(const DetectedDeviceRecord& record);
  // For tests: a given setup-class GUID and class instead of asking.
  USBDevice(const DetectedDeviceRecord& record, int class_bits);
  ~USBDevice() override;

  int GetHandle() const override { return handle_; }
  int IsDetached() const override { return 0; }
  int GetClass() const override;
  int DumpHwIDs(char16_t* buffer, int* count) const override;
  void GetManufName(char16_t* buffer64) const override;
  void GetProductName(char16_t* buffer64) const override;
  void GetDriverDesc(char16_t* buffer64) const override;
  void GetSerialNumber(char16_t* buffer64) const;
  int CheckPeripheralDevice() override;
  int IsNeedUpdate() override;
  int IsSupportUpdate() const override;
  int Promlem(int* problem) const override;
  int GetStatus() const override;
  int IsStopped() const override { return stopped_.load(); }
  int GetProperty(int id, void* buffer, unsigned size, int* needed) const override;
  int QueryDrivers() override;
  int GetAdvanceInfo(AndroidModelInfo* record, int size) override;
  int DownloadDrivers() override;
  int Update() override;
  void StopQuery() override;

  // 0 adb interface, 1 protocol 3, -1 none (any class; the export checks it).
  int AndroidMode() const;
  uint16_t VendorId() const;
  uint16_t ProductId() const;
  size_t PackageCount() const;
  std::vector<PackageKey> PackageKeys() const;
  const std::u16string& BusId() const { return hwids_.bus_id; }
  // A change event: the record is replaced whole (the handle stays).
  void ReplaceRecord(const DetectedDeviceRecord& record);
  // Takes the started query thread, stopping and deleting an earlier one.
  void SetQueryThread(std::unique_ptr<QueryDriverThread> thread);

 private:
  const int handle_;
  mutable std::mutex mu_;                 // guards every field below
  DeviceRecord record_;
  std::unique_ptr<AndroidModelInfo> model_;
  std::vector<PackageKey> package_keys_;
  HardwareIdLists hwids_;                 // built once, read-only afterwards
  int class_bits_ = 0;
  int peripheral_ = -1;
  std::unique_ptr<QueryDriverThread> query_thread_;
  std::mutex query_mu_;                   // guards query_thread_ (never held with mu_)
  std::atomic<int> stopped_{0};
};

}  // namespace devwarden

#endif  // DEVWARDEN_SRC_USB_DEVICE_H_
