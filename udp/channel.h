// The receive path and the worker of one process's channel: the sender
// (enciphers a copy when asked), the receiver (checks and deciphers each
// datagram, hands a reply straight to the request waiting for it and queues
// a remote request), the remote-request queue with its worker thread and
// the remote-request processor.
#ifndef PHONEDECK_UDP_CHANNEL_H
#define PHONEDECK_UDP_CHANNEL_H

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "datagram.h"
#include "package.h"
#include "request_tracker.h"
#include "udp_socket.h"

namespace udp {

using RemoteRequestCallback = void (*)(const char*, int, const char*, unsigned short, void*);

class CUdpSender : public PackageSender {
 public:
  explicit CUdpSender(CUdpSocket* socket) : socket_(socket) {}
  int Send(const CBasePackage& package, const PeerAddress& peer) override;

 private:
  CUdpSocket* socket_;
};

// First-in first-out packages handed from the receive thread to the
// remote-request worker.
class PackageQueue {
 public:
  void Push(CBasePackage* package);
  CBasePackage* Pop(int timeoutMs);  // null on time-out or when stopped
  void Stop();
  void Restart();
  void Drain();  // returns every queued package to the pool

 private:
  std::mutex mutex_;  // guards queue_ and stopped_
  std::condition_variable ready_;
  std::deque<CBasePackage*> queue_;
  bool stopped_ = false;
};

class CUDPRemoteReqProcessorImpl {
 public:
  void SetCallback(RemoteRequestCallback callback, void* userData);
  int Process(const CBasePackage& package);  // 1: handled

 private:
  std::mutex mutex_;  // guards the callback pair
  RemoteRequestCallback callback_ = nullptr;
  void* userData_ = nullptr;
};

class CUdpController : private ReplyReceiver {
 public:
  CUdpController();
  ~CUdpController() override;

  bool Start(bool serverMode, uint16_t port);
  void Stop();
  bool Reset(bool serverMode);

  CUdpCommandAction& Tracker() { return tracker_; }
  CUdpSocket& Socket() { return socket_; }
  void SetIsRequestTest(IsRequestTest test) { isRequest_ = test; }
  void SetProcessor(CUDPRemoteReqProcessorImpl* processor);

  // The receive step for one datagram, run on the socket's thread when it
  // reports data and on a waiting caller's thread (ReceiveFor), whichever
  // reads the datagram first. A reply is matched to its request right here:
  // the waiting caller, when it did not read it itself, is woken by the
  // thread that did, with no hand-off in between. A remote request goes to
  // the remote-request worker, whose thread runs the callback.
  void OnReceive(CUdpSocket::ReadBy reader);

 private:
  bool ReceiveFor(int timeoutMs) override;
  void Interrupt() override;
  void RemoteRequestWorker();

  CUdpSocket socket_;
  CUdpSender sender_{&socket_};
  CUdpCommandAction tracker_;
  PackageQueue remoteRequests_;
  std::atomic<bool> running_{false};
  std::thread remoteThread_;  // runs the remote-request callback
  int interruptFd_ = -1;      // eventfd that ends a caller's ReceiveFor
  std::atomic<IsRequestTest> isRequest_{nullptr};
  std::mutex processorMutex_;  // guards processor_ against UDPClose
  CUDPRemoteReqProcessorImpl* processor_ = nullptr;
};

}  // namespace udp

#endif  // PHONEDECK_UDP_CHANNEL_H
