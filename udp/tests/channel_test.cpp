// The udp exports end to end over loopback: requests and replies through
// the simulated peer, remote requests, binding, and the SOCKS5 relay of
// the simulated proxy, reached after a SOCKS5, SOCKS4 or SOCKS4a handshake.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "app/adb/tests/closed_port.h"
#include "udp.h"
#include "udp_sim.h"
#include "udp_sim_test_support.h"

namespace {

using udpsim::Echo;
using udpsim::WaitFor;
using Bytes = std::vector<uint8_t>;

bool PortTaken(uint16_t port) {
  int fd = socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(port);
  bool taken = bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0;
  close(fd);
  return taken;
}

// The first of `count` free ports for the channel's server mode, which binds
// the port it is given (or the next free one) itself. Taken below the range
// the system hands out (32768 and up), so neither a socket bound to port 0
// nor an outgoing connection can take them between this check and the
// channel's bind; 0 when no free run was found.
uint16_t ServerModePorts(int count) {
  std::random_device random;
  std::uniform_int_distribution<int> pick(22000, 32000 - count);
  for (int attempt = 0; attempt < 50; ++attempt) {
    const uint16_t first = static_cast<uint16_t>(pick(random));
    bool free = true;
    for (int i = 0; i < count && free; ++i) free = !PortTaken(static_cast<uint16_t>(first + i));
    if (free) return first;
  }
  return 0;
}

class UdpChannelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    shm_ = "/pd-udp-chan-" + std::to_string(getpid());
    setenv("PHONEDECK_UDP_PROXY_SHM", shm_.c_str(), 1);
    setenv("PHONEDECK_UDP_SERVER_PORT", "0", 1);
    ASSERT_TRUE(peer_.Start(&Echo));
  }
  void TearDown() override {
    while (UDPClose() > 0) {
    }
    peer_.Stop();
    shm_unlink(shm_.c_str());
  }

  // One request of len bytes; returns UDPRecvFrom's result and the reply.
  int Exchange(const std::string& request, std::string* reply, int timeoutMs = 1000, int flags = 0) {
    UDPHANDLE h = UDPCreate();
    int sent = UDPSendToEx(h, request.data(), int(request.size()), "127.0.0.1", peer_.Port(), timeoutMs, flags);
    if (sent != int(request.size())) {
      UDPFree(h);
      return -100;
    }
    std::vector<char> buf(20000);
    int got = UDPRecvFrom(h, buf.data(), int(buf.size()), 0, 0);
    if (got > 0) reply->assign(buf.data(), size_t(got));
    UDPFree(h);
    return got;
  }

  std::string shm_;
  udpsim::UdpPeerSim peer_;
};

TEST_F(UdpChannelTest, RequestAndReplyThroughTheLoopbackPeer) {
  ASSERT_TRUE(UDPInit(0, nullptr));
  std::string reply;
  EXPECT_EQ(7, Exchange("hello", &reply));
  EXPECT_EQ("e:hello", reply);
  // A message of eight fragments arrives whole.
  std::string big(10312, 'x');
  EXPECT_EQ(int(big.size()) + 2, Exchange(big, &reply));
  EXPECT_EQ("e:" + big, reply);
  EXPECT_EQ(9u, peer_.Requests());
}

TEST_F(UdpChannelTest, FragmentedRepliesReorderedDuplicatedAndLost) {
  ASSERT_TRUE(UDPInit(0, nullptr));
  struct Case {
    const char* name;
    udpsim::ReplyShape shape;
    bool complete;
  } cases[] = {
      {"reordered", {4, true, false, false, false, false, false}, true},
      {"duplicated", {4, false, true, false, false, false, false}, true},
      {"lost", {4, false, false, true, false, false, false}, false},
      {"ciphered with crc", {4, false, false, false, true, true, false}, true},
      {"crc mismatch", {1489, false, false, false, true, true, true}, false},
  };
  for (const Case& c : cases) {
    peer_.SetShape(c.shape);
    std::string reply;
    int got = Exchange("0123456789", &reply);
    if (c.complete) {
      EXPECT_EQ("e:0123456789", reply) << c.name;
    } else {
      EXPECT_EQ(UDP_ERROR_TIMEOUT, got) << c.name;
    }
  }
}

TEST_F(UdpChannelTest, CipheredRequestsReachThePeerPlain) {
  ASSERT_TRUE(UDPInit(0, nullptr));
  std::string reply;
  EXPECT_EQ(8, Exchange("secret", &reply, 1000, UDP_FLAG_CIPHERED));
  Bytes seen = peer_.RequestPayloads().back();
  EXPECT_EQ("secret", std::string(seen.begin(), seen.end()));
}

TEST_F(UdpChannelTest, SendLimitsAndRefusals) {
  ASSERT_TRUE(UDPInit(0, nullptr));
  UDPHANDLE h = UDPCreate();
  std::vector<char> data(20000, 'a');
  EXPECT_EQ(-1, UDPSendToEx(h, data.data(), 10313, "127.0.0.1", peer_.Port(), 1000, 0));
  EXPECT_EQ(-1, UDPSendToEx(h, data.data(), -1, "127.0.0.1", peer_.Port(), 1000, 0));
  EXPECT_EQ(0, UDPSendToEx(h, data.data(), 0, "127.0.0.1", peer_.Port(), 1000, 0));
  // One datagram holds 1489 bytes; more is refused, never cut.
  EXPECT_EQ(-1, UDPSendTo(h, data.data(), 2000, "127.0.0.1", peer_.Port()));
  EXPECT_EQ(-1, UDPSendTo(h, data.data(), -5, "127.0.0.1", peer_.Port()));
  EXPECT_EQ(1489, UDPSendTo(h, data.data(), 1489, "127.0.0.1", peer_.Port()));
  std::vector<char> buf(2000);
  EXPECT_EQ(1491, UDPRecvFrom(h, buf.data(), int(buf.size()), 0, 0));
  EXPECT_EQ(-1, UDPSendTo(nullptr, data.data(), 1, "127.0.0.1", peer_.Port()));
  EXPECT_EQ(-1, UDPRecvFrom(nullptr, buf.data(), 1, 0, 0));
  UDPFree(h);
}

TEST_F(UdpChannelTest, WaitTimeFollowsTheTimeoutInWholeSeconds) {
  ASSERT_TRUE(UDPInit(0, nullptr));
  UDPHANDLE h = UDPCreate();
  struct Case {
    int timeoutMs;
    int seconds;
  } cases[] = {{999, 2}, {1500, 1}};
  for (const Case& c : cases) {
    auto start = std::chrono::steady_clock::now();
    // Port 9 of loopback answers nothing.
    ASSERT_EQ(1, UDPSendToEx(h, "x", 1, "127.0.0.1", 9, c.timeoutMs, 0));
    char buf[8];
    EXPECT_EQ(UDP_ERROR_TIMEOUT, UDPRecvFrom(h, buf, sizeof buf, 0, 0));
    double waited = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_GE(waited, c.seconds - 0.05) << c.timeoutMs;
    EXPECT_LT(waited, c.seconds + 0.9) << c.timeoutMs;
  }
  UDPFree(h);
}

TEST_F(UdpChannelTest, ReferencesAndReset) {
  EXPECT_FALSE(UDPReset(0));  // not open
  ASSERT_TRUE(UDPInit(0, nullptr));
  EXPECT_TRUE(UDPInit(1, nullptr));  // the first call's result, still client mode
  EXPECT_TRUE(UDPReset(0));
  std::string reply;
  EXPECT_EQ(4, Exchange("ab", &reply));
  EXPECT_EQ(1, UDPClose());
  EXPECT_EQ(0, UDPClose());
  EXPECT_FALSE(UDPReset(0));
}

TEST_F(UdpChannelTest, ServerModeBindsTheNextFreePort) {
  const uint16_t port = ServerModePorts(4);
  ASSERT_NE(port, 0);
  std::vector<int> holders;
  for (uint16_t p : {port, uint16_t(port + 1)}) {
    int fd = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(p);
    if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) GTEST_SKIP() << "port moved";
    holders.push_back(fd);
  }
  unsigned short asked = port;
  ASSERT_TRUE(UDPInit(1, &asked));
  EXPECT_EQ(port, asked);  // the caller's variable is never written
  EXPECT_TRUE(PortTaken(uint16_t(port + 2)));
  // A reset binds from the port bound plus one.
  ASSERT_TRUE(UDPReset(1));
  EXPECT_TRUE(PortTaken(uint16_t(port + 3)));
  EXPECT_FALSE(PortTaken(uint16_t(port + 2)));
  for (int fd : holders) close(fd);
}

TEST_F(UdpChannelTest, AFirstTryBindIsTheCurrentPort) {
  const uint16_t port = ServerModePorts(2);
  ASSERT_NE(port, 0);
  unsigned short asked = port;
  ASSERT_TRUE(UDPInit(1, &asked));
  EXPECT_TRUE(PortTaken(port));
  ASSERT_TRUE(UDPReset(1));
  EXPECT_TRUE(PortTaken(uint16_t(port + 1)));
  EXPECT_FALSE(PortTaken(port));
}

std::mutex g_remoteMutex;
std::vector<std::string> g_remote;
bool IsRemote(unsigned char first) { return first == 'R'; }
void OnRemote(const char* payload, int len, const char* ip, unsigned short port, void* user) {
  std::lock_guard<std::mutex> lock(g_remoteMutex);
  g_remote.push_back(std::string(payload, size_t(len)) + "@" + ip + ":" + std::to_string(port) +
                     (user == &g_remote ? "" : "?"));
}

TEST_F(UdpChannelTest, RemoteRequestsReachTheCallback) {
  UDPSetRemoteReqProcessorCallback(&OnRemote, &g_remote);  // before server mode: no effect
  const uint16_t port = ServerModePorts(1);
  ASSERT_NE(port, 0);
  unsigned short asked = port;
  ASSERT_TRUE(UDPInit(1, &asked));
  UDPSetIsRequstCallback(&IsRemote);
  // Without a callback the request is consumed and dropped.
  peer_.SendRemoteRequest({'R', '0'}, 77, "127.0.0.1", port);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  UDPSetRemoteReqProcessorCallback(&OnRemote, &g_remote);
  peer_.SendRemoteRequest({'R', '1'}, 78, "127.0.0.1", port);
  // An empty payload is a reply even though the test says "request" for anything.
  peer_.SendRemoteRequest({}, 79, "127.0.0.1", port);
  ASSERT_TRUE(WaitFor([] {
    std::lock_guard<std::mutex> lock(g_remoteMutex);
    return !g_remote.empty();
  }, 3000));
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  std::lock_guard<std::mutex> lock(g_remoteMutex);
  ASSERT_EQ(1u, g_remote.size());
  EXPECT_EQ("R1@127.0.0.1:" + std::to_string(peer_.Port()), g_remote[0]);
  UDPSetIsRequstCallback(nullptr);
}

std::mutex g_remoteThreadMutex;
std::vector<std::thread::id> g_remoteThreads;
void OnRemoteThread(const char*, int, const char*, unsigned short, void*) {
  std::lock_guard<std::mutex> lock(g_remoteThreadMutex);
  g_remoteThreads.push_back(std::this_thread::get_id());
}

// Waiting callers read the socket themselves, one at a time, and hand each
// other's replies over; a remote request read by a waiting caller still
// reaches the callback on the library's own worker thread.
TEST_F(UdpChannelTest, ConcurrentCallersGetTheirOwnRepliesAndRemoteRequestsKeepTheirThread) {
  const uint16_t port = ServerModePorts(1);
  ASSERT_NE(port, 0);
  unsigned short asked = port;
  ASSERT_TRUE(UDPInit(1, &asked));
  UDPSetIsRequstCallback(&IsRemote);
  UDPSetRemoteReqProcessorCallback(&OnRemoteThread, nullptr);
  constexpr int kCallers = 6, kRounds = 40;
  std::atomic<int> wrong{0};
  std::mutex idsMutex;
  std::vector<std::thread::id> callerIds;
  std::vector<std::thread> callers;
  for (int c = 0; c < kCallers; ++c) {
    callers.emplace_back([&, c] {
      {
        std::lock_guard<std::mutex> lock(idsMutex);
        callerIds.push_back(std::this_thread::get_id());
      }
      for (int r = 0; r < kRounds; ++r) {
        const std::string request = std::to_string(c) + "/" + std::to_string(r);
        std::string reply;
        if (Exchange(request, &reply) != int(request.size()) + 2 || reply != "e:" + request) ++wrong;
      }
    });
  }
  for (uint32_t id = 500; id < 505; ++id) {
    peer_.SendRemoteRequest({'R', uint8_t('0' + id % 10)}, id, "127.0.0.1", port);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  for (std::thread& t : callers) t.join();
  EXPECT_EQ(0, wrong.load());
  ASSERT_TRUE(WaitFor([] {
    std::lock_guard<std::mutex> lock(g_remoteThreadMutex);
    return g_remoteThreads.size() == 5;
  }, 3000));
  UDPSetRemoteReqProcessorCallback(nullptr, nullptr);
  std::lock_guard<std::mutex> lock(g_remoteThreadMutex);
  for (std::thread::id id : g_remoteThreads) {
    EXPECT_EQ(g_remoteThreads[0], id);  // one worker runs every callback
    EXPECT_EQ(callerIds.end(), std::find(callerIds.begin(), callerIds.end(), id));
  }
  UDPSetIsRequstCallback(nullptr);
}

class UdpProxyTest : public UdpChannelTest {};

TEST_F(UdpProxyTest, Socks5WithoutAuthentication) {
  udpsim::Socks5Sim socks;
  ASSERT_TRUE(socks.Start());
  UDPSetProxy("127.0.0.1", socks.Port(), "", "", UDP_PROXY_SOCKS5, true);
  ASSERT_TRUE(UDPInit(0, nullptr));
  std::string reply;
  EXPECT_EQ(7, Exchange("hello", &reply));
  EXPECT_EQ("e:hello", reply);
  EXPECT_EQ(1u, socks.Associations());
  EXPECT_EQ(1u, socks.RelayedOut());
  EXPECT_EQ(1u, socks.RelayedIn());
  EXPECT_TRUE(socks.LastAuthRequest().empty());
  Bytes header = socks.LastRelayHeader();
  EXPECT_EQ((Bytes{0, 0, 0, 1, 127, 0, 0, 1, uint8_t(peer_.Port() >> 8), uint8_t(peer_.Port())}), header);
  // Turning the proxy off sends the next datagram directly.
  UDPSetProxy("127.0.0.1", socks.Port(), "", "", UDP_PROXY_SOCKS5, false);
  EXPECT_EQ(7, Exchange("hello", &reply));
  EXPECT_EQ(1u, socks.RelayedOut());
  EXPECT_EQ(0u, socks.Malformed());
  UDPClose();
  socks.Stop();
}

TEST_F(UdpProxyTest, Socks5WithUserAndPassword) {
  udpsim::Socks5Sim socks;
  ASSERT_TRUE(socks.Start("u", "p"));
  UDPSetProxy("127.0.0.1", socks.Port(), "u", "p", UDP_PROXY_SOCKS5, true);
  ASSERT_TRUE(UDPInit(0, nullptr));
  std::string reply;
  EXPECT_EQ(4, Exchange("ab", &reply));
  EXPECT_EQ((Bytes{0x01, 0x01, 'u', 0x01, 'p'}), socks.LastAuthRequest());
  EXPECT_EQ(1u, socks.Associations());
  UDPClose();
  socks.Stop();
}

TEST_F(UdpProxyTest, RefusedProxiesFailTheSend) {
  udpsim::Socks5Sim socks;
  ASSERT_TRUE(socks.Start("u", "p"));
  ASSERT_TRUE(UDPInit(0, nullptr));
  std::string reply;
  UDPSetProxy("127.0.0.1", socks.Port(), "u", "wrong", UDP_PROXY_SOCKS5, true);
  EXPECT_EQ(-100, Exchange("ab", &reply));
  EXPECT_EQ(1u, socks.AuthFailures());
  // A SOCKS4 or SOCKS4a CONNECT the proxy does not grant.
  socks.SetSocks4Reply(0x5B);
  UDPSetProxy("127.0.0.1", socks.Port(), "", "", UDP_PROXY_SOCKS4, true);
  EXPECT_EQ(-100, Exchange("ab", &reply));
  UDPSetProxy("127.0.0.1", socks.Port(), "", "", UDP_PROXY_SOCKS4A, true);
  EXPECT_EQ(-100, Exchange("ab", &reply));
  EXPECT_EQ(2u, socks.Socks4Refusals());
  EXPECT_EQ(0u, socks.Associations());
  EXPECT_EQ(0u, peer_.Requests());
  // A proxy that does not listen fails within the connect time-out.
  const testing_support::ClosedPort closed;
  UDPSetProxy("127.0.0.1", closed.port(), "", "", UDP_PROXY_SOCKS5, true);
  EXPECT_EQ(-100, Exchange("ab", &reply));
  UDPClose();
  socks.Stop();
}

// SOCKS4 and SOCKS4a: a CONNECT to the proxy itself, in exactly these
// bytes, then the SOCKS5 UDP ASSOCIATE on the same connection, and the
// datagrams go through the relay.
TEST_F(UdpProxyTest, Socks4AndSocks4aConnectThenAssociate) {
  struct Case {
    const char* name;
    const char* proxyHost;
    int type;
    Bytes head;  // the CONNECT's version, command and port come first
    Bytes rest;  // after the port
  } cases[] = {
      {"SOCKS4", "127.0.0.1", UDP_PROXY_SOCKS4, {0x04, 0x01}, {127, 0, 0, 1, 0x00}},
      {"SOCKS4a", "localhost", UDP_PROXY_SOCKS4A, {0x04, 0x01},
       {0, 0, 0, 1, 0x00, 'l', 'o', 'c', 'a', 'l', 'h', 'o', 's', 't', 0x00}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    udpsim::Socks5Sim socks;
    ASSERT_TRUE(socks.Start("u", "p"));  // a SOCKS5 client would have to authenticate
    UDPSetProxy(c.proxyHost, socks.Port(), "u", "p", c.type, true);
    ASSERT_TRUE(UDPInit(0, nullptr));
    std::string reply;
    EXPECT_EQ(7, Exchange("hello", &reply));
    EXPECT_EQ("e:hello", reply);
    Bytes connect = c.head;
    connect.push_back(uint8_t(socks.Port() >> 8));
    connect.push_back(uint8_t(socks.Port()));
    connect.insert(connect.end(), c.rest.begin(), c.rest.end());
    EXPECT_EQ(connect, socks.LastSocks4Request());
    EXPECT_TRUE(socks.LastAuthRequest().empty());
    EXPECT_EQ(1u, socks.Associations());
    EXPECT_EQ(1u, socks.RelayedOut());
    EXPECT_EQ(0u, socks.Malformed());
    UDPSetProxy(c.proxyHost, socks.Port(), "", "", c.type, false);
    UDPClose();
    socks.Stop();
  }
}

TEST_F(UdpProxyTest, ServerModeAssociatesAtOpen) {
  udpsim::Socks5Sim socks;
  ASSERT_TRUE(socks.Start());
  UDPSetProxy("127.0.0.1", socks.Port(), "", "", UDP_PROXY_SOCKS5, true);
  ASSERT_TRUE(UDPInit(1, nullptr));
  EXPECT_EQ(1u, socks.Associations());
  std::string reply;
  EXPECT_EQ(4, Exchange("hi", &reply));
  UDPClose();
  socks.Stop();
}

}  // namespace
