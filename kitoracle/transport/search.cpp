#include "transport/search.h"

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <new>

#include "base/kit_log.h"
#include "foundation/base/unicode.h"
#include "kitoracle/driver_records.h"
#include "platform/module_path.h"
#include "transport/endpoints.h"
#include "transport/http_send.h"

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
  // Lives until the library unloads (the host stops searching before it
  // unloads the library or ends the process).
  static CSearch search;
  return search;
}

CSearch::~CSearch() { JoinProbe(); }

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

int CSearch::WriteRequest(const Request* request, bool replyGiven, int* length) {
  MakeBuffers();
  if (request == nullptr || !replyGiven || request_.empty()) {
    KIT_LOG(replyGiven ? "error NULL == pReq || NULL == m_Buffer"
                       : "error NULL == pReq || NULL == pRep || NULL == m_Buffer");
    return DS_ERROR_PARAMETER;
  }
  std::fill(request_.begin(), request_.end(), 0);
  std::fill(reply_.begin(), reply_.end(), 0);
  *length = request->MakeBuffer(request_.data(), request_.size());
  if (*length <= 0) {
    KIT_LOG("error pReq->MakeBuffer");
    return DS_ERROR_FORMAT;
  }
  return 0;
}

int CSearch::GetRepData(const Request* request, Reply* reply) {
  critical_.Enter();
  int length = 0;
  int result = WriteRequest(request, reply != nullptr, &length);
  int n = 0;
  bool received = false;
  if (result == 0 && udpUsable_) {
    n = udp_.UDPSyncSendTo(request->service(), request_.data(), length, reply_.data(), int(reply_.size()), timeout_);
    received = n >= 1 && n <= int(kPacketSize);
    if (!received) {
      udpUsable_ = false;  // the whole process goes by HTTP until the next probe succeeds
      KIT_LOG("UDPSyncSendTo error[%d] and try to call HtmlSendTo.", n);
    }
  }
  if (result == 0 && !received) {
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
  critical_.Leave();
  return result;
}

int CSearch::ReportData(const Request* request) {
  critical_.Enter();
  int length = 0;
  int result = WriteRequest(request, true, &length);
  if (result == 0) {
    int sent = udp_.UDPAsynSendTo(kServiceBusiness, request_.data(), length);
    KIT_LOG("outLen[%d]", sent);
  }
  critical_.Leave();
  return result;
}

}  // namespace kitoracle
