#include "device_table.h"

#include <algorithm>
#include <set>

namespace portsniffer {

namespace {

void CopyText(char16_t (&dst)[64], const std::u16string& src) {
  size_t n = std::min<size_t>(src.size(), 63);
  std::copy(src.begin(), src.begin() + n, dst);
  dst[n] = 0;
}

bool HasAdbInterface(const UsbDeviceInfo& info) {
  for (const auto& i : info.interfaces) {
    if (i.interface_class == 0xFF && i.subclass == 0x42 && i.protocol == 0x01) return true;
  }
  return false;
}

}  // namespace

DetectedDeviceRecord MakeRecord(int32_t handle, const UsbDeviceInfo& info, const UdInterfaceEntry* table) {
  DetectedDeviceRecord r{};
  r.handle = handle;
  CopyText(r.serial, info.serial);
  CopyText(r.manufacturer, info.manufacturer);
  CopyText(r.product, info.product);
  r.vendor_id = info.vendor_id;
  r.product_id = info.product_id;
  r.release = info.release;
  r.interface_count = static_cast<uint8_t>(std::min<size_t>(info.interfaces.size(), 255));
  r.interfaces = reinterpret_cast<uintptr_t>(table);
  r.bus_number = info.bus_number;
  r.device_address = info.device_address;
  return r;
}

DeviceTable::DeviceTable(NodeOpener opener) : opener_(std::move(opener)) {}

Notification DeviceTable::Make(int event, const Entry& e) const {
  Notification n;
  n.event = event;
  n.interfaces = e.interfaces;
  n.record = MakeRecord(e.handle, e.info, e.interfaces->empty() ? nullptr : e.interfaces->data());
  return n;
}

int32_t DeviceTable::NextHandleLocked() {
  for (;;) {
    int32_t h = next_handle_;
    next_handle_ = next_handle_ == INT32_MAX ? 1 : next_handle_ + 1;
    if (h == 0) continue;
    bool used = false;
    for (const auto& kv : listed_) used = used || kv.second.handle == h;
    if (!used) return h;
  }
}

std::vector<Notification> DeviceTable::UpdateLocked(const UsbDeviceInfo& info, bool enumerated) {
  std::vector<Notification> out;
  auto it = listed_.find(info.devpath);
  if (it != listed_.end()) {
    if (it->second.info.SameAs(info)) return out;
    it->second.info = info;
    it->second.interfaces = std::make_shared<const std::vector<UdInterfaceEntry>>(info.interfaces);
    out.push_back(Make(UD_EVENT_CHANGED, it->second));
    return out;
  }
  if (!enumerated && !info.Ready()) {
    pending_[info.devpath] = info;
    return out;
  }
  pending_.erase(info.devpath);
  Entry e;
  e.handle = NextHandleLocked();
  e.info = info;
  e.interfaces = std::make_shared<const std::vector<UdInterfaceEntry>>(info.interfaces);
  auto& placed = listed_[info.devpath] = std::move(e);
  out.push_back(Make(enumerated ? UD_EVENT_PRESENT : UD_EVENT_PLUGGED, placed));
  return out;
}

std::vector<Notification> DeviceTable::Update(const UsbDeviceInfo& info) {
  std::lock_guard<std::mutex> lock(mu_);
  return UpdateLocked(info, false);
}

std::vector<Notification> DeviceTable::Remove(const std::string& devpath) {
  std::lock_guard<std::mutex> lock(mu_);
  std::vector<Notification> out;
  pending_.erase(devpath);
  auto it = listed_.find(devpath);
  if (it == listed_.end()) return out;
  out.push_back(Make(UD_EVENT_REMOVED, it->second));
  listed_.erase(it);
  return out;
}

std::vector<Notification> DeviceTable::Rescan(const std::vector<UsbDeviceInfo>& present) {
  std::lock_guard<std::mutex> lock(mu_);
  std::vector<Notification> out;
  std::set<std::string> seen;
  for (const auto& info : present) seen.insert(info.devpath);
  for (auto it = listed_.begin(); it != listed_.end();) {
    if (seen.count(it->first)) { ++it; continue; }
    out.push_back(Make(UD_EVENT_REMOVED, it->second));
    it = listed_.erase(it);
  }
  for (auto it = pending_.begin(); it != pending_.end();) {
    it = seen.count(it->first) ? std::next(it) : pending_.erase(it);
  }
  for (const auto& info : present) {
    auto more = UpdateLocked(info, true);
    for (auto& n : more) out.push_back(std::move(n));
  }
  return out;
}

void DeviceTable::Clear() {
  std::lock_guard<std::mutex> lock(mu_);
  listed_.clear();
  pending_.clear();
}

void DeviceTable::StatusLocked(const Entry& e, bool adb_interface, UdDeviceStatus* status) const {
  status->confirmed = 1;
  status->status = UD_DN_DRIVER_LOADED | UD_DN_STARTED;
  status->problem = 0;
  if (!e.info.authorized) {
    status->status = UD_DN_HAS_PROBLEM;
    status->problem = UD_PROBLEM_DISABLED;
    return;
  }
  if (adb_interface && HasAdbInterface(e.info) && !opener_(e.info.devnode)) {
    status->status = UD_DN_HAS_PROBLEM;
    status->problem = UD_PROBLEM_FAILED_INSTALL;
  }
}

bool DeviceTable::Status(const std::u16string& bus_id, bool adb_interface, UdDeviceStatus* status) const {
  std::lock_guard<std::mutex> lock(mu_);
  for (const auto& kv : listed_) {
    const Entry& e = kv.second;
    if (!BusIdEquals(BusIdOf(e.info.vendor_id, e.info.product_id), bus_id)) continue;
    StatusLocked(e, adb_interface, status);
    return true;
  }
  return false;
}

bool DeviceTable::StatusOfHandle(int32_t handle, UdDeviceStatus* status) const {
  std::lock_guard<std::mutex> lock(mu_);
  for (const auto& kv : listed_) {
    if (kv.second.handle != handle) continue;
    StatusLocked(kv.second, true, status);
    return true;
  }
  return false;
}

bool DeviceTable::ClassGuid(const std::u16string& bus_id, uint8_t* guid16) const {
  std::lock_guard<std::mutex> lock(mu_);
  for (const auto& kv : listed_) {
    const Entry& e = kv.second;
    if (!BusIdEquals(BusIdOf(e.info.vendor_id, e.info.product_id), bus_id)) continue;
    bool known = false;
    for (uint8_t b : e.info.class_guid) known = known || b != 0;
    if (!known) return false;
    std::copy(e.info.class_guid.begin(), e.info.class_guid.end(), guid16);
    return true;
  }
  return false;
}

std::vector<DetectedDeviceRecord> DeviceTable::Records() const {
  std::lock_guard<std::mutex> lock(mu_);
  std::vector<DetectedDeviceRecord> out;
  for (const auto& kv : listed_) out.push_back(MakeRecord(kv.second.handle, kv.second.info, nullptr));
  return out;
}

bool DeviceTable::IsPending(const std::string& devpath) const {
  std::lock_guard<std::mutex> lock(mu_);
  return pending_.count(devpath) != 0;
}

size_t DeviceTable::ListedCount() const {
  std::lock_guard<std::mutex> lock(mu_);
  return listed_.size();
}

}  // namespace portsniffer
