#include "relaylink_interface.h"

#include <arpa/inet.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>

#include "dispatch_protocol.h"
#include "utility/base_log.h"
#include "utility_link.h"

namespace relaylink {
namespace {

constexpr int kDispatchTimeoutMs = 2000;
constexpr size_t kReplyBufferSize = 1500;

// The dotted address to send to: a host name (it starts with a letter) is
// resolved, anything else is taken as it stands.
std::string DottedAddress(const std::string& host) { return AddrKindOf(host) == 3 ? Domain2Ip(host) : host; }

void LogLoadedEntry(const ServerEntry& entry) {
  Log("load addr = %s, port0 = %d, port1 = %d, port2 = %d, type = %d\n", entry.host.c_str(), entry.port0,
      entry.port1, entry.port2, entry.type);
}

// The proxy fallback INI: "qenconfig/qeninfo/stat.ini" below the program's
// folder, or the file named by PHONEDECK_RELAYLINK_STAT_INI.
std::string StatIniPath() {
  const char* over = std::getenv("PHONEDECK_RELAYLINK_STAT_INI");
  if (over != nullptr && over[0] != 0) return over;
  return ProgramFolder() + "qenconfig/qeninfo/stat.ini";
}

CRelaylinkInterface* g_instance = nullptr;

// Runs at exit (or when this library is unloaded) before libudp's own
// clean-up, since it is registered after the first UDPInit: users that
// never called their last Fini leave nothing running inside libudp.
void TeardownAtExit() {
  if (g_instance != nullptr) g_instance->TeardownRemainingUsers();
}

}  // namespace

bool BindingGate::Enter() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!open_) return false;
  ++inside_;
  return true;
}

void BindingGate::Leave() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (--inside_ == 0) left_.notify_all();
}

void BindingGate::Open() {
  std::lock_guard<std::mutex> lock(mutex_);
  open_ = true;
}

void BindingGate::Close() {
  std::unique_lock<std::mutex> lock(mutex_);
  open_ = false;
  left_.wait(lock, [this] { return inside_ == 0; });
}

CRelaylinkInterface::CRelaylinkInterface() : table_(&Domain2Ip) {
  g_instance = this;
  OpenLog();
  table_.SetLoadLogger(&LogLoadedEntry);
}

CRelaylinkInterface::~CRelaylinkInterface() {
  TeardownRemainingUsers();
  g_instance = nullptr;
  CloseLog();
}

void CRelaylinkInterface::TeardownRemainingUsers() {
  std::lock_guard<std::mutex> lock(initMutex_);
  if (references_ == 0) return;
  references_ = 0;
  Teardown();
}

bool CRelaylinkInterface::InitUdp() {
  FunctionChecker trace("CRelaylinkInterface::InitUdp()");
  if (++references_ != 1) return true;
  Log("InitUdp() ... \n");
  if (!BindUdpLibrary(&udp_)) {
    Log("InitUdp(udp.dll) fail. \n");
    return false;
  }
  udpOpened_ = true;
  bool opened = udp_.Init(1, nullptr);
  static std::once_flag registered;
  std::call_once(registered, [] { std::atexit(&TeardownAtExit); });
  if (!opened) {
    Log("UDPInit() fail. \n");
    return false;
  }
  mainHandle_ = udp_.Create();
  if (mainHandle_ == nullptr) {
    Log("CRelaylinkInterface::InitUdp() fail, create udp handle fail\n");
    return false;
  }
  ready_ = true;
  try {
    retriever_ = std::thread(&CRelaylinkInterface::ServerAddressRetriever, this);
  } catch (...) {
    Log("CRelaylinkInterface::InitUdp() fail, start thread to get server address fail\n");
    return false;
  }
  gate_.Open();
  Log("InitUdp() ok \n");
  return true;
}

bool CRelaylinkInterface::Init(const char* host, int port) {
  FunctionChecker trace("CRelaylinkInterface::Init()");
  std::lock_guard<std::mutex> lock(initMutex_);
  if (!InitUdp()) return false;
  Log("CRelaylinkInterface::Init(%s, %d) ... ", host != nullptr ? host : "", port);
  table_.LoadCache();
  if (host == nullptr || host[0] == 0 || port == 0) {
    Log("CRelaylinkInterface::Init(%s, %d) return false.", host != nullptr ? host : "", port);
    return false;
  }
  {
    std::lock_guard<std::mutex> settings(settingsMutex_);
    dispatchHost_ = host;
    dispatchPort_ = uint16_t(port);
  }
  bool found = GetServerList(host, uint16_t(port)) > 1;
  if (found) table_.SaveCache();
  isInit_ = found;
  Log("CRelaylinkInterface::Init(%s, %d) start finish, m_bIsInit = %s\n", host, port, found ? "true" : "false");
  return found;
}

bool CRelaylinkInterface::InitEx(const char* host, int port, int async) {
  if (host == nullptr || host[0] == 0 || port == 0) return false;
  FunctionChecker trace("CRelaylinkInterface::InitEx()");
  std::lock_guard<std::mutex> lock(initMutex_);
  if (!InitUdp()) return false;
  Log("CRelaylinkInterface::InitEx(%s, %d, %d) ... ", host, port, async);
  {
    std::lock_guard<std::mutex> settings(settingsMutex_);
    dispatchHost_ = host;
    dispatchPort_ = uint16_t(port);
  }
  table_.LoadCache();
  if (!async) {
    Log("CRelaylinkInterface::InitEx(), call GetServerList(%s, %d)\n", host, port);
    if (GetServerList(host, uint16_t(port)) > 1) {
      table_.SaveCache();
      isInit_ = true;
    }
  } else if (!isInit_) {
    Log("CRelaylinkInterface::InitEx(), create thread to get server list\n");
    if (listThread_.joinable()) listThread_.join();  // a finished earlier run
    try {
      listThread_ = std::thread(&CRelaylinkInterface::GetServerListFunc, this);
      isInit_ = true;
    } catch (...) {
    }
  }
  Log("CRelaylinkInterface::InitEx(%s, %d) start finish, m_bIsInit = %s\n", host, port,
      isInit_ ? "true" : "false");
  return isInit_;
}

void CRelaylinkInterface::Fini() {
  FunctionChecker trace("CRelaylinkInterface::Fini()");
  std::lock_guard<std::mutex> lock(initMutex_);
  if (references_ == 0) return;
  // Other users keep everything running until the last of them leaves.
  if (--references_ > 0) return;
  Teardown();
}

void CRelaylinkInterface::Teardown() {
  isInit_ = false;
  {
    std::lock_guard<std::mutex> lock(queueMutex_);
    ready_ = false;
    queue_.clear();
  }
  queueReady_.notify_all();
  if (retriever_.joinable()) retriever_.join();
  if (listThread_.joinable()) listThread_.join();
  gate_.Close();
  {
    std::lock_guard<std::mutex> lock(handlesMutex_);
    for (auto& item : handles_) {
      if (udp_.Free != nullptr) udp_.Free(item.second);
    }
    handles_.clear();
  }
  if (mainHandle_ != nullptr && udp_.Free != nullptr) udp_.Free(mainHandle_);
  mainHandle_ = nullptr;
  if (udpOpened_ && udp_.Close != nullptr) udp_.Close();
  udpOpened_ = false;
  UnbindUdpLibrary(&udp_);
  Log("CRelaylinkInterface::Fini();\n");
}

UDPHANDLE CRelaylinkInterface::ThreadHandle() {
  std::lock_guard<std::mutex> lock(handlesMutex_);
  auto it = handles_.find(std::this_thread::get_id());
  if (it != handles_.end()) return it->second;
  if (udp_.Create == nullptr) return nullptr;
  UDPHANDLE handle = udp_.Create();
  if (handle != nullptr) handles_[std::this_thread::get_id()] = handle;
  return handle;
}

bool CRelaylinkInterface::SleepWhileReady(int ms) {
  std::unique_lock<std::mutex> lock(queueMutex_);
  queueReady_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return !ready_; });
  return ready_;
}

std::string CRelaylinkInterface::DispatchDestination(const std::string& host) {
  if (AddrKindOf(host) != 3) return host;
  std::string dnsServer;
  if (proxyInUse_) {
    std::lock_guard<std::mutex> lock(settingsMutex_);
    dnsServer = proxyHost_;
  }
  return ResolveWithServer(dnsServer, host, 1000);
}

void CRelaylinkInterface::AddEntries(const std::vector<DispatchEntry>& entries) {
  for (const DispatchEntry& entry : entries) {
    Log("server domain=%s port0=%d port1=%d port2=%d type=%d\n", entry.host.c_str(), entry.port0, entry.port1,
        entry.port2, entry.type);
    table_.AddOrUpdate(entry.host, entry.type, entry.port0, entry.port1, entry.port2);
  }
}

int CRelaylinkInterface::GetServerList(const std::string& host, uint16_t port) {
  FunctionChecker trace("CRelaylinkInterface::GetServerList()");
  table_.AddOrUpdate(host, 0, port, 0, 0);
  if (mainHandle_ == nullptr || udp_.SendToEx == nullptr || udp_.RecvFrom == nullptr) {
    Log("GetServerList() fail, udp sender is not initialized\n");
    return -1;
  }
  if (host.empty()) {
    Log("GetServerList() fail, addr is empty\n");
    return -1;
  }
  if (!IsNetworkAlive()) {
    Log("GetServerList() fail, network is not connected\n");
    return -1;
  }
  Log("GetServerList(%s, %d) begin", host.c_str(), port);
  std::string destination = DispatchDestination(host);
  if (destination.empty()) {
    Log("GetServerList() fail, can not resolve address %s\n", host.c_str());
    return -1;
  }
  std::vector<uint8_t> request = ServerListRequest();
  for (int attempt = 0; attempt < 2; ++attempt) {
    std::lock_guard<std::mutex> lock(lookupMutex_);
    int rc = udp_.SendToEx(mainHandle_, reinterpret_cast<const char*>(request.data()), int(request.size()),
                           destination.c_str(), port, kDispatchTimeoutMs, 0);
    if (rc != int(request.size())) {
      Log("GetServerList() send data fail，rc = %d\n", rc);
      continue;
    }
    uint8_t reply[kReplyBufferSize];
    rc = udp_.RecvFrom(mainHandle_, reinterpret_cast<char*>(reply), int(sizeof reply), 0, 0);
    if (rc < 0) {
      Log("GetServerList() recv data fail，rc = %d\n", rc);
      continue;
    }
    ServerListResult parsed = ParseServerList(reply, size_t(rc));
    if (!parsed.ok) continue;
    AddEntries(parsed.entries);
    break;
  }
  int count = int(table_.Size());
  Log("server domain count = %d\n", count);
  return count;
}

void CRelaylinkInterface::GetServerListFunc() {
  FunctionChecker trace("CRelaylinkInterface::GetServerListFunc()");
  std::string host;
  uint16_t port;
  {
    std::lock_guard<std::mutex> lock(settingsMutex_);
    host = dispatchHost_;
    port = dispatchPort_;
  }
  Log("CRelaylinkInterface::GetServerListFunc(), GetServerList(%s, %d)", host.c_str(), port);
  std::string destination = DispatchDestination(host);
  while (destination.empty() && ready_) {
    Log("CRelaylinkInterface::GetServerListFunc(), GetServerList() fail, can not resolve address %s\n",
        host.c_str());
    if (!SleepWhileReady(1000)) return;
    destination = DispatchDestination(host);
  }
  table_.AddOrUpdate(destination, 0, port, 0, 0);
  table_.SaveCache();
  std::vector<uint8_t> request = ServerListRequest();
  while (ready_) {
    std::unique_lock<std::mutex> lock(lookupMutex_);
    if (mainHandle_ == nullptr) {
      lock.unlock();
      SleepWhileReady(10);
      continue;
    }
    int rc = udp_.SendToEx(mainHandle_, reinterpret_cast<const char*>(request.data()), int(request.size()),
                           destination.c_str(), port, kDispatchTimeoutMs, 0);
    if (rc != int(request.size())) {
      lock.unlock();
      SleepWhileReady(100);  // a failed send is not retried in a tight loop
      continue;
    }
    uint8_t reply[kReplyBufferSize];
    rc = udp_.RecvFrom(mainHandle_, reinterpret_cast<char*>(reply), int(sizeof reply), 0, 0);
    if (rc < 0) {
      Log("CRelaylinkInterface::GetServerListFunc(), GetServerList() recv data fail，rc = %d\n", rc);
      continue;
    }
    ServerListResult parsed = ParseServerList(reply, size_t(rc));
    if (!parsed.ok) continue;
    AddEntries(parsed.entries);
    table_.SaveCache();
    break;
  }
  Log("server domain count = %d\n", int(table_.Size()));
}

void CRelaylinkInterface::QueueServerLookup(uint8_t type) {
  {
    std::lock_guard<std::mutex> lock(queueMutex_);
    if (std::find(queue_.begin(), queue_.end(), type) != queue_.end()) return;
    Log("Add to retrive service list, type = %d\n", type);
    queue_.push_back(type);
  }
  queueReady_.notify_one();
}

void CRelaylinkInterface::ServerAddressRetriever() {
  while (ready_) {
    uint8_t type;
    {
      std::unique_lock<std::mutex> lock(queueMutex_);
      queueReady_.wait_for(lock, std::chrono::milliseconds(1000), [this] { return !ready_ || !queue_.empty(); });
      if (!ready_ || queue_.empty()) continue;
      type = queue_.front();
      queue_.pop_front();
    }
    GetServerAddrFromServer(type, nullptr);
  }
}

bool CRelaylinkInterface::GetServerAddrFromServer(uint8_t type, ServerEntry* out) {
  ServerEntry dispatch;
  if (!table_.Find(0, &dispatch)) {
    Log("GetServerAddrFromServer(%d) fail, dispatch server is not exist\n", type);
    return false;
  }
  if (mainHandle_ == nullptr || udp_.SendTo == nullptr || udp_.RecvFrom == nullptr) {
    Log("GetServerAddrFromServer() fail, udp sender is not initialized\n");
    return false;
  }
  if (!IsNetworkAlive()) {
    Log("GetServerAddrFromServer(%d) fail, network is not connected\n", type);
    return false;
  }
  std::vector<uint8_t> request = ServerAddrRequest(type);
  for (int attempt = 0; attempt < 2 && ready_; ++attempt) {
    std::lock_guard<std::mutex> lock(lookupMutex_);
    std::string ip = DottedAddress(dispatch.host);
    int rc = udp_.SendTo(mainHandle_, reinterpret_cast<const char*>(request.data()), int(request.size()),
                         ip.c_str(), dispatch.PortFor(dispatch.portIndex));
    if (rc != int(request.size())) {
      Log("GetServerAddrFromServer() send data fail，rc = %d, type = %d\n", rc, type);
      continue;
    }
    uint8_t reply[kReplyBufferSize];
    rc = udp_.RecvFrom(mainHandle_, reinterpret_cast<char*>(reply), int(sizeof reply), 0, 0);
    if (rc < 0) {
      Log("GetServerAddrFromServer() recv data fail，rc = %d, type = %d\n", rc, type);
      continue;
    }
    ServerAddrResult parsed = ParseServerAddrReply(reply, size_t(rc));
    if (!parsed.ok || parsed.entry.type != type || parsed.entry.port0 == 0) continue;
    const DispatchEntry& e = parsed.entry;
    if (!table_.AddOrUpdate(e.host, type, e.port0, e.port1, e.port2)) continue;
    Log("GetServerAddrFromServer() ok, type = %d, server = %s, p0 = %d, p1 = %d, p2 = %d\n", type, e.host.c_str(),
        e.port0, e.port1, e.port2);
    table_.SaveCache();
    ServerEntry entry;
    table_.Find(type, &entry);
    if (out != nullptr) *out = entry;
    return true;
  }
  return false;
}

int CRelaylinkInterface::TryExchange(UDPHANDLE handle, const std::string& ip, uint16_t port, const char* sendBuf,
                                     int sendLen, char* recvBuf, int recvBufSize, int timeoutMs, bool* sent) {
  int rc = udp_.SendToEx(handle, sendBuf, sendLen, ip.c_str(), port, timeoutMs, 0);
  *sent = rc == sendLen;
  if (!*sent) return rc;
  return udp_.RecvFrom(handle, recvBuf, recvBufSize, 0, 0);
}

int CRelaylinkInterface::SyncSendData(UDPHANDLE handle, uint8_t type, const char* sendBuf, int sendLen,
                                      char* recvBuf, int recvBufSize, int timeoutMs) {
  ServerEntry entry;
  if (!table_.Find(type, &entry)) return -1;
  std::string ip = DottedAddress(entry.host);
  int rc = -1;
  bool sent = false;
  for (int attempt = 0; attempt < 2; ++attempt) {
    uint16_t port = entry.PortFor(entry.portIndex);
    Log("SyncSendData() start to send data, pServer = 0x%p, ip = %s, port0 = %d", static_cast<void*>(&entry),
        entry.host.c_str(), port);
    rc = TryExchange(handle, ip, port, sendBuf, sendLen, recvBuf, recvBufSize, timeoutMs, &sent);
    if (sent && rc > 0) return rc;
    if (!sent) Log("SyncSendData() fail, ip = %s, port = %d\n", ip.c_str(), port);
  }
  for (uint8_t index = 1; index <= 2; ++index) {
    entry.portIndex = index;
    table_.SetPortIndex(type, index);
    rc = TryExchange(handle, ip, entry.PortFor(index), sendBuf, sendLen, recvBuf, recvBufSize, timeoutMs, &sent);
    if (sent && rc > 0) return rc;
  }
  ProxyFallback();
  return rc;
}

void CRelaylinkInterface::ProxyFallback() {
  if (udp_.SetProxy == nullptr) return;
  if (proxyInUse_) {
    udp_.SetProxy("", 0, "", "", 0, false);
    proxyInUse_ = false;
    return;
  }
  std::string ini = StatIniPath();
  if (IniReadInt(ini, "PROXY", "proxy_enable", 0) == 0) return;
  std::string server = IniReadStr(ini, "PROXY", "proxy_server", "");
  std::string user = IniReadStr(ini, "PROXY", "proxy_user", "");
  std::string password = IniReadStr(ini, "PROXY", "proxy_pwd", "");
  int port = IniReadInt(ini, "PROXY", "proxy_port", 0);
  int version = IniReadInt(ini, "PROXY", "proxy_version", 0);
  bool use = !server.empty() && port != 0;
  udp_.SetProxy(server.c_str(), port, user.c_str(), password.c_str(), uint8_t(version), use);
  proxyInUse_ = use;
  if (use) {
    std::lock_guard<std::mutex> lock(settingsMutex_);
    proxyHost_ = server;
  }
}

int CRelaylinkInterface::SendToSync(uint8_t type, const char* sendBuf, int sendLen, char* recvBuf, int recvBufSize,
                                    int timeoutMs) {
  if (recvBuf == nullptr || recvBufSize <= 0) {
    Log("SyncSendData() recv buf is null\n");
    return -1;
  }
  if (!IsNetworkAlive()) {
    Log("SyncSendData() fail, network is not connected\n");
    return -1;
  }
  if (!table_.Find(type, nullptr)) {
    QueueServerLookup(type);
    Log("SyncSendData() fail, addr is not exist, service type = %d\n", type);
    return -1;
  }
  GateVisit visit(gate_);
  if (!visit.Inside()) return -3;
  UDPHANDLE handle = ThreadHandle();
  if (handle == nullptr || udp_.module == nullptr) return -3;
  if (udp_.SendToEx == nullptr || udp_.RecvFrom == nullptr) return 0;
  int rc = SyncSendData(handle, type, sendBuf, sendLen, recvBuf, recvBufSize, timeoutMs);
  if (rc < 0) QueueServerLookup(type);
  return rc;
}

int CRelaylinkInterface::SendToAsyn(uint8_t type, const char* buf, int len) {
  ServerEntry entry;
  if (!table_.Find(type, &entry)) {
    QueueServerLookup(type);
    Log("SendDataAsyn() fail, addr is not exist, service type = %d\n", type);
    return -1;
  }
  if (!IsNetworkAlive()) {
    Log("SendDataAsyn() fail, network is not connected\n");
    return -1;
  }
  GateVisit visit(gate_);
  if (!visit.Inside()) return -3;
  UDPHANDLE handle = ThreadHandle();
  if (handle == nullptr || udp_.module == nullptr) return -3;
  if (udp_.SendTo == nullptr) return 0;
  std::string ip = DottedAddress(entry.host);
  int rc = -1;
  for (uint8_t attempt = 0; attempt < 2; ++attempt) {
    table_.SetPortIndex(type, attempt);
    uint16_t port = entry.PortFor(attempt);
    if (port == 0) continue;
    Log("start AsynSendData()，service type = %d, ip = %s, port = %d\n", type, ip.c_str(), port);
    rc = udp_.SendTo(handle, buf, len, ip.c_str(), port);
    if (rc == len) break;
    Log("AsynSendData() send data fail，rc = %d, retry = %d\n", rc, attempt);
  }
  return rc;
}

int CRelaylinkInterface::RecvFrom(char* buf, int len) {
  if (buf == nullptr || len <= 0) {
    Log("RecvData() recv buf is null\n");
    return -1;
  }
  GateVisit visit(gate_);
  if (!visit.Inside()) return -3;
  UDPHANDLE handle = ThreadHandle();
  if (handle == nullptr || udp_.module == nullptr) return -3;
  if (udp_.RecvFrom == nullptr) return 0;
  return udp_.RecvFrom(handle, buf, len, 0, 0);
}

bool CRelaylinkInterface::GetServerAddr(uint8_t type, uint8_t* addrKind, uint8_t* addr, uint16_t* port0,
                                        uint16_t* port1, uint16_t* port2) {
  ServerEntry entry;
  if (!table_.Find(type, &entry)) {
    QueueServerLookup(type);
    Log("RELAYLINKGetServerAddr %d fail", type);
    return false;
  }
  std::string dotted = entry.addrKind == 3 ? Domain2Ip(entry.host) : entry.host;
  in_addr ipv4{};
  if (entry.addrKind != 3 && entry.addrKind != 4) dotted.clear();
  if (dotted.empty() || inet_pton(AF_INET, dotted.c_str(), &ipv4) != 1) ipv4.s_addr = 0;
  if (addrKind != nullptr) *addrKind = 4;
  if (port0 != nullptr) *port0 = entry.port0;
  if (port1 != nullptr) *port1 = entry.port1;
  if (port2 != nullptr) *port2 = entry.port2;
  if (addr != nullptr) {
    std::memset(addr, 0, 16);
    std::memcpy(addr, &ipv4.s_addr, 4);
  }
  Log("RELAYLINKGetServerAddr %d ok, ip = %s", type, entry.host.c_str());
  return true;
}

void CRelaylinkInterface::SetProxy(const char* ip, int port, const char* user, const char* password, uint8_t type,
                                   bool enable) {
  {
    GateVisit visit(gate_);
    if (visit.Inside() && udp_.SetProxy != nullptr) udp_.SetProxy(ip, port, user, password, type, enable);
  }
  proxyInUse_ = enable;
  if (enable && ip != nullptr) {
    std::lock_guard<std::mutex> lock(settingsMutex_);
    proxyHost_ = ip;
  }
}

}  // namespace relaylink
