// The exported functions of libudp.so and the module state behind them:
// one controller per process, the reference count of UDPInit/UDPClose and
// the remote-request processor of server mode.
#include <mutex>

#include "channel.h"
#include "package.h"
#include "proxy_settings.h"
#include "udp.h"
#include "utility/base_log.h"
#include "utility_link.h"

namespace udp {
namespace {

// Server-mode port when the caller gives none; tests move it with
// PHONEDECK_UDP_SERVER_PORT (0 lets the system choose).
uint16_t DefaultServerPort() {
  const char* over = std::getenv("PHONEDECK_UDP_SERVER_PORT");
  if (over != nullptr && over[0] != 0) return uint16_t(std::atoi(over));
  return 6011;
}

struct Module {
  // The library's other process-wide objects are made here, with the module:
  // a host that registers its own exit clean-up after its first UDPInit then
  // runs it before any of them is destroyed.
  Module() {
    OpenLog();
    PackagePool::Instance();
    SharedProxy::Instance();
  }
  ~Module() {
    if (open) {  // a UDPInit never matched by its UDPClose
      controller.Stop();
      controller.SetProcessor(nullptr);
      delete processor;
      processor = nullptr;
    }
    CloseLog();
  }

  // Guards references, firstResult, open and processor; held for the whole
  // of UDPInit and UDPClose so a start and a stop never overlap.
  std::mutex lifecycle;
  int references = 0;
  bool firstResult = false;
  bool open = false;
  bool serverMode = false;
  CUDPRemoteReqProcessorImpl* processor = nullptr;
  CUdpController controller;
};

Module& M() {
  static Module module;
  return module;
}

UdpRequestContext* Context(UDPHANDLE handle) { return static_cast<UdpRequestContext*>(handle); }

// Unregister, clear what the last request left, then address the peer.
void PrepareContext(UdpRequestContext* context, const char* ip, int port) {
  CUdpCommandAction& tracker = M().controller.Tracker();
  tracker.Send(context, CUdpCommandAction::kUnregister);
  tracker.ResetContext(context);
  context->state = kStateReady;
  context->peer = {ip != nullptr ? ip : "", uint16_t(port)};
}

}  // namespace
}  // namespace udp

using namespace udp;

UDP_API bool UDPInit(int serverMode, unsigned short* port) {
  Module& m = M();
  std::lock_guard<std::mutex> lock(m.lifecycle);
  if (++m.references != 1) return m.firstResult;
  m.serverMode = serverMode != 0;
  if (m.serverMode) {
    m.processor = new CUDPRemoteReqProcessorImpl;
    m.controller.SetProcessor(m.processor);
  }
  m.firstResult = m.controller.Start(m.serverMode, port != nullptr ? *port : DefaultServerPort());
  m.open = true;
  return m.firstResult;
}

UDP_API int UDPClose() {
  Module& m = M();
  std::lock_guard<std::mutex> lock(m.lifecycle);
  if (m.references > 0) --m.references;
  if (m.references > 0) return m.references;
  if (m.open) {
    m.controller.Stop();
    m.controller.SetProcessor(nullptr);
    delete m.processor;
    m.processor = nullptr;
    m.open = false;
  }
  return 0;
}

UDP_API bool UDPReset(int serverMode) {
  Module& m = M();
  std::lock_guard<std::mutex> lock(m.lifecycle);
  if (!m.open) return false;
  return m.controller.Reset(serverMode != 0);
}

UDP_API UDPHANDLE UDPCreate() { return M().controller.Tracker().Acquire(kStateReady, 2); }

UDP_API void UDPFree(UDPHANDLE handle) { M().controller.Tracker().Release(Context(handle)); }

UDP_API int UDPSendTo(UDPHANDLE handle, const char* data, int len, const char* ip, int port) {
  UdpRequestContext* context = Context(handle);
  if (context == nullptr || len < 0 || (data == nullptr && len > 0)) return -1;
  if (size_t(len) > kMaxPayload) {
    // One datagram carries 1489 bytes; a longer message needs UDPSendToEx.
    Log("UDPSendTo() refused: %d bytes do not fit one datagram\n", len);
    return -1;
  }
  PrepareContext(context, ip, port);
  context->sendPackage->BuildHeader(M().controller.Tracker().NextRequestId(), 1, 0, 0);
  context->sendPackage->Append(data, size_t(len));
  if (!M().controller.Tracker().Send(context, CUdpCommandAction::kSend | CUdpCommandAction::kRegister)) return -1;
  return len;
}

UDP_API int UDPSendToEx(UDPHANDLE handle, const char* data, int len, const char* ip, int port, int timeoutMs,
                        int flags) {
  UdpRequestContext* context = Context(handle);
  if (context == nullptr || len < 0 || (data == nullptr && len > 0)) return -1;
  FragmentPlan plan = PlanFragments(size_t(len));
  if (!plan.ok) return -1;
  PrepareContext(context, ip, port);
  int seconds = timeoutMs / 1000;
  context->waitMs = uint32_t(seconds > 0 ? seconds : 2) * 1000;
  CUdpCommandAction& tracker = M().controller.Tracker();
  uint32_t id = tracker.NextRequestId();
  const uint8_t count = uint8_t(plan.pieces.size());
  for (size_t i = 0; i < plan.pieces.size(); ++i) {
    context->sendPackage->BuildHeader(id, count, uint8_t(i), uint8_t(flags));
    context->sendPackage->Append(data + plan.pieces[i].first, plan.pieces[i].second);
    bool last = i + 1 == plan.pieces.size();
    int mode = CUdpCommandAction::kSend | (last ? CUdpCommandAction::kRegister : 0);
    if (!tracker.Send(context, mode)) return -1;
  }
  return len;
}

UDP_API int UDPRecvFrom(UDPHANDLE handle, char* buf, int bufLen, int, int) {
  UdpRequestContext* context = Context(handle);
  if (context == nullptr) return -1;
  CUdpCommandAction& tracker = M().controller.Tracker();
  uint8_t state = tracker.Wait(context);
  tracker.Send(context, CUdpCommandAction::kUnregister);
  if (state == kStateTimedOut) return UDP_ERROR_TIMEOUT;
  if (state == kStateWaitFailed) return UDP_ERROR_FAILED;
  if (state != kStateComplete) return UDP_ERROR_STATE;
  if (buf == nullptr || bufLen <= 0) return 0;
  return int(tracker.Join(context, reinterpret_cast<uint8_t*>(buf), size_t(bufLen)).bytes);
}

UDP_API void UDPSetProxy(const char* ip, int port, const char* user, const char* password, unsigned char type,
                         bool enable) {
  uint8_t stored = enable ? type : 0;
  FunctionChecker trace("CUDPInterface::SetProxy()");
  Log("%s", SetProxyLogLine(ip, port, user, stored).c_str());
  ProxySettings settings;
  settings.ip = ip != nullptr ? ip : "";
  settings.port = uint16_t(port);
  settings.type = stored;
  settings.user = user != nullptr ? user : "";
  settings.password = password != nullptr ? password : "";
  SharedProxy::Instance().Write(settings);
}

UDP_API void UDPSetIsRequstCallback(UDPIsRequestCallback test) { M().controller.SetIsRequestTest(test); }

UDP_API void UDPSetRemoteReqProcessorCallback(UDPRemoteRequestCallback callback, void* userData) {
  Module& m = M();
  std::lock_guard<std::mutex> lock(m.lifecycle);
  if (m.processor != nullptr) m.processor->SetCallback(callback, userData);
}
