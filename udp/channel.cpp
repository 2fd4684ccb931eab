#include "channel.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <chrono>
#include <cstring>

#include "utility_link.h"

namespace udp {

int CUdpSender::Send(const CBasePackage& package, const PeerAddress& peer) {
  if (socket_ == nullptr) {
    Log("CUdpSender::Send(), m_udp == NULL\n");
    return -1;
  }
  if (socket_->State() == kSocketClosing) return -1;
  if ((package.GetFlags() & kFlagCiphered) == 0 || package.Length() <= kHeaderSize) {
    return socket_->ProxySendTo(peer.ip, peer.port, package.Data(), package.Length());
  }
  // The package stays plain; a copy goes out enciphered.
  uint8_t copy[kMaxDatagram];
  std::memcpy(copy, package.Data(), package.Length());
  CipherInPlace(copy + kHeaderSize, package.Length() - kHeaderSize);
  return socket_->ProxySendTo(peer.ip, peer.port, copy, package.Length());
}

void PackageQueue::Push(CBasePackage* package) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    queue_.push_back(package);
  }
  ready_.notify_one();
}

CBasePackage* PackageQueue::Pop(int timeoutMs) {
  std::unique_lock<std::mutex> lock(mutex_);
  ready_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return stopped_ || !queue_.empty(); });
  if (stopped_ || queue_.empty()) return nullptr;
  CBasePackage* package = queue_.front();
  queue_.pop_front();
  return package;
}

void PackageQueue::Stop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopped_ = true;
  }
  ready_.notify_all();
}

void PackageQueue::Restart() {
  std::lock_guard<std::mutex> lock(mutex_);
  stopped_ = false;
}

void PackageQueue::Drain() {
  std::deque<CBasePackage*> taken;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    taken.swap(queue_);
  }
  for (CBasePackage* package : taken) PackagePool::Instance().Give(package);
}

void CUDPRemoteReqProcessorImpl::SetCallback(RemoteRequestCallback callback, void* userData) {
  std::lock_guard<std::mutex> lock(mutex_);
  callback_ = callback;
  userData_ = userData;
}

int CUDPRemoteReqProcessorImpl::Process(const CBasePackage& package) {
  RemoteRequestCallback callback;
  void* userData;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    callback = callback_;
    userData = userData_;
  }
  if (callback != nullptr) {
    const PeerAddress& peer = package.GetPeer();
    callback(reinterpret_cast<const char*>(package.Data() + kHeaderSize), int(package.PayloadLength()),
             peer.ip.c_str(), peer.port, userData);
  }
  return 1;
}

CUdpController::CUdpController() {
  PackagePool::Instance();  // built first, so it outlives the controller
  socket_.SetEventHandler([this](int code) {
    if (code == kEventReceive) OnReceive(CUdpSocket::ReadBy::kDispatch);
  });
  interruptFd_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  // Without the eventfd a waiting caller only sleeps; the socket's thread delivers.
  if (interruptFd_ >= 0) tracker_.SetReceiver(this);
}

CUdpController::~CUdpController() {
  Stop();
  if (interruptFd_ >= 0) close(interruptFd_);
}

bool CUdpController::ReceiveFor(int timeoutMs) {
  const int fd = socket_.GetHandle();
  if (fd < 0 || !running_) return false;
  pollfd fds[2] = {{fd, POLLIN, 0}, {interruptFd_, POLLIN, 0}};
  if (poll(fds, 2, timeoutMs) <= 0) return true;
  if (fds[1].revents & POLLIN) {
    uint64_t count;
    ssize_t ignored = read(interruptFd_, &count, sizeof count);
    (void)ignored;
  }
  if (fds[0].revents & POLLNVAL) return false;  // closed under the poll
  // The socket's thread may take the datagram first: then this read finds none.
  if (fds[0].revents & (POLLIN | POLLERR)) OnReceive(CUdpSocket::ReadBy::kCaller);
  return true;
}

void CUdpController::Interrupt() {
  const uint64_t one = 1;
  ssize_t ignored = write(interruptFd_, &one, sizeof one);
  (void)ignored;
}

void CUdpController::SetProcessor(CUDPRemoteReqProcessorImpl* processor) {
  std::lock_guard<std::mutex> lock(processorMutex_);
  processor_ = processor;
}

bool CUdpController::Start(bool serverMode, uint16_t port) {
  tracker_.SetSender(&sender_);
  remoteRequests_.Restart();
  running_ = true;
  try {
    remoteThread_ = std::thread(&CUdpController::RemoteRequestWorker, this);
  } catch (...) {
    Log("CUdpController::Start(), a worker thread could not be started\n");
  }
  socket_.SetOpen(true);
  if (!serverMode) return socket_.OpenClient();
  socket_.RefreshLocalAddress();
  return socket_.BindWithNextPort(port);
}

void CUdpController::Stop() {
  socket_.Close();
  socket_.SetOpen(false);
  running_ = false;
  remoteRequests_.Stop();
  if (remoteThread_.joinable()) remoteThread_.join();
  remoteRequests_.Drain();
}

bool CUdpController::Reset(bool serverMode) {
  if (!socket_.IsOpen()) return false;
  if (!serverMode) return socket_.OpenClient();
  socket_.RefreshLocalAddress();
  return socket_.BindWithNextPort(uint16_t(socket_.CurrentPort() + 1));
}

void CUdpController::OnReceive(CUdpSocket::ReadBy reader) {
  uint8_t datagram[kMaxDatagram];
  std::string ip;
  uint16_t port = 0;
  int n = socket_.ProxyRecvFrom(datagram, sizeof datagram, &ip, &port, reader);
  if (n < int(kHeaderSize)) return;
  ParsedDatagram parsed = ParseDatagram(datagram, size_t(n));
  if (!parsed.ok) return;
  if (parsed.header.flags & kFlagCiphered) {
    CipherInPlace(datagram + kHeaderSize, parsed.payloadLength);
    if (parsed.header.crc != 0 && Crc32(datagram + kHeaderSize, parsed.payloadLength) != parsed.header.crc) {
      return;  // damaged on the way
    }
  }
  CBasePackage* package = PackagePool::Instance().Take();
  package->Append(datagram, size_t(n));
  package->SetPeer({ip, port});
  if (IsRemoteRequest(parsed, isRequest_.load())) {
    remoteRequests_.Push(package);
  } else if (!tracker_.MatchReply(package)) {
    PackagePool::Instance().Give(package);  // nobody waits for it
  }
}

void CUdpController::RemoteRequestWorker() {
  while (running_) {
    CBasePackage* package = remoteRequests_.Pop(1000);
    if (package == nullptr) continue;
    {
      std::lock_guard<std::mutex> lock(processorMutex_);
      if (processor_ != nullptr) processor_->Process(*package);
    }
    PackagePool::Instance().Give(package);
  }
}

}  // namespace udp
