// base_sock with loopback TCP and UDP peers: connect, accept, read, write
// raised once, close, stopping and restarting the dispatch.
#include <arpa/inet.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "utility/base_sock.h"

namespace {

using namespace std::chrono_literals;

sockaddr_in Loopback(uint16_t port) {
  sockaddr_in a;
  std::memset(&a, 0, sizeof(a));
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = htons(port);
  return a;
}

// A socket that records its events ("read", "write", ...) with their codes.
class Recorder : public base_sock {
 public:
  ~Recorder() override { Close(true); }

  struct Event {
    std::string name;
    int code;
  };

  bool WaitFor(const std::string& name, int count = 1, std::chrono::milliseconds limit = 5s) {
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_cv.wait_for(lock, limit, [&] { return CountLocked(name) >= count; });
  }
  int Count(const std::string& name) {
    std::lock_guard<std::mutex> lock(m_mutex);
    return CountLocked(name);
  }
  std::vector<Event> Events() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_events;
  }
  int CodeOf(const std::string& name) {
    std::lock_guard<std::mutex> lock(m_mutex);
    for (const Event& e : m_events) {
      if (e.name == name) return e.code;
    }
    return -12345;
  }
  std::string Received() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_data;
  }
  int AcceptedHandle() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_accepted;
  }

  bool datagram = false;       // read with RecvFrom
  bool closeOnRead = false;    // Close(true) from inside the read handler
  std::atomic<bool> leaveUnread{false};  // the read handler records the event only

 protected:
  void OnReceive(int code) override {
    if (leaveUnread) {
      Push("read", code);
      return;
    }
    char buf[512];
    const int n = datagram ? RecvFrom(buf, sizeof(buf), m_fromIp, &m_fromPort) : Recv(buf, sizeof(buf));
    Push("read", code, n > 0 ? std::string(buf, static_cast<size_t>(n)) : std::string());
    if (closeOnRead) Close(true);
  }
  void OnSend(int code) override { Push("write", code); }
  void OnAccept(int code) override {
    const int fd = accept(GetHandle(), nullptr, nullptr);
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      m_accepted = fd;
    }
    Push("accept", code);
  }
  void OnClose(int code) override { Push("close", code); }
  void OnConnect(int code) override { Push("connect", code); }

 public:
  char m_fromIp[16] = "unset";
  uint16_t m_fromPort = 0;

 private:
  int CountLocked(const std::string& name) const {
    int n = 0;
    for (const Event& e : m_events) n += e.name == name;
    return n;
  }
  void Push(const char* name, int code, const std::string& data = std::string()) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_events.push_back(Event{name, code});
    m_data += data;
    m_cv.notify_all();
  }

  std::mutex m_mutex;
  std::condition_variable m_cv;
  std::vector<Event> m_events;
  std::string m_data;
  int m_accepted = -1;
};

// A datagram socket bound to a free loopback port.
void BindLoopbackUdp(base_sock& s) {
  ASSERT_TRUE(s.Create(SOCK_DGRAM, 0, 0));
  sockaddr_in local = Loopback(0);
  ASSERT_TRUE(s.Bind(&local));
}

// A listening TCP socket on a free loopback port.
uint16_t Listen(base_sock& s) {
  EXPECT_TRUE(s.Create(SOCK_STREAM, 0, 0));
  EXPECT_TRUE(s.SetReuseAddr(true));
  sockaddr_in a = Loopback(0);
  EXPECT_TRUE(s.Bind(&a));
  EXPECT_TRUE(s.Listen(8));
  return s.GetLocalPort();
}

TEST(BaseSock, TcpConnectAcceptReadWriteOnceClose) {
  Recorder listener;
  const uint16_t port = Listen(listener);
  ASSERT_TRUE(listener.SelectEvent(BASE_FD_ACCEPT));

  Recorder client;
  ASSERT_TRUE(client.Create(SOCK_STREAM, 0, 0));
  ASSERT_TRUE(client.SelectEvent(BASE_FD_CONNECT | BASE_FD_READ | BASE_FD_WRITE | BASE_FD_CLOSE));
  sockaddr_in to = Loopback(port);
  ASSERT_TRUE(client.Connect(&to));

  ASSERT_TRUE(client.WaitFor("connect"));
  EXPECT_EQ(client.CodeOf("connect"), 0);
  ASSERT_TRUE(client.WaitFor("write"));
  ASSERT_TRUE(listener.WaitFor("accept"));
  ASSERT_GE(listener.AcceptedHandle(), 0);

  Recorder server;
  server.Attach(listener.AcceptedHandle());
  ASSERT_TRUE(server.SelectEvent(BASE_FD_READ | BASE_FD_WRITE | BASE_FD_CLOSE));
  ASSERT_TRUE(server.WaitFor("write")) << "an accepted socket can send at once";

  ASSERT_EQ(client.Send("hello", 5), 5);
  ASSERT_TRUE(server.WaitFor("read"));
  EXPECT_EQ(server.Received(), "hello");
  EXPECT_EQ(server.GetRemotePort(), client.GetLocalPort());
  EXPECT_EQ(server.GetRemoteIps(), "127.0.0.1");

  // Sending and idling never raise the write event again.
  ASSERT_EQ(server.Send("world", 5), 5);
  ASSERT_TRUE(client.WaitFor("read"));
  EXPECT_EQ(client.Received(), "world");
  std::this_thread::sleep_for(300ms);
  EXPECT_EQ(client.Count("write"), 1);
  EXPECT_EQ(server.Count("write"), 1);

  server.Close(false);
  ASSERT_TRUE(client.WaitFor("close"));
  EXPECT_EQ(client.CodeOf("close"), 0);
  std::this_thread::sleep_for(100ms);
  EXPECT_EQ(client.Count("close"), 1) << "close is raised once";
}

TEST(BaseSock, ResetByPeerReportsTheError) {
  Recorder listener;
  const uint16_t port = Listen(listener);
  ASSERT_TRUE(listener.SelectEvent(BASE_FD_ACCEPT));
  Recorder client;
  ASSERT_TRUE(client.Create(SOCK_STREAM, 0, 0));
  ASSERT_TRUE(client.SelectEvent(BASE_FD_CONNECT | BASE_FD_CLOSE));
  sockaddr_in to = Loopback(port);
  ASSERT_TRUE(client.Connect(&to));
  ASSERT_TRUE(listener.WaitFor("accept"));
  ASSERT_TRUE(client.WaitFor("connect"));
  // An abortive close: the peer answers with a reset.
  const int accepted = listener.AcceptedHandle();
  linger abort{1, 0};
  ASSERT_EQ(setsockopt(accepted, SOL_SOCKET, SO_LINGER, &abort, sizeof(abort)), 0);
  close(accepted);
  ASSERT_TRUE(client.WaitFor("close"));
  EXPECT_EQ(client.CodeOf("close"), BASE_WSAECONNRESET);
}

TEST(BaseSock, OrderlyCloseWaitsForUnreadData) {
  Recorder listener;
  const uint16_t port = Listen(listener);
  ASSERT_TRUE(listener.SelectEvent(BASE_FD_ACCEPT));
  Recorder client;
  client.leaveUnread = true;
  ASSERT_TRUE(client.Create(SOCK_STREAM, 0, 0));
  ASSERT_TRUE(client.SelectEvent(BASE_FD_CONNECT | BASE_FD_READ | BASE_FD_CLOSE));
  sockaddr_in to = Loopback(port);
  ASSERT_TRUE(client.Connect(&to));
  ASSERT_TRUE(listener.WaitFor("accept"));
  const int accepted = listener.AcceptedHandle();
  ASSERT_EQ(send(accepted, "bye", 3, 0), 3);
  close(accepted);

  ASSERT_TRUE(client.WaitFor("read"));
  EXPECT_FALSE(client.WaitFor("close", 1, 300ms)) << "the data before the close is still unread";
  EXPECT_EQ(client.Count("read"), 1);
  char buf[8];
  ASSERT_EQ(client.Recv(buf, sizeof(buf)), 3);
  ASSERT_TRUE(client.WaitFor("close"));
  EXPECT_EQ(client.CodeOf("close"), 0);
}

TEST(BaseSock, ConnectToClosedPortReportsRefusal) {
  uint16_t port;
  {
    base_sock probe;
    port = Listen(probe);  // closed again at the end of the scope
  }
  Recorder client;
  ASSERT_TRUE(client.Create(SOCK_STREAM, 0, 0));
  ASSERT_TRUE(client.SelectEvent(BASE_FD_CONNECT | BASE_FD_WRITE));
  sockaddr_in to = Loopback(port);
  ASSERT_TRUE(client.Connect(&to));
  ASSERT_TRUE(client.WaitFor("connect"));
  EXPECT_EQ(client.CodeOf("connect"), BASE_WSAECONNREFUSED);
  std::this_thread::sleep_for(100ms);
  EXPECT_EQ(client.Count("write"), 0);
}

TEST(BaseSock, UdpReadAndWriteOnce) {
  Recorder udp;
  udp.datagram = true;
  ASSERT_NO_FATAL_FAILURE(BindLoopbackUdp(udp));
  ASSERT_TRUE(udp.SelectEvent(BASE_FD_READ | BASE_FD_WRITE));
  EXPECT_FALSE(udp.SelectEvent(BASE_FD_READ)) << "a dispatch already runs";
  ASSERT_TRUE(udp.WaitFor("write"));

  base_sock peer;
  ASSERT_TRUE(peer.Create(SOCK_DGRAM, 0, 0));
  sockaddr_in peerAddr = Loopback(0);
  ASSERT_TRUE(peer.Bind(&peerAddr));
  ASSERT_EQ(peer.SendTo("ping", 4, "127.0.0.1", udp.GetLocalPort()), 4);
  ASSERT_TRUE(udp.WaitFor("read"));
  EXPECT_EQ(udp.Received(), "ping");
  EXPECT_STREQ(udp.m_fromIp, "127.0.0.1");
  EXPECT_EQ(udp.m_fromPort, peer.GetLocalPort());

  ASSERT_EQ(udp.SendTo("pong", 4, "127.0.0.1", peer.GetLocalPort()), 4);
  char buf[8];
  char ip[16];
  uint16_t port = 0;
  ASSERT_TRUE(peer.SetRecvTimeOut(2000));
  ASSERT_EQ(peer.RecvFrom(buf, sizeof(buf), ip, &port), 4);
  EXPECT_EQ(port, udp.GetLocalPort());
  std::this_thread::sleep_for(200ms);
  EXPECT_EQ(udp.Count("write"), 1);
}

TEST(BaseSock, UnreadDataIsReportedAgainOnlyAfterARead) {
  Recorder udp;
  udp.datagram = true;
  udp.leaveUnread = true;
  ASSERT_NO_FATAL_FAILURE(BindLoopbackUdp(udp));
  ASSERT_TRUE(udp.SelectEvent(BASE_FD_READ));

  base_sock peer;
  ASSERT_TRUE(peer.Create(SOCK_DGRAM, 0, 0));
  ASSERT_EQ(peer.SendTo("one", 3, "127.0.0.1", udp.GetLocalPort()), 3);
  ASSERT_EQ(peer.SendTo("two", 3, "127.0.0.1", udp.GetLocalPort()), 3);
  ASSERT_TRUE(udp.WaitFor("read"));
  EXPECT_FALSE(udp.WaitFor("read", 2, 300ms)) << "a handler that does not read is not called again";

  // A read of this object raises the event again for what remains.
  udp.leaveUnread = false;
  char buf[8];
  ASSERT_EQ(udp.RecvFrom(buf, sizeof(buf), static_cast<sockaddr_in*>(nullptr)), 3);
  EXPECT_EQ(std::string(buf, 3), "one");
  ASSERT_TRUE(udp.WaitFor("read", 2));
  EXPECT_EQ(udp.Received(), "two");
}

TEST(BaseSock, ReadComesFirstWhenReadAndWriteAreReady) {
  Recorder udp;
  udp.datagram = true;
  ASSERT_NO_FATAL_FAILURE(BindLoopbackUdp(udp));
  base_sock peer;
  ASSERT_TRUE(peer.Create(SOCK_DGRAM, 0, 0));
  ASSERT_EQ(peer.SendTo("x", 1, "127.0.0.1", udp.GetLocalPort()), 1);
  std::this_thread::sleep_for(50ms);  // the datagram waits before dispatch starts

  ASSERT_TRUE(udp.SelectEvent(BASE_FD_READ | BASE_FD_WRITE));
  ASSERT_TRUE(udp.WaitFor("read"));
  ASSERT_TRUE(udp.WaitFor("write")) << "the write is kept for the next wake";
  EXPECT_EQ(udp.Events().front().name, "read");
}

TEST(BaseSock, RecvFromWithoutDataLeavesOutputsAlone) {
  base_sock udp;
  ASSERT_NO_FATAL_FAILURE(BindLoopbackUdp(udp));
  ASSERT_TRUE(udp.SetNoblock(true));
  char buf[4];
  char ip[16] = "keep";
  uint16_t port = 77;
  EXPECT_EQ(udp.RecvFrom(buf, sizeof(buf), ip, &port), -1);
  EXPECT_EQ(udp.GetErrno(), BASE_WSAEWOULDBLOCK);
  EXPECT_FALSE(udp.GetError().empty());
  EXPECT_STREQ(ip, "keep");
  EXPECT_EQ(port, 77);
}

TEST(BaseSock, NoSocketRefusesEverything) {
  base_sock s;
  sockaddr_in a = Loopback(1);
  char buf[4];
  EXPECT_EQ(s.GetHandle(), BASE_INVALID_SOCKET);
  EXPECT_FALSE(s.Bind(&a));
  EXPECT_FALSE(s.Connect(&a));
  EXPECT_FALSE(s.Listen(1));
  EXPECT_EQ(s.Send("x", 1), -1);
  EXPECT_EQ(s.Recv(buf, 4), -1);
  EXPECT_FALSE(s.SetNoblock(true));
  EXPECT_FALSE(s.SetRecvBufferSize(4096));
  EXPECT_FALSE(s.SelectEvent(BASE_FD_READ));
  s.StopSelect(true);  // nothing to stop
  s.Close(true);
}

TEST(BaseSock, OptionsOnALiveSocket) {
  base_sock s;
  ASSERT_TRUE(s.Create(SOCK_DGRAM, 0, 0));
  EXPECT_TRUE(s.SetRecvBufferSize(65536));
  EXPECT_TRUE(s.SetSendBufferSize(65536));
  EXPECT_TRUE(s.SetRecvTimeOut(1500));
  EXPECT_TRUE(s.SetSendTimeOut(1500));
  EXPECT_TRUE(s.SetReuseAddr(true));
  EXPECT_TRUE(s.SetBroadcast(true));
  EXPECT_TRUE(base_sock::_SetNoblock(s.GetHandle(), true));
  EXPECT_FALSE(base_sock::_SetReuseAddr(-1, true));
  char name[256];
  EXPECT_EQ(base_sock::_GetHostName(name, sizeof(name)), 0);
  EXPECT_NE(base_sock::_GetHostByName("localhost"), nullptr);
}

TEST(BaseSock, StopWhileIdleThenRestart) {
  Recorder udp;
  udp.datagram = true;
  ASSERT_NO_FATAL_FAILURE(BindLoopbackUdp(udp));
  ASSERT_TRUE(udp.SelectEvent(BASE_FD_READ));
  udp.StopSelect(false);  // idle: woken and joined

  base_sock peer;
  ASSERT_TRUE(peer.Create(SOCK_DGRAM, 0, 0));
  ASSERT_EQ(peer.SendTo("one", 3, "127.0.0.1", udp.GetLocalPort()), 3);
  std::this_thread::sleep_for(100ms);
  EXPECT_EQ(udp.Count("read"), 0) << "no handler runs after the stop";

  // A new dispatch after a stop runs (its stop flag is its own).
  ASSERT_TRUE(udp.SelectEvent(BASE_FD_READ));
  ASSERT_TRUE(udp.WaitFor("read"));
  EXPECT_EQ(udp.Received(), "one");
  udp.StopSelect(true);
  ASSERT_TRUE(udp.SelectEvent(BASE_FD_READ));
  ASSERT_EQ(peer.SendTo("two", 3, "127.0.0.1", udp.GetLocalPort()), 3);
  ASSERT_TRUE(udp.WaitFor("read", 2));
  EXPECT_EQ(udp.Received(), "onetwo");
}

TEST(BaseSock, CloseFromInsideTheHandler) {
  Recorder udp;
  udp.datagram = true;
  udp.closeOnRead = true;
  ASSERT_NO_FATAL_FAILURE(BindLoopbackUdp(udp));
  const uint16_t port = udp.GetLocalPort();
  ASSERT_TRUE(udp.SelectEvent(BASE_FD_READ));
  base_sock peer;
  ASSERT_TRUE(peer.Create(SOCK_DGRAM, 0, 0));
  ASSERT_EQ(peer.SendTo("a", 1, "127.0.0.1", port), 1);
  ASSERT_TRUE(udp.WaitFor("read"));
  std::this_thread::sleep_for(50ms);
  EXPECT_EQ(udp.GetHandle(), BASE_INVALID_SOCKET);
  peer.SendTo("b", 1, "127.0.0.1", port);
  std::this_thread::sleep_for(100ms);
  EXPECT_EQ(udp.Count("read"), 1);
}

// A peer that keeps sending while the receiving object is destroyed: the
// destructor must end the dispatch before the object goes (ASan reports a
// use after free otherwise).
TEST(BaseSock, DestroyWithRunningDispatchUnderTraffic) {
  base_sock peer;
  ASSERT_TRUE(peer.Create(SOCK_DGRAM, 0, 0));
  for (int round = 0; round < 20; ++round) {
    auto* udp = new Recorder;
    udp->datagram = true;
    ASSERT_TRUE(udp->Create(SOCK_DGRAM, 0, 0));
    sockaddr_in local = Loopback(0);
    ASSERT_TRUE(udp->Bind(&local));
    ASSERT_TRUE(udp->SelectEvent(BASE_FD_READ | BASE_FD_WRITE));
    const uint16_t port = udp->GetLocalPort();
    for (int i = 0; i < 20; ++i) peer.SendTo("z", 1, "127.0.0.1", port);
    delete udp;
  }
}

}  // namespace
