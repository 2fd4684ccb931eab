// The library's own table of listed devices, fed with device infos (from
// sysfs or from a test) and answering with the notifications to raise.
// Removal events of the kernel carry no attributes, so the table keeps the
// last record of every listed device.
#ifndef PORTSNIFFER_SRC_DEVICE_TABLE_H_
#define PORTSNIFFER_SRC_DEVICE_TABLE_H_

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "usb_device_info.h"

namespace portsniffer {

struct Notification {
  int event = 0;
  DetectedDeviceRecord record{};
  // Keeps the record's interface table alive while the notification is
  // delivered, also after the device left the table.
  std::shared_ptr<const std::vector<UdInterfaceEntry>> interfaces;
};

// Threading: every operation takes the table's own lock; notifications are
// returned, never raised under it. The opener decides whether this user can
// open a device node (the real one tries open(2)).
class DeviceTable {
 public:
  using NodeOpener = std::function<bool(const std::string& devnode)>;
  explicit DeviceTable(NodeOpener opener);

  // A device was added or changed (also: one of its interfaces appeared).
  // Unlisted and ready: listed, arrival 0. Unlisted, not ready: kept
  // pending. Listed with a different record: change 4.
  std::vector<Notification> Update(const UsbDeviceInfo& info);
  // A device left: removal 2 with its last record when listed.
  std::vector<Notification> Remove(const std::string& devpath);
  // The devices present now (enumeration): listed devices that are gone are
  // removed, new ones listed with arrival 1 whether ready or not, changed
  // ones reported.
  std::vector<Notification> Rescan(const std::vector<UsbDeviceInfo>& present);
  void Clear();

  bool Status(const std::u16string& bus_id, bool adb_interface, UdDeviceStatus* status) const;
  bool StatusOfHandle(int32_t handle, UdDeviceStatus* status) const;
  bool ClassGuid(const std::u16string& bus_id, uint8_t* guid16) const;
  std::vector<DetectedDeviceRecord> Records() const;
  bool IsPending(const std::string& devpath) const;
  size_t ListedCount() const;

 private:
  struct Entry {
    int32_t handle = 0;
    UsbDeviceInfo info;
    std::shared_ptr<const std::vector<UdInterfaceEntry>> interfaces;
  };
  Notification Make(int event, const Entry& e) const;
  std::vector<Notification> UpdateLocked(const UsbDeviceInfo& info, bool enumerated);
  void StatusLocked(const Entry& e, bool adb_interface, UdDeviceStatus* status) const;
  int32_t NextHandleLocked();

  NodeOpener opener_;
  mutable std::mutex mu_;           // guards everything below
  std::map<std::string, Entry> listed_;        // by devpath
  std::map<std::string, UsbDeviceInfo> pending_;
  int32_t next_handle_ = 1;
};

// Fills a record from an info (texts cut to 63 characters).
DetectedDeviceRecord MakeRecord(int32_t handle, const UsbDeviceInfo& info, const UdInterfaceEntry* table);

}  // namespace portsniffer

#endif  // PORTSNIFFER_SRC_DEVICE_TABLE_H_
