// The search object: one per process, created on first use and destroyed
// when the library unloads. It serialises every exchange of every process of the same
// program file through CGlobalCritical, sends each request over UDP
// through relaylink while the start-up probe found the dispatch server and
// no UDP exchange has failed since, and as an HTTP POST otherwise.
//
// Threading: every exchange and Init hold the lock (critical_) from before
// the request is written until after the reply is parsed; the request and
// reply buffers are used only under it. The probe thread runs without the
// lock and writes only udpUsable_ (atomic). The probe thread is joined
// before a new one starts, in DSClose, and before the library unloads or
// the process exits.
#ifndef KITORACLE_TRANSPORT_SEARCH_H_
#define KITORACLE_TRANSPORT_SEARCH_H_

#include <atomic>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include "transport/global_critical.h"
#include "transport/udp_interface.h"
#include "wire/replies.h"
#include "wire/requests.h"

namespace kitoracle {

class CSearch {
 public:
  static CSearch& GetInstance();

  int Init();
  // One exchange: request out, reply parsed. A DS_ERROR code.
  int GetRepData(const Request* request, Reply* reply);
  // One send without reply (UDP only); 0 once the packet was built.
  int ReportData(const Request* request);
  // Waits for the probe thread to end.
  void JoinProbe();
  bool UdpUsable() const { return udpUsable_; }

 private:
  CSearch() = default;
  ~CSearch();
  bool MakeBuffers();
  // Under the lock: the request into request_; its length in *length.
  int WriteRequest(const Request* request, bool replyGiven, int* length);
  void ProbeThread();

  std::vector<uint8_t> request_;  // the request written by MakeBuffer
  std::vector<uint8_t> reply_;    // the reply received (a separate buffer: relaylink may resend)
  CGlobalCritical critical_;
  int timeout_ = 5;
  CUDPInterface udp_;
  std::atomic<bool> udpUsable_{false};
  std::mutex probeLock_;  // guards probe_ (joined and started under it)
  std::thread probe_;
  std::atomic<bool> probeDone_{true};
};

}  // namespace kitoracle

#endif  // KITORACLE_TRANSPORT_SEARCH_H_
