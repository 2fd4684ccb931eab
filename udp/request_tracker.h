// Request contexts (the handles of UDPCreate), request ids, the list of
// requests waiting for a reply and the matching of replies to them.
#ifndef PHONEDECK_UDP_REQUEST_TRACKER_H
#define PHONEDECK_UDP_REQUEST_TRACKER_H

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <list>
#include <mutex>
#include <vector>

#include "datagram.h"
#include "package.h"

namespace udp {

enum RequestState : uint8_t {
  kStateReady = 1,
  kStateWaitFailed = 2,
  kStateSent = 5,
  kStateTimedOut = 6,
  kStateComplete = 7,
};

// Puts a package on the wire; returns the bytes sent or -1.
class PackageSender {
 public:
  virtual ~PackageSender() = default;
  virtual int Send(const CBasePackage& package, const PeerAddress& peer) = 0;
};

struct UdpRequestContext {
  uint8_t state = kStateReady;
  uint32_t waitMs = 2000;
  PeerAddress peer;
  CBasePackage* sendPackage = nullptr;
  // Guarded by the tracker's pending lock:
  bool pending = false;
  bool signalled = false;  // auto-reset event
  FragmentSet fragments;
  std::vector<CBasePackage*> received;
  std::condition_variable event;
};

class CUdpCommandAction {
 public:
  enum SendMode { kSend = 1, kRegister = 2, kUnregister = 4 };

  ~CUdpCommandAction();
  void SetSender(PackageSender* sender);

  UdpRequestContext* Acquire(uint8_t state, uint32_t waitSeconds);
  // Unregisters the context first, so a late reply never reaches it.
  void Release(UdpRequestContext* context);
  void ResetContext(UdpRequestContext* context);  // unregistered contexts only
  uint32_t NextRequestId();
  void SetNextRequestIdForTest(uint32_t last) { lastId_ = last; }

  bool Send(UdpRequestContext* context, int mode);
  bool MatchReply(CBasePackage* package);  // true: taken or dropped as a duplicate
  uint8_t Wait(UdpRequestContext* context);  // state 7, 6 or 2
  // Copies the joined reply of a completed context into out.
  JoinResult Join(UdpRequestContext* context, uint8_t* out, size_t outSize);
  size_t PendingCount();

 private:
  void Unregister(UdpRequestContext* context);

  std::mutex sendMutex_;  // guards sender_ against a controller restart
  PackageSender* sender_ = nullptr;
  std::mutex freeMutex_;  // guards free_
  std::deque<UdpRequestContext*> free_;
  std::atomic<uint32_t> lastId_{0};
  // Guards pending_ and every context's pending, signalled, fragments and
  // received fields; the reply worker holds it while it hands a package
  // over, the caller while it waits and joins.
  std::mutex pendingMutex_;
  std::list<UdpRequestContext*> pending_;
};

}  // namespace udp

#endif  // PHONEDECK_UDP_REQUEST_TRACKER_H
