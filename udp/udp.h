// libudp.so: one request/response channel over UDP per process.
// Requests are cut into numbered fragments, replies are put back together,
// payloads may be enciphered, remote requests reach a callback in server
// mode, and every datagram can travel through a SOCKS5 UDP relay whose
// settings all processes of the user share.
#ifndef PHONEDECK_UDP_UDP_H
#define PHONEDECK_UDP_UDP_H

#include <stdint.h>

#define UDP_API extern "C" __attribute__((visibility("default")))

// Request handle of UDPCreate (a request context inside the library).
typedef void* UDPHANDLE;

// Results of UDPRecvFrom besides the byte count.
enum {
  UDP_ERROR_FAILED = -1,   // null handle, send failure or wait failure
  UDP_ERROR_TIMEOUT = -2,  // no complete reply within the wait time
  UDP_ERROR_STATE = -5,    // any other wait outcome
};

// Proxy types of UDPSetProxy. Datagrams always travel through the SOCKS5
// UDP relay; with SOCKS4 and SOCKS4a a CONNECT to the proxy itself comes
// first on its control connection.
enum {
  UDP_PROXY_NONE = 0,
  UDP_PROXY_SOCKS4A = 3,
  UDP_PROXY_SOCKS4 = 4,
  UDP_PROXY_SOCKS5 = 5,
};

// Header flag: the payload is enciphered with the datagram cipher.
#define UDP_FLAG_CIPHERED 0x04

// True sends a received datagram to the remote-request callback.
typedef bool (*UDPIsRequestCallback)(unsigned char firstPayloadByte);
// A remote request; payload is valid only during the call.
typedef void (*UDPRemoteRequestCallback)(const char* payload, int len, const char* peerIp,
                                         unsigned short peerPort, void* userData);

UDP_API bool UDPInit(int serverMode, unsigned short* port);
UDP_API int UDPClose();
UDP_API bool UDPReset(int serverMode);
UDP_API UDPHANDLE UDPCreate();
UDP_API void UDPFree(UDPHANDLE handle);
UDP_API int UDPSendTo(UDPHANDLE handle, const char* data, int len, const char* ip, int port);
UDP_API int UDPSendToEx(UDPHANDLE handle, const char* data, int len, const char* ip, int port,
                        int timeoutMs, int flags);
UDP_API int UDPRecvFrom(UDPHANDLE handle, char* buf, int bufLen, int, int);
UDP_API void UDPSetProxy(const char* ip, int port, const char* user, const char* password,
                         unsigned char type, bool enable);
UDP_API void UDPSetIsRequstCallback(UDPIsRequestCallback test);
UDP_API void UDPSetRemoteReqProcessorCallback(UDPRemoteRequestCallback callback, void* userData);

#endif  // PHONEDECK_UDP_UDP_H
