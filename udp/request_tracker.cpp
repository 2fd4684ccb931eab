#include "request_tracker.h"

#include <algorithm>
#include <chrono>

namespace udp {

CUdpCommandAction::~CUdpCommandAction() {
  for (UdpRequestContext* context : free_) {
    PackagePool::Instance().Give(context->sendPackage);
    delete context;
  }
}

void CUdpCommandAction::SetSender(PackageSender* sender) {
  std::lock_guard<std::mutex> lock(sendMutex_);
  sender_ = sender;
}

uint32_t CUdpCommandAction::NextRequestId() { return lastId_.fetch_add(1) + 1; }

UdpRequestContext* CUdpCommandAction::Acquire(uint8_t state, uint32_t waitSeconds) {
  UdpRequestContext* context = nullptr;
  {
    std::lock_guard<std::mutex> lock(freeMutex_);
    if (!free_.empty()) {
      context = free_.front();
      free_.pop_front();
    }
  }
  if (context == nullptr) {
    context = new UdpRequestContext;
    context->sendPackage = PackagePool::Instance().Take();
    context->sendPackage->BuildHeader(0, 1, 0, 0);
  }
  context->state = state;
  context->waitMs = waitSeconds * 1000;
  return context;
}

void CUdpCommandAction::ResetContext(UdpRequestContext* context) {
  std::vector<CBasePackage*> received;
  {
    std::lock_guard<std::mutex> lock(pendingMutex_);
    context->signalled = false;
    context->fragments.Clear();
    received.swap(context->received);
  }
  context->sendPackage->Reset();
  for (CBasePackage* package : received) PackagePool::Instance().Give(package);
}

void CUdpCommandAction::Release(UdpRequestContext* context) {
  if (context == nullptr) return;
  Unregister(context);
  ResetContext(context);
  {
    std::lock_guard<std::mutex> lock(freeMutex_);
    if (free_.size() < 50) {
      free_.push_back(context);
      return;
    }
  }
  PackagePool::Instance().Give(context->sendPackage);
  delete context;
}

void CUdpCommandAction::Unregister(UdpRequestContext* context) {
  std::lock_guard<std::mutex> lock(pendingMutex_);
  if (!context->pending) return;
  pending_.remove(context);
  context->pending = false;
}

bool CUdpCommandAction::Send(UdpRequestContext* context, int mode) {
  if (context == nullptr) return false;
  if (mode & kUnregister) {
    Unregister(context);
    return false;
  }
  if (mode & kRegister) {
    std::lock_guard<std::mutex> lock(pendingMutex_);
    if (!context->pending) {
      pending_.push_back(context);
      context->pending = true;
    }
  }
  if (mode & kSend) {
    int sent = -1;
    {
      std::lock_guard<std::mutex> lock(sendMutex_);
      if (sender_ != nullptr) sent = sender_->Send(*context->sendPackage, context->peer);
    }
    if (sent < 0) {
      if (mode & kRegister) Unregister(context);
      return false;
    }
    std::lock_guard<std::mutex> lock(pendingMutex_);
    context->state = kStateSent;
  }
  return true;
}

bool CUdpCommandAction::MatchReply(CBasePackage* package) {
  std::lock_guard<std::mutex> lock(pendingMutex_);
  for (UdpRequestContext* context : pending_) {
    if (context->state == kStateComplete || !context->sendPackage->IsSameRequest(*package)) continue;
    if (context->fragments.Add(package->Header()) == FragmentSet::AddResult::kDuplicate) {
      PackagePool::Instance().Give(package);
    } else {
      context->received.push_back(package);
      context->signalled = true;
      context->event.notify_one();
      // Read by another thread (the socket's own) while its caller polls.
      if (context == reading_ && readingThread_ != std::this_thread::get_id()) receiver_->Interrupt();
    }
    return true;
  }
  return false;
}

uint8_t CUdpCommandAction::Wait(UdpRequestContext* context) {
  using Clock = std::chrono::steady_clock;
  // A slice of reading: a socket replaced under a reading caller is taken
  // up again after at most this long.
  constexpr int kReadSliceMs = 200;
  const auto waitTime = std::chrono::milliseconds(context->waitMs);
  std::unique_lock<std::mutex> lock(pendingMutex_);
  Clock::time_point deadline = Clock::now() + waitTime;
  for (;;) {
    if (context->signalled) {
      context->signalled = false;
      if (context->fragments.Complete()) {
        context->state = kStateComplete;
        return kStateComplete;
      }
      deadline = Clock::now() + waitTime;
      continue;
    }
    const Clock::time_point now = Clock::now();
    if (now >= deadline) {
      context->state = kStateTimedOut;
      return kStateTimedOut;
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now).count() + 1;
    const int slice = int(std::min<long long>(left, kReadSliceMs));
    if (receiver_ == nullptr || reading_ != nullptr) {
      context->event.wait_until(lock, deadline);
      continue;
    }
    reading_ = context;
    readingThread_ = std::this_thread::get_id();
    lock.unlock();
    const bool read = receiver_->ReceiveFor(slice);
    lock.lock();
    reading_ = nullptr;
    WakeWaiters(context);
    // Nothing to read from: the socket's own thread delivers, if anyone.
    if (!read) context->event.wait_until(lock, std::min(deadline, Clock::now() + std::chrono::milliseconds(slice)));
  }
}

void CUdpCommandAction::WakeWaiters(UdpRequestContext* except) {
  for (UdpRequestContext* other : pending_) {
    if (other != except) other->event.notify_one();
  }
}

JoinResult CUdpCommandAction::Join(UdpRequestContext* context, uint8_t* out, size_t outSize) {
  std::lock_guard<std::mutex> lock(pendingMutex_);
  std::vector<std::pair<const uint8_t*, size_t>> pieces;
  for (CBasePackage* package : context->received) pieces.emplace_back(package->Data(), package->Length());
  return JoinFragments(pieces, out, outSize);
}

size_t CUdpCommandAction::PendingCount() {
  std::lock_guard<std::mutex> lock(pendingMutex_);
  return pending_.size();
}

}  // namespace udp
