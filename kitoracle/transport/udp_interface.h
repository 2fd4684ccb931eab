// The binding of librelaylink.so, loaded by name from this library's folder
// and bound function by function.
//
// Threading: InitUDPInterface and CloseUDPInterface run under the search
// lock (CSearch::Init); the pointers are read by exchanges under the same
// lock and by the probe thread, which CSearch joins before binding again.
// The user count is per process (the module handle and pointers are too).
#ifndef KITORACLE_TRANSPORT_UDP_INTERFACE_H_
#define KITORACLE_TRANSPORT_UDP_INTERFACE_H_

#include <atomic>
#include <cstdint>

namespace kitoracle {

class CUDPInterface {
 public:
  using PfnInit = bool (*)(const char* host, int port);
  using PfnFini = void (*)();
  using PfnSyncSendTo = int (*)(unsigned char type, const char* send, int sendLen, char* recv, int recvSize,
                                int timeoutMs);
  using PfnAsynSendTo = int (*)(unsigned char type, const char* buf, int len);
  using PfnRecvFrom = int (*)(int, char* buf, int len, int);

  bool InitUDPInterface();
  void CloseUDPInterface();
  bool UDPInit(const char* host, int port);
  // The reply's length, or a value below 1. send and reply are separate
  // buffers: relaylink may send again after a partial receive.
  int UDPSyncSendTo(uint8_t type, const uint8_t* send, int sendLength, uint8_t* reply, int replyCapacity, int timeout);
  int UDPAsynSendTo(uint8_t type, const uint8_t* buffer, int length);
  static int UserCount() { return udpIndex_.load(); }

 private:
  std::atomic<PfnInit> init_{nullptr};
  std::atomic<PfnFini> fini_{nullptr};
  std::atomic<PfnSyncSendTo> syncSendTo_{nullptr};
  std::atomic<PfnAsynSendTo> asynSendTo_{nullptr};
  std::atomic<PfnRecvFrom> recvFrom_{nullptr};
  void* module_ = nullptr;
  static std::atomic<int> udpIndex_;  // users of the binding in this process
};

}  // namespace kitoracle

#endif  // KITORACLE_TRANSPORT_UDP_INTERFACE_H_
