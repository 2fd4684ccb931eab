#include "request_tracker.h"

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
    }
    return true;
  }
  return false;
}

uint8_t CUdpCommandAction::Wait(UdpRequestContext* context) {
  std::unique_lock<std::mutex> lock(pendingMutex_);
  for (;;) {
    bool woke = context->event.wait_for(lock, std::chrono::milliseconds(context->waitMs),
                                        [context] { return context->signalled; });
    if (!woke) {
      context->state = kStateTimedOut;
      return kStateTimedOut;
    }
    context->signalled = false;
    if (context->fragments.Complete()) {
      context->state = kStateComplete;
      return kStateComplete;
    }
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
