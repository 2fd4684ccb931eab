// librelaylink.so: requests to the server of a service type, wherever that
// server is. Server addresses come from a dispatch server and are cached
// between runs; requests travel over libudp.so, loaded from this library's
// folder.
#ifndef PHONEDECK_RELAYLINK_RELAYLINK_H
#define PHONEDECK_RELAYLINK_RELAYLINK_H

#include <stdint.h>

#define RELAYLINK_API extern "C" __attribute__((visibility("default")))

// Address kinds of RELAYLINKGetServerAddr and of the cache file.
enum {
  RELAYLINK_ADDR_NAME = 3,
  RELAYLINK_ADDR_IPV4 = 4,
  RELAYLINK_ADDR_IPV6 = 6,
};

// Results besides byte counts: -1 failure, -2 time-out, -3 no handle or no
// udp binding, -5 other wait outcome, 0 an entry point missing in udp.
enum {
  RELAYLINK_ERROR_FAILED = -1,
  RELAYLINK_ERROR_TIMEOUT = -2,
  RELAYLINK_ERROR_NOT_BOUND = -3,
  RELAYLINK_ERROR_STATE = -5,
};

RELAYLINK_API bool RELAYLINKInit(const char* dispatchHost, int port);
RELAYLINK_API bool RELAYLINKInitEx(const char* dispatchHost, int port, int async);
RELAYLINK_API void RELAYLINKFini();
RELAYLINK_API int RELAYLINKSendToSync(unsigned char serviceType, const char* sendBuf, int sendLen, char* recvBuf,
                                      int recvBufSize, int timeoutMs);
RELAYLINK_API int RELAYLINKSendToAsyn(unsigned char serviceType, const char* buf, int len);
RELAYLINK_API int RELAYLINKRecvFrom(int, char* buf, int len, int);
// addr receives 16 bytes: the IPv4 address (network order) then 12 zeros.
RELAYLINK_API bool RELAYLINKGetServerAddr(unsigned char serviceType, unsigned char* addrKind, unsigned char* addr,
                                          unsigned short* port0, unsigned short* port1, unsigned short* port2);
RELAYLINK_API void RELAYLINKSetProxy(const char* ip, int port, const char* user, const char* password,
                                     unsigned char type, bool enable);

#endif  // PHONEDECK_RELAYLINK_RELAYLINK_H
