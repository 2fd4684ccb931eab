// The transport socket: one IPv4 datagram socket per process on the
// utility library's event socket (its dispatch thread reports data to
// read), sending and receiving directly or through a SOCKS5 UDP relay,
// whose association is asked for after a SOCKS4, SOCKS4a or SOCKS5
// handshake on the proxy's control connection.
#ifndef PHONEDECK_UDP_UDP_SOCKET_H
#define PHONEDECK_UDP_UDP_SOCKET_H

#include <netinet/in.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "proxy_settings.h"
#include "utility/base_sock.h"

namespace udp {

enum SocketState : uint8_t {
  kSocketClosing = 1,
  kSocketCreated = 2,
  kSocketBound = 3,
  kSocketConnecting = 5,
  kSocketConnected = 6,
  kSocketConnectFailed = 7,
  kSocketClosed = 8,
};

// Event codes reported to the receiver (only "data to read" is acted on).
constexpr int kEventReceive = 1;

// Bounds of every blocking step of the proxy's control connection.
constexpr int kProxyConnectTimeoutMs = 5000;
constexpr int kProxyReplyTimeoutMs = 5000;
constexpr int kProxyResolveTimeoutMs = 5000;  // a proxy or relay given by name

class CUdpSocket : public base_sock {
 public:
  using EventHandler = std::function<void(int code)>;

  ~CUdpSocket() override;
  void SetEventHandler(EventHandler handler) { handler_ = std::move(handler); }

  // Client mode: a fresh unbound socket; the system assigns its port on
  // the first send.
  bool OpenClient();
  // Server mode: binds INADDR_ANY at port, or the next free port above;
  // the port bound becomes the current port. Then the proxy association.
  bool BindWithNextPort(uint16_t port);
  void Close();
  // Runs on the dispatch thread for each datagram waiting.
  void OnReceive(int error) override;

  bool IsOpen() const { return open_; }
  void SetOpen(bool open) { open_ = open; }
  uint16_t CurrentPort() const { return currentPort_; }
  void SetCurrentPort(uint16_t port) { currentPort_ = port; }
  uint8_t State() const { return state_; }
  const std::string& LocalAddress() const { return localAddress_; }
  void RefreshLocalAddress();

  bool Associate();
  int ProxySendTo(const std::string& ip, uint16_t port, const uint8_t* data, size_t length);
  // Who reads: the dispatch thread from its read event, or a waiting caller.
  enum class ReadBy { kDispatch, kCaller };
  // Receives one datagram into buf (at least 1500 bytes); -1 when none.
  int ProxyRecvFrom(uint8_t* buf, size_t size, std::string* senderIp, uint16_t* senderPort,
                    ReadBy reader = ReadBy::kDispatch);

 private:
  bool CreateSocket();
  bool StartDispatch();
  void CloseControl();
  // By the proxy type: SOCKS4a (3) or SOCKS4 (4) CONNECT, or the SOCKS5
  // (5) method negotiation; any other type fails.
  bool RunHandshake(const ProxySettings& proxy, in_addr proxyAddr);
  bool RunSocks4Connect(const std::vector<uint8_t>& request);
  bool RunSocks5Handshake(const ProxySettings& proxy);
  bool UdpAssociate(const ProxySettings& proxy);

  EventHandler handler_;
  std::atomic<bool> open_{false};
  std::atomic<uint8_t> state_{kSocketClosed};
  std::atomic<uint16_t> currentPort_{6011};
  std::string localAddress_;


  // Guards the association: the control connection and the relay address.
  // Never held while a name is looked up.
  std::mutex proxyMutex_;
  int controlFd_ = -1;
  std::atomic<bool> associated_{false};
  std::string relayHost_;
  uint16_t relayPort_ = 0;
  uint8_t relayAtyp_ = 0;
};

}  // namespace udp

#endif  // PHONEDECK_UDP_UDP_SOCKET_H
