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
#include <thread>
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

// Reads the socket for a waiting caller: while a caller waits for its reply
// it reads the datagrams itself (one caller at a time), so a reply that
// arrives needs no hand-over from another thread.
class ReplyReceiver {
 public:
  virtual ~ReplyReceiver() = default;
  // Waits at most timeoutMs for a datagram or Interrupt() and files what
  // arrived (replies through MatchReply). False when there is nothing to
  // read from (no open socket).
  virtual bool ReceiveFor(int timeoutMs) = 0;
  // Ends the ReceiveFor under way (or the next one) early; any thread.
  virtual void Interrupt() = 0;
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
  // Set once, before any request is made; null: waits only sleep.
  void SetReceiver(ReplyReceiver* receiver) { receiver_ = receiver; }

  UdpRequestContext* Acquire(uint8_t state, uint32_t waitSeconds);
  // Unregisters the context first, so a late reply never reaches it.
  void Release(UdpRequestContext* context);
  void ResetContext(UdpRequestContext* context);  // unregistered contexts only
  uint32_t NextRequestId();
  void SetNextRequestIdForTest(uint32_t last) { lastId_ = last; }

  bool Send(UdpRequestContext* context, int mode);
  bool MatchReply(CBasePackage* package);  // true: taken or dropped as a duplicate
  // State 7, 6 or 2. Each fragment that arrives restarts the wait time.
  // While no other caller does, the waiting caller reads the socket itself
  // (the receiver); other waiters sleep until their reply is matched or the
  // reading caller leaves.
  uint8_t Wait(UdpRequestContext* context);
  // Copies the joined reply of a completed context into out.
  JoinResult Join(UdpRequestContext* context, uint8_t* out, size_t outSize);
  size_t PendingCount();

 private:
  void Unregister(UdpRequestContext* context);
  // The reading caller has left: a sleeping waiter may take its place.
  void WakeWaiters(UdpRequestContext* except);

  ReplyReceiver* receiver_ = nullptr;

  std::mutex sendMutex_;  // guards sender_ against a controller restart
  PackageSender* sender_ = nullptr;
  std::mutex freeMutex_;  // guards free_
  std::deque<UdpRequestContext*> free_;
  std::atomic<uint32_t> lastId_{0};
  // Guards pending_, reading_, readingThread_ and every context's pending,
  // signalled, fragments and received fields; the receiving thread holds it
  // while it hands a package over, the caller while it checks its wait and
  // joins (never while it reads the socket).
  std::mutex pendingMutex_;
  std::list<UdpRequestContext*> pending_;
  UdpRequestContext* reading_ = nullptr;  // the caller reading the socket
  std::thread::id readingThread_;
};

}  // namespace udp

#endif  // PHONEDECK_UDP_REQUEST_TRACKER_H
