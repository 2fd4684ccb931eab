#include "app/connect/connect_mgr.h"

#include <sys/stat.h>

#include <atomic>

#include "app/adb/adbcmd_tool.h"
#include "app/adb/phone_ports.h"
#include "app/agent/cmd_package.h"
#include "app/agent/socket_thread.h"
#include "app/core/message_ids.h"
#include "app/core/phone_message.h"
#include "app/ftp/ftpcmd_tool.h"
#include "app/web/stat_report.h"
#include "foundation/base/code_page.h"
#include "foundation/base/log.h"
#include "foundation/xml/xml_document.h"
#include "platform/module_path.h"

namespace {

// Made on first use by Instance, deleted by Release (main thread).
std::atomic<CConnectMgr*> g_instance{nullptr};
std::mutex g_instance_lock;

constexpr int kNameChars = 64;
constexpr int kMaxHardwareIdChars = 64 * 1024;

// The text of a 64-character buffer that may lack its terminator.
std::u16string Text64(const char16_t* buffer) {
  size_t n = 0;
  while (n < kNameChars && buffer[n] != u'\0') ++n;
  return std::u16string(buffer, n);
}

// Up to four characters that are not blanks, as "%4s" takes them.
size_t TakeWord4(const std::u16string& text, size_t at, std::u16string* word) {
  size_t n = 0;
  while (n < 4 && at + n < text.size() && text[at + n] != u' ' && text[at + n] != u'\t' && text[at + n] != u'\0') ++n;
  *word = text.substr(at, n);
  return at + n;
}

// Parses "USB\VID_xxxx&PID_xxxx" at the start of the first hardware id.
void ParseVidPid(const std::u16string& first_id, std::u16string* vid, std::u16string* pid) {
  static const std::u16string kVid = u"USB\\VID_";
  static const std::u16string kPid = u"&PID_";
  if (first_id.compare(0, kVid.size(), kVid) != 0) return;
  std::u16string v, p;
  size_t at = TakeWord4(first_id, kVid.size(), &v);
  if (v.empty()) return;
  *vid = v;
  if (first_id.compare(at, kPid.size(), kPid) != 0) return;
  TakeWord4(first_id, at + kPid.size(), &p);
  if (!p.empty()) *pid = p;
}

}  // namespace

CConnectMgr* CConnectMgr::Instance() {
  CConnectMgr* instance = g_instance.load();
  if (instance != nullptr) return instance;
  std::lock_guard<std::mutex> hold(g_instance_lock);
  if (g_instance.load() == nullptr) g_instance.store(new CConnectMgr());
  return g_instance.load();
}

void CConnectMgr::Release() {
  std::lock_guard<std::mutex> hold(g_instance_lock);
  delete g_instance.exchange(nullptr);
}

CConnectMgr::CConnectMgr(const DevwardenApi& api) : api_(api), connect_thread_(new CConnectThread(this)) {}

CConnectMgr::~CConnectMgr() {
  // No callback may reach this object once it starts going away.
  if (detection_thread_.joinable()) detection_thread_.join();
  // The install threads call devwarden: they end before it stops.
  {
    std::lock_guard<std::mutex> hold(threads_lock_);
    stopping_ = true;
  }
  for (InstallThread& t : install_threads_) t.thread.join();
  install_threads_.clear();
  if (api_.UnInit != nullptr) api_.UnInit();
  connect_thread_->CancelExchange();
  connect_thread_.reset();  // stops a running attempt
  {
    base::CSingleLock hold(&lock_);
    devices_.clear();
  }
  Disconnect();
  // The socket threads may still use the adb tool (re-forwarding the ports):
  // their manager joins them before the tools go.
  CSocketThreadMgr::Release();
  CFtpCmdTool::Release();
  CAdbCmdTool::Release();
}

void CConnectMgr::Start() {
  if (!detection_thread_.joinable()) detection_thread_ = std::thread([this] { InitDeviceDetection(); });
  CFtpCmdTool::Instance()->SetHost("ftp://127.0.0.1", "8:8", adb::FtpPort());
  CSocketThreadMgr::Instance()->SetHost(adb::kAgentHost, adb::AgentPort());
}

void CConnectMgr::InitDeviceDetection() {
  if (api_.Init == nullptr ||
      !api_.Init(&CConnectMgr::DeviceEventCallback, reinterpret_cast<uintptr_t>(this),
                 &CConnectMgr::DriverDownloadCallback, reinterpret_cast<uintptr_t>(this))) {
    PD_LOG_ERROR("PNP_Init failed!");
    return;
  }
  api_.SetDetectClass(PNP_CLASS_ANDROID);
  api_.Start();
  const std::string folder = platform::ProgramDirectory() + "drivers";
  ::mkdir(folder.c_str(), 0755);
  api_.SetDownLoadPath(MultiByteToWString(folder, CP_UTF8).c_str());
}

int CConnectMgr::DeviceEventCallback(int event, int device, uintptr_t context) {
  auto* manager = reinterpret_cast<CConnectMgr*>(context);
  if (manager != nullptr) manager->OnDeviceEvent(event, device);
  return 1;
}

int CConnectMgr::DriverDownloadCallback(int device, int* status, uint64_t* total, uint64_t* downloaded, int* speed,
                                        uintptr_t context) {
  auto* manager = reinterpret_cast<CConnectMgr*>(context);
  if (manager == nullptr) return 1;
  auto progress = std::make_unique<DriverDownloadProgress>();
  progress->status = status != nullptr ? *status : 0;
  progress->value = speed != nullptr ? static_cast<uint32_t>(*speed) : 0;
  progress->first = total != nullptr ? *total : 0;
  progress->second = downloaded != nullptr ? *downloaded : 0;
  manager->OnDriverDownload(device, std::move(progress));
  return 1;
}

void CConnectMgr::OnDeviceEvent(int event, int32_t handle) {
  switch (event) {
    case PNP_EVENT_ARRIVAL:
    case PNP_EVENT_ARRIVAL_PRESENT:
      OnArrival(handle);
      break;
    case PNP_EVENT_REMOVAL:
      if (IsCurrentDevice(handle)) {
        PostState(handle, kConn_Phone_Remove);
        RemoveDevice(handle);
        Disconnect();
      } else {
        RemoveDevice(handle);
      }
      break;
    case PNP_EVENT_QUERY_FINISHED:
    case PNP_EVENT_CHANGED:
      if (IsCurrentDevice(handle)) StartConnect(handle);
      break;
    default:
      break;
  }
}

void CConnectMgr::OnArrival(int32_t handle) {
  char16_t serial[kNameChars] = {};
  api_.GetDeviceSerialNumber(handle, serial);
  int class_bits = 0;
  api_.GetDeviceClass(handle, &class_bits);
  if (class_bits != PNP_CLASS_ANDROID) return;
  PhoneDeviceInfo info;
  info.handle = handle;
  info.serial = Text64(serial);
  char16_t product[kNameChars] = {};
  char16_t manufacturer[kNameChars] = {};
  api_.GetDeviceProductName(handle, product);
  api_.GetDeviceManufName(handle, manufacturer);
  info.product = Text64(product);
  info.manufacturer = Text64(manufacturer);
  int count = 0;
  api_.Dump_DeviceHwIDs(handle, nullptr, &count);
  if (count > 0 && count <= kMaxHardwareIdChars) {
    std::u16string ids(static_cast<size_t>(count) + 1, u'\0');
    int size = count + 1;
    if (api_.Dump_DeviceHwIDs(handle, &ids[0], &size) != 0) {
      ParseVidPid(ids.substr(0, ids.find(u'\0')), &info.vendor_id, &info.product_id);
    }
  }
  base::CSingleLock hold(&lock_);
  devices_.push_back(std::move(info));
}

bool CConnectMgr::IsCurrentDevice(int32_t handle) {
  base::CSingleLock hold(&lock_);
  return current_index_ < devices_.size() && devices_[current_index_].handle == handle;
}

void CConnectMgr::OnDriverDownload(int32_t handle, std::unique_ptr<DriverDownloadProgress> progress) {
  switch (progress->status) {
    case 4:
      PostPhoneMessageOwning(msg::kDriverDownloadProgress, static_cast<uintptr_t>(handle), std::move(progress));
      break;
    case 6:
      PostPhoneMessageOwning(msg::kDriverDownloadProgress, static_cast<uintptr_t>(handle), std::move(progress));
      PostState(handle, kConn_SetupDrv);
      StartInstallThread(GetCurrentDevice());
      break;
    case 7:
      PostState(handle, kConn_DownloadDrv_failed);
      break;
    default:
      break;  // the record is freed here
  }
}

void CConnectMgr::StartInstallThread(int32_t handle) {
  std::lock_guard<std::mutex> hold(threads_lock_);
  if (stopping_) return;
  PruneInstallThreads();
  auto done = std::make_shared<std::atomic<bool>>(false);
  install_threads_.push_back(InstallThread{std::thread([this, handle, done] {
                                             InstallDriver(handle);
                                             done->store(true);
                                           }),
                                           done});
}

void CConnectMgr::PruneInstallThreads() {
  for (auto it = install_threads_.begin(); it != install_threads_.end();) {
    if (it->done->load()) {
      it->thread.join();  // it has returned or is returning
      it = install_threads_.erase(it);
    } else {
      ++it;
    }
  }
}

size_t CConnectMgr::InstallThreadCount() {
  std::lock_guard<std::mutex> hold(threads_lock_);
  if (!stopping_) PruneInstallThreads();
  return install_threads_.size();
}

void CConnectMgr::InstallDriver(int32_t handle) {
  // Only 1 means every package was downloaded and installed.
  const int result = api_.UpdateDrvier(handle);
  PostState(handle, result == 1 ? kConn_SetupDrv_end : kConn_SetupDrv_failed);
  api_.Refresh();
}

void CConnectMgr::PostState(int32_t handle, int state) {
  PostPhoneMessage(msg::kConnectionState, static_cast<uintptr_t>(static_cast<uint32_t>(handle)), state);
}

std::shared_ptr<IPhone> CConnectMgr::GetPhone() {
  base::CSingleLock hold(&lock_);
  return phone_;
}

bool CConnectMgr::IsConnected() {
  base::CSingleLock hold(&lock_);
  return connected_;
}

std::shared_ptr<IPhone> CConnectMgr::CreatePhone() {
  std::shared_ptr<IPhone> phone;
  {
    base::CSingleLock hold(&lock_);
    if (phone_) return phone_;
    phone_ = MakePhone();
    connected_ = true;
    phone = phone_;
  }
  phone->Init(GetCurrentSerial());
  return phone;
}

bool CConnectMgr::ReConnect(bool force) {
  if (!force) {
    std::shared_ptr<IPhone> phone = GetPhone();
    if (!phone || !phone->IsConnected()) return false;
  }
  PD_LOG_INFO("start ReConnect ");
  if (!force) {
    std::u16string serial, manufacturer, product, vid, pid;
    GetCurrentDeviceStrings(serial, manufacturer, product, vid, pid);
    ReportConnectStat(kStatConnect, kConn_ReStart, WStringToAnsi(manufacturer).c_str(),
                      WStringToAnsi(product).c_str(), WStringToAnsi(vid).c_str(), WStringToAnsi(pid).c_str(),
                      WStringToAnsi(serial).c_str());
  }
  StartConnect(GetCurrentDevice());
  return true;
}

void CConnectMgr::StartConnect(int32_t handle) {
  std::lock_guard<std::mutex> hold(start_lock_);
  if (GetDeviceCount() == 0 || !connect_thread_) return;
  if (connect_thread_->GetState() != base::WinThread::kIdle) return;
  connect_thread_->ResetExchange();
  connect_thread_->SetDevice(handle);
  connect_thread_->Start();
}

void CConnectMgr::Disconnect() {
  if (connect_thread_) connect_thread_->CancelExchange();
  DropPhone();
}

void CConnectMgr::DropPhone() {
  std::shared_ptr<IPhone> phone;
  {
    base::CSingleLock hold(&lock_);
    connected_ = false;
    phone.swap(phone_);
  }
  // The socket threads deliver to the phone's managers: stop them before
  // this reference goes (a page may still hold its own).
  StopAllThreads();
  phone.reset();
}

void CConnectMgr::StopAllThreads() {
  PD_LOG_TRACE("Stop all Thread begin!");
  CSocketThreadMgr* link = CSocketThreadMgr::Instance();
  // The keep-alive probed the dropped phone's agent: the next phone starts
  // its own, and no check of the old one can fail it.
  link->CheckTcpThread().StopLoop();
  link->StopAll();
  SettleTasks();
  PD_LOG_TRACE("Stop all Thread end!");
}

int32_t CConnectMgr::GetCurrentDevice() {
  base::CSingleLock hold(&lock_);
  return current_index_ < devices_.size() ? devices_[current_index_].handle : 0;
}

bool CConnectMgr::GetCurrentDeviceInfo(PhoneDeviceInfo* info) {
  base::CSingleLock hold(&lock_);
  if (current_index_ >= devices_.size()) return false;
  *info = devices_[current_index_];
  return true;
}

void CConnectMgr::GetCurrentDeviceStrings(std::u16string& serial, std::u16string& manufacturer,
                                          std::u16string& product, std::u16string& vendor_id,
                                          std::u16string& product_id) {
  base::CSingleLock hold(&lock_);
  if (current_index_ >= devices_.size()) return;
  const PhoneDeviceInfo& d = devices_[current_index_];
  serial = d.serial;
  manufacturer = d.manufacturer;
  product = d.product;
  vendor_id = d.vendor_id;
  product_id = d.product_id;
}

std::u16string CConnectMgr::GetCurrentSerial() {
  base::CSingleLock hold(&lock_);
  return current_index_ < devices_.size() ? devices_[current_index_].serial : std::u16string();
}

size_t CConnectMgr::GetDeviceCount() {
  base::CSingleLock hold(&lock_);
  return devices_.size();
}

std::u16string CConnectMgr::GetPhoneDisplayName(const std::u16string& adb_name) {
  api_.SetADBDeviceName(adb_name.c_str());
  AndroidModelInfo model{};
  model.version = PNP_MODEL_INFO_VERSION;
  model.size = PNP_MODEL_INFO_SIZE;
  if (!api_.GetDeviceAdvanceInfo(GetCurrentDevice(), &model)) return std::u16string();
  const std::u16string brand = Text64(model.BrandName);
  const std::u16string name = Text64(model.DeviceName1);
  if (brand.empty() || name.empty()) return std::u16string();
  return brand + u"/" + name;
}

void CConnectMgr::RemoveDevice(int32_t handle) {
  base::CSingleLock hold(&lock_);
  for (auto it = devices_.begin(); it != devices_.end(); ++it) {
    if (it->handle == handle) {
      devices_.erase(it);
      return;
    }
  }
}

bool CConnectMgr::CheckAgent(ExchangeControl* control) {
  CXmlDocument request;
  BuildRequestXml(request, u"connect", u"GET");
  return ExchangeAndCheck(request.GetDocument(), control) == 0;
}

bool CConnectMgr::StartAgentApp() { return CAdbCmdTool::Instance()->StartActivity(kAgentActivity); }
