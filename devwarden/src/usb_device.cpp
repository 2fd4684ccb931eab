#include "usb_device.h"

#include <algorithm>
#include <cstring>

#include "android_model.h"
#include "base/base_string.h"
#include "bindings/kitfinder_interface.h"
#include "bindings/portsniffer_interface.h"
#include "device_class.h"
#include "foundation/base/log.h"
#include "known_android.h"
#include "package_pool.h"
#include "pnp_settings.h"
#include "query_driver_thread.h"

namespace devwarden {

namespace {

constexpr int kProblemDisabled = 22;
constexpr int kProblemUnconfirmed = 121;
constexpr int kHasProblemBit = 0x400;

constexpr size_t kMatchedIdCapacity = 1024;
constexpr size_t kDescriptionCapacity = 260;
constexpr size_t kClassNameCapacity = 32;

// A fixed text field as a string, ending at its terminator or its end.
template <size_t N>
std::u16string Terminated(const char16_t (&field)[N]) {
  size_t n = 0;
  while (n < N && field[n]) ++n;
  return std::u16string(field, n);
}

}  // namespace

USBDevice::USBDevice(const DetectedDeviceRecord& record) : handle_(record.handle), record_(record) {
  hwids_ = BuildHardwareIds(record_);
  ParseAndroidXML();
  uint8_t guid[16] = {};
  if (Portsniffer().UD_GetDeviceClassGUID) Portsniffer().UD_GetDeviceClassGUID(hwids_.bus_id.c_str(), guid);
  class_bits_ = ClassifyDevice(guid, &record_);
}

USBDevice::USBDevice(const DetectedDeviceRecord& record, int class_bits)
    : handle_(record.handle), record_(record), class_bits_(class_bits) {
  hwids_ = BuildHardwareIds(record_);
}

USBDevice::~USBDevice() {
  std::unique_ptr<QueryDriverThread> thread;
  {
    std::lock_guard<std::mutex> lock(query_mu_);
    thread = std::move(query_thread_);
  }
  thread.reset();  // stops and waits for it
}

int USBDevice::GetClass() const {
  std::lock_guard<std::mutex> lock(mu_);
  return class_bits_;
}

uint16_t USBDevice::VendorId() const {
  std::lock_guard<std::mutex> lock(mu_);
  return record_.vendor_id();
}

uint16_t USBDevice::ProductId() const {
  std::lock_guard<std::mutex> lock(mu_);
  return record_.product_id();
}

int USBDevice::AndroidMode() const {
  std::lock_guard<std::mutex> lock(mu_);
  return AndroidModeOf(record_);
}

size_t USBDevice::PackageCount() const {
  std::lock_guard<std::mutex> lock(mu_);
  return package_keys_.size();
}

std::vector<PackageKey> USBDevice::PackageKeys() const {
  std::lock_guard<std::mutex> lock(mu_);
  return package_keys_;
}

void USBDevice::ReplaceRecord(const DetectedDeviceRecord& record) {
  DeviceRecord copy(record);
  copy.raw().handle = handle_;
  std::lock_guard<std::mutex> lock(mu_);
  record_ = copy;
}

void USBDevice::SetQueryThread(std::unique_ptr<QueryDriverThread> thread) {
  std::unique_ptr<QueryDriverThread> old;
  {
    std::lock_guard<std::mutex> lock(query_mu_);
    old = std::move(query_thread_);
    query_thread_ = std::move(thread);
  }
  old.reset();
}

void USBDevice::StopQuery() {
  {
    std::lock_guard<std::mutex> lock(query_mu_);
    if (query_thread_) query_thread_->Stop();  // the query itself runs to its end
  }
  stopped_.store(1);
}

int USBDevice::DumpHwIDs(char16_t* buffer, int* count) const {
  if (!count) return 0;
  std::vector<std::u16string> groups;
  groups.push_back(RowMultiString(IdRow{hwids_.bus_id}));
  for (const auto& row : hwids_.rows) groups.push_back(RowMultiString(row));
  if (!buffer || *count == 0) {
    size_t needed = hwids_.bus_id.size() + 1;
    for (size_t g = 1; g < groups.size(); ++g) needed += groups[g].size();
    *count = static_cast<int>(needed);
    return 0;
  }
  size_t capacity = *count > 0 ? static_cast<size_t>(*count) : 0;
  size_t pos = 0;
  for (const auto& group : groups) {
    if (pos + group.size() > capacity) return 0;
    std::copy(group.begin(), group.end(), buffer + pos);
    pos += group.size();
  }
  return 1;
}

void USBDevice::GetManufName(char16_t* buffer64) const {
  std::lock_guard<std::mutex> lock(mu_);
  CopyWideText(buffer64, 64, record_.raw().manufacturer);
  PD_LOG_TRACE("USBDevice::GetManufName [%s]", ToUtf8(record_.raw().manufacturer).c_str());
}

void USBDevice::GetProductName(char16_t* buffer64) const {
  std::lock_guard<std::mutex> lock(mu_);
  CopyWideText(buffer64, 64, record_.raw().product);
  PD_LOG_TRACE("USBDevice::GetProductName [%s]", ToUtf8(record_.raw().product).c_str());
}

void USBDevice::GetDriverDesc(char16_t* buffer64) const {
  std::lock_guard<std::mutex> lock(mu_);
  CopyWideText(buffer64, 64, record_.raw().description);
  PD_LOG_TRACE("USBDevice::GetDriverDesc [%s]", ToUtf8(record_.raw().description).c_str());
}

void USBDevice::GetSerialNumber(char16_t* buffer64) const {
  std::lock_guard<std::mutex> lock(mu_);
  CopyWideText(buffer64, 64, record_.raw().serial);
  PD_LOG_TRACE("USBDevice::GetSerialNumber [%s]", ToUtf8(record_.raw().serial).c_str());
}

int USBDevice::CheckPeripheralDevice() {
  int answer_kept;
  {
    std::lock_guard<std::mutex> lock(mu_);
    answer_kept = peripheral_;
  }
  if (answer_kept != -1) return answer_kept;
  for (const auto& row : hwids_.rows) {
    std::u16string ids = RowMultiString(row);
    uint8_t answer = 0;
    if (Kitfinder().CheckPeripheralDevice(ids.c_str(), &answer) == 0) {
      std::lock_guard<std::mutex> lock(mu_);
      peripheral_ = answer;
    }
  }
  std::lock_guard<std::mutex> lock(mu_);
  return peripheral_;
}

int USBDevice::IsNeedUpdate() { return GetStatus() != 0 && PackageCount() > 0 ? 1 : 0; }

int USBDevice::IsSupportUpdate() const {
  if (ContainsNoCase(hwids_.bus_id, u"USB\\VID_148f&PID_5370") || ContainsNoCase(hwids_.bus_id, u"USB\\VID_05AC&PID_1500")) {
    PD_LOG_TRACE("%s Support Update", ToUtf8(hwids_.bus_id).c_str());
    return 1;
  }
  return 0;
}

int USBDevice::Promlem(int* problem) const {
  PD_LOG_TRACE("USBDevice::Promlem device bus id %s", ToUtf8(hwids_.bus_id).c_str());
  UdStatusRecord status{};
  const PortsnifferInterface& ud = Portsniffer();
  if (GetClass() == kClassAndroid && AndroidMode() == 0) {
    if (ud.UD_IsDeviceAdbInterfaceHasProplem) ud.UD_IsDeviceAdbInterfaceHasProplem(hwids_.bus_id.c_str(), &status);
    PD_LOG_TRACE("Adb status._status %d,status._problem 0x%x", status.status, status.problem);
  } else {
    if (ud.UD_IsDeviceHasProplem) ud.UD_IsDeviceHasProplem(hwids_.bus_id.c_str(), &status);
    PD_LOG_TRACE("Dev status._status %d,status._problem 0x%x", status.status, status.problem);
  }
  if ((status.status & kHasProblemBit) || status.problem != 0) {
    if (problem) *problem = status.problem;
    return 1;
  }
  if (status.confirmed == 0) {
    if (problem) *problem = kProblemUnconfirmed;
    return 1;
  }
  return 0;
}

int USBDevice::GetStatus() const {
  PD_LOG_TRACE("USBDevice::GetStatus HANDLE 0x%X Begin", static_cast<unsigned>(handle_));
  int problem = 0, result = PNP_STATUS_OK;
  if (Promlem(&problem)) {
    result = problem == kProblemDisabled ? PNP_STATUS_DISABLED
             : problem == kProblemUnconfirmed ? PNP_STATUS_UNCONFIRMED
                                              : PNP_STATUS_PROBLEM;
  }
  PD_LOG_TRACE("USBDevice::GetStatus HANDLE 0x%X result %d End", static_cast<unsigned>(handle_), result);
  return result;
}

int USBDevice::GetProperty(int id, void* buffer, unsigned size, int* needed) const {
  uint8_t bytes[4];
  unsigned length;
  {
    std::lock_guard<std::mutex> lock(mu_);
    const DetectedDeviceRecord& r = record_.raw();
    switch (id) {
      case PNP_PROPERTY_VENDOR_ID: length = 2; std::memcpy(bytes, &r.vendor_id, 2); break;
      case PNP_PROPERTY_PRODUCT_ID: length = 2; std::memcpy(bytes, &r.product_id, 2); break;
      case PNP_PROPERTY_BUS_NUMBER: length = 1; bytes[0] = r.property3; break;
      case PNP_PROPERTY_DEVICE_ADDRESS: { length = 4; uint32_t v = r.property4; std::memcpy(bytes, &v, 4); break; }
      case PNP_PROPERTY_PRODUCT_RELEASE:
        length = 4;
        std::memcpy(bytes, &r.product_id, 2);
        std::memcpy(bytes + 2, &r.release, 2);
        break;
      default: return 0;
    }
  }
  if (size < length && needed) {
    *needed = static_cast<int>(length);
    return PNP_ERROR_INSUFFICIENT_BUFFER;
  }
  if (!buffer || size < length) return 0;
  std::memcpy(buffer, bytes, length);
  return 1;
}

int USBDevice::GetAdvanceInfo(AndroidModelInfo* record, int size) {
  if (!record || record->version != PNP_MODEL_INFO_VERSION || GetClass() != kClassAndroid) return 0;
  char16_t product[64], serial[64];
  GetProductName(product);
  GetSerialNumber(serial);
  const std::u16string adb_name = GetSettings().adb_device_name;
  auto fresh = std::make_unique<AndroidModelInfo>();
  std::memset(fresh.get(), 0, sizeof(AndroidModelInfo));
  if (!GetMobileProductInfo(VendorId(), ProductId(), adb_name.c_str(), product, serial, fresh.get())) return 0;
  std::lock_guard<std::mutex> lock(mu_);
  model_ = std::move(fresh);
  if (size != PNP_MODEL_INFO_SIZE) return 0;
  std::memcpy(record, model_.get(), sizeof(AndroidModelInfo));
  return 1;
}

int USBDevice::QueryDrivers() {
  // 1. The hardware-ID dump: the bus id group and one group per row.
  int count = 0;
  DumpHwIDs(nullptr, &count);
  if (count <= 0) return 0;
  std::vector<char16_t> dump(static_cast<size_t>(count) + 1, 0);
  int capacity = count + 1;
  if (!DumpHwIDs(dump.data(), &capacity)) return 0;
  const size_t groups = std::min<size_t>(hwids_.rows.size() + 1, 255);
  PD_LOG_TRACE("QueryDrivers: Begin QueryDrivers ids_cnt=%d device0x%X ", static_cast<int>(groups),
               static_cast<unsigned>(handle_));

  // 2. The driver query.
  char16_t matched[kMatchedIdCapacity] = {};
  char16_t description[kDescriptionCapacity] = {};
  char16_t class_name[kClassNameCapacity] = {};
  SDrvInfo* records = nullptr;
  uint8_t record_count = 0;
  const int result = Kitfinder().GetLocalUsbDrvInfo(GetClass(), dump.data(), static_cast<uint8_t>(groups), matched,
                                                    &records, &record_count, description, class_name);
  // Whatever the library wrote, these texts end inside their buffers.
  matched[kMatchedIdCapacity - 1] = 0;
  description[kDescriptionCapacity - 1] = 0;
  class_name[kClassNameCapacity - 1] = 0;

  if (result == 0 && records && record_count > 0) {
    const SDrvInfo& first = records[0];  // only the first record becomes a package
    auto package = std::make_unique<DriverPackage>(first);
    package->SetBusId(hwids_.bus_id.c_str());
    // The matched IDs are read within their own buffer, never past it.
    if (matched[0]) package->SetHwIdsForPackage(matched, std::min<size_t>(dump.size(), kMatchedIdCapacity));
    PD_LOG_TRACE("szDevDrvDes[%s]", ToUtf8(description).c_str());
    PD_LOG_TRACE("szDevClass[%s]", ToUtf8(class_name).c_str());
    PD_LOG_TRACE("szBrandStr[%s]", ToUtf8(Terminated(first.szBrandStr)).c_str());
    PD_LOG_TRACE("szVendorStr[%s]", ToUtf8(Terminated(first.szVendorStr)).c_str());
    PD_LOG_TRACE("szFileExt[%s]", ToUtf8(Terminated(first.szFileExt)).c_str());
    PD_LOG_TRACE("szPopularVer[%s]", ToUtf8(Terminated(first.szPopularVer)).c_str());
    PD_LOG_TRACE("szDrvName[%s]", ToUtf8(Terminated(first.szDrvName)).c_str());
    PD_LOG_TRACE("szDrvClassName[%s]", ToUtf8(Terminated(first.szDrvClassName)).c_str());
    const PackageKey key = package->GetKey();
    {
      std::lock_guard<std::mutex> lock(mu_);
      DetectedDeviceRecord& r = record_.raw();
      PD_LOG_TRACE("_manufacturer[%s]", ToUtf8(Terminated(r.manufacturer)).c_str());
      PD_LOG_TRACE("_product[%s]", ToUtf8(Terminated(r.product)).c_str());
      PD_LOG_TRACE("_desc[%s]", ToUtf8(Terminated(r.description)).c_str());
      // The names the device did not give itself come from the driver record.
      if (!r.manufacturer[0]) CopyWideText(r.manufacturer, 64, Terminated(first.szBrandStr).c_str());
      if (!r.product[0]) CopyWideText(r.product, 64, Terminated(first.szVendorStr).c_str());
      if (!r.description[0]) {
        const std::u16string name = Terminated(first.szDrvName);
        CopyWideText(r.description, 64, name.empty() ? description : name.c_str());
      }
      if (class_bits_ == 0) {
        if (ContainsNoCase(class_name, u"Net")) class_bits_ = PNP_CLASS_NETWORK;
        else if (ContainsNoCase(class_name, u"Bluetooth")) class_bits_ = PNP_CLASS_BLUETOOTH;
      }
      package_keys_.push_back(key);
    }
    PackagePool::GetInstance()->AddPackage(std::move(package));
  }
  if (result == 0 && records) Kitfinder().FreeDrvInfo(records, record_count);
  const int held = PackageCount() > 0 ? 1 : 0;
  PD_LOG_TRACE("QueryDrivers: End QueryDrivers device0x%X drvcount=%d", static_cast<unsigned>(handle_),
               static_cast<int>(record_count));
  return held;
}

int USBDevice::DownloadDrivers() {
  for (const auto& key : PackageKeys()) {
    if (!PackagePool::GetInstance()->StartDownLoad(handle_, key)) return 0;
  }
  return 1;
}

int USBDevice::Update() {
  PD_LOG_TRACE("Update Begin:");
  const std::vector<PackageKey> keys = PackageKeys();
  const int class_bits = GetClass();
  PackagePool* pool = PackagePool::GetInstance();
  int result = 1;
  for (const auto& key : keys) {
    if (!pool->AllFinished(key)) result = 0;
  }
  // Installed against this device's own bus id: a package that several
  // phone models share was stored with the first one's.
  for (size_t i = 0; result && i < keys.size(); ++i) result &= pool->Install(keys[i], class_bits, hwids_.bus_id);
  PD_LOG_TRACE("Update End: %d", result);
  return result;
}

}  // namespace devwarden
