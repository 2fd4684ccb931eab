// The exported functions of librelaylink.so over the process's one
// CRelaylinkInterface (built at load, torn down at unload).
#include "relaylink.h"
#include "relaylink_interface.h"
#include "utility/base_log.h"

namespace {
relaylink::CRelaylinkInterface& Interface() {
  static relaylink::CRelaylinkInterface instance;
  return instance;
}
}  // namespace

RELAYLINK_API bool RELAYLINKInit(const char* dispatchHost, int port) {
  FunctionChecker trace("RELAYLINKInit");
  return Interface().Init(dispatchHost, port);
}

RELAYLINK_API bool RELAYLINKInitEx(const char* dispatchHost, int port, int async) {
  FunctionChecker trace("RELAYLINKInitEx");
  return Interface().InitEx(dispatchHost, port, async);
}

RELAYLINK_API void RELAYLINKFini() {
  FunctionChecker trace("RELAYLINKFini");
  Interface().Fini();
}

RELAYLINK_API int RELAYLINKSendToSync(unsigned char serviceType, const char* sendBuf, int sendLen, char* recvBuf,
                                      int recvBufSize, int timeoutMs) {
  return Interface().SendToSync(serviceType, sendBuf, sendLen, recvBuf, recvBufSize, timeoutMs);
}

RELAYLINK_API int RELAYLINKSendToAsyn(unsigned char serviceType, const char* buf, int len) {
  return Interface().SendToAsyn(serviceType, buf, len);
}

RELAYLINK_API int RELAYLINKRecvFrom(int, char* buf, int len, int) { return Interface().RecvFrom(buf, len); }

RELAYLINK_API bool RELAYLINKGetServerAddr(unsigned char serviceType, unsigned char* addrKind, unsigned char* addr,
                                          unsigned short* port0, unsigned short* port1, unsigned short* port2) {
  return Interface().GetServerAddr(serviceType, addrKind, addr, port0, port1, port2);
}

RELAYLINK_API void RELAYLINKSetProxy(const char* ip, int port, const char* user, const char* password,
                                     unsigned char type, bool enable) {
  FunctionChecker trace("RELAYLINKSetProxy");
  Interface().SetProxy(ip, port, user, password, type, enable);
}
