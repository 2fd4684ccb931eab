#include "transport/search.h"

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <new>

#include "base/kit_log.h"
#include "kitfinder/driver_records.h"
#include "platform/module_path.h"
#include "transport/endpoints.h"
#include "transport/http_send.h"
#include "foundation/base/unicode.h"

namespace kitoracle {
namespace {

std::mutex g_probeWait;  // with g_probeEnded: the end of the probe, for Init's bounded wait
std::condition_variable g_probeEnded;

void JoinProbeAtExit() { CSearch::GetInstance().JoinProbe(); }

std::u16string SemaphoreName() {
  std::string exe = platform::ExecutablePath();
  size_t slash = exe.rfind('/');
  std::string file = slash == std::string::npos ? exe : exe.substr(slash + 1);
  return u"Global\\CSearch{22A22BE6-EAFF-4ffe-A5D0-C359383E1047}" + unicode::Utf8ToUtf16(file.data(), file.size());
}

}  // namespace

CSearch& CSearch::GetInstance() {
  static CSearch* search = new CSearch;  // never deleted: other threads may search until the process ends
  return *search;
}

bool CSearch::MakeBuffers() {
  if (request_.size() == kPacketSize && reply_.size() == kPacketSize) return true;
  try {
    request_.assign(kPacketSize, 0);
    reply_.assign(kPacketSize, 0);
  } catch (const std::bad_alloc&) {
    request_.clear();
    reply_.clear();
    return false;
  }
  return true;
}

void CSearch::JoinProbe() {
  std::lock_guard<std::mutex> hold(probeLock_);
  if (probe_.joinable()) probe_.join();
}

void CSearch::ProbeThread() {
  std::string host = DispatchHost();
  int first = 0, second = 0;
  DispatchPorts(&first, &second);
  bool ok = udp_.UDPInit(host.c_str(), first) || udp_.UDPInit(host.c_str(), second);
  if (ok) udpUsable_ = true;
  {
    std::lock_guard<std::mutex> hold(g_probeWait);
    probeDone_ = true;
  }
  g_probeEnded.notify_all();
}

int CSearch::Init() {
  KIT_LOG_INOUT("CSearch::Init");
  critical_.SetName(SemaphoreName());
  critical_.Enter();
  KIT_LOG("critical enter.");
  int result = 0;
  if (!MakeBuffers()) {
    KIT_LOG("error m_Buffer new");
    result = DS_ERROR_OTHER;
  } else if (!udp_.InitUDPInterface()) {
    KIT_LOG("error InitUDPInterface");
    result = DS_ERROR_INTERFACE;
  } else {
    static std::once_flag atExit;
    std::call_once(atExit, [] { std::atexit(&JoinProbeAtExit); });
    JoinProbe();  // an earlier probe ends before a new one starts
    udpUsable_ = false;
    probeDone_ = false;
    {
      std::lock_guard<std::mutex> hold(probeLock_);
      probe_ = std::thread(&CSearch::ProbeThread, this);
    }
    std::unique_lock<std::mutex> wait(g_probeWait);
    g_probeEnded.wait_for(wait, std::chrono::milliseconds(ProbeWaitMs(timeout_)), [this] { return probeDone_.load(); });
    wait.unlock();
    if (!udpUsable_) KIT_LOG("UDPInit error.");
  }
  KIT_LOG("critical leave.");
  critical_.Leave();
  if (result != 0) {
    critical_.Enter();
    request_.clear();
    reply_.clear();
    critical_.Leave();
  }
  return result;
}

int CSearch::GetRepData(const Request* request, Reply* reply) {
  critical_.Enter();
  int result = 0;
  MakeBuffers();
  if (request == nullptr || reply == nullptr || request_.empty()) {
    KIT_LOG("error NULL == pReq || NULL == pRep || NULL == m_Buffer");
    result = DS_ERROR_PARAMETER;
  } else {
    std::fill(request_.begin(), request_.end(), 0);
    std::fill(reply_.begin(), reply_.end(), 0);
    int length = request->MakeBuffer(request_.data(), request_.size());
    if (length <= 0) {
      KIT_LOG("error pReq->MakeBuffer");
      result = DS_ERROR_FORMAT;
    } else {
      int n = 0;
      bool done = false;
      if (udpUsable_) {
        n = udp_.UDPSyncSendTo(request->service(), request_.data(), length, reply_.data(), int(reply_.size()),
                               timeout_);
        if (n < 1 || n > int(kPacketSize)) {
          udpUsable_ = false;
          KIT_LOG("UDPSyncSendTo error[%d] and try to call HtmlSendTo.", n);
        } else {
          done = true;
        }
      }
      if (!done) {
        n = CHttpSend::HttpSendTo(request->service(), request_.data(), size_t(length), reply_.data(), 2 * timeout_);
        if (n < 1 || n > int(kPacketSize)) {
          KIT_LOG("error HtmlSendTo outLen[%d]", n);
          result = DS_ERROR_NET;
        }
      }
      if (result == 0 && reply->ParseBuffer(reply_.data(), size_t(n)) <= 0) {
        KIT_LOG("error rep->ParseBuffer ");
        result = DS_ERROR_FORMAT;
      }
    }
  }
  critical_.Leave();
  return result;
}

int CSearch::ReportData(const Request* request) {
  critical_.Enter();
  int result = 0;
  MakeBuffers();
  if (request == nullptr || request_.empty()) {
    KIT_LOG("error NULL == pReq || NULL == m_Buffer");
    result = DS_ERROR_PARAMETER;
  } else {
    std::fill(request_.begin(), request_.end(), 0);
    int length = request->MakeBuffer(request_.data(), request_.size());
    if (length <= 0) {
      KIT_LOG("error pReq->MakeBuffer");
      result = DS_ERROR_FORMAT;
    } else {
      int sent = udp_.UDPAsynSendTo(kServiceBusiness, request_.data(), length);
      KIT_LOG("outLen[%d]", sent);
    }
  }
  critical_.Leave();
  return result;
}

}  // namespace kitoracle
