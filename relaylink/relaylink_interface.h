// The process's relaylink: the udp binding and its handles, the server
// table, the dispatch-server exchanges and the two background threads
// (the address retriever and, for an asynchronous start, the server-list
// thread).
#ifndef PHONEDECK_RELAYLINK_RELAYLINK_INTERFACE_H
#define PHONEDECK_RELAYLINK_RELAYLINK_INTERFACE_H

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <thread>

#include "dispatch_protocol.h"
#include "server_table.h"
#include "udp_binding.h"

namespace relaylink {

// The users' calls into the udp binding run side by side inside the gate;
// the last Fini closes it, which turns new calls away and waits for those
// inside to leave, before the handles are freed and the binding dropped. So
// a call that overlaps the last Fini either finishes first or fails cleanly.
// Threading: any thread; Open and Close by the owner of initMutex_.
class BindingGate {
 public:
  bool Enter();  // false while closed
  void Leave();
  void Open();
  void Close();

 private:
  std::mutex mutex_;  // guards inside_ and open_
  std::condition_variable left_;
  int inside_ = 0;
  bool open_ = false;
};

// One call inside the gate, for its scope.
class GateVisit {
 public:
  explicit GateVisit(BindingGate& gate) : gate_(gate), inside_(gate.Enter()) {}
  ~GateVisit() {
    if (inside_) gate_.Leave();
  }
  GateVisit(const GateVisit&) = delete;
  GateVisit& operator=(const GateVisit&) = delete;
  bool Inside() const { return inside_; }

 private:
  BindingGate& gate_;
  bool inside_;
};

class CRelaylinkInterface {
 public:
  CRelaylinkInterface();
  ~CRelaylinkInterface();  // the teardown of the last Fini when users remain
  void TeardownRemainingUsers();

  bool Init(const char* host, int port);
  bool InitEx(const char* host, int port, int async);
  void Fini();

  int SendToSync(uint8_t type, const char* sendBuf, int sendLen, char* recvBuf, int recvBufSize, int timeoutMs);
  int SendToAsyn(uint8_t type, const char* buf, int len);
  int RecvFrom(char* buf, int len);
  bool GetServerAddr(uint8_t type, uint8_t* addrKind, uint8_t* addr, uint16_t* port0, uint16_t* port1,
                     uint16_t* port2);
  void SetProxy(const char* ip, int port, const char* user, const char* password, uint8_t type, bool enable);

  // Dispatch exchanges.
  int GetServerList(const std::string& host, uint16_t port);
  bool GetServerAddrFromServer(uint8_t type, ServerEntry* out);
  void QueueServerLookup(uint8_t type);

  ServerTable& Table() { return table_; }

 private:
  bool InitUdp();
  void Teardown();
  UDPHANDLE ThreadHandle();
  int SyncSendData(UDPHANDLE handle, uint8_t type, const char* sendBuf, int sendLen, char* recvBuf,
                   int recvBufSize, int timeoutMs);
  int TryExchange(UDPHANDLE handle, const std::string& ip, uint16_t port, const char* sendBuf, int sendLen,
                  char* recvBuf, int recvBufSize, int timeoutMs, bool* sent);
  void ProxyFallback();
  std::string DispatchDestination(const std::string& host);
  void AddEntries(const std::vector<DispatchEntry>& entries);
  void ServerAddressRetriever();
  void GetServerListFunc();
  bool SleepWhileReady(int ms);

  // Serialises Init, InitEx and Fini; guards references_, udpOpened_ and
  // the binding's life.
  std::mutex initMutex_;
  BindingGate gate_;  // the users' calls into the binding
  int references_ = 0;
  bool udpOpened_ = false;  // UDPInit was called and owes its UDPClose
  UdpBinding udp_;
  UDPHANDLE mainHandle_ = nullptr;

  std::mutex settingsMutex_;  // guards dispatchHost_, dispatchPort_, proxyHost_
  std::string dispatchHost_;
  uint16_t dispatchPort_ = 0;
  std::string proxyHost_;
  std::atomic<bool> proxyInUse_{false};
  std::atomic<bool> isInit_{false};
  std::atomic<bool> ready_{false};

  std::mutex handlesMutex_;  // guards handles_
  std::map<std::thread::id, UDPHANDLE> handles_;

  // Guards queue_; queueReady_ also wakes the threads when ready_ clears.
  std::mutex queueMutex_;
  std::condition_variable queueReady_;
  std::deque<uint8_t> queue_;
  std::thread retriever_;
  std::thread listThread_;

  std::mutex lookupMutex_;  // one dispatch exchange on the main handle at a time
  ServerTable table_;
};

}  // namespace relaylink

#endif  // PHONEDECK_RELAYLINK_RELAYLINK_INTERFACE_H
