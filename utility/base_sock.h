// base_sock: an IPv4 socket with thin wrappers over the socket calls and an
// event dispatch that runs on a thread of its own and calls one virtual
// handler per network event.
//
// Events (the mask of SelectEvent) and how they are raised:
//   BASE_FD_ACCEPT  a listening socket has a connection to accept (again
//                   while connections wait).
//   BASE_FD_READ    data is waiting; raised once, then again only after a
//                   Recv / RecvFrom of this object while data remains, so
//                   a handler that does not read is not called again and
//                   again for the same data.
//   BASE_FD_CLOSE   the peer closed the connection (once), with 0 for an
//                   orderly close (raised once the data before it is read)
//                   or the error code of a reset.
//   BASE_FD_CONNECT a connect under way finished, with its error code.
//   BASE_FD_WRITE   the socket can send: once when it becomes usable
//                   (datagram socket at the start of dispatch, stream socket
//                   once connected), then once again only after Send / SendTo
//                   found the send buffer full (error BASE_WSAEWOULDBLOCK).
//   BASE_FD_OOB     urgent data is waiting.
// One wake calls one handler, in the order accept, read, close, connect,
// write, out-of-band; events not handled stay pending for the next wake.
//
// Threading: the handlers run on the dispatch thread; the other operations
// run on the callers' threads. StopSelect (and Close, and the destructor)
// wake the dispatch thread and join it, so once they return no handler runs;
// called from a handler they return at once and the thread ends after the
// handler without touching the object again. A derived class stops the
// dispatch in its own destructor (Close or StopSelect), before its handlers
// go away. Every dispatch run owns its stop flag, wake descriptor and
// thread, so a socket can be stopped and dispatched again.
#pragma once

#include <netdb.h>
#include <netinet/in.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "utility/utility_export.h"

// Network event bits.
constexpr int BASE_FD_READ = 0x01;
constexpr int BASE_FD_WRITE = 0x02;
constexpr int BASE_FD_OOB = 0x04;
constexpr int BASE_FD_ACCEPT = 0x08;
constexpr int BASE_FD_CONNECT = 0x10;
constexpr int BASE_FD_CLOSE = 0x20;

constexpr int BASE_INVALID_SOCKET = -1;

// Error codes reported by GetErrno and the handlers (the system's socket
// error numbers, mapped from errno). An errno without a counterpart is
// reported as it stands.
constexpr int BASE_WSAEINTR = 10004;
constexpr int BASE_WSAEBADF = 10009;
constexpr int BASE_WSAEACCES = 10013;
constexpr int BASE_WSAEFAULT = 10014;
constexpr int BASE_WSAEINVAL = 10022;
constexpr int BASE_WSAEMFILE = 10024;
constexpr int BASE_WSAEWOULDBLOCK = 10035;
constexpr int BASE_WSAEINPROGRESS = 10036;
constexpr int BASE_WSAEALREADY = 10037;
constexpr int BASE_WSAENOTSOCK = 10038;
constexpr int BASE_WSAEDESTADDRREQ = 10039;
constexpr int BASE_WSAEMSGSIZE = 10040;
constexpr int BASE_WSAEPROTOTYPE = 10041;
constexpr int BASE_WSAENOPROTOOPT = 10042;
constexpr int BASE_WSAEPROTONOSUPPORT = 10043;
constexpr int BASE_WSAESOCKTNOSUPPORT = 10044;
constexpr int BASE_WSAEOPNOTSUPP = 10045;
constexpr int BASE_WSAEPFNOSUPPORT = 10046;
constexpr int BASE_WSAEAFNOSUPPORT = 10047;
constexpr int BASE_WSAEADDRINUSE = 10048;
constexpr int BASE_WSAEADDRNOTAVAIL = 10049;
constexpr int BASE_WSAENETDOWN = 10050;
constexpr int BASE_WSAENETUNREACH = 10051;
constexpr int BASE_WSAENETRESET = 10052;
constexpr int BASE_WSAECONNABORTED = 10053;
constexpr int BASE_WSAECONNRESET = 10054;
constexpr int BASE_WSAENOBUFS = 10055;
constexpr int BASE_WSAEISCONN = 10056;
constexpr int BASE_WSAENOTCONN = 10057;
constexpr int BASE_WSAESHUTDOWN = 10058;
constexpr int BASE_WSAETIMEDOUT = 10060;
constexpr int BASE_WSAECONNREFUSED = 10061;
constexpr int BASE_WSAEHOSTDOWN = 10064;
constexpr int BASE_WSAEHOSTUNREACH = 10065;

class UTILITY_API base_sock {
 public:
  base_sock();
  virtual ~base_sock();
  base_sock(const base_sock&) = delete;
  base_sock& operator=(const base_sock&) = delete;

  // Socket life. Create closes any dispatch and socket first; port is not used.
  bool Create(int type, int protocol, uint16_t port);
  void Close(bool terminate);
  void Attach(int handle);
  void SetHandle(int handle);
  int GetHandle() const;

  // Connection and data: false or -1 without a socket.
  bool Bind(const sockaddr_in* address);
  bool Listen(int backlog);
  // True also while a non-blocking connect is under way (GetErrno then
  // gives BASE_WSAEWOULDBLOCK); BASE_FD_CONNECT reports the outcome.
  bool Connect(const sockaddr_in* address);
  bool ShutDown();  // the sending side
  int Send(const char* data, int len);
  int Recv(char* buffer, int size);
  int SendTo(const char* data, int len, const char* ip, uint16_t port);
  int SendTo(const char* data, int len, const sockaddr_in* address);
  // With more than 0 bytes received, writes the sender's dotted address (the
  // ip buffer holds 16 characters) and port when those pointers are given.
  int RecvFrom(char* buffer, int size, char* ip, uint16_t* port);
  int RecvFrom(char* buffer, int size, sockaddr_in* address);

  // Options: false without a socket or when the system refuses.
  bool SetNoblock(bool on);
  bool SetRecvBufferSize(int bytes);
  bool SetSendBufferSize(int bytes);
  bool SetRecvTimeOut(int milliseconds);
  bool SetSendTimeOut(int milliseconds);
  bool SetReuseAddr(bool on);
  bool SetBroadcast(bool on);
  static bool _SetNoblock(int handle, bool on);
  static bool _SetRecvBufferSize(int handle, int bytes);
  static bool _SetSendBufferSize(int handle, int bytes);
  static bool _SetRecvTimeOut(int handle, int milliseconds);
  static bool _SetSendTimeOut(int handle, int milliseconds);
  static bool _SetReuseAddr(int handle, bool on);

  // Addresses; IPv4 values in network order.
  uint16_t GetLocalPort() const;
  uint32_t GetLocalIpn() const;
  std::string GetLocalIps() const;
  uint16_t GetRemotePort() const;
  uint32_t GetRemoteIpn() const;
  std::string GetRemoteIps() const;

  // The last socket error of the calling thread, and its message text.
  int GetErrno() const;
  std::string GetError() const;

  static int _GetHostName(char* buffer, int size);
  static hostent* _GetHostByName(const char* name);

  // Starts dispatching the events of the mask (the socket becomes
  // non-blocking). False when a dispatch runs, without a socket, or when
  // the thread cannot start.
  bool SelectEvent(int networkEvents);
  // Ends the dispatch: wakes its thread and joins it (see the top).
  void StopSelect(bool terminate);

 protected:
  // Handlers: the event's error code, 0 for success. They do nothing here.
  virtual void OnReceive(int errorCode);
  virtual void OnSend(int errorCode);
  virtual void OnAccept(int errorCode);
  virtual void OnClose(int errorCode);
  virtual void OnConnect(int errorCode);
  virtual void OnOutOfBandData(int errorCode);

 private:
  struct EventDispatch;

  // Thread procedure of a dispatch run: runs SelectFunc for it.
  static unsigned SelectThread(void* run);
  void SelectFunc(EventDispatch* run);
  UTILITY_HIDDEN void RearmWrite();
  UTILITY_HIDDEN void RearmRead();

  std::mutex m_dispatchLock;  // guards m_dispatch (never held around a handler)
  std::shared_ptr<EventDispatch> m_dispatch;
  std::atomic<int> m_socket;  // read by the dispatch thread and the callers
  std::atomic<bool> m_connectPending;
};
